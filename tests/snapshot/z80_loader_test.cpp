// The Z80 and SNA loaders against hand-made files: hardware modes, block layouts and damage.
#include <gtest/gtest.h>

#include "snapshot/sna_format.h"
#include "snapshot/snapshot_common.h"
#include "snapshot/z80_format.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A version 2 or 3 header (PC 0x8000) for `hardware`, without blocks.
Bytes Z80Header(uint16_t length, uint8_t hardware, uint8_t flags = 0) {
  Bytes f(32 + length, 0);
  f[12] = 0x02;  // border 1
  f[30] = static_cast<uint8_t>(length);
  f[32] = 0x00;
  f[33] = 0x80;
  f[34] = hardware;
  f[37] = flags;
  return f;
}

void AddBlock(Bytes& f, uint8_t page, const Bytes& page16k, bool plain = false) {
  if (plain) {
    AppendLe16(f, 0xFFFF);
    f.push_back(page);
    f.insert(f.end(), page16k.begin(), page16k.end());
    return;
  }
  Bytes packed;
  CompressZ80Block(page16k, packed);
  AppendLe16(f, static_cast<uint16_t>(packed.size()));
  f.push_back(page);
  f.insert(f.end(), packed.begin(), packed.end());
}

Bytes Filled(uint8_t v) {
  return Bytes(16384, v);
}

// A file with blocks for `model`'s pages, each filled with its page number.
Bytes WithBlocks(Bytes f, bool big) {
  if (big) {
    for (uint8_t p = 3; p <= 10; ++p) AddBlock(f, p, Filled(p));
  } else {
    for (uint8_t p : {4, 5, 8}) AddBlock(f, p, Filled(p));
  }
  return f;
}

TEST(Z80Loader, HardwareModesChooseTheModel) {
  ORVO_REQUIRE_ROMS();
  struct Row {
    uint16_t length;
    uint8_t hardware;
    uint8_t flags;
    uint8_t model;
  };
  const Row rows[] = {
      {23, 0, 0, kModel48K},    {23, 1, 0, kModel48K},      {23, 3, 0, kModel128K},
      {23, 4, 0, kModel128K},   {23, 3, 0x80, kModelPlus2}, {23, 0, 0x80, kModel16K},
      {54, 0, 0, kModel48K},    {54, 3, 0, kModel48K},      {54, 4, 0, kModel128K},
      {54, 6, 0, kModel128K},   {54, 7, 0, kModelPlus3},    {55, 7, 0x80, kModelPlus2A},
      {54, 12, 0, kModelPlus2}, {54, 13, 0, kModelPlus2A},  {55, 9, 0, kModel48K},
      {55, 10, 0, kModel48K},   {54, 4, 0x80, kModelPlus2}, {55, 13, 0x80, kModelPlus2A},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.length << "/" << int(r.hardware) << "/" << int(r.flags));
    SnapshotMachine t(kModelPlus2);
    const bool big = Is128KFamily(r.model);
    Bytes f = Z80Header(r.length, r.hardware, r.flags);
    if (r.model == kModel16K)
      AddBlock(f, 8, Filled(8));
    else
      f = WithBlocks(f, big);
    ASSERT_EQ(LoadZ80(t.emu, f), 0);
    EXPECT_EQ(t.m.MachineModel, r.model);
    EXPECT_EQ(t.m.cpu.PC, 0x8000);
    EXPECT_EQ(t.m.ports.BorderColour, 1);
    EXPECT_EQ(t.m.Peek(0x4000), 8);
    if (big) {
      for (int bank = 0; bank < 8; ++bank) EXPECT_EQ(t.m.RamBlock[bank * 16384 + 99], bank + 3);
    } else if (r.model == kModel48K) {
      EXPECT_EQ(t.m.Peek(0x8000), 4);
      EXPECT_EQ(t.m.Peek(0xFFFF), 5);
    } else {
      EXPECT_EQ(t.m.Peek(0x8000), 0xFF);  // nothing above 16K
    }
  }
}

