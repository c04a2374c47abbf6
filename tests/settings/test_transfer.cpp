// Reading, writing, blanking and factory values, with the window driven by mouse and keyboard
// and a simulated unit at the far end of a pseudo-terminal.
#include "link/channel.h"
#include "settings/image.h"
#include "tests/settings/factorybytes.h"
#include "tests/support/fixture.h"
#include "ui/application.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <array>
#include <memory>

using Image = std::array<std::uint8_t, 512>;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int Com = 3;

// One operator at one window with one unit on COM3.
struct Desk {
    fixture::Scratch scratch;
    std::unique_ptr<sim::Unit> unit;
    fixture::Modals modals;
    std::unique_ptr<TForm1> form;

    explicit Desk(const sim::Config& config = {})
    {
        unit = fixture::unitOn(Com, config);
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    ~Desk() { form.reset(); }

    void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    // Chooses COM3 and presses "Подключить"; a unit that accepts is read at once.
    void connect()
    {
        fixture::choosePort(*form, Com);
        click(form->Button1);
    }

    // Replaces a field's text as the operator does: select all, type.
    void type(QLineEdit* e, const QString& text)
    {
        QTest::mouseClick(e, Qt::LeftButton);
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Delete);
        else
            QTest::keyClicks(e, text);
        QCOMPARE(e->text(), text);
    }

    void tick(QCheckBox* c) { QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(7, c->height() / 2)); }

    int loglength() const { return int(form->Memo1->count()); }
    QStringList logsince(int from) const { return fixture::untimed(fixture::linesFrom(*form, from)); }

    // Every byte the unit received since the last clearReceived().
    Bytes received() const { return unit->received(); }

    QList<QLineEdit*> settingsedits() const
    {
        const TForm1& f = *form;
        return {f.Edit1, f.Edit2, f.Edit4, f.Edit5, f.Edit6, f.Edit7, f.Edit8,
                f.Edit9, f.Edit10, f.Edit11, f.Edit12, f.Edit13, f.Edit20};
    }
    QList<QCheckBox*> checks() const
    {
        const TForm1& f = *form;
        return {f.CheckBox1, f.CheckBox2, f.CheckBox3,  f.CheckBox4,  f.CheckBox5,  f.CheckBox6,
                f.CheckBox7, f.CheckBox8, f.CheckBox9, f.CheckBox10, f.CheckBox11, f.CheckBox12};
    }

    void verifyblank() const
    {
        const TForm1& f = *form;
        QCOMPARE(f.Edit1->text(), QStringLiteral("Не определенно"));
        QCOMPARE(f.Edit2->text(), QStringLiteral("Не определенно"));
        for (QLineEdit* e : settingsedits().mid(2))
            QCOMPARE(e->text(), QStringLiteral("-- --"));
        for (QCheckBox* c : checks())
            QVERIFY(!c->isChecked());
        QCOMPARE(f.TrackBar1->value(), 5);
        QCOMPARE(f.TrackBar2->value(), 1);
        QCOMPARE(f.TrackBar3->value(), 2);
        QCOMPARE(f.Edit23->text(), "5");
        QCOMPARE(f.Edit21->text(), "1");
        QCOMPARE(f.Edit22->text(), "2");
    }
};

// A unit image with every byte the tool does not write set apart, so a write that sends
// anything but the unit's own bytes there shows.
Image distinctive(std::uint8_t firmware, std::uint8_t minor)
{
    Image im = sim::defaultImage(firmware, minor, 2);
    for (int i : {2, 3})
        im[i] = std::uint8_t(0xA0 + i);
    for (int i = 28; i < 34; ++i)
        im[i] = std::uint8_t(0xB0 + i);
    for (int i = 44; i < 50; ++i)
        im[i] = std::uint8_t(0xC0 + i);
    for (int i = 52; i < 512; ++i)
        im[i] = std::uint8_t(i * 13);
    im[4] = 0x01, im[5] = 0x2C;
    im[51] = settings::imagesum(im.data());
    return im;
}

QString errortitle()
{
    return QStringLiteral("Ошибка");
}

} // namespace

