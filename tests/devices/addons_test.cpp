// The Multiface, the Interface II, the µSpeech and the Orator: on the machine, and through
// orvo-run as a user runs them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "cpu/z80.h"
#include "devices/currah.h"
#include "devices/interface1.h"
#include "devices/multiface.h"
#include "devices/speech.h"
#include "devices/standard_devices.h"
#include "machine/machine_fixture.h"
#include "machine/memory.h"
#include "shell/addon_commands.h"
#include "shell/frame_loop.h"
#include "shell/window_commands.h"
#include "sound/sound.h"
#include "support/temp_dir.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

// A ROM folder as a user keeps it: the machine ROMs and the add-on ROMs side by side.
fs::path AddonRomDir() {
  const fs::path dir = fs::temp_directory_path() / ("orvo_addon_roms_" + std::to_string(getpid()));
  std::error_code ec;
  if (fs::exists(dir / "48k.rom", ec)) return dir;
  fs::create_directories(dir, ec);
  for (const fs::path& from : {RomDir(), RomDir() / "extras"}) {
    for (const auto& entry : fs::directory_iterator(from, ec)) {
      if (entry.path().extension() == ".rom")
        fs::create_symlink(entry.path(), dir / entry.path().filename(), ec);
    }
  }
  return dir;
}

// A machine with the add-ons set as the options sheet sets them, from the ROM folder `roms`.
struct AddonMachine : TestMachine {
  AddonMachine(uint8_t model, const fs::path& roms, int multiface, bool uspeech = false,
               bool if1 = false)
      : TestMachine(model) {
    emu.folders.CurrentRomDir = roms.string() + "/";
    emu.settings.Multiface = multiface;
    emu.settings.USpeech = uspeech ? 1 : 0;
    emu.settings.Interface1 = if1 ? 1 : 0;
    SetUpMachine(emu);
    ResetMachine(emu, true);
  }
  void Run(int instructions) {
    for (int i = 0; i < instructions; ++i) StepInstruction(emu);
  }
};

std::string Runner() {
  return (BuildDir() / "orvo-run").string() + " --rom-dir " + AddonRomDir().string() + " ";
}

// 20 ms windows of a 16-bit WAV's first channel whose sound varies (RMS above `floor`).
std::vector<int> LoudWindows(const fs::path& wav, double floor) {
  const std::vector<uint8_t> bytes = ReadWholeFile(wav);
  std::vector<int> loud;
  const size_t step = bytes.size() < 44 ? 2 : 2 * size_t{bytes[22]}, window = 44100 / 50;
  for (size_t w = 0; 44 + (w + 1) * window * step <= bytes.size(); ++w) {
    double sum = 0, square = 0;
    for (size_t i = 0, at = 44 + w * window * step; i < window; ++i, at += step) {
      const double v = static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
      sum += v;
      square += v * v;
    }
    if (square / window - (sum / window) * (sum / window) > floor * floor)
      loud.push_back(static_cast<int>(w));
  }
  return loud;
}

// ---- Multiface ----

TEST(Multiface, PortsFollowTheModelAndThePlus3RefusesInSpecialPaging) {
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "MF3.rom");
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "mf1.rom");
  AddonMachine m128(kModel128K, AddonRomDir(), 1);
  m128.m.WritePort(0x7FFD, 0x08);  // screen in bank 7: bit 7 of the answer
  m128.m.ReadPort(0x00BF);         // hidden: no page-in
  EXPECT_FALSE(MultifacePaged(m128.m));
  m128.m.WritePort(0x00BF, 0);
  EXPECT_EQ(m128.m.ReadPort(0x00BF), 0xFF);
  EXPECT_TRUE(MultifacePaged(m128.m));
  // Its RAM takes writes while visible, and not once hidden.
  m128.m.WriteByte(0x2000, 0x5A);
  m128.m.WritePort(0x003F, 0);
  m128.m.WriteByte(0x2001, 0x5A);
  EXPECT_EQ(m128.m.Peek(0x2000), 0x5A);
  EXPECT_NE(m128.m.Peek(0x2001), 0x5A);
  m128.m.ReadPort(0x003F);
  EXPECT_FALSE(MultifacePaged(m128.m));

  AddonMachine plus3(kModelPlus3, AddonRomDir(), 1);
  plus3.m.WritePort(0x00BF, 0);
  plus3.m.WritePort(0x7FFD, 0x03);
  plus3.m.WritePort(0x1FFD, 0x04);
  EXPECT_EQ(plus3.m.ReadPort(0x703F), 0x03 | 0xF0);  // A12-A14 = 7: the last 0x7FFD value
  EXPECT_TRUE(MultifacePaged(plus3.m));
  plus3.m.ReadPort(0x00BF);
  EXPECT_FALSE(MultifacePaged(plus3.m));
  plus3.m.WritePort(0x1FFD, 0x01);  // all-RAM mode
  EXPECT_EQ(MultifacePageIn(plus3.m, 0x003F), 0xFF);
  EXPECT_FALSE(MultifacePaged(plus3.m));

  // The Multiface One pages in on 0x9F and out on 0x1F, where its Kempston interface answers.
  AddonMachine one(kModel48K, AddonRomDir(), kMultifaceOne);
  one.m.ReadPort(0x009F);
  EXPECT_TRUE(MultifacePaged(one.m));
  EXPECT_EQ(one.m.ReadPort(0x001F), 0x00);  // an idle stick, not the floating bus
  EXPECT_FALSE(MultifacePaged(one.m));
}

