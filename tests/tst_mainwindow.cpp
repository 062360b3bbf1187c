#include "app/mainwindow.h"
#include "drumloop.h"
#include "mainwindowtest.h"
#include "pitch/bpmvalue.h"
#include "ui/applicationsetup.h"
#include "ui/fonts.h"
#include "ui/language.h"
#include "ui/twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>
#include <memory>

using korvo::MainWindow;

class TestMainWindow : public QObject, MainWindowTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { startWindowTest(); }
    void cleanup()
    {
        endMainWindowTest();
        korvo::ui::useLanguage(korvo::ui::Language::Japanese); // whatever a failed test left
    }

    void startsWithEqualTempos();
    void placedAQuarterAcrossAndCentred();
    void sliderMovesRecalculate_data();
    void sliderMovesRecalculate();
    void dragShowsEveryTenth();
    void typedTempoWaitsForCalculation_data();
    void typedTempoWaitsForCalculation();
    void typedTempoTakesEffectWithTheOtherSlider();
    void firstKeysReplaceTheOpeningTempo_data();
    void firstKeysReplaceTheOpeningTempo();
    void rejectedTemposComeBackFromSliders_data();
    void rejectedTemposComeBackFromSliders();
    void boundsAreAccepted();
    void slidersFollowTypedTempos_data();
    void slidersFollowTypedTempos();
    void exitWithValidTemposAsksNothing_data();
    void exitWithValidTemposAsksNothing();
    void exitWithInvalidTempoAsksFirst_data();
    void exitWithInvalidTempoAsksFirst();
    void realMessageBoxes_data();
    void realMessageBoxes();
    void aboutBox();
    void oneManualWindowAtMost();
    void minimisedSideWindowComesBack_data();
    void minimisedSideWindowComesBack();
    void minimisedMainWindowComesBackFromTheDelayWindow();
    void sideWindowsStayShutWhenRejected();
    void tapCommandsChooseTheirEntry();
    void delayWindowFollowsBpm2Only();
    void menusAndAccessKeys();
    void keyboardOrderAndDisplayBoxes();
    void sampleTempoByDropOrMenu_data();
    void sampleTempoByDropOrMenu();
    void designFaceFirstOnlyOnWindows();
    void languageOfTheDesktop_data();
    void languageOfTheDesktop();
    void speaksEnglish_data();
    void speaksEnglish();
    void tempoBoxWithTheFocusShowsALongTempoWhole();

private:
    QString results() const;
    void typeInto(int entry, const QString& text);
};

void TestMainWindow::initTestCase()
{
    korvo::ui::setupApplication(); // fonts and Qt's Japanese texts, as at start-up
}

QString TestMainWindow::results() const
{
    return m_window->pitchBox()->text() + " " + m_window->semitoneBox()->text() + " " +
           m_window->centBox()->text();
}

void TestMainWindow::typeInto(int entry, const QString& text)
{
    QLineEdit* box = m_window->tempoEntry(entry)->textBox();
    box->selectAll();
    QTest::keyClicks(box, text);
    QCOMPARE(box->text(), text);
}

void TestMainWindow::startsWithEqualTempos()
{
    MainWindow& w = open();
    QCOMPARE(w.windowTitle(), QString("Korvo Main"));
    QCOMPARE(w.tempoEntry(0)->textBox()->text(), QString("120"));
    QCOMPARE(w.tempoEntry(1)->textBox()->text(), QString("120"));
    QCOMPARE(w.tempoEntry(0)->slider()->value(), 1200);
    QCOMPARE(w.tempoEntry(1)->slider()->value(), 1200);
    QCOMPARE(results(), QString("+0 +0 +0"));
    QCOMPARE(w.iserr, MainWindow::kAccepted);
    // The first calculation already loaded the delay window, without showing it.
    QVERIFY(w.loadedDelayWindow());
    QVERIFY(!w.loadedDelayWindow()->isVisible());
    QCOMPARE(w.loadedDelayWindow()->bpmText(), QString("120"));
    // Its controls wait for its first showing: start-up pays for none of them.
    QVERIFY(w.loadedDelayWindow()->findChildren<QWidget*>().isEmpty());
    QVERIFY(m_platform->messages.isEmpty());
}

void TestMainWindow::placedAQuarterAcrossAndCentred()
{
    m_platform->screen = QSize(1600, 1000);
    m_platform->frame = QMargins(2, 24, 2, 2); // borders and a title bar, as a window manager draws
    MainWindow& w = open();
    // The formula places the whole window, frame included; the client area sits inside it.
    const QSize outer = w.size().grownBy(m_platform->frame);
    const QPoint frameCorner(qRound((1600 - outer.width()) / 4.0f), qRound((1000 - outer.height()) / 2.0f));
    QCOMPARE(w.geometry().topLeft(), frameCorner + QPoint(2, 24));
    // The delay window, loaded hidden at start-up, is placed by its whole size with the same frame.
    const QSize delayOuter = w.loadedDelayWindow()->size().grownBy(m_platform->frame);
    const QPoint delayCorner(qRound((1600 - delayOuter.width()) / 3.0f * 2.0f),
                             qRound((1000 - delayOuter.height()) / 3.0f));
    QCOMPARE(w.loadedDelayWindow()->geometry().topLeft(), delayCorner + QPoint(2, 24));
    // The client area keeps its designed size and the window cannot be resized.
    QCOMPARE(w.centralWidget()->size(), QSize(376, 359));
    QCOMPARE(w.minimumSize(), w.maximumSize());
}

