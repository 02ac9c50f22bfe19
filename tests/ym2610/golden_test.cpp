// A fixed register script rendered for two seconds must keep producing the same samples. When the
// hash changes on purpose, listen to the written WAV and update kGoldenHash.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "soundlib/ym2610/ym2610.hpp"

namespace qvxsnd {
namespace {

constexpr std::uint64_t kGoldenHash = 0x95A4457AEC68AAF4ULL;

struct Event {
    std::uint32_t frame;
    int bank;
    int address;
    int value;
};

// One instrument: the 25 voice registers of a channel.
struct Voice {
    std::uint8_t dtMul[4], tl[4], ksAr[4], amD1r[4], d2r[4], slRr[4];
    std::uint8_t fbAlg;
};

void addVoice(std::vector<Event>& s, std::uint32_t frame, int ch, const Voice& v) {
    const int bank = ch / 3;
    const int code = ch % 3;
    const std::uint8_t* blocks[6] = {v.dtMul, v.tl, v.ksAr, v.amD1r, v.d2r, v.slRr};
    for (int b = 0; b < 6; ++b) {
        for (int op = 0; op < 4; ++op) {
            s.push_back({frame, bank, 0x30 + b * 0x10 + op * 4 + code, blocks[b][op]});
        }
    }
    s.push_back({frame, bank, 0xB0 + code, v.fbAlg});
}

void addNote(std::vector<Event>& s, std::uint32_t frame, int ch, int block, int fnum) {
    const int bank = ch / 3;
    const int code = ch % 3;
    const int key = code | (bank ? 4 : 0);
    s.push_back({frame, 0, 0x28, key});
    s.push_back({frame, 0, 0x28, 0xF0 | key});
    s.push_back({frame, bank, 0xA4 + code, (block << 3) | (fnum >> 8)});
    s.push_back({frame, bank, 0xA0 + code, fnum & 0xFF});
}

std::vector<Event> script() {
    std::vector<Event> s;
    const Voice bass = {{0x71, 0x0D, 0x33, 0x01},
                        {0x23, 0x2D, 0x26, 0x00},
                        {0x5F, 0x99, 0x5F, 0x94},
                        {0x05, 0x05, 0x05, 0x07},
                        {0x02, 0x02, 0x02, 0x02},
                        {0x11, 0x11, 0x11, 0xA6},
                        (6 << 3) | 0};
    const Voice bell = {{0x02, 0x04, 0x72, 0x01},
                        {0x20, 0x18, 0x30, 0x00},
                        {0x1F, 0x1F, 0x1F, 0x1F},
                        {0x8A, 0x08, 0x0C, 0x88},
                        {0x04, 0x04, 0x04, 0x04},
                        {0x26, 0x26, 0x27, 0x27},
                        (3 << 3) | 4};
    const Voice organ = {{0x01, 0x02, 0x04, 0x08},
                         {0x20, 0x22, 0x24, 0x26},
                         {0x1F, 0x1F, 0x1F, 0x1F},
                         {0x00, 0x00, 0x00, 0x00},
                         {0x00, 0x00, 0x00, 0x00},
                         {0x0F, 0x0F, 0x0F, 0x0F},
                         (2 << 3) | 7};
    const Voice brass = {{0x31, 0x51, 0x34, 0x71},
                         {0x1E, 0x20, 0x22, 0x04},
                         {0x0E, 0x12, 0x14, 0x10},
                         {0x08, 0x0A, 0x0A, 0x8A},
                         {0x01, 0x01, 0x01, 0x01},
                         {0x35, 0x35, 0x35, 0x38},
                         (7 << 3) | 2};
    addVoice(s, 0, 1, bass);
    addVoice(s, 0, 2, bell);
    addVoice(s, 0, 4, organ);
    addVoice(s, 0, 5, brass);
    s.push_back({0, 1, 0xB5, 0x80});  // organ on the left
    s.push_back({0, 1, 0xB6, 0x40});  // brass on the right
    s.push_back({0, 0, 0x27, 0x3F});  // timers running as under the driver
    s.push_back({0, 1, 0x95, 0x0A});  // organ operator 3: alternating SSG envelope

    const int melody[8][2] = {{4, 1038}, {4, 1164}, {5, 654}, {4, 1164},
                              {4, 924},  {4, 824},  {4, 777}, {4, 873}};
    for (int i = 0; i < 8; ++i) {
        const auto at = static_cast<std::uint32_t>(i * 11025);
        addNote(s, at, 1, 2, melody[i][1]);
        addNote(s, at + 2756, 2, melody[i][0], melody[i][1]);
        addNote(s, at + 5512, 5, melody[i][0] - 1, melody[i][1]);
    }
    addNote(s, 0, 4, 3, 1038);
    s.push_back({22050, 0, 0x22, 0x0B});         // LFO on halfway: rate 3
    s.push_back({22050, 0, 0xB6, 0xC0 | 0x27});  // bell: AMS 2, PMS 7
    s.push_back({22050, 1, 0xB4, 0x80 | 0x35});  // organ: AMS 3, PMS 5
    s.push_back({44100, 0, 0x27, 0x7F});         // three-frequency mode for channel index 2
    s.push_back({44100, 0, 0xAD, (5 << 3) | 1});
    s.push_back({44100, 0, 0xA9, 0x20});
    s.push_back({66150, 0, 0x22, 0x00});
    s.push_back({66150, 0, 0x28, 0x04});  // organ off: release
    s.push_back({77175, 0, 0x28, 0x01});
    s.push_back({77175, 0, 0x28, 0x02});
    s.push_back({77175, 0, 0x28, 0x06});
    std::stable_sort(s.begin(), s.end(),
                     [](const Event& a, const Event& b) { return a.frame < b.frame; });
    return s;
}

std::uint64_t fnv1a(const std::vector<std::int16_t>& samples) {
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (std::int16_t v : samples) {
        const auto u = static_cast<std::uint16_t>(v);
        for (std::uint8_t byte :
             {static_cast<std::uint8_t>(u & 0xFF), static_cast<std::uint8_t>(u >> 8)}) {
            h ^= byte;
            h *= 0x100000001B3ULL;
        }
    }
    return h;
}

void writeWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples) {
    std::ofstream f(path, std::ios::binary);
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](std::uint16_t v) {
        f.put(static_cast<char>(v & 0xFF));
        f.put(static_cast<char>(v >> 8));
    };
    const auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
    f.write("RIFF", 4);
    put32(36 + bytes);
    f.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(44100);
    put32(44100 * 4);
    put16(4);
    put16(16);
    f.write("data", 4);
    put32(bytes);
    for (std::int16_t v : samples)
        put16(static_cast<std::uint16_t>(v));
}

TEST(Ym2610Golden, ScriptRendersToTheCheckedInHash) {
    YM2610 chip;
    constexpr std::size_t kFrames = 88200;
    std::vector<std::int16_t> out(kFrames * 2);
    std::size_t done = 0;
    for (const Event& e : script()) {
        if (e.frame > done) {
            chip.render(out.data() + done * 2, e.frame - done);
            done = e.frame;
        }
        chip.writeRegister(e.bank, static_cast<std::uint8_t>(e.address),
                           static_cast<std::uint8_t>(e.value));
    }
    chip.render(out.data() + done * 2, kFrames - done);

    const std::uint64_t hash = fnv1a(out);
    if (hash != kGoldenHash) {
        const auto path = std::filesystem::current_path() / "ym2610_golden.wav";
        writeWav(path, out);
        char text[32];
        std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(hash));
        ADD_FAILURE() << "hash " << text << " differs from the checked-in one; listen to "
                      << path.string();
    }
}

}  // namespace
}  // namespace qvxsnd
