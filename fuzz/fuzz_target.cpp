// libFuzzer entry for one harness, chosen at build time by TDR_FUZZ_TARGET_NAME.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness.h"
#include "msg.h"
#include "tdr_file_replace.h"

namespace {

// Messages are the library's normal answer to bad input: drop them. Internal
// errors are kept quiet too unless TDR_FUZZ_ABORT_ON_INTERNAL_ERROR is set.
// TDR_FUZZ_VERBOSE prints both, for looking at one input.
class QUIET_SINK : public MSG_SINK {
 public:
  void on_message(const MSG_RECORD& record) override {
    if (m_verbose) std::fprintf(stderr, "message %s: %s\n", record.id.c_str(), record.text.c_str());
  }
  void on_internal_error(const char* condition, const char*, const char* file,
                         int line) override {
    if (m_verbose)
      std::fprintf(stderr, "internal error: %s (%s:%d)\n", condition ? condition : "",
                   file ? file : "", line);
    if (m_abort) {
      std::fprintf(stderr, "internal error: %s (%s:%d)\n", condition ? condition : "",
                   file ? file : "", line);
      std::abort();
    }
  }
  void on_debug(const char*, const char*) override {}
  bool m_abort = false;
  bool m_verbose = false;
};

QUIET_SINK g_sink;
const TDR_FUZZ_TARGET* g_target = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_target = tdr_fuzz_find_target(TDR_FUZZ_TARGET_NAME);
  if (!g_target) {
    std::fprintf(stderr, "unknown fuzz target %s\n", TDR_FUZZ_TARGET_NAME);
    std::abort();
  }
  const char* strict_ie = std::getenv("TDR_FUZZ_ABORT_ON_INTERNAL_ERROR");
  g_sink.m_abort = strict_ie && *strict_ie && std::strcmp(strict_ie, "0") != 0;
  g_sink.m_verbose = std::getenv("TDR_FUZZ_VERBOSE") != nullptr;
  msg_set_sink(&g_sink);
  (void)tdr_fuzz_scratch_dir();
  // Scratch files need no durability; syncing each would slow every run.
  TDR_FILE_REPLACE::set_sync(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_target->run(data, size);
  return 0;
}
