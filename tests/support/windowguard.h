#pragma once

#include <QApplication>
#include <QStringList>
#include <QWidget>

// Names of the top-level windows still open: a test that leaves one behind has leaked it.
inline QStringList openTopLevels()
{
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names << (w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName());
    return names;
}
