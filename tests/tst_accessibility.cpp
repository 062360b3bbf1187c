#include "app/mainwindow.h"
#include "delay/delaycalc.h"
#include "loopanalysis.h"
#include "mainwindowtest.h"
#include "sample/sampletempodialog.h"
#include "ui/applicationsetup.h"
#include "ui/twips.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <memory>

using korvo::MainWindow;

// What a screen reader gets from each window: a name for every control it can reach, labels that
// name the boxes beside them, and result boxes whose spoken value is the one on screen.
class TestAccessibility : public QObject, MainWindowTest
{
    Q_OBJECT

public:
    enum class Scene
    {
        Main,
        Delay,
        TapBpm1,
        TapBpm2,
        Manual,
        SampleTempo,
        RangeError,
        AutoSaveQuestion
    };
    Q_ENUM(Scene)

private slots:
    void initTestCase();
    void init() { startWindowTest(); }
    void cleanup();

    void everyControlIsNamed_data();
    void everyControlIsNamed();
    void controlsOutOfSightAreNotOffered_data();
    void controlsOutOfSightAreNotOffered();
    void windowsAreSpokenInTheirRole_data();
    void windowsAreSpokenInTheirRole();
    void framesAreSpokenWithTheirOwnTitle_data();
    void framesAreSpokenWithTheirOwnTitle();
    void labelsNameTheBoxesBesideThem_data();
    void labelsNameTheBoxesBesideThem();
    void sampleValuesAreSpokenWithTheirCaptions_data();
    void sampleValuesAreSpokenWithTheirCaptions();
    void messageBoxesSpeakTitleTextAndDefault_data();
    void messageBoxesSpeakTitleTextAndDefault();
    void pitchResultsAreSpokenAsShown_data();
    void pitchResultsAreSpokenAsShown();
    void rejectedTempoKeepsTheSpokenResults();
    void delayResultsAreSpokenAsShown_data();
    void delayResultsAreSpokenAsShown();

private:
    MainWindow& openMain();
    QWidget* openScene(Scene scene);
    korvo::Message messageFor(Scene scene);
    QMessageBox* showLikeTheSystem(const korvo::Message& message);

    QPointer<QMessageBox> m_box;
};

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString describe(const QWidget* w)
{
    const QString name = w->objectName().isEmpty() ? QStringLiteral("(unnamed)") : w->objectName();
    return name + QLatin1Char(' ') + QLatin1String(w->metaObject()->className());
}

// Parts of a text box or list (its viewport, its header) are spoken as the box itself; its scroll
// bar is a control of its own.
bool insideScrollArea(const QWidget* w, const QWidget* window)
{
    if (qobject_cast<const QScrollBar*>(w))
        return false;
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(p))
            return true;
    return false;
}

// The controls a reader can reach in a window: those on screen within the window's area, and those
// the keyboard reaches wherever they lie (the tap window's buttons below its client area).
QList<QWidget*> reachableControls(QWidget* window)
{
    QList<QWidget*> controls;
    const QRect area = window->rect();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisibleTo(window) || insideScrollArea(w, window))
            continue;
        const bool focusable = w->isEnabled() && (w->focusPolicy() & Qt::TabFocus);
        const bool onScreen = area.intersects(QRect(w->mapTo(window, QPoint(0, 0)), w->size()));
        const auto* label = qobject_cast<QLabel*>(w);
        // A label without text is a picture (the message box's icon); the box's role says it.
        const bool named = (label && !label->text().isEmpty()) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QAbstractSlider*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QAbstractScrollArea*>(w) || qobject_cast<QGroupBox*>(w) ||
                           qobject_cast<QAbstractButton*>(w);
        if (focusable || (onScreen && named))
            controls << w;
    }
    return controls;
}

