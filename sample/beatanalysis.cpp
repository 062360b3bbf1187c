#include "sample/beatanalysis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <kiss_fftr.h>
#include <numbers>

namespace korvo::sample {
namespace {

// The sound is averaged down to about 11 kHz first: the attacks of drums and plucks all show below
// 5 kHz, and a quarter of the samples make the transform four times cheaper on long files.
constexpr int kAnalysisRate = 11025;
// A 46 ms window every 5.8 ms at that rate: fine enough for a grid of sixteenths at 200 BPM.
constexpr int kWindow = 512;
constexpr int kHop = 64;
constexpr std::size_t kBins = kWindow / 2; // above DC, up to the Nyquist frequency
// The bins below about 150 Hz, where a kick's weight lies and a snare's or a hi-hat's hardly does.
constexpr std::size_t kLowBins = 7;
// How far either side of a grid point its onset may lie: two hops, about 12 ms, wider than the
// spread of a drummer's hits on a tight loop and narrower than a sixteenth at 250 BPM.
constexpr int kNearbyHops = 2;
// The flux is taken on log magnitudes, which hears a quiet hi-hat after a loud kick; the factor
// sets where the logarithm starts, so dither-level noise adds next to nothing.
constexpr float kCompression = 1000;
// The strength counts above the mean of its surroundings (a quarter of a second either side), so a
// pad swelling or a long noise does not read as a row of onsets.
constexpr double kSurroundSeconds = 0.25;

// The natural logarithm of a positive normal float to about 1e-5: the exponent from the bits and a
// polynomial for the mantissa. The library's logarithm took a fifth of the time on long files, once
// for every bin of every frame, where a ten-thousandth is far finer than any onset needs.
float fastLog(float x)
{
    const auto bits = std::bit_cast<std::uint32_t>(x);
    const int exponent = static_cast<int>((bits >> 23) & 0xFF) - 127;
    const float t = std::bit_cast<float>((bits & 0x7FFFFFu) | 0x3F800000u) - 1.0f; // mantissa - 1, 0..1
    const float log2Mantissa =
        t *
        (1.4426950f +
         t * (-0.7213475f +
              t * (0.4778107f + t * (-0.3371034f + t * (0.1986310f + t * (-0.0774330f + t * 0.0143356f))))));
    return (static_cast<float>(exponent) + log2Mantissa) * std::numbers::ln2_v<float>;
}

} // namespace

struct OnsetDetector::State
{
    int decimation = 1;
    double rate = 0;
    float sum = 0;
    int summed = 0;
    std::vector<float> window; // the Hann window
    std::vector<float> ring;   // the last kWindow decimated samples, oldest first after `at`
    std::size_t at = 0;        // where the next sample goes
    int sinceFrame = 0;        // samples since the last transform
    std::vector<float> frame;  // windowed samples for the transform
    std::vector<kiss_fft_cpx> spectrum;
    std::array<float, kBins> levels{};   // this frame's log magnitudes
    std::array<float, kBins> previous{}; // the last frame's
    std::vector<float> flux;
    std::vector<std::uint8_t> lowShare;
    double total = 0; // every frame's log magnitudes, summed
    kiss_fftr_cfg fft = nullptr;

