// One analyser instance of a session: a debug node of the device design with
// its identification record, position data and signal sets.
#ifndef TDR_DATA_INSTANCE_H
#define TDR_DATA_INSTANCE_H

#include <string>

#include "tdr_data_keyed_block.h"
#include "tdr_data_named_list.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_SESSION;
class TDR_DATA_SIGNAL_SET;

// Node identification record, passed by value.
struct TDR_DATA_INSTANCE_INFO {
  unsigned int instance_id;  // low 8 bits used
  int mfg_id;
  unsigned char node_id;
  unsigned char version;           // 255: not defined
  unsigned char inferred_version;  // 255: not defined
};

class TDR_DATA_INSTANCE {
 public:
  static const int TAVRIN_MFG_ID = 110;
  static const int CURRENT_VERSION = 4;
  static const unsigned char VERSION_NOT_DEFINED = 255;

  // A new, unattached "instance" element with empty "node_ip_info" and "position_info".
  TDR_DATA_INSTANCE(DOMDocument* doc, const char* name);
  // Reads an existing element; writes normalised values back.
  TDR_DATA_INSTANCE(DOMDocument* doc, DOMElement* element, TDR_DATA_SESSION* session);
  virtual ~TDR_DATA_INSTANCE();
  TDR_DATA_INSTANCE(const TDR_DATA_INSTANCE&) = delete;
  TDR_DATA_INSTANCE& operator=(const TDR_DATA_INSTANCE&) = delete;

  const char* get_name() const { return m_has_name ? m_name.c_str() : nullptr; }
  // Also gives the name with every byte that is not an ASCII letter or digit as "_".
  const char* get_name(std::string* identifier) const;
  const char* get_entity_name() const { return m_has_entity ? m_entity_name.c_str() : nullptr; }
  const char* get_source_filename() const {
    return m_has_source ? m_source_file.c_str() : nullptr;
  }
  bool set_name(const char* new_name);
  void set_entity_name(const char* entity_name);
  void set_source_filename(const char* source_filename);

  bool is_auto_node() const { return m_auto_node; }
  void set_auto_node(bool flag);
  bool is_incr_cmp_mode() const { return m_incr_cmp_mode; }
  void set_incr_cmp_mode(bool flag);
  bool is_expanded() const { return m_expanded; }
  bool set_expanded_status(bool flag);

  TDR_DATA_INSTANCE_INFO get_node_info() const { return m_node_info; }
  void set_node_info(TDR_DATA_INSTANCE_INFO info);
  bool is_tavrin_node() const;
  bool is_tavrin_hdl_node() const;
  bool is_version_not_defined() const { return m_node_info.version == VERSION_NOT_DEFINED; }
  bool is_inferred_version_defined() const {
    return m_node_info.inferred_version < VERSION_NOT_DEFINED;
  }
  bool is_current_version() const;
  int get_current_version() const { return CURRENT_VERSION; }
  bool update_to_current_version();
  void set_inferred_node_version(unsigned char version);

  void set_session(TDR_DATA_SESSION* session) { m_session = session; }
  TDR_DATA_SESSION* get_session() const { return m_session; }
  DOMElement* get_dom_node() const { return m_element; }
  DOMDocument* get_dom_doc() const { return m_doc; }
  void remove();

  TDR_DATA_SIGNAL_SET* create_signal_set(const char* name, bool global_temp);
  bool append(TDR_DATA_SIGNAL_SET* signal_set, bool append_element);
  int get_num_signal_sets() const { return m_signal_sets.size(); }
  TDR_DATA_SIGNAL_SET* find_signal_set(const char* name) const;
  TDR_DATA_SIGNAL_SET* get_signal_set_at(int index) const { return m_signal_sets.at(index); }
  TDR_DATA_SIGNAL_SET* get_last_signal_set() const;
  TDR_DATA_SIGNAL_SET* get_global_signal_set() const { return m_signal_sets.global(); }
  void set_global_signal_set(TDR_DATA_SIGNAL_SET* signal_set) { m_signal_sets.set_global(signal_set); }
  TDR_DATA_NAME_MAP<TDR_DATA_SIGNAL_SET>& get_signal_set_name_map() {
    return m_signal_sets.name_map();
  }
  void init_container();
  void del_container();
  void delete_from_vector(TDR_DATA_SIGNAL_SET* signal_set) {
    m_signal_sets.delete_from_vector(signal_set);
  }

  bool set_position_data(const char* key, int value, bool memory_only);
  bool set_position_data(const char* key, const int* values, int count, bool memory_only);
  int get_position_data(const char* key) const { return m_position.get_single(key); }
  int get_position_data(const char* key, int* values) const {
    return m_position.get_multi(key, values);
  }
  void write_position_info();

 private:
  void create_skeleton_children();

  TDR_DATA_KEYED_BLOCK m_position;
  bool m_has_name = false;
  std::string m_name;
  bool m_has_entity = false;
  std::string m_entity_name;
  bool m_has_source = false;
  std::string m_source_file;
  bool m_expanded = false;
  bool m_auto_node = false;
  bool m_incr_cmp_mode = false;
  TDR_DATA_SESSION* m_session = nullptr;
  TDR_DATA_INSTANCE_INFO m_node_info = {0, 0, 0, 0, 0};
  TDR_DATA_NAMED_LIST<TDR_DATA_SIGNAL_SET> m_signal_sets;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_element = nullptr;
  DOMElement* m_node_info_element = nullptr;
  DOMElement* m_position_element = nullptr;
};

#endif
