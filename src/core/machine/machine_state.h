#pragma once
// MachineState: the emulated machine and its run state, one per Emulator. It is also the bus the
// Z80 core runs against (see cpu/bus.h): the memory cycles are inline members defined in
// machine/memory_access.h, the port cycles in machine/ports.cpp.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cpu/bus.h"
#include "cpu/cpu_state.h"
#include "debugger/debugger_state.h"
#include "devices/microdrive.h"
#include "devices/printer.h"
#include "devices/speech_state.h"
#include "devices/upd765.h"
#include "devices/wd1793.h"
#include "machine/clock.h"
#include "machine/input_state.h"
#include "machine/machine_settings.h"
#include "machine/memory_layers.h"
#include "machine/model.h"
#include "machine/port_decoder.h"
#include "machine/port_state.h"
#include "sound/sound_state.h"
#include "tape/tape_state.h"
#include "video/video_state.h"

namespace orvo {

// FLASH swaps ink and paper every 16 frames.
constexpr uint32_t kFlashCycleFrames = 32;

struct Device;

constexpr uint32_t kContentionTableSize = 71800;  // longest frame plus the longest instruction
constexpr uint32_t kRamBlockSize = 131072;        // eight 16 KB banks
// MachineState::HooksBatched: which hooks a batch of instructions feeds at its end.
constexpr uint8_t kBatchedTape = 1;
constexpr uint8_t kBatchedSound = 2;
// With kBatchedSound: the batch runs on past the samples that fall due in it, the quiet core
// stopping at each one's instruction only to have it made (QuietSampleDue).
constexpr uint8_t kBatchedSamples = 4;
// With kBatchedSound, instead: nothing the samples are made of can change in the batch
// (SoundIsSteady), so the core runs past them without stopping and they are counted out when the
// batch is caught up.
constexpr uint8_t kBatchedSteadySound = 8;

struct MachineState {
  MachineState();
  MachineState(const MachineState&) = delete;
  MachineState& operator=(const MachineState&) = delete;

  // The host's clock (null for a bare machine): the tape's wobble seeds its noise from it.
  Clock* clock = nullptr;

  // ---- CPU and frame timing ----
  CpuState cpu;
  uint32_t FrameTState = 0;
  uint32_t InstructionStartTState = 0;
  uint32_t InstructionTStates = 0;
  uint8_t InterruptArmed = 0;
  // The tape and the sound follow the instructions' T-states. The frame loop may run a stretch
  // of instructions on the quiet core while they have nothing due (hook_batch.h): meanwhile the
  // ones named in HooksBatched (kBatchedTape, kBatchedSound) have been fed up to HooksFedTo
  // only, and a call out brings them up to the instruction under way first.
  uint8_t HooksBatched = 0;
  uint8_t BatchRunKey = 0;  // QuietRunKey() when the batch began
  // The last call out of a quiet run was a port read that left QuietRunKey() as the batch began
  // (every other call out clears it: a port write, a fetch trap, a write to I).
  uint8_t QuietReadResume = 0;
  uint32_t HooksFedTo = 0;     // the tape's
  uint32_t SoundFedTo = 0;     // the sound's
  uint64_t BatchSoundDue = 0;  // where the batch's next sample falls due (HaltRunFetches)
  // Code that runs before the fetch of an instruction at given addresses: the tape loader's
  // entry and trap, the +3 disk delay loops, the speech unit's ROM overlay (cpu/fetch_traps.h).
  // Each owner registers with this MachineState as the handler's context.
  FetchTrapList FetchTraps;

  // ---- run state ----
  uint32_t FrameLength = 69888;
  uint32_t Paused = 0;
  uint8_t FocusPaused = 0;
  uint32_t FullSpeed = 0;
  uint32_t TapePlaying = 0;
  uint32_t NmiRequest = 0;
  uint32_t FlashCountdown = 0;  // kFlashCycleFrames - 1 down to 0; above 15 ink and paper swap
  uint32_t FrameSkipCountdown = 1;
  uint32_t FramesThisSecond = 0;
  int32_t DiskFastCountdown = 0;
  uint64_t LastFrameTimeNs = 0;  // clock reading at the end of the last throttled frame
  uint64_t FrameCount = 0;       // frames completed since start-up (orvo-run reports it)
  // The debugger's per-instruction hook runs while this is set: a PC log is on, a run-until event
  // is armed, breakpoints exist, or a stop waits to be seen (UpdateDebugHooks keeps it).
  uint8_t DebugHooksActive = 0;

