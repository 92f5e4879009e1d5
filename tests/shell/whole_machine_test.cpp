// Whole machines in the shell: host input as programs on the machine see it (a game controller as
// the Spectrum's joystick through SDL's virtual joysticks: plugged in and pulled out, found again
// by name, stick and fire; the AMX mouse's steps and buttons), and two emulators in one process
// that share nothing.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "devices/device.h"
#include "formats/rzx_format.h"
#include "host/sdl_controllers.h"
#include "machine/keyboard.h"
#include "machine/typing.h"
#include "rzx/rzx_session.h"
#include "shell/emulator.h"
#include "shell/frame_loop.h"
#include "snapshot/snapshot_fixture.h"
#include "support/test_paths.h"
#include "video/screen_text.h"

namespace orvo::test {
namespace {

void Put(MachineState& m, uint16_t at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) m.PageTable[at >> 13][at & 0x1FFF] = b, ++at;
}

// A virtual stick with two axes and one button, held open so the test can move it.
struct VirtualStick {
  VirtualStick() : index(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0)) {
    if (index >= 0) handle = SDL_JoystickOpen(index);
  }
  ~VirtualStick() {
    if (handle) SDL_JoystickClose(handle);
    if (index >= 0) SDL_JoystickDetachVirtual(index);
  }
  void Set(int16_t x, int16_t y, bool fire) {
    SDL_JoystickSetVirtualAxis(handle, 0, x);
    SDL_JoystickSetVirtualAxis(handle, 1, y);
    SDL_JoystickSetVirtualButton(handle, 0, fire ? 1 : 0);
  }
  int index = -1;
  SDL_Joystick* handle = nullptr;
};

// Plugged in, the controller joins the list and its stick and fire move a Kempston-reading
// program's value (with a dead zone at the centre); pulled out, it leaves the list and lets go.
TEST(GameController, HotPlugMovesAKempstonReadingProgram) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  SdlGameControllers controllers;
  ASSERT_TRUE(controllers.Available()) << SDL_GetError();
  SnapshotMachine t;  // a booted 48K
  t.host.controllers = &controllers;
  t.emu.NoThrottle = true;
  MachineState& m = t.m;
  m.settings.JoystickType = 1;  // Kempston
  m.input.JoystickActive = 1;
  UpdateDevices(m);
  Put(m, 0x8000, {0xF3, 0xDB, 0x1F, 0x32, 0x00, 0x81, 0x18, 0xF9});  // DI; IN A,(#1F); LD; JR
  m.cpu.PC = 0x8000;
  const auto valueAfterFrames = [&](int frames) {
    for (int i = 0; i < frames; ++i) RunFrame(t.emu);
    return m.Peek(0x8100);
  };
  controllers.Refresh();
  const size_t before = controllers.Names().size();
  {
    VirtualStick stick;
    ASSERT_GE(stick.index, 0) << SDL_GetError();
    m.FrameCount = 0;  // the poll looks for new controllers now
    t.emu.settings.CurrentJoystickName = SDL_JoystickName(stick.handle);
    stick.Set(-32768, 0, true);
    EXPECT_EQ(valueAfterFrames(2), 0x12) << "left and fire";
    EXPECT_EQ(controllers.Names().size(), before + 1);
    EXPECT_EQ(t.emu.settings.CurrentJoystick, static_cast<int>(before));
    stick.Set(32767, 32767, false);
    EXPECT_EQ(valueAfterFrames(2), 0x05) << "right and down";
    stick.Set(3000, -4000, false);  // a stick resting off centre
    EXPECT_EQ(valueAfterFrames(2), 0x00) << "inside the dead zone";
    stick.Set(0, -20000, true);
    EXPECT_EQ(valueAfterFrames(2), 0x18) << "up and fire";
  }
  EXPECT_EQ(valueAfterFrames(26), 0x00) << "pulled out while held";
  EXPECT_EQ(controllers.Names().size(), before);
}

// The AMX mouse as a program sees it: an IM 2 interrupt for each step of the pointer, with the
// vector the program chose for X or Y on the data bus and the direction on port 0x1F, and the
// buttons on port 0xDF for as long as they are held.

