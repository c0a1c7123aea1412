// Trigger fingerprint: the two CRCs against published check values and hand
// results, the composed texts byte for byte, every power-up condition code,
// the version table, the two word layouts (against reference CRCs of the
// expected texts), which half a change moves, and the cached attribute
// through save and reload.
#include <string>

#include "tci.h"
#include "tdr_data_trigger_test_support.h"

namespace {

typedef TDR_DATA_TRIGGER T;
typedef void (T::*CONST_TEXT)(std::string&) const;
typedef void (T::*TEXT)(std::string&);
const CONST_TEXT V12 = &T::compose_critical_crc_string_V1_V2;
const CONST_TEXT NON_CRITICAL = &T::compose_non_critical_crc_string_V1_V2_V3;
const CONST_TEXT INCREMENTAL = &T::compose_non_critical_incremental_crc_string_V1_V2_V3;
const CONST_TEXT NON_INCREMENTAL = &T::compose_non_critical_non_incremental_crc_string_V1_V2_V3;
const TEXT V3 = &T::compose_critical_crc_string_V3;
const TEXT V4 = &T::compose_critical_crc_string_V4;

// A composed text, starting from an empty string.
template <typename COMPOSE>
std::string text(T* t, COMPOSE compose) {
  std::string s;
  (t->*compose)(s);
  return s;
}
// The data and trigger wires of the shared session, as the name texts list them.
const std::string WIRES = "^a;c;x;^a;b;c;d0;d1;d2;d3;^";
std::string hex(unsigned long word) {
  char out[16];
  std::snprintf(out, sizeof out, "%lX", word);
  return out;
}
std::string crc_attr(T* t) { return tdr_get_attr(t->get_dom_node(), TDR_X("CRC")); }
bool has_crc_attr(T* t) { return tdr_has_attr(t->get_dom_node(), TDR_X("CRC")); }

// One instance "i", one set "s" with clock "clk", the given wires and config.
std::string small_session(const std::string& config, const std::string& trigger_wires,
                          const std::string& data_wires, const std::string& triggers) {
  return "<session><instance name=\"i\"><signal_set name=\"s\"><clock name=\"clk\"/>" + config +
         "<signal_vec><trigger_input_vec>" + trigger_wires + "</trigger_input_vec><data_input_vec>" +
         data_wires + "</data_input_vec></signal_vec>" + triggers +
         "</signal_set></instance></session>";
}

class CrcTest : public TriggerTest {
 protected:
  void set_version(unsigned char version, unsigned char inferred = 255) {
    TDR_DATA_INSTANCE_INFO info = instance()->get_node_info();
    info.version = version;
    info.inferred_version = inferred;
    info.node_id = 0;
    instance()->set_node_info(info);
  }
  // Two basic levels on the shared session, version 1.
  T* two_levels() {
    open_triggers("<trigger name=\"t\"><events><level/><level/></events></trigger>");
    set_version(1);
    return trigger();
  }
};

}  // namespace

