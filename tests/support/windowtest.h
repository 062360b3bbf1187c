#pragma once

#include "fakeplatform.h"

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>

// Names of the top-level windows still open: a test that leaves one behind has leaked it.
inline QStringList openTopLevels()
{
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names << (w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName());
    return names;
}

// A window's control (or action) by its object name. A missing one fails the running test and gets
// a blank stand-in owned by the window, so the test runs on to its end and the tests after it still
// run, instead of the whole binary stopping at the first renamed control.
template <typename T> T* control(QWidget* window, const char* name)
{
    if (T* found = window->findChild<T*>(QString::fromUtf8(name)))
        return found;
    QTest::qFail(qPrintable(QString("no control %1 in %2").arg(name, window->objectName())), __FILE__,
                 __LINE__);
    return new T(window);
}

// What every window test sets up before each test and checks after it: a fresh fake platform, an
// empty folder of the test's own for the settings file, and no top-level window left open.
class WindowTest
{
protected:
    void startWindowTest()
    {
        m_platform = std::make_unique<FakePlatform>();
        m_dir = std::make_unique<QTemporaryDir>();
    }

    // Once the test has deleted its windows: lets pending deletions happen, drops the fakes, and fails
    // the test for every window still open or named in `leaked` (those found open before deleting).
    void endWindowTest(QStringList leaked = {})
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        leaked += openTopLevels();
        leaked.removeDuplicates();
        m_platform.reset();
        m_dir.reset();
        QVERIFY2(leaked.isEmpty(), qPrintable(leaked.join(", ")));
    }

    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<QTemporaryDir> m_dir;
};
