// Benchmarks of the session library against the XML library's own speed.
//
//   tdr_bench --tdr_profile=NAME:FILE [--tdr_profile=...] [--tdr_out_dir=DIR]
//             [--tdr_no_memory] [--tdr_check] [--tdr_table] [--tdr_pin_cpu]
//             [--tdr_node_list_sizes=SMALL,LARGE] [--tdr_replay_calls=N]
//             [--tdr_figures_out=FILE] [--tdr_noisy_repetitions=N]
//             [--tdr_rows=all|profiles|shared] [Google Benchmark flags]
//   tdr_bench --tdr_profile=NAME:FILE... --tdr_table_from=FILE[,FILE...]
//             [--tdr_figures_out=FILE]
//
// Ratios are taken per iteration between timings made side by side (the
// order alternating), on the thread's CPU clock, and summed per turn of the
// order; counters give the median and middle half of the turns' ratios. The
// table takes the median of those medians over the repetitions whose
// baseline ran within 10% of the quickest (--tdr_figures_out writes every
// repetition and turn; --tdr_table_from makes the table of several
// processes' figures, their repetitions pooled, without running anything).
// --tdr_rows=profiles leaves out the memory and node-list rows, shared runs
// only those. For every profile it
// registers:
//   A_xerces_parse/P      the XML library alone reading the file with the parser
//                         settings the library uses (DOM built, nothing else)
//   B_xerces_serialize/P  the XML library alone writing that DOM (DOMLSSerializer)
//   open_close/P          open_session (whole object tree) and close_session
//   open_paired/P         A beside open_close; in between, the session's view
//                         walk (every node of both views), trigger fingerprints
//                         and condition round trips (write and parse back every
//                         level's text), each against the open
//   save_paired/P         save_as of an open session, the same without syncing
//                         the file before it replaces the target, and B
//   tx_load/P             the editing layer's working objects of every instance
//                         built over the open session
//   tx_commit/P           their first commit without edits
//   tx_edit_commit/P      their commit after one signal of every instance was
//                         renamed (each instance gets a new signal set)
//   tx_session_open/P     TDR_TX_SESSION::open_session by file name (data session
//                         and working copies)
//   tx_session_save/P     save_session (commit and save) of an unedited session
//   tx_trigger_init/P     init(data trigger) of a trigger working copy for every
//                         trigger
//   tx_trigger_commit/P   a commit of every trigger working copy that writes all
//                         its levels into a new trigger (the new triggers are
//                         removed again outside the timing)
//                         (each tx_ row beside an open and close of the file)
//   tx_trigger_set_condition/P  one condition set (and set back) in the working
//                         copy of the trigger with the most levels x wires
//   replay_paired/P       a recorded script of --tdr_replay_calls editing calls
//                         (default 10,000) replayed by the script player beside
//                         the same calls made directly on a session opened from
//                         the same file
//   node_list/OP          one node-list edit (append, rename, alias, group_32,
//                         ungroup, move_100, copy_100, delete_100) on lists of
//                         1,000 and of 10,000 nodes (--tdr_node_list_sizes)
//                         bound to a real view, side by side
//   node_list/actions/N   1,000 user actions done, then undone and redone
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
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
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
#include "tdr_tx_script_player.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_tree_object.h"
#include "tdr_tx_trigger.h"
#include "tdr_tx_undo_manager.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_signal_nodes.h"

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

// Both writers grow their output buffers; without mapped blocks (see main) a
// large buffer's growth copies it instead of remapping it, which slowed the
// XML library's writer by a third. Writing benchmarks get them back.
struct MAPPED_BLOCKS {
  MAPPED_BLOCKS() { mallopt(M_MMAP_MAX, 65536); }
  ~MAPPED_BLOCKS() { mallopt(M_MMAP_MAX, 0); }
};

// The profile's DOM for the writers; null (the benchmark skipped) when the
// file does not parse.
std::unique_ptr<XercesDOMParser> parse_or_skip(benchmark::State& state, const PROFILE* p,
                                               HandlerBase* handler) {
  try {
    return xerces_parse(p->file, handler);
  } catch (...) {
    state.SkipWithError("parse failed");
    return nullptr;
  }
}

