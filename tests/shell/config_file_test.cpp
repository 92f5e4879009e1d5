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

using test::ConfigFixture;

// The file "Default Configuration" writes, with @ for the program folder and LF for CR LF.
constexpr const char* kDefaultIni = R"([Emulation]
Late Timing=0
Contention=1
Emulation Speed=100
Exit Msg=1
Focus=0
Rewind=0
Rewind Delay=10
CPU Speed=0
 
[Hardware]
Model Type=1
Custom ROM=0
INTERFACE 1=0
MULTIFACE=0
Fuller AY=0
SpecDrum=0
SoftROM=0
uSpeech=0
Fuller Orator=0
Z80_is_CMOS=0
 
[Display]
DrawMode=0
DrawSize=1
Scanlines=0
ULAplus=0
Colours=0
Frameskip=1
Vsync=0
Disable Attributes=0
ULA Snow=0
opt_shader=0
 
[Sound]
Sound=1
Sound Volume=40
Output=1
Effect=0
AY48K=0
Freq=44100
Soundbits=16
 
[Input]
Keyboard Issue=1
Spool Speed=15
Keystick Type=0
Joystick Type=0
Current Joystick =0
Mouse Type=0
Recreated Spectrum=0
 
[Tapes]
Tape Traps=0
Tape Wobble=0
Autoload=0
Fastload=0
Polarity=0
 
[Snapshots]
z80 version=3
1FFD byte=0
Snapshot save=0
Data compressed=0
 
[Disks]
CRC byte=0
Disk fastLoad=0
Disk autoload=0
 
[Debugger]
Basic=1
Dis ROM=0
Dis Save=0
MMap Byte Order=1
MMap Byte Read=255
MMap Byte Write=65280
MMap Fore=0
MMap Back=16777215
 
[Folders]
Current ROM Dir=@/roms/
Current_Snap Dir=@/snapshots/
Current Tape Dir=@/tapes/
Current Download Dir=@/downloads/
 
[Window Placements]
Main Window=400
Main Window=400
Window Size=1
Calculator=400
Calculator=400
System Variables=300
System Variables=200
Tape Browser=300
Tape Browser=300
Infoseek=300
Infoseek=300
ZX Printer=300
ZX Printer=200
View ZX Printer=300
View ZX Printer=300
Microdrives=300
Microdrives=300
View Microdrive Cartridge=300
View Microdrive Cartridge=300
Sprite Search=300
Sprite Search=200
ULAplus Editor=300
ULAplus Editor=300
Debugger=300
Debugger=200
View Registers=400
View Registers=300
View Memory=200
View Memory=200
View Disassembly=600
View Disassembly=200
Edit Memory=300
Edit Memory=300
Breakpoints=300
Breakpoints=300
Memory Map=300
Memory Map=300
 
[End]
-----Nothing Below This Line-----
)";

std::string ExpectedDefaultIni(const std::string& programFolder) {
  std::string out;
  for (const char* p = kDefaultIni; *p != '\0'; ++p) {
    if (*p == '@') {
      out += programFolder;
    } else if (*p == '\n') {
      out += "\r\n";
    } else {
      out.push_back(*p);
    }
  }
  return out;
}

// A complete file in canonical order with the given sections' lines; used to build variants.
struct IniSections {
  std::string emulation =
      "[Emulation]\nLate Timing=0\nContention=1\nEmulation Speed=100\n"
      "Exit Msg=1\nFocus=0\nRewind=0\nRewind Delay=10\nCPU Speed=0\n \n";
  std::string hardware =
      "[Hardware]\nModel Type=1\nCustom ROM=0\nINTERFACE 1=0\nMULTIFACE=0\n"
      "Fuller AY=0\nSpecDrum=0\nSoftROM=0\nuSpeech=0\nFuller Orator=0\n"
      "Z80_is_CMOS=0\n \n";
  std::string display =
      "[Display]\nDrawMode=0\nDrawSize=1\nScanlines=0\nULAplus=0\nColours=0\n"
      "Frameskip=1\nVsync=0\nDisable Attributes=0\nULA Snow=0\nopt_shader=0\n \n";
  std::string sound =
      "[Sound]\nSound=1\nSound Volume=40\nOutput=1\nEffect=0\nAY48K=0\n"
      "Freq=44100\nSoundbits=16\n \n";
  std::string input =
      "[Input]\nKeyboard Issue=1\nSpool Speed=15\nKeystick Type=0\n"
      "Joystick Type=0\nCurrent Joystick =0\nMouse Type=0\nRecreated Spectrum=0\n \n";
  std::string tapes =
      "[Tapes]\nTape Traps=1\nTape Wobble=0\nAutoload=0\nFastload=0\nPolarity=0\n \n";
  std::string snapshots =
      "[Snapshots]\nz80 version=3\n1FFD byte=0\nSnapshot save=0\n"
      "Data compressed=0\n \n";
  std::string disks = "[Disks]\nCRC byte=0\nDisk fastLoad=0\nDisk autoload=0\n \n";
  std::string debugger =
      "[Debugger]\nBasic=1\nDis ROM=0\nDis Save=0\nMMap Byte Order=1\n"
      "MMap Byte Read=255\nMMap Byte Write=65280\nMMap Fore=0\n"
      "MMap Back=16777215\n \n";
  std::string folders;
  std::string placements;
  std::string end = "[End]\n-----Nothing Below This Line-----\n";