void TestMainWindow::sliderMovesRecalculate_data()
{
    // Each row either triggers a slider action, presses a real key on the slider or turns the
    // wheel over it (in eighths of a degree, 120 for one notch up; sideways, as a touchpad's swipe
    // or a tilted wheel sends them as buttons 6 and 7, 120 for one step to the left).
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("wheel");
    QTest::addColumn<int>("sideways");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const int none = -1;
    QTest::newRow("right arrow: one tenth up")
        << int(QAbstractSlider::SliderSingleStepAdd) << 0 << 0 << 0 << "120.1"
        << "+0.014 +0 +1";
    QTest::newRow("track click: one BPM up")
        << int(QAbstractSlider::SliderPageStepAdd) << 0 << 0 << 0 << "121"
        << "+0.144 +0 +14";
    QTest::newRow("left arrow: one tenth down")
        << int(QAbstractSlider::SliderSingleStepSub) << 0 << 0 << 0 << "119.9"
        << "-0.014 +0 -1";
    QTest::newRow("right end") << int(QAbstractSlider::SliderToMaximum) << 0 << 0 << 0 << "250"
                               << "+12.707 +13 -29";
    QTest::newRow("left end") << int(QAbstractSlider::SliderToMinimum) << 0 << 0 << 0 << "1"
                              << "-82.883 -83 +12";
    QTest::newRow("Right key raises a tenth") << none << int(Qt::Key_Right) << 0 << 0 << "120.1"
                                              << "+0.014 +0 +1";
    QTest::newRow("Left key lowers a tenth") << none << int(Qt::Key_Left) << 0 << 0 << "119.9"
                                             << "-0.014 +0 -1";
    QTest::newRow("PageUp key raises one BPM") << none << int(Qt::Key_PageUp) << 0 << 0 << "121"
                                               << "+0.144 +0 +14";
    QTest::newRow("PageDown key lowers one BPM") << none << int(Qt::Key_PageDown) << 0 << 0 << "119"
                                                 << "-0.145 +0 -14";
    QTest::newRow("Home key goes to 1") << none << int(Qt::Key_Home) << 0 << 0 << "1"
                                        << "-82.883 -83 +12";
    QTest::newRow("End key goes to 250") << none << int(Qt::Key_End) << 0 << 0 << "250"
                                         << "+12.707 +13 -29";
    QTest::newRow("wheel up raises three tenths") << none << 0 << 120 << 0 << "120.3"
                                                  << "+0.043 +0 +4";
    QTest::newRow("wheel down lowers three tenths") << none << 0 << -120 << 0 << "119.7"
                                                    << "-0.043 +0 -4";
    QTest::newRow("sideways to the left lowers three tenths, as the Left key does")
        << none << 0 << 0 << 120 << "119.7"
        << "-0.043 +0 -4";
    QTest::newRow("sideways to the right raises three tenths") << none << 0 << 0 << -120 << "120.3"
                                                               << "+0.043 +0 +4";
}

void TestMainWindow::sliderMovesRecalculate()
{
    QFETCH(int, action);
    QFETCH(int, key);
    QFETCH(int, wheel);
    QFETCH(int, sideways);
    MainWindow& w = open();
    QScrollBar* slider = w.tempoEntry(1)->slider();
    if (key) {
        QTest::keyClick(slider, Qt::Key(key));
    } else if (wheel || sideways) {
        const QPointF centre = slider->rect().center();
        QWheelEvent turn(centre, slider->mapToGlobal(centre), QPoint(), QPoint(sideways, wheel), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &turn);
    } else {
        slider->triggerAction(QAbstractSlider::SliderAction(action));
    }
    QTEST(w.tempoEntry(1)->textBox()->text(), "text");
    QTEST(results(), "shown");
    QCOMPARE(w.loadedDelayWindow()->bpmText(), w.tempoEntry(1)->textBox()->text());
    QVERIFY(m_platform->messages.isEmpty());
}

void TestMainWindow::dragShowsEveryTenth()
{
    MainWindow& w = open();
    QScrollBar* slider = w.tempoEntry(1)->slider();
    slider->setSliderDown(true);
    QStringList seen;
    for (int position = 1201; position <= 1205; ++position) {
        slider->setSliderPosition(position);
        seen << w.tempoEntry(1)->textBox()->text();
    }
    slider->setSliderDown(false);
    QCOMPARE(seen, QStringList({"120.1", "120.2", "120.3", "120.4", "120.5"}));
    QCOMPARE(results(), QString("+0.072 +0 +7"));
}

void TestMainWindow::typedTempoWaitsForCalculation_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the Calculate button") << "button";
    QTest::newRow("Enter in the tempo box") << "enter";
    QTest::newRow("the File menu item") << "menu";
}

