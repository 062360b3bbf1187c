#include "app/manualwindow.h"
#include "ui/twips.h"
#include "windowtest.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using korvo::manualText;
using korvo::ManualWindow;

class TestManualWindow : public QObject, WindowTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void textLineEnds();
    void textLength();
    void textTopicsInOrder();
    void textQuotesTheRealCaptions_data();
    void textQuotesTheRealCaptions();

    void windowLayout();
    void showsTheWholeTextOneLinePerLine();
    void focusAtOpening();
    void typingChangesNothing_data();
    void typingChangesNothing();
    void selectionAndCopyAllowed();
    void scrollsWithTheKeyboard();
    void escapeCloses();

private:
    QPlainTextEdit* openWindow();

    std::unique_ptr<ManualWindow> m_window;
};

void TestManualWindow::init()
{
    startWindowTest();
    QVERIFY2(openTopLevels().isEmpty(), qPrintable(openTopLevels().join(", ")));
}

void TestManualWindow::cleanup()
{
    m_window.reset();
    endWindowTest();
}

QPlainTextEdit* TestManualWindow::openWindow()
{
    m_window = std::make_unique<ManualWindow>();
    m_window->show();
    m_window->activateWindow();
    if (!QTest::qWaitForWindowActive(m_window.get()))
        return nullptr;
    return control<QPlainTextEdit>(m_window.get(), "Text1");
}

void TestManualWindow::textLineEnds()
{
    const QString text = manualText();
    QVERIFY(!text.isEmpty());
    QVERIFY(text.endsWith("\r\n"));
    QVERIFY(!text.endsWith("\r\n\r\n"));
    // Every line break is the pair: no lone CR, no lone LF.
    const qsizetype pairs = text.count("\r\n");
    QCOMPARE(text.count('\r'), pairs);
    QCOMPARE(text.count('\n'), pairs);
}

void TestManualWindow::textLength()
{
    const qsizetype lines = manualText().count("\r\n");
    QVERIFY2(lines >= 225 && lines <= 275, qPrintable(QString("%1 lines").arg(lines)));
}

void TestManualWindow::textTopicsInOrder()
{
    const QString text = manualText();
    // The title block comes first, framed by full-width rules, and names the version.
    QVERIFY(text.startsWith(QString::fromUtf8("＿＿＿＿")));
    const qsizetype titleEnd = text.indexOf(QString::fromUtf8("￣￣￣￣"));
    QVERIFY(titleEnd > 0);
    QVERIFY(text.left(titleEnd).contains("1.7J"));

    const char* const headings[] = {
        "■はじめに",   "■インストールと削除", "■このソフトでできること", "■使い方", "■ヒント",
        "■今後の予定", "■バージョン履歴",     "■開発・テスト環境",       "■最後に"};
    qsizetype previous = titleEnd;
    for (const char* heading : headings) {
        const qsizetype at = text.indexOf(QString::fromUtf8(heading));
        QVERIFY2(at > previous, heading);
        previous = at;
    }

    const qsizetype history = text.indexOf(QString::fromUtf8("■バージョン履歴"));
    previous = history;
    for (const char* version :
         {"Version 1.5\r\n", "Version 1.54\r\n", "Version 1.60\r\n", "Version 1.7\r\n"}) {
        const qsizetype at = text.indexOf(QString::fromLatin1(version), history);
        QVERIFY2(at > previous, version);
        previous = at;
    }
}

void TestManualWindow::textQuotesTheRealCaptions_data()
{
    QTest::addColumn<QString>("caption");

    QTest::newRow("settings file name") << "bpm_data.ini";
    QTest::newRow("calculate button") << QString::fromUtf8("「計算！」");
    QTest::newRow("sampler frame") << QString::fromUtf8("「サンプラー」");
    QTest::newRow("pitch frame") << QString::fromUtf8("「ピッチ調整」");
    QTest::newRow("tap button of the main window") << QString::fromUtf8("「タップ...」");
    QTest::newRow("exit button") << QString::fromUtf8("「終了(X)」");
    QTest::newRow("delay button") << QString::fromUtf8("「ディレイタイム(D)...」");
    QTest::newRow("tap button of the tap window") << QString::fromUtf8("「タップ (T)」");
    QTest::newRow("start over") << QString::fromUtf8("「やりなおし」");
    QTest::newRow("set") << QString::fromUtf8("「セット(S)」");
    QTest::newRow("delay default") << QString::fromUtf8("「デフォルト」");
    QTest::newRow("delay close") << QString::fromUtf8("「閉じる (C)」");
    QTest::newRow("no time format") << QString::fromUtf8("「タイム・フォーマット(なし)」");
    QTest::newRow("manual menu item, full-width parentheses") << QString::fromUtf8("「マニュアル表示（L）」");
    QTest::newRow("sample window menu item") << QString::fromUtf8("「サンプル(S)...」");
    QTest::newRow("sample window's play button") << QString::fromUtf8("「再生」");
    QTest::newRow("tempo with the pitch") << QString::fromUtf8("「ピッチごと」");
    QTest::newRow("tempo without the pitch") << QString::fromUtf8("「ピッチを保つ」");
    QTest::newRow("export button") << QString::fromUtf8("「書き出し...」");
}

