#include <gtest/gtest.h>

#include <algorithm>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/rom_sample.hpp"
#include "rombuild/wav_reader.hpp"
#include "tests/support/sound_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

namespace qvx {
namespace {

using testing::Bytes;
using testing::chunk;
using testing::fmtBody;
using testing::monoWav;
using testing::riff;
using testing::TempDir;
using testing::WavFormat;

const std::vector<std::int16_t> kFour = {100, -200, 3000, -32768};

Bytes head(const Bytes& bytes, std::size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

// Accepts `bytes` as a file named clip.wav; the message when refused.
struct Accepted {
    Result result;
    RomSample sample;
};
Accepted accept(const TempDir& dir, const Bytes& bytes) {
    testing::writeBytes(dir / "clip.wav", bytes);
    RomSample sample;
    sample.name = "untouched";
    Result result = readRomSample(dir / "clip.wav", "clip.wav", sample);
    return {std::move(result), std::move(sample)};
}

Bytes encodeFile(const RomSample& sample) {
    Bytes out;
    const Result r = encodeRomSample(sample, [&out](std::span<const std::uint8_t> b) {
        out.insert(out.end(), b.begin(), b.end());
    });
    EXPECT_TRUE(r) << r.message();
    return out;
}

TEST(WavReader, CanonicalFileAndItsEncodedSize) {
    TempDir dir;
    const Accepted four = accept(dir, monoWav(kFour));
    ASSERT_TRUE(four.result) << four.result.message();
    EXPECT_EQ(four.sample.name, "clip.wav");
    EXPECT_EQ(four.sample.path, dir / "clip.wav");
    EXPECT_EQ(four.sample.fileLength, 44u + 8);
    EXPECT_EQ(four.sample.encodedSize(), 2u);
    const Bytes fourBytes = encodeFile(four.sample);
    EXPECT_EQ(fourBytes.size(), 2u);

    // Three samples: the third has no partner and is dropped.
    const std::vector<std::int16_t> three(kFour.begin(), kFour.begin() + 3);
    const Accepted odd = accept(dir, monoWav(three));
    ASSERT_TRUE(odd.result);
    EXPECT_EQ(odd.sample.encodedSize(), 1u);
    const Bytes encoded = encodeFile(odd.sample);
    ASSERT_EQ(encoded.size(), 1u);
    EXPECT_EQ(encoded[0], fourBytes[0]);

    const Accepted empty = accept(dir, monoWav({}));
    ASSERT_TRUE(empty.result);
    EXPECT_EQ(empty.sample.encodedSize(), 0u);
    EXPECT_TRUE(encodeFile(empty.sample).empty());
}

// Files with other chunks encode exactly the sound of the plain file: none of their header bytes.
TEST(WavReader, OtherChunksAreSkipped) {
    TempDir dir;
    const Accepted plain = accept(dir, monoWav(kFour));
    ASSERT_TRUE(plain.result);
    const Bytes expected = encodeFile(plain.sample);

    const Bytes list =
        chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'h', 'i', 0});
    const Bytes odd = chunk("junk", Bytes{1, 2, 3});  // odd size: one pad byte follows
    const Bytes fact = chunk("fact", Bytes{4, 0, 0, 0});
    const Bytes fmt = chunk("fmt ", fmtBody({}));
    const Bytes data = chunk("data", testing::pcm(kFour));
    const std::vector<Bytes> files = {
        riff({list, fmt, fact, data}),
        riff({fmt, odd, data, list}),
        riff({data, odd, fmt}),  // data before fmt
        riff({chunk("fmt ", testing::extensibleFmtBody(1)), fact, data}),
        riff({chunk("fmt ",
                    [] {  // a plain fmt chunk with an (empty) extension size field
                        Bytes b = fmtBody({});
                        b.push_back(0);
                        b.push_back(0);
                        return b;
                    }()),
              data}),
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Accepted a = accept(dir, files[i]);
        ASSERT_TRUE(a.result) << "file " << i << ": " << a.result.message();
        EXPECT_EQ(a.sample.encodedSize(), 2u) << "file " << i;
        EXPECT_EQ(encodeFile(a.sample), expected) << "file " << i;
    }

