#pragma once

#include <QWidget>
#include <array>

#include "song/voice_sound.hpp"

namespace qvx::editor {

// The four operators wired as the chip wires them for a connection: boxes numbered as the Slot
// columns, arrows from modulator to modulated, the carriers filled and led to the output, and
// the feedback loop on slot 1 with its value.
class AlgorithmView : public QWidget {
    Q_OBJECT

  public:
    explicit AlgorithmView(QWidget* parent = nullptr);
    void setVoice(int connection, int feedback);
    int connection() const { return connection_; }
    int feedback() const { return feedback_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int connection_ = 0;
    int feedback_ = 0;
};

// Each operator's envelope for a note held 1.5 s and then released: level in dB over time, the
// carriers' curves drawn stronger.
class EnvelopeView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kHoldMs = 1500;
    static constexpr int kReleaseMs = 1000;

    explicit EnvelopeView(QWidget* parent = nullptr);
    // The voice played at a C of `octave`. Its curves are computed when they are next drawn or
    // asked for, so that a field held on its arrow is not slowed down by them.
    void setVoice(const VoiceBytes& voice, int octave);
    const std::array<EnvelopeCurve, VoiceFields::kSlots>& curves() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    VoiceBytes voice_{};
    int octave_ = 4;
    mutable bool stale_ = true;
    mutable std::array<EnvelopeCurve, VoiceFields::kSlots> curves_{};
    std::array<bool, VoiceFields::kSlots> carrier_{};
};

}  // namespace qvx::editor
