// The 48K snapshot formats (SEM, SNX, SP, SNP, SIT) and ZXS on arbitrary bytes: every parser gets
// every input (each checks its own signature or size). A record that is accepted is loaded into a
// machine; for the formats Orvo writes, that machine written and read again must be accepted and
// give the same machine.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/snapshot_48k.h"
#include "fuzz_machine.h"
#include "shell/snapshot_load.h"

using namespace orvo;

namespace {

using Parse = FormatStatus (*)(std::span<const uint8_t>, SnapshotRecord&);
using Write = FormatStatus (*)(const SnapshotRecord&, std::vector<uint8_t>&);

FormatStatus ParseZxs48(std::span<const uint8_t> d, SnapshotRecord& r) {
  return ParseZXS(d, r, SnapshotModel::k48K);
}

struct Format {
  Parse parse;
  Write write;  // null: read only
};

constexpr Format kFormats[] = {{ParseSEM, WriteSEM}, {ParseSNX, WriteSNX}, {ParseSP, WriteSP},
                               {ParseSNP, WriteSNP}, {ParseSIT, WriteSIT}, {ParseZxs48, nullptr}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::QuietHost host;
  static std::unique_ptr<Emulator> loaded = fuzz::MakeEmulator(host);
  static std::unique_ptr<Emulator> reloaded = fuzz::MakeEmulator(host);
  for (const Format& f : kFormats) {
    SnapshotRecord record;
    if (!f.parse(std::span<const uint8_t>(data, size), record).Ok()) continue;
    LoadSnapshotRecord(*loaded, record);
    if (!f.write) continue;
    const SnapshotRecord captured = CaptureSnapshot(loaded->m);
    std::vector<uint8_t> file;
    if (!f.write(captured, file).Ok()) continue;  // a 128K-family ZXS model, say
    SnapshotRecord again;
    if (!f.parse(file, again).Ok()) std::abort();
    LoadSnapshotRecord(*reloaded, again);
  }
  return 0;
}
