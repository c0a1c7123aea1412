// The editable working copy of a bus's mnemonics plug-in settings with its undo
// action, and the editor-side expression tree objects of advanced trigger levels.
#ifndef TDR_TX_TREE_OBJECT_H
#define TDR_TX_TREE_OBJECT_H

#include <string>
#include <vector>

#include "tdr_data_global_enum.h"
#include "tdr_tx_undo_manager.h"

class TDR_DATA_BUS_MNEMONICS_PLUGIN;
class TDR_DATA_MNEMONICS;
class TDR_DATA_STRING_PAIR_VEC;
class TDR_TX_TRIGGER;

class TDR_TX_PLUGIN_MNEMONICS_INFO {
 public:
  struct OPTION {
    std::string m_name;
    std::string m_value;
    TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE m_type;
    bool operator==(const OPTION& other) const {
      return m_name == other.m_name && m_value == other.m_value && m_type == other.m_type;
    }
  };

  TDR_TX_PLUGIN_MNEMONICS_INFO() = default;
  TDR_TX_PLUGIN_MNEMONICS_INFO(TDR_TX_CHANGE_STATUS* change_status,
                               TDR_TX_UNDO_MANAGER* undo_manager)
      : m_change_status(change_status), m_undo_manager(undo_manager) {}
  TDR_TX_PLUGIN_MNEMONICS_INFO(const TDR_TX_PLUGIN_MNEMONICS_INFO&) = delete;
  // Copies the settings; the target keeps its own links and nobody is notified.
  TDR_TX_PLUGIN_MNEMONICS_INFO& operator=(const TDR_TX_PLUGIN_MNEMONICS_INFO& other);
  // Same settings (links not compared).
  bool same_settings(const TDR_TX_PLUGIN_MNEMONICS_INFO& other) const;

  void set_plugin_name(const char* name);
  void set_table_name(const char* name);
  void set_width(int width);
  void reset_user_option();
  void reset_internal_option();
  void add_user_option(const char* name, const char* value,
                       TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type);
  void add_internal_option(const char* name, const char* value);

  const std::string& get_plugin_name() const { return m_plugin_name; }
  const std::string& get_table_name() const { return m_table_name; }
  int get_width() const { return m_width; }
  int get_user_option_count() const { return int(m_user_options.size()); }
  int get_internal_option_count() const { return int(m_internal_options.size()); }
  bool get_user_option_at(int index, std::string* name, std::string* value,
                          TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type) const;
  bool get_internal_option_at(int index, std::string* name, std::string* value) const;

  void init_from_data_node(TDR_DATA_BUS_MNEMONICS_PLUGIN* record);
  void commit_to_data_node(TDR_DATA_BUS_MNEMONICS_PLUGIN* record) const;

  TDR_TX_CHANGE_STATUS* get_change_status() const { return m_change_status; }
  TDR_TX_UNDO_MANAGER* get_undo_manager() const { return m_undo_manager; }

 private:
  // Before and after each change: the undo manager snapshots the first state.
  void notify();
  void mark_changed();

  std::string m_plugin_name;
  std::string m_table_name;
  int m_width = 0;
  std::vector<OPTION> m_user_options;
  std::vector<OPTION> m_internal_options;
  TDR_TX_CHANGE_STATUS* m_change_status = nullptr;
  TDR_TX_UNDO_MANAGER* m_undo_manager = nullptr;
};

class TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO : public TDR_TX_UNDO_ACTION_ATOMIC {
 public:
  explicit TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO(TDR_TX_PLUGIN_MNEMONICS_INFO* target)
      : m_target_plugin_info(target) {}
  ~TDR_TX_UNDO_ACTION_PLUGIN_MNEMONICS_INFO() override = default;
  bool undo() override;
  bool redo() override;

  TDR_TX_PLUGIN_MNEMONICS_INFO* get_plugin_target() const { return m_target_plugin_info; }
  void clone_init_obj();
  void clone_end_obj();

 private:
  TDR_TX_PLUGIN_MNEMONICS_INFO* m_target_plugin_info;
  TDR_TX_PLUGIN_MNEMONICS_INFO m_before;
  TDR_TX_PLUGIN_MNEMONICS_INFO m_after;
};

// A node of an advanced-trigger expression tree as an editor holds it. The
// editor implements the tree; the library copies trees between the data layer
// and the editor through these operations.
class TDR_TX_TREE_OBJECT {
 public:
  TDR_TX_TREE_OBJECT() = default;
  virtual ~TDR_TX_TREE_OBJECT() = default;
  TDR_TX_TREE_OBJECT(const TDR_TX_TREE_OBJECT&) = delete;
  TDR_TX_TREE_OBJECT& operator=(const TDR_TX_TREE_OBJECT&) = delete;

  virtual TDR_TX_TREE_OBJECT* get_child_at(int index) = 0;
  virtual int get_num_children() = 0;
  virtual TDR_TX_TREE_OBJECT* create_and_append_child() = 0;
  // A new empty tree of the same kind, owned by the caller.
  virtual TDR_TX_TREE_OBJECT* create_new_tree() = 0;
  // The expression text of one side; false when the tree has none to give.
  // `mnemonics` is the session's container, null when the file has none.
  virtual bool get_equation(TDR_DATA_MNEMONICS* mnemonics, TDR_TX_TRIGGER* trigger,
                            bool power_up, std::string* text) = 0;
  virtual bool copy_to_other_side(bool to_power_up) = 0;
  // Drops children, attributes and texts (the editor's own use).
  virtual void clear() = 0;
  virtual void set_attribute(const char* type, const char* value) = 0;
  // Calls add_attribute once per attribute of this object.
  virtual void report_attributes() = 0;

  void set_attributes(TDR_DATA_STRING_PAIR_VEC* pairs);
  void get_attributes(TDR_DATA_STRING_PAIR_VEC* pairs);
  void add_attribute(const char* type, const char* value);

 private:
  TDR_DATA_STRING_PAIR_VEC* m_attribute_sink = nullptr;
};

// The library's own tree, used when no editor supplies one: it keeps the
// attributes and children it is given and one expression text per side, so
// trees and expressions survive a commit without an editor.
class TDR_TX_GENERIC_TREE_OBJECT : public TDR_TX_TREE_OBJECT {
 public:
  TDR_TX_GENERIC_TREE_OBJECT() = default;
  ~TDR_TX_GENERIC_TREE_OBJECT() override;

  TDR_TX_TREE_OBJECT* get_child_at(int index) override;
  int get_num_children() override { return int(m_children.size()); }
  TDR_TX_TREE_OBJECT* create_and_append_child() override;
  TDR_TX_TREE_OBJECT* create_new_tree() override { return new TDR_TX_GENERIC_TREE_OBJECT(); }
  bool get_equation(TDR_DATA_MNEMONICS* mnemonics, TDR_TX_TRIGGER* trigger, bool power_up,
                    std::string* text) override;
  bool copy_to_other_side(bool to_power_up) override;
  void clear() override;
  void set_attribute(const char* type, const char* value) override;
  void report_attributes() override;

  const std::string& get_expression(bool power_up) const { return m_expression[power_up]; }
  void set_expression(bool power_up, const std::string& text) { m_expression[power_up] = text; }

 private:
  std::vector<std::pair<std::string, std::string>> m_attributes;
  std::vector<TDR_TX_GENERIC_TREE_OBJECT*> m_children;
  std::string m_expression[2];
};

#endif
