#include "sound/ay_chip.h"

#include <cstdint>

namespace orvo {

const char* const kAyRegisterLabels[16] = {
    "Channel A fine pitch",
    "Channel A coarse pitch",
    "Channel B fine pitch",
    "Channel B coarse pitch",
    "Channel C fine pitch",
    "Channel C coarse pitch",
    "Noise pitch",
    "Mixer",
    "Channel A volume",
    "Channel B volume",
    "Channel C volume",
    "Envelope fine duration",
    "Envelope coarse duration",
    "Envelope shape",
    "I/O port A",
    "I/O port B",
};

// Measured output of the chip's 16 volume steps on a 12-bit scale; the volume table scales them
// by 1000/1024.
const uint16_t kAyVolumeBase[16] = {0,   54,   79,   111,  167,  255,  351,  559,
                                    671, 1071, 1471, 1839, 2327, 2879, 3455, 4095};

void AyChip::WriteData(uint8_t value) {
  CatchUp();  // the ticks so far ran with the old value
  const uint8_t reg = FoldSelected();
  if (reg == kAySlot16) {
    regs[kAySlot16] = value;
    return;
  }
  regs[reg] = value & kAyWriteMask[reg];
  if (reg == kAyEnvelopeShape) {
    // A shape write restarts the envelope: attack shapes (bit 2) climb from 0, the others fall
    // from 15.
    EnvelopeCounter = 0;
    if (value & 0x04) {
      EnvelopeState = kEnvelopeRising;
      EnvelopeLevel = 0;
    } else {
      EnvelopeState = kEnvelopeFalling;
      EnvelopeLevel = 15;
    }
  }
}

uint8_t AyChip::ReadData() {
  const uint8_t reg = FoldSelected();
  if (reg == kAyPortB && !(regs[kAyMixer] & 0x80)) return 255;
  return regs[reg];
}

void AyChip::Reset() {
  for (int r = 0; r < 14; ++r) regs[r] = 0;
  regs[kAyPortA] = 255;
  regs[kAyPortB] = 255;
  regs[kAySlot16] = 255;
  NoiseOutput = 0;
  EnvelopeLevel = 0;
  NoiseCounter = 0;
  NoisePeriod = 0;
  EnvelopeState = 0;
  EnvelopeDivider = 0;
  for (int c = 0; c < 3; ++c) {
    ToneOutput[c] = 0;
    ChannelLevel[c] = 0;
  }
  EnvelopeCounter = 0;
  NoiseLow = 0;
  NoiseHigh = 1;
  AySelectedRegister = 0;
}

void AyChip::StepEnvelope() {
  uint8_t s = EnvelopeState;
  uint8_t v = EnvelopeLevel;
  switch (regs[kAyEnvelopeShape] & 15) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 9:  // one fall, then held at 0
      if (s == kEnvelopeHeldLow) break;
      if (v == 0) {
        s = kEnvelopeHeldLow;
      } else {
        --v;
      }
      break;
    case 4:
    case 5:
    case 6:
    case 7:
    case 15:  // one rise, then held at 0
      if (s == kEnvelopeHeldLow) break;
      if (v == 15) {
        s = kEnvelopeHeldLow;
        v = 0;
      } else {
        ++v;
      }
      break;
    case 8:  // falling saw
      if (v == 0) {
        s = kEnvelopeFalling;
        v = 15;
      } else {
        --v;
      }
      break;
    case 10:  // triangle starting downwards
      if (s == kEnvelopeFalling) {
        if (v == 0) {
          s = kEnvelopeRising;
        } else {
          --v;
        }
      } else {
        if (v == 15) {
          s = kEnvelopeFalling;
        } else {
          ++v;
        }
      }
      break;
    case 11:  // one fall, then held at 15
      if (s == kEnvelopeHeldHigh) break;
      if (v == 0) {
        s = kEnvelopeHeldHigh;
        v = 15;
      } else {
        --v;
      }
      break;
    case 12:  // rising saw
      if (v == 15) {
        s = kEnvelopeRising;
        v = 0;
      } else {
        ++v;
      }
      break;
    case 13:  // one rise, then held at 15
      if (s == kEnvelopeHeldHigh) break;
      if (v == 15) {
        s = kEnvelopeHeldHigh;
      } else {
        ++v;
      }
      break;
    case 14:  // triangle starting upwards
      if (s == kEnvelopeRising) {
        if (v == 15) {
          s = kEnvelopeFalling;
        } else {
          ++v;
        }
      } else {
        if (v == 0) {
          s = kEnvelopeRising;
        } else {
          --v;
        }
      }
      break;
  }
  EnvelopeState = s;
  EnvelopeLevel = v;
}

