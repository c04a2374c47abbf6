#include "tests/support/readonly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fixture {

namespace {

QString lasterror(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(what), QString::fromLocal8Bit(std::strerror(errno)));
}

// The calling thread moves once into a mount namespace of its own, whose mounts reach no other
// process.  (The tool and its tests do their file work on this thread.)
QString ownnamespace()
{
    static const QString failure = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return lasterror("no mount namespace of our own (unshare)");
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return lasterror("cannot keep our mounts private");
        return QString();
    }();
    return failure;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString& folder, const QStringList& writable)
    : folder_(QFileInfo(folder).absoluteFilePath()), cwd_(QDir::currentPath())
{
    const QByteArray dir = QFile::encodeName(folder_);
    if (::geteuid() == 0) {
        failure_ = ownnamespace();
        if (failure_.isEmpty()) {
            if (::mount(dir.constData(), dir.constData(), nullptr, MS_BIND, nullptr) != 0) {
                failure_ = lasterror("bind mount of the folder");
            } else {
                mounts_.push_back(folder_);
                if (::mount(nullptr, dir.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                    failure_ = lasterror("read-only remount of the folder");
            }
        }
        for (const QString& name : writable) {
            if (!failure_.isEmpty())
                break;
            const QString path = folder_ + QLatin1Char('/') + name;
            const QByteArray p = QFile::encodeName(path);
            if (::mount(p.constData(), p.constData(), nullptr, MS_BIND, nullptr) != 0) {
                failure_ = lasterror("bind mount of a writable file");
                break;
            }
            mounts_.push_back(path);
            if (::mount(nullptr, p.constData(), nullptr, MS_REMOUNT | MS_BIND, nullptr) != 0)
                failure_ = lasterror("writable remount of a file");
        }
    } else {
        struct stat st {};
        if (::stat(dir.constData(), &st) == 0 && ::chmod(dir.constData(), 0555) == 0)
            modes_.emplace_back(folder_, int(st.st_mode & 07777));
        else
            failure_ = lasterror("chmod of the folder");
        for (const QString& name : QDir(folder_).entryList(QDir::Files | QDir::Hidden)) {
            if (writable.contains(name))
                continue;
            const QByteArray p = QFile::encodeName(folder_ + QLatin1Char('/') + name);
            if (::stat(p.constData(), &st) == 0 && ::chmod(p.constData(), 0444) == 0)
                modes_.emplace_back(folder_ + QLatin1Char('/') + name, int(st.st_mode & 07777));
        }
    }
    // The working folder is entered anew, so that it too is the read-only one.
    QDir::setCurrent(cwd_);
    if (failure_.isEmpty()) {
        const QByteArray probe = QFile::encodeName(folder_ + QStringLiteral("/probe.tmp"));
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.constData());
            failure_ = QStringLiteral("the folder still takes new files");
        }
    }
    for (const QString& name : writable) {
        if (!failure_.isEmpty())
            break;
        QFile f(folder_ + QLatin1Char('/') + name);
        if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            failure_ = QStringLiteral("%1 cannot be written: %2").arg(name, f.errorString());
    }
    if (!failure_.isEmpty())
        undo();
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    undo();
}

void ReadOnlyFolder::undo()
{
    while (!mounts_.empty()) {
        ::umount2(QFile::encodeName(mounts_.back()).constData(), MNT_DETACH);
        mounts_.pop_back();
    }
    for (const auto& [path, mode] : modes_)
        ::chmod(QFile::encodeName(path).constData(), mode_t(mode));
    modes_.clear();
    // Out of the mounts that are gone.
    QDir::setCurrent(cwd_);
}

} // namespace fixture
