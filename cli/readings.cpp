#include "cli/readings.h"
#include "cli/common.h"

#include "diagnostics/telemetry.h"
#include "link/channel.h"

namespace cli {

std::optional<settings::Readings> takereadings()
{
    const telemetry::Poll p = telemetry::poll();
    if (!p.complete()) {
        // The settings are what the engineer came for: a unit whose poll fails still gets its
        // file, without readings that nobody could vouch for.
        common::say(link::isopen()
                        ? QStringLiteral("Показания не сняты: ответ на опрос %1 байт из %2; "
                                         "файл без раздела [readings]")
                              .arg(p.got)
                              .arg(telemetry::ReplySize)
                        : QStringLiteral("Показания не сняты: связь с устройством потеряна; "
                                         "файл без раздела [readings]"));
        return std::nullopt;
    }
    settings::Readings r;
    for (int i = 0; i < telemetry::Count; ++i)
        r.values[std::size_t(i)] = p.readings[std::size_t(i)];
    r.polledAt = QDateTime::currentDateTime();
    return r;
}

} // namespace cli
