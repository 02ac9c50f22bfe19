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

namespace qvx::editor::testing {

// Answers from a script and records what was asked.
class FakePrompts : public Prompts {
  public:
    void message(const QString& text) override { messages << text; }
    bool yesNo(const QString& text) override {
        questions << text;
        return yes;
    }
    SaveChoice saveChanges() override {
        questions << QStringLiteral("save changes?");
        return saveChoice;
    }
    QString openFileName(const FileRequest& request) override {
        requests.push_back(request);
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

    bool yes = true;
    std::optional<QString> answerText;  // the answer to askText; nothing: cancelled
    SaveChoice saveChoice = SaveChoice::Cancel;
    std::deque<QString> fileNames;  // the answers of the file dialogs; empty: cancelled
    QStringList messages;
    QStringList questions;
    std::vector<FileRequest> requests;

  private:
    QString next() {
        if (fileNames.empty()) return {};
        QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

// Records every call to the sound library as a line of text.
class FakeSound : public SoundSystem, public SoundTarget, public PreviewTarget {
  public:
    void start(void*) override { calls.push_back("start"); }
    QString status() const override { return QStringLiteral("Sound: test device"); }
    SoundTarget& player() override { return *this; }
    PreviewTarget& preview() override { return *this; }

    void sendData(std::span<const std::uint8_t> image) override {
        calls.push_back("sendData " + std::to_string(image.size()));
    }
    void sendCommand(std::uint16_t command) override {
        calls.push_back("sendCommand " + std::to_string(command));
    }
    void keyUp() override { calls.push_back("KeyUp"); }
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) override {
        calls.push_back("loadInstrument " + std::to_string(voice[0]));
    }
    void keyDown(int note, int octave) override {
        calls.push_back("KeyDown " + std::to_string(note) + " " + std::to_string(octave));
    }

    std::vector<std::string> calls;
};

}  // namespace qvx::editor::testing
