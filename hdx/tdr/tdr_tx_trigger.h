// The working copy of an instance's trigger: trigger levels with their basic
// conditions, basic/advanced choice, enabled flags and advanced trees, and the
// trigger-wide settings, each for the normal and the power-up trigger. It is
// also the node list of the instance's setup view.
#ifndef TDR_TX_TRIGGER_H
#define TDR_TX_TRIGGER_H

#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

#include "tdr_data_trigger_adv_tree.h"
#include "tdr_tx_signal_nodes.h"

class TCI_ADVANCED_TRIGGER_FACTORY;
class TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP;
class TDR_DATA_MNEMONICS;
class TDR_DATA_SESSION;
class TDR_DATA_SIGNAL_SET;
class TDR_DATA_SIGNAL_WIRE;
class TDR_DATA_TRIGGER;
class TDR_TX_INSTANCE;
struct TDR_DATA_INSTANCE_INFO;
class TDR_TX_SESSION;
class TDR_TX_SIGNAL_SET;
class TDR_TX_TREE_OBJECT;

class TDR_TX_TRIGGER : public TDR_TX_SIGNAL_NODES {
 public:
  struct TRIGGER_LEVEL_CONFIGURATION {
    // Indexed by trigger-wire index; missing entries count as dont_care.
    std::vector<TDR_DATA_TRIGGER_CONDITION> m_condition_vec;
    std::vector<TDR_DATA_TRIGGER_CONDITION> m_power_up_condition_vec;
    // Shared by copies; the trigger owns trees and factories.
    TDR_TX_TREE_OBJECT* m_advanced_condition = nullptr;
    std::string m_expression;
    std::string m_power_up_expression;
    TCI_ADVANCED_TRIGGER_FACTORY* m_factory = nullptr;
    TCI_ADVANCED_TRIGGER_FACTORY* m_power_up_factory = nullptr;
    std::string m_adv_crc_text;
    bool m_adv_modified = false;
    bool m_adv_needs_full = false;
    bool m_is_basic_condition = true;
    bool m_enabled = true;
    bool m_power_up_enabled = true;
  };

  struct TRIGGER_PROPERTIES {
    TDR_DATA_TRIGGER_POSITION m_position = TDR_PTYPE_PRE_POS;
    TDR_DATA_TRIGGER_POSITION m_power_up_position = TDR_PTYPE_PRE_POS;
    TDR_DATA_TRIGGER_CONDITION m_trigger_in = TDR_CTYPE_DONT_CARE_COND;
    TDR_DATA_TRIGGER_CONDITION m_power_up_trigger_in = TDR_CTYPE_DONT_CARE_COND;
    TDR_DATA_TRIGGER_CONDITION m_trigger_out = TDR_CTYPE_ACTIVE_HIGH_COND;
    TDR_DATA_TRIGGER_CONDITION m_power_up_trigger_out = TDR_CTYPE_ACTIVE_HIGH_COND;
    int m_segment_size = 1;
    int m_power_up_segment_size = 1;
    int m_trigger_level = 1;
    TDR_DATA_TRIGGER_TYPE m_trigger_type = TDR_TTYPE_CIRCULAR_TRIGGER;
    TDR_DATA_TRIGGER_TYPE m_power_up_trigger_type = TDR_TTYPE_CIRCULAR_TRIGGER;
    bool m_power_up_mode = false;
  };

  // `tree` is the prototype new level trees are made from (null: no trees).
  TDR_TX_TRIGGER(int instance_index, TDR_TX_SESSION* tx_session,
                 TDR_TX_UNDO_MANAGER* undo_manager, TDR_TX_CHANGE_STATUS* change_status,
                 TDR_TX_TREE_OBJECT* tree, TDR_TX_SCRIPT_RECORDER* recorder);
  TDR_TX_TRIGGER(int instance_index, TDR_TX_SESSION* tx_session, TDR_DATA_TRIGGER* trigger,
                 TDR_TX_UNDO_MANAGER* undo_manager, TDR_TX_CHANGE_STATUS* change_status,
                 TDR_TX_TREE_OBJECT* tree, TDR_TX_SCRIPT_RECORDER* recorder);
  ~TDR_TX_TRIGGER() override;

