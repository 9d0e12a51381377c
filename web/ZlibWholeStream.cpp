// web/ZlibShim.h: inflate over stb_image's zlib decoder, in one piece into a buffer bounded by the
// caller's first output space plus a margin (a compressed-data bomb costs no more memory than the
// rows it claims to hold); the CRC-32; `compress` in stored blocks.
#include <stb/stb_image.h>
#include <zlib.h>

#include <cstring>
#include <vector>

struct ZlibWholeStream {
  bool decoded = false;
  bool overflow = false;  // the stream holds more than `out`
  std::vector<unsigned char> out;
  size_t delivered = 0;
};

namespace {

// Output beyond the caller's first buffer that is still decoded and handed out.
constexpr size_t kMargin = 64 * 1024;

}  // namespace

int inflateInit(z_stream* stream) {
  stream->state = new ZlibWholeStream();
  stream->msg = nullptr;
  stream->total_in = stream->total_out = 0;
  return Z_OK;
}

int inflate(z_stream* stream, int) {
  ZlibWholeStream* s = stream->state;
  if (s == nullptr) return Z_STREAM_ERROR;
  if (!s->decoded) {
    s->decoded = true;
    s->out.resize(static_cast<size_t>(stream->avail_out) + kMargin);
    const int produced = stbi_zlib_decode_buffer(
        reinterpret_cast<char*>(s->out.data()), static_cast<int>(s->out.size()),
        reinterpret_cast<const char*>(stream->next_in), static_cast<int>(stream->avail_in));
    if (produced < 0) {
      const char* reason = stbi_failure_reason();
      if (reason == nullptr || std::strcmp(reason, "output buffer limit") != 0) {
        stream->msg = reason != nullptr ? reason : "damaged stream";
        return Z_DATA_ERROR;
      }
      s->overflow = true;
    } else {
      s->out.resize(static_cast<size_t>(produced));
    }
  }
  const size_t pending = s->out.size() - s->delivered;
  const size_t copied = pending < stream->avail_out ? pending : stream->avail_out;
  std::memcpy(stream->next_out, s->out.data() + s->delivered, copied);
  s->delivered += copied;
  stream->next_out += copied;
  stream->avail_out -= static_cast<uInt>(copied);
  stream->total_out += copied;
  if (s->delivered < s->out.size()) {
    // More to hand out: keep one input byte so that the caller calls again.
    if (stream->avail_in > 1) {
      stream->total_in += stream->avail_in - 1;
      stream->next_in += stream->avail_in - 1;
      stream->avail_in = 1;
    }
    return Z_OK;
  }
  if (s->overflow) {
    stream->msg = "the stream is longer than its buffer";
    return Z_DATA_ERROR;
  }
  stream->total_in += stream->avail_in;
  stream->next_in += stream->avail_in;
  stream->avail_in = 0;
  return Z_STREAM_END;
}

int inflateEnd(z_stream* stream) {
  delete stream->state;
  stream->state = nullptr;
  return Z_OK;
}

uLong crc32(uLong crc, const Bytef* buf, uInt len) {
  static uLong table[256];
  static const bool filled = [] {
    for (uLong n = 0; n < 256; ++n) {
      uLong c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xedb88320ul ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return true;
  }();
  (void)filled;
  uLong c = crc ^ 0xfffffffful;
  for (uInt i = 0; i < len; ++i) c = table[(c ^ buf[i]) & 0xffu] ^ (c >> 8);
  return c ^ 0xfffffffful;
}

namespace {

constexpr uLong kStoredBlock = 65535;

}  // namespace

uLong compressBound(uLong sourceLen) {
  return 2 + 5 * (sourceLen / kStoredBlock + 1) + sourceLen + 4;
}

int compress(Bytef* dest, uLongf* destLen, const Bytef* source, uLong sourceLen) {
  if (*destLen < compressBound(sourceLen)) return Z_BUF_ERROR;
  Bytef* out = dest;
  *out++ = 0x78;  // deflate, 32 KiB window; 0x7801 is a multiple of 31
  *out++ = 0x01;
  uLong done = 0;
  do {
    const uLong n = sourceLen - done < kStoredBlock ? sourceLen - done : kStoredBlock;
    *out++ = done + n == sourceLen ? 1 : 0;  // stored; the last block sets the final bit
    const Bytef head[4] = {static_cast<Bytef>(n), static_cast<Bytef>(n >> 8),
                           static_cast<Bytef>(~n), static_cast<Bytef>(~n >> 8)};
    std::memcpy(out, head, 4);
    std::memcpy(out + 4, source + done, n);
    out += 4 + n;
    done += n;
  } while (done < sourceLen);
  uLong a = 1, b = 0;  // Adler-32
  for (uLong i = 0; i < sourceLen; ++i) {
    a = (a + source[i]) % 65521;
    b = (b + a) % 65521;
  }
  const Bytef adler[4] = {static_cast<Bytef>(b >> 8), static_cast<Bytef>(b),
                          static_cast<Bytef>(a >> 8), static_cast<Bytef>(a)};
  std::memcpy(out, adler, 4);
  *destLen = static_cast<uLongf>(out + 4 - dest);
  return Z_OK;
}
