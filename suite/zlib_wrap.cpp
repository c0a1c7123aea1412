// Suite compression wrappers.
#include "zlib_wrap.h"

#include <zlib.h>

int zlib_compress(unsigned char* dest, unsigned long* dest_len, const unsigned char* source,
                  unsigned long source_len) {
  if (!dest || !dest_len || (!source && source_len)) return Z_STREAM_ERROR;
  uLongf out = *dest_len;
  int rc = compress(dest, &out, source, source_len);
  *dest_len = out;
  return rc == Z_OK ? 0 : rc;
}

int zlib_uncompress(unsigned char* dest, unsigned long* dest_len, const unsigned char* source,
                    unsigned long source_len) {
  if (!dest || !dest_len || (!source && source_len)) return Z_STREAM_ERROR;
  uLongf out = *dest_len;
  int rc = uncompress(dest, &out, source, source_len);
  *dest_len = out;
  return rc == Z_OK ? 0 : rc;
}
