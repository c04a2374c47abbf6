// virelan2-cli run as the shell runs it, a child process, against simulated units on real
// pseudo-terminals linked as COMn in the scratch port folder: what it prints where, the exit
// status, and what the unit got on the line.
#include "settings/image.h"
#include "settings/settingsfile.h"
#include "tests/settings/factorybytes.h"
#include "tests/sound/wavfile.h"
#include "tests/support/child.h"
#include "tests/support/fixture.h"
#include "tests/support/unitimages.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QtTest>

#include <csignal>
#include <functional>
#include <numeric>
#include <memory>

#include <pty.h>
#include <unistd.h>

Q_DECLARE_METATYPE(sim::Config)

namespace {

using fixture::Image;
using fixture::Run;
using fixture::bytes;
using fixture::unusual;
using fixture::withsum;
using fixture::writable;

// Runs the command line to its end.  `during` runs once the child has started (to send it
// Ctrl+C, or to watch the unit); `modifier` runs in the child before it starts.
Run cli(const QStringList& args, const std::function<void(QProcess&)>& during = {},
        const std::function<void()>& modifier = {})
{
    fixture::ChildOptions o;
    o.during = during;
    o.modifier = modifier;
    // Generous: the longest command here waits through three 1000 ms pauses.
    return fixture::runchild(QStringLiteral(CLI_PATH), args, o);
}

// The unit's fields of an unusual image, and fields that differ from them in every key:
// written over that unit, each key changes.
settings::Fields unusualfields()
{
    return settings::decode(unusual(sim::defaultImage(52, 14, 1)).data()).fields;
}

settings::Fields otherthan(const settings::Fields& unit)
{
    settings::Fields f = settings::factoryfields();
    const auto have = settings::keyvalues(unit);
    const auto now = settings::keyvalues(f);
    for (int i = 0; i < have.size(); ++i) {
        if (now[i].second != have[i].second)
            continue;
        for (int candidate : {have[i].second + 1, have[i].second - 1}) {
            try {
                f = settings::setkey(f, QStringLiteral("%1=%2").arg(have[i].first).arg(candidate));
                break;
            } catch (const settings::FileError&) {
            }
        }
    }
    return f;
}

const QByteArray Connect = "ZU";
const QByteArray End = "Z";

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void versionAndHelp_data();
    void versionAndHelp();
    void wrongUseSendsNothing_data();
    void wrongUseSendsNothing();
    void portsListsPresentPorts();
    void read_data();
    void read();
    void busyPortIsNotASilentUnit();
    void write_data();
    void write();
    void readBackComparesEveryKey_data();
    void readBackComparesEveryKey();
    void fileOfOneUnitMakesAnotherTheSame();
    void factory();
    void ctrlCDuringWrite_data();
    void ctrlCDuringWrite();
    void upload_data();
    void upload();
    void siren_data();
    void siren();
    void ctrlCStopsUploadAtABlock();
    void ctrlCWithTheLastBlock_data();
    void ctrlCWithTheLastBlock();
    void progress_data();
    void progress();
    void watchCountsRows();
    void watchEndsAtCtrlC();
    void readings_data();
    void readings();
    void readKeepsTheSounds();
    void diffUnit_data();
    void diffUnit();
    void readThenDiffAgree();
    void diffFiles_data();
    void diffFiles();
    void diffOfAFailedRead();
    void fileErrorsInRussian_data();
    void fileErrorsInRussian();
    void info_data();
    void info();
    void factsBeforeUpload();
    void recordIntoNewFile_data();
    void recordIntoNewFile();
    void recordIntoExistingFile();
    void stoppedUploadRecordsNothing_data();
    void stoppedUploadRecordsNothing();
    void recordFileRefusedSendsNothing_data();
    void recordFileRefusedSendsNothing();
    void recordNotWrittenAfterGoodUpload();
    void ctrlCDuringTheLastBlockStillRecords();

private:
    std::unique_ptr<fixture::Scratch> scratch;
    QString file(const QString& name) const { return scratch->file(name); }
    void put(const QString& name, const QByteArray& content)
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
};

void TestCli::init()
{
    scratch = std::make_unique<fixture::Scratch>();
}

void TestCli::cleanup()
{
    // The window rewrites "log.txt" whole at exit; the command line must never touch it.
    QVERIFY(!QFile::exists(file(QStringLiteral("log.txt"))));
    scratch.reset();
}

void TestCli::versionAndHelp_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("shows");
    QTest::newRow("--version") << QStringList{"--version"} << QStringLiteral("virelan2-cli " V2_VERSION "\n");
    QTest::newRow("--help") << QStringList{"--help"} << QStringLiteral("Коды завершения:");
    for (const char* c : {"ports", "read", "write", "factory", "upload", "siren", "watch", "diff", "info"})
        QTest::addRow("%s --help", c) << QStringList{c, "--help"} << QStringLiteral("] %1").arg(c);
    QTest::newRow("write --help names --set") << QStringList{"write", "--help"} << QStringLiteral("--set <КЛЮЧ=ЗНАЧЕНИЕ>");
    QTest::newRow("watch --help names --count") << QStringList{"watch", "-h"} << QStringLiteral("--count <N>");
    QTest::newRow("exit 3 in --help") << QStringList{"--help"} << QStringLiteral("  3    diff: блок и файл");
    QTest::newRow("read --help names --no-readings") << QStringList{"read", "--help"} << QStringLiteral("--no-readings");
    QTest::newRow("upload --help names --record") << QStringList{"upload", "-h"} << QStringLiteral("--record <ФАЙЛ>");
    QTest::newRow("siren --help names --record") << QStringList{"siren", "-h"} << QStringLiteral("--record <ФАЙЛ>");
}

void TestCli::versionAndHelp()
{
    QFETCH(QStringList, args);
    QFETCH(QString, shows);
    const Run r = cli(args);
    QCOMPARE(r.code, 0);
    QVERIFY2(QString::fromUtf8(r.out).contains(shows), r.out.constData());
    QCOMPARE(r.err, QByteArray());
}

void TestCli::wrongUseSendsNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("says"); // fragments of the message

    const QString bad = QStringLiteral("bad.ini");
    QTest::newRow("no command") << QStringList{} << QStringList{"команда"};
    QTest::newRow("unknown command") << QStringList{"frobnicate", "COM1"} << QStringList{"frobnicate"};
    QTest::newRow("unknown option") << QStringList{"read", "COM1", "--bogus"} << QStringList{"bogus"};
    QTest::newRow("no port") << QStringList{"read"} << QStringList{"COMn"};
    QTest::newRow("COM0") << QStringList{"read", "COM0"} << QStringList{"COM0"};
    QTest::newRow("COM41") << QStringList{"read", "COM41"} << QStringList{"COM41"};
    QTest::newRow("COM01") << QStringList{"read", "COM01"} << QStringList{"COM01"};
    QTest::newRow("not a COM name") << QStringList{"factory", "/dev/ttyS0"} << QStringList{"/dev/ttyS0"};
    QTest::newRow("too many") << QStringList{"read", "COM1", "a.ini", "b.ini"} << QStringList{"read COMn"};
    QTest::newRow("ports takes none") << QStringList{"ports", "COM1"} << QStringList{"ports"};
    QTest::newRow("write of nothing") << QStringList{"write", "COM1"} << QStringList{"--set"};
    QTest::newRow("--set unknown key") << QStringList{"write", "COM1", "--set", "adress=5"}
                                       << QStringList{"adress", "5"};
    QTest::newRow("--set out of range") << QStringList{"write", "COM1", "--set", "volume=40"}
                                        << QStringList{"volume", "40", "2", "16"};
    QTest::newRow("--set not a number") << QStringList{"write", "COM1", "--set", "zone=five"}
                                        << QStringList{"zone", "five"};
    QTest::newRow("--set without =") << QStringList{"write", "COM1", "--set", "address"}
                                     << QStringList{"address"};
    QTest::newRow("--set without value") << QStringList{"write", "COM1", "--set"} << QStringList{"--set"};
    QTest::newRow("missing file") << QStringList{"write", "COM1", "none.ini"} << QStringList{"none.ini"};
    QTest::newRow("bad file") << QStringList{"write", "COM1", bad} << QStringList{bad, "relay_siren", "2"};
    QTest::newRow("bad file, good --set") << QStringList{"write", "COM1", bad, "--set", "address=3"}
                                          << QStringList{bad, "relay_siren"};
    QTest::newRow("good file, bad --set") << QStringList{"write", "COM1", "good.ini", "--set", "address=256"}
                                          << QStringList{"address", "256"};
    QTest::newRow("read into a missing folder") << QStringList{"read", "COM1", "no/such/folder/x.ini"}
                                                << QStringList{"x.ini"};
    QTest::newRow("upload: one file") << QStringList{"upload", "COM1", "ok.wav"} << QStringList{"PPK2.wav"};
    QTest::newRow("upload: missing PPK1") << QStringList{"upload", "COM1", "none.wav", "ok.wav"}
                                          << QStringList{"PPK1.WAV", "none.wav"};
    QTest::newRow("upload: PPK2 not a WAV") << QStringList{"upload", "COM1", "ok.wav", "text.wav"}
                                            << QStringList{"PPK2.WAV", "text.wav", "WAV"};
    QTest::newRow("siren: short data") << QStringList{"siren", "COM1", "short.wav"}
                                       << QStringList{"SIREN.WAV", "short.wav"};
    QTest::newRow("watch: interval 0") << QStringList{"watch", "COM1", "--interval", "0"} << QStringList{"--interval"};
    QTest::newRow("watch: count x") << QStringList{"watch", "COM1", "--count", "x"} << QStringList{"--count"};
    QTest::newRow("diff: one argument") << QStringList{"diff", "COM1"} << QStringList{"diff COMn"};
    QTest::newRow("diff: missing file") << QStringList{"diff", "COM1", "none.ini"}
                                        << QStringList{"none.ini\" не найден."};
    QTest::newRow("diff: bad file") << QStringList{"diff", "COM1", bad} << QStringList{bad, "relay_siren", "2"};
    QTest::newRow("diff: no [settings] key") << QStringList{"diff", "COM1", "nokeys.ini"}
                                             << QStringList{"nokeys.ini", "нет ни одного ключа"};
    QTest::newRow("diff: a key twice") << QStringList{"diff", "COM1", "twice.ini"}
                                       << QStringList{"twice.ini", "\"zone\" задан дважды, в строках 2 и 4"};
    QTest::newRow("diff: two files, one with no key") << QStringList{"diff", "good.ini", "nokeys.ini"}
                                                      << QStringList{"nokeys.ini", "нет ни одного ключа"};
    QTest::newRow("write: a key twice") << QStringList{"write", "COM1", "twice.ini"}
                                        << QStringList{"twice.ini", "задан дважды"};
    QTest::newRow("info: no file") << QStringList{"info"} << QStringList{"info ФАЙЛ.wav..."};
    QTest::newRow("read takes no --record") << QStringList{"read", "COM1", "--record", "x.ini"} << QStringList{"record"};
    QTest::newRow("upload: --record without file") << QStringList{"upload", "COM1", "ok.wav", "ok.wav", "--record"}
                                                   << QStringList{"--record"};
    QTest::newRow("siren: --record of an empty name") << QStringList{"siren", "COM1", "ok.wav", "--record", ""}
                                                      << QStringList{"--record"};
}

