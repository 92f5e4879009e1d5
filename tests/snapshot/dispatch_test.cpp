// The file dispatch's paths (open, drop, command line, open snapshot, ZIP entries) and saving.
#include "snapshot/dispatch.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zip.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>

#include "snapshot/media_loaders.h"
#include "snapshot/sna_format.h"
#include "snapshot/snapshot_save.h"
#include "snapshot/z80_format.h"
#include "snapshot/zip_archive.h"
#include "snapshot_fixture.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* rom : {"48k.rom", "128k.rom"}) ORVO_REQUIRE_FILE(RomDir() / rom);
    std::string name = "orvo_dispatch_";
    name += std::to_string(::getpid());
    name += "_";
    name += ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    t_ = std::make_unique<SnapshotMachine>(kModel48K);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  // A 128K snapshot with a marker in bank 3 and PC 0x7777.
  static Bytes Snapshot128(FileKind kind) {
    SnapshotMachine s(kModel128K);
    s.m.RamBlock[3 * 16384] = 0xA5;
    s.m.cpu.PC = 0x7777;
    return kind == FileKind::Sna ? BuildSNA(s.m) : BuildZ80(s.m, 3, false);
  }
  void MakeZip(const std::string& name, const std::vector<std::pair<std::string, Bytes>>& entries) {
    int error = 0;
    zip_t* z = zip_open(Path(name).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    for (const auto& [entry, bytes] : entries) {
      zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
      ASSERT_GE(zip_file_add(z, entry.c_str(), src, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
  }

  fs::path dir_;
  std::unique_ptr<SnapshotMachine> t_;
  Emulator& emu() { return t_->emu; }
  MachineState& m() { return t_->m; }
  std::vector<ShownMessage>& messages() { return t_->host.messages; }
};

TEST_F(Dispatch, DroppedSnapshotLoadsAndRecordsItsNames) {
  const Bytes file = Snapshot128(FileKind::Z80);
  Write("GAME.Z80", file);
  ASSERT_EQ(LoadFile(emu(), Path("GAME.Z80")), 0);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(m().MachineModel, kModel128K);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(m().RamBlock[3 * 16384], 0xA5);
  const FileState& f = emu().files;
  EXPECT_EQ(f.CurrentFilePath, Path("GAME.Z80"));
  EXPECT_EQ(f.CurrentFileTitle, Path("GAME.Z80"));  // dropped files dispatch by the full path
  EXPECT_EQ(f.StatusFileName, "GAME.Z80");
  EXPECT_EQ(f.FileTypeLabel, "Z80 File Version: 3.00");
  EXPECT_EQ(f.SnapshotLoaded, 1);
  EXPECT_EQ(f.FileOpened, 1);
  EXPECT_EQ(f.LastLoadStatus, kLoadedOk);
  EXPECT_EQ(f.AnalyserCopy, file);
  EXPECT_EQ(emu().folders.CurrentSnapDir, Path("GAME.Z80"));
}

TEST_F(Dispatch, OpenFileDispatchesByTheTitle) {
  Write("game.sna", Snapshot128(FileKind::Sna));
  ASSERT_EQ(OpenFileCommand(emu(), Path("game.sna")), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(emu().files.CurrentFileTitle, "game.sna");
  EXPECT_EQ(emu().files.FileTypeLabel, "SNA 128k file");
}

TEST_F(Dispatch, MixedCaseAndUnknownNamesAreIgnoredWithoutAReset) {
  Write("Game.Sna", Snapshot128(FileKind::Sna));
  Write("notes.doc", Bytes(10, 1));
  m().RamBlock[0x9000] = 0x42;
  m().cpu.PC = 0x1234;
  EXPECT_EQ(LoadFile(emu(), Path("Game.Sna")), 1);
  EXPECT_EQ(OpenFileCommand(emu(), Path("notes.doc")), 1);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(m().MachineModel, kModel48K);
  EXPECT_EQ(m().cpu.PC, 0x1234);
  EXPECT_EQ(m().RamBlock[0x9000], 0x42);
  EXPECT_EQ(emu().files.FileOpened, 0);
  EXPECT_EQ(emu().files.SnapshotLoaded, 0);
}

TEST_F(Dispatch, RecognisedKindsWithNothingToLoadAndDisksOffThePlus3) {
  for (const char* name : {"cheat.pok", "readme.TXT", "run.rzx", "disk.dsk"}) {
    Write(name, Bytes(100, 0));
    m().cpu.PC = 0x1234;
    EXPECT_EQ(LoadFile(emu(), Path(name)), 0) << name;
    EXPECT_EQ(m().cpu.PC, 0) << name;  // the path's hard reset
    EXPECT_EQ(m().MachineModel, kModel48K) << name;
  }
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(emu().files.SnapshotLoaded, 0);
}

TEST_F(Dispatch, CommandLineDropsQuotesAndDoesNotReset) {
  Write("my game.z80", Snapshot128(FileKind::Z80));
  std::string quoted = "\"";
  quoted += Path("my game.z80");
  quoted += '"';
  ASSERT_EQ(OpenCommandLineFile(emu(), quoted), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(emu().files.CurrentFilePath, Path("my game.z80"));
}

TEST_F(Dispatch, UnreadableFilesShowFileNotFound) {
  EXPECT_EQ(LoadFile(emu(), Path("missing.z80")), 1);
  EXPECT_EQ(OpenCommandLineFile(emu(), Path("missing.sna")), 1);
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[0].message, 8);
  EXPECT_EQ(messages()[0].caption, CaptionId::File);
  // A dropped folder is ignored.
  fs::create_directory(dir_ / "folder.z80");
  EXPECT_EQ(LoadFile(emu(), Path("folder.z80")), 1);
  EXPECT_EQ(messages().size(), 2u);
}

TEST_F(Dispatch, ALoaderThatRefusesStillCountsAsDispatched) {
  Write("short.sna", Bytes(100, 0));
  EXPECT_EQ(LoadFile(emu(), Path("short.sna")), 0);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 12);
  EXPECT_EQ(emu().files.LastLoadStatus, kLoadRefused);
  EXPECT_EQ(emu().files.SnapshotLoaded, 1);
}

TEST_F(Dispatch, OpenSnapshotTakesSnapshotsOnly) {
  Write("game.z80", Snapshot128(FileKind::Z80));
  Write("game.bin", Bytes(10, 0));
  Write("tape.tap", Bytes(10, 0));
  EXPECT_EQ(OpenSnapshotCommand(emu(), Path("game.bin")), 1);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 22);
  EXPECT_EQ(messages()[0].caption, CaptionId::Options);
  EXPECT_EQ(OpenSnapshotCommand(emu(), Path("tape.tap")), 0);  // recognised, not loaded here
  EXPECT_EQ(messages().size(), 1u);
  ASSERT_EQ(OpenSnapshotCommand(emu(), Path("game.z80")), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(emu().files.CurrentFileTitle, "game.z80");
  EXPECT_EQ(emu().files.StatusFileName, "game.z80");
  EXPECT_EQ(emu().folders.CurrentSnapDir, Path("game.z80"));
}

TEST_F(Dispatch, ZipEntriesAreListedAndLoadedByTheirNames) {
  const Bytes sna = Snapshot128(FileKind::Sna);
  MakeZip("bundle.zip",
          {{"readme.txt", Bytes(5, 'a')}, {"GAME.SNA", sna}, {"other.z80", Bytes(3, 0)}});
  std::vector<std::string> names;
  ASSERT_TRUE(ListZipEntries(Path("bundle.zip"), names));
  EXPECT_EQ(names, (std::vector<std::string>{"readme.txt", "GAME.SNA", "other.z80"}));

  // Opening the archive asks the window for the picker.
  ASSERT_EQ(LoadFile(emu(), Path("bundle.zip")), 0);
  EXPECT_EQ(emu().files.ZipPickerPending, 1);

  ZipArchive zip;
  ASSERT_TRUE(zip.Open(Path("bundle.zip")));
  EXPECT_EQ(zip.EntryCount(), 3);
  m().cpu.PC = 0x1234;
  ASSERT_EQ(LoadZipEntry(emu(), zip, 1), 0);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(m().RamBlock[3 * 16384], 0xA5);
  EXPECT_EQ(emu().files.Loaded.bytes, sna);
  EXPECT_EQ(emu().files.CurrentFileTitle, "GAME.SNA");
  EXPECT_EQ(emu().files.StatusFileName, "bundle.zip");  // the archive stays the current file
  // A text entry is recognised and not loaded; the picker's index must exist.
  EXPECT_EQ(LoadZipEntry(emu(), zip, 0), 0);
  EXPECT_EQ(LoadZipEntry(emu(), zip, 3), 1);
  EXPECT_TRUE(messages().empty());
}

TEST_F(Dispatch, ZipEntryWithoutAKnownExtension) {
  EXPECT_EQ(DispatchZipEntry(emu(), ""), 1);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(DispatchZipEntry(emu(), "game.bin"), 1);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 22);
}

TEST_F(Dispatch, LoadingAnEntryWithoutThePicker) {
  const Bytes z80 = Snapshot128(FileKind::Z80);
  MakeZip("a.zip", {{"notes.txt", Bytes(5, 'a')}, {"first.z80", z80}, {"second.sna", Bytes(7, 0)}});
  MakeZip("b.zip", {{"notes.txt", Bytes(5, 'a')}});
  ASSERT_EQ(LoadZipArchiveEntry(emu(), Path("a.zip"), ""), 0);  // the first loadable entry
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("a.zip"), "second.sna"), 0);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 12);  // the SNA loader's own refusal
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("a.zip"), "absent.z80"), 1);
  EXPECT_EQ(messages().back().message, 8);
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("b.zip"), ""), 1);
  EXPECT_EQ(messages().back().message, 22);
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("none.zip"), ""), 1);
  EXPECT_EQ(messages().back().message, 8);
}

