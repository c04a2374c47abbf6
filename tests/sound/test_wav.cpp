// Finding the sound data of a WAV file: the "data" chunk wherever it stands, and the files that
// cannot be sent.
#include "sound/wav.h"
#include "tests/sound/wavfile.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QtTest>

using namespace wavfile;

Q_DECLARE_METATYPE(wav::Problem)

class TestWav : public QObject {
    Q_OBJECT
private slots:
    void findsTheData_data();
    void findsTheData();
    void refuses_data();
    void refuses();
    void blockCountLimit_data();
    void blockCountLimit();
};

void TestWav::findsTheData_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<quint32>("length");
    QTest::addColumn<quint32>("blocks");

    QTest::newRow("canonical, 1 000 000 bytes: 1953 blocks")
        << canonical(sound(1000000)) << qint64(44) << quint32(1000000) << quint32(1953);
    QTest::newRow("canonical, under one block")
        << canonical(sound(300)) << qint64(44) << quint32(300) << quint32(0);
    QTest::newRow("canonical, no data at all") << canonical({}) << qint64(44) << quint32(0) << quint32(0);
    const QByteArray list = withlist(sound(2048));
    QTest::newRow("LIST chunk before the data")
        << list << qint64(list.size() - 2048) << quint32(2048) << quint32(4);
    // An odd chunk is followed by a pad byte that is not part of the next chunk's id.
    const QByteArray odd = riff(fmt() + chunk("junk", QByteArray(5, 'x')) + chunk("data", sound(1024)));
    QTest::newRow("odd chunk with its pad byte") << odd << qint64(12 + 24 + 8 + 6 + 8)
                                                 << quint32(1024) << quint32(2);
    QTest::newRow("data before fmt")
        << riff(chunk("data", sound(512)) + fmt()) << qint64(20) << quint32(512) << quint32(1);
    QByteArray zeroRiff = canonical(sound(1024));
    zeroRiff.replace(4, 4, le32(0));
    QTest::newRow("RIFF size left at zero") << zeroRiff << qint64(44) << quint32(1024) << quint32(2);
    QTest::newRow("more in the file than the chunk states")
        << canonical(sound(1600), 1100) << qint64(44) << quint32(1100) << quint32(2);
}

void TestWav::findsTheData()
{
    QFETCH(QByteArray, file);
    QBuffer b(&file);
    QVERIFY(b.open(QIODevice::ReadOnly));
    const wav::Sound s = wav::inspect(b);
    QCOMPARE(s.problem, wav::Problem::None);
    QTEST(s.offset, "offset");
    QTEST(s.length, "length");
    QTEST(s.blocks, "blocks");
    // The offset points at the sound itself, not at a chunk head.
    if (s.length > 0) {
        QVERIFY(b.seek(s.offset));
        QCOMPARE(b.read(16), sound(16));
    }
}

void TestWav::refuses_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<wav::Problem>("problem");

    QTest::newRow("empty file") << QByteArray() << wav::Problem::NotWave;
    QTest::newRow("shorter than the RIFF head") << QByteArray("RIFF\0\0") << wav::Problem::NotWave;
    QByteArray rifx = canonical(sound(1024));
    rifx.replace(0, 4, "RIFX");
    QTest::newRow("RIFX, not RIFF") << rifx << wav::Problem::NotWave;
    QByteArray avi = canonical(sound(1024));
    avi.replace(8, 4, "AVI ");
    QTest::newRow("RIFF but not WAVE") << avi << wav::Problem::NotWave;
    QTest::newRow("raw sound, no header") << sound(4096) << wav::Problem::NotWave;
    QTest::newRow("fmt only") << riff(fmt()) << wav::Problem::NoData;
    QTest::newRow("a chunk runs past the end")
        << riff(fmt() + chunk("LIST", QByteArray(20, 'x'), 5000)) << wav::Problem::NoData;
    QTest::newRow("data head cut short") << riff(fmt()) + "data\x10" << wav::Problem::NoData;
    QTest::newRow("less data than stated") << canonical(sound(1024), 2048) << wav::Problem::ShortData;
    QTest::newRow("one byte less than stated") << canonical(sound(1023), 1024) << wav::Problem::ShortData;
    QTest::newRow("length 2^31 and more") << canonical(sound(512), 0x80000000LL) << wav::Problem::TooLong;
    QTest::newRow("length 0xFFFFFFFF (streamed)") << canonical(sound(512), 0xFFFFFFFFLL) << wav::Problem::TooLong;
}

void TestWav::refuses()
{
    QFETCH(QByteArray, file);
    QBuffer b(&file);
    QVERIFY(b.open(QIODevice::ReadOnly));
    QTEST(wav::inspect(b).problem, "problem");
}

void TestWav::blockCountLimit_data()
{
    QTest::addColumn<quint32>("length");
    QTest::addColumn<wav::Problem>("problem");
    QTest::newRow("65535 blocks") << quint32(65535 * 512) << wav::Problem::None;
    QTest::newRow("65535 blocks and a partial one") << quint32(65535 * 512 + 511) << wav::Problem::None;
    QTest::newRow("65536 blocks") << quint32(65536 * 512) << wav::Problem::TooLong;
}

void TestWav::blockCountLimit()
{
    QFETCH(quint32, length);
    // A real file of that size (sparse), so that only the count can refuse it.
    QTemporaryFile f;
    QVERIFY(f.open());
    f.write(canonical({}, length));
    QVERIFY(f.resize(44 + qint64(length)));
    QVERIFY(f.seek(0));
    const wav::Sound s = wav::inspect(f);
    QTEST(s.problem, "problem");
    QCOMPARE(s.blocks, length / 512);
}

QTEST_GUILESS_MAIN(TestWav)
#include "test_wav.moc"
