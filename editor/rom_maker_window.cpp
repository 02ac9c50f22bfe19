#include "editor/rom_maker_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editor/text.hpp"
#include "rombuild/song_block.hpp"

namespace qvx::editor {
namespace {

const QString kPadSetting = QStringLiteral("RomMaker/PadM1");

QString text(std::string_view modelText) {
    return fromModelText(modelText);
}

QString commandLabel(std::uint8_t command) {
    return QString::fromStdString(commandText(command));
}

QTreeWidget* entryList(QWidget* parent, const char* name, const QStringList& columns) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < columns.size(); ++c)
        list->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    list->setMinimumWidth(250);
    return list;
}

void addEntry(QTreeWidget* list, const QStringList& columns, const QString& tip) {
    auto* item = new QTreeWidgetItem(list, columns);
    for (int c = 1; c < columns.size(); ++c)
        item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    item->setToolTip(0, tip);
}

int selectedRow(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->indexOfTopLevelItem(items.first());
}

// One message box tells every reason at once.
QString joined(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines)
        out << text(line);
    return out.join(QLatin1Char('\n'));
}

// Converting a long sound takes seconds: a dialog shows how far it is once it has taken half a
// second, and Cancel stops it.
class ConversionProgress {
  public:
    ConversionProgress(QWidget* parent, const QString& label)
        : dialog_(label, QStringLiteral("Cancel"), 0, kSteps, parent) {
        dialog_.setObjectName(QStringLiteral("conversionProgress"));
        dialog_.setWindowTitle(QStringLiteral("ROM Maker"));
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumDuration(500);
        dialog_.setAutoReset(false);
    }
    ProgressFn function() {
        return [this](double done) {
            if (done < 0) {
                // A file that does not tell its length: the bar only shows that work goes on.
                dialog_.setMaximum(0);
                if (dialog_.isVisible()) QCoreApplication::processEvents();
            } else {
                dialog_.setMaximum(kSteps);
                dialog_.setValue(static_cast<int>(done * (kSteps - 1)));
            }
            return !dialog_.wasCanceled();
        };
    }

  private:
    static constexpr int kSteps = 1000;
    QProgressDialog dialog_;
};

void showFigure(QLabel* label, std::int64_t bytes) {
    label->setText(QString::number(bytes));
    // Below zero the lists do not fit, and Make ROMS will say why.
    label->setStyleSheet(bytes < 0 ? QStringLiteral("color: #c00000; font-weight: bold;")
                                   : QString());
}

}  // namespace

// ---- The window --------------------------------------------------------------------------------

RomMakerWindow::RomMakerWindow(SoundSystem& sound, Prompts& prompts, QWidget* parent)
    : ToolWindow(QStringLiteral("ROM Maker"), parent), sound_(sound), prompts_(prompts) {
    setObjectName(QStringLiteral("romMaker"));
    buildLayout();
    showLists();
}

