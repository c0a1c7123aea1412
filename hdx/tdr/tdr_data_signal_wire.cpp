// Tapped signals and their trigger-side / data-side "wire" elements.
#define TDR_SOURCE_FILE "tdr_data_signal_wire"

#include "tdr_data_signal_wire.h"

#include "gen.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

bool includes_trigger(TDR_DATA_WIRE_CAPTURE_TYPE type) {
  return type == TDR_WTYPE_TRIGGER_CAPTURE || type == TDR_WTYPE_BOTH_CAPTURE;
}

bool includes_data(TDR_DATA_WIRE_CAPTURE_TYPE type) {
  return type == TDR_WTYPE_DATA_CAPTURE || type == TDR_WTYPE_BOTH_CAPTURE;
}

const XMLCh* tap_mode_word(TDR_DATA_WIRE_TAP_MODE mode) {
  if (mode == TDR_MTYPE_ADVANCED_TAP) return TDR_X("advanced");
  if (mode == TDR_MTYPE_PROBEONLY_TAP) return TDR_X("probeonly");
  return TDR_X("classic");
}

// First-character rule on an attribute value, without transcoding it.
TDR_DATA_WIRE_TAP_MODE tap_mode_from_first(XMLCh first) {
  if (first == 'a') return TDR_MTYPE_ADVANCED_TAP;
  if (first == 'p') return TDR_MTYPE_PROBEONLY_TAP;
  return TDR_MTYPE_CLASSIC_TAP;
}

}  // namespace

TDR_DATA_SIGNAL_WIRE::TDR_DATA_SIGNAL_WIRE(DOMDocument* doc, const char* name,
                                           TDR_DATA_WIRE_CAPTURE_TYPE capture_type)
    : TDR_DATA_SIGNAL_WIRE(doc, name, nullptr, capture_type) {}

TDR_DATA_SIGNAL_WIRE::TDR_DATA_SIGNAL_WIRE(DOMDocument* doc, const char* name, const char* alias,
                                           TDR_DATA_WIRE_CAPTURE_TYPE capture_type)
    : m_capture_type(capture_type), m_doc(doc) {
  if (name) {
    m_has_name = true;
    m_name = name;
  }
  if (alias) {
    m_has_alias = true;
    m_alias = alias;
  }
  if (includes_trigger(capture_type)) m_trigger_element = new_wire_element();
  if (includes_data(capture_type)) m_data_element = new_wire_element();
}

TDR_DATA_SIGNAL_WIRE::TDR_DATA_SIGNAL_WIRE(DOMDocument* doc, DOMElement* trigger_element,
                                           DOMElement* data_element)
    : m_doc(doc), m_data_element(data_element), m_trigger_element(trigger_element) {
  if (trigger_element && data_element) {
    m_capture_type = TDR_WTYPE_BOTH_CAPTURE;
  } else if (trigger_element) {
    m_capture_type = TDR_WTYPE_TRIGGER_CAPTURE;
  } else if (data_element) {
    m_capture_type = TDR_WTYPE_DATA_CAPTURE;
  }
  if (!TDR_CHECK(trigger_element != NULL || data_element != NULL)) return;
  read_element(trigger_element ? trigger_element : data_element);
}

TDR_DATA_SIGNAL_WIRE::~TDR_DATA_SIGNAL_WIRE() {}

void TDR_DATA_SIGNAL_WIRE::read_element(DOMElement* element) {
  // One walk over the attributes: a wire is read for every signal.
  enum { NAME, ALIAS, DEBUG_PORT, TYPE, TAP_MODE, CONNECTION_STATUS, DEBUG_PORT_NAME, COUNT };
  const XMLCh* const names[COUNT] = {TDR_X("name"),     TDR_X("alias"),
                                     TDR_X("debug_port"), TDR_X("type"),
                                     TDR_X("tap_mode"), TDR_X("connection_status"),
                                     TDR_X("debug_port_name")};
  const XMLCh* v[COUNT];
  tdr_attr_values(element, names, COUNT, v);
  auto given = [&](int k) { return v[k] && *v[k]; };
  if (!given(NAME)) {
    MSG_TDR::post(MSG_TDR::W::MISSING_NAME("signal"));
    return;
  }
  m_has_name = true;
  m_name.clear();
  tdr_narrow_append(v[NAME], &m_name);
  if (given(ALIAS)) {
    m_has_alias = true;
    m_alias.clear();
    tdr_narrow_append(v[ALIAS], &m_alias);
  }
  m_debug_port = v[DEBUG_PORT] && XMLString::equals(v[DEBUG_PORT], TDR_X("yes"));
  if (given(TYPE)) m_signal_type = convert_to_signal_type(tdr_narrow(v[TYPE]).c_str());

  m_tap_mode = tap_mode_from_first(v[TAP_MODE] ? v[TAP_MODE][0] : 0);
  // Every element ends up with the normalised word.
  normalise_attr(v[TAP_MODE], names[TAP_MODE], tap_mode_word(m_tap_mode));

  settle_connection_status(!(v[CONNECTION_STATUS] && v[CONNECTION_STATUS][0] == 'f'));
  normalise_attr(v[CONNECTION_STATUS], names[CONNECTION_STATUS],
                 m_connection_status ? TDR_X("true") : TDR_X("false"));

  if (given(DEBUG_PORT_NAME)) {
    m_has_debug_port_name = true;
    m_debug_port_name.clear();
    tdr_narrow_append(v[DEBUG_PORT_NAME], &m_debug_port_name);
  }
}

