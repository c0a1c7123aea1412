// Loading a node list from a data-layer view, repairing it against the signal
// set's wires, and writing it back into the view and the wires.
#include "tdr_tx_signal_nodes.h"
#define TDR_SOURCE_FILE "tdr_tx_signal_nodes_commit"

#include <map>
#include <memory>
#include <unordered_set>

#include "tdr_data_bus_mnemonics_plugin.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_msg.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_tree_object.h"

typedef TDR_TX_SIGNAL_NODES::NODE_TYPE NODE_TYPE;

#define TDR_TX_NODE_RECORD(func, op) \
  TDR_TX_RECORD(func, m_recorder, m_instance_index, m_is_setup_view, op)

namespace {

void take_wire_fields(NODE_TYPE* node, TDR_DATA_SIGNAL_WIRE* wire) {
  node->is_debug_port = wire->is_debug_port();
  if (node->is_debug_port && wire->get_debug_port_name())
    node->debug_port_name = wire->get_debug_port_name();
  node->data_wire_index = wire->get_data_wire_index();
  node->trigger_wire_index = wire->get_trigger_wire_index();
  node->capture_type = wire->get_capture_type();
  node->tap_mode = wire->get_tap_mode();
  node->connection_status = wire->get_connection_status();
}

// Whether `wire`, found by `node`'s name, is the node's signal and not
// another wire whose alias is that name.
bool is_own_wire(const NODE_TYPE& node, const TDR_DATA_SIGNAL_WIRE& wire) {
  const char* name = wire.get_name();
  if (name && node.name == name) return true;
  const char* alias = wire.get_alias();
  return alias && node.name == alias && node.alias == alias;
}

// A node from a view node: name, alias, signal type and inversion.
NODE_TYPE* node_from_view(const TDR_DATA_SIGNAL_VIEW_NODE& view_node) {
  NODE_TYPE* node = new NODE_TYPE();
  const char* name = view_node.get_name();
  node->name = name ? name : "";
  if (const char* alias = view_node.get_alias()) node->alias = alias;
  node->signal_type = view_node.get_signal_type();
  node->signal_inverted = view_node.is_signal_inverted();
  node->data_view_node = new TDR_DATA_SIGNAL_VIEW_NODE(view_node);
  return node;
}

void fill_wire_node(NODE_TYPE* node, const TDR_DATA_SIGNAL_VIEW_NODE& view_node) {
  if (TDR_DATA_SIGNAL_WIRE* wire = view_node.get_data_wire(false))
    take_wire_fields(node, wire);
  else
    node->missing_wire = true;
}

}  // namespace

bool TDR_TX_SIGNAL_NODES::init() {
  TDR_TX_NODE_RECORD(func, "init");
  if (m_node_vec) {
    free_nodes();
  } else {
    m_node_vec = new std::vector<NODE_TYPE*>();
    m_node_vec->reserve(64);
  }
  m_data_view = nullptr;
  m_data_wire_count = m_trigger_wire_count = 0;
  m_next_data_wire_index = m_next_trigger_wire_index = 0;
  m_capture_type_changed = false;
  m_view_rebuild_needed = false;
  // Undo actions may point at the plug-in settings: the history goes first.
  if (m_undo_manager) m_undo_manager->clear();
  for (TDR_TX_PLUGIN_MNEMONICS_INFO* info : m_plugin_infos) delete info;
  m_plugin_infos.clear();
  clear_node_flags();
  return true;
}

void TDR_TX_SIGNAL_NODES::clear_node_flags() {
  if (m_change_status) {
    m_change_status->m_classic_node_changed = false;
    m_change_status->m_rivlet_node_changed = false;
    m_change_status->m_classic_debug_port_changed = false;
    m_change_status->m_rivlet_debug_port_changed = false;
    m_change_status->m_presentation_changed = false;
  }
  if (m_undo_manager) m_undo_manager->clear();
}

