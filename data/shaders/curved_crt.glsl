// Curved CRT: the picture on the curved face of a tube seen from a viewing distance, with rounded
// corners, scanlines and an optional dot mask. Outside the curved face the screen is black.
#pragma parameter TARGET_GAMMA "Target gamma" 2.4 0.1 5.0 0.1
#pragma parameter MONITOR_GAMMA "Monitor gamma" 2.2 0.1 5.0 0.1
#pragma parameter DISTANCE "Viewing distance" 1.6 0.1 3.0 0.05
#pragma parameter CURVATURE "Curvature on/off" 1.0 0.0 1.0 1.0
#pragma parameter RADIUS "Curvature radius" 2.0 0.5 10.0 0.1
#pragma parameter CORNER_SIZE "Corner size" 0.03 0.001 1.0 0.005
#pragma parameter CORNER_SMOOTH "Corner smoothness" 1000.0 80.0 2000.0 20.0
#pragma parameter TILT_X "Horizontal tilt" 0.0 -0.5 0.5 0.01
#pragma parameter TILT_Y "Vertical tilt" 0.0 -0.5 0.5 0.01
#pragma parameter OVERSCAN_X "Horizontal overscan %" 100.0 80.0 120.0 1.0
#pragma parameter OVERSCAN_Y "Vertical overscan %" 100.0 80.0 120.0 1.0
#pragma parameter DOTMASK "Dot mask on/off" 0.3 0.0 1.0 0.05
#pragma parameter SHARPNESS "Sharpness" 1.0 1.0 3.0 1.0
#pragma parameter SCANLINE_WEIGHT "Scanline weight" 0.3 0.1 0.5 0.05
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
uniform float TARGET_GAMMA;
uniform float MONITOR_GAMMA;
uniform float DISTANCE;
uniform float CURVATURE;
uniform float RADIUS;
uniform float CORNER_SIZE;
uniform float CORNER_SMOOTH;
uniform float TILT_X;
uniform float TILT_Y;
uniform float OVERSCAN_X;
uniform float OVERSCAN_Y;
uniform float DOTMASK;
uniform float SHARPNESS;
uniform float SCANLINE_WEIGHT;
#else
#define TARGET_GAMMA 2.4
#define MONITOR_GAMMA 2.2
#define DISTANCE 1.6
#define CURVATURE 1.0
#define RADIUS 2.0
#define CORNER_SIZE 0.03
#define CORNER_SMOOTH 1000.0
#define TILT_X 0.0
#define TILT_Y 0.0
#define OVERSCAN_X 100.0
#define OVERSCAN_Y 100.0
#define DOTMASK 0.3
#define SHARPNESS 1.0
#define SCANLINE_WEIGHT 0.3
#endif
varying vec2 uv;

// The flat picture's point seen at screen point p (centred, -0.5..0.5): the tube's face bulges
// towards the viewer, the more the smaller its RADIUS and the closer the eye (DISTANCE), so the
// picture shrinks towards the corners. The edges' midpoints stay where the flat picture's are.
vec2 Curve(vec2 p) {
  float aspect = InputSize.x / InputSize.y;
  vec2 q = vec2(p.x * aspect, p.y) + vec2(TILT_X, TILT_Y) * p.yx;
  float k = 0.35 / (RADIUS * DISTANCE);
  vec2 bulge = q * (1.0 + k * dot(q, q));
  vec2 edge = vec2(1.0 + k * 0.25 * aspect * aspect, 1.0 + k * 0.25);
  return vec2(bulge.x / aspect, bulge.y) / edge;
}

float Corner(vec2 p) {
  // p in 0..1 over the picture; a rounded rectangle's edge softened by CORNER_SMOOTH.
  vec2 d = min(p, 1.0 - p) * vec2(1.0, InputSize.y / InputSize.x);
  vec2 c = max(vec2(CORNER_SIZE) - d, 0.0);
  float dist = CORNER_SIZE - length(c);
  return clamp(dist * CORNER_SMOOTH, 0.0, 1.0);
}

vec3 Fetch(vec2 texel) {
  texel = clamp(texel, vec2(0.0), InputSize - 1.0);
  return pow(texture2D(Texture, (texel + 0.5) / TextureSize).rgb, vec3(TARGET_GAMMA));
}

// One source line's colour at x, sharper with SHARPNESS (1 blends neighbours linearly).
vec3 Line(float x, float line) {
  float left = floor(x - 0.5);
  float f = clamp((x - 0.5 - left - 0.5) * SHARPNESS + 0.5, 0.0, 1.0);
  return mix(Fetch(vec2(left, line)), Fetch(vec2(left + 1.0, line)), f);
}

vec3 Beam(vec3 colour, float d) {
  vec3 wid = 2.0 + 2.0 * pow(colour, vec3(4.0));
  vec3 w = vec3(d / SCANLINE_WEIGHT);
  return 1.4 * exp(-pow(w * inversesqrt(0.5 * wid), wid)) / (0.6 + 0.2 * wid);
}

void main() {
  vec2 p = uv * TextureSize / InputSize;  // 0..1 over the picture
  vec2 centred = p - 0.5;
  if (CURVATURE > 0.5) centred = Curve(centred);
  centred /= vec2(OVERSCAN_X, OVERSCAN_Y) / 100.0;
  p = centred + 0.5;
  if (p.x < 0.0 || p.x > 1.0 || p.y < 0.0 || p.y > 1.0) {
    gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
    return;
  }
  vec2 source = p * InputSize;
  float ratio = OutputSize.y / InputSize.y;
  float y = source.y - 0.5;
  float line = floor(y);
  float d = y - line;
  vec3 a = Line(source.x, line);
  vec3 b = Line(source.x, line + 1.0);
  vec3 light = a * Beam(a, d) + b * Beam(b, 1.0 - d);
  // Oversample the beam at small scales so the lines do not beat with the pixel grid.
  if (ratio < 2.0) light = mix(a, b, d);
  float column = mod(floor(uv.x * TextureSize.x / InputSize.x * OutputSize.x), 2.0);
  vec3 mask = column < 1.0 ? vec3(1.0, 1.0 - DOTMASK, 1.0) : vec3(1.0 - DOTMASK, 1.0, 1.0 - DOTMASK);
  light *= mix(vec3(1.0), mask, step(0.01, DOTMASK));
  vec3 colour = pow(light, vec3(1.0 / MONITOR_GAMMA));
  gl_FragColor = vec4(clamp(colour * Corner(p), 0.0, 1.0), 1.0);
}
#endif
