#include "shell/format_messages.h"

#include "machine/model.h"

namespace orvo {

namespace {

// "Tape Error: Failed at " and the kind name of the block, by the block's ID.
struct TapeKindMessage {
  uint8_t id;
  MessageId message;
};
constexpr TapeKindMessage kTapeKindMessages[] = {
    {0x10, kMsgTapeFailedRomBlock},
    {0x11, kMsgTapeFailedTurboBlock},
    {0x12, kMsgTapeFailedPureToneBlock},
    {0x13, kMsgTapeFailedPulsesBlock},
    {0x14, kMsgTapeFailedPureDataBlock},
    {0x15, kMsgTapeFailedRawDataBlock},
    {0x19, kMsgTapeFailedGeneralisedDataBlock},
    {0x20, kMsgTapeFailedPauseBlock},
    {0x21, kMsgTapeFailedGroupStartBlock},
    {0x22, kMsgTapeFailedGroupEndBlock},
    {0x23, kMsgTapeFailedJumpBlock},
    {0x24, kMsgTapeFailedLoopStartBlock},
    {0x25, kMsgTapeFailedLoopEndBlock},
    {0x26, kMsgTapeFailedCallSequenceBlock},
    {0x27, kMsgTapeFailedReturnFromSequenceBlock},
    {0x28, kMsgTapeFailedSelectBlock},
    {0x2A, kMsgTapeFailedStop48Block},
    {0x2B, kMsgTapeFailedSetSignalLevelBlock},
    {0x30, kMsgTapeFailedCommentBlock},
    {0x31, kMsgTapeFailedMessageBlock},
    {0x32, kMsgTapeFailedArchiveInfoBlock},
    {0x33, kMsgTapeFailedHardwareBlock},
    {0x35, kMsgTapeFailedCustomBlock},
    {0x5A, kMsgTapeFailedConcatBlock},
};

CaptionId CaptionOf(FormatError error) {
  // A ZIP archive that cannot be read goes out under "Orvo File"; every other
  // failure of a file's contents is reported under "Orvo Options".
  if (error == FormatError::ZipOpen || error == FormatError::SzxBlock) return CaptionId::File;
  // An SZX block of a kind that cannot be loaded and the ZXS messages go out under "Orvo File".
  if (error >= FormatError::ZxsRiff && error <= FormatError::ZxsPage) return CaptionId::File;
  return CaptionId::Options;
}

}  // namespace

MessageId TapeBlockFailureMessage(uint8_t id) {
  for (const TapeKindMessage& k : kTapeKindMessages) {
    if (k.id == id) return k.message;
  }
  return kMsgNone;
}

MessageId FormatErrorMessage(const FormatStatus& status) {
  switch (status.error) {
    case FormatError::None:
    case FormatError::TapeUnsupported: return kMsgNone;
    case FormatError::OutOfMemory:
    case FormatError::ZipTooLarge: return kMsgOutOfMemory;
    case FormatError::SnapshotLength: return kMsgSnapshotLength;
    case FormatError::BlockLength: return kMsgSnapshotBlockLength;
    case FormatError::Z80Version: return kMsgZ80Version;
    case FormatError::TapeTooShort: return kMsgTapeSignatureShort;
    case FormatError::TapeSignature: return kMsgTapeSignature;
    case FormatError::TapeBlock:
      return TapeBlockFailureMessage(static_cast<uint8_t>(status.detail));
    case FormatError::ZipOpen: return kMsgZipUnreadable;
    case FormatError::ZipRead: return kMsgReadError;
    case FormatError::SzxSignature: return kMsgSzxSignature;
    case FormatError::SzxBlock: return kMsgSzxUnknownBlock;
    case FormatError::SzxBlockLength:
    case FormatError::SzxPage: return kMsgSnapshotBlockLength;
    case FormatError::SzxMachine: return kMsgCannotLoadSnapshot;
    case FormatError::RzxSignature:
    case FormatError::RzxBlock: return kMsgNone;  // the RZX player says "ERROR" itself
    case FormatError::TapeRecording: return kMsgTapeRecording;
    case FormatError::SnxSignature: return kMsgSnxSignature;
    case FormatError::SpSignature: return kMsgSpSignature;
    case FormatError::SemSignatureLength: return kMsgSemSignatureLength;
    case FormatError::SemSignature: return kMsgSemSignature;
    case FormatError::ZxsRiff: return kMsgZxsRiff;
    case FormatError::ZxsSnap: return kMsgZxsSnap;
    case FormatError::ZxsFmtzLength: return kMsgZxsFmtzLength;
    case FormatError::ZxsCompression: return kMsgZxsCompression;
    case FormatError::ZxsRegsLength: return kMsgZxsRegsLength;
    case FormatError::Zxs048Length: return kMsgZxs048Length;
    case FormatError::ZxsPage: return kMsgZxsPage;
    case FormatError::Only48K: return kMsgOnly48K;
    case FormatError::CartridgeLength: return kMsgCartridgeCorrupt;
    case FormatError::DiskSignature: return kMsgDiskSignature;
    case FormatError::DiskGeometry:
    case FormatError::DiskTrack: return kMsgDiskCorrupt;
  }
  return kMsgNone;
}

void ShowFormatError(Host& host, const FormatStatus& status) {
  const CaptionId caption = CaptionOf(status.error);
  if (const MessageId first = FormatErrorMessage(status); first != kMsgNone) {
    // A refused SZX machine is named as the format names it (Pentagon 128, Scorpion ...).
    const bool machine = status.error == FormatError::SzxMachine;
    host.ShowMessage(caption, first,
                     machine && status.detail < kSzxMachineNameCount
                         ? SzxMachineNames[status.detail]
                         : (machine ? "unknown machine" : ""));
  }
  // A tape block whose reading ran out of memory is then reported as failed.
  if (status.error == FormatError::OutOfMemory) {
    const MessageId block = TapeBlockFailureMessage(static_cast<uint8_t>(status.detail));
    if (block != kMsgNone) host.ShowMessage(caption, block);
  }
}

}  // namespace orvo