bool TDR_TX_SIGNAL_NODES::init(TDR_DATA_SIGNAL_VIEW* data_view) {
  TDR_TX_NODE_RECORD(func, "init");
  TDR_DATA_SIGNAL_SET* signal_set = data_view ? data_view->get_signal_set() : nullptr;
  const char* set_name = signal_set ? signal_set->get_name() : nullptr;
  func.append_argument(signal_set && signal_set->is_global_temp() ? "USE_GLOBAL_TEMP" : set_name);
  if (!TDR_CHECK(data_view != NULL)) return true;
  init();
  m_data_view = data_view;
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  for (TDR_DATA_SIGNAL_VIEW_NODE view_node = data_view->get_first_node(); !view_node.is_null();
       view_node = view_node.get_next_sibling()) {
    NODE_TYPE* node = node_from_view(view_node);
    nodes.push_back(node);
    if (!view_node.is_bus()) {
      node->display_type = TDR_DTYPE_STANDALONE_NODE;
      fill_wire_node(node, view_node);
      continue;
    }
    node->display_type = view_node.is_bus_expanded() ? TDR_DTYPE_EXPAND_GROUP_NODE
                                                     : TDR_DTYPE_COLLAPSE_GROUP_NODE;
    node->is_debug_port = false;
    const char* table = view_node.get_mnemonics_table();
    if (table && table[0]) {
      node->mnemonics_table_name = table;
      node->group_display_type = TDR_GTYPE_MNEMONICS_DISPLAY;
    } else {
      node->group_display_type = view_node.get_bus_display_type();
      if (node->group_display_type == TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY) {
        node->mnemonics_plugin_info = new_plugin_info();
        std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN> record = view_node.get_mnemonics_plugin();
        if (record) node->mnemonics_plugin_info->init_from_data_node(record.get());
      }
    }
    node->linking_type = view_node.get_bus_linking_type();
    node->lsb_to_msb = view_node.is_lsb_to_msb();
    NODE_TYPE* member = nullptr;
    for (TDR_DATA_SIGNAL_VIEW_NODE child = view_node.get_first_child(); !child.is_null();
         child = child.get_next_sibling()) {
      member = node_from_view(child);
      member->display_type = TDR_DTYPE_GROUP_MEMBER_NODE;
      fill_wire_node(member, child);
      nodes.push_back(member);
    }
    if (member) member->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
  }
  if (signal_set) {
    m_data_wire_count = m_next_data_wire_index = signal_set->get_data_wire_width();
    m_trigger_wire_count = m_next_trigger_wire_index = signal_set->get_trigger_wire_width();
  }
  recover_presentation_view_error();
  clear_node_flags();
  return true;
}

