#include "tdr_tx_signal_nodes.h"
#define TDR_SOURCE_FILE "tdr_tx_signal_nodes"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unordered_set>

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

const char* node_name_arg(const NODE_TYPE* node) { return node ? node->name.c_str() : nullptr; }

NODE_TYPE* full_copy(const NODE_TYPE* node) {
  NODE_TYPE* copy = new NODE_TYPE();
  TDR_TX_SIGNAL_NODES::copy_node_properties(node, copy);
  return copy;
}

// "%s (%d)"
std::string suffixed(const std::string& base, int counter) {
  return base + " (" + std::to_string(counter) + ")";
}

}  // namespace

TDR_TX_SIGNAL_NODES::NODE_TYPE::~NODE_TYPE() { delete data_view_node; }

// ---------------------------------------------------------------------------
// Construction

TDR_TX_SIGNAL_NODES::TDR_TX_SIGNAL_NODES(int instance_index, TDR_TX_UNDO_MANAGER* undo_manager,
                                         TDR_TX_CHANGE_STATUS* change_status,
                                         TDR_TX_SCRIPT_RECORDER* recorder, bool is_setup_view)
    : m_instance_index(instance_index),
      m_undo_manager(undo_manager),
      m_change_status(change_status),
      m_recorder(recorder),
      m_is_setup_view(is_setup_view) {
  init();
}

TDR_TX_SIGNAL_NODES::TDR_TX_SIGNAL_NODES(int instance_index, TDR_DATA_SIGNAL_VIEW* view,
                                         TDR_TX_UNDO_MANAGER* undo_manager,
                                         TDR_TX_CHANGE_STATUS* change_status,
                                         TDR_TX_SCRIPT_RECORDER* recorder, bool is_setup_view)
    : m_instance_index(instance_index),
      m_undo_manager(undo_manager),
      m_change_status(change_status),
      m_recorder(recorder),
      m_is_setup_view(is_setup_view) {
  // A null view is reported by init(view) and leaves the list empty.
  if (!view) init();
  init(view);
}

TDR_TX_SIGNAL_NODES::~TDR_TX_SIGNAL_NODES() {
  // Undo actions point at this list and its plug-in settings.
  if (m_undo_manager) m_undo_manager->clear();
  free_nodes();
  delete m_node_vec;
  for (TDR_TX_PLUGIN_MNEMONICS_INFO* info : m_plugin_infos) delete info;
}

void TDR_TX_SIGNAL_NODES::free_nodes() {
  if (!m_node_vec) return;
  for (NODE_TYPE* node : *m_node_vec) delete node;
  m_node_vec->clear();
}

void TDR_TX_SIGNAL_NODES::set_the_other_signal_nodes(TDR_TX_SIGNAL_NODES* other) {
  if (!TDR_CHECK(other != NULL)) return;
  m_tx_the_other_signal_nodes = other;
}

void TDR_TX_SIGNAL_NODES::rebuild_uniq_name_set() {}

void TDR_TX_SIGNAL_NODES::update_uniq_name_set(const std::string&, const std::string&,
                                               const NODE_TYPE&) {}

bool TDR_TX_SIGNAL_NODES::in_undo_redo() const {
  return m_undo_manager && m_undo_manager->is_in_undo_redo();
}

void TDR_TX_SIGNAL_NODES::append_atomic_action(TDR_TX_UNDO_ACTION_ATOMIC* action) {
  if (m_undo_manager)
    m_undo_manager->append_atomic_action(action);
  else
    delete action;
}

TDR_TX_PLUGIN_MNEMONICS_INFO* TDR_TX_SIGNAL_NODES::new_plugin_info() {
  TDR_TX_PLUGIN_MNEMONICS_INFO* info =
      new TDR_TX_PLUGIN_MNEMONICS_INFO(m_change_status, m_undo_manager);
  m_plugin_infos.push_back(info);
  return info;
}

void TDR_TX_SIGNAL_NODES::count_node(const NODE_TYPE* node, int sign) {
  if (!node->is_wire()) return;
  if (tdr_captures_data(node->capture_type)) m_data_wire_count += sign;
  if (tdr_captures_trigger(node->capture_type)) m_trigger_wire_count += sign;
}

void TDR_TX_SIGNAL_NODES::count_capture_change(TDR_DATA_WIRE_CAPTURE_TYPE from,
                                               TDR_DATA_WIRE_CAPTURE_TYPE to) {
  m_data_wire_count += int(tdr_captures_data(to)) - int(tdr_captures_data(from));
  m_trigger_wire_count += int(tdr_captures_trigger(to)) - int(tdr_captures_trigger(from));
}

void TDR_TX_SIGNAL_NODES::set_node_changed_flag(TDR_DATA_WIRE_TAP_MODE tap_mode,
                                                bool probe_only_is_rivlet_only) {
  bool rivlet = probe_only_is_rivlet_only ? tap_mode == TDR_MTYPE_PROBEONLY_TAP
                                          : tap_mode != TDR_MTYPE_CLASSIC_TAP;
  if (rivlet)
    m_change_status->m_rivlet_node_changed = true;
  else
    m_change_status->m_classic_node_changed = true;
}

// ---------------------------------------------------------------------------
// Queries

NODE_TYPE* TDR_TX_SIGNAL_NODES::get_node(int node_index) const {
  if (node_index < 0 || node_index >= get_node_count()) return nullptr;
  return (*m_node_vec)[node_index];
}

const char* TDR_TX_SIGNAL_NODES::get_node_name(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  if (!node) return nullptr;
  if (node->name.empty()) TDR_INTERNAL_ERROR("!node->name.empty()");
  return node->name.c_str();
}

const char* TDR_TX_SIGNAL_NODES::get_node_alias(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node && !node->alias.empty() ? node->alias.c_str() : nullptr;
}

TDR_DATA_SIGNAL_TYPE TDR_TX_SIGNAL_NODES::get_signal_type(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->signal_type : TDR_STYPE_UNKNOWN_SIGNAL;
}

TDR_DATA_WIRE_TAP_MODE TDR_TX_SIGNAL_NODES::get_tap_mode(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->tap_mode : TDR_MTYPE_CLASSIC_TAP;
}

TDR_DATA_WIRE_CAPTURE_TYPE TDR_TX_SIGNAL_NODES::get_capture_type(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->capture_type : TDR_DATA_WIRE_CAPTURE_TYPE(4);
}

bool TDR_TX_SIGNAL_NODES::get_connection_status(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->connection_status : true;
}

TDR_DATA_NODE_DISPLAY_TYPE TDR_TX_SIGNAL_NODES::get_node_display_type(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->display_type : TDR_DTYPE_INVALID_NODE;
}

bool TDR_TX_SIGNAL_NODES::is_debug_port(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->is_debug_port : false;
}

const char* TDR_TX_SIGNAL_NODES::get_debug_port_name(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node && node->is_debug_port ? node->debug_port_name.c_str() : nullptr;
}

int TDR_TX_SIGNAL_NODES::get_data_wire_index(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->data_wire_index : -1;
}

TDR_DATA_GROUP_DISPLAY_TYPE TDR_TX_SIGNAL_NODES::get_node_group_display_type(
    int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->group_display_type : TDR_GTYPE_HEX_DISPLAY;
}

const char* TDR_TX_SIGNAL_NODES::get_node_mnemonics_table_name(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node && !node->mnemonics_table_name.empty() ? node->mnemonics_table_name.c_str()
                                                     : nullptr;
}

TDR_TX_PLUGIN_MNEMONICS_INFO* TDR_TX_SIGNAL_NODES::get_mnemonics_plugin_info(
    int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->group_display_type != TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY) return nullptr;
  TDR_CHECK(node->mnemonics_plugin_info != NULL);
  return node->mnemonics_plugin_info;
}

bool TDR_TX_SIGNAL_NODES::is_node_lsb_to_msb(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->lsb_to_msb : true;
}

bool TDR_TX_SIGNAL_NODES::is_node_signal_inverted(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->signal_inverted : true;
}

bool TDR_TX_SIGNAL_NODES::is_node_invalid(int node_index) const {
  NODE_TYPE* node = get_node(node_index);
  return node ? node->invalid : true;
}

bool TDR_TX_SIGNAL_NODES::set_node_invalid(int node_index, bool invalid) {
  if (NODE_TYPE* node = get_node(node_index)) node->invalid = invalid;
  return true;
}

int TDR_TX_SIGNAL_NODES::find_wire_node(const char* name) const {
  if (!name) return -1;
  for (int k = 0; k < get_node_count(); ++k)
    if ((*m_node_vec)[k]->name == name) return k;
  return -1;
}

int TDR_TX_SIGNAL_NODES::find_group_node(const char* name) const {
  if (!name) return -1;
  for (int k = 0; k < get_node_count(); ++k) {
    const NODE_TYPE* node = (*m_node_vec)[k];
    if (node->is_group() && node->name == name) return k;
  }
  return -1;
}

int TDR_TX_SIGNAL_NODES::find_node_with_name_not_in_range(const char* name, int first_index,
                                                          int last_index) const {
  if (!name) return -1;
  bool all = first_index == -1 && last_index == -1;
  if (!all && !TDR_CHECK(first_index <= last_index)) return -1;
  for (int k = 0; k < get_node_count(); ++k) {
    if (!all && k >= first_index && k <= last_index) continue;
    if ((*m_node_vec)[k]->name == name) return k;
  }
  return -1;
}

