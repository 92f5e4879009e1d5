#include "shell/assembler_output.h"

#include <filesystem>

#include "machine/machine_state.h"
#include "shell/emulator.h"
#include "shell/extension_table.h"
#include "shell/frame_loop.h"
#include "shell/poke_memory.h"
#include "shell/snapshot_save.h"

namespace orvo {

namespace {

void Append16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// A number in a BASIC line: its digits, then the hidden five-byte form the ROM reads.
void BasicNumber(std::vector<uint8_t>& line, uint16_t v) {
  for (char c : std::to_string(v)) line.push_back(static_cast<uint8_t>(c));
  line.push_back(0x0E);
  line.push_back(0);
  line.push_back(0);
  Append16(line, v);
  line.push_back(0);
}

// One TAP block: its length, the flag, the data and the XOR checksum.
void TapBlock(std::vector<uint8_t>& tap, uint8_t flag, const std::vector<uint8_t>& data) {
  Append16(tap, static_cast<uint32_t>(data.size() + 2));
  tap.push_back(flag);
  uint8_t sum = flag;
  for (uint8_t b : data) sum ^= b;
  tap.insert(tap.end(), data.begin(), data.end());
  tap.push_back(sum);
}

std::vector<uint8_t> Header(uint8_t type, std::string_view name, uint32_t length, uint16_t p1,
                            uint16_t p2) {
  std::vector<uint8_t> h;
  h.push_back(type);
  for (size_t i = 0; i < 10; ++i)
    h.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : ' ');
  Append16(h, length);
  Append16(h, p1);
  Append16(h, p2);
  return h;
}

constexpr uint8_t kTokenClear = 0xFD, kTokenLoad = 0xEF, kTokenCode = 0xAF, kTokenRandomize = 0xF9,
                  kTokenUsr = 0xC0;
// Below this the code would sit under the BASIC system itself: no CLEAR then.
constexpr uint16_t kLowestClear = 24000;

}  // namespace

void LoadAssembly(MachineState& m, const AsmResult& result, uint8_t bank) {
  for (const AsmBlock& b : result.blocks) {
    for (size_t i = 0; i < b.bytes.size() && b.address + i <= 0xFFFF; ++i) {
      const auto address = static_cast<uint16_t>(b.address + i);
      PokeByte(m, address >= 0xC000 ? bank : kAsmPagedMemory, address, b.bytes[i]);
    }
  }
}

void SetAssemblyLabels(MachineState& m, const AsmResult& result) {
  // Global labels first, so one that shares its address with a local label names it.
  std::vector<std::pair<std::string, uint16_t>> labels;
  for (const bool local : {false, true}) {
    for (const AsmSymbol& s : result.symbols) {
      if (s.label && (s.name.find('.') != std::string::npos) == local)
        labels.emplace_back(s.name, static_cast<uint16_t>(s.value));
    }
  }
  m.debug.labels.Set(labels);
}

std::optional<uint16_t> AssemblyEntry(const AsmResult& result, std::string_view name,
                                      std::string* error) {
  if (!name.empty()) {
    if (const auto v = result.Find(std::string(name))) return static_cast<uint16_t>(*v);
    if (error) *error = "no label '" + std::string(name) + "' in the program";
    return std::nullopt;
  }
  if (result.entry) return result.entry;
  uint16_t first = 0, last = 0;
  if (result.Range(first, last)) return first;
  if (error) *error = "the program has no code";
  return std::nullopt;
}

std::vector<uint8_t> AssemblyTap(const AsmResult& result, std::string_view name, uint16_t entry) {
  uint16_t start = 0;
  const std::vector<uint8_t> code = result.Image(&start);
  std::vector<uint8_t> line;
  if (start > kLowestClear) {
    line.push_back(kTokenClear);
    BasicNumber(line, static_cast<uint16_t>(start - 1));
    line.push_back(':');
  }
  line.push_back(kTokenLoad);
  line.push_back('"');
  line.push_back('"');
  line.push_back(kTokenCode);
  line.push_back(':');
  line.push_back(kTokenRandomize);
  line.push_back(kTokenUsr);
  BasicNumber(line, entry);
  line.push_back(0x0D);
  std::vector<uint8_t> program = {0x00, 0x0A};  // line 10, its number high byte first
  Append16(program, static_cast<uint32_t>(line.size()));
  program.insert(program.end(), line.begin(), line.end());

  std::vector<uint8_t> tap;
  TapBlock(tap, 0x00,
           Header(0, name, static_cast<uint32_t>(program.size()), 10,
                  static_cast<uint16_t>(program.size())));
  TapBlock(tap, 0xFF, program);
  TapBlock(tap, 0x00, Header(3, name, static_cast<uint32_t>(code.size()), start, 32768));
  TapBlock(tap, 0xFF, code);
  return tap;
}

bool BootToKeyWait(Emulator& emu, uint32_t frameLimit) {
  MachineState& m = emu.m;
  for (uint32_t f = 0; f < frameLimit; ++f) {
    while (m.FrameTState < m.FrameLength) {
      StepInstruction(emu);
      if (m.cpu.PC == m.KeyWaitAddress) return true;
    }
    RunFrame(emu);
  }
  return false;
}

bool SaveAssemblyOutput(Emulator& emu, const AsmResult& result, const std::string& path,
                        uint16_t entry, std::string* error) {
  const FileKind kind = MatchExtension(path);
  if (kind == FileKind::Z80 || kind == FileKind::Szx || kind == FileKind::Sna) {
    LoadAssembly(emu.m, result);
    SetAssemblyLabels(emu.m, result);
    emu.m.cpu.PC = entry;
    emu.m.cpu.Halted = 0;
    if (SaveSnapshot(emu, path) != kSaved) {
      if (error) *error = path + ": the snapshot could not be written";
      return false;
    }
    return true;
  }
  std::vector<uint8_t> bytes;
  if (kind == FileKind::Tap) {
    const std::string stem = std::filesystem::path(path).stem().string();
    bytes = AssemblyTap(result, stem, entry);
  } else {
    bytes = result.Image();
  }
  if (!WriteFileReplacing(path, bytes)) {
    if (error) *error = path + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace orvo
