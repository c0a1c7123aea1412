// One trigger of a signal set, bound to its "trigger" element: the trigger
// levels with their per-signal basic conditions (normal and power-up), the
// trigger position, segmentation, trigger-in/out conditions, and the logs
// (acquired data) recorded under it. Every setter writes the element at once.
#ifndef TDR_DATA_TRIGGER_H
#define TDR_DATA_TRIGGER_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tdr_data_global_enum.h"
#include "tdr_data_named_list.h"
#include "tdr_data_trigger_adv_tree.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_SIGNAL_VIEW_NODE;
class TDR_DATA_LOG;
class TCI_ADVANCED_TRIGGER_FACTORY;
class TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP;

// The conditions other than dont-care of one side of a level, by trigger-wire
// index, in wire order: memory follows what the file or the caller set, not
// levels x wires. A level read from a file names its wires in order, so its
// conditions are appended one after the other; one set out of order is
// appended too, and the row is put in order again when next read.
class TDR_DATA_CONDITION_ROW {
 public:
  typedef std::pair<int, TDR_DATA_TRIGGER_CONDITION> ENTRY;
  // TDR_CTYPE_DONT_CARE_COND removes the wire's condition.
  void set(int wire, TDR_DATA_TRIGGER_CONDITION condition);
  TDR_DATA_TRIGGER_CONDITION get(int wire) const;
  // In wire order, one entry a wire, no dont-care.
  const std::vector<ENTRY>& entries() const {
    if (m_ordered < m_entries.size() || m_has_dont_care) put_in_order();
    return m_entries;
  }

 private:
  void put_in_order() const;
  // The first entry of the ordered row not before `wire`.
  size_t position_of(int wire) const;
  mutable std::vector<ENTRY> m_entries;
  mutable size_t m_ordered = 0;  // entries before this are in order, one a wire
  mutable bool m_has_dont_care = false;
  mutable size_t m_next = 0;  // where the next set in order is likely to land
};

class TDR_DATA_TRIGGER {
 public:
  // New, unattached "trigger" element with a generated name, with empty
  // "power_up_trigger" and "events" children.
  explicit TDR_DATA_TRIGGER(DOMDocument* doc);
  // The same carrying the given name.
  TDR_DATA_TRIGGER(DOMDocument* doc, const char* name);
  // Reads an existing element (levels, conditions, logs), converting older
  // variants and creating missing children.
  TDR_DATA_TRIGGER(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set);
  virtual ~TDR_DATA_TRIGGER();
  TDR_DATA_TRIGGER(const TDR_DATA_TRIGGER&) = delete;
  TDR_DATA_TRIGGER& operator=(const TDR_DATA_TRIGGER&) = delete;

  void init_container() {}
  // Deletes the logs, the global log, the levels and what they own.
  void del_container();
  // Takes the trigger out of its signal set and the document, then deletes it.
  void remove();

  // --- accessors (the bool selects the power-up trigger) ---
  const char* get_name() const { return m_name.c_str(); }
  // The "trigger" element, or its "power_up_trigger" child.
  DOMElement* get_dom_node(bool power_up = false) const {
    return power_up ? m_power_up_element : m_element;
  }
  DOMDocument* get_dom_doc() const { return m_doc; }
  TDR_DATA_SIGNAL_SET* get_signal_set() const { return m_signal_set; }
  void set_signal_set(TDR_DATA_SIGNAL_SET* signal_set) { m_signal_set = signal_set; }
  TDR_DATA_TRIGGER_POSITION get_trigger_position(bool power_up) const {
    return side(power_up).position;
  }
  TDR_DATA_TRIGGER_CONDITION get_trigger_in(bool power_up) const {
    return side(power_up).trigger_in;
  }
  TDR_DATA_TRIGGER_CONDITION get_trigger_out(bool power_up) const {
    return side(power_up).trigger_out;
  }
  int get_segment_size(bool power_up) const { return side(power_up).segment_size; }
  TDR_DATA_TRIGGER_TYPE get_trigger_type(bool power_up) const { return side(power_up).type; }
  bool is_segment_enabled(bool power_up) const {
    return side(power_up).type == TDR_TTYPE_SEGMENTED_TRIGGER;
  }
  int get_event_levels() const { return int(m_levels.size()); }
  // True for a level index out of range.
  bool is_trigger_level_enabled(int level, bool power_up) const;
  bool is_trigger_level_basic_condition(int level) const;
  // Dont-care for a level or wire index out of range.
  TDR_DATA_TRIGGER_CONDITION get_condition(int level, int wire, bool power_up) const;
  bool is_power_up_mode() const { return m_power_up_mode; }
  bool is_expanded() const { return m_expanded; }
  bool is_global_temp() const;
  // Segmented when the text begins with "s", else circular.
  static TDR_DATA_TRIGGER_TYPE convert_to_trigger_type(const char* text);

