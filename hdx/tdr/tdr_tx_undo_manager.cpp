#define TDR_SOURCE_FILE "tdr_tx_undo_manager"

#include "tdr_tx_undo_manager.h"

#include "tdr_msg.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_tree_object.h"

namespace {

// The flags in order, so that copies, comparisons and merges treat all twelve.
bool TDR_TX_CHANGE_STATUS::*const FLAGS[] = {
    &TDR_TX_CHANGE_STATUS::m_instance_changed,
    &TDR_TX_CHANGE_STATUS::m_classic_node_changed,
    &TDR_TX_CHANGE_STATUS::m_rivlet_node_changed,
    &TDR_TX_CHANGE_STATUS::m_classic_debug_port_changed,
    &TDR_TX_CHANGE_STATUS::m_rivlet_debug_port_changed,
    &TDR_TX_CHANGE_STATUS::m_signal_set_property_changed,
    &TDR_TX_CHANGE_STATUS::m_trigger_full_changed,
    &TDR_TX_CHANGE_STATUS::m_trigger_changed,
    &TDR_TX_CHANGE_STATUS::m_adv_trigger_full_changed,
    &TDR_TX_CHANGE_STATUS::m_adv_trigger_changed,
    &TDR_TX_CHANGE_STATUS::m_trigger_runtime_changed,
    &TDR_TX_CHANGE_STATUS::m_presentation_changed,
};

}  // namespace

void TDR_TX_CHANGE_STATUS::reset_all() {
  for (auto flag : FLAGS) this->*flag = false;
}

bool TDR_TX_CHANGE_STATUS::is_modified() const {
  for (auto flag : FLAGS) {
    if (this->*flag) return true;
  }
  return false;
}

bool TDR_TX_CHANGE_STATUS::is_signal_set_changed() const {
  return m_classic_node_changed || m_rivlet_node_changed || m_classic_debug_port_changed ||
         m_rivlet_debug_port_changed || m_signal_set_property_changed;
}

bool TDR_TX_CHANGE_STATUS::is_trigger_changed() const {
  return m_trigger_full_changed || m_trigger_changed || m_adv_trigger_full_changed ||
         m_trigger_runtime_changed;
}

bool TDR_TX_CHANGE_STATUS::is_full_compilation() const {
  return m_instance_changed || m_classic_node_changed || m_classic_debug_port_changed ||
         m_signal_set_property_changed || m_trigger_full_changed || m_adv_trigger_full_changed;
}

bool TDR_TX_CHANGE_STATUS::is_rivlet_compilation() const {
  return !is_full_compilation() && (m_rivlet_node_changed || m_rivlet_debug_port_changed);
}

bool TDR_TX_CHANGE_STATUS::operator==(const TDR_TX_CHANGE_STATUS& other) const {
  for (auto flag : FLAGS) {
    if (this->*flag != other.*flag) return false;
  }
  return true;
}

TDR_TX_CHANGE_STATUS& TDR_TX_CHANGE_STATUS::operator|=(const TDR_TX_CHANGE_STATUS& other) {
  for (auto flag : FLAGS) this->*flag = this->*flag || other.*flag;
  return *this;
}

// ---------------------------------------------------------------------------

TDR_TX_UNDO_ACTION::TDR_TX_UNDO_ACTION(TDR_TX_CHANGE_STATUS* change_status,
                                       TDR_TX_INSTANCE* instance)
    : m_change_status(change_status),
      m_instance(instance),
      m_setup_tab_at_begin(instance ? instance->is_setup_tab_selected() : true),
      m_commit_count(current_commit_count()) {}

TDR_TX_UNDO_ACTION::~TDR_TX_UNDO_ACTION() {
  clear_atomic_actions();
  delete m_change_status_begin;
  delete m_change_status_end;
}

void TDR_TX_UNDO_ACTION::clear_atomic_actions() {
  for (TDR_TX_UNDO_ACTION_ATOMIC* atomic : m_undo_atomic_action_vec) delete atomic;
  m_undo_atomic_action_vec.clear();
}

int TDR_TX_UNDO_ACTION::current_commit_count() const {
  return m_instance ? m_instance->get_commit_count() : 0;
}

void TDR_TX_UNDO_ACTION::note_commit_count() { m_commit_count = current_commit_count(); }

