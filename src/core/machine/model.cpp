#include "machine/model.h"

namespace orvo {

const ModelSpec ModelTable[kModelCount] = {
    {14336, 69888, 224, 16, 64, 48, 48, 96, 32, 32767, 0, 1, 3500000, " ZX Spectrum 16K", 0},
    {14336, 69888, 224, 16, 64, 48, 48, 96, 32, 65535, 0, 1, 3500000, " ZX Spectrum 48K/48K+", 0},
    {14362, 70908, 228, 15, 63, 48, 48, 104, 36, 65535, 0, 1, 3546900, " ZX Spectrum 128K", 0},
    {14362, 70908, 228, 15, 63, 48, 48, 104, 36, 65535, 0, 1, 3546900, " ZX Spectrum +2", 0},
    {14365, 70908, 228, 15, 63, 48, 48, 104, 32, 65535, 0, 1, 3546900, " ZX Spectrum +2A", 0},
    {14365, 70908, 228, 15, 63, 48, 48, 104, 32, 65535, 0, 1, 3546900, " ZX Spectrum +3", 0},
    {14336, 69888, 224, 16, 64, 48, 48, 96, 32, 65535, 0, 0, 3500000, " Custom", 0},
    // The Pentagon: 320 lines of 224 T-states (16 of frame sync, 64 of top border, 192 of
    // display, 48 of bottom border). The interrupt starts each frame at the beginning of a line's
    // horizontal sync, 68 T-states (sync and left border) before the column of the first display
    // fetch, which comes 80 lines later at 17988. Nothing contends.
    {17988, 71680, 224, 32, 80, 48, 48, 96, 36, 65535, 0, 1, 3500000, " Pentagon 128", 68},
};

const char* RomFileName(uint8_t model) {
  // The Pentagon's image holds its 128 editor ROM, then its 48 BASIC.
  static const char* const kFiles[kModelCount] = {"48k.rom",   "48k.rom",     "128k.rom",
                                                  "plus2.rom", "plus3.rom",   "plus3.rom",
                                                  nullptr,     "pentagon.rom"};
  return model < kModelCount ? kFiles[model] : nullptr;
}

uint32_t RomFileSize(uint8_t model) {
  return RomBufferSize(model);
}

uint32_t RomBufferSize(uint8_t model) {
  if (model == kModel128K || model == kModelPlus2 || model == kModelPentagon) return 32768;
  if (IsPlus2AFamily(model)) return 65536;
  return 16384;
}

const char* const RomDisplayNames[kModelCount] = {"48k.ROM",   "48k.ROM",     "128k.ROM",
                                                  "Plus2.ROM", "Plus3.ROM",   "Plus3.ROM",
                                                  nullptr,     "Pentagon.ROM"};

// The ULA holds the CPU while it fetches a bitmap and attribute pair; the delay depends on where
// in its 8-T-state fetch cycle the access falls.
const uint8_t ContentionPattern48[8] = {5, 4, 3, 2, 1, 0, 0, 6};
const uint8_t ContentionPatternPlus3[8] = {5, 4, 3, 2, 1, 0, 7, 6};

uint16_t KeyWaitAddressFor(uint8_t model) {
  switch (model) {
    case kModel128K:
    case kModelPentagon: return 0x3683;  // the Pentagon's editor ROM is the 128K's, patched
    case kModelPlus2: return 0x36A9;
    case kModelPlus2A:
    case kModelPlus3: return 0x1875;
    default: return 0x10B0;
  }
}

const char* const SzxMachineNames[kSzxMachineNameCount] = {
    "16k ZX Spectrum",       "48k ZX Spectrum",       "ZX Spectrum 128",   "ZX Spectrum +2",
    "ZX Spectrum +2A / +2B", "ZX Spectrum +3",        "ZX Spectrum +3e",   "Pentagon 128",
    "Timex Sinclair TC2048", "Timex Sinclair TC2068", "Scorpion ZS - 256", "ZX Spectrum SE",
    "Timex Sinclair TS2068", "Pentagon 512",          "Pentagon 1024",     "48k ZX Spectrum(NTSC)",
    "ZX Spectrum 128Ke",
};

}  // namespace orvo
