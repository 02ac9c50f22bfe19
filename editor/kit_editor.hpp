#pragma once

#include "editor/instrument_tool_window.hpp"
#include "editor/services.hpp"
#include "song/workspace.hpp"

class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;

namespace qvx::editor {

// "Drum Kit Editor": one of a whole-chip song's instruments as a drum kit. Its twelve notes, each
// with the sample it plays (name, length, V ROM cost) and its level; a sound file loaded into the
// selected note or into every note, converted to the chip's ADPCM-A rate; the selected note
// heard; its sample trimmed at the start and the end. Every change is a step of the workspace.
class KitEditor : public InstrumentToolWindow {
    Q_OBJECT

  public:
    KitEditor(Workspace& workspace, Prompts& prompts, QWidget* parent);

    int selectedNote() const;
    void selectNote(int note);

    QTableWidget* notes() const { return notes_; }
    QLabel* figures() const { return figures_; }
    QSpinBox* trimStartField() const { return trimStart_; }
    QSpinBox* trimEndField() const { return trimEnd_; }

    // The buttons' actions, also for tests.
    void loadSound(bool allNotes);
    void audition();
    void trim();

  private:
    void showInstrument() override;
    void levelEdited(int note, int level);

    Prompts& prompts_;
    QTableWidget* notes_ = nullptr;
    QLabel* figures_ = nullptr;
    QSpinBox* trimStart_ = nullptr;
    QSpinBox* trimEnd_ = nullptr;
};

}  // namespace qvx::editor
