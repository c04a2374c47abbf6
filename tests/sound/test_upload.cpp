// Uploading the voice messages and the siren sound to a simulated unit on a pseudo-terminal,
// with the window driven as the operator drives it: the buttons, the file dialog, Esc, the
// port list and the window's close button in the middle of a transfer.
#include "link/channel.h"
#include "link/session.h"
#include "link/commands.h"
#include "settings/image.h"
#include "tests/sound/wavfile.h"
#include "tests/support/fixture.h"
#include "ui/codepage.h"
#include "ui/opendialog.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStringDecoder>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

using Bytes = std::vector<std::uint8_t>;
using namespace wavfile;

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(sim::Config)

namespace {

constexpr int Siren = 2; // the unit's sound index of the siren
constexpr int OldFirmware = 40;
const QString Reconnect = QStringLiteral(" Связь с устройством прервана, переподключите блок");

Bytes bytes(const QByteArray& a)
{
    return Bytes(a.begin(), a.end());
}

// The lines the log gives a chosen file: its own and the seven facts under it.
constexpr int FileLines = 8;

// The lines the log gives a chosen file before anything is sent: the file, then what its
// header says (plain lines).
QStringList facts(const QString& sound, const QString& path, const QStringList& lines)
{
    return QStringList{QStringLiteral(" Файл ") + sound + QStringLiteral(": ") + path} + lines;
}

// A canonical file of 8 kHz, 8-bit mono PCM with this many bytes of sound.
QStringList pcmfacts(const QString& duration, const QString& blocks, const QString& line)
{
    return {QStringLiteral("  формат: PCM"), QStringLiteral("  частота дискретизации: 8000 Гц"),
            QStringLiteral("  разрядность: 8 бит"), QStringLiteral("  каналов: 1"),
            QStringLiteral("  длительность: ") + duration, QStringLiteral("  блоков: ") + blocks,
            QStringLiteral("  время записи на линии 115200 бод: ") + line};
}

QString pngdir(const fixture::Scratch& s)
{
    return qEnvironmentVariable("V2_PNG_DIR", s.path());
}

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsAtTheirPlaces();
    void sirenOfAMillionBytes();
    void messagesGoInOrderFromTheirDataChunks();
    void underOneBlockSendsCountZero_data();
    void underOneBlockSendsCountZero();
    void progressSteps_data();
    void progressSteps();
    void factsBeforeUpload_data();
    void factsBeforeUpload();
    void refusedFilesSendNothing_data();
    void refusedFilesSendNothing();
    void cancelledFirstDialog_data();
    void cancelledFirstDialog();
    void missingFirstFile_data();
    void missingFirstFile();
    void missingPpk2ClosesPpk1();
    void unitFailsMidUpload_data();
    void unitFailsMidUpload();
    void slowUnitIsWaitedFor();
    void escapeStopsAtABlockBoundary();
    void closingStopsCleanlyThenCloses();
    void stopWithTheLastBlockComesTooLate_data();
    void stopWithTheLastBlockComesTooLate();
    void settingsReadBackAfterSuccess();
    void telemetryTimerPausedAndResumed_data();
    void telemetryTimerPausedAndResumed();
    void stoppedUploadLeavesPollsOff();
    void nothingElseCanStartMidUpload();

private:
    std::unique_ptr<fixture::Scratch> scratch;
    std::unique_ptr<fixture::Modals> modals;
    std::unique_ptr<sim::Unit> unit;
    std::unique_ptr<TForm1> form;

    void connectUnit(sim::Config config = {});
    QString wavfile(const QString& name, const QByteArray& bytes);
    // Presses an upload button, answering its dialogs with these files; returns the log lines
    // it added, without their time prefix.
    QStringList upload(QPushButton* button, const QStringList& files);
    // Runs `act` once, between two blocks, as soon as the unit has this many blocks.
    void duringUpload(int afterBlocks, std::function<void()> act);
    void verifyIdleAfterwards();
    void verifyBrokenOff(const QStringList& log, const QString& why);
    QList<QPushButton*> operationButtons() const;
};

void TestUpload::init()
{
    scratch = std::make_unique<fixture::Scratch>();
    modals = std::make_unique<fixture::Modals>();
}

void TestUpload::cleanup()
{
    form.reset();
    unit.reset();
    modals.reset();
    scratch.reset();
}

void TestUpload::connectUnit(sim::Config config)
{
    unit = fixture::unitOn(1, config);
    form = std::make_unique<TForm1>();
    fixture::connectWindow(*form, *unit, 1);
}

QString TestUpload::wavfile(const QString& name, const QByteArray& content)
{
    const QString path = scratch->file(name);
    fixture::writeFile(path, content);
    return path;
}

QStringList TestUpload::upload(QPushButton* button, const QStringList& files)
{
    for (const QString& f : files)
        modals->files.push_back(f);
    const int from = int(form->Memo1->count());
    QTest::mouseClick(button, Qt::LeftButton);
    return fixture::untimed(fixture::linesFrom(*form, from));
}

