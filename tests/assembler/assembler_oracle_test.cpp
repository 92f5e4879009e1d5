// Byte-for-byte against other assemblers run as programs (Debian's pasmo, and GNU as for the Z80
// from binutils-z80), over one source holding every instruction encoding, and against the
// binaries published beside the .asm sources of the shared test data.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "assembler/assembler.h"
#include "assembler/instruction_set.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace orvo {
namespace {

using test::AllInstructions;

std::vector<uint8_t> Ours(const std::string& source) {
  const AsmResult r = Assemble("all.asm", source);
  EXPECT_TRUE(r.ok()) << FormatDiagnostics(r).substr(0, 2000);
  return r.Image();
}

void ExpectSameBytes(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& theirs,
                     const std::vector<test::InstructionLine>& lines, uint16_t origin) {
  ASSERT_EQ(ours.size(), theirs.size());
  int shown = 0;
  for (const auto& l : lines) {
    const size_t at = l.address - origin;
    if (!std::equal(l.bytes.begin(), l.bytes.end(), theirs.begin() + static_cast<long>(at)) &&
        shown++ < 10)
      ADD_FAILURE() << l.text << " differs";
  }
  EXPECT_TRUE(ours == theirs);
}

// pasmo does not know the forms that copy an indexed result into a register, IN F,(C) or
// OUT (C),0: the one source leaves them out (GNU as checks them below).
bool PasmoKnows(const std::string& text) {
  static const std::regex kCopy(R"(^\w+\s+(\d,)?\(I[XY][+-]#[0-9A-F]+\),[A-L]$)");
  return text.find("IN    F") == std::string::npos && text != "OUT   (C),0" &&
         !std::regex_match(text, kCopy);
}

TEST(AssemblerOracle, EveryEncodingMatchesPasmo) {
  if (!test::ToolOnPath("pasmo")) GTEST_SKIP() << "pasmo is not installed (apt-get install pasmo)";
  constexpr uint16_t kOrigin = 0x8000;
  std::vector<test::InstructionLine> lines;
  std::string source = " ORG #8000\n";
  uint32_t address = kOrigin;
  for (auto l : AllInstructions(kOrigin)) {
    if (!PasmoKnows(l.text)) continue;
    // The kept lines move up: their relative jumps are written as the same offsets.
    if (l.text.rfind("JR", 0) == 0 || l.text.rfind("DJNZ", 0) == 0) {
      const int target = l.address + 2 + static_cast<int8_t>(l.bytes[1]);
      source += ' ';
      source.append(l.text, 0, l.text.rfind('#'));
      const int offset = target - l.address;
      source += offset < 0 ? "$" : "$+";
      source += std::to_string(offset);
    } else {
      source += ' ';
      source += l.text;
    }
    source += '\n';
    l.address = static_cast<uint16_t>(address);
    address += static_cast<uint32_t>(l.bytes.size());
    lines.push_back(l);
  }
  ASSERT_GT(lines.size(), 900u);
  const test::TempDir dir;
  const std::string src = dir.Write("all.asm", source);
  const std::string bin = dir / "all.bin";
  int status = 0;
  const std::string out = test::CaptureCommand("pasmo --bin " + src + " " + bin + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  ExpectSameBytes(Ours(source), test::ReadWholeFile(bin), lines, kOrigin);
}

TEST(AssemblerOracle, EveryEncodingMatchesGnuAs) {
  if (!test::ToolOnPath("z80-unknown-coff-as"))
    GTEST_SKIP() << "z80-unknown-coff-as is not installed (apt-get install binutils-z80)";
  constexpr uint16_t kOrigin = 0x8000;
  const auto lines = AllInstructions(kOrigin);
  // GNU as writes hexadecimal as 0x, and a relative jump's target from a label.
  std::string ours = " ORG #8000\n", theirs = "base:\n";
  static const std::regex kHex("#([0-9A-F]+)");
  for (const auto& l : lines) {
    ours += ' ';
    ours += l.text;
    ours += '\n';
    std::string g = l.text;
    if (g.rfind("JR", 0) == 0 || g.rfind("DJNZ", 0) == 0) {
      const size_t hash = g.rfind('#');
      const int target = std::stoi(g.substr(hash + 1), nullptr, 16);
      g.resize(hash);
      g += "base+";
      g += std::to_string(target - kOrigin);
    }
    theirs += ' ';
    theirs += std::regex_replace(g, kHex, "0x$1");
    theirs += '\n';
  }
  const test::TempDir dir;
  const std::string src = dir.Write("all.s", theirs);
  const std::string obj = dir / "all.o", bin = dir / "all.bin";
  int status = 0;
  std::string out = test::CaptureCommand(
      "z80-unknown-coff-as -march=z80+full " + src + " -o " + obj + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out.substr(0, 2000);
  out = test::CaptureCommand(
      "z80-unknown-coff-ld -Ttext=0x8000 --oformat binary " + obj + " -o " + bin + " 2>&1",
      &status);
  ASSERT_EQ(status, 0) << out;
  ExpectSameBytes(Ours(ours), test::ReadWholeFile(bin), lines, kOrigin);
}

// The data block after the tape's first CODE header.
std::vector<uint8_t> TapCode(const std::vector<uint8_t>& tap, uint16_t* start) {
  size_t at = 0;
  bool codeNext = false;
  while (at + 2 <= tap.size()) {
    const size_t length = tap[at] | tap[at + 1] << 8;
    if (at + 2 + length > tap.size() || length < 2) break;
    const uint8_t* block = &tap[at + 2];
    if (codeNext && block[0] == 0xFF) return {block + 1, block + length - 1};
    codeNext = block[0] == 0x00 && length == 19 && block[1] == 3;
    if (codeNext) *start = static_cast<uint16_t>(block[14] | block[15] << 8);
    at += 2 + length;
  }
  return {};
}

TEST(AssemblerOracle, TestSourcesMatchTheirPublishedBinariesAndPasmo) {
  const struct {
    const char* source;
    const char* tap;
    bool tapFromThisSource;  // daa.tap was made from an older version of daa.asm
  } kSources[] = {
      {"testdata/cpu/other/daatable/daa.asm", "testdata/cpu/other/daatable/daa.tap", false},
      {"testdata/media/timing/whichvector.asm", "testdata/media/timing/whichvector.tap", true},
      {"testdata/cpu/other/z80type-zx/z80typeZX.asm", "testdata/cpu/other/z80type-zx/z80typeZX.tap",
       true},
  };
  const bool pasmo = test::ToolOnPath("pasmo");
  const test::TempDir dir;
  for (const auto& s : kSources) {
    SCOPED_TRACE(s.source);
    const auto source = test::SharedFile(s.source), tap = test::SharedFile(s.tap);
    if (!std::filesystem::exists(source) || !std::filesystem::exists(tap))
      ORVO_MISSING_SHARED_DATA("missing " << source << " or " << tap);
    const AsmResult r = AssembleFile(source.string());
    ASSERT_TRUE(r.ok()) << FormatDiagnostics(r);
    uint16_t first = 0, start = 0;
    const std::vector<uint8_t> image = r.Image(&first);
    if (s.tapFromThisSource) {
      const std::vector<uint8_t> code = TapCode(test::ReadWholeFile(tap), &start);
      EXPECT_EQ(first, start);
      EXPECT_TRUE(image == code);
    }
    if (pasmo) {
      const std::string bin = dir / "out.bin";
      int status = 0;
      const std::string out =
          test::CaptureCommand("pasmo --bin '" + source.string() + "' " + bin + " 2>&1", &status);
      ASSERT_EQ(status, 0) << out;
      EXPECT_TRUE(image == test::ReadWholeFile(bin));
    }
  }
}

}  // namespace
}  // namespace orvo
