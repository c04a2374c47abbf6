#include "ui/loglines.h"

void LogLines::add(QStringView line)
{
    text_.append(line);
    starts_.push_back(text_.size());
}

void LogLines::removelast()
{
    if (count() == 0)
        return;
    starts_.pop_back();
    text_.truncate(starts_.back());
}

void LogLines::clear()
{
    text_.clear();
    starts_.assign(1, 0);
}

void LogLines::settext(QString text)
{
    clear();
    // Compacts the breaks out in place: the text only gets shorter, so no second copy is made.
    QChar* d = text.data();
    const qsizetype n = text.size();
    qsizetype w = 0;
    std::vector<qsizetype> starts;
    starts.reserve(size_t(n / 32) + 2);
    starts.push_back(0);
    for (qsizetype r = 0; r < n; ++r) {
        const QChar c = d[r];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && r + 1 < n && d[r + 1] == QLatin1Char('\n'))
                ++r;
            starts.push_back(w);
            continue;
        }
        d[w++] = c;
    }
    if (w > starts.back())
        starts.push_back(w); // a last line without a break
    text.truncate(w);
    text.squeeze();
    text_ = std::move(text);
    starts_ = std::move(starts);
}
