#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cfg.h"
#include "ctl_hash.h"
#include "fio.h"
#include "gen.h"
#include "tdr_test_support.h"

TEST_F(TdrTest, PathsSimplifyJoinAndCompareTextually) {
  for (auto c : {std::make_pair("/a/./b/../c//d/", "/a/c/d"), std::make_pair("/../..", "/"),
                 std::make_pair("x/../../y", "../y")}) {
    FIO_PATH p(c.first);
    p.become_simplified();
    EXPECT_EQ(p.fullpath(), c.second) << c.first;
  }

  FIO_PATH r("s.xml");
  EXPECT_FALSE(r.absolute());
  r.become_absolute("/home/u/");
  EXPECT_TRUE(r.absolute() && r.fullpath() == "/home/u/s.xml");
  FIO_PATH cwd_rel("s.xml");
  cwd_rel.become_absolute();
  EXPECT_EQ(cwd_rel.fullpath(), FIO_PATH::current_directory() + "/s.xml");

  EXPECT_EQ(FIO_PATH("/p/q/board.kfb").get_relative_to(FIO_PATH("/p/r/")), "../q/board.kfb");
  EXPECT_EQ(FIO_PATH("/p/r/board.kfb").get_relative_to(FIO_PATH("/p/r")), "board.kfb");
  EXPECT_EQ(FIO_PATH("/p/r/x/s.xml").full_directory(), "/p/r/x/");
  EXPECT_EQ(FIO_PATH("s.xml").full_directory(), "");
  EXPECT_TRUE(FIO_PATH("/a/b/../c") == FIO_PATH("/a/c") && !(FIO_PATH("/a/C") == FIO_PATH("/a/c")));
  EXPECT_TRUE(FIO_PATH("//server/share/f").is_unc_path() &&
              FIO_PATH("\\\\server\\share").is_unc_path() && !FIO_PATH("/server/share").is_unc_path());

  write_file(temp_path("f"), "x");
  EXPECT_TRUE(FIO_FILE_SYSTEM::exists(temp_path("f").c_str()));
  EXPECT_FALSE(FIO_FILE_SYSTEM::exists(temp_path("missing").c_str()) ||
               FIO_FILE_SYSTEM::exists(nullptr) || FIO_FILE_SYSTEM::exists(""));
}

static int g_resets = 0;
static void count_reset() { ++g_resets; }

TEST_F(TdrTest, ConfigurationReadsTheEnvironmentAndResetsCaches) {
  const char* key = "tdr_test_setting";
  unsetenv(key);
  EXPECT_FALSE(cfg_is_on(key));
  EXPECT_TRUE(cfg_is_on(key, true));
  EXPECT_EQ(cfg_get_int_value(key, 42), 42);
  EXPECT_EQ(cfg_get_value(key, "dflt"), "dflt");
  for (const char* on : {"on", "ON", "true", "yes", "1"}) {
    setenv(key, on, 1);
    EXPECT_TRUE(cfg_is_on(key)) << on;
  }
  setenv(key, "off", 1);
  EXPECT_FALSE(cfg_is_on(key, true));
  // value, int read with default 5 ("-17" reads; out of range or trailing junk does not)
  for (auto c : {std::make_pair("-17", -17), std::make_pair("99999999999999999999", 5),
                 std::make_pair("12x", 5)}) {
    setenv(key, c.first, 1);
    EXPECT_EQ(cfg_get_int_value(key, 5), c.second) << c.first;
  }
  unsetenv(key);

  g_resets = 0;
  cfg_register_reset_hook(count_reset);
  cfg_register_reset_hook(count_reset);  // registered once only
  cfg_reset_caches();
  EXPECT_EQ(g_resets, 1);
}

TEST_F(TdrTest, StringUtilitiesAreNullSafe) {
  EXPECT_TRUE(gen_strlen(nullptr) == 0 && gen_strcmp(nullptr, "") < 0 &&
              gen_strcmp(nullptr, nullptr) == 0);
  EXPECT_TRUE(gen_stricmp("Trig", "tRIG") == 0 && gen_stricmp("Trig", "tri") != 0 &&
              gen_strnicmp("[@\\TVF=1", "[@\\tvf=", 7) == 0);
  char buf[16];
  EXPECT_STREQ(gen_itoa(INT_MIN, buf), "-2147483648");
  EXPECT_STREQ(gen_itoa(255, buf, 16), "ff");
  EXPECT_STREQ(gen_itoa(0, buf), "0");
  char* end = nullptr;
  EXPECT_EQ(gen_local_strtoul("123abc", &end, 10), 123u);
  EXPECT_STREQ(end, "abc");
  EXPECT_EQ(gen_local_strtoul("99999999999999999999999", &end, 10), ULONG_MAX);
  EXPECT_EQ(gen_local_strtoul("0x1F", nullptr, 16), 31u);
  EXPECT_EQ(gen_local_strtoul("zz", &end, 10), 0u);
  EXPECT_STREQ(end, "zz");
  std::unique_ptr<char[]> copy(gen_strdup("abc"));
  EXPECT_TRUE(std::string(copy.get()) == "abc" && gen_strdup(nullptr) == nullptr);
}

TEST_F(TdrTest, HashTableKeepsKeysExactThroughGrowth) {
  CTL_HASH<std::string, int, CTL_STL_STRING_OPS> table;
  for (int i = 0; i < 52; ++i) ASSERT_TRUE(table.insert("k" + std::to_string(i), i));
  EXPECT_FALSE(table.insert("k3", 99));
  EXPECT_EQ(table.find("k3"), 3);
  for (int i = 0; i < 52; ++i) EXPECT_EQ(*table.hash_search("k" + std::to_string(i)), i);
  EXPECT_EQ(table.hash_search("K3"), nullptr);
  EXPECT_TRUE(table.erase("k3"));
  EXPECT_FALSE(table.erase("k3"));
  EXPECT_EQ(table.size(), 51u);
  size_t visited = 0;
  table.for_each([&](const std::string&, int) { ++visited; });
  EXPECT_EQ(visited, 51u);
}
