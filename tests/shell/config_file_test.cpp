// orvo.ini: the exact text written, reading it back, the positional reader's rules and the
// failure paths.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "shell/config.h"
#include "shell/config_test_support.h"
#include "shell/emulator.h"

namespace orvo {
namespace {

// The file "Default Configuration" writes (tests/data/orvo_default.ini has "@" for the program
// folder and LF line ends).
std::string ExpectedDefaultIni(const std::string& programFolder, bool crlf = true) {
  const std::vector<uint8_t> bytes = test::ReadWholeFile(test::DataDir() / "orvo_default.ini");
  std::string out;
  for (uint8_t c : bytes) {
    if (c == '@') {
      out += programFolder;
    } else if (c == '\n' && crlf) {
      out += "\r\n";
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
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
void Remove(std::string& text, const std::string& header) {
  Replace(text, Block(text, header), "");
}

class ConfigFile : public test::ConfigFixture {
 protected:
  // The default file with LF line ends, for the tests to edit.
  std::string Base() const { return ExpectedDefaultIni(ProgramFolder(), false); }
};

// Every numeric setting, for comparisons field by field.
// clang-format off
constexpr int32_t Settings::*kIntFields[] = {
    &Settings::LateTiming, &Settings::Contention, &Settings::ExitMsg, &Settings::Focus,
    &Settings::Rewind, &Settings::RewindDelay, &Settings::CpuSpeed, &Settings::ModelType,
    &Settings::CustomRom, &Settings::Interface1, &Settings::Multiface, &Settings::FullerAy,
    &Settings::SpecDrum, &Settings::SoftRom, &Settings::USpeech, &Settings::FullerOrator,
    &Settings::Z80IsCmos, &Settings::DrawMode, &Settings::DrawSize, &Settings::Scanlines,
    &Settings::UlaPlus, &Settings::Colours, &Settings::Frameskip, &Settings::Vsync,
    &Settings::DisableAttributes, &Settings::UlaSnow, &Settings::OptShader, &Settings::Sound,
    &Settings::SoundVolume, &Settings::Output, &Settings::Effect, &Settings::Ay48k,
    &Settings::Freq, &Settings::SoundBits, &Settings::KeyboardIssue, &Settings::SpoolSpeed,
    &Settings::KeystickType, &Settings::JoystickType, &Settings::CurrentJoystick,
    &Settings::MouseType, &Settings::RecreatedSpectrum, &Settings::TapeTraps,
    &Settings::TapeWobble, &Settings::Autoload, &Settings::Fastload, &Settings::Polarity,
    &Settings::Z80Version, &Settings::Save1FFD, &Settings::SnapshotSave, &Settings::DataCompressed,
    &Settings::CrcByte, &Settings::DiskFastLoad, &Settings::DiskAutoload, &Settings::Basic,
    &Settings::DisRom, &Settings::DisSave, &Settings::MMapByteOrder, &Settings::MMapByteRead,
    &Settings::MMapByteWrite, &Settings::MMapFore, &Settings::MMapBack};
// clang-format on

void ExpectSameSettings(const Settings& a, const Settings& b) {
  for (size_t i = 0; i < std::size(kIntFields); ++i)
    EXPECT_EQ(a.*kIntFields[i], b.*kIntFields[i]) << "numeric setting #" << i;
  EXPECT_EQ(a.EmulationSpeed, b.EmulationSpeed);
}

// ---- writing ----

TEST_F(ConfigFile, DefaultConfigurationWritesTheExactFile) {
  ResetConfig(emu);
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(ProgramFolder()));
  EXPECT_TRUE(OptionsMessages(host).empty());
}

TEST_F(ConfigFile, SaveFailureReportsAndRestoresDefaultsWithoutWriting) {
  emu.m.settings.Frameskip = 7;
  emu.m.settings.TapeTraps = 1;
  emu.folders.ConfigFolder = (root_ / "no such folder").string();
  SaveConfig(emu);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{7});
  EXPECT_EQ(host.messages.back().text, "07 - Cannot Save config file");
  EXPECT_EQ(emu.m.settings.Frameskip, 1);
  EXPECT_EQ(emu.m.settings.TapeTraps, 0);
  EXPECT_FALSE(std::filesystem::exists(root_ / "no such folder"));
  EXPECT_FALSE(std::filesystem::exists(IniPath()));
}

TEST_F(ConfigFile, WriteFailingMidwayKeepsThePreviousFile) {
  ResetConfig(emu);
  const std::string before = ReadIni();
  // Let no file grow past 200 bytes: the new file breaks off early in its writing.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 200;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  emu.m.settings.Frameskip = 9;
  SaveConfig(emu);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{7});
  EXPECT_EQ(ReadIni(), before);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(root_ / "config"))
    ++files;
  EXPECT_EQ(files, 1);
}

// ---- reading back ----

TEST_F(ConfigFile, WrittenFileReadsBackEverySettingFolderAndPlacement) {
  Settings& s = emu.m.settings;
  // Distinct non-default values wherever the set-up leaves them alone (the 128K keeps ULA snow
  // and the keyboard issue; DrawSize 4 would come back as 1).
  int32_t v = 2;
  for (int32_t Settings::*field : kIntFields) s.*field = v++;
  s.ModelType = 2;
  emu.m.MachineModel = 2;
  s.KeyboardIssue = 1;
  s.DrawSize = 3;
  s.CustomRom = 0;
  s.JoystickType = -4;
  s.MMapBack = 16777215;
  s.EmulationSpeed = 250.75f;
  emu.folders.CurrentRomDir = RomFolder();
  emu.folders.CurrentSnapDir = "/home/user/games/last.z80";
  emu.folders.CurrentTapeDir = "/tapes with blanks/";
  emu.folders.CurrentDownloadDir = "/dl=here/";
  for (int i = 0; i < kPlacementCount; ++i)
    SetWindowPlacement(emu, static_cast<Placement>(i), {i * 7 - 30, 1000 + i});
  emu.config.placements.WindowSize = 3;
  SaveConfig(emu);
  const std::string written = ReadIni();

  test::RecordingHost host2;
  Emulator fresh(host2);
  PrepareFolders(fresh);
  ASSERT_EQ(LoadConfig(fresh), 0);
  EXPECT_TRUE(OptionsMessages(host2).empty());
  Settings expected = s;
  expected.EmulationSpeed = 250.0f;  // written as its integer part
  ExpectSameSettings(fresh.m.settings, expected);
  EXPECT_EQ(fresh.m.MachineModel, 2);
  EXPECT_EQ(fresh.folders.CurrentRomDir, RomFolder());
  EXPECT_EQ(fresh.folders.ConfiguredSnapDir, "/home/user/games/last.z80");
  EXPECT_EQ(fresh.folders.CurrentSnapDir, "/home/user/games/last.z80");
  EXPECT_EQ(fresh.folders.CurrentTapeDir, "/tapes with blanks/");
  EXPECT_EQ(fresh.folders.CurrentDownloadDir, "/dl=here/");
  EXPECT_EQ(fresh.config.placements, emu.config.placements);
  EXPECT_EQ(GetWindowPlacement(fresh, Placement::MainWindow), (WindowPosition{-30, 1000}));

  // And the file it writes is the same file.
  SaveConfig(fresh);
  EXPECT_EQ(ReadIni(), written);
}

TEST_F(ConfigFile, LoadAcceptsLfLineEnds) {
  std::string text = Base();
  Set(text, "Sound Volume=", "70");
  WriteIni(text, /*lf=*/true);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.SoundVolume, 70);
  EXPECT_EQ(emu.folders.CurrentDownloadDir, ProgramFolder() + "/downloads/");
}

