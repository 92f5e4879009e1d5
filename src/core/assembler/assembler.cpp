#include "assembler/assembler.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "assembler/asm_instructions.h"
#include "assembler/asm_lexer.h"

namespace orvo {

namespace {

using asm_detail::Operand;
using asm_detail::Token;
using asm_detail::TokenKind;
using asm_detail::Upper;

constexpr int kMaxPasses = 8;
constexpr int kMaxIncludeDepth = 32;
constexpr int kMaxMacroDepth = 32;
constexpr size_t kMaxFileSize = 16u << 20;
// Lines one pass may assemble, macro expansions and includes counted: macros that call
// themselves more than once each would otherwise run for ever.
constexpr int kMaxLinesPerPass = 50000;

struct Value {
  int64_t v = 0;
  bool known = true;
};

struct Symbol {
  int64_t value = 0;
  bool known = true;
  bool label = true;
  bool redefinable = false;
  int definedPass = 0;
  std::string file;
  int line = 0;
};

struct Macro {
  std::vector<std::string> params;
  std::vector<std::string> body;
  std::string file;
  int firstLine = 0;  // of the body's first line
};

// Where a statement comes from, for the diagnostics.
struct Where {
  const std::string* file;
  int line;
};

struct CondFrame {
  bool active;        // lines are assembled
  bool parentActive;  // the enclosing block is assembled
  bool taken;         // a branch was assembled already
  bool inElse;
  std::string file;
  int line, column;
  int depth;  // include depth it was opened at
};

struct ProcFrame {
  std::string scope;
  std::string file;
  int line, column;
  int depth;
};

std::string Hex4(uint32_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%04X", v & 0xFFFF);
  return buf;
}

std::string Directory(const std::string& path) {
  const std::filesystem::path p(path);
  return p.has_parent_path() ? p.parent_path().string() : std::string();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == text.size()) break;
    start = end + 1;
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool IsPunct(const Token& t, const char* p) {
  return t.kind == TokenKind::kPunct && t.text == p;
}
bool IsWord(const Token& t, const char* w) {
  return t.kind == TokenKind::kIdent && Upper(t.text) == w;
}

bool IsDirective(const std::string& u) {
  static const std::set<std::string> kDirectives = {
      "ORG",    "EQU",  "DEFL",  "DEFB",   "DB",   "DEFM",   "DM",      "BYTE",
      "DEFW",   "DW",   "WORD",  "DEFS",   "DS",   "BLOCK",  "INCLUDE", "INCBIN",
      "BINARY", "IF",   "IFDEF", "IFNDEF", "ELSE", "ENDIF",  "MACRO",   "ENDM",
      "PROC",   "ENDP", "LOCAL", "ALIGN",  "END",  "DEVICE", "OPT",     "OUTPUT"};
  return kDirectives.count(u) != 0;
}

class Assembly {
 public:
  Assembly(const AsmFileReader& reader) : reader_(reader) {}

  AsmResult Run(const std::string& path, const std::string& text);

 private:
  // ---- passes ----
  void Pass(bool final);
  void File(const std::string& path, const std::vector<std::string>& lines);
  void Line(const std::string& file, int lineNo, const std::string& text);
  void Statement(const std::string& file, int lineNo, const std::string& text,
                 const std::vector<Token>& t, size_t b, size_t e);
  bool Conditional(const std::string& u, const std::vector<Token>& t, size_t b, size_t e);
  void Directive(const std::string& u, const std::vector<Token>& t, size_t b, size_t e);
  void ExpandMacro(const std::string& name, const std::string& text, const std::vector<Token>& t,
                   size_t b, size_t e);
  void Include(const std::vector<Token>& t, size_t b, size_t e, bool binary);
  void EndOfFile(int depth);
  void List(int lineNo, const std::string& text, bool statement);

  // ---- diagnostics ----
  void Error(int column, const std::string& message) { Report(column, message, false); }
  void Warning(int column, const std::string& message) { Report(column, message, true); }
  void Report(int column, const std::string& message, bool warning);
  void ReportAt(const std::string& file, int line, int column, const std::string& message);

  // ---- symbols ----
  std::string Qualify(const std::string& name) const;
  void Define(const std::string& name, int column, Value v, bool label, bool redefinable);
  Value Lookup(const std::string& name, int column);
  bool IsDefinedNow(const std::string& name) const;
  // The symbol keys `name` may stand for, innermost scope first.
  std::vector<std::string> ScopedNames(const std::string& name) const;

  // ---- expressions ----
  Value Expression(const std::vector<Token>& t, size_t b, size_t e);
  Value Binary(const std::vector<Token>& t, size_t& i, size_t e, int level);
  Value Unary(const std::vector<Token>& t, size_t& i, size_t e);
  Value Primary(const std::vector<Token>& t, size_t& i, size_t e);
  // A value the statement's size depends on: it must be known in the first pass.
  Value SizingValue(const std::vector<Token>& t, size_t b, size_t e, const char* what);
  std::vector<std::pair<size_t, size_t>> SplitOperands(const std::vector<Token>& t, size_t b,
                                                       size_t e);
  Operand ParseOperand(const std::vector<Token>& t, size_t b, size_t e);

  // ---- output ----
  void Emit(const std::vector<uint8_t>& bytes);
  void SetOrigin(int64_t address);

  const AsmFileReader& reader_;
  std::string mainFile_;
  std::vector<std::string> mainLines_;

  // Kept from pass to pass.
  std::map<std::string, Symbol> symbols_;
  std::set<std::string> sizedLate_;  // statements whose size depended on an unknown value
  bool changed_ = false;

