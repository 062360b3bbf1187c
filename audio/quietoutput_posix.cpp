#include "audio/quietoutput.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace korvo::audio {

QuietOutput::QuietOutput()
{
    std::fflush(stderr);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0)
        return;
    m_saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (m_saved >= 0 && dup2(nowhere, STDERR_FILENO) < 0) {
        close(m_saved);
        m_saved = -1;
    }
    close(nowhere);
}

QuietOutput::~QuietOutput()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    dup2(m_saved, STDERR_FILENO);
    close(m_saved);
}

} // namespace korvo::audio
