// Uploading the two voice messages (PPK1, PPK2) and the siren sound into the unit.
#include "link/channel.h"
#include "link/commands.h"
#include "sound/wav.h"
#include "ui/opendialog.h"
#include "ui/application.h"
#include "ui/unit1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <initializer_list>

namespace {

// How long each awaited byte may take before the upload gives up.  The unit answers a command
// at once; before its "T" it may have to prepare its sound memory; a block needs 44 ms on the
// wire at 115200 baud before its "U", and the unit then stores it before the 0xFF.  Each limit
// is many times what a working unit needs; past it the unit has gone away.
constexpr int ReadyMs = 1000;    // "U" after the command
constexpr int CountsMs = 5000;   // "T" after the block counts
constexpr int ReceivedMs = 1000; // "U" after a block
constexpr int StoredMs = 2000;   // 0xFF after that "U"

enum class Outcome { Done, Silent, LineLost, Cancelled, Closing, FileError };

// Reads single bytes, dropping every other one, until the awaited byte really arrives.  The
// stale byte that an empty read leaves in the receive area never ends the wait.
Outcome await(std::uint8_t wanted, int limitMs)
{
    QElapsedTimer t;
    t.start();
    do {
        bool arrived = false;
        const std::uint8_t b = link::readbyte(&arrived);
        if (arrived && b == wanted)
            return Outcome::Done;
        if (!link::isopen())
            return Outcome::LineLost;
    } while (t.elapsed() < limitMs);
    return Outcome::Silent;
}

// Esc on the window asks a running upload to stop at the next block boundary.  The window
// only sees its events between two blocks, so the request waits there.
class EscapeWatch : public QObject {
public:
    explicit EscapeWatch(TForm1& form) : form_(form) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            auto* w = qobject_cast<QWidget*>(watched);
            if (w && w->window() == &form_) {
                form_.cancelUpload = true;
                return true;
            }
        }
        return false;
    }

private:
    TForm1& form_;
};

enum class Opened { Ok, Missing, Refused };

// Opens a chosen sound file, reads its header into the file's buffer and finds its sound
// data.  A file that cannot be taken is closed again.
Opened openwav(QFile& file, int buffer, const QString& name, wav::Sound& sound)
{
    file.close();
    if (name.isEmpty())
        return Opened::Missing;
    file.setFileName(name);
    if (!file.open(QIODevice::ReadOnly))
        return Opened::Missing;
    file.read(reinterpret_cast<char*>(&link::area[buffer]), wav::HeaderSize);
    sound = wav::inspect(file);
    if (sound.problem != wav::Problem::None || !file.seek(sound.offset)) {
        if (sound.problem == wav::Problem::None)
            sound.problem = wav::Problem::NoData;
        file.close();
        return Opened::Refused;
    }
    return Opened::Ok;
}

QString refusal(const char* sound, wav::Problem problem)
{
    QString why;
    switch (problem) {
    case wav::Problem::None:
    case wav::Problem::NotWave:
        why = QStringLiteral("это не звуковой файл WAV");
        break;
    case wav::Problem::NoData:
        why = QStringLiteral("в нём нет звуковых данных");
        break;
    case wav::Problem::ShortData:
        why = QStringLiteral("звуковых данных в нём меньше, чем указано в заголовке");
        break;
    case wav::Problem::TooLong:
        why = QStringLiteral("звук длиннее 65535 блоков");
        break;
    }
    return QStringLiteral(" Файл ") + QLatin1String(sound) + QStringLiteral(" не принят: ") + why;
}

QString failure(Outcome o, const char* sound)
{
    switch (o) {
    case Outcome::Silent:
        return QStringLiteral(" Устройство не отвечает, запись прервана");
    case Outcome::LineLost:
        return QStringLiteral(" Связь с устройством потеряна, запись прервана");
    case Outcome::Cancelled:
        return QStringLiteral(" Запись прервана оператором");
    case Outcome::Closing:
        return QStringLiteral(" Запись прервана: программа закрывается");
    case Outcome::FileError:
        return QStringLiteral(" Ошибка чтения файла ") + QLatin1String(sound)
            + QStringLiteral(", запись прервана");
    case Outcome::Done:
        break;
    }
    return {};
}

