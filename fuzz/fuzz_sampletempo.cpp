// A sample's tempo from anything. The first byte chooses what the rest is:
//  - even: a file's bytes, analysed whole as a dropped file is (libsndfile, the onsets, the choice);
//  - odd: a length in frames, a sample rate, the sound's span, loop points and hints for the choice,
//    then samples of any value (NaN and infinities included) for the onsets at that rate.
// Nothing may crash, and whatever tempo comes out must be one a tempo box accepts.
#include "check.h"
#include "pitch/bpmvalue.h"
#include "pitch/numbertext.h"
#include "sample/beatanalysis.h"
#include "sample/sampleanalysis.h"
#include "sample/tempochoice.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

using namespace korvo::sample;

void checkChoice(const TempoChoice& choice)
{
    KORVO_FUZZ_CHECK(choice.others.size() <= 4, "at most four other readings");
    for (const TempoCandidate& c : choice.others) {
        KORVO_FUZZ_CHECK(korvo::bpm::inRange(c.tempo), "every reading lies within 1..250");
        KORVO_FUZZ_CHECK(!c.text.empty() && korvo::readStrict(c.text).has_value(),
                         "a reading's text is a number");
        KORVO_FUZZ_CHECK(c.text != choice.text || c.beats != choice.beats, "the choice is not offered twice");
    }
    switch (choice.reason) {
    case ChoiceReason::Loop:
    case ChoiceReason::Mismatch:
        KORVO_FUZZ_CHECK(choice.beats > 0, "a loop has its beats");
        break;
    case ChoiceReason::NoBeat:
    case ChoiceReason::NotFound:
        KORVO_FUZZ_CHECK(choice.text.empty(), "nothing found writes nothing");
        return;
    default:
        break;
    }
    KORVO_FUZZ_CHECK(std::isfinite(choice.offset), "the length's difference is a number");
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
        const Analysis a = analyseBytes(bytes, data[0] % 4 == 0 ? 120 : 0);
        if (a.failure == Failure::None) {
            KORVO_FUZZ_CHECK(a.frames > 0 && a.sampleRate > 0, "a tempo comes from some sound");
            checkChoice(a.choice);
        }
        return 0;
    }

    TempoEvidence e;
    e.frames = take<std::int64_t>(bytes);
    e.sampleRate = take<std::int32_t>(bytes);
    e.soundStart = take<std::int64_t>(bytes);
    e.soundEnd = take<std::int64_t>(bytes);
    e.loopStart = take<std::int64_t>(bytes);
    e.loopEnd = take<std::int64_t>(bytes);
    e.nameTempo = take<double>(bytes);
    e.acidTempo = take<double>(bytes);
    e.acidBeats = take<double>(bytes);
    checkChoice(chooseTempo(e));

    // The onsets of arbitrary samples at a rate the analysis could meet, and the choice on them.
    std::vector<float> samples(bytes.size() / sizeof(float));
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    for (float& s : samples)
        s = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
    const int rate = 8000 + static_cast<int>(static_cast<std::uint32_t>(e.sampleRate) % 88000);
    OnsetDetector detector(rate);
    detector.add(samples);
    const OnsetSignal onsets = detector.finish();
    e.sampleRate = rate;
    e.frames = static_cast<std::int64_t>(samples.size());
    e.onsets = &onsets;
    checkChoice(chooseTempo(e));
    return 0;
}
