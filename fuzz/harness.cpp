// Fuzz harnesses. Each one drives a reader with the input bytes and then
// exercises what was read far enough that a broken object tree shows up
// under the sanitizers: every getter, a save, a reread of the saved file.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "msg.h"
#include "tci.h"
#include "tdr_basic.h"
#include "tdr_data_global_enum.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_mnemonics.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_lang.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_player.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_trigger.h"

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool write_file(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return !out.fail();
}

bool write_file(const std::string& path, const std::string& content) {
  return write_file(path, content.data(), content.size());
}

bool remove_tree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return !error;
}

namespace {

std::string g_scratch;
bool g_scratch_owned = false;

void remove_owned_scratch() {
  if (g_scratch_owned && !remove_tree(g_scratch))
    std::fprintf(stderr, "could not remove %s\n", g_scratch.c_str());
}

std::string scratch_file(const char* name) { return tdr_fuzz_scratch_dir() + "/" + name; }

// Reads the input bytes one at a time; past the end it answers 0.
class BYTE_READER {
 public:
  BYTE_READER(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool done() const { return m_pos >= m_size; }
  uint8_t next() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  unsigned pick(unsigned n) { return n ? next() % n : 0; }
  // A short string of raw bytes (may hold anything but NUL).
  std::string text(unsigned max_len) {
    unsigned n = pick(max_len + 1);
    std::string s;
    for (unsigned i = 0; i < n && !done(); ++i) {
      char c = static_cast<char>(next());
      s += c ? c : ' ';
    }
    return s;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

int g_strict = -1;  // unset: TDR_FUZZ_STRICT decides

bool strict_mode() {
  if (g_strict < 0) {
    const char* v = std::getenv("TDR_FUZZ_STRICT");
    g_strict = v && *v && std::strcmp(v, "0") != 0;
  }
  return g_strict != 0;
}

// ---------------------------------------------------------------------------
// Session documents

void walk_view(TDR_DATA_SIGNAL_VIEW* view) {
  if (!view) return;
  // Explicit stack: the nesting comes from the file.
  std::vector<TDR_DATA_SIGNAL_VIEW_NODE> stack;
  stack.push_back(view->get_first_node());
  int budget = 100000;
  while (!stack.empty() && budget-- > 0) {
    TDR_DATA_SIGNAL_VIEW_NODE node = stack.back();
    stack.pop_back();
    if (node.is_null()) continue;
    (void)node.get_name();
    (void)node.get_alias();
    (void)node.get_signal_type();
    (void)node.is_signal_inverted();
    if (node.is_bus()) {
      (void)node.get_bus_linking_type();
      (void)node.get_bus_display_type();
      (void)node.get_mnemonics_table();
      (void)node.is_bus_expanded();
      (void)node.is_lsb_to_msb();
    } else {
      (void)node.get_data_wire(false);
    }
    stack.push_back(node.get_next_sibling());
    stack.push_back(node.get_first_child());
  }
}

void walk_log(TDR_DATA_LOG* log) {
  if (!log) return;
  (void)log->get_name();
  (void)log->get_unconnected_ports();
  int width = log->get_data_width();
  int depth = log->get_data_sample_depth();
  for (int w = -1; w <= width && w < 64; ++w) {
    (void)log->get_connection_status(w);
    for (int t = -1; t <= depth && t < 64; ++t) (void)log->get_bit(w, t);
  }
  (void)log->sanity_check_data_validity(false);
}

void walk_advanced_tree(TDR_DATA_TRIGGER_ADV_TREE_OBJ* root) {
  if (!root || root->is_null()) return;
  std::vector<TDR_DATA_TRIGGER_ADV_TREE_OBJ> stack{*root};
  int budget = 100000;
  while (!stack.empty() && budget-- > 0) {
    TDR_DATA_TRIGGER_ADV_TREE_OBJ node = stack.back();
    stack.pop_back();
    if (node.is_null()) continue;
    delete node.get_all_attributes();
    stack.push_back(node.get_next_sibling());
    stack.push_back(node.get_first_child());
  }
}

void walk_trigger(TDR_DATA_TRIGGER* trigger) {
  if (!trigger) return;
  (void)trigger->get_name();
  for (int level = 0; level < trigger->get_event_levels() && level < 64; ++level) {
    walk_advanced_tree(trigger->get_advanced_trigger_tree_root(level));
    for (bool power_up : {false, true}) {
      if (!trigger->get_advanced_trigger_expression(level, power_up))
        tdr_fuzz_fail("an advanced expression is null");
      (void)trigger->get_advanced_trigger_factory(level, power_up);
    }
    (void)trigger->get_advanced_trigger_crc_string(level);
  }
  std::string crc_text;
  trigger->compose_critical_crc_string_V1_V2(crc_text);
  trigger->compose_critical_crc_string_V3(crc_text);
  trigger->compose_critical_crc_string_V4(crc_text);
  trigger->compose_non_critical_crc_string_V1_V2_V3(crc_text);
  trigger->compose_non_critical_incremental_crc_string_V1_V2_V3(crc_text);
  trigger->compose_non_critical_non_incremental_crc_string_V1_V2_V3(crc_text);
  (void)trigger->get_crc_value(true);
  (void)trigger->process_advanced_triggers(false);
  (void)trigger->finalize_triggers();
  for (bool power_up : {false, true}) {
    (void)trigger->to_string(power_up);
    for (int level = 0; level < trigger->get_event_levels() && level < 64; ++level) {
      (void)trigger->is_trigger_level_enabled(level, power_up);
      (void)trigger->is_trigger_level_basic_condition(level);
      const char* text = trigger->get_condition_expression(level, power_up);
      if (!text) tdr_fuzz_fail("a level has no condition text");
    }
  }
  // Asking a trigger without levels is a caller's error (an internal error).
  if (trigger->get_event_levels() > 0) (void)trigger->get_last_trigger_level_latency_delay();
  (void)trigger->get_trigger_out_latency_delay();
  (void)trigger->is_incremental_node_used_correctly();
  (void)trigger->is_using_incremental_route();
  for (int i = 0; i < trigger->get_num_logs(); ++i) walk_log(trigger->get_log_at(i));
  walk_log(trigger->get_global_log());
  (void)trigger->get_last_log();
}

void walk_signal_set(TDR_DATA_SIGNAL_SET* set) {
  if (!set) return;
  (void)set->get_name();
  (void)set->get_clock_name();
  (void)set->get_top_entity_name();
  (void)set->get_sample_depth();
  (void)set->get_trigger_in_pin();
  (void)set->get_trigger_in_node();
  (void)set->get_trigger_out_pin();
  (void)set->get_trigger_out_node();
  (void)set->get_signal_connections();
  (void)set->get_connection_status();
  (void)set->get_ela_data_wire_width();
  (void)set->get_ela_trigger_wire_width();
  (void)set->get_wire_size();
  for (int i = 0; i < set->get_data_wire_width(); ++i) {
    TDR_DATA_SIGNAL_WIRE* wire = set->get_data_wire_at(i);
    if (!wire) continue;
    (void)wire->get_alias();
    (void)wire->get_debug_port_name();
    if (wire->get_name() && set->get_wire(wire->get_name()) == nullptr)
      tdr_fuzz_fail("a named data wire is not found by its name");
  }
  for (int i = 0; i < set->get_trigger_wire_width(); ++i) {
    (void)set->get_trigger_wire_at(i);
    (void)set->get_trigger_wire_alias_at(i);
  }
  walk_view(set->get_data_view());
  walk_view(set->get_setup_view());
  for (int i = 0; i < set->get_num_triggers(); ++i) walk_trigger(set->get_trigger_at(i));
  walk_trigger(set->get_global_trigger());
}

void walk_session(TDR_DATA_SESSION* session) {
  (void)session->get_jtag_chain_name();
  (void)session->get_jtag_device_name();
  (void)session->get_kfb_file_name();
  (void)session->get_global_data("x");
  for (int i = 0; i < session->get_num_instances(); ++i) {
    TDR_DATA_INSTANCE* instance = session->get_instance_at(i);
    if (!instance) continue;
    std::string identifier;
    (void)instance->get_name(&identifier);
    (void)instance->get_entity_name();
    (void)instance->get_source_filename();
    (void)instance->get_node_info();
    for (int j = 0; j < instance->get_num_signal_sets(); ++j)
      walk_signal_set(instance->get_signal_set_at(j));
    walk_signal_set(instance->get_global_signal_set());
    (void)session->find_active_signal_set(instance);
    (void)session->find_active_trigger(instance);
    (void)session->find_active_log(instance);
  }
  if (TDR_DATA_MNEMONICS* mnemonics = session->find_mnemonics()) {
    for (int i = 0; i < mnemonics->get_num_tables(); ++i) {
      TDR_DATA_MNEMONICS_TABLE* table = mnemonics->get_table(i);
      if (!table) continue;
      for (int j = 0; j < table->get_num_entries() && j < 1000; ++j) {
        const char* value = table->get_value(j);
        const char* symbol = table->get_first_symbol(j);
        if (value) (void)table->get_first_symbol(value);
        if (symbol) (void)table->get_value(symbol);
      }
    }
  }
  int embedded = session->get_embedded_kfb_file_count();
  for (int i = 0; i < embedded && i < 2; ++i) {
    (void)session->get_embedded_kfb_filename_at(i);
    (void)session->get_embedded_kfb_inst_id_crc_at(i);
    std::string out = scratch_file("extracted.kfb");
    (void)session->extract_kfb_file(i, out.c_str());
    std::remove(out.c_str());
  }
}

// Opens `file` (managed or independent), walks it, saves it to `saved` and
// closes it. True when the save succeeded.
bool open_walk_save(const std::string& file, bool managed, const std::string& saved) {
  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  TDR_DATA_SESSION* session = managed ? manager->open_session(file.c_str())
                                      : manager->open_independent_session(file.c_str());
  if (!session) return false;
  walk_session(session);
  bool ok = session->save_as(saved.c_str(), true, true);
  if (managed) {
    if (!manager->close_session(file.c_str())) tdr_fuzz_fail("an open session could not be closed");
  } else {
    manager->close_independent_session(session);
  }
  return ok;
}

// Save, reread, save again: the second save must be what the reader made of
// the first one. Strict mode also asks for the fixed point.
void save_and_reread(const std::string& input, bool managed) {
  std::string saved = scratch_file("saved.xyz");
  std::string resaved = scratch_file("resaved.xyz");
  std::remove(saved.c_str());
  std::remove(resaved.c_str());
  if (!open_walk_save(input, managed, saved)) return;
  if (!open_walk_save(saved, !managed, resaved))
    tdr_fuzz_fail("a saved session could not be read back");
  if (strict_mode()) {
    std::string again = scratch_file("again.xyz");
    if (!open_walk_save(resaved, managed, again)) tdr_fuzz_fail("a resaved session is unreadable");
    if (read_file(again) != read_file(resaved)) tdr_fuzz_fail("open/save is not a fixed point");
  }
}

// ---------------------------------------------------------------------------
// Condition text on a fixed signal set

class FIXED_SIGNAL_TARGET : public TDR_LANG_TARGET {
 public:
  FIXED_SIGNAL_TARGET(int level, bool power_up) : m_level(level), m_power_up(power_up) {}

  int find_trigger_wire_index(const char* name) override {
    check(name, m_level, m_power_up);
    static const char* const wires[] = {"a", "b", "data[0]", "data[1]", "it's", "top|u1|q"};
    for (int i = 0; i < int(sizeof wires / sizeof wires[0]); ++i)
      if (std::strcmp(name, wires[i]) == 0) return i;
    if (std::strcmp(name, "probe") == 0) return TDR_LANG_NOT_TRIGGER_WIRE;
    return TDR_LANG_NO_SUCH_WIRE;
  }
  void set_condition_by_index(int index, int level, TDR_DATA_TRIGGER_CONDITION condition,
                              bool power_up) override {
    check("", level, power_up);
    if (index < 0 || condition < 0 || condition > 9) tdr_fuzz_fail("clause out of range");
  }
  void set_condition_by_node(const char* name, int level, TDR_DATA_TRIGGER_CONDITION condition,
                             bool power_up) override {
    check(name, level, power_up);
    if (condition < 0 || condition > 9) tdr_fuzz_fail("clause condition out of range");
  }
  void set_condition_by_value(const char* bus, int level, long value, bool power_up) override {
    check(bus, level, power_up);
    if (value < -2147483648L || value > 2147483647L) tdr_fuzz_fail("bus value beyond 32 bits");
  }
  void set_condition_by_symbol(const char* bus, int level, const char* symbol,
                               bool power_up) override {
    check(bus, level, power_up);
    check(symbol, level, power_up);
  }
  void set_condition_by_table_symbol(const char* bus, int level, const char* table,
                                     const char* symbol, bool power_up) override {
    check(bus, level, power_up);
    check(table, level, power_up);
    check(symbol, level, power_up);
  }

 private:
  void check(const char* name, int level, bool power_up) const {
    if (!name) tdr_fuzz_fail("null name handed to the condition target");
    if (level != m_level || power_up != m_power_up)
      tdr_fuzz_fail("clause applied to the wrong level or side");
  }
  int m_level;
  bool m_power_up;
};

// The trigger of a fixed signal set the condition target parses into: wires
// a, b (alias B), c, d0..d3; buses "bus" (table "states") and "rbus" (msb
// first) and a group "grp" in the setup view. Made once per process.
const char* const k_condition_session =
    "<session><mnemonics><table name=\"states\" width=\"4\">"
    "<symbol name=\"IDLE\" value=\"0000\"/><symbol name=\"RUN\" value=\"1R0X\"/>"
    "<symbol name=\"SHORT\" value=\"1h\"/></table><table name=\"alt\" width=\"4\">"
    "<symbol name=\"GO\" value=\"fel\"/></table></mnemonics>"
    "<instance name=\"i\"><signal_set name=\"s\"><config sample_depth=\"128\"/>"
    "<signal_vec><trigger_input_vec>"
    "<wire name=\"a\"/><wire name=\"b\" alias=\"B\"/><wire name=\"c\"/>"
    "<wire name=\"d0\"/><wire name=\"d1\"/><wire name=\"d2\"/><wire name=\"d3\"/>"
    "</trigger_input_vec><data_input_vec><wire name=\"a\"/><wire name=\"c\"/>"
    "</data_input_vec></signal_vec><presentation><data_view/><setup_view>"
    "<net name=\"a\"/><net name=\"B\"/><net name=\"c\"/>"
    "<bus name=\"bus\" mnemonics=\"states\"><net name=\"d0\"/><net name=\"d1\"/>"
    "<net name=\"d2\"/><net name=\"d3\"/></bus>"
    "<bus name=\"rbus\" order=\"msb_to_lsb\"><net name=\"d0\"/><net name=\"d1\"/>"
    "<net name=\"d2\"/><net name=\"d3\"/></bus>"
    "<bus name=\"grp\"><net name=\"a\"/><net name=\"ghost\"/><net name=\"c\"/></bus>"
    "</setup_view></presentation>"
    "<trigger name=\"t\"><events><level/><level/></events></trigger>"
    "</signal_set></instance><display_tree/><global_info/></session>";

TDR_DATA_TRIGGER* condition_trigger() {
  static TDR_DATA_SESSION* session = nullptr;
  if (!session) {
    std::string path = scratch_file("condition_session.xyz");
    write_file(path, k_condition_session, std::strlen(k_condition_session));
    session = TDR_DATA_MANAGER::get_data_repository_manager()->open_independent_session(path.c_str());
    std::remove(path.c_str());
    if (!session) tdr_fuzz_fail("the fixed condition session does not open");
  }
  TDR_DATA_SIGNAL_SET* set = session->get_instance_at(0)->get_signal_set_at(0);
  TDR_DATA_TRIGGER* trigger = set->get_trigger_at(0);
  if (!trigger || trigger->get_event_levels() != 2) tdr_fuzz_fail("the fixed trigger is gone");
  return trigger;
}

void clear_level(TDR_DATA_TRIGGER* trigger, int wires, int level, bool power_up) {
  for (int w = 0; w < wires; ++w)
    trigger->set_trigger_condition(w, level, TDR_CTYPE_DONT_CARE_COND, power_up, false);
}

// ---------------------------------------------------------------------------
// Generic element sessions

const char* const BASIC_TAGS[] = {"a", "item", "leaf", "x-y", "n.s", "1bad", "", "a b", "\xc3\xa9t\xc3\xa9", "\xff"};
const char* const BASIC_ATTRS[] = {"name", "v", "id", "x:y", "", "1n", "value"};

TDR_BASIC_ELEMENT* pick_element(TDR_BASIC_ELEMENT* element, BYTE_READER& in) {
  unsigned depth = in.pick(4);
  for (unsigned d = 0; element && d < depth; ++d) {
    int n = element->get_number_of_child_elements(nullptr);
    if (n <= 0) break;
    element = element->get_child_element(in.pick(unsigned(n)));
  }
  return element;
}

std::string pick_value(BYTE_READER& in) {
  switch (in.pick(4)) {
    case 0: return "99999999999999999999";
    case 1: return "-2147483649";
    default: return in.text(12);
  }
}

void run_basic_ops(TDR_BASIC_SESSION* session, BYTE_READER& in) {
  const unsigned n_tags = sizeof BASIC_TAGS / sizeof BASIC_TAGS[0];
  const unsigned n_attrs = sizeof BASIC_ATTRS / sizeof BASIC_ATTRS[0];
  while (!in.done()) {
    unsigned op = in.next() % 14;
    int count = session->get_num_instance_elements();
    // Wrappers may be replaced by undo and redo: look them up afresh each time.
    TDR_BASIC_ELEMENT* instance = count ? session->get_instance_at(int(in.pick(unsigned(count)))) : nullptr;
    TDR_BASIC_UNDO_BUFFER* buffer = instance ? instance->get_undo_buffer() : nullptr;
    switch (op) {
      case 0:
        if (TDR_BASIC_ELEMENT* e = pick_element(instance, in))
          e->set_attribute(BASIC_ATTRS[in.pick(n_attrs)], pick_value(in).c_str());
        break;
      case 1:
        if (TDR_BASIC_ELEMENT* e = pick_element(instance, in))
          e->remove_attribute(BASIC_ATTRS[in.pick(n_attrs)]);
        break;
      case 2:
        if (TDR_BASIC_ELEMENT* e = pick_element(instance, in))
          e->append_child_element(BASIC_TAGS[in.pick(n_tags)]);
        break;
      case 3:
        if (TDR_BASIC_ELEMENT* e = pick_element(instance, in)) {
          int n = e->get_number_of_child_elements(nullptr);
          if (n > 0) {
            const char* tag = BASIC_TAGS[in.pick(n_tags)];
            e->insert_child_element(tag, in.pick(unsigned(n)));
          }
        }
        break;
      case 4:
        if (TDR_BASIC_ELEMENT* e = pick_element(instance, in)) {
          int n = e->get_number_of_child_elements(nullptr);
          if (n > 0) {
            TDR_BASIC_ELEMENT* child = e->get_child_element(in.pick(unsigned(n)));
            if (child && e->remove_child_element(child) == TDR_BASIC_ERROR_CODE_OK) delete child;
          }
        }
        break;
      case 5:
        if (buffer) buffer->save_snapshot();
        break;
      case 6:
        if (buffer && buffer->is_undoable()) buffer->undo();
        break;
      case 7:
        if (buffer && buffer->is_redoable()) buffer->redo();
        break;
      case 8:
        if (TDR_BASIC_ELEMENT* e = pick_element(instance, in)) {
          e->set_element_data(pick_value(in).c_str());
          std::string data;
          e->get_element_data(&data);
        }
        break;
      case 9:
        if (count < 64) session->append_instance(BASIC_TAGS[in.pick(n_tags)]);
        break;
      case 10:
        if (count > 0) session->delete_instance_at(int(in.pick(unsigned(count))));
        break;
      case 11:
        if (buffer) {
          switch (in.pick(3)) {
            case 0: buffer->set_savepoint(); break;
            case 1: (void)buffer->is_last_savepoint(); break;
            default: buffer->clear_redo(); break;
          }
        }
        break;
      case 12:
        if (in.pick(2))
          session->set_attribute(BASIC_ATTRS[in.pick(n_attrs)], pick_value(in).c_str());
        else
          session->remove_attribute(BASIC_ATTRS[in.pick(n_attrs)]);
        break;
      case 13:
        if (instance && session->get_num_temp_instance_elements() < 8) {
          TDR_BASIC_ELEMENT* temp = session->append_temp_instance(BASIC_TAGS[in.pick(n_tags)]);
          if (temp && in.pick(2)) {
            TDR_BASIC_ELEMENT* old = session->replace_instance(instance, temp);
            delete old;
          }
        }
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// Enumerations

template <typename T>
void enum_round_trip(const char* text, const char* type_name) {
  T value;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(text, &value);
  const char* word = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &word);
  if (!word) tdr_fuzz_fail(type_name);
  T again;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(word, &again);
  if (again != value) tdr_fuzz_fail(type_name);
}

template <typename T>
void enum_word(int raw) {
  const char* word = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(static_cast<T>(raw), &word);
  if (!word) tdr_fuzz_fail("a value without a word gave no text");
  (void)std::strlen(word);
}

}  // namespace

// ---------------------------------------------------------------------------

void tdr_fuzz_set_strict(bool strict) { g_strict = strict; }

void tdr_fuzz_set_scratch_dir(const std::string& dir) {
  remove_owned_scratch();
  g_scratch = dir;
  g_scratch_owned = false;
}

const std::string& tdr_fuzz_scratch_dir() {
  if (g_scratch.empty()) {
    char pattern[] = "/tmp/tdr_fuzz_XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) tdr_fuzz_fail("no scratch directory");
    g_scratch = dir;
    g_scratch_owned = true;
    std::atexit(remove_owned_scratch);
  }
  return g_scratch;
}

void tdr_fuzz_fail(const char* what) {
  std::fprintf(stderr, "tdr fuzz: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

void tdr_fuzz_session(const uint8_t* data, size_t size) {
  std::string input = scratch_file("input.xyz");
  write_file(input, data, size);
  save_and_reread(input, size % 2 == 0);
  std::remove(input.c_str());
}

void tdr_fuzz_condition(const uint8_t* data, size_t size) {
  if (size == 0) return;
  int level = data[0] & 15;
  bool power_up = (data[0] & 16) != 0;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  FIXED_SIGNAL_TARGET target(level, power_up);
  (void)tdr_lang_parse_condition(text.c_str(), &target, level, "trig", power_up);
  std::istringstream stream(text);
  (void)tdr_lang_parse_condition(stream, &target, level, "trig", power_up);
  if (tdr_lang_parse_settings.level != level || tdr_lang_parse_settings.power_up != power_up)
    tdr_fuzz_fail("parse settings not those of the last parse");

  // The same text into a level of a real trigger. The text the trigger then
  // writes for the level must read back to the same conditions.
  TDR_DATA_TRIGGER* trigger = condition_trigger();
  const int wires = trigger->get_signal_set()->get_trigger_wire_width();
  const int first = level & 1, second = 1 - first;
  clear_level(trigger, wires, first, power_up);
  clear_level(trigger, wires, second, power_up);
  trigger->parse_condition(text.c_str(), first, power_up);
  std::string written = trigger->get_condition_expression(first, power_up);
  trigger->parse_condition(written.c_str(), second, power_up);
  for (int w = 0; w < wires; ++w)
    if (trigger->get_condition(first, w, power_up) != trigger->get_condition(second, w, power_up))
      tdr_fuzz_fail("a written condition text reads back differently");
  if (written != trigger->get_condition_expression(second, power_up))
    tdr_fuzz_fail("a condition text is not written the same way twice");
  (void)trigger->to_string(power_up);
}

void tdr_fuzz_legacy(const uint8_t* data, size_t size) {
  std::string input = scratch_file("legacy.stp");
  std::string content = "[@\\TVF=";
  content.append(reinterpret_cast<const char*>(data), size);
  write_file(input, content.data(), content.size());
  save_and_reread(input, size % 2 == 0);

  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  if (TDR_DATA_SESSION* session = manager->open_session_from_tvf(input.c_str())) {
    walk_session(session);
    std::string saved = scratch_file("legacy_saved.xyz");
    session->save_as(saved.c_str(), true, true);
    manager->close_session(input.c_str());
    if (TDR_DATA_SESSION* again = manager->open_independent_session(saved.c_str())) {
      walk_session(again);
      manager->close_independent_session(again);
    }
    std::remove(saved.c_str());
  }
  std::remove(input.c_str());
}

void tdr_fuzz_basic(const uint8_t* data, size_t size) {
  // The last byte says how many bytes before it are operations; the rest is the file.
  size_t ops = size ? std::min<size_t>(data[size - 1], size - 1) : 0;
  size_t file_size = size ? size - 1 - ops : 0;
  std::string input = scratch_file("basic.xml");
  write_file(input, data, file_size);

  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  TDR_BASIC_SESSION* session = manager->open_basic_session(input.c_str());
  if (!session) session = manager->create_basic_session("fuzz");
  if (!session) tdr_fuzz_fail("no basic session");
  BYTE_READER in(data + file_size, ops);
  run_basic_ops(session, in);
  std::string saved = scratch_file("basic_saved.xml");
  bool ok = session->save_as(saved.c_str()) == TDR_BASIC_ERROR_CODE_OK;
  // save() would write the file "session" in the current directory (every
  // managed basic session bears that name): left out.
  if (!manager->close_basic_session(session)) tdr_fuzz_fail("basic session not closed");
  if (ok) {
    TDR_BASIC_SESSION* again = manager->open_basic_session(saved.c_str());
    if (!again) tdr_fuzz_fail("a saved basic session could not be read back");
    manager->close_basic_session(again);
  }
  std::remove(saved.c_str());
  std::remove(input.c_str());
}

void tdr_fuzz_tci(const uint8_t* data, size_t size) {
  if (size < 3) return;
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP map;
  static const char* const names[] = {"a", "b", "c", "d", "top|cnt[3]", "it's", "rising",
                                      "u1/q.x:y[0]$", "bus[7]", "\xc3\xa9"};
  for (int i = 0; i < int(sizeof names / sizeof names[0]); ++i) map.insert_table_entry(names[i], i);
  map.insert_table_entry("alias_of_a", 0);
  map.set_num_trigger_nodes(data[0] % 40);
  map.set_num_incremental_trigger_nodes(data[1] % 20);
  bool mark = (data[2] & 1) != 0;
  bool power_up = (data[2] & 2) != 0;

  // Up to four levels, one per line.
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  std::vector<std::string> levels;
  size_t start = 0;
  while (levels.size() < 3) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) break;
    levels.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  levels.push_back(text.substr(start));

  std::vector<std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY>> factories;
  std::vector<TCI_ADVANCED_TRIGGER_OUTPUT*> roots;
  for (const std::string& level : levels) {
    std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory(new TCI_ADVANCED_TRIGGER_FACTORY);
    factory->set_trigger_name("trig");
    factory->set_instance_name("inst");
    factory->set_name_map(&map);
    bool built = TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(level, factory.get(), mark);
    if (built != (factory->get_root() != nullptr)) tdr_fuzz_fail("build result and tree disagree");
    int total = 0;
    for (int type = -1; type <= TCI_NTYPE_COUNT; ++type)
      total += TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), type);
    if (total != factory->get_tree_size()) tdr_fuzz_fail("node counts do not add up to the tree");
    std::string crc;
    bool has_root = TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(
        factory->get_root(), crc, power_up);
    if (has_root != built) tdr_fuzz_fail("CRC text result disagrees with the tree");
    (void)TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root());
    roots.push_back(factory->get_root());
    factories.push_back(std::move(factory));
  }
  int coordinated =
      TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots.data(), int(roots.size()));
  for (TCI_ADVANCED_TRIGGER_OUTPUT* root : roots) {
    if (!root) continue;
    if (root->get_pipeline_latency() != coordinated) tdr_fuzz_fail("latency not coordinated");
    if (root->get_own_pipeline_latency() > coordinated) tdr_fuzz_fail("own latency above max");
  }
  (void)map.all_signals_used();
  int width = map.get_trigger_port_width();
  for (int i = -1; i <= width && i < 64; ++i) {
    (void)map.is_port_used(i);
    (void)map.is_incremental_port(i);
  }
}

void tdr_fuzz_enum(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* t = text.c_str();
  enum_round_trip<TDR_DATA_SIGNAL_TYPE>(t, "signal type");
  enum_round_trip<TDR_DATA_WIRE_CAPTURE_TYPE>(t, "capture type");
  enum_round_trip<TDR_DATA_WIRE_TAP_MODE>(t, "tap mode");
  enum_round_trip<TDR_DATA_TRIGGER_CONDITION>(t, "trigger condition");
  enum_round_trip<TDR_DATA_TRIGGER_POSITION>(t, "trigger position");
  enum_round_trip<TDR_DATA_TRIGGER_TYPE>(t, "trigger type");
  enum_round_trip<TDR_DATA_GROUP_DISPLAY_TYPE>(t, "display type");
  enum_round_trip<TDR_DATA_NODE_DISPLAY_TYPE>(t, "node display type");
  enum_round_trip<TDR_VELARN_RAM_TYPE>(t, "ram type");
  enum_round_trip<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(t, "plug-in option type");

  TDR_DATA_GROUP_LINKING_TYPE link;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(t, &link);
  std::string word = "stale";
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(link, &word);
  TDR_DATA_GROUP_LINKING_TYPE link_again;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(word.c_str(), &link_again);
  if ((int(link_again) & 15) != (int(link) & 15)) tdr_fuzz_fail("linking words do not read back");

  // The first four bytes as a raw stored number, for the writing side.
  int raw = 0;
  std::memcpy(&raw, data, std::min<size_t>(size, sizeof raw));
  enum_word<TDR_DATA_SIGNAL_TYPE>(raw);
  enum_word<TDR_DATA_WIRE_CAPTURE_TYPE>(raw);
  enum_word<TDR_DATA_WIRE_TAP_MODE>(raw);
  enum_word<TDR_DATA_TRIGGER_CONDITION>(raw);
  enum_word<TDR_DATA_TRIGGER_POSITION>(raw);
  enum_word<TDR_DATA_TRIGGER_TYPE>(raw);
  enum_word<TDR_DATA_GROUP_DISPLAY_TYPE>(raw);
  enum_word<TDR_DATA_NODE_DISPLAY_TYPE>(raw);
  enum_word<TDR_VELARN_RAM_TYPE>(raw);
  enum_word<TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE>(raw);
  std::string linking;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(static_cast<TDR_DATA_GROUP_LINKING_TYPE>(raw),
                                               &linking);
}

// ---------------------------------------------------------------------------
// Editing scripts and editing sessions

namespace {

#ifndef TDR_SOURCE_DIR
#define TDR_SOURCE_DIR "."
#endif

// A bundled session file, read once.
const std::string& bundled(const char* relative) {
  static std::map<std::string, std::string> files;
  auto found = files.find(relative);
  if (found != files.end()) return found->second;
  std::string content = read_file(std::string(TDR_SOURCE_DIR) + "/" + relative);
  if (content.empty()) tdr_fuzz_fail("a bundled session is missing (TDR_SOURCE_DIR)");
  return files[relative] = content;
}

// The opening snapshot of the recorded example (its name carries the stamp).
const std::string& recorded_init() {
  static std::string name;
  if (!name.empty()) return name;
  if (DIR* d = opendir((std::string(TDR_SOURCE_DIR) + "/examples/recorded").c_str())) {
    while (dirent* e = readdir(d)) {
      std::string file = e->d_name;
      if (file.size() > 9 && file.compare(file.size() - 9, 9, "_init.tvf") == 0)
        name = "examples/recorded/" + file;
    }
    closedir(d);
  }
  if (name.empty()) tdr_fuzz_fail("the recorded example is missing (TDR_SOURCE_DIR)");
  return name;
}

void empty_directory(const std::string& dir) {
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
        std::remove((dir + "/" + e->d_name).c_str());
    closedir(d);
  }
}

// Counts what is posted while a saved file is read back.
class COUNTING_SINK : public MSG_SINK {
 public:
  void on_message(const MSG_RECORD&) override { ++messages; }
  void on_internal_error(const char*, const char*, const char*, int) override { ++messages; }
  void on_debug(const char*, const char*) override {}
  int messages = 0;
};

// Names "BASE_N" in the order asked for, so that two passes over the same
// edits make the same names.
class SEQUENTIAL_NAMES : public TDR_DATA_AUTO_NAME_SOURCE {
 public:
  bool next_auto_name(const char* base, std::string* name) override {
    *name = std::string(base ? base : "") + "_" + std::to_string(next++);
    return true;
  }
  int next = 0;
};

// Removes attribute `name` from the element text `tag`.
void drop_attribute(std::string* tag, const char* name) {
  size_t at = tag->find(std::string(" ") + name + "=\"");
  if (at == std::string::npos) return;
  size_t end = tag->find('"', at + std::strlen(name) + 3);
  if (end != std::string::npos) tag->erase(at, end + 1 - at);
}

// The value of attribute `name` in the element text `tag`; empty when absent.
std::string attribute(const std::string& tag, const char* name) {
  std::string key = std::string(" ") + name + "=\"";
  size_t at = tag.find(key);
  if (at == std::string::npos) return std::string();
  at += key.size();
  return tag.substr(at, tag.find('"', at) - at);
}

// `text` with `edit` applied to the text of each element tag.
std::string edit_tags(const std::string& text, const std::function<void(std::string*)>& edit) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  for (size_t open; (open = text.find('<', at)) != std::string::npos;) {
    size_t close = text.find('>', open);
    if (close == std::string::npos) break;
    out.append(text, at, open - at);
    std::string tag = text.substr(open, close + 1 - open);
    edit(&tag);
    out += tag;
    at = close + 1;
  }
  out.append(text, at, std::string::npos);
  return out;
}

// A wire keeps its port name in the file when its debug port is switched off
// (the data layer keeps it), so a port switched on and undone leaves it:
// names of wires that are no debug ports are left out.
std::string without_idle_port_names(const std::string& text) {
  return edit_tags(text, [](std::string* tag) {
    if (tag->find(" debug_port=\"yes\"") == std::string::npos)
      drop_attribute(tag, "debug_port_name");
  });
}

// A file with what may differ between two roads to the same session taken out.
// - A set kept for its logs when a commit made a new one keeps what the edits
//   before that commit wrote into it at once, and which of them an undo could
//   take back (a node put back by undo has no view element to write to) or an
//   earlier commit rebuilt depends on the road. Only the sets shown (those of
//   the display branches) are compared whole; of the others, their names.
// - Views written at once and views rebuilt differ without reading back
//   differently: a bus made at once has no attributes for the default radix,
//   link and inversion, a bus whose mnemonic table was let go keeps an empty
//   "mnemonics", one with a table keeps the radix it had, which the table
//   overrides, and a mnemonic radix without a table stays only where it was
//   written at once (a rebuild writes no radix for it).
std::string comparable(const std::string& file) {
  std::set<std::string> shown;
  for (size_t at = file.find("<display_branch "); at != std::string::npos;
       at = file.find("<display_branch ", at + 1))
    shown.insert(attribute(file.substr(at, file.find('>', at) - at), "signal_set"));
  std::string text = without_idle_port_names(file);
  for (size_t at = text.find("<signal_set "); at != std::string::npos;
       at = text.find("<signal_set ", at + 1)) {
    if (shown.count(attribute(text.substr(at, text.find('>', at) - at), "name"))) continue;
    size_t content = text.find('>', at), end = text.find("</signal_set>", at);
    if (content < end && end != std::string::npos) text.erase(content + 1, end - content - 1);
  }
  return edit_tags(text, [](std::string* tag) {
    static const std::string no_table = " mnemonics=\"\"";
    size_t table = tag->find(" mnemonics=\"");
    if (table != std::string::npos) {
      if (tag->compare(table, no_table.size(), no_table) == 0) tag->erase(table, no_table.size());
      else drop_attribute(tag, "radix");
    } else if (tag->find(" radix=\"mnemonics\"") != std::string::npos) {
      drop_attribute(tag, "radix");
    }
    for (const char* by_default :
         {" radix=\"hex\"", " link=\"none\"", " is_signal_inverted=\"no\""}) {
      size_t at = tag->find(by_default);
      if (at != std::string::npos) tag->erase(at, std::strlen(by_default));
    }
  });
}

// One undoable edit of instance `g`, chosen by the input.
void edit_once(TDR_TX_SESSION* tx, int g, BYTE_READER& in) {
  TDR_TX_SIGNAL_SET* sig = tx->get_signal_set_at(g, true);
  TDR_TX_TRIGGER* trig = tx->get_trigger_at(g, true);
  TDR_TX_SIGNAL_NODES* list = in.pick(2) ? static_cast<TDR_TX_SIGNAL_NODES*>(sig) : trig;
  int n = list->get_node_count() + 1;
  int i = int(in.pick(unsigned(n)));
  bool group = list->get_node(i) && list->get_node(i)->is_group();
  bool wire = list->get_node(i) && !group;
  std::string name = "e" + std::to_string(in.pick(8));
  // Each argument is read in its own statement: the order in which a call's
  // arguments are worked out differs between compilers.
  switch (unsigned op = in.pick(24)) {
    case 0: if (wire) list->set_node_name(i, name.c_str()); break;
    case 1: list->set_node_alias(i, in.pick(3) ? name.c_str() : nullptr); break;
    case 2: if (group) list->set_group_node_name(i, name.c_str()); break;
    // A header's capture change is carried over to the other list as a net of
    // the group's name, unless a node there has that name when the commit
    // comes, so the roads differ by when they commit around group renames.
    case 3:
      if (wire) list->set_node_capture_type(i, TDR_DATA_WIRE_CAPTURE_TYPE(1 + in.pick(3)));
      break;
    case 4: list->set_node_tap_mode(i, TDR_DATA_WIRE_TAP_MODE(in.pick(2))); break;
    case 5: list->set_node_connection_status(i, in.pick(2)); break;
    case 6: if (wire) {
        bool enable = in.pick(2);
        list->set_debug_out(i, enable, in.pick(2) ? name.c_str() : nullptr);
      }
      break;
    case 7: if (group) list->set_node_group_display_type(i, TDR_DATA_GROUP_DISPLAY_TYPE(in.pick(12))); break;
    case 8: if (group) list->set_node_lsb_to_msb(i, in.pick(2)); break;
    case 9: list->set_node_signal_inverted(i, in.pick(2)); break;
    case 10: list->append_node(name.c_str(), TDR_STYPE_REGISTER_SIGNAL, TDR_DATA_WIRE_TAP_MODE(in.pick(2))); break;
    case 11: list->delete_node(i, i + int(in.pick(3))); break;
    case 12: list->group_node(i, i + int(in.pick(4)), nullptr); break;
    case 13: if (group) list->ungroup_node(i); break;
    case 14: if (group) list->link_group_node(i, TDR_DATA_GROUP_LINKING_TYPE(in.pick(16))); break;
    case 15: {
        int last = i + int(in.pick(3)), target = int(in.pick(unsigned(n)));
        list->move_before_node(i, last, target, in.pick(2));
      }
      break;
    case 16: {
        int level = int(in.pick(3));
        trig->set_trigger_condition(i, level, TDR_DATA_TRIGGER_CONDITION(in.pick(9)));
      }
      break;
    case 17: trig->set_trigger_level(1 + int(in.pick(3))); break;
    case 18:
    case 19: {
        int level = int(in.pick(3));
        if (op == 18) trig->set_trigger_level_basic_condition(level, in.pick(2));
        else trig->set_trigger_level_enabled(level, in.pick(2));
      }
      break;
    case 20: trig->set_trigger_position(TDR_DATA_TRIGGER_POSITION(in.pick(4))); break;
    case 21: sig->set_sample_depth(64 << in.pick(4)); break;
    case 22: {
        // A port linked to another instance rewrites that instance's ports,
        // which its own undo does not take back: such edits stay out.
        bool enable = in.pick(2);
        if (sig->get_trigger_out_node().find('|') == std::string::npos)
          sig->set_trigger_out_enabled(enable);
      }
      break;
    default: tx->get_instance_at(g, true)->set_incr_cmp_mode(in.pick(2)); break;
  }
}

}  // namespace

