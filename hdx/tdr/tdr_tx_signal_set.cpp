#define TDR_SOURCE_FILE "tdr_tx_signal_set"

#include "tdr_tx_signal_set.h"

#include <cstdio>
#include <unordered_map>

#include "tdr_data_instance.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_trigger.h"

using namespace xercesc;

namespace {

std::string format_low_byte(const char* pattern, int low_byte) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, low_byte);
  return buffer;
}

std::string opt(const char* text) { return text ? text : ""; }

bool ends_with(const std::string& text, const char* suffix) {
  size_t n = std::char_traits<char>::length(suffix);
  return text.size() > n && text.compare(text.size() - n, n, suffix) == 0;
}

// Removes the nets and buses of a view where they stand; the view element
// keeps its place, and handles that still point into the removed nodes stay
// valid until the document goes.
void empty_view(TDR_DATA_SIGNAL_VIEW* view) {
  if (!view || !view->get_dom_node()) return;
  DOMElement* element = view->get_dom_node();
  DOMNode* child = element->getFirstChild();
  while (child) {
    DOMNode* next = child->getNextSibling();
    if (child->getNodeType() == DOMNode::ELEMENT_NODE) {
      const XMLCh* tag = child->getNodeName();
      if (XMLString::equals(tag, TDR_X("net")) || XMLString::equals(tag, TDR_X("bus")))
        element->removeChild(child);
    }
    child = next;
  }
}

const char* recorded_name(const TDR_DATA_SIGNAL_SET* signal_set) {
  return signal_set->is_global_temp() ? "USE_GLOBAL_TEMP" : signal_set->get_name();
}

}  // namespace

// --- construction ---------------------------------------------------------

TDR_TX_SIGNAL_SET::TDR_TX_SIGNAL_SET(int instance_index, TDR_TX_SESSION* tx_session,
                                     TDR_TX_UNDO_MANAGER* undo_manager,
                                     TDR_TX_CHANGE_STATUS* change_status,
                                     TDR_TX_SCRIPT_RECORDER* recorder)
    : TDR_TX_SIGNAL_NODES(instance_index, undo_manager, change_status, recorder, false),
      m_tx_session(tx_session) {
  init();
}

TDR_TX_SIGNAL_SET::TDR_TX_SIGNAL_SET(int instance_index, TDR_TX_SESSION* tx_session,
                                     TDR_DATA_SIGNAL_SET* signal_set,
                                     TDR_TX_UNDO_MANAGER* undo_manager,
                                     TDR_TX_CHANGE_STATUS* change_status,
                                     TDR_TX_SCRIPT_RECORDER* recorder)
    : TDR_TX_SIGNAL_NODES(instance_index, undo_manager, change_status, recorder, false),
      m_tx_session(tx_session) {
  init(signal_set);
}

TDR_TX_SIGNAL_SET::~TDR_TX_SIGNAL_SET() = default;

// --- helpers --------------------------------------------------------------

TDR_TX_TRIGGER* TDR_TX_SIGNAL_SET::get_tx_trigger() const {
  if (m_tx_session)
    if (TDR_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(m_instance_index, true))
      return trigger;
  // Lists linked without a session (tests, tools) still find their partner.
  return dynamic_cast<TDR_TX_TRIGGER*>(m_tx_the_other_signal_nodes);
}

int TDR_TX_SIGNAL_SET::instance_id_low_byte() const {
  if (m_tx_session)
    if (TDR_TX_INSTANCE* instance = m_tx_session->get_instance_at(m_instance_index, true))
      return int(instance->get_node_info().instance_id & 0xFF);
  if (m_data_signal_set && m_data_signal_set->get_instance())
    return int(m_data_signal_set->get_instance()->get_node_info().instance_id & 0xFF);
  return 0;
}

TDR_TX_SIGNAL_SET* TDR_TX_SIGNAL_SET::find_linked(const std::string& node,
                                                  const char* suffix) const {
  if (!m_tx_session || !ends_with(node, suffix)) return nullptr;
  std::string name = node.substr(0, node.size() - std::char_traits<char>::length(suffix));
  int index = m_tx_session->find_instance_index(name.c_str());
  if (index < 0) return nullptr;
  return m_tx_session->get_signal_set_at(index, true);
}

