// Suite configuration: a setting is read from the environment variable of the
// same name ("tvf_always_connected=on").
#ifndef H_CFG_H
#define H_CFG_H

#include <string>

// The value of `name`, or `default_value` when unset.
std::string cfg_get_value(const char* name, const char* default_value = "");
int cfg_get_int_value(const char* name, int default_value = 0);
// "on", "true", "yes" and "1" (any case) switch a setting on; anything else off.
bool cfg_is_on(const char* name, bool default_value = false);
// The suite's regression-test switch: the setting "tst_regtest_mode".
bool tst_is_regtest_mode();

// Readers that remember a setting for the life of the process register here;
// tests call cfg_reset_caches() after changing the environment.
typedef void (*CFG_RESET_HOOK)();
void cfg_register_reset_hook(CFG_RESET_HOOK hook);
void cfg_reset_caches();

#endif
