// Finding the sound data of a WAV file: the "data" chunk wherever it stands, and the files that
// cannot be sent.
#include "sound/facts.h"
#include "sound/wav.h"
#include "tests/sound/wavfile.h"
#include "ui/codepage.h"

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
    void format_data();
    void format();
    void facts_data();
    void facts();
    void lineTime_data();
    void lineTime();
};

void TestWav::findsTheData_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<quint32>("length");
    QTest::addColumn<quint32>("blocks");

    QTest::newRow("canonical, 1 000 000 bytes: 1953 blocks")
        << canonical(wavfile::sound(1000000)) << qint64(44) << quint32(1000000) << quint32(1953);
    QTest::newRow("canonical, under one block")
        << canonical(wavfile::sound(300)) << qint64(44) << quint32(300) << quint32(0);
    QTest::newRow("canonical, no data at all") << canonical({}) << qint64(44) << quint32(0) << quint32(0);
    const QByteArray list = withlist(wavfile::sound(2048));
    QTest::newRow("LIST chunk before the data")
        << list << qint64(list.size() - 2048) << quint32(2048) << quint32(4);
    // An odd chunk is followed by a pad byte that is not part of the next chunk's id.
    const QByteArray odd = riff(fmt() + chunk("junk", QByteArray(5, 'x')) + chunk("data", wavfile::sound(1024)));
    QTest::newRow("odd chunk with its pad byte") << odd << qint64(12 + 24 + 8 + 6 + 8)
                                                 << quint32(1024) << quint32(2);
    QTest::newRow("data before fmt")
        << riff(chunk("data", wavfile::sound(512)) + fmt()) << qint64(20) << quint32(512) << quint32(1);
    QByteArray zeroRiff = canonical(wavfile::sound(1024));
    zeroRiff.replace(4, 4, le32(0));
    QTest::newRow("RIFF size left at zero") << zeroRiff << qint64(44) << quint32(1024) << quint32(2);
    QTest::newRow("more in the file than the chunk states")
        << canonical(wavfile::sound(1600), 1100) << qint64(44) << quint32(1100) << quint32(2);
    // An empty sound followed by a chunk, not by bare sound: a genuine file, nothing to send.
    QTest::newRow("stated 0, a LIST chunk after")
        << riff(fmt() + chunk("data", {}) + chunk("LIST", "INFO" + chunk("INAM", "x")))
        << qint64(44) << quint32(0) << quint32(0);
    QTest::newRow("stated 0, a last chunk without its pad byte")
        << riff(fmt() + chunk("data", {})).append(QByteArray("junk") + le32(3) + "abc")
        << qint64(44) << quint32(0) << quint32(0);
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
        QCOMPARE(b.read(16), wavfile::sound(16));
    }
}

void TestWav::refuses_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<wav::Problem>("problem");

    QTest::newRow("empty file") << QByteArray() << wav::Problem::NotWave;
    QTest::newRow("shorter than the RIFF head") << QByteArray("RIFF\0\0") << wav::Problem::NotWave;
    QByteArray rifx = canonical(wavfile::sound(1024));
    rifx.replace(0, 4, "RIFX");
    QTest::newRow("RIFX, not RIFF") << rifx << wav::Problem::NotWave;
    QByteArray avi = canonical(wavfile::sound(1024));
    avi.replace(8, 4, "AVI ");
    QTest::newRow("RIFF but not WAVE") << avi << wav::Problem::NotWave;
    QTest::newRow("raw sound, no header") << wavfile::sound(4096) << wav::Problem::NotWave;
    QTest::newRow("fmt only") << riff(fmt()) << wav::Problem::NoData;
    QTest::newRow("a chunk runs past the end")
        << riff(fmt() + chunk("LIST", QByteArray(20, 'x'), 5000)) << wav::Problem::NoData;
    QTest::newRow("data head cut short") << riff(fmt()) + "data\x10" << wav::Problem::NoData;
    QTest::newRow("less data than stated") << canonical(wavfile::sound(1024), 2048) << wav::Problem::ShortData;
    QTest::newRow("one byte less than stated") << canonical(wavfile::sound(1023), 1024) << wav::Problem::ShortData;
    // A file written as a stream states a length it never filled in: what it lacks is the
    // reason, not the count it would need.
    QTest::newRow("stated 2^31, holds 512: short, not too long")
        << canonical(wavfile::sound(512), 0x80000000LL) << wav::Problem::ShortData;
    QTest::newRow("stated 0xFFFFFFFF (streamed): short, not too long")
        << canonical(wavfile::sound(5000), 0xFFFFFFFFLL) << wav::Problem::ShortData;
    QTest::newRow("stated 0, sound after (streamed)") << canonical(wavfile::sound(5000), 0) << wav::Problem::ZeroLength;
    QTest::newRow("stated 0, one byte after") << canonical(wavfile::sound(1), 0) << wav::Problem::ZeroLength;
    QTest::newRow("stated 0, bytes that are no chunk after")
        << canonical(QByteArray("\x01\x02\x03\x04\x00\x00\x00\x00", 8), 0) << wav::Problem::ZeroLength;
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

