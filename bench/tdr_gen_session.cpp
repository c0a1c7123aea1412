// Writes a synthetic analyser session file for the benchmarks. The output is
// deterministic for a given profile and seed and is laid out the way the
// library prints documents (two-space indentation, attributes in name order,
// normalised attribute words), so that opening and saving it is a realistic
// round trip rather than a rewrite.
//
//   tdr_gen_session --profile tiny|typical|large [--seed N] [--no-logs] --out FILE
//
// --no-logs leaves the acquired data out, so that the per-signal costs can be
// measured without the samples dominating them.
//   tdr_gen_session --list            (prints the profiles)
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct PROFILE {
  const char* name;
  int instances;
  int signals;          // tapped signals per signal set
  int levels;           // trigger levels per trigger
  int logs;             // logs per trigger
  int depth;            // sample depth of the signal set and its logs
  double cond_density;  // share of trigger wires with a condition in a level
  int tables;           // mnemonic tables in the session
  const char* summary;
};

const PROFILE k_profiles[] = {
    {"tiny", 1, 24, 2, 1, 64, 0.5, 2, "1 instance, 24 signals, 2 levels, 1 log of depth 64"},
    {"typical", 2, 256, 4, 2, 4096, 0.1, 4,
     "2 instances, 256 signals each, 4 levels, 2 logs of depth 4,096"},
    {"large", 4, 2048, 8, 4, 16384, 1.0, 32,
     "4 instances, 2,048 signals each, 8 levels with a condition on every trigger signal, "
     "buses with mnemonic tables, 4 logs of depth 16,384"},
};

// splitmix64: small, fast and the same on every platform.
class RNG {
 public:
  explicit RNG(uint64_t seed) : m_state(seed) {}
  uint64_t next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  bool chance(double p) { return (next() >> 11) * (1.0 / 9007199254740992.0) < p; }

 private:
  uint64_t m_state;
};

class OUT {
 public:
  explicit OUT(FILE* f) : m_f(f) {}
  void put(const std::string& s) { std::fwrite(s.data(), 1, s.size(), m_f); }
  void put(const char* s) { std::fputs(s, m_f); }
  void put(const char* s, size_t n) { std::fwrite(s, 1, n, m_f); }
  void indent(int depth) {
    put("\n");
    for (int i = 0; i < depth; ++i) put("  ");
  }
  bool ok() const { return !std::ferror(m_f); }

 private:
  FILE* m_f;
};

using ATTRS = std::vector<std::pair<std::string, std::string>>;

std::string escape(const std::string& s, bool attribute) {
  std::string r;
  r.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += attribute ? ">" : "&gt;"; break;
      case '"': r += attribute ? "&quot;" : "\""; break;
      default: r += c;
    }
  }
  return r;
}

// "<tag a="1" b="2"" with the attributes in name order, as the DOM keeps them.
void open_tag(OUT& out, int depth, const char* tag, ATTRS attrs) {
  std::sort(attrs.begin(), attrs.end());
  if (depth > 0) out.indent(depth);
  out.put("<");
  out.put(tag);
  for (const auto& a : attrs) {
    out.put(" ");
    out.put(a.first);
    out.put("=\"");
    out.put(escape(a.second, true));
    out.put("\"");
  }
}
void empty_element(OUT& out, int depth, const char* tag, ATTRS attrs) {
  open_tag(out, depth, tag, std::move(attrs));
  out.put("/>");
}
void start_element(OUT& out, int depth, const char* tag, ATTRS attrs) {
  open_tag(out, depth, tag, std::move(attrs));
  out.put(">");
}
void end_element(OUT& out, int depth, const char* tag) {
  out.indent(depth);
  out.put("</");
  out.put(tag);
  out.put(">");
}

// One tapped signal.
struct SIGNAL {
  std::string name;
  std::string alias;
  int capture = 0;  // 0 trigger only, 1 data only, 2 both
  const char* tap = "classic";
  const char* type = "register";
  int bus = -1;  // index into the signal set's buses, -1 for a single net
  bool connected = true;
  // Waveform model for the logs.
  int kind = 0;        // 0 clock, 1 counter bit, 2 random toggling, 3 mostly constant
  int period = 1;      // clock half period
  bool level = false;  // current value while generating
};

