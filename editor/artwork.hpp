#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>

// The editor's pictures, drawn in code: the control bar's three button pictures, the pattern
// editor's track images and its font.
namespace qvx::editor::artwork {

QPixmap playSongPicture();     // a right-pointing triangle
QPixmap playPatternPicture();  // a down-pointing triangle
QPixmap stopPicture();         // a filled square

// 150 x 17: a bevelled green bar "TRACK n" with a lamp, green when the track plays, red when off.
QPixmap trackImage(int track, bool on);

// A fixed-pitch font whose texts fit the pattern editor's fields and 17-pixel rows.
QFont gridFont();

QIcon applicationIcon();

}  // namespace qvx::editor::artwork
