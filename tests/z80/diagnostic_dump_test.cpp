#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "soundlib/z80/diagnostic_dump.hpp"

namespace qvxsnd {
namespace {

Z80State sampleState() {
    Z80State s;
    s.pc = 0x01C3;
    s.f = z80flag::S | z80flag::Z | z80flag::H | z80flag::C | z80flag::X;
    s.a = 0x12;
    s.i = 0x01;
    s.b = 0x02;
    s.c = 0x03;
    s.d = 0x04;
    s.e = 0x05;
    s.h = 0x06;
    s.l = 0x07;
    s.ix = 0x1234;
    s.iy = 0xFEDC;
    s.r = 0x7F;
    s.sp = 0xFFFE;
    s.a2 = 0xA1;
    s.b2 = 0xB1;
    s.c2 = 0xC1;
    s.d2 = 0xD1;
    s.e2 = 0xE1;
    s.h2 = 0x81;
    s.l2 = 0x91;
    return s;
}

TEST(DiagnosticDump, TextLayout) {
    const std::string expected =
        "\nPC=000001c3 flags=SCZH\n\n"
        "A=0012 \nI=0001 \nB=0002 \nC=0003 \nD=0004 \nE=0005 \nH=0006 \nL=0007\n\n"
        "IX=1234 \nIY=fedc \nR=007f \nSP=fffe \nA'=00a1 \nB'=00b1 \nC'=00c1 \nD'=00d1\n\n"
        "E'=00e1 \nH'=0081 \nL'=0091\n\n";
    EXPECT_EQ(formatDiagnosticDump(sampleState()), expected);

    Z80State allFlags;
    allFlags.f = 0xFF;
    const std::string text = formatDiagnosticDump(allFlags);
    EXPECT_TRUE(text.starts_with("\nPC=00000000 flags=SCZPNH\n\nA=0000 \n")) << text;
}

TEST(DiagnosticDump, AppendsAndNeverTruncates) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qvx_dump_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "trace.log";
    { std::ofstream(path) << "earlier\n"; }
    EXPECT_FALSE(appendDiagnosticDump(sampleState(), path).has_value());
    EXPECT_FALSE(appendDiagnosticDump(sampleState(), path).has_value());
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    const std::string one = formatDiagnosticDump(sampleState());
    EXPECT_EQ(content.str(), "earlier\n" + one + one);
    EXPECT_FALSE(std::filesystem::exists(dir / "tmp.log"));
    std::filesystem::remove_all(dir);
}

TEST(DiagnosticDump, UnwritablePathGivesAMessageAndCreatesNothing) {
    const auto path = std::filesystem::temp_directory_path() / "qvx_no_such_dir_4711" / "x.log";
    const auto error = appendDiagnosticDump(Z80State{}, path);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("x.log"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

}  // namespace
}  // namespace qvxsnd
