#include "app/tools_run_options.h"

#include <cstdio>

#include "formats/pok_format.h"
#include "host/screen_save.h"
#include "shell/binary_file.h"
#include "shell/emulator.h"
#include "shell/file_dispatch.h"
#include "shell/poke_memory.h"
#include "tools/parse_number.h"

namespace orvo {

const char kToolsRunHelp[] =
    "Tools (numbers: decimal, or hexadecimal after # or $):\n"
    "  --poke ADDR,VALUE  poke a byte after loading; BANK:ADDR,VALUE names a 128K bank;\n"
    "                     repeatable\n"
    "  --pok FILE[:NAME]  apply a .POK file's trainers (or the one called NAME)\n"
    "  --pok-ask N        the value for a trainer's \"ask the user\" pokes (default 0)\n"
    "  --load-binary FILE@ADDR      load a file of bytes at ADDR after loading\n"
    "  --save-binary FILE@ADDR,LEN  save LEN bytes from ADDR at the end\n"
    "  --save-screen FILE  save the screen at the end: .png (as --screenshot) or .scr\n"
    "  --no-border        --save-screen's PNG holds the 256 x 192 display alone\n";

namespace {

// "BANK:ADDR,VALUE" or "ADDR,VALUE" into the three texts PokeList::Add checks.
bool SplitPoke(const std::string& text, std::string& bank, std::string& address,
               std::string& value) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  std::string left = text.substr(0, comma);
  value = text.substr(comma + 1);
  const size_t colon = left.find(':');
  bank = colon == std::string::npos ? "" : left.substr(0, colon);
  address = colon == std::string::npos ? left : left.substr(colon + 1);
  return true;
}

// "FILE@ADDR" or "FILE@ADDR,LEN"; the last '@' splits, so a file name may hold one.
bool SplitBinary(const std::string& text, bool withLength, std::string& file, uint32_t& address,
                 uint32_t& length) {
  const size_t at = text.rfind('@');
  if (at == std::string::npos || at == 0) return false;
  file = text.substr(0, at);
  std::string rest = text.substr(at + 1);
  if (withLength) {
    const size_t comma = rest.find(',');
    if (comma == std::string::npos) return false;
    length = ParseNumber(rest.substr(comma + 1));
    rest.resize(comma);
    if (length > 0x10000) return false;
  }
  address = ParseNumber(rest);
  return address <= 0xFFFF;
}

void Report(MessageId message, const std::string& what) {
  std::fprintf(stderr, "orvo-run: %s: %s\n", what.c_str(), FormatMessage(message).c_str());
}

}  // namespace

int ParseToolsRunOption(const std::vector<std::string>& args, size_t& i, ToolsRunOptions& options,
                        std::string* error) {
  const std::string& a = args[i];
  if (a == "--no-border") {
    options.screenBorder = false;
    return 1;
  }
  if (a != "--poke" && a != "--pok" && a != "--pok-ask" && a != "--load-binary" &&
      a != "--save-binary" && a != "--save-screen")
    return 0;
  if (i + 1 >= args.size()) {
    *error = a + " needs a value";
    return -1;
  }
  const std::string& value = args[++i];
  std::string file, b, ad, v;
  uint32_t address = 0, length = 0;
  if (a == "--poke") {
    if (!SplitPoke(value, b, ad, v)) {
      *error = "--poke needs ADDR,VALUE (got '" + value + "')";
      return -1;
    }
    options.pokes.push_back(value);
  } else if (a == "--pok") {
    options.pokFiles.push_back(value);
  } else if (a == "--pok-ask") {
    options.pokAsk = ParseNumber(value);
    if (options.pokAsk > 255) {
      *error = "--pok-ask needs a value 0-255";
      return -1;
    }
  } else if (a == "--load-binary") {
    if (!SplitBinary(value, false, file, address, length)) {
      *error = "--load-binary needs FILE@ADDR with ADDR 0-65535 (got '" + value + "')";
      return -1;
    }
    options.binaryLoads.push_back(value);
  } else if (a == "--save-binary") {
    if (!SplitBinary(value, true, file, address, length)) {
      *error = "--save-binary needs FILE@ADDR,LEN (got '" + value + "')";
      return -1;
    }
    options.binarySaves.push_back(value);
  } else {
    options.screenPath = value;
  }
  return 1;
}

bool ApplyToolsAtStart(Emulator& emu, const ToolsRunOptions& options) {
  MachineState& m = emu.m;
  PokeList list;
  for (const std::string& poke : options.pokes) {
    std::string bank, address, value;
    SplitPoke(poke, bank, address, value);
    if (const MessageId bad = list.Add(address, value, bank); bad != kMsgNone) {
      Report(bad, "--poke " + poke);
      return false;
    }
  }
  for (const std::string& spec : options.pokFiles) {
    // FILE:NAME, unless the whole text names a file (a path may hold a colon).
    std::string path = spec, name;
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(path, bytes) != kMsgNone) {
      const size_t colon = spec.rfind(':');
      if (colon != std::string::npos) path = spec.substr(0, colon), name = spec.substr(colon + 1);
      if (const MessageId bad = ReadWholeFile(path, bytes); bad != kMsgNone) {
        Report(bad, path);
        return false;
      }
    }
    const PokParseResult pok = ParsePok(bytes);
    if (!pok.Ok()) {
      Report(kMsgPokFileLine, path + " line " + std::to_string(pok.errorLine));
      return false;
    }
    bool found = name.empty();
    for (const PokTrainer& trainer : pok.trainers) {
      if (!name.empty() && trainer.name != name) continue;
      list.AddTrainer(trainer, static_cast<uint8_t>(options.pokAsk));
      found = true;
    }
    if (!found) {
      std::fprintf(stderr, "orvo-run: %s has no trainer called '%s'\n", path.c_str(), name.c_str());
      return false;
    }
  }
  list.ApplyAll(m);
  for (const std::string& load : options.binaryLoads) {
    std::string file;
    uint32_t address = 0, length = 0;
    SplitBinary(load, false, file, address, length);
    if (const MessageId bad = LoadBinaryFile(m, file, address); bad != kMsgNone) {
      Report(bad, "--load-binary " + load);
      return false;
    }
  }
  return true;
}

bool ApplyToolsAtEnd(Emulator& emu, const ToolsRunOptions& options) {
  for (const std::string& save : options.binarySaves) {
    std::string file;
    uint32_t address = 0, length = 0;
    SplitBinary(save, true, file, address, length);
    if (const MessageId bad = SaveBinaryFile(emu.m, file, address, length); bad != kMsgNone) {
      Report(bad, "--save-binary " + save);
      return false;
    }
  }
  if (!options.screenPath.empty()) {
    if (std::string error;
        !SaveCurrentScreen(emu.m, options.screenPath, options.screenBorder, &error)) {
      std::fprintf(stderr, "orvo-run: %s\n", error.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace orvo
