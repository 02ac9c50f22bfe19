// Writes the small modules that the qvxtool import-mod tests run on into the folder given.
#include <cstdio>
#include <filesystem>

#include "tests/support/effects_module.hpp"
#include "tests/support/mod_builder.hpp"
#include "tests/support/temp_dir.hpp"

namespace {

using qvx::testing::ModBuilder;

bool write(const std::filesystem::path& path, const ModBuilder& mod) {
    return qvx::testing::writeBytes(path, mod.bytes());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_mod FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    // Two patterns played 0, 1, 0; one finetuned note that has no semitone.
    ModBuilder tune(2);
    tune.order({0, 1, 0}).sampleWords(0, 300).sampleWords(1, 1200);
    tune.note(0, 0, 0, 856, 1, 0xF, 6).note(0, 4, 1, 640, 2).note(0, 8, 2, 850, 1);
    tune.note(1, 0, 3, 428, 2, 0xC, 0x20).note(1, 63, 0, 0, 0, 0xD, 0);

    // Data for 70 patterns: the song gets the first 64.
    ModBuilder many(70);
    many.order({63, 0});

    const bool ok = write(folder / "tune.mod", tune) && write(folder / "many.mod", many) &&
                    write(folder / "m!k!.mod", ModBuilder().signature("M!K!")) &&
                    write(folder / "beyond.mod", ModBuilder(2).order({0, 2})) &&
                    write(folder / "effects.mod", qvx::testing::effectsModule());
    if (!ok) std::fprintf(stderr, "make_test_mod: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
