// Words of the fixed-choice settings, in both directions.
#define TDR_SOURCE_FILE "tdr_data_global_enum"

#include "tdr_data_global_enum.h"

#include <cstring>

#include "gen.h"
#include "tdr_msg.h"

const char* const TDR_DATA_TRIG_CONDITION_STR[TDR_CTYPE_INVALID_COND] = {
    "disable",      "active high",  "active low",  "high",     "low",
    "rising edge",  "falling edge", "either edge", "dont_care"};

const char* const TDR_DATA_TRIG_POSITION_STR[TDR_PTYPE_CONTINUOUS_POS + 1] = {
    "pre", "center", "post", "continuous"};

const char* const TDR_DATA_TRIGGER_TYPE_STR[TDR_TTYPE_SEGMENTED_TRIGGER + 1] = {"circular",
                                                                                "segmented"};

namespace {

const char* const GROUP_DISPLAY_STR[] = {
    "mnemonics", "bin",        "signed_dec",  "sign_magnitude_dec", "unsigned_dec",
    "hex",       "oct",        "ascii",       "bar",                "line",
    "bar_signed", "line_signed", "mnemonics_plug_in"};

const char* const NODE_DISPLAY_STR[] = {"standalone", "expand_group", "collapse_group",
                                        "group_member", "last_group_member"};

const char* const RAM_TYPE_STR[] = {"AUTO", "MIDRAM", "TINYRAM", "GRANDRAM"};

const char* const OPTION_TYPE_STR[] = {"string", "integer", "file"};

struct SIGNAL_TYPE_WORD {
  TDR_DATA_SIGNAL_TYPE value;
  const char* word;
};

const SIGNAL_TYPE_WORD SIGNAL_TYPE_WORDS[] = {
    {TDR_STYPE_INPUT_PIN_SIGNAL, "input pin"},
    {TDR_STYPE_OUTPUT_PIN_SIGNAL, "output pin"},
    {TDR_STYPE_BIDIR_PIN_SIGNAL, "bidir pin"},
    {TDR_STYPE_MEMORY_SIGNAL, "memory"},
    {TDR_STYPE_REGISTER_SIGNAL, "register"},
    {TDR_STYPE_COMBINATORIAL_SIGNAL, "combinatorial"},
    {TDR_STYPE_STATE_MACHINE_SIGNAL, "state machine"},
};

const char UNKNOWN_WORD[] = "unknown";

// Linking flags in the order they are written.
struct LINK_WORD {
  int flag;
  const char* word;
};
const LINK_WORD LINK_WORDS[] = {
    {TDR_LTYPE_BASIC_LINK, "basic"},
    {TDR_LTYPE_WIRE_ORDER_LINK, "wire_order"},
    {TDR_LTYPE_BIT_ORDER_LINK, "bit_order"},
    {TDR_LTYPE_RADIX_LINK, "radix"},
};

// The word at `index`, or "" when the index lies outside the table.
template <size_t N>
const char* table_word(const char* const (&table)[N], int index) {
  return (index >= 0 && static_cast<size_t>(index) < N) ? table[index] : "";
}

// Index of the first entry equal to `text`, or `fallback`.
template <size_t N>
int table_index(const char* const (&table)[N], const char* text, int fallback) {
  if (!text) return fallback;
  for (size_t i = 0; i < N; ++i) {
    if (gen_strcmp(text, table[i]) == 0) return static_cast<int>(i);
  }
  return fallback;
}

// First byte of the word; a null or empty word has none.
char first_char(const char* text) { return text ? text[0] : '\0'; }

// Stores `word` through `text` unless the out-parameter is missing.
void store(const char* word, const char** text) {
  if (TDR_CHECK(text != NULL)) *text = word;
}

template <class E>
void store(E member, E* value) {
  if (TDR_CHECK(value != NULL)) *value = member;
}

bool token_is(const char* token, size_t length, const char* word) {
  return std::strlen(word) == length && std::memcmp(token, word, length) == 0;
}

}  // namespace