  explicit IniSections(const std::string& romDir) {
    folders =
        "[Folders]\nCurrent ROM Dir=" + romDir +
        "\nCurrent_Snap Dir=/snaps/\nCurrent Tape Dir=/tapes/\nCurrent Download Dir=/dl/\n \n";
    placements = "[Window Placements]\n";
    for (int i = 0; i < kPlacementNumbers; ++i) placements += "X=" + std::to_string(10 + i) + "\n";
    placements += " \n";
  }
  std::string All() const {
    return emulation + hardware + display + sound + input + tapes + snapshots + disks + debugger +
           folders + placements + end;
  }
};

// Every numeric setting, for comparisons field by field.
constexpr int32_t Settings::*kIntFields[] = {
    &Settings::LateTiming,
    &Settings::Contention,
    &Settings::ExitMsg,
    &Settings::Focus,
    &Settings::Rewind,
    &Settings::RewindDelay,
    &Settings::CpuSpeed,
    &Settings::ModelType,
    &Settings::CustomRom,
    &Settings::Interface1,
    &Settings::Multiface,
    &Settings::FullerAy,
    &Settings::SpecDrum,
    &Settings::SoftRom,
    &Settings::USpeech,
    &Settings::FullerOrator,
    &Settings::Z80IsCmos,
    &Settings::DrawMode,
    &Settings::DrawSize,
    &Settings::Scanlines,
    &Settings::UlaPlus,
    &Settings::Colours,
    &Settings::Frameskip,
    &Settings::Vsync,
    &Settings::DisableAttributes,
    &Settings::UlaSnow,
    &Settings::OptShader,
    &Settings::Sound,
    &Settings::SoundVolume,
    &Settings::Output,
    &Settings::Effect,
    &Settings::Ay48k,
    &Settings::Freq,
    &Settings::SoundBits,
    &Settings::KeyboardIssue,
    &Settings::SpoolSpeed,
    &Settings::KeystickType,
    &Settings::JoystickType,
    &Settings::CurrentJoystick,
    &Settings::MouseType,
    &Settings::RecreatedSpectrum,
    &Settings::TapeTraps,
    &Settings::TapeWobble,
    &Settings::Autoload,
    &Settings::Fastload,
    &Settings::Polarity,
    &Settings::Z80Version,
    &Settings::Save1FFD,
    &Settings::SnapshotSave,
    &Settings::DataCompressed,
    &Settings::CrcByte,
    &Settings::DiskFastLoad,
    &Settings::DiskAutoload,
    &Settings::Basic,
    &Settings::DisRom,
    &Settings::DisSave,
    &Settings::MMapByteOrder,
    &Settings::MMapByteRead,
    &Settings::MMapByteWrite,
    &Settings::MMapFore,
    &Settings::MMapBack,
};

void ExpectSameSettings(const Settings& a, const Settings& b) {
  for (size_t i = 0; i < std::size(kIntFields); ++i)
    EXPECT_EQ(a.*kIntFields[i], b.*kIntFields[i]) << "numeric setting #" << i;
  EXPECT_EQ(a.EmulationSpeed, b.EmulationSpeed);
}

// ---- writing ----

TEST_F(ConfigFixture, DefaultConfigurationWritesTheExactFile) {
  ResetConfig(emu);
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(ProgramFolder()));
  EXPECT_TRUE(OptionsMessages(host).empty());
}

TEST_F(ConfigFixture, SaveLeavesNoTemporaryFilesBehind) {
  ResetConfig(emu);
  SaveConfig(emu);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(root_ / "config")) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "orvo.ini");
  }
  EXPECT_EQ(files, 1);
}

