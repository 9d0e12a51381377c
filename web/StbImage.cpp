// stb_image and stb_image_write of Debian's libstb-dev, built into the page: PNG and JPEG decoded
// from memory only, PNG written to memory (the page has no files of its own but its media).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
