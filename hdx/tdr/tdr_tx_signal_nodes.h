// The editing layer's flat list of one signal view: single signals and groups
// (buses) followed by their members. Every edit is recorded to the script
// recorder, raises change flags and appends atomic undo actions; many edits
// also change the bound data-layer view node at once. The trigger working copy
// owns the setup-view list, the signal set working copy the data-view list.
#ifndef TDR_TX_SIGNAL_NODES_H
#define TDR_TX_SIGNAL_NODES_H

#include <string>
#include <vector>

#include "tdr_data_global_enum.h"
#include "tdr_tx_undo_manager.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_SIGNAL_VIEW;
class TDR_DATA_SIGNAL_VIEW_NODE;
class TDR_DATA_SIGNAL_WIRE;
class TDR_TX_PLUGIN_MNEMONICS_INFO;
class TDR_TX_SCRIPT_RECORDER;

class TDR_TX_SIGNAL_NODES {
 public:
  // One signal or group of the list.
  struct NODE_TYPE {
    NODE_TYPE() = default;
    // Releases the view node handle (never the document element).
    ~NODE_TYPE();
    NODE_TYPE(const NODE_TYPE&) = delete;
    NODE_TYPE& operator=(const NODE_TYPE&) = delete;

    bool is_group() const {
      return display_type == TDR_DTYPE_EXPAND_GROUP_NODE ||
             display_type == TDR_DTYPE_COLLAPSE_GROUP_NODE;
    }
    bool is_member() const {
      return display_type == TDR_DTYPE_GROUP_MEMBER_NODE ||
             display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE;
    }
    bool is_wire() const { return !is_group(); }

    TDR_DATA_SIGNAL_TYPE signal_type = TDR_STYPE_UNKNOWN_SIGNAL;
    TDR_DATA_WIRE_CAPTURE_TYPE capture_type = TDR_WTYPE_BOTH_CAPTURE;
    TDR_DATA_WIRE_TAP_MODE tap_mode = TDR_MTYPE_CLASSIC_TAP;
    bool connection_status = true;
    TDR_DATA_NODE_DISPLAY_TYPE display_type = TDR_DTYPE_INVALID_NODE;
    std::string name;
    std::string alias;
    bool lsb_to_msb = false;
    bool signal_inverted = false;
    TDR_DATA_GROUP_DISPLAY_TYPE group_display_type = TDR_GTYPE_HEX_DISPLAY;
    TDR_DATA_GROUP_LINKING_TYPE linking_type = TDR_LTYPE_NO_LINK;
    std::string mnemonics_table_name;
    // Owned by the list that made it; copies share it.
    TDR_TX_PLUGIN_MNEMONICS_INFO* mnemonics_plugin_info = nullptr;
    bool is_debug_port = false;
    std::string debug_port_name;
    int data_wire_index = -1;
    int trigger_wire_index = -1;
    // Owned by the node.
    TDR_DATA_SIGNAL_VIEW_NODE* data_view_node = nullptr;
    bool capture_type_changed = false;
    bool missing_wire = false;
    bool invalid = false;
  };

  // An empty list.
  TDR_TX_SIGNAL_NODES(int instance_index, TDR_TX_UNDO_MANAGER* undo_manager,
                      TDR_TX_CHANGE_STATUS* change_status, TDR_TX_SCRIPT_RECORDER* recorder,
                      bool is_setup_view);
  // A list loaded from `view`.
  TDR_TX_SIGNAL_NODES(int instance_index, TDR_DATA_SIGNAL_VIEW* view,
                      TDR_TX_UNDO_MANAGER* undo_manager, TDR_TX_CHANGE_STATUS* change_status,
                      TDR_TX_SCRIPT_RECORDER* recorder, bool is_setup_view);
  virtual ~TDR_TX_SIGNAL_NODES();
  TDR_TX_SIGNAL_NODES(const TDR_TX_SIGNAL_NODES&) = delete;
  TDR_TX_SIGNAL_NODES& operator=(const TDR_TX_SIGNAL_NODES&) = delete;

  // --- operations the owners override ---
  virtual const char* get_name() = 0;
  virtual bool set_node_name(int node_index, const char* name);
  virtual bool set_group_node_name(int node_index, const char* name);
  virtual bool set_node_alias(int node_index, const char* alias);
  virtual bool is_node_deletable(int node_index) = 0;
  // Number of nodes deleted.
  virtual int delete_node(int first_index, int last_index);
  virtual bool delete_node(const char* name);
  virtual bool append_node(const char* name, TDR_DATA_SIGNAL_TYPE signal_type,
                           TDR_DATA_WIRE_TAP_MODE tap_mode);
  virtual bool ungroup_node(int node_index);
  virtual bool group_node(int first_index, int last_index, NODE_TYPE* template_node);
  virtual int copy_before_node(int first_index, int last_index, int node_index, bool into_group);
  virtual void rebuild_uniq_name_set();
  // One node's name and alias change from the old pair to those of `node`.
  virtual void update_uniq_name_set(const std::string& old_name, const std::string& old_alias,
                                    const NODE_TYPE& node);

