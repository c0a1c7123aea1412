// Trigger fingerprint: the two CRCs against published check values and hand
// results, the composed texts byte for byte, the version table, the two word
// layouts, which half a change moves, the cached attribute through save and
// reload, and a large signal set in linear time.
#include <chrono>
#include <string>

#include "tci.h"
#include "tdr_data_trigger_test_support.h"

namespace {

typedef TDR_DATA_TRIGGER T;

std::string crc_attr(TDR_DATA_TRIGGER* t) { return tdr_get_attr(t->get_dom_node(), TDR_X("CRC")); }
bool has_crc_attr(TDR_DATA_TRIGGER* t) { return tdr_has_attr(t->get_dom_node(), TDR_X("CRC")); }

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
  void set_version(unsigned char version, unsigned char inferred = 255, unsigned char node_id = 0) {
    TDR_DATA_INSTANCE_INFO info = instance()->get_node_info();
    info.version = version;
    info.inferred_version = inferred;
    info.node_id = node_id;
    instance()->set_node_info(info);
  }
  // Two basic levels on the shared session, version 1.
  TDR_DATA_TRIGGER* two_levels() {
    open_triggers("<trigger name=\"t\"><events><level/><level/></events></trigger>");
    set_version(1);
    return trigger();
  }
  // A composed text, starting from an empty string.
  template <typename TRIGGER, typename COMPOSE>
  static std::string text(TRIGGER* t, COMPOSE compose) {
    std::string s;
    (t->*compose)(s);
    return s;
  }
  static std::string critical_v12(const T* t) {
    return text(t, &T::compose_critical_crc_string_V1_V2);
  }
  static std::string non_critical(const T* t) {
    return text(t, &T::compose_non_critical_crc_string_V1_V2_V3);
  }
  static std::string incremental(const T* t) {
    return text(t, &T::compose_non_critical_incremental_crc_string_V1_V2_V3);
  }
  static std::string non_incremental(const T* t) {
    return text(t, &T::compose_non_critical_non_incremental_crc_string_V1_V2_V3);
  }
  static std::string hex(unsigned long word) {
    char out[16];
    std::snprintf(out, sizeof out, "%lX", word);
    return out;
  }
};

}  // namespace

// --- the CRCs --------------------------------------------------------------------------

