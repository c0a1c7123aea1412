// Advanced trigger levels: expression texts kept in the file, their compiled
// factories (built once, on demand), the trigger's name index map, the
// editor's "op_node" trees and the final latency and port-use check.
#define TDR_SOURCE_FILE "tdr_data_trigger_adv"

#include <cstdio>
#include <new>
#include <vector>

#include "tci.h"
#include "tdr_data_instance.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

// Removes every child element `name` of `parent`.
void remove_children(DOMElement* parent, const XMLCh* name) {
  DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(parent, name);
  while (e) {
    DOMElement* next = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, name);
    tdr_release_node(e);
    e = next;
  }
}

}  // namespace

// --- op_node trees --------------------------------------------------------------------

TDR_DATA_TRIGGER_ADV_TREE_OBJ* TDR_DATA_TRIGGER::get_advanced_trigger_tree_root(int level) {
  if (level < 0 || level >= get_event_levels()) return nullptr;
  LEVEL& l = m_levels[size_t(level)];
  if (!l.tree && l.op_node) l.tree.reset(new TDR_DATA_TRIGGER_ADV_TREE_OBJ(l.op_node));
  return l.tree.get();
}

TDR_DATA_TRIGGER_ADV_TREE_OBJ* TDR_DATA_TRIGGER::recreate_advanced_trigger_tree_root(int level) {
  if (level < 0 || level >= get_event_levels()) return nullptr;
  get_advanced_trigger_tree_root(level);  // wraps a tree read from the file
  LEVEL& l = m_levels[size_t(level)];
  if (l.tree && l.tree->is_null()) l.tree.reset();
  if (l.tree) {
    l.tree->delete_refresh_subtree();
  } else {
    DOMElement* root = m_doc ? tdr_new_element(m_doc, TDR_X("op_node"), l.element) : nullptr;
    l.tree.reset(new TDR_DATA_TRIGGER_ADV_TREE_OBJ(root));
  }
  l.op_node = l.tree->get_dom_node();
  return l.tree.get();
}

// --- expressions and factories -----------------------------------------------------

const char* TDR_DATA_TRIGGER::get_advanced_trigger_expression(int level, bool power_up) {
  if (level < 0 || level >= get_event_levels()) return "";
  LEVEL& l = m_levels[size_t(level)];
  int side = power_up ? 1 : 0;
  std::string& text = l.expression_text[side];
  if (text.empty() && l.expression[side]) text = tdr_narrow(l.expression[side]->getData());
  return text.c_str();
}

TCI_ADVANCED_TRIGGER_FACTORY* TDR_DATA_TRIGGER::new_factory() {
  TCI_ADVANCED_TRIGGER_FACTORY* factory = new (std::nothrow) TCI_ADVANCED_TRIGGER_FACTORY;
  if (!TDR_CHECK(factory != NULL)) return nullptr;
  factory->set_trigger_name(m_name);
  TDR_DATA_INSTANCE* instance = m_signal_set ? m_signal_set->get_instance() : nullptr;
  factory->set_instance_name(instance ? instance->get_name() : nullptr);
  if (!m_name_index_map) create_name_index_map(nullptr);
  factory->set_name_map(m_name_index_map.get());
  return factory;
}

TCI_ADVANCED_TRIGGER_FACTORY* TDR_DATA_TRIGGER::create_trigger_factory() { return new_factory(); }

bool TDR_DATA_TRIGGER::set_advanced_trigger_expression(int level, const char* text,
                                                       bool power_up) {
  if (!TDR_CHECK(text != NULL)) return false;
  if (level < 0 || level >= get_event_levels()) return false;
  int side = power_up ? 1 : 0;
  {
    LEVEL& l = m_levels[size_t(level)];
    DOMElement* owner = power_up ? power_up_element(&l) : l.element;
    l.expression[side] = nullptr;
    if (owner && m_doc) {
      const XMLCh* tag = power_up ? TDR_X("power_up_expression") : TDR_X("expression");
      remove_children(owner, tag);
      DOMElement* holder = tdr_new_element(m_doc, tag, owner);
      l.expression[side] = m_doc->createCDATASection(tdr_widen(text).c_str());
      holder->appendChild(l.expression[side]);
    }
    l.factory_built[side] = true;
    delete l.factory[side];
    l.factory[side] = nullptr;
  }
  TCI_ADVANCED_TRIGGER_FACTORY* factory = new_factory();
  bool built = factory && TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(text, factory, true);
  if (!built) {
    delete factory;
    factory = nullptr;
  }
  LEVEL& l = m_levels[size_t(level)];
  l.factory[side] = factory;
  l.expression_text[side] = text;
  return built;
}

