// Reading and writing files whole: what is not a regular file is refused without blocking, caps
// hold before anything is allocated, and a save never harms what the user protected or linked.
#include "formats/file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

// A scratch folder, made writable again before it is removed.
struct Folder : test::TempDir {
  ~Folder() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
  }
  std::string Text(const std::string& name) const {
    std::string text;
    EXPECT_EQ(ReadRegularText(*this / name, text), ReadFailure::None) << name;
    return text;
  }
  // Names in the folder other than `except`.
  std::vector<std::string> Others(const std::string& except) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path))
      if (e.path().filename() != except) names.push_back(e.path().filename().string());
    return names;
  }
};

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(ReadRegularFile, RefusesWhatIsNotARegularFileWithoutBlockingAndHoldsTheCap) {
  Folder dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::vector<uint8_t> out = {9};
  // A FIFO with no writer would block an ordinary open for ever.
  EXPECT_EQ(ReadRegularFile(dir / "fifo", out), ReadFailure::NotRegular);
  EXPECT_EQ(ReadRegularFile(dir.path.string(), out), ReadFailure::NotRegular);
  EXPECT_EQ(ReadRegularFile("/dev/zero", out), ReadFailure::NotRegular);
  EXPECT_EQ(ReadRegularFile(dir / "missing", out), ReadFailure::Missing);
  EXPECT_EQ(ReadRegularFile(dir / "missing/below", out), ReadFailure::Missing);
  EXPECT_EQ(ReadRegularFile("", out), ReadFailure::Missing);
  EXPECT_EQ(out, std::vector<uint8_t>{9}) << "a refusal leaves the buffer as it was";

  dir.Write("ten", "0123456789");
  EXPECT_EQ(ReadRegularFile(dir / "ten", out, 9), ReadFailure::TooLarge);
  ASSERT_EQ(ReadRegularFile(dir / "ten", out, 10), ReadFailure::None);
  EXPECT_EQ(std::string(out.begin(), out.end()), "0123456789");
  dir.Write("empty", "");
  EXPECT_EQ(ReadRegularFile(dir / "empty", out), ReadFailure::None);
  EXPECT_TRUE(out.empty());
  // Through a link to the file, as the user sees it.
  fs::create_symlink("ten", dir.path / "link");
  std::string text;
  EXPECT_EQ(ReadRegularText(dir / "link", text), ReadFailure::None);
  EXPECT_EQ(text, "0123456789");
}

TEST(ReplaceFile, ProtectedAndSpecialTargetsAreRefusedAndLeftAsTheyWere) {
  Folder dir;
  const std::string kept = dir.Write("kept.z80", "old");
  fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(ReplaceFile(kept, Bytes("new")), WriteFailure::ReadOnly);
  EXPECT_EQ(dir.Text("kept.z80"), "old");
  EXPECT_EQ(fs::status(kept).permissions() & fs::perms::owner_write, fs::perms::none);
  // Read-only through a link: the link is followed to the protected file.
  fs::create_symlink("kept.z80", dir.path / "via.z80");
  EXPECT_EQ(ReplaceFile(dir / "via.z80", Bytes("new")), WriteFailure::ReadOnly);
  EXPECT_EQ(dir.Text("kept.z80"), "old");

  fs::create_directory(dir.path / "folder");
  EXPECT_EQ(ReplaceFile(dir / "folder", Bytes("x")), WriteFailure::NotRegular);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReplaceFile(dir / "fifo", Bytes("x")), WriteFailure::NotRegular);
  EXPECT_EQ(ReplaceFile(dir / "missing/x", Bytes("x")), WriteFailure::Create);
  EXPECT_TRUE(fs::is_fifo(dir.path / "fifo"));
  EXPECT_TRUE(fs::is_directory(dir.path / "folder"));
  EXPECT_EQ(dir.Others("").size(), 4u) << "no temporary file left behind";
  EXPECT_NE(WriteFailureText(WriteFailure::ReadOnly, kept).find("kept.z80"), std::string::npos);
}

