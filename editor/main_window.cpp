#include "editor/main_window.hpp"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

#include "editor/artwork.hpp"
#include "editor/control_bar.hpp"
#include "editor/effect_status.hpp"
#include "editor/file_exports.hpp"
#include "editor/help_menu.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/midi_keys.hpp"
#include "editor/mod_import_request.hpp"
#include "editor/pattern_panel.hpp"
#include "editor/pattern_view.hpp"
#include "editor/play_menu.hpp"
#include "editor/preset_panel.hpp"
#include "editor/recent_files.hpp"
#include "editor/rom_maker_window.hpp"
#include "editor/scope_strip.hpp"
#include "editor/song_kind_menu.hpp"
#include "editor/text.hpp"
#include "editor/tool_window.hpp"
#include "editor/wav_export.hpp"

namespace qvx::editor {
namespace {

using Change = WorkspaceChange;

const QString kTitle = QStringLiteral("QVXTracker");
const QString kKeyboardSetting = QStringLiteral("Options/Keyboard");
const QString kNoteOffSetting = QStringLiteral("Options/NoteOffOnRelease");
const QString kEditStepSetting = QStringLiteral("Options/EditStep");
const QString kChipAccurateSetting = QStringLiteral("Options/ChipAccurateFm");
constexpr int kHintMilliseconds = 6000;

}  // namespace

MainWindow::MainWindow(SoundSystem& sound, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      sound_(sound),
      prompts_(prompts),
      imageBuffer_(std::make_unique<ImageBuffer>()) {
    setWindowTitle(kTitle);
    setWindowIcon(artwork::applicationIcon());

    patternView_ = new PatternView(workspace_, this);
    patternView_->setObjectName(QStringLiteral("patternView"));
    setCentralWidget(patternView_);
    setFocusProxy(patternView_);

    createMenus();
    createBars();
    ScopeStrip::addTo(*this, *menuBar()->findChild<QMenu*>(QStringLiteral("viewMenu")), sound_,
                      workspace_);
    songKindMenu_->addFoldItems(*menuBar()->findChild<QMenu*>(QStringLiteral("viewMenu")));

    instrumentEditor_ = new InstrumentEditor(workspace_, prompts_, this);
    silentVoiceWatch_ = std::make_unique<SilentVoiceWatch>(
        sound_.preview(), workspace_,
        [this](const QString& text) { statusBar()->showMessage(text, kHintMilliseconds); },
        [this] { return instrumentEditor_->editing().currentInstrument(); });
    workspace_.setPreviewTarget(silentVoiceWatch_.get());
    workspace_.setHintListener([this](const std::string& text) {
        statusBar()->showMessage(QString::fromStdString(text), kHintMilliseconds);
    });
    // The SSG previews' volume sequences step at the driver's 16 ms tick.
    auto* previewTicks = new QTimer(this);
    connect(previewTicks, &QTimer::timeout, this, [this] { workspace_.previewTick(); });
    previewTicks->start(16);
    romMaker_ = new RomMakerWindow(sound_, prompts_, this);
    connect(romMaker_, &RomMakerWindow::boardTaken, this, [this] {
        workspace_.channel1Taken();
        playMenu_->boardTaken();
    });
    // The windows' own close box and Escape take the check mark away.
    connect(instrumentEditor_, &ToolWindow::shownChanged, this, [this](bool shown) {
        const QSignalBlocker blocker(instrumentEditorAction_);
        instrumentEditorAction_->setChecked(shown);
    });
    connect(romMaker_, &ToolWindow::shownChanged, this, [this](bool shown) {
        const QSignalBlocker blocker(romMakerAction_);
        romMakerAction_->setChecked(shown);
    });

    workspace_.setChangeListener([this](const Change& change) { workspaceChanged(change); });
    readSettings();

    connect(patternView_, &PatternView::noteKeyReleased, this, [this] {
        if (noteOffAction_->isChecked() &&
            workspace_.heldPreview() == Workspace::PreviewSource::PatternEditor)
            workspace_.previewKeyUp();
    });
    undoAction_->setEnabled(false);
    redoAction_->setEnabled(false);
    updateTitle();

    sound_.start(reinterpret_cast<void*>(winId()));
    soundStatus_->setText(sound_.status());
    resize(900, 700);
    patternView_->setFocus();
}

MainWindow::~MainWindow() {
    workspace_.setChangeListener({});
    workspace_.setPreviewTarget(nullptr);
}

QAction* MainWindow::addAction(QMenu* menu, const char* name, const QString& caption,
                               const QString& prompt, void (MainWindow::*slot)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(prompt);
    if (slot) connect(action, &QAction::triggered, this, slot);
    return action;
}

void MainWindow::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    addAction(file, "newProject", QStringLiteral("&New Project"),
              QStringLiteral("Clears the current workspace"), &MainWindow::newProject)
        ->setShortcut(QKeySequence::New);
    addAction(file, "open", QStringLiteral("&Open..."),
              QStringLiteral("Opens an existing workspace"), &MainWindow::open)
        ->setShortcut(QKeySequence::Open);
    addAction(file, "saveToFile", QStringLiteral("Sa&ve"),
              QStringLiteral("Saves the song to its file"), &MainWindow::save)
        ->setShortcut(QKeySequence::Save);
    addAction(file, "save", QStringLiteral("&Save..."),
              QStringLiteral("Saves the current workspace"), &MainWindow::saveAs);
    file->addSeparator();
    addAction(file, "importMod", QStringLiteral("&Import MOD"),
              QStringLiteral("Imports a MOD song"), &MainWindow::importMod);
    file->addSeparator();
    addAction(file, "exportQvx0", QStringLiteral("Export QVX0..."), QString(),
              &MainWindow::exportQvx0);
    addAction(file, "exportNeoGeo", QStringLiteral("&Export Neogeo Test ROM..."),
              QStringLiteral("Exports a M1 test ROM"), &MainWindow::exportNeoGeoTestRom);
    addAction(file, "exportMegaDrive", QStringLiteral("Export Megadrive Test ROM..."), QString(),
              &MainWindow::exportMegaDriveTestRom);
    addAction(file, "exportWav", QStringLiteral("Export &WAV..."),
              QStringLiteral("Renders the song into a WAV file"), &MainWindow::exportWavFile);
    addAction(file, "exportVgm", QStringLiteral("Export V&GM..."),
              QStringLiteral("Writes the song's chip writes as a VGM file"),
              &MainWindow::exportVgmFile);
    file->addSeparator();
    QAction* exit = addAction(file, "exit", QStringLiteral("E&xit"),
                              QStringLiteral("Quit the application"), nullptr);
    recentFiles_ = new RecentFiles(file, exit, this);
    connect(recentFiles_, &RecentFiles::chosen, this, &MainWindow::openRecent);
    connect(findChild<QAction*>(QStringLiteral("exit")), &QAction::triggered, this,
            &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    undoAction_ = addAction(edit, "undo", QStringLiteral("&Undo"),
                            QStringLiteral("Takes the last change back"), nullptr);
    undoAction_->setShortcut(QKeySequence::Undo);
    connect(undoAction_, &QAction::triggered, this, [this] { workspace_.undo(); });
    redoAction_ = addAction(edit, "redo", QStringLiteral("&Redo"),
                            QStringLiteral("Makes the last change taken back again"), nullptr);
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(redoAction_, &QAction::triggered, this, [this] { workspace_.redo(); });
    edit->addSeparator();
    addAction(edit, "cutTrack", QStringLiteral("Cu&t Track"),
              QStringLiteral("Cuts the current track to the clipboard"), &MainWindow::cutTrack);
    addAction(edit, "copyTrack", QStringLiteral("&Copy Track"),
              QStringLiteral("Copies the current track to the clipboard"), &MainWindow::copyTrack);
    addAction(edit, "pasteTrack", QStringLiteral("&Paste Track"),
              QStringLiteral("Pastes to the current track from the clipboard"),
              &MainWindow::pasteTrack);
    edit->addSeparator();
    addAction(edit, "copyPattern", QStringLiteral("C&opy Pattern"),
              QStringLiteral("Copies the current pattern to the clipboard"),
              &MainWindow::copyPattern);
    addAction(edit, "pastePattern", QStringLiteral("P&aste Pattern"),
              QStringLiteral("Pastes the current pattern from the clipboard"),
              &MainWindow::pastePattern);
    edit->addSeparator();
    addAction(edit, "loadPreset", QStringLiteral("Load Pr&eset into Instrument..."),
              QStringLiteral("Loads one of the preset voices into the selected instrument"),
              &MainWindow::loadPreset);
    edit->addSeparator();
    // The keypad's + and - only; the keys of the main keyboard stay free for typing.
    addAction(edit, "increaseTrackOctave", QStringLiteral("&Increase Track Octave\t+"),
              QStringLiteral("Increases the Octave for the current track"),
              &MainWindow::increaseTrackOctave)
        ->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
    addAction(edit, "decreaseTrackOctave", QStringLiteral("&Decrease Track Octave\t-"),
              QStringLiteral("Decreases the octave for the current track"),
              &MainWindow::decreaseTrackOctave)
        ->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus));
    edit->addSeparator();
    // The block: a selection made with Shift and the cursor keys or the mouse, or the cursor's
    // cell; it has its own clipboard.
    const auto block = [&](const char* name, const QString& caption, const QString& prompt,
                           const QKeySequence& keys, void (Workspace::*command)()) {
        QAction* action = addAction(edit, name, caption, prompt, nullptr);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, command] { (workspace_.*command)(); });
    };
    block("cutBlock", QStringLiteral("Cut B&lock"), QStringLiteral("Cuts the selected cells"),
          QKeySequence::Cut, &Workspace::cutBlock);
    block("copyBlock", QStringLiteral("Copy &Block"), QStringLiteral("Copies the selected cells"),
          QKeySequence::Copy, &Workspace::copyBlock);
    block("pasteBlock", QStringLiteral("Paste Bloc&k"),
          QStringLiteral("Pastes the copied cells at the cursor"), QKeySequence::Paste,
          &Workspace::pasteBlock);
    edit->addSeparator();
    const auto transposeItem = [&](const char* name, const QString& caption, const QString& prompt,
                                   const QKeySequence& keys, int semitones) {
        QAction* action = addAction(edit, name, caption, prompt, nullptr);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, semitones] { transpose(semitones); });
    };
    transposeItem("transposeUp", QStringLiteral("Transpose &Up"),
                  QStringLiteral("Raises the selected notes (or the track's) a semitone"),
                  QKeySequence(Qt::CTRL | Qt::Key_Q), 1);
    transposeItem("transposeDown", QStringLiteral("Transpose Do&wn"),
                  QStringLiteral("Lowers the selected notes (or the track's) a semitone"),
                  QKeySequence(Qt::CTRL | Qt::Key_A), -1);
    transposeItem("transposeOctaveUp", QStringLiteral("Transpose Octave U&p"),
                  QStringLiteral("Raises the selected notes (or the track's) an octave"),
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q), 12);
    transposeItem("transposeOctaveDown", QStringLiteral("Transpose Octave Dow&n"),
                  QStringLiteral("Lowers the selected notes (or the track's) an octave"),
                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), -12);

    effectStatus_ = new EffectStatus(workspace_, this);
    statusBar()->addPermanentWidget(effectStatus_);
    auto* kindLabel = new QLabel(this);
    statusBar()->addPermanentWidget(kindLabel);
    songKindMenu_ = new SongKindMenu(
        workspace_, prompts_, *file, findChild<QAction*>(QStringLiteral("newProject")),
        *menuBar()->addMenu(QStringLiteral("&Song")), *kindLabel,
        [this] { return changesHandled(); }, [this] { setSongFile({}); }, this);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    instrumentEditorAction_ =
        addAction(view, "instrumentEditor", QStringLiteral("&Instrument Editor...\tF12"),
                  QStringLiteral("Displays or hides the Instrument Editor"),
                  &MainWindow::toggleInstrumentEditor);
    instrumentEditorAction_->setCheckable(true);
    instrumentEditorAction_->setShortcut(QKeySequence(Qt::Key_F12));
    view->addSeparator();
    romMakerAction_ = addAction(view, "romMaker", QStringLiteral("&Neogeo Rom Maker..."),
                                QStringLiteral("Helper Dialog for building M1 and V1 ROM images"),
                                &MainWindow::toggleRomMaker);
    romMakerAction_->setCheckable(true);

    // The status line it writes to is made with the bars.
    playMenuBar_ = menuBar()->addMenu(QStringLiteral("&Play"));

    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    qwertyAction_ =
        addAction(options, "qwerty", QStringLiteral("&Qwerty Keyboard"),
                  QStringLiteral("Selects the QWERTY keyboard layout"), &MainWindow::chooseQwerty);
    azertyAction_ =
        addAction(options, "azerty", QStringLiteral("&Azerty Keyboard"),
                  QStringLiteral("Selects the AZERTY keyboard layout"), &MainWindow::chooseAzerty);
    auto* layouts = new QActionGroup(this);
    for (QAction* action : {qwertyAction_, azertyAction_}) {
        action->setCheckable(true);
        layouts->addAction(action);
    }
    options->addSeparator();
    noteOffAction_ =
        addAction(options, "noteOffOnRelease", QStringLiteral("&Note Off on Key Release"),
                  QStringLiteral("Letting go of a note key silences the note"), nullptr);
    noteOffAction_->setCheckable(true);
    connect(noteOffAction_, &QAction::toggled, this,
            [](bool on) { QSettings().setValue(kNoteOffSetting, on); });
    midiKeys_ = new MidiKeys(*this, prompts_, options->addMenu(QStringLiteral("MIDI Input")));
    options->addSeparator();
    chipAccurateAction_ = addAction(
        options, "chipAccurateFm", QStringLiteral("&Chip-Accurate FM"),
        QStringLiteral("Synthesizes FM as the chip computes it, at its own sample rate (about "
                       "twice the processor time); also for WAV export"),
        nullptr);
    chipAccurateAction_->setCheckable(true);
    connect(chipAccurateAction_, &QAction::toggled, this, [this](bool on) {
        sound_.setChipAccurateFm(on);
        QSettings().setValue(kChipAccurateSetting, on);
    });

    fillHelpMenu(*menuBar()->addMenu(QStringLiteral("&Help")), *this);
}

