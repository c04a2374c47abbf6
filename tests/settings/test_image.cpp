// The settings image on its own: layout, checksum, identity texts, and the conversion between
// the 512 bytes and the values the controls show.
#include "settings/image.h"
#include "tests/settings/factorybytes.h"
#include "settings/strtoint.h"

#include <QtTest>

#include <array>

using Image = std::array<std::uint8_t, settings::ImageSize>;

namespace {

// Every byte different, so a field read from or written to the wrong index shows.
Image patterned()
{
    Image im;
    for (int i = 0; i < settings::ImageSize; ++i)
        im[i] = std::uint8_t(i * 7 + 3);
    return im;
}

settings::Fields factory()
{
    settings::Fields f;
    f.address = "1";
    f.zone = "1";
    f.boardDrift = "30";
    f.lineDrift = "20";
    f.signalLeave = "1000";
    f.levelShort = "3500";
    f.levelBreak = "700";
    f.levelTrigger = "2900";
    f.currentLeave = "50";
    f.lineShort = "3100";
    for (bool& b : f.relay)
        b = true;
    for (bool& b : f.monitor)
        b = true;
    f.flashSpeed = 10;
    f.frequency = 51;
    f.volume = 12;
    return f;
}

QString encodeerror(const settings::Fields& f, Image& im)
{
    try {
        settings::encode(f, im.data());
    } catch (const settings::ConvertError& e) {
        return e.message();
    }
    return QString();
}

} // namespace

class ImageTest : public QObject {
    Q_OBJECT
private slots:
    void checksum();
    void firmware_data();
    void firmware();
    void deviceType_data();
    void deviceType();
    void decodeFields();
    void flagsOnlyOneIsOn();
    void encodeFactory();
    void encodeKeepsUnwrittenBytes();
    void roundTrip();
    void numberForms_data();
    void numberForms();
    void refusedLeavesImage_data();
    void refusedLeavesImage();
    void firstRefusalInEncodingOrder_data();
    void firstRefusalInEncodingOrder();
};

void ImageTest::checksum()
{
    Image im;
    im.fill(0xFF);
    QCOMPARE(int(settings::imagesum(im.data())), 0xCD); // 51 x 255 mod 256
    im.fill(0);
    im[0] = 87;
    im[51] = 200; // the checksum byte itself is not summed
    im[52] = 200; // nor anything after it
    QCOMPARE(int(settings::imagesum(im.data())), 87);
    im[50] = 170;
    QCOMPARE(int(settings::imagesum(im.data())), (87 + 170) % 256);
}

void ImageTest::firmware_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("newFirmware");
    QTest::newRow("4.9") << 49 << 77 << "4.9" << false;
    QTest::newRow("5.0") << 50 << 0 << "5.0" << true;
    QTest::newRow("5.14") << 52 << 14 << "5.14" << true;
    QTest::newRow("units digit hidden") << 57 << 3 << "5.3" << true;
    QTest::newRow("2.1") << 21 << 9 << "2.1" << false;
    QTest::newRow("0.7") << 7 << 0 << "0.7" << false;
    QTest::newRow("0.0") << 0 << 5 << "0.0" << false;
    QTest::newRow("W after silence") << 87 << 0 << "8.0" << true;
    QTest::newRow("largest") << 255 << 255 << "25.255" << true;
}

void ImageTest::firmware()
{
    QFETCH(int, code);
    QFETCH(int, minor);
    QFETCH(QString, text);
    QFETCH(bool, newFirmware);
    Image im{};
    im[settings::FirmwareIndex] = std::uint8_t(code);
    im[settings::MinorIndex] = std::uint8_t(minor);
    const auto d = settings::decode(im.data());
    QCOMPARE(d.firmware, text);
    QCOMPARE(d.newFirmware, newFirmware);
}

void ImageTest::deviceType_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << QStringLiteral("ВИРЕЛАН2");
    QTest::newRow("2") << 2 << QStringLiteral("ПУЛЬТ");
    QTest::newRow("3") << 3 << QStringLiteral("Модуль входов");
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("4") << 4 << QString();
    QTest::newRow("255") << 255 << QString();
}

void ImageTest::deviceType()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    Image im{};
    im[settings::DeviceTypeIndex] = std::uint8_t(code);
    const auto d = settings::decode(im.data());
    QCOMPARE(d.deviceType, text);
    QCOMPARE(d.deviceType.isNull(), text.isNull());
}

