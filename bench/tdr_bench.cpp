// Benchmarks of the session library against the XML library's own speed.
//
//   tdr_bench --tdr_profile=NAME:FILE [--tdr_profile=...] [--tdr_out_dir=DIR]
//             [--tdr_no_memory] [--tdr_check] [--tdr_table] [Google Benchmark flags]
//
// For every profile it registers:
//   A_xerces_parse/P      the XML library alone reading the file with the parser
//                         settings the library uses (DOM built, nothing else)
//   B_xerces_serialize/P  the XML library alone writing that DOM (DOMLSSerializer)
//   open_close/P          open_session (whole object tree) and close_session
//   save_as/P             save_as of an open session
//   save_as_nosync/P      the same without syncing the file before it replaces
//                         the target (shows what the sync costs)
//   view_walk/P           every node of both views of every signal set
//   trigger_crc/P         fingerprint of every trigger
//   condition_text/P      write and parse back the condition text of every level
//   memory/OP/P           peak resident memory of a fresh process doing OP once
//                         (counter maxrss_kb); OP is none, xerces_parse, open or
//                         open_save
//
// --tdr_table prints, after the usual report, the table of ratios against the
// XML library, the absolute medians and the growth of per-unit costs from the
// first profile to the others.
//
// --tdr_check verifies, before anything is timed, that opening a profile and
// saving it reproduces the file byte for byte (the generator writes the
// library's own layout), so that the timings are of a realistic round trip.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/LocalFileFormatTarget.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_file_replace.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"

using namespace xercesc;

