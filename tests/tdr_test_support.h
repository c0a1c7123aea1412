// Shared test fixture: captures every message and internal-error report and
// fails the test for each one it did not expect; gives each test a scratch dir.
#ifndef TDR_TEST_SUPPORT_H
#define TDR_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include <string>
#include <vector>

#include "harness.h"  // read_file, write_file, remove_tree
#include "msg.h"

struct CAPTURED_INTERNAL_ERROR {
  std::string condition, module, file;
  int line;
};

class CAPTURE_SINK : public MSG_SINK {
 public:
  void on_message(const MSG_RECORD& record) override { messages.push_back(record); }
  void on_internal_error(const char* condition, const char* module, const char* file,
                         int line) override {
    internal_errors.push_back({condition ? condition : "", module ? module : "",
                               file ? file : "", line});
  }
  void on_debug(const char*, const char* line) override { debug_lines.push_back(line); }

  std::vector<MSG_RECORD> messages;
  std::vector<CAPTURED_INTERNAL_ERROR> internal_errors;
  std::vector<std::string> debug_lines;
};

class TdrTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Removes and returns the first captured message with identifier `id`;
  // fails the test when there is none.
  MSG_RECORD expect_message(const std::string& id);
  // Removes the first internal-error report whose condition equals `condition`.
  CAPTURED_INTERNAL_ERROR expect_internal_error(const std::string& condition);
  // Identifiers of the captured messages, in order, without consuming them.
  std::vector<std::string> message_ids() const;
  // Drops everything captured so far (for tests that only count).
  void forget_messages();

  // A path inside this test's scratch directory.
  std::string temp_path(const std::string& name);
  const std::string& temp_dir() const { return m_temp_dir; }

  CAPTURE_SINK m_sink;

 private:
  MSG_SINK* m_previous = nullptr;
  std::string m_temp_dir;
};

// The source tree (for examples/ and fixtures).
std::string source_dir();

// The names in a folder but the hidden ones, sorted.
std::vector<std::string> folder_names(const std::string& dir);
// The bytes of tests/data/NAME.
inline std::string test_data(const std::string& name) {
  return read_file(source_dir() + "/tests/data/" + name);
}
// The rows of the text table tests/data/NAME: a row a line, its fields split
// by TAB; blank lines and lines starting with '#' are skipped. In a field \n,
// \r, \t, \\ and \xHH stand for their bytes.
inline std::vector<std::vector<std::string>> test_table(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(test_data(name));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.emplace_back(1);
    for (size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\t') {
        rows.back().emplace_back();
        continue;
      }
      if (c == '\\' && i + 1 < line.size()) {
        c = line[++i];
        if (c == 'x') c = char(std::stoi(line.substr(i + 1, 2), nullptr, 16)), i += 2;
        else if (c == 'n' || c == 'r' || c == 't') c = c == 'n' ? '\n' : c == 'r' ? '\r' : '\t';
      }
      rows.back().back() += c;
    }
  }
  if (rows.empty()) ADD_FAILURE() << "no rows in tests/data/" << name;
  return rows;
}

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
