#pragma once
// The models and their per-model constants.
#include <cstdint>

namespace orvo {

enum Model : uint8_t {
  kModel16K = 0,
  kModel48K = 1,
  kModel128K = 2,
  kModelPlus2 = 3,
  kModelPlus2A = 4,
  kModelPlus3 = 5,
  kModelCustom = 6,
  kModelPentagon = 7,
};
constexpr int kModelCount = 8;

// One row of the model table: the frame geometry and start values of one model.
struct ModelSpec {
  uint32_t firstDisplayTState;  // first display fetch; origin of the contention tables
  uint32_t tstatesPerFrame;     // FrameLength
  uint32_t tstatesPerLine;
  uint32_t firstVisibleLine;   // scan line drawn as the top row of the picture
  uint32_t firstDisplayLine;   // scan line of display row 0
  uint32_t displayLeftOffset;  // picture column of the first display pixel
  uint32_t borderLeftWidth;
  uint32_t retraceWidth;      // pixels of horizontal retrace per line
  uint32_t interruptLength;   // T-states the INT line stays active from the frame start
  uint32_t ramTop;            // highest RAM address
  uint32_t topSlotContended;  // start value of the live flag
  uint32_t romWriteProtect;   // start value of the live flag
  uint32_t cpuClockHz;        // nominal Z80 clock
  const char* modelName;      // status bar text, with its leading blank
  // Frame T-state at which the picture's scan lines begin: the lines are counted from the first
  // display fetch's column, which on most models falls where the frame starts a line.
  uint32_t pictureOrigin;
};

extern const ModelSpec ModelTable[kModelCount];

// The ROM image each model loads from the ROM folder ("48k.rom", ...); the Custom model loads the
// file named by its setting instead and reports nullptr here.
const char* RomFileName(uint8_t model);
// Bytes the model's ROM file must hold (Custom: 16384, or 32768 which is also accepted).
uint32_t RomFileSize(uint8_t model);
// Bytes of the ROM buffer the model maps from: 16384 for 16K, 48K and Custom, 32768 for 128K,
// +2 and Pentagon, 65536 for +2A and +3.
uint32_t RomBufferSize(uint8_t model);
// The ROM names the options sheet and the configuration show (nullptr for Custom).
extern const char* const RomDisplayNames[kModelCount];

// Extra T-states of a contended access by (column mod 8) in the display window.
extern const uint8_t ContentionPattern48[8];     // 16K, 48K, 128K, +2, Custom
extern const uint8_t ContentionPatternPlus3[8];  // +2A, +3

// ROM address of the keyboard wait loop, where typed-in text is delivered (all but Custom).
uint16_t KeyWaitAddressFor(uint8_t model);

// Names of the SZX machine identifiers 0 to 16, for the snapshot analyser's report. These are
// file identifiers, not emulated models.
constexpr int kSzxMachineNameCount = 17;
extern const char* const SzxMachineNames[kSzxMachineNameCount];

// The models with the 128K's memory paging at 0x7FFD (the Pentagon among them).
inline bool Is128KFamily(uint8_t model) {
  return (model >= kModel128K && model <= kModelPlus3) || model == kModelPentagon;
}
inline bool IsPlus2AFamily(uint8_t model) {
  return model == kModelPlus2A || model == kModelPlus3;
}
inline bool Is48KGroup(uint8_t model) {
  return model == kModel16K || model == kModel48K || model == kModelCustom;
}
// Models whose contention moves one T-state later with "Late Timing".
inline bool HonoursLateTiming(uint8_t model) {
  return model <= kModelPlus2;
}

}  // namespace orvo
