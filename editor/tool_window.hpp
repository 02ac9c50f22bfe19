#pragma once

#include <QDialog>
#include <functional>

class QPushButton;

namespace qvx::editor {

// A modeless tool window of the main window (the instrument editor, the ROM Maker): shown and
// hidden from the View menu, its contents kept while hidden. It reports when it hides itself
// (close box, Escape), so that the menu's check mark follows.
class ToolWindow : public QDialog {
    Q_OBJECT

  public:
    ToolWindow(const QString& title, QWidget* parent);

  signals:
    void shownChanged(bool shown);

  protected:
    // A push button that never becomes the default (Enter in a field must not press it).
    QPushButton* button(const QString& text, const char* name, std::function<void()> action);
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

}  // namespace qvx::editor
