// ROM loading, machine set-up, reset and booting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

#include "devices/disk_fast_trap.h"
#include "machine/memory.h"
#include "machine/typing.h"
#include "machine_fixture.h"
#include "shell/frame_loop.h"
#include "shell/microdrive_commands.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "tape/tape_player.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;
using test::TestMachine;

using test::ScopedEnv;

// A machine whose ROM folder is a fresh, empty one, removed at the end of the test; the user's and
// the system's data folders are empty folders inside it, so that no installed ROM is found.
struct Bare {
  explicit Bare(uint8_t model) {
    emu.folders.CurrentRomDir = dir.string();
    m.MachineModel = model;
  }
  // A file of `size` bytes of `fill` whose second half is inverted, so that a test can tell
  // which part was loaded.
  std::string Write(const fs::path& name, size_t size, uint8_t fill) const {
    fs::create_directories((dir / name).parent_path());
    std::vector<char> bytes(size, static_cast<char>(fill));
    for (size_t i = size / 2; i < size; ++i) bytes[i] = static_cast<char>(fill ^ 0xFF);
    std::ofstream(dir / name, std::ios::binary).write(bytes.data(), std::streamsize(size));
    return (dir / name).string();
  }
  bool RomsBlank() const {
    auto blank = [](uint8_t v) { return v == 0xFF; };
    return std::all_of(m.RomBuffer48.begin(), m.RomBuffer48.end(), blank) &&
           std::all_of(m.RomBuffer128.begin(), m.RomBuffer128.end(), blank);
  }
  test::TempDir temp;
  fs::path dir = temp.path;
  ScopedEnv userData{"XDG_DATA_HOME", (dir / "data").string()};
  ScopedEnv systemData{"XDG_DATA_DIRS",
                       (dir / "sys1").string() + ":relative:" + (dir / "sys2").string() + "/"};
  test::RecordingHost host;
  Emulator emu{host};
  MachineState& m = emu.m;
};

TEST(LoadRoms, MissingOrWrongLengthFilesReportAndLeaveTheRomsBlank) {
  const struct {
    uint8_t model;
    const char* name;  // written with `size` bytes; nullptr: nothing (a folder when size is 1)
    size_t size;
    const char* text;
  } cases[] = {
      {kModelPlus3, nullptr, 0, "ROM missing\n\nplus3.rom"},
      {kModel48K, "48k.rom", 1, "ROM missing\n\n48k.rom"},  // a folder of the ROM's name
      {kModel48K, "48k.rom", 16383, "ROM file incorrect length"},
      {kModel128K, "128k.rom", 16384, "ROM file incorrect length"},  // only half of the pair
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Bare b(c.model);
    if (c.name && c.size == 1) fs::create_directory(b.dir / c.name);
    if (c.name && c.size > 1) b.Write(c.name, c.size, 0x12);
    EXPECT_EQ(LoadRoms(b.emu), 1);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0].caption, CaptionId::Error);
    const std::string& text = b.host.messages[0].text;
    EXPECT_EQ(text.substr(0, std::string(c.text).size()), c.text);
    // A missing ROM names the folders it was looked for in, the configured one first.
    if (b.host.messages[0].message == kMsgRomMissing) {
      EXPECT_NE(text.find("\n\nLooked in:\n" + b.dir.string() + "/\n"), std::string::npos) << text;
    }
    EXPECT_TRUE(b.RomsBlank());
  }
}

TEST(LoadRoms, LooksInTheConfiguredFolderThenBesideTheProgramThenTheUsersAndTheInstalledData) {
  // PREFIX/bin holds the program; PREFIX/share/orvo/roms is the installation's ROM folder.
  Bare b(kModel48K);
  const fs::path prefix = b.dir / "prefix";
  b.emu.folders.ProgramFolder = (prefix / "bin").string();
  b.emu.folders.RomsFolder = (prefix / "bin/roms/").string();
  b.emu.folders.CurrentRomDir = (b.dir / "configured").string();

  const struct {
    fs::path folder;  // where a ROM of `fill` is written, most distant first
    uint8_t fill;
  } steps[] = {{b.dir / "sys2/orvo/roms", 0x01},   {b.dir / "sys1/orvo/roms", 0x02},
               {prefix / "share/orvo/roms", 0x11}, {b.dir / "data/orvo/roms", 0x22},
               {prefix / "bin/roms", 0x33},        {b.dir / "configured", 0x44}};
  for (const auto& step : steps) {
    b.Write(fs::relative(step.folder / "48k.rom", b.dir), 16384, step.fill);
    EXPECT_EQ(LoadRoms(b.emu), 0) << step.folder;
    EXPECT_EQ(b.m.RomBuffer48[0], step.fill) << step.folder;
    EXPECT_EQ(b.emu.folders.LoadedRomPath, (step.folder / "48k.rom").string());
  }
  EXPECT_TRUE(b.host.messages.empty());
}

