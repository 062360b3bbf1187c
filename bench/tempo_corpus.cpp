// The sound half of the tempo benchmark's corpus (`make bench-tempo`): bench/tempo_corpus.py plans
// every file (which drum sample sounds when, how loud, how the file is cut) and this program mixes and
// writes them, so the plan stays readable and the mixing stays fast.
//
//   korvo_tempo_corpus render JOBS   mixes and writes every file that the job list describes
//   korvo_tempo_corpus decode IN OUT writes IN (anything libsndfile reads) as a 16-bit WAV at the same
//                                    rate and channel count, for the tools that read only WAV
//
// A job list is UTF-8 text, one record a line, fields separated by tabs, times in seconds:
//   file PATH FORMAT RATE CHANNELS FRAMES PEAK   starts a file; PEAK in dBFS, or "raw" to keep the
//                                                mixed level (dither-level noise must stay that quiet)
//   hit TIME GAIN LEFT RIGHT LENGTH SAMPLE       a recorded sample; LENGTH > 0 chokes it after that long
//   tone KIND TIME LENGTH GAIN FREQUENCY SEED    a synthesized sound: sine, pad, noise, kick, snare, hat
//   source PATH TIME GAIN                        a whole rendered file (a General MIDI rendering)
//   fade START END                               fades out to silence between the two times
//   silence START                                digital silence from START to the end
//   wrap                                         what rings past the end sounds again from the start,
//                                                as a loop exported with its tails folded back
//   end                                          mixes and writes the file
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <random>
#include <sndfile.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Sound
{
    int rate = 0;
    std::vector<float> left;
    std::vector<float> right;
};

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t'))
        out.push_back(field);
    return out;
}

double number(const std::string& text)
{
    // The job list is written with a decimal point whatever the locale; strtod would follow LC_NUMERIC,
    // which this program never sets, so it stays "C".
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') {
        std::fprintf(stderr, "korvo_tempo_corpus: not a number: '%s'\n", text.c_str());
        std::exit(2);
    }
    return value;
}

// Reads any file libsndfile knows into two channels (a mono file on both; past two channels, the first
// two).
bool readSound(const std::string& path, Sound& sound)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        std::fprintf(stderr, "korvo_tempo_corpus: cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    std::vector<float> data(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_float(file, data.data(), info.frames);
    sf_close(file);
    sound.rate = info.samplerate;
    sound.left.resize(got);
    sound.right.resize(got);
    for (sf_count_t i = 0; i < got; ++i) {
        sound.left[i] = data[i * info.channels];
        sound.right[i] = data[i * info.channels + (info.channels > 1 ? 1 : 0)];
    }
    return true;
}

// Windowed-sinc resampling (Blackman window, 24 zero crossings a side): the kits are mostly 44.1 kHz and
// the corpus is also written at 48 and 96 kHz; linear interpolation would add images that no real
// recording has.
std::vector<float> resample(const std::vector<float>& in, int from, int to)
{
    if (from == to)
        return in;
    const double ratio = static_cast<double>(to) / from;
    const double cutoff = std::min(1.0, ratio);
    const int half = static_cast<int>(std::ceil(24 / cutoff));
    const size_t count = static_cast<size_t>(std::ceil(in.size() * ratio));
    std::vector<float> out(count);
    for (size_t n = 0; n < count; ++n) {
        const double t = n / ratio;
        const long centre = static_cast<long>(std::floor(t));
        double sum = 0;
        for (long k = centre - half + 1; k <= centre + half; ++k) {
            if (k < 0 || k >= static_cast<long>(in.size()))
                continue;
            const double x = t - k;
            const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * x / half) +
                             0.08 * std::cos(2 * std::numbers::pi * x / half);
            const double arg = std::numbers::pi * x * cutoff;
            const double sinc = arg == 0 ? 1 : std::sin(arg) / arg;
            sum += in[k] * cutoff * sinc * w;
        }
        out[n] = static_cast<float>(sum);
    }
    return out;
}

