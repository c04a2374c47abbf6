#pragma once
// What the commands kept in files of their own share with the rest of the command line: the
// two streams and the opening and end of the conversation, the same for every command.
#include "settings/session.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace cli::common {

// Standard output, data only; false when the bytes could not be written.
bool out(const QByteArray& bytes);
// One line on standard error (a progress bar on the line is wiped first).
void say(const QString& line);
// The port index of "COMn" (n from 1 to 40), -1 for anything else.
int portindex(const QString& text);
// Opens the conversation; false when the unit did not accept (said why).
bool begin(int index);
// "Z" at the end while the conversation stands.
void finish();
// A read the work can go on from; the failure has been said.
bool goodread(const settings::Reading& r);
// Says that Ctrl+C stopped the command and gives its exit status.
int stopped();
// The unit's settings, read in a conversation of their own; nothing, with the exit status in
// *rc and the reason said, when the read cannot be worked from.
std::optional<settings::Reading> readsettings(int index, int* rc);

} // namespace cli::common
