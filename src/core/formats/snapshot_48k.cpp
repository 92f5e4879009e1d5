#include "formats/snapshot_48k.h"

#include <algorithm>

#include "formats/byte_cursor.h"

namespace orvo {

std::vector<uint8_t> Ram48KImage(const SnapshotRecord& r) {
  std::vector<uint8_t> ram(kRam48Size, 0);
  for (size_t unit = 0; unit < 3; ++unit) {
    const std::vector<uint8_t>& page =
        r.ram[Bank48KAt(static_cast<uint16_t>(0x4000 + unit * kSnapshotPageSize))];
    std::copy_n(page.begin(), std::min(page.size(), kSnapshotPageSize),
                ram.begin() + static_cast<ptrdiff_t>(unit * kSnapshotPageSize));
  }
  return ram;
}

void SetRam48K(SnapshotRecord& r, std::span<const uint8_t> ram) {
  for (size_t unit = 0; unit < 3 && unit * kSnapshotPageSize < ram.size(); ++unit) {
    const auto part =
        ram.subspan(unit * kSnapshotPageSize,
                    std::min(kSnapshotPageSize, ram.size() - unit * kSnapshotPageSize));
    r.ram[Bank48KAt(static_cast<uint16_t>(0x4000 + unit * kSnapshotPageSize))].assign(part.begin(),
                                                                                      part.end());
  }
}

void ReadRegWords(std::span<const uint8_t> data, size_t at, SnapshotCpu& cpu,
                  std::initializer_list<SnapshotReg16> regs) {
  for (SnapshotReg16 reg : regs) {
    cpu.*reg = ReadLe16(data, at);
    at += 2;
  }
}

void WriteRegWords(uint8_t* out, const SnapshotCpu& cpu,
                   std::initializer_list<SnapshotReg16> regs) {
  for (SnapshotReg16 reg : regs) {
    PutLe16(out, cpu.*reg);
    out += 2;
  }
}

}  // namespace orvo