  // The pass.
  int pass_ = 0;
  bool final_ = false;
  uint32_t pc_ = 0;
  uint32_t statementPc_ = 0;
  bool overflowReported_ = false;
  bool ended_ = false;
  std::string lastGlobal_;
  int scopeCounter_ = 0;
  std::vector<ProcFrame> procs_;
  std::vector<CondFrame> conds_;
  std::vector<std::string> includeStack_;
  std::map<std::string, Macro> macros_;
  int macroDepth_ = 0;
  int linesThisPass_ = 0;
  // A macro being recorded.
  Macro* recording_ = nullptr;
  int recordingNest_ = 0;
  std::string recordingFile_;
  int recordingLine_ = 0, recordingColumn_ = 0, recordingDepth_ = 0;

  // The statement in hand.
  Where where_{nullptr, 0};
  std::string lineKey_;
  std::vector<uint8_t> lineBytes_;
  uint32_t lineAddress_ = 0;

  // The final pass's output.
  AsmResult result_;
  std::vector<uint8_t> written_;  // one flag per address
  bool blockOpen_ = false;
};

// ---- diagnostics ----

void Assembly::Report(int column, const std::string& message, bool warning) {
  if (!final_) return;
  AsmDiagnostic d;
  d.file = where_.file ? *where_.file : mainFile_;
  d.line = where_.line;
  d.column = column;
  d.warning = warning;
  d.message = message;
  (warning ? result_.warnings : result_.errors)++;
  result_.diagnostics.push_back(std::move(d));
}

void Assembly::ReportAt(const std::string& file, int line, int column, const std::string& message) {
  const Where saved = where_;
  where_ = {&file, line};
  Error(column, message);
  where_ = saved;
}

// ---- symbols ----

std::string Assembly::Qualify(const std::string& name) const {
  if (name.size() > 1 && name[0] == '.') return lastGlobal_ + name;
  if (!procs_.empty()) return procs_.back().scope + "." + name;
  return name;
}

void Assembly::Define(const std::string& name, int column, Value v, bool label, bool redefinable) {
  if (asm_detail::IsRegisterName(Upper(name)) || asm_detail::IsMnemonic(Upper(name))) {
    Error(column, "'" + name + "' is a reserved word and cannot be a label");
    return;
  }
  const std::string key = Qualify(name);
  if (name[0] != '.' && label) lastGlobal_ = key;
  auto it = symbols_.find(key);
  if (it != symbols_.end() && it->second.definedPass == pass_ &&
      !(redefinable && it->second.redefinable)) {
    Error(column, "duplicate label '" + name + "' (first defined at " + it->second.file + ":" +
                      std::to_string(it->second.line) + ")");
    return;
  }
  Symbol& s = symbols_[key];
  if (it == symbols_.end() || s.value != v.v || s.known != v.known) {
    // A redefinable symbol changes within the pass by design; only its last value counts.
    if (!redefinable) changed_ = true;
  }
  s.value = v.v;
  s.known = v.known;
  s.label = label;
  s.redefinable = redefinable;
  s.definedPass = pass_;
  s.file = where_.file ? *where_.file : mainFile_;
  s.line = where_.line;
}

std::vector<std::string> Assembly::ScopedNames(const std::string& name) const {
  std::vector<std::string> candidates;
  if (name.size() > 1 && name[0] == '.') {
    candidates.push_back(lastGlobal_ + name);
  } else {
    for (size_t i = procs_.size(); i-- > 0;) candidates.push_back(procs_[i].scope + "." + name);
    candidates.push_back(name);
  }
  return candidates;
}

Value Assembly::Lookup(const std::string& name, int column) {
  const std::vector<std::string> candidates = ScopedNames(name);
  for (const std::string& key : candidates) {
    auto it = symbols_.find(key);
    if (it != symbols_.end()) return {it->second.value, it->second.known};
  }
  if (final_) {
    Error(column, "undefined label '" + name + "'");
    return {0, true};
  }
  return {0, false};
}

bool Assembly::IsDefinedNow(const std::string& name) const {
  const std::vector<std::string> candidates = ScopedNames(name);
  for (const std::string& key : candidates) {
    auto it = symbols_.find(key);
    if (it != symbols_.end() && it->second.definedPass == pass_) return true;
  }
  return macros_.count(name) != 0;
}

// ---- expressions ----

// Binary operators by level, loosest first, as in C.
struct BinaryOp {
  const char* text;
  int level;
};
constexpr BinaryOp kBinary[] = {{"||", 0},  {"&&", 1}, {"|", 2},   {"OR", 2},  {"^", 3},
                                {"XOR", 3}, {"&", 4},  {"AND", 4}, {"==", 5},  {"=", 5},
                                {"!=", 5},  {"<", 6},  {"<=", 6},  {">", 6},   {">=", 6},
                                {"<<", 7},  {">>", 7}, {"SHL", 7}, {"SHR", 7}, {"+", 8},
                                {"-", 8},   {"*", 9},  {"/", 9},   {"%", 9},   {"MOD", 9}};
constexpr int kUnaryLevel = 10;

const BinaryOp* FindBinary(const Token& t) {
  if (t.kind == TokenKind::kString || t.kind == TokenKind::kNumber) return nullptr;
  const std::string u = t.kind == TokenKind::kIdent ? Upper(t.text) : t.text;
  for (const BinaryOp& op : kBinary)
    if (u == op.text) return &op;
  return nullptr;
}

Value Assembly::Expression(const std::vector<Token>& t, size_t b, size_t e) {
  if (b >= e) {
    Error(b < t.size() ? t[b].column : (t.empty() ? 1 : t.back().end), "missing value");
    return {};
  }
  size_t i = b;
  const Value v = Binary(t, i, e, 0);
  if (i < e) {
    Error(t[i].column, "unexpected '" + t[i].text + "' in expression");
    return {};
  }
  return v;
}

Value Assembly::Binary(const std::vector<Token>& t, size_t& i, size_t e, int level) {
  if (level == kUnaryLevel) return Unary(t, i, e);
  Value left = Binary(t, i, e, level + 1);
  while (i < e) {
    const BinaryOp* op = FindBinary(t[i]);
    if (!op || op->level != level) break;
    const Token& opToken = t[i++];
    const Value right = Binary(t, i, e, level + 1);
    const int64_t a = left.v, c = right.v;
    const std::string o = opToken.kind == TokenKind::kIdent ? Upper(opToken.text) : opToken.text;
    int64_t r = 0;
    if (o == "||")
      r = (a || c) ? 1 : 0;
    else if (o == "&&")
      r = (a && c) ? 1 : 0;
    else if (o == "|" || o == "OR")
      r = a | c;
    else if (o == "^" || o == "XOR")
      r = a ^ c;
    else if (o == "&" || o == "AND")
      r = a & c;
    else if (o == "==" || o == "=")
      r = a == c;
    else if (o == "!=")
      r = a != c;
    else if (o == "<")
      r = a < c;
    else if (o == "<=")
      r = a <= c;
    else if (o == ">")
      r = a > c;
    else if (o == ">=")
      r = a >= c;
    else if (o == "<<" || o == "SHL")
      r = (c >= 0 && c < 32) ? static_cast<int64_t>(static_cast<uint64_t>(a) << c) : 0;
    else if (o == ">>" || o == "SHR")
      r = (c >= 0 && c < 32) ? (a >> c) : 0;
    else if (o == "+")
      r = a + c;
    else if (o == "-")
      r = a - c;
    else if (o == "*")
      r = a * c;
    else {
      if (c == 0) {
        if (right.known) Error(opToken.column, "division by zero");
        r = 0;
      } else {
        r = (o == "/") ? a / c : a % c;
      }
    }
    // Kept to 32 bits so that nothing overflows on the way.
    left = {static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(r))),
            left.known && right.known};
  }
  return left;
}

