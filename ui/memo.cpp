#include "ui/memo.h"
#include "ui/codepage.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <limits>
#include <utility>

namespace {
constexpr int Margin = 2;

// The closing separator carries a line feed of its own; it is drawn as a break in the line.
QString displaytext(QString t)
{
    t.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return t;
}

// Lays out one log line at `width`; returns its height.
int layoutline(QTextLayout& layout, int width, int leading)
{
    QTextOption opt;
    opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(opt);
    layout.beginLayout();
    qreal y = 0;
    for (;;) {
        QTextLine l = layout.createLine();
        if (!l.isValid())
            break;
        l.setLineWidth(width);
        l.setPosition(QPointF(0, y));
        y += l.height() + leading;
    }
    layout.endLayout();
    return qMax(1, int(y + 0.5));
}
} // namespace

LogMemo::LogMemo(QWidget* parent) : QAbstractScrollArea(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
            [this] { viewport()->update(); });
}

int LogMemo::textwidth() const
{
    return qMax(10, viewport()->width() - 2 * Margin);
}

int LogMemo::lineheight(qsizetype i, int width) const
{
    const QString s = lines_.line(i);
    const QFontMetrics fm(font());
    // Most log lines are short: no layout needed when they fit.
    if (!s.contains(QLatin1Char('\n')) && fm.horizontalAdvance(s) <= width)
        return fm.height();
    QTextLayout layout(displaytext(s), font());
    return layoutline(layout, width, 0);
}

void LogMemo::updaterange()
{
    // The last top line that still fills the view: count back from the end.
    const int h = viewport()->height() - 2 * Margin;
    const int w = textwidth();
    qsizetype top = lines_.count();
    int used = 0;
    while (top > 0) {
        const int lh = lineheight(top - 1, w);
        if (used + lh > h && top < lines_.count())
            break;
        used += lh;
        --top;
    }
    QScrollBar* bar = verticalScrollBar();
    const int maxtop = int(qMin<qsizetype>(top, std::numeric_limits<int>::max()));
    const int visible = int(lines_.count() - top);
    bar->setRange(0, maxtop);
    bar->setPageStep(qMax(1, visible));
}

qsizetype LogMemo::topline() const
{
    return verticalScrollBar()->value();
}

void LogMemo::scrolltoend()
{
    updaterange();
    if (!dragging_ && !verticalScrollBar()->isSliderDown())
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void LogMemo::add(const QString& line)
{
    lines_.add(line);
    scrolltoend();
}

void LogMemo::removelast()
{
    lines_.removelast();
    if (endpos() < anchor_)
        anchor_ = endpos();
    if (endpos() < cursor_)
        cursor_ = endpos();
    updaterange();
    viewport()->update();
}

void LogMemo::clear()
{
    lines_.clear();
    select({}, {});
    placed_ = false;
    updaterange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void LogMemo::settext(QString text)
{
    lines_.settext(std::move(text));
    select({}, {});
    placed_ = false;
    updaterange();
    viewport()->update();
}

void LogMemo::setlines(LogLines lines)
{
    lines_ = std::move(lines);
    select({}, {});
    placed_ = false;
    updaterange();
    viewport()->update();
}

void LogMemo::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Text));
    const int w = textwidth();
    const int h = viewport()->height();
    const QFontMetrics fm(font());
    const LogPos a = std::min(anchor_, cursor_);
    const LogPos b = std::max(anchor_, cursor_);
    QTextLayout::FormatRange selected;
    selected.format.setBackground(palette().brush(QPalette::Highlight));
    selected.format.setForeground(palette().brush(QPalette::HighlightedText));
    int y = Margin;
    for (qsizetype i = topline(); i < lines_.count() && y < h; ++i) {
        const QString s = lines_.line(i);
        // The part of this line in the selection; a selected line break shows past its end.
        qsizetype from = 0, to = 0;
        if (a != b && i >= a.line && i <= b.line) {
            from = i == a.line ? a.col : 0;
            to = (i == b.line ? b.col : s.size() + 1);
        }
        const bool simple = !s.contains(QLatin1Char('\n')) && fm.horizontalAdvance(s) <= w;
        if (simple && to <= from) {
            p.drawText(Margin, y + fm.ascent(), s);
            y += fm.height();
            continue;
        }
        QTextLayout layout(displaytext(s), font());
        const int lh = layoutline(layout, w, 0);
        QList<QTextLayout::FormatRange> ranges;
        if (to > from) {
            selected.start = int(from);
            selected.length = int(to - from);
            ranges << selected;
        }
        layout.draw(&p, QPointF(Margin, y), ranges);
        y += simple ? fm.height() : lh;
    }
}

