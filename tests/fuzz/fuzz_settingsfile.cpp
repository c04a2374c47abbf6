// Settings files: whatever the bytes, a file is either refused with a message that names it, or
// taken whole; what is taken holds only values its keys allow, and written out and read again
// onto other fields it gives the same numbers.  The same bytes as one KEY=VALUE of the command
// line are likewise refused or taken within range.
#include "settings/settingsfile.h"
#include "settings/strtoint.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "settings file: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

settings::Fields factory()
{
    settings::Fields f;
    f.address = f.zone = QStringLiteral("1");
    f.boardDrift = f.lineDrift = f.signalLeave = f.levelShort = f.levelBreak = f.levelTrigger
        = f.currentLeave = f.lineShort = QStringLiteral("30");
    for (bool& b : f.relay)
        b = true;
    f.flashSpeed = 10;
    f.frequency = 51;
    f.volume = 12;
    return f;
}

// The numbers of fields that were taken: refusing them now would mean something out of range
// got in.
QList<std::pair<QString, int>> numbers(const settings::Fields& f)
{
    if (f.flashSpeed < settings::FlashSpeedMin || f.flashSpeed > settings::FlashSpeedMax
        || f.frequency < settings::FrequencyMin || f.frequency > settings::FrequencyMax
        || f.volume < settings::VolumeMin || f.volume > settings::VolumeMax)
        fail("a bar out of its range was taken");
    try {
        return settings::keyvalues(f);
    } catch (const settings::ConvertError& e) {
        fail("a number that does not fit was taken", e.message());
    }
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail("cannot write the scratch file");
}

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = scratch().filePath(QStringLiteral("in.ini"));
    const QString again = scratch().filePath(QStringLiteral("again.ini"));
    write(path, bytes);

    const settings::Fields base = factory();
    settings::Fields taken;
    try {
        taken = settings::loadfile(path, base);
    } catch (const settings::FileError& e) {
        if (!e.message().startsWith(QStringLiteral("Файл \"") + path + QLatin1Char('"')))
            fail("a refusal that does not name its file", e.message());
        taken = base;
    }
    const auto kv = numbers(taken);
    try {
        write(again, settings::filetext(taken)); // savefile's sync to disk would slow the run
        if (settings::keyvalues(settings::loadfile(again, settings::Fields())) != kv)
            fail("written and read again, the numbers changed");
    } catch (const settings::FileError& e) {
        fail("a file of our own was refused", e.message());
    }

    // A file written over this one carries its [sounds] (as savefile does it): kept again from
    // that file, the section comes out the same, however often the unit is read into it.
    const QByteArray sounds = settings::keptsection(bytes, "sounds");
    if (!sounds.isEmpty()) {
        const QByteArray over = settings::filetext(taken) + '\n' + sounds;
        if (settings::keptsection(over, "sounds") != sounds)
            fail("[sounds] changed on its way into a new file", QString::fromUtf8(sounds));
    }

    try {
        numbers(settings::setkey(base, QString::fromUtf8(bytes)));
    } catch (const settings::FileError&) {
    }
    return 0;
}
