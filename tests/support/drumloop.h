#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <sndfile.h>
#include <string>
#include <vector>

// Drum-like test audio, written with libsndfile: a kick on the first beat of each bar and halfway
// through it (or, as a backbeat, on the first only), a snare on the other beats of 4/4 (two and
// four) or of 3/4 (two and three), a closed hi-hat on every eighth, the off-beat ones swung when
// asked. The noise comes from a fixed generator, so every run writes the same bytes.
namespace korvo::test {

struct DrumLoop
{
    double bpm = 120;
    double seconds = 8; // the length, cut wherever it falls unless `beats` is given
    int beats = 0;      // a loop of exactly this many beats (frames rounded to the nearest)
    int sampleRate = 44100;
    int channels = 2;
    int beatsPerBar = 4;      // 3 for a waltz
    double swing = 0.5;       // where the off-beat eighth falls: 0.5 straight, 0.62 swung, 0 on the beat
    double silenceBefore = 0; // seconds of silence before the loop
    double silenceAfter = 0;  // seconds of silence appended
    double trim = 0;          // seconds the loop is cut longer (or, negative, shorter) than its beats
    double crashTail = 0;     // a crash on the first beat, ringing this many seconds past the loop
    double wash = 0;          // a ride washing under the whole loop, noise at this amplitude
    double attack = 0;        // seconds each hit is a faint rustle before it strikes, as in some kits
    double rustle = 0.002;    // the rustle's amplitude
    double hat = 0.15;        // the hi-hat's amplitude
    bool backbeat = false;    // kick on one only: the beat then often sounds half as fast
    bool funk = false;        // kicks three sixteenths apart, snares on two and four, hi-hats on sixteenths
    // What a WAV may say of its own loop: an ACID chunk (tempo 0: none) and sampler loop points
    // (end 0: none), in frames from the file's start.
    double acidTempo = 0;
    int acidBeats = 0;
    bool acidOneShot = false;
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0;
    enum class Sound
    {
        Drums,
        Tone,  // a steady 440 Hz sine at -6 dB: no beat at all
        Dither // noise at the level of 16-bit dither: silence, as far as a beat goes
    } sound = Sound::Drums;
};

inline std::int64_t loopFrames(const DrumLoop& loop)
{
    const double seconds = loop.beats > 0 ? 60.0 * loop.beats / loop.bpm : loop.seconds;
    return std::llround((seconds + loop.trim) * loop.sampleRate);
}

// The mono signal of the loop, before it is spread over the channels.
inline std::vector<float> drumSignal(const DrumLoop& loop)
{
    const std::int64_t frames = loopFrames(loop);
    const auto before = std::llround(loop.silenceBefore * loop.sampleRate);
    const auto tail = std::llround(loop.crashTail * loop.sampleRate);
    const auto after = std::llround(loop.silenceAfter * loop.sampleRate);
    std::vector<float> out(static_cast<std::size_t>(before + frames + tail + after), 0.0f);
    const double rate = loop.sampleRate;
    std::uint32_t noise = 22222;
    const auto nextNoise = [&noise] {
        noise = noise * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
    };
    const auto end = static_cast<std::size_t>(before + frames + tail);
    if (loop.sound != DrumLoop::Sound::Drums) {
        for (auto i = static_cast<std::size_t>(before); i < end; ++i)
            out[i] = loop.sound == DrumLoop::Sound::Tone
                         ? static_cast<float>(
                               0.5 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / rate))
                         : nextNoise() / 32768.0f;
        return out;
    }
    // Each hit adds its decaying sound from its start until it has died away or the loop ends (the
    // crash rings on into the tail).
    const auto hit = [&](double at, double seconds, auto&& sound) {
        const auto first = static_cast<std::size_t>(before + std::llround(at * rate));
        const auto struck = first + static_cast<std::size_t>(std::llround(loop.attack * rate));
        const auto last = std::min(end, struck + static_cast<std::size_t>(seconds * rate));
        for (std::size_t i = first; i < std::min(struck, last); ++i)
            out[i] += static_cast<float>(loop.rustle) * nextNoise();
        for (std::size_t i = struck; i < last; ++i)
            out[i] += static_cast<float>(sound(static_cast<double>(i - struck) / rate));
    };
    // A falling sine with a quick decay, noise with a body, a faint tick of noise.
    const auto kick = [](double t) {
        return 0.6 * std::exp(-t * 18) *
               std::sin(2 * std::numbers::pi * (50 * t + 60 * (1 - std::exp(-t * 30))));
    };
    const auto snare = [&](double t) {
        return std::exp(-t * 25) * (0.9 * nextNoise() + 0.3 * std::sin(2 * std::numbers::pi * 190 * t));
    };
    const auto hat = [&](double t) { return loop.hat * std::exp(-t * 120) * nextNoise(); };
    const double beat = 60.0 / loop.bpm;
    const double loopSeconds = static_cast<double>(frames) / rate;
    // A beat that would start on the loop's last frame (its length rounded up to whole frames) is the
    // next loop's.
    const double last = loopSeconds - 0.5 / rate;
    for (int step = 0; loop.funk && step * beat / 4 < last; ++step) {
        const int s = step % 16; // kicks x..x..x...x..x.., snares ....x.......x..., hi-hats on every step
        if (s == 0 || s == 3 || s == 6 || s == 10 || s == 13)
            hit(step * beat / 4, 0.4, kick);
        if (s == 4 || s == 12)
            hit(step * beat / 4, 0.3, snare);
        hit(step * beat / 4, 0.08, hat);
    }
    for (int b = 0; !loop.funk && b * beat < last; ++b) {
        const int inBar = b % loop.beatsPerBar;
        const double at = b * beat;
        if (inBar == 0 || (!loop.backbeat && loop.beatsPerBar == 4 && inBar == 2))
            hit(at, 0.4, kick);
        else
            hit(at, 0.3, snare);
        for (const double eighth : {0.0, loop.swing})
            if (at + eighth * beat < loopSeconds)
                hit(at + eighth * beat, 0.08, hat);
    }
    if (loop.wash > 0)
        hit(0, loopSeconds, [&](double) { return loop.wash * nextNoise(); });
    if (loop.crashTail > 0)
        hit(0, loopSeconds + loop.crashTail,
            [&](double t) { return 0.3 * std::exp(-t * 1.5) * nextNoise(); });
    return out;
}

