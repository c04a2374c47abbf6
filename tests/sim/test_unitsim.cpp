// The simulated unit seen from the slave side of its pseudo-terminal, through plain POSIX calls:
// the tool's own channel is tested elsewhere, this checks what the unit puts on the line.
#include "sim/unitsim.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The tool's end of the line, kept as plain as possible.
class Line {
public:
    explicit Line(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios t;
            tcgetattr(fd_, &t);
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Line()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }

    bool send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                return false;
            }
        }
        return true;
    }

    // Up to n bytes, giving up after ms of waiting in all.  hungUp tells whether the line ended
    // (EOF or EIO) rather than just stayed quiet.
    QByteArray take(int n, int ms = 1000)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < n) {
            int left = ms - int(clock.elapsed());
            if (left < 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                break;
            char buf[1024];
            ssize_t r = ::read(fd_, buf, std::min<size_t>(sizeof buf, size_t(n - got.size())));
            if (r > 0) {
                got.append(buf, r);
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                hungUp = true;
                break;
            }
        }
        return got;
    }

    // Sends a command and takes its answer.
    QByteArray ask(const QByteArray& bytes, int n, int ms = 1000)
    {
        if (!send(bytes))
            return {};
        return take(n, ms);
    }

    bool hungUp = false;

private:
    int fd_ = -1;
};

QByteArray bytesOf(const std::array<std::uint8_t, 512>& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.data()), 512);
}

std::array<std::uint8_t, 512> arrayOf(const QByteArray& bytes)
{
    std::array<std::uint8_t, 512> a{};
    std::copy(bytes.begin(), bytes.begin() + std::min<qsizetype>(512, bytes.size()), a.begin());
    return a;
}

QByteArray vec(const std::vector<std::uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// A block whose bytes differ from every other block's and include command bytes, so that a
// unit that took data for commands would show it.
QByteArray block(int seed)
{
    QByteArray b(512, 0);
    const char commands[] = {'Z', 'U', 'R', 'S', 0x10, 0x60, 0x70};
    for (int i = 0; i < 512; ++i)
        b[i] = char((i * 7 + seed * 31) & 0xFF);
    for (int i = 0; i < 7; ++i)
        b[i * 50] = commands[i];
    return b;
}

QByteArray ack(int extra)
{
    return QByteArray("U") + QByteArray(extra, '\0') + QByteArray(1, char(0xFF));
}

QByteArray counts(std::initializer_list<int> list)
{
    QByteArray c;
    for (int n : list) {
        c.append(char(n >> 8));
        c.append(char(n & 0xFF));
    }
    return c;
}

} // namespace

class TestUnitSim : public QObject {
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void defaultImageFields();
    void imageReplies_data();
    void imageReplies();
    void writeImage_data();
    void writeImage();
    void cutImageIsDropped();
    void configChangesWhileServing();
    void upload_data();
    void upload();
    void uploadAcknowledgementWork();
    void abandonedUploadReturnsToCommands();
    void stallMidUpload();
    void hangupMidUpload_data();
    void hangupMidUpload();
    void linkMadeAndRemoved();
    void linkRefusedWhereFolderIsAFile();
    void pacedImageTakesWireTime();
    void pacedBlockTakesWireTime();
    void slowReplyDribbles_data();
    void slowReplyDribbles();
    void destructorReturns_data();
    void destructorReturns();
    void executable();
};

