// Triggers: reading (current and older variants), levels, the five forms of
// set_trigger_condition with their warnings, setters, logs, hardware queries,
// removal, and sessions with triggers saved and reopened.
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tdr_data_mnemonics.h"
#include "tdr_data_signal_test_support.h"
#include "tdr_data_trigger_test_support.h"
#include "tdr_tx_test_support.h"

namespace {

std::string attr(DOMElement* e, const char* name) {
  return tdr_get_attr(e, tdr_widen(name).c_str());
}
bool has_attr(DOMElement* e, const char* name) { return tdr_has_attr(e, tdr_widen(name).c_str()); }

// Text of the level's condition text node (first child), or "(none)".
std::string level_text(DOMElement* level) {
  DOMNode* first = level ? level->getFirstChild() : nullptr;
  if (!first || first->getNodeType() != DOMNode::TEXT_NODE) return "(none)";
  return tdr_narrow(first->getNodeValue());
}

typedef std::vector<std::pair<int, int>> PAIRS;

// One side's settings: segment size, type, position, trigger-in and trigger-out condition.
std::vector<int> settings(const TDR_DATA_TRIGGER* t, bool power_up) {
  return {t->get_segment_size(power_up), int(t->get_trigger_type(power_up)),
          int(t->get_trigger_position(power_up)), int(t->get_trigger_in(power_up)),
          int(t->get_trigger_out(power_up))};
}

}  // namespace

// --- reading -------------------------------------------------------------------------

TEST_F(TriggerTest, ReadsSettingsAndNormalisesTheFlags) {
  open_triggers(test_data("data/trigger/settings_in.xml"));
  TDR_DATA_TRIGGER* t = trigger();
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->is_expanded() || t->is_power_up_mode());
  EXPECT_EQ(attr(t->get_dom_node(), "is_expanded") + "/" +
                attr(t->get_dom_node(), "power_up_trigger_mode"),
            "false/false");
  EXPECT_EQ(settings(t, false), (std::vector<int>{16, TDR_TTYPE_SEGMENTED_TRIGGER,
                                                  TDR_PTYPE_CENTER_POS, LO,
                                                  TDR_CTYPE_ACTIVE_LOW_COND}));
  EXPECT_TRUE(t->is_segment_enabled(false));
  // Power-up side: an upper-case S reads as circular, unknown words are kept out of range.
  EXPECT_EQ(settings(t, true),
            (std::vector<int>{4, TDR_TTYPE_CIRCULAR_TRIGGER, 4, RE, TDR_CTYPE_INVALID_COND}));
  EXPECT_EQ(t->get_dom_node(true), child(t->get_dom_node(), "power_up_trigger"));

  // Defaults, and the flags written back.
  TDR_DATA_TRIGGER* u = trigger("u");
  EXPECT_TRUE(u->is_expanded() && u->is_power_up_mode());
  for (bool p : {false, true})
    EXPECT_EQ(settings(u, p),
              (std::vector<int>{1, TDR_TTYPE_CIRCULAR_TRIGGER, TDR_PTYPE_PRE_POS, DC, AH}));
  // Missing children were created: power_up_trigger, then events.
  EXPECT_EQ(print_node(u->get_dom_node()),
            "<trigger is_expanded=\"true\" name=\"u\" power_up_trigger_mode=\"true\" "
            "trigger_type=\"circular\">\n  <power_up_trigger/>\n  <events/>\n</trigger>");
  EXPECT_EQ(TDR_DATA_TRIGGER::convert_to_trigger_type("segmented"), TDR_TTYPE_SEGMENTED_TRIGGER);
  EXPECT_EQ(TDR_DATA_TRIGGER::convert_to_trigger_type("Segmented"), TDR_TTYPE_CIRCULAR_TRIGGER);
  EXPECT_EQ(TDR_DATA_TRIGGER::convert_to_trigger_type(nullptr), TDR_TTYPE_CIRCULAR_TRIGGER);
}

