// ROM loading, machine set-up and reset.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>

#include "machine/memory.h"
#include "machine/typing.h"
#include "machine_fixture.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;

// A fresh, empty folder for ROM files, removed at the end of the test.
class RomFolder {
 public:
  RomFolder() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("orvo_roms_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(path_);
  }
  ~RomFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path Write(const std::string& name, size_t size, uint8_t fill) const {
    std::vector<char> bytes(size, static_cast<char>(fill));
    // A second half that differs, so a test can tell which part of a file was loaded.
    for (size_t i = size / 2; i < size; ++i) bytes[i] = static_cast<char>(fill ^ 0xFF);
    std::ofstream(path_ / name, std::ios::binary).write(bytes.data(), std::streamsize(size));
    return path_ / name;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct Bare {
  explicit Bare(uint8_t model, const fs::path& romDir) {
    emu.folders.CurrentRomDir = romDir.string();
    m.MachineModel = model;
  }
  test::RecordingHost host;
  Emulator emu{host};
  MachineState& m = emu.m;
};

TEST(LoadRoms, MissingFileReportsMessage2WithTheFileName) {
  RomFolder folder;
  Bare b(kModelPlus3, folder.path());
  EXPECT_EQ(LoadRoms(b.emu), 1);
  ASSERT_EQ(b.host.messages.size(), 1u);
  EXPECT_EQ(b.host.messages[0].caption, CaptionId::Error);
  EXPECT_EQ(b.host.messages[0].message, 2);
  EXPECT_EQ(b.host.messages[0].text, "02 - ROM missing\n\nplus3.rom");
  EXPECT_TRUE(std::all_of(b.m.RomBuffer128.begin(), b.m.RomBuffer128.end(),
                          [](uint8_t v) { return v == 0xFF; }));
  // A folder of the ROM's name is no ROM either.
  fs::create_directory(folder.path() / "48k.rom");
  b.m.MachineModel = kModel48K;
  EXPECT_EQ(LoadRoms(b.emu), 1);
  EXPECT_EQ(b.host.messages.back().text, "02 - ROM missing\n\n48k.rom");
}

TEST(LoadRoms, WrongLengthReportsMessage3) {
  RomFolder folder;
  folder.Write("48k.rom", 16383, 0x12);
  folder.Write("128k.rom", 16384, 0x12);  // a 48K ROM where the 128K's pair belongs
  for (uint8_t model : {kModel48K, kModel128K}) {
    Bare b(model, folder.path());
    EXPECT_EQ(LoadRoms(b.emu), 1);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0].caption, CaptionId::Error);
    EXPECT_EQ(b.host.messages[0].text, "03 - ROM file incorrect length");
    EXPECT_EQ(b.m.RomBuffer48[0], 0xFF);
    EXPECT_EQ(b.m.RomBuffer128[0], 0xFF);
  }
}

TEST(LoadRoms, CustomRomOf16Or32KBMapsTheFirst16KB) {
  RomFolder folder;
  Bare b(kModelCustom, folder.path());
  b.m.settings.CustomRomPath = folder.Write("mine.bin", 32768, 0x3C).string();
  EXPECT_EQ(LoadRoms(b.emu), 0);
  EXPECT_TRUE(b.host.messages.empty());
  EXPECT_TRUE(std::all_of(b.m.RomBuffer48.begin(), b.m.RomBuffer48.end(),
                          [](uint8_t v) { return v == 0x3C; }));
  EXPECT_EQ(b.m.RomDisplayName, "mine.bin");

  b.m.settings.CustomRomPath = folder.Write("small.rom", 16384, 0x5D).string();
  EXPECT_EQ(LoadRoms(b.emu), 0);
  EXPECT_EQ(b.m.RomBuffer48[0], 0x5D);
  EXPECT_EQ(b.m.RomBuffer48[16383], 0x5D ^ 0xFF);

  b.m.settings.CustomRomPath = folder.Write("odd.rom", 16385, 0x11).string();
  EXPECT_EQ(LoadRoms(b.emu), 1);
  ASSERT_EQ(b.host.messages.size(), 1u);
  EXPECT_EQ(b.host.messages[0].message, 3);
  EXPECT_EQ(b.m.RomBuffer48[0], 0xFF);

  b.m.settings.CustomRomPath.clear();
  EXPECT_EQ(LoadRoms(b.emu), 1);
  EXPECT_EQ(b.host.messages.back().message, 2);
}

