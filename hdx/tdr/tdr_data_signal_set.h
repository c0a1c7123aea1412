// One acquisition set-up of an analyser instance: sampling clock, sample
// buffer, trigger ports, the tapped signals (wires) split into a trigger list
// and a data list, the two presentation views and the triggers. Bound to one
// "signal_set" element; setters write the element at once.
#ifndef TDR_DATA_SIGNAL_SET_H
#define TDR_DATA_SIGNAL_SET_H

#include <memory>
#include <string>
#include <vector>

#include "tdr_data_global_enum.h"
#include "tdr_data_name_map.h"
#include "tdr_data_named_list.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_INSTANCE;

// Names the editing layer gives the analyser's own pins and ports.
extern const char* const TDR_ACQ_CLK_UNDEFINED_PIN_NAME;    // "auto_tvf_external_clock_%d"
extern const char* const TDR_TRIGGER_IN_DEFAULT_PIN_NAME;   // "auto_tvf_trigger_in"
extern const char* const TDR_TRIGGER_OUT_DEFAULT_PIN_NAME;  // "auto_tvf_trigger_out"
extern const char* const TDR_TRIGGER_IN_PORT_NAME;          // "|trigger_in"
extern const char* const TDR_TRIGGER_OUT_PORT_NAME;         // "|trigger_out"
// The sampling clock of a set that names none.
extern const char* const TDR_DEFAULT_EXTERNAL_CLOCK_NAME;   // "auto_tvf_external_clock"

class TDR_DATA_SIGNAL_SET {
 public:
  enum POLARITY { POSEDGE = 0, NEGEDGE = 1 };

  static const int DEFAULT_SAMPLE_DEPTH = 128;
  static const int MAX_SAMPLE_DEPTH = 1 << 30;

  // New set named by the manager's name generator.
  explicit TDR_DATA_SIGNAL_SET(DOMDocument* doc);
  // New, unattached "signal_set" element with the empty skeleton children.
  TDR_DATA_SIGNAL_SET(DOMDocument* doc, const char* name);
  // Reads an existing element, repairing and normalising it in place; older
  // file formats are converted to the current one.
  TDR_DATA_SIGNAL_SET(DOMDocument* doc, DOMElement* element, TDR_DATA_INSTANCE* instance);
  virtual ~TDR_DATA_SIGNAL_SET();
  TDR_DATA_SIGNAL_SET(const TDR_DATA_SIGNAL_SET&) = delete;
  TDR_DATA_SIGNAL_SET& operator=(const TDR_DATA_SIGNAL_SET&) = delete;

  // --- accessors (strings are null when absent) ---
  const char* get_name() const { return m_name.c_str(); }
  const char* get_clock_name() const { return m_clock_name.c_str(); }
  POLARITY get_clock_polarity() const { return m_clock_polarity; }
  const char* get_top_entity_name() const { return m_top_entity.get(); }
  int get_sample_depth() const { return m_sample_depth; }
  TDR_VELARN_RAM_TYPE get_velarn_ram_type() const { return m_ram_type; }
  bool is_trigger_in_enabled() const { return m_trigger_in_enabled; }
  const char* get_trigger_in_pin() const { return m_trigger_in_pin.get(); }
  const char* get_trigger_in_node() const { return m_trigger_in_node.get(); }
  bool is_trigger_out_enabled() const { return m_trigger_out_enabled; }
  const char* get_trigger_out_pin() const { return m_trigger_out_pin.get(); }
  const char* get_trigger_out_node() const { return m_trigger_out_node.get(); }
  int get_reserved_data_node_size() const { return m_reserved_data_nodes; }
  int get_reserved_trigger_node_size() const { return m_reserved_trigger_nodes; }
  TDR_DATA_INSTANCE* get_instance() const { return m_instance; }
  DOMElement* get_dom_node() const { return m_element; }
  DOMDocument* get_dom_doc() const { return m_doc; }
  bool is_expanded() const { return m_expanded; }
  // One character per data wire: "1" connected, "0" not.
  const char* get_signal_connections() const;
  // True when every data wire is connected.
  bool get_connection_status() const;
  TDR_DATA_TRIGGER* get_global_trigger() const { return m_triggers.global(); }
  TDR_DATA_SIGNAL_VIEW* get_data_view() const;
  TDR_DATA_SIGNAL_VIEW* get_setup_view() const;