TEST_F(TriggerTest, OldVariantsAreConvertedOnReading) {
  open_text(trigger_session_xml(
      "<trigger name=\"t\" sample_depth=\"100\" trigger_in=\"disable\"><events/>"
      "<power_up_trigger trigger_out=\"disable\"/></trigger>",
      false,
      "<config sample_depth=\"1024\" trigger_in_enable=\"yes\" trigger_out_enable=\"yes\"/>"));
  TDR_DATA_TRIGGER* t = trigger();
  // The depth moved to the set (corrected there), the ports were switched off.
  EXPECT_EQ(set()->get_sample_depth(), 64);
  EXPECT_FALSE(has_attr(t->get_dom_node(), "sample_depth"));
  EXPECT_FALSE(set()->is_trigger_in_enabled());
  EXPECT_FALSE(set()->is_trigger_out_enabled());
  EXPECT_EQ(t->get_trigger_in(false), TDR_CTYPE_DISABLE_COND);
  EXPECT_EQ(t->get_trigger_out(true), TDR_CTYPE_DISABLE_COND);
  EXPECT_FALSE(has_attr(t->get_dom_node(), "trigger_in"));
  EXPECT_FALSE(has_attr(t->get_dom_node(true), "trigger_out"));
  std::string saved = save_and_reopen();
  EXPECT_NE(saved.find("<config sample_depth=\"64\" trigger_in_enable=\"no\" "
                       "trigger_out_enable=\"no\"/>"),
            std::string::npos)
      << saved;
  // Read again, the ports have their default conditions.
  EXPECT_EQ(trigger()->get_trigger_in(false), TDR_CTYPE_DONT_CARE_COND);
  EXPECT_EQ(trigger()->get_trigger_out(true), TDR_CTYPE_ACTIVE_HIGH_COND);
  EXPECT_NE(saved.find("<trigger is_expanded=\"true\" name=\"t\">\n"
                       "        <events/>\n        <power_up_trigger/>\n"
                       "      </trigger>"),
            std::string::npos)
      << saved;
}

TEST_F(TriggerTest, ReadsLevelsWithTheirFlagsAndTexts) {
  open_triggers(test_data("data/trigger/levels_in.xml"));
  TDR_DATA_TRIGGER* t = trigger();
  ASSERT_EQ(t->get_event_levels(), 4);
  EXPECT_FALSE(t->is_trigger_level_enabled(0, false) || t->is_trigger_level_enabled(0, true));
  EXPECT_FALSE(t->is_trigger_level_basic_condition(0));
  EXPECT_EQ(conditions(t, 0, false), (CONDS{HI, RE, DC, DC, DC, DC, DC}));
  EXPECT_EQ(conditions(t, 0, true), (CONDS{DC, DC, LO, DC, DC, DC, DC}));
  // Only the exact words switch the flags.
  EXPECT_TRUE(t->is_trigger_level_enabled(1, false));
  EXPECT_TRUE(t->is_trigger_level_basic_condition(1));
  EXPECT_EQ(conditions(t, 1, false), (CONDS{DC, DC, DC, DC, DC, DC, DC}));
  EXPECT_EQ(conditions(t, 1, true), (CONDS{DC, DC, DC, HI, LO, HI, LO}));
  // A bare level: enabled, basic, no conditions, no text node.
  EXPECT_TRUE(t->is_trigger_level_enabled(2, false) && t->is_trigger_level_enabled(2, true));
  EXPECT_EQ(conditions(t, 2, false), CONDS(7, DC));
  EXPECT_EQ(level_text(level_element(t, 2)), "(none)");
  // Out of range: enabled, basic, dont-care.
  EXPECT_TRUE(t->is_trigger_level_enabled(9, false) && t->is_trigger_level_basic_condition(-1));
  for (auto level_wire : PAIRS{{9, 0}, {0, 7}, {0, -1}})
    EXPECT_EQ(t->get_condition(level_wire.first, level_wire.second, false), DC);

  // The first write creates the text node as the level's first child; the
  // level of blanks keeps its node and gets the text in it.
  EXPECT_TRUE(t->set_trigger_condition(0, 2, TDR_CTYPE_EITHER_EDGE_COND, false, true));
  EXPECT_EQ(level_text(level_element(t, 2)), "'a' == either edge");
  EXPECT_TRUE(t->set_trigger_condition(2, 3, TDR_CTYPE_HIGH_COND, false, true));
  EXPECT_EQ(print_node(level_element(t, 3)), "<level>'c' == high\n</level>");
  // A level without "power_up" gets one on the first power-up write.
  EXPECT_TRUE(t->set_trigger_condition(1, 2, TDR_CTYPE_LOW_COND, true, true));
  EXPECT_EQ(print_node(level_element(t, 2)),
            "<level>'a' == either edge\n  <power_up>'B' == low\n  </power_up>\n</level>");
  // The level text of level 0 was never rewritten by reading.
  EXPECT_EQ(level_text(level_element(t, 0)), "'a' == high && 'B' == rising edge");
}