void ImageTest::decodeFields()
{
    Image im{};
    im[4] = 0x01, im[5] = 0x2C; // 300 start-ups
    im[6] = 255;
    im[7] = 7;
    im[10] = 0xFF, im[11] = 0xFF;
    im[12] = 0x00, im[13] = 0x14;
    im[14] = 0x03, im[15] = 0xE8;
    im[16] = 0x0D, im[17] = 0xAC;
    im[18] = 0x02, im[19] = 0xBC;
    im[20] = 0x0B, im[21] = 0x54;
    im[39] = 200;
    im[40] = 0x0C, im[41] = 0x1C;
    im[38] = 0;   // below TrackBar1's range: the bar clamps, the codec does not
    im[42] = 51;
    im[43] = 200; // above TrackBar3's range
    const auto d = settings::decode(im.data());
    QCOMPARE(d.startups, "300");
    const auto& f = d.fields;
    QCOMPARE(f.address, "255");
    QCOMPARE(f.zone, "7");
    QCOMPARE(f.boardDrift, "65535");
    QCOMPARE(f.lineDrift, "20");
    QCOMPARE(f.signalLeave, "1000");
    QCOMPARE(f.levelShort, "3500");
    QCOMPARE(f.levelBreak, "700");
    QCOMPARE(f.levelTrigger, "2900");
    QCOMPARE(f.currentLeave, "200");
    QCOMPARE(f.lineShort, "3100");
    QCOMPARE(f.flashSpeed, 0);
    QCOMPARE(f.frequency, 51);
    QCOMPARE(f.volume, 200);
}

void ImageTest::flagsOnlyOneIsOn()
{
    // Flag indices in the order relay 22-27, monitoring 34-37, display 8, 9.
    const int at[] = {22, 23, 24, 25, 26, 27, 34, 35, 36, 37, 8, 9};
    auto flags = [](const settings::Fields& f) {
        QList<bool> v;
        for (bool b : f.relay)
            v << b;
        for (bool b : f.monitor)
            v << b;
        v << f.boardLit << f.boardFlash;
        return v;
    };
    for (int k = 0; k < 12; ++k) {
        Image im{};
        for (int i = 0; i < 12; ++i)
            im[at[i]] = 2; // neither 0 nor 1: off
        im[at[k]] = 1;
        auto d = settings::decode(im.data());
        QList<bool> want(12, false);
        want[k] = true;
        QCOMPARE(flags(d.fields), want);

        // Written back, on is 1 and the 2s go out as 0.
        settings::encode(d.fields, im.data());
        for (int i = 0; i < 12; ++i)
            QCOMPARE(int(im[at[i]]), i == k ? 1 : 0);
    }
}

void ImageTest::encodeFactory()
{
    Image im{};
    settings::encode(factory(), im.data());
    const auto& want = FactoryBytes;
    for (const auto& w : want)
        QVERIFY2(im[w[0]] == w[1], qPrintable(QStringLiteral("index %1: %2, expected %3")
                                                  .arg(w[0]).arg(im[w[0]]).arg(w[1])));
    QCOMPARE(int(im[settings::SumIndex]), int(settings::imagesum(im.data())));
}

void ImageTest::encodeKeepsUnwrittenBytes()
{
    const Image before = patterned();
    Image im = before;
    settings::encode(factory(), im.data());
    const QList<int> written = {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                22, 23, 24, 25, 26, 27, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
                                settings::SumIndex};
    for (int i = 0; i < settings::ImageSize; ++i)
        if (!written.contains(i))
            QVERIFY2(im[i] == before[i], qPrintable(QStringLiteral("index %1 changed").arg(i)));
    // The checksum covers the identity bytes and the minor number kept from the read.
    QCOMPARE(int(im[settings::SumIndex]), int(settings::imagesum(im.data())));
    QVERIFY(im[settings::SumIndex] != before[settings::SumIndex]);
}

void ImageTest::roundTrip()
{
    // An image whose flags are 0/1, bars within range and checksum right comes back unchanged
    // when what it decodes to is encoded over a copy whose written fields were scrambled.
    Image im = patterned();
    for (int i : {8, 9, 22, 23, 24, 25, 26, 27, 34, 35, 36, 37})
        im[i] = i % 2;
    im[38] = 20, im[42] = 100, im[43] = 2;
    im[settings::SumIndex] = settings::imagesum(im.data());
    Image out = im;
    for (int i : {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                  26, 27, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, settings::SumIndex})
        out[i] ^= 0xA5;
    settings::encode(settings::decode(im.data()).fields, out.data());
    QCOMPARE(out, im);
}

