// The file dispatch's paths (open, drop, command line, open snapshot, ZIP entries), saving, and
// the cartridge commands (a failed write-back keeps the cartridge, the protect tab reaches the
// file, "View Microdrive" follows whether any drive holds one).
#include "shell/file_dispatch.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "formats/mdr_format.h"
#include "shell/config_test_support.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/format_messages.h"
#include "shell/media_loaders.h"
#include "shell/microdrive_commands.h"
#include "shell/snapshot_save.h"
#include "shell/zip_archive.h"
#include "snapshot/snapshot_fixture.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* rom : {"48k.rom", "128k.rom"}) ORVO_REQUIRE_FILE(RomDir() / rom);
    t_ = std::make_unique<SnapshotMachine>(kModel48K);
  }

  std::string Path(const std::string& name) const { return temp_ / name; }
  void Write(const std::string& name, const Bytes& bytes) const {
    temp_.Write(name, std::string(bytes.begin(), bytes.end()));
  }
  // A 128K snapshot with a marker in bank 3 and PC 0x7777.
  static Bytes Snapshot128(bool sna) {
    SnapshotMachine s(kModel128K);
    s.m.RamBlock[3 * 16384] = 0xA5;
    s.m.cpu.PC = 0x7777;
    return sna ? WriteSNA(CaptureSnapshot(s.m)) : WriteZ80(CaptureSnapshot(s.m), 3, false);
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

  const TempDir temp_;
  const fs::path& dir_ = temp_.path;
  std::unique_ptr<SnapshotMachine> t_;
  Emulator& emu() { return t_->emu; }
  MachineState& m() { return t_->m; }
  FileState& files() { return t_->emu.files; }
  std::vector<ShownMessage>& messages() { return t_->host.messages; }
};

TEST_F(Dispatch, OpenedAndDroppedSnapshotsLoadAndRecordTheirNames) {
  Write("GAME.Z80", Snapshot128(false));
  Write("game.sna", Snapshot128(true));
  ASSERT_EQ(LoadFile(emu(), Path("GAME.Z80")), 0);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(m().MachineModel, kModel128K);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(files().CurrentFileTitle, Path("GAME.Z80"));  // a drop dispatches the full path
  EXPECT_EQ(files().StatusFileName, "GAME.Z80");
  EXPECT_EQ(emu().folders.CurrentSnapDir, Path("GAME.Z80"));  // for the instant save
  ASSERT_EQ(OpenFileCommand(emu(), Path("game.sna")), 0);
  EXPECT_EQ(files().CurrentFileTitle, "game.sna");
  EXPECT_EQ(files().FileTypeLabel, "SNA 128k file");
}

TEST_F(Dispatch, NamesThatAreNotLoadedHereAndFailures) {
  enum Command { kDrop, kOpen, kOpenSnapshot };
  const struct {
    const char* name;
    Command command;
    int rc;
    MessageId message;  // kMsgNone: none
    bool reset;         // the open path's hard reset; otherwise nothing changes
  } cases[] = {
      // Unknown extensions are ignored; kinds loaded elsewhere reset and load nothing. A disk
      // image off the +3, a dropped folder and a recording that cannot be read change nothing.
      {"notes.doc", kOpen, 1, kMsgNone, false},
      {"cheat.pok", kDrop, 0, kMsgNone, true},
      {"run.rzx", kDrop, 0, kMsgRzxUnreadable, false},
      {"disk.dsk", kDrop, 1, kMsgNone, false},
      {"folder.z80", kDrop, 1, kMsgNone, false},
      {"missing.z80", kDrop, 1, kMsgFileNotFound, false},
      // "Open Snapshot" takes snapshots only.
      {"game.bin", kOpenSnapshot, 1, kMsgUnknownExtension, false},
      // A refused file shows the loader's message before anything is reset; the kind still
      // counts as dispatched.
      {"short.sna", kDrop, 0, kMsgSnapshotLength, false},
      {"short.z80", kOpenSnapshot, 0, kMsgZ80Version, false}};
  fs::create_directory(dir_ / "folder.z80");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) != "missing.z80" && !fs::exists(dir_ / c.name))
      Write(c.name, Bytes(100, 0));
    messages().clear();
    m().cpu.PC = 0x1234;
    m().RamBlock[0x9000] = 0x42;
    const int rc = c.command == kDrop   ? LoadFile(emu(), Path(c.name))
                   : c.command == kOpen ? OpenFileCommand(emu(), Path(c.name))
                                        : OpenSnapshotCommand(emu(), Path(c.name));
    EXPECT_EQ(rc, c.rc);
    ASSERT_EQ(messages().size(), c.message == kMsgNone ? 0u : 1u);
    if (c.message != kMsgNone) {
      EXPECT_EQ(messages()[0].message, c.message);
      EXPECT_EQ(messages()[0].caption, c.message == kMsgFileNotFound    ? CaptionId::File
                                       : c.message == kMsgRzxUnreadable ? CaptionId::Rzx
                                                                        : CaptionId::Options);
    }
    EXPECT_EQ(m().cpu.PC, c.reset ? 0 : 0x1234);
    EXPECT_EQ(m().RamBlock[0x9000], c.reset ? m().RamBlock[0x9000] : 0x42);
  }
  EXPECT_EQ(files().LastLoadStatus, kLoadRefused);
  EXPECT_EQ(files().SnapshotLoaded, 0);
}

