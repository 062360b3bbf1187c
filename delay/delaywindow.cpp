#include "delay/delaywindow.h"

#include "delay/delaycalc.h"
#include "pitch/bpmvalue.h"
#include "ui/layout.h"
#include "ui/platform.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvo {
namespace {

// A drop-down list the user can only pick from, with nothing selected until the load steps choose.
template <std::size_t N>
QComboBox* list(QWidget* parent, const std::array<const char*, N>& items, const QFont& font, QRect rect)
{
    auto* box = new QComboBox(parent);
    box->setEditable(false);
    box->setFont(font);
    box->setGeometry(rect);
    for (const char* item : items)
        box->addItem(QString::fromUtf8(item));
    box->setCurrentIndex(-1);
    return box;
}

} // namespace

DelayWindow::DelayWindow(DelayHost& host, QWidget* parent) : QWidget(parent, Qt::Window), m_Host(host)
{
    setObjectName(QStringLiteral("Delay"));
    setWindowTitle(QStringLiteral("Korvo ディレイ"));
    setAttribute(Qt::WA_DeleteOnClose); // closing from the frame discards the window and its choices
    setFixedSize(ui::twips(0, 0, 3885, 6345).size());

    const QFont bold12 = ui::font(12, true);
    const QFont bold975 = ui::font(9.75, true);
    const QFont bold9 = ui::font(9, true);
    const QFont regular975 = ui::font(9.75);

    auto* frameBpm = ui::frame(this, QStringLiteral("BPM 2"), bold12, ui::twips(240, 240, 3375, 735));
    frameBpm->setObjectName(QStringLiteral("FrameBPM1"));
    m_TextBpm = ui::displayBox(frameBpm, QString::fromUtf8(bpm::kInitialText), bold12,
                               ui::twips(2400, 240, 852, 372));
    m_TextBpm->setObjectName(QStringLiteral("TextBPM1"));
    m_TextBpm->setAccessibleName(QStringLiteral("BPM 2"));

    auto* frameD = ui::frame(this, QStringLiteral("音符選択"), bold12, ui::twips(240, 1200, 3375, 1695));
    frameD->setObjectName(QStringLiteral("FrameD"));
    auto* label1 = ui::label(frameD, QStringLiteral("音符"), bold975, ui::twips(240, 600, 1095, 255));
    label1->setObjectName(QStringLiteral("Label1"));
    m_CboNote[0] = list(frameD, delay::kNoteItems, ui::windowFont(), ui::twips(1440, 600, 1815, 300));
    m_CboNote[0]->setObjectName(QStringLiteral("CboNote0"));
    m_CboNote[0]->setAccessibleName(QStringLiteral("音符"));
    label1->setBuddy(m_CboNote[0]); // screen readers announce a list by its buddy label
    auto* label4 = ui::label(frameD, QStringLiteral("付点など"), bold975, ui::twips(240, 1080, 975, 255));
    label4->setObjectName(QStringLiteral("Label4"));
    m_CboNote[1] = list(frameD, delay::kModifierItems, ui::windowFont(), ui::twips(1440, 1080, 1815, 300));
    m_CboNote[1]->setObjectName(QStringLiteral("CboNote1"));
    m_CboNote[1]->setAccessibleName(QStringLiteral("付点など"));
    label4->setBuddy(m_CboNote[1]);

    auto* frame1 =
        ui::frame(this, QStringLiteral("ディレイタイム表示"), bold12, ui::twips(240, 3120, 3375, 2415));
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* label2 = ui::label(frame1, QStringLiteral("ディレイタイム"), bold9, ui::twips(240, 600, 1335, 255));
    label2->setObjectName(QStringLiteral("Label2"));
    m_TextD = ui::displayBox(frame1, QString(), bold9, ui::twips(2280, 600, 855, 375));
    m_TextD->setObjectName(QStringLiteral("TextD"));
    m_TextD->setAccessibleName(QStringLiteral("ディレイタイム"));
    auto* label5 = ui::label(frame1, QStringLiteral("(ms)"), regular975, ui::twips(2640, 960, 495, 255));
    label5->setObjectName(QStringLiteral("Label5"));
    // "オプション" names the format list, which belongs to the window; a label announces only a
    // sibling, so this one is the window's too, at the same place over the frame's row.
    auto* label6 =
        ui::label(this, QStringLiteral("オプション"), bold9, ui::twips(240 + 240, 3120 + 1320, 1335, 255));
    label6->setObjectName(QStringLiteral("Label6"));
    m_TextT = ui::displayBox(frame1, QString(), bold9, ui::twips(2280, 1680, 855, 375));
    m_TextT->setObjectName(QStringLiteral("TextT"));
    m_TextT->setAccessibleName(QStringLiteral("オプション"));
    m_Label7 =
        ui::label(frame1, QString::fromUtf8(delay::kTicksUnit), regular975, ui::twips(2400, 2040, 735, 255));
    m_Label7->setObjectName(QStringLiteral("Label7"));

    // A child of the window, not of the frame, lying over the frame's "オプション" row.
    // The stand-in Japanese face runs a little wider than the design face; a touch of tightening keeps
    // "タイム・フォーマット(なし)" whole inside the list's designed width.
    QFont formatFont = ui::font(8.25);
    formatFont.setLetterSpacing(QFont::PercentageSpacing, 96);
    m_CboFormat = list(this, delay::kFormatItems, formatFont, ui::twips(1440, 4440, 2055, 285));
    m_CboFormat->setObjectName(QStringLiteral("CboFormat"));
    m_CboFormat->setAccessibleName(QStringLiteral("オプション"));
    label6->setBuddy(m_CboFormat);
    label6->raise();
    m_CboFormat->raise();

    m_Command1 =
        ui::button(this, QStringLiteral("デフォルト"), ui::windowFont(), ui::twips(360, 5760, 1575, 375));
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Command2 =
        ui::button(this, QStringLiteral("閉じる (&C)"), ui::windowFont(), ui::twips(2040, 5760, 1575, 375));
    m_Command2->setObjectName(QStringLiteral("Command2"));

    setTabOrder(m_CboNote[0], m_CboNote[1]);
    setTabOrder(m_CboNote[1], m_CboFormat);
    setTabOrder(m_CboFormat, m_Command1);
    setTabOrder(m_Command1, m_Command2);

    connect(m_TextBpm, &QLineEdit::textChanged, this, &DelayWindow::TextBPM_Change);
    connect(m_CboNote[0], &QComboBox::currentIndexChanged, this, [this] { CboNote_Click(0); });
    connect(m_CboNote[1], &QComboBox::currentIndexChanged, this, [this] { CboNote_Click(1); });
    connect(m_CboFormat, &QComboBox::currentIndexChanged, this, &DelayWindow::CboFormat_Click);
    connect(m_Command1, &QPushButton::clicked, this, &DelayWindow::Command1_Click);
    connect(m_Command2, &QPushButton::clicked, this, &DelayWindow::Command2_Click);

    Form_Load();
}

