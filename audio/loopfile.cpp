#include "audio/loopfile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <sndfile.h>
#include <string>

namespace korvo::audio {

namespace {

// libsndfile reads from memory: a path on Windows is wide, and std::filesystem opens it the same
// way on every system.
struct Bytes
{
    std::string data;
    sf_count_t at = 0;
};

Bytes& bytesOf(void* user)
{
    return *static_cast<Bytes*>(user);
}

SF_VIRTUAL_IO memoryIo()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<sf_count_t>(bytesOf(user).data.size()); };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        Bytes& b = bytesOf(user);
        const auto size = static_cast<sf_count_t>(b.data.size());
        const sf_count_t base = whence == SEEK_CUR ? b.at : whence == SEEK_END ? size : 0;
        b.at = std::clamp<sf_count_t>(base + offset, 0, size);
        return b.at;
    };
    io.read = [](void* out, sf_count_t count, void* user) {
        Bytes& b = bytesOf(user);
        const sf_count_t n = std::clamp<sf_count_t>(count, 0, static_cast<sf_count_t>(b.data.size()) - b.at);
        std::memcpy(out, b.data.data() + b.at, static_cast<std::size_t>(n));
        b.at += n;
        return n;
    };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) { return bytesOf(user).at; };
    return io;
}

std::shared_ptr<const Loop> decodeWhole(const std::filesystem::path& file, LoadFailure& failure,
                                        const Progress& progress)
{
    // Reading the bytes is the first half of the way, decoding them the second.
    const auto told = [&progress, &failure](double done) {
        if (!progress || progress(done))
            return true;
        failure = LoadFailure::Cancelled;
        return false;
    };
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return nullptr;
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0 || !in)
        return nullptr;
    Bytes bytes;
    constexpr std::streamoff kChunk = 4 << 20;
    bytes.data.resize(static_cast<std::size_t>(size));
    for (std::streamoff at = 0; at < size; at += kChunk) {
        const std::streamoff n = std::min(kChunk, size - at);
        if (!in.read(bytes.data.data() + at, n))
            return nullptr;
        if (!told(0.5 * double(at + n) / double(size)))
            return nullptr;
    }
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, &bytes);
    if (!sound)
        return nullptr;
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(sound, sf_close);
    if (info.channels <= 0 || info.channels > 64 || info.samplerate <= 0)
        return nullptr;
    if (info.frames != SF_COUNT_MAX && double(info.frames) > kLongestSeconds * info.samplerate) {
        failure = LoadFailure::TooLong;
        return nullptr;
    }
    auto loop = std::make_shared<Loop>();
    loop->sampleRate = info.samplerate;
    loop->channels = info.channels;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    loop->floatSamples = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    const auto channels = static_cast<std::size_t>(info.channels);
    constexpr sf_count_t kPiece = 65536;
    for (;;) {
        const std::size_t at = loop->samples.size();
        loop->samples.resize(at + static_cast<std::size_t>(kPiece) * channels);
        const sf_count_t n = sf_readf_float(sound, loop->samples.data() + at, kPiece);
        loop->samples.resize(at + static_cast<std::size_t>(std::max<sf_count_t>(n, 0)) * channels);
        if (n <= 0)
            break;
        if (double(loop->frames()) > kLongestSeconds * info.samplerate) {
            failure = LoadFailure::TooLong;
            return nullptr;
        }
        if (info.frames > 0 && info.frames != SF_COUNT_MAX &&
            !told(0.5 + 0.5 * std::min(1.0, double(loop->frames()) / double(info.frames))))
            return nullptr;
    }
    if (loop->frames() == 0)
        return nullptr;
    // A float file may hold NaN or infinity, which no filter survives; its overs are kept, for an
    // export in float keeps its headroom.
    for (float& s : loop->samples)
        if (!std::isfinite(s))
            s = 0.0f;
    loop->samples.shrink_to_fit();
    failure = LoadFailure::None;
    return loop;
}

} // namespace

std::shared_ptr<const Loop> decodeLoop(const std::filesystem::path& file, LoadFailure& failure,
                                       const Progress& progress)
{
    failure = LoadFailure::CannotOpen;
    try {
        return decodeWhole(file, failure, progress);
    } catch (const std::bad_alloc&) {
        // More than this machine can hold: like any file that cannot be opened.
        failure = LoadFailure::CannotOpen;
        return nullptr;
    }
}

} // namespace korvo::audio
