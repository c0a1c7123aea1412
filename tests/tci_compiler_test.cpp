// The advanced-trigger compiler: language verdicts, canonical CRC texts, port
// use, node counts, latency, logic usage and hostile input.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tci.h"
#include "tdr_test_support.h"

namespace {

typedef TCI_ADVANCED_TRIGGER_UTILITY U;
typedef std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> Factory;

std::string repeat(const std::string& part, size_t count) {
  std::string out;
  out.reserve(part.size() * count);
  for (size_t i = 0; i < count; ++i) out += part;
  return out;
}

std::string crc_of(const TCI_ADVANCED_TRIGGER_OUTPUT* root, bool power_up = false) {
  std::string out = "stale";
  EXPECT_TRUE(TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(root, out, power_up));
  return out;
}

class TciTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    const char* names[] = {"a", "b", "c", "d", "top|cnt[3]", "it's", "rising", "u1/q.x:y[0]$"};
    for (int i = 0; i < 8; ++i) m_map.insert_table_entry(names[i], i);
    m_map.insert_table_entry("cnt_alias", 4);
    m_map.set_num_trigger_nodes(8);
  }

  Factory build(const std::string& text) {
    Factory factory(new TCI_ADVANCED_TRIGGER_FACTORY);
    factory->set_trigger_name("trig");
    factory->set_instance_name("inst");
    factory->set_name_map(&m_map);
    if (!U::create_expression_tree(text, factory.get(), true)) factory.reset();
    return factory;
  }
  bool valid(const std::string& text) { return build(text) != nullptr; }
  // The level's CRC text, or "<invalid>".
  std::string crc(const std::string& text, bool power_up = false) {
    Factory factory = build(text);
    return factory ? crc_of(factory->get_root(), power_up) : "<invalid>";
  }
  // The single debug line written since the last call.
  std::string debug_line() {
    EXPECT_EQ(m_sink.debug_lines.size(), 1u);
    std::string line = m_sink.debug_lines.empty() ? "" : m_sink.debug_lines.back();
    m_sink.debug_lines.clear();
    return line;
  }

  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP m_map;
};

TEST_F(TciTest, LanguageVerdicts) {
  for (const auto& row : test_table("core/compiler/verdicts.txt"))
    EXPECT_EQ(valid(row.at(1)), row[0] == "accept") << row[1];
  EXPECT_FALSE(
      U::create_expression_tree(static_cast<const char*>(nullptr), build("a").get(), true));
  m_sink.debug_lines.clear();
  EXPECT_FALSE(valid(std::string("a\0b", 3)));
  EXPECT_NE(debug_line().find("an unexpected byte 0x00 at offset 1"), std::string::npos);
  EXPECT_FALSE(valid("a @ b"));
  EXPECT_NE(debug_line().find("an unexpected character '@' at offset 2"), std::string::npos);

  // A failed build leaves no tree and names the level; a rebuild replaces the tree.
  Factory factory = build("a && b");
  ASSERT_TRUE(factory);
  factory->set_trigger_level_index(2);
  m_sink.debug_lines.clear();
  EXPECT_FALSE(U::create_expression_tree("a && nosuch", factory.get(), true));
  EXPECT_EQ(factory->get_root(), nullptr);
  EXPECT_EQ(factory->get_tree_size(), 0);
  EXPECT_EQ(debug_line(),
            "invalid advanced trigger expression of trigger \"trig\" level 2: unknown name "
            "\"nosuch\" at offset 5");
  EXPECT_TRUE(U::create_expression_tree("rising(c)", factory.get(), true));
  EXPECT_EQ(factory->get_tree_size(), 3);
  EXPECT_EQ(factory->get_root()->get_expression()->get_node_type(), TCI_NTYPE_RISING_EDGE);

  EXPECT_FALSE(U::create_expression_tree("a", nullptr, true));
  expect_internal_error("factory != nullptr");
  TCI_ADVANCED_TRIGGER_FACTORY lone;
  EXPECT_EQ(lone.get_trigger_level_index(), -1);
  EXPECT_FALSE(U::create_expression_tree("1", &lone, true));
  expect_internal_error("map != nullptr");
}

