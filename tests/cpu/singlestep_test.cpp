// SingleStepTests Z80 v1: 100 cases per opcode, 160,400 in all. Each case loads a register and
// memory state, runs one instruction and compares every register (MEMPTR, Q, the EI shadow and the
// LD A,I/R flag included), the memory, the port traffic and the T-state count.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "cpu/z80.h"
#include "cpu/z80_test_bus.h"
#include "support/test_paths.h"

namespace orvo::test {
namespace {

// The suite's files as far as they use JSON: objects, arrays, integers, plain strings and null.
struct JsonValue {
  int64_t number = 0;
  std::string text;
  std::vector<std::string> keys;  // an object's member names, beside their values in `items`
  std::vector<JsonValue> items;
  const JsonValue* Find(std::string_view key) const {
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key) return &items[i];
    return nullptr;
  }
  int64_t Int(std::string_view key) const { return Find(key) ? Find(key)->number : 0; }
};

// Parses the value at `p` on; false where the text is malformed.
bool ParseJson(std::string_view s, size_t& p, JsonValue& v) {
  const auto next = [&] {
    while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p]))) ++p;
    return p < s.size() ? s[p] : '\0';
  };
  const char open = next();
  if (open == '"') {
    const size_t end = s.find('"', p + 1);
    if (end == std::string_view::npos) return false;
    v.text = s.substr(p + 1, end - p - 1);
    p = end + 1;
    return true;
  }
  if (open == '{' || open == '[') {
    const char close = open == '{' ? '}' : ']';
    ++p;
    if (next() == close) return ++p, true;
    for (;;) {
      if (open == '{') {
        JsonValue key;
        if (next() != '"' || !ParseJson(s, p, key) || next() != ':') return false;
        ++p;
        v.keys.push_back(key.text);
      }
      if (!ParseJson(s, p, v.items.emplace_back())) return false;
      const char after = next();
      ++p;
      if (after == close) return true;
      if (after != ',') return false;
    }
  }
  if (s.substr(p, 4) == "null") return p += 4, true;
  const auto [end, error] = std::from_chars(s.data() + p, s.data() + s.size(), v.number);
  p = static_cast<size_t>(end - s.data());
  return error == std::errc();
}

