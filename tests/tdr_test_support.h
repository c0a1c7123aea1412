// Shared test fixture: captures every message and internal-error report and
// fails the test for each one it did not expect; gives each test a scratch dir.
#ifndef TDR_TEST_SUPPORT_H
#define TDR_TEST_SUPPORT_H

#include <gtest/gtest.h>

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

#endif
