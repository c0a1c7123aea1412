// Triggers of a signal set: settings, levels and their conditions, the
// condition text of basic levels, and the logs recorded under the trigger.
#define TDR_SOURCE_FILE "tdr_data_trigger"

#include "tdr_data_trigger.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "cfg.h"
#include "gen.h"
#include "tci.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_mnemonics.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_xml_attr.h"
#include "tdr_lang.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

bool valid_condition(TDR_DATA_TRIGGER_CONDITION c) {
  return c >= TDR_CTYPE_DISABLE_COND && c < TDR_CTYPE_INVALID_COND;
}

// Words of stored values; a value without a word (read from an unknown word)
// gives "".
const char* condition_word(TDR_DATA_TRIGGER_CONDITION c) {
  return valid_condition(c) ? TDR_DATA_TRIG_CONDITION_STR[c] : "";
}

const char* position_word(TDR_DATA_TRIGGER_POSITION p) {
  return p >= TDR_PTYPE_PRE_POS && p <= TDR_PTYPE_CONTINUOUS_POS ? TDR_DATA_TRIG_POSITION_STR[p]
                                                                 : "";
}

// Whole-word, case-sensitive; an unknown word is kept as the value past the table.
TDR_DATA_TRIGGER_CONDITION read_condition_word(const std::string& word) {
  for (int i = 0; i < TDR_CTYPE_INVALID_COND; ++i)
    if (word == TDR_DATA_TRIG_CONDITION_STR[i]) return TDR_DATA_TRIGGER_CONDITION(i);
  return TDR_CTYPE_INVALID_COND;
}

TDR_DATA_TRIGGER_POSITION read_position_word(const std::string& word) {
  for (int i = 0; i <= TDR_PTYPE_CONTINUOUS_POS; ++i)
    if (word == TDR_DATA_TRIG_POSITION_STR[i]) return TDR_DATA_TRIGGER_POSITION(i);
  return TDR_DATA_TRIGGER_POSITION(TDR_PTYPE_CONTINUOUS_POS + 1);
}

const char* bool_word(bool value) { return value ? "true" : "false"; }

// "tvf_last_trigger_level_latency", read once per process (tests reset it).
const int LATENCY_NOT_READ = INT_MIN;
int s_last_level_latency = LATENCY_NOT_READ;

void forget_last_level_latency() { s_last_level_latency = LATENCY_NOT_READ; }

int last_level_latency_setting() {
  if (s_last_level_latency == LATENCY_NOT_READ) {
    cfg_register_reset_hook(forget_last_level_latency);
    s_last_level_latency = cfg_get_int_value("tvf_last_trigger_level_latency", 0);
  }
  return s_last_level_latency;
}

DOMElement* first_child(DOMNode* parent, const XMLCh* name) {
  return TDR_DATA_XML_UTIL::find_first_child_element_by_name(parent, name);
}

DOMText* new_text(DOMDocument* doc) { return doc->createTextNode(TDR_X("")); }

// An expression's CDATA section; a hand-written file may indent it.
DOMCDATASection* first_cdata(DOMElement* expression) {
  for (DOMNode* c = expression ? expression->getFirstChild() : nullptr; c; c = c->getNextSibling())
    if (c->getNodeType() == DOMNode::CDATA_SECTION_NODE) return static_cast<DOMCDATASection*>(c);
  return nullptr;
}

}  // namespace

// The condition parser's view of the trigger. Bus lookups are remembered for
// the length of one parse (nothing a clause does changes the views), so that a
// long text naming the same buses walks each view once per name.
class TDR_DATA_TRIGGER::LANG_TARGET : public TDR_LANG_TARGET {
 public:
  LANG_TARGET(TDR_DATA_TRIGGER* trigger, bool long_text)
      : m_trigger(trigger), m_long_text(long_text) {
    m_trigger->m_bus_cache = &m_bus_cache;
  }
  ~LANG_TARGET() override { m_trigger->m_bus_cache = nullptr; }
  LANG_TARGET(const LANG_TARGET&) = delete;
  LANG_TARGET& operator=(const LANG_TARGET&) = delete;

  int find_trigger_wire_index(const char* name) override {
    TDR_DATA_SIGNAL_SET* set = m_trigger->m_signal_set;
    if (!set) return TDR_LANG_NO_SUCH_WIRE;
    // A long text names the wires in order: try the one after the last.
    if (m_long_text && set->is_written_key_of(m_next_wire, name)) return m_next_wire++;
    TDR_DATA_SIGNAL_WIRE* wire = set->get_wire(name);
    if (!wire) return TDR_LANG_NO_SUCH_WIRE;
    int index = wire->get_trigger_wire_index();
    if (index < 0) return TDR_LANG_NOT_TRIGGER_WIRE;
    m_next_wire = index + 1;
    return index;
  }
  void set_condition_by_index(int wire, int level, TDR_DATA_TRIGGER_CONDITION condition,
                              bool power_up) override {
    m_trigger->set_trigger_condition(wire, level, condition, power_up, false);
  }
  void set_condition_by_node(const char* name, int level, TDR_DATA_TRIGGER_CONDITION condition,
                             bool power_up) override {
    m_trigger->set_trigger_condition(name, level, condition, power_up, false);
  }
  void set_condition_by_value(const char* bus, int level, long value, bool power_up) override {
    m_trigger->set_trigger_condition(bus, level, value, power_up, false);
  }
  void set_condition_by_symbol(const char* bus, int level, const char* symbol,
                               bool power_up) override {
    m_trigger->set_trigger_condition(bus, level, symbol, power_up, false);
  }
  void set_condition_by_table_symbol(const char* bus, int level, const char* table,
                                     const char* symbol, bool power_up) override {
    m_trigger->set_trigger_condition(bus, level, table, symbol, power_up, false);
  }

