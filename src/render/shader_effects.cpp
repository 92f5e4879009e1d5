#include "render/shader_effects.h"

#include <cstdio>
#include <filesystem>

#include "formats/file_io.h"
#include "orvo_shaders.h"
#include "render/shader_chain.h"

namespace orvo::render {

namespace {

struct Effect {
  const char* label;
  const char* source;
};

constexpr Effect kEffects[kEffectCount] = {
    {"No Shader", kShader_no_shader},   {"One Pass", kShader_one_pass},
    {"Dotmask", kShader_dotmask},       {"Scanlines", kShader_scanlines},
    {"Curved CRT", kShader_curved_crt}, {"Aperture", kShader_aperture},
};

// Presets and shader programs are text of a few kilobytes; a folder, a FIFO or a file of many
// megabytes in their place is refused.
constexpr uint64_t kLargestShaderText = 4u << 20;

bool ReadFile(const std::filesystem::path& path, std::string& text) {
  return ReadRegularText(path.string(), text, kLargestShaderText) == ReadFailure::None;
}

}  // namespace

const char* EffectLabel(int effect) {
  return effect >= 0 && effect < kEffectCount ? kEffects[effect].label : kEffects[0].label;
}

const char* PassThroughSource() {
  return kShader_no_shader;
}

ShaderPreset EffectPreset(int effect) {
  if (effect < 0 || effect >= kEffectCount) effect = kNoShader;
  ShaderPreset preset;
  ShaderPass pass;
  pass.source = kEffects[effect].source;
  // The effects draw straight at the output's size; the programs sample their input texel by
  // texel themselves, so the texture filter stays nearest.
  pass.scaleTypeX = pass.scaleTypeY = ShaderScaleType::Viewport;
  // The composite signal is a property of the source lines: "One Pass" works at the source's
  // size (a ninth of the pixels at 300%) and the pass-through pass scales it up.
  if (effect == 1) pass.scaleTypeX = pass.scaleTypeY = ShaderScaleType::Source;
  pass.scaleGiven = true;
  preset.passes.push_back(std::move(pass));
  return preset;
}

bool LoadPresetFile(const std::string& path, ShaderPreset& preset, std::string* error) {
  std::string text;
  if (!ReadFile(path, text)) {
    if (error != nullptr) *error = "Cannot read the shader preset " + path;
    return false;
  }
  ShaderPresetResult result = ParseShaderPreset(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  if (!result.Ok()) {
    if (error != nullptr)
      *error = path + (result.errorLine != 0 ? ", line " + std::to_string(result.errorLine) : "") +
               ": " + (result.error.empty() ? "not a \"key = value\" line" : result.error);
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  for (ShaderPass& pass : result.preset.passes) {
    const std::filesystem::path file = folder / pass.path;
    if (!ReadFile(file, pass.source)) {
      if (error != nullptr) *error = "Cannot read the shader " + file.string();
      return false;
    }
  }
  preset = std::move(result.preset);
  return true;
}

ChainChoice SetUpChain(ShaderChain& chain, const ShaderPreset& preset, std::string* log) {
  std::string failure;
  if (chain.Build(preset, &failure)) return ChainChoice::Requested;
  std::fputs(failure.c_str(), stderr);
  std::fputs("GLSL: Error on loading the shaders, switch to \"No shader\"\n", stderr);
  if (log != nullptr) *log = failure;
  std::string fallback;
  if (chain.Build(EffectPreset(kNoShader), &fallback)) return ChainChoice::NoShader;
  std::fputs(fallback.c_str(), stderr);
  if (log != nullptr) *log += fallback;
  return ChainChoice::None;
}

}  // namespace orvo::render