void TDR_TX_SIGNAL_SET::mark_other_changed(TDR_TX_SIGNAL_SET* other) {
  if (other->m_change_status) other->m_change_status->m_signal_set_property_changed = true;
}

std::string TDR_TX_SIGNAL_SET::own_instance_name() const {
  if (m_tx_session)
    if (TDR_TX_INSTANCE* instance = m_tx_session->get_instance_at(m_instance_index, true))
      return instance->get_name(false);
  return "";
}

template <typename CHANGE>
bool TDR_TX_SIGNAL_SET::change_property(CHANGE change) {
  SIGNAL_SET_PROPERTIES before, after;
  save_properties(&before);
  if (m_change_status) m_change_status->m_signal_set_property_changed = true;
  change();
  save_properties(&after);
  if (m_undo_manager)
    m_undo_manager->append_atomic_action(new TDR_TX_UNDO_ACTION_SET_SIGNALSET(this, before, after));
  return true;
}

void TDR_TX_SIGNAL_SET::release_views(TDR_DATA_SIGNAL_SET* signal_set) {
  for (TDR_TX_SIGNAL_NODES* list : {static_cast<TDR_TX_SIGNAL_NODES*>(this),
                                    static_cast<TDR_TX_SIGNAL_NODES*>(get_tx_trigger())}) {
    if (!list) continue;
    list->release_view(signal_set->get_data_view());
    list->release_view(signal_set->get_setup_view());
  }
}

void TDR_TX_SIGNAL_SET::forget_data_signal_set(bool remove) {
  if (!m_data_signal_set) return;
  forget_trigger_in(m_data_signal_set);
  if (remove) {
    release_views(m_data_signal_set);
    m_data_signal_set->remove();
  }
  m_data_signal_set = nullptr;
}

void TDR_TX_SIGNAL_SET::forget_trigger_in(TDR_DATA_SIGNAL_SET* signal_set) {
  TDR_TX_TRIGGER* trigger = get_tx_trigger();
  if (signal_set && trigger && trigger->get_data_trigger() &&
      trigger->get_data_trigger()->get_signal_set() == signal_set)
    trigger->forget_data_trigger();
}

// --- getters --------------------------------------------------------------

const char* TDR_TX_SIGNAL_SET::get_name() {
  return m_data_signal_set ? m_data_signal_set->get_name() : nullptr;
}

const char* TDR_TX_SIGNAL_SET::get_clock_source() const {
  return m_clock_source.empty() ? nullptr : m_clock_source.c_str();
}

const char* TDR_TX_SIGNAL_SET::get_trigger_in_source() const {
  if (!m_trigger_in_node.empty()) return m_trigger_in_node.c_str();
  return m_trigger_in_pin.empty() ? nullptr : m_trigger_in_pin.c_str();
}

const char* TDR_TX_SIGNAL_SET::get_trigger_out_source() const {
  if (!m_trigger_out_node.empty()) return m_trigger_out_node.c_str();
  return m_trigger_out_pin.empty() ? nullptr : m_trigger_out_pin.c_str();
}

const char* TDR_TX_SIGNAL_SET::get_top_entity_name() const {
  return m_top_entity_name.empty() ? nullptr : m_top_entity_name.c_str();
}

bool TDR_TX_SIGNAL_SET::is_expanded() const {
  return m_data_signal_set ? m_data_signal_set->is_expanded() : true;
}

bool TDR_TX_SIGNAL_SET::set_expanded_status(bool expanded) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_expanded_status");
  func.append_argument(expanded);
  return m_data_signal_set ? m_data_signal_set->set_expanded_status(expanded) : false;
}

// --- property setters -----------------------------------------------------

bool TDR_TX_SIGNAL_SET::set_clock_source(const char* clock_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_clock_source");
  func.append_argument(clock_name);
  if (!TDR_CHECK(clock_name != NULL)) return false;
  if (m_clock_source == clock_name) return false;
  return change_property([&] { m_clock_source = clock_name; });
}

bool TDR_TX_SIGNAL_SET::set_trigger_in_enabled(bool enabled) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_trigger_in_enabled");
  func.append_argument(enabled);
  if (m_trigger_in_enabled == enabled) return false;
  return change_property([&] {
    m_trigger_in_enabled = enabled;
    if (!enabled) {
      unlink_trigger_out_from_in(true, false);
    } else if (m_trigger_in_node.empty() && m_trigger_in_pin.empty()) {
      m_trigger_in_pin = std::string(TDR_TRIGGER_IN_DEFAULT_PIN_NAME) +
                         format_low_byte("_%d", instance_id_low_byte());
    } else {
      link_trigger_in_to_out(true, false);
    }
  });
}

