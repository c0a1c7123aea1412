// Script player: the line format read back, replay errors and exit results,
// automatic names, and record -> replay identity of random editing sessions.
#include <sys/stat.h>

#include <cstdlib>
#include <algorithm>
#include <random>

#include "tdr_data_session.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_player.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_test_support.h"
#include "tdr_tx_trigger.h"

namespace {

class TxPlayerTest : public TdrTest {
 protected:
  // Replays `script` (written beside a copy of the demo session) into temp_dir().
  TDR_TX_SCRIPT_PLAYER::RESULT play(const std::string& script, bool verify = false) {
    write_file(temp_path("demo.xml"), read_file(source_dir() + "/examples/demo_session.xml"));
    write_file(temp_path("s.tdrs"), script);
    mkdir(temp_path("out").c_str(), 0777);
    player.set_output_dir(temp_path("out"));
    player.set_verify(verify);
    player.set_report([this](const std::string& line) { reports.push_back(line); });
    if (!player.load_file(temp_path("s.tdrs"), "s.tdrs")) return TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED;
    return player.run();
  }
  TDR_TX_SCRIPT_PLAYER player;
  std::vector<std::string> reports;
};

}  // namespace

TEST_F(TxPlayerTest, LinesParseAsTheRecorderWritesThem) {
  for (const auto& row : test_table("tx_session/script_lines.txt")) {
    TDR_TX_SCRIPT_PLAYER p;
    bool ok = p.load_text(row.at(0), temp_dir(), "s.tdrs");
    std::string got = ok ? p.describe_call(0) : p.get_error();
    EXPECT_EQ(got.compare(0, row.at(1).size(), row.at(1)), 0) << row[0] << "\n" << got;
  }
  TDR_TX_SCRIPT_PLAYER p;
  ASSERT_TRUE(p.load_text("// auto_name 'log: 2026/01/02 03:04:05  #7'\n-->// not a call\n"
                          "instance 0 rename 'a\n-b'\ninstance 0 undo\n",
                          temp_dir(), "s"));
  EXPECT_EQ(p.get_num_calls(), 2);
  EXPECT_EQ(p.describe_call(0), "instance 0 rename <a\n-b>");
  EXPECT_EQ(p.get_auto_names(), std::vector<std::string>{"log: 2026/01/02 03:04:05  #7"});
}

TEST_F(TxPlayerTest, FailuresStopTheReplayAndFailureValuesDoNot) {
  // An index out of range is the library's answer, not a replay error.
  EXPECT_EQ(play("open_session 'demo.xml'\ninstance 1 begin_action\n"
                 "instance 0 data_tab set_node_alias 999 'x'\n"
                 "instance 1 setup_tab set_trigger_position 'pre'\ninstance 1 end_action\n"
                 "save_session 'out.xml'\n"),
            TDR_TX_SCRIPT_PLAYER::REPLAY_OK)
      << player.get_error();
  EXPECT_EQ(player.get_summary(), "4 calls replayed, 1 check points saved, not verified");
  EXPECT_NE(read_file(temp_path("out/out.xml")).find("position=\"pre\""), std::string::npos);

  for (const auto& row : test_table("tx_session/script_failures.txt")) {
    std::remove(temp_path("out/out.xml").c_str());
    EXPECT_EQ(play(row.at(0)), TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED) << row[0];
    EXPECT_EQ(player.get_error().compare(0, row.at(1).size(), row[1]), 0) << player.get_error();
    struct stat st;
    EXPECT_NE(stat(temp_path("out/out.xml").c_str(), &st), 0) << "written after the failing line";
  }
}