void TestCli::wrongUseSendsNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, says);
    put(QStringLiteral("bad.ini"), "[settings]\naddress=5\nrelay_siren=2\n");
    put(QStringLiteral("good.ini"), "[settings]\naddress=5\n");
    put(QStringLiteral("nokeys.ini"), "[settings]\n; nothing named\n[unit]\nport=COM1\n");
    put(QStringLiteral("twice.ini"), "[settings]\nzone=5\naddress=1\nzone=6\n");
    put(QStringLiteral("ok.wav"), wavfile::canonical(wavfile::sound(1024)));
    put(QStringLiteral("text.wav"), "not a sound at all");
    put(QStringLiteral("short.wav"), wavfile::canonical(wavfile::sound(1024), 4096));
    auto unit = fixture::unitOn(1);

    const Run r = cli(args);
    QCOMPARE(r.code, 2);
    QCOMPARE(r.out, QByteArray());
    for (const QString& s : says)
        QVERIFY2(r.errtext().contains(s), qPrintable(s + QStringLiteral(" not in: ") + r.errtext()));
    QCOMPARE(bytes(unit->received()), QByteArray());
    QVERIFY(!QFile::exists(file(QStringLiteral("no/such/folder/x.ini"))));
}

void TestCli::portsListsPresentPorts()
{
    auto two = fixture::unitOn(2);
    auto five = fixture::unitOn(5);
    const Run r = cli({"ports"});
    QCOMPARE(r.code, 0);
    QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("COM2\t%1\nCOM5\t%2\n")
                                           .arg(QString::fromStdString(two->slavePath()),
                                                QString::fromStdString(five->slavePath())));
    QCOMPARE(bytes(two->received()), QByteArray());

    two.reset();
    five.reset();
    const Run none = cli({"ports"});
    QCOMPARE(none.code, 0);
    QCOMPARE(none.out, QByteArray());
    QVERIFY(none.errtext().contains(QStringLiteral("Доступных COM-портов нет")));
}

void TestCli::read_data()
{
    QTest::addColumn<sim::Config>("config");
    QTest::addColumn<bool>("tofile");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("says");

    sim::Config ok;
    sim::Config silent;
    silent.silent = true;
    sim::Config refusing;
    refusing.answerToStart = 'A';
    sim::Config badsum;
    badsum.badChecksum = true;
    sim::Config oldbadsum = badsum;
    oldbadsum.firmware = 40; // old firmware has no checksum to check
    sim::Config shortimage;
    shortimage.imageLength = 300;
    for (bool tofile : {false, true}) {
        const char* where = tofile ? "file" : "stdout";
        QTest::addRow("%s: read", where) << ok << tofile << 0 << Connect + "R\x10" + End << QStringLiteral("Прочитано");
        QTest::addRow("%s: silent", where) << silent << tofile << 1 << Connect + End
                                          << QStringLiteral("Ошибка подключения: устройство не отвечает");
        QTest::addRow("%s: refused", where) << refusing << tofile << 1 << Connect + End
                                           << QStringLiteral("Ошибка подключения: 65");
        QTest::addRow("%s: bad checksum", where) << badsum << tofile << 1 << Connect + "R" + End
                                                << QStringLiteral("Контрольная сумма не совпадает");
        QTest::addRow("%s: old firmware", where) << oldbadsum << tofile << 0 << Connect + "R\x10" + End
                                                << QStringLiteral("Прочитано");
        QTest::addRow("%s: short image", where) << shortimage << tofile << 1 << Connect + "R" + End
                                               << QStringLiteral("Нет ответа от блока");
    }
}

void TestCli::read()
{
    QFETCH(sim::Config, config);
    QFETCH(bool, tofile);
    QFETCH(int, code);
    QFETCH(QByteArray, sent);
    QFETCH(QString, says);

    auto unit = fixture::unitOn(3, config);
    unit->setImage(unusual(unit->image()));
    const QString path = file(QStringLiteral("unit.ini"));
    const QByteArray earlier = "[settings]\n; an earlier read\naddress=99\n";
    put(QStringLiteral("unit.ini"), earlier);

    const Run r = tofile ? cli({"read", "COM3", path}) : cli({"read", "COM3"});
    QCOMPARE(r.code, code);
    QVERIFY2(r.errtext().contains(says), qPrintable(r.errtext()));
    // The last bytes are on the line when the process ends; the unit takes them a moment later.
    QTRY_COMPARE_WITH_TIMEOUT(bytes(unit->received()), sent, 2000);
    const QByteArray text = tofile ? fixture::readFile(path) : r.out;
    if (tofile)
        QCOMPARE(r.out, QByteArray());
    if (code != 0) {
        // Nothing half-read anywhere: the earlier file is as it was.
        QCOMPARE(fixture::readFile(path), earlier);
        QCOMPARE(r.out, QByteArray());
        return;
    }
    // The file carries the unit's values, and a record of where and when they came from.
    put(QStringLiteral("got.ini"), text);
    const settings::Fields got = settings::loadfile(file(QStringLiteral("got.ini")), settings::Fields{});
    QCOMPARE(settings::keyvalues(got), settings::keyvalues(settings::decode(unit->image().data()).fields));
    QVERIFY(text.startsWith("[settings]\n"));
    QVERIFY(text.contains("\n[unit]\n"));
    QVERIFY(text.contains("\nport=COM3\n"));
    QVERIFY(text.contains(config.firmware >= 50 ? "\nfirmware=5.14\n" : "\nfirmware=4.0\n"));
    QVERIFY(QRegularExpression(QStringLiteral("\nread_at=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)\n"))
                .match(QString::fromUtf8(text))
                .hasMatch());
    // And one poll of the readings after it.
    QVERIFY(text.indexOf("\n[readings]\n") > text.indexOf("\n[unit]\n"));
}

void TestCli::busyPortIsNotASilentUnit()
{
    auto unit = fixture::unitOn(4);
    QSerialPort holder(QString::fromStdString(unit->slavePath()));
    QVERIFY(holder.open(QIODevice::ReadWrite));
    const Run busy = cli({"read", "COM4"});
    QCOMPARE(busy.code, 1);
    QVERIFY2(busy.errtext().contains(QStringLiteral("COM4 занят")), qPrintable(busy.errtext()));
    QVERIFY(!busy.errtext().contains(QStringLiteral("не отвечает")));
    holder.close();
    QCOMPARE(bytes(unit->received()), QByteArray());

    // A COM number with no device behind it.
    const Run none = cli({"read", "COM9"});
    QCOMPARE(none.code, 1);
    QVERIFY2(none.errtext().contains(QStringLiteral("COM9")) && none.errtext().contains(QStringLiteral("не найден")),
             qPrintable(none.errtext()));
}

