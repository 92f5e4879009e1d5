// Typed-in text reaching the ROM on every model and with the µSpeech fitted, through orvo-run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_orvo.h"

namespace orvo::test {
namespace {

// Three direct commands in a row leave 3 on the screen only if every one of them ran. The 128K
// family's editor waits for a key under each command's report as well as in the line.
TEST(TypingRun, SeveralDirectCommandsRunOnEveryModel) {
  ORVO_REQUIRE_RUNNER("plus3.rom");
  const TempDir dir;
  const std::string lower = dir.Write("lower.txt", "let a=1\nlet a=a+1\nlet a=a+1\nprint a\n");
  const std::string upper = dir.Write("upper.txt", "LET a=1\nLET a=a+1\nPRINT a\n");
  int status = -1;
  const std::string editor = "--key 200:CS+6:3 --key 230:ENTER:3 --type-frame 330 --frames 900";
  for (const std::string model : {"128", "plus2", "plus2a", "plus3"}) {
    const std::string out = RunOrvo(
        "--model " + model + " " + editor + " --type-file " + lower + " --screen-text", &status);
    EXPECT_NE(out.find("\n3 "), std::string::npos) << model << out;
  }
  // The 48K machines take keywords as tokens, and so does the 128K family's 48 BASIC.
  for (const std::string model : {"16", "48"}) {
    const std::string out = RunOrvo(
        "--model " + model + " --frames 300 --type-file " + upper + " --screen-text", &status);
    EXPECT_NE(out.find("\n2 "), std::string::npos) << model << out;
  }
  for (const std::string model : {"128", "plus3"}) {
    const std::string out = RunOrvo(
        "--model " + model +
            " --key 200:CS+6:3 --key 210:CS+6:3 --key 220:CS+6:3 --key 240:ENTER:3 --type-frame "
            "330 --frames 900 --screen-text --type-file " +
            upper,
        &status);
    EXPECT_NE(out.find("\n2 "), std::string::npos) << model << " 48 BASIC" << out;
  }
  // The command of the report: 1, 2 and 3 each printed (the editor clears the screen between
  // them, so the last one is what stays).
  const std::string out = RunOrvo(
      "--model 128 --key 100:CS+6:3 --key 130:ENTER:3 --type-frame 200 --frames 600 --type-file " +
          dir.Write("123.txt", "print 1\nprint 2\nprint 3\n") + " --screen-text",
      &status);
  EXPECT_NE(out.find("print 3"), std::string::npos) << out;
}

// The µSpeech sets itself up on the machine's second interrupt after start-up and clears the line
// being edited; text typed from the first frame must still come in whole.
TEST(TypingRun, TextTypedFromTheStartSurvivesTheUSpeechStart) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  ORVO_REQUIRE_FILE(RomDir() / "extras" / "currah.rom");
  const TempDir roms;
  std::filesystem::create_symlink(RomDir() / "48k.rom", roms.path / "48k.rom");
  std::filesystem::create_symlink(RomDir() / "extras" / "currah.rom", roms.path / "currah.rom");
  int status = -1;
  const std::string out = RunOrvo("--speech currah --frames 300 --screen-text --type-file " +
                                      roms.Write("t.txt", "10 PRINT \"HELLO\"\n20 GO TO 10\n"),
                                  &status, roms.path);
  EXPECT_NE(out.find("10 PRINT \"HELLO\""), std::string::npos) << out;
  EXPECT_NE(out.find("20>GO TO 10"), std::string::npos) << out;
}

// Typing goes to the ROM's key variables, which a recording does not hold: it is refused while
// recording, with a message, and the recording replays.
TEST(TypingRun, TypingIsRefusedWhileAnRzxRecords) {
  ORVO_REQUIRE_RUNNER("48k.rom");
  const TempDir dir;
  int status = -1;
  const std::string rzx = dir / "t.rzx";
  std::string out =
      RunOrvo("--type-frame 100 --type 'PRINT 1' --frames 200 --record-rzx " + rzx, &status);
  EXPECT_NE(out.find("Cannot type text in while an RZX recording is being made"), std::string::npos)
      << out;
  out = RunOrvo("--rzx " + rzx, &status);
  EXPECT_NE(out.find("200 of 200 frames played, mismatch: none"), std::string::npos) << out;
}

}  // namespace
}  // namespace orvo::test
