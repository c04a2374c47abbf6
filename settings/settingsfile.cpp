#include "settings/settingsfile.h"
#include "settings/strtoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <variant>

namespace settings {

FileError::FileError(const QString& message) : std::runtime_error(message.toUtf8().toStdString())
{
}

QString FileError::message() const
{
    return QString::fromUtf8(what());
}

namespace {

// Where a key's value lives in Fields: a number field's text, a flag or a bar's position.
using Ref = std::variant<QString*, bool*, int*>;

struct Key {
    const char* name;
    int index; // first byte in the image
    int width; // 1, or 2 big-endian
    int min, max;
    const char* frame;   // the title of the window's frame around the control
    const char* caption; // the control's own caption or the label above it
    Ref (*field)(Fields&);
};

const char* const Board = "Табло";
const char* const Lines = "Оповещения";
const char* const Inputs = "Входов управления";
const char* const Network = "Сеть ВИРЕЛАН2";
const char* const BoardSetup = "Установки Табло";
const char* const Monitoring = "Разрешение контроля";
const char* const Relay = "Реле \"РАБОТА\"";
const char* const Sound = "Звуковые сообщения";

// The one table: the file's keys in the order of the image.  Reading, writing, comments and
// ranges all come from here.
const Key Keys[] = {
    {"address", 6, 1, 0, 0xFF, Network, "Адрес в сети",
     [](Fields& f) -> Ref { return &f.address; }},
    {"zone", 7, 1, 0, 0xFF, Network, "Номер зоны оповещения",
     [](Fields& f) -> Ref { return &f.zone; }},
    {"display_lit_in_standby", 8, 1, 0, 1, BoardSetup, "Горит в дер. режиме",
     [](Fields& f) -> Ref { return &f.boardLit; }},
    {"display_flashes_in_fire", 9, 1, 0, 1, BoardSetup, "Мигает при пожаре",
     [](Fields& f) -> Ref { return &f.boardFlash; }},
    {"display_current_drift", 10, 2, 0, 0xFFFF, Board, "Дрейф тока табло",
     [](Fields& f) -> Ref { return &f.boardDrift; }},
    {"line_signal_drift", 12, 2, 0, 0xFFFF, Lines, "Дрейф оповещения",
     [](Fields& f) -> Ref { return &f.lineDrift; }},
    {"signal_leave_time", 14, 2, 0, 0xFFFF, Lines, "Время ухода сигнала",
     [](Fields& f) -> Ref { return &f.signalLeave; }},
    {"input_level_broken", 16, 2, 0, 0xFFFF, Inputs, "Короткое замыкание",
     [](Fields& f) -> Ref { return &f.levelShort; }},
    {"input_level_short", 18, 2, 0, 0xFFFF, Inputs, "Обрыв",
     [](Fields& f) -> Ref { return &f.levelBreak; }},
    {"input_trigger_level", 20, 2, 0, 0xFFFF, Inputs, "Сработка",
     [](Fields& f) -> Ref { return &f.levelTrigger; }},
    {"relay_ppk1", 22, 1, 0, 1, Relay, "ППК1", [](Fields& f) -> Ref { return &f.relay[0]; }},
    {"relay_ppk2", 23, 1, 0, 1, Relay, "ППК2", [](Fields& f) -> Ref { return &f.relay[1]; }},
    {"relay_gochs", 24, 1, 0, 1, Relay, "ГОиЧС", [](Fields& f) -> Ref { return &f.relay[2]; }},
    {"relay_line_input", 25, 1, 0, 1, Relay, "Лин. Вход",
     [](Fields& f) -> Ref { return &f.relay[3]; }},
    {"relay_console", 26, 1, 0, 1, Relay, "Пульт", [](Fields& f) -> Ref { return &f.relay[4]; }},
    {"relay_siren", 27, 1, 0, 1, Relay, "Сирена", [](Fields& f) -> Ref { return &f.relay[5]; }},
    {"monitor_ppk1", 34, 1, 0, 1, Monitoring, "Контроль ППК1",
     [](Fields& f) -> Ref { return &f.monitor[0]; }},
    {"monitor_ppk2", 35, 1, 0, 1, Monitoring, "Контроль ППК2",
     [](Fields& f) -> Ref { return &f.monitor[1]; }},
    {"monitor_gochs", 36, 1, 0, 1, Monitoring, "Контроль ГОиЧС",
     [](Fields& f) -> Ref { return &f.monitor[2]; }},
    {"monitor_console", 37, 1, 0, 1, Monitoring, "Пульт",
     [](Fields& f) -> Ref { return &f.monitor[3]; }},
    {"display_flash_speed", 38, 1, FlashSpeedMin, FlashSpeedMax, BoardSetup, "Скорость мигания",
     [](Fields& f) -> Ref { return &f.flashSpeed; }},
    {"display_current_leave_time", 39, 1, 0, 0xFF, Board, "Время ухода тока",
     [](Fields& f) -> Ref { return &f.currentLeave; }},
    {"line_short_circuit_level", 40, 2, 0, 0xFFFF, Lines, "Уровень КЗ",
     [](Fields& f) -> Ref { return &f.lineShort; }},
    {"monitor_frequency", 42, 1, FrequencyMin, FrequencyMax, Lines, "Частота контроля",
     [](Fields& f) -> Ref { return &f.frequency; }},
    {"volume", 43, 1, VolumeMin, VolumeMax, Sound, "Уровень звука сообщений",
     [](Fields& f) -> Ref { return &f.volume; }},
};

const QString SettingsGroup = QStringLiteral("settings");
const QString UnitGroup = QStringLiteral("unit");
const QString ReadingsGroup = QStringLiteral("readings");
const QString SoundsGroup = QStringLiteral("sounds");

// Sections that are records, never sent: what the unit said, what it measured, what went in.
bool recordgroup(const QString& group)
{
    return group == UnitGroup || group == ReadingsGroup || group == SoundsGroup;
}

const Key* findkey(const QString& name)
{
    for (const Key& k : Keys)
        if (name == QLatin1String(k.name))
            return &k;
    return nullptr;
}

// A key, a value or a line as a message shows it, in quotes: a file that is no text at all (a
// sound file taken by mistake) must not fill the message with control characters or with a
// megabyte of one line.
QString q(const QString& text)
{
    constexpr int Most = 40;
    QString t = text.left(Most + 1);
    for (QChar& c : t)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    if (t.size() > Most)
        t = t.left(Most) + QStringLiteral("…");
    return QLatin1Char('"') + t + QLatin1Char('"');
}

QString filepart(const QString& path)
{
    return QStringLiteral("Файл \"") + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

// "Файл "<path>", ключ "<key>"" or, for a key from the command line, "Ключ "<key>"".
QString keypart(const QString& path, const QString& key)
{
    if (path.isNull())
        return QStringLiteral("Ключ ") + q(key);
    return filepart(path) + QStringLiteral(", ключ ") + q(key);
}

QString unknownkey(const QString& path, const QString& key, const QString& value)
{
    const QString what = q(key) + QStringLiteral(" (значение ") + q(value) + QStringLiteral(").");
    if (path.isNull())
        return QStringLiteral("Неизвестный ключ ") + what;
    return filepart(path) + QStringLiteral(": неизвестный ключ ") + what;
}

// The value's text goes through the window's conversion, then its field's range; the field is
// set only when both hold.  path is null for a key from the command line.
void apply(const Key& k, Fields& f, const QString& value, const QString& path)
{
    const QString key = QLatin1String(k.name);
    const auto v = strtoint(value);
    if (!v)
        throw FileError(keypart(path, key) + QStringLiteral(": значение ") + q(value)
                        + QStringLiteral(" не является целым числом."));
    const Ref ref = k.field(f);
    if (*v < k.min || *v > k.max) {
        if (std::holds_alternative<bool*>(ref))
            throw FileError(keypart(path, key) + QStringLiteral(": значение ") + q(value)
                            + QStringLiteral(" недопустимо, флаг принимает 0 или 1."));
        throw FileError(keypart(path, key) + QStringLiteral(": значение ") + q(value)
                        + QStringLiteral(" вне диапазона от %1 до %2.").arg(k.min).arg(k.max));
    }
    if (QString* const* text = std::get_if<QString*>(&ref))
        **text = QString::number(*v);
    else if (bool* const* flag = std::get_if<bool*>(&ref))
        **flag = *v == 1;
    else
        **std::get_if<int*>(&ref) = *v;
}

} // namespace

// A text as QSettings itself writes it into an INI value, so that it reads back the same:
// quoted when it holds a list or comment separator or ends in a space, with escapes for the
// quote, the backslash and control characters, and a leading "@" doubled (a single one would
// announce a typed value).
QByteArray inivalue(const QString& text)
{
    QString out;
    bool quote = text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
    bool afterhex = false; // a hex digit right after "\x.." would lengthen that escape
    if (text.startsWith(QLatin1Char('@')))
        out += QLatin1Char('@');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == ';' || u == ',' || u == '=')
            quote = true;
        const bool hexdigit = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f')
                              || (u >= 'A' && u <= 'F');
        if (afterhex && hexdigit) {
            out += QStringLiteral("\\x") + QString::number(u, 16);
            continue;
        }
        afterhex = false;
        switch (u) {
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '"':
        case '\\':
            out += QLatin1Char('\\');
            out += c;
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += QStringLiteral("\\x") + QString::number(u, 16);
                afterhex = true;
            } else {
                out += c;
            }
        }
    }
    if (quote)
        out = QLatin1Char('"') + out + QLatin1Char('"');
    return out.toUtf8();
}

