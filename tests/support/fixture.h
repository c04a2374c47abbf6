#pragma once
// Shared test fixtures: a scratch working folder with its own port folder, simulated units
// linked as COMn in it, the window, and a watcher that answers modal boxes and file dialogs.
#include "sim/unitsim.h"
#include "ui/memo.h"
#include "ui/unit1.h"

#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

namespace fixture {

// A fresh working folder (also XDG_DATA_HOME, so the port folder lies inside it).  The
// process's working directory moves there for the fixture's life.
class Scratch {
public:
    Scratch();
    ~Scratch();
    QString path() const;
    QString file(const QString& name) const;
    QString portFolder() const;

private:
    QTemporaryDir dir_;
    QString oldcwd_;
    QByteArray oldxdg_;
};

// A simulated unit linked as COMn in the current port folder.
std::unique_ptr<sim::Unit> unitOn(int com, const sim::Config& config = {});

// Answers every modal widget that opens while it lives: message boxes are recorded and
// closed with their default button; file dialogs get the next queued answer (a path to
// choose, or an empty string to cancel).
class Modals : public QObject {
public:
    Modals();
    ~Modals() override;
    struct Box {
        QString title, text;
        int icon;
    };
    QList<Box> boxes;
    std::deque<QString> files; // answers for file dialogs, in order; "" cancels
    int dialogs = 0;           // file dialogs seen
    bool yes = false;          // questions get their "Yes" rather than their default button

private:
    QTimer timer_;
    QPointer<QWidget> dialog_; // the file dialog being answered
    QPointer<QWidget> accepted_; // the file dialog whose answer went in last
    int tries_ = 0;
    void poll();
};

// The lines of the activity log, as the operator reads them.
QStringList lines(const TForm1& form);
// The log lines added since index `from`.
QStringList linesFrom(const TForm1& form, int from);
// The log lines with the time prefix cut off (a line without one is returned as it stands).
QStringList untimed(const QStringList& lines);

// Chooses COMn in the port list as the operator does: opens the list and clicks the entry.
void choosePort(TForm1& form, int com);

// Shows the window, chooses COMn and presses "Подключить" as the operator does; the unit must
// accept (its settings are read at once).  Then forgets what the unit has received so far.
void connectWindow(TForm1& form, sim::Unit& unit, int com);

// Writes a "log.txt" with these bytes into the current folder.
void writeFile(const QString& name, const QByteArray& bytes);
QByteArray readFile(const QString& name);

} // namespace fixture
