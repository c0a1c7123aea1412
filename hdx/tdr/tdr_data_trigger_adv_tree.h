// The "op_node" tree under an advanced trigger level, where the trigger
// editor keeps its graphical expression tree: a light wrapper over one
// element and the attribute list that carries a node's settings.
#ifndef TDR_DATA_TRIGGER_ADV_TREE_H
#define TDR_DATA_TRIGGER_ADV_TREE_H

#include <string>
#include <utility>
#include <vector>

#include "tdr_data_xml_fwd.h"

typedef std::pair<std::string, std::string> TDR_DATA_STRING_PAIR;

// (name, value) pairs in attribute order; the list owns its pairs.
class TDR_DATA_STRING_PAIR_VEC : public std::vector<TDR_DATA_STRING_PAIR*> {
 public:
  TDR_DATA_STRING_PAIR_VEC() = default;
  ~TDR_DATA_STRING_PAIR_VEC();
  TDR_DATA_STRING_PAIR_VEC(const TDR_DATA_STRING_PAIR_VEC&) = delete;
  TDR_DATA_STRING_PAIR_VEC& operator=(const TDR_DATA_STRING_PAIR_VEC&) = delete;

  // Appends a new pair; null is taken as "".
  void add(const char* name, const char* value);
  const char* get_name(size_t index) const { return at(index)->first.c_str(); }
  const char* get_value(size_t index) const { return at(index)->second.c_str(); }
};

// One "op_node" element, or none. Does not own the element.
class TDR_DATA_TRIGGER_ADV_TREE_OBJ {
 public:
  explicit TDR_DATA_TRIGGER_ADV_TREE_OBJ(xercesc::DOMElement* element = nullptr)
      : m_element(element) {}

  bool is_null() const { return m_element == nullptr; }
  bool operator!() const { return is_null(); }
  xercesc::DOMElement* get_dom_node() const { return m_element; }

  // Child and sibling "op_node" elements (other elements are passed over);
  // a null wrapper when there is none.
  TDR_DATA_TRIGGER_ADV_TREE_OBJ get_first_child() const;
  TDR_DATA_TRIGGER_ADV_TREE_OBJ get_next_sibling() const;
  // A new "op_node" appended as the last child.
  TDR_DATA_TRIGGER_ADV_TREE_OBJ create_and_append_child_obj();

  // Every attribute as (name, value), owned by the caller; null for a null wrapper.
  TDR_DATA_STRING_PAIR_VEC* get_all_attributes() const;
  // Sets every pair as an attribute; attributes of other names stay. A name
  // that cannot be an XML attribute name is skipped with an internal error.
  void set_all_attributes(const TDR_DATA_STRING_PAIR_VEC* list);
  // Removes and releases the element with its subtree and takes a new, empty
  // "op_node" appended to the same parent in its place.
  void delete_refresh_subtree();

 private:
  xercesc::DOMElement* m_element;
};

#endif
