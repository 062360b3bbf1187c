#include "sample/sampleanalysis.h"

#include "pitch/numbertext.h"

#include <BPMDetect.h>
#include <algorithm>
#include <cmath>
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

Analysis analyse(Source& source, const EstimatorFactory& estimatorFor, const Progress& progress)
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

    // An estimator that fails is left out: the sample is then read by its length alone.
    std::unique_ptr<BeatEstimator> estimator;
    try {
        estimator = estimatorFor(info.samplerate);
    } catch (const std::exception&) {
        estimator.reset();
    }
    // Pieces of a fifth of a second or so: progress moves smoothly and memory stays small, whatever
    // the length of the file.
    constexpr sf_count_t kPiece = 8192;
    std::vector<float> interleaved(static_cast<std::size_t>(kPiece) *
                                   static_cast<std::size_t>(info.channels));
    std::vector<float> mono(kPiece);
    float peak = 0;
    std::int64_t frames = 0;
    for (;;) {
        const sf_count_t n = sf_readf_float(file, interleaved.data(), kPiece);
        if (n <= 0)
            break;
        for (sf_count_t i = 0; i < n; ++i) {
            float sum = 0;
            const float* frame = interleaved.data() + i * info.channels;
            for (int c = 0; c < info.channels; ++c)
                sum += std::isfinite(frame[c]) ? std::clamp(frame[c], -1.0f, 1.0f) : 0.0f;
            mono[static_cast<std::size_t>(i)] = sum / static_cast<float>(info.channels);
            peak = std::max(peak, std::fabs(mono[static_cast<std::size_t>(i)]));
        }
        if (estimator) {
            try {
                estimator->add(std::span<const float>(mono.data(), static_cast<std::size_t>(n)));
            } catch (const std::exception&) {
                estimator.reset();
            }
        }
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
    else if (peak < kSilence)
        result.failure = Failure::Silent;
    else if (result.seconds < kShortestSeconds)
        result.failure = Failure::TooShort;
    if (result.failure != Failure::None)
        return result;

    double estimate = 0;
    try {
        estimate = estimator ? estimator->bpm() : 0;
    } catch (const std::exception&) {
        estimate = 0;
    }
    result.estimate = std::isfinite(estimate) && estimate > 0 ? estimate : 0;
    result.choice = chooseTempo(frames, info.samplerate, result.estimate);
    if (result.choice.reason == ChoiceReason::NotFound)
        result.failure = Failure::NoTempo;
    return result;
}

class SoundTouchEstimator final : public BeatEstimator
{
public:
    explicit SoundTouchEstimator(int sampleRate) : m_detect(1, sampleRate) {}
    void add(std::span<const float> mono) override
    {
        m_detect.inputSamples(mono.data(), static_cast<int>(mono.size()));
    }
    double bpm() override { return m_detect.getBpm(); }

private:
    soundtouch::BPMDetect m_detect;
};

// Hears nothing.
class NoEstimator final : public BeatEstimator
{
public:
    void add(std::span<const float>) override {}
    double bpm() override { return 0; }
};

} // namespace

std::unique_ptr<BeatEstimator> soundTouchEstimator(int sampleRate)
{
    // SoundTouch throws below 8 kHz and, far above any real rate, overflows its window sizes and
    // stops the program on an assertion; a header may claim any rate, so only real ones reach it.
    if (sampleRate < kLowestEstimateRate || sampleRate > kHighestEstimateRate)
        return std::make_unique<NoEstimator>();
    return std::make_unique<SoundTouchEstimator>(sampleRate);
}

Analysis analyseFile(const std::filesystem::path& file, const EstimatorFactory& estimator,
                     const Progress& progress)
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
    return analyse(source, estimator, progress);
}

Analysis analyseBytes(std::string_view bytes, const EstimatorFactory& estimator, const Progress& progress)
{
    MemorySource source(bytes);
    return analyse(source, estimator, progress);
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

std::string failureReason(Failure failure)
{
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::CannotOpen:
        return "ファイルを開けません。";
    case Failure::Unsupported:
        return "対応していないファイル形式です。";
    case Failure::Damaged:
        return "ファイルが壊れているか、途中で切れています。";
    case Failure::Empty:
        return "音が入っていません（長さが0です）。";
    case Failure::Silent:
        return "無音です。";
    case Failure::TooShort:
        return "短すぎます（0.24秒未満）。";
    case Failure::NoTempo:
        return "テンポが見つかりませんでした。";
    case Failure::Cancelled:
        return "中止しました。";
    }
    return {};
}

std::string choiceReason(const Analysis& analysis)
{
    const TempoChoice& choice = analysis.choice;
    switch (choice.reason) {
    case ChoiceReason::Loop:
        return std::to_string(choice.beats) + "拍のループ" +
               (analysis.estimate > 0 ? "（推定と一致）" : "（推定なし）");
    case ChoiceReason::Estimate:
        return "ループではないため推定値から";
    case ChoiceReason::NotFound:
        break;
    }
    return failureReason(Failure::NoTempo);
}

} // namespace korvo::sample
