// Signal set working copy: properties, trigger links, data-view edits,
// compilation checks and commit into the data layer, judged by saved files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_test_support.h"
#include "tdr_tx_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_trigger.h"

namespace {

void erase_all(std::string* text, const std::string& piece) {
  for (size_t at; (at = text->find(piece)) != std::string::npos;) text->erase(at, piece.size());
}

// A saved file without the default attributes a view rebuild writes.
std::string without_view_defaults(std::string text) {
  for (const char* attribute : {" is_signal_inverted=\"no\"", " link=\"none\"", " type=\"unknown\""})
    erase_all(&text, attribute);
  return text;
}

// Every test starts on tests/data/tx_signal_set/session.xml.
class TxSignalSetTest : public TxFileTest {
 protected:
  TxSignalSetTest() : TxFileTest("#", false) {}
  void SetUp() override {
    TxFileTest::SetUp();
    open_text(m_input);
  }
  // What `tdr normalize` writes for `xml`.
  std::string normalized(const std::string& xml) {
    write_file(temp_path("n_in.xml"), xml);
    std::string cmd = std::string(TDR_TOOL_PATH) + " normalize " + temp_path("n_in.xml") + " " +
                      temp_path("n_out.xml");
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return read_file(temp_path("n_out.xml"));
  }
  // Saving again what this layer saved changes nothing.
  void expect_fixed_point(const std::string& saved) {
    open_text(saved);
    std::string again = save();
    EXPECT_TRUE(again == saved) << "second save " << first_difference(again, saved);
  }
  std::string m_input = test_data("tx_signal_set/session.xml");
};

TEST_F(TxSignalSetTest, NoEditCommitWritesWhatTheDataLayerWrites) {
  std::string saved = save();
  std::string reference = normalized(m_input);
  EXPECT_TRUE(saved == reference) << "committed set reused, views already in step "
                                  << first_difference(saved, reference);

  // Without GUI logging the working state goes to a scratch set of the same
  // name (wires sorted by name, ports written out), with a scratch trigger.
  std::string off = m_input;
  off.replace(off.find("gui_logging_enabled=\"1\""), 23, "gui_logging_enabled=\"0\"");
  open_text(off);
  saved = save();
  expect_golden("tx_signal_set", "logging_off.xml", saved);
  expect_fixed_point(saved);

  // Logging on again: the listed sets of the scratch sets' names are taken
  // back, their views rebuilt from the working copies.
  // Reopened, alpha shows its trigger's last log again, and then stays.
  m_tx->set_gui_logging(true);
  saved = save();
  expect_golden("tx_signal_set", "logging_on_again.xml", saved);
  open_text(saved);
  std::string again = save();
  saved.replace(saved.find("instance=\"alpha\" "), 17, "instance=\"alpha\" log=\"run1\" ");
  EXPECT_TRUE(again == saved) << first_difference(again, saved);
  expect_fixed_point(again);
}

struct EDIT_ROW {
  const char* golden;
  int instance;
  std::function<void()> edit;
  // What an undone edit leaves in the file by design.
  std::vector<std::string> kept = {};
};

TEST_F(TxSignalSetTest, EditsReachTheFileAndUndoLeavesItAsItWas) {
  const std::string unedited = save();
  const EDIT_ROW rows[] = {
      // A new name no longer matches the wire: a new set (the old one has a log and stays).
      {"rename.xml", 0, [this] { EXPECT_TRUE(set(0)->set_node_name(4, "dbg2")); }},
      {"alias.xml", 0,
       [this] {
         EXPECT_TRUE(set(0)->set_node_alias(4, "debug"));
         EXPECT_TRUE(set(0)->set_node_alias(0, "addr"));
       }},
      // beta's set holds a trigger without logs: it is replaced.
      {"capture.xml", 1,
       [this] { EXPECT_TRUE(trig(1)->set_node_capture_type(0, TDR_WTYPE_DATA_CAPTURE)); }},
      {"debug_port.xml", 0,
       [this] {
         EXPECT_TRUE(trig(0)->set_debug_out(3, true, "port"));
         EXPECT_TRUE(trig(0)->set_debug_out(4, true, "port"));
       },
       // A disabled wire port keeps its name.
       {" debug_port_name=\"port\"", " debug_port_name=\"port_1\""}},
      {"properties.xml", 1,
       [this] {
         TDR_TX_SIGNAL_SET* s = set(1);
         EXPECT_TRUE(s->set_sample_depth(1024));
         EXPECT_TRUE(s->set_velarn_ram_type(TDR_RTYPE_AUTO_BLOCK));
         EXPECT_TRUE(s->set_clock_source("fast_clk"));
         EXPECT_TRUE(s->set_reserved_data_node_size(8));
         EXPECT_TRUE(s->set_reserved_trigger_node_size(4));
       }},
      // beta's only signal deleted: its sets go, nothing is left to write.
      {"no_wires.xml", 1, [this] { EXPECT_EQ(trig(1)->delete_node(0, 0), 1); }},
      // alpha's trigger-in driven by beta's trigger-out: beta follows.
      {"link.xml", 0,
       [this] {
         EXPECT_TRUE(set(0)->set_trigger_in_node("beta|trigger_out"));
         EXPECT_TRUE(set(0)->set_trigger_in_enabled(true));
       }},
  };
  for (const EDIT_ROW& row : rows) {
    SCOPED_TRACE(row.golden);
    m_names.restart();
    open_text(m_input);
    act(row.instance, row.edit);
    std::string edited = save();
    expect_golden("tx_signal_set", row.golden, edited);
    expect_fixed_point(edited);

    open_text(m_input);
    act(row.instance, row.edit);
    EXPECT_TRUE(inst(row.instance)->undo());
    // beta's ports changed with the undo too, so beta stays changed.
    if (std::string(row.golden) == "link.xml") {
      EXPECT_TRUE(inst(1)->get_change_status()->m_signal_set_property_changed);
    }
    // An undone node edit rebuilds the views, which spells out their defaults.
    std::string undone = without_view_defaults(save());
    std::string expected = without_view_defaults(unedited);
    for (const std::string& kept : row.kept) {
      EXPECT_NE(undone.find(kept), std::string::npos) << kept;
      erase_all(&undone, kept);
    }
    if (std::string(row.golden) == "link.xml") {
      // beta followed the link without an undo step of its own: its ports are
      // back, but its set is rewritten under a new name. alpha is as it was.
      EXPECT_NE(undone.find("trigger_out_enable=\"no\" trigger_out_node=\"\""), std::string::npos);
      undone.erase(undone.find("name=\"beta\""));
      expected.erase(expected.find("name=\"beta\""));
      undone.erase(0, undone.find("<instance"));
      expected.erase(0, expected.find("<instance"));
    }
    EXPECT_TRUE(undone == expected) << "undone " << first_difference(undone, expected);
  }
}

TEST_F(TxSignalSetTest, PortsLinkInstancesAndUndoTakesTheLinkBack) {
  TDR_TX_SIGNAL_SET* alpha = set(0);
  TDR_TX_SIGNAL_SET* beta = set(1);
  act(0, [&] { EXPECT_TRUE(alpha->set_trigger_in_enabled(true)); });
  EXPECT_STREQ(alpha->get_trigger_in_source(), "auto_tvf_trigger_in_3") << "instance id 3";
  EXPECT_TRUE(inst(0)->undo());
  EXPECT_EQ(alpha->get_trigger_in_source(), nullptr);
  EXPECT_FALSE(alpha->is_trigger_in_enabled());
  act(0, [&] { EXPECT_FALSE(alpha->set_sample_depth(128)) << "unchanged"; });
  EXPECT_EQ(inst(0)->get_undo_manager()->get_num_actions(), 1);
  // beta's port follows (no undo step of its own); a pin unlinks it.
  act(0, [&] { alpha->set_trigger_in_node("beta|trigger_out"), alpha->set_trigger_in_enabled(true); });
  EXPECT_EQ(inst(1)->get_undo_manager()->get_num_actions(), 0);
  act(0, [&] { alpha->set_trigger_in_pin("pin"); });
  EXPECT_EQ(alpha->get_trigger_in_node(), "") << "a pin replaces the node";
  EXPECT_FALSE(beta->is_trigger_out_enabled());
  EXPECT_EQ(beta->get_trigger_out_node(), "");
  EXPECT_TRUE(inst(0)->undo());
  EXPECT_EQ(beta->get_trigger_out_node(), "alpha|trigger_in");
  EXPECT_TRUE(beta->is_trigger_out_enabled());

  // The other direction; names without the port or of no instance link nothing.
  act(1, [&] {
    beta->set_trigger_out_enabled(false);
    beta->set_trigger_out_node("alpha|trigger_in");
    beta->set_trigger_out_enabled(true);
  });
  EXPECT_EQ(alpha->get_trigger_in_node(), "beta|trigger_out");
  EXPECT_TRUE(alpha->is_trigger_in_enabled());
  act(1, [&] {
    beta->set_trigger_in_node("gamma|trigger_out");
    beta->set_trigger_in_node("alpha");
  });
  EXPECT_EQ(alpha->get_trigger_out_node(), "");

  EXPECT_FALSE(alpha->set_clock_source(nullptr));
  expect_internal_error("clock_name != NULL");
}

TEST_F(TxSignalSetTest, DataViewKeepsEachSignalOnceAndRenamesThroughTheSetupView) {
  TDR_TX_SIGNAL_SET* alpha = set(0);  // a{a[0], a[1]}, en, dbg, en
  EXPECT_TRUE(alpha->is_node_deletable(3));
  EXPECT_FALSE(alpha->is_node_deletable(4));
  act(0, [&] {
    EXPECT_EQ(alpha->delete_node(4, 4), 0) << "the only appearance of dbg";
    EXPECT_EQ(alpha->delete_node(5, 5), 1) << "the second appearance of en";
    EXPECT_EQ(alpha->delete_node(0, 1), 1) << "the group dissolves, its signals stay";
  });
  EXPECT_EQ(alpha->get_node_count(), 4);
  EXPECT_EQ(alpha->get_node_display_type(0), TDR_DTYPE_STANDALONE_NODE);
  EXPECT_FALSE(alpha->is_node_deletable(3));
  EXPECT_TRUE(inst(0)->undo());
  EXPECT_EQ(alpha->get_node_count(), 6);

  act(0, [&] {
    EXPECT_FALSE(alpha->set_node_name(0, "b")) << "a group";
    EXPECT_FALSE(alpha->set_node_name(4, "en")) << "taken in the setup view";
    EXPECT_TRUE(alpha->set_node_name(3, "enable2"));
  });
  EXPECT_STREQ(alpha->get_node_name(5), "enable2") << "every appearance";
  EXPECT_STREQ(trig(0)->get_node_name(3), "enable2");
}

TEST_F(TxSignalSetTest, CompilationTypeFollowsWhatTheHardwareHolds) {
  // alpha: 4 data and 3 trigger wires, nothing reserved
  struct ROW {
    const char* what;
    std::function<void()> edit;
    bool full;
  } rows[] = {
      {"nothing", [] {}, false},
      {"depth", [&] { set(0)->set_sample_depth(256); }, true},
      {"RAM", [&] { set(0)->set_velarn_ram_type(TDR_RTYPE_AUTO_BLOCK); }, true},
      {"clock", [&] { set(0)->set_clock_source("other"); }, true},
      {"trigger-in", [&] { set(0)->set_trigger_in_enabled(true); }, true},
      {"data reservation the wires fill", [&] { set(0)->set_reserved_data_node_size(4); }, false},
      {"trigger reservation the wires fill", [&] { set(0)->set_reserved_trigger_node_size(3); }, false},
      {"data wires over the reservation", [&] { set(0)->set_reserved_data_node_size(2); }, true},
      {"trigger wires over the reservation", [&] { set(0)->set_reserved_trigger_node_size(2); }, true},
  };
  for (const ROW& row : rows) {
    act(0, row.edit);
    bool full = !row.full, rivlet = true;
    set(0)->check_compilation_type(&full, &rivlet);
    EXPECT_EQ(full, row.full) << row.what;
    EXPECT_FALSE(rivlet) << row.what;
    inst(0)->undo();
  }
  ASSERT_TRUE(m_tx->create_tavrin_instance("gamma"));
  bool full = false, rivlet = false;
  set(2)->check_compilation_type(&full, &rivlet);
  EXPECT_TRUE(full) << "nothing built yet";
}

TEST_F(TxSignalSetTest, BadViewsAreRepairedAndTheSavedFileReadsBackQuietly) {
  std::string bad = m_input;
  // alpha: a net without wire, a nested and an empty bus; beta: no signals at all.
  bad.replace(bad.find("          <net name=\"dbg\"/>"), 0,
              "          <net name=\"ghost\"/>\n"
              "          <bus name=\"outer\">\n            <bus name=\"en\"/>\n          </bus>\n"
              "          <bus name=\"empty\"/>\n");
  for (auto tags : {std::make_pair("<signal_vec>", "</signal_vec>\n"),
                    std::make_pair("<trigger ", "</trigger>\n")}) {
    size_t at = bad.rfind(tags.first);
    bad.erase(at, bad.find(tags.second, at) + strlen(tags.second) - at);
  }
  m_names.restart();  // as if this were the test's first opening
  open_text(bad);
  expect_message("WTDR_EMPTY_SIGNAL_SET");
  // ghost dropped, the inner bus read as a member, the empty bus kept: all in the golden file.
  std::string saved = save();
  expect_golden("tx_signal_set", "bad_input.xml", saved);

  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  ASSERT_NE(manager->open_session(m_last_saved.c_str()), nullptr);
  EXPECT_EQ(message_ids(), std::vector<std::string>{}) << "read back without messages";
  manager->close_session(m_last_saved.c_str());
  expect_fixed_point(saved);
}

}  // namespace
