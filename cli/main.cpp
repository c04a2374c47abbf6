// virelan2-cli: program entry.  No widgets and no display: a QCoreApplication is all the serial
// port and the files need.  The report alone needs fonts, hence a QGuiApplication, on the
// offscreen platform unless another is asked for; the other commands keep the lighter start.
#include "cli/cli.h"
#include "cli/console.h"
#include "cli/report.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

int main(int argc, char** argv)
{
    console::setup();
    std::unique_ptr<QCoreApplication> app;
    if (cli::wantsreport(argc, argv)) {
#ifndef Q_OS_WIN
        // A terminal or a script may have no display; Windows always has its desktop.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("virelan2-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIRELAN2_VERSION));
    return cli::run(QCoreApplication::arguments());
}
