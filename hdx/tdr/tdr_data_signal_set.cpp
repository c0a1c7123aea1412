// Signal sets: reading (with the conversions of older file layouts), the
// wire lists, the views and the triggers of one acquisition set-up.
#define TDR_SOURCE_FILE "tdr_data_signal_set"

#include "tdr_data_signal_set.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "gen.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

const char* const TDR_ACQ_CLK_UNDEFINED_PIN_NAME = "auto_tvf_external_clock_%d";
const char* const TDR_TRIGGER_IN_DEFAULT_PIN_NAME = "auto_tvf_trigger_in";
const char* const TDR_TRIGGER_OUT_DEFAULT_PIN_NAME = "auto_tvf_trigger_out";
const char* const TDR_TRIGGER_IN_PORT_NAME = "|trigger_in";
const char* const TDR_TRIGGER_OUT_PORT_NAME = "|trigger_out";
const char* const TDR_DEFAULT_EXTERNAL_CLOCK_NAME = "auto_tvf_external_clock";

namespace {

DOMElement* first_child(DOMNode* parent, const XMLCh* tag) {
  return TDR_DATA_XML_UTIL::find_first_child_element_by_name(parent, tag);
}

DOMElement* next_sibling(DOMNode* node, const XMLCh* tag) {
  return TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(node, tag);
}

// First character of an attribute value; 0 when absent or empty.
XMLCh first_char(const DOMElement* e, const XMLCh* attr) {
  const XMLCh* v = tdr_attr_value(e, attr);
  return v ? v[0] : 0;
}

bool attr_equals(const DOMElement* e, const XMLCh* attr, const XMLCh* word) {
  const XMLCh* v = tdr_attr_value(e, attr);
  return v && XMLString::equals(v, word);
}

// "connection_mode" of the older layouts: d data, t trigger, else both.
TDR_DATA_WIRE_CAPTURE_TYPE capture_from_mode(const DOMElement* e) {
  XMLCh c = first_char(e, TDR_X("connection_mode"));
  if (c == 'd') return TDR_WTYPE_DATA_CAPTURE;
  if (c == 't') return TDR_WTYPE_TRIGGER_CAPTURE;
  return TDR_WTYPE_BOTH_CAPTURE;
}

}  // namespace

// --- construction -------------------------------------------------------------

TDR_DATA_SIGNAL_SET::TDR_DATA_SIGNAL_SET(DOMDocument* doc)
    : m_name(TDR_DATA_MANAGER::auto_name("signal_set")), m_doc(doc) {
  create_skeleton();
}

TDR_DATA_SIGNAL_SET::TDR_DATA_SIGNAL_SET(DOMDocument* doc, const char* name)
    : m_name(name ? std::string(name) : TDR_DATA_MANAGER::auto_name("signal_set")), m_doc(doc) {
  create_skeleton();
}

TDR_DATA_SIGNAL_SET::TDR_DATA_SIGNAL_SET(DOMDocument* doc, DOMElement* element,
                                         TDR_DATA_INSTANCE* instance)
    : m_clock_name(TDR_DEFAULT_EXTERNAL_CLOCK_NAME), m_instance(instance), m_doc(doc) {
  if (!TDR_CHECK(doc != NULL && element != NULL)) return;
  parse(element);
}

TDR_DATA_SIGNAL_SET::~TDR_DATA_SIGNAL_SET() { del_container(); }

void TDR_DATA_SIGNAL_SET::create_skeleton() {
  m_clock_name = TDR_DEFAULT_EXTERNAL_CLOCK_NAME;
  if (!TDR_CHECK(m_doc != NULL)) return;
  m_element = tdr_new_element(m_doc, TDR_X("signal_set"));
  tdr_set_attr(m_element, TDR_X("name"), m_name);
  m_clock = tdr_new_element(m_doc, TDR_X("clock"), m_element);
  tdr_set_attr(m_clock, TDR_X("name"), m_clock_name);
  m_config = tdr_new_element(m_doc, TDR_X("config"), m_element);
  m_top_entity_element = tdr_new_element(m_doc, TDR_X("top_entity"), m_element);
  m_signal_vec = tdr_new_element(m_doc, TDR_X("signal_vec"), m_element);
  m_trigger_input_vec = tdr_new_element(m_doc, TDR_X("trigger_input_vec"), m_signal_vec);
  m_data_input_vec = tdr_new_element(m_doc, TDR_X("data_input_vec"), m_signal_vec);
  m_presentation = tdr_new_element(m_doc, TDR_X("presentation"), m_element);
  m_data_view.reset(new TDR_DATA_SIGNAL_VIEW(
      m_doc, tdr_new_element(m_doc, TDR_X("data_view"), m_presentation), this));
  m_setup_view.reset(new TDR_DATA_SIGNAL_VIEW(
      m_doc, tdr_new_element(m_doc, TDR_X("setup_view"), m_presentation), this));
  create_signal_connections();
}

