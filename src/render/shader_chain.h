#pragma once
// The shader pass chain: the 352 x 296 picture drawn through a list of GLSL passes into a target
// framebuffer, in whatever OpenGL context is current (the window's, or an offscreen one).
//
// Each pass is one source holding both programs: it is compiled once with VERTEX and once with
// FRAGMENT defined, both with PARAMETER_UNIFORM (so "#pragma parameter" values are uniform floats
// of the same name) and NAME_ALIAS for every alias of an earlier pass. What a pass is given, each
// where the program declares it:
//
//   attributes  VertexCoord (x, y in 0..1), TexCoord (its input's picture area), COLOR,
//               OrigTexCoord (the source picture's area)
//   MVPMatrix   the projection; vertex (0, 0) is the picture's top-left corner
//   Texture     the pass's input, InputSize its picture size (352 x 296 for the first pass),
//               TextureSize the texture's size (the first pass: the scale times 352 x 296),
//               OutputSize the size the pass draws
//   FrameCount, FrameDirection   frames drawn so far; 1 (forwards)
//   OrigTexture, OrigInputSize, OrigTextureSize      the source picture
//   PrevTexture, Prev1Texture..Prev6Texture          the source pictures of earlier frames
//   PassNTexture, PassNInputSize, PassNTextureSize   pass N's output (N from 1)
//   PassPrevNTexture...                              the output N passes back (1: the input)
//   ALIASTexture, ALIASInputSize, ALIASTextureSize   an aliased pass's output
#include <QOpenGLFunctions>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/shader_preset.h"

namespace orvo::render {

constexpr int kVideoWidth = 352;
constexpr int kVideoHeight = 296;

class ShaderChain : protected QOpenGLFunctions {
 public:
  ShaderChain() = default;
  ShaderChain(const ShaderChain&) = delete;
  ShaderChain& operator=(const ShaderChain&) = delete;
  // Release() first while the context is current; the destructor cannot reach OpenGL.
  ~ShaderChain() = default;

  // Compiles and links the preset's passes (their `source` filled in) in the current context,
  // adding a pass-through pass when the last one does not draw at the viewport's size. False
  // with the compiler's and linker's log in `log` when any pass fails; the chain is then empty.
  bool Build(const ShaderPreset& preset, std::string* log);
  // Frees every program, texture and framebuffer (the context must be current).
  void Release();
  bool Ready() const { return !passes_.empty(); }

  // The parameters the sources declare, with their current values; change `value` freely.
  std::vector<ShaderParameter>& Parameters() { return parameters_; }
  size_t PassCount() const { return passes_.size(); }

  // Draws `pixels` (352 x 296, 0x00RRGGBB rows) through the chain into framebuffer `target`
  // (viewport width x height). `scale` (1..3) sizes the source texture.
  void Render(const uint32_t* pixels, int scale, int width, int height, unsigned target);

 private:
  struct Pass {
    ShaderPass settings;
    unsigned program = 0;
    unsigned framebuffer = 0;  // 0 for the last pass
    unsigned texture = 0;      // its output (none for the last pass)
    int outWidth = 0, outHeight = 0;
    std::vector<int> parameterLocations;  // per parameters_ entry, -1 where not declared
  };
  struct Frame {
    unsigned texture = 0;
    float videoW = 0, videoH = 0, texW = 0, texH = 0;
  };
  bool Compile(Pass& pass, const std::string& defines, std::string* log);
  void EnsureSource(int scale);
  void SizePasses(int width, int height);
  void BindInputs(const Pass& pass, size_t index, const std::vector<Frame>& outputs);

  bool initialised_ = false;
  std::vector<Pass> passes_;
  std::vector<ShaderParameter> parameters_;
  unsigned source_ = 0;  // the picture, scale x 352 by scale x 296
  int sourceScale_ = 0;
  std::array<unsigned, 7> history_{};  // earlier frames' pictures, newest first
  bool wantsHistory_ = false;
  unsigned vertexBuffer_ = 0;
  int viewportW_ = 0, viewportH_ = 0;
  uint32_t frameCount_ = 0;
  std::vector<uint8_t> upload_;
};

}  // namespace orvo::render
