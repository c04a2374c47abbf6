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

    // A unit that sends slower than 10 ms a byte: the read must give up n x 10 ms after it
    // started, however the bytes trickle in.  A read whose clock restarted at every byte would
    // take all of the unit's time (7.7 s for an image at 15 ms a byte) and get every byte.
    void readGivesUpCountedFromItsStart_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("slowMs");
        QTest::addColumn<int>("burst");
        QTest::newRow("1 byte, a byte every 15 ms") << 1 << 15 << 1;
        QTest::newRow("12 bytes, a byte every 15 ms") << 12 << 15 << 1;
        QTest::newRow("12 bytes, bursts of 3 every 45 ms") << 12 << 15 << 3;
        QTest::newRow("512 bytes, a byte every 15 ms") << 512 << 15 << 1;
        QTest::newRow("512 bytes, bursts of 8 every 120 ms") << 512 << 15 << 8;
    }
    void readGivesUpCountedFromItsStart()
    {
        QFETCH(int, n);
        QFETCH(int, slowMs);
        QFETCH(int, burst);
        fixture::Scratch scratch;
        sim::Config c;
        c.slowMs = slowMs;
        c.slowBurst = burst;
        auto unit = fixture::unitOn(1, c);
        open(0);
        QVERIFY(isopen());
        std::memset(area, 0xAA, 512);

        QElapsedTimer t;
        int got = 0;
        if (n == 1) {
            sendbyte(cmd::Start);
            t.start();
            bool arrived = true;
            readbyte(&arrived);
            got = arrived ? 1 : 0;
        } else if (n == TelemetrySize) {
            sendbyte(cmd::Telemetry);
            t.start();
            got = readtelemetry();
        } else {
            sendbyte(cmd::Read);
            t.start();
            got = readimage();
        }
        const qint64 ms = t.elapsed();
        const qint64 limit = qint64(n) * MsPerByte;
        // Not a speed goal: generous slack for a loaded machine, far short of the unit's time.
        QVERIFY2(ms < limit + 1500, qPrintable(QStringLiteral("%1 ms").arg(ms)));
        QVERIFY2(ms >= limit - 2, qPrintable(QStringLiteral("gave up early, after %1 ms").arg(ms)));
        QVERIFY2(got < n, qPrintable(QStringLiteral("%1 bytes").arg(got)));
        QCOMPARE(lastcount(), got);
        if (n > 1) {
            QVERIFY(got > 0);
            // What did arrive is kept, the rest is left as it was.
            QByteArray reply;
            if (n == TelemetrySize)
                reply = QByteArray::fromHex("0200025802bc032001f40960");
            else
                reply = QByteArray(reinterpret_cast<const char*>(unit->image().data()), 512);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(area), got).toHex(),
                     reply.left(got).toHex());
            for (int i = got; i < n; ++i)
                QCOMPARE(area[i], std::uint8_t(0xAA));
        }
    }

    // The rest of a reply that outlasted its read (or all of a one-byte answer that came just
    // too late) is still on its way when the next command goes out; it must not be taken for
    // that command's answer.
    void restOfASlowReplyIsNotTheNextAnswer_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("slowMs");
        QTest::addColumn<int>("burst");
        QTest::newRow("start, its answer 15 ms late") << int(cmd::Start) << 15 << 1;
        QTest::newRow("telemetry, a byte every 15 ms") << int(cmd::Telemetry) << 15 << 1;
        QTest::newRow("telemetry, bursts of 4 every 60 ms") << int(cmd::Telemetry) << 15 << 4;
        QTest::newRow("image, a byte every 11 ms") << int(cmd::Read) << 11 << 1;
    }
    void restOfASlowReplyIsNotTheNextAnswer()
    {
        QFETCH(int, command);
        QFETCH(int, slowMs);
        QFETCH(int, burst);
        fixture::Scratch scratch;
        sim::Config c;
        c.slowMs = slowMs;
        c.slowBurst = burst;
        auto unit = fixture::unitOn(1, c);
        open(0);
        sendbyte(std::uint8_t(command));
        const int n = command == cmd::Read ? RxSize : command == cmd::Start ? 1 : TelemetrySize;
        const int got = readinto(&area[Rx], n);
        QVERIFY2(got < n && (got > 0 || n == 1), qPrintable(QString::number(got)));
        // The unit answers the next command at once; the cut-off reply still trickles out first.
        c.slowMs = 0;
        unit->setConfig(c);
        unit->clearReceived();
        std::memset(area, 0, 512);
        sendbyte(cmd::Read);
        QCOMPARE(readimage(), 512);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(area), 512).toHex(),
                 QByteArray(reinterpret_cast<const char*>(unit->image().data()), 512).toHex());
        QCOMPARE(unit->received(), std::vector<std::uint8_t>{cmd::Read});
    }

    // A unit that never stops talking holds the next command back for a bounded time only.
    void drainBeforeACommandIsBounded()
    {
        fixture::Scratch scratch;
        sim::Config c;
        c.slowMs = 15;
        c.imageLength = 150; // 2.25 s of image, longer than anyone waits for quiet
        auto unit = fixture::unitOn(1, c);
        open(0);
        sendbyte(cmd::Read);
        const int got = readtelemetry();
        QVERIFY2(got > 0 && got < TelemetrySize, qPrintable(QString::number(got)));
        QElapsedTimer t;
        t.start();
        sendbyte(cmd::End);
        QVERIFY2(t.elapsed() < 2500, qPrintable(QStringLiteral("%1 ms").arg(t.elapsed())));
        QVERIFY(isopen());
        // The command did go out.
        QTRY_VERIFY_WITH_TIMEOUT(unit->received().size() == 2, 5000);
        QCOMPARE(unit->received().back(), std::uint8_t(cmd::End));
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
