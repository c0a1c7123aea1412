// Script recording: exact script text, check-point snapshots, failure to open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_test_support.h"

namespace {

class TxRecorderTest : public TdrTest {
 protected:
  // A short editing session on instance 1's working object; returns the script.
  std::string record(std::string* base) {
    TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
    std::string path = temp_path("demo.xml");
    write_file(path, read_file(source_dir() + "/examples/demo_session.xml"));
    TDR_DATA_SESSION* session = manager->open_session(path.c_str());
    std::string script;
    {
      TDR_TX_SESSION tx;
      TDR_TX_SCRIPT_RECORDER* recorder = tx.get_script_recorder();
      *base = recorder->get_base_name();
      recorder->set_data_session(session);
      recorder->write_comment_line("// open_session 'demo.xml'");
      recorder->make_session_check_point(true);
      TDR_TX_INSTANCE instance(1, &tx, session->get_instance_at(0), recorder);
      instance.begin_action();
      instance.set_incr_cmp_mode(true);
      instance.rename(nullptr);
      int values[] = {3, -4};
      instance.set_position_data("xy", values, 2);
      instance.set_position_data("none", values, 0);
      instance.end_action();
      instance.undo();
      instance.set_max_undo_steps(5);
      {
        TDR_TX_SCRIPT_FUNC func(recorder, 0, false, "set_node_alias");
        func.append_argument(3);
        func.append_argument(static_cast<const char*>(nullptr));
      }
      {
        COUNTED_NAMES names(": fixed");
        TDR_TX_SCRIPT_FUNC func(recorder, "enums");
        func.append_argument(TDR_WTYPE_BOTH_CAPTURE);
        func.append_argument(static_cast<TDR_DATA_GROUP_LINKING_TYPE>(5));
        func.append_argument(TDR_CTYPE_INVALID_COND);
        func.append_argument(TDR_RTYPE_MIDRAM_BLOCK);
        TDR_DATA_MANAGER::auto_name("log");
      }
      TDR_DATA_MANAGER::auto_name("log");  // between calls: not a dependency of any line
      recorder->make_session_check_point();
      script = read_file(recorder->get_script_path());
    }
    manager->close_session(path.c_str());
    return script;
  }
};

TEST_F(TxRecorderTest, ScriptTextAndSnapshots) {
  std::string base;
  RECORDING on(temp_dir());
  std::string script = record(&base);
  std::string expected = read_file(source_dir() + "/tests/data/tx_session/recorded_script.log");
  for (size_t at; (at = expected.find("BASE")) != std::string::npos;) expected.replace(at, 4, base);
  EXPECT_EQ(script, expected);
  for (const char* suffix : {"_init.tvf", "_0.tvf"}) {
    std::string snapshot = temp_path(base + suffix);
    TDR_DATA_SESSION* copy =
        TDR_DATA_MANAGER::get_data_repository_manager()->open_independent_session(snapshot.c_str());
    ASSERT_NE(copy, nullptr) << snapshot;
    EXPECT_STREQ(copy->get_instance_at(0)->get_name(), "cpu_probe");
    TDR_DATA_MANAGER::get_data_repository_manager()->close_independent_session(copy);
  }

  // Low-level recording nests the calls made inside a call; location comments
  // are extra text around the same calls.
  RECORDING nesting(temp_dir(), true, true);
  std::string nested = record(&base);
  EXPECT_NE(nested.find(" /* @loc:tdr_tx_instance.cpp,"), std::string::npos);
  nested = std::regex_replace(nested, std::regex(" /\\* @loc:[a-z_]+\\.cpp,[0-9]+@ \\*/ "), "");
  std::string with_nesting = expected;
  with_nesting.replace(with_nesting.find("instance 1 undo\n"), 16,
                       "instance 1 undo\n->instance 1 set_setup_tab_selected true\n");
  std::regex stamp("tvf_tx_[0-9_]+");
  EXPECT_EQ(std::regex_replace(nested, stamp, "B"), std::regex_replace(with_nesting, stamp, "B"));
}

TEST_F(TxRecorderTest, UnwritableDirectorySwitchesRecordingOff) {
  RECORDING on("/nonexistent/tdr");
  for (bool allow_ie : {false, true}) {
    setenv("tvf_tx_record_allow_ie", allow_ie ? "on" : "off", 1);
    TDR_TX_SESSION tx;
    TDR_TX_SCRIPT_RECORDER* recorder = tx.get_script_recorder();
    EXPECT_FALSE(recorder->is_enabled());
    std::string path = "/nonexistent/tdr/" + recorder->get_base_name() + ".log";
    if (allow_ie) {
      expect_internal_error("Failed to write to recording script " + path);
    } else {
      ASSERT_FALSE(m_sink.debug_lines.empty());
      EXPECT_EQ(m_sink.debug_lines.back(),
                "tvf tx: failed to open recording script " + path + "; recording disabled");
    }
    TDR_TX_INSTANCE instance(0, &tx, nullptr, recorder);
    instance.begin_action();
    instance.set_incr_cmp_mode(true);
    instance.end_action();
    EXPECT_TRUE(instance.undo()) << "editing goes on without a script";
  }
}

class TxRecordedNamesTest : public TxFileTest {};

// Global-temp objects are written by the script word, whatever name the
// caller used; the setup list's own queries record themselves too.
TEST_F(TxRecordedNamesTest, GlobalTempObjectsAndSetupListOverrides) {
  std::string script;
  {
    RECORDING on(temp_dir(), true);
    open(source_dir() + "/examples/demo_session.xml");
    m_tx->set_gui_logging(false);
    act(0, [&] { set(0)->set_sample_depth(256); });
    ASSERT_TRUE(m_tx->save_session(temp_path("scratch.xml").c_str()));
    std::string after = read_file(m_tx->get_script_recorder()->get_script_path());
    EXPECT_TRUE(m_tx->set_active(0, "signal_set_0", "addr_watch", nullptr));
    EXPECT_FALSE(m_tx->remove(0, "signal_set_0", "addr_watch", "none"));
    EXPECT_TRUE(trig(0)->is_node_deletable(0));
    script = read_file(m_tx->get_script_recorder()->get_script_path()).substr(after.size());
  }
  expect_golden("tx_session", "global_temp_script.log", script);
}

}  // namespace
