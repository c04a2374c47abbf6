// Settings files: what is written, what is read back, and what is refused with which words.
#include "settings/image.h"
#include "settings/settingsfile.h"
#include "settings/strtoint.h"
#include "tests/support/fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <array>
#include <optional>

using KeyValues = QList<std::pair<QString, int>>;
using Image = std::array<std::uint8_t, settings::ImageSize>;

namespace {

// The keys and where their fields lie in the image, as the commissioning engineers were given
// them: the file's order, and the bytes each key must end up in.
struct Place {
    const char* key;
    int index, width;
};
const Place Table[] = {
    {"address", 6, 1},
    {"zone", 7, 1},
    {"display_lit_in_standby", 8, 1},
    {"display_flashes_in_fire", 9, 1},
    {"display_current_drift", 10, 2},
    {"line_signal_drift", 12, 2},
    {"signal_leave_time", 14, 2},
    {"input_level_broken", 16, 2},
    {"input_level_short", 18, 2},
    {"input_trigger_level", 20, 2},
    {"relay_ppk1", 22, 1},
    {"relay_ppk2", 23, 1},
    {"relay_gochs", 24, 1},
    {"relay_line_input", 25, 1},
    {"relay_console", 26, 1},
    {"relay_siren", 27, 1},
    {"monitor_ppk1", 34, 1},
    {"monitor_ppk2", 35, 1},
    {"monitor_gochs", 36, 1},
    {"monitor_console", 37, 1},
    {"display_flash_speed", 38, 1},
    {"display_current_leave_time", 39, 1},
    {"line_short_circuit_level", 40, 2},
    {"monitor_frequency", 42, 1},
    {"volume", 43, 1},
};

// A set of values every field takes.
settings::Fields factory()
{
    return settings::factoryfields();
}

// Every number different from every other and from the factory's, flags mixed.
settings::Fields distinct()
{
    settings::Fields f;
    f.address = "201";
    f.zone = "$CA"; // 202, typed in hexadecimal
    f.boardDrift = "40001";
    f.lineDrift = "40002";
    f.signalLeave = "40003";
    f.levelShort = "40004";
    f.levelBreak = "40005";
    f.levelTrigger = "40006";
    f.currentLeave = "203";
    f.lineShort = "40007";
    const bool relay[] = {true, false, false, true, true, false};
    const bool monitor[] = {false, true, true, false};
    std::copy(std::begin(relay), std::end(relay), f.relay);
    std::copy(std::begin(monitor), std::end(monitor), f.monitor);
    f.boardLit = true;
    f.boardFlash = false;
    f.flashSpeed = 17;
    f.frequency = 93;
    f.volume = 3;
    return f;
}

KeyValues with(KeyValues kv, const QString& key, int value)
{
    for (auto& [k, v] : kv)
        if (k == key)
            v = value;
    return kv;
}

QByteArray readbytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writebytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QString filemessage(const QString& path)
{
    return QStringLiteral("Файл \"%1\"").arg(QDir::toNativeSeparators(path));
}

// The refusal's message, or a null string when the file was taken.
QString loaderror(const QString& path, const settings::Fields& base, settings::Fields* out = nullptr)
{
    try {
        const settings::Fields f = settings::loadfile(path, base);
        if (out)
            *out = f;
    } catch (const settings::FileError& e) {
        return e.message();
    }
    return QString();
}

QString seterror(const settings::Fields& base, const QString& assignment)
{
    try {
        settings::setkey(base, assignment);
    } catch (const settings::FileError& e) {
        return e.message();
    }
    return QString();
}

QString converterror(const std::function<void()>& f)
{
    try {
        f();
    } catch (const settings::ConvertError& e) {
        return e.message();
    }
    return QString();
}

std::optional<settings::UnitInfo> someunit()
{
    settings::UnitInfo u;
    u.firmware = "5.14";
    u.type = "Модуль входов";
    u.startups = "300";
    u.port = "COM3";
    u.readAt = QDateTime(QDate(2024, 5, 1), QTime(9, 5, 7), QTimeZone(3 * 3600));
    return u;
}

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    int serial = 0;
    // A fresh name for every file a test writes.
    QString fresh() { return dir.filePath(QStringLiteral("f%1.ini").arg(++serial)); }

private slots:
    void keysLieWhereTheImageHasThem();
    void goodFiles_data();
    void goodFiles();
    void badFiles_data();
    void badFiles();
    void missingOrUnreadable();
    void rewrittenFileIsReadAnew();
    void roundTrip();
    void commentAboveEveryKey();
    void commentsNameTheWindowsFrameAndCaption();
    void writtenAsUtf8WithoutMark();
    void refusedFieldWritesNothing_data();
    void refusedFieldWritesNothing();
    void unitSection();
    void unitTextsSurvive_data();
    void unitTextsSurvive();
    void unwritableFolder();
    void setKey_data();
    void setKey();
    void barsAsTheWindowHoldsThem();
    void readingsSection();
    void keptSection_data();
    void keptSection();
    void saveKeepsTheSounds_data();
    void saveKeepsTheSounds();
    void fileKeys();
    void differences();
};

