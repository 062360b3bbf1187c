#include "delay/delaywindow.h"
#include "windowtest.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

// Stands in for the main window: answers its BPM 2 text and counts being brought back.
class FakeHost final : public korvo::DelayHost
{
public:
    QString bpm2Text() const override { return bpm2; }
    QMargins windowFrame() const override { return frame; }
    void showMainWindow() override { ++shown; }

    QString bpm2 = QStringLiteral("120");
    QMargins frame; // none, as offscreen
    int shown = 0;
};

} // namespace

class TestDelayWindow : public QObject, WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstLoad_data();
    void firstLoad();
    void formatShowsOptionBox_data();
    void formatShowsOptionBox();
    void noFormatHidesAndTimebaseShowsAgain();
    void framesThenTicksSwitchesTheUnitBack();
    void selectionsRecompute();
    void indexOutsideListSelectsNothing();
    void defaultsButton();
    void tempoHandOverFollows();
    void textThatIsNotANumberLeavesBothBoxesEmpty();
    void closeButtonHidesAndKeepsChoices_data();
    void closeButtonHidesAndKeepsChoices();
    void firstShowingShowsWhatWasSetWhileHidden();
    void closingFromTheFrameDiscardsTheWindow();
    void listItems();
    void placement_data();
    void placement();
    void layout();
    void tabOrder();
    void displayOnlyBoxes();

private:
    template <typename T> T* child(const char* name) const
    {
        m_window->makeControls(); // a window not shown yet has none
        return control<T>(m_window, name);
    }

    FakeHost m_host;
    QPointer<korvo::DelayWindow> m_window;
};

void TestDelayWindow::init()
{
    startWindowTest();
    m_host.bpm2 = QStringLiteral("120");
    m_host.frame = QMargins();
    m_host.shown = 0;
    m_window = new korvo::DelayWindow(m_host);
}

void TestDelayWindow::cleanup()
{
    const QStringList leaked = openTopLevels(); // the window itself must have been closed
    delete m_window;
    endWindowTest(leaked);
}

void TestDelayWindow::firstLoad_data()
{
    QTest::addColumn<QString>("bpm2");
    QTest::addColumn<QString>("delay");
    QTest::newRow("120 BPM gives the eighth note at 250 ms") << "120"
                                                             << " 250";
    QTest::newRow("90 BPM gives 333 ms") << "90"
                                         << " 333";
    QTest::newRow("a restored tempo with a decimal part") << "120.5"
                                                          << " 249";
}

