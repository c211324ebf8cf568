// Brush renderer: one textured quad per dab, image or area clear. Positions are
// view points with the origin at the bottom left; m_scale maps them to clip space.
attribute vec2 a_position;   // corner offset from m_center (or an absolute point when m_center is 0)
attribute vec4 a_color;      // render colour, constant for all vertices
attribute vec2 m_texCoord;   // brush-atlas cell or image coordinates
attribute vec2 m_bgCoord;    // part of the smudge copy that the dab covers

uniform vec2 m_scale;
uniform vec2 m_center;
uniform float m_enableRotate;
uniform float m_radian;

varying vec4 v_color;
varying vec2 v_texCoord;
varying vec2 v_bgCoord;

void main() {
  vec2 p = a_position;
  if (m_enableRotate > 0.5) {
    float c = cos(m_radian);
    float s = sin(m_radian);
    p = vec2(p.x * c - p.y * s, p.x * s + p.y * c);
  }
  p += m_center;
  gl_Position = vec4(p * m_scale - 1.0, 0.0, 1.0);
  v_color = a_color;
  v_texCoord = m_texCoord;
  v_bgCoord = m_bgCoord;
}