TEST_F(CrcTest, SixteenAndEightBitCrcsGiveTheCheckValues) {
  EXPECT_EQ(T::calculate_16_bit_crc_from_string("abc"), 0x5749);
  EXPECT_EQ(T::calculate_16_bit_crc_from_string("123456789"), 0x4B37);  // CRC-16/MODBUS check
  EXPECT_EQ(T::calculate_16_bit_crc_from_string(""), 0xFFFF);
  EXPECT_EQ(T::calculate_8_bit_crc_from_string("abc"), 0xEC);
  EXPECT_EQ(T::calculate_8_bit_crc_from_string(""), 0xFF);

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

// --- texts -----------------------------------------------------------------------------

TEST_F(CrcTest, CriticalTextV1V2HasSixFieldsFromTheSignalSet) {
  TDR_DATA_TRIGGER* t = two_levels();
  set()->set_reserved_trigger_node_size(8);
  set()->set_reserved_data_node_size(16);
  set()->enable_trigger_in(false);
  set()->enable_trigger_out(true);
  EXPECT_EQ(critical_v12(t), "8|16|2|128|N|Y");
  set()->enable_trigger_in(true);
  set()->enable_trigger_out(false);
  set()->set_reserved_trigger_node_size(0);
  set()->set_reserved_data_node_size(0);
  set()->set_sample_depth(4096);
  t->append_new_level(true);
  EXPECT_EQ(critical_v12(t), "7|3|3|4096|Y|N");
  // Appends, never clears.
  std::string s = "keep:";
  t->compose_critical_crc_string_V1_V2(s);
  EXPECT_EQ(s, "keep:7|3|3|4096|Y|N");
}

TEST_F(CrcTest, NonCriticalTextsListWireNamesByTapMode) {
  open_text(small_session("<config sample_depth=\"128\"/>", "<wire name=\"a\" alias=\"A1\"/>",
                          "<wire name=\"a\"/><wire name=\"b\"/>",
                          "<trigger name=\"t\"><events><level/></events></trigger>"));
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_EQ(non_critical(t), "clk^a;b;^a;^");  // names, never aliases
  EXPECT_EQ(non_incremental(t), "clk^a;b;^a;^");
  EXPECT_EQ(incremental(t), "^^");
  EXPECT_FALSE(t->is_using_incremental_route());

  set()->enable_trigger_in(true);
  set()->set_trigger_in_node("tin");
  EXPECT_EQ(non_critical(t), "clk^a;b;^a;^tin^");
  set()->enable_trigger_out(true);
  set()->set_trigger_out_node("tout");
  EXPECT_EQ(non_critical(t), "clk^a;b;^a;^tin^tout");
  set()->enable_trigger_in(false);
  EXPECT_EQ(non_critical(t), "clk^a;b;^a;^tout");

  set()->get_data_wire_at(1)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_TRUE(t->is_using_incremental_route());
  EXPECT_EQ(non_critical(t), "clk^a;^a;^tout");
  EXPECT_EQ(incremental(t), "b;^^");
  // "a" is one wire in both lists: its tap mode moves it in both.
  set()->get_trigger_wire_at(0)->set_tap_mode(TDR_MTYPE_PROBEONLY_TAP);
  EXPECT_EQ(non_critical(t), "clk^^^tout");
  EXPECT_EQ(incremental(t), "a;b;^a;^");
  EXPECT_EQ(non_incremental(t), "clk^a;b;^a;^tout");
}

TEST_F(CrcTest, CriticalTextV3AppendsEveryLevelsAdvancedText) {
  TDR_DATA_TRIGGER* t = two_levels();
  t->set_trigger_level_cond_expr_type(1, false);
  ASSERT_TRUE(t->set_advanced_trigger_expression(1, "a && B", false));
  std::string level1;
  ASSERT_TRUE(TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(
      t->get_advanced_trigger_factory(1, false)->get_root(), level1, false));
  ASSERT_FALSE(level1.empty());
  EXPECT_STREQ(t->get_advanced_trigger_crc_string(1), level1.c_str());
  // The basic level has no expression and compiles to nothing: no text.
  EXPECT_STREQ(t->get_advanced_trigger_crc_string(0), "");
  EXPECT_EQ(text(t, &T::compose_critical_crc_string_V3), "7|3|2|128|N|N" + level1);
}

TEST_F(CrcTest, CriticalTextV4DescribesThePowerUpTrigger) {
  TDR_DATA_TRIGGER* t = two_levels();
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
  t->set_trigger_position(TDR_PTYPE_CENTER_POS, true);

  std::string adv = t->get_advanced_trigger_crc_string(1);
  ASSERT_NE(adv.find("|P"), std::string::npos);  // power-up mode reads the power-up side
  std::string s = text(t, &T::compose_critical_crc_string_V4);
  EXPECT_EQ(s, "7|3|3|128|N|N" "pwrupon" "ccnt" "e" "hredcdcdcdcdc" "e" "d" "dcdcdcdcdcald" + adv);

  const char* codes[] = {"cpre", "ccnt", "cpst", "ccns"};
  for (int p = 0; p < 4; ++p) {
    t->set_trigger_position(TDR_DATA_TRIGGER_POSITION(p), true);
    s = text(t, &T::compose_critical_crc_string_V4);
    EXPECT_EQ(s.substr(0, 20), std::string("7|3|3|128|N|Npwrupon") ) << p;
    EXPECT_EQ(s.substr(20, 4), codes[p]) << p;
  }
  t->set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER, true);
  t->set_segment_size(16, true);
  EXPECT_EQ(text(t, &T::compose_critical_crc_string_V4),
            "7|3|3|128|N|N" "pwrupon" "s16" "e" "hredcdcdcdcdc" "e" "d" "dcdcdcdcdcald" + adv);

  // Off: only the advanced texts stay after the common fields.
  t->set_power_up_mode(false);
  EXPECT_EQ(text(t, &T::compose_critical_crc_string_V4), "7|3|3|128|N|N" + adv);
}

