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

// One side's settings: segment size, type, position, trigger-in and trigger-out condition.
std::vector<int> settings(const TDR_DATA_TRIGGER* t, bool power_up) {
  return {t->get_segment_size(power_up), int(t->get_trigger_type(power_up)),
          int(t->get_trigger_position(power_up)), int(t->get_trigger_in(power_up)),
          int(t->get_trigger_out(power_up))};
}

}  // namespace

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
  EXPECT_FALSE(set()->is_trigger_in_enabled() || set()->is_trigger_out_enabled());
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

// Levels read and appended with their flags, level texts read on opening,
// parse_condition and the five forms of set_trigger_condition with their
// warnings, as the steps of tests/data/data/trigger/level_steps.txt.
TEST_F(TriggerTest, LevelsAndTheirConditionsFollowTheSteps) {
  const std::map<std::string, int> codes = {
      {"DIS", DIS}, {"AH", AH}, {"HI", HI}, {"LO", LO}, {"RE", RE},
      {"FE", FE},   {"EE", EE}, {"DC", DC}, {"AL", TDR_CTYPE_ACTIVE_LOW_COND}};
  auto split = [](const std::string& list, char by) {
    std::vector<std::string> out(1);
    for (char c : list)
      if (c == by) out.emplace_back(); else out.back().push_back(c);
    return out;
  };
  int step = 0;
  for (const std::vector<std::string>& row : test_table("data/trigger/level_steps.txt")) {
    SCOPED_TRACE("step " + std::to_string(++step) + ": " + row[0] + " " + row.back());
    const std::string& op = row[0];
    auto at = [&](size_t i) { return std::stoi(row.at(i)); };
    auto condition = [&](size_t i) { return TDR_DATA_TRIGGER_CONDITION(codes.at(row.at(i))); };
    if (op == "open") {  // so many bare levels, or the trigger elements themselves
      std::string triggers = row.at(1);
      if (triggers.find(".xml") != std::string::npos) {
        triggers = test_data(triggers);
      } else if (triggers[0] != '<') {
        triggers = "<trigger name=\"t\"><events>";
        for (int i = 0; i < at(1); ++i) triggers += "<level/>";
        triggers += "</events></trigger>";
      }
      open_text(trigger_session_xml(triggers, row.at(2) == "1"));
      continue;
    }
    TDR_DATA_TRIGGER* t = trigger();
    if (op == "set") {
      const char* target = row.at(2).c_str();
      bool power_up = row.at(5) == "p", write = row.at(6) == "1", done;
      std::vector<std::string> value = split(row.at(4), ' ');
      if (row[1] == "wire") done = t->set_trigger_condition(at(2), at(3), condition(4), power_up, write);
      else if (row[1] == "node") done = t->set_trigger_condition(target, at(3), condition(4), power_up, write);
      else if (row[1] == "value") done = t->set_trigger_condition(target, at(3), std::stol(value[0]), power_up, write);
      else if (row[1] == "symbol") done = t->set_trigger_condition(target, at(3), value[0].c_str(), power_up, write);
      else done = t->set_trigger_condition(target, at(3), value[0].c_str(), value.at(1).c_str(), power_up, write);
      EXPECT_EQ(done, row.at(7) == "1");
    } else if (op == "conds") {
      CONDS expected;
      for (const std::string& code : split(row.at(3), ' ')) expected.push_back(codes.at(code));
      EXPECT_EQ(conditions(t, at(1), row.at(2) == "p"), expected);
    } else if (op == "cond") {
      EXPECT_EQ(t->get_condition(at(1), at(2), row.at(3) == "p"), condition(4));
    } else if (op == "text") {
      DOMElement* level = level_element(t, at(1));
      EXPECT_EQ(level_text(row.at(2) == "p" ? child(level, "power_up") : level), row.at(3));
    } else if (op == "msg") {
      MSG_RECORD m = expect_message(row.at(1));
      EXPECT_EQ(m.args, split(row.at(2), ','));
      EXPECT_EQ(m.text, row.size() > 3 ? row[3] : m.text);
    } else if (op == "parse") {
      t->parse_condition(row.at(2).c_str(), at(1), false);
    } else if (op == "rename") {
      ASSERT_TRUE(set()->rename_signal_alias(row.at(1).c_str(), row.at(2).c_str()));
    } else if (op == "wire") {
      TDR_DATA_SIGNAL_WIRE* w = set()->create_wire(row.at(1).c_str(), TDR_WTYPE_TRIGGER_CAPTURE,
                                                   TDR_MTYPE_CLASSIC_TAP, true, nullptr);
      set()->append(w, true);
      EXPECT_EQ(w->get_trigger_wire_index(), at(2));
    } else if (op == "levels") {
      EXPECT_EQ(t->get_event_levels(), at(1));
    } else if (op == "flags") {  // enabled on either side, basic; "-" is not checked
      const bool found[] = {t->is_trigger_level_enabled(at(1), false),
                            t->is_trigger_level_enabled(at(1), true),
                            t->is_trigger_level_basic_condition(at(1))};
      for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(row.at(i + 2) == "-" || found[i] == (row[i + 2] == "1")) << "flag " << i;
    } else if (op == "print") {
      DOMElement* e = row.at(1) == "events" ? child(t->get_dom_node(), "events")
                                             : level_element(t, at(1));
      EXPECT_EQ(e ? print_node(e) : "(none)", row.at(2));
    } else if (op == "append") {
      EXPECT_EQ(t->append_new_level(row.at(1) == "1"), at(2));
    } else if (op == "enable") {
      t->set_trigger_level_enabled(at(1), row.at(3) == "1", row.at(2) == "p");
    } else if (op == "kind") {
      t->set_trigger_level_cond_expr_type(at(1), row.at(2) == "basic");
    } else if (op == "reopen") {
      save_and_reopen();
    } else if (op == "forget") {
      forget_messages();
    } else if (op == "no_mnemonics") {
      EXPECT_EQ(m_session->find_mnemonics(), nullptr);
    } else {
      ADD_FAILURE() << "unknown step";
    }
  }
  EXPECT_EQ(step, 141);  // every row ran
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
  auto every_level = [](TDR_DATA_TRIGGER* t) {
    std::vector<CONDS> out;
    for (int l = 0; l < t->get_event_levels(); ++l)
      for (bool p : {false, true}) out.push_back(conditions(t, l, p));
    return out;
  };
  std::vector<CONDS> before = every_level(t);
  std::string saved = save_and_reopen();
  t = trigger();
  ASSERT_EQ(t->get_event_levels(), 4);
  std::vector<CONDS> after = every_level(t);
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
