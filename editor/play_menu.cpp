#include "editor/play_menu.hpp"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTimer>

#include "editor/pattern_view.hpp"
#include "editor/text.hpp"

namespace qvx::editor {
namespace {

const QString kFollowSetting = QStringLiteral("Options/FollowPlayback");
const QString kReady = QStringLiteral("Ready");
constexpr int kFollowMilliseconds = 16;  // about one poll per displayed frame

QAction* addItem(QMenu& menu, const char* name, const QString& caption, const QString& prompt,
                 const QKeySequence& keys) {
    QAction* action = menu.addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(prompt);
    action->setShortcut(keys);
    return action;
}

QString number(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

PlayMenu::PlayMenu(QMenu& menu, Workspace& workspace, SoundSystem& sound, Prompts& prompts,
                   ImageBuffer& buffer, PatternView& view, QLabel& statusLine, QObject* parent)
    : QObject(parent),
      workspace_(workspace),
      sound_(sound),
      prompts_(prompts),
      playback_(sound.player(), buffer),
      view_(view),
      statusLine_(statusLine) {
    statusLine_.setText(kReady);
    playPattern_ = addItem(menu, "playPattern", QStringLiteral("&Current Pattern\tF6"),
                           QStringLiteral("Plays the current pattern"), Qt::Key_F6);
    connect(playPattern_, &QAction::triggered, this, [this] {
        const int pattern = workspace_.currentPattern();
        played(playback_.playPattern(workspace_.song(), pattern),
               QStringLiteral("Playing pattern %1").arg(number(pattern)));
    });
    playSong_ = addItem(menu, "playSong", QStringLiteral("Son&g\tF5"),
                        QStringLiteral("Plays the entire song"), Qt::Key_F5);
    connect(playSong_, &QAction::triggered, this, [this] {
        played(playback_.playSong(workspace_.song()),
               QStringLiteral("Playing song from order %1").arg(number(0)));
    });
    stop_ = addItem(menu, "stop", QStringLiteral("&Stop\tF4"),
                    QStringLiteral("Stops playing; Silence"), Qt::Key_F4);
    connect(stop_, &QAction::triggered, this, [this] {
        playback_.stop();
        statusLine_.setText(kReady);
    });
    menu.addSeparator();
    connect(addItem(menu, "playSongFromHere", QStringLiteral("Song from &Order Entry\tF7"),
                    QStringLiteral("Plays the song from the selected order entry"), Qt::Key_F7),
            &QAction::triggered, this, [this] {
                const int entry = std::max(workspace_.orderSelection(), 0);
                played(playback_.playSongFrom(workspace_.song(), entry),
                       QStringLiteral("Playing song from order %1").arg(number(entry)));
            });
    connect(
        addItem(menu, "playPatternFromHere", QStringLiteral("Pattern from &Row\tF8"),
                QStringLiteral("Plays the current pattern from the cursor's row"), Qt::Key_F8),
        &QAction::triggered, this, [this] {
            const int pattern = workspace_.currentPattern();
            const int row = workspace_.cursor().row();
            played(
                playback_.playPatternFrom(workspace_.song(), pattern, row),
                QStringLiteral("Playing pattern %1 from row %2").arg(number(pattern), number(row)));
        });
    follow_ = addItem(menu, "follow", QStringLiteral("&Follow Playback"),
                      QStringLiteral("Shows the pattern and the row being played"),
                      QKeySequence(Qt::CTRL | Qt::Key_F));
    follow_->setCheckable(true);
    follow_->setChecked(QSettings().value(kFollowSetting, true).toBool());
    connect(follow_, &QAction::toggled, this,
            [](bool on) { QSettings().setValue(kFollowSetting, on); });

    followTimer_ = new QTimer(this);
    followTimer_->setInterval(kFollowMilliseconds);
    connect(followTimer_, &QTimer::timeout, this, &PlayMenu::followPlayback);
    followTimer_->start();
}

void PlayMenu::played(const Result& result, const QString& what) {
    if (!result) return showFailure(prompts_, result);
    workspace_.channel1Taken();
    statusLine_.setText(what);
}

void PlayMenu::boardTaken() {
    statusLine_.setText(kReady);
}

void PlayMenu::followPlayback() {
    const std::optional<SoundSystem::Position> position = sound_.playPosition();
    const std::optional<Playback::SongPlace> place =
        position ? playback_.locate(workspace_.song(), position->orderPosition, position->row)
                 : std::nullopt;
    if (place && follow_->isChecked())
        workspace_.follow(place->pattern, place->orderEntry, place->row);
    view_.setPlayingRow(place && place->pattern == workspace_.currentPattern() ? place->row : -1);
}

}  // namespace qvx::editor
