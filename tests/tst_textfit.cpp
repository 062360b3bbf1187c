// Whether what a person must read is whole on screen: for every window, every box, label, button,
// list and frame caption, the widest text that can reach it is measured with the control's own
// font against the room the style leaves inside it, and what the control draws of its text is
// held against the same text drawn whole. A widget's text can be right while the person sees only
// part of it (a "+" cut in half reads as "-", a "セ" without its top as "ヤ"). All of it once with
// every Japanese font installed that may stand in for the design face.
#include "app/mainwindow.h"
#include "app/manualwindow.h"
#include "delay/delaycalc.h"
#include "mainwindowtest.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "pitch/pitchshift.h"
#include "ui/applicationsetup.h"
#include "ui/fontorder.h"
#include "ui/fonts.h"
#include "ui/language.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyle>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

using korvo::MainWindow;

namespace {

// The controls' own style options, as they paint themselves.
struct LineEditAccess : QLineEdit
{
    using QLineEdit::initStyleOption;
};
struct ButtonAccess : QPushButton
{
    using QPushButton::initStyleOption;
};
struct ComboAccess : QComboBox
{
    using QComboBox::initStyleOption;
};
struct GroupBoxAccess : QGroupBox
{
    using QGroupBox::initStyleOption;
};
struct RadioAccess : QRadioButton
{
    using QRadioButton::initStyleOption;
};

// Pixels a text needs in a font, rounded up.
int needed(const QFont& font, const QString& text)
{
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

QStringList shownTexts(QWidget* w);

// The width a text may take inside a control without being cut or scrolled.
int room(QWidget* w)
{
    QStyle* style = w->style();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QStyleOptionFrame option;
        (edit->*&LineEditAccess::initStyleOption)(&option);
        const QRect r = style->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                            .marginsRemoved(edit->textMargins());
        // A line edit keeps two pixels free at each side, and one for the cursor at the end.
        return r.width() - 2 * 2 - 1;
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton option;
        (button->*&ButtonAccess::initStyleOption)(&option);
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    if (auto* radio = qobject_cast<QRadioButton*>(w)) {
        QStyleOptionButton option;
        (radio->*&RadioAccess::initStyleOption)(&option);
        return style->subElementRect(QStyle::SE_RadioButtonContents, &option, radio).width();
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox option;
        (combo->*&ComboAccess::initStyleOption)(&option);
        // The item's text is drawn one pixel in from each side of the field.
        return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                   .width() -
               2;
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        QStyleOptionGroupBox option;
        (box->*&GroupBoxAccess::initStyleOption)(&option);
        const QRect label =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        // The caption starts where the style puts it and must end inside the frame's line.
        return box->width() - label.left() - 1;
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        int width = label->contentsRect().width() - 2 * label->margin();
        // A control the layout lays over the end of the label's place: the caption ends before it.
        for (QObject* child : label->parentWidget()->children()) {
            auto* other = qobject_cast<QWidget*>(child);
            if (other && other != label && other->geometry().intersects(label->geometry()) &&
                other->x() > label->x() && !other->isWindow())
                width = std::min(width, other->x() - label->x());
        }
        return width;
    }
    return 0;
}

// The ink a control draws for its text: the control drawn with the text, less the control drawn
// without it. Empty when nothing of the text shows.
QRect seenInk(QWidget* w)
{
    const QString text = shownTexts(w).value(0);
    auto set = [w](const QString& t) {
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            edit->setText(t);
        else if (auto* button = qobject_cast<QPushButton*>(w))
            button->setText(t);
        else if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(t);
    };
    const QString before = qobject_cast<QPushButton*>(w) ? static_cast<QPushButton*>(w)->text() : text;
    set(QString());
    const QImage blank = w->grab().toImage();
    set(before);
    const QImage drawn = w->grab().toImage();
    QRect ink;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor a = blank.pixelColor(x, y), b = drawn.pixelColor(x, y);
            // Faint edges count: the whole text below is taken by its strong strokes only, so that
            // shading that differs with the position does not count as missing.
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) >
                30)
                ink |= QRect(x, y, 1, 1);
        }
    return ink;
}