TEST_F(Dispatch, ADamagedEntryIsAReadError) {
  // Noise, so that the stored data are about as long as the entry.
  Bytes data(5000);
  std::mt19937 rng(9);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  MakeZip("bad.zip", {{"game.z80", data}});
  // Corrupt the stored data (the entry's bytes follow its 30-byte local header and name).
  std::fstream f(Path("bad.zip"), std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(30 + 8 + 40);
  f.put('\x5A');
  f.close();
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(Path("bad.zip")));
  Bytes out;
  EXPECT_EQ(zip.ReadEntry(0, out), 23);
  EXPECT_TRUE(out.empty());
}

TEST_F(Dispatch, TapeBootSnapshotComesFromTheLibsFolderByModel) {
  emu().folders.LibsFolder = dir_.string() + "/";
  EXPECT_EQ(LoadTapeBootSnapshot(emu()), 1);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 11);
  SnapshotMachine boot(kModel48K);
  boot.m.cpu.PC = 0x0556;
  Write("tape_48.z80", BuildZ80(boot.m, 3, false));
  ASSERT_EQ(LoadTapeBootSnapshot(emu()), 0);
  EXPECT_EQ(m().cpu.PC, 0x0556);
  // The 128K uses its own file.
  Write("tape_128.z80", Snapshot128(FileKind::Z80));
  m().MachineModel = kModel128K;
  SetUpMachine(emu());
  ASSERT_EQ(LoadTapeBootSnapshot(emu()), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
}

