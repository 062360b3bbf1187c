#include "sample/sampletempodialog.h"

#include "pitch/numbertext.h"
#include "ui/fonts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace korvo {
namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString beatsText(int beats)
{
    return beats % 4 == 0 ? QString("%1拍（%2小節）").arg(beats).arg(beats / 4) : QString("%1拍").arg(beats);
}

} // namespace

SampleTempoDialog::SampleTempoDialog(const QString& fileName, const sample::Analysis& analysis,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName("SampleTempo");
    setWindowTitle("サンプルのテンポ");
    setFont(ui::font(9));

    m_file = new QLabel(fileName, this);
    m_file->setObjectName("file");
    m_length = new QLabel(QString("%1秒").arg(q(roundedText(analysis.seconds, 3))), this);
    m_length->setObjectName("length");
    const sample::TempoChoice& choice = analysis.choice;
    m_tempo = new QLabel(QString("%1 BPM　%2").arg(q(choice.text), q(sample::choiceReason(analysis))), this);
    m_tempo->setObjectName("tempo");
    m_tempo->setFont(ui::font(12, true));
    auto* estimate =
        new QLabel(analysis.estimate > 0 ? q(roundedText(analysis.estimate, 2)) + " BPM" : "なし", this);
    estimate->setObjectName("estimate");

    m_candidates = new QListWidget(this);
    m_candidates->setObjectName("candidates");
    m_candidates->setAccessibleName("候補");
    const auto add = [this](const QString& tempo, const QString& how) {
        auto* item = new QListWidgetItem(QString("%1 BPM　%2").arg(tempo, how), m_candidates);
        item->setData(Qt::UserRole, tempo);
        return item;
    };
    if (choice.reason == sample::ChoiceReason::Estimate)
        m_candidates->setCurrentItem(add(q(choice.text), "推定値から"));
    for (const sample::TempoCandidate& c : choice.candidates) {
        QListWidgetItem* item = add(q(c.text), beatsText(c.beats));
        if (choice.reason == sample::ChoiceReason::Loop && c.beats == choice.beats)
            m_candidates->setCurrentItem(item);
    }
    // As tall as its readings, four at least: the list never scrolls for the eight a loop can give.
    m_candidates->setFixedHeight(m_candidates->sizeHintForRow(0) * std::max(4, m_candidates->count()) +
                                 2 * m_candidates->frameWidth());

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
    // A double click on a reading takes it at once.
    connect(m_candidates, &QListWidget::itemActivated, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString SampleTempoDialog::chosenText() const
{
    const QListWidgetItem* item = m_candidates->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

} // namespace korvo
