#include "shell/snapshot_report.h"

#include <cstdio>

#include "formats/sna_format.h"
#include "formats/snapshot_record.h"
#include "formats/tape_image.h"
#include "formats/tape_parsers.h"
#include "formats/z80_format.h"
#include "shell/extension_table.h"

namespace orvo {

namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

const char* ModelName(SnapshotModel model) {
  switch (model) {
    case SnapshotModel::k16K: return "16K";
    case SnapshotModel::k48K: return "48K";
    case SnapshotModel::k128K: return "128K";
    case SnapshotModel::kPlus2: return "+2";
    case SnapshotModel::kPlus2A: return "+2A";
    case SnapshotModel::kPlus3: return "+3";
    case SnapshotModel::kCustom: return "Custom";
    case SnapshotModel::kPentagon: return "Pentagon 128";
  }
  return "?";
}

void ReportSnapshot(const SnapshotRecord& r, ReportRows& rows) {
  rows.push_back({"Format", r.label});
  rows.push_back({"Model", ModelName(r.model)});
  const SnapshotCpu& c = r.cpu;
  const std::pair<const char*, uint16_t> regs[] = {
      {"PC", c.PC}, {"SP", c.SP}, {"AF", c.AF},   {"BC", c.BC},   {"DE", c.DE},   {"HL", c.HL},
      {"IX", c.IX}, {"IY", c.IY}, {"AF'", c.AF_}, {"BC'", c.BC_}, {"DE'", c.DE_}, {"HL'", c.HL_},
  };
  for (const auto& [name, value] : regs) rows.push_back({name, Hex(value, 4)});
  rows.push_back({"I", Hex(c.I, 2)});
  rows.push_back({"R", Hex(c.VisibleR(), 2)});
  rows.push_back({"Interrupts", std::string("IM ") + std::to_string(c.IM) +
                                    (c.IFF1 ? ", enabled" : ", disabled")});
  rows.push_back({"Border", std::to_string(r.border)});
  if (IsSnapshot128K(r.model)) {
    rows.push_back({"Port 7FFD", Hex(r.last7FFD, 2) + " (RAM " + std::to_string(r.last7FFD & 7) +
                                     " at C000, screen " + (r.last7FFD & 8 ? "7" : "5") + ", ROM " +
                                     std::to_string(r.last7FFD >> 4 & 1) +
                                     (r.last7FFD & 0x20 ? ", locked)" : ")")});
  }
  if (r.model == SnapshotModel::kPlus2A || r.model == SnapshotModel::kPlus3)
    rows.push_back({"Port 1FFD", Hex(r.last1FFD, 2)});
  std::string pages;
  for (size_t bank = 0; bank < r.ram.size(); ++bank) {
    if (r.ram[bank].empty()) continue;
    if (!pages.empty()) pages += ", ";
    pages += std::to_string(bank);
    if (r.ram[bank].size() < 16384) pages += " (part)";
  }
  rows.push_back({"RAM pages", pages.empty() ? "none" : pages});
  if (r.ay) rows.push_back({"AY", "registers present"});
  for (const SnapshotBlock& b : r.blocks) {
    std::string id(b.id.begin(), b.id.end());
    while (!id.empty() && id.back() == '\0') id.pop_back();
    rows.push_back({"Block " + id, std::to_string(b.body.size()) + " bytes"});
  }
}

}  // namespace

ReportRows AnalyseFile(std::string_view name, std::span<const uint8_t> bytes) {
  ReportRows rows;
  rows.push_back({"File", std::string(name)});
  rows.push_back({"Size", std::to_string(bytes.size()) + " bytes"});
  const FileKind kind = MatchExtension(name);
  if (kind == FileKind::Z80 || kind == FileKind::Sna) {
    SnapshotRecord record;
    const FormatStatus status =
        kind == FileKind::Z80 ? ParseZ80(bytes, record) : ParseSNA(bytes, record);
    if (!status.Ok()) {
      rows.push_back({"Format", "not a readable snapshot"});
      return rows;
    }
    if (record.label.empty()) record.label = kind == FileKind::Z80 ? "Z80 File" : "SNA File";
    ReportSnapshot(record, rows);
  } else if (kind == FileKind::Tap || kind == FileKind::Tzx) {
    TapeImage tape;
    const FormatStatus status =
        kind == FileKind::Tap ? ParseTAP(tape, bytes) : ParseTZX(tape, bytes);
    rows.push_back({"Format", kind == FileKind::Tap ? "TAP tape" : "TZX tape"});
    if (!status.Ok())
      rows.push_back({"Blocks", "not a readable tape"});
    else
      rows.push_back({"Blocks", std::to_string(tape.blocks.size())});
  } else if (kind == FileKind::Scr) {
    rows.push_back({"Format", bytes.size() == 6976 ? "Screen with ULAplus palette" : "Screen"});
  } else {
    rows.push_back({"Format", "not analysed"});
  }
  return rows;
}

}  // namespace orvo
