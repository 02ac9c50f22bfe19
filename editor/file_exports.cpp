#include "editor/file_exports.hpp"

#include <QDir>
#include <QFileInfo>

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

// The path when the export wrote it; else nothing, after telling why.
QString tell(Prompts& prompts, const Result& result, const QString& path) {
    if (result) return path;
    showFailure(prompts, result);
    return {};
}

}  // namespace

QString exportVgmFile(Prompts& prompts, const Song& song, const QString& title) {
    if (!exportable(prompts, songProblem(song))) return {};
    const QString path =
        prompts.saveFileName({QStringLiteral("VGM files (*.vgm)"), {}, QStringLiteral("vgm")});
    if (path.isEmpty()) return {};
    VgmOptions options;
    options.title = toModelText(title);
    return tell(prompts, exportVgm(song, options, toPath(path)), path);
}

QString exportQvx0File(Prompts& prompts, const Song& song, ImageBuffer& buffer) {
    if (!exportable(prompts, songProblem(song))) return {};
    const QString path =
        prompts.saveFileName({QStringLiteral("QVX0 binary (*.bin)"), {}, QStringLiteral("qv0")});
    return path.isEmpty() ? path
                          : tell(prompts, exportCompiledImage(song, buffer, toPath(path)), path);
}

QString exportNeoGeoTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer) {
    if (!exportable(prompts, songProblem(song))) return {};
    const QString path = prompts.saveFileName({QStringLiteral("Test ROM files (*.bin)"),
                                               QStringLiteral("202-m1"), QStringLiteral("bin")});
    if (path.isEmpty() ||
        tell(prompts, exportNeoGeoTestRom(song, buffer, toPath(path)), path).isEmpty())
        return {};
    if (song.kind == SongKind::WholeChip)
        prompts.message(
            QStringLiteral("The song's samples went into %1 beside it: the board plays the M1 "
                           "with that V1.")
                .arg(QFileInfo(path).dir().relativeFilePath(
                    QString::fromStdString(neoGeoTestV1Path(toPath(path)).string()))));
    return path;
}

QString exportMegaDriveTestRomFile(Prompts& prompts, const Song& song, ImageBuffer& buffer) {
    // Refused before the dialog: a song that does not fit the console's bank would play garbage.
    if (!exportable(prompts, megaDriveTestRomProblem(song))) return {};
    const QString path = prompts.saveFileName({QStringLiteral("Test ROM files (*.bin)"),
                                               QStringLiteral("testrom"), QStringLiteral("bin")});
    if (path.isEmpty() ||
        tell(prompts, exportMegaDriveTestRom(song, buffer, toPath(path)), path).isEmpty())
        return {};
    if (const std::string leftOut = megaDriveLeftOut(song); !leftOut.empty())
        prompts.message(QString::fromStdString(leftOut) + QStringLiteral("."));
    return path;
}

QString wroteText(const QString& path) {
    const QFileInfo file(path);
    return QStringLiteral("Wrote %1 (%2 bytes)").arg(file.fileName()).arg(file.size());
}

}  // namespace qvx::editor