void ImageTest::numberForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("one");  // index 6 (Edit5); -1: refused
    QTest::addColumn<int>("high"); // index 10 (Edit7); -1: refused
    QTest::addColumn<int>("low");  // index 11
    QTest::newRow("31") << "31" << 31 << 0 << 31;
    QTest::newRow("spaces 31") << "   31" << 31 << 0 << 31;
    QTest::newRow("$1F") << "$1F" << 31 << 0 << 31;
    QTest::newRow("0x1F") << "0x1F" << 31 << 0 << 31;
    QTest::newRow("zero") << "0" << 0 << 0 << 0;
    QTest::newRow("255") << "255" << 255 << 0 << 255;
    QTest::newRow("256") << "256" << -1 << 1 << 0;
    QTest::newRow("300") << "300" << -1 << 0x01 << 0x2C;
    QTest::newRow("3500") << "3500" << -1 << 0x0D << 0xAC;
    QTest::newRow("65535") << "65535" << -1 << 0xFF << 0xFF;
    QTest::newRow("$FFFF") << "$FFFF" << -1 << 0xFF << 0xFF;
    QTest::newRow("65536") << "65536" << -1 << -1 << -1;
    QTest::newRow("-1") << "-1" << -1 << -1 << -1;
    QTest::newRow("$FFFFFFFF") << "$FFFFFFFF" << -1 << -1 << -1;
    QTest::newRow("-0") << "-0" << 0 << 0 << 0;
}

void ImageTest::numberForms()
{
    QFETCH(QString, text);
    QFETCH(int, one);
    QFETCH(int, high);
    QFETCH(int, low);

    Image im{};
    settings::Fields f = factory();
    f.address = text;
    QString err = encodeerror(f, im);
    if (one < 0) {
        QCOMPARE(err, QStringLiteral("'%1' is out of range: the field takes 0 to 255.").arg(text));
    } else {
        QCOMPARE(err, QString());
        QCOMPARE(int(im[6]), one);
    }

    im.fill(0);
    f = factory();
    f.boardDrift = text;
    err = encodeerror(f, im);
    if (high < 0) {
        QCOMPARE(err,
                 QStringLiteral("'%1' is out of range: the field takes 0 to 65535.").arg(text));
    } else {
        QCOMPARE(err, QString());
        QCOMPARE(int(im[10]), high);
        QCOMPARE(int(im[11]), low);
    }
}

void ImageTest::refusedLeavesImage_data()
{
    QTest::addColumn<int>("which"); // field number in encoding order
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    const QString notint = "'%1' is not a valid integer value.";
    const QString range = "'%1' is out of range: the field takes 0 to %2.";
    QTest::newRow("Edit5 trailing space") << 0 << "31 " << notint.arg("31 ");
    QTest::newRow("Edit5 empty") << 0 << "" << notint.arg("");
    QTest::newRow("Edit6 blank") << 1 << "-- --" << notint.arg("-- --");
    QTest::newRow("Edit12 letters") << 7 << "abc" << notint.arg("abc");
    QTest::newRow("Edit20 negative") << 8 << "-5" << range.arg("-5").arg(65535);
    QTest::newRow("Edit13 300") << 9 << "300" << range.arg("300").arg(255);
    QTest::newRow("Edit13 undetermined") << 9 << QStringLiteral("Не определенно")
                                         << notint.arg(QStringLiteral("Не определенно"));
}

static QString* fieldof(settings::Fields& f, int which)
{
    QString* order[] = {&f.address,     &f.zone,       &f.boardDrift, &f.lineDrift,
                        &f.signalLeave, &f.levelShort, &f.levelBreak, &f.levelTrigger,
                        &f.lineShort,   &f.currentLeave};
    return order[which];
}

void ImageTest::refusedLeavesImage()
{
    QFETCH(int, which);
    QFETCH(QString, text);
    QFETCH(QString, error);
    settings::Fields f = factory();
    *fieldof(f, which) = text;
    const Image before = patterned();
    Image im = before;
    QCOMPARE(encodeerror(f, im), error);
    QCOMPARE(im, before); // not a single byte written, checksum included
}

void ImageTest::firstRefusalInEncodingOrder_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    // Edit5, Edit6, Edit7..Edit12, Edit20, and Edit13 last of all.
    QTest::newRow("Edit7 before Edit20") << 2 << 8;
    QTest::newRow("Edit5 before Edit6") << 0 << 1;
    QTest::newRow("Edit20 before Edit13") << 8 << 9;
    QTest::newRow("Edit12 before Edit13") << 7 << 9;
}

void ImageTest::firstRefusalInEncodingOrder()
{
    QFETCH(int, first);
    QFETCH(int, second);
    settings::Fields f = factory();
    *fieldof(f, first) = "first";
    *fieldof(f, second) = "second";
    Image im{};
    QCOMPARE(encodeerror(f, im), QStringLiteral("'first' is not a valid integer value."));
}

QTEST_GUILESS_MAIN(ImageTest)
#include "test_image.moc"