class TransferTest : public QObject {
    Q_OBJECT
private slots:
    void startupIsBlank();
    void barsFollowKeys();
    void steppersAtEnds_data();
    void steppersAtEnds();
    void barsFromProgram();
    void factoryThenWrite();
    void readWriteReadBack();
    void unwrittenBytesGoBackAsRead();
    void oldFirmware();
    void refusedField_data();
    void refusedField();
    void withoutConnection();
    void silentAfterRead_data();
    void silentAfterRead();
    void silentAfterWrite();
    // These set the application title to "Ошибка" for the rest of the run.
    void badChecksum();
    void refusedWrite();
    void picture();
};

void TransferTest::startupIsBlank()
{
    Desk d;
    d.verifyblank();
    QVERIFY(d.form->Edit1->isReadOnly());
    QVERIFY(d.form->Edit2->isReadOnly());
    QVERIFY(d.form->Edit4->isReadOnly());
    for (QLineEdit* e : {d.form->Edit21, d.form->Edit22, d.form->Edit23})
        QVERIFY(e->isReadOnly());
    QVERIFY(!d.form->Edit5->isReadOnly());
}

void TransferTest::barsFollowKeys()
{
    Desk d;
    QSlider* bar = d.form->TrackBar2;
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(bar->value(), 2);
    QCOMPARE(d.form->Edit21->text(), "2");
    QTest::keyClick(bar, Qt::Key_PageUp);
    QCOMPARE(bar->value(), 4);
    QCOMPARE(d.form->Edit21->text(), "4");
    QTest::keyClick(bar, Qt::Key_Left);
    QTest::keyClick(bar, Qt::Key_Left);
    QTest::keyClick(bar, Qt::Key_Left);
    QTest::keyClick(bar, Qt::Key_Left);
    QTest::keyClick(bar, Qt::Key_Left); // stops at 0
    QCOMPARE(bar->value(), 0);
    QCOMPARE(d.form->Edit21->text(), "0");
    QCOMPARE(bar->tickPosition(), QSlider::TicksBelow);
    QCOMPARE(bar->tickInterval(), 1);
}

void TransferTest::steppersAtEnds_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::newRow("Скорость мигания") << 1 << 5 << 20;
    QTest::newRow("Частота контроля") << 2 << 0 << 100;
    QTest::newRow("Уровень звука сообщений") << 3 << 2 << 16;
}

void TransferTest::steppersAtEnds()
{
    QFETCH(int, which);
    QFETCH(int, min);
    QFETCH(int, max);
    Desk d;
    TForm1& f = *d.form;
    QSlider* bar = which == 1 ? f.TrackBar1 : which == 2 ? f.TrackBar2 : f.TrackBar3;
    QPushButton* minus = which == 1 ? f.Button2 : which == 2 ? f.Button14 : f.Button17;
    QPushButton* plus = which == 1 ? f.Button16 : which == 2 ? f.Button13 : f.Button18;
    QLineEdit* echo = which == 1 ? f.Edit23 : which == 2 ? f.Edit21 : f.Edit22;
    QCOMPARE(bar->minimum(), min);
    QCOMPARE(bar->maximum(), max);

    bar->setValue(max);
    QCOMPARE(echo->text(), QString::number(max));
    // A mark in the echo field shows whether the change handler ran.
    echo->setText("mark");
    d.click(plus);
    QCOMPARE(bar->value(), max);
    QCOMPARE(echo->text(), "mark");
    d.click(minus);
    QCOMPARE(bar->value(), max - 1);
    QCOMPARE(echo->text(), QString::number(max - 1));

    bar->setValue(min);
    echo->setText("mark");
    d.click(minus);
    QCOMPARE(bar->value(), min);
    QCOMPARE(echo->text(), "mark");
    d.click(plus);
    QCOMPARE(bar->value(), min + 1);
    QCOMPARE(echo->text(), QString::number(min + 1));
}

