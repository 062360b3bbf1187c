#include "delay/delaywindow.h"

#include "pitch/bpmvalue.h"
#include "ui/displaybox.h"
#include "ui/platform.h"
#include "ui/readers.h"
#include "ui/textfit.h"
#include "ui/twips.h"
#include "ui/windowplacement.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace korvo {
namespace {

// A drop-down list the user can only pick from, showing the window's selection.
template <std::size_t N>
QComboBox* list(QWidget* parent, const std::array<const char*, N>& items, int selected, const QFont& font,
                QRect rect)
{
    auto* box = new QComboBox(parent);
    box->setEditable(false);
    box->setFont(font);
    box->setGeometry(rect);
    for (const char* item : items)
        box->addItem(QCoreApplication::translate("korvo::DelayWindow", item));
    box->setCurrentIndex(selected);
    return box;
}

// The list's font, drawn closer or smaller where its widest item would not fit: the stand-in
// Japanese faces run wider than the design face, some of them (Noto Sans CJK) setting the
// full-width "Ｍｉｄｉ" at full width.
void fitItems(QComboBox* list)
{
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    // The item's text is drawn one pixel in from each side of the field.
    const int room = list->style()
                         ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                         .width() -
                     2;
    QString widest;
    for (int i = 0; i < list->count(); ++i) {
        if (list->fontMetrics().horizontalAdvance(list->itemText(i)) >
            list->fontMetrics().horizontalAdvance(widest))
            widest = list->itemText(i);
    }
    list->setFont(ui::fitWidth(list->font(), widest, room, list));
}

// What a list would select for an index: the index within the list, -1 (nothing) outside it.
template <std::size_t N> int selectable(int index, const std::array<const char*, N>& items)
{
    return index >= 0 && index < static_cast<int>(items.size()) ? index : -1;
}

} // namespace

DelayWindow::DelayWindow(DelayHost& host, QWidget* parent) : QWidget(parent, Qt::Window), m_host(host)
{
    // A window of its own on the desktop, for screen readers too.
    ui::presentToReaders(staticMetaObject, QAccessible::Window);
    setObjectName("Delay");
    setWindowTitle(tr("Korvo ディレイ"));
    setAttribute(Qt::WA_DeleteOnClose); // closing from the frame discards the window and its choices
    setFixedSize(ui::twips(0, 0, 3885, 6345).size());
    m_values.bpmText = QString::fromUtf8(bpm::kInitialText);
    Form_Load();
}

void DelayWindow::Form_Load()
{
    // Two thirds of the way across the free width and a third of the way down the free height,
    // frame included, as the main window is placed.
    ui::placeOnScreen(*this, Platform::current().screenSize(), m_host.windowFrame(), {3, 2}, {3, 1});

    // Nothing is selected yet, so this computes zeros that the selections below overwrite.
    setBpmText(m_host.bpm2Text());
    selectDefaults();
}

void DelayWindow::makeControls()
{
    if (hasControls())
        return;

    const QFont bold12 = ui::font(12, true);
    const QFont bold975 = ui::font(9.75, true);
    const QFont bold9 = ui::font(9, true);
    const QFont regular975 = ui::font(9.75);

    auto* frameBpm = ui::frame(this, "BPM 2", bold12, ui::twips(240, 240, 3375, 735));
    frameBpm->setObjectName("FrameBPM1");
    m_bpmBox = ui::displayBox(frameBpm, m_values.bpmText, bold12, ui::twips(2400, 240, 852, 372));
    m_bpmBox->setObjectName("TextBPM1");
    m_bpmBox->setAccessibleName("BPM 2");

    auto* frameD = ui::frame(this, tr("音符選択"), bold12, ui::twips(240, 1200, 3375, 1695));
    frameD->setObjectName("FrameD");
    auto* label1 = ui::label(frameD, tr("音符"), bold975, ui::twips(240, 600, 1095, 255));
    label1->setObjectName("Label1");
    m_noteList =
        list(frameD, delay::kNoteItems, m_values.note, ui::windowFont(), ui::twips(1440, 600, 1815, 300));
    fitItems(m_noteList);
    m_noteList->setObjectName("CboNote0");
    m_noteList->setAccessibleName(tr("音符"));
    label1->setBuddy(m_noteList); // screen readers announce a list by its buddy label
    auto* label4 = ui::label(frameD, tr("付点など"), bold975, ui::twips(240, 1080, 975, 255));
    label4->setObjectName("Label4");
    m_modifierList = list(frameD, delay::kModifierItems, m_values.modifier, ui::windowFont(),
                          ui::twips(1440, 1080, 1815, 300));
    fitItems(m_modifierList);
    m_modifierList->setObjectName("CboNote1");
    m_modifierList->setAccessibleName(tr("付点など"));
    label4->setBuddy(m_modifierList);

    auto* frame1 = ui::frame(this, tr("ディレイタイム表示"), bold12, ui::twips(240, 3120, 3375, 2415));
    frame1->setObjectName("Frame1");
    auto* label2 = ui::label(frame1, tr("ディレイタイム"), bold9, ui::twips(240, 600, 1335, 255));
    label2->setObjectName("Label2");
    m_delayBox = ui::displayBox(frame1, QString(), bold9, ui::twips(2280, 600, 855, 375));
    m_delayBox->setObjectName("TextD");
    m_delayBox->setAccessibleName(tr("ディレイタイム"));
    auto* label5 = ui::label(frame1, "(ms)", regular975, ui::twips(2640, 960, 495, 255));
    label5->setObjectName("Label5");
    // "オプション" names the format list, which belongs to the window; a label announces only a
    // sibling, so this one is the window's too, at the same place over the frame's row.
    ui::CaptionLabel* label6 =
        ui::label(this, tr("オプション"), bold9, ui::twips(240 + 240, 3120 + 1320, 1335, 255));
    label6->setObjectName("Label6");
    m_optionBox = ui::displayBox(frame1, QString(), bold9, ui::twips(2280, 1680, 855, 375));
    m_optionBox->setObjectName("TextT");
    m_optionBox->setAccessibleName(tr("オプション"));
    m_optionUnit =
        ui::label(frame1, QString::fromUtf8(delay::kTicksUnit), regular975, ui::twips(2400, 2040, 735, 255));
    m_optionUnit->setObjectName("Label7");

    // A child of the window, not of the frame, lying over the frame's "オプション" row.
    m_formatList =
        list(this, delay::kFormatItems, m_values.format, ui::font(8.25), ui::twips(1440, 4440, 2055, 285));
    fitItems(m_formatList);
    m_formatList->setObjectName("CboFormat");
    m_formatList->setAccessibleName(tr("オプション"));
    label6->setBuddy(m_formatList);
    // The caption's place runs under the list; its text ends a little before it.
    label6->setRoom(ui::px(1440 - 480) - 3);
    label6->raise();
    m_formatList->raise();

    m_defaultButton = ui::button(this, tr("デフォルト"), ui::windowFont(), ui::twips(360, 5760, 1575, 375));
    m_defaultButton->setObjectName("Command1");
    m_closeButton = ui::button(this, tr("閉じる (&C)"), ui::windowFont(), ui::twips(2040, 5760, 1575, 375));
    m_closeButton->setObjectName("Command2");

    setTabOrder(m_noteList, m_modifierList);
    setTabOrder(m_modifierList, m_formatList);
    setTabOrder(m_formatList, m_defaultButton);
    setTabOrder(m_defaultButton, m_closeButton);

    showResult();

    connect(m_noteList, &QComboBox::currentIndexChanged, this, &DelayWindow::CboNote_Click);
    connect(m_modifierList, &QComboBox::currentIndexChanged, this, &DelayWindow::CboNote_Click);
    connect(m_formatList, &QComboBox::currentIndexChanged, this, &DelayWindow::CboFormat_Click);
    connect(m_defaultButton, &QPushButton::clicked, this, &DelayWindow::Command1_Click);
    connect(m_closeButton, &QPushButton::clicked, this, &DelayWindow::Command2_Click);
}

