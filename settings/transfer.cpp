// Moving the settings between the unit and the window: read, write, blank and factory values.
#include "link/channel.h"
#include "link/commands.h"
#include "settings/image.h"
#include "ui/unit1.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QThread>

#include <cstring>

namespace {

// The image as the last complete settings read delivered it.  The receive area cannot serve:
// every later reply (a telemetry poll, a one-byte answer) lands over its first bytes, and the
// fields the tool does not write must go back to the unit exactly as the unit sent them.
std::uint8_t lastread[settings::ImageSize] = {};
// Whether lastread is this unit's: a read that failed leaves nothing the tool may send back.
bool lastreadvalid = false;

// The unit takes a while to gather or store its settings; the window is not serviced meanwhile.
constexpr unsigned long PauseMs = 1000;

const QString Undetermined = QStringLiteral("Не определенно");
const QString Blank = QStringLiteral("-- --");
const QString ErrorTitle = QStringLiteral("Ошибка");

void pause()
{
    QThread::msleep(PauseMs);
}

void seriousfailure(TForm1& form, const QString& text)
{
    form.log(QLatin1Char(' ') + text);
    setapptitle(ErrorTitle);
    QMessageBox box(QMessageBox::NoIcon, apptitle(), text, QMessageBox::Ok, &form);
    box.exec();
}

} // namespace

void TForm1::readall()
{
    log(QStringLiteral(" Ждите..."));
    link::sendbyte(cmd::Read);
    pause();
    const int got = link::readimage();
    if (got < settings::ImageSize) {
        // Whatever the receive area holds now is not the unit's settings: showing it would
        // invite a write that sends those stale bytes to the unit as its configuration.
        clearall();
        lastreadvalid = false;
        log(QStringLiteral(" Нет ответа от блока"));
        return;
    }
    std::memcpy(lastread, &link::area[link::Rx], settings::ImageSize);
    lastreadvalid = true;

    const settings::Decoded d = settings::decode(lastread);
    link::area[link::NewFirmware] = d.newFirmware ? 1 : 0;
    Edit1->setText(d.firmware);
    Edit2->setText(d.startups);
    if (!d.deviceType.isNull())
        Edit4->setText(d.deviceType);
    setfields(d.fields);
    log(QStringLiteral(" Прочитано"));

    if (!d.newFirmware) {
        // Old firmware takes its siren sound from the tool.
        if (Button8)
            Button8->setVisible(true);
    } else if (settings::imagesum(lastread) != lastread[settings::SumIndex]) {
        seriousfailure(*this, QStringLiteral("Контрольная сумма не совпадает"));
    }
}

void TForm1::writeall()
{
    // Everything is converted before the unit hears "S": a field that cannot go into the image
    // raises here, and the unit is not left waiting for an image that never comes.
    if (!lastreadvalid) {
        // The fields the tool does not write would have to be made up (or come from another
        // unit): write only over settings this unit has sent.
        log(QStringLiteral(" Запись невозможна: настройки блока не прочитаны"));
        return;
    }
    std::uint8_t image[settings::ImageSize];
    std::memcpy(image, lastread, settings::ImageSize);
    settings::encode(getfields(), image);

    link::sendbyte(cmd::Write);
    std::uint8_t* rx = &link::area[link::Rx];
    std::memcpy(rx, image, settings::ImageSize);
    clearall();
    link::writeblock(rx);
    log(QStringLiteral(" Запись настроек..."));
    pause();

    if (link::area[link::NewFirmware] == 1) {
        // Only a "[" that arrived is a refusal; the stale byte left by silence is no answer.
        bool arrived = false;
        const std::uint8_t reply = link::readbyte(&arrived);
        if (arrived && reply == cmd::Refused) {
            seriousfailure(*this, QStringLiteral("Ошибка Записи"));
            return;
        }
    }
    log(QStringLiteral(" Записано."));
}

void TForm1::clearall()
{
    QLineEdit* edits[] = {Edit1, Edit2, Edit4,  Edit5,  Edit6,  Edit7, Edit8,
                          Edit9, Edit10, Edit11, Edit12, Edit13, Edit20};
    QCheckBox* checks[] = {CheckBox1, CheckBox2, CheckBox3,  CheckBox4,  CheckBox5,  CheckBox6,
                           CheckBox7, CheckBox8, CheckBox9, CheckBox10, CheckBox11, CheckBox12};
    Edit1->setText(Undetermined);
    Edit2->setText(Undetermined);
    for (int i = 2; i < 13; ++i)
        edits[i]->setText(Blank);
    // Position 1: the bars with a higher minimum clamp it.
    TrackBar1->setValue(1);
    TrackBar2->setValue(1);
    TrackBar3->setValue(1);
    for (QCheckBox* c : checks)
        c->setChecked(false);
    // The pauses that follow do not service the window: paint the blank state now.
    for (QLineEdit* e : edits)
        e->repaint();
    for (QCheckBox* c : checks)
        c->repaint();
}

void TForm1::Button3Click()
{
    Edit1->setText(Blank);
    Edit4->setText(QStringLiteral("ВИРЕЛАН2"));
    Edit2->setText(Blank);
    Edit5->setText(QStringLiteral("1"));
    Edit6->setText(QStringLiteral("1"));
    Edit7->setText(QStringLiteral("30"));
    Edit8->setText(QStringLiteral("20"));
    Edit9->setText(QStringLiteral("1000"));
    Edit10->setText(QStringLiteral("3500"));
    Edit11->setText(QStringLiteral("700"));
    Edit12->setText(QStringLiteral("2900"));
    Edit13->setText(QStringLiteral("50"));
    Edit20->setText(QStringLiteral("3100"));
    for (QCheckBox* c : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, CheckBox6,
                         CheckBox7, CheckBox8, CheckBox9, CheckBox10})
        c->setChecked(true);
    CheckBox11->setChecked(false);
    CheckBox12->setChecked(false);
    TrackBar1->setValue(10);
    TrackBar2->setValue(51);
    TrackBar3->setValue(12);
    log(QStringLiteral(" Значения выставлены"));
}

void TForm1::Button4Click()
{
    if (link::area[link::Connected] == 0)
        return;
    writeall();
    // Also after a refusal: the window then shows what the unit holds, not what was typed.
    log(QStringLiteral(" Чтение настроек..."));
    readall();
}

void TForm1::Button5Click()
{
    clearall();
    pause();
    if (link::area[link::Connected] == 1)
        readall();
}