void RomMakerWindow::buildLayout() {
    // The files at the left, the two lists at the right, the buttons between them.
    folders_ = new FolderPane(QStringLiteral("Music / Sample File List"), this);
    connect(tree(), &FolderTree::fileActivated, this, &RomMakerWindow::addPath);

    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    moves->addWidget(button(QStringLiteral("&Add ->"), "add", [this] { add(); }));
    moves->addWidget(button(QStringLiteral("<- &Remove"), "remove", [this] { remove(); }));
    moves->addSpacing(16);
    QPushButton* hear = button(QStringLiteral("P&lay"), "playSample", [this] { playSample(); });
    hear->setToolTip(
        QStringLiteral("Play the selected sample, or the sound file selected at the left, as "
                       "the chip plays it from the V1 (Space)"));
    moves->addWidget(hear);
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WidgetWithChildrenShortcut);
    connect(space, &QShortcut::activated, this, [this] { playSample(); });
    moves->addStretch(2);

    songList_ =
        entryList(this, "songList",
                  {QStringLiteral("File"), QStringLiteral("Command"), QStringLiteral("Bytes")});
    sampleList_ =
        entryList(this, "sampleList",
                  {QStringLiteral("File"), QStringLiteral("Command"), QStringLiteral("Bytes"),
                   QStringLiteral("Time"), QStringLiteral("Converted from")});
    // A name and a source format are read whole: the list scrolls sideways rather than cut them.
    sampleList_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(songList_, &QTreeWidget::itemSelectionChanged, this,
            [this] { listSelected(RomMaker::List::Songs); });
    connect(sampleList_, &QTreeWidget::itemSelectionChanged, this,
            [this] { listSelected(RomMaker::List::Samples); });

    m1Figure_ = new QLabel(this);
    m1Figure_->setObjectName(QStringLiteral("m1Figure"));
    m1Figure_->setToolTip(
        QStringLiteral("Bytes left for songs in the M1, up to the sound driver's memory"));
    v1Figure_ = new QLabel(this);
    v1Figure_->setObjectName(QStringLiteral("v1Figure"));
    v1Figure_->setToolTip(QStringLiteral("Bytes of ADPCM-A data left in the 512 KB V1"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("M1 ROM"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("V1 ROM"), this), 0, 3);
    grid->addWidget(folders_, 0, 0, 2, 1);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(songList_, 1, 2);
    grid->addWidget(sampleList_, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Space Remaining:"), this), 2, 0, 1, 2,
                    Qt::AlignRight);
    grid->addWidget(m1Figure_, 2, 2);
    grid->addWidget(v1Figure_, 2, 3);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(2, 2);
    grid->setColumnStretch(3, 5);
    grid->setRowStretch(1, 1);

    // The build: padding for EPROM burners and emulators, then the three files.
    padM1_ = new QCheckBox(QStringLiteral("&Pad M1 with 0xFF to"), this);
    padM1_->setObjectName(QStringLiteral("padM1"));
    padM1_->setToolTip(
        QStringLiteral("Fill the written M1 up to a whole chip, as EPROM burners "
                       "and emulators expect"));
    padSize_ = new QComboBox(this);
    padSize_->setObjectName(QStringLiteral("padM1Size"));
    for (const std::size_t size : kM1PadSizes)
        padSize_->addItem(QStringLiteral("%1 KB").arg(size / 1024), QVariant::fromValue(size));
    const auto padTo = QSettings().value(kPadSetting, 0).toULongLong();
    const int padIndex = padSize_->findData(QVariant::fromValue(std::size_t(padTo)));
    padM1_->setChecked(padIndex >= 0);
    padSize_->setCurrentIndex(std::max(padIndex, 0));
    padSize_->setEnabled(padM1_->isChecked());
    connect(padM1_, &QCheckBox::toggled, this, &RomMakerWindow::padChanged);
    connect(padSize_, &QComboBox::currentIndexChanged, this, &RomMakerWindow::padChanged);
    auto* build = new QHBoxLayout;
    build->addWidget(padM1_);
    build->addWidget(padSize_);
    build->addStretch(1);
    build->addWidget(button(QStringLiteral("&Make ROMS"), "makeRoms", [this] { makeRoms(); }));
    build->addWidget(button(QStringLiteral("&Close"), "close", [this] { hide(); }));

    // Preview: the built ROMs on the sound board, driven by the commands of the header.
    auto* previewBox = new QGroupBox(QStringLiteral("Preview"), this);
    auto* previewRow = new QHBoxLayout(previewBox);
    QPushButton* play = button(QStringLiteral("Pre&view"), "preview", [this] { preview(); });
    play->setToolTip(
        QStringLiteral("Build the ROMs in memory and boot them on the sound board, "
                       "as a game would; nothing is written"));
    previewRow->addWidget(play);
    commands_ = new QComboBox(previewBox);
    commands_->setObjectName(QStringLiteral("commands"));
    commands_->setMinimumContentsLength(28);
    commands_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    previewRow->addWidget(commands_, 1);
    send_ = button(QStringLiteral("&Send"), "send", [this] { sendCommand(); });
    previewRow->addWidget(send_);
    previewRow->addWidget(button(QStringLiteral("S&top"), "stop", [this] { stop(); }));

    report_ = new QLabel(this);
    report_->setObjectName(QStringLiteral("buildReport"));
    report_->setWordWrap(true);
    report_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(build);
    layout->addWidget(previewBox);
    layout->addWidget(report_);
    resize(1100, 600);
}

void RomMakerWindow::add() {
    const QString path = tree()->selectedPath();
    if (path.isEmpty() || QFileInfo(path).isDir()) return prompts_.message(text(kSelectAFileToAdd));
    addPath(path);
}

void RomMakerWindow::addPath(const QString& path) {
    ConversionProgress progress(this,
                                QStringLiteral("Converting %1...").arg(QFileInfo(path).fileName()));
    const Result result = maker_.add(toPath(path), progress.function());
    if (!result) tellFailure(result);
    showLists();
}

void RomMakerWindow::tellFailure(const Result& result) {
    if (result.message() == kCancelled) return report_->setText(QStringLiteral("Cancelled."));
    showFailure(prompts_, result);
}

void RomMakerWindow::remove() {
    const Result result = maker_.remove();
    if (!result) return showFailure(prompts_, result);
    showLists();
}

