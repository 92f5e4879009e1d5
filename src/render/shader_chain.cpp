#include "render/shader_chain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/shader_effects.h"

namespace orvo::render {

namespace {

constexpr unsigned kVertexCoord = 0, kTexCoord = 1, kColor = 2, kOrigTexCoord = 3;
constexpr int kMaxSide = 8192;

// Projections for vertex coordinates 0..1. Into a pass's framebuffer the picture's top row goes
// to row 0, as it lies in the source texture; onto the target it goes to the top.
constexpr float kToFramebuffer[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, -1, -1, 0, 1};
constexpr float kToTarget[16] = {2, 0, 0, 0, 0, -2, 0, 0, 0, 0, 1, 0, -1, 1, 0, 1};

int Side(float v) {
  return std::clamp(static_cast<int>(std::lround(v)), 1, kMaxSide);
}

// The source's "#version" line must stay first: the defines go after it.
void SplitVersion(const std::string& source, std::string& version, std::string& body) {
  size_t at = 0;
  while (at < source.size() &&
         (source[at] == ' ' || source[at] == '\t' || source[at] == '\r' || source[at] == '\n'))
    ++at;
  if (source.compare(at, 8, "#version") == 0) {
    const size_t nl = source.find('\n', at);
    version = source.substr(0, nl == std::string::npos ? source.size() : nl + 1);
    body = nl == std::string::npos ? std::string() : source.substr(nl + 1);
  } else {
    version.clear();
    body = source;
  }
}

}  // namespace

bool ShaderChain::Compile(Pass& pass, const std::string& defines, std::string* log) {
  std::string version, body;
  SplitVersion(pass.settings.source, version, body);
  unsigned shaders[2] = {0, 0};
  const char* stage[2] = {"VERTEX", "FRAGMENT"};
  const GLenum kind[2] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
  bool ok = true;
  for (int i = 0; i < 2 && ok; ++i) {
    const std::string text = version + "#define " + stage[i] + "\n" + defines + "#line 1\n" + body;
    shaders[i] = glCreateShader(kind[i]);
    const char* src = text.c_str();
    glShaderSource(shaders[i], 1, &src, nullptr);
    glCompileShader(shaders[i]);
    GLint status = 0;
    glGetShaderiv(shaders[i], GL_COMPILE_STATUS, &status);
    if (status == 0) {
      GLint length = 0;
      glGetShaderiv(shaders[i], GL_INFO_LOG_LENGTH, &length);
      std::string text_log(static_cast<size_t>(std::max(length, 1)), '\0');
      glGetShaderInfoLog(shaders[i], length, nullptr, text_log.data());
      text_log.resize(std::strlen(text_log.c_str()));
      if (log != nullptr)
        *log += std::string("GLSL: ") + (i == 0 ? "vertex" : "fragment") + " program errors :\n" +
                text_log + "\n";
      ok = false;
    }
  }
  if (ok) {
    pass.program = glCreateProgram();
    glAttachShader(pass.program, shaders[0]);
    glAttachShader(pass.program, shaders[1]);
    glBindAttribLocation(pass.program, kVertexCoord, "VertexCoord");
    glBindAttribLocation(pass.program, kTexCoord, "TexCoord");
    glBindAttribLocation(pass.program, kColor, "COLOR");
    glBindAttribLocation(pass.program, kOrigTexCoord, "OrigTexCoord");
    glLinkProgram(pass.program);
    GLint status = 0;
    glGetProgramiv(pass.program, GL_LINK_STATUS, &status);
    if (status == 0) {
      GLint length = 0;
      glGetProgramiv(pass.program, GL_INFO_LOG_LENGTH, &length);
      std::string text_log(static_cast<size_t>(std::max(length, 1)), '\0');
      glGetProgramInfoLog(pass.program, length, nullptr, text_log.data());
      text_log.resize(std::strlen(text_log.c_str()));
      if (log != nullptr) *log += "GLSL: program link errors :\n" + text_log + "\n";
      ok = false;
    }
  }
  for (unsigned s : shaders)
    if (s != 0) glDeleteShader(s);
  return ok;
}

bool ShaderChain::Build(const ShaderPreset& preset, std::string* log) {
  if (!initialised_) {
    initializeOpenGLFunctions();
    initialised_ = true;
  }
  Release();
  if (preset.passes.empty() || preset.passes.size() > kMaxShaderPasses) {
    if (log != nullptr) *log += "GLSL: a chain needs 1 to 25 passes\n";
    return false;
  }
  std::vector<ShaderPass> list = preset.passes;
  const ShaderPass& last = list.back();
  if (last.scaleGiven &&
      !(last.scaleTypeX == ShaderScaleType::Viewport &&
        last.scaleTypeY == ShaderScaleType::Viewport && last.scaleX == 1 && last.scaleY == 1)) {
    if (list.size() == kMaxShaderPasses) {
      if (log != nullptr) *log += "GLSL: no room for the final pass\n";
      return false;
    }
    ShaderPass through;
    through.source = PassThroughSource();
    list.push_back(std::move(through));
  }

  std::string aliases;
  bool ok = true;
  for (const ShaderPass& settings : list) {
    Pass pass;
    pass.settings = settings;
    ok = Compile(pass, "#define PARAMETER_UNIFORM\n" + aliases, log);
    passes_.push_back(std::move(pass));
    if (!ok) break;
    if (!settings.alias.empty()) aliases += "#define " + settings.alias + "_ALIAS\n";
  }
  if (!ok) {
    Release();
    return false;
  }

  for (const Pass& pass : passes_) ReadShaderParameters(pass.settings.source, parameters_);
  ApplyParameterValues(preset, parameters_);
  for (Pass& pass : passes_) {
    for (const ShaderParameter& p : parameters_)
      pass.parameterLocations.push_back(glGetUniformLocation(pass.program, p.name.c_str()));
    static const char* const kHistory[] = {"PrevTexture",  "Prev1Texture", "Prev2Texture",
                                           "Prev3Texture", "Prev4Texture", "Prev5Texture",
                                           "Prev6Texture"};
    for (const char* name : kHistory)
      if (glGetUniformLocation(pass.program, name) >= 0) wantsHistory_ = true;
  }
  glGenBuffers(1, &vertexBuffer_);
  frameCount_ = 0;
  return true;
}

void ShaderChain::Release() {
  if (!initialised_) return;
  for (Pass& pass : passes_) {
    if (pass.program != 0) glDeleteProgram(pass.program);
    if (pass.framebuffer != 0) glDeleteFramebuffers(1, &pass.framebuffer);
    if (pass.texture != 0) glDeleteTextures(1, &pass.texture);
  }
  passes_.clear();
  parameters_.clear();
  if (source_ != 0) glDeleteTextures(1, &source_);
  source_ = 0;
  sourceScale_ = 0;
  for (unsigned& t : history_) {
    if (t != 0) glDeleteTextures(1, &t);
    t = 0;
  }
  wantsHistory_ = false;
  if (vertexBuffer_ != 0) glDeleteBuffers(1, &vertexBuffer_);
  vertexBuffer_ = 0;
  viewportW_ = viewportH_ = 0;
}

namespace {

unsigned NewTexture(QOpenGLFunctions& gl, int width, int height) {
  unsigned texture = 0;
  gl.glGenTextures(1, &texture);
  gl.glBindTexture(GL_TEXTURE_2D, texture);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  // Cleared, so a filter reaching past the picture reads black.
  const std::vector<uint8_t> black(static_cast<size_t>(width) * height * 4, 0);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                  black.data());
  return texture;
}

}  // namespace