void TestCli::write_data()
{
    QTest::addColumn<sim::Config>("config");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("stored");  // the unit holds the new values afterwards
    QTest::addColumn<bool>("readback"); // the values were read back after the write
    QTest::addColumn<QStringList>("says");

    sim::Config ok;
    sim::Config old;
    old.firmware = 40;
    sim::Config refusing;
    refusing.refuseWrites = true;
    sim::Config silentverdict; // the stale byte of silence is no refusal
    silentverdict.writeVerdict = -1;
    sim::Config altering;
    altering.alterStored = 7; // zone
    sim::Config badsum;
    badsum.badChecksum = true;
    sim::Config silent;
    silent.silent = true;
    sim::Config refusedconnect;
    refusedconnect.answerToStart = 0xFF;
    sim::Config shortimage;
    shortimage.imageLength = 511;

    QTest::newRow("written and read back") << ok << 0 << true << true
                                           << QStringList{"address: 17 -> 7", "zone: 3 -> 9", "volume: 5 -> 9",
                                                          "подтверждено"};
    QTest::newRow("old firmware") << old << 0 << true << true << QStringList{"подтверждено"};
    QTest::newRow("no verdict") << silentverdict << 0 << true << true << QStringList{"подтверждено"};
    QTest::newRow("refused write") << refusing << 1 << false << false << QStringList{"Ошибка Записи"};
    QTest::newRow("read-back differs") << altering << 1 << false << true
                                       << QStringList{"zone: записано 9, прочитано 10"};
    QTest::newRow("bad checksum: nothing written") << badsum << 1 << false << false
                                                   << QStringList{"Контрольная сумма не совпадает"};
    QTest::newRow("silent unit") << silent << 1 << false << false << QStringList{"не отвечает"};
    QTest::newRow("refused connect") << refusedconnect << 1 << false << false << QStringList{"255"};
    QTest::newRow("short image: nothing written") << shortimage << 1 << false << false
                                                  << QStringList{"Нет ответа от блока"};
}

void TestCli::write()
{
    QFETCH(sim::Config, config);
    QFETCH(int, code);
    QFETCH(bool, stored);
    QFETCH(bool, readback);
    QFETCH(QStringList, says);

    auto unit = fixture::unitOn(1, config);
    const Image before = unusual(unit->image());
    unit->setImage(before);
    // The file names two keys; --set comes after it and wins.
    put(QStringLiteral("change.ini"), "[settings]\naddress=3\nvolume=9\n");

    const Run r = cli({"write", "COM1", file(QStringLiteral("change.ini")), "--set", "address=7", "--set",
                       "zone=$9"});
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, QByteArray());
    for (const QString& s : says)
        QVERIFY2(r.errtext().contains(s), qPrintable(s + QStringLiteral(" not in: ") + r.errtext()));

    Image wanted = before;
    wanted[6] = 7;
    wanted[7] = 9;
    wanted[43] = 9;
    wanted = withsum(wanted);
    const Image now = unit->image();
    if (stored) {
        QCOMPARE(bytes(now), bytes(wanted));
    } else if (config.alterStored >= 0) {
        QCOMPARE(now[7], std::uint8_t(10));
    } else {
        QCOMPARE(bytes(now), bytes(before));
    }

    // What went on the line: a write only over a good read, the image whole, the end.
    const QByteArray sent = bytes(unit->received());
    if (config.silent || config.answerToStart != 'W') {
        QCOMPARE(sent, Connect + End);
        return;
    }
    if (config.badChecksum || config.imageLength != 512) {
        QCOMPARE(sent, Connect + "R" + End);
        return;
    }
    QByteArray image = bytes(wanted);
    QCOMPARE(sent, Connect + "R" + "S" + image + (readback ? "R" : "") + End);
}

void TestCli::readBackComparesEveryKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("index"); // the key's first byte in the image, -1 for none kept
    QTest::addColumn<int>("width");

    // Where each key lies, found by changing that key alone: every key of the file's table
    // gets a row, whatever its width or type.
    const settings::Fields unit = unusualfields();
    const settings::Fields written = otherthan(unit);
    const auto values = settings::keyvalues(unit);
    Image base{};
    settings::encode(written, base.data());
    QTest::newRow("every field taken") << QString() << -1 << 0;
    for (const auto& [key, value] : values) {
        Image changed{};
        settings::encode(settings::setkey(written, QStringLiteral("%1=%2").arg(key).arg(value)), changed.data());
        int first = -1, last = -1;
        for (int i = 0; i < settings::SumIndex; ++i)
            if (changed[std::size_t(i)] != base[std::size_t(i)]) {
                if (first < 0)
                    first = i;
                last = i;
            }
        QVERIFY2(first >= 0, qPrintable(key + QStringLiteral(": the write would not change it")));
        QTest::addRow("%s kept", qPrintable(key)) << key << first << last - first + 1;
    }
}

// A unit that keeps its old value of one field has not taken the write: the read-back must say
// which field, with both values, and the command must fail.
void TestCli::readBackComparesEveryKey()
{
    QFETCH(QString, key);
    QFETCH(int, index);
    QFETCH(int, width);
    sim::Config c;
    c.keepStored = index;
    c.keepWidth = width;
    auto unit = fixture::unitOn(1, c);
    const Image before = unusual(unit->image());
    unit->setImage(before);
    const settings::Fields wanted = otherthan(settings::decode(before.data()).fields);
    put(QStringLiteral("all.ini"), settings::filetext(wanted));

    const Run r = cli({"write", "COM1", file(QStringLiteral("all.ini"))});
    const QString said = r.errtext();
    const QStringList differ = said.split(QLatin1Char('\n')).filter(QStringLiteral(", прочитано "));
    if (index < 0) {
        QCOMPARE(r.code, 0);
        QVERIFY2(said.contains(QStringLiteral("Записанное подтверждено чтением")), qPrintable(said));
        QVERIFY2(differ.isEmpty(), qPrintable(said));
        return;
    }
    QCOMPARE(r.code, 1);
    QVERIFY2(!said.contains(QStringLiteral("подтверждено")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("Прочитанное не совпадает с записанным:")), qPrintable(said));
    QMap<QString, int> written, kept;
    for (const auto& [k, v] : settings::keyvalues(wanted))
        written.insert(k, v);
    for (const auto& [k, v] : settings::keyvalues(settings::decode(before.data()).fields))
        kept.insert(k, v);
    QCOMPARE(differ, QStringList{QStringLiteral("  %1: записано %2, прочитано %3").arg(key).arg(written[key]).arg(kept[key])});
    // The unit took the rest; the write went out whole and was read back.
    for (const auto& [k, v] : settings::keyvalues(settings::decode(unit->image().data()).fields))
        QVERIFY2(v == (k == key ? kept[k] : written[k]), qPrintable(k));
    QVERIFY(bytes(unit->received()).endsWith("R" + End));
}

void TestCli::fileOfOneUnitMakesAnotherTheSame()
{
    sim::Config first;
    auto a = fixture::unitOn(1, first);
    a->setImage(unusual(a->image()));
    sim::Config second;
    second.firmware = 53;
    second.minor = 2;
    second.deviceType = 2;
    auto b = fixture::unitOn(2, second);
    const Image bbefore = b->image();

    const QString path = file(QStringLiteral("acceptance/unit-17.ini"));
    QDir().mkpath(file(QStringLiteral("acceptance")));
    const Run read = cli({"read", "COM1", path});
    QCOMPARE(read.code, 0);
    const Run write = cli({"write", "COM2", path});
    QCOMPARE(write.code, 0);

    const Image from = a->image();
    const Image to = b->image();
    for (int i = 0; i < 512; ++i) {
        if (writable(i))
            QVERIFY2(to[i] == from[i], qPrintable(QStringLiteral("index %1").arg(i)));
        else if (i != settings::SumIndex)
            QVERIFY2(to[i] == bbefore[i], qPrintable(QStringLiteral("index %1 is not B's own").arg(i)));
    }
    QCOMPARE(to[settings::SumIndex], settings::imagesum(to.data()));
}

