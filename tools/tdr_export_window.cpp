// Windows of an export: a range of samples and the signals patterns pick.
#include "tdr_export_window.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "tdr_waveform.h"

bool parse_window(const std::string& text, int depth, int* first, int* end) {
  size_t colon = text.find(':');
  if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) return false;
  long bounds[2] = {0, long(depth) - 1};
  std::string parts[2] = {text.substr(0, colon), text.substr(colon + 1)};
  for (int i = 0; i < 2; ++i) {
    if (parts[i].empty()) continue;
    char* stop = nullptr;
    errno = 0;
    bounds[i] = std::strtol(parts[i].c_str(), &stop, 10);
    if (*stop || errno || bounds[i] < 0 || bounds[i] > INT_MAX - 1 || !isdigit((unsigned char)parts[i][0]))
      return false;
  }
  if (bounds[0] > bounds[1] || bounds[0] >= depth) return false;
  *first = int(bounds[0]);
  *end = int(std::min(bounds[1] + 1, long(depth)));
  return true;
}

namespace {

bool matches(const std::string& pattern, const std::string& name) {
  return !name.empty() && (pattern == name || fnmatch(pattern.c_str(), name.c_str(), 0) == 0);
}

}  // namespace

bool filter_signals(WAVEFORM* wave, const std::string& list) {
  std::vector<std::string> patterns;
  for (size_t from = 0;;) {
    size_t comma = list.find(',', from);
    patterns.push_back(list.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  std::vector<bool> used(patterns.size(), false);
  std::vector<WAVE_SIGNAL> kept;
  for (const WAVE_SIGNAL& s : wave->signals()) {
    bool keep = false;
    for (size_t p = 0; p < patterns.size(); ++p) {
      if (matches(patterns[p], s.name) || matches(patterns[p], s.other_name)) {
        keep = true;
        used[p] = true;
      }
    }
    if (keep) kept.push_back(s);
  }
  wave->keep_signals(std::move(kept));
  bool all = true;
  for (size_t p = 0; p < patterns.size(); ++p) {
    if (used[p]) continue;
    std::fprintf(stderr, "tdr: warning: pattern '%s' matches no signal\n", patterns[p].c_str());
    all = false;
  }
  return all;
}
