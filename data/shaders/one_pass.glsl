// One Pass: the picture as a PAL composite signal would bring it. Each line is encoded to one
// signal (luma plus chroma on a subcarrier whose phase turns from pixel to pixel and from line to
// line), then decoded by a receiver: a FIR low-pass filter recovers the luma, the gain restores
// its sharpness, and demodulation recovers the colour, with the fringes and softness that brings.
#pragma parameter LOWPASS_GAIN "Low-pass gain" 1.0 0.25 2.0 0.05
#pragma parameter INVERSE_GAIN "Inverse gain (luma recovery)" 0.6 0.0 1.5 0.05
#pragma parameter PHASE_NOISE "Phase noise" 0.05 0.0 0.5 0.01
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
uniform int FrameCount;
#ifdef PARAMETER_UNIFORM
uniform float LOWPASS_GAIN;
uniform float INVERSE_GAIN;
uniform float PHASE_NOISE;
#else
#define LOWPASS_GAIN 1.0
#define INVERSE_GAIN 0.6
#define PHASE_NOISE 0.05
#endif
varying vec2 uv;

const float PI = 3.14159265;
const mat3 RGB_TO_YUV = mat3(0.299, -0.14713, 0.615, 0.587, -0.28886, -0.51499, 0.114, 0.436, -0.10001);
const mat3 YUV_TO_RGB = mat3(1.0, 1.0, 1.0, 0.0, -0.39465, 2.03211, 1.13983, -0.58060, 0.0);

float Hash(vec2 p) {
  return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453);
}

// The subcarrier's phase at source position x of `line`: about two cycles per three pixels,
// the V component switching sign every line as PAL does.
float Phase(float x, float line) {
  float noise = (Hash(vec2(line, float(FrameCount))) - 0.5) * 2.0 * PI * PHASE_NOISE;
  return x * PI * 4.0 / 3.0 + line * PI * 0.5 + noise;
}

float Signal(float x, float line, out float phase) {
  vec2 at = vec2(clamp(floor(x), 0.0, InputSize.x - 1.0) + 0.5, line + 0.5);
  vec3 yuv = RGB_TO_YUV * texture2D(Texture, at / TextureSize).rgb;
  phase = Phase(x, line);
  float v = mod(line, 2.0) < 1.0 ? yuv.z : -yuv.z;
  return yuv.x + yuv.y * sin(phase) + v * cos(phase);
}

void main() {
  vec2 source = uv * TextureSize;
  float line = floor(source.y);
  // Taps every half pixel over three pixels either side.
  float luma = 0.0;
  float u = 0.0;
  float v = 0.0;
  float lumaTotal = 0.0;
  float chromaTotal = 0.0;
  for (int i = -6; i <= 6; ++i) {
    float x = source.x + float(i) * 0.5;
    float phase;
    float s = Signal(x, line, phase);
    float t = float(i) / 6.0;
    // A windowed low-pass: a wider window with a lower gain removes more of the subcarrier.
    float w = exp(-t * t * 4.0 * LOWPASS_GAIN);
    luma += s * w;
    lumaTotal += w;
    float c = 0.5 + 0.5 * cos(t * PI);
    u += s * sin(phase) * c;
    v += s * cos(phase) * c;
    chromaTotal += c;
  }
  luma /= lumaTotal;
  u = 2.0 * u / chromaTotal;
  v = 2.0 * v / chromaTotal;
  if (mod(line, 2.0) >= 1.0) v = -v;
  // Luma recovery: the filtered-away detail comes back from the unfiltered luma.
  vec3 centre = RGB_TO_YUV * texture2D(Texture, (vec2(floor(source.x), line) + 0.5) / TextureSize).rgb;
  luma = mix(luma, centre.x, INVERSE_GAIN * 0.5);
  gl_FragColor = vec4(clamp(YUV_TO_RGB * vec3(luma, u, v), 0.0, 1.0), 1.0);
}
#endif
