// Selecting the whole activity log and copying it, with years of history: from Ctrl+A to the
// text on the clipboard, read back as a paste would read it, against the second within which
// the window must answer again.  Once for a log kept as the file holds it (one byte a
// character) and once for a log kept in UTF-16 (it holds a character outside the code page).
//
//   bench_memo            prints the ratios and exits non-zero when a goal is missed
//   bench_memo --lines N  with a history of N lines (default 1 000 000)
#include "bench/figure.h"
#include "ui/codepage.h"
#include "ui/logfile.h"
#include "ui/memo.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double Budget = 1000.0; // ms
constexpr int Rounds = 5;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}


// Ctrl+A, the repaint it causes, Ctrl+C and the clipboard's text, in ms; NaN when the text on
// the clipboard is not the whole log.
double copyall(LogMemo& memo, qsizetype expected)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    std::vector<double> times;
    for (int r = 0; r < Rounds; ++r) {
        clipboard->clear();
        QTest::mouseClick(memo.viewport(), Qt::LeftButton, {}, QPoint(5, 5)); // no selection
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        QTest::keyClick(&memo, Qt::Key_A, Qt::ControlModifier);
        memo.viewport()->repaint();
        QTest::keyClick(&memo, Qt::Key_C, Qt::ControlModifier);
        const QString text = clipboard->text();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (text.size() != expected) {
            std::printf("copied %lld characters, expected %lld\n", static_cast<long long>(text.size()),
                        static_cast<long long>(expected));
            return std::nan("");
        }
        times.push_back(ms);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // The figures go out with a decimal point whatever the locale, for whatever reads them.
    std::setlocale(LC_NUMERIC, "C");
    int lines = 1000000;
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--lines") == 0)
            lines = std::atoi(argv[i + 1]);
    if (lines < 1) {
        std::printf("--lines: at least one line\n");
        return 2;
    }

    // Years of service: a million lines of Russian text in Windows-1251, about 40 MB.
    QByteArray history;
    qsizetype chars = 0;
    {
        QStringEncoder enc("windows-1251");
        const QByteArray samples[] = {
            enc.encode(QString::fromUtf8(" Соединение установлено")),
            enc.encode(QString::fromUtf8(" Контрольная сумма не совпадает")),
            enc.encode(QString::fromUtf8(" Запись настроек...")),
            enc.encode(QString::fromUtf8(" Прочитано")),
        };
        history.reserve(qsizetype(lines) * 42);
        for (int i = 0; i < lines; ++i) {
            const qsizetype at = history.size();
            history += QByteArray::number(10 + i % 14) + ':' + QByteArray::number(10 + i % 50) + ':'
                + QByteArray::number(10 + i % 50) + samples[i % 4] + " - " + QByteArray::number(i);
            chars += history.size() - at;
            history += "\r\n";
        }
    }
    std::printf("history: %d lines, %.1f MB\n", lines, history.size() / 1e6);

    LogMemo memo;
    memo.resize(712, 119); // as the window places it
    memo.show();
    if (!QTest::qWaitForWindowExposed(&memo)) {
        std::printf("the log area was not shown\n");
        return 1;
    }
    bool ok = true;

    // As the window loads "log.txt": the history stays in its file and comes back from it.
    {
        QFile f(QStringLiteral("log.txt"));
        if (!f.open(QIODevice::WriteOnly) || f.write(history) != history.size()) {
            bench::unmeasured("copyall8", "log.txt could not be written here");
            bench::unmeasured("copyall16", "log.txt could not be written here");
            return 1;
        }
    }
    history = QByteArray();
    LogLines loaded;
    LogEncoding encoding = LogEncoding::Ansi;
    QString error;
    if (!loadlog(QStringLiteral("log.txt"), loaded, encoding, &error)) {
        bench::unmeasured("copyall8", error.toUtf8());
        bench::unmeasured("copyall16", error.toUtf8());
        return 1;
    }
    memo.setlines(std::move(loaded));
    memo.scrolltoend();
    const qsizetype breaklength = codepage::linebreak().size();
    const qsizetype expected = chars + (lines - 1) * breaklength;
    const double narrow = copyall(memo, expected);
    std::printf("select all + copy: %.1f ms (8-bit log)\n", narrow);
    ok &= bench::figure("copyall8", narrow / Budget, "<=", 1.0, "select all + copy of the history (8-bit) / 1000 ms");

    // One character outside the code page keeps the whole log in UTF-16.
    const QString tick = QString::fromUtf8("✓");
    memo.add(tick);
    const double wide = copyall(memo, expected + breaklength + tick.size());
    std::printf("select all + copy: %.1f ms (UTF-16 log)\n", wide);
    ok &= bench::figure("copyall16", wide / Budget, "<=", 1.0, "select all + copy of the history (UTF-16) / 1000 ms");
    return ok ? 0 : 1;
}
