#pragma once
// The rewind history: every half second (while "Rewind" is on) the registers and the 48 KB mapped
// at 0x4000-0xFFFF are kept, up to twenty records; F6 goes back one record at a time.
#include <array>
#include <cstdint>

namespace orvo {

class Emulator;
struct MachineState;

struct RewindRecord {
  uint16_t PC = 0, SP = 0;
  uint8_t IFF1 = 0, IFF2 = 0, IM = 0, I = 0, R = 0, R7 = 0;
  uint8_t InterruptArmed = 0;
  uint16_t AF = 0, BC = 0, DE = 0, HL = 0, IX = 0, IY = 0;
  uint16_t AF_ = 0, BC_ = 0, DE_ = 0, HL_ = 0;
  std::array<uint8_t, 0xC000> memory{};  // six 8 KB pages, 0x4000 upwards, as mapped
  bool stored = false;                   // holds a state
};

constexpr int kRewindRecords = 20;

struct RewindHistory {
  std::array<RewindRecord, kRewindRecords> records;
  uint8_t RewindCount = 0;  // 0..19: the newest record
};

// Forgets every record (the options sheet's OK with "Rewind" on).
void ClearRewindHistory(RewindHistory& history);

// One tick of the half-second timer: the state goes into the next record; once all are in use
// the oldest is dropped.
void StoreRewindRecord(const MachineState& m, RewindHistory& history);

// F6: with "Rewind" on, goes back one record (the first press to the one before the newest),
// restores it into the registers and the six mapped pages and waits "Rewind Delay" ms. Does
// nothing when there is no older record holding a state. Returns true when a state was restored.
bool RewindOneStep(Emulator& emu, RewindHistory& history);

}  // namespace orvo