// Each key, changed alone, changes exactly its field's bytes in the image "Запись" sends.
void SettingsFileTest::keysLieWhereTheImageHasThem()
{
    const settings::Fields base = factory();
    KeyValues expected;
    for (const Place& p : Table)
        expected.append({QLatin1String(p.key), 0});
    const KeyValues got = settings::keyvalues(base);
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got[i].first, expected[i].first);

    Image before{};
    settings::encode(base, before.data());
    for (const Place& p : Table) {
        const QString key = QLatin1String(p.key);
        int now = 0;
        for (const auto& [k, v] : got)
            if (k == key)
                now = v;
        // A value the factory does not hold, in the field's range.
        const int value = now == 0 ? 1 : now == 1 ? 0 : now - 1;
        const settings::Fields f = settings::setkey(base, key + QLatin1Char('=') + QString::number(value));
        Image after{};
        settings::encode(f, after.data());
        for (int i = 0; i < settings::ImageSize; ++i) {
            if (i == settings::SumIndex)
                continue;
            const bool inside = i >= p.index && i < p.index + p.width;
            if (!inside)
                QVERIFY2(after[i] == before[i], qPrintable(key + " changed index " + QString::number(i)));
        }
        const int stored = p.width == 2 ? after[p.index] * 256 + after[p.index + 1] : after[p.index];
        QVERIFY2(stored == value, qPrintable(key));
        QCOMPARE(settings::keyvalues(f), with(got, key, value));
    }
}

void SettingsFileTest::goodFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<KeyValues>("changes");

    QTest::newRow("empty") << QByteArray() << KeyValues{};
    QTest::newRow("comments and blank lines")
        << QByteArray("; nothing\n\n# nothing either\n[settings]\n\n; Адрес\n") << KeyValues{};
    QTest::newRow("partial") << QByteArray("[settings]\naddress=7\n") << KeyValues{{"address", 7}};
    QTest::newRow("hex forms")
        << QByteArray("[settings]\naddress=$1F\nzone=0x1f\ndisplay_current_drift=XFFFF\n"
                      "line_signal_drift=0X0a\nsignal_leave_time=x00000010\nrelay_ppk1=0x0\n")
        << KeyValues{{"address", 31},           {"zone", 31},
                     {"display_current_drift", 65535}, {"line_signal_drift", 10},
                     {"signal_leave_time", 16}, {"relay_ppk1", 0}};
    QTest::newRow("signs and zeros")
        << QByteArray("[settings]\naddress=+0255\nzone=-0\nvolume=016\n")
        << KeyValues{{"address", 255}, {"zone", 0}, {"volume", 16}};
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBF[settings]\nzone=9\n") << KeyValues{{"zone", 9}};
    QTest::newRow("windows line ends")
        << QByteArray("[settings]\r\n; c\r\naddress=2\r\nzone=3\r\n") << KeyValues{{"address", 2}, {"zone", 3}};
    QTest::newRow("spaces and quotes")
        << QByteArray("[settings]\n  address = 5  \nzone=\"6\"\n")
        << KeyValues{{"address", 5}, {"zone", 6}};
    QTest::newRow("flags off and on")
        << QByteArray("[settings]\nrelay_siren=0\ndisplay_lit_in_standby=1\nmonitor_console=0\n")
        << KeyValues{{"relay_siren", 0}, {"display_lit_in_standby", 1}, {"monitor_console", 0}};
    QTest::newRow("bars at their ends")
        << QByteArray("[settings]\ndisplay_flash_speed=5\nmonitor_frequency=100\nvolume=2\n")
        << KeyValues{{"display_flash_speed", 5}, {"monitor_frequency", 100}, {"volume", 2}};
    QTest::newRow("other bar ends")
        << QByteArray("[settings]\ndisplay_flash_speed=20\nmonitor_frequency=0\nvolume=16\n")
        << KeyValues{{"display_flash_speed", 20}, {"monitor_frequency", 0}, {"volume", 16}};
    QTest::newRow("unit section is not read")
        << QByteArray("[unit]\nfirmware=anything, at all\nnot_a_key=1\n[settings]\nzone=4\n")
        << KeyValues{{"zone", 4}};
    QTest::newRow("continued value") << QByteArray("[settings]\naddress=1\\\n2\n")
                                     << KeyValues{{"address", 12}};
    QTest::newRow("records are not read")
        << QByteArray("[settings]\nzone=4\n[readings]\nppk1=512\npolled_at=x\n[sounds]\n"
                      "ppk1_file=a, b.wav\nppk1_file=again\nzone=99\n[unit]\nport=COM3\nport=COM4\n")
        << KeyValues{{"zone", 4}};
    QTest::newRow("one key in each of two sections")
        << QByteArray("[settings]\naddress=3\n[unit]\nport=COM1\n[settings]\nzone=8\n")
        << KeyValues{{"address", 3}, {"zone", 8}};
}

