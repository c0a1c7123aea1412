// Replays every saved fuzz input of fuzz/regressions/<target>/ through the
// same harness the fuzzer ran, under this build's sanitizers. An input must
// finish without a crash, a sanitizer report or a harness failure (saved
// sessions must reach the open/save fixed point); the messages it posts are expected.
#include <dirent.h>

#include <string>
#include <vector>

#include "harness.h"
#include "tdr_test_support.h"

namespace {

class FuzzRegressionTest : public TdrTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FuzzRegressionTest, SavedInputsRunCleanly) {
  const TDR_FUZZ_TARGET* target = tdr_fuzz_find_target(GetParam());
  ASSERT_NE(target, nullptr);
  tdr_fuzz_set_scratch_dir(temp_dir());
  tdr_fuzz_set_strict(true);
  std::string dir = source_dir() + "/fuzz/regressions/" + GetParam();
  for (const std::string& name : folder_names(dir)) {
    std::string bytes = read_file(dir + "/" + name);
    SCOPED_TRACE(name);
    target->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    forget_messages();
  }
  tdr_fuzz_set_scratch_dir("");
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressionTest,
                         ::testing::Values("session", "condition", "legacy", "basic", "tci",
                                           "enum", "replay", "edit"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

class FuzzTargetsTest : public TdrTest {};

// Every target the fuzzer builds has a regression directory and a replay.
TEST_F(FuzzTargetsTest, EveryTargetHasARegressionDirectory) {
  int count = 0;
  for (const TDR_FUZZ_TARGET* t = tdr_fuzz_targets; t->name; ++t, ++count) {
    std::string dir = source_dir() + "/fuzz/regressions/" + t->name;
    DIR* d = opendir(dir.c_str());
    EXPECT_NE(d, nullptr) << dir;
    if (d) closedir(d);
  }
  EXPECT_EQ(count, 8);
  EXPECT_EQ(tdr_fuzz_find_target("no such target"), nullptr);
}

}  // namespace
