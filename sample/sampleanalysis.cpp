#include "sample/sampleanalysis.h"

#include "pitch/numbertext.h"
#include "sample/beatanalysis.h"
#include "sample/namehint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <sndfile.h>
#include <system_error>
#include <vector>

namespace korvo::sample {
namespace {

// libsndfile reads through these, from any source: a file opened by the standard library (whose
// paths are Unicode on every system) or bytes in memory.
struct Source
{
    virtual ~Source() = default;
    virtual sf_count_t size() = 0;
    virtual sf_count_t seek(sf_count_t offset, int whence) = 0;
    virtual sf_count_t read(void* out, sf_count_t count) = 0;
    virtual sf_count_t tell() = 0;
};

class MemorySource final : public Source
{
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    sf_count_t size() override { return static_cast<sf_count_t>(m_bytes.size()); }
    sf_count_t seek(sf_count_t offset, int whence) override
    {
        const sf_count_t base = whence == SEEK_CUR ? m_at : whence == SEEK_END ? size() : 0;
        m_at = std::clamp<sf_count_t>(base + offset, 0, size());
        return m_at;
    }
    sf_count_t read(void* out, sf_count_t count) override
    {
        const sf_count_t n = std::clamp<sf_count_t>(count, 0, size() - m_at);
        if (n > 0)
            std::memcpy(out, m_bytes.data() + m_at, static_cast<std::size_t>(n));
        m_at += n;
        return n;
    }
    sf_count_t tell() override { return m_at; }

private:
    std::string_view m_bytes;
    sf_count_t m_at = 0;
};

class FileSource final : public Source
{
public:
    FileSource(const std::filesystem::path& file, sf_count_t size)
        : m_in(file, std::ios::binary), m_size(size)
    {}
    bool isOpen() const { return m_in.is_open(); }
    sf_count_t size() override { return m_size; }
    sf_count_t seek(sf_count_t offset, int whence) override
    {
        m_in.clear();
        m_in.seekg(offset, whence == SEEK_CUR   ? std::ios::cur
                           : whence == SEEK_END ? std::ios::end
                                                : std::ios::beg);
        return tell();
    }
    sf_count_t read(void* out, sf_count_t count) override
    {
        m_in.read(static_cast<char*>(out), count);
        return m_in.gcount();
    }
    sf_count_t tell() override
    {
        const auto at = m_in.tellg();
        return at < 0 ? -1 : static_cast<sf_count_t>(at);
    }

private:
    std::ifstream m_in;
    sf_count_t m_size;
};

Source& sourceOf(void* user)
{
    return *static_cast<Source*>(user);
}

SF_VIRTUAL_IO virtualIo()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return sourceOf(user).size(); };
    io.seek = [](sf_count_t offset, int whence, void* user) { return sourceOf(user).seek(offset, whence); };
    io.read = [](void* out, sf_count_t count, void* user) { return sourceOf(user).read(out, count); };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) { return sourceOf(user).tell(); };
    return io;
}

