// What an engineer meets in the field, one table: every conversation with the unit against a
// unit that goes silent, answers garbage, answers half, or is unplugged; and "log.txt" found
// missing, empty, unreadable, in a folder that cannot be written, in every encoding, with bytes
// that are not text, and with years of history.  Each row states what the log must say and
// what must not happen.
#include "link/channel.h"
#include "tests/sound/wavfile.h"
#include "tests/support/fixture.h"
#include "tests/support/readonly.h"
#include "ui/application.h"
#include "ui/memo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringEncoder>
#include <QTest>

#include <optional>

using namespace fixture;
using sim::Fault;
using sim::Reply;

Q_DECLARE_METATYPE(sim::Fault)
Q_DECLARE_METATYPE(sim::Reply)

namespace {

enum class Talk { Connect, Read, Write, Poll, End };

const char* faultname(Fault f)
{
    switch (f) {
    case Fault::Silent: return "silent";
    case Fault::Garbage: return "garbage";
    case Fault::Short: return "short";
    case Fault::Hangup: return "hang-up";
    case Fault::None: break;
    }
    return "none";
}

// Connects to a sound unit and then puts the fault on the given kind of reply.
void connected(TForm1& form, sim::Unit& unit, Fault fault, Reply on)
{
    connectWindow(form, unit, 1);
    sim::Config c = unit.config();
    c.fault = fault;
    c.faultOn = on;
    unit.setConfig(c);
}

} // namespace