void TestUpload::duringUpload(int afterBlocks, std::function<void()> act)
{
    auto* t = new QTimer(form.get());
    t->setInterval(1);
    connect(t, &QTimer::timeout, form.get(), [this, t, afterBlocks, act] {
        if (!form->uploading || unit->blocksReceived() < afterBlocks)
            return;
        t->stop();
        act();
        t->deleteLater();
    });
    t->start();
}

QList<QPushButton*> TestUpload::operationButtons() const
{
    return {form->Button1,  form->Button4, form->Button5, form->Button6, form->Button8,
            form->Button15, form->Button7, form->Button9, form->Button12};
}

// After any upload, finished or not: the buttons are back, the bar is at 0, the files closed.
void TestUpload::verifyIdleAfterwards()
{
    QVERIFY(!form->uploading);
    for (QPushButton* b : operationButtons())
        QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(form->ProgressBar1->value(), 0);
    QVERIFY(!link::soundfile1().isOpen());
    QVERIFY(!link::soundfile2().isOpen());
}

// After an upload that stopped halfway the unit may still take bytes as sound: the tool says so
// right after the reason, counts as not connected, and "Запись", "Читать" and both uploads send
// it nothing until the operator connects again.
void TestUpload::verifyBrokenOff(const QStringList& log, const QString& why)
{
    QCOMPARE(log.mid(log.size() - 2), (QStringList{why, Reconnect}));
    QVERIFY(!link::connected());
    const std::size_t sent = unit->received().size();
    const int dialogs = modals->dialogs;
    // A field the operator changed meanwhile must not reach the unit either.
    form->Edit5->setText(QStringLiteral("7"));
    for (QPushButton* b : {form->Button4, form->Button5, form->Button6, form->Button8}) {
        b->setVisible(true);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QCOMPARE(modals->dialogs, dialogs);
    QTest::qWait(50);
    QCOMPARE(unit->received().size(), sent);
}

void TestUpload::controlsAtTheirPlaces()
{
    connectUnit();
    QCOMPARE(form->Button6->text(), QStringLiteral("Запись ППК1 и ППК2"));
    QCOMPARE(form->Button6->geometry(), QRect(592, 206, 120, 25));
    QVERIFY(form->Button6->isVisible());
    QCOMPARE(form->Button8->text(), QStringLiteral("Запись сирены"));
    QCOMPARE(form->Button8->geometry(), QRect(592, 236, 120, 25));
    QVERIFY(!form->Button8->isVisible()); // new firmware: no siren upload
    QCOMPARE(form->ProgressBar1->geometry(), QRect(587, 266, 130, 17));
    QCOMPARE(form->ProgressBar1->minimum(), 0);
    QCOMPARE(form->ProgressBar1->maximum(), 100);
    QCOMPARE(form->ProgressBar1->value(), 0);
    // Inside the frame "Звуковые сообщения", above the volume bar.
    QVERIFY(form->Bevel11->geometry().contains(form->Button6->geometry()));
    QVERIFY(form->Bevel11->geometry().contains(form->ProgressBar1->geometry()));
    QVERIFY(form->ProgressBar1->geometry().bottom() < form->TrackBar3->geometry().top());
    QVERIFY(form->OpenDialog1);
}

void TestUpload::sirenOfAMillionBytes()
{
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    QVERIFY(form->Button8->isVisible());
    const QByteArray data = sound(1000000);
    const QString path = wavfile("siren.wav", canonical(data));
    const QStringList log = upload(form->Button8, {path});

    const Bytes got = unit->received();
    QVERIFY(got.size() > 3);
    QCOMPARE(Bytes(got.begin(), got.begin() + 3), (Bytes{0x70, 0x07, 0xA1}));
    QCOMPARE(unit->count(Siren), 1953);
    QCOMPARE(unit->sound(Siren), bytes(data.left(1953 * 512))); // the last 64 bytes stay home
    QCOMPARE(got.size(), std::size_t(3 + 1953 * 512 + 1));
    QCOMPARE(got.back(), std::uint8_t('R'));
    QCOMPARE(modals->dialogs, 1);
    QCOMPARE(log, (QStringList{" Открытие SIREN.WAV"}
                   + facts("SIREN.WAV", path, pcmfacts("125,000 с (2:05)", "1953", "87,1 с (1:27)"))
                   + QStringList{" Соединение с устройством ...", " Успешно", " Запись SIREN", " Успешно",
                                 " Ждите...", " Прочитано"}));
    verifyIdleAfterwards();
}

void TestUpload::messagesGoInOrderFromTheirDataChunks()
{
    connectUnit();
    const QByteArray one = sound(3 * 512 + 100, 1);
    const QByteArray two = sound(2 * 512, 2);
    const QString f1 = wavfile("first.wav", canonical(one));
    const QString f2 = wavfile("second.wav", withlist(two));
    const QStringList log = upload(form->Button6, {f1, f2});

    const Bytes got = unit->received();
    QVERIFY(got.size() > 5);
    QCOMPARE(Bytes(got.begin(), got.begin() + 5), (Bytes{0x60, 0, 3, 0, 2}));
    QCOMPARE(unit->sound(0), bytes(one.left(3 * 512)));
    QCOMPARE(unit->sound(1), bytes(two)); // nothing of the LIST chunk
    QCOMPARE(got.size(), std::size_t(5 + 5 * 512 + 1));
    QCOMPARE(modals->dialogs, 2);
    QCOMPARE(form->OpenDialog1->InitialDir, scratch->path());
    QCOMPARE(log, (QStringList{" Открытие PPK1.WAV"}
                   + facts("PPK1.WAV", f1, pcmfacts("0,205 с", "3", "0,1 с"))
                   + QStringList{" Открытие PPK2.WAV"}
                   + facts("PPK2.WAV", f2, pcmfacts("0,128 с", "2", "0,1 с"))
                   + QStringList{" Соединение с устройством...", " Успешно", " Запись PPK1", " Записано",
                                 " Запись PPK2", " Записано", " Ждите...", " Прочитано"}));
    verifyIdleAfterwards();
}

void TestUpload::underOneBlockSendsCountZero_data()
{
    QTest::addColumn<bool>("siren");
    QTest::addColumn<Bytes>("sent");
    QTest::newRow("siren") << true << Bytes{0x70, 0, 0, 'R'};
    QTest::newRow("messages") << false << Bytes{0x60, 0, 0, 0, 0, 'R'};
}

void TestUpload::underOneBlockSendsCountZero()
{
    QFETCH(bool, siren);
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    const QString f = wavfile("short.wav", canonical(sound(511)));
    const QStringList log = upload(siren ? form->Button8 : form->Button6,
                                   siren ? QStringList{f} : QStringList{f, f});
    // The "T" came (the unit sends it after the counts), no block, then the read-back.
    QTEST(unit->received(), "sent");
    QVERIFY(log.contains(QStringLiteral(" Ждите...")));
    QCOMPARE(log.count(QStringLiteral(" Успешно")), siren ? 2 : 1);
    verifyIdleAfterwards();
}

void TestUpload::progressSteps_data()
{
    QTest::addColumn<bool>("siren");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("top");      // where the bar ends for this file
    QTest::addColumn<int>("topAfter"); // the block after which it got there
    QTest::newRow("siren, 40 blocks: step 0") << true << 40 << 40 << 40;
    QTest::newRow("siren, 199 blocks: step 1") << true << 199 << 100 << 100;
    QTest::newRow("siren, 250 blocks: step 2") << true << 250 << 100 << 200;
    QTest::newRow("PPK1, 250 blocks: step 2") << false << 250 << 100 << 200;
}

void TestUpload::progressSteps()
{
    QFETCH(bool, siren);
    QFETCH(int, blocks);
    QFETCH(int, top);
    QFETCH(int, topAfter);
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    const int step = blocks / 100;
    struct Seen {
        int value, blocks;
    };
    QList<Seen> seen;
    const auto watch = connect(form->ProgressBar1, &QProgressBar::valueChanged, form.get(),
                               [&](int v) { seen.append({v, unit->blocksReceived()}); });

    const QString f = wavfile("s.wav", canonical(sound(qint64(blocks) * 512)));
    const QString empty = wavfile("e.wav", canonical({}));
    upload(siren ? form->Button8 : form->Button6, siren ? QStringList{f} : QStringList{f, empty});
    disconnect(watch);

    QVERIFY(!seen.isEmpty());
    int max = 0, reachedAt = -1;
    for (const Seen& s : seen) {
        if (s.value == 0)
            continue;
        // Step 0 moves the bar every block; step n every n blocks, never past 100.
        QCOMPARE(s.value, std::min(100, s.blocks / std::max(step, 1)));
        if (s.value > max) {
            max = s.value;
            reachedAt = s.blocks;
        }
    }
    QCOMPARE(max, top);
    QCOMPARE(reachedAt, topAfter);
    QCOMPARE(seen.last().value, 0); // set back at the end
    QCOMPARE(seen.last().blocks, blocks);
    verifyIdleAfterwards();
}

void TestUpload::factsBeforeUpload_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("blocks"); // what the unit then gets: the upload goes on whatever it is

    QTest::newRow("PCM") << canonical(sound(8000 * 3 + 100))
                         << pcmfacts("3,013 с", "47", "2,1 с") << 47;
    // Float samples, stereo, 44.1 kHz: said, and sent all the same.
    QByteArray f(16, '\0');
    qToLittleEndian(quint16(3), f.data());
    qToLittleEndian(quint16(2), f.data() + 2);
    qToLittleEndian(quint32(44100), f.data() + 4);
    qToLittleEndian(quint32(352800), f.data() + 8);
    qToLittleEndian(quint16(8), f.data() + 12);
    qToLittleEndian(quint16(32), f.data() + 14);
    QTest::newRow("not PCM") << riff(chunk("fmt ", f) + chunk("data", sound(352800 / 2)))
                             << QStringList{"  формат: код 3 (не PCM)", "  частота дискретизации: 44100 Гц",
                                            "  разрядность: 32 бит", "  каналов: 2", "  длительность: 0,500 с",
                                            "  блоков: 344", "  время записи на линии 115200 бод: 15,3 с"}
                             << 344;
    QTest::newRow("no fmt chunk") << riff(chunk("data", sound(2048)))
                                  << QStringList{"  формат: неизвестно", "  частота дискретизации: неизвестно",
                                                 "  разрядность: неизвестно", "  каналов: неизвестно",
                                                 "  длительность: неизвестно", "  блоков: 4",
                                                 "  время записи на линии 115200 бод: 0,2 с"}
                                  << 4;
    // A genuine file under one block goes as it always has: counts of 0, and no block.
    QTest::newRow("under one block") << canonical(sound(400))
                                     << pcmfacts("0,050 с", "0 (звука меньше блока: в блок он не попадёт)", "0,0 с")
                                     << 0;
}

