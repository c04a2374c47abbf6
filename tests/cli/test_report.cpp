// virelan2-cli report, run as the shell runs it: settings files of three units (two read from
// simulated units by the command line itself, one written by hand) made into a PDF, whose text
// is then taken out again with pdftotext as a reader's viewer would show it.
#include "settings/image.h"
#include "settings/settingsfile.h"
#include "tests/settings/factorybytes.h"
#include "tests/support/child.h"
#include "tests/support/fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

namespace {

using fixture::Run;

Run program(const QString& path, const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    fixture::ChildOptions o;
    o.env = env;
    return fixture::runchild(path, args, o);
}

Run cli(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    return program(QStringLiteral(CLI_PATH), args, env);
}

// The PDF's text page by page, as pdftotext gives it (-layout keeps a table's row on one line).
QStringList pages(const QString& pdf, bool layout)
{
    QStringList args;
    if (layout)
        args << QStringLiteral("-layout");
    args << pdf << QStringLiteral("-");
    const Run r = program(QStringLiteral("pdftotext"), args);
    if (r.code != 0)
        qWarning("pdftotext: %s", r.err.constData());
    QStringList out = QString::fromUtf8(r.out).split(QLatin1Char('\f'));
    if (!out.isEmpty() && out.last().trimmed().isEmpty())
        out.removeLast();
    return out;
}

// Every word of the PDF with its box, from pdftotext -bbox, and each page's size.
struct Word {
    int page;
    QRectF box;
    QString text;
};
struct Layout {
    QList<QSizeF> pages;
    QList<Word> words;
};

Layout boxes(const QString& pdf)
{
    const Run r = program(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    Layout l;
    QXmlStreamReader xml(r.out);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            l.pages.append(QSizeF(a.value(QLatin1String("width")).toDouble(),
                                  a.value(QLatin1String("height")).toDouble()));
        } else if (xml.name() == QLatin1String("word")) {
            const double x0 = a.value(QLatin1String("xMin")).toDouble();
            const double y0 = a.value(QLatin1String("yMin")).toDouble();
            const double x1 = a.value(QLatin1String("xMax")).toDouble();
            const double y1 = a.value(QLatin1String("yMax")).toDouble();
            l.words.append({int(l.pages.size()) - 1, QRectF(QPointF(x0, y0), QPointF(x1, y1)),
                            xml.readElementText()});
        }
    }
    if (xml.hasError())
        qWarning("pdftotext -bbox: %s", qPrintable(xml.errorString()));
    return l;
}

// The text without its line breaks and spaces, to find a value that wrapped in its cell.
QString squeezed(QString s)
{
    s.remove(QRegularExpression(QStringLiteral("\\s")));
    return s;
}

// The same for a path: pdftotext joins a line that ends in a hyphen to the next without it.
QString unhyphened(const QString& s)
{
    return squeezed(s).remove(QLatin1Char('-'));
}

// A long sound file name and its SHA-256: neither has a place to break, both must come out whole.
const QString LongName = QStringLiteral(
    "Сообщение_о_пожаре_эвакуация_через_главный_выход_корпус_Б_этаж_3_версия_окончательная.wav");
const QString Sha1 = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
const QString Sha2 = QStringLiteral("2c26b46b68ffc68ff99b453c1d30413413422d706483bfa0f98a5e886266e7ae");
const QString Sha3 = QStringLiteral("fcde2b2edba56bf408601fb721fe9b5c338d10ee429ea04fae5511b68fbf8fb9");