TEST_F(Dispatch, ZipEntriesAreListedAndLoadedByTheirNames) {
  const Bytes sna = Snapshot128(true);
  MakeZip("bundle.zip", {{"readme.txt", Bytes(5, 'a')}, {"GAME.SNA", sna}, {"x.z80", Bytes(3)}});
  MakeZip("text.zip", {{"notes.txt", Bytes(5, 'a')}});
  std::vector<std::string> names;
  ASSERT_TRUE(ListZipEntries(Path("bundle.zip"), names));
  EXPECT_EQ(names, (std::vector<std::string>{"readme.txt", "GAME.SNA", "x.z80"}));
  ASSERT_EQ(LoadFile(emu(), Path("bundle.zip")), 0);
  EXPECT_EQ(files().ZipPickerPending, 1);  // the window shows the picker

  ZipArchive zip;
  ASSERT_TRUE(zip.Open(Path("bundle.zip")));
  ASSERT_EQ(LoadZipEntry(emu(), zip, 1), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(files().Loaded.bytes, sna);
  EXPECT_EQ(files().CurrentFileTitle, "GAME.SNA");
  EXPECT_EQ(files().StatusFileName, "bundle.zip");  // the archive stays the current file
  EXPECT_TRUE(messages().empty());
  // A text entry is no Spectrum file: refused, and named.
  EXPECT_EQ(LoadZipEntry(emu(), zip, 0), 1);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, kMsgZipEntryNotSpectrum);
  messages().clear();
  EXPECT_EQ(LoadZipEntry(emu(), zip, 3), 1);
  EXPECT_EQ(DispatchZipEntry(emu(), ""), 1);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(DispatchZipEntry(emu(), "game.bin"), 1);
  EXPECT_EQ(messages().back().message, 22);

  // Without the picker: the first loadable entry, or one by name.
  m().cpu.PC = 0;
  ASSERT_EQ(LoadZipArchiveEntry(emu(), Path("bundle.zip"), ""), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
  m().RamBlock[0x9000] = 0x42;
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("bundle.zip"), "x.z80"), 0);
  EXPECT_EQ(messages().back().message, 12);  // the Z80 loader's own refusal, before any reset
  EXPECT_EQ(m().cpu.PC, 0x7777);
  EXPECT_EQ(m().RamBlock[0x9000], 0x42);
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("bundle.zip"), "absent.z80"), 1);
  EXPECT_EQ(messages().back().message, 8);
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("text.zip"), ""), 1);
  EXPECT_EQ(messages().back().message, 22);
  // A file that is there but is no archive is not "File Not Found".
  Write("notzip.zip", Bytes(100, 0));
  EXPECT_EQ(LoadZipArchiveEntry(emu(), Path("notzip.zip"), ""), 1);
  EXPECT_EQ(messages().back().message, kMsgZipUnreadable);
  EXPECT_EQ(messages().back().caption, CaptionId::File);

  // A damaged entry is a read error.
  Bytes noise(5000);  // stored as it is, so the damage lands in the entry's data
  std::mt19937 rng(9);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  MakeZip("bad.zip", {{"game.z80", noise}});
  std::fstream f(Path("bad.zip"), std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(30 + 8 + 40);  // past the local header and the name
  f.put('\x5A');
  f.close();
  ASSERT_TRUE(zip.Open(Path("bad.zip")));
  Bytes out;
  EXPECT_EQ(FormatErrorMessage(zip.ReadEntry(0, out)), 23);
  EXPECT_TRUE(out.empty());
}

