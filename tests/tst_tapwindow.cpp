#include "tap/tapwindow.h"
#include "ui/twips.h"
#include "windowtest.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

using korvo::TapWindow;

namespace {

// Stands in for the main window: two entry texts and a log of everything the tap window asks of it.
class FakeHost final : public korvo::TapHost
{
public:
    QString entryText(int entry) const override { return entries[entry]; }
    void setEntryText(int entry, const QString& text) override
    {
        entries[entry] = text;
        log << QStringLiteral("write %1 %2").arg(entry).arg(text);
    }
    void calc_pitch() override
    {
        log << QStringLiteral("calc");
        windowVisibleAtCalc = window && window->isVisible();
    }
    void showMainWindow() override { log << QStringLiteral("show"); }

    QString entries[2] = {"100", "120"};
    QStringList log;
    QPointer<QWidget> window;
    bool windowVisibleAtCalc = false;
};

} // namespace

class TestTapWindow : public QObject, WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opening_data();
    void opening();
    void firstTapChangesNothing();
    void tapsWriteOnlyTheTargetEntry_data();
    void tapsWriteOnlyTheTargetEntry();
    void startOverRestoresOpeningTextAndKeepsEstimate();
    void sendWritesTheNamedEntryAndRecalculates_data();
    void sendWritesTheNamedEntryAndRecalculates();
    void setWithoutTapsRecalculatesOnce();
    void setAfterTapsWritesNothingMore();
    void closingThroughTheFrameLeavesTheTappedValue();
    void copyPutsTheShownText();
    void tapButtonIsDefaultAndHasFocus();
    void enterTaps_data();
    void enterTaps();
    void enterPressesTheFocusedButton();
    void escapeClosesAsTheCloseBoxDoes();
    void hiddenControlsLieBelowTheClientArea();
    void tabSkipsTheHiddenButtons();
    void accessKeys_data();
    void accessKeys();

private:
    TapWindow* open(int ref);
    void showActive();
    void tapAt(double seconds);
    template <typename T> T* control(const char* name) const { return ::control<T>(m_window, name); }

    std::unique_ptr<FakeHost> m_host;
    QPointer<TapWindow> m_window;
};

void TestTapWindow::init()
{
    startWindowTest();
    m_host = std::make_unique<FakeHost>();
}

void TestTapWindow::cleanup()
{
    delete m_window;
    m_host.reset();
    endWindowTest();
}

// Opens the window the way the main window does: loaded, then shown application-modal.
TapWindow* TestTapWindow::open(int ref)
{
    m_host->tap_ref = static_cast<qint16>(ref);
    m_window = new TapWindow(*m_host);
    m_host->window = m_window;
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->setWindowModality(Qt::ApplicationModal);
    m_window->show();
    return m_window;
}

