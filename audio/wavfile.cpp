#include "audio/wavfile.h"

#include "audio/newfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace korvo::audio {

namespace {

// RIFF is little-endian whatever the machine.
void put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putFloat(std::vector<unsigned char>& out, float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    put32(out, bits);
}

void putTag(std::vector<unsigned char>& out, const char (&tag)[5])
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(tag[i]));
}

std::vector<unsigned char> header(const WavFormat& format, const LoopInfo& info, std::uint32_t dataBytes,
                                  std::uint32_t frames)
{
    const std::uint32_t bytesPerSample = format.floatSamples ? 4 : 3;
    const auto channels = static_cast<std::uint32_t>(format.channels);
    std::vector<unsigned char> out;
    putTag(out, "RIFF");
    put32(out, 0); // filled in below
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, format.floatSamples ? 18 : 16);
    put16(out, format.floatSamples ? 3 : 1); // IEEE float, PCM
    put16(out, channels);
    put32(out, static_cast<std::uint32_t>(format.sampleRate));
    put32(out, static_cast<std::uint32_t>(format.sampleRate) * channels * bytesPerSample);
    put16(out, channels * bytesPerSample);
    put16(out, bytesPerSample * 8);
    if (format.floatSamples) {
        put16(out, 0); // no extension
        putTag(out, "fact");
        put32(out, 4);
        put32(out, frames);
    }
    // The ACID chunk: flags (bit 2: the host may stretch it; bit 0 unset: a loop, not a one-shot),
    // root note and two fields hosts leave alone, the beats, the metre and the tempo.
    const bool waltz = info.beats % 3 == 0 && info.beats % 4 != 0;
    putTag(out, "acid");
    put32(out, 24);
    put32(out, 0x04);
    put16(out, 60);
    put16(out, 0x8000);
    putFloat(out, 0);
    put32(out, static_cast<std::uint32_t>(std::max(info.beats, 0)));
    put16(out, 4);
    put16(out, waltz ? 3 : 4);
    putFloat(out, static_cast<float>(info.tempo));
    putTag(out, "data");
    put32(out, dataBytes);
    const auto riff = static_cast<std::uint32_t>(out.size() - 8 + dataBytes + (dataBytes & 1));
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<unsigned char>(riff >> (8 * i));
    return out;
}

void encode(std::span<const float> samples, bool floatSamples, std::vector<unsigned char>& out)
{
    out.clear();
    for (const float s : samples) {
        if (floatSamples) {
            putFloat(out, s);
            continue;
        }
        // Rounded to the nearest step; what lies beyond full scale is clipped there.
        const double scaled = std::clamp(std::nearbyint(double(s) * 8388608.0), -8388608.0, 8388607.0);
        const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled));
        out.push_back(static_cast<unsigned char>(v));
        out.push_back(static_cast<unsigned char>(v >> 8));
        out.push_back(static_cast<unsigned char>(v >> 16));
    }
}

// A name beside the file that nothing else uses.
std::FILE* createPart(const std::filesystem::path& file, std::filesystem::path& part, WriteFailure& failure)
{
    for (int n = 0; n < 1000; ++n) {
        std::filesystem::path name = file.filename();
        name += n == 0 ? std::string(".part") : "." + std::to_string(n) + ".part";
        part = file.parent_path() / name;
        std::FILE* stream = createNew(part, failure);
        if (stream || failure != WriteFailure::Exists)
            return stream;
    }
    return nullptr;
}

} // namespace

WriteFailure writeWav(const std::filesystem::path& file, const WavFormat& format,
                      std::span<const float> samples, const LoopInfo& info, bool replace)
{
    if (format.channels <= 0 || format.sampleRate <= 0)
        return WriteFailure::CannotWrite;
    std::error_code error;
    if (!replace && std::filesystem::exists(file, error))
        return WriteFailure::Exists;
    const std::uint64_t bytesPerSample = format.floatSamples ? 4 : 3;
    const std::uint64_t dataBytes = samples.size() * bytesPerSample;
    if (dataBytes > 0xFFFFFF00u) // RIFF counts in 32 bits
        return WriteFailure::CannotWrite;
    std::filesystem::path part;
    WriteFailure failure = WriteFailure::None;
    std::FILE* stream = createPart(file, part, failure);
    if (!stream)
        return failure;
    const auto frames =
        static_cast<std::uint32_t>(samples.size() / static_cast<std::size_t>(format.channels));
    const std::vector<unsigned char> head =
        header(format, info, static_cast<std::uint32_t>(dataBytes), frames);
    errno = 0;
    bool written = std::fwrite(head.data(), 1, head.size(), stream) == head.size();
    std::vector<unsigned char> bytes;
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t at = 0; written && at < samples.size(); at += kPiece) {
        encode(samples.subspan(at, std::min(kPiece, samples.size() - at)), format.floatSamples, bytes);
        written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    }
    if (written && (dataBytes & 1))
        written = std::fputc(0, stream) == 0;
    written = written && flushToDisk(stream);
    const int writeError = errno;
    written = std::fclose(stream) == 0 && written;
    const std::uint64_t expected = head.size() + dataBytes + (dataBytes & 1);
    if (written && std::filesystem::file_size(part, error) != expected)
        written = false;
    if (!written) {
        std::filesystem::remove(part, error);
        const WriteFailure reason = failureOfErrno(writeError ? writeError : errno);
        return reason == WriteFailure::Exists ? WriteFailure::CannotWrite : reason;
    }
    failure = publish(part, file, replace);
    if (failure != WriteFailure::None)
        std::filesystem::remove(part, error);
    return failure;
}

} // namespace korvo::audio