// What a reader announces a control by. On this platform Qt names a drop-down list after its
// current item, whatever accessible name it was given, and expects the list's label to come
// through a label relation instead.
QString spokenLabel(QAccessibleInterface* iface, bool labelsOnly = false)
{
    const QString name = iface->text(QAccessible::Name).trimmed();
    if (iface->role() != QAccessible::ComboBox || name != iface->text(QAccessible::Value).trimmed())
        return name;
    for (const auto& [other, relation] : iface->relations(QAccessible::Label)) {
        if (labelsOnly && other->role() != QAccessible::StaticText)
            continue; // the enclosing frame labels every control in it alike
        const QString text = other->text(QAccessible::Name).trimmed();
        if (!text.isEmpty())
            return text;
    }
    return {};
}

// Both ways a reader reads a box: its value and its text interface.
QString spokenValue(QAccessibleInterface* iface)
{
    return iface->text(QAccessible::Value);
}

QString spokenText(QAccessibleInterface* iface)
{
    QAccessibleTextInterface* text = iface->textInterface();
    return text ? text->text(0, text->characterCount()) : QString();
}

} // namespace

void TestAccessibility::initTestCase()
{
    korvo::ui::setupApplication(); // Qt's Japanese button texts, as at start-up
}

void TestAccessibility::cleanup()
{
    delete m_box;
    endMainWindowTest();
}

MainWindow& TestAccessibility::openMain()
{
    open().show();
    return *m_window;
}

// The message the program itself sends, taken from the fake platform rather than retyped here.
korvo::Message TestAccessibility::messageFor(Scene scene)
{
    MainWindow& window = openMain();
    window.tempoEntry(0)->textBox()->setText(QStringLiteral("300"));
    m_platform->messages.clear();
    if (scene == Scene::RangeError) {
        window.Command1_Click();
    } else {
        m_platform->answers = {false}; // Cancel: the program keeps running
        window.Terminate();
    }
    if (m_platform->messages.isEmpty())
        return {};
    return m_platform->messages.last();
}

// Configured as the real platform configures its boxes, shown without waiting for an answer.
QMessageBox* TestAccessibility::showLikeTheSystem(const korvo::Message& message)
{
    m_box = new QMessageBox(m_window.get());
    m_box->setWindowTitle(message.title);
    m_box->setText(message.text);
    switch (message.icon) {
    case korvo::Message::Icon::Information:
        m_box->setIcon(QMessageBox::Information);
        break;
    case korvo::Message::Icon::Exclamation:
        m_box->setIcon(QMessageBox::Warning);
        break;
    case korvo::Message::Icon::Critical:
        m_box->setIcon(QMessageBox::Critical);
        break;
    }
    if (message.buttons == korvo::Message::Buttons::OkCancel) {
        m_box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        m_box->setDefaultButton(QMessageBox::Cancel);
        m_box->setEscapeButton(QMessageBox::Cancel);
    } else {
        m_box->setStandardButtons(QMessageBox::Ok);
        m_box->setDefaultButton(QMessageBox::Ok);
        m_box->setEscapeButton(QMessageBox::Ok);
    }
    m_box->show();
    return m_box;
}

QWidget* TestAccessibility::openScene(Scene scene)
{
    switch (scene) {
    case Scene::Main:
        return &openMain();
    case Scene::Delay:
        openMain().CommandD_Click();
        return m_window->loadedDelayWindow();
    case Scene::TapBpm1:
        openMain().CommandTA_Click();
        return m_window->tapWindow();
    case Scene::TapBpm2:
        openMain().CommandTB_Click();
        return m_window->tapWindow();
    case Scene::Manual:
        openMain().menu_manual_Click();
        return m_window->manualWindow();
    case Scene::SampleTempo: {
        auto* dialog = new korvo::SampleTempoDialog("loop.wav", fourBarsAt174(), 1, &openMain());
        dialog->show();
        return dialog;
    }
    case Scene::RangeError:
    case Scene::AutoSaveQuestion:
        return showLikeTheSystem(messageFor(scene));
    }
    return nullptr;
}

