#define TDR_SOURCE_FILE "tdr_tx_session"

#include "tdr_tx_session.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "gen.h"
#include "tci.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_msg.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_recorder.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_tree_object.h"
#include "tdr_tx_trigger.h"

namespace {

// The word a script uses for a global-temp object in place of its name.
const char USE_GLOBAL_TEMP[] = "USE_GLOBAL_TEMP";

template <typename T>
const char* script_name(const T* object) {
  if (!object) return nullptr;
  return object->is_global_temp() ? USE_GLOBAL_TEMP : object->get_name();
}

// A name as the caller gave it, unless it found a global-temp object.
template <typename T>
const char* script_name(const T* found, const char* name) {
  return found && found->is_global_temp() ? USE_GLOBAL_TEMP : name;
}

// Children by name: the listed child, else the global-temp child of that name;
// the script word names the global-temp child.
TDR_DATA_SIGNAL_SET* find_signal_set(TDR_DATA_INSTANCE* instance, const char* name) {
  if (!instance || !name) return nullptr;
  if (gen_strcmp(name, USE_GLOBAL_TEMP) == 0) return instance->get_global_signal_set();
  return instance->find_signal_set(name);
}

TDR_DATA_TRIGGER* find_trigger(TDR_DATA_SIGNAL_SET* signal_set, const char* name) {
  if (!signal_set || !name) return nullptr;
  if (gen_strcmp(name, USE_GLOBAL_TEMP) == 0) return signal_set->get_global_trigger();
  return signal_set->find_trigger(name);
}

TDR_DATA_LOG* find_log(TDR_DATA_TRIGGER* trigger, const char* name) {
  if (!trigger || !name) return nullptr;
  if (gen_strcmp(name, USE_GLOBAL_TEMP) == 0) return trigger->get_global_log();
  return trigger->find_log(name);
}

bool log_belongs_to(const TDR_DATA_LOG* log, const TDR_DATA_TRIGGER* trigger) {
  if (!log || !trigger) return false;
  if (trigger->get_global_log() == log) return true;
  for (int i = 0; i < trigger->get_num_logs(); ++i) {
    if (trigger->get_log_at(i) == log) return true;
  }
  return false;
}

// Raises the recorder's depth for its lifetime, so the calls made meanwhile
// are nested in the script.
class NESTED_CALLS {
 public:
  explicit NESTED_CALLS(TDR_TX_SCRIPT_RECORDER* recorder)
      : m_recorder(recorder->is_enabled() ? recorder : nullptr) {
    if (m_recorder) m_recorder->raise_depth();
  }
  ~NESTED_CALLS() { release(); }
  void release() {
    if (m_recorder) m_recorder->lower_depth();
    m_recorder = nullptr;
  }

 private:
  TDR_TX_SCRIPT_RECORDER* m_recorder;
};

}  // namespace

TDR_TX_SESSION::DATA_GROUP::~DATA_GROUP() {
  delete m_tx_signal_set;
  delete m_tx_trigger;
  delete m_tx_instance;
}

TDR_TX_SESSION::TDR_TX_SESSION(TDR_TX_TREE_OBJECT* tree)
    : m_data_manager(TDR_DATA_MANAGER::get_data_repository_manager()),
      m_tree_object(tree),
      m_script_recorder(new TDR_TX_SCRIPT_RECORDER()) {
  TDR_CHECK(m_data_manager != NULL);
  if (!m_tree_object) m_tree_object = m_own_tree = new TDR_TX_GENERIC_TREE_OBJECT();
}

TDR_TX_SESSION::~TDR_TX_SESSION() {
  if (m_data_session) close_session();
  delete_groups();
  delete m_own_tree;
  delete m_script_recorder;
}

// --- session life ------------------------------------------------------------

void TDR_TX_SESSION::delete_groups() {
  for (DATA_GROUP* group : m_data_group) delete group;
  m_data_group.clear();
}

