#include "tools/calculator.h"

#include <cstdio>
#include <cstdlib>

namespace orvo {

namespace {

std::string Binary(uint32_t value, int digits) {
  std::string text;
  for (int bit = digits - 1; bit >= 0; --bit) text += (value >> bit) & 1 ? '1' : '0';
  return text;
}

}  // namespace

void Calculator::Open() {
  carry_ = false;
  base_ = 10;
  size_ = 8;
  negativeEntry_ = divideByZero_ = multiplied_ = false;
  ChangeBase(10);
}

void Calculator::Close() {
  first_ = second_ = result_ = 0;
  ClearEntry();
  SetDisplay("0");
  pending_ = Op::None;
}

int32_t Calculator::EntryValue() const {
  if (entry_.empty()) return 0;
  return static_cast<int32_t>(std::strtol(entry_.c_str(), nullptr, base_));
}

void Calculator::ClearEntry() {
  entry_.clear();
  negativeEntry_ = false;
  divideByZero_ = false;
}

void Calculator::SetDisplay(const std::string& text) {
  const std::string shown =
      text.size() > kDisplayWidth ? text.substr(text.size() - kDisplayWidth) : text;
  display_ = std::string(kDisplayWidth - shown.size(), ' ') + shown;
}

void Calculator::Show(int32_t value) {
  char text[40];
  if (base_ == 10) {
    std::snprintf(text, sizeof text, "%d", value);
  } else if (base_ == 16) {
    if (size_ == 8)
      std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value) & 0xFF);
    else
      std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value) & 0xFFFF);
  } else {
    std::snprintf(text, sizeof text, "%s", Binary(static_cast<uint32_t>(value), size_).c_str());
  }
  entry_ = text;
  SetDisplay(entry_);
}

bool Calculator::InLimits(int64_t value) const {
  if (size_ == 8)
    return negativeEntry_ ? value >= -128 && value <= 127 : value >= 0 && value <= 255;
  return negativeEntry_ ? value >= -32768 && value <= 32767 : value >= 0 && value <= 65535;
}

bool Calculator::DigitEnabled(int digit) const {
  if (digit <= 1) return true;
  if (digit <= 9) return base_ != 2;
  return base_ == 16;
}

void Calculator::Digit(int digit) {
  if (digit < 0 || digit > 15 || !DigitEnabled(digit)) return;
  // A lone "0" is kept as typed (so "5 * 0 =" multiplies by a zero the user entered) and is
  // replaced by the next digit, so the entry never grows leading zeros.
  if (entry_ == "0") entry_.clear();
  if (entry_.size() >= kDisplayWidth) return;
  entry_ += "0123456789ABCDEF"[digit];
  const int64_t value = std::strtoll(entry_.c_str(), nullptr, base_);
  if (!InLimits(value)) {
    entry_.pop_back();
    return;
  }
  SetDisplay(entry_);
}

void Calculator::Operation(Op op) {
  second_ = EntryValue();
  if (pending_ != Op::None) {
    Evaluate();
    first_ = result_;
  } else {
    first_ = second_;
  }
  // A division by zero in a chain stays flagged until "=" reports it, so the chain cannot
  // quietly go on with a stale result.
  const bool divided = divideByZero_;
  ClearEntry();
  divideByZero_ = divided;
  pending_ = op;
}

void Calculator::Evaluate() {
  // Computed in 64 bits and kept to 32, so a product of two large words cannot overflow.
  const int64_t a = first_, b = second_;
  switch (pending_) {
    case Op::And: result_ = static_cast<int32_t>(a & b); break;
    case Op::Or: result_ = static_cast<int32_t>(a | b); break;
    case Op::Xor: result_ = static_cast<int32_t>(a ^ b); break;
    case Op::Plus: result_ = static_cast<int32_t>(a + b); break;
    case Op::Minus: result_ = static_cast<int32_t>(a - b); break;
    case Op::Multiply:
      result_ = static_cast<int32_t>(a * b);
      multiplied_ = true;
      break;
    case Op::Divide:
      if (b == 0)
        divideByZero_ = true;
      else
        result_ = static_cast<int32_t>(a / b);
      break;
    case Op::Equals: Show(result_); break;  // shows the last result once more
    case Op::None: break;
  }
}

void Calculator::Equals() {
  if (pending_ == Op::None) return;
  const bool squared = entry_.empty() && pending_ == Op::Multiply;
  second_ = EntryValue();
  Evaluate();
  pending_ = Op::Equals;
  if (divideByZero_) {
    SetDisplay("DIVIDE BY 0");
    first_ = second_ = result_ = 0;
    pending_ = Op::None;
    ClearEntry();
    return;
  }
  if ((size_ == 8 && result_ > 255) || (size_ == 16 && result_ > 65535) ||
      (!signedMode_ && result_ < 0)) {
    SetDisplay("OVERFLOW");
    first_ = second_ = result_ = 0;
    pending_ = Op::None;
    ClearEntry();
    return;
  }
  // "5 * =" with nothing typed squares the number, as pocket calculators do; "5 * 0 =" is 0.
  if (squared) {
    result_ = first_ * first_;
    if ((size_ == 8 && result_ > 255) || (size_ == 16 && result_ > 65535)) {
      SetDisplay("OVERFLOW");
      first_ = second_ = result_ = 0;
      pending_ = Op::None;
      ClearEntry();
      return;
    }
  }
  Show(result_);
  ClearEntry();
  multiplied_ = false;
  first_ = second_ = 0;
}

