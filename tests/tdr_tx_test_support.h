// Shared pieces of the editing-layer tests: deterministic automatic names and
// golden-file comparison.
#ifndef TDR_TX_TEST_SUPPORT_H
#define TDR_TX_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "tdr_data_manager.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_trigger.h"

// Hands out "BASE_0", "BASE_1", ... (or another separator) while it lives, so
// that saved files do not depend on the clock.
class COUNTED_NAMES : public TDR_DATA_AUTO_NAME_SOURCE {
 public:
  explicit COUNTED_NAMES(const char* separator = "_")
      : m_separator(separator), m_previous(TDR_DATA_MANAGER::set_auto_name_source(this)) {}
  ~COUNTED_NAMES() override { TDR_DATA_MANAGER::set_auto_name_source(m_previous); }
  void restart() { m_count = 0; }
  bool next_auto_name(const char* base, std::string* name) override {
    *name = std::string(base) + m_separator + std::to_string(m_count++);
    return true;
  }

 private:
  std::string m_separator;
  TDR_DATA_AUTO_NAME_SOURCE* m_previous;
  int m_count = 0;
};

// A transaction session on a copy of a file, saved to numbered files.
class TxFileTest : public TdrTest {
 protected:
  explicit TxFileTest(const char* separator = "_", bool restart_names = true)
      : m_names(separator), m_restart_names(restart_names) {}
  void TearDown() override {
    close();
    TdrTest::TearDown();
  }
  void close() {
    if (m_tx) m_tx->close_session();
    m_tx.reset();
  }
  void open_text(const std::string& xml) {
    close();
    if (m_restart_names) m_names.restart();
    std::string path = temp_path("in" + std::to_string(m_files++) + ".xml");
    write_file(path, xml);
    m_tx.reset(new TDR_TX_SESSION());
    ASSERT_TRUE(m_tx->open_session(path.c_str()));
  }
  void open(const std::string& file) { open_text(read_file(file)); }
  std::string save() {
    m_last_saved = temp_path("out" + std::to_string(m_files++) + ".xml");
    EXPECT_TRUE(m_tx->save_session(m_last_saved.c_str()));
    EXPECT_FALSE(m_tx->is_modified()) << "a saved session is unmodified";
    return read_file(m_last_saved);
  }
  TDR_TX_INSTANCE* inst(int i) { return m_tx->get_instance_at(i, true); }
  TDR_TX_SIGNAL_SET* set(int i) { return m_tx->get_signal_set_at(i, true); }
  TDR_TX_TRIGGER* trig(int i) { return m_tx->get_trigger_at(i, true); }
  // One user action on instance `i`.
  void act(int i, const std::function<void()>& edit) {
    inst(i)->begin_action();
    edit();
    inst(i)->end_action();
  }

  COUNTED_NAMES m_names;
  bool m_restart_names;
  std::unique_ptr<TDR_TX_SESSION> m_tx;
  std::string m_last_saved;
  int m_files = 0;
};

// Switches script recording on into `dir` while it lives.
struct RECORDING {
  explicit RECORDING(const std::string& dir, bool low_level = false, bool file_loc = false) {
    setenv("tvf_tx_record", "on", 1);
    setenv("tvf_tx_record_root_path", dir.c_str(), 1);
    setenv("tvf_tx_record_low_level", low_level ? "on" : "off", 1);
    setenv("tvf_tx_record_file_loc", file_loc ? "on" : "off", 1);
  }
  ~RECORDING() {
    for (const char* name : {"tvf_tx_record", "tvf_tx_record_root_path", "tvf_tx_record_low_level",
                             "tvf_tx_record_file_loc", "tvf_tx_record_allow_ie"})
      unsetenv(name);
  }
};

#endif
