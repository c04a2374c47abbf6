#pragma once
// The 8-bit code page of a log file without a byte-order mark: Windows-1251 on every system.
// Logs kept on the service engineers' machines hold Windows-1251 bytes whatever the code page of
// the machine that wrote them, so a Windows whose own code page is another (1252, or 65001 "UTF-8 for
// worldwide language support") must still read and write them as Windows-1251, or every
// Cyrillic letter of an old history would be misread and each new one written as "?".
#include <QByteArray>
#include <QString>

namespace codepage {

// The page maps each of the 256 bytes to one character and back, so the log can be kept and
// moved one byte a character, through these tables.
bool singlebyte();
char16_t tochar(unsigned char b);
// The same for n bytes at once.
void tochars(const unsigned char* b, qsizetype n, char16_t* out);
// False when the character has no byte in the page.
bool tobyte(char16_t c, unsigned char* b);

// Whole texts: a character without a byte in the page becomes "?".
QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);

// Whether the history may stay in log.txt, held open and read back a line at a time, rather than
// be read into memory at start-up.  Not on Windows: there a file held open can be neither
// replaced nor removed, so the exit could not put the new log in its place.
bool historyinfile();

// The line break of the system's plain text (CR LF on Windows, LF elsewhere): what joins the
// log's lines when they leave the tool as text.
QStringView linebreak();

} // namespace codepage
