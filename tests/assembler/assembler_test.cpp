// The assembler against the disassembler (every instruction, both ways), its directives, number
// forms and operators, its scoping, and every kind of error with its place.
#include "assembler/assembler.h"

#include <gtest/gtest.h>

#include <map>

#include "assembler/instruction_set.h"

namespace orvo {
namespace {

using test::AllInstructions;

AsmResult Asm(const std::string& text, const std::map<std::string, std::string>& files = {}) {
  return Assemble("main.asm", text, [&](const std::string& path) -> std::optional<std::string> {
    auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  });
}

std::vector<uint8_t> Bytes(const std::string& text) {
  const AsmResult r = Asm(text);
  EXPECT_TRUE(r.ok()) << text << "\n" << FormatDiagnostics(r);
  return r.Image();
}

TEST(Assembler, EveryInstructionAssemblesToTheBytesItWasDisassembledFrom) {
  const auto lines = AllInstructions(0x8000);
  ASSERT_GT(lines.size(), 1200u);  // documented and undocumented, both displacement signs
  std::string source = "  ORG #8000\n";
  std::vector<uint8_t> expected;
  for (const auto& l : lines) {
    source += "  " + l.text + "\n";
    expected.insert(expected.end(), l.bytes.begin(), l.bytes.end());
  }
  const AsmResult r = Asm(source);
  ASSERT_TRUE(r.ok()) << FormatDiagnostics(r).substr(0, 2000);
  uint16_t first = 0;
  const std::vector<uint8_t> image = r.Image(&first);
  EXPECT_EQ(first, 0x8000);
  ASSERT_EQ(image.size(), expected.size());
  // Disassembling what was assembled gives the source line back.
  std::vector<uint8_t> memory(0x10000, 0);
  std::copy(image.begin(), image.end(), memory.begin() + 0x8000);
  int mismatches = 0;
  for (const auto& l : lines) {
    const DisassembledLine back = DisassembleAt(test::PeekVector, &memory, l.address, {});
    if (back.text != l.text || back.length != l.bytes.size()) {
      if (++mismatches < 10) ADD_FAILURE() << l.text << " came back as " << back.text;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Assembler, LowerCaseAndAlternativeSpellingsOfOperands) {
  EXPECT_EQ(Bytes("ld a,(ix)\n ld (iy-1),a\n ex af,af\n sl1 b\n in (c)\n jp (iy)\n rst 1\n"
                  " sub a,b\n ld xh,a\n ld a,[#1234]"),
            (std::vector<uint8_t>{0xDD, 0x7E, 0x00, 0xFD, 0x77, 0xFF, 0x08, 0xCB, 0x30, 0xED,
                                  0x70, 0xFD, 0xE9, 0xCF, 0x90, 0xDD, 0x67, 0x3A, 0x34, 0x12}));
}

TEST(Assembler, NumberFormsStringsAndCharacters) {
  EXPECT_EQ(Bytes(" db 10, #1F, $1F, 0x1F, &1F, 1Fh, 0FFh, %101, 101b, 17o, 'A', \"\"\"\"\n"
                  " defm \"Hi\", 'it''s'\n dw 'AB', -1"),
            (std::vector<uint8_t>{10,  0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0xFF, 5,   5,   15,   'A',
                                  '"', 'H',  'i',  'i',  't',  '\'', 's',  'A', 'B', 0xFF, 0xFF}));
}

TEST(Assembler, OperatorsFollowCPrecedence) {
  const struct {
    const char* expr;
    int value;
  } kCases[] = {
      {"2+3*4", 14},   {"(2+3)*4", 20},      {"1<<4|1", 17},      {"7&3==3", 1},
      {"10-4-3", 3},   {"-2*-3", 6},         {"~0&255", 255},     {"!0+1", 2},
      {"17%5", 2},     {"100/7", 14},        {"1||0&&0", 1},      {"5>3==1", 1},
      {"6^3", 5},      {"HIGH #1234", 0x12}, {"LOW #1234", 0x34}, {"3 MOD 2 + 1 SHL 2", 8},
      {"'a'-'A'", 32}, {"#10>>2", 4},
  };
  for (const auto& c : kCases) {
    const AsmResult r = Asm(std::string("v EQU ") + c.expr);
    ASSERT_TRUE(r.ok()) << c.expr << "\n" << FormatDiagnostics(r);
    EXPECT_EQ(r.Find("v"), c.value) << c.expr;
  }
}

TEST(Assembler, ForwardReferencesDollarAndConstantsFromLaterLabels) {
  const AsmResult r =
      Asm("  org 30000\n"
          "start: jp later\n"
          "size equ end - start\n"  // a constant from a label not yet seen
          "  dw size, $\n"
          "  ld a,size\n"
          "later: jr start\n"
          "here = $ + 1\n"
          "end:\n");
  ASSERT_TRUE(r.ok()) << FormatDiagnostics(r);
  EXPECT_EQ(r.Find("later"), 30000 + 3 + 4 + 2);
  EXPECT_EQ(r.Find("size"), 11);
  EXPECT_EQ(r.Find("here"), 30012);
  EXPECT_EQ(r.Image(),
            (std::vector<uint8_t>{0xC3, 0x39, 0x75, 11, 0, 0x33, 0x75, 0x3E, 11, 0x18, 0xF5}));
}

TEST(Assembler, LocalLabelsInProcsMacrosAndAfterAGlobalLabel) {
  const AsmResult r =
      Asm("first:  nop\n"
          ".loop:  djnz .loop\n"
          "second: nop\n"
          ".loop:  djnz .loop\n"
          "        jp first.loop\n"
          "one     proc\n"
          "inner:  jr inner\n"
          "        endp\n"
          "two     proc\n"
          "inner:  jr inner\n"
          "        endp\n"
          "wait    macro count\n"
          "        ld b,count\n"
          "again:  djnz again\n"
          "        endm\n"
          "        wait 3\n"
          "        wait 4\n");
  ASSERT_TRUE(r.ok()) << FormatDiagnostics(r);
  EXPECT_EQ(r.Find("first.loop"), 1);
  EXPECT_EQ(r.Find("second.loop"), 4);
  EXPECT_EQ(r.Find("one.inner"), 9);
  EXPECT_EQ(r.Find("two.inner"), 11);
  EXPECT_FALSE(r.Find("inner"));
  const std::vector<uint8_t> image = r.Image();
  EXPECT_EQ(std::vector<uint8_t>(image.begin() + 13, image.end()),
            (std::vector<uint8_t>{0x06, 3, 0x10, 0xFE, 0x06, 4, 0x10, 0xFE}));
}

TEST(Assembler, ConditionalsIncludesAndBinaries) {
  const std::map<std::string, std::string> files = {
      {"lib/defs.asm", "VALUE equ 7\n include \"more.asm\"\n"},
      {"lib/more.asm", "MORE equ VALUE+1\n"},
      {"data.bin", std::string("\x01\x02\x03\x04", 4)},
  };
  const AsmResult r =
      Asm(" include \"lib/defs.asm\"\n"
          " if VALUE > 5\n"
          "  db MORE\n"
          "  if 0\n   db 99\n  else\n   db 1\n  endif\n"
          " else\n"
          "  db 98\n"
          " endif\n"
          " ifdef MORE\n db 2\n endif\n"
          " ifndef MORE\n db 97\n endif\n"
          " incbin \"data.bin\", 1, 2\n"
          " defs 3, #AA\n"
          " ds 1\n"
          " align 4\n"
          " db 5\n"
          " end\n"
          " db 96\n",
          files);
  ASSERT_TRUE(r.ok()) << FormatDiagnostics(r);
  EXPECT_EQ(r.Image(), (std::vector<uint8_t>{8, 1, 2, 2, 3, 0xAA, 0xAA, 0xAA, 0, 0, 0, 0, 5}));
}

TEST(Assembler, OrgMakesBlocksAndEndGivesTheEntry) {
  const AsmResult r = Asm(" org #8000\nmain: ret\n org #9000\n db 1,2\n end main\n");
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(r.blocks.size(), 2u);
  EXPECT_EQ(r.blocks[1].address, 0x9000);
  EXPECT_EQ(r.entry, 0x8000);
  EXPECT_EQ(r.Image().size(), 0x1002u);
  EXPECT_NE(r.listing.find("8000  C9"), std::string::npos) << r.listing;
  EXPECT_NE(r.SymbolTable().find("main"), std::string::npos);
}

// Each error: its message and its place.
struct ErrorCase {
  const char* source;
  int line;
  int column;
  const char* message;
};

void ExpectError(const ErrorCase& c, const std::map<std::string, std::string>& files = {}) {
  const AsmResult r = Asm(c.source, files);
  EXPECT_FALSE(r.ok()) << c.source;
  bool found = false;
  for (const AsmDiagnostic& d : r.diagnostics) {
    if (!d.warning && (c.line == 0 || d.line == c.line) &&
        d.message.find(c.message) != std::string::npos) {
      found = true;
      if (c.column) {
        EXPECT_EQ(d.column, c.column) << c.source << ": " << d.message;
      }
    }
  }
  EXPECT_TRUE(found) << c.source << "\nwanted line " << c.line << " '" << c.message << "', got\n"
                     << FormatDiagnostics(r);
}

TEST(Assembler, EveryErrorNamesItsLineAndColumn) {
  const ErrorCase kCases[] = {
      {" nop\n jp nowhere\n", 2, 5, "undefined label 'nowhere'"},
      {"a1: nop\na1: nop\n", 2, 1, "duplicate label 'a1' (first defined at main.asm:1)"},
      {" ld a,256\n", 1, 7, "value out of range"},
      {" ld (ix+128),a\n", 1, 5, "value out of range"},
      {" nop\nx: jr x+200\n", 2, 7, "value out of range: relative jump"},
      {" db -129\n", 1, 5, "value out of range"},
      {" im 3\n", 1, 5, "value out of range"},
      {" rst 9\n", 1, 6, "value out of range"},
      {" bit 8,a\n", 1, 6, "value out of range"},
      {" ld hl,a\n", 1, 8, "bad operand for LD"},
      {" ld ixh,h\n", 1, 9, "bad operand for LD"},
      {" jr po,0\n", 1, 8, "bad operand for JR"},
      {" ex hl,bc\n", 1, 8, "bad operand for EX"},
      {" db \"abc\n", 1, 5, "unterminated string"},
      {" nop\n if 1\n nop\n", 2, 2, "IF without ENDIF"},
      {"m macro\n nop\n", 1, 3, "MACRO without ENDM"},
      {"p proc\n nop\n", 1, 3, "PROC without ENDP"},
      {" endif\n", 1, 2, "ENDIF without IF"},
      {" frobnicate a\n", 1, 2, "unknown instruction 'frobnicate'"},
      {" ld a,(1\n", 1, 7, "missing ')'"},
      {" db 1/0\n", 1, 6, "division by zero"},
      {" if later\n endif\nlater: nop\n", 1, 5, "IF needs a value known at this point"},
      {" org #FFFF\n dw 1\n", 2, 1, "code runs past the end of memory"},
      {" db 0x\n", 1, 5, "bad number"},
      {"a: equ 1\nb: ld a,\n", 2, 0, "missing"},
      {" include \"nothere.asm\"\n", 1, 10, "cannot read 'nothere.asm'"},
      {" include \"main.asm\"\n", 1, 10, "include loop"},
      {"r macro\n r\n endm\n r\n", 2, 2, "macros nested too deep"},
      // Twice at each level: the expansion would never end.
      {"r macro\n r\n r\n endm\n r\n", 0, 1, "when its macros are expanded"},
  };
  for (const ErrorCase& c : kCases) ExpectError(c);
}

TEST(Assembler, AnIncludeLoopIsReportedAtTheIncludeThatCloses) {
  const std::map<std::string, std::string> files = {
      {"a.asm", " nop\n include \"b.asm\"\n"},
      {"b.asm", " nop\n\n include \"a.asm\"\n"},
  };
  const AsmResult r = Asm(" include \"a.asm\"\n", files);
  ASSERT_FALSE(r.ok());
  ASSERT_EQ(r.errors, 1) << FormatDiagnostics(r);
  EXPECT_EQ(r.diagnostics[0].file, "b.asm");
  EXPECT_EQ(r.diagnostics[0].line, 3);
  EXPECT_NE(r.diagnostics[0].message.find("include loop"), std::string::npos);
}

TEST(Assembler, AllErrorsOfASourceAreReportedNotOnlyTheFirst) {
  const AsmResult r = Asm(" jp a1\n ld a,300\n nop\n ld (bc),1\nx: nop\nx: nop\n");
  EXPECT_EQ(r.errors, 4) << FormatDiagnostics(r);
  std::vector<int> lines;
  for (const AsmDiagnostic& d : r.diagnostics) lines.push_back(d.line);
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 4, 6}));
  EXPECT_NE(FormatDiagnostics(r).find("main.asm:2:7: error: value out of range"),
            std::string::npos);
}

TEST(Assembler, WarningsDoNotStopTheOutput) {
  const AsmResult r = Asm(" org 0\n db 1,2\n org 1\n db 3\n device zxspectrum48\n");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.warnings, 2) << FormatDiagnostics(r);
  EXPECT_EQ(r.Image(), (std::vector<uint8_t>{1, 3}));
}

}  // namespace
}  // namespace orvo
