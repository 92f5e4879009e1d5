#include "shell/format_messages.h"

#include <cstdio>
#include <string>

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

std::string FormatErrorReason(const FormatStatus& status) {
  char text[128];
  const auto hex = [&](const char* format) {
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(status.detail));
    return std::string(text);
  };
  // An SZX block is named by its four characters ("AY" for "AY\0\0").
  const auto blockName = [&status]() {
    std::string name;
    for (int k = 0; k < 4; ++k) {
      const auto c = static_cast<char>(status.detail >> (8 * k));
      if (c == '\0') break;
      name.push_back(c >= 32 && c < 127 ? c : '?');
    }
    return name;
  };
  switch (status.error) {
    case FormatError::None: return {};
    case FormatError::OutOfMemory: return "there is not enough memory to hold it";
    case FormatError::SnapshotLength: return "its length is not one its format has";
    case FormatError::BlockLength: return "a memory block does not fill its page";
    case FormatError::Z80Version: return "its additional header has a length no version has";
    case FormatError::TapeTooShort: return "it is too short to hold a tape signature";
    case FormatError::TapeSignature: return "it does not start with its format's signature";
    case FormatError::TapeBlock: return hex("the file ends inside a block 0x%02X");
    case FormatError::TapeUnsupported: return hex("block 0x%02X is of a kind the deck cannot play");
    case FormatError::ZipOpen: return "it is not a ZIP archive, or a damaged one";
    case FormatError::ZipTooLarge: return "an entry is larger than any Spectrum file";
    case FormatError::ZipRead: return "an entry cannot be read back whole";
    case FormatError::SzxSignature: return "it does not start with \"ZXST\"";
    case FormatError::SzxBlock: return "its block \"" + blockName() + "\" cannot be loaded";
    case FormatError::SzxBlockLength:
      return status.detail ? "its block \"" + blockName() + "\" has a length its kind cannot have"
                           : "a block has a length its kind cannot have";
    case FormatError::SzxPage: return "a RAM page does not unpack to 16384 bytes";
    case FormatError::SzxMachine: return "its machine is not emulated";
    case FormatError::RzxSignature: return "it does not start with \"RZX!\"";
    case FormatError::RzxBlock:
      return hex("the block at byte %u is damaged (its length, its frames or its packed data)");
    case FormatError::TapeRecording: return "the recording is damaged or of an unknown version";
    case FormatError::SnxSignature:
    case FormatError::SpSignature:
    case FormatError::SemSignatureLength:
    case FormatError::SemSignature:
    case FormatError::ZxsRiff:
    case FormatError::ZxsSnap: return "it does not start with its format's signature";
    case FormatError::ZxsFmtzLength:
    case FormatError::ZxsRegsLength:
    case FormatError::Zxs048Length: return "a chunk has a length its kind cannot have";
    case FormatError::ZxsCompression: return "it is packed in a way the format does not know";
    case FormatError::ZxsPage: return "a memory page is damaged";
    case FormatError::Only48K: return "the format holds a 16K or 48K machine only";
    case FormatError::CartridgeLength:
      return "the cartridge is empty, too long, or ends inside a sector";
    case FormatError::DiskSignature: return "it does not start with a disk image signature";
    case FormatError::DiskGeometry: return "it gives a number of sides or tracks no disk has";
    case FormatError::DiskTrack: return hex("track entry %u lies past the end of the file");
  }
  return {};
}

void ShowRzxUnreadable(Host& host, const FormatStatus& status, std::string_view file) {
  std::string why(file);
  if (!why.empty()) why += ": ";
  why += FormatErrorReason(status);
  host.ShowMessage(CaptionId::Rzx, kMsgRzxUnreadable, why);
}

void ShowFormatError(Host& host, const FormatStatus& status, std::string_view file) {
  const CaptionId caption = CaptionOf(status.error);
  std::string why(file);
  if (!why.empty()) why += ": ";
  why += FormatErrorReason(status);
  if (status.error == FormatError::TapeUnsupported) {
    host.ShowMessage(caption, kMsgTapeUnsupportedBlock, why);
    return;
  }
  if (const MessageId first = FormatErrorMessage(status); first != kMsgNone) {
    // A refused SZX machine is named as the format names it (Pentagon 128, Scorpion ...).
    if (status.error == FormatError::SzxMachine) {
      why += " (";
      why +=
          status.detail < kSzxMachineNameCount ? SzxMachineNames[status.detail] : "unknown machine";
      why += ')';
    }
    host.ShowMessage(caption, first, why);
  }
  // A tape block whose reading ran out of memory is then reported as failed.
  if (status.error == FormatError::OutOfMemory) {
    const MessageId block = TapeBlockFailureMessage(static_cast<uint8_t>(status.detail));
    if (block != kMsgNone) host.ShowMessage(caption, block);
  }
}

}  // namespace orvo
