#include "editor/song_kind_menu.hpp"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include "editor/kit_editor.hpp"
#include "editor/pitched_sample_editor.hpp"
#include "editor/ssg_editor.hpp"

namespace qvx::editor {

SongKindMenu::SongKindMenu(Workspace& workspace, Prompts& prompts, QMenu& file, QAction* newProject,
                           QMenu& song, QLabel& kindLabel, std::function<bool()> changesHandled,
                           std::function<void()> started, QWidget* parent)
    : QObject(parent), workspace_(workspace), kindLabel_(kindLabel) {
    auto* wholeChip = new QAction(QStringLiteral("New &Whole-Chip Song"), &file);
    wholeChip->setObjectName(QStringLiteral("newWholeChipSong"));
    wholeChip->setStatusTip(
        QStringLiteral("Starts a song for the whole chip: FM tracks and ADPCM-A drum tracks"));
    wholeChip->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    file.insertAction(
        newProject ? file.actions().value(file.actions().indexOf(newProject) + 1) : nullptr,
        wholeChip);
    connect(wholeChip, &QAction::triggered, this, [this, changesHandled, started] {
        if (!changesHandled()) return;
        workspace_.newWholeChipSong();
        started();
    });

    convert_ = song.addAction(QStringLiteral("&Convert to Whole-Chip Song"));
    convert_->setObjectName(QStringLiteral("convertToWholeChip"));
    convert_->setStatusTip(QStringLiteral(
        "Makes this song a whole-chip song: its FM tracks and instruments stay, drum tracks join"));
    connect(convert_, &QAction::triggered, this, [this] { workspace_.convertToWholeChip(); });

    kitEditor_ = new KitEditor(workspace_, prompts, parent);
    kits_ = song.addAction(QStringLiteral("Drum &Kit Editor..."));
    kits_->setObjectName(QStringLiteral("kitEditor"));
    kits_->setStatusTip(
        QStringLiteral("Shows the drum kits of a whole-chip song: a sample and a "
                       "level on each note"));
    connect(kits_, &QAction::triggered, this, [this] {
        kitEditor_->selectInstrument(workspace_.selectedInstrument());
        kitEditor_->show();
        kitEditor_->raise();
    });

    ssgEditor_ = new SsgEditor(workspace_, parent);
    ssg_ = song.addAction(QStringLiteral("&SSG Voice Editor..."));
    ssg_->setObjectName(QStringLiteral("ssgEditor"));
    ssg_->setStatusTip(QStringLiteral(
        "Shows the SSG voices of a whole-chip song: mix, noise, envelope and volume sequence"));
    connect(ssg_, &QAction::triggered, this, [this] {
        ssgEditor_->selectInstrument(workspace_.selectedInstrument());
        ssgEditor_->show();
        ssgEditor_->raise();
    });
    pitchedEditor_ = new PitchedSampleEditor(workspace_, prompts, parent);
    pitched_ = song.addAction(QStringLiteral("ADPCM-&B Sample Editor..."));
    pitched_->setObjectName(QStringLiteral("pitchedSampleEditor"));
    pitched_->setStatusTip(QStringLiteral(
        "Shows the ADPCM-B instruments of a whole-chip song: a sample, its base note and loop"));
    connect(pitched_, &QAction::triggered, this, [this] {
        pitchedEditor_->selectInstrument(workspace_.selectedInstrument());
        pitchedEditor_->show();
        pitchedEditor_->raise();
    });

    kindLabel_.setObjectName(QStringLiteral("songKind"));
    kindLabel_.setToolTip(QStringLiteral("The kind of song open, and so the driver it plays on"));
    show();
}

void SongKindMenu::addFoldItems(QMenu& view) {
    fold_ = view.addMenu(QStringLiteral("&Fold Tracks"));
    fold_->setObjectName(QStringLiteral("foldMenu"));
    const std::pair<TrackKind, const char*> groups[] = {{TrackKind::Fm, "foldFm"},
                                                        {TrackKind::Ssg, "foldSsg"},
                                                        {TrackKind::AdpcmA, "foldAdpcmA"},
                                                        {TrackKind::AdpcmB, "foldAdpcmB"}};
    for (const auto& [group, name] : groups) {
        QAction* action = fold_->addAction(
            QStringLiteral("%1 Tracks").arg(QString::fromStdString(trackKindName(group))));
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setStatusTip(
            QStringLiteral("Shows the group's tracks as narrow strips, or whole "
                           "again: the cursor moves past folded tracks"));
        connect(action, &QAction::toggled, this,
                [this, kind = group](bool on) { workspace_.setGroupFolded(kind, on); });
    }
    show();
}

QString SongKindMenu::kindText(SongKind kind) {
    return kind == SongKind::Classic ? QStringLiteral("Classic song")
                                     : QStringLiteral("Whole-chip song");
}

void SongKindMenu::workspaceChanged(const WorkspaceChange& change) {
    if (change.what & WorkspaceChange::kSongKind) show();
    if (change.what & (WorkspaceChange::kInstruments | WorkspaceChange::kSongKind)) {
        kitEditor_->refresh();
        ssgEditor_->refresh();
        pitchedEditor_->refresh();
    }
}

void SongKindMenu::show() {
    const SongKind kind = workspace_.song().kind;
    kindLabel_.setText(kindText(kind));
    convert_->setEnabled(kind == SongKind::Classic);
    for (QAction* action : {kits_, ssg_, pitched_})
        action->setEnabled(kind == SongKind::WholeChip);
    if (fold_) fold_->setEnabled(kind == SongKind::WholeChip);
    if (kind == SongKind::Classic) {
        kitEditor_->hide();
        ssgEditor_->hide();
        pitchedEditor_->hide();
    }
}

}  // namespace qvx::editor
