// Undo manager, change status, instance working object and plug-in working copy.
#include <gtest/gtest.h>

#include "tdr_data_bus_mnemonics_plugin.h"
#include "tdr_data_instance.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_trigger_adv_tree.h"
#include "tdr_data_xml_attr.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_test_support.h"
#include "tdr_tx_tree_object.h"

namespace {

// Sets an int; counts live objects so that every deletion is visible.
class SET_INT_ACTION : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  static int live;
  SET_INT_ACTION(int* target, int before, int after, bool fail = false)
      : m_target(target), m_before(before), m_after(after), m_fail(fail) { ++live; }
  ~SET_INT_ACTION() override { --live; }
  bool undo() override { *m_target = m_before; return !m_fail; }
  bool redo() override { *m_target = m_after; return !m_fail; }

 private:
  int* m_target;
  int m_before, m_after;
  bool m_fail;
};
int SET_INT_ACTION::live = 0;

class TxUndoTest : public TdrTest {
 protected:
  void TearDown() override {
    delete m_instance;
    EXPECT_EQ(SET_INT_ACTION::live, 0) << "every atomic action is freed exactly once";
    TdrTest::TearDown();
  }
  // One user action setting m_value to `value`, with status flag `flag`.
  void act(int value, bool TDR_TX_CHANGE_STATUS::*flag = &TDR_TX_CHANGE_STATUS::m_trigger_changed) {
    m_instance->begin_action();
    m_instance->get_change_status()->*flag = true;
    m_manager->append_atomic_action(new SET_INT_ACTION(&m_value, m_value, value));
    m_value = value;
    m_instance->end_action();
  }
  TDR_TX_INSTANCE* m_instance = new TDR_TX_INSTANCE(0, nullptr, nullptr, nullptr);
  TDR_TX_UNDO_MANAGER* m_manager = m_instance->get_undo_manager();
  int m_value = 0;
};

TEST_F(TxUndoTest, CursorRedoBranchAndStepLimit) {
  m_instance->begin_action();
  EXPECT_FALSE(m_manager->end_action()) << "an empty action leaves no step";
  EXPECT_EQ(m_manager->get_num_actions(), 0);
  EXPECT_FALSE(m_instance->is_undo_available());

  act(1), act(2), act(3);
  EXPECT_TRUE(m_instance->undo());
  EXPECT_TRUE(m_instance->undo());
  EXPECT_EQ(m_value, 1);
  EXPECT_TRUE(m_instance->is_redo_available());
  act(7);
  EXPECT_EQ(m_manager->get_num_actions(), 2);
  EXPECT_FALSE(m_instance->is_redo_available()) << "a new action cuts the redo branch";
  EXPECT_EQ(SET_INT_ACTION::live, 2);

  m_manager->clear();
  for (int i = 1; i <= 129; ++i) act(i);
  EXPECT_EQ(m_manager->get_num_actions(), 128) << "the 129th push drops the oldest";
  while (m_instance->undo()) continue;
  EXPECT_EQ(m_value, 1) << "the oldest kept action set 2 from 1";
  while (m_instance->redo()) continue;
  EXPECT_EQ(m_value, 129);

  m_manager->clear();
  for (int i = 0; i < 5; ++i) act(i);
  m_instance->set_max_undo_steps(2);
  EXPECT_EQ(m_manager->get_num_actions(), 5) << "lowering the limit removes nothing by itself";
  act(5);
  EXPECT_EQ(m_manager->get_num_actions(), 5) << "one removal per push";
  m_instance->set_max_undo_steps(0);
  act(6);
  EXPECT_EQ(m_manager->get_num_actions(), 5);
  m_instance->set_max_undo_steps(-1);
  for (int i = 0; i < 200; ++i) act(i);
  EXPECT_EQ(m_manager->get_num_actions(), 205) << "a negative limit keeps everything";

  m_manager->pop_action();
  EXPECT_EQ(m_manager->get_num_actions(), 204);
  m_manager->clear();
  m_manager->pop_action();
  expect_internal_error("last_action != NULL");
}

