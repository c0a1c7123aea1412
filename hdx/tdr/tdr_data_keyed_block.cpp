#include "tdr_data_keyed_block.h"

#include <cstdlib>
#include <cstring>

#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_util.h"

using namespace xercesc;

namespace {

std::string join_values(const int* values, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i) out += ',';
    out += std::to_string(values[i]);
  }
  return out;
}

DOMElement* find_entry(DOMElement* element, const XMLCh* tag, const XMLCh* key) {
  for (DOMNode* n = element->getFirstChild(); n; n = n->getNextSibling()) {
    if (!tdr_xml_is_element_named(n, tag)) continue;
    DOMElement* e = static_cast<DOMElement*>(n);
    if (XMLString::equals(tdr_attr_value(e, TDR_X("attribute")), key)) return e;
  }
  return nullptr;
}

void write_single(DOMElement* e, int value) {
  tdr_set_attr_int(e, TDR_X("value"), value);
}

void write_multi(DOMElement* e, const int* values, int count) {
  tdr_set_attr_int(e, TDR_X("size"), count);
  tdr_set_attr(e, TDR_X("value"), join_values(values, count));
}

}  // namespace

bool TDR_DATA_KEYED_BLOCK::set_single(const char* key, int value, bool memory_only,
                                      DOMElement* element) {
  if (!key) return false;
  m_single[key] = value;
  if (memory_only || !element) return true;
  TDR_XSTRING wkey = tdr_widen(key);
  DOMElement* e = find_entry(element, TDR_X("single"), wkey.c_str());
  if (!e) {
    e = tdr_new_element(element->getOwnerDocument(), TDR_X("single"), element);
    e->setAttribute(TDR_X("attribute"), wkey.c_str());
  }
  write_single(e, value);
  return true;
}

bool TDR_DATA_KEYED_BLOCK::set_multi(const char* key, const int* values, int count,
                                     bool memory_only, DOMElement* element) {
  if (!key) return false;
  if (count < 0 || !values) count = 0;
  m_multi[key] = std::vector<int>(values, values + count);
  if (memory_only || !element) return true;
  TDR_XSTRING wkey = tdr_widen(key);
  DOMElement* e = find_entry(element, TDR_X("multi"), wkey.c_str());
  if (!e) {
    e = tdr_new_element(element->getOwnerDocument(), TDR_X("multi"), element);
    e->setAttribute(TDR_X("attribute"), wkey.c_str());
  }
  write_multi(e, values, count);
  return true;
}

int TDR_DATA_KEYED_BLOCK::get_single(const char* key) const {
  if (!key) return -1;
  auto it = m_single.find(key);
  return it == m_single.end() ? -1 : it->second;
}

int TDR_DATA_KEYED_BLOCK::get_multi(const char* key, int* values) const {
  if (!key) return -1;
  auto it = m_multi.find(key);
  if (it == m_multi.end()) return -1;
  if (values && !it->second.empty())
    std::memcpy(values, it->second.data(), it->second.size() * sizeof(int));
  return int(it->second.size());
}

void TDR_DATA_KEYED_BLOCK::read(const DOMElement* element) {
  if (!element) return;
  std::string key, value, size_text;
  for (DOMNode* n = element->getFirstChild(); n; n = n->getNextSibling()) {
    if (!tdr_xml_is_element(n)) continue;
    const DOMElement* e = static_cast<const DOMElement*>(n);
    const XMLCh* tag = e->getTagName();
    if (XMLString::equals(tag, TDR_X("single"))) {
      if (!tdr_get_attr_if(e, TDR_X("attribute"), &key) ||
          !tdr_get_attr_if(e, TDR_X("value"), &value))
        continue;
      set_single(key.c_str(), tdr_strtol_int(value.c_str()), true, nullptr);
    } else if (XMLString::equals(tag, TDR_X("multi"))) {
      if (!tdr_get_attr_if(e, TDR_X("attribute"), &key) ||
          !tdr_get_attr_if(e, TDR_X("size"), &size_text) ||
          !tdr_get_attr_if(e, TDR_X("value"), &value))
        continue;
      long size = std::strtol(size_text.c_str(), nullptr, 10);
      if (size <= 0 || size > MAX_MULTI_SIZE) continue;
      // Item i runs to the next comma; the last item, or one with no comma
      // left, takes the rest of the text and every later item is 0.
      std::vector<int> items(size_t(size), 0);
      size_t pos = 0;
      for (long i = 0; i < size; ++i) {
        size_t comma = i + 1 < size ? value.find(',', pos) : std::string::npos;
        if (comma != std::string::npos && comma != 0) {
          items[size_t(i)] = tdr_strtol_int(value.substr(pos, comma - pos).c_str());
          pos = comma + 1;
        } else {
          items[size_t(i)] = tdr_strtol_int(value.c_str() + pos);
          break;
        }
      }
      set_multi(key.c_str(), items.data(), int(size), true, nullptr);
    }
  }
}

DOMElement* TDR_DATA_KEYED_BLOCK::read_from(DOMElement* parent, const XMLCh* name) {
  DOMElement* block = TDR_DATA_XML_UTIL::find_first_child_element_by_name(parent, name);
  if (!block) return tdr_new_element(parent->getOwnerDocument(), name, parent);
  read(block);
  while (DOMElement* extra = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(block, name))
    tdr_release_node(extra);
  return block;
}

DOMElement* TDR_DATA_KEYED_BLOCK::rewrite(DOMElement* parent, DOMElement* old_element,
                                          const XMLCh* name) {
  DOMDocument* doc = parent->getOwnerDocument();
  if (old_element && old_element->getParentNode() == parent) tdr_release_node(old_element);
  DOMElement* block = tdr_new_element(doc, name, parent);
  for (const auto& entry : m_single) {
    DOMElement* e = tdr_new_element(doc, TDR_X("single"), block);
    tdr_set_attr(e, TDR_X("attribute"), entry.first);
    write_single(e, entry.second);
  }
  for (const auto& entry : m_multi) {
    DOMElement* e = tdr_new_element(doc, TDR_X("multi"), block);
    tdr_set_attr(e, TDR_X("attribute"), entry.first);
    write_multi(e, entry.second.data(), int(entry.second.size()));
  }
  return block;
}

void TDR_DATA_KEYED_BLOCK::clear() {
  m_single.clear();
  m_multi.clear();
}
