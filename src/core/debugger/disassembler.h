#pragma once
// The Z80 disassembler: turns the code in emulated memory into text for the debugger's views, the
// PC log and the listing tools. Memory is read through a caller's peek function (for the machine:
// the current page map, no contention, no device side effects).
//
// Layout: the mnemonic is left-aligned in a field of six characters and followed directly by its
// operands, separated by commas without blanks ("LD    A,(HL)"). In base 16 numbers are upper-case
// hexadecimal marked with "#" (bytes two digits, words four); in base 10 they are plain decimal.
// Jump, call and memory addresses may be replaced by a label name (48K ROM routines, system
// variables).
//
// An index prefix (DD or FD) that the following opcode does not use is shown alone as
// "DEFB  DD ?" (or FD), one byte long, and the next byte decodes as its own instruction: that is
// what the CPU does with it. A run of prefixes leading into an instruction that uses the index is
// one instruction with the last prefix in force.
#include <array>
#include <cstdint>
#include <string>

#include "debugger/user_labels.h"

namespace orvo {

struct DisassemblyOptions {
  int base = 16;              // 16 or 10
  bool romLabels = false;     // 48K ROM routine names for addresses
  bool sysvarLabels = false;  // system variable names for addresses
  // The program's own labels, before the ROM's and the system variables'; null for none.
  const UserLabels* userLabels = nullptr;
};

using PeekFunction = uint8_t (*)(const void* context, uint16_t address);

// The decoder and its state. Each instruction starts from Reset().
class Disassembler {
 public:
  Disassembler(PeekFunction peek, const void* context, DisassemblyOptions options = {})
      : peek_(peek), context_(context), options_(options) {}

  // Clears the decoder state and puts the cursor on `address`.
  void Reset(uint16_t address);
  // Decodes the byte at the cursor. Returns 0 after a DD or FD prefix (the caller advances the
  // cursor by one and calls again) and 1 when the text is complete, the cursor then standing on
  // the instruction's last byte.
  int Disassemble();

  uint16_t Cursor() const { return cursor_; }
  void SetCursor(uint16_t address) { cursor_ = address; }
  const std::string& Text() const { return text_; }
  // The prefix, opcode, first operand or displacement and second operand bytes; -1 when unused.
  const std::array<int, 4>& Captured() const { return captured_; }
  DisassemblyOptions& Options() { return options_; }

 private:
  uint8_t Peek(uint16_t a) const { return peek_(context_, a); }
  uint8_t NextByte();
  void Split(uint8_t op);
  void DecodeMain(uint8_t op);
  void DecodeCb(uint8_t op);
  void DecodeIndexedCb();
  void DecodeEd(uint8_t op);

  // Operand text.
  std::string Byte(uint8_t v) const;
  std::string Word(uint16_t v, bool address) const;
  std::string Reg8(int r);  // B C D E H L (HL) A; index forms when a prefix is in force
  std::string Pair(int p, bool af);
  std::string HL();
  std::string Indexed();  // (IX+d): takes the displacement

  PeekFunction peek_;
  const void* context_;
  DisassemblyOptions options_;

  uint16_t cursor_ = 0;
  int index_ = 0;  // 0 none, 1 IX, 3 IY
  int table_ = 0;  // 0 unprefixed, 1 CB, 2 ED
  int x_ = 0, y_ = 0, z_ = 0, p_ = 0, q_ = 0;
  std::array<int, 4> captured_{-1, -1, -1, -1};
  std::string text_;
  bool indexUsed_ = false;  // the instruction used the prefix in force
  bool haveDisplacement_ = false;
  uint8_t displacement_ = 0;
  uint16_t prefixStart_ = 0;  // address of the first prefix of a run
};

// One decoded instruction.
struct DisassembledLine {
  uint16_t address = 0;
  uint8_t length = 0;  // 1..5 bytes
  std::string text;
};

// The calling protocol: decodes the instruction at `address`.
DisassembledLine DisassembleAt(PeekFunction peek, const void* context, uint16_t address,
                               const DisassemblyOptions& options);

// A listing of [from, to] (inclusive; an instruction that starts at or before `to` is listed
// whole): one line per instruction, "%04X", the instruction's bytes as hex pairs padded to a
// fixed column, then the text. With ROM labels on, a routine's name stands on a line of its own
// ("KEY_SCAN:") before its first instruction. Lines end with "\n".
std::string DisassemblyListing(PeekFunction peek, const void* context, uint16_t from, uint16_t to,
                               const DisassemblyOptions& options);

}  // namespace orvo
