#include "editor/preset_panel.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qvx::editor {

std::vector<PresetGroup> shippedPresets() {
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/qvxtracker/voices"));
    const std::filesystem::path candidates[] = {std::filesystem::path(installed.toStdString()),
                                                std::filesystem::path(QVX_VOICES_DIR)};
    return findPresets(presetFolder(candidates));
}

PresetPanel::PresetPanel(std::vector<PresetGroup> groups, QWidget* parent)
    : QWidget(parent), groups_(std::move(groups)) {
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("presets"));
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setToolTip(QStringLiteral("Click a preset to hear it; double-click to use it"));
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        auto* group = new QTreeWidgetItem(tree_, {QString::fromStdString(groups_[g].title)});
        group->setFlags(Qt::ItemIsEnabled);
        for (std::size_t p = 0; p < groups_[g].presets.size(); ++p) {
            auto* item =
                new QTreeWidgetItem(group, {QString::fromStdString(groups_[g].presets[p].name)});
            item->setData(0, Qt::UserRole, QPoint(int(g), int(p)));
        }
    }
    tree_->expandAll();
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (const PresetEntry* entry = entryOf(item)) emit auditioned(*entry);
    });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (const PresetEntry* entry = entryOf(item)) emit used(*entry);
    });
    auto* use = new QPushButton(QStringLiteral("&Use Preset"), this);
    use->setObjectName(QStringLiteral("usePreset"));
    use->setAutoDefault(false);
    use->setToolTip(QStringLiteral("Loads the preset into the instrument's fields, as Load does"));
    connect(use, &QPushButton::clicked, this, [this] {
        if (const PresetEntry* entry = selected()) emit used(*entry);
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_, 1);
    layout->addWidget(use);
}

const PresetEntry* PresetPanel::entryOf(const QTreeWidgetItem* item) const {
    const QVariant place = item ? item->data(0, Qt::UserRole) : QVariant();
    if (!place.isValid()) return nullptr;
    const QPoint p = place.toPoint();
    return &groups_[std::size_t(p.x())].presets[std::size_t(p.y())];
}

const PresetEntry* PresetPanel::selected() const {
    return entryOf(tree_->currentItem());
}

}  // namespace qvx::editor