// The columns where a box's text leaves ink, as runs of neighbouring columns (first, last): one a
// character where the characters stand clear of one another.
QList<std::pair<int, int>> inkRuns(QLineEdit* box)
{
    const QString text = box->text();
    box->setText(QString());
    const QImage blank = box->grab().toImage();
    box->setText(text);
    const QImage drawn = box->grab().toImage();
    QList<std::pair<int, int>> runs;
    for (int x = 0; x < drawn.width(); ++x) {
        bool ink = false;
        // Strong strokes only: the faint edges of neighbouring letters touch at any size.
        for (int y = 0; y < drawn.height() && !ink; ++y)
            ink = qGray(blank.pixel(x, y)) - qGray(drawn.pixel(x, y)) > 96;
        if (!ink)
            continue;
        if (!runs.isEmpty() && runs.last().second == x - 1)
            runs.last().second = x;
        else
            runs.append({x, x});
    }
    return runs;
}

// The ink of the same text drawn whole, with nothing to cut it: the control's font, and for a
// button the access key's underline where the style draws one.
QRect wholeInk(QWidget* w)
{
    QString text = shownTexts(w).value(0);
    int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        text = button->text();
        flags |= button->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, button)
                     ? Qt::TextShowMnemonic
                     : Qt::TextHideMnemonic;
    }
    const QFontMetrics metrics(w->font());
    QImage image(metrics.horizontalAdvance(text) + 40, metrics.height() * 2 + 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(w->font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(20, 20, image.width() - 40, metrics.height() * 2), flags, text);
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// What a control shows as it stands: its text, or for a list every item.
QStringList shownTexts(QWidget* w)
{
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return {edit->text()};
    if (auto* button = qobject_cast<QPushButton*>(w))
        return {QString(button->text()).remove(QRegularExpression("&(?!&)"))};
    if (auto* radio = qobject_cast<QRadioButton*>(w))
        return {radio->text()};
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return {box->title()};
    if (auto* label = qobject_cast<QLabel*>(w))
        return {label->text()};
    return {};
}

// Every tempo text a slider writes. A longer tempo (typed, or restored with seven digits such as
// 133.3333) need not fit whole: the boxes that only show it show its start.
QStringList tempoTexts()
{
    QStringList texts;
    for (int p = korvo::bpm::kSliderMinimum; p <= korvo::bpm::kSliderMaximum; ++p)
        texts << QString::fromStdString(korvo::bpm::textForPosition(p));
    return texts;
}

// The three pitch results with one tempo at either end of the slider and the other anywhere: the
// largest changes both ways ("+95.589", "-95.589") and every digit on the way.
std::array<QStringList, 3> pitchTexts()
{
    std::array<std::set<std::string>, 3> seen;
    auto add = [&seen](int p1, int p2) {
        const korvo::PitchShift s = korvo::pitchShift(p1 / 10.0, p2 / 10.0);
        seen[0].insert(s.adjustmentText);
        seen[1].insert(s.semitonesText);
        seen[2].insert(s.centsText);
    };
    for (int p = korvo::bpm::kSliderMinimum; p <= korvo::bpm::kSliderMaximum; ++p)
        for (int end : {korvo::bpm::kSliderMinimum, korvo::bpm::kSliderMaximum}) {
            add(end, p);
            add(p, end);
        }
    std::array<QStringList, 3> texts;
    for (std::size_t i = 0; i < 3; ++i)
        for (const std::string& t : seen[i])
            texts[i] << QString::fromStdString(t);
    return texts;
}

// The delay and option texts over every tempo a slider gives and every choice of the three lists.
std::array<QStringList, 2> delayTexts()
{
    std::set<std::string> delays, options;
    for (int p = korvo::bpm::kSliderMinimum; p <= korvo::bpm::kSliderMaximum; ++p) {
        const std::string bpm = korvo::bpm::textForPosition(p);
        for (std::size_t note = 0; note < korvo::delay::kNoteCount; ++note)
            for (std::size_t mod = 0; mod < korvo::delay::kModifierCount; ++mod)
                for (std::size_t format = 1; format < korvo::delay::kFormatCount; ++format) {
                    const korvo::delay::Result r =
                        korvo::delay::compute(bpm, int(note), int(mod), int(format));
                    delays.insert(r.delayText);
                    options.insert(r.optionText);
                }
    }
    std::array<QStringList, 2> texts;
    for (const std::string& t : delays)
        texts[0] << QString::fromStdString(t);
    for (const std::string& t : options)
        texts[1] << QString::fromStdString(t);
    return texts;
}

} // namespace