 private:
  TDR_DATA_TRIGGER* m_trigger;
  bool m_long_text;
  int m_next_wire = 0;
  std::unordered_map<std::string, DOMElement*> m_bus_cache;
};

// --- condition rows ----------------------------------------------------------------

void TDR_DATA_CONDITION_ROW::set(int wire, TDR_DATA_TRIGGER_CONDITION condition) {
  bool dont_care = condition == TDR_CTYPE_DONT_CARE_COND;
  if (m_ordered == m_entries.size()) {
    if (m_entries.empty() || m_entries.back().first < wire) {
      if (dont_care) return;
      m_entries.emplace_back(wire, condition);
      m_ordered = m_entries.size();
      return;
    }
    // Rewriting a level sets its wires in order: the entry after the last
    // one set comes first.
    size_t at = m_next;
    if (at >= m_entries.size() || m_entries[at].first != wire) at = position_of(wire);
    if (at < m_entries.size() && m_entries[at].first == wire) {
      // A dont-care stays as a mark until the row is next read.
      m_entries[at].second = condition;
      m_next = at + 1;
      m_has_dont_care = m_has_dont_care || dont_care;
      return;
    }
    if (dont_care) return;
  }
  m_entries.emplace_back(wire, condition);
  m_has_dont_care = m_has_dont_care || dont_care;
}

TDR_DATA_TRIGGER_CONDITION TDR_DATA_CONDITION_ROW::get(int wire) const {
  const std::vector<ENTRY>& row = entries();
  size_t at = position_of(wire);
  return at < row.size() && row[at].first == wire ? row[at].second : TDR_CTYPE_DONT_CARE_COND;
}

size_t TDR_DATA_CONDITION_ROW::position_of(int wire) const {
  return size_t(std::lower_bound(m_entries.begin(), m_entries.end(), wire,
                                 [](const ENTRY& e, int w) { return e.first < w; }) -
                m_entries.begin());
}

void TDR_DATA_CONDITION_ROW::put_in_order() const {
  // The ordered part is merged with the later entries sorted; stable sorting
  // and merging keep a wire's later entries after its earlier ones, and the
  // last of each wire is the one that holds.
  auto by_wire = [](const ENTRY& a, const ENTRY& b) { return a.first < b.first; };
  auto middle = m_entries.begin() + std::ptrdiff_t(m_ordered);
  std::stable_sort(middle, m_entries.end(), by_wire);
  std::inplace_merge(m_entries.begin(), middle, m_entries.end(), by_wire);
  size_t kept = 0;
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (i + 1 < m_entries.size() && m_entries[i + 1].first == m_entries[i].first) continue;
    if (m_entries[i].second != TDR_CTYPE_DONT_CARE_COND) m_entries[kept++] = m_entries[i];
  }
  m_entries.resize(kept);
  m_ordered = kept;
  m_next = 0;
  m_has_dont_care = false;
}

// --- construction -----------------------------------------------------------------

TDR_DATA_TRIGGER::TDR_DATA_TRIGGER(DOMDocument* doc)
    : m_name(TDR_DATA_MANAGER::auto_name("trigger")), m_doc(doc) {
  create_element();
}

TDR_DATA_TRIGGER::TDR_DATA_TRIGGER(DOMDocument* doc, const char* name)
    : m_name(name ? std::string(name) : TDR_DATA_MANAGER::auto_name("trigger")), m_doc(doc) {
  create_element();
}

TDR_DATA_TRIGGER::TDR_DATA_TRIGGER(DOMDocument* doc, DOMElement* element,
                                   TDR_DATA_SIGNAL_SET* signal_set)
    : m_signal_set(signal_set), m_doc(doc), m_element(element) {
  if (!TDR_CHECK(doc != NULL && element != NULL)) return;
  read_element();
}

TDR_DATA_TRIGGER::~TDR_DATA_TRIGGER() { del_container(); }

void TDR_DATA_TRIGGER::create_element() {
  if (!m_doc) return;
  m_element = tdr_new_element(m_doc, TDR_X("trigger"));
  tdr_set_attr(m_element, TDR_X("name"), m_name);
  m_power_up_element = tdr_new_element(m_doc, TDR_X("power_up_trigger"), m_element);
  m_events = tdr_new_element(m_doc, TDR_X("events"), m_element);
}