void TestDelayWindow::firstLoad()
{
    QFETCH(QString, bpm2);
    QFETCH(QString, delay);

    delete m_window;
    m_host.bpm2 = bpm2;
    m_window = new korvo::DelayWindow(m_host);

    QVERIFY(m_window->isHidden());
    QCOMPARE(m_window->objectName(), QStringLiteral("Delay"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Korvo ディレイ"));
    QCOMPARE(m_window->bpmText(), bpm2);
    QCOMPARE(m_window->noteIndex(), 3);
    QCOMPARE(m_window->modifierIndex(), 0);
    QCOMPARE(m_window->formatIndex(), 0);
    QCOMPARE(m_window->delayText(), delay);
    QVERIFY(!m_window->isOptionShown());
    QVERIFY(child<QLineEdit>("TextT")->isHidden());
    QVERIFY(child<QLabel>("Label7")->isHidden());
    QCOMPARE(m_host.shown, 0);
}

void TestDelayWindow::formatShowsOptionBox_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("option");

    QTest::newRow("no format hides box and unit") << 0 << false << "(ticks)"
                                                  << " 0";
    QTest::newRow("timebase 480") << 1 << true << "(ticks)"
                                  << " 240";
    QTest::newRow("timebase 96") << 2 << true << "(ticks)"
                                 << " 48";
    QTest::newRow("timebase 48") << 3 << true << "(ticks)"
                                 << " 24";
    QTest::newRow("24 fps") << 4 << true << "(frms)"
                            << " 6";
    QTest::newRow("29.97 fps") << 5 << true << "(frms)"
                               << " 7.49";
    QTest::newRow("30 fps") << 6 << true << "(frms)"
                            << " 7.5";
}

void TestDelayWindow::formatShowsOptionBox()
{
    QFETCH(int, format);
    QFETCH(bool, shown);
    QFETCH(QString, unit);
    QFETCH(QString, option);

    child<QComboBox>("CboFormat")->setCurrentIndex(format); // as a pick from the list does
    QCOMPARE(m_window->formatIndex(), format);
    QCOMPARE(m_window->isOptionShown(), shown);
    QCOMPARE(child<QLabel>("Label7")->isHidden(), !shown);
    QCOMPARE(m_window->optionUnit(), unit);
    QCOMPARE(m_window->optionText(), option);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 250"));
}

void TestDelayWindow::noFormatHidesAndTimebaseShowsAgain()
{
    m_window->setFormatIndex(4);
    QVERIFY(m_window->isOptionShown());
    m_window->setFormatIndex(0);
    QVERIFY(!m_window->isOptionShown());
    m_window->setFormatIndex(1);
    QVERIFY(m_window->isOptionShown());
    QVERIFY(!child<QLabel>("Label7")->isHidden());
    QCOMPARE(m_window->optionUnit(), QStringLiteral("(ticks)"));
    QCOMPARE(m_window->optionText(), QStringLiteral(" 240"));
}

void TestDelayWindow::framesThenTicksSwitchesTheUnitBack()
{
    m_window->setFormatIndex(6);
    QCOMPARE(m_window->optionUnit(), QStringLiteral("(frms)"));
    m_window->setFormatIndex(3);
    QCOMPARE(m_window->optionUnit(), QStringLiteral("(ticks)"));
    QCOMPARE(m_window->optionText(), QStringLiteral(" 24"));
}

void TestDelayWindow::selectionsRecompute()
{
    m_window->setNoteIndex(2);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 500"));
    m_window->setModifierIndex(1);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 750"));
    child<QComboBox>("CboNote1")->setCurrentIndex(10);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 56"));
    m_window->setFormatIndex(1);
    QCOMPARE(m_window->optionText(), QStringLiteral(" 53"));
}

void TestDelayWindow::indexOutsideListSelectsNothing()
{
    m_window->setNoteIndex(7);
    QCOMPARE(m_window->noteIndex(), -1);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 0"));
    m_window->setNoteIndex(2);
    m_window->setModifierIndex(-1);
    QCOMPARE(m_window->modifierIndex(), -1);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 500"));
    m_window->setFormatIndex(7);
    QCOMPARE(m_window->formatIndex(), -1);
    QVERIFY(m_window->isOptionShown());
    QCOMPARE(m_window->optionUnit(), QStringLiteral("(ticks)"));
    QCOMPARE(m_window->optionText(), QStringLiteral(" 0"));
}

void TestDelayWindow::defaultsButton()
{
    m_window->setNoteIndex(0);
    m_window->setModifierIndex(4);
    m_window->setFormatIndex(6);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 6000"));

    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(m_window->noteIndex(), 3);
    QCOMPARE(m_window->modifierIndex(), 0);
    QCOMPARE(m_window->formatIndex(), 0);
    QCOMPARE(m_window->delayText(), QStringLiteral(" 250"));
    QVERIFY(!m_window->isOptionShown());
    QVERIFY(m_window->isHidden());
    QCOMPARE(m_host.shown, 0);
}

void TestDelayWindow::tempoHandOverFollows()
{
    m_window->setBpmText(QStringLiteral("60"));
    QCOMPARE(m_window->bpmText(), QStringLiteral("60"));
    QCOMPARE(child<QLineEdit>("TextBPM1")->text(), QStringLiteral("60"));
    QCOMPARE(m_window->delayText(), QStringLiteral(" 500"));

    m_window->setNoteIndex(2);
    m_window->setModifierIndex(2);
    m_window->setBpmText(QStringLiteral("112"));
    QCOMPARE(m_window->delayText(), QStringLiteral(" 937"));

    // The host's text is read once, while loading, and never again.
    m_host.bpm2 = QStringLiteral("200");
    m_window->setFormatIndex(1);
    QCOMPARE(m_window->bpmText(), QStringLiteral("112"));
}

void TestDelayWindow::textThatIsNotANumberLeavesBothBoxesEmpty()
{
    m_window->setFormatIndex(1);
    m_window->setBpmText(QStringLiteral("120abc"));
    QCOMPARE(m_window->delayText(), QString());
    QCOMPARE(m_window->optionText(), QString());
    QVERIFY(m_window->isOptionShown());

    m_window->setBpmText(QStringLiteral("120"));
    QCOMPARE(m_window->delayText(), QStringLiteral(" 250"));
    QCOMPARE(m_window->optionText(), QStringLiteral(" 240"));
}

void TestDelayWindow::closeButtonHidesAndKeepsChoices_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("the Close button") << false;
    QTest::newRow("Escape, as in any window with a close button") << true;
}

void TestDelayWindow::closeButtonHidesAndKeepsChoices()
{
    QFETCH(bool, escape);
    m_window->setNoteIndex(4);
    m_window->setModifierIndex(1);
    m_window->setFormatIndex(5);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));

    if (escape)
        QTest::keyClick(child<QComboBox>("CboNote1"), Qt::Key_Escape);
    else
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    QVERIFY(m_window->isHidden());
    QCOMPARE(m_host.shown, 1);
    QCOMPARE(m_window->noteIndex(), 4);
    QCOMPARE(m_window->modifierIndex(), 1);
    QCOMPARE(m_window->formatIndex(), 5);

    // Hidden, it still follows the tempo it is handed.
    m_window->setBpmText(QStringLiteral("60"));
    QCOMPARE(m_window->delayText(), QStringLiteral(" 375"));
    QCOMPARE(m_window->optionText(), QStringLiteral(" 11.24"));
}

