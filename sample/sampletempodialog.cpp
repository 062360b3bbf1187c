#include "sample/sampletempodialog.h"

#include "pitch/numbertext.h"
#include "sample/samplewords.h"
#include "ui/captions.h"
#include "ui/fonts.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace korvo {
namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Where each reading's row keeps its tempo and beats, beside its text (Qt::UserRole).
constexpr int kTempoRole = Qt::UserRole + 1;
constexpr int kBeatsRole = Qt::UserRole + 2;

// Decimals a tempo text shows ("87.25": 2).
int decimalsOf(const std::string& text)
{
    const auto point = text.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

// A tempo text widened with zeros to `decimals` decimals ("87" to "87.00"), so a column of them lines
// up on the point.
QString paddedText(const std::string& text, int decimals)
{
    QString out = q(text);
    const int missing = decimals - decimalsOf(text);
    if (missing > 0)
        out += (decimalsOf(text) == 0 ? "." : "") + QString(missing, '0');
    return out;
}

QString readingText(const sample::TempoCandidate& c, sample::ChoiceReason reason)
{
    if (c.beats > 0)
        return SampleWords::beats(c.beats);
    return reason == sample::ChoiceReason::Estimate || reason == sample::ChoiceReason::Mismatch
               ? QCoreApplication::translate("korvo::SampleTempoDialog", "拍から")
               : QCoreApplication::translate("korvo::SampleTempoDialog", "推定値から");
}

// The list of readings. The style marks the focus in a list only by a dotted line round one cell,
// which is next to invisible and easily lost beside the OK button's mark as the default button. So
// the current reading is drawn in the highlight colour only while the list has the focus, and in
// grey otherwise, as desktops show a selection that the keys no longer move.
class ReadingList final : public QTreeWidget
{
public:
    explicit ReadingList(QWidget* parent) : QTreeWidget(parent), m_focused(palette()) { showFocus(false); }

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QTreeWidget::focusInEvent(event);
        showFocus(true);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QTreeWidget::focusOutEvent(event);
        showFocus(false);
    }

private:
    void showFocus(bool focused)
    {
        QPalette p = m_focused;
        if (!focused) {
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                p.setColor(group, QPalette::Highlight, m_focused.color(group, QPalette::Midlight));
                p.setColor(group, QPalette::HighlightedText, m_focused.color(group, QPalette::Text));
            }
        }
        setPalette(p);
    }

    QPalette m_focused; // the style's own, which marks the current reading in the highlight colour
};

} // namespace

SampleTempoDialog::SampleTempoDialog(const QString& fileName, const sample::Analysis& analysis, int entry,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName("SampleTempo");
    // Nothing else in the dialog tells which entry OK fills.
    setWindowTitle(tr("サンプルのテンポ (BPM %1)").arg(entry + 1));
    setFont(ui::font(9));

    const sample::TempoChoice& choice = analysis.choice;
    m_file = new QLabel(fileName, this);
    m_file->setObjectName("file");
    QString length = tr("%1秒").arg(q(roundedText(analysis.seconds, 3)));
    if (const QString offset = SampleWords::offset(choice); !offset.isEmpty())
        length += tr("　") + offset;
    m_length = new QLabel(length, this);
    m_length->setObjectName("length");
    m_tempo =
        new QLabel(tr("%1 BPM　%2").arg(q(choice.text), SampleWords::choiceReason(analysis, false)), this);
    m_tempo->setObjectName("tempo");
    m_tempo->setFont(ui::font(12, true));
    auto* estimate =
        new QLabel(analysis.estimate > 0 ? q(roundedText(analysis.estimate, 2)) + " BPM" : tr("なし"), this);
    estimate->setObjectName("estimate");

    m_candidates = new ReadingList(this);
    m_candidates->setObjectName("candidates");
    m_candidates->setAccessibleName(tr("候補"));
    m_candidates->setRootIsDecorated(false);
    m_candidates->setColumnCount(2);
    m_candidates->setHeaderLabels({"BPM", tr("読み方")});
    m_candidates->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_candidates->header()->setStretchLastSection(true);
    m_candidates->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);

    // The chosen reading first, then the others; every tempo to the same decimals, so the column
    // lines up on the point.
    std::vector<sample::TempoCandidate> readings;
    sample::TempoCandidate chosen;
    chosen.beats = choice.beats;
    chosen.tempo = choice.tempo;
    chosen.text = choice.text;
    readings.push_back(chosen);
    readings.insert(readings.end(), choice.others.begin(), choice.others.end());
    int decimals = 0;
    for (const sample::TempoCandidate& c : readings)
        decimals = std::max(decimals, decimalsOf(c.text));
    for (const sample::TempoCandidate& c : readings) {
        auto* item =
            new QTreeWidgetItem(m_candidates, {paddedText(c.text, decimals), readingText(c, choice.reason)});
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, Qt::UserRole, q(c.text));
        item->setData(0, kTempoRole, c.tempo);
        item->setData(0, kBeatsRole, c.beats);
    }
    m_candidates->setCurrentItem(m_candidates->topLevelItem(0));
    // As tall as its readings, five at least, with half a row to spare: the list never scrolls,
    // and the last row is never cut by the header's margins.
    const int rows = std::max(5, m_candidates->topLevelItemCount());
    m_candidates->setFixedHeight(m_candidates->header()->sizeHint().height() +
                                 m_candidates->sizeHintForRow(0) * rows + 2 * m_candidates->frameWidth() +
                                 m_candidates->sizeHintForRow(0) / 2);

    // The form makes each caption its value's buddy, so a screen reader is told which caption labels
    // which value. Reading the dialog out, though, it reads a value by its name and passes over a
    // caption that labels something else: the name of each value holds its caption as well.
    auto* form = new QFormLayout;
    const auto addRow = [form](const QString& caption, QLabel* value) {
        form->addRow(caption + ":", value);
        value->setAccessibleName(caption + " " + value->text());
    };
    addRow(tr("ファイル"), m_file);
    addRow(tr("長さ"), m_length);
    addRow(tr("テンポ"), m_tempo);
    addRow(tr("推定"), estimate);
    form->addRow(tr("候補:"), m_candidates);

    // The style marks the default button as it marks the focus; these buttons add a focus frame
    // inside, so that OK as the default does not look like OK with the focus.
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = new ui::CaptionButton("OK", buttons, font());
    ok->setObjectName("ok");
    auto* cancel = new ui::CaptionButton(tr("キャンセル"), buttons, font());
    cancel->setObjectName("cancel");
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A double click on a reading, or Enter on it, takes it at once.
    connect(m_candidates, &QTreeWidget::itemActivated, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString SampleTempoDialog::chosenText() const
{
    const QTreeWidgetItem* item = m_candidates->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

double SampleTempoDialog::chosenTempo() const
{
    const QTreeWidgetItem* item = m_candidates->currentItem();
    return item ? item->data(0, kTempoRole).toDouble() : 0;
}

int SampleTempoDialog::chosenBeats() const
{
    const QTreeWidgetItem* item = m_candidates->currentItem();
    return item ? item->data(0, kBeatsRole).toInt() : 0;
}

} // namespace korvo
