#pragma once
// The neutral snapshot record: everything a snapshot file says about a machine, in one shape for
// every format. Readers fill it from a file's bytes and writers make a file from it; the snapshot
// subsystem puts a record into a running machine and takes one out of it. A format fills what it
// carries and leaves the rest empty (the optional fields), so that loading it leaves those parts of
// the machine as its set-up made them.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

// The machine models by their numbers in the model table, which the SZX machine ID also uses.
enum class SnapshotModel : uint8_t {
  k16K = 0,
  k48K = 1,
  k128K = 2,
  kPlus2 = 3,
  kPlus2A = 4,
  kPlus3 = 5,
  kCustom = 6,
  kPentagon = 7,  // the SZX machine ID of the Pentagon 128 too
};

// The 128K, +2, +2A, +3 and Pentagon: eight RAM banks and the 0x7FFD paging latch.
inline bool IsSnapshot128K(SnapshotModel model) {
  return (model >= SnapshotModel::k128K && model <= SnapshotModel::kPlus3) ||
         model == SnapshotModel::kPentagon;
}

constexpr size_t kSnapshotPageSize = 16384;

// T-states in a frame of the model.
inline uint32_t SnapshotFrameLength(SnapshotModel model) {
  if (model == SnapshotModel::kPentagon) return 71680;
  return IsSnapshot128K(model) ? 70908 : 69888;
}

struct SnapshotCpu {
  uint16_t AF = 0, BC = 0, DE = 0, HL = 0;
  uint16_t AF_ = 0, BC_ = 0, DE_ = 0, HL_ = 0;
  uint16_t IX = 0, IY = 0, SP = 0, PC = 0;
  uint8_t I = 0;
  uint8_t R = 0;   // the R register byte as stored
  uint8_t R7 = 0;  // bit 7 of R as the program reads it: 0 or 0x80
  uint8_t IFF1 = 0, IFF2 = 0;
  uint8_t IM = 0;
  // Stopped in a HALT, with PC past the HALT opcode. A format without a halted flag stores the
  // HALT's own address (ResumePC), so that the program halts again after loading.
  bool halted = false;
  // PC is the word at SP, to be popped when the record is loaded (the 48K SNA pushes it there,
  // and the stack may lie in ROM, which the file does not hold).
  bool pcOnStack = false;
  std::optional<uint16_t> MEMPTR;
  bool eiLast = false;    // the last instruction was EI: no interrupt before the next one
  bool flagsSet = false;  // the last instruction wrote F (so the next SCF/CCF sees it)

  // The PC a format without a halted flag stores.
  uint16_t ResumePC() const { return halted ? static_cast<uint16_t>(PC - 1) : PC; }
  // R as LD A,R reads it.
  uint8_t VisibleR() const { return static_cast<uint8_t>((R & 0x7F) | (R7 & 0x80)); }
};

struct SnapshotAy {
  uint8_t selected = 0;  // the register latch (last value written to port 0xFFFD)
  std::array<uint8_t, 16> regs{};
};

// A block of a device the record has no field for, keyed by a four-character ID padded with NUL
// bytes ("AY\0\0"), as the block-structured formats name them.
struct SnapshotBlock {
  std::array<char, 4> id{};
  std::vector<uint8_t> body;
};

// Makes a block ID from up to four characters.
inline std::array<char, 4> SnapshotBlockId(std::string_view text) {
  std::array<char, 4> id{};
  for (size_t k = 0; k < id.size() && k < text.size(); ++k) id[k] = text[k];
  return id;
}

struct SnapshotRecord {
  SnapshotModel model = SnapshotModel::k48K;
  SnapshotCpu cpu;
  std::optional<uint32_t> frameTState;    // the T-state position in the frame
  std::optional<uint8_t> interruptArmed;  // the frame-start interrupt request is still pending
  uint8_t interruptHold = 0;  // T-states the interrupt request is still held (0: the model's own)
  // Taken between frames with the frame-start interrupt still to be taken: frameTState is inside
  // the INT line's active time.
  bool interruptDue = false;

  uint8_t border = 0;               // 0-7
  std::optional<uint8_t> lastFE;    // last value written to the ULA port (else the border)
  uint8_t last7FFD = 0;             // applied on the 128K models
  uint8_t last1FFD = 0;             // applied on the +2A and +3
  std::optional<bool> if1RomPaged;  // the Interface 1 ROM is paged in
  bool ayOn48K = false;             // the file uses the AY on a 48K: turn the AY48K option on
  std::optional<SnapshotAy> ay;
  std::optional<bool> interface1;  // an Interface 1 is fitted
  std::optional<bool> issue2;      // the keyboard is an issue 2 board (48K)
  // The joystick in the settings' numbering: 0 none, 1 Kempston, 2 Fuller, 3 cursor, 4 and 5 the
  // Interface II ports 1 and 2.
  std::optional<uint8_t> joystick;
  // The file is for a machine that is not emulated here; `model` is the nearest one.
  bool nearestModel = false;

  // RAM by bank: 16K each, or less when the file ended its image early (the rest is left as the
  // set-up made it); empty for banks the file does not hold. The 48K models use banks 5, 2 and 0
  // for 0x4000, 0x8000 and 0xC000, where the 128K models have those banks by default.
  std::array<std::vector<uint8_t>, 8> ram;

  std::vector<SnapshotBlock> blocks;  // further devices, in file order

  std::string label;  // the file-type label the window shows ("Z80 File Version: 3.00")

  const SnapshotBlock* FindBlock(std::string_view id) const {
    const auto key = SnapshotBlockId(id);
    for (const SnapshotBlock& b : blocks) {
      if (b.id == key) return &b;
    }
    return nullptr;
  }
};

// The bank a 48K model has at `address` (0x4000, 0x8000 or 0xC000).
inline uint8_t Bank48KAt(uint16_t address) {
  return address < 0x8000 ? 5 : (address < 0xC000 ? 2 : 0);
}

}  // namespace orvo
