#include "editor/main_window.hpp"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>

#include "editor/about_box.hpp"
#include "editor/artwork.hpp"
#include "editor/control_bar.hpp"
#include "editor/instrument_editor.hpp"
#include "editor/pattern_panel.hpp"
#include "editor/pattern_view.hpp"
#include "editor/rom_maker_window.hpp"
#include "editor/tool_window.hpp"
#include "rombuild/exports.hpp"

namespace qvx::editor {
namespace {

using Change = WorkspaceChange;

const QString kTitle = QStringLiteral("QVXTracker");
const QString kKeyboardSetting = QStringLiteral("Options/Keyboard");

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

}  // namespace

MainWindow::MainWindow(SoundSystem& sound, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      sound_(sound),
      prompts_(prompts),
      imageBuffer_(std::make_unique<ImageBuffer>()),
      playback_(sound.player(), *imageBuffer_) {
    setWindowTitle(kTitle);
    setWindowIcon(artwork::applicationIcon());
    workspace_.setPreviewTarget(&sound_.preview());

    patternView_ = new PatternView(workspace_, this);
    patternView_->setObjectName(QStringLiteral("patternView"));
    setCentralWidget(patternView_);
    setFocusProxy(patternView_);

    createMenus();
    createBars();

    instrumentEditor_ = new InstrumentEditor(workspace_, prompts_, this);
    romMaker_ = new RomMakerWindow(sound_, prompts_, this);
    connect(romMaker_, &RomMakerWindow::boardTaken, this, [this] { workspace_.channel1Taken(); });
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
              QStringLiteral("Clears the current workspace"), &MainWindow::newProject);
    addAction(file, "open", QStringLiteral("&Open..."),
              QStringLiteral("Opens an existing workspace"), &MainWindow::open);
    addAction(file, "save", QStringLiteral("&Save..."),
              QStringLiteral("Saves the current workspace"), &MainWindow::save);
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
    file->addSeparator();
    addAction(file, "exit", QStringLiteral("E&xit"), QStringLiteral("Quit the application"),
              nullptr);
    connect(findChild<QAction*>(QStringLiteral("exit")), &QAction::triggered, this,
            &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
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
    // The keypad's + and - only; the keys of the main keyboard stay free for typing.
    addAction(edit, "increaseTrackOctave", QStringLiteral("&Increase Track Octave\t+"),
              QStringLiteral("Increases the Octave for the current track"),
              &MainWindow::increaseTrackOctave)
        ->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
    addAction(edit, "decreaseTrackOctave", QStringLiteral("&Decrease Track Octave\t-"),
              QStringLiteral("Decreases the octave for the current track"),
              &MainWindow::decreaseTrackOctave)
        ->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
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

    QMenu* play = menuBar()->addMenu(QStringLiteral("&Play"));
    playPatternAction_ =
        addAction(play, "playPattern", QStringLiteral("&Current Pattern\tF6"),
                  QStringLiteral("Plays the current pattern"), &MainWindow::playPattern);
    playPatternAction_->setShortcut(QKeySequence(Qt::Key_F6));
    playSongAction_ = addAction(play, "playSong", QStringLiteral("Son&g\tF5"),
                                QStringLiteral("Plays the entire song"), &MainWindow::playSong);
    playSongAction_->setShortcut(QKeySequence(Qt::Key_F5));
    stopAction_ = addAction(play, "stop", QStringLiteral("&Stop\tF4"),
                            QStringLiteral("Stops playing; Silence"), &MainWindow::stop);
    stopAction_->setShortcut(QKeySequence(Qt::Key_F4));

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

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    addAction(help, "about", QStringLiteral("&About QVXTracker..."), QString(), &MainWindow::about);
}

void MainWindow::createBars() {
    controlBar_ =
        new ControlBar(workspace_, playSongAction_, playPatternAction_, stopAction_, this);
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

    // "Ready" stands in the status bar whenever no menu prompt covers it.
    auto* ready = new QLabel(QStringLiteral("Ready"), this);
    ready->setObjectName(QStringLiteral("readyLabel"));
    statusBar()->addWidget(ready, 1);
    soundStatus_ = new QLabel(this);
    soundStatus_->setObjectName(QStringLiteral("soundStatus"));
    statusBar()->addPermanentWidget(soundStatus_);
}

void MainWindow::readSettings() {
    const QSettings settings;
    const bool qwerty = settings.value(kKeyboardSetting, 1).toInt() != 0;
    chooseLayout(qwerty ? KeyboardLayout::Qwerty : KeyboardLayout::Azerty);
}

void MainWindow::workspaceChanged(const WorkspaceChange& change) {
    patternView_->workspaceChanged(change);
    if (change.what & Change::kPatternSelector) patternPanel_->showPattern();
    if (change.what & Change::kOrder) patternPanel_->showOrder();
    if (change.what & Change::kOctave) controlBar_->showOctave();
    if (change.what & Change::kInstruments) {
        controlBar_->refillVoices();
        instrumentEditor_->instrumentsChanged();
    } else if (change.what & Change::kVoice) {
        controlBar_->showVoice();
    }
}

void MainWindow::openSong(const QString& path) {
    if (!changesHandled()) return;
    showResult(workspace_.open(toPath(path)));
}

// ---- Unsaved changes
// -----------------------------------------------------------------------------

bool MainWindow::changesHandled() {
    if (!workspace_.modified()) return true;
    switch (prompts_.saveChanges()) {
        case Prompts::SaveChoice::Save:
            return saveWithDialog();
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
    return result.ok();
}

void MainWindow::showResult(const Result& result) {
    if (!result) prompts_.message(QString::fromStdString(result.message()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (changesHandled())
        event->accept();
    else
        event->ignore();
}

// ---- File menu ---------------------------------------------------------------------------------

void MainWindow::newProject() {
    if (changesHandled()) workspace_.newProject();
}

void MainWindow::open() {
    if (!changesHandled()) return;
    const QString path =
        prompts_.openFileName({QStringLiteral("Music Files (*.mus)"), {}, QStringLiteral("mus")});
    if (!path.isEmpty()) showResult(workspace_.open(toPath(path)));
}

void MainWindow::save() {
    saveWithDialog();
}

void MainWindow::importMod() {
    if (!changesHandled()) return;
    const QString path =
        prompts_.openFileName({QStringLiteral("MOD Files (*.mod)"), {}, QStringLiteral("mod")});
    if (!path.isEmpty()) showResult(workspace_.importMod(toPath(path)));
}

void MainWindow::exportQvx0() {
    if (const std::string problem = songProblem(workspace_.song()); !problem.empty())
        return prompts_.message(QString::fromStdString(problem));
    const QString path =
        prompts_.saveFileName({QStringLiteral("QVX0 binary (*.bin)"), {}, QStringLiteral("qv0")});
    if (!path.isEmpty())
        showResult(qvx::exportCompiledImage(workspace_.song(), *imageBuffer_, toPath(path)));
}

void MainWindow::exportNeoGeoTestRom() {
    if (const std::string problem = songProblem(workspace_.song()); !problem.empty())
        return prompts_.message(QString::fromStdString(problem));
    const QString path = prompts_.saveFileName({QStringLiteral("Test ROM files (*.bin)"),
                                                QStringLiteral("202-m1"), QStringLiteral("bin")});
    if (!path.isEmpty())
        showResult(qvx::exportNeoGeoTestRom(workspace_.song(), *imageBuffer_, toPath(path)));
}

void MainWindow::exportMegaDriveTestRom() {
    // Refused before the dialog: a song that does not fit the console's bank would play garbage.
    if (const std::string problem = megaDriveTestRomProblem(workspace_.song()); !problem.empty())
        return prompts_.message(QString::fromStdString(problem));
    const QString path = prompts_.saveFileName({QStringLiteral("Test ROM files (*.bin)"),
                                                QStringLiteral("testrom"), QStringLiteral("bin")});
    if (!path.isEmpty())
        showResult(qvx::exportMegaDriveTestRom(workspace_.song(), *imageBuffer_, toPath(path)));
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

void MainWindow::increaseTrackOctave() {
    workspace_.shiftTrackOctaveUp(workspace_.cursor().track(), [this](std::string_view question) {
        return prompts_.yesNo(QString::fromUtf8(question.data(), qsizetype(question.size())));
    });
}

void MainWindow::decreaseTrackOctave() {
    workspace_.shiftTrackOctaveDown(workspace_.cursor().track(), [this](std::string_view question) {
        return prompts_.yesNo(QString::fromUtf8(question.data(), qsizetype(question.size())));
    });
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

// ---- Play menu ---------------------------------------------------------------------------------

void MainWindow::playPattern() {
    const Result result = playback_.playPattern(workspace_.song(), workspace_.currentPattern());
    if (result) workspace_.channel1Taken();
    showResult(result);
}

void MainWindow::playSong() {
    const Result result = playback_.playSong(workspace_.song());
    if (result) workspace_.channel1Taken();
    showResult(result);
}

void MainWindow::stop() {
    playback_.stop();
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

void MainWindow::about() {
    AboutBox box(this);
    box.exec();
}

}  // namespace qvx::editor
