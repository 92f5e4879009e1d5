// The message and caption tables. Every failure the user sees is one entry of the message table
// shown under one entry of the caption table; the numbers are part of what the user sees (each
// message box begins with the number in hex), so entries keep their places even where a text
// names the Linux layer that replaced the original device.
#include "shell/messages.h"

#include <array>
#include <cstdio>

namespace orvo {

namespace {

struct MessageEntry {
  int id;
  const char* text;
};

constexpr MessageEntry kMessages[] = {
    {1, "Cannot begin EXECUTE_Z80"},
    {2, "ROM missing"},
    {3, "ROM file incorrect length"},
    {4, "Out of memory"},
    {5, "Configuration file missing"},
    {6, "Configuration file corrupt"},
    {7, "Cannot Save config file"},
    {8, "File Not Found"},
    {10, "Snapshot Error: Cannot load snapshot file"},
    {11, "Snapshot Error: Snapshot file missing"},
    {12, "Snapshot Error: Incorrect snapshot length"},
    {13, "Snapshot Error: Incorrect SNX sig"},
    {14, "Snapshot Error: Incorrect SZX sig"},
    {15, "Snapshot Error: Incorrect SP sig"},
    {16, "Snapshot Error: Incorrect BLOCK length"},
    {17, "Snapshot Error: File format only supports 16k/48k models"},
    {18, "Snapshot Error: Incorrect Z80 version"},
    {19, "Snapshot Error: Unknown SZX block type"},
    {20, "Tape Error: Tape file missing"},
    {21, "Tape Error: Tape file incorrect length"},
    {22, "Tape Error: unknown extension"},
    {23, "Tape Error: Error reading from file"},
    {24, "Tape Error: Not enough data for signature"},
    {25, "Tape Error: Incorrect signature"},
    {26, "Tape Error: Failed at ORVO_ROM_BLOCK"},
    {27, "Tape Error: Failed at ORVO_TURBO_BLOCK"},
    {28, "Tape Error: Failed at ORVO_PURE_TONE_BLOCK"},
    {29, "Tape Error: Failed at ORVO_PULSES_BLOCK"},
    {30, "Tape Error: Failed at ORVO_PURE_DATA_BLOCK"},
    {31, "Tape Error: Failed at ORVO_RAW_DATA_BLOCK"},
    {32, "Tape Error: Failed at ORVO_GENERALISED_DATA_BLOCK"},
    {33, "Tape Error: Failed at ORVO_PAUSE_BLOCK"},
    {34, "Tape Error: Failed at ORVO_GROUP_START_BLOCK"},
    {35, "Tape Error: Failed at ORVO_GROUP_END_BLOCK"},
    {36, "Tape Error: Failed at ORVO_JUMP_BLOCK"},
    {37, "Tape Error: Failed at ORVO_LOOP_START_BLOCK"},
    {38, "Tape Error: Failed at ORVO_LOOP_END_BLOCK"},
    {39, "Tape Error: Failed at ORVO_CALL_SEQUENCE_BLOCK"},
    {40, "Tape Error: Failed at ORVO_RETURN_FROM_SEQUENCE_BLOCK"},
    {41, "Tape Error: Failed at ORVO_SELECT_BLOCK"},
    {42, "Tape Error: Failed at ORVO_STOP48_BLOCK"},
    {43, "Tape Error: Failed at ORVO_SET_SIGNAL_LEVEL_BLOCK"},
    {44, "Tape Error: Failed at ORVO_COMMENT_BLOCK"},
    {45, "Tape Error: Failed at ORVO_MESSAGE_BLOCK"},
    {46, "Tape Error: Failed at ORVO_ARCHIVE_INFO_BLOCK"},
    {47, "Tape Error: Failed at ORVO_HARDWARE_BLOCK"},
    {48, "Tape Error: Failed at ORVO_CUSTOM_BLOCK"},
    {49, "Tape Error: Failed at ORVO_CONCAT_BLOCK"},
    {50, "Tape Error: Tape already in deck"},
    {51, "Tape Error: No tape in deck"},
    {52, "Tape Error: Edge Error"},
    {53, "Tape Error: Damaged or unknown recording"},   // a CSW, WAV or PZX tape that is refused
    {54, "Tape Error: Cannot write to the tape file"},  // saving to tape failed
    // The display: the picture is drawn through OpenGL (or by QPainter in "Software" mode).
    {60, "OpenGL: Failed to create OpenGL object"},
    {61, "OpenGL: Failed to set Cooperative Level for OpenGL"},
    {62, "OpenGL: Failed to set display mode for OpenGL"},
    {63, "OpenGL: Failed to create surface for OpenGL"},
    {64, "OpenGL: Failed to attach backbuffer for OpenGL"},
    {65, "OpenGL: Failed to create offscreen surface for OpenGL"},
    {66, "OpenGL: Failed to lock pixels the specified surface"},
    {67, "OpenGL: Failed to create back surface"},
    {68, "OpenGL: Failed to create clipper"},
    {69, "OpenGL: Failed to assign window to clipper"},
    {70, "OpenGL: Failed to attach clipper to primary surface"},
    {71, "OpenGL: Failed to lock surface"},
    {72, "OpenGL: Failed to get pixel format"},
    {73, "OpenGL: Failed to clear surface"},
    {74, "OpenGL: Failed to unlock surface"},
    // The shader pipeline.
    {80, "OpenGL: Failed to create OpenGL shader object"},
    {81, "OpenGL: Failed to create OpenGL device"},
    {82, "OpenGL: Failed to create OpenGL texture"},
    {83, "OpenGL: Failed to create OpenGL sprite"},
    {84, "OpenGL: Failed to lock OpenGL texture"},
    // Game controllers (SDL2).
    {90, "Joystick: Failed to initialise"},
    {91, "Joystick: Cannot enumumerate joystick"},
    {92, "Joystick: Cannot find joystick"},
    {93, "Joystick: Cannot set data format"},
    {94, "Joystick: Cannot set cooperative level"},
    {95, "Joystick: Cannot set axis"},
    {96, "Joystick: Cannot  enumerate axes"},
    {97, "Joystick: No joysticks attached"},
    {98, "Joystick: Couldn't acquire joystick"},
    // The sound device (SDL2 audio).
    {100, "Sound: Failed to initialise sound"},
    {101, "Sound: Failed to create audio device object"},
    {102, "Sound: Failed to claim the sound device"},
    {103, "Sound: Failed to create audio buffer"},
    {104, "Sound: Failed to open the sound output"},
    {105, "Sound: Failed to start the sound output"},
    {106, "Sound: 8 or 16 bit sound not supported"},
    {107, "Sound: Mono or Stereo sound not supported"},
    {110, "Infoseek: Unable to open connection"},
    {111, "Infoseek: Unable to connect to server"},
    {112, "Infoseek: Unable to grab info"},
    {113, "Infoseek: Unable to get response from server"},
    {114, "Infoseek: Cannot create stream"},
    {115, "Infoseek: Cannot create Reader"},
    {116, "Infoseek: Error setting XmlReaderProperty_DtdProcessing"},
    {117, "Infoseek: Error setting input for reader"},
    {118, "Infoseek: The Remote server returned error: (500) Internal Server Error"},
    {119, "Infoseek: Insufficient buffer available"},
    {120, "Infoseek: No results found"},
    {121, "Find: Cannot find data"},
    {122, "Breakpoints: Only 256 breakpoints allowed"},
    {123, "Find: Byte format incorrect"},
    {124, "Debug: ROM Protected"},
    {125, "Debug: Cannot find file"},
    {126, "Debug: No Microdrive cartridge inserted"},
    {127, "Debugger: Not a number or number out of range"},
    {130, "Disk: Current Model is Not +3"},
    {131, "Binary File: The data would run past address 65535"},
    {132, "POK File: Incorrect line"},
    {133, "Screen File: Incorrect length"},
    {134, "Cannot save file"},
    {137, "Microdrive Error: Cannot read cartridge file"},
    {138, "Microdrive Error: Cartridge file is corrupt"},
    {139, "Microdrive Error: Cartridge file is read-only"},
    {143, "Microdrive Error: Cannot write cartridge file"},
    {144, "Disk Error: Not a disk image"},
    {146, "Disk Error: Disk image damaged"},
    {147, "Disk Error: Cannot save disk image"},
    {135, "POKE Memory: Address needs to be within 0-65535"},
    {136, "POKE Memory: Value needs to be within 0-255"},
    {140, "POKE FIND: Address needs to be within 23296-65535"},
    {141, "POKE FIND: Value needs to be within 0-255"},
    {142, "POKE Memory: Bank needs to be within 0-7"},
    {145, "No RZX File loaded"},
    {148, "Snapshot Error: Cannot save snapshot file"},  // a snapshot save that failed
    {150, "Snapshot Error:  SEM Signature length incorrect"},
    {151, "Snapshot Error:  SEM Signature incorrect"},
    {152, "Snapshot Error:  ZXS Signature RIFF incorrect"},
    {153, "Snapshot Error:  ZXS SNAP incorrect"},
    {154, "Snapshot Error:  ZXS fmtz Block Length Incorrect"},
    {155, "Snapshot Error:  ZXS Unknown Compression Value"},
    {156, "Snapshot Error:  ZXS rZ80 Block Length Incorrect"},
    {157, "Snapshot Error:  ZXS r048 Block Length Incorrect"},
    {158, "Snapshot Error:  ZXS ram0 Block Length Incorrect"},
    {159, "Snapshot Error:  ZXS LIST Block Length Incorrect"},
    // "Help" shows one of these at random.
    {160, "Simplicity is prerequisite for reliability.\n- Edsger W. Dijkstra"},
    {161, "Premature optimization is the root of all evil.\n- Donald Knuth"},
    {162,
     "Beware of bugs in the above code; I have only proved it correct, not tried it.\n"
     "- Donald Knuth"},
    {163,
     "Programs must be written for people to read, and only incidentally for machines to "
     "execute.\n- Harold Abelson"},
    {164, "The best way to predict the future is to invent it.\n- Alan Kay"},
    {165, "Adding manpower to a late software project makes it later.\n- Fred Brooks"},
    {166,
     "Any sufficiently advanced technology is indistinguishable from magic.\n- Arthur C. Clarke"},
    {167,
     "The question of whether a computer can think is no more interesting than the question "
     "of whether a submarine can swim.\n- Edsger W. Dijkstra"},
    {168, "Controlling complexity is the essence of computer programming.\n- Brian Kernighan"},
    {169, "Debugging is twice as hard as writing the code in the first place.\n- Brian Kernighan"},
    {170,
     "There are two ways of constructing a software design: make it so simple that there are "
     "obviously no deficiencies, or so complicated that there are no obvious deficiencies.\n"
     "- C. A. R. Hoare"},
    {171, "Computers are useless. They can only give you answers.\n- Pablo Picasso"},
    {172,
     "If debugging is the process of removing bugs, then programming must be the process of "
     "putting them in.\n- Edsger W. Dijkstra"},
    {173,
     "Measuring programming progress by lines of code is like measuring aircraft building "
     "progress by weight.\n- Bill Gates"},
    {174, "Talk is cheap. Show me the code.\n- Linus Torvalds"},
    {175,
     "The most dangerous phrase in the language is: we've always done it this way.\n"
     "- Grace Hopper"},
    {176,
     "A language that doesn't affect the way you think about programming is not worth "
     "knowing.\n- Alan Perlis"},
    {177, "Make it work, make it right, make it fast.\n- Kent Beck"},
    {178, "The computer is incredibly fast, accurate, and stupid.\n- Anonymous"},
    {179, "Nine people can't make a baby in a month.\n- Fred Brooks"},
    {190,
     "Instant Save: No snapshot opened or saved yet in this session: save one with Save "
     "Snapshot first"},
    {191,
     "Snapshot Error: No snapshot format has this extension (use .z80, .sna, .szx, .snx, .sp, "
     ".sem, .snp or .sit)"},
    {192, "Snapshot Error: ZXS snapshots can be opened but not saved"},
    {193,
     "Configuration file had lines Orvo does not understand: the file is kept as orvo.ini.bad "
     "and a new one written"},
    {194, "Configuration file orvo.ini is read-only: settings are not saved"},
    {200, "Snapshot: The file is for a machine that is not emulated; it was loaded as"},
    {201,
     "Snapshot: An SNA file does not keep port 0x1FFD: the +2A/+3 memory and ROM paging it set "
     "will be lost. Save as Z80 or SZX to keep it."},
    {202, "ZIP Error: The archive cannot be read"},
    {203, "Tape Error: The tape holds a block Orvo cannot play; the tape stops before it"},
    {204, "RZX Error: The recording cannot be read"},
    {205, "ZIP Error: The entry is not a Spectrum file Orvo opens"},
    {206, "Snapshot: Loaded without the state of devices Orvo does not have fitted or emulated:"},
    {210, "F7 releases the mouse"},
    {220, "Movie: Cannot record the movie"},
    {221, "Cannot load the shader preset"},
};

constexpr std::array<const char*, kMessageCount> BuildMessageTable() {
  std::array<const char*, kMessageCount> table{};
  for (auto& text : table) text = "";
  for (const auto& entry : kMessages) table[entry.id] = entry.text;
  return table;
}

constexpr std::array<const char*, kMessageCount> kMessageTable = BuildMessageTable();

constexpr const char* kCaptions[kCaptionCount] = {
    "Orvo Error",   "Orvo Debug", "Orvo_Display",     "Orvo Infoseek",  "Orvo File",
    "Orvo Options", "Orvo Sound", "Orvo POKE Memory", "Orvo POKE Find", "Orvo RZX",
};

}  // namespace

const char* MessageText(MessageId id) {
  return id < kMessageCount ? kMessageTable[id] : "";
}

const char* CaptionText(CaptionId id) {
  const auto index = static_cast<unsigned>(id);
  return index < kCaptionCount ? kCaptions[index] : "";
}

bool MessageNamesFile(MessageId id) {
  switch (id) {
    case kMsgSnapshotLength:
    case kMsgSnapshotBlockLength:
    case kMsgZ80Version:
    case kMsgSzxSignature:
    case kMsgSzxUnknownBlock:
    case kMsgCannotLoadSnapshot:
    case kMsgTapeSignatureShort:
    case kMsgTapeSignature:
    case kMsgTapeRecording:
    case kMsgSnxSignature:
    case kMsgSpSignature:
    case kMsgSemSignatureLength:
    case kMsgSemSignature:
    case kMsgZxsRiff:
    case kMsgZxsSnap:
    case kMsgZxsFmtzLength:
    case kMsgZxsCompression:
    case kMsgZxsRegsLength:
    case kMsgZxs048Length:
    case kMsgZxsPage:
    case kMsgCartridgeCorrupt:
    case kMsgDiskSignature:
    case kMsgDiskCorrupt:
    case kMsgZipUnreadable:
    case kMsgTapeUnsupportedBlock:
    case kMsgRzxUnreadable:
    case kMsgZipEntryNotSpectrum:
    case kMsgDevicesLeftOut: return true;
    default: return id >= kMsgTapeFailedRomBlock && id <= kMsgTapeFailedConcatBlock;
  }
}

std::string FormatMessage(MessageId id, std::string_view detail) {
  // The text alone: the caption above it says what it is about.
  std::string text = MessageText(id);
  if (id == kMsgRomMissing) {
    // The missing ROM is named by its file name and extension; the lines after the path, when
    // there are any, are the folders it was looked for in.
    const size_t lineEnd = detail.find('\n');
    const std::string_view path = detail.substr(0, lineEnd);
    const size_t slash = path.find_last_of("/\\");
    text += "\n\n";
    text += slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (lineEnd != std::string_view::npos) {
      text += "\n\nLooked in:";
      text += detail.substr(lineEnd);
    }
  } else if (!detail.empty() &&
             (id == kMsgPokFileLine || id == kMsgCannotSaveFile || id == kMsgConfigKeptAsBad ||
              (id >= kMsgSoundInitFailed && id <= kMsgSoundNoPlay) || id == kMsgNearestModel ||
              id == kMsgMovieFailed || id == kMsgShaderPreset || MessageNamesFile(id))) {
    text += '\n';
    text += detail;
  }
  return text;
}

}  // namespace orvo