void TestCli::factory()
{
    auto unit = fixture::unitOn(6);
    const Image before = unusual(unit->image());
    unit->setImage(before);
    const Run r = cli({"factory", "COM6"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    const Image now = unit->image();
    for (const auto& [index, value] : FactoryBytes)
        QVERIFY2(now[index] == value, qPrintable(QStringLiteral("index %1: %2").arg(index).arg(now[index])));
    for (int i = 0; i < 512; ++i)
        if (!writable(i) && i != settings::SumIndex)
            QCOMPARE(now[i], before[i]);
    QVERIFY(r.errtext().contains(QStringLiteral("address: 17 -> 1")));
}

void TestCli::ctrlCDuringWrite_data()
{
    QTest::addColumn<QByteArray>("after");  // Ctrl+C once the unit has received this
    QTest::addColumn<bool>("stored");

    QTest::newRow("during the read: nothing written") << QByteArray("ZUR") << false;
    QTest::newRow("after S: the image goes whole") << QByteArray("ZURS") << true;
}

void TestCli::ctrlCDuringWrite()
{
    QFETCH(QByteArray, after);
    QFETCH(bool, stored);
    auto unit = fixture::unitOn(1);
    const Image before = unit->image();
    const Run r = cli({"write", "COM1", "--set", "address=42"}, [&](QProcess& p) {
        QTRY_VERIFY_WITH_TIMEOUT(bytes(unit->received()).startsWith(after), 10000);
        ::kill(pid_t(p.processId()), SIGINT);
    });
    QCOMPARE(r.code, 130);
    QVERIFY(!r.crashed);
    QCOMPARE(r.out, QByteArray());
    const QByteArray sent = bytes(unit->received());
    if (stored) {
        QCOMPARE(unit->image()[6], std::uint8_t(42));
        QCOMPARE(sent.size(), 4 + 512 + 1); // no read-back: straight to the end
    } else {
        QCOMPARE(bytes(unit->image()), bytes(before));
        QCOMPARE(sent, Connect + "R" + End);
    }
    QVERIFY(sent.endsWith('Z'));
}

void TestCli::upload_data()
{
    QTest::addColumn<sim::Config>("config");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("blocks"); // blocks the unit has whole
    QTest::addColumn<int>("heard");  // bytes it heard after the counts, when stopped
    QTest::addColumn<QString>("says");

    sim::Config ok;
    sim::Config hangup;
    hangup.hangupAfterBlocks = 3;
    sim::Config stall;
    stall.stallAfterBlocks = 4;
    sim::Config silent;
    silent.silent = true;
    sim::Config nocounts;
    nocounts.fault = sim::Fault::Silent;
    nocounts.faultOn = sim::Reply::Counts;

    QTest::newRow("both messages") << ok << 0 << 5 << 0 << QStringLiteral("Записано");
    // The unit hangs up at the first byte of block 4, and takes block 5 whole before it stalls.
    QTest::newRow("hang-up mid-upload") << hangup << 1 << 3 << 3 * 512 + 1
                                        << QStringLiteral("Связь с устройством потеряна");
    QTest::newRow("stall mid-upload") << stall << 1 << 4 << 5 * 512 << QStringLiteral("Устройство не отвечает");
    QTest::newRow("silent unit") << silent << 1 << 0 << 0 << QStringLiteral("не отвечает");
    QTest::newRow("no T after the counts") << nocounts << 1 << 0 << 0 << QStringLiteral("Устройство не отвечает");
}

void TestCli::upload()
{
    QFETCH(sim::Config, config);
    QFETCH(int, code);
    QFETCH(int, blocks);
    QFETCH(int, heard);
    QFETCH(QString, says);

    const QByteArray one = wavfile::sound(3 * 512 + 100, 1);
    const QByteArray two = wavfile::sound(2 * 512, 2);
    put(QStringLiteral("ppk1.wav"), wavfile::canonical(one));
    put(QStringLiteral("ppk2.wav"), wavfile::withlist(two));
    auto unit = fixture::unitOn(1, config);

    const Run r = cli({"upload", "COM1", file(QStringLiteral("ppk1.wav")), file(QStringLiteral("ppk2.wav"))});
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.errtext().contains(says), qPrintable(r.errtext()));

    const QByteArray sound = bytes(unit->sound(0)) + bytes(unit->sound(1));
    QCOMPARE(sound.size(), blocks * 512);
    QCOMPARE(sound, (one.left(3 * 512) + two).left(blocks * 512));
    const QByteArray sent = bytes(unit->received());
    if (config.silent) {
        QCOMPARE(sent, Connect + End);
        return;
    }
    const QByteArray head = Connect + QByteArray("\x60\x00\x03\x00\x02", 5);
    QVERIFY(sent.startsWith(head));
    if (code == 0) {
        QCOMPARE(sent, head + one.left(3 * 512) + two + End);
        return;
    }
    // Stopped: the reconnect line, and no "Z" after the last block the unit heard.
    QVERIFY(r.errtext().contains(QStringLiteral("переподключите блок")));
    QTest::qWait(100);
    QCOMPARE(bytes(unit->received()).size() - head.size(), heard);
}

void TestCli::siren_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("old firmware takes it") << 40 << 0 << QStringLiteral("Успешно");
    QTest::newRow("new firmware has its own") << 52 << 1 << QStringLiteral("Запись сирены недоступна");
}

void TestCli::siren()
{
    QFETCH(int, firmware);
    QFETCH(int, code);
    QFETCH(QString, says);
    const QByteArray data = wavfile::sound(4 * 512, 3);
    put(QStringLiteral("siren.wav"), wavfile::canonical(data));
    sim::Config c;
    c.firmware = std::uint8_t(firmware);
    auto unit = fixture::unitOn(2, c);

    const Run r = cli({"siren", "COM2", file(QStringLiteral("siren.wav"))});
    QCOMPARE(r.code, code);
    QVERIFY2(r.errtext().contains(says), qPrintable(r.errtext()));
    if (code == 0) {
        QCOMPARE(bytes(unit->sound(2)), data);
        QCOMPARE(bytes(unit->received()), Connect + "R" + QByteArray("\x70\x00\x04", 3) + data + End);
    } else {
        QCOMPARE(bytes(unit->received()), Connect + "R" + End);
    }
}

void TestCli::ctrlCStopsUploadAtABlock()
{
    constexpr int Blocks = 300;
    put(QStringLiteral("ppk1.wav"), wavfile::canonical(wavfile::sound(Blocks * 512)));
    put(QStringLiteral("ppk2.wav"), wavfile::canonical(wavfile::sound(512)));
    sim::Config slow;
    slow.blockWorkMs = 10;
    auto unit = fixture::unitOn(1, slow);

    const Run r = cli({"upload", "COM1", file(QStringLiteral("ppk1.wav")), file(QStringLiteral("ppk2.wav"))},
                      [&](QProcess& p) {
                          QTRY_VERIFY_WITH_TIMEOUT(unit->blocksReceived() >= 5, 10000);
                          ::kill(pid_t(p.processId()), SIGINT);
                      });
    QCOMPARE(r.code, 130);
    QVERIFY(!r.crashed);
    QVERIFY2(r.errtext().contains(QStringLiteral("Запись прервана оператором")), qPrintable(r.errtext()));
    QVERIFY(r.errtext().contains(QStringLiteral("переподключите блок")));
    const int got = unit->blocksReceived();
    QVERIFY(got >= 5 && got < Blocks);
    // Whole blocks only, and nothing after the last one: no "Z" to a unit still taking sound.
    QTest::qWait(100);
    QCOMPARE(bytes(unit->received()).size(), 7 + got * 512);
}

void TestCli::ctrlCWithTheLastBlock_data()
{
    QTest::addColumn<int>("after"); // Ctrl+C once the unit has this many blocks, before its answer
    QTest::addColumn<bool>("stored");
    // PPK2's blocks are still to come: the stop is worth its while.
    QTest::newRow("last block of PPK1: stopped") << 3 << false;
    // Once the unit answers the last block the sound is stored: nothing is left to stop.
    QTest::newRow("last block of PPK2: stored") << 5 << true;
}

void TestCli::ctrlCWithTheLastBlock()
{
    QFETCH(int, after);
    QFETCH(bool, stored);
    const QByteArray one = wavfile::sound(3 * 512, 1);
    const QByteArray two = wavfile::sound(2 * 512, 2);
    put(QStringLiteral("ppk1.wav"), wavfile::canonical(one));
    put(QStringLiteral("ppk2.wav"), wavfile::canonical(two));
    sim::Config slow;
    slow.blockWorkMs = 300; // the block is in flight this long after the unit has it
    auto unit = fixture::unitOn(1, slow);

    const Run r = cli({"upload", "COM1", file(QStringLiteral("ppk1.wav")), file(QStringLiteral("ppk2.wav"))},
                      [&](QProcess& p) {
                          QTRY_VERIFY_WITH_TIMEOUT(unit->blocksReceived() >= after, 10000);
                          ::kill(pid_t(p.processId()), SIGINT);
                      });
    QVERIFY(!r.crashed);
    QCOMPARE(r.out, QByteArray());
    const QString said = r.errtext();
    const QByteArray head = Connect + QByteArray("\x60\x00\x03\x00\x02", 5);
    if (stored) {
        QCOMPARE(r.code, 0);
        QVERIFY2(said.split(QLatin1Char('\n')).count(QStringLiteral("Записано")) == 2, qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("прерван")) && !said.contains(QStringLiteral("Остановлено")),
                 qPrintable(said));
        QCOMPARE(bytes(unit->sound(0)) + bytes(unit->sound(1)), one + two);
        QCOMPARE(bytes(unit->received()), head + one + two + End); // the conversation ended as usual
    } else {
        QCOMPARE(r.code, 130);
        QVERIFY2(said.contains(QStringLiteral("Запись прервана оператором")), qPrintable(said));
        QVERIFY(said.contains(QStringLiteral("переподключите блок")));
        QCOMPARE(bytes(unit->sound(0)), one);
        QVERIFY(unit->sound(1).empty());
        QTest::qWait(100);
        QCOMPARE(bytes(unit->received()), head + one);
    }
}

void TestCli::progress_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QList<int>>("blocks"); // one file: the siren; two: PPK1 and PPK2
    QTest::newRow("pipe: whole lines at tenths") << false << QList<int>{100};
    QTest::newRow("terminal: one line redrawn") << true << QList<int>{100};
    // Counted against both files together: the first file alone runs past a total of the
    // second's, and the time left would wrap around.
    QTest::newRow("pipe: PPK1 and PPK2 together") << false << QList<int>{150, 100};
    QTest::newRow("terminal: PPK1 and PPK2 together") << true << QList<int>{150, 100};
    QTest::newRow("pipe: a short PPK1, a long PPK2") << false << QList<int>{20, 130};
}

