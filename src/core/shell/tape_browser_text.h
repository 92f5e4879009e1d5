#pragma once
// What the tape browser shows of a block: its row in the block list and its details.
#include <string>
#include <utility>
#include <vector>

#include "formats/tape_image.h"

namespace orvo {

// The block list's row text: for a ROM header "PROGRAM: name  LINE n" or "Bytes: name  CODE n",
// data sizes, tones, pulses, recordings, the texts of text blocks, bracketed names of flow
// control and information blocks. Characters of names outside 32..126 show as "?"; the texts of
// TZX blocks, which are Latin-1, come out as UTF-8.
std::string BlockLabel(const TapeBlock& block);

// The last row of the list.
inline constexpr const char* kEndOfTapeLabel = "End Of Tape";

// The details list: (label, value) rows.
using BlockDetailRows = std::vector<std::pair<std::string, std::string>>;
BlockDetailRows BlockDetails(const TapeBlock& block);

}  // namespace orvo
