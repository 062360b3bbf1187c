#include "settings/storefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace korvo::settings::files {
namespace {

// The system calls below want the file name in the encoding of the file system.
class NativePath
{
public:
    explicit NativePath(const QString& path) : m_bytes(QFile::encodeName(path)) {}
    operator const char*() const { return m_bytes.constData(); }

private:
    QByteArray m_bytes;
};

// Closes a descriptor once, however the function using it ends.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { release(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void release()
    {
        if (const int fd = std::exchange(m_fd, -1); fd >= 0)
            ::close(fd);
    }

private:
    int m_fd;
};

// `where` is a folder on the file system the failure happened on: a full one may have run out of
// new files (inodes) rather than bytes, and the user frees space differently then.
Error errorFor(int code, const QString& where = {})
{
    switch (code) {
    case 0:
        return {};
    case EACCES:
    case EPERM:
        return {Store::Failure::NoPermission, code};
    case EROFS:
        return {Store::Failure::ReadOnly, code};
    case ENOSPC: {
        struct statvfs space
        {};
        if (!where.isEmpty() && ::statvfs(NativePath(where), &space) == 0 && space.f_files > 0 &&
            space.f_favail == 0)
            return {Store::Failure::TooManyFiles, code};
        return {Store::Failure::DiskFull, code};
    }
    case EDQUOT:
    case EFBIG:
        return {Store::Failure::DiskFull, code};
    case ENOENT:
    case ENOTDIR:
        return {Store::Failure::FolderMissing, code};
    default:
        return {Store::Failure::Other, code};
    }
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Locks a new temporary for as long as its save runs. A clean-up of another save may have found
// the name between our open and our lock and removed it; then the name no longer leads to our
// file and the caller starts over with a new name.
bool holdTemporary(int fd, const QString& temporary)
{
    while (::flock(fd, LOCK_EX) != 0) {
        // A file system without locks cannot tell a running save from a dead one; its clean-up
        // cannot lock either and so removes nothing.
        if (errno != EINTR)
            return true;
    }
    struct stat held
    {};
    struct stat named
    {};
    return ::fstat(fd, &held) == 0 && ::lstat(NativePath(temporary), &named) == 0 && sameFile(held, named);
}

// Makes a finished rename survive a power cut. The new content is in place whatever this
// reports, and some file systems cannot sync a folder at all, so its result is not a failure.
void syncFolder(const QString& dir)
{
    const Descriptor fd(::open(NativePath(dir), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

QString homeFolder()
{
    const QString home = QFile::decodeName(qgetenv("HOME"));
    if (!home.isEmpty())
        return home;
    // Started without HOME (by a service manager, or `env -i`): the account's own entry says it.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return QFile::decodeName(found->pw_dir);
}

} // namespace

bool exists(const QString& path)
{
    struct stat info
    {};
    return ::lstat(NativePath(path), &info) == 0;
}

// Opened rather than guessed from its mode bits, so ownership, access lists and read-only mounts
// all count. Non-blocking, so a FIFO put in the file's place cannot hang the start.
bool canRead(const QString& path)
{
    const Descriptor fd(::open(NativePath(path), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info
    {};
    return fd.valid() && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode);
}

bool canReplace(const QString& path)
{
    const QString dir = QFileInfo(path).path();
    struct stat folder
    {};
    if (::stat(NativePath(dir), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
        ::faccessat(AT_FDCWD, NativePath(dir), W_OK | X_OK, AT_EACCESS) != 0)
        return false;
    struct stat file
    {};
    if (::lstat(NativePath(path), &file) != 0)
        return errno == ENOENT;
    if (S_ISDIR(file.st_mode))
        return false;
    // In a sticky folder such as /tmp only the file's owner, the folder's owner or root may rename
    // something over a file, however open the folder's mode.
    const uid_t me = ::geteuid();
    return !(folder.st_mode & S_ISVTX) || me == 0 || file.st_uid == me || folder.st_uid == me;
}

std::optional<QString> resolveLinks(const QString& path)
{
    QString current = path;
    // The kernel's own limit for a chain; longer is taken for a loop.
    for (int hop = 0; hop <= 40; ++hop) {
        struct stat info
        {};
        if (::lstat(NativePath(current), &info) != 0)
            return hop == 0 ? std::optional<QString>(current)
                            : std::nullopt; // nothing there, or a dangling link
        if (!S_ISLNK(info.st_mode))
            return current;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length =
            ::readlink(NativePath(current), target.data(), static_cast<size_t>(target.size()));
        if (length < 0 || length >= target.size())
            return std::nullopt;
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        current = QDir::isAbsolutePath(next) ? next : QFileInfo(current).dir().filePath(next);
    }
    return std::nullopt;
}

Error makeFolder(const QString& dir)
{
    if (dir.isEmpty())
        return errorFor(ENOENT);
    struct stat info
    {};
    if (::stat(NativePath(dir), &info) == 0)
        return S_ISDIR(info.st_mode) ? Error{} : errorFor(ENOTDIR);
    const QString parent = QFileInfo(dir).path();
    if (parent != dir) {
        if (const Error error = makeFolder(parent))
            return error;
    }
    if (::mkdir(NativePath(dir), 0777) == 0 || (errno == EEXIST && !makeFolder(dir)))
        return {};
    return errorFor(errno, parent);
}

Error replaceFile(const QString& path, const QByteArray& bytes)
{
    QString temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryName(path);
        // O_EXCL: never write through a name someone else put there, link or not.
        fd = ::open(NativePath(temporary), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errorFor(errno, QFileInfo(path).path());
        if (fd >= 0 && !holdTemporary(fd, temporary)) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return errorFor(EEXIST);
    Descriptor file(fd);

    const auto fail = [&temporary, &file, &path](int error) {
        ::unlink(NativePath(temporary)); // still ours: we hold the lock
        file.release();
        return errorFor(error, QFileInfo(path).path());
    };

    // The replacement keeps the permissions the user gave the old file.
    struct stat old
    {};
    if (::stat(NativePath(path), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(file.get(), old.st_mode & 0777);

    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file.get(), data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return fail(errno);
        if (written == 0)
            return fail(ENOSPC);
        data += written;
        left -= written;
    }
    // Delayed allocation reports a full disk only here, at the latest.
    if (::fsync(file.get()) != 0)
        return fail(errno);
    // Believe the disk, not the counts: what is there must be every byte.
    struct stat written
    {};
    if (::fstat(file.get(), &written) != 0)
        return fail(errno);
    if (written.st_size != bytes.size())
        return fail(EIO);
    // The data has reached the disk (fsync above), so the close after the rename has nothing left
    // to report; keeping the descriptor open until then keeps the lock.
    if (::rename(NativePath(temporary), NativePath(path)) != 0)
        return fail(errno);
    file.release();
    syncFolder(QFileInfo(path).path());
    return {};
}

void removeIfAbandoned(const QString& temporary)
{
    const Descriptor fd(::open(NativePath(temporary), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat held
    {};
    if (!fd.valid() || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != ::geteuid())
        return;
    // A running save holds its temporary locked until after its rename.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return;
    // Still the file we locked, not one renamed into place meanwhile.
    struct stat named
    {};
    if (::lstat(NativePath(temporary), &named) == 0 && sameFile(held, named))
        ::unlink(NativePath(temporary));
}

// As the XDG rules say: an absolute XDG_CONFIG_HOME, else .config in the home folder. A relative
// value is ignored, or the settings would move with the folder the program was started from.
QString configBase()
{
    const QString xdg = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    const QString home = homeFolder();
    return home.isEmpty() ? QString() : QDir(home).filePath(".config");
}

// A program installed by the package manager shares its folder with every other program and every
// user (and root could even write there): its settings belong to the user instead.
bool installedCopy(const QString& programDir)
{
    return programDir.startsWith(QLatin1String("/usr/"));
}

} // namespace korvo::settings::files