void TransferTest::barsFromProgram()
{
    Desk d;
    TForm1& f = *d.form;
    f.TrackBar2->setValue(51);
    QCOMPARE(f.Edit21->text(), "51");
    f.TrackBar3->setValue(200);
    QCOMPARE(f.TrackBar3->value(), 16);
    QCOMPARE(f.Edit22->text(), "16");
    f.TrackBar3->setValue(0);
    QCOMPARE(f.TrackBar3->value(), 2);
    QCOMPARE(f.Edit22->text(), "2");
    f.Edit22->setText("mark");
    f.TrackBar3->setValue(2);
    QCOMPARE(f.Edit22->text(), "mark");
}

void TransferTest::factoryThenWrite()
{
    Desk d;
    d.unit->setImage(distinctive(52, 14));
    d.connect();
    QCOMPARE(d.form->Edit1->text(), "5.14");
    QCOMPARE(d.form->Edit4->text(), QStringLiteral("ПУЛЬТ"));

    d.unit->clearReceived();
    int from = d.loglength();
    d.click(d.form->Button3);
    QCOMPARE(d.logsince(from), QStringList{QStringLiteral(" Значения выставлены")});
    QCOMPARE(d.form->Edit4->text(), QStringLiteral("ВИРЕЛАН2"));
    QCOMPARE(d.form->Edit1->text(), "-- --");
    QCOMPARE(d.form->Edit2->text(), "-- --");
    QTest::qWait(20);
    QCOMPARE(d.received(), Bytes{}); // the factory values go nowhere by themselves

    d.unit->clearReceived();
    from = d.loglength();
    d.click(d.form->Button4);

    const Image sent = d.unit->image();
    const Image before = distinctive(52, 14);
    const auto& want = FactoryBytes;
    Image expected = before;
    for (const auto& w : want)
        expected[w[0]] = w[1];
    expected[51] = settings::imagesum(expected.data());
    QCOMPARE(sent, expected);

    Bytes wire = d.received();
    QCOMPARE(int(wire.size()), 1 + 512 + 1);
    QCOMPARE(int(wire.front()), int('S'));
    QVERIFY(std::equal(expected.begin(), expected.end(), wire.begin() + 1));
    QCOMPARE(int(wire.back()), int('R'));

    QCOMPARE(d.logsince(from),
             (QStringList{QStringLiteral(" Запись настроек..."), QStringLiteral(" Записано."),
                          QStringLiteral(" Чтение настроек..."), QStringLiteral(" Ждите..."),
                          QStringLiteral(" Прочитано")}));
    // Read back: the window shows what the unit now holds.
    QCOMPARE(d.form->Edit12->text(), "2900");
    QCOMPARE(d.form->Edit4->text(), QStringLiteral("ПУЛЬТ"));
    QCOMPARE(d.form->Edit2->text(), "300");
    QVERIFY(d.modals.boxes.isEmpty());
}

void TransferTest::readWriteReadBack()
{
    Desk d;
    Image im = sim::defaultImage(50, 0, 3);
    im[6] = 9, im[7] = 200;
    im[8] = 2; // neither on nor off: reads as off
    im[38] = 0;   // below the flashing speed's range
    im[43] = 200; // above the volume's range
    im[42] = 77;
    im[16] = 0x0D, im[17] = 0xAC;
    im[51] = settings::imagesum(im.data());
    d.unit->setImage(im);
    d.connect();
    TForm1& f = *d.form;
    QCOMPARE(f.Edit1->text(), "5.0");
    QCOMPARE(f.Edit4->text(), QStringLiteral("Модуль входов"));
    QCOMPARE(f.Edit2->text(), "300");
    QCOMPARE(f.Edit5->text(), "9");
    QCOMPARE(f.Edit6->text(), "200");
    QCOMPARE(f.Edit10->text(), "3500");
    QVERIFY(!f.CheckBox11->isChecked());
    QVERIFY(f.CheckBox12->isChecked());
    QCOMPARE(f.TrackBar1->value(), 5);
    QCOMPARE(f.Edit23->text(), "5");
    QCOMPARE(f.TrackBar2->value(), 77);
    QCOMPARE(f.TrackBar3->value(), 16);
    QCOMPARE(f.Edit22->text(), "16");
    QCOMPARE(int(link::area[link::NewFirmware]), 1);

    d.type(f.Edit5, "   $1F");
    d.type(f.Edit7, "0xFFFF");
    d.type(f.Edit13, "255");
    d.tick(f.CheckBox3); // on -> off
    d.tick(f.CheckBox11); // off -> on
    d.click(f.Button13); // 77 -> 78
    d.click(f.Button4);

    const Image got = d.unit->image();
    QCOMPARE(int(got[6]), 31);
    QCOMPARE(int(got[7]), 200);
    QCOMPARE(int(got[8]), 1);
    QCOMPARE(int(got[10]), 0xFF);
    QCOMPARE(int(got[11]), 0xFF);
    QCOMPARE(int(got[36]), 0);
    QCOMPARE(int(got[38]), 5);  // the clamped bars go back as they stand
    QCOMPARE(int(got[43]), 16);
    QCOMPARE(int(got[42]), 78);
    QCOMPARE(int(got[39]), 255);
    QCOMPARE(int(got[51]), int(settings::imagesum(got.data())));

    // The read-back shows the unit's values.
    QCOMPARE(f.Edit5->text(), "31");
    QCOMPARE(f.Edit7->text(), "65535");
    QCOMPARE(f.Edit13->text(), "255");
    QVERIFY(!f.CheckBox3->isChecked());
    QVERIFY(f.CheckBox11->isChecked());
    QCOMPARE(f.Edit21->text(), "78");
    QVERIFY(d.modals.boxes.isEmpty());
}