// Texts in the layout the trigger writes are read on opening without the
// grammar; others, and names outside US-ASCII, still go through it.
TEST_F(TriggerTest, LevelTextsReadOnOpeningAgreeWithTheGrammar) {
  open_triggers(
      "<trigger name=\"t\"><events>"
      "<level>'a' == high &amp;&amp; 'B' == rising edge</level>"
      "<level>'a'==low&amp;&amp;'c'  ==  high</level>"
      "<level>\n    'd0' == falling edge &amp;&amp; 'd1' == either edge  \n  </level>"
      "</events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_EQ(conditions(t, 0, false), (CONDS{HI, RE, DC, DC, DC, DC, DC}));
  EXPECT_EQ(conditions(t, 1, false), (CONDS{LO, DC, HI, DC, DC, DC, DC}));
  EXPECT_EQ(conditions(t, 2, false), (CONDS{DC, DC, DC, FE, EE, DC, DC}));
  ASSERT_TRUE(set()->rename_signal_alias("c", "\xC3\xA7"));
  ASSERT_TRUE(t->set_trigger_condition(2, 0, TDR_CTYPE_LOW_COND, false, true));
  EXPECT_EQ(level_text(level_element(t, 0)),
            "'a' == high && 'B' == rising edge && '\xC3\xA7' == low");
  save_and_reopen();
  EXPECT_EQ(conditions(trigger(), 0, false), (CONDS{HI, RE, LO, DC, DC, DC, DC}));
}

TEST_F(TriggerTest, AppendedLevelsCarryElementsButNoAttributes) {
  open_triggers("<trigger name=\"t\"/>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_EQ(t->append_new_level(true), 0);
  EXPECT_EQ(t->append_new_level(false), 1);
  EXPECT_EQ(t->get_event_levels(), 2);
  DOMElement* events = child(t->get_dom_node(), "events");
  EXPECT_EQ(print_node(events),
            "<events>\n  <level>\n    <power_up>\n    </power_up>\n  </level>\n</events>");
  // Flags and their attributes.
  t->set_trigger_level_enabled(0, false, false);
  t->set_trigger_level_enabled(0, false, true);
  t->set_trigger_level_cond_expr_type(0, false);
  EXPECT_FALSE(t->is_trigger_level_enabled(0, false) || t->is_trigger_level_basic_condition(0));
  EXPECT_EQ(print_node(level_element(t, 0)),
            "<level enabled=\"no\" type=\"advanced\">\n  <power_up enabled=\"no\">\n  </power_up>\n"
            "</level>");
  t->set_trigger_level_enabled(0, true, false);
  t->set_trigger_level_cond_expr_type(0, true);
  EXPECT_EQ(attr(level_element(t, 0), "enabled") + attr(level_element(t, 0), "type"), "yesbasic");
  // A level without element keeps its flags only; out of range changes nothing.
  t->set_trigger_level_enabled(1, false, true);
  t->set_trigger_level_cond_expr_type(1, false);
  EXPECT_FALSE(t->is_trigger_level_enabled(1, true) || t->is_trigger_level_basic_condition(1));
  EXPECT_TRUE(t->set_trigger_condition(0, 1, TDR_CTYPE_HIGH_COND, false, true));
  EXPECT_EQ(t->get_condition(1, 0, false), TDR_CTYPE_HIGH_COND);
  t->set_trigger_level_enabled(2, false, false);
  t->set_trigger_level_cond_expr_type(-1, false);
  EXPECT_EQ(t->get_event_levels(), 2);
  EXPECT_EQ(level_element(t, 1), nullptr);
}

// --- conditions in five forms ------------------------------------------------------

TEST_F(TriggerTest, ConditionsByWireIndex) {
  open_triggers("<trigger name=\"t\"><events><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_TRUE(t->set_trigger_condition(0, 0, TDR_CTYPE_HIGH_COND, false, false));
  EXPECT_EQ(level_text(level_element(t, 0)), "(none)");
  EXPECT_TRUE(t->set_trigger_condition(1, 0, TDR_CTYPE_LOW_COND, false, true));
  EXPECT_TRUE(t->set_trigger_condition(2, 0, TDR_CTYPE_FALLING_EDGE_COND, false, true));
  EXPECT_EQ(level_text(level_element(t, 0)), "'a' == high && 'B' == low && 'c' == falling edge");
  // Out of range: nothing, false.
  for (auto wire_level : PAIRS{{7, 0}, {-1, 0}, {0, 1}, {0, -1}})
    EXPECT_FALSE(t->set_trigger_condition(wire_level.first, wire_level.second,
                                          TDR_CTYPE_HIGH_COND, false, true));
  EXPECT_EQ(conditions(t, 0, false), (CONDS{HI, LO, FE, DC, DC, DC, DC}));
  EXPECT_EQ(conditions(t, 0, true), CONDS(7, DC));

  // A wire appended after the level was made takes conditions all the same.
  TDR_DATA_SIGNAL_WIRE* w =
      set()->create_wire("late", TDR_WTYPE_TRIGGER_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, nullptr);
  set()->append(w, true);
  ASSERT_EQ(w->get_trigger_wire_index(), 7);
  EXPECT_EQ(t->get_condition(0, 7, false), TDR_CTYPE_DONT_CARE_COND);
  EXPECT_TRUE(t->set_trigger_condition(7, 0, TDR_CTYPE_RISING_EDGE_COND, false, true));
  EXPECT_EQ(t->get_condition(0, 7, false), TDR_CTYPE_RISING_EDGE_COND);
  EXPECT_EQ(level_text(level_element(t, 0)),
            "'a' == high && 'B' == low && 'c' == falling edge && 'late' == rising edge");
}

// Long texts take each clause's wire from the order of the wires when the
// name is that wire's written key; names, aliases and renames in between must
// still find the wires a lookup finds.
TEST_F(TriggerTest, LongTextsFindTheWiresALookupFinds) {
  open_triggers("<trigger name=\"t\"><events><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  std::string tail = " && 'c' == low && 'd0' == low && 'd1' == high && 'd2' == low";
  t->parse_condition(("'a' == high && 'B' == rising edge" + tail).c_str(), 0, false);
  EXPECT_EQ(conditions(t, 0, false), (CONDS{HI, RE, LO, LO, HI, LO, DC}));
  // By name instead of alias; wires out of order.
  t->parse_condition(("'d3' == high && 'b' == low && 'a' == low" + tail).c_str(), 0, false);
  EXPECT_EQ(conditions(t, 0, false), (CONDS{LO, LO, LO, LO, HI, LO, HI}));
  ASSERT_TRUE(set()->rename_signal_alias("B", "Q"));
  t->parse_condition(("'a' == high && 'Q' == falling edge" + tail).c_str(), 0, false);
  EXPECT_EQ(conditions(t, 0, false), (CONDS{HI, FE, LO, LO, HI, LO, HI}));
  t->parse_condition(("'a' == low && 'b' == high" + tail).c_str(), 0, false);
  EXPECT_EQ(conditions(t, 0, false), (CONDS{LO, HI, LO, LO, HI, LO, HI}));
  EXPECT_EQ(level_text(level_element(t, 0)), "(none)");
}

// Rows are appended in order and re-ordered lazily; any mix of sets, removals
// and reads must agree with a plain ordered map.
TEST(ConditionRowTest, AgreesWithAnOrderedMap) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    TDR_DATA_CONDITION_ROW row;
    std::map<int, TDR_DATA_TRIGGER_CONDITION> model;
    int wires = 1 + round % 13;
    for (int op = 0; op < 60; ++op) {
      int wire = int(random() % unsigned(wires));
      auto c = TDR_DATA_TRIGGER_CONDITION(TDR_CTYPE_HIGH_COND + int(random() % 6));
      // In-order runs as a file gives them, then scattered sets.
      if (round % 2 == 0 && op < 20) wire = op < wires ? op : wires - 1;
      row.set(wire, c);
      if (c == TDR_CTYPE_DONT_CARE_COND) model.erase(wire); else model[wire] = c;
      if (random() % 4 == 0) {
        int probe = int(random() % unsigned(wires));
        auto found = model.find(probe);
        EXPECT_EQ(row.get(probe), found == model.end() ? TDR_CTYPE_DONT_CARE_COND : found->second);
      }
      if (random() % 5 == 0) {
        EXPECT_EQ(row.entries(), std::vector<TDR_DATA_CONDITION_ROW::ENTRY>(model.begin(), model.end()));
      }
    }
    EXPECT_EQ(row.entries(), std::vector<TDR_DATA_CONDITION_ROW::ENTRY>(model.begin(), model.end()));
  }
}

TEST_F(TriggerTest, ConditionsByNodeCoverEveryMember) {
  open_triggers("<trigger name=\"t\"><events><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  // Members: a, ghost (unknown), a nameless net, x (no trigger wire), c.
  EXPECT_TRUE(t->set_trigger_condition("grp", 0, TDR_CTYPE_RISING_EDGE_COND, false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"ghost"}));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"unspecified"}));
  EXPECT_EQ(conditions(t, 0, false), (CONDS{RE, DC, RE, DC, DC, DC, DC}));
  EXPECT_EQ(level_text(level_element(t, 0)), "'a' == rising edge && 'c' == rising edge");
  // A net is no node for this form.
  EXPECT_FALSE(t->set_trigger_condition("a", 0, TDR_CTYPE_LOW_COND, false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"a"}));
  // A bad level: nothing at all, not even a warning.
  EXPECT_FALSE(t->set_trigger_condition("nothing", 3, TDR_CTYPE_LOW_COND, false, true));
  // The power-up side.
  EXPECT_TRUE(t->set_trigger_condition("plain", 0, TDR_CTYPE_HIGH_COND, true, true));
  EXPECT_EQ(conditions(t, 0, true), (CONDS{DC, DC, DC, HI, HI, DC, DC}));
  EXPECT_EQ(level_text(child(level_element(t, 0), "power_up")), "'d0' == high && 'd1' == high");
}

