// Loading tapes through a real ROM: LOAD "" of a small program from every kind of tape, with the
// ROM trap, with real pulses and with fast loading; and the deck's commands on a real machine.
#include <gtest/gtest.h>

#include "assembler/assembler.h"
#include "formats/csw_format.h"
#include "formats/z80_format.h"
#include "shell/poke_memory.h"
#include "snapshot/snapshot_apply.h"
#include "support/temp_dir.h"
#include "tape/tape_player.h"
#include "tape_machine.h"
#include "tape_test_support.h"

namespace orvo::test {
namespace {

const char kHelloTap[] = "testdata/media/tap/zasm_hello_world.tap";

// The pulse lengths (T-states) the deck plays for a TAP file, from its first edge.
std::vector<uint64_t> PulsesOfTap(const std::vector<uint8_t>& tap) {
  TapeRig rig;
  rig.Insert(tap, false);
  rig.PlayRecording();
  std::vector<uint64_t> out = rig.Intervals();
  if (!out.empty()) out.erase(out.begin());  // the silence before the first edge
  return out;
}

// A 44.1 kHz mono 8-bit WAV of those pulses, as a cassette rip would hold them.
std::vector<uint8_t> WavOfPulses(const std::vector<uint64_t>& pulses) {
  std::vector<uint8_t> samples(4410, 0x80);  // a tenth of a second of silence first
  uint64_t t = 0, written = 0;
  bool high = true;
  for (uint64_t p : pulses) {
    t += p;
    for (; written < t * 44100 / kTapeClockHz; ++written) samples.push_back(high ? 0xB0 : 0x50);
    high = !high;
  }
  samples.insert(samples.end(), 4410, 0x80);
  TapeBytes b;
  b.Text("RIFF").U32(36 + static_cast<uint32_t>(samples.size())).Text("WAVEfmt ");
  b.U32(16).U16(1).U16(1).U32(44100).U32(44100).U16(1).U16(8);
  return b.Text("data").U32(static_cast<uint32_t>(samples.size())).Raw(samples).bytes;
}

// A PZX file with those pulses as one pulse sequence.
std::vector<uint8_t> PzxOfPulses(const std::vector<uint64_t>& pulses) {
  TapeBytes body;
  for (uint64_t p : pulses) {
    if (p >= 0x8000) body.U16(0x8000 | static_cast<uint32_t>(p >> 16));
    body.U16(static_cast<uint32_t>(p & (p >= 0x8000 ? 0xFFFF : 0x7FFF)));
  }
  TapeBytes b;
  b.Text("PZXT").U32(2).U8(1).U8(0);
  return b.Text("PULS").U32(static_cast<uint32_t>(body.bytes.size())).Raw(body.bytes).bytes;
}

struct HelloCase {
  const char* name;
  bool traps, fastload;
  const char* file = kHelloTap;
  TapeKind made = TapeKind::None;  // WAV or PZX: made from the TAP's pulses
  // Inserting the tape loads the boot snapshot (the machine waiting in the ROM loader); the deck
  // starts as the loader polls the EAR bit, and stops when the program is in.
  bool autoload = false;
};

// Writes a boot snapshot into the libs folder `libs`: a 48K booted to its tape loader.
bool MakeBootSnapshot(const TempDir& libs) {
  TapeMachine maker;
  if (!BootToTapeLoader(maker.emu)) return false;
  const std::vector<uint8_t> z80 = WriteZ80(CaptureSnapshot(maker.m), 3, false);
  libs.Write("tape_48.z80", std::string(z80.begin(), z80.end()));
  return true;
}

class HelloWorldLoad : public ::testing::TestWithParam<HelloCase> {};

TEST_P(HelloWorldLoad, PrintsHelloWorld) {
  const HelloCase c = GetParam();
  ORVO_REQUIRE_TAPE_ROMS(kModel48K);
  ORVO_REQUIRE_FILE(SharedFile(c.file));
  TapeMachine tm;
  tm.m.settings.TapeTraps = c.traps;
  tm.m.settings.Fastload = c.fastload;
  if (c.autoload) {
    const TempDir libs;
    ASSERT_TRUE(MakeBootSnapshot(libs));
    tm.emu.folders.LibsFolder = libs.path.string() + "/";
    tm.m.settings.Autoload = 1;
    ASSERT_EQ(LoadTape(tm.emu, SharedFile(c.file).string()), 0);
    EXPECT_TRUE(AtTapeLoaderEntry(tm.m)) << "the boot snapshot stands at LD-BYTES";
  } else if (!BootToTapeLoader(tm.emu)) {
    FAIL() << "no tape loader";
  } else if (c.made == TapeKind::None) {
    ASSERT_TRUE(tm.Insert(SharedFile(c.file)));
  } else {
    const std::vector<uint64_t> pulses = PulsesOfTap(ReadWholeFile(SharedFile(c.file)));
    const auto bytes = c.made == TapeKind::Wav ? WavOfPulses(pulses) : PzxOfPulses(pulses);
    ASSERT_EQ(LoadTapeBytes(tm.emu, bytes, c.made, c.name), 0);
  }
  uint64_t pulses = 0;
  for (int frame = 0; frame < 3000 && tm.Screen().find("Hello World!") == std::string::npos;
       ++frame) {
    // The machine starts the tape itself at the loader's CP A (traps off).
    RunFrame(tm.emu);
    if (tm.m.TapePlaying) ++pulses;
  }
  EXPECT_NE(tm.Screen().find("Hello World!"), std::string::npos) << tm.Screen();
  EXPECT_TRUE(tm.host.messages.empty());
  EXPECT_EQ(pulses == 0, c.traps) << "with traps the tape never plays";
  if (c.autoload) {
    tm.RunFrames(50);
    EXPECT_FALSE(tm.m.TapePlaying) << "the deck stops once the loader is done";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tape, HelloWorldLoad,
    ::testing::Values(HelloCase{"traps", true, false}, HelloCase{"pulses", false, false},
                      HelloCase{"fastload", false, true},
                      // Select and custom info blocks are stepped over.
                      HelloCase{"select_custominfo", false, false,
                                "testdata/media/tzx/SYNTHETIC_select_0x28_custominfo_0x35.tzx"},
                      HelloCase{"csw2", false, false,
                                "testdata/media/csw/derived/zasm_hello_world_csw2_zrle_44100.csw"},
                      HelloCase{"wav", false, false, kHelloTap, TapeKind::Wav},
                      HelloCase{"pzx", false, false, kHelloTap, TapeKind::Pzx},
                      HelloCase{"autoload", false, false, kHelloTap, TapeKind::None, true}),
    [](const auto& instance) { return std::string(instance.param.name); });

// The zasm block test tape: LOAD "" prints "Hello World!"; the deck then stops at the pause of
// 0 ms that follows, and on a 48K played on, at the "stop the tape if in 48K mode" block.
TEST(TapeLoad, ZasmBlockTapeStopsWhereItSays) {
  ORVO_REQUIRE_TAPE_ROMS(kModel48K);
  const auto file = SharedFile("testdata/media/tzx/zasm_tzx_blocks.tzx");
  ORVO_REQUIRE_FILE(file);
  TapeMachine tm;
  ASSERT_TRUE(tm.BootAndInsert(file));
  ASSERT_TRUE(tm.RunUntilScreenShows("Hello World!", 3000)) << tm.Screen();
  tm.RunFrames(100);
  EXPECT_FALSE(tm.m.TapePlaying);
  ASSERT_NE(tm.m.tape.image->current, nullptr);
  EXPECT_EQ(tm.m.tape.image->current->id, 0x20);
  EXPECT_EQ(tm.m.tape.image->current->p[0], 0u);

  StartStopTapeCommand(tm.emu);  // F11: play on
  for (int frame = 0; frame < 3000 && tm.m.TapePlaying; ++frame) tm.RunFrames(1);
  EXPECT_FALSE(tm.m.TapePlaying);
  ASSERT_NE(tm.m.tape.image->current, nullptr);
  EXPECT_EQ(tm.m.tape.image->current->id, 0x2A);
  EXPECT_TRUE(tm.host.messages.empty());
}

// Eject and rewind without a tape say so. A damaged file is refused whole, with the deck empty or
// holding a tape; so is one that cannot be read, or of an unknown kind. With a tape, rewind goes
// back to the first block and eject takes the ROM trap out.
TEST(TapeLoad, ARefusedTapeLeavesTheDeckAsItWasAndEjectAndRewindCommands) {
  const auto file = SharedFile("testdata/media/tzx/invalid/bc_quest_corrupted.tzx");
  const auto good = SharedFile(kHelloTap);
  ORVO_REQUIRE_FILE(file);
  ORVO_REQUIRE_FILE(good);
  TapeMachine tm;
  EjectTapeCommand(tm.emu);
  RewindTapeCommand(tm.emu);
  ASSERT_EQ(tm.host.messages.size(), 2u);
  EXPECT_EQ(tm.host.messages[0].message, 51);
  EXPECT_EQ(tm.host.messages[0].caption, CaptionId::Error);
  tm.host.messages.clear();
  EXPECT_NE(LoadTape(tm.emu, file.string()), 0);
  ASSERT_EQ(tm.host.messages.size(), 1u);
  EXPECT_NE(tm.host.messages[0].text.find("Tape Error: Failed at ORVO_GENERALISED_DATA_BLOCK"),
            std::string::npos);
  EXPECT_EQ(tm.m.tape.image, nullptr);
  ASSERT_EQ(OpenTapeFile(tm.emu, good.string()), 0);
  const TapeImage* inDeck = tm.m.tape.image.get();
  const std::pair<std::string, int> refused[] = {
      {file.string(), 32}, {file.string() + ".missing.tzx", 20}, {file.string() + ".txt", 22}};
  for (const auto& [path, message] : refused) {
    EXPECT_NE(OpenTapeFile(tm.emu, path), 0) << path;
    EXPECT_EQ(tm.host.messages.back().message, message) << path;
    EXPECT_EQ(tm.m.tape.image.get(), inDeck) << path;
  }
  EXPECT_EQ(tm.emu.files.FileTypeLabel, "TAP File");
  const size_t shown = tm.host.messages.size();
  EnterTapeBlock(tm.m, tm.m.tape.image->last);
  RewindTapeCommand(tm.emu);
  ASSERT_NE(tm.m.tape.image, nullptr);
  EXPECT_EQ(tm.m.tape.image->current, tm.m.tape.image->first);
  EXPECT_EQ(tm.m.tape.image->blocks.size(), 4u);
  EXPECT_TRUE(tm.m.FetchTraps.Has(kTapeLoadTrapAddress));
  EjectTapeCommand(tm.emu);
  EXPECT_EQ(tm.m.tape.image, nullptr);
  EXPECT_FALSE(tm.m.FetchTraps.Has(kTapeLoadTrapAddress));
  EXPECT_EQ(tm.host.messages.size(), shown);
}

// A loader's wait between edges is counted out in one step on the fast core (tests/data/
// edge_loops.asm waits with loops of five shapes in turn). Compared frame by frame with a machine
// that single-steps: a frame often ends a few instructions after such a count, with the flags it
// left still in F, and the automatic deck sees every read.
TEST(TapeLoad, CountedWaitsBetweenEdgesLeaveTheMachineAsSingleSteps) {
  ORVO_REQUIRE_TAPE_ROMS(kModel128K);
  const std::filesystem::path tape = SharedFile(kHelloTap);
  ORVO_REQUIRE_FILE(tape);
  const AsmResult code = AssembleFile((DataDir() / "edge_loops.asm").string());
  ASSERT_TRUE(code.ok()) << code.listing;
  for (const uint8_t model : {kModel48K, kModel128K}) {
    TapeMachine fast(model), single(model);
    single.m.SingleSteps = true;
    for (TapeMachine* tm : {&fast, &single}) {
      for (const AsmBlock& block : code.blocks) {
        for (size_t i = 0; i < block.bytes.size(); ++i)
          PokeByte(tm->m, kPokNoBank, static_cast<uint16_t>(block.address + i), block.bytes[i]);
      }
      tm->m.cpu.PC = *code.entry;
      tm->m.cpu.SP = 0x7F00;
      tm->m.settings.Autoload = 1;
      ASSERT_TRUE(tm->Insert(tape));
    }
    for (int frame = 1; frame <= 700; ++frame) {
      fast.RunFrames(1);
      single.RunFrames(1);
      const CpuState &a = fast.m.cpu, &b = single.m.cpu;
      ASSERT_EQ(fast.m.FrameTState, single.m.FrameTState) << int{model} << " frame " << frame;
      ASSERT_EQ(a.PC, b.PC) << int{model} << " frame " << frame;
      ASSERT_EQ(a.AF.w, b.AF.w) << int{model} << " frame " << frame;
      ASSERT_EQ(a.BC.w, b.BC.w) << int{model} << " frame " << frame;
      ASSERT_EQ(a.IR.b.l & 0x7F, b.IR.b.l & 0x7F) << int{model} << " frame " << frame;
      ASSERT_EQ(a.MEMPTR, b.MEMPTR) << int{model} << " frame " << frame;
      ASSERT_EQ(fast.m.tape.LastReadTime, single.m.tape.LastReadTime) << "frame " << frame;
      ASSERT_EQ(fast.m.tape.LastB, single.m.tape.LastB) << "frame " << frame;
      ASSERT_EQ(fast.m.tape.EdgeCount, single.m.tape.EdgeCount) << "frame " << frame;
    }
    EXPECT_TRUE(fast.m.TapePlaying);
    // Into the first block's data: the waits were short as well as long.
    ASSERT_NE(fast.m.tape.image->current, nullptr);
    EXPECT_GT(fast.m.tape.EdgeCount, 8100u);
  }
}

}  // namespace
}  // namespace orvo::test
