#define TDR_SOURCE_FILE "tdr_tx_tree_object"

#include "tdr_tx_tree_object.h"

#include "tdr_data_bus_mnemonics_plugin.h"
#include "tdr_data_trigger_adv_tree.h"
#include "tdr_msg.h"

TDR_TX_PLUGIN_MNEMONICS_INFO& TDR_TX_PLUGIN_MNEMONICS_INFO::operator=(
    const TDR_TX_PLUGIN_MNEMONICS_INFO& other) {
  if (this == &other) return *this;
  m_plugin_name = other.m_plugin_name;
  m_table_name = other.m_table_name;
  m_width = other.m_width;
  m_user_options = other.m_user_options;
  m_internal_options = other.m_internal_options;
  return *this;
}

bool TDR_TX_PLUGIN_MNEMONICS_INFO::same_settings(const TDR_TX_PLUGIN_MNEMONICS_INFO& other) const {
  return m_plugin_name == other.m_plugin_name && m_table_name == other.m_table_name &&
         m_width == other.m_width && m_user_options == other.m_user_options &&
         m_internal_options == other.m_internal_options;
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::notify() {
  if (m_undo_manager) m_undo_manager->set_mnemonics_plugin_info_undo_target(this);
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::mark_changed() {
  if (m_change_status) m_change_status->m_presentation_changed = true;
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::set_plugin_name(const char* name) {
  if (!TDR_CHECK(name != NULL) || m_plugin_name == name) return;
  notify();
  m_plugin_name = name;
  notify();
  mark_changed();
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::set_table_name(const char* name) {
  if (!TDR_CHECK(name != NULL) || m_table_name == name) return;
  notify();
  m_table_name = name;
  notify();
  mark_changed();
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::set_width(int width) {
  if (m_width == width) return;
  notify();
  m_width = width;
  notify();
  mark_changed();
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::reset_user_option() {
  notify();
  m_user_options.clear();
  notify();
  mark_changed();
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::reset_internal_option() {
  notify();
  m_internal_options.clear();
  notify();
  mark_changed();
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::add_user_option(const char* name, const char* value,
                                                   TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type) {
  notify();
  m_user_options.push_back({name ? name : "", value ? value : "", type});
  notify();
  mark_changed();
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::add_internal_option(const char* name, const char* value) {
  notify();
  m_internal_options.push_back({name ? name : "", value ? value : "", TDR_OTYPE_STRING_OPTION});
  notify();
  mark_changed();
}

bool TDR_TX_PLUGIN_MNEMONICS_INFO::get_user_option_at(
    int index, std::string* name, std::string* value,
    TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type) const {
  if (!TDR_CHECK(name != NULL) || !TDR_CHECK(value != NULL) || !TDR_CHECK(type != NULL)) {
    return false;
  }
  if (index < 0 || index >= get_user_option_count()) {
    name->clear();
    value->clear();
    return false;
  }
  const OPTION& option = m_user_options[index];
  *name = option.m_name;
  *value = option.m_value;
  *type = option.m_type;
  return true;
}

bool TDR_TX_PLUGIN_MNEMONICS_INFO::get_internal_option_at(int index, std::string* name,
                                                          std::string* value) const {
  if (!TDR_CHECK(name != NULL) || !TDR_CHECK(value != NULL)) return false;
  if (index < 0 || index >= get_internal_option_count()) {
    name->clear();
    value->clear();
    return false;
  }
  *name = m_internal_options[index].m_name;
  *value = m_internal_options[index].m_value;
  return true;
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::init_from_data_node(TDR_DATA_BUS_MNEMONICS_PLUGIN* record) {
  if (!TDR_CHECK(record != NULL)) return;
  const char* plugin = record->get_plugin_name();
  m_plugin_name = plugin ? plugin : "";
  const char* table = record->get_table_name();
  m_table_name = table ? table : "";
  m_width = record->get_width();
  std::string name, value;
  TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type = TDR_OTYPE_STRING_OPTION;
  reset_user_option();
  for (bool more = record->get_first_user_option(&name, &value, &type); more;
       more = record->get_next_user_option(&name, &value, &type)) {
    add_user_option(name.c_str(), value.c_str(), type);
  }
  reset_internal_option();
  for (bool more = record->get_first_internal_option(&name, &value); more;
       more = record->get_next_internal_option(&name, &value)) {
    add_internal_option(name.c_str(), value.c_str());
  }
}

void TDR_TX_PLUGIN_MNEMONICS_INFO::commit_to_data_node(TDR_DATA_BUS_MNEMONICS_PLUGIN* record) const {
  if (!TDR_CHECK(record != NULL)) return;
  record->set_plugin_name(m_plugin_name.c_str());
  record->set_table_name(m_table_name.c_str());
  if (m_width >= 1) record->set_width(m_width);
  record->reset_user_option();
  for (const OPTION& option : m_user_options) {
    record->add_user_option(option.m_name.c_str(), option.m_value.c_str(), option.m_type);
  }
  record->reset_internal_option();
  for (const OPTION& option : m_internal_options) {
    record->add_internal_option(option.m_name.c_str(), option.m_value.c_str());
  }
}

// ---------------------------------------------------------------------------

void TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO::clone_init_obj() {
  if (m_target_plugin_info) m_before = *m_target_plugin_info;
}

void TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO::clone_end_obj() {
  if (m_target_plugin_info) m_after = *m_target_plugin_info;
}

bool TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO::undo() {
  if (!TDR_CHECK(m_target_plugin_info != NULL)) return false;
  *m_target_plugin_info = m_before;
  return true;
}

bool TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO::redo() {
  if (!TDR_CHECK(m_target_plugin_info != NULL)) return false;
  *m_target_plugin_info = m_after;
  return true;
}

// ---------------------------------------------------------------------------

void TDR_TX_TREE_OBJECT::set_attributes(TDR_DATA_STRING_PAIR_VEC* pairs) {
  if (!pairs) return;
  for (size_t i = 0; i < pairs->size(); ++i) {
    const TDR_DATA_STRING_PAIR* pair = (*pairs)[i];
    const char* type = pair ? pair->first.c_str() : nullptr;
    const char* value = pair ? pair->second.c_str() : nullptr;
    if (!TDR_CHECK(type != NULL) || !TDR_CHECK(value != NULL)) continue;
    set_attribute(type, value);
  }
}

void TDR_TX_TREE_OBJECT::get_attributes(TDR_DATA_STRING_PAIR_VEC* pairs) {
  m_attribute_sink = pairs;
  report_attributes();
  m_attribute_sink = nullptr;
}

void TDR_TX_TREE_OBJECT::add_attribute(const char* type, const char* value) {
  if (!TDR_CHECK(type != NULL) || !TDR_CHECK(value != NULL)) return;
  if (!TDR_CHECK(m_attribute_sink != NULL)) return;
  m_attribute_sink->add(type, value);
}

// ---------------------------------------------------------------------------

TDR_TX_GENERIC_TREE_OBJECT::~TDR_TX_GENERIC_TREE_OBJECT() { clear(); }

void TDR_TX_GENERIC_TREE_OBJECT::clear() {
  // Iterative, so that a deep tree from a hostile file cannot exhaust the stack.
  std::vector<TDR_TX_GENERIC_TREE_OBJECT*> pending;
  pending.swap(m_children);
  while (!pending.empty()) {
    TDR_TX_GENERIC_TREE_OBJECT* node = pending.back();
    pending.pop_back();
    pending.insert(pending.end(), node->m_children.begin(), node->m_children.end());
    node->m_children.clear();
    delete node;
  }
  m_attributes.clear();
  m_expression[0].clear();
  m_expression[1].clear();
}

TDR_TX_TREE_OBJECT* TDR_TX_GENERIC_TREE_OBJECT::get_child_at(int index) {
  if (index < 0 || index >= get_num_children()) return nullptr;
  return m_children[index];
}

TDR_TX_TREE_OBJECT* TDR_TX_GENERIC_TREE_OBJECT::create_and_append_child() {
  m_children.push_back(new TDR_TX_GENERIC_TREE_OBJECT());
  return m_children.back();
}

bool TDR_TX_GENERIC_TREE_OBJECT::get_equation(TDR_DATA_MNEMONICS*, TDR_TX_TRIGGER*,
                                              bool power_up, std::string* text) {
  if (!text || m_expression[power_up].empty()) return false;
  *text = m_expression[power_up];
  return true;
}

bool TDR_TX_GENERIC_TREE_OBJECT::copy_to_other_side(bool to_power_up) {
  m_expression[to_power_up] = m_expression[!to_power_up];
  return true;
}

void TDR_TX_GENERIC_TREE_OBJECT::set_attribute(const char* type, const char* value) {
  if (!type || !value) return;
  for (auto& attribute : m_attributes) {
    if (attribute.first == type) {
      attribute.second = value;
      return;
    }
  }
  m_attributes.emplace_back(type, value);
}

void TDR_TX_GENERIC_TREE_OBJECT::report_attributes() {
  for (const auto& attribute : m_attributes) {
    add_attribute(attribute.first.c_str(), attribute.second.c_str());
  }
}
