// The object tree of a session as JSON.
#include "tdr_json.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "tdr_data_global_enum.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_mnemonics.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_tool.h"

namespace {

// Views nested deeper than this are cut (marked "truncated") so that hostile
// files cannot exhaust the stack of the recursive JSON writer.
const int MAX_VIEW_DEPTH = 200;

using LOGS = std::vector<TDR_DATA_LOG*>;

TOOL_JSON text_or_null(const char* s) { return s ? TOOL_JSON(s) : TOOL_JSON(nullptr); }
TOOL_JSON nonempty_or_null(const char* s) { return s && *s ? TOOL_JSON(s) : TOOL_JSON(nullptr); }

template <typename ENUM>
std::string enum_word(ENUM value) {
  const char* text = "";
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &text);
  return text ? text : "";
}

const char* indexed(const char* const* table, size_t size, int value) {
  return value >= 0 && size_t(value) < size ? table[value] : "";
}

std::string condition_word(TDR_DATA_TRIGGER_CONDITION c) {
  return indexed(TDR_DATA_TRIG_CONDITION_STR, TDR_CTYPE_INVALID_COND, c);
}

std::string hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lX", value);
  return text;
}

void merge(TOOL_JSON* into, const TOOL_JSON& from) {
  for (auto& item : from.items()) (*into)[item.key()] = item.value();
}

TOOL_JSON port_json(bool enabled, const char* pin, const char* node) {
  return {{"enabled", enabled}, {"pin", nonempty_or_null(pin)}, {"node", nonempty_or_null(node)}};
}

TOOL_JSON wire_json(const TDR_DATA_SIGNAL_WIRE* w) {
  return {{"name", text_or_null(w->get_name())},
          {"alias", nonempty_or_null(w->get_alias())},
          {"capture", enum_word(w->get_capture_type())},
          {"tap_mode", enum_word(w->get_tap_mode())},
          {"signal_type", enum_word(w->get_signal_type())},
          {"debug_port", w->is_debug_port() ? text_or_null(w->get_debug_port_name()) : TOOL_JSON(nullptr)},
          {"connected", w->get_connection_status()},
          {"trigger_index", w->get_trigger_wire_index() >= 0 ? TOOL_JSON(w->get_trigger_wire_index()) : TOOL_JSON(nullptr)},
          {"data_index", w->get_data_wire_index() >= 0 ? TOOL_JSON(w->get_data_wire_index()) : TOOL_JSON(nullptr)}};
}

TOOL_JSON view_nodes(TDR_DATA_SIGNAL_VIEW_NODE node, int depth) {
  TOOL_JSON list = TOOL_JSON::array();
  for (; !node.is_null(); node = node.get_next_sibling()) {
    TOOL_JSON n = {{"kind", node.is_bus() ? "bus" : "net"}, {"name", text_or_null(node.get_name())}};
    if (node.is_bus()) {
      n["alias"] = nonempty_or_null(node.get_alias());
      n["radix"] = enum_word(node.get_bus_display_type());
      n["order"] = node.is_lsb_to_msb() ? "lsb_to_msb" : "msb_to_lsb";
      n["mnemonics"] = nonempty_or_null(node.get_mnemonics_table());
      if (depth < MAX_VIEW_DEPTH)
        n["members"] = view_nodes(node.get_first_child(), depth + 1);
      else
        n["truncated"] = true;
    }
    list.push_back(std::move(n));
  }
  return list;
}

TOOL_JSON view_json(TDR_DATA_SIGNAL_VIEW* view) {
  return view ? view_nodes(view->get_first_node(), 0) : TOOL_JSON(nullptr);
}

TOOL_JSON side_json(TDR_DATA_TRIGGER* t, bool power_up) {
  return {{"position", indexed(TDR_DATA_TRIG_POSITION_STR, 4, t->get_trigger_position(power_up))},
          {"type", indexed(TDR_DATA_TRIGGER_TYPE_STR, 2, t->get_trigger_type(power_up))},
          {"segment_size", t->get_segment_size(power_up)},
          {"trigger_in", condition_word(t->get_trigger_in(power_up))},
          {"trigger_out", condition_word(t->get_trigger_out(power_up))}};
}

