// The tape's ways of loading faster than the tape runs: the ROM loader's entry and trap, fetch
// traps in LD-BYTES while a tape is in the deck, and fast loading (the machine runs unthrottled
// while the tape plays).
#include "cpu/z80.h"
#include "formats/tape_image.h"
#include "machine/model.h"
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

// The blocks that put pulses on the tape; the others (pauses, texts, groups, jumps, loops, calls,
// stop marks) carry nothing to load, and the trap passes over them to the next block.
bool HasPulses(uint8_t id) {
  return (id >= kBlockStandard && id <= kBlockDirect) || id == kBlockCsw || id == kBlockGeneralized;
}

// The ROM that holds LD-BYTES is the one at 0x0000: the 48K's, ROM 1 of the 128K and +2, ROM 3
// of the +2A and +3 (never their all-RAM modes), and no add-on's ROM paged over it. Anything else
// at 0x056B is some other program's code.
bool LoaderRomPaged(const MachineState& m) {
  const uint8_t* page = m.PageTable[0];
  if (!Is128KFamily(m.MachineModel)) return page == m.RomBuffer48.data();
  if (m.SpecialMode) return false;
  const size_t rom = IsPlus2AFamily(m.MachineModel) ? 3 : 1;
  return page == m.RomBuffer128.data() + rom * 0x4000;
}

// Moves the deck on to its next block with pulses, through jumps, loops and calls as playing it
// would, and returns that block when it is a standard block the trap can copy whole (one the
// player has not started on), else null. The count bounds a tape whose flow control never
// reaches a block with pulses. `stopMark`, when given, says whether the way there passed a mark
// that stops the tape (a pause of 0, or "stop the tape if in 48K mode" on the 16K and 48K).
TapeBlock* NextCopyableBlock(MachineState& m, bool* stopMark = nullptr) {
  TapeState& t = m.tape;
  for (uint32_t steps = 0; t.image->current && !HasPulses(t.image->current->id); ++steps) {
    if (steps > (1u << 20)) {
      t.LoopStopped = 1;
      return nullptr;
    }
    const TapeBlock& control = *t.image->current;
    if (stopMark && ((control.id == kBlockPause && control.p[0] == 0) ||
                     (control.id == kBlockStop48 && !Is128KFamily(m.MachineModel)))) {
      *stopMark = true;
    }
    tape_detail::StepBlock(m);
  }
  TapeBlock* b = t.image->current;
  if (!b || b->id != kBlockStandard) return nullptr;
  const bool partPlayed = t.State != b->state || t.PulseCount != 0 || t.Position != 0;
  return partPlayed ? nullptr : b;
}

// Whether the trap at 0x056B may look at the tape: traps on, the deck stopped (a playing tape is
// read by the ROM as it plays) and the loader's own ROM paged in. An input recording being made
// or played (the port read hook) sees the tape only through the ROM's port reads.
bool TrapArmed(const MachineState& m) {
  return m.settings.TapeTraps && !m.TapePlaying && m.tape.image && !m.tape.LoopStopped &&
         LoaderRomPaged(m) && !m.PortReadHook;
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
  if (!TrapArmed(m)) return false;
  TapeState& t = m.tape;
  TapeBlock* b = NextCopyableBlock(m);
  if (!b) {
    // Turbo, direct-recording and generalized blocks, and a block already under way, are
    // played: the loader reads them as pulses, as it would without the trap.
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
  // The tape runs on past the block as if it had played it: what follows for a loader of the
  // program's own plays, unless a stop mark comes first; another block for the ROM waits for the
  // trap.
  bool stopMark = false;
  if (t.image->current && !NextCopyableBlock(m, &stopMark) && t.image->current && !stopMark) {
    StartPlaying(m);
  }
  return true;
}

void StartTapeAtRomEntry(MachineState& m) {
  if (!m.tape.image) return;
  // The trap at the next instruction copies the block: the deck stays as it is.
  if (TrapArmed(m) && NextCopyableBlock(m)) return;
  StartTape(m);
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
  // A playing deck has nothing for them to do (the loader reads the tape as it plays), and the
  // core runs faster without a trap to look for.
  SetTapeTraps(m, m.tape.image != nullptr && !m.TapePlaying);
}

}  // namespace orvo
