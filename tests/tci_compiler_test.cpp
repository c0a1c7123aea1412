// The advanced-trigger compiler: language verdicts, canonical CRC texts, port
// use, node counts, latency, logic usage and hostile input.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tci.h"
#include "tdr_test_support.h"

namespace {

class TciTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    m_map.insert_table_entry("a", 0);
    m_map.insert_table_entry("b", 1);
    m_map.insert_table_entry("c", 2);
    m_map.insert_table_entry("d", 3);
    m_map.insert_table_entry("top|cnt[3]", 4);
    m_map.insert_table_entry("cnt_alias", 4);
    m_map.insert_table_entry("it's", 5);
    m_map.insert_table_entry("rising", 6);
    m_map.insert_table_entry("u1/q.x:y[0]$", 7);
    m_map.set_num_trigger_nodes(8);
  }

  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> build(const std::string& text,
                                                      bool mark = true) {
    std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory(new TCI_ADVANCED_TRIGGER_FACTORY);
    factory->set_trigger_name("trig");
    factory->set_instance_name("inst");
    factory->set_name_map(&m_map);
    if (!TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(text, factory.get(), mark))
      factory.reset();
    return factory;
  }

  bool valid(const std::string& text) { return build(text) != nullptr; }

  // The level's CRC text, or "<invalid>".
  std::string crc(const std::string& text, bool power_up = false) {
    std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build(text);
    if (!factory) return "<invalid>";
    std::string out = "stale";
    EXPECT_TRUE(TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(
        factory->get_root(), out, power_up));
    return out;
  }

  int latency(const std::string& text) {
    std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build(text);
    return factory ? factory->get_root()->get_pipeline_latency() : -1;
  }

  int cells(const std::string& text) {
    std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build(text);
    return factory ? TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root())
                   : -1;
  }

  static std::string repeat(const std::string& part, size_t count) {
    std::string out;
    out.reserve(part.size() * count);
    for (size_t i = 0; i < count; ++i) out += part;
    return out;
  }

  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP m_map;
};

TEST_F(TciTest, AcceptsTheLanguage) {
  const char* accepted[] = {
      "a", "'a'", " a ", "\ta\n&&\r\nb", "a && b", "a & b | c ^ d", "a || b", "!a", "~a",
      "!!~a", "a == b", "a != b", "(a)", "((a && (b)))", "rising(a)", "falling (b)",
      "either_edge(a && b)", "rising(rising(a))", "0", "1", "1'b0", "1'B1", "a && 1",
      "top|cnt[3]", "'top|cnt[3]'", "cnt_alias", "'it\\'s'", "rising", "rising && rising(a)",
      "u1/q.x:y[0]$", "'\\a'", "top|cnt[3] | a", "top|cnt[3]||a", "a|(b)"};
  for (const char* text : accepted) EXPECT_TRUE(valid(text)) << text;
}

TEST_F(TciTest, RejectsBadTexts) {
  const char* rejected[] = {
      "", "   ", "a &&", "&& a", "(a", "a)", "()", "a b", "x", "a = b", "2", "10", "00",
      "1a", "1'b2", "1'b", "a ~^ b", "rising()", "rising a", "'a", "'a\\", "a @ b",
      "a | | b", "rising(a, b)", "a|b", "'a' 'b'", "''", "a ! b", "(a))", "falling(",
      "\"a\"", "A"};
  for (const char* text : rejected) {
    EXPECT_FALSE(valid(text)) << text;
  }
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree(
      static_cast<const char*>(nullptr), build("a").get(), true));
  m_sink.debug_lines.clear();
  EXPECT_FALSE(valid(std::string("a\0b", 3)));
  EXPECT_FALSE(valid("a @ b"));
  ASSERT_EQ(m_sink.debug_lines.size(), 2u);
  EXPECT_NE(m_sink.debug_lines[0].find("an unexpected byte 0x00 at offset 1"), std::string::npos);
  EXPECT_NE(m_sink.debug_lines[1].find("an unexpected character '@' at offset 2"),
            std::string::npos);
}

TEST_F(TciTest, FailureLeavesNoTreeAndExplainsInADebugLine) {
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build("a && b");
  ASSERT_TRUE(factory);
  factory->set_trigger_level_index(2);
  m_sink.debug_lines.clear();
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("a && nosuch", factory.get(),
                                                                    true));
  EXPECT_EQ(factory->get_root(), nullptr);
  EXPECT_EQ(factory->get_tree_size(), 0);
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_EQ(m_sink.debug_lines[0],
            "invalid advanced trigger expression of trigger \"trig\" level 2: unknown name "
            "\"nosuch\" at offset 5");
  // A rebuild on the same factory replaces the tree.
  EXPECT_TRUE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("rising(c)", factory.get(),
                                                                   true));
  EXPECT_EQ(factory->get_tree_size(), 3);
  EXPECT_EQ(factory->get_root()->get_expression()->get_node_type(), TCI_NTYPE_RISING_EDGE);
}

