#pragma once

#include <QString>
#include <optional>

#include "editor/services.hpp"
#include "song/mod_import.hpp"

namespace qvx::editor {

// File -> Import MOD's question: the module, and as which kind of song, which the dialog's file
// type says ("as a classic song", "as a whole-chip song"). Nothing when cancelled.
struct ModImportRequest {
    QString path;
    ModImportOptions options;
};
std::optional<ModImportRequest> askModImport(Prompts& prompts);

}  // namespace qvx::editor
