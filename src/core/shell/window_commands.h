#pragma once
// The main window's commands that change the machine's run state, kept in the core so the window
// only forwards them. Command numbers are those of the menu and accelerator tables.
#include <cstdint>
#include <string_view>

#include "shell/messages.h"

namespace orvo {

class Emulator;
struct MachineState;

namespace cmd {
// File
constexpr int kLoadSnapshot = 100, kSaveSnapshot = 101, kInsertDiskA = 102, kInsertDiskB = 103,
              kEjectDiskA = 104, kEjectDiskB = 105, kLoadBinary = 106, kSaveBinary = 107,
              kMicrodrives = 108, kIf2Insert = 109, kIf2Remove = 110, kQuit = 112, kLoadFile = 113,
              kSaveScreen = 114, kLoadBasicText = 115;
// Emulation
constexpr int kSoftReset = 120, kHardReset = 121, kGenerateNmi = 122;
// Tape
constexpr int kLoadTape = 130, kEjectTape = 131, kBrowseTape = 132, kRewindTape = 133,
              kStartStopTape = 134;
// View
constexpr int kView100 = 140, kView200 = 141, kFullscreen = 142, kVsync = 143, kView300 = 144;
// Tools
constexpr int kOptions = 150, kLoadConfig = 151, kSaveConfig = 152, kDefaultConfig = 153,
              kZxPrinter = 154, kSpriteSearch = 155, kCalculator = 156, kUlaPlusEditor = 157,
              kPokeMemory = 158, kKeyboardHelper = 159, kEnableKeystick = 160, kMemoryMap = 161,
              kSnapshotAnalyser = 167, kPokeFinder = 168, kInfoseek = 111, kAssembler = 9998;
// RZX
constexpr int kRzxPlay = 117, kRzxStop = 118, kRzxInfo = 119, kRzxLogging = 126, kRzxRecord = 200,
              kRzxStopRecording = 201, kRzxContinue = 202, kRzxFinalise = 203,
              kRzxAddBookmark = 204, kRzxFromBookmark = 205, kRzxGoToBookmark = 207;
// Debug
constexpr int kDebugger = 170, kViewMemory = 171, kViewDisassembly = 172, kPcLogging = 173,
              kPcLogOneFrame = 174, kViewRegisters = 175, kViewPrinterBuffer = 176,
              kViewMicrodrive = 177;
// Help
constexpr int kAbout = 190, kHelp = 191;
// Accelerators only
constexpr int kPaste = 169, kFullSpeed = 208, kRewind = 209, kMouse = 210, kMouseInfo = 211,
              kPause = 212, kInstantSave = 213;
}  // namespace cmd

// Whether the sound ring should play: not paused, not pause-on-focus-loss, not at full speed.
bool SoundShouldPlay(const MachineState& m);

// Esc: toggles Paused; the sound ring stops while paused.
void TogglePause(Emulator& emu);
// F2: toggles FullSpeed; the sound ring stops while it is on and the sampling restarts.
void ToggleFullSpeed(Emulator& emu);
// F3: raises the NMI request; the frame loop accepts it after the current instruction.
void GenerateNmi(Emulator& emu);

// View menu: DrawSize 1, 2 or 3, windowed, with the check marks of the three sizes following it.
void SetDrawSize(Emulator& emu, int size);
// The check marks of the View menu from the live DrawSize and Vsync ("Fullscreen" is checked
// while DrawSize is 4).
void UpdateViewChecks(Emulator& emu);
// "VSync On": toggles Vsync and its check mark.
void ToggleVsync(Emulator& emu);

// The first half of quitting: pauses and, with "Exit Msg" on, asks "Are you sure you want to quit
// Orvo?" under "Exit". Returns false (and resumes) on any answer but Yes.
bool ConfirmQuit(Emulator& emu);
// The second half, after the window has stored its position: saves the configuration and
// closes the sound output.
void ShutDown(Emulator& emu);

// F1: with "Snapshot save" on, writes the machine into the last file opened, by its extension
// (SNA, Z80, SZX, SNX, SP, SEM; SNP and SIT files are left alone). An extension outside the
// writers' table shows message 22 under "Orvo Error". Returns 0 when a file was written.
int InstantSnapshotSave(Emulator& emu);

// "Help": message 160 + n, n from the seed modulo 20.
MessageId HelpQuotation(uint32_t seed);

}  // namespace orvo
