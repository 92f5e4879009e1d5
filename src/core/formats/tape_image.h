#pragma once
// The tape image in the TZX model: a list of blocks, each with its TZX block ID, its data and the
// parameters its ID gives. TAP files become lists of standard-speed blocks. The parsers fill it
// (tape_parsers.h); the tape player plays it.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvo {

// TZX block IDs the deck knows by name.
enum TapeBlockId : uint8_t {
  kBlockStandard = 0x10,
  kBlockTurbo = 0x11,
  kBlockPureTone = 0x12,
  kBlockPulses = 0x13,
  kBlockPureData = 0x14,
  kBlockDirect = 0x15,
  kBlockCsw = 0x18,
  kBlockGeneralized = 0x19,
  kBlockPause = 0x20,
  kBlockGroupStart = 0x21,
  kBlockGroupEnd = 0x22,
  kBlockJump = 0x23,
  kBlockLoopStart = 0x24,
  kBlockLoopEnd = 0x25,
  kBlockCallSequence = 0x26,
  kBlockReturn = 0x27,
  kBlockSelect = 0x28,
  kBlockStop48 = 0x2A,
  kBlockSignalLevel = 0x2B,
  kBlockText = 0x30,
  kBlockMessage = 0x31,
  kBlockArchiveInfo = 0x32,
  kBlockHardware = 0x33,
  kBlockCustomInfo = 0x35,
  kBlockGlue = 0x5A,
};

// Playback states of the player.
enum TapePlayState : uint8_t {
  kTapePilot = 0,
  kTapeSync1 = 1,
  kTapeSync2 = 2,
  kTapeData = 3,
  kTapeAfterData = 4,  // direct recording: the first millisecond of its pause
  kTapePauseState = 5,
};

// Fixed lengths of the ROM's own blocks, in T-states.
constexpr uint32_t kStandardPilotPulse = 2168;
constexpr uint32_t kStandardSync1 = 667;
constexpr uint32_t kStandardSync2 = 735;
constexpr uint32_t kStandardZeroBit = 855;
constexpr uint32_t kStandardOneBit = 1710;
constexpr uint32_t kHeaderPilotPulses = 8063;
constexpr uint32_t kDataPilotPulses = 3223;
constexpr uint32_t kTStatesPerMillisecond = 3500;

// A generalized data block (0x19): its two symbol alphabets and the pilot/sync run list.
struct GeneralizedData {
  struct Alphabet {
    uint32_t maxPulses = 0;        // pulses per symbol row (NPP or NPD)
    uint32_t symbols = 0;          // rows (ASP or ASD; 0 in the file means 256)
    std::vector<uint8_t> flags;    // per symbol: bits 0-1 the level rule of its first pulse
    std::vector<uint16_t> pulses;  // symbols x maxPulses; a 0 ends a shorter symbol
  };
  Alphabet pilot, data;
  std::vector<std::pair<uint8_t, uint16_t>> runs;  // pilot/sync stream: (symbol, repetitions)
  uint32_t dataSymbols = 0;                        // TOTD
  uint32_t bitsPerSymbol = 0;                      // NB = ceil(log2(ASD))
};

// One block of the tape. Numeric parameters p0..p7 carry what the block ID gives them:
//   0x10: p0 used bits (8), p1 pilot pulse, p2 pilot pulses, p5 pause
//   0x11: p0 used bits, p1 pilot, p2 pilot pulses, p3 sync 1, p4 sync 2, p5 zero, p6 one, p7 pause
//   0x12: p0 pulse length, p1 number of pulses
//   0x13: p0 number of pulses (list in `pulses`)
//   0x14: p0 used bits, p1 zero, p2 one, p4 pulses per bit (2), p5 bit mask, p6 pause,
//         p7 end mask of the last byte
//   0x15: p0 used bits, p1 pause, p2 T-states per sample, p3 end mask of the last byte
//   0x18: p0 sample rate, p1 first level, p2 pause, p3 compression, p4 T-states per sample,
//         p5 size shown, p6 pulses; `data` is the unpacked RLE pulse stream (csw_format.h)
//   0x19: p0 pause (tables in `gdb`)
//   0x20: p0 pause in ms (0 stops the tape)
//   0x23: p0 relative jump as stored (16 bits, signed)
//   0x24: p0 repetitions
//   0x26: p0 number of calls (offsets in `calls`)
//   0x2B: p0 level (0 low, 1 high)
//   0x32: p0 block length, p1 number of strings (in `infos`)
//   0x33: p0 number of entries (in `hardware`)
//   0x35: p1 data length (the data is `data`)
// Texts (0x21, 0x30, 0x31, 0x35's identification) are in `text`; carriage returns of 0x21, 0x30
// and 0x31 texts are turned into line feeds.
struct TapeBlock {
  uint32_t spare = 0;
  uint32_t index = 0;             // number in file order from 0
  uint32_t length = 0;            // data length in bytes
  const uint8_t* data = nullptr;  // into the image's bytes; null for blocks without data
  uint32_t position = 0;
  uint32_t pulse = 0;  // start pulse
  uint8_t state = 0;   // start state
  uint8_t id = 0;
  uint32_t p[8] = {};
  std::vector<uint16_t> pulses;  // 0x13
  std::vector<int16_t> calls;    // 0x26
  std::string text;
  std::vector<std::pair<uint8_t, std::string>> infos;  // 0x32: (text ID, text)
  std::vector<std::array<uint8_t, 3>> hardware;        // 0x33: (type, ID, value)
  std::unique_ptr<GeneralizedData> gdb;                // 0x19
  std::vector<uint8_t>
      owned;  // data made while parsing (an unpacked recording); `data` points here
  TapeBlock* previous = nullptr;
  TapeBlock* next = nullptr;
};

// The tape in the deck. Blocks keep pointers into `bytes`, the file as it was read.
struct TapeImage {
  std::vector<uint8_t> bytes;
  std::vector<std::unique_ptr<TapeBlock>> blocks;  // file order; blocks[i]->index == i
  TapeBlock* first = nullptr;
  TapeBlock* last = nullptr;
  TapeBlock* current = nullptr;
  std::string path;  // full path of the file (empty when it came from memory)
  bool isTzx = false;
  uint8_t sourceKind = 0;  // the deck's kind of file it came from, to parse it again on rewind
};

// Appends a block with this ID to the end of the list and numbers it.
TapeBlock* NewTapeBlock(TapeImage& tape, uint8_t id);

// The end mask of a last byte with `usedBits` bits in use (0x80 >> (usedBits - 1); 0 or more
// than 8 bits count as 8).
uint8_t LastByteEndMask(uint32_t usedBits);

}  // namespace orvo
