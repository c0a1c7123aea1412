// The trigger working copy: setters with their change flags and undo actions,
// advanced levels through tree objects and compiler factories, the
// compilation-impact checks, the setup-view list overrides, loading and commit.
#define TDR_SOURCE_FILE "tdr_tx_trigger"

#include "tdr_tx_trigger.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "cfg.h"
#include "tci.h"
#include "tdr_data_instance.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_tree_object.h"

namespace {

// The word a recorded call writes for a data-layer object's name.
std::string recorded_name(const char* name, bool global_temp) {
  if (global_temp) return "USE_GLOBAL_TEMP";
  return name ? name : "";
}

const std::string EMPTY_TEXT;

// Far above what any analyser steps through; keeps a bad script from asking
// for billions of level slots.
const int MAX_EDITED_LEVELS = 1 << 16;

}  // namespace

// --- construction ----------------------------------------------------------------------

TDR_TX_TRIGGER::TDR_TX_TRIGGER(int instance_index, TDR_TX_SESSION* tx_session,
                               TDR_TX_UNDO_MANAGER* undo_manager,
                               TDR_TX_CHANGE_STATUS* change_status, TDR_TX_TREE_OBJECT* tree,
                               TDR_TX_SCRIPT_RECORDER* recorder)
    : TDR_TX_SIGNAL_NODES(instance_index, undo_manager, change_status, recorder, true),
      m_tx_session(tx_session),
      m_tree_object(tree) {
  init();
}

TDR_TX_TRIGGER::TDR_TX_TRIGGER(int instance_index, TDR_TX_SESSION* tx_session,
                               TDR_DATA_TRIGGER* trigger, TDR_TX_UNDO_MANAGER* undo_manager,
                               TDR_TX_CHANGE_STATUS* change_status, TDR_TX_TREE_OBJECT* tree,
                               TDR_TX_SCRIPT_RECORDER* recorder)
    : TDR_TX_SIGNAL_NODES(instance_index, undo_manager, change_status, recorder, true),
      m_tx_session(tx_session),
      m_tree_object(tree) {
  if (trigger) {
    init(trigger);
  } else {
    init();
  }
}

TDR_TX_TRIGGER::~TDR_TX_TRIGGER() {
  delete_trees_and_factories();
  delete m_name_index_map;
}

void TDR_TX_TRIGGER::delete_trees_and_factories() {
  for (TDR_TX_TREE_OBJECT* tree : m_owned_trees) delete tree;
  m_owned_trees.clear();
  for (TCI_ADVANCED_TRIGGER_FACTORY* factory : m_owned_factories) delete factory;
  m_owned_factories.clear();
  m_trigger_level_config_vec.clear();
}

// --- surroundings ----------------------------------------------------------------------

TDR_TX_SIGNAL_NODES* TDR_TX_TRIGGER::get_tx_signal_set() const {
  if (m_tx_session) {
    TDR_TX_SIGNAL_SET* signal_set = m_tx_session->get_signal_set_at(m_instance_index, true);
    if (signal_set) return signal_set;
  }
  return m_tx_the_other_signal_nodes;
}

TDR_TX_INSTANCE* TDR_TX_TRIGGER::get_tx_instance() const {
  return m_tx_session ? m_tx_session->get_instance_at(m_instance_index, true) : nullptr;
}

bool TDR_TX_TRIGGER::get_node_info(TDR_DATA_INSTANCE_INFO* info) const {
  if (TDR_TX_INSTANCE* instance = get_tx_instance()) {
    *info = instance->get_node_info();
    return true;
  }
  TDR_DATA_SIGNAL_SET* signal_set = m_data_trigger ? m_data_trigger->get_signal_set() : nullptr;
  TDR_DATA_INSTANCE* data_instance = signal_set ? signal_set->get_instance() : nullptr;
  if (!data_instance) return false;
  *info = data_instance->get_node_info();
  return true;
}

bool TDR_TX_TRIGGER::is_node_id_2() const {
  TDR_DATA_INSTANCE_INFO info;
  return get_node_info(&info) && info.mfg_id == TDR_DATA_INSTANCE::TAVRIN_MFG_ID &&
         info.node_id == 2;
}

TDR_DATA_SESSION* TDR_TX_TRIGGER::get_data_session(TDR_DATA_SIGNAL_SET* signal_set) const {
  if (m_tx_session && m_tx_session->get_data_session()) return m_tx_session->get_data_session();
  if (!signal_set && m_data_trigger) signal_set = m_data_trigger->get_signal_set();
  TDR_DATA_INSTANCE* instance = signal_set ? signal_set->get_instance() : nullptr;
  return instance ? instance->get_session() : nullptr;
}

TDR_DATA_MNEMONICS* TDR_TX_TRIGGER::get_mnemonics() const {
  TDR_DATA_SESSION* session = get_data_session(nullptr);
  return session ? session->find_mnemonics() : nullptr;
}

std::string TDR_TX_TRIGGER::get_instance_name() const {
  if (TDR_TX_INSTANCE* instance = get_tx_instance()) return instance->get_name(false);
  TDR_DATA_SIGNAL_SET* signal_set = m_data_trigger ? m_data_trigger->get_signal_set() : nullptr;
  TDR_DATA_INSTANCE* data_instance = signal_set ? signal_set->get_instance() : nullptr;
  const char* name = data_instance ? data_instance->get_name() : nullptr;
  return name ? name : "";
}

void TDR_TX_TRIGGER::append_action(TDR_TX_UNDO_ACTION_ATOMIC* action) {
  if (m_undo_manager) {
    m_undo_manager->append_atomic_action(action);
  } else {
    delete action;
  }
}

TDR_TX_TREE_OBJECT* TDR_TX_TRIGGER::new_tree() {
  if (!m_tree_object) return nullptr;
  TDR_TX_TREE_OBJECT* tree = m_tree_object->create_new_tree();
  if (tree) m_owned_trees.push_back(tree);
  return tree;
}

void TDR_TX_TRIGGER::fill_slot(TRIGGER_LEVEL_CONFIGURATION* configuration) {
  configuration->m_advanced_condition = new_tree();
}

TCI_ADVANCED_TRIGGER_FACTORY* TDR_TX_TRIGGER::new_factory(int level, const std::string& text) {
  TCI_ADVANCED_TRIGGER_FACTORY* factory = new TCI_ADVANCED_TRIGGER_FACTORY();
  factory->set_trigger_name(m_data_trigger ? m_data_trigger->get_name() : nullptr);
  factory->set_instance_name(get_instance_name());
  factory->set_name_map(m_name_index_map);
  factory->set_trigger_level_index(level);
  if (!m_name_index_map ||
      !TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(text, factory, false)) {
    delete factory;
    return nullptr;
  }
  m_owned_factories.push_back(factory);
  return factory;
}

void TDR_TX_TRIGGER::delete_factory(TCI_ADVANCED_TRIGGER_FACTORY* factory) {
  if (!factory) return;
  auto it = std::find(m_owned_factories.begin(), m_owned_factories.end(), factory);
  if (it != m_owned_factories.end()) m_owned_factories.erase(it);
  delete factory;
}

void TDR_TX_TRIGGER::coordinate_latencies(bool power_up) {
  std::vector<TCI_ADVANCED_TRIGGER_OUTPUT*> roots(size_t(m_trigger_level), nullptr);
  for (int i = 0; i < m_trigger_level; ++i) {
    const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(i)];
    if (c.m_is_basic_condition) continue;
    TCI_ADVANCED_TRIGGER_FACTORY* factory = power_up ? c.m_power_up_factory : c.m_factory;
    roots[size_t(i)] = factory ? factory->get_root() : nullptr;
  }
  TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots.data(), int(roots.size()));
}

TDR_DATA_TRIGGER_CONDITION TDR_TX_TRIGGER::condition_at(
    const std::vector<TDR_DATA_TRIGGER_CONDITION>& vec, int index) {
  if (index < 0 || size_t(index) >= vec.size()) return TDR_CTYPE_DONT_CARE_COND;
  return vec[size_t(index)];
}

TDR_DATA_SIGNAL_WIRE* TDR_TX_TRIGGER::find_wire_by_name(TDR_DATA_SIGNAL_SET* signal_set,
                                                        const std::string& name) {
  if (!signal_set || name.empty()) return nullptr;
  TDR_DATA_SIGNAL_WIRE* wire = signal_set->get_wire(name.c_str());
  // The lookup also answers aliases; only a wire of exactly this name counts.
  if (!wire || !wire->get_name() || name != wire->get_name()) return nullptr;
  return wire;
}

void TDR_TX_TRIGGER::map_trigger_nodes(TDR_DATA_SIGNAL_SET* signal_set,
                                       std::vector<std::pair<int, int>>* pairs) const {
  pairs->clear();
  for (const NODE_TYPE* node : *m_node_vec) {
    if (node->is_group() || !tdr_captures_trigger(node->capture_type)) continue;
    TDR_DATA_SIGNAL_WIRE* wire = find_wire_by_name(signal_set, node->name);
    if (!wire || wire->get_trigger_wire_index() < 0) continue;
    pairs->emplace_back(node->trigger_wire_index, wire->get_trigger_wire_index());
  }
}

