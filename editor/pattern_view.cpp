#include "editor/pattern_view.hpp"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <cstdlib>

#include "editor/artwork.hpp"
#include "song/note_entry.hpp"
#include "song/pattern_grid.hpp"

namespace qvx::editor {
namespace {

using Change = WorkspaceChange;

constexpr int kWheelStep = 120;  // one notch of a common mouse wheel
constexpr int kLinesPerNotch = 3;

}  // namespace

PatternView::PatternView(Workspace& workspace, QWidget* parent)
    : QAbstractScrollArea(parent), workspace_(workspace) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::ArrowCursor);
    viewport()->setFont(artwork::gridFont());
    setFont(artwork::gridFont());
    makeTrackImages();
    // Texts sit in the 17-pixel rows with a little air above; the baseline is the same for all.
    const QFontMetrics metrics(artwork::gridFont());
    textBaseline_ = (grid::kRowHeight - metrics.height()) / 2 + metrics.ascent();
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &PatternView::scrollAction);
    horizontalScrollBar()->setSingleStep(grid::kTrackWidth / 5);
    // A classic song's four tracks fit; more scroll sideways.
    setMinimumSize(
        grid::gridEndX(kTracks) + 2 * frameWidth() + verticalScrollBar()->sizeHint().width(),
        grid::kHeaderHeight + 4 * grid::kRowHeight);
}

void PatternView::makeTrackImages() {
    const Song& song = workspace_.song();
    trackImages_.clear();
    for (int t = 0; t < song.trackCount(); ++t) {
        const QString label = artwork::trackLabel(song.kind, t);
        trackImages_.emplace_back(artwork::trackImage(label, song.trackKind(t), false),
                                  artwork::trackImage(label, song.trackKind(t), true));
    }
}

int PatternView::sidewaysOffset() const {
    return horizontalScrollBar()->value();
}

int PatternView::gridX(int viewX) const {
    return viewX < grid::kFirstTrackX ? viewX : viewX + sidewaysOffset();
}

void PatternView::revealCursorTrack() {
    const int track = workspace_.cursor().track();
    const int shown = viewport()->width() - grid::kFirstTrackX;
    int offset = sidewaysOffset();
    const grid::Columns& columns = workspace_.cursor().layout();
    offset = std::min(offset, columns.x(track) - grid::kFirstTrackX);
    if (shown >= grid::kTrackWidth)
        offset = std::max(offset, columns.x(track + 1) - grid::kFirstTrackX - shown);
    offset = std::clamp(offset, 0, horizontalScrollBar()->maximum());
    if (offset == sidewaysOffset()) return;
    horizontalScrollBar()->setValue(offset);
    viewport()->update();
}

QRect PatternView::fieldRect(int row, int column) const {
    const int track = column / grid::kFields;
    const grid::FieldGeometry& field = grid::kFieldGeometry[column % grid::kFields];
    const int y = grid::kHeaderHeight + grid::kRowHeight * (row - workspace_.cursor().topRow());
    return QRect(workspace_.cursor().layout().x(track) + field.x - sidewaysOffset(), y, field.width,
                 grid::kRowHeight);
}

QRect PatternView::cursorRect() const {
    const PatternCursor& cursor = workspace_.cursor();
    if (!cursor.cursorVisible()) return {};
    return fieldRect(cursor.row(), cursor.column());
}

QRect PatternView::headerRect() const {
    return QRect(0, 0, viewport()->width(), grid::kHeaderHeight);
}

QRect PatternView::cellRect(int track, int row) const {
    const int y = grid::kHeaderHeight + grid::kRowHeight * (row - workspace_.cursor().topRow());
    const grid::Columns& columns = workspace_.cursor().layout();
    return QRect(columns.x(track) + 1 - sidewaysOffset(), y, columns.width(track) - 1,
                 grid::kRowHeight);
}

QRect PatternView::rowRect(int row) const {
    const int y = grid::kHeaderHeight + grid::kRowHeight * (row - workspace_.cursor().topRow());
    return QRect(0, y, viewport()->width(), grid::kRowHeight);
}

void PatternView::setPlayingRow(int row) {
    if (row == playingRow_) return;
    if (playingRow_ >= 0) viewport()->update(rowRect(playingRow_));
    playingRow_ = row;
    if (playingRow_ >= 0) viewport()->update(rowRect(playingRow_));
}

void PatternView::workspaceChanged(const WorkspaceChange& change) {
    if (change.what & Change::kSongKind) makeTrackImages();
    if (change.what & (Change::kGrid | Change::kLayout | Change::kSelection | Change::kSongKind)) {
        syncScrollBar();
        revealCursorTrack();
        viewport()->update();
        drawnCursor_ = cursorRect();
        return;
    }
    if (change.what & Change::kCursor) revealCursorTrack();
    if (change.what & Change::kTrackEnables) viewport()->update(headerRect());
    if (change.what & Change::kCell) viewport()->update(cellRect(change.track, change.row));
    if (change.what & (Change::kCursor | Change::kCell)) updateCursor();
}