void TestCli::progress()
{
    QFETCH(bool, terminal);
    QFETCH(QList<int>, blocks);
    const bool siren = blocks.size() == 1;
    const int total = std::accumulate(blocks.begin(), blocks.end(), 0);
    QStringList args = {siren ? "siren" : "upload", "COM1"};
    for (int i = 0; i < blocks.size(); ++i) {
        const QString name = QStringLiteral("sound%1.wav").arg(i);
        put(name, wavfile::canonical(wavfile::sound(blocks[i] * 512, i + 1)));
        args << file(name);
    }
    sim::Config c;
    c.firmware = 40;
    c.blockWorkMs = 3;
    auto unit = fixture::unitOn(1, c);

    int master = -1, slave = -1;
    if (terminal) {
        QCOMPARE(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    }
    const Run r = cli(args, {},
                      terminal ? std::function<void()>([slave] { ::dup2(slave, 2); }) : std::function<void()>());
    QByteArray shown = r.err;
    if (terminal) {
        ::close(slave);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            shown.append(buf, n);
        ::close(master);
    }
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(unit->blocksReceived(), total);
    const QString text = QString::fromUtf8(shown);
    const int steps = int(text.count(QStringLiteral("Отправлено")));
    const QString last = QStringLiteral("%1 из %1").arg(total);
    if (terminal) {
        QCOMPARE(steps, 0);
        QVERIFY2(text.contains(QStringLiteral("[##############################] 100 %  блоков ") + last), qPrintable(text));
        // The bar is redrawn in place: no line of its own per draw (after the file's facts).
        const int lines = int(text.mid(text.indexOf(QStringLiteral("Соединение"))).count(QLatin1Char('\n')));
        QVERIFY2(lines < 12, qPrintable(text));
    } else {
        QCOMPARE(steps, 10);
        QVERIFY(!text.contains(QLatin1Char('\r')));
        QVERIFY(text.contains(QStringLiteral("Отправлено 100 % (блоков ") + last + QStringLiteral("), осталось 0:00")));
    }
    // Every report counts over the whole upload: blocks only grow and stay within the total,
    // the percentage follows them, and the time left is a few seconds, never a wrapped count.
    const QRegularExpression report(QStringLiteral("(\\d+) %\\s+\\(?блоков (\\d+) из (\\d+)\\)?, осталось (\\d+):(\\d\\d)"));
    int reports = 0, before = 0;
    for (auto m = report.globalMatch(text); m.hasNext();) {
        const QRegularExpressionMatch one = m.next();
        const QString what = one.captured(0);
        const int percent = one.captured(1).toInt(), done = one.captured(2).toInt();
        QVERIFY2(one.captured(3).toInt() == total, qPrintable(what));
        QVERIFY2(done >= before && done <= total && done > 0, qPrintable(what));
        QVERIFY2(percent == done * 100 / total, qPrintable(what));
        QVERIFY2(one.captured(4).toInt() < 60, qPrintable(what));
        before = done;
        ++reports;
    }
    QVERIFY2(reports >= (terminal ? 1 : 10), qPrintable(text));
    QCOMPARE(before, total);
}

void TestCli::watchCountsRows()
{
    sim::Config shortreplies;
    shortreplies.telemetryLength = 5;
    auto unit = fixture::unitOn(1, shortreplies);
    QByteArray err;
    const Run r = cli({"watch", "COM1", "--interval", "50", "--count", "2"}, [&](QProcess& p) {
        // Short replies are reported, not printed; then the unit answers whole.
        QTRY_VERIFY_WITH_TIMEOUT((err += p.readAllStandardError()).contains("5 байт из 12"), 10000);
        sim::Config c;
        c.readings = {{1, 2, 3, 65535, 40000, 0}};
        unit->setConfig(c);
    });
    QCOMPARE(r.code, 0);
    const QStringList rows = QString::fromUtf8(r.out).split(QLatin1Char('\n'));
    QCOMPARE(rows.size(), 4); // header, two rows, and the end of the last
    QCOMPARE(rows[0], QStringLiteral("time,ppk1,ppk2,gochs,adc,light,power"));
    const QRegularExpression row(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d),1,2,3,65535,40000,0$"));
    QVERIFY2(row.match(rows[1]).hasMatch(), qPrintable(rows[1]));
    QVERIFY2(row.match(rows[2]).hasMatch(), qPrintable(rows[2]));
    QCOMPARE(rows[3], QString());
    QVERIFY(bytes(unit->received()).endsWith(QByteArray("\x10") + End));
}

void TestCli::watchEndsAtCtrlC()
{
    auto unit = fixture::unitOn(1);
    QByteArray out;
    const Run r = cli({"watch", "COM1", "--interval", "20"}, [&](QProcess& p) {
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).count('\n') >= 4, 10000);
        ::kill(pid_t(p.processId()), SIGINT);
    });
    QCOMPARE(r.code, 0);
    QVERIFY(!r.crashed);
    out += r.out;
    const QList<QByteArray> rows = out.split('\n');
    QVERIFY(rows.size() >= 5);
    QCOMPARE(rows.first(), QByteArray("time,ppk1,ppk2,gochs,adc,light,power"));
    QCOMPARE(rows.last(), QByteArray()); // every row whole
    for (qsizetype i = 1; i + 1 < rows.size(); ++i)
        QVERIFY2(rows[i].endsWith(",512,600,700,800,500,2400"), rows[i].constData());
    const QByteArray sent = bytes(unit->received());
    QVERIFY(sent.startsWith(Connect + "\x10"));
    QVERIFY(sent.endsWith(End));
    QCOMPARE(sent.count('\x10'), rows.size() - 2);
}

void TestCli::readings_data()
{
    QTest::addColumn<sim::Config>("config");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("section"); // "" when there must be none
    QTest::addColumn<QString>("says");

    sim::Config ok;
    ok.readings = {{1, 2, 3, 65535, 40000, 0}};
    sim::Config shortreply;
    shortreply.telemetryLength = 5;
    sim::Config silent;
    silent.telemetryLength = 0;
    const QByteArray six = "[readings]\nppk1=1\nppk2=2\ngochs=3\nadc=65535\nlight=40000\npower=0\npolled_at=";
    QTest::newRow("one poll") << ok << QStringList{} << Connect + "R\x10" + End << six << QString();
    QTest::newRow("--no-readings") << ok << QStringList{"--no-readings"} << Connect + "R" + End << QByteArray()
                                   << QString();
    QTest::newRow("short reply") << shortreply << QStringList{} << Connect + "R\x10" + End << QByteArray()
                                 << QStringLiteral("Показания не сняты: ответ на опрос 5 байт из 12");
    QTest::newRow("no reply") << silent << QStringList{} << Connect + "R\x10" + End << QByteArray()
                              << QStringLiteral("Показания не сняты: ответ на опрос 0 байт из 12");
}

// The readings at hand-over go with the settings; a unit whose poll fails still gets its file.
void TestCli::readings()
{
    QFETCH(sim::Config, config);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, section);
    QFETCH(QString, says);
    auto unit = fixture::unitOn(3, config);
    const QString path = file(QStringLiteral("unit.ini"));
    const Run r = cli(QStringList{"read", "COM3", path} + options);
    QCOMPARE(r.code, 0);
    QTRY_COMPARE_WITH_TIMEOUT(bytes(unit->received()), sent, 2000);
    if (!says.isEmpty())
        QVERIFY2(r.errtext().contains(says), qPrintable(r.errtext()));
    const QByteArray text = fixture::readFile(path);
    QVERIFY(text.contains("\n[unit]\n"));
    if (section.isEmpty()) {
        QVERIFY(!text.contains("[readings]"));
        QVERIFY(!text.contains("polled_at"));
    } else {
        const qsizetype at = text.indexOf(section);
        QVERIFY2(at > text.indexOf("\n[unit]\n"), text.constData());
        const QString stamp = QString::fromUtf8(text.mid(at + section.size()));
        QVERIFY2(QRegularExpression(QStringLiteral(
                                        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)\n$"))
                     .match(stamp)
                     .hasMatch(),
                 qPrintable(stamp));
    }
    // Information only: the file is taken as it was before there were readings.
    settings::Fields got;
    got = settings::loadfile(path, got);
    QCOMPARE(settings::keyvalues(got), settings::keyvalues(settings::decode(unit->image().data()).fields));
}

// Sound is never read back: a read into the unit's file keeps what the file says went in.
void TestCli::readKeepsTheSounds()
{
    auto unit = fixture::unitOn(3);
    unit->setImage(unusual(unit->image()));
    const QByteArray sounds = "; Звуки, записанные в блок\n[sounds]\nppk1_file=Эвакуация, этаж 2.wav\r\n"
                              "ppk1_size = 88244\nppk1_sha256=9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08\n"
                              "\n; вручную\nsiren_file=s.wav";
    put(QStringLiteral("unit.ini"), "[settings]\naddress=99\n[unit]\nport=COM9\n[readings]\nppk1=1\n\n" + sounds);
    const Run r = cli({"read", "COM3", file(QStringLiteral("unit.ini"))});
    QCOMPARE(r.code, 0);
    const QByteArray text = fixture::readFile(file(QStringLiteral("unit.ini")));
    QVERIFY2(text.endsWith("\n\n" + sounds), text.constData());
    QCOMPARE(text.count("[readings]"), 1);
    QCOMPARE(text.count("[unit]"), 1);
    QVERIFY(text.contains("\naddress=17\n"));
    QVERIFY(text.contains("\nport=COM3\n"));
    QVERIFY(text.contains("\nppk1=512\n"));
    // The same again over the new file: nothing grows, nothing is lost.
    QCOMPARE(cli({"read", "COM3", file(QStringLiteral("unit.ini"))}).code, 0);
    QVERIFY(fixture::readFile(file(QStringLiteral("unit.ini"))).endsWith("\n\n" + sounds));
    QCOMPARE(fixture::readFile(file(QStringLiteral("unit.ini"))).count("[sounds]"), 1);
}

