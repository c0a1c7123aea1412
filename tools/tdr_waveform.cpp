// Waveforms of acquisition logs as VCD, CSV and SVG.
#include "tdr_waveform.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tdr_data_log.h"
#include "tdr_data_mnemonics.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_xml_util.h"

namespace {

const char* wire_label(const TDR_DATA_SIGNAL_WIRE* w) {
  const char* alias = w->get_alias();
  if (alias && *alias) return alias;
  return w->get_name() ? w->get_name() : "";
}

// The data-wire indices of a bus's members, bit 0 first.
std::vector<int> bus_members(const TDR_DATA_SIGNAL_VIEW_NODE& bus) {
  std::vector<int> members;
  for (TDR_DATA_SIGNAL_VIEW_NODE m = bus.get_first_child(); !m.is_null();
       m = m.get_next_sibling()) {
    if (m.is_bus()) continue;
    TDR_DATA_SIGNAL_WIRE* w = m.get_data_wire(false);
    if (w && w->get_data_wire_index() >= 0) members.push_back(w->get_data_wire_index());
  }
  if (!bus.is_lsb_to_msb()) std::reverse(members.begin(), members.end());
  return members;
}

// Collects every bus below `node` (buses may nest).
void collect_buses(const TDR_DATA_SIGNAL_VIEW_NODE& first,
                   std::vector<TDR_DATA_SIGNAL_VIEW_NODE>* out) {
  std::vector<TDR_DATA_SIGNAL_VIEW_NODE> pending{first};
  while (!pending.empty()) {
    TDR_DATA_SIGNAL_VIEW_NODE n = pending.back();
    pending.pop_back();
    for (; !n.is_null(); n = n.get_next_sibling()) {
      if (!n.is_bus()) continue;
      out->push_back(n);
      pending.push_back(n.get_first_child());
    }
  }
}

}  // namespace

WAVEFORM::WAVEFORM(TDR_DATA_LOG* log, TDR_DATA_MNEMONICS* mnemonics)
    : m_log(log), m_mnemonics(mnemonics) {
  m_depth = std::max(0, log->get_data_sample_depth());
  m_end = m_depth;
  m_trigger = log->get_data_trigger_position();
  m_segment = log->get_data_segment_size() > 0 ? log->get_data_segment_size() : 0;
  TDR_DATA_SIGNAL_SET* set = log->get_signal_set();
  if (!set) return;
  for (int i = 0; i < set->get_data_wire_width(); ++i) {
    WAVE_SIGNAL s;
    s.name = wire_label(set->get_data_wire_at(i));
    if (const char* name = set->get_data_wire_at(i)->get_name()) s.other_name = name;
    s.wires.push_back(i);
    m_signals.push_back(s);
  }
  std::vector<TDR_DATA_SIGNAL_VIEW_NODE> buses;
  if (TDR_DATA_SIGNAL_VIEW* view = set->get_data_view())
    collect_buses(view->get_first_node(), &buses);
  for (const TDR_DATA_SIGNAL_VIEW_NODE& bus : buses) {
    WAVE_SIGNAL s;
    s.bus = true;
    const char* alias = bus.get_alias();
    s.name = alias && *alias ? alias : bus.get_name() ? bus.get_name() : "";
    if (bus.get_name()) s.other_name = bus.get_name();
    s.wires = bus_members(bus);
    if (s.wires.empty()) continue;
    s.radix = bus.get_bus_display_type();
    if (const char* table = bus.get_mnemonics_table()) s.table = table;
    m_signals.push_back(s);
  }
}

bool WAVEFORM::bit(int wire, int sample) const { return m_log->get_bit(wire, sample); }

unsigned long long WAVEFORM::value(const WAVE_SIGNAL& s, int sample) const {
  unsigned long long v = 0;
  for (size_t b = 0; b < s.wires.size() && b < 64; ++b)
    if (bit(s.wires[b], sample)) v |= 1ull << b;
  return v;
}

std::string WAVEFORM::binary(const WAVE_SIGNAL& s, int sample) const {
  std::string out;
  for (size_t b = s.wires.size(); b-- > 0;) out.push_back(bit(s.wires[b], sample) ? '1' : '0');
  return out;
}

