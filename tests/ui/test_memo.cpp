// Selecting and copying the activity log's text, as in a read-only text area: with the mouse,
// with the keys and from the context menu, for a short log and for a million lines, while the
// log keeps growing.  What was selected is read back from the clipboard.
#include "link/channel.h"
#include "tests/support/fixture.h"
#include "ui/application.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTest>
#include <QTextLayout>

using namespace fixture;

namespace {
const QString Separator = QStringLiteral("-----------------------\n");

const QStringList Short = {
    QString::fromUtf8("9:05:07 Выполнен Вход"),
    QString::fromUtf8("9:05:08 Контрольная сумма не совпадает"),
    QString(),
    QString::fromUtf8("9:05:09 Соединение установлено"),
    Separator,
};

QString clip()
{
    return QGuiApplication::clipboard()->text();
}

// The window with its log holding exactly `text`, the first line at the top of the view.
struct Window {
    Scratch scratch;
    Modals modals;
    TForm1 form;
    LogMemo* memo = form.Memo1;
    QWidget* view = form.Memo1->viewport();

    explicit Window(const QStringList& text = Short)
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("the window was not shown");
        memo->clear();
        for (const QString& l : text)
            memo->add(l);
        memo->verticalScrollBar()->setValue(0);
        memo->setFocus();
        QGuiApplication::clipboard()->setText(QStringLiteral("(nothing copied)"));
    }

    int rowheight() const { return memo->fontMetrics().height(); }
    // The point between characters col-1 and col of a line that fits its row; `line` counts
    // from the top of the view.
    QPoint at(int line, int col) const
    {
        const QString s = memo->line(memo->topline() + line);
        return QPoint(2 + memo->fontMetrics().horizontalAdvance(s.left(col)), 2 + line * rowheight() + rowheight() / 2);
    }
    QString copied()
    {
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        return clip();
    }
};

QString joined(const QStringList& l)
{
    return l.join(QLatin1Char('\n'));
}

struct Spot {
    int line, col;
};
} // namespace
Q_DECLARE_METATYPE(Spot)

class TestMemo : public QObject {
    Q_OBJECT
private slots:
    void init() { link::closeall(); }

    void dragSelects_data()
    {
        QTest::addColumn<Spot>("from");
        QTest::addColumn<Spot>("to");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside a line") << Spot{1, 8} << Spot{1, 19} << QString::fromUtf8("Контрольная");
        QTest::newRow("across lines") << Spot{0, 8} << Spot{3, 14}
                                      << joined({Short[0].mid(8), Short[1], QString(), Short[3].left(14)});
        QTest::newRow("backwards") << Spot{3, 14} << Spot{0, 8}
                                   << joined({Short[0].mid(8), Short[1], QString(), Short[3].left(14)});
        QTest::newRow("just the line break") << Spot{0, int(Short[0].size())} << Spot{1, 0} << QStringLiteral("\n");
        QTest::newRow("into the separator") << Spot{3, 22} << Spot{4, 5}
                                            << joined({Short[3].mid(22), QStringLiteral("-----")});
    }
    void dragSelects()
    {
        QFETCH(Spot, from);
        QFETCH(Spot, to);
        QFETCH(QString, expected);
        Window w;
        QTest::mousePress(w.view, Qt::LeftButton, {}, w.at(from.line, from.col));
        QTest::mouseMove(w.view, w.at((from.line + to.line) / 2, 3));
        QTest::mouseMove(w.view, w.at(to.line, to.col));
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, w.at(to.line, to.col));
        QVERIFY(w.memo->hasselection());
        QCOMPARE(w.copied(), expected);
        // Ctrl+Insert copies too.
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(w.memo, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(clip(), expected);
    }