void TestMainWindow::typedTempoWaitsForCalculation()
{
    QFETCH(QString, how);
    MainWindow& w = open();
    typeInto(1, "130");
    QCOMPARE(results(), QString("+0 +0 +0"));
    QCOMPARE(w.tempoEntry(1)->slider()->value(), 1200);

    if (how == "button")
        QTest::mouseClick(w.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    else if (how == "enter")
        QTest::keyClick(w.tempoEntry(1)->textBox(), Qt::Key_Return);
    else
        w.findChild<QAction*>("Menu_calculate")->trigger();

    QCOMPARE(results(), QString("+1.386 +1 +39"));
    QCOMPARE(w.tempoEntry(1)->slider()->value(), 1300);
    QCOMPARE(w.tempoEntry(1)->textBox()->text(), QString("130"));
}

void TestMainWindow::typedTempoTakesEffectWithTheOtherSlider()
{
    MainWindow& w = open();
    typeInto(1, "130");
    w.tempoEntry(0)->slider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(w.tempoEntry(0)->textBox()->text(), QString("120.1"));
    QCOMPARE(w.tempoEntry(1)->slider()->value(), 1300);
    QCOMPARE(results(), QString("+1.371 +1 +37"));
}

void TestMainWindow::firstKeysReplaceTheOpeningTempo_data()
{
    QTest::addColumn<QByteArray>("saved"); // the settings file at start; empty: none
    QTest::addColumn<QString>("results");
    QTest::newRow("first start: 98 over the design 120") << QByteArray() << "+3.506 +4 -49";
    QTest::newRow("restored 133.3333 and 100: 98 over all of it")
        << QByteArray("133.3333\r\n100\r\n3\r\n0\r\n0\r\n") << "+0.35 +0 +35";
}

void TestMainWindow::firstKeysReplaceTheOpeningTempo()
{
    QFETCH(QByteArray, saved);
    if (!saved.isEmpty()) {
        QFile file(m_dir->filePath("bpm_data.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(saved), saved.size());
    }
    MainWindow& w = open();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The real keys, into whatever has the focus as the window opens.
    QCOMPARE(QApplication::focusWidget(), w.tempoEntry(0)->textBox());
    QTest::keyClicks(QApplication::focusWidget(), "98");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(m_platform->messages.isEmpty());
    QCOMPARE(w.tempoEntry(0)->textBox()->text(), QString("98"));
    QTEST(results(), "results");
    w.hide();
}

void TestMainWindow::rejectedTemposComeBackFromSliders_data()
{
    QTest::addColumn<QString>("bpm1");
    QTest::addColumn<QString>("bpm2");
    QTest::addColumn<QString>("restored1");
    QTest::addColumn<QString>("restored2");
    QTest::newRow("BPM 1 above the range") << "300"
                                           << "120"
                                           << "120"
                                           << "120";
    QTest::newRow("both entries bad: one message") << "0"
                                                   << "abc"
                                                   << "120"
                                                   << "120";
    QTest::newRow("letters in BPM 1, BPM 2 good but uncalculated") << "abc"
                                                                   << "130"
                                                                   << "120"
                                                                   << "120";
    QTest::newRow("below one") << "120"
                               << "0.5"
                               << "120"
                               << "120";
    QTest::newRow("a twentieth above the top") << "250.05"
                                               << "120"
                                               << "120"
                                               << "120";
    QTest::newRow("empty entry") << ""
                                 << "120"
                                 << "120"
                                 << "120";
}

void TestMainWindow::rejectedTemposComeBackFromSliders()
{
    MainWindow& w = open();
    w.tempoEntry(1)->slider()->triggerAction(
        QAbstractSlider::SliderPageStepAdd); // BPM 2 at 121 before the mistake
    const QString before = results();
    QFETCH(QString, bpm1);
    QFETCH(QString, bpm2);
    w.tempoEntry(0)->textBox()->setText(bpm1);
    w.tempoEntry(1)->textBox()->setText(bpm2);
    w.Command1_Click();

    QCOMPARE(m_platform->beeps, 1);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages[0].title, QString("BPMエラー"));
    QCOMPARE(m_platform->messages[0].text, QString("入力するBPMは1～250の範囲です。"));
    QCOMPARE(m_platform->messages[0].icon, korvo::Message::Icon::Exclamation);
    QCOMPARE(w.iserr, MainWindow::kRejected);
    QCOMPARE(w.tempoEntry(0)->textBox()->text(), QString("120"));
    QCOMPARE(w.tempoEntry(1)->textBox()->text(), QString("121"));
    QCOMPARE(results(), before);
    QCOMPARE(w.loadedDelayWindow()->bpmText(), QString("121"));
}

void TestMainWindow::boundsAreAccepted()
{
    MainWindow& w = open();
    w.tempoEntry(0)->textBox()->setText("1");
    w.tempoEntry(1)->textBox()->setText("250");
    w.calc_pitch();
    QCOMPARE(w.iserr, MainWindow::kAccepted);
    QCOMPARE(results(), QString("+95.589 +96 -41"));
    QCOMPARE(w.tempoEntry(0)->slider()->value(), 10);
    QCOMPARE(w.tempoEntry(1)->slider()->value(), 2500);
    QVERIFY(m_platform->messages.isEmpty());
}

void TestMainWindow::slidersFollowTypedTempos_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("finalText");
    QTest::addColumn<int>("moves");
    QTest::newRow("125 moves the slider, text unchanged") << "125" << 1250 << "125" << 1;
    QTest::newRow("120.05 rounds to the slider it already has") << "120.05" << 1200 << "120.05" << 0;
    QTest::newRow("120.25 moves the slider, which rewrites the text") << "120.25" << 1202 << "120.2" << 1;
    QTest::newRow("trailing letters place the slider by the leading number")
        << "125abc" << 1250 << "125" << 1;
}

void TestMainWindow::slidersFollowTypedTempos()
{
    QFETCH(QString, typed);
    QFETCH(int, moves);
    MainWindow& w = open();
    QSignalSpy moved0(w.tempoEntry(0)->slider(), &QScrollBar::valueChanged);
    QSignalSpy moved1(w.tempoEntry(1)->slider(), &QScrollBar::valueChanged);
    w.tempoEntry(0)->textBox()->setText(typed);
    w.tempoEntry(1)->textBox()->setText("130");
    w.Command1_Click();

    // Each slider moves at most once however the runs nest.
    QCOMPARE(moved0.size(), moves);
    QCOMPARE(moved1.size(), 1);
    QTEST(w.tempoEntry(0)->slider()->value(), "position");
    QTEST(w.tempoEntry(0)->textBox()->text(), "finalText");
    QCOMPARE(w.tempoEntry(1)->slider()->value(), 1300);
    QCOMPARE(w.iserr, MainWindow::kAccepted);
}

void TestMainWindow::exitWithValidTemposAsksNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button") << "button";
    QTest::newRow("Exit menu item") << "menu";
    QTest::newRow("window close box") << "close";
}

