#pragma once

#include "sample/sampleanalysis.h"

#include <QCoreApplication>
#include <QString>

namespace korvo {

// A sample's reading in words, in the language of the interface: the sample windows, `--tempo` and
// `--render` all say it the same way.
class SampleWords
{
    Q_DECLARE_TR_FUNCTIONS(SampleWords)

public:
    // Why a sample gave no tempo, as a sentence.
    static QString failureReason(sample::Failure failure);
    // "8拍（2小節）", "12拍": a number of beats, with its bars where the metre is plain.
    static QString beats(int beats);
    // How far the file's length is off the chosen beats ("8拍（2小節）より5ミリ秒長い"); empty when it
    // is not.
    static QString offset(const sample::TempoChoice& choice);
    // Why the tempo was chosen, the length's difference among it when asked for.
    static QString choiceReason(const sample::Analysis& analysis, bool withOffset = true);
};

} // namespace korvo