void TDR_DATA_SIGNAL_SET::parse(DOMElement* element) {
  m_element = element;

  if (!tdr_get_attr_if(element, TDR_X("name"), &m_name)) {
    m_name = TDR_DATA_MANAGER::auto_name("signal_set");
    tdr_set_attr(element, TDR_X("name"), m_name);
  }

  m_expanded = !(tdr_has_attr(element, TDR_X("is_expanded")) &&
                 gen_stricmp(tdr_get_attr(element, TDR_X("is_expanded")).c_str(), "false") == 0);
  tdr_set_attr(element, TDR_X("is_expanded"), m_expanded ? "true" : "false");

  m_clock = first_child(element, TDR_X("clock"));
  if (!m_clock) {
    m_clock = tdr_new_element(m_doc, TDR_X("clock"), element);
    create_default_external_clock();
  } else {
    if (!tdr_get_attr_if(m_clock, TDR_X("name"), &m_clock_name)) create_default_external_clock();
    m_clock_polarity = attr_equals(m_clock, TDR_X("polarity"), TDR_X("negedge")) ? NEGEDGE : POSEDGE;
  }

  read_config();

  m_top_entity_element = first_child(element, TDR_X("top_entity"));
  if (m_top_entity_element) {
    if (tdr_has_attr(m_top_entity_element, TDR_X("name")))
      m_top_entity.set(tdr_get_attr(m_top_entity_element, TDR_X("name")));
  } else {
    m_top_entity_element = tdr_new_element(m_doc, TDR_X("top_entity"), element);
  }

  bool data_view_missing = false;
  bool setup_view_missing = false;
  m_presentation = first_child(element, TDR_X("presentation"));
  DOMElement* data_view = nullptr;
  DOMElement* setup_view = nullptr;
  if (m_presentation) {
    data_view = first_child(m_presentation, TDR_X("data_view"));
    setup_view = first_child(m_presentation, TDR_X("setup_view"));
  } else {
    m_presentation = tdr_new_element(m_doc, TDR_X("presentation"), element);
  }
  if (!data_view) {
    data_view = tdr_new_element(m_doc, TDR_X("data_view"), m_presentation);
    data_view_missing = true;
  }
  if (!setup_view) {
    setup_view = tdr_new_element(m_doc, TDR_X("setup_view"), m_presentation);
    setup_view_missing = true;
  }
  m_data_view.reset(new TDR_DATA_SIGNAL_VIEW(m_doc, data_view, this));
  m_setup_view.reset(new TDR_DATA_SIGNAL_VIEW(m_doc, setup_view, this));

  m_signal_vec = first_child(element, TDR_X("signal_vec"));
  if (!m_signal_vec) {
    m_signal_vec = tdr_new_element(m_doc, TDR_X("signal_vec"), element);
    m_trigger_input_vec = tdr_new_element(m_doc, TDR_X("trigger_input_vec"), m_signal_vec);
    m_data_input_vec = tdr_new_element(m_doc, TDR_X("data_input_vec"), m_signal_vec);
    MSG_TDR::post(MSG_TDR::W::EMPTY_SIGNAL_SET());
  } else {
    expand_dom_signal_vec(m_signal_vec, data_view_missing, setup_view_missing);
    read_triggers();
  }

  create_signal_connections();
}

void TDR_DATA_SIGNAL_SET::read_config() {
  m_config = first_child(m_element, TDR_X("config"));
  if (!m_config) {
    m_config = tdr_new_element(m_doc, TDR_X("config"), m_element);
    m_sample_depth = DEFAULT_SAMPLE_DEPTH;
    tdr_set_attr_int(m_config, TDR_X("sample_depth"), m_sample_depth);
    tdr_set_attr(m_config, TDR_X("ram_type"), "MIDRAM");
    return;
  }
  if (tdr_has_attr(m_config, TDR_X("sample_depth"))) {
    int depth = tdr_strtol_int(tdr_get_attr(m_config, TDR_X("sample_depth")).c_str());
    if (!validate_sample_depth(&depth)) tdr_set_attr_int(m_config, TDR_X("sample_depth"), depth);
    m_sample_depth = depth;
  }
  m_trigger_in_enabled = attr_equals(m_config, TDR_X("trigger_in_enable"), TDR_X("yes"));
  m_trigger_out_enabled = attr_equals(m_config, TDR_X("trigger_out_enable"), TDR_X("yes"));

  std::string text;
  if (tdr_get_attr_if(m_config, TDR_X("trigger_in_pin"), &text)) {
    m_trigger_in_pin.set(text);
  } else if (tdr_get_attr_if(m_config, TDR_X("trigger_in_node"), &text)) {
    m_trigger_in_node.set(text);
  }
  if (tdr_get_attr_if(m_config, TDR_X("trigger_out_pin"), &text)) {
    m_trigger_out_pin.set(text);
  } else if (tdr_get_attr_if(m_config, TDR_X("trigger_out_node"), &text)) {
    m_trigger_out_node.set(text);
  }

  if (tdr_has_attr(m_config, TDR_X("reserved_data_nodes"))) {
    int n = tdr_strtol_int(tdr_get_attr(m_config, TDR_X("reserved_data_nodes")).c_str());
    m_reserved_data_nodes = n > 0 ? n : 0;
    tdr_set_attr_int(m_config, TDR_X("reserved_data_nodes"), m_reserved_data_nodes);
  }
  if (tdr_has_attr(m_config, TDR_X("reserved_trigger_nodes"))) {
    int n = tdr_strtol_int(tdr_get_attr(m_config, TDR_X("reserved_trigger_nodes")).c_str());
    m_reserved_trigger_nodes = n > 0 ? n : 0;
    tdr_set_attr_int(m_config, TDR_X("reserved_trigger_nodes"), m_reserved_trigger_nodes);
  }
  if (tdr_has_attr(m_config, TDR_X("ram_type")))
    TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(
        tdr_get_attr(m_config, TDR_X("ram_type")).c_str(), &m_ram_type);
}