struct BUS {
  std::string name;
  std::string alias;
  int first, width;  // signals [first, first + width)
  const char* radix;
  std::string table;  // mnemonic table, empty when none
  bool lsb_to_msb;
  bool expanded;
};

struct TABLE {
  std::string name;
  int width;
  std::vector<std::pair<std::string, std::string>> symbols;  // symbol, value
};

const char* const k_modules[] = {"cpu_core", "dma_ctrl", "ddr_phy", "pcie_ep", "uart_rx",
                                 "eth_mac",  "fifo_sync", "arbiter", "crc_gen", "spi_master"};
const char* const k_regs[] = {"state_q", "data_q",  "addr_q", "count_q", "opcode",
                              "wr_ptr",  "rd_ptr",  "status", "len_q",   "tag_q"};
const char* const k_bits[] = {"valid", "ready", "busy", "irq", "req", "gnt", "ack", "err", "done"};
const char* const k_types[] = {"register", "register", "register", "combinatorial", "input pin",
                               "output pin", "state machine"};
const char* const k_radix[] = {"hex", "bin", "unsigned_dec", "signed_dec", "oct"};
const char* const k_conditions[] = {"high", "low", "rising edge", "falling edge", "either edge"};

std::vector<TABLE> make_tables(RNG& rng, int count) {
  std::vector<TABLE> tables;
  const int widths[] = {4, 8};
  for (int t = 0; t < count; ++t) {
    TABLE table;
    table.name = "mnem_" + std::to_string(t);
    table.width = widths[t % 2];
    int entries = table.width == 4 ? 16 : 32;
    for (int e = 0; e < entries; ++e) {
      std::string value;
      uint64_t bits = rng.next();
      for (int b = 0; b < table.width; ++b) value += (bits >> b) & 1 ? '1' : '0';
      if (e % 7 == 6) value[0] = 'X';  // a few patterns
      table.symbols.emplace_back("SYM_" + std::to_string(t) + "_" + std::to_string(e), value);
    }
    tables.push_back(std::move(table));
  }
  return tables;
}

void make_signals(RNG& rng, const PROFILE& p, const std::vector<TABLE>& tables,
                  std::vector<SIGNAL>* signals, std::vector<BUS>* buses) {
  int serial = 0;
  while (static_cast<int>(signals->size()) < p.signals) {
    int room = p.signals - static_cast<int>(signals->size());
    std::string path = std::string("top|") + k_modules[rng.below(10)] + ":u" +
                       std::to_string(rng.below(4)) + "|";
    // Capture mix: 3/8 both, 1/2 trigger only, 1/8 data only, so the data
    // list is half the signals and the trigger list seven eighths.
    int r = rng.below(8);
    int capture = r < 3 ? 2 : (r < 7 ? 0 : 1);
    const char* tap = rng.chance(0.05) ? (rng.chance(0.5) ? "advanced" : "probeonly") : "classic";
    const char* type = k_types[rng.below(7)];
    bool single = rng.chance(0.3) || room < 4;
    if (single) {
      SIGNAL s;
      s.name = path + k_bits[rng.below(9)] + "_" + std::to_string(serial++);
      if (rng.chance(0.1)) s.alias = "sig_" + std::to_string(serial);
      s.capture = capture;
      s.tap = tap;
      s.type = type;
      s.bus = -1;
      s.connected = std::strcmp(tap, "classic") == 0 || rng.chance(0.8);
      signals->push_back(std::move(s));
      continue;
    }
    const int widths[] = {4, 8, 8, 16, 32};
    int width = std::min(widths[rng.below(5)], room);
    BUS bus;
    bus.name = path + k_regs[rng.below(10)] + "_" + std::to_string(serial++);
    if (rng.chance(0.2)) bus.alias = "bus_" + std::to_string(serial);
    bus.first = static_cast<int>(signals->size());
    bus.width = width;
    bus.radix = k_radix[rng.below(5)];
    bus.lsb_to_msb = rng.chance(0.8);
    bus.expanded = rng.chance(0.3);
    if ((width == 4 || width == 8) && !tables.empty() && rng.chance(0.5)) {
      // A table of the bus's width.
      int t = rng.below(static_cast<int>(tables.size()));
      if (tables[t].width != width) t = (t + 1) % static_cast<int>(tables.size());
      if (tables[t].width == width) bus.table = tables[t].name;
    }
    for (int b = 0; b < width; ++b) {
      SIGNAL s;
      s.name = bus.name + "[" + std::to_string(b) + "]";
      s.capture = capture;
      s.tap = tap;
      s.type = type;
      s.bus = static_cast<int>(buses->size());
      s.connected = std::strcmp(tap, "classic") == 0 || rng.chance(0.8);
      signals->push_back(std::move(s));
    }
    buses->push_back(std::move(bus));
  }
  for (SIGNAL& s : *signals) {
    s.kind = rng.below(4);
    s.period = 1 << rng.below(8);
    s.level = rng.chance(0.5);
  }
}

