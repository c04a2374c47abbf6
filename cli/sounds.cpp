#include "cli/sounds.h"
#include "cli/cli.h"

#include "sound/facts.h"
#include "sound/session.h"

#include <QDir>
#include <QFileInfo>

namespace cli::sounds {

namespace {

QString quoted(const QString& path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

} // namespace

int info(const QStringList& files, const Streams& io)
{
    int rc = Done;
    bool first = true;
    for (const QString& file : files) {
        wav::Sound s;
        const QFileInfo fi(file);
        switch (sound::examine(file, s)) {
        case sound::Opened::Missing:
            io.say(QStringLiteral("Файл ") + quoted(file)
                   + (!fi.exists() ? QStringLiteral(" не найден")
                      : fi.isDir() ? QStringLiteral(" не удалось открыть: это папка, а не файл")
                                   : QStringLiteral(" не удалось открыть: нет прав на чтение")));
            rc = WrongUse;
            continue;
        case sound::Opened::Refused:
            io.say(QStringLiteral("Файл ") + quoted(file) + QStringLiteral(" не принят: ")
                   + sound::refusalreason(s));
            rc = WrongUse;
            continue;
        case sound::Opened::Ok:
            break;
        }
        QString block = first ? QString() : QStringLiteral("\n");
        first = false;
        block += QDir::toNativeSeparators(file) + QLatin1Char('\n');
        for (const QString& line : sound::factlines(s))
            block += line + QLatin1Char('\n');
        if (!io.out(block.toUtf8())) {
            io.say(QStringLiteral("Не удалось вывести сведения о файлах"));
            return WrongUse;
        }
    }
    return rc;
}

void sayfacts(sound::Which which, const QString& file, const wav::Sound& sound, const Streams& io)
{
    io.say(sound::soundname(which) + QStringLiteral(": ") + QDir::toNativeSeparators(file));
    for (const QString& line : sound::factlines(sound))
        io.say(line);
}

bool checkrecord(const QString& path, const Streams& io)
{
    const QString why = sound::checkrecord(path);
    if (why.isEmpty())
        return true;
    io.say(why);
    io.say(QStringLiteral("Запись о звуках (--record) в этот файл невозможна; в блок ничего не отправлено"));
    return false;
}

bool fingerprint(sound::Which which, const QString& file, const wav::Sound& sound,
                 QList<sound::Uploaded>& into, const Streams& io)
{
    sound::Uploaded u;
    u.which = which;
    u.sound = sound;
    const QString why = sound::fingerprint(file, u);
    if (!why.isEmpty()) {
        io.say(why);
        return false;
    }
    into.append(u);
    return true;
}

int writerecord(const QString& path, QList<sound::Uploaded> sounds, const QDateTime& at,
                const Streams& io)
{
    for (sound::Uploaded& u : sounds)
        u.at = at;
    const QString why = sound::writerecord(path, sounds);
    if (!why.isEmpty()) {
        io.say(why);
        io.say(QStringLiteral("Звук записан в блок, но запись о нём в файл ") + quoted(path)
               + QStringLiteral(" не внесена"));
        return WrongUse;
    }
    io.say(QStringLiteral("Запись о звуках внесена в файл ") + quoted(path)
           + QStringLiteral(" (раздел [sounds])"));
    return Done;
}

} // namespace cli::sounds
