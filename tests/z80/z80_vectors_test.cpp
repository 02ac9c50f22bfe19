// Conformance against the per-instruction vectors recorded from real Z80 behaviour: every
// register (WZ, Q and the interrupt state included), memory, T-states and port traffic.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tests/z80/test_machine.hpp"

namespace qvxsnd {
namespace {

using namespace testing;

using nlohmann::json;

std::filesystem::path vectorFile() {
    if (const char* env = std::getenv("QVX_Z80_VECTORS"); env != nullptr && *env != '\0') {
        return env;
    }
    const char* src = std::getenv("QVX_SOURCE_DIR");
    const std::filesystem::path root = (src != nullptr && *src != '\0') ? src : ".";
    return root / ".." / "shared" / "z80-vectors" / "z80-vectors.jsonl.gz";
}

void loadState(TestCpu& t, const json& j) {
    Z80State& s = t.s();
    s.a = j["a"];
    s.f = j["f"];
    s.b = j["b"];
    s.c = j["c"];
    s.d = j["d"];
    s.e = j["e"];
    s.h = j["h"];
    s.l = j["l"];
    s.i = j["i"];
    s.r = j["r"];
    s.pc = j["pc"];
    s.sp = j["sp"];
    s.ix = j["ix"];
    s.iy = j["iy"];
    s.wz = j["wz"];
    const int af = j["af_"], bc = j["bc_"], de = j["de_"], hl = j["hl_"];
    s.a2 = static_cast<std::uint8_t>(af >> 8);
    s.f2 = static_cast<std::uint8_t>(af);
    s.b2 = static_cast<std::uint8_t>(bc >> 8);
    s.c2 = static_cast<std::uint8_t>(bc);
    s.d2 = static_cast<std::uint8_t>(de >> 8);
    s.e2 = static_cast<std::uint8_t>(de);
    s.h2 = static_cast<std::uint8_t>(hl >> 8);
    s.l2 = static_cast<std::uint8_t>(hl);
    s.iff1 = j["iff1"].get<int>() != 0;
    s.iff2 = j["iff2"].get<int>() != 0;
    s.im = j["im"];
    s.afterEi = j["ei"].get<int>() != 0;
    s.afterLdAir = j["p"].get<int>() != 0;
    s.q = j["q"];
    s.halted = false;
    s.afterPrefix = false;
    for (const auto& cell : j["ram"])
        t.mem(cell[0].get<std::uint16_t>()) = cell[1];
}

// The first field that differs from the expected final state, or "" when all match.
std::string compare(TestCpu& t, const json& test) {
    const json& j = test["final"];
    const Z80State& s = t.s();
    std::ostringstream out;
    auto check = [&](const char* name, int got, int want) {
        if (got != want && out.tellp() == 0) {
            out << name << ": got " << got << " want " << want;
        }
    };
    check("a", s.a, j["a"]);
    check("f", s.f, j["f"]);
    check("b", s.b, j["b"]);
    check("c", s.c, j["c"]);
    check("d", s.d, j["d"]);
    check("e", s.e, j["e"]);
    check("h", s.h, j["h"]);
    check("l", s.l, j["l"]);
    check("i", s.i, j["i"]);
    check("r", s.r, j["r"]);
    check("pc", s.pc, j["pc"]);
    check("sp", s.sp, j["sp"]);
    check("ix", s.ix, j["ix"]);
    check("iy", s.iy, j["iy"]);
    check("wz", s.wz, j["wz"]);
    check("af_", s.a2 << 8 | s.f2, j["af_"]);
    check("bc_", s.b2 << 8 | s.c2, j["bc_"]);
    check("de_", s.d2 << 8 | s.e2, j["de_"]);
    check("hl_", s.h2 << 8 | s.l2, j["hl_"]);
    check("iff1", s.iff1, j["iff1"]);
    check("iff2", s.iff2, j["iff2"]);
    check("im", s.im, j["im"]);
    check("ei", s.afterEi, j["ei"]);
    check("p", s.afterLdAir, j["p"]);
    check("q", s.q, j["q"]);
    if (out.tellp() != 0) return out.str();

    for (const auto& cell : j["ram"]) {
        const int addr = cell[0];
        const int want = cell[1];
        if (t.mem(static_cast<std::uint16_t>(addr)) != want) {
            out << "ram[" << addr << "]: got " << int{t.mem(static_cast<std::uint16_t>(addr))}
                << " want " << want;
            return out.str();
        }
    }
    for (std::uint16_t addr : t.machine.writtenAddresses) {
        const bool listed = std::any_of(j["ram"].begin(), j["ram"].end(),
                                        [&](const json& cell) { return cell[0] == addr; });
        if (!listed) {
            out << "unexpected write to " << addr;
            return out.str();
        }
    }

    const json expectedPorts = test.contains("ports") ? test["ports"] : json::array();
    if (expectedPorts.size() != t.machine.ports.size()) {
        out << "port accesses: got " << t.machine.ports.size() << " want " << expectedPorts.size();
        return out.str();
    }
    for (std::size_t n = 0; n < expectedPorts.size(); ++n) {
        const PortAccess& got = t.machine.ports[n];
        const json& want = expectedPorts[n];
        const bool wantWrite = want[2] == "w";
        if (got.port != want[0] || got.value != want[1] || got.isWrite != wantWrite) {
            out << "port access " << n << ": got " << got.port << "," << int{got.value} << ","
                << (got.isWrite ? "w" : "r") << " want " << want.dump();
            return out.str();
        }
    }
    return "";
}

struct GzCloser {
    void operator()(gzFile f) const { gzclose(f); }
};

TEST(Z80Conformance, AllVectorsMatchRealHardware) {
    const std::filesystem::path path = vectorFile();
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "Z80 test vectors not found at " << path
                     << " (set QVX_Z80_VECTORS to the .jsonl.gz file to run this test)";
    }
    std::unique_ptr<std::remove_pointer_t<gzFile>, GzCloser> file(gzopen(path.c_str(), "rb"));
    ASSERT_TRUE(file) << "cannot open " << path;

