// The record of the sounds in a unit's settings file: the [sounds] section put into a file
// whose every other byte stays as it was, and the files that cannot take it.
#include "settings/settingsfile.h"
#include "sound/record.h"
#include "tests/support/fixture.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

namespace {

const QDateTime At(QDate(2026, 12, 10), QTime(16, 5, 9), Qt::OffsetFromUTC, 3 * 3600);

sound::Uploaded uploaded(sound::Which which)
{
    sound::Uploaded u;
    u.which = which;
    u.at = At;
    switch (which) {
    case sound::Which::Ppk1:
        // A name with a comma and Cyrillic: quoted, so that it reads back as one text.
        u.path = QStringLiteral("/records/2026/Сообщение 1, эвакуация.wav");
        u.size = 480044;
        u.sha256 = QByteArray(64, 'a');
        u.sound.format = {true, 1, 1, 8000, 8000, 8};
        u.sound.length = 480000;
        u.sound.blocks = 937;
        break;
    case sound::Which::Ppk2:
        u.path = QStringLiteral("two.wav");
        u.size = 352852;
        u.sha256 = QByteArray(64, 'b');
        u.sound.format = {true, 3, 2, 44100, 352800, 32};
        u.sound.length = 352800;
        u.sound.blocks = 689;
        break;
    case sound::Which::Siren:
        u.path = QStringLiteral("/s/siren.wav"); // no "fmt " chunk: nothing known of it
        u.size = 1056;
        u.sha256 = QByteArray(64, 'c');
        u.sound.length = 1024;
        u.sound.blocks = 2;
        break;
    }
    return u;
}

// The keys of a sound as they must stand, written out here by hand.
QByteArray slot(sound::Which which, const QByteArray& eol = "\n")
{
    QList<QByteArray> lines;
    switch (which) {
    case sound::Which::Ppk1:
        lines = {"; Сообщение ППК1", "ppk1_file=\"Сообщение 1, эвакуация.wav\"", "ppk1_size=480044",
                 "ppk1_sha256=" + QByteArray(64, 'a'), "ppk1_format=PCM", "ppk1_rate=8000", "ppk1_bits=8",
                 "ppk1_channels=1", "ppk1_duration_ms=60000", "ppk1_blocks=937",
                 "ppk1_uploaded_at=2026-12-10T16:05:09+03:00"};
        break;
    case sound::Which::Ppk2:
        lines = {"; Сообщение ППК2", "ppk2_file=two.wav", "ppk2_size=352852", "ppk2_sha256=" + QByteArray(64, 'b'),
                 "ppk2_format=3", "ppk2_rate=44100", "ppk2_bits=32", "ppk2_channels=2",
                 "ppk2_duration_ms=1000", "ppk2_blocks=689", "ppk2_uploaded_at=2026-12-10T16:05:09+03:00"};
        break;
    case sound::Which::Siren:
        lines = {"; Звук сирены", "siren_file=siren.wav", "siren_size=1056", "siren_sha256=" + QByteArray(64, 'c'),
                 "siren_format=", "siren_rate=", "siren_bits=", "siren_channels=", "siren_duration_ms=",
                 "siren_blocks=2", "siren_uploaded_at=2026-12-10T16:05:09+03:00"};
        break;
    }
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + eol;
    return out;
}

const QByteArray Head = "; Звуки, записанные в блок; из блока не читаются\n[sounds]\n";

// What a read writes: settings, then the unit's record with its comment above it.
const QByteArray Settings = "[settings]\n; Сеть ВИРЕЛАН2 / Адрес в сети\naddress=7\n";
const QByteArray Unit = "\n; Что блок сообщил при последнем чтении; в блок не передаётся\n[unit]\nport=COM3\n";

using W = sound::Which;

} // namespace

Q_DECLARE_METATYPE(QList<sound::Which>)

class TestRecord : public QObject {
    Q_OBJECT
private slots:
    void init() { scratch = std::make_unique<fixture::Scratch>(); }
    void cleanup() { scratch.reset(); }

    void section_data();
    void section();
    void readsBack();
    void checkBeforeSending_data();
    void checkBeforeSending();
    void writeFailsNamingTheFile();

private:
    std::unique_ptr<fixture::Scratch> scratch;
};

