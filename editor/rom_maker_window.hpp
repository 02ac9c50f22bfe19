#pragma once

#include <QSortFilterProxyModel>
#include <QTreeView>

#include "editor/services.hpp"
#include "editor/tool_window.hpp"
#include "rombuild/rom_maker.hpp"

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace qvx::editor {

// Folders first, then files, each in name order ignoring case.
class FolderOrder : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

  protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

// The computer's folders from "/" down, with the song and sound files in them (any case); other
// files are left out. Folders are read as they are opened.
class FolderTree : public QTreeView {
    Q_OBJECT

  public:
    explicit FolderTree(QWidget* parent);

    // Opens the folders down to `path` and selects it, scrolled to the top. False when there is
    // no such folder or file; nothing changes then.
    bool selectPath(const QString& path);
    // The selected file or folder; empty when nothing is selected.
    QString selectedPath() const;
    QFileSystemModel* files() const { return files_; }

  signals:
    void fileActivated(const QString& path);

  private:
    QFileSystemModel* files_;
    FolderOrder* order_;
    QString pending_;  // scrolled to the top again as its folders finish loading
};

// "ROM Maker": songs for the M1 and samples for the V1 (from any sound file), what each costs,
// the room left, and the build into three files; Play lets a sample be heard as the chip plays
// it, and Preview plays the built ROMs on the sound board first. The lists
// and their rules are the model's (RomMaker); this window shows them and forwards its controls.
class RomMakerWindow : public ToolWindow {
    Q_OBJECT

  public:
    RomMakerWindow(SoundSystem& sound, Prompts& prompts, QWidget* parent);

    RomMaker& maker() { return maker_; }
    FolderTree* tree() const { return tree_; }
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

    SoundSystem& sound_;
    Prompts& prompts_;
    RomMaker maker_;
    FolderTree* tree_ = nullptr;
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