TEST_F(CrcTest, SixteenAndEightBitCrcsGiveTheCheckValues) {
  // Known values, met by the library and by the tests' reference alike.
  const struct {
    const char* text;
    unsigned long crc16, crc8;
  } checks[] = {{"abc", 0x5749, 0xEC}, {"123456789", 0x4B37, 0xC2}, {"", 0xFFFF, 0xFF}};
  for (const auto& c : checks) {
    EXPECT_EQ(T::calculate_16_bit_crc_from_string(c.text), c.crc16) << c.text;
    EXPECT_EQ(T::calculate_8_bit_crc_from_string(c.text), c.crc8) << c.text;
    EXPECT_EQ(ref_crc16(c.text), c.crc16) << c.text;
    EXPECT_EQ(ref_crc8(c.text), c.crc8) << c.text;
  }

  // One bit by hand: 1 matches the register's low bit (shift only), 0 does not.
  const unsigned char one = 0x01, two = 0x02, zero = 0x00;
  EXPECT_EQ(T::calculate_16_bit_crc(&one, 0, 1), 0x7FFF);
  EXPECT_EQ(T::calculate_16_bit_crc(&zero, 0, 1), 0xDFFE);
  EXPECT_EQ(T::calculate_8_bit_crc(&one, 0, 1), 0x7F);
  EXPECT_EQ(T::calculate_8_bit_crc(&zero, 0, 1), 0xF7);
  // Bits are taken from the least significant end of each byte, from `first_bit`.
  EXPECT_EQ(T::calculate_16_bit_crc(&two, 1, 1), 0x7FFF);
  EXPECT_EQ(T::calculate_8_bit_crc(&two, 0, 1), 0xF7);
  const unsigned char* xabc = reinterpret_cast<const unsigned char*>("xabc");
  EXPECT_EQ(T::calculate_16_bit_crc(xabc, 8, 24), 0x5749);
  EXPECT_EQ(T::calculate_8_bit_crc(xabc, 8, 24), 0xEC);
  EXPECT_EQ(T::calculate_16_bit_crc(xabc, 8, 0), 0xFFFF);
}

TEST_F(CrcTest, CriticalTextV1V2HasSixFieldsFromTheSetAndV3AddsAdvancedTexts) {
  T* t = two_levels();
  set()->set_reserved_trigger_node_size(8);
  set()->set_reserved_data_node_size(16);
  set()->enable_trigger_out(true);
  EXPECT_EQ(text(t, V12), "8|16|2|128|N|Y");
  set()->enable_trigger_in(true);
  set()->enable_trigger_out(false);
  set()->set_reserved_trigger_node_size(0);
  set()->set_reserved_data_node_size(0);
  set()->set_sample_depth(4096);
  t->append_new_level(true);
  std::string s = "keep:";  // appends, never clears
  t->compose_critical_crc_string_V1_V2(s);
  EXPECT_EQ(s, "keep:7|3|3|4096|Y|N");

  // V3 appends each level's advanced text; a basic level compiles to nothing.
  t = two_levels();
  t->set_trigger_level_cond_expr_type(1, false);
  ASSERT_TRUE(t->set_advanced_trigger_expression(1, "a && B", false));
  std::string level1 = t->get_advanced_trigger_crc_string(1);
  ASSERT_FALSE(level1.empty());
  EXPECT_STREQ(t->get_advanced_trigger_crc_string(0), "");
  EXPECT_EQ(text(t, V3), "7|3|2|128|N|N" + level1);
}

TEST_F(CrcTest, NonCriticalTextsListWireNamesByTapMode) {
  open_text(small_session("<config sample_depth=\"128\"/>", "<wire name=\"a\" alias=\"A1\"/>",
                          "<wire name=\"a\"/><wire name=\"b\"/>",
                          "<trigger name=\"t\"><events><level/></events></trigger>"));
  T* t = trigger();
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^a;b;^a;^");  // names, never aliases
  EXPECT_EQ(text(t, NON_INCREMENTAL), "clk^a;b;^a;^");
  EXPECT_EQ(text(t, INCREMENTAL), "^^");
  EXPECT_FALSE(t->is_using_incremental_route());
  set()->enable_trigger_in(true);
  set()->set_trigger_in_node("tin");
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^a;b;^a;^tin^");
  set()->enable_trigger_out(true);
  set()->set_trigger_out_node("tout");
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^a;b;^a;^tin^tout");
  set()->set_trigger_in_node("");  // an empty name is no node
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^a;b;^a;^tout");
  set()->set_trigger_in_node("tin");
  set()->enable_trigger_in(false);
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^a;b;^a;^tout");

  set()->get_data_wire_at(1)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_TRUE(t->is_using_incremental_route());
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^a;^a;^tout");
  EXPECT_EQ(text(t, INCREMENTAL), "b;^^");
  // "a" is one wire in both lists: its tap mode moves it in both.
  set()->get_trigger_wire_at(0)->set_tap_mode(TDR_MTYPE_PROBEONLY_TAP);
  EXPECT_EQ(text(t, NON_CRITICAL), "clk^^^tout");
  EXPECT_EQ(text(t, INCREMENTAL), "a;b;^a;^");
  EXPECT_EQ(text(t, NON_INCREMENTAL), "clk^a;b;^a;^tout");
}

