#include "ui/logfile.h"
#include "ui/codepage.h"
#include "ui/loglines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <functional>
#include <memory>

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

// The bytes of a text in the encoding.
QByteArray encodetext(QStringEncoder& unicode, LogEncoding e, const QString& text)
{
    if (e == LogEncoding::Ansi)
        return codepage::encode(text);
    return unicode.encode(text);
}

QStringEncoder encoder(LogEncoding e)
{
    switch (e) {
    case LogEncoding::Utf16LE:
        return QStringEncoder(QStringConverter::Utf16LE);
    case LogEncoding::Utf16BE:
        return QStringEncoder(QStringConverter::Utf16BE);
    case LogEncoding::Utf8:
    case LogEncoding::Ansi: // through the code page's tables instead
        break;
    }
    return QStringEncoder(QStringConverter::Utf8);
}

constexpr qsizetype Piece = 1 << 20;

using Sink = std::function<bool(QByteArrayView)>;

// Hands the file's bytes for the lines to `sink` in pieces: the mark of the encoding first, even
// for an empty log, then every line ended by CR LF.  Returns false when the sink refused a piece
// or, with the system's reason in *readerror, when a history kept in its file could not be read
// back.
bool encodeinto(const LogLines& lines, LogEncoding encoding, const Sink& sink, QString* readerror)
{
    const QByteArray m = mark(encoding);
    if (!m.isEmpty() && !sink(QByteArrayView(m)))
        return false;
    if (encoding == LogEncoding::Ansi && codepage::singlebyte())
        return lines.writebytes(sink, readerror);
    QStringEncoder enc = encoder(encoding);
    static const QString crlf = QStringLiteral("\r\n");
    QString chunk;
    for (qsizetype i = 0; i < lines.count(); ++i) {
        chunk.append(lines.line(i));
        chunk.append(crlf);
        if (chunk.size() >= Piece / 2) {
            if (!sink(QByteArrayView(encodetext(enc, encoding, chunk))))
                return false;
            chunk.clear();
        }
    }
    return chunk.isEmpty() || sink(QByteArrayView(encodetext(enc, encoding, chunk)));
}

// Rewrites an existing file in place: written from its start, then cut to the new length.  The
// history comes first in the file and is written back as it stands, so a run that ends while
// this writes leaves the history whole up to the place being written.
bool writeinplace(const QString& path, const LogLines& lines, LogEncoding encoding, QString* reason)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        *reason = f.errorString();
        return false;
    }
    QString readerror;
    const bool written = encodeinto(lines, encoding, [&](QByteArrayView p) {
        return f.write(p.data(), p.size()) == p.size();
    }, &readerror);
    if (!written || !f.flush() || !f.resize(f.pos())) {
        *reason = readerror.isEmpty() ? f.errorString() : readerror;
        return false;
    }
    return true;
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
    return codepage::decode(body);
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
    encodeinto(lines, encoding, [&](QByteArrayView piece) {
        out.append(piece);
        return true;
    }, nullptr);
    return out;
}

bool loadlog(const QString& path, LogLines& lines, LogEncoding& encoding, QString* error)
{
    auto f = std::make_unique<QFile>(path);
    const bool dir = QFileInfo(path).isDir();
    if (dir || !f->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = cannotopen(path, dir ? QStringLiteral("Is a directory") : f->errorString());
        return false;
    }
    char head[3];
    const qint64 n = f->read(head, sizeof head);
    if (n < 0) {
        if (error)
            *error = cannotopen(path, f->errorString());
        return false;
    }
    const LogEncoding e = detectencoding(QByteArray(head, int(n)));
    if (e == LogEncoding::Ansi && codepage::singlebyte() && codepage::historyinfile()) {
        // The history stays in its file: start-up only finds its lines.
        LogLines loaded;
        QString reason;
        if (!loaded.setfile(std::move(f), &reason)) {
            if (error)
                *error = cannotopen(path, reason);
            return false;
        }
        lines = std::move(loaded);
        encoding = e;
        return true;
    }
    QByteArray bytes;
    if (f->seek(0))
        bytes = f->readAll();
    if (f->error() != QFileDevice::NoError) {
        if (error)
            *error = cannotopen(path, f->errorString());
        return false;
    }
    decodelines(std::move(bytes), lines, &encoding);
    return true;
}

bool savelog(const QString& path, const LogLines& lines, LogEncoding encoding, QString* error)
{
    QString reason;
    {
        QSaveFile f(path);
        if (f.open(QIODevice::WriteOnly)) {
            QString readerror;
            const bool written = encodeinto(lines, encoding, [&](QByteArrayView p) {
                return f.write(p.data(), p.size()) == p.size();
            }, &readerror);
            if (!written) {
                if (error)
                    *error = cannotcreate(path, readerror.isEmpty() ? f.errorString() : readerror);
                f.cancelWriting();
                return false; // the new file is dropped, the old one stays
            }
            if (f.commit())
                return true;
            if (f.error() != QFileDevice::RenameError) {
                if (error)
                    *error = cannotcreate(path, f.errorString());
                return false;
            }
        }
        reason = f.errorString();
    }
    // The folder takes no new file here, or will not let the old one be replaced: the file
    // itself is rewritten, where it exists and can be written.
    if (QFileInfo::exists(path) && !QFileInfo(path).isDir() && writeinplace(path, lines, encoding, &reason))
        return true;
    if (error)
        *error = cannotcreate(path, reason);
    return false;
}
