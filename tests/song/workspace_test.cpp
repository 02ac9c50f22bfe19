#include <gtest/gtest.h>

#include "song/workspace.hpp"

namespace qvx {
namespace {

using Texts = std::vector<std::string>;

TEST(Workspace, StartUpState) {
    Workspace ws;
    EXPECT_EQ(ws.patternNumberText(), "00");
    EXPECT_EQ(ws.currentPatternName(), "Pat 00");
    EXPECT_EQ(ws.orderEntryTexts(), Texts{"00 - 00"});
    EXPECT_EQ(ws.orderSelection(), 0);
    EXPECT_EQ(ws.octave(), 4);
    EXPECT_EQ(ws.voiceListEntries().front(), "01 Unnamed");
    EXPECT_EQ(ws.voiceListEntries().size(), 31u);
    EXPECT_EQ(ws.selectedInstrument(), 1);
}

TEST(Workspace, PatternSelectorStaysInRange) {
    Workspace ws;
    EXPECT_FALSE(ws.previousPattern());
    EXPECT_FALSE(ws.nextPattern());
    ws.newPattern();
    ws.newPattern();
    EXPECT_EQ(ws.patternNumberText(), "02");
    EXPECT_EQ(ws.currentPatternName(), "Pat 02");
    EXPECT_FALSE(ws.nextPattern());
    EXPECT_TRUE(ws.previousPattern());
    EXPECT_EQ(ws.currentPattern(), 1);
    ws.renameCurrentPattern("Chorus  ");
    EXPECT_EQ(ws.song().patterns[1].name, "Chorus  ");
    // The order list is not touched by new patterns.
    EXPECT_EQ(ws.orderEntryTexts(), Texts{"00 - 00"});
}

TEST(Workspace, InsertBeforeSelection) {
    Workspace ws;
    for (int i = 0; i < 5; ++i)
        ws.newPattern();  // patterns 0..5, current 5
    ws.previousPattern();
    ws.previousPattern();
    ws.appendOrder();  // 00 - 00, 01 - 03, entry 1 selected
    EXPECT_EQ(ws.orderSelection(), 1);
    ws.nextPattern();
    ws.nextPattern();  // current pattern 5
    ASSERT_TRUE(ws.insertOrder());
    EXPECT_EQ(ws.orderEntryTexts(), (Texts{"00 - 00", "01 - 05", "02 - 03"}));
    EXPECT_EQ(ws.orderSelection(), 1);
}

TEST(Workspace, DeleteKeepsAtLeastOneEntry) {
    Workspace ws;
    for (int i = 0; i < 3; ++i)
        ws.newPattern();
    ws.appendOrder();  // 00 - 00, 01 - 03
    ws.selectOrder(0);
    ASSERT_TRUE(ws.deleteOrder());
    EXPECT_EQ(ws.orderEntryTexts(), Texts{"00 - 03"});
    EXPECT_EQ(ws.orderSelection(), 0);
    EXPECT_FALSE(ws.deleteOrder());
    EXPECT_EQ(ws.orderEntryTexts(), Texts{"00 - 03"});
    EXPECT_EQ(ws.orderSelection(), 0);

    ws.appendOrder();
    ws.appendOrder();
    ws.selectOrder(2);
    ws.deleteOrder();
    EXPECT_EQ(ws.orderSelection(), 1);
}

TEST(Workspace, UpdateAndSelect) {
    Workspace ws;
    ws.newPattern();
    ws.newPattern();   // current 2
    ws.appendOrder();  // 00 - 00, 01 - 02
    ws.selectOrder(0);
    EXPECT_EQ(ws.currentPattern(), 0);
    ws.nextPattern();
    ASSERT_TRUE(ws.updateOrder());
    EXPECT_EQ(ws.orderEntryTexts(), (Texts{"00 - 01", "01 - 02"}));
    EXPECT_EQ(ws.orderSelection(), 0);
    ws.selectOrder(1);
    EXPECT_EQ(ws.currentPattern(), 2);
    EXPECT_EQ(ws.currentPatternName(), "Pat 02");
}

TEST(Workspace, InsertWithoutSelectionAppends) {
    Workspace ws;
    ws.newPattern();
    ws.selectOrder(-1);
    ASSERT_TRUE(ws.insertOrder());
    EXPECT_EQ(ws.orderEntryTexts(), (Texts{"00 - 00", "01 - 01"}));
    EXPECT_EQ(ws.orderSelection(), 1);
}

TEST(Workspace, OrderListStopsAt128Entries) {
    Workspace ws;
    for (int i = 1; i < 128; ++i)
        ASSERT_TRUE(ws.appendOrder());
    EXPECT_EQ(ws.orderList().size(), 128u);
    EXPECT_FALSE(ws.appendOrder());
    EXPECT_FALSE(ws.insertOrder());
    EXPECT_EQ(ws.orderList().size(), 128u);
    EXPECT_EQ(ws.orderEntryText(127), "127 - 00");
}

TEST(Workspace, OctaveAndVoiceStayInRange) {
    Workspace ws;
    ws.setOctave(9);
    EXPECT_EQ(ws.octave(), 7);
    ws.setOctave(0);
    EXPECT_EQ(ws.octave(), 1);
    ws.setVoiceIndex(30);
    EXPECT_EQ(ws.selectedInstrument(), 31);
    ws.setVoiceIndex(40);
    EXPECT_EQ(ws.voiceIndex(), 30);
    // The voice selection survives a refill of the list (New Project).
    ws.newProject();
    EXPECT_EQ(ws.voiceIndex(), 30);
}

}  // namespace
}  // namespace qvx
