// Moving the settings between the unit and the window: read, write, blank and factory values.
#include "link/channel.h"
#include "link/commands.h"
#include "link/session.h"
#include "settings/image.h"
#include "settings/session.h"
#include "ui/formlistener.h"
#include "ui/unit1.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

namespace {

const QString Undetermined = QStringLiteral("Не определенно");
const QString Blank = QStringLiteral("-- --");

// The two serious failures: the log already has the line; the title and a box follow.
void seriousfailure(TForm1& form, const QString& text)
{
    setapptitle(QStringLiteral("Ошибка"));
    QMessageBox box(QMessageBox::NoIcon, apptitle(), text, QMessageBox::Ok, &form);
    box.exec();
}

// Blanks the controls the moment the image has been made from them: the blank state is on
// screen while the unit stores it.
class WriteListener : public FormListener {
public:
    using FormListener::FormListener;
    void imageready() override { form.clearall(); }
};

} // namespace

void TForm1::readall()
{
    FormListener listener(*this);
    const settings::Reading r = settings::readunit(listener);
    if (!r.complete()) {
        clearall();
        return;
    }
    const settings::Decoded& d = r.decoded;
    Edit1->setText(d.firmware);
    Edit2->setText(d.startups);
    if (!d.deviceType.isNull())
        Edit4->setText(d.deviceType);
    setfields(d.fields);
    if (!d.newFirmware) {
        // Old firmware takes its siren sound from the tool.
        if (Button8)
            Button8->setVisible(true);
    } else if (!r.sumok) {
        seriousfailure(*this, QStringLiteral("Контрольная сумма не совпадает"));
    }
}

void TForm1::writeall()
{
    WriteListener listener(*this);
    if (settings::writeunit(getfields(), listener) == settings::Written::Refused)
        seriousfailure(*this, QStringLiteral("Ошибка Записи"));
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
    setfields(settings::factoryfields());
    log(QStringLiteral(" Значения выставлены"));
}

void TForm1::Button4Click()
{
    if (!link::connected())
        return;
    writeall();
    // Also after a refusal: the window then shows what the unit holds, not what was typed.
    log(QStringLiteral(" Чтение настроек..."));
    readall();
}

void TForm1::Button5Click()
{
    clearall();
    settings::pause();
    if (link::connected())
        readall();
}
