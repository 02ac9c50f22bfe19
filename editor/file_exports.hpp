#pragma once

#include <QString>

#include "editor/services.hpp"
#include "rombuild/compiled_image.hpp"
#include "song/song.hpp"

// File > Export ...: each refuses a song it cannot export with the reason, asks for the file and
// writes it; a failure is told in a message. Each returns the file it wrote, or nothing.
namespace qvx::editor {

// The song's chip writes as a VGM file whose tag carries `title`.
QString exportVgmFile(Prompts& prompts, const Song& song, const QString& title);
QString exportQvx0File(Prompts& prompts, const Song& song, ImageBuffer& buffer);
QString exportNeoGeoTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer);
QString exportMegaDriveTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer);

// "Wrote demo.wav (1234 bytes)", for the status bar after a file was written.
QString wroteText(const QString& path);

}  // namespace qvx::editor
