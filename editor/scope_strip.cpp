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
// The output's two values in a frame, after the chip's sources.
constexpr std::size_t kLeft = kValues - 2, kRight = kValues - 1;
constexpr int kClipHoldMs = 1000;
constexpr int kMeterWidth = 46;
constexpr double kMeterFloorDb = -48;
// Full height: a full-level operator on a track, a loud sample on ADPCM-A.
constexpr std::array<double, ScopeStrip::kPanels> kScales = {8192, 8192, 8192, 8192, 16384};
const std::array<QString, ScopeStrip::kPanels> kTitles = {
    QStringLiteral("Track 1"), QStringLiteral("Track 2"), QStringLiteral("Track 3"),
    QStringLiteral("Track 4"), QStringLiteral("ADPCM-A")};

double dbfs(int peak) {
    return 20 * std::log10(std::max(peak, 1) / 32768.0);
}

}  // namespace

ScopeStrip::ScopeStrip(SoundSystem& sound, QWidget* parent)
    : QWidget(parent), sound_(sound), timer_(new QTimer(this)), history_(2 * kShown * kValues) {
    setObjectName(QStringLiteral("scopeStrip"));
    connect(timer_, &QTimer::timeout, this, [this] {
        if (refresh()) update();
    });
    setToolTip(
        QStringLiteral("Each track's output, all ADPCM-A channels, and the output's peak "
                       "level (the top box lights when it reaches full scale)"));
}

ScopeStrip* ScopeStrip::addTo(QMainWindow& window, QMenu& view, SoundSystem& sound) {
    auto* dock = new QDockWidget(QStringLiteral("Scopes"), &window);
    dock->setObjectName(QStringLiteral("scopesDock"));
    dock->setFeatures(QDockWidget::DockWidgetClosable);
    auto* strip = new ScopeStrip(sound, dock);
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
    const long before = std::accumulate(history_.begin(), history_.end(), 0L);
    const int clipBefore = clipHold_;
    frames_ = sound_.scopeHistory(history_.data(), 2 * kShown);
    int peak = 0;
    for (std::size_t i = frames_ > kShown ? frames_ - kShown : 0; i < frames_; ++i)
        for (const std::size_t side : {kLeft, kRight})
            peak = std::max(peak, std::abs(int(history_[i * kValues + side])));
    peakDb_ = dbfs(peak);
    clipHold_ =
        peak >= 32767 ? kClipHoldMs / std::max(timer_->interval(), 1) : std::max(clipHold_ - 1, 0);
    const long after = std::accumulate(history_.begin(), history_.end(), 0L);
    return after != before || clipHold_ != clipBefore;
}

void ScopeStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().window());
    const double panelWidth = (width() - kMeterWidth - 6.0 * kPanels) / kPanels;
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    for (int p = 0; p < kPanels; ++p) {
        const QRectF panel(3 + p * (panelWidth + 6), 3, panelWidth, height() - 6);
        painter.fillRect(panel, QColor(20, 28, 24));
        painter.setPen(QColor(60, 80, 70));
        painter.drawLine(QPointF(panel.left(), panel.center().y()),
                         QPointF(panel.right(), panel.center().y()));
        painter.setPen(QColor(150, 180, 160));
        painter.drawText(panel.adjusted(4, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, kTitles[p]);
        if (frames_ < 2) continue;
        // Starts where the wave rises through zero, so that a held note stands still.
        const auto value = [&](std::size_t frame) {
            return history_[frame * kValues + std::size_t(p)];
        };
        const std::size_t shown = std::min(kShown, frames_);
        std::size_t start = frames_ - shown;
        const long earliest = std::max(1L, long(frames_) - 2 * long(shown) + 1);
        for (long f = long(frames_ - shown); f >= earliest; --f)
            if (value(std::size_t(f) - 1) < 0 && value(std::size_t(f)) >= 0) {
                start = std::size_t(f);
                break;
            }
        QPolygonF wave;
        const double half = panel.height() / 2;
        for (std::size_t i = 0; i < shown; i += std::max<std::size_t>(1, shown / 200))
            wave << QPointF(
                panel.left() + panel.width() * double(i) / double(shown),
                panel.center().y() -
                    std::clamp(value(start + i) / kScales[std::size_t(p)], -1.0, 1.0) * (half - 1));
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
