// A plain-text snapshot of the CPU registers for debugging the sound driver.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "soundlib/z80/z80_state.hpp"

namespace qvxsnd {

// The snapshot text: a header with PC and the letters of the set flags (in the order
// S, C, Z, P, N, H), then A, I, B, C, D, E, H, L, IX, IY, R, SP and the alternate A'..L'.
std::string formatDiagnosticDump(const Z80State& state);

// Appends the snapshot to the file at `path` (created if missing, never emptied).
// Returns an error message when the file cannot be written; nothing is written then.
std::optional<std::string> appendDiagnosticDump(const Z80State& state,
                                                const std::filesystem::path& path);

}  // namespace qvxsnd