std::string WAVEFORM::format(const WAVE_SIGNAL& s, int sample) const {
  unsigned long long v = value(s, sample);
  size_t width = std::min<size_t>(s.wires.size(), 64);
  char buf[80];
  if (!s.table.empty() && m_mnemonics) {
    if (TDR_DATA_MNEMONICS_TABLE* table = m_mnemonics->find_table(s.table.c_str())) {
      // Table values list bit 0 first, as trigger conditions read them.
      std::string bits;
      for (size_t b = 0; b < s.wires.size(); ++b)
        bits.push_back(bit(s.wires[b], sample) ? '1' : '0');
      if (const char* symbol = table->get_first_symbol(bits.c_str())) return symbol;
    }
  }
  switch (s.radix) {
    case TDR_GTYPE_BIN_DISPLAY:
      return binary(s, sample);
    case TDR_GTYPE_OCT_DISPLAY:
      std::snprintf(buf, sizeof buf, "%llo", v);
      return buf;
    case TDR_GTYPE_UNSIGNED_DEC_DISPLAY:
    case TDR_GTYPE_BAR_DISPLAY:
    case TDR_GTYPE_LINE_DISPLAY:
      std::snprintf(buf, sizeof buf, "%llu", v);
      return buf;
    case TDR_GTYPE_SIGNED_DEC_DISPLAY:
    case TDR_GTYPE_BAR_SIGNED_DISPLAY:
    case TDR_GTYPE_LINE_SIGNED_DISPLAY: {
      long long sv = (long long)v;
      if (width > 0 && width < 64 && (v >> (width - 1)) & 1) sv = (long long)(v - (1ull << width));
      std::snprintf(buf, sizeof buf, "%lld", sv);
      return buf;
    }
    case TDR_GTYPE_SIGN_MAGNITUDE_DEC_DISPLAY: {
      unsigned long long magnitude = width > 1 ? v & ((1ull << (width - 1)) - 1) : 0;
      bool negative = width > 0 && ((v >> (width - 1)) & 1);
      std::snprintf(buf, sizeof buf, "%s%llu", negative ? "-" : "", magnitude);
      return buf;
    }
    case TDR_GTYPE_ASCII_DISPLAY: {
      std::string text;
      for (size_t b = 0; b + 8 <= width; b += 8) {
        char c = char((v >> b) & 0xFF);
        text.insert(text.begin(), c >= 32 && c < 127 ? c : '.');
      }
      return text.empty() ? "." : text;
    }
    default:
      std::snprintf(buf, sizeof buf, "%llX", v);
      return buf;
  }
}

// ---- VCD ----

namespace {

std::string vcd_id(size_t n) {
  std::string id;
  do {
    id.push_back(char(33 + n % 94));
    n /= 94;
  } while (n);
  return id;
}

// VCD names carry no blanks; a trailing "[n]" stays a bit select.
std::string vcd_name(const std::string& name) {
  std::string out;
  for (char c : name)
    out.push_back(std::isalnum((unsigned char)c) || c == '_' || c == '[' || c == ']' ? c : '_');
  return out.empty() ? "_" : out;
}

}  // namespace

void write_vcd(const WAVEFORM& wave, const std::string& scope, FILE* out) {
  const std::vector<WAVE_SIGNAL>& sig = wave.signals();
  std::fprintf(out, "$version tdr export $end\n");
  std::fprintf(out, "$comment one time unit per sample of the acquisition clock $end\n");
  std::fprintf(out, "$timescale 1 ns $end\n");
  std::fprintf(out, "$scope module %s $end\n", vcd_name(scope).c_str());
  for (size_t i = 0; i < sig.size(); ++i) {
    std::string name = vcd_name(sig[i].name);
    if (sig[i].bus) {
      // A bus name with its own "[a..b]" would clash with the vector range.
      name = name.substr(0, name.find('['));
      std::fprintf(out, "$var wire %zu %s %s [%zu:0] $end\n", sig[i].wires.size(),
                   vcd_id(i).c_str(), name.c_str(), sig[i].wires.size() - 1);
    } else {
      std::fprintf(out, "$var wire 1 %s %s $end\n", vcd_id(i).c_str(), name.c_str());
    }
  }
  std::string trigger_id = vcd_id(sig.size()), segment_id = vcd_id(sig.size() + 1);
  std::fprintf(out, "$var wire 1 %s trigger $end\n", trigger_id.c_str());
  if (wave.segment_size() > 0)
    std::fprintf(out, "$var integer 32 %s segment $end\n", segment_id.c_str());
  std::fprintf(out, "$upscope $end\n$enddefinitions $end\n");

  std::vector<std::string> last(sig.size());
  std::string last_trigger, last_segment;
  for (int s = wave.first(); s < wave.end(); ++s) {
    std::string lines;
    for (size_t i = 0; i < sig.size(); ++i) {
      std::string v = sig[i].bus ? "b" + wave.binary(sig[i], s) + " "
                                 : (wave.bit(sig[i].wires[0], s) ? "1" : "0");
      if (v == last[i]) continue;
      last[i] = v;
      lines += v + vcd_id(i) + "\n";
    }
    std::string t = s == wave.trigger_sample() ? "1" : "0";
    if (t != last_trigger) lines += t + trigger_id + "\n";
    last_trigger = t;
    if (wave.segment_size() > 0) {
      std::string seg = "b";
      int number = s / wave.segment_size();
      for (int b = 31; b >= 0; --b) seg.push_back((number >> b) & 1 ? '1' : '0');
      if (seg != last_segment) lines += seg + " " + segment_id + "\n";
      last_segment = seg;
    }
    if (s == wave.first())
      std::fprintf(out, "#%d\n$dumpvars\n%s$end\n", s, lines.c_str());
    else if (!lines.empty())
      std::fprintf(out, "#%d\n%s", s, lines.c_str());
  }
  std::fprintf(out, "#%d\n", wave.end());
}

