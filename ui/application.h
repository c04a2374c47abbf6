#pragma once
#include <QApplication>

#include <exception>

// The application object: an error that escapes an event handler is shown in the standard
// error box, captioned with the application title, and the event loop goes on.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the standard error box for a message that ended a handler.
void showerror(const QString& message);

// Runs an event handler.  An error that escapes it ends the handler and is shown in the
// standard error box, and the event loop goes on.  It is caught here, at the handler's edge,
// because the toolkit's own frames are not built to be unwound through; the application's
// notify() catches what escapes elsewhere.
template <typename Handler>
void handle(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showerror(QString::fromUtf8(e.what()));
    } catch (...) {
        showerror(QStringLiteral("Unknown error."));
    }
}

// How long a hover hint stays up, in ms; set when the window becomes active.
extern int hinthidepause;
