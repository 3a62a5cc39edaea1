#include "d3d9/Gl.h"

#include <vector>

namespace Platform::D3D9 {
namespace {

std::string InfoLog(GLuint object, bool program) {
    GLint length = 0;
    program ? glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length)
            : glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> text(static_cast<size_t>(length > 0 ? length : 1), '\0');
    program ? glGetProgramInfoLog(object, length, nullptr, text.data())
            : glGetShaderInfoLog(object, length, nullptr, text.data());
    return text.data();
}

GLuint Compile(GLenum kind, const std::string& source, std::string* log) {
    const GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        *log += InfoLog(shader, false);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

GLuint LinkProgram(const std::string& vertex, const std::string& fragment, std::string* log) {
    const GLuint vs = Compile(GL_VERTEX_SHADER, vertex, log);
    const GLuint fs = Compile(GL_FRAGMENT_SHADER, fragment, log);
    if (vs == 0 || fs == 0) {
        if (vs != 0) glDeleteShader(vs);
        if (fs != 0) glDeleteShader(fs);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, kPositionLocation, "a_position");
    glBindAttribLocation(program, kNormalLocation, "a_normal");
    glBindAttribLocation(program, kColorLocation, "a_color");
    glBindAttribLocation(program, kTexcoordLocation, "a_texcoord");
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        *log += InfoLog(program, true);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

void FillArrayBuffer(GLsizeiptr* capacity, GLsizeiptr bytes, const void* data, GLenum usage) {
    if (bytes > *capacity) {
        glBufferData(GL_ARRAY_BUFFER, bytes, data, usage);
        *capacity = bytes;
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, data);
    }
}

}  // namespace Platform::D3D9