void ShaderChain::EnsureSource(int scale) {
  if (scale == sourceScale_ && source_ != 0) return;
  if (source_ != 0) glDeleteTextures(1, &source_);
  for (unsigned& t : history_) {
    if (t != 0) glDeleteTextures(1, &t);
    t = 0;
  }
  sourceScale_ = scale;
  source_ = NewTexture(*this, scale * kVideoWidth, scale * kVideoHeight);
  if (wantsHistory_)
    for (unsigned& t : history_) t = NewTexture(*this, scale * kVideoWidth, scale * kVideoHeight);
}

void ShaderChain::SizePasses(int width, int height) {
  if (width == viewportW_ && height == viewportH_) return;
  viewportW_ = width;
  viewportH_ = height;
  float inW = kVideoWidth, inH = kVideoHeight;
  for (size_t i = 0; i < passes_.size(); ++i) {
    Pass& pass = passes_[i];
    const ShaderPass& s = pass.settings;
    const bool lastPass = i + 1 == passes_.size();
    auto size = [&](ShaderScaleType type, float factor, float input, int viewport) {
      if (lastPass) return viewport;
      switch (type) {
        case ShaderScaleType::Source: return Side(input * factor);
        case ShaderScaleType::Viewport: return Side(static_cast<float>(viewport) * factor);
        case ShaderScaleType::Absolute: return Side(factor);
      }
      return viewport;
    };
    pass.outWidth = size(s.scaleTypeX, s.scaleX, inW, width);
    pass.outHeight = size(s.scaleTypeY, s.scaleY, inH, height);
    if (pass.framebuffer != 0) glDeleteFramebuffers(1, &pass.framebuffer);
    if (pass.texture != 0) glDeleteTextures(1, &pass.texture);
    pass.framebuffer = pass.texture = 0;
    if (!lastPass) {
      pass.texture = NewTexture(*this, pass.outWidth, pass.outHeight);
      glGenFramebuffers(1, &pass.framebuffer);
      glBindFramebuffer(GL_FRAMEBUFFER, pass.framebuffer);
      glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, pass.texture, 0);
    }
    inW = static_cast<float>(pass.outWidth);
    inH = static_cast<float>(pass.outHeight);
  }
}

