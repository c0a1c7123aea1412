#include "tdr_test_support.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>

#include "cfg.h"

void TdrTest::SetUp() {
  m_previous = msg_set_sink(&m_sink);
  char pattern[] = "/tmp/tdr_test_XXXXXX";
  const char* dir = mkdtemp(pattern);
  ASSERT_NE(dir, nullptr);
  m_temp_dir = dir;
}

void TdrTest::TearDown() {
  msg_set_sink(m_previous);
  for (const MSG_RECORD& r : m_sink.messages)
    ADD_FAILURE() << "unexpected message " << r.id << ": " << r.text;
  for (const CAPTURED_INTERNAL_ERROR& e : m_sink.internal_errors)
    ADD_FAILURE() << "unexpected internal error: " << e.condition << " (" << e.file << ":"
                  << e.line << ")";
  if (!m_temp_dir.empty() && !remove_tree(m_temp_dir))
    ADD_FAILURE() << "could not remove " << m_temp_dir;
  cfg_reset_caches();
}

MSG_RECORD TdrTest::expect_message(const std::string& id) {
  for (auto it = m_sink.messages.begin(); it != m_sink.messages.end(); ++it) {
    if (it->id == id) {
      MSG_RECORD r = *it;
      m_sink.messages.erase(it);
      return r;
    }
  }
  ADD_FAILURE() << "expected message " << id << " was not posted";
  return MSG_RECORD{MSG_SEVERITY_DEBUG, "", 0, "", {}};
}

CAPTURED_INTERNAL_ERROR TdrTest::expect_internal_error(const std::string& condition) {
  for (auto it = m_sink.internal_errors.begin(); it != m_sink.internal_errors.end(); ++it) {
    if (it->condition == condition) {
      CAPTURED_INTERNAL_ERROR e = *it;
      m_sink.internal_errors.erase(it);
      return e;
    }
  }
  ADD_FAILURE() << "expected internal error \"" << condition << "\" was not reported";
  return CAPTURED_INTERNAL_ERROR{"", "", "", 0};
}

std::vector<std::string> TdrTest::message_ids() const {
  std::vector<std::string> ids;
  for (const MSG_RECORD& r : m_sink.messages) ids.push_back(r.id);
  return ids;
}

void TdrTest::forget_messages() {
  m_sink.messages.clear();
  m_sink.internal_errors.clear();
}

std::string TdrTest::temp_path(const std::string& name) { return m_temp_dir + "/" + name; }

std::string source_dir() { return TDR_SOURCE_DIR; }

std::vector<std::string> folder_names(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}
