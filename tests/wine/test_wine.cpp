// The Windows package under Wine, driven from Linux: virelan2-cli.exe and virelan2.exe against
// simulated units on pseudo-terminals that the Wine prefix maps to COM ports, the installer and
// its uninstaller.  Judged by the bytes the unit received, the files written and what the
// programs print.
//
// scripts/windows-test.sh sets up the prefix and runs this with:
//   V2_WIN_FOLDER  the laid-out folder holding virelan2.exe and virelan2-cli.exe
//   V2_WIN_SETUP   the installer (the installer case is skipped without it)
//   V2_WIN_SHOT    where to save a picture of the window (none without it)
//   WINEPREFIX, LANG and DISPLAY as Wine is to run (the window cases are skipped without DISPLAY)
#include "settings/image.h"
#include "settings/settingsfile.h"
#include "sim/unitsim.h"
#include "tests/settings/factorybytes.h"
#include "tests/sound/wavfile.h"
#include "tests/support/child.h"
#include "tests/support/unitimages.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using fixture::Image;

const QByteArray Connect = "ZU";
const QByteArray End = "Z";
constexpr int CliCom = 3;    // the unit the command line talks to
constexpr int WindowCom = 1; // the unit the window talks to

using fixture::Run;
using fixture::bytes;
using fixture::unusual;
using fixture::withsum;
using fixture::writable;

// A Linux path as the Windows programs see it: Wine's drive Z: is the root.
QString winpath(const QString& path)
{
    return QStringLiteral("Z:") + QString(path).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString folderexe(const char* name)
{
    return qEnvironmentVariable("V2_WIN_FOLDER") + QLatin1Char('/') + QLatin1String(name);
}

// Runs a Wine tool to its end; false when it failed.
bool winetool(const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("wine"), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Maps COMn of the prefix to a device.  Wine's mount manager rewrites the prefix's dosdevices
// links from this key whenever the server starts, so the server is stopped to take it.
bool mapport(int com, const std::string& device)
{
    if (!winetool({"reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", QStringLiteral("COM%1").arg(com), "/d",
                   QString::fromStdString(device), "/f"}))
        return false;
    return QProcess::execute(QStringLiteral("wineserver"), {"-k"}) >= 0
        && QProcess::execute(QStringLiteral("wineserver"), {"-w"}) >= 0;
}

// The program run the way a console runs it, to its end.  `during` runs once it has started.
Run wine(const QString& exe, const QStringList& args, const QString& cwd,
         const std::function<void(QProcess&)>& during = {},
         const std::function<void()>& modifier = {})
{
    fixture::ChildOptions o;
    o.cwd = cwd;
    o.during = during;
    o.modifier = modifier;
    o.timeout = 120000;
    return fixture::runchild(QStringLiteral("wine"), QStringList{exe} + args, o);
}

QByteArray readfile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writefile(const QString& path, const QByteArray& b)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(b) == b.size();
}

QByteArray xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(30000);
    return p.readAllStandardOutput().trimmed();
}

// The window's X id, once it is shown; empty when it does not come within ms (0: shown now).
QByteArray findwindow(const QString& title, int ms)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        const QByteArray id = xdotool({"search", "--onlyvisible", "--name", title}).split('\n').value(0);
        if (!id.isEmpty() || t.elapsed() >= ms)
            return id;
        QTest::qWait(250);
    }
}

// What the screen holds, for a failure message: every named window's title.
QString windownames()
{
    const QByteArray ids = xdotool({"search", "--name", "."});
    QStringList names;
    for (const QByteArray& id : ids.split('\n'))
        if (!id.isEmpty())
            names << QString::fromUtf8(xdotool({"getwindowname", QString::fromLatin1(id)}));
    return QStringLiteral("windows shown: ") + names.join(QStringLiteral(" | "));
}

