#include "editor/file_exports.hpp"

#include "editor/text.hpp"
#include "rombuild/exports.hpp"
#include "tools/vgm_export.hpp"

namespace qvx::editor {
namespace {

// False, after telling why, when the song cannot be exported.
bool exportable(Prompts& prompts, const std::string& problem) {
    if (problem.empty()) return true;
    prompts.message(QString::fromStdString(problem));
    return false;
}

void tell(Prompts& prompts, const Result& result) {
    if (!result) prompts.message(QString::fromStdString(result.message()));
}

}  // namespace

void exportVgmFile(Prompts& prompts, const Song& song, const QString& title) {
    if (!exportable(prompts, songProblem(song))) return;
    const QString path =
        prompts.saveFileName({QStringLiteral("VGM files (*.vgm)"), {}, QStringLiteral("vgm")});
    if (path.isEmpty()) return;
    VgmOptions options;
    options.title = toModelText(title);
    tell(prompts, exportVgm(song, options, toPath(path)));
}

void exportQvx0File(Prompts& prompts, const Song& song, ImageBuffer& buffer) {
    if (!exportable(prompts, songProblem(song))) return;
    const QString path =
        prompts.saveFileName({QStringLiteral("QVX0 binary (*.bin)"), {}, QStringLiteral("qv0")});
    if (!path.isEmpty()) tell(prompts, exportCompiledImage(song, buffer, toPath(path)));
}

void exportNeoGeoTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer) {
    if (!exportable(prompts, songProblem(song))) return;
    const QString path = prompts.saveFileName({QStringLiteral("Test ROM files (*.bin)"),
                                               QStringLiteral("202-m1"), QStringLiteral("bin")});
    if (!path.isEmpty()) tell(prompts, exportNeoGeoTestRom(song, buffer, toPath(path)));
}

void exportMegaDriveTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer) {
    // Refused before the dialog: a song that does not fit the console's bank would play garbage.
    if (!exportable(prompts, megaDriveTestRomProblem(song))) return;
    const QString path = prompts.saveFileName({QStringLiteral("Test ROM files (*.bin)"),
                                               QStringLiteral("testrom"), QStringLiteral("bin")});
    if (!path.isEmpty()) tell(prompts, exportMegaDriveTestRom(song, buffer, toPath(path)));
}

}  // namespace qvx::editor
