#include "tdr_data_xml_attr.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <xercesc/dom/DOM.hpp>

using namespace xercesc;

void tdr_narrow_append(const XMLCh* s, std::string* out) {
  if (!s) return;
  while (*s) {
    // Runs of ASCII, nearly everything a session holds, are narrowed through
    // a buffer in the same pass that finds their end.
    char buf[512];
    size_t n = 0;
    for (unsigned c; n < sizeof buf && (c = *s) - 1u < 0x7Fu; ++s) buf[n++] = char(c);
    if (n == sizeof buf) {
      // A long run (a condition text): its end first, then one copy into
      // the string instead of a growth per buffer.
      const XMLCh* end = s;
      while (unsigned(*end) - 1u < 0x7Fu) ++end;
      size_t at = out->size();
      out->resize(at + n + size_t(end - s));
      char* d = &(*out)[at];
      std::memcpy(d, buf, n);
      for (d += n; s != end; ++s) *d++ = char(*s);
      continue;
    }
    if (n) {
      out->append(buf, n);
      continue;
    }
    unsigned c = *s;
    if (c >= 0xD800 && c <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unsigned(s[1]) - 0xDC00);
      ++s;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    ++s;
    if (c < 0x800) {
      out->push_back(char(0xC0 | (c >> 6)));
      out->push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out->push_back(char(0xE0 | (c >> 12)));
      out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(char(0x80 | (c & 0x3F)));
    } else {
      out->push_back(char(0xF0 | (c >> 18)));
      out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out->push_back(char(0x80 | (c & 0x3F)));
    }
  }
}

std::string tdr_narrow(const XMLCh* text) {
  std::string out;
  tdr_narrow_append(text, &out);
  return out;
}

static void widen_into(const unsigned char* p, size_t n, TDR_XSTRING* out) {
  out->reserve(n);
  for (size_t i = 0; i < n;) {
    unsigned c = p[i];
    if (c < 0x80) {
      out->push_back(XMLCh(c));
      ++i;
      continue;
    }
    unsigned len = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    bool ok = len && i + len <= n;
    unsigned cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (unsigned k = 1; ok && k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
               (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      ok = false;
    if (!ok) {
      out->push_back(XMLCh(c));  // stray byte: keep it as Latin-1
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(XMLCh(0xD800 + (cp >> 10)));
      out->push_back(XMLCh(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(XMLCh(cp));
    }
    i += len;
  }
}

TDR_XSTRING tdr_widen(const char* text) {
  TDR_XSTRING out;
  if (text) widen_into(reinterpret_cast<const unsigned char*>(text), std::strlen(text), &out);
  return out;
}

TDR_XSTRING tdr_widen(const std::string& text) {
  TDR_XSTRING out;
  widen_into(reinterpret_cast<const unsigned char*>(text.data()), text.size(), &out);
  return out;
}

namespace {

const XMLCh* value_of(const DOMAttr* a) {
  // An attribute keeps its value in one text node. The DOM's getValue()
  // reaches it through several dynamic casts, which made it the dearest call
  // of opening a session; entity references inside a value still go there.
  const DOMNode* child = a->getFirstChild();
  if (child && child->getNodeType() == DOMNode::TEXT_NODE && !child->getNextSibling())
    return child->getNodeValue();
  return a->getValue();
}

}  // namespace

const XMLCh* tdr_attr_value(const DOMElement* e, const XMLCh* name) {
  const DOMAttr* a = e ? e->getAttributeNode(name) : nullptr;
  return a ? value_of(a) : nullptr;
}

void tdr_attr_values(const DOMElement* e, const XMLCh* const* names, size_t count,
                     const XMLCh** values) {
  for (size_t k = 0; k < count; ++k) values[k] = nullptr;
  DOMNamedNodeMap* attrs = e ? e->getAttributes() : nullptr;
  if (!attrs) return;
  for (XMLSize_t i = 0, n = attrs->getLength(); i < n; ++i) {
    const DOMNode* a = attrs->item(i);
    const XMLCh* name = a->getNodeName();
    for (size_t k = 0; k < count; ++k) {
      if (!values[k] && XMLString::equals(name, names[k])) {
        values[k] = value_of(static_cast<const DOMAttr*>(a));
        break;
      }
    }
  }
}

bool tdr_has_attr(const DOMElement* e, const XMLCh* name) {
  return e && e->getAttributeNode(name) != nullptr;
}

std::string tdr_get_attr(const DOMElement* e, const XMLCh* name) {
  const XMLCh* v = tdr_attr_value(e, name);
  return v ? tdr_narrow(v) : std::string();
}

bool tdr_get_attr_if(const DOMElement* e, const XMLCh* name, std::string* value) {
  const XMLCh* v = tdr_attr_value(e, name);
  if (!v || !*v) return false;
  value->clear();
  tdr_narrow_append(v, value);
  return true;
}

void tdr_set_attr(DOMElement* e, const XMLCh* name, const XMLCh* value) {
  if (!e) return;
  // The DOM replaces an attribute's text node on every write, from memory the
  // document keeps until it is closed; many writes (a save, a commit) put back
  // the value that is already there.
  if (DOMAttr* a = e->getAttributeNode(name)) {
    if (!XMLString::equals(value_of(a), value)) a->setValue(value);
    return;
  }
  e->setAttribute(name, value);
}

void tdr_set_attr(DOMElement* e, const XMLCh* name, const char* value) {
  if (e) tdr_set_attr(e, name, tdr_widen(value).c_str());
}

void tdr_set_attr(DOMElement* e, const XMLCh* name, const std::string& value) {
  if (e) tdr_set_attr(e, name, tdr_widen(value).c_str());
}

void tdr_set_attr_int(DOMElement* e, const XMLCh* name, long value) {
  tdr_set_attr(e, name, std::to_string(value));
}

void tdr_remove_attr(DOMElement* e, const XMLCh* name) {
  if (e && e->getAttributeNode(name)) e->removeAttribute(name);
}

DOMElement* tdr_new_element(DOMDocument* doc, const XMLCh* name, DOMNode* parent) {
  DOMElement* e = doc->createElement(name);
  if (parent) parent->appendChild(e);
  return e;
}

void tdr_release_node(DOMNode* node) {
  if (!node) return;
  if (DOMNode* parent = node->getParentNode()) parent->removeChild(node);
  node->release();
}

bool tdr_is_global_temp_element(const DOMElement* e) {
  const XMLCh* v = tdr_attr_value(e, TDR_X("global_temp"));
  return v && v[0] == '1';
}

void tdr_mark_global_temp_element(DOMElement* e) {
  if (e) e->setAttribute(TDR_X("global_temp"), TDR_X("1"));
}

int tdr_strtol_int(const char* text) {
  if (!text) return 0;
  errno = 0;
  long v = std::strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}