void TestUpload::factsBeforeUpload()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, lines);
    QFETCH(int, blocks);
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    const QString path = wavfile("siren.wav", file);
    const int from = int(form->Memo1->count());
    const QStringList log = upload(form->Button8, {path});
    QCOMPARE(log.mid(0, 2 + lines.size()), (QStringList{" Открытие SIREN.WAV"} + facts("SIREN.WAV", path, lines)));
    QCOMPARE(log.value(2 + lines.size()), QStringLiteral(" Соединение с устройством ..."));
    QCOMPARE(unit->count(Siren), blocks);
    QCOMPARE(int(unit->sound(Siren).size()), blocks * 512);
    QVERIFY(form->grab().save(pngdir(*scratch) + QStringLiteral("/upload-facts-%1.png")
                                                     .arg(QString::fromLatin1(QTest::currentDataTag())
                                                              .replace(QLatin1Char(' '), QLatin1Char('-')))));
    // The file's line has the time; the facts under it are plain lines, every character of
    // them in the log file's code page.
    const QStringList raw = fixture::linesFrom(*form, from);
    QVERIFY(raw[1] != log[1]);
    for (int i = 2; i < 2 + lines.size(); ++i) {
        QCOMPARE(raw[i], log[i]);
        for (QChar ch : raw[i]) {
            unsigned char b = 0;
            QVERIFY2(codepage::tobyte(ch.unicode(), &b), qPrintable(raw[i]));
        }
    }
    verifyIdleAfterwards();
}