  // ---- the settings the machine reads (the shell copies them in) ----
  MachineSettings settings;

  // ---- model (copied from the model table by SetUpMachine) ----
  uint8_t MachineModel = 1;
  ModelSpec spec{};
  std::string ModelName;
  uint32_t ContentionBase = 0;
  std::array<uint32_t, 312> LineStartTable{};
  uint16_t KeyWaitAddress = 0x10B0;
  uint8_t Issue3Keyboard = 1;
  uint8_t IssueMask = 0x10;
  std::vector<uint8_t> MemoryContentionTable;  // kContentionTableSize entries
  std::vector<uint8_t> IoContentionTable;      // kContentionTableSize entries

  // ---- memory ----
  // The buffers are allocated once at their largest size and never move, so PageTable entries
  // stay valid across ROM loads and model changes.
  std::vector<uint8_t> RamBlock;      // kRamBlockSize bytes
  std::vector<uint8_t> RomBuffer48;   // 16384 bytes
  std::vector<uint8_t> RomBuffer128;  // 65536 bytes: ROM r at r x 16384 (the 128K and +2 use 0-1)
  std::vector<uint8_t> EmptyPage16K;  // 8192 bytes of 0xFF: the 16K's missing upper memory
  // The base layer: the pages and screen the model's own paging selects. The add-ons' overlays
  // lie above it; ResolveMemoryMap (machine/memory.h) folds them into PageTable, WritePages and
  // ScreenPointer, which are all the accessors look at.
  uint8_t* BasePages[8] = {};
  uint8_t* BaseScreen = nullptr;
  std::array<MemoryOverlay, kOverlayLayerCount> Overlays{};
  uint8_t OverlaysMapped = 0;  // bit n: layer n is mapped
  uint8_t* PageTable[8] = {};  // one host pointer per 8 KB of the Z80 address space
  // Where WriteByte stores for each 8 KB page: the page itself, or WriteSink for a page whose
  // writes are discarded (protected ROM, the 16K's missing upper memory, a device's registers).
  uint8_t* WritePages[8] = {};
  std::vector<uint8_t> WriteSink;  // 8192 bytes nobody reads
  uint8_t Last7FFD = 0;
  uint8_t Last1FFD = 0;
  uint8_t RomLowBit = 0;  // +2A/+3: bit 4 of the last 0x7FFD value
  uint8_t RomNumber = 0;
  uint8_t BankAt4000 = 5, BankAt8000 = 2, BankAtC000 = 0;
  uint8_t ScreenBank = 5;
  uint8_t* ScreenPointer = nullptr;  // start of the screen the ULA shows
  uint8_t PagingLock = 0;
  uint8_t SpecialMode = 0;
  uint8_t topSlotContended = 0;
  uint8_t QuietContendedSlots = 0;  // see TakeContendedSlots()
  uint8_t romWriteProtect = 1;
  std::string RomDisplayName;    // "48k.ROM", ... of the last ROM loaded
  uint8_t FloatingLatch = 0xFF;  // +2A/+3: last byte of a contended access, bit 0 set
  uint32_t HaltRunLimit = 0;     // set by the frame loop around its run (HaltRunFetches)
  uint32_t FetchCount = 0;       // opcode fetches; RZX playback and recording reset and read it
  // While an input recording plays or records, every port read's value passes through this hook
  // (the recorded value replaces it, or it is appended to the recording); null otherwise.
  uint8_t (*PortReadHook)(void* context, uint8_t value) = nullptr;
  void* PortReadHookContext = nullptr;
  // Set by a device that drove the data bus during the port read in progress: its byte stands,
  // even 0xFF, where a read nothing answered would see the floating bus.
  bool PortBusDriven = false;