void TestUnitSim::commands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("answerToStart");
    QTest::addColumn<int>("answerToEnd");
    QTest::addColumn<int>("telemetryLength");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray telemetry = QByteArray::fromHex("0200025802bc032001f40960");
    QTest::newRow("Z ends") << QByteArray("Z") << int('W') << int('V') << 12 << false << QByteArray("V");
    QTest::newRow("U starts") << QByteArray("U") << int('W') << int('V') << 12 << false << QByteArray("W");
    QTest::newRow("U other answer") << QByteArray("U") << int('?') << int('V') << 12 << false
                                    << QByteArray("?");
    QTest::newRow("U no answer") << QByteArray("U") << -1 << int('V') << 12 << false << QByteArray();
    QTest::newRow("Z no answer") << QByteArray("Z") << int('W') << -1 << 12 << false << QByteArray();
    QTest::newRow("telemetry") << QByteArray("\x10") << int('W') << int('V') << 12 << false << telemetry;
    QTest::newRow("telemetry short") << QByteArray("\x10") << int('W') << int('V') << 6 << false
                                     << telemetry.left(6);
    QTest::newRow("telemetry none") << QByteArray("\x10") << int('W') << int('V') << 0 << false
                                    << QByteArray();
    QTest::newRow("unknown bytes ignored") << QByteArray("AbQ\x00\xFFZ", 6) << int('W') << int('V') << 12
                                           << false << QByteArray("V");
    QTest::newRow("silent Z") << QByteArray("Z") << int('W') << int('V') << 12 << true << QByteArray();
    QTest::newRow("silent R") << QByteArray("R") << int('W') << int('V') << 12 << true << QByteArray();
    QTest::newRow("silent telemetry") << QByteArray("\x10") << int('W') << int('V') << 12 << true
                                      << QByteArray();
}

void TestUnitSim::commands()
{
    QFETCH(QByteArray, command);
    QFETCH(int, answerToStart);
    QFETCH(int, answerToEnd);
    QFETCH(int, telemetryLength);
    QFETCH(bool, silent);
    QFETCH(QByteArray, expected);

    sim::Config c;
    c.answerToStart = answerToStart;
    c.answerToEnd = answerToEnd;
    c.telemetryLength = telemetryLength;
    c.silent = silent;
    sim::Unit unit(c);
    Line line(unit.slavePath());
    QVERIFY(line.isOpen());

    // Ask for one byte more than expected: nothing may follow the answer.
    QByteArray got = line.ask(command, int(expected.size()) + 1, 300);
    QCOMPARE(got.toHex(), expected.toHex());
    QVERIFY(!line.hungUp);
    QCOMPARE(vec(unit.received()), command);
}

void TestUnitSim::defaultImageFields()
{
    const auto a = sim::defaultImage(52, 14, 3);
    QCOMPARE(int(a[0]), 52);
    QCOMPARE(int(a[1]), 3);
    QCOMPARE(a[4] << 8 | a[5], 300);
    QCOMPARE(int(a[6]), 1);
    QCOMPARE(int(a[7]), 1);
    QCOMPARE(int(a[8]), 0);
    QCOMPARE(int(a[9]), 1);
    const int words[][2] = {{10, 30}, {12, 20}, {14, 1000}, {16, 3500},
                            {18, 700}, {20, 2900}, {40, 3100}};
    for (auto& w : words)
        QCOMPARE(a[w[0]] << 8 | a[w[0] + 1], w[1]);
    for (int i = 22; i <= 27; ++i)
        QCOMPARE(int(a[i]), 1);
    for (int i = 34; i <= 37; ++i)
        QCOMPARE(int(a[i]), 1);
    QCOMPARE(int(a[38]), 10);
    QCOMPARE(int(a[39]), 50);
    QCOMPARE(int(a[42]), 51);
    QCOMPARE(int(a[43]), 12);
    QCOMPARE(int(a[50]), 14);
    int sum = 0;
    for (int i = 0; i <= 50; ++i)
        sum += a[i];
    QCOMPARE(int(a[51]), sum % 256);
    for (int i = 52; i < 512; ++i)
        QCOMPARE(int(a[i]), 0);

    // The unit starts with the image of its own identity.
    sim::Config c;
    c.firmware = 21;
    c.minor = 0;
    c.deviceType = 2;
    sim::Unit unit(c);
    QCOMPARE(unit.image(), sim::defaultImage(21, 0, 2));
}

void TestUnitSim::imageReplies_data()
{
    QTest::addColumn<int>("imageLength");
    QTest::addColumn<bool>("badChecksum");

    QTest::newRow("whole") << 512 << false;
    QTest::newRow("cut short") << 100 << false;
    QTest::newRow("nothing") << 0 << false;
    QTest::newRow("bad checksum") << 512 << true;
}

