// Scaling rows of the data layer: each times one operation at a size N and at
// a multiple of it inside every iteration and reports the growth, the median
// of time(kN) / time(N), against a bound well below what a quadratic step
// would give (counters "growth", "bound", "linear" = 1 when met).
//
//   data_scale/log_store_read_check   a depth x width log stored, read bit by
//                                     bit, checked, saved and read back; the
//                                     large size is the full-size log
//                                     (131,072 samples of 1,024 wires)
//   data_scale/trigger_fingerprint    fingerprint of a version-4 trigger with
//                                     power-up and advanced levels over N wires
//   data_scale/condition_parse        a condition text of N clauses parsed
//   data_scale/trigger_levels_read    N levels over N wires read from a file
//   data_scale/signal_set_read        a signal set of N wires read
//
// Under the tiny profile (the test suite's run) every size is small.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"

namespace {

bool tiny_profile() {
  std::ifstream in("/proc/self/cmdline");
  for (std::string arg; std::getline(in, arg, '\0');)
    if (arg.rfind("--tdr_profile=tiny:", 0) == 0) return true;
  return false;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string scratch_file(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/tdr_bench_" + std::to_string(getpid()) +
         "_" + name;
}

// A session read from `xml` (through a scratch file); null when it cannot be read.
std::unique_ptr<TDR_DATA_SESSION> open_text(const std::string& xml) {
  std::string path = scratch_file("in.xml");
  {
    std::ofstream out(path, std::ios::binary);
    out << xml;
  }
  std::unique_ptr<TDR_DATA_SESSION> session(new TDR_DATA_SESSION(path.c_str()));
  std::remove(path.c_str());
  return session;
}

TDR_DATA_SIGNAL_SET* first_set(TDR_DATA_SESSION* s) {
  return s && s->get_num_instances() > 0 ? s->get_instance_at(0)->get_last_signal_set() : nullptr;
}

TDR_DATA_TRIGGER* first_trigger(TDR_DATA_SESSION* s) {
  TDR_DATA_SIGNAL_SET* set = first_set(s);
  return set ? set->get_trigger_at(0) : nullptr;
}

// One row: `run(n)` does its own untimed preparation and returns the seconds
// of the timed part, or a negative value when the result is wrong.
typedef std::function<double(long)> RUN;

void scale_row(benchmark::State& state, long n, long factor, double bound, RUN run) {
  std::vector<double> ratios;
  for (auto _ : state) {
    double small = run(n), large = run(n * factor);
    if (small < 0 || large < 0) {
      state.SkipWithError("wrong result");
      return;
    }
    state.SetIterationTime(small + large);
    ratios.push_back(large / std::max(small, 1e-9));
  }
  std::sort(ratios.begin(), ratios.end());
  double growth = ratios.empty() ? 0 : ratios[ratios.size() / 2];
  state.counters["growth"] = growth;
  state.counters["bound"] = bound;
  state.counters["linear"] = growth <= bound ? 1 : 0;
  state.SetLabel(std::to_string(n * factor) + " against " + std::to_string(n));
}

// ---- the rows ----

std::string wires_xml(long count, const std::string& prefix) {
  std::string out;
  for (long w = 0; w < count; ++w) out += "<wire name=\"" + prefix + std::to_string(w) + "\"/>";
  return out;
}

// A sample pattern that meets the level (w % 3 == 0 high, w % 3 == 1 low) at
// `position` and varies elsewhere.
XMLCh pattern(long long sample, long wire, long position) {
  if (sample == position && wire % 3 != 2) return wire % 3 == 0 ? '1' : '0';
  return ((sample * 7 + wire * 3) % 5) == 0 ? '1' : '0';
}

double log_store_read_check(long depth, long width) {
  std::string level;
  for (long w = 0; w + 1 < width; w += 3)
    level += std::string(level.empty() ? "" : " &amp;&amp; ") + "'w" + std::to_string(w) +
             "' == high &amp;&amp; 'w" + std::to_string(w + 1) + "' == low";
  std::string wires = wires_xml(width, "w");
  std::unique_ptr<TDR_DATA_SESSION> s = open_text(
      "<session><instance name=\"i\"><signal_set name=\"s\"><config sample_depth=\"131072\"/>"
      "<signal_vec><trigger_input_vec>" + wires + "</trigger_input_vec><data_input_vec>" + wires +
      "</data_input_vec></signal_vec><presentation><data_view/><setup_view/></presentation>"
      "<trigger name=\"t\"><events><level>" + level + "</level></events></trigger>"
      "</signal_set></instance></session>");
  TDR_DATA_TRIGGER* t = first_trigger(s.get());
  if (!t) return -1;
  TDR_DATA_LOG* log = t->create_log("big", false);
  const long position = depth / 8;
  TDR_XSTRING bits(size_t(depth) * size_t(width), XMLCh('0'));
  for (long long i = 0; i < depth; ++i)
    for (long w = 0; w < width; ++w) bits[size_t(i) * size_t(width) + size_t(w)] = pattern(i, w, position);
  auto start = std::chrono::steady_clock::now();
  bool ok = log->translate_bit_stream(bits.c_str(), int(depth), int(position), false);
  for (long i = 0; i < depth && ok; ++i)
    for (long w = 0; w < width; ++w) ok = ok && log->get_bit(int(w), int(i)) == (pattern(i, w, position) == '1');
  ok = ok && log->sanity_check_data_validity(true);
  std::string path = scratch_file("log.xml");
  ok = ok && s->save_as(path.c_str(), true, true);
  s.reset(new TDR_DATA_SESSION(path.c_str()));
  t = first_trigger(s.get());
  log = t ? t->find_log("big") : nullptr;
  ok = ok && log && log->get_samples_length() == bits.size() && log->sanity_check_data_validity(false);
  double seconds = seconds_since(start);
  std::remove(path.c_str());
  return ok ? seconds : -1;
}

double trigger_fingerprint(long wires) {
  std::string trigger_wires, data_wires, levels;
  for (long i = 0; i < wires; ++i)
    trigger_wires += "<wire name=\"top|core|trigger_bus[" + std::to_string(i) + "]\"/>";
  for (long i = 0; i < 2 * wires; ++i)
    data_wires += "<wire name=\"top|core|data_bus[" + std::to_string(i) + "]\" tap_mode=\"" +
                  (i % 3 ? "classic" : "advanced") + "\"/>";
  for (int i = 0; i < 10; ++i)
    levels += i % 2 ? "<level type=\"advanced\"><power_up><power_up_expression><![CDATA["
                      "top|core|trigger_bus[2] || rising(top|core|trigger_bus[3])]]>"
                      "</power_up_expression></power_up><expression><![CDATA['top|core|"
                      "trigger_bus[1]' && 'top|core|trigger_bus[0]']]></expression></level>"
                    : "<level><power_up>'top|core|trigger_bus[7]' == high</power_up></level>";
  std::unique_ptr<TDR_DATA_SESSION> s = open_text(
      "<session><instance name=\"i\"><node_ip_info mfg_id=\"110\" node_id=\"0\" version=\"4\"/>"
      "<signal_set name=\"s\"><clock name=\"clk\"/><config sample_depth=\"1024\"/><signal_vec>"
      "<trigger_input_vec>" + trigger_wires + "</trigger_input_vec><data_input_vec>" + data_wires +
      "</data_input_vec></signal_vec><trigger name=\"t\" power_up_trigger_mode=\"true\"><events>" +
      levels + "</events></trigger></signal_set></instance></session>");
  TDR_DATA_TRIGGER* t = first_trigger(s.get());
  if (!t) return -1;
  auto start = std::chrono::steady_clock::now();
  unsigned long word = 0;
  for (int round = 0; round < 5; ++round) word = t->get_crc_value(true);
  double seconds = seconds_since(start);
  return word != 0 && t->is_using_incremental_route() ? seconds : -1;
}

double condition_parse(long clauses) {
  const char* const forms[] = {"'a' == high", "'b' == low", "'c' == rising edge", "'bus' == 9",
                               "'d2' == either edge"};
  std::string text;
  for (long i = 0; i < clauses; ++i) text += std::string(i ? " && " : "") + forms[i % 5];
  std::unique_ptr<TDR_DATA_SESSION> s = open_text(
      "<session><instance name=\"i\"><signal_set name=\"s\"><signal_vec><trigger_input_vec>"
      "<wire name=\"a\"/><wire name=\"b\"/><wire name=\"c\"/><wire name=\"d0\"/>"
      "<wire name=\"d1\"/><wire name=\"d2\"/><wire name=\"d3\"/></trigger_input_vec>"
      "</signal_vec><presentation><data_view/><setup_view><bus name=\"bus\"><net name=\"d0\"/>"
      "<net name=\"d1\"/><net name=\"d2\"/><net name=\"d3\"/></bus></setup_view></presentation>"
      "<trigger name=\"t\"><events><level/></events></trigger></signal_set></instance></session>");
  TDR_DATA_TRIGGER* t = first_trigger(s.get());
  if (!t) return -1;
  auto start = std::chrono::steady_clock::now();
  t->parse_condition(text.c_str(), 0, false);
  double seconds = seconds_since(start);
  return t->get_condition(0, 5, false) == TDR_CTYPE_EITHER_EDGE_COND ? seconds : -1;
}

double trigger_levels_read(long count) {
  std::string levels;
  for (long i = 0; i < count; ++i)
    levels += "<level>'w" + std::to_string(count - 1 - i % 2) + "' == " + (i % 3 ? "low" : "high") +
              "</level>";
  std::string xml =
      "<session><instance name=\"i\"><signal_set name=\"s\"><signal_vec><trigger_input_vec>" +
      wires_xml(count, "w") +
      "</trigger_input_vec></signal_vec><presentation><setup_view/></presentation>"
      "<trigger name=\"t\"><events>" + levels + "</events></trigger></signal_set></instance></session>";
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<TDR_DATA_SESSION> s = open_text(xml);
  TDR_DATA_TRIGGER* t = first_trigger(s.get());
  bool ok = t && t->get_event_levels() == count;
  // Writing a level stays cheap too: its text follows the conditions set.
  for (long w = 0; ok && w < count; w += 2)
    ok = t->set_trigger_condition(int(w), 0, TDR_CTYPE_RISING_EDGE_COND, false, false);
  ok = ok && std::string(t->get_condition_expression(0, false)).size() > size_t(count);
  double seconds = seconds_since(start);
  return ok ? seconds : -1;
}

double signal_set_read(long count) {
  std::string t, d, views;
  for (long i = 0; i < count; ++i) {
    std::string name = "top|block" + std::to_string(i % 97) + "|sig[" + std::to_string(i) + "]";
    std::string wire = "<wire name=\"" + name + "\" alias=\"a" + std::to_string(i) + "\"/>";
    t += wire;
    d += wire;
    views += "<net name=\"" + name + "\"/>";
  }
  std::string xml = "<session><instance name=\"i\"><signal_set name=\"big\"><signal_vec>"
                    "<trigger_input_vec>" + t + "</trigger_input_vec><data_input_vec>" + d +
                    "</data_input_vec></signal_vec><presentation><data_view>" + views +
                    "</data_view><setup_view>" + views +
                    "</setup_view></presentation></signal_set></instance></session>";
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<TDR_DATA_SESSION> s = open_text(xml);
  TDR_DATA_SIGNAL_SET* set = first_set(s.get());
  bool ok = set && set->get_wire_size() == count &&
            std::string(set->get_signal_connections()).size() == size_t(count);
  double seconds = seconds_since(start);
  return ok ? seconds : -1;
}

// Sizes: (tiny N, N, factor, bound). A linear step grows by the factor.
struct ROW {
  const char* name;
  long tiny, full, factor;
  double bound;
  std::function<double(long)> run;
};

int register_rows() {
  const bool tiny = tiny_profile();
  const long width = tiny ? 64 : 1024;
  static const ROW rows[] = {
      {"log_store_read_check", 1024, 32768, 4, 8,
       [width](long depth) { return log_store_read_check(depth, width); }},
      {"trigger_fingerprint", 256, 4096, 10, 20, trigger_fingerprint},
      {"condition_parse", 10000, 100000, 10, 25, condition_parse},
      {"trigger_levels_read", 1000, 5000, 4, 9, trigger_levels_read},
      {"signal_set_read", 1000, 5000, 4, 9, signal_set_read},
  };
  for (const ROW& row : rows) {
    long n = tiny ? row.tiny : row.full;
    benchmark::RegisterBenchmark((std::string("data_scale/") + row.name).c_str(),
                                 [&row, n](benchmark::State& state) {
                                   scale_row(state, n, row.factor, row.bound, row.run);
                                 })
        ->UseManualTime()
        ->Iterations(tiny ? 1 : 3)
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}

[[maybe_unused]] const int g_registered = register_rows();

}  // namespace
