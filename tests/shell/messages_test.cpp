#include "shell/messages.h"

#include <gtest/gtest.h>

#include <string>

namespace orvo {
namespace {

TEST(Messages, NumbersAreShownInHexAndRomMissingNamesTheFile) {
  EXPECT_STREQ(CaptionText(static_cast<CaptionId>(10)), "");
  EXPECT_EQ(FormatMessage(kMsgRomLength), "03 - ROM file incorrect length");
  EXPECT_EQ(FormatMessage(static_cast<MessageId>(145)), "91 - No RZX File loaded");
  EXPECT_EQ(FormatMessage(kMsgUnknownExtension, "ignored.rom"),
            "16 - Tape Error: unknown extension");
  // Unused numbers and numbers beyond the table are empty.
  for (int id : {0, 9, 209}) EXPECT_STREQ(MessageText(static_cast<MessageId>(id)), "") << id;
  // "ROM missing" names the file and extension, whatever folder it was looked for in.
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "/opt/orvo/roms/plus3.rom"),
            "02 - ROM missing\n\nplus3.rom");
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "48k.rom"), "02 - ROM missing\n\n48k.rom");
  // The lines after the path are the folders searched.
  EXPECT_EQ(FormatMessage(kMsgRomMissing, "/a/roms/48k.rom\n/a/roms/\n/usr/share/orvo/roms/"),
            "02 - ROM missing\n\n48k.rom\n\nLooked in:\n/a/roms/\n/usr/share/orvo/roms/");
}

}  // namespace
}  // namespace orvo
