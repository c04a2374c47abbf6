// Settings files from the window: the background's context menu saves the controls' values and
// loads a file's values into them, sending nothing to the unit.
#include "link/session.h"
#include "settings/image.h"
#include "settings/settingsfile.h"
#include "tests/support/fixture.h"
#include "tests/support/menudesk.h"
#include "ui/codepage.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <memory>

namespace {

constexpr int Com = 2;

const QString SaveItem = QStringLiteral("Сохранить настройки в файл...");
const QString LoadItem = QStringLiteral("Загрузить настройки из файла...");
const QString CompareItem = QStringLiteral("Сравнить с файлом...");
const QString ReportItem = QStringLiteral("Сохранить отчёт...");

struct Desk : fixture::MenuDesk {
    Desk() : MenuDesk(Com) {}
};

QByteArray readall(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFileMenu : public QObject {
    Q_OBJECT
private slots:
    void menuOnTheBackgroundOnly();
    void saveAfterReadRecordsTheUnit();
    void loadPutsValuesAndSendsNothing();
    void loadThenSaveGivesTheSameFile();
    void badFileChangesNoControl();
    void badFieldSavesNothing();
    void overwriteIsAskedFirst();
    void saveOverAFileKeepsItsSounds();
    void compareGreyedUntilAGoodRead();
    void compareLogsEachDifference();
    void compareAgrees();
    void compareRefusals();
};

void TestFileMenu::menuOnTheBackgroundOnly()
{
    Desk d;
    const QStringList items{SaveItem, LoadItem, CompareItem, ReportItem};
    // A frame's title and the frame itself are background.
    QCOMPARE(d.rightclick(d.form->Label15), items);
    QCOMPARE(d.rightclick(d.form->Bevel2), items);
    // A control is not.
    QCOMPARE(d.rightclick(d.form->Button4), QStringList());
    QCOMPARE(d.rightclick(d.form->CheckBox5), QStringList());
    QCOMPARE(d.rightclick(d.form->TrackBar3), QStringList());
}

void TestFileMenu::saveAfterReadRecordsTheUnit()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    d.form->Edit5->setText(QStringLiteral("$1F")); // the window's own forms are taken
    const QString path = d.scratch.file(QStringLiteral("unit.ini"));
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Label15, SaveItem);

    QCOMPARE(d.modals.dialogs, 1);
    QCOMPARE(d.logsince(from), QStringList{QStringLiteral(" Настройки сохранены в файл ")
                                           + QDir::toNativeSeparators(path)});
    QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("settings/address")).toString(), QStringLiteral("31"));
    QCOMPARE(ini.value(QStringLiteral("settings/zone")).toString(), d.form->Edit6->text());
    QCOMPARE(ini.value(QStringLiteral("unit/port")).toString(), QStringLiteral("COM2"));
    QCOMPARE(ini.value(QStringLiteral("unit/firmware")).toString(), d.form->Edit1->text());
    QCOMPARE(ini.value(QStringLiteral("unit/type")).toString(), d.form->Edit4->text());
    const QDateTime at = QDateTime::fromString(ini.value(QStringLiteral("unit/read_at")).toString(), Qt::ISODate);
    QVERIFY(at.isValid());
    QVERIFY(qAbs(at.secsTo(QDateTime::currentDateTime())) < 60);
    QVERIFY(d.unit->received().empty()); // saving talks to nobody
}

void TestFileMenu::loadPutsValuesAndSendsNothing()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    const QString path = d.scratch.file(QStringLiteral("zone.ini"));
    fixture::writeFile(path, "[settings]\n; a partial file\naddress=12\nzone=$A\nrelay_siren=0\nvolume=3\n");
    const QString edit7 = d.form->Edit7->text();
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Bevel3, LoadItem);

    QCOMPARE(d.logsince(from), QStringList{QStringLiteral(" Настройки загружены из файла ")
                                           + QDir::toNativeSeparators(path)});
    QCOMPARE(d.form->Edit5->text(), QStringLiteral("12"));
    QCOMPARE(d.form->Edit6->text(), QStringLiteral("10"));
    QVERIFY(!d.form->CheckBox10->isChecked());
    QCOMPARE(d.form->TrackBar3->value(), 3);
    QCOMPARE(d.form->Edit7->text(), edit7); // not named: kept
    QTest::qWait(50);
    QVERIFY(d.unit->received().empty());
    QVERIFY(link::connected());
}