TDR_TX_SESSION::DATA_GROUP* TDR_TX_SESSION::build_group(int index) {
  TDR_DATA_INSTANCE* instance = m_data_session->get_instance_at(index);
  DATA_GROUP* group = new DATA_GROUP();
  // In the list first: the working copies find each other through the session.
  if (index >= int(m_data_group.size())) m_data_group.resize(size_t(index) + 1, nullptr);
  m_data_group[size_t(index)] = group;
  group->m_tx_instance = new TDR_TX_INSTANCE(index, this, instance, m_script_recorder);
  TDR_TX_UNDO_MANAGER* undo = group->m_tx_instance->get_undo_manager();
  TDR_TX_CHANGE_STATUS* status = group->m_tx_instance->get_change_status();
  TDR_DATA_SIGNAL_SET* signal_set = instance ? instance->get_last_signal_set() : nullptr;
  TDR_DATA_TRIGGER* trigger = signal_set ? signal_set->get_last_trigger() : nullptr;
  if (signal_set) {
    group->m_tx_signal_set =
        new TDR_TX_SIGNAL_SET(index, this, signal_set, undo, status, m_script_recorder);
  } else {
    group->m_tx_signal_set = new TDR_TX_SIGNAL_SET(index, this, undo, status, m_script_recorder);
  }
  if (trigger) {
    group->m_tx_trigger =
        new TDR_TX_TRIGGER(index, this, trigger, undo, status, m_tree_object, m_script_recorder);
    group->m_active_log = trigger->get_last_log();
  } else {
    group->m_tx_trigger =
        new TDR_TX_TRIGGER(index, this, undo, status, m_tree_object, m_script_recorder);
    if (signal_set) group->m_tx_trigger->init(signal_set->get_setup_view());
  }
  if (group->m_active_log) group->m_tx_instance->set_setup_tab_selected(false);
  group->m_tx_trigger->set_the_other_signal_nodes(group->m_tx_signal_set);
  group->m_tx_signal_set->set_the_other_signal_nodes(group->m_tx_trigger);
  return group;
}

bool TDR_TX_SESSION::open_session(TDR_DATA_SESSION* data_session) {
  if (m_data_session && m_data_session != data_session) close_session();
  delete_groups();
  if (!data_session) return false;
  int num_instance = data_session->get_num_instances();
  if (!TDR_CHECK(num_instance >= 1)) return false;
  m_data_session = data_session;
  m_modified = false;
  m_script_recorder->set_data_session(data_session);
  if (m_script_recorder->is_enabled()) {
    const char* name = data_session->get_name();
    m_script_recorder->write_comment_line(std::string("// open_session '") + (name ? name : "") +
                                          "'");
    m_script_recorder->make_session_check_point(true);
  }
  NESTED_CALLS nested(m_script_recorder);
  for (int i = 0; i < num_instance; ++i) build_group(i);
  return true;
}

bool TDR_TX_SESSION::open_session(const char* name) {
  if (m_data_session) close_session();
  TDR_DATA_SESSION* data_session = m_data_manager->open_session(name);
  if (!data_session) {
    tdr_msg_debug("tvf tx: cannot open session %s; a new session is created", name ? name : "");
    return create_session(name);
  }
  if (data_session->get_num_instances() < 1) {
    tdr_msg_debug("tvf tx: session %s holds no instance; a new session is created",
                  name ? name : "");
    m_data_manager->close_session(data_session->get_name());
    return create_session(name);
  }
  return open_session(data_session);
}

bool TDR_TX_SESSION::create_session(const char* name) {
  if (m_data_session) close_session();
  delete_groups();
  TDR_DATA_SESSION* data_session = m_data_manager->create_session(name);
  if (!data_session) return false;
  m_data_session = data_session;
  m_modified = false;
  m_script_recorder->set_data_session(data_session);
  m_script_recorder->write_comment_line(std::string("// create_session '") + (name ? name : "") +
                                        "'");
  NESTED_CALLS nested(m_script_recorder);
  bool created = create_tavrin_instance(nullptr);
  nested.release();
  if (m_script_recorder->is_enabled()) m_script_recorder->make_session_check_point(true);
  return created;
}

bool TDR_TX_SESSION::close_session() {
  TDR_TX_RECORD(func, m_script_recorder, "close_session");
  delete_groups();
  if (!m_data_session) return false;
  TDR_DATA_SESSION* data_session = m_data_session;
  m_data_session = nullptr;
  m_script_recorder->set_data_session(nullptr);
  m_modified = false;
  const char* name = data_session->get_name();
  if (name && m_data_manager->find(name) == data_session) {
    return m_data_manager->close_session(name);
  }
  return m_data_manager->close_independent_session(data_session);
}

bool TDR_TX_SESSION::is_modified() const {
  if (m_modified) return true;
  for (const DATA_GROUP* group : m_data_group) {
    if (group && group->m_tx_instance && group->m_tx_instance->is_modified()) return true;
  }
  return false;
}

void TDR_TX_SESSION::set_undoable_modified_flag() {
  TDR_TX_RECORD(func, m_script_recorder, "set_undoable_modified_flag");
  m_modified = true;
}

void TDR_TX_SESSION::disable_script_recording() { m_script_recorder->disable(); }

bool TDR_TX_SESSION::commit_session() {
  bool ok = true;
  for (int i = 0; i < int(m_data_group.size()); ++i) {
    if (!commit_instance_at(i, true)) ok = false;
  }
  return ok;
}