void TestCli::diffUnit_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("out");

    // The unit holds unusual(): address 17, zone 3, relay_ppk1 0, relay_ppk2 1, volume 5...
    QTest::newRow("agree") << QByteArray("[settings]\naddress=17\nzone=3\nrelay_ppk1=0\nvolume=5\n") << 0
                           << QByteArray();
    QTest::newRow("agree in other forms")
        << QByteArray("; typed by hand\n[settings]\naddress=$11\nzone = 0x3\nline_signal_drift=X99\n[unit]\nport=COM1\n")
        << 0 << QByteArray();
    QTest::newRow("one key") << QByteArray("[settings]\naddress=17\nzone=4\n") << 3 << QByteArray("zone\t4\t3\n");
    QTest::newRow("several keys")
        << QByteArray("[settings]\nvolume=16\naddress=1\nrelay_ppk1=1\nzone=3\nline_short_circuit_level=$FFFF\n")
        << 3 << QByteArray("address\t1\t17\nrelay_ppk1\t1\t0\nline_short_circuit_level\t65535\t2400\nvolume\t16\t5\n");
}

// A unit and its file: each key the file names against what the unit holds, nothing written.
void TestCli::diffUnit()
{
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    auto unit = fixture::unitOn(3);
    const Image before = unusual(unit->image());
    unit->setImage(before);
    put(QStringLiteral("base.ini"), file);
    const Run r = cli({"diff", "COM3", this->file(QStringLiteral("base.ini"))});
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, out);
    QVERIFY2(r.errtext().contains(code ? QStringLiteral("Различаются ключей: %1").arg(out.count('\n'))
                                       : QStringLiteral("Различий нет")),
             qPrintable(r.errtext()));
    // Read, never written: no "S" and the unit holds what it held.
    QTRY_COMPARE_WITH_TIMEOUT(bytes(unit->received()), Connect + "R" + End, 2000);
    QCOMPARE(bytes(unit->image()), bytes(before));
}

// What read writes, diff finds the same, even a bar byte the window would show at its end.
void TestCli::readThenDiffAgree()
{
    auto unit = fixture::unitOn(3);
    Image a = unusual(unit->image());
    a[43] = 40; // volume beyond its bar
    a[38] = 0;  // flash speed below its bar
    unit->setImage(withsum(a));
    const QString path = file(QStringLiteral("unit.ini"));
    QCOMPARE(cli({"read", "COM3", path}).code, 0);
    QVERIFY(fixture::readFile(path).contains("\nvolume=16\n"));
    const Run r = cli({"diff", "COM3", path});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    QVERIFY2(r.errtext().contains(QStringLiteral("Различий нет, сравнено ключей: 25")), qPrintable(r.errtext()));
}

void TestCli::diffFiles_data()
{
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("two");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("out");

    QTest::newRow("same numbers, other forms")
        << QByteArray("[settings]\naddress=$1F\nvolume=016\n") << QByteArray("[settings]\nvolume=16\naddress=31\n[unit]\nport=COM2\n")
        << 0 << QByteArray();
    QTest::newRow("a key on one side only")
        << QByteArray("[settings]\naddress=31\nrelay_siren=0\n") << QByteArray("[settings]\naddress=31\nzone=2\n") << 3
        << QByteArray("zone\t\t2\nrelay_siren\t0\t\n");
    QTest::newRow("differ") << QByteArray("[settings]\naddress=1\nzone=1\n") << QByteArray("[settings]\naddress=2\nzone=1\n")
                            << 3 << QByteArray("address\t1\t2\n");
}

void TestCli::diffFiles()
{
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, two);
    QFETCH(int, code);
    QFETCH(QByteArray, out);
    put(QStringLiteral("one.ini"), one);
    put(QStringLiteral("two.ini"), two);
    const Run r = cli({"diff", file(QStringLiteral("one.ini")), file(QStringLiteral("two.ini"))});
    QCOMPARE(r.code, code);
    QCOMPARE(r.out, out);
}

void TestCli::diffOfAFailedRead()
{
    sim::Config badsum;
    badsum.badChecksum = true;
    auto unit = fixture::unitOn(3, badsum);
    put(QStringLiteral("base.ini"), "[settings]\naddress=1\n");
    const Run r = cli({"diff", "COM3", file(QStringLiteral("base.ini"))});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QByteArray());
    QVERIFY(r.errtext().contains(QStringLiteral("Контрольная сумма не совпадает")));
    QTRY_COMPARE_WITH_TIMEOUT(bytes(unit->received()), Connect + "R" + End, 2000);
}

void TestCli::fileErrorsInRussian_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");

    QTest::newRow("missing") << QStringList{"diff", "ok.ini", "none.ini"} << QStringLiteral("none.ini\" не найден.");
    QTest::newRow("a folder") << QStringList{"diff", "ok.ini", "folder"}
                              << QStringLiteral("folder\" является папкой, а не файлом.");
    QTest::newRow("not readable") << QStringList{"diff", "ok.ini", "secret.ini"}
                                  << QStringLiteral("secret.ini\" не удалось прочитать: нет прав на чтение.");
    QTest::newRow("write: not readable") << QStringList{"write", "COM3", "secret.ini"}
                                         << QStringLiteral("secret.ini\" не удалось прочитать: нет прав на чтение.");
    QTest::newRow("read into a folder") << QStringList{"read", "COM3", "folder"}
                                        << QStringLiteral("folder\" является папкой, а не файлом.");
    QTest::newRow("read into a missing folder")
        << QStringList{"read", "COM3", "none/unit.ini"} << QStringLiteral("не удалось записать: папка \"");
    QTest::newRow("read into a closed folder")
        << QStringList{"read", "COM3", "closed/unit.ini"}
        << QStringLiteral("не удалось записать: нет прав на запись в папку \"");
    QTest::newRow("read over a closed file")
        << QStringList{"read", "COM3", "locked.ini"} << QStringLiteral("не удалось записать: нет прав на запись в файл.");
}

// What the system says of a file, in the language of every other message.  The command runs
// as a user without special rights, so that permissions mean something also where the tests
// run as root.
void TestCli::fileErrorsInRussian()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    auto unit = fixture::unitOn(3);
    put(QStringLiteral("ok.ini"), "[settings]\naddress=1\n");
    put(QStringLiteral("secret.ini"), "[settings]\naddress=1\n");
    put(QStringLiteral("locked.ini"), "[settings]\naddress=1\n");
    QVERIFY(QDir().mkpath(file(QStringLiteral("folder"))));
    QVERIFY(QDir().mkpath(file(QStringLiteral("closed"))));
    const bool root = ::geteuid() == 0;
    const auto mode = [](const QString& path, QFile::Permissions p) { QVERIFY(QFile::setPermissions(path, p)); };
    using P = QFileDevice::Permission;
    mode(file(QStringLiteral("secret.ini")), P::WriteOwner);
    mode(file(QStringLiteral("locked.ini")), P::ReadOwner | P::ReadGroup | P::ReadOther);
    mode(file(QStringLiteral("closed")), P::ReadOwner | P::ExeOwner | P::ReadOther | P::ExeOther);
    // Whoever runs it must reach the scratch folder and use the port.
    mode(scratch->path(), P::ReadOwner | P::WriteOwner | P::ExeOwner | P::ReadOther | P::ExeOther);
    if (root) {
        const QString pts = QString::fromStdString(unit->slavePath());
        mode(pts, P::ReadOwner | P::WriteOwner | P::ReadOther | P::WriteOther);
    }
    const Run r = cli(args, {}, [root] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
    });
    mode(scratch->path(), P::ReadOwner | P::WriteOwner | P::ExeOwner);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.errtext().contains(says), qPrintable(r.errtext()));
    for (const char* english : {"denied", "No such", "directory", "Is a", "ermission"})
        QVERIFY2(!r.errtext().contains(QLatin1String(english)), qPrintable(r.errtext()));
    QCOMPARE(bytes(unit->received()), QByteArray());
}

