#pragma once

#include "app/mainwindow.h"
#include "windowguard.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>

// A main window whose settings file lives in a test's own temporary folder.
inline std::unique_ptr<korvo::MainWindow> openMainWindow(const QTemporaryDir& dir)
{
    return std::make_unique<korvo::MainWindow>(korvo::settings::Store(dir.path(), dir.path() + "/config"));
}

// Ends a test's main window without the shutdown path (a test ending is not the user quitting),
// lets pending deletions happen, and returns the windows still open: any is a leak.
inline QStringList closeMainWindowQuietly(std::unique_ptr<korvo::MainWindow>& window)
{
    if (window)
        window->iserr = korvo::MainWindow::kShuttingDown;
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return openTopLevels();
}
