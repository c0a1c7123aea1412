// Hash support behind CTL_HASH.
#include "ctl_hash.h"

size_t CTL_STL_STRING_OPS::hash(const std::string& key) {
  // FNV-1a: cheap and spreads short names well.
  size_t h = 2166136261u;
  for (unsigned char c : key) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

size_t ctl_hash_50_percent_increase_size(size_t size) {
  size_t n = size + size / 2;
  return n | 1;  // odd counts spread keys better than even ones
}