TEST_F(Dispatch, SaveByExtensionWritesAFileThatLoadsBack) {
  SnapshotMachine s(kModel128K);
  s.m.cpu.PC = 0x4567;
  s.m.RamBlock[7 * 16384 + 5] = 0x3C;
  for (const char* name : {"out.z80", "OUT.SNA"}) {
    ASSERT_EQ(SaveSnapshot(s.emu, Path(name)), kSaved) << name;
    SnapshotMachine back;
    ASSERT_EQ(LoadFile(back.emu, Path(name)), 0) << name;
    EXPECT_EQ(back.m.cpu.PC, 0x4567);
    EXPECT_EQ(back.m.RamBlock[7 * 16384 + 5], 0x3C);
  }
  // A new file gets the usual permissions, not the temporary file's.
  EXPECT_NE(fs::status(Path("out.z80")).permissions() & fs::perms::group_read, fs::perms::none);
  EXPECT_EQ(SaveSnapshot(s.emu, Path("out.Sna")), kSaveFailed);
  EXPECT_EQ(SaveSnapshot(s.emu, Path("out.snp")), kSaveNoWriter);  // SNP has no writer
  EXPECT_FALSE(fs::exists(Path("out.snp")));
  ASSERT_EQ(s.host.messages.size(), 1u);
  EXPECT_EQ(s.host.messages[0].message, 22);
}

