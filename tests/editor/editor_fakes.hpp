// Stand-ins for the user and the sound library, so the GUI tests neither wait on a dialog nor
// open an audio device.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "editor/services.hpp"
#include "tests/support/recording_preview.hpp"

namespace qvx::editor::testing {

// Answers from a script and records what was asked.
class FakePrompts : public Prompts {
  public:
    using Prompts::message;
    void message(const QString& text, const QString& detail) override {
        messages << text;
        details << detail;
    }
    bool yesNo(const QString& text) override {
        questions << text;
        return yes;
    }
    SaveChoice saveChanges() override {
        questions << QStringLiteral("save changes?");
        return saveChoice;
    }
    RestoreChoice askRestore(const QString& question, const QString& detail) override {
        questions << question;
        details << detail;
        return restoreChoice;
    }
    QString openFileName(const FileRequest& request) override {
        requests.push_back(request);
        if (request.chosenFilter) *request.chosenFilter = chosenFilter;
        return next();
    }
    QString saveFileName(const FileRequest& request) override {
        requests.push_back(request);
        return next();
    }

    std::optional<QString> askText(const QString& title, const QString&) override {
        questions << title;
        return answerText;
    }
    std::optional<WavLength> askWavLength(const WavLength&) override {
        questions << QStringLiteral("WAV length");
        return wavLength;
    }
    std::optional<std::filesystem::path> choosePreset(const std::vector<PresetGroup>&) override {
        questions << QStringLiteral("preset");
        return preset;
    }

    bool yes = true;
    std::optional<QString> answerText;            // the answer to askText; nothing: cancelled
    std::optional<WavLength> wavLength;           // the answer to askWavLength; nothing: cancelled
    std::optional<std::filesystem::path> preset;  // the answer to choosePreset
    SaveChoice saveChoice = SaveChoice::Cancel;
    RestoreChoice restoreChoice = RestoreChoice::Later;
    std::deque<QString> fileNames;  // the answers of the file dialogs; empty: cancelled
    QStringList messages;
    QStringList details;  // of the messages and the restore questions, in order
    QStringList questions;
    std::vector<FileRequest> requests;
    QString chosenFilter;  // the file type an open dialog reports

  private:
    QString next() {
        if (fileNames.empty()) return {};
        QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

// Records every call to the sound library as a line of text.
// The preview calls and the player's go into one list, in the order they were made.
class FakeSound : public SoundSystem, public SoundTarget, public qvx::testing::RecordingPreview {
  public:
    void start(void*) override { calls.push_back("start"); }
    QString status() const override { return QStringLiteral("Sound: test device"); }
    SoundTarget& player() override { return *this; }
    PreviewTarget& preview() override { return *this; }

    void sendData(std::span<const std::uint8_t> image) override {
        calls.push_back("sendData " + std::to_string(image.size()));
    }
    void sendRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        calls.push_back("sendRoms " + std::to_string(m1.size()) + " " + std::to_string(v1.size()));
    }
    std::optional<Position> playPosition() override { return position; }
    std::optional<Position> position;  // what the driver reports
    void playRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) override {
        calls.push_back("playRoms " + std::to_string(m1.size()) + " " + std::to_string(v1.size()));
    }
    void sendCommand(std::uint16_t command) override {
        calls.push_back("sendCommand " + std::to_string(command));
    }
    void setChipAccurateFm(bool on) override { chipAccurateFm = on; }
    std::optional<bool> chipAccurateFm;  // what the editor last chose
    std::size_t scopeHistory(std::int16_t* out, std::size_t frames) override {
        const std::size_t n = std::min(frames, scope.size() / kScopeValues);
        std::copy_n(scope.end() - long(n * kScopeValues), n * kScopeValues, out);
        return n;
    }
    std::vector<std::int16_t> scope;  // what the scopes get: the latest frames, oldest first
};

}  // namespace qvx::editor::testing