// --- queries ---------------------------------------------------------------------------

TDR_DATA_TRIGGER_POSITION TDR_TX_TRIGGER::get_trigger_position() const {
  return m_power_up_view ? m_power_up_position : m_position;
}

int TDR_TX_TRIGGER::get_segment_size() const {
  return m_power_up_view ? m_power_up_segment_size : m_segment_size;
}

TDR_DATA_TRIGGER_TYPE TDR_TX_TRIGGER::get_trigger_type() const {
  return m_power_up_view ? m_power_up_trigger_type : m_trigger_type;
}

TDR_DATA_TRIGGER_CONDITION TDR_TX_TRIGGER::get_trigger_in_condition() const {
  return m_power_up_view ? m_power_up_trigger_in : m_trigger_in;
}

TDR_DATA_TRIGGER_CONDITION TDR_TX_TRIGGER::get_trigger_out_condition() const {
  return m_power_up_view ? m_power_up_trigger_out : m_trigger_out;
}

bool TDR_TX_TRIGGER::is_segment_enabled() const {
  return get_trigger_type() == TDR_TTYPE_SEGMENTED_TRIGGER;
}

bool TDR_TX_TRIGGER::is_trigger_level_basic_condition(int level) const {
  if (level < 0 || size_t(level) >= m_trigger_level_config_vec.size()) return true;
  return m_trigger_level_config_vec[size_t(level)].m_is_basic_condition;
}

bool TDR_TX_TRIGGER::is_trigger_level_enabled(int level) const {
  if (level < 0 || size_t(level) >= m_trigger_level_config_vec.size()) return true;
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  return m_power_up_view ? c.m_power_up_enabled : c.m_enabled;
}

TDR_TX_TREE_OBJECT* TDR_TX_TRIGGER::get_trigger_adv_condition_root(int level) const {
  if (level < 0 || size_t(level) >= m_trigger_level_config_vec.size()) return nullptr;
  return m_trigger_level_config_vec[size_t(level)].m_advanced_condition;
}

TCI_ADVANCED_TRIGGER_FACTORY* TDR_TX_TRIGGER::get_advanced_trigger_condition_factory(
    int level) const {
  if (level < 0 || size_t(level) >= m_trigger_level_config_vec.size()) return nullptr;
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  return m_power_up_view ? c.m_power_up_factory : c.m_factory;
}

const std::string& TDR_TX_TRIGGER::get_advanced_expression(int level, bool power_up) const {
  if (level < 0 || size_t(level) >= m_trigger_level_config_vec.size()) return EMPTY_TEXT;
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  return power_up ? c.m_power_up_expression : c.m_expression;
}

const std::string& TDR_TX_TRIGGER::get_adv_crc_text(int level) const {
  if (level < 0 || size_t(level) >= m_trigger_level_config_vec.size()) return EMPTY_TEXT;
  return m_trigger_level_config_vec[size_t(level)].m_adv_crc_text;
}

TDR_DATA_TRIGGER_CONDITION TDR_TX_TRIGGER::get_trigger_condition(int node_index,
                                                                 int level) const {
  const NODE_TYPE* node = get_node(node_index);
  if (!node || node->is_group() || !tdr_captures_trigger(node->capture_type) ||
      node->trigger_wire_index < 0 || level < 0 || level >= m_trigger_level ||
      size_t(level) >= m_trigger_level_config_vec.size()) {
    return TDR_CTYPE_INVALID_COND;
  }
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  return condition_at(m_power_up_view ? c.m_power_up_condition_vec : c.m_condition_vec,
                      node->trigger_wire_index);
}

void TDR_TX_TRIGGER::set_power_up_trigger_view(bool power_up) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_power_up_trigger_view");
  func.append_argument(power_up);
  m_power_up_view = power_up;
}

unsigned long TDR_TX_TRIGGER::get_commited_crc_value() const {
  if (!m_data_trigger) return 0;
  std::string stored;
  // A query must not write the fingerprint into the document.
  if (tdr_get_attr_if(m_data_trigger->get_dom_node(), TDR_X("CRC"), &stored)) {
    return std::strtoul(stored.c_str(), nullptr, 16);
  }
  return m_data_trigger->get_crc_value(true);
}

void TDR_TX_TRIGGER::set_crc_value_inheritable(bool inheritable) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_crc_value_inheritable");
  func.append_argument(inheritable);
  m_crc_inheritable = inheritable;
}

void TDR_TX_TRIGGER::set_expanded_status(bool expanded) { m_expanded = expanded; }

int TDR_TX_TRIGGER::get_trigger_wire_width_non_inc_rted() const {
  int count = 0;
  for (const NODE_TYPE* node : *m_node_vec) {
    if (!node->is_group() && tdr_captures_trigger(node->capture_type) &&
        node->tap_mode == TDR_MTYPE_CLASSIC_TAP) {
      ++count;
    }
  }
  return count;
}

int TDR_TX_TRIGGER::get_adv_trigger_level_lcell_usage(int level) const {
  TCI_ADVANCED_TRIGGER_FACTORY* factory =
      level >= 0 && size_t(level) < m_trigger_level_config_vec.size()
          ? m_trigger_level_config_vec[size_t(level)].m_factory
          : nullptr;
  if (!TDR_CHECK(factory != NULL && factory->get_root() != NULL)) return 0;
  return TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root());
}

bool TDR_TX_TRIGGER::is_valid_advanced_trigger_condition_input_node(const char* name) {
  if (!TDR_CHECK(name != NULL)) return false;
  TDR_TX_INSTANCE* tx_instance = get_tx_instance();
  if (!TDR_CHECK(tx_instance)) return false;
  static const bool show_incremental = cfg_is_on("ted_show_incremental_nodes", false);
  bool any_mode = show_incremental || tx_instance->is_incr_cmp_mode();
  for (const NODE_TYPE* node : *m_node_vec) {
    if (node->is_group() || !tdr_captures_trigger(node->capture_type) || node->name != name) continue;
    if (any_mode || node->tap_mode == TDR_MTYPE_CLASSIC_TAP) return true;
  }
  return false;
}

// --- snapshots -------------------------------------------------------------------------

void TDR_TX_TRIGGER::snapshot(TRIGGER_PROPERTIES* p) const {
  p->m_position = m_position;
  p->m_power_up_position = m_power_up_position;
  p->m_trigger_in = m_trigger_in;
  p->m_power_up_trigger_in = m_power_up_trigger_in;
  p->m_trigger_out = m_trigger_out;
  p->m_power_up_trigger_out = m_power_up_trigger_out;
  p->m_segment_size = m_segment_size;
  p->m_power_up_segment_size = m_power_up_segment_size;
  p->m_trigger_level = m_trigger_level;
  p->m_trigger_type = m_trigger_type;
  p->m_power_up_trigger_type = m_power_up_trigger_type;
  p->m_power_up_mode = m_power_up_mode;
}

void TDR_TX_TRIGGER::apply(const TRIGGER_PROPERTIES& p) {
  m_position = p.m_position;
  m_power_up_position = p.m_power_up_position;
  m_trigger_in = p.m_trigger_in;
  m_power_up_trigger_in = p.m_power_up_trigger_in;
  m_trigger_out = p.m_trigger_out;
  m_power_up_trigger_out = p.m_power_up_trigger_out;
  m_segment_size = p.m_segment_size;
  m_power_up_segment_size = p.m_power_up_segment_size;
  m_trigger_level = p.m_trigger_level;
  m_trigger_type = p.m_trigger_type;
  m_power_up_trigger_type = p.m_power_up_trigger_type;
  m_power_up_mode = p.m_power_up_mode;
}

bool TDR_TX_TRIGGER::save_properties(TRIGGER_PROPERTIES* properties) const {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "save_properties");
  if (!TDR_CHECK(properties != NULL)) return false;
  snapshot(properties);
  return true;
}

bool TDR_TX_TRIGGER::restore_properties(const TRIGGER_PROPERTIES* properties) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "restore_properties");
  if (!TDR_CHECK(properties != NULL)) return false;
  if (!TDR_CHECK(size_t(properties->m_trigger_level) <= m_trigger_level_config_vec.size())) {
    return false;
  }
  apply(*properties);
  return true;
}

bool TDR_TX_TRIGGER::save_properties(int level,
                                     TRIGGER_LEVEL_CONFIGURATION* configuration) const {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "save_properties");
  if (!TDR_CHECK(configuration != NULL)) return false;
  if (!TDR_CHECK(level >= 0 && size_t(level) < m_trigger_level_config_vec.size())) return false;
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  configuration->m_is_basic_condition = c.m_is_basic_condition;
  configuration->m_enabled = c.m_enabled;
  configuration->m_power_up_enabled = c.m_power_up_enabled;
  return true;
}