    void transform()
    {
        // The ring from its oldest sample on, in two straight runs that the compiler vectorises.
        const std::size_t older = kWindow - at;
        for (std::size_t i = 0; i < older; ++i)
            frame[i] = ring[at + i] * window[i];
        for (std::size_t i = older; i < kWindow; ++i)
            frame[i] = ring[i - older] * window[i];
        kiss_fftr(fft, frame.data(), spectrum.data());
        // Magnitudes as amplitudes of a full-scale sine: the Hann window's sum is kWindow / 2. The
        // bins above DC, a fixed count of them in plain loops without a running sum, so the
        // compiler vectorises the logarithms; the sums follow in a loop of their own.
        constexpr float scale = 4.0f / kWindow;
        for (std::size_t k = 0; k < kBins; ++k) {
            const kiss_fft_cpx& x = spectrum[k + 1];
            levels[k] = fastLog(1.0f + kCompression * scale * std::sqrt(x.r * x.r + x.i * x.i));
        }
        float low = 0;
        for (std::size_t k = 0; k < kLowBins; ++k)
            low += std::max(0.0f, levels[k] - previous[k]);
        float rise = 0;
        float sum = 0;
        for (std::size_t k = 0; k < kBins; ++k) {
            rise += std::max(0.0f, levels[k] - previous[k]);
            sum += levels[k];
        }
        std::swap(levels, previous);
        flux.push_back(rise);
        // The low bins' rises are among the whole spectrum's: the share never passes 1.
        lowShare.push_back(rise > 0 ? static_cast<std::uint8_t>(std::lround(255 * low / rise)) : 0);
        total += sum;
    }
};

OnsetDetector::OnsetDetector(int sampleRate) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.decimation =
        std::max(1, static_cast<int>(std::lround(static_cast<double>(sampleRate) / kAnalysisRate)));
    s.rate = static_cast<double>(sampleRate) / s.decimation / kHop;
    s.window.resize(kWindow);
    for (int i = 0; i < kWindow; ++i)
        s.window[static_cast<std::size_t>(i)] =
            static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / kWindow));
    // The ring starts as silence before the sound, so a hit on the very first sample is heard.
    s.ring.assign(kWindow, 0.0f);
    s.frame.resize(kWindow);
    s.spectrum.resize(kWindow / 2 + 1);

    s.fft = kiss_fftr_alloc(kWindow, 0, nullptr, nullptr);
}

OnsetDetector::~OnsetDetector()
{
    if (m_state && m_state->fft)
        kiss_fftr_free(m_state->fft);
}

void OnsetDetector::add(std::span<const float> mono)
{
    State& s = *m_state;
    if (!s.fft)
        return;
    // A decimated sample at a time: its samples summed in order in a loop of their own.
    for (std::size_t i = 0; i < mono.size();) {
        const std::size_t take = std::min(mono.size() - i, static_cast<std::size_t>(s.decimation - s.summed));
        float sum = s.sum;
        for (std::size_t k = 0; k < take; ++k)
            sum += mono[i + k];
        i += take;
        s.summed += static_cast<int>(take);
        s.sum = sum;
        if (s.summed < s.decimation)
            break;
        s.ring[s.at] = s.sum / static_cast<float>(s.decimation);
        s.at = (s.at + 1) & (kWindow - 1);
        s.sum = 0;
        s.summed = 0;
        if (++s.sinceFrame == kHop) {
            s.sinceFrame = 0;
            s.transform();
        }
    }
}

OnsetSignal OnsetDetector::finish()
{
    State& s = *m_state;
    OnsetSignal out;
    out.rate = s.rate;
    const std::vector<float>& flux = s.flux;
    const std::size_t n = flux.size();
    out.level = n > 0 ? s.total / static_cast<double>(n) : 0;
    // A frame's flux peaks as an attack enters the leading edge of its window: transform j ends at
    // sample (j + 1) * kHop, so its value is the onset of about one hop before that.
    std::vector<double> sums(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        sums[i + 1] = sums[i] + flux[i];
    const auto surround = static_cast<std::size_t>(std::lround(kSurroundSeconds * s.rate));
    out.strength.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t a = i > surround ? i - surround : 0;
        const std::size_t b = std::min(n, i + surround + 1);
        const double mean = (sums[b] - sums[a]) / static_cast<double>(b - a);
        out.strength[i] = static_cast<float>(std::max(0.0, flux[i] - mean));
    }
    out.lowShare = std::move(s.lowShare);
    out.nearby.resize(n);
    out.nearbySums.assign(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t a = i > kNearbyHops ? i - kNearbyHops : 0;
        const std::size_t b = std::min(n, i + kNearbyHops + 1);
        out.nearby[i] = *std::max_element(out.strength.begin() + static_cast<std::ptrdiff_t>(a),
                                          out.strength.begin() + static_cast<std::ptrdiff_t>(b));
        out.nearbySums[i + 1] = out.nearbySums[i] + out.nearby[i];
    }
    kiss_fftr_free(s.fft);
    s.fft = nullptr;
    return out;
}