// --- value to word ----------------------------------------------------------

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_SIGNAL_TYPE value,
                                                  const char** text) {
  const char* word = UNKNOWN_WORD;
  for (const SIGNAL_TYPE_WORD& entry : SIGNAL_TYPE_WORDS) {
    if (entry.value == value) {
      word = entry.word;
      break;
    }
  }
  store(word, text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_WIRE_CAPTURE_TYPE value,
                                                  const char** text) {
  const char* word = UNKNOWN_WORD;
  switch (value) {
    case TDR_WTYPE_NONE_CAPTURE: word = "none"; break;
    case TDR_WTYPE_DATA_CAPTURE: word = "data"; break;
    case TDR_WTYPE_TRIGGER_CAPTURE: word = "trigger"; break;
    case TDR_WTYPE_BOTH_CAPTURE: word = "both"; break;
  }
  store(word, text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_WIRE_TAP_MODE value,
                                                  const char** text) {
  const char* word = "classic";
  if (value == TDR_MTYPE_ADVANCED_TAP) {
    word = "advanced";
  } else if (value == TDR_MTYPE_PROBEONLY_TAP) {
    word = "probeonly";
  }
  store(word, text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_TRIGGER_CONDITION value,
                                                  const char** text) {
  store(table_word(TDR_DATA_TRIG_CONDITION_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_TRIGGER_POSITION value,
                                                  const char** text) {
  store(table_word(TDR_DATA_TRIG_POSITION_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_TRIGGER_TYPE value,
                                                  const char** text) {
  store(table_word(TDR_DATA_TRIGGER_TYPE_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_GROUP_DISPLAY_TYPE value,
                                                  const char** text) {
  store(table_word(GROUP_DISPLAY_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_NODE_DISPLAY_TYPE value,
                                                  const char** text) {
  store(table_word(NODE_DISPLAY_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_VELARN_RAM_TYPE value, const char** text) {
  store(table_word(RAM_TYPE_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE value,
                                                  const char** text) {
  store(table_word(OPTION_TYPE_STR, value), text);
}

void TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_GROUP_LINKING_TYPE value,
                                                  std::string* text) {
  if (!TDR_CHECK(text != NULL)) return;
  // Stray high bits would otherwise make a value that names no flag.
  int flags = static_cast<int>(value) & TDR_LTYPE_ALL_LINK;
  if (flags == TDR_LTYPE_NO_LINK) {
    *text = "none";
    return;
  }
  if (flags == TDR_LTYPE_ALL_LINK) {
    *text = "all";
    return;
  }
  text->clear();
  for (const LINK_WORD& entry : LINK_WORDS) {
    if (flags & entry.flag) {
      if (!text->empty()) *text += '|';
      *text += entry.word;
    }
  }
}

// --- word to value ----------------------------------------------------------

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text, TDR_DATA_SIGNAL_TYPE* value) {
  TDR_DATA_SIGNAL_TYPE member = TDR_STYPE_UNKNOWN_SIGNAL;
  switch (first_char(text)) {
    case 'i': member = TDR_STYPE_INPUT_PIN_SIGNAL; break;
    case 'o': member = TDR_STYPE_OUTPUT_PIN_SIGNAL; break;
    case 'b': member = TDR_STYPE_BIDIR_PIN_SIGNAL; break;
    case 'm': member = TDR_STYPE_MEMORY_SIGNAL; break;
    case 'r': member = TDR_STYPE_REGISTER_SIGNAL; break;
    case 'c': member = TDR_STYPE_COMBINATORIAL_SIGNAL; break;
    case 's': member = TDR_STYPE_STATE_MACHINE_SIGNAL; break;
    default: break;
  }
  store(member, value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_WIRE_CAPTURE_TYPE* value) {
  // Only data and trigger are told apart; everything else, "none" included,
  // means sampled for both.
  TDR_DATA_WIRE_CAPTURE_TYPE member = TDR_WTYPE_BOTH_CAPTURE;
  switch (first_char(text)) {
    case 'd': member = TDR_WTYPE_DATA_CAPTURE; break;
    case 't': member = TDR_WTYPE_TRIGGER_CAPTURE; break;
    default: break;
  }
  store(member, value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_WIRE_TAP_MODE* value) {
  TDR_DATA_WIRE_TAP_MODE member = TDR_MTYPE_CLASSIC_TAP;
  switch (first_char(text)) {
    case 'a': member = TDR_MTYPE_ADVANCED_TAP; break;
    case 'p': member = TDR_MTYPE_PROBEONLY_TAP; break;
    default: break;
  }
  store(member, value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_TRIGGER_CONDITION* value) {
  store(static_cast<TDR_DATA_TRIGGER_CONDITION>(
            table_index(TDR_DATA_TRIG_CONDITION_STR, text, TDR_CTYPE_DONT_CARE_COND)),
        value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_TRIGGER_POSITION* value) {
  store(static_cast<TDR_DATA_TRIGGER_POSITION>(
            table_index(TDR_DATA_TRIG_POSITION_STR, text, TDR_PTYPE_PRE_POS)),
        value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_TRIGGER_TYPE* value) {
  store(first_char(text) == 's' ? TDR_TTYPE_SEGMENTED_TRIGGER : TDR_TTYPE_CIRCULAR_TRIGGER,
        value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_GROUP_DISPLAY_TYPE* value) {
  store(static_cast<TDR_DATA_GROUP_DISPLAY_TYPE>(
            table_index(GROUP_DISPLAY_STR, text, TDR_GTYPE_HEX_DISPLAY)),
        value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_GROUP_LINKING_TYPE* value) {
  // Tokens are scanned in place, so a word of any length is read in one pass
  // without a working copy.
  int flags = TDR_LTYPE_NO_LINK;
  const char* cursor = text ? text : "";
  while (*cursor) {
    const char* bar = std::strchr(cursor, '|');
    size_t length = bar ? static_cast<size_t>(bar - cursor) : std::strlen(cursor);
    if (length > 0) {
      if (token_is(cursor, length, "all")) {
        flags = TDR_LTYPE_ALL_LINK;
      } else {
        for (const LINK_WORD& entry : LINK_WORDS) {
          if (token_is(cursor, length, entry.word)) {
            flags |= entry.flag;
            break;
          }
        }
      }
    }
    cursor += length;
    if (*cursor == '|') ++cursor;
  }
  store(static_cast<TDR_DATA_GROUP_LINKING_TYPE>(flags), value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_NODE_DISPLAY_TYPE* value) {
  TDR_DATA_NODE_DISPLAY_TYPE member = TDR_DTYPE_INVALID_NODE;
  switch (first_char(text)) {
    case 's': member = TDR_DTYPE_STANDALONE_NODE; break;
    case 'e': member = TDR_DTYPE_EXPAND_GROUP_NODE; break;
    case 'c': member = TDR_DTYPE_COLLAPSE_GROUP_NODE; break;
    case 'g': member = TDR_DTYPE_GROUP_MEMBER_NODE; break;
    case 'l': member = TDR_DTYPE_LAST_GROUP_MEMBER_NODE; break;
    default: break;
  }
  store(member, value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text, TDR_VELARN_RAM_TYPE* value) {
  store(static_cast<TDR_VELARN_RAM_TYPE>(table_index(RAM_TYPE_STR, text, TDR_RTYPE_MIDRAM_BLOCK)),
        value);
}

void TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text,
                                                  TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* value) {
  store(static_cast<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(
            table_index(OPTION_TYPE_STR, text, TDR_OTYPE_STRING_OPTION)),
        value);
}