TEST_F(TriggerTest, BusValuesFollowTheBitOrder) {
  open_triggers("<trigger name=\"t\"><events><level/><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_TRUE(t->set_trigger_condition("bus", 0, 5L, false, true));
  EXPECT_EQ(conditions(t, 0, false), (CONDS{DC, DC, DC, HI, LO, HI, LO}));
  EXPECT_EQ(level_text(level_element(t, 0)),
            "'d0' == high && 'd1' == low && 'd2' == high && 'd3' == low");
  // msb first: the last member takes bit 0.
  EXPECT_TRUE(t->set_trigger_condition("rbus", 1, 6L, false, false));
  EXPECT_EQ(conditions(t, 1, false), (CONDS{DC, DC, DC, LO, HI, HI, LO}));
  // Only 32 bits exist: -1 is all high on four members.
  EXPECT_TRUE(t->set_trigger_condition("bus", 1, -1L, true, false));
  EXPECT_EQ(conditions(t, 1, true), (CONDS{DC, DC, DC, HI, HI, HI, HI}));
  // Unknown bus.
  EXPECT_FALSE(t->set_trigger_condition("nobus", 0, 12L, false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_BUS_REF").args, (ARGS{"nobus", "12", "t"}));
  EXPECT_FALSE(t->set_trigger_condition("nobus", 0, long(0xFFFFFFFEu), false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_BUS_REF").args, (ARGS{"nobus", "-2", "t"}));
  // Unknown members consume their bit: grp = a, ghost, (nameless), x, c; value 0b10101.
  EXPECT_TRUE(t->set_trigger_condition("grp", 1, 21L, false, false));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"ghost"}));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"unspecified"}));
  EXPECT_EQ(t->get_condition(1, 0, false), TDR_CTYPE_HIGH_COND);
  EXPECT_EQ(t->get_condition(1, 2, false), TDR_CTYPE_HIGH_COND);
  EXPECT_TRUE(t->set_trigger_condition("grp", 1, 5L, false, false));
  forget_messages();
  EXPECT_EQ(t->get_condition(1, 2, false), TDR_CTYPE_LOW_COND);
}