namespace {

// ISO 8601 with the offset from UTC, which Qt leaves out for a local time.
QString isotime(const QDateTime& t)
{
    if (!t.isValid())
        return QString();
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

// The file's lines as QSettings sees them: CR LF or LF, a UTF-8 mark before the first, and the
// spaces around each line do not count.  Line i of the list is line i + 1 of the file.
QList<QByteArray> trimmedlines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray& line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        line = line.trimmed();
    }
    return lines;
}

// QSettings drops a line without "=" without a word, so "address 5" would be lost unseen.
// Every line must be blank, a comment, a section, a KEY=VALUE or the continuation of a value
// ended by a backslash.
void checklines(const QString& path, const QByteArray& bytes)
{
    const QList<QByteArray> lines = trimmedlines(bytes);
    bool continued = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& t = lines[i];
        const bool ok = continued || t.isEmpty() || t.startsWith(';') || t.startsWith('#')
                        || t.startsWith('[') || t.contains('=');
        if (!ok)
            throw FileError(filepart(path) + QStringLiteral(", строка %1: ").arg(i + 1)
                            + q(QString::fromUtf8(t)) + QStringLiteral(" не является записью КЛЮЧ=ЗНАЧЕНИЕ."));
        continued = t.endsWith('\\');
    }
}