bool TDR_TX_TRIGGER::restore_properties(int level,
                                        const TRIGGER_LEVEL_CONFIGURATION* configuration) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "restore_properties");
  if (!TDR_CHECK(configuration != NULL)) return false;
  if (!TDR_CHECK(level >= 0 && size_t(level) < m_trigger_level_config_vec.size())) return false;
  TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  c.m_is_basic_condition = configuration->m_is_basic_condition;
  c.m_enabled = configuration->m_enabled;
  c.m_power_up_enabled = configuration->m_power_up_enabled;
  return true;
}

void TDR_TX_TRIGGER::resize_levels(int levels, std::vector<TRIGGER_LEVEL_CONFIGURATION>* slots) {
  size_t n = size_t(levels);
  if (m_trigger_level_config_vec.size() > n) {
    slots->assign(m_trigger_level_config_vec.begin() + long(n), m_trigger_level_config_vec.end());
    m_trigger_level_config_vec.resize(n);
    return;
  }
  size_t taken = 0;
  while (m_trigger_level_config_vec.size() < n && taken < slots->size()) {
    m_trigger_level_config_vec.push_back((*slots)[taken++]);
  }
  while (m_trigger_level_config_vec.size() < n) {
    m_trigger_level_config_vec.emplace_back();
    fill_slot(&m_trigger_level_config_vec.back());
  }
}

// --- setters ---------------------------------------------------------------------------

template <typename T>
bool TDR_TX_TRIGGER::change_trigger_wide(T* normal, T* power_up, T value,
                                         std::initializer_list<bool*> normal_flags,
                                         std::initializer_list<bool*> power_up_flags) {
  T* current = m_power_up_view ? power_up : normal;
  if (*current == value) return true;
  TRIGGER_PROPERTIES before, after;
  snapshot(&before);
  *current = value;
  for (bool* flag : m_power_up_view ? power_up_flags : normal_flags) *flag = true;
  snapshot(&after);
  append_action(new TDR_TX_UNDO_ACTION_SET_TRIGGER(this, before, after));
  return true;
}

bool TDR_TX_TRIGGER::set_trigger_in_condition(TDR_DATA_TRIGGER_CONDITION condition) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_in_condition");
  func.append_argument(condition);
  return change_trigger_wide(&m_trigger_in, &m_power_up_trigger_in, condition,
                             {&m_change_status->m_trigger_runtime_changed},
                             {&m_change_status->m_trigger_full_changed});
}

bool TDR_TX_TRIGGER::set_trigger_out_condition(TDR_DATA_TRIGGER_CONDITION condition) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_out_condition");
  func.append_argument(condition);
  return change_trigger_wide(&m_trigger_out, &m_power_up_trigger_out, condition,
                             {&m_change_status->m_trigger_runtime_changed},
                             {&m_change_status->m_trigger_full_changed});
}

bool TDR_TX_TRIGGER::set_trigger_position(TDR_DATA_TRIGGER_POSITION position) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_position");
  func.append_argument(position);
  return change_trigger_wide(&m_position, &m_power_up_position, position,
                             {&m_change_status->m_trigger_runtime_changed},
                             {&m_change_status->m_trigger_full_changed});
}

bool TDR_TX_TRIGGER::set_segment_size(int size) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_segment_size");
  func.append_argument(size);
  return change_trigger_wide(&m_segment_size, &m_power_up_segment_size, size,
                             {&m_change_status->m_trigger_changed},
                             {&m_change_status->m_trigger_full_changed});
}

bool TDR_TX_TRIGGER::set_trigger_type(TDR_DATA_TRIGGER_TYPE type) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_type");
  func.append_argument(type);
  return change_trigger_wide(
      &m_trigger_type, &m_power_up_trigger_type, type, {&m_change_status->m_trigger_changed},
      {&m_change_status->m_trigger_changed, &m_change_status->m_trigger_full_changed});
}

bool TDR_TX_TRIGGER::set_power_up_trigger_mode(bool power_up_mode) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_power_up_trigger_mode");
  func.append_argument(power_up_mode);
  if (m_power_up_mode == power_up_mode) return false;
  TRIGGER_PROPERTIES before, after;
  snapshot(&before);
  m_power_up_mode = power_up_mode;
  m_change_status->m_trigger_full_changed = true;
  snapshot(&after);
  append_action(new TDR_TX_UNDO_ACTION_SET_TRIGGER(this, before, after));
  return true;
}

bool TDR_TX_TRIGGER::set_trigger_condition(int node_index, int level,
                                           TDR_DATA_TRIGGER_CONDITION condition) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_condition");
  func.append_argument(node_index);
  func.append_argument(level);
  func.append_argument(condition);
  if (!TDR_CHECK(node_index >= 0) || !TDR_CHECK(level >= 0)) return false;
  const NODE_TYPE* node = get_node(node_index);
  if (!node || node->is_group() || !tdr_captures_trigger(node->capture_type) ||
      node->trigger_wire_index < 0 || level < 0 || level >= m_trigger_level ||
      size_t(level) >= m_trigger_level_config_vec.size()) {
    return false;
  }
  int wire_max = get_trigger_wire_index_max();
  if (!TDR_CHECK(node->trigger_wire_index <= wire_max)) return false;
  TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  size_t width = size_t(wire_max) + 1;
  if (c.m_condition_vec.size() != width) c.m_condition_vec.resize(width, TDR_CTYPE_DONT_CARE_COND);
  if (c.m_power_up_condition_vec.size() != width) {
    c.m_power_up_condition_vec.resize(width, TDR_CTYPE_DONT_CARE_COND);
  }
  TDR_DATA_TRIGGER_CONDITION& entry =
      (m_power_up_view ? c.m_power_up_condition_vec : c.m_condition_vec)[size_t(
          node->trigger_wire_index)];
  if (entry == condition) return false;
  append_action(new TDR_TX_UNDO_ACTION_SET_COND(this, node_index, level, m_power_up_view, entry,
                                                condition));
  entry = condition;
  if (m_power_up_view) {
    m_change_status->m_trigger_full_changed = true;
  } else {
    m_change_status->m_trigger_changed = true;
  }
  return true;
}

bool TDR_TX_TRIGGER::set_trigger_level(int levels) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_level");
  func.append_argument(levels);
  if (!TDR_CHECK(levels >= 0)) return false;
  if (!TDR_CHECK(levels <= MAX_EDITED_LEVELS)) return false;
  if (levels == m_trigger_level && size_t(levels) == m_trigger_level_config_vec.size()) {
    return true;
  }
  TRIGGER_PROPERTIES before, after;
  snapshot(&before);
  std::vector<TRIGGER_LEVEL_CONFIGURATION> slots;
  resize_levels(levels, &slots);
  if (levels == m_trigger_level) return true;
  m_trigger_level = levels;
  m_change_status->m_trigger_changed = true;
  m_change_status->m_trigger_full_changed = true;
  snapshot(&after);
  TDR_TX_UNDO_ACTION_SET_TRIGGER* action = new TDR_TX_UNDO_ACTION_SET_TRIGGER(this, before, after);
  action->m_slots.swap(slots);
  append_action(action);
  return true;
}

// The level snapshot holds only the three flags its undo restores.
TDR_TX_TRIGGER::TRIGGER_LEVEL_CONFIGURATION TDR_TX_TRIGGER::level_flags(
    const TRIGGER_LEVEL_CONFIGURATION& configuration) {
  TRIGGER_LEVEL_CONFIGURATION flags;
  flags.m_is_basic_condition = configuration.m_is_basic_condition;
  flags.m_enabled = configuration.m_enabled;
  flags.m_power_up_enabled = configuration.m_power_up_enabled;
  return flags;
}

bool TDR_TX_TRIGGER::set_trigger_level_basic_condition(int level, bool basic) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_level_basic_condition");
  func.append_argument(level);
  func.append_argument(basic);
  if (!TDR_CHECK(level >= 0)) return false;
  if (size_t(level) >= m_trigger_level_config_vec.size()) return false;
  TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  if (c.m_is_basic_condition == basic) return false;
  TRIGGER_LEVEL_CONFIGURATION before = level_flags(c);
  c.m_is_basic_condition = basic;
  m_change_status->m_trigger_full_changed = true;
  append_action(new TDR_TX_UNDO_ACTION_SET_TRIGGER_LEVEL(this, level, before, level_flags(c)));
  return true;
}

bool TDR_TX_TRIGGER::set_trigger_level_enabled(int level, bool enabled) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_trigger_level_enabled");
  func.append_argument(level);
  func.append_argument(enabled);
  if (!TDR_CHECK(level >= 0)) return false;
  if (size_t(level) >= m_trigger_level_config_vec.size()) return false;
  TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  bool& flag = m_power_up_view ? c.m_power_up_enabled : c.m_enabled;
  if (flag == enabled) return false;
  TRIGGER_LEVEL_CONFIGURATION before = level_flags(c);
  flag = enabled;
  if (m_power_up_view) {
    m_change_status->m_trigger_full_changed = true;
  } else {
    m_change_status->m_trigger_changed = true;
  }
  append_action(new TDR_TX_UNDO_ACTION_SET_TRIGGER_LEVEL(this, level, before, level_flags(c)));
  return true;
}