TEST_F(TxUndoTest, StatusTabFailuresAndDroppedActions) {
  TDR_TX_CHANGE_STATUS* status = m_instance->get_change_status();
  m_instance->set_setup_tab_selected(false);
  act(1, &TDR_TX_CHANGE_STATUS::m_rivlet_node_changed);
  EXPECT_TRUE(m_instance->is_rivlet_compilation());
  m_instance->set_setup_tab_selected(true);
  act(2, &TDR_TX_CHANGE_STATUS::m_trigger_full_changed);
  EXPECT_TRUE(m_instance->is_full_compilation() && !m_instance->is_rivlet_compilation());

  m_instance->set_setup_tab_selected(false);
  ASSERT_TRUE(m_instance->undo());
  EXPECT_TRUE(m_instance->is_setup_tab_selected()) << "the tab of the action's begin";
  EXPECT_TRUE(status->m_rivlet_node_changed && !status->m_trigger_full_changed);
  ASSERT_TRUE(m_instance->undo());
  EXPECT_FALSE(m_instance->is_modified()) << "undoing every change since loading";
  EXPECT_FALSE(m_instance->is_setup_tab_selected());
  ASSERT_TRUE(m_instance->redo());
  ASSERT_TRUE(m_instance->redo());
  EXPECT_TRUE(status->m_trigger_full_changed && status->m_rivlet_node_changed);

  // An action that edits while undoing hands atomic actions over: they are dropped.
  class REENTRANT : public SET_INT_ACTION {
   public:
    REENTRANT(TDR_TX_UNDO_MANAGER* m, int* t) : SET_INT_ACTION(t, 0, 1), m_manager(m) {}
    bool undo() override {
      m_manager->append_atomic_action(new SET_INT_ACTION(&m_scratch, 0, 1));
      return SET_INT_ACTION::undo();
    }
    TDR_TX_UNDO_MANAGER* m_manager;
    int m_scratch = 0;
  };
  m_instance->begin_action();
  m_manager->append_atomic_action(new REENTRANT(m_manager, &m_value));
  m_instance->end_action();
  EXPECT_TRUE(m_instance->undo());
  EXPECT_EQ(SET_INT_ACTION::live, 3);

  // A failing atomic action stops the walk: the earlier one is not undone.
  m_value = 5;
  m_instance->begin_action();
  m_manager->append_atomic_action(new SET_INT_ACTION(&m_value, 10, 5));
  m_manager->append_atomic_action(new SET_INT_ACTION(&m_value, 20, 5, true));
  m_instance->end_action();
  EXPECT_FALSE(m_instance->undo());
  expect_internal_error("Undo failed");
  EXPECT_EQ(m_value, 20);
  EXPECT_FALSE(m_instance->redo());
  expect_internal_error("Redo failed");
  EXPECT_FALSE(m_instance->is_redo_available()) << "the cursor moves even on failure";

  // Misuse is reported and leaks nothing.
  m_manager->end_action();
  expect_internal_error("Action has not been started in undo manager");
  m_manager->append_atomic_action(nullptr);
  expect_internal_error("atomic_action != NULL");
  m_manager->append_atomic_action(new SET_INT_ACTION(&m_value, 0, 0));
  expect_internal_error("Action has not been started in undo manager");
  m_instance->begin_action();
  m_manager->append_atomic_action(new SET_INT_ACTION(&m_value, 0, 0));
  m_instance->begin_action();
  expect_internal_error("Previous action has not been terminated in undo manager");
  m_manager->append_atomic_action(new SET_INT_ACTION(&m_value, 0, 0));
  // The instance is deleted with the action open (TearDown checks the count).
}

TEST_F(TxUndoTest, UndoAfterCommitKeepsTheChangeForTheNextCommit) {
  m_instance->begin_action();
  m_instance->set_incr_cmp_mode(false);
  EXPECT_FALSE(m_manager->end_action()) << "no change, no step";
  m_instance->begin_action();
  m_instance->set_incr_cmp_mode(true);
  m_instance->end_action();
  EXPECT_TRUE(m_instance->is_full_compilation());
  m_instance->commit();
  EXPECT_FALSE(m_instance->is_modified());
  ASSERT_TRUE(m_instance->undo());
  EXPECT_FALSE(m_instance->is_incr_cmp_mode());
  EXPECT_TRUE(m_instance->is_modified()) << "the committed mode must be written back";
  ASSERT_TRUE(m_instance->redo());
  EXPECT_TRUE(m_instance->is_incr_cmp_mode());
  EXPECT_TRUE(m_instance->is_modified());
  m_instance->commit();
  act(1);
  ASSERT_TRUE(m_instance->undo());
  EXPECT_FALSE(m_instance->is_modified());
}

TEST_F(TxUndoTest, PluginSettingsRunsBecomeOneActionPerTarget) {
  TDR_TX_CHANGE_STATUS* status = m_instance->get_change_status();
  TDR_TX_PLUGIN_MNEMONICS_INFO a(status, m_manager), b(status, m_manager);
  a.set_width(4);  // outside an action: a change without an undo step
  EXPECT_TRUE(status->m_presentation_changed);
  EXPECT_EQ(m_manager->get_num_actions(), 0);

  m_sink.debug_lines.clear();
  m_instance->begin_action();
  a.set_width(8);
  a.set_width(16);
  a.set_plugin_name("hex_view");
  b.set_table_name("states");
  a.reset_user_option();
  a.add_user_option("base", "16", TDR_OTYPE_INTEGER_OPTION);
  a.add_internal_option("cache", "on");
  m_instance->end_action();
  ASSERT_EQ(m_manager->get_num_actions(), 1);
  // A run is added when another target follows; the last one is closed by end_action.
  EXPECT_EQ(m_sink.debug_lines,
            std::vector<std::string>({"Begin undo action", "Add atomic action", "Add atomic action",
                                      "End undo action with atomic action(s) pushed onto stack"}));

  ASSERT_TRUE(m_instance->undo());
  EXPECT_EQ(a.get_width(), 4);
  EXPECT_EQ(a.get_plugin_name(), "");
  EXPECT_EQ(a.get_user_option_count(), 0);
  EXPECT_EQ(b.get_table_name(), "");
  ASSERT_TRUE(m_instance->redo());
  EXPECT_EQ(a.get_width(), 16);
  EXPECT_EQ(b.get_table_name(), "states");
  std::string name, value;
  TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type = TDR_OTYPE_FILE_OPTION;
  EXPECT_TRUE(a.get_user_option_at(0, &name, &value, &type));
  EXPECT_EQ(name + "=" + value, "base=16");
  EXPECT_EQ(type, TDR_OTYPE_INTEGER_OPTION);

  // Setting the current value again records nothing.
  m_instance->begin_action();
  b.set_table_name("states");
  EXPECT_FALSE(m_manager->end_action());

  // Undo of an add without a preceding reset.
  m_instance->begin_action();
  a.add_internal_option("second", "x");
  m_instance->end_action();
  ASSERT_TRUE(m_instance->undo());
  EXPECT_EQ(a.get_internal_option_count(), 1);

  a.set_plugin_name(nullptr);
  expect_internal_error("name != NULL");
}

