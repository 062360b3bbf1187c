#include "audio/render.h"

#include <SoundTouch.h>
#include <algorithm>
#include <cmath>
#include <soxr.h>

namespace korvo::audio {

namespace {

constexpr std::size_t kPiece = 1 << 15; // frames between progress reports

std::optional<std::vector<float>> resampled(const Loop& loop, double speed, const Progress& progress)
{
    const auto channels = static_cast<std::size_t>(loop.channels);
    const auto frames = static_cast<std::size_t>(loop.frames());
    const std::int64_t wanted = renderedFrames(loop.frames(), speed);
    // The filter needs sound on either side of every frame. A loop's own end comes before its start
    // and its start after its end, as it plays on repeat, so the joint renders as seamlessly as the
    // rest; a tenth of a second is far more than the filter's reach.
    const std::size_t pad = std::min<std::size_t>(frames, static_cast<std::size_t>(loop.sampleRate / 10 + 1));
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    const std::unique_ptr<soxr, void (*)(soxr_t)> resampler(
        soxr_create(double(loop.sampleRate) * speed, double(loop.sampleRate), static_cast<unsigned>(channels),
                    &error, &io, &quality, nullptr),
        soxr_delete);
    if (error || !resampler)
        return std::nullopt;
    std::vector<float> out;
    out.reserve(static_cast<std::size_t>(double(frames + 2 * pad) / speed + 64) * channels);
    std::vector<float> block(kPiece * channels * 2 + 4096 * channels);
    const std::size_t blockFrames = block.size() / channels;
    const std::size_t total = frames + 2 * pad;
    std::size_t fed = 0;
    auto feed = [&](const float* in, std::size_t count) {
        while (true) {
            std::size_t used = 0, made = 0;
            if (soxr_process(resampler.get(), in, count, &used, block.data(), blockFrames, &made))
                return false;
            out.insert(out.end(), block.begin(),
                       block.begin() + static_cast<std::ptrdiff_t>(made * channels));
            if (in)
                in += used * channels;
            count -= used;
            if (in ? count == 0 : made == 0)
                return true;
        }
    };
    const float* data = loop.samples.data();
    const struct
    {
        const float* from;
        std::size_t count;
    } pieces[] = {{data + (frames - pad) * channels, pad}, {data, frames}, {data, pad}};
    for (const auto& piece : pieces) {
        for (std::size_t at = 0; at < piece.count; at += kPiece) {
            const std::size_t n = std::min(kPiece, piece.count - at);
            if (!feed(piece.from + at * channels, n))
                return std::nullopt;
            fed += n;
            if (progress && !progress(0.95 * double(fed) / double(total)))
                return std::nullopt;
        }
    }
    if (!feed(nullptr, 0))
        return std::nullopt;
    // libsoxr gives its output without the filter's delay, so the loop's first frame is the one
    // the padding before it turns into.
    const auto skip = static_cast<std::size_t>(std::llround(double(pad) / speed)) * channels;
    std::vector<float> result(static_cast<std::size_t>(wanted) * channels, 0.0f);
    if (skip < out.size())
        std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(skip),
                    std::min(result.size(), out.size() - skip), result.begin());
    return result;
}

std::optional<std::vector<float>> stretched(const Loop& loop, double speed, const Progress& progress)
{
    const auto channels = static_cast<std::size_t>(loop.channels);
    const auto frames = static_cast<std::size_t>(loop.frames());
    if (channels > 16) // SoundTouch's own limit
        return std::nullopt;
    soundtouch::SoundTouch stretch;
    stretch.setSampleRate(static_cast<unsigned>(loop.sampleRate));
    stretch.setChannels(static_cast<unsigned>(channels));
    stretch.setTempo(speed);
    const auto wanted = static_cast<std::size_t>(renderedFrames(loop.frames(), speed));
    std::vector<float> out;
    out.reserve((wanted + 8192) * channels);
    std::vector<float> block(8192 * channels);
    auto receive = [&] {
        while (const unsigned n =
                   stretch.receiveSamples(block.data(), static_cast<unsigned>(block.size() / channels)))
            out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n * channels));
    };
    for (std::size_t at = 0; at < frames; at += kPiece) {
        const std::size_t n = std::min(kPiece, frames - at);
        stretch.putSamples(loop.samples.data() + at * channels, static_cast<unsigned>(n));
        receive();
        if (progress && !progress(0.95 * double(at + n) / double(frames)))
            return std::nullopt;
    }
    stretch.flush();
    receive();
    out.resize(wanted * channels, 0.0f);
    return out;
}

} // namespace

std::int64_t renderedFrames(std::int64_t frames, double speed)
{
    return std::llround(double(frames) / speed);
}

std::optional<std::vector<float>> renderSamples(const Loop& loop, Mode mode, double speed,
                                                const Progress& progress)
{
    if (loop.frames() <= 0 || loop.sampleRate <= 0 || !(speed >= kSlowestSpeed && speed <= kFastestSpeed))
        return std::nullopt;
    return mode == Mode::WithPitch ? resampled(loop, speed, progress) : stretched(loop, speed, progress);
}

} // namespace korvo::audio
