// Texture calls the desktop (GL 2 through GLEW) and the page (WebGL 2) make alike: sampling, the
// light volume's storage, tightly packed uploads, the largest picture drawn whole. Included after
// the backend's own GL header, by desktop/, Utils/ and web/ only; texel sizes are whole texels,
// pixel rows have no padding.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <vector>

namespace gltex {

// `filter` for both minifying and magnifying the texture bound to `target`.
inline void setFilter(GLenum target, GLint filter) {
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
}

// A new texture of `target` (2-D or 3-D), left bound on the active unit, `filter` both ways and
// `wrap` along each of its axes.
inline GLuint newTexture(GLenum target, GLint filter, GLint wrap) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(target, texture);
  setFilter(target, filter);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
  if (target == GL_TEXTURE_3D) glTexParameteri(target, GL_TEXTURE_WRAP_R, wrap);
  return texture;
}

// The widest and tallest picture the context draws whole: into a texture (the copy behind the
// glass), a renderbuffer and the viewport.
inline void largestPicture(int& width, int& height) {
  GLint texture = 0, renderbuffer = 0, viewport[2] = {0, 0};
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  width = std::max(1, std::min({texture, renderbuffer, viewport[0]}));
  height = std::max(1, std::min({texture, renderbuffer, viewport[1]}));
}

// Level 0 of the bound 2-D texture from rows of bytes with no padding: the default alignment of
// 4 would read past the end of rows of an odd width. The unpack alignment is as it was after.
inline void uploadPacked(GLint internalFormat, int width, int height, GLenum format,
                         const void* pixels) {
  GLint previous = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE,
               pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previous);
}

// Texels box[0] <= x < box[2], box[1] <= y < box[3] of level 0 of the bound 2-D texture from
// `pixels`, a whole picture of `width` texels a row with no padding, laid out as uploadPacked's;
// the unpack state is as it was after.
inline void replacePackedPart(int width, const int box[4], GLenum format, const void* pixels) {
  GLint previous = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &previous);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, box[0]);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, box[1]);
  glTexSubImage2D(GL_TEXTURE_2D, 0, box[0], box[1], box[2] - box[0], box[3] - box[1], format,
                  GL_UNSIGNED_BYTE, pixels);
  for (const GLenum unpack : {GL_UNPACK_ROW_LENGTH, GL_UNPACK_SKIP_PIXELS, GL_UNPACK_SKIP_ROWS})
    glPixelStorei(unpack, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, previous);
}

// The light volume: one RGBA8 texel per cell, sampled linearly and clamped at the room's edge,
// every texel opaque black; left bound. `target` is GL_TEXTURE_3D (x fastest, then y, then z),
// or GL_TEXTURE_2D_ARRAY, its texels laid out as the caller's programs read them.
inline GLuint newLightVolume(GLenum target, int width, int height, int depth) {
  const GLuint volume = newTexture(target, GL_LINEAR, GL_CLAMP_TO_EDGE);
  const size_t texels = static_cast<size_t>(width) * height * depth;
  std::vector<unsigned char> black(texels * 4, 0);
  for (size_t i = 0; i < texels; ++i) black[i * 4 + 3] = 255;
  glTexImage3D(target, 0, GL_RGBA8, width, height, depth, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               black.data());
  return volume;
}

// The texels of the 3-D `volume` in the box lo <= (x, y, z) < hi from `rgba`, a whole volume of
// sizeX x sizeY texels a layer laid out as newLightVolume's; the unpack state is as it was after.
inline void replaceLightVolumePart(GLuint volume, int sizeX, int sizeY, const int lo[3],
                                   const int hi[3], const void* rgba) {
  glBindTexture(GL_TEXTURE_3D, volume);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, sizeX);
  glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, sizeY);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, lo[0]);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, lo[1]);
  glPixelStorei(GL_UNPACK_SKIP_IMAGES, lo[2]);
  glTexSubImage3D(GL_TEXTURE_3D, 0, lo[0], lo[1], lo[2], hi[0] - lo[0], hi[1] - lo[1],
                  hi[2] - lo[2], GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  for (const GLenum unpack : {GL_UNPACK_ROW_LENGTH, GL_UNPACK_IMAGE_HEIGHT, GL_UNPACK_SKIP_PIXELS,
                              GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_IMAGES})
    glPixelStorei(unpack, 0);
}

}  // namespace gltex
