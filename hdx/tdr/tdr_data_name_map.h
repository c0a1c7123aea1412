// Name indexes of the data layer's named collections. Maps never own objects.
#ifndef TDR_DATA_NAME_MAP_H
#define TDR_DATA_NAME_MAP_H

#include <cstring>
#include <string>
#include <unordered_map>

#include "ctl_hash.h"

// Exact, case-sensitive index by `T::get_name()` (a C string, null = no name).
template <class T>
class TDR_DATA_NAME_MAP {
 public:
  typedef CTL_HASH<std::string, T*, CTL_STL_STRING_OPS> TABLE;

  // False for an object without a name or a name already present.
  bool insert(T* object) {
    const char* name = object ? object->get_name() : nullptr;
    if (!name) return false;
    return m_table.insert(std::string(name), object);
  }
  T* find(const char* name) const { return name ? m_table.find(std::string(name)) : nullptr; }
  T* find(const std::string& name) const { return m_table.find(name); }
  bool erase(const char* name) { return name && m_table.erase(std::string(name)); }
  bool erase(const std::string& name) { return m_table.erase(name); }
  size_t size() const { return m_table.size(); }
  void clear() { m_table.clear(); }
  const TABLE& table() const { return m_table; }

 private:
  TABLE m_table;
};

// Renames an object whose name is `*name`. When the object is listed in `map`
// its old key goes first and a taken new name puts the old one back (false;
// `*restore_failed` tells that even the old key could not be entered again).
// An object in no map just takes the name.
template <class T>
bool tdr_rename_in_map(TDR_DATA_NAME_MAP<T>* map, T* object, std::string* name,
                       const char* new_name, bool* restore_failed) {
  *restore_failed = false;
  if (!map || map->find(*name) != object) {
    *name = new_name;
    return true;
  }
  std::string old = *name;
  map->erase(old);
  *name = new_name;
  if (map->insert(object)) return true;
  *name = old;
  *restore_failed = !map->insert(object);
  return false;
}

// Index of wires by name and by alias. Keys point into the wires' own strings:
// erase a wire's keys before its name or alias changes or the wire dies.
template <class T>
class TDR_DATA_NAME_ALIAS_MAP {
 public:
  // True only when every key it enters was new; may leave one key entered.
  bool insert(T* wire) {
    ++m_version;
    const char* name = wire ? wire->get_name() : nullptr;
    if (!name) return false;
    bool name_new = m_map.emplace(name, wire).second;
    const char* alias = wire->get_alias();
    if (alias && *alias && std::strcmp(alias, name) != 0) {
      bool alias_new = m_map.emplace(alias, wire).second;
      return name_new && alias_new;
    }
    return name_new;
  }
  T* find(const char* key) const {
    if (!key) return nullptr;
    auto it = m_map.find(key);
    return it == m_map.end() ? nullptr : it->second;
  }
  bool erase(const char* key) {
    ++m_version;
    return key && m_map.erase(key) > 0;
  }
  size_t size() const { return m_map.size(); }
  void clear() {
    ++m_version;
    m_map.clear();
  }
  // Changes with every insert, erase or clear: what a key finds is the same
  // as long as this is.
  size_t version() const { return m_version; }

 private:
  struct HASH {
    size_t operator()(const char* s) const {
      unsigned int h = 0;
      for (; *s; ++s) h = h * 17u + static_cast<unsigned int>(static_cast<signed char>(*s));
      return h;
    }
  };
  struct EQUAL {
    bool operator()(const char* a, const char* b) const { return std::strcmp(a, b) == 0; }
  };
  std::unordered_map<const char*, T*, HASH, EQUAL> m_map;
  size_t m_version = 0;
};

#endif