void TDR_DATA_SIGNAL_WIRE::normalise_attr(const XMLCh* read, const XMLCh* name,
                                          const XMLCh* word) {
  bool one_element = !m_trigger_element || !m_data_element;
  if (one_element && read && XMLString::equals(read, word)) return;
  write_attr(name, word);
}

DOMElement* TDR_DATA_SIGNAL_WIRE::new_wire_element() {
  DOMElement* e = tdr_new_element(m_doc, TDR_X("wire"));
  if (m_has_name) tdr_set_attr(e, TDR_X("name"), m_name);
  if (m_has_alias) tdr_set_attr(e, TDR_X("alias"), m_alias);
  return e;
}

void TDR_DATA_SIGNAL_WIRE::write_attr(const XMLCh* name, const XMLCh* value) {
  tdr_set_attr(m_trigger_element, name, value);
  tdr_set_attr(m_data_element, name, value);
}

void TDR_DATA_SIGNAL_WIRE::write_attr(const XMLCh* name, const std::string& value) {
  if (!m_trigger_element && !m_data_element) return;
  TDR_XSTRING wide = tdr_widen(value);
  write_attr(name, wide.c_str());
}

void TDR_DATA_SIGNAL_WIRE::remove_attr(const XMLCh* name) {
  tdr_remove_attr(m_trigger_element, name);
  tdr_remove_attr(m_data_element, name);
}

void TDR_DATA_SIGNAL_WIRE::set_alias(const char* alias) { change_alias(alias); }

void TDR_DATA_SIGNAL_WIRE::del_alias() { change_alias(nullptr); }

void TDR_DATA_SIGNAL_WIRE::erase_keys() {
  if (!m_key_map) return;
  // A duplicate name may belong to another wire: only this wire's keys go.
  for (const char* key : {get_name(), get_alias()})
    if (key && m_key_map->find(key) == this) m_key_map->erase(key);
}

bool TDR_DATA_SIGNAL_WIRE::change_alias(const char* alias) {
  erase_keys();
  if (alias) {
    m_has_alias = true;
    m_alias = alias;
    write_attr(TDR_X("alias"), m_alias);
  } else {
    m_has_alias = false;
    m_alias.clear();
    remove_attr(TDR_X("alias"));
  }
  return m_key_map && m_has_name ? m_key_map->insert(this) : true;
}

void TDR_DATA_SIGNAL_WIRE::set_debug_port(bool enable, const char* port_name) {
  if (enable && !TDR_CHECK(port_name != NULL)) return;
  apply_debug_port(enable, port_name);
}

void TDR_DATA_SIGNAL_WIRE::apply_debug_port(bool enable, const char* port_name) {
  m_debug_port = enable;
  if (!enable) {
    remove_attr(TDR_X("debug_port"));
    return;
  }
  write_attr(TDR_X("debug_port"), TDR_X("yes"));
  if (!port_name) return;
  m_has_debug_port_name = true;
  m_debug_port_name = port_name;
  write_attr(TDR_X("debug_port_name"), m_debug_port_name);
}

void TDR_DATA_SIGNAL_WIRE::set_signal_type(TDR_DATA_SIGNAL_TYPE type) {
  m_signal_type = type;
  write_attr(TDR_X("type"), std::string(convert_to_signal_type_str(type)));
}

void TDR_DATA_SIGNAL_WIRE::set_tap_mode(TDR_DATA_WIRE_TAP_MODE mode) {
  m_tap_mode = mode;
  write_attr(TDR_X("tap_mode"), tap_mode_word(mode));
}

bool TDR_DATA_SIGNAL_WIRE::settle_connection_status(bool connected) {
  // A classic tap is always connected.
  if (!connected && m_tap_mode == TDR_MTYPE_CLASSIC_TAP) {
    m_connection_status = true;
    return false;
  }
  m_connection_status = connected;
  return true;
}

