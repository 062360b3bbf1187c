#pragma once

#include "app/mainwindow.h"
#include "fakeplatform.h"
#include "mainwindowsupport.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The settings file of a first run: the design values.
inline const QByteArray kFirstRunFile("120\r\n120\r\n3\r\n0\r\n0\r\n");

// What the start-up tests share, on every system and on Linux alone: a fake platform, a temporary
// folder that holds the program's settings file, and the main window started and ended on it.
// A test class calls setUpRun() from its init() and tearDownRun() from its cleanup().
class StartupFixture
{
protected:
    void setUpRun();
    void tearDownRun();

    korvo::MainWindow& start();
    void exit();
    void writeFile(const QByteArray& bytes);
    QByteArray savedFile() const;

    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<korvo::MainWindow> m_window;
};

inline void StartupFixture::setUpRun()
{
    m_platform = std::make_unique<FakePlatform>();
    m_dir = std::make_unique<QTemporaryDir>();
}

inline void StartupFixture::tearDownRun()
{
    const QStringList leaked = closeMainWindowQuietly(m_window);
    m_platform.reset();
    m_dir.reset();
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked.join(", ")));
}

inline korvo::MainWindow& StartupFixture::start()
{
    m_window.reset();
    m_window = openMainWindow(*m_dir);
    return *m_window;
}

inline void StartupFixture::exit()
{
    m_window->Command2_Click();
    QCOMPARE(m_window->iserr, korvo::MainWindow::kShuttingDown);
    m_window.reset();
}

inline void StartupFixture::writeFile(const QByteArray& bytes)
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QByteArray StartupFixture::savedFile() const
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}
