#include "tests/support/fixture.h"
#include "link/channel.h"
#include "link/portnames.h"
#include "ui/memo.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>


namespace fixture {

Scratch::Scratch()
{
    oldcwd_ = QDir::currentPath();
    oldxdg_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir_.path().toUtf8());
    QDir().mkpath(portFolder());
    // Every COM name points at nothing, so that the machine's own serial ports never show up
    // in a test; unitOn() replaces a link with a simulated unit.
    for (int i = 0; i < link::PortCount; ++i)
        QFile::link(QStringLiteral("/nonexistent/tty"), portFolder() + QLatin1Char('/') + link::comname(i));
    QDir::setCurrent(dir_.path());
}

Scratch::~Scratch()
{
    link::closeall();
    QDir::setCurrent(oldcwd_);
    if (oldxdg_.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldxdg_);
}

QString Scratch::path() const
{
    return dir_.path();
}

QString Scratch::file(const QString& name) const
{
    return dir_.filePath(name);
}

QString Scratch::portFolder() const
{
    return link::portfolder();
}

Modals::Modals()
{
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(10);
}

Modals::~Modals() = default;

void Modals::poll()
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        boxes.append({box->windowTitle(), box->text(), int(box->icon())});
        QAbstractButton* b = yes && box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)
                                                                  : box->defaultButton();
        if (!b && !box->buttons().isEmpty())
            b = box->buttons().constFirst();
        if (b)
            b->click();
        else
            box->done(0);
        return;
    }
    if (auto* dlg = qobject_cast<QFileDialog*>(w)) {
        if (accepted_ == dlg) {
            // Still open after its answer was accepted: the dialog asked a question (replace
            // the file?) whose default answer kept it open.  The operator gives up.
            accepted_ = nullptr;
            dlg->reject();
            return;
        }
        if (dialog_ != dlg) {
            dialog_ = dlg;
            tries_ = 0;
            ++dialogs;
        }
        const QString answer = files.empty() ? QString() : files.front();
        if (answer.isEmpty()) {
            if (!files.empty())
                files.pop_front();
            dlg->reject();
            return;
        }
        // Typed into the name field, as the operator would.
        if (auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            edit->clear();
            edit->setText(answer);
        }
        else
            dlg->selectFile(answer);
        // A dialog that offers a preset name selects it only once its folder has been read; a
        // name typed before that is added to the preset instead of replacing it.  Type again
        // until the dialog takes the typed name alone.
        const QString wanted = QDir::cleanPath(dlg->directory().absoluteFilePath(answer));
        if (dlg->selectedFiles() != QStringList{wanted} && ++tries_ < 100)
            return;
        files.pop_front();
        // Queued: a question the dialog asks on accepting is a modal of its own, and this
        // timer must be free to answer it.
        accepted_ = dlg;
        QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
    }
}

QStringList lines(const TForm1& form)
{
    QStringList out;
    for (qsizetype i = 0; i < form.Memo1->count(); ++i)
        out << form.Memo1->line(i);
    return out;
}

QStringList linesFrom(const TForm1& form, int from)
{
    return lines(form).mid(from);
}

QStringList untimed(const QStringList& in)
{
    QStringList out;
    static const QRegularExpression prefix(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d(?= )"));
    for (const QString& l : in) {
        QString s = l;
        s.remove(prefix);
        out << s;
    }
    return out;
}

void choosePort(TForm1& form, int com)
{
    QComboBox* box = form.ComboBox1;
    box->showPopup();
    QAbstractItemView* view = box->view();
    const QModelIndex idx = view->model()->index(com - 1, 0);
    view->scrollTo(idx);
    const QRect r = view->visualRect(idx);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    if (box->currentIndex() != com - 1) {
        // Some styles take the click on release only; fall back to the keyboard.
        box->setFocus();
        box->hidePopup();
        box->setCurrentIndex(com - 1);
    }
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(name));
    f.write(bytes);
}

QByteArray readFile(const QString& name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace fixture