// Counts X steps at 0x8200 and Y steps at 0x8201 (up one, or down one when the direction byte
// says the coordinate went down), and keeps the button port's value at 0x8202.
void LoadAmxProgram(MachineState& m) {
  Put(m, 0x8000, {0xF3, 0x3E, 0x90, 0xED, 0x47, 0xED, 0x5E,          // DI; LD A,#90; LD I,A; IM 2
                  0x3E, 0x10, 0xD3, 0x5F, 0x3E, 0x20, 0xD3, 0x7F,    // control A #10, B #20
                  0xFB, 0xDB, 0xDF, 0x32, 0x02, 0x82, 0x18, 0xF9});  // EI; IN A,(#DF); LD; JR
  for (uint16_t counter : {0x8200, 0x8201}) {
    const uint16_t handler = counter == 0x8200 ? 0xA000 : 0xA100;
    Put(m, handler,
        {0xF5, 0xE5, 0x21, static_cast<uint8_t>(counter), 0x82, 0xDB, 0x1F, 0xB7, 0x28, 0x03, 0x35,
         0x18, 0x01, 0x34, 0xE1, 0xF1, 0xFB, 0xED, 0x4D});
  }
  Put(m, 0xA200, {0xFB, 0xED, 0x4D});  // the frame's own interrupt
  Put(m, 0x9010, {0x00, 0xA0});
  Put(m, 0x9020, {0x00, 0xA1});
  Put(m, 0x90FF, {0x00, 0xA2});
  Put(m, 0x8200, {0, 0, 0});
  m.cpu.PC = 0x8000;
}

TEST(AmxMouse, ProgramSeesStepsAndHeldButtons) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  SnapshotMachine t;  // a booted 48K
  t.emu.NoThrottle = true;
  MachineState& m = t.m;
  m.settings.MouseType = 1;
  UpdateDevices(m);
  LoadAmxProgram(m);
  RunFrame(t.emu);
  CaptureMouse(m);

  for (int i = 0; i < 3; ++i) MouseMoved(m, 129, 128);  // right three times
  for (int i = 0; i < 2; ++i) MouseMoved(m, 128, 129);  // down twice
  MouseMoved(m, 127, 128);                              // and back left
  RunFrame(t.emu);
  EXPECT_EQ(m.Peek(0x8200), 2);
  EXPECT_EQ(m.Peek(0x8201), 0xFE);

  // A flood of movement is held back to a bounded queue; what is not yet reported waits in the
  // accumulators and comes later.
  for (int i = 0; i < 1000; ++i) MouseMoved(m, 129, 128);
  EXPECT_LE(m.input.AmxQueue.size(), kAmxQueueLimit);
  RunFrame(t.emu);
  EXPECT_EQ(m.Peek(0x8200), 2 + kAmxQueueLimit);

  MouseButton(m, 1, true);
  RunFrame(t.emu);
  RunFrame(t.emu);
  EXPECT_EQ(m.Peek(0x8202), 0x7F) << "left held over frames";
  MouseButton(m, 1, false);
  RunFrame(t.emu);
  EXPECT_EQ(m.Peek(0x8202), 0xFF);
}

// A recording made while the AMX mouse moves replays to its end with the same steps counted: each
// step the mouse reports is an interrupt of its own, with the program's vector on the data bus.
TEST(AmxMouse, ARecordingWithMouseStepsReplaysThem) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const std::string path =
      (std::filesystem::temp_directory_path() / ("orvo_amx_" + std::to_string(getpid()) + ".rzx"))
          .string();
  uint8_t counted[3] = {};
  {
    SnapshotMachine t;
    t.emu.NoThrottle = true;
    MachineState& m = t.m;
    t.emu.settings.MouseType = m.settings.MouseType = 1;
    UpdateDevices(m);
    LoadAmxProgram(m);
    RunFrame(t.emu);
    CaptureMouse(m);
    ASSERT_TRUE(StartRzxRecording(t.emu, path));
    for (int frame = 0; frame < 30; ++frame) {
      if (frame % 3 == 0) MouseMoved(m, 129, 128);
      if (frame % 5 == 0) MouseMoved(m, 128, 127);
      if (frame == 12) MouseButton(m, 1, true);
      if (frame == 20) MouseButton(m, 1, false);
      RunFrame(t.emu);
    }
    ASSERT_TRUE(StopRzxRecording(t.emu));
    for (int k = 0; k < 3; ++k) counted[k] = m.Peek(static_cast<uint16_t>(0x8200 + k));
    ASSERT_EQ(counted[0], 10);
    ASSERT_EQ(counted[1], 6);
  }
  SnapshotMachine replay;
  replay.emu.NoThrottle = true;
  ASSERT_TRUE(OpenRzxFile(replay.emu, path));
  for (int frame = 0; frame < 200 && replay.emu.rzx.playing; ++frame) RunFrame(replay.emu);
  std::filesystem::remove(path);
  EXPECT_TRUE(replay.emu.rzx.finished);
  EXPECT_FALSE(replay.emu.rzx.mismatch.found)
      << "frame " << replay.emu.rzx.mismatch.frame << ": " << replay.emu.rzx.mismatch.counted
      << " reads, recorded " << replay.emu.rzx.mismatch.expected;
  for (int k = 0; k < 2; ++k)
    EXPECT_EQ(replay.m.Peek(static_cast<uint16_t>(0x8200 + k)), counted[k]);
}

