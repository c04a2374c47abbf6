#pragma once
// virelan2-cli: the window's conversations with the unit for scripts and terminals.  Standard
// output carries data only (the port list, a settings file, CSV); everything said about the
// work goes to standard error.  No widgets here.
#include <QStringList>

namespace cli {

// The exit status, one meaning each.
enum Exit {
    Done = 0,
    UnitFailed = 1,   // no answer, refused connect, checksum, refused write, read-back differs,
                      // upload stopped
    WrongUse = 2,     // the command line, or a file refused before anything was sent
    Differ = 3,       // diff: the unit and its file, or the two files, differ
    Interrupted = 130 // Ctrl+C, after the exchange under way was finished
};

// Runs the command line (the program's name first) and returns its exit status.  The console
// must have been set up (console::setup) and a QCoreApplication must exist.
int run(const QStringList& arguments);

} // namespace cli
