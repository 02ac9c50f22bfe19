#include "editor/instrument_tool_window.hpp"

#include <QComboBox>
#include <QSignalBlocker>
#include <algorithm>

#include "editor/text.hpp"

namespace qvx::editor {

InstrumentToolWindow::InstrumentToolWindow(const QString& title, Workspace& workspace,
                                           QWidget* parent)
    : ToolWindow(title, parent), workspace_(workspace), list_(new QComboBox(this)) {
    connect(list_, &QComboBox::activated, this, [this](int index) { selectInstrument(index + 1); });
}

void InstrumentToolWindow::refresh() {
    const QSignalBlocker blocker(list_);
    list_->clear();
    for (const std::string& entry : workspace_.voiceListEntries())
        list_->addItem(fromModelText(entry));
    selectInstrument(instrument_);
}

void InstrumentToolWindow::selectInstrument(int number) {
    instrument_ = std::clamp(number, 1, workspace_.song().instrumentCount());
    list_->setCurrentIndex(instrument_ - 1);
    showInstrument();
}

}  // namespace qvx::editor