  void set_the_other_signal_nodes(TDR_TX_SIGNAL_NODES* other);
  TDR_TX_SIGNAL_NODES* get_the_other_signal_nodes() const { return m_tx_the_other_signal_nodes; }

  // --- queries ---
  int get_node_count() const { return int(m_node_vec->size()); }
  // The node record itself (null out of range); edit it only through the list.
  NODE_TYPE* get_node(int node_index) const;
  const char* get_node_name(int node_index) const;
  const char* get_node_alias(int node_index) const;
  TDR_DATA_SIGNAL_TYPE get_signal_type(int node_index) const;
  TDR_DATA_WIRE_TAP_MODE get_tap_mode(int node_index) const;
  TDR_DATA_WIRE_CAPTURE_TYPE get_capture_type(int node_index) const;
  bool get_connection_status(int node_index) const;
  TDR_DATA_NODE_DISPLAY_TYPE get_node_display_type(int node_index) const;
  bool is_debug_port(int node_index) const;
  const char* get_debug_port_name(int node_index) const;
  int get_data_wire_index(int node_index) const;
  TDR_DATA_GROUP_DISPLAY_TYPE get_node_group_display_type(int node_index) const;
  const char* get_node_mnemonics_table_name(int node_index) const;
  TDR_TX_PLUGIN_MNEMONICS_INFO* get_mnemonics_plugin_info(int node_index) const;
  bool is_node_lsb_to_msb(int node_index) const;
  bool is_node_signal_inverted(int node_index) const;
  bool is_node_invalid(int node_index) const;
  bool set_node_invalid(int node_index, bool invalid);
  int find_wire_node(const char* name) const;
  int find_group_node(const char* name) const;
  int find_node_with_name_not_in_range(const char* name, int first_index, int last_index) const;
  int find_parent_group_node(int member_node_index) const;
  bool is_group_member_expanded(int node_index) const;

  // --- property setters ---
  bool set_node_capture_type(int node_index, TDR_DATA_WIRE_CAPTURE_TYPE capture_type);
  bool set_node_tap_mode(int node_index, TDR_DATA_WIRE_TAP_MODE tap_mode);
  bool set_node_connection_status(int node_index, bool connected);
  bool set_debug_out(int node_index, bool enable, const char* port_name);
  bool set_node_group_display_type(int node_index, TDR_DATA_GROUP_DISPLAY_TYPE type);
  bool set_node_mnemonics_table_name(int node_index, const char* name);
  bool set_node_lsb_to_msb(int node_index, bool lsb_to_msb);
  bool set_node_signal_inverted(int node_index, bool inverted);
  bool toggle_node(int node_index);

  // --- structure ---
  // Takes `node` (or, with `clone`, a full copy of it) to the end of the list.
  bool append_node(NODE_TYPE* node, bool clone);
  bool append_node_uniq_name(NODE_TYPE* node);
  // This class's own delete_node(first, last), never an override.
  int delete_node_base(int first_index, int last_index);
  // The same, leaving the deleted nodes' elements in the view: the other
  // list may still show those signals.
  int delete_node_keeping_view(int first_index, int last_index);
  bool insert_deleted_before_node(int node_index, const std::vector<NODE_TYPE*>* nodes);
  bool link_group_node(int node_index, TDR_DATA_GROUP_LINKING_TYPE linking_type);
  // The new index of the node that was at `node_index`, or -1.
  int move_before_node(int first_index, int last_index, int node_index, bool into_group);
  // Exchanges the adjacent blocks [a, b] and [b + 1, c].
  void node_block_swap(int a, int b, int c);
  bool rename_all_node_name(const char* orig_name, const char* new_name);
  bool rename_all_node_alias(const char* name, const char* alias);
  void gen_debug_port_name(std::string* port_name, int node_index) const;
  // Appends an action that puts the node back into its present state.
  void push_node_image(int node_index);
  bool restore_node_properties(int node_index, const NODE_TYPE* node);
  // The full copy: every field but the view node and the two load flags.
  static void copy_node_properties(const NODE_TYPE* source, NODE_TYPE* target);
  // The group copy: the fields a group header carries.
  static void copy_bus_node_properties(const NODE_TYPE* source, NODE_TYPE* target);