bool TDR_TX_SESSION::commit_instance_at(int instance_index, bool discard_unlogged) {
  TDR_TX_RECORD(func, m_script_recorder, "commit_instance_at");
  func.append_argument(instance_index);
  func.append_argument(discard_unlogged);
  DATA_GROUP* group = group_at(instance_index, true);
  if (!group || !m_data_session) return false;
  TDR_TX_INSTANCE* tx_instance = group->m_tx_instance;
  TDR_TX_SIGNAL_SET* tx_signal_set = group->m_tx_signal_set;
  TDR_TX_TRIGGER* tx_trigger = group->m_tx_trigger;
  if (!TDR_CHECK(tx_instance != NULL) || !TDR_CHECK(tx_signal_set != NULL) ||
      !TDR_CHECK(tx_trigger != NULL)) {
    return false;
  }
  TDR_DATA_INSTANCE_INFO info = tx_instance->get_node_info();
  if (info.mfg_id == TDR_DATA_INSTANCE::TAVRIN_MFG_ID && info.node_id == 2) {
    bool full = false, rivlet = false;
    if (tx_instance->is_full_compilation()) tx_signal_set->check_compilation_type(&full, &rivlet);
    if (!full) tx_trigger->check_compilation_type(&full, &rivlet);
    tx_trigger->set_crc_value_inheritable(!full);
  }
  TDR_DATA_LOG* old_log = group->m_active_log;
  bool old_log_global = old_log && old_log->is_global_temp();
  std::string old_log_name = old_log && !old_log_global ? old_log->get_name() : "";

  tx_instance->commit();
  bool ok = tx_signal_set->commit(tx_instance->get_data_instance(), discard_unlogged) &&
            tx_trigger->commit(tx_signal_set->get_data_signal_set(), discard_unlogged);
  if (!ok) return false;

  TDR_DATA_TRIGGER* trigger = tx_trigger->get_data_trigger();
  if (!trigger || !trigger->is_global_temp()) {
    if (old_log && !log_belongs_to(old_log, trigger)) group->m_active_log = nullptr;
  } else if (trigger->get_num_logs() == 0 && !trigger->get_global_log() && old_log &&
             !old_log_global) {
    // The scratch trigger takes over what the editor shows.
    TDR_DATA_LOG* log = trigger->create_log(old_log_name.c_str(), true);
    if (log) log->copy_data(old_log);
    group->m_active_log = log;
  } else {
    group->m_active_log = trigger->get_global_log();
  }
  return true;
}

bool TDR_TX_SESSION::save_session(const char* name) {
  if (m_script_recorder->is_enabled()) {
    m_script_recorder->write_comment_line(std::string("// save_session '") + (name ? name : "") +
                                          "'");
  }
  if (!m_data_session) return false;
  NESTED_CALLS nested(m_script_recorder);
  bool ok = commit_session();
  if (ok) {
    m_data_session->reset_active_tree();
    for (DATA_GROUP* group : m_data_group) {
      if (group->m_active_log) {
        m_data_session->add_active_branch(group->m_active_log);
      } else if (TDR_DATA_TRIGGER* trigger = group->m_tx_trigger->get_data_trigger()) {
        m_data_session->add_active_branch(trigger);
      }
    }
    // What reading writes back, written now: a saved file reopened and saved
    // again gives the same bytes, also after instances were created here.
    for (int i = 0; i < m_data_session->get_num_instances(); ++i) {
      TDR_DATA_INSTANCE* instance = m_data_session->get_instance_at(i);
      instance->set_expanded_status(instance->is_expanded());
    }
    m_data_session->write_global_info();
    ok = m_data_session->save_as(name, true, false);
    if (ok) m_modified = false;
  }
  nested.release();
  if (m_script_recorder->is_enabled()) m_script_recorder->make_session_check_point();
  return ok;
}

// --- views and working objects -----------------------------------------------

int TDR_TX_SESSION::get_num_instances() const {
  int views = 0;
  for (const DATA_GROUP* group : m_data_group) {
    views += 1 + (group->m_tx_trigger && group->m_tx_trigger->is_power_up_trigger_mode());
  }
  return views;
}

int TDR_TX_SESSION::translate_instance_index(int view) const {
  if (view < 0) return -1;
  int first = 0;
  for (int i = 0; i < int(m_data_group.size()); ++i) {
    const DATA_GROUP* group = m_data_group[size_t(i)];
    int views = 1 + (group->m_tx_trigger && group->m_tx_trigger->is_power_up_trigger_mode());
    if (view < first + views) return i;
    first += views;
  }
  return -1;
}

bool TDR_TX_SESSION::is_power_up_view(int view) const {
  if (!TDR_CHECK(view >= 0)) return false;
  int first = 0;
  for (const DATA_GROUP* group : m_data_group) {
    bool power_up = group->m_tx_trigger && group->m_tx_trigger->is_power_up_trigger_mode();
    if (view == first) return false;
    if (power_up && view == first + 1) return true;
    first += 1 + power_up;
  }
  return false;
}

