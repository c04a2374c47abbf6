// The printable report from the window: the background's context menu offers it only after a
// good read, and saves a one-unit PDF of the unit read last, sending nothing.
#include "settings/image.h"
#include "settings/settingsfile.h"
#include "tests/support/fixture.h"
#include "tests/support/menudesk.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

constexpr int Com = 2;

const QString ReportItem = QStringLiteral("Сохранить отчёт...");

struct Desk : fixture::MenuDesk {
    Desk() : MenuDesk(Com) {}

    // Right-clicks the frame title; whether the report's entry was there and enabled.  Picks it
    // when asked and enabled.
    std::optional<bool> rightclick(bool pick, const QString& shot)
    {
        QList<bool> enabled;
        const QStringList items = MenuDesk::rightclick(form->Label15, pick ? ReportItem : QString(), &enabled, shot);
        const qsizetype i = items.indexOf(ReportItem);
        if (i < 0)
            return std::nullopt;
        return enabled.value(i);
    }
};

QString pdftext(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestReportMenu : public QObject {
    Q_OBJECT
private slots:
    void greyedUntilAGoodRead();
    void reportOfTheUnitReadLast();
    void badFieldSavesNothing();
};

void TestReportMenu::greyedUntilAGoodRead()
{
    Desk d;
    QCOMPARE(d.rightclick(true, QStringLiteral("report-menu-before.png")), std::optional<bool>(false));
    QCOMPARE(d.modals.dialogs, 0);
    fixture::connectWindow(*d.form, *d.unit, Com);
    QCOMPARE(d.rightclick(false, QStringLiteral("report-menu-after.png")), std::optional<bool>(true));
}

void TestReportMenu::reportOfTheUnitReadLast()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    const QString firmware = d.form->Edit1->text();
    const QString startups = d.form->Edit2->text();
    // What the controls hold is what the report records, in the window's own forms.
    d.form->Edit5->setText(QStringLiteral("$1F"));
    const QString path = d.scratch.file(QStringLiteral("отчёт.pdf"));
    d.modals.files = {path};
    const int from = d.loglength();
    QCOMPARE(d.rightclick(true, QStringLiteral("report-menu.png")), std::optional<bool>(true));

    QCOMPARE(d.modals.dialogs, 1);
    QCOMPARE(d.modals.boxes.size(), 0);
    QCOMPARE(d.logsince(from), QStringList{QStringLiteral(" Отчёт сохранён в файл ") + QDir::toNativeSeparators(path)});
    if (qEnvironmentVariableIsSet("V2_PNG_DIR")) // to be looked at
        QFile::copy(path, qEnvironmentVariable("V2_PNG_DIR") + QStringLiteral("/report-menu.pdf"));
    const QString text = pdftext(path);
    QVERIFY2(text.contains(QStringLiteral("Блок: адрес 31, зона ") + d.form->Edit6->text()), qPrintable(text));
    QVERIFY(QRegularExpression(QStringLiteral("COM-порт\\s+COM2\\n")).match(text).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("Версия ПО Блока\\s+") + QRegularExpression::escape(firmware)).match(text).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("Количество запусков\\s+") + startups).match(text).hasMatch());
    QVERIFY2(QRegularExpression(QStringLiteral("Адрес в сети\\s+address\\s+31\\s+1\\n")).match(text).hasMatch(), qPrintable(text));
    // The time of the read, to the minute.
    QVERIFY2(text.contains(QStringLiteral("Время чтения")) && text.contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))),
             qPrintable(text));
    for (const auto& k : settings::keycaptions())
        QVERIFY2(text.contains(k.key), qPrintable(k.key));
    QVERIFY(d.unit->received().empty()); // a report talks to nobody
}

void TestReportMenu::badFieldSavesNothing()
{
    Desk d;
    fixture::connectWindow(*d.form, *d.unit, Com);
    d.form->Edit9->setText(QStringLiteral("abc"));
    const QString path = d.scratch.file(QStringLiteral("never.pdf"));
    d.modals.files = {path};
    const int from = d.loglength();
    d.rightclick(true, QStringLiteral("report-menu-bad.png"));

    QCOMPARE(d.modals.dialogs, 0); // refused before a name is asked for
    QCOMPARE(d.modals.boxes.size(), 1);
    QCOMPARE(d.modals.boxes.first().text, QStringLiteral("'abc' is not a valid integer value."));
    QVERIFY(!QFile::exists(path));
    QVERIFY(d.logsince(from).isEmpty());
}

QTEST_MAIN(TestReportMenu)
#include "test_reportmenu.moc"
