// Hover hints: none until the pointer has moved over a control, then its text, shown after
// half a second and kept up for thirty.
#include "tests/support/fixture.h"
#include "ui/application.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QToolTip>
#include <QDir>
#include <QScreen>

using namespace fixture;

namespace {
QWidget* control(TForm1& f, const QString& name)
{
    return f.findChild<QWidget*>(name);
}
} // namespace

class TestHints : public QObject {
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("Button1") << "Button1" << QString::fromUtf8("Подключение к устройству на\nвыбранном COM порту. Выбирете\nCOM порт. ");
        QTest::newRow("Button3") << "Button3" << QString::fromUtf8("Настройки по умолчанию.");
        QTest::newRow("Button4") << "Button4" << QString::fromUtf8("Записывает все параметры в\nустройство.");
        QTest::newRow("Button5") << "Button5" << QString::fromUtf8("Считывает все параметры с\nустройства");
        QTest::newRow("Button6") << "Button6" << QString::fromUtf8("Записывает сообщения ППК1 и\nППК2 в ВИРЕЛАН из файлов типа .wav");
        QTest::newRow("Button8") << "Button8" << QString::fromUtf8("Записывает звук сирены из файла\nтипа .wav");
        QTest::newRow("Edit1") << "Edit1" << QString::fromUtf8("Версия программного обеспечения\nустройства");
        QTest::newRow("Edit2") << "Edit2" << QString::fromUtf8("Количество запусков устройства.");
        QTest::newRow("Edit5") << "Edit5" << QString::fromUtf8("Адрес устройства в сети ВИРЕЛАН2");
        QTest::newRow("Edit6") << "Edit6" << QString::fromUtf8("Номер зоны оповещения для\nданного устройства");
        QTest::newRow("Edit7") << "Edit7" << QString::fromUtf8("Допустимый диапазон изменения\nтока контроля табло, который\nне вызывает<НЕИСПРАВНОСТЬ>");
        QTest::newRow("Edit8") << "Edit8" << QString::fromUtf8("Допустимый диапазон изменения\nсигнала контроля линии\nоповещения, который\nне вызывает <НЕИСПРАВНОСТЬ>");
        QTest::newRow("Edit9") << "Edit9" << QString::fromUtf8("Постоянная времени ухода из\nнормы сигнала контроля при\nнеисправности");
        QTest::newRow("Edit10") << "Edit10" << QString::fromUtf8("Уровень сигнала, выше которого\nвходная линия управления -\n- оборвана");
        QTest::newRow("Edit11") << "Edit11" << QString::fromUtf8("Уровень сигнала, ниже которого\nвходная линия управления -\n- короткозамкнута");
        QTest::newRow("Edit12") << "Edit12" << QString::fromUtf8("Ниже этого уровня - Сработка,\nвыше - дежурный режим, с\nучётом КЗ и обрыва");
        QTest::newRow("Edit13") << "Edit13" << QString::fromUtf8("Время регистрации ухода тока\nконтроля табло");
        QTest::newRow("Edit20") << "Edit20" << QString::fromUtf8("???");
        QTest::newRow("CheckBox1") << "CheckBox1" << QString::fromUtf8("Разрешает контроль линии связи\nсо входом управлени ППК1");
        QTest::newRow("CheckBox2") << "CheckBox2" << QString::fromUtf8("Разрешает контроль линии связи\n со входом управлени ППК2");
        QTest::newRow("CheckBox3") << "CheckBox3" << QString::fromUtf8("Разрешает контроль линии связи\n со входом управлени ГОиЧС");
        QTest::newRow("CheckBox4") << "CheckBox4" << QString::fromUtf8("Разрешает контроль линии связи\nпультом и RS-485");
        QTest::newRow("CheckBox5") << "CheckBox5" << QString::fromUtf8("Разрешает замыкание реле\n<РАБОТА> при проигрывании\nсообщения ППК1");
        QTest::newRow("CheckBox6") << "CheckBox6" << QString::fromUtf8("Разрешает замыкание реле\n<РАБОТА> при проигрывании\nсообщения ППК2");
        QTest::newRow("CheckBox7") << "CheckBox7" << QString::fromUtf8("Разрешает замыкание реле\n<РАБОТА> при трансляции ГОиЧС");
        QTest::newRow("CheckBox8") << "CheckBox8" << QString::fromUtf8("Разрешает замыкание реле\n<РАБОТА> при трансляции с\nмузыкального входа");
        QTest::newRow("CheckBox9") << "CheckBox9" << QString::fromUtf8("Разрешает замыкание реле\n<РАБОТА> при трансляции сигнала\nс пульта");
        QTest::newRow("CheckBox10") << "CheckBox10" << QString::fromUtf8("Разрешает замыкание реле\n<РАБОТА> при проигрывании\nзвука сирены");
        QTest::newRow("CheckBox11") << "CheckBox11" << QString::fromUtf8("Режим работы табло в дежурном\nрежиме (вкл/выкл)");
        QTest::newRow("CheckBox12") << "CheckBox12" << QString::fromUtf8("Режим работы табло при пожаре");
    }
    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        Scratch scratch;
        Modals modals;
        TForm1 form;
        if (form.Button8)
            form.Button8->setVisible(true); // as after a read from old firmware
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget* w = control(form, name);
        QVERIFY2(w, qPrintable(name));
        QVERIFY(w->toolTip().isEmpty());
        QVERIFY(!w->property("showHint").toBool());
        QTest::mouseMove(w, w->rect().center());
        QCOMPARE(w->toolTip(), text);
        QVERIFY(w->property("showHint").toBool());
        // Shown as plain text, angle brackets and all.
        QVERIFY(!Qt::mightBeRichText(w->toolTip()));
        // Moving again changes nothing.
        QTest::mouseMove(w, w->rect().center() + QPoint(1, 1));
        QCOMPARE(w->toolTip(), text);
    }

    void noHintBeforeTheFirstMove()
    {
        Scratch scratch;
        Modals modals;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (QWidget* w : form.findChildren<QWidget*>())
            QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
        QVERIFY(form.toolTip().isEmpty());
    }

    void controlsWithoutHints_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"ComboBox1", "Button15", "Edit4", "Edit21", "Edit22", "Edit23", "TrackBar1",
                              "TrackBar2", "TrackBar3", "Button2", "Button13", "Button14", "Button16",
                              "Button17", "Button18", "Memo1", "Button11"})
            QTest::newRow(n) << n;
    }
    void controlsWithoutHints()
    {
        QFETCH(QString, name);
        Scratch scratch;
        Modals modals;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget* w = control(form, name);
        QVERIFY2(w, qPrintable(name));
        QTest::mouseMove(w, w->rect().center());
        QTest::mouseMove(w, w->rect().center() + QPoint(2, 1));
        QVERIFY(w->toolTip().isEmpty());
    }

    void shownAfterHalfASecondForThirty()
    {
        Scratch scratch;
        Modals modals;
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 500);
        QTest::mouseMove(form.Edit7, form.Edit7->rect().center());
        QCOMPARE(form.Edit7->toolTipDuration(), 30000);
        QVERIFY(!QToolTip::isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 3000);
        QCOMPARE(QToolTip::text(), form.Edit7->toolTip());
        QCOMPARE(QToolTip::text().count(QLatin1Char('\n')), 2);
        const QString pngs = qEnvironmentVariable("V2_PNG_DIR", scratch.path());
        QDir().mkpath(pngs);
        QScreen* screen = form.screen();
        screen->grabWindow(0).save(pngs + QStringLiteral("/hint-edit7.png"));
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestHints t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_hints.moc"
