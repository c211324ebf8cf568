#include "canvas/RenderFunctions.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

GLint CompileShader(GLenum type, GLsizei count, const GLchar* const* texts, glx::ShaderHandle* shader) {
  glx::ShaderHandle owned = glx::ShaderHandle::make(type);
  const GLuint s = owned.get();
  glShaderSource(s, count, texts, nullptr);
  glCompileShader(s);
  GLint status = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &status);
  if (status == 0) {
    std::printf("Failed to compile shader:\n");
    for (GLsizei i = 0; i < count; ++i) std::printf("%s", texts[i]);
    GLchar log[1024] = {0};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    std::printf("%s\n", log);
  }
  *shader = std::move(owned);
  return status;
}

GLint LinkProgram(GLuint program) {
  glLinkProgram(program);
  GLint status = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  if (status == 0) std::printf("Failed to link program %u\n", program);
  return status;
}

bool BuildProgram(const char* vertexText, const char* fragmentText, int attribCount, const char* const* attribNames,
                  const GLint* attribLocations, int uniformCount, const char* const* uniformNames,
                  GLint* uniformLocations, glx::ProgramHandle* program) {
  glx::ProgramHandle owned = glx::ProgramHandle::make();
  const GLuint p = owned.get();
  glx::ShaderHandle vs, fs;
  const GLint vsOk = CompileShader(GL_VERTEX_SHADER, 1, &vertexText, &vs);
  const GLint fsOk = CompileShader(GL_FRAGMENT_SHADER, 1, &fragmentText, &fs);
  glAttachShader(p, vs.get());
  glAttachShader(p, fs.get());
  for (int i = 0; i < attribCount; ++i) {
    if (attribNames[i] != nullptr && attribNames[i][0] != '\0') {
      glBindAttribLocation(p, static_cast<GLuint>(attribLocations[i]), attribNames[i]);
    }
  }
  const GLint linked = (vsOk != 0 && fsOk != 0) ? LinkProgram(p) : 0;
  const bool ok = vsOk != 0 && fsOk != 0 && linked != 0;
  if (ok) {
    for (int i = 0; i < uniformCount; ++i) {
      if (uniformNames[i] == nullptr || uniformNames[i][0] == '\0') continue;
      uniformLocations[i] = glGetUniformLocation(p, uniformNames[i]);
      if (uniformLocations[i] == -1) std::printf("bind %s error!\n", uniformNames[i]);
    }
    *program = std::move(owned);
  }
  // The shaders (and a program that failed) are freed on the way out.
  return ok;
}

std::vector<gfx::Point> BuildEllipseVertices(int n, float cx, float cy, float a, float b, float angle) {
  std::vector<gfx::Point> points;
  if (n <= 0) return points;
  points.reserve(static_cast<std::size_t>(n));
  const double ca = std::cos(angle), sa = std::sin(angle);
  for (int k = 0; k < n; ++k) {
    const double theta = k * 360.0 / n * 0.017453292519943295;
    const double ex = a * std::cos(theta), ey = b * std::sin(theta);
    points.push_back({static_cast<float>(cx + ex * ca + ey * sa), static_cast<float>(cy - ex * sa + ey * ca)});
  }
  return points;
}

unsigned NextPowerOfTwo(unsigned n) {
  for (int bit = 19; bit >= 0; --bit) {
    const unsigned top = 1u << bit;
    if ((n & top) != 0) return (n & (top - 1)) != 0 ? top << 1 : top;
  }
  return 1;
}