TEST(ReplaceFile, LinksAreFollowedAndTheFileTheyNameIsReplacedInItsOwnFolder) {
  Folder dir;
  fs::create_directories(dir.path / "dotfiles");
  dir.Write("dotfiles/orvo.ini", "old");
  fs::permissions(dir.path / "dotfiles/orvo.ini", fs::perms(0640));
  fs::create_directories(dir.path / "config");
  // A relative link, through a second link.
  fs::create_symlink("../dotfiles/orvo.ini", dir.path / "config/real");
  fs::create_symlink("real", dir.path / "config/orvo.ini");
  ASSERT_EQ(ReplaceFile(dir / "config/orvo.ini", Bytes("new")), WriteFailure::None);
  EXPECT_TRUE(fs::is_symlink(dir.path / "config/orvo.ini"));
  EXPECT_TRUE(fs::is_symlink(dir.path / "config/real"));
  EXPECT_EQ(dir.Text("dotfiles/orvo.ini"), "new");
  EXPECT_EQ(fs::status(dir.path / "dotfiles/orvo.ini").permissions(), fs::perms(0640));
  // A link to a file not there yet makes that file.
  fs::create_symlink(dir / "dotfiles/new.dsk", dir.path / "disk.dsk");
  ASSERT_EQ(ReplaceFile(dir / "disk.dsk", Bytes("disk")), WriteFailure::None);
  EXPECT_TRUE(fs::is_symlink(dir.path / "disk.dsk"));
  EXPECT_EQ(dir.Text("dotfiles/new.dsk"), "disk");
  // A loop of links is a name that cannot be saved.
  fs::create_symlink("b", dir.path / "a");
  fs::create_symlink("a", dir.path / "b");
  EXPECT_NE(ReplaceFile(dir / "a", Bytes("x")), WriteFailure::None);
  EXPECT_TRUE(fs::is_symlink(dir.path / "a"));
}

TEST(ReplaceFile, NamesAsLongAsTheFolderHoldsCanBeSaved) {
  Folder dir;
  for (size_t length : {250u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".dsk";
    ASSERT_EQ(ReplaceFile(dir / name, Bytes("first")), WriteFailure::None) << length;
    ASSERT_EQ(ReplaceFile(dir / name, Bytes("second")), WriteFailure::None) << length;
    EXPECT_EQ(dir.Text(name), "second");
  }
  EXPECT_EQ(dir.Others("").size(), 2u);
}

// A child process whose files may not grow past a few bytes: the disk is as good as full.
TEST(ReplacingFile, AFullDiskFailsTheSaveAndKeepsTheOldFile) {
  Folder dir;
  dir.Write("log.txt", "the old log");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ReplacingFile log;
    if (log.Open(dir / "log.txt") != WriteFailure::None) ::_exit(2);
    for (int k = 0; k < 10; ++k) log.Write("a line of the log\n");
    ::_exit(log.Commit() == WriteFailure::Write ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(dir.Text("log.txt"), "the old log");
  EXPECT_TRUE(dir.Others("log.txt").empty()) << "the failed save's temporary file is removed";
}

TEST(ReplacingFile, PiecesArriveInOrderAndNothingIsInPlaceBeforeTheCommit) {
  Folder dir;
  dir.Write("log.txt", "old");
  {
    ReplacingFile log;
    ASSERT_EQ(log.Open(dir / "log.txt"), WriteFailure::None);
    const std::string big(100000, 'b');
    log.Write("small ");
    log.Write(big);
    log.Write(" end");
    EXPECT_EQ(log.Size(), big.size() + 10);
    EXPECT_EQ(dir.Text("log.txt"), "old");
    ASSERT_EQ(log.Commit(), WriteFailure::None);
    EXPECT_EQ(dir.Text("log.txt"), "small " + big + " end");
  }
  {
    ReplacingFile dropped;
    ASSERT_EQ(dropped.Open(dir / "log.txt"), WriteFailure::None);
    dropped.Write("lost");
  }
  EXPECT_EQ(dir.Text("log.txt").substr(0, 6), "small ");
  {
    // A log still open when the program ends is kept.
    LogFile log(new ReplacingFile);
    ASSERT_EQ(log->Open(dir / "log.txt"), WriteFailure::None);
    log->Write("kept at exit");
  }
  EXPECT_EQ(dir.Text("log.txt"), "kept at exit");
  EXPECT_TRUE(dir.Others("log.txt").empty());
}

TEST(RemoveStaleSaveFiles, RemovesWhatDeadSavesLeftAndNothingElse) {
  Folder dir;
  // A process that has ended, for a process id no one has.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string prefix = kSaveTempPrefix;
  dir.Write(prefix + std::to_string(gone) + "-abcdef", "dead");
  dir.Write(prefix + std::to_string(::getpid()) + "-abcdef", "ours");
  dir.Write(prefix + "1-abcdef", "init lives");
  dir.Write(prefix + "x-abcdef", "not ours");
  dir.Write("game.tap", "user file");
  fs::create_directory(dir.path / (prefix + "0-folder"));
  EXPECT_EQ(RemoveStaleSaveFiles(dir.path.string(), false), 1);
  EXPECT_FALSE(fs::exists(dir.path / (prefix + std::to_string(gone) + "-abcdef")));
  EXPECT_TRUE(fs::exists(dir.path / (prefix + std::to_string(::getpid()) + "-abcdef")))
      << "a save of this process may be under way";
  // At start-up a file with this process's id is an earlier process's.
  EXPECT_EQ(RemoveStaleSaveFiles(dir.path.string(), true), 1);
  EXPECT_EQ(dir.Others("").size(), 4u);
}

}  // namespace
}  // namespace orvo