// A file changes the keys it names and nothing else.
void SettingsFileTest::goodFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(KeyValues, changes);
    const QString path = fresh();
    writebytes(path, file);
    const settings::Fields base = factory();
    settings::Fields loaded;
    QCOMPARE(loaderror(path, base, &loaded), QString());
    KeyValues expected = settings::keyvalues(base);
    for (const auto& [k, v] : changes)
        expected = with(expected, k, v);
    QCOMPARE(settings::keyvalues(loaded), expected);
}

void SettingsFileTest::badFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message"); // after "Файл "<path>""

    QTest::newRow("unknown key") << QByteArray("[settings]\naddress=5\naddres=5\n")
                                 << ": неизвестный ключ \"addres\" (значение \"5\").";
    QTest::newRow("a long value")
        << QByteArray("[settings]\nzone=") + QByteArray(100, '7') + "\n"
        << ", ключ \"zone\": значение \"7777777777777777777777777777777777777777…\" не является "
           "целым числом.";
    QTest::newRow("not a number") << QByteArray("[settings]\nzone=five\n")
                                  << ", ключ \"zone\": значение \"five\" не является целым числом.";
    QTest::newRow("empty value") << QByteArray("[settings]\nzone=\n")
                                 << ", ключ \"zone\": значение \"\" не является целым числом.";
    QTest::newRow("trailing space kept by quotes")
        << QByteArray("[settings]\nzone=\"31 \"\n")
        << ", ключ \"zone\": значение \"31 \" не является целым числом.";
    QTest::newRow("comment after the value")
        << QByteArray("[settings]\nzone=5 # five\n")
        << ", ключ \"zone\": значение \"5 # five\" не является целым числом.";
    QTest::newRow("a list") << QByteArray("[settings]\nzone=1,2\n")
                            << ", ключ \"zone\": значение \"1,2\" не является целым числом.";
    QTest::newRow("fraction") << QByteArray("[settings]\nvolume=2.5\n")
                              << ", ключ \"volume\": значение \"2.5\" не является целым числом.";
    QTest::newRow("prefix without digits")
        << QByteArray("[settings]\naddress=0x\n")
        << ", ключ \"address\": значение \"0x\" не является целым числом.";
    QTest::newRow("one byte over") << QByteArray("[settings]\naddress=256\n")
                                   << ", ключ \"address\": значение \"256\" вне диапазона от 0 до 255.";
    QTest::newRow("one byte negative")
        << QByteArray("[settings]\nzone=-1\n")
        << ", ключ \"zone\": значение \"-1\" вне диапазона от 0 до 255.";
    QTest::newRow("one byte, Edit13")
        << QByteArray("[settings]\ndisplay_current_leave_time=$100\n")
        << ", ключ \"display_current_leave_time\": значение \"$100\" вне диапазона от 0 до 255.";
    QTest::newRow("two bytes over")
        << QByteArray("[settings]\nline_short_circuit_level=65536\n")
        << ", ключ \"line_short_circuit_level\": значение \"65536\" вне диапазона от 0 до 65535.";
    QTest::newRow("two bytes, eight F digits")
        << QByteArray("[settings]\ninput_level_broken=$FFFFFFFF\n")
        << ", ключ \"input_level_broken\": значение \"$FFFFFFFF\" вне диапазона от 0 до 65535.";
    QTest::newRow("flag 2") << QByteArray("[settings]\nrelay_ppk2=2\n")
                            << ", ключ \"relay_ppk2\": значение \"2\" недопустимо, флаг принимает 0 или 1.";
    QTest::newRow("flag -1")
        << QByteArray("[settings]\ndisplay_flashes_in_fire=-1\n")
        << ", ключ \"display_flashes_in_fire\": значение \"-1\" недопустимо, флаг принимает 0 или 1.";
    QTest::newRow("flash speed low")
        << QByteArray("[settings]\ndisplay_flash_speed=4\n")
        << ", ключ \"display_flash_speed\": значение \"4\" вне диапазона от 5 до 20.";
    QTest::newRow("flash speed high")
        << QByteArray("[settings]\ndisplay_flash_speed=21\n")
        << ", ключ \"display_flash_speed\": значение \"21\" вне диапазона от 5 до 20.";
    QTest::newRow("frequency high")
        << QByteArray("[settings]\nmonitor_frequency=101\n")
        << ", ключ \"monitor_frequency\": значение \"101\" вне диапазона от 0 до 100.";
    QTest::newRow("frequency negative")
        << QByteArray("[settings]\nmonitor_frequency=-1\n")
        << ", ключ \"monitor_frequency\": значение \"-1\" вне диапазона от 0 до 100.";
    QTest::newRow("volume low") << QByteArray("[settings]\nvolume=1\n")
                                << ", ключ \"volume\": значение \"1\" вне диапазона от 2 до 16.";
    QTest::newRow("volume high") << QByteArray("[settings]\nvolume=$11\n")
                                 << ", ключ \"volume\": значение \"$11\" вне диапазона от 2 до 16.";
    QTest::newRow("no section") << QByteArray("address=5\n")
                                << ": ключ \"address\" (значение \"5\") стоит вне раздела [settings].";
    QTest::newRow("section in capitals")
        << QByteArray("[Settings]\naddress=5\n")
        << ": ключ \"Settings/address\" (значение \"5\") стоит вне раздела [settings].";
    QTest::newRow("misspelt section")
        << QByteArray("[setings]\naddress=5\n")
        << ": ключ \"setings/address\" (значение \"5\") стоит вне раздела [settings].";
    QTest::newRow("key given twice")
        << QByteArray("[settings]\naddress=5\nzone=1\n; later\naddress=6\n")
        << ": ключ \"address\" задан дважды, в строках 2 и 5.";
    QTest::newRow("key twice, the same value")
        << QByteArray("[settings]\nvolume=8\nvolume=8\n")
        << ": ключ \"volume\" задан дважды, в строках 2 и 3.";
    QTest::newRow("key twice, spaces around")
        << QByteArray("[settings]\n  zone = 5\nzone=6\n")
        << ": ключ \"zone\" задан дважды, в строках 2 и 3.";
    QTest::newRow("key twice, in two [settings] sections")
        << QByteArray("[settings]\nzone=5\n[unit]\nport=COM1\n[settings]\nzone=6\n")
        << ": ключ \"zone\" задан дважды, в строках 2 и 6.";
    QTest::newRow("key in capitals")
        << QByteArray("[settings]\naddress=5\nAddress=6\n")
        << ": неизвестный ключ \"Address\" (значение \"6\").";
    QTest::newRow("record section in capitals")
        << QByteArray("[settings]\naddress=5\n[Sounds]\nppk1_file=a.wav\n")
        << ": ключ \"Sounds/ppk1_file\" (значение \"a.wav\") стоит вне раздела [settings].";
    QTest::newRow("line without =")
        << QByteArray("[settings]\nzone=5\naddress 5\n")
        << ", строка 3: \"address 5\" не является записью КЛЮЧ=ЗНАЧЕНИЕ.";
    QTest::newRow("unclosed section") << QByteArray("[settings\naddress=4\n")
                                      << " не читается как файл настроек INI.";
    QTest::newRow("a sound file")
        << QByteArray("RIFF\x24\x08\0\0WAVEfmt \x10\0\0\0\1\0\1\0", 24)
        << ", строка 1: \"RIFF$???WAVEfmt ????????\" не является записью КЛЮЧ=ЗНАЧЕНИЕ.";
    QTest::newRow("a long line")
        << QByteArray("[settings]\n") + QByteArray(100, 'x') + '\n'
        << ", строка 2: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\" не является записью "
           "КЛЮЧ=ЗНАЧЕНИЕ.";
}

