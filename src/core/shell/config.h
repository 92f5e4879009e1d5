#pragma once
// orvo.ini: the settings file in the configuration folder, the three copies of the settings
// (live in Emulator::settings, PendingSettings edited by the options sheet, LoadedSettings staged
// by the reader), the tool windows' screen positions, and the rules of the options sheet's pages.
//
// The file is plain text with CR LF line ends, sections in a fixed order and one "Key=value" line
// per setting. The reader is positional: the n-th line of a section gives the n-th setting
// whatever its key text says, and the sections may come in any order.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shell/settings.h"

namespace orvo {

class Emulator;
struct Folders;

// ---- window placements ----

// The windows whose top-left corner orvo.ini keeps, in file order ("Window Size" sits between the
// main window and the calculator and is a single number).
enum class Placement : uint8_t {
  MainWindow,
  Calculator,
  SystemVariables,
  TapeBrowser,
  Infoseek,
  ZxPrinter,
  ViewZxPrinter,
  Microdrives,
  ViewMicrodriveCartridge,
  SpriteSearch,
  UlaPlusEditor,
  Debugger,
  ViewRegisters,
  ViewMemory,
  ViewDisassembly,
  EditMemory,
  Breakpoints,
  MemoryMap,
};
constexpr int kPlacementCount = 18;    // windows with a left and a top
constexpr int kPlacementNumbers = 37;  // numbers in [Window Placements]: 18 pairs and Window Size

struct WindowPosition {
  int32_t left = 0;
  int32_t top = 0;
  bool operator==(const WindowPosition&) const = default;
};

struct WindowPlacements {
  std::array<WindowPosition, kPlacementCount> windows{};
  int32_t WindowSize = 1;  // "Window Size": kept only
  bool operator==(const WindowPlacements&) const = default;
};

// Where each window first opens.
inline WindowPlacements DefaultWindowPlacements() {
  WindowPlacements p;
  p.windows = {{{400, 400},
                {400, 400},
                {300, 200},
                {300, 300},
                {300, 300},
                {300, 200},
                {300, 300},
                {300, 300},
                {300, 300},
                {300, 200},
                {300, 300},
                {300, 200},
                {400, 300},
                {200, 200},
                {600, 200},
                {300, 300},
                {300, 300},
                {300, 300}}};
  p.WindowSize = 1;
  return p;
}
const char* PlacementKey(Placement which);  // "Main Window", "Calculator", ...

// ---- the configuration's own state, one per Emulator ----

struct ConfigState {
  WindowPlacements placements = DefaultWindowPlacements();
  // The ROM file name the "ROM File" field shows: "48k.ROM", "128k.ROM", "Plus2.ROM", "Plus3.ROM"
  // from the model, or the file name of a Custom ROM. Empty until a model sets it.
  std::string RomFileName;

  // Options sheet. Pending folders and the pending Custom ROM name are the sheet's working copies;
  // OK commits them, Cancel drops them.
  bool HardwareChanged = false;
  std::string PendingRomDir, PendingSnapDir, PendingTapeDir, PendingDownloadDir;
  std::string PendingRomFileName;
  // Folder rows whose text was typed (rows 0-3); OK gives them their trailing separator.
  std::array<bool, 4> PendingFolderTyped{};

  // Display page's "Disable window positioning": a live display flag, not stored in the file.
  bool DisableWindowPositioning = false;