TEST_F(TriggerTest, WideBusesGetLowPastBit31) {
  std::string nets, wires;
  for (int i = 0; i < 40; ++i) {
    nets += "<net name=\"w" + std::to_string(i) + "\"/>";
    wires += "<wire name=\"w" + std::to_string(i) + "\"/>";
  }
  open_text("<session><instance name=\"i\"><signal_set name=\"s\"><signal_vec><trigger_input_vec>" +
            wires +
            "</trigger_input_vec></signal_vec><presentation><setup_view><bus name=\"wide\">" +
            nets +
            "</bus></setup_view></presentation><trigger name=\"t\"><events><level>"
            "'wide' == -1</level></events></trigger></signal_set></instance></session>");
  CONDS expected(32, HI);
  expected.resize(40, LO);
  EXPECT_EQ(conditions(trigger(), 0, false), expected);
}

TEST_F(TriggerTest, BusSymbolsComeFromMnemonicTables) {
  open_triggers("<trigger name=\"t\"><events><level/><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  // RUN = "1R0X": one character a member from the first.
  EXPECT_TRUE(t->set_trigger_condition("bus", 0, "RUN", false, true));
  EXPECT_EQ(conditions(t, 0, false), (CONDS{DC, DC, DC, HI, RE, LO, DC}));
  EXPECT_EQ(level_text(level_element(t, 0)), "'d0' == high && 'd1' == rising edge && 'd2' == low");
  // A value shorter than the bus leaves the rest dont-care.
  EXPECT_TRUE(t->set_trigger_condition("bus", 1, "SHORT", true, false));
  EXPECT_EQ(conditions(t, 1, true), (CONDS{DC, DC, DC, HI, HI, DC, DC}));
  // The table named by the caller; msb-first order.
  EXPECT_TRUE(t->set_trigger_condition("rbus", 1, "alt", "GO", false, false));
  EXPECT_EQ(conditions(t, 1, false), (CONDS{DC, DC, DC, DC, LO, EE, FE}));

  // Failures.
  EXPECT_FALSE(t->set_trigger_condition("bus", 0, "NOPE", false, true));
  MSG_RECORD m = expect_message("WTDR_INVALID_SYMBOL");
  EXPECT_EQ(m.args, (ARGS{"NOPE", "states"}));
  EXPECT_EQ(m.text, "Symbol \"NOPE\" does not exist in mnemonic table \"states\"");
  EXPECT_FALSE(t->set_trigger_condition("bus", 0, "missing", "RUN", false, true));
  m = expect_message("WTDR_INVALID_SYM_TABLE");
  EXPECT_EQ(m.args, (ARGS{"missing"}));
  EXPECT_EQ(m.text, "Mnemonic table \"missing\" does not exist in Tavrin File");
  EXPECT_FALSE(t->set_trigger_condition("nobus", 0, "RUN", false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_BUS_REF").args, (ARGS{"nobus", "RUN", "t"}));
  EXPECT_FALSE(t->set_trigger_condition("nobus", 0, "states", "RUN", false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_BUS_REF").args, (ARGS{"nobus", "RUN", "t"}));
  // A bus without a table takes no symbol, silently.
  EXPECT_FALSE(t->set_trigger_condition("plain", 0, "RUN", false, true));
  EXPECT_EQ(conditions(t, 0, false), (CONDS{DC, DC, DC, HI, RE, LO, DC}));
  // Unknown members take no character: grp = a, ghost, (nameless), x, c with "fel".
  EXPECT_TRUE(t->set_trigger_condition("grp", 0, "alt", "GO", false, false));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"ghost"}));
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (ARGS{"unspecified"}));
  EXPECT_EQ(t->get_condition(0, 0, false), TDR_CTYPE_FALLING_EDGE_COND);
  EXPECT_EQ(t->get_condition(0, 2, false), TDR_CTYPE_LOW_COND);  // x took "e"
}

TEST_F(TriggerTest, SymbolsWithoutMnemonicsContainer) {
  open_text(trigger_session_xml("<trigger name=\"t\"><events><level/></events></trigger>", false));
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_FALSE(t->set_trigger_condition("bus", 0, "RUN", false, true));
  EXPECT_EQ(expect_message("WTDR_INVALID_SYM_TABLE").args, (ARGS{"states"}));
  // The lookup never made a container.
  EXPECT_EQ(m_session->find_mnemonics(), nullptr);
}

// --- setters -----------------------------------------------------------------------

TEST_F(TriggerTest, SegmentSizeIsClampedToAPowerOfTwo) {
  open_triggers("<trigger name=\"t\"/>");
  TDR_DATA_TRIGGER* t = trigger();
  struct CASE {
    int asked, stored;
    bool result;
  } cases[] = {{64, 64, true}, {100, 64, false}, {500, 128, false}, {0, 1, false},
               {-5, 1, false}, {1, 1, true},     {128, 128, true},  {3, 2, false}};
  for (const CASE& c : cases) {
    EXPECT_EQ(t->set_segment_size(c.asked, false), c.result) << c.asked;
    EXPECT_EQ(t->get_segment_size(false), c.stored) << c.asked;
    EXPECT_EQ(attr(t->get_dom_node(), "segment_size"), std::to_string(c.stored));
  }
  EXPECT_TRUE(t->set_segment_size(32, true));
  EXPECT_EQ(attr(t->get_dom_node(true), "segment_size"), "32");
  EXPECT_EQ(t->get_segment_size(false), 2);
  // Without a depth every size becomes 1.
  set()->set_sample_depth(0);
  EXPECT_FALSE(t->set_segment_size(64, false));
  EXPECT_EQ(t->get_segment_size(false), 1);
  EXPECT_TRUE(t->set_segment_size(1, false));
}

TEST_F(TriggerTest, SettersWriteTheirAttributes) {
  open_triggers("<trigger name=\"t\"/>");
  TDR_DATA_TRIGGER* t = trigger();
  t->set_trigger_position(TDR_PTYPE_POST_POS, false);
  t->set_trigger_position(TDR_PTYPE_CONTINUOUS_POS, true);
  t->set_trigger_in(TDR_CTYPE_FALLING_EDGE_COND, false);
  t->set_trigger_out(TDR_CTYPE_ACTIVE_LOW_COND, true);
  EXPECT_TRUE(t->set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER, false));
  EXPECT_FALSE(t->set_trigger_type(TDR_DATA_TRIGGER_TYPE(5), true));
  EXPECT_EQ(int(t->get_trigger_type(true)), 5);
  EXPECT_FALSE(t->is_segment_enabled(true));
  t->set_power_up_mode(true);
  EXPECT_TRUE(t->set_expanded_status(false));
  t->set_global_temp();
  EXPECT_TRUE(t->is_global_temp());
  EXPECT_EQ(print_node(t->get_dom_node()), test_data("data/trigger/setters.saved.xml"));
}