  // --- queries (the power-up view selects the side) ---
  int get_trigger_level() const { return m_trigger_level; }
  TDR_DATA_TRIGGER_POSITION get_trigger_position() const;
  int get_segment_size() const;
  TDR_DATA_TRIGGER_TYPE get_trigger_type() const;
  TDR_DATA_TRIGGER_CONDITION get_trigger_in_condition() const;
  TDR_DATA_TRIGGER_CONDITION get_trigger_out_condition() const;
  bool is_segment_enabled() const;
  bool is_trigger_level_basic_condition(int level) const;
  bool is_trigger_level_enabled(int level) const;
  TDR_TX_TREE_OBJECT* get_trigger_adv_condition_root(int level) const;
  TCI_ADVANCED_TRIGGER_FACTORY* get_advanced_trigger_condition_factory(int level) const;
  // The factory of one side, whatever the view (null beyond the vector).
  TCI_ADVANCED_TRIGGER_FACTORY* get_level_factory(int level, bool power_up) const {
    if (level < 0 || level >= int(m_trigger_level_config_vec.size())) return nullptr;
    const TRIGGER_LEVEL_CONFIGURATION& config = m_trigger_level_config_vec[size_t(level)];
    return power_up ? config.m_power_up_factory : config.m_factory;
  }
  TDR_DATA_TRIGGER_CONDITION get_trigger_condition(int node_index, int level) const;
  bool is_power_up_trigger_mode() const { return m_power_up_mode; }
  bool is_power_up_trigger_view() const { return m_power_up_view; }
  void set_power_up_trigger_view(bool power_up);
  unsigned long get_commited_crc_value() const;
  void set_crc_value_inheritable(bool inheritable);
  bool is_crc_value_inheritable() const { return m_crc_inheritable; }
  int get_trigger_wire_width_non_inc_rted() const;
  int get_adv_trigger_level_lcell_usage(int level) const;
  bool is_valid_advanced_trigger_condition_input_node(const char* name);
  bool is_expanded() const { return m_expanded; }
  void set_expanded_status(bool expanded);
  // The level's stored expression of one side (empty when none).
  const std::string& get_advanced_expression(int level, bool power_up) const;
  const std::string& get_adv_crc_text(int level) const;
  int get_trigger_wire_index_max() const { return m_next_trigger_wire_index - 1; }

  // --- setters ---
  bool set_trigger_condition(int node_index, int level, TDR_DATA_TRIGGER_CONDITION condition);
  bool set_trigger_in_condition(TDR_DATA_TRIGGER_CONDITION condition);
  bool set_trigger_out_condition(TDR_DATA_TRIGGER_CONDITION condition);
  bool set_trigger_position(TDR_DATA_TRIGGER_POSITION position);
  bool set_segment_size(int size);
  bool set_trigger_type(TDR_DATA_TRIGGER_TYPE type);
  bool set_trigger_level(int levels);
  bool set_trigger_level_basic_condition(int level, bool basic);
  bool set_trigger_level_enabled(int level, bool enabled);
  bool set_trigger_level_adv_condition_modified(int level, bool check, bool modified);
  // Sets the expression of an advanced level on the power-up view's side in
  // the library's own tree; undoable and recorded.
  bool set_advanced_expression(int level, const char* text);
  bool set_power_up_trigger_mode(bool power_up_mode);
  bool duplicate_trigger_to_other(bool from_power_up);

  // --- compilation impact ---
  void check_compilation_type(bool* full, bool* rivlet);
  void check_compilation_type_based_on_node_vector(TDR_DATA_SIGNAL_SET* signal_set, bool* full,
                                                   bool* rivlet);
  void check_compilation_type_based_on_trigger_condition(bool* full, bool* rivlet);
  bool is_signal_compatible(TDR_DATA_SIGNAL_SET* signal_set);