class Renderer
{
public:
    bool run(const std::string& jobs);

private:
    const Sound* sampleAt(const std::string& path);
    void start(const std::vector<std::string>& f);
    void mix(const Sound& sound, double time, double left, double right, double length);
    void tone(const std::vector<std::string>& f);
    bool finish();

    std::map<std::pair<std::string, int>, Sound> m_samples; // by path and the rate resampled to

    std::string m_path;
    std::string m_format;
    int m_rate = 44100;
    int m_channels = 2;
    long m_frames = 0;
    std::string m_peak;
    bool m_wrap = false;
    double m_fadeStart = -1;
    double m_fadeEnd = -1;
    double m_silenceFrom = -1;
    std::vector<float> m_left; // m_frames plus whatever rings past them
    std::vector<float> m_right;
};

const Sound* Renderer::sampleAt(const std::string& path)
{
    const auto key = std::make_pair(path, m_rate);
    auto it = m_samples.find(key);
    if (it != m_samples.end())
        return &it->second;
    Sound raw;
    if (!readSound(path, raw))
        return nullptr;
    Sound& sound = m_samples[key];
    sound.rate = m_rate;
    sound.left = resample(raw.left, raw.rate, m_rate);
    sound.right = resample(raw.right, raw.rate, m_rate);
    return &sound;
}

void Renderer::start(const std::vector<std::string>& f)
{
    m_path = f.at(1);
    m_format = f.at(2);
    m_rate = static_cast<int>(number(f.at(3)));
    m_channels = static_cast<int>(number(f.at(4)));
    m_frames = static_cast<long>(number(f.at(5)));
    m_peak = f.at(6);
    m_wrap = false;
    m_fadeStart = m_fadeEnd = m_silenceFrom = -1;
    m_left.assign(m_frames, 0.0f);
    m_right.assign(m_frames, 0.0f);
}

// Adds a sound from TIME on (a negative time lets a take start while earlier hits still ring). The
// buffer grows past the file's end for the tails that a wrapped loop folds back.
void Renderer::mix(const Sound& sound, double time, double left, double right, double length)
{
    const long first = std::lround(time * m_rate);
    long count = static_cast<long>(sound.left.size());
    const long choke = length > 0 ? std::lround(length * m_rate) : -1;
    const long chokeFade = m_rate / 200; // 5 ms: a choked cymbal stops quickly but without a click
    if (choke >= 0)
        count = std::min(count, choke + chokeFade);
    const long need = first + count;
    if (need > static_cast<long>(m_left.size())) {
        m_left.resize(need, 0.0f);
        m_right.resize(need, 0.0f);
    }
    for (long i = std::max(0L, -first); i < count; ++i) {
        double g = 1;
        if (choke >= 0 && i > choke)
            g = 1 - static_cast<double>(i - choke) / chokeFade;
        m_left[first + i] += static_cast<float>(sound.left[i] * left * g);
        m_right[first + i] += static_cast<float>(sound.right[i] * right * g);
    }
}

