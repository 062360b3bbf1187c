#include "settings/settingsstore.h"

#include "settings/settingsformat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace korvo::settings {
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
    // Closes now; false (with errno) when the close reported an error, which on some file
    // systems is the first sign of data that never reached the disk.
    bool release()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A regular file this process can open for reading. Opened rather than guessed from its mode
// bits, so ownership, access lists and read-only mounts all count. Non-blocking, so a FIFO put
// in the file's place cannot hang the start.
bool canRead(const QString& path)
{
    const Descriptor fd(::open(NativePath(path), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info
    {};
    return fd.valid() && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const QString& path)
{
    struct stat info
    {};
    return ::lstat(NativePath(path), &info) == 0;
}

// A folder in which a file can be created and renamed.
bool folderWritable(const QString& dir)
{
    struct stat info
    {};
    return ::stat(NativePath(dir), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(NativePath(dir), W_OK | X_OK) == 0;
}

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!canRead(path) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(Store::kReadLimit);
}

Store::Failure failureFor(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return Store::Failure::NoPermission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Store::Failure::DiskFull;
    case ENOENT:
    case ENOTDIR:
        return Store::Failure::FolderMissing;
    default:
        return Store::Failure::Other;
    }
}

// Creates a folder and its missing parents, like mkdir -p; false with errno set when it cannot.
bool makeFolder(const QString& dir)
{
    if (dir.isEmpty())
        return errno = ENOENT, false;
    struct stat info
    {};
    if (::stat(NativePath(dir), &info) == 0)
        return S_ISDIR(info.st_mode) || (errno = ENOTDIR, false);
    const QString parent = QFileInfo(dir).path();
    if (parent != dir && !makeFolder(parent))
        return false;
    return ::mkdir(NativePath(dir), 0777) == 0 || (errno == EEXIST && makeFolder(dir));
}

// Temporaries are named like the file plus a dot and six letters or digits, the pattern the
// earlier QSaveFile-based saves used as well, so leftovers of either kind are recognised. A suffix
// of lower-case letters alone could be a word a person chose ("bpm_data.ini.backup"), so such a
// name is never taken for a leftover, and our own names always hold a digit.
constexpr int kTemporarySuffix = 6;

QString temporaryName(const QString& path)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QRandomGenerator& random = *QRandomGenerator::global();
    QString name = path + '.' + QChar(u'0' + random.bounded(10));
    for (int i = 1; i < kTemporarySuffix; ++i)
        name += QLatin1Char(kChars[random.bounded(int(sizeof kChars - 1))]);
    return name;
}

bool isTemporaryOf(const QString& entry, const QString& fileName)
{
    if (entry.size() != fileName.size() + 1 + kTemporarySuffix || !entry.startsWith(fileName + '.'))
        return false;
    bool word = true;
    for (qsizetype i = fileName.size() + 1; i < entry.size(); ++i) {
        const char16_t c = entry[i].unicode();
        const bool lower = c >= 'a' && c <= 'z';
        if (!lower && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9'))
            return false;
        word = word && lower;
    }
    return !word;
}

// A save killed between writing its temporary and renaming it leaves the temporary behind;
// nothing else would ever remove it. Only regular files of this user are touched. A second
// instance saving at the very same moment could lose its temporary here and report that; a lock
// for so rare a case is not worth it.
void removeStaleTemporaries(const QString& path)
{
    const QFileInfo file(path);
    const QDir folder = file.dir();
    const QString fileName = file.fileName();
    const QStringList candidates =
        folder.entryList({fileName + ".*"}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : candidates) {
        if (!isTemporaryOf(entry, fileName))
            continue;
        const QString stale = folder.filePath(entry);
        struct stat info
        {};
        if (::lstat(NativePath(stale), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            ::unlink(NativePath(stale));
    }
}

// Makes a finished rename survive a power cut. The new content is in place whatever this
// reports, and some file systems cannot sync a folder at all, so its result is not a failure.
void syncFolder(const QString& dir)
{
    const Descriptor fd(::open(NativePath(dir), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

// Writes the bytes to a new temporary beside the file and renames it over the file. Returns 0 or
// the errno of the first step that failed; a temporary is never left behind by a failure.
int replaceFile(const QString& path, const QByteArray& bytes)
{
    QString temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryName(path);
        // O_EXCL: never write through a name someone else put there, link or not.
        fd = ::open(NativePath(temporary), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    Descriptor file(fd);

    const auto fail = [&temporary, &file](int error) {
        file.release();
        ::unlink(NativePath(temporary));
        return error;
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
    if (!file.release())
        return fail(errno);
    if (::rename(NativePath(temporary), NativePath(path)) != 0)
        return fail(errno);
    syncFolder(QFileInfo(path).path());
    return 0;
}

} // namespace

Store::Store(QString programDir, QString configDir)
    : m_programDir(std::move(programDir)), m_configDir(std::move(configDir))
{}

Store Store::forThisProgram()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString program = QCoreApplication::applicationDirPath();
    // A program installed by the package manager shares its folder with every other program and
    // every user (and root could even write there): its settings belong to the user instead.
    if (program.startsWith(QLatin1String("/usr/")))
        return Store(config, config);
    return Store(program, config);
}

QString Store::programFile() const
{
    return QDir(m_programDir).filePath(QString::fromLatin1(kFileName));
}

QString Store::configFile() const
{
    return QDir(m_configDir).filePath(QString::fromLatin1(kFileName));
}

Store::Plan Store::plan() const
{
    const QString program = programFile();
    const bool programReadable = canRead(program);
    if (programReadable && folderWritable(m_programDir))
        return {program, program};
    // Without a home folder there is no configuration folder, and a relative path would land
    // wherever we happen to run: the program folder is then the only place, writable or not.
    if (m_configDir.isEmpty())
        return {programReadable ? program : QString(), program};

    const QString config = configFile();
    if (canRead(config))
        return {config, config};
    if (programReadable)
        return {program, config};
    if (!exists(program) && folderWritable(m_programDir))
        return {QString(), program};
    return {QString(), config};
}

std::optional<QByteArray> Store::read()
{
    const Plan where = plan();
    m_savePath = where.savePath;
    if (where.readPath.isEmpty())
        return std::nullopt;
    return readFile(where.readPath);
}

Store::SaveResult Store::save(const QByteArray& bytes) const
{
    SaveResult result;
    result.path = m_savePath.isEmpty() ? plan().savePath : m_savePath;

    int error = 0;
    const QString folder = QFileInfo(result.path).path();
    if (!m_configDir.isEmpty() && folder == QDir(m_configDir).path() && !makeFolder(folder))
        error = errno;
    if (error == 0)
        error = replaceFile(result.path, bytes);

    if (error == 0) {
        result.ok = true;
        removeStaleTemporaries(result.path);
        return result;
    }
    result.failure = failureFor(error);
    result.systemError = error;
    // Nothing here writes into an existing file, so whatever the next start would read is
    // exactly what was there before this save.
    result.earlierKept = !plan().readPath.isEmpty();
    return result;
}

} // namespace korvo::settings
