#include "app/mainwindow.h"
#include "filesizelimit.h"
#include "startuptest.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

using korvo::MainWindow;

namespace {

// True once the process has a handler for the signal, as /proc tells.
bool catches(qint64 pid, int signalNumber)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1u;
    }
    return false;
}

} // namespace

// The start-up tests that need Linux itself: a full disk made with a file size limit, a link that
// leads nowhere, and the signals that end the program, watched through /proc.
class TestStartupLinux : public QObject, StartupTest
{
    Q_OBJECT

private slots:
    void init() { startWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void saveFailureSaysWhatAndWhetherTheOldFileSurvives_data();
    void saveFailureSaysWhatAndWhetherTheOldFileSurvives();
    void signalsTakeTheClosingPath_data();
    void signalsTakeTheClosingPath();
    void noWindowSystemEndsWithOneLine();
};

void TestStartupLinux::saveFailureSaysWhatAndWhetherTheOldFileSurvives_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected"); // %1 stands for the folder of the test
    QTest::newRow("no folder can be made, and nothing was saved before")
        << "blocked"
        << "設定を保存できませんでした。保存先のフォルダが見つかりません。\n"
           "%1/blocker/config/bpm_data.ini\n次回は初期値で起動します。";
    QTest::newRow("disk full, the file from before untouched")
        << "full"
        << "設定を保存できませんでした。ディスクの空き容量が足りません。\n"
           "%1/bpm_data.ini\n前回までの設定はそのまま残っています。";
    QTest::newRow("the configuration copy is a link that leads nowhere, a folder beside the program")
        << "unreadable"
        << "設定を保存できませんでした。保存先のファイルを読み込めないため、上書きしませんでした。\n"
           "%1/config/bpm_data.ini\n次回は初期値で起動します。";
    QTest::newRow("no configuration folder at all, a folder in the file's place beside the program")
        << "no config folder"
        << "設定を保存できませんでした。保存先のファイルを読み込めないため、上書きしませんでした。\n"
           "%1/program/bpm_data.ini\n次回は初期値で起動します。";
}

void TestStartupLinux::saveFailureSaysWhatAndWhetherTheOldFileSurvives()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    if (setup == "blocked") {
        QFile blocker(m_dir->filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_window = std::make_unique<MainWindow>(
            korvo::settings::Store(m_dir->filePath("blocker/program"), m_dir->filePath("blocker/config")));
    } else if (setup == "no config folder") {
        QVERIFY(QDir(m_dir->path()).mkpath("program/bpm_data.ini"));
        m_window =
            std::make_unique<MainWindow>(korvo::settings::Store(m_dir->filePath("program"), QString()));
    } else if (setup == "unreadable") {
        QVERIFY(QDir(m_dir->path()).mkpath("program/bpm_data.ini"));
        QVERIFY(QDir(m_dir->path()).mkpath("config"));
        QVERIFY(QFile::link(m_dir->filePath("nowhere"), m_dir->filePath("config/bpm_data.ini")));
        m_window = std::make_unique<MainWindow>(
            korvo::settings::Store(m_dir->filePath("program"), m_dir->filePath("config")));
    } else {
        writeFile(kFirstRun);
        start().tempoEntry(0)->textBox()->setText("98.5");
    }
    {
        const std::optional<FileSizeLimit> full =
            setup == "full" ? std::optional<FileSizeLimit>(std::in_place, 8) : std::nullopt;
        m_window->Command2_Click();
    }

    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages[0].title, QString("保存エラー"));
    QCOMPARE(m_platform->messages[0].text, expected.arg(m_dir->path()));
    QCOMPARE(m_platform->quits, 1);
    QCOMPARE(m_platform->quitStatus, 1);
    if (setup == "full")
        QCOMPARE(savedFile(), kFirstRun);
}

void TestStartupLinux::signalsTakeTheClosingPath_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("saveFails");
    QTest::newRow("SIGTERM: the system shuts down") << int(SIGTERM) << false;
    QTest::newRow("SIGINT: Ctrl+C in a terminal") << int(SIGINT) << false;
    QTest::newRow("SIGHUP: the terminal closed") << int(SIGHUP) << false;
    QTest::newRow("SIGTERM with nowhere to save: exit status 1") << int(SIGTERM) << true;
}

void TestStartupLinux::signalsTakeTheClosingPath()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, saveFails);
    // A copy of the real program in a folder of its own keeps its settings there.
    const QString program = m_dir->filePath("korvo");
    QVERIFY(QFile::copy(KORVO_EXECUTABLE, program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
    if (saveFails) {
        // A folder in the file's place beside the program, a plain file where the configuration
        // folder would go: neither place can take the settings, whoever runs the test.
        QVERIFY(QDir(m_dir->path()).mkpath("bpm_data.ini"));
        QFile blocker(m_dir->filePath("config"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(program, QStringList());
    QVERIFY(child.waitForStarted(10000));

    for (int wait = 0; wait < 1000 && !catches(child.processId(), signalNumber); ++wait)
        QThread::msleep(10);
    QVERIFY2(catches(child.processId(), signalNumber), "the program never handles this signal");
    QCOMPARE(::kill(static_cast<pid_t>(child.processId()), signalNumber), 0);

    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), saveFails ? 1 : 0);
    if (!saveFails)
        QCOMPARE(savedFile(), kFirstRun);
}

void TestStartupLinux::noWindowSystemEndsWithOneLine()
{
    // A window system Qt has no plugin for, as Wayland without Qt's Wayland plugin: one plain line
    // and status 1, not Qt's abort with its page about plugins.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "korvo-test-no-such-window-system");
    environment.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(KORVO_EXECUTABLE, QStringList());
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 1);
    const QString said = QString::fromUtf8(child.readAllStandardError());
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.startsWith(QString::fromUtf8("korvo: 画面に接続できない")), qPrintable(said));
}

#include "testmain.h"
KORVO_TEST_MAIN(TestStartupLinux)
#include "tst_startup_linux.moc"
