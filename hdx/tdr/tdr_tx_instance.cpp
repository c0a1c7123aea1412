#define TDR_SOURCE_FILE "tdr_tx_instance"

#include "tdr_tx_instance.h"

#include "tdr_msg.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_session.h"

TDR_TX_INSTANCE::TDR_TX_INSTANCE(int instance_index, TDR_TX_SESSION* tx_session,
                                 TDR_DATA_INSTANCE* data_instance,
                                 TDR_TX_SCRIPT_RECORDER* recorder)
    : m_tx_undo_manager(nullptr),
      m_tx_change_status(new TDR_TX_CHANGE_STATUS()),
      m_tx_session(tx_session),
      m_recorder(recorder),
      m_instance_index(instance_index),
      m_data_instance(data_instance),
      m_incr_cmp_mode(data_instance && data_instance->is_incr_cmp_mode()) {
  m_tx_undo_manager = new TDR_TX_UNDO_MANAGER(m_tx_change_status, this);
}

TDR_TX_INSTANCE::~TDR_TX_INSTANCE() {
  m_tx_undo_manager->clear();
  delete m_tx_undo_manager;
  delete m_tx_change_status;
}

std::string TDR_TX_INSTANCE::get_name(bool power_up) const {
  if (power_up) return m_power_up_name;
  const char* name = m_data_instance ? m_data_instance->get_name() : nullptr;
  return name ? name : "";
}

TDR_DATA_INSTANCE_INFO TDR_TX_INSTANCE::get_node_info() const {
  if (m_data_instance) return m_data_instance->get_node_info();
  return TDR_DATA_INSTANCE_INFO{0, 0, 0, TDR_DATA_INSTANCE::VERSION_NOT_DEFINED,
                                TDR_DATA_INSTANCE::VERSION_NOT_DEFINED};
}

bool TDR_TX_INSTANCE::is_tavrin_instance() const {
  TDR_DATA_INSTANCE_INFO info = get_node_info();
  return info.mfg_id == TDR_DATA_INSTANCE::TAVRIN_MFG_ID && (info.node_id == 0 || info.node_id == 2);
}

bool TDR_TX_INSTANCE::is_current_version() const {
  unsigned char version = get_node_info().version;
  return version == TDR_DATA_INSTANCE::VERSION_NOT_DEFINED ||
         version == TDR_DATA_INSTANCE::CURRENT_VERSION;
}

void TDR_TX_INSTANCE::update_to_current_version() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "update_to_current_version");
  if (m_data_instance && m_data_instance->update_to_current_version() && m_tx_session) {
    m_tx_session->set_undoable_modified_flag();
  }
}

void TDR_TX_INSTANCE::set_incr_cmp_mode(bool mode) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_incr_cmp_mode");
  func.append_argument(mode);
  if (mode == m_incr_cmp_mode) return;
  INSTANCE_PROPERTIES before, after;
  save_properties(&before);
  m_tx_change_status->m_instance_changed = true;
  m_incr_cmp_mode = mode;
  save_properties(&after);
  m_tx_undo_manager->append_atomic_action(new TDR_TX_UNDO_ACTION_SET_INSTANCE(this, before, after));
}

bool TDR_TX_INSTANCE::rename(const char* name) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "rename");
  func.append_argument(name);
  if (!name || !m_data_instance) return false;
  return m_data_instance->set_name(name);
}

void TDR_TX_INSTANCE::set_setup_tab_selected(bool selected) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_setup_tab_selected");
  func.append_argument(selected);
  m_setup_tab_selected = selected;
}

bool TDR_TX_INSTANCE::undo() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "undo");
  return m_tx_undo_manager->undo();
}

bool TDR_TX_INSTANCE::redo() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "redo");
  return m_tx_undo_manager->redo();
}

void TDR_TX_INSTANCE::set_max_undo_steps(int steps) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_max_undo_steps");
  func.append_argument(steps);
  m_tx_undo_manager->set_max_undo_steps(steps);
}

void TDR_TX_INSTANCE::begin_action() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "begin_action");
  m_tx_undo_manager->begin_action();
}

void TDR_TX_INSTANCE::end_action() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "end_action");
  m_tx_undo_manager->end_action();
}

bool TDR_TX_INSTANCE::save_properties(INSTANCE_PROPERTIES* properties) const {
  if (!TDR_CHECK(properties != NULL)) return false;
  properties->m_incr_cmp_mode = m_incr_cmp_mode;
  return true;
}

bool TDR_TX_INSTANCE::restore_properties(const INSTANCE_PROPERTIES* properties) {
  if (!TDR_CHECK(properties != NULL)) return false;
  m_incr_cmp_mode = properties->m_incr_cmp_mode;
  return true;
}

bool TDR_TX_INSTANCE::commit() {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "commit");
  if (m_data_instance) m_data_instance->set_incr_cmp_mode(m_incr_cmp_mode);
  m_tx_change_status->m_instance_changed = false;
  ++m_commit_count;
  return true;
}

bool TDR_TX_INSTANCE::set_position_data(const char* name, int value) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_position_data");
  func.append_argument(name);
  func.append_argument(value);
  if (!name || !m_data_instance) return false;
  return m_data_instance->set_position_data(name, value, false);
}

bool TDR_TX_INSTANCE::set_position_data(const char* name, const int* values, int count) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_position_data");
  func.append_argument(name);
  func.append_argument(values, count);
  if (!name || !m_data_instance) return false;
  return m_data_instance->set_position_data(name, values, count, false);
}

int TDR_TX_INSTANCE::get_position_data(const char* name) const {
  return m_data_instance ? m_data_instance->get_position_data(name) : -1;
}

int TDR_TX_INSTANCE::get_position_data(const char* name, int* values) const {
  return m_data_instance ? m_data_instance->get_position_data(name, values) : -1;
}

bool TDR_TX_INSTANCE::set_expanded_status(bool expanded) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_expanded_status");
  func.append_argument(expanded);
  if (!m_data_instance) return false;
  m_data_instance->set_expanded_status(expanded);
  return true;
}

bool TDR_TX_INSTANCE::is_expanded() const {
  return m_data_instance ? m_data_instance->is_expanded() : true;
}

void TDR_TX_INSTANCE::set_instance_index(int index) {
  TDR_TX_RECORD(func, m_recorder, m_instance_index, "set_instance_index");
  func.append_argument(index);
  m_instance_index = index;
}