Value Assembly::Unary(const std::vector<Token>& t, size_t& i, size_t e) {
  if (i < e) {
    const Token& tok = t[i];
    const std::string u = tok.kind == TokenKind::kIdent ? Upper(tok.text) : std::string();
    if (IsPunct(tok, "-") || IsPunct(tok, "+") || IsPunct(tok, "~") || IsPunct(tok, "!") ||
        u == "NOT" || u == "LOW" || u == "HIGH") {
      ++i;
      Value v = Unary(t, i, e);
      if (IsPunct(tok, "-"))
        v.v = -v.v;
      else if (IsPunct(tok, "~") || u == "NOT")
        v.v = ~v.v;
      else if (IsPunct(tok, "!"))
        v.v = !v.v;
      else if (u == "LOW")
        v.v &= 0xFF;
      else if (u == "HIGH")
        v.v = (v.v >> 8) & 0xFF;
      v.v = static_cast<int32_t>(static_cast<uint32_t>(v.v));
      return v;
    }
  }
  return Primary(t, i, e);
}

Value Assembly::Primary(const std::vector<Token>& t, size_t& i, size_t e) {
  if (i >= e) {
    Error(i < t.size() ? t[i].column : (t.empty() ? 1 : t.back().end), "missing value");
    return {};
  }
  const Token& tok = t[i++];
  switch (tok.kind) {
    case TokenKind::kNumber: return {tok.value, true};
    case TokenKind::kString:
      if (tok.text.size() == 1) return {static_cast<uint8_t>(tok.text[0]), true};
      if (tok.text.size() == 2)
        return {static_cast<uint8_t>(tok.text[0]) | static_cast<uint8_t>(tok.text[1]) << 8, true};
      Error(tok.column, "a string in an expression must be one or two characters");
      return {};
    case TokenKind::kIdent:
      if (asm_detail::IsRegisterName(Upper(tok.text))) {
        Error(tok.column, "bad operand: register " + tok.text + " where a value is expected");
        return {};
      }
      return Lookup(tok.text, tok.column);
    case TokenKind::kPunct:
      if (tok.text == "$") return {statementPc_, true};
      if (tok.text == "(") {
        Value v = Binary(t, i, e, 0);
        if (i < e && IsPunct(t[i], ")")) {
          ++i;
        } else {
          Error(i < e ? t[i].column : tok.column, "missing ')'");
        }
        return v;
      }
      break;
  }
  Error(tok.column, "unexpected '" + tok.text + "' in expression");
  return {};
}

Value Assembly::SizingValue(const std::vector<Token>& t, size_t b, size_t e, const char* what) {
  const std::string key = lineKey_ + ":" + std::to_string(b < t.size() ? t[b].column : 0);
  Value v = Expression(t, b, e);
  if (pass_ == 1 && !v.known) sizedLate_.insert(key);
  if (sizedLate_.count(key)) {
    Error(b < t.size() ? t[b].column : 1,
          std::string(what) + " needs a value known at this point, not a label defined later");
    return {0, false};
  }
  return v;
}

std::vector<std::pair<size_t, size_t>> Assembly::SplitOperands(const std::vector<Token>& t,
                                                               size_t b, size_t e) {
  std::vector<std::pair<size_t, size_t>> parts;
  if (b >= e) return parts;
  int depth = 0;
  size_t start = b;
  for (size_t i = b; i < e; ++i) {
    if (IsPunct(t[i], "(") || IsPunct(t[i], "["))
      ++depth;
    else if (IsPunct(t[i], ")") || IsPunct(t[i], "]"))
      --depth;
    else if (depth == 0 && IsPunct(t[i], ",")) {
      parts.emplace_back(start, i);
      start = i + 1;
    }
  }
  parts.emplace_back(start, e);
  return parts;
}

