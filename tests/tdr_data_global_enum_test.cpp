// Included first on purpose: the header must compile on its own.
#include "tdr_data_global_enum.h"

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tdr_test_support.h"

namespace {

template <class E>
std::string word_of(E value) {
  const char* text = "sentinel";
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &text);
  return text ? text : "<null>";
}

std::string word_of(TDR_DATA_GROUP_LINKING_TYPE value) {
  std::string text = "left over from before";
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &text);
  return text;
}

// Reads `text` into a value that starts out as `start`, so a reader that
// forgets to store is caught.
template <class E>
int read_word(const char* text, int start = 12345) {
  E value = static_cast<E>(start);
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(text, &value);
  return static_cast<int>(value);
}

template <class E>
void expect_round_trips(const std::vector<std::pair<E, const char*>>& table) {
  for (const auto& [value, word] : table) {
    EXPECT_EQ(word_of(value), word) << "value " << static_cast<int>(value);
    EXPECT_EQ(read_word<E>(word), static_cast<int>(value)) << "word \"" << word << "\"";
  }
}

}  // namespace

TEST_F(TdrTest, EnumSignalTypeWordsAndFirstCharacterReading) {
  expect_round_trips<TDR_DATA_SIGNAL_TYPE>({{TDR_STYPE_UNKNOWN_SIGNAL, "unknown"},
                                            {TDR_STYPE_INPUT_PIN_SIGNAL, "input pin"},
                                            {TDR_STYPE_OUTPUT_PIN_SIGNAL, "output pin"},
                                            {TDR_STYPE_BIDIR_PIN_SIGNAL, "bidir pin"},
                                            {TDR_STYPE_MEMORY_SIGNAL, "memory"},
                                            {TDR_STYPE_REGISTER_SIGNAL, "register"},
                                            {TDR_STYPE_COMBINATORIAL_SIGNAL, "combinatorial"},
                                            {TDR_STYPE_STATE_MACHINE_SIGNAL, "state machine"}});
  EXPECT_EQ(TDR_STYPE_STATE_MACHINE_SIGNAL, 1024);
  EXPECT_EQ(word_of(static_cast<TDR_DATA_SIGNAL_TYPE>(1024)), "state machine");

  // Only the first byte counts, case-sensitively.
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("r"), TDR_STYPE_REGISTER_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("rubbish"), TDR_STYPE_REGISTER_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("sequential"), TDR_STYPE_STATE_MACHINE_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("Register"), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("x"), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>(" input pin"), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("\xff"), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>(""), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>(nullptr), TDR_STYPE_UNKNOWN_SIGNAL);

  // Anything that is not one of the seven kinds has no word of its own.
  for (int odd : {1, 2, 3, 12, 256, 512, 2048, -1, 4 | 8}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_SIGNAL_TYPE>(odd)), "unknown") << odd;
  }
}

TEST_F(TdrTest, EnumCaptureTypeReadsOnlyDataAndTrigger) {
  EXPECT_EQ(word_of(TDR_WTYPE_NONE_CAPTURE), "none");
  EXPECT_EQ(word_of(TDR_WTYPE_DATA_CAPTURE), "data");
  EXPECT_EQ(word_of(TDR_WTYPE_TRIGGER_CAPTURE), "trigger");
  EXPECT_EQ(word_of(TDR_WTYPE_BOTH_CAPTURE), "both");
  for (int odd : {4, 5, 255, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_WIRE_CAPTURE_TYPE>(odd)), "unknown") << odd;
  }

  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>("data"), TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>("dx"), TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>("trigger"), TDR_WTYPE_TRIGGER_CAPTURE);
  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>("t"), TDR_WTYPE_TRIGGER_CAPTURE);
  // "none" does not survive a round trip: it reads back as both.
  for (const char* other : {"none", "both", "x", "", "Data", "Trigger"}) {
    EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>(other), TDR_WTYPE_BOTH_CAPTURE) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>(nullptr), TDR_WTYPE_BOTH_CAPTURE);
}

