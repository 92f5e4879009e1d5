// Small Z80 programs that race the beam: border stripes, per-line attribute changes and the
// floating bus, each started at a known T-state with the CPU, the port decoder and the renderer
// working together.
#include <gtest/gtest.h>

#include <vector>

#include "cpu/z80.h"
#include "video/palette.h"
#include "video_fixture.h"

namespace orvo::test {
namespace {

constexpr uint16_t kOrigin = 0x8000;

// Puts `code` at 0x8000 and runs it from frame T-state `start`, interrupts off, until the PC
// leaves it.
void RunCode(VideoMachine& vm, const std::vector<uint8_t>& code, uint32_t start) {
  MachineState& m = vm.m;
  for (size_t i = 0; i < code.size(); ++i) {
    m.PageTable[(kOrigin + i) >> 13][(kOrigin + i) & 0x1FFF] = code[i];
  }
  m.cpu.PC = kOrigin;
  m.cpu.SP = 0xFF00;
  m.cpu.IFF1 = m.cpu.IFF2 = 0;
  m.InterruptArmed = 0;
  m.FrameTState = start;
  while (m.cpu.PC >= kOrigin && m.cpu.PC < kOrigin + code.size()) ExecuteZ80(m);
}

TEST(BeamTiming, BorderStripesFromOutInstructions) {
  VideoMachine vm(kModel48K);
  // LD A,n (7 T-states) then OUT (0xFE),A (11; the ULA sees the byte 8 T-states in), three times,
  // from the start of scan line 20 (picture row 4, T-state 4480).
  const std::vector<uint8_t> code = {0x3E, 1, 0xD3, 0xFE, 0x3E, 2, 0xD3, 0xFE, 0x3E, 3, 0xD3, 0xFE};
  RunCode(vm, code, 4480);
  vm.EndFrame();
  // Changes at line positions 15, 33 and 51 land in the 8-pixel blocks of 12, 32 and 48.
  const uint32_t magenta = Palettes[0][3];
  EXPECT_TRUE(RowIs(vm, 3, 0, 352, kWhite));
  EXPECT_TRUE(RowIs(vm, 4, 0, 72, kWhite));
  EXPECT_TRUE(RowIs(vm, 4, 72, 112, kBlue));
  EXPECT_TRUE(RowIs(vm, 4, 112, 144, kRed));
  EXPECT_TRUE(RowIs(vm, 4, 144, 352, magenta));
  EXPECT_TRUE(RowIs(vm, 5, 0, 352, magenta));
}

TEST(BeamTiming, AttributeRewrittenEveryScanLine) {
  VideoMachine vm(kModel48K);
  vm.Attr(0, 1) = 0x38;
  // Per scan line (224 T-states): LD (HL),n (10), two LD A,n (14) and 50 NOPs (200). The write
  // falls in the retrace before each of the eight pixel lines of character row 0 is fetched.
  std::vector<uint8_t> code = {0x21, 0x00, 0x58};  // LD HL,0x5800 (10)
  for (int line = 0; line < 8; ++line) {
    code.insert(code.end(), {0x36, static_cast<uint8_t>(line << 3), 0x3E, 0, 0x3E, 0});
    code.insert(code.end(), 50, 0x00);
  }
  // The first write starts 7 T-states into its instruction, 40 T-states before the fetch.
  RunCode(vm, code, 14336 - 40 - 7 - 10);
  vm.EndFrame();
  for (int line = 0; line < 8; ++line) {
    EXPECT_TRUE(RowIs(vm, 48 + line, 48, 56, Palettes[0][line])) << "pixel line " << line;
    EXPECT_TRUE(RowIs(vm, 48 + line, 56, 64, kWhite)) << "pixel line " << line;
  }
  // The last value stays for the frames after.
  vm.EndFrame();
  EXPECT_TRUE(RowIs(vm, 48, 48, 56, kWhite));
}

TEST(BeamTiming, FloatingBusSeenByInA) {
  // IN A,(0xFF) with A = 0 (port 0x00FF) samples the bus 10 T-states after it starts; the result
  // is stored at 0x9000.
  const std::vector<uint8_t> code = {0xDB, 0xFF, 0x32, 0x00, 0x90};
  const struct {
    uint8_t model;
    uint32_t firstSample;  // T-state at which the ULA has the first bitmap byte
  } models[] = {{kModel48K, 14338}, {kModel128K, 14364}};
  for (const auto& mdl : models) {
    const uint8_t expected[] = {0x81, 0x42, 0x24, 0x18, 0xFF, 0xFF, 0xFF, 0xFF, 0x81};
    for (uint32_t k = 0; k < 9; ++k) {
      VideoMachine vm(mdl.model);
      vm.Bitmap(0, 0) = 0x81;
      vm.Attr(0, 0) = 0x42;
      vm.Bitmap(0, 1) = 0x24;
      vm.Attr(0, 1) = 0x18;
      vm.Bitmap(0, 2) = 0x81;
      vm.m.cpu.AF.b.h = 0;
      RunCode(vm, code, mdl.firstSample + k - 10);
      EXPECT_EQ(vm.m.Peek(0x9000), expected[k])
          << "model " << int(mdl.model) << ", T-state " << mdl.firstSample + k;
    }
  }
}

}  // namespace
}  // namespace orvo::test
