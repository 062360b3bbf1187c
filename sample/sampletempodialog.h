#pragma once

#include "sample/sampleanalysis.h"

#include <QDialog>

class QLabel;
class QListWidget;

namespace korvo {

// What was found in a sample: its name, its length, the tempo chosen and the other readings of the
// same loop as another number of beats. OK takes the reading selected in the list.
class SampleTempoDialog final : public QDialog
{
    Q_OBJECT

public:
    SampleTempoDialog(const QString& fileName, const sample::Analysis& analysis, QWidget* parent);

    // The tempo text of the selected reading, as a tempo box takes it.
    QString chosenText() const;

    QLabel* fileLabel() const { return m_file; }
    QLabel* lengthLabel() const { return m_length; }
    QLabel* tempoLabel() const { return m_tempo; }
    QListWidget* candidateList() const { return m_candidates; }

private:
    QLabel* m_file = nullptr;
    QLabel* m_length = nullptr;
    QLabel* m_tempo = nullptr;
    QListWidget* m_candidates = nullptr;
};

} // namespace korvo
