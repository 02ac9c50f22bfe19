#include <gtest/gtest.h>

#include "song/instrument_file.hpp"
#include "song/song.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using qvx::testing::readBytes;
using qvx::testing::TempDir;
using qvx::testing::writeBytes;
using Bytes = std::vector<std::uint8_t>;

// A Gens KMod dump whose byte at 16j + i is (i + 1) * 16 + j, so every mapping is visible.
Bytes y12Dump() {
    Bytes dump(128, 0xEE);
    for (int op = 0; op < 4; ++op)
        for (int group = 0; group < 6; ++group)
            dump[16 * op + group] = static_cast<std::uint8_t>((group + 1) * 16 + op);
    dump[0x40] = 0x0A;
    dump[0x41] = 0x0D;
    return dump;
}

TEST(InstrumentFile, SaveThenLoadIntoAnotherSlot) {
    TempDir dir;
    Song song;
    song.renameInstrument(5, "Bass");
    for (int i = 0; i < kVoiceBytes; ++i)
        song.instruments[5].registers[i] = static_cast<std::uint8_t>(100 + i);
    ASSERT_TRUE(saveInstrumentFile(song, 5, dir / "Bass.ins"));

    const Bytes bytes = readBytes(dir / "Bass.ins");
    ASSERT_EQ(bytes.size(), 5u + 5 + 25);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 10), std::string("QVXI1Bass\0", 10));
    EXPECT_EQ(bytes.back(), 124);

    ASSERT_TRUE(loadInstrumentFile(song, 12, dir / "Bass.ins"));
    EXPECT_EQ(song.instruments[12].name, "12 Bass");
    EXPECT_EQ(song.instruments[12].registers, song.instruments[5].registers);
}

TEST(InstrumentFile, Y12Conversion) {
    TempDir dir;
    writeBytes(dir / "PIANO.Y12", y12Dump());
    Song song;
    ASSERT_TRUE(loadInstrumentFile(song, 3, dir / "PIANO.Y12"));
    EXPECT_EQ(song.instruments[3].name, "03 PIANO");
    const VoiceBytes& r = song.instruments[3].registers;
    for (int group = 0; group < 6; ++group)
        for (int op = 0; op < 4; ++op)
            EXPECT_EQ(r[4 * group + op], (group + 1) * 16 + op);
    EXPECT_EQ(r[24], 0x2A);  // only the low three bits of algorithm and feedback
}

TEST(InstrumentFile, Y12KeepsUnusedBits) {
    Bytes dump = y12Dump();
    dump[16 * 2 + 3] = 0x9F;  // decay rate of the third operator block, AM bit set
    auto voice = parseY12(dump, "x");
    ASSERT_TRUE(voice.has_value());
    EXPECT_EQ(voice->registers[12 + 2], 0x9F);
}

TEST(InstrumentFile, RefusedFilesChangeNothing) {
    TempDir dir;
    Song song;
    song.renameInstrument(4, "Original");
    song.instruments[4].registers[0] = 0x71;
    const Instrument before = song.instruments[4];
    auto expectRefused = [&](const std::string& name, const Bytes& bytes,
                             const std::string& message) {
        writeBytes(dir / name, bytes);
        EXPECT_EQ(loadInstrumentFile(song, 4, dir / name).message(), message) << name;
        EXPECT_EQ(song.instruments[4].name, before.name);
        EXPECT_EQ(song.instruments[4].registers, before.registers);
    };
    const Bytes good = serializeInstrument(before);
    const std::string invalid = "Invalid QVX Tracker Instrument file";

    expectRefused("noextension", good, invalid);
    expectRefused("voice.txt", good, invalid);
    expectRefused("voice.ins.bak", good, invalid);
    Bytes badMagic = good;
    badMagic[4] = '2';
    expectRefused("magic.ins", badMagic, invalid);
    for (std::size_t n = 0; n < good.size(); ++n)
        expectRefused("short.ins",
                      Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), invalid);
    expectRefused("short.y12", Bytes(127, 0), invalid);
    Bytes longName(kInstrumentMagic.begin(), kInstrumentMagic.end());
    longName.insert(longName.end(), 256, 'a');
    longName.insert(longName.end(), 26, 0);
    expectRefused("long.ins", longName, invalid);

    EXPECT_EQ(loadInstrumentFile(song, 4, dir / "absent.ins").message(),
              "Failed to Open absent.ins");
    EXPECT_EQ(song.instruments[4].name, before.name);

    // The detail names the whole path and says why.
    writeBytes(dir / "empty.ins", {});
    const std::pair<const char*, std::string> reasons[] = {
        {"empty.ins", "the file is empty"},
        {"magic.ins", "it does not start with \"QVXI1\""},
        {"short.ins", "the file ends after 38 of 39 bytes"},
        {"long.ins", "the instrument's name is longer than 255 characters"},
        {"short.y12", "the file holds 127 bytes; a YM2612 voice dump holds 128"},
        {"voice.txt", "only .ins and .y12 files hold instruments"},
        {"absent.ins", "there is no such file"},
    };
    for (const auto& [name, why] : reasons)
        EXPECT_EQ(loadInstrumentFile(song, 4, dir / name).detail(),
                  (dir / name).string() + ": " + why);

    // What the editor takes as an instrument when a file is handed to it.
    writeBytes(dir / "song.mus", Bytes{'Q', 'V', 'X', 'M', '1'});
    for (const auto& [name, instrument] : {std::pair{"empty.ins", true},
                                           {"noextension", true},
                                           {"VOICE.Y12", true},
                                           {"song.mus", false},
                                           {"absent.mus", false}})
        EXPECT_EQ(isInstrumentFile(dir / name), instrument) << name;
}

TEST(InstrumentFile, ExtensionCaseIsIgnored) {
    TempDir dir;
    Song song;
    song.renameInstrument(1, "Pad");
    writeBytes(dir / "PAD.INS", serializeInstrument(song.instruments[1]));
    ASSERT_TRUE(loadInstrumentFile(song, 2, dir / "PAD.INS"));
    EXPECT_EQ(song.instruments[2].name, "02 Pad");
    writeBytes(dir / "my.voice.y12", y12Dump());
    ASSERT_TRUE(loadInstrumentFile(song, 2, dir / "my.voice.y12"));
    EXPECT_EQ(song.instruments[2].name, "02 my.voice");
}

TEST(InstrumentFile, SaveFailureReportsTheFileName) {
    TempDir dir;
    Song song;
    EXPECT_EQ(saveInstrumentFile(song, 1, dir / "no" / "such.ins").message(),
              "Failed to Create such.ins");
}

}  // namespace
}  // namespace qvx