void TestUnitSim::imageReplies()
{
    QFETCH(int, imageLength);
    QFETCH(bool, badChecksum);

    sim::Config c;
    c.imageLength = imageLength;
    c.badChecksum = badChecksum;
    sim::Unit unit(c);
    // A changed identity in the config does not rewrite the image: "R" sends what is stored.
    auto stored = sim::defaultImage(49, 7, 1);
    stored[300] = 0xAB;
    unit.setImage(stored);
    c.firmware = 60;
    unit.setConfig(c);

    Line line(unit.slavePath());
    QByteArray got = line.ask("R", 513, 400);
    QByteArray expected = bytesOf(stored);
    if (badChecksum)
        expected[51] = char(stored[51] + 1);
    QCOMPARE(got.toHex(), expected.left(imageLength).toHex());
    QCOMPARE(unit.image(), stored); // the bad byte is only on the wire
}

void TestUnitSim::writeImage_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("stored");

    QTest::newRow("new firmware accepts") << 52 << int(']') << false << QByteArray("]") << true;
    QTest::newRow("firmware 50 is new") << 50 << int('*') << false << QByteArray("*") << true;
    QTest::newRow("new firmware silent verdict") << 52 << -1 << false << QByteArray() << true;
    QTest::newRow("new firmware refuses") << 52 << int(']') << true << QByteArray("[") << false;
    QTest::newRow("old firmware says nothing") << 49 << int(']') << false << QByteArray()
                                               << true;
    QTest::newRow("old firmware never refuses") << 21 << int(']') << true << QByteArray()
                                                << true;
}

void TestUnitSim::writeImage()
{
    QFETCH(int, firmware);
    QFETCH(int, verdict);
    QFETCH(bool, refuse);
    QFETCH(QByteArray, answer);
    QFETCH(bool, stored);

    sim::Config c;
    c.firmware = std::uint8_t(firmware);
    c.writeVerdict = verdict;
    c.refuseWrites = refuse;
    sim::Unit unit(c);
    const auto before = unit.image();
    Line line(unit.slavePath());

    QByteArray image(512, 0);
    for (int i = 0; i < 512; ++i)
        image[i] = char(255 - (i % 251));
    image[7] = 'R'; // command bytes inside the image are data
    image[8] = 'Z';
    QCOMPARE(line.ask("S" + image, 2, 400).toHex(), answer.toHex());
    QCOMPARE(unit.image(), stored ? arrayOf(image) : before);

    // The round trip: "R" gives back what the unit keeps.
    QCOMPARE(line.ask("R", 512).toHex(), bytesOf(unit.image()).toHex());
    QCOMPARE(vec(unit.received()), "S" + image + "R");
}

void TestUnitSim::cutImageIsDropped()
{
    sim::Unit unit;
    const auto before = unit.image();
    Line line(unit.slavePath());
    QVERIFY(line.send("S" + QByteArray(100, 'Z')));
    // While the image is due the bytes are data ...
    QCOMPARE(line.take(1, 300), QByteArray());
    // ... until the unit gives up on it; the part never becomes the image.
    QTest::qWait(2300);
    QCOMPARE(line.ask("Z", 1), QByteArray("V"));
    QCOMPARE(unit.image(), before);
}

void TestUnitSim::configChangesWhileServing()
{
    sim::Unit unit;
    Line line(unit.slavePath());
    QCOMPARE(line.ask("U", 1), QByteArray("W"));
    sim::Config c = unit.config();
    c.answerToStart = 'X';
    c.readings = {{1, 2, 3, 0xFFFF, 0x1234, 0}};
    unit.setConfig(c);
    QCOMPARE(unit.config().answerToStart, int('X'));
    QCOMPARE(line.ask("U", 1), QByteArray("X"));
    QCOMPARE(line.ask("\x10", 12).toHex(), QByteArray("000100020003ffff12340000"));
    unit.clearReceived();
    QCOMPARE(line.ask("Z", 1), QByteArray("V"));
    QCOMPARE(vec(unit.received()), QByteArray("Z"));
}

