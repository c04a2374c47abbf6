#include "cli/cli.h"

#include "diagnostics/telemetry.h"
#include "link/channel.h"
#include "link/portnames.h"
#include "link/session.h"
#include "settings/session.h"
#include "settings/settingsfile.h"
#include "settings/strtoint.h"
#include "sound/session.h"
#include "cli/console.h"
#include "cli/common.h"
#include "cli/diff.h"
#include "cli/readings.h"
#include "cli/sounds.h"
#include "cli/report.h"
#include "settings/report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QTranslator>

#include <algorithm>
#include <functional>
#include <optional>

namespace cli {

namespace {

// ---------------------------------------------------------------------------------------------
// The two streams

// Standard output: data, flushed at once so that a reader sees every row as it comes.  False
// when the bytes could not be written (the reader has gone away).
bool out(const QByteArray& bytes)
{
    return console::write(console::Stream::Out, bytes);
}

// Characters of the progress bar that stands on the terminal's current line, 0 when none.
int barwidth = 0;

void err(const QByteArray& bytes)
{
    console::write(console::Stream::Err, bytes);
}

// A message on standard error, one line; a progress bar standing on the line is wiped first.
void say(const QString& line)
{
    QByteArray b;
    if (barwidth > 0)
        b = '\r' + QByteArray(barwidth, ' ') + '\r';
    barwidth = 0;
    err(b + line.toUtf8() + '\n');
}

// The conversation's log lines, without the time prefix and the space that follows it.
class Printer : public link::Listener {
public:
    void note(const QString& text) override { say(text.trimmed()); }
    void plain(const QString& text) override { say(text.trimmed()); }
};

// Keeps the log lines for the caller to choose from.
class Keeper : public link::Listener {
public:
    QStringList notes;
    void note(const QString& text) override { notes.append(text.trimmed()); }
    void plain(const QString& text) override { notes.append(text.trimmed()); }
};

QString mmss(qint64 ms)
{
    const qint64 s = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// An upload's progress over all its files: on a terminal one line redrawn with a bar, the
// blocks sent and the time left; into a file or a pipe a whole line at every tenth, so that
// the log of a script stays readable.  Ctrl+C asks the upload to stop at the next block.
class UploadPrinter : public Printer {
public:
    UploadPrinter(quint32 total, bool terminal) : total_(total), terminal_(terminal) {}

    void filestart(quint32) override
    {
        if (!clock_.isValid())
            clock_.start();
    }

    void blockdone(quint32, quint32) override
    {
        ++done_;
        if (terminal_)
            drawbar();
        else
            printstep();
    }

    QString stopasked() override
    {
        return console::interrupted() ? QStringLiteral(" Запись прервана оператором") : QString();
    }

private:
    QString left() const
    {
        const qint64 spent = clock_.elapsed();
        return mmss(spent * qint64(total_ - done_) / qint64(done_));
    }

    void drawbar()
    {
        // A redraw for every block would flood a slow terminal when the unit is quick.
        if (done_ < total_ && drawn_.isValid() && drawn_.elapsed() < 100)
            return;
        drawn_.start();
        constexpr int Width = 30;
        const int full = int(qint64(done_) * Width / total_);
        const QString line = QLatin1Char('[') + QString(full, QLatin1Char('#'))
            + QString(Width - full, QLatin1Char('.')) + QStringLiteral("] %1 %  блоков %2 из %3, осталось %4")
                  .arg(qint64(done_) * 100 / total_, 3)
                  .arg(done_)
                  .arg(total_)
                  .arg(left());
        QByteArray b = '\r' + line.toUtf8();
        const int width = int(line.size());
        if (width < barwidth)
            b += QByteArray(barwidth - width, ' ');
        barwidth = std::max(barwidth, width);
        err(b);
    }

    void printstep()
    {
        const quint32 step = quint32(qint64(done_) * 10 / total_);
        if (step <= step_)
            return;
        step_ = step;
        say(QStringLiteral("Отправлено %1 % (блоков %2 из %3), осталось %4")
                .arg(qint64(done_) * 100 / total_)
                .arg(done_)
                .arg(total_)
                .arg(left()));
    }

    quint32 total_;
    bool terminal_;
    quint32 done_ = 0;
    quint32 step_ = 0;
    QElapsedTimer clock_;
    QElapsedTimer drawn_;
};

// ---------------------------------------------------------------------------------------------
// The conversation

// "COMn" with n from 1 to 40, as the window's port list names them; -1 for anything else.
int portindex(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^COM([1-9][0-9]?)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    if (!m.hasMatch())
        return -1;
    const int n = m.captured(1).toInt();
    return n >= 1 && n <= link::PortCount ? n - 1 : -1;
}

// Opens the conversation ("Z", "U" and its "W").  A port that does not exist or cannot be
// opened is named as such: the window's line for it speaks of a silent unit.
bool begin(int index)
{
    Keeper keeper;
    const link::Connection c = link::connectunit(index, keeper);
    const QString where = link::comname(index) + QStringLiteral(" (")
        + QDir::toNativeSeparators(link::portname(index)) + QLatin1Char(')');
    if (!c.answered && c.opened == link::Opened::NoPort)
        say(QStringLiteral("Ошибка подключения: порт ") + where + QStringLiteral(" не найден"));
    else if (!c.answered && c.opened == link::Opened::Failed)
        say(QStringLiteral("Ошибка подключения: порт ") + where + QStringLiteral(" не открывается"));
    else
        for (const QString& n : keeper.notes)
            say(n);
    return c.accepted();
}

// "Z" at the end, while the conversation stands (a stopped upload has broken it off).
void finish()
{
    if (!link::connected())
        return;
    Keeper keeper;
    link::endunit(keeper);
    for (const QString& n : keeper.notes)
        say(QStringLiteral("Завершение связи: ") + n);
}

// A settings read the work can go on from; a failure has been said.
bool goodread(const settings::Reading& r)
{
    // The listener has said both: " Нет ответа от блока", " Контрольная сумма не совпадает".
    return r.complete() && r.sumok;
}

// The fields as the window's bars would show them: a bar holds only positions of its range.
settings::Fields asshown(settings::Fields f)
{
    f.flashSpeed = std::clamp(f.flashSpeed, settings::FlashSpeedMin, settings::FlashSpeedMax);
    f.frequency = std::clamp(f.frequency, settings::FrequencyMin, settings::FrequencyMax);
    f.volume = std::clamp(f.volume, settings::VolumeMin, settings::VolumeMax);
    return f;
}

int stopped()
{
    say(QStringLiteral("Остановлено (Ctrl+C)"));
    return Interrupted;
}

// The unit's settings, read in a conversation of their own.  `during` runs after a good read
// while the conversation still stands, unless Ctrl+C came first.  Nothing, with the exit status
// in *rc and the reason said, when the read cannot be worked from.
std::optional<settings::Reading> readsettings(int index, int* rc, const std::function<void()>& during)
{
    if (console::interrupted()) {
        *rc = stopped();
        return std::nullopt;
    }
    if (!begin(index)) {
        *rc = UnitFailed;
        return std::nullopt;
    }
    Printer printer;
    std::optional<settings::Reading> r;
    if (!console::interrupted())
        r = settings::readunit(printer);
    if (during && r && goodread(*r) && !console::interrupted())
        during();
    finish();
    if (console::interrupted()) {
        *rc = stopped();
        return std::nullopt;
    }
    if (!goodread(*r)) {
        *rc = UnitFailed;
        return std::nullopt;
    }
    return r;
}

// ---------------------------------------------------------------------------------------------
// The commands

int cmdports()
{
    Keeper quiet; // the list itself is the output
    const QList<int> found = link::scanports(quiet);
    if (console::interrupted())
        return stopped();
    QByteArray list;
    for (int n : found)
        list += link::comname(n - 1).toUtf8() + '\t'
            + QDir::toNativeSeparators(link::portname(n - 1)).toUtf8() + '\n';
    if (found.isEmpty())
        say(QStringLiteral("Доступных COM-портов нет"));
    if (!out(list)) {
        say(QStringLiteral("Не удалось вывести список портов"));
        return WrongUse;
    }
    return Done;
}

// A file that cannot be written is found before the unit is asked anything.
bool canwrite(const QString& path)
{
    const QString name = QStringLiteral("Файл \"") + QDir::toNativeSeparators(path) + QLatin1Char('"');
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        say(name + settings::fileproblem(path, true));
        return false;
    }
    f.cancelWriting();
    // An earlier file's [sounds] is carried into the new one, so it must be readable too.
    QFile earlier(path);
    if (QFileInfo(path).isFile() && !earlier.open(QIODevice::ReadOnly)) {
        say(name + settings::fileproblem(path, false));
        return false;
    }
    return true;
}

int cmdread(int index, const QString& file, bool withreadings)
{
    if (!file.isEmpty() && !canwrite(file))
        return WrongUse;
    std::optional<settings::Readings> readings;
    int rc = Done;
    const std::optional<settings::Reading> r = readsettings(index, &rc, [&] {
        if (withreadings)
            readings = takereadings();
    });
    if (!r)
        return rc;
    try {
        if (file.isEmpty()) {
            if (!out(settings::filetext(r->decoded.fields, settings::unitinfo(*r), readings))) {
                say(QStringLiteral("Не удалось вывести настройки"));
                return WrongUse;
            }
        } else {
            // Written only now, whole or not at all: a failed read has left an earlier file
            // as it was.
            settings::savefile(file, r->decoded.fields, settings::unitinfo(*r), readings);
            say(QStringLiteral("Настройки сохранены в файл \"") + QDir::toNativeSeparators(file)
                + QLatin1Char('"'));
        }
    } catch (const settings::FileError& e) {
        say(e.message());
        return WrongUse;
    } catch (const settings::ConvertError& e) {
        say(e.message());
        return UnitFailed;
    }
    return Done;
}

// What a write changes, key by key.
void listchanges(const settings::Fields& before, const settings::Fields& after)
{
    const auto was = settings::keyvalues(before);
    const auto will = settings::keyvalues(after);
    QStringList lines;
    for (int i = 0; i < was.size(); ++i)
        if (was[i].second != will[i].second)
            lines.append(QStringLiteral("  %1: %2 -> %3").arg(was[i].first).arg(was[i].second).arg(will[i].second));
    if (lines.isEmpty()) {
        say(QStringLiteral("Изменяемых полей нет: блок получит те же значения"));
        return;
    }
    say(QStringLiteral("Изменяемые поля:"));
    for (const QString& l : lines)
        say(l);
}

// The file's keys and then the --set ones over fields; FileError names the file or the key.
settings::Fields applied(settings::Fields fields, const QString& file, const QStringList& sets)
{
    if (!file.isEmpty())
        fields = settings::loadfile(file, fields);
    for (const QString& s : sets)
        fields = settings::setkey(fields, s);
    return fields;
}

// Reads the unit, writes it with the changes, takes the verdict and reads it back.
int writeover(const QString& file, const QStringList& sets, bool factory)
{
    Printer printer;
    if (console::interrupted())
        return stopped();
    const settings::Reading r = settings::readunit(printer);
    if (!goodread(r)) {
        if (r.complete())
            say(QStringLiteral("Запись не выполнена: настройки блока прочитаны с ошибкой"));
        return UnitFailed;
    }
    const settings::Fields before = asshown(r.decoded.fields);
    settings::Fields after;
    try {
        after = applied(factory ? settings::factoryfields() : before, file, sets);
    } catch (const settings::FileError& e) {
        say(e.message());
        return WrongUse;
    }
    listchanges(before, after);
    if (console::interrupted())
        return stopped();

    settings::Written w;
    try {
        w = settings::writeunit(after, printer);
    } catch (const settings::ConvertError& e) {
        say(e.message());
        return WrongUse;
    }
    if (w != settings::Written::Done)
        return UnitFailed; // " Ошибка Записи" has been said
    if (console::interrupted()) {
        say(QStringLiteral("Записано, но не проверено чтением"));
        return stopped();
    }

    printer.note(QStringLiteral(" Чтение настроек..."));
    const settings::Reading back = settings::readunit(printer);
    if (!goodread(back))
        return UnitFailed;
    const auto written = settings::keyvalues(after);
    const auto got = settings::keyvalues(back.decoded.fields);
    bool same = true;
    for (int i = 0; i < written.size(); ++i) {
        if (written[i].second == got[i].second)
            continue;
        if (same)
            say(QStringLiteral("Прочитанное не совпадает с записанным:"));
        same = false;
        say(QStringLiteral("  %1: записано %2, прочитано %3")
                .arg(written[i].first)
                .arg(written[i].second)
                .arg(got[i].second));
    }
    if (!same)
        return UnitFailed;
    say(QStringLiteral("Записанное подтверждено чтением"));
    return console::interrupted() ? stopped() : Done;
}

int cmdwrite(int index, const QString& file, const QStringList& sets, bool factory)
{
    // Every key and value is checked before the unit hears anything.
    try {
        applied(settings::Fields{}, file, sets);
    } catch (const settings::FileError& e) {
        say(e.message());
        return WrongUse;
    }
    if (console::interrupted())
        return stopped();
    if (!begin(index))
        return UnitFailed;
    const int rc = writeover(file, sets, factory);
    finish();
    return rc;
}

// Opens the sound's file as the window does; false (said why) when it cannot be taken.
bool takewav(sound::Which which, const QString& name, wav::Sound& s)
{
    const QString where = QStringLiteral(": ") + QDir::toNativeSeparators(name);
    switch (sound::openwav(which, name, s)) {
    case sound::Opened::Missing:
        say(sound::missingtext(which).trimmed() + where);
        return false;
    case sound::Opened::Refused:
        say(sound::refusaltext(which, s).trimmed() + where);
        return false;
    case sound::Opened::Ok:
        break;
    }
    return true;
}

const sounds::Streams Io{out, say};

int cmdupload(int index, const QStringList& files, bool siren, const QString& record)
{
    const QList<sound::Which> which = siren ? QList<sound::Which>{sound::Which::Siren}
                                            : QList<sound::Which>{sound::Which::Ppk1, sound::Which::Ppk2};
    // Refused before anything is sent.  Connecting closes the files; they are opened again
    // once the unit has answered.
    for (int i = 0; i < which.size(); ++i) {
        wav::Sound s;
        if (!takewav(which[i], files[i], s)) {
            link::closeall();
            return WrongUse;
        }
        sounds::sayfacts(which[i], files[i], s, Io);
    }
    link::closeall();
    if (!record.isEmpty() && !sounds::checkrecord(record, Io))
        return WrongUse;
    if (console::interrupted())
        return stopped();
    if (!begin(index))
        return UnitFailed;

    Printer printer;
    if (siren) {
        // The window offers the siren only after a read from old firmware: new firmware has its
        // siren sound of its own.
        const settings::Reading r = settings::readunit(printer);
        if (!r.complete()) {
            finish();
            return UnitFailed;
        }
        if (r.decoded.newFirmware) {
            say(QStringLiteral("Запись сирены недоступна: блок с прошивкой ") + r.decoded.firmware
                + QStringLiteral(" не принимает звук сирены"));
            finish();
            return UnitFailed;
        }
    }
    if (console::interrupted()) {
        finish();
        return stopped();
    }

    QList<wav::Sound> sounds;
    QList<sound::Uploaded> uploaded;
    quint32 total = 0;
    for (int i = 0; i < which.size(); ++i) {
        wav::Sound s;
        if (!takewav(which[i], files[i], s)
            || (!record.isEmpty() && !sounds::fingerprint(which[i], files[i], s, uploaded, Io))) {
            link::soundfile1().close();
            link::soundfile2().close();
            finish();
            return WrongUse;
        }
        sounds.append(s);
        total += s.blocks;
    }
    UploadPrinter progress(total, console::isterminal(console::Stream::Err));
    const sound::Outcome o = siren ? sound::uploadsiren(sounds[0], progress)
                                   : sound::uploadmessages(sounds[0], sounds[1], progress);
    if (o != sound::Outcome::Done) {
        // The unit may take whatever it hears next as sound: no "Z" goes to it.
        return o == sound::Outcome::Stopped ? Interrupted : UnitFailed;
    }
    // Every block acknowledged: the sound is in the unit, whatever comes next.
    const QDateTime at = QDateTime::currentDateTime();
    finish();
    if (!record.isEmpty() && sounds::writerecord(record, uploaded, at, Io) != Done)
        return WrongUse;
    // A Ctrl+C that came with the last block came too late to stop anything: the unit has
    // acknowledged every block, so the sound is stored and the upload has succeeded.
    return Done;
}

int cmdwatch(int index, int interval, int count)
{
    if (console::interrupted())
        return stopped();
    if (!begin(index))
        return UnitFailed;
    int rc = Done;
    if (out("time,ppk1,ppk2,gochs,adc,light,power\n")) {
        QElapsedTimer clock;
        clock.start();
        qint64 next = 0;
        int rows = 0;
        while (count == 0 || rows < count) {
            // Ctrl+C is noticed within a few milliseconds while waiting for the next poll.
            while (!console::interrupted() && clock.elapsed() < next)
                QThread::msleep(quint32(std::min<qint64>(next - clock.elapsed(), 10)));
            if (console::interrupted())
                break;
            // A poll that took longer than the interval is followed by the next at once; the
            // ticks it missed are not made up.
            next = std::max(next + interval, clock.elapsed());
            const telemetry::Poll p = telemetry::poll();
            if (!link::isopen()) {
                say(QStringLiteral("Связь с устройством потеряна"));
                rc = UnitFailed;
                break;
            }
            if (!p.complete()) {
                say(QStringLiteral("Неполный ответ на опрос: %1 байт из %2")
                        .arg(p.got)
                        .arg(telemetry::ReplySize));
                continue;
            }
            const QDateTime now = QDateTime::currentDateTime();
            QByteArray row = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
            for (std::uint16_t v : p.readings)
                row += ',' + QByteArray::number(v);
            // A reader that has gone away (the end of a pipe) ends the watch like Ctrl+C.
            if (!out(row + '\n'))
                break;
            ++rows;
        }
    }
    finish();
    return rc;
}

// ---------------------------------------------------------------------------------------------
// The command line

// The parser's own words in the language of the rest.
class ParserTexts : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, "QCommandLineParser") != 0)
            return {};
        static const char* const texts[][2] = {
            {"Usage: %1", "Использование: %1"},
            {"Options:", "Параметры:"},
            {"Arguments:", "Аргументы:"},
            {"[options]", "[параметры]"},
            {"Unknown option '%1'.", "Неизвестный параметр \"%1\"."},
            {"Unknown options: %1.", "Неизвестные параметры: %1."},
            {"Missing value after '%1'.", "Нет значения после \"%1\"."},
            {"Unexpected value after '%1'.", "Лишнее значение после \"%1\"."},
        };
        for (const auto& t : texts)
            if (qstrcmp(source, t[0]) == 0)
                return QString::fromUtf8(t[1]);
        return {};
    }
};

