#include "app/mainwindow.h"
#include "fakeplatform.h"
#include "filesizelimit.h"
#include "mainwindowsupport.h"
#include "pitch/bpmvalue.h"
#include "windowguard.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>
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

const QByteArray kFirstRunFile("120\r\n120\r\n3\r\n0\r\n0\r\n");

} // namespace

// What survives from one run to the next: the main window's start-up reads bpm_data.ini and its
// shutdown writes it.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRunWritesTheDesignValues();
    void valuesComeBackNextRun_data();
    void valuesComeBackNextRun();
    void unopenedDelayWindowKeepsLoadedChoices();
    void savedTempoOutOfRangeIsRejectedAtStart();
    void damagedFileStartsNormally_data();
    void damagedFileStartsNormally();
    void failedSaveIsReportedAndKeepsNothingHalfWritten();
    void exitAfterClosingDelayFromItsFrameSavesDefaults();
    void saveFailureSaysWhatAndWhetherTheOldFileSurvives_data();
    void saveFailureSaysWhatAndWhetherTheOldFileSurvives();
    void unattendedExitAsksNothingAndSavesTheRestoredValues();
    void signalsTakeTheClosingPath_data();
    void signalsTakeTheClosingPath();
    void noWindowSystemEndsWithOneLine();

private:
    MainWindow& start();
    void exit();
    void writeFile(const QByteArray& bytes);
    QByteArray savedFile() const;

    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
};

void TestStartup::init()
{
    m_platform = std::make_unique<FakePlatform>();
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestStartup::cleanup()
{
    const QStringList leaked = closeMainWindowQuietly(m_window);
    m_platform.reset();
    m_dir.reset();
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked.join(", ")));
}

MainWindow& TestStartup::start()
{
    m_window.reset();
    m_window = openMainWindow(*m_dir);
    return *m_window;
}

void TestStartup::exit()
{
    m_window->Command2_Click();
    QCOMPARE(m_window->iserr, MainWindow::kShuttingDown);
    m_window.reset();
}

void TestStartup::writeFile(const QByteArray& bytes)
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestStartup::savedFile() const
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

void TestStartup::firstRunWritesTheDesignValues()
{
    start();
    exit();
    QCOMPARE(savedFile(), QByteArray("120\r\n120\r\n3\r\n0\r\n0\r\n"));
    QVERIFY(m_platform->messages.isEmpty());
}

void TestStartup::valuesComeBackNextRun_data()
{
    QTest::addColumn<QString>("bpm1");
    QTest::addColumn<QString>("bpm2");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("restored1");
    QTest::addColumn<QString>("restored2");
    QTest::addColumn<int>("slider2");
    QTest::newRow("a half and a long fraction")
        << "98.5"
        << "133.33333" << QByteArray("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n") << "98.5"
        << "133.3333" << 1333;
    QTest::newRow("a point and a zero come back whole")
        << "120.0"
        << "90" << QByteArray("120\r\n90\r\n2\r\n1\r\n1\r\n") << "120"
        << "90" << 900;
    QTest::newRow("the bounds") << "1"
                                << "250" << QByteArray("1\r\n250\r\n2\r\n1\r\n1\r\n") << "1"
                                << "250" << 2500;
}

