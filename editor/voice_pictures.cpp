#include "editor/voice_pictures.hpp"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace qvx::editor {
namespace {

// Where each slot's box sits for each connection, in columns and rows, so that the signal runs
// from left to right into the output.
constexpr std::array<std::array<QPointF, 4>, 8> kPlaces = {{
    {{{0, 0}, {2, 0}, {1, 0}, {3, 0}}},      // 1 > 3 > 2 > 4
    {{{0, 0}, {1, 0.5}, {0, 1}, {2, 0.5}}},  // (1 + 3) > 2 > 4
    {{{1, 0}, {1, 1}, {0, 1}, {2, 0.5}}},    // 1 > 4, 3 > 2 > 4
    {{{0, 0}, {1, 1}, {1, 0}, {2, 0.5}}},    // 1 > 3 > 4, 2 > 4
    {{{0, 0}, {0, 1}, {1, 0}, {1, 1}}},      // 1 > 3, 2 > 4
    {{{0, 1}, {1, 1}, {1, 0}, {1, 2}}},      // 1 > 3, 2, 4
    {{{0, 0}, {1, 1}, {1, 0}, {1, 2}}},      // 1 > 3; 2; 4
    {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}},      // all heard
}};
constexpr double kBoxWidth = 28, kBoxHeight = 20, kColumn = 50, kRow = 28;
const std::array<QColor, 4> kSlotColours = {QColor(200, 60, 50), QColor(40, 130, 60),
                                            QColor(40, 90, 200), QColor(170, 110, 20)};

void arrowHead(QPainter& painter, QPointF tip, QPointF from) {
    const QPointF d = tip - from;
    const double length = std::max(1e-6, std::hypot(d.x(), d.y()));
    const QPointF u = d / length, n(-u.y(), u.x());
    painter.drawPolygon(QPolygonF({tip, tip - u * 6 + n * 3, tip - u * 6 - n * 3}));
}

}  // namespace

// ---- Algorithm ---------------------------------------------------------------------------------

AlgorithmView::AlgorithmView(QWidget* parent) : QWidget(parent) {
    setToolTip(
        QStringLiteral("How the four slots are wired: filled boxes are heard, the others "
                       "modulate the box their arrow points at"));
}

QSize AlgorithmView::sizeHint() const {
    return {int(4 * kColumn + 70), int(3 * kRow + 44)};
}

void AlgorithmView::setVoice(int connection, int feedback) {
    connection_ = connection & 7;
    feedback_ = feedback & 7;
    update();
}

void AlgorithmView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    const FmRouting routing = fmRouting(connection_);
    const auto& places = kPlaces[static_cast<std::size_t>(connection_)];
    double columns = 0, rows = 0;
    for (const QPointF& p : places)
        columns = std::max(columns, p.x()), rows = std::max(rows, p.y());
    // Centred, with room for the feedback loop above and the output at the right.
    const QPointF origin((width() - (columns * kColumn + kBoxWidth + 44)) / 2,
                         (height() - (rows * kRow + kBoxHeight)) / 2 + 4);
    const auto box = [&](int slot) {
        const QPointF p = places[static_cast<std::size_t>(slot)];
        return QRectF(origin + QPointF(p.x() * kColumn, p.y() * kRow),
                      QSizeF(kBoxWidth, kBoxHeight));
    };
    const QColor ink = palette().color(QPalette::Text);
    painter.setPen(QPen(ink, 1.2));
    painter.setBrush(ink);
    for (const FmRouting::Link& link : routing.links) {
        const QPointF from = box(link.from).center() + QPointF(kBoxWidth / 2, 0);
        const QPointF to = box(link.to).center() - QPointF(kBoxWidth / 2, 0);
        painter.drawLine(from, to);
        arrowHead(painter, to, from);
    }
    // The carriers lead to one output line: at their right, or below them when they stand in
    // one row (connection 7), so that no line runs through another box.
    const double busX = origin.x() + columns * kColumn + kBoxWidth + 14;
    const bool below = rows == 0 && connection_ == 7;
    const double busY = origin.y() + kBoxHeight + 12;
    double first = 1e9, last = -1e9;
    for (int slot = 0; slot < 4; ++slot) {
        if (!routing.carrier[static_cast<std::size_t>(slot)]) continue;
        const QRectF b = box(slot);
        const QPointF out =
            below ? QPointF(b.center().x(), b.bottom()) : QPointF(b.right(), b.center().y());
        painter.drawLine(out, below ? QPointF(out.x(), busY) : QPointF(busX, out.y()));
        const double along = below ? out.x() : out.y();
        first = std::min(first, along), last = std::max(last, along);
    }
    if (below)
        painter.drawLine(QPointF(first, busY), QPointF(busX, busY));
    else
        painter.drawLine(QPointF(busX, first), QPointF(busX, last));
    const QPointF outTip(busX + 14, below ? busY : (first + last) / 2);
    painter.drawLine(QPointF(busX, outTip.y()), outTip);
    arrowHead(painter, outTip, QPointF(busX, outTip.y()));
    painter.drawText(QRectF(outTip + QPointF(2, -8), QSizeF(30, 16)),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("out"));
    // Slot 1 feeds itself back.
    const QRectF one = box(0);
    QPainterPath loop(one.topRight() + QPointF(-6, 0));
    loop.cubicTo(one.topRight() + QPointF(4, -14), one.topLeft() + QPointF(-4, -14),
                 one.topLeft() + QPointF(6, 0));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(feedback_ ? ink : palette().color(QPalette::Mid), 1.2,
                        feedback_ ? Qt::SolidLine : Qt::DashLine));
    painter.drawPath(loop);
    painter.drawText(QRectF(one.center().x() - 24, one.top() - 27, 48, 13), Qt::AlignCenter,
                     QStringLiteral("FB %1").arg(feedback_));
    for (int slot = 0; slot < 4; ++slot) {
        const bool carrier = routing.carrier[static_cast<std::size_t>(slot)];
        const QColor colour = kSlotColours[static_cast<std::size_t>(slot)];
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(carrier ? colour : palette().color(QPalette::Base));
        painter.drawRoundedRect(box(slot), 3, 3);
        painter.setPen(carrier ? Qt::white : colour);
        painter.drawText(box(slot), Qt::AlignCenter, QString::number(slot + 1));
    }
}

