#include "sound/record.h"
#include "sound/facts.h"
#include "settings/settingsfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

namespace sound {

namespace {

const Which Slots[] = {Which::Ppk1, Which::Ppk2, Which::Siren};

QString quoted(const QString& path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

QString filepart(const QString& path)
{
    return QStringLiteral("Файл ") + quoted(path);
}

// Why the file cannot be replaced, in the tool's own words where the file system tells them
// apart; the library's text only for what it alone knows.
QString whynotwritten(const QString& path, const QString& fallback)
{
    const QFileInfo fi(path);
    const QFileInfo folder(fi.absolutePath());
    QString why = fallback;
    if (fi.isDir())
        why = QStringLiteral("это папка, а не файл");
    else if (!folder.exists())
        why = QStringLiteral("папка ") + quoted(folder.filePath()) + QStringLiteral(" не найдена");
    else if (!folder.isDir())
        why = quoted(folder.filePath()) + QStringLiteral(" не папка");
    else if (fi.exists() && !fi.isWritable())
        why = QStringLiteral("нет прав на запись в файл");
    else if (!folder.isWritable())
        why = QStringLiteral("нет прав на запись в папку ") + quoted(folder.filePath());
    return filepart(path) + QStringLiteral(" не удалось записать: ") + why;
}

QString whynotread(const QString& path, const QFile& file)
{
    const QFileInfo fi(path);
    QString why = file.errorString();
    if (fi.isDir())
        why = QStringLiteral("это папка, а не файл");
    else if (!fi.isReadable())
        why = QStringLiteral("нет прав на чтение");
    return filepart(path) + QStringLiteral(" не удалось прочитать: ") + why;
}

// The bytes of an existing file; an empty one for a file that is not there yet.
bool readall(const QString& path, QByteArray& bytes, QString& error)
{
    bytes.clear();
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    QFile f(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly)) {
        error = whynotread(path, f);
        return false;
    }
    bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        error = whynotread(path, f);
        return false;
    }
    return true;
}

QByteArray number(qint64 v)
{
    return QByteArray::number(v);
}

// The group of keys of one sound, each line ended by eol.
QByteArray slotlines(const Uploaded& u, const QByteArray& eol)
{
    static const char* const Titles[] = {"Сообщение ППК1", "Сообщение ППК2", "Звук сирены"};
    const wav::Format& f = u.sound.format;
    const qint64 ms = durationms(u.sound);
    const std::pair<const char*, QByteArray> keys[] = {
        {"file", settings::inivalue(QFileInfo(u.path).fileName())},
        {"size", number(u.size)},
        {"sha256", u.sha256},
        {"format", formatvalue(f).toLatin1()},
        {"rate", f.known ? number(f.rate) : QByteArray()},
        {"bits", f.known ? number(f.bits) : QByteArray()},
        {"channels", f.known ? number(f.channels) : QByteArray()},
        {"duration_ms", ms < 0 ? QByteArray() : number(ms)},
        {"blocks", number(u.sound.blocks)},
        // ISO 8601 with the offset from UTC, which Qt leaves out for a local time.
        {"uploaded_at", u.at.toOffsetFromUtc(u.at.offsetFromUtc()).toString(Qt::ISODate).toLatin1()},
    };
    const QByteArray prefix = slotname(u.which).toLatin1() + '_';
    QByteArray out = QByteArray("; ") + Titles[int(u.which)] + eol;
    for (const auto& [key, value] : keys)
        out += prefix + key + '=' + value + eol;
    return out;
}

struct Line {
    QByteArray bytes;  // with its line break, if it has one
    enum Kind { Other, Section, Key, Continued } kind = Other;
    QByteArray name;   // the section's or the key's
};

QList<Line> splitlines(const QByteArray& text)
{
    QList<Line> lines;
    qsizetype at = 0;
    bool continues = false;
    while (at < text.size()) {
        qsizetype nl = text.indexOf('\n', at);
        nl = nl < 0 ? text.size() : nl + 1;
        Line l;
        l.bytes = text.mid(at, nl - at);
        at = nl;
        QByteArray t = l.bytes;
        while (t.endsWith('\n') || t.endsWith('\r'))
            t.chop(1);
        if (lines.isEmpty() && t.startsWith("\xEF\xBB\xBF"))
            t.remove(0, 3);
        t = t.trimmed();
        if (continues) {
            l.kind = Line::Continued;
        } else if (t.startsWith('[')) {
            l.kind = Line::Section;
            const qsizetype end = t.indexOf(']');
            l.name = t.mid(1, end < 0 ? -1 : end - 1);
        } else if (!t.startsWith(';') && !t.startsWith('#') && t.contains('=')) {
            l.kind = Line::Key;
            l.name = t.left(t.indexOf('=')).trimmed();
        }
        // A value ended by a backslash goes on on the next line.
        continues = (l.kind == Line::Key || l.kind == Line::Continued) && t.endsWith('\\');
        lines.append(l);
    }
    return lines;
}

} // namespace

