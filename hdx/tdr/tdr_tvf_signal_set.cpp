// Import of the older line-based file format: the signal staging object and
// the session's entry point.
#define TDR_SOURCE_FILE "tdr_tvf_signal_set"

#include "tdr_tvf_signal_set.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "gen.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_msg.h"
#include "tdr_tvf_trigger.h"

namespace {

bool ends_with(const std::string& s, const char* suffix) {
  size_t n = std::char_traits<char>::length(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Drops the characters an XML file cannot carry (C0 controls but TAB, and
// U+FFFE/U+FFFF in UTF-8): names from the line end up in the session
// document, whose saved file would otherwise not read back. NUL stays: names
// go on as C strings, which end there.
void drop_unwritable_characters(std::string* line) {
  size_t out = 0;
  for (size_t i = 0; i < line->size(); ++i) {
    unsigned char c = static_cast<unsigned char>((*line)[i]);
    if (c < 0x20 && c != '\t' && c != 0) continue;
    if (c == 0xEF && i + 2 < line->size() && static_cast<unsigned char>((*line)[i + 1]) == 0xBF &&
        (static_cast<unsigned char>((*line)[i + 2]) & 0xFE) == 0xBE) {
      i += 2;
      continue;
    }
    (*line)[out++] = static_cast<char>(c);
  }
  line->resize(out);
}

// The non-empty pieces of `text` between any of the `separators`.
std::vector<std::string> split_tokens(const std::string& text, const char* separators) {
  std::vector<std::string> tokens;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(separators, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) tokens.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return tokens;
}

}  // namespace

TDR_DATA_TRIGGER_CONDITION tdr_tvf_condition_from_symbol(char symbol) {
  switch (symbol) {
    case 'L': case 'l': return TDR_CTYPE_LOW_COND;
    case 'H': case 'h': return TDR_CTYPE_HIGH_COND;
    case 'R': case 'r': return TDR_CTYPE_RISING_EDGE_COND;
    case 'F': case 'f': return TDR_CTYPE_FALLING_EDGE_COND;
    case 'E': case 'e': return TDR_CTYPE_EITHER_EDGE_COND;
    default: return TDR_CTYPE_DONT_CARE_COND;
  }
}

std::string tdr_tvf_unquote_name(const std::string& name) {
  if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
    return name.substr(1, name.size() - 2);
  return name;
}

TDR_TVF_SIGNAL_SET::TDR_TVF_SIGNAL_SET() { m_definitions.reserve(128); }

int TDR_TVF_SIGNAL_SET::find_signal(const std::string& name) const {
  auto it = m_index_by_name.find(name);
  if (it != m_index_by_name.end() && m_definitions[size_t(it->second)].name == name)
    return it->second;
  // The index entry went stale when its definition was overwritten.
  for (size_t i = 0; i < m_definitions.size(); ++i)
    if (!name.empty() && m_definitions[i].name == name) return int(i);
  return -1;
}

void TDR_TVF_SIGNAL_SET::read_line(const std::string& key, const std::string& value) {
  if (value.empty()) return;
  if (std::isdigit(static_cast<unsigned char>(value[0]))) {
    char* end = nullptr;
    unsigned long index = std::strtoul(value.c_str(), &end, 10);
    if (index > unsigned(MAX_SIGNAL_INDEX)) return;
    if (index >= m_definitions.size()) m_definitions.resize(index + 1);
    std::string name = tdr_tvf_unquote_name(key);
    m_definitions[index].name = name;
    m_index_by_name.emplace(name, int(index));
    return;
  }
  if (value[0] != '"') return;
  if (ends_with(key, ":P1")) {
    int i = find_signal(tdr_tvf_unquote_name(key.substr(0, key.size() - 3)));
    if (i >= 0) m_definitions[size_t(i)].symbol = value.size() > 1 ? value[1] : '\0';
    return;
  }
  std::string group = tdr_tvf_unquote_name(key);
  for (const std::string& member : split_tokens(value, ",\"")) {
    int i = find_signal(tdr_tvf_unquote_name(member));
    if (i >= 0) m_definitions[size_t(i)].group = group;
  }
}

void TDR_TVF_SIGNAL_SET::morph(TDR_DATA_SIGNAL_SET* signal_set) {
  if (!TDR_CHECK(signal_set != NULL)) return;
  TDR_DATA_SIGNAL_VIEW* data_view = signal_set->get_data_view();
  TDR_DATA_SIGNAL_VIEW* setup_view = signal_set->get_setup_view();
  if (!TDR_CHECK(data_view != NULL) || !TDR_CHECK(setup_view != NULL)) return;
  m_wires.assign(m_definitions.size(), nullptr);
  std::string previous_group;
  TDR_DATA_SIGNAL_VIEW_NODE data_bus, setup_bus;
  for (size_t i = 0; i < m_definitions.size(); ++i) {
    const SIGNAL_DEFINITION& def = m_definitions[i];
    // Gaps in the numbering leave nameless definitions: nothing to tap.
    if (def.name.empty()) continue;
    bool existed = signal_set->get_wire(def.name.c_str()) != nullptr;
    TDR_DATA_SIGNAL_WIRE* wire = signal_set->create_wire(
        def.name.c_str(), TDR_WTYPE_BOTH_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, nullptr);
    if (!wire) continue;
    signal_set->append(wire, true);
    m_wires[i] = wire;
    if (existed) continue;  // a repeated name is one signal with one node
    TDR_DATA_SIGNAL_VIEW_NODE data_net = data_view->create_net_node(def.name.c_str());
    TDR_DATA_SIGNAL_VIEW_NODE setup_net = setup_view->create_net_node(def.name.c_str());
    if (def.group.empty()) {
      data_view->append_node(data_net);
      setup_view->append_node(setup_net);
    } else {
      if (def.group != previous_group) {
        data_bus = data_view->create_bus_node(def.group.c_str());
        setup_bus = setup_view->create_bus_node(def.group.c_str());
        data_view->append_node(data_bus);
        setup_view->append_node(setup_bus);
      }
      data_bus.append_child(data_net);
      setup_bus.append_child(setup_net);
    }
    previous_group = def.group;
  }
  m_morph_signals_done = true;
}

void TDR_TVF_SIGNAL_SET::morph(TDR_DATA_TRIGGER* trigger) {
  if (!TDR_CHECK(trigger != NULL)) return;
  if (!TDR_CHECK(m_morph_signals_done)) return;
  int level = trigger->append_new_level(true);
  for (bool power_up : {false, true}) {
    // Conditions are stored without rewriting the level text each time; the
    // last one set writes the whole text once.
    int last = -1;
    for (size_t i = 0; i < m_definitions.size(); ++i) {
      TDR_DATA_TRIGGER_CONDITION condition = tdr_tvf_condition_from_symbol(m_definitions[i].symbol);
      if (m_wires[i] && m_wires[i]->get_trigger_wire_index() >= 0 &&
          condition != TDR_CTYPE_DONT_CARE_COND)
        last = int(i);
    }
    for (int i = 0; i <= last; ++i) {
      TDR_DATA_SIGNAL_WIRE* wire = m_wires[size_t(i)];
      TDR_DATA_TRIGGER_CONDITION condition = tdr_tvf_condition_from_symbol(m_definitions[size_t(i)].symbol);
      if (!wire || wire->get_trigger_wire_index() < 0 || condition == TDR_CTYPE_DONT_CARE_COND)
        continue;
      trigger->set_trigger_condition(wire->get_trigger_wire_index(), level, condition, power_up,
                                     i == last);
    }
  }
}

bool TDR_DATA_SESSION::parse_tvf_file() {
  TDR_DATA_INSTANCE* instance = create_tavrin_instance(nullptr);
  if (!TDR_CHECK(instance != NULL)) return false;
  TDR_DATA_SIGNAL_SET* signal_set = instance->create_signal_set("signals_imported", false);
  if (!TDR_CHECK(signal_set != NULL)) return false;
  const char* file = get_name();
  if (!file) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;

  enum { NONE, SIGNALS, TRIGGER } section = NONE;
  std::unique_ptr<TDR_TVF_SIGNAL_SET> signals;
  std::unique_ptr<TDR_TVF_TRIGGER> trigger_settings;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    drop_unwritable_characters(&line);
    if (gen_strnicmp(line.c_str(), "[Signal]", 8) == 0) {
      section = SIGNALS;
      signals.reset(new TDR_TVF_SIGNAL_SET());
      continue;
    }
    if (gen_strnicmp(line.c_str(), "[ACQ=\"Corvane ELA\"]", 19) == 0) {
      section = TRIGGER;
      trigger_settings.reset(new TDR_TVF_TRIGGER());
      continue;
    }
    if (!line.empty() && line.front() == '[' && line.back() == ']') {
      section = NONE;
      continue;
    }
    if (section == NONE) continue;
    std::vector<std::string> parts = split_tokens(line, "=");
    if (section == SIGNALS) {
      if (parts.size() >= 2) signals->read_line(parts[0], parts[1]);
    } else {
      trigger_settings->read_line(line, parts.empty() ? std::string() : parts[0],
                                  parts.size() >= 2 ? parts[1] : std::string(), parts.size() >= 2);
    }
  }

  TDR_DATA_TRIGGER* trigger = nullptr;
  if (signals) {
    signals->morph(signal_set);
    trigger = signal_set->create_trigger("trigger_imported", false);
    if (trigger) signals->morph(trigger);
  }
  if (trigger_settings) {
    trigger_settings->morph(signal_set);
    // Without signals there is no level to fill, but the file's trigger
    // settings still deserve a trigger to live in.
    if (!trigger) {
      trigger = signal_set->create_trigger("trigger_imported", false);
      if (trigger) trigger->append_new_level(true);
    }
    if (trigger) trigger_settings->morph(trigger);
  }
  return true;
}
