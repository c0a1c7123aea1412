// Logs (recorded acquisitions) of a trigger: the sample matrix in the "data"
// element, its checks against the trigger, and simulated acquisitions.
#define TDR_SOURCE_FILE "tdr_data_log"

#include "tdr_data_log.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "cfg.h"
#include "gen.h"
#include "tdr_data_instance.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

// "tvf_always_connected", read once per process (tests reset it).
int s_always_connected = -1;

void forget_always_connected() { s_always_connected = -1; }

bool always_connected() {
  if (s_always_connected < 0) {
    cfg_register_reset_hook(forget_always_connected);
    s_always_connected = cfg_is_on("tvf_always_connected", false) ? 1 : 0;
  }
  return s_always_connected == 1;
}

// Seeds of simulated runs differ even within one second.
unsigned s_seed_counter = 0;

// Largest matrix a simulated run makes, in bytes of document text.
const uint64_t MAX_SIMULATED_BYTES = uint64_t(1) << 30;

}  // namespace

TDR_DATA_LOG::TDR_DATA_LOG(DOMDocument* doc) : m_name(TDR_DATA_MANAGER::auto_name("log")), m_doc(doc) {
  create_element();
}

TDR_DATA_LOG::TDR_DATA_LOG(DOMDocument* doc, const char* name)
    : m_name(name ? std::string(name) : TDR_DATA_MANAGER::auto_name("log")), m_doc(doc) {
  create_element();
}

TDR_DATA_LOG::TDR_DATA_LOG(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set,
                           TDR_DATA_TRIGGER* trigger)
    : m_signal_set(signal_set), m_trigger(trigger), m_doc(doc), m_element(element) {
  if (!TDR_CHECK(element != NULL)) return;
  m_width = signal_set ? signal_set->get_data_wire_width() : 0;
  if (!tdr_get_attr_if(element, TDR_X("name"), &m_name)) {
    // Logs read from a file without a name are named after their element.
    m_name = TDR_DATA_MANAGER::auto_name("data");
    tdr_set_attr(element, TDR_X("name"), m_name);
  }
  DOMNode* first = element->getFirstChild();
  if (first && first->getNodeType() == DOMNode::TEXT_NODE) {
    const DOMText* node = static_cast<DOMText*>(first);
    const XMLCh* text = node->getData();
    if (text && *text) {
      m_samples = text;
      // The node keeps its length; counting the samples again is a pass over
      // the whole matrix.
      m_samples_length = node->getLength();
    }
  }
  m_sample_depth = tdr_strtol_int(tdr_get_attr(element, TDR_X("sample_depth")).c_str());
  m_segment_size = tdr_strtol_int(tdr_get_attr(element, TDR_X("segment_size")).c_str());
  m_power_up = gen_stricmp(tdr_get_attr(element, TDR_X("power_up_mode")).c_str(), "true") == 0;
  if (tdr_has_attr(element, TDR_X("unconnected_ports"))) {
    m_has_unconnected = true;
    m_unconnected = tdr_get_attr(element, TDR_X("unconnected_ports"));
  }
  m_trigger_position = tdr_strtol_int(tdr_get_attr(element, TDR_X("trigger_position")).c_str());
}

TDR_DATA_LOG::~TDR_DATA_LOG() {}

void TDR_DATA_LOG::create_element() {
  if (!m_doc) return;
  m_element = tdr_new_element(m_doc, TDR_X("data"));
  tdr_set_attr(m_element, TDR_X("name"), m_name);
}

bool TDR_DATA_LOG::set_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return false;
  bool restore_failed = false;
  if (!tdr_rename_in_map(m_trigger ? &m_trigger->get_log_name_map() : nullptr, this, &m_name,
                         name, &restore_failed)) {
    if (restore_failed) TDR_INTERNAL_ERROR("map->insert(this)");
    return false;
  }
  tdr_set_attr(m_element, TDR_X("name"), m_name);
  return true;
}

