#include "tests/support/child.h"

namespace fixture {

Run runchild(const QString& program, const QStringList& args, const ChildOptions& o)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setProcessEnvironment(o.env);
    if (!o.cwd.isEmpty())
        p.setWorkingDirectory(o.cwd);
    if (o.modifier)
        p.setChildProcessModifier(o.modifier);
    p.start();
    Run r;
    if (!p.waitForStarted(10000)) {
        r.err = "did not start: " + program.toUtf8();
        return r;
    }
    if (o.during)
        o.during(p);
    // waitForFinished() is false for a program that has already ended (`during` may have
    // waited for it): only one still running has not finished.
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(o.timeout)) {
        p.kill();
        p.waitForFinished();
        r.err = "did not finish: " + p.readAllStandardError();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.code = r.crashed ? -2 : p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err += p.readAllStandardError();
    return r;
}

} // namespace fixture
