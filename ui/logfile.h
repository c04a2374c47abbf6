#pragma once
// "log.txt": reading it whole at start-up and writing it whole at exit, in the encoding it was
// found in.
#include <QByteArray>
#include <QString>

class LogLines;

enum class LogEncoding { Ansi = 0, Utf8 = 1, Utf16LE = 2, Utf16BE = 3 };

// Decides the encoding by the byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE, in that order) and
// returns the mark's length; a text without a mark is in the 8-bit code page.
LogEncoding detectencoding(const QByteArray& bytes, int* marklength = nullptr);

// The text of the file's bytes, without the mark.
QString decodelog(const QByteArray& bytes, LogEncoding* encoding = nullptr);

// The lines of the file's bytes, in the encoding its mark tells.
void decodelines(QByteArray bytes, LogLines& lines, LogEncoding* encoding = nullptr);

// The file's bytes for these lines: the mark of the encoding first, every line ended by CR LF.
QByteArray encodelog(const LogLines& lines, LogEncoding encoding);

// Loads a log file into lines.  On failure returns false with the error box text in *error.
bool loadlog(const QString& path, LogLines& lines, LogEncoding& encoding, QString* error);

// Saves the lines to the file.  Where the folder lets a new file be made, the lines go to a new
// file that replaces the old one only once it is completely written, so a failed save leaves the
// history as it was.  Where it does not (a folder that refuses new files, a read-only file
// system, a replacement refused) but the file itself can be written, the file is rewritten in
// place.  On failure returns false with the error box text in *error.
bool savelog(const QString& path, const LogLines& lines, LogEncoding encoding, QString* error);

// The error box texts.
QString cannotopen(const QString& path, const QString& reason);
QString cannotcreate(const QString& path, const QString& reason);