bool TDR_DATA_SIGNAL_WIRE::set_connection_status(bool connected) {
  // The set's connection string shows the statuses of its last append: it
  // catches up before this status moves.
  if (m_owner && (connected || m_tap_mode == TDR_MTYPE_CLASSIC_TAP) != m_connection_status)
    m_owner->get_signal_connections();
  bool applied = settle_connection_status(connected);
  write_attr(TDR_X("connection_status"), m_connection_status ? TDR_X("true") : TDR_X("false"));
  return applied;
}

void TDR_DATA_SIGNAL_WIRE::consolidate(TDR_DATA_WIRE_CAPTURE_TYPE capture_type,
                                       bool create_elements) {
  if (capture_type != TDR_WTYPE_DATA_CAPTURE && capture_type != TDR_WTYPE_TRIGGER_CAPTURE &&
      capture_type != TDR_WTYPE_BOTH_CAPTURE) {
    TDR_INTERNAL_ERROR("Invalid capture type");
    return;
  }
  if (capture_type != m_capture_type) {
    bool data = includes_data(m_capture_type) || includes_data(capture_type);
    bool trigger = includes_trigger(m_capture_type) || includes_trigger(capture_type);
    m_capture_type = data && trigger ? TDR_WTYPE_BOTH_CAPTURE
                     : data          ? TDR_WTYPE_DATA_CAPTURE
                                     : TDR_WTYPE_TRIGGER_CAPTURE;
  }
  if (!create_elements) return;

  bool created = false;
  if (!m_trigger_element && includes_trigger(m_capture_type)) {
    if (!TDR_CHECK(m_has_name)) return;
    m_trigger_element = new_wire_element();
    created = true;
  }
  if (!m_data_element && includes_data(m_capture_type)) {
    if (!TDR_CHECK(m_has_name)) return;
    m_data_element = new_wire_element();
    created = true;
  }
  if (!created) return;
  // Bring the new element level with the existing one: new_wire_element()
  // wrote name and alias, the setters rewrite the rest on both sides.
  set_connection_status(m_connection_status);
  if (m_debug_port) {
    apply_debug_port(true, get_debug_port_name());
  } else {
    remove_attr(TDR_X("debug_port"));
    if (m_has_debug_port_name) write_attr(TDR_X("debug_port_name"), m_debug_port_name);
  }
  set_signal_type(m_signal_type);
  set_tap_mode(m_tap_mode);
}

void TDR_DATA_SIGNAL_WIRE::consolidate(TDR_DATA_SIGNAL_WIRE* duplicate, bool create_elements) {
  if (!TDR_CHECK(duplicate != NULL)) return;
  if (!TDR_CHECK(gen_strcmp(get_name(), duplicate->get_name()) == 0)) return;
  consolidate(duplicate->get_capture_type(), create_elements);
  if (create_elements) return;
  if (!m_data_element) m_data_element = duplicate->m_data_element;
  if (!m_trigger_element) m_trigger_element = duplicate->m_trigger_element;
}

const char* TDR_DATA_SIGNAL_WIRE::convert_to_signal_type_str(TDR_DATA_SIGNAL_TYPE type) {
  const char* text = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(type, &text);
  return text;
}

TDR_DATA_SIGNAL_TYPE TDR_DATA_SIGNAL_WIRE::convert_to_signal_type(const char* text) {
  TDR_DATA_SIGNAL_TYPE type = TDR_STYPE_UNKNOWN_SIGNAL;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(text, &type);
  return type;
}

TDR_DATA_WIRE_TAP_MODE TDR_DATA_SIGNAL_WIRE::convert_to_tap_mode(const char* text) {
  TDR_DATA_WIRE_TAP_MODE mode = TDR_MTYPE_CLASSIC_TAP;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(text, &mode);
  return mode;
}

const char* TDR_DATA_SIGNAL_WIRE::convert_to_tap_mode_str(TDR_DATA_WIRE_TAP_MODE mode) {
  const char* text = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(mode, &text);
  return text;
}

const char* TDR_DATA_SIGNAL_WIRE::convert_to_capture_type_str(TDR_DATA_WIRE_CAPTURE_TYPE type) {
  const char* text = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(type, &text);
  return text;
}

TDR_DATA_WIRE_CAPTURE_TYPE TDR_DATA_SIGNAL_WIRE::convert_to_capture_type(const char* text) {
  TDR_DATA_WIRE_CAPTURE_TYPE type = TDR_WTYPE_BOTH_CAPTURE;
  TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(text, &type);
  return type;
}
