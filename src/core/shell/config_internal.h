#pragma once
// What the configuration's files share and no one else uses: the key tables of orvo.ini, in file
// order, and the steps that put settings into effect.
#include <cstdint>
#include <span>
#include <string_view>

#include "shell/settings.h"

namespace orvo {

class Emulator;
struct Folders;
struct MachineState;

namespace config_detail {

// ---- the key tables, one per section, in file order ----

// A numeric key: its text and its field. Emulation Speed is the one float and has no field.
struct NumericKey {
  const char* key;
  int32_t Settings::*field;
};

inline constexpr NumericKey kEmulationKeys[] = {
    {"Late Timing", &Settings::LateTiming},
    {"Contention", &Settings::Contention},
    {"Emulation Speed", nullptr},
    {"Exit Msg", &Settings::ExitMsg},
    {"Focus", &Settings::Focus},
    {"Rewind", &Settings::Rewind},
    {"Rewind Delay", &Settings::RewindDelay},
    {"CPU Speed", &Settings::CpuSpeed},
};
inline constexpr NumericKey kHardwareKeys[] = {
    {"Model Type", &Settings::ModelType},
    {"Custom ROM", &Settings::CustomRom},
    {"INTERFACE 1", &Settings::Interface1},
    {"MULTIFACE", &Settings::Multiface},
    {"Fuller AY", &Settings::FullerAy},
    {"SpecDrum", &Settings::SpecDrum},
    {"SoftROM", &Settings::SoftRom},
    {"uSpeech", &Settings::USpeech},
    {"Fuller Orator", &Settings::FullerOrator},
    {"Z80_is_CMOS", &Settings::Z80IsCmos},
    {"Beta 128", &Settings::Beta128},
};
inline constexpr NumericKey kDisplayKeys[] = {
    {"DrawMode", &Settings::DrawMode},   {"DrawSize", &Settings::DrawSize},
    {"Scanlines", &Settings::Scanlines}, {"ULAplus", &Settings::UlaPlus},
    {"Colours", &Settings::Colours},     {"Frameskip", &Settings::Frameskip},
    {"Vsync", &Settings::Vsync},         {"Disable Attributes", &Settings::DisableAttributes},
    {"ULA Snow", &Settings::UlaSnow},    {"opt_shader", &Settings::OptShader},
};
inline constexpr NumericKey kSoundKeys[] = {
    {"Sound", &Settings::Sound},         {"Sound Volume", &Settings::SoundVolume},
    {"Output", &Settings::Output},       {"Effect", &Settings::Effect},
    {"AY48K", &Settings::Ay48k},         {"Freq", &Settings::Freq},
    {"Soundbits", &Settings::SoundBits},
};
inline constexpr NumericKey kInputKeys[] = {
    {"Keyboard Issue", &Settings::KeyboardIssue},
    {"Spool Speed", &Settings::SpoolSpeed},
    {"Keystick Type", &Settings::KeystickType},
    {"Joystick Type", &Settings::JoystickType},
    {"Current Joystick ", &Settings::CurrentJoystick},  // written with a blank before the "="
    {"Mouse Type", &Settings::MouseType},
    {"Recreated Spectrum", &Settings::RecreatedSpectrum},
};
inline constexpr NumericKey kTapesKeys[] = {
    {"Tape Traps", &Settings::TapeTraps}, {"Tape Wobble", &Settings::TapeWobble},
    {"Autoload", &Settings::Autoload},    {"Fastload", &Settings::Fastload},
    {"Polarity", &Settings::Polarity},
};
inline constexpr NumericKey kSnapshotsKeys[] = {
    {"z80 version", &Settings::Z80Version},
    {"1FFD byte", &Settings::Save1FFD},
    {"Snapshot save", &Settings::SnapshotSave},
    {"Data compressed", &Settings::DataCompressed},
};
inline constexpr NumericKey kDisksKeys[] = {
    {"CRC byte", &Settings::CrcByte},
    {"Disk fastLoad", &Settings::DiskFastLoad},
    {"Disk autoload", &Settings::DiskAutoload},
};
inline constexpr NumericKey kDebuggerKeys[] = {
    {"Basic", &Settings::Basic},
    {"Dis ROM", &Settings::DisRom},
    {"Dis Save", &Settings::DisSave},
    {"MMap Byte Order", &Settings::MMapByteOrder},
    {"MMap Byte Read", &Settings::MMapByteRead},
    {"MMap Byte Write", &Settings::MMapByteWrite},
    {"MMap Fore", &Settings::MMapFore},
    {"MMap Back", &Settings::MMapBack},
};

// The [Devices] section: the chosen game controller's name and the Custom model's ROM file, so
// that both are found again after a restart.
inline constexpr const char* kDeviceKeys[2] = {"Joystick Name", "Custom ROM File"};
// [Shaders]: the preset, then one line per built-in effect in opt_shader order.
inline constexpr const char* kShaderKeys[7] = {"Preset",
                                               "No Shader Parameters",
                                               "One Pass Parameters",
                                               "Dotmask Parameters",
                                               "Scanlines Parameters",
                                               "Curved CRT Parameters",
                                               "Aperture Parameters"};

inline constexpr const char* kFolderKeys[4] = {"Current ROM Dir", "Current_Snap Dir",
                                               "Current Tape Dir", "Current Download Dir"};

inline constexpr const char* kPlacementKeys[kPlacementCount] = {
    "Main Window",     "Calculator",     "System Variables",
    "Tape Browser",    "Infoseek",       "ZX Printer",
    "View ZX Printer", "Microdrives",    "View Microdrive Cartridge",
    "Sprite Search",   "ULAplus Editor", "Debugger",
    "View Registers",  "View Memory",    "View Disassembly",
    "Edit Memory",     "Breakpoints",    "Memory Map",
};

// Section ids as the section table numbers them.
enum SectionId : uint8_t {
  kSecEmulation = 0,
  kSecHardware = 1,
  kSecDisplay = 2,
  kSecSound = 3,
  kSecInput = 4,
  kSecTapes = 5,
  kSecDebugger = 6,
  kSecFolders = 7,
  kSecSnapshots = 8,
  kSecDisks = 9,
  kSecPlacements = 10,
  kSecEnd = 11,
  kSecDevices = 12,
  kSecShaders = 13,
  kSecClosing = 255,
};

struct SectionEntry {
  const char* name;
  uint8_t id;
};
inline constexpr SectionEntry kSectionTable[] = {
    {"Emulation", kSecEmulation},
    {"Hardware", kSecHardware},
    {"Display", kSecDisplay},
    {"Sound", kSecSound},
    {"Input", kSecInput},
    {"Tapes", kSecTapes},
    {"Disks", kSecDisks},
    {"Debugger", kSecDebugger},
    {"Folders", kSecFolders},
    {"Snapshots", kSecSnapshots},
    {"Window Placements", kSecPlacements},
    {"Devices", kSecDevices},
    {"Shaders", kSecShaders},
    {"End", kSecEnd},
    {"", kSecClosing},
};

// The numeric sections with their keys; the order here is the order the writer uses.
struct NumericSection {
  const char* header;
  uint8_t id;
  std::span<const NumericKey> keys;
};
inline constexpr NumericSection kNumericSections[] = {
    {"[Emulation]", kSecEmulation, kEmulationKeys},
    {"[Hardware]", kSecHardware, kHardwareKeys},
    {"[Display]", kSecDisplay, kDisplayKeys},
    {"[Sound]", kSecSound, kSoundKeys},
    {"[Input]", kSecInput, kInputKeys},
    {"[Tapes]", kSecTapes, kTapesKeys},
    {"[Snapshots]", kSecSnapshots, kSnapshotsKeys},
    {"[Disks]", kSecDisks, kDisksKeys},
    {"[Debugger]", kSecDebugger, kDebuggerKeys},
};

inline const NumericSection* FindNumericSection(uint8_t id) {
  for (const NumericSection& s : kNumericSections)
    if (s.id == id) return &s;
  return nullptr;
}

// A name that is not in the table counts as "End". The search stops at the closing entry.
inline uint8_t LookUpSection(std::string_view name) {
  for (const SectionEntry* e = kSectionTable; e->id != kSecClosing; ++e)
    if (name == e->name) return e->id;
  return kSecEnd;
}

// ---- putting settings into effect ----

// The keyboard issue the ports emulate: the 16K is always an issue 2 board and the 128K family
// always issue 3; the 48K (and Custom) follow "Keyboard Issue".
void ApplyKeyboardIssue(Emulator& emu);
// Makes the model of the live settings the machine's model (set-up happens separately).
void ApplyModel(Emulator& emu);
// View menu size check marks for the live DrawSize.
void SetViewMenuChecks(Emulator& emu);
void SetCurrentFoldersFromConfigured(Folders& f);
// The display picks up the new palette, size and method.
void SetUpDisplay(Emulator& emu);
// The Recreated Spectrum keyboard sends characters, not key states: its protocol starts from a
// released matrix with neither shift latched.
void SwitchToRecreatedKeyboard(MachineState& m);
// Joystick and keystick: the keystick wins when both are chosen.
void ApplyStickModes(Emulator& emu);
// orvo.ini is read-only by its permissions (no write bit at all), which holds for every user, root
// included: it is never replaced, moved or written.
bool ConfigFileReadOnly(const Emulator& emu);
// Every setting to its default, the folders from the program folder, the placements; then the
// 48K is set up afresh and hard reset.
void RestoreDefaults(Emulator& emu);

}  // namespace config_detail
}  // namespace orvo