int TDR_TX_SIGNAL_NODES::find_parent_group_node(int member_node_index) const {
  if (!TDR_CHECK(member_node_index > 0)) return -1;
  NODE_TYPE* node = get_node(member_node_index);
  if (!node || !node->is_member()) return -1;
  for (int k = member_node_index - 1; k >= 0; --k)
    if ((*m_node_vec)[k]->is_group()) return k;
  return -1;
}

bool TDR_TX_SIGNAL_NODES::is_group_member_expanded(int node_index) const {
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || !node->is_member()) return false;
  for (int k = node_index - 1; k >= 0; --k) {
    const NODE_TYPE* header = (*m_node_vec)[k];
    if (header->is_group()) return header->display_type == TDR_DTYPE_EXPAND_GROUP_NODE;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Property setters

namespace {

// Before/after snapshots of one node change, appended as one SET_NODE action.
class NODE_CHANGE {
 public:
  NODE_CHANGE(TDR_TX_SIGNAL_NODES* list, int node_index)
      : m_list(list), m_index(node_index), m_before(full_copy(list->get_node(node_index))) {
    m_next_data = list->get_next_data_wire_index();
    m_next_trigger = list->get_next_trigger_wire_index();
  }
  ~NODE_CHANGE() { delete m_before; }
  NODE_CHANGE(const NODE_CHANGE&) = delete;
  NODE_CHANGE& operator=(const NODE_CHANGE&) = delete;

  TDR_TX_UNDO_ACTION_SET_NODE* finish() {
    TDR_TX_UNDO_ACTION_SET_NODE* action = new TDR_TX_UNDO_ACTION_SET_NODE(
        m_list, m_index, m_before, full_copy(m_list->get_node(m_index)));
    action->set_next_indices(m_next_data, m_next_trigger, m_list->get_next_data_wire_index(),
                             m_list->get_next_trigger_wire_index());
    m_before = nullptr;
    return action;
  }

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_index;
  NODE_TYPE* m_before;
  int m_next_data;
  int m_next_trigger;
};

#define TDR_GROUP_CHECK(node)                                                            \
  ((node)->is_group() ? true                                                             \
                      : (TDR_INTERNAL_ERROR("node->display_type == TDR_DTYPE_EXPAND_GROUP_NODE " \
                                            "|| node->display_type == "                  \
                                            "TDR_DTYPE_COLLAPSE_GROUP_NODE"),            \
                         false))

}  // namespace

bool TDR_TX_SIGNAL_NODES::set_node_name(int node_index, const char* name) {
  TDR_TX_NODE_RECORD(func, "set_node_name");
  func.append_argument(node_index);
  func.append_argument(name);
  if (!TDR_CHECK(node_index >= 0)) return true;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return true;
  if (name == nullptr || name[0] == 0) {
    TDR_INTERNAL_ERROR("name != NULL && name[0] != NULL");
    return true;
  }
  if (node->name == name) return true;
  NODE_CHANGE change(this, node_index);
  node->name = name;
  set_node_changed_flag(node->tap_mode, false);
  append_atomic_action(change.finish());
  return true;
}

int TDR_TX_SIGNAL_NODES::find_partner_group(int node_index) const {
  if (!TDR_CHECK(m_tx_the_other_signal_nodes != NULL)) return -1;
  const NODE_TYPE* node = get_node(node_index);
  if (!node) return -1;
  return m_tx_the_other_signal_nodes->find_group_node(node->name.c_str());
}

int TDR_TX_SIGNAL_NODES::begin_repeat(int node_index) {
  int partner = find_partner_group(node_index);
  if (partner < 0) return -1;
  m_tx_the_other_signal_nodes->push_node_image(partner);
  m_tx_the_other_signal_nodes->get_node(partner)->linking_type = TDR_LTYPE_NO_LINK;
  return partner;
}

void TDR_TX_SIGNAL_NODES::end_repeat(int partner_index, TDR_DATA_GROUP_LINKING_TYPE linking_type) {
  NODE_TYPE* partner = m_tx_the_other_signal_nodes->get_node(partner_index);
  if (!partner) return;
  partner->linking_type = linking_type;
  m_tx_the_other_signal_nodes->push_node_image(partner_index);
}

// The requested value first, then "%s (%d)" of this group's current value; a
// suffixed candidate must also be taken by this list (asked through its own
// setter with the link cleared, so it does not come back here).
bool TDR_TX_SIGNAL_NODES::negotiate_linked_value(int node_index, const char* value, bool alias,
                                                 std::string* accepted) {
  NODE_TYPE* node = get_node(node_index);
  TDR_DATA_GROUP_LINKING_TYPE linking_type = node->linking_type;
  std::string base = alias ? node->alias : node->name;
  int partner = begin_repeat(node_index);
  if (partner < 0) return false;  // no partner: this list alone
  TDR_TX_SIGNAL_NODES* other = m_tx_the_other_signal_nodes;
  std::string candidate = value ? value : "";
  bool done = false;
  if (alias && !value) {
    other->set_node_alias(partner, nullptr);
    *accepted = "";
    end_repeat(partner, linking_type);
    return true;
  }
  int limit = other->get_node_count() + 1;  // candidates, the requested value included
  for (int counter = 0; counter < limit; ++counter) {
    if (counter > 0) {
      candidate = suffixed(base, counter);
      // The images around the unlinked call keep the link in undo and redo.
      push_node_image(node_index);
      node->linking_type = TDR_LTYPE_NO_LINK;
      bool mine = alias ? set_node_alias(node_index, candidate.c_str())
                        : set_group_node_name(node_index, candidate.c_str());
      node = get_node(node_index);
      node->linking_type = linking_type;
      push_node_image(node_index);
      if (!mine) continue;
    }
    bool theirs = alias ? other->set_node_alias(partner, candidate.c_str())
                        : other->set_group_node_name(partner, candidate.c_str());
    if (theirs) {
      done = true;
      *accepted = candidate;
      break;
    }
  }
  if (!done && (alias ? node->alias : node->name) != base) {
    // Nothing was agreed: this group keeps its value.
    push_node_image(node_index);
    node->linking_type = TDR_LTYPE_NO_LINK;
    if (alias)
      set_node_alias(node_index, base.c_str());
    else
      set_group_node_name(node_index, base.c_str());
    get_node(node_index)->linking_type = linking_type;
    push_node_image(node_index);
  }
  end_repeat(partner, linking_type);
  if (!done) *accepted = base;
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_group_node_name(int node_index, const char* name) {
  TDR_TX_NODE_RECORD(func, "set_group_node_name");
  func.append_argument(node_index);
  func.append_argument(name);
  if (!TDR_CHECK(node_index >= 0)) return true;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return true;
  if (!TDR_GROUP_CHECK(node)) return true;
  if (name == nullptr || gen_strlen(name) == 0) {
    TDR_INTERNAL_ERROR("name != NULL && gen_strlen( name ) > 0");
    return true;
  }
  if (node->name == name) return true;
  std::string value = name;
  if (node->linking_type != TDR_LTYPE_NO_LINK && !in_undo_redo()) {
    std::string accepted;
    if (negotiate_linked_value(node_index, name, false, &accepted)) {
      node = get_node(node_index);
      if (node->name == accepted || accepted != name) return true;  // renamed on the way
      value = accepted;
    }
  }
  NODE_CHANGE change(this, node_index);
  node->name = value;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node) node->data_view_node->set_name(value.c_str());
  append_atomic_action(change.finish());
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_alias(int node_index, const char* alias) {
  TDR_TX_NODE_RECORD(func, "set_node_alias");
  func.append_argument(node_index);
  func.append_argument(alias);
  if (!TDR_CHECK(node_index >= 0)) return true;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return true;
  std::string value = alias ? alias : "";
  if (node->alias == value) return true;
  if (node->is_group() && node->linking_type != TDR_LTYPE_NO_LINK && !in_undo_redo()) {
    std::string accepted;
    if (negotiate_linked_value(node_index, alias, true, &accepted)) {
      node = get_node(node_index);
      if (node->alias == accepted || accepted != value) return true;
      value = accepted;
    }
  }
  NODE_CHANGE change(this, node_index);
  node->alias = value;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node) node->data_view_node->set_alias(value.empty() ? nullptr : value.c_str());
  append_atomic_action(change.finish());
  return true;
}

namespace {

// Only a change into or out of trigger-only capture is carried to the other view.
bool marks_capture_change(TDR_DATA_WIRE_CAPTURE_TYPE from, TDR_DATA_WIRE_CAPTURE_TYPE to) {
  return from == TDR_WTYPE_TRIGGER_CAPTURE || to == TDR_WTYPE_TRIGGER_CAPTURE;
}

// A bus's radix in its view element. A table name on the bus would hide any
// other radix in the file.
void show_bus_display_type(TDR_DATA_SIGNAL_VIEW_NODE* view_node, TDR_DATA_GROUP_DISPLAY_TYPE from,
                           TDR_DATA_GROUP_DISPLAY_TYPE to, const std::string& table) {
  if (to == TDR_GTYPE_MNEMONICS_DISPLAY && !table.empty())
    view_node->set_mnemonics_table(table.c_str());
  else if (from == TDR_GTYPE_MNEMONICS_DISPLAY && view_node->get_mnemonics_table())
    view_node->set_mnemonics_table("");
  view_node->set_bus_display_type(to);
}

// What a restore changes of a node, written into its view element as the
// setters write it.
void show_restored_properties(TDR_DATA_SIGNAL_VIEW_NODE* view_node,
                              const TDR_TX_SIGNAL_NODES::NODE_TYPE& from,
                              const TDR_TX_SIGNAL_NODES::NODE_TYPE& to) {
  if (from.is_group() && from.name != to.name) view_node->set_name(to.name.c_str());
  if (from.alias != to.alias) view_node->set_alias(to.alias.empty() ? nullptr : to.alias.c_str());
  if (from.signal_inverted != to.signal_inverted) view_node->set_signal_inverted(to.signal_inverted);
  if (!from.is_group() || !to.is_group()) return;
  if (from.group_display_type != to.group_display_type)
    show_bus_display_type(view_node, from.group_display_type, to.group_display_type,
                          to.mnemonics_table_name);
  if (from.mnemonics_table_name != to.mnemonics_table_name)
    view_node->set_mnemonics_table(to.mnemonics_table_name.c_str());
  if (from.lsb_to_msb != to.lsb_to_msb) view_node->set_lsb_to_msb(to.lsb_to_msb);
  if (from.display_type != to.display_type)
    view_node->set_bus_display_state(to.display_type == TDR_DTYPE_EXPAND_GROUP_NODE);
}

}  // namespace

bool TDR_TX_SIGNAL_NODES::set_node_capture_type(int node_index,
                                                TDR_DATA_WIRE_CAPTURE_TYPE capture_type) {
  TDR_TX_NODE_RECORD(func, "set_node_capture_type");
  func.append_argument(node_index);
  func.append_argument(capture_type);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return false;
  if (int(capture_type) == 4)
    capture_type = node->capture_type == TDR_WTYPE_DATA_CAPTURE ? TDR_WTYPE_TRIGGER_CAPTURE
                                                                : TDR_WTYPE_DATA_CAPTURE;
  if (node->capture_type == capture_type) return false;
  NODE_CHANGE change(this, node_index);
  TDR_DATA_WIRE_CAPTURE_TYPE old_type = node->capture_type;
  m_capture_type_changed = true;
  set_node_changed_flag(node->tap_mode, false);
  // Once set, the mark stays until the carry-over to the other view clears it.
  if (marks_capture_change(old_type, capture_type)) node->capture_type_changed = true;
  // Headers count in neither total (a group copy does not carry the type).
  if (node->is_wire()) count_capture_change(old_type, capture_type);
  node->capture_type = capture_type;
  if (tdr_captures_trigger(capture_type) && node->trigger_wire_index == -1)
    node->trigger_wire_index = m_next_trigger_wire_index++;
  if (tdr_captures_data(capture_type) && node->data_wire_index == -1)
    node->data_wire_index = m_next_data_wire_index++;
  append_atomic_action(change.finish());
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_tap_mode(int node_index, TDR_DATA_WIRE_TAP_MODE tap_mode) {
  TDR_TX_NODE_RECORD(func, "set_node_tap_mode");
  func.append_argument(node_index);
  func.append_argument(tap_mode);
  if (!TDR_CHECK(node_index >= 0)) return false;
  if (!TDR_CHECK(tap_mode != TDR_MTYPE_PROBEONLY_TAP)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->tap_mode == tap_mode) return false;
  NODE_CHANGE change(this, node_index);
  node->tap_mode = tap_mode;
  m_change_status->m_classic_node_changed = true;
  append_atomic_action(change.finish());
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_connection_status(int node_index, bool connected) {
  TDR_TX_NODE_RECORD(func, "set_node_connection_status");
  func.append_argument(node_index);
  func.append_argument(connected);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->connection_status == connected) return false;
  NODE_CHANGE change(this, node_index);
  node->connection_status = connected;
  m_change_status->m_classic_node_changed = true;
  append_atomic_action(change.finish());
  return true;
}

// A port read from a file without a name stays as the file has it: a wire
// takes no port without a name.
void TDR_TX_SIGNAL_NODES::show_debug_port(TDR_DATA_SIGNAL_WIRE* wire, const NODE_TYPE& node) {
  if (!node.is_debug_port)
    wire->set_debug_port(false, nullptr);
  else if (!node.debug_port_name.empty())
    wire->set_debug_port(true, node.debug_port_name.c_str());
}

void TDR_TX_SIGNAL_NODES::gen_debug_port_name(std::string* port_name, int node_index) const {
  TDR_TX_NODE_RECORD(func, "gen_debug_port_name");
  func.append_argument(node_index);
  if (!TDR_CHECK(port_name != NULL)) return;
  char text[64];
  snprintf(text, sizeof text, "auto_tvf_debug_out_%d_%d", m_instance_index, node_index);
  *port_name = text;
}

bool TDR_TX_SIGNAL_NODES::set_debug_out(int node_index, bool enable, const char* port_name) {
  TDR_TX_NODE_RECORD(func, "set_debug_out");
  func.append_argument(node_index);
  func.append_argument(enable);
  func.append_argument(port_name);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->is_group()) return false;
  bool unchanged = node->is_debug_port == enable &&
                   (port_name ? node->debug_port_name == port_name : node->debug_port_name.empty());
  NODE_CHANGE* change = nullptr;
  if (!unchanged) {
    change = new NODE_CHANGE(this, node_index);
    node->is_debug_port = enable;
    if (enable) {
      if (port_name) node->debug_port_name = port_name;
      if (node->debug_port_name.empty()) gen_debug_port_name(&node->debug_port_name, node_index);
    }
    if (node->is_debug_port && !node->debug_port_name.empty()) {
      std::unordered_set<std::string> taken;
      for (int k = 0; k < get_node_count(); ++k) {
        const NODE_TYPE* other = (*m_node_vec)[k];
        if (k != node_index && other->is_debug_port) taken.insert(other->debug_port_name);
      }
      std::string base = node->debug_port_name;
      for (int counter = 1; taken.count(node->debug_port_name); ++counter)
        node->debug_port_name = base + "_" + std::to_string(counter);
    }
    bool rivlet = node->tap_mode != TDR_MTYPE_CLASSIC_TAP;
    if (rivlet)
      m_change_status->m_rivlet_debug_port_changed = true;
    else
      m_change_status->m_classic_debug_port_changed = true;
  }
  if (node->data_view_node) {
    if (TDR_DATA_SIGNAL_WIRE* wire = node->data_view_node->get_data_wire(false))
      show_debug_port(wire, *node);
  }
  if (!change) return false;
  append_atomic_action(change->finish());
  delete change;
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_group_display_type(int node_index,
                                                      TDR_DATA_GROUP_DISPLAY_TYPE type) {
  TDR_TX_NODE_RECORD(func, "set_node_group_display_type");
  func.append_argument(node_index);
  func.append_argument(type);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || !TDR_GROUP_CHECK(node)) return false;
  if (node->group_display_type == type) return false;
  NODE_CHANGE change(this, node_index);
  if (type == TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY && !node->mnemonics_plugin_info) {
    node->mnemonics_plugin_info = new_plugin_info();
    m_view_rebuild_needed = true;
  }
  TDR_DATA_GROUP_DISPLAY_TYPE old_type = node->group_display_type;
  node->group_display_type = type;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node)
    show_bus_display_type(node->data_view_node, old_type, type, node->mnemonics_table_name);
  append_atomic_action(change.finish());
  if ((node->linking_type & TDR_LTYPE_RADIX_LINK) && type != TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY &&
      !in_undo_redo()) {
    TDR_DATA_GROUP_LINKING_TYPE linking_type = node->linking_type;
    int partner = begin_repeat(node_index);
    if (partner >= 0) {
      m_tx_the_other_signal_nodes->set_node_group_display_type(partner, type);
      end_repeat(partner, linking_type);
    }
  }
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_mnemonics_table_name(int node_index, const char* name) {
  TDR_TX_NODE_RECORD(func, "set_node_mnemonics_table_name");
  func.append_argument(node_index);
  func.append_argument(name);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || !TDR_GROUP_CHECK(node)) return false;
  std::string value = name ? name : "";
  if (node->mnemonics_table_name == value) return false;
  NODE_CHANGE change(this, node_index);
  node->mnemonics_table_name = value;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node) node->data_view_node->set_mnemonics_table(value.c_str());
  append_atomic_action(change.finish());
  if ((node->linking_type & TDR_LTYPE_RADIX_LINK) && !in_undo_redo()) {
    TDR_DATA_GROUP_LINKING_TYPE linking_type = node->linking_type;
    int partner = begin_repeat(node_index);
    if (partner >= 0) {
      m_tx_the_other_signal_nodes->set_node_mnemonics_table_name(partner, value.c_str());
      end_repeat(partner, linking_type);
    }
  }
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_lsb_to_msb(int node_index, bool lsb_to_msb) {
  TDR_TX_NODE_RECORD(func, "set_node_lsb_to_msb");
  func.append_argument(node_index);
  func.append_argument(lsb_to_msb);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || !TDR_GROUP_CHECK(node)) return false;
  if (node->lsb_to_msb == lsb_to_msb) return false;
  NODE_CHANGE change(this, node_index);
  node->lsb_to_msb = lsb_to_msb;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node) node->data_view_node->set_lsb_to_msb(lsb_to_msb);
  append_atomic_action(change.finish());
  if ((node->linking_type & TDR_LTYPE_BIT_ORDER_LINK) && !in_undo_redo()) {
    TDR_DATA_GROUP_LINKING_TYPE linking_type = node->linking_type;
    int partner = begin_repeat(node_index);
    if (partner >= 0) {
      m_tx_the_other_signal_nodes->set_node_lsb_to_msb(partner, lsb_to_msb);
      end_repeat(partner, linking_type);
    }
  }
  return true;
}

