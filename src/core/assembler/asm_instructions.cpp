#include "assembler/asm_instructions.h"

#include <array>
#include <cstring>

namespace orvo::asm_detail {

namespace {

struct Fixed {
  const char* name;
  uint8_t prefix;  // 0 or 0xED
  uint8_t op;
};
// The instructions without operands.
constexpr Fixed kFixed[] = {
    {"NOP", 0, 0x00},     {"RLCA", 0, 0x07},    {"RRCA", 0, 0x0F},    {"RLA", 0, 0x17},
    {"RRA", 0, 0x1F},     {"DAA", 0, 0x27},     {"CPL", 0, 0x2F},     {"SCF", 0, 0x37},
    {"CCF", 0, 0x3F},     {"HALT", 0, 0x76},    {"EXX", 0, 0xD9},     {"DI", 0, 0xF3},
    {"EI", 0, 0xFB},      {"NEG", 0xED, 0x44},  {"RETN", 0xED, 0x45}, {"RETI", 0xED, 0x4D},
    {"RRD", 0xED, 0x67},  {"RLD", 0xED, 0x6F},  {"LDI", 0xED, 0xA0},  {"CPI", 0xED, 0xA1},
    {"INI", 0xED, 0xA2},  {"OUTI", 0xED, 0xA3}, {"LDD", 0xED, 0xA8},  {"CPD", 0xED, 0xA9},
    {"IND", 0xED, 0xAA},  {"OUTD", 0xED, 0xAB}, {"LDIR", 0xED, 0xB0}, {"CPIR", 0xED, 0xB1},
    {"INIR", 0xED, 0xB2}, {"OTIR", 0xED, 0xB3}, {"LDDR", 0xED, 0xB8}, {"CPDR", 0xED, 0xB9},
    {"INDR", 0xED, 0xBA}, {"OTDR", 0xED, 0xBB},
};

constexpr const char* kAlu[] = {"ADD", "ADC", "SUB", "SBC", "AND", "XOR", "OR", "CP"};
constexpr const char* kRot[] = {"RLC", "RRC", "RL", "RR", "SLA", "SRA", "SLL", "SRL"};
constexpr const char* kOthers[] = {"LD",  "INC", "DEC",  "JP",  "JR",  "DJNZ", "CALL",
                                   "RET", "RST", "PUSH", "POP", "EX",  "IM",   "IN",
                                   "OUT", "BIT", "RES",  "SET", "SL1", "SLI"};

int IndexOf(const char* const* table, size_t n, const std::string& s) {
  for (size_t i = 0; i < n; ++i)
    if (s == table[i]) return static_cast<int>(i);
  return -1;
}

int Plain8(const std::string& n) {
  static constexpr const char* kR[] = {"B", "C", "D", "E", "H", "L", "", "A"};
  for (int i = 0; i < 8; ++i)
    if (i != 6 && n == kR[i]) return i;
  return -1;
}

// IXH and its other spellings: the prefix and the register code (H 4, L 5).
bool IndexHalf(const std::string& n, uint8_t& prefix, int& code) {
  static constexpr struct {
    const char* name;
    uint8_t prefix;
    int code;
  } kHalves[] = {{"IXH", 0xDD, 4}, {"IXL", 0xDD, 5}, {"IYH", 0xFD, 4}, {"IYL", 0xFD, 5},
                 {"XH", 0xDD, 4},  {"XL", 0xDD, 5},  {"YH", 0xFD, 4},  {"YL", 0xFD, 5},
                 {"HX", 0xDD, 4},  {"LX", 0xDD, 5},  {"HY", 0xFD, 4},  {"LY", 0xFD, 5}};
  for (const auto& h : kHalves) {
    if (n == h.name) {
      prefix = h.prefix;
      code = h.code;
      return true;
    }
  }
  return false;
}

int Condition(const std::string& n) {
  static constexpr const char* kC[] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
  return IndexOf(kC, 8, n);
}

// An 8-bit operand of the general form: B C D E H L (HL) A, IXH..IYL, (IX+d), (IY+d).
struct R8 {
  int code = -1;
  uint8_t prefix = 0;
  bool indexed = false;  // (IX+d)
  bool half = false;     // IXH etc.
  int64_t disp = 0;
  bool known = true;
  int column = 1;
};

bool AsR8(const Operand& o, R8& r) {
  r = R8{};
  r.column = o.column;
  if (o.kind == Operand::kName) {
    r.code = Plain8(o.name);
    if (r.code >= 0) return true;
    if (IndexHalf(o.name, r.prefix, r.code)) {
      r.half = true;
      return true;
    }
    return false;
  }
  if (o.kind == Operand::kIndirect && o.name == "HL") {
    r.code = 6;
    return true;
  }
  if (o.kind == Operand::kIndexed) {
    r.code = 6;
    r.prefix = o.name == "IX" ? 0xDD : 0xFD;
    r.indexed = true;
    r.disp = o.value;
    r.known = o.known;
    return true;
  }
  return false;
}

// BC DE HL SP (or AF in place of SP), IX and IY as HL with their prefix.
bool AsPair(const Operand& o, bool af, int& code, uint8_t& prefix) {
  prefix = 0;
  if (o.kind != Operand::kName) return false;
  const std::string& n = o.name;
  if (n == "BC")
    code = 0;
  else if (n == "DE")
    code = 1;
  else if (n == "HL")
    code = 2;
  else if (n == "IX" || n == "IY") {
    code = 2;
    prefix = n == "IX" ? 0xDD : 0xFD;
  } else if (n == (af ? "AF" : "SP"))
    code = 3;
  else
    return false;
  return true;
}

class Encoder {
 public:
  Encoder(const std::string& mn, int mnColumn, const std::vector<Operand>& ops, uint32_t pc,
          bool check, std::vector<uint8_t>& out, const AsmErrorSink& error)
      : mn_(mn), mnColumn_(mnColumn), ops_(ops), pc_(pc), check_(check), out_(out), error_(error) {}