Q_DECLARE_METATYPE(Talk)

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        link::closeall();
        setapptitle(QString());
    }

    void conversations_data()
    {
        QTest::addColumn<Talk>("talk");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("logged");   // lines the log must end with (untimed)
        QTest::addColumn<bool>("box");             // a serious-failure box is shown
        const QString noanswer = QString::fromUtf8(" Ошибка подключения: устройство не отвечает");
        const QString wait = QString::fromUtf8(" Ждите...");
        const QString nosettings = QString::fromUtf8(" Нет ответа от блока");
        const QString written = QString::fromUtf8(" Записано.");
        const QString rereading = QString::fromUtf8(" Чтение настроек...");
        const QString readok = QString::fromUtf8(" Прочитано");
        const QString badsum = QString::fromUtf8(" Контрольная сумма не совпадает");
        const QString writing = QString::fromUtf8(" Запись настроек...");
        const QString bye = QString::fromUtf8(" Выход...");
        const QString byefail = QString::fromUtf8(" Ошибка");
        const QString sep = QStringLiteral("-----------------------\n");
        for (Fault f : {Fault::Silent, Fault::Garbage, Fault::Short, Fault::Hangup}) {
            const QString n = QString::fromLatin1(faultname(f));
            // Connect: nothing but an answer that arrived and is "W" connects.
            QTest::newRow(qPrintable("connect " + n))
                << Talk::Connect << f
                << QStringList{f == Fault::Garbage ? QString::fromUtf8(" Ошибка подключения: 63") : noanswer}
                << false;
            // Read: garbage is an image of sorts (its checksum gives it away); anything less
            // than a whole image is no answer, and nothing is shown from it.
            QTest::newRow(qPrintable("read " + n))
                << Talk::Read << f
                << (f == Fault::Garbage ? QStringList{wait, readok, badsum} : QStringList{wait, nosettings})
                << (f == Fault::Garbage);
            // Write: only a "[" that arrived refuses; the read-back then tells what the unit holds.
            QTest::newRow(qPrintable("write " + n))
                << Talk::Write << f
                << (f == Fault::Hangup ? QStringList{writing, written, rereading, wait, nosettings}
                                       : QStringList{writing, written, rereading, wait, readok})
                << false;
            // A poll shows what came (half a reply shows the rest as it was) and logs nothing.
            QTest::newRow(qPrintable("poll " + n)) << Talk::Poll << f << QStringList{} << false;
            // The goodbye at exit: anything but a "V" that arrived is an error, and the log is
            // saved all the same.
            QTest::newRow(qPrintable("end " + n)) << Talk::End << f << QStringList{bye, byefail, sep} << false;
        }
    }
    void conversations()
    {
        QFETCH(Talk, talk);
        QFETCH(Fault, fault);
        QFETCH(QStringList, logged);
        QFETCH(bool, box);
        Scratch scratch;
        Modals modals;
        auto unit = unitOn(1);
        auto form = std::make_unique<TForm1>();
        form->show();
        const auto image = unit->image();
        int from = 0;
        switch (talk) {
        case Talk::Connect: {
            sim::Config c = unit->config();
            c.fault = fault;
            c.faultOn = Reply::Start;
            unit->setConfig(c);
            choosePort(*form, 1);
            from = int(form->Memo1->count());
            QTest::mouseClick(form->Button1, Qt::LeftButton);
            QCOMPARE(link::area[link::Connected], std::uint8_t(0));
            QVERIFY(!form->Image1->isVisible());
            break;
        }
        case Talk::Read: {
            connected(*form, *unit, fault, Reply::Image);
            from = int(form->Memo1->count());
            QTest::mouseClick(form->Button5, Qt::LeftButton);
            if (fault != Fault::Garbage) {
                // Nothing from the stale receive area is shown as the unit's settings.
                QCOMPARE(form->Edit5->text(), QStringLiteral("-- --"));
                QCOMPARE(form->Edit1->text(), QString::fromUtf8("Не определенно"));
            }
            // The read sends only its command.
            QCOMPARE(unit->received(), std::vector<std::uint8_t>{'R'});
            break;
        }
        case Talk::Write: {
            connected(*form, *unit, fault, Reply::Verdict);
            QTest::mouseClick(form->Button3, Qt::LeftButton);
            from = int(form->Memo1->count());
            QTest::mouseClick(form->Button4, Qt::LeftButton);
            // The unit got "S" and one whole image, nothing made up: what it did not write
            // came back as the unit sent it.
            const auto rx = unit->received();
            QVERIFY(rx.size() >= 513);
            QCOMPARE(rx[0], std::uint8_t('S'));
            const auto now = unit->image();
            QCOMPARE(now[0], image[0]);
            QCOMPARE(now[50], image[50]);
            QVERIFY(std::equal(now.begin() + 52, now.end(), image.begin() + 52));
            break;
        }
        case Talk::Poll: {
            connected(*form, *unit, fault, Reply::Telemetry);
            form->Button11Click();
            for (int i = 0; i < 12; ++i)
                link::area[i] = std::uint8_t(0x20 + i);
            from = int(form->Memo1->count());
            QTest::mouseClick(form->Button7, Qt::LeftButton);
            const auto r = unit->config().readings;
            const QString shown[] = {form->Edit14->text(), form->Edit15->text(), form->Edit16->text(),
                                     form->Edit17->text(), form->Edit18->text(), form->Edit19->text()};
            for (int i = 0; i < 6; ++i) {
                const int old = (0x20 + 2 * i) * 256 + 0x21 + 2 * i;
                int expected = old;
                if (fault == Fault::Garbage)
                    expected = 0x3F3F;
                else if (fault == Fault::Short && i < 3)
                    expected = r[size_t(i)];
                QCOMPARE(shown[i], QString::number(expected));
            }
            break;
        }
        case Talk::End: {
            connected(*form, *unit, fault, Reply::End);
            from = int(form->Memo1->count());
            QVERIFY(form->close());
            // Saved, with the outcome in it.
            const QByteArray saved = readFile(QStringLiteral("log.txt"));
            QStringEncoder enc("windows-1251");
            QVERIFY(saved.endsWith(QByteArray(enc.encode(logged.at(1) + QStringLiteral("\r\n-----------------------\n\r\n")))));
            break;
        }
        }
        const QStringList added = untimed(linesFrom(*form, from));
        QVERIFY2(added.size() >= logged.size() && added.mid(added.size() - logged.size()) == logged,
                 qPrintable(added.join(QLatin1Char('|'))));
        QCOMPARE(modals.boxes.size(), box ? 1 : 0);
        if (fault == Fault::Hangup && talk != Talk::End) {
            // The gone line is closed: later exchanges are silence, nothing spins.
            QVERIFY(!link::isopen());
        }
        form.reset();
    }

    void uploads_data()
    {
        QTest::addColumn<bool>("siren");
        QTest::addColumn<Reply>("stage");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("stored"); // blocks the unit has stored
        for (bool siren : {false, true}) {
            for (Reply stage : {Reply::Ready, Reply::Counts, Reply::Ack}) {
                for (Fault f : {Fault::Silent, Fault::Garbage, Fault::Short, Fault::Hangup}) {
                    const char* st = stage == Reply::Ready ? "ready" : stage == Reply::Counts ? "counts" : "second block";
                    QTest::newRow(qPrintable(QStringLiteral("%1 %2 %3").arg(siren ? "siren" : "messages", st, faultname(f))))
                        << siren << stage << f
                        << (f == Fault::Hangup ? QString::fromUtf8(" Связь с устройством потеряна, запись прервана")
                                               : QString::fromUtf8(" Устройство не отвечает, запись прервана"))
                        << (stage == Reply::Ack ? 2 : 0);
                }
            }
        }
    }
    void uploads()
    {
        QFETCH(bool, siren);
        QFETCH(Reply, stage);
        QFETCH(Fault, fault);
        QFETCH(QString, logged);
        QFETCH(int, stored);
        Scratch scratch;
        Modals modals;
        sim::Config c;
        if (siren)
            c.firmware = 40; // the siren is offered by old firmware only
        auto unit = unitOn(1, c);
        auto form = std::make_unique<TForm1>();
        form->show();
        connected(*form, *unit, fault, stage);
        sim::Config fc = unit->config();
        fc.faultAck = 1; // the second block's acknowledgement
        unit->setConfig(fc);
        // Stale bytes of every awaited kind in the receive area: none may end a wait.
        link::area[link::Rx] = 'U';
        writeFile(QStringLiteral("a.wav"), wavfile::canonical(wavfile::sound(3 * 512)));
        writeFile(QStringLiteral("b.wav"), wavfile::canonical(wavfile::sound(3 * 512, 1)));
        modals.files = {scratch.file("a.wav"), scratch.file("b.wav")};
        const int from = int(form->Memo1->count());
        QPushButton* button = siren ? form->Button8 : form->Button6;
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        const QStringList added = untimed(linesFrom(*form, from));
        // The reason, then the word that the unit must be connected again.
        QVERIFY2(added.size() >= 2 && added.mid(added.size() - 2)
                     == QStringList({logged, QString::fromUtf8(" Связь с устройством прервана, переподключите блок")}),
                 qPrintable(added.join(QLatin1Char('|'))));
        QCOMPARE(link::area[link::Connected], std::uint8_t(0));
        // Stopped for good: nothing more sent, no read-back, the window usable again, the
        // files closed.
        const std::size_t sent = unit->received().size();
        QTest::qWait(100);
        QCOMPARE(unit->received().size(), sent);
        QCOMPARE(unit->blocksReceived(), stored);
        QVERIFY(!added.contains(QString::fromUtf8(" Ждите...")));
        QVERIFY(!form->uploading);
        QVERIFY(!link::soundfile1().isOpen());
        QVERIFY(!link::soundfile2().isOpen());
        QCOMPARE(form->ProgressBar1->value(), 0);
        for (QPushButton* b : {form->Button1, form->Button4, form->Button5, form->Button6, form->Button15})
            QVERIFY(b->isEnabled());
        QCOMPARE(link::isopen(), fault != Fault::Hangup);
        QVERIFY(modals.boxes.isEmpty());
        form.reset();
    }

    void logFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("first");   // the first lines shown
        QTest::addColumn<QByteArray>("savedStart"); // what the saved file starts with
        QStringEncoder cp("windows-1251");
        const QString ru = QString::fromUtf8("Прочитано");
        QTest::newRow("missing") << "missing" << QByteArray() << QStringList() << QByteArray();
        QTest::newRow("empty") << "file" << QByteArray() << QStringList() << QByteArray();
        QTest::newRow("no mark") << "file" << QByteArray(cp.encode(ru + "\r\n")) << QStringList{ru}
                                 << QByteArray(QStringEncoder("windows-1251").encode(ru + "\r\n"));
        QTest::newRow("utf-8") << "file" << QByteArray("\xEF\xBB\xBF") + (ru + "\n").toUtf8() << QStringList{ru}
                               << QByteArray("\xEF\xBB\xBF") + (ru + "\r\n").toUtf8();
        QByteArray le("\xFF\xFE"), be("\xFE\xFF");
        for (QChar c : ru + "\r") {
            le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        }
        QByteArray le2 = le, be2 = be;
        le2.append("\n", 1).append("\0", 1);
        be2.append("\0", 1).append("\n", 1);
        QTest::newRow("utf-16le") << "file" << le << QStringList{ru} << le2;
        QTest::newRow("utf-16be") << "file" << be << QStringList{ru} << be2;
        // Bytes that are no text in the code page still come back as they were.
        QTest::newRow("8-bit control bytes") << "file" << QByteArray("a\x01\x98\xFF\x00z\r\n", 7)
                                             << QStringList{QStringLiteral("a\x01") + QChar(0x98) + QString::fromUtf8("я") + QChar(0) + "z"}
                                             << QByteArray("a\x01\x98\xFF\x00z\r\n", 7);
        // Invalid UTF-8 after the mark: shown as replacement characters, the file still loads.
        QTest::newRow("invalid utf-8") << "file" << QByteArray("\xEF\xBB\xBF" "ok\xC3\r\n")
                                       << QStringList{QStringLiteral("ok") + QChar(0xFFFD)}
                                       << QByteArray("\xEF\xBB\xBF" "ok\xEF\xBF\xBD\r\n");
        QTest::newRow("unreadable") << "directory" << QByteArray() << QStringList() << QByteArray();
        QTest::newRow("folder gone") << "gone" << QByteArray() << QStringList() << QByteArray();
    }
    void logFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, first);
        QFETCH(QByteArray, savedStart);
        Scratch scratch;
        Modals modals;
        if (kind == "file")
            writeFile(QStringLiteral("log.txt"), bytes);
        else if (kind == "directory")
            QVERIFY(QDir().mkdir(QStringLiteral("log.txt")));
        else if (kind == "gone") {
            QVERIFY(QDir().mkdir(QStringLiteral("gone")));
            QDir::setCurrent(scratch.file(QStringLiteral("gone")));
            QVERIFY(QDir(scratch.path()).rmdir(QStringLiteral("gone")));
        }
        {
            TForm1 form;
            form.show();
            if (kind == "directory" || kind == "gone") {
                // Said in an error box, the log left empty; nothing replaces what is there.
                QCOMPARE(modals.boxes.size(), 1);
                QCOMPARE(form.Memo1->count(), 0);
            } else {
                QCOMPARE(modals.boxes.size(), 0);
                QCOMPARE(lines(form).mid(0, first.size()), first);
                QCOMPARE(untimed(lines(form)).at(first.size() + 1), QString::fromUtf8(" Выполнен Вход"));
            }
            QVERIFY(form.close());
        }
        QDir::setCurrent(scratch.path());
        if (kind == "directory") {
            QVERIFY(QFileInfo(QStringLiteral("log.txt")).isDir());
        } else if (kind != "gone") {
            const QByteArray saved = readFile(QStringLiteral("log.txt"));
            QVERIFY2(saved.startsWith(savedStart), saved.left(64).toHex().constData());
            QVERIFY(saved.size() > savedStart.size());
        }
    }

    // A folder that takes no new file (an administrator's shared folder, a read-only file
    // system), also when it turns so only after start-up: the exit writes "log.txt" itself, where
    // it can be written, and the window closes.  Where it cannot be, the exit says so and the
    // window stays open; once the file can be written the next close saves everything.
    void exitInAFolderThatTakesNoNewFile_data()
    {
        QTest::addColumn<bool>("fromStart"); // refusing already when the tool starts
        QTest::addColumn<bool>("writable");  // "log.txt" itself can be written
        QTest::newRow("from start-up") << true << true;
        QTest::newRow("after start-up") << false << true;
        QTest::newRow("log.txt read-only too") << true << false;
    }
    void exitInAFolderThatTakesNoNewFile()
    {
        QFETCH(bool, fromStart);
        QFETCH(bool, writable);
        Scratch scratch;
        Modals modals;
        QStringEncoder cp("windows-1251");
        // The last run's separator still has its own line feed: the save moves what follows.
        QByteArray history;
        for (int i = 0; i < 3000; ++i)
            history += cp.encode(QString::fromUtf8("12:00:00 Прочитано %1\r\n").arg(i));
        history += "-----------------------\n\r\n";
        writeFile(QStringLiteral("log.txt"), history);
        std::optional<ReadOnlyFolder> folder;
        auto refuse = [&] {
            folder.emplace(scratch.path(), writable ? QStringList{"log.txt"} : QStringList{});
            return folder->failure();
        };
        if (fromStart && !refuse().isEmpty())
            QSKIP(qPrintable("cannot make a folder refuse new files here: " + folder->failure()));
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (!fromStart && !refuse().isEmpty())
            QSKIP(qPrintable("cannot make a folder refuse new files here: " + folder->failure()));
        auto expected = [&] {
            QByteArray out;
            for (const QString& l : lines(form))
                out += cp.encode(l + QStringLiteral("\r\n"));
            return out;
        };
        if (!writable) {
            QVERIFY(!form.close());
            QVERIFY(form.isVisible());
            QCOMPARE(modals.boxes.size(), 1);
            QVERIFY2(modals.boxes[0].text.startsWith(QStringLiteral("Cannot create file")), qPrintable(modals.boxes[0].text));
            QVERIFY(modals.boxes[0].text.contains(QStringLiteral("log.txt")));
            QCOMPARE(readFile(QStringLiteral("log.txt")), history);
            folder.reset(); // the administrator lets the file be written
            modals.boxes.clear();
        }
        QVERIFY2(form.close(), modals.boxes.isEmpty() ? "" : qPrintable(modals.boxes[0].text));
        QVERIFY(!form.isVisible());
        QVERIFY(modals.boxes.isEmpty());
        const QByteArray saved = readFile(QStringLiteral("log.txt"));
        QCOMPARE(saved, expected());
        QVERIFY(saved.startsWith(history.chopped(3) + "\r\n\r\n"));
        QCOMPARE(untimed(lines(form)).count(QString::fromUtf8(" Выход...")), writable ? 1 : 2);
        QVERIFY(saved.contains(QByteArray(cp.encode(QString::fromUtf8(" Выполнен Вход\r\n")))));
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{"log.txt"});
    }

    void yearsOfHistory()
    {
        Scratch scratch;
        Modals modals;
        QByteArray history;
        QStringEncoder cp("windows-1251");
        const QByteArray line = cp.encode(QString::fromUtf8("12:00:00 Соединение установлено\r\n"));
        history.reserve(line.size() * 1000000);
        for (int i = 0; i < 1000000; ++i)
            history += line;
        writeFile(QStringLiteral("log.txt"), history);
        {
            TForm1 form;
            form.show();
            QCOMPARE(form.Memo1->count(), 1000000 + 4);
            QVERIFY(form.close());
        }
        const QByteArray saved = readFile(QStringLiteral("log.txt"));
        QVERIFY(saved.startsWith(history));
        QCOMPARE(saved.count('\n'), 1000000 + 6 + 1);
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestFaults t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_faults.moc"