void TestStartup::valuesComeBackNextRun()
{
    QFETCH(QString, bpm1);
    QFETCH(QString, bpm2);
    MainWindow& w = start();
    // With the sliders already at these tempos' tenths, the final calculation keeps the typed digits.
    w.tempoEntry(0)->slider()->setValue(korvo::bpm::positionForText(bpm1.toStdString()));
    w.tempoEntry(1)->slider()->setValue(korvo::bpm::positionForText(bpm2.toStdString()));
    w.tempoEntry(0)->textBox()->setText(bpm1);
    w.tempoEntry(1)->textBox()->setText(bpm2);
    w.delayWindow()->setNoteIndex(2);
    w.delayWindow()->setModifierIndex(1);
    w.delayWindow()->setFormatIndex(1);
    exit();
    QTEST(savedFile(), "file");

    // The texts come back as saved, and the sliders stand at their tenths without rewriting them.
    MainWindow& again = start();
    QTEST(again.tempoEntry(0)->textBox()->text(), "restored1");
    QTEST(again.tempoEntry(1)->textBox()->text(), "restored2");
    QTEST(again.tempoEntry(1)->slider()->value(), "slider2");
    // Wider than its box, a restored tempo is shown from its first digit.
    QCOMPARE(again.tempoEntry(1)->textBox()->cursorPosition(), 0);
    korvo::DelayWindow* delay = again.loadedDelayWindow();
    QVERIFY(delay);
    QVERIFY(!delay->isVisible());
    QVERIFY(delay->findChildren<QWidget*>().isEmpty()); // restored without making its controls
    QCOMPARE(delay->noteIndex(), 2);
    QCOMPARE(delay->modifierIndex(), 1);
    QCOMPARE(delay->formatIndex(), 1);
    QTEST(delay->bpmText(), "restored2");
    QVERIFY(m_platform->messages.isEmpty());

    // And a second round trip changes nothing.
    const QByteArray first = savedFile();
    exit();
    QCOMPARE(savedFile(), first);
}

void TestStartup::unopenedDelayWindowKeepsLoadedChoices()
{
    const QByteArray file("100\r\n110\r\n6\r\n10\r\n5\r\n");
    writeFile(file);
    start();
    exit();
    QCOMPARE(savedFile(), file);
}

void TestStartup::savedTempoOutOfRangeIsRejectedAtStart()
{
    writeFile("300\r\n130\r\n3\r\n0\r\n0\r\n");
    MainWindow& w = start();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages[0].title, QString("BPMエラー"));
    QCOMPARE(w.tempoEntry(0)->textBox()->text(), QString("120"));
    QCOMPARE(w.tempoEntry(1)->textBox()->text(), QString("120"));
    QCOMPARE(w.iserr, MainWindow::kRejected);
}

void TestStartup::damagedFileStartsNormally_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("bpm1");
    QTest::addColumn<QString>("bpm2");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<int>("messages"); // the range message, when a tempo item is not a usable tempo
    const QList<int> defaults{3, 0, 0};
    QTest::newRow("empty file") << QByteArray() << "120"
                                << "120" << defaults << 0;
    QTest::newRow("two tempos only") << QByteArray("90\r\n95\r\n") << "90"
                                     << "95" << defaults << 0;
    QTest::newRow("one tempo, no line end") << QByteArray("90") << "90"
                                            << "120" << defaults << 0;
    QTest::newRow("index out of range keeps its default")
        << QByteArray("90\r\n95\r\n7\r\n11\r\n2\r\n") << "90"
        << "95" << QList<int>{3, 0, 2} << 0;
    QTest::newRow("letters for an index") << QByteArray("90\r\n95\r\nx\r\n1\r\n1\r\n") << "90"
                                          << "95" << QList<int>{3, 1, 1} << 0;
    QTest::newRow("line feeds only") << QByteArray("90\n95\n2\n1\n1\n") << "90"
                                     << "95" << QList<int>{2, 1, 1} << 0;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "90\r\n95\r\n2\r\n1\r\n1\r\n")
                                     << "90"
                                     << "95" << QList<int>{2, 1, 1} << 0;
    QTest::newRow("binary noise") << QByteArray("\x01\x02\xff\x00\x80", 5) << "120"
                                  << "120" << defaults << 1;
    QTest::newRow("a megabyte of digits") << QByteArray(1 << 20, '7') << "120"
                                          << "120" << defaults << 0;
    QTest::newRow("a Latin-1 degree sign after a tempo: the tempo before it")
        << QByteArray("98.5\xB0\r\n95\r\n2\r\n1\r\n1\r\n") << "98.5"
        << "95" << QList<int>{2, 1, 1} << 0;
    QTest::newRow("an empty tempo line is rejected like an empty box")
        << QByteArray("\r\n95\r\n2\r\n1\r\n1\r\n") << "120"
        << "120" << QList<int>{2, 1, 1} << 1;
}

