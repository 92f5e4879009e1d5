// POKE Memory: pokes typed in and .POK trainers, applied and undone on a real machine.
#include "shell/poke_memory.h"

#include <gtest/gtest.h>

#include <string>

#include "machine/machine_fixture.h"
#include "machine/memory.h"

namespace orvo {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

const std::string kTwoTrainers =
    "NInfinite lives\r\n"
    "M  8 40000  0 3\r\n"
    "Z  8 40001  0 3\r\n"
    "NStart level\n"
    "Z 8 40002 256 1\n"
    "Y\n";

TEST(PokFile, TwoTrainersOneAskingApplyAndUndo) {
  const PokParseResult pok = ParsePok(Bytes(kTwoTrainers));
  ASSERT_TRUE(pok.Ok()) << pok.errorLine;
  ASSERT_EQ(pok.trainers.size(), 2u);
  EXPECT_EQ(pok.trainers[0].name, "Infinite lives");
  EXPECT_TRUE(TrainerAsks(pok.trainers[1]));

  test::TestMachine t(kModel48K);
  for (uint16_t a = 40000; a <= 40002; ++a) PokeByte(t.m, kPokNoBank, a, 0x11);
  PokeList list;
  list.AddTrainer(pok.trainers[0], 0);
  list.AddTrainer(pok.trainers[1], 7);  // the user answered 7
  list.ApplyAll(t.m);
  EXPECT_EQ(t.m.Peek(40000), 0);
  EXPECT_EQ(t.m.Peek(40001), 0);
  EXPECT_EQ(t.m.Peek(40002), 7);
  list.UndoAll(t.m);
  for (uint16_t a = 40000; a <= 40002; ++a) EXPECT_EQ(t.m.Peek(a), 0x11) << a;
}

TEST(PokFile, MalformedFilesNameTheirLine) {
  struct Case {
    const char* text;
    uint32_t line;
  };
  const Case cases[] = {
      {"NA\nM 8 40000 0 0\nZ 8 40001 0\nY\n", 3},    // a field missing
      {"NA\nZ 8 40000 257 0\nY\n", 2},               // value past the "ask" mark
      {"Z 8 40000 1 0\nY\n", 1},                     // a poke outside any trainer
      {"NA\nM 8 40000 1 0\nNB\nZ 8 1 1 1\nY\n", 3},  // a trainer opened inside another
      {"NA\nM 8 40000 1 0\n", 2},                    // the file ends inside a trainer
      {"NA\nZ 8 40000 1 0\nQ\n", 3},                 // an unknown line
      {"Y\n", 1},                                    // no trainer at all
  };
  for (const Case& c : cases) {
    const PokParseResult pok = ParsePok(Bytes(c.text));
    EXPECT_EQ(pok.errorLine, c.line) << c.text;
    EXPECT_TRUE(pok.trainers.empty());
  }
}

TEST(PokeMemory, TypedPokesCheckTheirEntriesAndReachTheNamedBank) {
  test::TestMachine t(kModel128K);
  PokeList list;
  EXPECT_EQ(list.Add("65536", "1"), kMsgPokeAddress);
  EXPECT_EQ(list.Add("#C000", "256"), kMsgPokeValue);
  EXPECT_EQ(list.Add("#C000", "1", "8"), kMsgPokeBank);
  ASSERT_EQ(list.Add("#C000", "42", "3"), kMsgNone);  // bank 3, not the paged bank 0
  ASSERT_EQ(list.Add("100", "42"), kMsgNone);         // ROM: a poke there changes nothing
  ASSERT_EQ(list.entries().size(), 2u);
  const uint8_t rom = t.m.Peek(100);
  list.ApplyAll(t.m);
  EXPECT_EQ(t.Bank(3)[0], 42);
  EXPECT_EQ(t.Bank(0)[0], 0);
  EXPECT_EQ(t.m.Peek(100), rom);
  list.Remove(t.m, 0);  // removing an applied poke undoes it
  EXPECT_EQ(t.Bank(3)[0], 0);
  EXPECT_EQ(list.entries().size(), 1u);
}

}  // namespace
}  // namespace orvo
