// Image files to 2-D OpenGL textures through DevIL (ilInit must have run). Each load appends two
// lines to "image_out.txt"; rows are uploaded bottom row first, so t = 0 is the picture's bottom.
#pragma once

#include <GL/glew.h>

#include "platform/image/Image.h"

// A texture side of 2048 is within GL_MAX_TEXTURE_SIZE of every driver that offers the frame
// buffer objects the frame needs; 16 MiB holds an uncompressed 2048 x 2048 RGB picture.
constexpr Image::Limits kTextureLimits{2048, 16u << 20, "texture"};

// Linear filtering, GL_REPEAT wrap, env mode GL_REPLACE.
void loadTexture(const char* fileName, GLuint* texture);
// Linear filtering with the caller's wrap (S and T) and env mode; a value GL rejects leaves the
// setting as it was.
void loadTexture(const char* fileName, GLuint* texture, GLint wrapMode, GLenum envMode);