// ---- CSV ----

namespace {

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

void write_csv(const WAVEFORM& wave, FILE* out) {
  std::fprintf(out, "sample,trigger");
  if (wave.segment_size() > 0) std::fprintf(out, ",segment");
  for (const WAVE_SIGNAL& s : wave.signals()) std::fprintf(out, ",%s", csv_field(s.name).c_str());
  std::fprintf(out, "\n");
  for (int i = wave.first(); i < wave.end(); ++i) {
    std::fprintf(out, "%d,%d", i, i == wave.trigger_sample() ? 1 : 0);
    if (wave.segment_size() > 0) std::fprintf(out, ",%d", i / wave.segment_size());
    for (const WAVE_SIGNAL& s : wave.signals())
      std::fprintf(out, ",%s",
                   s.bus ? csv_field(wave.format(s, i)).c_str()
                         : wave.bit(s.wires[0], i) ? "1" : "0");
    std::fprintf(out, "\n");
  }
}

// ---- SVG ----

namespace {

// Where the parts of the picture go.
struct SVG_LAYOUT {
  static const int label_width = 220, row = 28, top = 48, trace = 16;
  int first = 0;  // the window's first sample
  int depth = 1;  // samples in the window
  double step = 1;  // pixels per sample
  int width = 0, height = 0;

