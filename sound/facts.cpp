#include "sound/facts.h"

namespace sound {

namespace {

const QString Unknown = QStringLiteral("неизвестно");

// Seconds with a decimal comma as in the rest of the Russian texts, to the millisecond or to a
// tenth; from a minute on also as minutes and seconds.
QString seconds(qint64 ms, bool tenthsonly)
{
    QString s;
    if (tenthsonly) {
        const qint64 tenths = (ms + 50) / 100;
        s = QStringLiteral("%1,%2 с").arg(tenths / 10).arg(tenths % 10);
    } else {
        s = QStringLiteral("%1,%2 с").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
    }
    if (ms >= 60000) {
        const qint64 whole = (ms + 500) / 1000;
        s += QStringLiteral(" (%1:%2)").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    }
    return s;
}

} // namespace

qint64 linetimems(quint32 blocks)
{
    const qint64 bits = qint64(blocks) * BlockLineBytes * 10;
    return (bits * 1000 + LineBaud / 2) / LineBaud;
}

qint64 durationms(const wav::Sound& sound)
{
    if (!sound.format.known || sound.format.byteRate == 0)
        return -1;
    const qint64 rate = sound.format.byteRate;
    return (qint64(sound.length) * 1000 + rate / 2) / rate;
}

QString formatvalue(const wav::Format& format)
{
    if (!format.known)
        return QString();
    return format.code == wav::Pcm ? QStringLiteral("PCM") : QString::number(format.code);
}

QStringList factlines(const wav::Sound& sound)
{
    const wav::Format& f = sound.format;
    const auto known = [&f](const QString& text) { return f.known ? text : Unknown; };
    const qint64 ms = durationms(sound);
    return {
        QStringLiteral("  формат: ")
            + known(f.code == wav::Pcm ? QStringLiteral("PCM")
                                       : QStringLiteral("код %1 (не PCM)").arg(f.code)),
        QStringLiteral("  частота дискретизации: ") + known(QStringLiteral("%1 Гц").arg(f.rate)),
        QStringLiteral("  разрядность: ") + known(QStringLiteral("%1 бит").arg(f.bits)),
        QStringLiteral("  каналов: ") + known(QString::number(f.channels)),
        QStringLiteral("  длительность: ") + (ms < 0 ? Unknown : seconds(ms, false)),
        QStringLiteral("  блоков: %1").arg(sound.blocks)
            + (sound.blocks == 0 ? QStringLiteral(" (звука меньше блока: в блок он не попадёт)") : QString()),
        QStringLiteral("  время записи на линии %1 бод: ").arg(LineBaud)
            + seconds(linetimems(sound.blocks), true),
    };
}

} // namespace sound
