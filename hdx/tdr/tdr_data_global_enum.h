// Fixed-choice settings of the analyser and their words in session files,
// scripts and printed text. Reading never fails: an unknown word gives a
// per-type default. Every type has a fixed `int` underlying type so that any
// stored number (including out-of-range ones from old files) is a valid value.
#ifndef TDR_DATA_GLOBAL_ENUM_H
#define TDR_DATA_GLOBAL_ENUM_H

#include <string>

// Kind of a tapped signal; bit values, one per signal.
enum TDR_DATA_SIGNAL_TYPE : int {
  TDR_STYPE_UNKNOWN_SIGNAL = 0,
  TDR_STYPE_INPUT_PIN_SIGNAL = 4,
  TDR_STYPE_OUTPUT_PIN_SIGNAL = 8,
  TDR_STYPE_BIDIR_PIN_SIGNAL = 16,
  TDR_STYPE_MEMORY_SIGNAL = 32,
  TDR_STYPE_REGISTER_SIGNAL = 64,
  TDR_STYPE_COMBINATORIAL_SIGNAL = 128,
  TDR_STYPE_STATE_MACHINE_SIGNAL = 1024
};

// What a wire is sampled for.
enum TDR_DATA_WIRE_CAPTURE_TYPE : int {
  TDR_WTYPE_NONE_CAPTURE = 0,
  TDR_WTYPE_DATA_CAPTURE = 1,
  TDR_WTYPE_TRIGGER_CAPTURE = 2,
  TDR_WTYPE_BOTH_CAPTURE = 3
};

// How a wire is tapped.
enum TDR_DATA_WIRE_TAP_MODE : int {
  TDR_MTYPE_CLASSIC_TAP = 0,
  TDR_MTYPE_ADVANCED_TAP = 1,
  TDR_MTYPE_PROBEONLY_TAP = 2
};

// Condition of one signal in a basic trigger level or of a trigger port.
// Values index TDR_DATA_TRIG_CONDITION_STR; valid ones are below INVALID.
enum TDR_DATA_TRIGGER_CONDITION : int {
  TDR_CTYPE_DISABLE_COND = 0,
  TDR_CTYPE_ACTIVE_HIGH_COND = 1,
  TDR_CTYPE_ACTIVE_LOW_COND = 2,
  TDR_CTYPE_HIGH_COND = 3,
  TDR_CTYPE_LOW_COND = 4,
  TDR_CTYPE_RISING_EDGE_COND = 5,
  TDR_CTYPE_FALLING_EDGE_COND = 6,
  TDR_CTYPE_EITHER_EDGE_COND = 7,
  TDR_CTYPE_DONT_CARE_COND = 8,
  TDR_CTYPE_INVALID_COND = 9
};

// Where the trigger lies in the sample buffer.
enum TDR_DATA_TRIGGER_POSITION : int {
  TDR_PTYPE_PRE_POS = 0,
  TDR_PTYPE_CENTER_POS = 1,
  TDR_PTYPE_POST_POS = 2,
  TDR_PTYPE_CONTINUOUS_POS = 3
};

// Acquisition mode.
enum TDR_DATA_TRIGGER_TYPE : int {
  TDR_TTYPE_CIRCULAR_TRIGGER = 0,
  TDR_TTYPE_SEGMENTED_TRIGGER = 1
};

// Display format (radix) of a bus.
enum TDR_DATA_GROUP_DISPLAY_TYPE : int {
  TDR_GTYPE_MNEMONICS_DISPLAY = 0,
  TDR_GTYPE_BIN_DISPLAY = 1,
  TDR_GTYPE_SIGNED_DEC_DISPLAY = 2,
  TDR_GTYPE_SIGN_MAGNITUDE_DEC_DISPLAY = 3,
  TDR_GTYPE_UNSIGNED_DEC_DISPLAY = 4,
  TDR_GTYPE_HEX_DISPLAY = 5,
  TDR_GTYPE_OCT_DISPLAY = 6,
  TDR_GTYPE_ASCII_DISPLAY = 7,
  TDR_GTYPE_BAR_DISPLAY = 8,
  TDR_GTYPE_LINE_DISPLAY = 9,
  TDR_GTYPE_BAR_SIGNED_DISPLAY = 10,
  TDR_GTYPE_LINE_SIGNED_DISPLAY = 11,
  TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY = 12
};

// Bit flags: what a linked bus shares with the bus it is linked to.
enum TDR_DATA_GROUP_LINKING_TYPE : int {
  TDR_LTYPE_NO_LINK = 0,
  TDR_LTYPE_BASIC_LINK = 1,
  TDR_LTYPE_WIRE_ORDER_LINK = 2,
  TDR_LTYPE_RADIX_LINK = 4,
  TDR_LTYPE_BIT_ORDER_LINK = 8,
  TDR_LTYPE_ALL_LINK = 15
};