QByteArray soundsection()
{
    return QStringLiteral("\n[sounds]\n"
                          "ppk1_file=%1\nppk1_size=1234567\nppk1_sha256=%2\nppk1_format=PCM\n"
                          "ppk1_rate=8000\nppk1_bits=8\nppk1_channels=1\nppk1_duration_ms=154320\n"
                          "ppk1_blocks=2412\nppk1_uploaded_at=2026-12-10T16:05:00+03:00\n"
                          "ppk2_file=alarm2.wav\nppk2_size=64044\nppk2_sha256=%3\nppk2_format=PCM\n"
                          "ppk2_rate=8000\nppk2_bits=8\nppk2_channels=1\nppk2_duration_ms=8000\n"
                          "ppk2_blocks=126\nppk2_uploaded_at=2026-12-10T16:05:30+03:00\n"
                          "siren_file=сирена.wav\nsiren_size=32044\nsiren_sha256=%4\nsiren_format=PCM\n"
                          "siren_rate=8000\nsiren_bits=8\nsiren_channels=1\nsiren_duration_ms=4000\n"
                          "siren_blocks=63\nsiren_uploaded_at=2026-12-10T16:06:00+03:00\n")
        .arg(LongName, Sha1, Sha2, Sha3)
        .toUtf8();
}

QByteArray readingsection(int base)
{
    return QStringLiteral("\n[readings]\nppk1=%1\nppk2=%2\ngochs=%3\nadc=%4\nlight=%5\npower=%6\n"
                          "polled_at=2026-12-10T16:00:01.250+03:00\n")
        .arg(base + 1)
        .arg(base + 2)
        .arg(base + 3)
        .arg(base + 4)
        .arg(base + 5)
        .arg(base + 6)
        .toUtf8();
}

// The [settings] of a file, its other sections left aside.
settings::Fields settingsof(const QString& path)
{
    QByteArray bytes = fixture::readFile(path);
    bytes.truncate(bytes.indexOf("\n["));
    const QString copy = path + QStringLiteral(".settings");
    fixture::writeFile(copy, bytes);
    const settings::Fields f = settings::loadfile(copy, settings::Fields{});
    QFile::remove(copy);
    return f;
}

void append(const QString& path, const QByteArray& bytes)
{
    fixture::writeFile(path, fixture::readFile(path) + bytes);
}

using Image = std::array<std::uint8_t, 512>;

Image factoryimage(Image a)
{
    for (const auto& [i, v] : FactoryBytes)
        a[i] = v;
    a[settings::SumIndex] = settings::imagesum(a.data());
    return a;
}

// Far from the factory values in some fields, equal in the others.
Image changedimage(Image a)
{
    a = factoryimage(a);
    const std::pair<int, int> values[] = {{6, 17}, {7, 3}, {8, 1}, {23, 0}, {38, 17}, {40, 0x09}, {41, 0x60}, {43, 5}};
    for (const auto& [i, v] : values)
        a[std::size_t(i)] = std::uint8_t(v);
    a[settings::SumIndex] = settings::imagesum(a.data());
    return a;
}

// A settings file written by hand, with every key, as an engineer might keep it.
QByteArray handwritten()
{
    settings::Fields f = settings::factoryfields();
    f.address = QStringLiteral("42");
    f.zone = QStringLiteral("7");
    f.monitor[2] = false;
    f.frequency = 0;
    return settings::filetext(f)
        + "\n[unit]\nfirmware=4.0\ntype=ВИРЕЛАН2\nstartups=12\nport=COM12\n"
          "read_at=2026-12-09T11:30:00+03:00\n"
        + readingsection(100);
}

QString flagtext(int v)
{
    return v ? QStringLiteral("да") : QStringLiteral("нет");
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void threeUnits();
    void refusedFile_data();
    void refusedFile();
    void wrongUse_data();
    void wrongUse();
    void runsWithoutADisplay();
    void longTableRepeatsItsHeader();
    void help();
    void withoutItsModule();

private:
    std::unique_ptr<fixture::Scratch> scratch;
    QString file(const QString& name) const { return scratch->file(name); }
    // Three units' files: two read by the command line from simulated units, one by hand.
    QStringList threefiles();
};

void TestReport::init()
{
    scratch = std::make_unique<fixture::Scratch>();
}

void TestReport::cleanup()
{
    scratch.reset();
}