void TestRecord::section_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QList<W>>("sounds");
    QTest::addColumn<QByteArray>("after");

    const QList<W> messages{W::Ppk1, W::Ppk2};
    const QList<W> siren{W::Siren};
    QTest::newRow("new file: messages") << QByteArray() << messages << Head + slot(W::Ppk1) + slot(W::Ppk2);
    QTest::newRow("new file: siren") << QByteArray() << siren << Head + slot(W::Siren);
    QTest::newRow("a read's file: the section goes last")
        << Settings + Unit << messages << Settings + Unit + "\n" + Head + slot(W::Ppk1) + slot(W::Ppk2);
    QTest::newRow("no line break at the end") << QByteArray("[settings]\naddress=7") << siren
                                              << "[settings]\naddress=7\n\n" + Head + slot(W::Siren);

    // The siren after the messages: their keys stay as they stand, old values and all.
    const QByteArray old1 = slot(W::Ppk1).replace("480044", "111");
    QTest::newRow("siren keeps the messages")
        << Settings + "\n" + Head + old1 + slot(W::Ppk2) << siren
        << Settings + "\n" + Head + old1 + slot(W::Ppk2) + slot(W::Siren);
    const QByteArray oldSiren = slot(W::Siren).replace("siren.wav", "old siren.wav");
    QTest::newRow("messages again keep the siren")
        << Head + old1 + slot(W::Ppk2) + oldSiren << messages << Head + slot(W::Ppk1) + slot(W::Ppk2) + oldSiren;
    QTest::newRow("the siren alone first, then the messages before it")
        << Settings + "\n" + Head + oldSiren << messages
        << Settings + "\n" + Head + slot(W::Ppk1) + slot(W::Ppk2) + oldSiren;

    // In the middle of the file: [unit] and the comment above it stay byte for byte.
    QTest::newRow("section between settings and unit")
        << Settings + "[sounds]\n" + old1 + Unit << QList<W>{W::Ppk1, W::Ppk2}
        << Settings + "[sounds]\n" + slot(W::Ppk1) + slot(W::Ppk2) + Unit;
    // What an engineer wrote by hand into the section is kept after the sounds.
    QTest::newRow("hand-written key and comment kept")
        << Settings + "\n[sounds]\n; проверил Иванов\nchecked=2026-12-01\nppk1_file=x.wav\n" << messages
        << Settings + "\n[sounds]\n" + slot(W::Ppk1) + slot(W::Ppk2) + "; проверил Иванов\nchecked=2026-12-01\n";
    QTest::newRow("two [sounds] sections become one")
        << QByteArray("[sounds]\nsiren_file=a.wav\n[settings]\naddress=7\n[sounds]\nppk1_file=b.wav\n") << QList<W>{W::Ppk2}
        << "[sounds]\nppk1_file=b.wav\n" + slot(W::Ppk2) + "siren_file=a.wav\n[settings]\naddress=7\n";
    QTest::newRow("a section ending the file without a line break")
        << Settings + "[sounds]\nsiren_file=a.wav" << messages
        << Settings + "[sounds]\n" + slot(W::Ppk1) + slot(W::Ppk2) + "siren_file=a.wav\n";

    // A file written on Windows: the section takes its line breaks.
    QByteArray crlf = Settings + Unit;
    crlf.replace("\n", "\r\n");
    QByteArray crlfHead = Head;
    crlfHead.replace("\n", "\r\n");
    QTest::newRow("CR LF file") << crlf << siren << crlf + "\r\n" + crlfHead + slot(W::Siren, "\r\n");
    QByteArray bom = "\xEF\xBB\xBF[sounds]\nppk2_file=z.wav\n";
    QTest::newRow("byte-order mark before the section")
        << bom << siren << "\xEF\xBB\xBF[sounds]\nppk2_file=z.wav\n" + slot(W::Siren);
}

void TestRecord::section()
{
    QFETCH(QByteArray, before);
    QFETCH(QList<W>, sounds);
    QList<sound::Uploaded> list;
    for (W w : sounds)
        list.append(uploaded(w));
    const QByteArray got = sound::withsounds(before, list);
    QTEST(got, "after");
    // Put in again, the same sounds change nothing.
    QCOMPARE(sound::withsounds(got, list), got);
}