Operand Assembly::ParseOperand(const std::vector<Token>& t, size_t b, size_t e) {
  Operand o;
  o.column = b < t.size() ? t[b].column : 1;
  if (b >= e) {
    Error(b > 0 && b - 1 < t.size() ? t[b - 1].column : 1, "missing operand");
    o.kind = Operand::kValue;
    return o;
  }
  if (e - b == 1 && t[b].kind == TokenKind::kIdent) {
    const std::string u = Upper(t[b].text);
    if (asm_detail::IsRegisterName(u)) {
      o.kind = Operand::kName;
      o.name = u;
      return o;
    }
  }
  // Parentheses around the whole operand make it a memory operand.
  const bool square = IsPunct(t[b], "[");
  if (IsPunct(t[b], "(") || square) {
    int depth = 0;
    size_t close = b;
    for (size_t i = b; i < e; ++i) {
      if (IsPunct(t[i], "(") || IsPunct(t[i], "["))
        ++depth;
      else if ((IsPunct(t[i], ")") || IsPunct(t[i], "]")) && --depth == 0) {
        close = i;
        break;
      }
    }
    if (close == e - 1) {
      const size_t ib = b + 1, ie = e - 1;
      if (ie - ib == 1 && t[ib].kind == TokenKind::kIdent) {
        const std::string u = Upper(t[ib].text);
        if (u == "BC" || u == "DE" || u == "HL" || u == "SP" || u == "C") {
          o.kind = Operand::kIndirect;
          o.name = u;
          return o;
        }
      }
      if (ie > ib && t[ib].kind == TokenKind::kIdent &&
          (Upper(t[ib].text) == "IX" || Upper(t[ib].text) == "IY")) {
        o.kind = Operand::kIndexed;
        o.name = Upper(t[ib].text);
        if (ie - ib == 1) return o;
        if (!IsPunct(t[ib + 1], "+") && !IsPunct(t[ib + 1], "-")) {
          Error(t[ib + 1].column, "bad operand: expected + or - after " + o.name);
          return o;
        }
        const Value v = Expression(t, ib + 1, ie);
        o.value = v.v;
        o.known = v.known;
        return o;
      }
      if (ie > ib && t[ib].kind == TokenKind::kIdent &&
          asm_detail::IsRegisterName(Upper(t[ib].text))) {
        Error(t[ib].column, "bad operand: (" + t[ib].text + ") cannot be used as an address");
      }
      o.kind = Operand::kMemory;
      const Value v = Expression(t, ib, ie);
      o.value = v.v;
      o.known = v.known;
      return o;
    }
  }
  o.kind = Operand::kValue;
  const Value v = Expression(t, b, e);
  o.value = v.v;
  o.known = v.known;
  return o;
}

// ---- output ----

void Assembly::SetOrigin(int64_t address) {
  pc_ = static_cast<uint32_t>(address) & 0xFFFF;
  overflowReported_ = false;
  blockOpen_ = false;
}

void Assembly::Emit(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return;
  if (pc_ + bytes.size() > 0x10000 && !overflowReported_) {
    Error(1, "code runs past the end of memory at #FFFF");
    overflowReported_ = true;
  }
  if (final_) {
    if (!blockOpen_ || result_.blocks.empty()) {
      result_.blocks.push_back({static_cast<uint16_t>(pc_), {}});
      blockOpen_ = true;
    }
    AsmBlock& block = result_.blocks.back();
    bool overlap = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
      const uint32_t a = pc_ + static_cast<uint32_t>(i);
      if (a > 0xFFFF) break;
      overlap = overlap || written_[a];
      written_[a] = 1;
      block.bytes.push_back(bytes[i]);
    }
    if (overlap) Warning(1, "this overwrites bytes already assembled at " + Hex4(pc_));
    lineBytes_.insert(lineBytes_.end(), bytes.begin(), bytes.end());
  }
  pc_ += static_cast<uint32_t>(bytes.size());
}

// ---- the source ----

void Assembly::File(const std::string& path, const std::vector<std::string>& lines) {
  includeStack_.push_back(path);
  const int depth = static_cast<int>(includeStack_.size());
  for (size_t i = 0; i < lines.size() && !ended_; ++i)
    Line(path, static_cast<int>(i) + 1, lines[i]);
  EndOfFile(depth);
  includeStack_.pop_back();
}

void Assembly::EndOfFile(int depth) {
  if (recording_ && recordingDepth_ >= depth) {
    ReportAt(recordingFile_, recordingLine_, recordingColumn_, "MACRO without ENDM");
    recording_ = nullptr;
  }
  while (!conds_.empty() && conds_.back().depth >= depth) {
    const CondFrame& c = conds_.back();
    ReportAt(c.file, c.line, c.column, "IF without ENDIF");
    conds_.pop_back();
  }
  while (!procs_.empty() && procs_.back().depth >= depth) {
    const ProcFrame& p = procs_.back();
    ReportAt(p.file, p.line, p.column, "PROC without ENDP");
    procs_.pop_back();
  }
}

