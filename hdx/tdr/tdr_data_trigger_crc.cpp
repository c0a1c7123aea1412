// The trigger fingerprint: CRCs over texts that describe what the compiled
// hardware depends on, so that a compiled design can be matched with the file.
#define TDR_SOURCE_FILE "tdr_data_trigger_crc"

#include <cstdio>
#include <cstdlib>

#include "tdr_data_instance.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

namespace {

void append_int(std::string& out, int value) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", value);
  out += number;
}

std::string hex_word(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lX", value);
  return text;
}

// Codes of the power-up conditions of basic levels, by condition value.
const char* const POWER_UP_CONDITION_CODE[TDR_CTYPE_INVALID_COND] = {
    "d", "ah", "al", "h", "l", "re", "fe", "ee", "dc"};

}  // namespace

// --- CRCs -----------------------------------------------------------------------------

namespace {

// Bit-serial shift register over bits [first_bit, first_bit + bit_count),
// least significant bit of each byte first; `feedback` is the taps word.
unsigned long shift_crc(const unsigned char* data, unsigned long first_bit,
                        unsigned long bit_count, unsigned long reg, unsigned long feedback) {
  for (unsigned long i = first_bit; i < first_bit + bit_count; ++i) {
    unsigned long bit = (data[i / 8] >> (i % 8)) & 1u;
    if ((reg & 1u) != bit) reg ^= feedback;
    reg >>= 1;
  }
  return reg;
}

}  // namespace

unsigned short TDR_DATA_TRIGGER::calculate_16_bit_crc(const unsigned char* data,
                                                      unsigned long first_bit,
                                                      unsigned long bit_count) {
  return static_cast<unsigned short>(shift_crc(data, first_bit, bit_count, 0xFFFF, 0x14002) &
                                     0xFFFF);
}

unsigned char TDR_DATA_TRIGGER::calculate_8_bit_crc(const unsigned char* data,
                                                    unsigned long first_bit,
                                                    unsigned long bit_count) {
  return static_cast<unsigned char>(shift_crc(data, first_bit, bit_count, 0xFF, 0x110) & 0xFF);
}

unsigned short TDR_DATA_TRIGGER::calculate_16_bit_crc_from_string(const std::string& text) {
  return calculate_16_bit_crc(reinterpret_cast<const unsigned char*>(text.data()), 0,
                              8ul * text.size());
}

unsigned char TDR_DATA_TRIGGER::calculate_8_bit_crc_from_string(const std::string& text) {
  return calculate_8_bit_crc(reinterpret_cast<const unsigned char*>(text.data()), 0,
                             8ul * text.size());
}

// --- texts ----------------------------------------------------------------------------

void TDR_DATA_TRIGGER::compose_critical_crc_string_V1_V2(std::string& out) const {
  const TDR_DATA_SIGNAL_SET* set = m_signal_set;
  append_int(out, set ? set->get_ela_trigger_wire_width() : 0);
  out += '|';
  append_int(out, set ? set->get_ela_data_wire_width() : 0);
  out += '|';
  append_int(out, get_event_levels());
  out += '|';
  append_int(out, set ? set->get_sample_depth() : 0);
  out += '|';
  out += set && set->is_trigger_in_enabled() ? "Y|" : "N|";
  out += set && set->is_trigger_out_enabled() ? "Y" : "N";
}

void TDR_DATA_TRIGGER::compose_critical_crc_string_V3(std::string& out) {
  compose_critical_crc_string_V1_V2(out);
  for (int level = 0; level < get_event_levels(); ++level)
    out += get_advanced_trigger_crc_string(level);
}

void TDR_DATA_TRIGGER::compose_critical_crc_string_V4(std::string& out) {
  compose_critical_crc_string_V1_V2(out);
  if (m_power_up_mode) {
    const SIDE& s = side(true);
    out += "pwrupon";
    if (s.type == TDR_TTYPE_CIRCULAR_TRIGGER) {
      out += 'c';
      switch (s.position) {
        case TDR_PTYPE_PRE_POS:
          out += "pre";
          break;
        case TDR_PTYPE_CENTER_POS:
          out += "cnt";
          break;
        case TDR_PTYPE_POST_POS:
          out += "pst";
          break;
        case TDR_PTYPE_CONTINUOUS_POS:
          out += "cns";
          break;
        default:
          TDR_INTERNAL_ERROR("invalid trigger type");
          break;
      }
    } else if (s.type == TDR_TTYPE_SEGMENTED_TRIGGER) {
      out += 's';
      append_int(out, s.segment_size);
    }
    int wires = trigger_wire_count();
    for (const LEVEL& level : m_levels) {
      out += level.enabled[1] ? 'e' : 'd';
      if (!level.basic) continue;
      // Only conditions other than dont-care are stored, in wire order: walk
      // them beside the wires instead of looking each wire up.
      const std::vector<TDR_DATA_CONDITION_ROW::ENTRY>& stored = level.conditions[1].entries();
      auto next = stored.begin();
      for (int wire = 0; wire < wires; ++wire) {
        TDR_DATA_TRIGGER_CONDITION c = TDR_CTYPE_DONT_CARE_COND;
        if (next != stored.end() && next->first == wire) c = (next++)->second;
        if (c < TDR_CTYPE_DISABLE_COND || c >= TDR_CTYPE_INVALID_COND) {
          TDR_INTERNAL_ERROR("condition < TDR_CTYPE_INVALID_COND");
          continue;
        }
        out += POWER_UP_CONDITION_CODE[c];
      }
    }
  }
  for (int level = 0; level < get_event_levels(); ++level)
    if (!m_levels[size_t(level)].basic) out += get_advanced_trigger_crc_string(level);
}

