#include "audio/newfile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace korvo::audio {

namespace {

WriteFailure failureOfLastError()
{
    switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return WriteFailure::Exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
        return WriteFailure::NoPermission;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return WriteFailure::DiskFull;
    default:
        return WriteFailure::CannotWrite;
    }
}

} // namespace

std::FILE* createNew(const std::filesystem::path& file, WriteFailure& failure)
{
    HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failure = failureOfLastError();
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        failure = WriteFailure::CannotWrite;
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "wb");
    if (!stream) {
        _close(fd);
        failure = WriteFailure::CannotWrite;
        return nullptr;
    }
    failure = WriteFailure::None;
    return stream;
}

bool flushToDisk(std::FILE* stream)
{
    return std::fflush(stream) == 0 && _commit(_fileno(stream)) == 0;
}

WriteFailure publish(const std::filesystem::path& from, const std::filesystem::path& to, bool replace)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails where the name is taken.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(from.c_str(), to.c_str(), flags) ? WriteFailure::None : failureOfLastError();
}

} // namespace korvo::audio
