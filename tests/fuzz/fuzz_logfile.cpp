// Loading "log.txt": any bytes at all give lines, and load, save, load gives the same lines in
// the same encoding, after which saving changes nothing any more.  The lines are also checked
// against a plain reading of the file's text (its mark decides the encoding; every CR LF, lone
// LF and lone CR is one line break; a final break does not start an empty line), which the
// line store's in-place splitting of the 8-bit file must agree with.  Finally the loaded lines
// are saved in another encoding, as a log moved between systems would be.  The same bytes loaded
// from a file (where a history without a mark stays, read in small pieces cut anywhere) give the
// same lines, and saving over that file writes what the save of the whole text writes.
#include "ui/logfile.h"
#include "ui/loglines.h"
#include "ui/codepage.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QStringList all(const LogLines& l)
{
    QStringList out;
    for (qsizetype i = 0; i < l.count(); ++i)
        out << l.line(i);
    return out;
}

QStringList reference(const QString& text)
{
    QStringList out;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out << line;
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.isEmpty())
        out << line;
    return out;
}

// The file's text.  The code page's converter is made once: making one is far slower than
// a whole run of the load.
QString text(const QByteArray& in)
{
    if (detectencoding(in) != LogEncoding::Ansi)
        return decodelog(in);
    static QStringDecoder page("windows-1251");
    page.resetState();
    return page.decode(in);
}

void dump(const char* name, const QByteArray& b)
{
    std::fprintf(stderr, "  %s (%lld bytes):", name, static_cast<long long>(b.size()));
    for (qsizetype i = 0; i < b.size() && i < 256; ++i)
        std::fprintf(stderr, " %02X", unsigned(quint8(b[i])));
    std::fprintf(stderr, "%s\n", b.size() > 256 ? " ..." : "");
}

[[noreturn]] void fail(const char* what, const QByteArray& in, const QByteArray& out = {})
{
    std::fprintf(stderr, "log file: %s\n", what);
    dump("input", in);
    if (!out.isEmpty())
        dump("saved", out);
    std::abort();
}

// Can every character of the lines be saved in the encoding and read back unchanged?
bool representable(const QStringList& lines, LogEncoding e)
{
    for (const QString& l : lines) {
        if (e == LogEncoding::Ansi) {
            for (QChar c : l) {
                unsigned char b;
                if (!codepage::tobyte(c.unicode(), &b))
                    return false;
            }
        } else if (!QStringView(l).isValidUtf16()) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));

    LogEncoding e1;
    LogLines first;
    decodelines(in, first, &e1);
    const QStringList lines = all(first);
    if (lines != reference(text(in)))
        fail("the lines differ from the file's text split at its breaks", in);

    // Load, save, load.
    const QByteArray saved = encodelog(first, e1);
    LogEncoding e2;
    LogLines second;
    decodelines(saved, second, &e2);
    if (e2 != e1)
        fail("the saved file reads in another encoding", in, saved);
    if (all(second) != lines)
        fail("the saved file reads as other lines", in, saved);
    if (encodelog(second, e2) != saved)
        fail("saving again changed the file", in, saved);

    // Through a file.
    {
        static QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(in) != in.size())
                fail("cannot write the scratch file", in);
        }
        LogLines::setpiece(qsizetype(1 + size % 13));
        LogLines fromfile;
        LogEncoding ef;
        QString error;
        if (!loadlog(path, fromfile, ef, &error) || ef != e1)
            fail("the file does not load as its bytes do", in);
        if (all(fromfile) != lines)
            fail("the file reads as other lines than its bytes", in);
        if (!savelog(path, fromfile, ef, &error))
            fail("the file cannot be saved over", in);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.readAll() != saved)
            fail("saving over the file writes other bytes than saving its text", in, saved);
    }

    // The same lines saved in another encoding (one a run, chosen by the input's length: every
    // save reserves a large buffer, which costs the instrumented build dearly): as many lines
    // come back, the same ones where the encoding holds every character, and saving what came
    // back changes nothing.  A file without a mark cannot begin with the bytes of one ("п»ї",
    // "яю", "юя" in the code page): such a first line reads as a marked file, as any would.
    const LogEncoding e = LogEncoding(size % 4);
    const QByteArray moved = encodelog(first, e);
    if (!(e == LogEncoding::Ansi && detectencoding(moved) != LogEncoding::Ansi)) {
        LogEncoding back;
        LogLines third;
        decodelines(moved, third, &back);
        const QStringList got = all(third);
        if (back != e)
            fail("a log saved in another encoding reads in yet another", in, moved);
        if (got.size() != lines.size())
            fail("a log saved in another encoding has another number of lines", in, moved);
        if (representable(lines, e) && got != lines)
            fail("a log saved in another encoding reads as other lines", in, moved);
        if (encodelog(third, e) != moved)
            fail("a log saved in another encoding changes when saved again", in, moved);
    }
    return 0;
}