TEST(Multiface, MissingOrWrongLengthRomLeavesItOff) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const TempDir temp;
  const fs::path dir = temp.path;
  fs::copy_file(RomDir() / "48k.rom", dir / "48k.rom");
  const struct {
    bool present;
    MessageId message;
  } cases[] = {{false, kMsgRomMissing}, {true, kMsgRomLength}};
  for (const auto& c : cases) {
    fs::remove(dir / "MF128.rom");
    fs::remove(dir / "currah.rom");
    if (c.present) temp.Write("MF128.rom", std::string(8000, '\0'));
    if (c.present) temp.Write("currah.rom", std::string(2049, '\0'));
    AddonMachine vm(kModel48K, dir, 1, true);
    ASSERT_EQ(vm.host.messages.size(), 2u);
    for (const ShownMessage& shown : vm.host.messages) {
      EXPECT_EQ(shown.caption, CaptionId::Error);
      EXPECT_EQ(shown.message, c.message);
    }
    EXPECT_TRUE(vm.m.MultifaceImage.empty());
    EXPECT_FALSE(DeviceFitted(vm.m, kUSpeechDevice));
    GenerateNmi(vm.emu);
    vm.Run(2);
    EXPECT_FALSE(MultifacePaged(vm.m));
  }
}

// Each model with the interface it takes (the 48K either the 128's or the One): the NMI button
// pages the right ROM in, and "r" returns to the program as if the button had never been pressed.
TEST(Multiface, MenuOnTheScreenAndTheProgramGoesOnUnchanged) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  for (const char* rom : {"MF128.rom", "MF3.rom", "mf1.rom"})
    ORVO_REQUIRE_FILE(RomDir() / "extras" / rom);
  const struct {
    const char* args;
    const char* title;
  } cases[] = {{"--model 128 --multiface", "MULTIFACE 128"},
               {"--model plus3 --multiface", "MULTIFACE 3"},
               {"--model 48 --multiface", "MULTIFACE 128"},
               {"--model 48 --multiface-one", "MULTIFACE 1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    int status = -1;
    const std::string base = Runner() + c.args + " --screen-text ";
    const std::string menu = CaptureCommand(base + "--nmi-at 150 --frames 250", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(menu.find(c.title), std::string::npos) << menu;
    const std::string back =
        CaptureCommand(base + "--nmi-at 150 --key 300:R:5 --frames 400", &status);
    const std::string plain = CaptureCommand(base + "--frames 400", &status);
    EXPECT_EQ(back, plain);
  }
}

// ---- Interface II ----

// A cartridge made of the 48K ROM with its copyright line changed: what the screen shows after
// a reset says which of the two ran.
std::vector<uint8_t> TestCartridge(std::vector<uint8_t> rom) {
  const std::string name = "Sinclair";
  const auto at = std::search(rom.begin(), rom.end(), name.begin(), name.end());
  if (at != rom.end()) std::copy_n("IF2 OK  ", name.size(), at);
  return rom;
}

TEST(Interface2, CartridgeStartsAtResetAndBadFilesAreRefused) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const std::vector<uint8_t> rom = TestCartridge(ReadWholeFile(RomDir() / "48k.rom"));
  const std::string cart(rom.begin(), rom.end());
  const TempDir dir;
  const std::string good = dir.Write("if2.rom", cart), renamed = dir.Write("if2.bin", cart),
                    shortRom = dir.Write("short.rom", cart.substr(0, 8192));
  int status = -1;
  const std::string out =
      CaptureCommand(Runner() + "--if2 " + good + " --frames 150 --screen-text 2>&1", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("cartridge: " + good), std::string::npos) << out;
  EXPECT_NE(out.find("\xC2\xA9 1982 IF2 OK   Research"), std::string::npos) << out;

  const struct {
    std::string args;
    const char* error;
  } bad[] = {{"--if2 " + renamed, "unknown extension"},
             {"--if2 " + shortRom, "incorrect length"},
             {"--model plus3 --if2 " + good, "no Interface II"}};
  for (const auto& b : bad) {
    const std::string err = CaptureCommand(Runner() + b.args + " 2>&1", &status);
    EXPECT_NE(status, 0) << b.args;
    EXPECT_NE(err.find(b.error), std::string::npos) << err;
  }
}