TEST_F(TriggerTest, NewTriggersWriteOnlyTheirName) {
  TEST_XML_DOC d;
  TDR_DATA_TRIGGER named(d.doc, "n");
  EXPECT_EQ(print_node(named.get_dom_node()),
            "<trigger name=\"n\">\n  <power_up_trigger/>\n  <events/>\n</trigger>");
  TDR_DATA_TRIGGER generated(d.doc);
  EXPECT_EQ(std::string(generated.get_name()).compare(0, 7, "trigger"), 0);
  EXPECT_EQ(generated.get_dom_node(true)->getParentNode(), generated.get_dom_node());
  // Without a signal set there are no trigger wires to condition.
  EXPECT_EQ(named.append_new_level(true), 0);
  EXPECT_FALSE(named.set_trigger_condition(0, 0, TDR_CTYPE_HIGH_COND, false, true));
  EXPECT_STREQ(named.get_condition_expression(0, false), "");
}

// --- logs ------------------------------------------------------------------------

TEST_F(TriggerTest, LogsAreCreatedFoundAndRemoved) {
  open_triggers("<trigger name=\"t\"/>");
  TDR_DATA_TRIGGER* t = trigger();
  TDR_DATA_LOG* a = t->create_log("A", false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->get_data_width(), 3);
  EXPECT_EQ(t->create_log("A", false), nullptr);
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args, (ARGS{"A"}));
  TDR_DATA_LOG* b = t->create_log(nullptr, false);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(std::string(b->get_name()).compare(0, 3, "log"), 0);
  EXPECT_EQ(t->get_num_logs(), 2);
  EXPECT_EQ(t->get_log_at(1), b);
  EXPECT_EQ(t->get_last_log(), b);

  // Global logs: one at a time, found by name as a fallback.
  TDR_DATA_LOG* g1 = t->create_log("G", true);
  EXPECT_TRUE(g1->is_global_temp());
  EXPECT_EQ(t->get_global_log(), g1);
  EXPECT_EQ(t->find_log("G"), g1);
  EXPECT_EQ(t->get_num_logs(), 2);
  TDR_DATA_LOG* g2 = t->create_log("G2", true);
  EXPECT_EQ(t->get_global_log(), g2);
  EXPECT_EQ(t->find_log("G"), nullptr);
  EXPECT_EQ(t->get_dom_node()->getElementsByTagName(TDR_X("data"))->getLength(), 3u);

  // Renaming within the trigger.
  EXPECT_FALSE(b->set_name("A"));
  EXPECT_TRUE(b->set_name("B"));
  EXPECT_EQ(t->find_log("B"), b);

  // The session's active log comes first; removing it forgets it.
  m_session->reset_active_tree();
  ASSERT_TRUE(m_session->add_active_branch(a));
  EXPECT_EQ(t->get_last_log(), a);
  a->remove();
  EXPECT_EQ(t->get_last_log(), b);
  EXPECT_EQ(t->find_log("A"), nullptr);
  g2->remove();
  EXPECT_EQ(t->get_global_log(), nullptr);
  b->remove();
  EXPECT_EQ(t->get_last_log(), nullptr);
  EXPECT_EQ(child(t->get_dom_node(), "data"), nullptr);
}

