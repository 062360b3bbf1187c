#include "app/mainwindow.h"
#include "delay/delaycalc.h"
#include "mainwindowtest.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <memory>
#include <random>

using korvo::MainWindow;

namespace {

constexpr quint64 kDefaultSeed = 20261207;
constexpr int kDefaultSteps = 20000;

// Whether an action ends with a calc_pitch run: only right after one do the results have to match
// the entries.
enum class Calc
{
    No,
    Yes
};

} // namespace

// Random use of the real windows, offscreen, with the fake platform answering at random: clicks,
// typing, sliders, the delay lists, the tap window with an advancing clock, the manual and the exit
// paths. After every step the rules that must always hold are checked. A failure names the seed,
// the step and the actions leading up to it; KORVO_MONKEY_SEED and KORVO_MONKEY_STEPS replay it.
class TestMonkey : public QObject, MainWindowTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup() { endMainWindowTest(); }

    void randomUseKeepsEveryRule_data();
    void randomUseKeepsEveryRule();

private:
    void start();
    Calc step();
    Calc stepInTapWindow();
    Calc typeKeys();
    Calc moveSlider();
    Calc useDelayWindow();
    Calc exitProgram();
    QString brokenRule(Calc calc) const;
    QByteArray settingsFile() const;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    void note(const QString& action);
    void breaks(const QString& rule);

    std::mt19937_64 m_rng;
    std::deque<QString> m_recent; // the last actions, for the failure message
    QString m_broken;             // a rule an action found broken on its way
    int m_restarts = 0;
    int m_tapWindows = 0;
    int m_rejections = 0;
};

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform cannot raise windows and says so every time a side window opens; thousands
// of those lines would bury a real warning.
void dropRaiseNotice(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message == QLatin1String("This plugin does not support raise()"))
        return;
    g_previousHandler(type, context, message);
}

} // namespace

void TestMonkey::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(dropRaiseNotice);
}

void TestMonkey::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void TestMonkey::init()
{
    startWindowTest();
    m_recent.clear();
    m_broken.clear();
    m_restarts = 0;
    m_tapWindows = 0;
    m_rejections = 0;
}

void TestMonkey::randomUseKeepsEveryRule_data()
{
    QTest::addColumn<quint64>("seed");
    bool ok = false;
    const quint64 fromEnv = qEnvironmentVariable("KORVO_MONKEY_SEED").toULongLong(&ok);
    if (ok)
        QTest::newRow("seed from KORVO_MONKEY_SEED") << fromEnv;
    else
        QTest::newRow("fixed seed") << kDefaultSeed;
}

void TestMonkey::randomUseKeepsEveryRule()
{
    QFETCH(quint64, seed);
    bool ok = false;
    int steps = qEnvironmentVariableIntValue("KORVO_MONKEY_STEPS", &ok);
    if (!ok || steps <= 0)
        steps = kDefaultSteps;

    m_rng.seed(seed);
    start();
    for (int i = 0; i < steps; ++i) {
        // The answer to whatever is asked: mostly Cancel, now and then OK. A range message takes
        // the first answer and ignores it, so the exit question may get the second.
        m_platform->answers = {chance(0.1), chance(0.1), chance(0.1)};
        m_platform->messages.clear();
        m_platform->beeps = 0;

        const bool tapWasOpen = m_window->tapWindow() != nullptr;
        const Calc calc = step();
        if (!tapWasOpen && m_window->tapWindow())
            ++m_tapWindows;
        if (calc == Calc::Yes && m_window->iserr == MainWindow::kRejected)
            ++m_rejections;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (i % 16 == 0)
            QCoreApplication::processEvents(); // paint now and then, with whatever the texts hold

        const QString broken = brokenRule(calc);
        if (!broken.isEmpty()) {
            QStringList recent(m_recent.begin(), m_recent.end());
            QFAIL(qPrintable(
                QString("seed %1, step %2: %3\nlast actions:\n  %4\nreplay with KORVO_MONKEY_SEED=%1 "
                        "KORVO_MONKEY_STEPS=%5")
                    .arg(seed)
                    .arg(i)
                    .arg(broken, recent.join("\n  "))
                    .arg(i + 1)));
        }
    }
    qInfo("%d steps, %d endings with OK and restarts, %d tap windows, %d rejected tempos", steps, m_restarts,
          m_tapWindows, m_rejections);
    // A long run that never ended with OK, opened no tap window or rejected nothing would prove little.
    QVERIFY2(steps < 2000 || (m_restarts > 0 && m_tapWindows > 0 && m_rejections > 0),
             "the run missed a whole part of the program");
}