bool TDR_TX_SIGNAL_SET::set_trigger_out_enabled(bool enabled) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_trigger_out_enabled");
  func.append_argument(enabled);
  if (m_trigger_out_enabled == enabled) return false;
  return change_property([&] {
    m_trigger_out_enabled = enabled;
    if (!enabled) {
      unlink_trigger_in_from_out(true, false);
    } else if (m_trigger_out_node.empty() && m_trigger_out_pin.empty()) {
      m_trigger_out_pin = std::string(TDR_TRIGGER_OUT_DEFAULT_PIN_NAME) +
                          format_low_byte("_%d", instance_id_low_byte());
    } else {
      link_trigger_out_to_in(true, false);
    }
  });
}

bool TDR_TX_SIGNAL_SET::set_trigger_in_node(const char* trigger_in_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_trigger_in_node");
  func.append_argument(trigger_in_name);
  if (!TDR_CHECK(trigger_in_name != NULL)) return false;
  if (m_trigger_in_node == trigger_in_name) return false;
  return change_property([&] {
    unlink_trigger_out_from_in(true, true);
    m_trigger_in_node = trigger_in_name;
    m_trigger_in_pin.clear();
    link_trigger_in_to_out(true, true);
  });
}

bool TDR_TX_SIGNAL_SET::set_trigger_out_node(const char* trigger_out_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_trigger_out_node");
  func.append_argument(trigger_out_name);
  if (!TDR_CHECK(trigger_out_name != NULL)) return false;
  if (m_trigger_out_node == trigger_out_name) return false;
  return change_property([&] {
    unlink_trigger_in_from_out(true, true);
    m_trigger_out_node = trigger_out_name;
    m_trigger_out_pin.clear();
    link_trigger_out_to_in(true, true);
  });
}

bool TDR_TX_SIGNAL_SET::set_trigger_in_pin(const char* trigger_in_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_trigger_in_pin");
  func.append_argument(trigger_in_name);
  if (!TDR_CHECK(trigger_in_name != NULL)) return false;
  if (m_trigger_in_pin == trigger_in_name) return false;
  return change_property([&] {
    m_trigger_in_pin = trigger_in_name;
    // A pin replaces the node: the instance that drove us lets go.
    if (!m_trigger_in_pin.empty() && !m_trigger_in_node.empty()) {
      unlink_trigger_out_from_in(true, true);
      m_trigger_in_node.clear();
    }
  });
}

bool TDR_TX_SIGNAL_SET::set_trigger_out_pin(const char* trigger_out_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_trigger_out_pin");
  func.append_argument(trigger_out_name);
  if (!TDR_CHECK(trigger_out_name != NULL)) return false;
  if (m_trigger_out_pin == trigger_out_name) return false;
  return change_property([&] {
    m_trigger_out_pin = trigger_out_name;
    if (!m_trigger_out_pin.empty() && !m_trigger_out_node.empty()) {
      unlink_trigger_in_from_out(true, true);
      m_trigger_out_node.clear();
    }
  });
}

bool TDR_TX_SIGNAL_SET::set_top_entity_name(const char* entity_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_top_entity_name");
  func.append_argument(entity_name);
  if (!TDR_CHECK(entity_name != NULL)) return false;
  if (m_top_entity_name == entity_name) return false;
  return change_property([&] { m_top_entity_name = entity_name; });
}

bool TDR_TX_SIGNAL_SET::set_sample_depth(int depth) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_sample_depth");
  func.append_argument(depth);
  if (m_sample_depth == depth) return false;
  return change_property([&] { m_sample_depth = depth; });
}

bool TDR_TX_SIGNAL_SET::set_reserved_data_node_size(int size) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_reserved_data_node_size");
  func.append_argument(size);
  if (m_reserved_data_node_size == size) return false;
  return change_property([&] { m_reserved_data_node_size = size; });
}

bool TDR_TX_SIGNAL_SET::set_reserved_trigger_node_size(int size) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_reserved_trigger_node_size");
  func.append_argument(size);
  if (m_reserved_trigger_node_size == size) return false;
  return change_property([&] { m_reserved_trigger_node_size = size; });
}