void TestStartup::damagedFileStartsNormally()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, indexes);
    writeFile(file);
    MainWindow& w = start();
    QTEST(w.tempoEntry(0)->textBox()->text(), "bpm1");
    QTEST(w.tempoEntry(1)->textBox()->text(), "bpm2");
    korvo::DelayWindow* delay = w.delayWindow();
    QCOMPARE(QList<int>({delay->noteIndex(), delay->modifierIndex(), delay->formatIndex()}), indexes);
    // Binary noise or an empty line is not a tempo: the usual range message, nothing more.
    QTEST(int(m_platform->messages.size()), "messages");
    for (const korvo::Message& message : m_platform->messages)
        QCOMPARE(message.title, QString("BPMエラー"));
}

void TestStartup::failedSaveIsReportedAndKeepsNothingHalfWritten()
{
    // Both places lie under a plain file, so neither can hold a settings file.
    QFile blocker(m_dir->filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_window = std::make_unique<MainWindow>(
        korvo::settings::Store(m_dir->filePath("blocker/program"), m_dir->filePath("blocker/config")));
    m_window->Command2_Click();

    QCOMPARE(m_platform->messages.size(), 1);
    const korvo::Message& message = m_platform->messages[0];
    QCOMPARE(message.icon, korvo::Message::Icon::Critical);
    QVERIFY2(message.text.contains("blocker"), qPrintable(message.text));
    QCOMPARE(m_platform->quits, 1); // told, then the program still ends
}

void TestStartup::exitAfterClosingDelayFromItsFrameSavesDefaults()
{
    MainWindow& w = start();
    w.CommandD_Click();
    w.loadedDelayWindow()->setNoteIndex(0);
    w.loadedDelayWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.loadedDelayWindow());
    // Saving addresses the delay window, which comes back with its defaults.
    w.write_init();
    QCOMPARE(savedFile(), QByteArray("120\r\n120\r\n3\r\n0\r\n0\r\n"));
}

void TestStartup::saveFailureSaysWhatAndWhetherTheOldFileSurvives_data()
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
}

void TestStartup::saveFailureSaysWhatAndWhetherTheOldFileSurvives()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    if (setup == "blocked") {
        QFile blocker(m_dir->filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_window = std::make_unique<MainWindow>(
            korvo::settings::Store(m_dir->filePath("blocker/program"), m_dir->filePath("blocker/config")));
    } else {
        writeFile(kFirstRunFile);
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
    if (setup == "full")
        QCOMPARE(savedFile(), kFirstRunFile);
}

void TestStartup::unattendedExitAsksNothingAndSavesTheRestoredValues()
{
    MainWindow& w = start();
    w.tempoEntry(0)->textBox()->setText("300");
    w.terminateUnattended();

    // Nobody is there to answer: no box waits, the question counts as OK.
    QVERIFY(m_platform->messages.isEmpty());
    QCOMPARE(m_platform->quits, 1);
    QCOMPARE(w.iserr, MainWindow::kShuttingDown);
    QCOMPARE(savedFile(), kFirstRunFile);
    QCOMPARE(&korvo::Platform::current(), static_cast<korvo::Platform*>(m_platform.get()));
    m_window.reset();
}

void TestStartup::signalsTakeTheClosingPath_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM: the system shuts down") << int(SIGTERM);
    QTest::newRow("SIGINT: Ctrl+C in a terminal") << int(SIGINT);
    QTest::newRow("SIGHUP: the terminal closed") << int(SIGHUP);
}

void TestStartup::signalsTakeTheClosingPath()
{
    QFETCH(int, signalNumber);
    // A copy of the real program in a folder of its own keeps its settings there.
    const QString program = m_dir->filePath("korvo");
    QVERIFY(QFile::copy(KORVO_EXECUTABLE, program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
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
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(savedFile(), kFirstRunFile);
}

void TestStartup::noWindowSystemEndsWithOneLine()
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
KORVO_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
