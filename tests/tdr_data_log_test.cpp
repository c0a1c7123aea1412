// Logs: the sample matrix, reading "data" elements, connection status, storing
// and copying data, the validity check, simulated runs and bad input.
#include <climits>
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
  // Stores such a matrix and runs the validity check (without recording it).
  static bool valid(TDR_DATA_LOG* log, HIGH high, int depth, int position, bool power_up = false) {
    store(log, matrix(depth, high), depth, position, power_up);
    return log->sanity_check_data_validity(false);
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

TEST_F(LogTest, SamplesAreLaidOutRowAfterRow) {
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
  EXPECT_TRUE(store(log, "100100100100", 4, 1));
  // Every old child went; a stale segment size too.
  EXPECT_EQ(print_log(log),
            "<data name=\"L\" power_up_mode=\"false\" sample_depth=\"4\" sanity_check=\"FAIL\" "
            "trigger_position=\"1\">100100100100</data>");

  // Segmented data: the segment size, and a position only when there is none.
  t->set_trigger_type(TDR_TTYPE_SEGMENTED_TRIGGER, false);
  t->set_segment_size(2, false);
  EXPECT_TRUE(store(log, "111000", 2, -1));
  EXPECT_EQ(log->get_data_segment_size(), 2);
  EXPECT_EQ(print_log(log),
            "<data name=\"L\" power_up_mode=\"false\" sample_depth=\"2\" sanity_check=\"FAIL\" "
            "segment_size=\"2\" trigger_position=\"-1\">111000</data>");
  EXPECT_TRUE(store(log, "111000", 2, 1));
  EXPECT_EQ(print_log(log),
            "<data name=\"L\" power_up_mode=\"false\" sample_depth=\"2\" sanity_check=\"FAIL\" "
            "segment_size=\"2\">111000</data>");
  // The power-up side decides for power-up data.
  EXPECT_TRUE(store(log, "000", 1, 0, true));
  EXPECT_EQ(log->get_data_segment_size(), 0);
  EXPECT_TRUE(log->is_power_up_trigger());
  EXPECT_EQ(print_log(log),
            "<data name=\"L\" power_up_mode=\"true\" sample_depth=\"1\" sanity_check=\"FAIL\" "
            "trigger_position=\"0\">000</data>");

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
  EXPECT_EQ(print_log(dst),
            "<data name=\"dst\" power_up_mode=\"false\" sample_depth=\"1\" "
            "trigger_position=\"0\">111</data>");
  EXPECT_EQ(dst->get_unconnected_ports(), nullptr);
  // Without data, or without a source, nothing happens.
  dst->copy_data(t->find_log("empty"));
  dst->copy_data(nullptr);
  EXPECT_EQ(dst->get_data_sample_depth(), 1);
  EXPECT_EQ(dst->get_unconnected_ports(), nullptr);
  // Onto itself: the same data.
  dst->copy_data(dst);
  EXPECT_EQ(print_log(dst),
            "<data name=\"dst\" power_up_mode=\"false\" sample_depth=\"1\" "
            "trigger_position=\"0\">111</data>");
}

TEST_F(LogTest, AcquisitionState) {
  TDR_DATA_LOG* log = fresh();
  store(log, "000", 1, 0);
  EXPECT_FALSE(log->is_acquiring_data());
  EXPECT_TRUE(log->start_acquisition());
  EXPECT_FALSE(log->start_acquisition());
  EXPECT_TRUE(log->is_acquiring_data());
  EXPECT_FALSE(log->is_data_available());
  EXPECT_TRUE(log->end_acquisition());
  EXPECT_FALSE(log->end_acquisition());
  EXPECT_TRUE(log->is_data_available());
}

// --- validity check -------------------------------------------------------------

TEST_F(LogTest, EdgesAndLevelsAtTheTriggerPosition) {
  TDR_DATA_LOG* log = fresh();
  conditions_for({TDR_CTYPE_RISING_EDGE_COND});
  struct CASE {
    HIGH high;
    int position;
    bool valid;
  } rising[] = {
      {{{0, 10}}, 10, true},        {{{0, 10}, {0, 9}}, 10, false}, {{{0, 9}}, 10, false},
      {{{0, 0}}, 0, true},          {{{0, 0}, {0, 63}}, 0, false},  {{{0, 63}}, 63, true},
      {{{0, 0}, {0, 1}}, 1, false},
  };
  for (const CASE& c : rising) {
    store(log, matrix(64, c.high), 64, c.position);
    EXPECT_EQ(log->sanity_check_data_validity(true), c.valid) << c.position;
    EXPECT_EQ(tdr_get_attr(log->get_dom_node(), TDR_X("sanity_check")), c.valid ? "PASS" : "FAIL");
  }

  // Every wire counts; the data-list position selects the condition.
  conditions_for({TDR_CTYPE_HIGH_COND, TDR_CTYPE_FALLING_EDGE_COND, TDR_CTYPE_EITHER_EDGE_COND});
  EXPECT_TRUE(valid(log, {{0, 5}, {1, 4}, {2, 4}}, 8, 5));
  EXPECT_TRUE(valid(log, {{0, 5}, {1, 4}, {2, 5}}, 8, 5));  // either edge, the other way
  EXPECT_FALSE(valid(log, {{0, 5}, {1, 4}}, 8, 5));  // no edge on wire 2
  EXPECT_FALSE(valid(log, {{1, 4}, {2, 4}}, 8, 5));  // wire 0 not high
  EXPECT_FALSE(valid(log, {{0, 5}, {2, 4}}, 8, 5));  // wire 1 never high
  conditions_for({TDR_CTYPE_LOW_COND, TDR_CTYPE_DONT_CARE_COND, TDR_CTYPE_ACTIVE_HIGH_COND});
  EXPECT_TRUE(valid(log, {{1, 5}, {2, 5}}, 8, 5));
  EXPECT_FALSE(valid(log, {{0, 5}}, 8, 5));

  // Only the last level counts.
  int last = trigger()->append_new_level(true);
  EXPECT_TRUE(valid(log, {{0, 5}}, 8, 5));
  trigger()->set_trigger_condition(0, last, TDR_CTYPE_LOW_COND, false, false);
  EXPECT_FALSE(log->sanity_check_data_validity(false));
  // The power-up data are checked against the power-up conditions.
  EXPECT_TRUE(valid(log, {{0, 5}}, 8, 5, true));
  // Without a position nothing is compared.
  EXPECT_TRUE(valid(log, {{0, 5}}, 8, -1));
}

TEST_F(LogTest, PositionsDepthsAndSizesOutOfRange) {
  TDR_DATA_LOG* log = fresh();
  struct CASE {
    int depth, position;
    bool valid;
  } cases[] = {{64, 63, true},      {64, 64, false},    {64, -1, true},
               {64, -2, false},     {-1, -1, false},    {0, 0, true},
               {0, -1, true},       {0, 5, false},      {INT_MAX, INT_MAX - 1, true},
               {INT_MIN, 0, false}, {5, INT_MIN, false}};
  for (const CASE& c : cases) {
    store(log, "", c.depth, c.position);
    EXPECT_EQ(log->sanity_check_data_validity(false), c.valid) << c.depth << " " << c.position;
  }
  // A huge depth over a short text is still checked (everything past the text is low).
  conditions_for({TDR_CTYPE_LOW_COND, TDR_CTYPE_FALLING_EDGE_COND});
  store(log, "010", INT_MAX, 0);
  EXPECT_FALSE(log->sanity_check_data_validity(false));  // wire 1 is high at the trigger
  store(log, "000", INT_MAX, 1);
  EXPECT_FALSE(log->sanity_check_data_validity(false));
}

TEST_F(LogTest, SegmentedDataAreCheckedAtEverySegmentStart) {
  TDR_DATA_LOG* log = fresh(" trigger_type=\"segmented\" segment_size=\"16\"");
  trigger()->set_segment_size(16, false);
  conditions_for({TDR_CTYPE_HIGH_COND, TDR_CTYPE_FALLING_EDGE_COND, TDR_CTYPE_EITHER_EDGE_COND});
  store(log, matrix(64, {{0, 0}, {0, 16}, {0, 32}, {0, 48}, {1, 1}}), 64, -1);
  EXPECT_EQ(log->get_data_segment_size(), 16);
  EXPECT_TRUE(log->sanity_check_data_validity(true));
  EXPECT_EQ(tdr_get_attr(log->get_dom_node(), TDR_X("sanity_check")), "PASS");
  store(log, matrix(64, {{0, 0}, {0, 16}, {0, 48}}), 64, -1);
  EXPECT_FALSE(log->sanity_check_data_validity(true));
  EXPECT_EQ(tdr_get_attr(log->get_dom_node(), TDR_X("sanity_check")), "FAIL");
  EXPECT_FALSE(valid(log, {{0, 0}, {0, 16}, {0, 32}, {0, 48}, {1, 32}}, 64, -1));
  // Segment sizes of 0 and of the whole buffer are wrong.
  trigger()->set_segment_size(128, false);
  store(log, matrix(64, {{0, 0}}), 64, -1);
  EXPECT_EQ(log->get_data_segment_size(), 128);
  EXPECT_FALSE(log->sanity_check_data_validity(false));

  // Read from a file: sizes as recorded, bad ones refused, a huge depth over a
  // short text checked.
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

// --- simulated runs ---------------------------------------------------------------

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
    int p = c.sample;
    EXPECT_EQ(log->get_data_sample_depth(), 128);
    EXPECT_EQ(log->get_data_trigger_position(), p);
    EXPECT_EQ(log->get_samples_length(), 128u * 3u);
    EXPECT_TRUE(log->get_bit(0, p));
    // The level wire's first samples are redrawn, sample 0 at least.
    if (p > 3) {
      EXPECT_TRUE(log->get_bit(1, p));
    }
    EXPECT_FALSE(log->get_bit(2, p));
    for (int s = 0; s < p; ++s) {
      EXPECT_FALSE(log->get_bit(0, s)) << s;
      EXPECT_TRUE(log->get_bit(2, s)) << s;
      if (s >= p - 3) {
        EXPECT_FALSE(log->get_bit(1, s)) << s;
      }
    }
    if (p > 0) {
      EXPECT_TRUE(log->sanity_check_data_validity(false)) << p;
    }
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