  // --- snapshots ---
  bool save_properties(TRIGGER_PROPERTIES* properties) const;
  bool restore_properties(const TRIGGER_PROPERTIES* properties);
  bool save_properties(int level, TRIGGER_LEVEL_CONFIGURATION* configuration) const;
  bool restore_properties(int level, const TRIGGER_LEVEL_CONFIGURATION* configuration);

  // --- loading and commit ---
  bool init();
  bool init(TDR_DATA_SIGNAL_VIEW* view);
  bool init(TDR_DATA_TRIGGER* trigger);
  // Null `signal_set`: the working copy forgets its data trigger, nothing is written.
  bool commit(TDR_DATA_SIGNAL_SET* signal_set, bool discard_unlogged);
  bool commit_signal_set(TDR_DATA_SIGNAL_SET* signal_set);
  TDR_DATA_TRIGGER* get_data_trigger() const { return m_data_trigger; }
  // Forgets the data trigger (its set is about to be removed); keeps the name map.
  void forget_data_trigger();
  void finalize_triggers();

  // --- node-list overrides ---
  const char* get_name() override;
  bool append_node(const char* name, TDR_DATA_SIGNAL_TYPE signal_type,
                   TDR_DATA_WIRE_TAP_MODE tap_mode) override;
  bool delete_node(const char* name) override;
  int delete_node(int first_index, int last_index) override;
  bool set_node_name(int node_index, const char* name) override;
  bool set_group_node_name(int node_index, const char* name) override;
  bool set_node_alias(int node_index, const char* alias) override;
  void rebuild_uniq_name_set() override;
  void update_uniq_name_set(const std::string& old_name, const std::string& old_alias,
                            const NODE_TYPE& node) override;
  bool group_node(int first_index, int last_index, NODE_TYPE* template_node) override;
  bool ungroup_node(int node_index) override;
  int copy_before_node(int first_index, int last_index, int node_index, bool into_group) override;
  bool is_node_deletable(int node_index) override;
  bool rename_node_name(const char* orig_name, const char* new_name);
  bool rename_node_alias(const char* name, const char* alias);
  void set_instance_index(int index);
  void recount_data_trigger_width();
  void sync_upon_capture_type_change();
  bool is_name_in_uniq_set(const std::string& name) const {
    return m_uniq_node_set.count(name) != 0;
  }

  TDR_TX_SESSION* get_tx_session() const { return m_tx_session; }

 private:
  friend class TDR_TX_UNDO_ACTION_SET_TRIGGER;
  friend class TDR_TX_UNDO_ACTION_SET_ADV_EXPRESSION;

