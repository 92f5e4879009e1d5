#pragma once
// The tape deck of one machine: the tape image (a list of blocks in the TZX model) and the pulse
// player that turns the current block into the level on the ULA's EAR input.
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/tape_image.h"

namespace orvo {

constexpr uint8_t kEarHigh = 0x40;  // the EAR bit of the ULA port

// The tape deck of one machine.
struct TapeState {
  uint8_t EarBit = 0;  // 0x40 or 0: the level the tape puts on the ULA's EAR input

  std::unique_ptr<TapeImage> image;  // null while the deck is empty

  // ---- the pulse player ----
  uint32_t Elapsed = 0;  // T-states not yet consumed
  uint32_t Pulse = 0;    // length of the pulse in progress
  uint8_t State = 0;
  const uint8_t* Data = nullptr;
  uint32_t DataLength = 0;
  uint32_t Position = 0;    // byte index (symbol index for 0x19)
  uint32_t PulseCount = 0;  // pilot pulses played, pulses left in the bit, tone pulses, list index
  uint8_t BitMask = 0x80;
  uint8_t EndMask = 1;
  uint8_t LastByteMask = 1;  // end mask of the last byte
  uint8_t UsedBits = 8;
  uint32_t PilotPulse = 0, PilotCount = 0, Sync1 = 0, Sync2 = 0, ZeroPulse = 0, OnePulse = 0;
  uint32_t PauseLeft = 0;  // milliseconds
  uint32_t TonePulse = 0, ToneCount = 0;
  const uint16_t* PulseList = nullptr;
  uint32_t PulseListLength = 0;
  // Generalized data: position in the run list or symbol stream, and within the symbol.
  uint32_t RunIndex = 0, RunRepeat = 0, SymbolPulse = 0, Symbol = 0;
  // Recordings (0x18): samples played so far and the sample rate, for exact pulse lengths.
  uint64_t SampleCount = 0;
  uint32_t SampleRate = 0;
  bool InSymbol = false;   // a symbol has begun
  bool FirstPulse = true;  // no pulse of the block has begun yet
  // Flow control.
  int32_t JumpOffset = 0;
  uint32_t LoopCounter = 0;
  TapeBlock* LoopStart = nullptr;
  uint32_t CallsLeft = 0, CallIndex = 0;
  TapeBlock* ReturnBlock = nullptr;
  uint32_t IdleSteps = 0;  // steps in a row that took no time (a safeguard against endless loops)
  // Blocks that lead back to themselves without a pulse between (jumps pointing at each other, a
  // call sequence calling itself) stop the deck there. Nothing starts it again on its own (the
  // automatic start, the load traps): only the user's Play or a new tape. 1: stopped and not yet
  // reported, 2: reported.
  uint8_t LoopStopped = 0;
  // A stop that comes at the instant of an edge waits one millisecond, so that the loader sees
  // the edge that closes the last pulse before the EAR input falls quiet.
  uint8_t InstantLevel = 0;  // the level before the current instant's steps
  bool Holding = false;
  TapeBlock* HoldNext = nullptr;  // the block to enter when the hold is over

  // ---- tape wobble ----
  uint32_t WobbleCounter = 0;
  int32_t WobbleAmplitude = 5;
  uint64_t RandomState = 0x9E3779B97F4A7C15ull;

  // ---- automatic start and stop ----
  int32_t LastReadTime = -100000;  // T-states relative to the current frame
  uint8_t LastB = 0;
  uint32_t AutoCount = 0;
  // Edges the deck has played, and how many it had played when the frame began: a frame in
  // which the tape sounded is no gap between loads, whether or not the program read it.
  uint32_t EdgeCount = 0;
  uint32_t EdgesAtFrameStart = 0;

  // ---- fast loading ----
  int32_t SavedFrameskip = 0;  // the Frameskip setting while a fast load draws every 11th frame
  uint32_t SavedFullSpeed = 0;
  bool FastLoading = false;  // StartTape switched to fast loading

  // ---- saving to tape ----
  bool SaveTrap = false;             // the ROM's SA-BYTES is trapped
  std::vector<uint8_t> SavedBlocks;  // TAP blocks saved since the shell last wrote them out
  // A program's own saver heard on MIC (with the trap on): the pulse lengths in T-states since
  // its first edge, and when the last edge came (T-states since start-up).
  std::vector<uint32_t> MicPulses;
  uint64_t MicLastEdge = 0;
  bool MicFirstHigh = false;

  // ---- the tape browser's view (read by the UI) ----
  uint32_t Progress = 0;  // byte position of the current block
};

}  // namespace orvo
