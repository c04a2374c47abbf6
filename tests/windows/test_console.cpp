// The command line's console seam on Windows: what counts as a console, the bytes that reach a
// file or a pipe, the console's code page left alone, and Ctrl+C as a flag.  A console window
// itself is looked at from outside, by scripts/windows-test.sh.
#include "cli/console.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace {

// Puts a handle in place of standard output or error for a while.
class StdHandle {
public:
    StdHandle(DWORD which, HANDLE h) : which_(which), old_(GetStdHandle(which)) { SetStdHandle(which, h); }
    ~StdHandle() { SetStdHandle(which_, old_); }

private:
    DWORD which_;
    HANDLE old_;
};

HANDLE createfile(const QString& path)
{
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
}

} // namespace

class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { console::setup(); }

    void notATerminal_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("file") << QStringLiteral("file");
        QTest::newRow("pipe") << QStringLiteral("pipe");
        // The C library's _isatty says yes to NUL: a progress bar would be drawn into nothing.
        QTest::newRow("NUL") << QStringLiteral("NUL");
    }
    void notATerminal()
    {
        QFETCH(QString, what);
        QTemporaryDir dir;
        HANDLE h = INVALID_HANDLE_VALUE, other = INVALID_HANDLE_VALUE;
        if (what == QLatin1String("file")) {
            h = createfile(dir.filePath(QStringLiteral("out.txt")));
        } else if (what == QLatin1String("pipe")) {
            QVERIFY(CreatePipe(&other, &h, nullptr, 0));
        } else {
            h = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        QVERIFY(h != INVALID_HANDLE_VALUE);
        {
            StdHandle out(STD_OUTPUT_HANDLE, h);
            StdHandle err(STD_ERROR_HANDLE, h);
            QVERIFY(!console::isterminal(console::Stream::Out));
            QVERIFY(!console::isterminal(console::Stream::Err));
        }
        CloseHandle(h);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
    }

    void fileGetsUtf8AsItIs()
    {
        // Settings files and CSV rows: UTF-8 bytes, LF kept as LF, whatever the code page.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.ini"));
        FILE* f = _wfreopen(reinterpret_cast<const wchar_t*>(path.utf16()), L"wb", stdout);
        QVERIFY(f);
        HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
        const QByteArray text = QString::fromUtf8("[settings]\n; Адрес блока «№1»\naddress=5\r\n").toUtf8();
        bool written;
        {
            StdHandle out(STD_OUTPUT_HANDLE, h);
            written = console::write(console::Stream::Out, text.left(20))
                && console::write(console::Stream::Out, text.mid(20));
        }
        _wfreopen(L"NUL", L"wb", stdout);
        QVERIFY(written);
        QFile back(path);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), text);
    }

    void codePageLeftAlone()
    {
        // Setting up and writing never change the console's code pages: the user's window would
        // stay changed after the program ends.
        const UINT out = GetConsoleOutputCP(), in = GetConsoleCP();
        console::setup();
        console::write(console::Stream::Err, QString::fromUtf8("Проверка\n").toUtf8());
        QCOMPARE(GetConsoleOutputCP(), out);
        QCOMPARE(GetConsoleCP(), in);
    }

    void ctrlCRaisesTheFlag()
    {
        // A console of the test's own, so that the event reaches no other process.
        FreeConsole();
        if (!AllocConsole())
            QSKIP("no console can be made here");
        QVERIFY(!console::interrupted());
        console::setup();
        QVERIFY(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        QTRY_VERIFY(console::interrupted());
        FreeConsole();
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "test_console.moc"