bool TDR_TX_SIGNAL_SET::set_velarn_ram_type(TDR_VELARN_RAM_TYPE ram_type) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_velarn_ram_type");
  func.append_argument(ram_type);
  if (m_ram_type == ram_type) return false;
  return change_property([&] { m_ram_type = ram_type; });
}

// --- snapshots ------------------------------------------------------------

bool TDR_TX_SIGNAL_SET::save_properties(SIGNAL_SET_PROPERTIES* properties) const {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "save_properties");
  if (!TDR_CHECK(properties != NULL)) return false;
  properties->m_clock_source = m_clock_source;
  properties->m_trigger_in_enabled = m_trigger_in_enabled;
  properties->m_trigger_out_enabled = m_trigger_out_enabled;
  properties->m_trigger_in_node = m_trigger_in_node;
  properties->m_trigger_out_node = m_trigger_out_node;
  properties->m_trigger_in_pin = m_trigger_in_pin;
  properties->m_trigger_out_pin = m_trigger_out_pin;
  properties->m_top_entity_name = m_top_entity_name;
  properties->m_sample_depth = m_sample_depth;
  properties->m_reserved_data_node_size = m_reserved_data_node_size;
  properties->m_reserved_trigger_node_size = m_reserved_trigger_node_size;
  properties->m_ram_type = m_ram_type;
  return true;
}

bool TDR_TX_SIGNAL_SET::restore_properties(const SIGNAL_SET_PROPERTIES* properties) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "restore_properties");
  if (!TDR_CHECK(properties != NULL)) return false;
  // Ports go through their setters so that linked instances follow; each is
  // compared when its turn comes (an enable may have given a default pin).
  if (m_trigger_in_enabled != properties->m_trigger_in_enabled)
    set_trigger_in_enabled(properties->m_trigger_in_enabled);
  if (m_trigger_out_enabled != properties->m_trigger_out_enabled)
    set_trigger_out_enabled(properties->m_trigger_out_enabled);
  if (m_trigger_in_node != properties->m_trigger_in_node)
    set_trigger_in_node(properties->m_trigger_in_node.c_str());
  if (m_trigger_out_node != properties->m_trigger_out_node)
    set_trigger_out_node(properties->m_trigger_out_node.c_str());
  if (m_trigger_in_pin != properties->m_trigger_in_pin)
    set_trigger_in_pin(properties->m_trigger_in_pin.c_str());
  if (m_trigger_out_pin != properties->m_trigger_out_pin)
    set_trigger_out_pin(properties->m_trigger_out_pin.c_str());
  m_clock_source = properties->m_clock_source;
  m_top_entity_name = properties->m_top_entity_name;
  m_sample_depth = properties->m_sample_depth;
  m_reserved_data_node_size = properties->m_reserved_data_node_size;
  m_reserved_trigger_node_size = properties->m_reserved_trigger_node_size;
  m_ram_type = properties->m_ram_type;
  return true;
}

// --- trigger links --------------------------------------------------------

void TDR_TX_SIGNAL_SET::link_trigger_in_to_out(bool sync_enable, bool sync_name) {
  TDR_TX_SIGNAL_SET* other = find_linked(m_trigger_in_node, TDR_TRIGGER_OUT_PORT_NAME);
  if (!other) return;
  if (sync_enable && other->m_trigger_out_enabled != m_trigger_in_enabled) {
    other->m_trigger_out_enabled = m_trigger_in_enabled;
    mark_other_changed(other);
  }
  if (!sync_name) return;
  std::string node = own_instance_name() + TDR_TRIGGER_IN_PORT_NAME;
  if (other->m_trigger_out_node != node) {
    other->m_trigger_out_node = node;
    mark_other_changed(other);
  }
  if (!other->m_trigger_out_pin.empty()) {
    other->m_trigger_out_pin.clear();
    mark_other_changed(other);
  }
}