void LogMemo::resizeEvent(QResizeEvent* e)
{
    const bool atend = verticalScrollBar()->value() >= verticalScrollBar()->maximum();
    QAbstractScrollArea::resizeEvent(e);
    updaterange();
    if (atend)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool LogMemo::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange)
        updaterange();
    return QAbstractScrollArea::viewportEvent(e);
}

// ---- Selection and copying

LogPos LogMemo::endpos() const
{
    const qsizetype n = count();
    return n == 0 ? LogPos{} : LogPos{n - 1, lines_.length(n - 1)};
}

int LogMemo::laidout(qsizetype i, QTextLayout& layout) const
{
    layout.setText(displaytext(lines_.line(i)));
    layout.setFont(font());
    return layoutline(layout, textwidth(), 0);
}

LogPos LogMemo::hit(QPoint p, bool onchar) const
{
    const qsizetype n = count();
    if (n == 0)
        return {};
    // Down from the top line as the lines are drawn; a point above the text falls on the top
    // line, one below the last line on the end of the log.
    const int w = textwidth();
    qsizetype i = topline();
    int y = Margin;
    for (;;) {
        if (i >= n)
            return endpos();
        const int lh = lineheight(i, w);
        if (p.y() < y + lh)
            break;
        y += lh;
        ++i;
    }
    QTextLayout layout;
    laidout(i, layout);
    QTextLine row = layout.lineAt(layout.lineCount() - 1);
    for (int k = 0; k < layout.lineCount(); ++k) {
        const QTextLine r = layout.lineAt(k);
        if (p.y() - y < r.y() + r.height()) {
            row = r;
            break;
        }
    }
    return {i, row.xToCursor(p.x() - Margin, onchar ? QTextLine::CursorOnCharacter : QTextLine::CursorBetweenCharacters)};
}

void LogMemo::unitat(LogPos at, Unit unit, LogPos* from, LogPos* to) const
{
    const qsizetype len = count() == 0 ? 0 : lines_.length(at.line);
    *from = {at.line, 0};
    *to = {at.line, len};
    if (unit != Unit::Words || len == 0)
        return;
    // The word (or the run of spaces or the punctuation) on the character at `at`.
    const QString text = lines_.line(at.line);
    const qsizetype c = std::min(at.col, len - 1);
    QTextBoundaryFinder f(QTextBoundaryFinder::Word, text);
    f.setPosition(c);
    const qsizetype start = f.isAtBoundary() ? c : f.toPreviousBoundary();
    f.setPosition(c);
    const qsizetype end = f.toNextBoundary();
    from->col = start < 0 ? 0 : start;
    to->col = end < 0 ? len : end;
}

