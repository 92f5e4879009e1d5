#pragma once
// The layers of the memory map. The model's own ROM and RAM paging is the base; add-ons lay
// overlays over it in a fixed order, each covering some of the eight 8 KB pages. Whenever a layer
// changes, the layers are resolved into the page pointers the memory accessors use, so an access
// is a pointer lookup whatever is fitted.
#include <array>
#include <cstdint>

namespace orvo {

struct MachineState;

// From the bottom up: a layer hides what lies beneath it on the pages it covers.
enum class OverlayLayer : uint8_t {
  kInterface2,  // a ROM cartridge, with its own blank RAM in place of the machine's
  kMultiface,   // ROM and RAM over 0x0000-0x3FFF after its NMI button
  kInterface1,  // its ROM over 0x0000-0x1FFF while the shadow ROM is paged in
  kUSpeech,     // the µSpeech's ROM over 0x0000-0x07FF, and its registers below 0x4000
  kBeta128,     // the TR-DOS ROM over 0x0000-0x3FFF while the Beta 128 has paged it in
};
constexpr int kOverlayLayerCount = 5;

// What one layer does to one 8 KB page.
//   read set:   reads see this page; writes go to it too unless the machine protects the page
//               (the ROM below 0x4000 while romWriteProtect is set, the 16K's missing memory).
//   write set:  writes go here whatever the protection (a RAM that is writable while visible, or
//               a sink for a device's registers).
//   both null:  the page is left to the layers beneath.
struct OverlayPage {
  uint8_t* read = nullptr;
  uint8_t* write = nullptr;
};

struct MemoryOverlay {
  std::array<OverlayPage, 8> pages{};
  // The ULA shows this instead of the machine's screen bank (null: the screen bank).
  uint8_t* screen = nullptr;
  // For a layer that covers only part of a page: builds the layer's page image from `below`,
  // the page the layers beneath resolve to. Called at every resolve, for the pages whose read is
  // set.
  void (*BuildPage)(MachineState& m, int page, const uint8_t* below) = nullptr;
};

}  // namespace orvo