  // --- loading and commit ---
  bool init();
  bool init(TDR_DATA_SIGNAL_VIEW* view);
  void recover_presentation_view_error();
  void assign_data_wire_to_node(NODE_TYPE* node, TDR_DATA_SIGNAL_WIRE* wire);
  bool commit(TDR_DATA_SIGNAL_VIEW* view);
  bool commit_signal_set(TDR_DATA_SIGNAL_SET* signal_set, bool keep_wire_order);
  bool commit_signal_set_debug_port(TDR_DATA_SIGNAL_SET* signal_set);

  // --- state ---
  int get_data_wire_count() const { return m_data_wire_count; }
  int get_trigger_wire_count() const { return m_trigger_wire_count; }
  int get_next_data_wire_index() const { return m_next_data_wire_index; }
  int get_next_trigger_wire_index() const { return m_next_trigger_wire_index; }
  bool is_capture_type_changed() const { return m_capture_type_changed; }
  void set_capture_type_changed(bool changed) { m_capture_type_changed = changed; }
  bool is_view_rebuild_needed() const { return m_view_rebuild_needed; }
  void set_view_rebuild_needed(bool needed) { m_view_rebuild_needed = needed; }
  bool is_setup_view() const { return m_is_setup_view; }
  int get_instance_index() const { return m_instance_index; }
  void set_instance_index(int index) { m_instance_index = index; }
  TDR_DATA_SIGNAL_VIEW* get_data_view() const { return m_data_view; }
  // Before `view` goes with its signal set: the list lets go of it and of its
  // nodes' handles; the next commit writes a view again.
  void release_view(const TDR_DATA_SIGNAL_VIEW* view);
  TDR_TX_UNDO_MANAGER* get_undo_manager() const { return m_undo_manager; }
  TDR_TX_CHANGE_STATUS* get_change_status() const { return m_change_status; }
  TDR_TX_SCRIPT_RECORDER* get_script_recorder() const { return m_recorder; }

  // Undo and redo restore the next free wire indices with the nodes.
  void set_next_wire_indices(int data_index, int trigger_index) {
    m_next_data_wire_index = data_index;
    m_next_trigger_wire_index = trigger_index;
  }

 protected:
  bool in_undo_redo() const;
  void append_atomic_action(TDR_TX_UNDO_ACTION_ATOMIC* action);
  // A new plug-in settings object owned by this list.
  TDR_TX_PLUGIN_MNEMONICS_INFO* new_plugin_info();
  void free_nodes();
  // Node-related change flags and the undo history, as after loading.
  void clear_node_flags();
  // Count changes of inserting (+1) or removing (-1) a wire node.
  void count_node(const NODE_TYPE* node, int sign);
  void count_capture_change(TDR_DATA_WIRE_CAPTURE_TYPE from, TDR_DATA_WIRE_CAPTURE_TYPE to);
  void set_node_changed_flag(TDR_DATA_WIRE_TAP_MODE tap_mode, bool probe_only_is_rivlet_only);
  // The partner group of linked group `node_index` in the other list, or -1.
  int find_partner_group(int node_index) const;
  // Saves a group's partner and clears its link for a repeated operation.
  int begin_repeat(int node_index);
  void end_repeat(int partner_index, TDR_DATA_GROUP_LINKING_TYPE linking_type);
  // Asks the other list for `value` on the partner, with "%s (%d)" candidates
  // after refusals; the accepted value, or false when none was accepted.
  bool negotiate_linked_value(int node_index, const char* value, bool alias,
                              std::string* accepted);
  bool check_block(int first_index, int last_index, int node_index, bool into_group,
                   bool copying) const;
  // Writes a node's debug port into its wire.
  static void show_debug_port(TDR_DATA_SIGNAL_WIRE* wire, const NODE_TYPE& node);
  void move_view_block(int first_index, int last_index, int node_index);
  void clear_view_nodes(TDR_DATA_SIGNAL_VIEW* view);
  // `keep_view`: the deleted nodes' elements stay in the view.
  int delete_range(int first_index, int last_index, bool keep_view = false);