void AyChip::Clock() {
  // Envelope: the generator runs at half the tick rate.
  EnvelopeDivider ^= 1;
  if (EnvelopeDivider != 0) {
    // The generator runs whether or not a channel listens to it. A period of 0 steps as often
    // as a period of 1.
    ++EnvelopeCounter;
    if (EnvelopeCounter >= EnvelopePeriod()) {
      EnvelopeCounter = 0;
      StepEnvelope();
    }
  }

  // Noise: clocked only while some channel listens to it. It steps at half the tone rate: a
  // period of n shifts it every 2n ticks, the clock / 16n of the chip's data sheet.
  if ((regs[kAyMixer] & 0x38) != 0x38) {
    ++NoiseCounter;
    if (NoiseCounter >= 2u * NoisePeriod) {
      NoiseCounter = 0;
      NoisePeriod = regs[kAyNoisePeriod] & 31;
      if (NoisePeriod == 0) NoisePeriod = 1;
      const uint32_t feedback = (NoiseHigh ^ (NoiseLow >> 15) ^ (NoiseLow >> 13)) & 1;
      NoiseOutput = NoiseLow & 1;
      NoiseLow = (NoiseLow >> 1) | (feedback << 31);
      NoiseHigh >>= 1;
    }
  }

  // Tone: a period of 0 counts as 1.
  for (int c = 0; c < 3; ++c) {
    ++ToneCounter[c];
    if (ToneCounter[c] >= EffectiveTonePeriod(c)) {
      ToneCounter[c] = 0;
      ToneOutput[c] ^= 1;
    }
  }
}

namespace {

// The tick on which a counter at `count` that adds 1 per tick (wrapping at `wrap`) first
// reaches `period` (at least 1).
inline uint32_t FirstReach(uint32_t count, uint32_t period, uint32_t wrap) {
  if (count == wrap) return period + 1;  // it wraps to 0 first
  return count + 1 >= period ? 1 : period - count;
}

// Counts `ticks` ticks on a counter that restarts at 0 each time it reaches `period` (at least
// 1): returns how often it did, and leaves the counter where the ticks end.
template <typename Counter>
inline uint32_t CountTicks(Counter& counter, uint32_t period, uint32_t ticks, uint32_t wrap) {
  const uint32_t first = FirstReach(counter, period, wrap);
  if (ticks < first) {
    counter = static_cast<Counter>(counter + ticks);
    return 0;
  }
  const uint32_t rest = ticks - first;
  if (rest < period) {  // the usual case, without a division
    counter = static_cast<Counter>(rest);
    return 1;
  }
  const uint32_t times = 1 + rest / period;
  counter = static_cast<Counter>(rest - (times - 1) * period);
  return times;
}

}  // namespace

void AyChip::Advance(uint32_t ticks) {
  if (ticks == 0) return;

  // Envelope: counted on the ticks that set the divider to 1, heard or not.
  const uint32_t envelopeTicks = EnvelopeDivider ? ticks / 2 : (ticks + 1) / 2;
  EnvelopeDivider ^= ticks & 1;
  {
    const uint32_t period = EnvelopePeriod();
    uint32_t steps;
    if (period == 0) {  // every count reaches it
      steps = envelopeTicks;
      if (steps) EnvelopeCounter = 0;
    } else {
      steps = CountTicks(EnvelopeCounter, period, envelopeTicks, 0xFFFF);
    }
    // A long run: held shapes stop changing after their first ramp, and the repeating ones
    // (saws and triangles) come back to the same state every 32 steps.
    if (steps > 64) {
      const bool repeating = (regs[kAyEnvelopeShape] & 0x09) == 0x08;
      steps = repeating ? 32 + steps % 32 : 64;
    }
    while (steps--) StepEnvelope();
  }

  // Noise: the first step comes at the latched period, the rest at register 6's.
  if ((regs[kAyMixer] & 0x38) != 0x38) {
    const uint32_t first = NoisePeriod == 0 ? 1 : FirstReach(NoiseCounter, 2u * NoisePeriod, 0xFF);
    if (ticks < first) {
      NoiseCounter = static_cast<uint8_t>(NoiseCounter + ticks);
    } else {
      NoisePeriod = regs[kAyNoisePeriod] & 31;
      if (NoisePeriod == 0) NoisePeriod = 1;
      const uint32_t span = 2u * NoisePeriod;
      uint32_t rest = ticks - first;
      uint32_t low = NoiseLow, high = NoiseHigh;
      for (;;) {
        const uint32_t feedback = (high ^ (low >> 15) ^ (low >> 13)) & 1;
        NoiseOutput = low & 1;
        low = (low >> 1) | (feedback << 31);
        high >>= 1;
        if (rest < span) break;
        rest -= span;
      }
      NoiseCounter = static_cast<uint8_t>(rest);
      NoiseLow = low;
      NoiseHigh = high;
    }
  }

  for (int c = 0; c < 3; ++c) {
    ToneOutput[c] ^= CountTicks(ToneCounter[c], EffectiveTonePeriod(c), ticks, 0xFFFF) & 1;
  }
}

void AyChip::UpdateChannelLevels(const uint16_t* volumeTable) {
  const uint32_t mixer = regs[kAyMixer];
  for (int c = 0; c < 3; ++c) {
    const uint32_t toneOff = (mixer >> c) & 1;
    const uint32_t noiseOff = (mixer >> (c + 3)) & 1;
    // Periods below 5 flip the output at 22 kHz and more, faster than any output rate samples
    // it: what is heard is the square wave's average, half the level.
    const uint32_t fast = !toneOff && TonePeriod(c) < 5;
    const uint32_t sounds = (ToneOutput[c] | toneOff | fast) & (NoiseOutput | noiseOff) & 1;
    const uint32_t volume = regs[kAyVolumeA + c];
    const uint32_t index = (volume & 0x10) ? EnvelopeLevel : (volume & 15);
    ChannelLevel[c] = static_cast<uint16_t>((volumeTable[index] & (0u - sounds)) >> fast);
  }
}

}  // namespace orvo
