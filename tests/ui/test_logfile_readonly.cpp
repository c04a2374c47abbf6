// Saving the log in place, where the folder takes no new file.  A folder is made to refuse new
// files by a read-only bind mount or by its permission bits, both of them Linux's own.
#include "ui/logfile.h"
#include "ui/loglines.h"
#include "tests/support/readonly.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class TestLogFileReadOnly : public QObject {
    Q_OBJECT
private slots:
    // Where the folder takes no new file, the log is written over the file itself, the same
    // bytes as a new file would hold; where the file cannot be written either, nothing changes.
    void savedInPlace_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("writable");
        QByteArray history;
        for (int i = 0; i < 5000; ++i)
            history.append("12:00:00 line " + QByteArray::number(i) + "\r\n");
        QTest::newRow("breaks as written") << history << true;
        QTest::newRow("breaks that change, early") << "first\n" + history << true;
        QTest::newRow("breaks that change, late") << history + "-----------------------\n\r\n" << true;
        QTest::newRow("file read-only too") << history + "-----------------------\n\r\n" << false;
    }
    void savedInPlace()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, writable);
        const qsizetype before = LogLines::setpiece(1000);
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
        QVERIFY(loadlog(path, kept, e, &error));
        decodelines(bytes, whole);
        for (LogLines* l : {&kept, &whole})
            l->add(QString::fromUtf8(" Выход..."));
        {
            fixture::ReadOnlyFolder ro(dir.path(), writable ? QStringList{"log.txt"} : QStringList{});
            if (!ro.failure().isEmpty())
                QSKIP(qPrintable(QStringLiteral("cannot make a folder refuse new files here: ") + ro.failure()));
            QCOMPARE(savelog(path, kept, LogEncoding::Ansi, &error), writable);
            if (!writable)
                QVERIFY2(error.startsWith(QStringLiteral("Cannot create file")), qPrintable(error));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), writable ? encodelog(whole, LogEncoding::Ansi) : bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"log.txt"});
    }
};

QTEST_GUILESS_MAIN(TestLogFileReadOnly)
#include "test_logfile_readonly.moc"