TEST_F(TxPlayerTest, VerifyShowsTheFirstDifferenceAndGoesOn) {
  std::string script = "open_session 'demo.xml'\nsave_session 'a.xml'\nsave_session 'b.xml'\n"
                       "save_session 'missing.xml'\n";
  ASSERT_EQ(play(script), TDR_TX_SCRIPT_PLAYER::REPLAY_OK);
  // The unchanged save is its own snapshot; a changed line is a mismatch.
  std::string saved = read_file(temp_path("out/a.xml"));
  write_file(temp_path("a.xml"), saved);
  std::string changed = saved;
  changed.replace(changed.find("jtag_device=\""), 13, "jtag_device=\"X");
  write_file(temp_path("b.xml"), changed);
  EXPECT_EQ(play(script, true), TDR_TX_SCRIPT_PLAYER::REPLAY_MISMATCH);
  EXPECT_EQ(player.get_mismatches(), (std::vector<int>{2, 3}));
  // The summary, each report, then the error of a replay that would save over the snapshots.
  std::string out = player.get_summary() + "\n";
  for (const std::string& line : reports) out += line + "\n";
  player.set_output_dir(temp_dir());
  EXPECT_EQ(player.run(), TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED);
  expect_golden("tx_session", "verify_reports.txt", out + player.get_error() + "\n");
}

TEST_F(TxPlayerTest, AutomaticNamesComeFromTheScript) {
  // With GUI logging on, a new log is named; the queue hands out the recorded
  // name, and a request for another base gets the fixed stamp and a warning.
  std::string script = "open_session 'demo.xml'\nset_gui_logging true\ncreate_new_log 0\n"
                       "// auto_name 'log: 2026/01/02 03:04:05  #7'\n"
                       "// auto_name 'signal_set: 2026/01/02 03:04:05  #8'\n"
                       "create_new_log 1\nsave_session 'out.xml'\n";
  ASSERT_EQ(play(script), TDR_TX_SCRIPT_PLAYER::REPLAY_OK) << player.get_error();
  std::string out = read_file(temp_path("out/out.xml"));
  EXPECT_NE(out.find("name=\"log: 2026/01/02 03:04:05  #7\""), std::string::npos);
  EXPECT_NE(out.find("name=\"log: 2000/01/01 00:00:00  #0\""), std::string::npos);
  EXPECT_EQ(out.find("signal_set: 2026"), std::string::npos);
  EXPECT_EQ(reports, std::vector<std::string>{
                         "s.tdrs:6: automatic name 'log: 2000/01/01 00:00:00  #0' made where the "
                         "script has 'signal_set: 2026/01/02 03:04:05  #8'"});
}

namespace {

// Drives one random editing session through the editing layer.
class RANDOM_EDITOR {
 public:
  RANDOM_EDITOR(TDR_TX_SESSION* tx, unsigned seed, const std::string& kfb)
      : m_tx(tx), m_rng(seed), m_kfb(kfb) {}

  int pick(int n) { return n <= 0 ? 0 : int(m_rng() % unsigned(n)); }
  bool coin() { return pick(2) == 1; }
  std::string name() { return "n" + std::to_string(pick(6)); }
  const char* text_or_null(std::string* keep) {
    if (pick(4) == 0) return nullptr;
    *keep = pick(3) == 0 ? "it's \"odd\" | x, y /* z */\n'q' 4" : name();
    return keep->c_str();
  }
  // A node of `list` whose kind is `group` (-1 when there is none).
  int node(TDR_TX_SIGNAL_NODES* list, bool group) {
    std::vector<int> found;
    for (int i = 0; i < list->get_node_count(); ++i)
      if (list->get_node(i)->is_group() == group) found.push_back(i);
    return found.empty() ? -1 : found[size_t(pick(int(found.size())))];
  }

