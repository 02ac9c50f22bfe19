#pragma once

#include <QWidget>
#include <filesystem>
#include <vector>

#include "song/preset_library.hpp"

class QTreeWidget;
class QTreeWidgetItem;

namespace qvx::editor {

// Where the editor finds its preset voices: installed beside the program
// (share/qvxtracker/voices), or else in the source tree it was built from.
std::vector<PresetGroup> shippedPresets();

// The preset voices, grouped, with a "Use Preset" button. A click on a preset asks to hear it;
// a double click or the button asks to use it.
class PresetPanel : public QWidget {
    Q_OBJECT

  public:
    explicit PresetPanel(std::vector<PresetGroup> groups, QWidget* parent = nullptr);
    QTreeWidget* tree() const { return tree_; }
    const std::vector<PresetGroup>& groups() const { return groups_; }
    const PresetEntry* selected() const;

  signals:
    void auditioned(const qvx::PresetEntry& preset);
    void used(const qvx::PresetEntry& preset);

  private:
    const PresetEntry* entryOf(const QTreeWidgetItem* item) const;

    std::vector<PresetGroup> groups_;
    QTreeWidget* tree_ = nullptr;
};

}  // namespace qvx::editor
