#pragma once
#include <QString>

class QWidget;

// The file-open dialog of the uploads.  It keeps the chosen name from one showing to the next
// and offers it again; a cancelled dialog leaves it unchanged.  A name that names no file may
// be chosen: the open that follows fails like a missing file.
class OpenDialog {
public:
    QString FileName;
    QString InitialDir;
    QString Filter = QStringLiteral(".WAV (*.WAV *.wav)");

    // True when the operator chose a file.  The working directory is left where it is.
    bool Execute(QWidget* parent);
};
