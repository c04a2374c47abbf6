#include "ui/unit1.h"

#include "diagnostics/chart.h"
#include "diagnostics/telemetry.h"
#include "ui/controls.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace {

using namespace controls;

// The diagnostic panel shows no hover hints, neither its own nor the window's behind it.
class HintlessPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::ToolTip || e->type() == QEvent::WhatsThis) {
            e->accept();
            return true;
        }
        return QFrame::event(e);
    }
};

QLineEdit* field(QWidget* parent, int left, int top)
{
    return edit(parent, QStringLiteral("0"), left, top, 80);
}

QString delaytext(int position)
{
    return QStringLiteral("Время задержки: ") + QString::number(position)
        + QStringLiteral("00 мс");
}

} // namespace

void TForm1::createpanel()
{
    Button11 = button(this, QStringLiteral("-"), 8, 5, 15, 15);
    connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);

    Panel7 = new HintlessPanel(this);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->setFrameShape(QFrame::Panel);
    Panel7->setFrameShadow(QFrame::Raised);
    Panel7->setAutoFillBackground(true);
    Panel7->setGeometry(200, 397, 593, 255);
    Panel7->hide();

    Button10 = button(Panel7, QStringLiteral(" X"), 10, 5, 25, 25);
    Button7 = button(Panel7, QStringLiteral("Раз"), 65, 5, 50, 25);
    Button9 = button(Panel7, QStringLiteral("Цикл"), 145, 5, 50, 25);
    connect(Button10, &QPushButton::clicked, this, &TForm1::Button10Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);

    Label22 = label(Panel7, QStringLiteral("ППК1"), 10, 38);
    Label26 = label(Panel7, QStringLiteral("ППК2"), 10, 82);
    Label25 = label(Panel7, QStringLiteral("ГОиЧС"), 10, 122);
    Label27 = label(Panel7, QStringLiteral("ADC"), 115, 36);
    Label28 = label(Panel7, QStringLiteral("LIGHT"), 117, 82);
    Label29 = label(Panel7, QStringLiteral("Power"), 116, 122);

    Edit14 = field(Panel7, 10, 55);
    Edit15 = field(Panel7, 10, 95);
    Edit16 = field(Panel7, 10, 135);
    Edit17 = field(Panel7, 115, 55);
    Edit18 = field(Panel7, 115, 95);
    Edit19 = field(Panel7, 115, 135);

    ComboBox2 = new QComboBox(Panel7);
    ComboBox2->setEditable(true);
    // Typing in the box must not grow the list.
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    ComboBox2->addItem(QStringLiteral("POWER"));
    ComboBox2->addItem(QStringLiteral("LIGHT"));
    ComboBox2->setCurrentIndex(-1);
    ComboBox2->setEditText(QStringLiteral("Выбрать"));
    ComboBox2->setGeometry(10, 165, 80, EditHeight);

    Button12 = button(Panel7, QStringLiteral("Сброс"), 115, 162, 80, 25);
    connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);

    TrackBar4 = new QSlider(Qt::Horizontal, Panel7);
    TrackBar4->setRange(1, 20);
    TrackBar4->setValue(2);
    TrackBar4->setPageStep(1);
    TrackBar4->setTickPosition(QSlider::TicksBelow);
    TrackBar4->setTickInterval(1);
    TrackBar4->setGeometry(25, 192, 150, 32);
    connect(TrackBar4, &QSlider::valueChanged, this, &TForm1::TrackBar4Change);

    Label30 = new QLabel(delaytext(2), Panel7);
    Label30->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label30->setGeometry(25, 221, 150, Label30->sizeHint().height());

    Chart1 = new TelemetryChart(Panel7);
    Chart1->setGeometry(204, 5, 386, 247);

    Timer1 = new QTimer(this);
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    const std::pair<QObject*, const char*> names[] = {
        {Button11, "Button11"}, {Button10, "Button10"}, {Button7, "Button7"},
        {Button9, "Button9"},   {Button12, "Button12"}, {Label22, "Label22"},
        {Label26, "Label26"},   {Label25, "Label25"},   {Label27, "Label27"},
        {Label28, "Label28"},   {Label29, "Label29"},   {Label30, "Label30"},
        {Edit14, "Edit14"},     {Edit15, "Edit15"},     {Edit16, "Edit16"},
        {Edit17, "Edit17"},     {Edit18, "Edit18"},     {Edit19, "Edit19"},
        {ComboBox2, "ComboBox2"}, {TrackBar4, "TrackBar4"}, {Chart1, "Chart1"},
        {Timer1, "Timer1"}};
    for (const auto& [object, name] : names)
        object->setObjectName(QLatin1String(name));
}

void TForm1::Button11Click()
{
    Panel7->move(0, 0);
    Panel7->show();
    // Above every other control of the window, the "-" button included.
    Panel7->raise();
}

void TForm1::Button10Click()
{
    Panel7->hide();
}

namespace {

void poll(TForm1& f)
{
    // A short reply is shown as it lies: the bytes not sent keep what the last read left.
    const auto r = telemetry::poll().readings;
    f.Edit14->setText(QString::number(r[0]));
    f.Edit15->setText(QString::number(r[1]));
    f.Edit16->setText(QString::number(r[2]));
    f.Edit17->setText(QString::number(r[3]));
    f.Edit18->setText(QString::number(r[telemetry::Light]));
    if (f.ComboBox2->currentIndex() == 1)
        f.Chart1->append(telemetry::sample(r[telemetry::Light]));
    f.Edit19->setText(QString::number(r[telemetry::Power]));
    if (f.ComboBox2->currentIndex() == 0)
        f.Chart1->append(telemetry::sample(r[telemetry::Power]));
}

} // namespace

void TForm1::Button7Click()
{
    poll(*this);
}

void TForm1::Timer1Timer()
{
    // The upload pauses the timer, but it lets the window process its events between blocks:
    // should a tick come through all the same, its 0x10 and 12-byte read must not land in the
    // middle of a block handshake.
    if (uploading)
        return;
    poll(*this);
}

void TForm1::Button9Click()
{
    if (!Timer1->isActive()) {
        Timer1->start();
        return;
    }
    Timer1->stop();
    // A reply to the last poll may still be on its way; its values are not shown.
    telemetry::drain();
}

void TForm1::Button12Click()
{
    Chart1->clear();
}

void TForm1::TrackBar4Change()
{
    const int interval = TrackBar4->value() * 100;
    // Setting an interval restarts a running timer's count, so only a new one is set.
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
    Label30->setText(delaytext(TrackBar4->value()));
}