TEST_F(TciTest, CanonicalTextLatencyAndLogicUsage) {
  for (const auto& row : test_table("core/compiler/canonical_texts.txt"))
    EXPECT_EQ(crc(row.at(0)), row.at(1)) << row[0];
  EXPECT_EQ(crc("a", true), "IN0|L1|P");

  // Latency and logic cells; 0: not checked.
  struct Case { std::string text; int latency; int cells; };
  std::vector<Case> cases = {
      {repeat("a&", 16) + "a", 2, 0},    // 17 operands: three levels
      {repeat("a&", 256) + "a", 3, 0},   // 257 operands: five levels
      {repeat("a | ", 9) + "a", 0, 4},   // ten operands: three LUTs
  };
  for (const auto& row : test_table("core/compiler/latency_and_cells.txt"))
    cases.push_back({row.at(0), std::stoi(row.at(1)), std::stoi(row.at(2))});
  for (const Case& c : cases) {
    Factory factory = build(c.text);
    ASSERT_TRUE(factory) << c.text;
    const TCI_ADVANCED_TRIGGER_OUTPUT* root = factory->get_root();
    if (c.latency) { EXPECT_EQ(root->get_pipeline_latency(), c.latency) << c.text; }
    if (c.cells) {
      EXPECT_EQ(TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(root), c.cells) << c.text;
    }
  }
  EXPECT_FALSE(valid(repeat("a|", 9) + "a"));  // glued, "a|a|..." is one (unknown) name
  std::string out = "old";
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(nullptr, out, true));
  EXPECT_EQ(out, "");
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(nullptr), 0);
}

TEST_F(TciTest, TextsAreEqualExactlyForEqualTrees) {
  const std::vector<std::vector<std::string>> same = {
      {"a && b", " ( a )&&('b') ", "((a && b))", "a & b", "'a'\n&&\t'\\b'"},
      {"a && b && c", "a && (b && c)", "(a & b) && c", "a & (b & c)"},
      {"top|cnt[3]", "'top|cnt[3]'", "cnt_alias", "'cnt_alias'", "(((cnt_alias)))"},
      {"a != b", "a ^ b", "(a) ^ (b)"}, {"!a", "~a", "!(a)"}, {"1", "1'b1", "(1)"},
      {"rising(a)", "rising (a)", "rising((a))"}};
  for (const std::vector<std::string>& group : same)
    for (const std::string& text : group) EXPECT_EQ(crc(text), crc(group[0])) << text;

  const char* distinct[] = {"a && b", "b && a", "a || b", "a ^ b", "a == b", "a", "!a", "!!a",
                            "rising(a)", "falling(a)", "either_edge(a)", "rising(!a)", "0", "1",
                            "a && b && c", "(a && b) || c", "a && (b || c)", "a && a",
                            "rising(a) && b", "rising(a && b)"};
  std::set<std::string> texts;
  for (const char* text : distinct)
    EXPECT_TRUE(crc(text) != "<invalid>" && texts.insert(crc(text)).second) << text;
}

