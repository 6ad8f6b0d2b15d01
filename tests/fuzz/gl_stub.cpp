// Stand-ins for the few OpenGL calls the scene loader makes while it builds
// textures: a fuzzer has no context, and the parsing around them is what is
// under test. Texture names count up; the maximum size is a common one.
#include <GL/gl.h>

namespace {
GLuint next_texture = 1;
}

extern "C" {
void glGetIntegerv(GLenum pname, GLint* params) {
    if (pname == GL_MAX_TEXTURE_SIZE) *params = 8192;
}
void glGenTextures(GLsizei n, GLuint* textures) {
    for (GLsizei i = 0; i < n; ++i)
        textures[i] = next_texture++;
}
void glDeleteTextures(GLsizei, const GLuint*) {}
void glDeleteLists(GLuint, GLsizei) {}
void glBindTexture(GLenum, GLuint) {}
void glTexParameteri(GLenum, GLenum, GLint) {}
void glPixelStorei(GLenum, GLint) {}
void glPushClientAttrib(GLbitfield) {}
void glPopClientAttrib() {}
// Reads every byte the call would upload, so a short buffer shows up.
void glTexImage2D(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum format, GLenum,
                  const GLvoid* pixels) {
    const int channels = format == GL_RGBA ? 4 : 3;
    const auto* p = static_cast<const volatile unsigned char*>(pixels);
    unsigned sum = 0;
    for (long i = 0; p && i < long(width) * height * channels; ++i)
        sum += p[i];
    (void)sum;
}
}