  // Front-end state the window reads after a command: whether the rewind recorder (timer 3,
  // 500 ms) should run, and how often the options sheet asked for the rewind history to be
  // cleared (the window compares it with the count it last saw).
  bool RewindTimerRunning = false;
  uint32_t RewindHistoryClears = 0;
};

// ---- settings values ----

// Every setting zero: the staging copy's state before the first load.
inline Settings ZeroSettings() {
  Settings s;
  s.LateTiming = 0;
  s.Contention = 0;
  s.ExitMsg = 0;
  s.Focus = 0;
  s.Rewind = 0;
  s.RewindDelay = 0;
  s.CpuSpeed = 0;
  s.ModelType = 0;
  s.CustomRom = 0;
  s.Interface1 = 0;
  s.Multiface = 0;
  s.FullerAy = 0;
  s.SpecDrum = 0;
  s.Beta128 = 0;
  s.SoftRom = 0;
  s.USpeech = 0;
  s.FullerOrator = 0;
  s.Z80IsCmos = 0;
  s.DrawMode = 0;
  s.DrawSize = 0;
  s.Scanlines = 0;
  s.UlaPlus = 0;
  s.Colours = 0;
  s.Frameskip = 0;
  s.Vsync = 0;
  s.DisableAttributes = 0;
  s.UlaSnow = 0;
  s.OptShader = 0;
  s.Sound = 0;
  s.SoundVolume = 0;
  s.Output = 0;
  s.Effect = 0;
  s.Ay48k = 0;
  s.Freq = 0;
  s.SoundBits = 0;
  s.KeyboardIssue = 0;
  s.SpoolSpeed = 0;
  s.KeystickType = 0;
  s.JoystickType = 0;
  s.CurrentJoystick = 0;
  s.MouseType = 0;
  s.RecreatedSpectrum = 0;
  s.TapeTraps = 0;
  s.TapeWobble = 0;
  s.Autoload = 0;
  s.Fastload = 0;
  s.Polarity = 0;
  s.Z80Version = 0;
  s.Save1FFD = 0;
  s.SnapshotSave = 0;
  s.DataCompressed = 0;
  s.CrcByte = 0;
  s.DiskFastLoad = 0;
  s.DiskAutoload = 0;
  s.Basic = 0;
  s.DisRom = 0;
  s.DisSave = 0;
  s.MMapByteOrder = 0;
  s.MMapByteRead = 0;
  s.MMapByteWrite = 0;
  s.MMapFore = 0;
  s.MMapBack = 0;
  s.EmulationSpeed = 0.0f;
  return s;
}
// Brings the settings that cannot work outside their ranges back into them: Emulation Speed
// 2..1000 (per cent; 0 would never run a frame), DrawSize 1..4 (0 shows no picture, larger ones a
// corner of one), Spool Speed 5..30. The file's reader and `--set` both apply it, so the clamped
// value is also the one saved.
void ClampSettings(Settings& s);

// "48k.ROM", "48k.ROM", "128k.ROM", "Plus2.ROM", "Plus3.ROM", "Plus3.ROM" for models 0-5; null for
// Custom and anything else.
const char* RomFileNameForModel(int model);

// ---- the file ----

std::string ConfigFilePath(const Emulator& emu);  // ConfigFolder + "/orvo.ini"
// The file as SaveConfig writes it, from PendingSettings (opt_shader from the live value), the
// current folders and the placements.
std::string BuildConfigText(const Emulator& emu);

// The reader of orvo.ini's text, without the file or the machine: the positional rules, with lines
// it does not understand passed over to the next section header. Values go into `staged`,
// `folders` (the configured ones) and `placements` as they are read.
struct ConfigParse {
  bool complete = false;    // "[End]" was reached
  bool strayLines = false;  // lines were passed over
};
ConfigParse ParseConfigText(std::span<const uint8_t> bytes, Settings& staged, Folders& folders,
                            WindowPlacements& placements);

// Reads orvo.ini. Returns 0 when it was read to "[End]" and applied, 1 otherwise: a missing file
// is replaced by defaults silently; a file that cannot be read or breaks off before "[End]" is
// kept as orvo.ini.bad, shows "Configuration file corrupt" and "Creating new config file" and
// gives the defaults; a file with lines the reader passes over (message 193) is applied, kept as
// orvo.ini.bad and written anew. Values are clamped (ClampSettings).
int LoadConfig(Emulator& emu);
// Writes the whole file (through a temporary file renamed over orvo.ini, so a failure never
// destroys the old file). A read-only orvo.ini is left alone with message 194. On failure shows
// "Cannot Save config file" and resets every setting to its default without writing.
void SaveConfig(Emulator& emu);
// Restores every default, sets up the 48K afresh, hard resets and writes the file.
void ResetConfig(Emulator& emu);

void CapturePendingSettings(Emulator& emu);  // live -> PendingSettings (and pending folders)
void ApplyPendingSettings(Emulator& emu);    // PendingSettings -> live
void ApplyLoadedSettings(Emulator& emu);     // LoadedSettings -> live, then set-up
// Sets ConfigState::RomFileName from the live model (left unchanged for Custom).
void SetRomFileNameFromModel(Emulator& emu);

// ---- placements, for the windows ----

WindowPosition GetWindowPlacement(const Emulator& emu, Placement which);
void SetWindowPlacement(Emulator& emu, Placement which, WindowPosition position);

// ---- options sheet: page rules on PendingSettings ----

// The sheet opens: captures the pending copy and clears HardwareChanged.
void BeginOptions(Emulator& emu);
// Hardware page.
void OptionsChooseModel(Emulator& emu, int model);  // radios 0..5
// The "Load ROM" file dialog chose `path`: Custom model with that ROM.
void OptionsChooseCustomRom(Emulator& emu, const std::string& path);
bool OptionsInterface1Allowed(const Emulator& emu);  // live model 16K, 48K, 128K or +2
bool OptionsFullerAyAllowed(const Emulator& emu);    // live model not of the 128K family
void OptionsSetInterface1(Emulator& emu, bool on);
void OptionsSetMultiface(Emulator& emu, bool on);
void OptionsSetFullerAy(Emulator& emu, bool on);
// "Cheetah SpecDrum", "Currah µSpeech", "Fuller Orator": a hardware change.
void OptionsSetPeripheral(Emulator& emu, int32_t Settings::*field, bool on);
// Emulation page: "Late Timing" and the contention radios are hardware changes.
void OptionsSetLateTiming(Emulator& emu, bool on);
void OptionsSetContention(Emulator& emu, bool on);
// Input page: keystick and joystick exclude each other.
bool OptionsKeyboardIssueEnabled(const Emulator& emu);  // live model is the 48K
void OptionsSetKeystickType(Emulator& emu, int type);
void OptionsSetJoystickType(Emulator& emu, int type);
// Default Folders page: row 0 ROMS, 1 Snapshots, 2 Tapes, 3 Downloads.
std::string* OptionsPendingFolder(Emulator& emu, int row);
void OptionsSetFolderFromPicker(Emulator& emu, int row, const std::string& folder);
void OptionsSetFolderFromText(Emulator& emu, int row, const std::string& text);
// The text a folder row shows: the folder cut after its last separator.
std::string FolderFieldText(const std::string& folder);
// OK: applies the pending copy and everything that follows from it, in order. The caller has
// stored the main window's position with SetWindowPlacement first.
void OptionsOk(Emulator& emu);

}  // namespace orvo
