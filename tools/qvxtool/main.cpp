#include <iostream>

#include "commands.hpp"

namespace qvx::tool {

void fail(const std::string& message) {
    std::cerr << "qvxtool: " << message << '\n';
    throw CLI::RuntimeError(1);
}

}  // namespace qvx::tool

int main(int argc, char** argv) {
    CLI::App app{"qvxtool - command-line face of QVXTracker: inspect, convert and build songs",
                 "qvxtool"};
    app.require_subcommand(1, 1);
    app.fallthrough(false);

    qvx::tool::addInfoCommand(app);
    qvx::tool::addExportCommands(app);
    qvx::tool::addImportModCommand(app);
    qvx::tool::addRenderCommand(app);
    qvx::tool::addRomsCommand(app);
    qvx::tool::addAdpcmCommand(app);

    CLI11_PARSE(app, argc, argv);
    return 0;
}