bool TDR_TX_SIGNAL_NODES::set_node_signal_inverted(int node_index, bool inverted) {
  TDR_TX_NODE_RECORD(func, "set_node_signal_inverted");
  func.append_argument(node_index);
  func.append_argument(inverted);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->signal_inverted == inverted) return false;
  NODE_CHANGE change(this, node_index);
  node->signal_inverted = inverted;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node) node->data_view_node->set_signal_inverted(inverted);
  append_atomic_action(change.finish());
  return true;
}

bool TDR_TX_SIGNAL_NODES::toggle_node(int node_index) {
  TDR_TX_NODE_RECORD(func, "toggle_node");
  func.append_argument(node_index);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || !TDR_GROUP_CHECK(node)) return false;
  NODE_CHANGE change(this, node_index);
  bool expand = node->display_type == TDR_DTYPE_COLLAPSE_GROUP_NODE;
  node->display_type = expand ? TDR_DTYPE_EXPAND_GROUP_NODE : TDR_DTYPE_COLLAPSE_GROUP_NODE;
  m_change_status->m_presentation_changed = true;
  if (node->data_view_node) node->data_view_node->set_bus_display_state(expand);
  append_atomic_action(change.finish());
  return true;
}

// ---------------------------------------------------------------------------
// Node images

