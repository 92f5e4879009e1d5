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
// Start-up: InitSound, and on failure message 100 under "Orvo Error"; the program runs on.
void StartSound(Emulator& emu);
// Sends every finished frame to `sink` instead of a device (OpenSoundCapture), reading the
// corrected `Freq` back into the live settings.
void InitSoundCapture(Emulator& emu, SoundFrameSink& sink);

}  // namespace orvo