  // The signal set working copy's (data-view) list.
  TDR_TX_SIGNAL_NODES* get_tx_signal_set() const;
  TDR_TX_INSTANCE* get_tx_instance() const;
  bool get_node_info(TDR_DATA_INSTANCE_INFO* info) const;
  bool is_node_id_2() const;
  TDR_DATA_SESSION* get_data_session(TDR_DATA_SIGNAL_SET* signal_set) const;
  TDR_DATA_MNEMONICS* get_mnemonics() const;
  std::string get_instance_name() const;
  void uniq_add(const std::string& text);
  void uniq_remove(const std::string& text);
  void delete_trees_and_factories();
  void append_action(TDR_TX_UNDO_ACTION_ATOMIC* action);
  void snapshot(TRIGGER_PROPERTIES* properties) const;
  void apply(const TRIGGER_PROPERTIES& properties);
  // Makes the configuration vector `levels` long: surplus slots go into
  // `slots`, missing ones come from `slots` (then defaults).
  void resize_levels(int levels, std::vector<TRIGGER_LEVEL_CONFIGURATION>* slots);
  void fill_slot(TRIGGER_LEVEL_CONFIGURATION* configuration);
  static TRIGGER_LEVEL_CONFIGURATION level_flags(const TRIGGER_LEVEL_CONFIGURATION& configuration);
  TDR_TX_TREE_OBJECT* new_tree();
  TCI_ADVANCED_TRIGGER_FACTORY* new_factory(int level, const std::string& text);
  void delete_factory(TCI_ADVANCED_TRIGGER_FACTORY* factory);
  void coordinate_latencies(bool power_up);
  void init_empty();
  void load_levels(TDR_DATA_TRIGGER* trigger);
  bool select_data_trigger(TDR_DATA_SIGNAL_SET* signal_set, bool discard_unlogged);
  void write_levels(TDR_DATA_SIGNAL_SET* signal_set);
  void write_level_expressions(int level);
  void clear_adv_modified();
  // Every trigger change flag of the status down: nothing left to commit.
  void clear_change_flags();
  // A trigger-wide setter's change of the viewed side's member.
  template <typename T>
  bool change_trigger_wide(T* normal, T* power_up, T value,
                           std::initializer_list<bool*> normal_flags,
                           std::initializer_list<bool*> power_up_flags);
  // The tree's text of one side, else the level's stored expression.
  std::string get_side_expression(int level, bool power_up);
  // Pairs (node's trigger-wire index, wire's trigger-wire index) of the trigger
  // nodes that have a wire of their exact name in `signal_set`.
  void map_trigger_nodes(TDR_DATA_SIGNAL_SET* signal_set,
                         std::vector<std::pair<int, int>>* pairs) const;
  static TDR_DATA_SIGNAL_WIRE* find_wire_by_name(TDR_DATA_SIGNAL_SET* signal_set,
                                                 const std::string& name);
  static void copy_tree_from_data(TDR_DATA_TRIGGER_ADV_TREE_OBJ* root, TDR_TX_TREE_OBJECT* tree);
  static void copy_tree_to_data(TDR_TX_TREE_OBJECT* tree, TDR_DATA_TRIGGER_ADV_TREE_OBJ* root);
  static TDR_DATA_TRIGGER_CONDITION condition_at(const std::vector<TDR_DATA_TRIGGER_CONDITION>& vec,
                                                 int index);

  TDR_DATA_TRIGGER_POSITION m_position = TDR_PTYPE_PRE_POS;
  TDR_DATA_TRIGGER_POSITION m_power_up_position = TDR_PTYPE_PRE_POS;
  TDR_DATA_TRIGGER_CONDITION m_trigger_in = TDR_CTYPE_DONT_CARE_COND;
  TDR_DATA_TRIGGER_CONDITION m_power_up_trigger_in = TDR_CTYPE_DONT_CARE_COND;
  TDR_DATA_TRIGGER_CONDITION m_trigger_out = TDR_CTYPE_ACTIVE_HIGH_COND;
  TDR_DATA_TRIGGER_CONDITION m_power_up_trigger_out = TDR_CTYPE_ACTIVE_HIGH_COND;
  int m_segment_size = 1;
  int m_power_up_segment_size = 1;
  TDR_DATA_TRIGGER_TYPE m_trigger_type = TDR_TTYPE_CIRCULAR_TRIGGER;
  TDR_DATA_TRIGGER_TYPE m_power_up_trigger_type = TDR_TTYPE_CIRCULAR_TRIGGER;
  bool m_power_up_mode = false;
  bool m_power_up_view = false;
  std::vector<TRIGGER_LEVEL_CONFIGURATION> m_trigger_level_config_vec;
  int m_trigger_level = 1;
  TDR_DATA_TRIGGER* m_data_trigger = nullptr;
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP* m_name_index_map = nullptr;
  bool m_expanded = false;
  TDR_TX_SESSION* m_tx_session;
  TDR_TX_TREE_OBJECT* m_tree_object;
  unsigned long m_committed_crc = 0;
  bool m_crc_inheritable = false;
  bool m_new_working_copy = false;
  bool m_signal_set_committed = false;
  // Occurrence counts of node names and non-empty aliases.
  std::unordered_map<std::string, int> m_uniq_node_set;
  // Every tree and factory this working copy made or loaded; freed by init()
  // and the destructor (undo snapshots may still point at them until then).
  std::vector<TDR_TX_TREE_OBJECT*> m_owned_trees;
  std::vector<TCI_ADVANCED_TRIGGER_FACTORY*> m_owned_factories;
};

