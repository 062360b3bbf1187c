#include "sample/tempochoice.h"

#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace korvo::sample {
namespace {

// How long after its attack a hit's onset may peak (a soft kick, a slow swell), in seconds.
constexpr double kOnsetLag = 0.02;
// A stretch of silence shorter than this at either end is part of the loop.
constexpr double kShortestSilence = 0.002;
// How much a tempo's likelihood before listening weighs against how well its grid meets the onsets.
constexpr double kPriorWeight = 1.0;
// A loop's grid must meet the onsets nearly as well as the best grid near its tempo does.
constexpr double kLoopShare = 0.8;
constexpr double kRoundLoopShare = 0.5;
// Below this support no grid meets the onsets much more than chance does: there is no beat.
constexpr double kBeatFloor = 2.0;
// A hit rises by at least this share of a frame's whole log spectrum. A tone's or a pad's flicker
// stays under two hundredths; a dense loop's hits under a ride left ringing come to four.
constexpr double kHitStrength = 0.03;
// The start of a sound is a hit for any grid through it, a tone's too: the beat is judged after it.
constexpr double kStartSkip = 0.1;
// What agreeing with the beat heard over the whole sound adds to a reading's score.
constexpr double kHeardBonus = 0.5;
// How much better a ringing loop's bars must score at half or twice the beat heard to be read so.
constexpr double kOctaveFromHeard = 0.25;
// How closely (a share) the onsets give a tempo, from their times over a loop or a take.
constexpr double kHeardPrecision = 0.0015;
// A hit at least this share of the strongest one counts as struck, not as a ringing note's flicker.
constexpr double kTailHit = 0.15;
// A file that runs on this long (seconds), at least a beat, past its last bar has a tail, not a trim.
constexpr double kShortestTail = 0.5;
// How closely (a share) the onsets' times give a loop's tempo, as one standard deviation.
constexpr double kMeasuredPrecision = 0.00045;
// The same for a single bar left ringing: its few hits, some under the ring, give it to a thousandth.
constexpr double kRingingBarPrecision = 0.001;
// How closely (seconds) a loop's length is known where silence bounds it: from where its first sound is
// found (a lossy codec blurs it) and where a cut-off sound stops, as one standard deviation.
constexpr double kBoundedPrecision = 0.003;
// How much of the scatter of the onsets about their line counts against a loop's tempo: swing,
// ghost notes and flams scatter them more than the beat itself wanders.
constexpr double kScatterShare = 0.5;
// What a grid whose points take turns between kicks and snares adds to a heard tempo's score.
constexpr double kBackbeatWeight = 8;
// How much a reading's low hits repeating every two of its beats counts for the beat twice as fast,
// per unit of correlation above the level where the evidence is even.
constexpr double kHalfBarWeight = 0.5;
constexpr double kHalfBarEven = 0.75;
// A reading whose sixteenths are all struck, straight, with hits between them as well, is a beat twice
// as fast counted at half speed (a half-time feel): its sixteenths are that beat's eighths. The hits
// between start to count at the lower share of the sixteenths' support and count fully at the higher.
constexpr double kBetweenWeight = 1.5;
constexpr double kBetweenLow = 0.08;
constexpr double kBetweenHigh = 0.16;
// A reading's beats have nothing between them when no point from halfway to the latest a swung eighth
// falls meets the onsets at this share of its beats; its every other beat is an off-beat eighth when
// it meets them at less than this share of the beats before it: clearly weaker, for the beats of a
// waltz with nothing between them take turns evenly across its bars of three.
constexpr double kLatestOffbeat = 0.7;
constexpr double kEmptyBetween = 0.1;
constexpr double kWeakOffbeat = 0.8;
// An off-beat eighth may be an open hi-hat, its noise rising more than the kick before it does, but with
// hardly any of the kick's low: less than this share of it.
constexpr double kOpenOffbeat = 0.15;
// Sixteenths are struck when their grid meets the onsets this well, and struck straight when the
// off-beat ones alone meet them at this share of that.
constexpr double kStruckSixteenths = 1.5;
constexpr double kStraightSixteenths = 0.5;
// A reading's beats are struck at their thirds when the grids through them meet the onsets at this
// share of the beats' own.
constexpr double kStruckThirds = 0.1;
// A beat's bars repeat when their low hits correlate a bar apart at least this well, and do not
// below the lower level.
constexpr double kBarsRepeat = 0.6;
constexpr double kBarsApart = 0.4;
// How far (a share) the tempo a loop's bars repeat at may lie from what the onsets' line gives.
constexpr double kRepeatReach = 0.01;
// A rounder tempo must also agree this well (a share) with where the onsets lie.
constexpr double kRoundAgreement = 0.002;

// How likely a loop's tempo is before listening, as a log: as the bell for any beat says below 120 BPM
// and past 200, but nearly flat between, where loops are made as often as at 120 (house, techno,
// drum and bass): a bell 2.5 octaves wide on that side. Past 200 a beat is rarely counted so fast.
constexpr double kFastSideOctaves = 2.5;
constexpr double kFastestLoop = 200;
double loopPrior(double bpm)
{
    if (bpm <= 120 || bpm > kFastestLoop)
        return std::log(tempoPrior(bpm));
    const double octaves = std::log2(bpm / 120) / kFastSideOctaves;
    return -0.5 * octaves * octaves;
}

// How often a loop is cut to this many beats, as a weight: whole 4/4 bars most, 3/4 bars less,
// single beats for short sounds least.
double beatsWeight(int beats)
{
    switch (beats) {
    case 4:
    case 8:
    case 16:
        return 1.0;
    case 2:
    case 32:
        return 0.8;
    case 12:
    case 64:
        return 0.6;
    case 6:
    case 24:
        return 0.5;
    default:
        return 0.4;
    }
}

// Whether two tempos are one beat counted at another level, within a share: the same, half or
// double, a third, or the other metre's.
bool related(double a, double b, double tolerance)
{
    for (const double r : {1.0, 2.0, 0.5, 3.0, 1.0 / 3, 1.5, 2.0 / 3, 4.0 / 3, 0.75, 4.0, 0.25})
        if (std::fabs(a / b - r) <= tolerance * r)
            return true;
    return false;
}

// Whether they are the same beat at twice or half the count: what a heard tempo and a loop's reading
// of it are when the metre is right.
bool sameBeat(double a, double b, double tolerance)
{
    for (const double r : {1.0, 2.0, 0.5, 4.0, 0.25})
        if (std::fabs(a / b - r) <= tolerance * r)
            return true;
    return false;
}

// A length that is whole beats of a round tempo to the frame is rarely chance: a loop made at that
// tempo. Whole numbers weigh most, halves less, quarters and thirds least (a short file has many).
double roundness(double tempo)
{
    if (std::fabs(tempo - std::nearbyint(tempo)) < 1e-9)
        return 0.6;
    if (std::fabs(tempo * 2 - std::nearbyint(tempo * 2)) < 1e-9)
        return 0.4;
    return isRoundTempo(tempo) ? 0.2 : 0;
}

// How likely a round tempo is what a sample measured at `measured` was made at: how often tempos
// that round are made, and how far the measurement lies from it for a precision (a share) of a few
// parts in ten thousand, or what the onsets' scatter allows.
double roundLikelihood(double tempo, double measured, double precision = kMeasuredPrecision)
{
    const double often = std::fabs(tempo - std::nearbyint(tempo)) < 1e-9           ? 0.7
                         : std::fabs(tempo * 2 - std::nearbyint(tempo * 2)) < 1e-9 ? 0.12
                         : std::fabs(tempo * 4 - std::nearbyint(tempo * 4)) < 1e-9 ? 0.05
                                                                                   : 0.04;
    const double z = (tempo / measured - 1) / precision;
    return std::log(often) - z * z / 2;
}

// Calls `f` with every quarter and every third of a BPM from `low` to `high`, kept to four decimals
// (133.3333). Whole and half BPMs come twice.
template <typename F> void forEachRoundTempo(double low, double high, F&& f)
{
    for (const double step : {0.25, 1.0 / 3})
        for (double t = std::floor(low / step) * step; t <= high; t += step)
            f(std::nearbyint(t * 1e4) / 1e4);
}

// A tempo counted `times` as fast, kept to four decimals as a tempo box takes it. A third of a BPM
// (133.3333) is taken at its whole number of thirds, so that half of 144.3333 reads 72.1667.
double scaledTempo(double tempo, double times)
{
    const double exact = isRoundTempo(tempo) ? std::nearbyint(tempo * 12) / 12 : tempo;
    return std::nearbyint(exact * times * 1e4) / 1e4;
}

// Which relation of a chosen tempo another reading is, within 1 %: 0 the same beat, then half, double
// and the other metre's four; -1 none of them.
int relation(double tempo, double chosen)
{
    constexpr double kRatios[] = {1.0, 0.5, 2.0, 0.75, 4.0 / 3, 1.5, 2.0 / 3};
    for (std::size_t i = 0; i < std::size(kRatios); ++i)
        if (std::fabs(tempo / chosen - kRatios[i]) < 0.01 * kRatios[i])
            return static_cast<int>(i);
    return -1;
}

std::string tempoText(double tempo)
{
    // Seven significant digits, the form the settings file keeps, so what is written is what is saved.
    return singleText(static_cast<float>(tempo));
}

// One way of reading where the loop starts and ends: the whole stretch, or with silence at an end
// left out.
struct Span
{
    std::int64_t start = 0;
    std::int64_t end = 0;
    double penalty = 0;   // a trimmed reading must earn its place
    double gridStart = 0; // where, in seconds, its readings' grids start
    bool cutEnd = false;  // it ends where its sound is cut off into silence
    std::int64_t frames() const { return end - start; }
};

struct Reading
{
    Span span;
    int beats = 0;
    double raw = 0; // the tempo of exactly that length
    double support = 0;
    double score = 0;
};

class Chooser
{
public:
    explicit Chooser(const TempoEvidence& e) : m_e(e), m_rate(e.sampleRate) {}

