// Aperture: a Trinitron-style aperture grille. Vertical phosphor stripes in a repeating mask,
// scanlines whose height follows the brightness, and a glow around bright areas (a wide halo
// spread across the picture and a narrower diffusion near the light).
#pragma parameter SHARPNESS_IMAGE "Sharpness (image)" 1.0 1.0 5.0 1.0
#pragma parameter SHARPNESS_EDGES "Sharpness (edges)" 3.0 1.0 5.0 1.0
#pragma parameter GLOW_WIDTH "Glow width" 0.5 0.05 0.65 0.05
#pragma parameter GLOW_HEIGHT "Glow height" 0.5 0.05 0.65 0.05
#pragma parameter GLOW_HALATION "Glow halation" 0.1 0.0 1.0 0.01
#pragma parameter GLOW_DIFFUSION "Glow diffusion" 0.05 0.0 1.0 0.01
#pragma parameter MASK_COLORS "Mask colours" 2.0 2.0 3.0 1.0
#pragma parameter MASK_STRENGTH "Mask strength" 0.4 0.0 1.0 0.05
#pragma parameter MASK_SIZE "Mask size" 1.0 1.0 9.0 1.0
#pragma parameter SCANLINE_SIZE_MIN "Scanline size (minimum)" 0.5 0.5 1.5 0.05
#pragma parameter SCANLINE_SIZE_MAX "Scanline size (maximum)" 1.1 0.5 1.5 0.05
#pragma parameter GAMMA_INPUT "Input gamma" 2.4 1.0 5.0 0.1
#pragma parameter GAMMA_OUTPUT "Output gamma" 2.4 1.0 5.0 0.1
#pragma parameter BRIGHTNESS "Brightness" 1.15 0.0 2.0 0.05
#if defined(VERTEX)
attribute vec4 VertexCoord;
attribute vec4 TexCoord;
uniform mat4 MVPMatrix;
varying vec2 uv;
void main() {
  gl_Position = MVPMatrix * VertexCoord;
  uv = TexCoord.xy;
}
#elif defined(FRAGMENT)
#ifdef GL_ES
precision highp float;
#endif
uniform sampler2D Texture;
uniform vec2 TextureSize;
uniform vec2 InputSize;
uniform vec2 OutputSize;
#ifdef PARAMETER_UNIFORM
uniform float SHARPNESS_IMAGE;
uniform float SHARPNESS_EDGES;
uniform float GLOW_WIDTH;
uniform float GLOW_HEIGHT;
uniform float GLOW_HALATION;
uniform float GLOW_DIFFUSION;
uniform float MASK_COLORS;
uniform float MASK_STRENGTH;
uniform float MASK_SIZE;
uniform float SCANLINE_SIZE_MIN;
uniform float SCANLINE_SIZE_MAX;
uniform float GAMMA_INPUT;
uniform float GAMMA_OUTPUT;
uniform float BRIGHTNESS;
#else
#define SHARPNESS_IMAGE 1.0
#define SHARPNESS_EDGES 3.0
#define GLOW_WIDTH 0.5
#define GLOW_HEIGHT 0.5
#define GLOW_HALATION 0.1
#define GLOW_DIFFUSION 0.05
#define MASK_COLORS 2.0
#define MASK_STRENGTH 0.4
#define MASK_SIZE 1.0
#define SCANLINE_SIZE_MIN 0.5
#define SCANLINE_SIZE_MAX 1.1
#define GAMMA_INPUT 2.4
#define GAMMA_OUTPUT 2.4
#define BRIGHTNESS 1.15
#endif
varying vec2 uv;

vec3 Fetch(vec2 texel) {
  texel = clamp(texel, vec2(0.0), InputSize - 1.0);
  return pow(texture2D(Texture, (texel + 0.5) / TextureSize).rgb, vec3(GAMMA_INPUT));
}

// The colour at source position x of `line`: the sharpness narrows the blend between pixels, more
// so where neighbours differ strongly (edges).
vec3 Sharp(vec2 source, float line) {
  float left = floor(source.x - 0.5);
  float f = source.x - 0.5 - left;
  vec3 a = Fetch(vec2(left, line));
  vec3 b = Fetch(vec2(left + 1.0, line));
  float contrast = length(a - b);
  float sharpness = mix(SHARPNESS_IMAGE, SHARPNESS_EDGES, clamp(contrast, 0.0, 1.0));
  f = clamp((f - 0.5) * sharpness + 0.5, 0.0, 1.0);
  return mix(a, b, f);
}

// A Gaussian blur of the 3 x 3 neighbourhood: the light scattered in the glass.
vec3 Glow(vec2 source) {
  vec3 sum = vec3(0.0);
  float total = 0.0;
  for (int y = -1; y <= 1; ++y) {
    for (int x = -1; x <= 1; ++x) {
      vec2 d = vec2(float(x), float(y));
      float w = exp(-0.5 * (d.x * d.x / (GLOW_WIDTH * GLOW_WIDTH * 4.0) + d.y * d.y / (GLOW_HEIGHT * GLOW_HEIGHT * 4.0)));
      // The glow is soft: squaring is near enough to the input gamma here, and much cheaper.
      vec3 c = texture2D(Texture, (clamp(floor(source) + d, vec2(0.0), InputSize - 1.0) + 0.5) / TextureSize).rgb;
      sum += w * c * c;
      total += w;
    }
  }
  return sum / total;
}

void main() {
  vec2 source = uv * TextureSize;
  float ratio = OutputSize.y / InputSize.y;
  float y = source.y - 0.5 / ratio;
  float line = floor(y);
  float d = y - line;
  vec3 a = Sharp(source, clamp(line, 0.0, InputSize.y - 1.0));
  vec3 b = Sharp(source, clamp(line + 1.0, 0.0, InputSize.y - 1.0));
  // Scanlines: a bright line's beam is taller (up to the maximum size) than a dark one's.
  vec3 ha = mix(vec3(SCANLINE_SIZE_MIN), vec3(SCANLINE_SIZE_MAX), sqrt(a)) * 0.5;
  vec3 hb = mix(vec3(SCANLINE_SIZE_MIN), vec3(SCANLINE_SIZE_MAX), sqrt(b)) * 0.5;
  vec3 light = a * exp(-d * d / (2.0 * ha * ha)) + b * exp(-(1.0 - d) * (1.0 - d) / (2.0 * hb * hb));
  vec3 glow = Glow(source);
  light += glow * GLOW_HALATION + (glow - light) * GLOW_DIFFUSION;
  // The grille: stripes MASK_SIZE output pixels wide, two (magenta/green) or three (R/G/B) colours.
  float stripe = mod(floor(gl_FragCoord.x / MASK_SIZE), MASK_COLORS);
  vec3 mask;
  if (MASK_COLORS < 2.5)
    mask = stripe < 1.0 ? vec3(1.0, 0.0, 1.0) : vec3(0.0, 1.0, 0.0);
  else
    mask = stripe < 1.0 ? vec3(1.0, 0.0, 0.0) : (stripe < 2.0 ? vec3(0.0, 1.0, 0.0) : vec3(0.0, 0.0, 1.0));
  light *= mix(vec3(1.0), mask, MASK_STRENGTH);
  light *= BRIGHTNESS;
  gl_FragColor = vec4(clamp(pow(max(light, 0.0), vec3(1.0 / GAMMA_OUTPUT)), 0.0, 1.0), 1.0);
}
#endif
