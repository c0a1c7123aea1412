#include <string>

#include "tdr_data_global_enum.h"
#include "tdr_data_instance.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_test_support.h"

namespace {

class LegacyTest : public TdrTest {
 protected:
  TDR_DATA_SESSION* import(const std::string& text) {
    std::string path = temp_path("legacy.tvf");
    write_file(path, text);
    m_session.reset(new TDR_DATA_SESSION(path.c_str()));
    return m_session.get();
  }
  TDR_DATA_SIGNAL_SET* signal_set() {
    return m_session->get_instance_at(0)->find_signal_set("signals_imported");
  }
  std::unique_ptr<TDR_DATA_SESSION> m_session;
};

// Names of the view nodes from `n` on, buses with their members: "a,bus(c,d),e".
std::string view_text(TDR_DATA_SIGNAL_VIEW_NODE n, bool members = true) {
  std::string out;
  for (; !n.is_null(); n = n.get_next_sibling()) {
    out += std::string(out.empty() ? "" : ",") + (n.get_name() ? n.get_name() : "");
    if (members && n.is_bus()) out += "(" + view_text(n.get_first_child(), false) + ")";
  }
  return out;
}
std::string view_text(TDR_DATA_SIGNAL_VIEW* view) { return view_text(view->get_first_node()); }

}  // namespace

TEST_F(LegacyTest, ImportsSignalsGroupsConditionsAndSettings) {
  TDR_DATA_SESSION* s = import(test_data("data/legacy/signals.tvf"));
  ASSERT_EQ(s->get_num_instances(), 1);
  EXPECT_STREQ(s->get_instance_at(0)->get_name(), "auto_tavrin_0");
  TDR_DATA_SIGNAL_SET* set = signal_set();
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(set->get_trigger_wire_width(), 5);
  ASSERT_EQ(set->get_data_wire_width(), 5);
  EXPECT_EQ(view_text(set->get_data_view()), "top|a,b,data_bus(c,d),e");
  EXPECT_EQ(view_text(set->get_setup_view()), "top|a,b,data_bus(c,d),e");
  EXPECT_STREQ(set->get_clock_name(), "sys_clk");
  EXPECT_EQ(set->get_sample_depth(), 256);
  EXPECT_STREQ(set->get_wire("b")->get_debug_port_name(), "auto_tvf_debug_out_0_0");
  EXPECT_STREQ(set->get_wire("d")->get_debug_port_name(), "auto_tvf_debug_out_0_1");
  EXPECT_FALSE(set->get_wire("c")->is_debug_port());

  TDR_DATA_TRIGGER* trigger = set->find_trigger("trigger_imported");
  ASSERT_NE(trigger, nullptr);
  ASSERT_EQ(trigger->get_event_levels(), 1);
  for (bool pu : {false, true}) {
    // "x" and the unknown "nobody" set nothing.
    EXPECT_STREQ(trigger->get_condition_expression(0, pu),
                 "'top|a' == rising edge && 'c' == high");
    EXPECT_EQ(trigger->get_trigger_position(pu), TDR_PTYPE_CENTER_POS);
    EXPECT_EQ(trigger->get_trigger_in(pu), TDR_CTYPE_RISING_EDGE_COND);
    EXPECT_EQ(trigger->get_trigger_out(pu), TDR_CTYPE_DISABLE_COND);
  }

  // Saved as a session file, it reads back the same.
  std::string out = temp_path("imported.xml");
  ASSERT_TRUE(s->save_as(out.c_str(), true, true));
  TDR_DATA_SESSION back(out.c_str());
  TDR_DATA_SIGNAL_SET* set2 = back.get_instance_at(0)->find_signal_set("signals_imported");
  ASSERT_NE(set2, nullptr);
  EXPECT_EQ(view_text(set2->get_data_view()), "top|a,b,data_bus(c,d),e");
  TDR_DATA_TRIGGER* t2 = set2->find_trigger("trigger_imported");
  ASSERT_NE(t2, nullptr);
  EXPECT_STREQ(t2->get_condition_expression(0, true), "'top|a' == rising edge && 'c' == high");
  // Reading converts the "disable" trigger-out into the signal set's switch;
  // from then on open/save is a fixed point.
  std::string again = temp_path("again.xml"), third = temp_path("third.xml");
  ASSERT_TRUE(back.save_as(again.c_str(), true, true));
  TDR_DATA_SESSION reread(again.c_str());
  ASSERT_TRUE(reread.save_as(third.c_str(), true, true));
  EXPECT_EQ(read_file(third), read_file(again));
  EXPECT_FALSE(back.get_instance_at(0)->find_signal_set("signals_imported")->is_trigger_out_enabled());
}