TEST_F(TciTest, PreconditionsAreInternalErrors) {
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("a", nullptr, true));
  expect_internal_error("factory != nullptr");
  TCI_ADVANCED_TRIGGER_FACTORY lone;
  EXPECT_EQ(lone.get_trigger_level_index(), -1);
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("1", &lone, true));
  expect_internal_error("map != nullptr");
  EXPECT_EQ(lone.get_root(), nullptr);
}

TEST_F(TciTest, CanonicalTextFollowsPrecedence) {
  EXPECT_EQ(crc("a"), "IN0|L1");
  EXPECT_EQ(crc("a || b && c"), "OR(IN0,AND(IN1,IN2))|L2");
  EXPECT_EQ(crc("a && b || c"), "OR(AND(IN0,IN1),IN2)|L2");
  EXPECT_EQ(crc("a | b && c"), "AND(OR(IN0,IN1),IN2)|L2");
  EXPECT_EQ(crc("a | b & c"), "OR(IN0,AND(IN1,IN2))|L2");
  EXPECT_EQ(crc("a ^ b & c"), "XOR(IN0,AND(IN1,IN2))|L2");
  EXPECT_EQ(crc("a ^ b | c"), "OR(XOR(IN0,IN1),IN2)|L2");
  EXPECT_EQ(crc("a & b == c"), "AND(IN0,XNOR(IN1,IN2))|L2");
  EXPECT_EQ(crc("!a == b"), "XNOR(NOT(IN0),IN1)|L2");
  EXPECT_EQ(crc("!(a == b)"), "NOT(XNOR(IN0,IN1))|L2");
  EXPECT_EQ(crc("a == b == c"), "XNOR(XNOR(IN0,IN1),IN2)|L2");
  EXPECT_EQ(crc("a ^ b != c"), "XOR(IN0,IN1,IN2)|L2");
  EXPECT_EQ(crc("rising(a) && falling(b) || either_edge(c)"),
            "OR(AND(RISE(IN0),FALL(IN1)),EDGE(IN2))|L3");
  EXPECT_EQ(crc("1'b0 || 1"), "OR(0,1)|L2");
  EXPECT_EQ(crc("rising && rising(rising)"), "AND(IN6,RISE(IN6))|L3");
  EXPECT_EQ(crc("'it\\'s' & u1/q.x:y[0]$"), "AND(IN5,IN7)|L2");
  EXPECT_EQ(crc("a", true), "IN0|L1|P");
}

TEST_F(TciTest, EqualTreesGiveEqualTexts) {
  const std::vector<std::vector<std::string>> same = {
      {"a && b", " ( a )&&('b') ", "((a && b))", "a & b", "'a'\n&&\t'\\b'"},
      {"a && b && c", "a && (b && c)", "(a & b) && c", "a & (b & c)"},
      {"top|cnt[3]", "'top|cnt[3]'", "cnt_alias", "'cnt_alias'", "(((cnt_alias)))"},
      {"a != b", "a ^ b", "(a) ^ (b)"},
      {"!a", "~a", "!(a)"},
      {"1", "1'b1", "(1)"},
      {"rising(a)", "rising (a)", "rising((a))"},
  };
  for (const std::vector<std::string>& group : same)
    for (const std::string& text : group) EXPECT_EQ(crc(text), crc(group[0])) << text;
}

TEST_F(TciTest, DifferentTreesGiveDifferentTexts) {
  const char* distinct[] = {"a && b",     "b && a",     "a || b",       "a ^ b",
                            "a == b",     "a",          "!a",           "!!a",
                            "rising(a)",  "falling(a)", "either_edge(a)", "rising(!a)",
                            "0",          "1",          "a && b && c",  "(a && b) || c",
                            "a && (b || c)", "a && a",  "rising(a) && b", "rising(a && b)"};
  std::set<std::string> texts;
  for (const char* text : distinct) {
    std::string value = crc(text);
    EXPECT_NE(value, "<invalid>") << text;
    EXPECT_TRUE(texts.insert(value).second) << text << " gave " << value;
  }
  EXPECT_NE(crc("a", true), crc("a", false));
}