bool TDR_DATA_SIGNAL_SET::is_written_key_of(int index, const char* name) const {
  if (m_written_keys_version != m_wire_map.version() ||
      m_written_keys.size() != m_trigger_wires.size()) {
    m_written_keys.resize(m_trigger_wires.size());
    for (size_t i = 0; i < m_trigger_wires.size(); ++i) {
      const char* key = get_trigger_wire_alias_at(int(i));
      const TDR_DATA_SIGNAL_WIRE* wire = m_trigger_wires[i];
      bool found = get_wire(key) == wire && wire->get_trigger_wire_index() == int(i);
      m_written_keys[i] = WRITTEN_KEY{wire, found ? key : nullptr};
    }
    m_written_keys_version = m_wire_map.version();
  }
  if (index < 0 || size_t(index) >= m_written_keys.size() || !name) return false;
  // The keys stay valid while the map is unchanged (a wire's keys leave the
  // map before its name or alias changes or it dies); the list of trigger
  // wires may have been reordered since.
  const WRITTEN_KEY& k = m_written_keys[size_t(index)];
  return k.key && m_trigger_wires[size_t(index)] == k.wire &&
         k.wire->get_trigger_wire_index() == index && std::strcmp(k.key, name) == 0;
}

void TDR_DATA_SIGNAL_SET::read_triggers() {
  for (DOMElement* e = first_child(m_element, TDR_X("trigger")); e;
       e = next_sibling(e, TDR_X("trigger"))) {
    TDR_DATA_TRIGGER* trigger = new TDR_DATA_TRIGGER(m_doc, e, this);
    if (trigger->is_global_temp()) {
      // The last global-temp trigger read wins; an earlier one keeps its element.
      delete m_triggers.global();
      m_triggers.set_global(trigger);
    } else if (!m_triggers.append(trigger)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(trigger->get_name()));
      delete trigger;
    }
  }
}

// --- signal lists ---------------------------------------------------------------

void TDR_DATA_SIGNAL_SET::expand_dom_signal_vec(DOMElement* signal_vec, bool data_view_missing,
                                                bool setup_view_missing) {
  if (!TDR_CHECK(signal_vec != NULL)) return;
  m_signal_vec = signal_vec;
  if (first_child(signal_vec, TDR_X("trigger_input_vec"))) {
    read_current_format(signal_vec);
    // Input lists without a view: the wires are all there, so the view is
    // rebuilt from them rather than from the older layout.
    if (data_view_missing || setup_view_missing)
      fill_missing_views(data_view_missing, setup_view_missing);
    return;
  }
  // Buses belong to the layout without views; beside views they are left
  // as they are, and only the wires directly under signal_vec are read.
  if (data_view_missing || setup_view_missing)
    build_old_format_views(signal_vec, data_view_missing, setup_view_missing);
  convert_old_format_wires(signal_vec);
}

void TDR_DATA_SIGNAL_SET::read_current_format(DOMElement* signal_vec) {
  m_trigger_input_vec = first_child(signal_vec, TDR_X("trigger_input_vec"));
  for (DOMElement* e = first_child(m_trigger_input_vec, TDR_X("wire")); e;
       e = next_sibling(e, TDR_X("wire"))) {
    // A repeated name keeps its place in the list (trigger conditions are
    // numbered by it) but cannot be found by name: the map keeps the first.
    append(new TDR_DATA_SIGNAL_WIRE(m_doc, e, nullptr), false);
  }

  m_data_input_vec = first_child(signal_vec, TDR_X("data_input_vec"));
  if (!m_data_input_vec) {
    m_data_input_vec = m_doc->createElement(TDR_X("data_input_vec"));
    signal_vec->insertBefore(m_data_input_vec, m_trigger_input_vec->getNextSibling());
  }
  for (DOMElement* e = first_child(m_data_input_vec, TDR_X("wire")); e;
       e = next_sibling(e, TDR_X("wire"))) {
    TDR_DATA_SIGNAL_WIRE* wire = new TDR_DATA_SIGNAL_WIRE(m_doc, nullptr, e);
    const char* name = wire->get_name();
    TDR_DATA_SIGNAL_WIRE* existing = name ? m_wire_map.find(name) : nullptr;
    if (existing && std::strcmp(existing->get_name(), name) == 0) {
      // The same signal captured for both is one wire with both elements. A
      // name repeated in this list is the wire already on it, so it adds no
      // data column; its element stays in the file, held by no wire.
      existing->consolidate(wire, false);
      delete wire;
      append(existing, false);
      continue;
    }
    append(wire, false);
  }
}