bool TDR_TX_SESSION::is_power_up_trigger(int view) const {
  const DATA_GROUP* group = group_at(view, false);
  return group && group->m_tx_trigger && group->m_tx_trigger->is_power_up_trigger_mode();
}

TDR_TX_SESSION::DATA_GROUP* TDR_TX_SESSION::group_at(int index, bool is_instance_index) const {
  if (!is_instance_index) {
    if (index < 0 || index >= get_num_instances()) return nullptr;
    index = translate_instance_index(index);
  }
  if (index < 0 || index >= int(m_data_group.size())) return nullptr;
  return m_data_group[size_t(index)];
}

TDR_TX_INSTANCE* TDR_TX_SESSION::get_instance_at(int index, bool is_instance_index) const {
  DATA_GROUP* group = group_at(index, is_instance_index);
  return group ? group->m_tx_instance : nullptr;
}

TDR_TX_SIGNAL_SET* TDR_TX_SESSION::get_signal_set_at(int index, bool is_instance_index) const {
  DATA_GROUP* group = group_at(index, is_instance_index);
  return group ? group->m_tx_signal_set : nullptr;
}

TDR_TX_TRIGGER* TDR_TX_SESSION::get_trigger_at(int index, bool is_instance_index) const {
  DATA_GROUP* group = group_at(index, is_instance_index);
  return group ? group->m_tx_trigger : nullptr;
}

TDR_DATA_LOG* TDR_TX_SESSION::get_log_at(int index, bool is_instance_index) const {
  DATA_GROUP* group = group_at(index, is_instance_index);
  return group ? group->m_active_log : nullptr;
}

int TDR_TX_SESSION::find_instance_index(const char* name) const {
  if (!m_data_session || !name) return -1;
  TDR_DATA_INSTANCE* instance = m_data_session->find_instance(name);
  if (!instance) return -1;
  for (int i = 0; i < m_data_session->get_num_instances(); ++i) {
    if (m_data_session->get_instance_at(i) == instance) return i;
  }
  return -1;
}

bool TDR_TX_SESSION::duplicate_trigger_to_other(int view) {
  TDR_TX_TRIGGER* trigger = get_trigger_at(view, false);
  if (!trigger) return false;
  return trigger->duplicate_trigger_to_other(is_power_up_view(view));
}

void TDR_TX_SESSION::get_all_available_trigger_out_target_at(
    int view, std::vector<const char*>* trig_out_vec) {
  if (!TDR_CHECK(trig_out_vec != NULL)) return;
  trig_out_vec->clear();
  int own = translate_instance_index(view);
  if (own < 0) return;
  for (int i = 0; i < int(m_data_group.size()); ++i) {
    if (i == own) continue;
    DATA_GROUP* group = m_data_group[size_t(i)];
    group->m_trigger_out_target =
        group->m_tx_instance->get_name(false) + TDR_TRIGGER_IN_PORT_NAME;
    trig_out_vec->push_back(group->m_trigger_out_target.c_str());
  }
}

// --- instances ---------------------------------------------------------------

bool TDR_TX_SESSION::create_tavrin_instance(const char* name) {
  TDR_TX_RECORD(func, m_script_recorder, "create_tavrin_instance");
  func.append_argument(name);
  if (!m_data_session) return false;
  TDR_DATA_INSTANCE* instance = m_data_session->create_tavrin_instance(name);
  if (!instance) return false;
  int index = m_data_session->get_num_instances() - 1;
  DATA_GROUP* group = new DATA_GROUP();
  m_data_group.push_back(group);
  group->m_tx_instance = new TDR_TX_INSTANCE(index, this, instance, m_script_recorder);
  TDR_TX_UNDO_MANAGER* undo = group->m_tx_instance->get_undo_manager();
  TDR_TX_CHANGE_STATUS* status = group->m_tx_instance->get_change_status();
  group->m_tx_signal_set = new TDR_TX_SIGNAL_SET(index, this, undo, status, m_script_recorder);
  group->m_tx_trigger =
      new TDR_TX_TRIGGER(index, this, undo, status, m_tree_object, m_script_recorder);
  group->m_tx_trigger->set_the_other_signal_nodes(group->m_tx_signal_set);
  group->m_tx_signal_set->set_the_other_signal_nodes(group->m_tx_trigger);
  set_undoable_modified_flag();
  return true;
}

