#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "rombuild/playback.hpp"
#include "song/preset_library.hpp"
#include "song/preview.hpp"

namespace qvx::editor {

// A file dialog as a command asks for it: the filter ("Music Files (*.mus)"), the name it
// proposes, the suffix added to a typed name that has none, and the dialog's title when the
// usual one would not say which file it is for.
struct FileRequest {
    FileRequest(QString filter_, QString defaultName_, QString defaultSuffix_, QString title_ = {})
        : filter(std::move(filter_)),
          defaultName(std::move(defaultName_)),
          defaultSuffix(std::move(defaultSuffix_)),
          title(std::move(title_)) {}

    QString filter;
    QString defaultName;
    QString defaultSuffix;
    QString title;
    // Where a dialog whose filters are a choice (";;"-separated) says which one was taken.
    QString* chosenFilter = nullptr;
};

// How long a WAV export lasts: a number of passes through the order list (and the last notes'
// release), or seconds.
struct WavLength {
    bool passes = true;
    int count = 1;
    double seconds = 60.0;
};

// Everything the editor asks the user. The program answers through dialogs; tests answer from a
// script, so that no test ever waits on a window.
class Prompts {
  public:
    enum class SaveChoice { Save, Discard, Cancel };
    enum class RestoreChoice { Restore, Discard, Later };

    virtual ~Prompts() = default;
    // An OK box with `text`, and under it `detail` when there is one (which file, and why).
    virtual void message(const QString& text, const QString& detail) = 0;
    void message(const QString& text) { message(text, {}); }
    // A Yes/No box; true for Yes.
    virtual bool yesNo(const QString& text) = 0;
    // Before unsaved changes would be lost.
    virtual SaveChoice saveChanges() = 0;
    // Whether to restore the recovery copy that `question` describes; `detail` says where the
    // song and the copy are.
    virtual RestoreChoice askRestore(const QString& question, const QString& detail) = 0;
    // The chosen file, or an empty string when the dialog was cancelled. The filter may list
    // several, separated by ";;".
    virtual QString openFileName(const FileRequest& request) = 0;
    virtual QString saveFileName(const FileRequest& request) = 0;
    // A line of text, starting from `text` (all of it selected); nothing when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& text) = 0;
    // The length of a WAV export, starting from `suggested`; nothing when cancelled.
    virtual std::optional<WavLength> askWavLength(const WavLength& suggested) = 0;
    // One of the preset voices' files; nothing when cancelled.
    virtual std::optional<std::filesystem::path> choosePreset(
        const std::vector<PresetGroup>& groups) = 0;
};

// The sound library as the editor uses it: started once with the main window, it plays the
// compiled images and previews notes on FM channel 1.
class SoundSystem {
  public:
    virtual ~SoundSystem() = default;
    virtual void start(void* window) = 0;
    // What the user should know about the sound output (which device plays, or why none).
    virtual QString status() const = 0;
    virtual SoundTarget& player() = 0;
    virtual PreviewTarget& preview() = 0;
    // Where the playing song is: the order position and row the driver played last (of the
    // image it plays); nothing while no song plays.
    struct Position {
        int orderPosition = 0;
        int row = 0;
    };
    virtual std::optional<Position> playPosition() = 0;
    // Boots a built M1 with its V1, as the board does at power-on; commands go to player().
    virtual void playRoms(std::span<const std::uint8_t> m1, std::span<const std::uint8_t> v1) = 0;
    // The chip's own FM arithmetic at its own sample rate instead of the documented model, for
    // everything played from now on (a playing song goes on).
    virtual void setChipAccurateFm(bool on) = 0;
    // What is playing, for the scopes: the latest `frames` frames, oldest first, kScopeValues
    // values each (the four FM tracks, all ADPCM-A channels, the SSG's channels A-C, ADPCM-B,
    // the output's left and right, each ADPCM-A channel). Returns the frames written; never
    // waits for the audio.
    static constexpr std::size_t kScopeValues = 17;
    static constexpr std::size_t kScopeAllAdpcmA = 4;
    static constexpr std::size_t kScopeFirstSsg = 5, kScopeAdpcmB = 8;
    static constexpr std::size_t kScopeLeft = 9, kScopeRight = 10;
    static constexpr std::size_t kScopeFirstAdpcmAChannel = 11;
    virtual std::size_t scopeHistory(std::int16_t* out, std::size_t frames) = 0;
};

}  // namespace qvx::editor
