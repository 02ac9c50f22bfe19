#include "editor/scope_strip.hpp"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace qvx::editor {
namespace {

const QString kScopesSetting = QStringLiteral("View/Scopes");
constexpr std::size_t kValues = SoundSystem::kScopeValues;
constexpr int kClipHoldMs = 1000;
constexpr int kMeterWidth = 46;
constexpr double kMeterFloorDb = -48;
// Full height: a full-level operator on a track, a loud sample on ADPCM-A.
// An SSG channel at full level spans the panel: its output is one-sided.
constexpr double kFmScale = 8192, kSampleScale = 16384, kSsgScale = 16384;

double dbfs(int peak) {
    return 20 * std::log10(std::max(peak, 1) / 32768.0);
}

// A classic song's four tracks and the game's samples on all ADPCM-A channels together; a
// whole-chip song's tracks, each ADPCM-A track on its own channel.
std::vector<ScopeStrip::Panel> panelsFor(SongKind kind) {
    std::vector<ScopeStrip::Panel> panels;
    for (int track = 0; track < trackCount(kind); ++track) {
        const auto channel = std::size_t(trackChannel(kind, track));
        const auto [value, scale] = [&]() -> std::pair<std::size_t, double> {
            switch (trackKind(kind, track)) {
                case TrackKind::Ssg:
                    return {SoundSystem::kScopeFirstSsg + channel, kSsgScale};
                case TrackKind::AdpcmA:
                    return {SoundSystem::kScopeFirstAdpcmAChannel + channel, kSampleScale};
                case TrackKind::AdpcmB:
                    return {SoundSystem::kScopeAdpcmB, kSampleScale};
                default:
                    return {channel, kFmScale};
            }
        }();
        panels.push_back({kind == SongKind::Classic
                              ? QStringLiteral("Track %1").arg(track + 1)
                              : QString::fromStdString(trackName(kind, track)),
                          value, scale});
    }
    if (kind == SongKind::Classic)
        panels.push_back({QStringLiteral("ADPCM-A"), SoundSystem::kScopeAllAdpcmA, kSampleScale});
    return panels;
}

}  // namespace

ScopeStrip::ScopeStrip(SoundSystem& sound, const Workspace& workspace, QWidget* parent)
    : QWidget(parent),
      sound_(sound),
      workspace_(workspace),
      timer_(new QTimer(this)),
      history_(2 * kShown * kValues) {
    setObjectName(QStringLiteral("scopeStrip"));
    connect(timer_, &QTimer::timeout, this, [this] {
        if (refresh()) update();
    });
    setToolTip(
        QStringLiteral("Each track's output (in a classic song, the game's samples on all "
                       "ADPCM-A channels too), and the output's peak level (the top box lights "
                       "when it reaches full scale)"));
    refresh();
}

ScopeStrip* ScopeStrip::addTo(QMainWindow& window, QMenu& view, SoundSystem& sound,
                              const Workspace& workspace) {
    auto* dock = new QDockWidget(QStringLiteral("Scopes"), &window);
    dock->setObjectName(QStringLiteral("scopesDock"));
    dock->setFeatures(QDockWidget::DockWidgetClosable);
    auto* strip = new ScopeStrip(sound, workspace, dock);
    dock->setWidget(strip);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    QAction* toggle = dock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("scopes"));
    toggle->setText(QStringLiteral("&Scopes"));
    toggle->setStatusTip(
        QStringLiteral("Displays or hides the scopes of the tracks and the "
                       "output level"));
    view.addSeparator();
    view.addAction(toggle);
    dock->setHidden(!QSettings().value(kScopesSetting, true).toBool());
    QObject::connect(toggle, &QAction::triggered, dock,
                     [](bool on) { QSettings().setValue(kScopesSetting, on); });
    return strip;
}

QSize ScopeStrip::sizeHint() const {
    return {640, 70};
}

void ScopeStrip::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // One picture a frame of the screen it is on (a 60 Hz screen when that cannot be told).
    const double hz = screen() && screen()->refreshRate() > 1 ? screen()->refreshRate() : 60;
    timer_->start(std::clamp(qRound(1000 / hz), 4, 40));
}

void ScopeStrip::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_->stop();
}

