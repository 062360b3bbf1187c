#include "ui/quitsignals.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace korvo::ui {

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}

QuitSignals::~QuitSignals() = default;

// Windows asks every program before the session ends (WM_QUERYENDSESSION), and Qt turns that into
// the commit-data request. The closing path runs inside the request, directly: once the session
// really ends (WM_ENDSESSION) the process may be gone before the event loop turns again. The
// unattended path asks nothing, so the session is never held up by a box nobody sees.
void QuitSignals::start()
{
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { emit quitRequested(); });
}

} // namespace korvo::ui
