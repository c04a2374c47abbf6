#pragma once
// What the command line needs of the console it runs in, and the only place that asks the
// operating system for it: Ctrl+C as a request to stop rather than the end of the process,
// whether a stream is a terminal (a progress bar) or a pipe or file (whole lines), and how text
// reaches it.
#include <QByteArrayView>

namespace console {

// Called once before anything else.  From then on Ctrl+C (and Ctrl+Break on Windows) only
// raises the flag below: the running command looks at it where it may stop, so that an image
// is never cut off halfway and an upload stops at a block boundary.  A reader that closed
// standard output makes the next write to it fail instead of ending the process.  Standard
// output carries bytes as they are (no line-ending translation).  The console's own settings
// (its code page on Windows) are left as the user had them.
void setup();

// Ctrl+C has been pressed since setup().
bool interrupted();

enum class Stream { Out, Err };

// The stream goes to a terminal (a console window) rather than to a file or a pipe.
bool isterminal(Stream stream);

// Writes UTF-8 text and flushes it.  Into a file or a pipe the bytes go as they are, on every
// system.  A Windows console window is given the characters themselves, so that Russian reads
// correctly whatever code page the window has.  False when not everything was written (the
// reader has gone away).
bool write(Stream stream, QByteArrayView utf8);

} // namespace console