bool TDR_TX_TRIGGER::set_trigger_level_adv_condition_modified(int level, bool check,
                                                              bool modified) {
  if (level < 0 || level >= m_trigger_level ||
      size_t(level) >= m_trigger_level_config_vec.size()) {
    return false;
  }
  TRIGGER_LEVEL_CONFIGURATION* c = &m_trigger_level_config_vec[size_t(level)];
  if (!TDR_CHECK(!c->m_is_basic_condition)) return false;
  if (!TDR_CHECK(c->m_advanced_condition != NULL)) return false;

  tdr_msg_debug("ADV: level %d is modified (%d); check compilation compatibility (%d)", level,
                int(modified), int(check));
  bool text_changed = false;
  if (m_name_index_map && check && m_data_trigger) {
    std::string text;
    bool ok = c->m_advanced_condition->get_equation(get_mnemonics(), this, m_power_up_view, &text);
    tdr_msg_debug("ADV: get_equation returns (%d)", int(ok));
    if (!ok) text.clear();
    std::string& stored = m_power_up_view ? c->m_power_up_expression : c->m_expression;
    if (text != stored) {
      text_changed = true;
      TCI_ADVANCED_TRIGGER_FACTORY*& factory =
          m_power_up_view ? c->m_power_up_factory : c->m_factory;
      delete_factory(factory);
      factory = nullptr;
      stored = text;
      if (!text.empty()) {
        factory = new_factory(level, text);
        if (!factory) {
          tdr_msg_debug("ADV: Invalid advanced trigger expression is generated from get_equation");
        }
      }
      if (factory) coordinate_latencies(m_power_up_view);
    }
  }

  for (int i = 0; i < m_trigger_level; ++i) {
    TRIGGER_LEVEL_CONFIGURATION& l = m_trigger_level_config_vec[size_t(i)];
    TCI_ADVANCED_TRIGGER_FACTORY* factory = m_power_up_mode ? l.m_power_up_factory : l.m_factory;
    TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(
        factory ? factory->get_root() : nullptr, l.m_adv_crc_text, m_power_up_mode);
  }

  if (!modified) {
    c->m_adv_modified = false;
    c->m_adv_needs_full = false;
  } else {
    c->m_adv_modified = true;
    if (text_changed) c->m_adv_needs_full = true;
  }

  bool any_modified = false, any_full = false;
  for (int i = 0; i < m_trigger_level; ++i) {
    const TRIGGER_LEVEL_CONFIGURATION& l = m_trigger_level_config_vec[size_t(i)];
    if (l.m_is_basic_condition) continue;
    any_modified = any_modified || l.m_adv_modified || l.m_adv_needs_full;
    any_full = any_full || l.m_adv_needs_full;
  }
  m_change_status->m_adv_trigger_changed = any_modified;
  m_change_status->m_adv_trigger_full_changed = any_full;
  return false;
}

bool TDR_TX_TRIGGER::set_advanced_expression(int level, const char* text) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_advanced_expression");
  func.append_argument(level);
  func.append_argument(text ? text : "");
  if (level < 0 || level >= m_trigger_level ||
      size_t(level) >= m_trigger_level_config_vec.size()) {
    return false;
  }
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  TDR_TX_GENERIC_TREE_OBJECT* tree =
      dynamic_cast<TDR_TX_GENERIC_TREE_OBJECT*>(c.m_advanced_condition);
  if (c.m_is_basic_condition || !tree) return false;
  // An empty tree text stands for the stored expression; undo must bring that
  // back, not empty it.
  std::string before = tree->get_expression(m_power_up_view);
  if (before.empty()) before = m_power_up_view ? c.m_power_up_expression : c.m_expression;
  std::string after = text ? text : "";
  tree->set_expression(m_power_up_view, after);
  set_trigger_level_adv_condition_modified(level, true, true);
  append_action(
      new TDR_TX_UNDO_ACTION_SET_ADV_EXPRESSION(this, level, m_power_up_view, before, after));
  return true;
}

bool TDR_TX_TRIGGER::duplicate_trigger_to_other(bool from_power_up) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "duplicate_trigger_to_other");
  func.append_argument(from_power_up);
  bool saved_view = m_power_up_view;
  bool to_power_up = !from_power_up;
  // Every copy goes through the target side's setters, so it is recorded and undoable.
  set_power_up_trigger_view(to_power_up);
  int node_count = get_node_count();
  for (int level = 0; level < m_trigger_level; ++level) {
    for (int i = 0; i < node_count; ++i) {
      m_power_up_view = from_power_up;
      TDR_DATA_TRIGGER_CONDITION condition = get_trigger_condition(i, level);
      m_power_up_view = to_power_up;
      if (condition == TDR_CTYPE_INVALID_COND) continue;
      set_trigger_condition(i, level, condition);
    }
    const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
    if (dynamic_cast<TDR_TX_GENERIC_TREE_OBJECT*>(c.m_advanced_condition)) {
      if (!c.m_is_basic_condition) {
        set_advanced_expression(level, get_side_expression(level, from_power_up).c_str());
      }
    } else if (c.m_advanced_condition) {
      c.m_advanced_condition->copy_to_other_side(to_power_up);
    }
    const TRIGGER_LEVEL_CONFIGURATION& l = m_trigger_level_config_vec[size_t(level)];
    set_trigger_level_enabled(level, from_power_up ? l.m_power_up_enabled : l.m_enabled);
  }
  set_trigger_in_condition(from_power_up ? m_power_up_trigger_in : m_trigger_in);
  set_trigger_out_condition(from_power_up ? m_power_up_trigger_out : m_trigger_out);
  set_trigger_type(from_power_up ? m_power_up_trigger_type : m_trigger_type);
  set_trigger_position(from_power_up ? m_power_up_position : m_position);
  set_segment_size(from_power_up ? m_power_up_segment_size : m_segment_size);
  set_power_up_trigger_view(saved_view);
  return true;
}

// --- compilation impact ----------------------------------------------------------------

void TDR_TX_TRIGGER::check_compilation_type(bool* full, bool* rivlet) {
  if (!TDR_CHECK(full != NULL && rivlet != NULL)) return;
  *full = false;
  *rivlet = false;
  if (!m_data_trigger) {
    *full = true;
    return;
  }
  if (m_trigger_level != m_data_trigger->get_event_levels()) {
    *full = true;
    return;
  }
  check_compilation_type_based_on_node_vector(m_data_trigger->get_signal_set(), full, rivlet);
  if (*full) return;
  bool condition_rivlet = false;
  check_compilation_type_based_on_trigger_condition(full, &condition_rivlet);
  *rivlet = *rivlet || condition_rivlet;
}

void TDR_TX_TRIGGER::check_compilation_type_based_on_node_vector(TDR_DATA_SIGNAL_SET* signal_set,
                                                                 bool* full, bool* rivlet) {
  if (!TDR_CHECK(full != NULL && rivlet != NULL)) return;
  if (!signal_set) {
    *full = true;
    return;
  }
  for (const NODE_TYPE* node : *m_node_vec) {
    if (node->is_group()) continue;
    TDR_DATA_SIGNAL_WIRE* wire = find_wire_by_name(signal_set, node->name);
    if (!wire) {
      if (node->tap_mode == TDR_MTYPE_PROBEONLY_TAP) {
        *rivlet = true;
      } else {
        *full = true;
      }
    } else if (wire->get_tap_mode() != node->tap_mode) {
      *full = true;
    } else if (wire->get_capture_type() != node->capture_type) {
      if (wire->get_tap_mode() == TDR_MTYPE_PROBEONLY_TAP) {
        *rivlet = true;
      } else {
        *full = true;
      }
    } else {
      const char* port = wire->get_debug_port_name();
      bool differs = wire->is_debug_port() != node->is_debug_port ||
                     (port && !node->debug_port_name.empty() && node->debug_port_name != port);
      if (differs) {
        if (wire->get_tap_mode() == TDR_MTYPE_CLASSIC_TAP) {
          *full = true;
        } else {
          *rivlet = true;
        }
      }
    }
    if (*full) return;
  }
  // Wires that left the list.
  for (int pass = 0; pass < 2; ++pass) {
    int count =
        pass == 0 ? signal_set->get_data_wire_width() : signal_set->get_trigger_wire_width();
    for (int i = 0; i < count; ++i) {
      TDR_DATA_SIGNAL_WIRE* wire =
          pass == 0 ? signal_set->get_data_wire_at(i) : signal_set->get_trigger_wire_at(i);
      if (!wire || !wire->get_name() || is_name_in_uniq_set(wire->get_name())) continue;
      if (wire->get_tap_mode() == TDR_MTYPE_CLASSIC_TAP) {
        *full = true;
        return;
      }
      *rivlet = true;
    }
  }
}