void TestFileMenu::loadThenSaveGivesTheSameFile()
{
    Desk d; // no unit read: the file has no [unit] section
    settings::Fields f = settings::factoryfields();
    f.address = QStringLiteral("5");
    f.zone = QStringLiteral("2");
    f.lineShort = QStringLiteral("65535");
    for (bool& b : f.relay)
        b = false;
    for (bool& b : f.monitor)
        b = false;
    f.relay[1] = f.relay[4] = true;
    f.monitor[3] = true;
    f.boardFlash = true;
    f.flashSpeed = 20;
    f.frequency = 0;
    f.volume = 16;
    const QByteArray text = settings::filetext(f);
    const QString in = d.scratch.file(QStringLiteral("in.ini"));
    const QString out = d.scratch.file(QStringLiteral("out.ini"));
    fixture::writeFile(in, text);
    d.modals.files = {in};
    d.rightclick(d.form->Label15, LoadItem);
    d.modals.files = {out};
    d.rightclick(d.form->Label15, SaveItem);
    QCOMPARE(readall(out), text);
}

void TestFileMenu::badFileChangesNoControl()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    const QString path = d.scratch.file(QStringLiteral("bad.ini"));
    // The first key is good; the file as a whole is refused.
    fixture::writeFile(path, "[settings]\naddress=9\nvolume=40\n");
    const QString address = d.form->Edit5->text();
    const int volume = d.form->TrackBar3->value();
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Label15, LoadItem);

    QCOMPARE(d.modals.boxes.size(), 1);
    const QString text = d.modals.boxes.first().text;
    QVERIFY2(text.contains(QStringLiteral("volume")) && text.contains(QStringLiteral("40"))
                 && text.contains(QStringLiteral("bad.ini")),
             qPrintable(text));
    QCOMPARE(d.form->Edit5->text(), address);
    QCOMPARE(d.form->TrackBar3->value(), volume);
    QVERIFY(d.logsince(from).isEmpty());
}

void TestFileMenu::badFieldSavesNothing()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    d.form->Edit9->setText(QStringLiteral("abc"));
    const QString path = d.scratch.file(QStringLiteral("never.ini"));
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Label15, SaveItem);

    QCOMPARE(d.modals.dialogs, 0); // refused before a name is asked for
    QCOMPARE(d.modals.boxes.size(), 1);
    QCOMPARE(d.modals.boxes.first().text, QStringLiteral("'abc' is not a valid integer value."));
    QVERIFY(!QFile::exists(path));
    QVERIFY(d.logsince(from).isEmpty());
}

void TestFileMenu::overwriteIsAskedFirst()
{
    Desk d;
    const QString path = d.scratch.file(QStringLiteral("kept.ini"));
    fixture::writeFile(path, "[settings]\naddress=1\n");
    d.form->Button3->click(); // factory values, all valid
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Label15, SaveItem);
    // The question's default answer is no: the file stays as it was.
    QCOMPARE(d.modals.boxes.size(), 1);
    QCOMPARE(readall(path), QByteArray("[settings]\naddress=1\n"));
    QVERIFY(d.logsince(from).isEmpty());
}

// The unit cannot tell which sound it holds: the record of it survives a save over its file.
void TestFileMenu::saveOverAFileKeepsItsSounds()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    const QString path = d.scratch.file(QStringLiteral("unit.ini"));
    const QByteArray sounds = "; Звуки\n[sounds]\nppk1_file=Эвакуация.wav\r\nppk1_size = 88244\nsiren_file=s.wav";
    fixture::writeFile(path, "[settings]\naddress=99\n[unit]\nport=COM9\n\n" + sounds);
    d.modals.yes = true; // replace it
    d.modals.files = {path};
    d.rightclick(d.form->Label15, SaveItem);
    const QByteArray now = readall(path);
    QVERIFY2(now.endsWith("\n\n" + sounds), now.constData());
    QVERIFY(now.contains("\nport=COM2\n"));
    QVERIFY(!now.contains("COM9"));
    QVERIFY(!now.contains("address=99"));
}

void TestFileMenu::compareGreyedUntilAGoodRead()
{
    Desk d;
    QList<bool> enabled;
    // Nothing read yet: offered, but greyed; choosing it asks for nothing.
    QCOMPARE(d.rightclick(d.form->Label15, CompareItem, &enabled), (QStringList{SaveItem, LoadItem, CompareItem, ReportItem}));
    QCOMPARE(enabled, (QList<bool>{true, true, false, false}));
    QCOMPARE(d.modals.dialogs, 0);

    fixture::connectWindow(*d.form, *d.unit, Com);
    d.rightclick(d.form->Label15, {}, &enabled);
    QCOMPARE(enabled, (QList<bool>{true, true, true, true}));

    // A read that fails forgets the good one: greyed again.
    sim::Config c = d.unit->config();
    c.imageLength = 300;
    d.unit->setConfig(c);
    QTest::mouseClick(d.form->Button5, Qt::LeftButton);
    d.rightclick(d.form->Label15, {}, &enabled);
    QCOMPARE(enabled, (QList<bool>{true, true, false, false}));
}