TEST_F(Dispatch, TapeBootSnapshotComesFromTheLibsFolderByModel) {
  emu().folders.LibsFolder = dir_.string() + "/";
  EXPECT_EQ(LoadTapeBootSnapshot(emu()), 1);
  EXPECT_EQ(messages().back().message, 11);
  m().cpu.PC = 0x0556;
  Write("tape_48.z80", WriteZ80(CaptureSnapshot(m()), 3, false));
  Write("tape_128.z80", Snapshot128(false));
  m().cpu.PC = 0;
  ASSERT_EQ(LoadTapeBootSnapshot(emu()), 0);
  EXPECT_EQ(m().cpu.PC, 0x0556);
  m().MachineModel = kModel128K;
  SetUpMachine(emu());
  ASSERT_EQ(LoadTapeBootSnapshot(emu()), 0);
  EXPECT_EQ(m().cpu.PC, 0x7777);
}

TEST_F(Dispatch, SavesFollowTheExtensionAndTheVersionSettings) {
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
  // SNP holds the 16K and 48K only: the 128K family is refused.
  EXPECT_EQ(SaveSnapshot(s.emu, Path("out.snp")), kSaveFailed);
  EXPECT_FALSE(fs::exists(Path("out.snp")));
  // "z80 version" and "1FFD byte" choose the header length; version 1 holds a 48K only, so a 128K
  // asked for it gets version 3.
  const std::pair<int, uint16_t> versions[] = {{1, 54}, {2, 23}, {3, 54}, {4, 55}};
  for (const auto& [setting, field] : versions) {
    s.m.settings.Z80Version = std::min(setting, 3);
    s.m.settings.Save1FFD = setting == 4;
    ASSERT_EQ(SaveSnapshot(s.emu, Path("v.z80")), kSaved);
    const Bytes f = ReadWholeFile(Path("v.z80"));
    EXPECT_EQ(f[30] | f[31] << 8, field) << setting;
  }
}

// The dialog's filter picks the writer and cuts the title at its last dot; "All supported
// snapshots" (1) and "All files" (11) write by the typed extension, a Z80 file when there is none;
// what cannot be written says why and writes nothing.
TEST_F(Dispatch, SaveDialogUsesTheTitleCutAtItsLastDot) {
  const struct {
    int filter;
    const char* typed;
    const char* written;  // nullptr: nothing
    MessageId message;
  } cases[] = {{3, "plain", "plain.z80", kMsgNone},
               {1, "any.sna", "any.sna", kMsgNone},
               {11, "bare", "bare.z80", kMsgNone},
               {11, "page.SZX", "page.SZX", kMsgNone},
               {2, "game.v2.z80", "game.v2.sna", kMsgNone},
               {1, "notes.txt", nullptr, kMsgUnknownSnapshotExtension},
               {10, "frozen.zxs", nullptr, kMsgZxsNotWritable}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    messages().clear();
    std::string written;
    const int saved = SaveSnapshotCommand(emu(), Path(c.typed), c.filter, &written);
    EXPECT_EQ(saved == kSaved, c.written != nullptr);
    EXPECT_TRUE(!c.written || written == Path(c.written)) << written;
    EXPECT_EQ(fs::exists(Path(c.written ? c.written : c.typed)), c.written != nullptr);
    ASSERT_EQ(messages().size(), c.written ? 0u : 1u);
    EXPECT_EQ(c.written ? kMsgNone : messages()[0].message, c.message);
  }
  EXPECT_EQ(files().CurrentFileTitle, "game.v2");                // from the last save
  EXPECT_EQ(ReadWholeFile(Path("game.v2.sna")).size(), 49179u);  // an SNA, as the filter says
  EXPECT_EQ(ReadWholeFile(Path("any.sna")).size(), 49179u);
}