class TestTextFit : public QObject, MainWindowTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyTextFits_data();
    void everyTextFits();
    void figuresStandClear_data();
    void figuresStandClear();
    void displayBoxesShowTheStart_data();
    void displayBoxesShowTheStart();
    void onlyDesignedOverlaps_data();
    void onlyDesignedOverlaps();
    void manualTitleKeepsItsLines_data();
    void manualTitleKeepsItsLines();

private:
    QWidget* window(const QString& name) const;
    // Builds the windows afresh with `family` standing in for the design face, and `arial` for
    // Arial (empty: the one installed), speaking `language`.
    void useFont(const QString& family, const QString& arial = QString(),
                 korvo::ui::Language language = korvo::ui::Language::Japanese);
    void closeWindows();
    void reachWords();
    static QStringList installedJapaneseFonts();

    // Texts that can reach a control besides the one it shows now, by window and control.
    QHash<QString, QStringList> m_reachable;
    QString m_family; // the font the windows are built with
    QString m_arial;  // and the one for Arial
    QString m_installedArial;
    korvo::ui::Language m_language = korvo::ui::Language::Japanese;
};

void TestTextFit::initTestCase()
{
    korvo::ui::setupApplication();
    startWindowTest(); // one main window per font for all the tests: they only measure
    m_installedArial = korvo::ui::installedFamily("Arial");
    useFont(korvo::ui::installedFamily(korvo::ui::kJapaneseFace));
    QVERIFY(m_window->tapWindow());

    const QStringList tempos = tempoTexts();
    const std::array<QStringList, 3> pitch = pitchTexts();
    const std::array<QStringList, 2> delay = delayTexts();
    // A tempo restored from the settings file keeps up to seven digits, and the delay and tap
    // windows show it as it stands.
    const QStringList restored = tempos + QStringList{"133.3333", "188.8888", "248.8888", "99.9999"};
    // Outside editing, the tempo boxes show such a tempo whole too.
    m_reachable["BPM/TextBPM0"] = restored;
    m_reachable["BPM/TextBPM1"] = restored;
    m_reachable["BPM/TextC0"] = pitch[0];
    m_reachable["BPM/TextC3"] = pitch[1];
    m_reachable["BPM/TextC4"] = pitch[2];
    m_reachable["Delay/TextBPM1"] = restored;
    m_reachable["Delay/TextD"] = delay[0];
    m_reachable["Delay/TextT"] = delay[1];
    m_reachable["Delay/Label7"] = QStringList{korvo::delay::kTicksUnit, korvo::delay::kFramesUnit};
    m_reachable["TAP/TextBPM"] = restored;
    reachWords();
    m_reachable["SampleWindow/LabelTempo"] = QStringList{"248.8888 → 188.8888 BPM"};
    QVERIFY(pitch[0].contains("+95.589") && pitch[0].contains("-95.589"));
}

// The words a control can show besides its own, in the language in use.
void TestTextFit::reachWords()
{
    const auto said = [](const char* context, const char* text) {
        return QCoreApplication::translate(context, text);
    };
    m_reachable["TAP/FrameBPM"] =
        QStringList{said("korvo::TapWindow", "新BPM %1").arg(1), said("korvo::TapWindow", "新BPM %1").arg(2)};
    m_reachable["SampleWindow/CommandPlay"] = QStringList{said("korvo::SampleWindow", "停止")};
    // An hour's loop is not played, so the longest length has four figures.
    m_reachable["SampleWindow/LabelLength"] = QStringList{"3599.999" + said("korvo::SampleWindow", "秒")};
}

void TestTextFit::cleanupTestCase()
{
    closeWindows();
    korvo::ui::useLanguage(korvo::ui::Language::Japanese);
    endWindowTest();
}