  // --- setters ---
  // Renames within the signal set; false (nothing changed) when the name is taken.
  bool set_name(const char* name);
  void set_trigger_position(TDR_DATA_TRIGGER_POSITION position, bool power_up);
  void set_trigger_in(TDR_DATA_TRIGGER_CONDITION condition, bool power_up);
  void set_trigger_out(TDR_DATA_TRIGGER_CONDITION condition, bool power_up);
  // Clamped to 1 .. the signal set's sample depth and rounded down to a power
  // of two (1 without a depth); true when `size` was taken unchanged.
  bool set_segment_size(int size, bool power_up);
  // False (and "circular" written) for a type other than circular or segmented.
  bool set_trigger_type(TDR_DATA_TRIGGER_TYPE type, bool power_up);
  void set_power_up_mode(bool power_up_mode);
  bool set_expanded_status(bool expanded);
  void set_global_temp();
  // Out-of-range levels change nothing; a level without element gets the flag only.
  void set_trigger_level_enabled(int level, bool enabled, bool power_up);
  void set_trigger_level_cond_expr_type(int level, bool basic);
  // Appends a level with every condition dont-care; with `create_dom` its
  // "level" element (with "power_up") is created. Returns the level's index.
  int append_new_level(bool create_dom);

  // Conditions of one level; each form is true when at least one condition
  // was set. With `write` the level's condition text is rewritten.
  // By trigger-wire index.
  bool set_trigger_condition(int wire, int level, TDR_DATA_TRIGGER_CONDITION condition,
                             bool power_up, bool write);
  // Every member of the setup view's bus or group `node_name`.
  bool set_trigger_condition(const char* node_name, int level, TDR_DATA_TRIGGER_CONDITION condition,
                             bool power_up, bool write);
  // The bits of `value` to the bus members in the bus's bit order (bit 0 first).
  bool set_trigger_condition(const char* bus_name, int level, long value, bool power_up,
                             bool write);
  // The value of `symbol` in the bus's mnemonic table, one character a member.
  bool set_trigger_condition(const char* bus_name, int level, const char* symbol, bool power_up,
                             bool write);
  // The same through the table named `table_name`.
  bool set_trigger_condition(const char* bus_name, int level, const char* table_name,
                             const char* symbol, bool power_up, bool write);
  // Rewrites the level's condition text (creating its text node when missing)
  // from its conditions; lets a caller set many conditions with write = false
  // and write the text once.
  void write_condition_text(int level, bool power_up);

  // --- condition text ---
  // The level's condition text; valid until the next call of this or to_string.
  const char* get_condition_expression(int level, bool power_up);
  // Applies the clauses of `text` to the level (never rewrites its text).
  void parse_condition(const char* text, int level, bool power_up);
  static TDR_DATA_TRIGGER_CONDITION convert_symbol_to_condition(char symbol);
  // A multi-line summary; valid until the next call of this or get_condition_expression.
  const char* to_string(bool power_up);

  // --- logs ---
  // A new log bound to this trigger and its signal set; null (WTDR_DUPLICATE_NAME)
  // when a listed log has the name. A global-temp log replaces the previous one.
  TDR_DATA_LOG* create_log(const char* name, bool global_temp);
  bool append(TDR_DATA_LOG* log, bool append_element);
  TDR_DATA_LOG* find_log(const char* name) const;
  int get_num_logs() const { return m_logs.size(); }
  TDR_DATA_LOG* get_log_at(int index) const { return m_logs.at(index); }
  void delete_from_vector(TDR_DATA_LOG* log) { m_logs.delete_from_vector(log); }
  TDR_DATA_LOG* get_global_log() const { return m_logs.global(); }
  void set_global_log(TDR_DATA_LOG* log) { m_logs.set_global(log); }
  void drop_global_log();
  TDR_DATA_NAME_MAP<TDR_DATA_LOG>& get_log_name_map() { return m_logs.name_map(); }
  // The session's active log of the instance, else the last listed log, else null.
  TDR_DATA_LOG* get_last_log() const;