// ---- the positional reader ----

TEST_F(ConfigFile, SectionsInAnotherOrderLoadTheSame) {
  std::string text = Base();
  Set(text, "Spool Speed=", "20");
  Set(text, "Mouse Type=", "2");
  Set(text, "Current_Snap Dir=", "/snaps/");
  Set(text, "Debugger=", "-5");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.SpoolSpeed, 20);

  std::string reordered;
  for (const char* header :
       {"[Window Placements]", "[Debugger]", "[Folders]", "[Input]", "[Disks]", "[Sound]",
        "[Emulation]", "[Snapshots]", "[Tapes]", "[Display]", "[Hardware]"})
    reordered += Block(text, header);
  WriteIni(reordered + "[End]\n");
  test::RecordingHost host2;
  Emulator other(host2);
  PrepareFolders(other);
  ASSERT_EQ(LoadConfig(other), 0);
  ExpectSameSettings(other.m.settings, emu.m.settings);
  EXPECT_EQ(other.config.placements, emu.config.placements);
  EXPECT_EQ(other.folders.CurrentSnapDir, "/snaps/");
}

TEST_F(ConfigFile, MissingHardwareSectionOnFirstLoadSelectsThe16K) {
  std::string text = Base();
  Remove(text, "[Hardware]");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 0);
  EXPECT_EQ(emu.m.settings.ModelType, 0);
  EXPECT_EQ(emu.m.FrameLength, 69888u);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  EXPECT_EQ(emu.m.IssueMask, 0x18);  // the 16K is an issue 2 board
}