void TestUnitSim::upload_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("count1");
    QTest::addColumn<int>("count2");
    QTest::addColumn<int>("ackExtra");

    QTest::newRow("PPK1 and PPK2") << 0x60 << 2 << 3 << 1;
    QTest::newRow("PPK2 only") << 0x60 << 0 << 2 << 0;
    QTest::newRow("no blocks") << 0x60 << 0 << 0 << 1;
    QTest::newRow("siren") << 0x70 << 3 << 0 << 4;
    QTest::newRow("siren no blocks") << 0x70 << 0 << 0 << 1;
}

void TestUnitSim::upload()
{
    QFETCH(int, command);
    QFETCH(int, count1);
    QFETCH(int, count2);
    QFETCH(int, ackExtra);

    sim::Config c;
    c.ackExtra = ackExtra;
    sim::Unit unit(c);
    Line line(unit.slavePath());

    // A previous upload is forgotten when the next one starts.
    QCOMPARE(line.ask("\x70", 1), QByteArray("U"));
    QCOMPARE(line.ask(counts({1}), 1), QByteArray("T"));
    QCOMPARE(line.ask(block(99), int(ack(ackExtra).size())), ack(ackExtra));
    QCOMPARE(unit.count(2), 1);

    const bool two = command == 0x60;
    QCOMPARE(line.ask(QByteArray(1, char(command)), 1), QByteArray("U"));
    QCOMPARE(line.ask(two ? counts({count1, count2}) : counts({count1}), 1), QByteArray("T"));

    QByteArray first, second;
    for (int i = 0; i < count1 + (two ? count2 : 0); ++i) {
        QByteArray b = block(i);
        (i < count1 ? first : second) += b;
        QCOMPARE(line.ask(b, int(ack(ackExtra).size())).toHex(), ack(ackExtra).toHex());
    }
    // Nothing follows the last acknowledgement.
    QCOMPARE(line.take(1, 200), QByteArray());
    // Back to commands once the last block is in.
    QCOMPARE(line.ask("Z", 1), QByteArray("V"));

    const int firstFile = two ? 0 : 2;
    QCOMPARE(unit.count(firstFile), count1);
    QCOMPARE(unit.count(1), two ? count2 : 0);
    QCOMPARE(vec(unit.sound(firstFile)), first);
    QCOMPARE(vec(unit.sound(1)), second);
    if (two)
        QCOMPARE(vec(unit.sound(2)), QByteArray());
    else
        QCOMPARE(vec(unit.sound(0)), QByteArray());
    QCOMPARE(unit.blocksReceived(), count1 + (two ? count2 : 0));
}

void TestUnitSim::uploadAcknowledgementWork()
{
    sim::Config c;
    c.blockWorkMs = 150;
    sim::Unit unit(c);
    Line line(unit.slavePath());
    QCOMPARE(line.ask("\x70", 1), QByteArray("U"));
    QCOMPARE(line.ask(counts({1}), 1), QByteArray("T"));
    QCOMPARE(line.ask(block(1), 2, 1000), QByteArray("U\0", 2));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(line.take(1, 2000), QByteArray(1, char(0xFF)));
    QVERIFY2(clock.elapsed() >= 100, qPrintable(QString::number(clock.elapsed())));
}

void TestUnitSim::abandonedUploadReturnsToCommands()
{
    sim::Unit unit;
    Line line(unit.slavePath());
    QCOMPARE(line.ask("\x60", 1), QByteArray("U"));
    QCOMPARE(line.ask(counts({2, 0}), 1), QByteArray("T"));
    QCOMPARE(line.ask(block(1), 3), ack(1));
    QVERIFY(line.send(block(2).left(200)));
    QCOMPARE(line.take(1, 300), QByteArray()); // still data
    QTest::qWait(2300);
    QCOMPARE(line.ask("Z", 1), QByteArray("V"));
    QCOMPARE(unit.blocksReceived(), 1);
    QCOMPARE(vec(unit.sound(0)), block(1));
}

