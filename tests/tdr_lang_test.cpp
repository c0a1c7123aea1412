// Condition language: scanner, grammar, clause actions and error behaviour,
// checked through a target that records what the clauses ask for.
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "tdr_lang.h"
#include "tdr_test_support.h"

using namespace std::string_literals;

namespace {

class RECORDING_TARGET : public TDR_LANG_TARGET {
 public:
  // Wires by name: trigger-wire index, or TDR_LANG_NOT_TRIGGER_WIRE.
  std::map<std::string, int> wires = {{"a", 0}, {"b", 1}, {"it's", 2}, {"probe", -1}};
  std::vector<std::string> calls;
  int level = 2;
  bool power_up = true;
  std::function<void()> on_call;

  int find_trigger_wire_index(const char* name) override {
    auto it = wires.find(name);
    return it == wires.end() ? TDR_LANG_NO_SUCH_WIRE : it->second;
  }
  void set_condition_by_index(int index, int l, TDR_DATA_TRIGGER_CONDITION c, bool p) override {
    record(0, l, p, "index " + std::to_string(index) + " = " + std::to_string(c));
  }
  void set_condition_by_node(const char* name, int l, TDR_DATA_TRIGGER_CONDITION c,
                             bool p) override {
    record(1, l, p, "node " + std::string(name) + " = " + std::to_string(c));
  }
  void set_condition_by_value(const char* bus, int l, long value, bool p) override {
    record(2, l, p, "value " + std::string(bus) + " = " + std::to_string(value));
  }
  void set_condition_by_symbol(const char* bus, int l, const char* symbol, bool p) override {
    record(3, l, p, "symbol " + std::string(bus) + " = " + symbol);
  }
  void set_condition_by_table_symbol(const char* bus, int l, const char* table,
                                     const char* symbol, bool p) override {
    record(4, l, p, "table " + std::string(bus) + " = " + table + " / " + symbol);
  }

 private:
  void record(int, int l, bool p, std::string what) {
    EXPECT_EQ(l, level);
    EXPECT_EQ(p, power_up);
    if (on_call) on_call();
    calls.push_back(what);
  }
};

typedef std::vector<std::string> CALLS;

std::string repeat(const std::string& part, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += part;
  return out;
}

class TdrLangTest : public TdrTest {
 protected:
  bool parse(const std::string& text) {
    return tdr_lang_parse_condition(text.c_str(), &target, target.level, "trig",
                                    target.power_up);
  }
  // Parses a text that must be accepted and returns what it applied.
  CALLS applied(const std::string& text) {
    target.calls.clear();
    EXPECT_TRUE(parse(text)) << text;
    return target.calls;
  }
  // Consumes the single syntax warning and checks it names `token`.
  void expect_syntax_error_at(const std::string& token, const std::string& text = "") {
    MSG_RECORD r = expect_message("WTDR_COND_SYNTAX");
    EXPECT_EQ(r.args, CALLS({"trig", std::to_string(target.level), token})) << text;
    EXPECT_TRUE(message_ids().empty()) << text;
  }