void tdr_fuzz_replay(const uint8_t* data, size_t size) {
  if (size < 1) return;
  std::string session = scratch_file("replay_session.xml");
  const std::string& content = bundled(data[0] % 2 ? recorded_init().c_str() : "examples/demo_session.xml");
  write_file(session, content.data(), content.size());
  std::string out = scratch_file("replay_out");
  mkdir(out.c_str(), 0777);

  // Every name the script gives stays inside the scratch folder.
  std::string script(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t at = script.find(".."); at != std::string::npos; at = script.find("..", at))
    script.replace(at, 2, "__");
  for (size_t at = script.find("'/"); at != std::string::npos; at = script.find("'/", at))
    script.replace(at, 2, "'_");

  TDR_TX_SCRIPT_PLAYER player;
  player.set_from_file(session);
  player.set_output_dir(out);
  player.set_verify((data[0] & 2) != 0);
  if (player.load_text(script, tdr_fuzz_scratch_dir(), "fuzz")) {
    player.run();
    if (player.get_calls_replayed() > player.get_num_calls())
      tdr_fuzz_fail("more calls replayed than the script holds");
  } else if (player.get_error().compare(0, 5, "fuzz:") != 0) {
    tdr_fuzz_fail("a parse error without its script and line");
  }
  if (TDR_DATA_MANAGER::get_data_repository_manager()->get_num_sessions() != 0)
    tdr_fuzz_fail("the replay left a session open");
  empty_directory(out);
}

