// Logs: the sample matrix, reading "data" elements, connection status, storing
// and copying data, the validity check, simulated runs and bad input.
#include <climits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tdr_data_signal_test_support.h"
#include "tdr_data_trigger_test_support.h"

namespace {

typedef std::vector<std::pair<int, int>> HIGH;  // (wire, sample) pairs

class LogTest : public TriggerTest {
 protected:
  // The shared session with trigger "t" (one level) and log "L".
  TDR_DATA_LOG* fresh(const std::string& trigger_attrs = "") {
    open_triggers("<trigger name=\"t\"" + trigger_attrs + "><events><level/></events></trigger>");
    return trigger()->create_log("L", false);
  }
  static bool store(TDR_DATA_LOG* log, const std::string& bits, int depth, int position,
                    bool power_up = false) {
    return log->translate_bit_stream(tdr_widen(bits).c_str(), depth, position, power_up);
  }
  // A matrix of `depth` samples over the shared set's three data wires (a, c,
  // x), all low but for the (wire, sample) pairs given.
  static std::string matrix(int depth, HIGH high, int width = 3) {
    std::string bits(size_t(depth) * size_t(width), '0');
    for (const auto& h : high) bits[size_t(h.second) * size_t(width) + size_t(h.first)] = '1';
    return bits;
  }
  // Conditions of level 0 by data-wire position (the check reads them so).
  void conditions_for(std::vector<TDR_DATA_TRIGGER_CONDITION> c, int level = 0) {
    for (size_t i = 0; i < c.size(); ++i)
      trigger()->set_trigger_condition(int(i), level, c[i], false, false);
  }
};

std::string print_log(TDR_DATA_LOG* log) { return print_node(log->get_dom_node()); }

// What the log read: depth, segment size, trigger position, power-up flag,
// unconnected ports ("-" for none) and whether it has data.
std::string info(const TDR_DATA_LOG* l) {
  return std::to_string(l->get_data_sample_depth()) + " seg " +
         std::to_string(l->get_data_segment_size()) + " at " +
         std::to_string(l->get_data_trigger_position()) +
         (l->is_power_up_trigger() ? " power-up" : "") + " ports " +
         (l->get_unconnected_ports() ? l->get_unconnected_ports() : "-") +
         (l->is_data_available() ? " data" : "");
}

}  // namespace

TEST_F(LogTest, SamplesAreLaidOutRowAfterRowAndHiddenWhileAcquiring) {
  TDR_DATA_LOG* log = fresh();
  EXPECT_FALSE(log->is_data_available());
  EXPECT_FALSE(log->get_bit(0, 0));
  EXPECT_TRUE(store(log, "100100100100", 4, 1));
  for (int s = 0; s < 4; ++s) {
    EXPECT_TRUE(log->get_bit(0, s)) << s;
    EXPECT_FALSE(log->get_bit(1, s)) << s;
    EXPECT_FALSE(log->get_bit(2, s)) << s;
  }
  // Out of range or past the text: low.
  for (auto wire_sample : HIGH{{3, 0}, {-1, 1}, {0, 4}, {0, -1}, {0, INT_MAX}})
    EXPECT_FALSE(log->get_bit(wire_sample.first, wire_sample.second));
  // Only "1" is high.
  EXPECT_TRUE(store(log, "1H2", 1, 0));
  EXPECT_TRUE(log->get_bit(0, 0) && !log->get_bit(1, 0) && !log->get_bit(2, 0));
  EXPECT_TRUE(log->is_data_available());
  EXPECT_EQ(log->get_samples_length(), 3u);
  // While acquiring, the old samples are no data.
  EXPECT_FALSE(log->is_acquiring_data());
  EXPECT_TRUE(log->start_acquisition());
  EXPECT_FALSE(log->start_acquisition());
  EXPECT_TRUE(log->is_acquiring_data());
  EXPECT_FALSE(log->is_data_available());
  EXPECT_TRUE(log->end_acquisition());
  EXPECT_FALSE(log->end_acquisition());
  EXPECT_TRUE(log->is_data_available());
}