  RECORDING_TARGET target;
};

TEST_F(TdrLangTest, AcceptedTextsApplyEachClauseByItsForm) {
  // Besides tests/data/core/condition_texts.txt: long runs of stray signs, a long name.
  std::vector<std::pair<std::string, CALLS>> cases = {
      {"", {}},  {" \t\r\n  ", {}},
      {"'a' == low " + repeat("= ", 50000), {"index 0 = 4"}},
      {repeat("n", 100000) + " == low", {"node " + repeat("n", 100000) + " = 4"}},
  };
  for (const auto& row : test_table("core/condition_texts.txt"))
    cases.emplace_back(row[0], CALLS(row.begin() + 1, row.end()));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (const auto& c : cases) EXPECT_EQ(applied(c.first), c.second) << c.first;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Texts in the layout the trigger writes are read by a shortcut; whatever
// path a text takes, it must apply and report exactly what the grammar does.
TEST_F(TdrLangTest, TextsGiveTheGrammarsResultWhicheverPathReadsThem) {
  std::vector<std::string> texts;
  for (const char* table : {"core/condition_path_texts.txt", "core/condition_texts.txt",
                            "core/condition_syntax_errors.txt"})
    for (const auto& row : test_table(table)) texts.push_back(row.at(0));
  for (const std::string& text : texts) {
    std::vector<std::pair<bool, CALLS>> results;
    std::vector<std::vector<std::string>> messages;
    for (int stream = 0; stream < 2; ++stream) {
      target.calls.clear();
      std::istringstream in(text);
      bool accepted = stream ? tdr_lang_parse_condition(in, &target, 2, "trig", true) : parse(text);
      results.emplace_back(accepted, target.calls);
      std::vector<std::string> posted;
      for (const MSG_RECORD& r : m_sink.messages) {
        posted.push_back(r.id);
        posted.insert(posted.end(), r.args.begin(), r.args.end());
      }
      messages.push_back(posted);
      forget_messages();
    }
    EXPECT_EQ(results[0], results[1]) << text;
    EXPECT_EQ(messages[0], messages[1]) << text;
  }
}

TEST_F(TdrLangTest, NumbersKeepTheir32LowBits) {
  const std::string zeros300(300, '0');
  const std::vector<std::pair<std::string, long>> cases = {
      {"0xFF12345678", 0x12345678}, {"0xFFFFFFFF", -1},  // hex: the last eight digits
      {"0x" + std::string(500, 'F') + "0000002A", 42},
      {"o777777777777", -1}, {"o100000000000", 0}, {"o20000000000", -2147483648L},
      {"b1111111100000000000000000000000000000001", 1}, {"b" + std::string(32, '1'), -1},
      {"4294967296", 0}, {"4294967295", -1}, {"2147483648", -2147483648L}, {"-0", 0},
      {"-4294967297", -1}, {"1" + zeros300, 0}, {"1" + zeros300.substr(1) + "7", 7},
  };
  for (const auto& c : cases)
    EXPECT_EQ(applied("'bus' == " + c.first), CALLS({"value bus = " + std::to_string(c.second)}))
        << c.first;
  // Characters that are no digit of the radix count 0.
  EXPECT_EQ(tdr_lang_digits_value("1z", 16, 8), 16);
  EXPECT_EQ(tdr_lang_digits_value("19", 8, 11), 8);
  EXPECT_EQ(tdr_lang_digits_value("1x", 2, 32), 2);
}

TEST_F(TdrLangTest, SyntaxErrorStopsAtTheOffendingToken) {
  // Besides tests/data/core/condition_syntax_errors.txt: long runs, an unterminated name.
  std::vector<std::tuple<std::string, std::string, CALLS>> cases = {
      {"'a' == low " + repeat("&& ", 30000), "&&", {"index 0 = 4"}},
      {"'a' == high && '" + std::string(100000, 'x'), "", {"index 0 = 3"}},  // unterminated
  };
  for (const auto& row : test_table("core/condition_syntax_errors.txt"))
    cases.emplace_back(row[0], row.at(1), CALLS(row.begin() + 2, row.end()));
  // Level and power-up side reach the target unchanged (checked in record()).
  target.level = 7;
  target.power_up = false;
  for (const auto& c : cases) {
    const std::string& text = std::get<0>(c);
    target.calls.clear();
    EXPECT_FALSE(parse(text)) << text;
    expect_syntax_error_at(std::get<1>(c), text);
    EXPECT_EQ(target.calls, std::get<2>(c)) << text;
  }
  // A null trigger name is named as empty.
  EXPECT_FALSE(tdr_lang_parse_condition("high", &target, 7, nullptr, false));
  MSG_RECORD r = expect_message("WTDR_COND_SYNTAX");
  EXPECT_EQ(r.severity, MSG_SEVERITY_WARNING);
  EXPECT_EQ(r.args, CALLS({"", "7", "high"}));
}

TEST_F(TdrLangTest, NulBytes) {
  // A C string ends at its first NUL.
  EXPECT_EQ(applied("'a' == high\0 && 'b' == low"s), CALLS({"index 0 = 3"}));

  target.calls.clear();
  // In a stream a NUL is a name character (so "high\0" is no keyword); the
  // target sees a name up to its NUL.
  std::istringstream in("'a' == high && 'x\0y' == low && n\0m == rising edge && 's' == high\0"s);
  EXPECT_TRUE(tdr_lang_parse_condition(in, &target, 2, "trig", true));
  EXPECT_EQ(target.calls,
            CALLS({"index 0 = 3", "node x = 4", "node n = 5", "symbol s = high"}));
  std::istringstream broken("'a' == \0 && 'b'\0 == low"s);
  EXPECT_FALSE(tdr_lang_parse_condition(broken, &target, 2, "trig", true));
  expect_syntax_error_at("", "NUL after a quoted name");
}

// Serves its text one character at a time, then fails instead of ending.
class FAILING_BUFFER : public std::streambuf {
 public:
  explicit FAILING_BUFFER(std::string text) : m_text(std::move(text)) {}

 protected:
  int_type underflow() override {
    if (m_pos >= m_text.size()) throw std::runtime_error("device gone");
    m_ch = m_text[m_pos++];
    setg(&m_ch, &m_ch, &m_ch + 1);
    return traits_type::to_int_type(m_ch);
  }

 private:
  std::string m_text;
  size_t m_pos = 0;
  char m_ch = 0;
};

TEST_F(TdrLangTest, ReadFailureIsAnInternalErrorAfterTheCleanPart) {
  FAILING_BUFFER buffer("'a' == high && 'b' == lo");
  std::istream in(&buffer);
  EXPECT_FALSE(tdr_lang_parse_condition(in, &target, 2, "trig", true));
  expect_internal_error("input in flex scanner failed");
  EXPECT_EQ(target.calls, CALLS({"index 0 = 3"}));
  // The next parse starts clean.
  EXPECT_EQ(applied("'b' == low"), CALLS({"index 1 = 4"}));
}

TEST_F(TdrLangTest, SettingsStaySetAndParsesDoNotNest) {
  target.level = 4;
  target.power_up = false;
  bool inner = true;
  target.on_call = [&] {
    target.on_call = nullptr;
    inner = tdr_lang_parse_condition("'b' == low", &target, 9, "other", true);
  };
  EXPECT_TRUE(tdr_lang_parse_condition("'a' == high && 'b' == high", &target, 4, "t1", false));
  EXPECT_FALSE(inner);
  expect_internal_error("!s_parsing");
  EXPECT_EQ(target.calls, CALLS({"index 0 = 3", "index 1 = 3"}));
  EXPECT_TRUE(tdr_lang_parse_settings.level == 4 && !tdr_lang_parse_settings.power_up);
  EXPECT_STREQ(tdr_lang_parse_settings.trigger_name, "t1");

  EXPECT_FALSE(tdr_lang_parse_condition("'a' == high", nullptr, 0, "t", false));
  expect_internal_error("target != NULL");
  EXPECT_TRUE(tdr_lang_parse_condition(static_cast<const char*>(nullptr), &target, 4, "t",
                                       false));
}

}  // namespace
