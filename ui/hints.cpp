// The hover hints.  The window designs no hint: each of these controls gets its text, and its
// own hint display, the first time the pointer moves over it.
#include "ui/application.h"
#include "ui/unit1.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

void TForm1::hint(QWidget* control, const char* text)
{
    control->setToolTip(QString::fromUtf8(text));
    control->setToolTipDuration(hinthidepause > 0 ? hinthidepause : -1);
    control->setProperty("showHint", true);
}

void TForm1::Button1MouseMove()
{
    hint(Button1, "Подключение к устройству на\nвыбранном COM порту. Выбирете\nCOM порт. ");
}

void TForm1::Button3MouseMove()
{
    hint(Button3, "Настройки по умолчанию.");
}

void TForm1::Button4MouseMove()
{
    hint(Button4, "Записывает все параметры в\nустройство.");
}

void TForm1::Button5MouseMove()
{
    hint(Button5, "Считывает все параметры с\nустройства");
}

void TForm1::Button6MouseMove()
{
    hint(Button6, "Записывает сообщения ППК1 и\nППК2 в ВИРЕЛАН из файлов типа .wav");
}

void TForm1::Button8MouseMove()
{
    hint(Button8, "Записывает звук сирены из файла\nтипа .wav");
}

void TForm1::Edit1MouseMove()
{
    hint(Edit1, "Версия программного обеспечения\nустройства");
}

void TForm1::Edit2MouseMove()
{
    hint(Edit2, "Количество запусков устройства.");
}

void TForm1::Edit5MouseMove()
{
    hint(Edit5, "Адрес устройства в сети ВИРЕЛАН2");
}

void TForm1::Edit6MouseMove()
{
    hint(Edit6, "Номер зоны оповещения для\nданного устройства");
}

void TForm1::Edit7MouseMove()
{
    hint(Edit7, "Допустимый диапазон изменения\nтока контроля табло, который\nне вызывает<НЕИСПРАВНОСТЬ>");
}

void TForm1::Edit8MouseMove()
{
    hint(Edit8, "Допустимый диапазон изменения\nсигнала контроля линии\nоповещения, который\nне вызывает <НЕИСПРАВНОСТЬ>");
}

void TForm1::Edit9MouseMove()
{
    hint(Edit9, "Постоянная времени ухода из\nнормы сигнала контроля при\nнеисправности");
}

void TForm1::Edit10MouseMove()
{
    hint(Edit10, "Уровень сигнала, выше которого\nвходная линия управления -\n- оборвана");
}

void TForm1::Edit11MouseMove()
{
    hint(Edit11, "Уровень сигнала, ниже которого\nвходная линия управления -\n- короткозамкнута");
}

void TForm1::Edit12MouseMove()
{
    hint(Edit12, "Ниже этого уровня - Сработка,\nвыше - дежурный режим, с\nучётом КЗ и обрыва");
}

void TForm1::Edit13MouseMove()
{
    hint(Edit13, "Время регистрации ухода тока\nконтроля табло");
}

void TForm1::Edit20MouseMove()
{
    hint(Edit20, "???");
}

void TForm1::CheckBox1MouseMove()
{
    hint(CheckBox1, "Разрешает контроль линии связи\nсо входом управлени ППК1");
}

void TForm1::CheckBox2MouseMove()
{
    hint(CheckBox2, "Разрешает контроль линии связи\n со входом управлени ППК2");
}

void TForm1::CheckBox3MouseMove()
{
    hint(CheckBox3, "Разрешает контроль линии связи\n со входом управлени ГОиЧС");
}

void TForm1::CheckBox4MouseMove()
{
    hint(CheckBox4, "Разрешает контроль линии связи\nпультом и RS-485");
}

void TForm1::CheckBox5MouseMove()
{
    hint(CheckBox5, "Разрешает замыкание реле\n<РАБОТА> при проигрывании\nсообщения ППК1");
}

void TForm1::CheckBox6MouseMove()
{
    hint(CheckBox6, "Разрешает замыкание реле\n<РАБОТА> при проигрывании\nсообщения ППК2");
}

void TForm1::CheckBox7MouseMove()
{
    hint(CheckBox7, "Разрешает замыкание реле\n<РАБОТА> при трансляции ГОиЧС");
}

void TForm1::CheckBox8MouseMove()
{
    hint(CheckBox8, "Разрешает замыкание реле\n<РАБОТА> при трансляции с\nмузыкального входа");
}

void TForm1::CheckBox9MouseMove()
{
    hint(CheckBox9, "Разрешает замыкание реле\n<РАБОТА> при трансляции сигнала\nс пульта");
}

void TForm1::CheckBox10MouseMove()
{
    hint(CheckBox10, "Разрешает замыкание реле\n<РАБОТА> при проигрывании\nзвука сирены");
}

void TForm1::CheckBox11MouseMove()
{
    hint(CheckBox11, "Режим работы табло в дежурном\nрежиме (вкл/выкл)");
}

void TForm1::CheckBox12MouseMove()
{
    hint(CheckBox12, "Режим работы табло при пожаре");
}

void TForm1::createhints()
{
    const std::pair<QWidget*, void (TForm1::*)()> handlers[] = {
        {Button1, &TForm1::Button1MouseMove},
        {Button3, &TForm1::Button3MouseMove},
        {Button4, &TForm1::Button4MouseMove},
        {Button5, &TForm1::Button5MouseMove},
        {Button6, &TForm1::Button6MouseMove},
        {Button8, &TForm1::Button8MouseMove},
        {Edit1, &TForm1::Edit1MouseMove},
        {Edit2, &TForm1::Edit2MouseMove},
        {Edit5, &TForm1::Edit5MouseMove},
        {Edit6, &TForm1::Edit6MouseMove},
        {Edit7, &TForm1::Edit7MouseMove},
        {Edit8, &TForm1::Edit8MouseMove},
        {Edit9, &TForm1::Edit9MouseMove},
        {Edit10, &TForm1::Edit10MouseMove},
        {Edit11, &TForm1::Edit11MouseMove},
        {Edit12, &TForm1::Edit12MouseMove},
        {Edit13, &TForm1::Edit13MouseMove},
        {Edit20, &TForm1::Edit20MouseMove},
        {CheckBox1, &TForm1::CheckBox1MouseMove},
        {CheckBox2, &TForm1::CheckBox2MouseMove},
        {CheckBox3, &TForm1::CheckBox3MouseMove},
        {CheckBox4, &TForm1::CheckBox4MouseMove},
        {CheckBox5, &TForm1::CheckBox5MouseMove},
        {CheckBox6, &TForm1::CheckBox6MouseMove},
        {CheckBox7, &TForm1::CheckBox7MouseMove},
        {CheckBox8, &TForm1::CheckBox8MouseMove},
        {CheckBox9, &TForm1::CheckBox9MouseMove},
        {CheckBox10, &TForm1::CheckBox10MouseMove},
        {CheckBox11, &TForm1::CheckBox11MouseMove},
        {CheckBox12, &TForm1::CheckBox12MouseMove},
    };
    for (const auto& [control, handler] : handlers) {
        if (!control)
            continue;
        // Mouse moves without a button pressed reach a control only while it tracks them.
        control->setMouseTracking(true);
        control->installEventFilter(this);
        mousemoves.insert(control, handler);
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        const auto it = mousemoves.constFind(watched);
        if (it != mousemoves.constEnd())
            (this->*it.value())();
    }
    return QWidget::eventFilter(watched, event);
}