// One side of a level: enabled, the expression, and for basic levels the
// condition of every trigger wire that is not "dont_care", by alias or name.
TOOL_JSON level_side(TDR_DATA_TRIGGER* t, int level, bool basic, bool power_up) {
  TOOL_JSON side = {{"enabled", t->is_trigger_level_enabled(level, power_up)}};
  if (!basic) {
    side["expression"] = t->get_advanced_trigger_expression(level, power_up);
    return side;
  }
  side["expression"] = t->get_condition_expression(level, power_up);
  TOOL_JSON conditions = TOOL_JSON::object();
  TDR_DATA_SIGNAL_SET* set = t->get_signal_set();
  for (int w = 0; set && w < set->get_trigger_wire_width(); ++w) {
    TDR_DATA_TRIGGER_CONDITION c = t->get_condition(level, w, power_up);
    if (c == TDR_CTYPE_DONT_CARE_COND) continue;
    const char* alias = set->get_trigger_wire_alias_at(w);
    std::string key = alias ? alias : "";
    if (conditions.contains(key)) key += "#" + std::to_string(w);
    conditions[key] = condition_word(c);
  }
  side["conditions"] = std::move(conditions);
  return side;
}

TOOL_JSON log_json(TDR_DATA_LOG* log, bool global, LOGS* logs) {
  TOOL_JSON j = {{"name", log->get_name()},
                 {"global_temp", global},
                 {"sample_depth", log->get_data_sample_depth()},
                 {"segment_size", log->get_data_segment_size() > 0 ? TOOL_JSON(log->get_data_segment_size()) : TOOL_JSON(nullptr)},
                 {"trigger_position", log->get_data_trigger_position()},
                 {"power_up_data", log->is_power_up_trigger()},
                 {"data_available", log->is_data_available()}};
  j["check"] = log->is_data_available() ? TOOL_JSON(log->sanity_check_data_validity(false) ? "PASS" : "FAIL")
                                        : TOOL_JSON(nullptr);
  if (logs && log->is_data_available()) {
    j["samples"] = logs->size();
    logs->push_back(log);
  }
  return j;
}

TOOL_JSON trigger_json(TDR_DATA_TRIGGER* t, bool global, LOGS* logs) {
  TOOL_JSON j = {{"name", t->get_name()}, {"global_temp", global}};
  merge(&j, side_json(t, false));
  j["power_up_mode"] = t->is_power_up_mode();
  j["power_up"] = side_json(t, true);
  TOOL_JSON levels = TOOL_JSON::array();
  for (int level = 0; level < t->get_event_levels(); ++level) {
    bool basic = t->is_trigger_level_basic_condition(level);
    TOOL_JSON l = {{"level", level}, {"kind", basic ? "basic" : "advanced"}};
    merge(&l, level_side(t, level, basic, false));
    l["power_up"] = level_side(t, level, basic, true);
    levels.push_back(std::move(l));
  }
  j["levels"] = std::move(levels);
  std::string stored;
  bool has_stored = tdr_get_attr_if(t->get_dom_node(), TDR_X("CRC"), &stored);
  j["fingerprint"] = {{"stored", has_stored ? TOOL_JSON(hex(t->get_crc_value(false))) : TOOL_JSON(nullptr)},
                      {"computed", hex(t->get_crc_value(true))}};
  TOOL_JSON list = TOOL_JSON::array();
  for (int i = 0; i < t->get_num_logs(); ++i) list.push_back(log_json(t->get_log_at(i), false, logs));
  if (t->get_global_log()) list.push_back(log_json(t->get_global_log(), true, logs));
  j["logs"] = std::move(list);
  return j;
}