void TransferTest::unwrittenBytesGoBackAsRead()
{
    Desk d;
    const Image before = distinctive(52, 14);
    d.unit->setImage(before);
    d.connect();
    // A telemetry poll lands over the first twelve bytes of the receive area.
    link::sendbyte(0x10);
    QCOMPARE(link::readtelemetry(), 12);
    QVERIFY(link::area[0] != before[0]);

    d.unit->clearReceived();
    d.click(d.form->Button4);
    const Bytes wire = d.received();
    QCOMPARE(int(wire.size()), 1 + 512 + 1);
    Image sent;
    std::copy(wire.begin() + 1, wire.begin() + 513, sent.begin());
    QCOMPARE(sent, before); // nothing was changed in the window, so all of it comes back
}

void TransferTest::oldFirmware()
{
    // The unit answers "[" to the write, but old firmware is not asked for a verdict.
    sim::Config c;
    c.firmware = 52;
    c.refuseWrites = true;
    Desk d(c);
    Image im = sim::defaultImage(49, 99, 1);
    im[51] = std::uint8_t(im[51] + 5); // not compared for old firmware
    d.unit->setImage(im);
    const QString title = apptitle();
    QVERIFY2(d.form->Button8, "the window has no siren button");
    QVERIFY(!d.form->Button8->isVisible());
    int from = d.loglength();
    d.connect();
    QCOMPARE(d.form->Edit1->text(), "4.9");
    QCOMPARE(int(link::area[link::NewFirmware]), 0);
    QVERIFY(d.form->Button8->isVisible()); // "Запись сирены"
    QVERIFY(!d.logsince(from).contains(QStringLiteral(" Контрольная сумма не совпадает")));

    from = d.loglength();
    d.click(d.form->Button4);
    const QStringList l = d.logsince(from);
    QVERIFY2(l.contains(QStringLiteral(" Записано.")), qPrintable(l.join('|')));
    QVERIFY(!l.contains(QStringLiteral(" Ошибка Записи")));
    QVERIFY(d.modals.boxes.isEmpty());
    QCOMPARE(apptitle(), title);
}

void TransferTest::refusedField_data()
{
    QTest::addColumn<QString>("first");  // field typed first
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("second"); // a later field, also bad, or empty
    QTest::addColumn<QString>("message");
    const QString notint = QStringLiteral("'%1' is not a valid integer value.");
    const QString range = QStringLiteral("'%1' is out of range: the field takes 0 to %2.");
    QTest::newRow("letters in Edit7 and Edit20") << "Edit7" << "abc" << "Edit20"
                                                 << notint.arg("abc");
    QTest::newRow("address 300") << "Edit5" << "300" << "" << range.arg("300").arg(255);
    QTest::newRow("level -1") << "Edit10" << "-1" << "" << range.arg("-1").arg(65535);
    QTest::newRow("level 65536") << "Edit11" << "65536" << "" << range.arg("65536").arg(65535);
    QTest::newRow("trailing space") << "Edit6" << "31 " << "" << notint.arg("31 ");
    QTest::newRow("empty Edit13") << "Edit13" << "" << "" << notint.arg("");
}

