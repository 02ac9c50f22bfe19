#include "editor/artwork.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRadialGradient>

// The pictures are compiled into the editor's static library, whose resources have to be
// registered by hand (outside any namespace, as the macro needs).
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace qvx::editor::artwork {
namespace {

constexpr int kButtonPictureWidth = 12;
constexpr int kButtonPictureHeight = 10;

QPixmap buttonPicture(const QPolygon& shape) {
    QPixmap picture(kButtonPictureWidth, kButtonPictureHeight);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(shape);
    return picture;
}

}  // namespace

QPixmap playSongPicture() {
    return buttonPicture(QPolygon({QPoint(2, 0), QPoint(11, 5), QPoint(2, 10)}));
}

QPixmap playPatternPicture() {
    return buttonPicture(QPolygon({QPoint(1, 1), QPoint(11, 1), QPoint(6, 10)}));
}

QPixmap stopPicture() {
    return buttonPicture(QPolygon({QPoint(2, 1), QPoint(11, 1), QPoint(11, 10), QPoint(2, 10)}));
}

QString trackLabel(SongKind kind, int track) {
    if (kind == SongKind::Classic) return QStringLiteral("TRACK %1").arg(track + 1);
    return QString::fromStdString(trackName(kind, track)).toUpper();
}

QPixmap trackImage(const QString& label, TrackKind kind, bool on) {
    constexpr int kWidth = 150;
    constexpr int kHeight = 17;
    QPixmap image(kWidth, kHeight);
    QPainter painter(&image);

    // The bar: a gradient with a light top-left and a dark bottom-right edge, in the group's
    // colour: FM green, SSG blue, the drums amber, ADPCM-B violet. Each row: the light edge,
    // the face's top, middle and bottom, the dark edge.
    static const QColor kColours[kTrackKinds][5] = {
        {{200, 240, 200}, {120, 200, 120}, {70, 160, 75}, {40, 115, 50}, {20, 70, 30}},
        {{250, 225, 180}, {230, 180, 100}, {200, 135, 50}, {150, 90, 25}, {90, 50, 10}},
        {{200, 225, 250}, {120, 170, 220}, {70, 125, 190}, {40, 85, 145}, {20, 45, 90}},
        {{235, 205, 245}, {190, 140, 215}, {150, 95, 180}, {110, 60, 140}, {60, 30, 85}}};
    const QColor* colour = kColours[static_cast<int>(kind)];
    QLinearGradient face(0, 0, 0, kHeight);
    face.setColorAt(0.0, colour[1]);
    face.setColorAt(0.5, colour[2]);
    face.setColorAt(1.0, colour[3]);
    painter.fillRect(0, 0, kWidth, kHeight, face);
    painter.setPen(colour[0]);
    painter.drawLine(0, 0, kWidth - 1, 0);
    painter.drawLine(0, 0, 0, kHeight - 1);
    painter.setPen(colour[4]);
    painter.drawLine(0, kHeight - 1, kWidth - 1, kHeight - 1);
    painter.drawLine(kWidth - 1, 0, kWidth - 1, kHeight - 1);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    painter.setFont(font);
    painter.setPen(colour[4].darker(150));
    painter.drawText(QRect(9, 1, kWidth - 30, kHeight), Qt::AlignLeft | Qt::AlignVCenter, label);
    // Half way from the light edge to white.
    painter.setPen(QColor((colour[0].red() + 255) / 2, (colour[0].green() + 255) / 2,
                          (colour[0].blue() + 255) / 2));
    painter.drawText(QRect(8, 0, kWidth - 30, kHeight), Qt::AlignLeft | Qt::AlignVCenter, label);

    // The lamp at the right end.
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kWidth - 12.5, kHeight / 2.0);
    const QColor lit = on ? QColor(60, 255, 60) : QColor(255, 50, 40);
    const QColor dark = on ? QColor(0, 110, 0) : QColor(120, 0, 0);
    QRadialGradient glass(centre - QPointF(1.5, 1.5), 6.0);
    glass.setColorAt(0.0, Qt::white);
    glass.setColorAt(0.35, lit);
    glass.setColorAt(1.0, dark);
    painter.setPen(QPen(QColor(20, 50, 20), 1.0));
    painter.setBrush(glass);
    painter.drawEllipse(centre, 5.0, 5.0);
    return image;
}

QFont gridFont() {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(12);
    return font;
}

QIcon applicationIcon() {
    static const bool registered = (registerResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/qvxtracker/qvxtracker.svg"));
}

}  // namespace qvx::editor::artwork