TEST_F(TriggerTest, LogsAreReadWithTheTrigger) {
  open_triggers(
      "<trigger name=\"t\"><data name=\"L1\" sample_depth=\"2\">101010</data>"
      "<data name=\"L1\" sample_depth=\"4\"/>"
      "<data name=\"g\" global_temp=\"1\"/><data name=\"g2\" global_temp=\"1x\"/>"
      "<data/></trigger><trigger name=\"t2\"/>");
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args, (ARGS{"L1"}));
  TDR_DATA_TRIGGER* t = trigger();
  ASSERT_EQ(t->get_num_logs(), 2);
  EXPECT_EQ(t->get_log_at(0)->get_data_sample_depth(), 2);
  EXPECT_EQ(std::string(t->get_log_at(1)->get_name()).compare(0, 4, "data"), 0);
  EXPECT_STREQ(t->get_global_log()->get_name(), "g2");
  EXPECT_NE(trigger("t2"), nullptr);
}

TEST_F(TriggerTest, RemovingATriggerForgetsItsBranch) {
  open_triggers("<trigger name=\"t\"/><trigger name=\"u\"/>");
  TDR_DATA_TRIGGER* t = trigger();
  TDR_DATA_LOG* log = t->create_log("L", false);
  m_session->reset_active_tree();
  ASSERT_TRUE(m_session->add_active_branch(log));
  EXPECT_EQ(m_session->find_active_log(instance()), log);
  t->remove();
  EXPECT_EQ(m_session->find_active_log(instance()), nullptr);
  EXPECT_EQ(m_session->find_active_trigger(instance()), nullptr);
  EXPECT_EQ(set()->find_trigger("t"), nullptr);
  EXPECT_EQ(set()->get_num_triggers(), 1);
  // Without a parent element nothing happens.
  TEST_XML_DOC d;
  TDR_DATA_TRIGGER* loose = new TDR_DATA_TRIGGER(d.doc, "loose");
  loose->remove();
  expect_internal_error("parent != NULL");
  delete loose;
  std::string saved = save();
  EXPECT_EQ(saved.find("name=\"t\""), std::string::npos);
  EXPECT_NE(saved.find("name=\"u\""), std::string::npos);
}

// --- hardware queries ----------------------------------------------------------------

