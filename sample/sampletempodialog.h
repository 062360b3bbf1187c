#pragma once

#include "sample/sampleanalysis.h"

#include <QDialog>

class QLabel;
class QTreeWidget;

namespace korvo {

// What was found in a sample: its name, its length and how far it is off the chosen beats, the
// tempo chosen and why, and the other readings offered (the exact length of a rounded loop, half and
// double, the other metre). OK takes the reading selected in the list.
class SampleTempoDialog final : public QDialog
{
    Q_OBJECT

public:
    // For entry 0 (BPM 1) or 1 (BPM 2), which the title names.
    SampleTempoDialog(const QString& fileName, const sample::Analysis& analysis, int entry, QWidget* parent);

    // The tempo text of the selected reading, as a tempo box takes it.
    QString chosenText() const;
    // Its tempo and its number of beats (0: a tempo heard in the beat, no whole number of beats).
    double chosenTempo() const;
    int chosenBeats() const;

    QLabel* fileLabel() const { return m_file; }
    QLabel* lengthLabel() const { return m_length; }
    QLabel* tempoLabel() const { return m_tempo; }
    // One row a reading, the likeliest first: its tempo, then what it reads the sample as.
    QTreeWidget* candidateList() const { return m_candidates; }

private:
    QLabel* m_file = nullptr;
    QLabel* m_length = nullptr;
    QLabel* m_tempo = nullptr;
    QTreeWidget* m_candidates = nullptr;
};

} // namespace korvo
