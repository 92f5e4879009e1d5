#include "shell/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace orvo {
namespace {

TEST(Messages, TextsKeepTheirNumbers) {
  EXPECT_STREQ(MessageText(1), "Cannot begin EXECUTE_Z80");
  EXPECT_STREQ(MessageText(2), "ROM missing");
  EXPECT_STREQ(MessageText(3), "ROM file incorrect length");
  EXPECT_STREQ(MessageText(22), "Tape Error: unknown extension");
  EXPECT_STREQ(MessageText(49), "Tape Error: Failed at ORVO_CONCAT_BLOCK");
  EXPECT_STREQ(MessageText(52), "Tape Error: Edge Error");
  EXPECT_STREQ(MessageText(126), "Debug: No Microdrive cartridge inserted");
  EXPECT_STREQ(MessageText(145), "No RZX File loaded");
  EXPECT_STREQ(MessageText(159), "Snapshot Error:  ZXS LIST Block Length Incorrect");
}

TEST(Messages, UnusedEntriesAreEmpty) {
  for (int id : {0, 9, 53, 59, 75, 79, 85, 89, 99, 108, 109, 128, 129, 131, 137, 142, 146, 149})
    EXPECT_STREQ(MessageText(static_cast<MessageId>(id)), "") << id;
  EXPECT_STREQ(MessageText(200), "");  // out of the table altogether
}

TEST(Messages, WindowsDevicesAreNamedByTheirLinuxLayer) {
  EXPECT_STREQ(MessageText(100), "Sound: Failed to initialise sound");
  for (int id = 0; id < kMessageCount; ++id) {
    const std::string text = MessageText(static_cast<MessageId>(id));
    EXPECT_EQ(text.find("Direct"), std::string::npos) << id << ": " << text;
  }
  for (int id = 60; id <= 84; ++id) {
    const std::string text = MessageText(static_cast<MessageId>(id));
    if (!text.empty()) {
      EXPECT_EQ(text.rfind("OpenGL: ", 0), 0u) << id;
    }
  }
  for (int id = 90; id <= 98; ++id)
    EXPECT_EQ(std::string(MessageText(static_cast<MessageId>(id))).rfind("Joystick: ", 0), 0u);
  for (int id = 100; id <= 107; ++id)
    EXPECT_EQ(std::string(MessageText(static_cast<MessageId>(id))).rfind("Sound: ", 0), 0u);
}

TEST(Messages, TwentyDistinctShortQuotations) {
  std::set<std::string> seen;
  for (int n = 0; n < kQuotationCount; ++n) {
    const std::string text = MessageText(static_cast<MessageId>(kMsgFirstQuotation + n));
    ASSERT_FALSE(text.empty()) << n;
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    EXPECT_LE(lines, 2u) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kQuotationCount));
  EXPECT_EQ(kMsgFirstQuotation + kQuotationCount, kMessageCount);
}

TEST(Messages, Captions) {
  EXPECT_STREQ(CaptionText(CaptionId::Error), "Orvo Error");
  EXPECT_STREQ(CaptionText(CaptionId::Display), "Orvo_Display");
  EXPECT_STREQ(CaptionText(CaptionId::PokeFind), "Orvo POKE Find");
  EXPECT_STREQ(CaptionText(CaptionId::Rzx), "Orvo RZX");
  EXPECT_STREQ(CaptionText(static_cast<CaptionId>(10)), "");
}

TEST(Messages, FormatPrefixesTheNumberInHex) {
  EXPECT_EQ(FormatMessage(3), "03 - ROM file incorrect length");
  EXPECT_EQ(FormatMessage(145), "91 - No RZX File loaded");
  EXPECT_EQ(FormatMessage(22, "ignored.rom"), "16 - Tape Error: unknown extension");
}

TEST(Messages, RomMissingNamesTheFileWithoutItsFolder) {
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "/opt/orvo/roms/plus3.rom"),
            "02 - ROM missing\n\nplus3.rom");
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "48k.rom"), "02 - ROM missing\n\n48k.rom");
}

}  // namespace
}  // namespace orvo