TEST_F(TciTest, NullRootGivesTheEmptyText) {
  std::string out = "old";
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(nullptr, out, true));
  EXPECT_EQ(out, "");
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(nullptr), 0);
}

TEST_F(TciTest, NameMapEntriesAndWidth) {
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP map;
  EXPECT_EQ(map.get_trigger_port_width(), 0);
  EXPECT_TRUE(map.all_signals_used());
  EXPECT_TRUE(map.insert_table_entry("s", 2));
  EXPECT_TRUE(map.insert_table_entry(std::string("s"), 2));  // same mapping again
  EXPECT_FALSE(map.insert_table_entry("s", 3));              // the first entry stays
  EXPECT_FALSE(map.insert_table_entry("", 1));
  EXPECT_FALSE(map.insert_table_entry(static_cast<const char*>(nullptr), 1));
  EXPECT_FALSE(map.insert_table_entry("t", -1));
  EXPECT_EQ(map.find_port_index("s"), 2);
  EXPECT_EQ(map.find_port_index("S"), -1);
  EXPECT_EQ(map.get_trigger_port_width(), 3);
  map.set_num_trigger_nodes(6);
  EXPECT_EQ(map.get_trigger_port_width(), 6);
  map.set_num_incremental_trigger_nodes(-4);
  EXPECT_EQ(map.get_num_incremental_trigger_nodes(), 0);
  EXPECT_FALSE(map.is_incremental_port(5));
  map.set_num_incremental_trigger_nodes(2);
  EXPECT_FALSE(map.is_incremental_port(3));
  EXPECT_TRUE(map.is_incremental_port(4));
  map.clear_table();
  EXPECT_EQ(map.find_port_index("s"), -1);
  EXPECT_EQ(map.get_trigger_port_width(), 0);
  EXPECT_EQ(map.get_num_trigger_nodes(), 0);
  EXPECT_TRUE(map.insert_table_entry("s", 2147483647));
  EXPECT_EQ(map.get_trigger_port_width(), 2147483647);
}

TEST_F(TciTest, BuildsMarkThePortsTheyRead) {
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP map;
  for (int i = 0; i < 4; ++i) map.insert_table_entry(std::string(1, static_cast<char>('p' + i)), i);
  map.insert_table_entry("alias_of_s", 3);
  map.set_num_trigger_nodes(4);
  TCI_ADVANCED_TRIGGER_FACTORY factory;
  factory.set_name_map(&map);
  EXPECT_FALSE(map.all_signals_used());

  EXPECT_TRUE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("p && rising(r)", &factory,
                                                                   true));
  EXPECT_TRUE(map.is_port_used(0));
  EXPECT_FALSE(map.is_port_used(1));
  EXPECT_TRUE(map.is_port_used(2));
  EXPECT_FALSE(map.is_port_used(3));
  EXPECT_FALSE(map.is_port_used(99));
  EXPECT_FALSE(map.all_signals_used());

  // Trial builds (flag false) and failed builds mark nothing.
  EXPECT_TRUE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("q", &factory, false));
  EXPECT_FALSE(map.is_port_used(1));
  EXPECT_FALSE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("q && nosuch", &factory, true));
  EXPECT_FALSE(map.is_port_used(1));

  // Marks accumulate over builds until cleared; an alias marks its port.
  EXPECT_TRUE(TCI_ADVANCED_TRIGGER_UTILITY::create_expression_tree("q ^ alias_of_s", &factory,
                                                                   true));
  EXPECT_TRUE(map.is_port_used(0));
  EXPECT_TRUE(map.is_port_used(3));
  EXPECT_TRUE(map.all_signals_used());
  map.clear_used_flags();
  EXPECT_FALSE(map.is_port_used(0));
  EXPECT_FALSE(map.all_signals_used());
}

TEST_F(TciTest, CountsNodesByTypeAndTheIncrementalRoute) {
  // Ports 5..7 are read through the incremental route.
  m_map.set_num_incremental_trigger_nodes(3);
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory =
      build("a && 'it\\'s' && !rising && (u1/q.x:y[0]$ || rising(b)) && 1");
  ASSERT_TRUE(factory);
  const int expected[TCI_NTYPE_COUNT] = {1, 1, 1, 1, 1, 0, 0, 1, 0, 0, 2, 3};
  int total = 0;
  for (int type = 0; type < TCI_NTYPE_COUNT; ++type) {
    EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), type), expected[type])
        << "type " << type;
    total += expected[type];
  }
  EXPECT_EQ(factory->get_tree_size(), total);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), 12), 0);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), -1), 0);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(nullptr, 11), 0);
  std::string out;
  TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(factory->get_root(), out, false);
  EXPECT_EQ(out, "AND(IN0,INC5,NOT(INC6),OR(INC7,RISE(IN1)),1)|L3");

  m_map.set_num_incremental_trigger_nodes(0);
  factory = build("a && 'it\\'s' && rising");
  ASSERT_TRUE(factory);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), 11), 0);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), TCI_NTYPE_INPUT), 3);
}