TCI_ADVANCED_TRIGGER_FACTORY* TDR_DATA_TRIGGER::get_advanced_trigger_factory(int level,
                                                                            bool power_up) {
  if (!m_name_index_map) create_name_index_map(nullptr);
  if (level < 0 || level >= get_event_levels()) return nullptr;
  int side = power_up ? 1 : 0;
  LEVEL& l = m_levels[size_t(level)];
  if (!l.factory[side] && !l.factory_built[side]) {
    // One attempt only: a text that does not compile is not compiled again
    // until a new expression is set.
    l.factory_built[side] = true;
    TCI_ADVANCED_TRIGGER_FACTORY* factory = new_factory();
    if (!factory) return nullptr;
    factory->set_trigger_level_index(level);
    if (!TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(
            get_advanced_trigger_expression(level, power_up), factory, true)) {
      delete factory;
      factory = nullptr;
    }
    l.factory[side] = factory;
  }
  return l.factory[side];
}

bool TDR_DATA_TRIGGER::create_name_index_map(TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* map) {
  if (!map) {
    if (!m_name_index_map) m_name_index_map.reset(new TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP);
    map = m_name_index_map.get();
  }
  map->clear_table();
  const TDR_DATA_SIGNAL_SET* set = m_signal_set;
  int wires = trigger_wire_count();
  TDR_DATA_INSTANCE* instance = set ? set->get_instance() : nullptr;
  int non_incremental = 0;
  if (instance && instance->get_node_info().node_id == 2) {
    // These nodes see their trigger inputs only by position.
    char name[32];
    for (int i = 0; i < wires; ++i) {
      std::snprintf(name, sizeof name, "acq_trigger_in[%d]", i);
      map->insert_table_entry(name, i);
    }
    non_incremental = wires;
  } else {
    for (int i = 0; i < wires; ++i) {
      const TDR_DATA_SIGNAL_WIRE* wire = set->get_trigger_wire_at(i);
      map->insert_table_entry(wire->get_name(), i);
      if (wire->get_alias()) map->insert_table_entry(wire->get_alias(), i);
      if (wire->get_tap_mode() == TDR_MTYPE_CLASSIC_TAP) ++non_incremental;
    }
  }
  int width = set ? set->get_ela_trigger_wire_width() : 0;
  map->set_num_trigger_nodes(width);
  map->set_num_incremental_trigger_nodes(width - non_incremental);
  map->clear_used_flags();
  return true;
}

const char* TDR_DATA_TRIGGER::get_advanced_trigger_crc_string(int level) {
  if (level < 0 || level >= get_event_levels()) return "";
  if (m_levels[size_t(level)].crc_text.empty()) {
    TCI_ADVANCED_TRIGGER_FACTORY* factory = get_advanced_trigger_factory(level, m_power_up_mode);
    TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(
        factory ? factory->get_root() : nullptr, m_levels[size_t(level)].crc_text,
        m_power_up_mode);
  }
  return m_levels[size_t(level)].crc_text.c_str();
}

// --- latency and port use -----------------------------------------------------------

bool TDR_DATA_TRIGGER::process_advanced_triggers(bool power_up) {
  int count = get_event_levels();
  std::vector<TCI_ADVANCED_TRIGGER_OUTPUT*> roots(size_t(count), nullptr);
  for (int i = 0; i < count; ++i) {
    if (m_levels[size_t(i)].basic) continue;
    TCI_ADVANCED_TRIGGER_FACTORY* factory = get_advanced_trigger_factory(i, power_up);
    roots[size_t(i)] = factory ? factory->get_root() : nullptr;
  }
  TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots.data(), count);
  return true;
}

bool TDR_DATA_TRIGGER::finalize_triggers() {
  if (m_finalized) return false;
  bool result = process_advanced_triggers(false);
  if (result && m_power_up_mode) result = process_advanced_triggers(true);
  m_finalized = true;

  if (m_levels.empty()) return result;
  for (const LEVEL& level : m_levels)
    if (level.basic) return result;
  if (!TDR_CHECK(m_name_index_map != NULL)) return result;
  const TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP& map = *m_name_index_map;
  if (map.all_signals_used()) return result;
  int ports = map.get_trigger_port_width();
  int wires = trigger_wire_count();
  for (int i = 0; i < ports && i < wires; ++i) {
    if (map.is_port_used(i)) continue;
    const TDR_DATA_SIGNAL_WIRE* wire = m_signal_set->get_trigger_wire_at(i);
    const char* label = wire->get_alias() ? wire->get_alias() : wire->get_name();
    MSG_TDR::post(MSG_TDR::W::TRIGGER_NOT_USED(label ? label : "", m_name.c_str()));
  }
  return result;
}
