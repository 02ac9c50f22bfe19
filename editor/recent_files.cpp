#include "editor/recent_files.hpp"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace qvx::editor {
namespace {

const QString kSetting = QStringLiteral("RecentFiles");

}  // namespace

RecentFiles::RecentFiles(QMenu* menu, QAction* before, QObject* parent)
    : QObject(parent), menu_(menu), before_(before) {
    files_ = QSettings().value(kSetting).toStringList();
    files_.removeAll(QString());
    while (files_.size() > kMaxFiles)
        files_.removeLast();
    rebuild();
}

void RecentFiles::add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files_.removeAll(absolute);
    files_.prepend(absolute);
    while (files_.size() > kMaxFiles)
        files_.removeLast();
    store();
}

void RecentFiles::remove(const QString& path) {
    if (files_.removeAll(path) > 0) store();
}

void RecentFiles::store() {
    QSettings().setValue(kSetting, files_);
    rebuild();
}

void RecentFiles::rebuild() {
    for (QAction* entry : entries_) {
        // Later: the entry may be the one whose triggering led here.
        menu_->removeAction(entry);
        entry->setObjectName(QString());
        entry->deleteLater();
    }
    entries_.clear();
    for (int i = 0; i < files_.size(); ++i) {
        const QString path = files_[i];
        // "&1 demo.mus", with the folder in the status bar.
        auto* entry =
            new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), menu_);
        entry->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        entry->setStatusTip(QDir::toNativeSeparators(path));
        connect(entry, &QAction::triggered, this, [this, path] { emit chosen(path); });
        menu_->insertAction(before_, entry);
        entries_.append(entry);
    }
    if (!files_.isEmpty()) entries_.append(menu_->insertSeparator(before_));
}

}  // namespace qvx::editor
