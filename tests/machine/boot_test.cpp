// Each model boots its own ROM through the memory map to the keyboard wait of its editor.
#include <gtest/gtest.h>

#include <string>

#include "machine_fixture.h"
#include "shell/frame_loop.h"

namespace orvo {
namespace {

using test::TestMachine;

struct Boot {
  uint8_t model;
  const char* rom;
};

class Booting : public testing::TestWithParam<Boot> {};

// Runs the machine from a hard reset until PC reaches the model's keyboard wait address.
bool BootsToKeyWait(TestMachine& t) {
  t.emu.NoThrottle = true;
  t.m.settings.Sound = 0;
  ResetMachine(t.emu, true);
  for (int frame = 0; frame < 400; ++frame) {
    while (t.m.FrameTState < t.m.FrameLength) {
      StepInstruction(t.emu);
      if (frame > 50 && t.m.cpu.PC == t.m.KeyWaitAddress) return true;
    }
    RunFrame(t.emu);  // closes the frame (its remaining instructions are none)
  }
  return false;
}

TEST_P(Booting, ReachesTheKeyboardWait) {
  const Boot& boot = GetParam();
  ORVO_REQUIRE_FILE(test::RomDir() / boot.rom);
  TestMachine t(boot.model);
  ASSERT_TRUE(t.host.messages.empty());
  EXPECT_TRUE(BootsToKeyWait(t)) << "PC " << std::hex << t.m.cpu.PC;
  // The 48K ROM's RAM test leaves the top of memory in P-RAMT.
  const uint16_t pRamt = static_cast<uint16_t>(t.m.Peek(0x5CB4) | t.m.Peek(0x5CB5) << 8);
  if (boot.model == kModel16K) {
    EXPECT_EQ(pRamt, 0x7FFF);
  } else if (boot.model == kModel48K) {
    EXPECT_EQ(pRamt, 0xFFFF);
  }
}

std::string BootName(const testing::TestParamInfo<Boot>& info) {
  static const char* const kNames[] = {"M16K", "M48K", "M128K", "Plus2", "Plus2A", "Plus3"};
  return kNames[info.param.model];
}

const Boot kBoots[] = {{kModel16K, "48k.rom"},      {kModel48K, "48k.rom"},
                       {kModel128K, "128k.rom"},    {kModelPlus2, "plus2.rom"},
                       {kModelPlus2A, "plus3.rom"}, {kModelPlus3, "plus3.rom"}};

INSTANTIATE_TEST_SUITE_P(Models, Booting, testing::ValuesIn(kBoots), BootName);

}  // namespace
}  // namespace orvo