LogPos LogMemo::moved(LogPos c, Move m)
{
    const qsizetype n = count();
    const qsizetype len = lines_.length(c.line);
    QTextLayout layout;
    laidout(c.line, layout);
    QTextLine row = layout.lineForTextPosition(int(c.col));
    if (!row.isValid())
        row = layout.lineAt(layout.lineCount() - 1);
    const bool vertical = m == Move::Up || m == Move::Down;
    if (vertical && goalx_ < 0)
        goalx_ = int(row.cursorToX(int(c.col)));
    switch (m) {
    case Move::Left:
        if (c.col > 0)
            return {c.line, layout.previousCursorPosition(int(c.col))};
        return c.line > 0 ? LogPos{c.line - 1, lines_.length(c.line - 1)} : c;
    case Move::Right:
        if (c.col < len)
            return {c.line, layout.nextCursorPosition(int(c.col))};
        return c.line + 1 < n ? LogPos{c.line + 1, 0} : c;
    case Move::WordLeft:
        if (c.col > 0)
            return {c.line, layout.previousCursorPosition(int(c.col), QTextLayout::SkipWords)};
        return c.line > 0 ? LogPos{c.line - 1, lines_.length(c.line - 1)} : c;
    case Move::WordRight:
        if (c.col < len)
            return {c.line, layout.nextCursorPosition(int(c.col), QTextLayout::SkipWords)};
        return c.line + 1 < n ? LogPos{c.line + 1, 0} : c;
    case Move::RowStart:
        return {c.line, row.textStart()};
    case Move::RowEnd: {
        // The end of a wrapped row is the start of the next: stay before the space it broke at.
        qsizetype e = row.textStart() + row.textLength();
        if (row.lineNumber() + 1 < layout.lineCount() && e > row.textStart() && layout.text().at(e - 1).isSpace())
            --e;
        return {c.line, e};
    }
    case Move::Up:
        if (row.lineNumber() > 0)
            return {c.line, layout.lineAt(row.lineNumber() - 1).xToCursor(goalx_)};
        if (c.line == 0)
            return {0, 0};
        {
            QTextLayout above;
            laidout(c.line - 1, above);
            return {c.line - 1, above.lineAt(above.lineCount() - 1).xToCursor(goalx_)};
        }
    case Move::Down:
        if (row.lineNumber() + 1 < layout.lineCount())
            return {c.line, layout.lineAt(row.lineNumber() + 1).xToCursor(goalx_)};
        if (c.line + 1 >= n)
            return endpos();
        {
            QTextLayout below;
            laidout(c.line + 1, below);
            return {c.line + 1, below.lineAt(0).xToCursor(goalx_)};
        }
    case Move::Start:
        return {0, 0};
    case Move::End:
        return endpos();
    case Move::PageUp:
    case Move::PageDown:
        break;
    }
    return c;
}

void LogMemo::ensurevisible(LogPos c)
{
    QScrollBar* bar = verticalScrollBar();
    const qsizetype top = topline();
    if (c.line < top) {
        bar->setValue(int(c.line));
        return;
    }
    const int h = viewport()->height() - 2 * Margin;
    const int w = textwidth();
    // No line is lower than the font's height, so a line further down than that many is out
    // of view without measuring the lines between.
    if (c.line - top <= h / qMax(1, QFontMetrics(font()).height())) {
        int used = 0;
        for (qsizetype i = top; i <= c.line; ++i)
            used += lineheight(i, w);
        if (used <= h)
            return;
    }
    // Brought into view as the last line.
    qsizetype t = c.line;
    int used = lineheight(t, w);
    while (t > 0) {
        const int lh = lineheight(t - 1, w);
        if (used + lh > h)
            break;
        used += lh;
        --t;
    }
    bar->setValue(int(qMin<qsizetype>(t, bar->maximum())));
}

void LogMemo::select(LogPos anchor, LogPos cursor)
{
    anchor_ = anchor;
    cursor_ = cursor;
    placed_ = true;
    viewport()->update();
}

QString LogMemo::selectedtext() const
{
    const LogPos a = std::min(anchor_, cursor_);
    const LogPos b = std::max(anchor_, cursor_);
    return lines_.text(a.line, a.col, b.line, b.col, codepage::linebreak());
}

void LogMemo::selectall()
{
    select({}, endpos());
}