    struct Group {
        int failures = 0;
        std::string first;
    };
    std::map<std::string, Group> failures;
    int total = 0;
    int failed = 0;
    auto machine = std::make_unique<TestCpu>();
    std::string line;
    std::vector<char> buf(1 << 16);
    while (true) {
        line.clear();
        bool gotAny = false;
        while (gzgets(file.get(), buf.data(), static_cast<int>(buf.size())) != nullptr) {
            gotAny = true;
            line += buf.data();
            if (!line.empty() && line.back() == '\n') break;
        }
        if (!gotAny) break;
        if (line.find_first_not_of(" \r\n") == std::string::npos) continue;
        const json test = json::parse(line);
        TestCpu& t = *machine;
        loadState(t, test["initial"]);
        t.machine.writtenAddresses.clear();
        t.machine.ports.clear();
        t.machine.inputs.clear();
        if (test.contains("ports")) {
            for (const auto& p : test["ports"]) {
                if (p[2] == "r") t.machine.inputs.push_back(p[1].get<int>());
            }
        }
        const int tstates = t.cpu.step();
        std::string diff = compare(t, test);
        if (diff.empty() && tstates != test["tstates"].get<int>()) {
            diff = "tstates: got " + std::to_string(tstates) + " want " + test["tstates"].dump();
        }
        ++total;
        if (!diff.empty()) {
            ++failed;
            const std::string name = test["name"];
            Group& g = failures[name.substr(0, name.rfind(' '))];
            if (g.failures++ == 0) g.first = name + ": " + diff;
        }
        // Clear what this vector touched so the next one starts from zeroed memory.
        for (const auto& cell : test["initial"]["ram"])
            t.mem(cell[0].get<std::uint16_t>()) = 0;
        for (std::uint16_t addr : t.machine.writtenAddresses)
            t.mem(addr) = 0;
    }

    std::ostringstream report;
    int shown = 0;
    for (const auto& [opcode, g] : failures) {
        if (shown++ == 60) {
            report << "  ... and " << failures.size() - 60 << " more opcodes\n";
            break;
        }
        report << "  " << opcode << ": " << g.failures << " failed, first " << g.first << "\n";
    }
    EXPECT_EQ(failed, 0) << failed << " of " << total << " vectors failed in " << failures.size()
                         << " opcodes:\n"
                         << report.str();
    EXPECT_EQ(total, 80200) << "the vector file holds an unexpected number of tests";
}

}  // namespace
}  // namespace qvxsnd