TEST_F(TriggerTest, LatencyOfTheLastLevel) {
  open_triggers(
      "<trigger name=\"t\"><events><level/><level type=\"advanced\"/></events></trigger>"
      "<trigger name=\"basic\"><events><level type=\"advanced\"/><level/></events></trigger>"
      "<trigger name=\"empty\"/>");
  // An advanced last level without a compiled expression has no latency.
  EXPECT_EQ(trigger()->get_last_trigger_level_latency_delay(), -1);
  EXPECT_EQ(trigger("basic")->get_last_trigger_level_latency_delay(), 1);
  EXPECT_EQ(trigger("empty")->get_last_trigger_level_latency_delay(), -1);
  expect_internal_error("get_event_levels() > 0");

  // Version 4 and below: three more than the last level; the inferred version
  // stands in for an undefined one.
  auto version = [&](unsigned char v, unsigned char inferred) {
    TDR_DATA_INSTANCE_INFO info = instance()->get_node_info();
    info.version = v;
    info.inferred_version = inferred;
    instance()->set_node_info(info);
  };
  version(4, 255);
  EXPECT_EQ(trigger("basic")->get_trigger_out_latency_delay(), 4);
  EXPECT_EQ(trigger()->get_trigger_out_latency_delay(), -1);
  version(5, 255);
  EXPECT_EQ(trigger("basic")->get_trigger_out_latency_delay(), -1);
  version(255, 2);
  EXPECT_EQ(trigger("basic")->get_trigger_out_latency_delay(), 4);
  version(255, 255);
  EXPECT_EQ(trigger("basic")->get_trigger_out_latency_delay(), -1);
  expect_internal_error("Incomplete IP version handling");

  // The configured latency wins over every level.
  set_config("tvf_last_trigger_level_latency", "6");
  EXPECT_EQ(trigger()->get_last_trigger_level_latency_delay(), 6);
  EXPECT_EQ(trigger("empty")->get_last_trigger_level_latency_delay(), 6);
  version(3, 255);
  EXPECT_EQ(trigger()->get_trigger_out_latency_delay(), 9);
  set_config("tvf_last_trigger_level_latency", "0");
  EXPECT_EQ(trigger("basic")->get_last_trigger_level_latency_delay(), 1);
}

TEST_F(TriggerTest, IncrementalRouteAndNodeUse) {
  open_triggers(
      "<trigger name=\"t\"><events><level type=\"advanced\"/></events></trigger>"
      "<trigger name=\"mixed\"><events><level type=\"advanced\"/><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_FALSE(t->is_using_incremental_route());
  EXPECT_TRUE(t->is_incremental_node_used_correctly());
  // Reserved trigger slots beyond the wires: the route is incremental, and an
  // all-advanced trigger without an incremental input uses it wrongly.
  set()->set_reserved_trigger_node_size(9);
  EXPECT_TRUE(t->is_using_incremental_route());
  EXPECT_FALSE(t->is_incremental_node_used_correctly());
  EXPECT_TRUE(trigger("mixed")->is_incremental_node_used_correctly());
  instance()->set_incr_cmp_mode(true);
  EXPECT_TRUE(t->is_incremental_node_used_correctly());
  instance()->set_incr_cmp_mode(false);
  set()->set_reserved_trigger_node_size(0);
  set()->set_reserved_data_node_size(4);
  EXPECT_TRUE(t->is_using_incremental_route());
  set()->set_reserved_data_node_size(0);
  set()->get_data_wire_at(2)->set_tap_mode(TDR_MTYPE_PROBEONLY_TAP);
  EXPECT_TRUE(t->is_using_incremental_route());
  EXPECT_TRUE(t->is_incremental_node_used_correctly());
  set()->get_trigger_wire_at(6)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_FALSE(t->is_incremental_node_used_correctly());
}

// --- sessions ----------------------------------------------------------------------

TEST_F(TriggerTest, SessionsWithTriggersReachAFixedPoint) {
  open_triggers(test_data("data/trigger/fixed_point_in.xml"));
  TDR_DATA_TRIGGER* t = trigger();
  t->set_trigger_condition(2, 2, TDR_CTYPE_EITHER_EDGE_COND, false, true);
  t->set_trigger_condition(1, 2, TDR_CTYPE_LOW_COND, true, true);
  int added = t->append_new_level(true);
  t->set_trigger_condition("bus", added, 9L, false, true);
  TDR_DATA_LOG* log = t->create_log("new", false);
  XMLCh bits[] = {'0', '1', '1', '0', '0', '1', 0};
  log->translate_bit_stream(bits, 2, 0, false);
  std::vector<CONDS> before;
  for (int l = 0; l < t->get_event_levels(); ++l)
    for (bool p : {false, true}) before.push_back(conditions(t, l, p));

  std::string saved = save_and_reopen();
  t = trigger();
  ASSERT_EQ(t->get_event_levels(), 4);
  std::vector<CONDS> after;
  for (int l = 0; l < t->get_event_levels(); ++l)
    for (bool p : {false, true}) after.push_back(conditions(t, l, p));
  EXPECT_EQ(after, before);
  EXPECT_EQ(after[0], (CONDS{HI, DC, DC, HI, RE, LO, DC}));
  EXPECT_EQ(after[1], (CONDS{DC, DC, DC, LO, LO, HI, HI}));
  EXPECT_FALSE(t->is_trigger_level_basic_condition(1));
  EXPECT_FALSE(t->is_trigger_level_enabled(0, true));
  ASSERT_EQ(t->get_num_logs(), 2);
  EXPECT_TRUE(t->find_log("new")->get_bit(2, 1));
  EXPECT_FALSE(t->find_log("new")->get_bit(1, 1));
  // The trigger as saved, up to its end tag.
  size_t from = saved.find("      <trigger ");
  expect_golden("data/trigger", "session_trigger.xml",
                saved.substr(from, saved.find("</trigger>") - from));
}
