#pragma once

#include "editor/instrument_tool_window.hpp"
#include "song/workspace.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace qvx::editor {

// "SSG Voice Editor": one of a whole-chip song's instruments as an SSG voice. Its mix, noise
// period, volume, the hardware envelope (shape, a period or one that follows the note) and the
// volume sequence with its loop and release steps. Each edit is a step of the workspace, heard at
// once on the test note the editor holds.
class SsgEditor : public InstrumentToolWindow {
    Q_OBJECT

  public:
    SsgEditor(Workspace& workspace, QWidget* parent);

    // The test note: held until released.
    void playTestNote();
    void releaseTestNote();

    QComboBox* mixField() const { return mix_; }
    QSpinBox* volumeField() const { return volume_; }
    QLineEdit* sequenceField() const { return sequence_; }
    QLabel* problem() const { return problem_; }

  private:
    void showInstrument() override;
    void showWhatApplies();
    void edited();

    QComboBox* mix_ = nullptr;
    QSpinBox* noise_ = nullptr;
    QSpinBox* volume_ = nullptr;
    QCheckBox* envelope_ = nullptr;
    QComboBox* shape_ = nullptr;
    QSpinBox* period_ = nullptr;
    QCheckBox* follows_ = nullptr;
    QLineEdit* sequence_ = nullptr;
    QSpinBox* loop_ = nullptr;
    QSpinBox* release_ = nullptr;
    QLabel* problem_ = nullptr;
    QComboBox* testNote_ = nullptr;
};

}  // namespace qvx::editor