// A bad file is refused with its name, the key and the value, and nothing of it is taken: a
// good key before the bad one is not applied either.
void SettingsFileTest::badFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    const QString path = fresh();
    writebytes(path, file);
    settings::Fields out = factory();
    out.address = "untouched";
    QCOMPARE(loaderror(path, factory(), &out), filemessage(path) + message);
    QCOMPARE(out.address, QStringLiteral("untouched"));
}

void SettingsFileTest::missingOrUnreadable()
{
    const QString missing = dir.filePath(QStringLiteral("nothing-here.ini"));
    QCOMPARE(loaderror(missing, factory()), filemessage(missing) + " не найден.");

    const QString folder = dir.filePath(QStringLiteral("a-folder.ini"));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(loaderror(folder, factory()), filemessage(folder) + " является папкой, а не файлом.");
    try {
        settings::savefile(folder, factory());
        QFAIL("saved over a folder");
    } catch (const settings::FileError& e) {
        QCOMPARE(e.message(), filemessage(folder) + " является папкой, а не файлом.");
    }
}

// A file changed again at once, to as many bytes, is read as it now stands: the engineer who
// corrects one digit and loads again gets the corrected digit.
void SettingsFileTest::rewrittenFileIsReadAnew()
{
    const QString path = fresh();
    for (int i = 0; i < 20; ++i) {
        writebytes(path, QByteArray("[settings]\naddress=") + QByteArray::number(10 + i % 2) + '\n');
        settings::Fields loaded;
        QCOMPARE(loaderror(path, factory(), &loaded), QString());
        QCOMPARE(loaded.address, QString::number(10 + i % 2));
    }
}

// What is written reads back as the same fields, whatever they held before.
void SettingsFileTest::roundTrip()
{
    const settings::Fields source = distinct();
    const QString path = fresh();
    settings::savefile(path, source, someunit());

    settings::Fields blank; // the texts the blanked window shows are no numbers at all
    for (QString* t : {&blank.address, &blank.zone, &blank.boardDrift, &blank.lineDrift,
                       &blank.signalLeave, &blank.levelShort, &blank.levelBreak,
                       &blank.levelTrigger, &blank.currentLeave, &blank.lineShort})
        *t = QStringLiteral("-- --");
    settings::Fields loaded;
    QCOMPARE(loaderror(path, blank, &loaded), QString());
    QCOMPARE(settings::keyvalues(loaded), settings::keyvalues(source));
    QCOMPARE(loaded.zone, QStringLiteral("202")); // the window shows it in decimal

    // And through the image "Запись" sends: the same bytes.
    Image a{}, b{};
    settings::encode(source, a.data());
    settings::encode(loaded, b.data());
    QVERIFY(a == b);

    // Written again, the file is the same to the byte.
    QCOMPARE(settings::filetext(loaded, someunit()), readbytes(path));
}