namespace {

struct PROFILE {
  std::string name;
  std::string file;
  long long bytes = 0;
  // Sizes read from the opened session, for the per-unit costs.
  long long signals = 0;      // distinct wires of every signal set
  long long view_nodes = 0;   // nodes of both views of every signal set
  long long levels = 0;       // trigger levels
  long long samples = 0;      // depth x data width over every log
  long long triggers = 0;
  long long condition_chars = 0;  // condition text of every level
};

std::vector<PROFILE> g_profiles;
std::string g_out_dir;

std::string out_path(const PROFILE& p, const char* what) {
  return g_out_dir + "/tdr_bench_" + p.name + "_" + what + ".xml";
}

// ---------------------------------------------------------------------------
// The XML library alone

// The settings the library's reader uses: no validation, no namespaces, no
// schema, no external DTD, fatal errors thrown by the default handler.
std::unique_ptr<XercesDOMParser> xerces_parse(const std::string& file, HandlerBase* handler) {
  std::unique_ptr<XercesDOMParser> parser(new XercesDOMParser());
  parser->setErrorHandler(handler);
  parser->setDoNamespaces(false);
  parser->setDoSchema(false);
  parser->setLoadExternalDTD(false);
  parser->setValidationScheme(XercesDOMParser::Val_Never);
  parser->parse(file.c_str());
  return parser;
}

void xerces_serialize(DOMDocument* doc, const std::string& file) {
  static const XMLCh ls[] = {chLatin_L, chLatin_S, chNull};
  DOMImplementationLS* impl = static_cast<DOMImplementationLS*>(
      DOMImplementationRegistry::getDOMImplementation(ls));
  DOMLSSerializer* serializer = impl->createLSSerializer();
  DOMLSOutput* output = impl->createLSOutput();
  {
    XMLCh* name = XMLString::transcode(file.c_str());
    LocalFileFormatTarget target(name);
    XMLString::release(&name);
    output->setByteStream(&target);
    serializer->write(doc, output);
  }
  output->release();
  serializer->release();
}

// ---------------------------------------------------------------------------
// Ours

TDR_DATA_MANAGER* manager() { return TDR_DATA_MANAGER::get_data_repository_manager(); }

// Visits a node and, for buses, its members; returns the nodes seen and
// folds what was read into `sum` so nothing is optimised away.
long long visit(const TDR_DATA_SIGNAL_VIEW_NODE& first, size_t* sum) {
  long long n = 0;
  for (TDR_DATA_SIGNAL_VIEW_NODE node = first; !node.is_null(); node = node.get_next_sibling()) {
    ++n;
    const char* name = node.get_name();
    *sum += name ? std::strlen(name) : 0;
    if (node.is_bus()) {
      const char* alias = node.get_alias();
      *sum += alias ? 1 : 0;
      *sum += static_cast<size_t>(node.get_bus_display_type());
      *sum += node.is_lsb_to_msb() ? 1 : 0;
      n += visit(node.get_first_child(), sum);
    } else if (TDR_DATA_SIGNAL_WIRE* wire = node.get_data_wire(false)) {
      *sum += static_cast<size_t>(wire->get_tap_mode()) + (wire->get_connection_status() ? 1 : 0);
    }
  }
  return n;
}

template <typename F>
void for_each_signal_set(TDR_DATA_SESSION* session, F f) {
  for (int i = 0; i < session->get_num_instances(); ++i) {
    TDR_DATA_INSTANCE* instance = session->get_instance_at(i);
    for (int s = 0; s < instance->get_num_signal_sets(); ++s) f(instance->get_signal_set_at(s));
  }
}

long long walk_views(TDR_DATA_SESSION* session, size_t* sum) {
  long long nodes = 0;
  for_each_signal_set(session, [&](TDR_DATA_SIGNAL_SET* set) {
    nodes += visit(set->get_setup_view()->get_first_node(), sum);
    nodes += visit(set->get_data_view()->get_first_node(), sum);
  });
  return nodes;
}

template <typename F>
void for_each_trigger(TDR_DATA_SESSION* session, F f) {
  for_each_signal_set(session, [&](TDR_DATA_SIGNAL_SET* set) {
    for (int t = 0; t < set->get_num_triggers(); ++t) f(set->get_trigger_at(t));
  });
}

unsigned long trigger_fingerprints(TDR_DATA_SESSION* session) {
  unsigned long fold = 0;
  for_each_trigger(session, [&](TDR_DATA_TRIGGER* t) { fold ^= t->get_crc_value(true); });
  return fold;
}

long long condition_round_trips(TDR_DATA_SESSION* session, std::vector<char>* buffer) {
  long long chars = 0;
  for_each_trigger(session, [&](TDR_DATA_TRIGGER* t) {
    for (int level = 0; level < t->get_event_levels(); ++level) {
      const char* text = t->get_condition_expression(level, false);
      size_t n = text ? std::strlen(text) : 0;
      buffer->assign(text ? text : "", text ? text + n : nullptr);
      buffer->push_back('\0');
      t->parse_condition(buffer->data(), level, false);
      chars += static_cast<long long>(n);
    }
  });
  return chars;
}

long long count_levels(TDR_DATA_SESSION* session) {
  long long levels = 0;
  for_each_trigger(session, [&](TDR_DATA_TRIGGER* t) { levels += t->get_event_levels(); });
  return levels;
}

bool read_file(const std::string& name, std::string* text) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Fills the sizes of a profile from one open; with `check`, also verifies the
// open/save fixed point. False (with a line on stderr) on failure.
bool inspect(PROFILE* p, bool check) {
  struct stat st;
  if (stat(p->file.c_str(), &st) != 0) {
    std::fprintf(stderr, "tdr_bench: %s: %s\n", p->file.c_str(), std::strerror(errno));
    return false;
  }
  p->bytes = st.st_size;
  TDR_DATA_SESSION* session = manager()->open_session(p->file.c_str());
  if (!session) {
    std::fprintf(stderr, "tdr_bench: cannot open %s\n", p->file.c_str());
    return false;
  }
  size_t sum = 0;
  p->view_nodes = walk_views(session, &sum);
  p->levels = count_levels(session);
  {
    std::vector<char> buffer;
    p->condition_chars = condition_round_trips(session, &buffer);
  }
  for_each_signal_set(session, [&](TDR_DATA_SIGNAL_SET* set) {
    p->signals += set->get_wire_size();
    for (int t = 0; t < set->get_num_triggers(); ++t) {
      TDR_DATA_TRIGGER* trigger = set->get_trigger_at(t);
      ++p->triggers;
      // Logs carry the signal set's depth in this benchmark's files.
      p->samples += static_cast<long long>(trigger->get_num_logs()) * set->get_sample_depth() *
                    set->get_data_wire_width();
    }
  });
  bool ok = true;
  if (check) {
    std::string saved = out_path(*p, "check");
    std::string a, b;
    ok = session->save_as(saved.c_str(), true, true) && read_file(p->file, &a) &&
         read_file(saved, &b);
    if (ok && a != b) {
      size_t at = 0;
      while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
      std::fprintf(stderr,
                   "tdr_bench: saving %s does not reproduce it (first difference at byte %zu)\n",
                   p->file.c_str(), at);
      ok = false;
    }
    std::remove(saved.c_str());
  }
  manager()->close_session(p->file.c_str());
  return ok;
}

// ---------------------------------------------------------------------------
// Memory: a fresh process per measurement, measured with wait4.

int run_memory_child(const std::string& op, const std::string& file, const std::string& out) {
  if (op == "none" || op == "xerces_parse") {
    XMLPlatformUtils::Initialize();
    if (op == "xerces_parse") {
      HandlerBase handler;
      try {
        std::unique_ptr<XercesDOMParser> parser = xerces_parse(file, &handler);
        if (!parser->getDocument()) return 1;
      } catch (...) {
        return 1;
      }
    }
    XMLPlatformUtils::Terminate();
    return 0;
  }
  TDR_DATA_SESSION* session = manager()->open_session(file.c_str());
  if (!session) return 1;
  bool ok = true;
  if (op == "open_save") ok = session->save_as(out.c_str(), true, true);
  manager()->close_session(file.c_str());
  TDR_DATA_MANAGER::shutdown();
  if (op == "open_save") std::remove(out.c_str());
  return ok ? 0 : 1;
}

// A forked child starts with its parent's resident size as its high-water
// mark, and exec keeps it. The children are therefore started by a spawner
// that is forked at program start, while this process is still small, and
// that stays small whatever the benchmarks allocate afterwards.
class SPAWNER {
 public:
  // Forks the spawner; false when that fails.
  bool start() {
    int request[2], reply[2];
    if (pipe(request) != 0) return false;
    if (pipe(reply) != 0) {
      close(request[0]);
      close(request[1]);
      return false;
    }
    m_pid = fork();
    if (m_pid < 0) return false;
    if (m_pid == 0) {
      close(request[1]);
      close(reply[0]);
      serve(request[0], reply[1]);
      _exit(0);
    }
    close(request[0]);
    close(reply[1]);
    m_to = request[1];
    m_from = reply[0];
    return true;
  }

