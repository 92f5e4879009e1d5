// Scanlines: every source line is drawn by a beam spot of a Gaussian profile. Between the lines
// the spots fade, so the rows between them are dark; bright lines swell wider than dark ones.
#pragma parameter SPOT_WIDTH "Beam spot width" 0.9 0.1 1.5 0.05
#pragma parameter SPOT_HEIGHT "Beam spot height" 0.28 0.1 1.0 0.05
#pragma parameter COLOUR_BOOST "Colour boost" 1.15 1.0 2.0 0.05
#pragma parameter INPUT_GAMMA "Input gamma" 2.4 1.0 3.0 0.1
#pragma parameter OUTPUT_GAMMA "Output gamma" 2.2 1.0 3.0 0.1
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
uniform float SPOT_WIDTH;
uniform float SPOT_HEIGHT;
uniform float COLOUR_BOOST;
uniform float INPUT_GAMMA;
uniform float OUTPUT_GAMMA;
#else
#define SPOT_WIDTH 0.9
#define SPOT_HEIGHT 0.28
#define COLOUR_BOOST 1.15
#define INPUT_GAMMA 2.4
#define OUTPUT_GAMMA 2.2
#endif
varying vec2 uv;

vec3 Linear(vec2 texel) {
  return pow(texture2D(Texture, (texel + 0.5) / TextureSize).rgb, vec3(INPUT_GAMMA));
}

// One source line's light at horizontal position x (in source pixels): the spot's width blends
// the neighbouring pixels.
vec3 Line(float line, float x) {
  float left = floor(x - 0.5);
  float f = x - 0.5 - left;
  vec3 sum = vec3(0.0);
  float total = 0.0;
  for (int i = 0; i <= 1; ++i) {
    float d = float(i) - f;
    float w = exp(-d * d / (2.0 * SPOT_WIDTH * SPOT_WIDTH * 0.25));
    sum += w * Linear(vec2(clamp(left + float(i), 0.0, InputSize.x - 1.0), line));
    total += w;
  }
  return sum / total;
}

// The beam's profile at distance d (in lines) from its centre; brighter lines are taller.
vec3 Spot(vec3 colour, float d) {
  vec3 height = SPOT_HEIGHT * (0.75 + 0.5 * sqrt(colour));
  return exp(-d * d / (2.0 * height * height));
}

void main() {
  vec2 source = uv * TextureSize;
  // The beam's centre lies on the first output row of each line, so at whole scales the dark
  // rows repeat with the line pitch.
  float ratio = OutputSize.y / InputSize.y;
  float y = source.y - 0.5 / ratio;
  float line = floor(y);
  float d = y - line;
  vec3 here = Line(clamp(line, 0.0, InputSize.y - 1.0), source.x);
  vec3 next = Line(clamp(line + 1.0, 0.0, InputSize.y - 1.0), source.x);
  vec3 light = here * Spot(here, d) + next * Spot(next, 1.0 - d);
  light *= COLOUR_BOOST;
  gl_FragColor = vec4(clamp(pow(light, vec3(1.0 / OUTPUT_GAMMA)), 0.0, 1.0), 1.0);
}
#endif