  void Run();

 private:
  size_t Count() const { return ops_.size(); }
  const Operand& Op(size_t i) const { return ops_[i]; }
  bool Is(size_t i, const char* name) const {
    return i < ops_.size() && ops_[i].kind == Operand::kName && ops_[i].name == name;
  }
  bool IsValue(size_t i) const { return i < ops_.size() && ops_[i].kind == Operand::kValue; }
  bool IsMemory(size_t i) const { return i < ops_.size() && ops_[i].kind == Operand::kMemory; }
  bool IsIndirect(size_t i, const char* name) const {
    return i < ops_.size() && ops_[i].kind == Operand::kIndirect && ops_[i].name == name;
  }

  void Bad() {
    // Point at the first operand that fits no form, or at the mnemonic for a wrong count.
    const int column = ops_.empty() ? mnColumn_ : ops_.back().column;
    error_(column, "bad operand for " + mn_);
  }
  void Emit(uint8_t b) { out_.push_back(b); }
  void Byte(const Operand& o) {
    if (check_ && o.known && (o.value < -128 || o.value > 255))
      error_(o.column, "value out of range: " + std::to_string(o.value) + " does not fit a byte");
    Emit(static_cast<uint8_t>(o.value));
  }
  void Word(const Operand& o) {
    if (check_ && o.known && (o.value < -32768 || o.value > 65535))
      error_(o.column, "value out of range: " + std::to_string(o.value) + " does not fit a word");
    Emit(static_cast<uint8_t>(o.value));
    Emit(static_cast<uint8_t>(o.value >> 8));
  }
  void Disp(const R8& r) {
    if (check_ && r.known && (r.disp < -128 || r.disp > 127))
      error_(r.column,
             "value out of range: index offset " + std::to_string(r.disp) + " is not -128..127");
    Emit(static_cast<uint8_t>(r.disp));
  }
  // [prefix] base+code [d]
  void Reg8Op(const R8& r, uint8_t op) {
    if (r.prefix) Emit(r.prefix);
    Emit(op);
    if (r.indexed) Disp(r);
  }
  void Relative(const Operand& target) {
    const int64_t d = target.value - static_cast<int64_t>(pc_ + 2);
    if (check_ && target.known && (d < -128 || d > 127))
      error_(target.column,
             "value out of range: relative jump of " + std::to_string(d) + " bytes (-128..127)");
    Emit(static_cast<uint8_t>(d));
  }

