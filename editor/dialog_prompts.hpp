#pragma once

#include <QString>

#include "editor/services.hpp"

class QWidget;

namespace qvx::editor {

// The questions and file dialogs of the running program, parented to the main window.
class DialogPrompts : public Prompts {
  public:
    explicit DialogPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    // The window the dialogs belong to.
    void setParent(QWidget* parent) { parent_ = parent; }

    using Prompts::message;
    void message(const QString& text, const QString& detail) override;
    bool yesNo(const QString& text) override;
    SaveChoice saveChanges() override;
    RestoreChoice askRestore(const QString& question, const QString& detail) override;
    QString openFileName(const FileRequest& request) override;
    QString saveFileName(const FileRequest& request) override;
    std::optional<QString> askText(const QString& title, const QString& text) override;
    std::optional<WavLength> askWavLength(const WavLength& suggested) override;
    std::optional<std::filesystem::path> choosePreset(
        const std::vector<PresetGroup>& groups) override;

  private:
    QString fileName(const FileRequest& request, bool save);

    QWidget* parent_;
    QString folder_;  // where the last file dialog ended, for the next one
};

}  // namespace qvx::editor
