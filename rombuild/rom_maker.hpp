#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "rombuild/rom_build.hpp"
#include "rombuild/rom_sample.hpp"
#include "song/result.hpp"
#include "song/song.hpp"

// The ROM Maker's two lists, the songs for the M1 and the WAV samples for the V1, with the one
// entry the user has selected in either, and the build they feed.
namespace qvx {

inline constexpr std::string_view kSelectAFileToAdd = "You Must Select a MUS or WAV File";
inline constexpr std::string_view kSelectAnEntryToRemove =
    "You Must Select Either a Music or Sample File to Remove";

// The chip plays ADPCM-A at one sample every 432 clocks of its 8 MHz: 18518.5 Hz.
inline constexpr double kAdpcmASampleRate = 8'000'000.0 / 432;
// How long the sample plays on the board: two sound samples to each encoded byte.
double sampleSeconds(const RomSample& sample);

class RomMaker {
  public:
    enum class List { None, Songs, Samples };
    struct Selection {
        List list = List::None;
        int index = -1;
    };

    // A file whose name ends in ".mus" (any case) is read as a song, anything else is taken as a
    // WAV sample; its file name is its list name. A song is command 0x81 + its place in the
    // list, a sample 0x04 + its place; the same file may be added twice. Nothing is added when
    // the path is empty or a folder, or the reader refuses the file (its message says why).
    Result add(const std::filesystem::path& path, const ProgressFn& progress = {});
    // Selecting an entry of one list leaves the other without a selection; an index outside the
    // list selects nothing.
    void select(List list, int index);
    const Selection& selection() const { return selection_; }
    // Takes the selected entry out; the entries after it move up a command number.
    Result remove();

    const std::vector<RomSong>& songs() const { return songs_; }
    const std::vector<RomSample>& samples() const { return samples_; }
    RomSpace space() const { return romSpace(songs_, samples_); }
    std::vector<std::string> problems() const { return romProblems(songs_, samples_); }
    RomBuildResult build(const RomOutputs& outputs, const ProgressFn& progress = {}) const {
        return buildRoms(songs_, samples_, outputs, progress);
    }
    // All three outputs in memory, for playing them before anything is written.
    RomImages images(const ProgressFn& progress = {}) const {
        return makeRomImages(songs_, samples_, true, progress);
    }

  private:
    std::vector<RomSong> songs_;
    std::vector<RomSample> samples_;
    Selection selection_;
};

}  // namespace qvx
