// orvo.ini and the options sheet's core: the exact text written, reading it back, the positional
// reader's rules and the failure paths; what each choice on the sheet does to the pending copy,
// what OK and Cancel do to the live machine, and how the live settings and the machine's own copy
// follow each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "formats/tape_parsers.h"
#include "machine/model.h"
#include "shell/config.h"
#include "shell/config_test_support.h"
#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "shell/window_commands.h"
#include "sound/fake_audio_device.h"
#include "sound/sound_output.h"
#include "tape/tape_player.h"

namespace orvo {
namespace {

// The file "Default Configuration" writes (tests/data/orvo_default.ini has "@" for the user's
// data folder, which holds the default folders, and LF line ends).
std::string ExpectedDefaultIni(const std::string& dataFolder, bool crlf = true) {
  std::string out;
  for (uint8_t c : test::ReadWholeFile(test::DataDir() / "orvo_default.ini"))
    out += c == '@' ? dataFolder : (c == '\n' && crlf ? "\r\n" : std::string(1, char(c)));
  return out;
}

// Editing a file's text (LF line ends) for the reader tests.
void Set(std::string& text, const std::string& keyEq, const std::string& value) {
  const size_t at = text.find("\n" + keyEq);
  ASSERT_NE(at, std::string::npos) << keyEq;
  const size_t from = at + 1 + keyEq.size();
  text.replace(from, text.find('\n', from) - from, value);
}
void Replace(std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}
// A section from its header to its separator line, both included.
std::string Block(const std::string& text, const std::string& header) {
  const size_t from = text.find(header + "\n");
  const size_t to = text.find("\n \n", from) + 3;
  return text.substr(from, to - from);
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

class ConfigFile : public test::ConfigFixture {
 protected:
  // The default file with LF line ends, for the tests to edit, with `edits` (key and "=", value).
  std::string Base(std::initializer_list<std::pair<std::string, std::string>> edits = {}) const {
    std::string text = ExpectedDefaultIni(DataFolder(), false);
    for (const auto& [keyEq, value] : edits) Set(text, keyEq, value);
    return text;
  }
};

// ---- writing ----

// "Default Configuration" writes the exact file; quitting in the middle of a fast load saves the
// user's frame skip, not the load's.
TEST_F(ConfigFile, DefaultsAndQuittingDuringAFastLoad) {
  ResetConfig(emu);
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(DataFolder()));
  EXPECT_TRUE(OptionsMessages(host).empty());
  emu.m.settings.Frameskip = 2;
  emu.m.settings.Fastload = 1;
  emu.m.tape.image = std::make_unique<TapeImage>();
  const std::vector<uint8_t> tone = {'Z', 'X', 'T',  'a',  'p',  'e',  '!', 0x1A,
                                     1,   20,  0x12, 0xE8, 0x03, 0x10, 0x27};
  ASSERT_TRUE(ParseTZX(*emu.m.tape.image, tone).Ok());
  EnterTapeBlock(emu.m, emu.m.tape.image->first);
  StartTape(emu.m);
  ASSERT_EQ(emu.m.settings.Frameskip, 11) << "fast loading draws one frame in eleven";
  ShutDown(emu);
  EXPECT_NE(ReadIni().find("Frameskip=2"), std::string::npos);
}

TEST_F(ConfigFile, SaveFailuresReportAndKeepThePreviousFile) {
  emu.m.settings.Frameskip = 7;
  emu.m.cpu.PC = 0x8000;
  emu.folders.ConfigFolder = (root_ / "no such folder").string();
  SaveConfig(emu);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{kMsgCannotSaveConfig});
  EXPECT_EQ(host.messages.back().text, "Cannot Save config file");
  // The settings in use and the running machine stay as they were.
  EXPECT_EQ(emu.m.settings.Frameskip, 7);
  EXPECT_EQ(emu.m.cpu.PC, 0x8000);
  EXPECT_FALSE(std::filesystem::exists(root_ / "no such folder"));
  // Without a configuration folder there is no file, and the save fails instead of landing in
  // the root folder.
  emu.folders.ConfigFolder.clear();
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_EQ(OptionsMessages(host).size(), 2u);
  EXPECT_FALSE(std::filesystem::exists("/orvo.ini"));

