// Mnemonic tables: symbolic names for bit patterns of a bus. The session owns
// one TDR_DATA_MNEMONICS over its "mnemonics" element; each table lives on one
// "table" element whose "symbol" children are its entries.
#ifndef TDR_DATA_MNEMONICS_H
#define TDR_DATA_MNEMONICS_H

#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "tdr_data_xml_fwd.h"

#include "tdr_data_named_list.h"

class TDR_DATA_MNEMONICS_TABLE {
 public:
  // New table on a new, unattached "table" element carrying `name` and `width`.
  TDR_DATA_MNEMONICS_TABLE(xercesc::DOMDocument* doc, const char* name, int width);
  // Reads an existing "table" element; its "symbol" children stay as they are.
  TDR_DATA_MNEMONICS_TABLE(xercesc::DOMDocument* doc, xercesc::DOMElement* element);
  // Leaves the element in the document.
  ~TDR_DATA_MNEMONICS_TABLE() = default;
  TDR_DATA_MNEMONICS_TABLE(const TDR_DATA_MNEMONICS_TABLE&) = delete;
  TDR_DATA_MNEMONICS_TABLE& operator=(const TDR_DATA_MNEMONICS_TABLE&) = delete;

  // Null when the element carried no name.
  const char* get_name() const { return m_has_name ? m_name.c_str() : nullptr; }
  int get_width() const { return m_width; }
  int get_num_entries() const { return int(m_entries.size()); }
  xercesc::DOMElement* get_dom_node() const { return m_element; }

  // The i-th entry in entry order: value as written / symbol. Throws
  // std::out_of_range outside 0..get_num_entries()-1.
  const char* get_value(int index) const;
  const char* get_first_symbol(int index) const;

  // Value as written of the first entry with exactly this symbol; null when none.
  const char* get_value(const char* symbol) const;
  const char* get_value(const std::string& symbol) const;

  // Symbol for a value of the table's width: exact (after H/L folding) first,
  // then the first matching X pattern; null when nothing matches.
  const char* get_first_symbol(const char* value) const;
  const char* get_first_symbol(const std::string& value) const;

  // Adds an entry and appends its "symbol" element. False (nothing changed)
  // when `symbol` is already bound to a different value.
  bool add_entry(const char* symbol, const char* value);
  bool add_entry(const std::string& symbol, const std::string& value, bool write_element);

  // Appends every entry of `source` in order (elements written); an entry
  // refused as a conflicting symbol posts WTDR_DUPLICATE_SYMBOL.
  void clone(const TDR_DATA_MNEMONICS_TABLE* source);

  // H becomes 1 and L becomes 0; everything else is kept.
  static std::string normalize_value(const std::string& value);

 private:
  struct ENTRY {
    std::string value;       // as written
    std::string normalized;  // H/L folded
    std::string symbol;
  };

  bool add(const std::string& symbol, const std::string& value, bool write_element,
           bool warn);
  const char* lookup_symbol(const char* value, size_t length) const;

  std::string m_name;
  bool m_has_name = false;
  int m_width = 0;
  // A deque keeps entries in place, so the pointers below and the C strings
  // handed out stay valid while entries are added.
  std::deque<ENTRY> m_entries;
  std::map<std::string, const ENTRY*> m_value_map;          // first symbol per value
  std::vector<const ENTRY*> m_pattern_list;                 // entries without edge letters
  std::unordered_map<std::string, const ENTRY*> m_symbols;  // first entry per symbol
  xercesc::DOMDocument* m_doc = nullptr;
  xercesc::DOMElement* m_element = nullptr;
};

class TDR_DATA_MNEMONICS {
 public:
  // Empty container on a new, unattached "mnemonics" element.
  explicit TDR_DATA_MNEMONICS(xercesc::DOMDocument* doc);
  // Reads every "table" child in order. Tables without a name or with a name
  // already taken are skipped (their elements stay in the document).
  TDR_DATA_MNEMONICS(xercesc::DOMDocument* doc, xercesc::DOMElement* element);
  // Deletes the tables; the elements stay in the document.
  ~TDR_DATA_MNEMONICS();
  TDR_DATA_MNEMONICS(const TDR_DATA_MNEMONICS&) = delete;
  TDR_DATA_MNEMONICS& operator=(const TDR_DATA_MNEMONICS&) = delete;

  // Null when `name` is null or empty (internal error) or a table of that
  // name exists; otherwise the new table, registered and its element appended.
  TDR_DATA_MNEMONICS_TABLE* create_table(const char* name, int width);
  // Takes ownership when true; false when the table has no name or the name is taken.
  bool append(TDR_DATA_MNEMONICS_TABLE* table, bool attach_element);
  // Removes a registered table, its element, and deletes it; false when not registered.
  bool delete_table(TDR_DATA_MNEMONICS_TABLE* table);
  bool delete_table(const char* name);

  TDR_DATA_MNEMONICS_TABLE* find_table(const char* name) const;
  int get_num_tables() const;
  // In the index's own (stable) order; null outside 0..get_num_tables()-1.
  TDR_DATA_MNEMONICS_TABLE* get_table(int index) const;

  xercesc::DOMElement* get_dom_node() const { return m_element; }
  xercesc::DOMDocument* get_dom_doc() const { return m_doc; }

  void init_container();
  void del_container();

 private:
  TDR_DATA_NAMED_LIST<TDR_DATA_MNEMONICS_TABLE>* m_tables = nullptr;
  xercesc::DOMDocument* m_doc = nullptr;
  xercesc::DOMElement* m_element = nullptr;
};

#endif