void TestAccessibility::everyControlIsNamed_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::newRow("main window") << Scene::Main;
    QTest::newRow("delay window, shown") << Scene::Delay;
    QTest::newRow("tap window opened for BPM 1") << Scene::TapBpm1;
    QTest::newRow("tap window opened for BPM 2") << Scene::TapBpm2;
    QTest::newRow("manual window") << Scene::Manual;
    QTest::newRow("sample tempo dialog") << Scene::SampleTempo;
    QTest::newRow("tempo range error box") << Scene::RangeError;
    QTest::newRow("auto-save question box") << Scene::AutoSaveQuestion;
}

void TestAccessibility::everyControlIsNamed()
{
    QFETCH(Scene, scene);
    QWidget* window = openScene(scene);
    QVERIFY(window);
    QVERIFY(window->isVisible());

    QAccessibleInterface* windowIface = accessible(window);
    QVERIFY(windowIface);
    QVERIFY2(!windowIface->text(QAccessible::Name).trimmed().isEmpty(), "the window has no spoken title");

    const QList<QWidget*> controls = reachableControls(window);
    QVERIFY(!controls.isEmpty());
    QStringList unnamed;
    for (QWidget* w : controls) {
        QAccessibleInterface* iface = accessible(w);
        if (!iface || spokenLabel(iface).isEmpty())
            unnamed << describe(w);
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable("spoken without a name: " + unnamed.join(", ")));
}

// The objects of every control a reader can reach from the window through the accessible tree.
void collectOffered(QAccessibleInterface* iface, QStringList& names, int depth = 0)
{
    QVERIFY(depth < 20);
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        QVERIFY(child);
        QCOMPARE(iface->indexOfChild(child), i);
        if (child->object())
            names << child->object()->objectName();
        collectOffered(child, names, depth + 1);
    }
}

void TestAccessibility::controlsOutOfSightAreNotOffered_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<QStringList>("outOfSight");
    QTest::addColumn<QString>("onScreen"); // a control beside them that is offered

    QTest::newRow("main window: Label4 and Dammy below the client area")
        << Scene::Main << QStringList{"Label4", "Dammy"} << "Command1";
    QTest::newRow("tap window: send, copy and the estimator's labels below the client area")
        << Scene::TapBpm1 << QStringList{"CmdSend1", "CmdSend2", "CommandCopy", "Label1",
                                         "Label2",   "Label3",   "Label4",      "Label5"}
        << "CommandClose";
}

void TestAccessibility::controlsOutOfSightAreNotOffered()
{
    QFETCH(Scene, scene);
    QFETCH(QStringList, outOfSight);
    QFETCH(QString, onScreen);
    QWidget* window = openScene(scene);
    QVERIFY(window);

    QStringList offered;
    collectOffered(accessible(window), offered);
    QVERIFY2(offered.contains(onScreen), qPrintable(offered.join(", ")));
    for (const QString& name : outOfSight) {
        // Still there, where the layout puts them, only not read out.
        QVERIFY2(window->findChild<QWidget*>(name), qPrintable(name));
        QVERIFY2(!offered.contains(name), qPrintable(name + " is offered to readers"));
    }
}

void TestAccessibility::windowsAreSpokenInTheirRole_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::newRow("main window") << Scene::Main << QAccessible::Window;
    QTest::newRow("delay window, not a filler") << Scene::Delay << QAccessible::Window;
    QTest::newRow("manual window, not a filler") << Scene::Manual << QAccessible::Window;
    QTest::newRow("tap window, a dialog") << Scene::TapBpm1 << QAccessible::Dialog;
    QTest::newRow("sample tempo dialog") << Scene::SampleTempo << QAccessible::Dialog;
}

void TestAccessibility::windowsAreSpokenInTheirRole()
{
    QFETCH(Scene, scene);
    QFETCH(QAccessible::Role, role);
    QWidget* window = openScene(scene);
    QVERIFY(window);
    QAccessibleInterface* iface = accessible(window);
    QCOMPARE(iface->role(), role);
    QCOMPARE(iface->text(QAccessible::Name), window->windowTitle());
}