void TDR_TX_SIGNAL_NODES::recover_presentation_view_error() {
  TDR_TX_NODE_RECORD(func, "recover_presentation_view_error");
  if (!TDR_CHECK(m_data_view != NULL)) return;
  if (m_data_view->is_view_repaired()) return;
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;

  // Nodes without a wire go, with their view elements, in one pass.
  size_t kept = 0;
  for (size_t k = 0; k < nodes.size(); ++k) {
    NODE_TYPE* node = nodes[k];
    if (!node->missing_wire) {
      nodes[kept++] = node;
      continue;
    }
    TDR_CHECK(node->data_view_node != NULL);
    if (node->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE && kept > 0 &&
        nodes[kept - 1]->display_type == TDR_DTYPE_GROUP_MEMBER_NODE)
      nodes[kept - 1]->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
    if (node->data_view_node) node->data_view_node->remove();
    delete node;
  }
  nodes.resize(kept);

  TDR_DATA_SIGNAL_SET* signal_set = m_data_view->get_signal_set();
  if (signal_set) {
    std::unordered_set<std::string> names;
    int wire_nodes = 0;
    for (const NODE_TYPE* node : nodes) {
      if (!node->is_wire()) continue;
      names.insert(node->name);
      ++wire_nodes;
    }
    auto add = [&](TDR_DATA_SIGNAL_WIRE* wire) {
      const char* name = wire ? wire->get_name() : nullptr;
      if (!name || !name[0] || !names.insert(name).second) return;
      NODE_TYPE* node = new NODE_TYPE();
      assign_data_wire_to_node(node, wire);
      node->display_type = TDR_DTYPE_STANDALONE_NODE;
      TDR_DATA_SIGNAL_VIEW_NODE view_node = m_data_view->create_net_node(name);
      m_data_view->append_node(view_node);
      node->data_view_node = new TDR_DATA_SIGNAL_VIEW_NODE(view_node);
      nodes.push_back(node);
    };
    if (m_data_view == signal_set->get_data_view()) {
      for (int k = 0; k < signal_set->get_data_wire_width(); ++k)
        add(signal_set->get_data_wire_at(k));
    } else if (wire_nodes < signal_set->get_wire_size()) {
      for (int k = 0; k < signal_set->get_data_wire_width(); ++k)
        add(signal_set->get_data_wire_at(k));
      for (int k = 0; k < signal_set->get_trigger_wire_width(); ++k) {
        TDR_DATA_SIGNAL_WIRE* wire = signal_set->get_trigger_wire_at(k);
        if (wire && wire->get_capture_type() == TDR_WTYPE_TRIGGER_CAPTURE) add(wire);
      }
    }
  }
  m_data_view->set_view_repaired(true);
}

void TDR_TX_SIGNAL_NODES::assign_data_wire_to_node(NODE_TYPE* node, TDR_DATA_SIGNAL_WIRE* wire) {
  TDR_TX_NODE_RECORD(func, "assign_data_wire_to_node");
  func.append_argument(node ? node->name.c_str() : nullptr);
  if (!TDR_CHECK(node != NULL) || !TDR_CHECK(wire != NULL)) return;
  node->name = wire->get_name() ? wire->get_name() : "";
  if (wire->get_alias()) node->alias = wire->get_alias();
  node->capture_type = wire->get_capture_type();
  node->tap_mode = wire->get_tap_mode();
  node->connection_status = wire->get_connection_status();
  node->signal_type = wire->get_signal_type();
  node->data_wire_index = wire->get_data_wire_index();
  node->trigger_wire_index = wire->get_trigger_wire_index();
  node->is_debug_port = wire->is_debug_port();
  if (wire->get_debug_port_name()) node->debug_port_name = wire->get_debug_port_name();
}

// Removes the view's "net" and "bus" children; the view element stays where it is.
void TDR_TX_SIGNAL_NODES::clear_view_nodes(TDR_DATA_SIGNAL_VIEW* view) {
  TDR_DATA_SIGNAL_VIEW_NODE node = view->get_first_node();
  while (!node.is_null()) {
    TDR_DATA_SIGNAL_VIEW_NODE next = node.get_next_sibling();
    node.remove();
    node = next;
  }
  // Handles on removed elements must not be used to place anything.
  for (NODE_TYPE* list_node : *m_node_vec) {
    delete list_node->data_view_node;
    list_node->data_view_node = nullptr;
  }
}

void TDR_TX_SIGNAL_NODES::release_view(const TDR_DATA_SIGNAL_VIEW* view) {
  if (!view || view != m_data_view) return;
  for (NODE_TYPE* node : *m_node_vec) {
    delete node->data_view_node;
    node->data_view_node = nullptr;
  }
  m_data_view = nullptr;
}

