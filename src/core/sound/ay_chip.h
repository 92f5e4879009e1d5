#pragma once
// The AY-3-8912: register file, tone, noise and envelope generators. The chip is clocked by
// emulated T-states: one AY tick is 16 T-states on every model.
//
// The instruction loop only adds each instruction's T-states to AyAccumulator; the ticks they
// amount to are run in one go when something looks at or changes the generators: before every
// output sample and before every register write. The outputs are the same as ticking after every
// instruction, at a fraction of the cost.
#include <cstdint>

namespace orvo {

// Envelope generator states.
enum AyEnvelopeState : uint8_t {
  kEnvelopeFalling = 0,
  kEnvelopeRising = 1,
  kEnvelopeHeldLow = 2,
  kEnvelopeHeldHigh = 3,
};

// Register numbers.
enum AyRegister : uint8_t {
  kAyToneFineA = 0,
  kAyToneCoarseA = 1,
  kAyToneFineB = 2,
  kAyToneCoarseB = 3,
  kAyToneFineC = 4,
  kAyToneCoarseC = 5,
  kAyNoisePeriod = 6,
  kAyMixer = 7,
  kAyVolumeA = 8,
  kAyVolumeB = 9,
  kAyVolumeC = 10,
  kAyEnvelopeFine = 11,
  kAyEnvelopeCoarse = 12,
  kAyEnvelopeShape = 13,
  kAyPortA = 14,
  kAyPortB = 15,
  kAySlot16 = 16,  // holds data written while a number above 15 is selected
};

// What a data write keeps of the value, per register.
inline constexpr uint8_t kAyWriteMask[16] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                                             0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};

// The labels the debugger's AY view shows for registers 0..15.
extern const char* const kAyRegisterLabels[16];

// The output level of each of the 16 volume steps.
extern const uint16_t kAyVolumeBase[16];

struct AyChip {
  // The register file in the order snapshots store it, followed by the generators' state. The
  // values are those of a sound initialisation.
  uint8_t regs[17] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255};
  uint8_t NoiseOutput = 0;      // 0 or 1
  uint8_t EnvelopeLevel = 0;    // 0..15
  uint8_t NoiseCounter = 0;     // AY ticks since the last noise step
  uint8_t NoisePeriod = 0;      // period latched at the last noise step (1..31; 0 after reset)
  uint8_t EnvelopeState = 0;    // AyEnvelopeState
  uint8_t EnvelopeDivider = 0;  // toggles every tick; the envelope runs on every second one
  uint8_t ToneOutput[3] = {0, 0, 0};
  uint16_t ChannelLevel[3] = {0, 0, 0};  // amplitude of A, B, C for the current sample
  uint16_t ToneCounter[3] = {0, 0, 0};   // ticks since each channel's output last flipped
  uint16_t EnvelopeCounter = 0;          // envelope-rate ticks since the last envelope step
  uint32_t NoiseLow = 0;                 // the 64-bit noise shift register, low word
  uint32_t NoiseHigh = 1;                // and high word
  uint8_t AySelectedRegister = 0;        // 0..16; the Fuller Box may store any byte here
  uint32_t AyAccumulator = 0;  // T-states fed in; each 16 beyond the last 16 is a tick still due
  uint8_t GateClosed = 0;      // the chip is absent (16K/48K without AY48K): due ticks are dropped

  // Register-select port (0xFFFD decode): numbers above 15 select slot 16.
  void Select(uint8_t value) { AySelectedRegister = value > 15 ? 16 : (value & 15); }
  // The Fuller Box's select port keeps the whole byte; the next read or write folds a number
  // above 15 to 16.
  void SelectFuller(uint8_t value) { AySelectedRegister = value; }
  // Data-port write (0xBFFD decode): masked store, and the envelope restart of register 13.
  void WriteData(uint8_t value);
  // Data-port read: register 15 reads 255 unless port B is set to output.
  uint8_t ReadData();

  // Sound initialisation: registers 0-13 to 0, 14, 15 and slot 16 to 255, generators to rest,
  // noise register 1 << 32. The tone counters keep their values.
  void Reset();
  // Frame end: a value left in slot 16 decays by half each frame.
  void HalveSlot16() { regs[kAySlot16] >>= 1; }

  uint16_t TonePeriod(int channel) const {
    return static_cast<uint16_t>((regs[2 * channel + 1] << 8) | regs[2 * channel]);
  }
  // The tone counter's period: 0 counts as 1.
  uint16_t EffectiveTonePeriod(int channel) const {
    const uint16_t period = TonePeriod(channel);
    return period == 0 ? 1 : period;
  }
  uint16_t EnvelopePeriod() const {
    return static_cast<uint16_t>((regs[kAyEnvelopeCoarse] << 8) | regs[kAyEnvelopeFine]);
  }

  // One AY tick (16 T-states) of the envelope, noise and tone generators; the 48K gating is the
  // caller's (AyTick in sound/sound.h).
  void Clock();
  // `ticks` ticks at once: the same as calling Clock() that many times.
  void Advance(uint32_t ticks);
  // Runs the ticks still due: one per 16 T-states while AyAccumulator, less `pending` T-states
  // that belong to an instruction not yet accounted for, is above 16.
  void CatchUp(uint32_t pending = 0) {
    const uint32_t fed = AyAccumulator - pending;
    if (fed <= 16) return;
    const uint32_t ticks = (fed - 1) >> 4;
    AyAccumulator -= ticks << 4;
    if (!GateClosed) Advance(ticks);
  }
  // The three channel levels from the generator outputs, the mixer and the volume registers.
  void UpdateChannelLevels(const uint16_t* volumeTable);

 private:
  void StepEnvelope();
  uint8_t FoldSelected() {
    if (AySelectedRegister > 15) AySelectedRegister = 16;
    return AySelectedRegister;
  }
};

}  // namespace orvo
