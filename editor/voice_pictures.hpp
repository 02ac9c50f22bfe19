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
    // Recomputes the curves for the voice played at a C of `octave`.
    void setVoice(const VoiceBytes& voice, int octave);
    const std::array<EnvelopeCurve, VoiceFields::kSlots>& curves() const { return curves_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<EnvelopeCurve, VoiceFields::kSlots> curves_{};
    std::array<bool, VoiceFields::kSlots> carrier_{};
};

}  // namespace qvx::editor