    TempoChoice choose();

private:
    double seconds(std::int64_t frames) const { return static_cast<double>(frames) / m_rate; }
    double support(double period, double phase) const
    {
        return m_e.onsets ? gridSupport(*m_e.onsets, period, phase, m_from, m_to) : 0;
    }
    // The whole file, or the part between its loop points.
    Span whole() const;
    // Where a loop read without the silence before it starts.
    std::int64_t soundStart(const Span& whole) const;
    std::vector<Span> spans() const;
    // Where the first clear onset from `start` on peaks, within kOnsetLag; `start` when none does.
    double firstPeak(double start) const;
    double gridStart(const Span& span) const;
    std::vector<Reading> readings(const Span& given) const;
    void weighOctaves(std::vector<Reading>& readings) const;
    double subdivisionEvidence(const Span& span, double period) const;
    // Whether a grid's beats meet clear hits, and so do the points a third and two thirds into them.
    bool struckAtThirds(double period, double phase) const;
    // Whether a beat heard is the dotted quarter of one half as fast again: struck at both its thirds,
    // as straight eighths of that beat (a waltz's kicks on one and on the and of two) or sixteenths
    // under kicks three sixteenths apart strike it.
    bool dottedQuarters(const FittedGrid& heard) const
    {
        return heard.bpm * 1.5 <= kFastest && struckAtThirds(60.0 / heard.bpm, heard.phase);
    }
    double eighthsEvidence(const Span& span, double period) const;
    double lateSupport(double period, double phase, std::optional<double> to = std::nullopt) const;
    double spanTempo(const Span& span, int beats) const;
    TempoCandidate loopCandidate(const Reading& r) const;
    TempoCandidate beatCandidate(double tempo, double precision = kMeasuredPrecision) const;
    // Whether the onsets agree with the tempo written into `choice`.
    bool rounded(const Reading& r, TempoChoice& choice) const;
    void addOthers(TempoChoice& choice, const std::vector<TempoCandidate>& pool) const;
    void offerLengthHalfAndDouble(const Reading& r, TempoChoice& choice) const;
    void offerOtherMetre(TempoChoice& choice) const;
    std::optional<TempoChoice> fromHints(const Span& whole) const;
    bool beatHeard(const FittedGrid& grid) const;

    // How closely a heard tempo is known: 50 ms over the stretch, a share of 1.5 % at least (a bar
    // at 200 is heard to about 4 %).
    double heardTolerance() const { return std::max(0.015, 0.05 / std::max(m_to - m_from, 1e-3)); }
    std::optional<FittedGrid> hear() const;
    double barRepetition(double bpm) const;
    // How well the low hits repeat `beats` beats at `bpm` apart, over a minute at most.
    double lowRepeat(double bpm, int beats) const;
    // Whether the low hits at `bpm` repeat every three beats and not every two or four: bars of three.
    bool inThree(double bpm) const
    {
        return lowRepeat(bpm, 3) >= kBarsRepeat &&
               std::max(lowRepeat(bpm, 2), lowRepeat(bpm, 4)) < kBarsApart;
    }
    std::optional<FittedGrid> repeatingLevel(const FittedGrid& heard) const;
    // A grid found by its support, its tempo then refined from the onsets' times, and its phase found
    // again at that tempo: a few per cent over a few seconds move its points off the hits.
    FittedGrid refinedGrid(const FittedGrid& grid) const
    {
        const double bpm = refined(grid.bpm, grid.phase);
        return bpm == grid.bpm ? grid : fitGrid(*m_e.onsets, bpm, 0, m_from, m_to);
    }
    // Over the stretch with sound, or up to `to` seconds; the line's standard error (a share) goes to
    // `standardError` when given.
    double refined(double tempo, double phase, std::optional<double> to = std::nullopt,
                   double* standardError = nullptr) const;
    // A heard grid's score: how well it meets the onsets, how likely its tempo is, and whether its
    // beats take turns between kicks and snares.
    double heardScore(const FittedGrid& grid) const;
    // Of a loop of whole bars whose sound lasts up to `to` seconds, what its bars laid on each other give
    // near a tempo the onsets' line gave, the line's standard error (a share) beside: the line's own
    // where they do not repeat.
    double barTempo(int beats, double tempo, double to, double lineError) const;
    std::optional<TempoChoice> anchored(const std::vector<Reading>& readings, const Span& whole) const;
    std::optional<TempoChoice> ringing(const Span& whole) const;

