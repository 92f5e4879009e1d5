#pragma once
// The sound output: a looping ring of eight frame-sized segments on the host's AudioDevice. Each
// full frame of samples is copied into the next segment, and the emulation then waits for the
// device to reach the segment before it, so with `Sound` on the audio clock paces the emulation.
#include <cstdint>

namespace orvo {

class AudioDevice;
class Clock;
class SoundFrameSink;
struct MachineState;

// How opening the sound output went: the step that failed, if any.
enum class SoundOpenResult : uint8_t { Ok, NoDevice, NoPriority, NoPrimary, NoRing, NoPlay };

// Builds the volume table, resets the AY and opens `device` (null: there is none) with the ring,
// whose pacing waits on `clock`. A failure after the device opened closes it again. With `Sound`
// off it stops after opening the device, without a ring. Corrects `Freq` (11025 up to the
// device's highest rate) and `Soundbits` (8 when the device has no 16-bit output) in m.settings.
SoundOpenResult OpenSound(MachineState& m, AudioDevice* device, Clock& clock);
// Like OpenSound, but every frame goes to `sink` as it is finished instead of to a device, with
// no pacing (the headless runner's WAV output). Always succeeds.
void OpenSoundCapture(MachineState& m, SoundFrameSink& sink);
// Stops and releases the ring and the device; BeeperLevel goes to 0.
void CloseSound(MachineState& m);
// 1 stops the ring, 0 clears it and starts it again from its beginning.
void PauseSound(MachineState& m, int stop);
// Silences the whole ring and starts the next frame afresh (segment 3 is written next).
void ClearSoundBuffer(MachineState& m);
// Hands SoundStaging's frame to the ring (or the capture sink) and waits for the device.
void SubmitSoundFrame(MachineState& m);

// SampleStep, the wave format and FrameBytes from the live settings and the model's frame
// length: SampleStep = speed x 50 x T-states per frame / Freq in single precision.
void ComputeSoundFormat(MachineState& m);
// True while the sound output holds the emulation to the audio clock: `Sound` is on and a ring
// exists. Otherwise (no device, or a capture) the frame loop keeps time by itself.
bool SoundPacesEmulation(const MachineState& m);
// Starts or stops the device to match `shouldPlay` when it does not already (the frame loop's
// check each frame: a path that stopped it around a dialog, typing or a fast load and did not
// start it again must not leave the emulation waiting on a device that never moves).
void KeepSoundDeviceRunning(MachineState& m, bool shouldPlay);

}  // namespace orvo