void TestUpload::refusedFilesSendNothing_data()
{
    QTest::addColumn<int>("which"); // 0 PPK1, 1 PPK2, 2 siren: the file that is refused
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("line");
    QByteArray notWave = canonical(sound(2048));
    notWave.replace(8, 4, "AVI ");
    QTest::newRow("siren: not RIFF/WAVE") << 2 << notWave
                                          << " Файл SIREN.WAV не принят: это не звуковой файл WAV";
    QTest::newRow("siren: raw sound, no header") << 2 << sound(4096)
                                          << " Файл SIREN.WAV не принят: это не звуковой файл WAV";
    QTest::newRow("siren: no data chunk") << 2 << riff(fmt())
                                          << " Файл SIREN.WAV не принят: в нём нет звуковых данных";
    QTest::newRow("siren: less data than stated")
        << 2 << canonical(sound(1024), 2048)
        << " Файл SIREN.WAV не принят: звуковых данных в нём меньше, чем указано в заголовке "
           "(указано 2048 байт, в файле 1024)";
    // Written as a stream, its length never filled in: refused for what it lacks, not for the
    // count that length would need.
    QTest::newRow("siren: streamed, length 0xFFFFFFFF")
        << 2 << canonical(sound(5000), 0xFFFFFFFFLL)
        << " Файл SIREN.WAV не принят: звуковых данных в нём меньше, чем указано в заголовке "
           "(указано 4294967295 байт, в файле 5000)";
    QTest::newRow("siren: streamed, length 2^31")
        << 2 << canonical(sound(5000), 0x80000000LL)
        << " Файл SIREN.WAV не принят: звуковых данных в нём меньше, чем указано в заголовке "
           "(указано 2147483648 байт, в файле 5000)";
    // It would send no block and report success.
    QTest::newRow("siren: streamed, length 0 with sound after it")
        << 2 << canonical(sound(5000), 0)
        << " Файл SIREN.WAV не принят: в заголовке длина звука 0, а за ним в файле ещё 5000 байт "
           "(длина звука не записана в заголовок)";
    // The file is made that long (sparse) below, so that only the count can refuse it.
    QTest::newRow("siren: more than 65535 blocks")
        << 2 << canonical({}, 65536LL * 512) << " Файл SIREN.WAV не принят: звук длиннее 65535 блоков";
    QTest::newRow("PPK1: no data chunk") << 0 << riff(fmt())
                                         << " Файл PPK1.WAV не принят: в нём нет звуковых данных";
    QTest::newRow("PPK2: less data than stated")
        << 1 << canonical(sound(1024), 2048)
        << " Файл PPK2.WAV не принят: звуковых данных в нём меньше, чем указано в заголовке "
           "(указано 2048 байт, в файле 1024)";
    QTest::newRow("PPK1: streamed, length 0 with sound after it")
        << 0 << canonical(sound(700), 0)
        << " Файл PPK1.WAV не принят: в заголовке длина звука 0, а за ним в файле ещё 700 байт "
           "(длина звука не записана в заголовок)";
}