TEST_F(LogTest, DataElementsAreRead) {
  open_triggers(test_data("data/log/data_elements.xml"));
  TDR_DATA_TRIGGER* t = trigger();
  TDR_DATA_LOG* l = t->find_log("L");
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->get_trigger(), t);
  EXPECT_EQ(l->get_signal_set(), set());
  EXPECT_EQ(l->get_data_width(), 3);
  EXPECT_EQ(info(l), "8 seg 2 at -1 power-up ports 101 data");
  EXPECT_TRUE(l->get_bit(1, 1));
  EXPECT_FALSE(l->get_bit(2, 0));
  // The text is shorter than depth x width: the rest reads low.
  EXPECT_FALSE(l->get_bit(0, 7));
  // The samples are the document's own text.
  EXPECT_EQ(l->get_samples(),
            static_cast<xercesc::DOMText*>(l->get_dom_node()->getFirstChild())->getData());

  // No name: generated from "data" and written; no leading text: no data.
  TDR_DATA_LOG* unnamed = t->get_log_at(1);
  EXPECT_EQ(std::string(unnamed->get_name()).compare(0, 4, "data"), 0);
  EXPECT_EQ(tdr_get_attr(unnamed->get_dom_node(), TDR_X("name")), unnamed->get_name());
  EXPECT_EQ(info(unnamed), "0 seg 0 at 0 ports -");
  EXPECT_TRUE(t->find_log("W")->is_data_available());
  TDR_DATA_LOG* n = t->find_log("N");
  EXPECT_EQ(info(n), "-7 seg 0 at " + std::to_string(INT_MAX) + " ports -");
  EXPECT_FALSE(n->sanity_check_data_validity(false));
}

