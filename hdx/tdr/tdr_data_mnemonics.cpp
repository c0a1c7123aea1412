#define TDR_SOURCE_FILE "tdr_data_mnemonics"

#include "tdr_data_mnemonics.h"

#include <cstring>
#include <stdexcept>

#include <xercesc/util/XMLString.hpp>

#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_util.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {
// Values with edge letters describe transitions, not levels, so they are
// only ever looked up exactly.
bool has_edge_letter(const std::string& value) {
  return value.find_first_of("FRE") != std::string::npos;
}

// `pattern` and `value` are both normalised. A pattern longer than the value
// can never describe it.
bool pattern_matches(const std::string& pattern, const char* value, size_t length) {
  if (pattern.size() > length) return false;
  for (size_t i = 0; i < pattern.size(); ++i)
    if (pattern[i] != 'X' && pattern[i] != value[i]) return false;
  return true;
}
}  // namespace

// ---------------------------------------------------------------------------
// TDR_DATA_MNEMONICS_TABLE

TDR_DATA_MNEMONICS_TABLE::TDR_DATA_MNEMONICS_TABLE(DOMDocument* doc, const char* name, int width)
    : m_width(width), m_doc(doc) {
  TDR_CHECK(name != NULL);
  if (!TDR_CHECK(doc != NULL)) return;
  m_element = tdr_new_element(doc, TDR_X("table"));
  if (name) {
    m_name = name;
    m_has_name = true;
    tdr_set_attr(m_element, TDR_X("name"), m_name);
  }
  tdr_set_attr_int(m_element, TDR_X("width"), width);
}

TDR_DATA_MNEMONICS_TABLE::TDR_DATA_MNEMONICS_TABLE(DOMDocument* doc, DOMElement* element)
    : m_doc(doc), m_element(element) {
  if (!TDR_CHECK(element != NULL)) return;
  if (tdr_has_attr(element, TDR_X("name"))) {
    m_name = tdr_get_attr(element, TDR_X("name"));
    m_has_name = true;
  }
  std::string text;
  if (tdr_has_attr(element, TDR_X("width"))) {
    text = tdr_get_attr(element, TDR_X("width"));
    m_width = tdr_strtol_int(text.c_str());
  }
  std::string symbol;
  for (DOMNode* n = element->getFirstChild(); n; n = n->getNextSibling()) {
    if (!tdr_xml_is_element_named(n, TDR_X("symbol"))) continue;
    const DOMElement* e = static_cast<const DOMElement*>(n);
    if (!tdr_get_attr_if(e, TDR_X("name"), &symbol) || !tdr_get_attr_if(e, TDR_X("value"), &text))
      continue;
    add(symbol, text, false, true);
  }
}

std::string TDR_DATA_MNEMONICS_TABLE::normalize_value(const std::string& value) {
  std::string out(value);
  for (char& c : out) {
    if (c == 'H') c = '1';
    else if (c == 'L') c = '0';
  }
  return out;
}

const char* TDR_DATA_MNEMONICS_TABLE::get_value(int index) const {
  if (!m_element) return nullptr;
  return m_entries.at(size_t(index)).value.c_str();  // negative indexes wrap and throw too
}

const char* TDR_DATA_MNEMONICS_TABLE::get_first_symbol(int index) const {
  if (!m_element) return nullptr;
  return m_entries.at(size_t(index)).symbol.c_str();
}

const char* TDR_DATA_MNEMONICS_TABLE::get_value(const char* symbol) const {
  if (!symbol) return nullptr;
  return get_value(std::string(symbol));
}

const char* TDR_DATA_MNEMONICS_TABLE::get_value(const std::string& symbol) const {
  auto it = m_symbols.find(symbol);
  return it == m_symbols.end() ? nullptr : it->second->value.c_str();
}

const char* TDR_DATA_MNEMONICS_TABLE::get_first_symbol(const char* value) const {
  if (!value) return nullptr;
  return lookup_symbol(value, std::strlen(value));
}

const char* TDR_DATA_MNEMONICS_TABLE::get_first_symbol(const std::string& value) const {
  return lookup_symbol(value.c_str(), value.size());
}

const char* TDR_DATA_MNEMONICS_TABLE::lookup_symbol(const char* value, size_t length) const {
  if (m_width < 0 || length != size_t(m_width)) return nullptr;
  const std::string normalized = normalize_value(std::string(value, length));
  auto it = m_value_map.find(normalized);
  if (it != m_value_map.end()) return it->second->symbol.c_str();
  for (const ENTRY* e : m_pattern_list)
    if (pattern_matches(e->normalized, normalized.data(), normalized.size()))
      return e->symbol.c_str();
  return nullptr;
}

bool TDR_DATA_MNEMONICS_TABLE::add_entry(const char* symbol, const char* value) {
  if (!TDR_CHECK(symbol != NULL) || !TDR_CHECK(value != NULL)) return false;
  return add(symbol, value, true, false);
}

bool TDR_DATA_MNEMONICS_TABLE::add_entry(const std::string& symbol, const std::string& value,
                                         bool write_element) {
  return add(symbol, value, write_element, false);
}

