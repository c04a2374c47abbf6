// Uploading the two voice messages (PPK1, PPK2) and the siren sound into the unit.
#include "link/channel.h"
#include "link/session.h"
#include "diagnostics/telemetry.h"
#include "sound/facts.h"
#include "sound/session.h"
#include "ui/formlistener.h"
#include "ui/opendialog.h"
#include "ui/application.h"
#include "ui/unit1.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

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

// The progress bar and the window's events between blocks.  The block counter is shared by the
// files of one upload; it goes back to 0 only when it reaches the file's step, and the bar
// advances once a step.
class UploadListener : public FormListener {
public:
    using FormListener::FormListener;

    void filestart(quint32 blocks) override
    {
        form.ProgressBar1->setValue(0);
        step = blocks / 100;
    }

    void blockdone(quint32, quint32) override
    {
        QProgressBar* bar = form.ProgressBar1;
        if (++counter >= step) {
            counter = 0;
            bar->setValue(std::min(bar->value() + 1, bar->maximum()));
        }
        QCoreApplication::processEvents();
    }

    QString stopasked() override
    {
        if (!form.cancelUpload)
            return {};
        return form.closeAfterUpload ? QStringLiteral(" Запись прервана: программа закрывается")
                                     : QStringLiteral(" Запись прервана оператором");
    }

private:
    quint32 counter = 0;
    quint32 step = 0;
};

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
        telemetry::drain();
    }
}

void finish(TForm1& f, sound::Outcome o)
{
    const bool done = o == sound::Outcome::Done;
    f.buttonswitch(true);
    f.ProgressBar1->setValue(0);
    f.uploading = false;
    f.cancelUpload = false;
    const bool closing = f.closeAfterUpload;
    f.closeAfterUpload = false;
    // A window being closed does not wait for the read-back.
    if (done && !closing)
        f.Button5Click();
    // After a stopped upload the unit may still take bytes as sound: no poll goes out to it.
    if (done && f.timerWasRunning && f.Timer1)
        f.Timer1->start();
    f.timerWasRunning = false;
    if (closing)
        QTimer::singleShot(0, &f, [&f] { f.close(); });
}

// Asks for the file of one sound and opens it; false (with the reason logged) when there is
// nothing to upload.
bool choose(TForm1& f, sound::Which which, wav::Sound& sound)
{
    const QString name = sound::soundname(which);
    f.log(QStringLiteral(" Открытие ") + name);
    // A cancel means no upload: the name the dialog still holds is an earlier choice, and the
    // unit must not get a sound the operator has just declined.
    if (!f.OpenDialog1->Execute(&f)) {
        f.log(QStringLiteral(" Файл ") + name + QStringLiteral(" не выбран"));
        return false;
    }
    switch (sound::openwav(which, f.OpenDialog1->FileName, sound)) {
    case sound::Opened::Missing:
        if (which == sound::Which::Siren)
            f.logplain(sound::missingtext(which));
        else
            f.log(sound::missingtext(which));
        return false;
    case sound::Opened::Refused:
        f.log(sound::refusaltext(which, sound));
        return false;
    case sound::Opened::Ok:
        break;
    }
    // What the header says, for the engineer to see before anything goes out; the upload goes
    // on whatever it is.
    f.log(QStringLiteral(" Файл ") + name + QStringLiteral(": ")
          + QDir::toNativeSeparators(f.OpenDialog1->FileName));
    for (const QString& line : sound::factlines(sound))
        f.logplain(line);
    return true;
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
    if (!link::connected() || uploading)
        return;
    OpenDialog1->InitialDir = QDir::currentPath();
    wav::Sound first, second;
    if (!choose(*this, sound::Which::Ppk1, first))
        return;
    if (!choose(*this, sound::Which::Ppk2, second)) {
        link::soundfile1().close(); // not held until the next connect
        return;
    }
    EscapeWatch escape(*this);
    begin(*this);
    UploadListener listener(*this);
    finish(*this, sound::uploadmessages(first, second, listener));
}

void TForm1::Button8Click()
{
    if (!link::connected() || uploading)
        return;
    OpenDialog1->InitialDir = QDir::currentPath();
    wav::Sound siren;
    if (!choose(*this, sound::Which::Siren, siren))
        return;
    EscapeWatch escape(*this);
    begin(*this);
    UploadListener listener(*this);
    finish(*this, sound::uploadsiren(siren, listener));
}