// Appends an ACID chunk to a WAV written by libsndfile (which writes none) and mends the RIFF size.
inline bool appendAcidChunk(const std::string& path, const DrumLoop& loop)
{
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f)
        return false;
    const auto put32 = [](unsigned char* at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            at[i] = static_cast<unsigned char>(v >> (8 * i));
    };
    unsigned char chunk[32] = {'a', 'c', 'i', 'd', 24};
    put32(chunk + 8, loop.acidOneShot ? 1 : 0); // flags: one-shot or loop
    chunk[12] = 60;                             // root note
    put32(chunk + 20, static_cast<std::uint32_t>(loop.acidBeats));
    chunk[24] = 4; // the metre's note: quarters
    chunk[26] = 4; // beats a bar
    const float tempo = static_cast<float>(loop.acidTempo);
    std::memcpy(chunk + 28, &tempo, 4);
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = std::ftell(f);
    ok = ok && size > 8 && std::fwrite(chunk, 1, sizeof chunk, f) == sizeof chunk;
    unsigned char riff[4];
    put32(riff, static_cast<std::uint32_t>(size + sizeof chunk - 8));
    ok = ok && std::fseek(f, 4, SEEK_SET) == 0 && std::fwrite(riff, 1, 4, f) == 4;
    return std::fclose(f) == 0 && ok;
}

// Writes the loop in a format libsndfile writes (16-bit WAV unless told); false when it refused.
inline bool writeDrumLoop(const std::string& path, const DrumLoop& loop,
                          int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    std::vector<float> mono = drumSignal(loop);
    for (float& s : mono)
        s = std::fmax(-1.0f, std::fmin(1.0f, s));
    std::vector<float> frames(mono.size() * static_cast<std::size_t>(loop.channels));
    for (std::size_t i = 0; i < mono.size(); ++i)
        for (int c = 0; c < loop.channels; ++c)
            frames[i * static_cast<std::size_t>(loop.channels) + static_cast<std::size_t>(c)] = mono[i];
    SF_INFO info{};
    info.samplerate = loop.sampleRate;
    info.channels = loop.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    if (loop.loopEnd > 0) {
        SF_INSTRUMENT instrument{};
        instrument.basenote = 60;
        instrument.loop_count = 1;
        instrument.loops[0].mode = SF_LOOP_FORWARD;
        instrument.loops[0].start = static_cast<std::uint32_t>(loop.loopStart);
        instrument.loops[0].end = static_cast<std::uint32_t>(loop.loopEnd);
        sf_command(file, SFC_SET_INSTRUMENT, &instrument, sizeof instrument);
    }
    const auto count = static_cast<sf_count_t>(mono.size());
    const bool written = sf_writef_float(file, frames.data(), count) == count;
    if (sf_close(file) != 0 || !written)
        return false;
    return loop.acidTempo <= 0 || appendAcidChunk(path, loop);
}

} // namespace korvo::test
