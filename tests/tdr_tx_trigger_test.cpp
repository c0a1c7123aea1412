// Trigger working copy: edits committed and compared as saved files, undo back
// to the unedited bytes, compilation impact, renames carried to the data list,
// level undo symmetry and bad input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "tdr_data_manager.h"
#include "tdr_data_trigger.h"
#include "tdr_test_support.h"
#include "tdr_tx_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_player.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_trigger.h"

namespace {

using EDIT = std::function<void(TDR_TX_TRIGGER&)>;

std::string data_file(const std::string& name) {
  return source_dir() + "/tests/data/tx_trigger/" + name;
}

int node(TDR_TX_TRIGGER& t, const char* name) { return t.find_wire_node(name); }

}  // namespace

// Every test starts on the trigger of tests/data/tx_trigger/session.xml.
class TxTriggerTest : public TxFileTest {
 protected:
  void SetUp() override {
    TxFileTest::SetUp();
    open();
  }
  void open(const std::string& input = data_file("session.xml")) {
    TxFileTest::open(input);
    t = trig(0);
  }
  void act(const EDIT& edit) {
    TxFileTest::act(0, [&] { edit(*t); });
  }
  bool level_text_has(const std::string& saved, const std::string& text) {
    return saved.find(text) != std::string::npos;
  }

  TDR_TX_TRIGGER* t = nullptr;
};

// Each edit, committed and saved, gives its golden file; undone before the
// commit, it gives the unedited bytes. Golden files are rewritten with
// TDR_UPDATE_GOLDEN=1.
TEST_F(TxTriggerTest, CommittedEditsMatchGoldenFilesAndUndoRestoresTheFile) {
  const struct {
    const char* golden;
    EDIT edit;
  } cases[] = {
      {"basic_condition.xml",
       [](TDR_TX_TRIGGER& t) {
         EXPECT_TRUE(t.set_trigger_condition(node(t, "b"), 0, TDR_CTYPE_RISING_EDGE_COND));
       }},
      {"new_level.xml",
       [](TDR_TX_TRIGGER& t) {
         EXPECT_TRUE(t.set_trigger_level(3));
         EXPECT_TRUE(t.set_trigger_condition(node(t, "a"), 2, TDR_CTYPE_LOW_COND));
       }},
      {"advanced_level.xml",
       [](TDR_TX_TRIGGER& t) {
         EXPECT_TRUE(t.set_trigger_level_basic_condition(0, false));
         EXPECT_TRUE(t.set_advanced_expression(0, "rising(bee) && !c"));
       }},
      {"advanced_expression.xml",
       [](TDR_TX_TRIGGER& t) { EXPECT_TRUE(t.set_advanced_expression(1, "a && !bee")); }},
      {"trigger_settings.xml",
       [](TDR_TX_TRIGGER& t) {
         EXPECT_TRUE(t.set_trigger_position(TDR_PTYPE_POST_POS));
         EXPECT_TRUE(t.set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER));
         EXPECT_TRUE(t.set_segment_size(8));
       }},
      {"power_up.xml",
       [](TDR_TX_TRIGGER& t) {
         EXPECT_TRUE(t.set_power_up_trigger_mode(true));
         EXPECT_TRUE(t.set_trigger_condition(node(t, "c"), 0, TDR_CTYPE_FALLING_EDGE_COND));
         EXPECT_TRUE(t.duplicate_trigger_to_other(false));
         EXPECT_FALSE(t.is_power_up_trigger_view());
       }},
  };
  const std::string unedited = save();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.golden);
    open();
    act(c.edit);
    ASSERT_TRUE(inst(0)->undo());
    EXPECT_EQ(save(), unedited);

    open();
    act(c.edit);
    expect_golden("tx_trigger", c.golden, save());
  }
}