void write_wire(OUT& out, int depth, const SIGNAL& s) {
  ATTRS a = {{"name", s.name},
             {"tap_mode", s.tap},
             {"connection_status", s.connected ? "true" : "false"},
             {"type", s.type}};
  if (!s.alias.empty()) a.emplace_back("alias", s.alias);
  empty_element(out, depth, "wire", std::move(a));
}

// One view: buses and single nets in signal order, over the signals the view
// lists (trigger wires for the setup view, data wires for the data view).
void write_view(OUT& out, int depth, const char* tag, const std::vector<SIGNAL>& signals,
                const std::vector<BUS>& buses, bool setup) {
  auto listed = [&](const SIGNAL& s) { return setup ? s.capture != 1 : s.capture != 0; };
  bool any = false;
  for (const SIGNAL& s : signals) any = any || listed(s);
  if (!any) {
    empty_element(out, depth, tag, {});
    return;
  }
  start_element(out, depth, tag, {});
  for (size_t i = 0; i < signals.size();) {
    const SIGNAL& s = signals[i];
    if (!listed(s)) {
      ++i;
      continue;
    }
    if (s.bus < 0) {
      empty_element(out, depth + 1, "net", {{"name", s.name}});
      ++i;
      continue;
    }
    const BUS& b = buses[s.bus];
    ATTRS a = {{"name", b.name},
               {"radix", b.radix},
               {"order", b.lsb_to_msb ? "lsb_to_msb" : "msb_to_lsb"},
               {"state", b.expanded ? "expand" : "collapse"},
               {"type", s.type}};
    if (!b.alias.empty()) a.emplace_back("alias", b.alias);
    if (!b.table.empty()) a.emplace_back("mnemonics", b.table);
    start_element(out, depth + 1, "bus", std::move(a));
    for (int k = 0; k < b.width; ++k)
      empty_element(out, depth + 2, "net", {{"name", signals[b.first + k].name}});
    end_element(out, depth + 1, "bus");
    i = static_cast<size_t>(b.first + b.width);
  }
  end_element(out, depth, tag);
}

std::string condition_text(RNG& rng, const std::vector<const SIGNAL*>& trigger_wires,
                           double density) {
  std::string text;
  for (const SIGNAL* s : trigger_wires) {
    if (density < 1.0 && !rng.chance(density)) continue;
    if (!text.empty()) text += " && ";
    text += "'";
    text += s->alias.empty() ? s->name : s->alias;
    text += "' == ";
    text += k_conditions[rng.below(5)];
  }
  return text;
}

