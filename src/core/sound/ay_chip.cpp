#include "sound/ay_chip.h"

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

void AyChip::RunTicks(uint32_t& accumulator) {
  while (accumulator > 16) {
    accumulator -= 16;
    Clock();
  }
}

void AyChip::UpdateChannelLevels(const uint16_t* volumeTable) {
  const uint8_t mixer = regs[kAyMixer];
  for (int c = 0; c < 3; ++c) {
    const uint8_t toneOff = (mixer >> c) & 1;
    const uint8_t noiseOff = (mixer >> (c + 3)) & 1;
    if ((ToneOutput[c] | toneOff) & (NoiseOutput | noiseOff)) {
      const uint8_t volume = regs[kAyVolumeA + c];
      ChannelLevel[c] = volumeTable[(volume & 0x10) ? EnvelopeLevel : (volume & 15)];
    } else {
      ChannelLevel[c] = 0;
    }
  }
}

}  // namespace orvo
