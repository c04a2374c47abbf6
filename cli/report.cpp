#include "cli/report.h"
#include "cli/cli.h"
#include "cli/console.h"
#include "cli/reportmodule.h"

#include <QDir>
#include <QLibrary>

#include <cstring>

namespace cli {

namespace {

// Through the console seam, as every other message: UTF-16 into a Windows console.
void say(const QString& line)
{
    console::write(console::Stream::Err, line.toUtf8() + '\n');
}

// The module, once loaded; it stays loaded to the end of the process.
QLibrary* module = nullptr;
QString moduleproblem;

// Beside the program (the build folder, a Windows folder made by windeployqt), or in the
// library folder of an installation.  Needs an application for its folder.
void loadmodule()
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList places{dir, dir + QStringLiteral("/../lib/virelan2")};
    for (const QString& place : places) {
        auto* lib = new QLibrary(QDir::cleanPath(place) + QStringLiteral("/virelan2-report"));
        if (lib->load()) {
            module = lib;
            return;
        }
        moduleproblem = lib->errorString();
        delete lib;
    }
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

std::unique_ptr<QCoreApplication> reportapp(int& argc, char** argv)
{
    {
        // The program's folder is known only to an application; the report's own comes after.
        QCoreApplication probe(argc, argv);
        loadmodule();
    }
    if (!module)
        return nullptr;
    const auto make = reinterpret_cast<MakeApp>(module->resolve(MakeAppName));
    if (!make) {
        moduleproblem = module->errorString();
        module = nullptr;
        return nullptr;
    }
    return std::unique_ptr<QCoreApplication>(make(argc, argv));
}

int cmdreport(const QStringList& files, const QString& output, const QString& title)
{
    const auto write = module ? reinterpret_cast<Write>(module->resolve(WriteName)) : nullptr;
    if (!write) {
        say(QStringLiteral("Отчёт не составлен: не загружается модуль отчёта virelan2-report (")
            + moduleproblem + QLatin1Char(')'));
        return WrongUse;
    }
    return write(files, output, title, &say);
}

} // namespace cli