void TestMonkey::breaks(const QString& rule)
{
    if (m_broken.isEmpty())
        m_broken = rule;
}

void TestMonkey::note(const QString& action)
{
    m_recent.push_back(action);
    if (m_recent.size() > 16)
        m_recent.pop_front();
}

// Program start as in main(): the main window is created with the settings of the last run and shown.
void TestMonkey::start()
{
    open().show();
}

Calc TestMonkey::step()
{
    // The tap window is modal: while it is open the user reaches nothing else.
    if (m_window->tapWindow() && m_window->tapWindow()->isVisible())
        return stepInTapWindow();

    MainWindow& w = *m_window;
    const int roll = pick(100);
    if (roll < 32)
        return typeKeys();
    if (roll < 60)
        return moveSlider();
    if (roll < 67) {
        note("計算！");
        w.findChild<QPushButton*>("Command1")->click();
        return Calc::Yes;
    }
    if (roll < 69) {
        note("menu 計算実行");
        w.findChild<QAction*>("Menu_calculate")->trigger();
        return Calc::Yes;
    }
    if (roll < 73) {
        const bool menu = chance(0.5);
        note(menu ? "menu ディレイタイム" : "ディレイタイム button");
        if (menu)
            w.findChild<QAction*>("manu_delay")->trigger();
        else
            w.findChild<QPushButton*>("CommandD")->click();
        return Calc::Yes;
    }
    if (roll < 89)
        return useDelayWindow();
    if (roll < 93) {
        const int entry = pick(2);
        const bool menu = chance(0.5);
        note(QString("tap window for BPM %1 (%2)").arg(entry + 1).arg(menu ? "menu" : "button"));
        if (menu)
            w.findChild<QAction*>(entry == 0 ? "menu_tap0" : "menu_tap1")->trigger();
        else
            w.findChild<QPushButton*>(entry == 0 ? "CommandTA" : "CommandTB")->click();
        return Calc::Yes;
    }
    if (roll < 97) {
        if (w.manualWindow() && chance(0.6)) {
            note("close manual");
            w.manualWindow()->close();
        } else {
            note("menu マニュアル表示");
            w.findChild<QAction*>("menu_manual")->trigger();
        }
        return Calc::No;
    }
    if (roll < 98) {
        note("menu 作者情報");
        w.findChild<QAction*>("Manu_credit")->trigger();
        return Calc::No;
    }
    return exitProgram();
}

// Keys into one tempo box: digits, the point, letters, blanks, Backspace, and now and then Enter,
// which is the Calculate button.
Calc TestMonkey::typeKeys()
{
    const int entry = pick(2);
    QLineEdit* box = m_window->tempoEntry(entry)->textBox();
    static const char kChars[] = "0123456789012345678901234567890123456789....abcxEeDd ";
    QString typed;
    if (chance(0.15)) {
        box->selectAll();
        typed += "[select all]";
    }
    const int keys = 1 + pick(4);
    for (int k = 0; k < keys; ++k) {
        if (chance(0.25)) {
            QTest::keyClick(box, Qt::Key_Backspace);
            typed += "⌫";
        } else {
            const char c = kChars[pick(int(sizeof kChars) - 1)];
            QTest::keyClick(box, c);
            typed += QChar(c);
        }
    }
    const bool enter = chance(0.2);
    if (enter) {
        QTest::keyClick(box, Qt::Key_Return);
        typed += "⏎";
    }
    note(QString("type into BPM %1: \"%2\" -> \"%3\"").arg(entry + 1).arg(typed, box->text()));
    return enter ? Calc::Yes : Calc::No;
}

