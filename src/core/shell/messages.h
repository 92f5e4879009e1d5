#pragma once
// The message and caption tables: every user-visible failure is one of these.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvo {

enum class CaptionId : uint8_t {
  Error = 0,       // "Orvo Error"
  Debug = 1,       // "Orvo Debug"
  Display = 2,     // "Orvo_Display"
  Infoseek = 3,    // "Orvo Infoseek"
  File = 4,        // "Orvo File"
  Options = 5,     // "Orvo Options"
  Sound = 6,       // "Orvo Sound"
  PokeMemory = 7,  // "Orvo POKE Memory"
  PokeFind = 8,    // "Orvo POKE Find"
  Rzx = 9,         // "Orvo RZX"
};

// The messages the code raises, by their numbers in the message table (0..229). The ids stay
// plain numbers underneath: the table, the formatter and the tests index them as such.
enum MessageId : uint8_t {
  kMsgNone = 0,                  // no message
  kMsgRomMissing = 2,            // "ROM missing", followed by the ROM's file name
  kMsgRomLength = 3,             // "ROM file incorrect length"
  kMsgOutOfMemory = 4,           // "Out of memory"
  kMsgConfigCorrupt = 6,         // "Configuration file corrupt"
  kMsgCannotSaveConfig = 7,      // "Cannot Save config file"
  kMsgFileNotFound = 8,          // "File Not Found"
  kMsgCannotLoadSnapshot = 10,   // "Snapshot Error: Cannot load snapshot file"
  kMsgSnapshotMissing = 11,      // "Snapshot Error: Snapshot file missing"
  kMsgSnapshotLength = 12,       // "Snapshot Error: Incorrect snapshot length"
  kMsgSnxSignature = 13,         // "Snapshot Error: Incorrect SNX sig"
  kMsgSzxSignature = 14,         // "Snapshot Error: Incorrect SZX sig"
  kMsgSpSignature = 15,          // "Snapshot Error: Incorrect SP sig"
  kMsgSnapshotBlockLength = 16,  // "Snapshot Error: Incorrect BLOCK length"
  kMsgOnly48K = 17,              // "Snapshot Error: File format only supports 16k/48k models"
  kMsgZ80Version = 18,           // "Snapshot Error: Incorrect Z80 version"
  kMsgSzxUnknownBlock = 19,      // "Snapshot Error: Unknown SZX block type"
  kMsgTapeMissing = 20,          // "Tape Error: Tape file missing"
  kMsgTapeLength = 21,           // "Tape Error: Tape file incorrect length"
  kMsgUnknownExtension = 22,     // "Tape Error: unknown extension"
  kMsgReadError = 23,            // "Tape Error: Error reading from file"
  kMsgTapeSignatureShort = 24,   // "Tape Error: Not enough data for signature"
  kMsgTapeSignature = 25,        // "Tape Error: Incorrect signature"
  // "Tape Error: Failed at ..." one per TZX block kind.
  kMsgTapeFailedRomBlock = 26,
  kMsgTapeFailedTurboBlock = 27,
  kMsgTapeFailedPureToneBlock = 28,
  kMsgTapeFailedPulsesBlock = 29,
  kMsgTapeFailedPureDataBlock = 30,
  kMsgTapeFailedRawDataBlock = 31,
  kMsgTapeFailedGeneralisedDataBlock = 32,
  kMsgTapeFailedPauseBlock = 33,
  kMsgTapeFailedGroupStartBlock = 34,
  kMsgTapeFailedGroupEndBlock = 35,
  kMsgTapeFailedJumpBlock = 36,
  kMsgTapeFailedLoopStartBlock = 37,
  kMsgTapeFailedLoopEndBlock = 38,
  kMsgTapeFailedCallSequenceBlock = 39,
  kMsgTapeFailedReturnFromSequenceBlock = 40,
  kMsgTapeFailedSelectBlock = 41,
  kMsgTapeFailedStop48Block = 42,
  kMsgTapeFailedSetSignalLevelBlock = 43,
  kMsgTapeFailedCommentBlock = 44,
  kMsgTapeFailedMessageBlock = 45,
  kMsgTapeFailedArchiveInfoBlock = 46,
  kMsgTapeFailedHardwareBlock = 47,
  kMsgTapeFailedCustomBlock = 48,
  kMsgTapeFailedConcatBlock = 49,
  kMsgNoTapeInDeck = 51,           // "Tape Error: No tape in deck"
  kMsgTapeRecording = 53,          // "Tape Error: Damaged or unknown recording"
  kMsgTapeSaveFailed = 54,         // "Tape Error: Cannot write to the tape file"
  kMsgSoundInitFailed = 100,       // "Sound: Failed to initialise sound"
  kMsgSoundNoDevice = 101,         // "Sound: Failed to create audio device object"
  kMsgSoundNoPriority = 102,       // "Sound: Failed to claim the sound device"
  kMsgSoundNoPrimary = 103,        // "Sound: Failed to create audio buffer"
  kMsgSoundNoRing = 104,           // "Sound: Failed to open the sound output"
  kMsgSoundNoPlay = 105,           // "Sound: Failed to start the sound output"
  kMsgTooManyBreakpoints = 122,    // "Breakpoints: Only 256 breakpoints allowed"
  kMsgDebugRomProtected = 124,     // "Debug: ROM Protected"
  kMsgDebugCannotFindFile = 125,   // "Debug: Cannot find file"
  kMsgNoCartridge = 126,           // "Debug: No Microdrive cartridge inserted"
  kMsgDebugBadNumber = 127,        // "Debugger: Not a number or number out of range"
  kMsgBinaryPastEnd = 131,         // "Binary File: The data would run past address 65535"
  kMsgPokFileLine = 132,           // "POK File: Incorrect line", followed by the line number
  kMsgScreenFileLength = 133,      // "Screen File: Incorrect length"
  kMsgCannotSaveFile = 134,        // "Cannot save file"
  kMsgPokeAddress = 135,           // "POKE Memory: Address needs to be within 0-65535"
  kMsgPokeValue = 136,             // "POKE Memory: Value needs to be within 0-255"
  kMsgCartridgeUnreadable = 137,   // "Microdrive Error: Cannot read cartridge file"
  kMsgCartridgeCorrupt = 138,      // "Microdrive Error: Cartridge file is corrupt"
  kMsgCartridgeReadOnly = 139,     // "Microdrive Error: Cartridge file is read-only"
  kMsgPokeFindAddress = 140,       // "POKE FIND: Address needs to be within 23296-65535"
  kMsgPokeBank = 142,              // "POKE Memory: Bank needs to be within 0-7"
  kMsgCartridgeWriteFailed = 143,  // "Microdrive Error: Cannot write cartridge file"
  kMsgDiskSignature = 144,         // "Disk Error: Not a disk image"
  kMsgNoRzxLoaded = 145,           // "No RZX File loaded"
  kMsgDiskCorrupt = 146,           // "Disk Error: Disk image damaged"
  kMsgDiskSaveFailed = 147,        // "Disk Error: Cannot save disk image", followed by its name
  kMsgCannotSaveSnapshot = 148,    // "Snapshot Error: Cannot save snapshot file"
  kMsgSemSignatureLength = 150,    // "Snapshot Error:  SEM Signature length incorrect"
  kMsgSemSignature = 151,          // "Snapshot Error:  SEM Signature incorrect"
  kMsgZxsRiff = 152,               // "Snapshot Error:  ZXS Signature RIFF incorrect"
  kMsgZxsSnap = 153,               // "Snapshot Error:  ZXS SNAP incorrect"
  kMsgZxsFmtzLength = 154,         // "Snapshot Error:  ZXS fmtz Block Length Incorrect"
  kMsgZxsCompression = 155,        // "Snapshot Error:  ZXS Unknown Compression Value"
  kMsgZxsRegsLength = 156,         // "Snapshot Error:  ZXS rZ80 Block Length Incorrect"
  kMsgZxs048Length = 157,          // "Snapshot Error:  ZXS r048 Block Length Incorrect"
  kMsgZxsPage = 158,               // "Snapshot Error:  ZXS ram0 Block Length Incorrect"
  kMsgFirstQuotation = 160,        // 160..179: the quotations "Help" picks from

