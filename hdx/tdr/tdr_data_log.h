// One acquisition recorded under a trigger, bound to its "data" element.
#ifndef TDR_DATA_LOG_H
#define TDR_DATA_LOG_H

#include <string>

#include "tdr_data_xml_util.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_TRIGGER;

class TDR_DATA_LOG {
 public:
  // New, unattached "data" element with a generated name.
  explicit TDR_DATA_LOG(DOMDocument* doc);
  TDR_DATA_LOG(DOMDocument* doc, const char* name);
  // Reads an existing element.
  TDR_DATA_LOG(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set,
               TDR_DATA_TRIGGER* trigger);
  virtual ~TDR_DATA_LOG();
  TDR_DATA_LOG(const TDR_DATA_LOG&) = delete;
  TDR_DATA_LOG& operator=(const TDR_DATA_LOG&) = delete;

  const char* get_name() const { return m_name.c_str(); }
  // Renames within the trigger; false (nothing changed) when the name is taken.
  bool set_name(const char* name);
  DOMElement* get_dom_node() const { return m_element; }
  TDR_DATA_SIGNAL_SET* get_signal_set() const { return m_signal_set; }
  void set_signal_set(TDR_DATA_SIGNAL_SET* signal_set) { m_signal_set = signal_set; }
  TDR_DATA_TRIGGER* get_trigger() const { return m_trigger; }
  void set_trigger(TDR_DATA_TRIGGER* trigger) { m_trigger = trigger; }
  bool is_global_temp() const;
  void set_global_temp();

  // Takes the log out of its trigger and the document, then deletes it.
  void remove();

 private:
  void create_element();

  std::string m_name;
  TDR_DATA_SIGNAL_SET* m_signal_set = nullptr;
  TDR_DATA_TRIGGER* m_trigger = nullptr;
  DOMDocument* m_doc = nullptr;
  DOMElement* m_element = nullptr;
};

#endif