void RomMakerWindow::listSelected(RomMaker::List list) {
    QTreeWidget* chosen = list == RomMaker::List::Songs ? songList_ : sampleList_;
    QTreeWidget* other = list == RomMaker::List::Songs ? sampleList_ : songList_;
    const int row = selectedRow(chosen);
    if (row < 0) {
        if (maker_.selection().list == list) maker_.select(RomMaker::List::None, -1);
        return;
    }
    maker_.select(list, row);
    const QSignalBlocker blocker(other);
    other->clearSelection();
}

void RomMakerWindow::showLists() {
    const QSignalBlocker songsBlocked(songList_);
    const QSignalBlocker samplesBlocked(sampleList_);
    songList_->clear();
    sampleList_->clear();
    const auto& songs = maker_.songs();
    const bool wholeChip = wholeChipRom(songs);
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const RomSong& song = songs[i];
        const std::shared_ptr<const Song> whole = song.wholeChip;
        const QString facts =
            whole ? QStringLiteral(
                        "Whole-chip song: %1 pattern(s), %2 order entries, %3 drum "
                        "sample(s), %4 ADPCM-B sample(s)")
                        .arg(whole->patternCount)
                        .arg(whole->order.size())
                        .arg(whole->kitSamples().size())
                        .arg(whole->pitchedSamples().size())
                  : QStringLiteral("%1 pattern(s), %2 instrument(s), %3 order entries")
                        .arg(song.patternCount)
                        .arg(song.usedInstrumentCount())
                        .arg(song.orderCount);
        addEntry(songList_,
                 {text(song.name), commandLabel(std::uint8_t(driver::command::kFirstSong + i)),
                  QString::number(romSongBlockSize(song, wholeChip))},
                 facts);
    }
    const auto& samples = maker_.samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const RomSample& sample = samples[i];
        addEntry(sampleList_,
                 {text(sample.name), commandLabel(std::uint8_t(driver::command::kFirstSample + i)),
                  QString::number(sample.encodedSize()),
                  QStringLiteral("%1 s").arg(sampleSeconds(sample), 0, 'f', 2),
                  sample.source ? text(describe(*sample.source)) : QString()},
                 QString::fromStdString(sample.path.string()));
        sampleList_->topLevelItem(int(i))->setTextAlignment(4, Qt::AlignLeft | Qt::AlignVCenter);
    }
    const RomMaker::Selection& selection = maker_.selection();
    QTreeWidget* selected = selection.list == RomMaker::List::Songs     ? songList_
                            : selection.list == RomMaker::List::Samples ? sampleList_
                                                                        : nullptr;
    if (selected) selected->topLevelItem(selection.index)->setSelected(true);

    // What the last preview built no longer matches the lists.
    commands_->clear();
    send_->setEnabled(false);
    showFigures();
}

void RomMakerWindow::showFigures() {
    const RomSpace space = maker_.space();
    showFigure(m1Figure_, space.m1);
    showFigure(v1Figure_, space.v1);
}

void RomMakerWindow::makeRoms() {
    // Every problem is told before any file is asked for; nothing is written while one remains.
    if (const std::vector<std::string> problems = maker_.problems(); !problems.empty()) {
        report_->setText(QStringLiteral("Nothing was written."));
        return prompts_.message(joined(problems));
    }
    // The three belong together: a cancelled question writes nothing at all.
    RomOutputs outputs;
    const QString romFilter = QStringLiteral("ROM files (*.bin)");
    const QString bin = QStringLiteral("bin");
    report_->clear();
    outputs.v1 = toPath(prompts_.saveFileName(
        {romFilter, QStringLiteral("202-v1"), bin, QStringLiteral("Save the V1 ROM as")}));
    if (outputs.v1.empty()) return;
    outputs.m1 = toPath(prompts_.saveFileName(
        {romFilter, QStringLiteral("202-m1"), bin, QStringLiteral("Save the M1 ROM as")}));
    if (outputs.m1.empty()) return;
    outputs.header = toPath(
        prompts_.saveFileName({QStringLiteral("C Header Files (*.h)"), QStringLiteral("sound.h"),
                               QStringLiteral("h"), QStringLiteral("Save the command header as")}));
    if (outputs.header.empty()) return;
    if (padM1_->isChecked()) outputs.m1PadTo = padSize_->currentData().value<std::size_t>();

    ConversionProgress progress(this, QStringLiteral("Encoding the samples..."));
    const RomBuildResult result = maker_.build(outputs, progress.function());
    if (result.problems.size() == 1 && result.problems[0] == kCancelled)
        return report_->setText(QStringLiteral("Cancelled; nothing was written."));
    QStringList written;
    for (const RomOutput output : result.written) {
        const QFileInfo file(QString::fromStdString(outputs.path(output).string()));
        written << QStringLiteral("%1 (%2 bytes)").arg(file.fileName()).arg(file.size());
    }
    report_->setText(written.isEmpty() ? QStringLiteral("Nothing was written.")
                                       : QStringLiteral("Wrote ") +
                                             written.join(QStringLiteral(", ")) + QLatin1Char('.'));
    for (const std::string& message : result.messages())
        prompts_.message(text(message));
}