// depth x width characters, row after row, each wire following its model.
void write_samples(OUT& out, RNG& rng, std::vector<SIGNAL*>& data_wires, int depth) {
  std::vector<char> row(data_wires.size());
  for (int s = 0; s < depth; ++s) {
    uint64_t bits = 0;
    int left = 0;
    for (size_t w = 0; w < data_wires.size(); ++w) {
      SIGNAL& sig = *data_wires[w];
      switch (sig.kind) {
        case 0: sig.level = (s / sig.period) & 1; break;
        case 1: sig.level = (s >> (w % 16)) & 1; break;
        case 2:
          if (left == 0) {
            bits = rng.next();
            left = 64;
          }
          if ((bits & 7) == 0) sig.level = !sig.level;
          bits >>= 3;
          left = left >= 3 ? left - 3 : 0;
          break;
        default:
          if (rng.below(997) == 0) sig.level = !sig.level;
      }
      row[w] = sig.level ? '1' : '0';
    }
    out.put(row.data(), row.size());
  }
}

void write_instance(OUT& out, RNG& rng, const PROFILE& p, const std::vector<TABLE>& tables,
                    int index) {
  std::string name = "auto_tavrin_" + std::to_string(index);
  start_element(out, 1, "instance",
                {{"name", name},
                 {"entity_name", "hdx_tavrin"},
                 {"source_file", "hdx_tavrin.vhd"},
                 {"is_expanded", "true"},
                 {"is_auto_node", "yes"},
                 {"compilation_mode", index % 2 ? "incremental" : "full"}});
  empty_element(out, 2, "node_ip_info",
                {{"mfg_id", "110"},
                 {"node_id", "0"},
                 {"version", "4"},
                 {"instance_id", std::to_string(index)}});

  std::vector<SIGNAL> signals;
  std::vector<BUS> buses;
  make_signals(rng, p, tables, &signals, &buses);
  std::vector<const SIGNAL*> trigger_wires;
  std::vector<SIGNAL*> data_wires;
  for (SIGNAL& s : signals) {
    if (s.capture != 1) trigger_wires.push_back(&s);
    if (s.capture != 0) data_wires.push_back(&s);
  }

  start_element(out, 2, "signal_set", {{"name", "signal_set_" + std::to_string(index)},
                                       {"is_expanded", "true"}});
  empty_element(out, 3, "clock", {{"name", "top|clk_sys"}, {"polarity", "posedge"}});
  empty_element(out, 3, "config",
                {{"sample_depth", std::to_string(p.depth)},
                 {"ram_type", "MIDRAM"},
                 {"trigger_in_enable", "no"},
                 {"trigger_out_enable", "yes"},
                 {"trigger_out_pin", "auto_tvf_trigger_out"}});
  empty_element(out, 3, "top_entity", {{"name", "top"}});
  start_element(out, 3, "signal_vec", {});
  start_element(out, 4, "trigger_input_vec", {});
  for (const SIGNAL* s : trigger_wires) write_wire(out, 5, *s);
  end_element(out, 4, "trigger_input_vec");
  start_element(out, 4, "data_input_vec", {});
  for (const SIGNAL* s : data_wires) write_wire(out, 5, *s);
  end_element(out, 4, "data_input_vec");
  end_element(out, 3, "signal_vec");
  start_element(out, 3, "presentation", {});
  write_view(out, 4, "data_view", signals, buses, false);
  write_view(out, 4, "setup_view", signals, buses, true);
  end_element(out, 3, "presentation");

  ATTRS trig = {{"name", "trigger_0"},
                {"is_expanded", "true"},
                {"power_up_trigger_mode", "false"},
                {"segment_size", "1"},
                {"trigger_type", "circular"},
                {"position", "pre"},
                {"trigger_in", "dont_care"},
                {"trigger_out", "active high"}};
  start_element(out, 3, "trigger", std::move(trig));
  empty_element(out, 4, "power_up_trigger",
                {{"segment_size", "1"},
                 {"trigger_type", "circular"},
                 {"position", "pre"},
                 {"trigger_in", "dont_care"},
                 {"trigger_out", "active high"}});
  start_element(out, 4, "events", {});
  for (int level = 0; level < p.levels; ++level) {
    start_element(out, 5, "level", {{"enabled", "yes"}, {"type", "basic"}});
    out.put(escape(condition_text(rng, trigger_wires, p.cond_density), false));
    empty_element(out, 6, "power_up", {{"enabled", "yes"}});
    end_element(out, 5, "level");
  }
  end_element(out, 4, "events");
  for (int log = 0; log < p.logs; ++log) {
    open_tag(out, 4, "data",
             {{"name", "log_" + std::to_string(log)},
              {"sample_depth", std::to_string(p.depth)},
              {"trigger_position", std::to_string(p.depth / 8)},
              {"power_up_mode", "false"}});
    out.put(">");
    write_samples(out, rng, data_wires, p.depth);
    out.put("</data>");
  }
  end_element(out, 3, "trigger");
  end_element(out, 2, "signal_set");

  start_element(out, 2, "position_info", {});
  empty_element(out, 3, "single", {{"attribute", "splitter"}, {"value", "240"}});
  end_element(out, 2, "position_info");
  end_element(out, 1, "instance");
}