void TDR_TX_UNDO_ACTION::begin() {
  if (!m_change_status) return;
  if (!m_change_status_begin) m_change_status_begin = new TDR_TX_CHANGE_STATUS();
  *m_change_status_begin = *m_change_status;
}

void TDR_TX_UNDO_ACTION::end() {
  if (!m_change_status) return;
  if (!m_change_status_end) m_change_status_end = new TDR_TX_CHANGE_STATUS();
  *m_change_status_end = *m_change_status;
}

void TDR_TX_UNDO_ACTION::append(TDR_TX_UNDO_ACTION_ATOMIC* atomic_action) {
  m_undo_atomic_action_vec.push_back(atomic_action);
}

void TDR_TX_UNDO_ACTION::restore_status(const TDR_TX_CHANGE_STATUS* snapshot) {
  if (!m_change_status || !snapshot) return;
  if (current_commit_count() == m_commit_count) {
    *m_change_status = *snapshot;
  } else {
    // A commit wrote this action's state since: what it undoes or redoes now,
    // and whatever else is still pending, must reach the next commit.
    if (m_change_status_begin) *m_change_status |= *m_change_status_begin;
    if (m_change_status_end) *m_change_status |= *m_change_status_end;
  }
  note_commit_count();
}

bool TDR_TX_UNDO_ACTION::undo() {
  bool ok = true;
  for (auto it = m_undo_atomic_action_vec.rbegin(); it != m_undo_atomic_action_vec.rend(); ++it) {
    if (!(*it)->undo()) {
      ok = false;
      break;
    }
  }
  if (m_instance) m_instance->set_setup_tab_selected(m_setup_tab_at_begin);
  restore_status(m_change_status_begin);
  if (!ok) TDR_INTERNAL_ERROR("Undo failed");
  return ok;
}

bool TDR_TX_UNDO_ACTION::redo() {
  bool ok = true;
  for (TDR_TX_UNDO_ACTION_ATOMIC* atomic : m_undo_atomic_action_vec) {
    if (!atomic->redo()) {
      ok = false;
      break;
    }
  }
  if (m_instance) m_instance->set_setup_tab_selected(m_setup_tab_at_begin);
  restore_status(m_change_status_end);
  if (!ok) TDR_INTERNAL_ERROR("Redo failed");
  return ok;
}

// ---------------------------------------------------------------------------

TDR_TX_UNDO_MANAGER::TDR_TX_UNDO_MANAGER(TDR_TX_CHANGE_STATUS* change_status,
                                         TDR_TX_INSTANCE* instance)
    : m_change_status(change_status), m_instance(instance) {}

TDR_TX_UNDO_MANAGER::~TDR_TX_UNDO_MANAGER() {
  clear();
  delete m_current_undo_action;
}

bool TDR_TX_UNDO_MANAGER::is_undo_available() const {
  return !m_undo_action_list.empty() && m_undo_cursor != 0;
}

bool TDR_TX_UNDO_MANAGER::is_redo_available() const {
  return !m_undo_action_list.empty() && m_undo_cursor != m_undo_action_list.size();
}

bool TDR_TX_UNDO_MANAGER::undo() {
  if (!is_undo_available()) return false;
  m_in_undo_redo = true;
  --m_undo_cursor;
  bool ok = m_undo_action_list[m_undo_cursor]->undo();
  m_in_undo_redo = false;
  return ok;
}

bool TDR_TX_UNDO_MANAGER::redo() {
  if (!is_redo_available()) return false;
  m_in_undo_redo = true;
  bool ok = m_undo_action_list[m_undo_cursor]->redo();
  ++m_undo_cursor;
  m_in_undo_redo = false;
  return ok;
}

void TDR_TX_UNDO_MANAGER::begin_action() {
  if (m_current_undo_action) {
    TDR_INTERNAL_ERROR("Previous action has not been terminated in undo manager");
    delete m_current_undo_action;  // an abandoned action would leak otherwise
    m_current_undo_action = nullptr;
  }
  if (m_in_undo_redo) TDR_INTERNAL_ERROR("Undo manager state error");
  m_current_undo_action = new TDR_TX_UNDO_ACTION(m_change_status, m_instance);
  m_current_undo_action->begin();
  tdr_msg_debug("Begin undo action");
}

