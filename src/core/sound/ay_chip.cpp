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
    ++EnvelopeCounter;
    const bool envelopeUsed =
        ((regs[kAyVolumeA] | regs[kAyVolumeB] | regs[kAyVolumeC]) & 0x10) != 0;
    // A period of 0 steps as often as a period of 1.
    if (envelopeUsed && EnvelopeCounter >= EnvelopePeriod()) {
      EnvelopeCounter = 0;
      StepEnvelope();
    }
  }

  // Noise: clocked only while some channel listens to it.
  if ((regs[kAyMixer] & 0x38) != 0x38) {
    ++NoiseCounter;
    if (NoiseCounter >= NoisePeriod) {
      NoiseCounter = 0;
      NoisePeriod = regs[kAyNoisePeriod] & 31;
      if (NoisePeriod == 0) NoisePeriod = 1;
      const uint32_t feedback = (NoiseHigh ^ (NoiseLow >> 15) ^ (NoiseLow >> 13)) & 1;
      NoiseOutput = NoiseLow & 1;
      NoiseLow = (NoiseLow >> 1) | (feedback << 31);
      NoiseHigh >>= 1;
    }
  }

  // Tone: periods 0 to 4 leave the output where it is.
  for (int c = 0; c < 3; ++c) {
    ++ToneCounter[c];
    const uint16_t period = TonePeriod(c);
    if (period >= 5 && ToneCounter[c] >= period) {
      ToneCounter[c] = 0;
      ToneOutput[c] ^= 1;
    }
  }
}

void AyChip::Advance(uint32_t ticks) {
  if (ticks == 0) return;

  // Envelope: counted on the ticks that set the divider to 1.
  const uint32_t envelopeTicks = EnvelopeDivider ? ticks / 2 : (ticks + 1) / 2;
  EnvelopeDivider ^= ticks & 1;
  if ((regs[kAyVolumeA] | regs[kAyVolumeB] | regs[kAyVolumeC]) & 0x10) {
    const uint16_t period = EnvelopePeriod();
    for (uint32_t i = 0; i < envelopeTicks; ++i) {
      if (++EnvelopeCounter >= period) {
        EnvelopeCounter = 0;
        StepEnvelope();
      }
    }
  } else {
    EnvelopeCounter = static_cast<uint16_t>(EnvelopeCounter + envelopeTicks);
  }

  // Noise.
  if ((regs[kAyMixer] & 0x38) != 0x38) {
    for (uint32_t i = 0; i < ticks; ++i) {
      if (++NoiseCounter >= NoisePeriod) {
        NoiseCounter = 0;
        NoisePeriod = regs[kAyNoisePeriod] & 31;
        if (NoisePeriod == 0) NoisePeriod = 1;
        const uint32_t feedback = (NoiseHigh ^ (NoiseLow >> 15) ^ (NoiseLow >> 13)) & 1;
        NoiseOutput = NoiseLow & 1;
        NoiseLow = (NoiseLow >> 1) | (feedback << 31);
        NoiseHigh >>= 1;
      }
    }
  }

  // Tone: the output flips on the tick its counter reaches the period, then every period ticks.
  for (int c = 0; c < 3; ++c) {
    const uint32_t period = TonePeriod(c);
    const uint32_t count = ToneCounter[c];
    uint32_t first;  // the tick of the next flip
    if (period < 5) {
      first = UINT32_MAX;
    } else if (count == 0xFFFF) {
      first = period + 1;  // the counter wraps to 0 first
    } else {
      first = count + 1 >= period ? 1 : period - count;
    }
    if (ticks < first) {
      ToneCounter[c] = static_cast<uint16_t>(count + ticks);
      continue;
    }
    const uint32_t flips = 1 + (ticks - first) / period;
    ToneCounter[c] = static_cast<uint16_t>(ticks - first - (flips - 1) * period);
    ToneOutput[c] ^= flips & 1;
  }
}

void AyChip::UpdateChannelLevels(const uint16_t* volumeTable) {
  const uint32_t mixer = regs[kAyMixer];
  for (int c = 0; c < 3; ++c) {
    const uint32_t toneOff = (mixer >> c) & 1;
    const uint32_t noiseOff = (mixer >> (c + 3)) & 1;
    const uint32_t sounds = (ToneOutput[c] | toneOff) & (NoiseOutput | noiseOff) & 1;
    const uint32_t volume = regs[kAyVolumeA + c];
    const uint32_t index = (volume & 0x10) ? EnvelopeLevel : (volume & 15);
    ChannelLevel[c] = static_cast<uint16_t>(volumeTable[index] & (0u - sounds));
  }
}

}  // namespace orvo