TEST_F(TciTest, NameMapEntriesWidthAndPortMarks) {
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP map;
  EXPECT_EQ(map.get_trigger_port_width(), 0);
  EXPECT_TRUE(map.insert_table_entry("s", 2));
  EXPECT_TRUE(map.insert_table_entry(std::string("s"), 2));  // same mapping again
  EXPECT_FALSE(map.insert_table_entry("s", 3));              // the first entry stays
  EXPECT_FALSE(map.insert_table_entry("", 1) || map.insert_table_entry("t", -1) ||
               map.insert_table_entry(static_cast<const char*>(nullptr), 1));
  EXPECT_EQ(map.find_port_index("s"), 2);
  EXPECT_EQ(map.find_port_index("S"), -1);
  EXPECT_EQ(map.get_trigger_port_width(), 3);
  map.set_num_trigger_nodes(6);
  EXPECT_EQ(map.get_trigger_port_width(), 6);
  map.set_num_incremental_trigger_nodes(-4);
  EXPECT_EQ(map.get_num_incremental_trigger_nodes(), 0);
  map.set_num_incremental_trigger_nodes(2);
  EXPECT_TRUE(!map.is_incremental_port(3) && map.is_incremental_port(4));
  map.clear_table();
  EXPECT_EQ(map.find_port_index("s"), -1);
  EXPECT_TRUE(map.get_trigger_port_width() == 0 && map.get_num_trigger_nodes() == 0);
  EXPECT_TRUE(map.insert_table_entry("s", 2147483647));
  EXPECT_EQ(map.get_trigger_port_width(), 2147483647);

  // Builds mark the ports they read; trial (flag false) and failed builds mark nothing.
  map.clear_table();
  EXPECT_TRUE(map.all_signals_used());
  for (int i = 0; i < 4; ++i) map.insert_table_entry(std::string(1, static_cast<char>('p' + i)), i);
  map.insert_table_entry("alias_of_s", 3);
  map.set_num_trigger_nodes(4);
  TCI_ADVANCED_TRIGGER_FACTORY factory;
  factory.set_name_map(&map);
  EXPECT_TRUE(U::create_expression_tree("p && rising(r)", &factory, true));
  EXPECT_TRUE(U::create_expression_tree("q", &factory, false));
  EXPECT_FALSE(U::create_expression_tree("q && nosuch", &factory, true));
  for (int port = 0; port < 4; ++port) EXPECT_EQ(map.is_port_used(port), port % 2 == 0) << port;
  EXPECT_FALSE(map.is_port_used(99) || map.all_signals_used());
  // Marks accumulate until cleared; an alias marks its port.
  EXPECT_TRUE(U::create_expression_tree("q ^ alias_of_s", &factory, true));
  EXPECT_TRUE(map.is_port_used(0) && map.is_port_used(3) && map.all_signals_used());
  map.clear_used_flags();
  EXPECT_FALSE(map.is_port_used(0) || map.all_signals_used());

  // A cleared table refilled with other names, beyond its first size, knows
  // only the new ones; far ports are marked like near ones.
  for (int round = 0; round < 2; ++round) {
    map.clear_table();
    for (int i = 0; i < 3000; ++i)
      EXPECT_TRUE(map.insert_table_entry("n" + std::to_string(i + round * 1500), i));
    EXPECT_EQ(map.find_port_index("n" + std::to_string(round * 1500)), 0);
    EXPECT_EQ(map.find_port_index("n4499"), round ? 2999 : -1);
    EXPECT_EQ(map.find_port_index("n0"), round ? -1 : 0);
    EXPECT_EQ(map.get_trigger_port_width(), 3000);
  }
  EXPECT_TRUE(map.insert_table_entry("far", 2000000000));
  for (int port : {7, 2000000000}) map.set_port_used(port);
  EXPECT_TRUE(map.is_port_used(2000000000) && map.is_port_used(7) && !map.is_port_used(8));
  EXPECT_FALSE(map.all_signals_used());
  map.clear_used_flags();
  EXPECT_FALSE(map.is_port_used(2000000000));
}

TEST_F(TciTest, NodeCountsAndTheIncrementalRoute) {
  m_map.set_num_incremental_trigger_nodes(3);  // ports 5..7
  Factory factory = build("a && 'it\\'s' && !rising && (u1/q.x:y[0]$ || rising(b)) && 1");
  ASSERT_TRUE(factory);
  const int expected[TCI_NTYPE_COUNT] = {1, 1, 1, 1, 1, 0, 0, 1, 0, 0, 2, 3};
  int total = 0;
  for (int type = 0; type < TCI_NTYPE_COUNT; ++type) {
    EXPECT_EQ(U::get_node_count(factory.get(), type), expected[type]) << "type " << type;
    total += expected[type];
  }
  EXPECT_EQ(factory->get_tree_size(), total);
  for (int type : {12, -1}) EXPECT_EQ(U::get_node_count(factory.get(), type), 0);
  EXPECT_EQ(U::get_node_count(nullptr, 11), 0);
  EXPECT_EQ(crc_of(factory->get_root()), "AND(IN0,INC5,NOT(INC6),OR(INC7,RISE(IN1)),1)|L3");
}

