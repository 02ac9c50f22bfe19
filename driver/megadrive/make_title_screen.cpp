// Turns the Mega Drive test ROM's title screen from its text source into 68000 assembler data:
// the tiles (60, padded), the 16 colours and the 32 x 28 names of plane A. Run at build time:
//   make_title_screen title_screen.txt title_screen.s
// The source's format is described at its head. Every mistake in it stops the build with the
// line it is on.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kMaxTiles = 60;  // the template's room: 960 words
constexpr int kColumns = 32;
constexpr int kRows = 28;
constexpr int kSpriteWords = 4;  // the first sprite entry overlays the first names

using Tile = std::array<std::uint8_t, 64>;  // palette index per pixel, row by row
using Glyph = std::array<std::string, 8>;

struct Failure {
    int line;
    std::string message;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Picture {
    std::array<std::uint16_t, 16> colours{};
    std::array<int, 16> gradient{};  // the colour of each pixel row of big text
    std::map<char, Glyph> glyphs;
    std::vector<Tile> tiles{Tile{}};  // tile 0 stays blank: planes and the sprite show it
    std::vector<std::uint16_t> names;
};

// The pixel of glyph row `text` at x: '.' is transparent, '#' the text's colour, a hex digit
// that colour.
int pixel(const std::string& text, int x, int colour) {
    const char c = text[static_cast<std::size_t>(x)];
    return c == '.' ? 0 : c == '#' ? colour : hexDigit(c);
}

std::uint16_t tileFor(Picture& picture, const Tile& tile, int line) {
    for (std::size_t i = 0; i < picture.tiles.size(); ++i)
        if (picture.tiles[i] == tile) return static_cast<std::uint16_t>(i);
    if (picture.tiles.size() == kMaxTiles)
        throw Failure{line, "more than " + std::to_string(kMaxTiles) + " different tiles"};
    picture.tiles.push_back(tile);
    return static_cast<std::uint16_t>(picture.tiles.size() - 1);
}

// A screen line: its style, then the 32 characters between bars. The style is a hex digit (the
// text in that colour), or ^ / _ for the top and bottom halves of text twice as tall, coloured
// by the gradient.
void addScreenLine(Picture& picture, const std::string& text, int line) {
    const std::size_t open = text.find('|');
    const std::size_t close = text.rfind('|');
    if (open != 1 || close != open + kColumns + 1 || close + 1 != text.size())
        throw Failure{line, "a screen line is a style, then 32 characters between two bars"};
    const char style = text[0];
    const int colour = hexDigit(style);
    if (colour < 0 && style != '^' && style != '_')
        throw Failure{line, std::string("unknown style '") + style + "'"};
    for (int column = 0; column < kColumns; ++column) {
        const char c = text[open + 1 + static_cast<std::size_t>(column)];
        if (c == ' ') {
            picture.names.push_back(0);
            continue;
        }
        const auto glyph = picture.glyphs.find(c);
        if (glyph == picture.glyphs.end())
            throw Failure{line, std::string("no glyph for '") + c + "'"};
        Tile tile{};
        for (int y = 0; y < 8; ++y) {
            const int half = style == '_' ? 4 : 0;
            const std::string& row = colour >= 0 ? glyph->second[y] : glyph->second[half + y / 2];
            const int rowColour = colour >= 0 ? colour : picture.gradient[half * 2 + y];
            for (int x = 0; x < 8; ++x)
                tile[static_cast<std::size_t>(y * 8 + x)] =
                    static_cast<std::uint8_t>(pixel(row, x, rowColour));
        }
        picture.names.push_back(tileFor(picture, tile, line));
    }
}

Picture read(std::istream& in) {
    Picture picture;
    std::string section;
    std::string text;
    int line = 0;
    char glyphName = 0;
    int glyphRow = 8;
    while (std::getline(in, text)) {
        ++line;
        if (glyphRow < 8) {
            if (text.size() != 8 || text.find_first_not_of(".#0123456789ABCDEF") != text.npos)
                throw Failure{line, "a glyph row is 8 of . # 0-9 A-F"};
            picture.glyphs[glyphName][static_cast<std::size_t>(glyphRow++)] = text;
            continue;
        }
        if (text.empty() || text[0] == ';') continue;
        if (text.front() == '[' && text.back() == ']') {
            section = text.substr(1, text.size() - 2);
            continue;
        }
        std::istringstream fields(text);
        if (section == "palette") {
            std::string digit, rgb;
            fields >> digit >> rgb;
            const int index = digit.size() == 1 ? hexDigit(digit[0]) : -1;
            if (index < 0 || rgb.size() != 6 ||
                rgb.find_first_not_of("0123456789ABCDEF") != rgb.npos)
                throw Failure{line, "a colour is an index 0-F and RRGGBB"};
            const unsigned long value = std::stoul(rgb, nullptr, 16);
            // The console keeps three bits of each: 0000 BBB0 GGG0 RRR0.
            const auto red = (value >> 21) & 7, green = (value >> 13) & 7, blue = (value >> 5) & 7;
            picture.colours[static_cast<std::size_t>(index)] =
                static_cast<std::uint16_t>(blue << 9 | green << 5 | red << 1);
        } else if (section == "gradient") {
            if (text.size() != 16 || text.find_first_not_of("0123456789ABCDEF") != text.npos)
                throw Failure{line, "the gradient is 16 hex digits, one per pixel row"};
            for (std::size_t i = 0; i < 16; ++i)
                picture.gradient[i] = hexDigit(text[i]);
        } else if (section == "glyphs") {
            if (text.size() != 7 || text.rfind("glyph ", 0) != 0)
                throw Failure{line, "a glyph starts with \"glyph X\""};
            glyphName = text[6];
            glyphRow = 0;
        } else if (section == "screen") {
            if (static_cast<int>(picture.names.size()) == kColumns * kRows)
                throw Failure{line, "the screen has 28 lines"};
            addScreenLine(picture, text, line);
        } else {
            throw Failure{line, "outside [palette], [gradient], [glyphs] and [screen]"};
        }
    }
    if (glyphRow < 8) throw Failure{line, "the last glyph is cut short"};
    if (static_cast<int>(picture.names.size()) != kColumns * kRows)
        throw Failure{line, "the screen has 28 lines"};
    for (int i = 0; i < kSpriteWords; ++i)
        if (picture.names[static_cast<std::size_t>(i)] != 0)
            throw Failure{1,
                          "the first four cells of the screen must stay blank: the sprite "
                          "table shares them"};
    return picture;
}

void writeWords(std::ostream& out, const char* label, const std::vector<std::uint16_t>& words) {
    out << label << ":\n";
    for (std::size_t i = 0; i < words.size(); ++i) {
        char word[8];
        std::snprintf(word, sizeof word, "0x%04X", words[i]);
        out << (i % 8 == 0 ? "        .word   " : ", ") << word << (i % 8 == 7 ? "\n" : "");
    }
    if (words.size() % 8 != 0) out << '\n';
}

void write(const Picture& picture, std::ostream& out) {
    std::vector<std::uint16_t> tiles;
    for (int t = 0; t < kMaxTiles; ++t) {
        const Tile blank{};
        const Tile& tile = t < static_cast<int>(picture.tiles.size())
                               ? picture.tiles[static_cast<std::size_t>(t)]
                               : blank;
        // Four bits a pixel, the left one in the high nibble: four pixels to a word.
        for (std::size_t p = 0; p < tile.size(); p += 4)
            tiles.push_back(static_cast<std::uint16_t>(tile[p] << 12 | tile[p + 1] << 8 |
                                                       tile[p + 2] << 4 | tile[p + 3]));
    }
    out << "| Generated from title_screen.txt by make_title_screen. Do not edit.\n"
        << "| " << picture.tiles.size() << " of " << kMaxTiles << " tiles used.\n";
    writeWords(out, "title_tiles", tiles);
    writeWords(out, "title_palette", {picture.colours.begin(), picture.colours.end()});
    writeWords(out, "title_names", picture.names);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_title_screen SOURCE.txt OUTPUT.s\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    try {
        const Picture picture = read(in);
        const std::string temporary = std::string(argv[2]) + ".tmp";
        {
            std::ofstream out(temporary);
            write(picture, out);
            if (!out) {
                std::cerr << temporary << ": cannot be written\n";
                return 1;
            }
        }
        if (std::rename(temporary.c_str(), argv[2]) != 0) {
            std::cerr << argv[2] << ": cannot be written\n";
            return 1;
        }
    } catch (const Failure& failure) {
        std::cerr << argv[1] << ":" << failure.line << ": " << failure.message << '\n';
        return 1;
    }
    return 0;
}