  // ---- add-ons that change the memory map (devices/; their overlays say whether they are paged)
  std::vector<uint8_t> If1Rom;          // 8192 bytes (empty: no ROM loaded)
  MicrodriveState microdrives;          // the Interface 1's eight drives
  uint8_t MultifaceVisible = 0;         // its RAM at 0x2000-0x3FFF accepts writes while paged
  uint8_t MultifaceOne = 0;             // the Multiface One's ports instead of the 128/3's
  std::vector<uint8_t> MultifaceImage;  // 16384: 8 KB ROM then 8 KB RAM (empty: no ROM loaded)
  uint8_t CartridgeInserted = 0;        // an Interface II cartridge replaces the whole memory map
  std::vector<uint8_t> CartridgeImage;  // 16384 bytes
  std::vector<uint8_t> CartridgeRam;    // 49152 bytes of 0xFF at 0x4000 while a cartridge is in
  uint8_t CurrahPaged = 0;              // the µSpeech ROM overlays 0x0000-0x07FF (with uSpeech on)
  uint8_t CurrahBusy = 0;               // an allophone is playing; read at 0x1000 while paged
  std::vector<uint8_t> CurrahRom;       // 2048 bytes (empty: no ROM loaded)
  std::vector<uint8_t> CurrahPage;      // 8192: what 0x0000-0x1FFF reads while it is paged
  SpeechUnitState speech;               // the µSpeech's and the Orator's playing state
  uint8_t DiskLampDrawn = 0;            // +3: the status bar shows the disk lamp
  uint8_t DiskPresent = 0;              // +3: a disk was put into a drive
  uint8_t DiskMotorLamp = 0;            // +3: bit 3 of the last 0x1FFD value
  Upd765 Fdc;                           // +3: the disk controller and its two drives
  std::vector<uint8_t> TrdosRom;        // the Beta 128's 16384 bytes (empty: no ROM loaded)
  Wd1793 Beta;                          // the Beta 128's disk controller and its four drives
  PrinterState printer;                 // the ZX Printer (devices/printer.h)
  // Memory map tool: while tracking, every read and write at 0x4000 and above is noted by address.
  uint8_t MemoryTracking = 0;
  std::vector<uint8_t> ReadMap, WriteMap;  // 65536 each while tracking

  // ---- devices: the registered ones in decoding order, and the decoder built from them ----
  std::vector<const Device*> Devices;
  PortDecoder decoder;

  // ---- subsystems ----
  PortState ports;
  InputState input;
  VideoState video;
  SoundState sound;
  TapeState tape;
  DebuggerState debug;  // breakpoints, PC log, run-until events (debugger/)