void TestMainWindow::exitWithValidTemposAsksNothing()
{
    QFETCH(QString, how);
    MainWindow& w = open();
    w.show();
    w.CommandD_Click();
    w.menu_manual_Click();
    if (how == "button")
        QTest::mouseClick(w.findChild<QPushButton*>("Command2"), Qt::LeftButton);
    else if (how == "menu")
        w.findChild<QAction*>("menu_exit")->trigger();
    else
        QVERIFY(w.close());

    QVERIFY(m_platform->messages.isEmpty());
    QCOMPARE(m_platform->quits, 1);
    QCOMPARE(w.iserr, MainWindow::kShuttingDown);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.loadedDelayWindow());
    QVERIFY(!w.manualWindow());
    QVERIFY(QFile::exists(m_dir->filePath("bpm_data.ini")));
}

void TestMainWindow::exitWithInvalidTempoAsksFirst_data()
{
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<bool>("viaCloseBox");
    QTest::newRow("OK from the Exit button saves the restored tempos") << true << false;
    QTest::newRow("Cancel from the Exit button keeps running") << false << false;
    QTest::newRow("Cancel from the close box cancels the close") << false << true;
    QTest::newRow("OK from the close box closes") << true << true;
}

void TestMainWindow::exitWithInvalidTempoAsksFirst()
{
    QFETCH(bool, answerOk);
    QFETCH(bool, viaCloseBox);
    MainWindow& w = open();
    w.show();
    w.tempoEntry(0)->textBox()->setText("300");
    m_platform->answers = {true, answerOk}; // the range message, then the question
    const bool closed = viaCloseBox ? w.close() : (w.Command2_Click(), !w.isVisible());

    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(m_platform->messages[0].title, QString("BPMエラー"));
    const korvo::Message& question = m_platform->messages[1];
    QCOMPARE(question.title, QString("自動保存アラート..."));
    QCOMPARE(question.text,
             QString("テンポ値が不適切でした。\n変更前の値が自動保存されますが、終了しますか？"));
    QCOMPARE(question.buttons, korvo::Message::Buttons::OkCancel);
    QCOMPARE(question.icon, korvo::Message::Icon::Exclamation);
    QCOMPARE(w.tempoEntry(0)->textBox()->text(), QString("120"));

    QCOMPARE(closed, answerOk);
    QCOMPARE(m_platform->quits, answerOk ? 1 : 0);
    QCOMPARE(w.iserr, qint16(answerOk ? MainWindow::kShuttingDown : MainWindow::kRejected));
    QFile saved(m_dir->filePath("bpm_data.ini"));
    QCOMPARE(saved.exists(), answerOk);
    if (answerOk) {
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("120\r\n120\r\n"));
    }
}

void TestMainWindow::realMessageBoxes_data()
{
    QTest::addColumn<bool>("question");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("answeredOk");
    QTest::addColumn<QStringList>("buttons");
    const QStringList okCancel{"OK", "キャンセル"};
    QTest::newRow("Enter in the exit question means Cancel")
        << true << int(Qt::Key_Return) << false << okCancel;
    QTest::newRow("Escape in the exit question means Cancel")
        << true << int(Qt::Key_Escape) << false << okCancel;
    QTest::newRow("Enter dismisses the About box")
        << false << int(Qt::Key_Return) << true << QStringList{"OK"};
    QTest::newRow("Escape dismisses the About box")
        << false << int(Qt::Key_Escape) << true << QStringList{"OK"};
}