QString valuetext(const QVariant& v)
{
    // An unquoted comma makes QSettings split the value into a list.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

// QSettings keeps the last of a key given twice without a word, and on Windows takes "Address"
// and "[Settings]" for "address" and "[settings]".  The lines themselves decide: a section and a
// key count only when spelt exactly, a key under [settings] must be one of the table and may
// stand there once.  Returns the keys named under [settings], in the order of the lines.
QStringList scankeys(const QString& path, const QByteArray& bytes)
{
    const QList<QByteArray> lines = trimmedlines(bytes);
    QString section;
    QHash<QString, int> seen; // a [settings] key and its line
    QStringList named;
    bool continued = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& t = lines[i];
        const bool value = !continued;
        continued = t.endsWith('\\');
        if (!value || t.isEmpty() || t.startsWith(';') || t.startsWith('#'))
            continue;
        if (t.startsWith('[')) {
            const int close = t.indexOf(']');
            section = QString::fromUtf8(t.mid(1, close < 0 ? -1 : close - 1));
            continue;
        }
        const int eq = t.indexOf('=');
        const QString key = QString::fromUtf8(t.left(eq).trimmed());
        const QString text = QString::fromUtf8(t.mid(eq + 1).trimmed());
        if (recordgroup(section))
            continue;
        if (section != SettingsGroup)
            throw FileError(filepart(path) + QStringLiteral(": ключ ")
                            + q(section.isEmpty() ? key : section + QLatin1Char('/') + key)
                            + QStringLiteral(" (значение ") + q(text)
                            + QStringLiteral(") стоит вне раздела [settings]."));
        if (!findkey(key))
            throw FileError(unknownkey(path, key, text));
        const auto before = seen.constFind(key);
        if (before != seen.constEnd())
            throw FileError(filepart(path) + QStringLiteral(": ключ ") + q(key)
                            + QStringLiteral(" задан дважды, в строках %1 и %2.")
                                  .arg(*before + 1)
                                  .arg(i + 1));
        seen.insert(key, i);
        named.append(key);
    }
    return named;
}

