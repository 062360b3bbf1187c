#pragma once

#include "app/mainwindow.h"
#include "windowtest.h"

#include <memory>

// A window test around the main window, whose settings file lives in the test's own folder.
class MainWindowTest : public WindowTest
{
protected:
    // A main window as the program starts one, in place of the one open.
    korvo::MainWindow& open()
    {
        m_window.reset();
        m_window = std::make_unique<korvo::MainWindow>(
            korvo::settings::Store(m_dir->path(), m_dir->path() + "/config"));
        return *m_window;
    }

    // Ends the main window without the shutdown path (a test ending is not the user quitting), then
    // ends the test as every window test ends.
    void endMainWindowTest()
    {
        if (m_window)
            m_window->iserr = korvo::MainWindow::kShuttingDown;
        m_window.reset();
        endWindowTest();
    }

    std::unique_ptr<korvo::MainWindow> m_window;
};
