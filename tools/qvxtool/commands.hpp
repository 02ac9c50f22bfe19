#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <string>

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

}  // namespace qvx::tool
