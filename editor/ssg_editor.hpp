#pragma once

#include "editor/tool_window.hpp"
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
class SsgEditor : public ToolWindow {
    Q_OBJECT

  public:
    SsgEditor(Workspace& workspace, QWidget* parent);

    void refresh();  // the song or its instruments changed
    void selectInstrument(int number);
    int instrument() const { return instrument_; }

    // The test note: held until released.
    void playTestNote();
    void releaseTestNote();

    QComboBox* mixField() const { return mix_; }
    QSpinBox* volumeField() const { return volume_; }
    QLineEdit* sequenceField() const { return sequence_; }
    QLabel* problem() const { return problem_; }

  private:
    void showVoice();
    void showWhatApplies();
    void edited();

    Workspace& workspace_;
    int instrument_ = 1;
    QComboBox* list_ = nullptr;
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
