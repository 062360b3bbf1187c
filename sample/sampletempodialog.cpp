#include "sample/sampletempodialog.h"

#include "pitch/numbertext.h"
#include "ui/fonts.h"

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
        return q(sample::beatsText(c.beats));
    return reason == sample::ChoiceReason::Estimate || reason == sample::ChoiceReason::Mismatch
               ? "拍から"
               : "推定値から";
}

} // namespace

SampleTempoDialog::SampleTempoDialog(const QString& fileName, const sample::Analysis& analysis, int entry,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName("SampleTempo");
    // Nothing else in the dialog tells which entry OK fills.
    setWindowTitle(QString("サンプルのテンポ (BPM %1)").arg(entry + 1));
    setFont(ui::font(9));

    const sample::TempoChoice& choice = analysis.choice;
    m_file = new QLabel(fileName, this);
    m_file->setObjectName("file");
    QString length = QString("%1秒").arg(q(roundedText(analysis.seconds, 3)));
    if (const std::string offset = sample::offsetText(choice); !offset.empty())
        length += "　" + q(offset);
    m_length = new QLabel(length, this);
    m_length->setObjectName("length");
    m_tempo =
        new QLabel(QString("%1 BPM　%2").arg(q(choice.text), q(sample::choiceReason(analysis, false))), this);
    m_tempo->setObjectName("tempo");
    m_tempo->setFont(ui::font(12, true));
    auto* estimate =
        new QLabel(analysis.estimate > 0 ? q(roundedText(analysis.estimate, 2)) + " BPM" : "なし", this);
    estimate->setObjectName("estimate");

    m_candidates = new QTreeWidget(this);
    m_candidates->setObjectName("candidates");
    m_candidates->setAccessibleName("候補");
    m_candidates->setRootIsDecorated(false);
    m_candidates->setColumnCount(2);
    m_candidates->setHeaderLabels({"BPM", "読み方"});
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
    }
    m_candidates->setCurrentItem(m_candidates->topLevelItem(0));
    // As tall as its readings, five at least, with half a row to spare: the list never scrolls,
    // and the last row is never cut by the header's margins.
    const int rows = std::max(5, m_candidates->topLevelItemCount());
    m_candidates->setFixedHeight(m_candidates->header()->sizeHint().height() +
                                 m_candidates->sizeHintForRow(0) * rows + 2 * m_candidates->frameWidth() +
                                 m_candidates->sizeHintForRow(0) / 2);

    auto* form = new QFormLayout;
    form->addRow("ファイル:", m_file);
    form->addRow("長さ:", m_length);
    form->addRow("テンポ:", m_tempo);
    form->addRow("推定:", estimate);
    form->addRow("候補:", m_candidates);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
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

} // namespace korvo