void TestUnitSim::stallMidUpload()
{
    sim::Config c;
    c.stallAfterBlocks = 1;
    sim::Unit unit(c);
    Line line(unit.slavePath());
    QCOMPARE(line.ask("\x60", 1), QByteArray("U"));
    QCOMPARE(line.ask(counts({1, 2}), 1), QByteArray("T"));
    QCOMPARE(line.ask(block(1), 3), ack(1));
    // The second block gets no answer, nor does anything after it, not even after the
    // silence that would end an upload; the line stays up.
    QCOMPARE(line.ask(block(2), 1, 300), QByteArray());
    QTest::qWait(2300);
    QCOMPARE(line.ask("Z", 1, 300), QByteArray());
    QVERIFY(!line.hungUp);
    QCOMPARE(unit.blocksReceived(), 1);
    QCOMPARE(vec(unit.received()).size(), 1 + 4 + 512 + 512 + 1);

    // A new config wakes it.
    c.stallAfterBlocks = -1;
    unit.setConfig(c);
    QCOMPARE(line.ask("Z", 1), QByteArray("V"));
}

void TestUnitSim::hangupMidUpload_data()
{
    QTest::addColumn<bool>("byCall");
    QTest::newRow("after blocks") << false;
    QTest::newRow("hangup()") << true;
}

void TestUnitSim::hangupMidUpload()
{
    QFETCH(bool, byCall);
    sim::Config c;
    if (!byCall)
        c.hangupAfterBlocks = 1;
    sim::Unit unit(c);
    Line line(unit.slavePath());
    QCOMPARE(line.ask("\x60", 1), QByteArray("U"));
    QCOMPARE(line.ask(counts({3, 0}), 1), QByteArray("T"));
    QCOMPARE(line.ask(block(1), 3), ack(1));
    if (byCall)
        unit.hangup();
    line.send(block(2));
    QCOMPARE(line.take(1, 2000), QByteArray());
    QVERIFY(line.hungUp);
    QCOMPARE(unit.blocksReceived(), 1);
}

void TestUnitSim::linkMadeAndRemoved()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/a/b/ports";
    {
        sim::Unit first;
        sim::Unit unit;
        QVERIFY(first.link(4, folder.toStdString()));
        const QString path = folder + "/COM4";
        QCOMPARE(QFileInfo(path).symLinkTarget(), QString::fromStdString(first.slavePath()));

        // A later unit takes the name over.
        QVERIFY(unit.link(4, folder.toStdString()));
        QCOMPARE(QFileInfo(path).symLinkTarget(), QString::fromStdString(unit.slavePath()));
        // The first one's unlink leaves the new owner's link alone.
        first.unlink();
        QVERIFY(QFileInfo(path).isSymLink());

        Line line(path.toStdString());
        QCOMPARE(line.ask("Z", 1), QByteArray("V"));

        unit.unlink();
        QVERIFY(!QFileInfo::exists(path) && !QFileInfo(path).isSymLink());
        QVERIFY(unit.link(4, folder.toStdString()));
        QVERIFY(QFileInfo(path).isSymLink());
    }
    // The destructor removes the link.
    QVERIFY(!QFileInfo(folder + "/COM4").isSymLink());

    // A stale file in the way is replaced.
    QFile stale(folder + "/COM9");
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    sim::Unit unit;
    QVERIFY(unit.link(9, folder.toStdString()));
    QCOMPARE(QFileInfo(folder + "/COM9").symLinkTarget(), QString::fromStdString(unit.slavePath()));
}

void TestUnitSim::linkRefusedWhereFolderIsAFile()
{
    QTemporaryDir dir;
    QFile file(dir.path() + "/ports");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    sim::Unit unit;
    QVERIFY(!unit.link(1, (dir.path() + "/ports").toStdString()));
    QVERIFY(!unit.link(1, (dir.path() + "/ports/deeper").toStdString()));
    // A directory where the link would go.
    QVERIFY(QDir(dir.path()).mkpath("p/COM2"));
    QVERIFY(!unit.link(2, (dir.path() + "/p").toStdString()));
    QVERIFY(QFileInfo(dir.path() + "/p/COM2").isDir());
}

