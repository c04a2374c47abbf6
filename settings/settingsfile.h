#pragma once
// Settings files: the writable fields of the settings image as an INI file in UTF-8, for an
// engineer to keep, compare and edit in any text editor, and for QSettings (INI format) to read.
//
//     [settings]
//     ; Сеть ВИРЕЛАН2 / Адрес в сети
//     address=1
//     ...
//     [unit]
//     firmware=5.14
//     ...
//
// Under [settings] every writable field has its key, a decimal number (flags 0 or 1), with a
// comment line above it naming the window's frame and the control's caption.  [unit] records
// what the unit reported at the last good read; it is information only and is never sent.
// A file may name only some keys: the others keep the values they had.  No widgets here.
#include "settings/image.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <stdexcept>
#include <utility>

namespace settings {

// A settings file, or one KEY=VALUE, that cannot be taken.  message() (what() in UTF-8) is in
// the window's language and names the file, the key and the value; nothing has been applied.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message);
    QString message() const;
};

// What the unit reported at the last good read: a record for the acceptance papers.
struct UnitInfo {
    QString firmware; // as Edit1 shows it
    QString type;     // as Edit4 shows it
    QString startups; // as Edit2 shows it
    QString port;     // the port's name in the list, e.g. COM3
    QDateTime readAt; // written in ISO 8601 with its offset from UTC
};

// One telemetry poll taken with a read, recorded under [readings] for the acceptance papers;
// information only, never sent.  The keys are the names of the command line's watch columns.
struct Readings {
    std::array<int, 6> values{}; // ppk1, ppk2, gochs, adc, light, power
    QDateTime polledAt;          // written in ISO 8601 with milliseconds and its offset from UTC
};
extern const char* const ReadingKeys[6];

// The file's bytes: UTF-8 without a byte-order mark, keys in the order of the image.  Every
// number field is converted and range-checked as "Запись" does it, and the first that fails
// raises the same ConvertError.  The bars are written where the window's bars would stand.
// Without unit the [unit] section is left out, without readings the [readings] section.
QByteArray filetext(const Fields& fields, const std::optional<UnitInfo>& unit = std::nullopt,
                    const std::optional<Readings>& readings = std::nullopt);

// filetext() written to path through QSaveFile: an earlier file is replaced only once the new
// one is whole.  The earlier file's [sounds] section goes into the new one byte for byte: the
// unit cannot tell which sound it holds, so that record exists nowhere else.  Raises
// ConvertError (nothing written) or FileError (the file cannot be written, or the earlier one
// cannot be read; an earlier one stays as it was).
void savefile(const QString& path, const Fields& fields,
              const std::optional<UnitInfo>& unit = std::nullopt,
              const std::optional<Readings>& readings = std::nullopt);

// Every section called name in a settings file's bytes, byte for byte: from the comment lines
// right above its header to the comment lines right above the next header (those belong to the
// next section).  Empty when there is none.
QByteArray keptsection(const QByteArray& old, const QByteArray& name);

// Why the file at path cannot be read (writing false) or written, as the system tells it but
// in the window's language: " не найден.", " является папкой, а не файлом.", no permission...
// Appended to "Файл "<path>"".
QString fileproblem(const QString& path, bool writing);

// fields with the [settings] keys of the file at path applied; the keys the file does not name
// keep their values.  Each value goes through the window's integer conversion (so "$1F" works)
// and must lie in its field's range.  A missing or unreadable file, a line that is not
// KEY=VALUE, a key outside the table, a value that is not a number or is out of range raises
// FileError, and nothing is applied.  [unit] and [sounds] are not read.
Fields loadfile(const QString& path, const Fields& fields);

// fields with one "KEY=VALUE" applied (the command line's --set), with the checks of loadfile.
Fields setkey(const Fields& fields, const QString& assignment);

// Every key with the number a file written from fields would carry, in the file's order.
// Raises ConvertError as filetext() does.
QList<std::pair<QString, int>> keyvalues(const Fields& fields);

// The keys the file at path names under [settings], each with the number it sets (converted
// as loadfile converts it), in the file's key order.  Raises FileError as loadfile does, and
// also when the file names no key at all: comparing with it would prove nothing.
QList<std::pair<QString, int>> filekeys(const QString& path);

// One key on which two sets of values disagree; a side that does not name the key is empty.
struct Difference {
    QString key;
    std::optional<int> left, right;
};
// The keys named on either side whose values differ, in the file's key order.
QList<Difference> differences(const QList<std::pair<QString, int>>& left,
                              const QList<std::pair<QString, int>>& right);

// "<frame> / <caption>": where the key's control stands in the window, as the file's comment
// line names it.
QString keyplace(const QString& key);

// A text as an INI value that QSettings reads back as the same text (quoted and escaped where
// it must be), in UTF-8.
QByteArray inivalue(const QString& text);

// Every key with the window's frame and caption it is shown under, in the file's order; flag
// is set for the 0-or-1 keys of the check boxes.
struct KeyCaption {
    QString key, frame, caption;
    bool flag = false;
};
QList<KeyCaption> keycaptions();

} // namespace settings
