// The tape's ways of loading faster than the tape runs: the ROM loader's entry and trap, fetch
// traps in LD-BYTES while a tape is in the deck, and fast loading (the machine runs unthrottled
// while the tape plays).
#include "cpu/z80.h"
#include "formats/tape_image.h"
#include "sound/sound_output.h"
#include "tape/tape_player.h"
#include "tape/tape_player_internal.h"
#include "video/ula.h"

namespace orvo {

namespace tape_detail {

// Fast loading: run unthrottled, draw one frame in 11, and let the sound rest.
void BeginFastLoad(MachineState& m) {
  TapeState& t = m.tape;
  t.FastLoading = true;
  t.SavedFullSpeed = m.FullSpeed;
  t.SavedFrameskip = m.settings.Frameskip;
  m.FullSpeed = 1;
  m.settings.Frameskip = 11;
  PauseSound(m, 1);
}

void EndFastLoad(MachineState& m) {
  TapeState& t = m.tape;
  t.FastLoading = false;
  m.FullSpeed = t.SavedFullSpeed;
  m.settings.Frameskip = t.SavedFrameskip;
  PauseSound(m, 0);
}

}  // namespace tape_detail

using tape_detail::StartPlaying;

namespace {

// Blocks the trap stops at when it looks for the next block to load; the others (texts, groups,
// loop starts, calls, selections) are passed over.
// Pauses and stop marks carry nothing to load: the trap passes over them to the next block.
bool TrapStopsAt(uint8_t id) {
  return (id >= kBlockStandard && id <= kBlockDirect) || id == kBlockGeneralized ||
         id == kBlockJump || id == kBlockLoopEnd;
}

// A store through the write map (protected ROM and missing memory take nothing), without timing,
// as the ROM's own stores would land.
void TrapStore(MachineState& m, uint16_t address, uint8_t value) {
  m.WritePages[address >> 13][address & 0x1FFF] = value;
}

// The end of LD-BYTES: PC at its final RET, carry set for success.
void FinishLoad(MachineState& m, bool ok) {
  CpuState& c = m.cpu;
  c.PC = 0x05E2;
  if (ok) {
    c.AF.b.l |= 0x01;
  } else {
    c.AF.b.l &= static_cast<uint8_t>(~0x01);
  }
}

}  // namespace

bool TapeTrap(MachineState& m) {
  TapeState& t = m.tape;
  if (!m.settings.TapeTraps || m.TapePlaying || !t.image) return false;
  TapeBlock* b = t.image->current;
  while (b && !TrapStopsAt(b->id)) b = b->next;
  if (!b) return false;

  // A block that the player has started on is not fresh.
  const bool partPlayed =
      b == t.image->current && (t.State != b->state || t.PulseCount != 0 || t.Position != 0);
  if (b->id != kBlockStandard || partPlayed) {
    // Turbo, direct-recording and flow-control blocks, and a block already under way, are
    // played: the loader reads them as pulses, as it would without the trap.
    if (b != t.image->current) EnterTapeBlock(m, b);
    StartPlaying(m);
    return false;
  }

  CpuState& c = m.cpu;
  const uint8_t expectedFlag = c.AF_.b.h;     // LD-BYTES keeps the flag byte in A'
  const bool load = (c.AF_.b.l & 0x01) != 0;  // and LOAD (carry) or VERIFY in F'
  const uint32_t requested = c.DE.w;

  if (b->length == 0 || b->data[0] != expectedFlag) {
    // The ROM reads the flag byte first and gives up on a block of another kind; the block has
    // gone past the tape head all the same.
    EnterTapeBlock(m, b->next);
    FinishLoad(m, false);
    return true;
  }
  if (b->length != requested + 2) {
    // A block of another length than the header promised: played, so the ROM meets it as on a
    // real machine (a loading error, or a loader that reads what it finds).
    EnterTapeBlock(m, b);
    StartPlaying(m);
    return false;
  }

  const uint8_t* bytes = b->data;
  uint8_t parity = 0;
  for (uint32_t k = 0; k < b->length; ++k) parity ^= bytes[k];
  bool ok = parity == 0;
  uint16_t address = c.IX.w;
  RenderDisplayUpTo(m, m.FrameTState);  // the picture so far shows memory as it was
  for (uint32_t k = 0; k < requested; ++k) {
    const uint8_t value = bytes[1 + k];
    if (load) {
      TrapStore(m, address, value);
    } else if (m.Peek(address) != value) {
      ok = false;
    }
    ++address;
  }
  c.IX.w = address;
  c.DE.w = 0;
  c.BC.w = 0xCB01;
  c.HL.w = 0;
  FinishLoad(m, ok);
  EnterTapeBlock(m, b->next);
  return true;
}

void StartTapeAtRomEntry(MachineState& m) {
  if (m.tape.image) StartTape(m);
}

namespace {

// CP A at 0x056A, in LD-BYTES just before it starts to listen: the loader is about to read the
// tape, so the deck starts (unless the traps load the blocks instead). The deck starts after the
// opcode fetch, as the instruction begins.
FetchTrapResult RomEntryTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  const uint8_t op = Z80FetchCycle(m);
  if (op == 0xBF) StartTapeAtRomEntry(m);
  return FetchTrapResult::Execute(op);
}

// RET NZ at 0x056B, after its opcode fetch and internal T-state: a block the trap loads ends
// LD-BYTES there (the CPU goes on at its final RET); otherwise the RET NZ completes.
FetchTrapResult LoadTrap(void* context, uint16_t) {
  MachineState& m = *static_cast<MachineState*>(context);
  const uint8_t op = Z80FetchCycle(m);
  if (op != 0xC0) return FetchTrapResult::Execute(op);
  CpuState& c = m.cpu;
  m.InternalCycles(c.IR.w, 1);
  if (!TapeTrap(m) && !(c.AF.b.l & 0x40)) {  // NZ: the return is taken
    const uint8_t lo = m.ReadByte(c.SP++);
    const uint8_t hi = m.ReadByte(c.SP++);
    c.PC = static_cast<uint16_t>(lo | hi << 8);
    c.MEMPTR = c.PC;
  }
  return FetchTrapResult::Skip();
}

}  // namespace

void SetTapeTraps(MachineState& m, bool on) {
  m.FetchTraps.Set(kTapeRomEntryAddress, RomEntryTrap, &m, on);
  m.FetchTraps.Set(kTapeLoadTrapAddress, LoadTrap, &m, on);
}

void UpdateTapeTraps(MachineState& m) {
  SetTapeTraps(m, m.tape.image != nullptr);
}

}  // namespace orvo
