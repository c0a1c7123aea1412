// The working object of one analyser instance: instance-level working state,
// the instance's change status and undo manager, and pass-through calls to the
// data instance.
#ifndef TDR_TX_INSTANCE_H
#define TDR_TX_INSTANCE_H

#include <string>

#include "tdr_data_instance.h"
#include "tdr_tx_undo_manager.h"

class TDR_TX_SESSION;
class TDR_TX_SCRIPT_RECORDER;

class TDR_TX_INSTANCE {
 public:
  struct INSTANCE_PROPERTIES {
    bool m_incr_cmp_mode = false;
  };

  // `tx_session`, `data_instance` and `recorder` may be null.
  TDR_TX_INSTANCE(int instance_index, TDR_TX_SESSION* tx_session,
                  TDR_DATA_INSTANCE* data_instance, TDR_TX_SCRIPT_RECORDER* recorder);
  ~TDR_TX_INSTANCE();
  TDR_TX_INSTANCE(const TDR_TX_INSTANCE&) = delete;
  TDR_TX_INSTANCE& operator=(const TDR_TX_INSTANCE&) = delete;

  std::string get_name(bool power_up) const;
  TDR_DATA_INSTANCE_INFO get_node_info() const;
  bool is_tavrin_instance() const;
  bool is_current_version() const;
  void update_to_current_version();
  bool is_incr_cmp_mode() const { return m_incr_cmp_mode; }
  void set_incr_cmp_mode(bool mode);
  bool rename(const char* name);
  bool is_setup_tab_selected() const { return m_setup_tab_selected; }
  void set_setup_tab_selected(bool selected);

  bool is_undo_available() const { return m_tx_undo_manager->is_undo_available(); }
  bool is_redo_available() const { return m_tx_undo_manager->is_redo_available(); }
  bool undo();
  bool redo();
  int get_max_undo_steps() const { return m_tx_undo_manager->get_max_undo_steps(); }
  void set_max_undo_steps(int steps);
  void begin_action();
  void end_action();

  TDR_TX_UNDO_MANAGER* get_undo_manager() const { return m_tx_undo_manager; }
  TDR_TX_CHANGE_STATUS* get_change_status() const { return m_tx_change_status; }
  bool is_modified() const { return m_tx_change_status->is_modified(); }
  bool is_signal_set_modified() const { return m_tx_change_status->is_signal_set_changed(); }
  bool is_rivlet_compilation() const { return m_tx_change_status->is_rivlet_compilation(); }
  bool is_full_compilation() const { return m_tx_change_status->is_full_compilation(); }
  bool is_trigger_modified() const { return m_tx_change_status->is_trigger_changed(); }

  bool save_properties(INSTANCE_PROPERTIES* properties) const;
  bool restore_properties(const INSTANCE_PROPERTIES* properties);
  bool commit();

  bool set_position_data(const char* name, int value);
  bool set_position_data(const char* name, const int* values, int count);
  int get_position_data(const char* name) const;
  int get_position_data(const char* name, int* values) const;
  bool set_expanded_status(bool expanded);
  bool is_expanded() const;

  int get_instance_index() const { return m_instance_index; }
  void set_instance_index(int index);
  TDR_DATA_INSTANCE* get_data_instance() const { return m_data_instance; }
  TDR_TX_SESSION* get_tx_session() const { return m_tx_session; }
  TDR_TX_SCRIPT_RECORDER* get_script_recorder() const { return m_recorder; }
  // Raised by each commit; user actions compare it (see TDR_TX_UNDO_ACTION).
  int get_commit_count() const { return m_commit_count; }

 private:
  TDR_TX_UNDO_MANAGER* m_tx_undo_manager;
  TDR_TX_CHANGE_STATUS* m_tx_change_status;
  TDR_TX_SESSION* m_tx_session;
  TDR_TX_SCRIPT_RECORDER* m_recorder;
  int m_instance_index;
  TDR_DATA_INSTANCE* m_data_instance;
  bool m_setup_tab_selected = true;
  std::string m_power_up_name = "Power-Up";
  bool m_incr_cmp_mode;
  int m_commit_count = 0;
};

// Reverses a change of the instance properties.
class TDR_TX_UNDO_ACTION_SET_INSTANCE : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_SET_INSTANCE(TDR_TX_INSTANCE* instance,
                                  const TDR_TX_INSTANCE::INSTANCE_PROPERTIES& before,
                                  const TDR_TX_INSTANCE::INSTANCE_PROPERTIES& after)
      : m_instance(instance), m_before(before), m_after(after) {}
  bool undo() override { return m_instance->restore_properties(&m_before); }
  bool redo() override { return m_instance->restore_properties(&m_after); }

 private:
  TDR_TX_INSTANCE* m_instance;
  TDR_TX_INSTANCE::INSTANCE_PROPERTIES m_before;
  TDR_TX_INSTANCE::INSTANCE_PROPERTIES m_after;
};

#endif