bool TDR_TX_SESSION::remove_tavrin_instance(int view) {
  TDR_TX_RECORD(func, m_script_recorder, "remove_tavrin_instance");
  func.append_argument(view);
  int index = translate_instance_index(view);
  DATA_GROUP* group = group_at(index, true);
  if (!group || !m_data_session) return false;
  TDR_TX_UNDO_MANAGER* undo = group->m_tx_instance->get_undo_manager();
  if (!undo->is_action_open()) undo->begin_action();
  // Releases the links other instances have to this one.
  TDR_TX_SIGNAL_SET* signal_set = group->m_tx_signal_set;
  signal_set->set_trigger_in_enabled(false);
  signal_set->set_trigger_in_node("");
  signal_set->set_trigger_out_enabled(false);
  signal_set->set_trigger_out_node("");
  TDR_DATA_INSTANCE* instance = group->m_tx_instance->get_data_instance();
  if (instance) instance->remove();
  delete group;
  m_data_group.erase(m_data_group.begin() + index);
  for (int i = index; i < int(m_data_group.size()); ++i) {
    DATA_GROUP* later = m_data_group[size_t(i)];
    later->m_tx_instance->set_instance_index(i);
    later->m_tx_signal_set->set_instance_index(i);
    later->m_tx_trigger->set_instance_index(i);
  }
  set_undoable_modified_flag();
  return true;
}

bool TDR_TX_SESSION::set_power_up_trigger_mode(int view, bool power_up_mode) {
  TDR_TX_RECORD(func, m_script_recorder, "set_power_up_trigger_mode");
  func.append_argument(view);
  func.append_argument(power_up_mode);
  TDR_TX_TRIGGER* trigger = get_trigger_at(view, false);
  return trigger && trigger->set_power_up_trigger_mode(power_up_mode);
}

// --- logs ----------------------------------------------------------------------

TDR_DATA_LOG* TDR_TX_SESSION::create_new_log(int view) {
  TDR_TX_RECORD(func, m_script_recorder, "create_new_log");
  func.append_argument(view);
  int index = translate_instance_index(view);
  DATA_GROUP* group = group_at(index, true);
  if (!group || !m_data_session) return nullptr;
  commit_instance_at(index, true);
  TDR_DATA_TRIGGER* trigger = group->m_tx_trigger->get_data_trigger();
  if (!trigger) return nullptr;
  bool logging = m_data_session->is_gui_logging_enabled();
  TDR_DATA_LOG* log = trigger->create_log(nullptr, !logging);
  if (!log) return nullptr;
  set_undoable_modified_flag();
  if (!logging) group->m_active_log = log;
  return log;
}

bool TDR_TX_SESSION::remove_current_log(int view) {
  TDR_TX_RECORD(func, m_script_recorder, "remove_current_log");
  func.append_argument(view);
  DATA_GROUP* group = group_at(view, false);
  if (!group || !group->m_active_log) return false;
  if (!group->m_active_log->is_global_temp()) group->m_active_log->remove();
  group->m_active_log = nullptr;
  set_undoable_modified_flag();
  return true;
}

bool TDR_TX_SESSION::save_to_log(int view) {
  TDR_TX_RECORD(func, m_script_recorder, "save_to_log");
  func.append_argument(view);
  int index = translate_instance_index(view);
  DATA_GROUP* group = group_at(index, true);
  if (!group || !m_data_session) return false;
  if (m_data_session->is_gui_logging_enabled()) return commit_instance_at(index, false);
  TDR_DATA_LOG* source = group->m_active_log;
  set_gui_logging(true);
  bool ok = commit_instance_at(index, false);
  TDR_DATA_TRIGGER* trigger = group->m_tx_trigger->get_data_trigger();
  if (trigger && source) {
    TDR_DATA_LOG* log = trigger->create_log(nullptr, false);
    if (log) {
      group->m_active_log = log;
      log->copy_data(source);
    }
  }
  set_gui_logging(false);
  set_undoable_modified_flag();
  return ok;
}

bool TDR_TX_SESSION::set_active_log(int view, TDR_DATA_LOG* log) {
  TDR_TX_RECORD(func, m_script_recorder, "set_active_log");
  func.append_argument(view);
  func.append_argument(log ? script_name(log->get_signal_set()) : nullptr);
  func.append_argument(log ? script_name(log->get_trigger()) : nullptr);
  func.append_argument(script_name(log));
  DATA_GROUP* group = group_at(view, false);
  if (!group) return false;
  group->m_active_log = log;
  set_undoable_modified_flag();
  return true;
}