void TestUpload::refusedFilesSendNothing()
{
    QFETCH(int, which);
    QFETCH(QByteArray, file);
    QFETCH(QString, line);
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    const QString bad = wavfile("bad.wav", file);
    if (line.endsWith(QStringLiteral("65535 блоков")))
        QVERIFY(QFile::resize(bad, 44 + 65536LL * 512));
    const QString good = wavfile("good.wav", canonical(sound(2048)));
    QStringList log;
    if (which == 2)
        log = upload(form->Button8, {bad});
    else
        log = upload(form->Button6, which == 0 ? QStringList{bad} : QStringList{good, bad});

    QCOMPARE(log.last(), line);
    QVERIFY(!log.contains(QStringLiteral(" Соединение с устройством...")));
    QVERIFY(!log.contains(QStringLiteral(" Соединение с устройством ...")));
    QCOMPARE(modals->dialogs, which == 1 ? 2 : 1);
    QTest::qWait(50);
    QVERIFY(unit->received().empty());
    verifyIdleAfterwards();
}

void TestUpload::cancelledFirstDialog_data()
{
    QTest::addColumn<bool>("siren");
    QTest::addColumn<bool>("earlier"); // a file was chosen and uploaded before
    QTest::addColumn<QStringList>("lines");
    for (bool earlier : {false, true}) {
        const char* when = earlier ? "after an upload" : "first use";
        QTest::newRow(qPrintable(QStringLiteral("messages, %1").arg(when)))
            << false << earlier << QStringList{" Открытие PPK1.WAV", " Файл PPK1.WAV не выбран"};
        QTest::newRow(qPrintable(QStringLiteral("siren, %1").arg(when)))
            << true << earlier << QStringList{" Открытие SIREN.WAV", " Файл SIREN.WAV не выбран"};
    }
}

void TestUpload::cancelledFirstDialog()
{
    QFETCH(bool, siren);
    QFETCH(bool, earlier);
    QFETCH(QStringList, lines);
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    QPushButton* button = siren ? form->Button8 : form->Button6;
    if (earlier) {
        const QString f = wavfile("before.wav", canonical(sound(2 * 512)));
        const QStringList done = upload(button, siren ? QStringList{f} : QStringList{f, f});
        QVERIFY(done.contains(siren ? QStringLiteral(" Запись SIREN") : QStringLiteral(" Запись PPK2")));
        unit->clearReceived();
    }
    const int dialogs = modals->dialogs;
    const int from = int(form->Memo1->count());
    // A cancel uploads nothing, not even the file the dialog still offers from before.
    upload(button, {QString()}); // "" cancels
    const QStringList raw = fixture::linesFrom(*form, from);
    QCOMPARE(fixture::untimed(raw), lines);
    QVERIFY(raw[0] != lines[0] && raw[1] != lines[1]); // timed
    QCOMPARE(modals->dialogs, dialogs + 1);
    QTest::qWait(50);
    QVERIFY(unit->received().empty());
    verifyIdleAfterwards();
}

void TestUpload::missingFirstFile_data()
{
    QTest::addColumn<bool>("siren");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("messages") << false << QStringList{" Открытие PPK1.WAV", " Файл PPK1.WAV не найден"};
    // The siren's not-found line is a plain line: no time, no leading space.
    QTest::newRow("siren") << true << QStringList{" Открытие SIREN.WAV", "Файл SIREN.wav не найден"};
}

void TestUpload::missingFirstFile()
{
    QFETCH(bool, siren);
    QFETCH(QStringList, lines);
    sim::Config c;
    c.firmware = OldFirmware;
    connectUnit(c);
    const int from = int(form->Memo1->count());
    // A typed name that names no file.
    upload(siren ? form->Button8 : form->Button6, {scratch->file("nothere.wav")});
    const QStringList raw = fixture::linesFrom(*form, from);
    QCOMPARE(fixture::untimed(raw), lines);
    QCOMPARE(raw[1] == lines[1], siren);
    QTest::qWait(50);
    QVERIFY(unit->received().empty());
    verifyIdleAfterwards();
}

void TestUpload::missingPpk2ClosesPpk1()
{
    connectUnit();
    const QString f1 = wavfile("one.wav", canonical(sound(1024)));
    QStringList log = upload(form->Button6, {f1, scratch->file("nothere.wav")});
    QCOMPARE(log, (QStringList{" Открытие PPK1.WAV"} + facts("PPK1.WAV", f1, pcmfacts("0,128 с", "2", "0,1 с"))
                   + QStringList{" Открытие PPK2.WAV", " Файл PPK2.wav не найден"}));
    QVERIFY(!link::soundfile1().isOpen()); // not held until the next connect
    QVERIFY(unit->received().empty());
    verifyIdleAfterwards();

    // The next attempt finds PPK1 free and goes through.
    log = upload(form->Button6, {f1, f1});
    QVERIFY(log.contains(QStringLiteral(" Запись PPK2")));
    QCOMPARE(unit->sound(1), bytes(sound(1024)));
    verifyIdleAfterwards();
}

