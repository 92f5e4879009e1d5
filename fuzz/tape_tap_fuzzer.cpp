// ParseTAP on arbitrary bytes: no crash and no read outside the file; the blocks tile the file.
// Each block is then offered to the ROM loader trap as the ROM would ask for it, which stores
// through the machine's write map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "formats/tape_parsers.h"
#include "fuzz_machine.h"
#include "tape/tape_player.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::unique_ptr<MachineState> m = std::make_unique<MachineState>();
  m->tape.image = std::make_unique<TapeImage>();
  const FormatStatus status = ParseTAP(*m->tape.image, std::span<const uint8_t>(data, size));
  const TapeImage& tape = *m->tape.image;

  // A complete parse covers the file exactly: two length bytes before every block.
  size_t covered = 0;
  for (size_t i = 0; i < tape.blocks.size(); ++i) {
    const TapeBlock& b = *tape.blocks[i];
    if (b.index != i || b.id != kBlockStandard) std::abort();
    if (b.data && b.data != tape.bytes.data() + covered + 2) std::abort();
    covered += 2 + b.length;
  }
  if (status.Ok() && covered != size) std::abort();
  if (covered > size) std::abort();

  // Ask for each block by its own flag and length, at an address taken from the file.
  m->settings.TapeTraps = 1;
  EnterTapeBlock(*m, tape.first);
  for (size_t k = 0; k < tape.blocks.size() + 1; ++k) {
    const TapeBlock* b = m->tape.image->current;
    CpuState& c = m->cpu;
    c.AF_.b.h = b && b->length ? b->data[0] : 0;
    c.AF_.b.l = static_cast<uint8_t>(k & 1);  // LOAD and VERIFY in turn
    c.DE.w = static_cast<uint16_t>(b && b->length >= 2 ? b->length - 2 : k);
    c.IX.w = static_cast<uint16_t>(size > 1 ? data[k % size] << 8 | data[(k + 1) % size] : 0);
    if (!TapeTrap(*m)) break;
    if (c.PC != 0x05E2) std::abort();
  }
  ClearTapePlayer(*m);
  m->tape.image.reset();
  return 0;
}