void TestAccessibility::framesAreSpokenWithTheirOwnTitle_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::newRow("main window, the sampler frame inside the pitch frame included") << Scene::Main;
    QTest::newRow("delay window") << Scene::Delay;
    QTest::newRow("tap window") << Scene::TapBpm2;
}

void TestAccessibility::framesAreSpokenWithTheirOwnTitle()
{
    QFETCH(Scene, scene);
    QWidget* window = openScene(scene);
    QVERIFY(window);

    const QList<QGroupBox*> frames = window->findChildren<QGroupBox*>();
    QVERIFY(!frames.isEmpty());
    QStringList wrong;
    for (QGroupBox* frame : frames) {
        const QString spoken = accessible(frame)->text(QAccessible::Name);
        const QString title = QString(frame->title()).remove(QLatin1Char('&'));
        if (spoken != title)
            wrong << QStringLiteral("%1 titled \"%2\" is spoken \"%3\"").arg(describe(frame), title, spoken);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
}

void TestAccessibility::labelsNameTheBoxesBesideThem_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("buddy"); // the window makes the label the box's buddy

    QTest::newRow("main: 半音 beside the semitone box") << Scene::Main << "LabelC3"
                                                        << "TextC3" << true;
    QTest::newRow("main: セント beside the cents box") << Scene::Main << "LabelC0"
                                                       << "TextC4" << true;
    QTest::newRow("delay: 音符 beside the note list") << Scene::Delay << "Label1"
                                                      << "CboNote0" << false;
    QTest::newRow("delay: 付点など beside the modifier list") << Scene::Delay << "Label4"
                                                              << "CboNote1" << false;
    QTest::newRow("delay: ディレイタイム beside the milliseconds box") << Scene::Delay << "Label2"
                                                                       << "TextD" << false;
    QTest::newRow("delay: オプション beside the format list") << Scene::Delay << "Label6"
                                                              << "CboFormat" << false;
}

void TestAccessibility::labelsNameTheBoxesBesideThem()
{
    QFETCH(Scene, scene);
    QFETCH(QString, label);
    QFETCH(QString, box);
    QFETCH(bool, buddy);
    QWidget* window = openScene(scene);
    QVERIFY(window);
    auto* labelWidget = window->findChild<QLabel*>(label);
    auto* boxWidget = window->findChild<QWidget*>(box);
    QVERIFY(labelWidget);
    QVERIFY(boxWidget);

    QAccessibleInterface* boxIface = accessible(boxWidget);
    if (buddy) {
        QCOMPARE(labelWidget->buddy(), boxWidget);
        bool related = false;
        for (const auto& [other, relation] : boxIface->relations(QAccessible::Label))
            related = related || other->object() == labelWidget;
        QVERIFY2(related, "the reader is not told which label belongs to the box");
    }
    // Whether through a buddy or a name of its own, the box is announced by the caption beside it.
    QCOMPARE(spokenLabel(boxIface, true), labelWidget->text());
}

void TestAccessibility::sampleValuesAreSpokenWithTheirCaptions_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("the file's name") << "file";
    QTest::newRow("長さ: the length and how far it is off") << "length";
    QTest::newRow("テンポ: the tempo found and why") << "tempo";
    QTest::newRow("推定: the tempo heard in the beat") << "estimate";
}

void TestAccessibility::sampleValuesAreSpokenWithTheirCaptions()
{
    QFETCH(QString, value);
    QWidget* dialog = openScene(Scene::SampleTempo);
    auto* valueLabel = dialog->findChild<QLabel*>(value);
    QVERIFY(valueLabel);
    auto* form = dialog->findChild<QFormLayout*>();
    QVERIFY(form);
    auto* captionLabel = qobject_cast<QLabel*>(form->labelForField(valueLabel));
    QVERIFY(captionLabel);
    const QString caption = QString(captionLabel->text()).remove(QLatin1Char(':'));

    QAccessibleInterface* iface = accessible(valueLabel);
    bool related = false;
    for (const auto& [other, relation] : iface->relations(QAccessible::Label))
        related = related || other->object() == captionLabel;
    QVERIFY2(related, "the reader is not told which caption belongs to the value");
    // Read out in turn, the value comes with its caption; the caption alone is passed over, as it
    // labels the value.
    const QString spoken = iface->text(QAccessible::Name);
    QVERIFY2(spoken.startsWith(caption) && spoken.endsWith(valueLabel->text()), qPrintable(spoken));
}