TEST_F(ConfigFile, MissingSectionKeepsTheValuesOfTheLastLoad) {
  std::string text = Base();
  Set(text, "Model Type=", "2");
  Set(text, "SpecDrum=", "1");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  emu.m.settings.SpecDrum = 0;  // changed live since
  Remove(text, "[Hardware]");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 2);
  EXPECT_EQ(emu.m.settings.SpecDrum, 1);
}

TEST_F(ConfigFile, KeyNamesAreNotCheckedSoSwappedLinesSwapValues) {
  std::string text = Base();
  Replace(text, "Tape Traps=0\nTape Wobble=0\n", "Tape Wobble=0\nTape Traps=1\n");
  Replace(text, "Rewind Delay=10\nCPU Speed=0\n", "CPU Speed=4\nRewind Delay=7\n");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.TapeTraps, 0);
  EXPECT_EQ(emu.m.settings.TapeWobble, 1);
  EXPECT_EQ(emu.m.settings.RewindDelay, 4);
  EXPECT_EQ(emu.m.settings.CpuSpeed, 7);
}

TEST_F(ConfigFile, HeaderWithTrailingBlankEndsTheLoad) {
  std::string text = Base();
  Set(text, "Contention=", "0");
  Set(text, "Emulation Speed=", "300");
  Replace(text, "[Display]\n", "[Display] \n");
  Set(text, "Colours=", "2");
  WriteIni(text);
  EXPECT_EQ(LoadConfig(emu), 0);
  EXPECT_TRUE(OptionsMessages(host).empty());
  // Read before the header: applied.
  EXPECT_EQ(emu.m.settings.Contention, 0);
  EXPECT_EQ(emu.m.settings.EmulationSpeed, 300.0f);
  EXPECT_EQ(emu.m.MachineModel, 1);
  // The header and everything after it: never read (zero on the first load).
  EXPECT_EQ(emu.m.settings.Colours, 0);
  EXPECT_EQ(emu.m.settings.Frameskip, 0);
  EXPECT_EQ(emu.m.settings.Freq, 0);
  EXPECT_EQ(emu.m.settings.Basic, 0);
  EXPECT_EQ(emu.folders.ConfiguredSnapDir, "");
}

TEST_F(ConfigFile, EmulationSpeedIsUsedAsItStands) {
  for (const char* value : {"250", "2", "1000"}) {
    std::string text = Base();
    Set(text, "Emulation Speed=", value);
    WriteIni(text);
    ASSERT_EQ(LoadConfig(emu), 0) << value;
    EXPECT_EQ(emu.m.settings.EmulationSpeed, std::stof(value));
  }
}

TEST_F(ConfigFile, ValueLinesParseLikeStreamExtraction) {
  std::string text = Base();
  // Blanks after "=", trailing junk, a line without "=", a line without a number, a minus sign.
  Replace(text, Block(text, "[Emulation]"),
          "[Emulation]\nLate Timing=  1xyz\nContention=abc\nEmulation Speed=-1\nExit Msg\n5\n"
          "Rewind=0=9\nRewind Delay=+8\nCPU Speed=99999999999\n \n");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  const Settings& s = emu.m.settings;
  EXPECT_EQ(s.LateTiming, 1);
  EXPECT_EQ(s.Contention, 0);
  EXPECT_EQ(s.EmulationSpeed, 4294967295.0f);  // read unsigned: -1 wraps
  EXPECT_EQ(s.ExitMsg, 0);
  EXPECT_EQ(s.Focus, 5);
  EXPECT_EQ(s.Rewind, 0);
  EXPECT_EQ(s.RewindDelay, 8);
  EXPECT_EQ(s.CpuSpeed, 2147483647);
}

TEST_F(ConfigFile, DrawSizeFourComesBackAsOne) {
  std::string text = Base();
  Set(text, "DrawSize=", "4");
  emu.menu.Check(141, true);
  emu.menu.Check(142, true);
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.DrawSize, 1);
  EXPECT_TRUE(emu.menu.IsChecked(140));
  EXPECT_FALSE(emu.menu.IsChecked(141));
  EXPECT_FALSE(emu.menu.IsChecked(142));
  EXPECT_GE(host.displaySetUps, 1);
}