// Reads a gzip-compressed file whole; false on a missing, unreadable or truncated file.
bool ReadGzipFile(const std::string& path, std::string& out) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[65536];
  int n, code = Z_OK;
  while ((n = gzread(file, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  gzerror(file, &code);  // a truncated stream reads as a plain end of file
  gzclose(file);
  return n == 0 && (code == Z_OK || code == Z_STREAM_END);
}

// A case's port traffic: the reads answered in order, and what the CPU sent.
struct PortTraffic {
  std::vector<std::pair<uint16_t, uint8_t>> reads, writes;
  size_t nextRead = 0;
};

// Calls f(key, register) for every register a case records except R, whose bit 7 is kept apart.
template <class F>
void ForEachRegister(CpuState& c, F f) {
  f("pc", c.PC), f("sp", c.SP), f("a", c.AF.b.h), f("f", c.AF.b.l), f("b", c.BC.b.h);
  f("c", c.BC.b.l), f("d", c.DE.b.h), f("e", c.DE.b.l), f("h", c.HL.b.h), f("l", c.HL.b.l);
  f("i", c.IR.b.h), f("ei", c.EiDelay), f("wz", c.MEMPTR), f("ix", c.IX.w), f("iy", c.IY.w);
  f("af_", c.AF_.w), f("bc_", c.BC_.w), f("de_", c.DE_.w), f("hl_", c.HL_.w), f("im", c.IM);
  f("p", c.LdAIR), f("q", c.Q), f("iff1", c.IFF1), f("iff2", c.IFF2);
}

void LoadState(FlatBus& bus, const JsonValue& s) {
  CpuState& c = bus.cpu;
  c = CpuState{};
  ForEachRegister(c, [&](const char* key, auto& reg) {
    reg = static_cast<std::remove_reference_t<decltype(reg)>>(s.Int(key));
  });
  c.IR.b.l = static_cast<uint8_t>(s.Int("r"));
  c.R7 = static_cast<uint8_t>(s.Int("r") & 0x80);
}

// Compares the core's state with `want`; returns a description of every difference.
std::string CompareState(const FlatBus& bus, const JsonValue& want) {
  CpuState c = bus.cpu;
  std::ostringstream out;
  auto check = [&](const char* key, int64_t got) {
    if (want.Find(key) && want.Int(key) != got)
      out << " " << key << "=" << got << " (want " << want.Int(key) << ")";
  };
  ForEachRegister(c, [&](const char* key, auto& reg) { check(key, reg); });
  check("r", (c.IR.b.l & 0x7F) | c.R7);
  if (const JsonValue* ram = want.Find("ram")) {
    for (const JsonValue& cell : ram->items) {
      const auto address = static_cast<uint16_t>(cell.items[0].number);
      if (const auto value = static_cast<uint8_t>(cell.items[1].number); bus.mem[address] != value)
        out << " ram[" << address << "]=" << int(bus.mem[address]) << " (want " << int(value)
            << ")";
    }
  }
  return out.str();
}

// Runs every case of one file; returns the number that passed and appends failures to `report`.
int RunFile(const std::filesystem::path& file, int& cases, std::string& report, int& reported) {
  std::string text;
  if (!ReadGzipFile(file.string(), text)) {
    report += "cannot read " + file.string() + "\n";
    return 0;
  }
  JsonValue root;
  size_t at = 0;
  if (!ParseJson(text, at, root)) {
    report += file.string() + ": malformed at offset " + std::to_string(at) + "\n";
    return 0;
  }
  FlatBus bus;
  PortTraffic ports;
  bus.user = &ports;
  bus.portIn = [](FlatBus& b, uint16_t) -> uint8_t {
    auto& t = *static_cast<PortTraffic*>(b.user);
    return t.nextRead < t.reads.size() ? t.reads[t.nextRead++].second : 0xFF;
  };
  bus.portOut = [](FlatBus& b, uint16_t port, uint8_t value) {
    static_cast<PortTraffic*>(b.user)->writes.push_back({port, value});
  };
  int passed = 0;
  for (const JsonValue& test : root.items) {
    ++cases;
    const JsonValue* initial = test.Find("initial");
    const JsonValue* final = test.Find("final");
    const JsonValue* cycles = test.Find("cycles");
    ports = PortTraffic{};
    std::vector<std::pair<uint16_t, uint8_t>> expectedWrites;
    if (const JsonValue* list = test.Find("ports")) {
      for (const JsonValue& p : list->items) {
        const auto port = static_cast<uint16_t>(p.items[0].number);
        const auto value = static_cast<uint8_t>(p.items[1].number);
        (p.items[2].text == "r" ? ports.reads : expectedWrites).push_back({port, value});
      }
    }
    LoadState(bus, *initial);
    for (const JsonValue& cell : initial->Find("ram")->items)
      bus.mem[cell.items[0].number & 0xFFFF] = static_cast<uint8_t>(cell.items[1].number);
    bus.FrameTState = 0;
    bus.Step();

    std::string diff = CompareState(bus, *final);
    if (bus.FrameTState != cycles->items.size())
      diff += " T=" + std::to_string(bus.FrameTState) + " (want " +
              std::to_string(cycles->items.size()) + ")";
    if (ports.writes != expectedWrites) diff += " port writes differ";
    if (ports.nextRead < ports.reads.size()) diff += " port read missing";
    // Clear the memory the case touched for the next one.
    for (const JsonValue* state : {initial, final})
      for (const JsonValue& cell : state->Find("ram")->items)
        bus.mem[cell.items[0].number & 0xFFFF] = 0;
    if (std::any_of(bus.mem.begin(), bus.mem.end(), [](uint8_t b) { return b != 0; })) {
      diff += " wrote outside the listed memory";
      std::fill(bus.mem.begin(), bus.mem.end(), 0);
    }
    if (diff.empty()) {
      ++passed;
    } else if (reported++ < 400) {
      report += test.Find("name")->text + ":" + diff + "\n";
    }
  }
  return passed;
}

TEST(SingleStepTests, EveryCaseOfEveryOpcodeMatches) {
  const std::filesystem::path path = SharedFile("testdata/cpu/singlestep");
  ORVO_REQUIRE_FILE(path);
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    if (entry.path().string().ends_with(".json.gz")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 1604u);
  int cases = 0, passed = 0, reported = 0;
  std::string report;
  for (const auto& file : files) passed += RunFile(file, cases, report, reported);
  EXPECT_EQ(cases, 160400);
  EXPECT_EQ(passed, cases) << report;
}

}  // namespace
}  // namespace orvo::test