void LogMemo::copy()
{
    if (hasselection())
        QGuiApplication::clipboard()->setText(selectedtext());
}

void LogMemo::setselectionclipboard() const
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasselection() && clipboard->supportsSelection())
        clipboard->setText(selectedtext(), QClipboard::Selection);
}

QMenu* LogMemo::createcontextmenu()
{
    auto* menu = new QMenu(this);
    QAction* copying = menu->addAction(QString::fromUtf8("Копировать"), this, &LogMemo::copy);
    copying->setShortcut(QKeySequence::Copy);
    copying->setEnabled(hasselection());
    menu->addSeparator();
    QAction* all = menu->addAction(QString::fromUtf8("Выделить всё"), this, &LogMemo::selectall);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(count() > 0);
    return menu;
}

void LogMemo::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = createcontextmenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

namespace {
bool iscopy(QKeyEvent* e)
{
    return e->matches(QKeySequence::Copy)
        || (e->key() == Qt::Key_Insert && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier);
}

struct KeyMove {
    QKeySequence::StandardKey key;
    int move;
};
} // namespace

bool LogMemo::event(QEvent* e)
{
    // The window's own shortcuts must not take the keys the log answers.
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (iscopy(k) || k->matches(QKeySequence::SelectAll)) {
            k->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(e);
}

void LogMemo::keyPressEvent(QKeyEvent* e)
{
    if (iscopy(e)) {
        copy();
        e->accept();
        return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
        selectall();
        e->accept();
        return;
    }
    static const KeyMove keys[] = {
        {QKeySequence::SelectPreviousChar, int(Move::Left)},
        {QKeySequence::SelectNextChar, int(Move::Right)},
        {QKeySequence::SelectPreviousWord, int(Move::WordLeft)},
        {QKeySequence::SelectNextWord, int(Move::WordRight)},
        {QKeySequence::SelectPreviousLine, int(Move::Up)},
        {QKeySequence::SelectNextLine, int(Move::Down)},
        {QKeySequence::SelectStartOfLine, int(Move::RowStart)},
        {QKeySequence::SelectEndOfLine, int(Move::RowEnd)},
        {QKeySequence::SelectStartOfDocument, int(Move::Start)},
        {QKeySequence::SelectEndOfDocument, int(Move::End)},
        {QKeySequence::SelectPreviousPage, int(Move::PageUp)},
        {QKeySequence::SelectNextPage, int(Move::PageDown)},
    };
    for (const KeyMove& k : keys) {
        if (!e->matches(k.key))
            continue;
        e->accept();
        if (count() == 0)
            return;
        if (!placed_) {
            // Nothing clicked yet: the selection starts at the top of what is in view.
            anchor_ = cursor_ = {topline(), 0};
            placed_ = true;
        }
        const Move m = Move(k.move);
        LogPos c = cursor_;
        if (m == Move::PageUp || m == Move::PageDown) {
            // A page of rows, and the view a page with it, as a text area does.
            const int rows = qMax(1, (viewport()->height() - 2 * Margin) / qMax(1, QFontMetrics(font()).height()));
            verticalScrollBar()->triggerAction(m == Move::PageUp ? QAbstractSlider::SliderPageStepSub
                                                                 : QAbstractSlider::SliderPageStepAdd);
            for (int r = 0; r < rows; ++r)
                c = moved(c, m == Move::PageUp ? Move::Up : Move::Down);
        } else {
            if (m != Move::Up && m != Move::Down)
                goalx_ = -1;
            c = moved(c, m);
        }
        cursor_ = c;
        ensurevisible(c);
        viewport()->update();
        return;
    }
    if (e->modifiers() == Qt::NoModifier && (e->key() == Qt::Key_Home || e->key() == Qt::Key_End)) {
        verticalScrollBar()->triggerAction(e->key() == Qt::Key_Home ? QAbstractSlider::SliderToMinimum
                                                                   : QAbstractSlider::SliderToMaximum);
        e->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

// A left press starts a selection by the mouse: the view holds still until the button is let go.
QPoint LogMemo::startdrag(QMouseEvent* e)
{
    e->accept();
    const QPoint p = e->position().toPoint();
    dragging_ = true;
    mouse_ = p;
    goalx_ = -1;
    return p;
}

void LogMemo::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    const QPoint p = startdrag(e);
    unit_ = Unit::Chars;
    if (count() == 0)
        return;
    const LogPos at = hit(p);
    if (doubleclicked_.isValid() && !doubleclicked_.hasExpired(QApplication::doubleClickInterval())
        && (p - doubleclickat_).manhattanLength() < QApplication::startDragDistance()) {
        // The third click of a triple click: the whole line.
        doubleclicked_.invalidate();
        unit_ = Unit::Lines;
        unitat(at, unit_, &unitfrom_, &unitto_);
        select(unitfrom_, unitto_);
        return;
    }
    if ((e->modifiers() & Qt::ShiftModifier) && placed_)
        select(anchor_, at);
    else
        select(at, at);
}

void LogMemo::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(e);
        return;
    }
    const QPoint p = startdrag(e);
    doubleclicked_.start();
    doubleclickat_ = p;
    if (count() == 0)
        return;
    unit_ = Unit::Words;
    unitat(hit(p, true), unit_, &unitfrom_, &unitto_);
    select(unitfrom_, unitto_);
}

