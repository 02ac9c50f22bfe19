#pragma once

#include <QObject>
#include <QString>

#include "editor/services.hpp"
#include "rombuild/playback.hpp"
#include "song/workspace.hpp"

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace qvx::editor {

class PatternView;

// The Play menu: the current pattern or the song, each also from the cursor's order entry or row,
// Stop, and Follow Playback, which keeps the playing row in sight. The status line says what
// plays ("Playing song from order 00", "Playing pattern 03") and "Ready" when nothing does.
class PlayMenu : public QObject {
    Q_OBJECT

  public:
    PlayMenu(QMenu& menu, Workspace& workspace, SoundSystem& sound, Prompts& prompts,
             ImageBuffer& buffer, PatternView& view, QLabel& statusLine, QObject* parent);

    QAction* playSongAction() const { return playSong_; }
    QAction* playPatternAction() const { return playPattern_; }
    QAction* stopAction() const { return stop_; }
    QAction* followAction() const { return follow_; }
    // Looks where the playing song is (the timer does it at display rate).
    void followPlayback();
    // Something else took the sound board (the ROM Maker's preview): no song of ours plays.
    void boardTaken();

  private:
    void played(const Result& result, const QString& what);

    Workspace& workspace_;
    SoundSystem& sound_;
    Prompts& prompts_;
    Playback playback_;
    PatternView& view_;
    QLabel& statusLine_;
    QAction* playSong_ = nullptr;
    QAction* playPattern_ = nullptr;
    QAction* stop_ = nullptr;
    QAction* follow_ = nullptr;
    QTimer* followTimer_ = nullptr;
};

}  // namespace qvx::editor
