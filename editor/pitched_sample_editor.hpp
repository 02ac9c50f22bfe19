#pragma once

#include "editor/instrument_tool_window.hpp"
#include "editor/services.hpp"
#include "song/workspace.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace qvx::editor {

// "ADPCM-B Sample Editor": one of a whole-chip song's instruments as a sampled instrument on the
// ADPCM-B. A sound file loaded at the rate the composer picks (22,050 Hz unless told), its base
// note (where it plays at its own rate), level and loop; the figures say how long it is, what it
// takes of the V ROM, how long a pass of the loop is with its padding (the loop's end is padded to
// the chip's 256-byte blocks with the sample's start), and warn when the loop would click. The
// test note plays it at any note. Each edit is a step of the workspace.
class PitchedSampleEditor : public InstrumentToolWindow {
    Q_OBJECT

  public:
    PitchedSampleEditor(Workspace& workspace, Prompts& prompts, QWidget* parent);

    // The buttons' actions, also for tests.
    void loadSound();
    void playTestNote();
    void stopTestNote();

    QSpinBox* rateField() const { return rate_; }
    QCheckBox* loopField() const { return loop_; }
    QLabel* figures() const { return figures_; }

  private:
    void showInstrument() override;
    void edited();

    Prompts& prompts_;
    QLabel* sampleName_ = nullptr;
    QSpinBox* rate_ = nullptr;
    QComboBox* base_ = nullptr;
    QSpinBox* level_ = nullptr;
    QCheckBox* loop_ = nullptr;
    QLabel* figures_ = nullptr;
    QComboBox* testNote_ = nullptr;
};

}  // namespace qvx::editor