void TDR_DATA_LOG::set_signal_set(TDR_DATA_SIGNAL_SET* signal_set) {
  m_signal_set = signal_set;
  m_width = signal_set ? signal_set->get_data_wire_width() : 0;
}

bool TDR_DATA_LOG::is_global_temp() const { return tdr_is_global_temp_element(m_element); }

void TDR_DATA_LOG::set_global_temp() { tdr_mark_global_temp_element(m_element); }

// --- samples ------------------------------------------------------------------------

bool TDR_DATA_LOG::sample_high(long long wire, long long sample) const {
  if (!m_samples || wire < 0 || wire >= m_width || sample < 0) return false;
  uint64_t index = uint64_t(sample) * uint64_t(m_width) + uint64_t(wire);
  return index < m_samples_length && m_samples[index] == chDigit_1;
}

bool TDR_DATA_LOG::get_bit(int wire, int sample) const { return sample_high(wire, sample); }

bool TDR_DATA_LOG::get_connection_status(int wire) const {
  if (always_connected()) return true;
  if (!m_has_unconnected || !m_signal_set) return true;
  if (wire < 0 || wire >= m_signal_set->get_data_wire_width()) return false;
  // A string shorter than the data list leaves the later wires connected.
  if (size_t(wire) >= m_unconnected.size()) return true;
  return m_unconnected[size_t(wire)] != '0';
}

bool TDR_DATA_LOG::start_acquisition() {
  if (m_acquiring) return false;
  m_acquiring = true;
  return true;
}

bool TDR_DATA_LOG::end_acquisition() {
  if (!m_acquiring) return false;
  m_acquiring = false;
  return true;
}

bool TDR_DATA_LOG::translate_bit_stream(const XMLCh* bits, int sample_depth, int trigger_position,
                                        bool power_up) {
  if (!TDR_CHECK(bits != NULL && m_doc != NULL && m_element != NULL)) return false;
  m_sample_depth = sample_depth;
  m_trigger_position = trigger_position;
  m_power_up = power_up;
  m_segment_size = m_trigger && m_trigger->is_segment_enabled(power_up)
                       ? m_trigger->get_segment_size(power_up)
                       : 0;

  // The document's copy is the only one. It is made before the old children
  // go, so `bits` may point into this log's own text.
  DOMText* text = m_doc->createTextNode(bits);
  while (DOMNode* child = m_element->getFirstChild()) {
    m_element->removeChild(child);
    child->release();
  }
  m_element->appendChild(text);
  m_samples = text->getData();
  if (!m_samples) m_samples = TDR_X("");
  m_samples_length = XMLString::stringLen(m_samples);

  tdr_set_attr_int(m_element, TDR_X("sample_depth"), sample_depth);
  if (m_segment_size < 1) {
    tdr_set_attr_int(m_element, TDR_X("trigger_position"), trigger_position);
    tdr_remove_attr(m_element, TDR_X("segment_size"));
  } else {
    tdr_set_attr_int(m_element, TDR_X("segment_size"), m_segment_size);
    if (trigger_position < 0)
      tdr_set_attr(m_element, TDR_X("trigger_position"), "-1");
    else
      tdr_remove_attr(m_element, TDR_X("trigger_position"));
  }
  tdr_set_attr(m_element, TDR_X("power_up_mode"), power_up ? "true" : "false");
  if (m_signal_set && !m_signal_set->get_connection_status()) {
    const char* connections = m_signal_set->get_signal_connections();
    m_has_unconnected = true;
    m_unconnected = connections ? connections : "";
    tdr_set_attr(m_element, TDR_X("unconnected_ports"), m_unconnected);
  }
  if (tst_is_regtest_mode()) sanity_check_data_validity(true);
  return true;
}

