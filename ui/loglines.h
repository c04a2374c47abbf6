#pragma once
// The activity log as a list of lines, kept in one buffer so that a history of a million lines
// loads in a blink and takes little more memory than its file.  While every character has a
// byte in the 8-bit code page the lines are kept exactly as the file holds them: one byte a
// character, every line ended by CR LF, so that loading is a read and saving a write.
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

class LogLines {
public:
    LogLines();

    qsizetype count() const { return qsizetype(starts_.size()) - 1; }
    QString line(qsizetype i) const;
    qsizetype length(qsizetype i) const { return end(i) - starts_[size_t(i)]; }
    // The text from column `fromcol` of line `from` to column `tocol` of line `to`, the lines
    // joined by `brk`: one pass and one allocation, however many lines it spans.
    QString text(qsizetype from, qsizetype fromcol, qsizetype to, qsizetype tocol, QStringView brk) const;
    void add(QStringView line);
    void removelast();
    void clear();

    // Replaces the content with a text split at every CR LF, lone LF and lone CR.  A final line
    // break ends the last line; it does not start an empty one.
    void settext(QString text);
    // The same for the bytes of a file in the 8-bit code page.
    void setbytes(QByteArray bytes);

    // One byte a character (in the code page), or UTF-16.
    bool narrow() const { return !wide_; }
    // Narrow: the lines as the file holds them, each ended by CR LF.
    QByteArrayView rawbytes() const { return QByteArrayView(bytes_); }
    // Narrow: the bytes of lines [from, count) as the file holds them.
    QByteArrayView rawbytesfrom(qsizetype from) const
    {
        const qsizetype at = starts_[size_t(from)];
        return QByteArrayView(bytes_.constData() + at, bytes_.size() - at);
    }
    // Narrow: the lines as they are now, sharing the buffer until either side changes.
    QByteArray rawsnapshot() const { return bytes_; }

    // The fewest lines the log has held since mark(): lines below it are unchanged since.
    void mark() { low_ = count(); }
    qsizetype lowest() const { return low_; }

    // Wide: line i.
    QStringView charsof(qsizetype i) const
    {
        return QStringView(text_).mid(starts_[size_t(i)], starts_[size_t(i) + 1] - starts_[size_t(i)]);
    }

private:
    bool wide_ = false;
    QByteArray bytes_;                      // narrow: each line followed by CR LF
    QString text_;                          // wide: the lines back to back, no breaks
    std::vector<qsizetype> starts_ = {0};   // line i starts at starts_[i]; the next one ends it
    qsizetype low_ = 0;
    qsizetype end(qsizetype i) const { return starts_[size_t(i) + 1] - (wide_ ? 0 : 2); }
    void widen();
};
