#pragma once
// The speech units' playing state. Both count emulated time from the T-state they last advanced
// at, so they keep their pace whatever the sound output's rate, and catch up at the frame end
// when no sound is generated.
#include <cstdint>

namespace orvo {

struct SpeechUnitState {
  // Currah µSpeech.
  int32_t CurrahCode = -1;         // the allophone index playing, -1 for a pause
  uint32_t CurrahPosition = 0;     // next sample of the allophone
  uint32_t CurrahRemaining = 0;    // speech samples still to play
  uint32_t CurrahAccumulator = 0;  // T-states towards the next speech sample
  uint32_t CurrahStep = 153;       // T-states per speech sample
  uint8_t CurrahIntonation = 2;    // index of the normal step
  int32_t CurrahLastTState = 0;
  // Fuller Orator.
  int32_t OratorCode = -1;
  uint32_t OratorPosition = 0;
  uint32_t OratorRemaining = 0;
  uint32_t OratorPause = 0;
  uint32_t OratorAccumulator = 0;
  uint8_t OratorBusy = 0;
  int32_t OratorLastTState = 0;
};

}  // namespace orvo