void Renderer::tone(const std::vector<std::string>& f)
{
    const std::string kind = f.at(1);
    const double time = number(f.at(2));
    const double length = number(f.at(3));
    const double gain = number(f.at(4));
    const double frequency = number(f.at(5));
    std::mt19937 random(static_cast<unsigned>(number(f.at(6))));
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const long count = std::lround(length * m_rate);
    Sound sound;
    sound.rate = m_rate;
    sound.left.resize(count);
    const double r = m_rate;
    double phase = 0;
    double previous = 0;
    for (long i = 0; i < count; ++i) {
        const double t = i / r;
        double v = 0;
        if (kind == "sine") {
            const double edge = std::min({1.0, t / 0.01, (length - t) / 0.01});
            v = std::sin(2 * std::numbers::pi * frequency * t) * edge;
        } else if (kind == "pad") {
            // A major chord of slightly detuned partials with a slow swell: sustained, no onsets.
            const double swell = std::min({1.0, t / 1.5, (length - t) / 1.5});
            for (double ratio : {1.0, 1.25, 1.5, 2.0})
                for (double detune : {-0.003, 0.0, 0.004})
                    for (int h = 1; h <= 4; ++h)
                        v += std::sin(2 * std::numbers::pi * frequency * ratio * (1 + detune) * h * t +
                                      0.7 * std::sin(2 * std::numbers::pi * 0.3 * t)) /
                             (h * 12.0);
            v *= swell;
        } else if (kind == "noise") {
            v = (uniform(random) + uniform(random)) / 2; // triangular, as dither is
        } else if (kind == "kick") {
            phase += 2 * std::numbers::pi * (45 + 110 * std::exp(-t / 0.03)) / r;
            v = std::sin(phase) * std::exp(-t / 0.25);
        } else if (kind == "snare") {
            v = (0.6 * uniform(random) + 0.4 * std::sin(2 * std::numbers::pi * 190 * t)) *
                std::exp(-t / 0.09);
        } else if (kind == "hat") {
            const double white = uniform(random);
            v = (white - previous) * std::exp(-t / 0.03); // differenced noise: the highs only
            previous = white;
        } else {
            std::fprintf(stderr, "korvo_tempo_corpus: unknown tone '%s'\n", kind.c_str());
            std::exit(2);
        }
        sound.left[i] = static_cast<float>(v);
    }
    sound.right = sound.left;
    mix(sound, time, gain, gain, -1);
}

