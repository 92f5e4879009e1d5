#pragma once
// Helpers for the tape tests: building TAP and TZX files in memory, and playing a deck pulse by
// pulse while recording when the EAR level changes.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "formats/tape_parsers.h"
#include "machine/machine_state.h"
#include "shell/format_messages.h"
#include "support/recording_host.h"
#include "tape/tape_player.h"

namespace orvo::test {

// Little-endian byte writer for tape files.
class TapeBytes {
 public:
  TapeBytes& U8(uint32_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  TapeBytes& U16(uint32_t v) { return U8(v).U8(v >> 8); }
  TapeBytes& U24(uint32_t v) { return U16(v).U8(v >> 16); }
  TapeBytes& U32(uint32_t v) { return U16(v).U16(v >> 16); }
  TapeBytes& Raw(const std::vector<uint8_t>& v) {
    bytes.insert(bytes.end(), v.begin(), v.end());
    return *this;
  }
  TapeBytes& Text(const std::string& s) { return Raw({s.begin(), s.end()}); }
  // "ZXTape!" 0x1A and version 1.20.
  TapeBytes& TzxHeader() { return Raw({'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20}); }
  // A TAP block: length word, then the bytes.
  TapeBytes& TapBlock(const std::vector<uint8_t>& data) {
    return U16(static_cast<uint32_t>(data.size())).Raw(data);
  }
  // TZX blocks.
  TapeBytes& Turbo(uint32_t pilot, uint32_t sync1, uint32_t sync2, uint32_t zero, uint32_t one,
                   uint32_t pilots, uint32_t bits, uint32_t pause,
                   const std::vector<uint8_t>& data) {
    U8(0x11).U16(pilot).U16(sync1).U16(sync2).U16(zero).U16(one).U16(pilots).U8(bits).U16(pause);
    return U24(static_cast<uint32_t>(data.size())).Raw(data);
  }
  TapeBytes& Standard(uint32_t pause, const std::vector<uint8_t>& data) {
    return U8(0x10).U16(pause).U16(static_cast<uint32_t>(data.size())).Raw(data);
  }
  TapeBytes& Tone(uint32_t pulse, uint32_t count) { return U8(0x12).U16(pulse).U16(count); }
  TapeBytes& Pulses(std::initializer_list<uint32_t> pulses) {
    U8(0x13).U8(static_cast<uint32_t>(pulses.size()));
    for (uint32_t p : pulses) U16(p);
    return *this;
  }
  TapeBytes& PureData(uint32_t zero, uint32_t one, uint32_t bits, uint32_t pause,
                      const std::vector<uint8_t>& data) {
    U8(0x14).U16(zero).U16(one).U8(bits).U16(pause);
    return U24(static_cast<uint32_t>(data.size())).Raw(data);
  }
  TapeBytes& Pause(uint32_t ms) { return U8(0x20).U16(ms); }
  TapeBytes& Jump(int32_t offset) { return U8(0x23).U16(static_cast<uint16_t>(offset)); }
  TapeBytes& LoopStart(uint32_t n) { return U8(0x24).U16(n); }
  TapeBytes& LoopEnd() { return U8(0x25); }
  TapeBytes& Call(std::initializer_list<int32_t> offsets) {
    U8(0x26).U16(static_cast<uint32_t>(offsets.size()));
    for (int32_t o : offsets) U16(static_cast<uint16_t>(o));
    return *this;
  }
  TapeBytes& Return() { return U8(0x27); }
  TapeBytes& Stop48() { return U8(0x2A).U32(0); }
  TapeBytes& Level(bool high) { return U8(0x2B).U32(1).U8(high ? 1 : 0); }
  TapeBytes& Comment(const std::string& s) {
    return U8(0x30).U8(static_cast<uint32_t>(s.size())).Text(s);
  }

  std::vector<uint8_t> bytes;
};

// A TZX file of no blocks yet.
inline TapeBytes Tzx() {
  return TapeBytes().TzxHeader();
}

// A standard ROM block: flag, data, checksum.
inline std::vector<uint8_t> RomBlock(uint8_t flag, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out{flag};
  uint8_t sum = flag;
  for (uint8_t b : data) {
    out.push_back(b);
    sum ^= b;
  }
  out.push_back(sum);
  return out;
}

// A ROM header block for a program called TEST.
inline std::vector<uint8_t> Header19() {
  return RomBlock(0x00,
                  {3, 'T', 'E', 'S', 'T', ' ', ' ', ' ', ' ', ' ', ' ', 0, 0x40, 0, 0x40, 0, 0});
}

// A machine with a tape parsed into its deck (not yet playing).
struct TapeRig {
  // Parses `bytes` as TZX (or TAP) into the deck and enters the first block.
  uint8_t Insert(const std::vector<uint8_t>& bytes, bool tzx = true) {
    m->tape.image = std::make_unique<TapeImage>();
    const FormatStatus parsed =
        tzx ? ParseTZX(*m->tape.image, bytes) : ParseTAP(*m->tape.image, bytes);
    ShowFormatError(host, parsed);
    const uint8_t status = TapeParseStatusOf(parsed);
    EnterTapeBlock(*m, m->tape.image->first);
    UpdateTapeTraps(*m);
    return status;
  }

  // Plays until the pulse in progress ends (at least one step of the player). Returns the
  // T-states that took.
  uint32_t Step() {
    TapeState& t = m->tape;
    const uint32_t d = t.Pulse > t.Elapsed ? t.Pulse - t.Elapsed : 0;
    RunTape(*m, d);
    now += d;
    return d;
  }

  // Starts the tape and plays it until it stops, noting the time of every change of the EAR
  // level.
  void PlayRecording() {
    StartTape(*m);
    uint8_t level = m->tape.EarBit;
    while (m->TapePlaying) {
      Step();
      if (!m->TapePlaying) break;  // a stopped deck's level is not heard
      if (m->tape.EarBit != level) {
        level = m->tape.EarBit;
        edges.push_back(now);
        levels.push_back(level);
      }
    }
  }

  // The lengths between consecutive edges, the first measured from the start.
  std::vector<uint64_t> Intervals() const {
    std::vector<uint64_t> out;
    uint64_t last = 0;
    for (uint64_t e : edges) {
      out.push_back(e - last);
      last = e;
    }
    return out;
  }

  RecordingHost host;
  std::unique_ptr<MachineState> m = std::make_unique<MachineState>();
  uint64_t now = 0;
  std::vector<uint64_t> edges;
  std::vector<uint8_t> levels;
};

}  // namespace orvo::test