void TDR_TX_SIGNAL_SET::link_trigger_out_to_in(bool sync_enable, bool sync_name) {
  TDR_TX_SIGNAL_SET* other = find_linked(m_trigger_out_node, TDR_TRIGGER_IN_PORT_NAME);
  if (!other) return;
  if (sync_enable && other->m_trigger_in_enabled != m_trigger_out_enabled) {
    other->m_trigger_in_enabled = m_trigger_out_enabled;
    mark_other_changed(other);
  }
  if (!sync_name) return;
  std::string node = own_instance_name() + TDR_TRIGGER_OUT_PORT_NAME;
  if (other->m_trigger_in_node != node) {
    other->m_trigger_in_node = node;
    mark_other_changed(other);
  }
  if (!other->m_trigger_in_pin.empty()) {
    other->m_trigger_in_pin.clear();
    mark_other_changed(other);
  }
}

void TDR_TX_SIGNAL_SET::unlink_trigger_out_from_in(bool sync_enable, bool sync_name) {
  TDR_TX_SIGNAL_SET* other = find_linked(m_trigger_in_node, TDR_TRIGGER_OUT_PORT_NAME);
  if (!other) return;
  if (sync_enable && other->m_trigger_out_enabled) {
    other->m_trigger_out_enabled = false;
    mark_other_changed(other);
  }
  if (sync_name && !other->m_trigger_out_node.empty()) {
    other->m_trigger_out_node.clear();
    mark_other_changed(other);
  }
}

void TDR_TX_SIGNAL_SET::unlink_trigger_in_from_out(bool sync_enable, bool sync_name) {
  TDR_TX_SIGNAL_SET* other = find_linked(m_trigger_out_node, TDR_TRIGGER_IN_PORT_NAME);
  if (!other) return;
  if (sync_enable && other->m_trigger_in_enabled) {
    other->m_trigger_in_enabled = false;
    mark_other_changed(other);
  }
  if (sync_name && !other->m_trigger_in_node.empty()) {
    other->m_trigger_in_node.clear();
    mark_other_changed(other);
  }
}

void TDR_TX_SIGNAL_SET::set_instance_index(int index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_instance_index");
  func.append_argument(index);
  TDR_TX_SIGNAL_NODES::set_instance_index(index);
}

// --- compilation impact ---------------------------------------------------

void TDR_TX_SIGNAL_SET::check_compilation_type(bool* full, bool* rivlet) {
  if (rivlet) *rivlet = false;
  if (!full) return;
  *full = true;
  const TDR_DATA_SIGNAL_SET* committed = m_data_signal_set;
  if (!committed) return;
  const TDR_TX_SIGNAL_NODES* trigger = get_tx_trigger();
  if (!trigger) trigger = this;
  int data_wires = trigger->get_data_wire_count();
  int trigger_wires = trigger->get_trigger_wire_count();

  // A reservation dropped to 0 (or set from 0) needs no new hardware when
  // the wires fill exactly what was built.
  auto reservation_differs = [](int working, int built, int built_wires, int wires) {
    if (working == built) return false;
    if (working != 0 && built != 0) return true;
    return wires != (built > built_wires ? built : built_wires);
  };

  const char* clock = committed->get_clock_name();
  bool differs =
      (!m_clock_source.empty() && clock && *clock && m_clock_source != clock) ||
      reservation_differs(m_reserved_data_node_size, committed->get_reserved_data_node_size(),
                          committed->get_data_wire_width(), data_wires) ||
      reservation_differs(m_reserved_trigger_node_size,
                          committed->get_reserved_trigger_node_size(),
                          committed->get_trigger_wire_width(), trigger_wires) ||
      (m_reserved_data_node_size != 0 && data_wires > m_reserved_data_node_size) ||
      (m_reserved_trigger_node_size != 0 && trigger_wires > m_reserved_trigger_node_size) ||
      m_sample_depth != committed->get_sample_depth() ||
      m_ram_type != committed->get_velarn_ram_type() ||
      m_trigger_in_enabled != committed->is_trigger_in_enabled() ||
      m_trigger_out_enabled != committed->is_trigger_out_enabled() ||
      m_trigger_in_node != opt(committed->get_trigger_in_node()) ||
      m_trigger_in_pin != opt(committed->get_trigger_in_pin()) ||
      m_trigger_out_node != opt(committed->get_trigger_out_node()) ||
      m_trigger_out_pin != opt(committed->get_trigger_out_pin());
  *full = differs;
}

// --- loading --------------------------------------------------------------