void TDR_DATA_TRIGGER::read_element() {
  DOMElement* e = m_element;
  if (!tdr_get_attr_if(e, TDR_X("name"), &m_name)) {
    m_name = TDR_DATA_MANAGER::auto_name("trigger");
    tdr_set_attr(e, TDR_X("name"), m_name);
  }

  m_expanded = !(tdr_has_attr(e, TDR_X("is_expanded")) &&
                 gen_stricmp(tdr_get_attr(e, TDR_X("is_expanded")).c_str(), "false") == 0);
  tdr_set_attr(e, TDR_X("is_expanded"), bool_word(m_expanded));

  // Older files kept the sample depth on the trigger; it belongs to the set.
  if (tdr_has_attr(e, TDR_X("sample_depth"))) {
    int depth = tdr_strtol_int(tdr_get_attr(e, TDR_X("sample_depth")).c_str());
    if (m_signal_set) m_signal_set->set_sample_depth(depth);
    tdr_remove_attr(e, TDR_X("sample_depth"));
  }

  if (tdr_has_attr(e, TDR_X("power_up_trigger_mode"))) {
    m_power_up_mode = tdr_get_attr(e, TDR_X("power_up_trigger_mode")) == "true";
    tdr_set_attr(e, TDR_X("power_up_trigger_mode"), bool_word(m_power_up_mode));
  }

  read_side(e, false);

  m_power_up_element = first_child(e, TDR_X("power_up_trigger"));
  if (m_power_up_element)
    read_side(m_power_up_element, true);
  else
    m_power_up_element = tdr_new_element(m_doc, TDR_X("power_up_trigger"), e);

  m_events = first_child(e, TDR_X("events"));
  if (m_events)
    expand_dom_events(m_events);
  else
    m_events = tdr_new_element(m_doc, TDR_X("events"), e);

  read_logs();
}

void TDR_DATA_TRIGGER::read_side(DOMElement* e, bool power_up) {
  SIDE& s = m_side[power_up ? 1 : 0];
  if (tdr_has_attr(e, TDR_X("segment_size")))
    s.segment_size = tdr_strtol_int(tdr_get_attr(e, TDR_X("segment_size")).c_str());
  if (tdr_has_attr(e, TDR_X("trigger_type")))
    s.type = convert_to_trigger_type(tdr_get_attr(e, TDR_X("trigger_type")).c_str());
  if (tdr_has_attr(e, TDR_X("position")))
    s.position = read_position_word(tdr_get_attr(e, TDR_X("position")));
  read_port_condition(e, TDR_X("trigger_in"), true, power_up);
  read_port_condition(e, TDR_X("trigger_out"), false, power_up);
}

void TDR_DATA_TRIGGER::read_port_condition(DOMElement* e, const XMLCh* attr, bool trigger_in,
                                           bool power_up) {
  if (!tdr_has_attr(e, attr)) return;
  TDR_DATA_TRIGGER_CONDITION c = read_condition_word(tdr_get_attr(e, attr));
  SIDE& s = m_side[power_up ? 1 : 0];
  (trigger_in ? s.trigger_in : s.trigger_out) = c;
  if (c != TDR_CTYPE_DISABLE_COND) return;
  // Older files switched a port off on the trigger; it belongs to the set.
  if (m_signal_set) {
    if (trigger_in)
      m_signal_set->enable_trigger_in(false);
    else
      m_signal_set->enable_trigger_out(false);
  }
  tdr_remove_attr(e, attr);
}

void TDR_DATA_TRIGGER::expand_dom_events(DOMElement* events) {
  for (DOMElement* e = first_child(events, TDR_X("level")); e;
       e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("level"))) {
    int index = append_new_level(false);
    DOMText* texts[2] = {nullptr, nullptr};
    {
      LEVEL& level = m_levels[size_t(index)];
      level.element = e;
      level.enabled[0] = tdr_get_attr(e, TDR_X("enabled")) != "no";
      level.basic = tdr_get_attr(e, TDR_X("type")) != "advanced";
      DOMNode* first = e->getFirstChild();
      if (first && first->getNodeType() == DOMNode::TEXT_NODE)
        texts[0] = level.text[0] = static_cast<DOMText*>(first);
      DOMElement* power_up = first_child(e, TDR_X("power_up"));
      level.power_up_element = power_up;
      if (power_up) {
        level.enabled[1] = tdr_get_attr(power_up, TDR_X("enabled")) != "no";
        first = power_up->getFirstChild();
        if (first && first->getNodeType() == DOMNode::TEXT_NODE)
          texts[1] = level.text[1] = static_cast<DOMText*>(first);
      }
      level.expression[0] = first_cdata(first_child(e, TDR_X("expression")));
      if (power_up)
        level.expression[1] = first_cdata(first_child(power_up, TDR_X("power_up_expression")));
      level.op_node = first_child(e, TDR_X("op_node"));
    }
    parse_level_text(texts[0], index, false);
    parse_level_text(texts[1], index, true);
  }
}

void TDR_DATA_TRIGGER::parse_level_text(DOMText* text, int level, bool power_up) {
  const XMLCh* value = text ? text->getData() : nullptr;
  if (!value || !*value) return;
  parse_condition(tdr_narrow(value).c_str(), level, power_up);
}