void TestTapWindow::showActive()
{
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void TestTapWindow::tapAt(double seconds)
{
    m_platform->now = seconds;
    control<QPushButton>("Command1")->click();
}

void TestTapWindow::opening_data()
{
    QTest::addColumn<int>("ref");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");

    QTest::newRow("opened for BPM 1") << 0 << "新BPM 1"
                                      << "100";
    QTest::newRow("opened for BPM 2") << 1 << "新BPM 2"
                                      << "120";
}

void TestTapWindow::opening()
{
    QFETCH(int, ref);
    QFETCH(QString, caption);
    QFETCH(QString, text);

    open(ref);
    QCOMPARE(m_window->windowTitle(), QString("Korvo タップ"));
    QCOMPARE(m_window->objectName(), QString("TAP"));
    QCOMPARE(control<QGroupBox>("FrameBPM")->title(), caption);
    QCOMPARE(control<QLineEdit>("TextBPM")->text(), text);
    QVERIFY(!control<QLineEdit>("TextBPM")->isEnabled());
    QCOMPARE(control<QLabel>("Label1")->text(), QString("Label1"));
    QCOMPARE(m_host->log, QStringList());
}

void TestTapWindow::firstTapChangesNothing()
{
    open(0);
    tapAt(1000.0);
    QCOMPARE(m_host->log, QStringList());
    QCOMPARE(control<QLineEdit>("TextBPM")->text(), QString("100"));
    QCOMPARE(control<QLabel>("Label5")->text(), QString("Label5"));
}

void TestTapWindow::tapsWriteOnlyTheTargetEntry_data()
{
    QTest::addColumn<int>("ref");
    QTest::newRow("BPM 1 window writes BPM 1") << 0;
    QTest::newRow("BPM 2 window writes BPM 2, BPM 1 untouched") << 1;
}

void TestTapWindow::tapsWriteOnlyTheTargetEntry()
{
    QFETCH(int, ref);
    m_host->entries[0] = "80";
    m_host->entries[ref] = "100";
    const QString other = m_host->entries[1 - ref];
    open(ref);

    QStringList shown;
    for (double t = 1000.0; t <= 1003.0; t += 0.5) {
        tapAt(t);
        shown << control<QLineEdit>("TextBPM")->text();
        QCOMPARE(m_host->entries[ref], shown.last());
    }
    QCOMPARE(shown, QStringList({"100", "105", "108.7", "111.5", "113.6", "115.2", "116.4"}));
    QCOMPARE(m_host->entries[1 - ref], other);
    QCOMPARE(m_host->log.filter(QStringLiteral("write %1 ").arg(1 - ref)), QStringList());
    QCOMPARE(m_host->log.count(QStringLiteral("calc")), 0);

    QStringList labels;
    for (int i = 1; i <= 5; ++i)
        labels << control<QLabel>(QStringLiteral("Label%1").arg(i).toLatin1().constData())->text();
    QCOMPARE(labels, QStringList({"1003", "0.5", "120", "100", "116.4404296875"}));
}

void TestTapWindow::startOverRestoresOpeningTextAndKeepsEstimate()
{
    m_host->entries[1] = "100";
    open(1);
    for (double t = 0.0; t <= 3.0; t += 0.5)
        tapAt(t);
    m_host->log.clear();

    control<QPushButton>("CommandClear")->click();
    QCOMPARE(control<QLineEdit>("TextBPM")->text(), QString("100"));
    QCOMPARE(m_host->log, QStringList({"write 1 100"}));

    tapAt(10.0);
    QCOMPARE(m_host->log.size(), 1);
    tapAt(10.5);
    // From the last run's 116.44, not from the restored 100.
    QCOMPARE(control<QLineEdit>("TextBPM")->text(), QString("117.3"));
    QCOMPARE(m_host->log, QStringList({"write 1 100", "write 1 117.3"}));
}

void TestTapWindow::sendWritesTheNamedEntryAndRecalculates_data()
{
    QTest::addColumn<int>("ref");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("target");

    QTest::newRow("BPM 2 window, Send to 1") << 1 << "CmdSend1" << 0;
    QTest::newRow("BPM 1 window, Send to 2") << 0 << "CmdSend2" << 1;
    QTest::newRow("BPM 2 window, Send to 2") << 1 << "CmdSend2" << 1;
}

void TestTapWindow::sendWritesTheNamedEntryAndRecalculates()
{
    QFETCH(int, ref);
    QFETCH(QString, button);
    QFETCH(int, target);

    m_host->entries[ref] = "100";
    open(ref);
    tapAt(0.0);
    tapAt(0.5);
    m_host->log.clear();

    control<QPushButton>(button.toLatin1().constData())->click();
    QCOMPARE(m_host->log, QStringList({QStringLiteral("write %1 105").arg(target), "calc"}));
    QVERIFY(m_window->isVisible());
    QVERIFY(m_host->windowVisibleAtCalc);

    m_host->log.clear();
    tapAt(1.0);
    QCOMPARE(m_host->log, QStringList({QStringLiteral("write %1 108.7").arg(ref)}));
}

void TestTapWindow::setWithoutTapsRecalculatesOnce()
{
    open(0);
    control<QPushButton>("CommandClose")->click();
    QCOMPARE(m_host->log, QStringList({"show", "calc"}));
    QVERIFY2(!m_host->windowVisibleAtCalc, "the window hides before the main window recalculates");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(!m_window, "Set unloads the window");
}

void TestTapWindow::setAfterTapsWritesNothingMore()
{
    open(0);
    tapAt(0.0);
    tapAt(0.125);
    m_host->log.clear();
    control<QPushButton>("CommandClose")->click();
    QCOMPARE(m_host->log, QStringList({"show", "calc"}));
    // 480 BPM from 100: above the range, left for the main window's recalculation to reject.
    QCOMPARE(m_host->entries[0], QString("195"));
}

void TestTapWindow::closingThroughTheFrameLeavesTheTappedValue()
{
    open(0);
    tapAt(0.0);
    tapAt(0.5);
    m_host->log.clear();

    QVERIFY(m_window->close());
    QCOMPARE(m_host->entries[0], QString("105"));
    QCOMPARE(m_host->log, QStringList());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window);
}