bool TDR_DATA_MNEMONICS_TABLE::add(const std::string& symbol, const std::string& value,
                                   bool write_element, bool warn) {
  std::string normalized = normalize_value(value);
  auto known = m_symbols.find(symbol);
  // A symbol stands for one value; a second spelling of the same bits is harmless.
  if (known != m_symbols.end() && known->second->normalized != normalized) {
    if (warn)
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_SYMBOL(symbol.c_str(), known->second->value.c_str(),
                                                 get_name(), value.c_str()));
    return false;
  }
  m_entries.push_back(ENTRY{value, std::move(normalized), symbol});
  const ENTRY* entry = &m_entries.back();
  if (known == m_symbols.end()) m_symbols.emplace(symbol, entry);
  m_value_map.emplace(entry->normalized, entry);  // an existing value keeps its first symbol
  if (!has_edge_letter(value)) m_pattern_list.push_back(entry);
  if (write_element && m_doc && m_element) {
    DOMElement* e = tdr_new_element(m_doc, TDR_X("symbol"), m_element);
    tdr_set_attr(e, TDR_X("name"), symbol);
    tdr_set_attr(e, TDR_X("value"), value);
  }
  return true;
}

void TDR_DATA_MNEMONICS_TABLE::clone(const TDR_DATA_MNEMONICS_TABLE* source) {
  if (!TDR_CHECK(source != NULL)) return;
  // Counted up front: cloning a table into itself must not chase its own tail.
  const size_t count = source->m_entries.size();
  for (size_t i = 0; i < count; ++i) {
    const ENTRY& e = source->m_entries[i];
    add(e.symbol, e.value, true, true);
  }
}

// ---------------------------------------------------------------------------
// TDR_DATA_MNEMONICS

TDR_DATA_MNEMONICS::TDR_DATA_MNEMONICS(DOMDocument* doc) : m_doc(doc) {
  init_container();
  if (TDR_CHECK(doc != NULL)) m_element = tdr_new_element(doc, TDR_X("mnemonics"));
}

TDR_DATA_MNEMONICS::TDR_DATA_MNEMONICS(DOMDocument* doc, DOMElement* element)
    : m_doc(doc), m_element(element) {
  init_container();
  if (!TDR_CHECK(element != NULL)) {
    if (doc) m_element = tdr_new_element(doc, TDR_X("mnemonics"));
    return;
  }
  std::string name;
  for (DOMNode* n = element->getFirstChild(); n; n = n->getNextSibling()) {
    if (!tdr_xml_is_element_named(n, TDR_X("table"))) continue;
    DOMElement* e = static_cast<DOMElement*>(n);
    // Decided on the name alone, so a table that will be dropped is never
    // parsed and never warns about its symbols.
    if (!tdr_get_attr_if(e, TDR_X("name"), &name) || m_tables->find(name.c_str())) continue;
    TDR_DATA_MNEMONICS_TABLE* table = new TDR_DATA_MNEMONICS_TABLE(doc, e);
    if (!m_tables->append(table)) delete table;
  }
}

TDR_DATA_MNEMONICS::~TDR_DATA_MNEMONICS() { del_container(); }

void TDR_DATA_MNEMONICS::init_container() {
  if (!m_tables) m_tables = new TDR_DATA_NAMED_LIST<TDR_DATA_MNEMONICS_TABLE>();
}

void TDR_DATA_MNEMONICS::del_container() {
  delete m_tables;  // deletes every table
  m_tables = nullptr;
}

TDR_DATA_MNEMONICS_TABLE* TDR_DATA_MNEMONICS::create_table(const char* name, int width) {
  if (!TDR_CHECK(name != NULL) || !TDR_CHECK(*name != '\0')) return nullptr;
  if (find_table(name)) return nullptr;
  TDR_DATA_MNEMONICS_TABLE* table = new TDR_DATA_MNEMONICS_TABLE(m_doc, name, width);
  if (!append(table, true)) {
    tdr_release_node(table->get_dom_node());
    delete table;
    return nullptr;
  }
  return table;
}

bool TDR_DATA_MNEMONICS::append(TDR_DATA_MNEMONICS_TABLE* table, bool attach_element) {
  if (!TDR_CHECK(table != NULL)) return false;
  init_container();
  if (!m_tables->append(table)) return false;
  if (attach_element && m_element && table->get_dom_node())
    m_element->appendChild(table->get_dom_node());
  return true;
}

bool TDR_DATA_MNEMONICS::delete_table(TDR_DATA_MNEMONICS_TABLE* table) {
  if (!TDR_CHECK(table != NULL)) return false;
  const char* name = table->get_name();
  if (!TDR_CHECK(name != NULL && *name != '\0')) return false;
  if (find_table(name) != table) return false;
  m_tables->name_map().erase(name);
  m_tables->delete_from_vector(table);
  DOMElement* element = table->get_dom_node();
  // Only our own child (or a never attached element) is ours to drop.
  if (element && (element->getParentNode() == m_element || !element->getParentNode()))
    tdr_release_node(element);
  delete table;
  return true;
}

bool TDR_DATA_MNEMONICS::delete_table(const char* name) {
  if (!TDR_CHECK(name != NULL && *name != '\0')) return false;
  TDR_DATA_MNEMONICS_TABLE* table = find_table(name);
  return table ? delete_table(table) : false;
}

TDR_DATA_MNEMONICS_TABLE* TDR_DATA_MNEMONICS::find_table(const char* name) const {
  return m_tables ? m_tables->find(name) : nullptr;
}

int TDR_DATA_MNEMONICS::get_num_tables() const { return m_tables ? m_tables->size() : 0; }

TDR_DATA_MNEMONICS_TABLE* TDR_DATA_MNEMONICS::get_table(int index) const {
  return m_tables ? m_tables->at(index) : nullptr;
}
