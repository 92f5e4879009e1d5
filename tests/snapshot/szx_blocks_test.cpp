// SZX files as other programs write them: blocks of devices not emulated are skipped and named,
// device blocks fit their device and come back on a re-save, the CPU's flags survive, and
// machines that are not emulated load as their nearest model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/multiface.h"
#include "devices/printer.h"
#include "formats/szx_format.h"
#include "formats/zlib_codec.h"
#include "shell/addon_commands.h"
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

// The joystick block names the stick the game reads: player 1's where Orvo has it, else player
// 2's, else the Kempston interface the flags say is always there. It is what the keyboard
// emulates on this machine, and a re-save writes it back.
TEST(SzxBlocks, TheJoystickBlockNamesTheStickAndComesBack) {
  ORVO_REQUIRE_ROMS();
  struct Case {
    std::vector<uint8_t> body;
    int32_t keystick;              // the setting it becomes
    std::vector<uint8_t> resaved;  // the block written back
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 3, 8}, 4, {0, 0, 0, 0, 3, 8}},  // Interface II port 1 (keys 6-0)
      {{0, 0, 0, 0, 6, 1}, 2, {0, 0, 0, 0, 1, 8}},  // a Timex port, then a Fuller
      {{1, 0, 0, 0, 8, 8}, 1, {1, 0, 0, 0, 0, 8}},  // none, with the Kempston always there
      {{0, 0, 0, 0, 2, 8}, 3, {0, 0, 0, 0, 2, 8}},  // cursor
  };
  SnapshotMachine sm(kModel48K);
  for (const Case& c : cases) {
    SnapshotMachine loaded(kModel48K);
    ASSERT_EQ(LoadSZX(loaded.emu, SzxWith(sm, {Block("JOY", c.body)})), 0);
    EXPECT_TRUE(loaded.host.messages.empty());
    EXPECT_EQ(loaded.m.settings.KeystickType, c.keystick) << int(c.body[4]);
    SnapshotRecord again;
    ASSERT_TRUE(ParseSZX(BuildSZX(loaded.emu), again).Ok());
    EXPECT_EQ(again.joystick, c.keystick);
    const std::vector<uint8_t> file = BuildSZX(loaded.emu);
    const std::string text(file.begin(), file.end());
    const size_t at = text.find(std::string("JOY\0", 4));
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + at + 8, file.begin() + at + 14), c.resaved);
  }
}

// A folder holding the machine ROMs and the add-ons' ones (kept apart in the shared folder).
std::string RomsWithAddons() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("orvo_szx_roms_" + std::to_string(getpid()));
  std::error_code ec;
  fs::create_directories(dir, ec);
  for (const fs::path& from : {RomDir(), RomDir() / "extras"}) {
    for (const auto& entry : fs::directory_iterator(from, ec)) {
      if (entry.path().extension() == ".rom")
        fs::create_symlink(entry.path(), dir / entry.path().filename(), ec);
    }
  }
  return dir.string() + "/";
}

