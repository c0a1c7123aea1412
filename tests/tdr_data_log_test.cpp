// Logs: the sample matrix, reading "data" elements, connection status, storing
// and copying data, the validity check, simulated runs, bad input and large
// logs (linear time, no copies of the matrix beyond the document's).
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
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

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
  open_triggers(
      "<trigger name=\"t\">"
      "<data name=\"L\" sample_depth=\"8\" segment_size=\"2\" trigger_position=\"-1\" "
      "power_up_mode=\"TRUE\" unconnected_ports=\"101\">110011</data>"
      "<data sample_depth=\"x\"><x/>1111</data><data name=\"W\"> </data>"
      "<data name=\"N\" power_up_mode=\"yes\" sample_depth=\"-7\" "
      "trigger_position=\"99999999999\"/>"
      "</trigger>");
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
  expect_internal_error("bits != nullptr && m_doc != nullptr && m_element != nullptr");
}

TEST_F(LogTest, CopyingData) {
  open_triggers(
      "<trigger name=\"t\"><data name=\"src\" sample_depth=\"2\" trigger_position=\"1\" "
      "power_up_mode=\"true\" unconnected_ports=\"011\">110001</data>"
      "<data name=\"plain\" sample_depth=\"1\" trigger_position=\"0\">111</data>"
      "<data name=\"empty\" sample_depth=\"5\" unconnected_ports=\"000\"/>"
      "<data name=\"dst\" unconnected_ports=\"111\"/></trigger>");
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
  // short text answered at once.
  open_triggers(
      "<trigger name=\"t\" trigger_type=\"segmented\"><events><level>'c' == low</level></events>"
      "<data name=\"zero\" segment_size=\"0\" sample_depth=\"4\">000000000000</data>"
      "<data name=\"neg\" segment_size=\"-4\" sample_depth=\"4\">000000000000</data>"
      "<data name=\"huge\" segment_size=\"1\" sample_depth=\"2147483647\">000000</data>"
      "<data name=\"hi\" segment_size=\"1\" sample_depth=\"2147483647\">001001</data>"
      "</trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_FALSE(t->find_log("zero")->sanity_check_data_validity(false));
  EXPECT_FALSE(t->find_log("neg")->sanity_check_data_validity(false));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(t->find_log("huge")->sanity_check_data_validity(false));
  EXPECT_FALSE(t->find_log("hi")->sanity_check_data_validity(false));
  // Wanted high: the samples of the text are, the ones past it are not.
  t->set_trigger_condition(2, 0, TDR_CTYPE_HIGH_COND, false, false);
  EXPECT_FALSE(t->find_log("huge")->sanity_check_data_validity(false));
  EXPECT_FALSE(t->find_log("hi")->sanity_check_data_validity(false));
  t->find_log("hi")->set_signal_set(nullptr);  // no data wires, nothing to compare
  EXPECT_FALSE(t->find_log("hi")->sanity_check_data_validity(false));  // no set depth either
  EXPECT_LT(seconds_since(start), 1.0);
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
  expect_internal_error("m_signal_set != nullptr && m_trigger != nullptr");
}

// --- large logs ---------------------------------------------------------------------

namespace {

// A session whose signal set has `width` wires sampled for both trigger and
// data, a trigger whose level wants wire w high when w % 3 == 0 and low when
// w % 3 == 1, and (optionally) a log.
std::string wide_session(int width, const std::string& log_xml) {
  std::string wires;
  for (int w = 0; w < width; ++w) wires += "<wire name=\"w" + std::to_string(w) + "\"/>";
  std::string level;
  for (int w = 0; w + 1 < width; w += 3) {
    if (!level.empty()) level += " &amp;&amp; ";
    level +=
        "'w" + std::to_string(w) + "' == high &amp;&amp; 'w" + std::to_string(w + 1) + "' == low";
  }
  return "<session><instance name=\"i\"><signal_set name=\"s\"><config sample_depth=\"131072\"/>"
         "<signal_vec><trigger_input_vec>" +
         wires + "</trigger_input_vec><data_input_vec>" + wires +
         "</data_input_vec></signal_vec><presentation><data_view/><setup_view/></presentation>"
         "<trigger name=\"t\"><events><level>" +
         level + "</level></events>" + log_xml +
         "</trigger></signal_set></instance><display_tree/><global_info/></session>";
}

// Peak resident memory of the process in MiB, and its reset (Linux).
long peak_mib() {
  long peak_kb = 0;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, 6, "VmHWM:") == 0) peak_kb = std::atol(line.c_str() + 6);
  return peak_kb / 1024;
}
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A sample pattern that meets the level at `position` and varies elsewhere.
XMLCh pattern(long long sample, int wire, int position) {
  if (sample == position && wire % 3 != 2) return wire % 3 == 0 ? '1' : '0';
  return ((sample * 7 + wire * 3) % 5) == 0 ? '1' : '0';
}

}  // namespace

