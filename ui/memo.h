#pragma once
// The activity log's text area: read-only, a vertical scroll bar, long lines wrapped at its
// width.  It scrolls by whole log lines and lays out only the lines in view, so a history of a
// million lines costs no more to show or to extend than an empty one.
#include "ui/loglines.h"

#include <QAbstractScrollArea>

class LogMemo : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogMemo(QWidget* parent = nullptr);

    const LogLines& lines() const { return lines_; }
    LogLines& mutablelines() { return lines_; }
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
    void scrolltoend();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool viewportEvent(QEvent* e) override;

private:
    LogLines lines_;
    int lineheight(qsizetype i, int width) const;
    int textwidth() const;
    void updaterange();
};