void TDR_DATA_LOG::copy_data(const TDR_DATA_LOG* source) {
  if (!source || !source->m_samples) return;
  DOMElement* source_element = source->m_element;
  translate_bit_stream(source->m_samples, source->m_sample_depth, source->m_trigger_position,
                       source->m_power_up);
  std::string ports;
  if (tdr_get_attr_if(source_element, TDR_X("unconnected_ports"), &ports)) {
    m_has_unconnected = true;
    m_unconnected = ports;
    tdr_set_attr(m_element, TDR_X("unconnected_ports"), ports);
  } else {
    m_has_unconnected = false;
    m_unconnected.clear();
    tdr_remove_attr(m_element, TDR_X("unconnected_ports"));
  }
}

// --- validity check -----------------------------------------------------------------

bool TDR_DATA_LOG::sanity_check_data_validity(bool record) {
  bool valid = check_validity();
  if (record) tdr_set_attr(m_element, TDR_X("sanity_check"), valid ? "PASS" : "FAIL");
  return valid;
}

bool TDR_DATA_LOG::check_validity() const {
  const long long depth = m_sample_depth;
  const long long position = m_trigger_position;
  const long long segment = m_segment_size;
  if (position < -1 || depth < 0 || segment < 0) return false;
  bool segmented = m_trigger && m_trigger->is_segment_enabled(m_power_up);
  if (!segmented && depth >= 1 && position >= depth) return false;
  if (segmented) {
    long long set_depth = m_signal_set ? m_signal_set->get_sample_depth() : 0;
    if (segment == 0 || segment >= set_depth) return false;
  }
  if (depth == 0 && position != 0 && position != -1) return false;
  if (!m_trigger) return true;

  int last = m_trigger->get_event_levels() - 1;
  if (!segmented && position >= 0) {
    if (depth < 1) return true;
    long long previous = position == 0 ? depth - 1 : position - 1;
    for (int w = 0; w < m_width; ++w) {
      bool current = sample_high(w, position);
      bool before = sample_high(w, previous);
      switch (m_trigger->get_condition(last, w, m_power_up)) {
        case TDR_CTYPE_HIGH_COND:
          if (!current) return false;
          break;
        case TDR_CTYPE_LOW_COND:
          if (current) return false;
          break;
        case TDR_CTYPE_RISING_EDGE_COND:
          if (!current || before) return false;
          break;
        case TDR_CTYPE_FALLING_EDGE_COND:
          if (current || !before) return false;
          break;
        case TDR_CTYPE_EITHER_EDGE_COND:
          if (current == before) return false;
          break;
        default:
          break;
      }
    }
    return true;
  }
  if (!segmented || segment < 1) return true;

  // The level each wire needs at every segment start.
  struct NEED {
    int wire;
    bool high;
  };
  std::vector<NEED> needs;
  bool needs_high = false;
  for (int w = 0; w < m_width; ++w) {
    switch (m_trigger->get_condition(last, w, m_power_up)) {
      case TDR_CTYPE_HIGH_COND:
      case TDR_CTYPE_RISING_EDGE_COND:
        needs.push_back({w, true});
        needs_high = true;
        break;
      case TDR_CTYPE_LOW_COND:
      case TDR_CTYPE_FALLING_EDGE_COND:
        needs.push_back({w, false});
        break;
      default:
        break;
    }
  }
  if (needs.empty()) return true;
  for (long long start = 0; start < depth; start += segment) {
    // Past the end of the text every sample reads low, whatever the depth says.
    if (uint64_t(start) * uint64_t(m_width) >= m_samples_length) return !needs_high;
    for (const NEED& need : needs)
      if (sample_high(need.wire, start) != need.high) return false;
  }
  return true;
}

// --- simulated acquisition ----------------------------------------------------------

