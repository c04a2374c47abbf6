#pragma once
// The printable report of a building's units: a PDF on A4 made from settings files, for the
// acceptance papers.  A first page lists the units; then a page (or more) per unit with what it
// reported at its read, every setting under its window frame with the values that differ from
// the factory ones marked, its line readings and the sounds uploaded into it.
//
// Drawn with QPdfWriter and QTextDocument, so it needs a QGuiApplication (fonts); no widgets.
// The text is set in DejaVu Sans, which has Cyrillic and is embedded as text.
#include "settings/image.h"
#include "settings/settingsfile.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <utility>

namespace report {

// One unit as a settings file records it.  Texts as the file holds them.
struct Unit {
    QString file;                                 // the file it came from, as given; may be empty
    settings::Fields fields;                      // [settings], every key
    QList<std::pair<QString, QString>> record;    // [unit]: key, value
    QList<std::pair<QString, QString>> readings;  // [readings]; empty when not recorded
    QList<std::pair<QString, QString>> sounds;    // [sounds]; empty when nothing was uploaded
};

// The unit a settings file at path records.  The file must hold every [settings] key, each a
// number in its range, and a [unit] section; [readings] and [sounds] are taken when present.
// Raises settings::FileError naming the file and why it cannot be taken.
Unit takefile(const QString& path);

// The unit the window shows: its fields and what the last good read recorded.
Unit fromwindow(const settings::Fields& fields, const settings::UnitInfo& info);

// The report's PDF, whole.  made is the date on its first page.
QByteArray pdf(const QList<Unit>& units, const QString& title, const QDateTime& made);

// pdf() written to path through QSaveFile: an earlier file is replaced only once the new one is
// whole.  Raises settings::FileError when it cannot be written (an earlier file stays).
void savepdf(const QString& path, const QList<Unit>& units, const QString& title,
             const QDateTime& made);

// The title when none is given.
inline QString defaulttitle()
{
    return QStringLiteral("Отчёт о настройке блоков ВИРЕЛАН2");
}

} // namespace report