void TDR_TX_TRIGGER::check_compilation_type_based_on_trigger_condition(bool* full, bool* rivlet) {
  if (!TDR_CHECK(full != NULL && rivlet != NULL)) return;
  if (!TDR_CHECK(m_data_trigger != NULL)) return;
  TDR_DATA_TRIGGER* d = m_data_trigger;
  if (!TDR_CHECK(m_trigger_level == d->get_event_levels())) return;
  for (int level = 0; level < m_trigger_level; ++level) {
    if (m_trigger_level_config_vec[size_t(level)].m_is_basic_condition !=
        d->is_trigger_level_basic_condition(level)) {
      *full = true;
      return;
    }
  }
  if (m_power_up_mode != d->is_power_up_mode()) {
    *full = true;
    return;
  }
  if (m_power_up_mode) {
    if (m_power_up_trigger_type != d->get_trigger_type(true)) {
      *full = true;
      return;
    }
    if (m_power_up_trigger_type == TDR_TTYPE_CIRCULAR_TRIGGER) {
      if (m_power_up_position != d->get_trigger_position(true)) *full = true;
    } else if (m_power_up_trigger_type == TDR_TTYPE_SEGMENTED_TRIGGER) {
      if (m_power_up_segment_size != d->get_segment_size(true)) *full = true;
    } else {
      TDR_INTERNAL_ERROR("Invalid Trigger Type Detected");
    }
    if (m_power_up_trigger_in != d->get_trigger_in(true) ||
        m_power_up_trigger_out != d->get_trigger_out(true)) {
      *full = true;
    }
    if (*full) return;
    std::vector<std::pair<int, int>> pairs;
    map_trigger_nodes(d->get_signal_set(), &pairs);
    for (int level = 0; level < m_trigger_level; ++level) {
      const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
      if (c.m_power_up_enabled != d->is_trigger_level_enabled(level, true)) {
        *full = true;
        return;
      }
      for (const auto& pair : pairs) {
        if (condition_at(c.m_power_up_condition_vec, pair.first) !=
            d->get_condition(level, pair.second, true)) {
          *full = true;
          return;
        }
      }
    }
  }
  bool any_advanced = false;
  for (int level = 0; level < m_trigger_level; ++level) {
    if (!m_trigger_level_config_vec[size_t(level)].m_is_basic_condition) any_advanced = true;
  }
  if (!any_advanced || !m_change_status->m_adv_trigger_full_changed) return;
  for (int level = 0; level < m_trigger_level; ++level) {
    const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
    if (c.m_is_basic_condition) continue;
    if (!c.m_adv_crc_text.empty()) {
      if (c.m_adv_crc_text != d->get_advanced_trigger_crc_string(level)) {
        *full = true;
        return;
      }
    } else {
      bool mine = (m_power_up_mode ? c.m_power_up_factory : c.m_factory) != nullptr;
      bool theirs = d->get_advanced_trigger_factory(level, m_power_up_mode) != nullptr;
      if (mine != theirs) {
        *full = true;
        return;
      }
    }
  }
}

bool TDR_TX_TRIGGER::is_signal_compatible(TDR_DATA_SIGNAL_SET* signal_set) {
  if (!signal_set) return false;
  TDR_DATA_INSTANCE* data_instance = signal_set->get_instance();
  bool incremental = data_instance && data_instance->is_incr_cmp_mode();
  std::unordered_set<std::string> names;
  for (const NODE_TYPE* node : *m_node_vec) {
    if (node->is_group() || node->capture_type == TDR_WTYPE_NONE_CAPTURE) continue;
    names.insert(node->name);
    TDR_DATA_SIGNAL_WIRE* wire = find_wire_by_name(signal_set, node->name);
    if (!wire || wire->get_capture_type() != node->capture_type ||
        wire->get_tap_mode() != node->tap_mode) {
      return false;
    }
    bool node_connected =
        node->tap_mode == TDR_MTYPE_CLASSIC_TAP || incremental || node->connection_status;
    bool wire_connected = wire->get_tap_mode() == TDR_MTYPE_CLASSIC_TAP || incremental ||
                          wire->get_connection_status();
    if (node_connected != wire_connected) return false;
  }
  return int(names.size()) == signal_set->get_wire_size();
}

// --- loading ---------------------------------------------------------------------------

void TDR_TX_TRIGGER::init_empty() {
  // The base clears the undo history first, so no action still points at a slot.
  TDR_TX_SIGNAL_NODES::init();
  delete_trees_and_factories();
  delete m_name_index_map;
  m_name_index_map = nullptr;
  m_data_trigger = nullptr;
  m_trigger_level_config_vec.emplace_back();
  fill_slot(&m_trigger_level_config_vec.back());
  m_trigger_level = 1;
  TRIGGER_PROPERTIES defaults;
  defaults.m_trigger_level = 1;
  apply(defaults);
  m_new_working_copy = true;
  m_signal_set_committed = false;
  m_change_status->m_trigger_full_changed = false;
  m_change_status->m_trigger_changed = false;
  m_change_status->m_trigger_runtime_changed = false;
  m_change_status->m_adv_trigger_full_changed = false;
  m_change_status->m_adv_trigger_changed = false;
}

bool TDR_TX_TRIGGER::init() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "init");
  init_empty();
  rebuild_uniq_name_set();
  return true;
}

bool TDR_TX_TRIGGER::init(TDR_DATA_SIGNAL_VIEW* view) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "init");
  TDR_DATA_SIGNAL_SET* signal_set = view ? view->get_signal_set() : nullptr;
  func.append_argument(recorded_name(signal_set ? signal_set->get_name() : nullptr,
                                     signal_set && signal_set->is_global_temp()));
  init_empty();
  bool result = TDR_TX_SIGNAL_NODES::init(view);
  rebuild_uniq_name_set();
  return result;
}

bool TDR_TX_TRIGGER::init(TDR_DATA_TRIGGER* trigger) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "init");
  TDR_DATA_SIGNAL_SET* signal_set = trigger ? trigger->get_signal_set() : nullptr;
  func.append_argument(recorded_name(signal_set ? signal_set->get_name() : nullptr,
                                     signal_set && signal_set->is_global_temp()));
  func.append_argument(recorded_name(trigger ? trigger->get_name() : nullptr,
                                     trigger && trigger->is_global_temp()));
  if (!TDR_CHECK(trigger != NULL)) return false;
  TDR_DATA_SIGNAL_VIEW* view = signal_set ? signal_set->get_setup_view() : nullptr;
  if (view) {
    TDR_TX_SIGNAL_NODES::init(view);
  } else {
    TDR_TX_SIGNAL_NODES::init();
  }
  delete_trees_and_factories();
  delete m_name_index_map;
  m_name_index_map = new TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP();
  m_data_trigger = trigger;
  trigger->create_name_index_map(m_name_index_map);
  load_levels(trigger);

  m_position = trigger->get_trigger_position(false);
  m_power_up_position = trigger->get_trigger_position(true);
  m_trigger_in = trigger->get_trigger_in(false);
  m_power_up_trigger_in = trigger->get_trigger_in(true);
  m_trigger_out = trigger->get_trigger_out(false);
  m_power_up_trigger_out = trigger->get_trigger_out(true);
  m_segment_size = trigger->get_segment_size(false);
  m_power_up_segment_size = trigger->get_segment_size(true);
  m_trigger_type = trigger->get_trigger_type(false);
  m_power_up_trigger_type = trigger->get_trigger_type(true);
  m_power_up_mode = trigger->is_power_up_mode();

  m_committed_crc = 0;
  if (is_node_id_2()) {
    m_committed_crc = get_commited_crc_value();
    m_crc_inheritable = true;
  }
  m_new_working_copy = false;
  m_signal_set_committed = false;
  clear_change_flags();
  rebuild_uniq_name_set();
  return true;
}

void TDR_TX_TRIGGER::load_levels(TDR_DATA_TRIGGER* trigger) {
  int levels = trigger->get_event_levels();
  int width = get_trigger_wire_index_max() + 1;
  TDR_DATA_SIGNAL_SET* signal_set = trigger->get_signal_set();
  int wires = signal_set ? signal_set->get_trigger_wire_width() : 0;
  m_trigger_level = levels;
  m_trigger_level_config_vec.resize(size_t(levels));
  for (int level = 0; level < levels; ++level) {
    TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
    c.m_condition_vec.assign(size_t(width), TDR_CTYPE_DONT_CARE_COND);
    c.m_power_up_condition_vec.assign(size_t(width), TDR_CTYPE_DONT_CARE_COND);
    for (int w = 0; w < wires && w < width; ++w) {
      c.m_condition_vec[size_t(w)] = trigger->get_condition(level, w, false);
      c.m_power_up_condition_vec[size_t(w)] = trigger->get_condition(level, w, true);
    }
    c.m_is_basic_condition = trigger->is_trigger_level_basic_condition(level);
    c.m_enabled = trigger->is_trigger_level_enabled(level, false);
    c.m_power_up_enabled = trigger->is_trigger_level_enabled(level, true);
    c.m_expression = trigger->get_advanced_trigger_expression(level, false);
    c.m_power_up_expression = trigger->get_advanced_trigger_expression(level, true);
    c.m_advanced_condition = new_tree();
    if (c.m_is_basic_condition) continue;
    c.m_adv_crc_text = trigger->get_advanced_trigger_crc_string(level);
    TDR_DATA_TRIGGER_ADV_TREE_OBJ* root = trigger->get_advanced_trigger_tree_root(level);
    if (c.m_advanced_condition && root && !root->is_null()) {
      copy_tree_from_data(root, c.m_advanced_condition);
    }
    if (!c.m_expression.empty()) c.m_factory = new_factory(level, c.m_expression);
    if (!c.m_power_up_expression.empty()) {
      c.m_power_up_factory = new_factory(level, c.m_power_up_expression);
    }
  }
}

