#pragma once

#include <QObject>
#include <functional>

#include "editor/services.hpp"
#include "song/workspace.hpp"

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace qvx::editor {

class KitEditor;
class PitchedSampleEditor;
class SsgEditor;

// The two kinds of song in the menus: File -> New Whole-Chip Song, Song -> Convert to Whole-Chip
// Song (one step to undo), Song -> Drum Kit Editor, SSG Voice Editor and ADPCM-B Sample Editor,
// and a label in the status bar that says which kind is open.
class SongKindMenu : public QObject {
    Q_OBJECT

  public:
    // `changesHandled` asks about unsaved changes and says whether to go on; `started` is told
    // when a new song has replaced the old one, which then has no file.
    SongKindMenu(Workspace& workspace, Prompts& prompts, QMenu& file, QAction* newProject,
                 QMenu& song, QLabel& kindLabel, std::function<bool()> changesHandled,
                 std::function<void()> started, QWidget* parent);

    KitEditor* kitEditor() const { return kitEditor_; }
    SsgEditor* ssgEditor() const { return ssgEditor_; }
    PitchedSampleEditor* pitchedSampleEditor() const { return pitchedEditor_; }

    void workspaceChanged(const WorkspaceChange& change);
    // View -> Fold Tracks: each group of a whole-chip song folded to narrow strips, or not.
    void addFoldItems(QMenu& view);

    static QString kindText(SongKind kind);  // "Classic song", "Whole-chip song"

  private:
    void show();

    Workspace& workspace_;
    QLabel& kindLabel_;
    QAction* convert_ = nullptr;
    QAction* kits_ = nullptr;
    QAction* ssg_ = nullptr;
    QAction* pitched_ = nullptr;
    QMenu* fold_ = nullptr;
    KitEditor* kitEditor_ = nullptr;
    SsgEditor* ssgEditor_ = nullptr;
    PitchedSampleEditor* pitchedEditor_ = nullptr;
};

}  // namespace qvx::editor