bool TDR_TX_SIGNAL_SET::init() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "init");
  TDR_TX_SIGNAL_NODES::init();
  m_data_signal_set = nullptr;
  m_clock_source.clear();
  m_clock_source_invalid = false;
  m_trigger_in_enabled = m_trigger_out_enabled = false;
  m_trigger_in_node.clear();
  m_trigger_out_node.clear();
  m_trigger_in_pin.clear();
  m_trigger_out_pin.clear();
  m_top_entity_name.clear();
  m_sample_depth = 128;
  m_reserved_data_node_size = m_reserved_trigger_node_size = 0;
  m_ram_type = TDR_RTYPE_MIDRAM_BLOCK;
  if (m_change_status) m_change_status->m_signal_set_property_changed = false;
  return true;
}

bool TDR_TX_SIGNAL_SET::init(TDR_DATA_SIGNAL_SET* signal_set) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "init");
  if (signal_set) func.append_argument(recorded_name(signal_set));
  if (!TDR_CHECK(signal_set != NULL)) return false;
  m_data_signal_set = signal_set;
  m_clock_source = opt(signal_set->get_clock_name());
  m_trigger_in_enabled = signal_set->is_trigger_in_enabled();
  m_trigger_out_enabled = signal_set->is_trigger_out_enabled();
  m_trigger_in_node = opt(signal_set->get_trigger_in_node());
  m_trigger_out_node = opt(signal_set->get_trigger_out_node());
  m_trigger_in_pin = opt(signal_set->get_trigger_in_pin());
  m_trigger_out_pin = opt(signal_set->get_trigger_out_pin());
  m_top_entity_name = opt(signal_set->get_top_entity_name());
  m_sample_depth = signal_set->get_sample_depth();
  m_reserved_data_node_size = signal_set->get_reserved_data_node_size();
  m_reserved_trigger_node_size = signal_set->get_reserved_trigger_node_size();
  m_ram_type = signal_set->get_velarn_ram_type();
  if (m_change_status) m_change_status->m_signal_set_property_changed = false;
  return TDR_TX_SIGNAL_NODES::init(signal_set->get_data_view());
}

// --- commit ---------------------------------------------------------------

