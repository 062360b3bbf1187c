// A sample's tempo from anything. The first byte chooses what the rest is:
//  - even: a file's bytes, analysed whole as a dropped file is (libsndfile, the default estimate, the
//    choice);
//  - odd: a length in frames, a sample rate and an estimate for the choice alone, then samples of
//    any value (NaN and infinities included) for the default estimate at that rate.
// Nothing may crash, and whatever tempo comes out must be one a tempo box accepts.
#include "check.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "sample/sampleanalysis.h"
#include "sample/tempochoice.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <span>
#include <string_view>
#include <vector>

namespace {

using namespace korvo::sample;

void checkChoice(const TempoChoice& choice, double estimate)
{
    int previousBeats = 0;
    for (const TempoCandidate& c : choice.candidates) {
        KORVO_FUZZ_CHECK(korvo::bpm::inRange(c.tempo), "every reading lies within 1..250");
        KORVO_FUZZ_CHECK(c.beats > previousBeats, "readings come fewest beats first, each once");
        previousBeats = c.beats;
        KORVO_FUZZ_CHECK(!c.text.empty() && korvo::readStrict(c.text).has_value(),
                         "a reading's text is a number");
    }
    switch (choice.reason) {
    case ChoiceReason::Loop:
        KORVO_FUZZ_CHECK(choice.beats > 0, "a loop has its beats");
        break;
    case ChoiceReason::Estimate:
        KORVO_FUZZ_CHECK(std::isfinite(estimate) && estimate > 0,
                         "only an estimate gives a tempo without a loop");
        KORVO_FUZZ_CHECK(choice.tempo >= kUsualLowest && choice.tempo <= kUsualAbove,
                         "the estimate is brought into the usual range");
        break;
    case ChoiceReason::NotFound:
        KORVO_FUZZ_CHECK(choice.text.empty(), "nothing found writes nothing");
        return;
    }
    KORVO_FUZZ_CHECK(korvo::bpm::inRange(korvo::readLenient(choice.text)),
                     "the tempo written is a valid tempo");
}

template <typename T> T take(std::string_view& bytes)
{
    T value{};
    const std::size_t n = std::min(sizeof value, bytes.size());
    std::memcpy(&value, bytes.data(), n);
    bytes.remove_prefix(n);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0) {
        const Analysis a = analyseBytes(bytes);
        if (a.failure == Failure::None) {
            KORVO_FUZZ_CHECK(a.frames > 0 && a.sampleRate > 0, "a tempo comes from some sound");
            checkChoice(a.choice, a.estimate);
        }
        return 0;
    }

    const auto frames = take<std::int64_t>(bytes);
    const auto rate = take<std::int32_t>(bytes);
    const auto estimate = take<double>(bytes);
    checkChoice(chooseTempo(frames, rate, estimate), estimate);

    // The estimate on arbitrary samples; it may refuse the rate by throwing, nothing worse.
    std::vector<float> samples(bytes.size() / sizeof(float));
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    try {
        const auto estimator = defaultEstimator(rate);
        estimator->add(samples);
        estimator->add(std::span<const float>(samples).first(samples.size() / 2));
        const double bpm = estimator->bpm();
        KORVO_FUZZ_CHECK(!std::isnan(bpm), "the estimate is a number");
    } catch (const std::exception&) {
    }
    return 0;
}