void TestUpload::unitFailsMidUpload_data()
{
    QTest::addColumn<sim::Config>("config");
    QTest::addColumn<int>("stored");   // blocks the unit stored
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("limitMs");  // the upload must have given up by then

    const QString silent = QStringLiteral(" Устройство не отвечает, запись прервана");
    sim::Config c;
    c.firmware = OldFirmware;

    sim::Config stall = c;
    stall.stallAfterBlocks = 3;
    QTest::newRow("stalls after 3 blocks") << stall << 3 << silent << 1000 + 2000;
    sim::Config hang = c;
    hang.hangupAfterBlocks = 3;
    QTest::newRow("hangs up after 3 blocks")
        << hang << 3 << " Связь с устройством потеряна, запись прервана" << 1000;
    sim::Config garbage = c;
    garbage.fault = sim::Fault::Garbage;
    garbage.faultOn = sim::Reply::Ack;
    garbage.faultAck = 2;
    QTest::newRow("garbage for the third block's acknowledgement")
        << garbage << 3 << silent << 1000 + 2000;
    sim::Config half = c;
    half.fault = sim::Fault::Short;
    half.faultOn = sim::Reply::Ack;
    half.faultAck = 1;
    QTest::newRow("\"U\" without 0xFF for the second block") << half << 2 << silent << 2000;
    sim::Config ready = c;
    ready.fault = sim::Fault::Silent;
    ready.faultOn = sim::Reply::Ready;
    QTest::newRow("no \"U\" after the command") << ready << 0 << silent << 1000;
    sim::Config counts = c;
    counts.fault = sim::Fault::Silent;
    counts.faultOn = sim::Reply::Counts;
    QTest::newRow("no \"T\" after the counts") << counts << 0 << silent << 5000;
}

void TestUpload::unitFailsMidUpload()
{
    QFETCH(sim::Config, config);
    QFETCH(int, stored);
    QFETCH(QString, line);
    QFETCH(int, limitMs);
    connectUnit(config);
    // Stale bytes in the receive area that a wait must not take for an answer.
    link::area[link::Rx] = cmd::Ready;
    const QString f = wavfile("siren.wav", canonical(sound(8 * 512)));
    QElapsedTimer t;
    t.start();
    const QStringList log = upload(form->Button8, {f});
    QVERIFY2(t.elapsed() < limitMs + 1500, qPrintable(QString::number(t.elapsed())));

    QVERIFY(!log.contains(QStringLiteral(" Ждите..."))); // no read-back from a unit gone astray
    QCOMPARE(int(unit->sound(Siren).size()), stored * 512);
    verifyIdleAfterwards();
    // Nothing more goes to the unit once the upload has given up.
    const std::size_t sent = unit->received().size();
    if (config.fault == sim::Fault::Silent && config.faultOn == sim::Reply::Ready)
        QCOMPARE(unit->received(), Bytes{0x70}); // no counts without the "U"
    QVERIFY(sent <= std::size_t(3 + (stored + 1) * 512));
    QTest::qWait(300);
    QCOMPARE(unit->received().size(), sent);
    verifyBrokenOff(log, line);
}

void TestUpload::slowUnitIsWaitedFor()
{
    sim::Config c;
    c.firmware = OldFirmware;
    c.blockWorkMs = 600; // the unit's own work per block, well inside the limit
    c.ackExtra = 5;
    connectUnit(c);
    const QStringList log = upload(form->Button8, {wavfile("s.wav", canonical(sound(3 * 512)))});
    QCOMPARE(unit->sound(Siren), bytes(sound(3 * 512)));
    QCOMPARE(log.mid(3 + FileLines, 2), (QStringList{" Запись SIREN", " Успешно"}));
    verifyIdleAfterwards();
}

void TestUpload::escapeStopsAtABlockBoundary()
{
    sim::Config c;
    c.firmware = OldFirmware;
    c.blockWorkMs = 2;
    connectUnit(c);
    int barMidway = -1;
    duringUpload(60, [&] {
        barMidway = form->ProgressBar1->value();
        QVERIFY(form->grab().save(pngdir(*scratch) + QStringLiteral("/upload-progress.png")));
        QTest::keyClick(form.get(), Qt::Key_Escape);
    });
    const QStringList log = upload(form->Button8, {wavfile("s.wav", canonical(sound(300 * 512)))});

    QVERIFY(barMidway > 0 && barMidway < 100);
    const int stored = int(unit->sound(Siren).size());
    QVERIFY2(stored >= 60 * 512 && stored < 300 * 512, qPrintable(QString::number(stored)));
    QCOMPARE(stored % 512, 0);
    // Stopped between two blocks: not a byte of the next block went out, and no read-back.
    QCOMPARE(int(unit->received().size()), 3 + stored);
    QVERIFY(!log.contains(QStringLiteral(" Ждите...")));
    verifyIdleAfterwards();
    QTest::qWait(100);
    QCOMPARE(int(unit->received().size()), 3 + stored);
    verifyBrokenOff(log, QStringLiteral(" Запись прервана оператором"));
}

