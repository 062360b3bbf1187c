#pragma once

#include "app/mainwindow.h"
#include "mainwindowtest.h"
#include "settingsfixture.h" // kFirstRun

#include <QByteArray>
#include <QFile>
#include <QTest>

// What the start-up tests share, on every system and on Linux alone: runs of the program on the
// test's folder, and its settings file there.
class StartupTest : public MainWindowTest
{
protected:
    korvo::MainWindow& start() { return open(); } // a run of the program
    void exit();
    void writeFile(const QByteArray& bytes);
    QByteArray savedFile() const;
};

inline void StartupTest::exit()
{
    m_window->Command2_Click();
    QCOMPARE(m_window->iserr, korvo::MainWindow::kShuttingDown);
    QCOMPARE(m_platform->quitStatus, 0); // saved: a plain exit
    m_window.reset();
}

inline void StartupTest::writeFile(const QByteArray& bytes)
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QByteArray StartupTest::savedFile() const
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}