void TestTapWindow::copyPutsTheShownText()
{
    open(0);
    for (double t = 0.0; t <= 1.0; t += 0.5)
        tapAt(t);
    control<QPushButton>("CommandCopy")->click();
    QCOMPARE(m_platform->clipboard, QString("108.7"));
    QCOMPARE(m_host->log.count(QStringLiteral("calc")), 0);
}

void TestTapWindow::tapButtonIsDefaultAndHasFocus()
{
    open(0);
    showActive();
    QVERIFY(control<QPushButton>("Command1")->isDefault());
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>("Command1"));
}

void TestTapWindow::enterTaps_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
}

void TestTapWindow::enterTaps()
{
    QFETCH(int, key);
    open(0);
    showActive();
    m_platform->now = 4.0;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    m_platform->now = 4.5;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(control<QLineEdit>("TextBPM")->text(), QString("105"));
    QCOMPARE(m_host->log, QStringList({"write 0 105"}));
}

void TestTapWindow::enterPressesTheFocusedButton()
{
    open(0);
    showActive();
    tapAt(0.0);
    tapAt(0.5);
    m_host->log.clear();

    control<QPushButton>("CommandClear")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_host->log, QStringList({"write 0 100"}));
}

void TestTapWindow::escapeClosesAsTheCloseBoxDoes()
{
    open(0);
    showActive();
    tapAt(0.0);
    tapAt(0.5);
    m_host->log.clear();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_window);
    // As through the window frame: the tapped value stays, nothing is set or recalculated.
    QCOMPARE(m_host->entries[0], QString("105"));
    QCOMPARE(m_host->log, QStringList());
}

void TestTapWindow::hiddenControlsLieBelowTheClientArea()
{
    open(0);
    QCOMPARE(m_window->size(), korvo::ui::twips(0, 0, 3495, 3150).size());
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());

    for (const char* name : {"FrameBPM", "Command1", "CommandClear", "CommandClose"})
        QVERIFY2(m_window->rect().contains(control<QWidget>(name)->geometry()), name);
    for (const char* name :
         {"CmdSend1", "CmdSend2", "CommandCopy", "Label1", "Label2", "Label3", "Label4", "Label5"}) {
        QWidget* w = control<QWidget>(name);
        QVERIFY2(w->geometry().top() >= m_window->height(), name);
        QVERIFY2(w->isVisible() && w->isEnabled(), name); // out of sight, but not hidden
    }
}

void TestTapWindow::tabSkipsTheHiddenButtons()
{
    // The buttons below the client area cannot be seen, so Tab must not put the focus there: Enter
    // would then press a button nobody sees (a send would overwrite BPM 1 unasked).
    open(0);
    showActive();
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"Command1", "CommandClear", "CommandClose", "Command1"}));
}

void TestTapWindow::accessKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("Alt+1 sends to BPM 1 from below the client area")
        << int(Qt::Key_1) << QStringList({"write 0 105", "calc"});
    QTest::newRow("Alt+2 sends to BPM 2 from below the client area")
        << int(Qt::Key_2) << QStringList({"write 1 105", "calc"});
    QTest::newRow("Alt+S sets") << int(Qt::Key_S) << QStringList({"show", "calc"});
    // The copy button lies out of sight and has no access key of its own.
    QTest::newRow("Ctrl+C copies") << int(Qt::Key_C) << QStringList();
}

void TestTapWindow::accessKeys()
{
    QFETCH(int, key);
    QFETCH(QStringList, log);

    m_host->entries[0] = "80";
    m_host->entries[1] = "100";
    open(1);
    showActive();
    tapAt(0.0);
    tapAt(0.5);
    m_host->log.clear();

    if (key == Qt::Key_C) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(m_platform->clipboard, QString("105"));
    } else {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);
    }
    QTRY_COMPARE(m_host->log, log);
}

#include "testmain.h"
KORVO_TEST_MAIN(TestTapWindow)
#include "tst_tapwindow.moc"