void PatternView::updateCursor() {
    const QRect now = cursorRect();
    if (now == drawnCursor_) return;
    viewport()->update(drawnCursor_);
    viewport()->update(now);
    drawnCursor_ = now;
}

void PatternView::syncScrollBar() {
    const PatternCursor& cursor = workspace_.cursor();
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker blocker(bar);
    setVerticalScrollBarPolicy(cursor.scrollBarShown() ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
    bar->setRange(0, cursor.scrollMaximum());
    bar->setPageStep(std::max(cursor.visibleRows(), 1));
    bar->setValue(cursor.topRow());

    QScrollBar* sideways = horizontalScrollBar();
    const int shown = std::max(viewport()->width() - grid::kFirstTrackX, 0);
    sideways->setRange(
        0, std::max(cursor.layout().x(cursor.trackCount()) - grid::kFirstTrackX - shown + 1, 0));
    sideways->setPageStep(std::max(shown, 1));
}

void PatternView::scrollAction(int action) {
    setFocus();
    QScrollBar* bar = verticalScrollBar();
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            workspace_.moveCursor(CursorMove::LineUp);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            workspace_.moveCursor(CursorMove::LineDown);
            break;
        case QAbstractSlider::SliderPageStepSub:
            workspace_.moveCursor(CursorMove::PageUp);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            workspace_.moveCursor(CursorMove::PageDown);
            break;
        case QAbstractSlider::SliderMove:
        case QAbstractSlider::SliderToMinimum:
        case QAbstractSlider::SliderToMaximum:
            workspace_.moveCursor(CursorMove::Thumb, bar->sliderPosition());
            break;
        default:
            break;
    }
    // The bar moves by the workspace's rules (a page is 16 rows or nothing), not by its own.
    bar->setSliderPosition(workspace_.cursor().topRow());
}

void PatternView::scrollContentsBy(int dx, int) {
    // Rows scroll through the workspace, which reports the change; sideways is the view's own.
    if (dx != 0) {
        viewport()->update();
        drawnCursor_ = cursorRect();
    }
}

void PatternView::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / kWheelStep;
    const CursorMove move = notches > 0 ? CursorMove::LineUp : CursorMove::LineDown;
    for (int i = 0; i < std::abs(notches) * kLinesPerNotch; ++i)
        workspace_.moveCursor(move);
    event->accept();
}

void PatternView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    workspace_.setVisibleRows(grid::visibleRowsFor(viewport()->height()));
    syncScrollBar();
}

bool PatternView::event(QEvent* event) {
    // Tab and Shift+Tab move between tracks here, not the focus between widgets.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            workspace_.nextTrack(key->key() == Qt::Key_Tab ? +1 : -1);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool PatternView::editingKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    constexpr int kPage = 16;
    if (modifiers == Qt::ShiftModifier) {
        switch (event->key()) {
            case Qt::Key_Left:
                workspace_.extendSelection(CursorMove::Left);
                return true;
            case Qt::Key_Right:
                workspace_.extendSelection(CursorMove::Right);
                return true;
            case Qt::Key_Up:
                workspace_.extendSelection(CursorMove::Up);
                return true;
            case Qt::Key_Down:
                workspace_.extendSelection(CursorMove::Down);
                return true;
            default:
                return false;
        }
    }
    if (modifiers == Qt::ControlModifier) {
        if (event->key() == Qt::Key_Home) workspace_.moveToRow(0);
        if (event->key() == Qt::Key_End) workspace_.moveToRow(kRows - 1);
        return event->key() == Qt::Key_Home || event->key() == Qt::Key_End;
    }
    if (modifiers != Qt::NoModifier) return false;
    switch (event->key()) {
        case Qt::Key_PageUp:
            workspace_.moveRows(-kPage);
            return true;
        case Qt::Key_PageDown:
            workspace_.moveRows(kPage);
            return true;
        case Qt::Key_Insert:
            workspace_.insertCell();
            return true;
        case Qt::Key_Backspace:
            workspace_.removeCell();
            return true;
        case Qt::Key_Delete:
            workspace_.deleteBlock();
            return true;
        case Qt::Key_Escape:
            workspace_.clearSelection();
            return true;
        default:
            return false;
    }
}

void PatternView::keyPressEvent(QKeyEvent* event) {
    if (editingKey(event)) return;
    // Ctrl, Alt and Meta combinations are commands for others (Alt+letter opens menus).
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        event->ignore();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Left:
            workspace_.moveCursor(CursorMove::Left);
            return;
        case Qt::Key_Right:
            workspace_.moveCursor(CursorMove::Right);
            return;
        case Qt::Key_Up:
            workspace_.moveCursor(CursorMove::Up);
            return;
        case Qt::Key_Down:
            workspace_.moveCursor(CursorMove::Down);
            return;
        case Qt::Key_End:
            workspace_.endKey();
            return;
        default:
            break;
    }
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint()) {
        event->ignore();
        return;
    }
    for (const char32_t key : text.toUcs4())
        workspace_.typeChar(key);
}

