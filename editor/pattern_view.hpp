#pragma once

#include <QAbstractScrollArea>
#include <QPixmap>
#include <utility>
#include <vector>

#include "song/workspace.hpp"

namespace qvx::editor {

// The pattern editor: the current pattern as a grid of 64 rows by the song's tracks of five fields,
// the track images that switch tracks on and off, and the edit cursor. It draws the workspace and
// forwards keys, characters, clicks and scroll bar actions to it; all rules live there. When the
// tracks are wider than the view it scrolls sideways under the row numbers, which stay in sight,
// and follows the cursor's track.
class PatternView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    static constexpr QRgb kRowColour = qRgb(220, 245, 220);
    static constexpr QRgb kBeatRowColour = qRgb(200, 245, 200);
    static constexpr QRgb kHeaderColour = qRgb(180, 245, 180);
    static constexpr QRgb kSelectionColour = qRgb(150, 190, 240);
    static constexpr QRgb kPlayingRowColour = qRgb(250, 225, 140);

    explicit PatternView(Workspace& workspace, QWidget* parent = nullptr);

    // Redraws what a change of the workspace touched.
    void workspaceChanged(const WorkspaceChange& change);

    // The rectangle of a field in view coordinates, whether on screen or not.
    QRect fieldRect(int row, int column) const;
    // How far the tracks are scrolled sideways, in pixels.
    int sidewaysOffset() const;

    // The row of the current pattern that is playing, lit behind its texts; -1 for none.
    void setPlayingRow(int row);
    int playingRow() const { return playingRow_; }

  signals:
    // A key that enters notes was let go (not an auto-repeat).
    void noteKeyReleased();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void scrollAction(int action);
    void syncScrollBar();
    void makeTrackImages();
    // Scrolls sideways as little as needed to show the cursor's track whole.
    void revealCursorTrack();
    // A view x as the grid's: past the row numbers, the tracks are scrolled.
    int gridX(int viewX) const;
    void updateCursor();
    QRect cursorRect() const;
    QRect headerRect() const;
    QRect cellRect(int track, int row) const;
    QRect rowRect(int row) const;
    // Keys beyond note and field entry: selection, pages, jumps, tracks, shifts.
    bool editingKey(QKeyEvent* event);

    Workspace& workspace_;
    std::vector<std::pair<QPixmap, QPixmap>> trackImages_;  // per track: off, on
    QRect drawnCursor_;
    int textBaseline_ = 0;
    int playingRow_ = -1;
};

}  // namespace qvx::editor