TEST_F(TdrTest, EnumTapModeFallsBackToClassic) {
  expect_round_trips<TDR_DATA_WIRE_TAP_MODE>({{TDR_MTYPE_CLASSIC_TAP, "classic"},
                                              {TDR_MTYPE_ADVANCED_TAP, "advanced"},
                                              {TDR_MTYPE_PROBEONLY_TAP, "probeonly"}});
  for (int odd : {3, 7, 100, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_WIRE_TAP_MODE>(odd)), "classic") << odd;
  }
  EXPECT_EQ(read_word<TDR_DATA_WIRE_TAP_MODE>("a"), TDR_MTYPE_ADVANCED_TAP);
  EXPECT_EQ(read_word<TDR_DATA_WIRE_TAP_MODE>("probe"), TDR_MTYPE_PROBEONLY_TAP);
  for (const char* other : {"Advanced", "Probeonly", "zzz", "", "c"}) {
    EXPECT_EQ(read_word<TDR_DATA_WIRE_TAP_MODE>(other), TDR_MTYPE_CLASSIC_TAP) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_WIRE_TAP_MODE>(nullptr), TDR_MTYPE_CLASSIC_TAP);
}

TEST_F(TdrTest, EnumTriggerConditionWholeWords) {
  const std::vector<std::pair<TDR_DATA_TRIGGER_CONDITION, const char*>> table = {
      {TDR_CTYPE_DISABLE_COND, "disable"},
      {TDR_CTYPE_ACTIVE_HIGH_COND, "active high"},
      {TDR_CTYPE_ACTIVE_LOW_COND, "active low"},
      {TDR_CTYPE_HIGH_COND, "high"},
      {TDR_CTYPE_LOW_COND, "low"},
      {TDR_CTYPE_RISING_EDGE_COND, "rising edge"},
      {TDR_CTYPE_FALLING_EDGE_COND, "falling edge"},
      {TDR_CTYPE_EITHER_EDGE_COND, "either edge"},
      {TDR_CTYPE_DONT_CARE_COND, "dont_care"}};
  expect_round_trips(table);
  ASSERT_EQ(std::size(TDR_DATA_TRIG_CONDITION_STR), 9u);
  EXPECT_EQ(TDR_CTYPE_INVALID_COND, 9);
  for (const auto& [value, word] : table) {
    EXPECT_STREQ(TDR_DATA_TRIG_CONDITION_STR[value], word);
    // The converter hands out the exported table's own words.
    const char* text = nullptr;
    TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &text);
    EXPECT_EQ(text, TDR_DATA_TRIG_CONDITION_STR[value]);
  }

  for (const char* other : {"Disable", "disable ", "dis", "active_high", "don't care",
                            "dont care", "", "x"}) {
    EXPECT_EQ(read_word<TDR_DATA_TRIGGER_CONDITION>(other), TDR_CTYPE_DONT_CARE_COND) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_TRIGGER_CONDITION>(nullptr), TDR_CTYPE_DONT_CARE_COND);
  // The end marker and beyond have no word.
  for (int odd : {9, 10, 1000, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_TRIGGER_CONDITION>(odd)), "") << odd;
  }
}

