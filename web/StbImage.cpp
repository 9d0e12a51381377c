// The stb_image decoder of Debian's libstb-dev, built into the page: PNG and JPEG from memory
// only (the page has no files of its own but the preloaded media).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