void Assembly::Line(const std::string& file, int lineNo, const std::string& text) {
  where_ = {&file, lineNo};
  if (++linesThisPass_ > kMaxLinesPerPass) {
    Error(1, "the source grows past " + std::to_string(kMaxLinesPerPass) +
                 " lines when its macros are expanded (a macro that calls itself?)");
    ended_ = true;
    return;
  }
  lineKey_ = file + ":" + std::to_string(lineNo) + ":" + std::to_string(macroDepth_);
  asm_detail::LexError lexError;
  const std::vector<Token> t = asm_detail::Tokenize(text, &lexError);
  const bool lexFailed = !lexError.message.empty();

  if (recording_) {
    // The body is kept as text until ENDM; nested MACROs are recorded whole.
    for (size_t i = 0; i < t.size() && i < 2; ++i) {
      if (IsWord(t[i], "MACRO")) {
        ++recordingNest_;
        break;
      }
      if (IsWord(t[i], "ENDM")) {
        if (recordingNest_-- == 0) {
          recording_ = nullptr;
          return;
        }
        break;
      }
    }
    recording_->body.push_back(text);
    return;
  }

  const bool active = conds_.empty() || conds_.back().active;
  if (!active) {
    // Only the conditionals matter in a block left out.
    for (size_t i = 0; i < t.size() && i < 2; ++i) {
      if (t[i].kind != TokenKind::kIdent) break;
      const std::string u = Upper(t[i].text);
      if (u == "IF" || u == "IFDEF" || u == "IFNDEF" || u == "ELSE" || u == "ENDIF") {
        Conditional(u, t, i, t.size());
        break;
      }
    }
    return;
  }
  statementPc_ = pc_;
  if (macroDepth_ == 0) {
    lineAddress_ = pc_;
    lineBytes_.clear();
  }

  if (lexFailed) Error(lexError.column, lexError.message);

  size_t i = 0;
  std::string label;
  int labelColumn = 1;
  if (!t.empty() && t[0].kind == TokenKind::kIdent) {
    const std::string u0 = Upper(t[0].text);
    const bool colon = t.size() > 1 && IsPunct(t[1], ":") && t[1].column == t[0].end;
    const bool keyword = asm_detail::IsMnemonic(u0) || IsDirective(u0) || macros_.count(t[0].text);
    const bool definer =
        t.size() > 1 &&
        ((t[1].kind == TokenKind::kIdent && (IsWord(t[1], "EQU") || IsWord(t[1], "DEFL") ||
                                             IsWord(t[1], "MACRO") || IsWord(t[1], "PROC"))) ||
         IsPunct(t[1], "="));
    if (colon) {
      label = t[0].text;
      i = 2;
    } else if (definer || (t[0].column == 1 && !keyword)) {
      label = t[0].text;
      i = 1;
    }
    labelColumn = t[0].column;
  }

  if (!label.empty() && i < t.size()) {
    const Token& d = t[i];
    if (IsWord(d, "EQU") || IsWord(d, "DEFL") || IsPunct(d, "=")) {
      const Value v = Expression(t, i + 1, t.size());
      Define(label, labelColumn, v, false, !IsWord(d, "EQU"));
      List(lineNo, text, true);
      return;
    }
    if (IsWord(d, "MACRO")) {
      Macro m;
      for (const auto& [pb, pe] : SplitOperands(t, i + 1, t.size())) {
        if (pe - pb != 1 || t[pb].kind != TokenKind::kIdent) {
          Error(t[pb < t.size() ? pb : i].column, "bad macro parameter");
          continue;
        }
        m.params.push_back(t[pb].text);
      }
      m.file = file;
      m.firstLine = lineNo + 1;
      if (macros_.count(label) && final_) Error(labelColumn, "duplicate macro '" + label + "'");
      macros_[label] = std::move(m);
      recording_ = &macros_[label];
      recordingNest_ = 0;
      recordingFile_ = file;
      recordingLine_ = lineNo;
      recordingColumn_ = t[i].column;
      recordingDepth_ = static_cast<int>(includeStack_.size());
      return;
    }
    if (IsWord(d, "PROC")) {
      Define(label, labelColumn, {pc_, true}, true, false);
      procs_.push_back(
          {Qualify(label), file, lineNo, t[i].column, static_cast<int>(includeStack_.size())});
      List(lineNo, text, true);
      return;
    }
  }
  if (!label.empty()) Define(label, labelColumn, {pc_, true}, true, false);

  // Statements separated by ':'.
  while (i < t.size() && !ended_) {
    size_t e = i;
    while (e < t.size() && !IsPunct(t[e], ":")) ++e;
    if (e > i) Statement(file, lineNo, text, t, i, e);
    i = e + 1;
    // The statements after a macro call or an include keep this line's place.
    where_ = {&file, lineNo};
  }

  List(lineNo, text, !t.empty());
}

void Assembly::List(int lineNo, const std::string& text, bool statement) {
  if (!final_ || macroDepth_ != 0) return;
  char head[48];
  std::string bytes;
  for (size_t k = 0; k < lineBytes_.size() && k < 8; ++k) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X ", lineBytes_[k]);
    bytes += b;
  }
  if (lineBytes_.size() > 8) bytes += "...";
  if (statement) {
    std::snprintf(head, sizeof head, "%5d  %04X  ", lineNo, lineAddress_ & 0xFFFF);
  } else {
    std::snprintf(head, sizeof head, "%5d        ", lineNo);
  }
  bytes.resize(std::max<size_t>(bytes.size(), 27), ' ');
  result_.listing += head + bytes + text + "\n";
}

bool Assembly::Conditional(const std::string& u, const std::vector<Token>& t, size_t b, size_t e) {
  const bool active = conds_.empty() || conds_.back().active;
  if (u == "IF" || u == "IFDEF" || u == "IFNDEF") {
    bool cond = false;
    if (active) {
      if (u == "IF") {
        cond = SizingValue(t, b + 1, e, "IF").v != 0;
      } else if (e - b != 2 || t[b + 1].kind != TokenKind::kIdent) {
        Error(t[b].column, "bad operand for " + u + ": one name expected");
      } else {
        cond = IsDefinedNow(t[b + 1].text) == (u == "IFDEF");
      }
    }
    conds_.push_back({active && cond, active, cond, false, *where_.file, where_.line, t[b].column,
                      static_cast<int>(includeStack_.size())});
    return true;
  }
  if (conds_.empty()) {
    Error(t[b].column, u + " without IF");
    return true;
  }
  CondFrame& c = conds_.back();
  if (u == "ELSE") {
    if (c.inElse) Error(t[b].column, "a second ELSE for one IF");
    c.inElse = true;
    c.active = c.parentActive && !c.taken;
    c.taken = true;
  } else {
    conds_.pop_back();
  }
  return true;
}