void TDR_DATA_SIGNAL_SET::fill_missing_views(bool data_view_missing, bool setup_view_missing) {
  if (data_view_missing) {
    for (TDR_DATA_SIGNAL_WIRE* wire : m_data_wires)
      if (wire->get_name()) m_data_view->append_node(m_data_view->create_net_node(wire->get_name()));
  }
  if (setup_view_missing) {
    for (TDR_DATA_SIGNAL_WIRE* wire : m_data_wires)
      if (wire->get_name())
        m_setup_view->append_node(m_setup_view->create_net_node(wire->get_name()));
    for (TDR_DATA_SIGNAL_WIRE* wire : m_trigger_wires)
      if (wire->get_name() && wire->get_capture_type() == TDR_WTYPE_TRIGGER_CAPTURE)
        m_setup_view->append_node(m_setup_view->create_net_node(wire->get_name()));
  }
}

void TDR_DATA_SIGNAL_SET::build_old_format_views(DOMElement* signal_vec, bool data_view_missing,
                                                 bool setup_view_missing) {
  // Collect first: the walk below moves wire elements around.
  std::vector<DOMElement*> wires;
  for (DOMNode* node = signal_vec->getFirstChild(); node;) {
    if (tdr_xml_is_element_named(node, TDR_X("wire")))
      wires.push_back(static_cast<DOMElement*>(node));
    if (tdr_xml_is_element(node) && node->getFirstChild()) {
      node = node->getFirstChild();
      continue;
    }
    while (node && node != signal_vec && !node->getNextSibling()) node = node->getParentNode();
    if (!node || node == signal_vec) break;
    node = node->getNextSibling();
  }

  struct VIEW_STATE {
    TDR_DATA_SIGNAL_VIEW* view;
    bool build;
    bool placed;
    TDR_DATA_SIGNAL_VIEW_NODE last_top;
    TDR_DATA_SIGNAL_VIEW_NODE open_bus;
  };
  VIEW_STATE views[2] = {{m_data_view.get(), data_view_missing, false, {}, {}},
                         {m_setup_view.get(), setup_view_missing, false, {}, {}}};
  auto place_top = [](VIEW_STATE& v, const TDR_DATA_SIGNAL_VIEW_NODE& node) {
    if (v.placed) {
      v.last_top.append_after(node);
    } else {
      v.view->insert_first_node(node);
    }
    v.last_top = node;
    v.placed = true;
  };
  bool bus_open = false;
  std::string open_bus_name;
  // The child of signal_vec that holds a bus, remembered per bus so that deep
  // nesting is climbed once.
  std::unordered_map<const DOMNode*, DOMNode*> top_level;
  auto top_level_of = [&](DOMNode* bus) -> DOMNode* {
    std::vector<DOMNode*> path;
    DOMNode* node = bus;
    DOMNode* top = nullptr;
    while (node && node != signal_vec) {
      auto known = top_level.find(node);
      if (known != top_level.end()) {
        top = known->second;
        break;
      }
      path.push_back(node);
      if (node->getParentNode() == signal_vec) {
        top = node;
        break;
      }
      node = node->getParentNode();
    }
    for (DOMNode* n : path) top_level[n] = top;
    return top;
  };

  for (DOMElement* wire : wires) {
    DOMNode* parent = wire->getParentNode();
    std::string name;
    bool named = tdr_get_attr_if(wire, TDR_X("name"), &name);
    bool trigger_only = capture_from_mode(wire) == TDR_WTYPE_TRIGGER_CAPTURE;

    if (parent == signal_vec) {
      if (!named) continue;
      bus_open = false;
      for (int i = 0; i < 2; ++i) {
        VIEW_STATE& v = views[i];
        if (!v.build || (i == 0 && trigger_only)) continue;
        place_top(v, v.view->create_net_node(name.c_str()));
      }
      continue;
    }
    // Not a place wires were kept.
    if (!tdr_xml_is_element_named(parent, TDR_X("bus"))) continue;

    DOMElement* bus = static_cast<DOMElement*>(parent);
    if (named) {
      std::string bus_name = tdr_get_attr(bus, TDR_X("name"));
      if (!bus_open || bus_name != open_bus_name) {
        for (VIEW_STATE& v : views) {
          if (!v.build) continue;
          TDR_DATA_SIGNAL_VIEW_NODE node = v.view->create_bus_node(bus_name.c_str());
          if (tdr_has_attr(bus, TDR_X("alias")))
            node.set_alias(tdr_get_attr(bus, TDR_X("alias")).c_str());
          if (tdr_has_attr(bus, TDR_X("type")))
            node.set_signal_type(TDR_DATA_SIGNAL_WIRE::convert_to_signal_type(
                tdr_get_attr(bus, TDR_X("type")).c_str()));
          place_top(v, node);
          v.open_bus = node;
        }
        bus_open = true;
        open_bus_name = bus_name;
      }
      for (int i = 0; i < 2; ++i) {
        VIEW_STATE& v = views[i];
        if (!v.build || (i == 0 && trigger_only)) continue;
        v.open_bus.append_child(v.view->create_net_node(name.c_str()));
      }
    }
    // Out of the bus, before the bus's top-level ancestor; a nameless wire is
    // moved too, so that the conversion reports it.
    if (DOMNode* top = top_level_of(bus)) signal_vec->insertBefore(wire, top);
  }

  for (DOMNode* node = signal_vec->getFirstChild(); node;) {
    DOMNode* next = node->getNextSibling();
    if (tdr_xml_is_element_named(node, TDR_X("bus"))) tdr_release_node(node);
    node = next;
  }
}

