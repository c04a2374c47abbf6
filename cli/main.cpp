// virelan2-cli: program entry.  No widgets and no display: a QCoreApplication is all the serial
// port and the files need.
#include "cli/cli.h"
#include "cli/console.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    console::setup();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("virelan2-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIRELAN2_VERSION));
    return cli::run(QCoreApplication::arguments());
}
