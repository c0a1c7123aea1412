// The transaction session end to end: each main road is driven only through
// the session and its working objects and ends in a saved file compared with a
// golden file under tests/data/tx_session (TDR_UPDATE_GOLDEN=1 rewrites them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <regex>

#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_test_support.h"
#include "tdr_tx_trigger.h"

namespace {

class TxSessionTest : public TxFileTest {
 protected:
  void open_demo() { open(source_dir() + "/examples/demo_session.xml"); }
  // The demo as the editing layer writes it once its views were rebuilt (an
  // undone edit rebuilds them), so that undo can give back the same bytes.
  std::string canonical_demo() {
    open_demo();
    act(0, [&] { EXPECT_TRUE(set(0)->set_node_alias(6, "rdy")); });
    EXPECT_TRUE(inst(0)->undo());
    save();
    return m_last_saved;
  }
  void create(int instances) {
    m_tx.reset(new TDR_TX_SESSION());
    m_names.restart();
    ASSERT_TRUE(m_tx->create_session(temp_path("new.xml").c_str()));
    for (int i = 1; i < instances; ++i) ASSERT_TRUE(m_tx->create_tavrin_instance(nullptr));
  }
  // Signals named PREFIX0.. appended to instance `index` through its setup list.
  void add_signals(int index, const std::string& prefix, int count) {
    act(index, [&] {
      for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(trig(index)->append_node((prefix + std::to_string(i)).c_str(),
                                                TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
      }
    });
  }
  // Road (1): rename a signal, group four signals, two basic conditions and a
  // trigger position on the demo's first instance.
  void road_one() {
    TDR_TX_SIGNAL_SET* data = set(0);
    TDR_TX_TRIGGER* setup = trig(0);
    act(0, [&] { EXPECT_TRUE(data->set_node_name(data->find_wire_node("cpu|valid"), "cpu|valid_q")); });
    act(0, [&] {
      EXPECT_TRUE(data->ungroup_node(0));
      EXPECT_TRUE(data->group_node(0, 3, nullptr));
    });
    act(0, [&] {
      EXPECT_TRUE(setup->set_trigger_condition(setup->find_wire_node("cpu|valid_q"), 0,
                                               TDR_CTYPE_FALLING_EDGE_COND));
      EXPECT_TRUE(setup->set_trigger_condition(setup->find_wire_node("cpu|addr[2]"), 0,
                                               TDR_CTYPE_HIGH_COND));
      EXPECT_TRUE(setup->set_trigger_position(TDR_PTYPE_POST_POS));
    });
  }
};

TEST_F(TxSessionTest, RoadOneEditsTheDemoAndUndoRedoWalkTheWholeRoad) {
  open_demo();
  road_one();
  EXPECT_TRUE(m_tx->is_modified());
  expect_golden("tx_session", "road1_demo_edited.xml", save());

  const std::string canonical = canonical_demo();
  open(canonical);
  const std::string unedited = save();
  EXPECT_EQ(unedited, read_file(canonical)) << "a canonical file saves to its own bytes";
  open(canonical);
  road_one();
  const std::string edited = save();

  open(canonical);
  road_one();
  TDR_TX_INSTANCE* instance = inst(0);
  while (instance->is_undo_available()) ASSERT_TRUE(instance->undo());
  EXPECT_FALSE(instance->is_modified());
  EXPECT_EQ(save(), unedited) << "every edit undone gives the unedited file";
  while (instance->is_redo_available()) ASSERT_TRUE(instance->redo());
  m_names.restart();
  EXPECT_EQ(save(), edited) << "redo gives road (1)'s file again";
}

TEST_F(TxSessionTest, RedoneGroupEditsReachTheViewOfTheSetKeptForItsLogs) {
  // The rename makes the commit replace the set, which stays for its log with
  // the view the group edits were written into: redone, they must be there.
  auto edits = [&] {
    act(1, [&] { EXPECT_TRUE(set(1)->group_node(1, 1, nullptr)); });
    act(1, [&] { EXPECT_TRUE(set(1)->set_group_node_name(1, "g2")); });
    act(1, [&] { EXPECT_TRUE(set(1)->set_node_name(0, "s13")); });
  };
  open_demo();
  edits();
  const std::string edited = save();
  EXPECT_NE(edited.find("<bus name=\"g2\""), std::string::npos);
  open_demo();
  edits();
  while (inst(1)->is_undo_available()) ASSERT_TRUE(inst(1)->undo());
  while (inst(1)->is_redo_available()) ASSERT_TRUE(inst(1)->redo());
  EXPECT_EQ(save(), edited);
}

TEST_F(TxSessionTest, ARedoneCaptureChangeOfAGroupHeaderIsNotCarriedAsANet) {
  // A header's capture type moving between none and data is no carry-over to
  // the other list, done or redone; redone, it once came back as a net.
  auto edits = [&] {
    act(1, [&] { EXPECT_TRUE(set(1)->group_node(0, 0, nullptr)); });
    act(1, [&] { EXPECT_TRUE(set(1)->link_group_node(0, TDR_DATA_GROUP_LINKING_TYPE(8))); });
    act(1, [&] { EXPECT_TRUE(set(1)->delete_node("x")); });
    act(1, [&] { EXPECT_TRUE(trig(1)->set_node_capture_type(0, TDR_WTYPE_DATA_CAPTURE)); });
  };
  const std::string file = source_dir() + "/tests/data/tx_signal_set/session.xml";
  for (bool redone : {false, true}) {
    SCOPED_TRACE(redone ? "redone" : "done");
    open(file);
    edits();
    if (redone) {
      while (inst(1)->is_undo_available()) ASSERT_TRUE(inst(1)->undo());
      while (inst(1)->is_redo_available()) ASSERT_TRUE(inst(1)->redo());
    }
    const std::string saved = save();
    EXPECT_EQ(set(1)->get_node_count(), 0);
    EXPECT_NE(saved.find("<data_view>\n        </data_view>"), std::string::npos);
    EXPECT_EQ(saved.find("name=\"Group\"/>"), std::string::npos);
  }
}

TEST_F(TxSessionTest, EditsUndoneSavedAndRedoneGiveTheFileTheyGaveDirectly) {
  // Each road once ended otherwise when redone after a save of its undone
  // state; `in_file` is what the direct road must write.
  struct ROAD {
    const char* what;
    std::function<void()> edits;
    const char* in_file;
  };
  const std::vector<ROAD> roads = {
      {"a port follows its node, which is then renamed",
       [&] {
         act(1, [&] {
           EXPECT_TRUE(trig(1)->set_debug_out(0, true, nullptr));
           EXPECT_TRUE(trig(1)->set_node_name(0, "tx2"));
         });
       },
       "debug_port=\"yes\" debug_port_name=\"auto_tvf_debug_out_1_0\" name=\"uart|tx\""},
      {"the data view of the set kept for its log keeps a signal the setup list let go",
       [&] { act(0, [&] { EXPECT_EQ(trig(0)->delete_node(1, 1), 1); }); },
       "<net is_signal_inverted=\"no\" name=\"cpu|addr[0]\"/>"},
      {"a data node named like another wire's alias leaves that wire alone",
       [&] {
         act(0, [&] {
           EXPECT_TRUE(set(0)->append_node("a0", TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP));
         });
         act(0, [&] { EXPECT_TRUE(trig(0)->set_node_alias(1, "a0")); });
       },
       "<wire alias=\"a0\" connection_status=\"true\" name=\"cpu|addr[0]\" tap_mode=\"classic\" "
       "type=\"unknown\"/>"},
      {"a mnemonic radix without a table is left out of a rebuilt view",
       [&] {
         act(1, [&] {
           EXPECT_TRUE(trig(1)->group_node(1, 1, nullptr));
           EXPECT_TRUE(trig(1)->set_node_group_display_type(1, TDR_GTYPE_MNEMONICS_DISPLAY));
           trig(1)->set_view_rebuild_needed(true);
         });
       },
       "name=\"Group\" order=\"lsb_to_msb\" state=\"collapse\""},
  };
  // The second instance's views rebuilt as well, as a commit after undo does.
  open(canonical_demo());
  act(1, [&] { EXPECT_TRUE(set(1)->set_node_alias(0, "tx")); });
  EXPECT_TRUE(inst(1)->undo());
  save();
  const std::string canonical = m_last_saved;
  for (const ROAD& road : roads) {
    SCOPED_TRACE(road.what);
    open(canonical);
    road.edits();
    const std::string edited = save();
    EXPECT_NE(edited.find(road.in_file), std::string::npos) << m_last_saved;
    open(canonical);
    road.edits();
    int undone = 0;
    for (int g = 0; g < m_tx->get_num_groups(); ++g)
      while (inst(g)->is_undo_available() && inst(g)->undo()) ++undone;
    EXPECT_GT(undone, 0);
    save();
    for (int g = 0; g < m_tx->get_num_groups(); ++g)
      while (inst(g)->is_redo_available()) ASSERT_TRUE(inst(g)->redo());
    m_names.restart();
    EXPECT_TRUE(save() == edited) << m_last_saved;
  }

  // A capture change waiting for its carry-over to the data list comes back
  // with its node when a delete is undone.
  open(canonical);
  act(1, [&] { EXPECT_TRUE(trig(1)->set_node_capture_type(1, TDR_WTYPE_TRIGGER_CAPTURE)); });
  act(1, [&] { EXPECT_EQ(trig(1)->delete_node(1, 1), 1); });
  EXPECT_TRUE(inst(1)->undo());
  save();
  EXPECT_EQ(set(1)->get_node_count(), 1) << "the trigger-only signal left the data list";

  // A port read without a name stays as the file has it through a commit
  // that rewrites every port (it once raised an internal error).
  std::string text = read_file(canonical);
  const std::string wire = "<wire connection_status=\"true\" name=\"uart|rx\"";
  for (size_t at = text.find(wire); at != std::string::npos; at = text.find(wire, at + 1))
    text.insert(at + 5, " debug_port=\"yes\"");
  open_text(text);
  act(1, [&] { EXPECT_TRUE(trig(1)->set_debug_out(0, true, "p")); });
  EXPECT_NE(save().find("<wire connection_status=\"true\" debug_port=\"yes\" name=\"uart|rx\""),
            std::string::npos);
}

TEST_F(TxSessionTest, RoadOneRecordsItsScript) {
  std::string script, base;
  {
    RECORDING on(temp_dir());
    open_demo();
    road_one();
    ASSERT_TRUE(m_tx->save_session(temp_path("road1.xml").c_str()));
    base = m_tx->get_script_recorder()->get_base_name();
    script = read_file(m_tx->get_script_recorder()->get_script_path());
  }
  script = std::regex_replace(script, std::regex(base), "BASE");
  script = std::regex_replace(script, std::regex(std::regex_replace(
                                          temp_dir(), std::regex("[.^$|()\\[\\]{}*+?\\\\]"),
                                          "\\$&")),
                              "TMP");
  expect_golden("tx_session", "road1_script.log", script);
}

TEST_F(TxSessionTest, RoadTwoLinksTriggerPortsBetweenNewInstances) {
  create(2);
  EXPECT_EQ(m_tx->get_num_instances(), 2);
  add_signals(0, "a", 3);
  add_signals(1, "b", 2);
  act(0, [&] {
    EXPECT_TRUE(set(0)->set_trigger_out_enabled(true));
    EXPECT_TRUE(set(0)->set_trigger_out_node("auto_tavrin_1|trigger_in"));
    EXPECT_TRUE(set(0)->set_sample_depth(256));
    EXPECT_TRUE(set(0)->set_velarn_ram_type(TDR_RTYPE_TINYRAM_BLOCK));
  });
  EXPECT_TRUE(set(1)->is_trigger_in_enabled()) << "the other instance follows";
  EXPECT_STREQ(set(1)->get_trigger_in_source(), "auto_tavrin_0|trigger_out");
  EXPECT_TRUE(inst(1)->get_change_status()->m_signal_set_property_changed);
  std::vector<const char*> targets;
  m_tx->get_all_available_trigger_out_target_at(0, &targets);
  ASSERT_EQ(targets.size(), 1u);
  EXPECT_STREQ(targets[0], "auto_tavrin_1|trigger_in");
  const std::string saved = save();
  expect_golden("tx_session", "road2_linked.xml", saved);
  // A session made here, reopened and saved unedited, keeps its bytes.
  open(m_last_saved);
  EXPECT_EQ(save(), saved);
}

TEST_F(TxSessionTest, RoadThreePowerUpViewsShiftAndDuplicate) {
  create(3);
  for (int i = 0; i < 3; ++i) add_signals(i, "s", 2);
  act(1, [&] {
    EXPECT_TRUE(trig(1)->set_trigger_condition(1, 0, TDR_CTYPE_RISING_EDGE_COND));
    EXPECT_TRUE(m_tx->set_power_up_trigger_mode(1, true));
    EXPECT_TRUE(m_tx->duplicate_trigger_to_other(1));
  });
  EXPECT_EQ(m_tx->get_num_instances(), 4);
  const int expected_instance[] = {0, 1, 1, 2};
  for (int view = 0; view < 4; ++view) {
    EXPECT_EQ(m_tx->translate_instance_index(view), expected_instance[view]);
    EXPECT_EQ(m_tx->is_power_up_view(view), view == 2);
  }
  EXPECT_EQ(m_tx->translate_instance_index(4), -1);
  EXPECT_EQ(m_tx->get_instance_at(4, false), nullptr);
  EXPECT_EQ(m_tx->get_instance_estimated_lcell_count_at(2), 0);
  EXPECT_GT(m_tx->get_instance_estimated_lcell_count_at(1), 0);
  trig(1)->set_power_up_trigger_view(true);
  EXPECT_EQ(trig(1)->get_trigger_condition(1, 0), TDR_CTYPE_RISING_EDGE_COND);
  trig(1)->set_power_up_trigger_view(false);
  expect_golden("tx_session", "road3_power_up.xml", save());
}

TEST_F(TxSessionTest, RoadFourLogsWithGuiLoggingOff) {
  open_demo();
  TDR_DATA_LOG* run1 = m_tx->get_log_at(0, true);
  ASSERT_NE(run1, nullptr);
  EXPECT_FALSE(inst(0)->is_setup_tab_selected());
  m_tx->set_gui_logging(false);
  TDR_DATA_LOG* scratch = m_tx->create_new_log(0);
  ASSERT_NE(scratch, nullptr);
  EXPECT_TRUE(scratch->is_global_temp());
  EXPECT_EQ(m_tx->get_log_at(0, true), scratch);
  scratch->copy_data(run1);  // the acquisition
  EXPECT_TRUE(m_tx->save_to_log(0));
  TDR_DATA_LOG* kept = m_tx->get_log_at(0, true);
  ASSERT_NE(kept, nullptr);
  EXPECT_FALSE(kept->is_global_temp());
  EXPECT_FALSE(m_tx->is_gui_logging_enabled()) << "logging is switched back off";
  EXPECT_TRUE(m_tx->set_active(0, "bus_capture", "addr_watch", "run1"));
  EXPECT_EQ(m_tx->get_log_at(0, true)->get_name(), std::string("run1"));
  EXPECT_FALSE(inst(0)->is_setup_tab_selected());
  EXPECT_TRUE(m_tx->remove(0, "bus_capture", "addr_watch", "run1"));
  EXPECT_EQ(m_tx->get_log_at(0, true), nullptr);
  EXPECT_FALSE(m_tx->remove(0, "bus_capture", "addr_watch", "no_such_log"));
  expect_golden("tx_session", "road4_logs.xml", save());
}

TEST_F(TxSessionTest, RoadFiveRemovesTheMiddleInstance) {
  open_demo();
  ASSERT_TRUE(m_tx->create_tavrin_instance("third"));
  add_signals(2, "t", 1);
  // The demo's first instance is in power-up mode: views 0 and 1 are its own.
  ASSERT_TRUE(m_tx->remove_tavrin_instance(2));
  EXPECT_EQ(m_tx->get_num_groups(), 2);
  EXPECT_EQ(inst(1)->get_name(false), "third");
  EXPECT_EQ(inst(1)->get_instance_index(), 1);
  EXPECT_EQ(m_tx->find_instance_index("io_probe"), -1);
  EXPECT_EQ(m_tx->find_instance_index("third"), 1);
  expect_golden("tx_session", "road5_removed.xml", save());
}

TEST_F(TxSessionTest, ACommitThatDropsAnEmptySetLeavesTheDataListUsable) {
  create(1);
  // A data-view signal without a setup-view wire: the new set gets no wires
  // and is removed again, with the view the data list was just written into.
  act(0, [&] { EXPECT_TRUE(set(0)->append_node("d", TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP)); });
  ASSERT_TRUE(m_tx->commit_session());
  EXPECT_EQ(set(0)->get_data_signal_set(), nullptr);
  act(0, [&] {
    EXPECT_TRUE(set(0)->set_node_signal_inverted(0, true));
    EXPECT_TRUE(set(0)->group_node(0, 0, nullptr));
  });
  EXPECT_TRUE(inst(0)->undo());
  EXPECT_FALSE(set(0)->is_node_signal_inverted(0));
  EXPECT_TRUE(m_tx->commit_session());
}

TEST_F(TxSessionTest, EstimatesFollowTheModel) {
  create(1);
  EXPECT_EQ(m_tx->get_hub_lcell_usage_per_inst(), 101);
  EXPECT_EQ(m_tx->get_instance_lcell_usage_alone(0), 0);
  act(0, [&] { EXPECT_TRUE(trig(0)->set_trigger_level_basic_condition(0, false)); });
  EXPECT_EQ(m_tx->get_instance_lcell_usage_alone(0), 7) << "0 - trunc((0 - 1) * 7.4)";
  EXPECT_EQ(m_tx->get_instance_estimated_lcell_count_at(0), 7 + 101);
  ASSERT_TRUE(inst(0)->undo());
  add_signals(0, "w", 8);
  EXPECT_EQ(set(0)->get_sample_depth(), 128);
  EXPECT_EQ(m_tx->get_instance_lcell_usage_alone(0), 215);
  EXPECT_EQ(m_tx->get_instance_estimated_lcell_count_at(0), 215 + 101);
  add_signals(0, "x", 8);
  act(0, [&] { EXPECT_TRUE(set(0)->set_sample_depth(1024)); });
  EXPECT_EQ(m_tx->get_instance_ram_bits_usage_at(0), 16384);
  EXPECT_EQ(m_tx->get_instance_ram_type_at(0), TDR_RTYPE_MIDRAM_BLOCK);
  EXPECT_EQ(m_tx->get_instance_ram_type_at(5), 4);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(m_tx->create_tavrin_instance(nullptr));
  EXPECT_EQ(m_tx->get_hub_lcell_usage_per_inst(), 45);
  bool full = true, rivlet = true;
  m_tx->check_instance_compilation_type_at(0, &full, &rivlet);
  EXPECT_TRUE(full) << "never committed";
  ASSERT_TRUE(m_tx->commit_session());
  m_tx->check_instance_compilation_type_at(0, &full, &rivlet);
  EXPECT_FALSE(full || rivlet);
  m_tx->check_instance_compilation_type_at(0, nullptr, &rivlet);
  expect_internal_error("is_full != NULL");
  m_tx->check_instance_compilation_type_at(0, &full, nullptr);
  expect_internal_error("is_rivlet != NULL");
  m_tx->get_all_available_trigger_out_target_at(0, nullptr);
  expect_internal_error("trig_out_vec != NULL");
}

TEST_F(TxSessionTest, BadInputOpensOrCreatesAndFailedSavesKeepTheFile) {
  m_tx.reset(new TDR_TX_SESSION());
  std::string missing = temp_path("missing.xml");
  ASSERT_TRUE(m_tx->open_session(missing.c_str()));
  EXPECT_EQ(m_tx->get_num_groups(), 1) << "a new session with its first instance";
  EXPECT_EQ(inst(0)->get_name(false), "auto_tavrin_0");
  bool said = false;
  for (const std::string& line : m_sink.debug_lines) said |= line.find(missing) != std::string::npos;
  EXPECT_TRUE(said) << "a debug line names the file";

  std::string empty = temp_path("empty.xml");
  write_file(empty, "<session/>\n");
  m_tx.reset(new TDR_TX_SESSION());
  ASSERT_TRUE(m_tx->open_session(empty.c_str()));
  EXPECT_EQ(m_tx->get_num_groups(), 1) << "a session without instance gets one";
  forget_messages();

  open(source_dir() + "/examples/legacy_capture.tvf");
  EXPECT_GE(m_tx->get_num_groups(), 1);
  EXPECT_GT(trig(0)->get_node_count(), 0);

  // A save that fails leaves the previous file and the modified flag.
  open_demo();
  std::string target = temp_path("kept.xml");
  write_file(target, "previous");
  add_signals(0, "n", 1);
  std::string directory = temp_path("dir");
  ASSERT_EQ(system(("mkdir -p '" + directory + "'").c_str()), 0);
  EXPECT_FALSE(m_tx->save_session(directory.c_str()));
  EXPECT_TRUE(m_tx->is_modified());
  EXPECT_EQ(read_file(target), "previous");
  forget_messages();
}

}  // namespace
