// The sound-file path as the ROM Maker and qvxtool take it: any bytes as a file, read as a sample
// and encoded. A refusal names the file; an accepted sample fits the largest V ROM and encodes to
// exactly the size it was counted at.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "rombuild/rom_sample.hpp"

namespace {

const std::filesystem::path& soundFile() {
    static const std::filesystem::path path = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "qvxfuzz-XXXXXX").string();
        if (!::mkdtemp(folder.data())) std::abort();
        return std::filesystem::path(folder) / "sound";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& path = soundFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    qvx::RomSample sample;
    sample.name = "untouched";
    const qvx::Result read = qvx::readRomSample(path, "sound", sample);
    if (!read) {
        if (read.message().find("sound") == std::string::npos) __builtin_trap();
        if (sample.name != "untouched") __builtin_trap();  // a refused file changes nothing
        return 0;
    }
    if (sample.dataBytes > 2 * qvx::kMaxConvertedSamples) __builtin_trap();
    std::size_t encoded = 0;
    const qvx::Result r = qvx::encodeRomSample(
        sample, [&encoded](std::span<const std::uint8_t> bytes) { encoded += bytes.size(); });
    if (!r || encoded != sample.encodedSize()) __builtin_trap();
    return 0;
}
