#pragma once
// The command line's sound files: what their headers say (`info`, and before an upload), and
// the record of an upload in a settings file (`--record`).  No widgets here.
#include "sound/record.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace cli::sounds {

// The command line's two streams, as cli.cpp writes them: data on standard output (false when
// it could not be written), messages on standard error.
struct Streams {
    bool (*out)(const QByteArray& bytes);
    void (*say)(const QString& line);
};

// `info FILE.wav...`: a block of facts per file on standard output, a refused file said on
// standard error.  Done, or WrongUse when any file was refused (the others still printed).
int info(const QStringList& files, const Streams& io);

// The facts of a file chosen for a sound, before an upload: on standard error.
void sayfacts(sound::Which which, const QString& file, const wav::Sound& sound, const Streams& io);

// --record: the file is checked before the unit hears anything; false (said why) when it cannot
// take the record.
bool checkrecord(const QString& path, const Streams& io);

// The size and SHA-256 of a file about to be sent; false (said why) when it cannot be read.
bool fingerprint(sound::Which which, const QString& file, const wav::Sound& sound,
                 QList<sound::Uploaded>& into, const Streams& io);

// Once the unit has acknowledged every block: the record written, or said that it was not
// while the sound is in the unit.  Done or WrongUse.
int writerecord(const QString& path, QList<sound::Uploaded> sounds, const QDateTime& at,
                const Streams& io);

} // namespace cli::sounds