// Arrow and track clicks, keys, a jump to an end, or a drag to anywhere: every move calculates.
Calc TestMonkey::moveSlider()
{
    const int entry = pick(2);
    QScrollBar* slider = m_window->tempoEntry(entry)->slider();
    const int before = slider->value();
    QString how;
    switch (pick(4)) {
    case 0: {
        static const std::array actions = {
            QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
            QAbstractSlider::SliderPageStepAdd,   QAbstractSlider::SliderPageStepSub,
            QAbstractSlider::SliderToMinimum,     QAbstractSlider::SliderToMaximum};
        const auto action = actions[std::size_t(pick(int(actions.size())))];
        slider->triggerAction(action);
        how = QString("action %1").arg(int(action));
        break;
    }
    case 1: {
        static const std::array keys = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                        Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
        const Qt::Key key = keys[std::size_t(pick(int(keys.size())))];
        QTest::keyClick(slider, key);
        how = QString("key %1").arg(QKeySequence(key).toString());
        break;
    }
    default: {
        // A drag: the thumb passes a few positions with tracking on, then is let go.
        slider->setSliderDown(true);
        const int moves = 1 + pick(3);
        for (int m = 0; m < moves; ++m)
            slider->setSliderPosition(std::uniform_int_distribution<int>(0, 2600)(m_rng));
        slider->setSliderDown(false);
        how = QString("drag over %1 positions").arg(moves);
        break;
    }
    }
    note(QString("slider BPM %1 %2: %3 -> %4").arg(entry + 1).arg(how).arg(before).arg(slider->value()));
    // A move that went nowhere (an end already reached) runs nothing.
    return slider->value() != before ? Calc::Yes : Calc::No;
}

Calc TestMonkey::useDelayWindow()
{
    korvo::DelayWindow* delay = m_window->loadedDelayWindow();
    if (!delay || !delay->isVisible()) {
        note("ディレイタイム button (to use the delay window)");
        m_window->findChild<QPushButton*>("CommandD")->click();
        return Calc::Yes;
    }
    const int roll = pick(10);
    if (roll < 7) {
        static const char* const kLists[] = {"CboNote0", "CboNote1", "CboFormat"};
        const char* name = kLists[pick(3)];
        auto* list = delay->findChild<QComboBox*>(name);
        const int index = pick(list->count());
        list->setCurrentIndex(index);
        note(QString("delay %1 -> %2").arg(name).arg(index));
    } else if (roll < 8) {
        note("delay デフォルト");
        delay->findChild<QPushButton*>("Command1")->click();
    } else if (roll < 9) {
        note("delay 閉じる");
        delay->findChild<QPushButton*>("Command2")->click();
    } else {
        note("delay closed from its frame");
        delay->close();
    }
    return Calc::No;
}

// Exit by the button, the menu or the close box. With a valid pair the program ends at once; with a
// rejected one the question comes, answered as the platform was told. After an ending the program
// is started again, which reads what was just saved.
Calc TestMonkey::exitProgram()
{
    MainWindow& w = *m_window;
    const int way = pick(3);
    note(QString("exit by %1, answers %2/%3")
             .arg(way == 0   ? "終了 button"
                  : way == 1 ? "menu 終了"
                             : "close box")
             .arg(m_platform->answers.value(0) ? "OK" : "Cancel",
                  m_platform->answers.value(1) ? "OK" : "Cancel"));

    const int quitsBefore = m_platform->quits;
    const QByteArray fileBefore = settingsFile();
    // What the delay window holds now is what must come back; absent, it is loaded with defaults.
    const korvo::DelayWindow* delay = w.loadedDelayWindow();
    const std::array<int, 3> choices =
        delay ? std::array{delay->noteIndex(), delay->modifierIndex(), delay->formatIndex()}
              : std::array{korvo::delay::kDefaultNote, korvo::delay::kDefaultModifier,
                           korvo::delay::kDefaultFormat};
    if (way == 0)
        w.findChild<QPushButton*>("Command2")->click();
    else if (way == 1)
        w.findChild<QAction*>("menu_exit")->trigger();
    else
        w.close();

    if (m_platform->quits == quitsBefore) {
        // Cancel: still running, after a calculation that rejected a tempo, and nothing saved.
        if (settingsFile() != fileBefore)
            breaks("the exit was cancelled, yet the settings file changed");
        return Calc::Yes;
    }

    // The program has ended: every window closed, nothing left to click.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (w.iserr != MainWindow::kShuttingDown || !openTopLevels().isEmpty()) {
        breaks(QString("after the ending iserr is %1 and still open: %2")
                   .arg(w.iserr)
                   .arg(openTopLevels().join(", ")));
        return Calc::No;
    }
    const std::array<double, 2> saved = {
        korvo::readLenient(w.tempoEntry(0)->textBox()->text().toStdString()),
        korvo::readLenient(w.tempoEntry(1)->textBox()->text().toStdString())};
    m_window.reset();
    start();
    ++m_restarts;

    MainWindow& again = *m_window;
    for (int i = 0; i < 2; ++i) {
        // Saved in single precision with seven digits, and restored with those digits.
        const double back = korvo::readLenient(again.tempoEntry(i)->textBox()->text().toStdString());
        if (std::abs(back - saved[std::size_t(i)]) > 1e-4)
            breaks(QString("BPM %1 saved as %2 came back as %3")
                       .arg(i + 1)
                       .arg(saved[std::size_t(i)])
                       .arg(back));
    }
    const korvo::DelayWindow* reloaded = again.loadedDelayWindow();
    const std::array<int, 3> now = {reloaded->noteIndex(), reloaded->modifierIndex(),
                                    reloaded->formatIndex()};
    if (now != choices)
        breaks(QString("delay choices %1 %2 %3 came back as %4 %5 %6")
                   .arg(choices[0])
                   .arg(choices[1])
                   .arg(choices[2])
                   .arg(now[0])
                   .arg(now[1])
                   .arg(now[2]));
    return Calc::Yes; // start-up calculates
}