    void clickWithoutDragSelectsNothing()
    {
        Window w;
        QTest::mouseClick(w.view, Qt::LeftButton, {}, w.at(1, 8));
        QVERIFY(!w.memo->hasselection());
        QCOMPARE(w.copied(), QStringLiteral("(nothing copied)"));
        // Below the last line is the end of the log: a drag to there takes the rest.
        QTest::mousePress(w.view, Qt::LeftButton, {}, w.at(3, 8));
        QTest::mouseMove(w.view, QPoint(5, w.view->height() - 3));
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, QPoint(5, w.view->height() - 3));
        QCOMPARE(w.copied(), joined({Short[3].mid(8), Separator}));
    }

    void shiftClickExtends()
    {
        Window w;
        QTest::mouseClick(w.view, Qt::LeftButton, {}, w.at(0, 8));
        QTest::mouseClick(w.view, Qt::LeftButton, Qt::ShiftModifier, w.at(3, 8));
        QCOMPARE(w.copied(), joined({Short[0].mid(8), Short[1], QString(), Short[3].left(8)}));
        // Again, before the anchor: the selection turns round it.
        QTest::mouseClick(w.view, Qt::LeftButton, Qt::ShiftModifier, w.at(0, 2));
        QCOMPARE(w.copied(), Short[0].mid(2, 6));
    }

    void doubleClickSelectsAWordAndTripleALine()
    {
        Window w;
        const QPoint p = w.at(1, 22); // in "сумма"
        QTest::mouseClick(w.view, Qt::LeftButton, {}, p);
        QTest::mouseDClick(w.view, Qt::LeftButton, {}, p);
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, p);
        QCOMPARE(w.copied(), QString::fromUtf8("сумма"));
        // The third click takes the whole line, without its break.
        QTest::mouseClick(w.view, Qt::LeftButton, {}, p);
        QCOMPARE(w.copied(), Short[1]);

        // A drag after a double click goes by whole words.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(w.view, Qt::LeftButton, {}, p);
        QTest::mouseDClick(w.view, Qt::LeftButton, {}, p);
        QTest::mouseMove(w.view, w.at(1, 33)); // in "совпадает"
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, w.at(1, 33));
        QCOMPARE(w.copied(), QString::fromUtf8("сумма не совпадает"));
    }

    void keysSelect_data()
    {
        QTest::addColumn<Spot>("click");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("expected");
        const Spot mid1{1, 8}, mid3{3, 8};
        QTest::newRow("shift+right") << mid1 << QKeySequence(QStringLiteral("Shift+Right, Shift+Right, Shift+Right"))
                                     << QString::fromUtf8("Кон");
        QTest::newRow("shift+left over a line start")
            << Spot{1, 2} << QKeySequence(QStringLiteral("Shift+Left, Shift+Left, Shift+Left, Shift+Left"))
            << QString::fromUtf8("д\n9:");
        QTest::newRow("shift+down") << Spot{0, 8} << QKeySequence(QStringLiteral("Shift+Down"))
                                    << joined({Short[0].mid(8), Short[1].left(8)});
        QTest::newRow("shift+down over an empty line")
            << Spot{1, 0} << QKeySequence(QStringLiteral("Shift+Down, Shift+Down")) << Short[1] + QStringLiteral("\n\n");
        QTest::newRow("shift+up onto an empty line") << mid3 << QKeySequence(QStringLiteral("Shift+Up"))
                                                     << QStringLiteral("\n") + Short[3].left(8);
        QTest::newRow("shift+down, shift+up") << mid1 << QKeySequence(QStringLiteral("Shift+Down, Shift+Down, Shift+Up"))
                                              << Short[1].mid(8) + QStringLiteral("\n");
        QTest::newRow("shift+end") << mid3 << QKeySequence(QStringLiteral("Shift+End")) << Short[3].mid(8);
        QTest::newRow("shift+home") << mid3 << QKeySequence(QStringLiteral("Shift+Home")) << Short[3].left(8);
        QTest::newRow("ctrl+shift+right") << mid1 << QKeySequence(QStringLiteral("Ctrl+Shift+Right"))
                                          << QString::fromUtf8("Контрольная ");
        QTest::newRow("ctrl+shift+home") << mid1 << QKeySequence(QStringLiteral("Ctrl+Shift+Home"))
                                         << joined({Short[0], Short[1].left(8)});
        QTest::newRow("ctrl+shift+end") << mid3 << QKeySequence(QStringLiteral("Ctrl+Shift+End"))
                                        << joined({Short[3].mid(8), Separator});
        QTest::newRow("shift+pgdown") << Spot{0, 0} << QKeySequence(QStringLiteral("Shift+PgDown")) << joined(Short);
        QTest::newRow("shift+pgup") << mid3 << QKeySequence(QStringLiteral("Shift+PgUp"))
                                    << joined({Short[0], Short[1], QString(), Short[3].left(8)});
        QTest::newRow("ctrl+a") << mid3 << QKeySequence(QKeySequence::SelectAll) << joined(Short);
        // Keys that would edit a text change nothing; what was selected stays.
        QTest::newRow("typing") << mid1
                                << QKeySequence(QStringLiteral("Shift+Right, X, Del, Ctrl+V"))
                                << QString::fromUtf8("К");
        QTest::newRow("cut") << mid1 << QKeySequence(QStringLiteral("Shift+Right, Ctrl+X, Backspace, Return"))
                             << QString::fromUtf8("К");
    }
    void keysSelect()
    {
        QFETCH(Spot, click);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, expected);
        Window w;
        QTest::mouseClick(w.view, Qt::LeftButton, {}, w.at(click.line, click.col));
        QTest::keySequence(w.memo, keys);
        QCOMPARE(w.copied(), expected);
        QCOMPARE(lines(w.form), Short);
    }

    void keysWithoutAClickStartInView()
    {
        QStringList many;
        for (int i = 0; i < 100; ++i)
            many << QStringLiteral("line %1").arg(i);
        Window w(many);
        w.memo->verticalScrollBar()->setValue(40);
        QTest::keyClick(w.memo, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(w.copied(), QStringLiteral("line 40"));
        // Plain keys scroll and leave the selection alone.
        QTest::keyClick(w.memo, Qt::Key_Home);
        QCOMPARE(w.memo->topline(), 0);
        QTest::keyClick(w.memo, Qt::Key_End);
        QCOMPARE(w.memo->topline(), w.memo->verticalScrollBar()->maximum());
        QCOMPARE(w.copied(), QStringLiteral("line 40"));
        // Extending it brings its end back into view.
        QTest::keyClick(w.memo, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(w.memo->topline(), 41);
        QCOMPARE(w.copied(), QStringLiteral("line 40\nline 41"));
    }

    void emptyLog()
    {
        Window w(QStringList{});
        QTest::keyClick(w.memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keySequence(w.memo, QKeySequence(QStringLiteral("Shift+Down, Shift+Right")));
        QTest::mousePress(w.view, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(w.view, QPoint(50, 30));
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, QPoint(50, 30));
        QVERIFY(!w.memo->hasselection());
        QCOMPARE(w.copied(), QStringLiteral("(nothing copied)"));
    }

    void wrappedLinesSelectByRow()
    {
        QStringList words;
        for (int i = 0; i < 200; ++i)
            words << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
        const QString wrapped = words.join(QLatin1Char(' '));
        Window w({Short[0], wrapped, Short[3]});
        const int rh = w.rowheight();
        const int y2 = 2 + rh + rh + rh / 2; // the wrapped line's second row
        QVERIFY(w.memo->fontMetrics().horizontalAdvance(wrapped) > 3 * w.view->width());

        // The second row, from its left edge to its right: some whole words from inside the line.
        QTest::mousePress(w.view, Qt::LeftButton, {}, QPoint(1, y2));
        QTest::mouseMove(w.view, QPoint(w.view->width() - 1, y2));
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, QPoint(w.view->width() - 1, y2));
        const QString row2 = w.copied().trimmed();
        const qsizetype at = wrapped.indexOf(row2);
        QVERIFY2(at > 0 && row2.startsWith(QLatin1Char('w')) && row2.size() > 20, qPrintable(row2));
        QCOMPARE(wrapped.at(at - 1), QLatin1Char(' '));
        QVERIFY(!row2.contains(QLatin1Char('\n')));

        // Down one row inside the line, then on past its end into the next line.
        QTest::mouseClick(w.view, Qt::LeftButton, {}, QPoint(1, y2));
        QTest::keyClick(w.memo, Qt::Key_Down, Qt::ShiftModifier);
        const QString down = w.copied();
        QCOMPARE(wrapped.mid(at, down.size()), down);
        QVERIFY(down.size() >= row2.size());
        QTest::keySequence(w.memo, QKeySequence(QStringLiteral("Ctrl+Shift+End")));
        QCOMPARE(w.copied(), joined({wrapped.mid(at), Short[3]}));
        w.memo->verticalScrollBar()->setValue(0);

        // Shift+End ends the row, not the line.
        QTest::mouseClick(w.view, Qt::LeftButton, {}, QPoint(1, y2));
        QTest::keyClick(w.memo, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(w.copied().trimmed(), row2);

        // A word double-clicked in the third row.
        const QPoint p(w.view->width() / 2, y2 + rh);
        QTest::mouseClick(w.view, Qt::LeftButton, {}, p);
        QTest::mouseDClick(w.view, Qt::LeftButton, {}, p);
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, p);
        const QString word = w.copied();
        QVERIFY2(words.contains(word), qPrintable(word));
        QVERIFY(wrapped.indexOf(word) > at + row2.size());
    }

    void millionLines()
    {
        Scratch scratch;
        Modals modals;
        constexpr int N = 1000000;
        QByteArray history;
        history.reserve(qsizetype(N) * 40);
        QStringEncoder enc("windows-1251");
        const QByteArray text = enc.encode(QString::fromUtf8(" Контрольная сумма не совпадает - "));
        for (int i = 0; i < N; ++i)
            history += "9:05:07" + text + QByteArray::number(i) + "\r\n";
        writeFile(QStringLiteral("log.txt"), history);
        history.clear();
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        LogMemo* memo = form.Memo1;
        QCOMPARE(memo->count(), N + 4);
        const QStringList tail = linesFrom(form, N); // the date, " Выполнен Вход" and the scan
        QString expected;
        expected.reserve(qsizetype(N) * 48);
        for (int i = 0; i < N; ++i)
            expected += QString::fromUtf8("9:05:07 Контрольная сумма не совпадает - %1\n").arg(i);
        expected += tail.join(QLatin1Char('\n'));
        QGuiApplication::clipboard()->clear();

        QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QString copied = clip();
        QCOMPARE(copied.count(QLatin1Char('\n')), N + 3);
        QVERIFY(copied.startsWith(QString::fromUtf8("9:05:07 Контрольная сумма не совпадает - 0\n")));
        QVERIFY(copied.contains(QString::fromUtf8("\n9:05:07 Контрольная сумма не совпадает - 999999\n")));
        QVERIFY(copied.endsWith(QLatin1Char('\n') + tail.last()));
        QVERIFY(copied == expected);
        copied.clear();
        expected.clear();

        // With the mouse, at the end of the log: the last three lines.
        memo->scrolltoend();
        const int rh = memo->fontMetrics().height();
        const int rows = int(memo->count() - memo->topline());
        const QPoint from(1, 2 + (rows - 3) * rh + rh / 2), to(400, 2 + (rows - 1) * rh + rh / 2);
        QTest::mousePress(memo->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(memo->viewport(), to);
        QTest::mouseRelease(memo->viewport(), Qt::LeftButton, {}, to);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clip(), tail.mid(1).join(QLatin1Char('\n')));
        // Up to the top with the keys, from the end.
        QTest::keyClick(memo, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(memo->topline(), 0);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clip().count(QLatin1Char('\n')), N + 1);
        QVERIFY(clip().startsWith(QString::fromUtf8("9:05:07 Контрольная сумма не совпадает - 0\n")));
        QVERIFY(clip().endsWith(QLatin1Char('\n') + tail[0] + QLatin1Char('\n')));
    }

    void charactersOutsideTheCodePage()
    {
        // Such a line turns the whole log into UTF-16; it is copied all the same.
        const QStringList text = {Short[0], QString::fromUtf8("9:05:10 ✓ Записано"), Short[1]};
        Window w(text);
        QCOMPARE(lines(w.form), text);
        QTest::mouseClick(w.view, Qt::LeftButton, {}, w.at(0, 8));
        QTest::mouseClick(w.view, Qt::LeftButton, Qt::ShiftModifier, w.at(2, 19));
        QCOMPARE(w.copied(), joined({Short[0].mid(8), text[1], Short[1].left(19)}));
        QTest::keyClick(w.memo, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.copied(), joined(text));
    }

    void contextMenu()
    {
        Window w;
        auto menuAt = [&](QPoint p) {
            QContextMenuEvent e(QContextMenuEvent::Mouse, p, w.view->mapToGlobal(p));
            QCoreApplication::sendEvent(w.view, &e);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu;
        };
        auto names = [](QMenu* m) {
            QStringList out;
            for (QAction* a : m->actions())
                if (!a->isSeparator())
                    out << a->text();
            return out;
        };
        QMenu* menu = menuAt(w.at(1, 5));
        QVERIFY(menu);
        QCOMPARE(names(menu), (QStringList{QString::fromUtf8("Копировать"), QString::fromUtf8("Выделить всё")}));
        QAction* copy = menu->actions().constFirst();
        QAction* all = menu->actions().constLast();
        QVERIFY(!copy->isEnabled());
        QVERIFY(all->isEnabled());
        all->trigger();
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(w.memo->hasselection());

        menu = menuAt(w.at(0, 3));
        QVERIFY(menu);
        copy = menu->actions().constFirst();
        QVERIFY(copy->isEnabled());
        copy->trigger();
        menu->close();
        QCOMPARE(clip(), joined(Short));
        QCOMPARE(lines(w.form), Short);
    }

    void selectionKeptAsLinesArrive()
    {
        Window w;
        QTest::mouseClick(w.view, Qt::LeftButton, {}, w.at(3, 8));
        QTest::keySequence(w.memo, QKeySequence(QStringLiteral("Ctrl+Shift+End")));
        const QString before = w.copied();
        for (int i = 0; i < 20; ++i)
            w.form.log(QString::fromUtf8(" Ждите..."));
        QCOMPARE(w.copied(), before);
        // The view followed the log to its end meanwhile.
        QCOMPARE(w.memo->topline(), w.memo->verticalScrollBar()->maximum());
        QVERIFY(w.memo->topline() > 3);
    }

    void dragWhileLinesArriveKeepsTheView()
    {
        QStringList many;
        for (int i = 0; i < 100; ++i)
            many << QStringLiteral("line %1").arg(i);
        Window w(many);
        w.memo->scrolltoend();
        const qsizetype top = w.memo->topline();
        QCOMPARE(top, w.memo->verticalScrollBar()->maximum());
        QTest::mousePress(w.view, Qt::LeftButton, {}, w.at(1, 0));
        QTest::mouseMove(w.view, w.at(2, 3));
        for (int i = 0; i < 5; ++i)
            w.form.log(QString::fromUtf8(" Ждите..."));
        QCOMPARE(w.memo->topline(), top);
        // Activation does not move it either.
        w.form.FormActive();
        QCOMPARE(w.memo->topline(), top);
        QTest::mouseMove(w.view, w.at(3, 7));
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, w.at(3, 7));
        QCOMPARE(w.memo->topline(), top);
        const QString expected = joined({many[top + 1], many[top + 2], many[top + 3]});
        QCOMPARE(w.copied(), expected);
        // Released: the next line brings the end into view again, the selection stays.
        w.form.log(QString::fromUtf8(" Ждите..."));
        QCOMPARE(w.memo->topline(), w.memo->verticalScrollBar()->maximum());
        QVERIFY(w.memo->topline() > top);
        QCOMPARE(w.copied(), expected);

        // Holding the scroll bar's thumb (at the bottom, above the down arrow) holds the view too.
        QScrollBar* bar = w.memo->verticalScrollBar();
        const QPoint thumb(bar->width() / 2, bar->height() - bar->width() - 4);
        const qsizetype held = w.memo->topline();
        QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
        QVERIFY(bar->isSliderDown());
        w.form.log(QString::fromUtf8(" Ждите..."));
        QCOMPARE(w.memo->topline(), held);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb);
        w.form.log(QString::fromUtf8(" Ждите..."));
        QCOMPARE(w.memo->topline(), w.memo->verticalScrollBar()->maximum());
        QVERIFY(w.memo->topline() > held);
    }

    void dragPastTheEdgesScrolls()
    {
        QStringList many;
        for (int i = 0; i < 100; ++i)
            many << QStringLiteral("line %1").arg(i);
        Window w(many);
        const int h = w.view->height();
        QTest::mousePress(w.view, Qt::LeftButton, {}, w.at(1, 0));
        QTest::mouseMove(w.view, QPoint(30, h + 10));
        QTRY_VERIFY_WITH_TIMEOUT(w.memo->topline() >= 20, 10000);
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, QPoint(30, h + 10));
        const qsizetype stopped = w.memo->topline();
        QTest::qWait(200);
        QCOMPARE(w.memo->topline(), stopped); // no scrolling once released
        const QStringList down = w.copied().split(QLatin1Char('\n'));
        QCOMPARE(down.first(), many[1]);
        QVERIFY2(down.size() > 20 && many.mid(1, down.size() - 1) == down.mid(0, down.size() - 1),
                 qPrintable(down.join(QLatin1Char('|'))));
        // It ends in the bottom line in view, where the mouse left it.
        QVERIFY(down.size() > stopped);
        QVERIFY(many[down.size()].startsWith(down.last()) && !down.last().isEmpty());

        // And upwards from the end.
        w.memo->scrolltoend();
        const qsizetype end = w.memo->topline();
        QTest::mousePress(w.view, Qt::LeftButton, {}, w.at(2, 4));
        QTest::mouseMove(w.view, QPoint(30, -10));
        QTRY_VERIFY_WITH_TIMEOUT(w.memo->topline() <= end - 20, 10000);
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, QPoint(30, -10));
        const QStringList up = w.copied().split(QLatin1Char('\n'));
        QCOMPARE(up.last(), many[end + 2].left(4));
        QVERIFY(up.size() > 20);
    }

    void selectionIsDrawnHighlighted()
    {
        QStringList words;
        for (int i = 0; i < 40; ++i)
            words << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
        Window w({Short[0], Short[1], words.join(QLatin1Char(' ')), Short[3], Short[0], Short[1], Short[3], Short[0]});
        const int rh = w.rowheight();
        const int wide = w.memo->fontMetrics().horizontalAdvance(w.memo->line(2));
        QVERIFY(wide > w.view->width() && wide < 2 * w.view->width() - 100); // two rows
        QTest::mousePress(w.view, Qt::LeftButton, {}, w.at(1, 8));
        QTest::mouseMove(w.view, QPoint(w.view->width() / 2, 2 + 3 * rh + rh / 2)); // the wrapped line's second row
        QTest::mouseRelease(w.view, Qt::LeftButton, {}, QPoint(w.view->width() / 2, 2 + 3 * rh + rh / 2));
        const QImage shot = w.view->grab().toImage();
        const QString pngs = qEnvironmentVariable("V2_PNG_DIR", w.scratch.path());
        QDir().mkpath(pngs);
        w.form.grab().save(pngs + QStringLiteral("/log-selection.png"));

        const QColor highlight = w.memo->palette().color(QPalette::Highlight);
        // The columns of a row with the highlight in them.
        auto marked = [&](int row) {
            int n = 0;
            for (int x = 0; x < shot.width(); ++x) {
                bool any = false;
                for (int y = 2 + row * rh; y < 2 + (row + 1) * rh && !any; ++y)
                    any = shot.pixelColor(x, y) == highlight;
                n += any;
            }
            return n;
        };
        QCOMPARE(marked(0), 0);
        QVERIFY(marked(1) > 50);  // from "Контрольная" on
        QVERIFY(marked(2) > 300); // the wrapped line's first row, whole
        QVERIFY(marked(3) > 50);  // its second row, to the middle
        QVERIFY(marked(3) < marked(2));
        QCOMPARE(marked(4), 0);
        QCOMPARE(marked(5), 0);
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestMemo t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_memo.moc"
