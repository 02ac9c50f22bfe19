#include "editor/dialog_prompts.hpp"

#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace qvx::editor {
namespace {

const QString kCaption = QStringLiteral("QVXTracker");

}  // namespace

void DialogPrompts::message(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Information, kCaption, text, QMessageBox::Ok, parent_);
    // Shown at once under the message: which file it was and why is what the user needs.
    box.setInformativeText(detail);
    box.exec();
}

bool DialogPrompts::yesNo(const QString& text) {
    return QMessageBox::question(parent_, kCaption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

Prompts::SaveChoice DialogPrompts::saveChanges() {
    QMessageBox box(QMessageBox::Warning, kCaption,
                    QStringLiteral("The song has changes that are not saved."),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setInformativeText(QStringLiteral("Save them first?"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save:
            return SaveChoice::Save;
        case QMessageBox::Discard:
            return SaveChoice::Discard;
        default:
            return SaveChoice::Cancel;
    }
}

Prompts::RestoreChoice DialogPrompts::askRestore(const QString& question, const QString& detail) {
    QMessageBox box(QMessageBox::Question, kCaption, question, QMessageBox::NoButton, parent_);
    box.setDetailedText(detail);
    QPushButton* restore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    QPushButton* later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    box.setEscapeButton(later);  // closing the box decides nothing
    box.exec();
    if (box.clickedButton() == restore) return RestoreChoice::Restore;
    if (box.clickedButton() == discard) return RestoreChoice::Discard;
    return RestoreChoice::Later;
}

QString DialogPrompts::openFileName(const FileRequest& request) {
    return fileName(request, false);
}

QString DialogPrompts::saveFileName(const FileRequest& request) {
    return fileName(request, true);
}

QString DialogPrompts::fileName(const FileRequest& request, bool save) {
    if (folder_.isEmpty()) folder_ = QDir::currentPath();
    QFileDialog dialog(parent_);
    if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
    // Qt's own dialog matches "*.mus" in any case, as the files of older systems need.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(folder_);
    dialog.setNameFilters(request.filter.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!request.defaultName.isEmpty()) dialog.selectFile(request.defaultName);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().first();
    if (request.chosenFilter) *request.chosenFilter = dialog.selectedNameFilter();
    folder_ = QFileInfo(chosen).absolutePath();
    return chosen;
}

std::optional<QString> DialogPrompts::askText(const QString& title, const QString& text) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(title);
    auto* edit = new QLineEdit(text, &dialog);
    edit->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(280);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return edit->text();
}

std::optional<WavLength> DialogPrompts::askWavLength(const WavLength& suggested) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Export WAV"));
    auto* passes = new QRadioButton(QStringLiteral("&Passes through the order list:"), &dialog);
    auto* count = new QSpinBox(&dialog);
    count->setRange(1, 99);
    count->setValue(suggested.count);
    auto* timed = new QRadioButton(QStringLiteral("&Seconds:"), &dialog);
    auto* seconds = new QDoubleSpinBox(&dialog);
    seconds->setRange(1.0, 3600.0);
    seconds->setDecimals(1);
    seconds->setValue(suggested.seconds);
    (suggested.passes ? passes : timed)->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(passes, count);
    form->addRow(timed, seconds);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return WavLength{passes->isChecked(), count->value(), seconds->value()};
}

std::optional<std::filesystem::path> DialogPrompts::choosePreset(
    const std::vector<PresetGroup>& groups) {
    QStringList names;
    std::vector<std::filesystem::path> paths;
    for (const PresetGroup& group : groups)
        for (const PresetEntry& preset : group.presets) {
            names << QStringLiteral("%1: %2").arg(QString::fromStdString(group.title),
                                                  QString::fromStdString(preset.name));
            paths.push_back(preset.path);
        }
    if (names.isEmpty()) {
        message(QStringLiteral("No preset voices were found"));
        return std::nullopt;
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent_, QStringLiteral("Load Preset into Instrument"),
                              QStringLiteral("Preset:"), names, 0, false, &ok);
    if (!ok) return std::nullopt;
    return paths[std::size_t(names.indexOf(chosen))];
}

}  // namespace qvx::editor