void TestMainWindow::realMessageBoxes()
{
    // The real message box, not the fake: its default and escape buttons, and Qt's own button
    // texts in Japanese.
    QFETCH(bool, question);
    QFETCH(int, key);
    m_platform.reset();
    QStringList buttons;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&buttons, key] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        buttons.clear();
        for (const QPushButton* button : box->findChildren<QPushButton*>())
            buttons << button->text().remove('&');
        QTest::keyClick(box, Qt::Key(key));
    });
    answer.start(20);
    const korvo::Message message{
        question ? korvo::Message::Icon::Exclamation : korvo::Message::Icon::Information,
        question ? korvo::Message::Buttons::OkCancel : korvo::Message::Buttons::Ok, "Korvo", "?"};
    const bool ok = korvo::Platform::current().show(nullptr, message);
    answer.stop();
    m_platform = std::make_unique<FakePlatform>();
    QTEST(ok, "answeredOk");
    buttons.sort();
    QTEST(buttons, "buttons");
}

void TestMainWindow::aboutBox()
{
    MainWindow& w = open();
    w.findChild<QAction*>("Manu_credit")->trigger();
    QCOMPARE(m_platform->messages.size(), 1);
    const korvo::Message& about = m_platform->messages[0];
    QCOMPARE(about.title, QString("Korvo 1.7J"));
    QCOMPARE(about.icon, korvo::Message::Icon::Information);
    QCOMPARE(about.buttons, korvo::Message::Buttons::Ok);
    QVERIFY(!about.text.isEmpty());
    QVERIFY(!about.text.contains('\n'));
}

void TestMainWindow::oneManualWindowAtMost()
{
    MainWindow& w = open();
    QAction* manual = w.findChild<QAction*>("menu_manual");
    manual->trigger();
    korvo::ManualWindow* first = w.manualWindow();
    QVERIFY(first && first->isVisible());
    manual->trigger();
    QCOMPARE(w.manualWindow(), first);
    QCOMPARE(openTopLevels().count("Manu"), 1);

    // Closed by its own close box it is gone, and the next command makes a new one.
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.manualWindow());
    manual->trigger();
    QVERIFY(w.manualWindow() && w.manualWindow()->isVisible());
    w.manualWindow()->close();
}

void TestMainWindow::minimisedSideWindowComesBack_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("the manual from the Help menu") << "menu_manual";
    QTest::newRow("the delay window from the Options menu") << "manu_delay";
}

void TestMainWindow::minimisedSideWindowComesBack()
{
    QFETCH(QString, command);
    MainWindow& w = open();
    QAction* action = w.findChild<QAction*>(command);
    action->trigger();
    QWidget* side =
        command == "menu_manual" ? static_cast<QWidget*>(w.manualWindow()) : w.loadedDelayWindow();
    QVERIFY(side && side->isVisible());
    side->showMinimized();
    QVERIFY(side->isMinimized());

    action->trigger();
    QVERIFY(side->isVisible());
    QVERIFY2(!side->isMinimized(), "asked for again, the window must not stay minimised");
    side->close();
}

void TestMainWindow::minimisedMainWindowComesBackFromTheDelayWindow()
{
    MainWindow& w = open();
    w.show();
    w.CommandD_Click();
    QVERIFY(w.loadedDelayWindow()->isVisible());
    w.showMinimized();
    QVERIFY(w.isMinimized());

    control<QPushButton>(w.loadedDelayWindow(), "Command2")->click(); // back to the main window
    QVERIFY(!w.loadedDelayWindow()->isVisible());
    QVERIFY(w.isVisible());
    QVERIFY2(!w.isMinimized(), "the main window must come back, not stay minimised");
}

void TestMainWindow::sideWindowsStayShutWhenRejected()
{
    MainWindow& w = open();
    w.tempoEntry(1)->textBox()->setText("0");
    w.CommandD_Click();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(w.tempoEntry(1)->textBox()->text(), QString("120"));
    QVERIFY(!w.loadedDelayWindow()->isVisible());

    w.tempoEntry(1)->textBox()->setText("0");
    w.CommandTB_Click();
    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(w.tempoEntry(1)->textBox()->text(), QString("120"));
    QVERIFY(!w.tapWindow());
    QCOMPARE(w.tap_ref, qint16(0));
}

void TestMainWindow::tapCommandsChooseTheirEntry()
{
    MainWindow& w = open();
    w.findChild<QAction*>("menu_tap1")->trigger();
    QCOMPARE(w.tap_ref, qint16(1));
    QVERIFY(w.tapWindow());
    QVERIFY(w.tapWindow()->isVisible());
    QCOMPARE(w.tapWindow()->windowModality(), Qt::ApplicationModal);
    w.tapWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.tapWindow());

    w.CommandTA_Click();
    QCOMPARE(w.tap_ref, qint16(0));
    QVERIFY(w.tapWindow());
    w.tapWindow()->close();
}

