#pragma once
// Opening, scanning and ending the conversation with the unit, for every front end.  Each
// operation says what it does through a Listener, in the window's texts, and returns what the
// caller needs to decide on; none of them touches a widget.
#include "link/channel.h"
#include "link/listener.h"

#include <QList>

namespace link {

struct Connection {
    Opened opened = Opened::NoPort;
    bool answered = false;     // a byte really arrived after "U"
    std::uint8_t reply = 0;    // that byte
    bool accepted() const { return answered && reply == 'W'; }
};

// Closes everything, opens COM(index+1), ends any conversation the unit still had open and
// starts a new one.  Sets the connected flag to whether the unit accepted; a unit that did not
// is told "Z" again and the port stays open until the next connect, scan or exit.
Connection connectunit(int index, Listener& listener);

// Ends the conversation on the open port, clears the connected flag, closes everything and
// lists the COM ports that can be opened (numbers 1..40).
QList<int> scanports(Listener& listener);

// "Z" at the end of a conversation; true when the unit confirmed with "V".
bool endunit(Listener& listener);

// The index of the port the last accepted connect opened, or -1.
int connectedport();

// Whether the tool may talk to the unit: a connect was accepted and nothing has broken the
// conversation since.
bool connected();

// The conversation is broken (an upload stopped halfway): the unit may take the next bytes it
// hears as sound, so nothing more is said to it until the operator connects again.
void breakoff(Listener& listener);

} // namespace link