TEST_F(ConfigFixture, SaveFailureReportsAndRestoresDefaultsWithoutWriting) {
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

TEST_F(ConfigFixture, WriteFailingMidwayKeepsThePreviousFile) {
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

TEST_F(ConfigFixture, WrittenFileReadsBackEverySettingFolderAndPlacement) {
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

TEST_F(ConfigFixture, LoadAcceptsLfLineEnds) {
  IniSections ini(RomFolder());
  ini.sound =
      "[Sound]\nSound=0\nSound Volume=70\nOutput=2\nEffect=1\nAY48K=1\nFreq=22050\n"
      "Soundbits=8\n \n";
  WriteIni(ini.All(), /*lf=*/true);
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.SoundVolume, 70);
  EXPECT_EQ(emu.m.settings.Freq, 22050);
  EXPECT_EQ(emu.m.settings.SoundBits, 8);
  EXPECT_EQ(emu.folders.CurrentDownloadDir, "/dl/");
  EXPECT_EQ(emu.config.placements.windows[17].top, 46);
}

// ---- the positional reader ----

TEST_F(ConfigFixture, SectionsInAnotherOrderLoadTheSame) {
  IniSections ini(RomFolder());
  ini.input =
      "[Input]\nKeyboard Issue=0\nSpool Speed=20\nKeystick Type=3\nJoystick Type=0\n"
      "Current Joystick =1\nMouse Type=2\nRecreated Spectrum=0\n \n";
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  const Settings canonical = emu.m.settings;
  const WindowPlacements placements = emu.config.placements;

  WriteIni(ini.placements + ini.debugger + ini.folders + ini.input + ini.disks + ini.sound +
           ini.emulation + ini.snapshots + ini.tapes + ini.display + ini.hardware + ini.end);
  test::RecordingHost host2;
  Emulator other(host2);
  PrepareFolders(other);
  ASSERT_EQ(LoadConfig(other), 0);
  ExpectSameSettings(other.m.settings, canonical);
  EXPECT_EQ(other.config.placements, placements);
  EXPECT_EQ(other.folders.CurrentSnapDir, "/snaps/");
}

TEST_F(ConfigFixture, MissingHardwareSectionOnFirstLoadSelectsThe16K) {
  IniSections ini(RomFolder());
  ini.hardware.clear();
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 0);
  EXPECT_EQ(emu.m.settings.ModelType, 0);
  EXPECT_EQ(emu.m.FrameLength, 69888u);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  EXPECT_EQ(emu.m.IssueMask, 0x18);  // the 16K is an issue 2 board
}

TEST_F(ConfigFixture, MissingSectionKeepsTheValuesOfTheLastLoad) {
  IniSections ini(RomFolder());
  ini.hardware =
      "[Hardware]\nModel Type=2\nCustom ROM=0\nINTERFACE 1=0\nMULTIFACE=0\n"
      "Fuller AY=0\nSpecDrum=1\nSoftROM=0\nuSpeech=0\nFuller Orator=0\nZ80_is_CMOS=1\n \n";
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  emu.m.settings.SpecDrum = 0;  // changed live since
  ini.hardware.clear();
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 2);
  EXPECT_EQ(emu.m.settings.SpecDrum, 1);
  EXPECT_EQ(emu.m.settings.Z80IsCmos, 1);
}

TEST_F(ConfigFixture, KeyNamesAreNotCheckedSoSwappedLinesSwapValues) {
  IniSections ini(RomFolder());
  ini.tapes = "[Tapes]\nTape Wobble=0\nTape Traps=1\nAutoload=0\nFastload=0\nPolarity=0\n \n";
  ini.emulation =
      "[Emulation]\nLate Timing=0\nContention=1\nEmulation Speed=100\nExit Msg=1\n"
      "Focus=0\nRewind=0\nCPU Speed=4\nRewind Delay=7\n \n";
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.TapeTraps, 0);
  EXPECT_EQ(emu.m.settings.TapeWobble, 1);
  EXPECT_EQ(emu.m.settings.RewindDelay, 4);
  EXPECT_EQ(emu.m.settings.CpuSpeed, 7);
}

