// Reading a document from a file and the parts of the printer: its shared
// state and the operator that prints a node in the library's layout.
#ifndef TDR_DATA_XML_IO_H
#define TDR_DATA_XML_IO_H

#include <memory>
#include <ostream>
#include <string>

#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "tdr_data_xml_util.h"
#include "thr.h"

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

  // Element nesting is measured while the document is built, which spares a
  // walk over the whole tree afterwards. Elements inside entity references
  // are not counted (the tree keeps them below the reference node).
  void startElement(const xercesc::XMLElementDecl& decl, const unsigned int url_id,
                    const XMLCh* const prefix, const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs,
                    const XMLSize_t attr_count, const bool is_empty, const bool is_root) override;
  void endElement(const xercesc::XMLElementDecl& decl, const unsigned int url_id,
                  const bool is_root, const XMLCh* const prefix) override;
  void startEntityReference(const xercesc::XMLEntityDecl& decl) override;
  void endEntityReference(const xercesc::XMLEntityDecl& decl) override;
  // The deepest element nesting of the last parse (the root is at depth 1).
  int max_element_depth() const { return m_max_depth; }

  // White space between an element's end and the next element's start or
  // its parent's end is the file's indentation: the printer writes its own
  // layout there and nothing reads it, so no text node is made for it (half
  // the element and text nodes of a session). It is held until the next event
  // shows which it is; any other content after it gets it back in full.
  void docCharacters(const XMLCh* const chars, const XMLSize_t length,
                     const bool cdata_section) override;
  void docComment(const XMLCh* const comment) override;
  void docPI(const XMLCh* const target, const XMLCh* const data) override;
  void ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length,
                           const bool cdata_section) override;

 private:
  void release_held_space();

  int m_depth = 0;
  int m_max_depth = 0;
  int m_entity_depth = 0;
  std::u16string m_held_space;
};

// Reads `file` into a new parser, which owns the document it holds. On
// failure ETDR_SOURCE_GENERIC has been posted with `display_name` as the file
// and null is returned.
std::unique_ptr<ZENVOR_DOM_PARSER> tdr_xml_read_file(const char* file, const char* display_name);

#endif
