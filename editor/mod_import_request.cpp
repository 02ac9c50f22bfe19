#include "editor/mod_import_request.hpp"

#include "voices/mod_voices.hpp"

namespace qvx::editor {

std::optional<ModImportRequest> askModImport(Prompts& prompts) {
    const QString wholeChip = QStringLiteral("MOD Files, as a whole-chip song (*.mod)");
    FileRequest request(QStringLiteral("MOD Files, as a classic song (*.mod);;") + wholeChip, {},
                        QStringLiteral("mod"));
    QString chosen;
    request.chosenFilter = &chosen;
    const QString path = prompts.openFileName(request);
    if (path.isEmpty()) return std::nullopt;
    return ModImportRequest{path, {chosen == wholeChip, voices::presetVoiceForSample}};
}

}  // namespace qvx::editor
