#include "soundlib/z80/diagnostic_dump.hpp"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qvxsnd {

std::string formatDiagnosticDump(const Z80State& s) {
    std::string flags;
    const std::array<std::pair<std::uint8_t, char>, 6> letters{{{z80flag::S, 'S'},
                                                                {z80flag::C, 'C'},
                                                                {z80flag::Z, 'Z'},
                                                                {z80flag::PV, 'P'},
                                                                {z80flag::N, 'N'},
                                                                {z80flag::H, 'H'}}};
    for (const auto& [bit, letter] : letters) {
        if (s.f & bit) flags += letter;
    }

    struct Slot {
        const char* name;
        unsigned value;
    };
    const std::array<Slot, 19> slots{{{"A", s.a},
                                      {"I", s.i},
                                      {"B", s.b},
                                      {"C", s.c},
                                      {"D", s.d},
                                      {"E", s.e},
                                      {"H", s.h},
                                      {"L", s.l},
                                      {"IX", s.ix},
                                      {"IY", s.iy},
                                      {"R", s.r},
                                      {"SP", s.sp},
                                      {"A'", s.a2},
                                      {"B'", s.b2},
                                      {"C'", s.c2},
                                      {"D'", s.d2},
                                      {"E'", s.e2},
                                      {"H'", s.h2},
                                      {"L'", s.l2}}};

    // Every piece of the trace is a line of its own, separators included, so a line break
    // that ends a group of eight registers shows as an empty line.
    std::string text;
    char line[64];
    std::snprintf(line, sizeof line, "\nPC=%08x flags=%s\n", static_cast<unsigned>(s.pc),
                  flags.c_str());
    text += line;
    text += '\n';
    for (std::size_t n = 0; n < slots.size(); ++n) {
        const char sep = (n % 8 == 7 || n + 1 == slots.size()) ? '\n' : ' ';
        std::snprintf(line, sizeof line, "%s=%04x%c", slots[n].name, slots[n].value, sep);
        text += line;
        text += '\n';
    }
    return text;
}

std::optional<std::string> appendDiagnosticDump(const Z80State& state,
                                                const std::filesystem::path& path) {
    const std::string text = formatDiagnosticDump(state);
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "ab"));
    if (!file) {
        return "Cannot open \"" + path.string() + "\" for appending: " + std::strerror(errno);
    }
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
        return "Cannot write the register dump to \"" + path.string() + "\"";
    }
    return std::nullopt;
}

}  // namespace qvxsnd
