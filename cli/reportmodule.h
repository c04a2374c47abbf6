#pragma once
// The report's half of the command line, built as a module of its own (virelan2-report) that
// virelan2-cli loads only for `report`.  The report needs the GUI library (fonts, the PDF
// writer), whose loading would add to the start of every other command; kept out of the
// program, it costs them nothing.  The two entry points are looked up by these names.
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#if defined(_WIN32)
#define V2_REPORT_EXPORT extern "C" __declspec(dllexport)
#else
#define V2_REPORT_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace cli {

// Makes the application the report needs: a QGuiApplication, on the offscreen platform where
// a display may be missing and no platform is asked for.
using MakeApp = QCoreApplication* (*)(int& argc, char** argv);
constexpr const char* MakeAppName = "virelan2_report_app";

// Takes every file and writes the PDF only when all are taken; says why through say.
// Returns the exit status.
using Write = int (*)(const QStringList& files, const QString& output, const QString& title,
                      void (*say)(const QString&));
constexpr const char* WriteName = "virelan2_report_write";

} // namespace cli
