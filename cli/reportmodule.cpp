#include "cli/reportmodule.h"
#include "cli/cli.h"

#include "settings/report.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

V2_REPORT_EXPORT QCoreApplication* virelan2_report_app(int& argc, char** argv)
{
#ifndef Q_OS_WIN
    // A terminal or a script may have no display; Windows always has its desktop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    return new QGuiApplication(argc, argv);
}

V2_REPORT_EXPORT int virelan2_report_write(const QStringList& files, const QString& output,
                                           const QString& title, void (*say)(const QString&))
{
    // A slip of the hand (-o unit-3.ini) must not put a PDF over a unit's record.
    const QFileInfo out(output);
    for (const QString& f : files)
        if (out.exists() && QFileInfo(f).exists()
            && out.canonicalFilePath() == QFileInfo(f).canonicalFilePath()) {
            say(QStringLiteral("Файл отчёта \"") + QDir::toNativeSeparators(output)
                + QStringLiteral("\" - один из файлов настроек; отчёт не составлен"));
            return cli::WrongUse;
        }
    // Every file is looked at, so that one run names all that cannot be taken.
    QList<report::Unit> units;
    bool refused = false;
    for (const QString& f : files) {
        try {
            units.append(report::takefile(f));
        } catch (const settings::FileError& e) {
            say(e.message());
            refused = true;
        }
    }
    if (refused) {
        say(QStringLiteral("Отчёт не составлен"));
        return cli::WrongUse;
    }
    try {
        report::savepdf(output, units, title.isEmpty() ? report::defaulttitle() : title,
                        QDateTime::currentDateTime());
    } catch (const settings::FileError& e) {
        say(e.message());
        return cli::WrongUse;
    }
    say(QStringLiteral("Отчёт (блоков: %1) сохранён в файл \"").arg(units.size())
        + QDir::toNativeSeparators(output) + QLatin1Char('"'));
    return cli::Done;
}
