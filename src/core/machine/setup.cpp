// Making a model current (its ROM image, constants, contention tables and memory map) and
// resetting it.
#include "machine/setup.h"

#include <algorithm>
#include <random>

#include "devices/device.h"
#include "devices/disk_fast_trap.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/typing.h"
#include "sound/sound_output.h"
#include "video/ula.h"

namespace orvo {

namespace {

// The per-model constants.
void SetModelConstants(MachineState& m) {
  const uint8_t model = m.MachineModel;
  if (model != kModelCustom) m.KeyWaitAddress = KeyWaitAddressFor(model);

  // A paging lock left by a 128K model goes with it: a 48K-style model has no lock, and a lock
  // would hide its floating bus.
  m.PagingLock = 0;
  switch (model) {
    case kModel16K:
      m.Issue3Keyboard = 0;  // the 16K was only ever an issue 2 board
      m.IssueMask = 0x18;
      break;
    case kModel48K: m.IssueMask = m.Issue3Keyboard ? 0x10 : 0x18; break;
    case kModel128K:
    case kModelPlus2:
      m.Issue3Keyboard = 1;
      m.Last7FFD = 0;
      break;
    case kModelPentagon:
      m.Issue3Keyboard = 1;
      m.Last7FFD = 0;
      m.settings.UlaSnow = 0;  // nothing holds the CPU off the screen memory: no snow either
      break;
    case kModelPlus2A:
    case kModelPlus3:
      m.Issue3Keyboard = 1;
      m.Last7FFD = 0;
      m.Last1FFD = 0;
      m.RomLowBit = 0;
      m.SpecialMode = 0;
      m.settings.UlaSnow = 0;  // the gate array of these models shows no snow
      break;
    default: break;
  }
  if (model != kModelCustom) m.DiskLampDrawn = 0;
}

// Call points of devices that reset with the machine; each becomes the device's own reset when
// its subsystem exists.
void ResetDiskController(MachineState&) {}
// A new machine set-up ends any input recording's hold on the port reads.
void StopRzxPlayback(MachineState& m) {
  m.PortReadHook = nullptr;
  m.PortReadHookContext = nullptr;
}
void SetUpDiskDrive(MachineState&) {}

}  // namespace

void LoadRomImage(MachineState& m, std::span<const uint8_t> image) {
  // Both buffers start over as unprogrammed ROM (0xFF); an image that is missing stays so.
  std::fill(m.RomBuffer48.begin(), m.RomBuffer48.end(), 0xFF);
  std::fill(m.RomBuffer128.begin(), m.RomBuffer128.end(), 0xFF);
  if (image.empty()) return;
  // The Custom model maps a single 16 KB ROM: of a 32 KB file only the first half is used.
  std::vector<uint8_t>& buffer = Is48KGroup(m.MachineModel) ? m.RomBuffer48 : m.RomBuffer128;
  const size_t n = std::min<size_t>({image.size(), buffer.size(), RomBufferSize(m.MachineModel)});
  std::copy_n(image.begin(), n, buffer.begin());
}

void BuildContentionTables(MachineState& m) {
  const ModelSpec& spec = m.spec;
  const uint8_t model = m.MachineModel;
  const int32_t line = static_cast<int32_t>(spec.tstatesPerLine);
  // The T-state 24 lines and 16 T-states before the first display fetch: contention rows and
  // columns are counted from here.
  uint32_t base = spec.firstDisplayTState - 24 * spec.tstatesPerLine - 16;
  if (HonoursLateTiming(model) && m.settings.LateTiming) base += 1;
  m.ContentionBase = base;

  for (uint32_t k = 0; k < m.LineStartTable.size(); ++k)
    m.LineStartTable[k] = base + (k + 1) * spec.tstatesPerLine;

  const bool plus3 = IsPlus2AFamily(model);
  const uint8_t* pattern = plus3 ? ContentionPatternPlus3 : ContentionPattern48;
  // The +2A/+3 gate array holds the CPU for one more T-state after the 128 of a line's fetches:
  // the last group of eight ends 1 0 7 6 5 4 3 2 and is followed by a 1.
  const int32_t windowStart = plus3 ? 20 : 23;
  const int32_t windowEnd = windowStart + (plus3 ? 129 : 128);
  std::fill(m.MemoryContentionTable.begin(), m.MemoryContentionTable.end(), 0);
  std::fill(m.IoContentionTable.begin(), m.IoContentionTable.end(), 0);
  // The Pentagon gives the video its own memory cycles: the CPU is never held.
  if (model == kModelPentagon) return;
  const uint32_t frame = std::min<uint32_t>(spec.tstatesPerFrame, kContentionTableSize);
  for (uint32_t t = 0; t < frame; ++t) {
    const int32_t v = static_cast<int32_t>(t) - static_cast<int32_t>(base);
    const int32_t row = v / line;
    const int32_t col = (v + 8) % line;
    if (row < 24 || row > 215 || col < windowStart || col >= windowEnd) continue;
    const uint8_t delay = pattern[col % 8];
    m.MemoryContentionTable[t] = delay;
    // The +2A/+3 gate array does not contend I/O or internal cycles.
    if (!plus3) m.IoContentionTable[t] = delay;
  }
}

void UpdateMachineTraps(MachineState& m) {
  UpdateDiskFastTrap(m);
}

void SetUpMachine(MachineState& m, uint8_t model, std::span<const uint8_t> rom) {
  // Only a corrupt configuration or snapshot names a model beyond the table; run a 48K then.
  m.MachineModel = model < kModelCount ? model : static_cast<uint8_t>(kModel48K);
  LoadRomImage(m, rom);

  m.spec = ModelTable[m.MachineModel];
  m.ModelName = m.spec.modelName;
  m.FrameLength = m.spec.tstatesPerFrame;
  m.topSlotContended = static_cast<uint8_t>(m.spec.topSlotContended);
  m.romWriteProtect = static_cast<uint8_t>(m.spec.romWriteProtect);

  SetModelConstants(m);
  BuildContentionTables(m);
  UpdateMachineTraps(m);

  if (m.MachineModel == kModelPlus3) SetUpDiskDrive(m);
  ClearSoundBuffer(m);
  BuildDisplayTables(m);
  UpdateDevices(m);
  ResetMemoryMap(m);
}

void ResetMachine(MachineState& m, bool hard) {
  if (hard) {
    // The CPU's flag tables are built once, at compile time; the display tables and the memory
    // map are rebuilt, which clears all RAM.
    BuildDisplayTables(m);
    ResetMemoryMap(m);
  }

  // The Z80's /RESET: everything 0 except HL.
  m.cpu = CpuState{};
  m.cpu.HL.w = 0xFFFF;
  m.InterruptArmed = 0;
  UpdateUlaSnow(m);  // I is 0 again

  m.FrameTState = 0;
  m.InstructionStartTState = 0;
  m.video.DisplayDrawnTo = 0;
  m.video.BorderDrawnTo = 0;
  m.sound.SampleAccumulator = 0;
  m.FrameSkipCountdown = static_cast<uint32_t>(std::max<int32_t>(1, m.settings.Frameskip));
  // The ULA's border and EAR, ULAplus's palette mode; Interface 1 and the Multiface page out.
  ResetDevices(m, hard);

  if (Is128KFamily(m.MachineModel)) {
    // The paging registers clear on reset: ROM 0, banks 5, 2 and 0, screen in bank 5. On the
    // +2A/+3 that includes 0x1FFD, so the machine restarts from ROM 0 whatever ROM it was in.
    if (IsPlus2AFamily(m.MachineModel)) {
      m.Last1FFD = 0;
      m.RomLowBit = 0;
    }
    m.SpecialMode = 0;
    m.PagingLock = 0;
    m.topSlotContended = 0;
    m.RomNumber = 0;
    m.BasePages[0] = m.RomBuffer128.data();
    m.BasePages[1] = m.RomBuffer128.data() + 0x2000;
    m.BankAt4000 = 5;
    m.BasePages[2] = m.RamBlock.data() + 5 * 16384;
    m.BasePages[3] = m.BasePages[2] + 0x2000;
    m.BankAt8000 = 2;
    m.BasePages[4] = m.RamBlock.data() + 2 * 16384;
    m.BasePages[5] = m.BasePages[4] + 0x2000;
    Write7FFD128(m, 0);  // bank 0 at 0xC000, screen bank 5
  }

  // The machine comes up with a noisy screen until the ROM clears it.
  std::minstd_rand noise(std::random_device{}());
  uint8_t* const screen = m.PageTable[2];
  for (int i = 0; i < 6912; ++i) screen[i] = static_cast<uint8_t>(noise() % 127);

  m.romWriteProtect = 1;
  ResolveMemoryMap(m);

  CancelTyping(m);
  StopRzxPlayback(m);
  ResetDiskController(m);
  m.FullSpeed = 0;
}

}  // namespace orvo