TEST(Z80Loader, PlainBlocksAndBlocksEndingInALoneEdLoadOnEveryModel) {
  ORVO_REQUIRE_ROMS();
  Bytes page = Filled(1);
  page[16383] = 0xED;
  for (bool big : {false, true}) {
    Bytes f = Z80Header(54, big ? 4 : 0);
    for (uint8_t p : big ? Bytes{3, 4, 5, 6, 7, 8, 9, 10} : Bytes{4, 5, 8}) {
      if (p == 5) {
        // Coded as other writers do: the final lone 0xED plainly, nothing after it.
        Bytes packed{0xED, 0xED, 255, 1};
        for (int n = 255; n < 16383; n += 255) {
          const int run = std::min(255, 16383 - n);
          packed.insert(packed.end(), {0xED, 0xED, static_cast<uint8_t>(run), 1});
        }
        packed.push_back(0xED);
        AppendLe16(f, static_cast<uint16_t>(packed.size()));
        f.push_back(p);
        f.insert(f.end(), packed.begin(), packed.end());
      } else {
        AddBlock(f, p, page, /*plain=*/true);
      }
    }
    SnapshotMachine t;
    ASSERT_EQ(LoadZ80(t.emu, f), 0);
    const size_t at5 = big ? 2 * 16384 : 0xC000;  // page 5: bank 2 or address 0xC000
    EXPECT_EQ(t.m.RamBlock[at5 + 16382], 1);
    EXPECT_EQ(t.m.RamBlock[at5 + 16383], 0xED);
    EXPECT_EQ(t.m.Peek(0x7FFF), 0xED);  // a plain block, read as it stands
    EXPECT_EQ(t.m.Peek(0x4000), 1);
  }
}

TEST(Z80Loader, Version1EndMarkerLeavesTheRestAsSetUp) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine t;
  std::fill(t.m.RamBlock.begin(), t.m.RamBlock.end(), 0x77);
  Bytes f(30, 0);
  f[6] = 0x34;
  f[7] = 0x12;
  f[12] = 0x20 | 0x01;
  f.insert(f.end(), {1, 2, 0xED, 0xED, 3, 9, 0, 0xED, 0xED, 0, 5, 5, 5});
  ASSERT_EQ(LoadZ80(t.emu, f), 0);
  EXPECT_EQ(t.m.cpu.PC, 0x1234);
  EXPECT_EQ(t.m.cpu.R7, 0x80);
  EXPECT_EQ(t.m.Peek(0x4000), 1);
  EXPECT_EQ(t.m.Peek(0x4002), 9);
  EXPECT_EQ(t.m.Peek(0x4004), 9);
  EXPECT_EQ(t.m.Peek(0x4005), 0);
  EXPECT_EQ(t.m.Peek(0x4006), 0);
  EXPECT_EQ(t.m.Peek(0xFFFF), 0);
  EXPECT_EQ(t.emu.files.FileTypeLabel, "Z80 File Version: 1.45");
}

TEST(Z80Loader, Version1UncompressedImage) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine t(kModel128K);
  Bytes f(30 + 49152, 0xED);
  f[6] = 0x00;
  f[7] = 0x60;
  f[12] = 0x0E;  // border 7, not compressed
  f[29] = 1;
  ASSERT_EQ(LoadZ80(t.emu, f), 0);
  EXPECT_EQ(t.m.MachineModel, kModel48K);
  EXPECT_EQ(t.m.Peek(0x4000), 0xED);
  EXPECT_EQ(t.m.Peek(0xFFFF), 0xED);
  EXPECT_EQ(t.m.cpu.IM, 1);
  EXPECT_EQ(t.m.ports.BorderColour, 7);
  f.pop_back();
  EXPECT_EQ(LoadZ80(t.emu, f), 1);
}

