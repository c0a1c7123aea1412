// The XML library's character type and DOM classes by name only, for headers
// that merely point at DOM nodes.
#ifndef TDR_DATA_XML_FWD_H
#define TDR_DATA_XML_FWD_H

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMAttr;
class DOMCDATASection;
class DOMDocument;
class DOMElement;
class DOMNode;
class DOMText;
XERCES_CPP_NAMESPACE_END

#endif