namespace {

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The facts of a file under the line that names it, as `info` prints them.
QByteArray block(const QString& name, const QStringList& lines)
{
    return (name + QLatin1Char('\n') + lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

QStringList pcmfacts(const QString& duration, const QString& blocks, const QString& line)
{
    return {QStringLiteral("  формат: PCM"), QStringLiteral("  частота дискретизации: 8000 Гц"),
            QStringLiteral("  разрядность: 8 бит"), QStringLiteral("  каналов: 1"),
            QStringLiteral("  длительность: ") + duration, QStringLiteral("  блоков: ") + blocks,
            QStringLiteral("  время записи на линии 115200 бод: ") + line};
}

// The [sounds] keys of a settings file as QSettings reads them (from a fresh copy: QSettings
// trusts its cache of a file rewritten with the same size in the same millisecond).
QMap<QString, QString> soundkeys(const QString& path)
{
    static int copies = 0;
    const QString copy = path + QStringLiteral(".read%1").arg(++copies);
    QFile::copy(path, copy);
    QMap<QString, QString> keys;
    {
        QSettings ini(copy, QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("sounds"));
        for (const QString& k : ini.childKeys())
            keys.insert(k, ini.value(k).toString());
    }
    QFile::remove(copy);
    return keys;
}

// The keys a sound of 8 kHz, 8-bit mono PCM must have in the record.
QMap<QString, QString> pcmkeys(const QString& slot, const QString& name, const QByteArray& file, int blocks)
{
    const qint64 data = file.size() - 44;
    return {{slot + "_file", name},
            {slot + "_size", QString::number(file.size())},
            {slot + "_sha256", QString::fromLatin1(sha256(file))},
            {slot + "_format", "PCM"},
            {slot + "_rate", "8000"},
            {slot + "_bits", "8"},
            {slot + "_channels", "1"},
            {slot + "_duration_ms", QString::number((data * 1000 + 4000) / 8000)},
            {slot + "_blocks", QString::number(blocks)}};
}

// The keys of one slot, its time left out (checked on its own).
QMap<QString, QString> slotkeys(const QMap<QString, QString>& all, const QString& slot)
{
    QMap<QString, QString> out;
    for (auto i = all.begin(); i != all.end(); ++i)
        if (i.key().startsWith(slot + QLatin1Char('_')) && !i.key().endsWith(QLatin1String("_uploaded_at")))
            out.insert(i.key(), i.value());
    return out;
}

// An upload time: ISO 8601 with its offset, within the run.
bool uploadedwithin(const QString& text, const QDateTime& from, const QDateTime& to)
{
    static const QRegularExpression iso(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d)$"));
    const QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    return iso.match(text).hasMatch() && t.isValid() && t >= from.addSecs(-1) && t <= to.addSecs(1);
}

} // namespace

void TestCli::info_data()
{
    QTest::addColumn<QList<QByteArray>>("files"); // f0.wav, f1.wav, ...; a null one is not made
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QStringList>("says");
    QTest::addColumn<int>("code");

    using L = QList<QByteArray>;
    const QByteArray pcm = wavfile::canonical(wavfile::sound(1000000));
    const QByteArray pcmout = block("f0.wav", pcmfacts("125,000 с (2:05)", "1953", "87,1 с (1:27)"));
    const QByteArray flt = wavfile::riff(wavfile::format(3, 2, 44100, 32) + wavfile::chunk("data", wavfile::sound(352800)));
    const QStringList fltfacts{"  формат: код 3 (не PCM)", "  частота дискретизации: 44100 Гц", "  разрядность: 32 бит",
                               "  каналов: 2", "  длительность: 1,000 с", "  блоков: 689",
                               "  время записи на линии 115200 бод: 30,7 с"};
    const QByteArray nofmt = wavfile::riff(wavfile::chunk("data", wavfile::sound(1024)));
    const QStringList nofmtfacts{"  формат: неизвестно", "  частота дискретизации: неизвестно",
                                 "  разрядность: неизвестно", "  каналов: неизвестно", "  длительность: неизвестно",
                                 "  блоков: 2", "  время записи на линии 115200 бод: 0,1 с"};
    const QByteArray streamed = wavfile::canonical(wavfile::sound(5000), 0xFFFFFFFFLL);
    const QByteArray unstated = wavfile::canonical(wavfile::sound(5000), 0);

    QTest::newRow("PCM") << L{pcm} << pcmout << QStringList{} << 0;
    QTest::newRow("not PCM") << L{flt} << block("f0.wav", fltfacts) << QStringList{} << 0;
    QTest::newRow("no fmt chunk") << L{nofmt} << block("f0.wav", nofmtfacts) << QStringList{} << 0;
    QTest::newRow("under one block")
        << L{wavfile::canonical(wavfile::sound(300))}
        << block("f0.wav", pcmfacts("0,038 с", "0 (звука меньше блока: в блок он не попадёт)", "0,0 с"))
        << QStringList{} << 0;
    QTest::newRow("two files: a block each")
        << L{flt, nofmt} << block("f0.wav", fltfacts) + "\n" + block("f1.wav", nofmtfacts) << QStringList{} << 0;
    QTest::newRow("streamed, length 0xFFFFFFFF: refused")
        << L{streamed} << QByteArray()
        << QStringList{"f0.wav", "не принят", "меньше, чем указано в заголовке", "4294967295", "5000"} << 2;
    QTest::newRow("streamed, length 0 with sound after: refused")
        << L{unstated} << QByteArray() << QStringList{"f0.wav", "не принят", "длина звука 0", "5000"} << 2;
    QTest::newRow("not a WAV: refused") << L{QByteArray("text")} << QByteArray()
                                        << QStringList{"f0.wav", "не принят", "не звуковой файл WAV"} << 2;
    QTest::newRow("refused among good ones: the others printed")
        << L{flt, streamed, nofmt} << block("f0.wav", fltfacts) + "\n" + block("f2.wav", nofmtfacts)
        << QStringList{"f1.wav", "не принят"} << 2;
    QTest::newRow("missing file") << L{pcm, QByteArray()} << pcmout << QStringList{"f1.wav", "не найден"} << 2;
}

void TestCli::info()
{
    QFETCH(QList<QByteArray>, files);
    QFETCH(QStringList, says);
    QFETCH(int, code);
    QStringList args{"info"};
    for (int i = 0; i < files.size(); ++i) {
        const QString name = QStringLiteral("f%1.wav").arg(i);
        if (!files[i].isNull())
            put(name, files[i]);
        args.append(name);
    }
    const Run r = cli(args);
    QCOMPARE(r.code, code);
    QTEST(r.out, "out");
    for (const QString& s : says)
        QVERIFY2(r.errtext().contains(s), qPrintable(s + QStringLiteral(" not in: ") + r.errtext()));
    if (says.isEmpty())
        QCOMPARE(r.err, QByteArray());
}

void TestCli::factsBeforeUpload()
{
    // Said before anything goes out, on standard error, and the upload goes on.
    put(QStringLiteral("one.wav"), wavfile::canonical(wavfile::sound(3 * 512 + 100)));
    put(QStringLiteral("two.wav"), wavfile::riff(wavfile::format(3, 2, 44100, 32)
                                                 + wavfile::chunk("data", wavfile::sound(2 * 512))));
    auto unit = fixture::unitOn(1);
    const QString one = file(QStringLiteral("one.wav"));
    const QString two = file(QStringLiteral("two.wav"));
    const Run r = cli({"upload", "COM1", one, two});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray());
    const QString facts = QString::fromUtf8(block("PPK1.WAV: " + one, pcmfacts("0,205 с", "3", "0,1 с"))
                                            + block("PPK2.WAV: " + two,
                                                    {"  формат: код 3 (не PCM)", "  частота дискретизации: 44100 Гц",
                                                     "  разрядность: 32 бит", "  каналов: 2",
                                                     "  длительность: 0,003 с", "  блоков: 2",
                                                     "  время записи на линии 115200 бод: 0,1 с"}));
    QVERIFY2(r.errtext().startsWith(facts), qPrintable(r.errtext()));
    QCOMPARE(unit->count(1), 2);
}

void TestCli::recordIntoNewFile_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("Russian locale") << QByteArray("ru_RU.UTF-8");
    QTest::newRow("C locale") << QByteArray("C");
}

void TestCli::recordIntoNewFile()
{
    QFETCH(QByteArray, locale);
    const QByteArray one = wavfile::canonical(wavfile::sound(3 * 512 + 100, 1));
    const QByteArray two = wavfile::canonical(wavfile::sound(8000 * 2, 2));
    QDir().mkpath(file(QStringLiteral("sounds")));
    put(QStringLiteral("sounds/Сообщение 1, эвакуация.wav"), one);
    put(QStringLiteral("sounds/two.wav"), two);
    auto unit = fixture::unitOn(1);
    const QString record = file(QStringLiteral("unit-1.ini"));

    const QByteArray was = qgetenv("LC_ALL");
    qputenv("LC_ALL", locale);
    const QDateTime from = QDateTime::currentDateTime();
    const Run r = cli({"upload", "COM1", file(QStringLiteral("sounds/Сообщение 1, эвакуация.wav")),
                       file(QStringLiteral("sounds/two.wav")), "--record", record});
    const QDateTime to = QDateTime::currentDateTime();
    qputenv("LC_ALL", was);

    QCOMPARE(r.code, 0);
    QVERIFY2(r.errtext().contains(QStringLiteral("Запись о звуках внесена в файл")), qPrintable(r.errtext()));
    QCOMPARE(unit->count(1), 31);
    const QByteArray text = fixture::readFile(record);
    QVERIFY(text.startsWith("; Звуки, записанные в блок; из блока не читаются\n[sounds]\n; Сообщение ППК1\n"));
    const QMap<QString, QString> keys = soundkeys(record);
    QCOMPARE(slotkeys(keys, "ppk1"), pcmkeys("ppk1", "Сообщение 1, эвакуация.wav", one, 3));
    QCOMPARE(slotkeys(keys, "ppk2"), pcmkeys("ppk2", "two.wav", two, 31));
    QVERIFY2(uploadedwithin(keys.value("ppk1_uploaded_at"), from, to), qPrintable(keys.value("ppk1_uploaded_at")));
    QCOMPARE(keys.value("ppk2_uploaded_at"), keys.value("ppk1_uploaded_at"));
    QCOMPARE(keys.size(), 20); // no siren keys: nothing was said of the siren
}