TEST_F(TciTest, TreeAccessors) {
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build("c ^ 1 ^ !d");
  ASSERT_TRUE(factory);
  const TCI_ADVANCED_TRIGGER_BASE* gate = factory->get_root()->get_expression();
  ASSERT_EQ(gate->get_node_type(), TCI_NTYPE_XOR);
  ASSERT_EQ(gate->get_operand_count(), 3);
  const TCI_ADVANCED_TRIGGER_BASE* first = gate->get_first_operand();
  EXPECT_EQ(first->get_port_index(), 2);
  EXPECT_EQ(first->get_constant_value(), -1);
  EXPECT_EQ(first->get_next_sibling()->get_constant_value(), 1);
  EXPECT_EQ(first->get_next_sibling()->get_port_index(), -1);
  const TCI_ADVANCED_TRIGGER_BASE* inverter = first->get_next_sibling()->get_next_sibling();
  EXPECT_EQ(inverter->get_node_type(), TCI_NTYPE_NOT);
  EXPECT_EQ(inverter->get_first_operand()->get_port_index(), 3);
  EXPECT_EQ(inverter->get_next_sibling(), nullptr);
  EXPECT_EQ(gate->get_logic_depth(), 1);
}

TEST_F(TciTest, LatencyModel) {
  EXPECT_EQ(latency("a"), 1);
  EXPECT_EQ(latency("!a"), 1);
  EXPECT_EQ(latency("1"), 1);
  EXPECT_EQ(latency("a && b"), 2);
  EXPECT_EQ(latency("a == b"), 2);
  EXPECT_EQ(latency("rising(a)"), 2);
  EXPECT_EQ(latency("rising(a) && b"), 3);
  EXPECT_EQ(latency("rising(a && b)"), 3);
  EXPECT_EQ(latency("rising(rising(a))"), 3);
  EXPECT_EQ(latency("a&b&c&d"), 2);                 // one LUT level
  EXPECT_EQ(latency(repeat("a&", 16) + "a"), 2);    // 17 operands: three levels
  EXPECT_EQ(latency(repeat("a&", 256) + "a"), 3);   // 257 operands: five levels
  EXPECT_EQ(latency("((a & b) | c) ^ (d == a) & b"), 2);  // three levels
  EXPECT_EQ(latency("!(!(a & b) | c) ^ (d == (a & !b))"), 2);  // inverters are free
  EXPECT_EQ(latency("((((a & b) | c) ^ d) == a) & b"), 3);     // five levels
}

TEST_F(TciTest, CoordinationRaisesEveryLevelAndKeepsTheCrcText) {
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> quick = build("a");
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> slow = build("rising(a) && b");
  ASSERT_TRUE(quick && slow);
  std::string before;
  TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(quick->get_root(), before, false);

  TCI_ADVANCED_TRIGGER_OUTPUT* roots[] = {quick->get_root(), nullptr, slow->get_root()};
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots, 3), 3);
  EXPECT_EQ(quick->get_root()->get_pipeline_latency(), 3);
  EXPECT_EQ(quick->get_root()->get_own_pipeline_latency(), 1);
  EXPECT_TRUE(quick->get_root()->is_latency_coordinated());
  EXPECT_EQ(slow->get_root()->get_pipeline_latency(), 3);

  std::string after;
  TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(quick->get_root(), after, false);
  EXPECT_EQ(after, before);
  EXPECT_EQ(after, "IN0|L1");

  // Coordinating again over a smaller set lowers the level back.
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots, 1), 1);
  EXPECT_EQ(quick->get_root()->get_pipeline_latency(), 1);
  TCI_ADVANCED_TRIGGER_OUTPUT* only_basic[] = {nullptr, nullptr};
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(only_basic, 2), -1);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(nullptr, 3), -1);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::set_coordinated_latency_delay(roots, 0), -1);
}