void TDR_DATA_SIGNAL_SET::convert_old_format_wires(DOMElement* signal_vec) {
  m_trigger_input_vec = tdr_new_element(m_doc, TDR_X("trigger_input_vec"), signal_vec);
  m_data_input_vec = tdr_new_element(m_doc, TDR_X("data_input_vec"), signal_vec);
  std::string name, alias, port_name, type;
  for (DOMNode* node = signal_vec->getFirstChild(); node;) {
    DOMNode* next = node->getNextSibling();
    if (!tdr_xml_is_element_named(node, TDR_X("wire"))) {
      node = next;
      continue;
    }
    DOMElement* e = static_cast<DOMElement*>(node);
    node = next;
    if (!tdr_get_attr_if(e, TDR_X("name"), &name)) {
      MSG_TDR::post(MSG_TDR::W::MISSING_NAME("signal"));
      tdr_release_node(e);
      continue;
    }
    bool has_alias = tdr_get_attr_if(e, TDR_X("alias"), &alias);
    XMLCh tap = first_char(e, TDR_X("tap_mode"));
    TDR_DATA_WIRE_TAP_MODE tap_mode = tap == 'a'   ? TDR_MTYPE_ADVANCED_TAP
                                      : tap == 'p' ? TDR_MTYPE_PROBEONLY_TAP
                                                   : TDR_MTYPE_CLASSIC_TAP;
    bool connected = first_char(e, TDR_X("connection_status")) != 'f';
    TDR_DATA_SIGNAL_WIRE* wire = create_wire(name.c_str(), capture_from_mode(e), tap_mode,
                                             connected, has_alias ? alias.c_str() : nullptr);
    if (tdr_has_attr(e, TDR_X("type"))) {
      type = tdr_get_attr(e, TDR_X("type"));
      wire->set_signal_type(TDR_DATA_SIGNAL_WIRE::convert_to_signal_type(type.c_str()));
    }
    bool debug_port = attr_equals(e, TDR_X("debug_port"), TDR_X("yes"));
    append(wire, true);
    bool has_port_name = tdr_get_attr_if(e, TDR_X("debug_port_name"), &port_name);
    wire->apply_debug_port(debug_port, has_port_name ? port_name.c_str() : nullptr);
    tdr_release_node(e);
  }
}

// --- wires ------------------------------------------------------------------------

TDR_DATA_SIGNAL_WIRE* TDR_DATA_SIGNAL_SET::create_wire(const char* name,
                                                       TDR_DATA_WIRE_CAPTURE_TYPE capture_type,
                                                       TDR_DATA_WIRE_TAP_MODE tap_mode,
                                                       bool connected, const char* alias) {
  if (!TDR_CHECK(name != NULL)) return nullptr;
  if (TDR_DATA_SIGNAL_WIRE* existing = get_wire(name)) {
    existing->consolidate(capture_type, true);
    return existing;
  }
  TDR_DATA_SIGNAL_WIRE* wire = alias ? new TDR_DATA_SIGNAL_WIRE(m_doc, name, alias, capture_type)
                                     : new TDR_DATA_SIGNAL_WIRE(m_doc, name, capture_type);
  wire->set_tap_mode(tap_mode);
  wire->set_connection_status((m_instance && m_instance->is_incr_cmp_mode()) || connected);
  return wire;
}

