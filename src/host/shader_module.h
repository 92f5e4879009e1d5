#pragma once
// The shader renderer is a module of its own, liborvo_shader.so, the only part of orvo-run that
// links Qt's GUI and OpenGL libraries: orvo-run loads it (and Qt with it) when a picture is to be
// drawn through a shader, so every other run starts without them. The window program links the
// renderer directly.
//
// The module exports one C function, kShaderModuleEntry, returning this table; the loader
// (host/module_loader.h) refuses a table of another version.
#include <cstdint>

namespace orvo {

inline constexpr int kShaderModuleVersion = 1;
inline constexpr char kShaderModuleFile[] = "liborvo_shader.so";
inline constexpr char kShaderModuleEntry[] = "orvo_shader_module";

struct ShaderModuleParameter {
  const char* name;
  float value;
};

struct ShaderModuleSettings {
  int effect;              // the built-in effect 0..5, used when presetPath is null
  const char* presetPath;  // a .glslp preset, or null
  int scale;               // 1..3
  const ShaderModuleParameter* parameters;
  int parameterCount;
};

// A renderer is an opaque handle. `start` makes the GUI application (from the program's argc and
// argv, which must outlive it) and the chain: 1 when it is drawing, through the chain or the
// fall-back it noted on standard error; 0 when refused (the preset unreadable, no display), after
// which `lastError` says why. `render` draws 352 x 296 pixels (0x00RRGGBB) into `out`, scale x 352
// by scale x 296 pixels, 0x00RRGGBB; 0 when the renderer was not started.
struct ShaderModuleApi {
  int version;
  void* (*create)();
  void (*destroy)(void* renderer);
  int (*start)(void* renderer, int* argc, char** argv, const ShaderModuleSettings* settings);
  int (*render)(void* renderer, const uint32_t* pixels, uint32_t* out);
  const char* (*lastError)(const void* renderer);
};

}  // namespace orvo
