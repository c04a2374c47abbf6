// The log file's encodings, marks and line breaks, the line store behind the log area, and
// saving over a history that stays in its file.  (Saving in place, where the folder takes no
// new file, is in test_logfile_readonly.cpp: making a folder refuse files is the system's own.)
#include "ui/logfile.h"
#include "ui/loglines.h"
#include "ui/timefmt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList all(const LogLines& l)
{
    QStringList out;
    for (qsizetype i = 0; i < l.count(); ++i)
        out << l.line(i);
    return out;
}
const QString Ru = QString::fromUtf8(" Выполнен Вход");
} // namespace

class TestLogFile : public QObject {
    Q_OBJECT
private slots:
    void marks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QStringList>("lines");
        const QStringList two{QStringLiteral("a"), Ru};
        QTest::newRow("utf8") << QByteArray("\xEF\xBB\xBF" "a\r\n") + Ru.toUtf8() + "\r\n"
                              << int(LogEncoding::Utf8) << two;
        QByteArray le("\xFF\xFE", 2), be("\xFE\xFF", 2);
        for (QChar c : QStringLiteral("a\r\n") + Ru + QStringLiteral("\r\n")) {
            le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        }
        QTest::newRow("utf16le") << le << int(LogEncoding::Utf16LE) << two;
        QTest::newRow("utf16be") << be << int(LogEncoding::Utf16BE) << two;
        // " Выполнен Вход" in Windows-1251.
        QTest::newRow("cp1251") << QByteArray("a\r\n \xC2\xFB\xEF\xEE\xEB\xED\xE5\xED \xC2\xF5\xEE\xE4\r\n")
                                << int(LogEncoding::Ansi) << two;
        // Only the first mark is one: a U+FEFF after it is text and is written back.
        const QStringList bom{QString(QChar(0xFEFF)) + QStringLiteral("a")};
        QTest::newRow("utf8 mark twice") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF" "a\r\n")
                                         << int(LogEncoding::Utf8) << bom;
        QTest::newRow("utf16le mark twice") << QByteArray("\xFF\xFE\xFF\xFE" "a\0\r\0\n\0", 10)
                                            << int(LogEncoding::Utf16LE) << bom;
        QTest::newRow("utf16be mark twice") << QByteArray("\xFE\xFF\xFE\xFF" "\0a\0\r\0\n", 10)
                                            << int(LogEncoding::Utf16BE) << bom;
        QTest::newRow("empty") << QByteArray() << int(LogEncoding::Ansi) << QStringList();
        QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF") << int(LogEncoding::Utf8) << QStringList();
        // A UTF-8 text without its mark is taken for the 8-bit code page, as designed.
        QTest::newRow("utf8 without mark") << QByteArray("\xD0\x92\r\n") << int(LogEncoding::Ansi)
                                           << QStringList{QString::fromUtf8("Р’")};
    }
    void marks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(QStringList, lines);
        LogEncoding e;
        LogLines l;
        l.settext(decodelog(bytes, &e));
        QCOMPARE(int(e), encoding);
        QCOMPARE(all(l), lines);
        // Written back the same way it was read.
        QCOMPARE(encodelog(l, e), bytes);
    }

    void breaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("crlf") << "a\r\nb\r\n" << QStringList{"a", "b"};
        QTest::newRow("lone lf") << "a\nb\n" << QStringList{"a", "b"};
        QTest::newRow("lone cr") << "a\rb" << QStringList{"a", "b"};
        QTest::newRow("mixed") << "a\r\n\nb\r\rc" << QStringList{"a", "", "b", "", "c"};
        QTest::newRow("no final break") << "a\r\nb" << QStringList{"a", "b"};
        QTest::newRow("lf then crlf") << "---\n\r\nx\r\n" << QStringList{"---", "", "x"};
        QTest::newRow("only breaks") << "\r\n\r\n" << QStringList{"", ""};
    }
    void breaks()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        LogLines l;
        l.settext(text);
        QCOMPARE(all(l), lines);
        // The same file without a mark is kept as bytes; it reads the same lines and is
        // written back with CR LF after every line.
        LogLines b;
        LogEncoding e;
        decodelines(text.toLatin1(), b, &e);
        QCOMPARE(int(e), int(LogEncoding::Ansi));
        QVERIFY(b.narrow());
        QCOMPARE(all(b), lines);
        const QByteArray canonical = lines.isEmpty() ? QByteArray()
                                                     : (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
        QCOMPARE(encodelog(b, LogEncoding::Ansi), canonical);
        QCOMPARE(encodelog(l, LogEncoding::Ansi), canonical);
    }

    void everyByteSurvivesTheRoundTrip()
    {
        // Whatever the 8-bit file holds between its line breaks comes back byte for byte.
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            if (b != '\r' && b != '\n')
                bytes.append(char(b));
        bytes += "\r\n";
        LogLines l;
        decodelines(bytes, l);
        QCOMPARE(l.count(), 1);
        QCOMPARE(encodelog(l, LogEncoding::Ansi), bytes);
        // And the characters are the converter's.
        QCOMPARE(l.line(0), decodelog(bytes).left(254));
    }

    void pageIsWindows1251_data()
    {
        // Whatever code page the system has (1252 or 65001 on many Windows machines), an
        // unmarked log is Windows-1251: its Cyrillic letters and signs, 0x98 included, which
        // the page leaves unassigned and the log keeps as it is.
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << QByteArray("\xC0\xDF\xE0\xFF\xA8\xB8") << QString::fromUtf8("АЯаяЁё");
        QTest::newRow("signs") << QByteArray("\xB9\x88\x85\xAB\xBB\x96") << QString::fromUtf8("№€…«»–");
        QTest::newRow("Ukrainian and Belarusian") << QByteArray("\xAA\xBA\xB2\xB3\xAF\xBF\xA5\xB4\xA1\xA2")
                                                  << QString::fromUtf8("ЄєІіЇїҐґЎў");
        QTest::newRow("unassigned and no-break space") << QByteArray("\x98\xA0") << QString::fromUtf16(u"\u0098\u00A0");
        QTest::newRow("ASCII") << QByteArray("COM1 ok") << QStringLiteral("COM1 ok");
    }
    void pageIsWindows1251()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        LogLines kept, added;
        decodelines(bytes + "\r\n", kept);
        QCOMPARE(all(kept), QStringList{text});
        QCOMPARE(decodelog(bytes), text);
        // A line the tool adds is written in the same bytes.
        decodelines(QByteArray(), added);
        added.add(text);
        QCOMPARE(encodelog(added, LogEncoding::Ansi), bytes + "\r\n");
        QCOMPARE(encodelog(kept, LogEncoding::Ansi), bytes + "\r\n");
    }

    void characterOutsideTheCodePage()
    {
        LogLines l;
        decodelines(QByteArray("old\r\n"), l);
        l.add(QString::fromUtf8(" Ждите..."));
        QVERIFY(l.narrow());
        l.add(QString::fromUtf8(" ✓ Ω"));
        // Kept in full while the tool runs ...
        QCOMPARE(all(l), (QStringList{"old", QString::fromUtf8(" Ждите..."), QString::fromUtf8(" ✓ Ω")}));
        QVERIFY(!l.narrow());
        // ... and written in the code page, where what has no byte becomes "?".
        QCOMPARE(encodelog(l, LogEncoding::Ansi),
                 QByteArray("old\r\n \xC6\xE4\xE8\xF2\xE5...\r\n ? ?\r\n"));
        QCOMPARE(encodelog(l, LogEncoding::Utf8), QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("old\r\n Ждите...\r\n ✓ Ω\r\n").toUtf8());
    }

    void writtenWithCrLf()
    {
        LogLines l;
        l.settext(QStringLiteral("one\ntwo\n"));
        l.add(QStringLiteral("-----------------------\n"));
        // Every line ends with CR LF; the separator keeps its own line feed before it.
        QCOMPARE(encodelog(l, LogEncoding::Ansi),
                 QByteArray("one\r\ntwo\r\n-----------------------\n\r\n"));
    }

    void addAndRemove()
    {
        LogLines l;
        l.add(u"x");
        l.add(u" ");
        l.removelast();
        l.add(u"y");
        QCOMPARE(all(l), (QStringList{"x", "y"}));
        QCOMPARE(encodelog(l, LogEncoding::Ansi), QByteArray("x\r\ny\r\n"));
        l.removelast();
        l.removelast();
        l.removelast(); // nothing left: no harm
        QCOMPARE(l.count(), 0);
    }

    void historyKeptInItsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("piece");   // the size of the pieces the file is read in
        QTest::addColumn<int>("removed"); // lines taken away after this run's two lines
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << 1 << 0;
        QTest::newRow("lone lf, lone cr") << QByteArray("a\nb\rc\r\n") << 1 << 0;
        QTest::newRow("cr lf cut between pieces") << QByteArray("ab\r\ncd\r\n") << 3 << 0;
        QTest::newRow("cr at the end") << QByteArray("a\r\nb\r") << 2 << 0;
        QTest::newRow("no final break") << QByteArray("a\r\nb") << 1 << 0;
        QTest::newRow("separator of the last run") << QByteArray("a\r\n-----------------------\n\r\n") << 4 << 0;
        QTest::newRow("only breaks") << QByteArray("\r\n\n\r\r\n") << 1 << 0;
        QTest::newRow("empty") << QByteArray() << 1 << 0;
        QTest::newRow("added line removed") << QByteArray("a\r\nb\n") << 1 << 1;
        QTest::newRow("history lines removed") << QByteArray("a\r\nb\nc\r\n") << 1 << 4;
        QTest::newRow("all removed") << QByteArray("a\r\nb\nc\r\n") << 1 << 5;
        // Many blocks of lines, every kind of break, the bytes of the whole code page, the
        // changed breaks early, late and nowhere.
        QByteArray many;
        quint32 seed = 12345;
        auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        const char* breaks[] = {"\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\n", "\r", "\n\r\n"};
        for (int i = 0; i < 3000; ++i) {
            const int length = int(next() % 60);
            for (int k = 0; k < length; ++k) {
                char c = char(next() % 256);
                if (c == '\r' || c == '\n')
                    c = 'x';
                many.append(c);
            }
            many.append(breaks[next() % 8]);
        }
        QByteArray clean;
        for (int i = 0; i < 3000; ++i)
            clean.append("12:00:00 line " + QByteArray::number(i) + "\r\n");
        for (int piece : {1, 7, 64, 4096, 256 * 1024}) {
            QTest::addRow("many lines, pieces of %d", piece) << many << piece << 0;
            QTest::addRow("CR LF only, pieces of %d", piece) << clean << piece << 0;
            QTest::addRow("changed breaks only at the end, pieces of %d", piece)
                << clean + "-----------------------\n\r\n" << piece << 0;
        }
        QTest::newRow("many lines, history lines removed") << many << 7 << 100;
        QTest::newRow("CR LF only, history lines removed") << clean << 7 << 100;
    }
    // The history loaded from its file reads the same lines as the file read whole, and is
    // saved byte for byte as the file read whole would be, also over the file it stays in.
    void historyKeptInItsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, piece);
        QFETCH(int, removed);
        const qsizetype before = LogLines::setpiece(piece);
        auto restore = qScopeGuard([&] { LogLines::setpiece(before); });
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        LogLines kept, whole;
        LogEncoding e;
        QString error;
        QVERIFY2(loadlog(path, kept, e, &error), qPrintable(error));
        QCOMPARE(int(e), int(LogEncoding::Ansi));
        decodelines(bytes, whole);
        QCOMPARE(all(kept), all(whole));
        // Read from the end backwards too, as the log area does.
        for (qsizetype i = kept.count() - 1; i >= 0; i -= 97)
            QCOMPARE(kept.line(i), whole.line(i));
        for (LogLines* l : {&kept, &whole}) {
            l->add(QString::fromUtf8(" Выход..."));
            l->add(QStringLiteral("-----------------------\n"));
            for (int i = 0; i < removed; ++i)
                l->removelast();
        }
        QCOMPARE(all(kept), all(whole));
        const QByteArray expected = encodelog(whole, LogEncoding::Ansi);
        QCOMPARE(encodelog(kept, LogEncoding::Ansi), expected);
        QVERIFY2(savelog(path, kept, LogEncoding::Ansi, &error), qPrintable(error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"log.txt"});
    }

    void historyWhoseFileIsReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("history\nmore\r\n");
        }
        LogLines lines;
        LogEncoding e;
        QString error;
        QVERIFY(loadlog(path, lines, e, &error));
        lines.add(u"x");
        // Something that cannot be replaced stands where the log goes.
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("log.txt/inside")));
        QVERIFY(!savelog(path, lines, LogEncoding::Ansi, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Cannot create file")), qPrintable(error));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("log.txt/inside"))).isDir());
        // Mended, the next save writes the whole log: the history did not go with its file.
        QVERIFY(QDir(path).removeRecursively());
        QVERIFY2(savelog(path, lines, LogEncoding::Ansi, &error), qPrintable(error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("history\r\nmore\r\nx\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"log.txt"});
    }

    void russianFormats()
    {
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        QCOMPARE(timeprefix(QTime(9, 5, 7), ru), QStringLiteral("9:05:07"));
        QCOMPARE(timeprefix(QTime(23, 59, 0), ru), QStringLiteral("23:59:00"));
        QCOMPARE(dateline(QDate(2026, 12, 9), ru), QStringLiteral("09.12.2026"));
        // No time-zone part in any locale.
        const QString us = timeprefix(QTime(9, 5, 7), QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(us.startsWith(QStringLiteral("9:05:07")), qPrintable(us));
        QVERIFY2(!us.contains(QStringLiteral("UTC")) && !us.contains(QLatin1Char('+')), qPrintable(us));
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "test_logfile.moc"