double OnsetSignal::meanNearby(double from, double to) const
{
    const auto a =
        static_cast<std::size_t>(std::clamp(std::lround(from * rate), 0L, static_cast<long>(size())));
    const auto b =
        static_cast<std::size_t>(std::clamp(std::lround(to * rate), 0L, static_cast<long>(size())));
    return b > a ? (nearbySums[b] - nearbySums[a]) / static_cast<double>(b - a) : 0;
}

float OnsetSignal::nearbyAt(double seconds) const
{
    // Rounded by hand: the library's lround was a tenth of a long file's analysis.
    const double at = seconds * rate + 0.5;
    if (!(at >= 0) || at >= static_cast<double>(size()))
        return 0.0f;
    return nearby[static_cast<std::size_t>(at)];
}

double gridSupport(const OnsetSignal& onsets, double period, double phase, double from, double to)
{
    const double mean = onsets.meanNearby(from, to);
    if (!(period > 0) || !(mean > 0) || !(to > from))
        return 0;
    // The points from the first at or after `from`, going back from the phase as far as it lies.
    const double first = phase - std::floor((phase - from) / period) * period;
    double sum = 0;
    int count = 0;
    for (double t = first; t < to - 0.5 / onsets.rate; t = first + period * ++count)
        sum += onsets.nearbyAt(t);
    return count > 0 ? sum / count / mean : 0;
}

double tempoPrior(double bpm)
{
    // A bell an octave wide each side: 60 and 240 weigh 0.61 of 120, 30 a seventh.
    constexpr double kOctaves = 1.0;
    const double octaves = std::log2(bpm / 120.0) / kOctaves;
    return std::exp(-0.5 * octaves * octaves);
}

Periodicity periodicity(const OnsetSignal& onsets, double from, double to)
{
    Periodicity result;
    const long n = static_cast<long>(onsets.size());
    const long a = std::clamp(std::lround(from * onsets.rate), 0L, n);
    const long b = std::clamp(std::lround(to * onsets.rate), 0L, n);
    const long shortest = std::lround(60.0 / kFastest * onsets.rate);
    const long longest = std::min(std::lround(60.0 / kSlowest * onsets.rate), (b - a) / 2);
    // A signal too coarse to hold the fastest beat's period in whole values has no periodicity to give.
    if (shortest < 1 || longest <= shortest + 1)
        return result;
    double mean = 0;
    for (long i = a; i < b; ++i)
        mean += onsets.strength[static_cast<std::size_t>(i)];
    mean /= static_cast<double>(b - a);
    std::vector<float> x(static_cast<std::size_t>(b - a));
    double energy = 0;
    for (long i = a; i < b; ++i) {
        x[static_cast<std::size_t>(i - a)] =
            static_cast<float>(onsets.strength[static_cast<std::size_t>(i)] - mean);
        energy += double(x[static_cast<std::size_t>(i - a)]) * x[static_cast<std::size_t>(i - a)];
    }
    if (!(energy > 0))
        return result;
    std::vector<double> r(static_cast<std::size_t>(longest + 2), 0.0);
    const long m = b - a;
    for (long lag = shortest - 1; lag <= longest + 1 && lag < m; ++lag) {
        double sum = 0;
        for (long i = 0; i + lag < m; ++i)
            sum += double(x[static_cast<std::size_t>(i)]) * x[static_cast<std::size_t>(i + lag)];
        // Scaled for the overlap, so long lags are not starved by the shorter sum.
        r[static_cast<std::size_t>(lag)] =
            sum / energy * static_cast<double>(m) / static_cast<double>(m - lag);
    }
    long best = 0;
    double bestWeight = 0;
    for (long lag = shortest; lag <= longest; ++lag) {
        const double v = r[static_cast<std::size_t>(lag)];
        if (v <= r[static_cast<std::size_t>(lag - 1)] || v < r[static_cast<std::size_t>(lag + 1)])
            continue;
        const double weight = v * tempoPrior(60.0 * onsets.rate / static_cast<double>(lag));
        if (weight > bestWeight) {
            bestWeight = weight;
            best = lag;
        }
    }
    if (best == 0)
        return result;
    // The peak between lags, from the parabola through it and its neighbours.
    const double l = r[static_cast<std::size_t>(best - 1)], c = r[static_cast<std::size_t>(best)],
                 h = r[static_cast<std::size_t>(best + 1)];
    const double denominator = l - 2 * c + h;
    const double shift = denominator < 0 ? std::clamp(0.5 * (l - h) / denominator, -0.5, 0.5) : 0;
    result.bpm = 60.0 * onsets.rate / (static_cast<double>(best) + shift);
    result.clarity = std::clamp(c, 0.0, 1.0);
    return result;
}