    const TempoEvidence& m_e;
    double m_rate;
    std::optional<FittedGrid> m_heard;
    double m_from = 0; // the stretch that holds sound, in seconds
    double m_to = 0;
    double m_end = 0; // where the file, or its loop points, end
};

Span Chooser::whole() const
{
    if (m_e.loopEnd > m_e.loopStart && m_e.loopStart >= 0 && m_e.loopEnd <= m_e.frames)
        return {m_e.loopStart, m_e.loopEnd};
    return {0, m_e.frames};
}

// Where the first sound rises out of silence, when that silence is long enough to leave out; where
// it passes the noise floor otherwise.
std::int64_t Chooser::soundStart(const Span& whole) const
{
    const auto gap = static_cast<std::int64_t>(kShortestSilence * m_rate);
    const std::int64_t start = std::clamp(m_e.soundStart, whole.start, whole.end);
    const std::int64_t rise = m_e.soundRise >= 0 ? std::clamp(m_e.soundRise, whole.start, start) : start;
    return rise - whole.start > gap ? rise : start;
}

std::vector<Span> Chooser::spans() const
{
    const Span whole = this->whole();
    std::vector<Span> out{whole};
    const auto gap = static_cast<std::int64_t>(kShortestSilence * m_rate);
    const std::int64_t start = soundStart(whole);
    const std::int64_t end = std::clamp(m_e.soundEnd, start, whole.end);
    const bool lead = start - whole.start > gap, trail = whole.end - end > gap;
    if (lead)
        out.push_back({start, whole.end, 0.05});
    if (trail)
        out.push_back({whole.start, end, 0.05, 0, m_e.soundCut});
    if (lead && trail)
        out.push_back({start, end, 0.1, 0, m_e.soundCut});
    std::erase_if(out, [](const Span& s) { return s.frames() <= 0; });
    return out;
}

double Chooser::firstPeak(double start) const
{
    if (!m_e.onsets || m_e.onsets->size() == 0)
        return start;
    const OnsetSignal& onsets = *m_e.onsets;
    const auto index = [&](double t) {
        return static_cast<std::size_t>(
            std::clamp(std::lround(t * onsets.rate), 0L, static_cast<long>(onsets.size()) - 1));
    };
    const auto first = onsets.strength.begin();
    const auto peak = std::max_element(first + static_cast<std::ptrdiff_t>(index(start)),
                                       first + static_cast<std::ptrdiff_t>(index(start + kOnsetLag)) + 1);
    const float strongest = *std::max_element(first + static_cast<std::ptrdiff_t>(index(m_from)),
                                              first + static_cast<std::ptrdiff_t>(index(m_to)) + 1);
    return *peak < kTailHit * strongest ? start : static_cast<double>(peak - first) / onsets.rate;
}

// Some kits' hits sound a few milliseconds after their first frame, and their onsets peak later still,
// up to kOnsetLag, past where a grid point looks. A span's grids start where its first clear onset
// peaks when all its readings together meet the onsets better so, and at its start otherwise: the same
// for every reading, so that none gains by where its grid starts.
double Chooser::gridStart(const Span& span) const
{
    const double start = seconds(span.start);
    const double peakTime = firstPeak(start);
    if (peakTime == start)
        return start;
    double fromStart = 0, fromPeak = 0;
    for (const int beats : kLoopBeats) {
        const double period = seconds(span.frames()) / beats;
        if (60 / period < kSlowest || 60 / period > kFastest)
            continue;
        fromStart += support(period, start);
        fromPeak += support(period, peakTime);
    }
    return fromPeak > fromStart ? peakTime : start;
}

std::vector<Reading> Chooser::readings(const Span& given) const
{
    Span span = given;
    span.gridStart = gridStart(given);
    std::vector<Reading> out;
    for (const int beats : kLoopBeats) {
        Reading r;
        r.span = span;
        r.beats = beats;
        r.raw = 60.0 * beats * m_rate / static_cast<double>(span.frames());
        if (r.raw < kSlowest || r.raw > kFastest || !bpm::inRange(r.raw))
            continue;
        const double period = seconds(span.frames()) / beats;
        r.support = support(period, span.gridStart);
        r.score = (m_e.onsets ? std::log(std::max(r.support, 1e-3)) : 0) + kPriorWeight * loopPrior(r.raw) +
                  std::log(beatsWeight(beats)) - span.penalty;
        r.score += roundness(spanTempo(span, beats));
        // Straight eighths of a beat half as fast again fall on a reading's thirds: where its beats
        // are struck at both their thirds as well, it counts the dotted quarters of a waltz (kicks on
        // one and on the and of two), and the count of 3, 6, 12 ... beats reads its bars.
        if (beats % 3 != 0 && struckAtThirds(period, span.gridStart))
            r.score -= kBetweenWeight;
        // The beat heard over the whole sound tells the metre: a reading that counts it in another
        // (8 beats where 12 are heard) has a grid that only half meets it.
        if (m_heard && sameBeat(r.raw, m_heard->bpm, heardTolerance()))
            r.score += kHeardBonus;
        out.push_back(r);
    }
    weighOctaves(out);
    return out;
}

// A bar's two halves differ in where its kicks fall. Where a reading's low hits repeat every half of
// its bar, its bar is likelier two bars of a beat twice as fast; where they differ, likelier a bar.
// Hits between its straight sixteenths speak for the faster beat too, and beats with nothing between
// them, every other one weak, for the slower. Each reading and the one at twice its count are weighed
// so against each other, along each family of counts (1, 2, 4 ... 64 and 3, 6 ... 48); the family's
// reading the prior likes most keeps its score.
void Chooser::weighOctaves(std::vector<Reading>& readings) const
{
    if (!m_e.onsets || readings.empty())
        return;
    const Span span = readings.front().span;
    const double from = seconds(span.start), to = seconds(span.end);
    for (const int first : {1, 3}) {
        std::vector<Reading*> family;
        for (int beats = first; beats <= kLoopBeats[std::size(kLoopBeats) - 1]; beats *= 2)
            for (Reading& r : readings)
                if (r.beats == beats)
                    family.push_back(&r);
        if (family.size() < 2)
            continue;
        // What each reading's half bars say of it against the next one: above 0, the next is likelier.
        std::vector<double> evidence(family.size() - 1, 0.0);
        for (std::size_t k = 0; k + 1 < family.size(); ++k) {
            const Reading& r = *family[k];
            const double period = seconds(span.frames()) / r.beats;
            evidence[k] += subdivisionEvidence(span, period) - eighthsEvidence(span, period / 2);
            if (r.beats <= 2)
                continue;
            // Half a bar of four beats is two of them; of three, one and a half.
            const auto repeat = lowRepetition(*m_e.onsets, from, to, (first == 3 ? 1.5 : 2) * period);
            // Kicks on every beat (four on the floor) repeat every two beats at either count.
            const auto everyBeat = lowRepetition(*m_e.onsets, from, to, period);
            if (repeat && !(everyBeat && *everyBeat >= kHalfBarEven))
                evidence[k] += kHalfBarWeight * (*repeat - kHalfBarEven);
        }
        const auto centre =
            std::max_element(family.begin(), family.end(), [](const Reading* a, const Reading* b) {
                return tempoPrior(a->raw) < tempoPrior(b->raw);
            });
        const auto c = static_cast<std::size_t>(centre - family.begin());
        double shift = 0;
        for (std::size_t k = c + 1; k < family.size(); ++k) {
            shift += evidence[k - 1];
            family[k]->score += shift;
        }
        shift = 0;
        for (std::size_t k = c; k-- > 0;) {
            shift -= evidence[k];
            family[k]->score += shift;
        }
    }
}

// For the reading of a span at a beat `period` long, what the hits between its sixteenths say for the
// beat twice as fast: 0 where its sixteenths are not all struck straight, up to kBetweenWeight.
double Chooser::subdivisionEvidence(const Span& span, double period) const
{
    const double phase = span.gridStart;
    const double sixteenths = support(period / 4, phase);
    if (sixteenths < kStruckSixteenths ||
        support(period / 2, phase + period / 4) < kStraightSixteenths * sixteenths)
        return 0;
    const double between = support(period / 4, phase + period / 8) / sixteenths;
    return kBetweenWeight * std::clamp((between - kBetweenLow) / (kBetweenHigh - kBetweenLow), 0.0, 1.0);
}

// For the reading of a span at a beat `period` long, what says it counts the eighths of a beat twice
// as slow: nothing struck between its beats, straight or swung, and every other beat weaker than the
// one before it, or with next to none of its low, as an off-beat eighth is. kBetweenWeight then,
// for the slower beat; else 0.
double Chooser::eighthsEvidence(const Span& span, double period) const
{
    const double phase = span.gridStart;
    const double beats = support(period, phase);
    if (!(beats > 0))
        return 0;
    // In steps of two values, so the points' neighbourhoods overlap.
    const double step = 2 / m_e.onsets->rate;
    for (double at = period / 2; at <= kLatestOffbeat * period; at += step)
        if (support(period, phase + at) >= kEmptyBetween * beats)
            return 0;
    const double even = support(2 * period, phase), odd = support(2 * period, phase + period);
    if (odd < kWeakOffbeat * even)
        return kBetweenWeight;
    const double lowEven = lowGridSupport(*m_e.onsets, 2 * period, phase, m_from, m_to);
    const double lowOdd = lowGridSupport(*m_e.onsets, 2 * period, phase + period, m_from, m_to);
    return lowOdd < kOpenOffbeat * lowEven ? kBetweenWeight : 0;
}

bool Chooser::struckAtThirds(double period, double phase) const
{
    const double beats = support(period, phase);
    return beats >= kBeatFloor && std::min(support(period, phase + period / 3),
                                           support(period, phase + 2 * period / 3)) >= kStruckThirds * beats;
}

// How well a grid from a loop's first beat meets the onsets, set as late as an onset may peak after
// its attack: against the best grid near it, whose phase is free, a loop's own grid must not lose
// for a soft attack.
double Chooser::lateSupport(double period, double phase, std::optional<double> to) const
{
    double out = 0;
    if (m_e.onsets)
        for (double lag = 0; lag <= kOnsetLag; lag += 1 / m_e.onsets->rate)
            out = std::max(out, gridSupport(*m_e.onsets, period, phase + lag, m_from, to.value_or(m_to)));
    return out;
}

// The simplest tempo of a span's beats. A loop rendered and then cut off into silence keeps its sound
// up to the first frame at or past its end, often a frame more than its length rounds to: a round
// tempo that fits a frame less is the one it was made at.
double Chooser::spanTempo(const Span& span, int beats) const
{
    const double exact = simplestTempo(span.frames(), m_e.sampleRate, beats);
    if (!span.cutEnd || isRoundTempo(exact))
        return exact;
    const double shorter = simplestTempo(span.frames() - 1, m_e.sampleRate, beats);
    return isRoundTempo(shorter) ? shorter : exact;
}

TempoCandidate Chooser::loopCandidate(const Reading& r) const
{
    TempoCandidate c;
    c.beats = r.beats;
    c.tempo = spanTempo(r.span, r.beats);
    c.text = tempoText(c.tempo);
    c.offset = seconds(r.span.frames()) - 60.0 * r.beats / c.tempo;
    c.score = r.score;
    return c;
}

TempoCandidate Chooser::beatCandidate(double tempo, double precision) const
{
    TempoCandidate c;
    // A heard tempo is known to about a thousandth, or to `precision`: next to a round one it is the
    // likeliest of them, elsewhere it keeps a tenth.
    c.tempo = std::nearbyint(tempo * 10) / 10;
    std::optional<double> best;
    const double within = std::max(kHeardPrecision, 3 * precision) * tempo;
    forEachRoundTempo(tempo - within, tempo + within, [&](double round) {
        if (std::fabs(round - tempo) <= within &&
            (!best || roundLikelihood(round, tempo, precision) > roundLikelihood(*best, tempo, precision)))
            best = round;
    });
    if (best)
        c.tempo = *best;
    c.text = tempoText(c.tempo);
    c.score = m_e.onsets ? std::log(std::max(1e-3, support(60.0 / tempo, m_from))) : 0;
    return c;
}

// A loop trimmed by ear is a few milliseconds off its tempo's length: a rounder tempo whose length
// for the same beats lies close by, and that the onsets agree with, is what it was made at.
bool Chooser::rounded(const Reading& r, TempoChoice& choice) const
{
    const TempoCandidate exact = loopCandidate(r);
    choice.tempo = exact.tempo;
    choice.text = exact.text;
    choice.beats = r.beats;
    choice.offset = exact.offset;
    if (isRoundTempo(exact.tempo))
        return true;
    const double length = seconds(r.span.frames());
    double scatter = 0;
    const double line = refined(r.raw, seconds(r.span.start), std::nullopt, &scatter);
    const double fitted = barTempo(r.beats, line, m_to, scatter);
    const double precision = std::max(kMeasuredPrecision, kScatterShare * scatter);
    // The loop may end anywhere in silence after its sound, so long as the tempo is rounder.
    const double shortest = std::min(length, m_to - seconds(r.span.start)) - kTrimTolerance;
    const double longest = std::max(length, m_end - seconds(r.span.start)) + kTrimTolerance;
    // A loop rendered with silence before it and none after ends where the file does, and one cut off
    // into silence ends where its sound stops: its length is a measurement too.
    const Span file = whole();
    const bool fromSilence = r.span.start > file.start && r.span.start == soundStart(file);
    const bool cutOff = m_e.soundCut && r.span.end < file.end &&
                        r.span.end == std::clamp(m_e.soundEnd, r.span.start, file.end);
    const bool measured =
        (fromSilence && r.span.end == file.end && m_end - m_to <= kShortestSilence) || cutOff;
    const auto lengthOff = [&](double t) { return (60.0 * r.beats / t - length) / kBoundedPrecision; };
    const auto likelihood = [&](double t) {
        return roundLikelihood(t, fitted, precision) - (measured ? lengthOff(t) * lengthOff(t) / 2 : 0);
    };
    // Every rounder tempo whose length for these beats lies close to the file's: the likeliest
    // given where the onsets lie, and such a loop's length.
    std::optional<double> best;
    forEachRoundTempo(r.raw * 0.9, r.raw * 1.1, [&](double t) {
        const double loop = 60.0 * r.beats / t;
        if (bpm::inRange(t) && loop >= shortest && loop <= longest &&
            (!best || likelihood(t) > likelihood(*best)))
            best = t;
    });
    const bool agreed = best && (std::fabs(*best / fitted - 1) <= kRoundAgreement ||
                                 (measured && std::fabs(lengthOff(*best)) <= 2));
    if (best) {
        choice.tempo = *best;
        choice.text = tempoText(*best);
        choice.offset = length - 60.0 * r.beats / *best;
        choice.rounded = true;
        offerLengthHalfAndDouble(r, choice);
    }
    return agreed;
}

// For a tempo chosen by other means than the length: the length as it is first among the others,
// then the same beat counted half and twice as fast.
void Chooser::offerLengthHalfAndDouble(const Reading& r, TempoChoice& choice) const
{
    const TempoCandidate exact = loopCandidate(r);
    if (exact.text != choice.text && bpm::inRange(exact.tempo))
        choice.others.push_back(exact);
    for (const int times : {-2, 2}) {
        TempoCandidate c;
        c.tempo = scaledTempo(choice.tempo, times > 0 ? times : -1.0 / times);
        c.text = tempoText(c.tempo);
        c.beats = times > 0 ? r.beats * times : (r.beats % 2 == 0 ? r.beats / 2 : 0);
        if (bpm::inRange(c.tempo))
            choice.others.push_back(c);
    }
}

// For a loop whose length is no whole number of its beats, and so tells nothing of its metre: the
// other metre's reading of the beat itself, three quarters of it, since kicks a dotted eighth apart
// make a beat heard at 4/3 of the tempo.
void Chooser::offerOtherMetre(TempoChoice& choice) const
{
    TempoCandidate c = beatCandidate(choice.tempo * 0.75);
    c.beats = choice.beats % 4 == 0 ? choice.beats / 4 * 3 : 0;
    if (bpm::inRange(c.tempo))
        choice.others.push_back(c);
}

void Chooser::addOthers(TempoChoice& choice, const std::vector<TempoCandidate>& pool) const
{
    std::vector<TempoCandidate> sorted = pool;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TempoCandidate& a, const TempoCandidate& b) { return a.score > b.score; });
    const auto shown = [&](const TempoCandidate& c) {
        if (c.text == choice.text && (c.beats == choice.beats || c.beats == 0 || choice.beats == 0))
            return true;
        return std::any_of(choice.others.begin(), choice.others.end(),
                           [&](const TempoCandidate& o) { return o.text == c.text; });
    };
    // Half and double, and the other metre, come before anything else the score likes.
    const auto related = [&](const TempoCandidate& c) { return relation(c.tempo, choice.tempo) > 0; };
    for (const bool wantRelated : {true, false})
        for (const TempoCandidate& c : sorted) {
            if (choice.others.size() >= 4)
                return;
            if (related(c) == wantRelated && !shown(c) && bpm::inRange(c.tempo))
                choice.others.push_back(c);
        }
}