    // A data chunk that claims more than the file holds is cut to what is there.
    Bytes truncated = monoWav(kFour);
    truncated[40] = 0xFF;
    truncated[41] = 0xFF;
    const Accepted cut = accept(dir, truncated);
    ASSERT_TRUE(cut.result);
    EXPECT_EQ(cut.sample.dataBytes, 8u);
    EXPECT_EQ(encodeFile(cut.sample), expected);
}

// The formats the encoder does not read as they are; such files go through the converter.
TEST(WavReader, WrongFormatsAreToldApart) {
    struct Case {
        Bytes file;
        WavVerdict verdict;
    };
    const auto fmtOnly = [](const Bytes& fmt) {
        return riff({chunk("fmt ", fmt), chunk("data", testing::pcm(kFour))});
    };
    const std::vector<Case> cases = {
        {monoWav(kFour, {1, 2, 18500, 4, 16}), WavVerdict::kNotMono},
        {monoWav(kFour, {1, 1, 18500, 1, 8}), WavVerdict::kNot16Bit},
        {monoWav(kFour, {1, 1, 44100, 2, 16}), WavVerdict::kNot18500Hz},
        // Fields that agree only in their low bytes.
        {monoWav(kFour, {1, 257, 18500, 2, 16}), WavVerdict::kNotMono},
        {monoWav(kFour, {1, 1, 18500 + 65536, 2, 16}), WavVerdict::kNot18500Hz},
        {monoWav(kFour, {1, 1, 18500, 258, 16}), WavVerdict::kNot16Bit},
        {monoWav(kFour, {1, 1, 18500, 2, 272}), WavVerdict::kNot16Bit},
        // Sixteen bits, but not integer PCM.
        {monoWav(kFour, {3, 1, 18500, 2, 16}), WavVerdict::kNot16Bit},
        {monoWav(kFour, {2, 1, 18500, 2, 16}), WavVerdict::kNot16Bit},
        {fmtOnly(testing::extensibleFmtBody(3)), WavVerdict::kNot16Bit},
        {fmtOnly(testing::extensibleFmtBody(1, 12)), WavVerdict::kNot16Bit},
        {fmtOnly(head(testing::extensibleFmtBody(1), 30)), WavVerdict::kNot16Bit},
        // A file wrong in several ways is told by the first: the channels, then the rate, then
        // the sample size.
        {monoWav(kFour, {1, 2, 44100, 2, 8}), WavVerdict::kNotMono},
        {monoWav(kFour, {1, 1, 44100, 1, 8}), WavVerdict::kNot18500Hz},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(parseWav(cases[i].file).verdict, cases[i].verdict) << "case " << i;
}

// What is no sound file at all is refused with libsndfile's word for it after the name.
TEST(WavReader, WhatIsNoSoundFileIsRefused) {
    TempDir dir;
    const Bytes good = monoWav(kFour);
    Bytes rifx = good;
    rifx[3] = 'X';
    Bytes avi = good;
    avi[8] = 'A';
    const std::vector<Bytes> files = {
        {},
        head(good, 11),
        rifx,
        avi,
        riff({chunk("data", testing::pcm(kFour))}),                       // no fmt
        riff({chunk("fmt ", fmtBody({}))}),                               // no data
        riff({chunk("fmt ", head(fmtBody({}), 14)), chunk("data", {})}),  // short fmt
        head(good, 30),  // cut inside the fmt chunk
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Accepted a = accept(dir, files[i]);
        ASSERT_FALSE(a.result) << "file " << i;
        EXPECT_TRUE(a.result.message().starts_with("clip.wav: ")) << a.result.message();
        EXPECT_EQ(a.sample.name, "untouched");
    }
    RomSample sample;
    EXPECT_EQ(readRomSample(dir / "absent.wav", "absent.wav", sample).message(),
              "Failed to Open absent.wav");
    EXPECT_EQ(readRomSample(dir.path(), "folder.wav", sample).message(),
              "Failed to Open folder.wav");
}

// The encoder reads 1024 bytes at a time; the blocks join seamlessly.
// A full-scale square wave overshoots when resampled: the sound is taken down as a whole until
// its peak fits, never clipped, and the report says by how much.
TEST(WavReader, AConversionThatWouldClipIsTakenDown) {
    TempDir dir;
    ASSERT_TRUE(testing::writeSoundFile(dir / "loud.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100,
                                        2, 0.2, 1000, 1.0, true));
    ConvertedSound sound;
    ASSERT_TRUE(convertSoundFile(dir / "loud.flac", "loud.flac", sound));
    const auto [low, high] = std::minmax_element(sound.pcm.begin(), sound.pcm.end());
    EXPECT_GE(std::max(-int(*low), int(*high)), 32700);
    EXPECT_LT(sound.gainDb, -0.3);
    RomSample sample;
    ASSERT_TRUE(readRomSample(dir / "loud.flac", "loud.flac", sample));
    EXPECT_NE(conversionReport(sample).find(", taken down "), std::string::npos)
        << conversionReport(sample);
}

TEST(WavReader, StreamedEncodingMatchesEncodingAtOnce) {
    TempDir dir;
    const std::vector<std::int16_t> sound = testing::sine(2601, 700, 0.8);  // 5 blocks and 82 bytes
    const Accepted a = accept(dir, riff({chunk("LIST", Bytes(5, 'x')), chunk("fmt ", fmtBody({})),
                                         chunk("data", testing::pcm(sound))}));
    ASSERT_TRUE(a.result);
    const Bytes pcm = testing::pcm(sound);
    Bytes expected(pcm.size() / 4);
    adpcma::Encoder().encodePcm(pcm, expected);
    EXPECT_EQ(encodeFile(a.sample), expected);
}

TEST(WavReader, FileChangedAfterItWasAccepted) {
    TempDir dir;
    const Accepted a = accept(dir, monoWav(kFour));
    ASSERT_TRUE(a.result);
    EXPECT_TRUE(checkRomSample(a.sample));

    // Same amount of sound, other values: still the sample the build counted on.
    testing::writeBytes(dir / "clip.wav", monoWav(std::vector<std::int16_t>{1, 2, 3, 4}));
    EXPECT_TRUE(checkRomSample(a.sample));

    const std::string changed = "The sample clip.wav has changed since it was added; add it again";
    testing::writeBytes(dir / "clip.wav", monoWav(std::vector<std::int16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(checkRomSample(a.sample).message(), changed);
    Bytes sink;
    EXPECT_EQ(
        encodeRomSample(a.sample, [&sink](auto b) { sink.insert(sink.end(), b.begin(), b.end()); })
            .message(),
        changed);
    EXPECT_TRUE(sink.empty());

    testing::writeBytes(dir / "clip.wav", monoWav(kFour, {1, 2, 18500, 4, 16}));
    EXPECT_EQ(checkRomSample(a.sample).message(), changed);

    std::filesystem::remove(dir / "clip.wav");
    EXPECT_EQ(checkRomSample(a.sample).message(), "Failed to Open clip.wav");
}

}  // namespace
}  // namespace qvx