// Hardware a model cannot take is refused by name, not fitted silently to do nothing.
TEST(Addons, ModelsRefuseWhatTheyCannotTake) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(RomDir() / "plus3.rom");
  const TempDir dir;
  const struct {
    std::string args;
    const char* error;  // nullptr: accepted
  } cases[] = {
      {"--model plus3 --if1", "--if1: the ZX Spectrum +3 takes no Interface 1"},
      {"--model plus2a --mdr 1:" + dir / "a.mdr",
       "--mdr: the ZX Spectrum +2A takes no Interface 1"},
      {"--model plus2a --printer", "--printer: the ZX Spectrum +2A takes no ZX Printer"},
      {"--model plus3 --speech currah", "--speech: the ZX Spectrum +3 takes no Currah uSpeech"},
      {"--model 128 --speech orator", "--speech: the ZX Spectrum 128K takes no Fuller Orator"},
      {"--model plus3 --if2 " + dir / "x.rom", "--if2: the ZX Spectrum +3 takes no Interface II"},
      {"--model plus2 --printer --if1", nullptr},
      {"--model 48 --speech orator", nullptr},
  };
  for (const auto& c : cases) {
    int status = -1;
    const std::string out = CaptureCommand(Runner() + c.args + " --frames 1 2>&1", &status);
    if (c.error == nullptr) {
      EXPECT_EQ(status, 0) << c.args << "\n" << out;
      continue;
    }
    EXPECT_NE(status, 0) << c.args;
    EXPECT_NE(out.find(c.error), std::string::npos) << c.args << "\n" << out;
  }
}

// ---- µSpeech and Orator ----

TEST(USpeech, BusyWhilePlayingSecondWriteIgnoredAndRaisedPitch) {
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "currah.rom");
  AddonMachine vm(kModel48K, AddonRomDir(), 0, true);
  ASSERT_TRUE(vm.host.messages.empty());
  MachineState& m = vm.m;
  m.ReadByte(0x0038);  // a data read of 0x0038 pages the ROM in
  ASSERT_EQ(m.Peek(0x0039), 0xF1);
  EXPECT_EQ(m.Peek(0x1000), 0);
  m.WriteByte(0x3001, 0x18);
  m.WriteByte(0x1000, 0x18);  // AA
  EXPECT_EQ(m.Peek(0x1000), 1);
  EXPECT_EQ(m.speech.CurrahStep, 153u - 10u);
  m.WriteByte(0x1000, 0x13);  // IY, while AA plays: ignored
  EXPECT_EQ(m.speech.CurrahCode, 0x18 - 5);
  // The samples go at the raised step: 143 T-states each.
  m.FrameTState += 143 * m.speech.CurrahRemaining;
  CurrahSpeechStep(m);
  CurrahSpeechStep(m);
  EXPECT_EQ(m.Peek(0x1000), 0);
  m.WriteByte(0x3000, 0);
  EXPECT_EQ(m.speech.CurrahStep, 153u);
  m.ReadByte(0x0038);  // and out again
  EXPECT_NE(m.Peek(0x0039), 0xF1);
}

