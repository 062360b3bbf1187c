#include "ui/windowfront.h"

#include <QWidget>

namespace korvo::ui {

void bringToFront(QWidget* window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace korvo::ui
