// Script player: the line format read back, replay errors and exit results,
// automatic names, and record -> replay identity of random editing sessions.
#include <sys/stat.h>

#include <cstdlib>
#include <random>

#include "tdr_data_session.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_player.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
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

struct PARSE_CASE {
  const char* script;
  const char* expected;  // the call as described, or the start of the error
};

}  // namespace

TEST_F(TxPlayerTest, LinesParseAsTheRecorderWritesThem) {
  const PARSE_CASE cases[] = {
      {"instance 0 data_tab set_node_alias 3 NULL", "instance 0 data_tab set_node_alias 3 NULL"},
      {"instance 0 data_tab set_node_alias 3 'NULL'", "instance 0 data_tab set_node_alias 3 <NULL>"},
      {"instance 0 data_tab set_node_alias  3   ''", "instance 0 data_tab set_node_alias 3 <>"},
      // A quote closes where the rest of the line still parses.
      {"instance 2 setup_tab rename_node_name 'it's' 'a 'b', c'",
       "instance 2 setup_tab rename_node_name <it's> <a 'b', c>"},
      {"instance 0 setup_tab set_node_name /* @loc:tdr_tx_trigger.cpp,1382@ */  1 'x /* @loc:f,1@ */'",
       "instance 0 setup_tab set_node_name 1 <x /* @loc:f,1@ */>"},
      {"instance 0 rename 'two\nlines'\r\ninstance 0 undo", "instance 0 rename <two\nlines>"},
      {"// c\n\n   \n-->instance 0 undo\ninstance 1 setup_tab set_trigger_condition 4 0 'rising edge'",
       "instance 1 setup_tab set_trigger_condition 4 0 =5"},
      {"instance 0 setup_tab set_trigger_in_condition 9", "instance 0 setup_tab set_trigger_in_condition =9"},
      {"instance 0 data_tab set_node_capture_type 2 'none'", "instance 0 data_tab set_node_capture_type 2 =0"},
      {"instance 0 data_tab set_node_capture_type 2 'both'", "instance 0 data_tab set_node_capture_type 2 =3"},
      {"instance 0 data_tab link_group_node 0 'radix|basic'", "instance 0 data_tab link_group_node 0 =5"},
      {"instance 0 data_tab link_group_node 0 'all'", "instance 0 data_tab link_group_node 0 =15"},
      {"instance 0 setup_tab append_node 'n' 'register' 'advanced'",
       "instance 0 setup_tab append_node <n> =64 =1"},
      {"instance 0 data_tab group_node 0 2 NULL", "instance 0 data_tab group_node 0 2 NULL"},
      {"set_global_data 'k' '1,-2,3'", "set_global_data <k> [1,-2,3]"},
      {"set_global_data 'k' ''", "set_global_data <k> []"},
      {"set_global_data 'k' -7", "set_global_data <k> -7"},
      {"instance 1 set_position_data 'p' '4'", "instance 1 set_position_data <p> [4]"},
      {"instance 0 data_tab commit false", "instance 0 data_tab commit false"},
      {"instance 0 data_tab commit", "instance 0 data_tab commit"},
      {"instance 0 setup_tab init 'USE_GLOBAL_TEMP' 't'", "instance 0 setup_tab init <USE_GLOBAL_TEMP> <t>"},
      // Errors, with the line they are on.
      {"\nfrobnicate 1", "s.tdrs:2: unknown operation 'frobnicate'"},
      {"instance 0 set_sample_depth 5", "s.tdrs:1: unknown operation 'set_sample_depth'"},
      {"instance 0 data_tab set_sample_depth '5'", "s.tdrs:1: wrong arguments for 'set_sample_depth'"},
      {"instance 0 data_tab set_sample_depth 99999999999", "s.tdrs:1: wrong arguments"},
      {"instance 0 data_tab set_node_alias 3 'x' 4", "s.tdrs:1: wrong arguments"},
      {"instance 0 data_tab set_node_capture_type 2 'sometimes'", "s.tdrs:1: wrong arguments"},
      {"instance 0 setup_tab set_node_lsb_to_msb 0 yes", "s.tdrs:1: wrong arguments"},
      {"instance x rename 'a'", "s.tdrs:1: 'instance' needs an instance number"},
      {"instance 0 data_tab restore_properties", "s.tdrs:1: 'restore_properties' cannot be replayed"},
      {"instance 0 setup_tab group_node 0 1 'bus'", "s.tdrs:1: 'group_node' cannot be replayed"},
      {"instance 0 data_tab append_node 'n' true", "s.tdrs:1: 'append_node' cannot be replayed"},
      {"instance 0 rename 'open\nnever closed", "s.tdrs:1: wrong arguments"},
  };
  for (const PARSE_CASE& c : cases) {
    TDR_TX_SCRIPT_PLAYER p;
    bool ok = p.load_text(c.script, temp_dir(), "s.tdrs");
    std::string got = ok ? p.describe_call(0) : p.get_error();
    EXPECT_EQ(got.compare(0, std::strlen(c.expected), c.expected), 0) << c.script << "\n" << got;
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

  const PARSE_CASE failures[] = {
      {"open_session 'demo.xml'\ninstance 2 undo\nsave_session 'out.xml'",
       "s.tdrs:2: the session has no instance 2"},
      {"open_session 'missing.xml'\nsave_session 'out.xml'", "s.tdrs:1: cannot open session"},
      {"instance 0 undo\nsave_session 'out.xml'", "s.tdrs:1: no session is open"},
      {"open_session 'demo.xml'\ninstance 0 data_tab set_node_name -1 'x'\nsave_session 'out.xml'",
       "s.tdrs:2: internal error: node_index >= 0"},
      {"open_session 'demo.xml'\ninstance 0 begin_action\ninstance 0 begin_action\n"
       "save_session 'out.xml'",
       "s.tdrs:3: internal error: Previous action has not been terminated"},
  };
  for (const PARSE_CASE& c : failures) {
    std::remove(temp_path("out/out.xml").c_str());
    EXPECT_EQ(play(c.script), TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED) << c.script;
    EXPECT_EQ(player.get_error().compare(0, std::strlen(c.expected), c.expected), 0)
        << player.get_error();
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
  EXPECT_EQ(player.get_summary(),
            "0 calls replayed, 3 check points saved, 1 verified, mismatch at check points 2, 3");
  ASSERT_EQ(reports.size(), 2u);
  // Saving over the snapshots is refused.
  player.set_output_dir(temp_dir());
  EXPECT_EQ(player.run(), TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED);
  EXPECT_EQ(player.get_error(), "s.tdrs: the saved files would replace the recorded snapshots; "
                                "verify into another folder");
  EXPECT_EQ(reports[0],
            "s.tdrs:3: check point 2 ('b.xml') differs at line 1:\n"
            "  replayed: <session jtag_chain=\"USB-Blaster [1-1]\" jtag_device=\"@1: board_device\" "
            "kfb_file=\"\">\n"
            "  recorded: <session jtag_chain=\"USB-Blaster [1-1]\" jtag_device=\"X@1: board_device\" "
            "kfb_file=\"\">");
  EXPECT_EQ(reports[1], "s.tdrs:4: check point 3 ('missing.xml'): the recorded snapshot is missing");
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
