#pragma once
// Every persisted setting, known by its key in orvo.ini. One struct; the configuration keeps three
// copies of it (live, pending, loaded). Defaults are those of "Default Configuration".
#include <cstdint>
#include <string>

namespace orvo {

struct Settings {
  // [Emulation]
  int32_t LateTiming = 0;         // "Late Timing"
  int32_t Contention = 1;         // "Contention": 1 ZX Spectrum, 0 No Contention
  float EmulationSpeed = 100.0f;  // "Emulation Speed" 2..1000 percent
  int32_t ExitMsg = 1;            // "Exit Msg"
  int32_t Focus = 0;              // "Focus"
  int32_t Rewind = 0;             // "Rewind"
  int32_t RewindDelay = 10;       // "Rewind Delay" 1..10
  int32_t CpuSpeed = 0;           // "CPU Speed" 0..5, kept and shown only
  // [Hardware]
  int32_t ModelType = 1;     // "Model Type" 0..6
  int32_t CustomRom = 0;     // "Custom ROM"
  int32_t Interface1 = 0;    // "INTERFACE 1"
  int32_t Multiface = 0;     // "MULTIFACE"
  int32_t FullerAy = 0;      // "Fuller AY"
  int32_t SpecDrum = 0;      // "SpecDrum"
  int32_t SoftRom = 0;       // "SoftROM", kept only
  int32_t USpeech = 0;       // "uSpeech"
  int32_t FullerOrator = 0;  // "Fuller Orator"
  int32_t Z80IsCmos = 0;     // "Z80_is_CMOS"
  // [Display]
  int32_t DrawMode = 0;           // "DrawMode" 0..2
  int32_t DrawSize = 1;           // "DrawSize" 1..4 (4 full screen)
  int32_t Scanlines = 0;          // "Scanlines", kept only
  int32_t UlaPlus = 0;            // "ULAplus"
  int32_t Colours = 0;            // "Colours" 0..5
  int32_t Frameskip = 1;          // "Frameskip" 1..11
  int32_t Vsync = 0;              // "Vsync"
  int32_t DisableAttributes = 0;  // "Disable Attributes" 0..5
  int32_t UlaSnow = 0;            // "ULA Snow"
  int32_t OptShader = 0;          // "opt_shader" 0..5
  // [Sound]
  int32_t Sound = 1;         // "Sound"
  int32_t SoundVolume = 40;  // "Sound Volume" 0..100 step 10
  int32_t Output = 1;        // "Output": 0 Mono, 1 ABC, 2 ACB
  int32_t Effect = 0;        // "Effect": 0 None, 1 Echo, 2 Reverb
  int32_t Ay48k = 0;         // "AY48K"
  int32_t Freq = 44100;      // "Freq"
  int32_t SoundBits = 16;    // "Soundbits"
  // [Input]
  int32_t KeyboardIssue = 1;      // "Keyboard Issue": 0 issue 2, 1 issue 3
  int32_t SpoolSpeed = 15;        // "Spool Speed" 5..30
  int32_t KeystickType = 0;       // "Keystick Type" 0..5
  int32_t JoystickType = 0;       // "Joystick Type" 0..5
  int32_t CurrentJoystick = 0;    // "Current Joystick "
  int32_t MouseType = 0;          // "Mouse Type" 0..2
  int32_t RecreatedSpectrum = 0;  // "Recreated Spectrum"
  // [Tapes]
  int32_t TapeTraps = 0;   // "Tape Traps"
  int32_t TapeWobble = 0;  // "Tape Wobble"
  int32_t Autoload = 0;    // "Autoload"
  int32_t Fastload = 0;    // "Fastload"
  int32_t Polarity = 0;    // "Polarity"
  // [Snapshots]
  int32_t Z80Version = 3;      // "z80 version" 1..3
  int32_t Save1FFD = 0;        // "1FFD byte"
  int32_t SnapshotSave = 0;    // "Snapshot save"
  int32_t DataCompressed = 0;  // "Data compressed", kept only
  // [Disks]
  int32_t CrcByte = 0;       // "CRC byte" 0..2 (255)
  int32_t DiskFastLoad = 0;  // "Disk fastLoad"
  int32_t DiskAutoload = 0;  // "Disk autoload"
  // [Debugger]
  int32_t Basic = 1;              // "Basic"
  int32_t DisRom = 0;             // "Dis ROM"
  int32_t DisSave = 0;            // "Dis Save"
  int32_t MMapByteOrder = 1;      // "MMap Byte Order"
  int32_t MMapByteRead = 255;     // "MMap Byte Read"
  int32_t MMapByteWrite = 65280;  // "MMap Byte Write"
  int32_t MMapFore = 0;           // "MMap Fore"
  int32_t MMapBack = 16777215;    // "MMap Back"

  std::string CustomRomPath;  // the Custom model's ROM file
};

}  // namespace orvo