void BM_xerces_serialize(benchmark::State& state, const PROFILE* p) {
  MAPPED_BLOCKS mapped;
  HandlerBase handler;
  std::unique_ptr<XercesDOMParser> parser = parse_or_skip(state, p, &handler);
  if (!parser) return;
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

double thread_cpu_seconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// What reading the thread's CPU clock twice costs by itself (a system call
// on some machines), taken off every timing of cpu_seconds.
double g_cpu_clock_cost = 0;

void measure_cpu_clock_cost() {
  std::vector<double> cost;
  for (int i = 0; i < 101; ++i) {
    double t0 = thread_cpu_seconds();
    cost.push_back(thread_cpu_seconds() - t0);
  }
  std::nth_element(cost.begin(), cost.begin() + 50, cost.end());
  g_cpu_clock_cost = cost[50];
}

// CPU seconds `f()` takes on this thread.
template <typename F>
double cpu_seconds(F f) {
  double t0 = thread_cpu_seconds();
  f();
  return std::max(0.0, thread_cpu_seconds() - t0 - g_cpu_clock_cost);
}

// Quantile `q` (0..1) of `v`, interpolated; sorts `v`.
double quantile(std::vector<double>* v, double q) {
  if (v->empty()) return 0;
  std::sort(v->begin(), v->end());
  double at = q * static_cast<double>(v->size() - 1);
  size_t i = static_cast<size_t>(at);
  if (i + 1 >= v->size()) return v->back();
  return (*v)[i] + (at - static_cast<double>(i)) * ((*v)[i + 1] - (*v)[i]);
}

// Two timings taken side by side in one iteration.
struct PAIR {
  double x, base;
};

// The sums of x and of base over `period` consecutive pairs. The order of
// the two sides alternates from one iteration to the next, and each side runs
// faster after its own kind (the allocator hands back what it just freed):
// one ratio per full turn of the order keeps the median out of the gap
// between the two orders' figures.
std::vector<PAIR> turns_of(const std::vector<PAIR>& pairs, size_t period) {
  std::vector<PAIR> turns;
  for (size_t i = 0; i + period <= pairs.size(); i += period) {
    PAIR t{0, 0};
    for (size_t k = i; k < i + period; ++k) {
      t.x += pairs[k].x;
      t.base += pairs[k].base;
    }
    if (t.base > 0) turns.push_back(t);
  }
  return turns;
}

std::vector<double> ratios_of(const std::vector<PAIR>& turns) {
  std::vector<double> r;
  for (const PAIR& t : turns) r.push_back(t.x / t.base);
  return r;
}

double median_ratio(const std::vector<PAIR>& turns) {
  std::vector<double> r = ratios_of(turns);
  return quantile(&r, 0.5);
}

// The turns of each repetition, by "benchmark:ratio", for the table.
std::map<std::string, std::vector<std::vector<PAIR>>> g_repetition_turns;

// How much slower than the quickest a repetition's baseline may be and still
// count as undisturbed.
const double k_disturbed_slack = 0.10;

// The median over the undisturbed repetitions of each one's median ratio per
// turn. A busy neighbour on the host, and whatever the host does with a large
// process's memory, slow work that streams through memory (a parse, an open)
// far more than work that stays in the cache (a walk of what was just
// opened): the ratios of a repetition whose baseline ran slow drift, and no
// pairing cancels that, so such repetitions are left out. Of the rest the
// median is taken, since the timed side itself sometimes runs in one of two
// speeds from one repetition to another. A whole repetition is kept or left:
// choosing single turns by their times would favour turns where one side
// happened to be fast, and bias the ratio.
double undisturbed_ratio(const std::vector<std::vector<PAIR>>& repetitions) {
  std::vector<std::pair<double, double>> kept;  // baseline median, ratio median
  for (const std::vector<PAIR>& turns : repetitions) {
    if (turns.empty()) continue;
    std::vector<double> base;
    for (const PAIR& t : turns) base.push_back(t.base);
    kept.push_back({quantile(&base, 0.5), median_ratio(turns)});
  }
  if (kept.empty()) return 0;
  double least = kept[0].first;
  for (const auto& k : kept) least = std::min(least, k.first);
  std::vector<double> ratios;
  for (const auto& k : kept)
    if (k.first <= least * (1 + k_disturbed_slack)) ratios.push_back(k.second);
  return quantile(&ratios, 0.5);
}

// Google Benchmark runs a benchmark without a fixed iteration count a few
// times with fewer iterations to find the count; those trials' turns are
// shorter than the repetitions' and are dropped once the process has run
// its benchmarks (processes may settle on different counts, so this cannot
// wait until their turns are pooled).
void drop_trials() {
  for (auto& t : g_repetition_turns) {
    size_t size = 0;
    for (const std::vector<PAIR>& turns : t.second) size = std::max(size, turns.size());
    t.second.erase(std::remove_if(t.second.begin(), t.second.end(),
                                  [&](const std::vector<PAIR>& turns) {
                                    return turns.size() < size;
                                  }),
                   t.second.end());
  }
}

// One repetition of a benchmark as the table reads it.
struct SAMPLE {
  double cpu_s = 0;   // CPU seconds per iteration
  double real_s = 0;  // wall seconds per iteration
  std::map<std::string, double> counters;
};

// The repetitions of every benchmark by name, for the table.
std::map<std::string, std::vector<SAMPLE>> g_runs;

// Writes what the table needs as JSON: {"runs": {"benchmark": [{"cpu_s",
// "real_s", "counters"}, ...]}, "turns": {"benchmark:ratio": [[[x, base],
// ...], ...]}}, a list of turns per repetition in milliseconds. Several
// processes' files make one table (--tdr_table_from), and
// bench/agreement.py compares runs by them.
bool write_figures(const std::string& file) {
  nlohmann::json doc;
  doc["runs"] = nlohmann::json::object();
  doc["turns"] = nlohmann::json::object();
  for (const auto& r : g_runs)
    for (const SAMPLE& s : r.second)
      doc["runs"][r.first].push_back(
          {{"cpu_s", s.cpu_s}, {"real_s", s.real_s}, {"counters", s.counters}});
  for (const auto& t : g_repetition_turns) {
    nlohmann::json& reps = doc["turns"][t.first] = nlohmann::json::array();
    for (const std::vector<PAIR>& turns : t.second) {
      nlohmann::json list = nlohmann::json::array();
      for (const PAIR& p : turns) list.push_back({1e3 * p.x, 1e3 * p.base});
      reps.push_back(std::move(list));
    }
  }
  std::ofstream out(file);
  out << doc.dump(1) << "\n";
  out.close();
  return !out.fail();
}

// Adds a file of write_figures to this process's figures.
bool read_figures(const std::string& file) {
  std::ifstream in(file);
  nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
  if (!in.is_open() || doc.is_discarded() || !doc.is_object()) return false;
  try {
    for (const auto& r : doc.at("runs").items())
      for (const auto& s : r.value()) {
        SAMPLE sample;
        sample.cpu_s = s.at("cpu_s").get<double>();
        sample.real_s = s.at("real_s").get<double>();
        sample.counters = s.at("counters").get<std::map<std::string, double>>();
        g_runs[r.key()].push_back(std::move(sample));
      }
    for (const auto& t : doc.at("turns").items())
      for (const auto& reps : t.value()) {
        std::vector<PAIR> turns;
        for (const auto& p : reps) turns.push_back(PAIR{p.at(0).get<double>() * 1e-3,
                                                        p.at(1).get<double>() * 1e-3});
        g_repetition_turns[t.key()].push_back(std::move(turns));
      }
  } catch (const nlohmann::json::exception&) {
    return false;
  }
  return true;
}

// A ratio of two benchmarks run minutes apart moves with whatever else the
// machine does in between; a ratio of two timings taken side by side in one
// iteration does much less. Each iteration adds its timings and pairs here;
// the counters get the median times and the median ratio per turn of the
// order ("_q1" and "_q3": the middle half). With a `pool` name the turns are
// also kept for the table, which leaves out repetitions whose baseline ran
// slow.
class SERIES {
 public:
  explicit SERIES(std::string pool = std::string(), size_t period = 2)
      : m_pool(std::move(pool)), m_period(period) {}
  void time(const std::string& name, double seconds) { m_times[name].push_back(1e3 * seconds); }
  void ratio(const std::string& name, double x, double base) {
    // The first iteration still finds the heap and caches as the previous
    // benchmark left them.
    if (base <= 0 || m_warm.insert(name).second) return;
    m_pairs[name].push_back(PAIR{x, base});
  }
  void report(benchmark::State& state) {
    for (auto& t : m_times) state.counters[t.first] = quantile(&t.second, 0.5);
    for (auto& p : m_pairs) {
      std::vector<PAIR> turns = turns_of(p.second, m_period);
      if (!m_pool.empty()) g_repetition_turns[m_pool + ":" + p.first].push_back(turns);
      std::vector<double> r = ratios_of(turns);
      state.counters[p.first] = quantile(&r, 0.5);
      state.counters[p.first + "_q1"] = quantile(&r, 0.25);
      state.counters[p.first + "_q3"] = quantile(&r, 0.75);
    }
  }

 private:
  std::string m_pool;
  size_t m_period;
  std::map<std::string, std::vector<double>> m_times;
  std::map<std::string, std::vector<PAIR>> m_pairs;
  std::set<std::string> m_warm;
};

// CPU seconds of opening and closing the file as a session of its own (the
// manager would hand back a session of it that is already open); -1 when it
// does not open.
double independent_open_close(const PROFILE* p) {
  TDR_DATA_SESSION* session = nullptr;
  double t = cpu_seconds([&] {
    session = manager()->open_independent_session(p->file.c_str());
    manager()->close_independent_session(session);
  });
  return session ? t : -1;
}

// Every open is paired with a parse of the same file right beside it (the
// order alternates, so neither always comes first with warm caches). The
// reads of the open session are timed in between, each against that open.
void BM_open_paired(benchmark::State& state, const PROFILE* p) {
  HandlerBase handler;
  std::vector<char> buffer;
  SERIES series("open_paired/" + p->name);
  bool parse_first = true;
  auto parse = [&]() {
    return cpu_seconds([&] {
      std::unique_ptr<XercesDOMParser> parser = xerces_parse(p->file, &handler);
      benchmark::DoNotOptimize(parser->getDocument());
    });
  };
  for (auto _ : state) {
    double a = 0, open = 0, walk = 0, crc = 0, cond = 0;
    try {
      if (parse_first) a = parse();
      TDR_DATA_SESSION* session = nullptr;
      open = cpu_seconds([&] { session = manager()->open_session(p->file.c_str()); });
      if (!session) {
        state.SkipWithError("open_session failed");
        break;
      }
      size_t sum = 0;
      long long nodes = 0;
      walk = cpu_seconds([&] { nodes = walk_views(session, &sum); });
      benchmark::DoNotOptimize(sum);
      crc = cpu_seconds([&] { benchmark::DoNotOptimize(trigger_fingerprints(session)); });
      cond = cpu_seconds([&] { benchmark::DoNotOptimize(condition_round_trips(session, &buffer)); });
      open += cpu_seconds([&] { manager()->close_session(p->file.c_str()); });
      if (!parse_first) a = parse();
      if (nodes != p->view_nodes) {
        state.SkipWithError("the view walk missed nodes");
        break;
      }
    } catch (...) {
      state.SkipWithError("parse failed");
      break;
    }
    parse_first = !parse_first;
    series.time("parse_ms", a);
    series.time("open_ms", open);
    series.time("walk_ms", walk);
    series.time("crc_ms", crc);
    series.time("cond_ms", cond);
    series.ratio("open_per_parse", open, a);
    series.ratio("walk_per_open", walk, open);
    series.ratio("crc_per_open", crc, open);
    series.ratio("cond_per_open", cond, open);
  }
  set_units(state, p);
  series.report(state);
}

// Writes a file's data out, so that a later sync does not pay for it.
void sync_file(const std::string& file) {
  int fd = open(file.c_str(), O_RDONLY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Synced save, save without the sync and the XML library's serialisation of
// the same document, in rotating order in every iteration. The files of the
// two that do not sync are synced untimed: a sync writes out the dirty data of
// other files too on common file systems. For the same reason each save's
// replaced file is let go before the next timing: the save leaves that to a
// worker thread, which would otherwise run beside the next one.
void BM_save_paired(benchmark::State& state, const PROFILE* p) {
  MAPPED_BLOCKS mapped;
  HandlerBase handler;
  std::unique_ptr<XercesDOMParser> parser = parse_or_skip(state, p, &handler);
  if (!parser) return;
  TDR_DATA_SESSION* session = manager()->open_session(p->file.c_str());
  if (!session) {
    state.SkipWithError("open_session failed");
    return;
  }
  std::string out = out_path(*p, "save"), out_b = out_path(*p, "xerces");
  SERIES series("save_paired/" + p->name, 3);
  int turn = 0;
  for (auto _ : state) {
    double t[3] = {0, 0, 0};
    bool ok = true;
    for (int k = 0; k < 3; ++k) {
      int which = (turn + k) % 3;
      if (which == 2) {
        t[2] = cpu_seconds([&] { xerces_serialize(parser->getDocument(), out_b); });
        sync_file(out_b);
        continue;
      }
      TDR_FILE_REPLACE::set_sync(which == 0);
      t[which] = cpu_seconds([&] { ok = session->save_as(out.c_str(), true, true) && ok; });
      TDR_FILE_REPLACE::set_sync(true);
      if (which == 1) sync_file(out);
      TDR_FILE_REPLACE::wait_for_release();
    }
    turn = (turn + 1) % 3;
    if (!ok) {
      state.SkipWithError("save_as failed");
      break;
    }
    series.time("save_ms", t[0]);
    series.time("nosync_ms", t[1]);
    series.time("B_ms", t[2]);
    series.ratio("save_per_B", t[0], t[2]);
    series.ratio("nosync_per_B", t[1], t[2]);
  }
  manager()->close_session(p->file.c_str());
  std::remove(out.c_str());
  std::remove(out_b.c_str());
  set_units(state, p);
  series.report(state);
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

// Each iteration times `body(session)` (its CPU seconds, negative on failure)
// on one open session, beside an open and close of the same file as a session
// of its own (the order alternating); counters "op_ms", "open_ms" and the
// per-iteration ratio "per_open".
void paired_with_open(benchmark::State& state, const PROFILE* p, const std::string& bench,
                      const std::function<double(TDR_DATA_SESSION*)>& body) {
  SERIES series(bench + "/" + p->name);
  bool open_first = true;
  with_session(state, p, [&](TDR_DATA_SESSION* s) {
    double open = open_first ? independent_open_close(p) : 0;
    double op = body(s);
    if (!open_first) open = independent_open_close(p);
    open_first = !open_first;
    if (op < 0 || open < 0) return false;
    series.time("op_ms", op);
    series.time("open_ms", open);
    series.ratio("per_open", op, open);
    return true;
  });
  series.report(state);
}

// Trigger working copies of every trigger of a session, standing alone (no
// transaction session): what init(data trigger) and commit cost.
struct TX_TRIGGERS {
  explicit TX_TRIGGERS(TDR_DATA_SESSION* session) : undo(&status, nullptr) {
    for_each_signal_set(session, [&](TDR_DATA_SIGNAL_SET* set) {
      for (int t = 0; t < set->get_num_triggers(); ++t) data.push_back(set->get_trigger_at(t));
    });
    for (size_t i = 0; i < data.size(); ++i)
      work.emplace_back(new TDR_TX_TRIGGER(0, nullptr, &undo, &status, &tree, &recorder));
  }
  ~TX_TRIGGERS() {
    work.clear();
    undo.clear();
  }
  TDR_TX_CHANGE_STATUS status;
  TDR_TX_UNDO_MANAGER undo;
  TDR_TX_GENERIC_TREE_OBJECT tree;
  TDR_TX_SCRIPT_RECORDER recorder;
  std::vector<TDR_DATA_TRIGGER*> data;
  std::vector<std::unique_ptr<TDR_TX_TRIGGER>> work;
};

void BM_tx_trigger_init(benchmark::State& state, const PROFILE* p) {
  std::unique_ptr<TX_TRIGGERS> tx;
  paired_with_open(state, p, "tx_trigger_init", [&](TDR_DATA_SESSION* s) {
    if (!tx) tx.reset(new TX_TRIGGERS(s));
    bool ok = true;
    double t = cpu_seconds([&] {
      for (size_t i = 0; i < tx->data.size(); ++i) ok = tx->work[i]->init(tx->data[i]) && ok;
    });
    return ok ? t : -1;
  });
  tx.reset();
}

void BM_tx_trigger_commit(benchmark::State& state, const PROFILE* p) {
  std::unique_ptr<TX_TRIGGERS> tx;
  paired_with_open(state, p, "tx_trigger_commit", [&](TDR_DATA_SESSION* s) {
    if (!tx) tx.reset(new TX_TRIGGERS(s));
    for (size_t i = 0; i < tx->data.size(); ++i) tx->work[i]->init(tx->data[i]);
    bool ok = true;
    double t = cpu_seconds([&] {
      for (size_t i = 0; i < tx->data.size(); ++i) {
        // A structural change: every level goes into a new trigger.
        tx->status.m_trigger_changed = true;
        ok = tx->work[i]->commit(tx->data[i]->get_signal_set(), false) && ok;
      }
    });
    for (size_t i = 0; i < tx->data.size(); ++i) {
      TDR_DATA_TRIGGER* made = tx->work[i]->get_data_trigger();
      tx->work[i]->forget_data_trigger();
      if (made && made != tx->data[i]) made->remove();
    }
    return ok ? t : -1;
  });
  tx.reset();
}

void BM_tx_trigger_set_condition(benchmark::State& state, const PROFILE* p) {
  std::unique_ptr<TX_TRIGGERS> tx;
  TDR_TX_TRIGGER* trigger = nullptr;
  int node = -1;
  bool high = false;
  with_session(state, p, [&](TDR_DATA_SESSION* s) {
    if (!tx) {
      state.PauseTiming();
      tx.reset(new TX_TRIGGERS(s));
      long long best = -1;
      size_t chosen = 0;
      for (size_t i = 0; i < tx->data.size(); ++i) {
        TDR_DATA_TRIGGER* d = tx->data[i];
        long long size = static_cast<long long>(d->get_event_levels()) *
                         d->get_signal_set()->get_trigger_wire_width();
        if (size > best) {
          best = size;
          chosen = i;
        }
      }
      if (best < 0) return false;
      trigger = tx->work[chosen].get();
      trigger->init(tx->data[chosen]);
      for (int k = 0; k < trigger->get_node_count() && node < 0; ++k)
        if (trigger->get_trigger_condition(k, 0) != TDR_CTYPE_INVALID_COND) node = k;
      state.ResumeTiming();
      if (node < 0) return false;
    }
    high = !high;
    tx->undo.begin_action();
    bool ok = trigger->set_trigger_condition(
        node, trigger->get_trigger_level() - 1, high ? TDR_CTYPE_HIGH_COND : TDR_CTYPE_LOW_COND);
    tx->undo.end_action();
    return ok;
  });
  tx.reset();
}

// ---------------------------------------------------------------------------
// Editing layer over a whole session. Each iteration starts from the file
// (opened untimed); only the load or the commit is timed, beside an open and
// close of the same file.

void BM_tx(benchmark::State& state, const PROFILE* p, const std::string& op) {
  SERIES series("tx_" + op + "/" + p->name);
  bool open_first = true;
  for (auto _ : state) {
    double open = open_first ? independent_open_close(p) : 0;
    double t = 0;
    bool ok = true;
    if (op == "session_open" || op == "session_save") {
      // The editor's whole road: open by name (data session and working
      // copies), or commit and save an unedited session.
      std::unique_ptr<TDR_TX_SESSION> tx(new TDR_TX_SESSION());
      if (op == "session_open") {
        t = cpu_seconds([&] { ok = tx->open_session(p->file.c_str()); });
      } else {
        ok = tx->open_session(p->file.c_str());
        if (ok) t = cpu_seconds([&] { ok = tx->save_session((p->file + ".tx_saved").c_str()); });
        TDR_FILE_REPLACE::wait_for_release();
        std::remove((p->file + ".tx_saved").c_str());
      }
      tx.reset();
      if (!ok) {
        state.SkipWithError("editing-layer session road failed");
        break;
      }
    } else {
      std::unique_ptr<TDR_TX_SESSION> tx(new TDR_TX_SESSION());
      TDR_DATA_SESSION* session = manager()->open_session(p->file.c_str());
      ok = session != nullptr;
      if (ok && op != "load") ok = tx->open_session(session);
      for (int i = 0; ok && op == "edit_commit" && i < tx->get_num_groups(); ++i) {
        TDR_TX_SIGNAL_SET* set = tx->get_signal_set_at(i, true);
        TDR_TX_INSTANCE* instance = tx->get_instance_at(i, true);
        int k = 0;
        while (k < set->get_node_count() && set->get_node(k)->is_group()) ++k;
        if (k == set->get_node_count()) continue;
        instance->begin_action();
        ok = set->set_node_name(k, (std::string(set->get_node_name(k)) + "_renamed").c_str());
        instance->end_action();
      }
      if (ok)
        t = cpu_seconds(
            [&] { ok = op == "load" ? tx->open_session(session) : tx->commit_session(); });
      if (!ok) {
        state.SkipWithError("editing-layer operation failed");
        if (session && !tx->get_data_session()) manager()->close_session(p->file.c_str());
        break;
      }
      tx.reset();  // closes the data session
    }
    if (!open_first) open = independent_open_close(p);
    open_first = !open_first;
    if (open < 0) {
      state.SkipWithError("open failed");
      break;
    }
    series.time("op_ms", t);
    series.time("open_ms", open);
    series.ratio("per_open", t, open);
  }
  set_units(state, p);
  series.report(state);
}

// ---------------------------------------------------------------------------
// Script replay: how much of a replay is the player's own work (reading the
// script, turning lines into calls) rather than the editing it asks for.

int g_replay_calls = 10000;

// Light, typical editor calls on random nodes of every instance: actions of
// alias, capture, inversion and condition edits, with undo and redo between.
// Returns the number of recorded calls it made.
int replay_edit_step(TDR_TX_SESSION* tx, std::mt19937* rng) {
  auto pick = [&](int n) { return n <= 0 ? 0 : int((*rng)() % unsigned(n)); };
  int g = pick(tx->get_num_groups());
  TDR_TX_INSTANCE* inst = tx->get_instance_at(g, true);
  int r = pick(100);
  if (r < 8) return inst->undo(), 1;
  if (r < 12) return inst->redo(), 1;
  TDR_TX_TRIGGER* trig = tx->get_trigger_at(g, true);
  TDR_TX_SIGNAL_NODES* lists[] = {tx->get_signal_set_at(g, true), trig};
  int calls = 2;
  inst->begin_action();
  for (int k = 1 + pick(4); k > 0; --k, ++calls) {
    TDR_TX_SIGNAL_NODES* list = lists[pick(2)];
    int node = pick(list->get_node_count());
    switch (pick(4)) {
      case 0: list->set_node_alias(node, ("a" + std::to_string(pick(1000))).c_str()); break;
      case 1: list->set_node_capture_type(node, TDR_DATA_WIRE_CAPTURE_TYPE(1 + pick(3))); break;
      case 2: list->set_node_signal_inverted(node, pick(2) == 1); break;
      default:
        trig->set_trigger_condition(pick(trig->get_node_count()), pick(trig->get_trigger_level()),
                                    TDR_DATA_TRIGGER_CONDITION(pick(9)));
        break;
    }
  }
  inst->end_action();
  return calls;
}

// Makes the edits on a session of `file`; with the recorder on, `script` gets
// the path of the script it writes.
bool record_edit_session(const std::string& file, unsigned seed, std::string* script) {
  TDR_TX_SESSION tx;
  *script = tx.get_script_recorder()->get_script_path();
  if (!tx.open_session(file.c_str())) return false;
  std::mt19937 rng(seed);
  for (int calls = 0; calls < g_replay_calls;) calls += replay_edit_step(&tx, &rng);
  return true;
}

// The folders the scripts are recorded into, emptied before and after the
// run: a recording keeps a copy of the session it starts from, and a large
// profile's copy is as big as the profile.
std::set<std::string> g_replay_dirs;

void empty_folder(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (const dirent* entry = readdir(d))
    if (entry->d_name[0] != '.') std::remove((dir + "/" + entry->d_name).c_str());
  closedir(d);
}

// Records the profile's script once (the recorder writes it under its own
// folder); returns its path, or "" when recording failed.
std::string replay_script(const PROFILE* p) {
  static std::map<std::string, std::string> scripts;
  auto it = scripts.find(p->name);
  if (it != scripts.end()) return it->second;
  std::string dir = g_out_dir + "/tdr_bench_replay_" + p->name;
  mkdir(dir.c_str(), 0777);
  empty_folder(dir);
  g_replay_dirs.insert(dir);
  setenv("tvf_tx_record", "on", 1);
  setenv("tvf_tx_record_root_path", dir.c_str(), 1);
  std::string script;
  bool ok = record_edit_session(p->file, 7, &script);
  unsetenv("tvf_tx_record");
  unsetenv("tvf_tx_record_root_path");
  return scripts[p->name] = ok ? script : std::string();
}

// Two sessions of the file are opened once, untimed: one takes the calls made
// directly, the other the replayed script, batch after batch. The calls never
// add or remove nodes or levels, so every batch is valid on either session
// whatever came before, and the open of a large file does not hide the
// player's own cost.
void BM_replay_paired(benchmark::State& state, const PROFILE* p) {
  std::string script = replay_script(p);
  std::string text;
  if (script.empty() || !read_file(script, &text)) {
    state.SkipWithError("recording the script failed");
    return;
  }
  std::string dir = script.substr(0, script.rfind('/'));
  TDR_TX_SESSION direct_tx, replay_tx;
  if (!direct_tx.open_session(p->file.c_str()) || !replay_tx.open_session(p->file.c_str())) {
    state.SkipWithError("open_session failed");
    return;
  }
  SERIES series("replay_paired/" + p->name);
  bool direct_first = true;
  int calls = 0;
  for (auto _ : state) {
    double direct = 0, parse = 0, replay = 0;
    auto run_direct = [&]() {
      std::mt19937 rng(7);
      double t0 = thread_cpu_seconds();
      for (int n = 0; n < g_replay_calls;) n += replay_edit_step(&direct_tx, &rng);
      direct = thread_cpu_seconds() - t0;
      return true;
    };
    auto run_replay = [&]() {
      double t0 = thread_cpu_seconds();
      TDR_TX_SCRIPT_PLAYER player;
      bool ok = player.load_text(text, dir, script);
      double t1 = thread_cpu_seconds();
      ok = ok && player.run(&replay_tx) == TDR_TX_SCRIPT_PLAYER::REPLAY_OK;
      double t2 = thread_cpu_seconds();
      if (!ok) std::fprintf(stderr, "tdr_bench: %s\n", player.get_error().c_str());
      calls = player.get_calls_replayed();
      parse = t1 - t0;
      replay = t2 - t0;
      return ok;
    };
    bool ok = direct_first ? run_direct() && run_replay() : run_replay() && run_direct();
    if (!ok) {
      state.SkipWithError("the replay failed");
      break;
    }
    direct_first = !direct_first;
    if (replay <= 0) continue;
    series.time("replay_ms", replay);
    series.time("direct_ms", direct);
    series.ratio("per_direct", replay, direct);
    series.ratio("parse_share", parse, replay);
  }
  state.counters["calls"] = calls;
  series.report(state);
}

// ---------------------------------------------------------------------------
// Node list of the editing layer: one operation on a list of N nodes bound to
// a real view (groups of 4 to 32 members, every second one linked with the
// other view's group of the same name), and undo/redo of 1,000 user actions.

class BENCH_NODE_LIST : public TDR_TX_SIGNAL_NODES {
 public:
  using TDR_TX_SIGNAL_NODES::TDR_TX_SIGNAL_NODES;
  const char* get_name() override { return "bench"; }
  bool is_node_deletable(int) override { return true; }
};

// Buses and nets up to about `nodes` view nodes, with a run of 256 single nets
// ("free0" ...) in the middle for the block operations.
std::string node_list_session(int nodes) {
  std::string file = g_out_dir + "/tdr_bench_node_list_" + std::to_string(nodes) + ".xml";
  std::string wires, view;
  auto net = [&](const std::string& name) {
    wires += "<wire connection_status=\"true\" name=\"" + name + "\" tap_mode=\"classic\"/>";
    view += "<net name=\"" + name + "\"/>";
  };
  unsigned seed = 12345;
  int count = 0, bus = 0;
  bool free_run = false;
  while (count < nodes) {
    if (!free_run && count >= nodes / 2) {
      for (int k = 0; k < 256; ++k) net("free" + std::to_string(k));
      count += 256;
      free_run = true;
      continue;
    }
    seed = seed * 1103515245u + 12345u;
    int members = 4 + int((seed >> 16) % 29);
    std::string name = "b" + std::to_string(bus);
    view += "<bus name=\"" + name + "\"" + (bus % 2 ? " link=\"all\"" : "") + ">";
    for (int m = 0; m < members; ++m) net(name + "[" + std::to_string(m) + "]");
    view += "</bus>";
    net("n" + std::to_string(bus++));
    count += members + 2;
  }
  std::ofstream out(file);
  out << "<session><instance name=\"i\"><node_ip_info mfg_id=\"110\" node_id=\"0\" version=\"4\"/>"
         "<signal_set name=\"s\"><signal_vec><trigger_input_vec>"
      << wires << "</trigger_input_vec><data_input_vec>" << wires
      << "</data_input_vec></signal_vec><presentation><data_view>" << view
      << "</data_view><setup_view>" << view
      << "</setup_view></presentation></signal_set></instance></session>";
  return file;
}

struct NODE_LIST_FIXTURE {
  explicit NODE_LIST_FIXTURE(int nodes) {
    session.reset(new TDR_DATA_SESSION(node_list_session(nodes).c_str()));
    TDR_DATA_INSTANCE* data_instance = session->get_instance_at(0);
    TDR_DATA_SIGNAL_SET* set = data_instance ? data_instance->get_signal_set_at(0) : nullptr;
    if (!set) return;
    instance.reset(new TDR_TX_INSTANCE(0, nullptr, data_instance, nullptr));
    TDR_TX_UNDO_MANAGER* undo = instance->get_undo_manager();
    TDR_TX_CHANGE_STATUS* status = instance->get_change_status();
    data.reset(new BENCH_NODE_LIST(0, set->get_data_view(), undo, status, nullptr, false));
    setup.reset(new BENCH_NODE_LIST(0, set->get_setup_view(), undo, status, nullptr, true));
    data->set_the_other_signal_nodes(setup.get());
    setup->set_the_other_signal_nodes(data.get());
    free_start = data->find_wire_node("free0");
    // Blocks go before a group header in the first quarter (never into a group).
    for (int k = data->get_node_count() / 4; k < free_start && quarter < 0; ++k)
      if (data->get_node(k)->is_group()) quarter = k;
    int count = data->get_node_count();
    for (int j = 0; j < count; ++j) {
      int k = (count / 2 + j) % count;
      const TDR_TX_SIGNAL_NODES::NODE_TYPE* node = data->get_node(k);
      if (node->is_group() && node->linking_type != TDR_LTYPE_NO_LINK) {
        linked_group = k;
        break;
      }
    }
  }
  ~NODE_LIST_FIXTURE() {
    data.reset();
    setup.reset();
    instance.reset();
  }
  bool ok() const { return data && free_start > 0 && linked_group > 0 && quarter > 0; }
  template <class F>
  void act(F edit) {
    instance->begin_action();
    edit();
    instance->end_action();
  }

  std::unique_ptr<TDR_DATA_SESSION> session;
  std::unique_ptr<TDR_TX_INSTANCE> instance;
  std::unique_ptr<BENCH_NODE_LIST> data, setup;
  int free_start = -1, linked_group = -1, quarter = -1;
};

const char* const NODE_LIST_OPS[] = {"append", "rename", "alias", "group_32", "ungroup",
                                     "move_100", "copy_100", "delete_100"};
// --tdr_node_list_sizes=SMALL,LARGE; the test suite's run uses small lists.
int g_node_list_sizes[2] = {1000, 10000};

// The steady clock: the thread's CPU clock costs a system call, as much as
// the cheapest edits here.
double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One edit `op` on the list of `f`; returns the seconds of the edit alone (a
// preparation, and an undo that restores the list, are not timed).
double node_list_edit(NODE_LIST_FIXTURE* f, const std::string& op, long long flip) {
  BENCH_NODE_LIST* list = f->data.get();
  int free = f->free_start, quarter = f->quarter;
  double t0 = 0;
  auto timed = [&](const std::function<void()>& edit) {
    t0 = wall_seconds();
    f->act(edit);
    return wall_seconds() - t0;
  };
  double t = 0;
  if (op == "append") {
    t = timed([&] { list->append_node("appended", TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP); });
    f->instance->undo();
  } else if (op == "rename") {
    t = timed([&] { list->set_node_name(free, flip % 2 ? "renamed" : "free0"); });
  } else if (op == "alias") {
    t = timed([&] { list->set_node_alias(free, flip % 2 ? "alias_a" : "alias_b"); });
  } else if (op == "group_32") {
    t = timed([&] { list->group_node(free, free + 31, nullptr); });
    f->instance->undo();
  } else if (op == "ungroup") {
    t = timed([&] { list->ungroup_node(f->linked_group); });
    f->instance->undo();
  } else if (op == "move_100") {
    // Back and forth between the free run and the first quarter.
    if (flip % 2)
      t = timed([&] { list->move_before_node(free, free + 99, quarter, false); });
    else
      t = timed([&] { list->move_before_node(quarter, quarter + 99, free + 100, false); });
  } else if (op == "copy_100") {
    t = timed([&] { list->copy_before_node(free, free + 99, quarter, false); });
    f->instance->undo();
  } else if (op == "delete_100") {
    // Fresh copies with their own view elements each time (an undone delete
    // would leave nodes without them).
    f->act([&] { list->copy_before_node(free, free + 99, quarter, false); });
    t = timed([&] { list->delete_node(quarter, quarter + 99); });
  }
  return t;
}

// The same edit on the small and the large list in every iteration (the order
// alternating); counter "growth" is the per-iteration ratio large / small.
void BM_node_list(benchmark::State& state, std::string op) {
  NODE_LIST_FIXTURE small(g_node_list_sizes[0]), large(g_node_list_sizes[1]);
  if (!small.ok() || !large.ok()) {
    state.SkipWithError("node list session not loaded");
    return;
  }
  SERIES series;
  long long flip = 0;
  for (auto _ : state) {
    ++flip;
    double ts = 0, tl = 0;
    if (flip % 2) {
      ts = node_list_edit(&small, op, flip);
      tl = node_list_edit(&large, op, flip);
    } else {
      tl = node_list_edit(&large, op, flip);
      ts = node_list_edit(&small, op, flip);
    }
    series.time("small_ms", ts);
    series.time("large_ms", tl);
    series.ratio("growth", tl, ts);
  }
  state.counters["small_nodes"] = small.data->get_node_count();
  state.counters["large_nodes"] = large.data->get_node_count();
  series.report(state);
}

// 1,000 user actions of the usual kinds (names, aliases, inversion, moves of a
// few nodes).
void thousand_actions(NODE_LIST_FIXTURE* f) {
  BENCH_NODE_LIST* list = f->data.get();
  int free = f->free_start;
  for (int a = 0; a < 1000; ++a) {
    int k = free + a % 200;
    f->act([&] {
      switch (a % 4) {
        case 0: list->set_node_name(k, a % 8 ? "x" : "y"); break;
        case 1: list->set_node_alias(k, a % 8 == 1 ? "al_a" : "al_b"); break;
        case 2: list->set_node_signal_inverted(k, a % 8 == 2); break;
        default: list->move_before_node(k, k + 2, k + 10, false); break;
      }
    });
  }
}

// Every iteration does the 1,000 actions, then undoes and redoes them all;
// counter "undo_redo_per_do" is the per-iteration ratio of the two.
void BM_node_list_actions(benchmark::State& state, int nodes) {
  NODE_LIST_FIXTURE f(nodes);
  if (!f.ok()) {
    state.SkipWithError("node list session not loaded");
    return;
  }
  f.instance->set_max_undo_steps(-1);
  SERIES series;
  for (auto _ : state) {
    double done = cpu_seconds([&] { thousand_actions(&f); });
    double back = cpu_seconds([&] {
      for (int a = 0; a < 1000; ++a) f.instance->undo();
      for (int a = 0; a < 1000; ++a) f.instance->redo();
    });
    for (int a = 0; a < 1000; ++a) f.instance->undo();
    f.instance->get_undo_manager()->clear();
    series.time("do_ms", done);
    series.time("undo_redo_ms", back);
    series.ratio("undo_redo_per_do", back, done);
  }
  state.counters["nodes"] = f.data->get_node_count();
  series.report(state);
}

// ---------------------------------------------------------------------------
// The ratio table (--tdr_table): medians over the repetitions, printed after
// the usual console report.

class TABLE_REPORTER : public benchmark::ConsoleReporter {
 public:
  explicit TABLE_REPORTER(bool print) : m_print(print) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions the console shows the aggregates only; the table takes
    // the repetitions themselves, for their spread.
    std::vector<Run> shown;
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate || run.repetitions <= 1) shown.push_back(run);
    if (!shown.empty()) benchmark::ConsoleReporter::ReportRuns(shown);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type == Run::RT_Aggregate) continue;
      SAMPLE s;
      s.cpu_s = seconds(run, run.GetAdjustedCPUTime());
      s.real_s = seconds(run, run.GetAdjustedRealTime());
      for (const auto& c : run.counters) s.counters[c.first] = c.second.value;
      g_runs[run.run_name.function_name].push_back(std::move(s));
    }
  }

  void Finalize() override {
    benchmark::ConsoleReporter::Finalize();
    drop_trials();
    if (m_print) print(GetOutputStream());
  }

  void print(std::ostream& out) const {
    print_table(out);
    print_node_list_table(out);
  }

 private:
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

  // The medians over the repetitions.
  VALUE value(const std::string& name) const {
    VALUE v;
    auto it = g_runs.find(name);
    if (it == g_runs.end() || it->second.empty()) return v;
    std::vector<double> cpu, real;
    std::map<std::string, std::vector<double>> counters;
    for (const SAMPLE& r : it->second) {
      cpu.push_back(r.cpu_s);
      real.push_back(r.real_s);
      for (const auto& c : r.counters) counters[c.first].push_back(c.second);
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
      return fmt("%.3g", r) + (over ? "*" : " ");
    });
  }

  // The spread of a counter over the repetitions: how far the farthest lies
  // from `median`, in percent of it.
  double spread_percent(const std::string& bench, const std::string& counter,
                        double median) const {
    double spread = 0;
    auto it = g_runs.find(bench);
    if (it == g_runs.end() || median <= 0) return 0;
    for (const SAMPLE& r : it->second) {
      auto rc = r.counters.find(counter);
      if (rc != r.counters.end()) spread = std::max(spread, std::abs(rc->second - median));
    }
    return 100 * spread / median;
  }

  // A per-turn ratio of a paired benchmark: the median of the undisturbed
  // repetitions' and, after "+-", the farthest repetition's own from it;
  // marked above `target`.
  std::vector<std::string> paired(const std::string& bench, const std::string& counter,
                                  double target, bool* all_ok) const {
    return per_profile([&](const std::string& n) -> std::string {
      VALUE v = value(bench + "/" + n);
      auto c = v.counters.find(counter);
      if (!v.ok || c == v.counters.end() || c->second <= 0) return "-";
      double median = c->second;
      auto turns = g_repetition_turns.find(bench + "/" + n + ":" + counter);
      if (turns != g_repetition_turns.end()) median = undisturbed_ratio(turns->second);
      bool over = target > 0 && median > target;
      if (over) *all_ok = false;
      return fmt("%.3g", median) + (over ? "*" : " ") +
             fmt(" +-%.1f%%", spread_percent(bench + "/" + n, counter, median));
    });
  }

  // The middle half of the per-pair ratios within a run (median over the
  // repetitions of each quartile).
  std::vector<std::string> quartiles(const std::string& bench, const std::string& counter) const {
    return per_profile([&](const std::string& n) -> std::string {
      VALUE v = value(bench + "/" + n);
      if (!v.ok || !v.counters.count(counter + "_q1")) return "-";
      return fmt("%.3g", v.counters[counter + "_q1"]) + fmt("..%.3g", v.counters[counter + "_q3"]);
    });
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

  // A median per operation in milliseconds: a counter of a paired benchmark,
  // or (no counter) the CPU time of a plain one; 0 when missing.
  double median_value(const std::string& bench, const std::string& counter) const {
    VALUE v = value(bench);
    if (!v.ok) return 0;
    if (counter.empty()) return v.cpu_s * 1e3;
    auto c = v.counters.find(counter);
    return c == v.counters.end() ? 0 : c->second;
  }

  void print_table(std::ostream& out) const {
    print_targets(out);
    print_medians(out);
    print_memory(out);
    print_sizes(out);
    print_growth(out);
  }

  void print_targets(std::ostream& out) const {
    out << "\n==== libtdr against the XML library (medians per turn of the undisturbed repetitions; CPU time) ====\n";
    row(out, "", per_profile([](const std::string& n) { return n; }), "");
    struct TARGET {
      const char* label;
      const char* bench;  // a paired benchmark, or "memory/OP"
      const char* counter;
      double target;  // 0: none
      const char* note;
    };
    const TARGET rows[] = {
        {"open / A (xerces parse)", "open_paired", "open_per_parse", 1.2, ""},
        {"  middle half of the pairs", "open_paired", "open_per_parse", -1, ""},
        {"save / B (xerces serialise)", "save_paired", "save_per_B", 0.3, ""},
        {"save without sync / B", "save_paired", "nosync_per_B", 0, "(the sync's cost)"},
        {"peak memory open / A's", "memory/open", "", 1.3, ""},
        {"peak memory open+save / A's", "memory/open_save", "", 1.3, ""},
        {"trigger fingerprints / open", "open_paired", "crc_per_open", 0, ""},
        {"condition round trips / open", "open_paired", "cond_per_open", 0.1, ""},
        {"view walk / open", "open_paired", "walk_per_open", 0, ""},
        {"editing load / open", "tx_load", "per_open", 0.3, ""},
        {"no-edit commit / open", "tx_commit", "per_open", 0.5, ""},
        {"rename + commit / open", "tx_edit_commit", "per_open", 0.5, ""},
        {"editor open / data open", "tx_session_open", "per_open", 1.5, ""},
        {"editor commit+save / open", "tx_session_save", "per_open", 1.0, ""},
        {"trigger working copies init / open", "tx_trigger_init", "per_open", 0.5, ""},
        {"trigger commits into new / open", "tx_trigger_commit", "per_open", 0.5, ""},
        {"replay / the calls made directly", "replay_paired", "per_direct", 1.11,
         "(1.11: parse and dispatch are 10% of the replay)"},
        {"  script reading / replay", "replay_paired", "parse_share", 0, ""},
    };
    for (const TARGET& t : rows) {
      bool ok = true;
      std::string bench = t.bench;
      std::vector<std::string> cells;
      if (t.target < 0)
        cells = quartiles(bench, t.counter);
      else if (bench.compare(0, 7, "memory/") == 0)
        cells = memory_ratio(bench.substr(7), t.target, &ok);
      else
        cells = paired(bench, t.counter, t.target, &ok);
      std::string note = t.note;
      if (t.target > 0)
        note = fmt("target <= %.2f: ", t.target) + (ok ? "met" : "MISSED (* = above)") +
               (note.empty() ? "" : " " + note);
      row(out, t.label, cells, note);
    }
    out << "(+-: the farthest repetition's distance from it, in percent)\n";
  }

  void print_medians(std::ostream& out) const {
    out << "\nAbsolute medians (CPU ms per operation; wall ms in brackets for the plain "
           "benchmarks)\n";
    for (const char* b : {"A_xerces_parse", "B_xerces_serialize", "open_close"}) {
      row(out, b, per_profile([&](const std::string& n) -> std::string {
            VALUE x = value(std::string(b) + "/" + n);
            if (!x.ok) return "n/a";
            return fmt("%.3f", x.cpu_s * 1e3) + fmt(" [%.1f]", x.real_s * 1e3);
          }),
          "");
    }
    struct COUNTER {
      const char* bench;
      const char* counter;
    };
    for (const COUNTER& c :
         {COUNTER{"open_paired", "parse_ms"}, COUNTER{"open_paired", "open_ms"},
          COUNTER{"open_paired", "walk_ms"}, COUNTER{"open_paired", "crc_ms"},
          COUNTER{"open_paired", "cond_ms"}, COUNTER{"save_paired", "save_ms"},
          COUNTER{"save_paired", "nosync_ms"}, COUNTER{"save_paired", "B_ms"},
          COUNTER{"tx_load", "op_ms"}, COUNTER{"tx_commit", "op_ms"},
          COUNTER{"tx_edit_commit", "op_ms"}, COUNTER{"tx_session_open", "op_ms"},
          COUNTER{"tx_session_save", "op_ms"}, COUNTER{"tx_trigger_init", "op_ms"},
          COUNTER{"tx_trigger_commit", "op_ms"}, COUNTER{"replay_paired", "replay_ms"},
          COUNTER{"replay_paired", "direct_ms"}}) {
      row(out, std::string(c.bench) + " " + c.counter,
          per_profile([&](const std::string& n) -> std::string {
            double ms = median_value(std::string(c.bench) + "/" + n, c.counter);
            return ms > 0 ? fmt("%.3f", ms) : "n/a";
          }),
          "");
    }
    row(out, "tx_trigger_set_condition (us)", per_profile([&](const std::string& n) -> std::string {
          VALUE x = value("tx_trigger_set_condition/" + n);
          if (!x.ok) return "n/a";
          return fmt("%.3f", x.cpu_s * 1e6);
        }),
        "one condition: flat across profiles");
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
  // grow tenfold and more. Two profiles are two benchmarks, so these move
  // with the machine's load; the 1.5 mark leaves room for that.
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
      const char* label;
      const char* bench;
      const char* counter;  // "": the benchmark's CPU time
      const char* unit;
    };
    for (const GROWTH& g :
         {GROWTH{"A_xerces_parse", "A_xerces_parse", "", "bytes"},
          GROWTH{"B_xerces_serialize", "B_xerces_serialize", "", "bytes"},
          GROWTH{"open_close", "open_close", "", "bytes"},
          GROWTH{"save", "save_paired", "save_ms", "bytes"},
          GROWTH{"view walk", "open_paired", "walk_ms", "view_nodes"},
          GROWTH{"trigger fingerprints", "open_paired", "crc_ms", "signals"},
          GROWTH{"conditions", "open_paired", "cond_ms", "condition_chars"}}) {
      bool linear = true, any = false;
      std::vector<std::string> cells = per_profile([&](const std::string& n) -> std::string {
        std::string base_name = base_of[family(n)];
        VALUE base = value("A_xerces_parse/" + base_name), x = value("A_xerces_parse/" + n);
        double ux = x.counters[g.unit], ub = base.counters[g.unit];
        double tx = median_value(std::string(g.bench) + "/" + n, g.counter);
        double tb = median_value(std::string(g.bench) + "/" + base_name, g.counter);
        if (ux <= 0 || ub <= 0 || tx <= 0 || tb <= 0) return "n/a";
        double r = (tx / ux) / (tb / ub);
        if (r > 1.5) linear = false;
        any = true;
        return fmt("%.2f", r);
      });
      row(out, std::string(g.label) + " per " + g.unit, cells,
          !any ? "" : (linear ? "linear" : "NOT LINEAR"));
    }
  }

  // Node list rows: each edit on the large list against the same edit on the
  // small one, and undoing then redoing 1,000 user actions against doing them,
  // both ratios taken per iteration.
  void print_node_list_table(std::ostream& out) const {
    if (!value("node_list/rename").ok) return;
    out << "\nNode list (us per edit, steady clock; " << g_node_list_sizes[1] << " against "
        << g_node_list_sizes[0] << " nodes, target <= 12)\n";
    bool all_ok = true;
    for (const char* op : NODE_LIST_OPS) {
      std::string bench = std::string("node_list/") + op;
      double small = median_value(bench, "small_ms"), large = median_value(bench, "large_ms");
      double growth = median_value(bench, "growth");
      char buf[160];
      if (growth <= 0) {
        std::snprintf(buf, sizeof buf, "%-34s%16s\n", op, "n/a");
      } else {
        if (growth > 12) all_ok = false;
        std::snprintf(buf, sizeof buf, "%-34s%13.2f us%13.2f us%10.3g%s +-%.1f%%\n", op,
                      small * 1e3, large * 1e3, growth, growth > 12 ? "*" : "",
                      spread_percent(bench, "growth", growth));
      }
      out << buf;
    }
    out << "growth per edit: " << (all_ok ? "met" : "MISSED (* = above)") << "\n";
    for (int nodes : g_node_list_sizes) {
      std::string bench = "node_list/actions/" + std::to_string(nodes);
      double r = median_value(bench, "undo_redo_per_do");
      if (r <= 0) continue;
      char buf[160];
      std::snprintf(buf, sizeof buf,
                    "undo+redo / do of 1,000 actions at %6d nodes: %.3g%s +-%.1f%%  target <= 2: %s\n",
                    nodes, r, r > 2 ? "*" : "", spread_percent(bench, "undo_redo_per_do", r),
                    r > 2 ? "MISSED" : "met");
      out << buf;
    }
  }

  bool m_print;
};