struct Command {
    const char* name;
    const char* args;    // the positional arguments after the name, as the usage line shows them
    const char* summary;
    int least, most;     // how many positional arguments it takes
};

const Command Commands[] = {
    {"ports", "", "Доступные COM-порты, по одному в строке: COMn<TAB>устройство.", 0, 0},
    {"read", "COMn [ФАЙЛ] [--no-readings]",
     "Прочитать настройки блока и его показания в файл настроек (без ФАЙЛА - на стандартный "
     "вывод).", 1, 2},
    {"write", "COMn [ФАЙЛ] [--set КЛЮЧ=ЗНАЧЕНИЕ]...",
     "Прочитать блок, заменить ключи из ФАЙЛА и --set, записать и проверить чтением.", 1, 2},
    {"factory", "COMn",
     "Записать в блок значения кнопки \"Заводские настройки\" и проверить чтением.", 1, 1},
    {"upload", "COMn PPK1.wav PPK2.wav [--record ФАЙЛ]",
     "Записать в блок звуковые сообщения ППК1 и ППК2; --record вносит их в файл настроек.", 3, 3},
    {"siren", "COMn SIREN.wav [--record ФАЙЛ]",
     "Записать в блок звук сирены (только старая прошивка); --record вносит его в файл настроек.", 2, 2},
    {"info", "ФАЙЛ.wav...", "Что говорит заголовок звуковых файлов; без блока.", 1, 1 << 20},
    {"watch", "COMn [--interval МС] [--count N]",
     "Опрашивать показания блока; CSV на стандартный вывод до N строк или до Ctrl+C.", 1, 1},
    {"diff", "COMn ФАЙЛ | ФАЙЛ1 ФАЙЛ2",
     "Сравнить блок с файлом настроек (или два файла); различия: ключ<TAB>файл<TAB>блок.", 2, 2},
    {"report", "ФАЙЛ... -o ОТЧЁТ.pdf [--title ТЕКСТ]",
     "Отчёт для приёмки в PDF (A4) по файлам настроек блоков; блок не нужен.", 1, 100000},
};