bool TDR_TX_SIGNAL_SET::commit(TDR_DATA_INSTANCE* instance, bool discard_unlogged) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "commit");
  func.append_argument(discard_unlogged);
  if (!TDR_CHECK(instance != NULL)) return false;
  TDR_TX_TRIGGER* tx_trigger = get_tx_trigger();
  if (!TDR_CHECK(tx_trigger != NULL)) return false;
  TDR_TX_CHANGE_STATUS* status = m_change_status;
  if (!TDR_CHECK(status != NULL)) return false;

  // Step 3 reads the capture-type change as it was before the carry-over.
  bool capture_type_changed = tx_trigger->is_capture_type_changed();
  tx_trigger->sync_upon_capture_type_change();

  TDR_DATA_SESSION* data_session = m_tx_session ? m_tx_session->get_data_session() : nullptr;
  if (!data_session) data_session = instance->get_session();
  bool logging = data_session && data_session->is_gui_logging_enabled();

  TDR_DATA_SIGNAL_SET* committed = m_data_signal_set;
  // What the user set on the old set survives its replacement.
  TDR_DATA_SIGNAL_SET::POLARITY polarity =
      committed ? committed->get_clock_polarity() : TDR_DATA_SIGNAL_SET::POSEDGE;
  bool expanded = committed ? committed->is_expanded() : true;
  bool nodes_changed = status->m_classic_node_changed || status->m_rivlet_node_changed ||
                       status->m_classic_debug_port_changed ||
                       status->m_rivlet_debug_port_changed;
  bool properties_changed = status->m_signal_set_property_changed;

  bool reuse = false;
  if (!properties_changed) {
    if (committed) {
      reuse = committed->is_global_temp() == !logging &&
              (!nodes_changed || tx_trigger->is_signal_compatible(committed));
    } else if (!nodes_changed) {
      // Nothing was ever committed and nothing changed: no set to write.
      status->m_classic_node_changed = status->m_rivlet_node_changed = false;
      return true;
    }
  }

  TDR_DATA_SIGNAL_SET* chosen = committed;
  bool created = false;
  if (!reuse) {
    chosen = nullptr;
    if (!logging) {
      bool fresh = !committed || committed->is_global_temp() || nodes_changed ||
                   properties_changed || capture_type_changed;
      std::string name = fresh ? std::string() : committed->get_name();
      // The new scratch set replaces the old one, and the trigger in it.
      if (TDR_DATA_SIGNAL_SET* old_global = instance->get_global_signal_set()) {
        forget_trigger_in(old_global);
        release_views(old_global);
        if (old_global == m_data_signal_set) m_data_signal_set = committed = nullptr;
      }
      chosen = instance->create_signal_set(fresh ? nullptr : name.c_str(), true);
      created = true;
    } else {
      if (discard_unlogged && committed && !committed->is_global_temp() &&
          committed->get_num_triggers() == 1 &&
          committed->get_trigger_at(0)->get_num_logs() == 0 &&
          !committed->get_trigger_at(0)->get_global_log()) {
        forget_data_signal_set(true);
        committed = nullptr;
      }
      if (committed && committed->is_global_temp()) {
        TDR_DATA_SIGNAL_SET* named = instance->find_signal_set(committed->get_name());
        if (named && !named->is_global_temp() && tx_trigger->is_signal_compatible(named)) {
          chosen = named;
          empty_view(named->get_data_view());
          empty_view(named->get_setup_view());
        }
      }
      if (!chosen) {
        chosen = instance->create_signal_set(nullptr, false);
        created = true;
      }
    }
    if (!chosen) {
      TDR_INTERNAL_ERROR("Failed to create a signal set");
      m_data_signal_set = nullptr;
      return false;
    }
    if (created) {
      status->m_signal_set_property_changed = true;
      if (m_tx_session) m_tx_session->set_undoable_modified_flag();
      // Written as reading would write it, and the position block kept last,
      // so that the saved file reads back to the same bytes.
      chosen->set_expanded_status(expanded);
      instance->write_position_info();
    }
    m_data_signal_set = chosen;
  }

  if (created && chosen->get_wire_size() == 0) {
    tx_trigger->commit_signal_set(chosen);
    empty_view(chosen->get_setup_view());
  }
  tx_trigger->commit_signal_set_debug_port(chosen);
  TDR_TX_SIGNAL_NODES::commit(chosen->get_data_view());

  if (created && chosen->get_wire_size() == 0 && m_reserved_data_node_size < 1 &&
      m_reserved_trigger_node_size < 1) {
    forget_data_signal_set(true);
  } else if (status->m_signal_set_property_changed) {
    if (m_clock_source.empty())
      m_clock_source = format_low_byte(TDR_ACQ_CLK_UNDEFINED_PIN_NAME,
                                       int(instance->get_node_info().instance_id & 0xFF));
    chosen->set_clock(m_clock_source.c_str(), polarity);
    chosen->set_reserved_data_node_size(m_reserved_data_node_size);
    chosen->set_reserved_trigger_node_size(m_reserved_trigger_node_size);
    chosen->enable_trigger_in(m_trigger_in_enabled);
    chosen->enable_trigger_out(m_trigger_out_enabled);
    if (!m_trigger_in_pin.empty())
      chosen->set_trigger_in_pin(m_trigger_in_pin.c_str());
    else
      chosen->set_trigger_in_node(m_trigger_in_node.c_str());
    if (!m_trigger_out_pin.empty())
      chosen->set_trigger_out_pin(m_trigger_out_pin.c_str());
    else
      chosen->set_trigger_out_node(m_trigger_out_node.c_str());
    chosen->set_sample_depth(m_sample_depth);
    chosen->set_velarn_ram_type(m_ram_type);
    if (!m_top_entity_name.empty()) chosen->set_top_entity_name(m_top_entity_name.c_str());
  }

  status->m_signal_set_property_changed = false;
  status->m_classic_node_changed = status->m_rivlet_node_changed = false;
  return true;
}

// --- node-list overrides --------------------------------------------------

bool TDR_TX_SIGNAL_SET::set_node_name(int node_index, const char* name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_node_name");
  func.append_argument(node_index);
  func.append_argument(name);
  if (!TDR_CHECK(name != NULL)) return false;
  TDR_TX_TRIGGER* tx_trigger = get_tx_trigger();
  if (!TDR_CHECK(tx_trigger != NULL)) return false;
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->is_group()) return false;
  // The setup view decides whether the name is free.
  std::string old_name = node->name;
  if (!tx_trigger->rename_node_name(old_name.c_str(), name)) return false;
  rename_all_node_name(old_name.c_str(), name);
  return true;
}