// Both copies walk the trees with an explicit stack: a deep tree from a file
// must not exhaust the call stack.
void TDR_TX_TRIGGER::copy_tree_from_data(TDR_DATA_TRIGGER_ADV_TREE_OBJ* root,
                                         TDR_TX_TREE_OBJECT* tree) {
  std::vector<std::pair<TDR_DATA_TRIGGER_ADV_TREE_OBJ, TDR_TX_TREE_OBJECT*>> pending;
  pending.emplace_back(*root, tree);
  while (!pending.empty()) {
    TDR_DATA_TRIGGER_ADV_TREE_OBJ data = pending.back().first;
    TDR_TX_TREE_OBJECT* object = pending.back().second;
    pending.pop_back();
    TDR_DATA_STRING_PAIR_VEC* pairs = data.get_all_attributes();
    if (pairs) object->set_attributes(pairs);
    delete pairs;
    size_t first = pending.size();
    for (TDR_DATA_TRIGGER_ADV_TREE_OBJ child = data.get_first_child(); !child.is_null();
         child = child.get_next_sibling()) {
      TDR_TX_TREE_OBJECT* made = object->create_and_append_child();
      if (made) pending.emplace_back(child, made);
    }
    // Children are appended in order above; the stack order only decides
    // which subtree is filled first.
    std::reverse(pending.begin() + long(first), pending.end());
  }
}

void TDR_TX_TRIGGER::copy_tree_to_data(TDR_TX_TREE_OBJECT* tree,
                                       TDR_DATA_TRIGGER_ADV_TREE_OBJ* root) {
  std::vector<std::pair<TDR_TX_TREE_OBJECT*, TDR_DATA_TRIGGER_ADV_TREE_OBJ>> pending;
  pending.emplace_back(tree, *root);
  while (!pending.empty()) {
    TDR_TX_TREE_OBJECT* object = pending.back().first;
    TDR_DATA_TRIGGER_ADV_TREE_OBJ data = pending.back().second;
    pending.pop_back();
    TDR_DATA_STRING_PAIR_VEC pairs;
    object->get_attributes(&pairs);
    data.set_all_attributes(&pairs);
    size_t first = pending.size();
    int children = object->get_num_children();
    for (int i = 0; i < children; ++i) {
      TDR_TX_TREE_OBJECT* child = object->get_child_at(i);
      if (!child) continue;
      pending.emplace_back(child, data.create_and_append_child_obj());
    }
    std::reverse(pending.begin() + long(first), pending.end());
  }
}

// --- commit ----------------------------------------------------------------------------

void TDR_TX_TRIGGER::forget_data_trigger() { m_data_trigger = nullptr; }

bool TDR_TX_TRIGGER::select_data_trigger(TDR_DATA_SIGNAL_SET* signal_set,
                                         bool discard_unlogged) {
  TDR_TX_CHANGE_STATUS* status = m_change_status;
  TDR_DATA_SESSION* session = get_data_session(signal_set);
  bool gui_logging = session && session->is_gui_logging_enabled();
  bool structural = status->m_trigger_full_changed || status->m_trigger_changed ||
                    status->m_adv_trigger_full_changed;
  bool change = structural || status->m_trigger_runtime_changed;
  TDR_DATA_TRIGGER* d = m_data_trigger;
  if (d && !m_new_working_copy && !m_signal_set_committed && !structural &&
      (gui_logging || d->is_global_temp()) && d->get_signal_set() == signal_set) {
    return true;
  }
  m_new_working_copy = false;
  TDR_DATA_TRIGGER* target = nullptr;
  bool created = true;
  // A new trigger is written as reading writes it, so a saved file reads back
  // to the same bytes.
  bool expanded = d ? d->is_expanded() : true;
  if (!gui_logging) {
    if (d && !d->is_global_temp() && !change) {
      std::string name = d->get_name();
      target = signal_set->create_trigger(name.c_str(), true);
    } else {
      target = signal_set->create_trigger(nullptr, true);
    }
  } else {
    if (discard_unlogged && d && d->get_signal_set() == signal_set && !d->is_global_temp() &&
        d->get_num_logs() == 0) {
      d->remove();
      d = m_data_trigger = nullptr;
    }
    if (!d || !d->is_global_temp()) {
      target = signal_set->create_trigger(nullptr, false);
    } else {
      TDR_DATA_TRIGGER* named = change ? nullptr : signal_set->find_trigger(d->get_name());
      if (named && !named->is_global_temp()) {
        target = named;
        created = false;
      } else {
        target = signal_set->create_trigger(nullptr, false);
      }
    }
  }
  if (!TDR_CHECK(target != NULL)) {
    m_data_trigger = nullptr;
    return false;
  }
  m_data_trigger = target;
  if (created) target->set_expanded_status(expanded);
  status->m_trigger_changed = created;
  if (created && m_tx_session) m_tx_session->set_undoable_modified_flag();
  return true;
}

std::string TDR_TX_TRIGGER::get_side_expression(int level, bool power_up) {
  const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
  std::string text;
  bool ok = c.m_advanced_condition &&
            c.m_advanced_condition->get_equation(get_mnemonics(), this, power_up, &text);
  tdr_msg_debug("ADV: get_equation returns (%d)", int(ok));
  if (!ok) text = power_up ? c.m_power_up_expression : c.m_expression;
  return text;
}

// The committed trigger now holds every level as edited.
void TDR_TX_TRIGGER::clear_adv_modified() {
  for (TRIGGER_LEVEL_CONFIGURATION& c : m_trigger_level_config_vec) {
    c.m_adv_modified = false;
    c.m_adv_needs_full = false;
  }
}

void TDR_TX_TRIGGER::write_level_expressions(int level) {
  for (int side = 0; side < 2; ++side) {
    bool power_up = side == 1;
    std::string text = get_side_expression(level, power_up);
    m_data_trigger->set_advanced_trigger_expression(level, text.c_str(), power_up);
  }
}

void TDR_TX_TRIGGER::write_levels(TDR_DATA_SIGNAL_SET* signal_set) {
  TDR_DATA_TRIGGER* d = m_data_trigger;
  d->set_power_up_mode(m_power_up_mode);
  std::vector<std::pair<int, int>> pairs;
  map_trigger_nodes(signal_set, &pairs);
  for (int level = 0; level < m_trigger_level; ++level) {
    const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
    int index = d->append_new_level(true);
    for (int side = 0; side < 2; ++side) {
      bool power_up = side == 1;
      const std::vector<TDR_DATA_TRIGGER_CONDITION>& vec =
          power_up ? c.m_power_up_condition_vec : c.m_condition_vec;
      // Conditions first, then the level's text once: linear in the wires.
      for (size_t k = 0; k < pairs.size(); ++k) {
        d->set_trigger_condition(pairs[k].second, index, condition_at(vec, pairs[k].first),
                                 power_up, k + 1 == pairs.size());
      }
    }
    if (!c.m_is_basic_condition) write_level_expressions(index);
    d->set_trigger_level_cond_expr_type(index, c.m_is_basic_condition);
    d->set_trigger_level_enabled(index, c.m_enabled, false);
    d->set_trigger_level_enabled(index, c.m_power_up_enabled, true);
  }
}

