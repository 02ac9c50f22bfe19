#include "editor/control_bar.hpp"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

#include "editor/artwork.hpp"
#include "editor/text.hpp"
#include "song/workspace.hpp"

namespace qvx::editor {
namespace {

// A picture button that leaves the keyboard focus where it is, so typing goes on reaching the
// pattern editor after a click.
QToolButton* pictureButton(QAction* action, const QPixmap& picture, const char* name,
                           QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(picture));
    button->setIconSize(picture.size());
    button->setToolTip(action->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0));
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    QObject::connect(button, &QToolButton::clicked, action, &QAction::trigger);
    return button;
}

}  // namespace

ControlBar::ControlBar(Workspace& workspace, QAction* playSong, QAction* playPattern, QAction* stop,
                       QWidget* parent)
    : QToolBar(QStringLiteral("Controls"), parent), workspace_(workspace) {
    setObjectName(QStringLiteral("controlBar"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);

    addWidget(pictureButton(playSong, artwork::playSongPicture(), "playSongButton", this));
    addWidget(pictureButton(playPattern, artwork::playPatternPicture(), "playPatternButton", this));
    addWidget(pictureButton(stop, artwork::stopPicture(), "stopButton", this));
    addSeparator();

    addWidget(new QLabel(QStringLiteral(" Octave "), this));
    octave_ = new QSpinBox(this);
    octave_->setObjectName(QStringLiteral("octaveBox"));
    octave_->setRange(kMinOctave, kMaxOctave);
    addWidget(octave_);
    connect(octave_, &QSpinBox::valueChanged, this,
            [this](int value) { workspace_.setOctave(value); });

    addWidget(new QLabel(QStringLiteral("  Step "), this));
    step_ = new QSpinBox(this);
    step_->setObjectName(QStringLiteral("stepBox"));
    step_->setRange(0, Workspace::kMaxEditStep);
    step_->setToolTip(QStringLiteral("Rows the cursor moves after a note is entered"));
    addWidget(step_);
    connect(step_, &QSpinBox::valueChanged, this,
            [this](int value) { workspace_.setEditStep(value); });

    addWidget(new QLabel(QStringLiteral("  Voice "), this));
    voice_ = new QComboBox(this);
    voice_->setObjectName(QStringLiteral("voiceList"));
    voice_->setMinimumContentsLength(20);
    voice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    voice_->setMaxVisibleItems(kInstrumentCount);
    addWidget(voice_);
    // Only the user's choice; showing the workspace's voice must not feed back.
    connect(voice_, &QComboBox::activated, this,
            [this](int index) { workspace_.setVoiceIndex(index); });

    edit_ = new QPushButton(QStringLiteral("Edit"), this);
    edit_->setObjectName(QStringLiteral("editButton"));
    edit_->setFocusPolicy(Qt::NoFocus);
    addWidget(edit_);
    connect(edit_, &QPushButton::clicked, this, &ControlBar::editClicked);

    refillVoices();
    showOctave();
    showEditStep();
}

void ControlBar::showEditStep() {
    const QSignalBlocker blocker(step_);
    step_->setValue(workspace_.editStep());
}

void ControlBar::showOctave() {
    const QSignalBlocker blocker(octave_);
    octave_->setValue(workspace_.octave());
}

void ControlBar::showVoice() {
    const QSignalBlocker blocker(voice_);
    voice_->setCurrentIndex(workspace_.voiceIndex());  // -1: no voice selected
}

void ControlBar::refillVoices() {
    refillList(*voice_, workspace_.voiceListEntries(), workspace_.voiceIndex());
}

}  // namespace qvx::editor