void TestMainWindow::delayWindowFollowsBpm2Only()
{
    MainWindow& w = open();
    w.CommandD_Click();
    korvo::DelayWindow* delay = w.loadedDelayWindow();
    QVERIFY(delay->isVisible());
    QCOMPARE(delay->delayText(), QString(" 250"));
    w.tempoEntry(1)->slider()->setValue(600);
    QCOMPARE(delay->bpmText(), QString("60"));
    QCOMPARE(delay->delayText(), QString(" 500"));
    w.tempoEntry(0)->slider()->setValue(900);
    QCOMPARE(delay->bpmText(), QString("60"));

    // Closed from its frame it is gone; the next calculation loads a fresh one, hidden.
    delay->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w.loadedDelayWindow());
    w.calc_pitch();
    QVERIFY(w.loadedDelayWindow());
    QVERIFY(!w.loadedDelayWindow()->isVisible());
}

void TestMainWindow::menusAndAccessKeys()
{
    MainWindow& w = open();
    QStringList seen;
    for (QAction* menu : w.menuBar()->actions()) {
        seen << menu->text();
        for (QAction* item : menu->menu()->actions()) {
            seen << "  " + (item->isSeparator() ? QString("-") : item->text());
            QVERIFY(item->shortcut().isEmpty());
        }
    }
    const QStringList expected = {"ファイル(&F)",
                                  "  計算実行(&C)",
                                  "  サンプルのテンポ(&W)...",
                                  "  サンプルのテンポ (BPM 2)(&V)...",
                                  "  -",
                                  "  終了(&X)",
                                  "オプション(&R)",
                                  "  ディレイタイム(&D)",
                                  "  BPM1をタップ(&1)",
                                  "  BPM2をタップ(&2)",
                                  "  サンプル(&S)...",
                                  "ヘルプ(&H)",
                                  "  作者情報...",
                                  "  マニュアル表示（&L）"};
    QCOMPARE(seen, expected);
}

void TestMainWindow::languageOfTheDesktop_data()
{
    // The desktop's interface languages, the preferred first, and whether Korvo speaks English.
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<bool>("english");
    QTest::newRow("Japanese") << QStringList{"ja-JP", "ja-Jpan-JP", "ja"} << false;
    QTest::newRow("the C locale, which names no language") << QStringList{"C"} << false;
    QTest::newRow("nothing at all") << QStringList{} << false;
    QTest::newRow("English") << QStringList{"en-US", "en-Latn-US", "en"} << true;
    QTest::newRow("German: English is read more widely") << QStringList{"de-DE", "de"} << true;
    QTest::newRow("only the first counts") << QStringList{"en", "ja"} << true;
}

void TestMainWindow::languageOfTheDesktop()
{
    QFETCH(QStringList, languages);
    QFETCH(bool, english);
    QCOMPARE(korvo::ui::languageFor(languages) == korvo::ui::Language::English, english);
}

void TestMainWindow::speaksEnglish_data()
{
    // The window, the control (a list: its item at `item`), and what it says in English; the
    // message box is the one a tempo out of range brings.
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("text");
    QTest::newRow("the calculate button") << "BPM"
                                          << "Command1" << -1 << "Calculate!";
    QTest::newRow("a menu, its access key its own") << "BPM"
                                                    << "Menu_options" << -1 << "&Options";
    QTest::newRow("a menu item") << "BPM"
                                 << "menu_sampletempo2" << -1 << "Sample tempo (BPM &2)...";
    QTest::newRow("the tap button") << "TAP"
                                    << "Command1" << -1 << "&Tap";
    QTest::newRow("a note value") << "Delay"
                                  << "CboNote0" << 5 << "32nd note";
    QTest::newRow("a triplet") << "Delay"
                               << "CboNote1" << 6 << "1/3 (triplet)";
    QTest::newRow("a timebase") << "Delay"
                                << "CboFormat" << 1 << "MIDI timebase = 480";
    QTest::newRow("the range message") << "message"
                                       << "" << -1 << "BPM error: Enter a BPM from 1 to 250.";
}

void TestMainWindow::speaksEnglish()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(int, item);
    QVERIFY(korvo::ui::useLanguage(korvo::ui::Language::English));
    MainWindow& w = open();
    QString text;
    if (window == "message") {
        typeInto(0, "300");
        QTest::keyClick(w.tempoEntry(0)->textBox(), Qt::Key_Return);
        QCOMPARE(m_platform->messages.size(), 1);
        text = m_platform->messages[0].title + ": " + m_platform->messages[0].text;
    } else {
        QWidget* top = &w;
        if (window == "TAP") {
            w.CommandTA_Click();
            top = w.tapWindow();
        } else if (window == "Delay") {
            w.delayWindow()->makeControls();
            top = w.delayWindow();
        }
        QObject* found = top->findChild<QObject*>(control);
        QVERIFY2(found, qPrintable(control));
        if (auto* list = qobject_cast<QComboBox*>(found))
            text = list->itemText(item);
        else if (auto* menu = qobject_cast<QMenu*>(found))
            text = menu->title();
        else
            text = found->property("text").toString();
        if (w.tapWindow())
            w.tapWindow()->close();
    }
    QTEST(text, "text");
}

