// Shared pieces of the editing-layer tests: deterministic automatic names and
// golden-file comparison.
#ifndef TDR_TX_TEST_SUPPORT_H
#define TDR_TX_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tdr_data_manager.h"
#include "tdr_test_support.h"

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

// The first line where two texts differ, for short failure reports.
inline std::string first_difference(const std::string& a, const std::string& b) {
  size_t line = 1, start = 0;
  for (size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
    if (a[i] == '\n') ++line, start = i + 1;
  auto rest = [&](const std::string& t) { return t.substr(start, t.find('\n', start) - start); };
  return "line " + std::to_string(line) + ":\n  " + rest(a) + "\n  " + rest(b);
}

// Compares `text` with the golden file tests/data/DIR/NAME; TDR_UPDATE_GOLDEN=1
// rewrites the file instead.
inline void expect_golden(const std::string& dir, const std::string& name,
                          const std::string& text) {
  std::string path = source_dir() + "/tests/data/" + dir + "/" + name;
  if (std::getenv("TDR_UPDATE_GOLDEN")) write_file(path, text);
  std::string golden = read_file(path);
  EXPECT_TRUE(text == golden) << path << " " << first_difference(text, golden);
}

#endif