void ShaderChain::BindInputs(const Pass& pass, size_t index, const std::vector<Frame>& outputs) {
  const unsigned program = pass.program;
  auto set2 = [&](const std::string& name, float x, float y) {
    const int at = glGetUniformLocation(program, name.c_str());
    if (at >= 0) glUniform2f(at, x, y);
  };
  int unit = 0;
  auto bindTexture = [&](const std::string& prefix, const Frame& f, bool input) {
    const int at = glGetUniformLocation(program, (prefix + (input ? "" : "Texture")).c_str());
    if (!input && at < 0) return;
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, f.texture);
    if (at >= 0) glUniform1i(at, unit);
    ++unit;
    if (!input) {
      set2(prefix + "InputSize", f.videoW, f.videoH);
      set2(prefix + "TextureSize", f.texW, f.texH);
    }
  };
  // The input: outputs[index] is what this pass reads (outputs[0] the source picture).
  const Frame& in = outputs[index];
  bindTexture("Texture", in, true);
  const GLint filter = pass.settings.filterLinear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  set2("InputSize", in.videoW, in.videoH);
  set2("TextureSize", in.texW, in.texH);
  set2("OutputSize", static_cast<float>(pass.outWidth), static_cast<float>(pass.outHeight));
  bindTexture("Orig", outputs[0], false);
  if (wantsHistory_) {
    for (size_t h = 0; h < history_.size(); ++h) {
      Frame f = outputs[0];
      f.texture = history_[h];
      bindTexture(h == 0 ? "Prev" : "Prev" + std::to_string(h), f, false);
    }
  }
  for (size_t p = 1; p <= index; ++p) {
    bindTexture("Pass" + std::to_string(p), outputs[p], false);
    bindTexture("PassPrev" + std::to_string(index + 1 - p), outputs[p], false);
    if (!passes_[p - 1].settings.alias.empty())
      bindTexture(passes_[p - 1].settings.alias, outputs[p], false);
  }
  bindTexture("PassPrev" + std::to_string(index + 1), outputs[0], false);
  glActiveTexture(GL_TEXTURE0);
}

