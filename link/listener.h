#pragma once
// What a conversation with the unit tells the one who started it while it runs, and how that
// one stops it.  The window turns the texts into log lines and services its events between two
// blocks of an upload; the command line prints them and watches for Ctrl+C.  Nothing here knows
// of widgets.
#include <QString>

namespace link {

class Listener {
public:
    virtual ~Listener() = default;

    // A timed line of the activity log: the text after the time prefix (it starts with a space).
    virtual void note(const QString& text) { (void)text; }
    // A line of the activity log without a time prefix.
    virtual void plain(const QString& text) { (void)text; }

    // A settings write has made its image from the values and sends it next.
    virtual void imageready() {}

    // An upload starts sending a file of `blocks` blocks, and has had block `done` (1-based) of
    // it acknowledged.  The upload's time between blocks is the caller's: it may service its
    // events here.
    virtual void filestart(quint32 blocks) { (void)blocks; }
    virtual void blockdone(quint32 done, quint32 blocks) { (void)done; (void)blocks; }

    // Asked after every block: a text that is not empty stops the upload at this block
    // boundary, and is the log line that says why.
    virtual QString stopasked() { return {}; }
};

} // namespace link
