#include "ui/memo.h"

#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <limits>

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
    updaterange();
    viewport()->update();
}

void LogMemo::clear()
{
    lines_.clear();
    updaterange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void LogMemo::settext(QString text)
{
    lines_.settext(std::move(text));
    updaterange();
    viewport()->update();
}

void LogMemo::setlines(LogLines lines)
{
    lines_ = std::move(lines);
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
    int y = Margin;
    for (qsizetype i = topline(); i < lines_.count() && y < h; ++i) {
        const QString s = lines_.line(i);
        if (!s.contains(QLatin1Char('\n')) && fm.horizontalAdvance(s) <= w) {
            p.drawText(Margin, y + fm.ascent(), s);
            y += fm.height();
            continue;
        }
        QTextLayout layout(displaytext(s), font());
        const int lh = layoutline(layout, w, 0);
        layout.draw(&p, QPointF(Margin, y));
        y += lh;
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
