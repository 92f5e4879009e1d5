#pragma once
// The command ids: one per menu item and accelerator. The window's command table, the menu
// states the core keeps and the commands themselves all name a command by these.
#include <cstdint>

namespace orvo {

// The numbers are those of the menu and accelerator tables.
enum class CommandId : uint16_t {
  // File
  LoadSnapshot = 100,
  SaveSnapshot = 101,
  InsertDiskA = 102,
  InsertDiskB = 103,
  EjectDiskA = 104,
  EjectDiskB = 105,
  LoadBinary = 106,
  SaveBinary = 107,
  Microdrives = 108,
  If2Insert = 109,
  If2Remove = 110,
  Quit = 112,
  LoadFile = 113,
  SaveScreen = 114,
  LoadBasicText = 115,
  NewDiskA = 230,
  NewDiskB = 231,
  // Emulation
  SoftReset = 120,
  HardReset = 121,
  GenerateNmi = 122,
  // Tape
  LoadTape = 130,
  EjectTape = 131,
  BrowseTape = 132,
  RewindTape = 133,
  StartStopTape = 134,
  SaveToTape = 135,
  // View
  View100 = 140,
  View200 = 141,
  Fullscreen = 142,
  Vsync = 143,
  View300 = 144,
  // Tools
  Options = 150,
  LoadConfig = 151,
  SaveConfig = 152,
  DefaultConfig = 153,
  ZxPrinter = 154,
  SpriteSearch = 155,
  Calculator = 156,
  UlaPlusEditor = 157,
  PokeMemory = 158,
  KeyboardHelper = 159,
  EnableKeystick = 160,
  MemoryMap = 161,
  SnapshotAnalyser = 167,
  PokeFinder = 168,
  Infoseek = 111,
  Assembler = 9998,
  // RZX
  RzxPlay = 117,
  RzxStop = 118,
  RzxInfo = 119,
  RzxLogging = 126,
  RzxRecord = 200,
  RzxStopRecording = 201,
  RzxContinue = 202,
  RzxFinalise = 203,
  RzxAddBookmark = 204,
  RzxFromBookmark = 205,
  RzxGoToBookmark = 207,
  // Debug
  Debugger = 170,
  ViewMemory = 171,
  ViewDisassembly = 172,
  PcLogging = 173,
  PcLogOneFrame = 174,
  ViewRegisters = 175,
  ViewPrinterBuffer = 176,
  ViewMicrodrive = 177,
  // Help
  About = 190,
  Help = 191,
  // Accelerators only
  Paste = 169,
  FullSpeed = 208,
  Rewind = 209,
  Mouse = 210,
  MouseInfo = 211,
  Pause = 212,
  InstantSave = 213,
  // Shaders and movies (numbers of their own, apart from the table's)
  RecordMovie = 9100,
  StopMovie = 9101,
  ShaderParameters = 9102,
  LoadShaderPreset = 9103,
  BuiltinShaders = 9104,
  // The Beta 128's drives C: and D: and the write-protect tabs of its four drives (File menu)
  InsertDiskC = 9110,
  InsertDiskD = 9111,
  EjectDiskC = 9112,
  EjectDiskD = 9113,
  NewDiskC = 9114,
  NewDiskD = 9115,
  WriteProtectA = 9116,
  WriteProtectB = 9117,
  WriteProtectC = 9118,
  WriteProtectD = 9119,
};

}  // namespace orvo
