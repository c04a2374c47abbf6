#pragma once
// A folder that refuses new files while the guard lives, also where the tests run as root (as
// CI does), for whom permission bits stop nothing: as root the folder gets a read-only bind mount
// in a mount namespace of the test's own (the files named writable get writable bind mounts on
// top); otherwise the folder and its other files lose their write permission bits.  Either way
// the folder is checked: a new file must be refused and the writable files must take writes.
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace fixture {

class ReadOnlyFolder {
public:
    // `writable`: names of files in the folder that stay writable.
    ReadOnlyFolder(const QString& folder, const QStringList& writable);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Empty when the folder refuses new files; otherwise why it could not be made to.
    QString failure() const { return failure_; }

private:
    QString folder_;
    QString failure_;
    QString cwd_;                                   // the working folder, entered anew
    std::vector<QString> mounts_;                   // innermost last
    std::vector<std::pair<QString, int>> modes_;    // paths and their permissions before
    void undo();
};

} // namespace fixture
