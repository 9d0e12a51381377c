// The part of zlib that the PNG image data check and the tests' PNG writer use, for the browser
// build, which has no zlib: a whole stream inflated in one piece (the browser's decoder joins the
// IDAT chunks into one), and `compress` writing stored (uncompressed) blocks. The build copies it
// as zlib.h into a folder of its include path, where <zlib.h> finds it (web/CMakeLists.txt).
#pragma once

typedef unsigned char Bytef;
typedef unsigned int uInt;
typedef unsigned long uLong;
typedef unsigned long uLongf;

#define Z_OK 0
#define Z_STREAM_END 1
#define Z_STREAM_ERROR (-2)
#define Z_DATA_ERROR (-3)
#define Z_MEM_ERROR (-4)
#define Z_BUF_ERROR (-5)
#define Z_NO_FLUSH 0

struct ZlibWholeStream;

typedef struct z_stream_s {
  Bytef* next_in;
  uInt avail_in;
  uLong total_in;
  Bytef* next_out;
  uInt avail_out;
  uLong total_out;
  const char* msg;
  ZlibWholeStream* state;
} z_stream;

int inflateInit(z_stream* stream);
// The first call inflates all of next_in (it must hold the whole stream) into a buffer of the
// first avail_out plus a margin; that and later calls hand the output out as zlib would, keeping
// the last input byte unconsumed until the output is all delivered (Z_STREAM_END). A stream
// whose output exceeds the buffer yields the buffer and then Z_DATA_ERROR; a damaged one
// Z_DATA_ERROR with msg set.
int inflate(z_stream* stream, int flush);
int inflateEnd(z_stream* stream);

// The CRC-32 of PNG chunks and of zlib's gzip format, continued from `crc`.
uLong crc32(uLong crc, const Bytef* buf, uInt len);
uLong compressBound(uLong sourceLen);
// A valid zlib stream of `source` in stored blocks; Z_BUF_ERROR when *destLen is too small.
int compress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen);
