#pragma once
// The record of what was uploaded where: the unit cannot tell (sound is never read back), so
// after a good upload the settings file of the unit gets a [sounds] section, one group of keys
// per sound (`ppk1_`, `ppk2_`, `siren_`):
//
//     [sounds]
//     ; Сообщение ППК1
//     ppk1_file=evacuation.wav
//     ppk1_size=480044
//     ppk1_sha256=9f86d0...
//     ppk1_format=PCM
//     ppk1_rate=8000
//     ppk1_bits=8
//     ppk1_channels=1
//     ppk1_duration_ms=60000
//     ppk1_blocks=937
//     ppk1_uploaded_at=2026-12-10T16:05:09+03:00
//
// An upload replaces the keys of its own sounds only; every other byte of the file stays as it
// was.  Values are written the same in every locale; what the header does not say is left
// empty.  No widgets here.
#include "sound/session.h"
#include "sound/wav.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace sound {

// One sound the unit has acknowledged whole.
struct Uploaded {
    Which which = Which::Ppk1;
    QString path;          // the WAV file as chosen; the record keeps its name only
    qint64 size = 0;       // of the whole file
    QByteArray sha256;     // of the whole file, in lower-case hex
    wav::Sound sound;
    QDateTime at;          // when the unit acknowledged the last block
};

// "ppk1", "ppk2", "siren": the prefix of a sound's keys.
QString slotname(Which which);

// The size and SHA-256 of the whole file into `u`; a message naming the file when it cannot be
// read, empty otherwise.
QString fingerprint(const QString& path, Uploaded& u);

// `text` (a settings file's bytes, maybe empty) with the keys of these sounds put into its
// [sounds] section, which is added at the end when there is none.  Lines outside that section,
// and the keys of other sounds within it, stay byte for byte.
QByteArray withsounds(const QByteArray& text, const QList<Uploaded>& sounds);

// Whether a record can go into path: a file that does not exist yet in a folder that can take
// it, or a settings file that reads as one and can be replaced.  Empty when it can, otherwise
// the message why not, naming the file.  Nothing is written.
QString checkrecord(const QString& path);

// Puts the sounds into the file at path through QSaveFile: the file is replaced only once the
// new one is whole.  Empty on success, otherwise the message why not, naming the file.
QString writerecord(const QString& path, const QList<Uploaded>& sounds);

} // namespace sound
