#include <string>

#include "tdr_data_name_map.h"
#include "tdr_test_support.h"

namespace {
struct NAMED {
  const char* name;
  const char* alias;
  const char* get_name() const { return name; }
  const char* get_alias() const { return alias; }
};
}  // namespace

TEST_F(TdrTest, NameMapIsExactAndRefusesDuplicates) {
  TDR_DATA_NAME_MAP<NAMED> map;
  NAMED upper{"Trig", nullptr}, lower{"trig", nullptr}, again{"Trig", nullptr},
      nameless{nullptr, nullptr}, empty{"", nullptr};
  EXPECT_TRUE(map.insert(&upper));
  EXPECT_TRUE(map.insert(&lower));
  EXPECT_FALSE(map.insert(&again));
  EXPECT_EQ(map.find("Trig"), &upper);
  EXPECT_EQ(map.find("trig"), &lower);
  EXPECT_FALSE(map.insert(&nameless));
  EXPECT_FALSE(map.insert(nullptr));
  // The empty string is a name.
  EXPECT_TRUE(map.insert(&empty));
  EXPECT_EQ(map.find(""), &empty);
  EXPECT_EQ(map.find(static_cast<const char*>(nullptr)), nullptr);
  EXPECT_EQ(map.size(), 3u);
  EXPECT_TRUE(map.erase("Trig"));
  EXPECT_EQ(map.find("Trig"), nullptr);
  EXPECT_TRUE(map.insert(&again));
  EXPECT_EQ(map.find("Trig"), &again);
}

TEST_F(TdrTest, NameMapHoldsManyKeysThroughGrowth) {
  std::vector<std::string> names;
  for (int i = 0; i < 5000; ++i) names.push_back("signal_set_" + std::to_string(i));
  std::vector<NAMED> objects;
  for (const std::string& n : names) objects.push_back(NAMED{n.c_str(), nullptr});
  TDR_DATA_NAME_MAP<NAMED> map;
  // The table starts with 61 buckets and grows once (keys / 4) * 5 exceeds them.
  for (size_t i = 0; i < objects.size(); ++i) {
    ASSERT_TRUE(map.insert(&objects[i]));
    if (i + 1 == 51) {
      EXPECT_EQ(map.table().bucket_count(), 61u);
    } else if (i + 1 == 52) {
      EXPECT_GT(map.table().bucket_count(), 61u);
    }
  }
  for (NAMED& o : objects) ASSERT_EQ(map.find(o.name), &o);
}

TEST_F(TdrTest, AliasMapEntersNameAndAliasKeys) {
  TDR_DATA_NAME_ALIAS_MAP<NAMED> map;
  NAMED a{"a", "a"};  // alias equal to the name: one key
  EXPECT_TRUE(map.insert(&a));
  EXPECT_EQ(map.size(), 1u);

  NAMED b{"b", "fast_clk"};
  EXPECT_TRUE(map.insert(&b));
  EXPECT_EQ(map.find("fast_clk"), &b);
  EXPECT_EQ(map.find("b"), &b);

  // New name, alias taken by another wire: the name goes in, the alias keeps b.
  NAMED c{"c", "fast_clk"};
  EXPECT_FALSE(map.insert(&c));
  EXPECT_EQ(map.find("c"), &c);
  EXPECT_EQ(map.find("fast_clk"), &b);

  // An empty alias is no alias.
  NAMED d{"d", ""};
  EXPECT_TRUE(map.insert(&d));
  EXPECT_EQ(map.find(""), nullptr);

  NAMED nameless{nullptr, "x"};
  EXPECT_FALSE(map.insert(&nameless));
  EXPECT_EQ(map.find("x"), nullptr);
  EXPECT_EQ(map.find("A"), nullptr);  // case-sensitive

  EXPECT_TRUE(map.erase("fast_clk"));
  EXPECT_EQ(map.find("fast_clk"), nullptr);
  EXPECT_EQ(map.find("b"), &b);
  // Keys with bytes above 127 hash without overflow trouble.
  NAMED e{"\xe9\xff\x80", nullptr};
  EXPECT_TRUE(map.insert(&e));
  EXPECT_EQ(map.find("\xe9\xff\x80"), &e);
}
