#pragma once
// Shader pass lists and their parameters, in the text forms the public GLSL shader collections
// use.
//
// A shader source declares its tunable values with lines such as
//
//   #pragma parameter SCANLINE_WEIGHT "Scanline weight" 0.3 0.0 1.0 0.05
//
// (name, description in double quotes, then initial, minimum, maximum and step). The program
// compiled with PARAMETER_UNIFORM defined reads each as a uniform float of that name.
//
// A preset (".glslp") is a list of "key = value" lines naming the passes and how each is scaled:
//
//   shaders = 2
//   shader0 = crt.glsl            path relative to the preset file
//   filter_linear0 = true
//   scale_type0 = source          source | viewport | absolute (or scale_type_x0/scale_type_y0)
//   scale0 = 3.0                  or scale_x0/scale_y0
//   alias0 = CRTPASS              later passes see CRTPASS_ALIAS defined
//   parameters = "GAMMA;WEIGHT"   values that override the sources' initial values:
//   GAMMA = 2.4
//
// Values may be quoted; '#' starts a comment.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

constexpr size_t kMaxShaderPasses = 25;
constexpr size_t kMaxShaderParameters = 128;

struct ShaderParameter {
  std::string name;
  std::string description;
  float initial = 0;
  float minimum = 0;
  float maximum = 0;
  float step = 0;  // 0: any value between minimum and maximum
  float value = 0;
};

// How one axis of a pass's output is sized.
enum class ShaderScaleType : uint8_t {
  Source,    // the pass's input picture size times the factor
  Viewport,  // the output area's size times the factor
  Absolute,  // the factor is the size in pixels
};

struct ShaderPass {
  std::string source;  // the GLSL text (one file holding the vertex and fragment programs)
  std::string path;    // a preset's pass: the file it names, as written there
  ShaderScaleType scaleTypeX = ShaderScaleType::Source;
  ShaderScaleType scaleTypeY = ShaderScaleType::Source;
  float scaleX = 1;
  float scaleY = 1;
  bool scaleGiven = false;  // false: the preset left this pass's size to the chain
  bool filterLinear = false;
  std::string alias;
};

struct ShaderPreset {
  std::vector<ShaderPass> passes;
  // Overrides named by the preset's "parameters" line, with their values.
  std::vector<std::pair<std::string, float>> parameterValues;
};

struct ShaderPresetResult {
  ShaderPreset preset;
  uint32_t errorLine = 0;  // 0: read whole; otherwise the first line that could not be read
  std::string error;       // what was wrong, for the message
  bool Ok() const { return errorLine == 0 && error.empty(); }
};

// Reads a preset's text. Sources are not loaded: each pass's `path` names its file.
ShaderPresetResult ParseShaderPreset(std::span<const uint8_t> data);

// Adds the "#pragma parameter" lines of `source` to `table`: a name already there is kept once,
// malformed lines (no name, no quoted description, fewer than three numbers, minimum above
// maximum) are passed over, and the table stops growing at kMaxShaderParameters. Returns how many
// lines were passed over.
size_t ReadShaderParameters(std::string_view source, std::vector<ShaderParameter>& table);

// Applies a preset's overrides to the table, each clamped into its parameter's range.
void ApplyParameterValues(const ShaderPreset& preset, std::vector<ShaderParameter>& table);

// Keeps `value` in the parameter's range.
float ClampParameter(const ShaderParameter& p, float value);

// Parameter values as one line of text, "NAME=value;NAME=value", and back. Reading passes over
// pieces that are not a name, "=" and a number.
std::string FormatParameterValues(const std::vector<std::pair<std::string, float>>& values);
std::vector<std::pair<std::string, float>> ParseParameterValues(std::string_view text);

}  // namespace orvo