TEST_F(TciTest, LogicUsageModel) {
  EXPECT_EQ(cells("a"), 1);
  EXPECT_EQ(cells("!a"), 1);
  EXPECT_EQ(cells("a && b"), 2);
  EXPECT_EQ(cells("a && b && c && d"), 2);
  EXPECT_EQ(cells("a && b && c && d && a"), 3);
  EXPECT_EQ(cells(repeat("a | ", 9) + "a"), 4);  // ten operands: three LUTs
  EXPECT_EQ(cells(repeat("a|", 9) + "a"), -1);   // glued, "a|a|..." is one (unknown) name
  EXPECT_EQ(cells("a == b"), 2);
  EXPECT_EQ(cells("rising(a)"), 2);
  EXPECT_EQ(cells("rising(a) && falling(b) || either_edge(c)"), 6);
}

TEST_F(TciTest, DeepParenthesesCompileWithoutRecursion) {
  const size_t depth = 100000;
  EXPECT_EQ(crc(repeat("(", depth) + "a" + repeat(")", depth)), "IN0|L1");
  EXPECT_FALSE(valid(repeat("(", depth) + "a" + repeat(")", depth - 1)));
  EXPECT_FALSE(valid(repeat("(", depth)));
  EXPECT_FALSE(valid(repeat(")", depth)));

  // Alternating operators cannot be flattened: a tree 100,000 gates deep.
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory =
      build(repeat("a & (b | ", depth / 2) + "c" + repeat(")", depth / 2));
  ASSERT_TRUE(factory);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), TCI_NTYPE_AND),
            static_cast<int>(depth / 2));
  EXPECT_EQ(factory->get_root()->get_own_pipeline_latency(), 1 + static_cast<int>(depth) / 4);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root()),
            1 + static_cast<int>(depth));
  std::string out;
  TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(factory->get_root(), out, false);
  EXPECT_EQ(out.compare(0, 20, "AND(IN0,OR(IN1,AND(I"), 0);

  factory = build(repeat("rising(", depth) + "a" + repeat(")", depth));
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->get_root()->get_pipeline_latency(), 1 + static_cast<int>(depth));
}

TEST_F(TciTest, MillionNodeChainIsBuiltAndDeleted) {
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build(repeat("!", 1000000) + "b");
  ASSERT_TRUE(factory);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_UTILITY::get_node_count(factory.get(), TCI_NTYPE_NOT), 1000000);
  std::string out;
  TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(factory->get_root(), out, false);
  EXPECT_EQ(out, repeat("NOT(", 1000000) + "IN1" + repeat(")", 1000000) + "|L1");
  factory.reset();  // the tree goes without recursion
}

TEST_F(TciTest, MegabyteTexts) {
  const size_t megabyte = 1 << 20;
  // A flat chain of a quarter million operands becomes one gate.
  std::string chain = "a";
  while (chain.size() < megabyte) chain += " && b";
  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> factory = build(chain);
  ASSERT_TRUE(factory);
  const int operands = static_cast<int>((chain.size() - 1) / 5 + 1);
  EXPECT_EQ(factory->get_root()->get_expression()->get_operand_count(), operands);
  EXPECT_EQ(factory->get_tree_size(), operands + 2);
  EXPECT_EQ(TCI_ADVANCED_TRIGGER_LE_USAGE::get_estimated_le_usage(factory->get_root()),
            1 + (operands - 1 + 2) / 3);

  EXPECT_FALSE(valid(repeat("@", megabyte)));
  EXPECT_FALSE(valid(repeat("(", megabyte)));
  m_sink.debug_lines.clear();
  EXPECT_FALSE(valid(repeat("a", megabyte)));  // one unknown name, shortened in the debug line
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_NE(m_sink.debug_lines[0].find("unknown name \"" + repeat("a", 64) + "...\" at offset 0"),
            std::string::npos);
  EXPECT_FALSE(valid("'" + repeat("x", megabyte)));
  EXPECT_FALSE(valid(chain + " &&"));
  EXPECT_FALSE(valid("'" + repeat("\\'", megabyte / 2) + "' || a"));  // unknown name
  m_sink.debug_lines.clear();
  EXPECT_FALSE(valid(std::string(64u << 20, ' ') + "a"));  // over the length limit
  ASSERT_EQ(m_sink.debug_lines.size(), 1u);
  EXPECT_NE(m_sink.debug_lines[0].find("a text longer than 64 MiB at offset 0"), std::string::npos);
  m_map.insert_table_entry(repeat("n", megabyte), 3);
  EXPECT_EQ(crc("c ^ '" + repeat("n", megabyte) + "'"), "XOR(IN2,IN3)|L2");
}

}  // namespace