void DelayWindow::Form_Load()
{
    // Two thirds of the way across the free width and a third of the way down the free height,
    // in single precision like the rest of the windows' placement.
    const QSize screen = Platform::current().screenSize();
    const float left = static_cast<float>(screen.width() - width()) / 3.0f * 2.0f;
    const float top = static_cast<float>(screen.height() - height()) / 3.0f;
    move(qRound(left), qRound(top));

    // Nothing is selected yet, so this computes zeros that the selections below overwrite.
    m_TextBpm->setText(m_Host.bpm2Text());
    m_CboNote[0]->setCurrentIndex(delay::kDefaultNote);
    m_CboNote[1]->setCurrentIndex(delay::kDefaultModifier);
    m_CboFormat->setCurrentIndex(delay::kDefaultFormat);
}

void DelayWindow::TextBPM_Change()
{
    calc_delay();
}

void DelayWindow::CboNote_Click(int /*index*/)
{
    calc_delay();
}

void DelayWindow::CboFormat_Click()
{
    calc_delay();
}

void DelayWindow::Command1_Click()
{
    m_CboNote[0]->setCurrentIndex(delay::kDefaultNote);
    m_CboNote[1]->setCurrentIndex(delay::kDefaultModifier);
    m_CboFormat->setCurrentIndex(delay::kDefaultFormat);
}

void DelayWindow::Command2_Click()
{
    hide();
    m_Host.showMainWindow();
}

void DelayWindow::calc_delay()
{
    const delay::Result r = delay::compute(m_TextBpm->text().toStdString(), m_CboNote[0]->currentIndex(),
                                           m_CboNote[1]->currentIndex(), m_CboFormat->currentIndex());
    m_TextD->setText(QString::fromStdString(r.delayText));
    m_TextT->setVisible(r.optionShown);
    m_Label7->setVisible(r.optionShown);
    m_Label7->setText(QString::fromStdString(r.optionUnit));
    m_TextT->setText(QString::fromStdString(r.optionText));
}

void DelayWindow::setBpmText(const QString& text)
{
    m_TextBpm->setText(text);
}

QString DelayWindow::bpmText() const
{
    return m_TextBpm->text();
}

int DelayWindow::noteIndex() const
{
    return m_CboNote[0]->currentIndex();
}

int DelayWindow::modifierIndex() const
{
    return m_CboNote[1]->currentIndex();
}

int DelayWindow::formatIndex() const
{
    return m_CboFormat->currentIndex();
}

void DelayWindow::setNoteIndex(int i)
{
    m_CboNote[0]->setCurrentIndex(i);
}

void DelayWindow::setModifierIndex(int i)
{
    m_CboNote[1]->setCurrentIndex(i);
}

void DelayWindow::setFormatIndex(int i)
{
    m_CboFormat->setCurrentIndex(i);
}

QString DelayWindow::delayText() const
{
    return m_TextD->text();
}

QString DelayWindow::optionText() const
{
    return m_TextT->text();
}

bool DelayWindow::isOptionShown() const
{
    return !m_TextT->isHidden(); // isVisible() would also depend on the window being shown
}

QString DelayWindow::optionUnit() const
{
    return m_Label7->text();
}

} // namespace korvo