bool TDR_DATA_SIGNAL_SET::append(TDR_DATA_SIGNAL_WIRE* wire, bool attach_elements) {
  if (!TDR_CHECK(wire != NULL)) return false;
  if (wire->get_name()) m_wire_map.insert(wire);
  wire->m_key_map = &m_wire_map;
  wire->m_owner = this;
  TDR_DATA_WIRE_CAPTURE_TYPE type = wire->get_capture_type();
  if ((type == TDR_WTYPE_DATA_CAPTURE || type == TDR_WTYPE_BOTH_CAPTURE) &&
      wire->get_data_wire_index() == -1) {
    m_data_wires.push_back(wire);
    wire->set_data_wire_index(int(m_data_wires.size()) - 1);
    if (attach_elements && m_data_input_vec && wire->get_data_dom_node())
      m_data_input_vec->appendChild(wire->get_data_dom_node());
  }
  if ((type == TDR_WTYPE_TRIGGER_CAPTURE || type == TDR_WTYPE_BOTH_CAPTURE) &&
      wire->get_trigger_wire_index() == -1) {
    m_trigger_wires.push_back(wire);
    wire->set_trigger_wire_index(int(m_trigger_wires.size()) - 1);
    if (attach_elements && m_trigger_input_vec && wire->get_trigger_dom_node())
      m_trigger_input_vec->appendChild(wire->get_trigger_dom_node());
  }
  // Rebuilt when next asked for, so that appending n wires stays linear.
  m_connections_stale = true;
  return true;
}

int TDR_DATA_SIGNAL_SET::get_ela_data_wire_width() const {
  int n = get_data_wire_width();
  return m_reserved_data_nodes > n ? m_reserved_data_nodes : n;
}

int TDR_DATA_SIGNAL_SET::get_ela_trigger_wire_width() const {
  int n = get_trigger_wire_width();
  return m_reserved_trigger_nodes > n ? m_reserved_trigger_nodes : n;
}

int TDR_DATA_SIGNAL_SET::get_wire_size() const {
  int size = get_data_wire_width();
  for (const TDR_DATA_SIGNAL_WIRE* wire : m_trigger_wires)
    if (wire->get_capture_type() == TDR_WTYPE_TRIGGER_CAPTURE) ++size;
  return size;
}

TDR_DATA_SIGNAL_WIRE* TDR_DATA_SIGNAL_SET::get_data_wire_at(int index) const {
  return index >= 0 && index < int(m_data_wires.size()) ? m_data_wires[size_t(index)] : nullptr;
}

TDR_DATA_SIGNAL_WIRE* TDR_DATA_SIGNAL_SET::get_trigger_wire_at(int index) const {
  return index >= 0 && index < int(m_trigger_wires.size()) ? m_trigger_wires[size_t(index)]
                                                           : nullptr;
}

const char* TDR_DATA_SIGNAL_SET::get_trigger_wire_alias_at(int index) const {
  const TDR_DATA_SIGNAL_WIRE* wire = get_trigger_wire_at(index);
  if (!wire) return nullptr;
  const char* alias = wire->get_alias();
  if (alias && *alias) return alias;
  return wire->get_name() ? wire->get_name() : "";
}

bool TDR_DATA_SIGNAL_SET::rename_signal_alias(const char* name_or_alias, const char* new_alias) {
  if (!TDR_CHECK(name_or_alias != NULL)) return false;
  TDR_DATA_SIGNAL_WIRE* wire = get_wire(name_or_alias);
  if (!wire) return false;
  const char* current = wire->get_alias();
  bool has_alias = current && *current;
  if (new_alias && *new_alias) {
    if (has_alias && std::strcmp(current, new_alias) == 0) return true;
    if (get_wire(new_alias)) return false;
    return wire->change_alias(new_alias);
  }
  if (!has_alias) return true;
  return wire->change_alias(nullptr);
}

void TDR_DATA_SIGNAL_SET::create_signal_connections() {
  m_signal_connections.clear();
  m_signal_connections.reserve(m_data_wires.size());
  m_connection_status = true;
  for (const TDR_DATA_SIGNAL_WIRE* wire : m_data_wires) {
    bool connected = wire->get_connection_status();
    m_signal_connections.push_back(connected ? '1' : '0');
    if (!connected) m_connection_status = false;
  }
  m_connections_stale = false;
}

const char* TDR_DATA_SIGNAL_SET::get_signal_connections() const {
  if (m_connections_stale) const_cast<TDR_DATA_SIGNAL_SET*>(this)->create_signal_connections();
  return m_signal_connections.c_str();
}

bool TDR_DATA_SIGNAL_SET::get_connection_status() const {
  if (m_connections_stale) const_cast<TDR_DATA_SIGNAL_SET*>(this)->create_signal_connections();
  return m_connection_status;
}

// --- views ------------------------------------------------------------------------

TDR_DATA_SIGNAL_VIEW* TDR_DATA_SIGNAL_SET::get_data_view() const {
  TDR_CHECK(m_data_view != NULL);
  return m_data_view.get();
}

TDR_DATA_SIGNAL_VIEW* TDR_DATA_SIGNAL_SET::get_setup_view() const {
  TDR_CHECK(m_setup_view != NULL);
  return m_setup_view.get();
}

// --- setters ----------------------------------------------------------------------

bool TDR_DATA_SIGNAL_SET::set_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return false;
  bool restore_failed = false;
  if (!tdr_rename_in_map(m_instance ? &m_instance->get_signal_set_name_map() : nullptr, this, &m_name,
                         name, &restore_failed)) {
    if (restore_failed) TDR_INTERNAL_ERROR("map->insert(this)");
    return false;
  }
  tdr_set_attr(m_element, TDR_X("name"), m_name);
  return true;
}

