#pragma once

#include <QString>

#include "editor/services.hpp"
#include "rombuild/compiled_image.hpp"
#include "song/song.hpp"

// File > Export ...: each refuses a song it cannot export with the reason, asks for the file and
// writes it; a failure is told in a message.
namespace qvx::editor {

// The song's chip writes as a VGM file whose tag carries `title`.
void exportVgmFile(Prompts& prompts, const Song& song, const QString& title);
void exportQvx0File(Prompts& prompts, const Song& song, ImageBuffer& buffer);
void exportNeoGeoTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer);
void exportMegaDriveTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer);

}  // namespace qvx::editor