TEST_F(TdrTest, PluginSettingsReadAndWriteTheDataRecord) {
  TDR_DATA_SESSION* session = TDR_DATA_MANAGER::get_data_repository_manager()->create_session(
      temp_path("p.xml").c_str());
  DOMDocument* doc = session->get_dom_doc();
  DOMElement* element = doc->createElement(TDR_X("mnemonics_plugin"));
  doc->getDocumentElement()->appendChild(element);
  TDR_DATA_BUS_MNEMONICS_PLUGIN record(element);
  record.set_plugin_name("old");
  record.reset_user_option();
  record.add_user_option("stale", "1", TDR_OTYPE_STRING_OPTION);

  TDR_TX_CHANGE_STATUS status;
  TDR_TX_PLUGIN_MNEMONICS_INFO info(&status, nullptr);
  info.init_from_data_node(&record);
  EXPECT_EQ(info.get_plugin_name(), "old");
  EXPECT_EQ(info.get_user_option_count(), 1);
  EXPECT_TRUE(status.m_presentation_changed) << "loading rebuilds the lists through reset/add";
  info.set_table_name("tbl");
  info.set_width(0);
  info.reset_user_option();
  info.add_user_option("a", "1", TDR_OTYPE_FILE_OPTION);
  info.add_user_option("b", "2", TDR_OTYPE_STRING_OPTION);
  info.add_internal_option("i", "v");
  info.commit_to_data_node(&record);
  ASSERT_TRUE(session->save_as(temp_path("p.xml").c_str(), true, true));
  expect_golden("tx_plugin", "mnemonics_plugin.xml", read_file(temp_path("p.xml")));
  TDR_DATA_MANAGER::get_data_repository_manager()->close_session(session->get_name());
}

TEST_F(TdrTest, InstanceWorkingObjectPassesThroughAndCommits) {
  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  std::string path = temp_path("demo.xml");
  write_file(path, read_file(source_dir() + "/examples/demo_session.xml"));
  TDR_DATA_SESSION* session = manager->open_session(path.c_str());
  ASSERT_NE(session, nullptr);
  TDR_DATA_INSTANCE* data = session->get_instance_at(0);
  TDR_TX_INSTANCE instance(0, nullptr, data, nullptr);
  EXPECT_EQ(instance.get_name(true), "Power-Up");
  EXPECT_FALSE(instance.rename(nullptr));
  EXPECT_TRUE(instance.rename("cpu_probe2"));

  instance.begin_action();
  instance.set_incr_cmp_mode(true);
  instance.end_action();
  EXPECT_FALSE(data->is_incr_cmp_mode()) << "nothing reaches the document before commit";
  EXPECT_TRUE(instance.undo() && instance.redo());
  EXPECT_TRUE(instance.commit());
  EXPECT_TRUE(data->is_incr_cmp_mode());
  EXPECT_TRUE(session->save(true));
  std::string saved = read_file(path);
  EXPECT_NE(saved.find("compilation_mode=\"incremental\""), std::string::npos);
  EXPECT_NE(saved.find("name=\"cpu_probe2\""), std::string::npos);
  manager->close_session(path.c_str());
}

// A tree without an equation keeps the caller's text; expressions copy across.
TEST_F(TdrTest, GenericTreeKeepsBothExpressions) {
  TDR_TX_GENERIC_TREE_OBJECT tree;
  std::string text = "unchanged";
  EXPECT_FALSE(tree.get_equation(nullptr, nullptr, false, &text)) << "the stored text stands";
  EXPECT_EQ(text, "unchanged");
  tree.set_expression(false, "a && b");
  tree.copy_to_other_side(true);
  EXPECT_TRUE(tree.get_equation(nullptr, nullptr, true, &text));
  EXPECT_EQ(text, "a && b");
  // A deep chain is released without recursion.
  TDR_TX_TREE_OBJECT* node = &tree;
  for (int i = 0; i < 200000; ++i) node = node->create_and_append_child();
}

}  // namespace
