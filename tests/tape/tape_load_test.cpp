// Loading tapes through a real ROM: LOAD "" of a small program with the ROM trap, with real
// pulses and with fast loading.
#include <gtest/gtest.h>

#include "tape_machine.h"

namespace orvo::test {
namespace {

const char kHelloTap[] = "testdata/media/tap/zasm_hello_world.tap";

struct HelloCase {
  const char* name;
  bool traps;
  bool fastload;
};

class HelloWorldLoad : public ::testing::TestWithParam<HelloCase> {};

TEST_P(HelloWorldLoad, PrintsHelloWorld) {
  const HelloCase c = GetParam();
  if (!TapeMachine::RomPresent(kModel48K)) GTEST_SKIP() << "missing 48k.rom in " << RomDir();
  ORVO_REQUIRE_FILE(SharedFile(kHelloTap));
  TapeMachine tm;
  tm.m.settings.TapeTraps = c.traps;
  tm.m.settings.Fastload = c.fastload;
  ASSERT_TRUE(BootToTapeLoader(tm.emu));
  ASSERT_TRUE(tm.Insert(SharedFile(kHelloTap)));
  uint64_t pulses = 0;
  for (int frame = 0; frame < 3000 && tm.Screen().find("Hello World!") == std::string::npos;
       ++frame) {
    // The machine starts the tape itself at the loader's CP A (traps off).
    RunFrame(tm.emu);
    if (tm.m.TapePlaying) ++pulses;
  }
  const std::string screen = tm.Screen();
  EXPECT_NE(screen.find("Hello World!"), std::string::npos) << screen;
  EXPECT_TRUE(tm.host.messages.empty());
  if (c.traps) {
    EXPECT_EQ(pulses, 0u) << "with traps the tape never plays";
  } else {
    EXPECT_GT(pulses, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Tape, HelloWorldLoad,
                         ::testing::Values(HelloCase{"traps", true, false},
                                           HelloCase{"pulses", false, false},
                                           HelloCase{"fastload", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvo::test
