#include "ui/logfile.h"
#include "ui/codepage.h"
#include "ui/loglines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <atomic>
#include <memory>
#include <thread>

namespace {

QString fullpath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QByteArray mark(LogEncoding e)
{
    switch (e) {
    case LogEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF");
    case LogEncoding::Utf16LE:
        return QByteArray("\xFF\xFE");
    case LogEncoding::Utf16BE:
        return QByteArray("\xFE\xFF");
    case LogEncoding::Ansi:
        break;
    }
    return {};
}

QStringEncoder encoder(LogEncoding e)
{
    switch (e) {
    case LogEncoding::Utf8:
        return QStringEncoder(QStringConverter::Utf8);
    case LogEncoding::Utf16LE:
        return QStringEncoder(QStringConverter::Utf16LE);
    case LogEncoding::Utf16BE:
        return QStringEncoder(QStringConverter::Utf16BE);
    case LogEncoding::Ansi:
        break;
    }
    return codepage::encoder();
}

constexpr qsizetype Piece = 1 << 20;

// Encodes the lines, every one ended by CR LF, in pieces of about a megabyte handed to `sink`.
// The mark goes first, even for an empty log.
template <typename Sink>
void encodeinto(const LogLines& lines, LogEncoding encoding, Sink&& sink)
{
    if (!mark(encoding).isEmpty())
        sink(QByteArrayView(mark(encoding)));
    QByteArray piece;
    piece.reserve(Piece + 4096);
    auto flush = [&](bool last) {
        if (piece.size() >= Piece || (last && !piece.isEmpty())) {
            sink(QByteArrayView(piece));
            piece.resize(0);
        }
    };
    if (encoding == LogEncoding::Ansi && lines.narrow()) {
        // Kept as the file holds it: the bytes go out as they are, in one write.
        sink(lines.rawbytes());
        return;
    }
    if (encoding == LogEncoding::Ansi && codepage::singlebyte()) {
        for (qsizetype i = 0; i < lines.count(); ++i) {
            const QStringView l = lines.charsof(i);
            const qsizetype at = piece.size();
            piece.resize(at + l.size());
            char* o = piece.data() + at;
            for (QChar c : l) {
                unsigned char b;
                codepage::tobyte(c.unicode(), &b); // '?' where the page has no byte for it
                *o++ = char(b);
            }
            piece.append("\r\n", 2);
            flush(false);
        }
        flush(true);
        return;
    }
    QStringEncoder enc = encoder(encoding);
    static const QString crlf = QStringLiteral("\r\n");
    QString chunk;
    for (qsizetype i = 0; i < lines.count(); ++i) {
        chunk.append(lines.line(i));
        chunk.append(crlf);
        if (chunk.size() >= Piece / 2) {
            sink(QByteArrayView(QByteArray(enc.encode(chunk))));
            chunk.clear();
        }
    }
    if (!chunk.isEmpty())
        sink(QByteArrayView(QByteArray(enc.encode(chunk))));
}

} // namespace

QString cannotopen(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(fullpath(path), reason);
}

QString cannotcreate(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(fullpath(path), reason);
}

LogEncoding detectencoding(const QByteArray& b, int* marklength)
{
    auto at = [&](int i) { return quint8(b.at(i)); };
    LogEncoding e = LogEncoding::Ansi;
    int n = 0;
    if (b.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        e = LogEncoding::Utf8;
        n = 3;
    } else if (b.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
        e = LogEncoding::Utf16LE;
        n = 2;
    } else if (b.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
        e = LogEncoding::Utf16BE;
        n = 2;
    }
    if (marklength)
        *marklength = n;
    return e;
}

