// The window as the engineer sees it, in each state, saved as PNG files into $V2_PNG_DIR (or the
// scratch folder) for a person to look at; the checks here are what such a look must find.
#include "link/channel.h"
#include "tests/support/fixture.h"
#include "ui/application.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace fixture;

namespace {
QString pngdir(const Scratch& s)
{
    const QString d = qEnvironmentVariable("V2_PNG_DIR", s.path());
    QDir().mkpath(d);
    return d;
}

// Every visible child lies inside the window and inside its parent.
void verifynothingclipped(QWidget& form)
{
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&form) || !w->parentWidget() || w->isWindow())
            continue;
        const QRect inparent = w->geometry();
        QVERIFY2(w->parentWidget()->rect().contains(inparent),
                 qPrintable(w->objectName() + QStringLiteral(" sticks out of its parent")));
    }
}

// Grabs the next modal box to `file`, then lets it close.
class BoxGrabber : public QObject {
public:
    explicit BoxGrabber(QString file) : file_(std::move(file))
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || done)
                return;
            box->grab().save(file_);
            title = box->windowTitle();
            text = box->text();
            done = true;
        });
        timer_.start(5);
    }
    bool done = false;
    QString title, text;

private:
    QString file_;
    QTimer timer_;
};
} // namespace

class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void init() { link::closeall(); }

    void states()
    {
        Scratch scratch;
        const QString dir = pngdir(scratch);
        auto unit = unitOn(1);
        {
            Modals modals;
            TForm1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            verifynothingclipped(form);
            QVERIFY(form.grab().save(dir + "/1-startup.png"));

            choosePort(form, 1);
            QTest::mouseClick(form.Button1, Qt::LeftButton);
            QCOMPARE(form.Edit1->text(), QStringLiteral("5.14"));
            QVERIFY(form.Image1->isVisible());
            verifynothingclipped(form);
            QVERIFY(form.grab().save(dir + "/2-after-read.png"));

            QTest::mouseClick(form.Button11, Qt::LeftButton);
            QTest::mouseClick(form.Button7, Qt::LeftButton);
            verifynothingclipped(form);
            QVERIFY(form.grab().save(dir + "/3-panel-open.png"));
            QTest::mouseClick(form.Button10, Qt::LeftButton);
            form.close();
        }
        {
            // The standard error box of a field that is not a number.
            TForm1 form;
            form.show();
            choosePort(form, 1);
            QTest::mouseClick(form.Button1, Qt::LeftButton);
            form.Edit7->setText(QStringLiteral("abc"));
            BoxGrabber grab(dir + "/4-error-box.png");
            Modals modals;
            QTest::mouseClick(form.Button4, Qt::LeftButton);
            QTRY_VERIFY(grab.done);
            QCOMPARE(grab.text, QStringLiteral("'abc' is not a valid integer value."));
            QCOMPARE(grab.title, apptitle());
            form.close();
        }
        {
            // The serious-failure box of a bad checksum.
            sim::Config c = unit->config();
            c.badChecksum = true;
            unit->setConfig(c);
            TForm1 form;
            form.show();
            choosePort(form, 1);
            BoxGrabber grab(dir + "/5-checksum-box.png");
            Modals modals;
            QTest::mouseClick(form.Button1, Qt::LeftButton);
            QTRY_VERIFY(grab.done);
            QCOMPARE(grab.title, QStringLiteral("Ошибка"));
            QCOMPARE(grab.text, QStringLiteral("Контрольная сумма не совпадает"));
            form.close();
        }
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestPictures t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_pictures.moc"