TOOL_JSON signal_set_json(TDR_DATA_SIGNAL_SET* s, bool global, LOGS* logs) {
  TOOL_JSON j = {{"name", s->get_name()},
                 {"global_temp", global},
                 {"clock", {{"name", s->get_clock_name()},
                            {"polarity", s->get_clock_polarity() == TDR_DATA_SIGNAL_SET::NEGEDGE ? "negedge" : "posedge"}}},
                 {"sample_depth", s->get_sample_depth()},
                 {"ram_type", enum_word(s->get_velarn_ram_type())},
                 {"top_entity", nonempty_or_null(s->get_top_entity_name())},
                 {"trigger_in", port_json(s->is_trigger_in_enabled(), s->get_trigger_in_pin(), s->get_trigger_in_node())},
                 {"trigger_out", port_json(s->is_trigger_out_enabled(), s->get_trigger_out_pin(), s->get_trigger_out_node())},
                 {"trigger_wires", s->get_trigger_wire_width()},
                 {"data_wires", s->get_data_wire_width()}};
  // A wire in both lists is one object: trigger wires first, then data-only ones.
  TOOL_JSON wires = TOOL_JSON::array();
  for (int i = 0; i < s->get_trigger_wire_width(); ++i)
    if (const TDR_DATA_SIGNAL_WIRE* w = s->get_trigger_wire_at(i)) wires.push_back(wire_json(w));
  for (int i = 0; i < s->get_data_wire_width(); ++i)
    if (const TDR_DATA_SIGNAL_WIRE* w = s->get_data_wire_at(i))
      if (w->get_trigger_wire_index() < 0) wires.push_back(wire_json(w));
  j["wires"] = std::move(wires);
  j["data_view"] = view_json(s->get_data_view());
  j["setup_view"] = view_json(s->get_setup_view());
  TOOL_JSON triggers = TOOL_JSON::array();
  for (int i = 0; i < s->get_num_triggers(); ++i) triggers.push_back(trigger_json(s->get_trigger_at(i), false, logs));
  if (s->get_global_trigger()) triggers.push_back(trigger_json(s->get_global_trigger(), true, logs));
  j["triggers"] = std::move(triggers);
  return j;
}

TOOL_JSON instance_json(TDR_DATA_INSTANCE* instance, LOGS* logs) {
  TDR_DATA_INSTANCE_INFO info = instance->get_node_info();
  TOOL_JSON j = {{"name", text_or_null(instance->get_name())},
                 {"entity", text_or_null(instance->get_entity_name())},
                 {"source_file", text_or_null(instance->get_source_filename())},
                 {"node", {{"manufacturer", int(info.mfg_id)},
                           {"node_id", int(info.node_id)},
                           {"version", instance->is_version_not_defined() ? TOOL_JSON(nullptr) : TOOL_JSON(int(info.version))},
                           {"index", info.instance_id}}},
                 {"mode", instance->is_incr_cmp_mode() ? "incremental" : "full"},
                 {"automatic_node", instance->is_auto_node()}};
  TOOL_JSON sets = TOOL_JSON::array();
  for (int i = 0; i < instance->get_num_signal_sets(); ++i)
    sets.push_back(signal_set_json(instance->get_signal_set_at(i), false, logs));
  if (instance->get_global_signal_set()) sets.push_back(signal_set_json(instance->get_global_signal_set(), true, logs));
  j["signal_sets"] = std::move(sets);
  return j;
}

// The bytes of embedded file `index`, unpacked by the library into a private
// temporary file; false when the copy is damaged.
bool embedded_bytes(TDR_DATA_SESSION* session, int index, std::vector<unsigned char>* bytes) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/tdr-embedded-XXXXXX";
  int fd = mkstemp(&path[0]);
  if (fd < 0) return false;
  close(fd);
  bool ok = session->extract_kfb_file(index, path.c_str());
  if (ok) {
    std::ifstream in(path, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ok = !in.bad();
  }
  unlink(path.c_str());
  return ok;
}

}  // namespace