bool TDR_TX_SIGNAL_NODES::commit(TDR_DATA_SIGNAL_VIEW* view) {
  TDR_TX_NODE_RECORD(func, "commit");
  if (!TDR_CHECK(view != NULL)) return false;
  if (m_view_rebuild_needed || view != m_data_view) {
    clear_view_nodes(view);
    m_view_rebuild_needed = false;
  }
  bool result = true;
  if (!view->get_first_child()) {
    for (NODE_TYPE* node : *m_node_vec) {
      delete node->data_view_node;
      node->data_view_node = nullptr;
    }
    m_data_view = view;
    TDR_DATA_SIGNAL_VIEW_NODE previous;  // last top-level view node
    TDR_DATA_SIGNAL_VIEW_NODE bus_view_node;
    for (NODE_TYPE* node : *m_node_vec) {
      TDR_DATA_SIGNAL_VIEW_NODE view_node;
      switch (node->display_type) {
        case TDR_DTYPE_STANDALONE_NODE:
        case TDR_DTYPE_EXPAND_GROUP_NODE:
        case TDR_DTYPE_COLLAPSE_GROUP_NODE:
          view_node = node->is_group() ? view->create_bus_node(node->name.c_str())
                                       : view->create_net_node(node->name.c_str());
          if (previous.is_null())
            view->insert_first_node(view_node);
          else
            previous.append_after(view_node);
          previous = view_node;
          bus_view_node = node->is_group() ? view_node : TDR_DATA_SIGNAL_VIEW_NODE();
          break;
        case TDR_DTYPE_GROUP_MEMBER_NODE:
        case TDR_DTYPE_LAST_GROUP_MEMBER_NODE:
          if (!TDR_CHECK(!bus_view_node.is_null())) continue;
          view_node = view->create_net_node(node->name.c_str());
          bus_view_node.append_child(view_node);
          break;
        default:
          TDR_INTERNAL_ERROR("Invalid node type");
          continue;
      }
      // Only the node's own wire: through the view node, a node named like
      // another wire's alias would reach that wire. A node named by its own
      // wire's alias (as a file may name it) has that alias as its alias.
      TDR_DATA_SIGNAL_WIRE* wire = node->is_wire() ? view_node.get_data_wire(false) : nullptr;
      if (wire && !is_own_wire(*node, *wire)) wire = nullptr;
      if (wire) {
        // An undone alias must leave the wire too.
        view_node.set_alias(node->alias.empty() ? nullptr : node->alias.c_str());
        view_node.set_signal_type(node->signal_type);
      } else if (node->is_group()) {
        if (!node->alias.empty()) view_node.set_alias(node->alias.c_str());
        view_node.set_signal_type(node->signal_type);
      }
      view_node.set_signal_inverted(node->signal_inverted);
      if (node->is_wire()) {
        if (wire) {
          if (m_is_setup_view) show_debug_port(wire, *node);
          node->data_wire_index = wire->get_data_wire_index();
        } else {
          result = false;
        }
      } else {
        if (node->group_display_type != TDR_GTYPE_MNEMONICS_DISPLAY)
          view_node.set_bus_display_type(node->group_display_type);
        if (node->group_display_type == TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY) {
          std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN> record = view_node.get_mnemonics_plugin();
          if (record && node->mnemonics_plugin_info)
            node->mnemonics_plugin_info->commit_to_data_node(record.get());
        } else if (node->group_display_type == TDR_GTYPE_MNEMONICS_DISPLAY &&
                   !node->mnemonics_table_name.empty()) {
          view_node.set_mnemonics_table(node->mnemonics_table_name.c_str());
        }
        view_node.set_bus_linking_type(node->linking_type);
        view_node.set_lsb_to_msb(node->lsb_to_msb);
        view_node.set_bus_display_state(node->display_type == TDR_DTYPE_EXPAND_GROUP_NODE);
      }
      node->data_view_node = new TDR_DATA_SIGNAL_VIEW_NODE(view_node);
    }
  }
  if (m_change_status) m_change_status->m_presentation_changed = false;
  return result;
}