TEST(LoadRoms, SharedRomsLoadWholeAndEveryRomPagesIn) {
  ORVO_REQUIRE_FILE(test::RomDir() / "plus3.rom");
  const std::vector<uint8_t> rom = test::ReadWholeFile(test::RomDir() / "plus3.rom");
  TestMachine t(kModelPlus3);
  EXPECT_TRUE(t.host.messages.empty());
  EXPECT_TRUE(std::equal(rom.begin(), rom.end(), t.m.RomBuffer128.begin()));
  ResetMachine(t.emu, true);
  for (uint8_t r = 0; r < 4; ++r) {
    Write1FFD(t.m, static_cast<uint8_t>((r & 2) << 1));
    Write7FFDPlus3(t.m, static_cast<uint8_t>((r & 1) << 4));
    EXPECT_EQ(t.m.Peek(0x0123), rom[r * 16384 + 0x123]) << int(r);
    EXPECT_EQ(t.m.Peek(0x3FFF), rom[r * 16384 + 0x3FFF]) << int(r);
  }
}

TEST(SetUpMachine, IssueEmulation) {
  TestMachine t(kModel48K);
  t.m.Issue3Keyboard = 0;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.IssueMask, 0x18);
  t.m.Issue3Keyboard = 1;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.IssueMask, 0x10);
  // A 16K is always an issue 2 board, whatever the option said.
  t.m.MachineModel = kModel16K;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.Issue3Keyboard, 0);
  EXPECT_EQ(t.m.IssueMask, 0x18);
  // A Custom model keeps what it found.
  t.m.MachineModel = kModelCustom;
  t.m.Issue3Keyboard = 1;
  t.m.KeyWaitAddress = 0x3683;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.Issue3Keyboard, 1);
  EXPECT_EQ(t.m.KeyWaitAddress, 0x3683);
}

TEST(SetUpMachine, TrapsPlus3SettingsAndBadModels) {
  TestMachine t(kModel48K);
  t.m.TrapFlags = kTrapTape;
  t.m.settings.DiskFastLoad = 1;
  t.m.settings.UlaSnow = 1;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.TrapFlags, uint32_t(kTrapTape));
  EXPECT_EQ(t.m.settings.UlaSnow, 1);
  t.m.MachineModel = kModelPlus3;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.TrapFlags, uint32_t(kTrapTape | kTrapPlus3Disk));
  EXPECT_EQ(t.m.settings.UlaSnow, 0);  // no snow on the +2A/+3
  t.m.settings.DiskFastLoad = 0;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.TrapFlags, uint32_t(kTrapTape));
  // Only a corrupt configuration or snapshot names a model beyond the table: it runs a 48K.
  t.m.MachineModel = 9;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.MachineModel, kModel48K);
  EXPECT_EQ(t.m.FrameLength, 69888u);
  EXPECT_EQ(t.m.PageTable[0], t.m.RomBuffer48.data());
}

TEST(ResetMachine, SoftKeepsBasicHardClearsRam) {
  TestMachine t(kModel48K);
  ResetMachine(t.emu, true);
  for (uint32_t a = 0x5B00; a < 0x10000; ++a) t.m.RamBlock[a] = static_cast<uint8_t>(a * 7);
  t.m.cpu.PC = 0x1234;
  t.m.cpu.AF.w = 0x5555;
  t.m.cpu.IR.w = 0x3F22;
  t.m.cpu.IFF1 = t.m.cpu.IFF2 = 1;
  t.m.cpu.IM = 2;
  t.m.cpu.Halted = 1;
  t.m.FrameTState = 5000;
  t.m.ports.BorderColour = 2;
  const uint8_t text[] = {'R', 'U', 'N'};
  StartTyping(t.m, text);  // turns full speed on

  ResetMachine(t.emu, false);
  bool kept = true;
  for (uint32_t a = 0x5B00; a < 0x10000; ++a) kept &= t.m.RamBlock[a] == uint8_t(a * 7);
  EXPECT_TRUE(kept);
  EXPECT_EQ(t.m.cpu.PC, 0);
  EXPECT_EQ(t.m.cpu.AF.w, 0);
  EXPECT_EQ(t.m.cpu.IR.w, 0);
  EXPECT_EQ(t.m.cpu.HL.w, 0xFFFF);
  EXPECT_EQ(t.m.cpu.IFF1 | t.m.cpu.IM | t.m.cpu.Halted, 0);
  EXPECT_EQ(t.m.FrameTState, 0u);
  EXPECT_EQ(t.m.FullSpeed, 0u);
  EXPECT_FALSE(TypingActive(t.m));
  EXPECT_EQ(t.m.ports.BorderColour, 7);

  // The screen is noise of 0..126 until the ROM clears it.
  std::set<uint8_t> values;
  for (int i = 0; i < 6912; ++i) values.insert(t.m.Peek(static_cast<uint16_t>(0x4000 + i)));
  EXPECT_LE(*values.rbegin(), 126);
  EXPECT_GT(values.size(), 100u);

  ResetMachine(t.emu, true);
  bool cleared = true;
  for (uint32_t a = 0x5B00; a < 0x10000; ++a) cleared &= t.m.RamBlock[a] == 0;
  EXPECT_TRUE(cleared);
}

