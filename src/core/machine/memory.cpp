// The memory map. Every Z80 access goes through eight 8 KB page pointers. They are resolved from
// layers: the base, where the paging registers of the 128K family point 16 KB slots at ROMs and RAM
// banks, and the add-ons' overlays above it (machine/memory_layers.h).
#include "machine/memory.h"

#include <algorithm>

#include "devices/currah.h"
#include "devices/device.h"
#include "devices/speech.h"
#include "machine/machine_state.h"
#include "video/ula.h"

namespace orvo {

namespace {

constexpr uint32_t kBankSize = 16384;
constexpr uint32_t kPageSize = 8192;

void MapSlot(MachineState& m, int slot, uint8_t* base) {
  m.BasePages[2 * slot] = base;
  m.BasePages[2 * slot + 1] = base + kPageSize;
}

void MapRamSlot(MachineState& m, int slot, uint8_t bank) {
  MapSlot(m, slot, m.RamBlock.data() + (bank & 7) * kBankSize);
}

// ROM r of the model at 0x0000, write-protected.
void MapRom(MachineState& m, uint8_t rom) {
  m.RomNumber = rom;
  m.romWriteProtect = 1;
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
  m.BaseScreen = m.RamBlock.data() + bank * kBankSize;
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

void ResolveMemoryMap(MachineState& m) {
  uint8_t* const sink = m.WriteSink.data();
  for (int page = 0; page < 8; ++page) {
    // The ROM while it is protected, and the 16K's missing upper memory (which reads 0xFF), lose
    // their writes whatever is paged there.
    const bool protectedPage =
        (page < 2 && m.romWriteProtect) || (page >= 4 && m.MachineModel == kModel16K);
    uint8_t* read = m.BasePages[page];
    uint8_t* write = protectedPage ? sink : read;
    for (int layer = 0; m.OverlaysMapped >> layer; ++layer) {
      if (!((m.OverlaysMapped >> layer) & 1)) continue;
      MemoryOverlay& overlay = m.Overlays[layer];
      const OverlayPage& p = overlay.pages[page];
      if (p.read) {
        if (overlay.BuildPage) overlay.BuildPage(m, page, read);
        read = p.read;
        write = protectedPage ? sink : read;
      }
      if (p.write) write = p.write;
    }
    m.PageTable[page] = read;
    m.WritePages[page] = write;
  }
  uint8_t* screen = m.BaseScreen;
  for (int layer = 0; layer < kOverlayLayerCount; ++layer) {
    if (((m.OverlaysMapped >> layer) & 1) && m.Overlays[layer].screen)
      screen = m.Overlays[layer].screen;
  }
  m.ScreenPointer = screen;
  m.FetchTraps.Remap(m.PageTable);
}

void MapOverlay(MachineState& m, OverlayLayer layer, const MemoryOverlay& overlay) {
  const int i = static_cast<int>(layer);
  m.Overlays[i] = overlay;
  m.OverlaysMapped = static_cast<uint8_t>(m.OverlaysMapped | (1u << i));
  ResolveMemoryMap(m);
}

void UnmapOverlay(MachineState& m, OverlayLayer layer) {
  const int i = static_cast<int>(layer);
  if (!OverlayMapped(m, layer)) return;
  m.Overlays[i] = MemoryOverlay{};
  m.OverlaysMapped = static_cast<uint8_t>(m.OverlaysMapped & ~(1u << i));
  ResolveMemoryMap(m);
}

bool OverlayMapped(const MachineState& m, OverlayLayer layer) {
  return (m.OverlaysMapped >> static_cast<int>(layer)) & 1;
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
      for (int page = 4; page < 8; ++page) m.BasePages[page] = m.EmptyPage16K.data();
      m.RomNumber = 0;
      m.BankAt4000 = 5;
      m.BankAt8000 = 2;
      m.BankAtC000 = 0;
      m.ScreenBank = 5;
      m.BaseScreen = ram + 0x4000;
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
    case kModelPlus2:
    case kModelPentagon: {
      const uint8_t x = m.Last7FFD;
      if (x & 0x20) m.PagingLock = 1;
      MapRom(m, (x >> 4) & 1);
      m.BankAt4000 = 5;
      MapRamSlot(m, 1, 5);
      m.BankAt8000 = 2;
      MapRamSlot(m, 2, 2);
      SetBankAtC000(m, x & 7);
      m.topSlotContended = m.MachineModel == kModelPentagon ? 0 : x & 1;
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
      m.BaseScreen = ram + 0x4000;
      break;
  }

  // The add-ons whose memory starts afresh with the machine's (an Interface II cartridge's blank
  // RAM) map it again.
  for (const Device* device : m.Devices) {
    if (device->MemoryReset) device->MemoryReset(m);
  }
  ResolveMemoryMap(m);
}

void Write7FFD128(MachineState& m, uint8_t value) {
  if (Is48KGroup(m.MachineModel) || m.PagingLock) return;
  const bool plus2a = IsPlus2AFamily(m.MachineModel);
  m.Last7FFD = value;
  SetBankAtC000(m, value & 7);
  m.topSlotContended = plus2a                             ? (m.BankAtC000 >= 4)
                       : m.MachineModel == kModelPentagon ? 0
                                                          : (value & 1);
  SetScreenBank(m, (value & 0x08) ? 7 : 5);
  if (plus2a) m.RomLowBit = (value >> 4) & 1;  // keep the +2A/+3 routines' copy in step
  const uint8_t romBit = (value >> 4) & 1;
  MapRom(m, plus2a ? static_cast<uint8_t>(((m.Last1FFD >> 2) & 1) * 2 + romBit) : romBit);
  UpdateUlaSnow(m);
  if (value & 0x20) m.PagingLock = 1;
  ResolveMemoryMap(m);
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
    MapRom(m, static_cast<uint8_t>(((m.Last1FFD >> 1) & 2) | m.RomLowBit));
  }
  // In a special mode the banks stay where 0x1FFD put them, and so does their contention.
  if (value & 0x20) m.PagingLock = 1;
  ResolveMemoryMap(m);
}

void Write1FFD(MachineState& m, uint8_t value) {
  if (m.PagingLock) return;  // bit 5 of 0x1FFD itself locks nothing
  m.Last1FFD = value;
  if (m.MachineModel == kModelPlus3) m.OnDiskMotor((value & 0x08) != 0);

  if (value & 0x01) {
    const SpecialLayout& layout = kSpecialLayouts[(value >> 1) & 3];
    m.SpecialMode = 1;
    // The all-RAM modes take 0x0000 from the Multiface too.
    m.Overlays[static_cast<int>(OverlayLayer::kMultiface)] = MemoryOverlay{};
    m.OverlaysMapped &= static_cast<uint8_t>(~(1u << static_cast<int>(OverlayLayer::kMultiface)));
    m.romWriteProtect = 0;
    m.RomNumber = layout.banks[0];  // in a special mode: the RAM bank at 0x0000
    MapSlot(m, 0, m.RamBlock.data() + layout.banks[0] * kBankSize);
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
    MapRom(m, static_cast<uint8_t>(((value >> 1) & 2) | m.RomLowBit));
  }
  ResolveMemoryMap(m);
}

void SetMemoryTracking(MachineState& m, bool on) {
  m.MemoryTracking =
      static_cast<uint8_t>((m.MemoryTracking & ~kTrackMemoryMap) | (on ? kTrackMemoryMap : 0));
  if (on) {
    m.ReadMap.assign(65536, 0);
    m.WriteMap.assign(65536, 0);
  }
}

// ---- the memory map tool ----

void SetUSpeechReadWatch(MachineState& m, bool on) {
  m.MemoryTracking = static_cast<uint8_t>((m.MemoryTracking & ~kTrackUSpeechToggle) |
                                          (on ? kTrackUSpeechToggle : 0));
}

void MachineState::TrackRead(uint16_t address, uint8_t value) {
  // The µSpeech flips its ROM on a read of 0x0038 after the byte has been read.
  if (address == kUSpeechToggleAddress && (MemoryTracking & kTrackUSpeechToggle))
    USpeechToggle(*this);
  if (address >= 0x4000 && (MemoryTracking & kTrackMemoryMap) && ReadMap.size() == 65536)
    ReadMap[address] = value;
}

void MachineState::TrackWrite(uint16_t address, uint8_t value) {
  if (address < 0x4000 && (MemoryTracking & kTrackUSpeechToggle))
    USpeechMemoryWrite(*this, address, value);
  if (address >= 0x4000 && (MemoryTracking & kTrackMemoryMap) && WriteMap.size() == 65536)
    WriteMap[address] = value;
}

}  // namespace orvo
