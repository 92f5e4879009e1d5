#include "shell/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace orvo {
namespace {

std::string Text(int id) {
  return MessageText(static_cast<MessageId>(id));
}

TEST(Messages, DeviceTextsNameTheLinuxLayerUnderTheirOldNumbers) {
  for (int id = 0; id < kMessageCount; ++id)
    EXPECT_EQ(Text(id).find("Direct"), std::string::npos) << id << ": " << Text(id);
  struct Range {
    int first, last;
    const char* prefix;
  };
  for (const Range& r : {Range{60, 74, "OpenGL: "}, Range{80, 84, "OpenGL: "},
                         Range{90, 98, "Joystick: "}, Range{100, 107, "Sound: "}})
    for (int id = r.first; id <= r.last; ++id) EXPECT_EQ(Text(id).rfind(r.prefix, 0), 0u) << id;
  EXPECT_EQ(Text(100), "Sound: Failed to initialise sound");
  // Unused numbers stay empty; numbers beyond the table too.
  for (int id : {0, 9, 53, 75, 99, 108, 128, 146, 200}) EXPECT_EQ(Text(id), "") << id;
}

TEST(Messages, TwentyDistinctShortQuotationsForHelp) {
  std::set<std::string> seen;
  for (int id = kMsgFirstQuotation; id < kMsgFirstQuotation + kQuotationCount; ++id) {
    const std::string text = Text(id);
    ASSERT_FALSE(text.empty()) << id;
    EXPECT_LE(std::count(text.begin(), text.end(), '\n'), 1) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kQuotationCount));
  EXPECT_EQ(kMsgFirstQuotation + kQuotationCount, kMessageCount);
}

TEST(Messages, CaptionsAndFormatting) {
  EXPECT_STREQ(CaptionText(CaptionId::Error), "Orvo Error");
  EXPECT_STREQ(CaptionText(CaptionId::Rzx), "Orvo RZX");
  EXPECT_STREQ(CaptionText(static_cast<CaptionId>(10)), "");
  EXPECT_EQ(FormatMessage(3), "03 - ROM file incorrect length");
  EXPECT_EQ(FormatMessage(145), "91 - No RZX File loaded");
  EXPECT_EQ(FormatMessage(22, "ignored.rom"), "16 - Tape Error: unknown extension");
  // "ROM missing" names the file and extension, whatever folder it was looked for in.
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "/opt/orvo/roms/plus3.rom"),
            "02 - ROM missing\n\nplus3.rom");
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "48k.rom"), "02 - ROM missing\n\n48k.rom");
}

}  // namespace
}  // namespace orvo
