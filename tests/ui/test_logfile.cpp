// The log file's encodings, marks and line breaks, and the line store behind the log area.
#include "ui/logfile.h"
#include "ui/loglines.h"
#include "ui/timefmt.h"

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
        l.removelast();
        l.removelast();
        l.removelast(); // nothing left: no harm
        QCOMPARE(l.count(), 0);
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
