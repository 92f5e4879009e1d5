#pragma once
// A programmer's calculator for Z80 work: 8- or 16-bit integers entered and shown in binary,
// decimal or hexadecimal, signed or unsigned, with the Z80's rotates and shifts through a carry.
// The state outlives the window; the window only forwards key presses and shows `display`.
#include <cstdint>
#include <string>

namespace orvo {

enum class CalcKey : uint8_t {
  // Digits are pressed with Digit(); these are the other keys.
  Equals,
  Minus,
  Plus,
  Divide,
  Multiply,
  Or,
  Xor,
  And,
  Not,
  Rl,
  Rr,
  Rlc,
  Rrc,
  Sla,
  Sra,
  Sll,
  Srl,
  Bin,
  Dec,
  Hex,
  Carry,
  PlusMinus,
  Size,
  Store,
  ClearAll,
  ClearEntry,
  SignMode,
};

class Calculator {
 public:
  static constexpr int kDisplayWidth = 16;

  // The state a fresh window shows: decimal, BYTE, no carry, a cleared display. The sign mode
  // is kept from earlier openings.
  void Open();
  // Closing forgets the operands and the pending operation.
  void Close();
  // A digit 0..15; ignored where the base or the entry limits do not allow it.
  void Digit(int digit);
  void Press(CalcKey key);
  // A typed character: digits, A-F, + - * / = and Enter, Backspace (clear entry), Escape (CA).
  // Returns whether the character meant anything.
  bool Type(char c);

  // The 16-character display, right-aligned.
  const std::string& display() const { return display_; }
  int base() const { return base_; }
  int size() const { return size_; }
  bool carry() const { return carry_; }
  bool signedMode() const { return signedMode_; }
  // Which digit keys the current base enables (the window greys the others).
  bool DigitEnabled(int digit) const;
  const char* SizeCaption() const { return size_ == 8 ? "BYTE" : "WORD"; }
  const char* SignCaption() const { return signedMode_ ? "SIGNED" : "UNSIGNED"; }
  const char* CarryCaption() const { return carry_ ? "CARRY" : "NO CARRY"; }

 private:
  enum class Op : uint8_t { None, Plus, Minus, Multiply, Divide, And, Or, Xor, Equals };

  int32_t EntryValue() const;
  void ClearEntry();
  void SetDisplay(const std::string& text);
  void Show(int32_t value);
  void Operation(Op op);
  void Evaluate();
  void Equals();
  void Rotate(CalcKey key);
  void ChangeBase(int newBase);
  bool InLimits(int64_t value) const;

  std::string entry_;
  std::string display_ = std::string(kDisplayWidth - 1, ' ') + "0";
  int base_ = 10;
  int size_ = 8;
  bool signedMode_ = false;
  bool negativeEntry_ = false;
  bool carry_ = false;
  int32_t first_ = 0, second_ = 0, result_ = 0;
  Op pending_ = Op::None;
  bool divideByZero_ = false;
  bool multiplied_ = false;
};

}  // namespace orvo
