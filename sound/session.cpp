#include "sound/session.h"
#include "link/channel.h"
#include "link/commands.h"
#include "link/session.h"

#include <QElapsedTimer>
#include <QFile>

#include <QList>

namespace sound {

namespace {

QFile& handleof(Which which)
{
    return which == Which::Ppk2 ? link::soundfile2() : link::soundfile1();
}

int bufferof(Which which)
{
    return which == Which::Ppk2 ? link::Sound2 : link::Sound1;
}

// Reads single bytes, dropping every other one, until the awaited byte really arrives.  The
// stale byte that an empty read leaves in the receive area never ends the wait; the limit is
// counted from the wait's start.
Outcome await(std::uint8_t wanted, int limitMs)
{
    QElapsedTimer t;
    t.start();
    do {
        bool arrived = false;
        const std::uint8_t b = link::readbyte(&arrived);
        if (arrived && b == wanted)
            return Outcome::Done;
        if (!link::isopen())
            return Outcome::LineLost;
    } while (t.elapsed() < limitMs);
    return Outcome::Silent;
}

Outcome handshake(std::uint8_t command, const QList<quint32>& counts)
{
    link::sendbyte(command);
    const Outcome o = await(cmd::Ready, ReadyMs);
    if (o != Outcome::Done)
        return o;
    for (quint32 c : counts) {
        link::sendbyte(std::uint8_t(c >> 8));
        link::sendbyte(std::uint8_t(c));
    }
    return await(cmd::CountsOk, CountsMs);
}

struct Part {
    Which which;
    quint32 blocks;
    QString title; // the log line before its blocks
};

// Sends the blocks of one file, each acknowledged.  `last`: no blocks follow this file's, so a
// stop asked for after its final block comes too late to save anything.
Outcome sendblocks(const Part& part, bool last, link::Listener& listener, QString& why)
{
    QFile& file = handleof(part.which);
    std::uint8_t* block = &link::area[bufferof(part.which)];
    listener.filestart(part.blocks);
    listener.note(part.title);
    for (quint32 i = 0; i < part.blocks; ++i) {
        if (file.read(reinterpret_cast<char*>(block), wav::BlockSize) != wav::BlockSize)
            return Outcome::FileError;
        link::writeblock(block);
        Outcome o = await(cmd::Ready, ReceivedMs);
        if (o == Outcome::Done)
            o = await(cmd::Stored, StoredMs);
        if (o != Outcome::Done)
            return o;
        listener.blockdone(i + 1, part.blocks);
        if (last && i + 1 == part.blocks)
            break;
        why = listener.stopasked();
        if (!why.isEmpty())
            return Outcome::Stopped;
    }
    return Outcome::Done;
}

QString failuretext(Outcome o, Which which, const QString& why)
{
    switch (o) {
    case Outcome::Silent:
        return QStringLiteral(" Устройство не отвечает, запись прервана");
    case Outcome::LineLost:
        return QStringLiteral(" Связь с устройством потеряна, запись прервана");
    case Outcome::Stopped:
        return why;
    case Outcome::FileError:
        return QStringLiteral(" Ошибка чтения файла ") + soundname(which)
            + QStringLiteral(", запись прервана");
    case Outcome::Done:
        break;
    }
    return {};
}

// One transfer: the command, its counts, then the blocks of every part in turn.  A transfer
// that stops after its command byte went out leaves the unit expecting sound, so the
// conversation counts as broken.
Outcome transfer(std::uint8_t command, const QString& connecting, const QList<Part>& parts,
                 const QString& done, link::Listener& listener)
{
    listener.note(connecting);
    QList<quint32> counts;
    for (const Part& p : parts)
        counts.append(p.blocks);
    Outcome o = handshake(command, counts);
    Which failed = parts.first().which;
    QString why;
    if (o == Outcome::Done) {
        listener.note(QStringLiteral(" Успешно"));
        for (int i = 0; i < parts.size() && o == Outcome::Done; ++i) {
            failed = parts[i].which;
            // Only blocks still to come make a stop worth its while.
            bool last = true;
            for (int j = i + 1; j < parts.size(); ++j)
                last = last && parts[j].blocks == 0;
            o = sendblocks(parts[i], last, listener, why);
            if (o == Outcome::Done)
                listener.note(done);
        }
    }
    link::soundfile1().close();
    link::soundfile2().close();
    if (o != Outcome::Done) {
        listener.note(failuretext(o, failed, why));
        link::breakoff(listener);
    }
    return o;
}

} // namespace

QString soundname(Which which)
{
    switch (which) {
    case Which::Ppk1:
        return QStringLiteral("PPK1.WAV");
    case Which::Ppk2:
        return QStringLiteral("PPK2.WAV");
    case Which::Siren:
        break;
    }
    return QStringLiteral("SIREN.WAV");
}

namespace {

// Reads the file's header into the buffer given (when there is one) and finds its sound data;
// the file is left at the start of the sound, or closed when it cannot be taken.
Opened take(QFile& file, const QString& name, std::uint8_t* header, wav::Sound& sound)
{
    file.close();
    if (name.isEmpty())
        return Opened::Missing;
    file.setFileName(name);
    if (!file.open(QIODevice::ReadOnly))
        return Opened::Missing;
    if (header)
        file.read(reinterpret_cast<char*>(header), wav::HeaderSize);
    sound = wav::inspect(file);
    if (sound.problem != wav::Problem::None || !file.seek(sound.offset)) {
        if (sound.problem == wav::Problem::None)
            sound.problem = wav::Problem::NoData;
        file.close();
        return Opened::Refused;
    }
    return Opened::Ok;
}

} // namespace

Opened openwav(Which which, const QString& name, wav::Sound& sound)
{
    return take(handleof(which), name, &link::area[bufferof(which)], sound);
}

Opened examine(const QString& name, wav::Sound& sound)
{
    QFile file;
    return take(file, name, nullptr, sound);
}

QString missingtext(Which which)
{
    switch (which) {
    case Which::Ppk1:
        return QStringLiteral(" Файл PPK1.WAV не найден");
    case Which::Ppk2:
        return QStringLiteral(" Файл PPK2.wav не найден");
    case Which::Siren:
        break;
    }
    return QStringLiteral("Файл SIREN.wav не найден");
}

QString refusalreason(const wav::Sound& sound)
{
    switch (sound.problem) {
    case wav::Problem::None:
    case wav::Problem::NotWave:
        break;
    case wav::Problem::NoData:
        return QStringLiteral("в нём нет звуковых данных");
    case wav::Problem::ShortData:
        // A file written as a stream and never finished states a length it does not hold.
        return QStringLiteral("звуковых данных в нём меньше, чем указано в заголовке "
                              "(указано %1 байт, в файле %2)")
            .arg(sound.length)
            .arg(sound.present);
    case wav::Problem::ZeroLength:
        // It would send no block and report success.
        return QStringLiteral("в заголовке длина звука 0, а за ним в файле ещё %1 байт "
                              "(длина звука не записана в заголовок)")
            .arg(sound.present);
    case wav::Problem::TooLong:
        return QStringLiteral("звук длиннее 65535 блоков");
    }
    return QStringLiteral("это не звуковой файл WAV");
}

QString refusaltext(Which which, const wav::Sound& sound)
{
    return QStringLiteral(" Файл ") + soundname(which) + QStringLiteral(" не принят: ")
        + refusalreason(sound);
}

Outcome uploadmessages(const wav::Sound& ppk1, const wav::Sound& ppk2, link::Listener& listener)
{
    return transfer(cmd::Messages, QStringLiteral(" Соединение с устройством..."),
                    {{Which::Ppk1, ppk1.blocks, QStringLiteral(" Запись PPK1")},
                     {Which::Ppk2, ppk2.blocks, QStringLiteral(" Запись PPK2")}},
                    QStringLiteral(" Записано"), listener);
}

Outcome uploadsiren(const wav::Sound& siren, link::Listener& listener)
{
    return transfer(cmd::Siren, QStringLiteral(" Соединение с устройством ..."),
                    {{Which::Siren, siren.blocks, QStringLiteral(" Запись SIREN")}},
                    QStringLiteral(" Успешно"), listener);
}

} // namespace sound
