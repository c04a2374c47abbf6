#pragma once
// How a benchmark hands its figures to bench/run, whose opening comment describes the contract.
// Numbers go out with a decimal point whatever the locale the benchmark runs under (the C
// library's printf would follow the locale once Qt has set it up).
#include <QByteArray>

#include <cmath>
#include <cstdio>

namespace bench {

// A number as text, always with a decimal point.
inline QByteArray num(double v, int decimals = 3)
{
    return QByteArray::number(v, 'f', decimals);
}

// Reads a number written by num() (or by a child process through it); false for anything else.
inline bool parse(const QByteArray& text, double* v)
{
    bool ok = false;
    *v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(*v);
}

// Says why a figure could not be measured; bench/run shows it with the figure.
inline void unmeasured(const char* key, const QByteArray& reason)
{
    std::printf("unmeasured %s %s\n", key, reason.constData());
    std::fflush(stdout);
}

// Prints a figure's line and returns whether it was measured (a finite number above zero) and
// meets its goal.  `op` is "<=" or "<".
inline bool figure(const char* key, double value, const char* op, double goal, const char* what)
{
    std::printf("figure %s %s %s %s %s\n", key, num(value).constData(), op, num(goal, 2).constData(), what);
    std::fflush(stdout);
    if (!std::isfinite(value) || value <= 0)
        return false;
    return (op[0] == '<' && op[1] == '=') ? value <= goal : value < goal;
}

} // namespace bench