TEST_F(CrcTest, CriticalTextV4DescribesThePowerUpTrigger) {
  T* t = two_levels();
  t->append_new_level(true);
  t->set_trigger_level_cond_expr_type(1, false);
  ASSERT_TRUE(t->set_advanced_trigger_expression(1, "rising(c)", true));
  ASSERT_TRUE(t->set_trigger_condition(0, 0, TDR_CTYPE_HIGH_COND, true, true));
  ASSERT_TRUE(t->set_trigger_condition(1, 0, TDR_CTYPE_RISING_EDGE_COND, true, true));
  ASSERT_TRUE(t->set_trigger_condition(6, 2, TDR_CTYPE_DISABLE_COND, true, true));
  ASSERT_TRUE(t->set_trigger_condition(5, 2, TDR_CTYPE_ACTIVE_LOW_COND, true, true));
  // Normal-side settings are runtime settings and take no part.
  ASSERT_TRUE(t->set_trigger_condition(2, 0, TDR_CTYPE_LOW_COND, false, true));
  t->set_trigger_level_enabled(2, false, true);
  t->set_power_up_mode(true);
  std::string adv = t->get_advanced_trigger_crc_string(1);
  ASSERT_NE(adv.find("|P"), std::string::npos);  // power-up mode reads the power-up side
  const std::string common = "7|3|3|128|N|N", levels = "e" "hredcdcdcdcdc" "e" "d" "dcdcdcdcdcald";

  const char* positions[] = {"cpre", "ccnt", "cpst", "ccns"};
  for (int p = 0; p < 4; ++p) {
    t->set_trigger_position(TDR_DATA_TRIGGER_POSITION(p), true);
    EXPECT_EQ(text(t, V4), common + "pwrupon" + positions[p] + levels + adv) << p;
  }
  t->set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER, true);
  t->set_segment_size(16, true);
  EXPECT_EQ(text(t, V4), common + "pwrupon" "s16" + levels + adv);
  // Off: only the advanced texts stay after the common fields.
  t->set_power_up_mode(false);
  EXPECT_EQ(text(t, V4), common + adv);
}

TEST_F(CrcTest, CriticalTextV4SkipsUnknownPositionsAndConditions) {
  open_triggers(
      "<trigger name=\"t\" power_up_trigger_mode=\"true\"><power_up_trigger position=\"aside\"/>"
      "<events><level><power_up/></level></events></trigger>");
  T* t = trigger();
  ASSERT_TRUE(t->set_trigger_condition(3, 0, TDR_CTYPE_INVALID_COND, true, false));
  ASSERT_TRUE(t->set_trigger_condition(4, 0, TDR_CTYPE_HIGH_COND, true, false));
  EXPECT_EQ(text(t, V4), "7|3|1|128|N|N" "pwrupon" "c" "e" "dcdcdc" "h" "dcdc");
  expect_internal_error("invalid trigger type");
  expect_internal_error("condition < TDR_CTYPE_INVALID_COND");
}

