// Helpers of the signal configuration tests: documents parsed from text and
// nodes printed in the saved-file layout.
#ifndef TDR_DATA_SIGNAL_TEST_SUPPORT_H
#define TDR_DATA_SIGNAL_TEST_SUPPORT_H

#include <memory>
#include <sstream>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>

#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_io.h"

// A document parsed from text (or a new one with an empty "session" root).
class TEST_XML_DOC {
 public:
  TEST_XML_DOC() {
    TDR_DATA_XML_UTIL::ensure_xml_initialized();
    xercesc::DOMImplementation* impl =
        xercesc::DOMImplementationRegistry::getDOMImplementation(TDR_X("LS"));
    m_own_doc = impl->createDocument(nullptr, TDR_X("session"), nullptr);
    doc = m_own_doc;
  }
  explicit TEST_XML_DOC(const std::string& text) {
    TDR_DATA_XML_UTIL::ensure_xml_initialized();
    m_parser.reset(new xercesc::XercesDOMParser());
    m_parser->setErrorHandler(&m_errors);
    m_parser->setDoNamespaces(false);
    m_parser->setLoadExternalDTD(false);
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                                      "test");
    m_parser->parse(source);
    doc = m_parser->getDocument();
  }
  ~TEST_XML_DOC() {
    if (m_own_doc) m_own_doc->release();
  }
  TEST_XML_DOC(const TEST_XML_DOC&) = delete;
  TEST_XML_DOC& operator=(const TEST_XML_DOC&) = delete;

  DOMElement* root() const { return doc->getDocumentElement(); }
  // First element below the root with this tag, in document order.
  DOMElement* find(const char* tag) const {
    xercesc::DOMNodeList* list = doc->getElementsByTagName(tdr_widen(tag).c_str());
    return list->getLength() ? static_cast<DOMElement*>(list->item(0)) : nullptr;
  }

  DOMDocument* doc = nullptr;

 private:
  std::unique_ptr<xercesc::XercesDOMParser> m_parser;
  xercesc::HandlerBase m_errors;
  DOMDocument* m_own_doc = nullptr;
};

// The node as the session file shows it (without the line break that starts
// an element printed inside a parent).
inline std::string print_node(DOMNode* node) {
  std::ostringstream out;
  TDR_DATA_XML_DOM_FORMAT target(out);
  xercesc::XMLFormatter formatter("US-ASCII", &target, xercesc::XMLFormatter::NoEscapes,
                                  xercesc::XMLFormatter::UnRep_CharRef);
  TDR_DATA_XML_PRINT::start(&formatter, true);
  out << node;
  TDR_DATA_XML_PRINT::end(true);
  std::string text = out.str();
  if (!text.empty() && text[0] == '\n') text.erase(0, 1);
  return text;
}

#endif