// Every ROM goes through the same search: a model's, Interface 1's, a custom one named without a
// folder. A name is found as written, or with other capitals when no folder has it as written.
TEST(LoadRoms, EveryRomIsLookedForInTheSameFoldersByItsNameAsWritten) {
  Bare b(kModel48K);
  b.emu.folders.CurrentRomDir = (b.dir / "empty").string();
  b.Write("sys2/orvo/roms/48K.ROM", 16384, 0x55);  // capitals of another program's habit
  EXPECT_EQ(LoadRoms(b.emu), 0);
  EXPECT_EQ(b.m.RomBuffer48[0], 0x55);
  // A folder earlier in the search wins, whatever the capitals of the name in the later one.
  b.Write("data/orvo/roms/48k.rom", 16384, 0x66);
  EXPECT_EQ(LoadRoms(b.emu), 0);
  EXPECT_EQ(b.m.RomBuffer48[0], 0x66);
  EXPECT_EQ(b.emu.folders.LoadedRomPath, (b.dir / "data/orvo/roms/48k.rom").string());

  // Interface 1's ROM, from the system's data folder.
  b.Write("sys1/orvo/roms/IF1.rom", 8192, 0x77);
  b.emu.settings.Interface1 = 1;
  EXPECT_EQ(LoadInterface1Rom(b.emu), 0);
  ASSERT_EQ(b.m.If1Rom.size(), 8192u);
  EXPECT_EQ(b.m.If1Rom[0], 0x77);

  // A custom ROM named without a folder, and one with a folder, which is used as it stands.
  b.m.MachineModel = kModelCustom;
  b.Write("data/orvo/roms/mine.bin", 16384, 0x88);
  b.emu.settings.CustomRomPath = "mine.bin";
  EXPECT_EQ(LoadRoms(b.emu), 0);
  EXPECT_EQ(b.m.RomBuffer48[0], 0x88);
  b.emu.settings.CustomRomPath = (b.dir / "elsewhere/mine.bin").string();
  EXPECT_EQ(LoadRoms(b.emu), 1);
  EXPECT_TRUE(b.host.messages.size() == 1 && b.host.messages[0].message == kMsgRomMissing);
}

// "ROM missing" lists every folder searched, for an add-on's ROM as for the machine's, and the
// system's data folders given relative are left out.
TEST(LoadRoms, RomMissingListsTheFoldersSearched) {
  Bare b(kModel48K);
  b.emu.settings.Interface1 = 1;
  EXPECT_EQ(LoadInterface1Rom(b.emu), 1);
  EXPECT_EQ(b.emu.settings.Interface1, 0);  // off until its ROM is there
  ASSERT_EQ(b.host.messages.size(), 1u);
  EXPECT_EQ(b.host.messages[0].text, "ROM missing\n\nIF1.rom\n\nLooked in:\n" + b.dir.string() +
                                         "/\n" + b.dir.string() + "/data/orvo/roms/\n" +
                                         b.dir.string() + "/sys1/orvo/roms/\n" + b.dir.string() +
                                         "/sys2/orvo/roms/");
}

TEST(LoadRoms, CustomRomOf16Or32KBMapsTheFirst16KB) {
  Bare b(kModelCustom);
  b.emu.settings.CustomRomPath = b.Write("mine.bin", 32768, 0x3C);
  EXPECT_EQ(LoadRoms(b.emu), 0);
  EXPECT_TRUE(b.host.messages.empty());
  EXPECT_EQ(b.m.RomBuffer48[16383], 0x3C);  // the first half of the file
  EXPECT_EQ(b.m.RomDisplayName, "mine.bin");

  b.emu.settings.CustomRomPath = b.Write("odd.rom", 16385, 0x11);
  EXPECT_EQ(LoadRoms(b.emu), 1);
  EXPECT_EQ(b.host.messages.at(0).message, kMsgRomLength);
  EXPECT_TRUE(b.RomsBlank());

  b.emu.settings.CustomRomPath.clear();
  EXPECT_EQ(LoadRoms(b.emu), 1);
  EXPECT_EQ(b.host.messages.back().message, kMsgRomMissing);
}