TEST_F(CrcTest, EveryPowerUpConditionHasItsCodeInTheFingerprint) {
  T* t = two_levels();
  set_version(4);
  t->set_power_up_mode(true);
  const struct {
    TDR_DATA_TRIGGER_CONDITION condition;
    const char* code;
  } codes[] = {{TDR_CTYPE_DISABLE_COND, "d"},       {TDR_CTYPE_ACTIVE_HIGH_COND, "ah"},
               {TDR_CTYPE_ACTIVE_LOW_COND, "al"},   {TDR_CTYPE_HIGH_COND, "h"},
               {TDR_CTYPE_LOW_COND, "l"},           {TDR_CTYPE_RISING_EDGE_COND, "re"},
               {TDR_CTYPE_FALLING_EDGE_COND, "fe"}, {TDR_CTYPE_EITHER_EDGE_COND, "ee"},
               {TDR_CTYPE_DONT_CARE_COND, "dc"}};
  for (const auto& c : codes) {
    // Wire c of level 1; every other wire is dont-care.
    ASSERT_TRUE(t->set_trigger_condition(2, 1, c.condition, true, false)) << c.code;
    const std::string critical = std::string("7|3|2|128|N|N" "pwrupon" "cpre" "e") +
                                 "dcdcdcdcdcdcdc" "e" "dcdc" + c.code + "dcdcdcdc";
    EXPECT_EQ(text(t, V4), critical) << c.code;
    EXPECT_EQ(t->get_crc_value(true),
              ref_crc16(critical) << 16 | ref_crc16(TDR_DEFAULT_EXTERNAL_CLOCK_NAME + WIRES))
        << c.code;
  }
}

TEST_F(CrcTest, FingerprintPacksTheCriticalAndNonIncrementalCrcs) {
  T* t = two_levels();
  const std::string names = TDR_DEFAULT_EXTERNAL_CLOCK_NAME + WIRES;
  EXPECT_EQ(text(t, NON_INCREMENTAL), names);
  const unsigned long expected = ref_crc16("7|3|2|128|N|N") << 16 | ref_crc16(names);
  m_sink.debug_lines.clear();
  EXPECT_EQ(t->get_crc_value(true), expected);
  EXPECT_FALSE(has_crc_attr(t));
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_EQ(m_sink.debug_lines[0], "Trigger: t  CRC: " + hex(expected));
  EXPECT_EQ(t->get_crc_value(false), expected);
  EXPECT_EQ(crc_attr(t), hex(expected));
  set_version(2);
  EXPECT_EQ(t->get_crc_value(true), expected);  // 1 and 2 share a text
}

TEST_F(CrcTest, IncrementalRouteGivesSixteenEightEightBits) {
  T* t = two_levels();
  unsigned long classic = t->get_crc_value(true);
  set()->set_reserved_trigger_node_size(9);
  ASSERT_TRUE(t->is_using_incremental_route());
  EXPECT_EQ(text(t, INCREMENTAL), "^^");
  const std::string names = TDR_DEFAULT_EXTERNAL_CLOCK_NAME + WIRES;
  EXPECT_EQ(text(t, NON_CRITICAL), names);
  EXPECT_EQ(t->get_crc_value(true),
            ref_crc16("9|3|2|128|N|N") << 16 | ref_crc8(names) << 8 | ref_crc8("^^"));
  // A wire switched to an advanced tap: the low byte follows the incremental names.
  set()->set_reserved_trigger_node_size(0);
  set()->get_trigger_wire_at(6)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_EQ(text(t, INCREMENTAL), "^d3;^");
  EXPECT_EQ(t->get_crc_value(true), ref_crc16("7|3|2|128|N|N") << 16 |
                                        ref_crc8(names.substr(0, names.size() - 4) + "^") << 8 |
                                        ref_crc8("^d3;^"));
  EXPECT_EQ(t->get_crc_value(true) >> 16, classic >> 16);
}