void tdr_fuzz_edit(const uint8_t* data, size_t size) {
  // The canonical session: the demo session as the editing layer saves it with
  // every view rebuilt (an undone edit rebuilds views, which writes defaults).
  static std::string canonical_text;
  std::string canonical = scratch_file("edit_canonical.xml");
  std::string saved = scratch_file("edit_saved.xml");
  std::string redone = scratch_file("edit_redone.xml");
  if (canonical_text.empty()) {
    const std::string& demo = bundled("examples/demo_session.xml");
    write_file(canonical, demo.data(), demo.size());
    TDR_TX_SESSION tx;
    if (!tx.open_session(canonical.c_str()))
      tdr_fuzz_fail("the demo session cannot be opened through the editing layer");
    for (int g = 0; g < tx.get_num_groups(); ++g) {
      tx.get_signal_set_at(g, true)->set_view_rebuild_needed(true);
      tx.get_trigger_at(g, true)->set_view_rebuild_needed(true);
    }
    if (!tx.save_session(canonical.c_str()))
      tdr_fuzz_fail("the demo session cannot be saved through the editing layer");
    tx.close_session();
    canonical_text = read_file(canonical);
  }
  const std::string unedited = without_idle_port_names(canonical_text);

  // Two passes make the same edits; the second undoes them all and redoes
  // them, which must give back what the first saved.
  SEQUENTIAL_NAMES names;
  TDR_DATA_AUTO_NAME_SOURCE* previous_names = TDR_DATA_MANAGER::set_auto_name_source(&names);
  std::string edited_text;
  for (int pass = 0; pass < 2; ++pass) {
    names.next = 0;
    write_file(canonical, canonical_text.data(), canonical_text.size());
    TDR_TX_SESSION tx;
    if (!tx.open_session(canonical.c_str())) tdr_fuzz_fail("the canonical session cannot be opened");
    BYTE_READER in(data, size);
    // Fewer actions than the undo limit, so that everything can be undone.
    for (int actions = 0; !in.done() && actions < 100; ++actions) {
      int g = int(in.pick(unsigned(tx.get_num_groups())));
      TDR_TX_INSTANCE* instance = tx.get_instance_at(g, true);
      switch (in.pick(8)) {
        case 0: instance->undo(); break;
        case 1: instance->redo(); break;
        default:
          instance->begin_action();
          for (unsigned k = 1 + in.pick(3); k > 0; --k) edit_once(&tx, g, in);
          instance->end_action();
      }
    }
    if (pass == 0) {
      tx.save_session(saved.c_str());
      edited_text = comparable(read_file(saved));
      tx.close_session();
      continue;
    }
    std::vector<int> undone;
    for (int g = 0; g < tx.get_num_groups(); ++g) {
      TDR_TX_INSTANCE* instance = tx.get_instance_at(g, true);
      int n = 0;
      while (n < 200 && instance->is_undo_available() && instance->undo()) ++n;
      undone.push_back(n);
    }
    tx.save_session(saved.c_str());
    if (without_idle_port_names(read_file(saved)) != unedited)
      tdr_fuzz_fail("undoing every edit did not give back the unedited file");
    for (int g = 0; g < tx.get_num_groups(); ++g) {
      TDR_TX_INSTANCE* instance = tx.get_instance_at(g, true);
      for (int k = 0; k < undone[size_t(g)]; ++k)
        if (!instance->redo()) tdr_fuzz_fail("an undone edit cannot be redone");
    }
    tx.save_session(redone.c_str());
    if (comparable(read_file(redone)) != edited_text)
      tdr_fuzz_fail("redoing every undone edit did not give back the edited file");
    tx.close_session();
  }
  TDR_DATA_MANAGER::set_auto_name_source(previous_names);

  COUNTING_SINK counter;
  MSG_SINK* previous = msg_set_sink(&counter);
  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  if (TDR_DATA_SESSION* again = manager->open_session(saved.c_str()))
    manager->close_session(again->get_name());
  msg_set_sink(previous);
  if (counter.messages) tdr_fuzz_fail("a saved file does not read back without messages");
  std::remove(saved.c_str());
  std::remove(redone.c_str());
}

const TDR_FUZZ_TARGET tdr_fuzz_targets[] = {
    {"session", tdr_fuzz_session}, {"condition", tdr_fuzz_condition},
    {"legacy", tdr_fuzz_legacy},   {"basic", tdr_fuzz_basic},
    {"tci", tdr_fuzz_tci},         {"enum", tdr_fuzz_enum},
    {"replay", tdr_fuzz_replay},   {"edit", tdr_fuzz_edit},
    {nullptr, nullptr}};

const TDR_FUZZ_TARGET* tdr_fuzz_find_target(const char* name) {
  for (const TDR_FUZZ_TARGET* t = tdr_fuzz_targets; t->name; ++t)
    if (name && std::strcmp(t->name, name) == 0) return t;
  return nullptr;
}
