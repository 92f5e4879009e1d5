// The debugger: the disassembler against hand-checked texts, against what the CPU core fetches
// for every encoding, and over the whole 48K ROM; breakpoints, the PC log and the stepping
// commands on a 48K running a short program in RAM.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "cpu/z80_test_bus.h"
#include "debugger/debug_labels.h"
#include "debugger/disassembler.h"
#include "machine/machine_fixture.h"
#include "shell/debugger_commands.h"
#include "shell/frame_loop.h"
#include "shell/tape_commands.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "tape/tape_player.h"

namespace orvo::test {
namespace {

uint8_t PeekFlat(const void* memory, uint16_t address) {
  return (*static_cast<const std::array<uint8_t, 65536>*>(memory))[address];
}

struct TextCase {
  uint16_t at;
  std::vector<uint8_t> bytes;
  DisassemblyOptions options;
  const char* text;
  int length;
};

constexpr DisassemblyOptions kHex{};
constexpr DisassemblyOptions kDec{10, false, false};
constexpr DisassemblyOptions kRom{16, true, false};
constexpr DisassemblyOptions kVars{16, false, true};

TEST(Disassembler, TextsOfTheEdgeCases) {
  const TextCase cases[] = {
      // A run of prefixes: the last one counts, and the whole run is one instruction.
      {0x8000, {0xDD, 0xFD, 0x21, 0x34, 0x12}, kHex, "LD    IY,#1234", 5},
      // Relative targets, with and without labels.
      {0x8000, {0x18, 0xFE}, kHex, "JR    #8000", 2},
      {0x0000, {0x18, 0x1A}, kRom, "JR    TEST_CHAR", 2},
      {0x8000, {0x38, 0x02}, kDec, "JR    C,32772", 2},
      // Labels for addresses, never for plain values.
      {0x8000, {0xCD, 0x10, 0x00}, kRom, "CALL  PRINT_A_1", 3},
      {0x8000, {0xCD, 0x4A, 0x38}, kHex, "CALL  #384A", 3},
      {0x8000, {0x2A, 0x5D, 0x5C}, kVars, "LD    HL,(CH_ADD)", 3},
      {0x8000, {0x21, 0x5D, 0x5C}, kVars, "LD    HL,#5C5D", 3},
      {0x8000, {0xED, 0x4B, 0x5D, 0x5C}, kVars, "LD    BC,(CH_ADD)", 4},
      // Indexed operands and the undocumented halves.
      {0x8000, {0xDD, 0x7E, 0xFE}, kHex, "LD    A,(IX-#02)", 3},
      {0x8000, {0xDD, 0x44}, kHex, "LD    B,IXH", 2},
      {0x8000, {0xDD, 0x7E, 0x80}, kDec, "LD    A,(IX-128)", 3},
      {0x8000, {0xFD, 0xCB, 0xFF, 0x00}, kHex, "RLC   (IY-#01),B", 4},
      // A prefix the next opcode does not use stands alone.
      {0x8000, {0xDD, 0x00}, kHex, "DEFB  DD ?", 1},
      {0x8000, {0xDD, 0xED, 0xB0}, kHex, "DEFB  DD ?", 1},
      // ED and CB.
      {0x8000, {0xED, 0x71}, kHex, "OUT   (C),0", 2},
      {0x8000, {0xED, 0x00}, kHex, "DEFB  #ED,#00", 2},
      {0x8000, {0xCB, 0x36}, kHex, "SLL   (HL)", 2},
  };
  for (const TextCase& c : cases) {
    std::array<uint8_t, 65536> memory{};
    for (size_t i = 0; i < c.bytes.size(); ++i) memory[(c.at + i) & 0xFFFF] = c.bytes[i];
    const DisassembledLine line = DisassembleAt(PeekFlat, &memory, c.at, c.options);
    EXPECT_EQ(line.text, c.text) << "bytes " << std::hex << int{c.bytes[0]};
    EXPECT_EQ(line.length, c.length) << c.text;
  }
}

// A flat bus that notes the highest address the CPU read at or after the instruction's start:
// the instruction's bytes. Operands are zero and the registers point far away, so no data access
// lands in that window.
struct ExtentBus : FlatBus {
  uint16_t start = 0x8000;
  int last = -1;
  void Note(uint16_t a) {
    if (a >= start && a < start + 16) last = std::max(last, a - start);
  }
  uint8_t FetchOpcode(uint16_t a) {
    Note(a);
    return FlatBus::FetchOpcode(a);
  }
  uint8_t ReadByte(uint16_t a) {
    Note(a);
    return FlatBus::ReadByte(a);
  }
};

TEST(Disassembler, LengthOfEveryEncodingMatchesWhatTheCpuFetches) {
  const std::vector<std::vector<uint8_t>> prefixes = {{},     {0xCB},       {0xED},      {0xDD},
                                                      {0xFD}, {0xDD, 0xCB}, {0xFD, 0xCB}};
  for (const auto& prefix : prefixes) {
    for (int op = 0; op < 256; ++op) {
      ExtentBus bus;
      std::vector<uint8_t> bytes = prefix;
      if (prefix.size() == 2) bytes.push_back(0x00);  // the displacement comes before the opcode
      bytes.push_back(static_cast<uint8_t>(op));
      for (size_t i = 0; i < bytes.size(); ++i) bus.mem[0x8000 + i] = bytes[i];
      bus.cpu.PC = 0x8000;
      bus.cpu.SP = 0x5000;
      bus.cpu.HL.w = bus.cpu.IX.w = bus.cpu.IY.w = 0x4000;
      bus.cpu.DE.w = 0x4100;
      bus.cpu.BC.w = 0x0100;
      do ExecuteZ80(bus);  // on ExtentBus itself: FlatBus::Step would not see its reads
      while (bus.cpu.PrefixPending);
      const int fetched = bus.last + 1;
      ASSERT_GT(fetched, 0);
      // The instructions the disassembler makes of these bytes tile exactly what the CPU took;
      // more than one only after a lone prefix shown as such.
      int covered = 0, pieces = 0;
      std::string first;
      while (covered < fetched) {
        const DisassembledLine line =
            DisassembleAt(PeekFlat, &bus.mem, static_cast<uint16_t>(0x8000 + covered), kHex);
        if (pieces++ == 0) first = line.text;
        covered += line.length;
      }
      EXPECT_EQ(covered, fetched) << "prefix size " << prefix.size() << " op " << op << ": "
                                  << first;
      EXPECT_TRUE(pieces == 1 || first.starts_with("DEFB")) << op << ": " << first;
    }
  }
}

TEST(Disassembler, ListsThe48KRomWithoutGapsAndWithItsLabels) {
  ORVO_REQUIRE_FILE(RomDir() / "48.rom");
  const auto rom = ReadWholeFile(RomDir() / "48.rom");
  ASSERT_EQ(rom.size(), 16384u);
  std::array<uint8_t, 65536> memory{};
  std::copy(rom.begin(), rom.end(), memory.begin());
  const std::string listing = DisassemblyListing(PeekFlat, &memory, 0x0000, 0x3FFF, kRom);

  std::istringstream in(listing);
  std::string line, label;
  uint32_t expected = 0;
  int labelsAtInstructions = 0;
  while (std::getline(in, line)) {
    if (line.back() == ':') {
      label = line.substr(0, line.size() - 1);
      continue;
    }
    const uint32_t address = std::stoul(line.substr(0, 4), nullptr, 16);
    ASSERT_EQ(address, expected) << line;
    // The byte column holds the instruction's bytes.
    const size_t length = line.substr(6, 16).find_last_not_of(' ') / 3 + 1;
    for (size_t i = 0; i < length; ++i) {
      ASSERT_EQ(std::stoul(line.substr(6 + i * 3, 2), nullptr, 16), rom[(address + i) & 0x3FFF]);
    }
    if (!label.empty()) {
      EXPECT_STREQ(RomLabelAt(static_cast<uint16_t>(address)), label.c_str());
      ++labelsAtInstructions;
    }
    label.clear();
    expected = address + static_cast<uint32_t>(length);
  }
  EXPECT_EQ(expected, 0x4000u);
  EXPECT_NE(listing.find("CALL  LD_BYTES"), std::string::npos);
  // Nearly every label falls on an instruction of the straight listing (a few sit after tables).
  EXPECT_GT(labelsAtInstructions, 280);
}

// Letters and digits only: the table writes the disassembly's "-" and "&" as "_".
std::string LabelKey(std::string_view name) {
  std::string key;
  for (char ch : name)
    if (std::isalnum(static_cast<unsigned char>(ch))) key += static_cast<char>(std::toupper(ch));
  return key;
}

// Every ROM label against the published disassembly (tests/data/rom48_labels.txt): the routine
// of that name starts at that address there, and a listing of the ROM names each routine the ROM
// calls or jumps to.
TEST(Disassembler, RomLabelsSitWhereThePublishedDisassemblyHasThem) {
  ORVO_REQUIRE_FILE(RomDir() / "48.rom");
  ORVO_REQUIRE_FILE(DataDir() / "rom48_labels.txt");
  std::map<uint16_t, std::string> reference;
  const std::vector<uint8_t> text = ReadWholeFile(DataDir() / "rom48_labels.txt");
  std::istringstream file(std::string(text.begin(), text.end()));
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    reference[static_cast<uint16_t>(std::stoul(line.substr(0, 4), nullptr, 16))] =
        LabelKey(line.substr(5));
  }
  ASSERT_GT(reference.size(), 1000u);
  // The book's names for tables and entry points its later edition renamed, and three entry
  // points only the book names.
  const std::map<std::string, std::string> renamed = {
      {"MAINKEYS", "KEYTABLEA"},  {"SEMITONE", "SEMITONES"}, {"TAPEMSGS", "CASSETTE"},
      {"INITCHAN", "CHANINFO"},   {"CHNCDLU", "CHANCODE"},   {"CLSTRLU", "CLOSESTRM"},
      {"OFFSTTBL", "SYNTAX"},     {"CLASSTBL", "CMDCLASS"},  {"SNOTO", "SNOTOS"},
      {"STKZERO", "CONSTANTS"},   {"TBLADDRS", "CALCADDR"},  {"GETMEMXX", "GETMEM0"},
      {"STKCONSTXX", "STKZERO2"}, {"SERIESXX", "SERIES06"},  {"NOT", "FNOT"},
      {"GETHLDE", "GETHLXDE"},    {"HLHLDE", "HLHLXDE"}};
  const std::set<std::string> bookOnly = {"KTOKENS", "COTEMPC", "DLRANGE"};