// A beat is heard when its grid meets clear hits, and not only the one a sound starts with: a tone
// or a pad has a single onset at its start, noise a flicker everywhere that no grid stands out of.
bool Chooser::beatHeard(const FittedGrid& grid) const
{
    const double from = std::min(m_from + kStartSkip, (m_from + m_to) / 2);
    const double support = gridSupport(*m_e.onsets, 60.0 / grid.bpm, grid.phase, from, m_to);
    const double strength = support * m_e.onsets->meanNearby(from, m_to) / std::max(m_e.onsets->level, 1e-9);
    return support >= kBeatFloor && strength >= kHitStrength;
}

std::optional<TempoChoice> Chooser::fromHints(const Span& whole) const
{
    const double length = seconds(whole.frames());
    const auto hinted = [&](double tempo, double beats, ChoiceReason reason) -> std::optional<TempoChoice> {
        // A chunk may hold anything: what is no positive number, or no count of beats a file
        // could hold, says nothing.
        constexpr double kMostBeats = 1 << 20;
        tempo = std::isfinite(tempo) && tempo > 0 ? tempo : 0;
        beats = std::isfinite(beats) && beats > 0 && beats <= kMostBeats ? beats : 0;
        if (tempo > 0 && !bpm::inRange(tempo))
            return std::nullopt;
        TempoChoice choice;
        choice.reason = reason;
        if (tempo <= 0) {
            // Beats alone: the tempo comes from the length.
            const int n = static_cast<int>(std::lround(beats));
            if (n < 1)
                return std::nullopt;
            Reading r;
            r.span = whole;
            r.beats = n;
            r.raw = 60.0 * n * m_rate / static_cast<double>(whole.frames());
            if (!bpm::inRange(r.raw))
                return std::nullopt;
            rounded(r, choice);
            return choice;
        }
        const double counted = beats > 0 ? beats : length * tempo / 60;
        const int n = counted <= kMostBeats ? static_cast<int>(std::lround(counted)) : 0;
        choice.tempo = std::nearbyint(tempo * 1e4) / 1e4;
        choice.text = tempoText(choice.tempo);
        choice.beats = std::max(n, 0);
        choice.offset = n > 0 ? length - 60.0 * n / tempo : 0;
        if (n > 0) {
            Reading r;
            r.span = whole;
            r.beats = n;
            offerLengthHalfAndDouble(r, choice);
        }
        return choice;
    };
    if (m_e.acidTempo > 0 || m_e.acidBeats > 0)
        if (auto c = hinted(m_e.acidTempo, m_e.acidBeats, ChoiceReason::Acid))
            return c;
    if (m_e.nameTempo > 0) {
        const double beats = std::round(length * m_e.nameTempo / 60);
        if (beats >= 1 && std::fabs(60.0 * beats / m_e.nameTempo - length) <= kNameTolerance * length)
            return hinted(m_e.nameTempo, beats, ChoiceReason::Name);
    }
    return std::nullopt;
}

