#pragma once
// A program run to its end as a child process, the way a shell runs it: its exit status, what
// it printed on each stream, and whether it crashed.  Shared by the tests that drive the
// command line, natively and under Wine.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace fixture {

struct Run {
    int code = -1; // -2 when it crashed
    bool crashed = false;
    QByteArray out, err;
    QString errtext() const { return QString::fromUtf8(err); }
};

struct ChildOptions {
    QString cwd;                           // empty: this process's
    std::function<void(QProcess&)> during; // once it has started (to send Ctrl+C, to watch)
    std::function<void()> modifier;        // in the child, before the program starts
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    int timeout = 60000;                   // after `during`; then it is killed
};

Run runchild(const QString& program, const QStringList& args, const ChildOptions& o = {});

} // namespace fixture