QRect geometry(const QByteArray& id)
{
    const QByteArray out = xdotool({"getwindowgeometry", "--shell", QString::fromLatin1(id)});
    QRect r;
    for (const QByteArray& line : out.split('\n')) {
        const int eq = line.indexOf('=');
        const QByteArray k = line.left(eq);
        const int v = line.mid(eq + 1).toInt();
        if (k == "X")
            r.moveLeft(v);
        else if (k == "Y")
            r.moveTop(v);
        else if (k == "WIDTH")
            r.setWidth(v);
        else if (k == "HEIGHT")
            r.setHeight(v);
    }
    return r;
}

// A click at a point of the window's client area, as the operator makes it.
void click(const QByteArray& id, int x, int y)
{
    xdotool({"mousemove", "--window", QString::fromLatin1(id), QString::number(x), QString::number(y)});
    QTest::qWait(150);
    xdotool({"click", "1"});
    QTest::qWait(300);
}

// A history as older logs hold it: Windows-1251 lines with CR LF, and one line
// holding every other byte value, 0x98 too, which must come back byte for byte.
QByteArray history()
{
    QByteArray every;
    for (int b = 0x20; b < 256; ++b)
        every.append(char(b));
    return QByteArray("01.02.2024\r\n"
                      "10:00:00 \xC2\xFB\xEF\xEE\xEB\xED\xE5\xED \xC2\xF5\xEE\xE4\r\n" // " Выполнен Вход"
                      "10:00:05 \xD1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xE5 \xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xEE\r\n")
        + every + "\r\n-----------------------\r\n";
}

QByteArray cp1251(const QString& s)
{
    // The page's letters are the Cyrillic block in order; the texts checked here need no more.
    QByteArray out;
    for (QChar c : s) {
        const ushort u = c.unicode();
        if (u < 0x80)
            out.append(char(u));
        else if (u >= 0x410 && u <= 0x44F)
            out.append(char(0xC0 + (u - 0x410)));
        else if (u == 0x401)
            out.append('\xA8');
        else if (u == 0x451)
            out.append('\xB8');
        else
            out.append('?');
    }
    return out;
}

} // namespace

class TestWine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void portsFindsTheMappedPort();
    void readToStdoutAndToAFile();
    void writeWithSetAndReadBack();
    void factory();
    void uploadTwoMessages();
    void ctrlCStopsUploadAtABlock();
    void watchCountsRows();
    void missingPort();
    void consoleShowsRussian();

    void windowKeepsTheLogInWindows1251();
    void installerAndUninstaller();

private:
    std::unique_ptr<QTemporaryDir> scratch;
    std::unique_ptr<sim::Unit> unit;   // behind COM3
    std::unique_ptr<sim::Unit> wunit;  // behind COM1
    QString file(const QString& name) const { return scratch->filePath(name); }
    Run cli(const QStringList& args, const std::function<void(QProcess&)>& during = {},
            const std::function<void()>& modifier = {})
    {
        return wine(folderexe("virelan2-cli.exe"), args, scratch->path(), during, modifier);
    }
    void runWindow(const QString& exe, const QString& cwd, const QString& shot);
};

void TestWine::initTestCase()
{
    QVERIFY2(QFile::exists(folderexe("virelan2-cli.exe")), "V2_WIN_FOLDER holds no virelan2-cli.exe");
    unit = std::make_unique<sim::Unit>();
    wunit = std::make_unique<sim::Unit>();
    QVERIFY(mapport(CliCom, unit->slavePath()));
    QVERIFY(mapport(WindowCom, wunit->slavePath()));
}

void TestWine::cleanupTestCase()
{
    QProcess::execute(QStringLiteral("wineserver"), {"-k"});
}

void TestWine::init()
{
    scratch = std::make_unique<QTemporaryDir>();
    QVERIFY(scratch->isValid());
    for (sim::Unit* u : {unit.get(), wunit.get()}) {
        u->setConfig(sim::Config{});
        u->setImage(sim::defaultImage(52, 14, 1));
        u->clearReceived();
    }
}

void TestWine::portsFindsTheMappedPort()
{
    const Run r = cli({"ports"});
    QCOMPARE(r.code, 0);
    // Each present port with the device the program opens for it.
    QVERIFY2(QString::fromUtf8(r.out).contains(QStringLiteral("COM3\t\\\\.\\COM3\n")), r.out.constData());
    QVERIFY2(QString::fromUtf8(r.out).contains(QStringLiteral("COM1\t\\\\.\\COM1\n")), r.out.constData());
    QCOMPARE(bytes(unit->received()), QByteArray());
}