  // One edit of instance `g` inside an open action.
  void edit(int g) {
    TDR_TX_INSTANCE* inst = m_tx->get_instance_at(g, true);
    TDR_TX_SIGNAL_SET* sig = m_tx->get_signal_set_at(g, true);
    TDR_TX_TRIGGER* trig = m_tx->get_trigger_at(g, true);
    TDR_TX_SIGNAL_NODES* list = coin() ? static_cast<TDR_TX_SIGNAL_NODES*>(sig) : trig;
    int n = list->get_node_count() + 1;
    int wire = node(list, false), group = node(list, true);
    int levels = trig->get_trigger_level();
    std::string keep, keep2;
    switch (pick(41)) {
      case 0: if (wire >= 0) list->set_node_name(wire, ("s" + std::to_string(pick(50))).c_str()); break;
      case 1: list->set_node_alias(pick(n), text_or_null(&keep)); break;
      case 2: if (group >= 0) list->set_group_node_name(group, ("g" + std::to_string(pick(9))).c_str()); break;
      case 3: list->set_node_capture_type(pick(n), TDR_DATA_WIRE_CAPTURE_TYPE(pick(4))); break;
      case 4: list->set_node_tap_mode(pick(n), TDR_DATA_WIRE_TAP_MODE(pick(2))); break;
      case 5: list->set_node_connection_status(pick(n), coin()); break;
      case 6: if (wire >= 0) list->set_debug_out(wire, coin(), text_or_null(&keep)); break;
      case 7: if (group >= 0) list->set_node_group_display_type(group, TDR_DATA_GROUP_DISPLAY_TYPE(pick(12))); break;
      case 8: if (group >= 0) list->set_node_mnemonics_table_name(group, coin() ? "addr_states" : nullptr); break;
      case 9: if (group >= 0) list->set_node_lsb_to_msb(group, coin()); break;
      case 10: list->set_node_signal_inverted(pick(n), coin()); break;
      case 11: if (group >= 0) list->toggle_node(group); break;
      case 12: list->append_node(name().c_str(), TDR_STYPE_REGISTER_SIGNAL, TDR_DATA_WIRE_TAP_MODE(pick(2))); break;
      case 13: list->delete_node(pick(n), pick(n)); break;
      case 14: if (n > 1) list->delete_node(list->get_node(pick(n - 1))->name.c_str()); break;
      case 15: list->group_node(pick(n), pick(n), nullptr); break;
      case 16: if (group >= 0) list->ungroup_node(group); break;
      case 17: if (group >= 0) list->link_group_node(group, TDR_DATA_GROUP_LINKING_TYPE(pick(16))); break;
      case 18: list->move_before_node(pick(n), pick(n), pick(n), coin()); break;
      case 19: list->copy_before_node(pick(n), pick(n), pick(n), coin()); break;
      case 20: trig->set_trigger_condition(pick(n), pick(levels + 1), TDR_DATA_TRIGGER_CONDITION(pick(9))); break;
      case 21: trig->set_trigger_level(1 + pick(3)); break;
      case 22: trig->set_trigger_level_basic_condition(pick(levels), coin()); break;
      case 23: trig->set_trigger_level_enabled(pick(levels), coin()); break;
      case 24:
        if (wire >= 0 && list == trig)
          trig->set_advanced_expression(pick(levels), ("rising('" + trig->get_node(wire)->name + "')").c_str());
        break;
      case 25: trig->set_trigger_position(TDR_DATA_TRIGGER_POSITION(pick(4))); break;
      case 26: trig->set_trigger_type(TDR_DATA_TRIGGER_TYPE(pick(2))); trig->set_segment_size(1 + pick(16)); break;
      case 27: trig->set_trigger_in_condition(TDR_DATA_TRIGGER_CONDITION(pick(9))); trig->set_trigger_out_condition(TDR_DATA_TRIGGER_CONDITION(pick(9))); break;
      case 28: trig->set_power_up_trigger_view(coin()); break;
      case 29: trig->duplicate_trigger_to_other(coin()); break;
      case 30: sig->set_sample_depth(64 << pick(3)); sig->set_velarn_ram_type(TDR_VELARN_RAM_TYPE(pick(4))); break;
      case 31: sig->set_reserved_data_node_size(pick(3)); sig->set_reserved_trigger_node_size(pick(3)); break;
      case 32: sig->set_trigger_in_enabled(coin()); sig->set_trigger_out_enabled(coin()); break;
      case 33: {
        std::string other = inst->get_name(false) == "cpu_probe" ? "io_probe" : "cpu_probe";
        if (coin()) sig->set_trigger_in_node((other + "|trigger_out").c_str());
        else sig->set_trigger_out_pin(coin() ? "pin_a" : "");
        break;
      }
      case 34: sig->set_clock_source(coin() ? "sys_clk" : "uart_clk"); sig->set_top_entity_name(coin() ? "top" : "cpu_top"); break;
      case 35: inst->set_incr_cmp_mode(coin()); break;
      case 36: trig->rename_node_name(wire >= 0 ? list->get_node(wire)->name.c_str() : "x", name().c_str()); break;
      case 37: trig->rename_node_alias(wire >= 0 ? list->get_node(wire)->name.c_str() : "x", text_or_null(&keep)); break;
      case 38: trig->set_crc_value_inheritable(coin()); trig->set_expanded_status(coin()); break;
      case 39: sig->set_trigger_in_pin(coin() ? "pin_b" : ""); sig->set_trigger_out_node(coin() ? "io_probe|trigger_in" : ""); break;
      default: sig->set_expanded_status(coin()); inst->set_expanded_status(coin()); break;
    }
  }