void RomMakerWindow::preview() {
    ConversionProgress progress(this, QStringLiteral("Encoding the samples..."));
    const RomImages images = maker_.images(progress.function());
    if (images.problems.size() == 1 && images.problems[0] == kCancelled)
        return report_->setText(QStringLiteral("Cancelled."));
    if (!images.problems.empty()) return prompts_.message(joined(images.problems));
    commands_->clear();
    const auto addCommands = [this](const std::vector<RomCommand>& list, std::uint8_t off,
                                    const char* offDefine) {
        for (const RomCommand& c : list)
            commands_->addItem(commandLabel(c.number) + QStringLiteral("  ") + text(c.define),
                               c.number);
        commands_->addItem(commandLabel(off) + QStringLiteral("  ") + QLatin1String(offDefine),
                           off);
    };
    addCommands(images.commands.songs, driver::command::kStop, "SOUND_FM_OFF");
    addCommands(images.commands.samples, driver::command::kAdpcmOff, "SOUND_ADPCM_OFF");
    send_->setEnabled(true);
    const bool songs = !images.commands.songs.empty();
    commands_->setCurrentIndex(!songs && !images.commands.samples.empty() ? 1 : 0);

    sound_.playRoms(images.m1, images.v1);
    emit boardTaken();
    // The first song (or the first sample) starts at once; the board holds the command until
    // its driver is ready.
    sendCommand();
    report_->setText(QStringLiteral("Preview: the M1 (%1 bytes) and the V1 (%2 bytes) run on the "
                                    "sound board. Choose a command and Send it.")
                         .arg(images.m1.size())
                         .arg(images.v1.size()));
}

void RomMakerWindow::sendCommand() {
    if (commands_->currentIndex() < 0) return;
    sound_.player().sendCommand(static_cast<std::uint16_t>(commands_->currentData().toUInt()));
}

void RomMakerWindow::stop() {
    sound_.player().sendCommand(driver::command::kStop);
    sound_.player().sendCommand(driver::command::kAdpcmOff);
}

void RomMakerWindow::playSample() {
    // The selected V1 entry, or else the sound file selected in the tree.
    RomSample sample;
    if (maker_.selection().list == RomMaker::List::Samples) {
        sample = maker_.samples()[std::size_t(maker_.selection().index)];
    } else {
        const QString path = tree()->selectedPath();
        if (path.isEmpty() || QFileInfo(path).isDir() ||
            path.endsWith(QStringLiteral(".mus"), Qt::CaseInsensitive))
            return prompts_.message(QStringLiteral("Select a sample or a sound file to play"));
        ConversionProgress progress(
            this, QStringLiteral("Converting %1...").arg(QFileInfo(path).fileName()));
        const Result read = readRomSample(toPath(path), QFileInfo(path).fileName().toStdString(),
                                          sample, progress.function());
        if (!read) return tellFailure(read);
    }
    // On the board as in the game: the sample alone in a V1, played by its command.
    ConversionProgress progress(this, QStringLiteral("Encoding %1...").arg(text(sample.name)));
    const RomImages images = makeRomImages({}, std::span(&sample, 1), true, progress.function());
    if (images.problems.size() == 1 && images.problems[0] == kCancelled)
        return report_->setText(QStringLiteral("Cancelled."));
    if (!images.problems.empty()) return prompts_.message(joined(images.problems));
    sound_.playRoms(images.m1, images.v1);
    emit boardTaken();
    sound_.player().sendCommand(driver::command::kFirstSample);
    report_->setText(QStringLiteral("Playing %1 as the chip plays it (%2 bytes of ADPCM-A).")
                         .arg(text(sample.name))
                         .arg(sample.encodedSize()));
}

void RomMakerWindow::padChanged() {
    padSize_->setEnabled(padM1_->isChecked());
    const std::size_t size = padM1_->isChecked() ? padSize_->currentData().value<std::size_t>() : 0;
    QSettings().setValue(kPadSetting, QVariant::fromValue(size));
}

}  // namespace qvx::editor
