// The serial channel against a simulated unit on a real pseudo-terminal.
#include "link/channel.h"
#include "link/commands.h"
#include "link/portnames.h"
#include "tests/support/fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTest>

#include <cstring>

using namespace link;

class TestChannel : public QObject {
    Q_OBJECT
private slots:
    void init() { closeall(); }

    void readWithNoPortKeepsIndexZero()
    {
        area[Rx] = 0;
        bool arrived = true;
        QCOMPARE(readbyte(&arrived), std::uint8_t(0));
        QVERIFY(!arrived);
        area[Rx] = 0x57;
        QCOMPARE(readbyte(&arrived), std::uint8_t(0x57));
        QVERIFY(!arrived);
        sendbyte('U'); // nothing to send it to: no harm
        QCOMPARE(area[SendCell], std::uint8_t('U'));
    }

    void portNames_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << 0 << "/dev/ttyS0";
        QTest::newRow("COM8") << 7 << "/dev/ttyS7";
        QTest::newRow("COM9") << 8 << "/dev/ttyUSB0";
        QTest::newRow("COM24") << 23 << "/dev/ttyUSB15";
        QTest::newRow("COM25") << 24 << "/dev/ttyACM0";
        QTest::newRow("COM40") << 39 << "/dev/ttyACM15";
        QTest::newRow("COM41") << 40 << "";
        QTest::newRow("no entry selected") << -1 << "";
    }
    void portNames()
    {
        QFETCH(int, index);
        QFETCH(QString, device);
        fixture::Scratch scratch;
        // Without a link in the port folder the fixed table holds.
        QFile::remove(portfolder() + QLatin1Char('/') + comname(index));
        QCOMPARE(portname(index), device);
    }

    void linkIsResolvedToItsDevice()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(40);
        QCOMPARE(portname(39), QString::fromStdString(unit->slavePath()));
        QVERIFY(portfolder().startsWith(scratch.path()));
    }

    void noEntrySelectedOpensNothing()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(1);
        area[Rx] = 0x41;
        open(-1);
        QVERIFY(!isopen());
        sendbyte(cmd::Start);
        QCOMPARE(readbyte(), std::uint8_t(0x41));
        QVERIFY(unit->received().empty());
    }

    void exchangeByteAndImage()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(1);
        open(0);
        QVERIFY(isopen());
        sendbyte(cmd::Start);
        bool arrived = false;
        QCOMPARE(readbyte(&arrived), std::uint8_t('W'));
        QVERIFY(arrived);
        sendbyte(cmd::Read);
        QCOMPARE(readimage(), 512);
        QVERIFY(std::memcmp(area, unit->image().data(), 512) == 0);
        QCOMPARE(unit->received(), (std::vector<std::uint8_t>{'U', 'R'}));
    }

    void partialReadKeepsOldBytes()
    {
        fixture::Scratch scratch;
        sim::Config c;
        c.imageLength = 100;
        auto unit = fixture::unitOn(1, c);
        std::memset(area, 0xAA, 512);
        open(0);
        sendbyte(cmd::Read);
        QElapsedTimer t;
        t.start();
        QCOMPARE(readimage(), 100);
        // It waited for the rest: the read gives up only after 10 ms a byte.
        QVERIFY(t.elapsed() >= 5000);
        QVERIFY(std::memcmp(area, unit->image().data(), 100) == 0);
        for (int i = 100; i < 512; ++i)
            QCOMPARE(area[i], std::uint8_t(0xAA));
    }

    void telemetryOverwritesOnlyTwelve()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(1);
        open(0);
        sendbyte(cmd::Read);
        QCOMPARE(readimage(), 512);
        const auto image = unit->image();
        sendbyte(cmd::Telemetry);
        QCOMPARE(readtelemetry(), 12);
        const auto r = unit->config().readings;
        for (int i = 0; i < 6; ++i)
            QCOMPARE(area[2 * i] * 256 + area[2 * i + 1], int(r[size_t(i)]));
        QVERIFY(std::memcmp(area + 12, image.data() + 12, 500) == 0);
    }

    void lateReplyIsNotTheNextAnswer()
    {
        fixture::Scratch scratch;
        sim::Config c;
        c.answerToStart = -1;
        auto unit = fixture::unitOn(1, c);
        open(0);
        sendbyte(cmd::End); // answered "V", which no one reads
        QTest::qWait(50);
        sendbyte(cmd::Start); // the unit stays silent this time
        bool arrived = true;
        readbyte(&arrived);
        QVERIFY2(!arrived, "the late V was taken for the answer to U");
    }

    void busyPortIsNeitherOpenedNorPresent()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(3);
        QSerialPort other;
        other.setPortName(QString::fromStdString(unit->slavePath()));
        QVERIFY(other.open(QIODevice::ReadWrite));
        QVERIFY(!probe(2));
        open(2);
        QVERIFY(!isopen());
        other.close();
        QVERIFY(probe(2));
        QVERIFY(!isopen()); // a probe leaves no port open
    }

    void linkedNameDoesNotDodgeTheLock()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(2);
        open(1);
        QVERIFY(isopen());
        // Another program opening the same device by its own name is kept out.
        QSerialPort other;
        other.setPortName(QString::fromStdString(unit->slavePath()));
        QVERIFY(!other.open(QIODevice::ReadWrite));
    }

    void hangUpReadsAsSilence()
    {
        fixture::Scratch scratch;
        auto unit = fixture::unitOn(1);
        open(0);
        QVERIFY(isopen());
        unit->hangup();
        QTest::qWait(20);
        area[Rx] = 0x11;
        bool arrived = true;
        sendbyte(cmd::Read);
        QCOMPARE(readimage(), 0);
        // The gone line closed the port: from then on every read is plain silence.
        QVERIFY(!isopen());
        QCOMPARE(readbyte(&arrived), std::uint8_t(0x11));
        QVERIFY(!arrived);
    }
};

QTEST_GUILESS_MAIN(TestChannel)
#include "test_channel.moc"
