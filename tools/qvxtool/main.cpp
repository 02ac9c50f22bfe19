#include <iostream>

#include "tools/qvxtool/commands.hpp"

namespace qvx::tool {

void fail(const std::string& message) {
    std::cerr << "qvxtool: " << message << '\n';
    throw CLI::RuntimeError(1);
}

std::string aboutFile(const std::string& fileName, const std::string& message) {
    return message.find(fileName) == std::string::npos ? fileName + ": " + message : message;
}

void reportWritten(const std::filesystem::path& path) {
    std::error_code ec;
    std::cout << "Wrote " << path.string() << " (" << std::filesystem::file_size(path, ec)
              << " bytes)\n";
}

}  // namespace qvx::tool

int main(int argc, char** argv) {
    CLI::App app{"qvxtool - command-line face of QVXTracker: inspect, convert and build songs",
                 "qvxtool"};
    app.set_version_flag("--version", "qvxtool " QVX_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough(false);

    qvx::tool::addInfoCommand(app);
    qvx::tool::addExportCommands(app);
    qvx::tool::addImportModCommand(app);
    qvx::tool::addRenderCommand(app);
    qvx::tool::addRomsCommand(app);
    qvx::tool::addAdpcmCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help and the version are answers (0); every refusal of the command line and every
        // failure of a command is status 1, as the manual page says.
        return app.exit(error) == 0 ? 0 : 1;
    }
    return 0;
}
