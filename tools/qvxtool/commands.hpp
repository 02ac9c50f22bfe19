#pragma once

#include <CLI/CLI.hpp>

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

}  // namespace qvx::tool
