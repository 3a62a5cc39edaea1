// OpenGL helpers shared by the device, effects, fonts and lines.
#pragma once

#include <epoxy/gl.h>

#include <string>

namespace Platform::D3D9 {

// Where the vertex parts reach the GLSL: every program the platform links
// takes them under these names.
constexpr GLuint kPositionLocation = 0, kNormalLocation = 1, kColorLocation = 2, kTexcoordLocation = 3;

// Compiles and links a program from the two stages; 0, with the compiler's
// or linker's log in `log`, when that fails.
GLuint LinkProgram(const std::string& vertex, const std::string& fragment, std::string* log);

// Fills the buffer bound to GL_ARRAY_BUFFER with `bytes` of `data`, growing
// its storage (`capacity`, in bytes) only when it is too small.
void FillArrayBuffer(GLsizeiptr* capacity, GLsizeiptr bytes, const void* data, GLenum usage);

}  // namespace Platform::D3D9
