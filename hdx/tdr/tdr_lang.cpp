// Driver and clause actions of the basic trigger condition language.
#define TDR_SOURCE_FILE "tdr_lang"

#include "tdr_lang.h"

#include <cstdint>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tdr_lang_internal.h"
#include "tdr_msg.h"

TDR_LANG_PARSE_SETTINGS tdr_lang_parse_settings = {0, nullptr, false};

TDR_LANG_TARGET::~TDR_LANG_TARGET() {}

namespace {

// Scanner and parser state is process-wide; a parse started from inside a
// clause action would overwrite it.
bool s_parsing = false;

long to_signed32(uint32_t u) {
  return u >= 0x80000000u ? static_cast<long>(u) - 0x100000000L : static_cast<long>(u);
}

unsigned digit_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 0;
}

}  // namespace

long tdr_lang_digits_value(const char* digits, unsigned radix, size_t max_digits) {
  if (!digits) return 0;
  size_t length = std::strlen(digits);
  const char* p = length > max_digits ? digits + (length - max_digits) : digits;
  uint32_t value = 0;
  for (; *p; ++p) {
    unsigned d = digit_value(*p);
    value = value * radix + (d < radix ? d : 0);
  }
  return to_signed32(value);
}

long tdr_lang_decimal_value(const char* text) {
  if (!text) return 0;
  bool negative = *text == '-';
  if (negative) ++text;
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text)
    value = value * 10u + static_cast<uint32_t>(*text - '0');
  return to_signed32(negative ? 0u - value : value);
}

void tdr_lang_apply_condition(TDR_LANG_TARGET* target, const char* name,
                              TDR_DATA_TRIGGER_CONDITION condition) {
  const TDR_LANG_PARSE_SETTINGS& s = tdr_lang_parse_settings;
  int index = target->find_trigger_wire_index(name);
  if (index >= 0)
    target->set_condition_by_index(index, s.level, condition, s.power_up);
  else if (index == TDR_LANG_NO_SUCH_WIRE)
    target->set_condition_by_node(name, s.level, condition, s.power_up);
  // A wire that feeds no trigger takes no condition.
}

void tdr_lang_apply_symbol(TDR_LANG_TARGET* target, const char* name, const char* symbol) {
  const TDR_LANG_PARSE_SETTINGS& s = tdr_lang_parse_settings;
  const char* dot = std::strchr(symbol, '.');
  if (!dot) {
    target->set_condition_by_symbol(name, s.level, symbol, s.power_up);
    return;
  }
  std::string table(symbol, static_cast<size_t>(dot - symbol));
  target->set_condition_by_table_symbol(name, s.level, table.c_str(), dot + 1, s.power_up);
}

void tdr_lang_apply_value(TDR_LANG_TARGET* target, const char* name, long value) {
  const TDR_LANG_PARSE_SETTINGS& s = tdr_lang_parse_settings;
  target->set_condition_by_value(name, s.level, value, s.power_up);
}

void tdr_yyerror(tdr_lang_lexer_yyFlexLexer*, const char*) {
  if (const char* fault = tdr_lang_lexer_fault()) {
    TDR_INTERNAL_ERROR(fault);
    return;
  }
  const TDR_LANG_PARSE_SETTINGS& s = tdr_lang_parse_settings;
  MSG_TDR::post(MSG_TDR::W::COND_SYNTAX(s.trigger_name ? s.trigger_name : "", s.level,
                                        tdr_lang_lexer_token_text()));
}