  void Ld();
  void Alu(int alu);
  void IncDec(bool inc);
  void Rotate(int rot);
  void Bits(int kind);
  void Jump();
  void Other();

  const std::string& mn_;
  int mnColumn_;
  const std::vector<Operand>& ops_;
  uint32_t pc_;
  bool check_;
  std::vector<uint8_t>& out_;
  const AsmErrorSink& error_;
};

void Encoder::Run() {
  for (const Fixed& f : kFixed) {
    if (mn_ == f.name) {
      if (Count() != 0) return Bad();
      if (f.prefix) Emit(f.prefix);
      Emit(f.op);
      return;
    }
  }
  if (const int alu = IndexOf(kAlu, 8, mn_); alu >= 0) return Alu(alu);
  if (const int rot = IndexOf(kRot, 8, mn_); rot >= 0) return Rotate(rot);
  if (mn_ == "SL1" || mn_ == "SLI") return Rotate(6);
  if (mn_ == "LD") return Ld();
  if (mn_ == "INC" || mn_ == "DEC") return IncDec(mn_ == "INC");
  if (mn_ == "BIT") return Bits(1);
  if (mn_ == "RES") return Bits(2);
  if (mn_ == "SET") return Bits(3);
  if (mn_ == "JP" || mn_ == "JR" || mn_ == "DJNZ" || mn_ == "CALL" || mn_ == "RET") return Jump();
  Other();
}

void Encoder::Ld() {
  if (Count() != 2) return Bad();
  const Operand& a = Op(0);
  const Operand& b = Op(1);
  R8 d, s;
  int pair = 0;
  uint8_t prefix = 0;
  // 8-bit register to register, through (HL) and the index forms.
  if (AsR8(a, d) && AsR8(b, s)) {
    const bool memD = d.code == 6 && !d.half, memS = s.code == 6 && !s.half;
    if (memD && memS) return Bad();
    if (d.indexed || s.indexed) {
      const R8& other = d.indexed ? s : d;
      if (other.half) return Bad();
      Reg8Op(d.indexed ? d : s, static_cast<uint8_t>(0x40 + d.code * 8 + s.code));
      return;
    }
    if (d.half || s.half) {
      // Both halves of one index register, or one half with B C D E A.
      if (memD || memS) return Bad();
      if (d.half && s.half && d.prefix != s.prefix) return Bad();
      const R8& plain = d.half ? s : d;
      if (!plain.half && (plain.code == 4 || plain.code == 5)) return Bad();
      Emit(d.half ? d.prefix : s.prefix);
      Emit(static_cast<uint8_t>(0x40 + d.code * 8 + s.code));
      return;
    }
    Emit(static_cast<uint8_t>(0x40 + d.code * 8 + s.code));
    return;
  }
  if (AsR8(a, d) && b.kind == Operand::kValue) {
    Reg8Op(d, static_cast<uint8_t>(0x06 + d.code * 8));
    Byte(b);
    return;
  }
  if (Is(0, "A")) {
    if (IsIndirect(1, "BC")) return Emit(0x0A);
    if (IsIndirect(1, "DE")) return Emit(0x1A);
    if (IsMemory(1)) return Emit(0x3A), Word(b);
    if (Is(1, "I")) return Emit(0xED), Emit(0x57);
    if (Is(1, "R")) return Emit(0xED), Emit(0x5F);
  }
  if (Is(1, "A")) {
    if (IsIndirect(0, "BC")) return Emit(0x02);
    if (IsIndirect(0, "DE")) return Emit(0x12);
    if (IsMemory(0)) return Emit(0x32), Word(a);
    if (Is(0, "I")) return Emit(0xED), Emit(0x47);
    if (Is(0, "R")) return Emit(0xED), Emit(0x4F);
  }
  if (Is(0, "SP") && AsPair(b, false, pair, prefix) && pair == 2) {
    if (prefix) Emit(prefix);
    return Emit(0xF9);
  }
  if (AsPair(a, false, pair, prefix)) {
    if (b.kind == Operand::kValue) {
      if (prefix) Emit(prefix);
      Emit(static_cast<uint8_t>(0x01 + pair * 16));
      return Word(b);
    }
    if (b.kind == Operand::kMemory) {
      if (pair == 2) {
        if (prefix) Emit(prefix);
        Emit(0x2A);
      } else {
        Emit(0xED);
        Emit(static_cast<uint8_t>(0x4B + pair * 16));
      }
      return Word(b);
    }
  }
  if (a.kind == Operand::kMemory && AsPair(b, false, pair, prefix)) {
    if (pair == 2) {
      if (prefix) Emit(prefix);
      Emit(0x22);
    } else {
      Emit(0xED);
      Emit(static_cast<uint8_t>(0x43 + pair * 16));
    }
    return Word(a);
  }
  Bad();
}

void Encoder::Alu(int alu) {
  // ADD/ADC/SBC take "A," always; the others may have it.
  size_t first = 0;
  if (Count() == 2 && Is(0, "A")) {
    first = 1;
  } else if (Count() == 2) {
    int pair = 0, src = 0;
    uint8_t prefix = 0, srcPrefix = 0;
    if (!AsPair(Op(0), false, pair, prefix) || pair != 2) return Bad();
    if (!AsPair(Op(1), false, src, srcPrefix)) return Bad();
    if (srcPrefix && srcPrefix != prefix) return Bad();  // ADD IX,IY does not exist
    if (!prefix && srcPrefix) return Bad();              // nor ADD HL,IX
    if (alu == 0) {
      if (prefix) Emit(prefix);
      return Emit(static_cast<uint8_t>(0x09 + src * 16));
    }
    if ((alu == 1 || alu == 3) && !prefix) {
      Emit(0xED);
      return Emit(static_cast<uint8_t>((alu == 1 ? 0x4A : 0x42) + src * 16));
    }
    return Bad();
  }
  if (Count() - first != 1) return Bad();
  R8 r;
  if (AsR8(Op(first), r)) return Reg8Op(r, static_cast<uint8_t>(0x80 + alu * 8 + r.code));
  if (IsValue(first)) {
    Emit(static_cast<uint8_t>(0xC6 + alu * 8));
    return Byte(Op(first));
  }
  Bad();
}

void Encoder::IncDec(bool inc) {
  if (Count() != 1) return Bad();
  R8 r;
  if (AsR8(Op(0), r)) return Reg8Op(r, static_cast<uint8_t>((inc ? 0x04 : 0x05) + r.code * 8));
  int pair = 0;
  uint8_t prefix = 0;
  if (AsPair(Op(0), false, pair, prefix)) {
    if (prefix) Emit(prefix);
    return Emit(static_cast<uint8_t>((inc ? 0x03 : 0x0B) + pair * 16));
  }
  Bad();
}

void Encoder::Rotate(int rot) {
  R8 r;
  if (Count() < 1 || Count() > 2 || !AsR8(Op(0), r) || r.half) return Bad();
  int code = r.code;
  if (Count() == 2) {
    // RLC (IX+d),B: the result is copied into the register as well.
    const int copy = Op(1).kind == Operand::kName ? Plain8(Op(1).name) : -1;
    if (!r.indexed || copy < 0) return Bad();
    code = copy;
  }
  if (r.indexed) {
    Emit(r.prefix);
    Emit(0xCB);
    Disp(r);
    return Emit(static_cast<uint8_t>(rot * 8 + code));
  }
  Emit(0xCB);
  Emit(static_cast<uint8_t>(rot * 8 + code));
}

void Encoder::Bits(int kind) {
  if (Count() < 2 || Count() > 3 || !IsValue(0)) return Bad();
  const Operand& bit = Op(0);
  if (check_ && bit.known && (bit.value < 0 || bit.value > 7))
    error_(bit.column, "value out of range: bit " + std::to_string(bit.value) + " is not 0..7");
  const int b = static_cast<int>(bit.value & 7);
  R8 r;
  if (!AsR8(Op(1), r) || r.half) return Bad();
  int code = r.code;
  if (Count() == 3) {
    const int copy = Op(2).kind == Operand::kName ? Plain8(Op(2).name) : -1;
    if (!r.indexed || copy < 0 || kind == 1) return Bad();
    code = copy;
  }
  const auto op = static_cast<uint8_t>(kind * 0x40 + b * 8 + code);
  if (r.indexed) {
    Emit(r.prefix);
    Emit(0xCB);
    Disp(r);
    return Emit(op);
  }
  Emit(0xCB);
  Emit(op);
}

void Encoder::Jump() {
  const Operand* target = nullptr;
  int cond = -1;
  if (Count() == 2) {
    if (Op(0).kind != Operand::kName || (cond = Condition(Op(0).name)) < 0) return Bad();
    target = &Op(1);
  } else if (Count() == 1) {
    target = &Op(0);
    if (mn_ == "RET") {
      if (target->kind != Operand::kName || (cond = Condition(target->name)) < 0) return Bad();
      return Emit(static_cast<uint8_t>(0xC0 + cond * 8));
    }
  } else if (Count() == 0 && mn_ == "RET") {
    return Emit(0xC9);
  } else {
    return Bad();
  }
  if (mn_ == "JP" && cond < 0) {
    if (target->kind == Operand::kIndirect && target->name == "HL") return Emit(0xE9);
    if (target->kind == Operand::kIndexed && target->value == 0 && target->known) {
      Emit(target->name == "IX" ? 0xDD : 0xFD);
      return Emit(0xE9);
    }
  }
  if (target->kind != Operand::kValue) return Bad();
  if (mn_ == "JP" || mn_ == "CALL") {
    if (cond < 0)
      Emit(mn_ == "JP" ? 0xC3 : 0xCD);
    else
      Emit(static_cast<uint8_t>((mn_ == "JP" ? 0xC2 : 0xC4) + cond * 8));
    return Word(*target);
  }
  if (mn_ == "DJNZ") {
    if (cond >= 0) return Bad();
    Emit(0x10);
  } else if (cond < 0) {
    Emit(0x18);
  } else {
    if (cond > 3) return Bad();  // JR has NZ Z NC C only
    Emit(static_cast<uint8_t>(0x20 + cond * 8));
  }
  Relative(*target);
}

void Encoder::Other() {
  int pair = 0;
  uint8_t prefix = 0;
  if (mn_ == "PUSH" || mn_ == "POP") {
    if (Count() != 1 || !AsPair(Op(0), true, pair, prefix)) return Bad();
    if (prefix) Emit(prefix);
    return Emit(static_cast<uint8_t>((mn_ == "PUSH" ? 0xC5 : 0xC1) + pair * 16));
  }
  if (mn_ == "EX") {
    if (Count() != 2) return Bad();
    if (Is(0, "AF") && (Is(1, "AF'") || Is(1, "AF"))) return Emit(0x08);
    if ((Is(0, "DE") && Is(1, "HL")) || (Is(0, "HL") && Is(1, "DE"))) return Emit(0xEB);
    if (IsIndirect(0, "SP") && AsPair(Op(1), false, pair, prefix) && pair == 2) {
      if (prefix) Emit(prefix);
      return Emit(0xE3);
    }
    return Bad();
  }
  if (mn_ == "IM") {
    if (Count() != 1 || !IsValue(0)) return Bad();
    const Operand& m = Op(0);
    static constexpr uint8_t kIm[] = {0x46, 0x56, 0x5E};
    if (m.known && (m.value < 0 || m.value > 2)) {
      error_(m.column,
             "value out of range: interrupt mode " + std::to_string(m.value) + " is not 0, 1 or 2");
    }
    Emit(0xED);
    return Emit(kIm[m.known && m.value >= 0 && m.value <= 2 ? m.value : 0]);
  }
  if (mn_ == "RST") {
    if (Count() != 1 || !IsValue(0)) return Bad();
    const Operand& v = Op(0);
    int64_t t = v.value;
    // RST 1..7 is taken as the restart number.
    if (v.known && t >= 1 && t <= 7) t *= 8;
    if (v.known && (t < 0 || t > 0x38 || (t & 7) != 0)) {
      error_(v.column, "value out of range: RST " + std::to_string(v.value) +
                           " is none of 0, 8, #10 ... #38");
      t = 0;
    }
    return Emit(static_cast<uint8_t>(0xC7 + (v.known ? t : 0)));
  }
  if (mn_ == "IN") {
    if (Count() == 1 && IsIndirect(0, "C")) return Emit(0xED), Emit(0x70);
    if (Count() != 2) return Bad();
    if (Is(0, "A") && IsMemory(1)) return Emit(0xDB), Byte(Op(1));
    if (IsIndirect(1, "C")) {
      if (Is(0, "F")) return Emit(0xED), Emit(0x70);
      const int r = Op(0).kind == Operand::kName ? Plain8(Op(0).name) : -1;
      if (r >= 0) return Emit(0xED), Emit(static_cast<uint8_t>(0x40 + r * 8));
    }
    return Bad();
  }
  if (mn_ == "OUT") {
    if (Count() != 2) return Bad();
    if (IsMemory(0) && Is(1, "A")) return Emit(0xD3), Byte(Op(0));
    if (IsIndirect(0, "C")) {
      if (IsValue(1) && Op(1).known && Op(1).value == 0) return Emit(0xED), Emit(0x71);
      const int r = Op(1).kind == Operand::kName ? Plain8(Op(1).name) : -1;
      if (r >= 0) return Emit(0xED), Emit(static_cast<uint8_t>(0x41 + r * 8));
    }
    return Bad();
  }
  error_(mnColumn_, "unknown instruction " + mn_);
}

}  // namespace

bool IsRegisterName(const std::string& n) {
  static constexpr const char* kNames[] = {
      "A",   "B",  "C",  "D",   "E",  "H",  "L",  "I",  "R",  "F",  "IXH", "IXL", "IYH",
      "IYL", "XH", "XL", "YH",  "YL", "HX", "LX", "HY", "LY", "BC", "DE",  "HL",  "SP",
      "IX",  "IY", "AF", "AF'", "NZ", "Z",  "NC", "PO", "PE", "P",  "M"};
  for (const char* k : kNames)
    if (n == k) return true;
  return false;
}

bool IsMnemonic(const std::string& n) {
  for (const Fixed& f : kFixed)
    if (n == f.name) return true;
  return IndexOf(kAlu, 8, n) >= 0 || IndexOf(kRot, 8, n) >= 0 ||
         IndexOf(kOthers, std::size(kOthers), n) >= 0;
}

void EncodeInstruction(const std::string& mnemonic, int mnemonicColumn,
                       const std::vector<Operand>& operands, uint32_t pc, bool check,
                       std::vector<uint8_t>& out, const AsmErrorSink& error) {
  const size_t before = out.size();
  bool failed = false;
  const AsmErrorSink sink = [&](int column, const std::string& message) {
    // A wrong operand emits nothing; a value out of range keeps its bytes (the size is known).
    if (message.rfind("bad operand", 0) == 0 || message.rfind("unknown", 0) == 0) failed = true;
    error(column, message);
  };
  Encoder(mnemonic, mnemonicColumn, operands, pc, check, out, sink).Run();
  if (failed) out.resize(before);
}

}  // namespace orvo::asm_detail