TEST_F(TdrTest, EnumTriggerPositionAndType) {
  const std::vector<std::pair<TDR_DATA_TRIGGER_POSITION, const char*>> positions = {
      {TDR_PTYPE_PRE_POS, "pre"},
      {TDR_PTYPE_CENTER_POS, "center"},
      {TDR_PTYPE_POST_POS, "post"},
      {TDR_PTYPE_CONTINUOUS_POS, "continuous"}};
  expect_round_trips(positions);
  ASSERT_EQ(std::size(TDR_DATA_TRIG_POSITION_STR), 4u);
  for (const auto& [value, word] : positions) {
    EXPECT_STREQ(TDR_DATA_TRIG_POSITION_STR[value], word);
  }
  for (const char* other : {"Center", "centre", "p", "", "post "}) {
    EXPECT_EQ(read_word<TDR_DATA_TRIGGER_POSITION>(other), TDR_PTYPE_PRE_POS) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_TRIGGER_POSITION>(nullptr), TDR_PTYPE_PRE_POS);
  for (int odd : {4, 5, -1, 1 << 30}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_TRIGGER_POSITION>(odd)), "") << odd;
  }

  const std::vector<std::pair<TDR_DATA_TRIGGER_TYPE, const char*>> types = {
      {TDR_TTYPE_CIRCULAR_TRIGGER, "circular"}, {TDR_TTYPE_SEGMENTED_TRIGGER, "segmented"}};
  expect_round_trips(types);
  ASSERT_EQ(std::size(TDR_DATA_TRIGGER_TYPE_STR), 2u);
  EXPECT_STREQ(TDR_DATA_TRIGGER_TYPE_STR[0], "circular");
  EXPECT_STREQ(TDR_DATA_TRIGGER_TYPE_STR[1], "segmented");
  EXPECT_EQ(read_word<TDR_DATA_TRIGGER_TYPE>("s"), TDR_TTYPE_SEGMENTED_TRIGGER);
  EXPECT_EQ(read_word<TDR_DATA_TRIGGER_TYPE>("split"), TDR_TTYPE_SEGMENTED_TRIGGER);
  for (const char* other : {"Segmented", "x", "", "c"}) {
    EXPECT_EQ(read_word<TDR_DATA_TRIGGER_TYPE>(other), TDR_TTYPE_CIRCULAR_TRIGGER) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_TRIGGER_TYPE>(nullptr), TDR_TTYPE_CIRCULAR_TRIGGER);
  for (int odd : {2, 3, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_TRIGGER_TYPE>(odd)), "") << odd;
  }
}

TEST_F(TdrTest, EnumGroupDisplayTypeDefaultsToHex) {
  expect_round_trips<TDR_DATA_GROUP_DISPLAY_TYPE>(
      {{TDR_GTYPE_MNEMONICS_DISPLAY, "mnemonics"},
       {TDR_GTYPE_BIN_DISPLAY, "bin"},
       {TDR_GTYPE_SIGNED_DEC_DISPLAY, "signed_dec"},
       {TDR_GTYPE_SIGN_MAGNITUDE_DEC_DISPLAY, "sign_magnitude_dec"},
       {TDR_GTYPE_UNSIGNED_DEC_DISPLAY, "unsigned_dec"},
       {TDR_GTYPE_HEX_DISPLAY, "hex"},
       {TDR_GTYPE_OCT_DISPLAY, "oct"},
       {TDR_GTYPE_ASCII_DISPLAY, "ascii"},
       {TDR_GTYPE_BAR_DISPLAY, "bar"},
       {TDR_GTYPE_LINE_DISPLAY, "line"},
       {TDR_GTYPE_BAR_SIGNED_DISPLAY, "bar_signed"},
       {TDR_GTYPE_LINE_SIGNED_DISPLAY, "line_signed"},
       {TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY, "mnemonics_plug_in"}});
  // A start value other than hex shows the default is really stored.
  EXPECT_EQ(read_word<TDR_DATA_GROUP_DISPLAY_TYPE>("Hex", TDR_GTYPE_BIN_DISPLAY),
            TDR_GTYPE_HEX_DISPLAY);
  for (const char* other : {"HEX", "decimal", "mnemonic", "bar signed", "", "b"}) {
    EXPECT_EQ(read_word<TDR_DATA_GROUP_DISPLAY_TYPE>(other, 0), TDR_GTYPE_HEX_DISPLAY) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_GROUP_DISPLAY_TYPE>(nullptr, 0), TDR_GTYPE_HEX_DISPLAY);
  for (int odd : {13, 14, 100, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_GROUP_DISPLAY_TYPE>(odd)), "") << odd;
  }
}

