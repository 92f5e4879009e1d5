// The tool windows under the offscreen platform: each opens from its command and shows the
// machine's state; the modal ones pause the machine only while they are open.
#include <gtest/gtest.h>

#include <QTest>

#include "machine/keyboard.h"
#include "shell/emulator.h"
#include "shell/poke_memory.h"
#include "shell/screen_file.h"
#include "ui/tools/calculator_window.h"
#include "ui/tools/keyboard_helper_window.h"
#include "ui/tools/memory_map_window.h"
#include "ui/tools/poke_finder_window.h"
#include "ui/tools/poke_memory_window.h"
#include "ui/tools/snapshot_analyser_window.h"
#include "ui/tools/sprite_search_window.h"
#include "ui/tools/ulaplus_editor_window.h"
#include "window_test_support.h"

namespace orvo::ui::test {
namespace {

class ToolWindows : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ORVO_REQUIRE_FILE(orvo::test::RomDir() / "48k.rom");
    OpenWindow();
  }
  template <class T>
  T* Open(CommandId id) {
    window->DispatchCommand(id);
    ProcessEvents();
    return window->findChild<T*>();
  }
};

TEST_F(ToolWindows, PokeFinderSearchesLiveMemoryAndLeavesTheMachineRunning) {
  PokeByte(emu->m, kPokNoBank, 30000, 153);
  PokeByte(emu->m, kPokNoBank, 30001, 153);
  auto* finder = Open<PokeFinderWindow>(CommandId::PokeFinder);
  ASSERT_NE(finder, nullptr);
  EXPECT_EQ(emu->m.Paused, 0u);
  finder->value()->setText("153");
  finder->start()->setText("30000");
  finder->end()->setText("30002");
  finder->Search();
  ASSERT_EQ(finder->results()->count(), 2);
  EXPECT_EQ(finder->results()->item(0)->text(), "30000");
  PokeByte(emu->m, kPokNoBank, 30001, 152);
  finder->Next();
  ASSERT_EQ(finder->results()->count(), 1);
  EXPECT_EQ(finder->results()->item(0)->text(), "30001");
  // A refused entry (the rules are the finder's own tests) shows under the finder's caption.
  finder->start()->setText("5B00");
  finder->Search();
  EXPECT_EQ(messages.at(0).caption, "Orvo POKE Find");
}

TEST_F(ToolWindows, PokeMemoryPausesWhileOpenAndShowsTheByte) {
  PokeByte(emu->m, kPokNoBank, 30000, 77);
  auto* poke = Open<PokeMemoryWindow>(CommandId::PokeMemory);
  ASSERT_NE(poke, nullptr);
  EXPECT_NE(emu->m.Paused, 0u);
  poke->SetAddress("30000");
  EXPECT_EQ(poke->current()->text(), "77");
  poke->value()->setText("5");
  poke->AddPoke();
  EXPECT_EQ(emu->m.Peek(30000), 5);
  poke->close();
  ProcessEvents();
  EXPECT_EQ(emu->m.Paused, 0u);  // the pause ended with the window
}

// The calculator takes buttons and keys; the memory map shows the paging; the sprite search
// draws memory as bits (0x81: the first and last set, drawn black).
TEST_F(ToolWindows, SmallToolsShowTheMachine) {
  auto* calc = Open<CalculatorWindow>(CommandId::Calculator);
  ASSERT_NE(calc, nullptr);
  for (const char* b : {"1", "2", "+"}) calc->Button(b)->click();
  QTest::keyClicks(calc, "3=");
  EXPECT_EQ(calc->display()->text(), QString(14, ' ') + "15")
      << calc->display()->text().toStdString();

  auto* map = Open<MemoryMapWindow>(CommandId::MemoryMap);
  ASSERT_NE(map, nullptr);
  EXPECT_TRUE(map->Page(0)->text().startsWith("ROM 0")) << map->Page(0)->text().toStdString();
  EXPECT_TRUE(map->Page(2)->text().contains("contended"));
  EXPECT_FALSE(map->Page(4)->text().contains("contended"));

  PokeByte(emu->m, kPokNoBank, 0x9000, 0x81);
  auto* sprites = Open<SpriteSearchWindow>(CommandId::SpriteSearch);
  ASSERT_NE(sprites, nullptr);
  sprites->address()->setValue(0x9000);
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(sprites->image().pixel(x, 0), x == 0 || x == 7 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
}

TEST_F(ToolWindows, KeyboardHelperLightsAndTypesKeys) {
  auto* keys = Open<KeyboardHelperWindow>(CommandId::KeyboardHelper);
  ASSERT_NE(keys, nullptr);
  PressSpectrumKey(emu->m, SpectrumKey{2, 0});  // Q
  keys->Refresh();
  EXPECT_TRUE(keys->Key(1, 0)->property("lit").toBool());
  EXPECT_TRUE(keys->Key(1, 0)->text().contains("PLOT"));
  ReleaseSpectrumKey(emu->m, SpectrumKey{2, 0});
  keys->Refresh();
  EXPECT_FALSE(keys->Key(1, 0)->property("lit").toBool());
  QTest::mousePress(keys->Key(1, 9), Qt::LeftButton);  // P
  EXPECT_EQ(emu->m.input.KeyRows[5] & 1, 0);
  QTest::mouseRelease(keys->Key(1, 9), Qt::LeftButton);
  EXPECT_EQ(emu->m.input.KeyRows[5] & 1, 1);
}

TEST_F(ToolWindows, UlaPlusEditorShowsAndEditsAnEntry) {
  auto bytes = UlaPlusPaletteBytes(emu->m);
  bytes[5] = 0xE3;
  SetUlaPlusPaletteBytes(emu->m, bytes);
  auto* editor = Open<UlaPlusEditorWindow>(CommandId::UlaPlusEditor);
  ASSERT_NE(editor, nullptr);
  editor->Select(5);
  EXPECT_TRUE(editor->entryText()->text().endsWith("E3"))
      << editor->entryText()->text().toStdString();
  EXPECT_EQ(editor->green()->value(), 7);
  editor->green()->setValue(0);
  EXPECT_EQ(UlaPlusPaletteBytes(emu->m)[5], 0x03);
}

TEST_F(ToolWindows, SnapshotAnalyserReportsTheLoadedFile) {
  EXPECT_EQ(Open<SnapshotAnalyserWindow>(CommandId::SnapshotAnalyser), nullptr);  // no file yet
  const auto file = orvo::test::SharedFile("testdata/media/snapshots/manic_miner_v1_48k.z80");
  ORVO_REQUIRE_FILE(file);
  window->OpenDroppedFile(QString::fromStdString(file.string()));
  const uint16_t pc = emu->m.cpu.PC;
  auto* analyser = Open<SnapshotAnalyserWindow>(CommandId::SnapshotAnalyser);
  ASSERT_NE(analyser, nullptr);
  EXPECT_EQ(analyser->Value("Model"), "48K");
  EXPECT_EQ(analyser->Value("PC").toUInt(nullptr, 16), pc);
  analyser->close();
  ProcessEvents();
  EXPECT_EQ(emu->m.Paused, 0u);
}

}  // namespace
}  // namespace orvo::ui::test
