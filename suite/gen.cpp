// Suite C-string utilities.
#include "gen.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

int gen_strcmp(const char* a, const char* b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  return std::strcmp(a, b);
}

int gen_stricmp(const char* a, const char* b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  for (;; ++a, ++b) {
    int ca = std::tolower(static_cast<unsigned char>(*a));
    int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb || !ca) return ca - cb;
  }
}

int gen_strnicmp(const char* a, const char* b, size_t n) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb || !ca) return ca - cb;
  }
  return 0;
}

size_t gen_strlen(const char* s) { return s ? std::strlen(s) : 0; }

char* gen_strcpy(char* dst, const char* src) {
  if (!dst) return dst;
  return std::strcpy(dst, src ? src : "");
}

char* gen_strcat(char* dst, const char* src) {
  if (!dst || !src) return dst;
  return std::strcat(dst, src);
}

int gen_sprintf(char* dst, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vsprintf(dst, format, args);
  va_end(args);
  return n;
}

char* gen_itoa(int value, char* buffer, int base) {
  if (!buffer) return buffer;
  if (base < 2 || base > 36) base = 10;
  char tmp[40];
  int len = 0;
  bool negative = value < 0 && base == 10;
  unsigned int u = negative ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
  do {
    unsigned d = u % unsigned(base);
    tmp[len++] = char(d < 10 ? '0' + d : 'a' + d - 10);
    u /= unsigned(base);
  } while (u);
  char* p = buffer;
  if (negative) *p++ = '-';
  while (len) *p++ = tmp[--len];
  *p = '\0';
  return buffer;
}

unsigned long gen_local_strtoul(const char* s, char** end, int base) {
  if (!s) {
    if (end) *end = nullptr;
    return 0;
  }
  const char* p = s;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (base == 0) {
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) { base = 16; p += 2; }
    else base = 10;
  } else if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
  }
  unsigned long value = 0;
  bool overflow = false;
  const char* start = p;
  for (;; ++p) {
    int c = static_cast<unsigned char>(*p);
    int d = std::isdigit(c) ? c - '0' : std::isalpha(c) ? std::tolower(c) - 'a' + 10 : 99;
    if (d >= base) break;
    if (value > (ULONG_MAX - unsigned(d)) / unsigned(base)) overflow = true;
    if (!overflow) value = value * unsigned(base) + unsigned(d);
  }
  if (end) *end = const_cast<char*>(p == start ? s : p);
  return overflow ? ULONG_MAX : value;
}

char* gen_strdup(const char* s) {
  if (!s) return nullptr;
  size_t n = std::strlen(s) + 1;
  char* copy = new char[n];
  std::memcpy(copy, s, n);
  return copy;
}
