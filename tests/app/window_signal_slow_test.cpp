// The window ended by a signal (a shutdown, a logout, a closed terminal) keeps what Quit keeps: a
// +3 program's SAVE reaches the disk image and the settings are written, without the question.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "run_orvo.h"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

// A +3 directory entry for `name` (user 0, the name padded to 8 + 3 characters).
bool DiskHoldsFile(const fs::path& disk, const std::string& name) {
  const std::vector<uint8_t> bytes = ReadWholeFile(disk);
  std::string entry(1, '\0');
  entry += name + std::string(11 - name.size(), ' ');
  return std::string(bytes.begin(), bytes.end()).find(entry) != std::string::npos;
}

// Starts `program` with `args` in an environment of its own; returns its process id.
pid_t Start(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::string>& env) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  ::execve(program.c_str(), argv.data(), envp.data());
  ::_exit(127);
}

// Waits up to `seconds` for `pid` to end; its wait status, or -1 (and it is killed) when it did
// not.
int WaitFor(pid_t pid, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

TEST(WindowSignals, SigtermAfterAPlus3SaveWritesTheDiskAndTheSettings) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  ORVO_REQUIRE_FILE(BuildDir() / "orvo");
  const TempDir dir;
  int status = -1;
  // A disk whose boot program saves itself as "a": the +3's Loader runs it.
  const std::string disk = dir / "work.dsk";
  const std::string basic = "--model plus3 --disk-a " + disk +
                            " --key 150:CS+6:10 --key 200:ENTER:5 --type-frame 260 --frames 1500 ";
  std::string out = RunOrvo("--new-disk " + disk + " " + basic + "--type 'FORMAT \"a:\"'", &status);
  ASSERT_EQ(status, 0) << out;
  out = RunOrvo(basic + "--type '10 SAVE \"a\"\\nSAVE \"disk\" LINE 10'", &status);
  ASSERT_EQ(status, 0) << out;
  ASSERT_TRUE(DiskHoldsFile(disk, "DISK"));
  ASSERT_FALSE(DiskHoldsFile(disk, "A"));

  // The window's settings: the +3, its disks started by themselves, the quit question on (a
  // signal does not ask it).
  const std::vector<uint8_t> defaults = ReadWholeFile(DataDir() / "orvo_default.ini");
  std::string ini(defaults.begin(), defaults.end());
  for (size_t at; (at = ini.find('@')) != std::string::npos;) ini.replace(at, 1, dir / "data");
  ini.replace(ini.find("Model Type=1"), 12, "Model Type=5");
  ini.replace(ini.find("Disk autoload=0"), 15, "Disk autoload=1");
  fs::create_directories(dir.path / "config/Orvo");
  const fs::path config = dir.path / "config/Orvo/orvo.ini";
  dir.Write("config/Orvo/orvo.ini", ini);
  const auto written = fs::last_write_time(config);

  const pid_t window =
      Start((BuildDir() / "orvo").string(), {disk},
            {"HOME=" + dir.path.string(), "XDG_CONFIG_HOME=" + (dir / "config"),
             "XDG_DATA_HOME=" + (dir / "data"), "XDG_STATE_HOME=" + (dir / "state"),
             "QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy"});
  ASSERT_GT(window, 0);
  // Booting, loading the program and its SAVE take a few seconds of the machine's time.
  std::this_thread::sleep_for(std::chrono::seconds(20));
  ASSERT_EQ(::kill(window, SIGTERM), 0);
  status = WaitFor(window, 30);
  ASSERT_NE(status, -1) << "the window did not end after SIGTERM";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(DiskHoldsFile(disk, "A")) << "the SAVE did not reach the disk image";
  EXPECT_TRUE(DiskHoldsFile(disk, "DISK"));
  EXPECT_GT(fs::last_write_time(config), written) << "the settings were not saved";
}

}  // namespace
}  // namespace orvo::test
