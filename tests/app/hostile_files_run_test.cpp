// orvo-run given what an attacker or an unlucky user gives it: folders and FIFOs where files
// belong, small files that unpack to gigabytes, a tape that loops for ever, protected and linked
// targets, names at the folder's limit and a disk that fills up. Every run ends, in time, with a
// message and an exit code; no file is lost or replaced that should not be.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zip.h>

#include <filesystem>
#include <string>

#include "formats/rzx_format.h"
#include "formats/zlib_codec.h"
#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

class HostileRun : public ::testing::Test {
 protected:
  void SetUp() override { ORVO_REQUIRE_RUNNER("48k.rom"); }

  // orvo-run in the test's folder, stopped after half a minute should it hang. `prefix` goes before
  // the program (resource limits).
  std::string Run(const std::string& args, const std::string& prefix = "") {
    return CaptureCommand("cd " + dir.path.string() + " && " + prefix + " timeout 30 " +
                              (BuildDir() / "orvo-run").string() + " --rom-dir " +
                              RomDir().string() + " " + args + " 2>&1",
                          &status);
  }
  // The run ended by itself with a failure (not killed, not timed out).
  void ExpectRefused(const std::string& what, const std::string& out) {
    EXPECT_TRUE(WIFEXITED(status)) << what << ": status " << status << "\n" << out;
    EXPECT_NE(WEXITSTATUS(status), 0) << what << "\n" << out;
    EXPECT_NE(WEXITSTATUS(status), 124) << what << ": timed out\n" << out;
  }
  std::string Text(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  TempDir dir;
  int status = -1;
};

// A folder and a FIFO as every kind of input: refused at once with a message, never a hang or
// an abort.
TEST_F(HostileRun, FoldersAndFifosAreRefusedAsEveryKindOfInput) {
  fs::create_directory(dir.path / "folder.tzx");
  fs::create_directory(dir.path / "folder.z80");
  ASSERT_EQ(::mkfifo((dir / "fifo.tzx").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.z80").c_str(), 0600), 0);
  for (const std::string kind : {"folder", "fifo"}) {
    for (const std::string& args :
         {"--tape " + kind + ".tzx", "--load " + kind + ".z80", "--load " + kind + ".tzx",
          "--type-file " + kind + ".tzx", "--load-binary " + kind + ".z80@32768",
          "--rzx " + kind + ".z80", "--model plus3 --disk-a " + kind + ".tzx"}) {
      const std::string out = Run(args + " --frames 1");
      ExpectRefused(args, out);
      EXPECT_FALSE(out.empty()) << args << ": a message says why";
    }
  }
}

// Files of a few megabytes that would take gigabytes: with the address space limited to 1 GB
// each run ends with a message.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVO_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ORVO_TEST_ASAN)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST_F(HostileRun, SmallFilesThatWouldTakeGigabytesEndWithAMessageUnderOneGigabyte) {
  // The address-space limit leaves no room for AddressSanitizer's shadow memory.
  if (kAddressSanitizer) GTEST_SKIP() << "an address-space limit cannot be combined with ASan";
  ASSERT_TRUE(ToolOnPath("prlimit"));
  const std::string limit = "prlimit --as=1073741824";
  // 10 MB of zeros as a TAP: five million empty blocks.
  dir.Write("zeros.tap", std::string(10u << 20, '\0'));
  std::string out = Run("--tape zeros.tap", limit);
  ExpectRefused("zeros.tap", out);
  EXPECT_NE(out.find("Out of memory"), std::string::npos) << out;

  // 40 copies of one input block that unpacks to 64 MB of empty frames.
  const std::vector<uint8_t> packed = DeflateAll(std::vector<uint8_t>(64u << 20, 0));
  std::vector<uint8_t> rzx = {'R', 'Z', 'X', '!', 0, 12, 0, 0, 0, 0};
  auto le32 = [&](uint32_t v) {
    for (int k = 0; k < 4; ++k) rzx.push_back(static_cast<uint8_t>(v >> (8 * k)));
  };
  for (int copy = 0; copy < 40; ++copy) {
    rzx.push_back(0x80);
    le32(static_cast<uint32_t>(18 + packed.size()));
    le32(16u << 20);  // frames
    rzx.push_back(0);
    le32(0);  // first frame's T-state
    le32(2);  // compressed
    rzx.insert(rzx.end(), packed.begin(), packed.end());
  }
  dir.Write("bomb.rzx", std::string(rzx.begin(), rzx.end()));
  EXPECT_LT(rzx.size(), 4u << 20);
  out = Run("--rzx bomb.rzx", limit);
  ExpectRefused("bomb.rzx", out);

  // A ZIP of a few kilobytes holding a 60 MB TAP of zeros.
  {
    int error = 0;
    zip_t* zip = zip_open((dir / "bomb.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    static const std::string zeros(60u << 20, '\0');
    zip_source_t* source = zip_source_buffer(zip, zeros.data(), zeros.size(), 0);
    ASSERT_GE(zip_file_add(zip, "zeros.tap", source, 0), 0);
    ASSERT_EQ(zip_close(zip), 0);
  }
  EXPECT_LT(fs::file_size(dir.path / "bomb.zip"), 1u << 20);
  out = Run("--load bomb.zip", limit);
  ExpectRefused("bomb.zip", out);
  EXPECT_NE(out.find("Out of memory"), std::string::npos) << out;
}

// Two jump blocks pointing at each other, and a call sequence calling itself, with Autoload on:
// the deck stops at the loop with a message and the run ends in its usual time.
TEST_F(HostileRun, ATapeThatLoopsWithoutTakingTimeIsStoppedWithAMessage) {
  const std::string header = std::string("ZXTape!\x1A\x01\x14", 10);
  dir.Write("jumps.tzx", header + std::string("\x23\x01\x00\x23\xFF\xFF", 6));
  dir.Write("calls.tzx", header + std::string("\x26\x01\x00\x00\x00", 5));
  for (const std::string name : {"jumps.tzx", "calls.tzx"}) {
    const std::string out = Run("--autoload --tape " + name + " --frames 1500");
    EXPECT_TRUE(WIFEXITED(status)) << name << ": " << status << "\n" << out;
    EXPECT_EQ(WEXITSTATUS(status), 1) << name << ": the message fails the run\n" << out;
    EXPECT_NE(out.find("Tape Error: Failed at"), std::string::npos) << name << "\n" << out;
  }
}

// Every writer: a read-only target is refused and kept; a link is followed, stays a link, and
// the file it names gets the new content.
TEST_F(HostileRun, WritersRefuseProtectedTargetsAndFollowLinks) {
  // The tape is written only when the ROM saves: a program typed in and SAVEd (the ROM asks
  // for a key first).
  const std::string saveFromBasic =
      " --frames 600 --type-frame 100 --type '10 PRINT 1\nSAVE \"x\"' --key 400:SPACE:3";
  const struct {
    const char* name;
    std::string option;
    std::string run = " --frames 2";
  } writers[] = {
      {"out.z80", "--save "},        {"out.rzx", "--record-rzx "},
      {"out.wav", "--wav "},         {"out.scr", "--save-screen "},
      {"out.png", "--save-screen "}, {"shot.png", "--screenshot "},
      {"out.bin", "--save-binary "}, {"out.log", "--pc-log "},
      {"out.mkv", "--movie "},       {"out.tap", "--save-tape ", saveFromBasic},
  };
  fs::create_directory(dir.path / "real");
  for (const auto& w : writers) {
    const std::string target =
        std::string(w.name) + (w.option == "--save-binary " ? "@16384,100" : "");
    const std::string args = w.option + target + w.run;
    // Read-only.
    dir.Write(w.name, "protected");
    fs::permissions(dir.path / w.name, fs::perms::owner_read);
    std::string out = Run(args);
    ExpectRefused(args, out);
    EXPECT_EQ(Text(dir / w.name), "protected") << args;
    EXPECT_EQ(fs::status(dir.path / w.name).permissions(), fs::perms::owner_read) << args;
    fs::remove(dir.path / w.name);
    // A link into another folder.
    dir.Write(std::string("real/") + w.name, "old");
    fs::create_symlink(std::string("real/") + w.name, dir.path / w.name);
    out = Run(args);
    EXPECT_EQ(status, 0) << args << "\n" << out;
    EXPECT_TRUE(fs::is_symlink(dir.path / w.name)) << args;
    EXPECT_NE(Text(dir / (std::string("real/") + w.name)), "old") << args;
    EXPECT_GT(fs::file_size(dir.path / "real" / w.name), 3u) << args;
    fs::remove(dir.path / w.name);
  }
  // Nothing but the files themselves is left in either folder.
  for (const auto& e : fs::recursive_directory_iterator(dir.path))
    EXPECT_EQ(e.path().filename().string().find(".orvo-save-"), std::string::npos) << e.path();
}

TEST_F(HostileRun, NamesOfTwoHundredAndFiftyBytesAreSaved) {
  const std::string name = std::string(246, 'n') + ".z80";
  std::string out = Run("--save " + name + " --frames 2");
  EXPECT_EQ(status, 0) << out;
  EXPECT_GT(fs::file_size(dir.path / name), 1000u);
  const std::string bin = std::string(246, 'b') + ".bin";
  out = Run("--save-binary " + bin + "@0,16384");
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(fs::file_size(dir.path / bin), 16384u);
}

// A disk that fills up (files may not grow past a limit, the signal that would kill the program
// ignored as a full disk does not send it): the PC log and the PNG report it with exit code 1 and
// keep the old files.
TEST_F(HostileRun, AFullDiskFailsTheRunAndKeepsTheOldFiles) {
  ASSERT_TRUE(ToolOnPath("prlimit"));
  const std::string full = "trap '' XFSZ; prlimit --fsize=100";
  for (const std::string& args :
       {std::string("--pc-log out.log --frames 5"), std::string("--screenshot out.png --frames 2"),
        std::string("--save-screen out.png --frames 2")}) {
    const std::string file = args.substr(args.find(' ') + 1, 7);
    dir.Write(file, "the old file");
    const std::string out = Run(args, full);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << args << "\n" << out;
    EXPECT_EQ(Text(dir / file), "the old file") << args;
  }
}

// A save killed half way leaves its temporary file; the next start removes it, and only it.
TEST_F(HostileRun, TemporaryFilesOfAnInterruptedSaveAreRemovedAtTheNextStart) {
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = ".orvo-save-" + std::to_string(gone) + "-Ab12Cd";
  dir.Write(stale, "half a snapshot");
  dir.Write(".orvo-saved-notes", "the user's");
  Run("--frames 1");
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(fs::exists(dir.path / stale));
  EXPECT_TRUE(fs::exists(dir.path / ".orvo-saved-notes"));
}

}  // namespace
}  // namespace orvo::test
