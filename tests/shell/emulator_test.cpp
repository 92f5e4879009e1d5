#include <gtest/gtest.h>

#include "shell/emulator.h"
#include "support/recording_host.h"

namespace orvo {
namespace {

TEST(Emulator, TwoMachinesAreIndependent) {
  test::RecordingHost host;
  Emulator a(host), b(host);
  a.m.RamBlock[0x4000] = 1;
  EXPECT_EQ(b.m.RamBlock[0x4000], 0);
  EXPECT_EQ(a.m.emulator, &a);
  EXPECT_EQ(b.m.emulator, &b);
}

}  // namespace
}  // namespace orvo
