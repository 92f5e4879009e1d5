// The options sheet's page rules and its OK, on the core side: what each choice does to the
// pending copy, what OK and Cancel do to the live machine, and how the live settings and the
// machine's own copy follow each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "machine/model.h"
#include "shell/config.h"
#include "shell/config_test_support.h"
#include "shell/emulator.h"
#include "shell/sound_setup.h"
#include "sound/fake_audio_device.h"
#include "sound/sound_output.h"

namespace orvo {
namespace {

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
      {kModel16K, true, true, false},      {kModel48K, true, true, true},
      {kModel128K, true, false, false},    {kModelPlus2, true, false, false},
      {kModelPlus2A, false, false, false}, {kModelPlus3, false, false, false},
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
  EXPECT_EQ(*OptionsPendingFolder(emu, 2), ProgramFolder() + "/tapes/");
  EXPECT_EQ(OptionsPendingFolder(emu, 4), nullptr);
  OptionsSetFolderFromPicker(emu, 0, "/media/roms");
  OptionsSetFolderFromText(emu, 3, std::string(100, 'd'));  // cut to 80 characters
  EXPECT_EQ(FolderFieldText("/home/me/games/last.z80"), "/home/me/games/");
  EXPECT_EQ(emu.folders.CurrentRomDir, RomFolder());  // nothing live before OK
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
