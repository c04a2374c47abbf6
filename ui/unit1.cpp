#include "ui/unit1.h"
#include "link/channel.h"
#include "ui/application.h"
#include "ui/artwork.h"
#include "ui/logfile.h"
#include "ui/memo.h"
#include "ui/timefmt.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>

namespace {

const QString LogName = QStringLiteral("log.txt");

QString logpath()
{
    // Looked up at every access: the working directory may have changed since start-up.
    return QDir::current().filePath(LogName);
}

QFrame* bevel(QWidget* parent, int x, int y, int w, int h)
{
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(x, y, w, h);
    return f;
}

// A group title: bold, centred in `w` when a width is given, else as wide as its text.
QLabel* title(QWidget* parent, const QString& text, int x, int y, int w = -1, bool bold = true)
{
    auto* l = new QLabel(text, parent);
    if (bold) {
        QFont f;
        // Where the classic bitmap face is missing, its Tahoma sibling reads the same.
        f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma")});
        f.setPixelSize(11);
        f.setBold(true);
        l->setFont(f);
    }
    if (w > 0) {
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        l->setGeometry(x, y, w, 13);
    } else {
        l->move(x, y);
        l->adjustSize();
    }
    return l;
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8("Вирелан 2 V2.0"));
    setWindowIcon(programicon());
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);
    // The light 3-D colour of the classic desktop.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    pal.setColor(QPalette::Button, QColor(0xF0, 0xF0, 0xF0));
    setPalette(pal);
    setAutoFillBackground(true);
    setFixedSize(728, 483);
    move(0, 0);

    createframes();
    createconnection();
    createsettings();
    createupload();
    createpanel();
    createhints();

    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::createframes()
{
    Bevel1 = bevel(this, 8, 5, 136, 351);
    Bevel2 = bevel(this, 152, 5, 424, 20);
    Bevel3 = bevel(this, 152, 25, 144, 115);
    Bevel4 = bevel(this, 296, 25, 136, 210);
    Bevel5 = bevel(this, 432, 25, 144, 155);
    Bevel6 = bevel(this, 584, 5, 136, 175);
    Bevel7 = bevel(this, 152, 148, 136, 135);
    Bevel8 = bevel(this, 154, 289, 136, 65);
    Bevel9 = bevel(this, 296, 243, 136, 113);
    Bevel10 = bevel(this, 440, 186, 136, 170);
    Bevel11 = bevel(this, 584, 186, 136, 170);

    Label1 = title(this, QString::fromUtf8("Выбор COM-порта"), 26, 10, 100, false);
    Label5 = title(this, QString::fromUtf8("Параметры контроля"), 307, 8);
    Label17 = title(this, QString::fromUtf8("Табло"), 152, 30, 141);
    Label8 = title(this, QString::fromUtf8("Оповещения"), 293, 30, 142);
    Label16 = title(this, QString::fromUtf8("Входов управления"), 435, 30, 141);
    Label15 = title(this, QString::fromUtf8("Сеть ВИРЕЛАН2"), 584, 10, 136);
    Label20 = title(this, QString::fromUtf8("Установки Табло"), 152, 153, 136);
    Label2 = title(this, QString::fromUtf8("Версия ПО Блока:"), 152, 296, 136);
    Label18 = title(this, QString::fromUtf8("Разрешение контроля"), 297, 249);
    Label19 = title(this, QString::fromUtf8("Реле \"РАБОТА\""), 440, 196, 136);
    Label21 = title(this, QString::fromUtf8("Звуковые сообщения"), 584, 191, 136);

    Memo1 = new LogMemo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 356, 712, 119);
}

void TForm1::log(const QString& message)
{
    Memo1->add(timeprefix(QTime::currentTime()) + message);
}

void TForm1::logplain(const QString& text)
{
    Memo1->add(text);
}

void TForm1::FormCreate()
{
    clearall();
    link::area[link::Connected] = 0;
    Memo1->clear();
    const QString path = logpath();
    QString error;
    LogEncoding encoding = LogEncoding::Ansi;
    if (!QFileInfo::exists(path)) {
        // The very first run creates the file, empty.
        if (!savelog(path, Memo1->lines(), LogEncoding::Ansi, &error)) {
            showerror(error);
            return;
        }
    }
    LogLines loaded;
    if (!loadlog(path, loaded, encoding, &error)) {
        showerror(error);
        return;
    }
    Memo1->setlines(std::move(loaded));
    logEncoding = int(encoding);
    logLoaded = true;
    logplain(dateline(QDate::currentDate()));
    log(QString::fromUtf8(" Выполнен Вход"));
    Button15Click();
}

void TForm1::FormActive()
{
    // Brings the last line into view; the content stays as it is, as after adding a line and
    // taking it away again.
    Memo1->scrolltoend();
    hinthidepause = 30000;
}

bool TForm1::Form1Close()
{
    log(QString::fromUtf8(" Выход..."));
    if (link::area[link::Connected] == 1)
        endconnection();
    link::closeport();
    link::soundfile1().close();
    link::soundfile2().close();
    logplain(QStringLiteral("-----------------------\n"));
    if (!logLoaded) {
        // The history could not be read at start-up: writing this run's lines over it would
        // destroy it.  Leave the file as it is and say so.
        QMessageBox box(QMessageBox::Warning, apptitle(),
                        QString::fromUtf8("Журнал \"%1\" не был прочитан при запуске и оставлен "
                                          "без изменений; записи этого сеанса в него не внесены.")
                            .arg(QDir::toNativeSeparators(logpath())),
                        QMessageBox::Ok, this);
        box.exec();
        return true;
    }
    QString error;
    if (!savelog(logpath(), Memo1->lines(), LogEncoding(logEncoding), &error)) {
        showerror(error);
        return false;
    }
    return true;
}

void TForm1::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        FormActive();
    QWidget::changeEvent(e);
}

void TForm1::closeEvent(QCloseEvent* e)
{
    if (uploading) {
        // Never close the port and the files under a running transfer: ask the upload to
        // stop at the next block; it closes the window once it has cleaned up.
        cancelUpload = true;
        closeAfterUpload = true;
        e->ignore();
        return;
    }
    if (Form1Close())
        e->accept();
    else
        e->ignore();
}
