#pragma once

#include "editor/services.hpp"
#include "song/song.hpp"

class QWidget;

namespace qvx::editor {

// File > Export WAV: asks for the length (passes through the order list or seconds) and the file,
// then renders the song offline through the same engine as Play, with a progress dialog that can
// stop it. Nothing is written when either question is cancelled or the render is stopped.
// `chipAccurate` chooses the FM synthesis, as Options does for playback; the file proposed is
// `title` with ".wav". Returns the file written, or nothing.
QString exportWav(QWidget* parent, Prompts& prompts, const Song& song, bool chipAccurate,
                  const QString& title);

}  // namespace qvx::editor