TEST_F(LegacyTest, ManagerOpensLegacyFilesInAnyLetterCase) {
  std::string path = temp_path("lower.tvf");
  write_file(path, "[@\\tvf=2]\r\n[SIGNAL]\r\nx=0\r\nx:P1=\"F\"\r\n[acq=\"corvane ela\"]\r\ntpos=25\r\n");
  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  TDR_DATA_SESSION* s = manager->open_session(path.c_str());
  ASSERT_NE(s, nullptr);
  TDR_DATA_SIGNAL_SET* set = s->get_instance_at(0)->find_signal_set("signals_imported");
  ASSERT_NE(set->get_wire("x"), nullptr);  // CR stripped from the name
  TDR_DATA_TRIGGER* t = set->find_trigger("trigger_imported");
  EXPECT_EQ(t->get_trigger_position(false), TDR_PTYPE_PRE_POS);  // 25 is no known code
  EXPECT_EQ(t->get_trigger_in(false), TDR_CTYPE_DISABLE_COND);   // no ti line
  EXPECT_TRUE(manager->close_session(path.c_str()));

  // open_session_from_tvf imports whatever the first line says.
  std::string plain = temp_path("plain.txt");
  write_file(plain, "[Signal]\ny=0\n");
  s = manager->open_session_from_tvf(plain.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_NE(s->get_instance_at(0)->find_signal_set("signals_imported")->get_wire("y"), nullptr);
  EXPECT_TRUE(manager->close_session(plain.c_str()));
}

TEST_F(LegacyTest, TriggerSectionWithoutSignalsStillGivesATrigger) {
  import("[@\\TVF=1]\n[ACQ=\"Corvane ELA\"]\nclk=c2\ndepth=100\ntpos=90\nto=\"H\"\n");
  TDR_DATA_SIGNAL_SET* set = signal_set();
  EXPECT_EQ(set->get_wire_size(), 0);
  EXPECT_STREQ(set->get_clock_name(), "c2");
  EXPECT_EQ(set->get_sample_depth(), 64);  // corrected like any depth
  TDR_DATA_TRIGGER* t = set->find_trigger("trigger_imported");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->get_event_levels(), 1);
  EXPECT_STREQ(t->get_condition_expression(0, false), "");
  EXPECT_EQ(t->get_trigger_position(true), TDR_PTYPE_POST_POS);
  EXPECT_EQ(t->get_trigger_out(false), TDR_CTYPE_ACTIVE_HIGH_COND);
}

TEST_F(LegacyTest, HostileLinesImportAsFarAsTheRulesAllow) {
  std::string text = "[@\\TVF=1]\n[Signal]\n";
  text += std::string(3 * 1024 * 1024, 'n') + "=0\n";  // a 3 MB name
  text += "gap=5\n";                                    // indices 1-4 left empty
  text += "huge=2147483648\n";                          // ignored
  text += "big=99999999999999999999\n";                 // ignored
  text += "noequals\n=\n==\n";
  text += std::string("nul") + '\0' + "x=6\n";
  text += "`open=7\n";                                  // unbalanced backquote kept
  text += "gap:P1=\"\n";                                // quote only: no symbol
  text += "grp=\"gap,`open\n";                          // unbalanced quote
  text += "[ACQ=\"Corvane ELA\"]\nti=\"\nto=R\ndepth=-2147483649\ntpos=abc\ndpo:\n";
  TDR_DATA_SESSION* s = import(text);
  TDR_DATA_SIGNAL_SET* set = signal_set();
  EXPECT_EQ(set->get_wire_size(), 4);
  EXPECT_NE(set->get_wire("gap"), nullptr);
  EXPECT_NE(set->get_wire("`open"), nullptr);
  EXPECT_NE(set->get_wire("nul"), nullptr);  // a C-string name ends at the NUL
  EXPECT_EQ(set->get_wire("huge"), nullptr);
  EXPECT_EQ(set->get_sample_depth(), 0);  // negative depths become 0
  TDR_DATA_TRIGGER* t = set->find_trigger("trigger_imported");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->get_trigger_in(false), TDR_CTYPE_DISABLE_COND);
  EXPECT_EQ(t->get_trigger_out(false), TDR_CTYPE_DISABLE_COND);  // "R" is not a trigger-out symbol
  std::string out = temp_path("out.xml");
  ASSERT_TRUE(s->save_as(out.c_str(), true, true));
  TDR_DATA_SESSION back(out.c_str());
  EXPECT_EQ(back.get_num_instances(), 1);
}

// Every trigger letter in either case and the condition it writes (any other
// letter leaves its signal out), and as trigger-in and trigger-out: the rows
// of tests/data/tdr_tvf/letters.txt.
TEST_F(LegacyTest, ConditionLettersWriteTheirWords) {
  const auto letters = test_table("tdr_tvf/letters.txt");
  std::string text = "[@\\TVF=1]\n[Signal]\n", expected;
  for (size_t i = 0; i < letters.size(); ++i) {
    std::string name = "s" + std::to_string(i);
    text += name + "=" + std::to_string(i) + "\n" + name + ":P1=\"" + letters[i].at(0) + "\"\n";
    if (letters[i].size() > 1 && !letters[i][1].empty())
      expected += (expected.empty() ? "'" : " && '") + name + "' == " + letters[i][1];
  }
  import(text);
  TDR_DATA_TRIGGER* t = signal_set()->find_trigger("trigger_imported");
  ASSERT_NE(t, nullptr);
  for (bool pu : {false, true}) EXPECT_STREQ(t->get_condition_expression(0, pu), expected.c_str());
  // Without a trigger section the trigger keeps its own settings.
  EXPECT_TRUE(t->get_trigger_position(true) == TDR_PTYPE_PRE_POS && t->get_trigger_in(true) ==
              TDR_CTYPE_DONT_CARE_COND && t->get_trigger_out(false) == TDR_CTYPE_ACTIVE_HIGH_COND);

  auto word = [](TDR_DATA_TRIGGER_CONDITION c) {
    const char* text = nullptr;
    TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(c, &text);
    return std::string(text ? text : "");
  };
  for (const auto& row : letters) {
    if (row.size() < 4) continue;
    import("[@\\TVF=1]\n[Signal]\na=0\n[ACQ=\"Corvane ELA\"]\nti=\"" + row[0] + "\"\nto=\"" +
           row[0] + "\"\n");
    TDR_DATA_TRIGGER* trigger = signal_set()->find_trigger("trigger_imported");
    ASSERT_NE(trigger, nullptr);
    for (bool pu : {false, true})
      EXPECT_EQ(word(trigger->get_trigger_in(pu)) + "/" + word(trigger->get_trigger_out(pu)),
                row[2] + "/" + row[3]) << row[0];
  }
}