TEST_F(TdrTest, EnumNodeDisplayTypeFirstCharacter) {
  expect_round_trips<TDR_DATA_NODE_DISPLAY_TYPE>(
      {{TDR_DTYPE_STANDALONE_NODE, "standalone"},
       {TDR_DTYPE_EXPAND_GROUP_NODE, "expand_group"},
       {TDR_DTYPE_COLLAPSE_GROUP_NODE, "collapse_group"},
       {TDR_DTYPE_GROUP_MEMBER_NODE, "group_member"},
       {TDR_DTYPE_LAST_GROUP_MEMBER_NODE, "last_group_member"}});
  EXPECT_EQ(read_word<TDR_DATA_NODE_DISPLAY_TYPE>("g"), TDR_DTYPE_GROUP_MEMBER_NODE);
  EXPECT_EQ(read_word<TDR_DATA_NODE_DISPLAY_TYPE>("lonely"), TDR_DTYPE_LAST_GROUP_MEMBER_NODE);
  for (const char* other : {"Standalone", "invalid", "x", ""}) {
    EXPECT_EQ(read_word<TDR_DATA_NODE_DISPLAY_TYPE>(other), TDR_DTYPE_INVALID_NODE) << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_NODE_DISPLAY_TYPE>(nullptr), TDR_DTYPE_INVALID_NODE);
  for (int odd : {5, 6, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_NODE_DISPLAY_TYPE>(odd)), "") << odd;
  }
}

TEST_F(TdrTest, EnumRamTypeIsUpperCaseAndDefaultsToMidram) {
  expect_round_trips<TDR_VELARN_RAM_TYPE>({{TDR_RTYPE_AUTO_BLOCK, "AUTO"},
                                           {TDR_RTYPE_MIDRAM_BLOCK, "MIDRAM"},
                                           {TDR_RTYPE_TINYRAM_BLOCK, "TINYRAM"},
                                           {TDR_RTYPE_GRANDRAM_BLOCK, "GRANDRAM"}});
  for (const char* other : {"auto", "Auto", "tinyram", "M", "", "AUTO "}) {
    EXPECT_EQ(read_word<TDR_VELARN_RAM_TYPE>(other, 0), TDR_RTYPE_MIDRAM_BLOCK) << other;
  }
  EXPECT_EQ(read_word<TDR_VELARN_RAM_TYPE>(nullptr, 0), TDR_RTYPE_MIDRAM_BLOCK);
  for (int odd : {4, 9, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_VELARN_RAM_TYPE>(odd)), "") << odd;
  }
}

TEST_F(TdrTest, EnumPluginOptionType) {
  expect_round_trips<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(
      {{TDR_OTYPE_STRING_OPTION, "string"},
       {TDR_OTYPE_INTEGER_OPTION, "integer"},
       {TDR_OTYPE_FILE_OPTION, "file"}});
  for (const char* other : {"int", "File", "path", ""}) {
    EXPECT_EQ(read_word<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(other), TDR_OTYPE_STRING_OPTION)
        << other;
  }
  EXPECT_EQ(read_word<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(nullptr), TDR_OTYPE_STRING_OPTION);
  for (int odd : {3, 4, -1}) {
    EXPECT_EQ(word_of(static_cast<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(odd)), "") << odd;
  }
}

TEST_F(TdrTest, EnumLinkingTypeWritesFlagsInFixedOrder) {
  auto link = [](int v) { return static_cast<TDR_DATA_GROUP_LINKING_TYPE>(v); };
  EXPECT_EQ(word_of(TDR_LTYPE_NO_LINK), "none");
  EXPECT_EQ(word_of(TDR_LTYPE_ALL_LINK), "all");
  EXPECT_EQ(word_of(TDR_LTYPE_BASIC_LINK), "basic");
  EXPECT_EQ(word_of(TDR_LTYPE_WIRE_ORDER_LINK), "wire_order");
  EXPECT_EQ(word_of(TDR_LTYPE_RADIX_LINK), "radix");
  EXPECT_EQ(word_of(TDR_LTYPE_BIT_ORDER_LINK), "bit_order");
  EXPECT_EQ(word_of(link(6)), "wire_order|radix");
  EXPECT_EQ(word_of(link(13)), "basic|bit_order|radix");
  EXPECT_EQ(word_of(link(14)), "wire_order|bit_order|radix");
  EXPECT_EQ(word_of(link(5)), "basic|radix");

  // Bits above the four flags are dropped before writing.
  EXPECT_EQ(word_of(link(16)), "none");
  EXPECT_EQ(word_of(link(17)), "basic");
  EXPECT_EQ(word_of(link(16 | 15)), "all");
  EXPECT_EQ(word_of(link(-1)), "all");
  EXPECT_EQ(word_of(link(-16)), "none");

  // Every value in range survives a round trip.
  for (int v = 0; v < 16; ++v) {
    std::string text = word_of(link(v));
    EXPECT_EQ(read_word<TDR_DATA_GROUP_LINKING_TYPE>(text.c_str()), v) << text;
  }
}

