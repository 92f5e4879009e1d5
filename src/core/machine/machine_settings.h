#pragma once
// The settings the emulated machine itself reads while it runs: timing, the add-ons wired to its
// ports, the picture, the sound mix, the input devices, the tape and snapshot options. Each keeps
// the name and default of its key in orvo.ini. The shell holds every setting (shell/settings.h,
// which extends this struct) and copies this part into the machine whenever it changes.
#include <cstdint>

namespace orvo {

struct MachineSettings {
  // [Emulation]
  int32_t LateTiming = 0;         // "Late Timing"
  int32_t Contention = 1;         // "Contention": 1 ZX Spectrum, 0 No Contention
  float EmulationSpeed = 100.0f;  // "Emulation Speed" 2..1000 percent
  // [Hardware]
  int32_t Interface1 = 0;    // "INTERFACE 1"
  int32_t FullerAy = 0;      // "Fuller AY"
  int32_t SpecDrum = 0;      // "SpecDrum"
  int32_t USpeech = 0;       // "uSpeech"
  int32_t FullerOrator = 0;  // "Fuller Orator"
  int32_t Z80IsCmos = 0;     // "Z80_is_CMOS"
  // [Display]
  int32_t UlaPlus = 0;            // "ULAplus"
  int32_t Colours = 0;            // "Colours" 0..5
  int32_t Frameskip = 1;          // "Frameskip" 1..11 (a fast load raises it while it runs)
  int32_t DisableAttributes = 0;  // "Disable Attributes" 0..5
  int32_t UlaSnow = 0;            // "ULA Snow" (the +2A/+3 set-up clears it)
  // [Sound]
  int32_t Sound = 1;         // "Sound"
  int32_t SoundVolume = 40;  // "Sound Volume" 0..100 step 10
  int32_t Output = 1;        // "Output": 0 Mono, 1 ABC, 2 ACB
  int32_t Effect = 0;        // "Effect": 0 None, 1 Echo, 2 Reverb
  int32_t Ay48k = 0;         // "AY48K" (a program that uses the AY on a 48K sets it)
  int32_t Freq = 44100;      // "Freq"
  int32_t SoundBits = 16;    // "Soundbits"
  // [Input]
  int32_t SpoolSpeed = 15;        // "Spool Speed" 5..30
  int32_t KeystickType = 0;       // "Keystick Type" 0..5
  int32_t JoystickType = 0;       // "Joystick Type" 0..5
  int32_t MouseType = 0;          // "Mouse Type" 0..2
  int32_t RecreatedSpectrum = 0;  // "Recreated Spectrum"
  // [Tapes]
  int32_t TapeTraps = 0;   // "Tape Traps"
  int32_t TapeWobble = 0;  // "Tape Wobble"
  int32_t Autoload = 0;    // "Autoload"
  int32_t Fastload = 0;    // "Fastload"
  // [Snapshots]
  int32_t Z80Version = 3;  // "z80 version" 1..3
  int32_t Save1FFD = 0;    // "1FFD byte"
  // [Disks]
  int32_t DiskFastLoad = 0;  // "Disk fastLoad"
  // [Debugger]: the label tables the disassembly views and the PC log name addresses with
  int32_t DisRom = 0;   // "Dis ROM"
  int32_t DisSave = 0;  // "Dis Save"
};

}  // namespace orvo
