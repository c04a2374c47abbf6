// virelan2-cli: program entry.  No widgets and no display: a QCoreApplication is all the serial
// port and the files need.  The report alone needs fonts, hence a QGuiApplication, which its
// module makes; the other commands never load the GUI library.
#include "cli/cli.h"
#include "cli/console.h"
#include "cli/report.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char** argv)
{
    console::setup();
    std::unique_ptr<QCoreApplication> app;
    if (cli::wantsreport(argc, argv))
        app = cli::reportapp(argc, argv);
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("virelan2-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIRELAN2_VERSION));
    return cli::run(QCoreApplication::arguments());
}
