#include "settings/storefiles.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
// windows.h before the shell's header, which needs its definitions.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

namespace korvo::settings::files {
namespace {

// Windows wants wide strings with its own separators.
class NativePath
{
public:
    explicit NativePath(const QString& path) : m_text(QDir::toNativeSeparators(path)) {}
    operator const wchar_t*() const { return reinterpret_cast<const wchar_t*>(m_text.utf16()); }

private:
    QString m_text;
};

// Closes a handle once, however the function using it ends.
class Handle
{
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() { release(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (valid())
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

Error errorFor(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_READY:
        return {Store::Failure::NoPermission, static_cast<int>(code)};
    case ERROR_WRITE_PROTECT:
        return {Store::Failure::ReadOnly, static_cast<int>(code)};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
        return {Store::Failure::DiskFull, static_cast<int>(code)};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
        return {Store::Failure::FolderMissing, static_cast<int>(code)};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return {Store::Failure::FileInUse, static_cast<int>(code)};
    default:
        return {Store::Failure::Other, static_cast<int>(code)};
    }
}

Error lastError()
{
    return errorFor(::GetLastError());
}

// Whether another program holds the file open so that it cannot be replaced: an exclusive open for
// deleting fails with a sharing violation then, where a file nobody holds would open.
bool heldByAnother(const QString& path)
{
    const Handle probe(::CreateFileW(NativePath(path), DELETE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return !probe.valid() && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

// A program that holds the file (a text editor saving it, a virus scanner, a backup tool) often
// lets go within a moment: try for about a second before reporting it.
constexpr int kRenameAttempts = 10;
constexpr unsigned long kRenamePauseMs = 100;

} // namespace

bool exists(const QString& path)
{
    if (::GetFileAttributesW(NativePath(path)) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool canRead(const QString& path)
{
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open, so what opens is a file.
    const Handle file(::CreateFileW(NativePath(path), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && ::GetFileType(file.get()) == FILE_TYPE_DISK;
}

bool canReplace(const QString& path)
{
    const DWORD attributes = ::GetFileAttributesW(NativePath(path));
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // A folder in its place cannot be replaced by a file; a read-only file is not to be replaced.
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
            return false;
    } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    // Access lists decide whether this user may create files in the folder, and only trying
    // tells: a probe file, gone again when its handle closes.
    const Handle probe(::CreateFileW(NativePath(temporaryName(path)), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe.valid();
}

std::optional<QString> resolveLinks(const QString& path)
{
    const DWORD attributes = ::GetFileAttributesW(NativePath(path));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return path; // nothing there; saving says why if it matters
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    // A symbolic link: opened through it, the file it ends at names itself.
    const Handle file(::CreateFileW(NativePath(path), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return std::nullopt;
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = ::GetFinalPathNameByHandleW(file.get(), buffer, DWORD(std::size(buffer)),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= std::size(buffer))
        return std::nullopt;
    QString target = QString::fromWCharArray(buffer, int(length));
    if (target.startsWith(QLatin1String("\\\\?\\UNC\\")))
        target = QLatin1String("\\\\") + target.mid(8);
    else if (target.startsWith(QLatin1String("\\\\?\\")))
        target = target.mid(4);
    return QDir::fromNativeSeparators(target);
}

Error makeFolder(const QString& dir)
{
    if (dir.isEmpty())
        return errorFor(ERROR_PATH_NOT_FOUND);
    const DWORD attributes = ::GetFileAttributesW(NativePath(dir));
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Error{} : errorFor(ERROR_DIRECTORY);
    const QString parent = QFileInfo(dir).path();
    if (parent != dir) {
        if (const Error error = makeFolder(parent))
            return error;
    }
    if (::CreateDirectoryW(NativePath(dir), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return {};
    return lastError();
}

Error replaceFile(const QString& path, const QByteArray& bytes)
{
    // Windows refuses a rename over a read-only file; asking first gives that answer on every file
    // system, before anything is written (Wine and some network shares would let it through).
    const DWORD attributes = ::GetFileAttributesW(NativePath(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return errorFor(ERROR_ACCESS_DENIED);

    // The temporary is shared for reading and for the rename below only: the clean-up of another
    // save opens candidates exclusively and so cannot take it while this handle lives, which is
    // until after the rename.
    QString temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryName(path);
        created = ::CreateFileW(NativePath(temporary), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return lastError();
    }
    if (created == INVALID_HANDLE_VALUE)
        return errorFor(ERROR_FILE_EXISTS);
    Handle file(created);

    const auto fail = [&temporary, &file](Error error) {
        ::DeleteFileW(NativePath(temporary));
        file.release();
        return error;
    };

    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteFile(file.get(), data, static_cast<DWORD>(left), &written, nullptr))
            return fail(lastError());
        if (written == 0)
            return fail(errorFor(ERROR_DISK_FULL));
        data += written;
        left -= written;
    }
    if (!::FlushFileBuffers(file.get()))
        return fail(lastError());
    // Believe the disk, not the counts: what is there must be every byte.
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return fail(lastError());
    if (size.QuadPart != bytes.size())
        return fail(errorFor(ERROR_WRITE_FAULT));

    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(NativePath(temporary), NativePath(path),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = ::GetLastError();
        // A file another program holds open refuses the rename, with a sharing violation or,
        // on some systems, as if access were denied.
        const bool inUse =
            error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && heldByAnother(path));
        if (!inUse)
            return fail(errorFor(error));
        if (attempt == kRenameAttempts)
            return fail(errorFor(ERROR_SHARING_VIOLATION));
        QThread::msleep(kRenamePauseMs);
    }
    file.release();
    return {};
}

void removeIfAbandoned(const QString& temporary)
{
    // Exclusive: fails with a sharing violation while a running save holds the file. Not through a
    // link; the handle deletes the file when it closes.
    const Handle file(::CreateFileW(NativePath(temporary), DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    Q_UNUSED(file);
}

QString configBase()
{
    // The roaming folder, which follows the user from machine to machine in a domain; Qt's own
    // configuration location is the local one.
    PWSTR folder = nullptr;
    QString base;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder)))
        base = QDir::fromNativeSeparators(QString::fromWCharArray(folder));
    ::CoTaskMemFree(folder);
    return base;
}

// The installer leaves this empty file beside korvo.exe; an unzipped copy has none.
bool installedCopy(const QString& programDir)
{
    return QFileInfo::exists(QDir(programDir).filePath(QStringLiteral("korvo.installed")));
}

} // namespace korvo::settings::files