// The tempo the onsets' times give near a grid's, in a few rounds: each one's line reaches onsets
// that the last one's grid missed. The grid's own tempo when they give none near it.
// The line starts with the sound, whose first hit, struck out of silence, peaks sooner than the
// same drum does later. But where the beats after it hold too few clear hits for a line (a bar with
// nothing but a soft hi-hat on its third beat), the first beat is taken in too, though it lies a
// hair before where the sound rises over the floor.
double Chooser::refined(double tempo, double phase, std::optional<double> to, double* standardError) const
{
    if (!m_e.onsets)
        return tempo;
    double out = tempo;
    for (int round = 0; round < 3; ++round) {
        double scatter = 0;
        double next = refineTempo(*m_e.onsets, 60.0 / out, phase, m_from, to.value_or(m_to), &scatter);
        if (round == 0 && !(next > 0) && phase < m_from)
            next = refineTempo(*m_e.onsets, 60.0 / out, phase, phase, to.value_or(m_to), &scatter);
        if (!(next > 0) || std::fabs(next / tempo - 1) > 0.03)
            break;
        out = next;
        if (standardError)
            *standardError = scatter;
    }
    return out;
}

double Chooser::barTempo(int beats, double tempo, double to, double lineError) const
{
    if (!m_e.onsets)
        return tempo;
    double out = tempo, best = 0;
    // Bars of four beats, or of three; a single bar of four, its halves.
    for (const int bar : {4, 3, 2}) {
        const bool half = bar == 2;
        if (beats % bar != 0 || beats < 2 * bar || (half && beats != 4))
            continue;
        // The first hit, struck out of silence, peaks a little sooner than the same drum does later:
        // among a bar's few hits that one pair would tilt its halves, so they are compared from a
        // sixteenth on.
        const double from = half ? m_from + 60.0 / tempo / 4 : m_from;
        double match = 0;
        const double repeat = repeatTempo(*m_e.onsets, tempo, bar, from, to, &match);
        // The halves pair more hits, like with like, than the line's few points through the beats; but
        // a sound ringing on under the first half (a crash, a long kick) moves its onsets against the
        // second's. So the halves' tempo is taken only within the line's standard error of the line's.
        if (half && std::fabs(repeat / tempo - 1) > lineError)
            continue;
        if (repeat > 0 && std::fabs(repeat / tempo - 1) <= kRepeatReach && match > best) {
            out = repeat;
            best = match;
        }
    }
    return out;
}

double Chooser::heardScore(const FittedGrid& grid) const
{
    return std::log(std::max(grid.support, 1e-3)) + kPriorWeight * std::log(tempoPrior(grid.bpm)) +
           kBackbeatWeight * backbeat(*m_e.onsets, 60.0 / grid.bpm, grid.phase, m_from, m_to);
}

