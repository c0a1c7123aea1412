// One analyser session file in memory: the DOM document and the object tree
// bound to it. Every setter writes the document at once; saving prints it.
#ifndef TDR_DATA_SESSION_H
#define TDR_DATA_SESSION_H

#include <map>
#include <memory>
#include <string>

#include "tdr_data_instance.h"
#include "tdr_data_keyed_block.h"
#include "tdr_data_named_list.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_MNEMONICS;
class ZENVOR_DOM_PARSER;
class TDR_DATA_SIGNAL_SET;
class TDR_DATA_TRIGGER;
class TDR_DATA_LOG;

extern const char* const TDR_TVF_ENTITY_NAME;  // "hdx_tavrin"
extern const char* const TDR_TVF_SOURCE_FILE;  // "hdx_tavrin.vhd"

class TDR_DATA_SESSION {
 public:
  // The display tree's record for one instance.
  struct ACTIVE_BRANCH {
    TDR_DATA_SIGNAL_SET* signal_set;
    TDR_DATA_TRIGGER* trigger;
    TDR_DATA_LOG* log;
  };

  TDR_DATA_SESSION();
  explicit TDR_DATA_SESSION(const char* file);
  virtual ~TDR_DATA_SESSION();
  TDR_DATA_SESSION(const TDR_DATA_SESSION&) = delete;
  TDR_DATA_SESSION& operator=(const TDR_DATA_SESSION&) = delete;

  bool open(const char* file);
  bool parse(const char* file);
  // Imports the legacy line-based file named by the session's name.
  bool parse_tvf_file();
  void create_new_doc();
  bool save(bool lock);
  bool save_as(const char* file, bool lock, bool keep_name);

  const char* get_name() const { return m_name.present ? m_name.value.c_str() : nullptr; }
  const char* get_jtag_chain_name() const { return cstr(m_jtag_chain); }
  const char* get_jtag_device_name() const { return cstr(m_jtag_device); }
  const char* get_kfb_file_name() const { return cstr(m_kfb_file); }
  void set_name(const char* name);
  void set_jtag_chain_name(const char* name);
  void set_jtag_device_name(const char* name);
  void set_kfb_file_name(const char* name);

  bool is_gui_logging_enabled() const;
  void set_gui_logging(bool enabled);

  TDR_DATA_INSTANCE* create_instance(const char* name);
  TDR_DATA_INSTANCE* create_tavrin_instance(const char* name);
  bool append(TDR_DATA_INSTANCE* instance, bool append_element);
  TDR_DATA_INSTANCE* find_instance(const char* name) const { return m_instances.find(name); }
  TDR_DATA_INSTANCE* get_instance_at(int index) const { return m_instances.at(index); }
  int get_num_instances() const { return m_instances.size(); }
  void delete_from_vector(TDR_DATA_INSTANCE* instance);
  // Drops `instance` from the instance name map (used by its rename and removal).
  TDR_DATA_NAME_MAP<TDR_DATA_INSTANCE>& get_instance_name_map() { return m_instances.name_map(); }
  void init_container();
  void del_container();
  void assign_tavrin_inst_id(TDR_DATA_INSTANCE_INFO* info) const;

  TDR_DATA_MNEMONICS* get_mnemonics();
  // The container if the file or an earlier call made one; never creates it.
  TDR_DATA_MNEMONICS* find_mnemonics() const { return m_mnemonics; }

  // Global info.
  bool set_global_data(const char* key, int value, bool memory_only);
  bool set_global_data(const char* key, const int* values, int count, bool memory_only);
  int get_global_data(const char* key) const;
  int get_global_data(const char* key, int* values) const;
  bool write_global_info();

  // Display tree.
  void reset_active_tree();
  bool add_active_branch(TDR_DATA_TRIGGER* trigger);
  bool add_active_branch(TDR_DATA_LOG* log);
  TDR_DATA_SIGNAL_SET* find_active_signal_set(TDR_DATA_INSTANCE* instance) const;
  TDR_DATA_TRIGGER* find_active_trigger(TDR_DATA_INSTANCE* instance) const;
  TDR_DATA_LOG* find_active_log(TDR_DATA_INSTANCE* instance) const;
  bool has_active_tree() const { return m_has_active_tree; }
  // Forgets every branch that points at one of these objects (they are being
  // removed); the document is left alone.
  void erase_active_branches(const void* object);

  // Embedded programming files. The name and pair getters return text this
  // session holds until the getter is called again on it; null when the file
  // or its attribute is missing.
  int get_embedded_kfb_file_count() const;
  DOMElement* get_dom_node_embedded_kfb_at(int index) const;
  const char* get_embedded_kfb_filename_at(int index) const;
  bool rename_embedded_kfb_filename_at(int index, const char* new_embedded_name);
  const char* get_embedded_kfb_inst_id_crc_at(int index) const;
  bool set_embedded_kfb_inst_id_crc_at(int index, const char* inst_id_crc_str);
  bool remove_embedded_kfb_at(int index);
  bool embed_kfb_file(const char* filename, const char* embedded_name);
  bool extract_kfb_file(int index, const char* filename) const;

  int get_open_count() const { return m_open_count; }
  void set_open_count(int count) { m_open_count = count; }

  DOMDocument* get_dom_doc() const { return m_doc; }
  DOMElement* get_dom_node() const { return m_root; }
  DOMElement* get_display_tree_node() const { return m_display_tree; }
  DOMElement* get_global_info_node() const { return m_global_info; }

 private:
  struct OPT_STRING {
    bool present = false;
    std::string value;
  };
  static const char* cstr(const OPT_STRING& s) { return s.present ? s.value.c_str() : nullptr; }
  void set_root_string(OPT_STRING* field, const XMLCh* attr, const char* value);
  void release_document();
  void read_display_tree();
  bool insert_active_branch(TDR_DATA_TRIGGER* trigger, TDR_DATA_LOG* log);

  TDR_DATA_KEYED_BLOCK m_global_data;
  OPT_STRING m_name;
  OPT_STRING m_jtag_chain;
  OPT_STRING m_jtag_device;
  OPT_STRING m_kfb_file;
  TDR_DATA_MNEMONICS* m_mnemonics = nullptr;
  int m_open_count = 0;
  bool m_has_active_tree = false;
  std::map<TDR_DATA_INSTANCE*, ACTIVE_BRANCH> m_active_tree_map;
  TDR_DATA_NAMED_LIST<TDR_DATA_INSTANCE> m_instances;
  std::unique_ptr<ZENVOR_DOM_PARSER> m_parser;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_root = nullptr;
  DOMElement* m_display_tree = nullptr;
  DOMElement* m_global_info = nullptr;
  DOMElement* m_embedded_kfb = nullptr;
  // The last answers of the embedded-file getters.
  mutable std::string m_kfb_name_answer;
  mutable std::string m_kfb_pairs_answer;
};

#endif
