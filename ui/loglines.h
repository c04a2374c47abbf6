#pragma once
// The activity log as a list of lines.  While every character has a byte in the 8-bit code page
// the lines are kept as the file holds them: one byte a character, every line ended by CR LF,
// so that saving is a write.  A history loaded from such a file stays in the file: loading reads
// it once to find its line breaks, and a line is read back from the file when it is shown, so a
// history of a million lines costs start-up one pass over its bytes and the tool next to no
// memory.
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <vector>

class QFile;

class LogLines {
public:
    LogLines();

    qsizetype count() const { return kept_ + qsizetype(starts_.size()) - 1; }
    QString line(qsizetype i) const;
    // The characters of line i.  A history line is read back from its file (a block at a time).
    qsizetype length(qsizetype i) const
    {
        return i < kept_ ? line(i).size() : end(i - kept_) - starts_[size_t(i - kept_)];
    }
    // The text from column `fromcol` of line `from` to column `tocol` of line `to`, the lines
    // joined by `brk`: one pass in line order, however many lines it spans.
    QString text(qsizetype from, qsizetype fromcol, qsizetype to, qsizetype tocol, QStringView brk) const;
    void add(QStringView line);
    void removelast();
    void clear();

    // Replaces the content with a text split at every CR LF, lone LF and lone CR.  A final line
    // break ends the last line; it does not start an empty one.
    void settext(QString text);
    // The same for the bytes of a file in the 8-bit code page.
    void setbytes(QByteArray bytes);
    // The same for an open file in the 8-bit code page, from its start.  The lines stay in the
    // file, which must not change while the log holds it; the log keeps it open.  On a read
    // error returns false with the system's reason in *error, the log left empty.
    bool setfile(std::unique_ptr<QFile> file, QString* error);

    // One byte a character (in the code page), or UTF-16.
    bool narrow() const { return !wide_; }

    // Hands the lines to `sink` as bytes of the 8-bit code page, every line ended by CR LF, in
    // pieces; a character the page has no byte for becomes '?'.  A history still in its file
    // is read from it: the part that changes form (line breaks other than CR LF) first, the
    // rest only after, so the sink may write over the very file at the same places.  Stops
    // when `sink` returns false; returns false, with the system's reason in *error, when the
    // history could not be read back.
    bool writebytes(const std::function<bool(QByteArrayView)>& sink, QString* error) const;

    // Sets the size of the pieces a file is read in and returns the one before (for tests,
    // which cut a file at every place).
    static qsizetype setpiece(qsizetype bytes);

private:
    struct History;
    std::shared_ptr<const History> history_; // lines [0, kept_) are lines of this file
    qsizetype kept_ = 0;
    // The lines added after the history.
    bool wide_ = false;
    QByteArray bytes_;                      // narrow: each line followed by CR LF
    QString text_;                          // wide: the lines back to back, no breaks
    std::vector<qsizetype> starts_ = {0};   // added line i starts at starts_[i]; the next one ends it
    qsizetype end(qsizetype i) const { return starts_[size_t(i) + 1] - (wide_ ? 0 : 2); }
    QString added(qsizetype i) const;
    void widen();
};