void TDR_DATA_TRIGGER::read_logs() {
  for (DOMElement* e = first_child(m_element, TDR_X("data")); e;
       e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("data"))) {
    TDR_DATA_LOG* log = new TDR_DATA_LOG(m_doc, e, m_signal_set, this);
    if (log->is_global_temp()) {
      // The last global-temp log read wins; an earlier one keeps its element.
      delete m_logs.global();
      m_logs.set_global(log);
    } else if (!m_logs.append(log)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(log->get_name()));
      delete log;
    }
  }
}

void TDR_DATA_TRIGGER::del_container() {
  m_logs.delete_all();
  for (LEVEL& level : m_levels) {
    for (TCI_ADVANCED_TRIGGER_FACTORY*& factory : level.factory) {
      delete factory;
      factory = nullptr;
    }
  }
  m_levels.clear();
}

void TDR_DATA_TRIGGER::remove() {
  DOMNode* parent = m_element ? m_element->getParentNode() : nullptr;
  if (!TDR_CHECK(parent != NULL)) return;
  if (m_signal_set) {
    if (m_signal_set->get_global_trigger() == this) {
      m_signal_set->set_global_trigger(nullptr);
    } else {
      TDR_DATA_NAME_MAP<TDR_DATA_TRIGGER>& map = m_signal_set->get_trigger_name_map();
      if (map.find(m_name) == this) map.erase(m_name);
      m_signal_set->delete_from_vector(this);
    }
    TDR_DATA_INSTANCE* instance = m_signal_set->get_instance();
    if (instance && instance->get_session()) {
      TDR_DATA_SESSION* session = instance->get_session();
      session->erase_active_branches(this);
      for (TDR_DATA_LOG* log : m_logs.items()) session->erase_active_branches(log);
      session->erase_active_branches(m_logs.global());
    }
  }
  tdr_release_node(m_element);
  m_element = nullptr;
  delete this;
}

// --- accessors ----------------------------------------------------------------------

bool TDR_DATA_TRIGGER::is_trigger_level_enabled(int level, bool power_up) const {
  if (level < 0 || level >= get_event_levels()) return true;
  return m_levels[size_t(level)].enabled[power_up ? 1 : 0];
}

bool TDR_DATA_TRIGGER::is_trigger_level_basic_condition(int level) const {
  if (level < 0 || level >= get_event_levels()) return true;
  return m_levels[size_t(level)].basic;
}

TDR_DATA_TRIGGER_CONDITION TDR_DATA_TRIGGER::get_condition(int level, int wire,
                                                           bool power_up) const {
  if (level < 0 || level >= get_event_levels() || wire < 0 || wire >= trigger_wire_count())
    return TDR_CTYPE_DONT_CARE_COND;
  return m_levels[size_t(level)].conditions[power_up ? 1 : 0].get(wire);
}

bool TDR_DATA_TRIGGER::is_global_temp() const { return tdr_is_global_temp_element(m_element); }

TDR_DATA_TRIGGER_TYPE TDR_DATA_TRIGGER::convert_to_trigger_type(const char* text) {
  return text && text[0] == 's' ? TDR_TTYPE_SEGMENTED_TRIGGER : TDR_TTYPE_CIRCULAR_TRIGGER;
}

int TDR_DATA_TRIGGER::trigger_wire_count() const {
  return m_signal_set ? m_signal_set->get_trigger_wire_width() : 0;
}

// --- setters ------------------------------------------------------------------------

bool TDR_DATA_TRIGGER::set_name(const char* name) {
  if (!TDR_CHECK(name != NULL)) return false;
  bool restore_failed = false;
  if (!tdr_rename_in_map(m_signal_set ? &m_signal_set->get_trigger_name_map() : nullptr, this, &m_name,
                         name, &restore_failed)) {
    if (restore_failed) TDR_INTERNAL_ERROR("map->insert(this)");
    return false;
  }
  tdr_set_attr(m_element, TDR_X("name"), m_name);
  return true;
}

void TDR_DATA_TRIGGER::set_trigger_position(TDR_DATA_TRIGGER_POSITION position, bool power_up) {
  m_side[power_up ? 1 : 0].position = position;
  tdr_set_attr(get_dom_node(power_up), TDR_X("position"), position_word(position));
}

void TDR_DATA_TRIGGER::set_trigger_in(TDR_DATA_TRIGGER_CONDITION condition, bool power_up) {
  m_side[power_up ? 1 : 0].trigger_in = condition;
  tdr_set_attr(get_dom_node(power_up), TDR_X("trigger_in"), condition_word(condition));
}

void TDR_DATA_TRIGGER::set_trigger_out(TDR_DATA_TRIGGER_CONDITION condition, bool power_up) {
  m_side[power_up ? 1 : 0].trigger_out = condition;
  tdr_set_attr(get_dom_node(power_up), TDR_X("trigger_out"), condition_word(condition));
}

bool TDR_DATA_TRIGGER::set_segment_size(int size, bool power_up) {
  int depth = m_signal_set ? m_signal_set->get_sample_depth() : 0;
  int s = size;
  if (depth > 0) {
    if (s > depth) s = depth;
    if (s < 1) s = 1;
    int power = 1;
    while (power <= s / 2) power *= 2;
    s = power;
  } else {
    s = 1;
  }
  m_side[power_up ? 1 : 0].segment_size = s;
  tdr_set_attr_int(get_dom_node(power_up), TDR_X("segment_size"), s);
  return s == size;
}