TEST_F(TdrTest, EnumLinkingTypeReadsTokens) {
  auto read = [](const char* text) { return read_word<TDR_DATA_GROUP_LINKING_TYPE>(text); };
  EXPECT_EQ(read("basic|radix"), 5);
  EXPECT_EQ(word_of(static_cast<TDR_DATA_GROUP_LINKING_TYPE>(read("radix|basic"))),
            "basic|radix");
  EXPECT_EQ(read("all|basic"), 15);
  EXPECT_EQ(read("basic|all"), 15);
  EXPECT_EQ(read("all"), 15);
  EXPECT_EQ(read("none"), 0);
  EXPECT_EQ(read("none|radix"), 4);
  EXPECT_EQ(read("wire_order||bit_order"), 10);
  EXPECT_EQ(read("|basic|"), 1);
  EXPECT_EQ(read("||||"), 0);
  EXPECT_EQ(read("|"), 0);
  EXPECT_EQ(read(""), 0);
  EXPECT_EQ(read(nullptr), 0);
  EXPECT_EQ(read("radix|radix"), 4);
  // Tokens match whole and case-sensitively; unknown ones are ignored.
  EXPECT_EQ(read("Basic|RADIX|al|alll|basi|basicc|bit order| radix"), 0);
  EXPECT_EQ(read("junk|bit_order|more junk"), 8);
}

TEST_F(TdrTest, EnumLinkingTypeReadsVeryLongWords) {
  auto read = [](const std::string& text) {
    return read_word<TDR_DATA_GROUP_LINKING_TYPE>(text.c_str());
  };
  // A megabyte of unknown tokens, with known ones at both ends and far past
  // any small working buffer.
  std::string junk;
  junk.reserve(1 << 20);
  while (junk.size() < (1u << 20)) junk += "a|b|";
  EXPECT_EQ(read(junk), 0);
  EXPECT_EQ(read("basic|" + junk + "radix"), 5);
  EXPECT_EQ(read(junk + "bit_order"), 8);
  EXPECT_EQ(read(junk + "all"), 15);

  // One huge token is not a word, even if it starts with one.
  std::string huge_token = "radix" + std::string(1 << 20, 'x');
  EXPECT_EQ(read(huge_token), 0);
  EXPECT_EQ(read(huge_token + "|wire_order"), 2);

  // Nothing but separators.
  EXPECT_EQ(read(std::string(1 << 20, '|')), 0);
}

TEST_F(TdrTest, EnumWordsAreStableConstants) {
  const char* first = nullptr;
  const char* second = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_GTYPE_HEX_DISPLAY, &first);
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_GTYPE_HEX_DISPLAY, &second);
  EXPECT_EQ(first, second);
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_PTYPE_POST_POS, &first);
  EXPECT_EQ(first, TDR_DATA_TRIG_POSITION_STR[TDR_PTYPE_POST_POS]);
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_TTYPE_SEGMENTED_TRIGGER, &first);
  EXPECT_EQ(first, TDR_DATA_TRIGGER_TYPE_STR[TDR_TTYPE_SEGMENTED_TRIGGER]);
}

TEST_F(TdrTest, EnumMissingOutParameterIsReported) {
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_CTYPE_HIGH_COND,
                                               static_cast<const char**>(nullptr));
  expect_internal_error("text != nullptr");
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_LTYPE_RADIX_LINK,
                                               static_cast<std::string*>(nullptr));
  expect_internal_error("text != nullptr");
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum("radix",
                                               static_cast<TDR_DATA_GROUP_LINKING_TYPE*>(nullptr));
  expect_internal_error("value != nullptr");
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum("AUTO", static_cast<TDR_VELARN_RAM_TYPE*>(nullptr));
  expect_internal_error("value != nullptr");
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum("r", static_cast<TDR_DATA_SIGNAL_TYPE*>(nullptr));
  expect_internal_error("value != nullptr");
}
