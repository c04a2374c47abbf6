#pragma once
// The activity log as a list of lines, kept in one buffer so that a history of a million lines
// loads in a blink and takes little more memory than its text.
#include <QString>
#include <QStringView>

#include <vector>

class LogLines {
public:
    qsizetype count() const { return qsizetype(starts_.size()) - 1; }
    QStringView line(qsizetype i) const
    {
        return QStringView(text_).mid(starts_[size_t(i)], starts_[size_t(i) + 1] - starts_[size_t(i)]);
    }
    void add(QStringView line);
    void removelast();
    void clear();

    // Replaces the content with a text split at every CR LF, lone LF and lone CR.  A final line
    // break ends the last line; it does not start an empty one.
    void settext(QString text);

    // Size of the stored text in characters (no line breaks counted).
    qsizetype chars() const { return text_.size(); }

private:
    QString text_;                          // the lines, back to back
    std::vector<qsizetype> starts_ = {0};   // line i is text_[starts_[i] .. starts_[i+1])
};
