#pragma once
// Every persisted setting, known by its key in orvo.ini. One struct; the configuration keeps three
// copies of it (live, pending, loaded). Defaults are those of "Default Configuration".
//
// The settings the machine reads are those of MachineSettings, which this struct extends; the
// shell copies them into the machine (ApplyMachineSettings) and the rest stay here.
#include <array>
#include <cstdint>
#include <string>

#include "machine/machine_settings.h"

namespace orvo {

struct Settings : MachineSettings {
  // [Emulation]
  int32_t ExitMsg = 1;       // "Exit Msg"
  int32_t Focus = 0;         // "Focus"
  int32_t Rewind = 0;        // "Rewind"
  int32_t RewindDelay = 10;  // "Rewind Delay" 1..10
  int32_t CpuSpeed = 0;      // "CPU Speed" 0..5, kept and shown only
  // [Hardware]
  int32_t ModelType = 1;  // "Model Type" 0..6
  int32_t CustomRom = 0;  // "Custom ROM"
  int32_t Multiface = 0;  // "MULTIFACE"
  int32_t SoftRom = 0;    // "SoftROM", kept only
  // [Display]
  int32_t DrawMode = 0;   // "DrawMode" 0..2
  int32_t DrawSize = 1;   // "DrawSize" 1..4 (4 full screen)
  int32_t Scanlines = 0;  // "Scanlines", kept only
  int32_t Vsync = 0;      // "Vsync"
  int32_t OptShader = 0;  // "opt_shader" 0..5
  // [Input]
  int32_t KeyboardIssue = 1;    // "Keyboard Issue": 0 issue 2, 1 issue 3
  int32_t CurrentJoystick = 0;  // "Current Joystick "
  // [Tapes]
  int32_t Polarity = 0;  // "Polarity"
  // [Snapshots]
  int32_t SnapshotSave = 0;    // "Snapshot save"
  int32_t DataCompressed = 0;  // "Data compressed", kept only
  // [Disks]
  int32_t CrcByte = 0;       // "CRC byte" 0..2 (255)
  int32_t DiskAutoload = 0;  // "Disk autoload"
  // [Debugger]
  int32_t Basic = 1;              // "Basic"
  int32_t MMapByteOrder = 1;      // "MMap Byte Order"
  int32_t MMapByteRead = 255;     // "MMap Byte Read"
  int32_t MMapByteWrite = 65280;  // "MMap Byte Write"
  int32_t MMapFore = 0;           // "MMap Fore"
  int32_t MMapBack = 16777215;    // "MMap Back"

  std::string CustomRomPath;  // the Custom model's ROM file
  // The chosen game controller's name: found again by name when controllers come and go, so the
  // index `CurrentJoystick` follows it.
  std::string CurrentJoystickName;
  // [Shaders]
  std::string ShaderPreset;  // "Preset": a .glslp file used instead of opt_shader's effect
  // Each built-in effect's parameter values, "NAME=value;NAME=value" (keys "No Shader" ...)
  std::array<std::string, 6> ShaderParameters;
};

}  // namespace orvo
