#pragma once
// Plain helpers of the brush renderer: building GLSL programs, the ellipse
// outline and the power of two of a render size. The stroke direction
// (DabDirectionAngle) is the dab shaper's.
#include <GLES2/gl2.h>

#include <vector>

#include "canvas/DabShaper.h"
#include "platform/gl/Handles.h"
#include "platform/graphics/Geometry.h"

// Compiles texts into a new shader (owned by *shader); returns the compile
// status. Prints the texts when they do not compile.
GLint CompileShader(GLenum type, GLsizei count, const GLchar* const* texts, glx::ShaderHandle* shader);
// Links the program; returns the link status.
GLint LinkProgram(GLuint program);
// Builds a program from two texts, binding attribute i to attribLocations[i]
// and looking up the uniforms into uniformLocations (-1 for a missing one,
// reported as "bind %s error!"). true on success with the program in
// *program; the shaders are freed either way.
bool BuildProgram(const char* vertexText, const char* fragmentText, int attribCount, const char* const* attribNames,
                  const GLint* attribLocations, int uniformCount, const char* const* uniformNames,
                  GLint* uniformLocations, glx::ProgramHandle* program);

// n points of the ellipse with semi-axes a and b about (cx, cy), turned by angle.
std::vector<gfx::Point> BuildEllipseVertices(int n, float cx, float cy, float a, float b, float angle);

// Highest set bit among bits 0-19, doubled when a lower bit is also set; 1 for 0.
unsigned NextPowerOfTwo(unsigned n);