TEST(Z80Loader, DamagedFilesAreRefusedWithTheirMessages) {
  ORVO_REQUIRE_ROMS();
  struct Row {
    const char* what;
    Bytes file;
    MessageId message;
  };
  Bytes shortBlock = Z80Header(23, 0);
  AddBlock(shortBlock, 8, Filled(8));
  AddBlock(shortBlock, 4, Filled(4));
  Bytes packed{0xED, 0xED, 200, 1};  // 200 bytes for a 16K page
  AppendLe16(shortBlock, static_cast<uint16_t>(packed.size()));
  shortBlock.push_back(5);
  shortBlock.insert(shortBlock.end(), packed.begin(), packed.end());

  Bytes missingBlock = WithBlocks(Z80Header(54, 4), true);
  missingBlock.resize(missingBlock.size() - 20);
  Bytes cutPlain = Z80Header(54, 0);
  AddBlock(cutPlain, 8, Filled(8), true);
  cutPlain.resize(cutPlain.size() - 1);
  Bytes cutHeader = Z80Header(54, 4);
  cutHeader.pop_back();
  Bytes v1NoMarker(30, 0);
  v1NoMarker[6] = 1;
  v1NoMarker[12] = 0x20;
  v1NoMarker.insert(v1NoMarker.end(), {0xED, 0xED, 255, 0});

  const Row rows[] = {
      {"empty", {}, 12},
      {"main header only, version 2", Bytes(30, 0), 12},
      {"header length 30", Z80Header(30, 0), 18},
      {"additional header cut", cutHeader, 12},
      {"block does not fill its page", shortBlock, 16},
      {"128K file ends inside a block", missingBlock, 12},
      {"plain block cut", cutPlain, 12},
      {"version 1 ends without its marker", v1NoMarker, 12},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    SnapshotMachine t(kModelPlus2A);
    t.m.cpu.PC = 0x4321;
    ASSERT_EQ(LoadZ80(t.emu, r.file), 1);
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].message, r.message);
    EXPECT_EQ(t.m.MachineModel, kModelPlus2A);
    EXPECT_EQ(t.m.cpu.PC, 0x4321);
  }
}

TEST(Z80Loader, Interface1PagingNeedsAnInterface1) {
  ORVO_REQUIRE_ROMS();
  Bytes f = WithBlocks(Z80Header(23, 0), false);
  f[36] = 0xFF;
  SnapshotMachine t;
  ASSERT_EQ(LoadZ80(t.emu, f), 0);
  EXPECT_FALSE(t.m.If1Paged());
  EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer48.data());
}

TEST(SnaLoader, SizesChooseTheModelAndAnythingElseIsRefused) {
  ORVO_REQUIRE_ROMS();
  for (size_t size : {size_t{0}, size_t{27}, kSna48Size - 1, kSna48Size + 1, size_t{49183},
                      kSna128Size - 1, kSna128LongSize + 1}) {
    SnapshotMachine t(kModelPlus3);
    EXPECT_EQ(LoadSNA(t.emu, Bytes(size, 0)), 1) << size;
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].message, 12);
    EXPECT_EQ(t.m.MachineModel, kModelPlus3);
  }
  // The short 128K form cannot hold a paged bank 5 or 2: it needs the longer one.
  for (uint8_t paged : {2, 5}) {
    Bytes f(kSna128Size, 0);
    f[49181] = paged;
    SnapshotMachine t;
    EXPECT_EQ(LoadSNA(t.emu, f), 1);
    EXPECT_EQ(t.m.MachineModel, kModel48K);
  }
}

TEST(SnaLoader, The48KStackMayWrapAroundTheTop) {
  ORVO_REQUIRE_ROMS();
  Bytes f(kSna48Size, 0);
  f[23] = 0xFF;
  f[24] = 0xFF;  // SP 0xFFFF: PC low at 0xFFFF, high from the ROM at 0x0000
  f[27 + 0xBFFF] = 0x42;
  f[19] = 0x04;
  f[20] = 0x9A;
  SnapshotMachine t;
  ASSERT_EQ(LoadSNA(t.emu, f), 0);
  EXPECT_EQ(t.m.cpu.PC, 0x42 | (t.m.RomBuffer48[0] << 8));
  EXPECT_EQ(t.m.cpu.SP, 0x0001);
  EXPECT_EQ(t.m.cpu.IFF1, 1);
  EXPECT_EQ(t.m.cpu.IFF2, 1);
  EXPECT_EQ(VisibleR(t.m.cpu), 0x9A);
}

}  // namespace
}  // namespace orvo::test