void TDR_DATA_SIGNAL_SET::set_clock(const char* name, POLARITY polarity) {
  if (!TDR_CHECK(name != NULL)) return;
  if (*name) {
    m_clock_name = name;
    tdr_set_attr(m_clock, TDR_X("name"), m_clock_name);
  } else {
    create_default_external_clock();
  }
  set_clock(polarity);
}

void TDR_DATA_SIGNAL_SET::set_clock(POLARITY polarity) {
  m_clock_polarity = polarity;
  tdr_set_attr(m_clock, TDR_X("polarity"), polarity == NEGEDGE ? "negedge" : "posedge");
}

void TDR_DATA_SIGNAL_SET::create_default_external_clock() {
  if (!TDR_CHECK(m_clock != NULL)) return;
  m_clock_name = TDR_DEFAULT_EXTERNAL_CLOCK_NAME;
  tdr_set_attr(m_clock, TDR_X("name"), m_clock_name);
}

void TDR_DATA_SIGNAL_SET::set_top_entity_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  m_top_entity.set(name);
  tdr_set_attr(m_top_entity_element, TDR_X("name"), name);
}

void TDR_DATA_SIGNAL_SET::set_sample_depth(int depth) {
  validate_sample_depth(&depth);
  m_sample_depth = depth;
  tdr_set_attr_int(m_config, TDR_X("sample_depth"), depth);
}

void TDR_DATA_SIGNAL_SET::set_velarn_ram_type(TDR_VELARN_RAM_TYPE type) {
  m_ram_type = type;
  const char* word = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(type, &word);
  tdr_set_attr(m_config, TDR_X("ram_type"), word ? word : "");
}

void TDR_DATA_SIGNAL_SET::write_config_flag(const XMLCh* attr, bool value) {
  tdr_set_attr(m_config, attr, value ? "yes" : "no");
}

void TDR_DATA_SIGNAL_SET::enable_trigger_in(bool enable) {
  m_trigger_in_enabled = enable;
  write_config_flag(TDR_X("trigger_in_enable"), enable);
}

void TDR_DATA_SIGNAL_SET::enable_trigger_out(bool enable) {
  m_trigger_out_enabled = enable;
  write_config_flag(TDR_X("trigger_out_enable"), enable);
}

void TDR_DATA_SIGNAL_SET::set_port(OPT_STRING* set, const XMLCh* set_attr, OPT_STRING* other,
                                   const XMLCh* other_attr, const char* name) {
  set->set(name);
  tdr_set_attr(m_config, set_attr, name);
  if (other->non_empty()) {
    other->clear();
    tdr_remove_attr(m_config, other_attr);
  }
}

void TDR_DATA_SIGNAL_SET::set_trigger_in_pin(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  set_port(&m_trigger_in_pin, TDR_X("trigger_in_pin"), &m_trigger_in_node,
           TDR_X("trigger_in_node"), name);
}

void TDR_DATA_SIGNAL_SET::set_trigger_in_node(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  set_port(&m_trigger_in_node, TDR_X("trigger_in_node"), &m_trigger_in_pin,
           TDR_X("trigger_in_pin"), name);
}

void TDR_DATA_SIGNAL_SET::set_trigger_out_pin(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  set_port(&m_trigger_out_pin, TDR_X("trigger_out_pin"), &m_trigger_out_node,
           TDR_X("trigger_out_node"), name);
}

void TDR_DATA_SIGNAL_SET::set_trigger_out_node(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  set_port(&m_trigger_out_node, TDR_X("trigger_out_node"), &m_trigger_out_pin,
           TDR_X("trigger_out_pin"), name);
}

void TDR_DATA_SIGNAL_SET::set_reserved_data_node_size(int size) {
  m_reserved_data_nodes = size < 0 ? 0 : size;
  tdr_set_attr_int(m_config, TDR_X("reserved_data_nodes"), m_reserved_data_nodes);
}

void TDR_DATA_SIGNAL_SET::set_reserved_trigger_node_size(int size) {
  m_reserved_trigger_nodes = size < 0 ? 0 : size;
  tdr_set_attr_int(m_config, TDR_X("reserved_trigger_nodes"), m_reserved_trigger_nodes);
}

bool TDR_DATA_SIGNAL_SET::set_expanded_status(bool expanded) {
  m_expanded = expanded;
  tdr_set_attr(m_element, TDR_X("is_expanded"), expanded ? "true" : "false");
  return true;
}

// --- triggers ---------------------------------------------------------------------

TDR_DATA_TRIGGER* TDR_DATA_SIGNAL_SET::create_trigger(const char* name, bool global) {
  TDR_DATA_TRIGGER* trigger =
      name ? new TDR_DATA_TRIGGER(m_doc, name) : new TDR_DATA_TRIGGER(m_doc);
  trigger->set_signal_set(this);
  if (!global) {
    if (!append(trigger, true)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(trigger->get_name()));
      delete trigger;
      return nullptr;
    }
    return trigger;
  }
  if (TDR_DATA_TRIGGER* old = m_triggers.global()) {
    old->drop_global_log();
    m_triggers.drop_global();
  }
  m_triggers.set_global(trigger);
  if (m_element && trigger->get_dom_node()) m_element->appendChild(trigger->get_dom_node());
  trigger->set_global_temp();
  return trigger;
}