void TestTextFit::closeWindows()
{
    if (m_window && m_window->tapWindow())
        m_window->tapWindow()->close();
    if (m_window && m_window->sampleWindow())
        m_window->sampleWindow()->hide();
    if (m_window)
        m_window->iserr = MainWindow::kShuttingDown; // not the user quitting: nothing to save
    m_window.reset();
}

void TestTextFit::useFont(const QString& family, const QString& arial, korvo::ui::Language language)
{
    const QString forArial = arial.isEmpty() ? m_installedArial : arial;
    if (family == m_family && forArial == m_arial && language == m_language && m_window)
        return;
    closeWindows();
    if (language != m_language) {
        QVERIFY(korvo::ui::useLanguage(language));
        m_language = language;
        reachWords();
    }
    korvo::ui::useStandIn(korvo::ui::kJapaneseFace, family);
    korvo::ui::useStandIn("Arial", forArial);
    QApplication::setFont(korvo::ui::windowFont());
    m_family = family;
    m_arial = forArial;
    open().CommandTA_Click(); // the tap window, modal but without a loop of its own
}

QStringList TestTextFit::installedJapaneseFonts()
{
    QStringList fonts;
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : korvo::ui::japaneseStandIns()) {
        // One name per font: IPA P Gothic is known by its Japanese name as well.
        if (installed.contains(family, Qt::CaseInsensitive) &&
            !fonts.contains(QFontInfo(QFont(family)).family(), Qt::CaseInsensitive))
            fonts << QFontInfo(QFont(family)).family();
    }
    return fonts;
}

QWidget* TestTextFit::window(const QString& name) const
{
    if (name == "BPM")
        return m_window->centralWidget();
    if (name == "SampleWindow") {
        m_window->menu_sample_Click();
        return m_window->sampleWindow();
    }
    if (name == "Delay") {
        korvo::DelayWindow* delay = m_window->delayWindow();
        delay->makeControls(); // made at its first showing otherwise
        return delay;
    }
    return m_window->tapWindow();
}

void TestTextFit::everyTextFits_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("arial"); // what stands in for Arial; empty: the face installed for it
    QTest::addColumn<bool>("english");
    const QStringList fonts = installedJapaneseFonts();
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts) {
        for (const bool english : {false, true}) {
            const char* in = english ? ", English" : "";
            QTest::addRow("main window, %s%s", qPrintable(font), in) << "BPM" << font << QString() << english;
            QTest::addRow("delay window, %s%s", qPrintable(font), in)
                << "Delay" << font << QString() << english;
            QTest::addRow("tap window, %s%s", qPrintable(font), in) << "TAP" << font << QString() << english;
            QTest::addRow("sample window, %s%s", qPrintable(font), in)
                << "SampleWindow" << font << QString() << english;
        }
        // Without a face like Arial, the desktop's Japanese face draws the arrow's "--" too.
        QTest::addRow("main window, %s for Arial too", qPrintable(font)) << "BPM" << font << font << false;
    }
    // With nothing but fonts-vlgothic, the desktop gives Arial's place to its fixed-width face.
    if (fonts.contains("VL PGothic") && QFontDatabase::families().contains("VL Gothic"))
        QTest::newRow("main window, VL PGothic and VL Gothic for Arial") << "BPM"
                                                                         << "VL PGothic"
                                                                         << "VL Gothic" << false;
}