  // --- wire queries ---
  int get_data_wire_width() const { return int(m_data_wires.size()); }
  int get_trigger_wire_width() const { return int(m_trigger_wires.size()); }
  int get_ela_data_wire_width() const;
  int get_ela_trigger_wire_width() const;
  // Distinct wires: a wire in both lists counts once.
  int get_wire_size() const;
  TDR_DATA_SIGNAL_WIRE* get_data_wire_at(int index) const;
  TDR_DATA_SIGNAL_WIRE* get_trigger_wire_at(int index) const;
  // The non-empty alias of the trigger wire, else its name; null for a bad index.
  const char* get_trigger_wire_alias_at(int index) const;
  // By name or alias.
  TDR_DATA_SIGNAL_WIRE* get_wire(const char* name_or_alias) const {
    return m_wire_map.find(name_or_alias);
  }
  // True when `name` is the key the conditions of trigger wire `index` are
  // written with and that key finds the wire. Spares long condition texts,
  // which name the wires in order, a lookup per clause: the keys of all
  // trigger wires are gathered once per change of the wires.
  bool is_written_key_of(int index, const char* name) const;

  // --- setters ---
  // Renames within the instance; false (old name kept) when the name is taken.
  bool set_name(const char* name);
  // An empty name selects the default external clock.
  void set_clock(const char* name, POLARITY polarity);
  void set_clock(POLARITY polarity);
  void create_default_external_clock();
  void set_top_entity_name(const char* name);
  // The depth is corrected (validate_sample_depth) before it is stored.
  void set_sample_depth(int depth);
  void set_velarn_ram_type(TDR_VELARN_RAM_TYPE type);
  void enable_trigger_in(bool enable);
  void enable_trigger_out(bool enable);
  // A port is driven by a pin or by a node: setting one drops the other.
  void set_trigger_in_pin(const char* name);
  void set_trigger_in_node(const char* name);
  void set_trigger_out_pin(const char* name);
  void set_trigger_out_node(const char* name);
  // Negative sizes become 0.
  void set_reserved_data_node_size(int size);
  void set_reserved_trigger_node_size(int size);
  bool set_expanded_status(bool expanded);
  void set_instance(TDR_DATA_INSTANCE* instance) { m_instance = instance; }
  void set_global_trigger(TDR_DATA_TRIGGER* trigger) { m_triggers.set_global(trigger); }
  // Gives the wire found by `name_or_alias` a new alias (null or empty
  // removes it). False when there is no such wire or the alias is taken.
  bool rename_signal_alias(const char* name_or_alias, const char* new_alias);

  // --- wires ---
  // A wire of this name (or alias) is merged and returned; otherwise a new
  // wire, not yet in the set (append it).
  TDR_DATA_SIGNAL_WIRE* create_wire(const char* name, TDR_DATA_WIRE_CAPTURE_TYPE capture_type,
                                    TDR_DATA_WIRE_TAP_MODE tap_mode, bool connected,
                                    const char* alias);
  // Puts the wire on the list(s) its capture type names where it is not yet,
  // optionally attaching its elements to the input lists. Always true.
  bool append(TDR_DATA_SIGNAL_WIRE* wire, bool attach_elements);

  // --- triggers ---
  TDR_DATA_TRIGGER* create_trigger(const char* name, bool global);
  bool append(TDR_DATA_TRIGGER* trigger, bool attach_element);
  TDR_DATA_TRIGGER* find_trigger(const char* name) const { return m_triggers.find(name); }
  TDR_DATA_TRIGGER* get_trigger_at(int index) const { return m_triggers.at(index); }
  int get_num_triggers() const { return m_triggers.size(); }
  TDR_DATA_TRIGGER* get_last_trigger() const;
  void delete_from_vector(TDR_DATA_TRIGGER* trigger) { m_triggers.delete_from_vector(trigger); }
  TDR_DATA_NAME_MAP<TDR_DATA_TRIGGER>& get_trigger_name_map() { return m_triggers.name_map(); }

