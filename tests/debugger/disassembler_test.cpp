// The disassembler against hand-checked texts, against what the CPU core fetches for every
// encoding, and over the whole 48K ROM.
#include "debugger/disassembler.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

#include "cpu/z80_test_bus.h"
#include "debugger/debug_labels.h"
#include "support/test_paths.h"

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
      {0x8000, {0x10, 0x80}, kHex, "DJNZ  #7F82", 2},
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
      {0x8000, {0xDD, 0xE9}, kHex, "JP    (IX)", 2},
      {0x8000, {0xDD, 0x7E, 0x80}, kDec, "LD    A,(IX-128)", 3},
      {0x8000, {0xDD, 0xCB, 0x05, 0x46}, kHex, "BIT   0,(IX+#05)", 4},
      {0x8000, {0xFD, 0xCB, 0xFF, 0x00}, kHex, "RLC   (IY-#01),B", 4},
      // A prefix the next opcode does not use stands alone.
      {0x8000, {0xDD, 0x00}, kHex, "DEFB  DD ?", 1},
      {0x8000, {0xDD, 0xED, 0xB0}, kHex, "DEFB  DD ?", 1},
      // ED, CB and the rest.
      {0x8000, {0xED, 0x70}, kHex, "IN    F,(C)", 2},
      {0x8000, {0xED, 0x71}, kHex, "OUT   (C),0", 2},
      {0x8000, {0xED, 0x5E}, kHex, "IM    2", 2},
      {0x8000, {0xED, 0x00}, kHex, "DEFB  #ED,#00", 2},
      {0x8000, {0xCB, 0x36}, kHex, "SLL   (HL)", 2},
      {0x8000, {0x3E, 0x0A}, kDec, "LD    A,10", 2},
      {0x8000, {0xFF}, kHex, "RST   #38", 1},
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
  int checked = 0;
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
      ++checked;
    }
  }
  EXPECT_EQ(checked, 1792);
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
  EXPECT_NE(listing.find("KEY_SCAN:\n028E  2E 2F"), std::string::npos);
  EXPECT_NE(listing.find("LD_BYTES:\n0556  14"), std::string::npos);
  EXPECT_NE(listing.find("CALL  LD_BYTES"), std::string::npos);
  // Nearly every label falls on an instruction of the straight listing (a few sit after tables).
  EXPECT_GT(labelsAtInstructions, 280);
}

}  // namespace
}  // namespace orvo::test
