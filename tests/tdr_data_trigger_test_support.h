// Helpers of the trigger, log and condition-text tests: a session file with
// one instance "i" and one signal set "s" whose wires, buses and mnemonic
// tables the tests share, opened from text and saved back.
#ifndef TDR_DATA_TRIGGER_TEST_SUPPORT_H
#define TDR_DATA_TRIGGER_TEST_SUPPORT_H

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cfg.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_util.h"
#include "tdr_test_support.h"

// Trigger wires (index): a 0, b 1 (alias B), c 2, d0 3, d1 4, d2 5, d3 6.
// Data wires (index): a 0, c 1, x 2 (x feeds no trigger).
// Setup-view buses: "bus" (d0..d3, table "states"), "rbus" (d0..d3, msb
// first), "grp" (a, ghost, a nameless net, x, c), "plain" (d0, d1, no table).
inline std::string trigger_session_xml(
    const std::string& triggers, bool mnemonics = true,
    const std::string& config = "<config sample_depth=\"128\"/>") {
  // Line 1: the mnemonics; line 2: the session around them.
  std::string parts = read_file(source_dir() + "/tests/data/data/trigger/session_template.xml");
  size_t line_end = parts.find('\n');
  std::string text = parts.substr(line_end + 1, parts.size() - line_end - 2);
  std::string table = mnemonics ? parts.substr(0, line_end) : "";
  for (auto [key, value] : {std::pair<std::string, std::string>{"{MNEMONICS}", table},
                            {"{CONFIG}", config}, {"{TRIGGERS}", triggers}})
    text.replace(text.find(key), key.size(), value);
  return text;
}

class TriggerTest : public TdrTest {
 protected:
  void TearDown() override {
    m_session.reset();
    TdrTest::TearDown();
  }

  // Opens `xml` (written to a scratch file) as the current session.
  TDR_DATA_SESSION* open_text(const std::string& xml, const std::string& file = "in.xml") {
    std::string path = temp_path(file);
    write_file(path, xml);
    return open_file(path);
  }
  TDR_DATA_SESSION* open_file(const std::string& path) {
    m_session.reset();
    m_session.reset(new TDR_DATA_SESSION(path.c_str()));
    return m_session.get();
  }
  // Opens the shared session with these trigger elements.
  TDR_DATA_SESSION* open_triggers(const std::string& triggers) {
    return open_text(trigger_session_xml(triggers));
  }
  // Saves the current session and returns the bytes written.
  std::string save(const std::string& file = "out.xml") {
    std::string path = temp_path(file);
    EXPECT_TRUE(m_session->save_as(path.c_str(), true, true));
    return read_file(path);
  }
  // Saves, reopens the saved file and saves again; both saves must agree.
  std::string save_and_reopen() {
    std::string first = save("first.xml");
    open_file(temp_path("first.xml"));
    std::string second = save("second.xml");
    EXPECT_EQ(second, first);
    return second;
  }

  TDR_DATA_INSTANCE* instance() const { return m_session->find_instance("i"); }
  TDR_DATA_SIGNAL_SET* set() const { return instance()->find_signal_set("s"); }
  TDR_DATA_TRIGGER* trigger(const char* name = "t") const { return set()->find_trigger(name); }

  // The conditions of a level, one per trigger wire.
  static std::vector<int> conditions(const TDR_DATA_TRIGGER* t, int level, bool power_up) {
    std::vector<int> out;
    int n = t->get_signal_set()->get_trigger_wire_width();
    for (int i = 0; i < n; ++i) out.push_back(t->get_condition(level, i, power_up));
    return out;
  }

  // Sets a configuration value for the rest of the test (and resets caches).
  void set_config(const char* name, const char* value) {
    m_config_names.push_back(name);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
    cfg_reset_caches();
  }
  struct CONFIG_RESTORE {
    std::vector<std::string>* names;
    ~CONFIG_RESTORE() {
      for (const std::string& n : *names) unsetenv(n.c_str());
      cfg_reset_caches();
    }
  };

  std::unique_ptr<TDR_DATA_SESSION> m_session;
  std::vector<std::string> m_config_names;
  CONFIG_RESTORE m_restore{&m_config_names};
};

// The first child element of `parent` named `name`.
inline DOMElement* child(DOMNode* parent, const char* name) {
  return TDR_DATA_XML_UTIL::find_first_child_element_by_name(parent, name);
}
// The trigger's level element `index` (null past the last).
inline DOMElement* level_element(TDR_DATA_TRIGGER* t, int index) {
  DOMElement* level = child(child(t->get_dom_node(), "events"), "level");
  for (int i = 0; i < index && level; ++i)
    level = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(level, "level");
  return level;
}

// Condition shorthands for expected vectors.
enum : int {
  DIS = TDR_CTYPE_DISABLE_COND,
  AH = TDR_CTYPE_ACTIVE_HIGH_COND,
  HI = TDR_CTYPE_HIGH_COND,
  LO = TDR_CTYPE_LOW_COND,
  RE = TDR_CTYPE_RISING_EDGE_COND,
  FE = TDR_CTYPE_FALLING_EDGE_COND,
  EE = TDR_CTYPE_EITHER_EDGE_COND,
  DC = TDR_CTYPE_DONT_CARE_COND,
  BAD = TDR_CTYPE_INVALID_COND
};
typedef std::vector<int> CONDS;
typedef std::vector<std::string> ARGS;

// Reference CRCs for fingerprints, from their textbook parameters (reflected,
// no final XOR): CRC-16/MODBUS (0xA001 from 0xFFFF) and x^8 + x^4 + 1 (0x88
// from 0xFF), a byte at a time rather than the library's bit walk.
inline unsigned long ref_crc(const std::string& text, unsigned long init, unsigned long poly) {
  unsigned long reg = init;
  for (unsigned char c : text) {
    reg ^= c;
    for (int bit = 0; bit < 8; ++bit) reg = reg & 1 ? (reg >> 1) ^ poly : reg >> 1;
  }
  return reg;
}
inline unsigned long ref_crc16(const std::string& text) { return ref_crc(text, 0xFFFF, 0xA001); }
inline unsigned long ref_crc8(const std::string& text) { return ref_crc(text, 0xFF, 0x88); }

#endif
