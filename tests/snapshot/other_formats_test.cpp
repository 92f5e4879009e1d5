// The 48K snapshot formats (SEM, SNX, SP, SNP, SIT) and ZXS: every writer's file reads back to
// the same machine, the 48K-only writers refuse the 128K family, refused files leave the running
// machine alone, and the fields land where the formats put them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "formats/inflate.h"
#include "formats/snapshot_48k.h"
#include "shell/media_loaders.h"
#include "shell/snapshot_save.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

struct WriterCase {
  FileKind kind;
  const char* ext;
};

class OtherWriters : public ::testing::TestWithParam<WriterCase> {};

TEST_P(OtherWriters, FileReadsBackToTheSameMachine) {
  const WriterCase& c = GetParam();
  ORVO_REQUIRE_ROMS();
  SnapshotMachine a(kModel48K);
  FillMachine(a.m, 1);
  const fs::path path = fs::temp_directory_path() / (std::string("orvo_other_rt.") + c.ext);
  SnapshotMachine plus3(kModelPlus3);  // the 48K writers refuse the 128K family
  EXPECT_EQ(SaveSnapshotKind(plus3.emu, path.string(), c.kind), kSaveFailed);
  ASSERT_EQ(plus3.host.messages.size(), 1u);
  EXPECT_EQ(plus3.host.messages[0].message, kMsgOnly48K);
  ASSERT_EQ(SaveSnapshotKind(a.emu, path.string(), c.kind), kSaved);
  EXPECT_TRUE(a.host.messages.empty());
  SnapshotMachine b(kModel128K);
  const std::vector<uint8_t> file = ReadWholeFile(path);
  fs::remove(path);
  ASSERT_EQ(LoadMediaKind(b.emu, c.kind, file, path.string()), kLoadedOk);
  EXPECT_TRUE(b.host.messages.empty());
  if (c.kind == FileKind::Snx) {
    // PC travels on the stack, in the two bytes under SP.
    a.m.RamBlock[0x7EFE] = 0x9B;
    a.m.RamBlock[0x7EFF] = 0x6D;
  }
  if (c.kind == FileKind::Sem) a.m.ports.BorderColour = 0;  // SEM keeps no border
  ExpectSameMachine(a.m, b.m);
}

INSTANTIATE_TEST_SUITE_P(Snapshot, OtherWriters,
                         ::testing::Values(WriterCase{FileKind::Snx, "snx"},
                                           WriterCase{FileKind::Sp, "sp"},
                                           WriterCase{FileKind::Sem, "sem"},
                                           WriterCase{FileKind::Snp, "snp"},
                                           WriterCase{FileKind::Sit, "sit"}),
                         [](const auto& instance) { return std::string(instance.param.ext); });

// ---- what the parsers make of particular bytes ----

TEST(OtherFormats, SpStatusWordSetsTheInterruptState) {
  std::vector<uint8_t> sp = {'S', 'P', 0x00, 0xC0, 0x00, 0x40};  // 49152 bytes from 0x4000
  sp.resize(38 + kRam48Size);
  sp[36] = 0x13;
  SnapshotRecord r;
  ASSERT_TRUE(ParseSP(sp, r).Ok());
  EXPECT_EQ(r.cpu.IFF1, 1);
  EXPECT_EQ(r.cpu.IFF2, 0);
  EXPECT_EQ(r.cpu.IM, 2);
  EXPECT_EQ(r.interruptArmed.value_or(0), 1);
}

std::vector<uint8_t> Sem(uint8_t first, size_t size) {
  std::vector<uint8_t> f(size, 0);
  f[0] = first;
  std::copy_n("SPEC1", 5, f.begin() + 1);
  return f;
}

