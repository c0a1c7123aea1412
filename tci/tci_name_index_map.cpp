// Signal names and aliases of one trigger mapped to trigger-port indices, with
// the record of which ports built trees read.
#define TCI_SOURCE_FILE "tci_name_index_map"

#include <algorithm>
#include <climits>

#include "tci_internal.h"

TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP()
    : m_used_count(0), m_max_index(-1), m_num_trigger_nodes(0), m_num_incremental_trigger_nodes(0) {}

TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::~TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP() {}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::clear_table() {
  m_name_index.clear();
  m_port_used.clear();
  m_used_count = 0;
  m_max_index = -1;
  m_num_trigger_nodes = 0;
  m_num_incremental_trigger_nodes = 0;
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::insert_table_entry(const char* name, int index) {
  if (!name) return false;
  return insert_table_entry(std::string(name), index);
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::insert_table_entry(const std::string& name, int index) {
  if (name.empty() || index < 0) return false;
  auto inserted = m_name_index.emplace(name, index);
  if (!inserted.second) return inserted.first->second == index;
  m_port_used.emplace(index, false);
  m_max_index = std::max(m_max_index, index);
  return true;
}

int TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::find_port_index(const std::string& name) const {
  auto found = m_name_index.find(name);
  return found == m_name_index.end() ? -1 : found->second;
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
  for (auto& port : m_port_used) port.second = false;
  m_used_count = 0;
}

void TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::set_port_used(int index) {
  auto found = m_port_used.find(index);
  if (found == m_port_used.end() || found->second) return;
  found->second = true;
  ++m_used_count;
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::is_port_used(int index) const {
  auto found = m_port_used.find(index);
  return found != m_port_used.end() && found->second;
}

bool TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::all_signals_used() const {
  return static_cast<size_t>(m_used_count) == m_port_used.size();
}

int TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP::get_trigger_port_width() const {
  long long past_highest = static_cast<long long>(m_max_index) + 1;
  return static_cast<int>(std::min<long long>(std::max<long long>(m_num_trigger_nodes, past_highest),
                                              INT_MAX));
}
