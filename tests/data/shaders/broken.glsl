// Does not compile: the fragment program uses a variable it never declares.
#if defined(VERTEX)
attribute vec4 VertexCoord;
uniform mat4 MVPMatrix;
void main() {
  gl_Position = MVPMatrix * VertexCoord;
}
#elif defined(FRAGMENT)
void main() {
  gl_FragColor = vec4(undeclared_colour, 1.0);
}
#endif