void SettingsFileTest::commentAboveEveryKey()
{
    const QStringList lines = QString::fromUtf8(settings::filetext(factory())).split('\n');
    QCOMPARE(lines.first(), QStringLiteral("[settings]"));
    int keys = 0;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        if (i % 2 == 1) {
            QVERIFY2(QRegularExpression("^; \\S.* / \\S.*$").match(lines[i]).hasMatch(),
                     qPrintable(lines[i]));
        } else {
            QVERIFY2(lines[i].startsWith(QLatin1String(Table[keys].key) + '='), qPrintable(lines[i]));
            ++keys;
        }
    }
    QCOMPARE(keys, int(std::size(Table)));
    // The two "Пульт" are told apart by their frames.
    QVERIFY(lines.contains("; Реле \"РАБОТА\" / Пульт"));
    QCOMPARE(lines[lines.indexOf("; Реле \"РАБОТА\" / Пульт") + 1], QStringLiteral("relay_console=1"));
    QCOMPARE(lines[lines.indexOf("; Разрешение контроля / Пульт") + 1],
             QStringLiteral("monitor_console=1"));
}

// Every comment names a frame title the window shows and a caption that stands inside that
// frame, so an engineer finds the control the key belongs to.
void SettingsFileTest::commentsNameTheWindowsFrameAndCaption()
{
    fixture::Scratch scratch;
    fixture::Modals modals;
    TForm1 form;
    const QList<QFrame*> frames = form.findChildren<QFrame*>();
    const QStringList lines = QString::fromUtf8(settings::filetext(factory())).split('\n');
    int checked = 0;
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1String("; ")))
            continue;
        const QStringList parts = line.mid(2).split(QStringLiteral(" / "));
        QCOMPARE(parts.size(), 2);
        // The frame whose title label carries the text.
        QRect frame;
        for (const QLabel* l : form.findChildren<QLabel*>())
            if (l->text() == parts[0])
                for (const QFrame* f : frames)
                    if (f->frameShape() == QFrame::Box && f->geometry().contains(l->geometry().center()))
                        frame = f->geometry();
        QVERIFY2(frame.isValid(), qPrintable(line));
        bool found = false;
        for (const QWidget* w : form.findChildren<QWidget*>()) {
            const auto* l = qobject_cast<const QLabel*>(w);
            const auto* c = qobject_cast<const QCheckBox*>(w);
            const QString text = l ? l->text() : c ? c->text() : QString();
            if (text == parts[1] && frame.contains(w->geometry().center()))
                found = true;
        }
        QVERIFY2(found, qPrintable(line));
        ++checked;
    }
    QCOMPARE(checked, int(std::size(Table)));
}

void SettingsFileTest::writtenAsUtf8WithoutMark()
{
    const QString path = fresh();
    settings::savefile(path, factory(), someunit());
    const QByteArray bytes = readbytes(path);
    QCOMPARE(bytes, settings::filetext(factory(), someunit()));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(!text.contains(QChar::ReplacementCharacter));
    // The window's Cyrillic as UTF-8 bytes: "Адрес в сети".
    QVERIFY(bytes.contains("\xD0\x90\xD0\xB4\xD1\x80\xD0\xB5\xD1\x81 \xD0\xB2 \xD1\x81\xD0\xB5\xD1\x82\xD0\xB8"));
    QVERIFY(bytes.endsWith('\n'));
    QVERIFY(!bytes.contains('\r'));

    // QSettings, which reads these files, finds the same values.
    const QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.status(), QSettings::NoError);
    for (const auto& [key, value] : settings::keyvalues(factory()))
        QCOMPARE(ini.value("settings/" + key).toString(), QString::number(value));
    QCOMPARE(ini.value("unit/type").toString(), QStringLiteral("Модуль входов"));
}

void SettingsFileTest::refusedFieldWritesNothing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("not a number") << "address" << "Не определён";
    QTest::newRow("trailing space") << "zone" << "31 ";
    QTest::newRow("one byte out of range") << "currentLeave" << "300";
    QTest::newRow("two bytes out of range") << "lineShort" << "-1";
}

