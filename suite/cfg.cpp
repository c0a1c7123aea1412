// Suite configuration over the process environment.
#include "cfg.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "gen.h"

std::string cfg_get_value(const char* name, const char* default_value) {
  const char* v = name ? std::getenv(name) : nullptr;
  return v ? std::string(v) : std::string(default_value ? default_value : "");
}

int cfg_get_int_value(const char* name, int default_value) {
  const char* v = name ? std::getenv(name) : nullptr;
  if (!v || !*v) return default_value;
  char* end = nullptr;
  long n = std::strtol(v, &end, 10);
  if (end == v || *end != '\0' || n > 2147483647L || n < -2147483647L - 1) return default_value;
  return int(n);
}

bool cfg_is_on(const char* name, bool default_value) {
  const char* v = name ? std::getenv(name) : nullptr;
  if (!v || !*v) return default_value;
  return !strcasecmp(v, "on") || !strcasecmp(v, "true") || !strcasecmp(v, "yes") ||
         !std::strcmp(v, "1");
}

bool tst_is_regtest_mode() { return cfg_is_on("tst_regtest_mode", false); }

static std::vector<CFG_RESET_HOOK>& hooks() {
  static std::vector<CFG_RESET_HOOK> list;
  return list;
}

void cfg_register_reset_hook(CFG_RESET_HOOK hook) {
  for (CFG_RESET_HOOK h : hooks())
    if (h == hook) return;
  hooks().push_back(hook);
}

void cfg_reset_caches() {
  for (CFG_RESET_HOOK h : hooks()) h();
}
