#pragma once
// The main window's commands that change the machine's run state, kept in the core so the window
// only forwards them.
#include <cstdint>
#include <string_view>

#include "shell/command_id.h"
#include "shell/messages.h"

namespace orvo {

class Emulator;
struct MachineState;

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

// F1: with "Snapshot save" on, writes the machine into the file this run last loaded (or saved a
// snapshot to), by its extension. Before there is one it shows message 190 and writes nothing; an
// extension outside the writers' table shows message 22 under "Orvo Error". Returns 0 when a file
// was written.
int InstantSnapshotSave(Emulator& emu);

// "Help": message 160 + n, n from the seed modulo 20.
MessageId HelpQuotation(uint32_t seed);

}  // namespace orvo