void TestMainWindow::keyboardOrderAndDisplayBoxes()
{
    MainWindow& w = open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.tempoEntry(0)->textBox()->setFocus();
    QStringList order;
    QStringList unmarked; // controls that look the same with the focus as without it
    for (int i = 0; i < 9; ++i) {
        QWidget* focused = QApplication::focusWidget();
        order << focused->objectName();
        const QImage withFocus = focused->grab().toImage();
        QTest::keyClick(focused, Qt::Key_Tab);
        if (focused->grab().toImage() == withFocus)
            unmarked << focused->objectName();
    }
    QCOMPARE(order, QStringList({"TextBPM0", "CommandTA", "HScroll0", "TextBPM1", "CommandTB", "HScroll1",
                                 "CommandD", "Command1", "Command2"}));
    QVERIFY2(unmarked.isEmpty(), qPrintable("no focus shown: " + unmarked.join(", ")));

    for (QLineEdit* box : {w.pitchBox(), w.semitoneBox(), w.centBox()}) {
        QVERIFY(!box->isEnabled());
        QCOMPARE(box->focusPolicy(), Qt::NoFocus);
        QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Text), QColor(Qt::black));
    }
    QCOMPARE(w.pitchBox()->accessibleName(), QString("ピッチ調整"));
    QCOMPARE(w.tempoEntry(1)->textBox()->accessibleName(), QString("BPM 2"));
    QCOMPARE(w.tempoEntry(0)->slider()->accessibleName(), QString("BPM 1"));
    QVERIFY(!w.tempoEntry(0)->textBox()->testAttribute(Qt::WA_InputMethodEnabled));

    // The delay button is drawn above the BPM 2 frame it overlaps.
    QWidget* client = w.centralWidget();
    const QObjectList& stack = client->children();
    QVERIFY(stack.indexOf(w.findChild<QPushButton*>("CommandD")) >
            stack.indexOf(w.findChild<QGroupBox*>("FrameBPM1")));
    w.hide();
}

void TestMainWindow::sampleTempoByDropOrMenu_data()
{
    // Where the loop goes in ("frame", "box", "slider" of an entry, "menu" for the entry's file
    // question, or "command line" for the file named when the program starts), how the dialog is
    // answered, and the entry's text afterwards.
    QTest::addColumn<double>("bpm"); // of a four-bar loop
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("dropped on BPM 1's frame, OK") << 174.0 << 0 << "frame"
                                                  << "ok"
                                                  << "174"
                                                  << "-6.433 -6 -43";
    QTest::newRow("dropped on BPM 1's box, Enter") << 174.0 << 0 << "box"
                                                   << "enter"
                                                   << "174"
                                                   << "-6.433 -6 -43";
    QTest::newRow("dropped on BPM 2's slider, OK") << 174.0 << 1 << "slider"
                                                   << "ok"
                                                   << "174"
                                                   << "+6.433 +6 +43";
    QTest::newRow("dropped on BPM 2's box, 2 bars taken instead") << 174.0 << 1 << "box"
                                                                  << "other"
                                                                  << "87"
                                                                  << "-5.567 -6 +43";
    QTest::newRow("dropped on BPM 2's frame, Cancel changes nothing") << 174.0 << 1 << "frame"
                                                                      << "cancel"
                                                                      << "120"
                                                                      << "+0 +0 +0";
    QTest::newRow("File menu for BPM 1, OK") << 174.0 << 0 << "menu"
                                             << "ok"
                                             << "174"
                                             << "-6.433 -6 -43";
    QTest::newRow("File menu for BPM 2, OK") << 174.0 << 1 << "menu"
                                             << "ok"
                                             << "174"
                                             << "+6.433 +6 +43";
    QTest::newRow("4 bars at 133.3333 keep every decimal, not the slider's tenth") << 133.3333 << 0 << "box"
                                                                                   << "ok"
                                                                                   << "133.3333"
                                                                                   << "-1.824 -2 +18";
    QTest::newRow("named on the command line, a relative path") << 174.0 << 0 << "command line"
                                                                << "ok"
                                                                << "174"
                                                                << "-6.433 -6 -43";
    QTest::newRow("File menu, the file question cancelled") << 174.0 << 0 << "menu-cancelled"
                                                            << ""
                                                            << "120"
                                                            << "+0 +0 +0";
}