const char* const ExitCodes =
    "Коды завершения:\n"
    "  0    выполнено\n"
    "  1    ошибка блока: нет ответа, отказ в подключении, контрольная сумма, отказ в записи,\n"
    "       прочитанное не совпадает с записанным, запись звука прервана\n"
    "  2    неверный вызов, или файл отклонён до обмена с блоком; после записи звука с --record:\n"
    "       звук в блоке, но файл записи не записан\n"
    "  3    diff: блок и файл (или два файла) различаются\n"
    "  130  остановлено по Ctrl+C (начатый обмен доводится до конца)\n";

QString programhelp()
{
    QString s = QStringLiteral("Блок ВИРЕЛАН2 из командной строки: настройки, звуковые сообщения, "
                               "показания.\n\nКоманды:\n");
    for (const Command& c : Commands) {
        const QString args = QString::fromUtf8(c.args);
        s += QStringLiteral("  ") + QLatin1String(c.name) + (args.isEmpty() ? QString() : QLatin1Char(' ') + args)
            + QStringLiteral("\n        ") + QString::fromUtf8(c.summary) + QLatin1Char('\n');
    }
    s += QStringLiteral("\nСправка по команде: virelan2-cli КОМАНДА --help\n\n")
        + QString::fromUtf8(ExitCodes);
    return s;
}

