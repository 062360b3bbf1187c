#include "sample/tempochoice.h"

#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace korvo::sample {
namespace {

bool isPowerOfTwoBars(int beats)
{
    return beats >= 4 && beats % 4 == 0 && ((beats / 4) & (beats / 4 - 1)) == 0;
}

bool agreesWith(double tempo, double estimate)
{
    for (const double times : {1.0, 2.0, 0.5, 3.0, 1.0 / 3.0}) {
        const double target = estimate * times;
        if (std::fabs(tempo - target) <= kAgreement * target)
            return true;
    }
    return false;
}

// Which of two agreeing candidates a person more likely means: whole numbers of 4/4 bars that
// are powers of two first (a loop is cut to 1, 2, 4, 8 or 16 bars far more often than to 3 or
// 6), then the most beats up to 16, then the fewest beats above.
bool before(const TempoCandidate& a, const TempoCandidate& b)
{
    const bool aBars = isPowerOfTwoBars(a.beats), bBars = isPowerOfTwoBars(b.beats);
    if (aBars != bBars)
        return aBars;
    const bool aUpTo16 = a.beats <= 16, bUpTo16 = b.beats <= 16;
    if (aUpTo16 != bUpTo16)
        return aUpTo16;
    return aUpTo16 ? a.beats > b.beats : a.beats < b.beats;
}

bool isUsual(double tempo)
{
    return tempo >= kUsualLowest && tempo < kUsualAbove * (1 - kAgreement);
}

// How far a tempo lies outside the usual range; 0 inside it.
double outsideUsual(double tempo)
{
    return isUsual(tempo)         ? 0
           : tempo < kUsualLowest ? kUsualLowest - tempo
                                  : tempo - kUsualAbove * (1 - kAgreement);
}

std::string tempoText(double tempo)
{
    // Seven significant digits, the form the settings file keeps, so what is written is what is saved.
    return singleText(static_cast<float>(tempo));
}

} // namespace

double simplestTempo(std::int64_t frames, int sampleRate, int beats)
{
    const double beatFrames = 60.0 * beats * sampleRate; // frames of the beats at 1 BPM
    const double raw = beatFrames / static_cast<double>(frames);
    const auto fits = [&](double tempo) { return tempo > 0 && std::llround(beatFrames / tempo) == frames; };
    double scale = 1;
    for (int decimals = 0; decimals <= 4; ++decimals, scale *= 10) {
        // A whole number of thirds (133.3333 is a bar of 1.8 s) is written to four decimals but is
        // simpler than any third decimal: two bars at 133.3333 are as long as two at 133.333, and the
        // loop was made at the first.
        if (decimals == 3) {
            const double thirds = std::nearbyint(std::nearbyint(raw * 3) / 3 * 1e4) / 1e4;
            if (fits(thirds))
                return thirds;
        }
        const double tempo = std::nearbyint(raw * scale) / scale;
        if (fits(tempo))
            return tempo;
    }
    return std::nearbyint(raw * 1e4) / 1e4;
}

TempoChoice chooseTempo(std::int64_t frames, int sampleRate, double estimate)
{
    TempoChoice choice;
    if (frames <= 0 || sampleRate <= 0)
        return choice;
    const bool hasEstimate = std::isfinite(estimate) && estimate > 0;

    const auto addCandidates = [&](const auto& beatCounts) {
        for (const int beats : beatCounts) {
            const double raw = 60.0 * beats * sampleRate / static_cast<double>(frames);
            if (!bpm::inRange(raw))
                continue;
            TempoCandidate c;
            c.beats = beats;
            c.tempo = simplestTempo(frames, sampleRate, beats);
            c.text = tempoText(c.tempo);
            c.agrees = !hasEstimate || agreesWith(raw, estimate);
            choice.candidates.push_back(c);
        }
    };
    addCandidates(kLoopBeats);
    if (choice.candidates.empty()) {
        addCandidates(kShortLoopBeats);
        // The short readings go first, in the order of their beats like the others.
        std::sort(choice.candidates.begin(), choice.candidates.end(),
                  [](const TempoCandidate& a, const TempoCandidate& b) { return a.beats < b.beats; });
    }

    const TempoCandidate* best = nullptr;
    for (const TempoCandidate& c : choice.candidates) {
        if (c.agrees && isUsual(c.tempo) && (!best || before(c, *best)))
            best = &c;
    }
    // Without an estimate a loop far from the usual range still gets the reading closest to it.
    if (!best && !hasEstimate) {
        for (const TempoCandidate& c : choice.candidates) {
            if (!best || outsideUsual(c.tempo) < outsideUsual(best->tempo))
                best = &c;
        }
    }

    if (best) {
        choice.reason = ChoiceReason::Loop;
        choice.tempo = best->tempo;
        choice.text = best->text;
        choice.beats = best->beats;
    } else if (hasEstimate) {
        // Not a loop: the estimate, brought into the usual range by octaves, to a tenth.
        double tempo = estimate;
        while (tempo < kUsualLowest)
            tempo *= 2;
        while (tempo >= kUsualAbove)
            tempo /= 2;
        choice.reason = ChoiceReason::Estimate;
        choice.tempo = std::nearbyint(tempo * 10) / 10;
        choice.text = tempoText(choice.tempo);
    }
    return choice;
}

} // namespace korvo::sample