bool TDR_TX_SIGNAL_NODES::commit_signal_set(TDR_DATA_SIGNAL_SET* signal_set,
                                            bool keep_wire_order) {
  TDR_TX_NODE_RECORD(func, "commit_signal_set");
  func.append_argument(keep_wire_order);
  if (!signal_set) return true;
  if (!TDR_CHECK(m_node_vec != NULL)) return false;
  bool result = true;

  auto create = [&](NODE_TYPE* node, TDR_DATA_WIRE_CAPTURE_TYPE capture_type) {
    // A signal captured for nothing has no wire: no list would hold it.
    if (capture_type == TDR_WTYPE_NONE_CAPTURE) return;
    TDR_DATA_SIGNAL_WIRE* wire = signal_set->create_wire(
        node->name.c_str(), capture_type, node->tap_mode, node->connection_status,
        node->alias.empty() ? nullptr : node->alias.c_str());
    if (!wire || !signal_set->append(wire, true)) {
      TDR_INTERNAL_ERROR("Failed to create a wire");
      return;
    }
    node->data_wire_index = wire->get_data_wire_index();
  };

  if (!keep_wire_order) {
    std::map<std::string, NODE_TYPE*> maps[3];  // classic, advanced, probe-only
    for (NODE_TYPE* node : *m_node_vec) {
      if (!node || (node->is_wire() && node->name.empty())) {
        result = false;
        continue;
      }
      if (!node->is_wire()) continue;
      int map_index = int(node->tap_mode);
      if (map_index < 0 || map_index > 2) {
        TDR_INTERNAL_ERROR("Invalid node connection type");
        continue;
      }
      maps[map_index].insert(std::make_pair(node->name, node));
    }
    for (auto& map : maps)
      for (auto& entry : map) create(entry.second, entry.second->capture_type);
    return result;
  }

  std::vector<NODE_TYPE*> trigger_slots, data_slots, new_trigger, new_data;
  trigger_slots.reserve(128);
  data_slots.reserve(128);
  auto place = [](std::vector<NODE_TYPE*>* slots, std::vector<NODE_TYPE*>* fresh, NODE_TYPE* node,
                  int index) {
    if (index < 0) {
      fresh->push_back(node);
      return;
    }
    if (size_t(index) >= slots->size()) slots->resize(size_t(index) + 1, nullptr);
    if ((*slots)[index])
      fresh->push_back(node);
    else
      (*slots)[index] = node;
  };
  for (NODE_TYPE* node : *m_node_vec) {
    if (!node || !node->is_wire() || node->name.empty()) continue;
    if (tdr_captures_trigger(node->capture_type))
      place(&trigger_slots, &new_trigger, node, node->trigger_wire_index);
    if (tdr_captures_data(node->capture_type))
      place(&data_slots, &new_data, node, node->data_wire_index);
  }
  for (int pass = 0; pass < 4; ++pass) {
    const std::vector<NODE_TYPE*>* list = nullptr;
    TDR_DATA_WIRE_CAPTURE_TYPE side = TDR_WTYPE_TRIGGER_CAPTURE;
    switch (pass) {
      case 0: list = &trigger_slots; break;
      case 1: list = &data_slots; side = TDR_WTYPE_DATA_CAPTURE; break;
      case 2: list = &new_trigger; break;
      case 3: list = &new_data; side = TDR_WTYPE_DATA_CAPTURE; break;
      default: TDR_INTERNAL_ERROR("Missing commit flow"); break;
    }
    if (!list) continue;
    for (NODE_TYPE* node : *list)
      if (node) create(node, side);
  }
  return result;
}

bool TDR_TX_SIGNAL_NODES::commit_signal_set_debug_port(TDR_DATA_SIGNAL_SET* signal_set) {
  TDR_TX_NODE_RECORD(func, "commit_signal_set_debug_port");
  if (!signal_set || !m_change_status) return true;
  if (!m_change_status->m_classic_debug_port_changed &&
      !m_change_status->m_rivlet_debug_port_changed)
    return true;
  for (NODE_TYPE* node : *m_node_vec) {
    if (node->is_group()) continue;
    if (TDR_DATA_SIGNAL_WIRE* wire = signal_set->get_wire(node->name.c_str()))
      show_debug_port(wire, *node);
  }
  m_change_status->m_classic_debug_port_changed = false;
  m_change_status->m_rivlet_debug_port_changed = false;
  return true;
}
