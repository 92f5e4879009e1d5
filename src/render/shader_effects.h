#pragma once
// The six built-in effects ("opt_shader" 0 to 5) as pass lists, user presets read from disk, and
// setting a chain up with the fall-back a failing effect needs.
#include <string>

#include "formats/shader_preset.h"

namespace orvo::render {

class ShaderChain;

constexpr int kEffectCount = 6;
constexpr int kNoShader = 0;

// "No Shader", "One Pass", "Dotmask", "Scanlines", "Curved CRT", "Aperture".
const char* EffectLabel(int effect);
// The one-pass program that samples its input unchanged.
const char* PassThroughSource();
// The effect's pass list with its source; an effect out of range gives "No Shader".
ShaderPreset EffectPreset(int effect);

// Reads a .glslp preset and the shader files it names (relative to the preset's folder). False
// with `error` set when the preset or one of its files cannot be read.
bool LoadPresetFile(const std::string& path, ShaderPreset& preset, std::string* error);

// What SetUpChain ended with.
enum class ChainChoice { Requested, NoShader, None };

// Builds `chain` for `preset` in the current context. When that fails, writes the log and
// "GLSL: Error on loading the shaders, switch to \"No shader\"" to standard error, then builds
// "No Shader"; when even that fails the chain stays empty (the caller draws the plain picture).
// `log` receives the compiler's log of the failure.
ChainChoice SetUpChain(ShaderChain& chain, const ShaderPreset& preset, std::string* log);

}  // namespace orvo::render
