// GlBaseline: the frame's resting GL state, set in one place and read back for tests.
#include "desktop/GlBaseline.h"

#include <GL/glew.h>

namespace {

void note(std::string& out, bool differs, const char* name) {
  if (!differs) return;
  if (!out.empty()) out += ", ";
  out += name;
}

bool floats(GLenum what, int count, const float* expected) {
  GLfloat value[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glGetFloatv(what, value);
  for (int i = 0; i < count; ++i)
    if (value[i] != expected[i]) return false;
  return true;
}

GLint integer(GLenum what) {
  GLint value = 0;
  glGetIntegerv(what, &value);
  return value;
}

const float kZero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
const float kOne[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float kTexCoordOrigin[4] = {0.0f, 0.0f, 0.0f, 1.0f};
// Where unpacking starts in client memory and how long its rows and images are: 0, tightly packed.
const GLenum kUnpackOffsets[] = {GL_UNPACK_ROW_LENGTH, GL_UNPACK_IMAGE_HEIGHT, GL_UNPACK_SKIP_PIXELS,
                                 GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_IMAGES};

}  // namespace

void GlBaseline::apply(int width, int height) {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  glViewport(0, 0, width, height);
  glUseProgram(0);
  glMatrixMode(GL_MODELVIEW);
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_EXP);
  glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
  glDisable(GL_LIGHTING);
  glDisable(GL_CULL_FACE);
  glActiveTexture(GL_TEXTURE0);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_3D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4fv(kOne);
  glMultiTexCoord4fv(GL_TEXTURE1, kTexCoordOrigin);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_FOG_COORD_ARRAY);
  for (const GLenum unpack : kUnpackOffsets) glPixelStorei(unpack, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

std::string GlBaseline::differences(int width, int height) {
  std::string out;
  note(out, integer(GL_FRAMEBUFFER_BINDING_EXT) != 0, "framebuffer");
  note(out, integer(GL_DRAW_BUFFER) != GL_BACK, "draw buffer");
  note(out, integer(GL_READ_BUFFER) != GL_BACK, "read buffer");
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  note(out, viewport[0] != 0 || viewport[1] != 0 || viewport[2] != width || viewport[3] != height,
       "viewport");
  note(out, integer(GL_CURRENT_PROGRAM) != 0, "program");
  note(out, integer(GL_MATRIX_MODE) != GL_MODELVIEW, "matrix mode");
  note(out, integer(GL_SHADE_MODEL) != GL_SMOOTH, "shade model");
  note(out, !floats(GL_COLOR_CLEAR_VALUE, 4, kZero), "clear colour");
  note(out, !floats(GL_DEPTH_CLEAR_VALUE, 1, kOne), "clear depth");
  note(out, !glIsEnabled(GL_DEPTH_TEST), "depth test");
  note(out, integer(GL_DEPTH_FUNC) != GL_LESS, "depth function");
  note(out, integer(GL_DEPTH_WRITEMASK) != GL_TRUE, "depth mask");
  note(out, glIsEnabled(GL_BLEND), "blend");
  note(out, integer(GL_BLEND_SRC) != GL_ONE || integer(GL_BLEND_DST) != GL_ZERO, "blend function");
  note(out, glIsEnabled(GL_FOG), "fog");
  note(out, integer(GL_FOG_MODE) != GL_EXP, "fog mode");
  note(out, integer(GL_FOG_COORD_SRC) != GL_FRAGMENT_DEPTH, "fog coordinate source");
  note(out, glIsEnabled(GL_LIGHTING), "lighting");
  note(out, glIsEnabled(GL_CULL_FACE), "culling");
  note(out, integer(GL_ACTIVE_TEXTURE) != GL_TEXTURE0, "active texture unit");
  note(out, glIsEnabled(GL_TEXTURE_2D), "2-D texturing");
  note(out, glIsEnabled(GL_TEXTURE_3D), "3-D texturing");
  GLint env = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  note(out, env != GL_MODULATE, "texture environment");
  note(out, !floats(GL_CURRENT_COLOR, 4, kOne), "current colour");
  glActiveTexture(GL_TEXTURE1);
  const bool texCoord = floats(GL_CURRENT_TEXTURE_COORDS, 4, kTexCoordOrigin);
  glActiveTexture(GL_TEXTURE0);
  note(out, !texCoord, "texture coordinate set 1");
  note(out, glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_COLOR_ARRAY) ||
                glIsEnabled(GL_FOG_COORD_ARRAY),
       "client arrays");
  GLint offsets = 0;
  for (const GLenum unpack : kUnpackOffsets) offsets |= integer(unpack);
  note(out, offsets != 0 || integer(GL_UNPACK_ALIGNMENT) != 4, "pixel unpacking");
  note(out, glGetError() != GL_NO_ERROR, "GL error");
  return out;
}