void TestTextFit::everyTextFits()
{
    QFETCH(QString, window);
    QFETCH(QString, font);
    QFETCH(QString, arial);
    QFETCH(bool, english);
    useFont(font, arial, english ? korvo::ui::Language::English : korvo::ui::Language::Japanese);
    QWidget* client = this->window(window);
    QStringList cut;
    int checked = 0;
    for (QWidget* w : client->findChildren<QWidget*>()) {
        // Controls that lie below the client area are never seen (the design keeps a few there).
        const QRect place(w->mapTo(client, QPoint(0, 0)), w->size());
        if (!client->rect().intersects(place) || w->objectName().isEmpty())
            continue;
        QStringList texts = shownTexts(w) + m_reachable.value(window + "/" + w->objectName());
        if (texts.isEmpty())
            continue;
        ++checked;
        // The widest text names the control's fault; the others would only repeat it.
        const int space = room(w);
        QString widest;
        int width = -1;
        auto* edit = qobject_cast<QLineEdit*>(w);
        const QString shown = edit ? edit->text() : QString();
        for (const QString& text : texts) {
            // A box may set a text in a font of its own (tighter letters): measure what it shows.
            if (edit)
                edit->setText(text);
            if (const int n = needed(w->font(), text); n > width) {
                width = n;
                widest = text;
            }
        }
        if (edit)
            edit->setText(shown);
        if (width > space)
            cut << QString("%1 \"%2\": %3 px in %4").arg(w->objectName(), widest).arg(width).arg(space);
        // What the control draws of its text, the access key's underline included, against the
        // same text drawn whole: a top, a foot or an underline outside the control goes missing.
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w) || edit) {
            const QRect seen = seenInk(w);
            const QRect whole = wholeInk(w);
            if (!whole.isEmpty() && (seen.height() < whole.height() || seen.width() < whole.width() - 1))
                cut << QString("%1 \"%2\": ink %3 x %4 px of %5 x %6")
                           .arg(w->objectName(), shownTexts(w).value(0))
                           .arg(seen.width())
                           .arg(seen.height())
                           .arg(whole.width())
                           .arg(whole.height());
        }
    }
    QVERIFY(checked >= 4);
    QVERIFY2(cut.isEmpty(), qPrintable("cut off: " + cut.join("; ")));
}

void TestTextFit::figuresStandClear_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("font");
    for (const QString& font : installedJapaneseFonts()) {
        QTest::addRow("BPM 1, %s", qPrintable(font)) << "BPM"
                                                     << "TextBPM0" << font;
        QTest::addRow("BPM 2, %s", qPrintable(font)) << "BPM"
                                                     << "TextBPM1" << font;
        QTest::addRow("delay window's tempo, %s", qPrintable(font)) << "Delay"
                                                                    << "TextBPM1" << font;
        QTest::addRow("tap window's value, %s", qPrintable(font)) << "TAP"
                                                                  << "TextBPM" << font;
    }
}

void TestTextFit::figuresStandClear()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, font);
    useFont(font);
    auto* edit = this->window(window)->findChild<QLineEdit*>(box);
    QVERIFY(edit);
    const QString before = edit->text();
    // The widest tempo a box shows whole: restored with all its seven digits.
    edit->setText("133.3333");
    const QList<std::pair<int, int>> runs = inkRuns(edit);
    QStyleOptionFrame option;
    (edit->*&LineEditAccess::initStyleOption)(&option);
    const QRect inside = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    edit->setText(before);
    QString seen;
    for (const auto& [first, last] : runs)
        seen += QString(" %1-%2").arg(first).arg(last);
    // Every character stands clear of the next, the point too, which drawn too close runs into the
    // digits beside it and all but vanishes.
    QVERIFY2(runs.size() == 8, qPrintable(seen));
    // And the text stands clear of the frame, with a column to spare inside it on either side.
    QVERIFY2(runs.first().first > inside.left() && runs.last().second < inside.right(), qPrintable(seen));
}

void TestTextFit::displayBoxesShowTheStart_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::newRow("BPM 1 outside editing") << "BPM"
                                           << "TextBPM0";
    QTest::newRow("BPM 2 outside editing") << "BPM"
                                           << "TextBPM1";
    QTest::newRow("pitch adjustment") << "BPM"
                                      << "TextC0";
    QTest::newRow("sampler semitones") << "BPM"
                                       << "TextC3";
    QTest::newRow("sampler cents") << "BPM"
                                   << "TextC4";
    QTest::newRow("delay window's tempo") << "Delay"
                                          << "TextBPM1";
    QTest::newRow("delay in milliseconds") << "Delay"
                                           << "TextD";
    QTest::newRow("ticks or frames") << "Delay"
                                     << "TextT";
    QTest::newRow("tap window's value") << "TAP"
                                        << "TextBPM";
}