TEST(USpeech, TestProgramSpeaksAndTheBeeperStillSounds) {
  ORVO_REQUIRE_FILE(BuildDir() / "orvo-run");
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "currah.rom");
  const fs::path tap = SharedFile("testdata/media/tap/currah_uspeech_tests_v2.tap");
  ORVO_REQUIRE_FILE(tap);
  const TempDir dir;
  const std::string wav = dir / "speech.wav";
  int status = -1;
  // Test 5 of the program's menu: the key picks it, a second press runs it.
  CaptureCommand(Runner() + "--speech currah --tape " + tap.string() +
                     " --autoload --fastload --frames 3700 --key 3400:5:5 --key 3500:5:5 --wav " +
                     wav,
                 &status);
  EXPECT_EQ(status, 0);
  std::vector<int> loud = LoudWindows(wav, 200);
  ASSERT_FALSE(loud.empty());
  // Nothing before the keys (the tape and the menu are silent), and a burst after them.
  EXPECT_GE(loud.front(), 3400);
  EXPECT_LE(loud.back(), 3600);
  // The beeper beside the speech unit.
  CaptureCommand(
      Runner() + "--speech currah --frames 200 --type 'BEEP 1,0' --type-frame 100 --wav " + wav,
      &status);
  EXPECT_EQ(status, 0);
  loud = LoudWindows(wav, 1000);
  EXPECT_GE(loud.size(), 40u);
}

TEST(Orator, AyAndBeeperKeepSoundingAndEveryReadButLowByte0xBFMakesItBusy) {
  MachineState m;
  m.settings.FullerOrator = 1;
  UpdateDevices(m);
  m.sound.ay.ChannelLevel[0] = 3000;
  m.ports.BeeperLevel = 0;
  m.sound.SpeechLevel = kSpeechSilence;
  const uint16_t withAy = MixSample(m);
  m.sound.ay.ChannelLevel[0] = 0;
  EXPECT_GT(withAy, MixSample(m) + 2000);
  // A phoneme moves the level; STOP cuts it short.
  m.WritePort(0x009F, 12);  // M
  std::set<uint32_t> levels;
  for (int i = 0; i < 100; ++i, m.FrameTState += 350) {
    MixSample(m);
    levels.insert(m.sound.SpeechLevel);
  }
  EXPECT_GT(levels.size(), 20u);
  m.WritePort(0x009F, 63);  // STOP
  m.FrameTState += 350;
  MixSample(m);
  EXPECT_EQ(m.speech.OratorBusy, 0);
  for (const uint16_t port : {0x00BF, 0xFEFE, 0x12BF, 0x001F, 0xFFBF, 0x00FB}) {
    const uint8_t busy = (port & 0xFF) != 0xBF;
    m.speech.OratorBusy = busy ^ 1;
    m.ReadPort(port);
    EXPECT_EQ(m.speech.OratorBusy, busy) << std::hex << port;
  }
}

// ---- snapshot blocks ----

// The Interface 1's paging by the ROM's traps is run whole by orvo-run; its block carries it.
TEST(AddonState, BlocksRoundTripAndBadBodiesAreRefused) {
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "MF128.rom");
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "currah.rom");
  ORVO_REQUIRE_FILE(RomDir() / "IF1.rom");
  AddonMachine vm(kModel48K, AddonRomDir(), 1, true, true);
  MachineState& m = vm.m;
  std::vector<uint8_t> cart(16384);
  for (size_t i = 0; i < cart.size(); ++i) cart[i] = static_cast<uint8_t>(i * 7);
  m.CartridgeImage = cart;
  m.CartridgeInserted = 1;
  m.WritePort(0x00BF, 0);
  MultifacePageIn(m, 0x00BF);
  m.WriteByte(0x2345, 0x77);
  m.ReadByte(0x0038);
  m.WriteByte(0x1000, 0x20);
  m.cpu.PC = 0x0008;  // an RST 8 lands on the shadow ROM's code
  ExecuteZ80(m);
  ASSERT_TRUE(m.If1Paged());
  for (const Device* device :
       {&kMultifaceDevice, &kInterface2Device, &kUSpeechDevice, &kInterface1Device}) {
    SCOPED_TRACE(device->stateId);
    std::vector<uint8_t> block;
    device->SaveState(m, block);
    ASSERT_FALSE(block.empty());
    EXPECT_TRUE(device->CheckState(block));
    AddonMachine other(kModel48K, AddonRomDir(), 1, true, true);
    ASSERT_TRUE(device->LoadState(other.m, block));
    std::vector<uint8_t> again;
    device->SaveState(other.m, again);
    EXPECT_EQ(again, block);
    block.pop_back();
    EXPECT_FALSE(device->CheckState(block));
  }
  vm.m.MachineModel = kModelPlus3;  // no Interface 1 on the +3
  SetUpMachine(vm.emu);
  EXPECT_FALSE(Interface1Fitted(vm.m));
}

}  // namespace
}  // namespace orvo::test
