// MDR cartridges: the sectors laid out on the tape image and back, short files, refused files.
#include "formats/mdr_format.h"

#include <gtest/gtest.h>

namespace orvo {
namespace {

TEST(MdrFormat, RefusesFilesThatAreNotWholeSectors) {
  std::vector<uint8_t> image{1, 2, 3};
  for (size_t size : {size_t{0}, size_t{1}, size_t{542}, size_t{600}, kMdrFileSize + 1,
                      kMdrFileSize + kMdrSectorBytes}) {
    const std::vector<uint8_t> file(size, 0);
    const FormatStatus s = ParseMdr(file, image);
    EXPECT_EQ(s.error, FormatError::CartridgeLength) << size;
  }
  EXPECT_EQ(image.size(), 3u) << "a refused file leaves the image alone";
}

TEST(MdrFormat, ShortFileFillsItsSectorsAndSavesAtFullSize) {
  // Two sectors marked by their number, with and without the protect byte after them.
  std::vector<uint8_t> file(2 * kMdrSectorBytes);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(1 + i / kMdrSectorBytes);
  std::vector<uint8_t> image;
  ASSERT_TRUE(ParseMdr(file, image).Ok());
  ASSERT_EQ(image.size(), kCartridgeImageSize);
  EXPECT_EQ(image[kSlotHeaderOffset - 1], 0);  // preamble
  EXPECT_EQ(image[kSlotHeaderOffset], 1);
  EXPECT_EQ(image[kSlotHeaderOffset + kMdrHeaderBytes], 0);  // gap
  EXPECT_EQ(image[kSlotDataOffset + kMdrDataBytes - 1], 1);
  EXPECT_EQ(image[kSlotBytes + kSlotDataOffset], 2);
  EXPECT_EQ(image[2 * kSlotBytes + kSlotHeaderOffset], 0);  // a missing sector is blank
  EXPECT_EQ(image.back(), 0) << "no protect byte: writable";
  file.push_back(1);
  ASSERT_TRUE(ParseMdr(file, image).Ok());
  EXPECT_EQ(image.back(), 1);

  const std::vector<uint8_t> out = WriteMdr(image);
  ASSERT_EQ(out.size(), kMdrFileSize);
  EXPECT_TRUE(std::equal(file.begin(), file.end() - 1, out.begin()));
  EXPECT_EQ(out[file.size() - 1], 0);
  EXPECT_EQ(out.back(), 1);
}

}  // namespace
}  // namespace orvo
