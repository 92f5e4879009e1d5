// Orvo's SZX files in Fuse, run as a black box: a machine saved between frames goes on in Fuse as
// it does in Orvo: halted, with the instruction after its HALT; running, with the frame's
// interrupt taken at once.
#include <gtest/gtest.h>

#include <string>

#include "halt_program.h"
#include "run_orvo.h"

namespace orvo::test {
namespace {

// With IM 2 and interrupts on, counts in HL from one interrupt to the next and keeps the highest
// count's high byte in the first byte of the screen: a frame's count, or two frames' when an
// interrupt is missed after loading.
constexpr const char* kCountingProgram =
    "        org #8000\n"
    "start:  di\n"
    "        ld hl,#9000\n"
    "        ld de,#9001\n"
    "        ld bc,256\n"
    "        ld (hl),#A0\n"
    "        ldir\n"
    "        ld a,#90\n"
    "        ld i,a\n"
    "        im 2\n"
    "        xor a\n"
    "        ld (#4000),a\n"
    "        ld hl,0\n"
    "        ei\n"
    "loop:   inc hl\n"
    "        jr loop\n"
    "        org #A0A0\n"
    "        push af\n"
    "        ld a,(#4000)\n"
    "        cp h\n"
    "        jr nc,skip\n"
    "        ld a,h\n"
    "        ld (#4000),a\n"
    "skip:   ld hl,0\n"
    "        pop af\n"
    "        ei\n"
    "        reti\n";

// Saves the 48K running `program` after 100 frames, and compares the first 8 pixels of the
// display after reloading in Orvo and in Fuse.
void ExpectFuseGoesOnAsOrvo(const std::string& program) {
  for (const char* tool : {"fuse-sdl", "xvfb-run", "import", "convert"}) ORVO_REQUIRE_TOOL(tool);
  ORVO_REQUIRE_RUNNER("48.rom");
  const TempDir dir;
  const std::string source = dir.Write("program.asm", program);
  const std::string szx = dir / "h.szx", png = dir / "orvo.png", line = dir / "orvo.pbm";
  int status = -1;
  std::string out = RunOrvo(
      "--model 48 --assemble " + source + " --run start --frames 100 --save " + szx, &status);
  ASSERT_EQ(status, 0) << out;
  out = RunOrvo("--load " + szx + " --frames 20 --no-border --save-screen " + png, &status);
  ASSERT_EQ(status, 0) << out;
  const std::string mono = " -colorspace gray -threshold 50% ";
  CaptureCommand("convert " + png + " -crop 8x1+0+0" + mono + line, &status);
  ASSERT_EQ(status, 0);
  ASSERT_NE(CaptureCommand("convert " + line + " -format '%[fx:mean]' info:", &status), "1")
      << "the byte shows";

  // Fuse's window is 320 x 240 with the display at 32,24; read every second for up to 20 s. Now
  // and then Fuse gives up initialising under a fresh Xvfb: it is started again, up to three
  // times.
  const std::string shot = dir / "fuse.png", fuseLine = dir / "fuse.pbm", log = dir / "fuse.log";
  const std::string script =
      "for try in 1 2 3; do fuse-sdl --no-sound --machine 48 --rom-48 " +
      (RomDir() / "48.rom").string() + " --snapshot " + szx + " >" + log + " 2>&1 & p=$!; i=0; " +
      "while [ $i -lt 20 ] && kill -0 $p 2>/dev/null; do sleep 1; import -window root " + shot +
      " && convert " + shot + " -crop 8x1+32+24" + mono + fuseLine + " && cmp -s " + line + " " +
      fuseLine + " && echo SAME && break; i=$((i+1)); done; kill -9 $p 2>/dev/null; wait $p; " +
      "[ $i -lt 20 ] && [ -f " + fuseLine + " ] && cmp -s " + line + " " + fuseLine +
      " && break; done; tail -3 " + log;
  out = RunUnderXvfbUntilSame(script);
  EXPECT_NE(out.find("SAME"), std::string::npos) << out;
}

TEST(SzxInFuse, AHaltedMachineGoesOnAfterItsHalt) {
  ExpectFuseGoesOnAsOrvo(kHaltProgram);
}

TEST(SzxInFuse, TheInterruptDueBetweenFramesIsTakenAtOnce) {
  ExpectFuseGoesOnAsOrvo(kCountingProgram);
}

}  // namespace
}  // namespace orvo::test
