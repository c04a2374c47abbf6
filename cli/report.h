#pragma once
// virelan2-cli report: the printable report of settings files.  Apart from the other commands
// because it alone needs fonts, and so a QGuiApplication; both come from the report's module,
// loaded only for this command (cli/reportmodule.h).
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <memory>

namespace cli {

// Whether the command line names the report, so that main() makes the application it needs.
bool wantsreport(int argc, char** argv);

// The report's application from its module; null when the module cannot be loaded (the
// command then says so).
std::unique_ptr<QCoreApplication> reportapp(int& argc, char** argv);

// Takes every file, and writes the PDF only when all are taken; returns the exit status.
int cmdreport(const QStringList& files, const QString& output, const QString& title);

} // namespace cli
