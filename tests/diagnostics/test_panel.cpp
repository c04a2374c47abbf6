// The diagnostic panel against a simulated unit on a pseudo-terminal, driven as the operator
// drives it: "-", "Раз", "Цикл", "Сброс", " X", the delay bar and the POWER/LIGHT choice.
#include "diagnostics/chart.h"
#include "link/channel.h"
#include "link/commands.h"
#include "tests/support/fixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <algorithm>
#include <memory>

using Readings = std::array<std::uint16_t, 6>;

class TestPanel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startsHiddenAndOpensAboveEverything();
    void controlsAtTheirPlaces_data();
    void controlsAtTheirPlaces();
    void showsNoHints();
    void pollShowsTheSixReadings();
    void lightShows500AndPlots50();
    void shortReplyShowsEarlierBytesForTheRest();
    void switchingLightToPowerContinuesTheSeries();
    void resetStartsAgainAtPointZero();
    void noEntrySelectedPlotsNothing();
    void delayBarSetsIntervalAndLabel_data();
    void delayBarSetsIntervalAndLabel();
    void cyclePollsUntilStoppedAlsoWhileHidden();
    void newIntervalRestartsTheCount();
    void unchangedIntervalKeepsTheCount();
    void timerKeepsOffTheLineDuringAnUpload();
    void openPanelAfterPolls();

private:
    std::unique_ptr<fixture::Scratch> scratch;
    std::unique_ptr<sim::Unit> unit;
    std::unique_ptr<TForm1> form;

    void connectUnit(const sim::Config& config = {});
    void openPanel();
    void choose(int entry);          // POWER 0, LIGHT 1, as the operator picks it
    void click(QPushButton* b);
    void setReadings(const Readings& r, int length = 12);
    int polls() const;               // 0x10 commands the unit got since connecting
};

void TestPanel::init()
{
    scratch = std::make_unique<fixture::Scratch>();
}

void TestPanel::cleanup()
{
    form.reset();
    unit.reset();
    scratch.reset();
}

void TestPanel::connectUnit(const sim::Config& config)
{
    unit = fixture::unitOn(1, config);
    form = std::make_unique<TForm1>();
    fixture::connectWindow(*form, *unit, 1);
}

void TestPanel::openPanel()
{
    QTest::mouseClick(form->Button11, Qt::LeftButton);
    QVERIFY(form->Panel7->isVisible());
}

void TestPanel::choose(int entry)
{
    QComboBox* box = form->ComboBox2;
    box->showPopup();
    QAbstractItemView* view = box->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex idx = view->model()->index(entry, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(idx).center());
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(box->currentIndex(), entry);
}

