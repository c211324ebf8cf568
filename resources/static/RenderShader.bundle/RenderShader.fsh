// Brush renderer fragments.
//   m_renderType 0: a dab in the render colour; the tip texture gives coverage.
//     With m_enableBGMix the smudge copy is laid down instead, premultiplied,
//     for the blend (GL_ONE, GL_ONE_MINUS_SRC_ALPHA).
//   m_renderType 3: the bound texture's own premultiplied colour (images,
//     pixel blocks, area clears).
// Built a second time with PLAIN_DABS defined for batches of plain dabs: the
// same colour without the texture reads of the other branches, which a
// software rasteriser would otherwise pay for on every fragment.
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif

uniform sampler2D m_brushTexture;
uniform sampler2D m_bgTexture;
uniform float m_enableTexture;
uniform float m_alpha;
uniform int m_renderType;
uniform int m_enableBGMix;
uniform float m_pressure;

varying vec4 v_color;
varying vec2 v_texCoord;
varying vec2 v_bgCoord;

void main() {
  if (m_renderType == 3) {
#ifdef PLAIN_DABS
    // Never taken by plain dabs. The early return stays because without any
    // branch the software rasteriser picks mip levels more coarsely, and the
    // dabs would come out slightly different from the full program's.
    gl_FragColor = vec4(0.0);
#else
    gl_FragColor = texture2D(m_brushTexture, v_texCoord);
#endif
    return;
  }
  float coverage = m_enableTexture > 0.5 ? texture2D(m_brushTexture, v_texCoord).a : 1.0;
#ifndef PLAIN_DABS
  if (m_enableBGMix == 1) {
    // The paint picked up at the previous dab, carried over with the tip's
    // soft edge and the pressure: a smear trailing the stroke.
    vec4 picked = texture2D(m_bgTexture, v_bgCoord);
    gl_FragColor = picked * (coverage * m_alpha * m_pressure);
    return;
  }
#endif
  gl_FragColor = vec4(v_color.rgb, v_color.a * m_alpha * coverage);
}
