#pragma once
// The Memory Map tool's model: what each 8 KB page of the Z80's 64 KB shows now (which ROM or
// RAM bank, or a device's memory), whether it is contended and writable, and where each 128K
// bank is paged.
#include <array>
#include <cstdint>
#include <string>

namespace orvo {

struct MachineState;

enum class PageKind : uint8_t { Rom, Ram, Device, Missing };

struct PageInfo {
  PageKind kind = PageKind::Missing;
  int bank = -1;   // ROM number or RAM bank; -1 for a device page
  int offset = 0;  // which 8 KB half of the bank
  bool contended = false;
  bool writable = false;
  std::string device;  // the add-on whose memory shows here ("Interface 1", ...)
};

struct MemoryMapModel {
  std::array<PageInfo, 8> pages;
  std::array<int, 8> bankPagedAt{};  // the address each RAM bank shows at, -1 when not paged
  int screenBank = 5;
  bool banked = false;  // a 128K-family model with eight banks
};

MemoryMapModel BuildMemoryMap(const MachineState& m);
// "ROM 0", "RAM 5", "Interface 1", ... for a page.
std::string PageLabel(const PageInfo& page);

}  // namespace orvo