void TestRecord::readsBack()
{
    // What QSettings, a settings file's reader, makes of the record; and the file still serves
    // as a settings file.
    const QString path = scratch->file(QStringLiteral("unit.ini"));
    fixture::writeFile(path, Settings + Unit);
    QCOMPARE(sound::writerecord(path, {uploaded(W::Ppk1), uploaded(W::Ppk2)}), QString());
    QCOMPARE(sound::writerecord(path, {uploaded(W::Siren)}), QString());
    const QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("sounds/ppk1_file")).toString(), QStringLiteral("Сообщение 1, эвакуация.wav"));
    QCOMPARE(ini.value(QStringLiteral("sounds/ppk2_format")).toString(), QStringLiteral("3"));
    QCOMPARE(ini.value(QStringLiteral("sounds/siren_rate")).toString(), QString());
    QCOMPARE(ini.value(QStringLiteral("sounds/siren_uploaded_at")).toString(),
             QStringLiteral("2026-12-10T16:05:09+03:00"));
    QVERIFY(fixture::readFile(path).startsWith(Settings + Unit + "\n"));
    settings::Fields f;
    f = settings::loadfile(path, f);
    QCOMPARE(f.address, QStringLiteral("7"));
}

void TestRecord::checkBeforeSending_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written there first unless null
    QTest::addColumn<QStringList>("says");   // empty: the file can take the record

    QTest::newRow("new file") << QStringLiteral("new.ini") << QByteArray() << QStringList{};
    QTest::newRow("a read's file") << QStringLiteral("unit.ini") << QByteArray(Settings + Unit) << QStringList{};
    QTest::newRow("empty file") << QStringLiteral("empty.ini") << QByteArray("") << QStringList{};
    QTest::newRow("missing folder") << QStringLiteral("no/such/unit.ini") << QByteArray()
                                    << QStringList{"unit.ini", "не удалось записать", "папка", "не найдена"};
    QTest::newRow("a folder") << QStringLiteral("folder") << QByteArray() << QStringList{"folder", "это папка"};
    QTest::newRow("a sound file") << QStringLiteral("sound.ini") << QByteArray("RIFF\x10\0\0\0WAVEdata\0\0\0\0", 20)
                                  << QStringList{"sound.ini"};
    QTest::newRow("a line that is no KEY=VALUE") << QStringLiteral("bad.ini") << QByteArray("[settings]\naddress 5\n")
                                                 << QStringList{"bad.ini", "КЛЮЧ=ЗНАЧЕНИЕ"};
    QTest::newRow("a settings value out of range") << QStringLiteral("range.ini") << QByteArray("[settings]\nvolume=40\n")
                                                   << QStringList{"range.ini", "volume"};
    QTest::newRow("read-only file") << QStringLiteral("readonly.ini") << QByteArray(Settings) << QStringList{"нет прав на запись"};
}

void TestRecord::checkBeforeSending()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, says);
    const QString path = scratch->file(name);
    if (name == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    if (!content.isNull())
        fixture::writeFile(path, content);
    if (name == QLatin1String("readonly.ini")) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        if (QFileInfo(path).isWritable())
            QSKIP("this user may write any file (root)");
    }
    const QString why = sound::checkrecord(path);
    for (const QString& s : says)
        QVERIFY2(why.contains(s), qPrintable(s + QStringLiteral(" not in: ") + why));
    QCOMPARE(why.isEmpty(), says.isEmpty());
    // Checking writes nothing: no new file, an old one as it was, no temporary left behind.
    if (content.isNull())
        QCOMPARE(QFileInfo(path).isFile(), false);
    else
        QCOMPARE(fixture::readFile(path), content);
    const QStringList left = QDir(scratch->path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& f : left)
        QVERIFY2(f == name || f == QLatin1String("log.txt"), qPrintable(f));
}

void TestRecord::writeFailsNamingTheFile()
{
    // The file became a folder after the check: the write fails, and says so in Russian.
    const QString path = scratch->file(QStringLiteral("unit.ini"));
    QVERIFY(QDir().mkpath(path));
    const QString why = sound::writerecord(path, {uploaded(W::Siren)});
    QVERIFY2(why.contains(QDir::toNativeSeparators(path)) && why.contains(QStringLiteral("это папка")),
             qPrintable(why));
}

QTEST_GUILESS_MAIN(TestRecord)
#include "test_record.moc"
