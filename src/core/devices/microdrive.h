#pragma once
// The eight Microdrives behind an Interface 1. Each drive streams its cartridge's tape image (see
// formats/mdr_format.h) past the head: every status or data access moves the tape on, and the
// Interface 1 ROM finds the blocks by watching the status bits for the gaps and sync marks.
//
// The ROM picks a drive by clocking a single 0 bit through the daisy chain of drive-select
// flip-flops: a rising clock edge with the data line low latches the count of pulses sent before,
// the falling edges with data high count the drives passed, and a falling edge with data low
// selects drive 7 - count.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

constexpr int kMicrodriveCount = 8;
constexpr int kNoDrive = 8;
constexpr const char* kNoCartridgeName = "No Cartridge Inserted";

struct MicrodriveUnit {
  bool inserted = false;
  uint32_t position = 0;  // 0 .. kCartridgeTapeBytes - 1
  bool writable = false;  // the status bit reports the cartridge as not protected
  std::string path;       // the file the cartridge is written back to
  std::string name = kNoCartridgeName;
  std::vector<uint8_t> image;  // kCartridgeImageSize bytes while inserted
};

struct MicrodriveState {
  std::array<MicrodriveUnit, kMicrodriveCount> drives;
  uint8_t selected = kNoDrive;  // 0..7, or kNoDrive
  uint8_t counter = 0;          // clock pulses since the latch (0..7)
  uint8_t latched = kNoDrive;   // the count at the last latch
  uint8_t clock = 0;            // the last clock level: 0 or 2
  bool drivesOff = false;
  uint8_t commsOut = 1;    // the last byte written to the network and RS232 port
  uint32_t transfers = 0;  // bytes moved under a head: the activity lamps watch it change
  bool formatMode = false;
  std::string lastPath;  // the folder the insert and create dialogs start in
};

// The slot status of a tape position: 0 in a preamble, 6 in a header or data block, 4 in a gap.
uint8_t SlotStatus(uint32_t position);

// Port 0xEF written: the drive-select clock and data lines (bits 1 and 0).
void MicrodriveControlWrite(MicrodriveState& s, uint8_t value);
// Port 0xF7 written: bit 0 low turns the drives off.
void MicrodriveCommsWrite(MicrodriveState& s, uint8_t value);
// Port 0xEF read: the slot status with bit 0 set for a writable cartridge; 0xFF with no drive.
uint8_t MicrodriveStatusRead(MicrodriveState& s);
// Port 0xE7: the next header or data byte under the head, or a byte onto the tape.
uint8_t MicrodriveDataRead(MicrodriveState& s);
void MicrodriveDataWrite(MicrodriveState& s, uint8_t value);

// Puts a tape image (kCartridgeImageSize bytes) into drive n, which becomes the selected one.
void LoadCartridge(MicrodriveState& s, int n, std::vector<uint8_t> image, std::string path,
                   std::string name);
// Empties drive n (the caller has written the cartridge back).
void UnloadCartridge(MicrodriveState& s, int n);
bool AnyCartridge(const MicrodriveState& s);
// Sets the protect byte of drive n's image to match its writable flag.
void SetCartridgeWritable(MicrodriveState& s, int n, bool writable);

}  // namespace orvo