bool TDR_DATA_TRIGGER::set_trigger_type(TDR_DATA_TRIGGER_TYPE type, bool power_up) {
  m_side[power_up ? 1 : 0].type = type;
  bool known = type == TDR_TTYPE_CIRCULAR_TRIGGER || type == TDR_TTYPE_SEGMENTED_TRIGGER;
  tdr_set_attr(get_dom_node(power_up), TDR_X("trigger_type"),
               TDR_DATA_TRIGGER_TYPE_STR[known ? type : TDR_TTYPE_CIRCULAR_TRIGGER]);
  return known;
}

void TDR_DATA_TRIGGER::set_power_up_mode(bool power_up_mode) {
  m_power_up_mode = power_up_mode;
  tdr_set_attr(m_element, TDR_X("power_up_trigger_mode"), bool_word(power_up_mode));
}

bool TDR_DATA_TRIGGER::set_expanded_status(bool expanded) {
  m_expanded = expanded;
  tdr_set_attr(m_element, TDR_X("is_expanded"), bool_word(expanded));
  return true;
}

void TDR_DATA_TRIGGER::set_global_temp() { tdr_mark_global_temp_element(m_element); }

void TDR_DATA_TRIGGER::set_trigger_level_enabled(int level, bool enabled, bool power_up) {
  if (level < 0 || level >= get_event_levels()) return;
  LEVEL& l = m_levels[size_t(level)];
  l.enabled[power_up ? 1 : 0] = enabled;
  DOMElement* e = power_up ? power_up_element(&l) : l.element;
  tdr_set_attr(e, TDR_X("enabled"), enabled ? "yes" : "no");
}

void TDR_DATA_TRIGGER::set_trigger_level_cond_expr_type(int level, bool basic) {
  if (level < 0 || level >= get_event_levels()) return;
  LEVEL& l = m_levels[size_t(level)];
  l.basic = basic;
  tdr_set_attr(l.element, TDR_X("type"), basic ? "basic" : "advanced");
}

int TDR_DATA_TRIGGER::append_new_level(bool create_dom) {
  LEVEL level;  // every condition dont-care
  if (create_dom && m_doc && m_events) {
    level.element = tdr_new_element(m_doc, TDR_X("level"), m_events);
    level.text[0] = new_text(m_doc);
    level.element->appendChild(level.text[0]);
    level.power_up_element = tdr_new_element(m_doc, TDR_X("power_up"), level.element);
    level.text[1] = new_text(m_doc);
    level.power_up_element->appendChild(level.text[1]);
  }
  m_levels.push_back(std::move(level));
  return get_event_levels() - 1;
}

DOMElement* TDR_DATA_TRIGGER::power_up_element(LEVEL* level) {
  if (!level->power_up_element && level->element && m_doc) {
    level->power_up_element = tdr_new_element(m_doc, TDR_X("power_up"), level->element);
    level->text[1] = new_text(m_doc);
    level->power_up_element->appendChild(level->text[1]);
  }
  return level->power_up_element;
}

// --- conditions ---------------------------------------------------------------------

bool TDR_DATA_TRIGGER::store_condition(int wire, int level, TDR_DATA_TRIGGER_CONDITION condition,
                                       bool power_up) {
  if (level < 0 || level >= get_event_levels() || wire < 0 || wire >= trigger_wire_count())
    return false;
  m_levels[size_t(level)].conditions[power_up ? 1 : 0].set(wire, condition);
  return true;
}

void TDR_DATA_TRIGGER::write_condition_text(int level, bool power_up) {
  if (level < 0 || level >= get_event_levels() || !m_doc) return;
  LEVEL& l = m_levels[size_t(level)];
  DOMElement* owner = power_up ? power_up_element(&l) : l.element;
  if (!owner) return;
  DOMText*& text = l.text[power_up ? 1 : 0];
  if (!text) {
    text = new_text(m_doc);
    owner->insertBefore(text, owner->getFirstChild());
  }
  text->setData(tdr_widen(get_condition_expression(level, power_up)).c_str());
}

bool TDR_DATA_TRIGGER::set_trigger_condition(int wire, int level,
                                             TDR_DATA_TRIGGER_CONDITION condition, bool power_up,
                                             bool write) {
  if (!store_condition(wire, level, condition, power_up)) return false;
  if (write) write_condition_text(level, power_up);
  return true;
}

TDR_DATA_SIGNAL_VIEW_NODE TDR_DATA_TRIGGER::find_bus(const char* name) const {
  if (!TDR_CHECK(m_signal_set != NULL)) return TDR_DATA_SIGNAL_VIEW_NODE();
  TDR_DATA_SIGNAL_VIEW* view = m_signal_set->get_setup_view();
  if (!view) return TDR_DATA_SIGNAL_VIEW_NODE();
  if (!m_bus_cache) return view->find_bus_node(name);
  auto found = m_bus_cache->find(name);
  if (found != m_bus_cache->end()) return TDR_DATA_SIGNAL_VIEW_NODE(found->second, view);
  TDR_DATA_SIGNAL_VIEW_NODE bus = view->find_bus_node(name);
  m_bus_cache->emplace(name, bus.get_dom_node());
  return bus;
}

