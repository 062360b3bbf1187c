#include "settingsfixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool permissionsAreIgnored()
{
    return geteuid() == 0; // root writes into read-only folders
}

HeldLikeASave::HeldLikeASave(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    m_held = fd;
}

HeldLikeASave::~HeldLikeASave()
{
    if (m_held >= 0)
        ::close(static_cast<int>(m_held));
}

bool HeldLikeASave::held() const
{
    return m_held >= 0;
}
