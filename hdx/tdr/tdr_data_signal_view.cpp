// Presentation views of a signal set and the handles on their nodes.
#define TDR_SOURCE_FILE "tdr_data_signal_view"

#include "tdr_data_signal_view.h"

#include "gen.h"
#include "tdr_data_bus_mnemonics_plugin.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

// Nodes of a view are "net" and "bus" elements; anything else between them
// (text, comments, a bus's "mnemonics_plugin") is skipped.
bool is_view_node(const DOMNode* node) {
  return tdr_xml_is_element_named(node, TDR_X("net")) ||
         tdr_xml_is_element_named(node, TDR_X("bus"));
}

DOMElement* forward_from(DOMNode* node) {
  for (; node; node = node->getNextSibling())
    if (is_view_node(node)) return static_cast<DOMElement*>(node);
  return nullptr;
}

DOMElement* backward_from(DOMNode* node) {
  for (; node; node = node->getPreviousSibling())
    if (is_view_node(node)) return static_cast<DOMElement*>(node);
  return nullptr;
}

// The DOM does not refuse an element that would become its own ancestor.
bool would_nest_in_itself(const DOMNode* node, const DOMNode* new_parent) {
  for (const DOMNode* p = new_parent; p; p = p->getParentNode())
    if (p == node) return true;
  return false;
}

// Adds `child` below `parent` (before `before`, or last); false when refused.
bool place_child(DOMNode* parent, DOMNode* child, DOMNode* before) {
  if (would_nest_in_itself(child, parent)) return false;
  try {
    if (before) {
      parent->insertBefore(child, before);
    } else {
      parent->appendChild(child);
    }
  } catch (const DOMException&) {
    return false;
  }
  return true;
}

}  // namespace

// --- view -----------------------------------------------------------------

TDR_DATA_SIGNAL_VIEW::TDR_DATA_SIGNAL_VIEW(DOMDocument* doc, DOMElement* element,
                                           TDR_DATA_SIGNAL_SET* signal_set)
    : m_signal_set(signal_set), m_doc(doc), m_element(element) {}

TDR_DATA_SIGNAL_VIEW::TDR_DATA_SIGNAL_VIEW(DOMDocument* doc, VIEW_TYPE type,
                                           TDR_DATA_SIGNAL_SET* signal_set)
    : m_signal_set(signal_set), m_doc(doc) {
  if (!doc) return;
  if (type == DATA_VIEW) {
    m_element = tdr_new_element(doc, TDR_X("data_view"));
  } else if (type == SETUP_VIEW) {
    m_element = tdr_new_element(doc, TDR_X("setup_view"));
  }
}