bool TDR_TX_SESSION::set_active(int view, const char* signal_set_name, const char* trigger_name,
                                const char* log_name) {
  DATA_GROUP* named_group = group_at(view, false);
  TDR_DATA_INSTANCE* named_instance =
      named_group && named_group->m_tx_instance ? named_group->m_tx_instance->get_data_instance()
                                                : nullptr;
  TDR_DATA_SIGNAL_SET* signal_set = find_signal_set(named_instance, signal_set_name);
  TDR_DATA_TRIGGER* trigger = find_trigger(signal_set, trigger_name);
  TDR_DATA_LOG* log = find_log(trigger, log_name);
  TDR_TX_RECORD(func, m_script_recorder, "set_active");
  func.append_argument(view);
  func.append_argument(script_name(signal_set, signal_set_name));
  func.append_argument(script_name(trigger, trigger_name));
  func.append_argument(script_name(log, log_name));
  int instance_index = translate_instance_index(view);
  if (!TDR_CHECK(instance_index >= 0)) return false;
  DATA_GROUP* group = group_at(instance_index, true);
  if (!TDR_CHECK(group != NULL)) return false;
  if (!group->m_tx_instance) {
    TDR_INTERNAL_ERROR("(*m_data_group)[instance_index]->m_tx_instance != NULL");
    return false;
  }
  if (!group->m_tx_signal_set) {
    TDR_INTERNAL_ERROR("(*m_data_group)[instance_index]->m_tx_signal_set != NULL");
    return false;
  }
  if (!group->m_tx_trigger) {
    TDR_INTERNAL_ERROR("(*m_data_group)[instance_index]->m_tx_trigger != NULL");
    return false;
  }
  if (signal_set) {
    group->m_tx_signal_set->init(signal_set);
  } else {
    group->m_tx_signal_set->init();
  }
  if (trigger) {
    group->m_tx_trigger->init(trigger);
  } else if (signal_set) {
    group->m_tx_trigger->init(signal_set->get_setup_view());
  } else {
    group->m_tx_trigger->init();
  }
  group->m_active_log = log;
  group->m_tx_instance->set_setup_tab_selected(log == nullptr);
  set_undoable_modified_flag();
  return true;
}

bool TDR_TX_SESSION::remove(int view, const char* signal_set_name, const char* trigger_name,
                            const char* log_name) {
  DATA_GROUP* group = group_at(view, false);
  TDR_DATA_INSTANCE* instance =
      group && group->m_tx_instance ? group->m_tx_instance->get_data_instance() : nullptr;
  TDR_DATA_SIGNAL_SET* signal_set = find_signal_set(instance, signal_set_name);
  TDR_DATA_TRIGGER* trigger = find_trigger(signal_set, trigger_name);
  TDR_DATA_LOG* log = find_log(trigger, log_name);
  TDR_TX_RECORD(func, m_script_recorder, "remove");
  func.append_argument(view);
  func.append_argument(script_name(signal_set, signal_set_name));
  func.append_argument(script_name(trigger, trigger_name));
  func.append_argument(script_name(log, log_name));
  if (!signal_set_name) return remove_tavrin_instance(view);
  if (!group) return false;
  if (!signal_set) return false;
  TDR_DATA_LOG* active = group->m_active_log;
  if (trigger_name) {
    if (!trigger) return false;
    if (log_name) {
      if (!log) return false;
      if (active == log) group->m_active_log = nullptr;
      log->remove();
    } else {
      if (log_belongs_to(active, trigger)) group->m_active_log = nullptr;
      if (group->m_tx_trigger->get_data_trigger() == trigger) {
        group->m_tx_trigger->init(signal_set->get_setup_view());
      }
      trigger->remove();
    }
  } else {
    if (active && active->get_signal_set() == signal_set) group->m_active_log = nullptr;
    if (group->m_tx_signal_set->get_data_signal_set() == signal_set) {
      group->m_tx_signal_set->init();
      group->m_tx_trigger->init();
    } else if (group->m_tx_trigger->get_data_trigger() &&
               group->m_tx_trigger->get_data_trigger()->get_signal_set() == signal_set) {
      group->m_tx_trigger->init();
    }
    signal_set->remove();
  }
  set_undoable_modified_flag();
  return true;
}

// --- estimates -------------------------------------------------------------------

int TDR_TX_SESSION::get_hub_lcell_usage_per_inst() const {
  if (m_data_group.empty()) return 0;
  unsigned t = unsigned(translate_instance_index(get_num_instances() - 1));
  return int((unsigned(t * 27.222) + 101u) / (t + 1u));
}

