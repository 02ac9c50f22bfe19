#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

#include "song/track_layout.hpp"

// The editor's pictures, drawn in code: the control bar's three button pictures, the pattern
// editor's track images and its font.
namespace qvx::editor::artwork {

QPixmap playSongPicture();     // a right-pointing triangle
QPixmap playPatternPicture();  // a down-pointing triangle
QPixmap stopPicture();         // a filled square

// 150 x 17: a bevelled bar with the track's label and a lamp, green when the track plays, red when
// off. FM tracks are green; other kinds of track have their own colour.
QPixmap trackImage(const QString& label, TrackKind kind, bool on);
// The label of track `track` of a song of `kind`: "TRACK n" in a classic song, else its channel.
QString trackLabel(SongKind kind, int track);

// A fixed-pitch font whose texts fit the pattern editor's fields and 17-pixel rows.
QFont gridFont();

QIcon applicationIcon();

}  // namespace qvx::editor::artwork
