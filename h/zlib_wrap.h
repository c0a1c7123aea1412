// Suite compression wrappers over zlib's compress/uncompress; 0 on success.
#ifndef H_ZLIB_WRAP_H
#define H_ZLIB_WRAP_H

int zlib_compress(unsigned char* dest, unsigned long* dest_len, const unsigned char* source,
                  unsigned long source_len);
int zlib_uncompress(unsigned char* dest, unsigned long* dest_len, const unsigned char* source,
                    unsigned long source_len);

#endif