class LargeLogTest : public TriggerTest {
 protected:
  struct TIMES {
    double store, read, check, reopen;
    long reopen_peak_mib;
  };
  // Stores, reads back and checks a depth x width log, then saves and reopens
  // the session and checks the log read from the file.
  TIMES run(int depth, int width) {
    TIMES times = {0, 0, 0, 0, 0};
    open_text(wide_session(width, ""));
    TDR_DATA_TRIGGER* t = trigger();
    EXPECT_EQ(t->get_condition(0, 0, false), TDR_CTYPE_HIGH_COND);
    TDR_DATA_LOG* log = t->create_log("big", false);
    const int position = depth / 8;
    const size_t count = size_t(depth) * size_t(width);
    {
      TDR_XSTRING bits(count, XMLCh('0'));
      for (long long s = 0; s < depth; ++s)
        for (int w = 0; w < width; ++w)
          bits[size_t(s) * size_t(width) + size_t(w)] = pattern(s, w, position);
      auto start = std::chrono::steady_clock::now();
      EXPECT_TRUE(log->translate_bit_stream(bits.c_str(), depth, position, false));
      times.store = seconds_since(start);
    }
    auto start = std::chrono::steady_clock::now();
    long long mismatches = 0;
    for (int s = 0; s < depth; ++s)
      for (int w = 0; w < width; ++w)
        if (log->get_bit(w, s) != (pattern(s, w, position) == '1')) ++mismatches;
    times.read = seconds_since(start);
    EXPECT_EQ(mismatches, 0);
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(log->sanity_check_data_validity(true));
    times.check = seconds_since(start);

    std::string path = temp_path("big.xml");
    EXPECT_TRUE(m_session->save_as(path.c_str(), true, true));
    m_session.reset();
    reset_peak();
    start = std::chrono::steady_clock::now();
    open_file(path);
    log = trigger()->find_log("big");
    EXPECT_NE(log, nullptr);
    if (!log) return times;
    // Read in place: the log's samples are the document's text.
    EXPECT_EQ(log->get_samples(),
              static_cast<xercesc::DOMText*>(log->get_dom_node()->getFirstChild())->getData());
    EXPECT_EQ(log->get_samples_length(), count);
    EXPECT_TRUE(log->sanity_check_data_validity(false));
    times.reopen = seconds_since(start);
    times.reopen_peak_mib = peak_mib();
    EXPECT_TRUE(log->get_bit(0, position));
    EXPECT_FALSE(log->get_bit(1, position));
    EXPECT_EQ(log->get_bit(width - 1, depth - 1), pattern(depth - 1, width - 1, position) == '1');
    return times;
  }
};

TEST_F(LargeLogTest, SixteenThousandSamplesOfTwoHundredFiftySixWires) {
  TIMES small = run(4096, 256);
  TIMES large = run(16384, 256);
  // Four times the samples, about four times the time (a quadratic step would take sixteen).
  double small_total = small.store + small.read + small.check;
  double large_total = large.store + large.read + large.check;
  EXPECT_LT(large_total, small_total * 10 + 0.2)
      << "4096: " << small_total << " s, 16384: " << large_total << " s";
  EXPECT_LT(large_total, 20.0);
  EXPECT_LT(large.reopen, 20.0);
}

// The full-size check, run by hand on a Release build:
//   TDR_FULL_SIZE_LOG=1 ./tdr_tests --gtest_filter=LargeLogTest.FullSize*
TEST_F(LargeLogTest, FullSizeLogOf131072SamplesOver1024Wires) {
  if (!std::getenv("TDR_FULL_SIZE_LOG")) GTEST_SKIP() << "set TDR_FULL_SIZE_LOG=1 to run";
  TIMES t = run(131072, 1024);
  std::printf(
      "store %.3f s, get_bit over every sample %.3f s, check %.6f s; reopen %.3f s "
      "with a peak of %ld MiB (the text is %d MiB in the document); peak overall %ld MiB\n",
      t.store, t.read, t.check, t.reopen, t.reopen_peak_mib,
      int(131072LL * 1024 * sizeof(XMLCh) >> 20), peak_mib());
}
