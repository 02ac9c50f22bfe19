#include <gtest/gtest.h>

#include <cstdlib>

#include "examples/demo_song.hpp"
#include "examples/drum_song.hpp"
#include "song/instrument_file.hpp"
#include "song/song_file.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

std::filesystem::path examplesFolder() {
    const char* root = std::getenv("QVX_SOURCE_DIR");
    return std::filesystem::path(root ? root : ".") / "examples";
}

// The checked-in files are generated from demo_song.cpp; if this fails, run the
// regenerate_examples target and commit the result.
TEST(Examples, CheckedInFilesMatchTheirDefinition) {
    const Song song = examples::makeDemoSong();
    EXPECT_EQ(testing::readBytes(examplesFolder() / "demo.mus"), serializeSong(song));
    EXPECT_EQ(testing::readBytes(examplesFolder() / "drums.mus"),
              serializeSong(examples::makeDrumSong()));
    EXPECT_EQ(testing::readBytes(examplesFolder() / "slap-bass.ins"),
              serializeInstrument(song.instruments[examples::kDemoInstrument]));
}

TEST(Examples, DemoSongIsPlayableAsWritten) {
    const Song song = examples::makeDemoSong();
    EXPECT_EQ(song.usedInstrumentCount(), 4);
    for (std::uint8_t entry : song.order)
        EXPECT_LT(entry, song.patternCount);
    for (int k = 1; k <= 4; ++k)
        EXPECT_NE(song.instruments[k].registers, VoiceBytes{}) << k;
}

}  // namespace
}  // namespace qvx