FittedGrid fitGrid(const OnsetSignal& onsets, double bpm, double spread, double from, double to)
{
    FittedGrid best;
    if (!(bpm > 0) || !(to > from) || onsets.rate <= 0)
        return best;
    // A minute in the middle of a long take is enough to find its grid, and keeps the search's
    // time the same for any length; refineTempo then takes in the whole.
    constexpr double kLongest = 60;
    if (to - from > kLongest) {
        from = (from + to - kLongest) / 2;
        to = from + kLongest;
    }
    // Coarse to fine: 41 tempos across the spread, then 41 across the best step and its neighbours.
    // No spread: the phase alone.
    double low = bpm * (1 - spread), high = bpm * (1 + spread);
    const double hop = 1 / onsets.rate;
    const int steps = spread > 0 ? 40 : 0;
    for (int pass = 0; pass < (steps > 0 ? 3 : 1); ++pass) {
        const double step = steps > 0 ? (high - low) / steps : 0;
        for (int i = 0; i <= steps; ++i) {
            const double tempo = low + step * i;
            const double period = 60.0 / tempo;
            for (double phase = from; phase < from + period; phase += hop) {
                // Over a short loop many tempos meet every hit alike: of grids that meet the onsets
                // equally well, the one nearest the tempo searched from.
                const double support = gridSupport(onsets, period, phase, from, to);
                const double tie = 1e-6 * std::max(support, best.support);
                if (support > best.support + tie ||
                    (support >= best.support - tie && std::fabs(tempo - bpm) < std::fabs(best.bpm - bpm)))
                    best = {tempo, phase, support};
            }
        }
        low = best.bpm - step;
        high = best.bpm + step;
    }
    return best;
}

double backbeat(const OnsetSignal& onsets, double period, double phase, double from, double to)
{
    if (!(period > 0) || !(to > from) || onsets.lowShare.size() != onsets.size())
        return 0;
    // Each point's share of low rise, weighed by how strong its hit is, so the faint notes between
    // the hits count for little.
    struct Point
    {
        double share;
        double weight;
    };
    std::vector<Point> points;
    const long n = static_cast<long>(onsets.size());
    const double first = phase - std::floor((phase - from) / period) * period;
    for (int k = 0;; ++k) {
        const double t = first + period * k;
        if (t >= to)
            break;
        const long centre = std::lround(t * onsets.rate);
        // The hit is the strongest value near the point.
        long hit = -1;
        for (long i = std::max(0L, centre - kNearbyHops); i <= std::min(n - 1, centre + kNearbyHops); ++i)
            if (hit < 0 ||
                onsets.strength[static_cast<std::size_t>(i)] > onsets.strength[static_cast<std::size_t>(hit)])
                hit = i;
        if (hit < 0)
            continue;
        const auto at = static_cast<std::size_t>(hit);
        points.push_back({onsets.lowShare[at] / 255.0, onsets.strength[at]});
    }
    // Whole pairs of points, at least two of them.
    points.resize(points.size() & ~std::size_t{1});
    if (points.size() < 4)
        return 0;
    double weight = 0, mean = 0;
    for (const Point& p : points) {
        weight += p.weight;
        mean += p.weight * p.share;
    }
    if (!(weight > 0))
        return 0;
    mean /= weight;
    double turns = 0;
    for (std::size_t k = 0; k < points.size(); ++k)
        turns += (k % 2 == 0 ? 1 : -1) * points[k].weight * (points[k].share - mean);
    return std::fabs(2 * turns / weight);
}