int TDR_TX_SESSION::get_instance_lcell_usage_alone(int instance_index) const {
  const DATA_GROUP* group = group_at(instance_index, true);
  if (!group || !group->m_tx_signal_set) return 0;
  const TDR_TX_SIGNAL_SET* signal_set = group->m_tx_signal_set;
  const TDR_TX_TRIGGER* trigger = group->m_tx_trigger;
  int w = std::max({trigger ? trigger->get_data_wire_count() : 0,
                    trigger ? trigger->get_trigger_wire_count() : 0,
                    signal_set->get_reserved_data_node_size(),
                    signal_set->get_reserved_trigger_node_size()});
  int s = 0;
  int depth = signal_set->get_sample_depth();
  if (depth <= 0) {
    s = 6;
  } else {
    for (; depth > 1; depth /= 2) ++s;
  }
  int levels = trigger ? trigger->get_trigger_level() : 1;
  int usage = 0;
  if (w > 0) {
    usage = int((levels - 1) * 10.5) + int((w - 1) * ((levels - 1) * 6.342 + 10.419)) +
            int((s - 6) * 8.0) + 135;
  }
  // Advanced levels are accounted for even without any wire.
  if (!trigger) return usage;
  int reserved = signal_set->get_reserved_trigger_node_size();
  int classic_trigger_nodes = -1;  // counted once, when first needed
  for (int level = 0; level < levels; ++level) {
    if (trigger->is_trigger_level_basic_condition(level)) continue;
    usage -= int((w - 1) * 7.4);
    TCI_ADVANCED_TRIGGER_FACTORY* factory = trigger->get_level_factory(level, false);
    if (factory && factory->get_root()) {
      usage += TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root());
    }
    if (reserved > 0) {
      if (classic_trigger_nodes < 0) {
        classic_trigger_nodes = 0;
        for (int i = 0; i < trigger->get_node_count(); ++i) {
          const TDR_TX_SIGNAL_NODES::NODE_TYPE* node = trigger->get_node(i);
          if (node->is_wire() && (node->capture_type == TDR_WTYPE_TRIGGER_CAPTURE ||
                                  node->capture_type == TDR_WTYPE_BOTH_CAPTURE) &&
              node->tap_mode == TDR_MTYPE_CLASSIC_TAP) {
            ++classic_trigger_nodes;
          }
        }
      }
      if (classic_trigger_nodes < reserved) usage += int((reserved - classic_trigger_nodes) * 7.4);
    }
  }
  return usage;
}

int TDR_TX_SESSION::get_instance_estimated_lcell_count_at(int view) const {
  if (view < 0 || view >= get_num_instances() || is_power_up_view(view)) return 0;
  int alone = get_instance_lcell_usage_alone(translate_instance_index(view));
  return alone == 0 ? 0 : alone + get_hub_lcell_usage_per_inst();
}

int TDR_TX_SESSION::get_instance_ram_bits_usage_at(int view) const {
  const DATA_GROUP* group = group_at(view, false);
  if (!group || !group->m_tx_signal_set || !group->m_tx_trigger) return 0;
  int64_t width = std::max(group->m_tx_signal_set->get_reserved_data_node_size(),
                           group->m_tx_trigger->get_data_wire_count());
  int64_t bits = width * int64_t(group->m_tx_signal_set->get_sample_depth());
  return int(std::min<int64_t>(std::max<int64_t>(bits, INT_MIN), INT_MAX));
}

int TDR_TX_SESSION::get_instance_ram_type_at(int view) const {
  const DATA_GROUP* group = group_at(view, false);
  if (!group || !group->m_tx_signal_set) return 4;
  return group->m_tx_signal_set->get_velarn_ram_type();
}

void TDR_TX_SESSION::check_instance_compilation_type_at(int view, bool* is_full,
                                                        bool* is_rivlet) {
  if (!TDR_CHECK(is_full != NULL) || !TDR_CHECK(is_rivlet != NULL)) return;
  *is_full = false;
  *is_rivlet = false;
  DATA_GROUP* group = group_at(view, false);
  if (!group) return;
  if (group->m_tx_instance->is_full_compilation()) {
    group->m_tx_signal_set->check_compilation_type(is_full, is_rivlet);
  }
  if (!*is_full) group->m_tx_trigger->check_compilation_type(is_full, is_rivlet);
}

// --- session-wide settings --------------------------------------------------------

namespace {

bool same_text(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::string(a) == b;
}

}  // namespace

const char* TDR_TX_SESSION::get_jtag_chain_name() const {
  return m_data_session ? m_data_session->get_jtag_chain_name() : nullptr;
}

void TDR_TX_SESSION::set_jtag_chain_name(const char* name) {
  TDR_TX_RECORD(func, m_script_recorder, "set_jtag_chain_name");
  func.append_argument(name);
  if (!m_data_session) return;
  if (!same_text(m_data_session->get_jtag_chain_name(), name)) set_undoable_modified_flag();
  m_data_session->set_jtag_chain_name(name);
}

const char* TDR_TX_SESSION::get_jtag_device_name() const {
  return m_data_session ? m_data_session->get_jtag_device_name() : nullptr;
}

void TDR_TX_SESSION::set_jtag_device_name(const char* name) {
  TDR_TX_RECORD(func, m_script_recorder, "set_jtag_device_name");
  func.append_argument(name);
  if (!m_data_session) return;
  if (!same_text(m_data_session->get_jtag_device_name(), name)) set_undoable_modified_flag();
  m_data_session->set_jtag_device_name(name);
}

const char* TDR_TX_SESSION::get_kfb_file_name() const {
  return m_data_session ? m_data_session->get_kfb_file_name() : nullptr;
}

