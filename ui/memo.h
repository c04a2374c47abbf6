#pragma once
// The activity log's text area: read-only, a vertical scroll bar, long lines wrapped at its
// width.  It scrolls by whole log lines and lays out only the lines in view, so a history of a
// million lines costs no more to show or to extend than an empty one.
//
// Its text can be selected and copied as in any read-only text area: with the mouse (drag,
// Shift+click, double-click for a word, triple-click for a line), with Shift and the cursor
// keys, Ctrl+A; Ctrl+C, Ctrl+Insert and the context menu copy.  A place in the text is a log
// line and a character offset in it, so a selection costs nothing to keep while lines arrive.
#include "ui/loglines.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>

class QMenu;
class QTextLayout;

// A place between two characters of the log: line `line`, before character `col`.
struct LogPos {
    qsizetype line = 0;
    qsizetype col = 0;
    friend bool operator==(LogPos a, LogPos b) { return a.line == b.line && a.col == b.col; }
    friend bool operator!=(LogPos a, LogPos b) { return !(a == b); }
    friend bool operator<(LogPos a, LogPos b) { return a.line < b.line || (a.line == b.line && a.col < b.col); }
};

class LogMemo : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogMemo(QWidget* parent = nullptr);

    const LogLines& lines() const { return lines_; }
    qsizetype count() const { return lines_.count(); }
    QString line(qsizetype i) const { return lines_.line(i); }

    // Appends a line and brings the end of the log into view.
    void add(const QString& line);
    void removelast();
    void clear();
    // Replaces the content (as loaded from the file); the view stays where it was.
    void settext(QString text);
    void setlines(LogLines lines);

    // The first line in view.
    qsizetype topline() const;
    // Brings the last line into view, unless the operator is holding a mouse button on the log
    // (selecting, or dragging the scroll bar): the view then stays where the operator has it.
    void scrolltoend();

    bool hasselection() const { return anchor_ != cursor_; }
    // The selected text, its lines joined by the system's line break.
    QString selectedtext() const;
    void selectall();
    void copy();
    // The menu of a right click: "Копировать" and "Выделить всё".
    QMenu* createcontextmenu();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool viewportEvent(QEvent* e) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    enum class Move { Left, Right, WordLeft, WordRight, Up, Down, RowStart, RowEnd, Start, End, PageUp, PageDown };

    LogLines lines_;
    // The selection runs from the anchor to the cursor; empty when they meet.  The cursor is
    // not drawn: it is where a Shift+key or Shift+click extends the selection from.
    LogPos anchor_, cursor_;
    bool placed_ = false;      // the cursor has been put somewhere by the operator
    int goalx_ = -1;           // the column a run of Up/Down keys keeps to, in pixels
    bool dragging_ = false;    // the left button went down on the text and is still held
    // What a drag extends by: characters, or the words or lines of a double or triple click.
    enum class Unit { Chars, Words, Lines } unit_ = Unit::Chars;
    LogPos unitfrom_, unitto_; // the word or line first clicked
    QPoint mouse_;             // where the drag is, in the viewport
    QBasicTimer autoscroll_;
    QElapsedTimer doubleclicked_;
    QPoint doubleclickat_;

    int lineheight(qsizetype i, int width) const;
    int textwidth() const;
    void updaterange();
    int laidout(qsizetype i, QTextLayout& layout) const;
    LogPos hit(QPoint p, bool onchar = false) const;
    LogPos moved(LogPos c, Move m);
    void ensurevisible(LogPos c);
    void select(LogPos anchor, LogPos cursor);
    QPoint startdrag(QMouseEvent* e);
    void dragto(QPoint p);
    void enddrag();
    LogPos endpos() const;
    void unitat(LogPos at, Unit unit, LogPos* from, LogPos* to) const;
    void setselectionclipboard() const;
};
