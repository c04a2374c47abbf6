#pragma once
#include <QApplication>

// The application object: an error that escapes an event handler is shown in the standard
// error box, captioned with the application title, and the event loop goes on.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the standard error box for a message that ended a handler.
void showerror(const QString& message);

// How long a hover hint stays up, in ms; set when the window becomes active.
extern int hinthidepause;