void TestAccessibility::messageBoxesSpeakTitleTextAndDefault_data()
{
    QTest::addColumn<Scene>("scene");
    QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
    QTest::newRow("tempo range error: OK only") << Scene::RangeError << QMessageBox::Ok;
    QTest::newRow("auto-save question: Cancel is the default")
        << Scene::AutoSaveQuestion << QMessageBox::Cancel;
}

void TestAccessibility::messageBoxesSpeakTitleTextAndDefault()
{
    QFETCH(Scene, scene);
    QFETCH(QMessageBox::StandardButton, defaultButton);
    const korvo::Message message = messageFor(scene);
    QVERIFY(!message.text.isEmpty());
    QMessageBox* box = showLikeTheSystem(message);

    QAccessibleInterface* iface = accessible(box);
    QCOMPARE(iface->role(), QAccessible::AlertMessage);
    QCOMPARE(iface->text(QAccessible::Name), message.title);

    // The text is read out from a label inside the box; a two-line text arrives whole.
    QStringList spokenTexts;
    for (int i = 0; i < iface->childCount(); ++i)
        spokenTexts << iface->child(i)->text(QAccessible::Name);
    QVERIFY2(spokenTexts.contains(message.text), qPrintable(spokenTexts.join(" | ")));

    // Readers announce which button Enter presses.
    QStringList defaults;
    for (QAbstractButton* b : box->buttons())
        if (accessible(b)->state().defaultButton)
            defaults << b->text();
    QCOMPARE(defaults, QStringList{box->button(defaultButton)->text()});
}

void TestAccessibility::pitchResultsAreSpokenAsShown_data()
{
    QTest::addColumn<QString>("typedBpm2"); // typed into BPM 2, then Calculate; empty: left alone
    QTest::addColumn<int>("sliderAction");  // then BPM 2's slider moved; SliderNoAction: not moved
    QTest::addColumn<QString>("adjustment");
    QTest::addColumn<QString>("semitones");
    QTest::addColumn<QString>("cents");

    QTest::newRow("BPM 2 slider to its left end, 1 BPM")
        << QString() << int(QAbstractSlider::SliderToMinimum) << "-82.883"
        << "-83"
        << "+12";
    QTest::newRow("BPM 2 slider to its right end, 250 BPM")
        << QString() << int(QAbstractSlider::SliderToMaximum) << "+12.707"
        << "+13"
        << "-29";
    QTest::newRow("BPM 2 slider one arrow step right, 120.1")
        << QString() << int(QAbstractSlider::SliderSingleStepAdd) << "+0.014"
        << "+0"
        << "+1";
    QTest::newRow("BPM 2 slider one click in the track, 121")
        << QString() << int(QAbstractSlider::SliderPageStepAdd) << "+0.144"
        << "+0"
        << "+14";
    QTest::newRow("130 typed into BPM 2 and calculated")
        << "130" << int(QAbstractSlider::SliderNoAction) << "+1.386"
        << "+1"
        << "+39";
}

