// Condition text of basic trigger levels: written from the conditions, read
// back into the trigger (what it stores and posts; the grammar itself is
// covered by the language test, hostile texts included), bus values and
// symbols, symbol characters and the summary text.
#include <map>
#include <string>
#include <vector>

#include "tdr_data_trigger_test_support.h"

using namespace std::string_literals;

namespace {

class ConditionTest : public TriggerTest {
 protected:
  // The shared session with one trigger "t" of three empty levels.
  TDR_DATA_TRIGGER* fresh() {
    open_triggers("<trigger name=\"t\"><events><level/><level/><level/></events></trigger>");
    return trigger();
  }
  // Parses `text` into a fresh level 1 and returns its conditions.
  CONDS parsed(const std::string& text, bool power_up = false) {
    TDR_DATA_TRIGGER* t = fresh();
    t->parse_condition(text.c_str(), 1, power_up);
    EXPECT_EQ(conditions(t, 1, !power_up), CONDS(7, DC)) << "other side touched: " << text;
    EXPECT_EQ(conditions(t, 0, power_up), CONDS(7, DC)) << "other level touched: " << text;
    return conditions(t, 1, power_up);
  }
};

}  // namespace

TEST_F(ConditionTest, TextsAreWrittenInWireOrderAndReadBack) {
  TDR_DATA_TRIGGER* t = fresh();
  t->set_trigger_condition(0, 0, TDR_CTYPE_HIGH_COND, false, false);
  t->set_trigger_condition(2, 0, TDR_CTYPE_FALLING_EDGE_COND, false, false);
  EXPECT_STREQ(t->get_condition_expression(0, false), "'a' == high && 'c' == falling edge");
  // The alias names the wire.
  t->set_trigger_condition(1, 0, TDR_CTYPE_LOW_COND, false, false);
  EXPECT_STREQ(t->get_condition_expression(0, false),
               "'a' == high && 'B' == low && 'c' == falling edge");
  EXPECT_STREQ(t->get_condition_expression(0, true), "");
  EXPECT_STREQ(t->get_condition_expression(7, false), "");

  // Every basic condition, on both sides, survives writing and reading.
  const CONDS all = {HI, LO, RE, FE, EE, DC, LO};
  for (bool power_up : {false, true}) {
    for (int w = 0; w < 7; ++w)
      t->set_trigger_condition(w, 2, TDR_DATA_TRIGGER_CONDITION(all[size_t(w)]), power_up, true);
    std::string text = t->get_condition_expression(2, power_up);
    EXPECT_EQ(text,
              "'a' == high && 'B' == low && 'c' == rising edge && 'd0' == falling edge && "
              "'d1' == either edge && 'd3' == low");
    EXPECT_EQ(parsed(text, power_up), all);
    t = trigger();
  }
}

TEST_F(ConditionTest, LevelsOutOfRangeSetNothing) {
  TDR_DATA_TRIGGER* t = fresh();
  t->parse_condition(nullptr, 0, false);
  // A level out of range takes nothing, and nobody is warned.
  t->parse_condition("'a' == high && 'zz' == low && 'bus' == 3 && 'bus' == RUN", 5, false);
  t->parse_condition("'a' == high", -1, true);
  EXPECT_EQ(conditions(t, 0, false), CONDS(7, DC));
}

TEST_F(ConditionTest, PortConditionsAreWrittenButNotRead) {
  TDR_DATA_TRIGGER* t = fresh();
  t->set_trigger_condition(0, 0, TDR_CTYPE_LOW_COND, false, true);
  t->set_trigger_condition(2, 0, TDR_CTYPE_ACTIVE_HIGH_COND, false, true);
  t->set_trigger_condition(3, 0, TDR_CTYPE_HIGH_COND, false, true);
  std::string text = t->get_condition_expression(0, false);
  EXPECT_EQ(text, "'a' == low && 'c' == active high && 'd0' == high");
  t->parse_condition(text.c_str(), 1, false);
  MSG_RECORD m = expect_message("WTDR_COND_SYNTAX");
  EXPECT_EQ(m.args, (ARGS{"t", "1", "active"}));
  EXPECT_EQ(m.text,
            "Condition expression defined in trigger \"t\" at level 1 contains a syntax error -- "
            "stopping processing at string \"active\"");
  // The clause before the error stays; the one after it never applies.
  EXPECT_EQ(conditions(t, 1, false), (CONDS{LO, DC, DC, DC, DC, DC, DC}));

  t->set_trigger_condition(1, 2, TDR_CTYPE_DISABLE_COND, false, true);
  t->parse_condition(t->get_condition_expression(2, false), 2, true);
  EXPECT_EQ(expect_message("WTDR_COND_SYNTAX").args, (ARGS{"t", "2", "disable"}));
  // A value read from an unknown word has no word: the clause is cut short.
  t->set_trigger_condition(1, 2, TDR_CTYPE_INVALID_COND, false, true);
  EXPECT_STREQ(t->get_condition_expression(2, false), "'B' == ");
  t->parse_condition(t->get_condition_expression(2, false), 2, true);
  EXPECT_EQ(expect_message("WTDR_COND_SYNTAX").args, (ARGS{"t", "2", ""}));
  EXPECT_EQ(conditions(t, 2, true), CONDS(7, DC));
}