bool TDR_DATA_SIGNAL_SET::append(TDR_DATA_TRIGGER* trigger, bool attach_element) {
  if (!TDR_CHECK(trigger != NULL)) return false;
  if (!m_triggers.append(trigger)) return false;
  if (attach_element && m_element && trigger->get_dom_node())
    m_element->appendChild(trigger->get_dom_node());
  return true;
}

TDR_DATA_TRIGGER* TDR_DATA_SIGNAL_SET::get_last_trigger() const {
  TDR_DATA_SESSION* session = m_instance ? m_instance->get_session() : nullptr;
  if (session) {
    if (TDR_DATA_TRIGGER* active = session->find_active_trigger(m_instance)) return active;
  }
  return m_triggers.last();
}

// --- other ------------------------------------------------------------------------

bool TDR_DATA_SIGNAL_SET::validate_sample_depth(int* depth) {
  if (!TDR_CHECK(depth != NULL)) return false;
  if (*depth == 0) return true;
  if (*depth < 0) {
    *depth = 0;
    return false;
  }
  if (*depth > MAX_SAMPLE_DEPTH) {
    *depth = MAX_SAMPLE_DEPTH;
    return false;
  }
  int candidate = 64;
  while (candidate < *depth) candidate *= 2;  // stops at 2^30 at the latest
  if (candidate == *depth) return true;
  *depth = candidate == 64 ? 64 : candidate / 2;
  return false;
}

const char* TDR_DATA_SIGNAL_SET::to_string() {
  m_text.clear();
  m_text += "   clock = ";
  m_text += m_clock_polarity == NEGEDGE ? "negedge" : "posedge";
  m_text += " ";
  m_text += m_clock_name.empty() ? TDR_DEFAULT_EXTERNAL_CLOCK_NAME : m_clock_name.c_str();
  m_text += "\n   trigger signal width = " + std::to_string(get_trigger_wire_width());
  m_text += "\n   data signal width = " + std::to_string(get_data_wire_width()) + "\n";
  struct PORT {
    bool enabled;
    const char* label;
    const OPT_STRING* pin;
    const OPT_STRING* node;
  } ports[2] = {{m_trigger_in_enabled, "   trigger in ", &m_trigger_in_pin, &m_trigger_in_node},
                {m_trigger_out_enabled, "   trigger out ", &m_trigger_out_pin,
                 &m_trigger_out_node}};
  for (const PORT& port : ports) {
    if (!port.enabled) continue;
    m_text += port.label;
    if (port.pin->non_empty()) m_text += std::string("pin = ") + port.pin->get();
    if (port.node->non_empty()) m_text += std::string("node = ") + port.node->get();
    m_text += "\n";
  }
  m_text += "   sample depth = " + std::to_string(m_sample_depth);
  return m_text.c_str();
}

bool TDR_DATA_SIGNAL_SET::is_global_temp() const { return tdr_is_global_temp_element(m_element); }

void TDR_DATA_SIGNAL_SET::set_global_temp() { tdr_mark_global_temp_element(m_element); }

void TDR_DATA_SIGNAL_SET::remove() {
  DOMNode* parent = m_element ? m_element->getParentNode() : nullptr;
  if (!TDR_CHECK(parent != NULL)) return;
  if (m_instance) {
    if (m_instance->get_global_signal_set() == this) {
      m_instance->set_global_signal_set(nullptr);
    } else {
      TDR_DATA_NAME_MAP<TDR_DATA_SIGNAL_SET>& map = m_instance->get_signal_set_name_map();
      if (map.find(m_name) == this) map.erase(m_name);
      m_instance->delete_from_vector(this);
    }
    if (TDR_DATA_SESSION* session = m_instance->get_session())
      session->erase_active_branches(this);
  }
  // Detached only: view-node handles of callers may still point into it.
  parent->removeChild(m_element);
  delete this;
}

void TDR_DATA_SIGNAL_SET::init_container() {
  // The containers are members of the object and exist from construction.
}

void TDR_DATA_SIGNAL_SET::del_container() {
  m_triggers.delete_all();
  m_wire_map.clear();
  // A wire on both lists is one object; delete each once whatever its
  // capture type says by now.
  std::unordered_set<TDR_DATA_SIGNAL_WIRE*> deleted;
  deleted.reserve(m_data_wires.size() + m_trigger_wires.size());
  for (std::vector<TDR_DATA_SIGNAL_WIRE*>* list : {&m_data_wires, &m_trigger_wires}) {
    for (TDR_DATA_SIGNAL_WIRE* wire : *list)
      if (deleted.insert(wire).second) delete wire;
    list->clear();
  }
  m_connections_stale = true;
}
