// Per-instance change tracking and two-level undo of the editing layer: a user
// action (one undo step) holds the atomic actions its editing calls appended.
#ifndef TDR_TX_UNDO_MANAGER_H
#define TDR_TX_UNDO_MANAGER_H

#include <cstddef>
#include <vector>

class TDR_TX_INSTANCE;
class TDR_TX_PLUGIN_MNEMONICS_INFO;
class TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO;

// Twelve flags saying what changed since the last commit and which kind of
// recompilation that needs. Copied and restored as one value.
class TDR_TX_CHANGE_STATUS {
 public:
  TDR_TX_CHANGE_STATUS() { reset_all(); }
  void reset_all();

  bool is_modified() const;
  bool is_signal_set_changed() const;
  bool is_trigger_changed() const;
  bool is_full_compilation() const;
  bool is_rivlet_compilation() const;

  bool operator==(const TDR_TX_CHANGE_STATUS& other) const;
  bool operator!=(const TDR_TX_CHANGE_STATUS& other) const { return !(*this == other); }
  // Flag-wise or.
  TDR_TX_CHANGE_STATUS& operator|=(const TDR_TX_CHANGE_STATUS& other);

  bool m_instance_changed;
  bool m_classic_node_changed;
  bool m_rivlet_node_changed;
  bool m_classic_debug_port_changed;
  bool m_rivlet_debug_port_changed;
  bool m_signal_set_property_changed;
  bool m_trigger_full_changed;
  bool m_trigger_changed;
  bool m_adv_trigger_full_changed;
  bool m_adv_trigger_changed;
  bool m_trigger_runtime_changed;
  bool m_presentation_changed;
};

// One elementary change that knows how to reverse and repeat itself.
class TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_ATOMIC() = default;
  virtual ~TDR_TX_UNDO_ACTION_ATOMIC() = default;
  TDR_TX_UNDO_ACTION_ATOMIC(const TDR_TX_UNDO_ACTION_ATOMIC&) = delete;
  TDR_TX_UNDO_ACTION_ATOMIC& operator=(const TDR_TX_UNDO_ACTION_ATOMIC&) = delete;
  virtual bool undo() = 0;
  virtual bool redo() = 0;
};

// One user action: what one undo or redo step reverses or repeats.
class TDR_TX_UNDO_ACTION {
 public:
  // `instance` may be null (no tab to restore, no commit count).
  TDR_TX_UNDO_ACTION(TDR_TX_CHANGE_STATUS* change_status, TDR_TX_INSTANCE* instance);
  ~TDR_TX_UNDO_ACTION();
  TDR_TX_UNDO_ACTION(const TDR_TX_UNDO_ACTION&) = delete;
  TDR_TX_UNDO_ACTION& operator=(const TDR_TX_UNDO_ACTION&) = delete;

  void begin();
  void end();
  void append(TDR_TX_UNDO_ACTION_ATOMIC* atomic_action);
  int get_num_atomic_actions() const { return int(m_undo_atomic_action_vec.size()); }
  bool undo();
  bool redo();
  // Deletes the atomic actions; the action stays with its begin snapshot.
  void clear_atomic_actions();
  // The instance's commit count is noted when the action is pushed, undone or
  // redone; a commit since then makes undo and redo merge the status.
  void note_commit_count();

 private:
  void restore_status(const TDR_TX_CHANGE_STATUS* snapshot);
  int current_commit_count() const;

  std::vector<TDR_TX_UNDO_ACTION_ATOMIC*> m_undo_atomic_action_vec;
  TDR_TX_CHANGE_STATUS* m_change_status;
  TDR_TX_CHANGE_STATUS* m_change_status_begin = nullptr;
  TDR_TX_CHANGE_STATUS* m_change_status_end = nullptr;
  TDR_TX_INSTANCE* m_instance;
  bool m_setup_tab_at_begin;
  int m_commit_count;
};

class TDR_TX_UNDO_MANAGER {
 public:
  TDR_TX_UNDO_MANAGER(TDR_TX_CHANGE_STATUS* change_status, TDR_TX_INSTANCE* instance);
  ~TDR_TX_UNDO_MANAGER();
  TDR_TX_UNDO_MANAGER(const TDR_TX_UNDO_MANAGER&) = delete;
  TDR_TX_UNDO_MANAGER& operator=(const TDR_TX_UNDO_MANAGER&) = delete;

  bool is_undo_available() const;
  bool is_redo_available() const;
  bool undo();
  bool redo();
  // A negative limit keeps every action.
  void set_max_undo_steps(int steps) { m_max_undo_steps = steps; }
  int get_max_undo_steps() const { return m_max_undo_steps; }
  void begin_action();
  // False when the action changed nothing (no step is stored).
  bool end_action();
  // Takes ownership; dropped at once while an undo or redo runs.
  void append_atomic_action(TDR_TX_UNDO_ACTION_ATOMIC* atomic_action);
  void pop_action();
  void clear();
  void push(TDR_TX_UNDO_ACTION* action);
  void set_mnemonics_plugin_info_undo_target(TDR_TX_PLUGIN_MNEMONICS_INFO* target);

  bool is_action_open() const { return m_current_undo_action != nullptr; }
  bool is_in_undo_redo() const { return m_in_undo_redo; }
  // For carry-overs between lists that must leave no atomic actions behind.
  void set_in_undo_redo(bool in_undo_redo) { m_in_undo_redo = in_undo_redo; }
  int get_num_actions() const { return int(m_undo_action_list.size()); }
  // Index of the action the next redo repeats (the list size when none).
  int get_cursor() const { return int(m_undo_cursor); }

 private:
  void start_pending_plugin_action(TDR_TX_PLUGIN_MNEMONICS_INFO* target);
  void finish_pending_plugin_action();

  std::vector<TDR_TX_UNDO_ACTION*> m_undo_action_list;
  size_t m_undo_cursor = 0;
  int m_max_undo_steps = 128;
  bool m_in_undo_redo = false;
  TDR_TX_CHANGE_STATUS* m_change_status;
  TDR_TX_INSTANCE* m_instance;
  TDR_TX_UNDO_ACTION* m_current_undo_action = nullptr;
  TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO* m_pending_plugin_action = nullptr;
};

#endif
