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
uniform sampler2D Texture;
varying vec2 uv;
void main() {
  gl_FragColor = vec4(1.0 - texture2D(Texture, uv).rgb, 1.0);
}
#endif