// The bytes of the file at path; FileError in the window's language when they cannot be had.
QByteArray readbytes(const QString& path)
{
    QFile file(path);
    // Not only regular files: a shell's <(...) hands over a pipe.
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(filepart(path) + fileproblem(path, false));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(filepart(path) + fileproblem(path, false));
    return bytes;
}

// The file's [settings] keys over fields, with every check; named gets the keys the file names.
Fields parse(const QString& path, const QByteArray& bytes, const Fields& fields, QStringList* named)
{
    checklines(path, bytes);

    // QSettings keeps the files it has read in a cache for the whole process and trusts an
    // entry while size and modification time (to the millisecond) match, so a file rewritten
    // at once with as many bytes would come back stale.  A private copy of the bytes just read
    // is always parsed anew, and is exactly what was checked above.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать: не удалось "
                                                        "создать временный файл."));
    copy.close();
    const QSettings ini(copy.fileName(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw FileError(filepart(path) + QStringLiteral(" не читается как файл настроек INI."));
    const QStringList keys = scankeys(path, bytes);
    if (named)
        *named = keys;

    Fields out = fields;
    for (const QString& name : ini.allKeys()) {
        const QString value = valuetext(ini.value(name));
        const int slash = name.indexOf(QLatin1Char('/'));
        const QString group = slash < 0 ? QString() : name.left(slash);
        if (recordgroup(group))
            continue; // records of the unit, never sent
        if (group != SettingsGroup)
            throw FileError(filepart(path) + QStringLiteral(": ключ ") + q(name)
                            + QStringLiteral(" (значение ") + q(value)
                            + QStringLiteral(") стоит вне раздела [settings]."));
        const QString key = name.mid(slash + 1);
        const Key* k = findkey(key);
        if (!k)
            throw FileError(unknownkey(path, key, value));
        apply(*k, out, value, path);
    }
    return out;
}

} // namespace

const char* const ReadingKeys[6] = {"ppk1", "ppk2", "gochs", "adc", "light", "power"};

QString fileproblem(const QString& path, bool writing)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral(" является папкой, а не файлом.");
    if (!writing) {
        if (!info.exists())
            return QStringLiteral(" не найден.");
        if (!info.isReadable())
            return QStringLiteral(" не удалось прочитать: нет прав на чтение.");
        return QStringLiteral(" не удалось прочитать: ошибка чтения.");
    }
    const QFileInfo folder(info.absolutePath());
    const QString where = QStringLiteral("\"") + QDir::toNativeSeparators(folder.filePath())
        + QLatin1Char('"');
    if (!folder.exists())
        return QStringLiteral(" не удалось записать: папка ") + where + QStringLiteral(" не найдена.");
    if (!folder.isDir())
        return QStringLiteral(" не удалось записать: ") + where + QStringLiteral(" не является папкой.");
    if (info.exists() && !info.isWritable())
        return QStringLiteral(" не удалось записать: нет прав на запись в файл.");
    if (!folder.isWritable())
        return QStringLiteral(" не удалось записать: нет прав на запись в папку ") + where
            + QLatin1Char('.');
    return QStringLiteral(" не удалось записать: ошибка записи (нет места на диске?).");
}

