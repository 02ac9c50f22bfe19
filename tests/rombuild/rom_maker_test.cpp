#include <gtest/gtest.h>

#include "rombuild/rom_maker.hpp"
#include "song/song_file.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

namespace qvx {
namespace {

using testing::readBytes;
using testing::TempDir;
using List = RomMaker::List;

// A folder with song and WAV files of known sizes, and the ROM Maker working from it.
struct Maker {
    Maker() {
        Song song;  // one pattern, no notes: block 136 + 32 + 1024
        EXPECT_TRUE(saveSong(song, dir / "intro.mus"));
        song.patternCount = kMaxPatterns;  // 64 patterns: more than the M1 holds
        EXPECT_TRUE(saveSong(song, dir / "Huge.MUS"));
        testing::writeBytes(dir / "hit.wav",
                            testing::monoWav(std::vector<std::int16_t>(2000, 1000)));  // 4000 B
        testing::writeBytes(dir / "junk.wav", std::vector<std::uint8_t>(10, 0x55));
        testing::writeBytes(dir / "bad.mus", std::vector<std::uint8_t>(10, 0x55));
        std::filesystem::create_directory(dir / "folder.mus");
    }
    Result add(const std::string& name) { return maker.add(dir / name); }

    TempDir dir;
    RomMaker maker;
};

TEST(RomMaker, AddsByExtensionAndCountsTheSpace) {
    Maker m;
    EXPECT_EQ(m.maker.space().m1, 61711);
    EXPECT_EQ(m.maker.space().v1, 524288);

    ASSERT_TRUE(m.add("intro.mus"));
    EXPECT_EQ(m.maker.space().m1, 61711 - 1192);
    ASSERT_TRUE(m.add("intro.mus"));  // the same file twice: two entries, two commands
    ASSERT_TRUE(m.add("hit.wav"));
    EXPECT_EQ(m.maker.space().v1, 524288 - 1000);
    EXPECT_EQ(m.maker.songs().size(), 2u);
    EXPECT_EQ(m.maker.songs()[1].name, "intro.mus");
    EXPECT_EQ(m.maker.samples()[0].name, "hit.wav");
    EXPECT_NEAR(sampleSeconds(m.maker.samples()[0]), 2000 / 18518.5, 1e-6);

    // Refused files change nothing and say why.
    const struct {
        std::string name;
        std::string message;
    } refused[] = {
        {"", "You Must Select a MUS or WAV File"},
        {"folder.mus", "You Must Select a MUS or WAV File"},
        {"junk.wav", "junk.wav: Format not recognised."},
        {"bad.mus", "Invalid QVXTracker Music file"},
        {"missing.wav", "Failed to Open missing.wav"},
    };
    for (const auto& [name, message] : refused) {
        const Result r = name.empty() ? m.maker.add({}) : m.add(name);
        EXPECT_FALSE(r) << name;
        EXPECT_EQ(r.message(), message) << name;
    }
    EXPECT_EQ(m.maker.songs().size(), 2u);
    EXPECT_EQ(m.maker.samples().size(), 1u);

    ASSERT_TRUE(m.add("Huge.MUS"));  // upper case is a song too; it may go below zero
    EXPECT_EQ(m.maker.space().m1, 61711 - 2 * 1192 - (136 + 32 + 64 * 1024));
}

TEST(RomMaker, OneSelectionAcrossBothListsAndRemove) {
    Maker m;
    EXPECT_EQ(m.maker.remove().message(),
              "You Must Select Either a Music or Sample File to Remove");
    ASSERT_TRUE(m.add("intro.mus"));
    ASSERT_TRUE(m.add("Huge.MUS"));
    ASSERT_TRUE(m.add("hit.wav"));

    m.maker.select(List::Songs, 0);
    m.maker.select(List::Samples, 0);  // the song list loses its selection
    EXPECT_EQ(m.maker.selection().list, List::Samples);
    m.maker.select(List::Songs, 0);
    ASSERT_TRUE(m.maker.remove());
    EXPECT_EQ(m.maker.selection().list, List::None);
    ASSERT_EQ(m.maker.songs().size(), 1u);
    EXPECT_EQ(m.maker.songs()[0].name, "Huge.MUS");  // moved up: now command 0x81
    EXPECT_EQ(m.maker.samples().size(), 1u);

    m.maker.select(List::Samples, 1);  // no such entry: nothing selected
    EXPECT_FALSE(m.maker.remove());
    m.maker.select(List::Samples, 0);
    ASSERT_TRUE(m.maker.remove());
    EXPECT_TRUE(m.maker.samples().empty());
}

TEST(RomMaker, BuildsOnlyWhatFitsAndPadsTheM1OnRequest) {
    Maker m;
    ASSERT_TRUE(m.add("intro.mus"));
    ASSERT_TRUE(m.add("hit.wav"));
    const RomImages images = m.maker.images();
    ASSERT_TRUE(images.problems.empty());
    EXPECT_EQ(images.m1.size(), 1777u + 1192u);
    EXPECT_EQ(images.v1.size(), 1024u);  // 1000 bytes and their padding
    EXPECT_EQ(images.commands.songs[0].define, "SOUND_FM_INTRO");

    RomOutputs outputs{m.dir / "v1.bin", m.dir / "m1.bin", m.dir / "sound.h", 65536};
    ASSERT_TRUE(m.maker.build(outputs).ok());
    const std::vector<std::uint8_t> m1 = readBytes(outputs.m1);
    ASSERT_EQ(m1.size(), 65536u);
    EXPECT_TRUE(std::equal(images.m1.begin(), images.m1.end(), m1.begin()));
    EXPECT_TRUE(std::all_of(m1.begin() + static_cast<std::ptrdiff_t>(images.m1.size()), m1.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(readBytes(outputs.v1), images.v1);

    outputs.m1PadTo = 100000;
    EXPECT_EQ(
        m.maker.build(outputs).problems,
        std::vector<std::string>{"The M1 can be filled up to 65536 or 131072 bytes, not 100000"});

    // A list that does not fit writes nothing, not even the outputs that would.
    ASSERT_TRUE(m.add("Huge.MUS"));
    std::filesystem::remove(outputs.v1);
    outputs.m1PadTo = 131072;
    const RomBuildResult result = m.maker.build(outputs);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_TRUE(result.problems[0].starts_with("The songs take 66896 bytes but only 61711 fit"))
        << result.problems[0];
    EXPECT_TRUE(result.written.empty());
    EXPECT_FALSE(std::filesystem::exists(outputs.v1));
    EXPECT_EQ(readBytes(outputs.m1).size(), 65536u);
    EXPECT_FALSE(m.maker.images().problems.empty());
}

}  // namespace
}  // namespace qvx