TEST_F(ConditionTest, NamesWithQuotesAreWrittenUnescaped) {
  TDR_DATA_TRIGGER* t = fresh();
  set()->append(
      set()->create_wire("it's", TDR_WTYPE_TRIGGER_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, nullptr),
      true);
  EXPECT_TRUE(t->set_trigger_condition(0, 0, TDR_CTYPE_LOW_COND, false, true));
  EXPECT_TRUE(t->set_trigger_condition(7, 0, TDR_CTYPE_HIGH_COND, false, true));
  std::string text = t->get_condition_expression(0, false);
  EXPECT_EQ(text, "'a' == low && 'it's' == high");
  t->parse_condition(text.c_str(), 1, false);
  EXPECT_EQ(expect_message("WTDR_COND_SYNTAX").args, (ARGS{"t", "1", "s"}));
  EXPECT_EQ(t->get_condition(1, 0, false), TDR_CTYPE_LOW_COND);
  EXPECT_EQ(t->get_condition(1, 7, false), TDR_CTYPE_DONT_CARE_COND);
  // Escaped, the name reads.
  t->parse_condition("'it\\'s' == high", 1, false);
  EXPECT_EQ(t->get_condition(1, 7, false), TDR_CTYPE_HIGH_COND);
}

// The texts of tests/data/tdr_data_condition/parsed.txt: bus values and
// symbols, names, aliases and groups, and what is warned about.
TEST_F(ConditionTest, TextsSetTheirWiresAndWarn) {
  auto split = [](const std::string& text, char sep) {
    ARGS out(1);
    for (char c : text) {
      if (c == sep)
        out.emplace_back();
      else
        out.back() += c;
    }
    return out;
  };
  const std::map<std::string, int> words = {{"HI", HI}, {"LO", LO}, {"RE", RE},
                                            {"FE", FE}, {"EE", EE}, {"DC", DC}};
  for (const auto& row : test_table("tdr_data_condition/parsed.txt")) {
    SCOPED_TRACE(row.at(0));
    CONDS expected;
    for (const std::string& w : split(row.at(2), ' ')) expected.push_back(words.at(w));
    EXPECT_EQ(parsed(row[0], row[1] == "pu"), expected);
    for (size_t i = 3; i < row.size(); ++i) {
      ARGS args = split(row[i], '|');
      EXPECT_EQ(expect_message(args[0]).args, ARGS(args.begin() + 1, args.end()));
    }
    EXPECT_EQ(message_ids(), ARGS());
  }
}

TEST_F(ConditionTest, LevelTextsReadFromTheFileWarnWithTheirLevel) {
  open_triggers(
      "<trigger name=\"bad\"><events><level>'a' == high</level>"
      "<level>'a' == low &amp;&amp; 'c' == active low<power_up>'c' == rising</power_up></level>"
      "</events></trigger>");
  EXPECT_EQ(expect_message("WTDR_COND_SYNTAX").args, (ARGS{"bad", "1", "active"}));
  EXPECT_EQ(expect_message("WTDR_COND_SYNTAX").args, (ARGS{"bad", "1", ""}));
  TDR_DATA_TRIGGER* t = trigger("bad");
  EXPECT_EQ(conditions(t, 1, false), (CONDS{LO, DC, DC, DC, DC, DC, DC}));
  EXPECT_EQ(conditions(t, 1, true), CONDS(7, DC));
  // Reading left the texts alone.
  std::string saved = save();
  EXPECT_NE(saved.find("'a' == low &amp;&amp; 'c' == active low"), std::string::npos);
  EXPECT_NE(saved.find("<power_up>'c' == rising"), std::string::npos);
}

TEST_F(ConditionTest, SymbolCharacters) {
  const std::string chars = "0Ll1HhRrFfEexX-? Z\x80";
  const CONDS expected = {LO, LO, LO, HI, HI, HI, RE, RE, FE, FE,
                          EE, EE, DC, DC, DC, DC, DC, DC, DC, DC};
  CONDS got;
  for (char c : chars + '\0') got.push_back(TDR_DATA_TRIGGER::convert_symbol_to_condition(c));
  EXPECT_EQ(got, expected);
}

TEST_F(ConditionTest, SummaryText) {
  open_triggers(
      "<trigger name=\"t\" position=\"post\"><events><level/><level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_STREQ(t->to_string(false),
               "   trigger levels = 2\tsegment_size = 1\n"
               "   trigger type = circular\n"
               "   trigger position = post");
  set()->enable_trigger_in(true);
  set()->enable_trigger_out(true);
  t->set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER, true);
  t->set_segment_size(16, true);
  t->set_trigger_in(TDR_CTYPE_RISING_EDGE_COND, true);
  EXPECT_STREQ(t->to_string(true),
               "   trigger levels = 2\tsegment_size = 16\n"
               "   trigger type = segmented\n"
               "   trigger position = pre\n"
               "   trigger in = rising edge\n"
               "   trigger out = active high");
  // Values without words leave their lines out.
  t->set_trigger_type(TDR_DATA_TRIGGER_TYPE(7), false);
  t->set_trigger_position(TDR_DATA_TRIGGER_POSITION(4), false);
  t->set_trigger_in(TDR_CTYPE_INVALID_COND, false);
  t->set_trigger_out(TDR_DATA_TRIGGER_CONDITION(-3), false);
  EXPECT_STREQ(t->to_string(false), "   trigger levels = 2\tsegment_size = 1");
  // The position without a word is written as nothing and read back as such.
  EXPECT_EQ(tdr_get_attr(t->get_dom_node(), TDR_X("position")), "");
  EXPECT_EQ(tdr_get_attr(t->get_dom_node(), TDR_X("trigger_in")), "");
}