// A field that is not a number is reported with the words and in the order of "Запись", and
// the earlier file stays as it was.
void SettingsFileTest::refusedFieldWritesNothing()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    settings::Fields f = factory();
    QString* target = field == "address" ? &f.address
                      : field == "zone"  ? &f.zone
                      : field == "currentLeave" ? &f.currentLeave
                                                : &f.lineShort;
    *target = text;

    Image image{};
    const QString written = converterror([&] { settings::encode(f, image.data()); });
    QVERIFY(!written.isEmpty());

    const QString path = fresh();
    writebytes(path, "earlier");
    QCOMPARE(converterror([&] { settings::savefile(path, f, someunit()); }), written);
    QCOMPARE(readbytes(path), QByteArray("earlier"));
    const QString other = fresh();
    QCOMPARE(converterror([&] { settings::savefile(other, f); }), written);
    QVERIFY(!QFileInfo::exists(other));
    QCOMPARE(converterror([&] { settings::keyvalues(f); }), written);

    // Edit13 is converted after Edit20, as "Запись" converts them.
    f = factory();
    f.lineShort = QStringLiteral("x");
    f.currentLeave = QStringLiteral("y");
    QCOMPARE(converterror([&] { settings::filetext(f); }), settings::notvalidtext("x"));
}

void SettingsFileTest::unitSection()
{
    const QByteArray without = settings::filetext(factory());
    QVERIFY(!without.contains("[unit]"));

    const QByteArray with = settings::filetext(factory(), someunit());
    QVERIFY(with.startsWith(without));
    const QList<QByteArray> lines = with.mid(with.indexOf("[unit]")).split('\n');
    const QList<QByteArray> keys = {"firmware=5.14", "type=Модуль входов", "startups=300",
                                    "port=COM3", "read_at=2024-05-01T09:05:07+03:00"};
    int at = 0;
    for (const QByteArray& l : lines)
        if (!l.startsWith(';') && l.contains('='))
            QCOMPARE(l, keys.value(at++));
    QCOMPARE(at, keys.size());

    // A local time carries the offset the machine's zone gives it.
    settings::UnitInfo local = *someunit();
    local.readAt = QDateTime(QDate(2024, 1, 15), QTime(12, 0));
    const QString path = fresh();
    settings::savefile(path, factory(), local);
    const QString at2 = QSettings(path, QSettings::IniFormat).value("unit/read_at").toString();
    QVERIFY2(QRegularExpression("^2024-01-15T12:00:00([+-]\\d\\d:\\d\\d|Z)$").match(at2).hasMatch(),
             qPrintable(at2));
    QCOMPARE(QDateTime::fromString(at2, Qt::ISODate), local.readAt);
}

void SettingsFileTest::unitTextsSurvive_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("cyrillic") << QStringLiteral("ВИРЕЛАН2");
    QTest::newRow("comma") << QStringLiteral("a,b");
    QTest::newRow("semicolon") << QStringLiteral("a; b");
    QTest::newRow("equals") << QStringLiteral("a=b");
    QTest::newRow("edge spaces") << QStringLiteral("  COM3 ");
    QTest::newRow("quotes and backslash") << QStringLiteral("\"\\\\.\\COM3\"");
    QTest::newRow("at") << QStringLiteral("@Variant(x)");
    QTest::newRow("hash") << QStringLiteral("#1");
    QTest::newRow("controls") << QStringLiteral("a\tb\nc\rd\x01" "F\x1f" "0");
    QTest::newRow("no-break spaces and beyond") << QStringLiteral("\u00A0Ё😀\u00A0");
    QTest::newRow("empty") << QString();
}

// Whatever the unit or the caller named, QSettings reads back the same text.
void SettingsFileTest::unitTextsSurvive()
{
    QFETCH(QString, text);
    settings::UnitInfo u = *someunit();
    u.type = text;
    u.port = text;
    const QString path = fresh();
    settings::savefile(path, factory(), u);
    const QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.status(), QSettings::NoError);
    QCOMPARE(ini.value("unit/type").toString(), text);
    QCOMPARE(ini.value("unit/port").toString(), text);
    QCOMPARE(ini.value("unit/firmware").toString(), QStringLiteral("5.14"));
    // And the file is still taken whole.
    settings::Fields loaded;
    QCOMPARE(loaderror(path, settings::Fields(), &loaded), QString());
    QCOMPARE(settings::keyvalues(loaded), settings::keyvalues(factory()));
}

void SettingsFileTest::unwritableFolder()
{
    const QString path = dir.filePath(QStringLiteral("no-such-folder/x.ini"));
    try {
        settings::savefile(path, factory());
        QFAIL("written into a folder that does not exist");
    } catch (const settings::FileError& e) {
        QCOMPARE(e.message(), filemessage(path) + " не удалось записать: папка \""
                                  + QDir::toNativeSeparators(dir.filePath("no-such-folder"))
                                  + "\" не найдена.");
    }
}

