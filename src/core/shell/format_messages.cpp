#include "shell/format_messages.h"

namespace orvo {

namespace {

// Messages 26 to 49: "Tape Error: Failed at " and the kind name of the block.
struct TapeKindMessage {
  uint8_t id;
  MessageId message;
};
constexpr TapeKindMessage kTapeKindMessages[] = {
    {0x10, 26}, {0x11, 27}, {0x12, 28}, {0x13, 29}, {0x14, 30}, {0x15, 31}, {0x19, 32}, {0x20, 33},
    {0x21, 34}, {0x22, 35}, {0x23, 36}, {0x24, 37}, {0x25, 38}, {0x26, 39}, {0x27, 40}, {0x28, 41},
    {0x2A, 42}, {0x2B, 43}, {0x30, 44}, {0x31, 45}, {0x32, 46}, {0x33, 47}, {0x35, 48}, {0x5A, 49},
};

CaptionId CaptionOf(FormatError error) {
  // A ZIP archive that cannot be opened is a file that was not found as one; every other
  // failure of a file's contents is reported under "Orvo Options".
  return error == FormatError::ZipOpen ? CaptionId::File : CaptionId::Options;
}

}  // namespace

MessageId TapeBlockFailureMessage(uint8_t id) {
  for (const TapeKindMessage& k : kTapeKindMessages) {
    if (k.id == id) return k.message;
  }
  return 0;
}

MessageId FormatErrorMessage(const FormatStatus& status) {
  switch (status.error) {
    case FormatError::None:
    case FormatError::TapeUnsupported: return 0;
    case FormatError::OutOfMemory:
    case FormatError::ZipTooLarge: return kMsgOutOfMemory;
    case FormatError::SnapshotLength: return 12;  // "Snapshot Error: Incorrect snapshot length"
    case FormatError::BlockLength: return 16;     // "Snapshot Error: Incorrect BLOCK length"
    case FormatError::Z80Version: return 18;      // "Snapshot Error: Incorrect Z80 version"
    case FormatError::TapeTooShort: return 24;    // "Tape Error: Not enough data for signature"
    case FormatError::TapeSignature: return 25;   // "Tape Error: Incorrect signature"
    case FormatError::TapeBlock:
      return TapeBlockFailureMessage(static_cast<uint8_t>(status.detail));
    case FormatError::ZipOpen: return 8;   // "File Not Found"
    case FormatError::ZipRead: return 23;  // "Tape Error: Error reading from file"
  }
  return 0;
}

void ShowFormatError(Host& host, const FormatStatus& status) {
  const CaptionId caption = CaptionOf(status.error);
  if (const MessageId first = FormatErrorMessage(status); first != 0) {
    host.ShowMessage(caption, first);
  }
  // A tape block whose reading ran out of memory is then reported as failed.
  if (status.error == FormatError::OutOfMemory) {
    const MessageId block = TapeBlockFailureMessage(static_cast<uint8_t>(status.detail));
    if (block != 0) host.ShowMessage(caption, block);
  }
}

}  // namespace orvo