void MainWindow::createBars() {
    // "Ready" stands in the status bar when nothing plays and no menu prompt covers it.
    auto* ready = new QLabel(this);
    ready->setObjectName(QStringLiteral("readyLabel"));
    statusBar()->addWidget(ready, 1);
    soundStatus_ = new QLabel(this);
    soundStatus_->setObjectName(QStringLiteral("soundStatus"));
    statusBar()->addPermanentWidget(soundStatus_);
    playMenu_ = new PlayMenu(*playMenuBar_, workspace_, sound_, prompts_, *imageBuffer_,
                             *patternView_, *ready, this);

    controlBar_ = new ControlBar(workspace_, playMenu_->playSongAction(),
                                 playMenu_->playPatternAction(), playMenu_->stopAction(), this);
    addToolBar(Qt::TopToolBarArea, controlBar_);
    connect(controlBar_, &ControlBar::editClicked, this, &MainWindow::showInstrumentEditor);

    patternPanel_ = new PatternPanel(workspace_, this);
    auto* dock = new QDockWidget(this);
    dock->setObjectName(QStringLiteral("patternPanelDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    dock->setWidget(patternPanel_);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    connect(patternPanel_, &PatternPanel::done, patternView_, qOverload<>(&QWidget::setFocus));
}

void MainWindow::readSettings() {
    const QSettings settings;
    const bool qwerty = settings.value(kKeyboardSetting, 1).toInt() != 0;
    chooseLayout(qwerty ? KeyboardLayout::Qwerty : KeyboardLayout::Azerty);
    noteOffAction_->setChecked(settings.value(kNoteOffSetting, false).toBool());
    midiKeys_->reopenChosenPort();
    // The synthesis that sounds as the chip does, unless this profile chose the other.
    const bool chipAccurate = settings.value(kChipAccurateSetting, true).toBool();
    {
        const QSignalBlocker blocker(chipAccurateAction_);
        chipAccurateAction_->setChecked(chipAccurate);
    }
    sound_.setChipAccurateFm(chipAccurate);
    workspace_.setEditStep(settings.value(kEditStepSetting, 1).toInt());
}

void MainWindow::workspaceChanged(const WorkspaceChange& change) {
    patternView_->workspaceChanged(change);
    songKindMenu_->workspaceChanged(change);
    effectStatus_->workspaceChanged(change);
    if (change.what & Change::kPatternSelector) patternPanel_->showPattern();
    if (change.what & Change::kOrder) patternPanel_->showOrder();
    if (change.what & Change::kOctave) controlBar_->showOctave();
    if (change.what & Change::kEditStep) {
        controlBar_->showEditStep();
        QSettings().setValue(kEditStepSetting, workspace_.editStep());
    }
    if (change.what & Change::kModified) {
        updateTitle();
        emit songModifiedChanged(workspace_.modified());
    }
    if ((change.what & Change::kHistory) || change.what == Change::kEverything) {
        undoAction_->setEnabled(workspace_.canUndo());
        redoAction_->setEnabled(workspace_.canRedo());
    }
    if (change.what & Change::kInstruments) {
        controlBar_->refillVoices();
        instrumentEditor_->instrumentsChanged();
    } else if (change.what & Change::kVoice) {
        controlBar_->showVoice();
    }
}

void MainWindow::openSong(const QString& path) {
    if (!changesHandled()) return;
    const Result result = workspace_.open(toPath(path));
    showResult(result);
    if (result) setSongFile(path);
}

void MainWindow::openRecent(const QString& path) {
    if (!QFileInfo::exists(path)) {
        prompts_.message(
            QStringLiteral("%1 is no longer there; it leaves the list of recent songs.")
                .arg(QFileInfo(path).fileName()));
        recentFiles_->remove(path);
        return;
    }
    openSong(path);
}

void MainWindow::setSongFile(const QString& path) {
    songFile_ = path;
    if (!path.isEmpty()) recentFiles_->add(path);
    updateTitle();
}

bool MainWindow::noteOffOnRelease() const {
    return noteOffAction_->isChecked();
}

void MainWindow::updateTitle() {
    // Qt shows "*" in place of "[*]" while the song has unsaved changes.
    setWindowTitle(songFile_.isEmpty()
                       ? kTitle + QStringLiteral("[*]")
                       : QFileInfo(songFile_).fileName() + QStringLiteral("[*] - ") + kTitle);
    setWindowModified(workspace_.modified());
}

// ---- Unsaved changes
// -----------------------------------------------------------------------------

bool MainWindow::changesHandled() {
    if (!workspace_.modified()) return true;
    switch (prompts_.saveChanges()) {
        case Prompts::SaveChoice::Save:
            return saveToSongFile();
        case Prompts::SaveChoice::Discard:
            return true;
        case Prompts::SaveChoice::Cancel:
            break;
    }
    return false;
}

bool MainWindow::saveWithDialog() {
    const QString path =
        prompts_.saveFileName({QStringLiteral("Music Files (*.mus)"), {}, QStringLiteral("mus")});
    if (path.isEmpty()) return false;
    const Result result = workspace_.save(toPath(path));
    showResult(result);
    if (result) setSongFile(path);
    return result.ok();
}

bool MainWindow::saveToSongFile() {
    if (songFile_.isEmpty()) return saveWithDialog();
    const Result result = workspace_.save(toPath(songFile_));
    showResult(result);
    if (result) recentFiles_->add(songFile_);
    return result.ok();
}

void MainWindow::showResult(const Result& result) {
    if (!result) showFailure(prompts_, result);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (changesHandled())
        event->accept();
    else
        event->ignore();
}

// ---- File menu ---------------------------------------------------------------------------------

void MainWindow::newProject() {
    if (!changesHandled()) return;
    workspace_.newProject();
    setSongFile({});
}

void MainWindow::open() {
    if (!changesHandled()) return;
    const QString path =
        prompts_.openFileName({QStringLiteral("Music Files (*.mus)"), {}, QStringLiteral("mus")});
    if (path.isEmpty()) return;
    const Result result = workspace_.open(toPath(path));
    showResult(result);
    if (result) setSongFile(path);
}

void MainWindow::save() {
    saveToSongFile();
}

void MainWindow::saveAs() {
    saveWithDialog();
}

void MainWindow::importMod() {
    if (!changesHandled()) return;
    const auto request = askModImport(prompts_);
    if (!request) return;
    const Result result = workspace_.importMod(toPath(request->path), nullptr, request->options);
    showResult(result);
    if (result) setSongFile({});  // a new song, saved under a name of its own
}

void MainWindow::exportWavFile() {
    wrote(exportWav(this, prompts_, workspace_.song(), chipAccurateAction_->isChecked(),
                    songTitle()));
}

void MainWindow::loadPreset() {
    const auto path = prompts_.choosePreset(instrumentEditor_->presetPanel()->groups());
    if (path) instrumentEditor_->loadPreset(std::max(workspace_.voiceIndex(), 0), *path);
}

void MainWindow::exportVgmFile() {
    wrote(editor::exportVgmFile(prompts_, workspace_.song(), songTitle()));
}

void MainWindow::exportQvx0() {
    wrote(exportQvx0File(prompts_, workspace_.song(), *imageBuffer_));
}

void MainWindow::exportNeoGeoTestRom() {
    wrote(exportNeoGeoTestRomFile(prompts_, workspace_.song(), *imageBuffer_));
}

void MainWindow::exportMegaDriveTestRom() {
    wrote(exportMegaDriveTestRomFile(prompts_, workspace_.song(), *imageBuffer_));
}

QString MainWindow::songTitle() const {
    return songFile_.isEmpty() ? QStringLiteral("Untitled")
                               : QFileInfo(songFile_).completeBaseName();
}

void MainWindow::wrote(const QString& path) {
    if (!path.isEmpty()) statusBar()->showMessage(wroteText(path), kHintMilliseconds);
}

// ---- Edit menu ---------------------------------------------------------------------------------

void MainWindow::cutTrack() {
    workspace_.cutTrack(workspace_.cursor().track());
}

void MainWindow::copyTrack() {
    workspace_.copyTrack(workspace_.cursor().track());
}

void MainWindow::pasteTrack() {
    workspace_.pasteTrack(workspace_.cursor().track());
}

void MainWindow::copyPattern() {
    workspace_.copyPattern();
}

void MainWindow::pastePattern() {
    workspace_.pastePattern();
}

ConfirmFn MainWindow::confirm() {
    return [this](std::string_view question) {
        return prompts_.yesNo(QString::fromUtf8(question.data(), qsizetype(question.size())));
    };
}

void MainWindow::increaseTrackOctave() {
    workspace_.shiftTrackOctaveUp(workspace_.cursor().track(), confirm());
}

void MainWindow::decreaseTrackOctave() {
    workspace_.shiftTrackOctaveDown(workspace_.cursor().track(), confirm());
}

void MainWindow::transpose(int semitones) {
    workspace_.transpose(semitones, confirm());
}

// ---- View menu ---------------------------------------------------------------------------------

void MainWindow::toggleInstrumentEditor() {
    // The item's check mark has already flipped: it says what the user asked for.
    if (instrumentEditorAction_->isChecked())
        showInstrumentEditor();
    else
        instrumentEditor_->hide();
}

void MainWindow::showInstrumentEditor() {
    instrumentEditor_->show();
    instrumentEditor_->raise();
    instrumentEditor_->selectInstrument(std::max(workspace_.voiceIndex(), 0));
    const QSignalBlocker blocker(instrumentEditorAction_);
    instrumentEditorAction_->setChecked(true);
}

void MainWindow::toggleRomMaker() {
    if (romMakerAction_->isChecked()) {
        romMaker_->show();
        romMaker_->raise();
    } else {
        romMaker_->hide();
    }
}

void MainWindow::followPlayback() {
    playMenu_->followPlayback();
}

// ---- Options and Help --------------------------------------------------------------------------

void MainWindow::chooseQwerty() {
    chooseLayout(KeyboardLayout::Qwerty);
}

void MainWindow::chooseAzerty() {
    chooseLayout(KeyboardLayout::Azerty);
}

void MainWindow::chooseLayout(KeyboardLayout layout) {
    const bool qwerty = layout == KeyboardLayout::Qwerty;
    qwertyAction_->setChecked(qwerty);
    azertyAction_->setChecked(!qwerty);
    QSettings().setValue(kKeyboardSetting, qwerty ? 1 : 0);
    workspace_.setKeyboardLayout(layout);
}

}  // namespace qvx::editor
