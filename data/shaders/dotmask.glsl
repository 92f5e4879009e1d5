// Dotmask: the phosphor dots of a shadow-mask tube. Every output pixel belongs to one red, green
// or blue dot; the dot rows are offset by half a triad, as the holes of a delta mask are.
#pragma parameter DOTMASK_STRENGTH "Dot mask strength" 0.3 0.0 1.0 0.05
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
uniform float DOTMASK_STRENGTH;
#else
#define DOTMASK_STRENGTH 0.3
#endif
varying vec2 uv;
void main() {
  vec3 colour = texture2D(Texture, uv).rgb;
  // The output pixel this fragment is, counted from the picture's top-left corner.
  vec2 pixel = floor(uv * TextureSize / InputSize * OutputSize);
  float row = mod(pixel.y, 2.0);
  float cell = mod(pixel.x + row * 1.5, 3.0);
  vec3 mask = cell < 1.0 ? vec3(1.0, 0.0, 0.0) : (cell < 2.0 ? vec3(0.0, 1.0, 0.0) : vec3(0.0, 0.0, 1.0));
  // Lit dots pass their colour; the other two are dimmed by the strength, and the whole is lifted
  // so the average brightness stays near the plain picture's.
  vec3 weight = mix(vec3(1.0), mask, DOTMASK_STRENGTH);
  gl_FragColor = vec4(clamp(colour * weight * (1.0 + DOTMASK_STRENGTH * 0.5), 0.0, 1.0), 1.0);
}
#endif
