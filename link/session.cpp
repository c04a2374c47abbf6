#include "link/session.h"
#include "link/commands.h"
#include "link/portnames.h"

namespace link {

namespace {
int lastport = -1;
}

Connection connectunit(int index, Listener& listener)
{
    Connection c;
    closeall();
    c.opened = open(index);
    sendbyte(cmd::End);
    readbyte(); // ends any conversation the unit still had open
    sendbyte(cmd::Start);
    c.reply = readbyte(&c.answered);
    if (c.accepted()) {
        area[Connected] = 1;
        lastport = index;
        listener.note(QStringLiteral(" Соединение установлено"));
        return c;
    }
    area[Connected] = 0;
    if (c.answered)
        listener.note(QStringLiteral(" Ошибка подключения: ") + QString::number(c.reply));
    else if (c.opened == Opened::Busy)
        listener.note(QStringLiteral(" Ошибка подключения: порт ") + comname(index)
                      + QStringLiteral(" занят другой программой или недоступен"));
    else
        listener.note(QStringLiteral(" Ошибка подключения: устройство не отвечает"));
    sendbyte(cmd::End);
    // The port stays open until the next connect, scan or exit.
    return c;
}

QList<int> scanports(Listener& listener)
{
    sendbyte(cmd::End);
    readbyte();
    area[Connected] = 0;
    closeall();
    listener.note(QStringLiteral(" Доступные порты:"));
    QList<int> found;
    for (int n = 1; n <= PortCount; ++n) {
        if (probe(n - 1)) {
            listener.plain(QStringLiteral("\t-> COM") + QString::number(n));
            found.append(n);
        }
    }
    if (found.isEmpty())
        listener.plain(QStringLiteral("\t Доступных COM-портов нет"));
    return found;
}

bool endunit(Listener& listener)
{
    sendbyte(cmd::End);
    bool arrived = false;
    const std::uint8_t reply = readbyte(&arrived);
    const bool ok = arrived && reply == cmd::EndOk;
    listener.note(ok ? QStringLiteral(" OK") : QStringLiteral(" Ошибка"));
    return ok;
}

int connectedport()
{
    return lastport;
}

bool connected()
{
    return area[Connected] == 1;
}

void breakoff(Listener& listener)
{
    if (area[Connected] == 0)
        return;
    area[Connected] = 0;
    listener.note(QStringLiteral(" Связь с устройством прервана, переподключите блок"));
}

} // namespace link
