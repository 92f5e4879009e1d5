// The memory map of each model and the 128K-family paging registers.
#include <gtest/gtest.h>

#include <algorithm>

#include "machine/memory.h"
#include "machine_fixture.h"
#include "video/palette.h"
#include "video/ula.h"

namespace orvo {
namespace {

using test::TestMachine;

// A machine after a hard reset, with ROM r reading 0xA0 + r everywhere.
struct Paged : TestMachine {
  explicit Paged(uint8_t model) : TestMachine(model) {
    ResetMachine(emu, true);
    MarkRoms();
  }
  uint8_t RomAtZero() const { return m.Peek(0x0000); }
  // Which RAM bank the 16 KB slot holding `address` shows (-1: none), checking that both of its
  // 8 KB pages read and write the same bank.
  int BankAt(uint16_t address) const {
    const int page = (address >> 14) * 2;
    for (int bank = 0; bank < 8; ++bank) {
      const uint8_t* base = m.RamBlock.data() + bank * 16384;
      if (m.PageTable[page] == base && m.PageTable[page + 1] == base + 0x2000 &&
          m.WritePages[page] == base && m.WritePages[page + 1] == base + 0x2000)
        return bank;
    }
    return -1;
  }
};

TEST(Paging, Model48KRomIsProtectedAndRamLinear) {
  Paged t(kModel48K);
  t.m.WriteByte(0x0000, 0x12);
  t.m.WriteByte(0x3FFF, 0x12);
  EXPECT_EQ(t.m.Peek(0x0000), 0xA0);
  EXPECT_EQ(t.m.Peek(0x3FFF), 0xA0);
  for (uint32_t a = 0x4000; a < 0x10000; a += 0x1000) {
    t.m.WriteByte(static_cast<uint16_t>(a), static_cast<uint8_t>(a >> 12));
    EXPECT_EQ(t.m.RamBlock[a], a >> 12) << std::hex << a;
  }
  EXPECT_EQ(t.m.ScreenPointer[0], 0x04);  // the screen the ULA shows changed at once
  // The 128K paging port means nothing to a 48K.
  Write7FFD128(t.m, 0x17);
  EXPECT_EQ(t.m.Peek(0xC000), 0x0C);
  EXPECT_EQ(t.m.Peek(0x0000), 0xA0);
}

TEST(Paging, Model16KHasNoUpperMemory) {
  Paged t(kModel16K);
  for (uint32_t a = 0x8000; a < 0x10000; a += 0x0800) EXPECT_EQ(t.m.Peek(uint16_t(a)), 0xFF);
  t.m.WriteByte(0x8000, 0x00);
  t.m.WriteByte(0xFFFF, 0x00);
  EXPECT_EQ(t.m.ReadByte(0x8000), 0xFF);
  EXPECT_EQ(t.m.ReadByte(0xFFFF), 0xFF);
  EXPECT_EQ(t.m.ReadByte(0xA123), 0xFF);  // all four upper pages share one 0xFF page
  t.m.WriteByte(0x7FFF, 0x34);
  EXPECT_EQ(t.m.ReadByte(0x7FFF), 0x34);
  EXPECT_EQ(t.m.RamBlock[0x8000], 0);
}

TEST(Paging, Model128KSequenceAndLock) {
  Paged t(kModel128K);
  EXPECT_EQ(t.RomAtZero(), 0xA0);
  EXPECT_EQ(t.BankAt(0x4000), 5);
  EXPECT_EQ(t.BankAt(0x8000), 2);
  EXPECT_EQ(t.BankAt(0xC000), 0);

  Write7FFD128(t.m, 0x17);
  EXPECT_EQ(t.BankAt(0xC000), 7);
  EXPECT_EQ(t.m.BankAtC000, 7);
  EXPECT_EQ(t.RomAtZero(), 0xA1);
  EXPECT_EQ(t.m.ScreenBank, 5);
  EXPECT_TRUE(t.m.topSlotContended);
  EXPECT_FALSE(t.m.PagingLock);

  // The lock bit's own write takes effect before it locks.
  Write7FFD128(t.m, 0x28);
  EXPECT_TRUE(t.m.PagingLock);
  EXPECT_EQ(t.m.ScreenBank, 7);
  EXPECT_EQ(t.m.ScreenPointer, t.Bank(7));
  EXPECT_EQ(t.BankAt(0xC000), 0);
  EXPECT_EQ(t.RomAtZero(), 0xA0);
  EXPECT_FALSE(t.m.topSlotContended);

  Write7FFD128(t.m, 0x13);
  EXPECT_EQ(t.BankAt(0xC000), 0);
  EXPECT_EQ(t.m.Last7FFD, 0x28);
  EXPECT_EQ(t.RomAtZero(), 0xA0);

  // Only a reset unlocks.
  ResetMachine(t.emu, false);
  EXPECT_FALSE(t.m.PagingLock);
  EXPECT_EQ(t.m.ScreenBank, 5);
  Write7FFD128(t.m, 0x13);
  EXPECT_EQ(t.BankAt(0xC000), 3);
  EXPECT_EQ(t.RomAtZero(), 0xA1);
}

TEST(Paging, ScreenBankSwitchMidFrameKeepsWhatWasDrawn) {
  Paged t(kModel128K);
  ApplyPalette(t.m);
  ASSERT_NE(t.m.video.ColourTable[0], t.m.video.ColourTable[7]);
  // Bank 5 all ink, bank 7 all paper, black ink on white paper in both.
  std::fill(t.Bank(5), t.Bank(5) + 6144, 0xFF);
  std::fill(t.Bank(7), t.Bank(7) + 6144, 0x00);
  std::fill(t.Bank(5) + 6144, t.Bank(5) + 6912, 0x38);
  std::fill(t.Bank(7) + 6144, t.Bank(7) + 6912, 0x38);
  t.m.FrameTState = 14361 + 96 * 228;  // halfway down the display
  Write7FFD128(t.m, 0x08);
  t.m.FrameTState = t.m.FrameLength;
  RenderDisplayUpTo(t.m, t.m.FrameTState);
  const uint32_t* pixels = ScreenPixels(t.m);
  EXPECT_EQ(pixels[48 * 352 + 48], t.m.video.ColourTable[0]);          // display row 0
  EXPECT_EQ(pixels[(48 + 191) * 352 + 48], t.m.video.ColourTable[7]);  // display row 191
}

TEST(Paging, ResetMemoryMapAppliesTheLastValueAndItsLock) {
  TestMachine t(kModel128K);
  t.m.Last7FFD = 0x2F;
  t.m.PagingLock = 0;
  ResetMemoryMap(t.m);
  EXPECT_TRUE(t.m.PagingLock);
  EXPECT_EQ(t.m.BankAtC000, 7);
  EXPECT_EQ(t.m.PageTable[6], t.Bank(7));
  EXPECT_EQ(t.m.ScreenBank, 5);  // the locked write did not reach the screen bit
  EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer128.data());
}

TEST(Paging, Plus2ASpecialModes) {
  struct Mode {
    uint8_t value;
    int banks[4];
    bool topContended;
  };
  const Mode modes[] = {{0x01, {0, 1, 2, 3}, false},
                        {0x03, {4, 5, 6, 7}, true},
                        {0x05, {4, 5, 6, 3}, false},
                        {0x07, {4, 7, 6, 3}, false}};
  for (const Mode& mode : modes) {
    Paged t(kModelPlus2A);
    Write1FFD(t.m, mode.value);
    EXPECT_TRUE(t.m.SpecialMode);
    EXPECT_FALSE(t.m.romWriteProtect);
    for (int slot = 0; slot < 4; ++slot)
      EXPECT_EQ(t.BankAt(static_cast<uint16_t>(slot * 0x4000)), mode.banks[slot])
          << "1FFD " << int(mode.value) << " slot " << slot;
    EXPECT_EQ(t.m.topSlotContended, mode.topContended);
    // RAM at 0x0000 is writable.
    t.m.WriteByte(0x0000, 0x99);
    EXPECT_EQ(t.Bank(mode.banks[0])[0], 0x99);
  }
}

TEST(Paging, Plus2ARomSelectionAndLeavingSpecialMode) {
  Paged t(kModelPlus2A);
  Write1FFD(t.m, 0x04);
  Write7FFDPlus3(t.m, 0x10);
  EXPECT_EQ(t.RomAtZero(), 0xA3);
  Write7FFDPlus3(t.m, 0x00);
  EXPECT_EQ(t.RomAtZero(), 0xA2);
  Write1FFD(t.m, 0x00);
  EXPECT_EQ(t.RomAtZero(), 0xA0);

  Write7FFDPlus3(t.m, 0x16);  // bank 6, ROM low bit 1
  Write1FFD(t.m, 0x07);
  EXPECT_EQ(t.BankAt(0x4000), 7);
  Write1FFD(t.m, 0x00);
  EXPECT_FALSE(t.m.SpecialMode);
  EXPECT_EQ(t.BankAt(0x4000), 5);
  EXPECT_EQ(t.BankAt(0x8000), 2);
  EXPECT_EQ(t.BankAt(0xC000), 6);
  EXPECT_TRUE(t.m.topSlotContended);
  EXPECT_EQ(t.RomAtZero(), 0xA1);
  EXPECT_TRUE(t.m.romWriteProtect);
  t.m.WriteByte(0x0000, 0x55);
  EXPECT_EQ(t.RomAtZero(), 0xA1);
}

TEST(Paging, Plus2A7FFDInSpecialModeMovesOnlyTheScreen) {
  Paged t(kModelPlus2A);
  Write1FFD(t.m, 0x03);  // banks 4, 5, 6, 7
  Write7FFDPlus3(t.m, 0x0A);
  EXPECT_EQ(t.BankAt(0x0000), 4);
  EXPECT_EQ(t.BankAt(0xC000), 7);
  EXPECT_EQ(t.m.ScreenBank, 7);
  EXPECT_TRUE(t.m.topSlotContended);  // bank 7 is still at 0xC000
  // On leaving, the bank and ROM come from the value written meanwhile.
  Write1FFD(t.m, 0x00);
  EXPECT_EQ(t.BankAt(0xC000), 2);
  EXPECT_EQ(t.RomAtZero(), 0xA0);
}

TEST(Paging, Plus2ALockCoversBothPorts) {
  Paged t(kModelPlus3);
  Write7FFDPlus3(t.m, 0x23);
  EXPECT_TRUE(t.m.PagingLock);
  EXPECT_EQ(t.BankAt(0xC000), 3);
  Write1FFD(t.m, 0x01);
  EXPECT_FALSE(t.m.SpecialMode);
  EXPECT_EQ(t.m.Last1FFD, 0x00);
  Write7FFDPlus3(t.m, 0x04);
  EXPECT_EQ(t.BankAt(0xC000), 3);
  // Bit 5 of 0x1FFD locks nothing.
  ResetMachine(t.emu, false);
  Write1FFD(t.m, 0x20);
  EXPECT_FALSE(t.m.PagingLock);
}

TEST(Paging, CustomRomIsWritableUntilReset) {
  TestMachine t(kModelCustom);
  t.MarkRoms();
  EXPECT_FALSE(t.m.romWriteProtect);
  t.m.WriteByte(0x0100, 0x3C);
  EXPECT_EQ(t.m.Peek(0x0100), 0x3C);
  ResetMachine(t.emu, false);
  EXPECT_TRUE(t.m.romWriteProtect);
  t.m.WriteByte(0x0100, 0x00);
  EXPECT_EQ(t.m.Peek(0x0100), 0x3C);
  // Still the 48K layout: RAM linear from 0x4000.
  t.m.WriteByte(0xC000, 0x21);
  EXPECT_EQ(t.m.RamBlock[0xC000], 0x21);
}

// The add-ons that change the map: each only while it is fitted and paged.
TEST(Paging, AddOns) {
  Paged t(kModel48K);
  // Multiface RAM at 0x2000 takes writes only while paged in and visible.
  t.m.MultifaceImage.assign(16384, 0);
  t.m.MultifaceVisible = 1;
  UpdateWritePages(t.m);
  t.m.WriteByte(0x2000, 0x66);
  EXPECT_EQ(t.m.Peek(0x2000), 0xA0);  // not paged in: still the ROM, and it is unchanged
  t.m.PageTable[0] = t.m.MultifaceImage.data();
  t.m.PageTable[1] = t.m.MultifaceImage.data() + 0x2000;
  t.m.MultifacePaged = 1;
  UpdateWritePages(t.m);
  t.m.WriteByte(0x2000, 0x66);
  t.m.WriteByte(0x0000, 0x66);
  EXPECT_EQ(t.m.MultifaceImage[0x2000], 0x66);
  EXPECT_EQ(t.m.MultifaceImage[0x0000], 0x00);
  ResetMachine(t.emu, false);  // pages it out
  EXPECT_EQ(t.m.Peek(0x2000), 0xA0);

  // The µSpeech overlays reads below 0x0800 and at 0x1000; its registers take the writes.
  t.m.CurrahRom.assign(2048, 0xE5);
  t.m.settings.USpeech = 1;
  t.m.OnUSpeechToggle();
  EXPECT_EQ(t.m.FetchOpcode(0x07FF), 0xE5);
  EXPECT_EQ(t.m.ReadByte(0x0800), 0xA0);
  t.m.CurrahBusy = 1;
  EXPECT_EQ(t.m.ReadByte(0x1000), 1);
  t.m.FrameTState = 0;
  t.m.WriteByte(0x1000, 0x05);
  EXPECT_EQ(t.m.FrameTState, 3u);
  t.m.OnUSpeechToggle();
  EXPECT_EQ(t.m.ReadByte(0x0000), 0xA0);
  t.m.settings.USpeech = 0;

  // An Interface II cartridge replaces the whole map with itself and 0xFF-filled memory.
  t.m.CartridgeImage.assign(16384, 0xC7);
  t.m.CartridgeInserted = 1;
  ResetMemoryMap(t.m);
  EXPECT_EQ(t.m.Peek(0x0000), 0xC7);
  EXPECT_EQ(t.m.Peek(0x8000), 0xFF);
  t.m.WriteByte(0x8000, 0x22);
  t.m.WriteByte(0x0000, 0x22);
  EXPECT_EQ(t.m.Peek(0x8000), 0x22);
  EXPECT_EQ(t.m.Peek(0x0000), 0xC7);
  t.m.CartridgeInserted = 0;
  ResetMemoryMap(t.m);
  EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer48.data());
  EXPECT_EQ(t.m.PageTable[4], t.m.RamBlock.data() + 0x8000);
}

}  // namespace
}  // namespace orvo
