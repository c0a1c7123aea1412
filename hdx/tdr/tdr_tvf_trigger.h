// Staging object for the trigger section of a legacy line-based file.
#ifndef TDR_TVF_TRIGGER_H
#define TDR_TVF_TRIGGER_H

#include <string>
#include <vector>

class TDR_DATA_SIGNAL_SET;
class TDR_DATA_TRIGGER;

class TDR_TVF_TRIGGER {
 public:
  // One line of the trigger section, already split at "=" (value empty for
  // lines without one).
  void read_line(const std::string& line, const std::string& key, const std::string& value,
                 bool has_value);

  // Sample depth, debug ports and clock.
  void morph(TDR_DATA_SIGNAL_SET* signal_set);
  // Position and trigger-in/out, for the normal and the power-up trigger.
  void morph(TDR_DATA_TRIGGER* trigger);

  const std::string& get_clock_name() const { return m_clock_name; }
  int get_sample_depth() const { return m_sample_depth; }
  int get_position() const { return m_position; }
  char get_trigger_in_symbol() const { return m_trigger_in; }
  char get_trigger_out_symbol() const { return m_trigger_out; }
  const std::vector<std::string>& get_debug_ports() const { return m_debug_ports; }

 private:
  std::string m_clock_name;
  int m_sample_depth = 128;
  int m_position = -1;
  char m_trigger_in = '\0';
  char m_trigger_out = '\0';
  std::vector<std::string> m_debug_ports;
};

#endif
