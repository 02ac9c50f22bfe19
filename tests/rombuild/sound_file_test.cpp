#include <gtest/gtest.h>

#include "rombuild/rom_build.hpp"
#include "rombuild/rom_sample.hpp"
#include "rombuild/sound_file.hpp"
#include "tests/support/damaged_sounds.hpp"

namespace qvx {
namespace {

using testing::TempDir;

// Each file once crashed the tool, took gigabytes or passed garbage as success. Now each is
// refused with its reason, the sample record untouched, on adding it and on building with it.
TEST(SoundFile, DamagedFilesAreRefusedWithTheirReason) {
    TempDir dir;
    const std::vector<testing::DamagedSound> files = testing::writeDamagedSounds(dir.path());
    ASSERT_FALSE(files.empty());
    for (const testing::DamagedSound& damaged : files) {
        RomSample sample;
        sample.name = "untouched";
        EXPECT_EQ(readRomSample(dir / damaged.file, damaged.file, sample).message(),
                  damaged.message);
        EXPECT_EQ(sample.name, "untouched");
    }
    // A file that was fine when added and is damaged by build time stops the build.
    ASSERT_TRUE(testing::writeSoundFile(dir / "later.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100,
                                        1, 0.05));
    RomSample later;
    ASSERT_TRUE(readRomSample(dir / "later.wav", "later.wav", later));
    std::filesystem::copy_file(dir / "nan.wav", dir / "later.wav",
                               std::filesystem::copy_options::overwrite_existing);
    std::vector<std::uint8_t> v1;
    EXPECT_NE(buildV1(std::span(&later, 1), v1).message().find("not a number"), std::string::npos);
}

// A FLAC streamed out by another program does not say how long it is: it is read to its end. A
// header that declares more than the largest V ROM could hold is refused before anything is read.
TEST(SoundFile, DeclaredLengthIsNeverTrusted) {
    TempDir dir;
    ASSERT_TRUE(testing::writeStreamedFlac(dir / "streamed.flac"));
    ConvertedSound sound;
    ASSERT_TRUE(convertSoundFile(dir / "streamed.flac", "streamed.flac", sound));
    EXPECT_NEAR(double(sound.pcm.size()), 441 * 18500.0 / 44100, 1.0);

    ASSERT_TRUE(testing::writeStreamedFlac(dir / "claims.flac", std::uint64_t{1} << 30));
    EXPECT_EQ(convertSoundFile(dir / "claims.flac", "claims.flac", sound).message(),
              "claims.flac is too long: converted to 18500 Hz it would last 24347.9 s, and the "
              "largest V ROM (16 MB) holds 1813.8 s");

    // The limit is in samples: a second is too long at a rate that would give more.
    ASSERT_TRUE(testing::writeSoundFile(dir / "second.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                        8000, 1, 1.0));
    EXPECT_NE(convertSoundFile(dir / "second.flac", "second.flac", sound, {40e6, {}})
                  .message()
                  .find("second.flac is too long: converted to 40000000 Hz it would last 1.0 s"),
              std::string::npos);
}

TEST(SoundFile, ProgressIsToldAndCanCancel) {
    TempDir dir;
    ASSERT_TRUE(
        testing::writeSoundFile(dir / "long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2, 3.0));
    std::vector<double> told;
    ConvertedSound sound;
    ASSERT_TRUE(convertSoundFile(dir / "long.wav", "long.wav", sound,
                                 {kWavSampleRate, [&told](double done) {
                                      told.push_back(done);
                                      return true;
                                  }}));
    ASSERT_GT(told.size(), 2u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_DOUBLE_EQ(told.back(), 1.0);

    RomSample sample;
    sample.name = "untouched";
    EXPECT_EQ(
        readRomSample(dir / "long.wav", "long.wav", sample, [](double) { return false; }).message(),
        kCancelled);
    EXPECT_EQ(sample.name, "untouched");
}

}  // namespace
}  // namespace qvx
