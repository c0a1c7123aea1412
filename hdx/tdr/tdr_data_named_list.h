// The ordered, name-indexed children of a data object (instances of a session,
// signal sets of an instance, triggers of a signal set, logs of a trigger),
// with the optional global-temp child kept outside list and index.
#ifndef TDR_DATA_NAMED_LIST_H
#define TDR_DATA_NAMED_LIST_H

#include <algorithm>
#include <vector>

#include "gen.h"
#include "tdr_data_name_map.h"

template <class T>
class TDR_DATA_NAMED_LIST {
 public:
  TDR_DATA_NAMED_LIST() = default;
  TDR_DATA_NAMED_LIST(const TDR_DATA_NAMED_LIST&) = delete;
  TDR_DATA_NAMED_LIST& operator=(const TDR_DATA_NAMED_LIST&) = delete;
  ~TDR_DATA_NAMED_LIST() { delete_all(); }

  // Registers by name and appends; false (nothing changed) when the name is taken.
  bool append(T* object) {
    if (!m_map.insert(object)) return false;
    m_items.push_back(object);
    return true;
  }
  // By name; else the global-temp child when its name matches.
  T* find(const char* name) const {
    T* found = m_map.find(name);
    if (!found && m_global && name && gen_strcmp(m_global->get_name(), name) == 0)
      found = m_global;
    return found;
  }
  T* at(int index) const {
    return index >= 0 && index < int(m_items.size()) ? m_items[size_t(index)] : nullptr;
  }
  int size() const { return int(m_items.size()); }
  T* last() const { return m_items.empty() ? nullptr : m_items.back(); }
  const std::vector<T*>& items() const { return m_items; }
  int index_of(const T* object) const {
    auto it = std::find(m_items.begin(), m_items.end(), object);
    return it == m_items.end() ? -1 : int(it - m_items.begin());
  }

  // Removes the first occurrence from the list only, keeping the order.
  void delete_from_vector(T* object) {
    auto it = std::find(m_items.begin(), m_items.end(), object);
    if (it != m_items.end()) m_items.erase(it);
  }
  TDR_DATA_NAME_MAP<T>& name_map() { return m_map; }
  const TDR_DATA_NAME_MAP<T>& name_map() const { return m_map; }

  T* global() const { return m_global; }
  // Stores the pointer only; the caller deletes any previous one.
  void set_global(T* object) { m_global = object; }

  // Drops the global-temp child: one still in the document leaves through its
  // own remove(), which unregisters it; a detached one is deleted here.
  void drop_global() {
    T* old = m_global;
    if (!old) return;
    if (old->get_dom_node() && old->get_dom_node()->getParentNode()) {
      old->remove();
    } else {
      m_global = nullptr;
      delete old;
    }
  }

  // Deletes the global-temp child and every listed object.
  void delete_all() {
    T* global = m_global;
    m_global = nullptr;
    delete global;
    std::vector<T*> items;
    items.swap(m_items);
    m_map.clear();
    for (T* object : items) delete object;
  }

 private:
  std::vector<T*> m_items;
  TDR_DATA_NAME_MAP<T> m_map;
  T* m_global = nullptr;
};

#endif
