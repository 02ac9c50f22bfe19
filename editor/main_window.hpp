#pragma once

#include <QMainWindow>
#include <memory>

#include "editor/services.hpp"
#include "editor/silent_voice_watch.hpp"
#include "rombuild/compiled_image.hpp"
#include "rombuild/playback.hpp"
#include "song/workspace.hpp"

class QActionGroup;
class QTimer;
class QLabel;

namespace qvx::editor {

class ControlBar;
class EffectStatus;
class InstrumentEditor;
class MidiKeys;
class PatternPanel;
class PatternView;
class PlayMenu;
class RecentFiles;
class RomMakerWindow;
class SongKindMenu;
class ToolWindow;

// The editor's main window: the menu, the control bar at the top, the pattern panel at the left,
// the pattern editor in the middle and the status bar, with the instrument editor and the ROM
// Maker as tool windows. It owns the workspace and routes every command to it.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow(SoundSystem& sound, Prompts& prompts, QWidget* parent = nullptr);
    ~MainWindow() override;

    Workspace& workspace() { return workspace_; }
    PatternView* patternView() const { return patternView_; }
    ControlBar* controlBar() const { return controlBar_; }
    PatternPanel* patternPanel() const { return patternPanel_; }
    InstrumentEditor* instrumentEditor() const { return instrumentEditor_; }
    RomMakerWindow* romMaker() const { return romMaker_; }
    QLabel* soundStatusLabel() const { return soundStatus_; }

    // Opens a song as File > Open does, without the dialog (a file named on the command line).
    void openSong(const QString& path);
    // The song file that Save writes to; empty for a new song.
    const QString& songFile() const { return songFile_; }
    void setSongFile(const QString& path);
    // Shows the instrument editor on the Voice list's voice, as the control bar's Edit does.
    void showInstrumentEditor();
    RecentFiles* recentFiles() const { return recentFiles_; }
    MidiKeys* midiKeys() const { return midiKeys_; }
    bool noteOffOnRelease() const;
    // Looks where the playing song is (the timer does it at display rate).
    void followPlayback();

  signals:
    // The song gained its first unsaved change, or has none any more.
    void songModifiedChanged(bool modified);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* addAction(QMenu* menu, const char* name, const QString& caption, const QString& prompt,
                       void (MainWindow::*slot)());
    void createMenus();
    void createBars();
    void readSettings();
    void workspaceChanged(const WorkspaceChange& change);

    // Whether the command may go on: no unsaved changes, or they were saved or discarded.
    bool changesHandled();
    bool saveWithDialog();
    bool saveToSongFile();
    void updateTitle();
    void openRecent(const QString& path);
    ConfirmFn confirm();
    void showResult(const Result& result);
    // The song's file name without its extension, or "Untitled": what exports propose.
    QString songTitle() const;
    // Says in the status bar what an export wrote (nothing when it wrote nothing).
    void wrote(const QString& path);

    // File menu.
    void newProject();
    void open();
    void save();
    void saveAs();
    void importMod();
    void exportQvx0();
    void exportNeoGeoTestRom();
    void exportMegaDriveTestRom();
    void exportWavFile();
    void exportVgmFile();
    void loadPreset();
    // Edit menu.
    void cutTrack();
    void copyTrack();
    void pasteTrack();
    void copyPattern();
    void pastePattern();
    void increaseTrackOctave();
    void decreaseTrackOctave();
    void transpose(int semitones);
    // View menu.
    void toggleInstrumentEditor();
    void toggleRomMaker();
    // Options menu.
    void chooseQwerty();
    void chooseAzerty();
    void chooseLayout(KeyboardLayout layout);

    SoundSystem& sound_;
    Prompts& prompts_;
    Workspace workspace_;
    std::unique_ptr<ImageBuffer> imageBuffer_;
    std::unique_ptr<SilentVoiceWatch> silentVoiceWatch_;

    PatternView* patternView_ = nullptr;
    ControlBar* controlBar_ = nullptr;
    PatternPanel* patternPanel_ = nullptr;
    InstrumentEditor* instrumentEditor_ = nullptr;
    RomMakerWindow* romMaker_ = nullptr;
    QLabel* soundStatus_ = nullptr;
    RecentFiles* recentFiles_ = nullptr;
    MidiKeys* midiKeys_ = nullptr;
    QString songFile_;

    PlayMenu* playMenu_ = nullptr;
    SongKindMenu* songKindMenu_ = nullptr;
    EffectStatus* effectStatus_ = nullptr;
    QMenu* playMenuBar_ = nullptr;
    QAction* instrumentEditorAction_ = nullptr;
    QAction* romMakerAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* noteOffAction_ = nullptr;
    QAction* chipAccurateAction_ = nullptr;
    QAction* qwertyAction_ = nullptr;
    QAction* azertyAction_ = nullptr;
};

}  // namespace qvx::editor
