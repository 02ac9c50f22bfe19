#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QAction;
class QMenu;

namespace qvx::editor {

// The File menu's list of the last songs opened or saved, kept in the user's profile
// ("RecentFiles"), newest first. Its entries stand in the menu before `before`.
class RecentFiles : public QObject {
    Q_OBJECT

  public:
    static constexpr int kMaxFiles = 8;

    RecentFiles(QMenu* menu, QAction* before, QObject* parent);

    QStringList files() const { return files_; }
    // The song at `path` was opened or saved: it goes to the top.
    void add(const QString& path);
    void remove(const QString& path);

  signals:
    void chosen(const QString& path);

  private:
    void store();
    void rebuild();

    QMenu* menu_;
    QAction* before_;
    QStringList files_;
    QList<QAction*> entries_;
};

}  // namespace qvx::editor
