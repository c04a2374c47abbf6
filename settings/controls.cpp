// The settings controls: their places, captions, ranges and design states, the "-"/"+"
// steppers beside the three bars and the echo fields that show the bars' positions.
#include "settings/image.h"
#include "ui/controls.h"
#include "ui/application.h"
#include "ui/unit1.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <utility>

namespace {

using namespace controls;

// The field's face in the window's own background colour.
void parentcolour(QLineEdit* e, const QWidget* window)
{
    QPalette p = e->palette();
    const QColor c = window->palette().color(QPalette::Window);
    p.setColor(QPalette::Active, QPalette::Base, c);
    p.setColor(QPalette::Inactive, QPalette::Base, c);
    p.setColor(QPalette::Disabled, QPalette::Base, c);
    e->setPalette(p);
}

// The echo fields beside the bars sit in the button face colour, like a raised panel.
QLineEdit* echo(QWidget* parent, int left, int top)
{
    auto* e = edit(parent, QStringLiteral("0"), left, top, 40);
    e->setReadOnly(true);
    QPalette p = e->palette();
    const QColor c = parent->palette().color(QPalette::Button);
    p.setColor(QPalette::Active, QPalette::Base, c);
    p.setColor(QPalette::Inactive, QPalette::Base, c);
    p.setColor(QPalette::Disabled, QPalette::Base, c);
    e->setPalette(p);
    return e;
}

QCheckBox* check(QWidget* parent, const QString& text, int left, int top, int width,
                 bool on)
{
    auto* c = new QCheckBox(text, parent);
    c->setGeometry(left, top, width, 20);
    c->setChecked(on);
    return c;
}

QSlider* bar(QWidget* parent, int left, int top, int height, int min, int max, int position)
{
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setGeometry(left, top, 120, height);
    s->setRange(min, max);
    s->setTickPosition(QSlider::TicksBelow);
    s->setTickInterval(1);
    s->setSingleStep(1);
    s->setPageStep(2);
    // The design position is set before the change handler is connected: the echo field keeps
    // its "0" until the bar first moves.
    s->setValue(position);
    return s;
}

} // namespace

