#include "editor/tool_window.hpp"

#include <QHideEvent>
#include <QPushButton>
#include <QShowEvent>

namespace qvx::editor {

ToolWindow::ToolWindow(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setModal(false);
}

QPushButton* ToolWindow::button(const QString& text, const char* name,
                                std::function<void()> action) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, std::move(action));
    return b;
}

// Only the window's own showing and hiding count: the window system also hides it while the main
// window is minimised, which must not change the menu.
void ToolWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) emit shownChanged(true);
}

void ToolWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) emit shownChanged(false);
}

}  // namespace qvx::editor
