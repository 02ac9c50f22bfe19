#pragma once

#include <QLabel>

#include "song/workspace.hpp"

namespace qvx::editor {

// The status bar's name for the effect under the pattern cursor in a whole-chip song, with what
// its parameter asks: "4 vibrato: speed 3, depth 6/16 semitone". Empty elsewhere.
class EffectStatus : public QLabel {
    Q_OBJECT

  public:
    EffectStatus(const Workspace& workspace, QWidget* parent);
    void workspaceChanged(const WorkspaceChange& change);

  private:
    const Workspace& workspace_;
};

}  // namespace qvx::editor