void TDR_TX_SESSION::set_kfb_file_name(const char* name) {
  TDR_TX_RECORD(func, m_script_recorder, "set_kfb_file_name");
  func.append_argument(name);
  if (!m_data_session) return;
  if (!same_text(m_data_session->get_kfb_file_name(), name)) set_undoable_modified_flag();
  m_data_session->set_kfb_file_name(name);
}

bool TDR_TX_SESSION::is_gui_logging_enabled() const {
  return m_data_session && m_data_session->is_gui_logging_enabled();
}

void TDR_TX_SESSION::set_gui_logging(bool enabled) {
  TDR_TX_RECORD(func, m_script_recorder, "set_gui_logging");
  func.append_argument(enabled);
  if (!m_data_session) return;
  if (m_data_session->is_gui_logging_enabled() != enabled) set_undoable_modified_flag();
  m_data_session->set_gui_logging(enabled);
}

int TDR_TX_SESSION::get_global_data(const char* name) const {
  return m_data_session ? m_data_session->get_global_data(name) : -1;
}

int TDR_TX_SESSION::get_global_data(const char* name, int* values) const {
  return m_data_session ? m_data_session->get_global_data(name, values) : -1;
}

bool TDR_TX_SESSION::set_global_data(const char* name, int value) {
  TDR_TX_RECORD(func, m_script_recorder, "set_global_data");
  func.append_argument(name);
  func.append_argument(value);
  if (!m_data_session || !name) return false;
  int old = m_data_session->get_global_data(name);
  bool changed = old == -1 || old != value;  // -1: no such entry
  bool ok = m_data_session->set_global_data(name, value, false);
  if (ok && changed) set_undoable_modified_flag();
  return ok;
}

bool TDR_TX_SESSION::set_global_data(const char* name, const int* values, int count) {
  TDR_TX_RECORD(func, m_script_recorder, "set_global_data");
  func.append_argument(name);
  func.append_argument(values, count);
  if (!m_data_session || !name) return false;
  int old_count = m_data_session->get_global_data(name, nullptr);
  bool changed = old_count != count;
  if (!changed && count > 0) {
    std::vector<int> old(static_cast<size_t>(count));
    m_data_session->get_global_data(name, old.data());
    changed = !std::equal(old.begin(), old.end(), values);
  }
  bool ok = m_data_session->set_global_data(name, values, count, false);
  if (ok && changed) set_undoable_modified_flag();
  return ok;
}

// --- embedded programming files ---------------------------------------------------

int TDR_TX_SESSION::get_embedded_kfb_file_count() const {
  return m_data_session ? m_data_session->get_embedded_kfb_file_count() : 0;
}

const char* TDR_TX_SESSION::get_embedded_kfb_filename_at(int index) const {
  return m_data_session ? m_data_session->get_embedded_kfb_filename_at(index) : nullptr;
}

bool TDR_TX_SESSION::rename_embedded_kfb_filename_at(int index, const char* name) {
  TDR_TX_RECORD(func, m_script_recorder, "rename_embedded_kfb_filename_at");
  func.append_argument(index);
  func.append_argument(name);
  bool ok = m_data_session && m_data_session->rename_embedded_kfb_filename_at(index, name);
  if (ok) set_undoable_modified_flag();
  return ok;
}

bool TDR_TX_SESSION::set_embedded_kfb_inst_id_crc_at(int index, const char* inst_id_crc) {
  TDR_TX_RECORD(func, m_script_recorder, "set_embedded_kfb_inst_id_crc_at");
  func.append_argument(index);
  func.append_argument(inst_id_crc);
  bool ok = m_data_session && m_data_session->set_embedded_kfb_inst_id_crc_at(index, inst_id_crc);
  if (ok) set_undoable_modified_flag();
  return ok;
}

const char* TDR_TX_SESSION::get_embedded_kfb_inst_id_crc_at(int index) const {
  return m_data_session ? m_data_session->get_embedded_kfb_inst_id_crc_at(index) : nullptr;
}

bool TDR_TX_SESSION::remove_embedded_kfb_at(int index) {
  TDR_TX_RECORD(func, m_script_recorder, "remove_embedded_kfb_at");
  func.append_argument(index);
  bool ok = m_data_session && m_data_session->remove_embedded_kfb_at(index);
  if (ok) set_undoable_modified_flag();
  return ok;
}

bool TDR_TX_SESSION::embed_kfb_file(const char* file, const char* embedded_name) {
  TDR_TX_RECORD(func, m_script_recorder, "embed_kfb_file");
  func.append_argument(file);
  func.append_argument(embedded_name);
  bool ok = m_data_session && m_data_session->embed_kfb_file(file, embedded_name);
  if (ok) set_undoable_modified_flag();
  return ok;
}

bool TDR_TX_SESSION::extract_kfb_file(int index, const char* file) const {
  return m_data_session && m_data_session->extract_kfb_file(index, file);
}