std::uint32_t littleEndian32(const unsigned char* b)
{
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::uint32_t bigEndian32(const unsigned char* b)
{
    return static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

// libsndfile reads a WAV or AIFF file that was cut short as far as it goes, which would make a
// shorter loop of it and a wrong tempo. Their container says how long the file should be, and so
// does the chunk that holds the sound, which a writer may have kept right while the container's
// size is left as a recorder's placeholder.
bool cutShort(Source& source)
{
    unsigned char head[12] = {};
    source.seek(0, SEEK_SET);
    if (source.read(head, sizeof head) != sizeof head)
        return false;
    bool little = false;
    const char* soundChunk = "data";
    std::uint64_t declared = 0;
    if (std::memcmp(head, "RIFF", 4) == 0) {
        little = true;
        declared = littleEndian32(head + 4);
    } else if (std::memcmp(head, "RIFX", 4) == 0) {
        declared = bigEndian32(head + 4);
    } else if (std::memcmp(head, "FORM", 4) == 0) {
        soundChunk = "SSND";
        declared = bigEndian32(head + 4);
    } else {
        source.seek(0, SEEK_SET);
        return false;
    }
    const auto size = static_cast<std::uint64_t>(source.size());
    // A size of all ones is written by recorders that stopped before they could fill it in.
    const auto placeholder = [](std::uint64_t chunkSize) {
        return chunkSize == 0xFFFFFFFFu || chunkSize == 0;
    };
    // One byte of slack: some writers leave out the pad byte after a chunk of odd length.
    bool cut = !placeholder(declared) && declared + 8 > size + 1;
    // The chunks, each a name, a size and its bytes padded to an even length. Every step moves on
    // by at least eight bytes and the walk stops at the end of the file, after a few thousand chunks
    // (no sound file has that many before its sound), or at anything that is not a chunk.
    constexpr int kMostChunks = 4096;
    std::uint64_t at = 12;
    for (int i = 0; i < kMostChunks && !cut && at + 8 <= size; ++i) {
        unsigned char chunk[8] = {};
        if (source.seek(static_cast<sf_count_t>(at), SEEK_SET) != static_cast<sf_count_t>(at) ||
            source.read(chunk, sizeof chunk) != sizeof chunk)
            break;
        const std::uint64_t length = little ? littleEndian32(chunk + 4) : bigEndian32(chunk + 4);
        if (std::memcmp(chunk, soundChunk, 4) == 0) {
            cut = !placeholder(length) && length > size - at - 8;
            break;
        }
        at += 8 + length + (length & 1);
    }
    source.seek(0, SEEK_SET);
    return cut;
}

// Whether an MP3 states its length: a Xing or Info frame with its count of frames (what LAME and
// most encoders write first), or a VBRI frame. Without one, the decoder guesses the length from the
// file's size and the first frame's bit rate, and an intact file may read shorter than the guess.
bool mp3StatesLength(Source& source)
{
    unsigned char id3[10] = {};
    source.seek(0, SEEK_SET);
    if (source.read(id3, sizeof id3) != sizeof id3)
        return false;
    sf_count_t at = 0;
    if (std::memcmp(id3, "ID3", 3) == 0) // a tag before the first frame; its size has 7 bits a byte
        at = 10 + ((id3[6] & 0x7F) << 21 | (id3[7] & 0x7F) << 14 | (id3[8] & 0x7F) << 7 | (id3[9] & 0x7F)) +
             (id3[5] & 0x10 ? 10 : 0);
    // The frame's header, its checksum if it has one, the side information and the tag's start.
    unsigned char frame[4 + 2 + 32 + 8] = {};
    if (source.seek(at, SEEK_SET) != at || source.read(frame, sizeof frame) != sizeof frame)
        return false;
    if (frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0)
        return false;
    const bool mpeg1 = (frame[1] & 0x18) == 0x18;
    const bool mono = (frame[3] & 0xC0) == 0xC0;
    const int checksum = (frame[1] & 0x01) ? 0 : 2;
    const unsigned char* xing = frame + 4 + checksum + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (std::memcmp(xing, "Xing", 4) == 0 || std::memcmp(xing, "Info", 4) == 0)
        return (xing[7] & 0x01) != 0; // the flag of the frame count
    return std::memcmp(frame + 4 + 32, "VBRI", 4) == 0;
}

// The compressed formats a build of libsndfile reads only with their codecs, by the first bytes of
// a file: FLAC's stream marker, an Ogg page, and an MP3's tag or first frame. A build without the
// codec fails such a file with an internal error, the same as a damaged file's. 0: none of them.
int compressedFormat(Source& source)
{
    unsigned char head[4] = {};
    source.seek(0, SEEK_SET);
    const bool read = source.read(head, sizeof head) == sizeof head;
    source.seek(0, SEEK_SET);
    if (!read)
        return 0;
    if (std::memcmp(head, "fLaC", 4) == 0)
        return SF_FORMAT_FLAC;
    if (std::memcmp(head, "OggS", 4) == 0)
        return SF_FORMAT_OGG;
    if (std::memcmp(head, "ID3", 3) == 0 || (head[0] == 0xFF && (head[1] & 0xE0) == 0xE0))
        return SF_FORMAT_MPEG;
    return 0;
}

bool (*g_readsFormat)(int major) = nullptr;

Failure openFailure(int error)
{
    switch (error) {
    case SF_ERR_UNRECOGNISED_FORMAT:
    case SF_ERR_UNSUPPORTED_ENCODING:
        return Failure::Unsupported;
    case SF_ERR_SYSTEM:
        return Failure::CannotOpen;
    default:
        return Failure::Damaged;
    }
}

// The largest magnitude among samples, as its bits: for magnitudes the bits order as the numbers do,
// and above those of 1 lie overs, infinity and NaN alike. Compared as integers, the compiler
// vectorises the search.
std::uint32_t loudestBits(std::span<const float> samples)
{
    std::uint32_t out = 0;
    for (const float x : samples)
        out = std::max(out, std::bit_cast<std::uint32_t>(x) & 0x7fffffffu);
    return out;
}

// Where sound first and last rises above a level that is only known once the whole file is read
// (a share of its peak): the first crossing of each power of two on the way up, and the last two
// seconds kept, which is where a loop's end lies.
class SoundSpan
{
public:
    explicit SoundSpan(int sampleRate)
        : m_tail(static_cast<std::size_t>(std::clamp(sampleRate, 1, 400000)) * 2),
          m_lead(static_cast<std::int64_t>(std::clamp(sampleRate, 1, 400000) * kLeadIn))
    {
        for (int i = 0; i < kLevels; ++i)
            m_levels[static_cast<std::size_t>(i)] = std::ldexp(1.0f, i - (kLevels - 1));
    }

    // A piece of the mono mix, all of whose samples lie within -1..1.
    void add(std::span<const float> mono)
    {
        const float loudest = std::bit_cast<float>(loudestBits(mono));
        m_peak = std::max(m_peak, loudest);
        if (m_next < kLevels && loudest > m_levels[static_cast<std::size_t>(m_next)]) {
            for (std::size_t i = 0; i < mono.size(); ++i)
                while (m_next < kLevels && std::fabs(mono[i]) > m_levels[static_cast<std::size_t>(m_next)])
                    m_first[static_cast<std::size_t>(m_next++)] = m_frames + static_cast<std::int64_t>(i);
        }
        for (std::size_t done = 0; done < mono.size();) {
            const std::size_t n = std::min(mono.size() - done, m_tail.size() - m_at);
            std::copy_n(mono.begin() + static_cast<std::ptrdiff_t>(done), n,
                        m_tail.begin() + static_cast<std::ptrdiff_t>(m_at));
            done += n;
            m_at = (m_at + n) % m_tail.size();
        }
        m_frames += static_cast<std::int64_t>(mono.size());
    }

    float peak() const { return m_peak; }

    // The first frame above `floor`, taken at the power of two below it.
    std::int64_t start(float floor) const
    {
        const int i = levelBelow(floor);
        return i < m_next ? m_first[static_cast<std::size_t>(i)] : 0;
    }

    // Where the sound first above `floor` rises out of silence: a soft attack climbs through the
    // quieter levels just before, unless noise in the silence crossed them much sooner.
    std::int64_t rise(float floor) const
    {
        int i = levelBelow(floor);
        if (i >= m_next)
            return 0;
        const std::int64_t crossed = m_first[static_cast<std::size_t>(i)];
        while (i > 0 && m_first[static_cast<std::size_t>(i - 1)] >= crossed - m_lead)
            --i;
        return m_first[static_cast<std::size_t>(i)];
    }

    // One past the last frame above `floor`; the end of the file when nothing in the last two
    // seconds rises above it.
    std::int64_t end(float floor) const
    {
        const auto size = static_cast<std::int64_t>(m_tail.size());
        const std::int64_t kept = std::min(m_frames, size);
        for (std::int64_t i = m_frames - 1; i >= m_frames - kept; --i)
            if (std::fabs(m_tail[static_cast<std::size_t>(i % size)]) > floor)
                return i + 1;
        return m_frames;
    }

    // The loudest sample in the `frames` frames before `end`, as far as the last two seconds go.
    float before(std::int64_t end, std::int64_t frames) const
    {
        const auto size = static_cast<std::int64_t>(m_tail.size());
        float out = 0;
        for (std::int64_t i = std::max({end - frames, m_frames - size, std::int64_t{0}});
             i < end && i < m_frames; ++i)
            out = std::max(out, std::fabs(m_tail[static_cast<std::size_t>(i % size)]));
        return out;
    }

private:
    // The power of two at or below `floor` (the lowest when `floor` is lower), as far as crossed.
    int levelBelow(float floor) const
    {
        int i = 0;
        while (i + 1 < m_next && m_levels[static_cast<std::size_t>(i + 1)] <= floor)
            ++i;
        return i;
    }

    // Powers of two from 2^-24 up to 1.
    static constexpr int kLevels = 25;
    // How long (seconds) a hit's attack may rise from the quietest level to the floor.
    static constexpr double kLeadIn = 0.005;
    std::array<float, kLevels> m_levels{};
    std::array<std::int64_t, kLevels> m_first{};
    int m_next = 0;
    float m_peak = 0;
    std::vector<float> m_tail;
    std::int64_t m_lead = 0; // kLeadIn in frames
    std::size_t m_at = 0;    // where the next sample goes in m_tail
    std::int64_t m_frames = 0;
};

// What a file says of its own loop: an ACID chunk's tempo and length (an AIFF's Apple loop chunk
// gives its beats only: libsndfile works its tempo out from the file's length), and a sampler's loop
// points.
void readHints(SNDFILE* file, const SF_INFO& info, TempoEvidence& evidence)
{
    SF_LOOP_INFO loop{};
    if (sf_command(file, SFC_GET_LOOP_INFO, &loop, sizeof loop) == SF_TRUE &&
        loop.loop_mode != SF_LOOP_NONE && loop.num_beats > 0) {
        // Its beats count the metre's note: 6 beats of 6/8 are three quarter notes.
        const int denominator = loop.time_sig_den > 0 ? loop.time_sig_den : 4;
        evidence.acidBeats = loop.num_beats * 4.0 / denominator;
        const bool aiff = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_AIFF;
        if (!aiff && std::isfinite(loop.bpm) && loop.bpm > 0)
            evidence.acidTempo = loop.bpm;
    }
    SF_INSTRUMENT instrument{};
    if (sf_command(file, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE &&
        instrument.loop_count > 0 && instrument.loops[0].mode != SF_LOOP_NONE) {
        const std::int64_t start = instrument.loops[0].start, end = instrument.loops[0].end;
        if (start < end && end <= info.frames && (start > 0 || end < info.frames - 1)) {
            evidence.loopStart = start;
            evidence.loopEnd = end;
        }
    }
}

Analysis analyse(Source& source, double nameTempo, const Progress& progress)
{
    Analysis result;
    if (source.size() <= 0) {
        result.failure = Failure::Empty;
        return result;
    }
    if (cutShort(source)) {
        result.failure = Failure::Damaged;
        return result;
    }
    if (const int major = compressedFormat(source); major != 0 && !readsFormat(major)) {
        result.failure = Failure::Unsupported;
        return result;
    }
    SF_VIRTUAL_IO io = virtualIo();
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &source);
    if (!file) {
        result.failure = openFailure(sf_error(nullptr));
        return result;
    }
    const std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(file, sf_close);
    if (info.channels <= 0 || info.samplerate <= 0) {
        result.failure = Failure::Damaged;
        return result;
    }
    result.sampleRate = info.samplerate;
    TempoEvidence evidence;
    evidence.sampleRate = info.samplerate;
    evidence.nameTempo = nameTempo;
    readHints(file, info, evidence);

    OnsetDetector onsets(info.samplerate);
    SoundSpan span(info.samplerate);
    // Pieces of a fifth of a second or so: progress moves smoothly and memory stays small, whatever
    // the length of the file.
    constexpr sf_count_t kPiece = 8192;
    std::vector<float> interleaved(static_cast<std::size_t>(kPiece) *
                                   static_cast<std::size_t>(info.channels));
    std::vector<float> mono(kPiece);
    std::int64_t frames = 0;
    for (;;) {
        const sf_count_t n = sf_readf_float(file, interleaved.data(), kPiece);
        if (n <= 0)
            break;
        const float share = 1.0f / static_cast<float>(info.channels);
        const auto count = static_cast<std::size_t>(n);
        const auto channels = static_cast<std::size_t>(info.channels);
        if (channels == 1) {
            std::copy_n(interleaved.begin(), count, mono.begin());
        } else if (channels == 2) {
            for (std::size_t i = 0; i < count; ++i)
                mono[i] = (interleaved[2 * i] + interleaved[2 * i + 1]) * share;
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                float sum = 0;
                for (std::size_t c = 0; c < channels; ++c)
                    sum += interleaved[i * channels + c];
                mono[i] = sum * share;
            }
        }
        // Float files may hold anything: overs are clipped, and NaN or infinity reads as nothing.
        if (loudestBits(std::span<const float>(mono.data(), count)) > std::bit_cast<std::uint32_t>(1.0f))
            for (std::size_t i = 0; i < count; ++i)
                if (!(std::fabs(mono[i]) <= 1.0f))
                    mono[i] = std::isfinite(mono[i]) ? std::copysign(1.0f, mono[i]) : 0.0f;
        span.add(std::span<const float>(mono.data(), count));
        onsets.add(std::span<const float>(mono.data(), static_cast<std::size_t>(n)));
        frames += n;
        if (progress &&
            !progress(info.frames > 0 ? std::min(1.0, double(frames) / double(info.frames)) : 0)) {
            result.failure = Failure::Cancelled;
            return result;
        }
    }
    // A compressed file read to its end gives as many frames as its header states, where it states
    // any: FLAC's stream information (when the encoder knew the count), an MP3's Xing, Info or VBRI
    // frame, and an Ogg file's last page, which is gone from one cut short (libsndfile then knows no
    // length, and what is left reads as a shorter file). A decoder that loses the stream stops early
    // and leaves an error.
    if (const int major = info.format & SF_FORMAT_TYPEMASK;
        major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG || major == SF_FORMAT_MPEG) {
        const bool stated = info.frames > 0 && info.frames != SF_COUNT_MAX &&
                            (major != SF_FORMAT_MPEG || mp3StatesLength(source));
        if ((stated && frames < info.frames) || sf_error(file) != SF_ERR_NO_ERROR) {
            result.failure = Failure::Damaged;
            return result;
        }
    }
    result.frames = frames;
    result.seconds = static_cast<double>(frames) / info.samplerate;
    if (frames == 0)
        result.failure = Failure::Empty;
    else if (span.peak() < kSilence)
        result.failure = Failure::Silent;
    else if (result.seconds < kShortestSeconds)
        result.failure = Failure::TooShort;
    if (result.failure != Failure::None)
        return result;

    const OnsetSignal signal = onsets.finish();
    evidence.frames = frames;
    const float floor = std::max(span.peak() * kSoundFloor, kSilence / 16);
    evidence.soundStart = span.start(floor);
    // A lossy codec spreads a hit's noise a little before it (pre-echo): there, the attack is
    // where the sound first passes the floor.
    const int codec = info.format & SF_FORMAT_SUBMASK;
    if (codec != SF_FORMAT_VORBIS && codec != SF_FORMAT_OPUS && codec != SF_FORMAT_MPEG_LAYER_I &&
        codec != SF_FORMAT_MPEG_LAYER_II && codec != SF_FORMAT_MPEG_LAYER_III)
        evidence.soundRise = span.rise(floor);
    // The end is judged lower: a loop's last hit may have died away to -60 dB before its bar is
    // over, while silence appended to it lies at the level of dither or below.
    evidence.soundEnd = span.end(std::max(span.peak() * kSoundFloor / 10, kSilence / 64));
    // A loop cut off into silence stops while its sound is still above the floor a sound starts at.
    evidence.soundCut = span.before(evidence.soundEnd, info.samplerate / 1000) > floor;
    evidence.onsets = &signal;
    result.choice = chooseTempo(evidence);
    result.estimate = result.choice.heard;
    if (result.choice.reason == ChoiceReason::NoBeat)
        result.failure = Failure::NoBeat;
    else if (result.choice.reason == ChoiceReason::NotFound)
        result.failure = Failure::NoTempo;
    return result;
}

} // namespace