// Files of every snapshot kind that are refused leave the running machine as it was: its model,
// registers and RAM.
TEST(OtherFormats, RefusedFilesShowTheirMessageAndLeaveTheMachineAlone) {
  ORVO_REQUIRE_ROMS();
  std::vector<uint8_t> shortSp = {'S', 'P', 0x00, 0xC0, 0x00, 0x40};
  shortSp.resize(38 + 100);
  std::vector<uint8_t> badHeaderSnx = {'X', 'S', 'N', 'A', 0, 36};
  badHeaderSnx.resize(60);
  std::vector<uint8_t> shortRamSnx = {'X', 'S', 'N', 'A', 0, 37};  // one code for 48K of RAM
  shortRamSnx.resize(45);
  shortRamSnx[43] = 0xF3;
  std::vector<uint8_t> z80Ext30(62, 0);  // an extra header of 30 bytes: no version has one
  z80Ext30[30] = 30;
  // A version 3 file whose third block gives 200 bytes for a 16K page.
  std::vector<uint8_t> z80ShortBlock(86, 0);
  z80ShortBlock[30] = 54;
  for (uint8_t page : {8, 4}) {
    z80ShortBlock.insert(z80ShortBlock.end(), {0xFF, 0xFF, page});
    z80ShortBlock.resize(z80ShortBlock.size() + 16384, page);
  }
  z80ShortBlock.insert(z80ShortBlock.end(), {4, 0, 5, 0xED, 0xED, 200, 1});
  std::vector<uint8_t> snaLong5(kSna128Size, 0);  // bank 5 paged needs the long form
  snaLong5[49181] = 5;
  const struct {
    const char* name;
    FileKind kind;
    std::vector<uint8_t> bytes;
    MessageId message;
  } cases[] = {
      {"sem_sig_length", FileKind::Sem, Sem(4, kSemSize), kMsgSemSignatureLength},
      {"sem_sig", FileKind::Sem,
       [] {
         auto f = Sem(5, kSemSize);
         f[3] = 'X';
         return f;
       }(),
       kMsgSemSignature},
      {"sem_short", FileKind::Sem, Sem(5, 1000), kMsgSnapshotLength},
      {"snx_sig", FileKind::Snx, std::vector<uint8_t>(5000, 1), kMsgSnxSignature},
      {"snx_header", FileKind::Snx, badHeaderSnx, kMsgOnly48K},
      {"snx_short_ram", FileKind::Snx, shortRamSnx, kMsgSnapshotLength},
      {"sp_sig", FileKind::Sp, std::vector<uint8_t>(49190, 'S'), kMsgSpSignature},
      {"sp_short", FileKind::Sp, shortSp, kMsgSnapshotLength},
      {"snp_size", FileKind::Snp, std::vector<uint8_t>(kSnpSize - 1), kMsgSnapshotLength},
      {"sit_size", FileKind::Sit, std::vector<uint8_t>(kSitSize + 1), kMsgSnapshotLength},
      {"zxs_riff", FileKind::Zxs, std::vector<uint8_t>(64, 'R'), kMsgZxsRiff},
      {"z80_ext_30", FileKind::Z80, z80Ext30, kMsgZ80Version},
      {"z80_short_block", FileKind::Z80, z80ShortBlock, kMsgSnapshotBlockLength},
      // SNA files come in three sizes only. (Files cut short: the shared invalid files and the
      // truncated file tests.)
      {"sna_49183", FileKind::Sna, std::vector<uint8_t>(49183), kMsgSnapshotLength},
      {"sna_long_plus_1", FileKind::Sna, std::vector<uint8_t>(kSna128LongSize + 1),
       kMsgSnapshotLength},
      {"sna_bank5_short_form", FileKind::Sna, snaLong5, kMsgSnapshotLength},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SnapshotMachine t(kModel128K);
    FillMachine(t.m, 1);
    const std::vector<uint8_t> before = t.m.RamBlock;
    EXPECT_EQ(LoadMediaKind(t.emu, c.kind, c.bytes, c.name), kLoadRefused);
    ASSERT_EQ(t.host.messages.size(), 1u);
    EXPECT_EQ(t.host.messages[0].message, c.message);
    EXPECT_EQ(t.m.MachineModel, kModel128K);
    EXPECT_EQ(t.m.cpu.PC, 0x6D9B);
    EXPECT_TRUE(t.m.RamBlock == before);
  }
}

// ---- ZXS ----

void Chunk(std::vector<uint8_t>& f, const char* id, const std::vector<uint8_t>& body) {
  f.insert(f.end(), id, id + 4);
  for (int k = 0; k < 4; ++k) f.push_back(static_cast<uint8_t>(body.size() >> (8 * k)));
  f.insert(f.end(), body.begin(), body.end());
  if (body.size() & 1) f.push_back(0);
}