void TransferTest::refusedField()
{
    QFETCH(QString, first);
    QFETCH(QString, text);
    QFETCH(QString, second);
    QFETCH(QString, message);
    Desk d;
    d.connect();
    TForm1& f = *d.form;
    auto byname = [&f](const QString& n) { return f.findChild<QLineEdit*>(n); };
    QLineEdit* a = byname(first);
    QVERIFY2(a, qPrintable(first));
    d.type(a, text);
    if (!second.isEmpty())
        d.type(byname(second), "xyz");

    const QString title = apptitle();
    d.unit->clearReceived();
    const int from = d.loglength();
    d.click(f.Button4);
    QTRY_COMPARE(d.modals.boxes.size(), 1);
    QCOMPARE(d.modals.boxes[0].text, message);
    QCOMPARE(d.modals.boxes[0].title, title);
    QCOMPARE(d.modals.boxes[0].icon, int(QMessageBox::Critical));
    QTest::qWait(50);
    QCOMPARE(d.received(), Bytes{}); // not even "S"
    QCOMPARE(d.loglength(), from);
    QCOMPARE(a->text(), text);
    if (!second.isEmpty())
        QCOMPARE(byname(second)->text(), "xyz");
    QCOMPARE(f.Edit4->text(), QStringLiteral("ВИРЕЛАН2")); // not blanked
}

void TransferTest::withoutConnection()
{
    // The unit does not accept the connect, so the port is open but there is no conversation.
    sim::Config c;
    c.answerToStart = -1;
    Desk d(c);
    d.connect();
    QCOMPARE(int(link::area[link::Connected]), 0);
    d.click(d.form->Button3);
    // What the tool has already sent may still be on its way through the pseudo-terminal on a
    // busy machine: only once the line is quiet does "nothing more" mean anything.
    for (size_t seen = size_t(-1); seen != d.unit->received().size();) {
        seen = d.unit->received().size();
        QTest::qWait(150);
    }
    d.unit->clearReceived();

    int from = d.loglength();
    d.click(d.form->Button4);
    QCOMPARE(d.loglength(), from);
    QCOMPARE(d.form->Edit10->text(), "3500"); // not blanked either

    d.click(d.form->Button5);
    d.verifyblank();
    QCOMPARE(d.loglength(), from);
    QTest::qWait(50);
    QCOMPARE(d.received(), Bytes{});
}

void TransferTest::silentAfterRead_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("nothing") << 0;
    QTest::newRow("part of an image") << 100;
}

void TransferTest::silentAfterRead()
{
    QFETCH(int, length);
    Desk d;
    d.connect();
    QCOMPARE(int(link::area[link::NewFirmware]), 1);
    QCOMPARE(d.form->Edit1->text(), "5.14");
    const QString title = apptitle();

    // Now the unit stops sending its image.  Old-firmware bytes in the receive area would turn
    // the flag off if they were decoded.
    sim::Config c = d.unit->config();
    c.imageLength = length;
    d.unit->setConfig(c);
    Image im = sim::defaultImage(20, 0, 2);
    d.unit->setImage(im);

    const int from = d.loglength();
    d.click(d.form->Button5);
    QCOMPARE(d.logsince(from),
             (QStringList{QStringLiteral(" Ждите..."), QStringLiteral(" Нет ответа от блока")}));
    d.verifyblank();
    QCOMPARE(int(link::area[link::NewFirmware]), 1);
    QVERIFY2(d.form->Button8, "the window has no siren button");
    QVERIFY(!d.form->Button8->isVisible());
    QVERIFY(d.modals.boxes.isEmpty());
    QCOMPARE(apptitle(), title);

    // Not even factory values are written over settings the unit did not send: the fields
    // the tool does not write would have to be made up.  Nothing reaches the unit but the
    // read-back.
    d.click(d.form->Button3);
    d.unit->clearReceived();
    const int before = d.loglength();
    d.click(d.form->Button4);
    QCOMPARE(d.logsince(before).mid(0, 2),
             (QStringList{QStringLiteral(" Запись невозможна: настройки блока не прочитаны"),
                          QStringLiteral(" Чтение настроек...")}));
    QCOMPARE(d.received(), Bytes{'R'});
    QVERIFY(d.modals.boxes.isEmpty());

    // Once the unit answers again, writing works again.
    c.imageLength = 512;
    d.unit->setConfig(c);
    d.click(d.form->Button5);
    d.click(d.form->Button3);
    d.unit->clearReceived();
    d.click(d.form->Button4);
    QCOMPARE(d.received().size(), size_t(1 + 512 + 1));
    QCOMPARE(d.received().front(), std::uint8_t('S'));
}

