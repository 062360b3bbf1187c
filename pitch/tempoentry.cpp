#include "pitch/tempoentry.h"

#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "ui/displaybox.h"
#include "ui/slider.h"
#include "ui/twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace korvo {

using ui::twips;

TempoEntry::TempoEntry(int entry, QWidget* parent) : QGroupBox(parent)
{
    const QString caption = entry == 0 ? QStringLiteral("BPM 1") : QStringLiteral("BPM 2");
    ui::makeFrame(this, caption, ui::font(12, true), twips(entry == 0 ? 360 : 3120, 120, 2175, 2175));
    setObjectName(QStringLiteral("FrameBPM%1").arg(entry));

    m_textBox = ui::fittingTextBox(this, bpm::kInitialText, ui::font(12), twips(240, 480, 855, 375));
    m_textBox->setObjectName(QStringLiteral("TextBPM%1").arg(entry));
    m_textBox->setAccessibleName(caption);
    // Tempos are typed in half-width digits; an input method would only get in the way.
    m_textBox->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_textBox->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly);

    m_tapButton = ui::button(this, "タップ...", ui::font(9), twips(1200, 480, 735, 375));
    m_tapButton->setObjectName(entry == 0 ? "CommandTA" : "CommandTB");
    m_tapButton->setAccessibleDescription(caption);

    m_slider = new ui::Slider(this);
    m_slider->setObjectName(QStringLiteral("HScroll%1").arg(entry));
    m_slider->setGeometry(twips(240, 960, 1692, 252));
    m_slider->setRange(bpm::kSliderMinimum, bpm::kSliderMaximum);
    m_slider->setSingleStep(bpm::kSliderStep);
    m_slider->setPageStep(bpm::kSliderPage);
    m_slider->setValue(bpm::positionForValue(120));
    m_slider->setAccessibleName(caption);

    // "から" under BPM 1 and "に" under BPM 2: the pair reads from the one tempo to the other.
    m_caption = entry == 0 ? ui::label(this, "から", ui::font(9), twips(1560, 1320, 375, 255))
                           : ui::label(this, "に", ui::font(9), twips(1680, 1320, 375, 255));
    m_caption->setObjectName(QStringLiteral("LabelBPM%1").arg(entry));

    setTabOrder(m_textBox, m_tapButton);
    setTabOrder(m_tapButton, m_slider);

    // With tracking on, valueChanged arrives for every step of a drag as well as for clicks, keys
    // and positions set by the program, so one signal serves both the drag and the change.
    connect(m_slider, &QScrollBar::valueChanged, this, &TempoEntry::sliderChanged);
    connect(m_tapButton, &QPushButton::clicked, this, &TempoEntry::tapClicked);
}

QString TempoEntry::text() const
{
    return m_textBox->text();
}

void TempoEntry::setText(const QString& text)
{
    m_textBox->setText(text);
    // A text the program writes is read from its start: a restored 133.3333 is wider than the box,
    // and with the cursor left at its end the box would show "3.3333".
    m_textBox->setCursorPosition(0);
}

double TempoEntry::value() const
{
    return readLenient(m_textBox->text().toStdString());
}

void TempoEntry::showSliderTempo()
{
    setText(QString::fromStdString(bpm::textForPosition(m_slider->value())));
}

void TempoEntry::alignSlider()
{
    m_slider->setValue(bpm::positionForText(m_textBox->text().toStdString()));
}

void TempoEntry::alignSliderQuietly()
{
    const QSignalBlocker quiet(m_slider);
    alignSlider();
}

} // namespace korvo