  // A new file that breaks off early in its writing leaves the old one whole, and no leftovers.
  PrepareFolders(emu);
  ResetConfig(emu);
  const std::string before = ReadIni();
  emu.m.settings.Frameskip = 9;
  test::WithFileSizeLimit(200, [&] { SaveConfig(emu); });
  EXPECT_EQ(OptionsMessages(host).back(), kMsgCannotSaveConfig);
  EXPECT_EQ(OptionsMessages(host).size(), 3u);
  EXPECT_EQ(ReadIni(), before);
  const std::filesystem::directory_iterator files(root_ / "config");
  EXPECT_EQ(std::distance(files, std::filesystem::directory_iterator()), 1);
}

// ---- reading back ----

// Read with its sections in another order, written back in the usual one.
TEST_F(ConfigFile, EveryLineReadsBackAndIsWrittenAgainAsItWas) {
  // A distinct value on every numeric line, negative ones for the placements.
  std::istringstream in(Base());
  std::string text, line;
  int value = 2, sign = 1;
  while (std::getline(in, line)) {
    if (line == "[Window Placements]") sign = -1;
    const size_t eq = line.find('=');
    if (eq != std::string::npos && line.find(" Dir=") == std::string::npos)
      line = line.substr(0, eq + 1) + std::to_string(sign * value++);
    text += line + "\n";
  }
  // Where the set-up would change a value: the 128K (which keeps the keyboard issue and ULA
  // snow), a 3x window, no Custom ROM.
  Set(text, "Model Type=", "2");
  Set(text, "Custom ROM=", "0");
  Set(text, "Beta 128=", "0");  // its TR-DOS ROM is not among the shipped ones
  Set(text, "DrawSize=", "3");
  Set(text, "Keyboard Issue=", "1");
  Set(text, "Spool Speed=", "20");
  Set(text, "Joystick Type=", "-4");
  Set(text, "MMap Back=", "16777215");
  Set(text, "Debugger=", "-120");
  Set(text, "Current ROM Dir=", RomFolder());
  Set(text, "Current_Snap Dir=", "/home/user/games/last.z80");
  Set(text, "Current Tape Dir=", "/tapes with blanks/");
  Set(text, "Current Download Dir=", "/dl=here/");
  std::string reordered;
  for (const char* header :
       {"[Shaders]", "[Window Placements]", "[Debugger]", "[Folders]", "[Input]", "[Disks]",
        "[Devices]", "[Sound]", "[Emulation]", "[Snapshots]", "[Tapes]", "[Display]", "[Hardware]"})
    reordered += Block(text, header);
  WriteIni(reordered + "[End]\n");
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_TRUE(OptionsMessages(host).empty());
  EXPECT_EQ(emu.m.MachineModel, 2);
  EXPECT_EQ(emu.m.settings.JoystickType, -4);
  EXPECT_EQ(emu.folders.CurrentSnapDir, "/home/user/games/last.z80");
  EXPECT_EQ(GetWindowPlacement(emu, Placement::Debugger).left, -120);
  std::filesystem::remove(IniPath());
  SaveConfig(emu);
  EXPECT_EQ(ReadIni(), Crlf(text));
}

TEST_F(ConfigFile, EditedValuesLoadAndTakeEffect) {
  std::string text = Base();
  // Value lines are read like stream extraction: blanks after "=", trailing junk, a line without
  // "=", a line without a number, a minus sign (read unsigned: -1 wraps, then the top of the
  // range). Key names are not read: each line is the next value in its section.
  Replace(text, Block(text, "[Emulation]"),
          "[Emulation]\nLate Timing=  1xyz\nContention=abc\nEmulation Speed=-1\nExit Msg\n5\n"
          "Rewind=0=9\nRewind Delay=+8\nCPU Speed=99999999999\n \n");
  Set(text, "DrawSize=", "4");  // full screen is not where a start begins: 100%
  Set(text, "Keyboard Issue=", "0");
  Set(text, "Keystick Type=", "1");
  Set(text, "Joystick Type=", "2");
  Set(text, "Mouse Type=", "1");
  // A folder is everything after the first "=", or the whole line without one.
  Set(text, "Current ROM Dir=", "/roms=a=b/");
  Replace(text, "Current_Snap Dir=" + DataFolder() + "/snapshots/", "no equals at all");
  Set(text, "Current Tape Dir=", "");
  Set(text, "Preset=", "/presets/crt = 1.glslp");
  Set(text, "Curved CRT Parameters=", "RADIUS=3;CURVATURE=0");
  emu.menu.Check(CommandId::View200, true);
  emu.menu.Check(CommandId::Fullscreen, true);
  WriteIni(text, /*lf=*/true);
  ASSERT_EQ(LoadConfig(emu), 0);
  const Settings& s = emu.settings;
  const std::vector<int> emulation = {s.LateTiming, s.Contention, s.ExitMsg,
                                      s.Focus,      s.Rewind,     s.RewindDelay};
  EXPECT_EQ(emulation, (std::vector<int>{1, 0, 0, 5, 0, 8}));
  EXPECT_EQ(s.CpuSpeed, 2147483647);
  EXPECT_EQ(s.EmulationSpeed, 1000.0f);  // used as it stands, beyond the slider's range
  EXPECT_EQ(s.DrawSize, 1);
  EXPECT_TRUE(emu.menu.IsChecked(CommandId::View100));
  EXPECT_FALSE(emu.menu.IsChecked(CommandId::Fullscreen));
  EXPECT_EQ(emu.m.input.KeystickActive, 1);  // the keystick wins when both are chosen
  EXPECT_EQ(emu.m.input.JoystickActive, 0);
  EXPECT_EQ(emu.m.input.MouseWanted, 1);
  EXPECT_EQ(emu.m.IssueMask, 0x18);  // issue 2 on the 48K
  EXPECT_EQ(emu.folders.CurrentRomDir, "/roms=a=b/");
  EXPECT_EQ(emu.folders.CurrentSnapDir, "no equals at all");
  EXPECT_EQ(emu.folders.CurrentTapeDir, "");
  EXPECT_EQ(emu.folders.CurrentDownloadDir, DataFolder() + "/downloads/");  // LF read too
  EXPECT_EQ(s.ShaderPreset, "/presets/crt = 1.glslp");
  EXPECT_EQ(s.ShaderParameters[4], "RADIUS=3;CURVATURE=0");
}

// After a restart the chosen controller's name, the Custom ROM file, the keystick and the rewind
// history (kept from start-up) are back; Hard Reset then reads the ROM file again; "Enable
// Keystick" lets go of what the keystick held.
TEST_F(ConfigFile, RestartKeepsDevicesAndHardResetRereadsTheRom) {
  const auto rom = root_ / "my.rom";
  std::ofstream(rom, std::ios::binary) << std::string(16384, '\x5A');
  emu.m.MachineModel = 6;
  Settings& s = emu.settings;
  s.CustomRom = 1;
  s.ModelType = 6;
  s.CustomRomPath = rom.string();
  s.CurrentJoystickName = "Pad = B";
  s.Rewind = 1;
  s.KeystickType = 1;
  SaveConfig(emu);
  s.CustomRomPath.clear();
  s.CurrentJoystickName.clear();
  emu.config.RomFileName.clear();  // as at start-up
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(s.CustomRomPath, rom.string());
  EXPECT_EQ(s.CurrentJoystickName, "Pad = B");
  EXPECT_EQ(emu.folders.LoadedRomPath, rom.string());
  EXPECT_TRUE(emu.config.RewindTimerRunning);
  EXPECT_TRUE(emu.menu.IsChecked(CommandId::EnableKeystick));

  emu.m.RomBuffer48[0] = 0;
  HardResetCommand(emu);
  EXPECT_EQ(emu.m.RomBuffer48[0], 0x5A);
  EXPECT_TRUE(OptionsMessages(host).empty());

  emu.m.input.HostKeysHeld = kDirLeft | kDirFire;
  ToggleKeystick(emu);
  EXPECT_EQ(emu.m.input.KeystickActive, 0);
  EXPECT_EQ(emu.m.input.HostKeysHeld, 0);
  EXPECT_FALSE(emu.menu.IsChecked(CommandId::EnableKeystick));
}

// ---- the positional reader ----

TEST_F(ConfigFile, SectionsNotReadKeepTheLastLoadOrZeroOnTheFirst) {
  const std::string text = Base({{"Contention=", "0"}, {"Model Type=", "2"}, {"SpecDrum=", "1"}});
  std::string cut = text;
  Replace(cut, Block(cut, "[Hardware]"), "");
  Replace(cut, "[Display]\n", "[Display] \n");  // ends the load like "[End]"
  WriteIni(cut);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_TRUE(OptionsMessages(host).empty());
  EXPECT_EQ(emu.m.settings.Contention, 0);  // read before the header: applied
  // Never read: zero. Model 0 is the 16K, an issue 2 board; no colours, no folders.
  EXPECT_EQ(emu.m.MachineModel, 0);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  EXPECT_EQ(emu.m.IssueMask, 0x18);
  EXPECT_EQ(emu.m.settings.Frameskip, 0);
  EXPECT_EQ(emu.folders.ConfiguredSnapDir, "");
  // Read before: the values of that load, not the live changes since.
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  emu.m.settings.SpecDrum = 0;
  WriteIni(cut);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 2);
  EXPECT_EQ(emu.m.settings.SpecDrum, 1);
}

