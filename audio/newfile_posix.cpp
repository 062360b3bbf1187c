#include "audio/newfile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace korvo::audio {

std::FILE* createNew(const std::filesystem::path& file, WriteFailure& failure)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        failure = failureOfErrno(errno);
        return nullptr;
    }
    std::FILE* stream = ::fdopen(fd, "wb");
    if (!stream) {
        failure = failureOfErrno(errno);
        ::close(fd);
        return nullptr;
    }
    failure = WriteFailure::None;
    return stream;
}

bool flushToDisk(std::FILE* stream)
{
    return std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0;
}

WriteFailure publish(const std::filesystem::path& from, const std::filesystem::path& to, bool replace)
{
    if (replace)
        return ::rename(from.c_str(), to.c_str()) == 0 ? WriteFailure::None : failureOfErrno(errno);
    // A hard link is made only where the name is free, and the check and the naming are one step.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return WriteFailure::None;
    }
    const int error = errno;
    if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != EXDEV)
        return failureOfErrno(error);
    // A file system without hard links (FAT on a memory card): the name is checked, then taken.
    if (::access(to.c_str(), F_OK) == 0)
        return WriteFailure::Exists;
    return ::rename(from.c_str(), to.c_str()) == 0 ? WriteFailure::None : failureOfErrno(errno);
}

} // namespace korvo::audio
