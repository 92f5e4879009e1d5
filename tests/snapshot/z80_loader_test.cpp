// The Z80 and SNA loaders against hand-made files: hardware modes, block layouts and damage.
#include <gtest/gtest.h>

#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A version 2 (length 23) or 3 header with PC 0x8000 and border 1, without blocks.
Bytes Z80Header(uint16_t length, uint8_t hardware, uint8_t flags = 0) {
  Bytes f(32 + length, 0);
  f[12] = 0x02;
  f[30] = static_cast<uint8_t>(length);
  f[33] = 0x80;
  f[34] = hardware;
  f[37] = flags;
  return f;
}

// Appends a block for `page` holding 16K of `fill`: compressed, plain (length 0xFFFF), or
// compressed as some writers do it, ending in a lone 0xED with nothing after it.
enum class Coding { Compressed, Plain, LoneEdLast };
void AddBlock(Bytes& f, uint8_t page, uint8_t fill, Coding coding = Coding::Compressed) {
  Bytes data;
  if (coding == Coding::Plain) {
    data.assign(16384, fill);
  } else if (coding == Coding::LoneEdLast) {
    for (int n = 0; n < 16383; n += 255) {
      data.insert(data.end(), {0xED, 0xED, static_cast<uint8_t>(std::min(255, 16383 - n)), fill});
    }
    data.push_back(0xED);
  } else {
    CompressZ80Block(Bytes(16384, fill), data);
  }
  AppendLe16(f, coding == Coding::Plain ? 0xFFFF : static_cast<uint16_t>(data.size()));
  f.push_back(page);
  f.insert(f.end(), data.begin(), data.end());
}

// Blocks for the pages of `model`, each filled with its page number.
Bytes WithBlocks(Bytes f, uint8_t model) {
  if (model == kModel16K) {
    AddBlock(f, 8, 8);
  } else if (Is128KFamily(model)) {
    for (uint8_t p = 3; p <= 10; ++p) AddBlock(f, p, p);
  } else {
    for (uint8_t p : {4, 5, 8}) AddBlock(f, p, p);
  }
  return f;
}

TEST(Z80Loader, HardwareModesChooseTheModel) {
  ORVO_REQUIRE_ROMS();
  // (The shared files of each model load in the media snapshot tests.) What else a hardware
  // byte says: an Interface 1; a machine not emulated here, loaded as the
  // nearest with a message; or one with none near (the Timex ones, unknown numbers): refused.
  enum Extra : uint8_t { kNone, kIf1, kNearest, kRefused };
  struct Row {
    uint16_t length;
    uint8_t hardware, flags, model;
    Extra extra = kNone;
  };
  const Row rows[] = {{23, 1, 0, kModel48K, kIf1},      {23, 3, 0x80, kModelPlus2},
                      {23, 4, 0, kModel128K, kIf1},     {23, 0, 0x80, kModel16K},
                      {54, 1, 0x80, kModel16K, kIf1},   {54, 5, 0, kModel128K, kIf1},
                      {54, 6, 0, kModel128K},           {55, 7, 0x80, kModelPlus2A},
                      {54, 14, 0, kModel48K, kNearest}, {54, 4, 0x80, kModelPlus2},
                      {54, 15, 0, kModel48K, kRefused}, {54, 128, 0, kModel48K, kRefused},
                      {23, 7, 0, kModel48K, kRefused}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.length << "/" << int(r.hardware) << "/" << int(r.flags));
    SnapshotMachine t(kModelPlus2);
    const bool refused = r.extra == kRefused;
    Bytes f = WithBlocks(Z80Header(r.length, r.hardware, r.flags), r.model);
    if (r.extra == kNone) f[36] = 0xFF;  // the Interface 1 ROM paged, with no Interface 1
    ASSERT_EQ(LoadZ80(t.emu, f), refused ? 1 : 0);
    EXPECT_EQ(t.m.MachineModel, refused ? uint8_t{kModelPlus2} : r.model);
    EXPECT_EQ(t.emu.settings.Interface1, r.extra == kIf1 ? 1 : 0);
    if (r.extra == kNone) {
      EXPECT_FALSE(t.m.If1Paged());
    }
    ASSERT_EQ(t.host.messages.size(), r.extra >= kNearest ? 1u : 0u);
    if (r.extra >= kNearest) {
      EXPECT_EQ(t.host.messages[0].message, refused ? kMsgZ80Version : kMsgNearestModel);
    }
    if (refused) continue;
    EXPECT_EQ(t.m.cpu.PC, 0x8000);
    EXPECT_EQ(t.m.ports.BorderColour, 1);
    EXPECT_EQ(t.m.Peek(0x4000), 8);
    if (Is128KFamily(r.model)) {
      for (int bank = 0; bank < 8; ++bank) EXPECT_EQ(t.m.RamBlock[bank * 16384 + 99], bank + 3);
    } else {
      EXPECT_EQ(t.m.Peek(0x8000), r.model == kModel16K ? 0xFF : 4);
    }
  }
}