void TestAccessibility::pitchResultsAreSpokenAsShown()
{
    QFETCH(QString, typedBpm2);
    QFETCH(int, sliderAction);
    QFETCH(QString, adjustment);
    QFETCH(QString, semitones);
    QFETCH(QString, cents);
    MainWindow& window = openMain();

    if (!typedBpm2.isEmpty()) {
        window.tempoEntry(1)->textBox()->setText(typedBpm2);
        window.Command1_Click();
    }
    if (sliderAction != QAbstractSlider::SliderNoAction)
        window.tempoEntry(1)->slider()->triggerAction(
            static_cast<QAbstractSlider::SliderAction>(sliderAction));
    QVERIFY(m_platform->messages.isEmpty());

    const std::pair<QLineEdit*, QString> expected[] = {
        {window.pitchBox(), adjustment}, {window.semitoneBox(), semitones}, {window.centBox(), cents}};
    for (const auto& [box, text] : expected) {
        QCOMPARE(box->text(), text);
        QAccessibleInterface* iface = accessible(box);
        QCOMPARE(spokenValue(iface), text);
        QCOMPARE(spokenText(iface), text);
    }
}

void TestAccessibility::rejectedTempoKeepsTheSpokenResults()
{
    MainWindow& window = openMain();
    window.tempoEntry(1)->textBox()->setText(QStringLiteral("130"));
    window.Command1_Click();
    QStringList before;
    for (QLineEdit* box : {window.pitchBox(), window.semitoneBox(), window.centBox()})
        before << spokenValue(accessible(box));

    window.tempoEntry(0)->textBox()->setText(QStringLiteral("300"));
    window.Command1_Click();
    QCOMPARE(m_platform->messages.size(), 1);

    QStringList after;
    for (QLineEdit* box : {window.pitchBox(), window.semitoneBox(), window.centBox()})
        after << spokenValue(accessible(box));
    QCOMPARE(after, before);
    QCOMPARE(after, (QStringList{"+1.386", "+1", "+39"}));
}

void TestAccessibility::delayResultsAreSpokenAsShown_data()
{
    QTest::addColumn<QString>("typedBpm2");
    QTest::addColumn<int>("note");
    QTest::addColumn<int>("modifier");
    QTest::addColumn<int>("format");

    QTest::newRow("defaults: eighth note, just, no format; option box hidden") << "120" << 3 << 0 << 0;
    QTest::newRow("dotted quarter as MIDI ticks at 480") << "130" << 2 << 1 << 1;
    QTest::newRow("triplet sixteenth at 29.97 frames") << "97.5" << 4 << 6 << 5;
    QTest::newRow("whole note twice over at 1 BPM, ticks at 48") << "1" << 0 << 3 << 3;
    QTest::newRow("64th of a ninth at 250 BPM, 30 frames") << "250" << 6 << 10 << 6;
}

void TestAccessibility::delayResultsAreSpokenAsShown()
{
    QFETCH(QString, typedBpm2);
    QFETCH(int, note);
    QFETCH(int, modifier);
    QFETCH(int, format);
    MainWindow& window = openMain();
    window.CommandD_Click();
    korvo::DelayWindow* delay = window.loadedDelayWindow();
    QVERIFY(delay && delay->isVisible());

    // The tempo arrives the way it always does: from the main window's accepted calculation.
    window.tempoEntry(1)->textBox()->setText(typedBpm2);
    window.Command1_Click();
    delay->setNoteIndex(note);
    delay->setModifierIndex(modifier);
    delay->setFormatIndex(format);
    QVERIFY(m_platform->messages.isEmpty());

    const korvo::delay::Result result =
        korvo::delay::compute(typedBpm2.toStdString(), note, modifier, format);
    auto* textD = delay->findChild<QLineEdit*>("TextD");
    auto* textT = delay->findChild<QLineEdit*>("TextT");
    QVERIFY(textD && textT);

    const QString milliseconds = QString::fromStdString(result.delayText);
    QCOMPARE(spokenValue(accessible(textD)), milliseconds);
    QCOMPARE(spokenText(accessible(textD)), milliseconds);

    // A hidden option box must not be read out with a stale figure.
    QAccessibleInterface* option = accessible(textT);
    QCOMPARE(option->state().invisible, !result.optionShown);
    if (result.optionShown) {
        const QString figure = QString::fromStdString(result.optionText);
        QCOMPARE(spokenValue(option), figure);
        QCOMPARE(spokenText(option), figure);
    }
}

#include "testmain.h"
KORVO_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