void TestPanel::click(QPushButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

void TestPanel::setReadings(const Readings& r, int length)
{
    sim::Config c = unit->config();
    c.readings = r;
    c.telemetryLength = length;
    unit->setConfig(c);
}

int TestPanel::polls() const
{
    const auto got = unit->received();
    return int(std::count(got.begin(), got.end(), cmd::Telemetry));
}

void TestPanel::startsHiddenAndOpensAboveEverything()
{
    connectUnit();
    QCOMPARE(form->Button11->text(), QStringLiteral("-"));
    QCOMPARE(form->Button11->geometry(), QRect(8, 5, 15, 15));
    QVERIFY(form->Button11->isVisible());
    QVERIFY(!form->Panel7->isVisible());
    QCOMPARE(form->Panel7->geometry(), QRect(200, 397, 593, 255));
    QVERIFY(!form->Timer1->isActive());
    QCOMPARE(form->Timer1->interval(), 200);

    openPanel();
    QCOMPARE(form->Panel7->geometry(), QRect(0, 0, 593, 255));
    // Whatever lies in the window's top-left corner, the "-" button included, is covered.
    for (QPoint p : {QPoint(12, 10), QPoint(300, 100), QPoint(590, 250), QPoint(200, 240)}) {
        QWidget* w = form->childAt(p);
        QVERIFY2(w && (w == form->Panel7 || form->Panel7->isAncestorOf(w)),
                 qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
    }

    click(form->Button10);
    QVERIFY(!form->Panel7->isVisible());
    QVERIFY(form->Button11->isVisible());
    openPanel();
    QCOMPARE(form->Panel7->pos(), QPoint(0, 0));
}

void TestPanel::controlsAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place"); // width or height 0: not laid down
    QTest::addColumn<QString>("text");
    QTest::newRow("Button10") << "Button10" << QRect(10, 5, 25, 25) << " X";
    QTest::newRow("Button7") << "Button7" << QRect(65, 5, 50, 25) << "Раз";
    QTest::newRow("Button9") << "Button9" << QRect(145, 5, 50, 25) << "Цикл";
    QTest::newRow("Label22") << "Label22" << QRect(10, 38, 0, 0) << "ППК1";
    QTest::newRow("Label26") << "Label26" << QRect(10, 82, 0, 0) << "ППК2";
    QTest::newRow("Label25") << "Label25" << QRect(10, 122, 0, 0) << "ГОиЧС";
    QTest::newRow("Label27") << "Label27" << QRect(115, 36, 0, 0) << "ADC";
    QTest::newRow("Label28") << "Label28" << QRect(117, 82, 0, 0) << "LIGHT";
    QTest::newRow("Label29") << "Label29" << QRect(116, 122, 0, 0) << "Power";
    QTest::newRow("Edit14") << "Edit14" << QRect(10, 55, 80, 0) << "0";
    QTest::newRow("Edit15") << "Edit15" << QRect(10, 95, 80, 0) << "0";
    QTest::newRow("Edit16") << "Edit16" << QRect(10, 135, 80, 0) << "0";
    QTest::newRow("Edit17") << "Edit17" << QRect(115, 55, 80, 0) << "0";
    QTest::newRow("Edit18") << "Edit18" << QRect(115, 95, 80, 0) << "0";
    QTest::newRow("Edit19") << "Edit19" << QRect(115, 135, 80, 0) << "0";
    QTest::newRow("ComboBox2") << "ComboBox2" << QRect(10, 165, 80, 0) << "Выбрать";
    QTest::newRow("Button12") << "Button12" << QRect(115, 162, 80, 25) << "Сброс";
    QTest::newRow("TrackBar4") << "TrackBar4" << QRect(25, 192, 150, 32) << "";
    QTest::newRow("Label30") << "Label30" << QRect(25, 221, 150, 0) << "Время задержки: 200 мс";
    QTest::newRow("Chart1") << "Chart1" << QRect(204, 5, 386, 247) << "";
}

void TestPanel::controlsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QFETCH(QString, text);
    connectUnit();
    openPanel();
    const QHash<QString, QWidget*> controls{
        {"Button10", form->Button10}, {"Button7", form->Button7}, {"Button9", form->Button9},
        {"Label22", form->Label22},   {"Label26", form->Label26}, {"Label25", form->Label25},
        {"Label27", form->Label27},   {"Label28", form->Label28}, {"Label29", form->Label29},
        {"Edit14", form->Edit14},     {"Edit15", form->Edit15},   {"Edit16", form->Edit16},
        {"Edit17", form->Edit17},     {"Edit18", form->Edit18},   {"Edit19", form->Edit19},
        {"ComboBox2", form->ComboBox2}, {"Button12", form->Button12},
        {"TrackBar4", form->TrackBar4}, {"Label30", form->Label30}, {"Chart1", form->Chart1}};
    QWidget* w = controls.value(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), form->Panel7);
    QVERIFY(w->isVisible());
    QCOMPARE(w->pos(), place.topLeft());
    if (place.width())
        QCOMPARE(w->width(), place.width());
    if (place.height())
        QCOMPARE(w->height(), place.height());
    // Every control lies inside the panel.
    QVERIFY(QRect(QPoint(), form->Panel7->size()).contains(w->geometry()));

    if (auto* b = qobject_cast<QPushButton*>(w))
        QCOMPARE(b->text(), text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        QCOMPARE(l->text(), text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        QCOMPARE(e->text(), text);
    else if (auto* c = qobject_cast<QComboBox*>(w)) {
        QCOMPARE(c->currentText(), text);
        QVERIFY(c->isEditable());
        QCOMPARE(c->currentIndex(), -1);
        QCOMPARE(c->count(), 2);
        QCOMPARE(c->itemText(0), QStringLiteral("POWER"));
        QCOMPARE(c->itemText(1), QStringLiteral("LIGHT"));
    } else if (auto* s = qobject_cast<QSlider*>(w)) {
        QCOMPARE(s->orientation(), Qt::Horizontal);
        QCOMPARE(s->minimum(), 1);
        QCOMPARE(s->maximum(), 20);
        QCOMPARE(s->value(), 2);
    }
    if (w == form->Label30)
        QVERIFY(form->Label30->alignment() & Qt::AlignHCenter);
}

void TestPanel::showsNoHints()
{
    connectUnit();
    openPanel();
    // A hint of the window behind must not come through the panel either.
    form->setToolTip(QStringLiteral("hint"));
    QHelpEvent over(QEvent::ToolTip, QPoint(5, 5), form->Label22->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form->Label22, &over);
    QVERIFY(!QToolTip::isVisible());
    // The same hint outside the panel does show, so the check above means something.
    const QPoint outside(650, 300);
    QVERIFY(!form->Panel7->geometry().contains(outside));
    QHelpEvent beside(QEvent::ToolTip, outside, form->mapToGlobal(outside));
    QApplication::sendEvent(form.get(), &beside);
    QTRY_VERIFY(QToolTip::isVisible());
    QToolTip::hideText();
}

void TestPanel::pollShowsTheSixReadings()
{
    connectUnit();
    openPanel();
    setReadings({{1, 256, 65535, 4660, 43981, 2400}});
    click(form->Button7);
    QCOMPARE(polls(), 1);
    QCOMPARE(form->Edit14->text(), QStringLiteral("1"));
    QCOMPARE(form->Edit15->text(), QStringLiteral("256"));
    QCOMPARE(form->Edit16->text(), QStringLiteral("65535"));
    QCOMPARE(form->Edit17->text(), QStringLiteral("4660"));
    QCOMPARE(form->Edit18->text(), QStringLiteral("43981"));
    QCOMPARE(form->Edit19->text(), QStringLiteral("2400"));
}

void TestPanel::lightShows500AndPlots50()
{
    connectUnit();
    openPanel();
    setReadings({{512, 600, 700, 800, 500, 2400}});
    choose(1);
    click(form->Button7);
    QCOMPARE(int(link::area[8]), 0x01);
    QCOMPARE(int(link::area[9]), 0xF4);
    QCOMPARE(form->Edit18->text(), QStringLiteral("500"));
    QCOMPARE(form->Edit19->text(), QStringLiteral("2400"));
    QCOMPARE(form->Chart1->points(), QList<QPointF>{QPointF(0, 50.0)});
}

void TestPanel::shortReplyShowsEarlierBytesForTheRest()
{
    connectUnit();
    openPanel();
    choose(1);
    setReadings({{11, 22, 33, 44, 555, 66}});
    click(form->Button7);
    setReadings({{101, 202, 303, 404, 505, 606}}, 6);
    click(form->Button7);
    QCOMPARE(form->Edit14->text(), QStringLiteral("101"));
    QCOMPARE(form->Edit15->text(), QStringLiteral("202"));
    QCOMPARE(form->Edit16->text(), QStringLiteral("303"));
    QCOMPARE(form->Edit17->text(), QStringLiteral("44"));
    QCOMPARE(form->Edit18->text(), QStringLiteral("555"));
    QCOMPARE(form->Edit19->text(), QStringLiteral("66"));
    // The earlier LIGHT bytes are plotted again, as if they were new.
    QCOMPARE(form->Chart1->points(), (QList<QPointF>{{0, 55.5}, {1, 55.5}}));
}

void TestPanel::switchingLightToPowerContinuesTheSeries()
{
    connectUnit();
    openPanel();
    choose(1);
    setReadings({{0, 0, 0, 0, 500, 2400}});
    click(form->Button7);
    setReadings({{0, 0, 0, 0, 9, 2401}});
    click(form->Button7);
    choose(0);
    click(form->Button7);
    setReadings({{0, 0, 0, 0, 9, 2203}});
    click(form->Button7);
    QCOMPARE(form->Chart1->points(),
             (QList<QPointF>{{0, 50.0}, {1, double(0.9f)}, {2, double(240.1f)}, {3, double(220.3f)}}));
}

void TestPanel::resetStartsAgainAtPointZero()
{
    connectUnit();
    openPanel();
    choose(0);
    for (int i = 0; i < 3; ++i)
        click(form->Button7);
    QCOMPARE(form->Chart1->count(), 3);
    click(form->Button12);
    QCOMPARE(form->Chart1->count(), 0);
    setReadings({{0, 0, 0, 0, 0, 2345}});
    click(form->Button7);
    QCOMPARE(form->Chart1->points(), QList<QPointF>{QPointF(0, 234.5)});
}

void TestPanel::noEntrySelectedPlotsNothing()
{
    connectUnit();
    openPanel();
    setReadings({{1, 2, 3, 4, 5, 6}});
    click(form->Button7);
    QCOMPARE(form->Edit18->text(), QStringLiteral("5"));
    QCOMPARE(form->Edit19->text(), QStringLiteral("6"));
    QCOMPARE(form->Chart1->count(), 0);
    QCOMPARE(form->ComboBox2->currentText(), QStringLiteral("Выбрать"));
}

void TestPanel::delayBarSetsIntervalAndLabel_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("label");
    QTest::newRow("End: 20") << QList<int>{Qt::Key_End} << 2000
                             << QStringLiteral("Время задержки: 2000 мс");
    QTest::newRow("Home: 1") << QList<int>{Qt::Key_Home} << 100
                             << QStringLiteral("Время задержки: 100 мс");
    QTest::newRow("five right: 7")
        << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}
        << 700 << QStringLiteral("Время задержки: 700 мс");
    QTest::newRow("there and back: 2") << QList<int>{Qt::Key_Right, Qt::Key_Left} << 200
                                       << QStringLiteral("Время задержки: 200 мс");
}