  // One step of the editor: an action of edits, undo or redo, or a session call.
  void step(const std::string& save_path) {
    int g = pick(m_tx->get_num_groups());
    TDR_TX_INSTANCE* inst = m_tx->get_instance_at(g, true);
    int view = pick(m_tx->get_num_instances());
    std::string keep;
    int r = pick(100);
    if (r < 10) {
      inst->undo();
    } else if (r < 15) {
      inst->redo();
    } else if (r < 18) {
      m_tx->save_session(save_path.c_str());
    } else if (r < 32) {
      switch (pick(20)) {
        case 0: m_tx->commit_instance_at(g, coin()); break;
        case 1: m_tx->create_new_log(view); break;
        case 2: m_tx->remove_current_log(view); break;
        case 3: m_tx->save_to_log(view); break;
        case 4: m_tx->set_gui_logging(coin()); break;
        case 5: m_tx->set_global_data("k", pick(5)); break;
        case 6: { int v[] = {pick(9), -1}; m_tx->set_global_data("l", v, pick(3)); break; }
        case 7: m_tx->set_jtag_chain_name(text_or_null(&keep)); break;
        case 8: m_tx->set_active(view, coin() ? "bus_capture" : "USE_GLOBAL_TEMP", coin() ? "addr_watch" : nullptr, nullptr); break;
        case 9: m_tx->set_active_log(view, coin() ? m_tx->get_log_at(view, false) : nullptr); break;
        case 10: m_tx->rename_embedded_kfb_filename_at(0, coin() ? "a.kfb" : "board.kfb"); break;
        case 11: if (m_tx->get_num_groups() < 3) m_tx->create_tavrin_instance(nullptr); break;
        case 12: if (m_tx->get_num_groups() > 1) m_tx->remove_tavrin_instance(view); break;
        case 13: m_tx->remove(view, coin() ? "uart" : "bus_capture", coin() ? "start_bit" : nullptr, nullptr); break;
        case 14: m_tx->set_embedded_kfb_inst_id_crc_at(pick(2), coin() ? "12AB" : ""); break;
        case 15: m_tx->embed_kfb_file(m_kfb.c_str(), coin() ? "prog.kfb" : "board.kfb"); m_tx->remove_embedded_kfb_at(pick(3)); break;
        case 16: inst->rename(coin() ? "probe" : nullptr); inst->update_to_current_version(); break;
        case 17: inst->set_max_undo_steps(2 + pick(20)); m_tx->set_undoable_modified_flag(); break;
        case 18: m_tx->set_kfb_file_name(text_or_null(&keep)); m_tx->set_jtag_device_name("@2: x"); break;
        default: inst->set_position_data("p", pick(7)); inst->set_setup_tab_selected(coin()); break;
      }
    } else {
      TDR_TX_INSTANCE* owner = m_tx->get_instance_at(m_tx->translate_instance_index(view), true);
      owner->begin_action();
      if (pick(8) == 0) {
        m_tx->set_power_up_trigger_mode(view, coin());
      } else {
        for (int k = 1 + pick(3); k > 0; --k) edit(owner->get_instance_index());
      }
      owner->end_action();
    }
  }

 private:
  TDR_TX_SESSION* m_tx;
  std::mt19937 m_rng;
  std::string m_kfb;  // a file to embed
};

}  // namespace