// A ZXS page: header length 12, CRC-32, length, raw deflate data.
std::vector<uint8_t> PackedPage(uint8_t fill) {
  std::vector<uint8_t> page(kSnapshotPageSize, fill);
  page[100] = 0x55;
  const std::vector<uint8_t> z = DeflateBytes(page);
  const uint32_t crc = crc32(0, page.data(), static_cast<uInt>(page.size()));
  std::vector<uint8_t> body = {12, 0, 0, 0};
  for (uint32_t v : {crc, static_cast<uint32_t>(kSnapshotPageSize)}) {
    for (int k = 0; k < 4; ++k) body.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  body.insert(body.end(), z.begin() + 2, z.end() - 4);  // the zlib header and trailer dropped
  return body;
}

std::vector<uint8_t> Zxs128(bool badCrc) {
  std::vector<uint8_t> f = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'S', 'N', 'A', 'P'};
  Chunk(f, "fmtz", {0, 0, 0x30, 0, 0, 0, 8, 0});
  std::vector<uint8_t> regs(33, 0);
  std::copy_n("\x34\x12\x00\x80", 4, regs.begin() + 20);  // PC 0x1234, SP 0x8000
  Chunk(f, "rZ80", regs);
  Chunk(f, "r048", {0x05, 0, 0, 0, 0, 0, 0, 0, 0});
  std::vector<uint8_t> r128(18, 0);
  r128[0] = 0x1B;  // bank 3 at 0xC000, screen in bank 7, ROM 1
  Chunk(f, "r128", r128);
  Chunk(f, "tape", {1, 2, 3});  // stepped over by its size
  Chunk(f, "abcd", {9});        // and so is an ID of no known kind
  for (char n = '0'; n <= '7'; ++n) {
    std::vector<uint8_t> page = PackedPage(static_cast<uint8_t>(0x10 + n - '0'));
    if (badCrc && n == '6') page[4] ^= 1;
    Chunk(f, (std::string("ram") + n).c_str(), page);
  }
  return f;
}

TEST(OtherFormats, ZxsOfA128KLoadsItsPagesAndPagingLatch) {
  ORVO_REQUIRE_ROMS();
  SnapshotMachine t(kModel48K);
  ASSERT_EQ(LoadMediaKind(t.emu, FileKind::Zxs, Zxs128(false), "x.zxs"), kLoadedOk);
  EXPECT_TRUE(t.host.messages.empty());
  EXPECT_EQ(t.m.MachineModel, kModel128K);
  EXPECT_EQ(t.m.Last7FFD, 0x1B);
  EXPECT_EQ(t.m.Peek(0xC000), 0x13);  // bank 3
  EXPECT_EQ(t.m.Peek(0xC000 + 100), 0x55);
  EXPECT_EQ(t.m.Peek(0x4000), 0x15);  // bank 5
  EXPECT_EQ(t.m.cpu.PC, 0x1234);
  EXPECT_EQ(t.m.cpu.SP, 0x8000);
  EXPECT_EQ(t.m.ports.BorderColour, 5);

  SnapshotMachine u(kModel48K);
  EXPECT_EQ(LoadMediaKind(u.emu, FileKind::Zxs, Zxs128(true), "x.zxs"), kLoadRefused);
  ASSERT_EQ(u.host.messages.size(), 1u);
  EXPECT_EQ(u.host.messages[0].message, kMsgZxsPage);
  EXPECT_EQ(u.m.MachineModel, kModel48K);
  // A chunk that runs past the end of the file refuses the file.
  std::vector<uint8_t> cut = Zxs128(false);
  cut.resize(cut.size() - 10);
  SnapshotRecord r;
  EXPECT_EQ(ParseZXS(cut, r, SnapshotModel::k48K).error, FormatError::SnapshotLength);
}

// ---- the shared files ----

TEST(OtherFormats, SharedSpAndSnxFilesLoad) {
  ORVO_REQUIRE_ROMS();
  const struct {
    const char* file;
    FileKind kind;
    uint16_t pc, sp;
  } files[] = {// Taken in the ROM's interrupt routine, after its first PUSH.
               {"zesarux_p48k.sp", FileKind::Sp, 0x0039, 0xFF4A},
               {"esxdos_ramtest.snx", FileKind::Snx, 0, 0}};
  for (const auto& f : files) {
    const fs::path path = SnapshotFile(f.file);
    ORVO_REQUIRE_FILE(path);
    SnapshotMachine t(kModel128K);
    ASSERT_EQ(LoadMediaKind(t.emu, f.kind, ReadWholeFile(path), f.file), kLoadedOk) << f.file;
    EXPECT_TRUE(t.host.messages.empty()) << f.file;
    EXPECT_EQ(t.m.MachineModel, kModel48K);
    EXPECT_EQ(t.emu.files.FileTypeLabel, f.kind == FileKind::Sp ? "SP File" : "SNX File");
    if (f.pc != 0) {
      EXPECT_EQ(t.m.cpu.PC, f.pc);
      EXPECT_EQ(t.m.cpu.SP, f.sp);
      EXPECT_EQ(t.m.cpu.IFF1, 0);
    }
  }
}

}  // namespace
}  // namespace orvo::test