TOOL_JSON session_json(TDR_DATA_SESSION* session, const std::string& file, LOGS* logs) {
  TOOL_JSON j = {{"file", file},
                 {"session", {{"jtag_chain", text_or_null(session->get_jtag_chain_name())},
                              {"jtag_device", text_or_null(session->get_jtag_device_name())},
                              {"programming_file", nonempty_or_null(session->get_kfb_file_name())},
                              {"gui_logging", session->is_gui_logging_enabled()}}}};
  TOOL_JSON instances = TOOL_JSON::array();
  for (int i = 0; i < session->get_num_instances(); ++i)
    instances.push_back(instance_json(session->get_instance_at(i), logs));
  j["instances"] = std::move(instances);
  TOOL_JSON tables = TOOL_JSON::array();
  if (TDR_DATA_MNEMONICS* mnemonics = session->find_mnemonics()) {
    for (int i = 0; i < mnemonics->get_num_tables(); ++i) {
      TDR_DATA_MNEMONICS_TABLE* t = mnemonics->get_table(i);
      TOOL_JSON entries = TOOL_JSON::array();
      for (int e = 0; e < t->get_num_entries(); ++e)
        entries.push_back({{"symbol", text_or_null(t->get_first_symbol(e))}, {"value", text_or_null(t->get_value(e))}});
      tables.push_back({{"name", text_or_null(t->get_name())}, {"width", t->get_width()}, {"entries", std::move(entries)}});
    }
  }
  j["mnemonic_tables"] = std::move(tables);
  TOOL_JSON files = TOOL_JSON::array();
  for (int i = 0; i < session->get_embedded_kfb_file_count(); ++i) {
    std::vector<unsigned char> bytes;
    bool ok = embedded_bytes(session, i, &bytes);
    const char* pairs = session->get_embedded_kfb_inst_id_crc_at(i);
    files.push_back({{"name", text_or_null(session->get_embedded_kfb_filename_at(i))},
                     {"size", ok ? TOOL_JSON(bytes.size()) : TOOL_JSON(nullptr)},
                     {"sha256", ok ? TOOL_JSON(sha256_hex(bytes.data(), bytes.size())) : TOOL_JSON(nullptr)},
                     {"instance_crc", nonempty_or_null(pairs)}});
  }
  j["embedded_files"] = std::move(files);
  return j;
}

// ---- SHA-256 ----

namespace {

const uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void sha256_block(uint32_t h[8], const unsigned char* p) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = uint32_t(p[4 * i]) << 24 | uint32_t(p[4 * i + 1]) << 16 | uint32_t(p[4 * i + 2]) << 8 | p[4 * i + 3];
  for (int i = 16; i < 64; ++i) {
    uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
  for (int i = 0; i < 64; ++i) {
    uint32_t t1 = k + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
    uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    k = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
  }
  h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += k;
}

}  // namespace

std::string sha256_hex(const unsigned char* data, size_t size) {
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  size_t full = size / 64 * 64;
  for (size_t i = 0; i < full; i += 64) sha256_block(h, data + i);
  unsigned char tail[128] = {0};
  size_t rest = size - full;
  for (size_t i = 0; i < rest; ++i) tail[i] = data[full + i];
  tail[rest] = 0x80;
  size_t tail_size = rest < 56 ? 64 : 128;
  uint64_t bits = uint64_t(size) * 8;
  for (int i = 0; i < 8; ++i) tail[tail_size - 1 - i] = (unsigned char)(bits >> (8 * i));
  for (size_t i = 0; i < tail_size; i += 64) sha256_block(h, tail + i);
  std::string out;
  char buf[9];
  for (uint32_t v : h) {
    std::snprintf(buf, sizeof buf, "%08x", v);
    out += buf;
  }
  return out;
}

void print_info_json(TDR_DATA_SESSION* session, const std::string& file) {
  std::string text = session_json(session, file).dump(2);
  std::printf("%s\n", text.c_str());
}
