#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "song/mod_import.hpp"
#include "song/result.hpp"
#include "song/song.hpp"

namespace qvx {

// The song together with the editor state that the user interface shows but does not own: the
// current pattern, the order list selection, the octave and the selected voice. Widgets display
// this object in the editor's formats and forward button presses to it.
class Workspace {
  public:
    static constexpr int kNoSelection = -1;
    static constexpr int kDefaultOctave = 4;

    Workspace();

    Song& song() { return *song_; }
    const Song& song() const { return *song_; }
    PatternClipboard& clipboard() { return *clipboard_; }
    const PatternClipboard& clipboard() const { return *clipboard_; }

    // File menu. A failed or refused Open leaves song and state exactly as they were.
    void newProject();
    Result open(const std::filesystem::path& path);
    Result save(const std::filesystem::path& path) const;
    // Replaces the song with one read elsewhere (MOD import), with the same state reset as Open.
    void replaceSong(std::unique_ptr<Song> song);
    // Import MOD: like Open, a refused module leaves song and state exactly as they were.
    Result importMod(const std::filesystem::path& path, ModImportReport* report = nullptr);

    // Pattern selector.
    int currentPattern() const { return currentPattern_; }
    std::string patternNumberText() const;  // "%02d"
    const std::string& currentPatternName() const { return song_->patterns[currentPattern_].name; }
    bool previousPattern();
    bool nextPattern();
    bool newPattern();
    void renameCurrentPattern(std::string_view text) {
        song_->renamePattern(currentPattern_, text);
    }

    // Order list. Entries read "%02d - %02d" (position, pattern number).
    const std::vector<std::uint8_t>& orderList() const { return song_->order; }
    int orderSelection() const { return orderSelection_; }
    std::string orderEntryText(std::size_t position) const;
    std::vector<std::string> orderEntryTexts() const;
    bool appendOrder();
    bool insertOrder();
    bool updateOrder();
    bool deleteOrder();
    // Choosing an entry makes its pattern the current one.
    void selectOrder(int position);

    // Control bar.
    int octave() const { return octave_; }
    void setOctave(int octave);
    int voiceIndex() const { return voiceIndex_; }  // list index; instrument number = index + 1
    int selectedInstrument() const { return voiceIndex_ + 1; }
    void setVoiceIndex(int index);
    std::vector<std::string> voiceListEntries() const;  // instrument names 1..31

    // Track and clipboard commands on the current pattern.
    void copyTrack(int track) { song_->copyTrack(currentPattern_, track, *clipboard_); }
    void cutTrack(int track) { song_->cutTrack(currentPattern_, track, *clipboard_); }
    void pasteTrack(int track) { song_->pasteTrack(currentPattern_, track, *clipboard_); }
    void copyPattern() { song_->copyPattern(currentPattern_, *clipboard_); }
    void pastePattern() { song_->pastePattern(currentPattern_, *clipboard_); }
    bool shiftTrackOctaveDown(int track, const ConfirmFn& confirm) {
        return song_->shiftTrackOctaveDown(currentPattern_, track, confirm);
    }
    bool shiftTrackOctaveUp(int track, const ConfirmFn& confirm) {
        return song_->shiftTrackOctaveUp(currentPattern_, track, confirm);
    }

    // Instrument files for instrument `number` (1..31).
    Result loadInstrument(int number, const std::filesystem::path& path);
    Result saveInstrument(int number, const std::filesystem::path& path) const;

  private:
    void resetEditorState();
    // After Open and import the order list was appended entry by entry, so its last entry ends
    // up selected.
    void selectLastOrderEntry();

    std::unique_ptr<Song> song_;
    std::unique_ptr<PatternClipboard> clipboard_;
    int currentPattern_ = 0;
    int orderSelection_ = 0;
    int octave_ = kDefaultOctave;
    int voiceIndex_ = 0;
};

}  // namespace qvx