TEST_F(ConfigFixture, HeaderWithTrailingBlankEndsTheLoad) {
  IniSections ini(RomFolder());
  ini.emulation =
      "[Emulation]\nLate Timing=0\nContention=0\nEmulation Speed=300\nExit Msg=0\n"
      "Focus=1\nRewind=0\nRewind Delay=10\nCPU Speed=0\n \n";
  ini.display =
      "[Display] \nDrawMode=1\nDrawSize=2\nScanlines=0\nULAplus=0\nColours=2\n"
      "Frameskip=3\nVsync=0\nDisable Attributes=0\nULA Snow=0\nopt_shader=0\n \n";
  WriteIni(ini.All());
  EXPECT_EQ(LoadConfig(emu), 0);
  EXPECT_TRUE(OptionsMessages(host).empty());
  // Read before the header: applied.
  EXPECT_EQ(emu.m.settings.Contention, 0);
  EXPECT_EQ(emu.m.settings.EmulationSpeed, 300.0f);
  EXPECT_EQ(emu.m.settings.Focus, 1);
  EXPECT_EQ(emu.m.MachineModel, 1);
  // The header and everything after it: never read (zero on the first load).
  EXPECT_EQ(emu.m.settings.Colours, 0);
  EXPECT_EQ(emu.m.settings.Frameskip, 0);
  EXPECT_EQ(emu.m.settings.Freq, 0);
  EXPECT_EQ(emu.m.settings.TapeTraps, 0);
  EXPECT_EQ(emu.m.settings.Basic, 0);
  EXPECT_EQ(emu.folders.ConfiguredSnapDir, "");
  EXPECT_EQ(emu.config.placements, DefaultWindowPlacements());
}

TEST_F(ConfigFixture, EmulationSpeedIsUsedAsItStands) {
  for (const char* value : {"250", "2", "1000"}) {
    IniSections ini(RomFolder());
    ini.emulation = std::string("[Emulation]\nLate Timing=0\nContention=1\nEmulation Speed=") +
                    value + "\nExit Msg=1\nFocus=0\nRewind=0\nRewind Delay=10\nCPU Speed=0\n \n";
    WriteIni(ini.All());
    ASSERT_EQ(LoadConfig(emu), 0) << value;
    EXPECT_EQ(emu.m.settings.EmulationSpeed, std::stof(value));
  }
}

TEST_F(ConfigFixture, ValueLinesParseLikeStreamExtraction) {
  IniSections ini(RomFolder());
  // Blanks after "=", trailing junk, a line without "=", a line without a number, a minus sign.
  ini.emulation =
      "[Emulation]\nLate Timing=  1xyz\nContention=abc\nEmulation Speed=-1\n"
      "Exit Msg\n5\nRewind=0=9\nRewind Delay=+8\nCPU Speed=99999999999\n \n";
  WriteIni(ini.All());
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

TEST_F(ConfigFixture, DrawSizeFourComesBackAsOne) {
  IniSections ini(RomFolder());
  ini.display =
      "[Display]\nDrawMode=0\nDrawSize=4\nScanlines=0\nULAplus=0\nColours=0\n"
      "Frameskip=1\nVsync=0\nDisable Attributes=0\nULA Snow=0\nopt_shader=0\n \n";
  emu.menu.Check(141, true);
  emu.menu.Check(142, true);
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.settings.DrawSize, 1);
  EXPECT_TRUE(emu.menu.IsChecked(140));
  EXPECT_FALSE(emu.menu.IsChecked(141));
  EXPECT_FALSE(emu.menu.IsChecked(142));
  EXPECT_GE(host.displaySetUps, 1);
}

TEST_F(ConfigFixture, CustomModelKeepsTheRomFileNameAndJoinsItToTheRomFolder) {
  IniSections ini(RomFolder());
  ini.hardware =
      "[Hardware]\nModel Type=6\nCustom ROM=1\nINTERFACE 1=0\nMULTIFACE=0\n"
      "Fuller AY=0\nSpecDrum=0\nSoftROM=0\nuSpeech=0\nFuller Orator=0\n"
      "Z80_is_CMOS=0\n \n";
  WriteIni(ini.All());
  // At start-up no ROM file name is current: there is no file to load.
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 6);
  EXPECT_EQ(emu.config.RomFileName, "");
  EXPECT_EQ(emu.m.settings.CustomRomPath, "");

  // After a 48K load the name is "48k.ROM": the Custom model finds that file in the ROM folder.
  IniSections plain(RomFolder());
  WriteIni(plain.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.MachineModel, 6);
  EXPECT_EQ(emu.config.RomFileName, "48k.ROM");
  EXPECT_EQ(emu.m.settings.CustomRomPath, RomFolder() + "48k.ROM");
}

TEST_F(ConfigFixture, FolderKeepsEverythingAfterTheFirstEquals) {
  IniSections ini("/roms=old/");
  ini.folders =
      "[Folders]\nCurrent ROM Dir=/roms=old/a=b/\nno equals at all\n"
      "Current Tape Dir=\nCurrent Download Dir= /blank first/\n \n";
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.folders.ConfiguredRomDir, "/roms=old/a=b/");
  EXPECT_EQ(emu.folders.CurrentRomDir, "/roms=old/a=b/");
  EXPECT_EQ(emu.folders.CurrentSnapDir, "no equals at all");
  EXPECT_EQ(emu.folders.CurrentTapeDir, "");
  EXPECT_EQ(emu.folders.CurrentDownloadDir, " /blank first/");
}

