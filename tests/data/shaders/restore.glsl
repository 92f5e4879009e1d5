#pragma parameter BRIGHT "Brightness" 0.5 0.0 1.0 0.1
#ifndef INVERTED_ALIAS
#error the first pass's alias is not defined
#endif
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
uniform sampler2D INVERTEDTexture;
uniform float BRIGHT;
varying vec2 uv;
void main() {
  gl_FragColor = vec4((1.0 - texture2D(INVERTEDTexture, uv).rgb) * BRIGHT, 1.0);
}
#endif
