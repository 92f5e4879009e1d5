#include "tools/memory_map.h"

#include "machine/machine_state.h"

namespace orvo {

namespace {

bool Inside(const uint8_t* p, const std::vector<uint8_t>& v) {
  return !v.empty() && p >= v.data() && p < v.data() + v.size();
}

const char* OverlayName(int layer) {
  switch (static_cast<OverlayLayer>(layer)) {
    case OverlayLayer::kInterface2: return "Interface II";
    case OverlayLayer::kMultiface: return "Multiface";
    case OverlayLayer::kInterface1: return "Interface 1";
    case OverlayLayer::kUSpeech: return "uSpeech";
    case OverlayLayer::kBeta128: return "TR-DOS";
  }
  return "device";
}

}  // namespace

MemoryMapModel BuildMemoryMap(const MachineState& m) {
  MemoryMapModel model;
  model.banked = Is128KFamily(m.MachineModel);
  model.screenBank = m.ScreenBank;
  model.bankPagedAt.fill(-1);
  for (int page = 0; page < 8; ++page) {
    PageInfo& info = model.pages[static_cast<size_t>(page)];
    const uint8_t* p = m.PageTable[page];
    const auto address = static_cast<uint16_t>(page << 13);
    info.contended = m.IsContended(address);
    info.writable = m.WritePages[page] == m.PageTable[page];
    if (Inside(p, m.RamBlock)) {
      const auto at = static_cast<int>(p - m.RamBlock.data());
      info.kind = PageKind::Ram;
      info.bank = at / 16384;
      info.offset = (at % 16384) / 8192;
      if (info.offset == 0 && model.bankPagedAt[static_cast<size_t>(info.bank)] < 0)
        model.bankPagedAt[static_cast<size_t>(info.bank)] = address;
    } else if (Inside(p, m.RomBuffer128)) {
      info.kind = PageKind::Rom;
      info.bank = static_cast<int>(p - m.RomBuffer128.data()) / 16384;
    } else if (Inside(p, m.RomBuffer48)) {
      info.kind = PageKind::Rom;
      info.bank = 0;
    } else {
      // The topmost mapped overlay that covers the page owns it.
      for (int layer = kOverlayLayerCount - 1; layer >= 0; --layer) {
        if ((m.OverlaysMapped >> layer & 1) &&
            m.Overlays[static_cast<size_t>(layer)].pages[static_cast<size_t>(page)].read) {
          info.kind = PageKind::Device;
          info.device = OverlayName(layer);
          break;
        }
      }
    }
  }
  return model;
}

std::string PageLabel(const PageInfo& page) {
  switch (page.kind) {
    case PageKind::Rom: return "ROM " + std::to_string(page.bank);
    case PageKind::Ram: return "RAM " + std::to_string(page.bank);
    case PageKind::Device: return page.device;
    case PageKind::Missing: return "none";
  }
  return {};
}

}  // namespace orvo