QByteArray keptsection(const QByteArray& old, const QByteArray& name)
{
    // Line starts, with the kind of each line: a header (and which), a comment or blank, a value.
    QList<qsizetype> starts;
    for (qsizetype at = 0; at < old.size();) {
        starts.append(at);
        const qsizetype nl = old.indexOf('\n', at);
        at = nl < 0 ? old.size() : nl + 1;
    }
    starts.append(old.size());
    const int count = int(starts.size()) - 1;
    auto text = [&](int i) { return old.mid(starts[i], starts[i + 1] - starts[i]).trimmed(); };
    auto header = [&](int i, QByteArray* title) {
        const QByteArray t = text(i);
        const int close = int(t.indexOf(']'));
        if (!t.startsWith('[') || close < 0)
            return false;
        *title = t.mid(1, close - 1);
        return true;
    };
    auto comment = [&](int i) {
        const QByteArray t = text(i);
        return t.startsWith(';') || t.startsWith('#');
    };

    QByteArray kept;
    bool continued = false;
    for (int i = 0; i < count; ++i) {
        QByteArray title;
        const bool isheader = !continued && header(i, &title);
        continued = text(i).endsWith('\\');
        if (!isheader || title != name)
            continue;
        int first = i;
        while (first > 0 && comment(first - 1))
            --first;
        int end = i + 1;
        bool cont = false;
        for (QByteArray other; end < count; ++end) {
            if (!cont && header(end, &other))
                break;
            cont = text(end).endsWith('\\');
        }
        int last = end;
        if (end < count)
            while (last > i + 1 && comment(last - 1))
                --last;
        kept += old.mid(starts[first], starts[last] - starts[first]);
        i = end - 1;
        continued = false;
    }
    return kept;
}

QByteArray filetext(const Fields& fields, const std::optional<UnitInfo>& unit,
                    const std::optional<Readings>& readings)
{
    const auto values = keyvalues(fields);
    QByteArray out = "[settings]\n";
    for (std::size_t i = 0; i < std::size(Keys); ++i) {
        out += "; " + QByteArray(Keys[i].frame) + " / " + Keys[i].caption + '\n';
        out += QByteArray(Keys[i].name) + '=' + QByteArray::number(values[int(i)].second) + '\n';
    }
    if (unit) {
        struct Line {
            const char* comment;
            const char* key;
            QString value;
        };
        const Line record[] = {
            {"Версия ПО Блока:", "firmware", unit->firmware},
            {"Тип устройсва", "type", unit->type},
            {"Сеть ВИРЕЛАН2 / Количество запусков", "startups", unit->startups},
            {"Выбор COM-порта", "port", unit->port},
            {"Время чтения", "read_at", isotime(unit->readAt)},
        };
        out += "\n; Что блок сообщил при последнем чтении; в блок не передаётся\n[unit]\n";
        for (const Line& l : record)
            out += "; " + QByteArray(l.comment) + '\n' + l.key + '=' + inivalue(l.value) + '\n';
    }
    if (readings) {
        out += "\n; Показания блока, снятые одним опросом при чтении; в блок не передаются\n[readings]\n";
        for (int i = 0; i < 6; ++i)
            out += QByteArray(ReadingKeys[i]) + '=' + QByteArray::number(readings->values[i]) + '\n';
        const QDateTime& t = readings->polledAt;
        out += "polled_at="
            + (t.isValid() ? t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1()
                           : QByteArray())
            + '\n';
    }
    return out;
}