void TDR_TX_UNDO_MANAGER::append_atomic_action(TDR_TX_UNDO_ACTION_ATOMIC* atomic_action) {
  if (!TDR_CHECK(atomic_action != NULL)) return;
  if (m_in_undo_redo) {
    delete atomic_action;
    return;
  }
  if (!m_current_undo_action) {
    TDR_INTERNAL_ERROR("Action has not been started in undo manager");
    delete atomic_action;
    return;
  }
  m_current_undo_action->append(atomic_action);
  tdr_msg_debug("Add atomic action");
}

void TDR_TX_UNDO_MANAGER::start_pending_plugin_action(TDR_TX_PLUGIN_MNEMONICS_INFO* target) {
  m_pending_plugin_action = new TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO(target);
  m_pending_plugin_action->clone_init_obj();
}

void TDR_TX_UNDO_MANAGER::finish_pending_plugin_action() {
  TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO* pending = m_pending_plugin_action;
  m_pending_plugin_action = nullptr;
  pending->clone_end_obj();
  append_atomic_action(pending);
}

void TDR_TX_UNDO_MANAGER::set_mnemonics_plugin_info_undo_target(
    TDR_TX_PLUGIN_MNEMONICS_INFO* target) {
  if (!m_current_undo_action || m_in_undo_redo) return;
  if (!m_pending_plugin_action) {
    start_pending_plugin_action(target);
    return;
  }
  if (m_pending_plugin_action->get_plugin_target() == target) return;
  finish_pending_plugin_action();
  start_pending_plugin_action(target);
}

bool TDR_TX_UNDO_MANAGER::end_action() {
  if (!m_current_undo_action) {
    TDR_INTERNAL_ERROR("Action has not been started in undo manager");
    return false;
  }
  if (m_in_undo_redo) TDR_INTERNAL_ERROR("Undo manager state error");
  if (m_current_undo_action->get_num_atomic_actions() == 0 && !m_pending_plugin_action) {
    tdr_msg_debug("End undo action without any atomic action");
    delete m_current_undo_action;
    m_current_undo_action = nullptr;
    return false;
  }
  if (m_pending_plugin_action) {
    // Straight into the open action: closing the last run is no new atomic action.
    m_pending_plugin_action->clone_end_obj();
    m_current_undo_action->append(m_pending_plugin_action);
    m_pending_plugin_action = nullptr;
  }
  m_current_undo_action->end();
  TDR_TX_UNDO_ACTION* action = m_current_undo_action;
  m_current_undo_action = nullptr;
  push(action);
  tdr_msg_debug("End undo action with atomic action(s) pushed onto stack");
  return true;
}

void TDR_TX_UNDO_MANAGER::push(TDR_TX_UNDO_ACTION* action) {
  if (!TDR_CHECK(action != NULL)) return;
  for (size_t i = m_undo_cursor; i < m_undo_action_list.size(); ++i) {
    delete m_undo_action_list[i];
  }
  m_undo_action_list.resize(m_undo_cursor);
  action->note_commit_count();
  m_undo_action_list.push_back(action);
  if (m_undo_action_list.size() > static_cast<unsigned>(m_max_undo_steps)) {
    delete m_undo_action_list.front();
    m_undo_action_list.erase(m_undo_action_list.begin());
  }
  m_undo_cursor = m_undo_action_list.size();
}

void TDR_TX_UNDO_MANAGER::pop_action() {
  TDR_TX_UNDO_ACTION* last_action =
      m_undo_action_list.empty() ? nullptr : m_undo_action_list.back();
  if (!TDR_CHECK(last_action != NULL)) return;
  delete last_action;
  m_undo_action_list.pop_back();
  if (m_undo_cursor > m_undo_action_list.size()) m_undo_cursor = m_undo_action_list.size();
}

void TDR_TX_UNDO_MANAGER::clear() {
  for (TDR_TX_UNDO_ACTION* action : m_undo_action_list) delete action;
  m_undo_action_list.clear();
  m_undo_cursor = 0;
  if (m_current_undo_action) m_current_undo_action->clear_atomic_actions();
  delete m_pending_plugin_action;
  m_pending_plugin_action = nullptr;
}