  explicit SVG_LAYOUT(const WAVEFORM& wave) {
    first = wave.first();
    depth = std::max(1, wave.end() - first);
    // Wide enough to read a few hundred samples, bounded for deep logs.
    step = std::max(0.5, std::min(16.0, 1600.0 / depth));
    width = label_width + int(step * depth) + 20;
    height = top + row * int(wave.signals().size()) + 30;
  }
  // The left edge of sample `sample` (a number of the whole log).
  double x(int sample) const { return label_width + (sample - first) * step; }
};

// A vertical line at `x` across the traces, with extra attributes.
void svg_rule(const SVG_LAYOUT& l, double x, const char* attributes, FILE* out) {
  std::fprintf(out, "<line x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\" %s/>\n", x, l.top - 8, x,
               l.height - 24, attributes);
}

void svg_header(const SVG_LAYOUT& l, const std::string& title, FILE* out) {
  std::fprintf(out,
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
               "viewBox=\"0 0 %d %d\" font-family=\"monospace\" font-size=\"12\">\n",
               l.width, l.height, l.width, l.height);
  std::fprintf(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
  std::fprintf(out, "<text x=\"8\" y=\"20\" font-size=\"14\" font-weight=\"bold\">%s</text>\n",
               tdr_xml_escape_utf8(title).c_str());
}

// The sample scale every 10 % of the depth, and the segment boundaries.
void svg_scale(const WAVEFORM& wave, const SVG_LAYOUT& l, FILE* out) {
  int tick = std::max(1, l.depth / 10);
  for (int s = l.first; s <= l.first + l.depth; s += tick) {
    svg_rule(l, l.x(s), "stroke=\"#ddd\"", out);
    std::fprintf(out, "<text x=\"%.1f\" y=\"%d\" fill=\"#666\" font-size=\"10\">%d</text>\n",
                 l.x(s) + 2, l.top - 10, s);
  }
  const int segment = wave.segment_size();
  if (segment > 0)
    for (int s = (l.first / segment + 1) * segment; s < wave.end(); s += segment)
      svg_rule(l, l.x(s), "stroke=\"#36c\" stroke-dasharray=\"2,3\"", out);
}

// A scalar as a line between its low and high levels, `y` the row's top.
void svg_scalar(const WAVEFORM& wave, const WAVE_SIGNAL& s, const SVG_LAYOUT& l, int y,
                FILE* out) {
  const int high = y + 4, low = y + 4 + l.trace;
  std::string points;
  char buf[64];
  bool prev = false;
  for (int k = wave.first(); k < wave.end(); ++k) {
    bool v = wave.bit(s.wires[0], k);
    double x = l.x(k);
    int yv = v ? high : low;
    if (k > wave.first() && v != prev) {
      std::snprintf(buf, sizeof buf, "%.1f,%d ", x, prev ? high : low);
      points += buf;
    }
    std::snprintf(buf, sizeof buf, "%.1f,%d %.1f,%d ", x, yv, x + l.step, yv);
    points += buf;
    prev = v;
  }
  std::fprintf(out,
               "<polyline fill=\"none\" stroke=\"#080\" stroke-width=\"1.5\" points=\"%s\"/>\n",
               points.c_str());
}

// A bus label for a box `width` wide: whole when it fits, else cut (at a
// character boundary) and ended with an ellipsis; empty when not even that fits.
std::string fit_label(const std::string& text, double width) {
  const double per_char = 7.5, padding = 6;
  size_t room = width > padding ? size_t((width - padding) / per_char) : 0;
  size_t chars = 0;
  for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
  if (chars <= room) return text;
  if (room < 2) return "";
  std::string out;
  size_t kept = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++kept > room - 1) break;
    out.push_back(text[i]);
  }
  return out + "\xE2\x80\xA6";
}

// A bus: one box per run of equal values, the value inside (shortened when it
// does not fit) and in full as the box's tooltip.
void svg_bus(const WAVEFORM& wave, const WAVE_SIGNAL& s, const SVG_LAYOUT& l, int y, FILE* out) {
  const int high = y + 4, middle = y + 4 + l.trace / 2, low = y + 4 + l.trace;
  int start = wave.first();
  for (int k = start + 1; k <= wave.end(); ++k) {
    if (k < wave.end() && wave.value(s, k) == wave.value(s, start)) continue;
    double x0 = l.x(start), x1 = l.x(k);
    double in0 = std::min(x0 + 3, x1), in1 = std::max(x1 - 3, x0);
    std::string text = wave.format(s, start);
    std::fprintf(out, "<g><title>%s</title>", tdr_xml_escape_utf8(text).c_str());
    std::fprintf(out,
                 "<polygon fill=\"#eef\" stroke=\"#339\" "
                 "points=\"%.1f,%d %.1f,%d %.1f,%d %.1f,%d %.1f,%d %.1f,%d\"/>\n",
                 x0, middle, in0, high, in1, high, x1, middle, in1, low, in0, low);
    std::string shown = fit_label(text, x1 - x0);
    if (!shown.empty())
      std::fprintf(out, "<text x=\"%.1f\" y=\"%d\" font-size=\"11\" fill=\"#113\">%s</text>",
                   x0 + 5, low - 4, tdr_xml_escape_utf8(shown).c_str());
    std::fprintf(out, "</g>\n");
    start = k;
  }
}

void svg_trigger(const WAVEFORM& wave, const SVG_LAYOUT& l, FILE* out) {
  if (wave.trigger_sample() < wave.first() || wave.trigger_sample() >= wave.end()) return;
  double x = l.x(wave.trigger_sample());
  svg_rule(l, x, "stroke=\"red\" stroke-width=\"2\"", out);
  std::fprintf(out, "<text x=\"%.1f\" y=\"%d\" fill=\"red\">trigger</text>\n", x + 3,
               l.height - 10);
}

}  // namespace

void write_svg(const WAVEFORM& wave, const std::string& title, FILE* out) {
  const SVG_LAYOUT layout(wave);
  svg_header(layout, title, out);
  svg_scale(wave, layout, out);
  const std::vector<WAVE_SIGNAL>& sig = wave.signals();
  for (size_t i = 0; i < sig.size(); ++i) {
    int y = layout.top + int(i) * layout.row;
    std::fprintf(out, "<text x=\"8\" y=\"%d\">%s</text>\n", y + layout.trace,
                 tdr_xml_escape_utf8(sig[i].name).c_str());
    if (sig[i].bus)
      svg_bus(wave, sig[i], layout, y, out);
    else
      svg_scalar(wave, sig[i], layout, y, out);
  }
  svg_trigger(wave, layout, out);
  std::fprintf(out, "</svg>\n");
}
