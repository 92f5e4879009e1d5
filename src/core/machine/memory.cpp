// The memory map. Every Z80 access goes through eight 8 KB page pointers; the paging registers of
// the 128K family point 16 KB slots at ROMs and RAM banks.
#include "machine/memory.h"

#include <algorithm>

#include "machine/machine_state.h"
#include "video/ula.h"

namespace orvo {

namespace {

constexpr uint32_t kBankSize = 16384;
constexpr uint32_t kPageSize = 8192;

// While an Interface II cartridge is in, the machine runs from the cartridge and its own 0xFF
// memory: the paging registers still latch, but the page table keeps the cartridge layout.
bool PageTableFrozen(const MachineState& m) {
  return m.CartridgeInserted != 0;
}

void MapSlot(MachineState& m, int slot, uint8_t* base) {
  m.PageTable[2 * slot] = base;
  m.PageTable[2 * slot + 1] = base + kPageSize;
}

void MapRamSlot(MachineState& m, int slot, uint8_t bank) {
  if (PageTableFrozen(m)) return;
  MapSlot(m, slot, m.RamBlock.data() + (bank & 7) * kBankSize);
}

// ROM r of the model at 0x0000.
void MapRom(MachineState& m, uint8_t rom) {
  m.RomNumber = rom;
  if (PageTableFrozen(m)) return;
  if (Is48KGroup(m.MachineModel)) {
    MapSlot(m, 0, m.RomBuffer48.data());
  } else {
    MapSlot(m, 0, m.RomBuffer128.data() + (rom & 3) * kBankSize);
  }
}

void SetScreenBank(MachineState& m, uint8_t bank) {
  // The picture so far shows the old bank: draw it before the ULA turns to the new one.
  if (bank != m.ScreenBank) RenderDisplayUpTo(m, m.FrameTState);
  m.ScreenBank = bank;
  m.ScreenPointer =
      PageTableFrozen(m) ? m.EmptyPage16K.data() : m.RamBlock.data() + bank * kBankSize;
}

void SetBankAtC000(MachineState& m, uint8_t bank) {
  m.BankAtC000 = bank;
  MapRamSlot(m, 3, bank);
}

// The +2A/+3 all-RAM configurations selected by bits 1-2 of 0x1FFD: banks at 0x0000, 0x4000,
// 0x8000, 0xC000, and whether the bank at 0xC000 is contended.
struct SpecialLayout {
  uint8_t banks[4];
  uint8_t topContended;
};
constexpr SpecialLayout kSpecialLayouts[4] = {
    {{0, 1, 2, 3}, 0},
    {{4, 5, 6, 7}, 1},
    {{4, 5, 6, 3}, 0},
    {{4, 7, 6, 3}, 0},
};

}  // namespace

void UpdateWritePages(MachineState& m) {
  uint8_t* const sink = m.WriteSink.data();
  for (int page = 0; page < 8; ++page) {
    bool writable = true;
    if (page < 2 && m.romWriteProtect) writable = false;
    // The Multiface's RAM sits at 0x2000-0x3FFF while it is paged in and visible.
    if (page == 1 && m.MultifacePaged && m.MultifaceVisible) writable = true;
    // The 16K has nothing above 0x7FFF: writes there are lost and reads give 0xFF.
    if (page >= 4 && m.MachineModel == kModel16K) writable = false;
    m.WritePages[page] = writable ? m.PageTable[page] : sink;
  }
}

void ResetMemoryMap(MachineState& m) {
  std::fill(m.RamBlock.begin(), m.RamBlock.end(), 0);
  uint8_t* const ram = m.RamBlock.data();
  m.SpecialMode = 0;

  switch (m.MachineModel) {
    case kModel16K:
      m.EmptyPage16K.assign(kPageSize, 0xFF);
      MapSlot(m, 0, m.RomBuffer48.data());
      MapSlot(m, 1, ram + 0x4000);
      for (int page = 4; page < 8; ++page) m.PageTable[page] = m.EmptyPage16K.data();
      m.RomNumber = 0;
      m.BankAt4000 = 5;
      m.BankAt8000 = 2;
      m.BankAtC000 = 0;
      m.ScreenBank = 5;
      m.ScreenPointer = ram + 0x4000;
      break;

    case kModelPlus2A:
    case kModelPlus3:
      MapRom(m, 0);
      m.BankAt4000 = 5;
      MapRamSlot(m, 1, 5);
      m.BankAt8000 = 2;
      MapRamSlot(m, 2, 2);
      SetBankAtC000(m, 1);
      SetScreenBank(m, 5);
      m.Last1FFD = 2;
      m.romWriteProtect = 1;
      Write7FFDPlus3(m, 1);
      break;

    case kModel128K:
    case kModelPlus2: {
      const uint8_t x = m.Last7FFD;
      if (x & 0x20) m.PagingLock = 1;
      MapRom(m, (x >> 4) & 1);
      m.BankAt4000 = 5;
      MapRamSlot(m, 1, 5);
      m.BankAt8000 = 2;
      MapRamSlot(m, 2, 2);
      SetBankAtC000(m, x & 7);
      m.topSlotContended = x & 1;
      SetScreenBank(m, 5);
      Write7FFD128(m, x);  // nothing happens while locked: the screen stays in bank 5
      break;
    }

    default:  // 48K and Custom: ROM, then RAM linear from 0x4000 (banks 1-3 of the block)
      MapSlot(m, 0, m.RomBuffer48.data());
      MapSlot(m, 1, ram + 0x4000);
      MapSlot(m, 2, ram + 0x8000);
      MapSlot(m, 3, ram + 0xC000);
      m.RomNumber = 0;
      m.BankAt4000 = 5;
      m.BankAt8000 = 2;
      m.BankAtC000 = 0;
      m.ScreenBank = 5;
      m.ScreenPointer = ram + 0x4000;
      break;
  }

  if (m.CartridgeInserted && m.CartridgeImage.size() >= kBankSize) {
    // The cartridge at 0x0000 and a fresh 0xFF-filled area for the rest: the normal RAM is out of
    // sight until the cartridge is removed.
    m.EmptyPage16K.assign(65536, 0xFF);
    MapSlot(m, 0, m.CartridgeImage.data());
    for (int page = 2; page < 8; ++page)
      m.PageTable[page] = m.EmptyPage16K.data() + (page - 2) * kPageSize;
    m.ScreenPointer = m.EmptyPage16K.data();
  }
  UpdateWritePages(m);
}

void Write7FFD128(MachineState& m, uint8_t value) {
  if (Is48KGroup(m.MachineModel) || m.PagingLock) return;
  const bool plus2a = IsPlus2AFamily(m.MachineModel);
  m.Last7FFD = value;
  SetBankAtC000(m, value & 7);
  m.topSlotContended = plus2a ? (m.BankAtC000 >= 4) : (value & 1);
  SetScreenBank(m, (value & 0x08) ? 7 : 5);
  if (plus2a) m.RomLowBit = (value >> 4) & 1;  // keep the +2A/+3 routines' copy in step
  if (!m.MultifacePaged) {
    const uint8_t romBit = (value >> 4) & 1;
    MapRom(m, plus2a ? static_cast<uint8_t>(((m.Last1FFD >> 2) & 1) * 2 + romBit) : romBit);
    m.romWriteProtect = 1;
  }
  UpdateUlaSnow(m);
  if (value & 0x20) m.PagingLock = 1;
  UpdateWritePages(m);
}

void Write7FFDPlus3(MachineState& m, uint8_t value) {
  if (m.PagingLock) return;
  m.Last7FFD = value;
  SetScreenBank(m, (value & 0x08) ? 7 : 5);
  m.RomLowBit = (value >> 4) & 1;
  if (!m.SpecialMode) {
    m.BankAt4000 = 5;
    MapRamSlot(m, 1, 5);
    m.BankAt8000 = 2;
    MapRamSlot(m, 2, 2);
    SetBankAtC000(m, value & 7);
    m.topSlotContended = m.BankAtC000 >= 4;
    if (!m.MultifacePaged) {
      MapRom(m, static_cast<uint8_t>(((m.Last1FFD >> 1) & 2) | m.RomLowBit));
      m.romWriteProtect = 1;
    }
  }
  // In a special mode the banks stay where 0x1FFD put them, and so does their contention.
  if (value & 0x20) m.PagingLock = 1;
  UpdateWritePages(m);
}

void Write1FFD(MachineState& m, uint8_t value) {
  if (m.PagingLock) return;  // bit 5 of 0x1FFD itself locks nothing
  m.Last1FFD = value;
  if (m.MachineModel == kModelPlus3) m.OnDiskMotor((value & 0x08) != 0);

  if (value & 0x01) {
    const SpecialLayout& layout = kSpecialLayouts[(value >> 1) & 3];
    m.SpecialMode = 1;
    m.MultifacePaged = 0;
    m.romWriteProtect = 0;
    m.RomNumber = layout.banks[0];  // in a special mode: the RAM bank at 0x0000
    if (!PageTableFrozen(m)) MapSlot(m, 0, m.RamBlock.data() + layout.banks[0] * kBankSize);
    m.BankAt4000 = layout.banks[1];
    MapRamSlot(m, 1, layout.banks[1]);
    m.BankAt8000 = layout.banks[2];
    MapRamSlot(m, 2, layout.banks[2]);
    SetBankAtC000(m, layout.banks[3]);
    m.topSlotContended = layout.topContended;
  } else {
    if (m.SpecialMode) {
      m.BankAt4000 = 5;
      MapRamSlot(m, 1, 5);
      m.BankAt8000 = 2;
      MapRamSlot(m, 2, 2);
    }
    m.SpecialMode = 0;
    SetBankAtC000(m, m.Last7FFD & 7);
    m.topSlotContended = m.BankAtC000 > 3;
    SetScreenBank(m, (m.Last7FFD & 0x08) ? 7 : 5);
    if (!m.MultifacePaged) {
      MapRom(m, static_cast<uint8_t>(((value >> 1) & 2) | m.RomLowBit));
      m.romWriteProtect = 1;
    }
  }
  UpdateWritePages(m);
}

void RemapRomSlot(MachineState& m) {
  if (m.SpecialMode) return;
  if (Is48KGroup(m.MachineModel)) {
    MapRom(m, 0);
  } else if (IsPlus2AFamily(m.MachineModel)) {
    MapRom(m, static_cast<uint8_t>(((m.Last1FFD >> 1) & 2) | m.RomLowBit));
  } else {
    MapRom(m, (m.Last7FFD >> 4) & 1);
  }
  UpdateWritePages(m);
}

void SetMemoryTracking(MachineState& m, bool on) {
  m.MemoryTracking = on ? 1 : 0;
  if (on) {
    m.ReadMap.assign(65536, 0);
    m.WriteMap.assign(65536, 0);
  }
}

// ---- the slow sides of the memory cycles ----

uint8_t MachineState::CurrahOverlayRead(uint16_t address, uint8_t value) const {
  if (!settings.USpeech) return value;
  if (address < 0x0800) return CurrahRom.size() > address ? CurrahRom[address] : value;
  if (address == 0x1000) return CurrahBusy;
  return value;
}

void MachineState::TrackRead(uint16_t address, uint8_t value) {
  if (address >= 0x4000 && ReadMap.size() == 65536) ReadMap[address] = value;
}

void MachineState::TrackWrite(uint16_t address, uint8_t value) {
  if (address >= 0x4000 && WriteMap.size() == 65536) WriteMap[address] = value;
}

}  // namespace orvo
