#include "editor/folder_tree.hpp"

#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qvx::editor {
namespace {

const QString kFolderSetting = QStringLiteral("RomMaker/Folder");

}  // namespace

bool FolderOrder::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const bool leftIsFolder = files->isDir(left);
    if (leftIsFolder != files->isDir(right)) return leftIsFolder;
    const QString a = files->fileName(left);
    const QString b = files->fileName(right);
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent) {
    files_ = new QFileSystemModel(this);
    files_->setReadOnly(true);
    // Every folder, hidden ones too; of the files only songs and sound files, in any case. Files
    // that do not match are left out rather than shown greyed.
    files_->setFilter(QDir::AllDirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    QStringList patterns;
    for (const char* suffix :
         {"mus", "wav", "aif", "aiff", "aifc", "flac", "ogg", "oga", "opus", "caf", "w64", "au"})
        patterns << QStringLiteral("*.") + QLatin1String(suffix);
    files_->setNameFilters(patterns);
    files_->setNameFilterDisables(false);
    files_->setRootPath(QDir::rootPath());
    order_ = new FolderOrder(this);
    order_->setSourceModel(files_);
    order_->sort(0, Qt::AscendingOrder);
    setModel(order_);
    setHeaderHidden(true);
    for (int c = 1; c < files_->columnCount(); ++c)
        hideColumn(c);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    connect(this, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        const QModelIndex source = order_->mapToSource(index);
        if (source.isValid() && !files_->isDir(source))
            emit fileActivated(files_->filePath(source));
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const QModelIndex source = order_->mapToSource(current);
                if (!source.isValid()) return;
                const QString path = files_->filePath(source);
                emit folderChanged(files_->isDir(source) ? path : QFileInfo(path).path());
            });
    // Folders are read in the background: keep the chosen one at the top while the ones above it
    // fill in.
    connect(files_, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
        if (pending_.isEmpty() || !pending_.startsWith(folder)) return;
        if (currentIndex().isValid()) scrollTo(currentIndex(), QAbstractItemView::PositionAtTop);
    });
}

bool FolderTree::selectPath(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return false;
    const QString absolute = info.absoluteFilePath();
    const QModelIndex index = order_->mapFromSource(files_->index(absolute));
    if (!index.isValid()) return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    if (info.isDir()) {
        // Read it now: a hidden tree does not ask for a folder's contents when it is expanded.
        if (order_->canFetchMore(index)) order_->fetchMore(index);
        expand(index);
    }
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtTop);
    pending_ = absolute;
    return true;
}

QString FolderTree::selectedPath() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty()) return {};
    return files_->filePath(order_->mapToSource(selected.first()));
}

FolderPane::FolderPane(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* home = new QToolButton(this);
    home->setObjectName(QStringLiteral("home"));
    home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    home->setToolTip(QStringLiteral("Show your home folder"));
    home->setAutoRaise(true);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(new QLabel(title, this), 1);
    titleRow->addWidget(home);

    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("folderPath"));
    path_->setPlaceholderText(QStringLiteral("Type or paste a folder or a file, then Enter"));
    path_->setToolTip(
        QStringLiteral("The folder shown below; type or paste another path and "
                       "press Enter to go there (~ is your home folder)"));
    // Completes folder names as they are typed.
    auto* folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    folders->setRootPath(QDir::rootPath());
    path_->setCompleter(new QCompleter(folders, this));

    tree_ = new FolderTree(this);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setMinimumSize(260, 320);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(titleRow);
    layout->addWidget(path_);
    layout->addWidget(tree_, 1);

    connect(home, &QToolButton::clicked, this, [this] { tree_->selectPath(QDir::homePath()); });
    connect(path_, &QLineEdit::returnPressed, this, &FolderPane::goToTypedPath);
    connect(tree_, &FolderTree::folderChanged, this, [this](const QString& folder) {
        path_->setText(QDir::toNativeSeparators(folder));
        path_->setStyleSheet(QString());
        QSettings().setValue(kFolderSetting, folder);
    });
    const QString last = QSettings().value(kFolderSetting).toString();
    if (last.isEmpty() || !QFileInfo(last).isDir() || !tree_->selectPath(last))
        tree_->selectPath(QDir::homePath());
}

void FolderPane::goToTypedPath() {
    QString typed = path_->text().trimmed();
    if (typed == QLatin1String("~") || typed.startsWith(QStringLiteral("~/")))
        typed = QDir::homePath() + typed.mid(1);
    if (tree_->selectPath(QDir::cleanPath(typed))) {
        tree_->setFocus();
        return;
    }
    // Nothing there: the field says so and keeps what was typed, to be mended.
    path_->setStyleSheet(QStringLiteral("color: #c00000;"));
}

}  // namespace qvx::editor
