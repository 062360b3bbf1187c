#include "ui/quitsignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace korvo::ui {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

int g_readEnd = -1;
int g_writeEnd = -1;

// Only async-signal-safe calls here: one write into a non-blocking pipe. A full pipe already
// holds a request, so a failed write loses nothing.
extern "C" void onQuitSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // then the signals keep their default action: the program ends as before
    g_readEnd = ends[0];
    g_writeEnd = ends[1];

    struct sigaction action
    {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);

    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readRequests);
}

QuitSignals::~QuitSignals()
{
    for (int number : kSignals)
        std::signal(number, SIG_DFL);
    delete m_notifier;
    if (g_readEnd >= 0) {
        ::close(g_readEnd);
        ::close(g_writeEnd);
    }
    g_readEnd = g_writeEnd = -1;
}

void QuitSignals::start()
{
    if (m_notifier)
        m_notifier->setEnabled(true);
}

void QuitSignals::readRequests()
{
    char bytes[64];
    bool requested = false;
    while (::read(g_readEnd, bytes, sizeof bytes) > 0)
        requested = true;
    if (requested)
        emit quitRequested();
}

} // namespace korvo::ui