  // --- other ---
  // Valid depths are 0 and the powers of two from 64 to 2^30. Corrects
  // *depth to the nearest lower valid one (64 at least; negative gives 0) and
  // answers whether it was valid.
  static bool validate_sample_depth(int* depth);
  const char* to_string();
  bool is_global_temp() const;
  void set_global_temp();
  // Takes the set out of its instance and the document and deletes it.
  void remove();
  void init_container();
  // Deletes triggers and wires; the elements stay in the document.
  void del_container();
  // Reads the signal lists of `signal_vec` (any supported format).
  void expand_dom_signal_vec(DOMElement* signal_vec, bool data_view_missing,
                             bool setup_view_missing);
  void create_signal_connections();

 private:
  // An owned string that may be absent.
  class OPT_STRING {
   public:
    const char* get() const { return m_present ? m_value.c_str() : nullptr; }
    bool present() const { return m_present; }
    bool non_empty() const { return m_present && !m_value.empty(); }
    void set(const char* value) {
      m_present = value != nullptr;
      m_value = value ? value : "";
    }
    void set(const std::string& value) {
      m_present = true;
      m_value = value;
    }
    void clear() {
      m_present = false;
      m_value.clear();
    }

   private:
    bool m_present = false;
    std::string m_value;
  };

  void create_skeleton();
  void parse(DOMElement* element);
  void read_config();
  void read_triggers();
  void read_current_format(DOMElement* signal_vec);
  void fill_missing_views(bool data_view_missing, bool setup_view_missing);
  void build_old_format_views(DOMElement* signal_vec, bool data_view_missing,
                              bool setup_view_missing);
  void convert_old_format_wires(DOMElement* signal_vec);
  void set_port(OPT_STRING* set, const XMLCh* set_attr, OPT_STRING* other,
                const XMLCh* other_attr, const char* name);
  void write_config_flag(const XMLCh* attr, bool value);

  std::string m_name;
  std::string m_clock_name;
  POLARITY m_clock_polarity = POSEDGE;
  bool m_trigger_in_enabled = false;
  OPT_STRING m_trigger_in_pin;
  OPT_STRING m_trigger_in_node;
  bool m_trigger_out_enabled = false;
  OPT_STRING m_trigger_out_pin;
  OPT_STRING m_trigger_out_node;
  OPT_STRING m_top_entity;
  int m_sample_depth = DEFAULT_SAMPLE_DEPTH;
  int m_reserved_data_nodes = 0;
  int m_reserved_trigger_nodes = 0;
  bool m_expanded = false;
  // Rebuilt on demand after the data list changed.
  mutable std::string m_signal_connections;
  mutable bool m_connection_status = true;
  mutable bool m_connections_stale = false;
  TDR_DATA_NAME_ALIAS_MAP<TDR_DATA_SIGNAL_WIRE> m_wire_map;
  std::vector<TDR_DATA_SIGNAL_WIRE*> m_data_wires;
  std::vector<TDR_DATA_SIGNAL_WIRE*> m_trigger_wires;
  struct WRITTEN_KEY {
    const TDR_DATA_SIGNAL_WIRE* wire;
    const char* key;  // null when the key finds another wire or none
  };
  mutable std::vector<WRITTEN_KEY> m_written_keys;
  mutable size_t m_written_keys_version = size_t(-1);
  TDR_DATA_NAMED_LIST<TDR_DATA_TRIGGER> m_triggers;
  TDR_DATA_INSTANCE* m_instance = nullptr;
  std::string m_text;
  std::unique_ptr<TDR_DATA_SIGNAL_VIEW> m_data_view;
  std::unique_ptr<TDR_DATA_SIGNAL_VIEW> m_setup_view;
  TDR_VELARN_RAM_TYPE m_ram_type = TDR_RTYPE_MIDRAM_BLOCK;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_element = nullptr;
  DOMElement* m_clock = nullptr;
  DOMElement* m_config = nullptr;
  DOMElement* m_top_entity_element = nullptr;
  DOMElement* m_signal_vec = nullptr;
  DOMElement* m_trigger_input_vec = nullptr;
  DOMElement* m_data_input_vec = nullptr;
  DOMElement* m_presentation = nullptr;
};

#endif