QStringList TestReport::threefiles()
{
    auto a = fixture::unitOn(3);
    a->setImage(changedimage(a->image()));
    auto b = fixture::unitOn(4);
    b->setImage(factoryimage(b->image()));
    const QString fa = file(QStringLiteral("unit-17.ini"));
    const QString fb = file(QStringLiteral("unit-1.ini"));
    QDir(scratch->path()).mkpath(QStringLiteral("корпус Б"));
    const QString fc = file(QStringLiteral("корпус Б/блок 42.ini"));
    // Readings of their own only where the test puts them: the second unit is to have none.
    const Run ra = cli({"read", "COM3", fa, "--no-readings"});
    const Run rb = cli({"read", "COM4", fb, "--no-readings"});
    if (ra.code != 0 || rb.code != 0)
        qWarning("read: %s %s", ra.err.constData(), rb.err.constData());
    append(fa, readingsection(500) + soundsection());
    fixture::writeFile(fc, handwritten());
    return {fa, fb, fc};
}

void TestReport::threeUnits()
{
    const QStringList files = threefiles();
    const QString pdf = file(QStringLiteral("acceptance.pdf"));
    const QString title = QStringLiteral("Приёмка: корпус Б, этаж 3");
    const Run r = cli(QStringList{"report"} + files + QStringList{"-o", pdf, "--title", title});
    QVERIFY2(r.code == 0, qPrintable(r.errtext()));
    QCOMPARE(r.out, QByteArray());
    QVERIFY(fixture::readFile(pdf).startsWith("%PDF-"));

    const QStringList text = pages(pdf, false);
    const QStringList table = pages(pdf, true);
    QCOMPARE(text.size(), table.size());
    // A title page, then two pages a unit: settings, then readings and sounds.
    QCOMPARE(text.size(), 7);

    // The first page: title, date, one row a unit with its port, address, zone and firmware.
    QVERIFY(text[0].contains(title));
    QVERIFY(text[0].contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
    // The file column read top to bottom (pdftotext's reading order may put another column's
    // word between the lines of a wrapped cell): every path whole.
    const Layout l = boxes(pdf);
    double portleft = 0;
    for (const Word& w : l.words)
        if (w.page == 0 && w.text == QStringLiteral("Порт"))
            portleft = w.box.left();
    QVERIFY(portleft > 0);
    QList<Word> column;
    for (const Word& w : l.words)
        if (w.page == 0 && w.box.right() < portleft)
            column.append(w);
    std::stable_sort(column.begin(), column.end(), [](const Word& a, const Word& b) {
        return a.box.top() < b.box.top() - 1 || (qAbs(a.box.top() - b.box.top()) <= 1 && a.box.left() < b.box.left());
    });
    QString first;
    for (const Word& w : column)
        first += w.text;
    for (const QString& f : files)
        QVERIFY2(unhyphened(first).contains(unhyphened(QDir::toNativeSeparators(f))), qPrintable(f + QLatin1Char(' ') + first));
    const QString rows = table[0];
    QVERIFY2(QRegularExpression(QStringLiteral("COM3\\s+17\\s+3\\s+5\\.14\\s+\\d+")).match(rows).hasMatch(), qPrintable(rows));
    QVERIFY2(QRegularExpression(QStringLiteral("COM4\\s+1\\s+1\\s+5\\.14\\s+\\d+")).match(rows).hasMatch(), qPrintable(rows));
    QVERIFY2(QRegularExpression(QStringLiteral("COM12\\s+42\\s+7\\s+4\\.0\\s+12")).match(rows).hasMatch(), qPrintable(rows));

    // Each unit: its record, every setting with caption, key and value, the factory value
    // beside each one that differs.
    const QList<settings::KeyCaption> keys = settings::keycaptions();
    const auto factory = settings::keyvalues(settings::factoryfields());
    struct Expect {
        QString heading, port;
        int changed;
    };
    const Expect units[] = {{QStringLiteral("Блок: адрес 17, зона 3"), QStringLiteral("COM3"), 7},
                            {QStringLiteral("Блок: адрес 1, зона 1"), QStringLiteral("COM4"), 0},
                            {QStringLiteral("Блок: адрес 42, зона 7"), QStringLiteral("COM12"), 4}};
    for (int u = 0; u < 3; ++u) {
        const QString page = text[1 + 2 * u];
        const QString rowsof = table[1 + 2 * u];
        QVERIFY2(page.startsWith(units[u].heading), qPrintable(page.left(80)));
        QVERIFY(unhyphened(page).contains(unhyphened(QStringLiteral("Файл: ") + QDir::toNativeSeparators(files[u]))));
        const settings::Fields f = settingsof(files[u]);
        const auto values = settings::keyvalues(f);
        for (const char* caption : {"Версия ПО Блока", "Тип устройства", "Количество запусков", "COM-порт", "Время чтения"})
            QVERIFY2(page.contains(QString::fromUtf8(caption)), caption);
        QVERIFY(QRegularExpression(QStringLiteral("COM-порт\\s+") + units[u].port + QStringLiteral("\\n")).match(rowsof).hasMatch());
        QVERIFY(page.contains(QStringLiteral("ВИРЕЛАН2")));
        int marked = 0;
        for (int i = 0; i < keys.size(); ++i) {
            const bool differs = values[i].second != factory[i].second;
            const QString v = keys[i].flag ? flagtext(values[i].second) : QString::number(values[i].second);
            const QString was = keys[i].flag ? flagtext(factory[i].second) : QString::number(factory[i].second);
            const QRegularExpression row(QStringLiteral("\\n\\s*") + QRegularExpression::escape(keys[i].caption)
                                         + QStringLiteral("\\s+") + keys[i].key + QStringLiteral("\\s+")
                                         + QRegularExpression::escape(v)
                                         + (differs ? QStringLiteral("\\s+") + QRegularExpression::escape(was) : QString())
                                         + QStringLiteral("\\n"));
            QVERIFY2(row.match(rowsof).hasMatch(), qPrintable(units[u].heading + QLatin1Char(' ') + keys[i].key));
            QVERIFY2(page.contains(keys[i].frame), qPrintable(keys[i].frame));
            marked += differs;
        }
        QCOMPARE(marked, units[u].changed);
        QVERIFY(page.contains(marked ? QStringLiteral("Отличаются от заводских: %1 из 25").arg(marked)
                                     : QStringLiteral("Все значения совпадают с заводскими")));
    }

    // Readings and sounds: the first unit has both, the second neither, the third readings.
    const QString rest1 = table[2];
    for (const auto& [caption, v] : {std::pair{"ППК1", 501}, {"ППК2", 502}, {"ГОиЧС", 503}, {"ADC", 504}, {"LIGHT", 505}, {"Power", 506}})
        QVERIFY2(QRegularExpression(QStringLiteral("\\n\\s*%1\\s+%2\\n").arg(QString::fromUtf8(caption)).arg(v)).match(rest1).hasMatch(), caption);
    QVERIFY(rest1.contains(QStringLiteral("10.12.2026 16:00:01")));
    const QString sounds = squeezed(text[2]);
    for (const QString& whole : {LongName, Sha1, Sha2, Sha3, QStringLiteral("сирена.wav"), QStringLiteral("154,320с")})
        QVERIFY2(sounds.contains(whole), qPrintable(whole));
    for (const char* caption : {"Сообщение ППК1", "Сообщение ППК2", "Сирена", "Частота дискретизации, Гц", "Время записи"})
        QVERIFY2(text[2].contains(QString::fromUtf8(caption)), caption);
    QVERIFY(text[4].contains(QStringLiteral("Показания не записаны")));
    QVERIFY(text[4].contains(QStringLiteral("Сведений о записанном звуке нет")));
    QVERIFY(QRegularExpression(QStringLiteral("\\n\\s*Power\\s+106\\n")).match(table[6]).hasMatch());
    QVERIFY(text[6].contains(QStringLiteral("Сведений о записанном звуке нет")));

    // Every page is A4, every word lies inside its margins and above the footer's rule (the
    // footer itself at the bottom): nothing runs off the paper or under the footer.
    QCOMPARE(l.pages.size(), 7);
    for (const QSizeF& s : l.pages) {
        QVERIFY(qAbs(s.width() - 595.3) < 1.0);
        QVERIFY(qAbs(s.height() - 841.9) < 1.0);
    }
    const double margin = 10 / 25.4 * 72; // 10 mm
    for (const Word& w : l.words) {
        const QRectF inside(margin, margin, l.pages[w.page].width() - 2 * margin,
                            l.pages[w.page].height() - 2 * margin);
        QVERIFY2(inside.contains(w.box), qPrintable(QStringLiteral("page %1: %2").arg(w.page + 1).arg(w.text)));
    }
    // The text is text in DejaVu Sans, carried in the file: it reads the same on any machine.
    const Run fonts = program(QStringLiteral("pdffonts"), {pdf});
    QVERIFY2(fonts.out.contains("DejaVuSans"), fonts.out.constData());
    for (const QByteArray& line : fonts.out.split('\n').mid(2))
        if (!line.trimmed().isEmpty())
            QVERIFY2(line.contains("DejaVuSans") && line.contains(" yes "), line.constData());
}

void TestReport::refusedFile_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("says");

    const QByteArray full = handwritten();
    const QByteArray settingsonly = settings::filetext(settings::factoryfields());
    QByteArray partial = full;
    partial.replace("\nvolume=12\n", "\n");
    QByteArray outofrange = full;
    outofrange.replace("\nvolume=12\n", "\nvolume=40\n");
    QTest::newRow("no [unit]") << settingsonly << QStringLiteral("base.ini") << QStringLiteral("[unit]");
    QTest::newRow("partial [settings]") << partial << QStringLiteral("part.ini") << QStringLiteral("volume");
    QTest::newRow("no [settings]") << QByteArray("[unit]\nfirmware=5.14\n") << QStringLiteral("record.ini")
                                   << QStringLiteral("[settings]");
    QByteArray twice = full;
    twice.replace("\nvolume=12\n", "\nvolume=12\nvolume=3\n");
    QTest::newRow("a key twice") << twice << QStringLiteral("twice.ini") << QStringLiteral("\"volume\" задан дважды");
    QTest::newRow("value out of range") << outofrange << QStringLiteral("loud.ini") << QStringLiteral("40");
    QTest::newRow("nonexistent") << QByteArray() << QStringLiteral("нет такого.ini") << QStringLiteral("не найден");
    QTest::newRow("a folder") << QByteArray("dir") << QStringLiteral("папка.ini") << QStringLiteral("папка");
}

