// Settings of the external mnemonics plug-in that shows a bus's values: a
// light handle on the bus's "mnemonics_plugin" element. Several records on one
// element see each other's changes; the caller owns the record.
#ifndef TDR_DATA_BUS_MNEMONICS_PLUGIN_H
#define TDR_DATA_BUS_MNEMONICS_PLUGIN_H

#include <string>

#include "tdr_data_global_enum.h"
#include "tdr_data_xml_util.h"

class TDR_DATA_BUS_MNEMONICS_PLUGIN {
 public:
  explicit TDR_DATA_BUS_MNEMONICS_PLUGIN(DOMElement* element);
  ~TDR_DATA_BUS_MNEMONICS_PLUGIN() = default;
  TDR_DATA_BUS_MNEMONICS_PLUGIN(const TDR_DATA_BUS_MNEMONICS_PLUGIN&) = delete;
  TDR_DATA_BUS_MNEMONICS_PLUGIN& operator=(const TDR_DATA_BUS_MNEMONICS_PLUGIN&) = delete;

  void set_plugin_name(const char* name);
  void set_table_name(const char* name);
  // Read from the element on each call; null when absent or empty. The text
  // stays valid until the next call of the same getter.
  const char* get_plugin_name();
  const char* get_table_name();
  // Widths below 1 are refused (reported, nothing written).
  void set_width(int width);
  int get_width() const;

  // Replace the option list with a new, empty one.
  void reset_user_option();
  void reset_internal_option();
  // The list must exist (reset it first).
  void add_user_option(const char* name, const char* value,
                       TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type);
  void add_internal_option(const char* name, const char* value);

  // One cursor serves both lists. False (outputs unchanged) at the end, without
  // a list, or for get_next without a current option.
  bool get_first_user_option(std::string* name, std::string* value,
                             TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type);
  bool get_next_user_option(std::string* name, std::string* value,
                            TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type);
  bool get_first_internal_option(std::string* name, std::string* value);
  bool get_next_internal_option(std::string* name, std::string* value);

  DOMElement* get_dom_node() const { return m_element; }

 private:
  const char* read_name(const XMLCh* attr, std::string* cache, bool* present);
  DOMElement* reset_list(DOMElement* list, const XMLCh* tag);
  bool take_option(DOMElement* option, std::string* name, std::string* value,
                   TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type);

  std::string m_plugin_name;
  bool m_has_plugin_name = false;
  std::string m_table_name;
  bool m_has_table_name = false;
  DOMElement* m_element;
  DOMElement* m_user_option = nullptr;
  DOMElement* m_internal_option = nullptr;
  DOMElement* m_cursor = nullptr;
};

#endif