void Assembly::Statement(const std::string& file, int lineNo, const std::string& text,
                         const std::vector<Token>& t, size_t b, size_t e) {
  (void)file;
  (void)lineNo;
  statementPc_ = pc_;
  if (t[b].kind != TokenKind::kIdent) {
    Error(t[b].column, "an instruction or directive was expected, not '" + t[b].text + "'");
    return;
  }
  const std::string u = Upper(t[b].text);
  if (u == "IF" || u == "IFDEF" || u == "IFNDEF" || u == "ELSE" || u == "ENDIF") {
    Conditional(u, t, b, e);
    return;
  }
  if (macros_.count(t[b].text)) {
    ExpandMacro(t[b].text, text, t, b, e);
    return;
  }
  if (IsDirective(u)) {
    Directive(u, t, b, e);
    return;
  }
  if (!asm_detail::IsMnemonic(u)) {
    Error(t[b].column, "unknown instruction '" + t[b].text + "'");
    return;
  }
  std::vector<Operand> ops;
  for (const auto& [ob, oe] : SplitOperands(t, b + 1, e)) ops.push_back(ParseOperand(t, ob, oe));
  std::vector<uint8_t> bytes;
  asm_detail::EncodeInstruction(
      u, t[b].column, ops, pc_, final_, bytes,
      [this](int column, const std::string& message) { Error(column, message); });
  Emit(bytes);
}

void Assembly::Directive(const std::string& u, const std::vector<Token>& t, size_t b, size_t e) {
  const int column = t[b].column;
  if (u == "ORG") {
    const Value v = SizingValue(t, b + 1, e, "ORG");
    if (v.known && (v.v < 0 || v.v > 0xFFFF))
      Error(t[b + 1 < e ? b + 1 : b].column, "value out of range: ORG " + std::to_string(v.v));
    SetOrigin(v.v);
    statementPc_ = pc_;
    lineAddress_ = pc_;
    return;
  }
  if (u == "DEFB" || u == "DB" || u == "DEFM" || u == "DM" || u == "BYTE") {
    std::vector<uint8_t> bytes;
    for (const auto& [ob, oe] : SplitOperands(t, b + 1, e)) {
      if (oe - ob == 1 && t[ob].kind == TokenKind::kString && t[ob].text.size() != 1) {
        for (char c : t[ob].text) bytes.push_back(static_cast<uint8_t>(c));
        continue;
      }
      const Value v = Expression(t, ob, oe);
      if (final_ && v.known && (v.v < -128 || v.v > 255))
        Error(t[ob < oe ? ob : b].column,
              "value out of range: " + std::to_string(v.v) + " does not fit a byte");
      bytes.push_back(static_cast<uint8_t>(v.v));
    }
    if (b + 1 >= e) Error(column, "missing value");
    Emit(bytes);
    return;
  }
  if (u == "DEFW" || u == "DW" || u == "WORD") {
    std::vector<uint8_t> bytes;
    for (const auto& [ob, oe] : SplitOperands(t, b + 1, e)) {
      const Value v = Expression(t, ob, oe);
      if (final_ && v.known && (v.v < -32768 || v.v > 65535))
        Error(t[ob < oe ? ob : b].column,
              "value out of range: " + std::to_string(v.v) + " does not fit a word");
      bytes.push_back(static_cast<uint8_t>(v.v));
      bytes.push_back(static_cast<uint8_t>(v.v >> 8));
    }
    if (b + 1 >= e) Error(column, "missing value");
    Emit(bytes);
    return;
  }
  if (u == "DEFS" || u == "DS" || u == "BLOCK" || u == "ALIGN") {
    const auto parts = SplitOperands(t, b + 1, e);
    if (parts.empty() || parts.size() > 2) {
      Error(column, "bad operand for " + u);
      return;
    }
    Value n = SizingValue(t, parts[0].first, parts[0].second, u.c_str());
    if (u == "ALIGN") {
      if (n.known && (n.v < 1 || n.v > 0x8000 || (n.v & (n.v - 1)) != 0)) {
        Error(t[parts[0].first].column, "value out of range: ALIGN needs a power of two");
        n.v = 1;
      }
      n.v = n.known ? (n.v - (pc_ % n.v)) % n.v : 0;
    }
    if (n.known && (n.v < 0 || pc_ + n.v > 0x10000)) {
      Error(t[parts[0].first].column, "value out of range: " + std::to_string(n.v) + " bytes");
      return;
    }
    uint8_t fill = 0;
    if (parts.size() == 2) {
      const Value f = Expression(t, parts[1].first, parts[1].second);
      if (final_ && f.known && (f.v < -128 || f.v > 255))
        Error(t[parts[1].first].column,
              "value out of range: " + std::to_string(f.v) + " does not fit a byte");
      fill = static_cast<uint8_t>(f.v);
    }
    Emit(std::vector<uint8_t>(static_cast<size_t>(n.known ? n.v : 0), fill));
    return;
  }
  if (u == "INCLUDE" || u == "INCBIN" || u == "BINARY") {
    Include(t, b, e, u != "INCLUDE");
    return;
  }
  if (u == "MACRO") {
    // MACRO name, params: the other way of writing "name MACRO params".
    if (b + 1 >= e || t[b + 1].kind != TokenKind::kIdent) {
      Error(column, "MACRO needs a name");
      return;
    }
    Macro m;
    size_t pb = b + 2;
    if (pb < e && IsPunct(t[pb], ",")) ++pb;
    for (const auto& [ob, oe] : SplitOperands(t, pb, e)) {
      if (oe - ob == 1 && t[ob].kind == TokenKind::kIdent)
        m.params.push_back(t[ob].text);
      else
        Error(t[ob < e ? ob : b].column, "bad macro parameter");
    }
    const std::string name = t[b + 1].text;
    m.file = *where_.file;
    m.firstLine = where_.line + 1;
    if (macros_.count(name)) Error(t[b + 1].column, "duplicate macro '" + name + "'");
    macros_[name] = std::move(m);
    recording_ = &macros_[name];
    recordingNest_ = 0;
    recordingFile_ = *where_.file;
    recordingLine_ = where_.line;
    recordingColumn_ = column;
    recordingDepth_ = static_cast<int>(includeStack_.size());
    return;
  }
  if (u == "ENDM") {
    Error(column, "ENDM without MACRO");
    return;
  }
  if (u == "PROC") {
    procs_.push_back({"proc" + std::to_string(++scopeCounter_), *where_.file, where_.line, column,
                      static_cast<int>(includeStack_.size())});
    return;
  }
  if (u == "ENDP") {
    if (procs_.empty())
      Error(column, "ENDP without PROC");
    else
      procs_.pop_back();
    return;
  }
  if (u == "LOCAL") return;  // every label in a PROC is local already
  if (u == "END") {
    if (b + 1 < e) {
      const Value v = Expression(t, b + 1, e);
      if (final_) result_.entry = static_cast<uint16_t>(v.v);
    }
    ended_ = true;
    return;
  }
  if (u == "EQU" || u == "DEFL") {
    Error(column, u + " needs a name before it");
    return;
  }
  // Other assemblers' settings that change nothing in the code.
  Warning(column, "'" + t[b].text + "' is not supported here and is ignored");
}

