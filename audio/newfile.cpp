#include "audio/newfile.h"

#include <cerrno>

namespace korvo::audio {

WriteFailure failureOfErrno(int error)
{
    switch (error) {
    case EEXIST:
        return WriteFailure::Exists;
    case EACCES:
    case EPERM:
    case EROFS:
        return WriteFailure::NoPermission;
    case ENOSPC:
    case EFBIG:
#ifdef EDQUOT // a quota is a full disk to the user; not every C library has it
    case EDQUOT:
#endif
        return WriteFailure::DiskFull;
    default:
        return WriteFailure::CannotWrite;
    }
}

} // namespace korvo::audio