void ShaderChain::Render(const uint32_t* pixels, int scale, int width, int height,
                         unsigned target) {
  if (!Ready() || pixels == nullptr || width <= 0 || height <= 0) return;
  scale = std::clamp(scale, 1, 4);
  EnsureSource(scale);
  if (wantsHistory_) {
    // The oldest picture's texture takes the new one; the rest move one frame back.
    const unsigned oldest = history_.back();
    std::move_backward(history_.begin(), history_.end() - 1, history_.end());
    history_[0] = source_;
    source_ = oldest;
  }
  upload_.resize(static_cast<size_t>(kVideoWidth) * kVideoHeight * 4);
  for (size_t i = 0; i < static_cast<size_t>(kVideoWidth) * kVideoHeight; ++i) {
    upload_[i * 4 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
    upload_[i * 4 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    upload_[i * 4 + 2] = static_cast<uint8_t>(pixels[i]);
    upload_[i * 4 + 3] = 0xFF;
  }
  glBindTexture(GL_TEXTURE_2D, source_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kVideoWidth, kVideoHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                  upload_.data());
  SizePasses(width, height);

  std::vector<Frame> outputs;
  outputs.push_back({source_, kVideoWidth, kVideoHeight, static_cast<float>(scale * kVideoWidth),
                     static_cast<float>(scale * kVideoHeight)});
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_CULL_FACE);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  for (size_t i = 0; i < passes_.size(); ++i) {
    const Pass& pass = passes_[i];
    const bool lastPass = i + 1 == passes_.size();
    glBindFramebuffer(GL_FRAMEBUFFER, lastPass ? target : pass.framebuffer);
    glViewport(0, 0, pass.outWidth, pass.outHeight);
    if (lastPass) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    glUseProgram(pass.program);
    const Frame& in = outputs[i];
    const float u = in.videoW / in.texW, v = in.videoH / in.texH;
    const float ou = outputs[0].videoW / outputs[0].texW, ov = outputs[0].videoH / outputs[0].texH;
    // Per vertex: VertexCoord (4), TexCoord (4), COLOR (4), OrigTexCoord (4).
    const float quad[4][16] = {
        {0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0},
        {1, 0, 0, 1, u, 0, 0, 0, 1, 1, 1, 1, ou, 0, 0, 0},
        {0, 1, 0, 1, 0, v, 0, 0, 1, 1, 1, 1, 0, ov, 0, 0},
        {1, 1, 0, 1, u, v, 0, 0, 1, 1, 1, 1, ou, ov, 0, 0},
    };
    glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STREAM_DRAW);
    const unsigned attributes[4] = {kVertexCoord, kTexCoord, kColor, kOrigTexCoord};
    for (unsigned a = 0; a < 4; ++a) {
      glEnableVertexAttribArray(attributes[a]);
      glVertexAttribPointer(
          attributes[a], 4, GL_FLOAT, GL_FALSE, 16 * sizeof(float),
          reinterpret_cast<const void*>(static_cast<uintptr_t>(a * 4 * sizeof(float))));
    }
    const int mvp = glGetUniformLocation(pass.program, "MVPMatrix");
    if (mvp >= 0) glUniformMatrix4fv(mvp, 1, GL_FALSE, lastPass ? kToTarget : kToFramebuffer);
    // FrameCount and FrameDirection are ints by convention; some sources declare floats.
    for (const auto& [name, value] :
         {std::pair<const char*, int>{"FrameCount", static_cast<int>(frameCount_)},
          std::pair<const char*, int>{"FrameDirection", 1}}) {
      const int at = glGetUniformLocation(pass.program, name);
      if (at < 0) continue;
      while (glGetError() != GL_NO_ERROR) {
      }
      glUniform1i(at, value);
      if (glGetError() != GL_NO_ERROR) glUniform1f(at, static_cast<float>(value));
    }
    for (size_t p = 0; p < parameters_.size(); ++p)
      if (pass.parameterLocations[p] >= 0)
        glUniform1f(pass.parameterLocations[p],
                    ClampParameter(parameters_[p], parameters_[p].value));
    BindInputs(pass, i, outputs);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    for (unsigned a : attributes) glDisableVertexAttribArray(a);
    if (!lastPass)
      outputs.push_back({pass.texture, static_cast<float>(pass.outWidth),
                         static_cast<float>(pass.outHeight), static_cast<float>(pass.outWidth),
                         static_cast<float>(pass.outHeight)});
  }
  glUseProgram(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, target);
  ++frameCount_;
}

}  // namespace orvo::render