void TestUnitSim::pacedImageTakesWireTime()
{
    sim::Config c;
    c.paced = true;
    sim::Unit unit(c);
    Line line(unit.slavePath());
    QCOMPARE(line.ask("Z", 1), QByteArray("V"));
    QElapsedTimer clock;
    clock.start();
    QByteArray image = line.ask("R", 512, 3000);
    const qint64 ms = clock.elapsed();
    QCOMPARE(image, bytesOf(unit.image()));
    QVERIFY2(ms >= 44, qPrintable(QString::number(ms)));
}

void TestUnitSim::pacedBlockTakesWireTime()
{
    sim::Config c;
    c.paced = true;
    sim::Unit unit(c);
    Line line(unit.slavePath());
    QCOMPARE(line.ask("\x70", 1), QByteArray("U"));
    QCOMPARE(line.ask(counts({1}), 1), QByteArray("T"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(line.ask(block(5), 1, 3000), QByteArray("U"));
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms >= 44, qPrintable(QString::number(ms)));
    QCOMPARE(line.take(2), QByteArray("\0\xFF", 2));
    QCOMPARE(vec(unit.sound(2)), block(5));
}

void TestUnitSim::slowReplyDribbles_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("burst");
    QTest::newRow("a byte every 20 ms") << 20 << 1;
    QTest::newRow("bursts of 4, 80 ms apart") << 20 << 4;
    QTest::newRow("bursts of 5, the last one short") << 20 << 5;
}

void TestUnitSim::slowReplyDribbles()
{
    QFETCH(int, ms);
    QFETCH(int, burst);
    sim::Config c;
    c.slowMs = ms;
    c.slowBurst = burst;
    sim::Unit unit(c);
    Line line(unit.slavePath());

    // When each byte of the telemetry reply arrived, counted from before the command went out.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(line.send("\x10"));
    QByteArray got;
    QList<qint64> at;
    while (got.size() < 12 && clock.elapsed() < 5000) {
        const QByteArray part = line.take(12 - int(got.size()), 20);
        got += part;
        for (qsizetype i = 0; i < part.size(); ++i)
            at.append(clock.elapsed());
    }
    QCOMPARE(got.toHex(), QByteArray("0200025802bc032001f40960"));
    // The unit keeps to its deadlines: no byte comes before its burst is due, and the first
    // one is as late as the others.
    for (int k = 0; k < 12; ++k) {
        const qint64 due = qint64(k / burst + 1) * burst * ms;
        QVERIFY2(at[k] >= due - 1, qPrintable(QStringLiteral("byte %1 at %2 ms, due at %3 ms")
                                                    .arg(k).arg(at[k]).arg(due)));
    }
    // And it does send them spread out rather than all at the end.
    const qint64 span = qint64((11 / burst) * burst * ms);
    QVERIFY2(at[11] - at[0] >= span / 2, qPrintable(QString::number(at[11] - at[0])));
    // The slow reply is the whole reply: the next command is answered after it.
    QCOMPARE(line.ask("Z", 2, 1000), QByteArray("V"));
}

void TestUnitSim::destructorReturns_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("idle") << "idle";
    QTest::newRow("idle, line held open") << "held";
    QTest::newRow("in a block's long work") << "work";
    QTest::newRow("paced, in the middle of an image") << "paced";
    QTest::newRow("slow, waiting to send a byte") << "slow";
    QTest::newRow("stalled") << "stalled";
    QTest::newRow("hung up") << "hungup";
}

