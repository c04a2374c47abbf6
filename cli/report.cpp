#include "cli/report.h"
#include "cli/cli.h"

#include "settings/report.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

namespace cli {

namespace {

void say(const QString& line)
{
    const QByteArray b = line.toUtf8() + '\n';
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fflush(stderr);
}

} // namespace

bool wantsreport(int argc, char** argv)
{
    // The command is the first word that is not an option; no option before it takes a value.
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-')
            return std::strcmp(argv[i], "report") == 0;
    return false;
}

int cmdreport(const QStringList& files, const QString& output, const QString& title)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        say(QStringLiteral("Отчёт не составлен: нет графической подсистемы для шрифтов"));
        return WrongUse;
    }
    // A slip of the hand (-o unit-3.ini) must not put a PDF over a unit's record.
    const QFileInfo out(output);
    for (const QString& f : files)
        if (out.exists() && QFileInfo(f).exists() && out.canonicalFilePath() == QFileInfo(f).canonicalFilePath()) {
            say(QStringLiteral("Файл отчёта \"") + QDir::toNativeSeparators(output)
                + QStringLiteral("\" - один из файлов настроек; отчёт не составлен"));
            return WrongUse;
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
        return WrongUse;
    }
    try {
        report::savepdf(output, units, title.isEmpty() ? report::defaulttitle() : title,
                        QDateTime::currentDateTime());
    } catch (const settings::FileError& e) {
        say(e.message());
        return WrongUse;
    }
    say(QStringLiteral("Отчёт (блоков: %1) сохранён в файл \"").arg(units.size())
        + QDir::toNativeSeparators(output) + QLatin1Char('"'));
    return Done;
}

} // namespace cli