void TestDelayWindow::firstShowingShowsWhatWasSetWhileHidden()
{
    m_window->setBpmText(QStringLiteral("60"));
    m_window->setNoteIndex(2);
    m_window->setModifierIndex(1);
    m_window->setFormatIndex(4);
    QVERIFY(m_window->findChildren<QWidget*>().isEmpty()); // nothing to show them in yet

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QCOMPARE(child<QLineEdit>("TextBPM1")->text(), QStringLiteral("60"));
    QCOMPARE(child<QComboBox>("CboNote0")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>("CboNote1")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>("CboFormat")->currentIndex(), 4);
    QCOMPARE(child<QLineEdit>("TextD")->text(), QStringLiteral(" 1500"));
    QVERIFY(child<QLineEdit>("TextT")->isVisible());
    QCOMPARE(child<QLineEdit>("TextT")->text(), QStringLiteral(" 36"));
    QVERIFY(child<QLabel>("Label7")->isVisible());
    QCOMPARE(child<QLabel>("Label7")->text(), QStringLiteral("(frms)"));
    m_window->hide();
}

void TestDelayWindow::closingFromTheFrameDiscardsTheWindow()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_window.isNull());
    QCOMPARE(m_host.shown, 0);
}

void TestDelayWindow::listItems()
{
    const QStringList notes = {"全音符 whole",  "2分音符 half",  "4分音符 quarter", "8分音符 8th",
                               "16分音符 16th", "32分音符 32th", "64分音符 64th"};
    const QStringList modifiers = {"ちょうど just",
                                   "付点( . )",
                                   "付々点 ( . . )",
                                   "2倍",
                                   "3倍",
                                   "1/2",
                                   "1/3(三連 triplet)",
                                   "2/3(三連)",
                                   "1/5",
                                   "1/7",
                                   "1/9"};
    const QStringList formats = {"タイム・フォーマット(なし)", "Ｍｉｄｉ タイムベース=480",
                                 "Ｍｉｄｉ タイムベース= 96",  "Ｍｉｄｉ タイムベース= 48",
                                 "フレームレート = 24",        "フレームレート = 29.97",
                                 "フレームレート = 30"};
    auto items = [](QComboBox* box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    QCOMPARE(items(child<QComboBox>("CboNote0")), notes);
    QCOMPARE(items(child<QComboBox>("CboNote1")), modifiers);
    QCOMPARE(items(child<QComboBox>("CboFormat")), formats);
    for (const char* name : {"CboNote0", "CboNote1", "CboFormat"})
        QVERIFY2(!child<QComboBox>(name)->isEditable(), name);
}

void TestDelayWindow::placement_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QPoint>("position"); // of the client area
    // The window is 259 x 423 pixels.
    QTest::newRow("screen smaller than the window: above the top edge")
        << QSize(800, 300) << QMargins() << QPoint(361, -41);
    QTest::newRow("1280 x 1024: two thirds across, a third down")
        << QSize(1280, 1024) << QMargins() << QPoint(681, 200);
    QTest::newRow("1920 x 1080") << QSize(1920, 1080) << QMargins() << QPoint(1107, 219);
    // The whole window is placed, with the frame the main window learned: 263 x 449 in all.
    QTest::newRow("1280 x 1024 with a frame: the whole window placed")
        << QSize(1280, 1024) << QMargins(2, 24, 2, 2) << QPoint(678 + 2, 192 + 24);
    QTest::newRow("1920 x 1080 with a frame")
        << QSize(1920, 1080) << QMargins(2, 24, 2, 2) << QPoint(1105 + 2, 210 + 24);
}

void TestDelayWindow::placement()
{
    QFETCH(QSize, screen);
    QFETCH(QMargins, frame);
    QFETCH(QPoint, position);

    delete m_window;
    m_platform->screen = screen;
    m_host.frame = frame;
    m_window = new korvo::DelayWindow(m_host);
    QCOMPARE(m_window->size(), QSize(259, 423));
    QCOMPARE(m_window->geometry().topLeft(), position);
}

void TestDelayWindow::layout()
{
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    // The format list belongs to the window but lies over the frame, so it must be stacked above it.
    auto* format = child<QComboBox>("CboFormat");
    QCOMPARE(format->parentWidget(), m_window.data());
    const QObjectList& stack = m_window->children();
    QVERIFY(stack.indexOf(format) > stack.indexOf(child<QGroupBox>("Frame1")));
}

void TestDelayWindow::tabOrder()
{
    // What Tab visits: the focus chain, keeping the controls that take focus by Tab.
    QStringList order;
    QWidget* w = child<QWidget>("CboNote0");
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->window() == m_window && w != m_window)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != child<QWidget>("CboNote0") && order.size() < 20);
    QCOMPARE(order, QStringList({"CboNote0", "CboNote1", "CboFormat", "Command1", "Command2"}));
}

void TestDelayWindow::displayOnlyBoxes()
{
    for (const char* name : {"TextBPM1", "TextD", "TextT"}) {
        auto* box = child<QLineEdit>(name);
        QVERIFY2(!box->isEnabled(), name);
        QVERIFY2(box->focusPolicy() == Qt::NoFocus, name);
    }
}

#include "testmain.h"
KORVO_TEST_MAIN(TestDelayWindow)
#include "tst_delaywindow.moc"
