#include "debugger/disassembler.h"

#include <cstdio>

#include "debugger/debug_labels.h"

namespace orvo {

namespace {

constexpr const char* kReg[] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
constexpr const char* kPair[] = {"BC", "DE", "HL", "SP"};
constexpr const char* kPairAf[] = {"BC", "DE", "HL", "AF"};
constexpr const char* kCond[] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
constexpr const char* kAlu[] = {"ADD   A,", "ADC   A,", "SUB   ", "SBC   A,",
                                "AND   ",   "XOR   ",   "OR    ", "CP    "};
constexpr const char* kRot[] = {"RLC   ", "RRC   ", "RL    ", "RR    ",
                                "SLA   ", "SRA   ", "SLL   ", "SRL   "};
constexpr const char* kAcc[] = {"RLCA", "RRCA", "RLA", "RRA", "DAA", "CPL", "SCF", "CCF"};
constexpr const char* kBitOp[] = {"", "BIT   ", "RES   ", "SET   "};
constexpr const char* kImMode[] = {"0", "0", "1", "2", "0", "0", "1", "2"};
constexpr const char* kBlock[4][4] = {{"LDI", "CPI", "INI", "OUTI"},
                                      {"LDD", "CPD", "IND", "OUTD"},
                                      {"LDIR", "CPIR", "INIR", "OTIR"},
                                      {"LDDR", "CPDR", "INDR", "OTDR"}};

std::string Paren(const std::string& inner) {
  std::string s = "(";
  s += inner;
  s += ')';
  return s;
}

// The mnemonic in its six-character field.
std::string Mn(const char* name) {
  std::string s = name;
  if (s.size() < 6) s.resize(6, ' ');
  return s;
}

}  // namespace

void Disassembler::Reset(uint16_t address) {
  cursor_ = address;
  prefixStart_ = address;
  index_ = 0;
  table_ = 0;
  captured_ = {-1, -1, -1, -1};
  text_.clear();
  indexUsed_ = false;
  haveDisplacement_ = false;
}

uint8_t Disassembler::NextByte() {
  ++cursor_;
  const uint8_t v = Peek(cursor_);
  if (captured_[2] < 0) {
    captured_[2] = v;
  } else if (captured_[3] < 0) {
    captured_[3] = v;
  }
  return v;
}

void Disassembler::Split(uint8_t op) {
  x_ = op >> 6;
  y_ = (op >> 3) & 7;
  z_ = op & 7;
  p_ = y_ >> 1;
  q_ = y_ & 1;
}

std::string Disassembler::Byte(uint8_t v) const {
  char buf[8];
  std::snprintf(buf, sizeof buf, options_.base == 10 ? "%d" : "#%02X", v);
  return buf;
}

std::string Disassembler::Word(uint16_t v, bool address) const {
  if (address) {
    if (options_.userLabels) {
      if (const char* name = options_.userLabels->At(v)) return name;
    }
    if (options_.romLabels) {
      if (const char* name = RomLabelAt(v)) return name;
    }
    if (options_.sysvarLabels) {
      if (const char* name = SystemVariableAt(v)) return name;
    }
  }
  char buf[8];
  std::snprintf(buf, sizeof buf, options_.base == 10 ? "%d" : "#%04X", v);
  return buf;
}

std::string Disassembler::HL() {
  if (index_ == 0) return "HL";
  indexUsed_ = true;
  return index_ == 1 ? "IX" : "IY";
}

std::string Disassembler::Indexed() {
  if (!haveDisplacement_) {
    displacement_ = NextByte();
    haveDisplacement_ = true;
  }
  indexUsed_ = true;
  std::string s = index_ == 1 ? "(IX" : "(IY";
  if (displacement_ >= 128) {
    s += '-';
    s += Byte(static_cast<uint8_t>(256 - displacement_));
  } else {
    s += '+';
    s += Byte(displacement_);
  }
  return s + ")";
}

std::string Disassembler::Reg8(int r) {
  if (index_ != 0 && r >= 4 && r <= 6) {
    if (r == 6) return Indexed();
    indexUsed_ = true;
    return std::string(index_ == 1 ? "IX" : "IY") + (r == 4 ? "H" : "L");
  }
  return kReg[r];
}

std::string Disassembler::Pair(int p, bool af) {
  if (p == 2) return HL();
  return af ? kPairAf[p] : kPair[p];
}

int Disassembler::Disassemble() {
  const uint8_t op = Peek(cursor_);
  if (op == 0xDD || op == 0xFD) {
    if (index_ == 0) prefixStart_ = cursor_;
    index_ = op == 0xDD ? 1 : 3;
    captured_[0] = op;
    return 0;
  }
  captured_[1] = op;
  if (op == 0xED) {
    table_ = 2;
    const uint8_t second = NextByte();
    captured_[2] = -1;  // the second opcode byte is no operand
    captured_[1] = second;
    if (index_ == 0) captured_[0] = 0xED;
    DecodeEd(second);
  } else if (op == 0xCB) {
    table_ = 1;
    if (index_ != 0) {
      DecodeIndexedCb();
    } else {
      const uint8_t second = NextByte();
      captured_[2] = -1;
      captured_[0] = 0xCB;
      captured_[1] = second;
      DecodeCb(second);
    }
  } else {
    DecodeMain(op);
  }
  if (index_ != 0 && !indexUsed_) {
    // The prefix changes nothing here: it stands alone and the next byte is an instruction.
    char buf[16];
    std::snprintf(buf, sizeof buf, "DEFB  %02X ?", Peek(prefixStart_));
    text_ = buf;
    cursor_ = prefixStart_;
    captured_ = {-1, Peek(prefixStart_), -1, -1};
  }
  return 1;
}

void Disassembler::DecodeMain(uint8_t op) {
  Split(op);
  std::string& t = text_;
  switch (x_) {
    case 0:
      switch (z_) {
        case 0:
          if (y_ == 0) {
            t = "NOP";
          } else if (y_ == 1) {
            t = "EX    AF,AF'";
          } else {
            const auto d = static_cast<int8_t>(NextByte());
            const auto target = static_cast<uint16_t>(cursor_ + 1 + d);
            t = y_ == 2 ? Mn("DJNZ") : y_ == 3 ? Mn("JR") : Mn("JR") + kCond[y_ - 4] + ",";
            t += Word(target, true);  // "#%04X" (or "%d") unless a label matches
          }
          return;
        case 1:
          if (q_ == 0) {
            const std::string reg = Pair(p_, false);
            const uint8_t lo = NextByte();
            t = Mn("LD") + reg + "," + Word(static_cast<uint16_t>(lo | NextByte() << 8), false);
          } else {
            const std::string dst = HL();
            t = Mn("ADD") + dst + "," + Pair(p_, false);
          }
          return;
        case 2: {
          if (p_ < 2) {
            const char* mem = p_ == 0 ? "(BC)" : "(DE)";
            t = Mn("LD") + (q_ == 0 ? std::string(mem) + ",A" : std::string("A,") + mem);
            return;
          }
          const std::string reg = p_ == 2 ? HL() : "A";
          const uint8_t lo = NextByte();
          const std::string addr = Paren(Word(static_cast<uint16_t>(lo | NextByte() << 8), true));
          t = Mn("LD") + (q_ == 0 ? addr + "," + reg : reg + "," + addr);
          return;
        }
        case 3: t = Mn(q_ == 0 ? "INC" : "DEC") + Pair(p_, false); return;
        case 4: t = Mn("INC") + Reg8(y_); return;
        case 5: t = Mn("DEC") + Reg8(y_); return;
        case 6: {
          const std::string dst = Reg8(y_);
          t = Mn("LD") + dst + "," + Byte(NextByte());
          return;
        }
        default: t = kAcc[y_]; return;
      }
    case 1:
      if (y_ == 6 && z_ == 6) {
        t = "HALT";
      } else if (y_ == 6) {
        const std::string dst = Reg8(6);
        t = Mn("LD") + dst + "," + kReg[z_];  // LD (IX+d),H keeps H
      } else if (z_ == 6) {
        t = Mn("LD") + kReg[y_] + "," + Reg8(6);
      } else {
        const std::string dst = Reg8(y_);
        t = Mn("LD") + dst + "," + Reg8(z_);
      }
      return;
    case 2: t = std::string(kAlu[y_]) + Reg8(z_); return;
    default: break;
  }
  // x == 3
  switch (z_) {
    case 0: t = Mn("RET") + kCond[y_]; return;
    case 1:
      if (q_ == 0) {
        t = Mn("POP") + Pair(p_, true);
      } else if (p_ == 0) {
        t = "RET";
      } else if (p_ == 1) {
        t = "EXX";
      } else if (p_ == 2) {
        t = Mn("JP") + "(" + HL() + ")";
      } else {
        t = Mn("LD") + "SP," + HL();
      }
      return;
    case 2:
    case 4: {
      const uint8_t lo = NextByte();
      t = Mn(z_ == 2 ? "JP" : "CALL") + kCond[y_] + "," +
          Word(static_cast<uint16_t>(lo | NextByte() << 8), true);
      return;
    }
    case 3:
      switch (y_) {
        case 0: {
          const uint8_t lo = NextByte();
          t = Mn("JP") + Word(static_cast<uint16_t>(lo | NextByte() << 8), true);
          return;
        }
        case 2: t = Mn("OUT") + "(" + Byte(NextByte()) + "),A"; return;
        case 3: t = Mn("IN") + "A,(" + Byte(NextByte()) + ")"; return;
        case 4: t = Mn("EX") + "(SP)," + HL(); return;
        case 5: t = Mn("EX") + "DE,HL"; return;
        case 6: t = "DI"; return;
        default: t = "EI"; return;  // y == 1 (CB) never comes here
      }
    case 5:
      if (q_ == 0) {
        t = Mn("PUSH") + Pair(p_, true);
      } else {
        const uint8_t lo = NextByte();
        t = Mn("CALL") + Word(static_cast<uint16_t>(lo | NextByte() << 8), true);
      }
      return;
    case 6: t = std::string(kAlu[y_]) + Byte(NextByte()); return;
    default: t = Mn("RST") + Byte(static_cast<uint8_t>(y_ * 8)); return;
  }
}

void Disassembler::DecodeCb(uint8_t op) {
  Split(op);
  if (x_ == 0) {
    text_ = std::string(kRot[y_]) + kReg[z_];
  } else {
    text_ = std::string(kBitOp[x_]) + std::to_string(y_) + "," + kReg[z_];
  }
}

void Disassembler::DecodeIndexedCb() {
  // DD CB d op: the displacement comes before the opcode.
  captured_[0] = 0xCB;
  displacement_ = NextByte();
  haveDisplacement_ = true;
  const uint8_t op = NextByte();
  captured_[1] = op;
  captured_[3] = -1;
  Split(op);
  const std::string mem = Indexed();
  // Except for BIT, the result is also copied to a register when z is not 6.
  const std::string copy = (x_ != 1 && z_ != 6) ? std::string(",") + kReg[z_] : "";
  if (x_ == 0) {
    text_ = std::string(kRot[y_]) + mem + copy;
  } else {
    text_ = std::string(kBitOp[x_]) + std::to_string(y_) + "," + mem + copy;
  }
}

void Disassembler::DecodeEd(uint8_t op) {
  Split(op);
  std::string& t = text_;
  if (x_ == 1) {
    switch (z_) {
      case 0: t = Mn("IN") + (y_ == 6 ? "F" : kReg[y_]) + ",(C)"; return;
      case 1: t = Mn("OUT") + "(C)," + (y_ == 6 ? "0" : kReg[y_]); return;
      case 2: t = Mn(q_ == 0 ? "SBC" : "ADC") + "HL," + kPair[p_]; return;
      case 3: {
        const uint8_t lo = NextByte();
        const std::string addr = Paren(Word(static_cast<uint16_t>(lo | NextByte() << 8), true));
        t = Mn("LD") + (q_ == 0 ? addr + "," + kPair[p_] : std::string(kPair[p_]) + "," + addr);
        return;
      }
      case 4: t = "NEG"; return;
      case 5: t = y_ == 1 ? "RETI" : "RETN"; return;
      case 6: t = Mn("IM") + kImMode[y_]; return;
      default: {
        static constexpr const char* kMisc[] = {"LD    I,A", "LD    R,A", "LD    A,I",
                                                "LD    A,R", "RRD",       "RLD"};
        if (y_ < 6) {
          t = kMisc[y_];
          return;
        }
        break;
      }
    }
  } else if (x_ == 2 && z_ <= 3 && y_ >= 4) {
    t = kBlock[y_ - 4][z_];
    return;
  }
  // Any other ED pair does nothing on the CPU: shown as the two bytes.
  t = Mn("DEFB") + Byte(0xED) + "," + Byte(op);
}

DisassembledLine DisassembleAt(PeekFunction peek, const void* context, uint16_t address,
                               const DisassemblyOptions& options) {
  Disassembler d(peek, context, options);
  d.Reset(address);
  while (d.Disassemble() == 0) d.SetCursor(static_cast<uint16_t>(d.Cursor() + 1));
  DisassembledLine line;
  line.address = address;
  line.length = static_cast<uint8_t>(static_cast<uint16_t>(d.Cursor() - address) + 1);
  line.text = d.Text();
  return line;
}

std::string DisassemblyListing(PeekFunction peek, const void* context, uint16_t from, uint16_t to,
                               const DisassemblyOptions& options) {
  std::string out;
  uint32_t address = from;
  while (address <= to) {
    const DisassembledLine line =
        DisassembleAt(peek, context, static_cast<uint16_t>(address), options);
    // A routine of the program or of the 48K ROM starts here: its name on a line of its own.
    const char* name = options.userLabels ? options.userLabels->At(line.address) : nullptr;
    if (!name && options.romLabels) name = RomLabelAt(line.address);
    if (name) {
      out += name;
      out += ":\n";
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X  ", line.address);
    out += buf;
    std::string bytes;
    for (int i = 0; i < line.length; ++i) {
      std::snprintf(buf, sizeof buf, "%02X ",
                    peek(context, static_cast<uint16_t>(line.address + i)));
      bytes += buf;
    }
    bytes.resize(16, ' ');
    out += bytes + line.text + "\n";
    address += line.length;
  }
  return out;
}

}  // namespace orvo
