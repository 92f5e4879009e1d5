// The Beta 128 interface on the machine's ports: it answers only while TR-DOS is paged in, and
// then it holds the data bus, so a byte of 0xFF off the disk is not mistaken for an idle bus.
#include "devices/beta128.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/trd_format.h"
#include "machine/machine_fixture.h"
#include "machine/memory.h"

namespace orvo::test {
namespace {

TEST(Beta128, HoldsTheBusWhilePagedSoThatDiskBytesOfFFAreNotTheFloatingBus) {
  for (uint8_t model : {kModel48K, kModel128K}) {
    SCOPED_TRACE(static_cast<int>(model));
    TestMachine t(model);
    t.m.settings.Beta128 = 1;
    t.m.TrdosRom.assign(kTrdosRomSize, 0xC9);
    UpdateDevices(t.m);
    ASSERT_TRUE(Beta128Fitted(t.m));
    TrdDisk disk = BlankTrd("FF");
    uint8_t* sector = disk.Sector(0, 0, 9);
    std::fill(sector, sector + kTrdSectorSize, 0xFF);
    sector[1] = 0x00;
    t.m.Beta.InsertDisk(0, disk, false);
    // The screen and attributes hold 0x5A, so the ULA's fetches in the middle of the picture put
    // 0x5A on an idle bus.
    for (uint16_t a = 0x4000; a < 0x5B00; ++a) t.m.WriteByte(a, 0x5A);
    // Paged out, the interface is silent: at some moment of an eight T-state cycle in the middle
    // of the picture the port reads the ULA's fetch.
    uint32_t fetch = 0;
    for (uint32_t at = 36736; at < 36752 && fetch == 0; ++at) {
      t.m.FrameTState = at;
      if (t.m.ReadPort(0x007F) == 0x5A) fetch = at;
    }
    ASSERT_NE(fetch, 0u) << "port 0x7F shows the floating bus";

    PageInTrdos(t.m);
    t.m.WritePort(0x00FF, 0x3C);  // drive A, upper side, out of reset
    t.m.WritePort(0x005F, 9);
    t.m.WritePort(0x001F, 0x80);
    std::vector<uint8_t> read;
    for (int i = 0; i < 3; ++i) {
      t.m.FrameTState = fetch;
      read.push_back(t.m.ReadPort(0x007F));
    }
    EXPECT_EQ(read, (std::vector<uint8_t>{0xFF, 0x00, 0xFF}));
    t.m.FrameTState = fetch;
    EXPECT_EQ(t.m.ReadPort(0x00FF) & 0x3F, 0x3F) << "the system register's unused bits";
  }
}

}  // namespace
}  // namespace orvo::test