// Nothing else may use the line during a transfer: the operation buttons go off and the poll
// timer pauses.
void begin(TForm1& f)
{
    f.buttonswitch(false);
    f.uploading = true;
    f.cancelUpload = false;
    f.closeAfterUpload = false;
    f.timerWasRunning = f.Timer1 && f.Timer1->isActive();
    if (f.timerWasRunning) {
        f.Timer1->stop();
        // A reply to the last poll may still be on its way; it must not answer the command.
        link::readtelemetry();
    }
}

void finish(TForm1& f, bool done)
{
    f.buttonswitch(true);
    f.ProgressBar1->setValue(0);
    link::soundfile1().close();
    link::soundfile2().close();
    f.uploading = false;
    f.cancelUpload = false;
    const bool closing = f.closeAfterUpload;
    f.closeAfterUpload = false;
    // A window being closed does not wait for the read-back.
    if (done && !closing)
        f.Button5Click();
    if (f.timerWasRunning && f.Timer1)
        f.Timer1->start();
    f.timerWasRunning = false;
    if (closing)
        QTimer::singleShot(0, &f, [&f] { f.close(); });
}

Outcome handshake(std::uint8_t command, std::initializer_list<quint32> counts)
{
    link::sendbyte(command);
    const Outcome o = await(cmd::Ready, ReadyMs);
    if (o != Outcome::Done)
        return o;
    for (quint32 c : counts) {
        link::sendbyte(std::uint8_t(c >> 8));
        link::sendbyte(std::uint8_t(c));
    }
    return await(cmd::CountsOk, CountsMs);
}

// Sends the blocks of one file, each acknowledged.  The block counter is shared by the files of
// one upload.  `last`: no blocks follow this file's, so a stop asked for after its final block
// comes too late to save anything.
Outcome sendblocks(TForm1& f, QFile& file, int buffer, quint32 count, bool last,
                   quint32& counter, const QString& title)
{
    QProgressBar* bar = f.ProgressBar1;
    bar->setValue(0);
    const quint32 step = count / 100;
    f.log(title);
    std::uint8_t* block = &link::area[buffer];
    for (quint32 i = 0; i < count; ++i) {
        if (file.read(reinterpret_cast<char*>(block), wav::BlockSize) != wav::BlockSize)
            return Outcome::FileError;
        link::writeblock(block);
        Outcome o = await(cmd::Ready, ReceivedMs);
        if (o == Outcome::Done)
            o = await(cmd::Stored, StoredMs);
        if (o != Outcome::Done)
            return o;
        ++counter;
        if (counter >= step) {
            counter = 0;
            bar->setValue(std::min(bar->value() + 1, bar->maximum()));
        }
        QCoreApplication::processEvents();
        if (f.cancelUpload && !(last && i + 1 == count))
            return f.closeAfterUpload ? Outcome::Closing : Outcome::Cancelled;
    }
    return Outcome::Done;
}

} // namespace