void TDR_DATA_TRIGGER::compose_wire_names(std::string& out, bool all, bool classic) const {
  const TDR_DATA_SIGNAL_SET* set = m_signal_set;
  for (int pass = 0; pass < 2; ++pass) {
    int count = !set ? 0 : pass == 0 ? set->get_data_wire_width() : set->get_trigger_wire_width();
    for (int i = 0; i < count; ++i) {
      const TDR_DATA_SIGNAL_WIRE* wire =
          pass == 0 ? set->get_data_wire_at(i) : set->get_trigger_wire_at(i);
      if (!all && (wire->get_tap_mode() == TDR_MTYPE_CLASSIC_TAP) != classic) continue;
      if (wire->get_name()) out += wire->get_name();
      out += ';';
    }
    out += '^';
  }
}

namespace {

bool has_text(const char* s) { return s && *s; }

// Clock, wires, then the trigger port nodes that are in use; an empty node
// name counts as none.
void append_port_nodes(std::string& out, const TDR_DATA_SIGNAL_SET* set) {
  if (!set) return;
  if (set->is_trigger_in_enabled() && has_text(set->get_trigger_in_node())) {
    out += set->get_trigger_in_node();
    out += '^';
  }
  if (set->is_trigger_out_enabled() && has_text(set->get_trigger_out_node()))
    out += set->get_trigger_out_node();
}

}  // namespace

void TDR_DATA_TRIGGER::compose_non_critical_crc_string_V1_V2_V3(std::string& out) const {
  if (m_signal_set) out += m_signal_set->get_clock_name();
  out += '^';
  compose_wire_names(out, false, true);
  append_port_nodes(out, m_signal_set);
}

void TDR_DATA_TRIGGER::compose_non_critical_incremental_crc_string_V1_V2_V3(
    std::string& out) const {
  compose_wire_names(out, false, false);
}

void TDR_DATA_TRIGGER::compose_non_critical_non_incremental_crc_string_V1_V2_V3(
    std::string& out) const {
  if (m_signal_set) out += m_signal_set->get_clock_name();
  out += '^';
  compose_wire_names(out, true, true);
  append_port_nodes(out, m_signal_set);
}

// --- fingerprint ----------------------------------------------------------------------

unsigned TDR_DATA_TRIGGER::version_for_crc() const {
  const TDR_DATA_INSTANCE* instance = m_signal_set ? m_signal_set->get_instance() : nullptr;
  if (!instance) return TDR_DATA_INSTANCE::VERSION_NOT_DEFINED;
  TDR_DATA_INSTANCE_INFO info = instance->get_node_info();
  return info.version == TDR_DATA_INSTANCE::VERSION_NOT_DEFINED ? info.inferred_version
                                                                 : info.version;
}

unsigned long TDR_DATA_TRIGGER::get_crc_value(bool bypass) {
  std::string stored;
  if (!bypass && tdr_get_attr_if(m_element, TDR_X("CRC"), &stored)) {
    unsigned long value = std::strtoul(stored.c_str(), nullptr, 16);
    tdr_msg_debug("Trigger: %s  CRC: %s", m_name.c_str(), stored.c_str());
    return value;
  }

  unsigned version = version_for_crc();
  std::string text;
  switch (version) {
    case 1:
    case 2:
      compose_critical_crc_string_V1_V2(text);
      break;
    case 3:
      compose_critical_crc_string_V3(text);
      break;
    case 4:
      compose_critical_crc_string_V4(text);
      break;
    case 0:
    case TDR_DATA_INSTANCE::VERSION_NOT_DEFINED:
      break;
    default:
      TDR_INTERNAL_ERROR("Unsupported Tavrin version");
      break;
  }

  unsigned long fingerprint = 0;
  if (version >= 1 && version <= 4) {
    fingerprint = static_cast<unsigned long>(calculate_16_bit_crc_from_string(text)) << 16;
    text.clear();
    if (is_using_incremental_route()) {
      compose_non_critical_crc_string_V1_V2_V3(text);
      fingerprint |= static_cast<unsigned long>(calculate_8_bit_crc_from_string(text)) << 8;
      text.clear();
      compose_non_critical_incremental_crc_string_V1_V2_V3(text);
      fingerprint |= calculate_8_bit_crc_from_string(text);
    } else {
      compose_non_critical_non_incremental_crc_string_V1_V2_V3(text);
      fingerprint |= calculate_16_bit_crc_from_string(text);
    }
  }

  if (fingerprint != 0 && !bypass) set_crc_value(fingerprint);
  tdr_msg_debug("Trigger: %s  CRC: %lX", m_name.c_str(), fingerprint);
  return fingerprint;
}

void TDR_DATA_TRIGGER::set_crc_value(unsigned long value) {
  tdr_set_attr(m_element, TDR_X("CRC"), hex_word(value));
}