void TestFileMenu::compareLogsEachDifference()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    // The window's own forms are compared as numbers; the bars as they stand.
    d.form->Edit5->setText(QStringLiteral("$1F"));
    d.form->Edit6->setText(QStringLiteral("4"));
    d.form->CheckBox5->setChecked(true);
    d.form->TrackBar3->setValue(12);
    const auto before = settings::keyvalues(d.form->getfields());
    const QString path = d.scratch.file(QStringLiteral("base.ini"));
    fixture::writeFile(path, "[settings]\naddress=31\nzone=$9\nrelay_ppk1=0\nvolume=2\n");
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Bevel3, CompareItem);

    QCOMPARE(d.modals.dialogs, 1);
    QCOMPARE(d.modals.boxes.size(), 0);
    QCOMPARE(d.logsince(from), (QStringList{
                                   QStringLiteral(" Сеть ВИРЕЛАН2 / Номер зоны оповещения: в файле 9, в окне 4"),
                                   QStringLiteral(" Реле \"РАБОТА\" / ППК1: в файле 0, в окне 1"),
                                   QStringLiteral(" Звуковые сообщения / Уровень звука сообщений: в файле 2, в окне 12"),
                               }));
    d.form->grab().save(qEnvironmentVariable("V2_PNG_DIR", d.scratch.path()) + QStringLiteral("/compare-log.png"));
    // Every line can be kept in the Windows-1251 log.
    for (const QString& line : d.logsince(from))
        for (const QChar c : line) {
            unsigned char b;
            QVERIFY2(codepage::tobyte(c.unicode(), &b), qPrintable(line));
        }
    // Nothing changed, nothing sent.
    QCOMPARE(d.form->Edit5->text(), QStringLiteral("$1F"));
    QCOMPARE(settings::keyvalues(d.form->getfields()), before);
    QTest::qWait(50);
    QVERIFY(d.unit->received().empty());
}

void TestFileMenu::compareAgrees()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    const QString path = d.scratch.file(QStringLiteral("same.ini"));
    d.modals.files = {path};
    d.rightclick(d.form->Label15, SaveItem);
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(d.form->Label15, CompareItem);
    QCOMPARE(d.logsince(from), QStringList{QStringLiteral(" Настройки в окне совпадают с файлом ")
                                           + QDir::toNativeSeparators(path)});
    QVERIFY(d.unit->received().empty());
}

void TestFileMenu::compareRefusals()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    const QString empty = d.scratch.file(QStringLiteral("empty.ini"));
    fixture::writeFile(empty, "[settings]\n; nothing named\n[unit]\nport=COM2\n");
    const QString twice = d.scratch.file(QStringLiteral("twice.ini"));
    fixture::writeFile(twice, "[settings]\nzone=1\nzone=2\n");
    const int from = d.loglength();
    d.modals.files = {empty};
    d.rightclick(d.form->Label15, CompareItem);
    d.modals.files = {twice};
    d.rightclick(d.form->Label15, CompareItem);
    // A control "Запись" would refuse: its box, before a file is asked for.
    d.form->Edit9->setText(QStringLiteral("abc"));
    d.rightclick(d.form->Label15, CompareItem);

    QCOMPARE(d.modals.dialogs, 2);
    QCOMPARE(d.modals.boxes.size(), 3);
    QCOMPARE(d.modals.boxes[0].text, QStringLiteral("Файл \"") + QDir::toNativeSeparators(empty)
                                         + QStringLiteral("\": в разделе [settings] нет ни одного ключа."));
    QCOMPARE(d.modals.boxes[1].text, QStringLiteral("Файл \"") + QDir::toNativeSeparators(twice)
                                         + QStringLiteral("\": ключ \"zone\" задан дважды, в строках 2 и 3."));
    QCOMPARE(d.modals.boxes[2].text, QStringLiteral("'abc' is not a valid integer value."));
    QVERIFY(d.logsince(from).isEmpty());
    QVERIFY(d.unit->received().empty());
}

QTEST_MAIN(TestFileMenu)
#include "test_filemenu.moc"