// ---- Envelopes ---------------------------------------------------------------------------------

EnvelopeView::EnvelopeView(QWidget* parent) : QWidget(parent) {
    setToolTip(
        QStringLiteral("Each slot's envelope for a C of the test octave held for 1.5 s, "
                       "then released; the heard slots drawn stronger"));
}

QSize EnvelopeView::sizeHint() const {
    return {270, 170};
}

void EnvelopeView::setVoice(const VoiceBytes& voice, int octave) {
    voice_ = voice;
    octave_ = octave;
    stale_ = true;
    carrier_ = fmRouting(voice[24]).carrier;
    update();
}

const std::array<EnvelopeCurve, VoiceFields::kSlots>& EnvelopeView::curves() const {
    if (stale_) curves_ = envelopeCurves(voice_, octave_, kHoldMs, kReleaseMs);
    stale_ = false;
    return curves_;
}

void EnvelopeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    const QRectF plot(30, 6, width() - 48, height() - 24);
    const double totalMs = kHoldMs + kReleaseMs;
    const auto at = [&](double ms, double db) {
        return QPointF(plot.left() + plot.width() * ms / totalMs,
                       plot.top() + plot.height() * std::clamp(-db, 0.0, 96.0) / 96.0);
    };
    const QColor ink = palette().color(QPalette::Text);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    painter.setPen(QPen(palette().color(QPalette::Midlight), 1));
    for (int db = 0; db <= 96; db += 24) {
        painter.drawLine(at(0, -db), at(totalMs, -db));
        painter.setPen(ink);
        painter.drawText(QRectF(0, at(0, -db).y() - 7, 26, 14), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(-db));
        painter.setPen(QPen(palette().color(QPalette::Midlight), 1));
    }
    for (int ms = 0; ms <= totalMs; ms += 500) {
        painter.drawLine(at(ms, 0), at(ms, -96));
        painter.setPen(ink);
        const QString label = ms == 0 ? QStringLiteral("0 ms") : QString::number(ms);
        painter.drawText(QRectF(at(ms, -96).x() - 20, plot.bottom() + 2, 40, 14), Qt::AlignCenter,
                         label);
        painter.setPen(QPen(palette().color(QPalette::Midlight), 1));
    }
    painter.setPen(QPen(ink, 1, Qt::DashLine));
    painter.drawLine(at(kHoldMs, 0), at(kHoldMs, -96));
    painter.drawText(QRectF(at(kHoldMs, -96) + QPointF(3, -14), QSizeF(50, 12)),
                     QStringLiteral("key off"));
    // Modulators first, thin; the carriers over them.
    const auto& curves = this->curves();
    for (const bool carriers : {false, true}) {
        for (std::size_t slot = 0; slot < curves.size(); ++slot) {
            if (carrier_[slot] != carriers || curves[slot].empty()) continue;
            QColor colour = kSlotColours[slot];
            if (!carriers) colour.setAlpha(150);
            painter.setPen(QPen(colour, carriers ? 2.2 : 1.0));
            QPolygonF line;
            const std::size_t step =
                std::max<std::size_t>(1, curves[slot].size() / std::size_t(plot.width()));
            for (std::size_t ms = 0; ms < curves[slot].size(); ms += step)
                line << at(double(ms), curves[slot][ms]);
            painter.drawPolyline(line);
            painter.drawText(QRectF(plot.right() - 60 + 14 * double(slot), plot.top() + 2, 12, 12),
                             Qt::AlignCenter, QString::number(slot + 1));
        }
    }
}

}  // namespace qvx::editor
