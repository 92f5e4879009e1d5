#include "snapshot/snapshot_apply.h"

#include <algorithm>

#include "devices/device.h"
#include "machine/machine_state.h"
#include "machine/memory.h"
#include "machine/model.h"

namespace orvo {

namespace {

static_assert(static_cast<uint8_t>(SnapshotModel::k16K) == kModel16K &&
              static_cast<uint8_t>(SnapshotModel::k48K) == kModel48K &&
              static_cast<uint8_t>(SnapshotModel::k128K) == kModel128K &&
              static_cast<uint8_t>(SnapshotModel::kPlus2) == kModelPlus2 &&
              static_cast<uint8_t>(SnapshotModel::kPlus2A) == kModelPlus2A &&
              static_cast<uint8_t>(SnapshotModel::kPlus3) == kModelPlus3 &&
              static_cast<uint8_t>(SnapshotModel::kCustom) == kModelCustom &&
              static_cast<uint8_t>(SnapshotModel::kPentagon) == kModelPentagon);

constexpr size_t kPage = kSnapshotPageSize;
constexpr uint16_t k48KPages[] = {0x4000, 0x8000, 0xC000};

void ApplyCpu(CpuState& cpu, const SnapshotCpu& r) {
  cpu.AF.w = r.AF;
  cpu.BC.w = r.BC;
  cpu.DE.w = r.DE;
  cpu.HL.w = r.HL;
  cpu.AF_.w = r.AF_;
  cpu.BC_.w = r.BC_;
  cpu.DE_.w = r.DE_;
  cpu.HL_.w = r.HL_;
  cpu.IX.w = r.IX;
  cpu.IY.w = r.IY;
  cpu.SP = r.SP;
  cpu.PC = r.PC;
  cpu.IR.b.h = r.I;
  cpu.IR.b.l = r.R;
  cpu.R7 = r.R7 & 0x80;
  cpu.IFF1 = r.IFF1 ? 1 : 0;
  cpu.IFF2 = r.IFF2 ? 1 : 0;
  cpu.IM = r.IM & 3;
  // Between two instructions: no prefix pending, no EI shadow.
  cpu.Halted = 0;
  cpu.HaltNoAdvance = 0;
  cpu.EiDelay = 0;
  cpu.PrefixPending = 0;
  cpu.Q = 0;
  cpu.LdAIR = 0;
  if (r.halted) {
    // PC is past the HALT: the CPU idles there until its interrupt.
    cpu.Halted = 1;
    cpu.HaltNoAdvance = 1;
  }
  // Taken between an EI and the next instruction: no interrupt before that one runs.
  if (r.eiLast) cpu.EiDelay = 1;
  if (r.flagsSet) cpu.Q = static_cast<uint8_t>(r.AF);
  if (r.MEMPTR) cpu.MEMPTR = *r.MEMPTR;
}

// A page the record does not hold (empty) leaves the machine's as it is.
void CopyPage(const std::vector<uint8_t>& page, uint8_t* to) {
  std::copy_n(page.begin(), std::min(page.size(), kPage), to);
}

}  // namespace

void ApplySnapshot(MachineState& m, const SnapshotRecord& r) {
  ApplyCpu(m.cpu, r.cpu);
  if (r.frameTState) m.FrameTState = *r.frameTState;
  // A file that does not say otherwise was taken with the frame-start interrupt still to come:
  // left unarmed (as after a reset) the first frame would run without it.
  m.InterruptArmed = r.interruptArmed.value_or(1) ? 1 : 0;
  // The border is also what the ULA port last received, so the MIC and EAR bits of the previous
  // program do not linger. A format without that byte (Z80, SNA) gets MIC high, as the ROM
  // leaves it after every key click, BEEP, LOAD and SAVE: an issue 2 board reads it back on
  // bit 6, so a machine saved in the ROM's LOAD goes on reading what it read before.
  m.ports.BorderColour = r.border & 7;
  m.ports.LastUlaOut = r.lastFE.value_or((r.border & 7) | 0x08);

  if (r.if1RomPaged) {
    // Interface 1's ROM is only paged in where an Interface 1 is fitted.
    const bool want = *r.if1RomPaged && m.settings.Interface1 != 0;
    if (want && !m.If1Paged()) m.OnIf1PageIn();
    if (!want && m.If1Paged()) m.OnIf1PageOut();
  }
  if (r.ay) {
    m.sound.ay.AySelectedRegister = r.ay->selected;
    std::copy(r.ay->regs.begin(), r.ay->regs.end(), m.sound.ay.regs);
  }

  uint8_t* ram = m.RamBlock.data();
  const bool big = Is128KFamily(m.MachineModel);
  if (big) {
    for (uint8_t bank = 0; bank < 8; ++bank) CopyPage(r.ram[bank], ram + bank * kPage);
  } else {
    // The 48K models keep RAM at its own addresses in the block.
    for (uint16_t address : k48KPages) CopyPage(r.ram[Bank48KAt(address)], ram + address);
  }

  if (r.cpu.pcOnStack) {
    const uint16_t sp = m.cpu.SP;
    m.cpu.PC = static_cast<uint16_t>(m.Peek(sp) | (m.Peek(static_cast<uint16_t>(sp + 1)) << 8));
    m.cpu.SP = static_cast<uint16_t>(sp + 2);
  }

  if (big) {
    if (IsPlus2AFamily(m.MachineModel)) {
      // 0x1FFD first: a 0x7FFD value with the lock bit set must still see its ROM selection.
      Write1FFD(m, r.last1FFD);
      Write7FFDPlus3(m, r.last7FFD);
    } else {
      Write7FFD128(m, r.last7FFD);
    }
  }
  // The devices' own blocks, each to the fitted device that keeps its state under that name.
  for (const Device* device : m.Devices) {
    if (!device->stateId || !device->LoadState || !DeviceFitted(m, *device)) continue;
    if (const SnapshotBlock* block = r.FindBlock(device->stateId))
      device->LoadState(m, block->body);
  }
}

bool SnapshotDeviceBlocksValid(const MachineState& m, const SnapshotRecord& r) {
  for (const Device* device : m.Devices) {
    if (!device->stateId || !device->CheckState) continue;
    const SnapshotBlock* block = r.FindBlock(device->stateId);
    if (block && !device->CheckState(block->body)) return false;
  }
  return true;
}

SnapshotRecord CaptureSnapshot(const MachineState& m) {
  SnapshotRecord r;
  r.model = static_cast<SnapshotModel>(m.MachineModel);
  const CpuState& cpu = m.cpu;
  SnapshotCpu& c = r.cpu;
  c.AF = cpu.AF.w;
  c.BC = cpu.BC.w;
  c.DE = cpu.DE.w;
  c.HL = cpu.HL.w;
  c.AF_ = cpu.AF_.w;
  c.BC_ = cpu.BC_.w;
  c.DE_ = cpu.DE_.w;
  c.HL_ = cpu.HL_.w;
  c.IX = cpu.IX.w;
  c.IY = cpu.IY.w;
  c.SP = cpu.SP;
  c.PC = cpu.PC;
  c.I = cpu.IR.b.h;
  c.R = cpu.IR.b.l;
  c.R7 = cpu.R7 & 0x80;
  c.IFF1 = cpu.IFF1;
  c.IFF2 = cpu.IFF2;
  c.IM = cpu.IM;
  // Halted by a HALT opcode, with PC past it.
  c.halted = cpu.Halted && cpu.HaltNoAdvance && m.Peek(static_cast<uint16_t>(cpu.PC - 1)) == 0x76;
  c.MEMPTR = cpu.MEMPTR;
  c.eiLast = cpu.EiDelay != 0;
  c.flagsSet = cpu.Q != 0;
  r.frameTState = m.FrameTState;
  r.interruptArmed = m.InterruptArmed;
  r.interruptDue = m.InterruptArmed && m.FrameTState < m.InterruptLength();

  r.border = m.ports.BorderColour & 7;
  r.lastFE = m.ports.LastUlaOut;
  r.last7FFD = m.Last7FFD;
  r.last1FFD = m.Last1FFD;
  r.if1RomPaged = m.If1Paged();
  r.interface1 = m.settings.Interface1 != 0;
  r.issue2 = m.Issue3Keyboard == 0;
  const int32_t joystick =
      m.settings.JoystickType != 0 ? m.settings.JoystickType : m.settings.KeystickType;
  r.joystick = static_cast<uint8_t>(joystick);
  SnapshotAy ay;
  ay.selected = m.sound.ay.AySelectedRegister;
  std::copy_n(m.sound.ay.regs, ay.regs.size(), ay.regs.begin());
  r.ay = ay;

  if (Is128KFamily(m.MachineModel)) {
    for (uint8_t bank = 0; bank < 8; ++bank) {
      const auto from = m.RamBlock.begin() + bank * kPage;
      r.ram[bank].assign(from, from + kPage);
    }
  } else {
    for (uint16_t address : k48KPages) {
      std::vector<uint8_t>& page = r.ram[Bank48KAt(address)];
      page.resize(kPage);
      for (size_t a = 0; a < kPage; ++a) page[a] = m.Peek(static_cast<uint16_t>(address + a));
    }
  }
  for (const Device* device : m.Devices) {
    if (!device->stateId || !device->SaveState || !DeviceFitted(m, *device)) continue;
    SnapshotBlock block{SnapshotBlockId(device->stateId), {}};
    device->SaveState(m, block.body);
    // A device with nothing to keep (an Interface II with no cartridge) writes no block.
    if (!block.body.empty()) r.blocks.push_back(std::move(block));
  }
  return r;
}

}  // namespace orvo
