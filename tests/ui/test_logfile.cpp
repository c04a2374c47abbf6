// The log file's encodings, marks and line breaks, and the line store behind the log area.
#include "ui/logfile.h"
#include "ui/loglines.h"
#include "ui/timefmt.h"

#include <QDir>
#include <QFile>
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

    void headStartSavesTheSameFile_data()
    {
        QTest::addColumn<int>("removed"); // lines taken away after the head start
        QTest::addColumn<bool>("elsewhere"); // saved to another path than prepared
        QTest::newRow("lines added") << 0 << false;
        QTest::newRow("one added line removed") << 1 << false;
        QTest::newRow("a history line removed") << 3 << false;
        QTest::newRow("another folder") << 0 << true;
    }
    void headStartSavesTheSameFile()
    {
        QFETCH(int, removed);
        QFETCH(bool, elsewhere);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        LogLines lines;
        decodelines(QByteArray("one\r\ntwo\nthree\r\n"), lines);
        LogSaver saver;
        saver.prepare(path, lines, LogEncoding::Ansi);
        lines.add(QString::fromUtf8(" Выход..."));
        lines.add(QStringLiteral("-----------------------\n"));
        for (int i = 0; i < removed; ++i)
            lines.removelast();
        const QString target = elsewhere ? dir.filePath(QStringLiteral("other.txt")) : path;
        QString error;
        QVERIFY2(saver.save(target, lines, LogEncoding::Ansi, &error), qPrintable(error));
        // Byte for byte what a whole save writes, and nothing left behind.
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), encodelog(lines, LogEncoding::Ansi));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QFileInfo(target).fileName()});
    }

    void headStartThatCannotCommit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        LogLines lines;
        decodelines(QByteArray("history\r\n"), lines);
        LogSaver saver;
        saver.prepare(path, lines, LogEncoding::Ansi);
        lines.add(u"x");
        // Something that cannot be replaced stands where the log goes.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("log.txt/inside")));
        QString error;
        QVERIFY(!saver.save(path, lines, LogEncoding::Ansi, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Cannot create file")), qPrintable(error));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("log.txt/inside"))).isDir());
        // Mended, the next save writes the whole log.
        QVERIFY(QDir(path).removeRecursively());
        QVERIFY(saver.save(path, lines, LogEncoding::Ansi, &error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("history\r\nx\r\n"));
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
