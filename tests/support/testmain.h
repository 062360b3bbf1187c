#pragma once

// The main() of every Qt test: KORVO_TEST_MAIN(TestClass) in place of QTEST_MAIN. It behaves like
// QTEST_MAIN (a QApplication when the test links Qt Widgets, a QCoreApplication when it links no GUI
// at all), except that a test with windows runs on Qt's offscreen platform unless QT_QPA_PLATFORM says
// otherwise. So a test binary started by hand from a terminal without a display runs instead of
// aborting, and one started on a desktop does not flash windows across it; QT_QPA_PLATFORM=xcb still
// shows them to whoever wants to watch.

#include <QTest>
#include <QtGlobal>

#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#endif

namespace korvo::test {

#if defined(QT_WIDGETS_LIB)
using Application = QApplication;
#elif defined(QT_GUI_LIB)
using Application = QGuiApplication;
#else
using Application = QCoreApplication;
#endif

// Before the application object exists: Qt picks its platform plugin in that constructor.
inline void defaultToOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace korvo::test

#define KORVO_TEST_MAIN(TestObject)                                                                          \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        korvo::test::defaultToOffscreen();                                                                   \
        korvo::test::Application app(argc, argv);                                                            \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject test;                                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