void TestReport::refusedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(QString, says);
    const QString good = file(QStringLiteral("good.ini"));
    fixture::writeFile(good, handwritten());
    const QString bad = file(name);
    if (content == "dir")
        QVERIFY(QDir(scratch->path()).mkdir(name));
    else if (!content.isEmpty())
        fixture::writeFile(bad, content);
    const QString pdf = file(QStringLiteral("report.pdf"));
    const QByteArray earlier = "an earlier report";
    fixture::writeFile(pdf, earlier);

    // The bad one among good ones: named with the reason, and no report at all.
    const Run r = cli({"report", good, bad, good, "-o", pdf});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.errtext().contains(QDir::toNativeSeparators(bad)) && r.errtext().contains(says), qPrintable(r.errtext()));
    QVERIFY2(!r.errtext().contains(QStringLiteral("good.ini")), qPrintable(r.errtext()));
    QCOMPARE(fixture::readFile(pdf), earlier);
    QCOMPARE(QDir(scratch->path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files), QStringList{QStringLiteral("report.pdf")});
}

void TestReport::wrongUse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    QTest::newRow("no output") << QStringList{"report", "good.ini"} << QStringLiteral("-o");
    QTest::newRow("no files") << QStringList{"report", "-o", "r.pdf"} << QStringLiteral("ФАЙЛ");
    QTest::newRow("output in a missing folder") << QStringList{"report", "good.ini", "-o", "нет/r.pdf"}
                                                << QStringLiteral("r.pdf");
    QTest::newRow("output over a settings file") << QStringList{"report", "good.ini", "-o", "./good.ini"}
                                                 << QStringLiteral("good.ini");
}