void TDR_TX_SIGNAL_NODES::copy_node_properties(const NODE_TYPE* source, NODE_TYPE* target) {
  target->signal_type = source->signal_type;
  target->capture_type = source->capture_type;
  target->tap_mode = source->tap_mode;
  target->connection_status = source->connection_status;
  target->display_type = source->display_type;
  target->name = source->name;
  target->alias = source->alias;
  target->lsb_to_msb = source->lsb_to_msb;
  target->signal_inverted = source->signal_inverted;
  target->group_display_type = source->group_display_type;
  target->linking_type = source->linking_type;
  target->mnemonics_table_name = source->mnemonics_table_name;
  target->mnemonics_plugin_info = source->mnemonics_plugin_info;
  target->is_debug_port = source->is_debug_port;
  target->debug_port_name = source->debug_port_name;
  target->data_wire_index = source->data_wire_index;
  target->trigger_wire_index = source->trigger_wire_index;
  target->invalid = source->invalid;
}

void TDR_TX_SIGNAL_NODES::copy_bus_node_properties(const NODE_TYPE* source, NODE_TYPE* target) {
  target->signal_type = source->signal_type;
  target->display_type = source->display_type;
  target->linking_type = source->linking_type;
  target->lsb_to_msb = source->lsb_to_msb;
  target->signal_inverted = source->signal_inverted;
  target->group_display_type = source->group_display_type;
  target->mnemonics_plugin_info = source->mnemonics_plugin_info;
  target->name = source->name;
  target->alias = source->alias;
  target->mnemonics_table_name = source->mnemonics_table_name;
}

void TDR_TX_SIGNAL_NODES::push_node_image(int node_index) {
  TDR_TX_NODE_RECORD(func, "push_node_image");
  func.append_argument(node_index);
  if (!TDR_CHECK(node_index >= 0)) return;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return;
  TDR_TX_UNDO_ACTION_SET_NODE* action =
      new TDR_TX_UNDO_ACTION_SET_NODE(this, node_index, full_copy(node), full_copy(node));
  action->set_next_indices(m_next_data_wire_index, m_next_trigger_wire_index,
                           m_next_data_wire_index, m_next_trigger_wire_index);
  append_atomic_action(action);
}

bool TDR_TX_SIGNAL_NODES::restore_node_properties(int node_index, const NODE_TYPE* node) {
  TDR_TX_NODE_RECORD(func, "restore_node_properties");
  func.append_argument(node_index);
  func.append_argument(node_name_arg(node));
  if (!TDR_CHECK(node != NULL)) return false;
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* target = get_node(node_index);
  if (!target) return false;
  // Undoing and redoing renames and aliases happens all the time in an
  // editor: a rebuild over every node each time would grow with the list.
  if (target->name != node->name || target->alias != node->alias)
    update_uniq_name_set(target->name, target->alias, *node);
  TDR_DATA_WIRE_CAPTURE_TYPE old_type = target->capture_type;
  // A view the next commit does not rebuild (the set it replaces, kept for
  // its logs) must show what the edits wrote into it.
  if (target->data_view_node) {
    show_restored_properties(target->data_view_node, *target, *node);
    // The setter writes the port into the wire at once; so do undo and redo,
    // or a port left with a renamed node would differ between the two roads.
    bool port_differs = target->is_debug_port != node->is_debug_port ||
                        target->debug_port_name != node->debug_port_name;
    if (port_differs && target->is_wire())
      if (TDR_DATA_SIGNAL_WIRE* wire = target->data_view_node->get_data_wire(false))
        show_debug_port(wire, *node);
  }
  copy_node_properties(node, target);
  if (old_type != node->capture_type) {
    m_capture_type_changed = true;
    // Marked as the setter marks it: a redone change carries over as the
    // change itself did (a header made data-only is not carried as a net).
    if (marks_capture_change(old_type, node->capture_type)) target->capture_type_changed = true;
    if (target->is_wire()) count_capture_change(old_type, node->capture_type);
  }
  // Otherwise a pending mark stays: restoring another field of the node must
  // not cancel the carry-over of a capture change not yet committed.
  m_view_rebuild_needed = true;
  return true;
}

// ---------------------------------------------------------------------------
// Appending and deleting

bool TDR_TX_SIGNAL_NODES::append_node(const char* name, TDR_DATA_SIGNAL_TYPE signal_type,
                                      TDR_DATA_WIRE_TAP_MODE tap_mode) {
  TDR_TX_NODE_RECORD(func, "append_node");
  func.append_argument(name);
  func.append_argument(signal_type);
  func.append_argument(tap_mode);
  if (!TDR_CHECK(name != NULL)) return false;
  NODE_TYPE* node = new NODE_TYPE();
  node->name = name;
  node->signal_type = signal_type;
  node->tap_mode = tap_mode;
  node->display_type = TDR_DTYPE_STANDALONE_NODE;
  m_append_next_data_before = m_next_data_wire_index;
  m_append_next_trigger_before = m_next_trigger_wire_index;
  node->data_wire_index = m_next_data_wire_index++;
  node->trigger_wire_index = m_next_trigger_wire_index++;
  bool appended = append_node(node, false);
  set_node_changed_flag(tap_mode, true);
  return appended;
}

bool TDR_TX_SIGNAL_NODES::append_node(NODE_TYPE* node, bool clone) {
  TDR_TX_NODE_RECORD(func, "append_node");
  func.append_argument(node_name_arg(node));
  func.append_argument(clone);
  int data_before = m_append_next_data_before >= 0 ? m_append_next_data_before
                                                   : m_next_data_wire_index;
  int trigger_before = m_append_next_trigger_before >= 0 ? m_append_next_trigger_before
                                                         : m_next_trigger_wire_index;
  m_append_next_data_before = m_append_next_trigger_before = -1;
  if (!TDR_CHECK(node != NULL)) return false;
  NODE_TYPE* added = clone ? full_copy(node) : node;
  m_node_vec->push_back(added);
  count_node(added, +1);
  m_view_rebuild_needed = true;
  append_atomic_action(new TDR_TX_UNDO_ACTION_APPEND(this, get_node_count() - 1, full_copy(added),
                                                     data_before, trigger_before,
                                                     m_next_data_wire_index,
                                                     m_next_trigger_wire_index));
  return true;
}

bool TDR_TX_SIGNAL_NODES::append_node_uniq_name(NODE_TYPE* node) {
  TDR_TX_NODE_RECORD(func, "append_node_uniq_name");
  func.append_argument(node_name_arg(node));
  if (!TDR_CHECK(node != NULL)) return false;
  if (find_wire_node(node->name.c_str()) >= 0) return false;
  NODE_TYPE* copy = full_copy(node);
  copy->is_debug_port = false;
  copy->display_type = TDR_DTYPE_STANDALONE_NODE;
  return append_node(copy, false);
}