void TestMainWindow::sampleTempoByDropOrMenu()
{
    QFETCH(int, entry);
    QFETCH(QString, where);
    QFETCH(QString, answer);
    QFETCH(double, bpm);
    korvo::test::DrumLoop loop;
    loop.bpm = bpm;
    loop.beats = 16;
    const QString file = m_dir->filePath(bpm == 174 ? "loop 174.wav" : "loop.wav");
    QVERIFY(korvo::test::writeDrumLoop(file.toStdString(), loop));
    MainWindow& w = open();
    w.show();

    korvo::TempoEntry* target = w.tempoEntry(entry);
    if (where == "command line") {
        w.readSampleAtStart(QDir::current().relativeFilePath(file));
        QVERIFY(!w.sampleTempo()->busy()); // not before the event loop runs
    } else if (where.startsWith("menu")) {
        if (where == "menu")
            m_platform->files << file;
        // The real keys: Alt+F opens the File menu, W takes the item for BPM 1 and V the one for BPM 2.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), entry == 0 ? Qt::Key_W : Qt::Key_V);
        QCOMPARE(m_platform->fileQuestions, QStringList{QString("サンプルのテンポ (BPM %1)").arg(entry + 1)});
    } else {
        QWidget* on = where == "frame" ? static_cast<QWidget*>(target)
                      : where == "box" ? static_cast<QWidget*>(target->textBox())
                                       : target->slider();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        mime.setText(file); // as file managers send it: the box must not take it as text
        const QPointF at = QRectF(on->rect()).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &drop);
        QVERIFY(drop.isAccepted());
    }
    if (where == "menu-cancelled") {
        QVERIFY(!w.sampleTempo()->busy());
    } else {
        // The reading runs in the background; the window keeps taking events meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(w.sampleTempo()->dialog() && w.sampleTempo()->dialog()->isVisible(), 20000);
        korvo::SampleTempoDialog* dialog = w.sampleTempo()->dialog();
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QCOMPARE(dialog->windowTitle(), QString("サンプルのテンポ (BPM %1)").arg(entry + 1));
        QCOMPARE(dialog->fileLabel()->text(), QFileInfo(file).fileName());
        if (bpm == 174) {
            QCOMPARE(dialog->lengthLabel()->text(), QString("5.517秒"));
            QVERIFY2(dialog->tempoLabel()->text().startsWith("174 BPM　16拍（4小節）のループ"),
                     qPrintable(dialog->tempoLabel()->text()));
            // The chosen reading first and selected, the others below it, every tempo to the same
            // decimals.
            QTreeWidget* list = dialog->candidateList();
            QVERIFY(list->topLevelItemCount() >= 3);
            QCOMPARE(list->currentItem(), list->topLevelItem(0));
            QStringList readings;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                readings << list->topLevelItem(i)->text(0) + " " + list->topLevelItem(i)->text(1);
            QCOMPARE(readings.value(0), QString("174.00 16拍（4小節）"));
            QVERIFY2(readings.contains("87.00 8拍（2小節）"), qPrintable(readings.join(", ")));
            QCOMPARE(dialog->chosenText(), QString("174"));
        }
        auto* ok = dialog->findChild<QPushButton*>("ok");
        QVERIFY(ok);
        if (answer == "ok") {
            QTest::mouseClick(ok, Qt::LeftButton);
        } else if (answer == "enter") {
            QTest::keyClick(dialog->candidateList(), Qt::Key_Return);
        } else if (answer == "other") {
            while (dialog->chosenText() != "87" && dialog->candidateList()->currentItem() !=
                                                       dialog->candidateList()->topLevelItem(
                                                           dialog->candidateList()->topLevelItemCount() - 1))
                QTest::keyClick(dialog->candidateList(), Qt::Key_Down, Qt::NoModifier);
            QCOMPARE(dialog->chosenText(), QString("87"));
            QTest::mouseClick(ok, Qt::LeftButton);
        } else {
            QTest::keyClick(dialog->candidateList(), Qt::Key_Escape);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w.sampleTempo()->dialog());
    }
    QTEST(target->textBox()->text(), "text");
    QTEST(results(), "shown");
    // Calculated as after typing: the slider follows the new tempo.
    QCOMPARE(target->slider()->value(), korvo::bpm::positionForText(target->textBox()->text().toStdString()));
    QCOMPARE(w.tempoEntry(1 - entry)->textBox()->text(), QString("120"));
    // A loop taken into BPM 1 opens the sample window, which without the audio module says so.
    const bool sample = entry == 0 && answer != "cancel" && where != "menu-cancelled";
    QCOMPARE(w.sampleWindow() && w.sampleWindow()->isVisible(), sample);
    QCOMPARE(m_platform->messages.size(), sample ? 1 : 0);
    if (sample)
        w.sampleWindow()->hide();
    w.hide();
}

// Windows has the design face itself (Japanese Windows always): there it comes first, and the
// stand-ins follow. Elsewhere it is a last resort after the installed Japanese fonts.
void TestMainWindow::designFaceFirstOnlyOnWindows()
{
    const QString design = QString::fromUtf8(korvo::ui::kJapaneseFace);
    const QStringList order = korvo::ui::standInFamilies(korvo::ui::kJapaneseFace);
    const bool windows = QSysInfo::kernelType() == QLatin1String("winnt");
    QCOMPARE(order.indexOf(design), windows ? 0 : order.size() - 1);
    QCOMPARE(order.count(design), 1);
    QVERIFY(order.contains("IPAPGothic")); // the font the Windows packages carry
}

void TestMainWindow::tempoBoxWithTheFocusShowsALongTempoWhole()
{
    // BPM 1's box has the focus when the window opens; a restored tempo must still show whole.
    MainWindow& w = open();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QLineEdit* box = w.tempoEntry(0)->textBox();
    box->setFocus();
    QVERIFY(box->hasFocus());
    w.tempoEntry(0)->setText("133.3333");
    // The room a line edit leaves its text: two pixels at each side and one for the caret.
    const int room = box->contentsRect().marginsRemoved(box->textMargins()).width() - 2 * 2 - 1;
    QVERIFY2(QFontMetrics(box->font()).horizontalAdvance(box->text()) <= room,
             qPrintable(box->font().toString()));
    QCOMPARE(box->cursorPosition(), 0);
    // Typing gives the box its designed font back while the user edits.
    const QFont fitted = box->font();
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QString("133.333"));
    QVERIFY(box->font() != fitted);
    w.hide();
}

#include "testmain.h"
KORVO_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