namespace {

bool start_parse(TDR_LANG_TARGET* target, int level, const char* trigger_name, bool power_up) {
  if (!TDR_CHECK(target != NULL)) return false;
  if (!TDR_CHECK(!s_parsing)) return false;
  tdr_lang_parse_settings.level = level;
  tdr_lang_parse_settings.trigger_name = trigger_name;
  tdr_lang_parse_settings.power_up = power_up;
  s_parsing = true;
  return true;
}

bool run_grammar(std::istream& in, TDR_LANG_TARGET* target) {
  tdr_lang_lexer_reset();
  // Nothing is echoed, but give the scanner an output that goes nowhere.
  std::ostream discard(nullptr);
  bool accepted;
  {
    tdr_lang_lexer_yyFlexLexer scanner(in, discard);
    accepted = tdr_lang_parser_yyparse(&scanner, target) == 0;
  }
  tdr_lang_lexer_reset();
  return accepted;
}

// A clause of the layout the trigger writes: the name's place in the text and
// the level word's condition.
struct WRITTEN_CLAUSE {
  size_t name_at;
  size_t name_length;
  TDR_DATA_TRIGGER_CONDITION condition;
};

// The level words of the grammar, spelt as the trigger writes them.
const TDR_DATA_TRIGGER_CONDITION LEVEL_WORDS[] = {
    TDR_CTYPE_HIGH_COND,         TDR_CTYPE_LOW_COND,         TDR_CTYPE_RISING_EDGE_COND,
    TDR_CTYPE_FALLING_EDGE_COND, TDR_CTYPE_EITHER_EDGE_COND, TDR_CTYPE_DONT_CARE_COND};

bool skip(const char** p, const char* expected, size_t length) {
  if (std::strncmp(*p, expected, length) != 0) return false;
  *p += length;
  return true;
}

// The scanner's blanks.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* skip_blanks(const char* p) {
  while (is_blank(*p)) ++p;
  return p;
}

// Reads `text` when it has exactly the layout the trigger writes a level in
// ('name' == word, joined by " && ", no quote or backslash inside a name; the
// blanks the file's indentation puts around it). Such texts are all that
// opening a session meets, and scanning them token by token costs as much as
// the XML parse of their file; this gives the clauses the grammar would give
// for them. False for any other text (nothing is applied).
bool read_written_form(const char* text, std::vector<WRITTEN_CLAUSE>* clauses) {
  const char* p = skip_blanks(text);
  if (!*p) return true;
  for (;;) {
    if (*p != '\'') return false;
    const char* name = ++p;
    p += std::strcspn(p, "'\\");
    WRITTEN_CLAUSE clause{size_t(name - text), size_t(p - name), TDR_CTYPE_INVALID_COND};
    if (!skip(&p, "' == ", 5)) return false;
    for (TDR_DATA_TRIGGER_CONDITION c : LEVEL_WORDS) {
      // The words start with different letters.
      const char* word = TDR_DATA_TRIG_CONDITION_STR[c];
      if (*p != *word) continue;
      size_t length = std::strlen(word);
      if (std::strncmp(p, word, length) == 0 && (p[length] == '\0' || is_blank(p[length]))) {
        clause.condition = c;
        p += length;
        break;
      }
    }
    if (clause.condition == TDR_CTYPE_INVALID_COND) return false;
    clauses->push_back(clause);
    if (!*skip_blanks(p)) return true;
    if (!skip(&p, " && ", 4)) return false;
  }
}

}  // namespace

bool tdr_lang_parse_condition(std::istream& in, TDR_LANG_TARGET* target, int level,
                              const char* trigger_name, bool power_up) {
  if (!start_parse(target, level, trigger_name, power_up)) return false;
  bool accepted = run_grammar(in, target);
  s_parsing = false;
  return accepted;
}

bool tdr_lang_parse_condition(const char* text, TDR_LANG_TARGET* target, int level,
                              const char* trigger_name, bool power_up) {
  if (!start_parse(target, level, trigger_name, power_up)) return false;
  if (!text) text = "";
  std::vector<WRITTEN_CLAUSE> clauses;
  bool accepted = true;
  if (read_written_form(text, &clauses)) {
    std::string name;
    for (const WRITTEN_CLAUSE& clause : clauses) {
      name.assign(text + clause.name_at, clause.name_length);
      tdr_lang_apply_condition(target, name.c_str(), clause.condition);
    }
  } else {
    std::istringstream in(text);
    accepted = run_grammar(in, target);
  }
  s_parsing = false;
  return accepted;
}