void LogMemo::dragto(QPoint p)
{
    mouse_ = p;
    if (count() == 0)
        return;
    // Past the top or bottom edge the selection follows the view as it scrolls, along the
    // line at that edge.
    const LogPos at = hit(QPoint(p.x(), qBound(0, p.y(), viewport()->height() - 1)), unit_ == Unit::Words);
    if (unit_ == Unit::Chars) {
        select(anchor_, at);
        return;
    }
    LogPos from, to;
    unitat(at, unit_, &from, &to);
    if (from < unitfrom_)
        select(unitto_, from);
    else
        select(unitfrom_, std::max(to, unitto_));
}

void LogMemo::mouseMoveEvent(QMouseEvent* e)
{
    if (!dragging_) {
        QAbstractScrollArea::mouseMoveEvent(e);
        return;
    }
    e->accept();
    if (!(e->buttons() & Qt::LeftButton)) {
        enddrag(); // the release went elsewhere
        return;
    }
    const QPoint p = e->position().toPoint();
    dragto(p);
    if (p.y() < 0 || p.y() >= viewport()->height()) {
        if (!autoscroll_.isActive())
            autoscroll_.start(50, this);
    } else {
        autoscroll_.stop();
    }
}

void LogMemo::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !dragging_) {
        QAbstractScrollArea::mouseReleaseEvent(e);
        return;
    }
    e->accept();
    enddrag();
    setselectionclipboard();
}

void LogMemo::enddrag()
{
    dragging_ = false;
    autoscroll_.stop();
}

void LogMemo::focusOutEvent(QFocusEvent* e)
{
    // A box that took the focus in the middle of a drag also takes its release.
    if (e->reason() != Qt::PopupFocusReason)
        enddrag();
    QAbstractScrollArea::focusOutEvent(e);
}

void LogMemo::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != autoscroll_.timerId()) {
        QAbstractScrollArea::timerEvent(e);
        return;
    }
    if (!dragging_) {
        autoscroll_.stop();
        return;
    }
    // Faster the further the mouse is past the edge.
    const int fh = qMax(1, QFontMetrics(font()).height());
    const int past = mouse_.y() < 0 ? -mouse_.y() : mouse_.y() - viewport()->height() + 1;
    const int step = 1 + qMax(0, past) / (2 * fh);
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + (mouse_.y() < 0 ? -step : step));
    dragto(mouse_);
}
