#include "ui/timefmt.h"

namespace {
// Drops the time-zone fields ("t", "tt", ...) and the spaces before them from a QTime format,
// leaving quoted literal text alone.
QString withoutzone(const QString& format)
{
    QString out;
    bool quoted = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            continue;
        }
        if (!quoted && c == QLatin1Char('t')) {
            while (!out.isEmpty() && out.back().isSpace())
                out.chop(1);
            continue;
        }
        out += c;
    }
    return out.trimmed();
}

QString longtime(const QLocale& locale)
{
    QString f = withoutzone(locale.timeFormat(QLocale::LongFormat));
    // Russian desktops write the hour without a leading zero (9:05:07); the common locale
    // data gives it one.
    if (locale.language() == QLocale::Russian && f.startsWith(QLatin1String("HH:")))
        f.remove(0, 1);
    return f;
}
} // namespace

QString timeprefix(const QTime& t, const QLocale& locale)
{
    static const QString cachedFor = locale.name();
    static const QString cachedFormat = longtime(locale);
    const QString format = locale.name() == cachedFor ? cachedFormat : longtime(locale);
    return locale.toString(t, format);
}

QString dateline(const QDate& d, const QLocale& locale)
{
    return locale.toString(d, QLocale::ShortFormat);
}
