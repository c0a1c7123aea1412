// Staging object for the signal section of a legacy line-based file.
#ifndef TDR_TVF_SIGNAL_SET_H
#define TDR_TVF_SIGNAL_SET_H

#include <string>
#include <unordered_map>
#include <vector>

#include "tdr_data_global_enum.h"

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_SIGNAL_WIRE;
class TDR_DATA_TRIGGER;

class TDR_TVF_SIGNAL_SET {
 public:
  // Signal indices above this are ignored: a hostile file must not make us
  // allocate billions of definitions.
  static const int MAX_SIGNAL_INDEX = 65535;

  struct SIGNAL_DEFINITION {
    std::string name;
    std::string group;
    char symbol = '\0';
  };

  TDR_TVF_SIGNAL_SET();

  // One "key=value" line of the signal section.
  void read_line(const std::string& key, const std::string& value);

  // Wires, with net and bus nodes in both views.
  void morph(TDR_DATA_SIGNAL_SET* signal_set);
  // Level 0 of the trigger from the trigger symbols.
  void morph(TDR_DATA_TRIGGER* trigger);

  const std::vector<SIGNAL_DEFINITION>& get_definitions() const { return m_definitions; }
  bool m_morph_signals_done = false;

 private:
  int find_signal(const std::string& name) const;

  std::vector<SIGNAL_DEFINITION> m_definitions;
  std::unordered_map<std::string, int> m_index_by_name;
  // The wire made for each definition (null for gaps).
  std::vector<TDR_DATA_SIGNAL_WIRE*> m_wires;
};

// The condition a legacy symbol stands for (L, H, R, F, E in either case);
// dont_care for any other.
TDR_DATA_TRIGGER_CONDITION tdr_tvf_condition_from_symbol(char symbol);

// Removes one pair of enclosing backquotes.
std::string tdr_tvf_unquote_name(const std::string& name);

#endif