int TDR_DATA_TRIGGER::resolve_member(const TDR_DATA_SIGNAL_VIEW_NODE& member) const {
  const char* name = member.get_name();
  TDR_DATA_SIGNAL_WIRE* wire = name ? m_signal_set->get_wire(name) : nullptr;
  if (!wire) {
    MSG_TDR::post(MSG_TDR::W::INVALID_SIGNAL_REF(name ? name : "unspecified"));
    return -2;
  }
  return wire->get_trigger_wire_index();
}

namespace {

// Visits the members of a bus, first to last or last to first.
template <class VISIT>
void for_each_member(const TDR_DATA_SIGNAL_VIEW_NODE& bus, bool first_to_last, VISIT visit) {
  for (TDR_DATA_SIGNAL_VIEW_NODE m = first_to_last ? bus.get_first_child() : bus.get_last_child();
       !m.is_null(); m = first_to_last ? m.get_next_sibling() : m.get_prev_sibling())
    visit(m);
}

}  // namespace

bool TDR_DATA_TRIGGER::set_node_condition(const TDR_DATA_SIGNAL_VIEW_NODE& node, int level,
                                          TDR_DATA_TRIGGER_CONDITION condition, bool power_up) {
  bool set = false;
  for_each_member(node, true, [&](const TDR_DATA_SIGNAL_VIEW_NODE& member) {
    int index = resolve_member(member);
    if (index >= 0 && store_condition(index, level, condition, power_up)) set = true;
  });
  return set;
}

bool TDR_DATA_TRIGGER::set_value_condition(const TDR_DATA_SIGNAL_VIEW_NODE& bus, int level,
                                           long value, bool power_up) {
  // 32 bits, shifted logically: members past bit 31 get low.
  uint32_t bits = uint32_t(value);
  bool set = false;
  for_each_member(bus, bus.is_lsb_to_msb(), [&](const TDR_DATA_SIGNAL_VIEW_NODE& member) {
    int index = resolve_member(member);
    TDR_DATA_TRIGGER_CONDITION c = (bits & 1u) ? TDR_CTYPE_HIGH_COND : TDR_CTYPE_LOW_COND;
    bits >>= 1;
    if (index >= 0 && store_condition(index, level, c, power_up)) set = true;
  });
  return set;
}

bool TDR_DATA_TRIGGER::set_symbol_condition(const TDR_DATA_SIGNAL_VIEW_NODE& bus,
                                            const char* table_name, const char* symbol, int level,
                                            bool power_up) {
  if (!table_name) table_name = bus.get_mnemonics_table();
  if (!table_name) return false;  // a bus without a table takes no symbols
  TDR_DATA_INSTANCE* instance = m_signal_set->get_instance();
  TDR_DATA_SESSION* session = instance ? instance->get_session() : nullptr;
  TDR_DATA_MNEMONICS* mnemonics = session ? session->find_mnemonics() : nullptr;
  TDR_DATA_MNEMONICS_TABLE* table = mnemonics ? mnemonics->find_table(table_name) : nullptr;
  if (!table) {
    MSG_TDR::post(MSG_TDR::W::INVALID_SYM_TABLE(table_name));
    return false;
  }
  const char* value = table->get_value(symbol);
  if (!value) {
    MSG_TDR::post(MSG_TDR::W::INVALID_SYMBOL(symbol, table_name));
    return false;
  }
  bool set = false;
  for_each_member(bus, bus.is_lsb_to_msb(), [&](const TDR_DATA_SIGNAL_VIEW_NODE& member) {
    int index = resolve_member(member);
    if (index == -2) return;  // an unknown member takes no character
    TDR_DATA_TRIGGER_CONDITION c = TDR_CTYPE_DONT_CARE_COND;
    if (*value) c = convert_symbol_to_condition(*value++);
    if (index >= 0 && store_condition(index, level, c, power_up)) set = true;
  });
  return set;
}

bool TDR_DATA_TRIGGER::set_trigger_condition(const char* node_name, int level,
                                             TDR_DATA_TRIGGER_CONDITION condition, bool power_up,
                                             bool write) {
  if (!TDR_CHECK(node_name != NULL)) return false;
  if (level < 0 || level >= get_event_levels()) return false;
  TDR_DATA_SIGNAL_VIEW_NODE node = find_bus(node_name);
  if (node.is_null()) {
    if (m_signal_set) MSG_TDR::post(MSG_TDR::W::INVALID_SIGNAL_REF(node_name));
    return false;
  }
  bool set = set_node_condition(node, level, condition, power_up);
  if (set && write) write_condition_text(level, power_up);
  return set;
}

