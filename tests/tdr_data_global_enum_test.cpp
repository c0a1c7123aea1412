// Included first on purpose: the header must compile on its own.
#include "tdr_data_global_enum.h"

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

// The words are the file format: each value writes its word byte for byte (a
// misspelt word would still round-trip) and reads back from it. Values are
// 0, 1, ... unless given. Unknown words and null read as `fallback` (from a
// start value that differs from it); values out of range write `odd_word`.
template <class E>
void check_enum(const std::vector<const char*>& words, int fallback,
                const std::vector<const char*>& unknown, const std::vector<int>& odd,
                const char* odd_word, std::vector<int> values = {}) {
  for (size_t i = values.size(); i < words.size(); ++i) values.push_back(int(i));
  for (size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(word_of(static_cast<E>(values[i])), words[i]) << values[i];
    EXPECT_EQ(read_word<E>(words[i]), values[i]) << "word \"" << words[i] << "\"";
  }
  const int start = fallback == 0 ? 1 : 0;
  for (const char* other : unknown) EXPECT_EQ(read_word<E>(other, start), fallback) << other;
  EXPECT_EQ(read_word<E>(nullptr, start), fallback);
  for (int v : odd) EXPECT_EQ(word_of(static_cast<E>(v)), odd_word) << v;
}

}  // namespace

TEST_F(TdrTest, EnumSignalTypeWordsAndFirstCharacterReading) {
  check_enum<TDR_DATA_SIGNAL_TYPE>(
      {"unknown", "input pin", "output pin", "bidir pin", "memory", "register", "combinatorial",
       "state machine"},
      TDR_STYPE_UNKNOWN_SIGNAL, {"Register", "x", " input pin", "\xff", ""},
      {1, 2, 3, 12, 256, 512, 2048, -1}, "unknown", {0, 4, 8, 16, 32, 64, 128, 1024});
  // Only the first byte counts, case-sensitively.
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("rubbish"), TDR_STYPE_REGISTER_SIGNAL);
  EXPECT_EQ(read_word<TDR_DATA_SIGNAL_TYPE>("sequential"), TDR_STYPE_STATE_MACHINE_SIGNAL);
}

TEST_F(TdrTest, EnumCaptureTypeReadsOnlyDataAndTrigger) {
  // "none" does not survive a round trip: it reads back as both.
  EXPECT_EQ(word_of(TDR_WTYPE_NONE_CAPTURE), "none");
  check_enum<TDR_DATA_WIRE_CAPTURE_TYPE>({"data", "trigger", "both"}, TDR_WTYPE_BOTH_CAPTURE,
                                         {"none", "x", "", "Data", "Trigger"}, {4, 255, -1},
                                         "unknown", {1, 2, 3});
  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>("dx"), TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(read_word<TDR_DATA_WIRE_CAPTURE_TYPE>("t"), TDR_WTYPE_TRIGGER_CAPTURE);
}

TEST_F(TdrTest, EnumTapModeRamTypeAndOptionTypeFallBacks) {
  check_enum<TDR_DATA_WIRE_TAP_MODE>({"classic", "advanced", "probeonly"}, TDR_MTYPE_CLASSIC_TAP,
                                     {"Advanced", "zzz", "", "c"}, {3, 100, -1}, "classic");
  EXPECT_EQ(read_word<TDR_DATA_WIRE_TAP_MODE>("probe"), TDR_MTYPE_PROBEONLY_TAP);
  // Ram words are whole upper-case words.
  check_enum<TDR_VELARN_RAM_TYPE>({"AUTO", "MIDRAM", "TINYRAM", "GRANDRAM"},
                                  TDR_RTYPE_MIDRAM_BLOCK, {"auto", "tinyram", "M", "", "AUTO "},
                                  {4, -1}, "");
  check_enum<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(
      {"string", "integer", "file"}, TDR_OTYPE_STRING_OPTION, {"int", "File", ""}, {3, -1}, "");
}