// An input block whose starting T-state lies past any frame's end (a damaged or hand-made file)
// starts inside the frame: taken as it stands, the frame could never reach its fetch count.
TEST(RzxPlayback, AStartingTStatePastTheFrameIsReadBackIntoIt) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  const std::string path =
      (std::filesystem::temp_directory_path() / ("orvo_start_" + std::to_string(getpid()) + ".rzx"))
          .string();
  {
    SnapshotMachine t;
    t.emu.NoThrottle = true;
    ASSERT_TRUE(StartRzxRecording(t.emu, path));
    for (int frame = 0; frame < 5; ++frame) RunFrame(t.emu);
    ASSERT_TRUE(StopRzxRecording(t.emu));
  }
  RzxFile file;
  ASSERT_TRUE(ParseRZX(ReadWholeFile(path), file).Ok());
  std::filesystem::remove(path);
  ASSERT_FALSE(file.inputs.empty());
  const uint32_t start = file.inputs[0].startTState;
  SnapshotMachine replay;
  replay.emu.NoThrottle = true;
  file.inputs[0].startTState = start + 2 * replay.m.FrameLength;
  ASSERT_TRUE(OpenRzxBytes(replay.emu, WriteRZX(file)));
  EXPECT_EQ(replay.m.FrameTState, start);
  for (int frame = 0; frame < 10 && replay.emu.rzx.playing; ++frame) RunFrame(replay.emu);
  EXPECT_TRUE(replay.emu.rzx.finished);
  EXPECT_FALSE(replay.emu.rzx.mismatch.found);
}

constexpr int kFrames = 400;

struct Machine : SnapshotMachine {
  Machine(uint8_t model, bool contended) : SnapshotMachine(model) {
    emu.NoThrottle = true;
    emu.settings.Contention = contended ? 1 : 0;
    SetUpMachine(emu);  // again, with the contention chosen
    ResetMachine(emu, true);
  }
  // One frame of the script: the 48K types a program in at frame 120 and runs it.
  void Frame(int frame) {
    constexpr std::string_view kProgram = "10 PRINT 6*7\nRUN";
    if (frame == 120 && m.MachineModel == kModel48K)
      StartTyping(m, std::span(reinterpret_cast<const uint8_t*>(kProgram.data()), kProgram.size()));
    RunFrame(emu);
  }
  // The screen's text, then registers, timing and memory.
  std::string Outcome() const {
    return ScreenText(m) + "|" + std::to_string(m.cpu.PC) + "," + std::to_string(m.cpu.SP) + "," +
           std::to_string(m.cpu.AF.w) + "," + std::to_string(m.FrameTState) + "," +
           std::to_string(m.FrameCount) + std::string(m.RamBlock.begin(), m.RamBlock.end());
  }
};

std::string RunAlone(uint8_t model, bool contended) {
  Machine machine(model, contended);
  for (int f = 0; f < kFrames; ++f) machine.Frame(f);
  return machine.Outcome();
}

TEST(TwoMachines, RunSideBySideAsTheyRunAlone) {
  ORVO_REQUIRE_FILE(RomDir() / "48k.rom");
  ORVO_REQUIRE_FILE(RomDir() / "128k.rom");
  const std::string alone48 = RunAlone(kModel48K, false);
  const std::string alone128 = RunAlone(kModel128K, true);
  ASSERT_NE(alone48.substr(0, alone48.find('|')).find("42"), std::string::npos)
      << alone48.substr(0, alone48.find('|'));
  Machine a(kModel48K, false);
  Machine b(kModel128K, true);
  EXPECT_EQ(a.m.settings.Contention, 0);
  EXPECT_EQ(b.m.settings.Contention, 1);
  for (int f = 0; f < kFrames; ++f) {
    a.Frame(f);
    b.Frame(f);
  }
  EXPECT_TRUE(a.Outcome() == alone48);
  EXPECT_TRUE(b.Outcome() == alone128);
  EXPECT_TRUE(a.host.messages.empty() && b.host.messages.empty());
}

}  // namespace
}  // namespace orvo::test