bool TDR_DATA_TRIGGER::set_trigger_condition(const char* bus_name, int level, long value,
                                             bool power_up, bool write) {
  if (!TDR_CHECK(bus_name != NULL)) return false;
  if (level < 0 || level >= get_event_levels()) return false;
  TDR_DATA_SIGNAL_VIEW_NODE bus = find_bus(bus_name);
  if (bus.is_null()) {
    // The value is printed as a 32-bit int, as its bits are used.
    if (m_signal_set)
      MSG_TDR::post(MSG_TDR::W::INVALID_BUS_REF(
          bus_name, std::to_string(static_cast<int>(value)).c_str(), m_name.c_str()));
    return false;
  }
  bool set = set_value_condition(bus, level, value, power_up);
  if (set && write) write_condition_text(level, power_up);
  return set;
}

bool TDR_DATA_TRIGGER::set_trigger_condition(const char* bus_name, int level, const char* symbol,
                                             bool power_up, bool write) {
  if (!TDR_CHECK(bus_name != NULL && symbol != NULL)) return false;
  return set_bus_condition(bus_name, level, nullptr, symbol, power_up, write);
}

bool TDR_DATA_TRIGGER::set_trigger_condition(const char* bus_name, int level,
                                             const char* table_name, const char* symbol,
                                             bool power_up, bool write) {
  if (!TDR_CHECK(bus_name != NULL && table_name != NULL && symbol != NULL)) return false;
  return set_bus_condition(bus_name, level, table_name, symbol, power_up, write);
}

// `table_name` null: the bus's own table.
bool TDR_DATA_TRIGGER::set_bus_condition(const char* bus_name, int level, const char* table_name,
                                         const char* symbol, bool power_up, bool write) {
  if (level < 0 || level >= get_event_levels()) return false;
  TDR_DATA_SIGNAL_VIEW_NODE bus = find_bus(bus_name);
  if (bus.is_null()) {
    if (m_signal_set) MSG_TDR::post(MSG_TDR::W::INVALID_BUS_REF(bus_name, symbol, m_name.c_str()));
    return false;
  }
  bool set = set_symbol_condition(bus, table_name, symbol, level, power_up);
  if (set && write) write_condition_text(level, power_up);
  return set;
}

// --- condition text -----------------------------------------------------------------

const char* TDR_DATA_TRIGGER::get_condition_expression(int level, bool power_up) {
  m_text.clear();
  if (level < 0 || level >= get_event_levels()) return m_text.c_str();
  int wires = trigger_wire_count();
  // Only conditions other than dont-care are stored, in wire order.
  for (const auto& entry : m_levels[size_t(level)].conditions[power_up ? 1 : 0].entries()) {
    if (entry.first >= wires) break;
    if (!m_text.empty()) m_text += " && ";
    m_text += '\'';
    m_text += m_signal_set->get_trigger_wire_alias_at(entry.first);
    m_text += "' == ";
    m_text += condition_word(entry.second);
  }
  return m_text.c_str();
}

void TDR_DATA_TRIGGER::parse_condition(const char* text, int level, bool power_up) {
  // Gathering the wires' keys costs a lookup per wire; a text that long
  // names enough of them to repay it.
  int wires = trigger_wire_count();
  bool long_text = text && wires > 0 && std::strlen(text) >= 8 * size_t(wires);
  LANG_TARGET target(this, long_text);
  tdr_lang_parse_condition(text, &target, level, m_name.c_str(), power_up);
}

TDR_DATA_TRIGGER_CONDITION TDR_DATA_TRIGGER::convert_symbol_to_condition(char symbol) {
  switch (symbol) {
    case '0':
    case 'L':
    case 'l':
      return TDR_CTYPE_LOW_COND;
    case '1':
    case 'H':
    case 'h':
      return TDR_CTYPE_HIGH_COND;
    case 'R':
    case 'r':
      return TDR_CTYPE_RISING_EDGE_COND;
    case 'F':
    case 'f':
      return TDR_CTYPE_FALLING_EDGE_COND;
    case 'E':
    case 'e':
      return TDR_CTYPE_EITHER_EDGE_COND;
    default:
      return TDR_CTYPE_DONT_CARE_COND;
  }
}

const char* TDR_DATA_TRIGGER::to_string(bool power_up) {
  const SIDE& s = side(power_up);
  char line[96];
  std::snprintf(line, sizeof line, "   trigger levels = %d\tsegment_size = %d", get_event_levels(),
                s.segment_size);
  m_text = line;
  if (s.type == TDR_TTYPE_CIRCULAR_TRIGGER || s.type == TDR_TTYPE_SEGMENTED_TRIGGER) {
    m_text += "\n   trigger type = ";
    m_text += TDR_DATA_TRIGGER_TYPE_STR[s.type];
  }
  if (*position_word(s.position)) {
    m_text += "\n   trigger position = ";
    m_text += position_word(s.position);
  }
  if (m_signal_set && m_signal_set->is_trigger_in_enabled() && valid_condition(s.trigger_in)) {
    m_text += "\n   trigger in = ";
    m_text += condition_word(s.trigger_in);
  }
  if (m_signal_set && m_signal_set->is_trigger_out_enabled() && valid_condition(s.trigger_out)) {
    m_text += "\n   trigger out = ";
    m_text += condition_word(s.trigger_out);
  }
  return m_text.c_str();
}

// --- logs ---------------------------------------------------------------------------

