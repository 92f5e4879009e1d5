// Recognising a file's kind by the end of its name.
#include <gtest/gtest.h>

#include "snapshot/extension_table.h"
#include "snapshot/snapshot_save.h"

namespace orvo {
namespace {

TEST(ExtensionTable, EveryExtensionLowerThenUpperInKindOrder) {
  int rows = 0;
  for (const ExtensionRow* row = ExtensionTable; row->kind != FileKind::End; row += 2, rows += 2) {
    ASSERT_EQ(row[0].kind, row[1].kind);
    EXPECT_EQ(static_cast<int>(row->kind), rows / 2 + 1);
    const std::string lower = row[0].extension, upper = row[1].extension;
    EXPECT_EQ(lower.size(), row[0].length);
    EXPECT_EQ(upper.size(), row[1].length);
    for (size_t i = 0; i < lower.size(); ++i) EXPECT_EQ(std::toupper(lower[i]), upper[i]);
  }
  EXPECT_EQ(rows, 34);
}

TEST(MatchExtension, OnlyAllLowerOrAllUpperCaseMatches) {
  EXPECT_EQ(MatchExtension("game.sna"), FileKind::Sna);
  EXPECT_EQ(MatchExtension("GAME.SNA"), FileKind::Sna);
  EXPECT_EQ(MatchExtension("Game.Sna"), FileKind::None);
  EXPECT_EQ(MatchExtension("game.sNA"), FileKind::None);
  EXPECT_EQ(MatchExtension("/home/u/Games/Jet Set Willy.Z80"), FileKind::Z80);
  EXPECT_EQ(MatchExtension("tape.TZX"), FileKind::Tzx);
  EXPECT_EQ(MatchExtension("tape.tap"), FileKind::Tap);
  EXPECT_EQ(MatchExtension("disk.dsk"), FileKind::Dsk);
  EXPECT_EQ(MatchExtension("cheats.POK"), FileKind::Pok);
  EXPECT_EQ(MatchExtension("run.rzx"), FileKind::Rzx);
  EXPECT_EQ(MatchExtension("bundle.zip"), FileKind::Zip);
  EXPECT_EQ(MatchExtension("sound.csw"), FileKind::Csw);
}

TEST(MatchExtension, OnlyTheLastCharactersCountWithoutADot) {
  EXPECT_EQ(MatchExtension("x.wsp"), FileKind::Sp);  // "sp" ends "wsp"
  EXPECT_EQ(MatchExtension("gamesna"), FileKind::Sna);
  EXPECT_EQ(MatchExtension("sna"), FileKind::Sna);  // exactly the extension
  EXPECT_EQ(MatchExtension("p"), FileKind::None);   // shorter than any extension
  EXPECT_EQ(MatchExtension(""), FileKind::None);
  EXPECT_EQ(MatchExtension("game.sna.bak"), FileKind::None);
  EXPECT_EQ(MatchExtension("game.z80 "), FileKind::None);
}

TEST(SaverKind, ComparesTheWholeExtensionAfterTheLastDot) {
  EXPECT_EQ(SaverKindForPath("/tmp/a.sna"), FileKind::Sna);
  EXPECT_EQ(SaverKindForPath("/tmp/a.Z80"), FileKind::Z80);
  EXPECT_EQ(SaverKindForPath("/tmp/a.sp"), FileKind::Sp);
  EXPECT_EQ(SaverKindForPath("/tmp/a.sit"), FileKind::Sit);
  EXPECT_EQ(SaverKindForPath("/tmp/a.Sna"), FileKind::None);
  EXPECT_EQ(SaverKindForPath("/tmp/a.wsp"), FileKind::None);
  EXPECT_EQ(SaverKindForPath("/tmp/a.zxs"), FileKind::None);  // ZXS is read only
  EXPECT_EQ(SaverKindForPath("/tmp/a.tap"), FileKind::None);
  EXPECT_EQ(SaverKindForPath("/tmp/dir.sna/game"), FileKind::None);
  EXPECT_EQ(SaverKindForPath("game"), FileKind::None);
}

TEST(SaveFilters, DialogFiltersGiveTheirExtensions) {
  EXPECT_EQ(SaveFilterExtension(1), "");  // "All supported snapshots"
  EXPECT_EQ(SaveFilterExtension(2), ".sna");
  EXPECT_EQ(SaveFilterExtension(3), ".z80");
  EXPECT_EQ(SaveFilterExtension(6), ".sp");
  EXPECT_EQ(SaveFilterExtension(9), ".sit");
  EXPECT_EQ(SaveFilterExtension(10), "");  // ZXS
  EXPECT_EQ(SaveFilterExtension(11), "");  // "All files"
  EXPECT_EQ(SaveFilterExtension(0), "");
  EXPECT_EQ(SaveFilterExtension(12), "");
}

}  // namespace
}  // namespace orvo
