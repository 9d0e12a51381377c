// Image decoding with DevIL: a PNG's image data checked first, then DevIL with the format named,
// forced lower-left origin and conversion to 8-bit RGB. A user's map or texture is untrusted
// input: every result of the library is checked before use.
#include <IL/il.h>

#include <cstdio>

#include "platform/image/Image.h"
#include "platform/image/ImageHeader.h"
#include "platform/image/PngImageData.h"

namespace {

// Clears DevIL's error stack so that a later code belongs to the current call; returns the
// oldest pending code (IL_NO_ERROR when none).
ILenum drainErrors() {
  ILenum first = IL_NO_ERROR;
  for (int guard = 0; guard < 64; ++guard) {
    const ILenum code = ilGetError();
    if (code == IL_NO_ERROR) break;
    if (first == IL_NO_ERROR) first = code;
  }
  return first;
}

std::string decodeFailure(ILenum code) {
  const char* what = "it is not an image DevIL can decode";
  switch (code) {
    case IL_INVALID_EXTENSION:
    case IL_FORMAT_NOT_SUPPORTED: what = "its image format is not supported"; break;
    case IL_INVALID_FILE_HEADER:
    case IL_ILLEGAL_FILE_VALUE:
    case IL_LIB_PNG_ERROR:
    case IL_LIB_JPEG_ERROR:
    case IL_LIB_GIF_ERROR:
    case IL_LIB_TIFF_ERROR: what = "the image data is damaged"; break;
    case IL_FILE_READ_ERROR: what = "reading it failed"; break;
    case IL_OUT_OF_MEMORY: what = "out of memory while decoding it"; break;
    default: break;
  }
  char codeText[32];
  std::snprintf(codeText, sizeof codeText, " (DevIL error 0x%04x)", static_cast<unsigned>(code));
  return std::string(what) + codeText;
}

}  // namespace

bool Image::decodeChecked(const unsigned char* bytes, size_t size, const ImageHeader& header,
                          std::string& error) {
  if (header.format == ImageHeader::Format::Png && !PngImageData::check(bytes, size, header, error))
    return false;

  drainErrors();
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);

  bool ok = false;
  ILenum pending = IL_NO_ERROR;
  const ILenum type = header.format == ImageHeader::Format::Png ? IL_PNG : IL_JPG;
  if (ilLoadL(type, bytes, static_cast<ILuint>(size)) != IL_TRUE ||
      (pending = drainErrors()) != IL_NO_ERROR) {
    error = decodeFailure(pending != IL_NO_ERROR ? pending : drainErrors());
  } else {
    const int w = ilGetInteger(IL_IMAGE_WIDTH);
    const int h = ilGetInteger(IL_IMAGE_HEIGHT);
    const int depth = ilGetInteger(IL_IMAGE_DEPTH);
    if (w != header.width || h != header.height || depth != 1) {
      error = "it decodes to " + std::to_string(w) + " x " + std::to_string(h) + " x " +
              std::to_string(depth) + " pixels, not the " + std::to_string(header.width) +
              " x " + std::to_string(header.height) + " its header gives";
    } else if (ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) != IL_TRUE) {
      error = decodeFailure(drainErrors());
    } else {
      const size_t count = static_cast<size_t>(w) * h * 3;
      const ILubyte* data = ilGetData();
      const bool rgb8 = ilGetInteger(IL_IMAGE_FORMAT) == IL_RGB &&
                        ilGetInteger(IL_IMAGE_TYPE) == IL_UNSIGNED_BYTE &&
                        ilGetInteger(IL_IMAGE_BPP) == 3 && ilGetInteger(IL_IMAGE_WIDTH) == w &&
                        ilGetInteger(IL_IMAGE_HEIGHT) == h &&
                        static_cast<size_t>(ilGetInteger(IL_IMAGE_SIZE_OF_DATA)) >= count;
      if (data == nullptr || !rgb8) {
        error = "it does not convert to 8-bit RGB";
      } else {
        width = w;
        height = h;
        pixels.assign(data, data + count);
        ok = true;
      }
    }
  }

  ilDeleteImages(1, &image);
  ilDisable(IL_ORIGIN_SET);
  drainErrors();
  return ok;
}
