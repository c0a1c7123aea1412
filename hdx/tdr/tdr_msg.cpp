// The library's message catalogue.
#include "tdr_msg.h"

#include <cstdarg>

namespace {

template <class M>
M* make(const char* format, int index, std::initializer_list<MSG_ARG> args) {
  M* m = new M(nullptr);
  m->fill_args(format, index, args);
  return m;
}

}  // namespace

namespace MSG_TDR {
namespace E {
MSG_E* SOURCE_GENERIC(const char* file, const char* message) {
  return make<MSG_E>("Corvane software encountered an error while reading Tavrin File %1!s!, "
                     "with message \"%2!s!\"/ETDR_SOURCE_GENERIC",
                     1, {file, message});
}
MSG_E* SOURCE_INVALID_FORMAT() {
  return make<MSG_E>("Tavrin File is not in valid format/ETDR_SOURCE_INVALID_FORMAT", 2, {});
}
}  // namespace E

namespace W {
MSG_W* MISSING_NAME(const char* entity_kind) {
  return make<MSG_W>("Entity \"%1!s!\" doesn't have name/WTDR_MISSING_NAME", 3, {entity_kind});
}
MSG_W* DUPLICATE_NAME(const char* name) {
  return make<MSG_W>("Created entity with duplicate name \"%1!s!\"/WTDR_DUPLICATE_NAME", 4,
                     {name});
}
MSG_W* UNDEFINED_CLK() {
  return make<MSG_W>("Tavrin File requires clock signal/WTDR_UNDEFINED_CLK", 5, {});
}
MSG_W* EMPTY_SIGNAL_SET() {
  return make<MSG_W>("Tavrin File requires signals/WTDR_EMPTY_SIGNAL_SET", 6, {});
}
MSG_W* INVALID_SAMPLE_DEPTH() {
  return make<MSG_W>(
      "Sample depth is not supported -- using default sample depth/WTDR_INVALID_SAMPLE_DEPTH", 7,
      {});
}
MSG_W* DUPLICATE_SYMBOL(const char* symbol, const char* kept, const char* table,
                        const char* ignored) {
  return make<MSG_W>("Symbol \"%1!s!\" has duplicate value \"%2!s!\" in mnemonic table "
                     "\"%3!s!\" -- ignoring new value \"%4!s!\"/WTDR_DUPLICATE_SYMBOL",
                     8, {symbol, kept, table, ignored});
}
MSG_W* INVALID_SIGNAL_REF(const char* signal) {
  return make<MSG_W>("Signal \"%1!s!\" does not exist in Tavrin File/WTDR_INVALID_SIGNAL_REF", 9,
                     {signal});
}
MSG_W* INVALID_BUS_REF(const char* bus, const char* symbol_or_value, const char* trigger) {
  return make<MSG_W>("Trigger condition \"%3!s!\" in Tavrin File contains undefined bus "
                     "\"%1!s!\" with symbol or value \"%2!s!\"/WTDR_INVALID_BUS_REF",
                     10, {bus, symbol_or_value, trigger});
}
MSG_W* INVALID_SYM_TABLE(const char* table) {
  return make<MSG_W>(
      "Mnemonic table \"%1!s!\" does not exist in Tavrin File/WTDR_INVALID_SYM_TABLE", 11,
      {table});
}
MSG_W* INVALID_SYMBOL(const char* symbol, const char* table) {
  return make<MSG_W>(
      "Symbol \"%1!s!\" does not exist in mnemonic table \"%2!s!\"/WTDR_INVALID_SYMBOL", 12,
      {symbol, table});
}
MSG_W* COND_SYNTAX(const char* trigger, int level, const char* token) {
  return make<MSG_W>("Condition expression defined in trigger \"%1!s!\" at level %2!d! "
                     "contains a syntax error -- stopping processing at string "
                     "\"%3!s!\"/WTDR_COND_SYNTAX",
                     13, {trigger, level, token});
}
MSG_W* TRIGGER_NOT_USED(const char* signal, const char* trigger) {
  return make<MSG_W>("Signal \"%1!s!\" exists in signal set and is defined as an input for "
                     "triggering, but advanced trigger conditions in trigger \"%2!s!\" do not "
                     "use the signal/WTDR_TRIGGER_NOT_USED",
                     14, {signal, trigger});
}
}  // namespace W

MSG_D* DEBUG_MSG(const char* format, ...) {
  va_list args;
  va_start(args, format);
  MSG_D* m = new MSG_D("TDR", format, args);
  va_end(args);
  return m;
}

void post(MSG_BASE* message) {
  if (!message) return;
  message->post();
  delete message;
}
}  // namespace MSG_TDR

bool tdr_msg_debug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  bool ok = msg_local_vdebug("TDR", format, args);
  va_end(args);
  return ok;
}
