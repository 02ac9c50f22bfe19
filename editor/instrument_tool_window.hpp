#pragma once

#include "editor/tool_window.hpp"
#include "song/workspace.hpp"

class QComboBox;

namespace qvx::editor {

// A tool window that edits one of the song's instruments at a time, the one chosen in its
// instrument list: the Drum Kit, SSG Voice and ADPCM-B Sample Editors.
class InstrumentToolWindow : public ToolWindow {
    Q_OBJECT

  public:
    void refresh();  // the song or its instruments changed
    void selectInstrument(int number);
    int instrument() const { return instrument_; }
    QComboBox* instrumentList() const { return list_; }

  protected:
    InstrumentToolWindow(const QString& title, Workspace& workspace, QWidget* parent);
    // Shows the selected instrument in the window's fields.
    virtual void showInstrument() = 0;

    Workspace& workspace_;

  private:
    int instrument_ = 1;
    QComboBox* list_ = nullptr;
};

}  // namespace qvx::editor