void Calculator::Rotate(CalcKey key) {
  if (size_ != 8 && key != CalcKey::Sla) return;
  const unsigned v = static_cast<unsigned>(EntryValue()) & 0xFF;
  const unsigned bit7 = v >> 7, bit0 = v & 1, c = carry_ ? 1 : 0;
  unsigned r = 0;
  bool out = false;
  switch (key) {
    case CalcKey::Rl: r = ((v & 0x7F) << 1) | c, out = bit7; break;
    case CalcKey::Rlc: r = ((v << 1) | bit7) & 0xFF, out = bit7; break;
    case CalcKey::Rr: r = (c << 7) | (v >> 1), out = bit0; break;
    case CalcKey::Rrc: r = (bit0 << 7) | (v >> 1), out = bit0; break;
    case CalcKey::Sla: r = (v << 1) & 0xFF, out = bit7; break;
    case CalcKey::Sra: r = (v & 0x80) | (v >> 1), out = bit0; break;
    case CalcKey::Sll: r = ((v << 1) & 0xFF) | 1, out = bit7; break;
    case CalcKey::Srl: r = v >> 1, out = bit0; break;
    default: return;
  }
  carry_ = out;
  Show(static_cast<int32_t>(r));
}

void Calculator::ChangeBase(int newBase) {
  int32_t value = EntryValue();
  const uint32_t mask = size_ == 8 ? 0xFF : 0xFFFF;
  base_ = newBase;
  if (value == 0) {
    ClearEntry();
    SetDisplay("0");
    pending_ = Op::None;
    return;
  }
  if (newBase == 10) {
    // A signed byte reads back as -128..127 (a value typed in binary or hex is its bit pattern).
    if (signedMode_ && size_ == 8) value = static_cast<int8_t>(value & 0xFF);
    Show(value);
  } else {
    Show(static_cast<int32_t>(static_cast<uint32_t>(value) & mask));
  }
}

void Calculator::Press(CalcKey key) {
  switch (key) {
    case CalcKey::Equals: Equals(); break;
    case CalcKey::Plus: Operation(Op::Plus); break;
    case CalcKey::Minus: Operation(Op::Minus); break;
    case CalcKey::Multiply: Operation(Op::Multiply); break;
    case CalcKey::Divide: Operation(Op::Divide); break;
    case CalcKey::And:
      if (size_ == 8) Operation(Op::And);
      break;
    case CalcKey::Or:
      if (size_ == 8) Operation(Op::Or);
      break;
    case CalcKey::Xor:
      if (size_ == 8) Operation(Op::Xor);
      break;
    case CalcKey::Not: {
      int32_t value = -EntryValue();
      if (base_ != 10) value &= size_ == 8 ? 0xFF : 0xFFFF;
      Show(value);
      break;
    }
    case CalcKey::Rl:
    case CalcKey::Rr:
    case CalcKey::Rlc:
    case CalcKey::Rrc:
    case CalcKey::Sla:
    case CalcKey::Sra:
    case CalcKey::Sll:
    case CalcKey::Srl: Rotate(key); break;
    case CalcKey::Bin: ChangeBase(2); break;
    case CalcKey::Dec: ChangeBase(10); break;
    case CalcKey::Hex: ChangeBase(16); break;
    case CalcKey::Carry: carry_ = !carry_; break;
    case CalcKey::PlusMinus: {
      negativeEntry_ = !negativeEntry_;
      const int32_t value = EntryValue();
      const int32_t limit = size_ == 8 ? 255 : 65535;
      if (value == 0 || value < -limit || value > limit) break;
      second_ = -value;
      Show(second_);
      break;
    }
    case CalcKey::Size: size_ = size_ == 8 ? 16 : 8; break;
    case CalcKey::SignMode: signedMode_ = !signedMode_; break;
    case CalcKey::ClearAll:
      ClearEntry();
      SetDisplay("0");
      pending_ = Op::None;
      break;
    case CalcKey::ClearEntry:
    case CalcKey::Store: break;
  }
}

bool Calculator::Type(char c) {
  if (c >= '0' && c <= '9') return Digit(c - '0'), true;
  if (c >= 'a' && c <= 'f') return Digit(c - 'a' + 10), true;
  if (c >= 'A' && c <= 'F') return Digit(c - 'A' + 10), true;
  switch (c) {
    case '+': Press(CalcKey::Plus); return true;
    case '-': Press(CalcKey::Minus); return true;
    case '*': Press(CalcKey::Multiply); return true;
    case '/': Press(CalcKey::Divide); return true;
    case '=':
    case '\r':
    case '\n': Press(CalcKey::Equals); return true;
    case '&': Press(CalcKey::And); return true;
    case '|': Press(CalcKey::Or); return true;
    case '^': Press(CalcKey::Xor); return true;
    case '~': Press(CalcKey::Not); return true;
    case 27: Press(CalcKey::ClearAll); return true;
    default: return false;
  }
}

}  // namespace orvo