TEST(SetUpMachine, ModelDependentSettingsAndBadModels) {
  TestMachine t(kModel16K);
  // A 16K is always an issue 2 board, a 128K-family machine an issue 3 one; the 48K and Custom
  // follow the option, whatever the model before them left.
  const struct {
    uint8_t model;
    int option;  // "Keyboard Issue": 0 issue 2, 1 issue 3
    bool issue3;
  } issues[] = {{kModel16K, 1, 0},  {kModel48K, 1, 1},    {kModel48K, 0, 0},
                {kModel128K, 0, 1}, {kModelCustom, 1, 1}, {kModelCustom, 0, 0}};
  for (const auto& c : issues) {
    t.m.MachineModel = c.model;
    t.emu.settings.KeyboardIssue = c.option;
    SetUpMachine(t.emu);
    EXPECT_EQ(t.m.Issue3Keyboard, c.issue3) << int(c.model) << " option " << c.option;
    EXPECT_EQ(t.m.IssueMask, c.issue3 ? 0x10 : 0x18) << int(c.model) << " option " << c.option;
  }
  t.m.KeyWaitAddress = 0x3683;
  SetUpMachine(t.emu);
  EXPECT_EQ(t.m.KeyWaitAddress, 0x3683);  // the Custom model keeps its key-wait address

  // The disk trap only on a +3 with fast loading, and the tape's kept beside it; no snow on the
  // +2A/+3.
  SetTapeTraps(t.m, true);
  t.m.settings.UlaSnow = 1;
  for (const auto& [model, fast, disk] :
       {std::tuple{kModel48K, 1, false}, {kModelPlus3, 1, true}, {kModelPlus3, 0, false}}) {
    t.m.MachineModel = model;
    t.m.settings.DiskFastLoad = fast;
    SetUpMachine(t.emu);
    EXPECT_TRUE(t.m.FetchTraps.Has(kTapeLoadTrapAddress));
    // (Live while the +3DOS ROM is paged in.)
    if (disk) {
      t.m.WritePort(0x1FFD, 0x04);
      t.m.WritePort(0x7FFD, 0x00);
    }
    EXPECT_EQ(t.m.FetchTraps.Has(kDiskDelayLoopAddress), disk) << int(model) << " " << fast;
    EXPECT_EQ(t.m.settings.UlaSnow, model == kModel48K);
  }

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
  t.m.cpu.PC = t.m.cpu.AF.w = t.m.cpu.IR.w = 0x1234;
  t.m.cpu.IFF1 = t.m.cpu.IM = t.m.cpu.Halted = 1;
  t.m.FrameTState = 5000;
  t.m.ports.BorderColour = 2;
  const uint8_t text[] = {'R', 'U', 'N'};
  StartTyping(t.m, text);  // turns full speed on

  ResetMachine(t.emu, false);
  EXPECT_EQ(t.m.RamBlock[0xFEDC], uint8_t(0xFEDC * 7));
  EXPECT_EQ(t.m.cpu.PC | t.m.cpu.AF.w | t.m.cpu.IR.w | t.m.cpu.IFF1 | t.m.cpu.IM, 0);
  EXPECT_EQ(t.m.cpu.Halted | t.m.FrameTState | t.m.FullSpeed, 0u);
  EXPECT_EQ(t.m.cpu.HL.w, 0xFFFF);
  EXPECT_FALSE(TypingActive(t.m));
  EXPECT_EQ(t.m.ports.BorderColour, 7);

  // The screen is noise of 0..126 until the ROM clears it.
  std::set<uint8_t> values;
  for (int i = 0; i < 6912; ++i) values.insert(t.m.Peek(static_cast<uint16_t>(0x4000 + i)));
  EXPECT_LE(*values.rbegin(), 126);
  EXPECT_GT(values.size(), 100u);

  ResetMachine(t.emu, true);
  EXPECT_TRUE(
      std::all_of(&t.m.RamBlock[0x5B00], &t.m.RamBlock[0xFFFF], [](uint8_t v) { return !v; }));
}

}  // namespace
}  // namespace orvo
