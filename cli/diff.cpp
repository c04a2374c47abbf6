#include "cli/diff.h"
#include "cli/cli.h"
#include "cli/common.h"

#include "settings/session.h"
#include "settings/settingsfile.h"
#include "settings/strtoint.h"

#include <QDir>
#include <QSet>

#include <optional>

namespace cli {

namespace {

using KeyValues = QList<std::pair<QString, int>>;

QByteArray valuetext(const std::optional<int>& v)
{
    return v ? QByteArray::number(*v) : QByteArray();
}

// Only what the file names is compared: a file may hold some keys and leave the rest alone.
KeyValues only(const KeyValues& all, const KeyValues& named)
{
    KeyValues out;
    for (const auto& kv : all)
        for (const auto& n : named)
            if (n.first == kv.first)
                out.append(kv);
    return out;
}

// The unit's settings as a file read from it would carry them (the bars as the window's
// would stand), so that "read" then "diff" always agree.  Nothing when the read failed.
std::optional<KeyValues> readvalues(int index, int* rc)
{
    const std::optional<settings::Reading> r = common::readsettings(index, rc);
    if (!r)
        return std::nullopt;
    try {
        return settings::keyvalues(r->decoded.fields);
    } catch (const settings::ConvertError& e) {
        common::say(e.message());
        *rc = UnitFailed;
        return std::nullopt;
    }
}

} // namespace

int cmddiff(const QString& first, const QString& second)
{
    const int index = common::portindex(first);
    // Every file is taken before the unit hears anything.
    KeyValues left, right;
    try {
        if (index < 0)
            left = settings::filekeys(first);
        right = settings::filekeys(second);
    } catch (const settings::FileError& e) {
        common::say(e.message());
        return WrongUse;
    }

    QList<settings::Difference> found;
    int compared = 0;
    if (index >= 0) {
        int rc = Done;
        const std::optional<KeyValues> unit = readvalues(index, &rc);
        if (!unit)
            return rc;
        // Printed as file, then unit: what was meant, then what is there.
        found = settings::differences(right, only(*unit, right));
        compared = int(right.size());
    } else {
        found = settings::differences(left, right);
        QSet<QString> keys;
        for (const auto& kv : left + right)
            keys.insert(kv.first);
        compared = int(keys.size());
    }

    QByteArray lines;
    for (const settings::Difference& d : found)
        lines += d.key.toUtf8() + '\t' + valuetext(d.left) + '\t' + valuetext(d.right) + '\n';
    if (!common::out(lines)) {
        common::say(QStringLiteral("Не удалось вывести различия"));
        return WrongUse;
    }
    if (found.isEmpty()) {
        common::say(QStringLiteral("Различий нет, сравнено ключей: %1").arg(compared));
        return Done;
    }
    common::say(QStringLiteral("Различаются ключей: %1 из %2").arg(found.size()).arg(compared));
    return Differ;
}

} // namespace cli