void TestReport::wrongUse()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    fixture::writeFile(file(QStringLiteral("good.ini")), handwritten());
    const Run r = cli(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.errtext().contains(says), qPrintable(r.errtext()));
    QCOMPARE(fixture::readFile(file(QStringLiteral("good.ini"))), handwritten());
    QCOMPARE(QDir(scratch->path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files), QStringList());
}

void TestReport::runsWithoutADisplay()
{
    // Started from a terminal with no display and no platform chosen, as on a server.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    fixture::writeFile(file(QStringLiteral("good.ini")), handwritten());
    const Run r = cli({"report", "good.ini", "-o", "r.pdf"}, env);
    QVERIFY2(r.code == 0, qPrintable(r.errtext()));
    QVERIFY(pages(file(QStringLiteral("r.pdf")), false).first().contains(QStringLiteral("Отчёт о настройке блоков ВИРЕЛАН2")));
}

void TestReport::longTableRepeatsItsHeader()
{
    // Sounds with more notes than a page holds: the table goes on over the next page, under its
    // header again, and every row comes out once.
    QByteArray extra;
    for (int i = 1; i <= 40; ++i)
        extra += QStringLiteral("siren_note_%1=примечание номер %1\n").arg(i, 2, 10, QLatin1Char('0')).toUtf8();
    fixture::writeFile(file(QStringLiteral("long.ini")), handwritten() + soundsection() + extra);
    const Run r = cli({"report", "long.ini", "-o", "long.pdf"});
    QVERIFY2(r.code == 0, qPrintable(r.errtext()));
    const QStringList text = pages(file(QStringLiteral("long.pdf")), true);
    QCOMPARE(text.size(), 4); // title, settings, readings and sounds over two pages
    QVERIFY(text[2].contains(QStringLiteral("Показания линии")));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\s*Параметр\\s+Значение\\n")).match(text[3]).hasMatch(),
             qPrintable(text[3].left(200)));
    const QString all = text.join(QLatin1Char('\n'));
    for (int i = 1; i <= 40; ++i) {
        const QString row = QStringLiteral("note_%1\\s+примечание номер %1\\n").arg(i, 2, 10, QLatin1Char('0'));
        QCOMPARE(int(all.count(QRegularExpression(row))), 1);
    }
    const Layout l = boxes(file(QStringLiteral("long.pdf")));
    const double margin = 10 / 25.4 * 72;
    for (const Word& w : l.words)
        QVERIFY2(w.box.top() > margin && w.box.bottom() < l.pages[w.page].height() - margin, qPrintable(w.text));
}

