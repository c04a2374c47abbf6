#include "ui/loglines.h"
#include "ui/codepage.h"

#include <algorithm>
#include <cstring>

LogLines::LogLines() : wide_(!codepage::singlebyte()) {}

QString LogLines::line(qsizetype i) const
{
    if (wide_)
        return charsof(i).toString();
    const qsizetype from = starts_[size_t(i)];
    QString s(end(i) - from, Qt::Uninitialized);
    codepage::tochars(reinterpret_cast<const unsigned char*>(bytes_.constData()) + from, s.size(),
                      reinterpret_cast<char16_t*>(s.data()));
    return s;
}

QString LogLines::text(qsizetype from, qsizetype fromcol, qsizetype to, qsizetype tocol, QStringView brk) const
{
    if (from > to || (from == to && fromcol >= tocol))
        return QString();
    const qsizetype first = starts_[size_t(from)] + fromcol;
    const qsizetype last = starts_[size_t(to)] + tocol;
    const qsizetype gap = wide_ ? 0 : 2; // the CR LF kept after each narrow line
    QString out(last - first - (to - from) * (gap - brk.size()), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    const char16_t* b = brk.utf16();
    for (qsizetype i = from; i <= to; ++i) {
        const qsizetype s = i == from ? first : starts_[size_t(i)];
        const qsizetype e = i == to ? last : end(i);
        if (wide_) {
            std::memcpy(d, text_.constData() + s, size_t(e - s) * sizeof(char16_t));
            d += e - s;
        } else {
            codepage::tochars(reinterpret_cast<const unsigned char*>(bytes_.constData()) + s, e - s, d);
            d += e - s;
        }
        if (i < to)
            for (qsizetype k = 0; k < brk.size(); ++k)
                *d++ = b[k];
    }
    Q_ASSERT(d == reinterpret_cast<char16_t*>(out.data()) + out.size());
    return out;
}

void LogLines::widen()
{
    QString t;
    t.reserve(bytes_.size());
    std::vector<qsizetype> starts;
    starts.reserve(starts_.size());
    starts.push_back(0);
    for (qsizetype i = 0; i < count(); ++i) {
        t.append(line(i));
        starts.push_back(t.size());
    }
    text_ = std::move(t);
    starts_ = std::move(starts);
    bytes_ = QByteArray();
    wide_ = true;
    low_ = 0; // the bytes of every line changed form
}

void LogLines::add(QStringView line)
{
    if (!wide_) {
        const qsizetype at = bytes_.size();
        bytes_.resize(at + line.size() + 2);
        char* o = bytes_.data() + at;
        bool fits = true;
        for (qsizetype k = 0; k < line.size() && fits; ++k) {
            unsigned char b;
            fits = codepage::tobyte(line[k].unicode(), &b);
            o[k] = char(b);
        }
        if (fits) {
            o[line.size()] = '\r';
            o[line.size() + 1] = '\n';
            starts_.push_back(bytes_.size());
            return;
        }
        // A character outside the code page: from now on the log is kept in UTF-16.
        bytes_.truncate(at);
        widen();
    }
    text_.append(line);
    starts_.push_back(text_.size());
}

void LogLines::removelast()
{
    if (count() == 0)
        return;
    starts_.pop_back();
    low_ = std::min(low_, count());
    if (wide_)
        text_.truncate(starts_.back());
    else
        bytes_.truncate(starts_.back());
}

void LogLines::clear()
{
    text_.clear();
    bytes_.clear();
    starts_.assign(1, 0);
    low_ = 0;
    wide_ = !codepage::singlebyte();
}

namespace {
// Removes the line breaks in place (the text only gets shorter) and returns the line starts.
template <typename Ch>
std::vector<qsizetype> split(Ch* d, qsizetype n, qsizetype* length)
{
    std::vector<qsizetype> starts;
    starts.reserve(size_t(n / 32) + 2);
    starts.push_back(0);
    qsizetype w = 0;
    for (qsizetype r = 0; r < n; ++r) {
        const Ch c = d[r];
        if (c == Ch('\r') || c == Ch('\n')) {
            if (c == Ch('\r') && r + 1 < n && d[r + 1] == Ch('\n'))
                ++r;
            starts.push_back(w);
            continue;
        }
        d[w++] = c;
    }
    if (w > starts.back())
        starts.push_back(w); // a last line without a break
    *length = w;
    return starts;
}
} // namespace

void LogLines::settext(QString text)
{
    clear();
    qsizetype n = 0;
    starts_ = split(reinterpret_cast<char16_t*>(text.data()), text.size(), &n);
    text.truncate(n);
    text_ = std::move(text);
    bytes_ = QByteArray();
    wide_ = true;
}

void LogLines::setbytes(QByteArray bytes)
{
    if (!codepage::singlebyte()) {
        settext(codepage::decoder().decode(bytes));
        return;
    }
    clear();
    // One pass finds the lines.  A file written by this tool has CR LF everywhere and is taken
    // as it is; other breaks (a lone LF or CR, a last line without one) become CR LF, moving
    // only the lines after the first such break, from the end backwards, in the same buffer.
    const qsizetype n = bytes.size();
    const char* s = bytes.constData();
    std::vector<qsizetype> starts;
    starts.reserve(size_t(n / 32) + 2);
    struct Move {
        qsizetype line, from, length;
    };
    std::vector<Move> moves;
    qsizetype shift = 0;
    qsizetype pos = 0;
    while (pos < n) {
        const void* nl = std::memchr(s + pos, '\n', size_t(n - pos));
        const qsizetype lf = nl ? static_cast<const char*>(nl) - s : n;
        const void* cr = std::memchr(s + pos, '\r', size_t(lf - pos));
        qsizetype stop, brk;
        if (cr) {
            stop = static_cast<const char*>(cr) - s;
            brk = (stop + 1 < n && s[stop + 1] == '\n') ? 2 : 1;
        } else if (nl) {
            stop = lf;
            brk = 1;
        } else {
            stop = n;
            brk = 0;
        }
        const qsizetype line = qsizetype(starts.size());
        starts.push_back(pos + shift);
        if (shift != 0 || brk != 2)
            moves.push_back({line, pos, stop - pos});
        shift += 2 - brk;
        pos = stop + brk;
    }
    starts.push_back(n + shift);
    if (shift != 0) {
        bytes.resize(n + shift);
        char* d = bytes.data();
        for (auto m = moves.rbegin(); m != moves.rend(); ++m) {
            const qsizetype to = starts[size_t(m->line)];
            std::memmove(d + to, d + m->from, size_t(m->length));
            d[to + m->length] = '\r';
            d[to + m->length + 1] = '\n';
        }
    }
    bytes_ = std::move(bytes);
    starts_ = std::move(starts);
}