QByteArray TestMonkey::settingsFile() const
{
    QFile file(m_dir->filePath("bpm_data.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Calc TestMonkey::stepInTapWindow()
{
    korvo::TapWindow* tap = m_window->tapWindow();
    const int roll = pick(100);
    if (roll < 60) {
        // Mostly a beat between 0.3 and 1 s; sometimes the same reading, a flurry, or a long pause.
        const int kind = pick(10);
        const double interval = kind < 6   ? std::uniform_real_distribution<double>(0.3, 1.0)(m_rng)
                                : kind < 7 ? 0.0
                                : kind < 8 ? std::uniform_real_distribution<double>(0.01, 0.2)(m_rng)
                                           : std::uniform_real_distribution<double>(1.0, 5.0)(m_rng);
        m_platform->now += interval;
        // A counted tap shows its clock reading in Label1; the first one and a repeated reading do not.
        const QString readingBefore = tap->findChild<QLabel*>("Label1")->text();
        tap->findChild<QPushButton*>("Command1")->click();
        const bool counted = tap->findChild<QLabel*>("Label1")->text() != readingBefore;
        note(QString("tap after %1 s (%2) -> %3")
                 .arg(interval)
                 .arg(counted ? "counted" : "not counted", tap->findChild<QLineEdit*>("TextBPM")->text()));
        return Calc::No;
    }
    if (roll < 68) {
        note("tap やりなおし");
        tap->findChild<QPushButton*>("CommandClear")->click();
        return Calc::No;
    }
    if (roll < 80) {
        const int entry = pick(2);
        note(QString("tap Send to %1").arg(entry + 1));
        tap->findChild<QPushButton*>(entry == 0 ? "CmdSend1" : "CmdSend2")->click();
        return Calc::Yes;
    }
    if (roll < 86) {
        tap->findChild<QPushButton*>("CommandCopy")->click();
        const QString shown = tap->findChild<QLineEdit*>("TextBPM")->text();
        note(QString("tap コピー: clipboard \"%1\"").arg(m_platform->clipboard));
        if (m_platform->clipboard != shown)
            breaks(QString("copied \"%1\" while showing \"%2\"").arg(m_platform->clipboard, shown));
        return Calc::No;
    }
    if (roll < 95) {
        note("tap セット");
        tap->findChild<QPushButton*>("CommandClose")->click();
        return Calc::Yes;
    }
    note("tap window closed from its frame");
    tap->close();
    return Calc::No;
}

// The first rule the windows break now, or an empty text.
QString TestMonkey::brokenRule(Calc calc) const
{
    if (!m_broken.isEmpty())
        return m_broken;

    const MainWindow& w = *m_window;
    if (w.iserr != MainWindow::kAccepted && w.iserr != MainWindow::kRejected)
        return QString("iserr is %1 while running").arg(w.iserr);

    std::array<QString, 2> texts;
    std::array<int, 2> positions{};
    for (int i = 0; i < 2; ++i) {
        texts[std::size_t(i)] = w.tempoEntry(i)->textBox()->text();
        positions[std::size_t(i)] = w.tempoEntry(i)->slider()->value();
        if (positions[std::size_t(i)] < korvo::bpm::kSliderMinimum ||
            positions[std::size_t(i)] > korvo::bpm::kSliderMaximum)
            return QString("slider %1 at %2").arg(i + 1).arg(positions[std::size_t(i)]);
    }

    if (calc == Calc::Yes && w.iserr == MainWindow::kAccepted) {
        const double bpm1 = korvo::readLenient(texts[0].toStdString());
        const double bpm2 = korvo::readLenient(texts[1].toStdString());
        if (!korvo::bpm::inRange(bpm1) || !korvo::bpm::inRange(bpm2))
            return QString("accepted %1 and %2").arg(texts[0], texts[1]);
        const korvo::PitchShift expected = korvo::pitchShift(bpm1, bpm2);
        const QString shown =
            w.pitchBox()->text() + " " + w.semitoneBox()->text() + " " + w.centBox()->text();
        const QString wanted = QString::fromStdString(expected.adjustmentText + " " + expected.semitonesText +
                                                      " " + expected.centsText);
        if (shown != wanted)
            return QString("%1 to %2 shows %3, not %4").arg(texts[0], texts[1], shown, wanted);
        for (int i = 0; i < 2; ++i)
            if (positions[std::size_t(i)] != korvo::bpm::positionForText(texts[std::size_t(i)].toStdString()))
                return QString("slider %1 at %2 after accepting \"%3\"")
                    .arg(i + 1)
                    .arg(positions[std::size_t(i)])
                    .arg(texts[std::size_t(i)]);
        if (!w.loadedDelayWindow() || w.loadedDelayWindow()->bpmText() != texts[1])
            return QString("BPM 2 \"%1\" was not handed to the delay window").arg(texts[1]);
    }
    if (calc == Calc::Yes && w.iserr == MainWindow::kRejected) {
        // A rejection brings both entries back to their sliders, with a beep and one message.
        for (int i = 0; i < 2; ++i)
            if (texts[std::size_t(i)] !=
                QString::fromStdString(korvo::bpm::textForPosition(positions[std::size_t(i)])))
                return QString("rejected, yet BPM %1 shows \"%2\" with its slider at %3")
                    .arg(i + 1)
                    .arg(texts[std::size_t(i)])
                    .arg(positions[std::size_t(i)]);
        const auto rangeMessages =
            std::count_if(m_platform->messages.begin(), m_platform->messages.end(),
                          [](const korvo::Message& m) { return m.title == QStringLiteral("BPMエラー"); });
        if (m_platform->beeps < 1 || rangeMessages < 1)
            return QString("rejected with %1 beeps and %2 range messages")
                .arg(m_platform->beeps)
                .arg(rangeMessages);
    }

    if (const korvo::DelayWindow* delay = w.loadedDelayWindow()) {
        const korvo::delay::Result r = korvo::delay::compute(
            delay->bpmText().toStdString(), delay->noteIndex(), delay->modifierIndex(), delay->formatIndex());
        if (delay->delayText() != QString::fromStdString(r.delayText) ||
            delay->isOptionShown() != r.optionShown ||
            (r.optionShown && (delay->optionText() != QString::fromStdString(r.optionText) ||
                               delay->optionUnit() != QString::fromStdString(r.optionUnit))))
            return QString("delay window at \"%1\" (%2, %3, %4) shows \"%5\" \"%6\"")
                .arg(delay->bpmText())
                .arg(delay->noteIndex())
                .arg(delay->modifierIndex())
                .arg(delay->formatIndex())
                .arg(delay->delayText(), delay->optionText());
    }

    if (const korvo::TapWindow* tap = w.tapWindow(); tap && tap->isVisible()) {
        // Every counted tap and every start-over writes the shown value into the entry tapped for.
        const QString& last = m_recent.back();
        const QString shown = tap->findChild<QLineEdit*>("TextBPM")->text();
        if ((last.contains("(counted)") || last == "tap やりなおし") &&
            texts[std::size_t(w.tap_ref)] != shown)
            return QString("tap window shows \"%1\" but BPM %2 holds \"%3\"")
                .arg(shown)
                .arg(w.tap_ref + 1)
                .arg(texts[std::size_t(w.tap_ref)]);
    }

    QHash<QString, int> kinds;
    for (QWidget* top : QApplication::topLevelWidgets())
        ++kinds[top->objectName()];
    for (const char* kind : {"BPM", "Delay", "TAP", "Manu"})
        if (kinds.value(kind) > 1)
            return QString("%1 windows of kind %2").arg(kinds.value(kind)).arg(kind);
    return {};
}

#include "testmain.h"
KORVO_TEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
