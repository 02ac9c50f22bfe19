#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "song/result.hpp"

class QComboBox;

namespace qvx::editor {

class Prompts;

// Names are stored as the files hold them: UTF-8 as this editor writes them, or the 8-bit text
// of older files. Text that is no valid UTF-8 is read as Latin-1, so every name shows.
QString fromModelText(std::string_view text);
std::string toModelText(const QString& text);

// A path from a file dialog or the command line, in the file system's own encoding.
std::filesystem::path toPath(const QString& path);

// Tells the user why an operation failed: its message, and its detail under it.
void showFailure(Prompts& prompts, const Result& result);

// Refills a list box with model names and selects `selected` (-1: none), without telling
// anyone: a refill is not the user's choice.
void refillList(QComboBox& box, const std::vector<std::string>& names, int selected);

}  // namespace qvx::editor