TEST_F(TxTriggerTest, IncrementalNodesInheritTheFingerprintUnlessTheChangeIsFull) {
  std::string node2 = temp_path("node2.xml");
  std::string text = read_file(data_file("session.xml"));
  text.replace(text.find("node_id=\"0\""), 11, "node_id=\"2\"");
  write_file(node2, text);

  open(node2);
  act([](TDR_TX_TRIGGER& t) { t.set_trigger_condition(node(t, "a"), 0, TDR_CTYPE_LOW_COND); });
  ASSERT_TRUE(m_tx->commit_session());
  unsigned long inherited = t->get_commited_crc_value();
  EXPECT_NE(inherited, 0ul);
  // The stored fingerprint (checked against `tdr crc` when the golden file was made).
  expect_golden("tx_trigger", "incremental_inherited.xml", save());

  open(node2);
  act([](TDR_TX_TRIGGER& t) { t.set_trigger_level(3); });
  ASSERT_TRUE(m_tx->commit_session());
  EXPECT_EQ(t->get_commited_crc_value(), 0ul);
}

TEST_F(TxTriggerTest, CompilationImpact) {
  const std::string S = data_file("session.xml"), D = source_dir() + "/examples/demo_session.xml";
  const struct {
    const char* what;
    std::string input;
    EDIT edit;
    bool full, rivlet;
  } cases[] = {
      {"nothing", S, [](TDR_TX_TRIGGER&) {}, false, false},
      {"runtime setting", S, [](TDR_TX_TRIGGER& t) { t.set_trigger_position(TDR_PTYPE_CENTER_POS); }, false, false},
      {"classic node removed", S, [](TDR_TX_TRIGGER& t) { t.delete_node(node(t, "d"), node(t, "d")); }, true, false},
      {"probe-only node removed", S, [](TDR_TX_TRIGGER& t) { t.delete_node(node(t, "p"), node(t, "p")); }, false, true},
      {"level count", S, [](TDR_TX_TRIGGER& t) { t.set_trigger_level(1); }, true, false},
      {"basic flag", S, [](TDR_TX_TRIGGER& t) { t.set_trigger_level_basic_condition(0, false); }, true, false},
      {"power-up mode", S, [](TDR_TX_TRIGGER& t) { t.set_power_up_trigger_mode(true); }, true, false},
      {"power-up position", D, [](TDR_TX_TRIGGER& t) {
         t.set_power_up_trigger_view(true);
         t.set_trigger_position(TDR_PTYPE_POST_POS);
       }, true, false},
      {"power-up condition", D, [](TDR_TX_TRIGGER& t) {
         t.set_power_up_trigger_view(true);
         t.set_trigger_condition(node(t, "cpu|addr[0]"), 0, TDR_CTYPE_HIGH_COND);
       }, true, false},
      {"normal condition with power-up on", D,
       [](TDR_TX_TRIGGER& t) { t.set_trigger_condition(node(t, "cpu|addr[0]"), 0, TDR_CTYPE_HIGH_COND); }, false, false},
      {"advanced text changed", S, [](TDR_TX_TRIGGER& t) { EXPECT_TRUE(t.set_advanced_expression(1, "a && bee")); }, true, false},
      {"advanced text unchanged", S, [](TDR_TX_TRIGGER& t) { EXPECT_TRUE(t.set_advanced_expression(1, "a || bee")); }, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    open(c.input);
    act(c.edit);
    bool full = !c.full, rivlet = !c.rivlet;
    t->check_compilation_type(&full, &rivlet);
    EXPECT_EQ(full, c.full);
    EXPECT_EQ(rivlet, c.rivlet);
  }
}

TEST_F(TxTriggerTest, RenamesReachTheDataListAndEveryLevel) {
  TDR_TX_SIGNAL_SET* data_list = m_tx->get_signal_set_at(0, true);
  act([](TDR_TX_TRIGGER& t) {
    ASSERT_TRUE(t.set_trigger_level(3));
    t.set_trigger_condition(node(t, "a"), 2, TDR_CTYPE_LOW_COND);
    EXPECT_TRUE(t.rename_node_name("a", "alpha"));
    EXPECT_FALSE(t.rename_node_name("alpha", "b"));    // a name
    EXPECT_FALSE(t.rename_node_name("alpha", "bee"));  // an alias
    EXPECT_FALSE(t.set_node_alias(node(t, "c"), "bee"));
  });
  EXPECT_GE(data_list->find_wire_node("alpha"), 0);
  EXPECT_LT(data_list->find_wire_node("a"), 0);
  EXPECT_TRUE(t->is_name_in_uniq_set("alpha"));
  EXPECT_FALSE(t->is_name_in_uniq_set("a"));
  // Undo and redo keep the name set in step with the nodes.
  act([](TDR_TX_TRIGGER& t) { EXPECT_TRUE(t.set_node_alias(node(t, "c"), "cee")); });
  for (bool redo : {false, true}) {
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(redo ? inst(0)->redo() : inst(0)->undo());
    for (const char* name : {"alpha", "cee"}) EXPECT_EQ(t->is_name_in_uniq_set(name), redo);
    EXPECT_EQ(t->is_name_in_uniq_set("a"), !redo);
    EXPECT_TRUE(t->is_name_in_uniq_set("bee"));
  }
  std::string saved = save();
  EXPECT_TRUE(level_text_has(saved, ">'alpha' == high\n"));
  EXPECT_TRUE(level_text_has(saved, ">'alpha' == low\n"));
  // Wires and nets; advanced expressions are the editor's text and stay.
  EXPECT_FALSE(level_text_has(saved, "name=\"a\" tap_mode"));
  EXPECT_FALSE(level_text_has(saved, "name=\"a\"/>\n          <net"));
}

// Shrinking and growing keep the slots: undo and redo bring back the same
// conditions, and the vector length follows the level count.
TEST_F(TxTriggerTest, LevelCountUndoRedoSymmetry) {
  int a = node(*t, "a");
  act([&](TDR_TX_TRIGGER& t) {
    t.set_trigger_level(4);
    t.set_trigger_condition(a, 3, TDR_CTYPE_EITHER_EDGE_COND);
  });
  act([](TDR_TX_TRIGGER& t) { t.set_trigger_level(1); });
  EXPECT_EQ(t->get_trigger_condition(a, 3), TDR_CTYPE_INVALID_COND);
  EXPECT_EQ(t->get_trigger_condition(a, 0), TDR_CTYPE_HIGH_COND);
  ASSERT_TRUE(inst(0)->undo());
  EXPECT_EQ(t->get_trigger_level(), 4);
  EXPECT_EQ(t->get_trigger_condition(a, 3), TDR_CTYPE_EITHER_EDGE_COND);
  EXPECT_FALSE(t->is_trigger_level_basic_condition(1));
  ASSERT_TRUE(inst(0)->undo());
  EXPECT_EQ(t->get_trigger_level(), 2);
  ASSERT_TRUE(inst(0)->redo());
  EXPECT_EQ(t->get_trigger_condition(a, 3), TDR_CTYPE_EITHER_EDGE_COND);
  ASSERT_TRUE(inst(0)->redo());
  EXPECT_EQ(t->get_trigger_level(), 1);
  EXPECT_EQ(t->get_trigger_adv_condition_root(1), nullptr);
}

TEST_F(TxTriggerTest, SettersChangeOnlyTheViewedSideAndRaiseTheirFlags) {
  TDR_TX_CHANGE_STATUS* status = inst(0)->get_change_status();
  act([&](TDR_TX_TRIGGER& t) {
    EXPECT_FALSE(t.set_trigger_condition(node(t, "a"), 0, TDR_CTYPE_HIGH_COND));
    EXPECT_FALSE(t.set_power_up_trigger_mode(false));
    t.set_power_up_trigger_view(true);
    EXPECT_TRUE(t.set_trigger_position(TDR_PTYPE_POST_POS));
  });
  EXPECT_TRUE(status->m_trigger_full_changed);
  EXPECT_FALSE(status->m_trigger_runtime_changed);
  EXPECT_EQ(t->get_trigger_position(), TDR_PTYPE_POST_POS);
  t->set_power_up_trigger_view(false);
  EXPECT_EQ(t->get_trigger_position(), TDR_PTYPE_PRE_POS);
  ASSERT_TRUE(inst(0)->undo());
  t->set_power_up_trigger_view(true);
  EXPECT_EQ(t->get_trigger_position(), TDR_PTYPE_PRE_POS);
  EXPECT_FALSE(status->m_trigger_full_changed);
}

// Undo brings back the expression read from the file; the modified marks of
// the levels decide the advanced change flags.
TEST_F(TxTriggerTest, AdvancedExpressionUndoAndModifiedFlags) {
  act([](TDR_TX_TRIGGER& t) { t.set_advanced_expression(1, "a && c"); });
  EXPECT_NE(t->get_advanced_trigger_condition_factory(1), nullptr);
  ASSERT_TRUE(inst(0)->undo());  // the text read back: advanced_expression.xml's undo
  EXPECT_NE(t->get_advanced_trigger_condition_factory(1), nullptr);

  open();
  act([](TDR_TX_TRIGGER& t) {
    t.set_trigger_level(3);
    t.set_trigger_level_basic_condition(2, false);
    t.set_trigger_level_adv_condition_modified(1, false, true);
    t.set_trigger_level_adv_condition_modified(2, false, false);
  });
  EXPECT_TRUE(inst(0)->get_change_status()->m_adv_trigger_changed);
  EXPECT_FALSE(inst(0)->get_change_status()->m_adv_trigger_full_changed);
}

TEST_F(TxTriggerTest, BadInputIsRefusedWithoutHarm) {
  int d = node(*t, "d");  // captures data only
  act([&](TDR_TX_TRIGGER& t) {
    EXPECT_FALSE(t.set_trigger_condition(d, 0, TDR_CTYPE_HIGH_COND));
    EXPECT_FALSE(t.set_trigger_condition(node(t, "a"), 0, TDR_CTYPE_HIGH_COND));  // already so
    EXPECT_FALSE(t.set_trigger_condition(node(t, "a"), 2, TDR_CTYPE_HIGH_COND));
    EXPECT_FALSE(t.set_trigger_condition(-1, 0, TDR_CTYPE_HIGH_COND));
    EXPECT_FALSE(t.set_trigger_condition(node(t, "a"), -1, TDR_CTYPE_HIGH_COND));
    EXPECT_FALSE(t.set_trigger_level(-1));
    EXPECT_FALSE(t.set_trigger_level(2000000000));
    EXPECT_FALSE(t.set_trigger_level_enabled(-1, false));
    EXPECT_FALSE(t.set_trigger_level_enabled(7, false));
    EXPECT_FALSE(t.set_advanced_expression(0, "a"));  // a basic level
    EXPECT_FALSE(t.append_node("bee", TDR_STYPE_UNKNOWN_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
    EXPECT_EQ(t.copy_before_node(0, 1, 3, false), -1);
  });
  expect_internal_error("node_index >= 0");
  expect_internal_error("level >= 0");
  expect_internal_error("levels >= 0");
  expect_internal_error("levels <= MAX_EDITED_LEVELS");
  expect_internal_error("level >= 0");
  EXPECT_EQ(t->get_trigger_condition(d, 0), TDR_CTYPE_INVALID_COND);
  EXPECT_FALSE(inst(0)->is_undo_available());

  // An expression the compiler rejects leaves the level without factory.
  act([](TDR_TX_TRIGGER& t) { EXPECT_TRUE(t.set_advanced_expression(1, "a && (")); });
  EXPECT_EQ(t->get_advanced_trigger_condition_factory(1), nullptr);
  EXPECT_EQ(t->get_advanced_expression(1, false), "a && (");
  const auto& lines = m_sink.debug_lines;
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "ADV: Invalid advanced trigger expression is generated from get_equation"),
            lines.end());
  EXPECT_TRUE(level_text_has(save(), "<![CDATA[a && (]]>"));

  // Without a data list, node changes that must reach it are refused.
  TDR_TX_CHANGE_STATUS status;
  TDR_TX_UNDO_MANAGER undo(&status, nullptr);
  TDR_TX_TRIGGER alone(0, nullptr, &undo, &status, nullptr, nullptr);
  EXPECT_FALSE(alone.append_node("e", TDR_STYPE_UNKNOWN_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
  EXPECT_FALSE(alone.delete_node("e"));
  expect_internal_error("signal_set != NULL");
  expect_internal_error("signal_set != NULL");
}

TEST_F(TxTriggerTest, SetupListOperationsAreRecordedAndReplay) {
  std::string script;
  {
    RECORDING on(temp_dir());
    TDR_TX_SESSION tx;
    script = tx.get_script_recorder()->get_script_path();
    std::string path = temp_path("recorded.xml");
    write_file(path, read_file(data_file("session.xml")));
    ASSERT_TRUE(tx.open_session(path.c_str()));
    tx.get_trigger_at(0, true)->rebuild_uniq_name_set();
    tx.get_trigger_at(0, true)->is_node_deletable(0);
  }
  EXPECT_NE(read_file(script).find("\ninstance 0 setup_tab rebuild_uniq_name_set\n"
                                   "instance 0 setup_tab is_node_deletable 0\n"),
            std::string::npos);
  TDR_TX_SCRIPT_PLAYER replay;
  ASSERT_TRUE(replay.load_file(script)) << replay.get_error();
  EXPECT_EQ(replay.run(), TDR_TX_SCRIPT_PLAYER::REPLAY_OK) << replay.get_error();
}

// Advanced levels without an op_node tree, or with foreign elements in it,
// load and commit into a new trigger; the tree keeps what is op_node.
TEST_F(TxTriggerTest, BrokenOrMissingOpNodeTrees) {
  std::string text = read_file(data_file("session.xml"));
  std::string broken = text;
  broken.replace(broken.find("<op_node kind=\"input\" name=\"a\"/>"), 0, "<junk><op_node/></junk>");
  std::string missing = text;
  size_t from = missing.find("            <op_node kind=\"or\">");
  const std::string end = "            </op_node>\n";
  missing.erase(from, missing.find(end) + end.size() - from);
  const std::pair<const char*, std::string> files[] = {{"broken", broken}, {"missing", missing}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.first);
    std::string path = temp_path(std::string(f.first) + ".xml");
    write_file(path, f.second);
    open(path);
    act([](TDR_TX_TRIGGER& t) { t.set_trigger_level(3); });
    std::string saved = save();
    EXPECT_TRUE(level_text_has(saved, "<![CDATA[a || bee]]>"));
    EXPECT_EQ(level_text_has(saved, "<op_node kind=\"input\" name=\"bee\"/>"),
              std::string(f.first) == "broken");
    EXPECT_FALSE(level_text_has(saved.substr(saved.rfind("<trigger ")), "<junk>"));
  }
}

// The setup list keeps names and aliases unique and carries its structural
// changes to the data list; undo restores both lists and the name set.
TEST_F(TxTriggerTest, SetupListOverridesCarryChangesToTheDataList) {
  TDR_TX_SIGNAL_SET* data_list = m_tx->get_signal_set_at(0, true);
  act([](TDR_TX_TRIGGER& t) {
    EXPECT_FALSE(t.append_node("a", TDR_STYPE_UNKNOWN_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
    EXPECT_TRUE(t.append_node("e", TDR_STYPE_UNKNOWN_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
    EXPECT_EQ(t.delete_node(node(t, "c"), node(t, "c")), 1);
  });
  EXPECT_GE(data_list->find_wire_node("e"), 0);
  EXPECT_LT(data_list->find_wire_node("c"), 0);
  EXPECT_FALSE(t->is_name_in_uniq_set("c"));
  ASSERT_TRUE(inst(0)->undo());
  EXPECT_GE(data_list->find_wire_node("c"), 0);
  EXPECT_LT(data_list->find_wire_node("e"), 0);
  EXPECT_TRUE(t->is_name_in_uniq_set("c"));
  EXPECT_FALSE(t->is_name_in_uniq_set("e"));

  // Groups take the first free "NAME (n)".
  act([](TDR_TX_TRIGGER& t) {
    ASSERT_TRUE(t.group_node(0, 1, nullptr));
    ASSERT_TRUE(t.group_node(3, 4, nullptr));
  });
  EXPECT_EQ(std::string(t->get_node_name(0)), "Group");
  EXPECT_EQ(std::string(t->get_node_name(3)), "Group (1)");
  act([](TDR_TX_TRIGGER& t) { EXPECT_FALSE(t.set_group_node_name(0, "Group (1)")); });
  act([](TDR_TX_TRIGGER& t) { EXPECT_TRUE(t.ungroup_node(3)); });
  EXPECT_FALSE(t->is_name_in_uniq_set("Group (1)"));
  EXPECT_TRUE(t->is_name_in_uniq_set("Group"));

  // Deleting a linked group takes its partner in the data list apart.
  act([](TDR_TX_TRIGGER& t) { ASSERT_TRUE(t.link_group_node(0, TDR_LTYPE_ALL_LINK)); });
  int partner = data_list->find_group_node("Group");
  ASSERT_GE(partner, 0);
  act([](TDR_TX_TRIGGER& t) { EXPECT_EQ(t.delete_node(0, 0), 3); });
  EXPECT_LT(data_list->find_group_node("Group"), 0);
  EXPECT_LT(data_list->find_wire_node("a"), 0);
  EXPECT_FALSE(t->is_name_in_uniq_set("Group"));
  ASSERT_TRUE(inst(0)->undo());
  EXPECT_GE(data_list->find_group_node("Group"), 0);
  EXPECT_GE(data_list->find_wire_node("a"), 0);
}

// A node that now captures trigger only leaves the data list; one that
// captures data again comes back. Neither step is undoable on its own.
TEST_F(TxTriggerTest, CaptureTypeChangesSyncIntoTheDataList) {
  TDR_TX_SIGNAL_SET* data_list = m_tx->get_signal_set_at(0, true);
  int d = node(*t, "d");
  act([&](TDR_TX_TRIGGER& t) {
    ASSERT_TRUE(t.set_node_capture_type(d, TDR_WTYPE_TRIGGER_CAPTURE));
  });
  int actions = inst(0)->get_undo_manager()->get_num_actions();
  t->sync_upon_capture_type_change();
  EXPECT_LT(data_list->find_wire_node("d"), 0);
  EXPECT_FALSE(t->is_capture_type_changed());
  EXPECT_FALSE(inst(0)->is_undo_available());  // deletions there have no undo
  EXPECT_EQ(actions, 1);

  act([&](TDR_TX_TRIGGER& t) { ASSERT_TRUE(t.set_node_capture_type(d, TDR_WTYPE_BOTH_CAPTURE)); });
  t->sync_upon_capture_type_change();
  EXPECT_GE(data_list->find_wire_node("d"), 0);
  EXPECT_EQ(inst(0)->get_undo_manager()->get_num_actions(), 1);
  EXPECT_EQ(t->get_trigger_condition(d, 0), TDR_CTYPE_DONT_CARE_COND);
}

// Without GUI logging the commits go to the global-temp trigger: an unchanged
// trigger is copied there under its own name, a runtime change is written in
// place, a structural change makes a new one.
TEST_F(TxTriggerTest, CommitsWithoutGuiLoggingUseTheGlobalTempTrigger) {
  m_tx->set_gui_logging(false);
  ASSERT_TRUE(m_tx->commit_session());
  TDR_DATA_TRIGGER* copy = t->get_data_trigger();
  ASSERT_TRUE(copy && copy->is_global_temp());
  EXPECT_EQ(std::string(copy->get_name()), "trig1");
  EXPECT_EQ(copy->get_event_levels(), 2);

  act([](TDR_TX_TRIGGER& t) { t.set_trigger_position(TDR_PTYPE_POST_POS); });
  ASSERT_TRUE(m_tx->commit_session());
  EXPECT_EQ(t->get_data_trigger(), copy);
  EXPECT_EQ(copy->get_trigger_position(false), TDR_PTYPE_POST_POS);

  act([](TDR_TX_TRIGGER& t) { t.set_trigger_level(1); });
  ASSERT_TRUE(m_tx->commit_session());
  ASSERT_TRUE(t->get_data_trigger()->is_global_temp());
  EXPECT_EQ(t->get_data_trigger()->get_event_levels(), 1);
  EXPECT_EQ(t->get_data_trigger()->get_trigger_position(false), TDR_PTYPE_POST_POS);
  std::string saved = save();
  EXPECT_TRUE(level_text_has(saved, "name=\"trig1\" position=\"pre\""));
}

TEST_F(TxTriggerTest, QueriesOverTheSetupList) {
  const struct {
    const char* name;
    bool valid, valid_incremental;
  } inputs[] = {{"a", true, true}, {"c", false, true}, {"p", false, false}, {"x", false, false}};
  for (const auto& in : inputs) {
    SCOPED_TRACE(in.name);
    EXPECT_EQ(t->is_valid_advanced_trigger_condition_input_node(in.name), in.valid);
    TxFileTest::act(0, [&] { inst(0)->set_incr_cmp_mode(true); });
    EXPECT_EQ(t->is_valid_advanced_trigger_condition_input_node(in.name), in.valid_incremental);
    TxFileTest::act(0, [&] { inst(0)->set_incr_cmp_mode(false); });
  }
  EXPECT_EQ(t->get_trigger_wire_width_non_inc_rted(), 2);
  EXPECT_GT(t->get_adv_trigger_level_lcell_usage(1), 0);
  EXPECT_EQ(t->get_adv_trigger_level_lcell_usage(0), 0);
  expect_internal_error("factory != NULL && factory->get_root() != NULL");

  TDR_DATA_SIGNAL_SET* set = t->get_data_trigger()->get_signal_set();
  EXPECT_TRUE(t->is_signal_compatible(set));
  act([](TDR_TX_TRIGGER& t) { t.delete_node(node(t, "p"), node(t, "p")); });
  EXPECT_FALSE(t->is_signal_compatible(set));
}

// Before its instance has a signal set the trigger has nowhere to go: the
// commit leaves the instance unmodified, and the commit that makes the set
// writes the edit.
TEST_F(TxTriggerTest, CommitWithoutSignalSetLeavesNothingModified) {
  ASSERT_TRUE(m_tx->create_tavrin_instance("gamma"));
  int g = m_tx->find_instance_index("gamma");
  TxFileTest::act(g, [&] { EXPECT_TRUE(trig(g)->set_trigger_position(TDR_PTYPE_POST_POS)); });
  save();
  EXPECT_EQ(set(g)->get_data_signal_set(), nullptr);
  TxFileTest::act(g, [&] {
    EXPECT_TRUE(trig(g)->append_node("x", TDR_STYPE_UNKNOWN_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
  });
  std::string saved = save();
  EXPECT_NE(saved.find("position=\"post\""), std::string::npos);
}