// The beat heard in the onsets, wherever the length puts it, at the octave the prior and the
// backbeat like.
std::optional<FittedGrid> Chooser::hear() const
{
    if (!m_e.onsets)
        return std::nullopt;
    const Periodicity p = periodicity(*m_e.onsets, m_from, m_to);
    if (p.bpm > 0) {
        FittedGrid fit = fitGrid(*m_e.onsets, p.bpm, 0.03, m_from, m_to);
        double fitScore = heardScore(fit);
        // A beat in bars of three is no half of a slower one: every other beat of it falls on another
        // beat of the bar. A fill every fourth bar can make that grid meet the onsets better.
        const bool three = inThree(fit.bpm);
        // Kicks five sixteenths apart can make the onsets repeat more clearly there than at the beat:
        // the grids a quarter faster and a fifth slower are weighed too, where they meet more hits.
        const FittedGrid first = fit;
        for (const double times : {0.5, 2.0, 1.25, 0.8}) {
            const double tempo = first.bpm * times;
            if (tempo < kSlowest || tempo > kFastest || (three && times < 1))
                continue;
            const FittedGrid other = fitGrid(*m_e.onsets, tempo, 0.005, m_from, m_to);
            const bool fifths = times == 1.25 || times == 0.8;
            if (fifths && other.support <= first.support)
                continue;
            const double score = heardScore(other);
            if (score > fitScore) {
                fit = other;
                fitScore = score;
            }
        }
        // The grid search lands anywhere on a plateau a hop wide; the onsets' own times are finer.
        return refinedGrid(fit);
    }
    return std::nullopt;
}

double Chooser::lowRepeat(double bpm, int beats) const
{
    // A minute in the middle of a long take tells as much as the whole, in a fixed time and memory.
    constexpr double kLongest = 60;
    const double from = std::max(m_from, (m_from + m_to - kLongest) / 2);
    const double to = std::min(m_to, from + kLongest);
    return lowRepetition(*m_e.onsets, from, to, beats * 60.0 / bpm).value_or(-1);
}

// How closely the low hits repeat a bar later, for bars of three beats or of four at a tempo.
double Chooser::barRepetition(double bpm) const
{
    return std::max(lowRepeat(bpm, 3), lowRepeat(bpm, 4));
}

// A beat whose bars, of three beats or of four, do not repeat lies between the music's levels, where
// kicks three sixteenths apart put it (a dotted eighth heard as the beat, or a dotted quarter): the
// level at 3/2, 2/3, 3/4 or 4/3 of it whose bars repeat is the beat.
std::optional<FittedGrid> Chooser::repeatingLevel(const FittedGrid& heard) const
{
    if (!m_e.onsets)
        return std::nullopt;
    double best = barRepetition(heard.bpm);
    if (best >= kBarsApart)
        return std::nullopt;
    std::optional<FittedGrid> out;
    for (const double times : {1.5, 2.0 / 3, 0.75, 4.0 / 3}) {
        const double tempo = heard.bpm * times;
        if (tempo < kSlowest || tempo > kFastest)
            continue;
        const double repeat = barRepetition(tempo);
        if (repeat >= kBarsRepeat && repeat > best) {
            best = repeat;
            out = refinedGrid(fitGrid(*m_e.onsets, tempo, 0.005, m_from, m_to));
        }
    }
    return out;
}

// A loop whose file runs on past its last beat (silence, a ringing tail) or stops short of it: its
// beat measured from where its sound starts, and the whole beats of it that end between the sound's
// end and the file's.
std::optional<TempoChoice> Chooser::anchored(const std::vector<Reading>& readings, const Span& whole) const
{
    if (!m_e.onsets)
        return std::nullopt;
    std::vector<const Reading*> order;
    for (const Reading& r : readings)
        order.push_back(&r);
    std::sort(order.begin(), order.end(),
              [](const Reading* a, const Reading* b) { return a->score > b->score; });
    if (order.size() > 4)
        order.resize(4);
    // The beat heard, at any octave, before the other metre's readings of it (a tail's length moves a
    // reading a few per cent off the beat).
    if (m_heard)
        std::stable_partition(order.begin(), order.end(),
                              [&](const Reading* r) { return sameBeat(r->raw, m_heard->bpm, 0.03); });
    for (const Reading* r : order) {
        const double start = seconds(r->span.start);
        const double tempo = refined(r->raw, start);
        if (std::fabs(tempo / r->raw - 1) > 0.03)
            continue;
        const TempoCandidate beat = beatCandidate(tempo);
        if (!bpm::inRange(beat.tempo))
            continue;
        const double length = 60.0 * r->beats / beat.tempo;
        if (start + length < m_to - 2 * kTrimTolerance ||
            start + length > seconds(whole.end) + kTrimTolerance)
            continue;
        const double support = lateSupport(60.0 / beat.tempo, start);
        if (support < kLoopShare * fitGrid(*m_e.onsets, beat.tempo, 0.02, m_from, m_to).support)
            continue;
        if (m_heard && !related(beat.tempo, m_heard->bpm, heardTolerance()))
            continue;
        TempoChoice choice;
        choice.tempo = beat.tempo;
        choice.text = beat.text;
        choice.beats = r->beats;
        choice.offset = seconds(whole.frames()) - length;
        choice.reason =
            std::fabs(choice.offset) <= kTrimTolerance ? ChoiceReason::Loop : ChoiceReason::Mismatch;
        offerLengthHalfAndDouble(*r, choice);
        if (choice.reason == ChoiceReason::Mismatch)
            offerOtherMetre(choice);
        return choice;
    }
    return std::nullopt;
}