  ~SPAWNER() {
    if (m_pid <= 0) return;
    close(m_to);
    close(m_from);
    int status;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
  }

  // Runs `tdr_bench --tdr_memory_child=op ...` and gives its peak resident
  // size in KiB; -1 when the child failed.
  long measure(const std::string& op, const std::string& file, const std::string& out) {
    if (m_pid <= 0) return -1;
    std::string message = op + '\0' + file + '\0' + out + '\0';
    uint32_t length = static_cast<uint32_t>(message.size());
    long result = -1;
    if (!write_all(m_to, &length, sizeof length) ||
        !write_all(m_to, message.data(), message.size()) ||
        !read_all(m_from, &result, sizeof result))
      return -1;
    return result;
  }

  long floor_kb() const { return m_floor_kb; }
  void set_floor_kb(long kb) { m_floor_kb = kb; }

 private:
  static bool write_all(int fd, const void* data, size_t n) {
    return tdr_write_all(fd, data, n) == 0;
  }
  static bool read_all(int fd, void* data, size_t n) {
    char* p = static_cast<char*>(data);
    while (n > 0) {
      ssize_t r = read(fd, p, n);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }

  static void serve(int from, int to) {
    for (;;) {
      uint32_t length = 0;
      if (!read_all(from, &length, sizeof length) || length > (1u << 20)) return;
      std::string message(length, '\0');
      if (!read_all(from, &message[0], length)) return;
      std::vector<std::string> parts;
      size_t at = 0;
      for (int i = 0; i < 3; ++i) {
        size_t end = message.find('\0', at);
        if (end == std::string::npos) return;
        parts.push_back(message.substr(at, end - at));
        at = end + 1;
      }
      std::string a_op = "--tdr_memory_child=" + parts[0];
      std::string a_file = "--tdr_file=" + parts[1];
      std::string a_out = "--tdr_file_out=" + parts[2];
      long result = -1;
      pid_t pid = fork();
      if (pid == 0) {
        char* args[] = {const_cast<char*>("tdr_bench"), const_cast<char*>(a_op.c_str()),
                        const_cast<char*>(a_file.c_str()), const_cast<char*>(a_out.c_str()),
                        nullptr};
        execv("/proc/self/exe", args);
        _exit(127);
      }
      if (pid > 0) {
        int status = 0;
        struct rusage usage;
        std::memset(&usage, 0, sizeof usage);
        pid_t got;
        do {
          got = wait4(pid, &status, 0, &usage);
        } while (got < 0 && errno == EINTR);
        if (got == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) result = usage.ru_maxrss;
      }
      if (!write_all(to, &result, sizeof result)) return;
    }
  }

  pid_t m_pid = -1;
  int m_to = -1, m_from = -1;
  long m_floor_kb = -1;
};

SPAWNER g_spawner;

// This process's resident size now.
long resident_kb() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return -1;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(f);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_memory(benchmark::State& state, const PROFILE* p, std::string op) {
  for (auto _ : state) {
    long kb = g_spawner.measure(op, p->file, out_path(*p, "memory"));
    if (kb < 0) {
      state.SkipWithError("measuring child failed");
      break;
    }
    state.counters["maxrss_kb"] = static_cast<double>(kb);
    // What every child starts from: the spawner's size when it was forked.
    state.counters["floor_kb"] = static_cast<double>(g_spawner.floor_kb());
  }
}

// ---------------------------------------------------------------------------
// Timed benchmarks

void set_units(benchmark::State& state, const PROFILE* p) {
  state.counters["bytes"] = static_cast<double>(p->bytes);
  state.counters["signals"] = static_cast<double>(p->signals);
  state.counters["samples"] = static_cast<double>(p->samples);
  state.counters["view_nodes"] = static_cast<double>(p->view_nodes);
  state.counters["levels"] = static_cast<double>(p->levels);
  state.counters["triggers"] = static_cast<double>(p->triggers);
  state.counters["condition_chars"] = static_cast<double>(p->condition_chars);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * p->bytes);
}

void BM_xerces_parse(benchmark::State& state, const PROFILE* p) {
  HandlerBase handler;
  for (auto _ : state) {
    try {
      std::unique_ptr<XercesDOMParser> parser = xerces_parse(p->file, &handler);
      benchmark::DoNotOptimize(parser->getDocument());
    } catch (...) {
      state.SkipWithError("parse failed");
      break;
    }
  }
  set_units(state, p);
}

void BM_xerces_serialize(benchmark::State& state, const PROFILE* p) {
  HandlerBase handler;
  std::unique_ptr<XercesDOMParser> parser;
  try {
    parser = xerces_parse(p->file, &handler);
  } catch (...) {
    state.SkipWithError("parse failed");
    return;
  }
  std::string out = out_path(*p, "xerces");
  for (auto _ : state) xerces_serialize(parser->getDocument(), out);
  std::remove(out.c_str());
  set_units(state, p);
}

void BM_open_close(benchmark::State& state, const PROFILE* p) {
  for (auto _ : state) {
    TDR_DATA_SESSION* session = manager()->open_session(p->file.c_str());
    if (!session) {
      state.SkipWithError("open_session failed");
      break;
    }
    manager()->close_session(p->file.c_str());
  }
  set_units(state, p);
}

// Runs `body(session)` in the timed loop over one open session.
void with_session(benchmark::State& state, const PROFILE* p,
                  const std::function<bool(TDR_DATA_SESSION*)>& body) {
  TDR_DATA_SESSION* session = manager()->open_session(p->file.c_str());
  if (!session) {
    state.SkipWithError("open_session failed");
    return;
  }
  for (auto _ : state) {
    if (!body(session)) {
      state.SkipWithError("operation failed");
      break;
    }
  }
  manager()->close_session(p->file.c_str());
  set_units(state, p);
}

void BM_save_as(benchmark::State& state, const PROFILE* p) {
  std::string out = out_path(*p, "save");
  with_session(state, p, [&](TDR_DATA_SESSION* s) { return s->save_as(out.c_str(), true, true); });
  std::remove(out.c_str());
}

void BM_save_as_nosync(benchmark::State& state, const PROFILE* p) {
  TDR_FILE_REPLACE::set_sync(false);
  BM_save_as(state, p);
  TDR_FILE_REPLACE::set_sync(true);
}

void BM_view_walk(benchmark::State& state, const PROFILE* p) {
  with_session(state, p, [&](TDR_DATA_SESSION* s) {
    size_t sum = 0;
    long long nodes = walk_views(s, &sum);
    benchmark::DoNotOptimize(sum);
    return nodes == p->view_nodes;
  });
}

void BM_trigger_crc(benchmark::State& state, const PROFILE* p) {
  with_session(state, p, [&](TDR_DATA_SESSION* s) {
    benchmark::DoNotOptimize(trigger_fingerprints(s));
    return true;
  });
}

void BM_condition_text(benchmark::State& state, const PROFILE* p) {
  std::vector<char> buffer;
  with_session(state, p, [&](TDR_DATA_SESSION* s) {
    benchmark::DoNotOptimize(condition_round_trips(s, &buffer));
    return true;
  });
}

// ---------------------------------------------------------------------------
// The ratio table (--tdr_table): medians over the repetitions, printed after
// the usual console report.

class TABLE_REPORTER : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    benchmark::ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      SAMPLES& s = m_samples[run.run_name.function_name];
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") s.median = run;
        s.has_median = s.has_median || run.aggregate_name == "median";
      } else {
        s.runs.push_back(run);
      }
    }
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    print_table(GetOutputStream());
  }

 private:
  struct SAMPLES {
    std::vector<Run> runs;
    bool has_median = false;
    Run median;
  };
  struct VALUE {
    bool ok = false;
    double cpu_s = 0;   // CPU seconds per iteration
    double real_s = 0;  // wall seconds per iteration
    std::map<std::string, double> counters;
  };

  static double seconds(const Run& run, double t) {
    switch (run.time_unit) {
      case benchmark::kNanosecond: return t * 1e-9;
      case benchmark::kMicrosecond: return t * 1e-6;
      case benchmark::kMillisecond: return t * 1e-3;
      default: return t;
    }
  }
  static double median_of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }

  VALUE value(const std::string& name) const {
    VALUE v;
    auto it = m_samples.find(name);
    if (it == m_samples.end()) return v;
    const SAMPLES& s = it->second;
    if (s.has_median) {
      v.ok = true;
      v.cpu_s = seconds(s.median, s.median.GetAdjustedCPUTime());
      v.real_s = seconds(s.median, s.median.GetAdjustedRealTime());
      for (const auto& c : s.median.counters) v.counters[c.first] = c.second.value;
      return v;
    }
    if (s.runs.empty()) return v;
    std::vector<double> cpu, real;
    std::map<std::string, std::vector<double>> counters;
    for (const Run& r : s.runs) {
      cpu.push_back(seconds(r, r.GetAdjustedCPUTime()));
      real.push_back(seconds(r, r.GetAdjustedRealTime()));
      for (const auto& c : r.counters) counters[c.first].push_back(c.second.value);
    }
    v.ok = true;
    v.cpu_s = median_of(cpu);
    v.real_s = median_of(real);
    for (const auto& c : counters) v.counters[c.first] = median_of(c.second);
    return v;
  }

  static std::string fmt(const char* format, double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
  }

  // One table line: the label, a cell a profile, a note.
  static void row(std::ostream& out, const std::string& label,
                  const std::vector<std::string>& cells, const std::string& note) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%-34s", label.c_str());
    out << buf;
    for (const std::string& c : cells) {
      std::snprintf(buf, sizeof buf, "%16s", c.c_str());
      out << buf;
    }
    out << "  " << note << "\n";
  }

  std::vector<std::string> per_profile(
      const std::function<std::string(const std::string&)>& cell) const {
    std::vector<std::string> cells;
    for (const PROFILE& p : g_profiles) cells.push_back(cell(p.name));
    return cells;
  }

  // x / y per profile, with a mark (and `all_ok` cleared) above `target`
  // (0: none); "-" where either is missing.
  std::vector<std::string> ratio_cells(
      const std::function<bool(const std::string&, double*, double*)>& pair, double target,
      bool* all_ok) const {
    return per_profile([&](const std::string& n) -> std::string {
      double x = 0, y = 0;
      if (!pair(n, &x, &y) || y <= 0) return "-";
      double r = x / y;
      bool over = target > 0 && r > target;
      if (over) *all_ok = false;
      return fmt("%.2f", r) + (over ? "*" : " ");
    });
  }

  // Ratio of two CPU medians.
  std::vector<std::string> ratio(const std::string& a, const std::string& b, double target,
                                 bool* all_ok) const {
    return ratio_cells(
        [&](const std::string& n, double* x, double* y) {
          VALUE va = value(a + "/" + n), vb = value(b + "/" + n);
          *x = va.cpu_s;
          *y = vb.cpu_s;
          return va.ok && vb.ok;
        },
        target, all_ok);
  }

  // Peak memory of `op` against the XML library's parse.
  std::vector<std::string> memory_ratio(const std::string& op, double target,
                                        bool* all_ok) const {
    return ratio_cells(
        [&](const std::string& n, double* x, double* y) {
          VALUE va = value("memory/" + op + "/" + n), vb = value("memory/xerces_parse/" + n);
          *x = va.counters["maxrss_kb"];
          *y = vb.counters["maxrss_kb"];
          return va.ok && vb.ok;
        },
        target, all_ok);
  }

  // CPU time of `a` as a share of the open time.
  std::vector<std::string> percent_of_open(const std::string& a) const {
    return per_profile([&](const std::string& n) -> std::string {
      VALUE x = value(a + "/" + n), y = value("open_close/" + n);
      if (!x.ok || !y.ok || y.cpu_s <= 0) return "n/a";
      return fmt("%.2f%%", 100.0 * x.cpu_s / y.cpu_s);
    });
  }

  void print_table(std::ostream& out) const {
    print_targets(out);
    print_medians(out);
    print_memory(out);
    print_sizes(out);
    print_growth(out);
  }

  void print_targets(std::ostream& out) const {
    auto mark = [](bool ok) { return std::string(ok ? "met" : "MISSED (* = above)"); };
    out << "\n==== libtdr against the XML library (medians; times are CPU time) ====\n";
    row(out, "", per_profile([](const std::string& n) { return n; }), "");
    bool ok_open = true, ok_save = true, ok_mem = true, ok_mem_save = true;
    std::vector<std::string> c_open = ratio("open_close", "A_xerces_parse", 1.2, &ok_open);
    std::vector<std::string> c_save = ratio("save_as", "B_xerces_serialize", 0.3, &ok_save);
    std::vector<std::string> c_mem = memory_ratio("open", 1.3, &ok_mem);
    std::vector<std::string> c_mem_save = memory_ratio("open_save", 1.3, &ok_mem_save);
    row(out, "open / A (xerces parse)", c_open, "target <= 1.20: " + mark(ok_open));
    row(out, "save / B (xerces serialise)", c_save, "target <= 0.30: " + mark(ok_save));
    row(out, "save without sync / B", ratio("save_as_nosync", "B_xerces_serialize", 0, &ok_save),
        "(the sync's cost)");
    row(out, "peak memory open / A's", c_mem, "target <= 1.30: " + mark(ok_mem));
    row(out, "peak memory open+save / A's", c_mem_save, "target <= 1.30: " + mark(ok_mem_save));
    row(out, "trigger fingerprints, % of open", percent_of_open("trigger_crc"), "");
    row(out, "condition round trips, % of open", percent_of_open("condition_text"), "");
    row(out, "view walk, % of open", percent_of_open("view_walk"), "");
  }

  void print_medians(std::ostream& out) const {
    out << "\nAbsolute medians (CPU ms per operation; wall ms in brackets)\n";
    for (const char* b : {"A_xerces_parse", "B_xerces_serialize", "open_close", "save_as",
                          "save_as_nosync", "view_walk", "trigger_crc", "condition_text"}) {
      row(out, b, per_profile([&](const std::string& n) -> std::string {
            VALUE x = value(std::string(b) + "/" + n);
            if (!x.ok) return "n/a";
            return fmt("%.3f", x.cpu_s * 1e3) + fmt(" [%.1f]", x.real_s * 1e3);
          }),
          "");
    }
  }

  void print_memory(std::ostream& out) const {
    out << "\nPeak resident memory of a fresh process (MiB)\n";
    for (const char* op : {"none", "xerces_parse", "open", "open_save"}) {
      row(out, std::string("memory ") + op, per_profile([&](const std::string& n) -> std::string {
            VALUE x = value(std::string("memory/") + op + "/" + n);
            if (!x.ok) return "n/a";
            return fmt("%.1f", x.counters["maxrss_kb"] / 1024.0);
          }),
          "");
    }
  }

  void print_sizes(std::ostream& out) const {
    out << "\nSizes\n";
    for (const char* c :
         {"bytes", "signals", "view_nodes", "samples", "levels", "condition_chars", "triggers"}) {
      row(out, c, per_profile([&](const std::string& n) -> std::string {
            VALUE x = value("A_xerces_parse/" + n);
            if (!x.ok) return "-";
            return fmt("%.0f", x.counters[c]);
          }),
          "");
    }
  }

  // Cost per unit in each profile against the first profile of its family
  // (profiles "large-nologs" and "typical-nologs" form one family, "large"
  // and "typical" another): a linear operation stays near 1 while the sizes
  // grow tenfold and more.
  void print_growth(std::ostream& out) const {
    auto family = [](const std::string& n) {
      size_t dash = n.find('-');
      return dash == std::string::npos ? std::string() : n.substr(dash);
    };
    std::map<std::string, std::string> base_of;
    for (const PROFILE& p : g_profiles)
      if (!base_of.count(family(p.name))) base_of[family(p.name)] = p.name;
    out << "\nGrowth of the cost per unit against the first profile of each family"
           " (1.00 = linear; marked when above 1.5)\n";
    struct GROWTH {
      const char* bench;
      const char* unit;
    };
    for (const GROWTH& g :
         {GROWTH{"A_xerces_parse", "bytes"}, GROWTH{"B_xerces_serialize", "bytes"},
          GROWTH{"open_close", "bytes"}, GROWTH{"save_as", "bytes"},
          GROWTH{"view_walk", "view_nodes"}, GROWTH{"trigger_crc", "signals"},
          GROWTH{"condition_text", "condition_chars"}}) {
      bool linear = true, any = false;
      std::vector<std::string> cells = per_profile([&](const std::string& n) -> std::string {
        VALUE base = value(std::string(g.bench) + "/" + base_of[family(n)]);
        VALUE x = value(std::string(g.bench) + "/" + n);
        double ux = x.counters[g.unit], ub = base.counters[g.unit];
        if (!x.ok || !base.ok || ux <= 0 || ub <= 0 || base.cpu_s <= 0) return "n/a";
        double r = (x.cpu_s / ux) / (base.cpu_s / ub);
        if (r > 1.5) linear = false;
        any = true;
        return fmt("%.2f", r);
      });
      row(out, std::string(g.bench) + " per " + g.unit, cells,
          !any ? "" : (linear ? "linear" : "NOT LINEAR"));
    }
  }

  std::map<std::string, SAMPLES> m_samples;
};

