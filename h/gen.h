// Suite string utilities over C strings; null-safe where the C library is not.
#ifndef H_GEN_H
#define H_GEN_H

#include <cstddef>

int gen_strcmp(const char* a, const char* b);          // null sorts before ""
int gen_stricmp(const char* a, const char* b);         // ASCII case ignored
int gen_strnicmp(const char* a, const char* b, size_t n);
size_t gen_strlen(const char* s);                      // 0 for null
char* gen_strcpy(char* dst, const char* src);
char* gen_strcat(char* dst, const char* src);
int gen_sprintf(char* dst, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Decimal text of `value` in `buffer` (at least 12 bytes for base 10); returns buffer.
char* gen_itoa(int value, char* buffer, int base = 10);
// strtoul that never reads past the terminator and stops at overflow (ULONG_MAX).
unsigned long gen_local_strtoul(const char* s, char** end, int base);
// A new heap copy (new[]), null for null.
char* gen_strdup(const char* s);

#endif