QString slotname(Which which)
{
    switch (which) {
    case Which::Ppk1:
        return QStringLiteral("ppk1");
    case Which::Ppk2:
        return QStringLiteral("ppk2");
    case Which::Siren:
        break;
    }
    return QStringLiteral("siren");
}

QString fingerprint(const QString& path, Uploaded& u)
{
    QFile f(path);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    if (!f.open(QIODevice::ReadOnly) || !sha.addData(&f) || f.error() != QFileDevice::NoError)
        return whynotread(path, f);
    u.path = path;
    u.size = f.size();
    u.sha256 = sha.result().toHex();
    return QString();
}

QByteArray withsounds(const QByteArray& text, const QList<Uploaded>& sounds)
{
    const QList<Line> lines = splitlines(text);
    const QByteArray eol = !lines.isEmpty() && lines.first().bytes.endsWith("\r\n") ? "\r\n" : "\n";
    const QByteArray Name = "sounds";

    // Every [sounds] section runs from its head to its last key: comments and blank lines after
    // that belong to what follows (the comment above the next section, say).
    struct Range {
        qsizetype first, last;
    };
    QList<Range> ranges;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section || lines[i].name != Name)
            continue;
        Range r{i, i};
        qsizetype j = i + 1;
        for (; j < lines.size() && lines[j].kind != Line::Section; ++j)
            if (lines[j].kind == Line::Key || lines[j].kind == Line::Continued)
                r.last = j;
        ranges.append(r);
        i = j - 1;
    }

    // What stands there now, sound by sound: each key with the comments just above it and the
    // lines its value goes on over.  Keys of no sound are kept after them.
    std::array<QByteArray, 4> kept; // ppk1, ppk2, siren, others
    for (const Range& r : ranges) {
        QByteArray pending;
        int group = 3;
        for (qsizetype i = r.first + 1; i <= r.last; ++i) {
            const Line& l = lines[i];
            if (l.kind == Line::Key) {
                group = 3;
                for (Which w : Slots)
                    if (l.name.startsWith(slotname(w).toLatin1() + '_'))
                        group = int(w);
            }
            if (l.kind == Line::Other) {
                pending += l.bytes;
                continue;
            }
            kept[std::size_t(group)] += pending + l.bytes;
            pending.clear();
        }
    }
    for (const Uploaded& u : sounds)
        kept[std::size_t(u.which)].clear();

    // A kept group may end where the file ended, without a line break.
    QByteArray body;
    const auto put = [&body, &eol](const QByteArray& lines) {
        body += lines;
        if (!body.isEmpty() && !body.endsWith('\n'))
            body += eol;
    };
    for (Which w : Slots) {
        bool replaced = false;
        for (const Uploaded& u : sounds)
            if (u.which == w) {
                put(slotlines(u, eol));
                replaced = true;
            }
        if (!replaced)
            put(kept[std::size_t(w)]);
    }
    put(kept[3]);

    if (ranges.isEmpty()) {
        QByteArray out = text;
        if (!out.isEmpty()) {
            if (!out.endsWith('\n'))
                out += eol;
            out += eol;
        }
        return out + "; Звуки, записанные в блок; из блока не читаются" + eol + "[sounds]" + eol + body;
    }

    QByteArray out;
    qsizetype r = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (r < ranges.size() && i == ranges[r].first) {
            if (r == 0) {
                QByteArray head = lines[i].bytes;
                if (!head.endsWith('\n'))
                    head += eol;
                out += head + body;
            }
            i = ranges[r].last;
            ++r;
            continue;
        }
        out += lines[i].bytes;
    }
    return out;
}

QString checkrecord(const QString& path)
{
    QByteArray bytes;
    QString error;
    if (!readall(path, bytes, error))
        return error;
    if (QFileInfo::exists(path)) {
        try {
            settings::loadfile(path, settings::Fields{});
        } catch (const settings::FileError& e) {
            return e.message();
        }
    }
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return whynotwritten(path, probe.errorString());
    probe.cancelWriting();
    return QString();
}

QString writerecord(const QString& path, const QList<Uploaded>& sounds)
{
    QByteArray bytes;
    QString error;
    if (!readall(path, bytes, error))
        return error;
    const QByteArray text = withsounds(bytes, sounds);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
        return whynotwritten(path, f.errorString());
    return QString();
}

} // namespace sound