void savefile(const QString& path, const Fields& fields, const std::optional<UnitInfo>& unit,
              const std::optional<Readings>& readings)
{
    QByteArray text = filetext(fields, unit, readings); // a refused field stops before the file
    if (QFileInfo(path).isFile()) {
        // A record that cannot be carried over stops the save: it would be lost for good.
        const QByteArray sounds = keptsection(readbytes(path), "sounds");
        if (!sounds.isEmpty())
            text += '\n' + sounds;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw FileError(filepart(path) + fileproblem(path, true));
}

Fields loadfile(const QString& path, const Fields& fields)
{
    return parse(path, readbytes(path), fields, nullptr);
}

QList<std::pair<QString, int>> filekeys(const QString& path)
{
    QStringList named;
    // Keys the file does not name take values that always convert; only the named are kept.
    const Fields f = parse(path, readbytes(path), factoryfields(), &named);
    if (named.isEmpty())
        throw FileError(filepart(path) + QStringLiteral(": в разделе [settings] нет ни одного ключа."));
    QList<std::pair<QString, int>> out;
    for (const auto& kv : keyvalues(f))
        if (named.contains(kv.first))
            out.append(kv);
    return out;
}

QList<Difference> differences(const QList<std::pair<QString, int>>& left,
                              const QList<std::pair<QString, int>>& right)
{
    auto find = [](const QList<std::pair<QString, int>>& side, const char* key) -> std::optional<int> {
        for (const auto& kv : side)
            if (kv.first == QLatin1String(key))
                return kv.second;
        return std::nullopt;
    };
    QList<Difference> out;
    for (const Key& k : Keys) {
        const auto l = find(left, k.name);
        const auto r = find(right, k.name);
        if (l != r)
            out.append({QLatin1String(k.name), l, r});
    }
    return out;
}

QString keyplace(const QString& key)
{
    const Key* k = findkey(key);
    if (!k)
        return key;
    return QString::fromUtf8(k->frame) + QStringLiteral(" / ") + QString::fromUtf8(k->caption);
}

Fields setkey(const Fields& fields, const QString& assignment)
{
    const int eq = assignment.indexOf(QLatin1Char('='));
    if (eq < 0)
        throw FileError(QStringLiteral("Ожидается КЛЮЧ=ЗНАЧЕНИЕ, дано ") + q(assignment)
                        + QLatin1Char('.'));
    const QString key = assignment.left(eq);
    const QString value = assignment.mid(eq + 1);
    const Key* k = findkey(key);
    if (!k)
        throw FileError(unknownkey(QString(), key, value));
    Fields out = fields;
    apply(*k, out, value, QString());
    return out;
}

QList<std::pair<QString, int>> keyvalues(const Fields& fields)
{
    // The bars hold only positions of their range; the window's would stand at the nearest end.
    Fields f = fields;
    for (const Key& k : Keys) {
        const Ref ref = k.field(f);
        if (int* const* bar = std::get_if<int*>(&ref))
            **bar = std::clamp(**bar, k.min, k.max);
    }
    // Converted and refused exactly as "Запись" does, then read back from where each key's
    // field lies in the image.
    std::uint8_t image[ImageSize] = {};
    encode(f, image);
    QList<std::pair<QString, int>> out;
    for (const Key& k : Keys) {
        const int v = k.width == 2 ? image[k.index] * 256 + image[k.index + 1] : image[k.index];
        out.append({QLatin1String(k.name), v});
    }
    return out;
}

QList<KeyCaption> keycaptions()
{
    QList<KeyCaption> out;
    Fields f;
    for (const Key& k : Keys)
        out.append({QLatin1String(k.name), QString::fromUtf8(k.frame), QString::fromUtf8(k.caption),
                    std::holds_alternative<bool*>(k.field(f))});
    return out;
}

} // namespace settings
