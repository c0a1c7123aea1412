// The basic trigger condition language: a conjunction of clauses such as
//   'data[0]' == high && 'valid' == rising edge && 'bus' == 0x0A && 'st' == states.IDLE
// read by the condition scanner and parser, which apply every accepted clause
// to a target (the trigger whose level is being read).
#ifndef TDR_LANG_H
#define TDR_LANG_H

#include <cstddef>
#include <iosfwd>

#include "tdr_data_global_enum.h"

// Answers of TDR_LANG_TARGET::find_trigger_wire_index besides a real index.
enum {
  TDR_LANG_NOT_TRIGGER_WIRE = -1,  // the wire exists but has no trigger-wire index
  TDR_LANG_NO_SUCH_WIRE = -2       // the signal set has no wire of that name
};

// What the parser's clause actions call. The trigger implements it with its
// set_trigger_condition forms, always with write = false so that reading a
// level never rewrites the level's text. Names are never null.
class TDR_LANG_TARGET {
 public:
  virtual ~TDR_LANG_TARGET();

  // The signal set's get_wire(name): the wire's trigger-wire index (>= 0),
  // TDR_LANG_NOT_TRIGGER_WIRE or TDR_LANG_NO_SUCH_WIRE.
  virtual int find_trigger_wire_index(const char* name) = 0;
  // set_trigger_condition(index, level, condition, power_up, false)
  virtual void set_condition_by_index(int trigger_wire_index, int level,
                                      TDR_DATA_TRIGGER_CONDITION condition, bool power_up) = 0;
  // set_trigger_condition(node name, level, condition, power_up, false): buses and groups
  virtual void set_condition_by_node(const char* name, int level,
                                     TDR_DATA_TRIGGER_CONDITION condition, bool power_up) = 0;
  // set_trigger_condition(bus, level, value, power_up, false). `value` is a 32-bit
  // pattern held sign-extended (-2^31 .. 2^31-1); members take its bits from bit 0
  // upwards with a logical shift, so members past bit 31 get low.
  virtual void set_condition_by_value(const char* bus, int level, long value,
                                      bool power_up) = 0;
  // set_trigger_condition(bus, level, symbol, power_up, false): table from the bus node
  virtual void set_condition_by_symbol(const char* bus, int level, const char* symbol,
                                       bool power_up) = 0;
  // set_trigger_condition(bus, level, table, symbol, power_up, false)
  virtual void set_condition_by_table_symbol(const char* bus, int level, const char* table,
                                             const char* symbol, bool power_up) = 0;
};

// Process-wide: every parse sets all three before it starts and they stay set
// afterwards. Condition texts are therefore parsed one at a time.
struct TDR_LANG_PARSE_SETTINGS {
  int level;                 // level index the clauses apply to, from 0
  const char* trigger_name;  // named in the syntax warning; only read during a parse
  bool power_up;             // clauses apply to the power-up conditions
};
extern TDR_LANG_PARSE_SETTINGS tdr_lang_parse_settings;

// Applies the clauses of `text` (null reads as empty) to `target` at `level`.
// Returns false when a syntax error (WTDR_COND_SYNTAX, once) or a fault stopped
// the parse; clauses before that point keep their effect, none after it apply.
// The C-string form ends the text at its first NUL.
bool tdr_lang_parse_condition(const char* text, TDR_LANG_TARGET* target, int level,
                              const char* trigger_name, bool power_up);
// The same over a stream, read to its end (a NUL byte is then an ordinary
// name character; names reach the target as C strings, so they end there).
bool tdr_lang_parse_condition(std::istream& in, TDR_LANG_TARGET* target, int level,
                              const char* trigger_name, bool power_up);

// Numeric value of a number token's digits (prefix removed): the last
// `max_digits` digits accumulated in 32-bit unsigned arithmetic in `radix`
// (2, 8 or 16); a character that is no digit of the radix counts 0.
long tdr_lang_digits_value(const char* digits, unsigned radix, size_t max_digits);
// A decimal token ("-" optional), accumulated in 32-bit unsigned arithmetic.
long tdr_lang_decimal_value(const char* text);

#endif