void DelayWindow::setVisible(bool visible)
{
    if (visible)
        makeControls();
    QWidget::setVisible(visible);
}

void DelayWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Command2_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DelayWindow::CboNote_Click()
{
    if (!hasControls())
        return;
    m_values.note = m_noteList->currentIndex();
    m_values.modifier = m_modifierList->currentIndex();
    calc_delay();
}

void DelayWindow::CboFormat_Click()
{
    if (!hasControls())
        return;
    m_values.format = m_formatList->currentIndex();
    calc_delay();
}

void DelayWindow::Command1_Click()
{
    selectDefaults();
}

void DelayWindow::Command2_Click()
{
    hide();
    m_host.showMainWindow();
}

void DelayWindow::selectDefaults()
{
    setNoteIndex(delay::kDefaultNote);
    setModifierIndex(delay::kDefaultModifier);
    setFormatIndex(delay::kDefaultFormat);
}

void DelayWindow::calc_delay()
{
    m_values.result =
        delay::compute(m_values.bpmText.toStdString(), m_values.note, m_values.modifier, m_values.format);
    showResult();
}

void DelayWindow::showResult()
{
    if (!hasControls())
        return;
    const delay::Result& r = m_values.result;
    m_delayBox->setText(QString::fromStdString(r.delayText));
    m_optionBox->setVisible(r.optionShown);
    m_optionUnit->setVisible(r.optionShown);
    m_optionUnit->setText(QString::fromStdString(r.optionUnit));
    m_optionBox->setText(QString::fromStdString(r.optionText));
}

// The setters below change a value only when it differs, as picking the item already selected or
// handing over the same text recomputes nothing; the controls, when made, follow quietly, since
// their own change notices would only run the same computation again.

void DelayWindow::setBpmText(const QString& text)
{
    if (text == m_values.bpmText)
        return;
    m_values.bpmText = text;
    if (m_bpmBox)
        m_bpmBox->setText(text);
    calc_delay();
}

void DelayWindow::setNoteIndex(int i)
{
    select(m_values.note, m_noteList, selectable(i, delay::kNoteItems));
}

void DelayWindow::setModifierIndex(int i)
{
    select(m_values.modifier, m_modifierList, selectable(i, delay::kModifierItems));
}

void DelayWindow::setFormatIndex(int i)
{
    select(m_values.format, m_formatList, selectable(i, delay::kFormatItems));
}

void DelayWindow::select(int& value, QComboBox* list, int i)
{
    if (i == value)
        return;
    value = i;
    if (list) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(i);
    }
    calc_delay();
}

QString DelayWindow::bpmText() const
{
    return m_values.bpmText;
}

int DelayWindow::noteIndex() const
{
    return m_values.note;
}

int DelayWindow::modifierIndex() const
{
    return m_values.modifier;
}

int DelayWindow::formatIndex() const
{
    return m_values.format;
}

QString DelayWindow::delayText() const
{
    return QString::fromStdString(m_values.result.delayText);
}

QString DelayWindow::optionText() const
{
    return QString::fromStdString(m_values.result.optionText);
}

bool DelayWindow::isOptionShown() const
{
    return m_values.result.optionShown;
}

QString DelayWindow::optionUnit() const
{
    return QString::fromStdString(m_values.result.optionUnit);
}

} // namespace korvo
