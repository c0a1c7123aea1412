// Fast conversions between the library's narrow (UTF-8) strings and the DOM's
// 16-bit strings, and attribute helpers built on them. Element and attribute
// names are ASCII literals widened once (TDR_X), so hot paths never transcode them.
#ifndef TDR_DATA_XML_ATTR_H
#define TDR_DATA_XML_ATTR_H

#include <string>

#include "tdr_data_xml_fwd.h"

typedef std::basic_string<XMLCh> TDR_XSTRING;

// UTF-16 -> UTF-8; null gives "". Unpaired surrogates become U+FFFD.
std::string tdr_narrow(const XMLCh* text);
void tdr_narrow_append(const XMLCh* text, std::string* out);
// UTF-8 -> UTF-16; null gives "". Invalid bytes are taken as Latin-1 characters.
TDR_XSTRING tdr_widen(const char* text);
TDR_XSTRING tdr_widen(const std::string& text);

// A widened ASCII literal, converted on first use and kept for the process.
#define TDR_X(literal)                                          \
  ([]() -> const XMLCh* {                                       \
    static const TDR_XSTRING s_widened = tdr_widen(literal);    \
    return s_widened.c_str();                                   \
  }())

// Attribute access on an element with a literal (ASCII) attribute name.
// The value, null when absent or `e` is null.
const XMLCh* tdr_attr_value(const xercesc::DOMElement* e, const XMLCh* name);
// The values of the attributes `names[0..count)` (null where absent), read
// in one walk over the element's attributes instead of a lookup each.
void tdr_attr_values(const xercesc::DOMElement* e, const XMLCh* const* names, size_t count,
                     const XMLCh** values);
bool tdr_has_attr(const xercesc::DOMElement* e, const XMLCh* name);
// The value, "" when absent.
std::string tdr_get_attr(const xercesc::DOMElement* e, const XMLCh* name);
// True (and *value set) when present and not empty.
bool tdr_get_attr_if(const xercesc::DOMElement* e, const XMLCh* name, std::string* value);
// Setters leave an attribute that already holds the value as it is.
void tdr_set_attr(xercesc::DOMElement* e, const XMLCh* name, const XMLCh* value);
void tdr_set_attr(xercesc::DOMElement* e, const XMLCh* name, const char* value);
void tdr_set_attr(xercesc::DOMElement* e, const XMLCh* name, const std::string& value);
void tdr_set_attr_int(xercesc::DOMElement* e, const XMLCh* name, long value);
void tdr_remove_attr(xercesc::DOMElement* e, const XMLCh* name);

// New element `name`, appended to `parent` when given.
xercesc::DOMElement* tdr_new_element(xercesc::DOMDocument* doc, const XMLCh* name,
                                     xercesc::DOMNode* parent = nullptr);
// Detaches `node` from its parent and releases it with its subtree.
void tdr_release_node(xercesc::DOMNode* node);

// Global-temp marking shared by signal sets, triggers and logs: the attribute
// "global_temp" whose value begins with "1".
bool tdr_is_global_temp_element(const xercesc::DOMElement* e);
void tdr_mark_global_temp_element(xercesc::DOMElement* e);

// C strtol in base 10 on a narrow string, clamped to the int range.
int tdr_strtol_int(const char* text);

#endif
