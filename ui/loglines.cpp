#include "ui/loglines.h"
#include "ui/codepage.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

qsizetype piece = 256 * 1024; // small enough to stay in the cache while its breaks are found
constexpr qsizetype Block = 64; // lines of the history between two of its marks

// Finds the line breaks in s[0, n): calls found(stop, length) for each, in order, where `stop`
// is where the line ends and `length` is 2 for CR LF and 1 for a lone LF or CR.  With `more`
// (the bytes go on after n), a CR in the last byte cannot be told yet: scanning stops before it.
// Returns where scanning stopped.
template <typename Found>
qsizetype scanbreaks(const char* s, qsizetype n, bool more, Found&& found)
{
    qsizetype pos = 0;
    while (pos < n) {
        const void* nl = std::memchr(s + pos, '\n', size_t(n - pos));
        const qsizetype lf = nl ? static_cast<const char*>(nl) - s : n;
        const void* cr = std::memchr(s + pos, '\r', size_t(lf - pos));
        qsizetype stop, length;
        if (cr) {
            stop = static_cast<const char*>(cr) - s;
            if (stop + 1 < n)
                length = s[stop + 1] == '\n' ? 2 : 1;
            else if (more)
                return stop;
            else
                length = 1;
        } else if (nl) {
            stop = lf;
            length = 1;
        } else {
            return n;
        }
        found(stop, length);
        pos = stop + length;
    }
    return n;
}

QString frombytes(const char* s, qsizetype n)
{
    QString out(n, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype k = 0; k < n; ++k)
        d[k] = codepage::tochar(static_cast<unsigned char>(s[k]));
    return out;
}

} // namespace

// The history as found in its file at loading.  Every Block-th line start is marked; a line is
// read with the block of lines it belongs to, and the last block read is kept, so that showing
// or walking through the lines in order reads each block once.
struct LogLines::History {
    std::unique_ptr<QFile> file;
    qint64 size = 0;           // the bytes the lines were found in
    qsizetype lines = 0;
    qint64 clean = 0;          // bytes [0, clean) are whole lines, each ended by CR LF
    std::vector<qint64> marks; // marks[b]: where line b * Block starts

    mutable qsizetype block = -1;
    mutable QByteArray bytes;                                  // the block's bytes
    mutable std::vector<std::pair<qsizetype, qsizetype>> spans; // its lines: start, end in bytes

    bool read(qint64 at, char* to, qint64 n) const
    {
        if (!file->seek(at))
            return false;
        while (n > 0) {
            const qint64 got = file->read(to, n);
            if (got <= 0)
                return false;
            to += got;
            n -= got;
        }
        return true;
    }

    bool load(qsizetype b) const
    {
        if (block == b)
            return true;
        block = -1;
        spans.clear();
        const qint64 from = marks[size_t(b)];
        const qint64 to = size_t(b) + 1 < marks.size() ? marks[size_t(b) + 1] : size;
        bytes.resize(to - from);
        if (!read(from, bytes.data(), bytes.size()))
            return false;
        qsizetype start = 0;
        scanbreaks(bytes.constData(), bytes.size(), false, [&](qsizetype stop, qsizetype length) {
            spans.emplace_back(start, stop);
            start = stop + length;
        });
        if (start < bytes.size())
            spans.emplace_back(start, bytes.size());
        block = b;
        return true;
    }

    // Line i; empty when the file can no longer be read.
    QString line(qsizetype i) const
    {
        if (!load(i / Block) || size_t(i % Block) >= spans.size())
            return QString();
        const auto [from, to] = spans[size_t(i % Block)];
        return frombytes(bytes.constData() + from, to - from);
    }

    // Where line i starts in the file, -1 when it can no longer be read.
    qint64 start(qsizetype i) const
    {
        if (i >= lines)
            return size;
        if (!load(i / Block) || size_t(i % Block) >= spans.size())
            return -1;
        return marks[size_t(i / Block)] + spans[size_t(i % Block)].first;
    }
};

qsizetype LogLines::setpiece(qsizetype bytes)
{
    return std::exchange(piece, std::max<qsizetype>(1, bytes));
}

LogLines::LogLines() : wide_(!codepage::singlebyte()) {}

QString LogLines::line(qsizetype i) const
{
    if (i < kept_)
        return history_->line(i);
    return added(i - kept_);
}

QString LogLines::added(qsizetype i) const
{
    if (wide_)
        return QStringView(text_).mid(starts_[size_t(i)], starts_[size_t(i) + 1] - starts_[size_t(i)]).toString();
    const qsizetype from = starts_[size_t(i)];
    return frombytes(bytes_.constData() + from, end(i) - from);
}

QString LogLines::text(qsizetype from, qsizetype fromcol, qsizetype to, qsizetype tocol, QStringView brk) const
{
    if (from > to || (from == to && fromcol >= tocol))
        return QString();
    // Line by line: the history's lines come back from its file a block at a time, in order.
    QString out;
    for (qsizetype i = from; i <= to; ++i) {
        const QString l = line(i);
        const qsizetype s = i == from ? fromcol : 0;
        const qsizetype e = i == to ? std::min(tocol, l.size()) : l.size();
        out.append(QStringView(l).mid(s, std::max<qsizetype>(0, e - s)));
        if (i < to)
            out.append(brk);
    }
    return out;
}

