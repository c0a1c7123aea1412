// Import of the older line-based file format: the trigger staging object.
#define TDR_SOURCE_FILE "tdr_tvf_trigger"

#include "tdr_tvf_trigger.h"

#include <cstdio>

#include "gen.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"
#include "tdr_tvf_signal_set.h"

namespace {

char second_char(const std::string& value) { return value.size() >= 2 ? value[1] : '\0'; }

}  // namespace

void TDR_TVF_TRIGGER::read_line(const std::string& line, const std::string& key,
                                const std::string& value, bool has_value) {
  if (gen_stricmp(line.c_str(), "dpo") == 0) return;
  if (gen_strnicmp(line.c_str(), "dpo:", 4) == 0) {
    m_debug_ports.push_back(tdr_tvf_unquote_name(line.substr(4)));
    return;
  }
  if (!has_value) return;
  const char* k = key.c_str();
  if (gen_stricmp(k, "clk") == 0) {
    std::string clock = value;
    if (clock.size() >= 2 && clock.front() == '"' && clock.back() == '"')
      clock = clock.substr(1, clock.size() - 2);
    m_clock_name = clock;
  } else if (gen_stricmp(k, "depth") == 0) {
    m_sample_depth = tdr_strtol_int(value.c_str());
  } else if (gen_stricmp(k, "tpos") == 0) {
    m_position = tdr_strtol_int(value.c_str());
  } else if (gen_stricmp(k, "ti") == 0) {
    m_trigger_in = second_char(value);
  } else if (gen_stricmp(k, "to") == 0) {
    m_trigger_out = second_char(value);
  }
}

void TDR_TVF_TRIGGER::morph(TDR_DATA_SIGNAL_SET* signal_set) {
  if (!TDR_CHECK(signal_set != NULL)) return;
  signal_set->set_sample_depth(m_sample_depth);
  int counter = 0;
  for (const std::string& name : m_debug_ports) {
    TDR_DATA_SIGNAL_WIRE* wire = signal_set->get_wire(name.c_str());
    if (!wire) continue;
    char port[64];
    std::snprintf(port, sizeof port, "auto_tvf_debug_out_0_%d", counter++);
    wire->set_debug_port(true, port);
  }
  signal_set->set_clock(m_clock_name.c_str(), TDR_DATA_SIGNAL_SET::POSEDGE);
}

void TDR_TVF_TRIGGER::morph(TDR_DATA_TRIGGER* trigger) {
  if (!TDR_CHECK(trigger != NULL)) return;
  TDR_DATA_TRIGGER_POSITION position = m_position == 50   ? TDR_PTYPE_CENTER_POS
                                       : m_position == 90 ? TDR_PTYPE_POST_POS
                                       : m_position == 0  ? TDR_PTYPE_CONTINUOUS_POS
                                                          : TDR_PTYPE_PRE_POS;
  TDR_DATA_TRIGGER_CONDITION in = tdr_tvf_condition_from_symbol(m_trigger_in);
  if (in == TDR_CTYPE_DONT_CARE_COND) in = TDR_CTYPE_DISABLE_COND;
  TDR_DATA_TRIGGER_CONDITION out = m_trigger_out == 'L' || m_trigger_out == 'l'
                                       ? TDR_CTYPE_ACTIVE_LOW_COND
                                   : m_trigger_out == 'H' || m_trigger_out == 'h'
                                       ? TDR_CTYPE_ACTIVE_HIGH_COND
                                       : TDR_CTYPE_DISABLE_COND;
  for (bool power_up : {false, true}) {
    trigger->set_trigger_position(position, power_up);
    trigger->set_trigger_in(in, power_up);
    trigger->set_trigger_out(out, power_up);
  }
}
