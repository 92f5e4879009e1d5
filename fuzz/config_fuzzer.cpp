// The orvo.ini reader on arbitrary bytes: no crash and no read outside the text. Whatever it
// reads, the clamped settings are inside their ranges, and reading the same bytes again over the
// same starting values gives the same result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "shell/config.h"
#include "shell/emulator.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  Settings first;
  Folders folders;
  WindowPlacements placements;
  const ConfigParse a = ParseConfigText(bytes, first, folders, placements);
  if (a.complete) ClampSettings(first);
  if (a.complete &&
      (first.EmulationSpeed < 2.0f || first.EmulationSpeed > 1000.0f || first.DrawSize < 1 ||
       first.DrawSize > 4 || first.SpoolSpeed < 5 || first.SpoolSpeed > 30))
    std::abort();
  Settings second;
  Folders folders2;
  WindowPlacements placements2;
  const ConfigParse b = ParseConfigText(bytes, second, folders2, placements2);
  if (b.complete) ClampSettings(second);
  if (a.complete != b.complete || a.strayLines != b.strayLines ||
      first.ModelType != second.ModelType || !(placements == placements2) ||
      folders.ConfiguredSnapDir != folders2.ConfiguredSnapDir)
    std::abort();
  return 0;
}
