// Shader parameter lines and .glslp presets: what is taken, what is passed over, and the limits.
#include "formats/shader_preset.h"

#include <gtest/gtest.h>

#include <string>

namespace orvo {
namespace {

ShaderPresetResult Parse(const std::string& text) {
  return ParseShaderPreset(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(ShaderParameters, ReadsWellFormedLinesAndPassesOverBrokenOnes) {
  struct Case {
    const char* line;
    bool taken;
    float initial, minimum, maximum, step;
  } cases[] = {
      {"#pragma parameter A \"Gain\" 0.5 0.0 1.0 0.05", true, 0.5f, 0.f, 1.f, 0.05f},
      {"  #pragma parameter A \"Gain\" 2 0 1 0.1\r", true, 1.f, 0.f, 1.f, 0.1f},  // clamped, CR
      {"#pragma parameter A \"Gain\" 0.5 0 1", true, 0.5f, 0.f, 1.f, 0.f},        // no step
      {"#pragma parameter A \"Gain 0.5 0 1 0.1", false, 0, 0, 0, 0},              // unclosed quote
      {"#pragma parameter A \"Gain\" 0.5 0", false, 0, 0, 0, 0},                  // two numbers
      {"#pragma parameter A \"Gain\" 0.5 1 0 0.1", false, 0, 0, 0, 0},   // minimum above maximum
      {"#pragma parameters A \"Gain\" 0.5 0 1 0.1", false, 0, 0, 0, 0},  // another pragma
  };
  for (const Case& c : cases) {
    std::vector<ShaderParameter> table;
    const size_t skipped = ReadShaderParameters(c.line, table);
    ASSERT_EQ(table.size(), c.taken ? 1u : 0u) << c.line;
    if (!c.taken) {
      // Only lines that look like a parameter count as passed over.
      const bool otherPragma = std::string(c.line).find("parameters") != std::string::npos;
      EXPECT_EQ(skipped, otherPragma ? 0u : 1u) << c.line;
      continue;
    }
    const ShaderParameter& p = table[0];
    EXPECT_EQ(p.name, "A");
    EXPECT_FLOAT_EQ(p.initial, c.initial) << c.line;
    EXPECT_FLOAT_EQ(p.value, c.initial) << c.line;
    EXPECT_FLOAT_EQ(p.minimum, c.minimum) << c.line;
    EXPECT_FLOAT_EQ(p.maximum, c.maximum) << c.line;
    EXPECT_FLOAT_EQ(p.step, c.step) << c.line;
  }
}

TEST(ShaderParameters, KeepsEachNameOnceAndStopsAtTheLimit) {
  std::string source = "#pragma parameter SAME \"First\" 1 0 2 1\n";
  source += "#pragma parameter SAME \"Second\" 0 0 2 1\n";
  for (int i = 0; i < 200; ++i)
    source += "#pragma parameter P" + std::to_string(i) + " \"p\" 0 0 1 0.1\n";
  std::vector<ShaderParameter> table;
  const size_t skipped = ReadShaderParameters(source, table);
  ASSERT_EQ(table.size(), kMaxShaderParameters);
  EXPECT_EQ(table[0].description, "First");
  EXPECT_EQ(skipped, 200u - (kMaxShaderParameters - 1));
  // A second pass declaring the same parameters adds nothing.
  EXPECT_EQ(ReadShaderParameters(source, table), 200u - (kMaxShaderParameters - 1));
  EXPECT_EQ(table.size(), kMaxShaderParameters);
}

// (A preset of two passes with an alias, scales and a parameter draws through orvo-run: the
// shader run tests.)
TEST(ShaderPresets, ReadsPassesScalesFiltersAliasesAndOverrides) {
  const ShaderPresetResult r = Parse(
      "# a comment\n"
      "shaders = \"3\"\r\n"
      "shader0 = \"passes/first pass.glsl\"  # trailing comment\n"
      "filter_linear0 = true\n"
      "shader1 = second.glsl\n"
      "scale_type_x1 = viewport\n"
      "scale_type_y1 = absolute\n"
      "scale_x1 = 0.5\n"
      "scale_y1 = 240\n"
      "shader2 = third.glsl\n"
      "shader7 = ignored.glsl\n"
      "parameters = \"GAMMA; WEIGHT;MISSING\"\n"
      "GAMMA = 2.4\n"
      "WEIGHT = \"0.3\"\n");
  ASSERT_TRUE(r.Ok()) << r.error << " line " << r.errorLine;
  const auto& passes = r.preset.passes;
  ASSERT_EQ(passes.size(), 3u);
  EXPECT_EQ(passes[0].path, "passes/first pass.glsl");
  EXPECT_TRUE(passes[0].filterLinear);
  EXPECT_EQ(passes[1].scaleTypeX, ShaderScaleType::Viewport);
  EXPECT_EQ(passes[1].scaleTypeY, ShaderScaleType::Absolute);
  EXPECT_FLOAT_EQ(passes[1].scaleX, 0.5f);
  EXPECT_FLOAT_EQ(passes[1].scaleY, 240.f);
  EXPECT_FALSE(passes[2].scaleGiven);
  EXPECT_FALSE(passes[2].filterLinear);
  ASSERT_EQ(r.preset.parameterValues.size(), 2u);
  EXPECT_EQ(r.preset.parameterValues[1].first, "WEIGHT");

  // The overrides reach the table clamped into each parameter's range.
  std::vector<ShaderParameter> table;
  ReadShaderParameters("#pragma parameter GAMMA \"g\" 2.2 1 2.3 0.1\n", table);
  ApplyParameterValues(r.preset, table);
  EXPECT_FLOAT_EQ(table[0].value, 2.3f);
}

TEST(ShaderPresets, RefusesWhatCannotBeAChain) {
  const struct {
    const char* text;
    uint32_t line;  // 0: refused as a whole
  } cases[] = {
      {"shaders = 0\n", 0},
      {"shaders = 26\nshader0 = a.glsl\n", 0},
      {"shaders = 2\nshader0 = a.glsl\n", 0},  // no file for pass 1
      {"shaders = 1\nshader0 = a.glsl\nscale_type0 = huge\n", 0},
      {"shaders = 1\nshader0 = a.glsl\nparameters = A\nA = x\n", 0},
      {"shaders = 1\nshader0 = a.glsl\njust words\n", 3},
      {"shaders = 1\n= 2\n", 2},
  };
  for (const auto& c : cases) {
    const ShaderPresetResult r = Parse(c.text);
    EXPECT_FALSE(r.Ok()) << c.text;
    EXPECT_EQ(r.errorLine, c.line) << c.text;
  }
  // Twenty-five passes is the most a chain holds.
  std::string most = "shaders = 25\n";
  for (int i = 0; i < 25; ++i) most += "shader" + std::to_string(i) + " = p.glsl\n";
  EXPECT_TRUE(Parse(most).Ok());
}

TEST(ShaderParameterValues, RoundTripThroughTheirTextAndSkipJunk) {
  const std::vector<std::pair<std::string, float>> values = {{"GAMMA", 2.4f}, {"W", -0.125f}};
  const std::string text = FormatParameterValues(values);
  EXPECT_EQ(text, "GAMMA=2.4;W=-0.125");
  EXPECT_EQ(ParseParameterValues(text), values);
  // Names that would break the line are not written; junk pieces are passed over.
  EXPECT_EQ(FormatParameterValues({{"A;B", 1.f}, {"", 2.f}}), "");
  EXPECT_EQ(ParseParameterValues("=1;X;Y=abc;Z=3;;"),
            (std::vector<std::pair<std::string, float>>{{"Z", 3.f}}));
}

}  // namespace
}  // namespace orvo