void TForm1::createsettings()
{
    QWidget* w = this;

    // Left column: the three settings buttons and the device type.
    Button4 = button(w, QStringLiteral("Запись"), 16, 115, 55, 25);
    Button5 = button(w, QStringLiteral("Читать"), 81, 115, 55, 25);
    Button3 = button(w, QStringLiteral("Заводские настройки"), 16, 146, 120, 25);
    Label4 = centred(w, QStringLiteral("Тип устройсва"), 8, 180, 136);
    Edit4 = edit(w, QStringLiteral("Не определён"), 16, 199, 120);
    Edit4->setReadOnly(true);

    // Display board.
    Label9 = label(w, QStringLiteral("Дрейф тока табло"), 160, 45);
    Edit7 = edit(w, QStringLiteral("0"), 160, 60, 120);
    Label24 = label(w, QStringLiteral("Время ухода тока"), 160, 85);
    Edit13 = edit(w, QStringLiteral("0"), 160, 100, 120);

    // Warning lines.
    Label10 = label(w, QStringLiteral("Дрейф оповещения"), 314, 45);
    Edit8 = edit(w, QStringLiteral("0"), 304, 60, 120);
    Label11 = label(w, QStringLiteral("Время ухода сигнала"), 304, 85);
    Edit9 = edit(w, QStringLiteral("0"), 304, 100, 120);
    Label32 = label(w, QStringLiteral("Уровень КЗ"), 304, 125);
    Edit20 = edit(w, QStringLiteral("0"), 304, 140, 120);
    Label33 = label(w, QStringLiteral("Частота контроля"), 304, 165);
    TrackBar2 = bar(w, 304, 180, 27, settings::FrequencyMin, settings::FrequencyMax, 10);
    Button14 = button(w, QStringLiteral("-"), 314, 210, 20, 20);
    Edit21 = echo(w, 344, 210);
    Button13 = button(w, QStringLiteral("+"), 394, 210, 20, 20);

    // Control inputs.
    Label13 = label(w, QStringLiteral("Короткое замыкание"), 441, 45);
    Edit10 = edit(w, QStringLiteral("0"), 440, 60, 120);
    Label12 = label(w, QStringLiteral("Обрыв"), 438, 87);
    Edit11 = edit(w, QStringLiteral("0"), 440, 100, 120);
    Label14 = label(w, QStringLiteral("Сработка"), 440, 125);
    Edit12 = edit(w, QStringLiteral("0"), 440, 140, 120);

    // Network.
    Label6 = label(w, QStringLiteral("Адрес в сети"), 592, 25);
    Edit5 = edit(w, QStringLiteral("Не определён"), 592, 40, 120);
    Label7 = label(w, QStringLiteral("Номер зоны оповещения"), 592, 65);
    Edit6 = edit(w, QStringLiteral("Не определён"), 592, 80, 120);
    Label3 = label(w, QStringLiteral("Количество запусков"), 592, 125);
    Edit2 = edit(w, QStringLiteral("Не определено"), 592, 140, 120);
    Edit2->setReadOnly(true);

    // Display settings.
    CheckBox11 = check(w, QStringLiteral("Горит в дер. режиме"), 156, 168, 128, false);
    CheckBox12 = check(w, QStringLiteral("Мигает при пожаре"), 156, 188, 128, false);
    Label23 = label(w, QStringLiteral("Скорость мигания"), 170, 214);
    TrackBar1 = bar(w, 160, 228, 29, settings::FlashSpeedMin, settings::FlashSpeedMax, 10);
    Button2 = button(w, QStringLiteral("-"), 170, 258, 20, 20);
    Edit23 = echo(w, 200, 258);
    Button16 = button(w, QStringLiteral("+"), 250, 258, 20, 20);

    // Firmware.
    Edit1 = edit(w, QStringLiteral("Не определено"), 160, 315, 120);
    Edit1->setReadOnly(true);

    // Monitoring enable.
    CheckBox1 = check(w, QStringLiteral("Контроль ППК1"), 304, 266, 126, true);
    CheckBox2 = check(w, QStringLiteral("Контроль ППК2"), 304, 286, 125, true);
    CheckBox3 = check(w, QStringLiteral("Контроль ГОиЧС"), 304, 306, 126, true);
    CheckBox4 = check(w, QStringLiteral("Пульт"), 304, 326, 121, true);

    // Relay "РАБОТА".
    CheckBox5 = check(w, QStringLiteral("ППК1"), 448, 211, 97, true);
    CheckBox6 = check(w, QStringLiteral("ППК2"), 448, 231, 97, true);
    CheckBox7 = check(w, QStringLiteral("ГОиЧС"), 448, 251, 97, true);
    CheckBox8 = check(w, QStringLiteral("Лин. Вход"), 448, 271, 97, true);
    CheckBox9 = check(w, QStringLiteral("Пульт"), 448, 291, 97, true);
    CheckBox10 = check(w, QStringLiteral("Сирена"), 448, 311, 97, true);

    // Message volume, below the upload controls.
    Label34 = centred(w, QStringLiteral("Уровень звука сообщений"), 584, 290, 136);
    TrackBar3 = bar(w, 592, 305, 33, settings::VolumeMin, settings::VolumeMax, 12);
    Button17 = button(w, QStringLiteral("-"), 602, 335, 20, 20);
    Edit22 = echo(w, 632, 335);
    Button18 = button(w, QStringLiteral("+"), 682, 335, 20, 20);

    for (QLineEdit* e : {Edit7, Edit13, Edit8, Edit9, Edit20, Edit10, Edit11, Edit12, Edit5,
                         Edit6, Edit2, Edit1})
        parentcolour(e, w);

    // Design names, so that the controls can be found by them.
    const std::pair<QWidget*, const char*> named[] = {
        {Button4, "Button4"},     {Button5, "Button5"},     {Button3, "Button3"},
        {Label4, "Label4"},       {Edit4, "Edit4"},         {Label9, "Label9"},
        {Edit7, "Edit7"},         {Label24, "Label24"},     {Edit13, "Edit13"},
        {Label10, "Label10"},     {Edit8, "Edit8"},         {Label11, "Label11"},
        {Edit9, "Edit9"},         {Label32, "Label32"},     {Edit20, "Edit20"},
        {Label33, "Label33"},     {TrackBar2, "TrackBar2"}, {Button14, "Button14"},
        {Edit21, "Edit21"},       {Button13, "Button13"},   {Label13, "Label13"},
        {Edit10, "Edit10"},       {Label12, "Label12"},     {Edit11, "Edit11"},
        {Label14, "Label14"},     {Edit12, "Edit12"},       {Label6, "Label6"},
        {Edit5, "Edit5"},         {Label7, "Label7"},       {Edit6, "Edit6"},
        {Label3, "Label3"},       {Edit2, "Edit2"},         {CheckBox11, "CheckBox11"},
        {CheckBox12, "CheckBox12"}, {Label23, "Label23"},   {TrackBar1, "TrackBar1"},
        {Button2, "Button2"},     {Edit23, "Edit23"},       {Button16, "Button16"},
        {Edit1, "Edit1"},         {CheckBox1, "CheckBox1"}, {CheckBox2, "CheckBox2"},
        {CheckBox3, "CheckBox3"}, {CheckBox4, "CheckBox4"}, {CheckBox5, "CheckBox5"},
        {CheckBox6, "CheckBox6"}, {CheckBox7, "CheckBox7"}, {CheckBox8, "CheckBox8"},
        {CheckBox9, "CheckBox9"}, {CheckBox10, "CheckBox10"}, {Label34, "Label34"},
        {TrackBar3, "TrackBar3"}, {Button17, "Button17"},   {Edit22, "Edit22"},
        {Button18, "Button18"},
    };
    for (const auto& [widget, name] : named)
        widget->setObjectName(QLatin1String(name));

    connect(Button4, &QPushButton::clicked, this, [this] { handle([this] { Button4Click(); }); });
    connect(Button5, &QPushButton::clicked, this, [this] { handle([this] { Button5Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { handle([this] { Button3Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { handle([this] { Button2Click(); }); });
    connect(Button16, &QPushButton::clicked, this, [this] { handle([this] { Button16Click(); }); });
    connect(Button14, &QPushButton::clicked, this, [this] { handle([this] { Button14Click(); }); });
    connect(Button13, &QPushButton::clicked, this, [this] { handle([this] { Button13Click(); }); });
    connect(Button17, &QPushButton::clicked, this, [this] { handle([this] { Button17Click(); }); });
    connect(Button18, &QPushButton::clicked, this, [this] { handle([this] { Button18Click(); }); });
    // valueChanged comes only when the position really changes, after the bar has clamped the
    // request to its range: exactly when the echo field has something new to show.
    connect(TrackBar1, &QSlider::valueChanged, this, [this] { handle([this] { TrackBar1Change(); }); });
    connect(TrackBar2, &QSlider::valueChanged, this, [this] { handle([this] { TrackBar2Change(); }); });
    connect(TrackBar3, &QSlider::valueChanged, this, [this] { handle([this] { TrackBar3Change(); }); });
}

// A stepper asks for one more or one less; at the ends of the range the bar stays and its echo
// field keeps its text.
void TForm1::Button2Click() { TrackBar1->setValue(TrackBar1->value() - 1); }
void TForm1::Button16Click() { TrackBar1->setValue(TrackBar1->value() + 1); }
void TForm1::Button14Click() { TrackBar2->setValue(TrackBar2->value() - 1); }
void TForm1::Button13Click() { TrackBar2->setValue(TrackBar2->value() + 1); }
void TForm1::Button17Click() { TrackBar3->setValue(TrackBar3->value() - 1); }
void TForm1::Button18Click() { TrackBar3->setValue(TrackBar3->value() + 1); }

void TForm1::TrackBar1Change() { Edit23->setText(QString::number(TrackBar1->value())); }
void TForm1::TrackBar2Change() { Edit21->setText(QString::number(TrackBar2->value())); }
void TForm1::TrackBar3Change() { Edit22->setText(QString::number(TrackBar3->value())); }

settings::Fields TForm1::getfields() const
{
    settings::Fields s;
    s.address = Edit5->text();
    s.zone = Edit6->text();
    s.boardDrift = Edit7->text();
    s.lineDrift = Edit8->text();
    s.signalLeave = Edit9->text();
    s.levelShort = Edit10->text();
    s.levelBreak = Edit11->text();
    s.levelTrigger = Edit12->text();
    s.currentLeave = Edit13->text();
    s.lineShort = Edit20->text();
    const QCheckBox* relay[] = {CheckBox5, CheckBox6, CheckBox7, CheckBox8, CheckBox9, CheckBox10};
    for (int i = 0; i < 6; ++i)
        s.relay[i] = relay[i]->isChecked();
    const QCheckBox* monitor[] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4};
    for (int i = 0; i < 4; ++i)
        s.monitor[i] = monitor[i]->isChecked();
    s.boardLit = CheckBox11->isChecked();
    s.boardFlash = CheckBox12->isChecked();
    s.flashSpeed = TrackBar1->value();
    s.frequency = TrackBar2->value();
    s.volume = TrackBar3->value();
    return s;
}

void TForm1::setfields(const settings::Fields& s)
{
    Edit5->setText(s.address);
    Edit6->setText(s.zone);
    Edit7->setText(s.boardDrift);
    Edit8->setText(s.lineDrift);
    Edit9->setText(s.signalLeave);
    Edit10->setText(s.levelShort);
    Edit11->setText(s.levelBreak);
    Edit12->setText(s.levelTrigger);
    Edit13->setText(s.currentLeave);
    Edit20->setText(s.lineShort);
    QCheckBox* monitor[] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4};
    for (int i = 0; i < 4; ++i)
        monitor[i]->setChecked(s.monitor[i]);
    QCheckBox* relay[] = {CheckBox5, CheckBox6, CheckBox7, CheckBox8, CheckBox9, CheckBox10};
    for (int i = 0; i < 6; ++i)
        relay[i]->setChecked(s.relay[i]);
    CheckBox11->setChecked(s.boardLit);
    CheckBox12->setChecked(s.boardFlash);
    // The bars clamp a byte outside their range to the nearest end.
    TrackBar1->setValue(s.flashSpeed);
    TrackBar2->setValue(s.frequency);
    TrackBar3->setValue(s.volume);
}