QString decodelog(const QByteArray& bytes, LogEncoding* encoding)
{
    int n = 0;
    const LogEncoding e = detectencoding(bytes, &n);
    if (encoding)
        *encoding = e;
    const QByteArrayView body(bytes.constData() + n, bytes.size() - n);
    // The mark is already off; a decoder left to itself would take a U+FEFF at the start of
    // the text for a second one and drop it, so each load and save would eat one more.
    const auto flags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    switch (e) {
    case LogEncoding::Utf8:
        return QStringDecoder(QStringConverter::Utf8, flags).decode(body);
    case LogEncoding::Utf16LE:
        return QStringDecoder(QStringConverter::Utf16LE, flags).decode(body);
    case LogEncoding::Utf16BE:
        return QStringDecoder(QStringConverter::Utf16BE, flags).decode(body);
    case LogEncoding::Ansi:
        break;
    }
    return codepage::decoder().decode(body);
}

void decodelines(QByteArray bytes, LogLines& lines, LogEncoding* encoding)
{
    const LogEncoding e = detectencoding(bytes);
    if (encoding)
        *encoding = e;
    if (e == LogEncoding::Ansi)
        lines.setbytes(std::move(bytes));
    else
        lines.settext(decodelog(bytes));
}

QByteArray encodelog(const LogLines& lines, LogEncoding encoding)
{
    QByteArray out;
    encodeinto(lines, encoding, [&](QByteArrayView piece) { out.append(piece); });
    return out;
}

bool loadlog(const QString& path, LogLines& lines, LogEncoding& encoding, QString* error)
{
    QFile f(path);
    const bool dir = QFileInfo(path).isDir();
    if (dir || !f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = cannotopen(path, dir ? QStringLiteral("Is a directory") : f.errorString());
        return false;
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = cannotopen(path, f.errorString());
        return false;
    }
    decodelines(std::move(bytes), lines, &encoding);
    return true;
}

bool savelog(const QString& path, const LogLines& lines, LogEncoding encoding, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = cannotcreate(path, f.errorString());
        return false;
    }
    bool ok = true;
    encodeinto(lines, encoding, [&](QByteArrayView piece) {
        if (ok && f.write(piece.data(), piece.size()) != piece.size())
            ok = false;
    });
    if (!ok)
        f.cancelWriting();
    if (!f.commit()) {
        if (error)
            *error = cannotcreate(path, f.errorString());
        return false;
    }
    return true;
}

struct LogSaver::Impl {
    std::unique_ptr<QSaveFile> file;
    std::thread worker;
    std::atomic<bool> written{false};
    QString path;
    qsizetype count = 0;
    LogEncoding encoding = LogEncoding::Ansi;

    void drop()
    {
        if (worker.joinable())
            worker.join();
        file.reset(); // an uncommitted file is removed
    }
};

LogSaver::LogSaver() : d(new Impl) {}

LogSaver::~LogSaver()
{
    d->drop();
    delete d;
}

void LogSaver::prepare(const QString& path, LogLines& lines, LogEncoding encoding)
{
    d->drop();
    // The head start is for the history kept as the file holds it.
    if (encoding != LogEncoding::Ansi || !lines.narrow())
        return;
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly))
        return;
    d->file = std::move(file);
    d->path = path;
    d->count = lines.count();
    d->encoding = encoding;
    d->written = false;
    lines.mark();
    // The copy shares the buffer; the log's next line makes the log's own copy.
    const QByteArray history = lines.rawsnapshot();
    QSaveFile* f = d->file.get();
    std::atomic<bool>* written = &d->written;
    d->worker = std::thread([f, history, written] {
        *written = f->write(history.constData(), history.size()) == history.size();
    });
}

bool LogSaver::save(const QString& path, const LogLines& lines, LogEncoding encoding, QString* error)
{
    if (d->worker.joinable())
        d->worker.join();
    const bool ready = d->file && d->written && path == d->path && encoding == d->encoding
        && lines.narrow() && lines.count() >= d->count && lines.lowest() >= d->count;
    if (!ready) {
        d->drop();
        return savelog(path, lines, encoding, error);
    }
    std::unique_ptr<QSaveFile> f = std::move(d->file);
    const QByteArrayView rest = lines.rawbytesfrom(d->count);
    if (f->write(rest.data(), rest.size()) != rest.size())
        f->cancelWriting();
    if (!f->commit()) {
        if (error)
            *error = cannotcreate(path, f->errorString());
        return false;
    }
    return true;
}
