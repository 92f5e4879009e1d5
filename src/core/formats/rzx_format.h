#pragma once
// The RZX input recording format: a snapshot followed by the machine's inputs frame by frame.
//
// A 10-byte header ("RZX!", major and minor version, 4 flag bytes), then blocks of an ID byte and
// a 4-byte length that counts the whole block. The creator block (0x10) names the program that
// wrote the file; the snapshot block (0x30) holds a whole snapshot file, zlib-compressed when its
// flag bit 1 is set; an input-recording block (0x80) holds, per frame, the number of opcode
// fetches before the frame's interrupt, the number of port reads and the values they returned. A
// read count of 0xFFFF repeats the previous frame's values. All numbers are little-endian.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/format_status.h"

namespace orvo {

constexpr uint16_t kRzxRepeatFrame = 0xFFFF;

struct RzxFrame {
  uint16_t fetches = 0;  // opcode fetches until the frame's interrupt
  uint32_t reads = 0;    // port reads, each answered by the next value
  uint32_t first = 0;    // index of the first value in the block's `values`
};

struct RzxInputBlock {
  uint8_t reserved = 0;
  uint32_t startTState = 0;  // the frame T-state position where the block starts
  uint32_t flags = 0;        // bit 0 protected, bit 1 compressed
  std::vector<RzxFrame> frames;
  std::vector<uint8_t> values;  // every frame's port values, repeated frames sharing theirs

  std::span<const uint8_t> ValuesOf(const RzxFrame& f) const {
    return std::span<const uint8_t>(values).subspan(f.first, f.reads);
  }
};

struct RzxSnapshot {
  uint32_t flags = 0;  // bit 0 external file descriptor, bit 1 compressed
  std::array<char, 4> extension{};
  uint32_t length = 0;        // uncompressed length as the block states it
  std::vector<uint8_t> data;  // the snapshot file (inflated), or the external descriptor

  bool External() const { return (flags & 1) != 0; }
  // The extension as text, without its NUL padding.
  std::string Extension() const;
};

// A frame whose interrupt found a device's byte on the data bus when the CPU acknowledged it (the
// AMX mouse's IM 2 vector for a step of the pointer) instead of the idle 0xFF. The format has no
// place for it: Orvo keeps these in its creator block's custom data, as "VECT", a 32-bit count,
// then per frame its 32-bit index in the recording and the byte. Other players, and the files
// other programs rewrite, have the idle bus there.
struct RzxBusVector {
  uint32_t frame = 0;
  uint8_t vector = 0xFF;
};

struct RzxFile {
  uint8_t major = 0, minor = 12;
  uint32_t flags = 0;
  std::string creator = "Orvo";  // up to 20 characters
  uint16_t creatorMajor = 0, creatorMinor = 0x133;
  std::vector<RzxBusVector> busVectors;  // in frame order
  uint32_t snapshotCount = 0;            // snapshot blocks read (the last one is kept)
  RzxSnapshot snapshot;
  std::vector<RzxInputBlock> inputs;

  uint64_t TotalFrames() const;
};

// Reads an RZX file. Every block must lie wholly inside the file; blocks of IDs the format has
// no use for (security blocks, later additions) are skipped by their length. Errors:
// RzxSignature (no "RZX!"), RzxBlock (a block that overruns the file, a length below its header,
// compressed data that do not inflate, frames that overrun their data; detail: the block's offset).
FormatStatus ParseRZX(std::span<const uint8_t> data, RzxFile& out);

// The whole file: header, creator, snapshot (compressed) and one input-recording block with all
// the frames of `file.inputs` (compressed). A frame after the first whose reads equal the previous
// frame's (and are not none) is written as a repeat.
std::vector<uint8_t> WriteRZX(const RzxFile& file);

// "HH:MM:SS" for a number of 50 Hz frames.
std::string RzxDurationText(uint64_t frames);

}  // namespace orvo