void TestReport::help()
{
    const Run r = cli({"report", "--help"});
    QCOMPARE(r.code, 0);
    const QString h = QString::fromUtf8(r.out);
    QVERIFY2(h.contains(QStringLiteral("--title <ТЕКСТ>")) && h.contains(QStringLiteral("-o, --output <ОТЧЁТ.pdf>")), qPrintable(h));
    QVERIFY(QString::fromUtf8(cli({"--help"}).out).contains(QStringLiteral("report ФАЙЛ... -o ОТЧЁТ.pdf")));
}

void TestReport::withoutItsModule()
{
    // The program copied away from its report module: the other commands work as ever, the
    // report says what is missing and writes nothing.
    QDir(scratch->path()).mkdir(QStringLiteral("bin"));
    const QString alone = file(QStringLiteral("bin/virelan2-cli"));
    QVERIFY(QFile::copy(QStringLiteral(CLI_PATH), alone));
    fixture::writeFile(file(QStringLiteral("good.ini")), handwritten());
    const Run version = program(alone, {"--version"});
    QCOMPARE(version.code, 0);
    const Run r = program(alone, {"report", "good.ini", "-o", "r.pdf"});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.errtext().contains(QStringLiteral("virelan2-report")), qPrintable(r.errtext()));
    QVERIFY(!QFile::exists(file(QStringLiteral("r.pdf"))));
}

QTEST_MAIN(TestReport)
#include "test_report.moc"