// A loop whose last notes were left to ring: the file runs on past its last bar with nothing new
// struck. Its bars end after the last hit; their tempo is what the onsets within them give.
std::optional<TempoChoice> Chooser::ringing(const Span& whole) const
{
    if (!m_e.onsets || !m_heard)
        return std::nullopt;
    const OnsetSignal& onsets = *m_e.onsets;
    const auto index = [&](double t) {
        return static_cast<std::size_t>(std::clamp(t * onsets.rate, 0.0, static_cast<double>(onsets.size())));
    };
    const std::size_t a = index(m_from), b = index(m_to);
    if (b <= a)
        return std::nullopt;
    const float strongest = *std::max_element(onsets.strength.begin() + a, onsets.strength.begin() + b);
    std::size_t last = b - 1;
    while (last > a && onsets.strength[last] < kTailHit * strongest)
        --last;
    const double lastHit = static_cast<double>(last) / onsets.rate;
    const double heardBpm = dottedQuarters(*m_heard) ? m_heard->bpm * 1.5 : m_heard->bpm;
    const double period = 60.0 / heardBpm;
    for (const int beats : kLoopBeats) {
        const double end = m_from + beats * period;
        // A single beat and its ring is a one-shot, not a loop.
        if (beats < 2 || end <= lastHit + kShortestSilence)
            continue;
        // The bars end within a beat of the last hit, and what follows is long and holds no hit.
        if (end > lastHit + period || seconds(whole.end) - end < std::max(kShortestTail, period))
            return std::nullopt;
        // The bars start with the sound: at the beat heard, or at twice it when its grid is the one
        // through the first hit. Read as a loop that ends with them, they may count the beat half or
        // twice as fast, where that reading scores clearly better. They are measured from where its
        // onset peaks.
        const Span bars{whole.start, whole.start + static_cast<std::int64_t>(
                                                       std::llround((end - seconds(whole.start)) * m_rate))};
        const std::vector<Reading> read = readings(bars);
        const auto weighed = [&](int count) {
            const auto r =
                std::find_if(read.begin(), read.end(), [&](const Reading& x) { return x.beats == count; });
            if (r == read.end())
                return -std::numeric_limits<double>::infinity();
            return count == beats ? r->score : r->score - kOctaveFromHeard;
        };
        std::vector<int> counts{beats, 2 * beats};
        if (beats % 4 == 0)
            counts.push_back(beats / 2);
        std::stable_sort(counts.begin(), counts.end(), [&](int a, int b) { return weighed(a) > weighed(b); });
        for (const int count : counts) {
            const double tempo = heardBpm * count / beats;
            double scatter = 0;
            const double line = refined(tempo, firstPeak(m_from), end, &scatter);
            const double measured = barTempo(count, line, end, scatter);
            const TempoCandidate beat =
                beatCandidate(measured, count <= 4 ? kRingingBarPrecision : kMeasuredPrecision);
            const double support = lateSupport(60.0 / beat.tempo, m_from, end);
            if (!bpm::inRange(beat.tempo) ||
                support < kLoopShare * fitGrid(onsets, beat.tempo, 0.02, m_from, end).support)
                continue;
            TempoChoice choice;
            choice.reason = ChoiceReason::Mismatch;
            choice.tempo = beat.tempo;
            choice.text = beat.text;
            choice.beats = count;
            choice.offset = seconds(whole.frames()) - 60.0 * choice.beats / beat.tempo;
            offerOtherMetre(choice);
            // The round tempo nearest what the bars' hits give, where the ring's rounding chose another.
            if (const TempoCandidate nearest = beatCandidate(measured); nearest.text != choice.text)
                choice.others.push_back(nearest);
            return choice;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

TempoChoice Chooser::choose()
{
    TempoChoice choice;
    if (m_e.frames <= 0 || m_e.sampleRate <= 0)
        return choice;
    const std::vector<Span> all = spans();
    if (all.empty())
        return choice;
    const Span& whole = all.front();
    m_from = seconds(std::clamp(m_e.soundStart, whole.start, whole.end));
    m_to = seconds(std::clamp(m_e.soundEnd, whole.start, whole.end));
    m_end = seconds(whole.end);
    if (m_to <= m_from) {
        m_from = seconds(whole.start);
        m_to = seconds(whole.end);
    }

    m_heard = hear();
    const std::optional<FittedGrid>& heard = m_heard;
    if (heard)
        choice.heard = heard->bpm;

    std::vector<Reading> all_readings;
    for (const Span& span : all)
        for (const Reading& r : readings(span))
            all_readings.push_back(r);
    const auto best = std::max_element(all_readings.begin(), all_readings.end(),
                                       [](const Reading& a, const Reading& b) { return a.score < b.score; });

    const bool beatless = m_e.onsets && (!heard || !beatHeard(*heard));
    // The beat heard counted half and twice as fast, for a reading taken from it: exactly half and
    // twice the tempo it was read at.
    const auto halfAndDouble = [&](double tempo) {
        std::vector<TempoCandidate> pool;
        for (const double times : {0.5, 2.0}) {
            TempoCandidate c = beatCandidate(heard->bpm * times);
            c.tempo = scaledTempo(tempo, times);
            c.text = tempoText(c.tempo);
            if (bpm::inRange(c.tempo))
                pool.push_back(c);
        }
        return pool;
    };

    if (auto hinted = fromHints(whole)) {
        const double heardTempo = choice.heard;
        choice = *hinted;
        choice.heard = heardTempo;
        std::vector<TempoCandidate> pool;
        for (const Reading& r : readings(whole))
            pool.push_back(loopCandidate(r));
        if (heard)
            pool.push_back(beatCandidate(heard->bpm));
        addOthers(choice, pool);
        return choice;
    }
    if (beatless) {
        choice.reason = ChoiceReason::NoBeat;
        return choice;
    }
    if (best == all_readings.end() && !heard)
        return choice;

    // A loop only when its grid meets the onsets about as well as the best grid near its tempo.
    bool loop = best != all_readings.end();
    const double exact = loop ? spanTempo(best->span, best->beats) : 0;
    if (loop && m_e.onsets) {
        const FittedGrid near = fitGrid(*m_e.onsets, best->raw, 0.02, m_from, m_to);
        // A length that is whole beats of a whole or half BPM to the frame is rarely chance: it may
        // be told from another beat than the one heard, and when it is that beat, its grid may meet
        // the onsets less well (a fill, a late first hit).
        const bool round = roundness(exact) >= 0.4;
        const bool heardIt = !heard || related(best->raw, heard->bpm, heardTolerance());
        const double own = lateSupport(seconds(best->span.frames()) / best->beats, seconds(best->span.start));
        // A bar or two is heard only roughly (a few per cent): whole beats of a quarter or a third of a
        // BPM to the frame whose grid meets the onsets well need not agree with it.
        loop = own >= (round && heardIt ? kRoundLoopShare : kLoopShare) * near.support &&
               (heardIt || isRoundTempo(exact));
    }
    // Whole beats that end in a long ring with nothing struck are no loop's unless they are whole
    // beats of a round tempo to the frame. The bars before the ring, where they are found.
    std::optional<TempoChoice> rang = loop && isRoundTempo(exact) ? std::nullopt : ringing(whole);
    if (loop && rang)
        loop = false;
    if (loop) {
        choice.reason = ChoiceReason::Loop;
        // A length that no round tempo near the onsets' fits is more than a trim off: the loop
        // measured from its onsets says by how much.
        if (!rounded(*best, choice))
            if (auto rescued = anchored(all_readings, whole)) {
                rescued->heard = choice.heard;
                choice = *rescued;
            }
        std::vector<TempoCandidate> pool;
        for (const Reading& r : readings(best->span))
            pool.push_back(loopCandidate(r));
        addOthers(choice, pool);
        return choice;
    }

    // A loop left ringing is read at its bars before the ring, never at a reading whose beats run on
    // through it (a beat of another metre, or half as fast, that the whole length happens to fit).
    std::optional<TempoChoice> rescued = rang ? std::nullopt : anchored(all_readings, whole);
    if (rescued) {
        rescued->heard = choice.heard;
        choice = *rescued;
        std::vector<TempoCandidate> pool;
        for (const Reading& r : readings(whole))
            pool.push_back(loopCandidate(r));
        addOthers(choice, pool);
        return choice;
    }

    if (rang) {
        rang->heard = choice.heard;
        choice = *rang;
        // The beat heard at the choice's octave (measured over the whole sound, it may round to another
        // tempo), and at half and twice it. Measured at another beat than the one heard (half as fast
        // again): its own half and double, then the beat heard.
        std::vector<TempoCandidate> pool;
        if (sameBeat(choice.tempo, heard->bpm, 0.03)) {
            const double octave = std::exp2(std::round(std::log2(choice.tempo / heard->bpm)));
            for (const double times : {1.0, 0.5, 2.0})
                if (bpm::inRange(heard->bpm * octave * times))
                    pool.push_back(beatCandidate(heard->bpm * octave * times));
        } else {
            for (const double tempo : {choice.tempo / 2, choice.tempo * 2, heard->bpm})
                if (bpm::inRange(tempo))
                    pool.push_back(beatCandidate(tempo));
        }
        addOthers(choice, pool);
        return choice;
    }

    // Not a loop: the tempo heard. Where the length lies close to whole beats of it, the sample is
    // a loop that was cut or rendered off its grid, and the reason says so.
    // The beat heard again at another level.
    const auto hearAt = [&](const FittedGrid& level) {
        m_heard = level;
        choice.heard = level.bpm;
    };
    if (const auto level = repeatingLevel(*m_heard))
        hearAt(*level);
    // A waltz's bars may be heard before its beats, or its triplets: the beat three times as fast, or
    // a third as fast, where its grid scores better.
    for (const double times : {3.0, 1.0 / 3}) {
        const double tempo = m_heard->bpm * times;
        if (tempo < kSlowest || tempo > kFastest)
            continue;
        const FittedGrid level = fitGrid(*m_e.onsets, tempo, 0.005, m_from, m_to);
        if (heardScore(level) > heardScore(*m_heard))
            hearAt(refinedGrid(level));
    }
    if (dottedQuarters(*m_heard))
        hearAt(refinedGrid(fitGrid(*m_e.onsets, m_heard->bpm * 1.5, 0.005, m_from, m_to)));
    // A beat faster than the tempo box takes is told at half its count.
    const TempoCandidate beat = beatCandidate(bpm::inRange(heard->bpm) ? heard->bpm : heard->bpm / 2);
    choice.reason = ChoiceReason::Estimate;
    choice.tempo = beat.tempo;
    choice.text = beat.text;
    const double length = seconds(whole.frames());
    const double beats = length * beat.tempo / 60;
    const int whole_beats = static_cast<int>(std::lround(beats));
    if (std::find(std::begin(kLoopBeats), std::end(kLoopBeats), whole_beats) != std::end(kLoopBeats) &&
        std::fabs(beats - whole_beats) * 60 / beat.tempo <= 0.25) {
        choice.beats = whole_beats;
        choice.offset = length - 60.0 * whole_beats / beat.tempo;
        // Off by no more than a trim: a loop cut by ear, as the beat heard bears out.
        choice.reason =
            std::fabs(choice.offset) <= kTrimTolerance ? ChoiceReason::Loop : ChoiceReason::Mismatch;
    }
    std::vector<TempoCandidate> pool = halfAndDouble(choice.tempo);
    if (choice.beats > 0 && best != all_readings.end())
        pool.push_back(loopCandidate(*best));
    addOthers(choice, pool);
    return choice;
}

// A quarter or a third of a BPM told by the beat alone is known to a few tenths of one: the other
// quarter or third nearest the beat heard is likelier than the whole BPM on the choice's far side.
// None for a half, which lies as near both wholes, nor where the beat was heard at another level.
std::optional<double> nearerQuarterOrThird(const TempoChoice& choice)
{
    if (!(choice.heard > 0) || std::fabs(choice.heard / choice.tempo - 1) > 0.01 ||
        std::fabs(choice.tempo * 2 - std::nearbyint(choice.tempo * 2)) < 1e-9)
        return std::nullopt;
    std::optional<double> out;
    forEachRoundTempo(choice.tempo - 0.5, choice.tempo + 0.5, [&](double round) {
        if (tempoText(round) != choice.text && std::fabs(round - std::nearbyint(round)) > 1e-9 &&
            (!out || std::fabs(round - choice.heard) < std::fabs(*out - choice.heard)))
            out = round;
    });
    return out;
}

// Where a loop's tempo rests on where its onsets lie (trimmed by ear, measured from its beat), a few
// seconds of a drummer's hits a few milliseconds off can move it by a quarter or a whole BPM: the
// whole BPM nearest the beat heard, on the other side of the choice when the choice is whole, is
// offered too, and so is the whole BPM nearest the length. A take's beat, heard over far longer, is
// known too well for that. A whole BPM takes the place of a reading that repeats a relation already
// offered, or of one that is no relation of the choice at all, never of half, double or the other metre.
// A loop whose length is no whole number of its beats (left ringing, say) is measured from its beat
// alone, which the drums on its beats tilt by up to half a BPM: the whole BPMs either side of a choice
// that is not whole are offered where there is room, or in place of a relation offered twice.
void offerNearestWhole(const TempoEvidence& evidence, TempoChoice& choice)
{
    if (choice.tempo <= 0 || (choice.reason != ChoiceReason::Loop && choice.reason != ChoiceReason::Mismatch))
        return;
    // A length that is the choice's beats to the frame has told the tempo already.
    const double frame = evidence.sampleRate > 0 ? 1.0 / evidence.sampleRate : 0;
    if (choice.beats > 0 && std::fabs(choice.offset) <= frame)
        return;
    // Measured against the stretch the choice was: without the silence it left out.
    const double length = choice.beats > 0 ? choice.offset + 60.0 * choice.beats / choice.tempo : 0;
    const auto offer = [&](double whole, double slack, bool overUnrelated = true) {
        if (!bpm::inRange(whole))
            return;
        TempoCandidate c;
        c.tempo = whole;
        c.text = tempoText(whole);
        if (choice.beats > 0 && evidence.sampleRate > 0) {
            c.beats = choice.beats;
            c.offset = length - 60.0 * c.beats / whole;
            // Its beats must fit the length about as well as the choice's do.
            if (std::fabs(c.offset) > slack)
                return;
        }
        const auto shown = [&](const TempoCandidate& o) { return o.text == c.text; };
        if (c.text == choice.text || std::any_of(choice.others.begin(), choice.others.end(), shown))
            return;
        if (choice.others.size() < 4) {
            choice.others.push_back(c);
            return;
        }
        for (std::size_t i = choice.others.size(); i-- > 0;) {
            const int r = relation(choice.others[i].tempo, choice.tempo);
            const bool repeated = r >= 0 && std::any_of(choice.others.begin(), choice.others.begin() + i,
                                                        [&](const TempoCandidate& o) {
                                                            return relation(o.tempo, choice.tempo) == r;
                                                        });
            if ((r < 0 && overUnrelated) || repeated) {
                choice.others[i] = c;
                return;
            }
        }
    };
    if (choice.heard > 0 && std::fabs(choice.heard / choice.tempo - 1) <= 0.01) {
        double whole = std::nearbyint(choice.heard);
        if (std::fabs(whole - choice.tempo) < 1e-9)
            whole = choice.tempo + (choice.heard >= choice.tempo ? 1 : -1);
        if (std::fabs(whole / choice.heard - 1) <= 0.01)
            offer(whole, std::fabs(choice.offset) + kTrimTolerance);
    }
    if (choice.reason == ChoiceReason::Mismatch) {
        const double below = std::floor(choice.tempo), above = below + 1;
        // The nearer last, so that it keeps its place where only one fits.
        const bool nearerAbove = above - choice.tempo < choice.tempo - below;
        if (choice.tempo > below) {
            const double far = nearerAbove ? below : above;
            offer(nearerQuarterOrThird(choice).value_or(far), std::fabs(choice.offset) + kTrimTolerance,
                  false);
            offer(nearerAbove ? above : below, std::fabs(choice.offset) + kTrimTolerance, false);
        }
    }
    // The onsets may have moved the choice off what the length gives (a loop of one bar measured from
    // four hits): the length's own whole BPM, when its beats fit within a trim.
    if (length > 0 && choice.reason == ChoiceReason::Loop)
        offer(std::nearbyint(60.0 * choice.beats / length), kTrimTolerance);
}

} // namespace

bool isRoundTempo(double tempo)
{
    const double twelfths = tempo * 12;
    // Thirds are kept to four decimals (133.3333), a few hundred-thousandths off the third itself.
    return std::fabs(twelfths - std::nearbyint(twelfths)) <= 12 * 0.00006 &&
           (std::fmod(std::nearbyint(twelfths), 3) == 0 || std::fmod(std::nearbyint(twelfths), 4) == 0);
}

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

TempoChoice chooseTempo(const TempoEvidence& evidence)
{
    TempoChoice choice = Chooser(evidence).choose();
    // The beat is heard at the level the prior likes; shown beside the choice, it is told at the
    // choice's own octave (174 heard as 87 reads 174.02), so the two are seen to agree.
    if (choice.heard > 0 && choice.tempo > 0)
        for (const double times : {2.0, 4.0, 0.5, 0.25})
            if (std::fabs(choice.heard * times / choice.tempo - 1) < 0.03) {
                choice.heard *= times;
                break;
            }
    offerNearestWhole(evidence, choice);
    return choice;
}

} // namespace korvo::sample
