#pragma once
// The 8-bit code page of a log file without a byte-order mark: the system's ANSI code page on
// Windows, and Windows-1251 elsewhere, so that a log carried between the two reads the same.
#include <QStringDecoder>
#include <QStringEncoder>

namespace codepage {

QStringDecoder decoder();
QStringEncoder encoder();

// Where the code page is Windows-1251 (everywhere but Windows) the log can be kept and moved
// one byte a character, through these tables.
bool singlebyte();
char16_t tochar(unsigned char b);
// The same for n bytes at once.
void tochars(const unsigned char* b, qsizetype n, char16_t* out);
// False when the character has no byte in the page.
bool tobyte(char16_t c, unsigned char* b);

// The line break of the system's plain text (CR LF on Windows, LF elsewhere): what joins the
// log's lines when they leave the tool as text.
QStringView linebreak();

} // namespace codepage