// The Multiface block fits the kind it names (the One only where a 16K or 48K takes it), its RAM
// plain or compressed, paged or locked out as the file says; a re-save gives the state back. A
// board with RAM in place of its ROM cannot be had and is named as left out.
TEST(SzxBlocks, TheMultifaceBlockFitsItsKindAndComesBack) {
  ORVO_REQUIRE_ROMS();
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "mf1.rom");
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "MF128.rom");
  const std::string roms = RomsWithAddons();
  std::vector<uint8_t> ram(8192);
  for (size_t k = 0; k < ram.size(); ++k) ram[k] = static_cast<uint8_t>(k * 7 + (k >> 8));
  const std::vector<uint8_t> packed = DeflateAll(ram);

  struct Case {
    uint8_t model;
    uint8_t kind;   // the block's model byte
    uint8_t flags;  // paged 1, compressed 2, lockout 4
    int32_t setting;
    bool paged;
  };
  const Case cases[] = {
      {kModel48K, 0, 1 | 2, kMultifaceOne, true},
      {kModel48K, 1, 4, 1, false},
      {kModel128K, 0, 2 | 4, kMultifaceOne, false},
  };
  for (const Case& c : cases) {
    SnapshotMachine sm(c.model);
    std::vector<uint8_t> body = {c.kind, c.flags};
    const std::vector<uint8_t>& data = (c.flags & 2) ? packed : ram;
    body.insert(body.end(), data.begin(), data.end());
    SnapshotMachine loaded(c.model);
    loaded.emu.folders.CurrentRomDir = roms;
    ASSERT_EQ(LoadSZX(loaded.emu, SzxWith(sm, {Block("MFCE", body)})), 0);
    EXPECT_TRUE(loaded.host.messages.empty()) << loaded.host.messages[0].text;
    EXPECT_EQ(loaded.emu.settings.Multiface, c.setting);
    EXPECT_EQ(loaded.m.MultifaceOne, c.model == kModel48K && c.kind == 0);
    EXPECT_EQ(MultifacePaged(loaded.m), c.paged);
    if (c.paged) {
      EXPECT_EQ(loaded.m.Peek(0x2000 + 100), ram[100]);
    }

    SnapshotRecord again;
    ASSERT_TRUE(ParseSZX(BuildSZX(loaded.emu), again).Ok());
    const SnapshotBlock* mf = again.FindBlock("MFCE");
    ASSERT_NE(mf, nullptr);
    std::vector<uint8_t> expected = {loaded.m.MultifaceOne ? uint8_t{0} : uint8_t{1},
                                     static_cast<uint8_t>(c.flags & ~2)};
    expected.insert(expected.end(), ram.begin(), ram.end());
    EXPECT_EQ(mf->body, expected);
  }

  SnapshotMachine sm(kModel48K);
  std::vector<uint8_t> allRam = {1, 0x20};
  allRam.resize(2 + 16384);
  SnapshotMachine loaded(kModel48K);
  loaded.emu.folders.CurrentRomDir = roms;
  ASSERT_EQ(LoadSZX(loaded.emu, SzxWith(sm, {Block("MFCE", allRam)})), 0);
  ASSERT_EQ(loaded.host.messages.size(), 1u);
  EXPECT_EQ(loaded.host.messages[0].detail, "MFCE");
}

// A 48K with every add-on that keeps a block fitted: a fresh machine loading its file fits them
// all, says nothing, and saves every block again as it read it.
TEST(SzxBlocks, EveryDeviceBlockComesBackOnAFreshMachine) {
  ORVO_REQUIRE_ROMS();
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "MF128.rom");
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "currah.rom");
  ORVO_REQUIRE_FILE(RomDir() / "IF1.rom");
  const std::string roms = RomsWithAddons();
  SnapshotMachine sm(kModel48K);
  sm.emu.folders.CurrentRomDir = roms;
  auto& s = sm.emu.settings;
  s.Interface1 = s.USpeech = s.SpecDrum = s.UlaPlus = s.Multiface = 1;
  s.MouseType = 1;
  s.KeystickType = 2;
  SetUpMachine(sm.emu);
  SetPrinterAttached(sm.m, true);
  SnapshotRecord first;
  ASSERT_TRUE(ParseSZX(BuildSZX(sm.emu), first).Ok());
  std::string ids;
  for (const SnapshotBlock& b : first.blocks) ids += std::string(b.id.data(), 4) + " ";
  for (const char* id : {"IF1", "USPE", "DRUM", "PLTT", "MFCE", "AMXM", "ZXPR", "KEYB"})
    EXPECT_NE(first.FindBlock(id), nullptr) << id << " missing from " << ids;
  ASSERT_NE(first.FindBlock("KEYB"), nullptr);
  EXPECT_EQ(first.FindBlock("KEYB")->body[4], 1) << "the keyboard emulates the Fuller joystick";

  SnapshotMachine loaded(kModel48K);
  loaded.emu.folders.CurrentRomDir = roms;
  ASSERT_EQ(LoadSZX(loaded.emu, BuildSZX(sm.emu)), 0);
  EXPECT_TRUE(loaded.host.messages.empty()) << loaded.host.messages[0].text;
  SnapshotRecord again;
  ASSERT_TRUE(ParseSZX(BuildSZX(loaded.emu), again).Ok());
  EXPECT_EQ(again.joystick, first.joystick);
  for (const SnapshotBlock& b : first.blocks) {
    const std::string id(b.id.data(), 4);
    const SnapshotBlock* back = again.FindBlock(id);
    ASSERT_NE(back, nullptr) << id;
    EXPECT_EQ(back->body, b.body) << id;
  }
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
