#include "settings/settingsfile.h"
#include "settings/strtoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// ISO 8601 with the offset from UTC, which Qt leaves out for a local time.
QString isotime(const QDateTime& t)
{
    if (!t.isValid())
        return QString();
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

// QSettings drops a line without "=" without a word, so "address 5" would be lost unseen.
// Every line must be blank, a comment, a section, a KEY=VALUE or the continuation of a value
// ended by a backslash.
void checklines(const QString& path, const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    bool continued = false;
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        const QByteArray t = line.trimmed();
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

} // namespace

QByteArray filetext(const Fields& fields, const std::optional<UnitInfo>& unit)
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
    return out;
}

void savefile(const QString& path, const Fields& fields, const std::optional<UnitInfo>& unit)
{
    const QByteArray text = filetext(fields, unit); // a refused field stops before the file
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw FileError(filepart(path) + QStringLiteral(" не удалось записать: ")
                        + file.errorString());
}

Fields loadfile(const QString& path, const Fields& fields)
{
    QFile file(path);
    if (!QFileInfo::exists(path))
        throw FileError(filepart(path) + QStringLiteral(" не найден."));
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать: ")
                        + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать: ")
                        + file.errorString());
    file.close();
    checklines(path, bytes);

    // QSettings keeps the files it has read in a cache for the whole process and trusts an
    // entry while size and modification time (to the millisecond) match, so a file rewritten
    // at once with as many bytes would come back stale.  A private copy of the bytes just read
    // is always parsed anew, and is exactly what was checked above.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать: ")
                        + copy.errorString());
    copy.close();
    const QSettings ini(copy.fileName(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw FileError(filepart(path) + QStringLiteral(" не читается как файл настроек INI."));

    Fields out = fields;
    for (const QString& name : ini.allKeys()) {
        const QString value = valuetext(ini.value(name));
        const int slash = name.indexOf(QLatin1Char('/'));
        const QString group = slash < 0 ? QString() : name.left(slash);
        if (group == UnitGroup)
            continue; // a record of the unit, never sent
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
