// The editor's entry point to the editing layer: opens or creates a session
// document, builds the working objects of each instance, translates the
// editor's view numbers, commits, saves, manages logs, estimates resources and
// passes session-wide settings through. Owns the script recorder.
#ifndef TDR_TX_SESSION_H
#define TDR_TX_SESSION_H

#include <string>
#include <vector>

#include "tdr_data_global_enum.h"

class TDR_DATA_LOG;
class TDR_DATA_MANAGER;
class TDR_DATA_SESSION;
class TDR_TX_INSTANCE;
class TDR_TX_SCRIPT_RECORDER;
class TDR_TX_SIGNAL_SET;
class TDR_TX_TREE_OBJECT;
class TDR_TX_TRIGGER;

class TDR_TX_SESSION {
 public:
  // The working objects of one instance.
  struct DATA_GROUP {
    DATA_GROUP() = default;
    // Deletes the signal set and trigger working copies before the instance
    // working object, which owns the undo manager they use.
    ~DATA_GROUP();
    DATA_GROUP(const DATA_GROUP&) = delete;
    DATA_GROUP& operator=(const DATA_GROUP&) = delete;

    TDR_TX_INSTANCE* m_tx_instance = nullptr;
    TDR_TX_SIGNAL_SET* m_tx_signal_set = nullptr;
    TDR_TX_TRIGGER* m_tx_trigger = nullptr;
    TDR_DATA_LOG* m_active_log = nullptr;
    std::string m_trigger_out_target;
  };

  // A null tree means the library's own tree object.
  explicit TDR_TX_SESSION(TDR_TX_TREE_OBJECT* tree = nullptr);
  ~TDR_TX_SESSION();
  TDR_TX_SESSION(const TDR_TX_SESSION&) = delete;
  TDR_TX_SESSION& operator=(const TDR_TX_SESSION&) = delete;

  // --- session life ---
  bool create_session(const char* name);
  bool open_session(const char* name);
  bool open_session(TDR_DATA_SESSION* data_session);
  bool commit_session();
  bool commit_instance_at(int instance_index, bool discard_unlogged);
  bool save_session(const char* name);
  bool close_session();
  bool is_modified() const;
  void set_undoable_modified_flag();
  TDR_DATA_SESSION* get_data_session() const { return m_data_session; }
  void disable_script_recording();
  TDR_TX_SCRIPT_RECORDER* get_script_recorder() const { return m_script_recorder; }
  TDR_TX_TREE_OBJECT* get_tree_object() const { return m_tree_object; }

  // --- views and working objects ---
  int get_num_instances() const;
  int get_num_groups() const { return int(m_data_group.size()); }
  int translate_instance_index(int view) const;
  TDR_TX_INSTANCE* get_instance_at(int index, bool is_instance_index) const;
  TDR_TX_SIGNAL_SET* get_signal_set_at(int index, bool is_instance_index) const;
  TDR_TX_TRIGGER* get_trigger_at(int index, bool is_instance_index) const;
  TDR_DATA_LOG* get_log_at(int index, bool is_instance_index) const;
  bool is_power_up_trigger(int view) const;
  bool is_power_up_view(int view) const;
  int find_instance_index(const char* name) const;
  bool duplicate_trigger_to_other(int view);
  void get_all_available_trigger_out_target_at(int view, std::vector<const char*>* trig_out_vec);

  // --- instances ---
  bool create_tavrin_instance(const char* name);
  bool remove_tavrin_instance(int view);
  bool set_power_up_trigger_mode(int view, bool power_up_mode);

  // --- logs ---
  TDR_DATA_LOG* create_new_log(int view);
  bool remove_current_log(int view);
  bool save_to_log(int view);
  bool set_active_log(int view, TDR_DATA_LOG* log);
  bool set_active(int view, const char* signal_set_name, const char* trigger_name,
                  const char* log_name);
  bool remove(int view, const char* signal_set_name, const char* trigger_name,
              const char* log_name);

  // --- estimates ---
  int get_instance_estimated_lcell_count_at(int view) const;
  int get_hub_lcell_usage_per_inst() const;
  int get_instance_lcell_usage_alone(int instance_index) const;
  int get_instance_ram_bits_usage_at(int view) const;
  int get_instance_ram_type_at(int view) const;
  void check_instance_compilation_type_at(int view, bool* is_full, bool* is_rivlet);

  // --- session-wide settings ---
  const char* get_jtag_chain_name() const;
  void set_jtag_chain_name(const char* name);
  const char* get_jtag_device_name() const;
  void set_jtag_device_name(const char* name);
  const char* get_kfb_file_name() const;
  void set_kfb_file_name(const char* name);
  bool is_gui_logging_enabled() const;
  void set_gui_logging(bool enabled);
  int get_global_data(const char* name) const;
  int get_global_data(const char* name, int* values) const;
  bool set_global_data(const char* name, int value);
  bool set_global_data(const char* name, const int* values, int count);

  // --- embedded programming files ---
  int get_embedded_kfb_file_count() const;
  const char* get_embedded_kfb_filename_at(int index) const;
  bool rename_embedded_kfb_filename_at(int index, const char* name);
  bool set_embedded_kfb_inst_id_crc_at(int index, const char* inst_id_crc);
  const char* get_embedded_kfb_inst_id_crc_at(int index) const;
  bool remove_embedded_kfb_at(int index);
  bool embed_kfb_file(const char* file, const char* embedded_name);
  bool extract_kfb_file(int index, const char* file) const;

 private:
  DATA_GROUP* group_at(int index, bool is_instance_index) const;
  // Builds the working objects of instance `index` of the data session.
  DATA_GROUP* build_group(int index);
  void delete_groups();

  std::vector<DATA_GROUP*> m_data_group;
  bool m_modified = false;
  TDR_DATA_MANAGER* m_data_manager;
  TDR_DATA_SESSION* m_data_session = nullptr;
  TDR_TX_TREE_OBJECT* m_tree_object;
  TDR_TX_TREE_OBJECT* m_own_tree = nullptr;
  TDR_TX_SCRIPT_RECORDER* m_script_recorder;
};

#endif
