#pragma once

#include "editor/tool_window.hpp"

class QMenu;
class QTextBrowser;

namespace qvx::editor {

// Help > Keys and Effects: the editor's keys and the effects the sound driver plays, as a page to
// keep open beside the pattern editor, with where the README is.
class ReferenceWindow : public ToolWindow {
    Q_OBJECT

  public:
    explicit ReferenceWindow(QWidget* parent);
    QTextBrowser* page() const { return page_; }

  private:
    QTextBrowser* page_;
};

// Fills the Help menu: Keys and Effects (F1) and About QVXTracker.
void fillHelpMenu(QMenu& menu, QWidget& window);

// Where the README is: installed beside the program, else the source tree's.
QString readmePath();

}  // namespace qvx::editor
