// Generic element sessions: a schema-free view of any XML file as a tree of
// element wrappers, with a snapshot undo history per instance element.
#ifndef TDR_BASIC_H
#define TDR_BASIC_H

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tdr_data_xml_util.h"

// Results of the operations that return a code.
enum TDR_BASIC_ERROR_CODE {
  TDR_BASIC_ERROR_CODE_OK = 0,
  TDR_BASIC_ERROR_CODE_FILE_ERROR = 1,
  TDR_BASIC_ERROR_CODE_NOT_FOUND = 3,
  TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT = 4
};

class TDR_BASIC_ELEMENT;
class TDR_BASIC_UNDO_BUFFER;
class ZENVOR_DOM_PARSER;
class TDR_BASIC_UNDO_ELEMENT;

// An XML file whose root's element children are the instance elements.
class TDR_BASIC_SESSION {
 public:
  // `name` is the root tag of a new document and the file save() writes. The
  // file is read only when `new_only` is false and it exists.
  TDR_BASIC_SESSION(const char* name, const char* file, bool new_only);
  virtual ~TDR_BASIC_SESSION();
  TDR_BASIC_SESSION(const TDR_BASIC_SESSION&) = delete;
  TDR_BASIC_SESSION& operator=(const TDR_BASIC_SESSION&) = delete;

  // Reads `file`, replacing the whole content (instance elements, temporary
  // instance elements, undo buffers and every wrapper handed out so far).
  // 0, or 1 when the file cannot be read (the content is then unchanged).
  int open(const char* file);
  int save();
  // Writes the document to `file` under the printing lock; 0, or 1 when the
  // file cannot be opened. The name does not change.
  int save_as(const char* file);
  const char* get_name() const { return m_name.c_str(); }

  // Holds taken through the repository manager.
  int get_open_count() const { return m_open_count; }
  void set_open_count(int count) { m_open_count = count; }
  int increment_open_count() { return ++m_open_count; }
  int decrement_open_count() { return --m_open_count; }

  // Attributes of the root element.
  int get_attribute(const char* name, std::string* value) const;
  int set_attribute(const char* name, const char* value);
  int remove_attribute(const char* name);

  TDR_BASIC_ELEMENT* append_instance(const char* tag);
  // Like append_instance, but the element stays outside the document tree.
  TDR_BASIC_ELEMENT* append_temp_instance(const char* tag);
  TDR_BASIC_ELEMENT* find_instance(const char* tag, int n) const;
  TDR_BASIC_ELEMENT* find_temp_instance(const char* tag, int n) const;
  TDR_BASIC_ELEMENT* get_instance_at(int index) const;
  TDR_BASIC_ELEMENT* get_temp_instance_at(int index) const;
  int get_num_instance_elements() const { return static_cast<int>(m_instance_elements.size()); }
  int get_num_temp_instance_elements() const {
    return static_cast<int>(m_temp_instance_elements.size());
  }
  // Deleting an instance element also deletes the undo buffer it is the root of.
  int delete_instance_at(int index);
  int delete_instance(const char* tag, int n);
  int delete_temp_instance_at(int index);
  int delete_temp_instance(const char* tag, int n);
  // Puts `replacement` in the place of instance element `old` (list and
  // document) and returns `old`, which the caller then owns; null when `old` is
  // not an instance element or `replacement` cannot take its place. A temporary
  // instance element used as replacement leaves the temporary list.
  TDR_BASIC_ELEMENT* replace_instance(TDR_BASIC_ELEMENT* old, TDR_BASIC_ELEMENT* replacement);

  DOMDocument* get_dom_doc() const { return m_dom_doc; }
  DOMElement* get_dom_root() const { return m_dom_session; }

 private:
  friend class TDR_BASIC_ELEMENT;
  friend class TDR_BASIC_UNDO_BUFFER;

  void create_document();
  void clear_content();
  TDR_BASIC_ELEMENT* new_instance(const char* tag, bool in_document);
  int delete_from(std::vector<TDR_BASIC_ELEMENT*>* list, int index);
  // Histories follow an instance element: deleted with it, or passed on to
  // the element that takes its place.
  void delete_undo_buffers_of(TDR_BASIC_ELEMENT* element);
  void move_undo_buffers(TDR_BASIC_ELEMENT* from, TDR_BASIC_ELEMENT* to);
  // The list entry holding instance or temporary instance element `element`.
  TDR_BASIC_ELEMENT** find_slot(TDR_BASIC_ELEMENT* element);
  // Undo and redo: `rebuilt` takes the place of `old` (an instance or temporary
  // instance element), and `old` with its whole tree is kept as taken out.
  bool exchange_instance_tree(TDR_BASIC_ELEMENT* old, TDR_BASIC_ELEMENT* rebuilt);
  // Trees that undo and redo took out live as long as the session's content:
  // a caller may still hold a wrapper of one.
  void keep_taken_out(TDR_BASIC_ELEMENT* tree) { m_taken_out.push_back(tree); }