void TestUpload::closingStopsCleanlyThenCloses()
{
    connectUnit();
    duringUpload(20, [&] { form->close(); });
    const QString f = wavfile("s.wav", canonical(sound(300 * 512)));
    const QStringList log = upload(form->Button6, {f, f});

    QVERIFY(log.contains(QStringLiteral(" Запись прервана: программа закрывается")));
    const int stored = int(unit->sound(0).size());
    QVERIFY(stored >= 20 * 512 && stored < 300 * 512);
    QCOMPARE(stored % 512, 0);
    QVERIFY(unit->sound(1).empty());
    QCOMPARE(form->ProgressBar1->value(), 0);
    QVERIFY(!link::soundfile1().isOpen());

    // Then the exit sequence runs as after any close, and the log is saved.
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(!link::isopen());
    const QStringList after = fixture::untimed(fixture::lines(*form));
    const int cancel = int(after.indexOf(QStringLiteral(" Запись прервана: программа закрывается")));
    QVERIFY(cancel >= 0);
    QCOMPARE(after.mid(cancel + 1, 2), (QStringList{Reconnect, " Выход..."}));
    QVERIFY(!after.mid(cancel).contains(QStringLiteral(" Ждите..."))); // no read-back
    // No "Z" at exit either: the unit would take it as sound.
    QVERIFY(!after.mid(cancel).contains(QStringLiteral(" OK")));
    QVERIFY(!after.mid(cancel).contains(QStringLiteral(" Ошибка")));
    QCOMPARE(int(unit->received().size()), 5 + stored);
    const QString saved = QStringDecoder("windows-1251").decode(fixture::readFile(scratch->file("log.txt")));
    QVERIFY(saved.contains(QStringLiteral(" Запись прервана: программа закрывается\r\n")));
    QVERIFY(saved.contains(QStringLiteral("-----------------------\n")));
}

void TestUpload::stopWithTheLastBlockComesTooLate_data()
{
    QTest::addColumn<bool>("close"); // the window's close, or Esc
    QTest::newRow("Esc") << false;
    QTest::newRow("close") << true;
}

