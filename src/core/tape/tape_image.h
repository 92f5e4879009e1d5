#pragma once
// The tape image: building the block list from TAP and TZX files held in memory.
#include <cstdint>
#include <span>

#include "shell/messages.h"
#include "tape/tape_state.h"

namespace orvo {

class Host;

// Parser results.
enum TapeParseStatus : uint8_t {
  kTapeParseOk = 0,
  kTapeParseUnsupported = 1,  // a block the deck cannot follow; the blocks before it stay
  kTapeParseFailed = 2,       // a message was shown; the blocks before the failure stay
};

// Fill the empty `tape` from a TAP or TZX file. The bytes are copied into the image (the blocks
// point into that copy); nothing beyond the end of `bytes` is ever read. Failures are shown
// through `host` under the "Orvo Options" caption.
uint8_t ParseTAP(Host& host, TapeImage& tape, std::span<const uint8_t> bytes);
uint8_t ParseTZX(Host& host, TapeImage& tape, std::span<const uint8_t> bytes);

// Appends a block with this ID to the end of the list and numbers it.
TapeBlock* NewTapeBlock(TapeImage& tape, uint8_t id);

// The kind name of a block ID ("ORVO_TURBO_BLOCK"), or "" for IDs without one, and the message
// "Tape Error: Failed at <kind>" that reports a failure of that kind (0 when there is none).
const char* TapeBlockKindName(uint8_t id);
MessageId TapeBlockFailureMessage(uint8_t id);

// The end mask of a last byte with `usedBits` bits in use (0x80 >> (usedBits - 1)).
uint8_t LastByteEndMask(uint32_t usedBits);

}  // namespace orvo
