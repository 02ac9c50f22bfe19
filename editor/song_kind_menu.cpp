#include "editor/song_kind_menu.hpp"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include "editor/kit_editor.hpp"

namespace qvx::editor {

SongKindMenu::SongKindMenu(Workspace& workspace, Prompts& prompts, QMenu& file, QAction* newProject,
                           QMenu& song, QLabel& kindLabel, std::function<bool()> changesHandled,
                           std::function<void()> started, QWidget* parent)
    : QObject(parent), workspace_(workspace), kindLabel_(kindLabel) {
    auto* wholeChip = new QAction(QStringLiteral("New &Whole-Chip Song"), &file);
    wholeChip->setObjectName(QStringLiteral("newWholeChipSong"));
    wholeChip->setStatusTip(
        QStringLiteral("Starts a song for the whole chip: FM tracks and ADPCM-A drum tracks"));
    wholeChip->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    file.insertAction(
        newProject ? file.actions().value(file.actions().indexOf(newProject) + 1) : nullptr,
        wholeChip);
    connect(wholeChip, &QAction::triggered, this, [this, changesHandled, started] {
        if (!changesHandled()) return;
        workspace_.newWholeChipSong();
        started();
    });

    convert_ = song.addAction(QStringLiteral("&Convert to Whole-Chip Song"));
    convert_->setObjectName(QStringLiteral("convertToWholeChip"));
    convert_->setStatusTip(QStringLiteral(
        "Makes this song a whole-chip song: its FM tracks and instruments stay, drum tracks join"));
    connect(convert_, &QAction::triggered, this, [this] { workspace_.convertToWholeChip(); });

    kitEditor_ = new KitEditor(workspace_, prompts, parent);
    kits_ = song.addAction(QStringLiteral("Drum &Kit Editor..."));
    kits_->setObjectName(QStringLiteral("kitEditor"));
    kits_->setStatusTip(
        QStringLiteral("Shows the drum kits of a whole-chip song: a sample and a "
                       "level on each note"));
    connect(kits_, &QAction::triggered, this, [this] {
        kitEditor_->selectInstrument(workspace_.selectedInstrument());
        kitEditor_->show();
        kitEditor_->raise();
    });

    kindLabel_.setObjectName(QStringLiteral("songKind"));
    kindLabel_.setToolTip(QStringLiteral("The kind of song open, and so the driver it plays on"));
    show();
}

QString SongKindMenu::kindText(SongKind kind) {
    return kind == SongKind::Classic ? QStringLiteral("Classic song")
                                     : QStringLiteral("Whole-chip song");
}

void SongKindMenu::workspaceChanged(const WorkspaceChange& change) {
    if (change.what & WorkspaceChange::kSongKind) show();
    if (change.what & (WorkspaceChange::kInstruments | WorkspaceChange::kSongKind))
        kitEditor_->refresh();
}

void SongKindMenu::show() {
    const SongKind kind = workspace_.song().kind;
    kindLabel_.setText(kindText(kind));
    convert_->setEnabled(kind == SongKind::Classic);
    kits_->setEnabled(kind == SongKind::WholeChip);
    if (kind == SongKind::Classic) kitEditor_->hide();
}

}  // namespace qvx::editor