void TestPanel::delayBarSetsIntervalAndLabel()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, interval);
    QFETCH(QString, label);
    connectUnit();
    openPanel();
    for (int k : keys)
        QTest::keyClick(form->TrackBar4, Qt::Key(k));
    QCOMPARE(form->Timer1->interval(), interval);
    QCOMPARE(form->Label30->text(), label);
    QVERIFY(!form->Timer1->isActive()); // the bar sets the delay, it does not start polling
}

void TestPanel::cyclePollsUntilStoppedAlsoWhileHidden()
{
    connectUnit();
    openPanel();
    choose(1);
    QTest::keyClick(form->TrackBar4, Qt::Key_Home); // 100 ms
    click(form->Button9);
    QVERIFY(form->Timer1->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(polls() >= 2, 5000);

    click(form->Button10);
    QVERIFY(!form->Panel7->isVisible());
    setReadings({{7, 7, 7, 7, 777, 7}});
    const int hidden = polls();
    QTRY_VERIFY_WITH_TIMEOUT(polls() >= hidden + 3, 5000);
    QCOMPARE(form->Edit18->text(), QStringLiteral("777"));
    QCOMPARE(form->Chart1->pointAt(form->Chart1->count() - 1).y(), double(77.7f));

    openPanel();
    click(form->Button9);
    QVERIFY(!form->Timer1->isActive());
    const int stopped = polls();
    const int points = form->Chart1->count();
    QTest::qWait(500);
    QCOMPARE(polls(), stopped);
    QCOMPARE(form->Chart1->count(), points);
    // Each poll plotted one point, numbered on from the last.
    QCOMPARE(points, stopped);
    for (int i = 0; i < points; ++i)
        QCOMPARE(form->Chart1->pointAt(i).x(), double(i));
}

void TestPanel::newIntervalRestartsTheCount()
{
    connectUnit();
    openPanel();
    form->TrackBar4->setValue(10); // 1000 ms
    QCOMPARE(form->Timer1->interval(), 1000);
    click(form->Button9);
    QTRY_VERIFY_WITH_TIMEOUT(polls() == 1, 5000);
    QTest::qWait(600);
    const int before = polls();
    QElapsedTimer since;
    QTest::keyClick(form->TrackBar4, Qt::Key_Right); // 1100 ms, counted from now
    since.start();
    QCOMPARE(form->Timer1->interval(), 1100);
    // Without a restart the old count would poll about 400 ms from now.
    QTest::qWait(800);
    if (since.elapsed() < 1050)
        QCOMPARE(polls(), before);
    QTRY_VERIFY_WITH_TIMEOUT(polls() == before + 1, 3000);
    QVERIFY(since.elapsed() >= 1000);
    click(form->Button9);
}

void TestPanel::unchangedIntervalKeepsTheCount()
{
    connectUnit();
    openPanel();
    form->TrackBar4->setValue(10); // 1000 ms
    click(form->Button9);
    QTRY_VERIFY_WITH_TIMEOUT(polls() == 1, 5000);
    QTest::qWait(600);
    const int before = polls();
    QElapsedTimer since;
    since.start();
    form->TrackBar4Change(); // the bar reports a change to the position it already has
    QCOMPARE(form->Timer1->interval(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(polls() == before + 1, 3000);
    // The next poll kept its place, about 400 ms from now, instead of a full second.
    QVERIFY2(since.elapsed() < 900, qPrintable(QString::number(since.elapsed())));
    click(form->Button9);
}

void TestPanel::timerKeepsOffTheLineDuringAnUpload()
{
    connectUnit();
    openPanel();
    form->TrackBar4->setValue(1);
    click(form->Button9);
    QTRY_VERIFY_WITH_TIMEOUT(polls() >= 1, 5000);
    // Should a tick come through while an upload holds the line, it must send nothing.
    form->uploading = true;
    const int before = polls();
    const QString shown = form->Edit14->text();
    setReadings({{999, 0, 0, 0, 0, 0}});
    QTest::qWait(600);
    QCOMPARE(polls(), before);
    QCOMPARE(form->Edit14->text(), shown);
    form->uploading = false;
    QTRY_VERIFY_WITH_TIMEOUT(polls() > before, 5000);
    QTRY_COMPARE(form->Edit14->text(), QStringLiteral("999"));
    click(form->Button9);
}

void TestPanel::openPanelAfterPolls()
{
    connectUnit();
    openPanel();
    choose(0);
    for (int i = 0; i < 120; ++i) {
        const int wave[] = {0, 3, 5, 6, 5, 3, 0, -3, -5, -6, -5, -3};
        setReadings({{std::uint16_t(512 + i % 7), 600, 700, 800, 500,
                      std::uint16_t(2400 + wave[i % 12] * 10 + i % 5)}});
        click(form->Button7);
    }
    QCOMPARE(form->Chart1->count(), 120);
    const QImage shot = form->grab().toImage();
    QVERIFY(shot.save(scratch->file(QStringLiteral("panel.png"))));
    // The chart's line is drawn in its green.
    const QImage chart = form->Chart1->grab().toImage();
    bool green = false;
    for (int y = 0; y < chart.height() && !green; ++y)
        for (int x = 0; x < chart.width() && !green; ++x)
            green = chart.pixelColor(x, y) == QColor(0, 128, 0);
    QVERIFY(green);
    const QString keep = qEnvironmentVariable("V2_PNG_DIR");
    if (!keep.isEmpty())
        shot.save(QDir(keep).filePath(QStringLiteral("diagnostics-panel.png")));
}

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
