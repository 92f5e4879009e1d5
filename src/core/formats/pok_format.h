#pragma once
// .POK trainer files, as the game archives ship them: plain text of named trainers, each a run
// of pokes, ending with a line "Y".
//
//   NInfinite lives            a trainer's name follows the N
//   M 8 35136 0 53             a poke with more to follow: bank, address, value, original value
//   Z 8 35137 256 0            the trainer's last poke; a value of 256 asks the user for it
//   Y                          the end of the file
//
// A bank of 8 or more (bit 3 set) means "whatever is paged"; 0..7 names the 128K bank the poke
// belongs in, which matters for addresses from 0xC000.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvo {

constexpr uint16_t kPokAskValue = 256;
constexpr uint8_t kPokNoBank = 8;

struct PokEntry {
  uint8_t bank;  // 0..7, or kPokNoBank
  uint16_t address;
  uint16_t value;    // 0..255, or kPokAskValue
  uint8_t original;  // the byte the game had there, for undoing
};

struct PokTrainer {
  std::string name;
  std::vector<PokEntry> pokes;
};

struct PokParseResult {
  std::vector<PokTrainer> trainers;
  uint32_t errorLine = 0;  // 0: the file was read whole; otherwise the first bad line (from 1)
  bool Ok() const { return errorLine == 0; }
};

// Reads the whole file or nothing: on an error `trainers` is empty and `errorLine` names the
// line. Fields are decimal and separated by blanks; a line may end in CR LF.
PokParseResult ParsePok(std::span<const uint8_t> data);

}  // namespace orvo