TEST_F(TciTest, CoordinationRaisesEveryLevelAndKeepsTheCrcText) {
  Factory quick = build("a"), slow = build("rising(a) && b");
  TCI_ADVANCED_TRIGGER_OUTPUT* roots[] = {quick->get_root(), nullptr, slow->get_root()};
  EXPECT_EQ(U::set_coordinated_latency_delay(roots, 3), 3);
  EXPECT_EQ(quick->get_root()->get_pipeline_latency(), 3);
  EXPECT_EQ(quick->get_root()->get_own_pipeline_latency(), 1);
  EXPECT_TRUE(quick->get_root()->is_latency_coordinated());
  EXPECT_EQ(slow->get_root()->get_pipeline_latency(), 3);
  EXPECT_EQ(crc_of(quick->get_root()), "IN0|L1");
  // Coordinating again over a smaller set lowers the level back.
  EXPECT_EQ(U::set_coordinated_latency_delay(roots, 1), 1);
  EXPECT_EQ(quick->get_root()->get_pipeline_latency(), 1);
  TCI_ADVANCED_TRIGGER_OUTPUT* only_basic[] = {nullptr, nullptr};
  EXPECT_EQ(U::set_coordinated_latency_delay(only_basic, 2), -1);
  EXPECT_EQ(U::set_coordinated_latency_delay(nullptr, 3), -1);
  EXPECT_EQ(U::set_coordinated_latency_delay(roots, 0), -1);
}

TEST_F(TciTest, DeepTreesCompileAndGoWithoutRecursion) {
  const size_t depth = 100000;
  EXPECT_EQ(crc(repeat("(", depth) + "a" + repeat(")", depth)), "IN0|L1");
  EXPECT_FALSE(valid(repeat("(", depth) + "a" + repeat(")", depth - 1)));
  EXPECT_FALSE(valid(repeat(")", depth)));

  // Alternating operators cannot be flattened: a tree 100,000 gates deep.
  Factory factory = build(repeat("a & (b | ", depth / 2) + "c" + repeat(")", depth / 2));
  ASSERT_TRUE(factory);
  EXPECT_EQ(U::get_node_count(factory.get(), TCI_NTYPE_AND), static_cast<int>(depth / 2));
  EXPECT_EQ(factory->get_root()->get_own_pipeline_latency(), 1 + static_cast<int>(depth) / 4);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root()),
            1 + static_cast<int>(depth));
  EXPECT_EQ(crc_of(factory->get_root()).compare(0, 20, "AND(IN0,OR(IN1,AND(I"), 0);

  factory = build(repeat("rising(", depth) + "a" + repeat(")", depth));
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->get_root()->get_pipeline_latency(), 1 + static_cast<int>(depth));

  factory = build(repeat("!", depth) + "b");
  ASSERT_TRUE(factory);
  EXPECT_EQ(crc_of(factory->get_root()), repeat("NOT(", depth) + "IN1" + repeat(")", depth) + "|L1");
}

TEST_F(TciTest, MegabyteTexts) {
  const size_t megabyte = 1 << 20;
  std::string chain = "a";
  while (chain.size() < megabyte) chain += " && b";
  for (const std::string& bad : {repeat("@", megabyte), repeat("(", megabyte),
                                 "'" + repeat("x", megabyte), chain + " &&",
                                 "'" + repeat("\\'", megabyte / 2) + "' || a"})
    EXPECT_FALSE(valid(bad));
  m_sink.debug_lines.clear();
  EXPECT_FALSE(valid(repeat("a", megabyte)));  // one unknown name, shortened in the debug line
  EXPECT_NE(debug_line().find("unknown name \"" + repeat("a", 64) + "...\" at offset 0"),
            std::string::npos);
  EXPECT_FALSE(valid(std::string(64u << 20, ' ') + "a"));  // over the length limit
  EXPECT_NE(debug_line().find("a text longer than 64 MiB at offset 0"), std::string::npos);
  m_map.insert_table_entry(repeat("n", megabyte), 3);
  EXPECT_EQ(crc("c ^ '" + repeat("n", megabyte) + "'"), "XOR(IN2,IN3)|L2");
}

}  // namespace
