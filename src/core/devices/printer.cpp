// The ZX Printer, at low byte 0xFB while it is attached (read and write on the 48K and 128K
// groups, write also on the +2A and +3). While it is on, the 48K group's floating bus is not seen.
#include "devices/printer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "devices/standard_devices.h"
#include "machine/machine_state.h"

namespace orvo {

namespace {

constexpr uint32_t kBlank = 255;
constexpr uint32_t kMaxRows = kPaperLines / 8;

uint8_t* Line(PrinterState& p, uint32_t line) {
  return p.paper.data() + line * kPaperWidth;
}

void EnsurePaper(PrinterState& p) {
  if (p.paper.empty()) p.paper.assign(static_cast<size_t>(kPaperLines) * kPaperWidth, kBlank);
}

// The stylus has left the paper: on to the next line. At the end of the paper the oldest text
// row is dropped so the newest lines are always kept, and the line number never passes it.
void FinishLine(PrinterState& p) {
  EnsurePaper(p);
  ++p.line;
  if (p.line % 8 == 0) {
    p.rows = std::min(p.rows + 1, kMaxRows);
    ++p.redraws;
  }
  if (p.line >= kPaperLines) {
    constexpr size_t kRowCells = 8 * kPaperWidth;
    std::memmove(p.paper.data(), p.paper.data() + kRowCells, p.paper.size() - kRowCells);
    std::fill(p.paper.end() - static_cast<std::ptrdiff_t>(kRowCells), p.paper.end(), kBlank);
    p.line -= 8;
  }
  std::fill_n(Line(p, p.line), kPaperWidth, kBlank);
}

// The ROM sets the stylus for a dot when it sees that dot's encoder pulse, so the stylus burns
// dot n between pulse n + 1 and pulse n + 2: the first period of a line burns nothing and the
// 257th burns dot 255. A dot is burnt if the stylus touched the paper at any time in its period.
void BurnDot(PrinterState& p) {
  if (!p.stylus || p.column < 1 || p.column > kPaperWidth) return;
  EnsurePaper(p);
  Line(p, p.line)[p.column - 1] = 0;
}

void UpdateScroll(PrinterState& p) {
  p.scroll = std::max<int32_t>(0, static_cast<int32_t>(p.rows) - 59);
}

uint8_t PortRead(MachineState& m, uint16_t, uint8_t) {
  return PrinterPortRead(m.printer);
}
void PortWrite(MachineState& m, uint16_t, uint8_t value) {
  PrinterPortWrite(m.printer, value);
}

bool PrinterFitted(const MachineState& m) {
  return m.printer.attached != 0;
}

void PrinterPorts(PortRowList& rows, const MachineState& m) {
  if (GroupOf(m.MachineModel) == ModelGroup::kPlus3) {
    rows.Add({.mask = 0x00FF, .value = 0xFB, .write = PortWrite});
  } else {
    rows.Add({.mask = 0x00FF, .value = 0xFB, .read = PortRead, .write = PortWrite});
    if (GroupOf(m.MachineModel) == ModelGroup::k48) rows.HoldFloatingBus();
  }
}

// A machine reset stops the motor and lifts the stylus; the paper stays where it is.
void PrinterReset(MachineState& m, bool) {
  PrinterState& p = m.printer;
  if (p.column != 0) FinishLine(p);
  p.motor = p.stylus = p.encoder = p.start = 0;
  p.column = 0;
  p.margin = 1;
}

// The snapshot block "ZXPR": a 16-bit flags word, bit 0 set while the printer is attached.
void PrinterSaveState(const MachineState& m, std::vector<uint8_t>& out) {
  out = {static_cast<uint8_t>(m.printer.attached ? 1 : 0), 0};
}
bool PrinterCheckState(std::span<const uint8_t> block) {
  return block.size() >= 2;
}
bool PrinterLoadState(MachineState& m, std::span<const uint8_t> block) {
  if (!PrinterCheckState(block)) return false;
  SetPrinterAttached(m, (block[0] & 1) != 0);
  return true;
}

}  // namespace

void SetPrinterAttached(MachineState& m, bool attached) {
  PrinterState& p = m.printer;
  if (attached) EnsurePaper(p);
  if ((p.attached != 0) == attached) return;
  p.attached = attached ? 1 : 0;
  if (!attached) p.motor = 0;
  RebuildPortDecoder(m);
}

void ResetPrinter(PrinterState& p) {
  p.motor = p.stylus = p.encoder = p.start = 0;
  p.column = 0;
  p.line = 0;
  p.dotTimer = 25;
  p.margin = 16;
  p.rows = 0;
  p.scroll = 0;
}

void PrinterPortWrite(PrinterState& p, uint8_t value) {
  if (value & 0x04) {
    p.motor = 0;
    if (p.column != 0) FinishLine(p);
    p.column = 0;
    p.margin = 1;
  } else {
    p.motor = 1;
  }
  p.stylus = (value & 0x80) ? 1 : 0;
  if (p.motor) BurnDot(p);
  p.encoder = 0;
  p.start = 0;
}

uint8_t PrinterPortRead(const PrinterState& p) {
  return static_cast<uint8_t>((p.start ? 0x80 : 0) | (p.encoder ? 0x01 : 0));
}

void AdvancePrinter(PrinterState& p, int32_t tstates) {
  if (!p.motor) return;
  UpdateScroll(p);
  p.dotTimer -= tstates;
  if (p.dotTimer > 0) return;
  p.dotTimer += kDotTStates;
  if (p.margin > 0) {
    --p.margin;
    p.encoder = p.start = 0;
    return;
  }
  p.encoder = p.start = 1;
  BurnDot(p);
  if (++p.column < kPaperWidth + 1) return;
  FinishLine(p);
  p.column = 0;
  p.margin = 1;
  p.encoder = p.start = 0;
}

void FeedPaper(PrinterState& p) {
  p.column = 0;
  FinishLine(p);
  UpdateScroll(p);
}

void ClearPaper(PrinterState& p) {
  if (!p.paper.empty()) std::fill(p.paper.begin(), p.paper.end(), kBlank);
  p.scroll = 0;
  p.column = 0;
  p.line = 0;
  p.rows = 0;
  ++p.redraws;
}

std::vector<uint32_t> PrintedPaperPixels(const PrinterState& p, uint32_t& height) {
  height = p.line + (p.column != 0 ? 1 : 0);
  std::vector<uint32_t> out(static_cast<size_t>(height) * kPaperWidth, 0xFFFFFF);
  for (uint32_t y = 0; y < height && !p.paper.empty(); ++y)
    for (uint32_t x = 0; x < kPaperWidth; ++x)
      if (p.paper[y * kPaperWidth + x] == 0) out[y * kPaperWidth + x] = 0x000000;
  return out;
}

std::vector<uint32_t> PaperViewPixels(const PrinterState& p) {
  const uint32_t paper = p.style == PaperStyle::Grey ? 0xC8C8C8 : 0xFFFFFF;
  const uint32_t dot = p.style == PaperStyle::Grey ? 0x000000 : 0x0000FF;
  std::vector<uint32_t> out(static_cast<size_t>(kPaperViewWidth) * kPaperViewHeight, 0xFFFFFF);
  if (p.paper.empty()) return out;
  // The rows from the scroll position, or all of them at the bottom while they fit.
  const uint32_t rows = std::min<uint32_t>(p.rows, kPaperViewRows);
  const uint32_t firstRow = p.rows > kPaperViewRows ? static_cast<uint32_t>(p.scroll) : 0;
  const int top = kPaperViewHeight - static_cast<int>(rows) * 8;
  for (uint32_t y = 0; y < rows * 8; ++y) {
    const uint32_t line = firstRow * 8 + y;
    if (line >= kPaperLines) break;
    uint32_t* row = out.data() + (top + static_cast<int>(y)) * kPaperViewWidth;
    for (uint32_t x = 0; x < kPaperWidth; ++x) {
      row[x + 8] = p.paper[line * kPaperWidth + x] == 0 ? dot : paper;
    }
  }
  return out;
}

const Device kPrinterDevice = {.name = "ZX Printer",
                               .Fitted = PrinterFitted,
                               .Ports = PrinterPorts,
                               .Reset = PrinterReset,
                               .stateId = "ZXPR",
                               .SaveState = PrinterSaveState,
                               .CheckState = PrinterCheckState,
                               .LoadState = PrinterLoadState};

std::string PrinterBufferText(const PrinterState& p, uint32_t firstLine, uint32_t count) {
  char text[160];
  std::snprintf(text, sizeof text,
                "motor %u  stylus %u  encoder %u  start %u  line %u  column %u  dot timer %d  "
                "margin %u  rows %u\n",
                p.motor, p.stylus, p.encoder, p.start, p.line, p.column, p.dotTimer, p.margin,
                p.rows);
  std::string out = text;
  if (p.paper.empty()) return out;
  const uint32_t end = std::min<uint64_t>(uint64_t{firstLine} + count, kPaperLines);
  for (uint32_t line = firstLine; line < end; ++line) {
    std::snprintf(text, sizeof text, "%5u ", line);
    out += text;
    const uint8_t* cells = p.paper.data() + static_cast<size_t>(line) * kPaperWidth;
    for (uint32_t x = 0; x < kPaperWidth; x += 8) {
      uint8_t byte = 0;
      for (uint32_t bit = 0; bit < 8; ++bit)
        if (cells[x + bit] == 0) byte |= static_cast<uint8_t>(0x80 >> bit);
      std::snprintf(text, sizeof text, " %02X", byte);
      out += text;
    }
    out += '\n';
  }
  return out;
}

}  // namespace orvo