void TestWine::readToStdoutAndToAFile()
{
    unit->setImage(unusual(unit->image()));
    const settings::Fields want = settings::decode(unit->image().data()).fields;

    // Standard output into a pipe: the file's UTF-8 bytes, as on Linux.
    const Run out = cli({"read", "COM3"});
    QCOMPARE(out.code, 0);
    QVERIFY2(out.errtext().contains(QStringLiteral("Прочитано")), qPrintable(out.errtext()));
    QVERIFY(out.out.startsWith("[settings]\n"));
    QVERIFY(!out.out.contains('\r'));
    QVERIFY(out.out.contains("\nport=COM3\n"));
    QVERIFY(QString::fromUtf8(out.out).toUtf8() == out.out);
    QVERIFY(QString::fromUtf8(out.out).contains(QStringLiteral("; Адрес")) || QString::fromUtf8(out.out).contains(QChar(0x0410)));
    QVERIFY(writefile(file(QStringLiteral("stdout.ini")), out.out));
    QCOMPARE(settings::keyvalues(settings::loadfile(file(QStringLiteral("stdout.ini")), settings::Fields{})),
             settings::keyvalues(want));
    // The image, then one poll of the readings for the record's [readings].
    QCOMPARE(bytes(unit->received()), Connect + "R" + "\x10" + End);

    // A file whose path holds Cyrillic letters and spaces.
    unit->clearReceived();
    const QString path = file(QStringLiteral("Блок на объекте/уставки блока 1.ini"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    const Run tofile = cli({"read", "COM3", winpath(path), "--no-readings"});
    QCOMPARE(tofile.code, 0);
    QCOMPARE(tofile.out, QByteArray());
    const QByteArray text = readfile(path);
    QVERIFY(text.startsWith("[settings]\n"));
    QCOMPARE(settings::keyvalues(settings::loadfile(path, settings::Fields{})), settings::keyvalues(want));
    QCOMPARE(bytes(unit->received()), Connect + "R" + End);
}

void TestWine::writeWithSetAndReadBack()
{
    const Image before = unusual(unit->image());
    unit->setImage(before);
    const QString path = file(QStringLiteral("Настройки с пробелами/новые уставки.ini"));
    QVERIFY(writefile(path, "[settings]\naddress=3\nvolume=9\n"));

    const Run r = cli({"write", "COM3", winpath(path), "--set", "address=7", "--set", "zone=$9"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    for (const char* s : {"address: 17 -> 7", "zone: 3 -> 9", "volume: 5 -> 9", "подтверждено"})
        QVERIFY2(r.errtext().contains(QString::fromUtf8(s)), qPrintable(r.errtext()));
    Image wanted = before;
    wanted[6] = 7;
    wanted[7] = 9;
    wanted[43] = 9;
    wanted = withsum(wanted);
    QCOMPARE(bytes(unit->image()), bytes(wanted));
    QCOMPARE(bytes(unit->received()), Connect + "R" + "S" + bytes(wanted) + "R" + End);
}

void TestWine::factory()
{
    const Image before = unusual(unit->image());
    unit->setImage(before);
    const Run r = cli({"factory", "COM3"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    const Image now = unit->image();
    for (const auto& [index, value] : FactoryBytes)
        QCOMPARE(now[index], value);
    for (int i = 0; i < 512; ++i)
        if (!writable(i) && i != settings::SumIndex)
            QCOMPARE(now[i], before[i]);
    QVERIFY2(r.errtext().contains(QStringLiteral("address: 17 -> 1")), qPrintable(r.errtext()));
}

void TestWine::uploadTwoMessages()
{
    const QByteArray one = wavfile::sound(3 * 512 + 100, 1);
    const QByteArray two = wavfile::sound(2 * 512, 2);
    const QString p1 = file(QStringLiteral("Звуки объекта/Сообщение ППК1.wav"));
    const QString p2 = file(QStringLiteral("Звуки объекта/сообщение 2 (тревога).wav"));
    QVERIFY(writefile(p1, wavfile::canonical(one)));
    QVERIFY(writefile(p2, wavfile::withlist(two)));

    const Run r = cli({"upload", "COM3", winpath(p1), winpath(p2)});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    // The data chunks, byte for byte, in whole blocks.
    QCOMPARE(bytes(unit->sound(0)), one.left(3 * 512));
    QCOMPARE(bytes(unit->sound(1)), two);
    const QByteArray head = Connect + QByteArray("\x60\x00\x03\x00\x02", 5);
    QCOMPARE(bytes(unit->received()), head + one.left(3 * 512) + two + End);
}

void TestWine::ctrlCStopsUploadAtABlock()
{
    // Wine turns SIGINT into the console's Ctrl+C event, which the program's handler takes.
    constexpr int Blocks = 300;
    QVERIFY(writefile(file(QStringLiteral("ppk1.wav")), wavfile::canonical(wavfile::sound(Blocks * 512))));
    QVERIFY(writefile(file(QStringLiteral("ppk2.wav")), wavfile::canonical(wavfile::sound(512))));
    sim::Config slow;
    slow.blockWorkMs = 10;
    unit->setConfig(slow);

    const Run r = cli({"upload", "COM3", "ppk1.wav", "ppk2.wav"}, [&](QProcess& p) {
        // The unit's block count still holds the last test's upload until this one starts:
        // the bytes received since init() are this upload's alone.
        QTRY_VERIFY_WITH_TIMEOUT(bytes(unit->received()).size() >= 7 + 5 * 512, 30000);
        ::kill(pid_t(p.processId()), SIGINT);
    });
    QVERIFY2(r.code == 130 && !r.crashed, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(r.errtext())));
    QVERIFY2(r.errtext().contains(QStringLiteral("Запись прервана оператором")), qPrintable(r.errtext()));
    const int got = unit->blocksReceived();
    QVERIFY(got >= 5 && got < Blocks);
    QTest::qWait(100);
    QCOMPARE(bytes(unit->received()).size(), 7 + got * 512);
    // The unit is still inside the upload, and takes the next test's bytes for sound until it
    // gives the upload up after two quiet seconds.
    QTest::qWait(2500);
}

void TestWine::watchCountsRows()
{
    sim::Config c;
    c.readings = {{1, 2, 3, 65535, 40000, 0}};
    unit->setConfig(c);
    const Run r = cli({"watch", "COM3", "--interval", "100", "--count", "3"});
    QCOMPARE(r.code, 0);
    const QStringList rows = QString::fromUtf8(r.out).split(QLatin1Char('\n'));
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0], QStringLiteral("time,ppk1,ppk2,gochs,adc,light,power"));
    const QRegularExpression row(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d),1,2,3,65535,40000,0$"));
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(row.match(rows[i]).hasMatch(), qPrintable(rows[i]));
    QCOMPARE(rows[4], QString());
    QCOMPARE(bytes(unit->received()), Connect + "\x10\x10\x10" + End);
}

void TestWine::missingPort()
{
    const Run r = cli({"read", "COM9"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.errtext().contains(QStringLiteral("COM9")) && r.errtext().contains(QStringLiteral("не найден")),
             qPrintable(r.errtext()));
}

void TestWine::consoleShowsRussian()
{
    // On a terminal Wine gives the program a console: the messages go to it as characters
    // (WriteConsoleW), and reach the terminal as its own UTF-8, whatever the console's code page.
    int master = -1, slave = -1;
    QCOMPARE(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray screen;
    auto drain = [&] {
        char buf[4096];
        for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
            screen.append(buf, n);
    };
    const Run r = cli({"read", "COM9"}, [&](QProcess& p) {
        while (!p.waitForFinished(50))
            drain();
    }, [slave] {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
    });
    ::close(slave);
    drain();
    ::close(master);
    QCOMPARE(r.code, 1);
    // The console draws with escape sequences; the letters are what counts.
    QString text = QString::fromUtf8(screen);
    text.remove(QRegularExpression(QStringLiteral("\x1b\\[[0-9;?]*[A-Za-z]")));
    text.remove(QRegularExpression(QStringLiteral("\x1b\\][^\x07]*\x07")));
    QVERIFY2(text.contains(QStringLiteral("не найден")), qPrintable(text));
    QVERIFY2(!text.contains(QChar(0xFFFD)), qPrintable(text));
}

void TestWine::runWindow(const QString& exe, const QString& cwd, const QString& shot)
{
    QProcess p;
    p.setProgram(QStringLiteral("wine"));
    p.setArguments({exe});
    p.setWorkingDirectory(cwd);
    p.start();
    QVERIFY(p.waitForStarted(10000));
    auto stop = qScopeGuard([&] {
        if (p.state() != QProcess::NotRunning) {
            ::kill(pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
        }
    });
    const QByteArray id = findwindow(QStringLiteral("Вирелан 2"), 60000);
    QVERIFY2(!id.isEmpty(), qPrintable(windownames()));
    QTest::qWait(1500);
    const QRect g = geometry(id);
    QVERIFY2(g.width() >= 728 && g.height() >= 483, qPrintable(QStringLiteral("%1x%2").arg(g.width()).arg(g.height())));

    // Chooses COM1 as the operator does: types it into the port list and presses Enter, then
    // presses "Подключить".  The settings are read at once.
    click(id, 76, 40);
    xdotool({"key", "--clearmodifiers", "ctrl+a"});
    xdotool({"type", "--delay", "50", "COM1"});
    xdotool({"key", "Return"});
    QTest::qWait(500);
    click(id, 76, 98);
    QTRY_VERIFY_WITH_TIMEOUT(bytes(wunit->received()).startsWith(Connect + "R"), 20000);
    QTest::qWait(3000);

    if (!shot.isEmpty()) {
        const QPixmap pm = QGuiApplication::primaryScreen()->grabWindow(0, g.x(), g.y(), g.width(), g.height());
        QVERIFY(pm.save(shot, "PNG"));
    }

    // Closed as the operator closes it.
    xdotool({"windowactivate", "--sync", QString::fromLatin1(id)});
    xdotool({"key", "--window", QString::fromLatin1(id), "alt+F4"});
    if (!p.waitForFinished(30000)) {
        xdotool({"key", "alt+F4"});
        QVERIFY2(p.waitForFinished(30000), "the window did not close");
    }
    QCOMPARE(p.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(bytes(wunit->received()).endsWith(End), 5000);
}

void TestWine::windowKeepsTheLogInWindows1251()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no display");
    const QString folder = file(QStringLiteral("Рабочая папка"));
    QVERIFY(writefile(folder + QStringLiteral("/log.txt"), history()));
    runWindow(folderexe("virelan2.exe"), folder, qEnvironmentVariable("V2_WIN_SHOT"));
    if (QTest::currentTestFailed())
        return;

    const QByteArray log = readfile(folder + QStringLiteral("/log.txt"));
    // The earlier lines as they were, byte for byte; the run's lines after them in Windows-1251,
    // whatever the code page of the system.
    QVERIFY(log.startsWith(history()));
    const QByteArray run = log.mid(history().size());
    for (const char* s : {" Выполнен Вход", " Соединение установлено", " Выход..."})
        QVERIFY2(run.contains(cp1251(QString::fromUtf8(s))), qPrintable(QStringLiteral("%1 not in: %2")
                     .arg(QString::fromUtf8(s), QString::fromLatin1(run.toPercentEncoding(" \r\n:.-")))));
    QVERIFY(!run.contains("\xD0"));          // no UTF-8
    QVERIFY(!run.contains("?????"));         // no letters lost
    // The separator is kept as the window holds it, its own line feed before the CR LF.
    QVERIFY2(run.endsWith("-----------------------\n\r\n"), qPrintable(QString::fromLatin1(run.right(40).toPercentEncoding())));
}

void TestWine::installerAndUninstaller()
{
    const QString setup = qEnvironmentVariable("V2_WIN_SETUP");
    if (setup.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("no installer or no display");
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    QByteArray user;
    QVERIFY(winetool({"cmd", "/c", "echo", "%USERNAME%"}, &user));
    const QString home = prefix + QStringLiteral("/drive_c/users/") + QString::fromLocal8Bit(user.trimmed());
    const QString program = home + QStringLiteral("/AppData/Local/Programs/Virelan2");
    const QString menu = home + QStringLiteral("/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Virelan2");

    // Silent: no questions, the desktop shortcut on.
    const Run install = wine(setup, {"/S"}, scratch->path());
    QCOMPARE(install.code, 0);
    QProcess::execute(QStringLiteral("wineserver"), {"-w"});
    for (const char* f : {"virelan2.exe", "virelan2-cli.exe", "Qt6Core.dll", "platforms/qwindows.dll",
                          "styles/qwindowsvistastyle.dll", "uninstall.exe"})
        QVERIFY2(QFile::exists(program + QLatin1Char('/') + QLatin1String(f)), f);
    QVERIFY(QFile::exists(menu + QStringLiteral("/Вирелан 2.lnk")));
    QVERIFY(QFile::exists(menu + QStringLiteral("/Командная строка Virelan2.lnk")));
    QByteArray key;
    QVERIFY(winetool({"reg", "query", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Virelan2"}, &key));
    QVERIFY2(key.contains("UninstallString") && key.contains("DisplayIcon"), key.constData());

    // The Start-menu shortcut starts the program in its working folder, Documents\Virelan2.
    QByteArray docs;
    QVERIFY(winetool({"winepath", "-u", "C:\\users\\" + QString::fromLocal8Bit(user.trimmed()) + "\\Documents"}, &docs));
    QString work = QDir(QString::fromLocal8Bit(docs.trimmed())).filePath(QStringLiteral("Virelan2"));
    QVERIFY2(QFileInfo(work).isDir(), qPrintable(work));
    work = QFileInfo(work).canonicalFilePath();
    QVERIFY(writefile(work + QStringLiteral("/log.txt"), history()));
    {
        QProcess p;
        p.setProgram(QStringLiteral("wine"));
        // By its C: path, as Explorer opens it: Wine resolves no shortcut reached through Z:.
        const QString link = QStringLiteral("C:\\users\\%1\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Virelan2\\Вирелан 2.lnk")
                                 .arg(QString::fromLocal8Bit(user.trimmed()));
        p.setArguments({QStringLiteral("start"), QStringLiteral("/wait"), link});
        p.setWorkingDirectory(scratch->path());
        p.start();
        QVERIFY(p.waitForStarted(10000));
        const QByteArray id = findwindow(QStringLiteral("Вирелан 2"), 60000);
        QVERIFY2(!id.isEmpty(), qPrintable(windownames()));
        QTest::qWait(1500);
        xdotool({"windowactivate", "--sync", QString::fromLatin1(id)});
        xdotool({"key", "--window", QString::fromLatin1(id), "alt+F4"});
        // "start /wait" may return before the program ends: the program has ended, and written
        // its log, when the prefix's server has no process left.
        QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(60000));
        QProcess::execute(QStringLiteral("wineserver"), {"-w"});
        QVERIFY2(findwindow(QStringLiteral("Вирелан 2"), 0).isEmpty(), "the window did not close");
    }
    const QByteArray log = readfile(work + QStringLiteral("/log.txt"));
    QVERIFY(log.startsWith(history()));
    QVERIFY(log.mid(history().size()).contains(cp1251(QStringLiteral(" Выход..."))));

    // The uninstaller removes the program, its shortcuts and its key; the log stays.
    const Run uninstall = wine(program + QStringLiteral("/uninstall.exe"), {"/S"}, scratch->path());
    QCOMPARE(uninstall.code, 0);
    QProcess::execute(QStringLiteral("wineserver"), {"-w"});
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(program), 30000);
    QVERIFY(!QFileInfo::exists(menu));
    QVERIFY(!winetool({"reg", "query", "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Virelan2"}));
    QCOMPARE(readfile(work + QStringLiteral("/log.txt")), log);
}

QTEST_MAIN(TestWine)
#include "test_wine.moc"
