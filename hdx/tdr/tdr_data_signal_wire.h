// One tapped signal of a signal set. A signal captured for both triggering and
// data has one "wire" element in each input list; the wire object joins the
// two and writes every change to both, so the elements always agree.
#ifndef TDR_DATA_SIGNAL_WIRE_H
#define TDR_DATA_SIGNAL_WIRE_H

#include <string>

#include "tdr_data_global_enum.h"
#include "tdr_data_name_map.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_SIGNAL_SET;

class TDR_DATA_SIGNAL_WIRE {
 public:
  // New wire with new, unattached elements for the sides `capture_type` names.
  TDR_DATA_SIGNAL_WIRE(DOMDocument* doc, const char* name,
                       TDR_DATA_WIRE_CAPTURE_TYPE capture_type);
  TDR_DATA_SIGNAL_WIRE(DOMDocument* doc, const char* name, const char* alias,
                       TDR_DATA_WIRE_CAPTURE_TYPE capture_type);
  // Reads a wire from the file; exactly one of the elements is given (the
  // trigger-side one makes a trigger wire, the data-side one a data wire).
  // Normalised "tap_mode" and "connection_status" are written back.
  TDR_DATA_SIGNAL_WIRE(DOMDocument* doc, DOMElement* trigger_element, DOMElement* data_element);
  virtual ~TDR_DATA_SIGNAL_WIRE();
  TDR_DATA_SIGNAL_WIRE(const TDR_DATA_SIGNAL_WIRE&) = delete;
  TDR_DATA_SIGNAL_WIRE& operator=(const TDR_DATA_SIGNAL_WIRE&) = delete;

  // The returned pointers stay valid until the value changes (the signal
  // set's name-alias map keys point at them).
  const char* get_name() const { return m_has_name ? m_name.c_str() : nullptr; }
  const char* get_alias() const { return m_has_alias ? m_alias.c_str() : nullptr; }
  const char* get_debug_port_name() const {
    return m_has_debug_port_name ? m_debug_port_name.c_str() : nullptr;
  }
  bool is_debug_port() const { return m_debug_port; }
  TDR_DATA_WIRE_CAPTURE_TYPE get_capture_type() const { return m_capture_type; }
  TDR_DATA_WIRE_TAP_MODE get_tap_mode() const { return m_tap_mode; }
  TDR_DATA_SIGNAL_TYPE get_signal_type() const { return m_signal_type; }
  bool get_connection_status() const { return m_connection_status; }
  int get_trigger_wire_index() const { return m_trigger_wire_index; }
  int get_data_wire_index() const { return m_data_wire_index; }
  DOMElement* get_data_dom_node() const { return m_data_element; }
  DOMElement* get_trigger_dom_node() const { return m_trigger_element; }

  // Setters write every element the wire has, trigger side first. A null
  // alias is the same as del_alias(). A wire in a signal set stays findable
  // by its new alias (unless another wire holds it).
  void set_alias(const char* alias);
  void del_alias();
  // Enabling needs a port name. Disabling removes only "debug_port"; the
  // stored name and "debug_port_name" stay.
  void set_debug_port(bool enable, const char* port_name);
  void set_signal_type(TDR_DATA_SIGNAL_TYPE type);
  void set_tap_mode(TDR_DATA_WIRE_TAP_MODE mode);
  // A classic wire is always connected: asking it for false answers false and
  // keeps true. The attribute is rewritten in every case.
  bool set_connection_status(bool connected);
  // Stored only; the signal set keeps these in step with its lists.
  void set_capture_type(TDR_DATA_WIRE_CAPTURE_TYPE type) { m_capture_type = type; }
  void set_trigger_wire_index(int index) { m_trigger_wire_index = index; }
  void set_data_wire_index(int index) { m_data_wire_index = index; }

  // Adds `capture_type` to the wire's capture type. With `create_elements` a
  // side that becomes captured gets a new (unattached) element carrying the
  // wire's attributes.
  void consolidate(TDR_DATA_WIRE_CAPTURE_TYPE capture_type, bool create_elements);
  // Merges a wire of the same name read from the other list. Without
  // `create_elements` the duplicate's elements are adopted for the sides this
  // wire lacks. The caller deletes the duplicate.
  void consolidate(TDR_DATA_SIGNAL_WIRE* duplicate, bool create_elements);

  static const char* convert_to_signal_type_str(TDR_DATA_SIGNAL_TYPE type);
  static TDR_DATA_SIGNAL_TYPE convert_to_signal_type(const char* text);
  static TDR_DATA_WIRE_TAP_MODE convert_to_tap_mode(const char* text);
  static const char* convert_to_tap_mode_str(TDR_DATA_WIRE_TAP_MODE mode);
  static const char* convert_to_capture_type_str(TDR_DATA_WIRE_CAPTURE_TYPE type);
  static TDR_DATA_WIRE_CAPTURE_TYPE convert_to_capture_type(const char* text);

 private:
  friend class TDR_DATA_SIGNAL_SET;

  DOMElement* new_wire_element();
  void write_attr(const XMLCh* name, const XMLCh* value);
  void write_attr(const XMLCh* name, const std::string& value);
  void remove_attr(const XMLCh* name);
  void read_element(DOMElement* element);
  // Sets the status the wire takes for `connected`; false when refused.
  bool settle_connection_status(bool connected);
  // write_attr(name, word), skipped when `read` (the value just read from
  // the wire's only element) already is `word`.
  void normalise_attr(const XMLCh* read, const XMLCh* name, const XMLCh* word);
  // The debug-port setter without the port-name precondition: a port enabled
  // in a file without a name writes "debug_port" only.
  void apply_debug_port(bool enable, const char* port_name);
  // Changes the alias, moving the wire's keys in the set's name-alias map
  // (whose keys point into m_name and m_alias); false when a key was taken.
  bool change_alias(const char* alias);
  void erase_keys();

  bool m_has_name = false;
  std::string m_name;
  bool m_has_alias = false;
  std::string m_alias;
  bool m_debug_port = false;
  bool m_has_debug_port_name = false;
  std::string m_debug_port_name;
  TDR_DATA_WIRE_CAPTURE_TYPE m_capture_type = TDR_WTYPE_NONE_CAPTURE;
  TDR_DATA_WIRE_TAP_MODE m_tap_mode = TDR_MTYPE_CLASSIC_TAP;
  TDR_DATA_SIGNAL_TYPE m_signal_type = TDR_STYPE_UNKNOWN_SIGNAL;
  int m_trigger_wire_index = -1;
  int m_data_wire_index = -1;
  bool m_connection_status = true;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_data_element = nullptr;
  DOMElement* m_trigger_element = nullptr;
  // The map of the signal set the wire was appended to.
  TDR_DATA_NAME_ALIAS_MAP<TDR_DATA_SIGNAL_WIRE>* m_key_map = nullptr;
  // That signal set, whose connection string is computed on demand.
  const TDR_DATA_SIGNAL_SET* m_owner = nullptr;
};

#endif