void Assembly::ExpandMacro(const std::string& name, const std::string& text,
                           const std::vector<Token>& t, size_t b, size_t e) {
  if (macroDepth_ >= kMaxMacroDepth) {
    Error(t[b].column, "macros nested too deep (a macro that calls itself?)");
    return;
  }
  const Macro m = macros_.at(name);  // a copy: the body may define macros
  std::vector<std::string> args;
  for (const auto& [ab, ae] : SplitOperands(t, b + 1, e)) {
    if (ab >= ae) {
      args.emplace_back();
      continue;
    }
    const int from = t[ab].column - 1;
    args.push_back(
        text.substr(static_cast<size_t>(from), static_cast<size_t>(t[ae - 1].end - 1 - from)));
  }
  if (args.size() != m.params.size()) {
    Error(t[b].column, "macro '" + name + "' takes " + std::to_string(m.params.size()) +
                           " arguments, not " + std::to_string(args.size()));
    return;
  }
  ++macroDepth_;
  procs_.push_back({name + "." + std::to_string(++scopeCounter_), *where_.file, where_.line,
                    t[b].column, static_cast<int>(includeStack_.size()) + 1});
  const size_t procDepth = procs_.size();
  for (size_t k = 0; k < m.body.size() && !ended_; ++k) {
    // Each parameter's name, outside strings and comments, becomes its argument's text.
    const std::string& raw = m.body[k];
    std::string line;
    for (size_t i = 0; i < raw.size();) {
      const char c = raw[i];
      if (c == ';') {
        line += raw.substr(i);
        break;
      }
      if (c == '"' || c == '\'') {
        const size_t close = raw.find(c, i + 1);
        const size_t end = close == std::string::npos ? raw.size() : close + 1;
        line += raw.substr(i, end - i);
        i = end;
        continue;
      }
      if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        size_t j = i;
        while (j < raw.size() &&
               (std::isalnum(static_cast<unsigned char>(raw[j])) || raw[j] == '_'))
          ++j;
        const std::string word = raw.substr(i, j - i);
        const auto p = std::find(m.params.begin(), m.params.end(), word);
        line += p == m.params.end() ? word : args[static_cast<size_t>(p - m.params.begin())];
        i = j;
        continue;
      }
      line += c;
      ++i;
    }
    Line(m.file, m.firstLine + static_cast<int>(k), line);
  }
  if (procs_.size() >= procDepth) procs_.resize(procDepth - 1);
  --macroDepth_;
}

void Assembly::Include(const std::vector<Token>& t, size_t b, size_t e, bool binary) {
  const int column = t[b].column;
  const auto parts = SplitOperands(t, b + 1, e);
  if (parts.empty() || parts[0].second - parts[0].first != 1 ||
      t[parts[0].first].kind != TokenKind::kString || (!binary && parts.size() != 1) ||
      parts.size() > 3) {
    Error(column, std::string("bad operand for ") + (binary ? "INCBIN" : "INCLUDE") +
                      ": a file name in quotes expected");
    return;
  }
  const Token& nameToken = t[parts[0].first];
  std::filesystem::path p(nameToken.text);
  if (p.is_relative()) {
    const std::string dir = Directory(*where_.file);
    if (!dir.empty()) p = std::filesystem::path(dir) / p;
  }
  const std::string path = p.lexically_normal().string();
  if (!binary) {
    for (const std::string& open : includeStack_) {
      if (std::filesystem::path(open).lexically_normal().string() == path) {
        Error(nameToken.column, "include loop: '" + nameToken.text + "' is already being read");
        return;
      }
    }
    if (includeStack_.size() >= static_cast<size_t>(kMaxIncludeDepth)) {
      Error(nameToken.column, "INCLUDE nested too deep");
      return;
    }
  }
  const std::optional<std::string> data = reader_(path);
  if (!data) {
    Error(nameToken.column, "cannot read '" + nameToken.text + "'");
    return;
  }
  if (binary) {
    int64_t offset = 0, length = static_cast<int64_t>(data->size());
    if (parts.size() >= 2) offset = SizingValue(t, parts[1].first, parts[1].second, "INCBIN").v;
    if (parts.size() == 3)
      length = SizingValue(t, parts[2].first, parts[2].second, "INCBIN").v;
    else
      length -= offset;
    if (offset < 0 || length < 0 || offset + length > static_cast<int64_t>(data->size())) {
      Error(column, "value out of range: the file has " + std::to_string(data->size()) + " bytes");
      return;
    }
    Emit(std::vector<uint8_t>(data->begin() + offset, data->begin() + offset + length));
    return;
  }
  const Where saved = where_;
  const std::string savedKey = lineKey_;
  const std::vector<uint8_t> savedBytes = lineBytes_;
  const uint32_t savedAddress = lineAddress_;
  // The file's lines are listed as they come.
  const bool wasFinal = final_;
  File(path, SplitLines(*data));
  final_ = wasFinal;
  where_ = saved;
  lineKey_ = savedKey;
  lineBytes_ = savedBytes;
  lineAddress_ = savedAddress;
}

