#include "settings/session.h"
#include "link/channel.h"
#include "link/commands.h"
#include "link/portnames.h"
#include "link/session.h"

#include <QThread>

#include <cstring>
#include <optional>

namespace settings {

namespace {

// The image as the last complete settings read delivered it.  The receive area cannot serve:
// every later reply (a telemetry poll, a one-byte answer) lands over its first bytes.
std::optional<Reading> last;

} // namespace

void pause()
{
    QThread::msleep(PauseMs);
}

Reading readunit(link::Listener& listener)
{
    listener.note(QStringLiteral(" Ждите..."));
    link::sendbyte(cmd::Read);
    pause();
    Reading r;
    r.got = link::readimage();
    r.at = QDateTime::currentDateTime();
    r.port = link::connectedport();
    if (!r.complete()) {
        // Whatever the receive area holds now is not the unit's settings: showing it would
        // invite a write that sends those stale bytes to the unit as its configuration.
        last.reset();
        listener.note(QStringLiteral(" Нет ответа от блока"));
        return r;
    }
    std::memcpy(r.image, &link::area[link::Rx], ImageSize);
    r.decoded = decode(r.image);
    link::area[link::NewFirmware] = r.decoded.newFirmware ? 1 : 0;
    r.sumok = !r.decoded.newFirmware || imagesum(r.image) == r.image[SumIndex];
    last = r;
    listener.note(QStringLiteral(" Прочитано"));
    if (!r.sumok)
        listener.note(QStringLiteral(" Контрольная сумма не совпадает"));
    return r;
}

const Reading* lastgood()
{
    return last ? &*last : nullptr;
}

void forget()
{
    last.reset();
}

UnitInfo unitinfo(const Reading& r)
{
    UnitInfo u;
    u.firmware = r.decoded.firmware;
    // A code without a name leaves the window's field as the blanking before a read left it.
    u.type = r.decoded.deviceType.isNull() ? QStringLiteral("-- --") : r.decoded.deviceType;
    u.startups = r.decoded.startups;
    u.port = r.port >= 0 ? link::comname(r.port) : QString();
    u.readAt = r.at;
    return u;
}

Written writeunit(const Fields& fields, link::Listener& listener)
{
    if (!last) {
        // The fields the tool does not write would have to be made up (or come from another
        // unit): write only over settings this unit has sent.
        listener.note(QStringLiteral(" Запись невозможна: настройки блока не прочитаны"));
        return Written::NotRead;
    }
    // Everything is converted before the unit hears "S": a field that cannot go into the
    // image raises here, and the unit is not left waiting for an image that never comes.
    std::uint8_t image[ImageSize];
    std::memcpy(image, last->image, ImageSize);
    encode(fields, image);

    link::sendbyte(cmd::Write);
    std::uint8_t* rx = &link::area[link::Rx];
    std::memcpy(rx, image, ImageSize);
    listener.imageready();
    link::writeblock(rx);
    listener.note(QStringLiteral(" Запись настроек..."));
    pause();

    if (link::area[link::NewFirmware] == 1) {
        // Only a "[" that arrived is a refusal; the stale byte left by silence is no answer.
        bool arrived = false;
        const std::uint8_t reply = link::readbyte(&arrived);
        if (arrived && reply == cmd::Refused) {
            listener.note(QStringLiteral(" Ошибка Записи"));
            return Written::Refused;
        }
    }
    listener.note(QStringLiteral(" Записано."));
    return Written::Done;
}

} // namespace settings
