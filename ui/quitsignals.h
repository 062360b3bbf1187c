#pragma once

#include <QObject>

class QSocketNotifier;

namespace korvo::ui {

// Turns the requests to end that come as signals into a Qt signal in the event loop, where the
// program's normal closing path can run: SIGTERM (the system shutting down, or `kill`), SIGINT
// (Ctrl+C in a terminal) and SIGHUP (the terminal closed). The signal handler itself only writes
// a byte into a pipe; a socket notifier reads it in the event loop. A second signal of the same
// kind ends the program at once, in case the first one's closing hangs.
// One instance at a time; it puts the default handlers back when it goes.
class QuitSignals final : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // Starts delivering quitRequested; a signal caught before then waits in the pipe until now.
    void start();

signals:
    void quitRequested();

private:
    void readRequests();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace korvo::ui
