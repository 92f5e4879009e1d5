// orvo-run --assemble: a source assembled into the machine and run, its errors reported with
// their places, its code written as a TAP and a snapshot that run, and breakpoints by label.
#include <gtest/gtest.h>

#include "app/run_orvo.h"

namespace orvo::test {
namespace {

constexpr const char* kHello =
    "; prints a message through the ROM and turns the border red\n"
    "        org 32768\n"
    "start:  ld a,2\n"
    "        call #1601\n"
    "        ld hl,text\n"
    ".next:  ld a,(hl)\n"
    "        or a\n"
    "        jr z,.done\n"
    "        rst #10\n"
    "        inc hl\n"
    "        jr .next\n"
    ".done:  ld a,2\n"
    "        out (#FE),a\n"
    "park:   jr park\n"
    "text:   defm \"HELLO ASM\"\n"
    "        defb 0\n"
    "        end start\n";

TEST(AssemblerRun, AssembledCodeRunsFromItsLabelAndPrints) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  TempDir dir;
  const std::string src = dir.Write("hello.asm", kHello);
  int status = 0;
  const std::string out = RunOrvo("--assemble " + src + " --run start --frames 20 --screen-text " +
                                      "--asm-listing " + (dir / "hello.lst"),
                                  &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Assembled: " + src + " (32 bytes, #8000-#801F"), std::string::npos) << out;
  EXPECT_NE(out.find("\nHELLO ASM"), std::string::npos) << out;
  const std::vector<uint8_t> listing = ReadWholeFile(dir / "hello.lst");
  const std::string text(listing.begin(), listing.end());
  EXPECT_NE(text.find("8000  3E 02"), std::string::npos) << text;
  EXPECT_NE(text.find("start.next"), std::string::npos) << text;
}

TEST(AssemblerRun, ErrorsAreListedWithFileLineAndColumnAndFailTheRun) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  TempDir dir;
  const std::string src = dir.Write("bad.asm", " org 30000\n jp nowhere\n ld a,999\n");
  int status = 0;
  const std::string out = RunOrvo("--assemble " + src, &status);
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;
  EXPECT_NE(out.find(src + ":2:5: error: undefined label 'nowhere'"), std::string::npos) << out;
  EXPECT_NE(out.find(src + ":3:7: error: value out of range"), std::string::npos) << out;
  EXPECT_NE(out.find("2 error(s)"), std::string::npos) << out;
}

TEST(AssemblerRun, TapeWithLoaderAndSnapshotBothStartTheCode) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  TempDir dir;
  const std::string src = dir.Write("hello.asm", kHello);
  int status = 0;
  std::string out = RunOrvo("--assemble " + src + " --asm-out " + (dir / "hello.tap"), &status);
  ASSERT_EQ(status, 0) << out;
  out = RunOrvo("--asm-bank 0 --assemble " + src + " --asm-out " + (dir / "hello.z80"), &status);
  ASSERT_EQ(status, 0) << out;
  // The tape loads through its own BASIC loader (LOAD "" typed by the autoload).
  out = RunOrvo("--tape " + (dir / "hello.tap") + " --autoload --traps --frames 300 --screen-text",
                &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("HELLO ASM"), std::string::npos) << out;
  out = RunOrvo("--load " + (dir / "hello.z80") + " --frames 5 --screen-text", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("HELLO ASM"), std::string::npos) << out;
}

TEST(AssemblerRun, ABreakpointByLabelStopsThereAndTheListingNamesIt) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  TempDir dir;
  const std::string src = dir.Write("hello.asm", kHello);
  int status = 0;
  const std::string out = RunOrvo(
      "--assemble " + src + " --run start --break park --frames 50" + " --disassemble 8000-8010",
      &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Break: PC 8014"), std::string::npos) << out;
  EXPECT_NE(out.find("start:\n8000"), std::string::npos) << out;
  EXPECT_NE(out.find("JR    Z,start.done"), std::string::npos) << out;
}

}  // namespace
}  // namespace orvo::test
