// SZX files as other programs write them: blocks of devices not emulated are skipped and named,
// device blocks fit their device and come back on a re-save, the CPU's flags survive, and
// machines that are not emulated load as their nearest model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/szx_format.h"
#include "shell/snapshot_save.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

void AddBlock(std::vector<uint8_t>& file, const char* id, const std::vector<uint8_t>& body) {
  const auto key = SnapshotBlockId(id);
  file.insert(file.end(), key.begin(), key.end());
  for (int k = 0; k < 4; ++k) file.push_back(static_cast<uint8_t>(body.size() >> (8 * k)));
  file.insert(file.end(), body.begin(), body.end());
}

// An SZX of the machine as it is, with `extra` blocks in place of its device blocks.
std::vector<uint8_t> SzxWith(const SnapshotMachine& sm, const std::vector<SnapshotBlock>& extra) {
  SnapshotRecord r = CaptureSnapshot(sm.m);
  r.blocks.clear();
  std::vector<uint8_t> file = WriteSZX(r);
  for (const SnapshotBlock& b : extra) {
    std::string id(b.id.begin(), b.id.end());
    AddBlock(file, id.c_str(), b.body);
  }
  return file;
}

SnapshotBlock Block(const char* id, std::vector<uint8_t> body) {
  return {SnapshotBlockId(id), std::move(body)};
}

TEST(SzxBlocks, BlocksOfDevicesNotEmulatedAreSkippedAndNamed) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine sm(kModel48K);
  sm.m.cpu.BC.w = 0x1234;
  // DivIDE and Opus blocks, and one of a kind no version of the format has.
  const std::vector<uint8_t> file = SzxWith(sm, {Block("DIDE", std::vector<uint8_t>(11, 7)),
                                                 Block("OPUS", {1, 2, 3}), Block("XYZW", {})});
  SnapshotMachine loaded(kModel48K);
  ASSERT_EQ(LoadSZX(loaded.emu, file), 0);
  EXPECT_EQ(loaded.m.cpu.BC.w, 0x1234);
  ASSERT_EQ(loaded.host.messages.size(), 1u);
  EXPECT_EQ(loaded.host.messages[0].message, kMsgDevicesLeftOut);
  EXPECT_EQ(loaded.host.messages[0].detail, "DIDE, OPUS, XYZW");
}

TEST(SzxBlocks, DeviceBlocksFitTheirDeviceAndComeBackOnResave) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine sm(kModel48K);
  std::vector<uint8_t> pltt(67, 0);  // a later writer's 67-byte palette block
  pltt[0] = 1;
  pltt[1] = 5;
  for (int k = 0; k < 64; ++k) pltt[2 + k] = static_cast<uint8_t>(k * 3);
  const std::vector<uint8_t> drum = {0x55};
  const std::vector<uint8_t> amx = {1, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  const std::vector<uint8_t> file =
      SzxWith(sm, {Block("PLTT", pltt), Block("DRUM", drum), Block("AMXM", amx)});

  SnapshotMachine loaded(kModel48K);
  ASSERT_EQ(LoadSZX(loaded.emu, file), 0);
  EXPECT_TRUE(loaded.host.messages.empty()) << loaded.host.messages[0].text;
  EXPECT_EQ(loaded.emu.settings.UlaPlus, 1);
  EXPECT_EQ(loaded.emu.settings.SpecDrum, 1);
  EXPECT_EQ(loaded.emu.settings.MouseType, 1);

  SnapshotRecord again;
  ASSERT_TRUE(ParseSZX(BuildSZX(loaded.emu), again).Ok());
  const SnapshotBlock* p = again.FindBlock("PLTT");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->body, std::vector<uint8_t>(pltt.begin(), pltt.begin() + 66));
  ASSERT_NE(again.FindBlock("DRUM"), nullptr);
  EXPECT_EQ(again.FindBlock("DRUM")->body, drum);
  ASSERT_NE(again.FindBlock("AMXM"), nullptr);
  EXPECT_EQ(again.FindBlock("AMXM")->body[0], 1);
}

TEST(SzxBlocks, TheBuiltInAyHasNoFlagsAndAnAddedOneIsMarked) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine big(kModel128K);
  SnapshotRecord r;
  ASSERT_TRUE(ParseSZX(BuildSZX(big.emu), r).Ok());
  std::vector<uint8_t> file = BuildSZX(big.emu);
  // The AY block's flags byte is the first of its body.
  const std::string text(file.begin(), file.end());
  const size_t at = text.find(std::string("AY\0\0", 4));
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(file[at + 8], 0) << "the 128K's own AY is no added one";

  SnapshotMachine small(kModel48K);
  small.emu.settings.Ay48k = small.m.settings.Ay48k = 1;
  file = BuildSZX(small.emu);
  const std::string text48(file.begin(), file.end());
  const size_t at48 = text48.find(std::string("AY\0\0", 4));
  ASSERT_NE(at48, std::string::npos);
  EXPECT_EQ(file[at48 + 8], 2);
}

TEST(SzxBlocks, TheCpuFlagsSurviveALoadAndASave) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine sm(kModel48K);
  SnapshotRecord r = CaptureSnapshot(sm.m);
  r.cpu.eiLast = true;
  r.cpu.flagsSet = true;
  r.cpu.AF = 0x12A5;
  SnapshotMachine loaded(kModel48K);
  ASSERT_EQ(LoadSZX(loaded.emu, WriteSZX(r)), 0);
  EXPECT_EQ(loaded.m.cpu.EiDelay, 1);
  EXPECT_EQ(loaded.m.cpu.Q, 0xA5);
  SnapshotRecord again;
  ASSERT_TRUE(ParseSZX(BuildSZX(loaded.emu), again).Ok());
  EXPECT_TRUE(again.cpu.eiLast);
  EXPECT_TRUE(again.cpu.flagsSet);
}

TEST(SzxBlocks, ScorpionAndLargerPentagonsLoadAsThe128K) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine sm(kModel128K);
  for (const uint8_t id : {10, 13, 14}) {
    std::vector<uint8_t> file = BuildSZX(sm.emu);
    file[6] = id;
    SnapshotMachine loaded(kModel48K);
    ASSERT_EQ(LoadSZX(loaded.emu, file), 0) << int(id);
    EXPECT_EQ(loaded.m.MachineModel, kModel128K);
    ASSERT_EQ(loaded.host.messages.size(), 1u);
    EXPECT_EQ(loaded.host.messages[0].message, kMsgNearestModel);
  }
  std::vector<uint8_t> file = BuildSZX(sm.emu);
  file[6] = 9;  // the Timex TC2068: another memory map altogether
  SnapshotMachine refused(kModel48K);
  EXPECT_NE(LoadSZX(refused.emu, file), 0);
}

}  // namespace
}  // namespace orvo::test
