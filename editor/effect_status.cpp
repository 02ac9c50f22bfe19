#include "editor/effect_status.hpp"

#include "song/effects.hpp"

namespace qvx::editor {

EffectStatus::EffectStatus(const Workspace& workspace, QWidget* parent)
    : QLabel(parent), workspace_(workspace) {
    setObjectName(QStringLiteral("effectStatus"));
}

void EffectStatus::workspaceChanged(const WorkspaceChange& change) {
    using Change = WorkspaceChange;
    if (!(change.what & (Change::kCursor | Change::kCell | Change::kGrid | Change::kSongKind)))
        return;
    const Song& song = workspace_.song();
    const PatternCursor& cursor = workspace_.cursor();
    if (song.kind != SongKind::WholeChip) return clear();
    const Cell& cell = workspace_.currentPatternData().cell(cursor.track(), cursor.row());
    setText(QString::fromStdString(
        describeEffect(cell.effect, cell.parameter, trackKind(song.kind, cursor.track()))));
}

}  // namespace qvx::editor
