#pragma once
// The speech units' sound tables, made by a small formant synthesizer when first asked for: each
// allophone or phoneme is a recipe of three vocal-tract resonances (moving from a start to an end
// position for diphthongs and glides), a voiced source, a noise source for fricatives and bursts,
// and a length. The samples are 8-bit unsigned, 128 being silence.
#include <cstdint>
#include <vector>

namespace orvo {

struct SpeechSound {
  std::vector<uint8_t> samples;
  uint16_t pause = 0;  // silent output samples after it (the Orator's pauses)
};

// The Currah µSpeech's 59 allophones, codes 5 to 63 at index code - 5, rendered at the rate of its
// default intonation (one sample per 153 T-states).
const std::vector<SpeechSound>& CurrahAllophones();
// The Fuller Orator's 64 phonemes, rendered at one sample per 350 T-states.
const std::vector<SpeechSound>& OratorPhonemes();

}  // namespace orvo