// Place of a node in a flat node list (never stored in the session file).
enum TDR_DATA_NODE_DISPLAY_TYPE : int {
  TDR_DTYPE_STANDALONE_NODE = 0,
  TDR_DTYPE_EXPAND_GROUP_NODE = 1,
  TDR_DTYPE_COLLAPSE_GROUP_NODE = 2,
  TDR_DTYPE_GROUP_MEMBER_NODE = 3,
  TDR_DTYPE_LAST_GROUP_MEMBER_NODE = 4,
  TDR_DTYPE_INVALID_NODE = 5
};

// RAM block type that holds the sample buffer.
enum TDR_VELARN_RAM_TYPE : int {
  TDR_RTYPE_AUTO_BLOCK = 0,
  TDR_RTYPE_MIDRAM_BLOCK = 1,
  TDR_RTYPE_TINYRAM_BLOCK = 2,
  TDR_RTYPE_GRANDRAM_BLOCK = 3
};

// Type of a user option of a bus mnemonics plug-in.
enum TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE : int {
  TDR_OTYPE_STRING_OPTION = 0,
  TDR_OTYPE_INTEGER_OPTION = 1,
  TDR_OTYPE_FILE_OPTION = 2
};

// Whether a wire of this capture type is sampled for data / for triggering.
inline bool tdr_captures_data(TDR_DATA_WIRE_CAPTURE_TYPE type) {
  return type == TDR_WTYPE_DATA_CAPTURE || type == TDR_WTYPE_BOTH_CAPTURE;
}
inline bool tdr_captures_trigger(TDR_DATA_WIRE_CAPTURE_TYPE type) {
  return type == TDR_WTYPE_TRIGGER_CAPTURE || type == TDR_WTYPE_BOTH_CAPTURE;
}

// Word tables indexed by value. Callers indexing them directly must keep the
// index inside the declared size (e.g. below TDR_CTYPE_INVALID_COND).
extern const char* const TDR_DATA_TRIG_CONDITION_STR[TDR_CTYPE_INVALID_COND];
extern const char* const TDR_DATA_TRIG_POSITION_STR[TDR_PTYPE_CONTINUOUS_POS + 1];
extern const char* const TDR_DATA_TRIGGER_TYPE_STR[TDR_TTYPE_SEGMENTED_TRIGGER + 1];

// Conversions in both directions. Words handed out are constants that live as
// long as the library. A value without a word gives "" for the indexed types,
// "unknown" for signal and capture type, "classic" for tap mode. A null `text`
// reads like an unknown word; a null out-parameter is reported and ignored.
class TDR_DATA_GLOBAL_ENUM {
 public:
  static void convert_enum_to_string(TDR_DATA_SIGNAL_TYPE value, const char** text);
  static void convert_enum_to_string(TDR_DATA_WIRE_CAPTURE_TYPE value, const char** text);
  static void convert_enum_to_string(TDR_DATA_WIRE_TAP_MODE value, const char** text);
  static void convert_enum_to_string(TDR_DATA_TRIGGER_CONDITION value, const char** text);
  static void convert_enum_to_string(TDR_DATA_TRIGGER_POSITION value, const char** text);
  static void convert_enum_to_string(TDR_DATA_TRIGGER_TYPE value, const char** text);
  static void convert_enum_to_string(TDR_DATA_GROUP_DISPLAY_TYPE value, const char** text);
  static void convert_enum_to_string(TDR_DATA_NODE_DISPLAY_TYPE value, const char** text);
  static void convert_enum_to_string(TDR_VELARN_RAM_TYPE value, const char** text);
  static void convert_enum_to_string(TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE value,
                                     const char** text);
  // Replaces the whole content of `text`: "none", "all" or the set flags
  // joined by "|" in the order basic, wire_order, bit_order, radix. Bits
  // above the four flags are dropped.
  static void convert_enum_to_string(TDR_DATA_GROUP_LINKING_TYPE value, std::string* text);

  static void convert_string_to_enum(const char* text, TDR_DATA_SIGNAL_TYPE* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_WIRE_CAPTURE_TYPE* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_WIRE_TAP_MODE* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_TRIGGER_CONDITION* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_TRIGGER_POSITION* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_TRIGGER_TYPE* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_GROUP_DISPLAY_TYPE* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_GROUP_LINKING_TYPE* value);
  static void convert_string_to_enum(const char* text, TDR_DATA_NODE_DISPLAY_TYPE* value);
  static void convert_string_to_enum(const char* text, TDR_VELARN_RAM_TYPE* value);
  static void convert_string_to_enum(const char* text,
                                     TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* value);
};

#endif