int wronguse(const QString& text, const QString& command = QString())
{
    say(text);
    say(QStringLiteral("Справка: virelan2-cli ") + (command.isEmpty() ? QString() : command + QLatin1Char(' '))
        + QStringLiteral("--help"));
    return WrongUse;
}

int positive(const QCommandLineParser& parser, const QCommandLineOption& option, int fallback,
             bool* ok)
{
    *ok = true;
    if (!parser.isSet(option))
        return fallback;
    const QString text = parser.value(option);
    const int v = text.toInt(ok);
    *ok = *ok && v > 0;
    return v;
}

int dispatch(const QStringList& arguments)
{
    static ParserTexts texts;
    QCoreApplication::installTranslator(&texts);

    QCommandLineParser parser;
    parser.setApplicationDescription(programhelp());
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Эта справка."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Версия программы."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("команда"), QStringLiteral("Одна из команд выше."),
                                 QStringLiteral("КОМАНДА ..."));
    // Unknown options are looked at once the command, which may own them, is known.
    parser.parse(arguments);

    QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        if (parser.isSet(version)) {
            out(QCoreApplication::applicationName().toUtf8() + ' '
                + QCoreApplication::applicationVersion().toUtf8() + '\n');
            return Done;
        }
        if (parser.isSet(help)) {
            out(parser.helpText().toUtf8());
            return Done;
        }
        if (!parser.unknownOptionNames().isEmpty())
            return wronguse(parser.errorText());
        return wronguse(QStringLiteral("Не указана команда"));
    }
    const QString name = args.first();
    const Command* command = nullptr;
    for (const Command& c : Commands)
        if (name == QLatin1String(c.name))
            command = &c;
    if (!command)
        return wronguse(QStringLiteral("Неизвестная команда \"") + name + QLatin1Char('"'));

    parser.setApplicationDescription(QString::fromUtf8(command->summary));
    parser.clearPositionalArguments();
    parser.addPositionalArgument(name, QString(), name);
    const QCommandLineOption set(QStringLiteral("set"),
                                 QStringLiteral("Записать ЗНАЧЕНИЕ в поле КЛЮЧ (ключи файла настроек); "
                                                "можно повторять, действует после ФАЙЛА."),
                                 QStringLiteral("КЛЮЧ=ЗНАЧЕНИЕ"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("Промежуток между опросами, мс (по умолчанию 200)."),
                                      QStringLiteral("МС"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("Остановиться после N строк."), QStringLiteral("N"));
    const QCommandLineOption noreadings(QStringLiteral("no-readings"),
                                        QStringLiteral("Не опрашивать показания блока: файл без "
                                                       "раздела [readings]."));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QStringLiteral("После записи звука внести в этот файл настроек раздел "
                                                   "[sounds]: файл, размер, SHA-256, заголовок, время "
                                                   "(файл создаётся, остальное в нём не меняется)."),
                                    QStringLiteral("ФАЙЛ"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Файл отчёта PDF (обязателен)."),
                                    QStringLiteral("ОТЧЁТ.pdf"));
    const QCommandLineOption title(QStringLiteral("title"),
                                   QStringLiteral("Заголовок первой страницы (по умолчанию \"")
                                       + ::report::defaulttitle() + QStringLiteral("\")."),
                                   QStringLiteral("ТЕКСТ"));
    if (name == QLatin1String("diff")) {
        parser.addPositionalArgument(QStringLiteral("COMn|ФАЙЛ1"),
                                     QStringLiteral("Порт блока (COM1 ... COM40) или первый файл настроек."));
        parser.addPositionalArgument(QStringLiteral("ФАЙЛ"),
                                     QStringLiteral("Файл настроек; сравниваются ключи его раздела [settings]."));
    } else if (name == QLatin1String("info")) {
        parser.addPositionalArgument(QStringLiteral("ФАЙЛ.wav"), QStringLiteral("Звуковые файлы WAV."),
                                     QStringLiteral("ФАЙЛ.wav..."));
    } else if (name != QLatin1String("ports") && name != QLatin1String("report")) {
        parser.addPositionalArgument(QStringLiteral("COMn"), QStringLiteral("Порт блока: COM1 ... COM40."));
    }
    if (name == QLatin1String("upload") || name == QLatin1String("siren"))
        parser.addOption(record);
    if (name == QLatin1String("read")) {
        parser.addPositionalArgument(QStringLiteral("ФАЙЛ"), QStringLiteral("Файл настроек (INI, UTF-8)."),
                                     QStringLiteral("[ФАЙЛ]"));
        parser.addOption(noreadings);
    }
    if (name == QLatin1String("write")) {
        parser.addPositionalArgument(QStringLiteral("ФАЙЛ"),
                                     QStringLiteral("Файл настроек; ключи, которых в нём нет, "
                                                    "сохраняют значения блока."),
                                     QStringLiteral("[ФАЙЛ]"));
        parser.addOption(set);
    }
    if (name == QLatin1String("upload")) {
        parser.addPositionalArgument(QStringLiteral("PPK1.wav"), QStringLiteral("Сообщение ППК1."));
        parser.addPositionalArgument(QStringLiteral("PPK2.wav"), QStringLiteral("Сообщение ППК2."));
    }
    if (name == QLatin1String("siren"))
        parser.addPositionalArgument(QStringLiteral("SIREN.wav"), QStringLiteral("Звук сирены."));
    if (name == QLatin1String("report")) {
        parser.addPositionalArgument(QStringLiteral("ФАЙЛ"),
                                     QStringLiteral("Файлы настроек блоков, записанные после чтения "
                                                    "(с разделом [unit]); порядок сохраняется."),
                                     QStringLiteral("ФАЙЛ..."));
        parser.addOption(output);
        parser.addOption(title);
    }
    if (name == QLatin1String("watch")) {
        parser.addOption(interval);
        parser.addOption(count);
    }

    if (!parser.parse(arguments))
        return wronguse(parser.errorText(), name);
    if (parser.isSet(help)) {
        out(parser.helpText().toUtf8());
        return Done;
    }
    if (parser.isSet(version)) {
        out(QCoreApplication::applicationName().toUtf8() + ' '
            + QCoreApplication::applicationVersion().toUtf8() + '\n');
        return Done;
    }
    args = parser.positionalArguments();
    args.removeFirst();
    if (args.size() < command->least || args.size() > command->most)
        return wronguse(QStringLiteral("Неверное число аргументов; вызов: virelan2-cli %1 %2")
                            .arg(name, QString::fromUtf8(command->args))
                            .trimmed(),
                        name);
    if (name == QLatin1String("ports"))
        return cmdports();
    if (name == QLatin1String("diff"))
        return cmddiff(args[0], args[1]);
    if (name == QLatin1String("info"))
        return sounds::info(args, Io);
    if (name == QLatin1String("report")) {
        if (!parser.isSet(output) || parser.value(output).isEmpty())
            return wronguse(QStringLiteral("Не указан файл отчёта: -o ОТЧЁТ.pdf"), name);
        return cmdreport(args, parser.value(output), parser.value(title));
    }

    const int index = portindex(args[0]);
    if (index < 0)
        return wronguse(QStringLiteral("Порт \"") + args[0]
                            + QStringLiteral("\" не из списка COM1 ... COM40"),
                        name);
    const QString second = args.value(1);
    if (name == QLatin1String("read"))
        return cmdread(index, second, !parser.isSet(noreadings));
    if (name == QLatin1String("write")) {
        const QStringList sets = parser.values(set);
        if (second.isEmpty() && sets.isEmpty())
            return wronguse(QStringLiteral("Нечего записывать: укажите ФАЙЛ или --set КЛЮЧ=ЗНАЧЕНИЕ"), name);
        return cmdwrite(index, second, sets, false);
    }
    if (name == QLatin1String("factory"))
        return cmdwrite(index, QString(), {}, true);
    if (parser.isSet(record) && parser.value(record).isEmpty())
        return wronguse(QStringLiteral("--record: не указан файл"), name);
    if (name == QLatin1String("upload"))
        return cmdupload(index, args.mid(1), false, parser.value(record));
    if (name == QLatin1String("siren"))
        return cmdupload(index, args.mid(1), true, parser.value(record));

    bool ok = false;
    const int ms = positive(parser, interval, 200, &ok);
    if (!ok || ms > 3600000)
        return wronguse(QStringLiteral("--interval: нужно целое число миллисекунд от 1 до 3600000, дано \"")
                            + parser.value(interval) + QLatin1Char('"'),
                        name);
    const int rows = positive(parser, count, 0, &ok);
    if (!ok)
        return wronguse(QStringLiteral("--count: нужно целое число строк больше нуля, дано \"")
                            + parser.value(count) + QLatin1Char('"'),
                        name);
    return cmdwatch(index, ms, rows);
}

} // namespace

namespace common {
bool out(const QByteArray& bytes) { return cli::out(bytes); }
void say(const QString& line) { cli::say(line); }
int portindex(const QString& text) { return cli::portindex(text); }
bool begin(int index) { return cli::begin(index); }
void finish() { cli::finish(); }
bool goodread(const settings::Reading& r) { return cli::goodread(r); }
int stopped() { return cli::stopped(); }
std::optional<settings::Reading> readsettings(int index, int* rc) { return cli::readsettings(index, rc, {}); }
} // namespace common

int run(const QStringList& arguments)
{
    const int rc = dispatch(arguments);
    // The port and its lock are given back before the process ends, whatever happened.
    link::closeall();
    return rc;
}

} // namespace cli
