// Mnemonics plug-in settings stored with a bus of a signal view.
#define TDR_SOURCE_FILE "tdr_data_bus_mnemonics_plugin"

#include "tdr_data_bus_mnemonics_plugin.h"

#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

TDR_DATA_BUS_MNEMONICS_PLUGIN::TDR_DATA_BUS_MNEMONICS_PLUGIN(DOMElement* element)
    : m_element(element) {
  if (!TDR_CHECK(element != NULL)) return;
  m_user_option = TDR_DATA_XML_UTIL::find_first_child_element_by_name(element, TDR_X("user_option"));
  m_internal_option =
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(element, TDR_X("internal_option"));
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::set_plugin_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  tdr_set_attr(m_element, TDR_X("plugin_name"), name);
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::set_table_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return;
  tdr_set_attr(m_element, TDR_X("table_name"), name);
}

const char* TDR_DATA_BUS_MNEMONICS_PLUGIN::read_name(const XMLCh* attr, std::string* cache,
                                                     bool* present) {
  *present = tdr_get_attr_if(m_element, attr, cache);
  return *present ? cache->c_str() : nullptr;
}

const char* TDR_DATA_BUS_MNEMONICS_PLUGIN::get_plugin_name() {
  return read_name(TDR_X("plugin_name"), &m_plugin_name, &m_has_plugin_name);
}

const char* TDR_DATA_BUS_MNEMONICS_PLUGIN::get_table_name() {
  return read_name(TDR_X("table_name"), &m_table_name, &m_has_table_name);
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::set_width(int width) {
  if (width < 1) {
    TDR_INTERNAL_ERROR("Mnemonics table width must be greater than 0");
    return;
  }
  tdr_set_attr_int(m_element, TDR_X("width"), width);
}

int TDR_DATA_BUS_MNEMONICS_PLUGIN::get_width() const {
  if (!m_element || !tdr_has_attr(m_element, TDR_X("width"))) return 0;
  return tdr_strtol_int(tdr_get_attr(m_element, TDR_X("width")).c_str());
}

DOMElement* TDR_DATA_BUS_MNEMONICS_PLUGIN::reset_list(DOMElement* list, const XMLCh* tag) {
  // The old list is detached but not released: another record on the same
  // element may still point at it.
  if (list && list->getParentNode()) list->getParentNode()->removeChild(list);
  m_cursor = nullptr;
  return m_element ? tdr_new_element(m_element->getOwnerDocument(), tag, m_element) : nullptr;
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::reset_user_option() {
  m_user_option = reset_list(m_user_option, TDR_X("user_option"));
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::reset_internal_option() {
  m_internal_option = reset_list(m_internal_option, TDR_X("internal_option"));
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::add_user_option(const char* name, const char* value,
                                                    TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type) {
  if (!TDR_CHECK(m_user_option != NULL)) return;
  DOMElement* option = tdr_new_element(m_element->getOwnerDocument(), TDR_X("option"),
                                       m_user_option);
  const char* word = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(type, &word);
  tdr_set_attr(option, TDR_X("name"), name ? name : "");
  tdr_set_attr(option, TDR_X("value"), value ? value : "");
  tdr_set_attr(option, TDR_X("type"), word ? word : "");
}

void TDR_DATA_BUS_MNEMONICS_PLUGIN::add_internal_option(const char* name, const char* value) {
  if (!TDR_CHECK(m_internal_option != NULL)) return;
  DOMElement* option = tdr_new_element(m_element->getOwnerDocument(), TDR_X("option"),
                                       m_internal_option);
  tdr_set_attr(option, TDR_X("name"), name ? name : "");
  tdr_set_attr(option, TDR_X("value"), value ? value : "");
}

bool TDR_DATA_BUS_MNEMONICS_PLUGIN::take_option(DOMElement* option, std::string* name,
                                                std::string* value,
                                                TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type) {
  m_cursor = option;
  if (!option) return false;
  *name = tdr_get_attr(option, TDR_X("name"));
  *value = tdr_get_attr(option, TDR_X("value"));
  if (type) {
    TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE t = TDR_OTYPE_STRING_OPTION;
    if (tdr_has_attr(option, TDR_X("type"))) {
      TDR_DATA_GLOBAL_ENUM::convert_string_to_enum(tdr_get_attr(option, TDR_X("type")).c_str(),
                                                   &t);
    }
    *type = t;
  }
  return true;
}

bool TDR_DATA_BUS_MNEMONICS_PLUGIN::get_first_user_option(
    std::string* name, std::string* value, TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type) {
  if (!TDR_CHECK(name != NULL && value != NULL && type != NULL)) return false;
  if (!m_user_option) return false;
  return take_option(
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(m_user_option, TDR_X("option")), name,
      value, type);
}

bool TDR_DATA_BUS_MNEMONICS_PLUGIN::get_next_user_option(
    std::string* name, std::string* value, TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE* type) {
  if (!TDR_CHECK(name != NULL && value != NULL && type != NULL)) return false;
  if (!m_user_option || !m_cursor) return false;
  return take_option(TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(m_cursor, TDR_X("option")),
                     name, value, type);
}

bool TDR_DATA_BUS_MNEMONICS_PLUGIN::get_first_internal_option(std::string* name,
                                                              std::string* value) {
  if (!TDR_CHECK(name != NULL && value != NULL)) return false;
  if (!m_internal_option) return false;
  return take_option(
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(m_internal_option, TDR_X("option")),
      name, value, nullptr);
}

bool TDR_DATA_BUS_MNEMONICS_PLUGIN::get_next_internal_option(std::string* name,
                                                             std::string* value) {
  if (!TDR_CHECK(name != NULL && value != NULL)) return false;
  if (!m_internal_option || !m_cursor) return false;
  return take_option(TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(m_cursor, TDR_X("option")),
                     name, value, nullptr);
}