void SettingsFileTest::setKey_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("message"); // null: taken
    QTest::addColumn<int>("value");       // the key's value after it

    QTest::newRow("decimal") << "address=42" << QString() << 42;
    QTest::newRow("hex") << "address=$2A" << QString() << 42;
    QTest::newRow("leading spaces") << "address=  42" << QString() << 42;
    QTest::newRow("flag") << "relay_siren=0" << QString() << 0;
    QTest::newRow("bar") << "volume=16" << QString() << 16;
    QTest::newRow("no =") << "address" << "Ожидается КЛЮЧ=ЗНАЧЕНИЕ, дано \"address\"." << 0;
    QTest::newRow("unknown key") << "adress=5" << "Неизвестный ключ \"adress\" (значение \"5\")." << 0;
    QTest::newRow("spaces around =")
        << "address = 5" << "Неизвестный ключ \"address \" (значение \" 5\")." << 0;
    QTest::newRow("trailing space")
        << "address=5 " << "Ключ \"address\": значение \"5 \" не является целым числом." << 0;
    QTest::newRow("out of range")
        << "volume=17" << "Ключ \"volume\": значение \"17\" вне диапазона от 2 до 16." << 0;
    QTest::newRow("flag 2")
        << "relay_ppk1=2" << "Ключ \"relay_ppk1\": значение \"2\" недопустимо, флаг принимает 0 или 1."
        << 0;
}

void SettingsFileTest::setKey()
{
    QFETCH(QString, assignment);
    QFETCH(QString, message);
    QFETCH(int, value);
    QCOMPARE(seterror(factory(), assignment), message);
    if (message.isNull()) {
        const QString key = assignment.section('=', 0, 0);
        const settings::Fields f = settings::setkey(factory(), assignment);
        QCOMPARE(settings::keyvalues(f), with(settings::keyvalues(factory()), key, value));
    }
}

// A read brings the bar bytes as they came; the file holds them where the bars would stand,
// so that it can be read again.
void SettingsFileTest::barsAsTheWindowHoldsThem()
{
    settings::Fields f = factory();
    f.flashSpeed = 0;
    f.frequency = 255;
    f.volume = 200;
    const KeyValues kv = settings::keyvalues(f);
    QCOMPARE(kv, with(with(with(settings::keyvalues(factory()), "display_flash_speed", 5),
                           "monitor_frequency", 100),
                      "volume", 16));
    const QString path = fresh();
    settings::savefile(path, f);
    settings::Fields loaded;
    QCOMPARE(loaderror(path, settings::Fields(), &loaded), QString());
    QCOMPARE(settings::keyvalues(loaded), kv);
}

// One poll recorded after the unit's record, for the papers; a file with it loads as before.
void SettingsFileTest::readingsSection()
{
    settings::Readings r;
    r.values = {512, 0, 65535, 800, 1, 2400};
    r.polledAt = QDateTime(QDate(2024, 5, 1), QTime(9, 5, 7, 42), QTimeZone(3 * 3600));
    const QByteArray text = settings::filetext(distinct(), someunit(), r);
    const qsizetype unit = text.indexOf("\n[unit]\n");
    const qsizetype readings = text.indexOf("\n[readings]\n");
    QVERIFY(unit > 0 && readings > unit);
    QVERIFY(text.endsWith("[readings]\nppk1=512\nppk2=0\ngochs=65535\nadc=800\nlight=1\npower=2400\n"
                          "polled_at=2024-05-01T09:05:07.042+03:00\n"));
    QCOMPARE(settings::filetext(distinct(), someunit()), text.left(text.lastIndexOf("\n; ", readings)));

    const QString path = fresh();
    settings::savefile(path, distinct(), someunit(), r);
    QCOMPARE(readbytes(path), text);
    settings::Fields loaded;
    QCOMPARE(loaderror(path, factory(), &loaded), QString());
    QCOMPARE(settings::keyvalues(loaded), settings::keyvalues(distinct()));
}

void SettingsFileTest::keptSection_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("kept");

    const QByteArray sounds = "; Звуки, записанные в блок\n[sounds]\nppk1_file=вход 1.wav\n"
                              "ppk1_sha256=00ff\n\n";
    QTest::newRow("none") << QByteArray("[settings]\naddress=1\n[unit]\nport=COM1\n") << QByteArray();
    QTest::newRow("empty file") << QByteArray() << QByteArray();
    QTest::newRow("last, with its comment")
        << QByteArray("[settings]\naddress=1\n\n") + sounds << sounds;
    QTest::newRow("last, no final line end")
        << QByteArray("[settings]\naddress=1\n[sounds]\nsiren_file=s.wav") << QByteArray("[sounds]\nsiren_file=s.wav");
    QTest::newRow("in the middle: the next comment is the next section's")
        << QByteArray("[settings]\naddress=1\n") + sounds + "; Что блок сообщил\n[unit]\nport=COM1\n"
        << sounds;
    QTest::newRow("windows line ends")
        << QByteArray("[settings]\r\naddress=1\r\n[sounds]\r\nppk2_size=10\r\n[unit]\r\nport=COM1\r\n")
        << QByteArray("[sounds]\r\nppk2_size=10\r\n");
    QTest::newRow("two of them")
        << QByteArray("[sounds]\nppk1_size=1\n[settings]\nzone=1\n[sounds]\nppk2_size=2\n")
        << QByteArray("[sounds]\nppk1_size=1\n[sounds]\nppk2_size=2\n");
    QTest::newRow("a value that only looks like a header")
        << QByteArray("[sounds]\nppk1_file=a\\\n[unit]\nppk1_size=3\n[unit]\nport=COM1\n")
        << QByteArray("[sounds]\nppk1_file=a\\\n[unit]\nppk1_size=3\n");
    QTest::newRow("other spellings are other sections")
        << QByteArray("[Sounds]\na=1\n[sounds2]\nb=2\n") << QByteArray();
}

