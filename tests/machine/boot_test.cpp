// Each model boots its own ROM through the memory map to the keyboard wait of its editor.
#include <gtest/gtest.h>

#include <string>

#include "machine_fixture.h"
#include "shell/frame_loop.h"

namespace orvo {
namespace {

struct Boot {
  uint8_t model;
  const char* rom;
  const char* name;
};

class Booting : public testing::TestWithParam<Boot> {};

TEST_P(Booting, ReachesTheKeyboardWait) {
  ORVO_REQUIRE_FILE(test::RomDir() / GetParam().rom);
  test::TestMachine t(GetParam().model);
  ASSERT_TRUE(t.host.messages.empty());
  t.emu.NoThrottle = true;
  t.m.settings.Sound = 0;
  ResetMachine(t.emu, true);
  bool reached = false;
  for (int frame = 0; frame < 400 && !reached; ++frame) {
    while (t.m.FrameTState < t.m.FrameLength && !reached) {
      StepInstruction(t.emu);
      reached = frame > 50 && t.m.cpu.PC == t.m.KeyWaitAddress;
    }
    if (!reached) RunFrame(t.emu);  // closes the frame (its remaining instructions are none)
  }
  EXPECT_TRUE(reached) << "PC " << std::hex << t.m.cpu.PC;
  // The 48K ROM's RAM test leaves the top of memory in P-RAMT.
  const uint16_t pRamt = static_cast<uint16_t>(t.m.Peek(0x5CB4) | t.m.Peek(0x5CB5) << 8);
  if (GetParam().model <= kModel48K) {
    EXPECT_EQ(pRamt, GetParam().model == kModel16K ? 0x7FFF : 0xFFFF);
  }
}

INSTANTIATE_TEST_SUITE_P(Models, Booting,
                         testing::Values(Boot{kModel16K, "48k.rom", "M16K"},
                                         Boot{kModel48K, "48k.rom", "M48K"},
                                         Boot{kModel128K, "128k.rom", "M128K"},
                                         Boot{kModelPlus2, "plus2.rom", "Plus2"},
                                         Boot{kModelPlus2A, "plus3.rom", "Plus2A"},
                                         Boot{kModelPlus3, "plus3.rom", "Plus3"}),
                         [](const testing::TestParamInfo<Boot>& info) { return info.param.name; });

}  // namespace
}  // namespace orvo