TEST_F(TdrTest, EnumTriggerWordsReadBackOrFallBack) {
  check_enum<TDR_DATA_TRIGGER_CONDITION>(
      {"disable", "active high", "active low", "high", "low", "rising edge", "falling edge",
       "either edge", "dont_care"},
      TDR_CTYPE_DONT_CARE_COND,
      {"Disable", "disable ", "dis", "active_high", "dont care", ""}, {9, 1000, -1}, "");
  check_enum<TDR_DATA_TRIGGER_POSITION>({"pre", "center", "post", "continuous"},
                                        TDR_PTYPE_PRE_POS, {"Center", "p", "", "post "},
                                        {4, -1, 1 << 30}, "");
  check_enum<TDR_DATA_TRIGGER_TYPE>({"circular", "segmented"}, TDR_TTYPE_CIRCULAR_TRIGGER,
                                    {"Segmented", "x", "", "c"}, {2, -1}, "");
  EXPECT_EQ(read_word<TDR_DATA_TRIGGER_TYPE>("split"), TDR_TTYPE_SEGMENTED_TRIGGER);
  // A missing out-parameter is reported, both ways.
  using G = TDR_DATA_GLOBAL_ENUM;
  G::convert_enum_to_string(TDR_CTYPE_HIGH_COND, static_cast<const char**>(nullptr));
  G::convert_enum_to_string(TDR_LTYPE_RADIX_LINK, static_cast<std::string*>(nullptr));
  G::convert_string_to_enum("r", static_cast<TDR_DATA_SIGNAL_TYPE*>(nullptr));
  for (const char* condition : {"text != NULL", "text != NULL", "value != NULL"})
    expect_internal_error(condition);
}

TEST_F(TdrTest, EnumGroupAndNodeDisplayTypes) {
  check_enum<TDR_DATA_GROUP_DISPLAY_TYPE>(
      {"mnemonics", "bin", "signed_dec", "sign_magnitude_dec", "unsigned_dec", "hex", "oct",
       "ascii", "bar", "line", "bar_signed", "line_signed", "mnemonics_plug_in"},
      TDR_GTYPE_HEX_DISPLAY, {"Hex", "decimal", "mnemonic", "bar signed", "", "b"},
      {13, 100, -1}, "");
  check_enum<TDR_DATA_NODE_DISPLAY_TYPE>(
      {"standalone", "expand_group", "collapse_group", "group_member", "last_group_member"},
      TDR_DTYPE_INVALID_NODE, {"Standalone", "invalid", "x", ""}, {5, -1}, "");
  // Node display words are read by their first character.
  EXPECT_EQ(read_word<TDR_DATA_NODE_DISPLAY_TYPE>("g"), TDR_DTYPE_GROUP_MEMBER_NODE);
  EXPECT_EQ(read_word<TDR_DATA_NODE_DISPLAY_TYPE>("lonely"), TDR_DTYPE_LAST_GROUP_MEMBER_NODE);
}

TEST_F(TdrTest, EnumLinkingTypeWritesFlagsInFixedOrder) {
  auto link = [](int v) { return static_cast<TDR_DATA_GROUP_LINKING_TYPE>(v); };
  auto read = [](const std::string& text) {
    return read_word<TDR_DATA_GROUP_LINKING_TYPE>(text.c_str());
  };
  // Bits above the four flags are dropped before writing.
  for (const auto& [value, word] :
       {std::pair<int, const char*>{0, "none"}, {15, "all"}, {2, "wire_order"},
        {13, "basic|bit_order|radix"}, {14, "wire_order|bit_order|radix"}, {17, "basic"},
        {-1, "all"}, {-16, "none"}})
    EXPECT_EQ(word_of(link(value)), word) << value;
  for (int v = 0; v < 16; ++v) EXPECT_EQ(read(word_of(link(v))), v) << v;

  // Tokens in any order, repeated or empty; unknown ones ignored; whole and
  // case-sensitive matches only.
  const std::vector<std::pair<const char*, int>> tokens = {
      {"radix|basic", 5}, {"basic|all", 15}, {"none|radix", 4}, {"wire_order||bit_order", 10},
      {"|basic|", 1},     {"||||", 0},       {"", 0},           {"radix|radix", 4},
      {"Basic|RADIX|al|alll|basi|basicc|bit order| radix", 0},  {"junk|bit_order|more junk", 8}};
  for (const auto& [text, value] : tokens) EXPECT_EQ(read(text), value) << text;
  EXPECT_EQ(read_word<TDR_DATA_GROUP_LINKING_TYPE>(nullptr), 0);

  // 64 KiB of unknown tokens, with known ones at both ends and far past any
  // small working buffer; one huge token is not a word even if it starts with one.
  std::string junk;
  while (junk.size() < (1u << 16)) junk += "a|b|";
  std::string huge_token = "radix" + std::string(1 << 16, 'x');
  EXPECT_TRUE(read(junk) == 0 && read("basic|" + junk + "radix") == 5 && read(junk + "all") == 15);
  EXPECT_TRUE(read(huge_token) == 0 && read(huge_token + "|wire_order") == 2);
}