namespace {

// The low rise at onset value `i`, at its strongest within a few milliseconds of it, so a kick a hop off
// still counts.
double lowNearby(const OnsetSignal& onsets, long i)
{
    const long n = static_cast<long>(onsets.size());
    double strongest = 0;
    for (long j = std::max(0L, i - kNearbyHops); j <= std::min(n - 1, i + kNearbyHops); ++j) {
        const auto at = static_cast<std::size_t>(j);
        strongest = std::max(strongest, onsets.strength[at] * (onsets.lowShare[at] / 255.0));
    }
    return strongest;
}

} // namespace

double lowGridSupport(const OnsetSignal& onsets, double period, double phase, double from, double to)
{
    if (onsets.lowShare.size() != onsets.size() || !(period > 0) || !(to > from))
        return 0;
    const double first = phase - std::floor((phase - from) / period) * period;
    double sum = 0;
    int count = 0;
    for (double t = first; t < to - 0.5 / onsets.rate; t = first + period * ++count)
        sum += lowNearby(onsets, std::lround(t * onsets.rate));
    return count > 0 ? sum / count : 0;
}

std::optional<double> lowRepetition(const OnsetSignal& onsets, double from, double to, double lag)
{
    const long n = static_cast<long>(onsets.size());
    if (onsets.lowShare.size() != onsets.size() || !(lag > 0))
        return std::nullopt;
    const long a = std::clamp(std::lround(from * onsets.rate), 0L, n);
    const long b = std::clamp(std::lround(to * onsets.rate), 0L, n);
    const long shift = std::lround(lag * onsets.rate);
    const long m = b - a;
    if (shift < 1 || shift >= m)
        return std::nullopt;
    // The low rise near each value, so a kick a hop off still meets itself.
    std::vector<double> low(static_cast<std::size_t>(m));
    double mean = 0;
    for (long i = 0; i < m; ++i) {
        low[static_cast<std::size_t>(i)] = lowNearby(onsets, a + i);
        mean += low[static_cast<std::size_t>(i)];
    }
    mean /= static_cast<double>(m);
    double energy = 0, sum = 0;
    for (long i = 0; i < m; ++i) {
        const double x = low[static_cast<std::size_t>(i)] - mean;
        energy += x * x;
        sum += x * (low[static_cast<std::size_t>((i + shift) % m)] - mean);
    }
    if (!(energy > 0))
        return std::nullopt;
    return sum / energy;
}

double repeatTempo(const OnsetSignal& onsets, double bpm, int beats, double from, double to, double* match)
{
    *match = 0;
    const long n = static_cast<long>(onsets.size());
    const long a = std::clamp(std::lround(from * onsets.rate), 0L, n);
    const long b = std::clamp(std::lround(to * onsets.rate), 0L, n);
    if (!(bpm > 0) || beats < 1)
        return 0;
    const double lag = 60.0 * beats / bpm * onsets.rate;
    const long shortest = static_cast<long>(std::floor(lag * 0.98)) - 1;
    const long longest = static_cast<long>(std::ceil(lag * 1.02)) + 1;
    if (shortest < 1 || longest >= b - a)
        return 0;
    const auto at = [&](long i) { return static_cast<double>(onsets.strength[static_cast<std::size_t>(i)]); };
    double energy = 0;
    for (long i = a; i < b; ++i)
        energy += at(i) * at(i);
    if (!(energy > 0))
        return 0;
    // The sum of products over the overlap locates the lag. Divided by the overlap, as the match is,
    // it would lean to the longer lags, whose overlap is shorter, and the more so the fewer hits meet.
    std::vector<double> r(static_cast<std::size_t>(longest - shortest + 1));
    for (long shift = shortest; shift <= longest; ++shift) {
        double sum = 0;
        for (long i = a; i + shift < b; ++i)
            sum += at(i) * at(i + shift);
        r[static_cast<std::size_t>(shift - shortest)] = sum;
    }
    const auto best = std::max_element(r.begin() + 1, r.end() - 1);
    const double l = *(best - 1), c = *best, h = *(best + 1);
    const double denominator = l - 2 * c + h;
    const double shift = denominator < 0 ? std::clamp(0.5 * (l - h) / denominator, -0.5, 0.5) : 0;
    const long lagged = shortest + (best - r.begin());
    // The mean product over the overlap, against the mean square.
    *match =
        std::clamp(c / static_cast<double>(b - a - lagged) / (energy / static_cast<double>(b - a)), 0.0, 1.0);
    return 60.0 * beats * onsets.rate / (static_cast<double>(lagged) + shift);
}

