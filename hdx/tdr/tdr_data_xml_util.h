// Shared XML toolkit of the data layer: element navigation, dual-form strings,
// escaping, writing a document to a file. Reading and the printer's parts are
// declared in tdr_data_xml_io.h.
#ifndef TDR_DATA_XML_UTIL_H
#define TDR_DATA_XML_UTIL_H

#include <string>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/util/XMLString.hpp>

class TDR_FILE_REPLACE;

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

class TDR_DATA_XML_UTIL {
 public:
  static DOMElement* find_first_child_element_by_name(DOMNode* parent, const char* name);
  static DOMElement* find_first_child_element_by_name(DOMNode* parent, const XMLCh* name);
  static DOMElement* find_first_child_element(DOMNode* parent);
  static DOMElement* find_next_sibling_element_by_name(DOMNode* node, const char* name);
  static DOMElement* find_next_sibling_element_by_name(DOMNode* node, const XMLCh* name);
  static DOMElement* find_next_sibling_element(DOMNode* node);

  // Makes sure the XML library is initialised (idempotent, counted by us).
  static void ensure_xml_initialized();

  // Whether every character of `text` may stand in an XML 1.0 document (no
  // C0 control but TAB, LF and CR, no U+FFFE/U+FFFF, no unpaired surrogate).
  // The printer writes what the DOM holds; a value failing this would make
  // the saved file unreadable. Null counts as valid.
  static bool is_valid_xml_text(const XMLCh* text);
};

inline bool tdr_xml_is_element(const DOMNode* node) {
  return node->getNodeType() == DOMNode::ELEMENT_NODE;
}

// Whether `node` (may be null) is an element named `name`.
inline bool tdr_xml_is_element_named(const DOMNode* node, const XMLCh* name) {
  return node && tdr_xml_is_element(node) && xercesc::XMLString::equals(node->getNodeName(), name);
}

// An attribute node's value, never null. Reads the usual single text child
// directly: the XML library's own getter pays a dynamic type check per call.
const XMLCh* tdr_xml_attribute_value(const DOMNode* attr);

// `text` (UTF-8) for the content or an attribute value of a UTF-8 XML file:
// & < > " as references, every other byte as it is.
std::string tdr_xml_escape_utf8(const std::string& text);

// One text in both string forms. Built from a narrow string it holds the
// XML-string form; assign() stores the narrow form of an XML string.
class TDR_DATA_XML_STR {
 public:
  TDR_DATA_XML_STR() : m_narrow(nullptr), m_xml(nullptr) {}
  explicit TDR_DATA_XML_STR(const char* text);
  ~TDR_DATA_XML_STR();
  TDR_DATA_XML_STR(const TDR_DATA_XML_STR&) = delete;
  TDR_DATA_XML_STR& operator=(const TDR_DATA_XML_STR&) = delete;

  void assign(const XMLCh* text);
  const XMLCh* xml() const { return m_xml; }
  const char* narrow() const { return m_narrow; }
  operator const XMLCh*() const { return m_xml; }

 private:
  char* m_narrow;
  XMLCh* m_xml;
};

// Prints `doc` into `out` and commits it: the target is replaced only when
// everything was written. False (target unchanged) when `out` did not open or
// printing or committing failed.
bool tdr_xml_write_file(DOMDocument* doc, TDR_FILE_REPLACE* out, bool lock);
// The same into a new TDR_FILE_REPLACE of `file`.
bool tdr_xml_write_file(DOMDocument* doc, const char* file, bool lock);

#endif