void TransferTest::silentAfterWrite()
{
    // New firmware whose code is "[" itself: after the write the receive area still starts
    // with it, but a unit that says nothing has not refused anything.
    sim::Config c;
    c.firmware = '[';
    c.writeVerdict = -1;
    Desk d(c);
    d.connect();
    QCOMPARE(d.form->Edit1->text(), "9.14");
    const QString title = apptitle();
    const int from = d.loglength();
    d.click(d.form->Button4);
    const QStringList l = d.logsince(from);
    QCOMPARE(l.mid(0, 2),
             (QStringList{QStringLiteral(" Запись настроек..."), QStringLiteral(" Записано.")}));
    QVERIFY(d.modals.boxes.isEmpty());
    QCOMPARE(apptitle(), title);
}

void TransferTest::badChecksum()
{
    sim::Config c;
    c.badChecksum = true;
    Desk d(c);
    const int from = d.loglength();
    d.connect();
    QTRY_COMPARE(d.modals.boxes.size(), 1);
    QCOMPARE(d.modals.boxes[0].title, errortitle());
    QCOMPARE(d.modals.boxes[0].text, QStringLiteral("Контрольная сумма не совпадает"));
    QCOMPARE(apptitle(), errortitle());
    const QStringList l = d.logsince(from);
    QCOMPARE(l.mid(l.size() - 3),
             (QStringList{QStringLiteral(" Ждите..."), QStringLiteral(" Прочитано"),
                          QStringLiteral(" Контрольная сумма не совпадает")}));
    // Shown in full all the same; the siren button stays hidden for new firmware.
    QCOMPARE(d.form->Edit1->text(), "5.14");
    QCOMPARE(d.form->Edit10->text(), "3500");
    QVERIFY2(d.form->Button8, "the window has no siren button");
    QVERIFY(!d.form->Button8->isVisible());
}

void TransferTest::refusedWrite()
{
    sim::Config c;
    c.refuseWrites = true;
    Desk d(c);
    d.connect();
    d.type(d.form->Edit5, "7");
    const int from = d.loglength();
    d.click(d.form->Button4);
    QTRY_COMPARE(d.modals.boxes.size(), 1);
    QCOMPARE(d.modals.boxes[0].title, errortitle());
    QCOMPARE(d.modals.boxes[0].text, QStringLiteral("Ошибка Записи"));
    QCOMPARE(apptitle(), errortitle());
    QCOMPARE(d.logsince(from),
             (QStringList{QStringLiteral(" Запись настроек..."), QStringLiteral(" Ошибка Записи"),
                          QStringLiteral(" Чтение настроек..."), QStringLiteral(" Ждите..."),
                          QStringLiteral(" Прочитано")}));
    // The read-back shows what the unit kept.
    QCOMPARE(d.form->Edit5->text(), "1");
}

void TransferTest::picture()
{
    const QByteArray dir = qgetenv("SETTINGS_PNG_DIR");
    if (dir.isEmpty())
        QSKIP("set SETTINGS_PNG_DIR to keep a picture of the window after a read");
    Desk d;
    d.connect();
    QVERIFY(d.form->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("settings-read.png")));
}

int main(int argc, char** argv)
{
    // The window's own application object: an error escaping a handler becomes the error box.
    Application app(argc, argv);
    TransferTest t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_transfer.moc"