double refineTempo(const OnsetSignal& onsets, double period, double phase, double from, double to,
                   double* standardError)
{
    if (!(period > 0) || !(to > from) || onsets.rate <= 0)
        return 0;
    const long n = static_cast<long>(onsets.size());
    const double reach = std::min(period / 4, 0.03) * onsets.rate;
    struct Hit
    {
        double index;
        double time;
        double weight;
    };
    std::vector<Hit> hits;
    double strongest = 0;
    const double first = phase - std::floor((phase - from) / period) * period;
    for (int k = 0;; ++k) {
        const double t = first + period * k;
        if (t >= to)
            break;
        const double centre = t * onsets.rate;
        const long a = std::max(1L, static_cast<long>(std::ceil(centre - reach)));
        const long b = std::min(n - 2, static_cast<long>(std::floor(centre + reach)));
        long peak = -1;
        for (long i = a; i <= b; ++i) {
            const float v = onsets.strength[static_cast<std::size_t>(i)];
            if (v > 0 && v >= onsets.strength[static_cast<std::size_t>(i - 1)] &&
                v >= onsets.strength[static_cast<std::size_t>(i + 1)] &&
                (peak < 0 || v > onsets.strength[static_cast<std::size_t>(peak)]))
                peak = i;
        }
        if (peak < 0)
            continue;
        const double l = onsets.strength[static_cast<std::size_t>(peak - 1)],
                     c = onsets.strength[static_cast<std::size_t>(peak)],
                     h = onsets.strength[static_cast<std::size_t>(peak + 1)];
        const double denominator = l - 2 * c + h;
        const double shift = denominator < 0 ? std::clamp(0.5 * (l - h) / denominator, -0.5, 0.5) : 0;
        hits.push_back({static_cast<double>(k), (static_cast<double>(peak) + shift) / onsets.rate, c});
        strongest = std::max(strongest, c);
    }
    // Weak hits are ghost notes or bleed, often off the grid: only the clear ones steer the line.
    std::erase_if(hits, [strongest](const Hit& h) { return h.weight < 0.2 * strongest; });
    if (hits.size() < 3)
        return 0;
    double w = 0, k = 0, t = 0;
    for (const Hit& h : hits) {
        w += h.weight;
        k += h.weight * h.index;
        t += h.weight * h.time;
    }
    k /= w;
    t /= w;
    double kk = 0, kt = 0;
    for (const Hit& h : hits) {
        kk += h.weight * (h.index - k) * (h.index - k);
        kt += h.weight * (h.index - k) * (h.time - t);
    }
    if (!(kk > 0) || !(kt > 0))
        return 0;
    if (standardError) {
        const double slope = kt / kk; // seconds a beat
        double residuals = 0;
        for (const Hit& h : hits) {
            const double r = h.time - t - slope * (h.index - k);
            residuals += h.weight * r * r;
        }
        const double freedom = std::max(1.0, static_cast<double>(hits.size()) - 2);
        *standardError = std::sqrt(residuals / freedom / kk) / slope;
    }
    return 60.0 * kk / kt;
}

} // namespace korvo::sample
