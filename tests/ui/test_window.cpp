// The window and the life of "log.txt" across runs: created, restored, extended and saved in
// the encoding it was found in, and never destroyed when it cannot be read or written.
#include "link/channel.h"
#include "tests/support/fixture.h"
#include "ui/application.h"
#include "ui/timefmt.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTest>

#include <stdexcept>

using namespace fixture;

namespace {
const QString Separator = QStringLiteral("-----------------------\n");
const QString Entered = QString::fromUtf8(" Выполнен Вход");
const QString Leaving = QString::fromUtf8(" Выход...");
const QString Ports = QString::fromUtf8(" Доступные порты:");
const QString NoPorts = QString::fromUtf8("\t Доступных COM-портов нет");

QByteArray cp1251(const QString& s)
{
    QStringEncoder e("windows-1251");
    return e.encode(s);
}

// One whole run of the tool in the current folder: start, then close.
QStringList run()
{
    TForm1 form;
    form.show();
    if (!form.close())
        qWarning("the close was abandoned");
    return lines(form);
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { link::closeall(); }

    void firstRunCreatesTheLog()
    {
        Scratch scratch;
        Modals modals;
        QStringList shown;
        {
            TForm1 form;
            // Created empty before it is read.
            QVERIFY(QFileInfo::exists(QStringLiteral("log.txt")));
            QCOMPARE(readFile(QStringLiteral("log.txt")), QByteArray());
            shown = lines(form);
            QCOMPARE(shown.size(), 4);
            QCOMPARE(shown[0], dateline(QDate::currentDate()));
            QVERIFY(QRegularExpression(QStringLiteral("^\\d{2}\\.\\d{2}\\.\\d{4}$")).match(shown[0]).hasMatch());
            QCOMPARE(untimed(shown.mid(1)), (QStringList{Entered, Ports, NoPorts}));
            QVERIFY(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d ")).match(shown[1]).hasMatch());
            form.show();
            QVERIFY(form.close());
            shown = lines(form);
        }
        QCOMPARE(untimed(shown.mid(4)), (QStringList{Leaving, Separator}));
        // In the 8-bit code page, every line ended by CR LF, the separator's own LF before it.
        QCOMPARE(readFile(QStringLiteral("log.txt")), cp1251(shown.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
        QVERIFY(modals.boxes.isEmpty());
    }

    void secondRunFollowsTheFirst()
    {
        Scratch scratch;
        Modals modals;
        const QStringList first = run();
        const QStringList second = run();
        // The separator's line feed becomes a line of its own: one empty line, then the date.
        QStringList expected = first;
        expected.last() = QStringLiteral("-----------------------");
        expected << QString();
        QCOMPARE(second.mid(0, expected.size()), expected);
        QCOMPARE(second.at(expected.size()), dateline(QDate::currentDate()));
        QCOMPARE(untimed(second.mid(expected.size() + 1, 1)), QStringList{Entered});
    }

    void encodingIsKept_data()
    {
        QTest::addColumn<QByteArray>("mark");
        QTest::addColumn<QString>("codec");
        QTest::newRow("utf-8") << QByteArray("\xEF\xBB\xBF") << "UTF-8";
        QTest::newRow("utf-16le") << QByteArray("\xFF\xFE") << "UTF-16LE";
        QTest::newRow("utf-16be") << QByteArray("\xFE\xFF") << "UTF-16BE";
        QTest::newRow("no mark") << QByteArray() << "windows-1251";
    }
    void encodingIsKept()
    {
        QFETCH(QByteArray, mark);
        QFETCH(QString, codec);
        Scratch scratch;
        Modals modals;
        const QString old = QString::fromUtf8("старая запись\r\nвторая");
        QStringEncoder enc(codec.toLatin1().constData());
        writeFile(QStringLiteral("log.txt"), mark + QByteArray(enc.encode(old)));
        const QStringList shown = run();
        QCOMPARE(shown.mid(0, 2), (QStringList{QString::fromUtf8("старая запись"), QString::fromUtf8("вторая")}));
        QStringEncoder enc2(codec.toLatin1().constData());
        QCOMPARE(readFile(QStringLiteral("log.txt")),
                 mark + QByteArray(enc2.encode(shown.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"))));
    }

    void bareLineFeedsComeBackAsCrLf()
    {
        Scratch scratch;
        Modals modals;
        writeFile(QStringLiteral("log.txt"), "one\ntwo\rthree\n");
        const QStringList shown = run();
        QCOMPARE(shown.mid(0, 3), (QStringList{"one", "two", "three"}));
        QVERIFY(readFile(QStringLiteral("log.txt")).startsWith("one\r\ntwo\r\nthree\r\n"));
    }

    void unreadableLogIsNotReplaced()
    {
        Scratch scratch;
        Modals modals;
        // A folder where the file should be: no one, root included, can read it as a file.
        QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
        writeFile(QStringLiteral("log.txt/keep"), "history");
        {
            TForm1 form;
            QCOMPARE(modals.boxes.size(), 1);
            QCOMPARE(modals.boxes[0].title, QStringLiteral("Test_window"));
            QCOMPARE(modals.boxes[0].icon, int(QMessageBox::Critical));
            QVERIFY2(modals.boxes[0].text.startsWith(QStringLiteral("Cannot open file \"%1\".")
                                                      .arg(QDir::toNativeSeparators(scratch.file("log.txt")))),
                     qPrintable(modals.boxes[0].text));
            // The rest of the start-up did not run.
            QCOMPARE(form.Memo1->count(), 0);
            form.show();
            QVERIFY(form.close());
            QCOMPARE(modals.boxes.size(), 2);
            QVERIFY(modals.boxes[1].text.contains(QString::fromUtf8("без изменений")));
        }
        QCOMPARE(readFile(QStringLiteral("log.txt/keep")), QByteArray("history"));
    }

    void unwritableFolder()
    {
        Scratch scratch;
        Modals modals;
        // A working folder that has gone: nothing can be created in it, not even by root.
        QVERIFY(QDir().mkdir(QStringLiteral("gone")));
        QDir::setCurrent(scratch.file(QStringLiteral("gone")));
        QVERIFY(QDir(scratch.path()).rmdir(QStringLiteral("gone")));
        {
            TForm1 form;
            QCOMPARE(modals.boxes.size(), 1);
            QVERIFY2(modals.boxes[0].text.startsWith(QStringLiteral("Cannot create file")),
                     qPrintable(modals.boxes[0].text));
            QCOMPARE(form.Memo1->count(), 0);
            form.show();
            // The close is not held up for ever by a log that can never be written.
            QVERIFY(form.close());
        }
        QDir::setCurrent(scratch.path());
    }

    void failedSaveKeepsTheWindowAndTheHistory()
    {
        Scratch scratch;
        Modals modals;
        writeFile(QStringLiteral("log.txt"), "history\r\n");
        TForm1 form;
        form.show();
        // The file turns into something that cannot be replaced while the tool runs.
        QVERIFY(QFile::remove(QStringLiteral("log.txt")));
        QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
        writeFile(QStringLiteral("log.txt/inside"), "x");
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(modals.boxes.size(), 1);
        QVERIFY2(modals.boxes[0].text.startsWith(QStringLiteral("Cannot create file")), qPrintable(modals.boxes[0].text));
        QCOMPARE(readFile(QStringLiteral("log.txt/inside")), QByteArray("x"));
        // Mended and closed again: the whole exit sequence runs again.
        QVERIFY(QDir(QStringLiteral("log.txt")).removeRecursively());
        QVERIFY(form.close());
        const QString saved = QString::fromLatin1(readFile(QStringLiteral("log.txt")));
        QVERIFY(saved.startsWith(QStringLiteral("history\r\n")));
        QCOMPARE(untimed(lines(form)).count(Leaving), 2);
        // No temporary file is left behind.
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{"log.txt"});
    }

    void windowAsDesigned()
    {
        Scratch scratch;
        Modals modals;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Вирелан 2 V2.0"));
        QCOMPARE(form.size(), QSize(728, 483));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form.geometry().topLeft(), QPoint(0, 0) + (form.geometry().topLeft() - form.frameGeometry().topLeft()));
        QCOMPARE(apptitle(), QStringLiteral("Test_window"));

        struct Frame { QFrame* f; QRect r; QLabel* title; QString text; QPoint at; };
        const Frame frames[] = {
            {form.Bevel1, {8, 5, 136, 351}, form.Label1, "Выбор COM-порта", {26, 10}},
            {form.Bevel2, {152, 5, 424, 20}, form.Label5, "Параметры контроля", {307, 8}},
            {form.Bevel3, {152, 25, 144, 115}, form.Label17, "Табло", {152, 30}},
            {form.Bevel4, {296, 25, 136, 210}, form.Label8, "Оповещения", {293, 30}},
            {form.Bevel5, {432, 25, 144, 155}, form.Label16, "Входов управления", {435, 30}},
            {form.Bevel6, {584, 5, 136, 175}, form.Label15, "Сеть ВИРЕЛАН2", {584, 10}},
            {form.Bevel7, {152, 148, 136, 135}, form.Label20, "Установки Табло", {152, 153}},
            {form.Bevel8, {154, 289, 136, 65}, form.Label2, "Версия ПО Блока:", {152, 296}},
            {form.Bevel9, {296, 243, 136, 113}, form.Label18, "Разрешение контроля", {297, 249}},
            {form.Bevel10, {440, 186, 136, 170}, form.Label19, "Реле \"РАБОТА\"", {440, 196}},
            {form.Bevel11, {584, 186, 136, 170}, form.Label21, "Звуковые сообщения", {584, 191}},
        };
        for (const Frame& f : frames) {
            QCOMPARE(f.f->geometry(), f.r);
            QCOMPARE(f.title->text(), QString::fromUtf8(f.text.toUtf8()));
            QCOMPARE(f.title->pos(), f.at);
            // Every group title is bold but the port list's.
            QCOMPARE(f.title->font().bold(), f.title != form.Label1);
        }
        QCOMPARE(form.Memo1->geometry(), QRect(8, 356, 712, 119));
        QVERIFY(form.Memo1->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);
        QVERIFY(form.Memo1->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff);
        const QString pngs = qEnvironmentVariable("V2_PNG_DIR", scratch.path());
        QDir().mkpath(pngs);
        form.grab().save(pngs + QStringLiteral("/window-startup.png"));
    }

    void activationShowsTheLastLine()
    {
        Scratch scratch;
        Modals modals;
        QByteArray many;
        for (int i = 0; i < 500; ++i)
            many += "line " + QByteArray::number(i) + "\r\n";
        writeFile(QStringLiteral("log.txt"), many);
        hinthidepause = 0;
        TForm1 form;
        const qsizetype n = form.Memo1->count();
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.Memo1->count(), n); // the content is unchanged
        QCOMPARE(form.Memo1->verticalScrollBar()->value(), form.Memo1->verticalScrollBar()->maximum());
        QVERIFY(form.Memo1->topline() > 490);
        QCOMPARE(hinthidepause, 30000);
    }

    void errorInAHandlerIsShownAndTheLoopGoesOn()
    {
        Scratch scratch;
        Modals modals;
        TForm1 form;
        bool after = false;
        QTimer::singleShot(0, &form, [] { throw std::runtime_error("'x' is not a valid integer value."); });
        QTimer::singleShot(30, &form, [&] { after = true; });
        QTRY_VERIFY(after);
        QCOMPARE(modals.boxes.size(), 1);
        QCOMPARE(modals.boxes[0].text, QStringLiteral("'x' is not a valid integer value."));
        QCOMPARE(modals.boxes[0].title, apptitle());
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"