  // --- hardware queries ---
  int get_last_trigger_level_latency_delay();
  int get_trigger_out_latency_delay();
  bool is_incremental_node_used_correctly();
  bool is_using_incremental_route() const;

  // --- advanced levels ---
  // The level's "op_node" tree root; null for a level out of range or without a tree.
  TDR_DATA_TRIGGER_ADV_TREE_OBJ* get_advanced_trigger_tree_root(int level);
  // Replaces the level's tree with one empty "op_node"; null for a level out of range.
  TDR_DATA_TRIGGER_ADV_TREE_OBJ* recreate_advanced_trigger_tree_root(int level);
  // The expression text ("" when none), read from the file on first use;
  // valid while the trigger lives and the expression is not set again.
  const char* get_advanced_trigger_expression(int level, bool power_up);
  // Stores the text (file and cache) and compiles it; true when it compiled.
  bool set_advanced_trigger_expression(int level, const char* text, bool power_up);
  // The level's compiled expression, built on first need; one build attempt
  // per level and side. Null when it did not compile.
  TCI_ADVANCED_TRIGGER_FACTORY* get_advanced_trigger_factory(int level, bool power_up);
  // A new factory carrying this trigger's names and name map; the caller owns it.
  TCI_ADVANCED_TRIGGER_FACTORY* create_trigger_factory();
  // Fills `map`, or the trigger's own map when null, with the trigger inputs.
  bool create_name_index_map(TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* map);
  // The trigger's own map, null until first needed.
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* get_name_index_map() const {
    return m_name_index_map.get();
  }
  // The level's canonical compiled text, kept once computed.
  const char* get_advanced_trigger_crc_string(int level);
  // Gives every advanced level of the side the same latency.
  bool process_advanced_triggers(bool power_up);
  // Coordinates latencies once and warns about trigger inputs that no
  // advanced level reads; later calls do nothing and answer false.
  bool finalize_triggers();
  bool is_finalized() const { return m_finalized; }

  // --- fingerprint ---
  // The 32-bit fingerprint; without `bypass` a stored "CRC" attribute answers
  // and a computed non-zero value is stored.
  unsigned long get_crc_value(bool bypass);
  void set_crc_value(unsigned long value);
  // The texts behind the fingerprint; each appends to `out`.
  void compose_critical_crc_string_V1_V2(std::string& out) const;
  void compose_critical_crc_string_V3(std::string& out);
  void compose_critical_crc_string_V4(std::string& out);
  void compose_non_critical_crc_string_V1_V2_V3(std::string& out) const;
  void compose_non_critical_incremental_crc_string_V1_V2_V3(std::string& out) const;
  void compose_non_critical_non_incremental_crc_string_V1_V2_V3(std::string& out) const;
  // Reflected CRCs over `bit_count` bits from `first_bit` (bit i is bit i%8,
  // least significant first, of byte i/8): 16-bit poly 0x8005, 8-bit poly
  // 0x11, both starting all ones, no final xor.
  static unsigned short calculate_16_bit_crc(const unsigned char* data, unsigned long first_bit,
                                             unsigned long bit_count);
  static unsigned char calculate_8_bit_crc(const unsigned char* data, unsigned long first_bit,
                                           unsigned long bit_count);
  static unsigned short calculate_16_bit_crc_from_string(const std::string& text);
  static unsigned char calculate_8_bit_crc_from_string(const std::string& text);

 private:
  class LANG_TARGET;

  struct SIDE {
    TDR_DATA_TRIGGER_POSITION position = TDR_PTYPE_PRE_POS;
    TDR_DATA_TRIGGER_CONDITION trigger_in = TDR_CTYPE_DONT_CARE_COND;
    TDR_DATA_TRIGGER_CONDITION trigger_out = TDR_CTYPE_ACTIVE_HIGH_COND;
    int segment_size = 1;
    TDR_DATA_TRIGGER_TYPE type = TDR_TTYPE_CIRCULAR_TRIGGER;
  };