bool TDR_TX_TRIGGER::commit(TDR_DATA_SIGNAL_SET* signal_set, bool discard_unlogged) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "commit");
  func.append_argument(discard_unlogged);
  TDR_TX_CHANGE_STATUS* status = m_change_status;
  if (!signal_set) {
    forget_data_trigger();
    // Nothing to write into; the commit that creates the trigger writes every
    // level anyway, so the instance counts as committed.
    clear_change_flags();
    clear_adv_modified();
    return true;
  }
  if (!select_data_trigger(signal_set, discard_unlogged)) return false;
  TDR_DATA_TRIGGER* d = m_data_trigger;

  // A wire node without wire makes this false; that is diagnostic only.
  if (TDR_DATA_SIGNAL_VIEW* view = signal_set->get_setup_view()) TDR_TX_SIGNAL_NODES::commit(view);

  if (is_node_id_2()) {
    unsigned long fingerprint = m_crc_inheritable ? m_committed_crc : 0;
    d->set_crc_value(fingerprint);
    m_committed_crc = fingerprint;
  }

  if (status->m_trigger_changed) {
    write_levels(signal_set);
    m_signal_set_committed = false;
    clear_change_flags();
    clear_adv_modified();
    status->m_trigger_runtime_changed = true;
  } else if (status->m_adv_trigger_changed) {
    // Reused in place: the file must not keep old texts beside new trees.
    for (int level = 0; level < m_trigger_level && level < d->get_event_levels(); ++level) {
      if (!m_trigger_level_config_vec[size_t(level)].m_is_basic_condition) {
        write_level_expressions(level);
      }
    }
    status->m_adv_trigger_full_changed = false;
    status->m_adv_trigger_changed = false;
    clear_adv_modified();
  }

  if (status->m_trigger_runtime_changed) {
    for (int side = 0; side < 2; ++side) {
      bool power_up = side == 1;
      d->set_trigger_position(power_up ? m_power_up_position : m_position, power_up);
      d->set_trigger_in(power_up ? m_power_up_trigger_in : m_trigger_in, power_up);
      d->set_trigger_out(power_up ? m_power_up_trigger_out : m_trigger_out, power_up);
      d->set_segment_size(power_up ? m_power_up_segment_size : m_segment_size, power_up);
      d->set_trigger_type(power_up ? m_power_up_trigger_type : m_trigger_type, power_up);
    }
    status->m_trigger_runtime_changed = false;
  }

  for (int level = 0; level < m_trigger_level && level < d->get_event_levels(); ++level) {
    const TRIGGER_LEVEL_CONFIGURATION& c = m_trigger_level_config_vec[size_t(level)];
    if (c.m_is_basic_condition || !c.m_advanced_condition) continue;
    TDR_DATA_TRIGGER_ADV_TREE_OBJ* root = d->recreate_advanced_trigger_tree_root(level);
    if (!TDR_CHECK(root != NULL && !root->is_null())) continue;
    copy_tree_to_data(c.m_advanced_condition, root);
  }

  finalize_triggers();
  return true;
}

void TDR_TX_TRIGGER::clear_change_flags() {
  TDR_TX_CHANGE_STATUS* status = m_change_status;
  status->m_trigger_full_changed = false;
  status->m_trigger_changed = false;
  status->m_trigger_runtime_changed = false;
  status->m_adv_trigger_full_changed = false;
  status->m_adv_trigger_changed = false;
}

void TDR_TX_TRIGGER::finalize_triggers() {
  if (!m_data_trigger) return;
  m_data_trigger->finalize_triggers();
  // Refilled in place: factories keep pointing at this map.
  if (!m_name_index_map) m_name_index_map = new TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP();
  m_data_trigger->create_name_index_map(m_name_index_map);
}

bool TDR_TX_TRIGGER::commit_signal_set(TDR_DATA_SIGNAL_SET* signal_set) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "commit_signal_set");
  bool result = TDR_TX_SIGNAL_NODES::commit_signal_set(signal_set, m_crc_inheritable);
  m_signal_set_committed = true;
  return result;
}

// --- node-list overrides -----------------------------------------------------------------

void TDR_TX_TRIGGER::uniq_add(const std::string& text) {
  if (!text.empty()) ++m_uniq_node_set[text];
}

void TDR_TX_TRIGGER::uniq_remove(const std::string& text) {
  auto it = m_uniq_node_set.find(text);
  if (it == m_uniq_node_set.end()) return;
  if (--it->second <= 0) m_uniq_node_set.erase(it);
}

void TDR_TX_TRIGGER::rebuild_uniq_name_set() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "rebuild_uniq_name_set");
  m_uniq_node_set.clear();
  if (!m_node_vec) return;
  for (const NODE_TYPE* node : *m_node_vec) {
    uniq_add(node->name);
    uniq_add(node->alias);
  }
}

void TDR_TX_TRIGGER::update_uniq_name_set(const std::string& old_name,
                                          const std::string& old_alias, const NODE_TYPE& node) {
  uniq_remove(old_name);
  uniq_remove(old_alias);
  uniq_add(node.name);
  uniq_add(node.alias);
}

const char* TDR_TX_TRIGGER::get_name() {
  return m_data_trigger ? m_data_trigger->get_name() : nullptr;
}

bool TDR_TX_TRIGGER::is_node_deletable(int node_index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "is_node_deletable");
  func.append_argument(node_index);
  if (!TDR_CHECK(node_index >= 0)) return false;
  return node_index < get_node_count();
}

bool TDR_TX_TRIGGER::append_node(const char* name, TDR_DATA_SIGNAL_TYPE signal_type,
                                 TDR_DATA_WIRE_TAP_MODE tap_mode) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "append_node");
  func.append_argument(name);
  func.append_argument(signal_type);
  func.append_argument(tap_mode);
  if (!TDR_CHECK(name != NULL)) return false;
  if (is_name_in_uniq_set(name)) return false;
  TDR_TX_SIGNAL_NODES* signal_set = get_tx_signal_set();
  if (!TDR_CHECK(signal_set != NULL)) return false;
  bool result = TDR_TX_SIGNAL_NODES::append_node(name, signal_type, tap_mode);
  if (!result) return false;
  TDR_CHECK(!is_name_in_uniq_set(name));
  uniq_add(name);
  signal_set->append_node(name, signal_type, tap_mode);
  return result;
}

bool TDR_TX_TRIGGER::delete_node(const char* name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "delete_node");
  func.append_argument(name);
  if (!TDR_CHECK(name != NULL)) return false;
  TDR_TX_SIGNAL_NODES* signal_set = get_tx_signal_set();
  if (!TDR_CHECK(signal_set != NULL)) return false;
  std::string text = name;
  // The names and aliases of the nodes this deletes leave the set.
  std::vector<std::pair<std::string, std::string>> removed;
  for (const NODE_TYPE* node : *m_node_vec) {
    if (!node->is_group() && (node->name == text || node->alias == text)) {
      removed.emplace_back(node->name, node->alias);
    }
  }
  bool result = TDR_TX_SIGNAL_NODES::delete_node(text.c_str());
  if (result) {
    for (const auto& pair : removed) {
      uniq_remove(pair.first);
      if (!pair.second.empty()) uniq_remove(pair.second);
    }
  }
  signal_set->delete_node(text.c_str());
  return result;
}

int TDR_TX_TRIGGER::delete_node(int first_index, int last_index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "delete_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  if (!TDR_CHECK(first_index >= 0 && last_index >= 0)) return 0;
  int count = get_node_count();
  if (first_index >= count || last_index >= count) return 0;
  if (first_index > last_index) std::swap(first_index, last_index);
  TDR_TX_SIGNAL_NODES* signal_set = get_tx_signal_set();
  if (!TDR_CHECK(signal_set != NULL)) return 0;

  // The base keeps groups whole: it may take the header before the range or
  // the members after it. Remember every candidate, then keep those that are
  // still in the list.
  struct CANDIDATE {
    NODE_TYPE* node;
    std::string name, alias;
    bool group;
    TDR_DATA_GROUP_LINKING_TYPE linking;
  };
  std::vector<CANDIDATE> candidates;
  int window_first = first_index > 0 ? first_index - 1 : 0;
  int window_end = last_index;
  while (window_end + 1 < count && (*m_node_vec)[size_t(window_end + 1)]->is_member()) ++window_end;
  for (int i = window_first; i <= window_end; ++i) {
    NODE_TYPE* node = (*m_node_vec)[size_t(i)];
    candidates.push_back({node, node->name, node->alias, node->is_group(), node->linking_type});
  }
  int deleted = TDR_TX_SIGNAL_NODES::delete_node(first_index, last_index);
  if (deleted <= 0) return deleted;
  std::unordered_set<const NODE_TYPE*> kept;
  int window_last = std::min(get_node_count() - 1, window_end);
  for (int i = window_first; i <= window_last; ++i) kept.insert((*m_node_vec)[size_t(i)]);

  std::vector<std::string> removed_wire_names;
  for (const CANDIDATE& c : candidates) {
    if (kept.count(c.node)) continue;
    uniq_remove(c.name);
    if (!c.alias.empty()) uniq_remove(c.alias);
    if (!c.group) {
      removed_wire_names.push_back(c.name);
    } else if (c.linking != TDR_LTYPE_NO_LINK && !in_undo_redo()) {
      int partner = signal_set->find_group_node(c.name.c_str());
      if (partner >= 0) {
        signal_set->push_node_image(partner);
        signal_set->get_node(partner)->linking_type = TDR_LTYPE_NO_LINK;
        signal_set->ungroup_node(partner);
      }
    }
  }
  // The data-view list loses every node its delete_node(name) would delete for
  // these names, found in one pass and removed run by run from the end. Their
  // elements stay in the data view, which the setup view may still match.
  if (!removed_wire_names.empty()) {
    std::unordered_set<std::string> wanted(removed_wire_names.begin(), removed_wire_names.end());
    std::vector<std::pair<int, int>> runs;
    for (int k = 0; k < signal_set->get_node_count(); ++k) {
      NODE_TYPE* node = signal_set->get_node(k);
      if (node->is_group() || (!wanted.count(node->name) && !wanted.count(node->alias))) continue;
      if (!runs.empty() && runs.back().second == k - 1) {
        runs.back().second = k;
      } else {
        runs.emplace_back(k, k);
      }
    }
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
      signal_set->delete_node_keeping_view(it->first, it->second);
    }
  }
  return deleted;
}

