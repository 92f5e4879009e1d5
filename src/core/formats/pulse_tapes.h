#pragma once
// Tapes that are recordings rather than blocks of bytes: WAV audio (a rip of a real cassette) and
// PZX pulse files. Both become recording blocks (ID 0x18, csw_format.h) that the deck plays edge
// by edge.
#include <cstdint>
#include <span>

#include "formats/format_status.h"
#include "formats/tape_image.h"

namespace orvo {

// A WAV file (RIFF "WAVE", PCM, 8 or 16 bits, mono or stereo, any rate) as one recording: the
// channels are mixed, and a level threshold with hysteresis around the recording's mean turns
// the sound into a square wave. `invertPolarity` swaps the levels. Errors: TapeTooShort,
// TapeSignature (not a RIFF WAVE), TapeRecording (not PCM, no data, other sample sizes).
FormatStatus ParseWAV(TapeImage& tape, std::span<const uint8_t> bytes, bool invertPolarity);

// A PZX file: "PZXT" header block, then PULS (pulse sequences), DATA (bits as pulse sequences),
// PAUS (a level held), STOP (stop the tape; on the 48K only when its flag is 1) and BRWS
// (browser texts) blocks, each a 4-byte tag, a 32-bit size and the body; unknown tags are
// stepped over. Errors: TapeTooShort, TapeSignature, TapeRecording (a block that runs past the
// end or is damaged inside; the blocks before it stay).
FormatStatus ParsePZX(TapeImage& tape, std::span<const uint8_t> bytes);

}  // namespace orvo
