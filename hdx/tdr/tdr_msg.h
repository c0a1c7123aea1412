// The library's message catalogue, debug lines and internal-error reports.
#ifndef TDR_MSG_H
#define TDR_MSG_H

#include "msg.h"

namespace MSG_TDR {
namespace E {
MSG_E* SOURCE_GENERIC(const char* file, const char* message);
MSG_E* SOURCE_INVALID_FORMAT();
}  // namespace E
namespace W {
MSG_W* MISSING_NAME(const char* entity_kind);
MSG_W* DUPLICATE_NAME(const char* name);
MSG_W* UNDEFINED_CLK();
MSG_W* EMPTY_SIGNAL_SET();
MSG_W* INVALID_SAMPLE_DEPTH();
MSG_W* DUPLICATE_SYMBOL(const char* symbol, const char* kept, const char* table,
                        const char* ignored);
MSG_W* INVALID_SIGNAL_REF(const char* signal);
MSG_W* INVALID_BUS_REF(const char* bus, const char* symbol_or_value, const char* trigger);
MSG_W* INVALID_SYM_TABLE(const char* table);
MSG_W* INVALID_SYMBOL(const char* symbol, const char* table);
MSG_W* COND_SYNTAX(const char* trigger, int level, const char* token);
MSG_W* TRIGGER_NOT_USED(const char* signal, const char* trigger);
}  // namespace W

MSG_D* DEBUG_MSG(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Posts a message built by one of the constructors above, then deletes it.
void post(MSG_BASE* message);
}  // namespace MSG_TDR

bool tdr_msg_debug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Internal-error reports name the failed condition, "TDR", the source file and
// the line. Each source file defines TDR_SOURCE_FILE (e.g. "tdr_data_session").
#define TDR_INTERNAL_ERROR(text) \
  MSG_INTERNAL_ERROR::report((text), "TDR", TDR_SOURCE_FILE, __LINE__)
// Evaluates to `cond`; reports the condition's text when it fails.
#define TDR_CHECK(cond) ((cond) ? true : (TDR_INTERNAL_ERROR(#cond), false))

#endif
