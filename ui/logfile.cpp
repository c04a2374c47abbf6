#include "ui/logfile.h"
#include "ui/loglines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Without a mark the log is in the 8-bit code page: the system's ANSI page on Windows, and
// Windows-1251 elsewhere, so that a log carried between the two reads the same.
QStringDecoder ansidecoder()
{
#ifdef Q_OS_WIN
    return QStringDecoder(QStringConverter::System);
#else
    return QStringDecoder("windows-1251");
#endif
}

QStringEncoder ansiencoder()
{
#ifdef Q_OS_WIN
    return QStringEncoder(QStringConverter::System);
#else
    return QStringEncoder("windows-1251");
#endif
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
    return ansiencoder();
}

QString fullpath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
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
    int mark = 0;
    const LogEncoding e = detectencoding(bytes, &mark);
    if (encoding)
        *encoding = e;
    const QByteArrayView body = QByteArrayView(bytes.constData() + mark, bytes.size() - mark);
    switch (e) {
    case LogEncoding::Utf8:
        return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless).decode(body);
    case LogEncoding::Utf16LE:
        return QStringDecoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless).decode(body);
    case LogEncoding::Utf16BE:
        return QStringDecoder(QStringConverter::Utf16BE, QStringConverter::Flag::Stateless).decode(body);
    case LogEncoding::Ansi:
        break;
    }
    auto d = ansidecoder();
    return d.decode(body);
}

namespace {
// Encodes the lines in pieces of about a megabyte, handing each to `sink`.
template <typename Sink>
void encodeinto(const LogLines& lines, LogEncoding encoding, Sink&& sink)
{
    QStringEncoder enc = encoder(encoding);
    // The mark goes first, even for an empty log.
    switch (encoding) {
    case LogEncoding::Utf8: sink(QByteArray("\xEF\xBB\xBF")); break;
    case LogEncoding::Utf16LE: sink(QByteArray("\xFF\xFE")); break;
    case LogEncoding::Utf16BE: sink(QByteArray("\xFE\xFF")); break;
    case LogEncoding::Ansi: break;
    }
    static const QString crlf = QStringLiteral("\r\n");
    QString chunk;
    chunk.reserve(1 << 19);
    for (qsizetype i = 0; i < lines.count(); ++i) {
        chunk.append(lines.line(i));
        chunk.append(crlf);
        if (chunk.size() >= (1 << 19)) {
            sink(QByteArray(enc.encode(chunk)));
            chunk.clear();
        }
    }
    sink(QByteArray(enc.encode(chunk)));
}
} // namespace

QByteArray encodelog(const LogLines& lines, LogEncoding encoding)
{
    QByteArray out;
    encodeinto(lines, encoding, [&](const QByteArray& piece) { out.append(piece); });
    return out;
}

bool loadlog(const QString& path, LogLines& lines, LogEncoding& encoding, QString* error)
{
    QFile f(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = cannotopen(path, QFileInfo(path).isDir() ? QStringLiteral("Is a directory")
                                                              : f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = cannotopen(path, f.errorString());
        return false;
    }
    lines.settext(decodelog(bytes, &encoding));
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
    encodeinto(lines, encoding, [&](const QByteArray& piece) {
        if (ok && !piece.isEmpty() && f.write(piece) != piece.size())
            ok = false;
    });
    if (!ok) {
        f.cancelWriting();
    }
    if (!f.commit()) {
        if (error)
            *error = cannotcreate(path, f.errorString());
        return false;
    }
    return true;
}