bool TDR_TX_TRIGGER::set_node_name(int node_index, const char* name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_node_name");
  func.append_argument(node_index);
  func.append_argument(name);
  if (!TDR_CHECK(node_index >= 0) || !TDR_CHECK(name != NULL)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node || node->is_group()) return false;
  if (node->name == name) return true;
  if (*name == '\0' || is_name_in_uniq_set(name)) return false;
  TDR_TX_SIGNAL_NODES* signal_set = get_tx_signal_set();
  if (!TDR_CHECK(signal_set != NULL)) return false;
  std::string old_name = node->name;
  if (!TDR_TX_SIGNAL_NODES::set_node_name(node_index, name)) return false;
  uniq_remove(old_name);
  uniq_add(get_node(node_index)->name);
  signal_set->rename_all_node_name(old_name.c_str(), get_node(node_index)->name.c_str());
  return true;
}

bool TDR_TX_TRIGGER::set_node_alias(int node_index, const char* alias) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_node_alias");
  func.append_argument(node_index);
  func.append_argument(alias);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!node) return false;
  std::string text = alias ? alias : "";
  if (!text.empty() && text != node->alias && is_name_in_uniq_set(text)) return false;
  TDR_TX_SIGNAL_NODES* signal_set = get_tx_signal_set();
  if (!TDR_CHECK(signal_set != NULL)) return false;
  std::string old_alias = node->alias;
  if (!TDR_TX_SIGNAL_NODES::set_node_alias(node_index, alias)) return false;
  node = get_node(node_index);
  if (!old_alias.empty()) uniq_remove(old_alias);
  uniq_add(node->alias);
  if (node->is_wire()) signal_set->rename_all_node_alias(node->name.c_str(), node->alias.c_str());
  return true;
}

bool TDR_TX_TRIGGER::set_group_node_name(int node_index, const char* name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_group_node_name");
  func.append_argument(node_index);
  func.append_argument(name);
  if (!TDR_CHECK(name != NULL && *name != '\0')) return false;
  NODE_TYPE* node = get_node(node_index);
  if (!TDR_CHECK(node != NULL && node->is_group())) return false;
  if (node->name == name) return true;
  if (is_name_in_uniq_set(name)) return false;
  std::string old_name = node->name;
  if (!TDR_TX_SIGNAL_NODES::set_group_node_name(node_index, name)) return false;
  uniq_remove(old_name);
  uniq_add(get_node(node_index)->name);
  return true;
}

bool TDR_TX_TRIGGER::group_node(int first_index, int last_index, NODE_TYPE* template_node) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "group_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  func.append_argument(template_node ? template_node->name.c_str() : nullptr);
  if (!TDR_CHECK(first_index >= 0 && last_index >= 0)) return false;
  int count = get_node_count();
  if (first_index >= count || last_index >= count) return false;
  if (first_index > last_index) std::swap(first_index, last_index);
  if (!TDR_TX_SIGNAL_NODES::group_node(first_index, last_index, template_node)) return false;
  NODE_TYPE* group = get_node(first_index);
  if (!group || !group->is_group()) return true;
  if (is_name_in_uniq_set(group->name)) {
    std::string base = group->name;
    char buffer[32];
    for (int n = 1;; ++n) {
      std::snprintf(buffer, sizeof buffer, " (%d)", n);
      std::string candidate = base + buffer;
      if (!is_name_in_uniq_set(candidate)) {
        TDR_TX_SIGNAL_NODES::set_group_node_name(first_index, candidate.c_str());
        break;
      }
    }
    group = get_node(first_index);
  }
  uniq_add(group->name);
  uniq_add(group->alias);
  return true;
}

bool TDR_TX_TRIGGER::ungroup_node(int node_index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "ungroup_node");
  func.append_argument(node_index);
  if (!TDR_CHECK(node_index >= 0)) return false;
  NODE_TYPE* node = get_node(node_index);
  std::string name, alias;
  bool group = node && node->is_group();
  if (group) {
    name = node->name;
    alias = node->alias;
  }
  bool result = TDR_TX_SIGNAL_NODES::ungroup_node(node_index);
  if (group && (result || get_node(node_index) != node)) {
    uniq_remove(name);
    if (!alias.empty()) uniq_remove(alias);
  }
  return result;
}

int TDR_TX_TRIGGER::copy_before_node(int first_index, int last_index, int node_index,
                                     bool into_group) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "copy_before_node");
  func.append_argument(first_index);
  func.append_argument(last_index);
  func.append_argument(node_index);
  func.append_argument(into_group);
  // Copies would repeat names, which this list never holds twice.
  return -1;
}

bool TDR_TX_TRIGGER::rename_node_name(const char* orig_name, const char* new_name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "rename_node_name");
  func.append_argument(orig_name);
  func.append_argument(new_name);
  if (!TDR_CHECK(orig_name != NULL)) return false;
  for (int i = 0; i < get_node_count(); ++i) {
    if (get_node(i)->name == orig_name) return set_node_name(i, new_name);
  }
  return false;
}

bool TDR_TX_TRIGGER::rename_node_alias(const char* name, const char* alias) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "rename_node_alias");
  func.append_argument(name);
  func.append_argument(alias);
  if (!TDR_CHECK(name != NULL)) return false;
  for (int i = 0; i < get_node_count(); ++i) {
    if (get_node(i)->name == name) return set_node_alias(i, alias);
  }
  return false;
}

void TDR_TX_TRIGGER::set_instance_index(int index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "set_instance_index");
  func.append_argument(index);
  TDR_TX_SIGNAL_NODES::set_instance_index(index);
}

void TDR_TX_TRIGGER::recount_data_trigger_width() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "recount_data_trigger_width");
  m_data_wire_count = 0;
  m_trigger_wire_count = 0;
  for (const NODE_TYPE* node : *m_node_vec) {
    if (node->is_group()) continue;
    if (tdr_captures_data(node->capture_type)) ++m_data_wire_count;
    if (tdr_captures_trigger(node->capture_type)) ++m_trigger_wire_count;
  }
}

void TDR_TX_TRIGGER::sync_upon_capture_type_change() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, true, "sync_upon_capture_type_change");
  TDR_TX_SIGNAL_NODES* signal_set = get_tx_signal_set();
  if (!TDR_CHECK(signal_set != NULL)) return;
  if (!m_capture_type_changed) return;
  bool open_action = m_undo_manager && !m_undo_manager->is_action_open();
  if (open_action) m_undo_manager->begin_action();
  // The carry-over makes no undo actions; the manager drops them while this runs.
  bool was_in_undo_redo = m_undo_manager && m_undo_manager->is_in_undo_redo();
  if (m_undo_manager) m_undo_manager->set_in_undo_redo(true);
  bool deleted = false;
  for (NODE_TYPE* node : *m_node_vec) {
    if (!node->capture_type_changed) continue;
    if (node->capture_type == TDR_WTYPE_TRIGGER_CAPTURE) {
      deleted = signal_set->delete_node(node->name.c_str()) || deleted;
    } else {
      signal_set->append_node_uniq_name(node);
    }
    node->capture_type_changed = false;
  }
  if (m_undo_manager) m_undo_manager->set_in_undo_redo(was_in_undo_redo);
  if (open_action) m_undo_manager->end_action();
  m_capture_type_changed = false;
  // The data-view list's earlier actions would address wrong indices now.
  if (deleted && m_undo_manager) m_undo_manager->clear();
}

// --- undo actions ----------------------------------------------------------------------

bool TDR_TX_UNDO_ACTION_SET_COND::apply(TDR_DATA_TRIGGER_CONDITION condition) {
  bool saved_view = m_trigger->is_power_up_trigger_view();
  m_trigger->set_power_up_trigger_view(m_power_up);
  bool result = m_trigger->set_trigger_condition(m_node_index, m_level, condition);
  m_trigger->set_power_up_trigger_view(saved_view);
  return result;
}

bool TDR_TX_UNDO_ACTION_SET_TRIGGER::undo() {
  m_trigger->resize_levels(m_before.m_trigger_level, &m_slots);
  return m_trigger->restore_properties(&m_before);
}

bool TDR_TX_UNDO_ACTION_SET_TRIGGER::redo() {
  m_trigger->resize_levels(m_after.m_trigger_level, &m_slots);
  return m_trigger->restore_properties(&m_after);
}

bool TDR_TX_UNDO_ACTION_SET_ADV_EXPRESSION::apply(const std::string& text) {
  TDR_TX_GENERIC_TREE_OBJECT* tree = dynamic_cast<TDR_TX_GENERIC_TREE_OBJECT*>(
      m_trigger->get_trigger_adv_condition_root(m_level));
  if (!tree) return false;
  tree->set_expression(m_power_up, text);
  bool saved_view = m_trigger->m_power_up_view;
  m_trigger->m_power_up_view = m_power_up;
  m_trigger->set_trigger_level_adv_condition_modified(m_level, true, true);
  m_trigger->m_power_up_view = saved_view;
  return true;
}