bool Renderer::finish()
{
    if (m_wrap)
        for (size_t i = m_frames; i < m_left.size(); ++i) {
            m_left[i % m_frames] += m_left[i];
            m_right[i % m_frames] += m_right[i];
        }
    m_left.resize(m_frames);
    m_right.resize(m_frames);
    for (long i = 0; i < m_frames; ++i) {
        const double t = static_cast<double>(i) / m_rate;
        double g = 1;
        if (m_fadeStart >= 0 && t >= m_fadeStart) {
            const double x = std::min(1.0, (t - m_fadeStart) / (m_fadeEnd - m_fadeStart));
            g = (1 - x) * (1 - x);
        }
        if (m_silenceFrom >= 0 && t >= m_silenceFrom)
            g = 0;
        m_left[i] = static_cast<float>(m_left[i] * g);
        m_right[i] = static_cast<float>(m_right[i] * g);
    }
    double scale = 1;
    if (m_peak != "raw") {
        float peak = 0;
        for (long i = 0; i < m_frames; ++i)
            peak = std::max({peak, std::fabs(m_left[i]), std::fabs(m_right[i])});
        if (peak > 0)
            scale = std::pow(10.0, number(m_peak) / 20) / peak;
    }

    static const std::map<std::string, int> formats = {
        {"wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},        {"wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"wavf", SF_FORMAT_WAV | SF_FORMAT_FLOAT},          {"aiff16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"aiff24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},      {"flac16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"flac24", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},      {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    };
    const auto format = formats.find(m_format);
    if (format == formats.end()) {
        std::fprintf(stderr, "korvo_tempo_corpus: unknown format '%s'\n", m_format.c_str());
        return false;
    }
    SF_INFO info{};
    info.samplerate = m_rate;
    info.channels = m_channels;
    info.format = format->second;
    SNDFILE* file = sf_open(m_path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "korvo_tempo_corpus: cannot write %s: %s\n", m_path.c_str(),
                     sf_strerror(nullptr));
        return false;
    }
    // Integer formats round rather than truncate; a peak at full scale would wrap without clipping on.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> out(static_cast<size_t>(m_frames) * m_channels);
    for (long i = 0; i < m_frames; ++i) {
        if (m_channels == 1) {
            out[i] = static_cast<float>((m_left[i] + m_right[i]) / 2 * scale);
        } else {
            out[2 * i] = static_cast<float>(m_left[i] * scale);
            out[2 * i + 1] = static_cast<float>(m_right[i] * scale);
        }
    }
    // In blocks: the Vorbis encoder takes a whole write on its stack, and a long take overflows it.
    constexpr sf_count_t kBlock = 65536;
    sf_count_t written = 0;
    while (written < m_frames) {
        const sf_count_t count = std::min<sf_count_t>(kBlock, m_frames - written);
        if (sf_writef_float(file, out.data() + written * m_channels, count) != count)
            break;
        written += count;
    }
    const int closed = sf_close(file);
    if (written != m_frames || closed != 0) {
        std::fprintf(stderr, "korvo_tempo_corpus: writing %s failed\n", m_path.c_str());
        return false;
    }
    return true;
}

bool Renderer::run(const std::string& jobs)
{
    std::ifstream in(jobs);
    if (!in) {
        std::fprintf(stderr, "korvo_tempo_corpus: cannot read %s\n", jobs.c_str());
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = fields(line);
        if (f.empty())
            continue;
        const std::string& what = f[0];
        if (what == "file") {
            start(f);
        } else if (what == "hit") {
            const Sound* sound = sampleAt(f.at(6));
            if (!sound)
                return false;
            mix(*sound, number(f.at(1)), number(f.at(2)) * number(f.at(3)), number(f.at(2)) * number(f.at(4)),
                number(f.at(5)));
        } else if (what == "tone") {
            tone(f);
        } else if (what == "source") {
            Sound sound;
            if (!readSound(f.at(1), sound))
                return false;
            if (sound.rate != m_rate) {
                sound.left = resample(sound.left, sound.rate, m_rate);
                sound.right = resample(sound.right, sound.rate, m_rate);
            }
            mix(sound, number(f.at(2)), number(f.at(3)), number(f.at(3)), -1);
        } else if (what == "fade") {
            m_fadeStart = number(f.at(1));
            m_fadeEnd = number(f.at(2));
        } else if (what == "silence") {
            m_silenceFrom = number(f.at(1));
        } else if (what == "wrap") {
            m_wrap = true;
        } else if (what == "end") {
            if (!finish())
                return false;
        } else {
            std::fprintf(stderr, "korvo_tempo_corpus: unknown record '%s'\n", what.c_str());
            return false;
        }
    }
    return true;
}

bool decode(const std::string& from, const std::string& to)
{
    SF_INFO info{};
    SNDFILE* in = sf_open(from.c_str(), SFM_READ, &info);
    if (!in) {
        std::fprintf(stderr, "korvo_tempo_corpus: cannot read %s: %s\n", from.c_str(), sf_strerror(nullptr));
        return false;
    }
    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(to.c_str(), SFM_WRITE, &outInfo);
    if (!out) {
        sf_close(in);
        std::fprintf(stderr, "korvo_tempo_corpus: cannot write %s: %s\n", to.c_str(), sf_strerror(nullptr));
        return false;
    }
    sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::vector<float> block(4096 * static_cast<size_t>(info.channels));
    bool ok = true;
    for (;;) {
        const sf_count_t got = sf_readf_float(in, block.data(), 4096);
        if (got <= 0)
            break;
        if (sf_writef_float(out, block.data(), got) != got) {
            ok = false;
            break;
        }
    }
    sf_close(in);
    if (sf_close(out) != 0 || !ok) {
        std::fprintf(stderr, "korvo_tempo_corpus: writing %s failed\n", to.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "render" && argc == 3)
        return Renderer().run(argv[2]) ? 0 : 1;
    if (command == "decode" && argc == 4)
        return decode(argv[2], argv[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: korvo_tempo_corpus render JOBS | decode IN OUT.wav\n");
    return 2;
}
