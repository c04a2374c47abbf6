// Connect, scan and the goodbye at exit, with the window driven as the operator drives it and
// the unit simulated on a real pseudo-terminal.
#include "link/channel.h"
#include "tests/support/fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace fixture;

namespace {
const QString Connected = QString::fromUtf8(" Соединение установлено");
const QString Failed = QString::fromUtf8(" Ошибка подключения: ");
const QString NoAnswer = QString::fromUtf8(" Ошибка подключения: устройство не отвечает");

// Clicks "Подключить" and returns the log lines it added, without their time prefix.
QStringList connectUnit(TForm1& form)
{
    const int from = int(form.Memo1->count());
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    return untimed(linesFrom(form, from));
}
} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void init() { link::closeall(); }

    void accepted()
    {
        Scratch scratch;
        Modals modals;
        auto unit = unitOn(1);
        TForm1 form;
        QVERIFY(!form.Image1->isVisible());
        form.show();
        choosePort(form, 1);
        const QStringList added = connectUnit(form);
        QVERIFY2(!added.isEmpty() && added.first() == Connected, qPrintable(added.join('|')));
        QCOMPARE(link::area[link::Connected], std::uint8_t(1));
        // The settings are read at once, and the unit's picture appears.
        QVERIFY(added.contains(QString::fromUtf8(" Ждите...")));
        QVERIFY(form.Image1->isVisible());
        const auto rx = unit->received();
        QCOMPARE(std::vector<std::uint8_t>(rx.begin(), rx.begin() + 3),
                 (std::vector<std::uint8_t>{'Z', 'U', 'R'}));
        // The picture stays after a later scan.
        QTest::mouseClick(form.Button15, Qt::LeftButton);
        QVERIFY(form.Image1->isVisible());
        QCOMPARE(link::area[link::Connected], std::uint8_t(0));
    }

    void refused_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("A") << 0x41;
        QTest::newRow("0xFF") << 0xFF;
        QTest::newRow("V") << int('V');
    }
    void refused()
    {
        QFETCH(int, answer);
        Scratch scratch;
        Modals modals;
        sim::Config c;
        c.answerToStart = answer;
        auto unit = unitOn(1, c);
        TForm1 form;
        choosePort(form, 1);
        unit->clearReceived();
        const QStringList added = connectUnit(form);
        QCOMPARE(added, QStringList{Failed + QString::number(answer)});
        QCOMPARE(link::area[link::Connected], std::uint8_t(0));
        // Told goodbye, and the port stays held until the next connect, scan or exit.
        QTRY_COMPARE(unit->received(), (std::vector<std::uint8_t>{'Z', 'U', 'Z'}));
        QVERIFY(link::isopen());
        QVERIFY(!form.Image1->isVisible());
    }

    void silent_data()
    {
        QTest::addColumn<int>("answerToEnd");
        // Silent throughout, and silent after answering the first "Z" with a stale "W" or "V".
        QTest::newRow("silent") << -1;
        QTest::newRow("stale W") << int('W');
        QTest::newRow("stale V") << int('V');
    }
    void silent()
    {
        QFETCH(int, answerToEnd);
        Scratch scratch;
        Modals modals;
        sim::Config c;
        c.answerToStart = -1;
        c.answerToEnd = answerToEnd;
        auto unit = unitOn(1, c);
        TForm1 form;
        choosePort(form, 1);
        QCOMPARE(connectUnit(form), QStringList{NoAnswer});
        QCOMPARE(link::area[link::Connected], std::uint8_t(0));
    }

    void beforeAnyChoice()
    {
        // The list shows "COM1", but no entry is chosen yet: nothing is opened.
        Scratch scratch;
        Modals modals;
        auto unit = unitOn(1);
        TForm1 form;
        QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("COM1"));
        QCOMPARE(form.ComboBox1->currentIndex(), -1);
        unit->clearReceived();
        QCOMPARE(connectUnit(form), QStringList{NoAnswer});
        QVERIFY(unit->received().empty());
    }

    void scan_data()
    {
        QTest::addColumn<QList<int>>("ports");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("none") << QList<int>{}
                              << QStringList{QString::fromUtf8("\t Доступных COM-портов нет")};
        QTest::newRow("COM3 and COM7") << QList<int>{7, 3}
                                       << QStringList{"\t-> COM3", "\t-> COM7"};
        QTest::newRow("COM40") << QList<int>{40} << QStringList{"\t-> COM40"};
    }
    void scan()
    {
        QFETCH(QList<int>, ports);
        QFETCH(QStringList, listed);
        Scratch scratch;
        Modals modals;
        std::vector<std::unique_ptr<sim::Unit>> units;
        for (int com : ports)
            units.push_back(unitOn(com));
        TForm1 form; // the start-up scan
        const QStringList all = lines(form);
        const int at = all.indexOf(QRegularExpression(QString::fromUtf8("^\\d+:\\d\\d:\\d\\d Доступные порты:$")));
        QVERIFY2(at >= 0, qPrintable(all.join('|')));
        QCOMPARE(all.mid(at + 1), listed);
        QVERIFY(!link::isopen());
        // Pressing "Сканировать" lists the same, and leaves no port open.
        const int from = int(form.Memo1->count());
        QTest::mouseClick(form.Button15, Qt::LeftButton);
        QCOMPARE(linesFrom(form, from).mid(1), listed);
        QVERIFY(!link::isopen());
        // A busy port is not listed.
        if (!units.empty()) {
            link::open(ports.first() - 1);
            QTest::mouseClick(form.Button15, Qt::LeftButton); // the scan closes it again first
            QVERIFY(!link::isopen());
        }
    }

    void scanEndsTheConnection()
    {
        Scratch scratch;
        Modals modals;
        auto unit = unitOn(1);
        TForm1 form;
        choosePort(form, 1);
        connectUnit(form);
        QCOMPARE(link::area[link::Connected], std::uint8_t(1));
        unit->clearReceived();
        QTest::mouseClick(form.Button15, Qt::LeftButton);
        QCOMPARE(link::area[link::Connected], std::uint8_t(0));
        QVERIFY(!link::isopen());
        QCOMPARE(unit->received(), std::vector<std::uint8_t>{'Z'});
        QVERIFY(form.Button8 && !form.Button8->isVisible());
    }

    void goodbye_data()
    {
        QTest::addColumn<int>("answerToEnd");
        QTest::addColumn<QString>("logged");
        QTest::newRow("answered") << int('V') << " OK";
        QTest::newRow("silent") << -1 << QString::fromUtf8(" Ошибка");
        QTest::newRow("wrong") << int('W') << QString::fromUtf8(" Ошибка");
    }
    void goodbye()
    {
        QFETCH(int, answerToEnd);
        QFETCH(QString, logged);
        Scratch scratch;
        Modals modals;
        auto unit = unitOn(1);
        {
            TForm1 form;
            form.show();
            choosePort(form, 1);
            connectUnit(form);
            sim::Config c = unit->config();
            c.answerToEnd = answerToEnd;
            unit->setConfig(c);
            unit->clearReceived();
            QVERIFY(form.close());
            const QStringList tail = untimed(lines(form)).mid(int(form.Memo1->count()) - 3);
            QCOMPARE(tail, (QStringList{QString::fromUtf8(" Выход..."), logged,
                                        QStringLiteral("-----------------------\n")}));
            QCOMPARE(unit->received(), std::vector<std::uint8_t>{'Z'});
            QVERIFY(!link::isopen());
        }
    }

    void goodbyeNotSaidWhenNotConnected()
    {
        Scratch scratch;
        Modals modals;
        auto unit = unitOn(1);
        TForm1 form;
        form.show();
        choosePort(form, 1);
        sim::Config c = unit->config();
        c.answerToStart = 'A';
        unit->setConfig(c);
        connectUnit(form);
        // The goodbye after the refusal has reached the unit before the count starts.
        QTRY_VERIFY(unit->received().size() >= 3);
        unit->clearReceived();
        QVERIFY(form.close());
        const QStringList tail = untimed(lines(form)).mid(int(form.Memo1->count()) - 2);
        QCOMPARE(tail, (QStringList{QString::fromUtf8(" Выход..."), QStringLiteral("-----------------------\n")}));
        QVERIFY(unit->received().empty());
    }
};

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
