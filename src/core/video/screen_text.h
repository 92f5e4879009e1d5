#pragma once
// Reading the Spectrum's screen as text: each 8 x 8 character cell of the displayed screen is
// matched against the character set of the ROM in use.
#include <cstdint>
#include <string>

namespace orvo {

struct MachineState;

// The 96 characters (space to ©, 8 bytes each) of the 48 BASIC ROM of the current model; null
// when the model has no such ROM loaded.
const uint8_t* RomCharacterSet(const MachineState& m);
// The character in cell (row 0-23, column 0-31), normal or inverse: 32-127 for a match (127 is
// ©, 96 £), 0 when the cell shows no character of the set.
uint8_t CellCharacter(const MachineState& m, int row, int column);
// The 24 lines of 32 characters, each ended by '\n'. Unmatched cells show as '?'; £ and © are
// written in UTF-8.
std::string ScreenText(const MachineState& m);

}  // namespace orvo