void TestManualWindow::textQuotesTheRealCaptions()
{
    QFETCH(QString, caption);
    QVERIFY(manualText().contains(caption));
}

void TestManualWindow::windowLayout()
{
    ManualWindow window;
    QCOMPARE(window.objectName(), QString("Manu"));
    QCOMPARE(window.windowTitle(), QString("Korvo Manual"));
    QCOMPARE(window.size(), QSize(korvo::ui::px(6705), korvo::ui::px(5160)));
    QCOMPARE(window.minimumSize(), window.maximumSize());

    const auto texts = window.findChildren<QPlainTextEdit*>();
    QCOMPARE(texts.size(), 1);
    QPlainTextEdit* text = texts.front();
    QCOMPARE(text->objectName(), QString("Text1"));
    QCOMPARE(text->geometry(), korvo::ui::twips(240, 120, 6255, 4815));
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(text->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(text->accessibleName(), QString("Korvo Manual"));
}

void TestManualWindow::showsTheWholeTextOneLinePerLine()
{
    ManualWindow window;
    auto* text = window.findChild<QPlainTextEdit*>("Text1");
    QVERIFY(text);
    // CR LF is one line break on screen, not two.
    const QString expected = manualText().replace("\r\n", "\n");
    QCOMPARE(text->toPlainText(), expected);
    QCOMPARE(text->blockCount(), expected.count('\n') + 1);
}

void TestManualWindow::focusAtOpening()
{
    QPlainTextEdit* text = openWindow();
    QVERIFY(text);
    QCOMPARE(QApplication::focusWidget(), text);
}

void TestManualWindow::typingChangesNothing_data()
{
    QTest::addColumn<bool>("selectAllFirst");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::newRow("Delete at the start") << false << "" << int(Qt::Key_Delete) << int(Qt::NoModifier);
    QTest::newRow("Return") << false << "" << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("letters") << false << "abc" << 0 << 0;
    QTest::newRow("letters over a selection") << true << "abc" << 0 << 0;
    QTest::newRow("Backspace over a selection")
        << true << "" << int(Qt::Key_Backspace) << int(Qt::NoModifier);
    QTest::newRow("cut a selection") << true << "" << int(Qt::Key_X) << int(Qt::ControlModifier);
}

void TestManualWindow::typingChangesNothing()
{
    QFETCH(bool, selectAllFirst);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, modifiers);

    QPlainTextEdit* text = openWindow();
    QVERIFY(text);
    const QString before = text->toPlainText();
    if (selectAllFirst) {
        QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(text->textCursor().hasSelection());
    }
    if (!typed.isEmpty())
        QTest::keyClicks(text, typed);
    if (key)
        QTest::keyClick(text, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(text->toPlainText(), before);
    QVERIFY(!text->document()->isModified());
}

void TestManualWindow::selectionAndCopyAllowed()
{
    QPlainTextEdit* text = openWindow();
    QVERIFY(text);
    QSignalSpy copyAvailable(text, &QPlainTextEdit::copyAvailable);

    QTest::keyClick(text, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(text, Qt::Key_Down, Qt::ShiftModifier);

    const QString firstLine = manualText().section("\r\n", 0, 0);
    QVERIFY(text->textCursor().hasSelection());
    QVERIFY(text->textCursor().selectedText().startsWith(firstLine));
    QVERIFY(!copyAvailable.isEmpty());
    QCOMPARE(copyAvailable.last().at(0).toBool(), true);
}

void TestManualWindow::scrollsWithTheKeyboard()
{
    QPlainTextEdit* text = openWindow();
    QVERIFY(text);
    QScrollBar* bar = text->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    QVERIFY(bar->maximum() > 0);

    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    // The end of the text is in view (the scroll bar may keep a line of slack below it).
    QVERIFY(text->textCursor().atEnd());
    QVERIFY(bar->value() > 0);
    QVERIFY(text->viewport()->rect().contains(text->cursorRect()));
    QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
}

void TestManualWindow::escapeCloses()
{
    QPlainTextEdit* text = openWindow();
    QVERIFY(text);
    QTest::keyClick(text, Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
}

#include "testmain.h"
KORVO_TEST_MAIN(TestManualWindow)
#include "tst_manualwindow.moc"