  // ---- bus interface for the Z80 core (cpu/bus.h) ----
  // Each with the T-state counter the core holds (machine/memory_access.h), or on FrameTState.
  template <bool Watched = true>
  inline uint8_t FetchOpcode(uint16_t address, uint32_t& t);
  template <bool Watched = true>
  inline uint8_t ReadByte(uint16_t address, uint32_t& t);
  template <bool Watched = true>
  inline void WriteByte(uint16_t address, uint8_t value, uint32_t& t);
  template <bool Watched = true>
  inline void InternalCycles(uint16_t address, uint32_t n, uint32_t& t);
  uint8_t FetchOpcode(uint16_t address) { return FetchOpcode(address, FrameTState); }
  uint8_t ReadByte(uint16_t address) { return ReadByte(address, FrameTState); }
  void WriteByte(uint16_t address, uint8_t value) { WriteByte(address, value, FrameTState); }
  void InternalCycles(uint16_t address, uint32_t n) { InternalCycles(address, n, FrameTState); }
  uint8_t ReadPort(uint16_t port);
  void WritePort(uint16_t port, uint8_t value);
  uint32_t InterruptLength() const { return spec.interruptLength; }
  // Nothing watches the memory cycles: no ULA snow, no memory map tool. The core may then run its
  // unwatched cycles until it next calls out (cpu/z80.h, RunZ80Until); fetch traps are looked up
  // by address.
  bool QuietCyclesAllowed() const { return !video.SnowArmed && !MemoryTracking && !SingleSteps; }
  // Every instruction through the single steps and their hooks (orvo-run --single-steps): the
  // reference the quiet core's results are compared with.
  bool SingleSteps = false;
  // A fetch trap is about to run from a quiet core: a batch's hooks are brought up to date.
  void BeforeFetchTrap() {
    QuietReadResume = 0;  // the run ends here, not at a port read
    if (HooksBatched) CatchUpBatchedHooks();
  }
  void CatchUpBatchedHooks();  // machine/hook_batch.cpp
  // What a port read may change of the things a batch's length and the frame loop's choice of
  // core depend on, packed: the deck (a loader's polling starts and stops it), full speed (disk
  // activity), the AY on a 48K (the Fuller Box's port), the fetch traps and the watched cycles
  // (paging). A read that leaves it as it was when the batch began changed nothing the run must
  // stop for (a loader polling the tape, a game the keyboard), so the quiet run goes on past it.
  // The other hooks (typing, the NMI, the debugger, the printer's motor, the settings) change
  // only from the window, a port write or a fetch trap, which end the run anyway.
  uint8_t QuietRunKey() const {
    return static_cast<uint8_t>((TapePlaying != 0) | (FullSpeed != 0) << 1 |
                                (settings.Ay48k != 0) << 2 | FetchTraps.Armed() << 3 |
                                (video.SnowArmed != 0 || MemoryTracking != 0) << 4);
  }
  // After a quiet run that ended at a port read: the run may be taken up again at once, with no
  // hooks fed in between, when the read changed nothing it depends on (QuietReadResume, set by
  // ReadPort) and its instruction did not make the batch's next sample due.
  bool QuietRunResumes() const {
    return QuietReadResume &&
           !((HooksBatched & kBatchedSamples) && uint64_t{FrameTState} >= BatchSoundDue);
  }
  // After a quiet run that stopped at a port read and is taken up again (QuietRunResumes): a
  // loader's loop polling the playing tape between edges is run on to just short of `until`,
  // the next sample or the loop's end in one step (machine/poll_skip.cpp).
  void SkipTapePolling(uint32_t until) {
    if (TapePlaying && !PortReadHook) SkipTapePollingLoop(until);
  }
  void SkipTapePollingLoop(uint32_t until);
  // For the quiet core, in a batch that runs on past its samples (kBatchedSamples): the T-state
  // at whose crossing an instruction makes the next sample due (UINT32_MAX: none to watch for).
  uint32_t QuietSampleMark() const {
    return (HooksBatched & kBatchedSamples) ? static_cast<uint32_t>(BatchSoundDue) : UINT32_MAX;
  }
  // The instruction from `start` to `end` made a sample due and called nothing out of the core:
  // the sound is fed up to its end and the samples made, as after a single step. Returns the
  // next sample's mark.
  uint32_t QuietSampleDue(uint32_t start, uint32_t end);  // machine/hook_batch.cpp
  // The unwatched cycles test contention with one bit per 16K slot, taken when a quiet run
  // starts and again after each of its calls out (only a port or a device changes the paging,
  // and the option changes between frames).
  void TakeContendedSlots() {
    QuietContendedSlots =
        settings.Contention ? static_cast<uint8_t>(0x02 | (topSlotContended ? 0x08 : 0)) : 0;
  }
  // While halted, after one fetch: how many more of the same fetches the core may make at once
  // (0: one at a time). Nothing they pass could be seen by single fetches: they stop at the frame
  // loop's limit and before the next sound sample, and never run with contention, snow or a
  // printer's dot timer.
  inline uint32_t HaltRunFetches(uint32_t t, uint16_t pc) const;
  uint8_t InterruptDataBus();
  bool IsCmos() const { return settings.Z80IsCmos != 0; }
  void OnIRegisterWrite();
  void OnNmiAccepted();
  // Interface 1 paging (the snapshot loader pages it; its ROM traps are in devices/interface1).
  void OnIf1PageIn();
  bool If1Paged() const;
  void OnIf1PageOut();
  void OnDiskMotor(bool on);  // +3: bit 3 of a 0x1FFD write

  // Data-side helpers (no timing): what the debugger, snapshots and tests use.
  uint8_t Peek(uint16_t address) const { return PageTable[address >> 13][address & 0x1FFF]; }
  bool IsContended(uint16_t address) const {
    const uint32_t top = address >> 14;
    return top == 1 || (top == 3 && topSlotContended);
  }
  // Whether the ULA holds an access to `address` now (the option included).
  template <bool Watched>
  bool Contends(uint16_t address) const {
    if constexpr (Watched) {
      return IsContended(address) && settings.Contention;
    } else {
      return (QuietContendedSlots >> (address >> 14)) & 1;
    }
  }

 private:
  // Delay of a contended access beginning at T-state t (0 beyond the tables).
  uint32_t MemoryDelay(uint32_t t) const {
    return t < kContentionTableSize ? MemoryContentionTable[t] : 0;
  }
  uint32_t IoDelay(uint32_t t) const { return t < kContentionTableSize ? IoContentionTable[t] : 0; }
  // The memory map tool's side of the memory cycles, reached only behind its flag
  // (machine/memory.cpp).
  void TrackRead(uint16_t address, uint8_t value);
  void TrackWrite(uint16_t address, uint8_t value);
};

}  // namespace orvo

#include "machine/memory_access.h"
