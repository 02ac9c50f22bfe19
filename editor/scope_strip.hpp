#pragma once

#include <QWidget>
#include <vector>

#include "editor/services.hpp"
#include "song/workspace.hpp"

class QMainWindow;
class QMenu;
class QTimer;

namespace qvx::editor {

// Scopes of what plays: a small oscilloscope for each track of the open song (and, in a classic
// song, one for the game's samples on all ADPCM-A channels), and the output's peak level with a
// clip mark. While shown it looks at the sound library once a frame of its screen and redraws
// when something changed.
class ScopeStrip : public QWidget {
    Q_OBJECT

  public:
    static constexpr std::size_t kShown = 882;  // frames a scope shows: 20 ms

    struct Panel {
        QString title;
        std::size_t value;  // which of a scope frame's values it shows
        double scale;       // the value at full height
    };

    ScopeStrip(SoundSystem& sound, const Workspace& workspace, QWidget* parent = nullptr);
    // The strip in a dock at the bottom of `window`, with its "Scopes" item in `view`; whether
    // it is shown is remembered.
    static ScopeStrip* addTo(QMainWindow& window, QMenu& view, SoundSystem& sound,
                             const Workspace& workspace);

    const std::vector<Panel>& panels() const { return panels_; }

    // Looks at the latest sound: true when the picture changed.
    bool refresh();
    // The output's peak over the frames shown, in dBFS, and whether it reached full scale in
    // the last second.
    double peakDb() const { return peakDb_; }
    bool clipped() const { return clipHold_ > 0; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    SoundSystem& sound_;
    const Workspace& workspace_;
    SongKind kind_ = SongKind::Classic;
    std::vector<Panel> panels_;  // for the song kind last looked at
    QTimer* timer_;
    std::vector<std::int16_t> history_;  // 2 * kShown frames, so that a trigger can be found
    std::size_t frames_ = 0;
    double peakDb_ = -120;
    int clipHold_ = 0;  // refreshes left with the clip mark lit
};

}  // namespace qvx::editor
