#include "pitch/tempoentry.h"

#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "ui/displaybox.h"
#include "ui/slider.h"
#include "ui/twips.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QUrl>

namespace korvo {

using ui::twips;

TempoEntry::TempoEntry(int entry, QWidget* parent) : QGroupBox(parent)
{
    const QString caption = entry == 0 ? "BPM 1" : "BPM 2";
    ui::makeFrame(this, caption, ui::font(12, true), twips(entry == 0 ? 360 : 3120, 120, 2175, 2175));
    setObjectName(QString("FrameBPM%1").arg(entry));

    m_textBox = ui::fittingTextBox(this, bpm::kInitialText, ui::font(12), twips(240, 480, 855, 375));
    m_textBox->setObjectName(QString("TextBPM%1").arg(entry));
    m_textBox->setAccessibleName(caption);
    // Tempos are typed in half-width digits; an input method would only get in the way.
    m_textBox->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_textBox->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly);

    m_tapButton = ui::button(this, tr("タップ..."), ui::font(9), twips(1200, 480, 735, 375));
    m_tapButton->setObjectName(entry == 0 ? "CommandTA" : "CommandTB");
    m_tapButton->setAccessibleDescription(caption);

    m_slider = new ui::Slider(this);
    m_slider->setObjectName(QString("HScroll%1").arg(entry));
    m_slider->setGeometry(twips(240, 960, 1692, 252));
    m_slider->setRange(bpm::kSliderMinimum, bpm::kSliderMaximum);
    m_slider->setSingleStep(bpm::kSliderStep);
    m_slider->setPageStep(bpm::kSliderPage);
    m_slider->setValue(bpm::positionForText(bpm::kInitialText));
    m_slider->setAccessibleName(caption);

    // "から" under BPM 1 and "に" under BPM 2: the pair reads from the one tempo to the other.
    QLabel* pairWord = entry == 0 ? ui::label(this, tr("から"), ui::font(9), twips(1560, 1320, 375, 255))
                                  : ui::label(this, tr("に"), ui::font(9), twips(1680, 1320, 375, 255));
    pairWord->setObjectName(QString("LabelBPM%1").arg(entry));

    setTabOrder(m_textBox, m_tapButton);
    setTabOrder(m_tapButton, m_slider);

    // With tracking on, valueChanged arrives for every step of a drag as well as for clicks, keys
    // and positions set by the program, so one signal serves both the drag and the change.
    connect(m_slider, &QScrollBar::valueChanged, this, &TempoEntry::sliderChanged);
    connect(m_tapButton, &QPushButton::clicked, this, &TempoEntry::tapClicked);

    // A sample file dropped anywhere on the entry asks for its tempo. The box would otherwise take
    // a file's name as text, so it hands file drops to the entry; other text still drops into it.
    setAcceptDrops(true);
    m_slider->setAcceptDrops(true);
    m_textBox->installEventFilter(this);
    m_slider->installEventFilter(this);
}

namespace {

// The one local file a drag carries; empty for anything else.
QString droppedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().front().isLocalFile())
        return {};
    return mime->urls().front().toLocalFile();
}

} // namespace

bool TempoEntry::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (auto* drag = static_cast<QDragMoveEvent*>(event); !droppedFile(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop:
        if (auto* drop = static_cast<QDropEvent*>(event); !droppedFile(drop->mimeData()).isEmpty()) {
            dropEvent(drop);
            return true;
        }
        break;
    default:
        break;
    }
    return QGroupBox::eventFilter(watched, event);
}

void TempoEntry::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TempoEntry::dropEvent(QDropEvent* event)
{
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    emit fileDropped(file);
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
