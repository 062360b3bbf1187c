#pragma once

#include <QObject>

class QSocketNotifier;

namespace korvo::ui {

// Turns the system's requests to end the program into a Qt signal in the event loop, where the
// program's unattended closing path can run. Each system has its own file:
// - POSIX (quitsignals_posix.cpp): SIGTERM (the system shutting down, or `kill`), SIGINT (Ctrl+C in
//   a terminal) and SIGHUP (the terminal closed). The signal handler itself only writes a byte into
//   a pipe; a socket notifier reads it in the event loop. A second signal of the same kind ends the
//   program at once, in case the first one's closing hangs. The default handlers come back when
//   this goes.
// - Windows (quitsignals_windows.cpp): the end of the session (log off, shutdown), which Qt passes
//   on as the session manager's commit-data request; the settings must be written before the
//   answer, since the process may be ended right after it.
// One instance at a time.
class QuitSignals final : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // Starts delivering quitRequested; on POSIX a signal caught before then waits in the pipe until now.
    void start();

signals:
    void quitRequested();

private:
    void readRequests();

    QSocketNotifier* m_notifier = nullptr; // POSIX only
};

} // namespace korvo::ui
