#pragma once

// While one of these lives, what the sound libraries print on their own goes nowhere: PortAudio's
// look at every ALSA and JACK back end on Linux prints a page of errors for each one that has no
// device or server, which a person who started Korvo from a terminal need not read. Each
// system's part sits in a file of its own (quietoutput_posix.cpp, quietoutput_windows.cpp).
namespace korvo::audio {

class QuietOutput
{
public:
    QuietOutput();
    ~QuietOutput();
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

private:
    int m_saved = -1; // the standard error as it was, while it is set aside
};

} // namespace korvo::audio