void LogLines::widen()
{
    QString t;
    t.reserve(bytes_.size());
    std::vector<qsizetype> starts;
    starts.reserve(starts_.size());
    starts.push_back(0);
    for (qsizetype i = 0; i + 1 < qsizetype(starts_.size()); ++i) {
        t.append(added(i));
        starts.push_back(t.size());
    }
    text_ = std::move(t);
    starts_ = std::move(starts);
    bytes_ = QByteArray();
    wide_ = true;
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
        // A character outside the code page: from now on the added lines are kept in UTF-16.
        bytes_.truncate(at);
        widen();
    }
    text_.append(line);
    starts_.push_back(text_.size());
}

void LogLines::removelast()
{
    if (starts_.size() > 1) {
        starts_.pop_back();
        if (wide_)
            text_.truncate(starts_.back());
        else
            bytes_.truncate(starts_.back());
    } else if (kept_ > 0) {
        --kept_;
    }
}

void LogLines::clear()
{
    history_.reset();
    kept_ = 0;
    text_.clear();
    bytes_.clear();
    starts_.assign(1, 0);
    wide_ = !codepage::singlebyte();
}

bool LogLines::setfile(std::unique_ptr<QFile> file, QString* error)
{
    clear();
    auto h = std::make_shared<History>();
    h->marks.push_back(0);
    // One pass over the file finds the line breaks, through one small buffer: the bytes are
    // not kept.
    std::vector<char> buf(size_t(piece) + 1);
    qint64 base = 0;      // where buf[0] stands in the file
    qsizetype have = 0;   // bytes in buf: a CR left over from the last piece, then the new ones
    qint64 linestart = 0;
    qint64 clean = -1;
    qsizetype lines = 0;
    if (!file->seek(0)) {
        if (error)
            *error = file->errorString();
        return false;
    }
    for (;;) {
        const qint64 got = file->read(buf.data() + have, piece);
        if (got < 0) {
            if (error)
                *error = file->errorString();
            return false;
        }
        have += qsizetype(got);
        const bool more = got > 0;
        const qsizetype done = scanbreaks(buf.data(), have, more, [&](qsizetype stop, qsizetype length) {
            if (length != 2 && clean < 0)
                clean = linestart;
            ++lines;
            linestart = base + stop + length;
            if (lines % Block == 0)
                h->marks.push_back(linestart);
        });
        if (!more)
            break;
        if (done < have)
            buf[0] = buf[size_t(done)]; // the CR whose next byte is still to come
        base += done;
        have -= done;
    }
    h->size = base + have;
    if (linestart < h->size) { // a last line without a break
        if (clean < 0)
            clean = linestart;
        ++lines;
    }
    h->clean = clean < 0 ? h->size : clean;
    h->lines = lines;
    h->file = std::move(file);
    history_ = std::move(h);
    kept_ = lines;
    return true;
}

bool LogLines::writebytes(const std::function<bool(QByteArrayView)>& sink, QString* error) const
{
    if (kept_ > 0) {
        const History& h = *history_;
        const qint64 end = h.start(kept_);
        if (end < 0) {
            if (error)
                *error = h.file->errorString();
            return false;
        }
        const qint64 clean = std::min(h.clean, end);
        // The lines whose breaks change form are read first: the sink may be writing over this
        // very file, where everything after the first changed break moves.
        QByteArray tail(end - clean, Qt::Uninitialized);
        if (!h.read(clean, tail.data(), tail.size())) {
            if (error)
                *error = h.file->errorString();
            return false;
        }
        std::vector<char> buf(size_t(std::min<qint64>(piece, std::max<qint64>(clean, 1))));
        for (qint64 at = 0; at < clean;) {
            const qint64 n = std::min<qint64>(qint64(buf.size()), clean - at);
            if (!h.read(at, buf.data(), n)) {
                if (error)
                    *error = h.file->errorString();
                return false;
            }
            if (!sink(QByteArrayView(buf.data(), n)))
                return false;
            at += n;
        }
        if (!tail.isEmpty()) {
            LogLines t;
            t.setbytes(std::move(tail));
            if (!sink(QByteArrayView(t.bytes_)))
                return false;
        }
    }
    if (!wide_)
        return bytes_.isEmpty() || sink(QByteArrayView(bytes_));
    QByteArray out;
    out.reserve(std::min<qsizetype>(piece, text_.size() + 2 * qsizetype(starts_.size())) + 4096);
    for (qsizetype i = 0; i + 1 < qsizetype(starts_.size()); ++i) {
        const QStringView l = QStringView(text_).mid(starts_[size_t(i)], starts_[size_t(i) + 1] - starts_[size_t(i)]);
        const qsizetype at = out.size();
        out.resize(at + l.size() + 2);
        char* o = out.data() + at;
        for (QChar c : l) {
            unsigned char b;
            codepage::tobyte(c.unicode(), &b); // '?' where the page has no byte for it
            *o++ = char(b);
        }
        *o++ = '\r';
        *o++ = '\n';
        if (out.size() >= piece) {
            if (!sink(QByteArrayView(out)))
                return false;
            out.resize(0);
        }
    }
    return out.isEmpty() || sink(QByteArrayView(out));
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
        settext(codepage::decode(bytes));
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
