// The working copy of an instance's signal set: sampling clock, trigger ports,
// top entity, sample depth, reserved sizes and RAM type, and the node list of
// the instance's data view. Commit writes it into the data layer, creating a
// new data signal set when the signals changed beyond what the old one holds.
#ifndef TDR_TX_SIGNAL_SET_H
#define TDR_TX_SIGNAL_SET_H

#include <string>

#include "tdr_tx_signal_nodes.h"

class TDR_DATA_INSTANCE;
class TDR_DATA_SIGNAL_SET;
class TDR_TX_SESSION;
class TDR_TX_TRIGGER;

class TDR_TX_SIGNAL_SET : public TDR_TX_SIGNAL_NODES {
 public:
  struct SIGNAL_SET_PROPERTIES {
    std::string m_clock_source;
    bool m_trigger_in_enabled = false;
    bool m_trigger_out_enabled = false;
    std::string m_trigger_in_node;
    std::string m_trigger_out_node;
    std::string m_trigger_in_pin;
    std::string m_trigger_out_pin;
    std::string m_top_entity_name;
    int m_sample_depth = 0;
    int m_reserved_data_node_size = 0;
    int m_reserved_trigger_node_size = 0;
    TDR_VELARN_RAM_TYPE m_ram_type = TDR_RTYPE_AUTO_BLOCK;
  };

  TDR_TX_SIGNAL_SET(int instance_index, TDR_TX_SESSION* tx_session,
                    TDR_TX_UNDO_MANAGER* undo_manager, TDR_TX_CHANGE_STATUS* change_status,
                    TDR_TX_SCRIPT_RECORDER* recorder);
  TDR_TX_SIGNAL_SET(int instance_index, TDR_TX_SESSION* tx_session,
                    TDR_DATA_SIGNAL_SET* signal_set, TDR_TX_UNDO_MANAGER* undo_manager,
                    TDR_TX_CHANGE_STATUS* change_status, TDR_TX_SCRIPT_RECORDER* recorder);
  ~TDR_TX_SIGNAL_SET() override;

  // --- properties ---
  const char* get_clock_source() const;
  bool is_trigger_in_enabled() const { return m_trigger_in_enabled; }
  bool is_trigger_out_enabled() const { return m_trigger_out_enabled; }
  const char* get_trigger_in_source() const;
  const char* get_trigger_out_source() const;
  const std::string& get_trigger_in_node() const { return m_trigger_in_node; }
  const std::string& get_trigger_out_node() const { return m_trigger_out_node; }
  const std::string& get_trigger_in_pin() const { return m_trigger_in_pin; }
  const std::string& get_trigger_out_pin() const { return m_trigger_out_pin; }
  const char* get_top_entity_name() const;
  int get_sample_depth() const { return m_sample_depth; }
  int get_reserved_data_node_size() const { return m_reserved_data_node_size; }
  int get_reserved_trigger_node_size() const { return m_reserved_trigger_node_size; }
  TDR_VELARN_RAM_TYPE get_velarn_ram_type() const { return m_ram_type; }
  bool is_clock_source_invalid() const { return m_clock_source_invalid; }
  bool is_expanded() const;

  bool set_clock_source(const char* name);
  bool set_trigger_in_enabled(bool enabled);
  bool set_trigger_out_enabled(bool enabled);
  bool set_trigger_in_node(const char* name);
  bool set_trigger_out_node(const char* name);
  bool set_trigger_in_pin(const char* name);
  bool set_trigger_out_pin(const char* name);
  bool set_top_entity_name(const char* name);
  bool set_sample_depth(int depth);
  bool set_reserved_data_node_size(int size);
  bool set_reserved_trigger_node_size(int size);
  bool set_velarn_ram_type(TDR_VELARN_RAM_TYPE ram_type);
  void set_clock_source_invalid(bool invalid) { m_clock_source_invalid = invalid; }
  bool set_expanded_status(bool expanded);

  bool save_properties(SIGNAL_SET_PROPERTIES* properties) const;
  bool restore_properties(const SIGNAL_SET_PROPERTIES* properties);

