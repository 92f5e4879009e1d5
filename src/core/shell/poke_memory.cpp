#include "shell/poke_memory.h"

#include "machine/machine_state.h"
#include "tools/parse_number.h"

namespace orvo {

namespace {

uint8_t* BankByte(MachineState& m, uint8_t bank, uint16_t address) {
  if (bank < kPokNoBank && address >= 0xC000 && Is128KFamily(m.MachineModel))
    return m.RamBlock.data() + bank * 16384 + (address - 0xC000);
  return nullptr;
}

}  // namespace

uint8_t PeekForPoke(const MachineState& m, uint8_t bank, uint16_t address) {
  if (bank < kPokNoBank && address >= 0xC000 && Is128KFamily(m.MachineModel))
    return m.RamBlock[bank * 16384 + (address - 0xC000)];
  return m.Peek(address);
}

void PokeByte(MachineState& m, uint8_t bank, uint16_t address, uint8_t value) {
  if (uint8_t* byte = BankByte(m, bank, address)) {
    *byte = value;
    return;
  }
  m.WritePages[address >> 13][address & 0x1FFF] = value;
}

MessageId PokeList::Add(std::string_view address, std::string_view value, std::string_view bank) {
  const uint32_t a = ParseNumber(address);
  if (a > 0xFFFF) return kMsgPokeAddress;
  const uint32_t v = ParseNumber(value);
  if (v > 0xFF) return kMsgPokeValue;
  uint32_t b = kPokNoBank;
  if (!bank.empty()) {
    b = ParseNumber(bank);
    if (b > 7) return kMsgPokeBank;
  }
  entries_.push_back(
      {"", static_cast<uint8_t>(b), static_cast<uint16_t>(a), static_cast<uint8_t>(v)});
  return kMsgNone;
}

void PokeList::AddTrainer(const PokTrainer& trainer, uint8_t asked) {
  for (const PokEntry& p : trainer.pokes)
    entries_.push_back({trainer.name, p.bank, p.address,
                        p.value == kPokAskValue ? asked : static_cast<uint8_t>(p.value)});
}

bool TrainerAsks(const PokTrainer& trainer) {
  for (const PokEntry& p : trainer.pokes)
    if (p.value == kPokAskValue) return true;
  return false;
}

void PokeList::Apply(MachineState& m, size_t index) {
  if (index >= entries_.size() || entries_[index].applied) return;
  PokeEntry& e = entries_[index];
  e.saved = PeekForPoke(m, e.bank, e.address);
  PokeByte(m, e.bank, e.address, e.value);
  e.applied = true;
}

void PokeList::Undo(MachineState& m, size_t index) {
  if (index >= entries_.size() || !entries_[index].applied) return;
  PokeEntry& e = entries_[index];
  PokeByte(m, e.bank, e.address, e.saved);
  e.applied = false;
}

void PokeList::ApplyAll(MachineState& m) {
  for (size_t i = 0; i < entries_.size(); ++i) Apply(m, i);
}

void PokeList::UndoAll(MachineState& m) {
  for (size_t i = entries_.size(); i-- > 0;) Undo(m, i);
}

void PokeList::Remove(MachineState& m, size_t index) {
  if (index >= entries_.size()) return;
  Undo(m, index);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace orvo
