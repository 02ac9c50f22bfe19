// The instrument editor's rules below the GUI: the 38 fields and their bytes, the store question,
// the test keyboard and the voice in FM channel 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song/instrument_editing.hpp"
#include "song/instrument_file.hpp"
#include "tests/support/recording_preview.hpp"
#include "tests/support/temp_dir.hpp"

namespace qvx {
namespace {

using testing::RecordingPreview;

struct Editor {
    Editor()
        : editing(ws, [this](std::string_view q) {
              questions.emplace_back(q);
              return answer;
          }) {
        ws.setPreviewTarget(&preview);
    }
    Workspace ws;
    RecordingPreview preview;
    std::vector<std::string> questions;
    bool answer = true;
    InstrumentEditing editing;
};

TEST(VoiceFields, FieldsStoreTheirBitsAndShowWholeBytes) {
    VoiceFields f;
    f.slot[0].detune = 9;  // three bits: stores 1
    f.slot[0].multiple = 3;
    f.slot[1].totalLevel = 200;
    f.slot[2].keyScale = 3;
    f.slot[2].attack = 40;
    f.slot[3].susLevel = 15;
    f.slot[3].release = 17;
    f.feedback = 5;
    f.connection = 7;
    const VoiceBytes v = f.encode();
    EXPECT_EQ(v[0], 0x13);
    EXPECT_EQ(v[5], 200 & 127);
    EXPECT_EQ(v[10], 0xC0 | (40 & 31));
    EXPECT_EQ(v[23], 0xF1);
    EXPECT_EQ(v[24], 0x2F);
    EXPECT_EQ(VoiceFields::decode(v).slot[0].detune, 1);

    // Whole-byte fields show bits the editor does not model; the split ones drop them.
    VoiceBytes y12{};
    y12[12] = 0x9F;  // AM on, decay 31
    y12[4] = 0xFF;   // total level with bit 7
    y12[0] = 0xF5;   // detune with bit 7
    y12[24] = 0xFF;
    const VoiceFields shown = VoiceFields::decode(y12);
    EXPECT_EQ(shown.slot[0].decay, 0x9F);
    EXPECT_EQ(shown.slot[0].totalLevel, 0xFF);
    EXPECT_EQ(shown.slot[0].detune, 15);
    EXPECT_EQ(shown.feedback, 31);
    // ... and nothing differs until a field changes, so Yes can never strip them unasked.
    EXPECT_FALSE(fieldsDiffer(shown, y12));
    VoiceFields edited = shown;
    edited.slot[2].attack = 1;
    EXPECT_TRUE(fieldsDiffer(edited, y12));
}

TEST(VoiceFields, TestKeyboardKeysAndOctaves) {
    struct Case {
        int x, y;
        std::optional<int> note;
    };
    const Case cases[] = {
        {0, 0, 0},
        {4, 0, 0},
        {5, 0, 1},
        {10, 23, 1},
        {10, 24, 2},
        {11, 0, 2},
        {12, 5, 2},
        {13, 5, 3},
        {19, 5, 3},
        {20, 5, 4},
        {23, 40, 4},
        {24, 30, 5},
        {28, 0, 5},
        {29, 0, 6},
        {34, 0, 6},
        {35, 0, 7},
        {37, 0, 8},
        {42, 0, 8},
        {43, 0, 9},
        {45, 0, 10},
        {50, 0, 10},
        {51, 0, 11},
        {56, 40, 11},
        {2, 30, 0},
        {7, 10, 1},
        {57, 0, std::nullopt},
        {0, 41, std::nullopt},
        {-1, 5, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(test_keyboard::noteAt(c.x, c.y), c.note) << c.x << "," << c.y;
    EXPECT_EQ(test_keyboard::octaveFor(0, 4), 3) << "the library's C is the one above";
    EXPECT_EQ(test_keyboard::octaveFor(1, 4), 4);
    EXPECT_EQ(test_keyboard::octaveFor(0, 0), 0);
    EXPECT_EQ(test_keyboard::octaveFor(11, 9), 1) << "low three bits";
    EXPECT_EQ(test_keyboard::octaveFor(0, 9), 0);
}

TEST(InstrumentEditing, TheStoreQuestionComesOnlyForUnstoredEdits) {
    Editor e;
    e.ws.song().instruments[3].registers.fill(0x11);
    e.editing.choose(2);  // instrument 3
    EXPECT_TRUE(e.questions.empty());
    VoiceFields f = e.editing.fields();
    f.slot[0].attack = 7;
    e.editing.setFields(f);
    e.editing.choose(2);  // the same entry reloads without asking
    EXPECT_TRUE(e.questions.empty());
    EXPECT_EQ(e.editing.fields().slot[0].attack, 0x11 & 31);

    e.editing.setFields(f);
    e.answer = false;
    e.editing.choose(4);
    EXPECT_EQ(e.questions, std::vector<std::string>{"Store changes to Instrument 3 first?"});
    EXPECT_EQ(e.ws.song().instruments[3].registers[8], 0x11) << "No discards the edit";
    EXPECT_FALSE(e.ws.modified());

    e.editing.choose(2);
    e.editing.setFields(f);
    e.answer = true;
    e.editing.choose(0);
    EXPECT_EQ(e.ws.song().instruments[3].registers[8], (0x11 & 0xC0) | 7) << "Yes stores";
    EXPECT_TRUE(e.ws.modified());

    // The main window showing another voice asks about the instrument the edits belong to, even
    // after the list went back to its first entry.
    e.questions.clear();
    e.editing.choose(5);
    f = e.editing.fields();
    f.feedback = 3;
    e.editing.setFields(f);
    e.editing.shownOrHidden();
    e.ws.song().instruments[2].registers.fill(0x22);
    e.editing.select(1);
    EXPECT_EQ(e.questions, std::vector<std::string>{"Store changes to Instrument 6 first?"});
    EXPECT_EQ(e.editing.currentInstrument(), 2);

    // Clear and Close Window.
    e.questions.clear();
    e.editing.clear();
    e.answer = false;
    e.editing.closing();
    EXPECT_EQ(e.questions, std::vector<std::string>{"Store changes to Instrument 2 first?"});
    e.editing.select(1);  // "No" dropped the edit: showing again does not ask twice
    EXPECT_EQ(e.questions.size(), 1u);
    EXPECT_EQ(e.editing.fields().slot[0].attack, 0x22 & 31);
}

TEST(InstrumentEditing, RenameLoadAndSave) {
    testing::TempDir dir;
    Editor e;
    e.editing.choose(6);
    e.editing.rename("Brass/Lead");
    EXPECT_EQ(e.ws.song().instruments[7].name, "07 Brass/Lead");
    e.editing.rename("");
    EXPECT_EQ(e.ws.song().instruments[7].name, "07 Brass/Lead") << "empty keeps the name";
    EXPECT_EQ(e.editing.proposedSaveName(), "Brass_Lead");

    VoiceFields f;
    f.slot[1].multiple = 9;
    e.editing.setFields(f);
    e.editing.store();
    ASSERT_TRUE(e.editing.save(dir / "lead.ins"));
    e.editing.choose(1);
    ASSERT_TRUE(e.editing.load(dir / "lead.ins"));
    EXPECT_EQ(e.ws.song().instruments[2].name, "02 Brass/Lead");
    EXPECT_EQ(e.editing.currentInstrument(), 2);
    EXPECT_EQ(e.editing.fields().slot[1].multiple, 9);
    EXPECT_FALSE(e.editing.load(dir / "missing.ins"));
}

// One record of the voice in FM channel 1, shared by every preview.
TEST(InstrumentEditing, TheTestKeyboardLoadsItsVoiceOnlyWhenChannelOneLacksIt) {
    Editor e;
    VoiceFields f;
    f.slot[0].multiple = 5;
    e.editing.setFields(f);
    e.editing.testKey(2, 30);
    e.editing.testKey(7, 10);
    EXPECT_EQ(e.preview.calls,
              (std::vector<std::string>{"loadInstrument 5", "KeyDown 0 3", "KeyDown 1 4"}));

    // A note typed in the pattern editor loads instrument 1 into channel 1 ...
    e.preview.calls.clear();
    e.ws.typeChar(U'Z');
    e.editing.testKey(7, 10);
    EXPECT_EQ(e.preview.calls, (std::vector<std::string>{"KeyUp", "loadInstrument 0", "KeyDown 0 3",
                                                         "loadInstrument 5", "KeyDown 1 4"}));
    // ... and so does playback.
    e.preview.calls.clear();
    e.ws.channel1Taken();
    e.editing.testKey(7, 10);
    EXPECT_EQ(e.preview.calls, (std::vector<std::string>{"loadInstrument 5", "KeyDown 1 4"}));
}

// While a test note sounds, an edited field is heard at once; after Mute it waits for a key.
TEST(InstrumentEditing, AFieldChangeIsHeardOnTheHeldTestNote) {
    Editor e;
    e.editing.testKey(20, 30);
    e.preview.calls.clear();
    VoiceFields f = e.editing.fields();
    f.slot[0].multiple = 2;
    e.editing.setFields(f);
    EXPECT_EQ(e.preview.calls, std::vector<std::string>{"loadInstrument 2"});
    e.editing.mute();
    f.slot[0].multiple = 3;
    e.editing.setFields(f);
    EXPECT_EQ(e.preview.calls, (std::vector<std::string>{"loadInstrument 2", "KeyUp"}));
}

// A preset is heard on the held test note, or else on a C of the octave that ends by itself,
// unless a test key has been played since; the fields' voice comes back with the next key.
TEST(InstrumentEditing, APresetIsHeardOnTheHeldNoteOrAShortC) {
    Editor e;
    VoiceBytes preset;
    preset.fill(0x33);
    e.editing.testKey(20, 30);  // E, octave 4
    e.preview.calls.clear();
    EXPECT_FALSE(e.editing.audition(preset));
    EXPECT_EQ(e.preview.calls, (std::vector<std::string>{"loadInstrument 51", "KeyDown 4 4"}));
    e.editing.mute();
    e.preview.calls.clear();
    EXPECT_TRUE(e.editing.audition(preset));
    e.editing.endAudition();
    EXPECT_EQ(e.preview.calls,
              (std::vector<std::string>{"loadInstrument 51", "KeyDown 0 3", "KeyUp"}));
    EXPECT_TRUE(e.editing.audition(preset));
    e.editing.testKey(20, 30);
    e.editing.endAudition();  // the test key plays on
    EXPECT_EQ(e.preview.calls.back(), "KeyDown 4 4");
    EXPECT_EQ(e.preview.calls[e.preview.calls.size() - 2], "loadInstrument 0");
    EXPECT_EQ(e.ws.song().instruments[1].registers, VoiceBytes{});
}

}  // namespace
}  // namespace qvx