bool take(const char* arg, const char* flag, std::string* value) {
  size_t n = std::strlen(flag);
  if (std::strncmp(arg, flag, n) != 0 || arg[n] != '=') return false;
  *value = arg + n + 1;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Measuring child: one operation, then exit.
  std::string child_op, child_file, child_out;
  for (int i = 1; i < argc; ++i) {
    take(argv[i], "--tdr_memory_child", &child_op);
    take(argv[i], "--tdr_file", &child_file);
    take(argv[i], "--tdr_file_out", &child_out);
  }
  if (!child_op.empty()) return run_memory_child(child_op, child_file, child_out);
  g_spawner.set_floor_kb(resident_kb());
  if (!g_spawner.start()) {
    std::fprintf(stderr, "tdr_bench: cannot start the memory spawner\n");
    return 1;
  }

  benchmark::Initialize(&argc, argv);
  bool memory = true, check = false, table = false;
  const char* tmp = std::getenv("TMPDIR");
  g_out_dir = tmp && *tmp ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    std::string value;
    if (take(argv[i], "--tdr_profile", &value)) {
      size_t colon = value.find(':');
      if (colon == std::string::npos) {
        std::fprintf(stderr, "tdr_bench: --tdr_profile wants NAME:FILE\n");
        return 2;
      }
      PROFILE p;
      p.name = value.substr(0, colon);
      p.file = value.substr(colon + 1);
      g_profiles.push_back(p);
    } else if (take(argv[i], "--tdr_out_dir", &value)) {
      g_out_dir = value;
    } else if (!std::strcmp(argv[i], "--tdr_no_memory")) {
      memory = false;
    } else if (!std::strcmp(argv[i], "--tdr_table")) {
      table = true;
    } else if (!std::strcmp(argv[i], "--tdr_check")) {
      check = true;
    } else {
      std::fprintf(stderr, "tdr_bench: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  if (g_profiles.empty()) {
    std::fprintf(stderr, "tdr_bench: no --tdr_profile=NAME:FILE given\n");
    return 2;
  }
  for (PROFILE& p : g_profiles)
    if (!inspect(&p, check)) return 1;

  if (memory) {
    for (const PROFILE& p : g_profiles)
      for (const char* op : {"none", "xerces_parse", "open", "open_save"})
        benchmark::RegisterBenchmark(("memory/" + std::string(op) + "/" + p.name).c_str(),
                                     BM_memory, &p, std::string(op))
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
  }
  for (const PROFILE& p : g_profiles) {
    const std::string n = "/" + p.name;
    benchmark::RegisterBenchmark(("A_xerces_parse" + n).c_str(), BM_xerces_parse, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("B_xerces_serialize" + n).c_str(), BM_xerces_serialize, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("open_close" + n).c_str(), BM_open_close, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("save_as" + n).c_str(), BM_save_as, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("save_as_nosync" + n).c_str(), BM_save_as_nosync, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("view_walk" + n).c_str(), BM_view_walk, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("trigger_crc" + n).c_str(), BM_trigger_crc, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("condition_text" + n).c_str(), BM_condition_text, &p)
        ->Unit(benchmark::kMillisecond);
  }
  if (table) {
    TABLE_REPORTER reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  TDR_DATA_MANAGER::shutdown();
  return 0;
}
