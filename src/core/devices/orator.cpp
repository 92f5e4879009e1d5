// The Fuller Orator speech unit (48K group): a write to low byte 0x9F starts phoneme value & 63 at
// once, cutting short any phoneme in progress; a read of low byte 0xBF tells it the program is
// waiting for it, and any other read makes it busy again. It speaks one sample every 350 T-states.
#include "devices/speech.h"
#include "devices/speech_synth.h"
#include "devices/standard_devices.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

constexpr uint32_t kOratorStep = 350;

void OratorSpeechStep(MachineState& m) {
  SpeechUnitState& s = m.speech;
  s.OratorAccumulator += SpeechElapsed(m, s.OratorLastTState);
  if (s.OratorRemaining == 0) {
    s.OratorAccumulator = 0;
    if (s.OratorPause != 0) {
      s.OratorBusy = 1;
      --s.OratorPause;
    } else {
      s.OratorBusy = 0;
    }
    return;
  }
  const std::vector<uint8_t>& samples = OratorPhonemes()[static_cast<size_t>(s.OratorCode)].samples;
  while (s.OratorRemaining != 0 && s.OratorAccumulator >= kOratorStep) {
    s.OratorAccumulator -= kOratorStep;
    --s.OratorRemaining;
    if (s.OratorPosition < samples.size())
      m.sound.SpeechLevel = SpeechLevelOf(samples[s.OratorPosition++]);
  }
}

void PhonemeWrite(MachineState& m, uint16_t, uint8_t value) {
  SpeechUnitState& s = m.speech;
  const SpeechSound& sound = OratorPhonemes()[value & 63];
  s.OratorCode = value & 63;
  s.OratorPosition = 0;
  s.OratorRemaining = static_cast<uint32_t>(sound.samples.size());
  s.OratorPause = sound.pause;
  s.OratorAccumulator = 0;
  s.OratorLastTState = static_cast<int32_t>(m.FrameTState);
  s.OratorBusy = 1;
}

// The unit watches every read on the bus: a read of low byte 0xBF tells it the program waits for
// it (ready for the next phoneme), any other read marks it busy.
uint8_t AnyRead(MachineState& m, uint16_t port, uint8_t value) {
  m.speech.OratorBusy = (port & 0xFF) == 0xBF ? 0 : 1;
  return value;
}

bool OratorFitted(const MachineState& m) {
  return m.settings.FullerOrator != 0 && GroupOf(m.MachineModel) == ModelGroup::k48;
}

void OratorPorts(PortRowList& rows, const MachineState&) {
  rows.Add({.mask = 0x00FF, .value = 0x9F, .write = PhonemeWrite});
  rows.Add({.mask = 0x0000, .value = 0x0000, .read = AnyRead});
}

void OratorConfigure(MachineState& m) {
  m.sound.OratorSpeechStep = OratorFitted(m) ? OratorSpeechStep : nullptr;
}

void OratorFrameEnd(MachineState& m) {
  if (!SpeechRunsWithSound(m)) OratorSpeechStep(m);
  m.speech.OratorLastTState -= static_cast<int32_t>(m.FrameLength);
}

void OratorReset(MachineState& m, bool) {
  SpeechUnitState& s = m.speech;
  s.OratorRemaining = s.OratorPause = 0;
  s.OratorBusy = 0;
  s.OratorLastTState = 0;
}

}  // namespace

const Device kOratorDevice = {.name = "Fuller Orator",
                              .Fitted = OratorFitted,
                              .Ports = OratorPorts,
                              .Configure = OratorConfigure,
                              .Reset = OratorReset,
                              .FrameEnd = OratorFrameEnd};

}  // namespace orvo
