#pragma once
// POKE Memory: a list of pokes the user builds by hand or opens from a .POK trainer file, each
// applied and undone on its own. Undoing puts back the byte that was there when it was applied.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/pok_format.h"
#include "shell/messages.h"

namespace orvo {

struct MachineState;

struct PokeEntry {
  std::string trainer;  // the trainer it came from; empty for a poke typed in
  uint8_t bank;         // 0..7 on the 128K family, or kPokNoBank for the paged memory
  uint16_t address;
  uint8_t value;
  uint8_t saved = 0;  // the byte before the poke, kept while it is applied
  bool applied = false;
};

// A byte of memory as a poke sees it: the named bank from 0xC000 on the 128K family, otherwise
// the memory paged in now. Writes go where the Z80's would, so a poke into ROM changes nothing.
uint8_t PeekForPoke(const MachineState& m, uint8_t bank, uint16_t address);
void PokeByte(MachineState& m, uint8_t bank, uint16_t address, uint8_t value);

class PokeList {
 public:
  // Adds a poke typed in (through ParseNumber): 135 for a bad address, 136 for a bad value,
  // 142 for a bad bank. An empty bank means the paged memory.
  MessageId Add(std::string_view address, std::string_view value, std::string_view bank = {});
  // Adds a trainer's pokes; its "ask" values take `asked`.
  void AddTrainer(const PokTrainer& trainer, uint8_t asked);
  void Apply(MachineState& m, size_t index);
  void Undo(MachineState& m, size_t index);
  void ApplyAll(MachineState& m);
  void UndoAll(MachineState& m);  // in reverse order, so overlapping pokes unwind exactly
  void Remove(MachineState& m, size_t index);  // undone first when applied
  const std::vector<PokeEntry>& entries() const { return entries_; }

 private:
  std::vector<PokeEntry> entries_;
};

// Whether a trainer needs a value from the user.
bool TrainerAsks(const PokTrainer& trainer);

}  // namespace orvo
