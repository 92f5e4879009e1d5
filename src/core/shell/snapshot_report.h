#pragma once
// The Snapshot Analyser's report: what a loaded file holds, read from its bytes without touching
// the machine (format and version, model, registers, paging, the RAM pages present, device
// blocks; for a tape its blocks).
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvo {

// Rows of (field, value), in the order the window lists them.
using ReportRows = std::vector<std::pair<std::string, std::string>>;

ReportRows AnalyseFile(std::string_view name, std::span<const uint8_t> bytes);

}  // namespace orvo