TEST_F(LogTest, ConnectionStatusOfDataWires) {
  open_triggers(
      "<trigger name=\"t\"><data name=\"none\"/><data name=\"some\" unconnected_ports=\"101\"/>"
      "<data name=\"short\" unconnected_ports=\"1\"/><data name=\"zero\" unconnected_ports=\"0\"/>"
      "</trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  for (int w = -1; w < 6; ++w) EXPECT_TRUE(t->find_log("none")->get_connection_status(w)) << w;
  TDR_DATA_LOG* some = t->find_log("some");
  // "101", then beyond the set's three data wires.
  for (int w : {0, 1, 2, 5, -1}) EXPECT_EQ(some->get_connection_status(w), w == 0 || w == 2) << w;
  // A short string leaves the later wires connected.
  EXPECT_FALSE(t->find_log("zero")->get_connection_status(0));
  EXPECT_TRUE(t->find_log("short")->get_connection_status(2) &&
              t->find_log("zero")->get_connection_status(2));
  // Without a set every wire is connected.
  some->set_signal_set(nullptr);
  EXPECT_EQ(some->get_data_width(), 0);
  EXPECT_TRUE(some->get_connection_status(1));
  some->set_signal_set(set());
  EXPECT_EQ(some->get_data_width(), 3);

  set_config("tvf_always_connected", "on");
  EXPECT_TRUE(some->get_connection_status(1) && some->get_connection_status(5));
  set_config("tvf_always_connected", "off");
  EXPECT_FALSE(some->get_connection_status(1));
}

TEST_F(LogTest, StoringWritesTheAttributesThatDescribeTheData) {
  open_triggers(
      "<trigger name=\"t\"><events><level/></events>"
      "<data name=\"L\" segment_size=\"9\" sanity_check=\"FAIL\">0<x/>1</data></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  TDR_DATA_LOG* log = t->find_log("L");
  // The element after each store, a line each: every old child and a stale
  // segment size went; segmented data take the segment size and a position
  // only when there is none; the power-up side decides for power-up data.
  std::string stored;
  EXPECT_TRUE(store(log, "100100100100", 4, 1));
  stored += print_log(log) + "\n";
  t->set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER, false);
  t->set_segment_size(2, false);
  EXPECT_TRUE(store(log, "111000", 2, -1));
  EXPECT_EQ(log->get_data_segment_size(), 2);
  stored += print_log(log) + "\n";
  EXPECT_TRUE(store(log, "111000", 2, 1));
  stored += print_log(log) + "\n";
  EXPECT_TRUE(store(log, "000", 1, 0, true));
  EXPECT_EQ(log->get_data_segment_size(), 0);
  EXPECT_TRUE(log->is_power_up_trigger());
  expect_golden("data/log", "stores.xml", stored + print_log(log) + "\n");

  // Data taken while a data wire is not connected keep the connections.
  TDR_DATA_SIGNAL_WIRE* x = set()->get_data_wire_at(2);
  x->set_tap_mode(TDR_MTYPE_PROBEONLY_TAP);
  x->set_connection_status(false);
  set()->create_signal_connections();
  ASSERT_FALSE(set()->get_connection_status());
  EXPECT_TRUE(store(log, "000", 1, 0));
  EXPECT_STREQ(log->get_unconnected_ports(), "110");
  EXPECT_EQ(tdr_get_attr(log->get_dom_node(), TDR_X("unconnected_ports")), "110");
  EXPECT_FALSE(log->get_connection_status(2));
  // Connected again: the recorded state stays with the data as it was.
  x->set_connection_status(true);
  set()->create_signal_connections();
  EXPECT_TRUE(store(log, "000", 1, 0));
  EXPECT_STREQ(log->get_unconnected_ports(), "110");

  // In regression-test mode every store is checked and the verdict recorded.
  set_config("tst_regtest_mode", "on");
  t->set_trigger_type(TDR_TTYPE_CIRCULAR_TRIGGER, false);
  t->set_trigger_condition(0, 0, TDR_CTYPE_HIGH_COND, false, false);
  EXPECT_TRUE(store(log, "100", 1, 0));
  EXPECT_EQ(tdr_get_attr(log->get_dom_node(), TDR_X("sanity_check")), "PASS");
  EXPECT_TRUE(store(log, "000", 1, 0));
  EXPECT_EQ(tdr_get_attr(log->get_dom_node(), TDR_X("sanity_check")), "FAIL");

  EXPECT_FALSE(log->translate_bit_stream(nullptr, 1, 0, false));
  expect_internal_error("bits != NULL && m_doc != NULL && m_element != NULL");
}

TEST_F(LogTest, CopyingData) {
  open_triggers(test_data("data/log/copy_in.xml"));
  TDR_DATA_TRIGGER* t = trigger();
  TDR_DATA_LOG* dst = t->find_log("dst");
  dst->copy_data(t->find_log("src"));
  EXPECT_EQ(print_log(dst),
            "<data name=\"dst\" power_up_mode=\"true\" sample_depth=\"2\" trigger_position=\"1\" "
            "unconnected_ports=\"011\">110001</data>");
  EXPECT_STREQ(dst->get_unconnected_ports(), "011");
  EXPECT_TRUE(dst->get_bit(1, 0));
  EXPECT_TRUE(dst->get_bit(2, 1));
  // The copy is independent of its source.
  EXPECT_NE(dst->get_samples(), t->find_log("src")->get_samples());
  // A source without unconnected ports clears them.
  dst->copy_data(t->find_log("plain"));
  const std::string plain = print_log(dst);
  EXPECT_EQ(plain, "<data name=\"dst\" power_up_mode=\"false\" sample_depth=\"1\" "
                   "trigger_position=\"0\">111</data>");
  EXPECT_EQ(dst->get_unconnected_ports(), nullptr);
  // Without data, or without a source, nothing happens.
  dst->copy_data(t->find_log("empty"));
  dst->copy_data(nullptr);
  EXPECT_EQ(dst->get_data_sample_depth(), 1);
  EXPECT_EQ(dst->get_unconnected_ports(), nullptr);
  // Onto itself: the same data.
  dst->copy_data(dst);
  EXPECT_EQ(print_log(dst), plain);
}

// The validity check of stored data (edges and levels at the trigger position,
// positions and depths out of range, segment starts), as the steps of
// tests/data/data/log/validity_steps.txt.
TEST_F(LogTest, ValidityCheckFollowsTheSteps) {
  const std::map<std::string, TDR_DATA_TRIGGER_CONDITION> codes = {
      {"HI", TDR_CTYPE_HIGH_COND},         {"LO", TDR_CTYPE_LOW_COND},
      {"RE", TDR_CTYPE_RISING_EDGE_COND},  {"FE", TDR_CTYPE_FALLING_EDGE_COND},
      {"EE", TDR_CTYPE_EITHER_EDGE_COND},  {"DC", TDR_CTYPE_DONT_CARE_COND},
      {"AH", TDR_CTYPE_ACTIVE_HIGH_COND}};
  TDR_DATA_LOG* log = nullptr;
  int step = 0;
  for (const std::vector<std::string>& row : test_table("data/log/validity_steps.txt")) {
    SCOPED_TRACE("step " + std::to_string(++step) + ": " + row[0] + " " + row.back());
    const std::string& op = row[0];
    auto at = [&](size_t i) { return std::stoi(row.at(i)); };
    if (op == "open") {
      log = fresh(row.size() > 1 ? row[1] : "");
    } else if (op == "conds") {
      std::vector<TDR_DATA_TRIGGER_CONDITION> c;
      std::istringstream in(row.at(2));
      for (std::string code; in >> code;) c.push_back(codes.at(code));
      conditions_for(c, at(1));
    } else if (op == "data") {
      std::string bits = row.at(3).substr(1);
      if (row[3][0] != '=') {
        HIGH high;
        std::istringstream in(row[3]);
        for (int w, s; in >> w && in.ignore() && in >> s;) high.push_back({w, s});
        bits = matrix(at(1), high);
      }
      store(log, bits, at(1), at(2), row.at(4) == "p");
      bool record = row.at(5) == "1", valid = row.at(6) == "1";
      EXPECT_EQ(log->sanity_check_data_validity(record), valid);
      EXPECT_TRUE(!record || tdr_get_attr(log->get_dom_node(), TDR_X("sanity_check")) ==
                                 (valid ? "PASS" : "FAIL"));
    } else if (op == "check") {
      EXPECT_EQ(log->sanity_check_data_validity(false), row.at(1) == "1");
    } else if (op == "level") {
      trigger()->append_new_level(true);
    } else if (op == "segment") {
      trigger()->set_segment_size(at(1), false);
    } else if (op == "segment_size") {
      EXPECT_EQ(log->get_data_segment_size(), at(1));
    } else {
      ADD_FAILURE() << "unknown step";
    }
  }
  EXPECT_EQ(step, 49);  // every row ran
}

TEST_F(LogTest, SegmentSizesReadFromAFileAreChecked) {
  // Sizes as recorded, bad ones refused, a huge depth over a short text checked.
  open_triggers(test_data("data/log/segment_sizes.xml"));
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_FALSE(t->find_log("zero")->sanity_check_data_validity(false));
  EXPECT_FALSE(t->find_log("neg")->sanity_check_data_validity(false));
  EXPECT_TRUE(t->find_log("huge")->sanity_check_data_validity(false));
  EXPECT_FALSE(t->find_log("hi")->sanity_check_data_validity(false));
  // Wanted high: the samples of the text are, the ones past it are not.
  t->set_trigger_condition(2, 0, TDR_CTYPE_HIGH_COND, false, false);
  EXPECT_FALSE(t->find_log("huge")->sanity_check_data_validity(false));
  EXPECT_FALSE(t->find_log("hi")->sanity_check_data_validity(false));
  t->find_log("hi")->set_signal_set(nullptr);  // no data wires, nothing to compare
  EXPECT_FALSE(t->find_log("hi")->sanity_check_data_validity(false));  // no set depth either
}

TEST_F(LogTest, SimulatedRunsMatchTheFirstLevel) {
  TDR_DATA_LOG* log = fresh();
  // By data-list position: a rises, c is high, x falls.
  conditions_for({TDR_CTYPE_RISING_EDGE_COND, TDR_CTYPE_HIGH_COND, TDR_CTYPE_FALLING_EDGE_COND});
  struct CASE {
    int position;
    int sample;
  } cases[] = {{TDR_PTYPE_PRE_POS, 16},
               {TDR_PTYPE_CENTER_POS, 64},
               {TDR_PTYPE_POST_POS, 112},
               {TDR_PTYPE_CONTINUOUS_POS, 0},
               {4, 16}};
  for (const CASE& c : cases) {
    trigger()->set_trigger_position(TDR_DATA_TRIGGER_POSITION(c.position), false);
    log->simulate_run();
    const int p = c.sample;
    EXPECT_EQ(log->get_data_sample_depth(), 128);
    EXPECT_EQ(log->get_data_trigger_position(), p);
    EXPECT_EQ(log->get_samples_length(), 128u * 3u);
    EXPECT_TRUE(log->get_bit(0, p));
    // The level wire's first samples are redrawn, sample 0 at least.
    EXPECT_TRUE(p <= 3 || log->get_bit(1, p));
    EXPECT_FALSE(log->get_bit(2, p));
    for (int s = 0; s < p; ++s) {
      EXPECT_FALSE(log->get_bit(0, s)) << s;
      EXPECT_TRUE(log->get_bit(2, s)) << s;
      EXPECT_TRUE(s < p - 3 || !log->get_bit(1, s)) << s;
    }
    EXPECT_TRUE(p == 0 || log->sanity_check_data_validity(false)) << p;
  }
  EXPECT_FALSE(log->is_power_up_trigger());
  trigger()->set_power_up_mode(true);
  log->simulate_run();
  EXPECT_TRUE(log->is_power_up_trigger());
}

TEST_F(LogTest, SimulatedEitherEdgesAndLimits) {
  TDR_DATA_LOG* log = fresh();
  conditions_for({TDR_CTYPE_EITHER_EDGE_COND, TDR_CTYPE_LOW_COND});
  for (int round = 0; round < 8; ++round) {
    log->simulate_run();
    // The edge is placed after the trigger sample: p + 1 differs from 0 .. p-1.
    bool before = log->get_bit(0, 0);
    for (int s = 1; s < 16; ++s) ASSERT_EQ(log->get_bit(0, s), before) << s;
    EXPECT_NE(log->get_bit(0, 17), before);
    EXPECT_FALSE(log->get_bit(1, 16));
  }
  // Two runs in a row differ.
  std::string first = tdr_narrow(log->get_samples());
  log->simulate_run();
  EXPECT_NE(tdr_narrow(log->get_samples()), first);

  // The width follows the set.
  set()->append(
      set()->create_wire("y", TDR_WTYPE_DATA_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, nullptr), true);
  log->simulate_run();
  EXPECT_EQ(log->get_data_width(), 4);
  EXPECT_EQ(log->get_samples_length(), 128u * 4u);
  // A matrix over 1 GiB is not made.
  set()->set_sample_depth(1 << 30);
  log->simulate_run();
  EXPECT_EQ(log->get_data_sample_depth(), 128);
  // No depth: empty data.
  set()->set_sample_depth(0);
  log->simulate_run();
  EXPECT_EQ(log->get_data_sample_depth(), 0);
  EXPECT_EQ(log->get_samples_length(), 0u);
  // A log without a trigger cannot simulate.
  TEST_XML_DOC d;
  TDR_DATA_LOG loose(d.doc, "loose");
  loose.simulate_run();
  expect_internal_error("m_signal_set != NULL && m_trigger != NULL");
}