bool take(const char* arg, const char* flag, std::string* value) {
  size_t n = std::strlen(flag);
  if (std::strncmp(arg, flag, n) != 0 || arg[n] != '=') return false;
  *value = arg + n + 1;
  return true;
}

// Keeps the process (the worker threads it starts too) on the first CPU it
// may use. On a small machine the disk's interrupts are handled by one CPU, and
// a thread woken on another costs the waker an interprocessor interrupt: both
// land in the timed thread's CPU time, or not, as the scheduler places it, and
// on two CPUs that moved the save without sync by up to 20% between repetitions.
void pin_to_one_cpu() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &allowed)) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) == 0)
      std::fprintf(stderr, "tdr_bench: running on CPU %d\n", cpu);
    return;
  }
}

// --tdr_table_from: the table of the figures several processes wrote, their
// repetitions pooled, and (`out`) those pooled figures in one file.
int table_of(const std::vector<std::string>& files, const std::string& out) {
  for (const std::string& f : files)
    if (!read_figures(f)) {
      std::fprintf(stderr, "tdr_bench: cannot read the figures in %s\n", f.c_str());
      return 1;
    }
  TABLE_REPORTER(true).print(std::cout);
  if (!out.empty() && !write_figures(out)) {
    std::fprintf(stderr, "tdr_bench: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
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
  measure_cpu_clock_cost();
  // Freed memory stays in this process (the memory children are separate
  // programs): the timings then measure the work, not how fast the machine
  // hands out fresh pages, which moved the open of a 288 MB profile by 40%
  // between runs on a shared virtual machine while the reads after it did not
  // move. The writers get mapped blocks back (MAPPED_BLOCKS).
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
  if (!g_spawner.start()) {
    std::fprintf(stderr, "tdr_bench: cannot start the memory spawner\n");
    return 1;
  }

  benchmark::Initialize(&argc, argv);
  bool memory = true, check = false, table = false;
  int noisy_repetitions = 0;  // 0: as many as the others
  std::string figures_out, rows = "all";
  std::vector<std::string> table_from;
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
    } else if (take(argv[i], "--tdr_node_list_sizes", &value)) {
      if (std::sscanf(value.c_str(), "%d,%d", &g_node_list_sizes[0], &g_node_list_sizes[1]) != 2 ||
          g_node_list_sizes[0] < 300 || g_node_list_sizes[1] < 300) {
        std::fprintf(stderr, "tdr_bench: --tdr_node_list_sizes wants SMALL,LARGE (300 at least)\n");
        return 2;
      }
    } else if (take(argv[i], "--tdr_replay_calls", &value)) {
      g_replay_calls = std::atoi(value.c_str());
      if (g_replay_calls < 1) {
        std::fprintf(stderr, "tdr_bench: --tdr_replay_calls wants a positive count\n");
        return 2;
      }
    } else if (take(argv[i], "--tdr_noisy_repetitions", &value)) {
      noisy_repetitions = std::atoi(value.c_str());
      if (noisy_repetitions < 1) {
        std::fprintf(stderr, "tdr_bench: --tdr_noisy_repetitions wants a positive count\n");
        return 2;
      }
    } else if (take(argv[i], "--tdr_figures_out", &value)) {
      figures_out = value;
    } else if (take(argv[i], "--tdr_table_from", &value)) {
      for (size_t at = 0; at <= value.size();) {
        size_t comma = std::min(value.find(',', at), value.size());
        if (comma > at) table_from.push_back(value.substr(at, comma - at));
        at = comma + 1;
      }
    } else if (take(argv[i], "--tdr_rows", &value)) {
      rows = value;
      if (rows != "all" && rows != "profiles" && rows != "shared") {
        std::fprintf(stderr, "tdr_bench: --tdr_rows wants all, profiles or shared\n");
        return 2;
      }
    } else if (!std::strcmp(argv[i], "--tdr_no_memory")) {
      memory = false;
    } else if (!std::strcmp(argv[i], "--tdr_table")) {
      table = true;
    } else if (!std::strcmp(argv[i], "--tdr_check")) {
      check = true;
    } else if (!std::strcmp(argv[i], "--tdr_pin_cpu")) {
      pin_to_one_cpu();
    } else {
      std::fprintf(stderr, "tdr_bench: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  if (g_profiles.empty()) {
    std::fprintf(stderr, "tdr_bench: no --tdr_profile=NAME:FILE given\n");
    return 2;
  }
  if (!table_from.empty()) return table_of(table_from, figures_out);
  for (PROFILE& p : g_profiles)
    if (!inspect(&p, check)) return 1;

  if (memory && rows != "profiles") {
    for (const PROFILE& p : g_profiles)
      for (const char* op : {"none", "xerces_parse", "open", "open_save"})
        benchmark::RegisterBenchmark(("memory/" + std::string(op) + "/" + p.name).c_str(),
                                     BM_memory, &p, std::string(op))
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
  }
  for (const PROFILE& p : g_profiles) {
    if (rows == "shared") break;
    const std::string n = "/" + p.name;
    benchmark::RegisterBenchmark(("A_xerces_parse" + n).c_str(), BM_xerces_parse, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("B_xerces_serialize" + n).c_str(), BM_xerces_serialize, &p)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("open_close" + n).c_str(), BM_open_close, &p)
        ->Unit(benchmark::kMillisecond);
    // A large profile's iteration takes seconds, so two seconds a repetition
    // would be one or two pairs: these get a fixed count instead, as do the
    // editing-layer rows, whose iterations also open the file untimed (a
    // fixed count keeps the large runs short and gives the small ones enough
    // pairs).
    bool large = p.bytes > (32 << 20);
    auto pairs = [&](benchmark::internal::Benchmark* b, int large_count) {
      b->Unit(benchmark::kMillisecond);
      if (large) b->Iterations(large_count);
      return b;
    };
    // Rows whose repetitions' medians move most from one to the next need
    // more of them for a steady figure: ratios of a few hundredths of an open
    // or less, which move by 10-20% with the heap each repetition finds, the
    // replay's script reading, and on the large profile the save, whose
    // 288 MB of page cache costs what the host lets it. The trigger working
    // copies of the large profile moved by 17% between two runs of three.
    auto noisy = [&](benchmark::internal::Benchmark* b, bool on_large) {
      if ((on_large || !large) && noisy_repetitions > 0) b->Repetitions(noisy_repetitions);
      return b;
    };
    noisy(pairs(benchmark::RegisterBenchmark(("open_paired" + n).c_str(), BM_open_paired, &p), 9),
          true);
    noisy(pairs(benchmark::RegisterBenchmark(("save_paired" + n).c_str(), BM_save_paired, &p), 7),
          true);
    for (const char* op : {"load", "commit", "edit_commit", "session_open", "session_save"}) {
      benchmark::internal::Benchmark* b =
          benchmark::RegisterBenchmark(("tx_" + std::string(op) + n).c_str(), BM_tx, &p,
                                       std::string(op))
              ->Iterations(large ? 9 : 41)
              ->Unit(benchmark::kMillisecond);
      if (std::string(op) == "commit") noisy(b, true);
      if (std::string(op) == "session_save") noisy(b, false);
    }
    noisy(pairs(benchmark::RegisterBenchmark(("tx_trigger_init" + n).c_str(), BM_tx_trigger_init,
                                             &p),
                9),
          true);
    noisy(pairs(benchmark::RegisterBenchmark(("tx_trigger_commit" + n).c_str(),
                                             BM_tx_trigger_commit, &p),
                9),
          true);
    benchmark::RegisterBenchmark(("tx_trigger_set_condition" + n).c_str(),
                                 BM_tx_trigger_set_condition, &p)
        ->Unit(benchmark::kMicrosecond);
    noisy(benchmark::RegisterBenchmark(("replay_paired" + n).c_str(), BM_replay_paired, &p)
              ->Iterations(25)
              ->Unit(benchmark::kMillisecond),
          true);
  }
  for (const char* op : NODE_LIST_OPS) {
    if (rows == "profiles") break;
    benchmark::RegisterBenchmark(("node_list/" + std::string(op)).c_str(), BM_node_list,
                                 std::string(op))
        ->Unit(benchmark::kMicrosecond);
  }
  for (int nodes : g_node_list_sizes) {
    if (rows == "profiles") break;
    benchmark::RegisterBenchmark(("node_list/actions/" + std::to_string(nodes)).c_str(),
                                 BM_node_list_actions, nodes)
        ->Unit(benchmark::kMillisecond);
  }
  TABLE_REPORTER reporter(table);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  TDR_DATA_MANAGER::shutdown();
  for (const std::string& dir : g_replay_dirs) empty_folder(dir);
  if (!figures_out.empty() && !write_figures(figures_out)) {
    std::fprintf(stderr, "tdr_bench: cannot write %s\n", figures_out.c_str());
    return 1;
  }
  return 0;
}
