#pragma once
// Opening the machine's sound output on the host's audio device, with the messages the user sees
// when that fails.
namespace orvo {

class Emulator;
class SoundFrameSink;

// Opens the host's device with the ring (OpenSound). Returns 0 on success, 1 after showing one
// of messages 101-105 under "Orvo POKE Memory" (the device is then absent). The corrections the
// machine made to `Freq` and `Soundbits` are read back into the live settings.
int InitSound(Emulator& emu);
// Start-up: InitSound; a failure is that one message and the program runs on silently, keeping
// its own time.
void StartSound(Emulator& emu);
// After the settings were replaced (Load or Default Configuration): a device that is open is
// opened again in the new format (rate, depth, mono or stereo). One that failed stays closed.
void ReopenSound(Emulator& emu);
// Sends every finished frame to `sink` instead of a device (OpenSoundCapture), reading the
// corrected `Freq` back into the live settings.
void InitSoundCapture(Emulator& emu, SoundFrameSink& sink);

}  // namespace orvo