void TestUnitSim::destructorReturns()
{
    QFETCH(QString, state);
    sim::Config c;
    c.blockWorkMs = 600000;
    c.paced = state == "paced";
    c.stallAfterBlocks = state == "stalled" ? 0 : -1;
    c.slowMs = state == "slow" ? 600000 : 0;
    auto unit = std::make_unique<sim::Unit>(c);
    std::string path = unit->slavePath();
    std::unique_ptr<Line> line;
    if (state != "idle")
        line = std::make_unique<Line>(path);
    if (state == "work" || state == "stalled") {
        QCOMPARE(line->ask("\x70", 1), QByteArray("U"));
        QCOMPARE(line->ask(counts({2}), 1), QByteArray("T"));
        line->send(block(1));
        if (state == "work")
            QCOMPARE(line->take(2), QByteArray("U\0", 2));
    } else if (state == "paced") {
        line->send("RRRRRRRR");
        QCOMPARE(line->take(10).size(), 10);
    } else if (state == "hungup") {
        unit->hangup();
    } else if (state == "slow") {
        line->send("R");
        QCOMPARE(line->take(1, 100).size(), 0);
    }
    QElapsedTimer clock;
    clock.start();
    unit.reset();
    // Not a speed goal: a destructor that waited for the work or the wire would take minutes.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    if (line) {
        line->take(100000, 500);
        QVERIFY(line->hungUp);
    }
}

void TestUnitSim::executable()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/ports";
    const QString link = folder + "/COM7";

    QProcess help;
    help.start(UNITSIM_PATH, {"--help"});
    QVERIFY(help.waitForFinished(5000));
    QCOMPARE(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char* s : {"--com", "--folder", "--firmware", "--paced", "--slow", "--slow-ms",
                          "--slow-burst", "--silent",
                          "--answer-start", "--refuse-writes", "--bad-checksum",
                          "--image-length", "--telemetry-length", "--stall-after",
                          "--hangup-after"})
        QVERIFY2(text.contains(s), s);

    for (const QStringList& args : {QStringList{"--no-such-switch"}, QStringList{"--slow-ms", "0"},
                                    QStringList{"--slow-burst", "0"}}) {
        QProcess bad;
        bad.start(UNITSIM_PATH, args);
        QVERIFY(bad.waitForFinished(5000));
        QVERIFY2(bad.exitCode() != 0, qPrintable(args.join(' ')));
    }

    QProcess proc;
    proc.start(UNITSIM_PATH, {"--com", "7", "--folder", folder, "--firmware", "49",
                              "--answer-start", "Q"});
    QVERIFY(proc.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
    QString out;
    QTRY_VERIFY_WITH_TIMEOUT((out += QString::fromLocal8Bit(proc.readAllStandardOutput()))
                                 .count('\n') >= 2,
                             5000);
    QVERIFY2(out.contains(QFileInfo(link).symLinkTarget()), qPrintable(out));
    QVERIFY2(out.contains(link), qPrintable(out));

    {
        Line line(link.toStdString());
        QVERIFY(line.isOpen());
        QCOMPARE(line.ask("U", 1), QByteArray("Q"));
        QByteArray image = line.ask("R", 512);
        QCOMPARE(image.size(), 512);
        QCOMPARE(int(image[0]), 49);
    }

    ::kill(pid_t(proc.processId()), SIGINT);
    QVERIFY(proc.waitForFinished(5000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    // The default folder follows XDG_DATA_HOME; SIGTERM ends it as well.  This one is slow.
    QProcess xdg;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dir.path() + "/data");
    xdg.setProcessEnvironment(env);
    xdg.start(UNITSIM_PATH, {"--slow-ms", "40", "--slow-burst", "2"});
    const QString xdgLink = dir.path() + "/data/virelan2/ports/COM1";
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(xdgLink).isSymLink(), 5000);
    {
        Line line(xdgLink.toStdString());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(line.ask("U", 1), QByteArray("W"));
        QVERIFY2(clock.elapsed() >= 79, qPrintable(QString::number(clock.elapsed())));
    }
    xdg.terminate();
    QVERIFY(xdg.waitForFinished(5000));
    QCOMPARE(xdg.exitCode(), 0);
    QVERIFY(!QFileInfo(xdgLink).isSymLink());
}

QTEST_GUILESS_MAIN(TestUnitSim)
#include "test_unitsim.moc"