  std::string m_name;
  int m_open_count;
  std::vector<TDR_BASIC_ELEMENT*> m_instance_elements;
  std::vector<TDR_BASIC_ELEMENT*> m_temp_instance_elements;
  std::vector<TDR_BASIC_UNDO_BUFFER*> m_undo_buffers;
  std::vector<TDR_BASIC_ELEMENT*> m_taken_out;
  std::unique_ptr<ZENVOR_DOM_PARSER> m_parser;
  DOMDocument* m_dom_doc;
  DOMElement* m_dom_session;
  // Set while everything goes with the document: wrappers then leave their
  // detached elements to it instead of releasing them one by one.
  bool m_discarding_document;
};

// Wrapper of one element and, through its children, of the element subtree.
class TDR_BASIC_ELEMENT {
 public:
  TDR_BASIC_ELEMENT(TDR_BASIC_SESSION* session, DOMElement* element, DOMElement* root_node,
                    TDR_BASIC_ELEMENT* parent, TDR_BASIC_UNDO_BUFFER* undo_buffer);
  // Deep copy of the element tree (attributes and nested elements, no text),
  // detached from the document tree; no parent and no root node.
  TDR_BASIC_ELEMENT(const TDR_BASIC_ELEMENT& other);
  TDR_BASIC_ELEMENT& operator=(const TDR_BASIC_ELEMENT&) = delete;
  // Deletes the child wrappers; releases the element when it is detached.
  virtual ~TDR_BASIC_ELEMENT();

  int get_name(std::string* name) const;
  int get_attribute(const char* name, std::string* value) const;
  int set_attribute(const char* name, const char* value);
  int remove_attribute(const char* name);
  int get_element_data(std::string* data) const;
  int set_element_data(const char* data);

  // The n-th descendant with that tag (every tag for null or "*"), when it is
  // a direct child; null otherwise.
  TDR_BASIC_ELEMENT* get_child_element(const char* tag, int n) const;
  TDR_BASIC_ELEMENT* get_child_element(unsigned index) const;
  // Descendants with that tag; the number of child wrappers for null.
  int get_number_of_child_elements(const char* tag) const;

  TDR_BASIC_ELEMENT* get_parent_element() const { return m_parent; }
  TDR_BASIC_SESSION* get_session() const { return m_session; }
  TDR_BASIC_UNDO_BUFFER* get_undo_buffer() const { return m_undo_buffer; }
  DOMElement* get_dom_node() const { return m_dom_element; }
  DOMElement* get_root_node() const { return m_root_node; }

  TDR_BASIC_ELEMENT* append_child_element(const char* tag);
  // Inserted before child wrapper `position`.
  TDR_BASIC_ELEMENT* insert_child_element(const char* tag, unsigned position);
  // Detaches a child; the caller then owns its wrapper.
  int remove_child_element(TDR_BASIC_ELEMENT* element);

  int populate_element_tree(TDR_BASIC_UNDO_BUFFER* undo_buffer);
  int populate_element_tree_recurse(TDR_BASIC_UNDO_BUFFER* undo_buffer);

 private:
  friend class TDR_BASIC_SESSION;
  friend class TDR_BASIC_UNDO_BUFFER;

  // The root node handed to wrappers of this element's children.
  DOMElement* root_for_children() const { return m_root_node ? m_root_node : m_dom_element; }
  TDR_BASIC_ELEMENT* new_child(const char* tag, TDR_BASIC_ELEMENT* before, unsigned position);

  TDR_BASIC_ELEMENT* m_parent;
  std::vector<TDR_BASIC_ELEMENT*> m_children;
  TDR_BASIC_UNDO_BUFFER* m_undo_buffer;
  TDR_BASIC_SESSION* m_session;
  DOMElement* m_dom_element;
  DOMElement* m_root_node;
};

// One snapshot: a full copy of the tree, or the attribute values that differ
// from the previous snapshot.
class TDR_BASIC_UNDO_ELEMENT {
 public:
  typedef std::basic_string<XMLCh> XML_STRING;
  // Attribute `m_name` of the element at pre-order index `m_index` has `m_value`.
  struct MODIFIER {
    int m_index;
    XML_STRING m_name;
    XML_STRING m_value;
  };

  TDR_BASIC_UNDO_ELEMENT() : m_full_copy(nullptr), m_full_replace(false) {}
  virtual ~TDR_BASIC_UNDO_ELEMENT();
  TDR_BASIC_UNDO_ELEMENT(const TDR_BASIC_UNDO_ELEMENT&) = delete;
  TDR_BASIC_UNDO_ELEMENT& operator=(const TDR_BASIC_UNDO_ELEMENT&) = delete;