// Blocks in any order, compressed or plain; a page the model lacks (a Multiface ROM, a 16K's upper
// pages, the RAM of a 256K machine) is passed over and the blocks after it are still read.
TEST(Z80Loader, BlocksInAnyOrderAndUnknownPagesPassedOver) {
  ORVO_REQUIRE_ROMS();
  // A +3 file that holds only pages 4, 5 and 8 (banks 1, 2 and 5) loads with the other banks blank.
  const struct {
    uint8_t model, hardware;
    Bytes pages, at4000_7FFF_8000_C000;
  } rows[] = {{kModel48K, 0, {11, 8, 5, 0, 4}, {8, 8, 4, 5}},
              {kModel16K, 0, {4, 5, 8}, {8, 8, 0xFF, 0xFF}},
              {kModel128K, 4, {10, 9, 8, 7, 2, 6, 5, 4, 3, 18}, {8, 8, 5, 3}},
              {kModelPlus3, 7, {4, 5, 8}, {8, 8, 5, 0}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(int(r.model));
    Bytes f = Z80Header(54, r.hardware, r.model == kModel16K ? 0x80 : 0);
    for (uint8_t p : r.pages) {
      AddBlock(f, p, p, p == 5 ? Coding::LoneEdLast : (p % 2 ? Coding::Plain : Coding::Compressed));
    }
    SnapshotMachine t;
    ASSERT_EQ(LoadZ80(t.emu, f), 0);
    EXPECT_EQ(t.m.MachineModel, r.model);
    if (Is128KFamily(r.model)) {
      EXPECT_EQ(t.m.RamBlock[16384], 4) << "bank 1";
    }
    if (r.model != kModel16K) {  // page 5 ends in a lone 0xED, as some writers leave it
      EXPECT_EQ(t.m.RamBlock[Is128KFamily(r.model) ? 0xBFFF : 0xFFFF], 0xED);
    }
    const uint16_t at[] = {0x4000, 0x7FFF, 0x8000, 0xC000};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(t.m.Peek(at[k]), r.at4000_7FFF_8000_C000[k]) << at[k];
  }
}

// Byte 29: bit 2 the issue 2 keyboard (the 48K's, for this run only), bits 6-7 the joystick (a
// zero there, the cursor joystick, is also what writers leave: it changes nothing; 3 is the
// Interface II's port 1, keys 6-0, as libspectrum has it too). The joystick
// is the running machine's: the user's settings keep their own, and the next machine set-up
// goes back to them. The writer puts back what was read.
TEST(Z80Loader, KeyboardIssueAndJoystick) {
  ORVO_REQUIRE_ROMS();
  // byte 29, the user's controller type before; then issue 3, controller and keyboard types.
  const std::array<int, 5> rows[] = {{0x04, 0, 0, 0, 0}, {0x40, 0, 1, 0, 1}, {0xC6, 1, 0, 4, 0}};
  for (const auto& [byte29, before, issue3, joystick, keystick] : rows) {
    Bytes f = WithBlocks(Z80Header(54, 0), kModel48K);
    f[29] = static_cast<uint8_t>(byte29);
    SnapshotMachine t;
    t.emu.settings.JoystickType = before;
    ASSERT_EQ(LoadZ80(t.emu, f), 0);
    EXPECT_EQ(t.m.IssueMask, issue3 ? 0x10 : 0x18) << byte29;
    EXPECT_EQ(t.emu.settings.KeyboardIssue, 1);
    EXPECT_EQ(t.m.settings.JoystickType, joystick);
    EXPECT_EQ(t.m.settings.KeystickType, keystick);
    EXPECT_EQ(t.m.input.KeystickActive, keystick != 0 ? 1 : 0) << byte29;
    EXPECT_EQ(t.emu.settings.JoystickType, before);
    EXPECT_EQ(t.emu.settings.KeystickType, 0);
    EXPECT_EQ(WriteZ80(CaptureSnapshot(t.m), 3, false)[29], byte29);
    SetUpMachine(t.emu);
    EXPECT_EQ(t.m.settings.JoystickType, before);
    EXPECT_EQ(t.m.settings.KeystickType, 0);
  }
}

// With an Interface 1 fitted the writer uses the hardware codes "with Interface 1" and says
// whether its ROM is paged; reading the file back fits the Interface 1 again.
TEST(Z80Writer, Interface1HardwareModes) {
  ORVO_REQUIRE_ROMS();
  const std::array<int, 4> rows[] = {{kModel48K, 2, 1, 0},      {kModel16K, 3, 1, 0x80},
                                     {kModel128K, 2, 4, 0},     {kModel128K, 3, 5, 0},
                                     {kModelPlus2, 3, 5, 0x80}, {kModelPlus2A, 3, 13, 0}};
  for (const auto& [model, version, hardware, modified] : rows) {
    SnapshotMachine a(static_cast<uint8_t>(model));
    a.m.settings.Interface1 = 1;
    SnapshotRecord record = CaptureSnapshot(a.m);
    record.if1RomPaged = true;
    const Bytes f = WriteZ80(record, version, false);
    const bool fits = model != kModelPlus2A;
    EXPECT_EQ(f[34], hardware) << model << " v" << version;
    EXPECT_EQ(f[37] & 0x80, modified);
    EXPECT_EQ(f[36], fits ? 0xFF : 0);
    SnapshotMachine b;
    ASSERT_EQ(LoadZ80(b.emu, f), 0);
    EXPECT_EQ(b.m.MachineModel, model);
    EXPECT_EQ(b.emu.settings.Interface1, fits ? 1 : 0);
  }
}

TEST(Z80Loader, Version1ImagesCompressedOrPlain) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine t(kModel128K);
  std::fill(t.m.RamBlock.begin(), t.m.RamBlock.end(), 0x77);
  Bytes f(30, 0);
  f[6] = 0x34;
  f[7] = 0x12;
  f[12] = 0x20 | 0x01;
  // The end marker before 48K: the rest of RAM stays as set up.
  f.insert(f.end(), {1, 0xED, 0xED, 3, 9, 0, 0xED, 0xED, 0, 5, 5});
  ASSERT_EQ(LoadZ80(t.emu, f), 0);  // (Compressed version 1 files: the media snapshot tests.)
  EXPECT_EQ(t.m.MachineModel, kModel48K);
  EXPECT_EQ(t.m.cpu.R7, 0x80);
  const Bytes expected{1, 9, 9, 9, 0, 0, 0};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(t.m.Peek(0x4000 + i), expected[i]) << i;
  EXPECT_EQ(t.m.Peek(0xFFFF), 0);
  EXPECT_EQ(t.emu.files.FileTypeLabel, "Z80 File Version: 1.45");

  Bytes plain(30 + 49152, 0xED);
  plain[6] = 1;
  plain[12] = 0x0E;  // border 7, not compressed
  ASSERT_EQ(LoadZ80(t.emu, plain), 0);
  EXPECT_EQ(t.m.Peek(0xFFFF), 0xED);
  EXPECT_EQ(t.m.ports.BorderColour, 7);
  plain.pop_back();
  EXPECT_EQ(LoadZ80(t.emu, plain), 1);
}

TEST(SnaLoader, The48KStackMayWrapAroundTheTop) {
  ORVO_REQUIRE_ROMS();
  Bytes f(kSna48Size, 0);
  f[23] = f[24] = 0xFF;  // SP 0xFFFF: PC low at 0xFFFF, high from the ROM at 0x0000
  f[27 + 0xBFFF] = 0x42;
  f[19] = 0x04;
  f[20] = 0x9A;
  SnapshotMachine t;
  ASSERT_EQ(LoadSNA(t.emu, f), 0);
  EXPECT_EQ(t.m.cpu.PC, 0x42 | (t.m.RomBuffer48[0] << 8));
  EXPECT_EQ(t.m.cpu.SP, 0x0001);
  EXPECT_EQ(t.m.cpu.IFF1 + t.m.cpu.IFF2, 2);
  EXPECT_EQ(VisibleR(t.m.cpu), 0x9A);
}

}  // namespace
}  // namespace orvo::test