// A "fmt " chunk of the given fields; extensible headers carry 22 more bytes with the sub-format.
QByteArray fmtof(quint16 code, quint16 channels, quint32 rate, quint16 bits, int sub = -1)
{
    const quint16 align = quint16(channels * bits / 8);
    QByteArray f = QByteArray(2, '\0') + QByteArray(2, '\0') + le32(rate) + le32(rate * align)
        + QByteArray(2, '\0') + QByteArray(2, '\0');
    qToLittleEndian(code, f.data());
    qToLittleEndian(channels, f.data() + 2);
    qToLittleEndian(align, f.data() + 12);
    qToLittleEndian(bits, f.data() + 14);
    if (sub >= 0) {
        QByteArray ext(24, '\0');
        qToLittleEndian(quint16(22), ext.data());
        qToLittleEndian(quint16(sub), ext.data() + 8);
        f += ext;
    }
    return chunk("fmt ", f);
}

void TestWav::format_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");

    const QByteArray data = chunk("data", wavfile::sound(1024));
    QTest::newRow("PCM, mono, 8 kHz, 8 bits") << riff(fmt() + data) << true << 1 << 1 << 8000 << 8;
    QTest::newRow("float, stereo, 44.1 kHz, 32 bits")
        << riff(fmtof(3, 2, 44100, 32) + data) << true << 3 << 2 << 44100 << 32;
    QTest::newRow("extensible holding PCM, 24 bits")
        << riff(fmtof(0xFFFE, 2, 48000, 24, 1) + data) << true << 1 << 2 << 48000 << 24;
    QTest::newRow("extensible holding float")
        << riff(fmtof(0xFFFE, 1, 48000, 32, 3) + data) << true << 3 << 1 << 48000 << 32;
    QTest::newRow("fmt after the data") << riff(data + fmtof(1, 1, 22050, 16)) << true << 1 << 1 << 22050 << 16;
    QTest::newRow("no fmt chunk") << riff(data) << false << 0 << 0 << 0 << 0;
    QTest::newRow("fmt of 8 bytes") << riff(chunk("fmt ", QByteArray(8, '\1')) + data) << false << 0 << 0 << 0 << 0;
}

void TestWav::format()
{
    QFETCH(QByteArray, file);
    QBuffer b(&file);
    QVERIFY(b.open(QIODevice::ReadOnly));
    const wav::Sound s = wav::inspect(b);
    QCOMPARE(s.problem, wav::Problem::None);
    QCOMPARE(s.blocks, quint32(2));
    QTEST(s.format.known, "known");
    QTEST(int(s.format.code), "code");
    QTEST(int(s.format.channels), "channels");
    QTEST(int(s.format.rate), "rate");
    QTEST(int(s.format.bits), "bits");
}

void TestWav::facts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lines");
    const QString line = QStringLiteral("  время записи на линии 115200 бод: ");
    // 1 000 000 bytes at 8000 bytes a second; 1953 blocks of 514 bytes on the line.
    QTest::newRow("PCM") << canonical(wavfile::sound(1000000))
                         << QStringList{"  формат: PCM", "  частота дискретизации: 8000 Гц",
                                        "  разрядность: 8 бит", "  каналов: 1",
                                        "  длительность: 125,000 с (2:05)", "  блоков: 1953",
                                        line + "87,1 с (1:27)"};
    QTest::newRow("not PCM") << riff(fmtof(3, 2, 44100, 32) + chunk("data", wavfile::sound(352800 + 8)))
                             << QStringList{"  формат: код 3 (не PCM)", "  частота дискретизации: 44100 Гц",
                                            "  разрядность: 32 бит", "  каналов: 2",
                                            "  длительность: 1,000 с", "  блоков: 689",
                                            line + "30,7 с"};
    QTest::newRow("no fmt chunk") << riff(chunk("data", wavfile::sound(1024)))
                                  << QStringList{"  формат: неизвестно", "  частота дискретизации: неизвестно",
                                                 "  разрядность: неизвестно", "  каналов: неизвестно",
                                                 "  длительность: неизвестно", "  блоков: 2", line + "0,1 с"};
    QTest::newRow("under one block") << canonical(wavfile::sound(300))
                                     << QStringList{"  формат: PCM", "  частота дискретизации: 8000 Гц",
                                                    "  разрядность: 8 бит", "  каналов: 1",
                                                    "  длительность: 0,038 с",
                                                    "  блоков: 0 (звука меньше блока: в блок он не попадёт)",
                                                    line + "0,0 с"};
}

void TestWav::facts()
{
    QFETCH(QByteArray, file);
    QBuffer b(&file);
    QVERIFY(b.open(QIODevice::ReadOnly));
    const QStringList lines = sound::factlines(wav::inspect(b));
    QTEST(lines, "lines");
    // Every text can be written in the log's code page: no sign outside Windows-1251.
    for (const QString& l : lines)
        for (QChar c : l) {
            unsigned char b = 0;
            QVERIFY2(codepage::tobyte(c.unicode(), &b), qPrintable(l));
        }
}

void TestWav::lineTime_data()
{
    QTest::addColumn<quint32>("blocks");
    QTest::addColumn<qint64>("ms");
    // A block and its acknowledgement: 514 bytes of 10 bits at 115200 baud, 44.6 ms.
    QTest::newRow("none") << quint32(0) << qint64(0);
    QTest::newRow("one") << quint32(1) << qint64(45);
    QTest::newRow("1953") << quint32(1953) << qint64(87139);
    QTest::newRow("65535") << quint32(65535) << qint64(2924044);
}

void TestWav::lineTime()
{
    QFETCH(quint32, blocks);
    QTEST(sound::linetimems(blocks), "ms");
}

QTEST_GUILESS_MAIN(TestWav)
#include "test_wav.moc"