bool ScopeStrip::refresh() {
    const bool kindChanged = panels_.empty() || workspace_.song().kind != kind_;
    if (kindChanged) {
        kind_ = workspace_.song().kind;
        panels_ = panelsFor(kind_);
    }
    const long before = std::accumulate(history_.begin(), history_.end(), 0L);
    const int clipBefore = clipHold_;
    frames_ = sound_.scopeHistory(history_.data(), 2 * kShown);
    int peak = 0;
    for (std::size_t i = frames_ > kShown ? frames_ - kShown : 0; i < frames_; ++i)
        for (const std::size_t side : {SoundSystem::kScopeLeft, SoundSystem::kScopeRight})
            peak = std::max(peak, std::abs(int(history_[i * kValues + side])));
    peakDb_ = dbfs(peak);
    clipHold_ =
        peak >= 32767 ? kClipHoldMs / std::max(timer_->interval(), 1) : std::max(clipHold_ - 1, 0);
    const long after = std::accumulate(history_.begin(), history_.end(), 0L);
    return kindChanged || after != before || clipHold_ != clipBefore;
}

void ScopeStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().window());
    const int count = int(panels_.size());
    const double panelWidth = (width() - kMeterWidth - 6.0 * count) / count;
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    for (int p = 0; p < count; ++p) {
        const Panel& shown = panels_[std::size_t(p)];
        const QRectF panel(3 + p * (panelWidth + 6), 3, panelWidth, height() - 6);
        painter.fillRect(panel, QColor(20, 28, 24));
        painter.setPen(QColor(60, 80, 70));
        painter.drawLine(QPointF(panel.left(), panel.center().y()),
                         QPointF(panel.right(), panel.center().y()));
        painter.setPen(QColor(150, 180, 160));
        painter.drawText(panel.adjusted(4, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, shown.title);
        if (frames_ < 2) continue;
        // Starts where the wave rises through zero, so that a held note stands still.
        const auto value = [&](std::size_t frame) {
            return history_[frame * kValues + shown.value];
        };
        const std::size_t frames = std::min(kShown, frames_);
        std::size_t start = frames_ - frames;
        const long earliest = std::max(1L, long(frames_) - 2 * long(frames) + 1);
        for (long f = long(frames_ - frames); f >= earliest; --f)
            if (value(std::size_t(f) - 1) < 0 && value(std::size_t(f)) >= 0) {
                start = std::size_t(f);
                break;
            }
        QPolygonF wave;
        const double half = panel.height() / 2;
        for (std::size_t i = 0; i < frames; i += std::max<std::size_t>(1, frames / 200))
            wave << QPointF(panel.left() + panel.width() * double(i) / double(frames),
                            panel.center().y() -
                                std::clamp(value(start + i) / shown.scale, -1.0, 1.0) * (half - 1));
        painter.setPen(QPen(QColor(120, 230, 150), 1.2));
        painter.drawPolyline(wave);
    }
    // The output's peak: a bar from -48 dBFS up, and the clip mark above it.
    const QRectF meter(width() - kMeterWidth + 2, 3, kMeterWidth - 5, height() - 6);
    painter.fillRect(meter, QColor(20, 28, 24));
    const QRectF clip(meter.left() + 2, meter.top() + 2, meter.width() - 4, 9);
    painter.fillRect(clip, clipped() ? QColor(230, 40, 30) : QColor(70, 40, 40));
    const QRectF bar(meter.left() + 6, clip.bottom() + 3, meter.width() - 12,
                     meter.bottom() - clip.bottom() - 16);
    const double level = std::clamp((peakDb_ - kMeterFloorDb) / -kMeterFloorDb, 0.0, 1.0);
    const QColor colour = peakDb_ > -3 ? QColor(230, 180, 40) : QColor(90, 200, 110);
    painter.fillRect(
        QRectF(bar.left(), bar.bottom() - bar.height() * level, bar.width(), bar.height() * level),
        colour);
    painter.setPen(QColor(150, 180, 160));
    painter.drawText(QRectF(meter.left(), meter.bottom() - 13, meter.width(), 12), Qt::AlignCenter,
                     peakDb_ <= -96 ? QStringLiteral("-inf") : QString::number(peakDb_, 'f', 0));
}

}  // namespace qvx::editor
