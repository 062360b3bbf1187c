#include "app/mainwindow.h"
#include "pitch/bpmvalue.h"
#include "startuptest.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

using korvo::MainWindow;

// What survives from one run to the next: the main window's start-up reads bpm_data.ini and its
// shutdown writes it.
class TestStartup : public QObject, StartupTest
{
    Q_OBJECT

private slots:
    void init() { startWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void firstRunWritesTheDesignValues();
    void valuesComeBackNextRun_data();
    void valuesComeBackNextRun();
    void unopenedDelayWindowKeepsLoadedChoices();
    void savedTempoOutOfRangeIsRejectedAtStart();
    void damagedFileStartsNormally_data();
    void damagedFileStartsNormally();
    void failedSaveIsReportedAndKeepsNothingHalfWritten();
    void exitAfterClosingDelayFromItsFrameSavesDefaults();
    void unattendedExitAsksNothingAndSavesTheRestoredValues();
};

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
    QCOMPARE(m_platform->quitStatus, 1);
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

void TestStartup::unattendedExitAsksNothingAndSavesTheRestoredValues()
{
    MainWindow& w = start();
    w.tempoEntry(0)->textBox()->setText("300");
    w.terminateUnattended();

    // Nobody is there to answer: no box waits, the question counts as OK.
    QVERIFY(m_platform->messages.isEmpty());
    QCOMPARE(m_platform->quits, 1);
    QCOMPARE(m_platform->quitStatus, 0);
    QCOMPARE(w.iserr, MainWindow::kShuttingDown);
    QCOMPARE(savedFile(), kFirstRun);
    QCOMPARE(&korvo::Platform::current(), static_cast<korvo::Platform*>(m_platform.get()));
    m_window.reset();
}

#include "testmain.h"
KORVO_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
