// Shared pieces of the editing-layer tests: deterministic automatic names and
// golden-file comparison.
#ifndef TDR_TX_TEST_SUPPORT_H
#define TDR_TX_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tdr_data_manager.h"
#include "tdr_test_support.h"

// Hands out "BASE_0", "BASE_1", ... so that saved files do not depend on the clock.
class COUNTED_NAMES : public TDR_DATA_AUTO_NAME_SOURCE {
 public:
  COUNTED_NAMES() : m_previous(TDR_DATA_MANAGER::set_auto_name_source(this)) {}
  ~COUNTED_NAMES() override { TDR_DATA_MANAGER::set_auto_name_source(m_previous); }
  void restart() { m_count = 0; }
  bool next_auto_name(const char* base, std::string* name) override {
    *name = std::string(base) + "_" + std::to_string(m_count++);
    return true;
  }

 private:
  TDR_DATA_AUTO_NAME_SOURCE* m_previous;
  int m_count = 0;
};

// Compares `text` with the golden file tests/data/DIR/NAME; TDR_UPDATE_GOLDEN=1
// rewrites the file instead.
inline void expect_golden(const std::string& dir, const std::string& name,
                          const std::string& text) {
  std::string path = source_dir() + "/tests/data/" + dir + "/" + name;
  if (std::getenv("TDR_UPDATE_GOLDEN")) write_file(path, text);
  EXPECT_EQ(text, read_file(path)) << "golden file " << path;
}

#endif