  // Files and settings that are never lost: F1 before anything was opened or saved; a save
  // extension with no writer; the ZXS filter; orvo.ini kept as orvo.ini.bad; a read-only orvo.ini.
  kMsgNothingToInstantSave = 190,
  kMsgUnknownSnapshotExtension = 191,
  kMsgZxsNotWritable = 192,
  kMsgConfigKeptAsBad = 193,
  kMsgConfigReadOnly = 194,

  // Snapshots and archives as other programs write them: a machine loaded as the nearest model;
  // an SNA saved without port 0x1FFD; a ZIP archive that cannot be read.
  kMsgNearestModel = 200,
  kMsgSna1FFDNotKept = 201,
  kMsgZipUnreadable = 202,
  // Files refused, or taken only in part, with the file and the reason on a line of their own: a
  // tape block the deck cannot play; a recording that cannot be read; a ZIP entry that is no
  // Spectrum file.
  kMsgTapeUnsupportedBlock = 203,
  kMsgRzxUnreadable = 204,
  kMsgZipEntryNotSpectrum = 205,
  // A snapshot loaded without the state of devices not emulated or not fitted; the blocks named.
  kMsgDevicesLeftOut = 206,
  kMsgMouseReleaseKey = 210,  // "F7 releases the mouse" (the status bar while captured)
  // Shader presets and movies.
  kMsgMovieFailed = 220,   // "Movie: Cannot record the movie", the reason on its own line
  kMsgShaderPreset = 221,  // "Cannot load the shader preset", the reason on its own line
};
constexpr int kMessageCount = 230;
constexpr int kCaptionCount = 10;
constexpr int kQuotationCount = 20;

// The raw table texts ("" for unused entries).
const char* MessageText(MessageId id);
const char* CaptionText(CaptionId id);
// The text as the message box shows it: the table's text; message 2 adds two line feeds and
// the file name with extension of `detail` (the path of the missing ROM; any folder is dropped);
// 132 (the bad line of a .POK file), 134 (why a save failed), 193 (the kept file's path), 200
// (the model a snapshot was loaded as), 220 and 221 (why a movie or a shader preset failed) and
// the messages of refused files (the file and what is wrong with it, MessageNamesFile) add
// `detail` on a line of its own; the others ignore it.
std::string FormatMessage(MessageId id, std::string_view detail = {});
// The messages that refuse a file's contents, which name the file and the fault after the text.
bool MessageNamesFile(MessageId id);

}  // namespace orvo