void TForm1::createupload()
{
    Button6 = new QPushButton(QStringLiteral("Запись ППК1 и ППК2"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setGeometry(592, 206, 120, 25);
    connect(Button6, &QPushButton::clicked, this, [this] { handle([this] { Button6Click(); }); });

    Button8 = new QPushButton(QStringLiteral("Запись сирены"), this);
    Button8->setObjectName(QStringLiteral("Button8"));
    Button8->setGeometry(592, 236, 120, 25);
    Button8->setVisible(false); // offered only after a read from old firmware
    connect(Button8, &QPushButton::clicked, this, [this] { handle([this] { Button8Click(); }); });

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(587, 266, 130, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    OpenDialog1 = new OpenDialog;
    OpenDialog* dialog = OpenDialog1;
    connect(this, &QObject::destroyed, [dialog] { delete dialog; });
}

void TForm1::buttonswitch(bool enabled)
{
    // The panel's buttons exist only once the panel has been built.
    for (QPushButton* b : {Button1, Button4, Button5, Button6, Button8, Button15, Button7, Button9, Button12})
        if (b)
            b->setEnabled(enabled);
}

void TForm1::Button6Click()
{
    using namespace link;
    if (area[Connected] == 0 || uploading)
        return;
    log(QStringLiteral(" Открытие PPK1.WAV"));
    OpenDialog1->InitialDir = QDir::currentPath();
    // A cancel means no upload: the name the dialog still holds is an earlier choice, and the
    // unit must not get a sound the operator has just declined.
    if (!OpenDialog1->Execute(this)) {
        log(QStringLiteral(" Файл PPK1.WAV не выбран"));
        return;
    }
    wav::Sound first, second;
    switch (openwav(soundfile1(), Sound1, OpenDialog1->FileName, first)) {
    case Opened::Missing:
        log(QStringLiteral(" Файл PPK1.WAV не найден"));
        return;
    case Opened::Refused:
        log(refusal("PPK1.WAV", first.problem));
        return;
    case Opened::Ok:
        break;
    }

    log(QStringLiteral(" Открытие PPK2.WAV"));
    if (!OpenDialog1->Execute(this)) {
        soundfile1().close();
        log(QStringLiteral(" Файл PPK2.WAV не выбран"));
        return;
    }
    switch (openwav(soundfile2(), Sound2, OpenDialog1->FileName, second)) {
    case Opened::Missing:
        soundfile1().close(); // not held until the next connect
        log(QStringLiteral(" Файл PPK2.wav не найден"));
        return;
    case Opened::Refused:
        soundfile1().close();
        log(refusal("PPK2.WAV", second.problem));
        return;
    case Opened::Ok:
        break;
    }

    EscapeWatch escape(*this);
    begin(*this);
    log(QStringLiteral(" Соединение с устройством..."));
    Outcome o = handshake(cmd::Messages, {first.blocks, second.blocks});
    const char* failed = "PPK1.WAV";
    if (o == Outcome::Done) {
        log(QStringLiteral(" Успешно"));
        quint32 counter = 0;
        o = sendblocks(*this, soundfile1(), Sound1, first.blocks, second.blocks == 0, counter,
                       QStringLiteral(" Запись PPK1"));
        if (o == Outcome::Done) {
            log(QStringLiteral(" Записано"));
            failed = "PPK2.WAV";
            o = sendblocks(*this, soundfile2(), Sound2, second.blocks, true, counter,
                           QStringLiteral(" Запись PPK2"));
            if (o == Outcome::Done)
                log(QStringLiteral(" Записано"));
        }
    }
    if (o != Outcome::Done)
        log(failure(o, failed));
    finish(*this, o == Outcome::Done);
}

void TForm1::Button8Click()
{
    using namespace link;
    if (area[Connected] == 0 || uploading)
        return;
    log(QStringLiteral(" Открытие SIREN.WAV"));
    OpenDialog1->InitialDir = QDir::currentPath();
    if (!OpenDialog1->Execute(this)) {
        log(QStringLiteral(" Файл SIREN.WAV не выбран"));
        return;
    }
    wav::Sound siren;
    switch (openwav(soundfile1(), Sound1, OpenDialog1->FileName, siren)) {
    case Opened::Missing:
        logplain(QStringLiteral("Файл SIREN.wav не найден"));
        return;
    case Opened::Refused:
        log(refusal("SIREN.WAV", siren.problem));
        return;
    case Opened::Ok:
        break;
    }

    EscapeWatch escape(*this);
    begin(*this);
    log(QStringLiteral(" Соединение с устройством ..."));
    Outcome o = handshake(cmd::Siren, {siren.blocks});
    if (o == Outcome::Done) {
        log(QStringLiteral(" Успешно"));
        quint32 counter = 0;
        o = sendblocks(*this, soundfile1(), Sound1, siren.blocks, true, counter,
                        QStringLiteral(" Запись SIREN"));
        if (o == Outcome::Done)
            log(QStringLiteral(" Успешно"));
    }
    if (o != Outcome::Done)
        log(failure(o, "SIREN.WAV"));
    finish(*this, o == Outcome::Done);
}