void TestCli::recordIntoExistingFile()
{
    // One unit's file through a commissioning: read, the messages, the siren, new messages.
    sim::Config old;
    old.firmware = 40;
    auto unit = fixture::unitOn(1, old);
    const QString record = file(QStringLiteral("unit-1.ini"));
    QCOMPARE(cli({"read", "COM1", record}).code, 0);
    const QByteArray read = fixture::readFile(record);

    const QByteArray one = wavfile::canonical(wavfile::sound(2 * 512, 1));
    const QByteArray two = wavfile::canonical(wavfile::sound(3 * 512, 2));
    const QByteArray siren = wavfile::canonical(wavfile::sound(4 * 512, 3));
    const QByteArray newer = wavfile::canonical(wavfile::sound(5 * 512, 4));
    put(QStringLiteral("one.wav"), one);
    put(QStringLiteral("two.wav"), two);
    put(QStringLiteral("siren.wav"), siren);
    put(QStringLiteral("newer.wav"), newer);

    QCOMPARE(cli({"upload", "COM1", "one.wav", "two.wav", "--record", record}).code, 0);
    const QByteArray afterMessages = fixture::readFile(record);
    QVERIFY(afterMessages.startsWith(read + "\n; Звуки, записанные в блок; из блока не читаются\n[sounds]\n"));
    const QMap<QString, QString> first = soundkeys(record);
    QCOMPARE(slotkeys(first, "ppk1"), pcmkeys("ppk1", "one.wav", one, 2));
    QCOMPARE(slotkeys(first, "ppk2"), pcmkeys("ppk2", "two.wav", two, 3));

    // The siren replaces its own keys only: the messages' lines stay as they were.
    QTest::qWait(1100); // a later second for a later upload time
    QCOMPARE(cli({"siren", "COM1", "siren.wav", "--record", record}).code, 0);
    const QByteArray afterSiren = fixture::readFile(record);
    QVERIFY(afterSiren.startsWith(afterMessages));
    const QMap<QString, QString> second = soundkeys(record);
    QCOMPARE(slotkeys(second, "ppk1"), slotkeys(first, "ppk1"));
    QCOMPARE(second.value("ppk1_uploaded_at"), first.value("ppk1_uploaded_at"));
    QCOMPARE(slotkeys(second, "siren"), pcmkeys("siren", "siren.wav", siren, 4));
    QVERIFY(second.value("siren_uploaded_at") > first.value("ppk1_uploaded_at"));

    // New messages replace theirs and keep the siren's.
    QCOMPARE(cli({"upload", "COM1", "newer.wav", "one.wav", "--record", record}).code, 0);
    const QMap<QString, QString> third = soundkeys(record);
    QCOMPARE(slotkeys(third, "ppk1"), pcmkeys("ppk1", "newer.wav", newer, 5));
    QCOMPARE(slotkeys(third, "ppk2"), pcmkeys("ppk2", "one.wav", one, 2));
    QCOMPARE(slotkeys(third, "siren"), slotkeys(second, "siren"));
    QCOMPARE(third.value("siren_uploaded_at"), second.value("siren_uploaded_at"));
    QCOMPARE(third.size(), 30);
    QVERIFY(fixture::readFile(record).startsWith(read));

    // The file still serves as a settings file: what the unit was set to goes back into it.
    const Image before = unit->image();
    QCOMPARE(cli({"write", "COM1", record}).code, 0);
    QCOMPARE(bytes(unit->image()), bytes(before));
}

void TestCli::stoppedUploadRecordsNothing_data()
{
    QTest::addColumn<sim::Config>("config");
    QTest::addColumn<bool>("ctrlc");
    QTest::addColumn<bool>("existing"); // the record file is there before
    QTest::addColumn<int>("code");

    sim::Config stall;
    stall.stallAfterBlocks = 3;
    sim::Config hangup;
    hangup.hangupAfterBlocks = 3;
    sim::Config slow;
    slow.blockWorkMs = 10;
    QTest::newRow("stall, new file") << stall << false << false << 1;
    QTest::newRow("stall, existing file") << stall << false << true << 1;
    QTest::newRow("hang-up, existing file") << hangup << false << true << 1;
    QTest::newRow("Ctrl+C, existing file") << slow << true << true << 130;
}

void TestCli::stoppedUploadRecordsNothing()
{
    QFETCH(sim::Config, config);
    QFETCH(bool, ctrlc);
    QFETCH(bool, existing);
    QFETCH(int, code);
    put(QStringLiteral("one.wav"), wavfile::canonical(wavfile::sound(100 * 512)));
    put(QStringLiteral("two.wav"), wavfile::canonical(wavfile::sound(512)));
    const QByteArray earlier = "[settings]\naddress=5\n\n[sounds]\nppk1_file=earlier.wav\n";
    const QString record = file(QStringLiteral("unit.ini"));
    if (existing)
        put(QStringLiteral("unit.ini"), earlier);
    auto unit = fixture::unitOn(1, config);

    const Run r = cli({"upload", "COM1", "one.wav", "two.wav", "--record", record}, [&](QProcess& p) {
        if (!ctrlc)
            return;
        QTRY_VERIFY_WITH_TIMEOUT(unit->blocksReceived() >= 5, 10000);
        ::kill(pid_t(p.processId()), SIGINT);
    });
    QCOMPARE(r.code, code);
    QVERIFY(unit->blocksReceived() < 101);
    QVERIFY(!r.errtext().contains(QStringLiteral("Запись о звуках внесена")));
    if (existing)
        QCOMPARE(fixture::readFile(record), earlier);
    else
        QVERIFY(!QFile::exists(record));
}

void TestCli::recordFileRefusedSendsNothing_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QByteArray>("content"); // put there first unless null
    QTest::addColumn<bool>("siren");
    QTest::addColumn<QStringList>("says");

    QTest::newRow("missing folder") << QStringLiteral("no/such/unit.ini") << QByteArray() << false
                                    << QStringList{"unit.ini", "папка", "не найдена"};
    QTest::newRow("a folder") << QStringLiteral("folder") << QByteArray() << false
                              << QStringList{"folder", "это папка"};
    QTest::newRow("the sound file itself") << QStringLiteral("ok.wav") << QByteArray() << false
                                           << QStringList{"ok.wav"};
    QTest::newRow("not a settings file") << QStringLiteral("notes.ini") << QByteArray("Блок 5: проверен\n")
                                         << true << QStringList{"notes.ini", "КЛЮЧ=ЗНАЧЕНИЕ"};
    QTest::newRow("a settings value out of range") << QStringLiteral("unit.ini")
                                                   << QByteArray("[settings]\nvolume=40\n") << true
                                                   << QStringList{"unit.ini", "volume", "40"};
}

void TestCli::recordFileRefusedSendsNothing()
{
    QFETCH(QString, record);
    QFETCH(QByteArray, content);
    QFETCH(bool, siren);
    QFETCH(QStringList, says);
    const QByteArray ok = wavfile::canonical(wavfile::sound(1024));
    put(QStringLiteral("ok.wav"), ok);
    if (record == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(file(record)));
    if (!content.isNull())
        put(record, content);
    sim::Config old;
    old.firmware = 40;
    auto unit = fixture::unitOn(1, old);

    const Run r = siren ? cli({"siren", "COM1", "ok.wav", "--record", file(record)})
                        : cli({"upload", "COM1", "ok.wav", "ok.wav", "--record", file(record)});
    QCOMPARE(r.code, 2);
    for (const QString& s : says)
        QVERIFY2(r.errtext().contains(s), qPrintable(s + QStringLiteral(" not in: ") + r.errtext()));
    QVERIFY(r.errtext().contains(QStringLiteral("в блок ничего не отправлено")));
    QTest::qWait(50);
    QCOMPARE(bytes(unit->received()), QByteArray());
    // The file is as it was.
    if (!content.isNull())
        QCOMPARE(fixture::readFile(file(record)), content);
    QCOMPARE(fixture::readFile(file(QStringLiteral("ok.wav"))), ok);
}

void TestCli::recordNotWrittenAfterGoodUpload()
{
    // The record's place became a folder while the sound went out: the sound is in the unit,
    // and the message says so, and that the file was not written.
    const QByteArray data = wavfile::sound(30 * 512, 5);
    put(QStringLiteral("siren.wav"), wavfile::canonical(data));
    sim::Config c;
    c.firmware = 40;
    c.blockWorkMs = 10;
    auto unit = fixture::unitOn(1, c);
    const QString record = file(QStringLiteral("unit.ini"));
    put(QStringLiteral("unit.ini"), "[settings]\naddress=5\n");

    const Run r = cli({"siren", "COM1", "siren.wav", "--record", record}, [&](QProcess&) {
        QTRY_VERIFY_WITH_TIMEOUT(unit->blocksReceived() >= 2, 10000);
        QVERIFY(QFile::remove(record));
        QVERIFY(QDir().mkpath(record));
    });
    QCOMPARE(r.code, 2);
    QCOMPARE(bytes(unit->sound(2)), data);
    QVERIFY2(r.errtext().contains(QStringLiteral("Звук записан в блок, но запись о нём в файл \"") + record
                                  + QStringLiteral("\" не внесена")),
             qPrintable(r.errtext()));
    QVERIFY(r.errtext().contains(QStringLiteral("это папка")));
    QVERIFY(QFileInfo(record).isDir());
    QVERIFY(bytes(unit->received()).endsWith(End)); // the conversation ended as usual
}

void TestCli::ctrlCDuringTheLastBlockStillRecords()
{
    // Ctrl+C while the unit stores the last block: once it has acknowledged it the sound is
    // in the unit and the upload has succeeded: the record is made and the command ends as done.
    const QByteArray siren = wavfile::canonical(wavfile::sound(2 * 512, 6));
    put(QStringLiteral("siren.wav"), siren);
    sim::Config c;
    c.firmware = 40;
    c.blockWorkMs = 800;
    auto unit = fixture::unitOn(1, c);
    const QString record = file(QStringLiteral("unit.ini"));

    const Run r = cli({"siren", "COM1", "siren.wav", "--record", record}, [&](QProcess& p) {
        QTRY_VERIFY_WITH_TIMEOUT(unit->blocksReceived() >= 2, 10000);
        ::kill(pid_t(p.processId()), SIGINT);
    });
    QCOMPARE(r.code, 0);
    QCOMPARE(unit->count(2), 2);
    QCOMPARE(slotkeys(soundkeys(record), "siren"), pcmkeys("siren", "siren.wav", siren, 2));
    QVERIFY(!r.errtext().contains(QStringLiteral("переподключите")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
