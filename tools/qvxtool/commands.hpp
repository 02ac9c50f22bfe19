#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/offline_render.hpp"

namespace qvx::tool {

// Each subcommand registers its options and its action on the application. An action reports
// failures on stderr and throws CLI::RuntimeError with the exit code.
void addInfoCommand(CLI::App& app);
void addExportCommands(CLI::App& app);
void addImportModCommand(CLI::App& app);
void addRenderCommand(CLI::App& app);
void addRomsCommand(CLI::App& app);
void addAdpcmCommand(CLI::App& app);

// Prints `message` on stderr and ends the command with exit status 1.
[[noreturn]] void fail(const std::string& message);

// A reader's message with the file it is about: "hit.wav: WAV file is not MONO". Messages that
// already name the file ("Failed to Open hit.wav") stay as they are.
std::string aboutFile(const std::string& fileName, const std::string& message);

// "Wrote OUT (N bytes)" on standard output, for a file just written.
void reportWritten(const std::filesystem::path& path);

// What render-rom and export-vgm take: the ROMs the sound board can address, and commands at
// emulated times.
inline constexpr std::size_t kMaxM1Bytes = 65536;             // the sound board's Z80 space
inline constexpr std::size_t kMaxV1Bytes = 16 * 1024 * 1024;  // what ADPCM-A addresses reach
// The whole file, or a failure naming it when it is missing or larger than `limit`.
std::vector<std::uint8_t> readRomFile(const std::string& path, std::size_t limit, const char* what);
// "81@0.5" or "0x81@0.5": command 0x81 at 0.5 s, within a render `seconds` long.
TimedCommand parseTimedCommand(const std::string& text, double seconds);

}  // namespace qvx::tool