// ---- the run ----

void Assembly::Pass(bool final) {
  ++pass_;
  final_ = final;
  changed_ = false;
  pc_ = 0;
  statementPc_ = 0;
  overflowReported_ = false;
  ended_ = false;
  lastGlobal_.clear();
  scopeCounter_ = 0;
  procs_.clear();
  conds_.clear();
  includeStack_.clear();
  macros_.clear();
  macroDepth_ = 0;
  linesThisPass_ = 0;
  recording_ = nullptr;
  blockOpen_ = false;
  if (final) {
    result_ = AsmResult{};
    written_.assign(0x10000, 0);
  }
  File(mainFile_, mainLines_);
}

AsmResult Assembly::Run(const std::string& path, const std::string& text) {
  mainFile_ = path;
  mainLines_ = SplitLines(text);
  // Until the labels settle (a constant defined from a later label takes one more pass).
  for (int i = 0; i < kMaxPasses; ++i) {
    Pass(false);
    if (!changed_ || linesThisPass_ > kMaxLinesPerPass) break;
  }
  Pass(true);
  for (const auto& [name, s] : symbols_) {
    if (s.definedPass != pass_) continue;
    result_.symbols.push_back({name, static_cast<int32_t>(s.value), s.label, s.file, s.line});
  }
  std::erase_if(result_.blocks, [](const AsmBlock& b) { return b.bytes.empty(); });
  return std::move(result_);
}

}  // namespace

bool AsmResult::Range(uint16_t& first, uint16_t& last) const {
  uint32_t lo = 0x10000, hi = 0;
  for (const AsmBlock& b : blocks) {
    if (b.bytes.empty()) continue;
    lo = std::min<uint32_t>(lo, b.address);
    hi = std::max<uint32_t>(hi, std::min<uint32_t>(0xFFFF, b.address + b.bytes.size() - 1));
  }
  if (lo > hi) return false;
  first = static_cast<uint16_t>(lo);
  last = static_cast<uint16_t>(hi);
  return true;
}

std::vector<uint8_t> AsmResult::Image(uint16_t* firstOut) const {
  uint16_t first = 0, last = 0;
  if (!Range(first, last)) return {};
  std::vector<uint8_t> image(static_cast<size_t>(last - first) + 1, 0);
  for (const AsmBlock& b : blocks) {
    for (size_t i = 0; i < b.bytes.size() && b.address + i <= 0xFFFF; ++i)
      image[b.address + i - first] = b.bytes[i];
  }
  if (firstOut) *firstOut = first;
  return image;
}

std::optional<int32_t> AsmResult::Find(const std::string& name) const {
  for (const AsmSymbol& s : symbols)
    if (s.name == name) return s.value;
  return std::nullopt;
}

std::string AsmResult::SymbolTable() const {
  std::string out;
  for (const AsmSymbol& s : symbols) {
    std::string line = s.name;
    line.resize(std::max<size_t>(line.size() + 1, 24), ' ');
    out += line + (s.label ? "EQU  " : "=    ") + Hex4(static_cast<uint32_t>(s.value)) + "\n";
  }
  return out;
}

std::optional<std::string> ReadAsmFileFromDisk(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileSize) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

AsmResult Assemble(const std::string& path, const std::string& text, const AsmFileReader& reader) {
  Assembly a(reader);
  return a.Run(path, text);
}

AsmResult AssembleFile(const std::string& path, const AsmFileReader& reader) {
  const std::optional<std::string> text = reader(path);
  if (!text) {
    AsmResult r;
    r.diagnostics.push_back({path, 0, 0, false, "cannot read the file"});
    r.errors = 1;
    return r;
  }
  return Assemble(path, *text, reader);
}

AsmWord ClassifyAsmWord(const std::string& word) {
  const std::string u = Upper(word);
  if (asm_detail::IsMnemonic(u)) return AsmWord::kMnemonic;
  if (asm_detail::IsRegisterName(u)) return AsmWord::kRegister;
  if (IsDirective(u) || u == "DEFL") return AsmWord::kDirective;
  return AsmWord::kOther;
}

std::string FormatDiagnostics(const AsmResult& result) {
  std::string out;
  for (const AsmDiagnostic& d : result.diagnostics) {
    out += d.file + ":" + std::to_string(d.line) + ":" + std::to_string(d.column) + ": " +
           (d.warning ? "warning: " : "error: ") + d.message + "\n";
  }
  return out;
}

}  // namespace orvo