void TestTextFit::displayBoxesShowTheStart()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    auto* edit = this->window(window)->findChild<QLineEdit*>(box);
    QVERIFY(edit);
    const QString before = edit->text();
    // A text longer than any box: whatever does not fit must be its end, not its start.
    edit->setText("133.33333333333333333333");
    // The windows hand the same text on again and again (every calculation copies BPM 2).
    edit->setText("133.33333333333333333333");
    const int cursor = edit->cursorPosition();
    edit->setText(before);
    QCOMPARE(cursor, 0);
}

void TestTextFit::onlyDesignedOverlaps_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "BPM";
    QTest::newRow("delay window") << "Delay";
    QTest::newRow("tap window") << "TAP";
    QTest::newRow("sample window") << "SampleWindow";
}

void TestTextFit::onlyDesignedOverlaps()
{
    QFETCH(QString, window);
    // Controls that the layout itself lays over one another, each for its reason; any other
    // overlap would hide part of a control.
    static const QSet<QString> designed = {
        // "--" and ">" draw one arrow together, and its head reaches onto the BPM 2 frame.
        "BPM/Label2+Label3",
        "BPM/FrameBPM1+Label3",
        // The delay button is the window's, drawn over the lower part of the BPM 2 frame.
        "BPM/CommandD+FrameBPM1",
        // The "( 1/100半音)" caption's place runs one pixel into the cents box, and it lies over
        // the end of the place of "セント"; both texts end before the other control.
        "BPM/Label1+TextC4",
        "BPM/Label1+LabelC0",
        // The units sit one pixel into the boxes above them.
        "Delay/Label5+TextD",
        "Delay/Label7+TextT",
        // The format list and its caption are the window's, laid over the delay frame's row; the
        // caption's place runs under the list, its text ends before it.
        "Delay/CboFormat+Frame1",
        "Delay/Frame1+Label6",
        "Delay/CboFormat+Label6",
    };
    QWidget* client = this->window(window);
    QStringList unexpected;
    // The containers the layout places controls in: the client area and its frames.
    QList<QWidget*> parents{client};
    for (QGroupBox* frame : client->findChildren<QGroupBox*>())
        parents << frame;
    for (QWidget* parent : parents) {
        QList<QWidget*> controls;
        for (QObject* child : parent->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            const bool seen = w && !w->isWindow() && !w->objectName().isEmpty() &&
                              client->rect().intersects(QRect(w->mapTo(client, QPoint(0, 0)), w->size()));
            if (seen)
                controls << w;
        }
        for (int i = 0; i < controls.size(); ++i)
            for (int j = i + 1; j < controls.size(); ++j) {
                if (!controls[i]->geometry().intersects(controls[j]->geometry()))
                    continue;
                QStringList pair{controls[i]->objectName(), controls[j]->objectName()};
                pair.sort();
                const QString name = window + "/" + pair.join("+");
                if (!designed.contains(name))
                    unexpected << name;
            }
    }
    QVERIFY2(unexpected.isEmpty(), qPrintable("overlapping: " + unexpected.join(", ")));
}

void TestTextFit::manualTitleKeepsItsLines_data()
{
    QTest::addColumn<QString>("font");
    for (const QString& font : installedJapaneseFonts())
        QTest::addRow("%s", qPrintable(font)) << font;
}

// The title block and its important notes are laid out by their line breaks and indents; a line
// the text box wraps comes out at its left edge, and the block falls apart.
void TestTextFit::manualTitleKeepsItsLines()
{
    QFETCH(QString, font);
    useFont(font);
    korvo::ManualWindow manual;
    manual.show();
    QVERIFY(QTest::qWaitForWindowExposed(&manual));
    auto* text = manual.findChild<QPlainTextEdit*>("Text1");
    QVERIFY(text);
    QStringList wrapped;
    QTextBlock block = text->document()->begin();
    // Up to the rule of overlines that closes the block.
    for (; block.isValid() && !block.text().startsWith(QString::fromUtf8("￣")); block = block.next()) {
        text->document()->documentLayout()->blockBoundingRect(block); // lays the line out
        if (block.layout()->lineCount() != 1)
            wrapped << block.text();
    }
    QVERIFY(block.isValid());
    QVERIFY2(wrapped.isEmpty(), qPrintable("wrapped: " + wrapped.join(" / ")));
}

#include "testmain.h"
KORVO_TEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