  // Index 0 of each pair is the normal trigger, 1 the power-up trigger.
  struct LEVEL {
    bool enabled[2] = {true, true};
    bool basic = true;
    TDR_DATA_CONDITION_ROW conditions[2];
    DOMElement* element = nullptr;           // "level"
    DOMElement* power_up_element = nullptr;  // its "power_up"
    xercesc::DOMText* text[2] = {nullptr, nullptr};
    // "expression" / "power_up_expression" CDATA and the "op_node" root, kept
    // for the advanced-expression code.
    xercesc::DOMCDATASection* expression[2] = {nullptr, nullptr};
    DOMElement* op_node = nullptr;
    bool factory_built[2] = {false, false};
    TCI_ADVANCED_TRIGGER_FACTORY* factory[2] = {nullptr, nullptr};
    std::unique_ptr<TDR_DATA_TRIGGER_ADV_TREE_OBJ> tree;  // wraps op_node once asked for
    std::string expression_text[2];
    std::string crc_text;
  };

  const SIDE& side(bool power_up) const { return m_side[power_up ? 1 : 0]; }
  void create_element();
  void read_element();
  void read_side(DOMElement* element, bool power_up);
  void read_port_condition(DOMElement* element, const XMLCh* attr, bool trigger_in, bool power_up);
  void expand_dom_events(DOMElement* events);
  void read_logs();
  void parse_level_text(xercesc::DOMText* text, int level, bool power_up);
  // The level's "power_up" element, created (with an empty text node) when
  // the level has an element but no "power_up".
  DOMElement* power_up_element(LEVEL* level);
  int trigger_wire_count() const;
  // A new factory with the trigger and instance names and the name map
  // (created when missing); null after an internal error.
  TCI_ADVANCED_TRIGGER_FACTORY* new_factory();
  // The non-critical text over the wires whose tap mode is classic
  // (`classic`), not classic (`!classic`), or all (`all`).
  void compose_wire_names(std::string& out, bool all, bool classic) const;
  // The instance's hardware version, the inferred one when it is undefined.
  unsigned version_for_crc() const;
  bool store_condition(int wire, int level, TDR_DATA_TRIGGER_CONDITION condition, bool power_up);
  TDR_DATA_SIGNAL_VIEW_NODE find_bus(const char* name) const;
  // The symbol forms: finds the bus, sets, writes the text when asked.
  bool set_bus_condition(const char* bus_name, int level, const char* table_name,
                         const char* symbol, bool power_up, bool write);
  // Bodies of the node, value and symbol forms over a bus already found.
  bool set_node_condition(const TDR_DATA_SIGNAL_VIEW_NODE& node, int level,
                          TDR_DATA_TRIGGER_CONDITION condition, bool power_up);
  bool set_value_condition(const TDR_DATA_SIGNAL_VIEW_NODE& bus, int level, long value,
                           bool power_up);
  bool set_symbol_condition(const TDR_DATA_SIGNAL_VIEW_NODE& bus, const char* table_name,
                            const char* symbol, int level, bool power_up);
  // Trigger-wire index of a bus member by its name, -1 for a wire without
  // one; -2 (WTDR_INVALID_SIGNAL_REF posted) when no wire has the name.
  int resolve_member(const TDR_DATA_SIGNAL_VIEW_NODE& member) const;
  // The compiled advanced condition of a level (built on demand), or null.
  TCI_ADVANCED_TRIGGER_FACTORY* advanced_factory(int level, bool power_up);

  std::string m_name;
  std::vector<LEVEL> m_levels;
  SIDE m_side[2];
  bool m_expanded = true;
  bool m_power_up_mode = false;
  TDR_DATA_SIGNAL_SET* m_signal_set = nullptr;
  TDR_DATA_NAMED_LIST<TDR_DATA_LOG> m_logs;
  std::string m_text;
  // Bus lookups remembered while a condition text is parsed; null otherwise.
  std::unordered_map<std::string, DOMElement*>* m_bus_cache = nullptr;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_element = nullptr;
  DOMElement* m_power_up_element = nullptr;
  DOMElement* m_events = nullptr;
  std::unique_ptr<TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP> m_name_index_map;
  bool m_finalized = false;
};

#endif
