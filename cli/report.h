#pragma once
// virelan2-cli report: the printable report of settings files.  Apart from the other commands
// because it alone needs fonts, and so a QGuiApplication (on the offscreen platform).
#include <QString>
#include <QStringList>

namespace cli {

// Whether the command line names the report, so that main() makes the application it needs.
bool wantsreport(int argc, char** argv);

// Takes every file, and writes the PDF only when all are taken; returns the exit status.
int cmdreport(const QStringList& files, const QString& output, const QString& title);

} // namespace cli
