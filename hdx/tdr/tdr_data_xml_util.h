// Shared XML toolkit of the data layer: element navigation, dual-form strings,
// the DOM parser, reading a file and printing a document in the library's layout.
#ifndef TDR_DATA_XML_UTIL_H
#define TDR_DATA_XML_UTIL_H

#include <ostream>
#include <string>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/XMLString.hpp>

#include "tdr_file_replace.h"
#include "thr.h"

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

// Formatter target that writes bytes unchanged to one stream.
class TDR_DATA_XML_DOM_FORMAT : public xercesc::XMLFormatTarget {
 public:
  explicit TDR_DATA_XML_DOM_FORMAT(std::ostream& target) : m_target(target) {}
  void writeChars(const XMLByte* const bytes, const XMLSize_t count,
                  xercesc::XMLFormatter* const formatter) override;

 private:
  std::ostream& m_target;
};

class TDR_DATA_XML_PRINT {
 public:
  static xercesc::XMLFormatter* s_dom_formatter;
  static THR_MUTEX_OBJ s_mutex;
  // Nesting depth of the element being printed (0 outside printing).
  static int s_depth;
  // True: the printer encodes the bytes a US-ASCII, character-reference
  // formatter would write itself, straight into a large buffer (much faster).
  // False: every piece goes through s_dom_formatter. Both give the same bytes;
  // any other formatter is always used as it is.
  static bool s_direct_output;
  static void start(xercesc::XMLFormatter* formatter, bool lock);
  // Also forgets the formatter, which its owner is about to destroy.
  static void end(bool unlock);
};

// Writes `node` and its descendants in the library's layout: one element a
// line, two spaces a level, white-space-only text replaced by the layout, text
// written right before layout without its trailing white space (a "data"
// element keeps its text as it is). Saving a file read from a saved file
// gives the same bytes. Iterative: any document depth can be printed.
std::ostream& operator<<(std::ostream& target, DOMNode* node);

// Limits for files being read: they may be hostile.
enum {
  TDR_XML_MAX_ELEMENT_DEPTH = 10000,     // deeper documents are refused
  TDR_XML_MAX_ENTITY_EXPANSIONS = 10000, // entity references expanded per document
  TDR_XML_MAX_ENTITY_VALUE = 4096        // characters in one internal entity's value
};

class ZENVOR_DOM_PARSER : public xercesc::XercesDOMParser {
 public:
  ZENVOR_DOM_PARSER();
  ~ZENVOR_DOM_PARSER() override;

  // Refuses internal entities longer than TDR_XML_MAX_ENTITY_VALUE, so that the
  // expansion limit also bounds the expanded text (no quadratic blow-up).
  void entityDecl(const xercesc::DTDEntityDecl& decl, const bool is_pe_decl,
                  const bool is_ignored) override;
};

// Reads `file` into a new parser owned by the caller (*parser, set even on
// failure so the caller can delete it). On failure ETDR_SOURCE_GENERIC has been
// posted with `display_name` as the file and null is returned.
DOMDocument* tdr_xml_read_file(const char* file, const char* display_name,
                               ZENVOR_DOM_PARSER** parser);

// Prints `doc` into `out` and commits it: the target is replaced only when
// everything was written. False (target unchanged) when `out` did not open or
// printing or committing failed.
bool tdr_xml_write_file(DOMDocument* doc, TDR_FILE_REPLACE* out, bool lock);
// The same into a new TDR_FILE_REPLACE of `file`.
bool tdr_xml_write_file(DOMDocument* doc, const char* file, bool lock);

#endif
