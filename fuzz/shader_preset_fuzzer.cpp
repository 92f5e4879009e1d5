// The preset reader and the parameter reader on arbitrary bytes: no crash and no read outside the
// text. An accepted preset has 1 to 25 passes, each naming a file; the parameter table never
// passes its limit and every value stays in its range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "formats/shader_preset.h"

using namespace orvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ShaderPresetResult result = ParseShaderPreset(std::span<const uint8_t>(data, size));
  if (result.Ok()) {
    const auto& passes = result.preset.passes;
    if (passes.empty() || passes.size() > kMaxShaderPasses) std::abort();
    for (const ShaderPass& p : passes)
      if (p.path.empty() || !(p.scaleX > 0) || !(p.scaleY > 0)) std::abort();
  }
  std::vector<ShaderParameter> table;
  ReadShaderParameters(std::string_view(reinterpret_cast<const char*>(data), size), table);
  ReadShaderParameters(std::string_view(reinterpret_cast<const char*>(data), size), table);
  if (table.size() > kMaxShaderParameters) std::abort();
  ApplyParameterValues(result.preset, table);
  for (const ShaderParameter& p : table)
    if (p.value < p.minimum || p.value > p.maximum || p.initial < p.minimum) std::abort();
  return 0;
}