TEST_F(Dispatch, AFailedSaveKeepsTheOldFileAndSaysSo) {
  Write("keep.sna", Bytes{1, 2, 3});
  // Writes stop after 1000 bytes: the snapshot cannot be written whole.
  int rc = 0;
  WithFileSizeLimit(1000, [&] { rc = SaveSnapshot(emu(), Path("keep.sna")); });
  EXPECT_EQ(rc, kSaveFailed);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].message, 148);
  EXPECT_EQ(ReadWholeFile(Path("keep.sna")), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  // A missing folder, a folder in the way, and a 48K SNA whose PC would have to go into ROM.
  EXPECT_EQ(SaveSnapshot(emu(), Path("no/such/folder/x.sna")), kSaveFailed);
  fs::create_directories(dir_ / "taken.sna" / "inside");
  EXPECT_EQ(SaveSnapshot(emu(), Path("taken.sna")), kSaveFailed);
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.sna" / "inside"));
  for (uint16_t sp : {0x4001, 0x0001}) {
    m().cpu.SP = sp;
    EXPECT_EQ(SaveSnapshot(emu(), Path("rom.sna")), kSaveFailed);
  }
  EXPECT_FALSE(fs::exists(Path("rom.sna")));
  EXPECT_EQ(messages().size(), 5u);
  m().cpu.SP = 0x4002;
  EXPECT_EQ(SaveSnapshot(emu(), Path("ram.sna")), kSaved);
}

// Opening matches the last characters case-sensitively (any case mix is ignored); saving
// compares the whole extension after the last dot, and only for kinds with a writer.
TEST(FileKinds, OnlyTheLastCharactersCountCaseSensitively) {
  const std::pair<const char*, FileKind> opened[] = {{"GAME.SNA", FileKind::Sna},
                                                     {"Game.Sna", FileKind::None},
                                                     {"x.wsp", FileKind::Sp},
                                                     {"sna", FileKind::Sna},
                                                     {"game.z80.bak", FileKind::None}};
  for (const auto& [name, kind] : opened) EXPECT_EQ(MatchExtension(name), kind) << name;
  const std::pair<const char*, FileKind> saved[] = {{"/a/b.Z80", FileKind::Z80},
                                                    {"/a/b.wsp", FileKind::None},
                                                    {"/a/b.Sna", FileKind::None},
                                                    {"/a/b.zxs", FileKind::None},
                                                    {"/a.sna/b", FileKind::None}};
  for (const auto& [name, kind] : saved) EXPECT_EQ(SaverKindForPath(name), kind) << name;
}

TEST(MicrodriveCommands, CartridgesSurviveFailedWritesAndKeepTheirProtectTab) {
  test::RecordingHost host;
  Emulator emu(host);
  const TempDir temp;
  const fs::path& dir = temp.path;
  const fs::path cart = dir / "blank.mdr";

  ASSERT_EQ(CreateCartridge(emu, 3, cart.string()), 0);
  const MicrodriveUnit& d = emu.m.microdrives.drives[3];
  EXPECT_TRUE(d.inserted && d.writable);
  EXPECT_EQ(d.name, "blank.mdr");

  // Protecting it is what goes back into the file.
  SetCartridgeProtected(emu, 3, true);
  ASSERT_EQ(EjectCartridge(emu, 3), 0);
  EXPECT_EQ(d.name, kNoCartridgeName);
  // With no drive holding one the view still answers (its message says so).
  EXPECT_TRUE(emu.menu.IsEnabled(CommandId::ViewMicrodrive));
  EXPECT_EQ(test::ReadWholeFile(cart).back(), 1);

  // A file that has gone is refused; the drive stays empty.
  EXPECT_EQ(InsertCartridge(emu, 0, (dir / "none.mdr").string()), 1);
  EXPECT_EQ(host.messages.at(0).message, kMsgCartridgeUnreadable);
  EXPECT_FALSE(emu.m.microdrives.drives[0].inserted);

  // When the folder has gone by the time of the eject, the cartridge stays in its drive.
  ASSERT_EQ(InsertCartridge(emu, 0, cart.string()), 0);
  EXPECT_FALSE(emu.m.microdrives.drives[0].writable);
  fs::remove_all(dir);
  EXPECT_EQ(EjectAllCartridges(emu), 1);
  EXPECT_EQ(host.messages.at(1).message, kMsgCartridgeWriteFailed);
  EXPECT_TRUE(emu.m.microdrives.drives[0].inserted);
}

}  // namespace
}  // namespace orvo::test