TEST(ResetMachine, Model128KRestartsInRom0WithTheDefaultBanks) {
  TestMachine t(kModel128K);
  ResetMachine(t.emu, true);
  t.MarkRoms();
  t.Bank(3)[100] = 0x33;
  Write7FFD128(t.m, 0x3B);  // bank 3, screen 7, ROM 1, locked
  ResetMachine(t.emu, false);
  EXPECT_FALSE(t.m.PagingLock);
  EXPECT_EQ(t.m.Peek(0x0000), 0xA0);
  EXPECT_EQ(t.m.BankAtC000, 0);
  EXPECT_EQ(t.m.PageTable[6], t.Bank(0));
  EXPECT_EQ(t.m.ScreenBank, 5);
  EXPECT_EQ(t.Bank(3)[100], 0x33);  // a soft reset keeps the other banks
}

TEST(ResetMachine, Plus3RestartsInRom0FromAnyPaging) {
  TestMachine t(kModelPlus3);
  ResetMachine(t.emu, true);
  t.MarkRoms();
  // The +3's 48 BASIC runs in ROM 3; a reset must come back to the menu ROM.
  Write1FFD(t.m, 0x04);
  Write7FFDPlus3(t.m, 0x10);
  ASSERT_EQ(t.m.Peek(0x0000), 0xA3);
  ResetMachine(t.emu, false);
  EXPECT_EQ(t.m.Peek(0x0000), 0xA0);
  Write7FFDPlus3(t.m, 0x00);  // what the ROM does next must not bring ROM 2 in
  EXPECT_EQ(t.m.Peek(0x0000), 0xA0);

  // And from an all-RAM mode.
  Write1FFD(t.m, 0x07);
  ResetMachine(t.emu, false);
  EXPECT_FALSE(t.m.SpecialMode);
  EXPECT_TRUE(t.m.romWriteProtect);
  EXPECT_EQ(t.m.Peek(0x0000), 0xA0);
  EXPECT_EQ(t.m.PageTable[2], t.Bank(5));
  EXPECT_EQ(t.m.PageTable[4], t.Bank(2));
}

TEST(ResetMachine, TwoEmulatorsSideBySide) {
  TestMachine a(kModel48K), b(kModelPlus3);
  ResetMachine(a.emu, true);
  ResetMachine(b.emu, true);
  a.m.WriteByte(0x8000, 0x12);
  Write1FFD(b.m, 0x01);
  b.m.WriteByte(0x0000, 0x34);
  EXPECT_EQ(a.m.Peek(0x8000), 0x12);
  EXPECT_EQ(b.m.Peek(0x8000), 0x00);
  EXPECT_NE(a.m.Peek(0x0000), 0x34);
  EXPECT_FALSE(a.m.SpecialMode);
  EXPECT_EQ(a.m.FrameLength, 69888u);
  EXPECT_EQ(b.m.FrameLength, 70908u);
  EXPECT_EQ(a.m.MemoryContentionTable[14335], 6);
  EXPECT_EQ(b.m.MemoryContentionTable[14335], 0);
}

}  // namespace
}  // namespace orvo