TEST_F(Dispatch, Z80SavesFollowTheVersionSettings) {
  struct Row {
    int version, with1FFD;
    uint16_t pcField, length;
  };
  m().cpu.PC = 0x8123;
  for (const Row& r :
       {Row{1, 0, 0x8123, 0}, Row{2, 1, 0, 23}, Row{3, 0, 0, 54}, Row{3, 1, 0, 55}}) {
    m().settings.Z80Version = r.version;
    m().settings.Save1FFD = r.with1FFD;
    ASSERT_EQ(SaveSnapshot(emu(), Path("v.z80")), kSaved);
    const Bytes f = ReadWholeFile(Path("v.z80"));
    EXPECT_EQ(f[6] | f[7] << 8, r.pcField) << r.version;
    if (r.length != 0) {
      EXPECT_EQ(f[30] | f[31] << 8, r.length) << r.version;
    }
  }
}

TEST_F(Dispatch, SaveDialogUsesTheTitleCutAtItsLastDot) {
  std::string written;
  ASSERT_EQ(SaveSnapshotCommand(emu(), Path("game.v2.z80"), 2, &written), kSaved);
  EXPECT_EQ(written, Path("game.v2.sna"));
  EXPECT_TRUE(fs::exists(Path("game.v2.sna")));
  EXPECT_EQ(emu().files.CurrentFileTitle, "game.v2");
  ASSERT_EQ(SaveSnapshotCommand(emu(), Path("plain"), 3, &written), kSaved);
  EXPECT_EQ(written, Path("plain.z80"));
  // "All supported snapshots", ZXS and "All files" write nothing.
  for (int filter : {1, 10, 11}) {
    EXPECT_EQ(SaveSnapshotCommand(emu(), Path("none.sna"), filter), kSaveNoWriter);
  }
  EXPECT_FALSE(fs::exists(Path("none.sna")));
  EXPECT_FALSE(fs::exists(Path("none")));
}

TEST_F(Dispatch, A48KSnaCannotKeepPcInRom) {
  m().cpu.SP = 0x4001;  // PC would go to 0x3FFF and 0x4000
  EXPECT_EQ(SaveSnapshot(emu(), Path("rom.sna")), kSaveFailed);
  EXPECT_FALSE(fs::exists(Path("rom.sna")));
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 148);
  m().cpu.SP = 0x4002;
  EXPECT_EQ(SaveSnapshot(emu(), Path("ram.sna")), kSaved);
  EXPECT_EQ(SaveSnapshot(emu(), Path("any.z80")), kSaved);  // the Z80 format keeps PC itself
  m().cpu.SP = 0x0001;                                      // wraps: 0xFFFF and 0x0000
  EXPECT_EQ(SaveSnapshot(emu(), Path("wrap.sna")), kSaveFailed);
}

TEST_F(Dispatch, AFailedSaveKeepsTheOldFileAndSaysSo) {
  Write("keep.sna", Bytes{1, 2, 3});
  // Writes stop after 1000 bytes: the snapshot cannot be written whole.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int rc = SaveSnapshot(emu(), Path("keep.sna"));
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(rc, kSaveFailed);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 148);
  EXPECT_EQ(ReadWholeFile(Path("keep.sna")), (Bytes{1, 2, 3}));
  // No temporary file is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 1);
  // A folder that does not exist, and a folder in the way of the file.
  EXPECT_EQ(SaveSnapshot(emu(), Path("no/such/folder/x.sna")), kSaveFailed);
  fs::create_directories(dir_ / "taken.sna" / "inside");
  EXPECT_EQ(SaveSnapshot(emu(), Path("taken.sna")), kSaveFailed);
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.sna" / "inside"));
  EXPECT_EQ(messages().size(), 3u);
}

}  // namespace
}  // namespace orvo::test
