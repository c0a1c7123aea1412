// Signal names and aliases of one trigger mapped to trigger-port indices, with
// the record of which ports built trees read.
#define TCI_SOURCE_FILE "tci_name_index_map"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <string_view>

#include "tci_internal.h"

TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP()
    : m_count(0),
      m_mapped_ports(0),
      m_used_count(0),
      m_max_index(-1),
      m_num_trigger_nodes(0),
      m_num_incremental_trigger_nodes(0) {}

TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::~TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP() {}

namespace {

size_t hash_of(const char* name, size_t length) {
  return std::hash<std::string_view>()(std::string_view(name, length));
}

}  // namespace

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::clear_table() {
  m_count = 0;
  std::fill(m_slots.begin(), m_slots.end(), 0u);
  std::fill(m_port_states.begin(), m_port_states.end(), static_cast<signed char>(-1));
  m_far_ports.clear();
  m_mapped_ports = 0;
  m_used_count = 0;
  m_max_index = -1;
  m_num_trigger_nodes = 0;
  m_num_incremental_trigger_nodes = 0;
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::insert_table_entry(const char* name, int index) {
  return name && insert(name, std::strlen(name), index);
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::insert_table_entry(const std::string& name, int index) {
  return insert(name.data(), name.size(), index);
}

size_t TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::probe(const char* name, size_t length) const {
  size_t mask = m_slots.size() - 1;
  size_t at = hash_of(name, length) & mask;
  for (; m_slots[at]; at = (at + 1) & mask) {
    const ENTRY& e = m_entries[m_slots[at] - 1];
    if (e.name.size() == length && std::memcmp(e.name.data(), name, length) == 0) break;
  }
  return at;
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::grow_slots() {
  std::vector<unsigned> slots(std::max<size_t>(64, m_slots.size() * 2), 0u);
  size_t mask = slots.size() - 1;
  for (size_t k = 0; k < m_count; ++k) {
    size_t at = hash_of(m_entries[k].name.data(), m_entries[k].name.size()) & mask;
    while (slots[at]) at = (at + 1) & mask;
    slots[at] = static_cast<unsigned>(k + 1);
  }
  m_slots.swap(slots);
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::insert(const char* name, size_t length, int index) {
  if (length == 0 || index < 0) return false;
  // Grown first, so that one probe finds either the name or its free slot.
  if (2 * (m_count + 1) > m_slots.size()) grow_slots();
  size_t at = probe(name, length);
  if (m_slots[at]) return m_entries[m_slots[at] - 1].index == index;
  if (m_count == m_entries.size()) m_entries.emplace_back();
  ENTRY& e = m_entries[m_count++];
  e.name.assign(name, length);  // keeps the storage of the name it replaces
  e.index = index;
  m_slots[at] = static_cast<unsigned>(m_count);
  map_port(index);
  m_max_index = std::max(m_max_index, index);
  return true;
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::map_port(int index) {
  if (index >= PORT_STATES_LIMIT) {
    m_mapped_ports += m_far_ports.emplace(index, false).second;
    return;
  }
  if (static_cast<size_t>(index) >= m_port_states.size())
    m_port_states.resize(size_t(index) + 1, static_cast<signed char>(-1));
  if (m_port_states[size_t(index)] < 0) {
    m_port_states[size_t(index)] = 0;
    ++m_mapped_ports;
  }
}

int TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::find_port_index(const std::string& name) const {
  if (m_slots.empty()) return -1;
  size_t at = probe(name.data(), name.size());
  return m_slots[at] ? m_entries[m_slots[at] - 1].index : -1;
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::set_num_trigger_nodes(int n) {
  m_num_trigger_nodes = std::max(n, 0);
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::set_num_incremental_trigger_nodes(int n) {
  m_num_incremental_trigger_nodes = std::max(n, 0);
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::is_incremental_port(int index) const {
  return m_num_incremental_trigger_nodes > 0 &&
         index >= m_num_trigger_nodes - m_num_incremental_trigger_nodes;
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::clear_used_flags() {
  for (signed char& state : m_port_states)
    if (state > 0) state = 0;
  for (auto& port : m_far_ports) port.second = false;
  m_used_count = 0;
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::set_port_used(int index) {
  if (index < 0) return;
  if (index >= PORT_STATES_LIMIT) {
    auto found = m_far_ports.find(index);
    if (found == m_far_ports.end() || found->second) return;
    found->second = true;
  } else {
    if (static_cast<size_t>(index) >= m_port_states.size() || m_port_states[size_t(index)] != 0)
      return;
    m_port_states[size_t(index)] = 1;
  }
  ++m_used_count;
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::is_port_used(int index) const {
  if (index < 0) return false;
  if (index >= PORT_STATES_LIMIT) {
    auto found = m_far_ports.find(index);
    return found != m_far_ports.end() && found->second;
  }
  return static_cast<size_t>(index) < m_port_states.size() && m_port_states[size_t(index)] > 0;
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::all_signals_used() const {
  return m_used_count == m_mapped_ports;
}

int TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::get_trigger_port_width() const {
  long long past_highest = static_cast<long long>(m_max_index) + 1;
  return static_cast<int>(std::min<long long>(std::max<long long>(m_num_trigger_nodes, past_highest),
                                              INT_MAX));
}