void SettingsFileTest::keptSection()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, kept);
    QCOMPARE(settings::keptsection(file, "sounds"), kept);
}

void SettingsFileTest::saveKeepsTheSounds_data()
{
    QTest::addColumn<QByteArray>("earlier");
    QTest::addColumn<QByteArray>("sounds"); // what of it must come through

    // Written by hand, with what an editor leaves: odd spacing, a CRLF, a comma, a BOM-less
    // Cyrillic name, no line end at the very end.
    const QByteArray hand = "; Звуки, записанные в блок\n[sounds]\nppk1_file = Эвакуация, этаж 2.wav\r\n"
                            "ppk1_size=88244\nppk1_sha256=9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08\n"
                            "ppk1_uploaded_at=2024-05-01T09:05:07.042+03:00\n\n; заметка\nsiren_file=s.wav";
    QTest::newRow("at the end") << QByteArray("[settings]\naddress=99\n\n") + hand << hand;
    QTest::newRow("before the unit record")
        << QByteArray("[settings]\naddress=99\n") + hand + "\n; старый\n[unit]\nport=COM9\n" << hand + "\n";
    QTest::newRow("no sounds") << QByteArray("[settings]\naddress=99\n") << QByteArray();
}

// A settings file written over an earlier one carries the earlier [sounds] byte for byte: the
// unit cannot say what it holds, so that record exists nowhere else.
void SettingsFileTest::saveKeepsTheSounds()
{
    QFETCH(QByteArray, earlier);
    QFETCH(QByteArray, sounds);
    const QString path = fresh();
    writebytes(path, earlier);
    settings::savefile(path, distinct(), someunit());
    const QByteArray fresh = settings::filetext(distinct(), someunit());
    const QByteArray now = readbytes(path);
    QCOMPARE(now, sounds.isEmpty() ? fresh : fresh + '\n' + sounds);
    // Saved again, it stays the same; and it loads as a settings file.
    settings::savefile(path, distinct(), someunit());
    QCOMPARE(readbytes(path), now);
    settings::Fields loaded;
    QCOMPARE(loaderror(path, factory(), &loaded), QString());
    QCOMPARE(settings::keyvalues(loaded), settings::keyvalues(distinct()));
    // The old [unit] record is replaced, not kept.
    QCOMPARE(now.count("[unit]"), 1);
}

void SettingsFileTest::fileKeys()
{
    const QString path = fresh();
    writebytes(path, "[settings]\nvolume=16\naddress=$1F\nrelay_siren=0\n[unit]\nport=COM1\n");
    QCOMPARE(settings::filekeys(path), (KeyValues{{"address", 31}, {"relay_siren", 0}, {"volume", 16}}));

    // Nothing to compare: refused, as is a bad file.
    const QByteArray none[] = {"", "; only a comment\n", "[settings]\n[unit]\nport=COM1\n"};
    for (const QByteArray& text : none) {
        writebytes(path, text);
        try {
            settings::filekeys(path);
            QFAIL(text.constData());
        } catch (const settings::FileError& e) {
            QCOMPARE(e.message(), filemessage(path) + ": в разделе [settings] нет ни одного ключа.");
        }
    }
    writebytes(path, "[settings]\nvolume=17\n");
    QVERIFY_THROWS_EXCEPTION(settings::FileError, settings::filekeys(path));
}

void SettingsFileTest::differences()
{
    const KeyValues a{{"address", 31}, {"zone", 2}, {"relay_ppk1", 1}};
    const KeyValues b{{"address", 31}, {"zone", 3}, {"volume", 12}};
    const QList<settings::Difference> d = settings::differences(a, b);
    QCOMPARE(d.size(), 3);
    QCOMPARE(d[0].key, QStringLiteral("zone"));
    QCOMPARE(d[0].left, std::optional<int>(2));
    QCOMPARE(d[0].right, std::optional<int>(3));
    QCOMPARE(d[1].key, QStringLiteral("relay_ppk1"));
    QCOMPARE(d[1].left, std::optional<int>(1));
    QVERIFY(!d[1].right);
    QCOMPARE(d[2].key, QStringLiteral("volume"));
    QVERIFY(!d[2].left);
    QCOMPARE(d[2].right, std::optional<int>(12));
    QVERIFY(settings::differences(a, a).isEmpty());
    QCOMPARE(settings::keyplace("relay_ppk1"), QStringLiteral("Реле \"РАБОТА\" / ППК1"));
}

QTEST_MAIN(SettingsFileTest)
#include "test_settingsfile.moc"