TEST_F(ConfigFile, CustomModelKeepsTheRomFileNameAndJoinsItToTheRomFolder) {
  const std::string custom = Base({{"Model Type=", "6"}, {"Custom ROM=", "1"}});
  WriteIni(custom);
  // At start-up no ROM file name is current: there is no file to load.
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 6);
  EXPECT_EQ(emu.config.RomFileName, "");
  EXPECT_EQ(emu.settings.CustomRomPath, "");

  // After a 48K load the name is "48k.ROM": the Custom model finds that file in the ROM folder.
  WriteIni(Base());
  ASSERT_EQ(LoadConfig(emu), 0);
  WriteIni(custom);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 6);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  EXPECT_EQ(emu.settings.CustomRomPath, DataFolder() + "/roms/48k.ROM");
}

// ---- files that cannot be used ----

TEST_F(ConfigFile, UnusableFilesAreKeptAsBadBesideANewFileOfDefaults) {
  enum Kind { kMissing, kText, kFolder };
  const std::string full = Base({{"Model Type=", "3"}}), cut = full.substr(0, full.find("[Sound]"));
  // A missing file is the first start: silent. An unreadable one (a folder) is moved aside like
  // any other.
  const struct {
    const char* what;
    Kind kind;
    std::string text;
  } cases[] = {{"missing", kMissing, ""},
               {"empty", kText, ""},
               {"garbage", kText, "garbage\n[Emulation]\n"},
               {"ends before [End]", kText, cut},
               {"a folder", kFolder, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(IniPath());
    if (c.kind == kText) WriteIni(c.text);
    if (c.kind == kFolder) std::filesystem::create_directory(IniPath());
    test::RecordingHost h;
    Emulator e(h);
    PrepareFolders(e);
    e.m.settings.Frameskip = 5;
    EXPECT_EQ(LoadConfig(e), 1);
    EXPECT_EQ(OptionsMessages(h), c.kind == kMissing ? std::vector<MessageId>{}
                                                     : std::vector<MessageId>{kMsgConfigCorrupt});
    const std::string bad = IniPath() + ".bad";
    EXPECT_EQ(std::filesystem::exists(bad), c.kind != kMissing);
    if (c.kind == kText) {
      EXPECT_EQ(ReadIni(".bad"), Crlf(c.text));  // what the user had, kept whole
    }
    EXPECT_EQ(h.plainMessages,
              c.kind == kMissing ? std::vector<std::string>{}
                                 : std::vector<std::string>{"Orvo Error|Creating new config file; "
                                                            "the old one is kept as orvo.ini.bad"});
    std::filesystem::remove_all(bad);
    // Nothing read is applied: defaults throughout, the +2 read from the cut file only staged.
    EXPECT_EQ(e.m.settings.Frameskip, 1);
    EXPECT_EQ(e.m.MachineModel, 1);
    if (c.text == cut) {
      EXPECT_EQ(e.LoadedSettings.ModelType, 3);
    }
    EXPECT_EQ(ReadIni(), ExpectedDefaultIni(DataFolder()));
  }
  std::filesystem::remove_all(IniPath());
}

TEST_F(ConfigFile, AStrayLineKeepsTheOtherSettingsAndTheFileAsBad) {
  std::string text = Base({{"Frameskip=", "7"}, {"Tape Traps=", "1"}, {"Late Timing=", "1"}});
  // One stray line between two sections, one inside [Emulation] (its values are shifted: the
  // section is dropped, the others are read).
  Replace(text, "[Tapes]\n", "# my note\n[Tapes]\n");
  Replace(text, "Contention=", "stray\nContention=");
  WriteIni(text);
  EXPECT_EQ(LoadConfig(emu), 1);
  ASSERT_EQ(OptionsMessages(host), std::vector<MessageId>{kMsgConfigKeptAsBad});
  EXPECT_NE(host.messages.back().text.find(IniPath() + ".bad"), std::string::npos);
  EXPECT_EQ(emu.settings.Frameskip, 7);
  EXPECT_EQ(emu.settings.TapeTraps, 1);
  EXPECT_EQ(emu.settings.LateTiming, 0);  // the shifted section keeps what it had
  EXPECT_EQ(ReadIni(".bad"), Crlf(text));
  // The new file holds what was understood and reads back cleanly.
  host.messages.clear();
  EXPECT_EQ(LoadConfig(emu), 0);
  EXPECT_TRUE(OptionsMessages(host).empty());
  EXPECT_EQ(emu.settings.Frameskip, 7);
}

TEST_F(ConfigFile, AReadOnlyFileIsLeftAsItIs) {
  const std::string text = Base({{"Frameskip=", "4"}});
  WriteIni(text);
  std::filesystem::permissions(IniPath(), std::filesystem::perms::owner_read |
                                              std::filesystem::perms::group_read |
                                              std::filesystem::perms::others_read);
  ASSERT_EQ(LoadConfig(emu), 0);
  emu.settings.Frameskip = 9;
  SaveConfig(emu);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{kMsgConfigReadOnly});
  EXPECT_EQ(ReadIni(), Crlf(text));
  EXPECT_EQ(emu.settings.Frameskip, 9);  // the session goes on with its settings
  // Nor is it moved aside when a line is not understood or it is cut short.
  for (const std::string& damaged : {"stray\n" + text, text.substr(0, 300)}) {
    std::filesystem::permissions(IniPath(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    WriteIni(damaged);
    std::filesystem::permissions(IniPath(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    host.messages.clear();
    EXPECT_EQ(LoadConfig(emu), 1);
    EXPECT_EQ(OptionsMessages(host).back(), kMsgConfigReadOnly);
    EXPECT_EQ(ReadIni(), Crlf(damaged));
    EXPECT_FALSE(std::filesystem::exists(IniPath() + ".bad"));
  }
}

TEST_F(ConfigFile, ValuesOutOfRangeAreClampedAndSavedClamped) {
  const struct {
    const char* keyEq;
    const char* value;
    const char* saved;
  } cases[] = {
      {"Emulation Speed=", "0", "2"}, {"Emulation Speed=", "5000", "1000"},
      {"DrawSize=", "0", "1"},        {"DrawSize=", "9", "1"},  // 4, full screen, opens at 1
      {"Spool Speed=", "0", "5"},     {"Spool Speed=", "99", "30"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.keyEq) + c.value);
    WriteIni(Base({{c.keyEq, c.value}}));
    ASSERT_EQ(LoadConfig(emu), 0);
    SaveConfig(emu);
    EXPECT_NE(ReadIni().find(std::string("\n") + c.keyEq + c.saved + "\r"), std::string::npos);
  }
}

class ConfigOptions : public test::ConfigFixture {
 protected:
  void SetUp() override {
    ConfigFixture::SetUp();
    ResetConfig(emu);  // a 48K with defaults
    host.messages.clear();
  }
  // Puts a model in place as a snapshot would: the machine's model only.
  void SwitchModel(int model) {
    emu.m.MachineModel = static_cast<uint8_t>(model);
    emu.settings.ModelType = model;
  }
};

TEST_F(ConfigOptions, HardwarePageRules) {
  // Every hardware choice but the CMOS Z80 resets the machine on OK.
  const std::function<void()> choices[] = {
      [&] { OptionsChooseCustomRom(emu, "/some/where/my.rom"); },
      [&] { OptionsSetPeripheral(emu, &Settings::USpeech, true); },
      [&] { OptionsSetLateTiming(emu, true); }, [&] { OptionsSetContention(emu, false); },
      [&] { OptionsSetMultiface(emu, true); }};
  for (const auto& choose : choices) {
    BeginOptions(emu);
    OptionsSetPeripheral(emu, &Settings::Z80IsCmos, true);
    EXPECT_FALSE(emu.config.HardwareChanged);
    choose();
    EXPECT_TRUE(emu.config.HardwareChanged);
  }
}

TEST_F(ConfigOptions, AddOnsFollowTheLiveModel) {
  const struct {
    int model;
    bool interface1, fullerAy, keyboardIssue;
  } rows[] = {
      {kModel16K, true, true, false},
      {kModel48K, true, true, true},
      {kModel128K, true, false, false},
      {kModelPlus2A, false, false, false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.model);
    SwitchModel(r.model);
    BeginOptions(emu);
    EXPECT_EQ(OptionsKeyboardIssueEnabled(emu), r.keyboardIssue);
    OptionsSetInterface1(emu, true);
    OptionsSetFullerAy(emu, true);
    EXPECT_EQ(emu.PendingSettings.Interface1, r.interface1 ? 1 : 0);
    EXPECT_EQ(emu.PendingSettings.FullerAy, r.fullerAy ? 1 : 0);
  }
}

TEST_F(ConfigOptions, FolderRows) {
  // Rows left alone keep their text, even the last opened file in the snapshot row.
  emu.folders.CurrentSnapDir = "/games/last.z80";
  BeginOptions(emu);
  EXPECT_EQ(*OptionsPendingFolder(emu, 2), DataFolder() + "/tapes/");
  EXPECT_EQ(OptionsPendingFolder(emu, 4), nullptr);
  OptionsSetFolderFromPicker(emu, 0, "/media/roms");
  OptionsSetFolderFromText(emu, 3, std::string(100, 'd'));  // cut to 80 characters
  EXPECT_EQ(FolderFieldText("/home/me/games/last.z80"), "/home/me/games/");
  EXPECT_EQ(emu.folders.CurrentRomDir, DataFolder() + "/roms/");  // nothing live before OK
  OptionsOk(emu);
  EXPECT_EQ(emu.folders.ConfiguredRomDir, "/media/roms/");
  EXPECT_EQ(emu.folders.CurrentRomDir, "/media/roms/");
  EXPECT_EQ(emu.folders.CurrentDownloadDir, std::string(80, 'd') + "/");
  EXPECT_EQ(emu.folders.CurrentSnapDir, "/games/last.z80");
}

TEST_F(ConfigOptions, OkWithoutAHardwareChangeKeepsTheMachineRunning) {
  emu.m.RamBlock[0x8000] = 0x5A;
  emu.m.cpu.PC = 0x1234;
  emu.m.FocusPaused = 1;
  emu.m.input.KeyRows[3] = 0xFE;
  emu.m.input.CapsLatched = 1;
  BeginOptions(emu);
  emu.PendingSettings.Frameskip = 4;
  emu.PendingSettings.Rewind = 1;
  emu.PendingSettings.MouseType = 2;
  emu.PendingSettings.Colours = 2;  // "Green Screen"
  emu.PendingSettings.RecreatedSpectrum = 1;
  OptionsSetPeripheral(emu, &Settings::Z80IsCmos, true);
  const int displaySetUps = host.displaySetUps;
  OptionsOk(emu);
  EXPECT_EQ(emu.m.cpu.PC, 0x1234);
  EXPECT_EQ(emu.m.RamBlock[0x8000], 0x5A);
  EXPECT_EQ(emu.m.settings.Frameskip, 4);
  EXPECT_EQ(emu.m.settings.Z80IsCmos, 1);
  EXPECT_EQ(emu.m.FocusPaused, 0);
  EXPECT_TRUE(emu.config.RewindTimerRunning);
  EXPECT_EQ(emu.config.RewindHistoryClears, 1u);
  EXPECT_EQ(emu.m.input.MouseWanted, 1);
  EXPECT_GT(host.displaySetUps, displaySetUps);
  EXPECT_EQ(emu.m.video.ColourTable[15], 0x00FF00u);
  // The recreated keyboard starts with every key up.
  EXPECT_EQ(emu.m.input.KeyRows[3], 0xFF);
  EXPECT_EQ(emu.m.input.CapsLatched, 0);

  BeginOptions(emu);
  emu.PendingSettings.Rewind = 0;
  OptionsOk(emu);
  EXPECT_FALSE(emu.config.RewindTimerRunning);
  EXPECT_EQ(emu.config.RewindHistoryClears, 1u);
}

TEST_F(ConfigOptions, OkFollowsTheModelAndAddOns) {
  // CRC byte 2 becomes 255 on the +3 only; Interface 1 brings the Microdrives item.
  BeginOptions(emu);
  emu.PendingSettings.CrcByte = 2;
  OptionsSetInterface1(emu, true);
  OptionsOk(emu);
  EXPECT_EQ(emu.settings.CrcByte, 2);
  EXPECT_TRUE(emu.menu.IsEnabled(CommandId::Microdrives));
  BeginOptions(emu);
  OptionsChooseModel(emu, kModelPlus3);
  OptionsSetInterface1(emu, false);
  OptionsOk(emu);
  EXPECT_EQ(emu.settings.CrcByte, 255);
  EXPECT_FALSE(emu.menu.IsEnabled(CommandId::Microdrives));
  SaveConfig(emu);
  EXPECT_NE(ReadIni().find("CRC byte=255\r\n"), std::string::npos);

  // A snapshot switched the model under settings that still name the old one: OK without
  // touching the model keeps the machine's model.
  SwitchModel(kModelPlus2A);
  emu.settings.ModelType = kModel48K;
  BeginOptions(emu);
  EXPECT_EQ(emu.PendingSettings.ModelType, kModelPlus2A);
  OptionsOk(emu);
  EXPECT_EQ(emu.m.MachineModel, kModelPlus2A);
}

// The live settings and the machine's copy: what the machine changes itself comes back to the
// live settings (and so to orvo.ini), and a live change the machine has not seen is kept.
TEST(MachineSettings, TheMachinesOwnChangesAreReadBackAndLiveChangesKept) {
  test::RecordingHost host;
  Emulator emu(host);
  emu.settings.Frameskip = 5;  // live, not yet copied in
  emu.m.settings.Ay48k = 1;    // a program used the AY on a 48K
  emu.ReadBackMachineSettings();
  EXPECT_EQ(emu.settings.Ay48k, 1);
  EXPECT_EQ(emu.settings.Frameskip, 5);
  EXPECT_EQ(emu.m.settings.Frameskip, 1);

  emu.ApplyMachineSettings();
  EXPECT_EQ(emu.m.settings.Frameskip, 5);
  // Read back once, a value stays the live one until the machine changes it again.
  emu.settings.Ay48k = 0;
  emu.ReadBackMachineSettings();
  EXPECT_EQ(emu.settings.Ay48k, 0);

  emu.m.settings.EmulationSpeed = 250.0f;
  CapturePendingSettings(emu);  // what the options sheet shows and SaveConfig writes
  EXPECT_EQ(emu.PendingSettings.EmulationSpeed, 250.0f);
  EXPECT_EQ(emu.PendingSettings.Frameskip, 5);
}

// ---- what OK sets going in other subsystems ----

class SoundHost final : public Host {
 public:
  void ShowMessage(CaptionId, MessageId, std::string_view) override {}
  bool AskYesNo(std::string_view, std::string_view) override { return true; }
  Clock& GetClock() override { return clock; }
  AudioDevice* Audio() override { return &device; }
  test::FakeClock clock;
  test::FakeAudioDevice device{&clock};
};

TEST_F(ConfigOptions, OkReopensTheSoundOutputWithTheNewFormat) {
  SoundHost soundHost;
  Emulator e(soundHost);
  PrepareFolders(e);
  ResetConfig(e);
  ASSERT_EQ(InitSound(e), 0);
  EXPECT_EQ(soundHost.device.format.samplesPerSecond, 44100u);
  BeginOptions(e);
  e.PendingSettings.Freq = 22050;
  e.PendingSettings.SoundBits = 8;
  OptionsOk(e);
  const auto& calls = soundHost.device.calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "close"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"), 2);
  EXPECT_EQ(soundHost.device.format.samplesPerSecond, 22050u);
  EXPECT_EQ(soundHost.device.format.bitsPerSample, 8);
}

}  // namespace
}  // namespace orvo