TDR_DATA_LOG* TDR_DATA_TRIGGER::create_log(const char* name, bool global_temp) {
  TDR_DATA_LOG* log = name ? new TDR_DATA_LOG(m_doc, name) : new TDR_DATA_LOG(m_doc);
  log->set_trigger(this);
  log->set_signal_set(m_signal_set);
  if (!global_temp) {
    if (!append(log, true)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(log->get_name()));
      tdr_release_node(log->get_dom_node());
      delete log;
      return nullptr;
    }
    return log;
  }
  drop_global_log();
  m_logs.set_global(log);
  if (m_element && log->get_dom_node()) m_element->appendChild(log->get_dom_node());
  log->set_global_temp();
  return log;
}

void TDR_DATA_TRIGGER::drop_global_log() { m_logs.drop_global(); }

bool TDR_DATA_TRIGGER::append(TDR_DATA_LOG* log, bool append_element) {
  if (!TDR_CHECK(log != NULL)) return false;
  if (!m_logs.append(log)) return false;
  if (append_element && m_element && log->get_dom_node())
    m_element->appendChild(log->get_dom_node());
  return true;
}

TDR_DATA_LOG* TDR_DATA_TRIGGER::find_log(const char* name) const { return m_logs.find(name); }

TDR_DATA_LOG* TDR_DATA_TRIGGER::get_last_log() const {
  TDR_DATA_INSTANCE* instance = m_signal_set ? m_signal_set->get_instance() : nullptr;
  TDR_DATA_SESSION* session = instance ? instance->get_session() : nullptr;
  if (session) {
    if (TDR_DATA_LOG* active = session->find_active_log(instance)) return active;
  }
  return m_logs.last();
}

// --- hardware queries ---------------------------------------------------------------

TCI_ADVANCED_TRIGGER_FACTORY* TDR_DATA_TRIGGER::advanced_factory(int level, bool power_up) {
  return get_advanced_trigger_factory(level, power_up);
}

int TDR_DATA_TRIGGER::get_last_trigger_level_latency_delay() {
  int configured = last_level_latency_setting();
  if (configured >= 1) return configured;
  if (m_levels.empty()) {
    TDR_INTERNAL_ERROR("get_event_levels() > 0");
    return -1;
  }
  int last = get_event_levels() - 1;
  if (m_levels[size_t(last)].basic) return 1;
  TCI_ADVANCED_TRIGGER_FACTORY* factory = advanced_factory(last, false);
  if (!factory || !factory->get_root()) return -1;
  return factory->get_root()->get_pipeline_latency();
}

int TDR_DATA_TRIGGER::get_trigger_out_latency_delay() {
  TDR_DATA_INSTANCE* instance = m_signal_set ? m_signal_set->get_instance() : nullptr;
  if (!TDR_CHECK(instance != NULL)) return -1;
  TDR_DATA_INSTANCE_INFO info = instance->get_node_info();
  unsigned version = info.version;
  if (version == TDR_DATA_INSTANCE::VERSION_NOT_DEFINED &&
      info.inferred_version != TDR_DATA_INSTANCE::VERSION_NOT_DEFINED)
    version = info.inferred_version;
  if (version < 5) {
    int latency = get_last_trigger_level_latency_delay();
    return latency < 0 ? -1 : 3 + latency;
  }
  if (version == TDR_DATA_INSTANCE::VERSION_NOT_DEFINED)
    TDR_INTERNAL_ERROR("Incomplete IP version handling");
  return -1;
}

bool TDR_DATA_TRIGGER::is_using_incremental_route() const {
  if (!m_signal_set) return false;
  const TDR_DATA_SIGNAL_SET& set = *m_signal_set;
  for (int i = 0; i < set.get_trigger_wire_width(); ++i)
    if (set.get_trigger_wire_at(i)->get_tap_mode() != TDR_MTYPE_CLASSIC_TAP) return true;
  for (int i = 0; i < set.get_data_wire_width(); ++i)
    if (set.get_data_wire_at(i)->get_tap_mode() != TDR_MTYPE_CLASSIC_TAP) return true;
  return set.get_reserved_data_node_size() > set.get_data_wire_width() ||
         set.get_reserved_trigger_node_size() > set.get_trigger_wire_width();
}

bool TDR_DATA_TRIGGER::is_incremental_node_used_correctly() {
  TDR_DATA_INSTANCE* instance = m_signal_set ? m_signal_set->get_instance() : nullptr;
  if (instance && instance->is_incr_cmp_mode()) return true;
  int slots = m_signal_set ? m_signal_set->get_ela_trigger_wire_width() : 0;
  bool all_classic = true;
  for (int i = 0; i < slots && all_classic; ++i) {
    TDR_DATA_SIGNAL_WIRE* wire = m_signal_set->get_trigger_wire_at(i);
    all_classic = wire && wire->get_tap_mode() == TDR_MTYPE_CLASSIC_TAP;
  }
  if (all_classic) return true;
  for (const LEVEL& level : m_levels)
    if (level.basic) return true;
  for (int i = 0; i < get_event_levels(); ++i)
    if (TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(advanced_factory(i, false),
                                                     TCI_NTYPE_INCREMENTAL_INPUT) > 0)
      return true;
  return false;
}