void TDR_DATA_LOG::simulate_run() {
  if (!TDR_CHECK(m_signal_set != NULL && m_trigger != NULL)) return;
  const long long depth =
      m_signal_set->get_sample_depth() > 0 ? m_signal_set->get_sample_depth() : 0;
  const long long width = m_signal_set->get_data_wire_width();
  const uint64_t count = uint64_t(depth) * uint64_t(width);
  if (count > MAX_SIMULATED_BYTES / sizeof(XMLCh)) return;
  std::unique_ptr<XMLCh[]> text(new (std::nothrow) XMLCh[count + 1]);
  if (!text) return;

  std::srand(unsigned(std::time(nullptr)) + s_seed_counter);
  ++s_seed_counter;
  for (uint64_t i = 0; i < count; ++i) {
    int r1 = std::rand();
    int r2 = std::rand();
    int m = r2 % 10 + 1;
    text[i] = r1 % m == 1 ? chDigit_1 : chDigit_0;
  }
  text[count] = 0;

  long long p;
  switch (m_trigger->get_trigger_position(m_power_up)) {
    case TDR_PTYPE_CENTER_POS:
      p = depth / 2;
      break;
    case TDR_PTYPE_POST_POS:
      p = (depth / 8) * 7;
      break;
    case TDR_PTYPE_CONTINUOUS_POS:
      p = 0;
      break;
    default:  // pre, and positions read from unknown words
      p = depth / 8;
      break;
  }

  auto put = [&](long long sample, long long wire, XMLCh c) {
    if (sample >= 0 && sample < depth)
      text[uint64_t(sample) * uint64_t(width) + uint64_t(wire)] = c;
  };
  // The wire reaches `high` at sample `at` and holds the other value before the trigger.
  auto settle = [&](long long wire, long long at, bool high) {
    put(at, wire, high ? chDigit_1 : chDigit_0);
    for (long long s = 0; s < p; ++s) put(s, wire, high ? chDigit_0 : chDigit_1);
  };
  bool edge = false;
  long long level_wire = -1;
  for (long long w = 0; w < width; ++w) {
    TDR_DATA_TRIGGER_CONDITION condition = m_trigger->get_condition(0, int(w), m_power_up);
    switch (condition) {
      case TDR_CTYPE_HIGH_COND:
      case TDR_CTYPE_LOW_COND:
        settle(w, p, condition == TDR_CTYPE_HIGH_COND);
        level_wire = w;
        break;
      case TDR_CTYPE_RISING_EDGE_COND:
      case TDR_CTYPE_FALLING_EDGE_COND:
        settle(w, p, condition == TDR_CTYPE_RISING_EDGE_COND);
        edge = true;
        break;
      case TDR_CTYPE_EITHER_EDGE_COND:
        settle(w, p + 1, std::rand() % 2 == 0);
        edge = true;
        break;
      default:
        break;
    }
  }
  // Level wires next to an edge get some activity before the trigger.
  if (edge && level_wire >= 0 && p != 3) {
    long long s = 0;
    do {
      put(s, level_wire, std::rand() % 2 == 1 ? chDigit_1 : chDigit_0);
      ++s;
    } while (s < p - 3);
  }
  // The matrix has the set's current width.
  m_width = int(width);
  translate_bit_stream(text.get(), int(depth), int(p), m_trigger->is_power_up_mode());
}

// --- removal ------------------------------------------------------------------------

void TDR_DATA_LOG::remove() {
  DOMNode* parent = m_element ? m_element->getParentNode() : nullptr;
  if (!TDR_CHECK(parent != NULL)) return;
  if (m_trigger) {
    if (m_trigger->get_global_log() == this) {
      m_trigger->set_global_log(nullptr);
    } else {
      TDR_DATA_NAME_MAP<TDR_DATA_LOG>& map = m_trigger->get_log_name_map();
      if (map.find(m_name) == this) map.erase(m_name);
      m_trigger->delete_from_vector(this);
    }
  }
  TDR_DATA_SIGNAL_SET* set = m_signal_set ? m_signal_set
                             : m_trigger  ? m_trigger->get_signal_set()
                                          : nullptr;
  TDR_DATA_INSTANCE* instance = set ? set->get_instance() : nullptr;
  if (instance && instance->get_session()) instance->get_session()->erase_active_branches(this);
  tdr_release_node(m_element);
  m_element = nullptr;
  delete this;
}
