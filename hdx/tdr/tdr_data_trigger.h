// One trigger of a signal set, bound to its "trigger" element, with the logs
// (acquired data) recorded under it.
#ifndef TDR_DATA_TRIGGER_H
#define TDR_DATA_TRIGGER_H

#include <string>

#include "tdr_data_named_list.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_LOG;

class TDR_DATA_TRIGGER {
 public:
  // New, unattached "trigger" element with a generated name.
  explicit TDR_DATA_TRIGGER(DOMDocument* doc);
  // New, unattached "trigger" element carrying only "name".
  TDR_DATA_TRIGGER(DOMDocument* doc, const char* name);
  // Reads an existing element.
  TDR_DATA_TRIGGER(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set);
  virtual ~TDR_DATA_TRIGGER();
  TDR_DATA_TRIGGER(const TDR_DATA_TRIGGER&) = delete;
  TDR_DATA_TRIGGER& operator=(const TDR_DATA_TRIGGER&) = delete;

  const char* get_name() const { return m_name.c_str(); }
  // Renames within the signal set; false (nothing changed) when the name is taken.
  bool set_name(const char* name);
  DOMElement* get_dom_node() const { return m_element; }
  DOMDocument* get_dom_doc() const { return m_doc; }
  TDR_DATA_SIGNAL_SET* get_signal_set() const { return m_signal_set; }
  void set_signal_set(TDR_DATA_SIGNAL_SET* signal_set) { m_signal_set = signal_set; }
  bool is_global_temp() const;
  void set_global_temp();

  // Logs.
  bool append(TDR_DATA_LOG* log, bool append_element);
  TDR_DATA_LOG* find_log(const char* name) const;
  int get_num_logs() const { return m_logs.size(); }
  TDR_DATA_LOG* get_log_at(int index) const { return m_logs.at(index); }
  void delete_from_vector(TDR_DATA_LOG* log) { m_logs.delete_from_vector(log); }
  TDR_DATA_LOG* get_global_log() const { return m_logs.global(); }
  void set_global_log(TDR_DATA_LOG* log) { m_logs.set_global(log); }
  TDR_DATA_NAME_MAP<TDR_DATA_LOG>& get_log_name_map() { return m_logs.name_map(); }
  void init_container() {}
  void del_container();

  // Takes the trigger out of its signal set and the document, then deletes it.
  void remove();

 private:
  void create_element();

  std::string m_name;
  TDR_DATA_SIGNAL_SET* m_signal_set = nullptr;
  TDR_DATA_NAMED_LIST<TDR_DATA_LOG> m_logs;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_element = nullptr;
};

#endif
