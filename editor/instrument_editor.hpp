#pragma once

#include <QWidget>
#include <array>

#include "editor/services.hpp"
#include "editor/tool_window.hpp"
#include "song/instrument_editing.hpp"

class QComboBox;
class QSpinBox;

namespace qvx {
struct PresetEntry;
}

namespace qvx::editor {

class AlgorithmView;
class EnvelopeView;
class PresetPanel;

// The test keyboard: one octave drawn with QPainter, 57 x 41 pixels; a click plays its key.
class TestKeyboard : public QWidget {
    Q_OBJECT

  public:
    explicit TestKeyboard(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  signals:
    void clicked(int x, int y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};

// "Instrument Editor": the song's 31 FM instruments, one at a time, as 38 fields; Store, Clear,
// Rename, Load, Save; a test keyboard that plays the fields' voice; pictures of the wiring and
// the envelopes that follow the fields; and the preset voices to hear and to load. The rules are
// the model's (InstrumentEditing); this window shows them and forwards its controls.
class InstrumentEditor : public ToolWindow {
    Q_OBJECT

  public:
    InstrumentEditor(Workspace& workspace, Prompts& prompts, QWidget* parent);

    // The main window shows instrument `index` (the Voice list's).
    void selectInstrument(int index);
    // The song's instrument names changed (rename, load, open ...).
    void instrumentsChanged();
    // Shows instrument `index`, then loads the preset file into it as Load does.
    void loadPreset(int index, const std::filesystem::path& path);

    InstrumentEditing& editing() { return editing_; }
    QComboBox* instrumentList() const { return list_; }
    QSpinBox* connectionField() const { return connection_; }
    QSpinBox* feedbackField() const { return feedback_; }
    // Slot k (0-3), row r (0-8: Detune ... Release).
    QSpinBox* slotField(int slot, int row) const { return slotFields_[slot][row]; }
    TestKeyboard* keyboard() const { return keyboard_; }
    QSpinBox* octaveField() const { return octave_; }
    AlgorithmView* algorithmView() const { return algorithm_; }
    EnvelopeView* envelopeView() const { return envelopes_; }
    PresetPanel* presetPanel() const { return presets_; }

  private:
    void buildLayout();
    void refillList();
    QWidget* buildPictures();
    void showFields();
    void fieldEdited();
    void showPictures();
    void audition(const PresetEntry& preset);
    void usePreset(const PresetEntry& preset);
    void chosen(int index);
    void rename();
    void load();
    void save();
    void storeSettings();
    void clearSettings();
    void closeWindow();

    Workspace& workspace_;
    Prompts& prompts_;
    InstrumentEditing editing_;
    QComboBox* list_ = nullptr;
    QSpinBox* connection_ = nullptr;
    QSpinBox* feedback_ = nullptr;
    std::array<std::array<QSpinBox*, 9>, 4> slotFields_{};
    TestKeyboard* keyboard_ = nullptr;
    QSpinBox* octave_ = nullptr;
    AlgorithmView* algorithm_ = nullptr;
    EnvelopeView* envelopes_ = nullptr;
    PresetPanel* presets_ = nullptr;
};

}  // namespace qvx::editor