void PatternView::keyReleaseEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (!event->isAutoRepeat() && !text.isEmpty()) {
        const auto note = noteForKey(text.at(0).toUpper().unicode(), workspace_.keyboardLayout());
        if (note && *note < kNoteEmpty) emit noteKeyReleased();
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

void PatternView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus();
    const QPoint at = event->position().toPoint();
    workspace_.click(gridX(at.x()), at.y());
}

void PatternView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    workspace_.dragTo(gridX(at.x()), at.y());
}

void PatternView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    painter.setFont(artwork::gridFont());
    const int width = viewport()->width();
    const int height = viewport()->height();
    const PatternCursor& cursor = workspace_.cursor();
    const Pattern& pattern = workspace_.currentPatternData();
    const int tracks = static_cast<int>(trackImages_.size());
    const int offset = sidewaysOffset();
    const grid::Columns& columns = cursor.layout();

    // Header strip and rows, the whole width; the row numbers stay put while the tracks scroll
    // sideways to their right.
    painter.fillRect(0, 0, width, grid::kHeaderHeight, QColor(kHeaderColour));
    painter.fillRect(0, grid::kHeaderHeight, width, height - grid::kHeaderHeight,
                     QColor(kRowColour));
    painter.setPen(Qt::black);
    const QRect trackArea(grid::kFirstTrackX, 0, std::max(width - grid::kFirstTrackX, 0), height);
    for (int k = 0; k < cursor.visibleRows() && cursor.topRow() + k < kRows; ++k) {
        const int row = cursor.topRow() + k;
        const int y = grid::kHeaderHeight + grid::kRowHeight * k;
        if (!event->region().intersects(QRect(0, y, width, grid::kRowHeight))) continue;
        if (row % 4 == 0) painter.fillRect(0, y, width, grid::kRowHeight, QColor(kBeatRowColour));
        if (row == playingRow_)
            painter.fillRect(0, y, width, grid::kRowHeight, QColor(kPlayingRowColour));
        painter.drawText(grid::kRowNumberX, y + textBaseline_,
                         QString::fromStdString(patternNumberText(row)));
        painter.save();
        painter.setClipRect(trackArea, Qt::IntersectClip);
        painter.translate(-offset, 0);
        if (const auto& selection = workspace_.selection();
            selection && row >= selection->firstRow && row <= selection->lastRow) {
            const int left = columns.x(selection->firstTrack) + 1;
            painter.fillRect(left, y, columns.x(selection->lastTrack + 1) - left, grid::kRowHeight,
                             QColor(kSelectionColour));
        }
        const bool hex = workspace_.song().kind == SongKind::WholeChip;
        for (int t = 0; t < tracks; ++t) {
            if (columns.folded(t)) continue;
            const Cell& cell = pattern.cell(t, row);
            for (int f = 0; f < grid::kFields; ++f)
                painter.drawText(columns.x(t) + grid::kFieldGeometry[f].textX, y + textBaseline_,
                                 QString::fromLatin1(grid::fieldText(cell, f, hex).c_str()));
        }
        painter.restore();
    }

    // Track images and the lines between the tracks.
    painter.save();
    painter.setClipRect(trackArea, Qt::IntersectClip);
    painter.translate(-offset, 0);
    for (int t = 0; t < tracks; ++t) {
        // A folded track shows the start of its header, its group's colour, down the rows.
        const auto& [off, on] = trackImages_[static_cast<std::size_t>(t)];
        const QPixmap& image = workspace_.song().trackEnabled[t] ? on : off;
        painter.drawPixmap(columns.x(t), 0, image, 0, 0, columns.width(t), image.height());
        if (columns.folded(t))
            painter.drawTiledPixmap(columns.x(t), grid::kHeaderHeight, columns.width(t),
                                    height - grid::kHeaderHeight,
                                    image.copy(0, image.height() / 2, columns.width(t), 1));
    }
    for (int t = 0; t <= tracks; ++t)
        painter.drawLine(columns.x(t), grid::kHeaderHeight, columns.x(t), height - 1);
    painter.restore();
    if (offset > 0)
        painter.drawLine(grid::kFirstTrackX, grid::kHeaderHeight, grid::kFirstTrackX, height - 1);

    // The cursor: its field inverted.
    drawnCursor_ = cursorRect();
    if (!drawnCursor_.isNull()) {
        painter.setCompositionMode(QPainter::CompositionMode_Difference);
        painter.fillRect(drawnCursor_, Qt::white);
    }
}

}  // namespace qvx::editor