  std::vector<NODE_TYPE*>* m_node_vec = nullptr;
  int m_data_wire_count = 0;
  int m_trigger_wire_count = 0;
  int m_next_data_wire_index = 0;
  int m_next_trigger_wire_index = 0;
  int m_instance_index;
  TDR_TX_UNDO_MANAGER* m_undo_manager;
  TDR_TX_CHANGE_STATUS* m_change_status;
  TDR_TX_SCRIPT_RECORDER* m_recorder;
  bool m_is_setup_view;
  TDR_TX_SIGNAL_NODES* m_tx_the_other_signal_nodes = nullptr;
  TDR_DATA_SIGNAL_VIEW* m_data_view = nullptr;
  bool m_capture_type_changed = false;
  bool m_view_rebuild_needed = false;
  std::vector<TDR_TX_PLUGIN_MNEMONICS_INFO*> m_plugin_infos;
  // Next free wire indices before the node-creating append_node(name, ...).
  int m_append_next_data_before = -1;
  int m_append_next_trigger_before = -1;
};

// --- atomic undo actions of the node list ---

class TDR_TX_UNDO_ACTION_SET_NODE : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  // Takes both copies.
  TDR_TX_UNDO_ACTION_SET_NODE(TDR_TX_SIGNAL_NODES* list, int node_index,
                              TDR_TX_SIGNAL_NODES::NODE_TYPE* before,
                              TDR_TX_SIGNAL_NODES::NODE_TYPE* after);
  ~TDR_TX_UNDO_ACTION_SET_NODE() override;
  bool undo() override;
  bool redo() override;
  // Next free wire indices before and after the change (a capture type change
  // may hand out one).
  void set_next_indices(int data_before, int trigger_before, int data_after, int trigger_after);

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_node_index;
  TDR_TX_SIGNAL_NODES::NODE_TYPE* m_before;
  TDR_TX_SIGNAL_NODES::NODE_TYPE* m_after;
  int m_next[4] = {-1, -1, -1, -1};
};

class TDR_TX_UNDO_ACTION_APPEND : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_APPEND(TDR_TX_SIGNAL_NODES* list, int node_index,
                            TDR_TX_SIGNAL_NODES::NODE_TYPE* copy, int next_data_before,
                            int next_trigger_before, int next_data_after,
                            int next_trigger_after);
  ~TDR_TX_UNDO_ACTION_APPEND() override;
  bool undo() override;
  bool redo() override;

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_node_index;
  TDR_TX_SIGNAL_NODES::NODE_TYPE* m_copy;
  int m_next[4];
};

class TDR_TX_UNDO_ACTION_DELETE : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  // Takes the copies. `new_last_member`: the node before the range that the
  // delete made its group's last member, or -1.
  TDR_TX_UNDO_ACTION_DELETE(TDR_TX_SIGNAL_NODES* list, int first_index, int last_index,
                            std::vector<TDR_TX_SIGNAL_NODES::NODE_TYPE*>* copies,
                            int new_last_member, bool keep_view = false);
  ~TDR_TX_UNDO_ACTION_DELETE() override;
  bool undo() override;
  bool redo() override;

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_first_index;
  int m_last_index;
  std::vector<TDR_TX_SIGNAL_NODES::NODE_TYPE*>* m_copies;
  int m_new_last_member;
  bool m_keep_view;
};

class TDR_TX_UNDO_ACTION_GROUP : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_GROUP(TDR_TX_SIGNAL_NODES* list, int first_index, int last_index,
                           TDR_TX_SIGNAL_NODES::NODE_TYPE* copy);
  ~TDR_TX_UNDO_ACTION_GROUP() override;
  bool undo() override;
  bool redo() override;

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_first_index;
  int m_last_index;
  TDR_TX_SIGNAL_NODES::NODE_TYPE* m_copy;
};

class TDR_TX_UNDO_ACTION_UNGROUP : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_UNGROUP(TDR_TX_SIGNAL_NODES* list, int first_index, int last_index,
                             TDR_TX_SIGNAL_NODES::NODE_TYPE* copy);
  ~TDR_TX_UNDO_ACTION_UNGROUP() override;
  bool undo() override;
  bool redo() override;

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_first_index;
  int m_last_index;
  TDR_TX_SIGNAL_NODES::NODE_TYPE* m_copy;
};

class TDR_TX_UNDO_ACTION_MOVE : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_MOVE(TDR_TX_SIGNAL_NODES* list, int first_index, int last_index,
                          int node_index, bool into_group, bool moved_from_group);
  bool undo() override;
  bool redo() override;

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_first_index;
  int m_last_index;
  int m_node_index;
  bool m_into_group;
  bool m_moved_from_group;
};

class TDR_TX_UNDO_ACTION_COPY : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_COPY(TDR_TX_SIGNAL_NODES* list, int first_index, int last_index,
                          int node_index, bool into_group, int end_index);
  bool undo() override;
  bool redo() override;

 private:
  TDR_TX_SIGNAL_NODES* m_list;
  int m_first_index;
  int m_last_index;
  int m_node_index;
  bool m_into_group;
  int m_end_index;
};

#endif