Analysis analyseFile(const std::filesystem::path& file, const Progress& progress)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        Analysis result;
        result.failure = Failure::CannotOpen;
        return result;
    }
    const auto size = std::filesystem::file_size(file, error);
    FileSource source(file, error ? 0 : static_cast<sf_count_t>(size));
    if (error || !source.isOpen()) {
        Analysis result;
        result.failure = Failure::CannotOpen;
        return result;
    }
    const std::u8string name = file.filename().u8string();
    return analyse(source,
                   tempoInName(std::string_view(reinterpret_cast<const char*>(name.data()), name.size())),
                   progress);
}

Analysis analyseBytes(std::string_view bytes, double nameTempo, const Progress& progress)
{
    MemorySource source(bytes);
    return analyse(source, nameTempo, progress);
}

bool readsFormat(int major)
{
    if (const auto standIn = g_readsFormat)
        return standIn(major);
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO format{};
        format.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &format, sizeof format) == 0 &&
            (format.format & SF_FORMAT_TYPEMASK) == major)
            return true;
    }
    return false;
}

void setReadsFormat(bool (*standIn)(int major))
{
    g_readsFormat = standIn;
}

std::vector<std::string> readableExtensions()
{
    std::vector<std::string> extensions;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO format{};
        format.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &format, sizeof format) != 0 || !format.extension)
            continue;
        const std::string extension = format.extension;
        // Raw files carry no header to tell their rate and encoding, so they cannot be read blind.
        if (extension == "raw" ||
            std::find(extensions.begin(), extensions.end(), extension) != extensions.end())
            continue;
        extensions.push_back(extension);
        if (extension == "aiff")
            extensions.push_back("aif");
        // libsndfile names each format by one ending, not always the one its files carry.
        if (extension == "oga") {
            extensions.push_back("ogg");
            extensions.push_back("opus");
        }
        if (extension == "m1a")
            extensions.push_back("mp3");
    }
    return extensions;
}

} // namespace korvo::sample