  bool is_full_replace() const { return m_full_replace; }
  const TDR_BASIC_ELEMENT* get_full_copy() const { return m_full_copy; }
  int get_num_modifiers() const { return static_cast<int>(m_modifiers.size()); }
  // Modifier `i` with narrow strings; false when out of range.
  bool get_modifier(int i, int* index, std::string* name, std::string* value) const;

  TDR_BASIC_ELEMENT* m_full_copy;
  bool m_full_replace;
  std::vector<MODIFIER> m_modifiers;
};

// Snapshot history of one instance element.
class TDR_BASIC_UNDO_BUFFER {
 public:
  TDR_BASIC_UNDO_BUFFER();
  virtual ~TDR_BASIC_UNDO_BUFFER();
  TDR_BASIC_UNDO_BUFFER(const TDR_BASIC_UNDO_BUFFER&) = delete;
  TDR_BASIC_UNDO_BUFFER& operator=(const TDR_BASIC_UNDO_BUFFER&) = delete;

  // Call before each change of the instance element.
  bool save_snapshot();
  TDR_BASIC_UNDO_ELEMENT* snap_differences();
  // Both replace the live instance element by the rebuilt tree (get_root()
  // and the session's lists afterwards); the replaced wrapper is deleted, and
  // with it every wrapper below it unless only attributes changed. Text and
  // other non-element nodes below the instance element do not survive.
  bool undo();
  bool redo();
  bool is_undoable() const;
  bool is_redoable() const;
  bool clear_redo();
  void set_savepoint();
  bool is_last_savepoint() const;

  void set_root(TDR_BASIC_ELEMENT* root) {
    if (root) m_root = root;
  }
  TDR_BASIC_ELEMENT* get_root() const { return m_root; }

  bool is_same_structure(const TDR_BASIC_ELEMENT* a, const TDR_BASIC_ELEMENT* b) const;
  // True when the live tree has the shape of the newest snapshot (the next
  // record can hold differences only).
  bool is_full_snapshot_needed();
  int recurse_differences(TDR_BASIC_ELEMENT* old_element, TDR_BASIC_ELEMENT* current,
                          TDR_BASIC_UNDO_ELEMENT* undo_element, int index);
  int apply_differences(TDR_BASIC_ELEMENT* element, TDR_BASIC_UNDO_ELEMENT* undo_element,
                        int index);
  // A new tree as of record `undo_index`, owned by the caller.
  TDR_BASIC_ELEMENT* get_copy_at(unsigned undo_index) const;

  unsigned get_num_records() const { return static_cast<unsigned>(m_undo_vec.size()); }
  const TDR_BASIC_UNDO_ELEMENT* get_record_at(unsigned i) const {
    return i < m_undo_vec.size() ? m_undo_vec[i] : nullptr;
  }
  unsigned get_position() const { return m_position; }

 private:
  // Attribute values the difference records after the base record give, by
  // pre-order index and name (later records win); the strings live in the
  // records. A null value: the attribute was gone at the newest snapshot.
  typedef std::map<std::pair<int, std::u16string_view>, const XMLCh*> OVERRIDES;
  // Attributes of the newest snapshot that the live tree no longer has.
  typedef std::vector<OVERRIDES::key_type> REMOVALS;

  TDR_BASIC_UNDO_ELEMENT* record_current_state();
  bool move_to(unsigned position);
  int find_full_record(unsigned undo_index) const;
  void set_base(unsigned undo_index);
  void add_overrides(const TDR_BASIC_UNDO_ELEMENT* record);
  TDR_BASIC_ELEMENT* restore_in_place(const TDR_BASIC_ELEMENT* source);
  unsigned live_index() const { return m_position - (m_current_captured ? 1 : 0); }
  int differences(const TDR_BASIC_ELEMENT* old_element, const OVERRIDES* old_overrides,
                  const TDR_BASIC_ELEMENT* current, TDR_BASIC_UNDO_ELEMENT* undo_element,
                  int index, bool* same_structure, REMOVALS* removed) const;

  std::vector<TDR_BASIC_UNDO_ELEMENT*> m_undo_vec;
  TDR_BASIC_ELEMENT* m_root;
  // The tree as of the newest snapshot is kept as the full copy of record
  // m_base (−1: none yet) with m_overrides applied, which equals a deep copy
  // of it in shape and attributes.
  int m_base;
  OVERRIDES m_overrides;
  // The newest record folded into m_overrides.
  unsigned m_overrides_end;
  unsigned m_position;
  unsigned m_savepoint;
  bool m_current_captured;
};

#endif