  // Trigger links between instances of the session ("inst|trigger_out").
  void link_trigger_in_to_out(bool sync_enable, bool sync_name);
  void link_trigger_out_to_in(bool sync_enable, bool sync_name);
  void unlink_trigger_out_from_in(bool sync_enable, bool sync_name);
  void unlink_trigger_in_from_out(bool sync_enable, bool sync_name);

  void set_instance_index(int index);
  void check_compilation_type(bool* full, bool* rivlet);

  bool init();
  bool init(TDR_DATA_SIGNAL_SET* signal_set);
  bool commit(TDR_DATA_INSTANCE* instance, bool discard_unlogged);

  // The committed data signal set (null before the first commit of a new instance).
  TDR_DATA_SIGNAL_SET* get_data_signal_set() const { return m_data_signal_set; }
  TDR_TX_SESSION* get_tx_session() const { return m_tx_session; }

  // --- node-list overrides ---
  const char* get_name() override;
  bool set_node_name(int node_index, const char* name) override;
  bool set_node_alias(int node_index, const char* alias) override;
  bool is_node_deletable(int node_index) override;
  int delete_node(int first_index, int last_index) override;
  bool delete_node(const char* name) override;
  bool append_node(const char* name, TDR_DATA_SIGNAL_TYPE signal_type,
                   TDR_DATA_WIRE_TAP_MODE tap_mode) override;
  int copy_before_node(int first_index, int last_index, int node_index, bool into_group) override;

 private:
  TDR_TX_TRIGGER* get_tx_trigger() const;
  // The other instance's signal set working copy named by a port node, or null.
  TDR_TX_SIGNAL_SET* find_linked(const std::string& node, const char* suffix) const;
  // Marks the other instance's signal set properties as changed.
  static void mark_other_changed(TDR_TX_SIGNAL_SET* other);
  // Snapshot, change, snapshot, undo action; shared by every property setter.
  template <typename CHANGE>
  bool change_property(CHANGE change);
  int instance_id_low_byte() const;
  // Drops the committed set (the trigger working copy forgets its trigger first).
  void forget_data_signal_set(bool remove);
  // The trigger working copy forgets its data trigger when it lies in `signal_set`.
  void forget_trigger_in(TDR_DATA_SIGNAL_SET* signal_set);
  // Unbinds both node lists from the views of a set about to be removed.
  void release_views(TDR_DATA_SIGNAL_SET* signal_set);
  // This instance's name, for the other end of a trigger link.
  std::string own_instance_name() const;

  TDR_DATA_SIGNAL_SET* m_data_signal_set = nullptr;
  std::string m_clock_source;
  bool m_clock_source_invalid = false;
  bool m_trigger_in_enabled = false;
  bool m_trigger_out_enabled = false;
  std::string m_trigger_in_node;
  std::string m_trigger_out_node;
  std::string m_trigger_in_pin;
  std::string m_trigger_out_pin;
  std::string m_top_entity_name;
  int m_sample_depth = 128;
  int m_reserved_data_node_size = 0;
  int m_reserved_trigger_node_size = 0;
  TDR_TX_SESSION* m_tx_session;
  TDR_VELARN_RAM_TYPE m_ram_type = TDR_RTYPE_MIDRAM_BLOCK;
};

class TDR_TX_UNDO_ACTION_SET_SIGNALSET : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  TDR_TX_UNDO_ACTION_SET_SIGNALSET(TDR_TX_SIGNAL_SET* signal_set,
                                   const TDR_TX_SIGNAL_SET::SIGNAL_SET_PROPERTIES& before,
                                   const TDR_TX_SIGNAL_SET::SIGNAL_SET_PROPERTIES& after)
      : m_signal_set(signal_set), m_before(before), m_after(after) {}
  bool undo() override { return m_signal_set->restore_properties(&m_before); }
  bool redo() override { return m_signal_set->restore_properties(&m_after); }

 private:
  TDR_TX_SIGNAL_SET* m_signal_set;
  TDR_TX_SIGNAL_SET::SIGNAL_SET_PROPERTIES m_before;
  TDR_TX_SIGNAL_SET::SIGNAL_SET_PROPERTIES m_after;
};

#endif