TEST_F(ConfigFixture, LoadAppliesTheInputModesAndTheIssueMask) {
  IniSections ini(RomFolder());
  ini.input =
      "[Input]\nKeyboard Issue=0\nSpool Speed=15\nKeystick Type=1\nJoystick Type=2\n"
      "Current Joystick =0\nMouse Type=1\nRecreated Spectrum=0\n \n";
  WriteIni(ini.All());
  ASSERT_EQ(LoadConfig(emu), 0);
  EXPECT_EQ(emu.m.input.KeystickActive, 1);  // the keystick wins when both are chosen
  EXPECT_EQ(emu.m.input.JoystickActive, 0);
  EXPECT_EQ(emu.m.input.MouseWanted, 1);
  EXPECT_EQ(emu.m.IssueMask, 0x18);  // issue 2 on the 48K
  EXPECT_EQ(emu.m.Issue3Keyboard, 0);
}

// ---- failures ----

TEST_F(ConfigFixture, MissingFileGivesDefaultsAndANewFileSilently) {
  emu.m.settings.Frameskip = 5;
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_TRUE(OptionsMessages(host).empty());
  EXPECT_TRUE(host.plainMessages.empty());
  EXPECT_EQ(emu.m.settings.Frameskip, 1);
  EXPECT_EQ(emu.m.MachineModel, 1);
  EXPECT_EQ(emu.folders.CurrentTapeDir, ProgramFolder() + "/tapes/");
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(ProgramFolder()));
}

TEST_F(ConfigFixture, CorruptFileIsReportedAndReplacedByDefaults) {
  WriteIni("garbage\n[Emulation]\n");
  emu.m.settings.Frameskip = 5;
  EXPECT_EQ(LoadConfig(emu), 1);
  ASSERT_EQ(OptionsMessages(host), std::vector<MessageId>{6});
  EXPECT_EQ(host.messages.front().text, "06 - Configuration file corrupt");
  EXPECT_EQ(host.plainMessages, std::vector<std::string>{"Orvo Error|Creating new config file"});
  EXPECT_EQ(emu.m.settings.Frameskip, 1);
  EXPECT_EQ(ReadIni(), ExpectedDefaultIni(ProgramFolder()));
}

TEST_F(ConfigFixture, FileEndingBeforeEndIsCorruptAndNothingReadIsApplied) {
  IniSections ini(RomFolder());
  ini.hardware =
      "[Hardware]\nModel Type=3\nCustom ROM=0\nINTERFACE 1=0\nMULTIFACE=0\n"
      "Fuller AY=0\nSpecDrum=0\nSoftROM=0\nuSpeech=0\nFuller Orator=0\n"
      "Z80_is_CMOS=0\n \n";
  WriteIni(ini.emulation + ini.hardware + ini.display);
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{6});
  EXPECT_EQ(emu.m.MachineModel, 1);            // defaults, not the +2 that was read
  EXPECT_EQ(emu.LoadedSettings.ModelType, 3);  // which stays staged
}

TEST_F(ConfigFixture, EmptyFileIsCorrupt) {
  WriteIni("");
  EXPECT_EQ(LoadConfig(emu), 1);
  EXPECT_EQ(OptionsMessages(host), std::vector<MessageId>{6});
}

TEST_F(ConfigFixture, UnreadableFileIsCorrupt) {
  std::filesystem::create_directory(IniPath());
  EXPECT_EQ(LoadConfig(emu), 1);
  // Reported as corrupt, then the defaults cannot be written over a folder either.
  EXPECT_EQ(OptionsMessages(host), (std::vector<MessageId>{6, 7}));
  EXPECT_EQ(host.plainMessages.size(), 1u);
}

// ---- placements ----

TEST(ConfigPlacements, KeysAndDefaults) {
  EXPECT_STREQ(PlacementKey(Placement::MainWindow), "Main Window");
  EXPECT_STREQ(PlacementKey(Placement::ViewMicrodriveCartridge), "View Microdrive Cartridge");
  EXPECT_STREQ(PlacementKey(Placement::MemoryMap), "Memory Map");
  const WindowPlacements p = DefaultWindowPlacements();
  EXPECT_EQ(p.windows[static_cast<size_t>(Placement::ViewDisassembly)], (WindowPosition{600, 200}));
  EXPECT_EQ(p.windows[static_cast<size_t>(Placement::ViewRegisters)], (WindowPosition{400, 300}));
  EXPECT_EQ(p.WindowSize, 1);
}

}  // namespace
}  // namespace orvo