TEST_F(CrcTest, CriticalTextV4SkipsUnknownPositionsAndConditions) {
  open_triggers(
      "<trigger name=\"t\" power_up_trigger_mode=\"true\"><power_up_trigger position=\"aside\"/>"
      "<events><level><power_up/></level></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  ASSERT_TRUE(t->set_trigger_condition(3, 0, TDR_CTYPE_INVALID_COND, true, false));
  ASSERT_TRUE(t->set_trigger_condition(4, 0, TDR_CTYPE_HIGH_COND, true, false));
  std::string s;
  t->compose_critical_crc_string_V4(s);
  expect_internal_error("invalid trigger type");
  expect_internal_error("condition < TDR_CTYPE_INVALID_COND");
  EXPECT_EQ(s, "7|3|1|128|N|N" "pwrupon" "c" "e" "dcdcdc" "h" "dcdc");
}

// --- the fingerprint -----------------------------------------------------------------

TEST_F(CrcTest, FingerprintPacksTheCriticalAndNonIncrementalCrcs) {
  TDR_DATA_TRIGGER* t = two_levels();
  unsigned long expected =
      (unsigned long)T::calculate_16_bit_crc_from_string("7|3|2|128|N|N") << 16 |
      T::calculate_16_bit_crc_from_string(non_incremental(t));
  EXPECT_EQ(non_incremental(t).substr(non_incremental(t).find('^')),
            "^a;c;x;^a;b;c;d0;d1;d2;d3;^");
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
  TDR_DATA_TRIGGER* t = two_levels();
  unsigned long classic = t->get_crc_value(true);
  set()->set_reserved_trigger_node_size(9);
  ASSERT_TRUE(t->is_using_incremental_route());
  unsigned long incremental_word = t->get_crc_value(true);
  unsigned long expected =
      (unsigned long)T::calculate_16_bit_crc_from_string("9|3|2|128|N|N") << 16 |
      (unsigned long)T::calculate_8_bit_crc_from_string(non_critical(t)) << 8 |
      T::calculate_8_bit_crc_from_string(incremental(t));
  EXPECT_EQ(incremental(t), "^^");
  EXPECT_EQ(incremental_word, expected);
  EXPECT_LE(incremental_word, 0xFFFFFFFFul);
  EXPECT_NE(incremental_word >> 16, classic >> 16);  // the width is in the critical text

  // A wire switched to an advanced tap: the low byte follows the incremental names.
  set()->set_reserved_trigger_node_size(0);
  set()->get_trigger_wire_at(6)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_EQ(incremental(t), "^d3;^");
  EXPECT_EQ(t->get_crc_value(true),
            (unsigned long)T::calculate_16_bit_crc_from_string("7|3|2|128|N|N") << 16 |
                (unsigned long)T::calculate_8_bit_crc_from_string(non_critical(t)) << 8 |
                T::calculate_8_bit_crc_from_string("^d3;^"));
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
  unsigned long base = open_named("d0")->get_crc_value(true);
  TDR_DATA_TRIGGER* t = open_named("e0");
  unsigned long renamed = t->get_crc_value(true);
  EXPECT_EQ(renamed >> 16, base >> 16);
  EXPECT_NE(renamed & 0xFFFF, base & 0xFFFF);

  set()->set_sample_depth(256);
  unsigned long deeper = t->get_crc_value(true);
  EXPECT_NE(deeper >> 16, renamed >> 16);
  EXPECT_EQ(deeper & 0xFFFF, renamed & 0xFFFF);
  t->append_new_level(true);
  unsigned long more = t->get_crc_value(true);
  EXPECT_NE(more >> 16, deeper >> 16);
  EXPECT_EQ(more & 0xFFFF, deeper & 0xFFFF);
  // Runtime settings change nothing.
  t->set_trigger_position(TDR_PTYPE_POST_POS, false);
  ASSERT_TRUE(t->set_trigger_condition(0, 0, TDR_CTYPE_RISING_EDGE_COND, false, true));
  EXPECT_EQ(t->get_crc_value(true), more);
}

TEST_F(CrcTest, VersionTableDecidesTheText) {
  TDR_DATA_TRIGGER* t = two_levels();
  t->set_power_up_mode(true);
  unsigned long v1 = t->get_crc_value(true);
  std::string v4 = text(t, &T::compose_critical_crc_string_V4);
  set_version(4);
  unsigned long word4 = t->get_crc_value(true);
  EXPECT_EQ(word4 >> 16, T::calculate_16_bit_crc_from_string(v4));
  EXPECT_NE(word4 >> 16, v1 >> 16);
  EXPECT_EQ(word4 & 0xFFFF, v1 & 0xFFFF);
  set_version(255, 4);  // undefined version: the inferred one
  EXPECT_EQ(t->get_crc_value(true), word4);
  set_version(255, 3);
  EXPECT_EQ(t->get_crc_value(true) >> 16,
            T::calculate_16_bit_crc_from_string(text(t, &T::compose_critical_crc_string_V3)));

  for (unsigned char v : {0, 255}) {
    set_version(v, 255);
    EXPECT_EQ(t->get_crc_value(false), 0ul) << int(v);
    EXPECT_FALSE(has_crc_attr(t)) << int(v);
  }
  set_version(7);
  EXPECT_EQ(t->get_crc_value(false), 0ul);
  expect_internal_error("Unsupported Tavrin version");
  EXPECT_FALSE(has_crc_attr(t));
}

TEST_F(CrcTest, StoredFingerprintAnswersUntilBypassedAndSurvivesReload) {
  open_triggers(
      "<trigger name=\"t\" CRC=\"1a2B\"><events><level/></events></trigger>"
      "<trigger name=\"u\"><events><level/></events></trigger>");
  set_version(1);
  TDR_DATA_TRIGGER* t = trigger();
  m_sink.debug_lines.clear();
  EXPECT_EQ(t->get_crc_value(false), 0x1A2Bul);
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_EQ(m_sink.debug_lines[0], "Trigger: t  CRC: 1a2B");
  unsigned long computed = t->get_crc_value(true);
  EXPECT_NE(computed, 0x1A2Bul);
  EXPECT_EQ(crc_attr(t), "1a2B");  // bypassing never writes

  TDR_DATA_TRIGGER* u = trigger("u");
  unsigned long first = u->get_crc_value(false);
  EXPECT_EQ(crc_attr(u), hex(first));
  set()->set_sample_depth(512);
  EXPECT_EQ(u->get_crc_value(false), first);  // the stored value, not the configuration
  EXPECT_NE(u->get_crc_value(true), first);

  u->set_crc_value(0);
  EXPECT_EQ(crc_attr(u), "0");
  EXPECT_EQ(u->get_crc_value(false), 0ul);
  t->set_crc_value(0xDEADBEEFul);
  EXPECT_EQ(crc_attr(t), "DEADBEEF");

  std::string saved = save_and_reopen();
  EXPECT_NE(saved.find("CRC=\"DEADBEEF\""), std::string::npos);
  EXPECT_EQ(trigger()->get_crc_value(false), 0xDEADBEEFul);
  EXPECT_EQ(trigger("u")->get_crc_value(false), 0ul);
}

TEST_F(CrcTest, LargeSignalSetFingerprintIsLinear) {
  std::string trigger_wires, data_wires;
  for (int i = 0; i < 4096; ++i)
    trigger_wires += "<wire name=\"top|core|trigger_bus[" + std::to_string(i) + "]\"/>";
  for (int i = 0; i < 8192; ++i)
    data_wires += "<wire name=\"top|core|data_bus[" + std::to_string(i) + "]\" tap_mode=\"" +
                  (i % 3 ? "classic" : "advanced") + "\"/>";
  std::string levels;
  for (int i = 0; i < 10; ++i)
    levels += i % 2 ? "<level type=\"advanced\"><power_up><power_up_expression><![CDATA["
                      "top|core|trigger_bus[2] || rising(top|core|trigger_bus[3])]]>"
                      "</power_up_expression></power_up><expression><![CDATA['top|core|"
                      "trigger_bus[1]' && 'top|core|trigger_bus[4095]']]></expression></level>"
                    : "<level><power_up>'top|core|trigger_bus[7]' == high</power_up></level>";
  open_text(small_session("<config sample_depth=\"1024\"/>", trigger_wires, data_wires,
                          "<trigger name=\"t\" power_up_trigger_mode=\"true\"><events>" + levels +
                              "</events></trigger>"));
  set_version(4);
  TDR_DATA_TRIGGER* t = trigger();
  auto start = std::chrono::steady_clock::now();
  unsigned long word = 0;
  for (int round = 0; round < 5; ++round) word = t->get_crc_value(true);
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(t->is_using_incremental_route());
  EXPECT_NE(word, 0ul);
  EXPECT_LT(seconds, 2.0);
  EXPECT_STRNE(t->get_advanced_trigger_crc_string(1), "");
}
