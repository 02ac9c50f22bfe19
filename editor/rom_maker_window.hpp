#pragma once

#include "editor/folder_tree.hpp"
#include "editor/services.hpp"
#include "editor/tool_window.hpp"
#include "rombuild/rom_maker.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace qvx::editor {

// "ROM Maker": songs for the M1 and samples for the V1 (from any sound file), what each costs,
// the room left, and the build into three files; Play lets a sample be heard as the chip plays
// it, and Preview plays the built ROMs on the sound board first. The lists
// and their rules are the model's (RomMaker); this window shows them and forwards its controls.
class RomMakerWindow : public ToolWindow {
    Q_OBJECT

  public:
    RomMakerWindow(SoundSystem& sound, Prompts& prompts, QWidget* parent);

    RomMaker& maker() { return maker_; }
    FolderTree* tree() const { return folders_->tree(); }
    FolderPane* folders() const { return folders_; }
    QTreeWidget* songList() const { return songList_; }
    QTreeWidget* sampleList() const { return sampleList_; }
    QLabel* m1Figure() const { return m1Figure_; }
    QLabel* v1Figure() const { return v1Figure_; }
    QLabel* buildReport() const { return report_; }
    QComboBox* commandList() const { return commands_; }
    QCheckBox* padM1Box() const { return padM1_; }
    QComboBox* padM1Size() const { return padSize_; }

  signals:
    // The preview took the sound board: FM channel 1 no longer holds a previewed voice.
    void boardTaken();

  private:
    void buildLayout();
    void add();
    void addPath(const QString& path);
    void remove();
    void listSelected(RomMaker::List list);
    void showLists();
    void showFigures();
    void makeRoms();
    void preview();
    void sendCommand();
    void stop();
    void playSample();
    void padChanged();
    // Says in the build report that the user cancelled, or shows why the work failed.
    void tellFailure(const Result& result);

    SoundSystem& sound_;
    Prompts& prompts_;
    RomMaker maker_;
    FolderPane* folders_ = nullptr;
    QTreeWidget* songList_ = nullptr;
    QTreeWidget* sampleList_ = nullptr;
    QLabel* m1Figure_ = nullptr;
    QLabel* v1Figure_ = nullptr;
    QLabel* report_ = nullptr;
    QCheckBox* padM1_ = nullptr;
    QComboBox* padSize_ = nullptr;
    QComboBox* commands_ = nullptr;
    QPushButton* send_ = nullptr;
};

}  // namespace qvx::editor