int TDR_TX_SIGNAL_NODES::delete_node(int first_index, int last_index) {
  TDR_TX_NODE_RECORD(func, "delete_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  return delete_range(first_index, last_index);
}

int TDR_TX_SIGNAL_NODES::delete_node_base(int first_index, int last_index) {
  TDR_TX_NODE_RECORD(func, "delete_node_base");
  func.append_argument(first_index);
  func.append_argument(last_index);
  return TDR_TX_SIGNAL_NODES::delete_node(first_index, last_index);
}

int TDR_TX_SIGNAL_NODES::delete_node_keeping_view(int first_index, int last_index) {
  TDR_TX_NODE_RECORD(func, "delete_node_keeping_view");
  func.append_argument(first_index);
  func.append_argument(last_index);
  return delete_range(first_index, last_index, true);
}

namespace {

// Index of the last member of the group whose header is at `header`; the
// header itself for a group without members; -1 when the members run out
// without a last member.
int group_end(const std::vector<NODE_TYPE*>& nodes, int header) {
  int n = int(nodes.size());
  int k = header + 1;
  if (k >= n || !nodes[k]->is_member()) return header;
  for (; k < n && nodes[k]->is_member(); ++k)
    if (nodes[k]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE) return k;
  return -1;
}

int group_header(const std::vector<NODE_TYPE*>& nodes, int member) {
  for (int k = member - 1; k >= 0; --k)
    if (!nodes[k]->is_member()) return nodes[k]->is_group() ? k : -1;
  return -1;
}

}  // namespace

int TDR_TX_SIGNAL_NODES::delete_range(int first_index, int last_index, bool keep_view) {
  if (!TDR_CHECK(first_index >= 0 && last_index >= 0)) return 0;
  int n = get_node_count();
  if (first_index >= n || last_index >= n) return 0;
  if (first_index > last_index) std::swap(first_index, last_index);
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;

  // Groups stay whole: a range from a group's first member to its last takes
  // the header along; a header in the range takes all its members.
  if (nodes[first_index]->is_member()) {
    int header = group_header(nodes, first_index);
    if (header >= 0 && header == first_index - 1) {
      int end = group_end(nodes, header);
      if (end >= 0 && end <= last_index) first_index = header;
    }
  }
  for (int k = first_index; k <= last_index;) {
    NODE_TYPE* node = nodes[k];
    if (!node->is_group()) {
      ++k;
      continue;
    }
    int end = group_end(nodes, k);
    if (end < 0) {
      if (k == first_index) {
        node->missing_wire = false;
        ++first_index;
        ++k;
        continue;
      }
      TDR_INTERNAL_ERROR("Group member iteration error");
      return 0;
    }
    if (end > last_index) last_index = end;
    k = end + 1;
  }
  if (first_index > last_index) return 0;

  std::vector<NODE_TYPE*>* copies = new std::vector<NODE_TYPE*>();
  copies->reserve(size_t(last_index - first_index + 1));
  bool all_rivlet = true;
  for (int k = first_index; k <= last_index; ++k) {
    copies->push_back(full_copy(nodes[k]));
    // A capture change not yet carried over to the other list comes back
    // with the node on undo.
    copies->back()->capture_type_changed = nodes[k]->capture_type_changed;
    if (nodes[k]->tap_mode == TDR_MTYPE_CLASSIC_TAP) all_rivlet = false;
  }

  // A range that cuts a group's tail makes the member before it the last one.
  int new_last_member = -1;
  if (nodes[first_index]->is_member() && first_index > 0 && !nodes[first_index - 1]->is_group()) {
    for (int k = first_index; k <= last_index && nodes[k]->is_member(); ++k) {
      if (nodes[k]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE) {
        nodes[first_index - 1]->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
        new_last_member = first_index - 1;
        break;
      }
    }
  }

  for (int k = first_index; k <= last_index; ++k) {
    NODE_TYPE* node = nodes[k];
    count_node(node, -1);
    if (node->data_view_node && !keep_view) node->data_view_node->remove();
    delete node;
  }
  nodes.erase(nodes.begin() + first_index, nodes.begin() + last_index + 1);
  int deleted = last_index - first_index + 1;
  set_node_changed_flag(all_rivlet ? TDR_MTYPE_ADVANCED_TAP : TDR_MTYPE_CLASSIC_TAP, false);
  append_atomic_action(
      new TDR_TX_UNDO_ACTION_DELETE(this, first_index, last_index, copies, new_last_member,
                                    keep_view));
  return deleted;
}

bool TDR_TX_SIGNAL_NODES::delete_node(const char* name) {
  TDR_TX_NODE_RECORD(func, "delete_node");
  func.append_argument(name);
  if (!TDR_CHECK(name != NULL)) return false;
  // Runs of matching nodes, deleted from the last so earlier indices hold.
  std::vector<std::pair<int, int>> runs;
  for (int k = 0; k < get_node_count(); ++k) {
    NODE_TYPE* node = (*m_node_vec)[k];
    if (node->is_group() || (node->name != name && node->alias != name)) continue;
    // The view element stays: the other view may still show the signal.
    delete node->data_view_node;
    node->data_view_node = nullptr;
    if (!runs.empty() && runs.back().second == k - 1)
      runs.back().second = k;
    else
      runs.push_back(std::make_pair(k, k));
  }
  bool deleted = false;
  for (auto it = runs.rbegin(); it != runs.rend(); ++it)
    if (delete_node_base(it->first, it->second) > 0) deleted = true;
  return deleted;
}

bool TDR_TX_SIGNAL_NODES::insert_deleted_before_node(int node_index,
                                                     const std::vector<NODE_TYPE*>* nodes) {
  TDR_TX_NODE_RECORD(func, "insert_deleted_before_node");
  func.append_argument(node_index);
  if (!TDR_CHECK(nodes != NULL)) return false;
  if (!TDR_CHECK(!nodes->empty())) return false;
  if (!TDR_CHECK(node_index >= 0)) return false;
  if (node_index > get_node_count()) return false;
  std::vector<NODE_TYPE*> copies;
  copies.reserve(nodes->size());
  for (const NODE_TYPE* node : *nodes) {
    copies.push_back(full_copy(node));
    count_node(copies.back(), +1);
    if (node->capture_type_changed)
      copies.back()->capture_type_changed = m_capture_type_changed = true;
  }
  m_node_vec->insert(m_node_vec->begin() + node_index, copies.begin(), copies.end());
  m_view_rebuild_needed = true;
  return true;
}

// ---------------------------------------------------------------------------
// Grouping

namespace {

// The prefix and number of a member name: the text before the last "[" (or,
// without one, the last "_") and the decimal number after it.
bool split_indexed_name(const std::string& name, std::string* prefix, int* number) {
  size_t pos = name.rfind('[');
  if (pos == std::string::npos) pos = name.rfind('_');
  if (pos == std::string::npos || pos + 1 >= name.size() ||
      !isdigit(static_cast<unsigned char>(name[pos + 1])))
    return false;
  long long value = 0;
  for (size_t k = pos + 1; k < name.size() && isdigit(static_cast<unsigned char>(name[k])); ++k) {
    value = value * 10 + (name[k] - '0');
    if (value > INT_MAX) return false;
  }
  *prefix = name.substr(0, pos);
  *number = int(value);
  return true;
}

}  // namespace

bool TDR_TX_SIGNAL_NODES::group_node(int first_index, int last_index, NODE_TYPE* template_node) {
  TDR_TX_NODE_RECORD(func, "group_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  func.append_argument(node_name_arg(template_node));
  if (!TDR_CHECK(first_index >= 0 && last_index >= 0)) return false;
  int n = get_node_count();
  if (first_index >= n || last_index >= n) return false;
  if (first_index > last_index) std::swap(first_index, last_index);
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  for (int k = first_index; k <= last_index; ++k)
    if (nodes[k]->display_type != TDR_DTYPE_STANDALONE_NODE) return false;

  NODE_TYPE* group = new NODE_TYPE();
  if (template_node) {
    copy_bus_node_properties(template_node, group);
    m_view_rebuild_needed = true;
  } else {
    std::string prefix;
    bool derived = true;
    int smallest = INT_MAX, largest = 0, new_smallest = 0, new_largest = 0;
    for (int k = first_index; k <= last_index && derived; ++k) {
      std::string member_prefix;
      int number = 0;
      if (!split_indexed_name(nodes[k]->name, &member_prefix, &number)) {
        derived = false;
        break;
      }
      if (k == first_index) {
        prefix = member_prefix;
        smallest = largest = number;
        ++new_smallest;
        ++new_largest;
        continue;
      }
      if (member_prefix != prefix) {
        derived = false;
        break;
      }
      if (number < smallest) {
        smallest = number;
        ++new_smallest;
      }
      if (number > largest) {
        largest = number;
        ++new_largest;
      }
    }
    if (derived) {
      bool ascending = new_largest > new_smallest;
      group->name = prefix + "[" + std::to_string(ascending ? smallest : largest) + ".." +
                    std::to_string(ascending ? largest : smallest) + "]";
      group->lsb_to_msb = ascending;
    } else {
      group->name = "Group";
      group->lsb_to_msb = true;
    }
    group->display_type = TDR_DTYPE_COLLAPSE_GROUP_NODE;
    group->signal_type = nodes[last_index]->signal_type;
  }

  int first_with_view = -1;
  for (int k = first_index; k <= last_index && first_with_view < 0; ++k)
    if (nodes[k]->data_view_node) first_with_view = k;
  if (m_data_view && first_with_view >= 0) {
    TDR_DATA_SIGNAL_VIEW_NODE bus = m_data_view->create_bus_node(group->name.c_str());
    bus.set_bus_display_state(group->display_type == TDR_DTYPE_EXPAND_GROUP_NODE);
    bus.set_signal_type(group->signal_type);
    bus.set_lsb_to_msb(group->lsb_to_msb);
    bool ret = nodes[first_with_view]->data_view_node->insert_before(bus);
    TDR_CHECK(ret);
    for (int k = first_with_view; k <= last_index; ++k) {
      if (!nodes[k]->data_view_node) continue;
      ret = bus.append_child(*nodes[k]->data_view_node);
      TDR_CHECK(ret);
    }
    group->data_view_node = new TDR_DATA_SIGNAL_VIEW_NODE(bus);
  }

  for (int k = first_index; k <= last_index; ++k)
    nodes[k]->display_type =
        k == last_index ? TDR_DTYPE_LAST_GROUP_MEMBER_NODE : TDR_DTYPE_GROUP_MEMBER_NODE;
  nodes.insert(nodes.begin() + first_index, group);
  m_change_status->m_presentation_changed = true;
  NODE_TYPE* copy = new NODE_TYPE();
  copy_bus_node_properties(group, copy);
  append_atomic_action(new TDR_TX_UNDO_ACTION_GROUP(this, first_index, last_index, copy));
  return true;
}

bool TDR_TX_SIGNAL_NODES::ungroup_node(int group_node_index) {
  TDR_TX_NODE_RECORD(func, "ungroup_node");
  func.append_argument(group_node_index);
  if (!TDR_CHECK(group_node_index >= 0)) return false;
  NODE_TYPE* group = get_node(group_node_index);
  if (!group || !group->is_group()) return false;

  if (group->linking_type != TDR_LTYPE_NO_LINK && !in_undo_redo()) {
    int partner = begin_repeat(group_node_index);
    if (partner >= 0) m_tx_the_other_signal_nodes->ungroup_node(partner);
  }

  std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  int n = get_node_count();
  if (group_node_index + 1 >= n || !nodes[group_node_index + 1]->is_member()) {
    // A group without members goes as a whole; still undoable.
    std::vector<NODE_TYPE*>* copies = new std::vector<NODE_TYPE*>(1, full_copy(group));
    if (group->data_view_node) group->data_view_node->remove();
    delete group;
    nodes.erase(nodes.begin() + group_node_index);
    m_change_status->m_presentation_changed = true;
    append_atomic_action(
        new TDR_TX_UNDO_ACTION_DELETE(this, group_node_index, group_node_index, copies, -1));
    return false;
  }

  NODE_TYPE* copy = new NODE_TYPE();
  copy_bus_node_properties(group, copy);
  int last_member = -1;
  for (int k = group_node_index + 1; k < n && nodes[k]->is_member(); ++k) {
    NODE_TYPE* member = nodes[k];
    bool was_last = member->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
    member->display_type = TDR_DTYPE_STANDALONE_NODE;
    if (member->data_view_node) {
      if (group->data_view_node) {
        bool ret = group->data_view_node->insert_before(*member->data_view_node);
        TDR_CHECK(ret);
      } else {
        m_view_rebuild_needed = true;
      }
    }
    if (was_last) {
      last_member = k - 1;  // index once the header is gone
      break;
    }
  }
  if (group->data_view_node) group->data_view_node->remove();
  delete group;
  nodes.erase(nodes.begin() + group_node_index);
  m_change_status->m_presentation_changed = true;
  if (last_member < 0) {
    delete copy;
    return false;
  }
  append_atomic_action(
      new TDR_TX_UNDO_ACTION_UNGROUP(this, group_node_index, last_member, copy));
  return true;
}

bool TDR_TX_SIGNAL_NODES::link_group_node(int node_index,
                                          TDR_DATA_GROUP_LINKING_TYPE linking_type) {
  TDR_TX_NODE_RECORD(func, "link_group_node");
  func.append_argument(node_index);
  func.append_argument(linking_type);
  if (!TDR_CHECK(m_tx_the_other_signal_nodes != NULL)) return false;
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* group = get_node(node_index);
  if (linking_type == TDR_LTYPE_NO_LINK || !group || !group->is_group()) return false;
  TDR_TX_SIGNAL_NODES* other = m_tx_the_other_signal_nodes;
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;

  // Namesakes are signals: a group of the same name over there is no match.
  auto find_namesake = [other](const std::string& name) {
    for (int k = 0; k < other->get_node_count(); ++k) {
      const NODE_TYPE* node = other->get_node(k);
      if (node->is_wire() && node->name == name) return k;
    }
    return -1;
  };
  std::vector<std::string> names;
  for (int k = node_index + 1; k < get_node_count() && nodes[k]->is_member(); ++k) {
    names.push_back(nodes[k]->name);
    if (nodes[k]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE) break;
  }
  // Namesakes over there that sit in a group are freed first.
  std::vector<std::string> found_names;
  for (const std::string& name : names) {
    int k = find_namesake(name);
    if (k < 0) continue;
    found_names.push_back(name);
    if (other->get_node(k)->is_member()) {
      int header = other->find_parent_group_node(k);
      if (header >= 0) {
        other->push_node_image(header);
        other->get_node(header)->linking_type = TDR_LTYPE_NO_LINK;
        other->ungroup_node(header);
      }
    }
  }
  if (found_names.empty()) return false;

  int start = find_namesake(found_names[0]);
  int count = 1;
  for (size_t m = 1; m < found_names.size(); ++m) {
    int k = find_namesake(found_names[m]);
    int position = start + count;
    if (k < 0) continue;
    if (k != position) {
      int rc_index = other->move_before_node(k, k, position, false);
      TDR_CHECK(rc_index >= 0);
      if (rc_index < 0) continue;
      if (k < start) --start;
    }
    ++count;
  }
  if (!other->group_node(start, start + count - 1, nullptr)) return false;

  // The new group takes this group's name, suffixed when that is taken there.
  std::string accepted;
  int limit = other->get_node_count() + 1;
  bool named = false;
  for (int counter = 0; counter < limit && !named; ++counter) {
    accepted = counter == 0 ? group->name : suffixed(group->name, counter);
    NODE_TYPE* new_group = other->get_node(start);
    if (new_group->name == accepted) {
      named = true;
      break;
    }
    other->set_group_node_name(start, accepted.c_str());
    named = other->get_node(start)->name == accepted;
  }
  if (named && accepted != group->name) {
    TDR_DATA_GROUP_LINKING_TYPE own_link = group->linking_type;
    push_node_image(node_index);  // undo gives the link back with the name
    group->linking_type = TDR_LTYPE_NO_LINK;
    set_group_node_name(node_index, accepted.c_str());
    group = get_node(node_index);
    group->linking_type = own_link;
    if (group->name != accepted) TDR_INTERNAL_ERROR("Failed to rename the linked group");
  }
  if (linking_type & TDR_LTYPE_RADIX_LINK) {
    other->set_node_group_display_type(start, group->group_display_type);
    other->set_node_mnemonics_table_name(start, group->mnemonics_table_name.c_str());
  }
  if (linking_type & TDR_LTYPE_BIT_ORDER_LINK) other->set_node_lsb_to_msb(start, group->lsb_to_msb);

  push_node_image(node_index);
  group->linking_type = linking_type;
  other->get_node(start)->linking_type = linking_type;
  push_node_image(node_index);
  other->push_node_image(start);
  m_view_rebuild_needed = true;
  other->m_view_rebuild_needed = true;
  return true;
}

// ---------------------------------------------------------------------------
// Moving and copying

// Blocks keep groups valid: a header goes with all its members; members whose
// header stays behind go only with members of the same group.
bool TDR_TX_SIGNAL_NODES::check_block(int first_index, int last_index, int node_index,
                                      bool into_group, bool copying) const {
  const std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  int n = get_node_count();
  bool loose = nodes[first_index]->is_member();
  bool has_header = false;
  for (int k = first_index; k <= last_index; ++k) {
    const NODE_TYPE* node = nodes[k];
    if (loose) {
      if (!node->is_member()) return false;
      if (node->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE && k != last_index) return false;
      continue;
    }
    if (node->is_member()) return false;
    if (node->is_group()) {
      has_header = true;
      int end = group_end(nodes, k);
      if (end < 0 || end > last_index) return false;
      k = end;
    }
  }
  if (into_group) {
    if (has_header) return false;
    int before = node_index - 1;
    if (!copying && before >= first_index && before <= last_index) before = first_index - 1;
    if (before < 0) return false;
    if (!nodes[before]->is_group() && !nodes[before]->is_member()) return false;
  } else if (node_index < n && nodes[node_index]->is_member()) {
    return false;
  }
  return true;
}

// Places the view node of node k where the list order says.
static bool place_view_node(TDR_DATA_SIGNAL_VIEW* view, std::vector<NODE_TYPE*>& nodes, int k) {
  NODE_TYPE* node = nodes[k];
  if (!node->data_view_node) return true;
  if (node->is_member()) {
    int j = k - 1;
    for (; j >= 0 && nodes[j]->is_member(); --j)
      if (nodes[j]->data_view_node) return nodes[j]->data_view_node->append_after(*node->data_view_node);
    if (j < 0 || !nodes[j]->is_group() || !nodes[j]->data_view_node) return false;
    TDR_DATA_SIGNAL_VIEW_NODE* bus = nodes[j]->data_view_node;
    TDR_DATA_SIGNAL_VIEW_NODE first = bus->get_first_child();
    if (first.is_null()) return bus->append_child(*node->data_view_node);
    if (first.get_dom_node() == node->data_view_node->get_dom_node()) return true;
    return first.insert_before(*node->data_view_node);
  }
  for (int j = k - 1; j >= 0; --j) {
    if (nodes[j]->is_member() || !nodes[j]->data_view_node) continue;
    return nodes[j]->data_view_node->append_after(*node->data_view_node);
  }
  if (!view) return false;
  view->insert_first_node(*node->data_view_node);
  return true;
}

void TDR_TX_SIGNAL_NODES::move_view_block(int first_index, int last_index, int) {
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  for (int k = first_index; k <= last_index; ++k) {
    NODE_TYPE* node = nodes[k];
    if (!node->data_view_node) continue;
    bool ret = place_view_node(m_data_view, nodes, k);
    if (!ret) {
      m_view_rebuild_needed = true;
      if (!node->data_view_node->get_dom_node()->getParentNode()) {
        // A copy's clone that found no place is dropped; the rebuild makes it.
        delete node->data_view_node;
        node->data_view_node = nullptr;
      }
      continue;
    }
    // A group's members travel inside its bus.
    if (node->is_group()) {
      int end = group_end(nodes, k);
      if (end > k) k = end;
    }
  }
}

int TDR_TX_SIGNAL_NODES::move_before_node(int first_index, int last_index, int node_index,
                                          bool into_group) {
  TDR_TX_NODE_RECORD(func, "move_before_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  func.append_argument(node_index);
  func.append_argument(into_group);
  if (first_index < 0 || last_index < 0 || node_index < 0) {
    TDR_INTERNAL_ERROR("first_index >= 0 && last_index >= 0 && node_index >= 0");
    return -1;
  }
  int n = get_node_count();
  if (first_index >= n || last_index >= n || node_index > n) return -1;
  if (first_index > last_index) std::swap(first_index, last_index);
  if (node_index >= first_index && node_index <= last_index) return -1;
  if (!check_block(first_index, last_index, node_index, into_group, false)) return -1;
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  int size = last_index - first_index + 1;
  int before = node_index - 1;
  if (before >= first_index && before <= last_index) before = first_index - 1;

  // A move inside a wire-order-linked group is repeated in its partner.
  if (nodes[first_index]->is_member() && !in_undo_redo()) {
    int header = group_header(nodes, first_index);
    NODE_TYPE* group = header >= 0 ? nodes[header] : nullptr;
    int end = header >= 0 ? group_end(nodes, header) : -1;
    bool target_inside = node_index <= end && node_index > header;
    if (into_group && before >= header && before <= end) target_inside = true;
    if (group && (group->linking_type & TDR_LTYPE_WIRE_ORDER_LINK) && target_inside &&
        last_index <= end && TDR_CHECK(m_tx_the_other_signal_nodes != NULL)) {
      int partner = find_partner_group(header);
      if (partner >= 0) {
        TDR_TX_SIGNAL_NODES* other = m_tx_the_other_signal_nodes;
        int shift = partner - header;
        int partner_end = group_end(*other->m_node_vec, partner);
        int other_before = node_index + shift - 1;
        bool fits = partner_end > partner && first_index + shift > partner &&
                    last_index + shift <= partner_end &&
                    ((node_index + shift > partner && node_index + shift <= partner_end) ||
                     (into_group && other_before >= partner && other_before <= partner_end));
        if (fits) {
          TDR_DATA_GROUP_LINKING_TYPE linking_type = group->linking_type;
          partner = begin_repeat(header);
          other->move_before_node(first_index + shift, last_index + shift, node_index + shift,
                                  into_group);
          end_repeat(partner, linking_type);
        }
      }
    }
  }

  bool moved_from_group = nodes[first_index]->is_member();
  // Membership first, then the nodes move.
  if (moved_from_group &&
      nodes[last_index]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE &&
      nodes[first_index - 1]->is_member())
    nodes[first_index - 1]->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
  if (!into_group) {
    if (moved_from_group)
      for (int k = first_index; k <= last_index; ++k)
        nodes[k]->display_type = TDR_DTYPE_STANDALONE_NODE;
  } else {
    for (int k = first_index; k <= last_index; ++k)
      nodes[k]->display_type = TDR_DTYPE_GROUP_MEMBER_NODE;
    bool target_outside = node_index == n || !nodes[node_index]->is_member();
    if (target_outside && nodes[before]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE) {
      nodes[before]->display_type = TDR_DTYPE_GROUP_MEMBER_NODE;
      nodes[last_index]->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
    } else if (target_outside && nodes[before]->is_group()) {
      nodes[last_index]->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
    }
  }
  int result;
  int new_first;
  if (node_index < first_index) {
    node_block_swap(node_index, first_index - 1, last_index);
    result = node_index + size;
    new_first = node_index;
  } else {
    node_block_swap(first_index, last_index, node_index - 1);
    result = node_index;
    new_first = node_index - size;
  }
  move_view_block(new_first, new_first + size - 1, result);
  m_change_status->m_presentation_changed = true;
  append_atomic_action(new TDR_TX_UNDO_ACTION_MOVE(this, first_index, last_index, node_index,
                                                   into_group, moved_from_group));
  return result;
}

void TDR_TX_SIGNAL_NODES::node_block_swap(int a, int b, int c) {
  TDR_TX_NODE_RECORD(func, "node_block_swap");
  func.append_argument(a);
  func.append_argument(b);
  func.append_argument(c);
  int n = get_node_count();
  if (!TDR_CHECK(a >= 0 && a <= b + 1 && b <= c && c < n)) return;
  std::rotate(m_node_vec->begin() + a, m_node_vec->begin() + b + 1, m_node_vec->begin() + c + 1);
}

int TDR_TX_SIGNAL_NODES::copy_before_node(int first_index, int last_index, int node_index,
                                          bool into_group) {
  TDR_TX_NODE_RECORD(func, "copy_before_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  func.append_argument(node_index);
  func.append_argument(into_group);
  if (first_index < 0 || last_index < 0 || node_index < 0) {
    TDR_INTERNAL_ERROR("first_index >= 0 && last_index >= 0 && node_index >= 0");
    return -1;
  }
  int n = get_node_count();
  if (first_index >= n || last_index >= n || node_index > n) return -1;
  if (first_index > last_index) std::swap(first_index, last_index);
  if (node_index >= first_index && node_index <= last_index) {
    m_change_status->m_presentation_changed = true;
    return -1;
  }
  if (!check_block(first_index, last_index, node_index, into_group, true)) return -1;
  std::vector<NODE_TYPE*>& nodes = *m_node_vec;
  bool target_outside = node_index == n || !nodes[node_index]->is_member();
  // Copies into a group without members could not be undone without its header.
  if (into_group && target_outside && nodes[node_index - 1]->is_group()) return -1;

  int size = last_index - first_index + 1;
  bool has_group = false;
  std::vector<NODE_TYPE*> copies;
  copies.reserve(size_t(size));
  for (int k = first_index; k <= last_index; ++k) {
    NODE_TYPE* copy = full_copy(nodes[k]);
    if (copy->is_group()) {
      has_group = true;
      if (copy->mnemonics_plugin_info) {
        TDR_TX_PLUGIN_MNEMONICS_INFO* info = new_plugin_info();
        *info = *copy->mnemonics_plugin_info;
        copy->mnemonics_plugin_info = info;
      }
    }
    copies.push_back(copy);
  }
  bool loose = nodes[first_index]->is_member();
  if (into_group) {
    for (NODE_TYPE* copy : copies) copy->display_type = TDR_DTYPE_GROUP_MEMBER_NODE;
    if (target_outside && nodes[node_index - 1]->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE) {
      nodes[node_index - 1]->display_type = TDR_DTYPE_GROUP_MEMBER_NODE;
      copies.back()->display_type = TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
    }
  } else if (loose) {
    for (NODE_TYPE* copy : copies) copy->display_type = TDR_DTYPE_STANDALONE_NODE;
  }
  if (!has_group && m_data_view) {
    for (int k = 0; k < size; ++k) {
      const NODE_TYPE* source = nodes[first_index + k];
      if (!source->data_view_node) continue;
      TDR_DATA_SIGNAL_VIEW_NODE clone = source->data_view_node->clone(true);
      if (!clone.is_null()) copies[k]->data_view_node = new TDR_DATA_SIGNAL_VIEW_NODE(clone);
    }
  }
  for (NODE_TYPE* copy : copies) count_node(copy, +1);
  nodes.insert(nodes.begin() + node_index, copies.begin(), copies.end());
  if (has_group)
    m_view_rebuild_needed = true;
  else
    move_view_block(node_index, node_index + size - 1, node_index + size);
  m_change_status->m_presentation_changed = true;
  int end = node_index + size;
  append_atomic_action(
      new TDR_TX_UNDO_ACTION_COPY(this, first_index, last_index, node_index, into_group, end));
  return end;
}

// ---------------------------------------------------------------------------
// Renames across the list

bool TDR_TX_SIGNAL_NODES::rename_all_node_name(const char* orig_name, const char* new_name) {
  TDR_TX_NODE_RECORD(func, "rename_all_node_name");
  func.append_argument(orig_name);
  func.append_argument(new_name);
  if (!TDR_CHECK(orig_name != NULL)) return true;
  std::string orig = orig_name;
  for (int k = 0; k < get_node_count(); ++k)
    if ((*m_node_vec)[k]->name == orig) TDR_TX_SIGNAL_NODES::set_node_name(k, new_name);
  return true;
}

bool TDR_TX_SIGNAL_NODES::rename_all_node_alias(const char* name, const char* alias) {
  TDR_TX_NODE_RECORD(func, "rename_all_node_alias");
  func.append_argument(name);
  func.append_argument(alias);
  if (!TDR_CHECK(name != NULL)) return true;
  std::string key = name;
  for (int k = 0; k < get_node_count(); ++k)
    if ((*m_node_vec)[k]->name == key) TDR_TX_SIGNAL_NODES::set_node_alias(k, alias);
  return true;
}

// ---------------------------------------------------------------------------
// Undo actions

TDR_TX_UNDO_ACTION_SET_NODE::TDR_TX_UNDO_ACTION_SET_NODE(TDR_TX_SIGNAL_NODES* list,
                                                         int node_index, NODE_TYPE* before,
                                                         NODE_TYPE* after)
    : m_list(list), m_node_index(node_index), m_before(before), m_after(after) {}

TDR_TX_UNDO_ACTION_SET_NODE::~TDR_TX_UNDO_ACTION_SET_NODE() {
  delete m_before;
  delete m_after;
}

void TDR_TX_UNDO_ACTION_SET_NODE::set_next_indices(int data_before, int trigger_before,
                                                   int data_after, int trigger_after) {
  m_next[0] = data_before;
  m_next[1] = trigger_before;
  m_next[2] = data_after;
  m_next[3] = trigger_after;
}

bool TDR_TX_UNDO_ACTION_SET_NODE::undo() {
  if (m_next[0] >= 0) m_list->set_next_wire_indices(m_next[0], m_next[1]);
  return m_list->restore_node_properties(m_node_index, m_before);
}

bool TDR_TX_UNDO_ACTION_SET_NODE::redo() {
  if (m_next[2] >= 0) m_list->set_next_wire_indices(m_next[2], m_next[3]);
  return m_list->restore_node_properties(m_node_index, m_after);
}

TDR_TX_UNDO_ACTION_APPEND::TDR_TX_UNDO_ACTION_APPEND(TDR_TX_SIGNAL_NODES* list, int node_index,
                                                     NODE_TYPE* copy, int next_data_before,
                                                     int next_trigger_before, int next_data_after,
                                                     int next_trigger_after)
    : m_list(list),
      m_node_index(node_index),
      m_copy(copy),
      m_next{next_data_before, next_trigger_before, next_data_after, next_trigger_after} {}

TDR_TX_UNDO_ACTION_APPEND::~TDR_TX_UNDO_ACTION_APPEND() { delete m_copy; }

bool TDR_TX_UNDO_ACTION_APPEND::undo() {
  if (m_copy->is_group()) return true;
  bool ok = m_list->delete_node_base(m_node_index, m_node_index) > 0;
  m_list->set_next_wire_indices(m_next[0], m_next[1]);
  if (ok) m_list->rebuild_uniq_name_set();
  return ok;
}

bool TDR_TX_UNDO_ACTION_APPEND::redo() {
  bool ok = m_list->append_node(m_copy, true);
  m_list->set_next_wire_indices(m_next[2], m_next[3]);
  m_list->rebuild_uniq_name_set();
  return ok;
}

TDR_TX_UNDO_ACTION_DELETE::TDR_TX_UNDO_ACTION_DELETE(TDR_TX_SIGNAL_NODES* list, int first_index,
                                                     int last_index,
                                                     std::vector<NODE_TYPE*>* copies,
                                                     int new_last_member, bool keep_view)
    : m_list(list),
      m_first_index(first_index),
      m_last_index(last_index),
      m_copies(copies),
      m_new_last_member(new_last_member),
      m_keep_view(keep_view) {}

TDR_TX_UNDO_ACTION_DELETE::~TDR_TX_UNDO_ACTION_DELETE() {
  for (NODE_TYPE* copy : *m_copies) delete copy;
  delete m_copies;
}

bool TDR_TX_UNDO_ACTION_DELETE::undo() {
  if (!m_list->insert_deleted_before_node(m_first_index, m_copies)) return false;
  if (m_new_last_member >= 0) {
    if (NODE_TYPE* node = m_list->get_node(m_new_last_member))
      node->display_type = TDR_DTYPE_GROUP_MEMBER_NODE;
  }
  m_list->rebuild_uniq_name_set();
  return true;
}

bool TDR_TX_UNDO_ACTION_DELETE::redo() {
  int deleted = m_keep_view ? m_list->delete_node_keeping_view(m_first_index, m_last_index)
                           : m_list->delete_node_base(m_first_index, m_last_index);
  bool ok = deleted >= 0;
  m_list->rebuild_uniq_name_set();
  return ok;
}

TDR_TX_UNDO_ACTION_GROUP::TDR_TX_UNDO_ACTION_GROUP(TDR_TX_SIGNAL_NODES* list, int first_index,
                                                   int last_index, NODE_TYPE* copy)
    : m_list(list), m_first_index(first_index), m_last_index(last_index), m_copy(copy) {}

TDR_TX_UNDO_ACTION_GROUP::~TDR_TX_UNDO_ACTION_GROUP() { delete m_copy; }

bool TDR_TX_UNDO_ACTION_GROUP::undo() { return m_list->ungroup_node(m_first_index); }

bool TDR_TX_UNDO_ACTION_GROUP::redo() {
  return m_list->group_node(m_first_index, m_last_index, m_copy);
}

TDR_TX_UNDO_ACTION_UNGROUP::TDR_TX_UNDO_ACTION_UNGROUP(TDR_TX_SIGNAL_NODES* list,
                                                       int first_index, int last_index,
                                                       NODE_TYPE* copy)
    : m_list(list), m_first_index(first_index), m_last_index(last_index), m_copy(copy) {}

TDR_TX_UNDO_ACTION_UNGROUP::~TDR_TX_UNDO_ACTION_UNGROUP() { delete m_copy; }

bool TDR_TX_UNDO_ACTION_UNGROUP::undo() {
  return m_list->group_node(m_first_index, m_last_index, m_copy);
}

bool TDR_TX_UNDO_ACTION_UNGROUP::redo() { return m_list->ungroup_node(m_first_index); }

TDR_TX_UNDO_ACTION_MOVE::TDR_TX_UNDO_ACTION_MOVE(TDR_TX_SIGNAL_NODES* list, int first_index,
                                                 int last_index, int node_index, bool into_group,
                                                 bool moved_from_group)
    : m_list(list),
      m_first_index(first_index),
      m_last_index(last_index),
      m_node_index(node_index),
      m_into_group(into_group),
      m_moved_from_group(moved_from_group) {}

bool TDR_TX_UNDO_ACTION_MOVE::undo() {
  int span = m_last_index - m_first_index;
  // A block "moved" before its own successor only changed membership.
  if (m_node_index == m_last_index + 1)
    return m_list->move_before_node(m_first_index, m_last_index, m_node_index,
                                    m_moved_from_group) != -1;
  if (m_node_index < m_first_index)
    return m_list->move_before_node(m_node_index, m_node_index + span, m_last_index + 1,
                                    m_moved_from_group) != -1;
  return m_list->move_before_node(m_node_index - 1 - span, m_node_index - 1, m_first_index,
                                  m_moved_from_group) != -1;
}

bool TDR_TX_UNDO_ACTION_MOVE::redo() {
  return m_list->move_before_node(m_first_index, m_last_index, m_node_index, m_into_group) != -1;
}

TDR_TX_UNDO_ACTION_COPY::TDR_TX_UNDO_ACTION_COPY(TDR_TX_SIGNAL_NODES* list, int first_index,
                                                 int last_index, int node_index, bool into_group,
                                                 int end_index)
    : m_list(list),
      m_first_index(first_index),
      m_last_index(last_index),
      m_node_index(node_index),
      m_into_group(into_group),
      m_end_index(end_index) {}

bool TDR_TX_UNDO_ACTION_COPY::undo() {
  int span = m_last_index - m_first_index;
  return m_list->delete_node(m_end_index - span - 1, m_end_index - 1) > 0;
}

bool TDR_TX_UNDO_ACTION_COPY::redo() {
  return m_list->copy_before_node(m_first_index, m_last_index, m_node_index, m_into_group) != -1;
}