int usage() {
  std::fprintf(stderr,
               "usage: tdr_gen_session --profile tiny|typical|large [--seed N] [--no-logs] "
               "--out FILE\n"
               "       tdr_gen_session --list\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* profile_name = nullptr;
  const char* out_name = nullptr;
  uint64_t seed = 1;
  bool logs = true;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--no-logs") {
      logs = false;
      continue;
    }
    if (arg == "--list") {
      for (const PROFILE& p : k_profiles) std::printf("%-8s %s\n", p.name, p.summary);
      return 0;
    }
    if (i + 1 >= argc) return usage();
    if (arg == "--profile") {
      profile_name = argv[++i];
    } else if (arg == "--out") {
      out_name = argv[++i];
    } else if (arg == "--seed") {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      return usage();
    }
  }
  if (!profile_name || !out_name) return usage();
  const PROFILE* p = nullptr;
  PROFILE chosen;
  for (const PROFILE& candidate : k_profiles)
    if (std::strcmp(candidate.name, profile_name) == 0) {
      chosen = candidate;
      if (!logs) chosen.logs = 0;
      p = &chosen;
    }
  if (!p) {
    std::fprintf(stderr, "tdr_gen_session: unknown profile '%s'\n", profile_name);
    return 2;
  }
  FILE* f = std::fopen(out_name, "wb");
  if (!f) {
    std::fprintf(stderr, "tdr_gen_session: cannot write %s: %s\n", out_name, std::strerror(errno));
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
  OUT out(f);
  RNG rng(seed * 0x100000001B3ull + 7);

  std::vector<TABLE> tables = make_tables(rng, p->tables);
  start_element(out, 0, "session", {{"jtag_chain", "USB-Blaster [1-1]"},
                                    {"jtag_device", "@1: VX4200 (0x020F30DD)"},
                                    {"kfb_file", ""}});
  start_element(out, 1, "display_tree", {{"gui_logging_enabled", "1"}});
  for (int i = 0; i < p->instances; ++i)
    empty_element(out, 2, "display_branch",
                  {{"instance", "auto_tavrin_" + std::to_string(i)},
                   {"signal_set", "signal_set_" + std::to_string(i)},
                   {"trigger", "trigger_0"},
                   {"log", "log_0"}});
  end_element(out, 1, "display_tree");
  for (int i = 0; i < p->instances; ++i) write_instance(out, rng, *p, tables, i);
  if (!tables.empty()) {
    start_element(out, 1, "mnemonics", {});
    for (const TABLE& t : tables) {
      start_element(out, 2, "table", {{"name", t.name}, {"width", std::to_string(t.width)}});
      for (const auto& s : t.symbols)
        empty_element(out, 3, "symbol", {{"name", s.first}, {"value", s.second}});
      end_element(out, 2, "table");
    }
    end_element(out, 1, "mnemonics");
  }
  start_element(out, 1, "global_info", {});
  empty_element(out, 2, "single", {{"attribute", "zoom"}, {"value", "4"}});
  empty_element(out, 2, "multi",
                {{"attribute", "columns"}, {"size", "3"}, {"value", "120,80,300"}});
  end_element(out, 1, "global_info");
  end_element(out, 0, "session");
  out.put("\n");
  bool ok = out.ok();
  if (std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "tdr_gen_session: error writing %s\n", out_name);
    return 1;
  }
  return 0;
}