// The operator asks for a stop while the last block is on its way: the window hears it only
// once the unit has answered that block, and by then the sound is stored.  The upload has
// succeeded, and says so; the unit is still connected.
void TestUpload::stopWithTheLastBlockComesTooLate()
{
    QFETCH(bool, close);
    sim::Config c;
    c.blockWorkMs = 300; // the unit has the block this long before it answers
    connectUnit(c);
    const QByteArray one = sound(3 * 512, 1), two = sound(2 * 512, 2);
    const QString f1 = wavfile("ppk1.wav", canonical(one));
    const QString f2 = wavfile("ppk2.wav", canonical(two));

    // The request is made from outside the window's thread the moment the unit has the last
    // block, as a key press or a click on the close button would be queued then.
    std::atomic<bool> asked{false};
    TForm1* const f = form.get();
    std::thread watcher([&] {
        QElapsedTimer t;
        t.start();
        while (unit->blocksReceived() < 5 && t.elapsed() < 20000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QMetaObject::invokeMethod(f, [f, close] {
            if (close)
                f->close();
            else
                QTest::keyClick(f, Qt::Key_Escape);
        }, Qt::QueuedConnection);
        asked = true;
    });
    const QStringList log = upload(form->Button6, {f1, f2});
    watcher.join();
    QVERIFY(asked);

    QCOMPARE(unit->sound(0), bytes(one));
    QCOMPARE(unit->sound(1), bytes(two));
    QVERIFY2(log.count(QStringLiteral(" Записано")) == 2, qPrintable(log.join(QLatin1Char('\n'))));
    for (const QString& l : log)
        QVERIFY2(!l.contains(QStringLiteral("прерван")), qPrintable(l));
    QVERIFY(link::soundfile1().isOpen() == false && link::soundfile2().isOpen() == false);
    if (!close) {
        // As after any good upload: the settings are read back and the unit stays connected.
        QCOMPARE(log.mid(log.size() - 2), (QStringList{" Ждите...", " Прочитано"}));
        QVERIFY(link::connected());
        verifyIdleAfterwards();
        return;
    }
    // The window closes as it would have without an upload: the conversation ends with "Z".
    QTRY_VERIFY(!form->isVisible());
    const QStringList after = fixture::untimed(fixture::lines(*form));
    const int exit = int(after.lastIndexOf(QStringLiteral(" Выход...")));
    QVERIFY(exit >= 0);
    QVERIFY(!after.mid(exit).contains(Reconnect));
    QCOMPARE(unit->received().back(), std::uint8_t('Z'));
}

void TestUpload::settingsReadBackAfterSuccess()
{
    connectUnit();
    QCOMPARE(form->Edit5->text(), QStringLiteral("1"));
    // The unit's address changes meanwhile; the window shows it only if it reads back.
    auto image = unit->image();
    image[6] = 42;
    image[settings::SumIndex] = settings::imagesum(image.data());
    unit->setImage(image);
    const QString f = wavfile("s.wav", canonical(sound(2 * 512)));
    const QStringList log = upload(form->Button6, {f, f});
    QCOMPARE(log.mid(log.size() - 2), (QStringList{" Ждите...", " Прочитано"}));
    QCOMPARE(unit->received().back(), std::uint8_t('R'));
    QCOMPARE(form->Edit5->text(), QStringLiteral("42"));
}

void TestUpload::telemetryTimerPausedAndResumed_data()
{
    QTest::addColumn<bool>("cycling");
    QTest::newRow("timer running") << true;
    QTest::newRow("timer stopped") << false;
}

void TestUpload::telemetryTimerPausedAndResumed()
{
    QFETCH(bool, cycling);
    sim::Config c;
    c.firmware = OldFirmware;
    c.blockWorkMs = 10; // 40 blocks take several poll intervals
    connectUnit(c);
    QVERIFY(form->Timer1);
    QTest::mouseClick(form->Button11, Qt::LeftButton);
    QTest::keyClick(form->TrackBar4, Qt::Key_Home); // a poll every 100 ms
    if (cycling) {
        QTest::mouseClick(form->Button9, Qt::LeftButton);
        QTRY_VERIFY(!unit->received().empty()); // it polls
    }
    QTest::mouseClick(form->Button10, Qt::LeftButton); // the hidden panel keeps polling
    QCOMPARE(form->Timer1->isActive(), cycling);

    bool activeMidway = true;
    duringUpload(20, [&] { activeMidway = form->Timer1->isActive(); });
    const QByteArray data = sound(40 * 512);
    unit->clearReceived();
    upload(form->Button8, {wavfile("s.wav", canonical(data))});

    QVERIFY(!activeMidway);
    // The unit heard the upload and then the read-back, with no poll anywhere in between.
    Bytes got = unit->received();
    const auto start = std::find(got.begin(), got.end(), std::uint8_t(0x70));
    QVERIFY(start != got.end());
    QVERIFY(std::none_of(got.begin(), start, [](std::uint8_t b) { return b != cmd::Telemetry; }));
    Bytes expected{0x70, 0, 40};
    expected.insert(expected.end(), data.begin(), data.end());
    expected.push_back('R');
    const std::ptrdiff_t at = start - got.begin();
    QVERIFY(got.size() >= std::size_t(at) + expected.size());
    QCOMPARE(Bytes(start, start + std::ptrdiff_t(expected.size())), expected);
    QCOMPARE(unit->sound(Siren), bytes(data));

    QCOMPARE(form->Timer1->isActive(), cycling);
    QTest::qWait(350);
    got = unit->received();
    const bool polledAgain = std::find(got.begin() + at + std::ptrdiff_t(expected.size()), got.end(),
                                       cmd::Telemetry) != got.end();
    QCOMPARE(polledAgain, cycling);
}

void TestUpload::stoppedUploadLeavesPollsOff()
{
    sim::Config c;
    c.firmware = OldFirmware;
    c.blockWorkMs = 2;
    connectUnit(c);
    QTest::mouseClick(form->Button11, Qt::LeftButton);
    QTest::keyClick(form->TrackBar4, Qt::Key_Home); // a poll every 100 ms
    QTest::mouseClick(form->Button9, Qt::LeftButton);
    QTRY_VERIFY(!unit->received().empty());
    duringUpload(20, [&] { QTest::keyClick(form.get(), Qt::Key_Escape); });
    const QStringList log = upload(form->Button8, {wavfile("s.wav", canonical(sound(300 * 512)))});

    // The unit still expects sound: a poll's 0x10 would land in it as a piece of the siren.
    QVERIFY(!form->Timer1->isActive());
    const std::size_t sent = unit->received().size();
    QTest::qWait(350);
    QCOMPARE(unit->received().size(), sent);
    verifyBrokenOff(log, QStringLiteral(" Запись прервана оператором"));
}

void TestUpload::nothingElseCanStartMidUpload()
{
    sim::Config c;
    c.firmware = OldFirmware;
    c.blockWorkMs = 2;
    connectUnit(c);
    auto other = fixture::unitOn(2);
    QList<bool> enabledMidway;
    bool factoryEnabled = false;
    bool connectEnabledAfterChoice = true;
    duringUpload(10, [&] {
        for (QPushButton* b : operationButtons())
            enabledMidway << b->isEnabled();
        factoryEnabled = form->Button3->isEnabled();
        // The operator picks another port and presses "Подключить".
        fixture::choosePort(*form, 2);
        connectEnabledAfterChoice = form->Button1->isEnabled();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QTest::mouseClick(form->Button15, Qt::LeftButton);
    });
    const QByteArray data = sound(60 * 512);
    const QStringList log = upload(form->Button8, {wavfile("s.wav", canonical(data))});

    QCOMPARE(enabledMidway, QList<bool>(9, false));
    QVERIFY(factoryEnabled); // not an operation button
    QVERIFY(!connectEnabledAfterChoice);
    QCOMPARE(unit->sound(Siren), bytes(data));
    QVERIFY(other->received().empty());
    QVERIFY(!log.contains(QStringLiteral(" Доступные порты:")));
    QCOMPARE(log.mid(3 + FileLines, 2), (QStringList{" Запись SIREN", " Успешно"}));
    verifyIdleAfterwards(); // "Подключить" included
}

QTEST_MAIN(TestUpload)
#include "test_upload.moc"