class TDR_TX_UNDO_ACTION_SET_COND : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_SET_COND(TDR_TX_TRIGGER* trigger, int node_index, int level, bool power_up,
                              TDR_DATA_TRIGGER_CONDITION before, TDR_DATA_TRIGGER_CONDITION after)
      : m_trigger(trigger), m_node_index(node_index), m_level(level), m_power_up(power_up),
        m_before(before), m_after(after) {}
  bool undo() override { return apply(m_before); }
  bool redo() override { return apply(m_after); }

 private:
  bool apply(TDR_DATA_TRIGGER_CONDITION condition);
  TDR_TX_TRIGGER* m_trigger;
  int m_node_index;
  int m_level;
  bool m_power_up;
  TDR_DATA_TRIGGER_CONDITION m_before;
  TDR_DATA_TRIGGER_CONDITION m_after;
};

class TDR_TX_UNDO_ACTION_SET_TRIGGER_LEVEL : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_SET_TRIGGER_LEVEL(TDR_TX_TRIGGER* trigger, int level,
                                       const TDR_TX_TRIGGER::TRIGGER_LEVEL_CONFIGURATION& before,
                                       const TDR_TX_TRIGGER::TRIGGER_LEVEL_CONFIGURATION& after)
      : m_trigger(trigger), m_level(level), m_before(before), m_after(after) {}
  bool undo() override { return m_trigger->restore_properties(m_level, &m_before); }
  bool redo() override { return m_trigger->restore_properties(m_level, &m_after); }

 private:
  TDR_TX_TRIGGER* m_trigger;
  int m_level;
  TDR_TX_TRIGGER::TRIGGER_LEVEL_CONFIGURATION m_before;
  TDR_TX_TRIGGER::TRIGGER_LEVEL_CONFIGURATION m_after;
};

class TDR_TX_UNDO_ACTION_SET_TRIGGER : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_SET_TRIGGER(TDR_TX_TRIGGER* trigger,
                                 const TDR_TX_TRIGGER::TRIGGER_PROPERTIES& before,
                                 const TDR_TX_TRIGGER::TRIGGER_PROPERTIES& after)
      : m_trigger(trigger), m_before(before), m_after(after) {}
  bool undo() override;
  bool redo() override;
  // Level slots a shrink erased (undo puts them back) or a growth added (undo
  // takes them out), kept so that redo restores the same slots.
  std::vector<TDR_TX_TRIGGER::TRIGGER_LEVEL_CONFIGURATION> m_slots;

 private:
  TDR_TX_TRIGGER* m_trigger;
  TDR_TX_TRIGGER::TRIGGER_PROPERTIES m_before;
  TDR_TX_TRIGGER::TRIGGER_PROPERTIES m_after;
};

// The expression text of one side of an advanced level in the library's own tree.
class TDR_TX_UNDO_ACTION_SET_ADV_EXPRESSION : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_SET_ADV_EXPRESSION(TDR_TX_TRIGGER* trigger, int level, bool power_up,
                                        const std::string& before, const std::string& after)
      : m_trigger(trigger), m_level(level), m_power_up(power_up), m_before(before),
        m_after(after) {}
  bool undo() override { return apply(m_before); }
  bool redo() override { return apply(m_after); }

 private:
  bool apply(const std::string& text);
  TDR_TX_TRIGGER* m_trigger;
  int m_level;
  bool m_power_up;
  std::string m_before;
  std::string m_after;
};

#endif
