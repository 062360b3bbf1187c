#pragma once

#include "audio/engine.h"
#include "sample/sampletempo.h"
#include "sample/waveform.h"

#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QRadioButton;

namespace korvo {

// The whole loop as drawn: its peaks column by column, the beat grid of the reading it was taken
// as, and while it plays the place heard now. Without a loop it says so.
class Waveform final : public QWidget
{
    Q_OBJECT

public:
    explicit Waveform(QWidget* parent);

    // The loop and its reading; nullptr: none.
    void setLoop(std::shared_ptr<const audio::Loop> loop, double tempo, int beats);
    // The frame heard now; -1: nothing plays.
    void setPlayhead(std::int64_t frame);
    // How much of the loop is decoded, from 0 to 1, while it is; below 0: none is being decoded.
    void setDecoded(double done);
    std::int64_t playhead() const { return m_playhead; }

    // The grid's lines at the width the loop is drawn at now.
    std::vector<sample::GridLine> grid() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::shared_ptr<const audio::Loop> m_loop;
    double m_tempo = 0;
    int m_beats = 0;
    std::int64_t m_playhead = -1;
    // Worked out again only when the loop or the width changes.
    std::vector<sample::Peak> m_peaks;
    int m_peaksWidth = -1;
    QLabel* m_empty = nullptr;
};

// The sample window: the loop of the reading last taken into BPM 1, played over and over at the
// main window's tempos, and written out at BPM 2. Modeless; at most one, which the main window makes
// the first time it is asked for and keeps; closing or Escape only hides it and stops the sound.
//
// What it holds: the sample (file, reading and, once the audio module decoded it, the loop), the
// tempos of the main window's last accepted calculation, the way the tempo is changed, and the
// playback while the loop plays.
class SampleWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit SampleWindow(QWidget* parent = nullptr);
    ~SampleWindow() override;

    // The reading taken into BPM 1; stops what plays and decodes the file through the audio module,
    // on a thread of its own, so that a long file holds up no window. Where the module cannot be had
    // or the file cannot be decoded, the user is told, and the window shows the file without its sound.
    void setSample(const ChosenTempo& sample);
    bool isDecoding() const { return m_decoding != nullptr; }
    // The main window's tempos of its last accepted calculation; what plays follows at once.
    void setTempos(double bpm1, double bpm2);

    bool isPlaying() const { return m_playback != nullptr; }
    audio::Mode mode() const { return m_mode; }
    // "<name> <BPM 2>bpm.wav" beside the source; empty without a sample.
    QString exportPath() const;

    Waveform* waveform() const { return m_waveform; }

    // Event handlers, named after their control and event.
    void CommandPlay_Click();
    void OptionMode_Click();
    void CommandExport_Click();
    void Timer_Tick();

protected:
    // Escape hides the window; Space plays or stops unless a button has the focus and takes it.
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void showSample();
    void showTempos();
    void play();
    void stop();
    void tell(const QString& text);
    void decoded(unsigned serial);

    class Decoding;

    ChosenTempo m_sample;
    std::shared_ptr<const audio::Loop> m_loop;
    double m_bpm1 = 0;
    double m_bpm2 = 0;
    audio::Mode m_mode = audio::Mode::WithPitch;
    std::unique_ptr<audio::Playback> m_playback;
    std::unique_ptr<Decoding> m_decoding; // the sample's file while it is decoded
    unsigned m_decodingSerial = 0;        // tells the decoding of now from one dropped before it
    QTimer m_timer; // reads where the playback or the decoding is, about 30 times a second

    Waveform* m_waveform = nullptr;
    QLabel* m_fileLabel = nullptr;
    QLabel* m_lengthLabel = nullptr;
    QLabel* m_tempoLabel = nullptr;
    QPushButton* m_playButton = nullptr;
    QRadioButton* m_withPitchOption = nullptr;
    QRadioButton* m_keepPitchOption = nullptr;
    QPushButton* m_exportButton = nullptr;
};

} // namespace korvo