DOMElement* TDR_DATA_SIGNAL_VIEW::get_first_child() const {
  return m_element ? forward_from(m_element->getFirstChild()) : nullptr;
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW::get_first_node() const {
  if (!TDR_CHECK(m_element != NULL)) return TDR_DATA_SIGNAL_VIEW_NODE();
  return TDR_DATA_SIGNAL_VIEW_NODE(get_first_child(), const_cast<TDR_DATA_SIGNAL_VIEW*>(this));
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW::find_bus_node(const char* name) const {
  TDR_DATA_SIGNAL_VIEW* self = const_cast<TDR_DATA_SIGNAL_VIEW*>(this);
  if (!name || !m_element) return TDR_DATA_SIGNAL_VIEW_NODE();
  TDR_XSTRING wanted = tdr_widen(name);
  // Document-order walk of the subtree without recursion.
  DOMNode* node = m_element->getFirstChild();
  while (node) {
    if (tdr_xml_is_element_named(node, TDR_X("bus"))) {
      const DOMElement* e = static_cast<const DOMElement*>(node);
      const XMLCh* bus_name = tdr_attr_value(e, TDR_X("name"));
      const XMLCh* alias = tdr_attr_value(e, TDR_X("alias"));
      if ((bus_name && XMLString::equals(bus_name, wanted.c_str())) ||
          (alias && XMLString::equals(alias, wanted.c_str())))
        return TDR_DATA_SIGNAL_VIEW_NODE(static_cast<DOMElement*>(node), self);
    }
    if (tdr_xml_is_element(node) && node->getFirstChild()) {
      node = node->getFirstChild();
      continue;
    }
    while (node && node != m_element && !node->getNextSibling()) node = node->getParentNode();
    if (!node || node == m_element) break;
    node = node->getNextSibling();
  }
  return TDR_DATA_SIGNAL_VIEW_NODE();
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW::create_node(const char* name, bool bus) {
  if (!TDR_CHECK(name != NULL)) return TDR_DATA_SIGNAL_VIEW_NODE();
  TDR_DATA_SIGNAL_VIEW_NODE node(bus ? TDR_DATA_SIGNAL_VIEW_NODE::BUS_NODE
                                     : TDR_DATA_SIGNAL_VIEW_NODE::NET_NODE,
                                 this);
  node.set_name(name);
  return node;
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW::create_net_node(const char* name) {
  return create_node(name, false);
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW::create_bus_node(const char* name) {
  return create_node(name, true);
}

void TDR_DATA_SIGNAL_VIEW::insert_first_node(const TDR_DATA_SIGNAL_VIEW_NODE& node) {
  if (!TDR_CHECK(m_element != NULL) || node.is_null()) return;
  DOMElement* first = get_first_child();
  if (!first) {
    place_child(m_element, node.get_dom_node(), nullptr);
    return;
  }
  TDR_DATA_SIGNAL_VIEW_NODE(first, this).insert_before(node);
}

void TDR_DATA_SIGNAL_VIEW::append_node(const TDR_DATA_SIGNAL_VIEW_NODE& node) {
  if (!TDR_CHECK(m_element != NULL) || node.is_null()) return;
  place_child(m_element, node.get_dom_node(), nullptr);
}

void TDR_DATA_SIGNAL_VIEW::remove_all_view_nodes() {
  if (!TDR_CHECK(m_element != NULL)) return;
  DOMElement* fresh = m_doc->createElement(m_element->getTagName());
  if (DOMNode* parent = m_element->getParentNode()) {
    // Handles may still point into the old subtree, so it stays allocated
    // (the document frees it).
    parent->removeChild(m_element);
    parent->appendChild(fresh);
  }
  m_element = fresh;
}

// --- node -----------------------------------------------------------------

TDR_DATA_SIGNAL_VIEW_NODE::TDR_DATA_SIGNAL_VIEW_NODE(DOMElement* element,
                                                     TDR_DATA_SIGNAL_VIEW* view)
    : m_view(view), m_element(element) {}

TDR_DATA_SIGNAL_VIEW_NODE::TDR_DATA_SIGNAL_VIEW_NODE(NODE_TYPE type, TDR_DATA_SIGNAL_VIEW* view)
    : m_view(view) {
  DOMDocument* doc = view ? view->get_dom_document() : nullptr;
  if (!TDR_CHECK(doc != NULL)) return;
  if (type == BUS_NODE) {
    m_element = tdr_new_element(doc, TDR_X("bus"));
    m_bus.reset(new BUS_STATE);
  } else {
    m_element = tdr_new_element(doc, TDR_X("net"));
  }
}

TDR_DATA_SIGNAL_VIEW_NODE::TDR_DATA_SIGNAL_VIEW_NODE(const TDR_DATA_SIGNAL_VIEW_NODE& other)
    : m_view(other.m_view), m_element(other.m_element) {}

TDR_DATA_SIGNAL_VIEW_NODE& TDR_DATA_SIGNAL_VIEW_NODE::operator=(
    const TDR_DATA_SIGNAL_VIEW_NODE& other) {
  if (this != &other) {
    m_view = other.m_view;
    m_element = other.m_element;
    clear_caches();
  }
  return *this;
}

TDR_DATA_SIGNAL_VIEW_NODE::~TDR_DATA_SIGNAL_VIEW_NODE() {}

void TDR_DATA_SIGNAL_VIEW_NODE::clear_caches() {
  m_name_read = false;
  m_has_name = false;
  m_name.clear();
  m_bus.reset();
}

bool TDR_DATA_SIGNAL_VIEW_NODE::is_bus() const { return bus_state() != nullptr; }

TDR_DATA_SIGNAL_VIEW_NODE::BUS_STATE* TDR_DATA_SIGNAL_VIEW_NODE::bus_state() const {
  if (!m_bus && tdr_xml_is_element_named(m_element, TDR_X("bus"))) m_bus.reset(new BUS_STATE);
  return m_bus.get();
}

TDR_DATA_SIGNAL_WIRE* TDR_DATA_SIGNAL_VIEW_NODE::find_wire() const {
  const char* name = get_name();
  TDR_DATA_SIGNAL_SET* set = m_view ? m_view->get_signal_set() : nullptr;
  return name && set ? set->get_wire(name) : nullptr;
}

const char* TDR_DATA_SIGNAL_VIEW_NODE::get_name() const {
  if (!m_name_read) {
    m_has_name = tdr_get_attr_if(m_element, TDR_X("name"), &m_name);
    m_name_read = true;
  }
  return m_has_name ? m_name.c_str() : nullptr;
}

const char* TDR_DATA_SIGNAL_VIEW_NODE::get_alias() const {
  if (BUS_STATE* bus = bus_state()) {
    if (!bus->alias_read) {
      bus->has_alias = tdr_get_attr_if(m_element, TDR_X("alias"), &bus->alias);
      bus->alias_read = true;
    }
    return bus->has_alias ? bus->alias.c_str() : nullptr;
  }
  TDR_DATA_SIGNAL_WIRE* wire = find_wire();
  const char* alias = wire ? wire->get_alias() : nullptr;
  return alias && *alias ? alias : nullptr;
}

TDR_DATA_SIGNAL_TYPE TDR_DATA_SIGNAL_VIEW_NODE::get_signal_type() const {
  if (BUS_STATE* bus = bus_state()) {
    if (!bus->type_read) {
      bus->signal_type = TDR_STYPE_UNKNOWN_SIGNAL;
      if (tdr_has_attr(m_element, TDR_X("type")))
        bus->signal_type = TDR_DATA_SIGNAL_WIRE::convert_to_signal_type(
            tdr_get_attr(m_element, TDR_X("type")).c_str());
      bus->type_read = true;
    }
    return bus->signal_type;
  }
  TDR_DATA_SIGNAL_WIRE* wire = find_wire();
  return wire ? wire->get_signal_type() : TDR_STYPE_UNKNOWN_SIGNAL;
}

TDR_DATA_GROUP_LINKING_TYPE TDR_DATA_SIGNAL_VIEW_NODE::get_bus_linking_type() const {
  TDR_DATA_GROUP_LINKING_TYPE type = TDR_LTYPE_NO_LINK;
  if (is_bus() && tdr_has_attr(m_element, TDR_X("link")))
    TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(tdr_get_attr(m_element, TDR_X("link")).c_str(),
                                                 &type);
  return type;
}

TDR_DATA_GROUP_DISPLAY_TYPE TDR_DATA_SIGNAL_VIEW_NODE::get_bus_display_type() const {
  if (!is_bus()) return TDR_GTYPE_HEX_DISPLAY;
  // A named mnemonic table decides, whatever "radix" says.
  const char* table = get_mnemonics_table();
  if (table && *table) return TDR_GTYPE_MNEMONICS_DISPLAY;
  TDR_DATA_GROUP_DISPLAY_TYPE type = TDR_GTYPE_HEX_DISPLAY;
  if (tdr_has_attr(m_element, TDR_X("radix")))
    TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(tdr_get_attr(m_element, TDR_X("radix")).c_str(),
                                                 &type);
  return type;
}

const char* TDR_DATA_SIGNAL_VIEW_NODE::get_mnemonics_table() const {
  BUS_STATE* bus = bus_state();
  if (!bus) return nullptr;
  if (!bus->table_read) {
    // An empty "mnemonics" still names a table (""), unlike an absent one.
    const XMLCh* table = tdr_attr_value(m_element, TDR_X("mnemonics"));
    bus->has_table = table != nullptr;
    bus->table = tdr_narrow(table);
    bus->table_read = true;
  }
  return bus->has_table ? bus->table.c_str() : nullptr;
}

std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN> TDR_DATA_SIGNAL_VIEW_NODE::get_mnemonics_plugin()
    const {
  if (get_bus_display_type() != TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY) return nullptr;
  DOMElement* plugin =
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(m_element, TDR_X("mnemonics_plugin"));
  if (!plugin)
    plugin = tdr_new_element(m_element->getOwnerDocument(), TDR_X("mnemonics_plugin"), m_element);
  return std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN>(new TDR_DATA_BUS_MNEMONICS_PLUGIN(plugin));
}

bool TDR_DATA_SIGNAL_VIEW_NODE::is_bus_expanded() const {
  if (!is_bus()) return true;
  const XMLCh* state = tdr_attr_value(m_element, TDR_X("state"));
  return !(state && XMLString::equals(state, TDR_X("collapse")));
}

bool TDR_DATA_SIGNAL_VIEW_NODE::is_lsb_to_msb() const {
  const XMLCh* order = tdr_attr_value(m_element, TDR_X("order"));
  return !order || XMLString::equals(order, TDR_X("lsb_to_msb"));
}

bool TDR_DATA_SIGNAL_VIEW_NODE::is_signal_inverted() const {
  if (!tdr_has_attr(m_element, TDR_X("is_signal_inverted"))) return false;
  return gen_stricmp(tdr_get_attr(m_element, TDR_X("is_signal_inverted")).c_str(), "yes") == 0;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return false;
  m_name_read = false;
  m_has_name = false;
  m_name.clear();
  if (!m_element) return false;
  tdr_set_attr(m_element, TDR_X("name"), name);
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_alias(const char* alias) {
  if (BUS_STATE* bus = bus_state()) {
    bus->alias_read = false;
    if (alias) {
      tdr_set_attr(m_element, TDR_X("alias"), alias);
    } else {
      tdr_remove_attr(m_element, TDR_X("alias"));
    }
    return true;
  }
  TDR_DATA_SIGNAL_WIRE* wire = find_wire();
  if (!wire) return false;
  // The wire's name, not the node's: the node may name the wire by its alias.
  std::string wire_name = wire->get_name();
  m_view->get_signal_set()->rename_signal_alias(wire_name.c_str(), alias);
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_signal_type(TDR_DATA_SIGNAL_TYPE type) {
  if (BUS_STATE* bus = bus_state()) {
    bus->type_read = false;
    tdr_set_attr(m_element, TDR_X("type"), TDR_DATA_SIGNAL_WIRE::convert_to_signal_type_str(type));
    return true;
  }
  TDR_DATA_SIGNAL_WIRE* wire = find_wire();
  if (!wire) return false;
  wire->set_signal_type(type);
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_bus_linking_type(TDR_DATA_GROUP_LINKING_TYPE type) {
  if (!is_bus()) return false;
  std::string word;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(type, &word);
  tdr_set_attr(m_element, TDR_X("link"), word);
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_bus_display_type(TDR_DATA_GROUP_DISPLAY_TYPE type) {
  if (!is_bus()) return false;
  const char* word = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(type, &word);
  tdr_set_attr(m_element, TDR_X("radix"), word);
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_signal_inverted(bool inverted) {
  if (!m_element) return false;
  tdr_set_attr(m_element, TDR_X("is_signal_inverted"), inverted ? "yes" : "no");
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_mnemonics_table(const char* name) {
  BUS_STATE* bus = bus_state();
  if (!bus) return false;
  bus->table_read = false;
  tdr_set_attr(m_element, TDR_X("mnemonics"), name ? name : "");
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_bus_display_state(bool expand) {
  if (!is_bus()) return false;
  tdr_set_attr(m_element, TDR_X("state"), expand ? "expand" : "collapse");
  return true;
}

bool TDR_DATA_SIGNAL_VIEW_NODE::set_lsb_to_msb(bool lsb_to_msb) {
  if (!is_bus()) return false;
  tdr_set_attr(m_element, TDR_X("order"), lsb_to_msb ? "lsb_to_msb" : "msb_to_lsb");
  return true;
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW_NODE::get_first_child() const {
  if (!is_bus()) return TDR_DATA_SIGNAL_VIEW_NODE();
  return TDR_DATA_SIGNAL_VIEW_NODE(forward_from(m_element->getFirstChild()), m_view);
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW_NODE::get_last_child() const {
  if (!is_bus()) return TDR_DATA_SIGNAL_VIEW_NODE();
  return TDR_DATA_SIGNAL_VIEW_NODE(backward_from(m_element->getLastChild()), m_view);
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW_NODE::get_next_sibling() const {
  if (!m_element) return TDR_DATA_SIGNAL_VIEW_NODE();
  return TDR_DATA_SIGNAL_VIEW_NODE(forward_from(m_element->getNextSibling()), m_view);
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW_NODE::get_prev_sibling() const {
  if (!m_element) return TDR_DATA_SIGNAL_VIEW_NODE();
  return TDR_DATA_SIGNAL_VIEW_NODE(backward_from(m_element->getPreviousSibling()), m_view);
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_SIGNAL_VIEW_NODE::clone(bool deep) const {
  if (!m_element) return TDR_DATA_SIGNAL_VIEW_NODE();
  DOMNode* copy = m_element->cloneNode(deep);
  if (!TDR_CHECK(copy && copy->getNodeType() == DOMNode::ELEMENT_NODE))
    return TDR_DATA_SIGNAL_VIEW_NODE();
  return TDR_DATA_SIGNAL_VIEW_NODE(static_cast<DOMElement*>(copy), m_view);
}

bool TDR_DATA_SIGNAL_VIEW_NODE::insert_before(const TDR_DATA_SIGNAL_VIEW_NODE& node) {
  if (is_null() || node.is_null()) return false;
  DOMNode* parent = m_element->getParentNode();
  if (!parent) return false;
  if (node.m_element == m_element) return true;
  return place_child(parent, node.m_element, m_element);
}

bool TDR_DATA_SIGNAL_VIEW_NODE::append_after(const TDR_DATA_SIGNAL_VIEW_NODE& node) {
  if (is_null() || node.is_null()) return false;
  if (node.m_element == m_element) return true;
  DOMElement* next = forward_from(m_element->getNextSibling());
  if (next) return TDR_DATA_SIGNAL_VIEW_NODE(next, m_view).insert_before(node);
  DOMNode* parent = m_element->getParentNode();
  if (!parent) return true;
  return place_child(parent, node.m_element, nullptr);
}

bool TDR_DATA_SIGNAL_VIEW_NODE::append_child(const TDR_DATA_SIGNAL_VIEW_NODE& node) {
  if (is_null() || node.is_null() || !is_bus()) return false;
  return place_child(m_element, node.m_element, nullptr);
}

bool TDR_DATA_SIGNAL_VIEW_NODE::remove() {
  if (is_null()) return false;
  DOMNode* parent = m_element->getParentNode();
  if (!parent) return false;
  parent->removeChild(m_element);
  m_element = nullptr;
  clear_caches();
  return true;
}

TDR_DATA_SIGNAL_WIRE* TDR_DATA_SIGNAL_VIEW_NODE::get_data_wire(bool report) const {
  TDR_DATA_SIGNAL_WIRE* wire = find_wire();
  if (!wire && report) {
    const char* name = get_name();
    MSG_TDR::post(MSG_TDR::W::INVALID_SIGNAL_REF(name ? name : "unspecified"));
  }
  return wire;
}
