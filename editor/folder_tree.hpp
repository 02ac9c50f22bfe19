#pragma once

#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QWidget>

class QFileSystemModel;
class QLineEdit;

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
    // The folder of the selected entry (the entry itself when it is a folder).
    void folderChanged(const QString& folder);

  private:
    QFileSystemModel* files_;
    FolderOrder* order_;
    QString pending_;  // scrolled to the top again as its folders finish loading
};

// The tree under a title, with a field where a path can be typed or pasted and a button home. It
// opens at the folder last used, else the home folder, and remembers the folder it was left at.
class FolderPane : public QWidget {
    Q_OBJECT

  public:
    FolderPane(const QString& title, QWidget* parent);

    FolderTree* tree() const { return tree_; }
    QLineEdit* pathField() const { return path_; }

  private:
    void goToTypedPath();

    FolderTree* tree_;
    QLineEdit* path_;
};

}  // namespace qvx::editor
