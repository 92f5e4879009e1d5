// Assembled code in the machine: bytes into the named 128K bank, the program's labels in the
// disassembly and as breakpoint addresses, and the TAP's BASIC loader and code blocks.
#include "shell/assembler_output.h"

#include <gtest/gtest.h>

#include "debugger/debug_hooks.h"
#include "debugger/disassembler.h"
#include "machine/machine_fixture.h"

namespace orvo {
namespace {

AsmResult Asm(const std::string& text) {
  AsmResult r = Assemble("t.asm", text, [](const std::string&) { return std::nullopt; });
  EXPECT_TRUE(r.ok()) << FormatDiagnostics(r);
  return r;
}

TEST(AssemblerOutput, CodeGoesIntoTheNamedBankAndLabelsReachTheDebugger) {
  test::TestMachine t(kModel128K);
  const AsmResult r =
      Asm(" org #8000\n"
          "main: call helper\n"
          ".again: jr .again\n"
          " org #C000\n"
          "helper: ret\n");
  LoadAssembly(t.m, r, 3);
  EXPECT_EQ(t.m.Peek(0x8000), 0xCD);
  EXPECT_EQ(t.Bank(3)[0], 0xC9);  // bank 3, not the paged bank 0
  EXPECT_EQ(t.Bank(0)[0], 0);
  LoadAssembly(t.m, r, kAsmPagedMemory);
  EXPECT_EQ(t.Bank(0)[0], 0xC9);

  SetAssemblyLabels(t.m, r);
  DisassemblyOptions o;
  o.userLabels = &t.m.debug.labels;
  EXPECT_EQ(DisassembleAt(PeekMachine, &t.m, 0x8000, o).text, "CALL  helper");
  EXPECT_EQ(DisassembleAt(PeekMachine, &t.m, 0x8003, o).text, "JR    main.again");
  EXPECT_NE(DisassemblyListing(PeekMachine, &t.m, 0x8000, 0x8003, o).find("main:\n8000"),
            std::string::npos);
  ASSERT_EQ(AddBreakpoint(t.m, "main.again", "", true), BreakpointAdd::kAdded);
  EXPECT_EQ(t.m.debug.breakpoints.back().address, 0x8003u);
  EXPECT_EQ(AddBreakpoint(t.m, "missing", "", true), BreakpointAdd::kBadAddress);

  std::string error;
  EXPECT_EQ(AssemblyEntry(r, "", &error), 0x8000);  // no END: the first byte
  EXPECT_EQ(AssemblyEntry(r, "helper", &error), 0xC000);
  EXPECT_FALSE(AssemblyEntry(r, "nothing", &error));
  EXPECT_EQ(error, "no label 'nothing' in the program");
}

TEST(AssemblerOutput, TapeHoldsALoaderThatClearsLoadsAndStartsTheCode) {
  const AsmResult r = Asm(" org 40000\n nop\nstart: ret\n");
  const std::vector<uint8_t> tap = AssemblyTap(r, "averylongname", 40001);
  // Four blocks: BASIC header and program, CODE header and the two bytes.
  size_t at = 0;
  std::vector<std::vector<uint8_t>> blocks;
  while (at + 2 <= tap.size()) {
    const size_t n = tap[at] | tap[at + 1] << 8;
    ASSERT_LE(at + 2 + n, tap.size());
    blocks.emplace_back(tap.begin() + static_cast<long>(at) + 2,
                        tap.begin() + static_cast<long>(at + 2 + n));
    uint8_t sum = 0;
    for (uint8_t b : blocks.back()) sum ^= b;
    EXPECT_EQ(sum, 0) << "block " << blocks.size();
    at += 2 + n;
  }
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(std::string(blocks[0].begin() + 2, blocks[0].begin() + 12), "averylongn");
  EXPECT_EQ(blocks[0][14] | blocks[0][15] << 8, 10);  // runs from line 10
  const std::string program(blocks[1].begin() + 1, blocks[1].end() - 1);
  EXPECT_EQ(program.substr(4, 6),
            "\xFD"
            "39999");  // CLEAR 39999
  EXPECT_NE(program.find("\xEF\"\"\xAF:\xF9\xC0"
                         "40001"),
            std::string::npos);
  EXPECT_EQ(blocks[2][1], 3);  // CODE
  EXPECT_EQ(blocks[2][14] | blocks[2][15] << 8, 40000);
  EXPECT_EQ(blocks[3], (std::vector<uint8_t>{0xFF, 0x00, 0xC9, 0x36}));
}

}  // namespace
}  // namespace orvo