TEST_F(ConfigFile, CustomModelKeepsTheRomFileNameAndJoinsItToTheRomFolder) {
  std::string custom = Base();
  Set(custom, "Model Type=", "6");
  Set(custom, "Custom ROM=", "1");
  WriteIni(custom);
  // At start-up no ROM file name is current: there is no file to load.
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 6);
  EXPECT_EQ(emu.config.RomFileName, "");
  EXPECT_EQ(emu.m.settings.CustomRomPath, "");

  // After a 48K load the name is "48k.ROM": the Custom model finds that file in the ROM folder.
  WriteIni(Base());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  WriteIni(custom);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 6);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  EXPECT_EQ(emu.m.settings.CustomRomPath, RomFolder() + "48k.ROM");
}

TEST_F(ConfigFile, FolderKeepsEverythingAfterTheFirstEquals) {
  std::string text = Base();
  Set(text, "Current ROM Dir=", "/roms=old/a=b/");
  Replace(text, "Current_Snap Dir=" + ProgramFolder() + "/snapshots/", "no equals at all");
  Set(text, "Current Tape Dir=", "");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.folders.ConfiguredRomDir, "/roms=old/a=b/");
  EXPECT_EQ(emu.folders.CurrentRomDir, "/roms=old/a=b/");
  EXPECT_EQ(emu.folders.CurrentSnapDir, "no equals at all");
  EXPECT_EQ(emu.folders.CurrentTapeDir, "");
}

TEST_F(ConfigFile, LoadAppliesTheInputModesAndTheIssueMask) {
  std::string text = Base();
  Set(text, "Keyboard Issue=", "0");
  Set(text, "Keystick Type=", "1");
  Set(text, "Joystick Type=", "2");
  Set(text, "Mouse Type=", "1");
  WriteIni(text);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.input.KeystickActive, 1);  // the keystick wins when both are chosen
  EXPECT_EQ(emu.m.input.JoystickActive, 0);
  EXPECT_EQ(emu.m.input.MouseWanted, 1);
  EXPECT_EQ(emu.m.IssueMask, 0x18);  // issue 2 on the 48K
  EXPECT_EQ(emu.m.Issue3Keyboard, 0);
}

// ---- failures ----

TEST_F(ConfigFile, MissingFileGivesDefaultsAndANewFileSilently) {
  emu.m.settings.Frameskip = 5;
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_TRUE(OptionsMessages(host).empty());
  EXPECT_TRUE(host.plainMessages.empty());
  EXPECT_EQ(emu.m.settings.Frameskip, 1);
  EXPECT_EQ(emu.m.MachineModel, 1);
  EXPECT_EQ(emu.folders.CurrentTapeDir, ProgramFolder() + "/tapes/");
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(ProgramFolder()));
}

TEST_F(ConfigFile, CorruptFileIsReportedAndReplacedByDefaults) {
  WriteIni("");
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{6});
  host.messages.clear();
  host.plainMessages.clear();
  WriteIni("garbage\n[Emulation]\n");
  emu.m.settings.Frameskip = 5;
  EXPECT_EQ(LoadConfig(emu), 1);
  ASSERT_EQ(OptionsMessages(host), std::vector<MessageId>{6});
  EXPECT_EQ(host.messages.front().text, "06 - Configuration file corrupt");
  EXPECT_EQ(host.plainMessages, std::vector<std::string>{"Orvo Error|Creating new config file"});
  EXPECT_EQ(emu.m.settings.Frameskip, 1);
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(ProgramFolder()));
}

TEST_F(ConfigFile, FileEndingBeforeEndIsCorruptAndNothingReadIsApplied) {
  std::string text = Base();
  Set(text, "Model Type=", "3");
  WriteIni(text.substr(0, text.find("[Sound]")));
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{6});
  EXPECT_EQ(emu.m.MachineModel, 1);            // defaults, not the +2 that was read
  EXPECT_EQ(emu.LoadedSettings.ModelType, 3);  // which stays staged
}

TEST_F(ConfigFile, NoConfigurationFolderMeansNoFile) {
  emu.folders.ConfigFolder.clear();
  EXPECT_EQ(LoadConfig(emu), 1);
  // Defaults, and a save that fails instead of landing anywhere else.
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{7});
  EXPECT_EQ(emu.m.MachineModel, 1);
}

TEST_F(ConfigFile, UnreadableFileIsCorrupt) {
  std::filesystem::create_directory(IniPath());
  EXPECT_EQ(LoadConfig(emu), 1);
  // Reported as corrupt, then the defaults cannot be written over a folder either.
  EXPECT_EQ(OptionsMessages(host), (std::vector<MessageId>{6, 7}));
  EXPECT_EQ(host.plainMessages.size(), 1u);
}

}  // namespace
}  // namespace orvo
