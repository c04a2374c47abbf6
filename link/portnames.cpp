#include "link/portnames.h"
#include "link/channel.h"

#include <QDir>
#include <QFileInfo>

namespace link {

QString comname(int index)
{
    return QStringLiteral("COM%1").arg(index + 1);
}

QString portfolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/virelan2/ports");
}

QString portname(int index)
{
    if (index < 0 || index >= PortCount)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM%1").arg(index + 1);
#else
    const QFileInfo link(portfolder() + QLatin1Char('/') + comname(index));
    if (link.isSymLink()) {
        // The exclusive lock goes by path: open the device itself, not the link, so that a
        // second program reaching the same device by another name is still kept out.
        const QString target = link.canonicalFilePath();
        return target.isEmpty() ? link.absoluteFilePath() : target;
    }
    if (index < 8)
        return QStringLiteral("/dev/ttyS%1").arg(index);
    if (index < 24)
        return QStringLiteral("/dev/ttyUSB%1").arg(index - 8);
    return QStringLiteral("/dev/ttyACM%1").arg(index - 24);
#endif
}

} // namespace link