TEST_F(CrcTest, RenamesMoveTheLowHalfSizesTheHighHalf) {
  auto open_named = [&](const char* name) {
    open_text(small_session("<config sample_depth=\"128\"/>",
                            std::string("<wire name=\"a\"/><wire name=\"") + name + "\"/>",
                            "<wire name=\"a\"/>",
                            "<trigger name=\"t\"><events><level/><level/></events></trigger>"));
    set_version(1);
    return trigger();
  };
  unsigned long before = open_named("d0")->get_crc_value(true);
  T* t = open_named("e0");
  // Each change: does it move the high (critical) half?
  auto step = [&](bool high_moves) {
    unsigned long now = t->get_crc_value(true);
    EXPECT_EQ(now >> 16 != before >> 16, high_moves);
    EXPECT_EQ((now & 0xFFFF) != (before & 0xFFFF), !high_moves);
    before = now;
  };
  step(false);  // the rename
  set()->set_sample_depth(256);
  step(true);
  t->append_new_level(true);
  step(true);
  // Runtime settings change nothing.
  t->set_trigger_position(TDR_PTYPE_POST_POS, false);
  ASSERT_TRUE(t->set_trigger_condition(0, 0, TDR_CTYPE_RISING_EDGE_COND, false, true));
  EXPECT_EQ(t->get_crc_value(true), before);
}

TEST_F(CrcTest, VersionTableDecidesTheText) {
  T* t = two_levels();
  t->set_power_up_mode(true);
  unsigned long v1 = t->get_crc_value(true);
  set_version(4);
  unsigned long word4 = t->get_crc_value(true);
  EXPECT_EQ(word4 >> 16, ref_crc16("7|3|2|128|N|N" "pwrupon" "cpre" "e" "dcdcdcdcdcdcdc" "e"
                                   "dcdcdcdcdcdcdc"));
  EXPECT_NE(word4 >> 16, v1 >> 16);
  EXPECT_EQ(word4 & 0xFFFF, v1 & 0xFFFF);
  set_version(255, 4);  // undefined version: the inferred one
  EXPECT_EQ(t->get_crc_value(true), word4);
  set_version(255, 3);
  EXPECT_EQ(t->get_crc_value(true) >> 16, ref_crc16("7|3|2|128|N|N"));  // basic levels add nothing
  for (unsigned char v : {0, 255, 7}) {
    set_version(v, 255);
    EXPECT_EQ(t->get_crc_value(false), 0ul) << int(v);
    EXPECT_FALSE(has_crc_attr(t)) << int(v);
  }
  expect_internal_error("Unsupported Tavrin version");
}

TEST_F(CrcTest, StoredFingerprintAnswersUntilBypassedAndSurvivesReload) {
  open_triggers(
      "<trigger name=\"t\" CRC=\"1a2B\"><events><level/></events></trigger>"
      "<trigger name=\"u\"><events><level/></events></trigger>");
  set_version(1);
  T* t = trigger();
  m_sink.debug_lines.clear();
  EXPECT_EQ(t->get_crc_value(false), 0x1A2Bul);
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_EQ(m_sink.debug_lines[0], "Trigger: t  CRC: 1a2B");
  EXPECT_NE(t->get_crc_value(true), 0x1A2Bul);
  EXPECT_EQ(crc_attr(t), "1a2B");  // bypassing never writes

  T* u = trigger("u");
  unsigned long first = u->get_crc_value(false);
  EXPECT_EQ(crc_attr(u), hex(first));
  set()->set_sample_depth(512);
  EXPECT_EQ(u->get_crc_value(false), first);  // the stored value, not the configuration
  EXPECT_NE(u->get_crc_value(true), first);
  u->set_crc_value(0);
  EXPECT_EQ(crc_attr(u), "0");
  t->set_crc_value(0xDEADBEEFul);
  EXPECT_EQ(crc_attr(t), "DEADBEEF");

  std::string saved = save_and_reopen();
  EXPECT_NE(saved.find("CRC=\"DEADBEEF\""), std::string::npos);
  EXPECT_EQ(trigger()->get_crc_value(false), 0xDEADBEEFul);
  EXPECT_EQ(trigger("u")->get_crc_value(false), 0ul);
}
