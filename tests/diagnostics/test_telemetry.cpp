// The widget-free half of the telemetry panel: the reply's readings, the chart sample and the
// store that keeps every sample.
#include "diagnostics/telemetry.h"

#include <QtTest>

#include <cmath>

class TestTelemetry : public QObject {
    Q_OBJECT
private slots:
    void decodesBigEndian_data();
    void decodesBigEndian();
    void sampleIsSinglePrecisionTenth_data();
    void sampleIsSinglePrecisionTenth();
    void sampleIsNearestFloatForEveryReading();
    void storeKeepsEveryPointAndItsRange();
    void clearedStoreStartsAfresh();
};

using Reply = std::array<std::uint8_t, telemetry::ReplySize>;
using Readings = std::array<std::uint16_t, telemetry::Count>;
Q_DECLARE_METATYPE(Reply)
Q_DECLARE_METATYPE(Readings)

void TestTelemetry::decodesBigEndian_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<Readings>("expected");
    QTest::newRow("zeros") << Reply{} << Readings{};
    QTest::newRow("500 as LIGHT") << Reply{0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xF4, 0, 0}
                                  << Readings{0, 0, 0, 0, 500, 0};
    QTest::newRow("high byte first")
        << Reply{0x00, 0x01, 0x01, 0x00, 0x12, 0x34, 0xAB, 0xCD, 0x80, 0x00, 0xFF, 0xFF}
        << Readings{1, 256, 0x1234, 0xABCD, 0x8000, 0xFFFF};
    QTest::newRow("each its own pair")
        << Reply{0x02, 0x00, 0x02, 0x58, 0x02, 0xBC, 0x03, 0x20, 0x01, 0xF4, 0x09, 0x60}
        << Readings{512, 600, 700, 800, 500, 2400};
}

void TestTelemetry::decodesBigEndian()
{
    QFETCH(Reply, reply);
    QFETCH(Readings, expected);
    QCOMPARE(telemetry::decode(reply.data()), expected);
    for (int n = 0; n < telemetry::Count; ++n)
        QCOMPARE(telemetry::reading(reply.data(), n), expected[n]);
}

void TestTelemetry::sampleIsSinglePrecisionTenth_data()
{
    QTest::addColumn<int>("reading");
    QTest::addColumn<double>("expected");
    QTest::newRow("0") << 0 << 0.0;
    QTest::newRow("500 is exactly 50") << 500 << 50.0;
    QTest::newRow("2400") << 2400 << 240.0;
    QTest::newRow("65535") << 65535 << 6553.5;
    // Not representable: the float nearest to the tenth, not the double nearest to it.
    QTest::newRow("1") << 1 << 0.100000001490116119384765625;
    QTest::newRow("9") << 9 << 0.89999997615814208984375;
    QTest::newRow("13") << 13 << 1.2999999523162841796875;
    QTest::newRow("4321") << 4321 << double(432.1f);
}

void TestTelemetry::sampleIsSinglePrecisionTenth()
{
    QFETCH(int, reading);
    QFETCH(double, expected);
    const double widened = telemetry::sample(std::uint16_t(reading));
    QCOMPARE(widened, expected); // exact: no fuzzy compare for a rounding rule
}

void TestTelemetry::sampleIsNearestFloatForEveryReading()
{
    // 10 * f is exact in double for any float f, so the distances compare exactly.
    for (int r = 0; r <= 0xFFFF; ++r) {
        const float f = telemetry::sample(std::uint16_t(r));
        const double d = std::fabs(10.0 * f - r);
        const float down = std::nextafter(f, -INFINITY), up = std::nextafter(f, INFINITY);
        if (d > std::fabs(10.0 * down - r) || d > std::fabs(10.0 * up - r))
            QFAIL(qPrintable(QStringLiteral("reading %1 gives %2, not the nearest float")
                                 .arg(r)
                                 .arg(double(f), 0, 'g', 17)));
    }
}

void TestTelemetry::storeKeepsEveryPointAndItsRange()
{
    telemetry::PointStore s;
    QVERIFY(s.empty());
    const float ys[] = {5.5f, 7.0f, 3.25f, 3.25f, 9.0f, 6.0f};
    const float lo[] = {5.5f, 5.5f, 3.25f, 3.25f, 3.25f, 3.25f};
    const float hi[] = {5.5f, 7.0f, 7.0f, 7.0f, 9.0f, 9.0f};
    for (std::size_t i = 0; i < std::size(ys); ++i) {
        s.append(ys[i]);
        QCOMPARE(s.size(), i + 1);
        QCOMPARE(s.minY(), lo[i]);
        QCOMPARE(s.maxY(), hi[i]);
    }
    for (std::size_t i = 0; i < std::size(ys); ++i)
        QCOMPARE(s.y(i), ys[i]);

    for (int i = 0; i < 300000; ++i)
        s.append(float(i % 1000) / 10);
    QCOMPARE(s.size(), std::size(ys) + 300000);
    QCOMPARE(s.y(std::size(ys) + 123456), float(456) / 10);
    QCOMPARE(s.minY(), 0.0f);
    QCOMPARE(s.maxY(), 99.9f);
}

void TestTelemetry::clearedStoreStartsAfresh()
{
    telemetry::PointStore s;
    s.append(1.0f);
    s.append(100.0f);
    s.clear();
    QVERIFY(s.empty());
    // The range of the new run is its own, not widened by the old one (nor by a zero).
    s.append(40.0f);
    s.append(45.5f);
    QCOMPARE(s.size(), std::size_t(2));
    QCOMPARE(s.y(0), 40.0f);
    QCOMPARE(s.minY(), 40.0f);
    QCOMPARE(s.maxY(), 45.5f);
}

QTEST_APPLESS_MAIN(TestTelemetry)
#include "test_telemetry.moc"
