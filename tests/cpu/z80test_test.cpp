// Patrik Rak's z80test 1.2a, run without a ROM: the code block of each tape at 0x8000, a RET at
// 0x1601 (CHAN-OPEN) and at 0x0010 (PRINT-A, whose A the harness collects), IN A,(0xFE) answering
// 0xBF as a 48K with no key pressed, and the run ending at the program's final RET. Every variant
// must end with "all tests passed".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cpu/cpm_runner.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

// Loads every code block of a TAP file at the address of the CODE header before it.
void LoadTapCode(const std::vector<uint8_t>& file, FlatBus& bus) {
  int address = -1;
  for (size_t pos = 0; pos + 2 <= file.size();) {
    const size_t length = file[pos] | file[pos + 1] << 8;
    const uint8_t* block = file.data() + pos + 2;  // flag, data, checksum
    pos += 2 + length;
    if (length < 2 || pos > file.size()) break;
    if (block[0] == 0x00 && length == 19) {  // a header: type 3 is CODE, its address at 13
      address = block[1] == 3 ? block[14] | block[15] << 8 : -1;
    } else if (address >= 0) {
      for (size_t i = 0; i + 2 < length && address + i < 0x10000; ++i)
        bus.mem[address + i] = block[1 + i];
      address = -1;
    }
  }
}

uint8_t SpectrumPorts(FlatBus&, uint16_t port) {
  return (port & 1) ? 0xFF : 0xBF;
}

std::string RunZ80Test(const std::vector<uint8_t>& tap, uint64_t limit, bool& finished) {
  auto bus = std::make_unique<FlatBus>();
  LoadTapCode(tap, *bus);
  bus->mem[0x1601] = 0xC9;
  bus->mem[0x0010] = 0xC9;
  bus->portIn = SpectrumPorts;
  // The program is entered by a CALL from BASIC: its final RET returns to 0x0000.
  bus->cpu.SP = 0x7FF0;
  bus->cpu.IM = 1;
  bus->cpu.IR.b.h = 0x3F;
  bus->cpu.PC = 0x8000;
  std::string text;
  finished = RunToZero(*bus, limit, 0x0010, [&](uint16_t pc) {
    const char ch = static_cast<char>(bus->cpu.AF.b.h);
    if (pc == 0x0010) text.push_back(ch == 13 ? '\n' : ch);  // 13 is the printing's new line
  });
  return text;
}

class Z80Test : public ::testing::TestWithParam<const char*> {};

TEST_P(Z80Test, ReportsAllTestsPassed) {
  const std::filesystem::path path =
      SharedFile(std::string("testdata/cpu/z80test/") + GetParam() + ".tap");
  ORVO_REQUIRE_FILE(path);
  bool finished = false;
  const std::string text = RunZ80Test(ReadWholeFile(path), 5'000'000'000ull, finished);
  EXPECT_TRUE(finished) << text;
  EXPECT_NE(text.find("all tests passed"), std::string::npos) << text;
  if (std::getenv("ORVO_SHOW_Z80TEST")) std::printf("%s\n", text.c_str());
}

INSTANTIATE_TEST_SUITE_P(Variants, Z80Test,
                         ::testing::Values("z80full", "z80doc", "z80flags", "z80docflags", "z80ccf",
                                           "z80memptr"),
                         [](const ::testing::TestParamInfo<const char*>& suite) {
                           return std::string(suite.param);
                         });

}  // namespace
}  // namespace orvo::test