// Every recorded session replays to the same bytes at every check point.
TEST_F(TxPlayerTest, RecordedSessionsReplayIdentically) {
  const int SESSIONS = 16, STEPS = 80;
  int calls = 0, check_points = 0;
  for (int seed = 0; seed < SESSIONS; ++seed) {
    std::string dir = temp_path("rec" + std::to_string(seed));
    mkdir(dir.c_str(), 0777);
    mkdir((dir + "/replayed").c_str(), 0777);
    write_file(dir + "/edited.xml", read_file(source_dir() + "/examples/demo_session.xml"));
    std::string script;
    {
      RECORDING on(dir, seed % 2, true);
      TDR_TX_SESSION tx;
      script = tx.get_script_recorder()->get_script_path();
      ASSERT_TRUE(tx.open_session((dir + "/edited.xml").c_str()));
      write_file(dir + "/prog.kfb", "program " + std::to_string(seed));
      RANDOM_EDITOR editor(&tx, unsigned(seed), dir + "/prog.kfb");
      for (int s = 0; s < STEPS; ++s) editor.step(dir + "/edited.xml");
      tx.save_session((dir + "/edited.xml").c_str());
    }
    TDR_TX_SCRIPT_PLAYER replay;
    std::vector<std::string> lines;
    replay.set_report([&](const std::string& line) { lines.push_back(line); });
    replay.set_verify(true);
    replay.set_output_dir(dir + "/replayed");
    ASSERT_TRUE(replay.load_file(script)) << replay.get_error();
    EXPECT_EQ(replay.run(), TDR_TX_SCRIPT_PLAYER::REPLAY_OK)
        << "seed " << seed << ": " << replay.get_error() << "\n"
        << (lines.empty() ? "" : lines[0]);
    EXPECT_GT(replay.get_check_points_verified(), 0);
    EXPECT_EQ(replay.get_check_points_verified(), replay.get_check_points_saved());
    EXPECT_TRUE(m_sink.internal_errors.empty())
        << "seed " << seed << ": " << m_sink.internal_errors[0].condition;
    forget_messages();  // the layer's warnings about the random triggers
    calls += replay.get_calls_replayed();
    check_points += replay.get_check_points_verified();
  }
  std::printf("record -> replay: %d sessions, %d calls, %d check points identical\n", SESSIONS,
              calls, check_points);
}

// A batch edit applied to a session the caller keeps: the script's open and
// close stand for it, opening another is refused, and the session stays open.
TEST_F(TxPlayerTest, ScriptsRunOnTheCallersSession) {
  write_file(temp_path("demo.xml"), read_file(source_dir() + "/examples/demo_session.xml"));
  TDR_TX_SESSION tx;
  TDR_TX_SCRIPT_PLAYER p;
  ASSERT_TRUE(p.load_text("open_session 'elsewhere.xml'\n", temp_dir(), "s"));
  EXPECT_EQ(p.run(&tx), TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED);
  EXPECT_EQ(p.get_error(), "s: the given session is not open");

  ASSERT_TRUE(tx.open_session(temp_path("demo.xml").c_str()));
  const struct {
    const char* script;
    const char* error;  // empty: the script runs
  } cases[] = {
      {"open_session 'elsewhere.xml'\ninstance 0 begin_action\n"
       "instance 0 data_tab set_node_alias 0 'first'\ninstance 0 end_action\nclose_session\n",
       ""},
      {"instance 0 begin_action\ninstance 0 data_tab set_node_alias 0 'second'\n"
       "instance 0 end_action\nopen_session 'x.xml'\n",
       "s:4: 'open_session' on a session the caller keeps open"},
      {"close_session\ninstance 0 undo\n", "s:2: no session is open (the script closed it)"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(p.load_text(c.script, temp_dir(), "s")) << p.get_error();
    EXPECT_EQ(p.run(&tx), *c.error ? TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED
                                   : TDR_TX_SCRIPT_PLAYER::REPLAY_OK);
    EXPECT_EQ(p.get_error(), c.error);
  }
  ASSERT_NE(tx.get_data_session(), nullptr);
  EXPECT_STREQ(tx.get_signal_set_at(0, true)->get_node_alias(0), "second");
}