bool TDR_TX_SIGNAL_SET::set_node_alias(int node_index, const char* alias) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "set_node_alias");
  func.append_argument(node_index);
  func.append_argument(alias);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return false;
  if (node->is_group()) return TDR_TX_SIGNAL_NODES::set_node_alias(node_index, alias);
  TDR_TX_TRIGGER* tx_trigger = get_tx_trigger();
  if (!TDR_CHECK(tx_trigger != NULL)) return false;
  std::string name = node->name;
  if (!tx_trigger->rename_node_alias(name.c_str(), alias)) return false;
  rename_all_node_alias(name.c_str(), alias);
  return true;
}

bool TDR_TX_SIGNAL_SET::is_node_deletable(int node_index) {
  if (!TDR_CHECK(node_index >= 0)) return false;
  const NODE_TYPE* node = get_node(node_index);
  if (!node) return false;
  for (int k = 0, n = get_node_count(); k < n; ++k)
    if (k != node_index && (*m_node_vec)[k]->name == node->name) return true;
  return false;
}

int TDR_TX_SIGNAL_SET::delete_node(int first_index, int last_index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "delete_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  if (!TDR_CHECK(first_index >= 0 && last_index >= 0)) return 0;
  int count = get_node_count();
  if (first_index >= count || last_index >= count) return 0;
  if (first_index > last_index) std::swap(first_index, last_index);

  // A signal's only appearance in the data view stays; groups and repeated
  // appearances go.
  std::unordered_map<std::string, int> total, inside;
  for (const NODE_TYPE* node : *m_node_vec)
    if (node->is_wire()) ++total[node->name];
  for (int k = first_index; k <= last_index; ++k)
    if ((*m_node_vec)[k]->is_wire()) ++inside[(*m_node_vec)[k]->name];
  for (int k = first_index; k <= last_index; ++k) {
    NODE_TYPE* node = (*m_node_vec)[k];
    node->missing_wire = node->is_group() || total[node->name] > inside[node->name];
  }

  // Runs of marked nodes, from the last to the first so earlier indices hold;
  // a group header always starts a run of its own.
  std::vector<std::pair<int, int>> runs;
  for (int k = first_index; k <= last_index; ++k) {
    if (!(*m_node_vec)[k]->missing_wire) continue;
    if (runs.empty() || runs.back().second != k - 1 || (*m_node_vec)[k]->is_group())
      runs.emplace_back(k, k);
    else
      runs.back().second = k;
  }
  int removed = 0;
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    int first = run->first, last = run->second;
    for (int k = first; k <= last; ++k) (*m_node_vec)[k]->missing_wire = false;
    if ((*m_node_vec)[first]->is_group()) {
      int end = first + 1;
      while (end < get_node_count() && (*m_node_vec)[end]->is_member() &&
             (*m_node_vec)[end]->display_type != TDR_DTYPE_LAST_GROUP_MEMBER_NODE)
        ++end;
      bool reaches_last = end <= last && end < get_node_count() &&
                          (*m_node_vec)[end]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
      if (!reaches_last) {
        int before = get_node_count();
        ungroup_node(first);
        int dissolved = before - get_node_count();
        if (dissolved == 0) continue;
        removed += dissolved;
        last -= dissolved;
        if (last < first) continue;
      }
    }
    removed += TDR_TX_SIGNAL_NODES::delete_node(first, last);
  }
  return removed;
}

bool TDR_TX_SIGNAL_SET::delete_node(const char* name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "delete_node");
  func.append_argument(name);
  return TDR_TX_SIGNAL_NODES::delete_node(name);
}

bool TDR_TX_SIGNAL_SET::append_node(const char* name, TDR_DATA_SIGNAL_TYPE signal_type,
                                    TDR_DATA_WIRE_TAP_MODE tap_mode) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "append_node");
  func.append_argument(name);
  func.append_argument(signal_type);
  func.append_argument(tap_mode);
  return TDR_TX_SIGNAL_NODES::append_node(name, signal_type, tap_mode);
}

int TDR_TX_SIGNAL_SET::copy_before_node(int first_index, int last_index, int node_index,
                                        bool into_group) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, false, "copy_before_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  func.append_argument(node_index);
  func.append_argument(into_group);
  return TDR_TX_SIGNAL_NODES::copy_before_node(first_index, last_index, node_index, into_group);
}
