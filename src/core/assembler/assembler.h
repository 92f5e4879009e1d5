#pragma once
// The Z80 cross-assembler: source text in, machine code, symbols, a listing and every error and
// warning out. Two passes: the first sizes every statement and gives each label its address, the
// second evaluates the operands (forward references included) and emits the bytes. All problems
// are collected with their file, line and column; assembling goes on after an error so that one
// run reports them all.
//
// The dialect: every documented and undocumented instruction, written as the debugger's
// disassembler prints them (IXH/IXL/IYH/IYL, SLL, "OUT (C),0", "IN F,(C)", "RLC (IX+d),B"), in
// upper or lower case. Labels end with ':' or start in the first column; labels inside
// PROC/ENDP (and inside a macro's expansion) are local to it; a label that starts with '.' belongs
// to the last global label ("main.loop"). Directives: ORG, EQU, '=' and DEFL, DEFB/DB/DEFM/DM,
// DEFW/DW, DEFS/DS, INCLUDE, INCBIN, IF/IFDEF/IFNDEF/ELSE/ENDIF, MACRO/ENDM, PROC/ENDP, LOCAL,
// ALIGN, END. Numbers: decimal, #FF, $FF, 0xFF, &FF, 0FFh, %1010, 1010b; '$' alone is the
// address of the statement. Operators as in C, with C's precedence.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvo {

struct AsmDiagnostic {
  std::string file;
  int line = 0;    // from 1
  int column = 0;  // from 1
  bool warning = false;
  std::string message;
};

struct AsmSymbol {
  std::string name;  // a local label is shown with its scope: "main.loop", "Proc.1.loop"
  int32_t value = 0;
  bool label = true;  // false for EQU and '=' constants
  std::string file;
  int line = 0;
};

// A run of bytes laid down in one go at one address (an ORG starts a new one).
struct AsmBlock {
  uint16_t address = 0;
  std::vector<uint8_t> bytes;
};

struct AsmResult {
  std::vector<AsmDiagnostic> diagnostics;  // in source order
  std::vector<AsmBlock> blocks;            // in the order the source emits them
  std::vector<AsmSymbol> symbols;          // sorted by name
  std::string listing;
  std::optional<uint16_t> entry;  // END's operand
  int errors = 0;
  int warnings = 0;

  bool ok() const { return errors == 0; }
  // The lowest and highest address written; false when nothing was.
  bool Range(uint16_t& first, uint16_t& last) const;
  // The bytes from the lowest to the highest address written, gaps filled with 0 (later blocks
  // over earlier ones, as the memory would hold them).
  std::vector<uint8_t> Image(uint16_t* first = nullptr) const;
  // The value of a global label or constant.
  std::optional<int32_t> Find(const std::string& name) const;
  // The symbol table as text: one "NAME  EQU  #XXXX" line per symbol.
  std::string SymbolTable() const;
};

// Reads a file named by INCLUDE or INCBIN (the path already resolved against the including
// file's folder): the bytes, or nothing when it cannot be read.
using AsmFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// Reads regular files from the disk, up to 16 MB.
std::optional<std::string> ReadAsmFileFromDisk(const std::string& path);

// Assembles `text` as the file `path` (its folder is where INCLUDE and INCBIN start from).
AsmResult Assemble(const std::string& path, const std::string& text,
                   const AsmFileReader& reader = ReadAsmFileFromDisk);

// Reads and assembles the file at `path`; a file that cannot be read gives one error.
AsmResult AssembleFile(const std::string& path, const AsmFileReader& reader = ReadAsmFileFromDisk);

// What a word of the source is, for syntax highlighting (any case).
enum class AsmWord { kOther, kMnemonic, kRegister, kDirective };
AsmWord ClassifyAsmWord(const std::string& word);

// "file:line:column: error: message" lines, one per diagnostic.
std::string FormatDiagnostics(const AsmResult& result);

}  // namespace orvo
