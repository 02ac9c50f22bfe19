#include "rombuild/rom_maker.hpp"

#include <cctype>
#include <system_error>

#include "song/song_file.hpp"

namespace qvx {
namespace {

bool isSongFile(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension.size() != 4) return false;
    std::string lower;
    for (const char c : extension)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return lower == ".mus";
}

}  // namespace

double sampleSeconds(const RomSample& sample) {
    return 2.0 * sample.encodedSize() / kAdpcmASampleRate;
}

Result RomMaker::add(const std::filesystem::path& path, const ProgressFn& progress) {
    std::error_code error;
    if (path.empty() || path.filename().empty() || std::filesystem::is_directory(path, error))
        return Result::failure(std::string(kSelectAFileToAdd));
    const std::string name = path.filename().string();
    if (isSongFile(path)) {
        RomSong song;
        if (Result r = readRomSong(path, name, song); !r) return r;
        songs_.push_back(std::move(song));
    } else {
        RomSample sample;
        if (Result r = readRomSample(path, name, sample, progress); !r) return r;
        samples_.push_back(std::move(sample));
    }
    return Result::success();
}

void RomMaker::select(List list, int index) {
    const std::size_t size = list == List::Songs     ? songs_.size()
                             : list == List::Samples ? samples_.size()
                                                     : 0;
    if (index < 0 || static_cast<std::size_t>(index) >= size)
        selection_ = {};
    else
        selection_ = {list, index};
}

Result RomMaker::remove() {
    const auto at = static_cast<std::ptrdiff_t>(selection_.index);
    switch (selection_.list) {
        case List::None:
            return Result::failure(std::string(kSelectAnEntryToRemove));
        case List::Songs:
            songs_.erase(songs_.begin() + at);
            break;
        case List::Samples:
            samples_.erase(samples_.begin() + at);
            break;
    }
    selection_ = {};
    return Result::success();
}

}  // namespace qvx