  const auto rom = ReadWholeFile(RomDir() / "48.rom");
  std::array<uint8_t, 65536> memory{};
  std::copy(rom.begin(), rom.end(), memory.begin());
  uint16_t previous = 0;
  for (const AddressLabel& label : RomLabels()) {
    std::string key = LabelKey(label.name);
    if (const auto it = renamed.find(key); it != renamed.end()) key = it->second;
    if (bookOnly.count(key)) {
      // Not in the reference: the instructions from the label before lead onto it.
      uint16_t at = previous;
      while (at < label.address) at += DisassembleAt(PeekFlat, &memory, at, {}).length;
      EXPECT_EQ(at, label.address) << label.name;
    } else {
      const auto it = reference.find(label.address);
      EXPECT_TRUE(it != reference.end() && it->second == key)
          << label.name << " at " << std::hex << label.address << ": the disassembly has "
          << (it == reference.end() ? "nothing" : it->second) << " there";
    }
    previous = label.address;
  }

  // No call or jump in a listing shows a bare address the disassembly names.
  std::istringstream listing(DisassemblyListing(PeekFlat, &memory, 0x0000, 0x386D, kRom));
  int named = 0;
  for (std::string line; std::getline(listing, line);) {
    const size_t at =
        line.find("  CALL  ") != std::string::npos ? line.find("  CALL  ") : line.find("  JP    ");
    if (at == std::string::npos || line.find("(") != std::string::npos) continue;
    const size_t hash = line.find('#', at);
    if (hash == std::string::npos) {
      ++named;
      continue;
    }
    const auto target = static_cast<uint16_t>(std::stoul(line.substr(hash + 1, 4), nullptr, 16));
    EXPECT_EQ(reference.count(target), 0u) << line;
  }
  EXPECT_GT(named, 600);
}

// 8000 DI; LD A,5; LD HL,#1000; LD A,0; NOP; JR #8000
const std::vector<uint8_t> kLoop = {0xF3, 0x3E, 0x05, 0x21, 0x00, 0x10,
                                    0x3E, 0x00, 0x00, 0x18, 0xF5};

struct DebugMachine : TestMachine {
  explicit DebugMachine(const std::vector<uint8_t>& program) : TestMachine(kModel48K) {
    emu.NoThrottle = true;
    for (size_t i = 0; i < program.size(); ++i) m.RamBlock[2 * 16384 + i] = program[i];
    m.cpu = CpuState{};
    m.cpu.PC = 0x8000;
    m.FrameTState = 0;
  }
};

TEST(Breakpoints, StopWhereAndWhenTheirConditionsSay) {
  struct Entry {
    const char *address, *condition;
    bool active;
  };
  const struct {
    const char* name;
    std::vector<Entry> entries;
    int stopAt;  // PC of the stop, -1: none within a frame
    int index;   // the entry hit
  } cases[] = {
      {"plain", {{"#8008", "", true}}, 0x8008, 0},
      {"A=0 is a condition, not none", {{"#8003", "A=0", true}, {"#8008", "a=0", true}}, 0x8008, 1},
      {"HL>4000 is decimal", {{"#8006", "HL>4000", true}}, 0x8006, 0},
      {"HL>#4000 is hex", {{"#8006", "HL>#4000", true}}, -1, -1},
      {"inactive first does not hide", {{"#8008", "", false}, {"#8008", "", true}}, 0x8008, 1},
      {"address 0 first does not hide", {{"0", "", true}, {"#8008", "", true}}, 0x8008, 1},
  };
  for (const auto& c : cases) {
    DebugMachine t(kLoop);
    for (const auto& e : c.entries) {
      ASSERT_TRUE(AddBreakpointChecked(t.emu, e.address, e.condition, e.active)) << c.name;
    }
    RunFrame(t.emu);
    if (c.stopAt < 0) {
      EXPECT_EQ(t.m.debug.stop, DebugStop::kNone) << c.name;
      EXPECT_GE(t.m.FrameCount, 1u) << c.name;
      continue;
    }
    EXPECT_EQ(t.m.debug.stop, DebugStop::kBreakpoint) << c.name;
    EXPECT_EQ(t.m.cpu.PC, c.stopAt) << c.name;
    EXPECT_EQ(t.m.debug.stopBreakpoint, c.index) << c.name;
    EXPECT_EQ(t.m.FrameCount, 0u) << c.name << ": the frame is left unfinished";
  }
}

TEST(Breakpoints, ResumeRunsOnToTheNextHitAndTapePlayIgnoresThem) {
  DebugMachine t(kLoop);
  ASSERT_TRUE(AddBreakpointChecked(t.emu, "#8008", "", true));
  RunFrame(t.emu);
  ASSERT_EQ(t.m.cpu.PC, 0x8008);
  const uint32_t first = t.m.FrameTState;
  ResumeFromStop(t.m);
  RunFrame(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x8008);
  EXPECT_EQ(t.m.FrameTState - first, 44u);  // once round the loop

  ResumeFromStop(t.m);
  // A tone of 10000 pulses: the tape plays through the whole frame.
  const uint8_t tone[] = {'Z', 'X', 'T',  'a',  'p',  'e',  '!', 0x1A,
                          1,   20,  0x12, 0x78, 0x08, 0x10, 0x27};
  ASSERT_EQ(LoadTapeBytes(t.emu, tone, TapeKind::Tzx, "tone.tzx"), 0);
  StartTape(t.m);
  ASSERT_TRUE(t.m.TapePlaying);
  RunFrame(t.emu);
  EXPECT_TRUE(t.m.TapePlaying);
  EXPECT_EQ(t.m.debug.stop, DebugStop::kNone);
  EXPECT_EQ(t.m.FrameCount, 1u);
}

TEST(Breakpoints, RefusedEntriesShowTheirMessages) {
  DebugMachine t(kLoop);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(AddBreakpointChecked(t.emu, std::to_string(i), "", 1));
  EXPECT_FALSE(AddBreakpointChecked(t.emu, "1", "", true));
  EXPECT_FALSE(AddBreakpointChecked(t.emu, "#10000", "", true));
  for (int i = 255; i >= 0; --i) DeleteBreakpoint(t.m, static_cast<size_t>(i));
  EXPECT_FALSE(AddBreakpointChecked(t.emu, "#10000", "", true));
  EXPECT_FALSE(AddBreakpointChecked(t.emu, "12G", "", true));
  EXPECT_FALSE(AddBreakpointChecked(t.emu, "#8000", "Q=1", true));
  ASSERT_EQ(t.host.messages.size(), 5u);
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(t.host.messages[i].message, i < 2 ? kMsgTooManyBreakpoints : kMsgDebugBadNumber);
  // An empty table leaves the machine without hooks.
  EXPECT_EQ(t.m.DebugHooksActive, 0);
  EXPECT_FALSE(t.m.FetchTraps.Armed());
}

std::string ReadText(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(PcLog, LogsEachInstructionOnceAndBlockMovesAndTightLoopsOnce) {
  // DI; LD HL,#9000; LD DE,#A000; LD BC,1000; LDIR; LD B,3; DJNZ $; JR $
  DebugMachine t({0xF3, 0x21, 0x00, 0x90, 0x11, 0x00, 0xA0, 0x01, 0xE8, 0x03, 0xED, 0xB0, 0x06,
                  0x03, 0x10, 0xFE, 0x18, 0xFE});
  const TempDir dir;
  const std::string path = dir / "log.txt";
  ASSERT_TRUE(StartPcLogChecked(t.emu, path, false));
  while (t.m.cpu.PC != 0x8010) StepInstruction(t.emu);
  StopPcLog(t.m);
  EXPECT_EQ(
      ReadText(path),
      "PC = 8000  AF = 0000  BC = 0000  DE = 0000  HL = 0000  tstate = 00000  DI\n"
      "PC = 8001  AF = 0000  BC = 0000  DE = 0000  HL = 0000  tstate = 00004  LD    HL,#9000\n"
      "PC = 8004  AF = 0000  BC = 0000  DE = 0000  HL = 9000  tstate = 00014  LD    DE,#A000\n"
      "PC = 8007  AF = 0000  BC = 0000  DE = A000  HL = 9000  tstate = 00024  LD    BC,#03E8\n"
      "PC = 800A  AF = 0000  BC = 03E8  DE = A000  HL = 9000  tstate = 00034  LDIR\n"
      "PC = 800C  AF = 0000  BC = 0000  DE = A3E8  HL = 93E8  tstate = 21029  LD    B,#03\n"
      "PC = 800E  AF = 0000  BC = 0300  DE = A3E8  HL = 93E8  tstate = 21036  DJNZ  #800E\n"
      "PC = 8010  AF = 0000  BC = 0000  DE = A3E8  HL = 93E8  tstate = 21070  JR    #8010\n");
  EXPECT_EQ(t.m.DebugHooksActive, 0);
}

TEST(PcLog, SizeQuestionAndOneFrameEnd) {
  DebugMachine t(kLoop);
  const TempDir dir;
  const std::string path = dir / "log.txt";
  const std::string filler(3 * 1024 * 1024, 'x');
  for (const bool goOn : {true, false}) {
    ASSERT_TRUE(StartPcLogChecked(t.emu, path, false));
    t.m.debug.logLimitMb = 1;
    t.m.debug.logFile->Write(filler);
    t.host.answers.push_back(goOn);
    PcLogFrameEnd(t.emu);
    EXPECT_EQ(t.host.questions.back(), "DEBUG|File is 3MB in size \n\nDo you wish to continue?");
    EXPECT_EQ(t.m.debug.LogContinuous, goOn ? 1 : 0);
    EXPECT_EQ(t.m.debug.logLimitMb, goOn ? 2u : 1u);
    StopPcLog(t.m);
  }
  // A one-frame log ends with its frame.
  ASSERT_TRUE(StartPcLogChecked(t.emu, path, true));
  RunFrame(t.emu);
  EXPECT_FALSE(t.m.debug.logFile);
  EXPECT_GT(ReadText(path).size(), 1000u);
  // A file that cannot be made: message 125.
  EXPECT_FALSE(StartPcLogChecked(t.emu, "/nonexistent/folder/log.txt", false));
  EXPECT_EQ(t.host.messages.back().message, kMsgDebugCannotFindFile);
}

TEST(DebugCommands, StepOverRunsTheCallAndStepOutLeavesTheRoutine) {
  // 8000 CALL #8010; NOP ... 8010 LD A,7; INC A; RET
  std::vector<uint8_t> program(0x10, 0x00);
  program[0] = 0xCD, program[1] = 0x10, program[2] = 0x80;
  program.insert(program.end(), {0x3E, 0x07, 0x3C, 0xC9});
  DebugMachine t(program);
  t.m.cpu.SP = 0xFF00;
  DebugStepOver(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x8003);
  EXPECT_EQ(t.m.cpu.AF.b.h, 8);
  EXPECT_EQ(t.m.cpu.SP, 0xFF00);

  t.m.cpu.PC = 0x8000;
  DebugSingleStep(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x8010);
  DebugStepOut(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x8003);

  // A breakpoint inside the call stops Step Over there; a step from it goes on.
  t.m.cpu.PC = 0x8000;
  ASSERT_TRUE(AddBreakpointChecked(t.emu, "#8012", "", true));
  DebugStepOver(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x8012);
  DebugSingleStep(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x8013);
}

TEST(DebugCommands, RunUntilStopsAtArmedEvents) {
  // 8000 LD A,#12; OUT (#FE),A; IM 1; EI; NOP; JR #8000 (interrupts on: the frame turns over)
  DebugMachine t({0x3E, 0x12, 0xD3, 0xFE, 0xED, 0x56, 0xFB, 0x00, 0x18, 0xF6});
  t.m.debug.portWrite = 254;
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  EXPECT_EQ(t.m.debug.stop, DebugStop::kPortWrite);
  EXPECT_EQ(t.m.cpu.PC, 0x8002);
  t.m.debug.armedOpcodes = kUntilEI | kUntilIM1;
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  EXPECT_EQ(t.m.cpu.PC, 0x8004);
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  EXPECT_EQ(t.m.cpu.PC, 0x8006);
  EXPECT_EQ(t.m.debug.armedOpcodes, 0);
  t.m.debug.targetTState = 30000;
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  EXPECT_EQ(t.m.debug.stop, DebugStop::kTState);
  EXPECT_GE(t.m.FrameTState, 30000u);
  EXPECT_LT(t.m.FrameTState, 30020u);
  // An event that never comes is disarmed when the run gives up.
  t.m.debug.portRead = 1234;
  EXPECT_FALSE(DebugRunUntilEvent(t.emu, 2));
  EXPECT_EQ(t.m.debug.portRead, -1);
  EXPECT_EQ(t.m.DebugHooksActive, 0);
  DebugRunUntil(t.emu, RunUntilTarget::kInterrupt);
  EXPECT_LT(t.m.FrameTState, 30u);
  EXPECT_EQ(t.m.FrameCount, 3u);
}

// An IM 2 machine whose interrupt routine at #A000 counts in D: INC D; EI; RET (vector at #90FF).
struct InterruptMachine : DebugMachine {
  explicit InterruptMachine(std::vector<uint8_t> program) : DebugMachine(WithSetUp(program)) {
    uint8_t* bank2 = &m.RamBlock[2 * 16384];
    bank2[0x10FF] = 0x00, bank2[0x1100] = 0xA0;
    bank2[0x2000] = 0x14, bank2[0x2001] = 0xFB, bank2[0x2002] = 0xC9;
    m.cpu.SP = 0xFF00;
  }
  // LD A,#90; LD I,A; IM 2; EI, then the program from #8006.
  static std::vector<uint8_t> WithSetUp(std::vector<uint8_t> program) {
    program.insert(program.begin(), {0x3E, 0x90, 0xED, 0x47, 0xED, 0x5E, 0xFB});
    return program;
  }
};

TEST(PcLog, AHaltIsLoggedOnceAndLabelsFollowTheViewSettings) {
  // 8007 LD HL,(#5C5D); HALT; JR #800A (back to the HALT): two frames of PAUSE 0.
  InterruptMachine t({0x2A, 0x5D, 0x5C, 0x76, 0x18, 0xFD});
  t.emu.settings.DisSave = 1;
  t.emu.ApplyMachineSettings();
  const TempDir dir;
  const std::string path = dir / "log.txt";
  ASSERT_TRUE(StartPcLogChecked(t.emu, path, false));
  RunFrame(t.emu);
  RunFrame(t.emu);
  StopPcLog(t.m);
  std::istringstream log(ReadText(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  int halts = 0;
  for (const std::string& line : lines) halts += line.find("HALT") != std::string::npos;
  // Each frame: one HALT line, then the interrupt routine and the JR back.
  EXPECT_EQ(halts, 2);
  EXPECT_LT(lines.size(), 20u);
  EXPECT_NE(ReadText(path).find("PC = 800A  AF = 9000"), std::string::npos);
  EXPECT_NE(ReadText(path).find("LD    HL,(CH_ADD)"), std::string::npos);
  EXPECT_EQ(t.m.cpu.DE.b.h, 1) << "the first frame's interrupt came before EI";
}

TEST(DebugCommands, SteppingTakesInterruptsAndCanStepIntoTheRoutine) {
  // 8007 CALL #8020; NOP ... 8020 HALT; RET: a routine that waits for the frame.
  std::vector<uint8_t> program(0x19, 0x00);
  program[0] = 0xCD, program[1] = 0x20, program[2] = 0x80;
  program.insert(program.end(), {0x76, 0xC9});
  InterruptMachine t(program);
  t.m.FrameTState = 100;
  for (int i = 0; i < 4; ++i) DebugSingleStep(t.emu);
  ASSERT_EQ(t.m.cpu.PC, 0x8007);
  DebugStepOver(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x800A);
  EXPECT_EQ(t.m.cpu.SP, 0xFF00);
  EXPECT_EQ(t.m.cpu.DE.b.h, 1) << "the frame's interrupt was taken inside the call";
  EXPECT_EQ(t.m.FrameCount, 1u);

  // Run Until Interrupt leaves the interrupt due; a single step is its acceptance alone, and the
  // next one the routine's first instruction.
  t.m.cpu.IFF1 = t.m.cpu.IFF2 = 1;
  DebugRunUntil(t.emu, RunUntilTarget::kInterrupt);
  ASSERT_EQ(t.m.FrameTState, 0u);
  DebugSingleStep(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0xA000);
  EXPECT_EQ(t.m.cpu.SP, 0xFEFE);
  EXPECT_EQ(t.m.cpu.IFF1, 0);
  EXPECT_EQ(t.m.FrameTState, 19u);  // acknowledge 7, push 6, vector 6
  DebugSingleStep(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0xA001);
  EXPECT_EQ(t.m.cpu.DE.b.h, 2);
  DebugStepOut(t.emu);
  EXPECT_EQ(t.m.cpu.SP, 0xFF00);

  // Step Over with the interrupt due runs the routine, then the instruction.
  t.m.cpu.PC = 0x800A;  // NOP
  t.m.cpu.IFF1 = t.m.cpu.IFF2 = 1;
  t.m.FrameTState = 0;
  DebugStepOver(t.emu);
  EXPECT_EQ(t.m.cpu.PC, 0x800B);
  EXPECT_EQ(t.m.cpu.DE.b.h, 3);
}

TEST(DebugCommands, RunUntilBehindTheMachineAndF8AgainRunTheNextFrame) {
  DebugMachine t(kLoop);
  ArmRunUntilTState(t.m, 30000);
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  ASSERT_GE(t.m.FrameTState, 30000u);
  ArmRunUntilTState(t.m, 100);  // behind: the next frame's T-state 100
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  EXPECT_EQ(t.m.FrameCount, 1u);
  EXPECT_GE(t.m.FrameTState, 100u);
  EXPECT_LT(t.m.FrameTState, 120u);
  ArmRunUntilTState(t.m, t.m.FrameTState);  // where it stands: a whole frame on
  EXPECT_TRUE(DebugRunUntilEvent(t.emu));
  EXPECT_EQ(t.m.FrameCount, 2u);

  for (uint64_t frames : {2u, 3u}) {
    DebugRunUntil(t.emu, RunUntilTarget::kEndOfFrame);
    EXPECT_GE(t.m.FrameTState, t.m.FrameLength);
    EXPECT_EQ(t.m.FrameCount, frames);
  }
}

}  // namespace
}  // namespace orvo::test
