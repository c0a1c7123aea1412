// Hand-made hostile files: cut, huge, out-of-range, binary, CR-LF and
// repetitive session files. Each must give the library's messages or a clean
// failure, and whatever could be read must save and read back.
#include <map>
#include <string>
#include <vector>

#include "tdr_basic.h"
#include "tdr_data_instance.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_wire.h"
#include "tdr_test_support.h"

namespace {

// A session using every kind of element the readers know, written the way
// the printer writes it (so it is its own fixed point apart from layout).
std::string rich_session() { return read_file(source_dir() + "/tests/data/core/rich_session.xml"); }

class TdrBadInputTest : public TdrTest {
 protected:
  TDR_DATA_MANAGER* manager() { return TDR_DATA_MANAGER::get_data_repository_manager(); }

  // Writes `content` and opens it as an independent session (null when it
  // could not be read).
  TDR_DATA_SESSION* open_text(const std::string& content, const std::string& name = "in.xyz") {
    std::string path = temp_path(name);
    write_file(path, content);
    return manager()->open_independent_session(path.c_str());
  }

  std::string save(TDR_DATA_SESSION* session, const std::string& name) {
    std::string path = temp_path(name);
    EXPECT_TRUE(session->save_as(path.c_str(), true, true));
    return read_file(path);
  }

  // Saves what was read and closes it, then reads the saved file back: it
  // must open and post exactly `expected_again` (message id -> count). A
  // reader normalises a file once (a missing display tree is appended after
  // the global info, which a later read moves to the end); from the second
  // save on the bytes must stay the same. Returns the first saved text.
  std::string save_and_reopen(TDR_DATA_SESSION* session,
                              const std::map<std::string, int>& expected_again = {}) {
    std::string first = save(session, "saved1.xyz");
    manager()->close_independent_session(session);
    forget_messages();
    std::string previous;
    for (int round = 2; round <= 3; ++round) {
      std::string from = temp_path("saved" + std::to_string(round - 1) + ".xyz");
      TDR_DATA_SESSION* again = manager()->open_independent_session(from.c_str());
      EXPECT_NE(again, nullptr) << "round " << round;
      if (!again) break;
      EXPECT_EQ(count_messages(), expected_again) << "round " << round;
      forget_messages();
      std::string text = save(again, "saved" + std::to_string(round) + ".xyz");
      manager()->close_independent_session(again);
      EXPECT_TRUE(round == 2 || text == previous)
          << "no fixed point: " << first_difference(previous, text);
      previous = text;
    }
    return first;
  }

  std::map<std::string, int> count_messages() const {
    std::map<std::string, int> counts;
    for (const std::string& id : message_ids()) ++counts[id];
    return counts;
  }
};

std::string repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

// `xml` cut before offset `cut` with every element still open there closed,
// so the reader sees a well-formed file that simply lacks the rest.
std::string cut_and_close(const std::string& xml, size_t cut) {
  std::vector<std::string> open;
  size_t i = 0;
  while ((i = xml.find('<', i)) != std::string::npos && i < cut) {
    size_t end = xml.find('>', i);
    std::string tag = xml.substr(i + 1, end - i - 1);
    if (tag[0] == '/') {
      open.pop_back();
    } else if (tag.back() != '/') {
      open.push_back(tag.substr(0, tag.find_first_of(" \n")));
    }
    i = end + 1;
  }
  std::string out = xml.substr(0, cut);
  for (auto it = open.rbegin(); it != open.rend(); ++it) out += "</" + *it + ">";
  return out;
}

}  // namespace

TEST_F(TdrBadInputTest, FileCutAtEveryTagFailsCleanlyOrReadsWhatIsThereWhenClosed) {
  const std::string xml = rich_session();
  int empty_sets = 0;
  // Every '<' after the first starts a tag (start, end or empty-element tag).
  for (size_t cut = xml.find('<', 1); cut != std::string::npos; cut = xml.find('<', cut + 1)) {
    // The parse error names the file and why; nothing else is posted.
    TDR_DATA_SESSION* session = open_text(xml.substr(0, cut));
    EXPECT_EQ(session, nullptr) << "cut at " << cut;
    if (session) manager()->close_independent_session(session);
    EXPECT_EQ(message_ids(), std::vector<std::string>{"ETDR_SOURCE_GENERIC"}) << "cut at " << cut;
    forget_messages();

    std::string text = cut_and_close(xml, cut);
    session = open_text(text);
    ASSERT_NE(session, nullptr) << text;
    EXPECT_LE(session->get_num_instances(), 1);
    // A signal set cut before its signal list is reported as empty (and
    // completed); nothing else is wrong with a file that merely ends early.
    for (const std::string& id : message_ids()) {
      EXPECT_EQ(id, "WTDR_EMPTY_SIGNAL_SET") << text;
      ++empty_sets;
    }
    forget_messages();
    save_and_reopen(session);
  }
  EXPECT_GT(empty_sets, 0);
  // An empty file is no session either.
  EXPECT_EQ(open_text(""), nullptr);
  expect_message("ETDR_SOURCE_GENERIC");
}

TEST_F(TdrBadInputTest, MegabyteAttributeValues) {
  const std::string big(1 << 20, 'x');
  const std::string digits(1 << 20, '9');
  std::string xml = rich_session();
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"name=\"i0\"", "name=\"" + big + "\""}, {"name=\"clk\"", "name=\"" + big + "\""},
           {"sample_depth=\"256\"", "sample_depth=\"" + digits + "\""},
           {"alias=\"A\" name=\"a\"", "alias=\"A\" name=\"a" + big + "\""},
           {"value=\"3,4,\"", "value=\"" + digits + "\""},
           {"name=\"IDLE\"", "name=\"" + big + "\""}}) {
    size_t at = xml.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    xml.replace(at, from.size(), to);
  }
  TDR_DATA_SESSION* session = open_text(xml);
  ASSERT_NE(session, nullptr);
  // Long values are nothing wrong in themselves; the depth is corrected silently.
  EXPECT_EQ(message_ids(), std::vector<std::string>{});
  ASSERT_EQ(session->get_num_instances(), 1);
  EXPECT_EQ(session->get_instance_at(0)->get_signal_set_at(0)->get_sample_depth(), 1 << 30);
  EXPECT_EQ(std::string(session->get_instance_at(0)->get_name()).size(), big.size());
  std::string saved = save_and_reopen(session);
  EXPECT_GT(saved.size(), 4 * big.size());
  EXPECT_NE(saved.find("sample_depth=\"1073741824\""), std::string::npos);
}

TEST_F(TdrBadInputTest, OutOfRangeNumbersInEveryNumericAttribute) {
  // Every attribute the readers take as a number.
  const std::vector<std::string> numeric = {
      "instance_id=\"0\"", "mfg_id=\"110\"",        "node_id=\"0\"",
      "version=\"6\"",     "reserved_data_nodes=\"2\"", "reserved_trigger_nodes=\"1\"",
      "sample_depth=\"256\"", "segment_size=\"1\"", "sample_depth=\"4\"",
      "width=\"2\"",       "size=\"12\"",           "size=\"2\"",
      "size=\"3\"",        "value=\"1\"",           "value=\"0\"",
      "value=\"3,4,\"",    "value=\"1,2,3,\""};
  // Each text with the sample depth it reads as: out-of-range numbers clamp,
  // parsing stops at the first character that is no digit, and a depth that
  // is neither 0 nor a power of two from 64 up is corrected silently.
  const std::vector<std::pair<const char*, int>> numbers = {
      {"99999999999999999999", 1 << 30}, {"-2147483649", 0}, {"2147483648", 1 << 30},
      {"-1", 0}, {"", 0}, {"0x10", 0}, {"1e9", 64}, {" 7 ", 64}};
  for (const auto& [number, depth] : numbers) {
    std::string xml = rich_session();
    for (const std::string& attr : numeric) {
      size_t at = xml.find(attr);
      ASSERT_NE(at, std::string::npos) << attr;
      std::string name = attr.substr(0, attr.find('='));
      xml.replace(at, attr.size(), name + "=\"" + number + "\"");
    }
    TDR_DATA_SESSION* session = open_text(xml);
    ASSERT_NE(session, nullptr) << number;
    EXPECT_EQ(message_ids(), std::vector<std::string>{}) << number;
    TDR_DATA_SIGNAL_SET* set = session->get_instance_at(0)->get_signal_set_at(0);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->get_sample_depth(), depth) << number;
    save_and_reopen(session);
  }
}

TEST_F(TdrBadInputTest, NulAndBytesThatAreNotUtf8FailCleanly) {
  std::string xml = rich_session();
  for (const std::string& bad : {std::string("\0", 1), std::string("\xff"), std::string("\xc3("),
                                 std::string("\xed\xa0\x80"), std::string("\x01")}) {
    for (const std::string& where : {std::string("name=\"i0"), std::string("'A' == high")}) {
      std::string text = xml;
      text.insert(text.find(where) + where.size(), bad);
      TDR_DATA_SESSION* session = open_text(text);
      EXPECT_EQ(session, nullptr);
      if (session) manager()->close_independent_session(session);
      EXPECT_EQ(message_ids(), std::vector<std::string>{"ETDR_SOURCE_GENERIC"});
      forget_messages();
    }
  }
}

TEST_F(TdrBadInputTest, CrLfFileReadsAsTheLfFile) {
  std::string crlf;
  for (char c : std::string(rich_session())) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  TDR_DATA_SESSION* lf_session = open_text(rich_session());
  ASSERT_NE(lf_session, nullptr);
  std::string from_lf = save(lf_session, "from_lf.xyz");
  manager()->close_independent_session(lf_session);
  TDR_DATA_SESSION* session = open_text(crlf);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(message_ids(), std::vector<std::string>{});
  std::string from_crlf = save_and_reopen(session);
  EXPECT_TRUE(from_crlf == from_lf) << first_difference(from_crlf, from_lf);
}

TEST_F(TdrBadInputTest, ThousandSignalSetsTriggersAndWiresOfOneName) {
  const int n = 1000;
  std::string xml = "<session><instance name=\"i\"><signal_set name=\"s\"><signal_vec>"
                    "<data_input_vec>" + repeat("<wire name=\"w\"/>", n) +
                    "</data_input_vec><trigger_input_vec>" + repeat("<wire name=\"w\"/>", n) +
                    "</trigger_input_vec></signal_vec>" +
                    repeat("<trigger name=\"t\"><data name=\"l\"/><data name=\"l\"/></trigger>", n) +
                    "</signal_set>" + repeat("<signal_set name=\"s\"/>", n) +
                    "</instance><mnemonics>" + repeat("<table name=\"m\" width=\"1\"><symbol name=\"A\" value=\"1\"/><symbol name=\"A\" value=\"0\"/></table>", n) +
                    "</mnemonics></session>";
  TDR_DATA_SESSION* session = open_text(xml);
  ASSERT_NE(session, nullptr);
  ASSERT_EQ(session->get_instance_at(0)->get_num_signal_sets(), 1);
  EXPECT_EQ(session->get_instance_at(0)->get_signal_set_at(0)->get_num_triggers(), 1);
  std::map<std::string, int> counts = count_messages();
  // Every refused signal set, trigger and table is named once; the refused
  // symbol once (the other tables were refused whole).
  EXPECT_GE(counts["WTDR_DUPLICATE_NAME"], 3 * (n - 1));
  EXPECT_EQ(counts["WTDR_DUPLICATE_SYMBOL"], 1);
  // The empty signal sets were completed on this first read.
  EXPECT_EQ(counts["WTDR_EMPTY_SIGNAL_SET"], n);
  counts.erase("WTDR_EMPTY_SIGNAL_SET");
  forget_messages();
  save_and_reopen(session, counts);
}

TEST_F(TdrBadInputTest, LegacyNamesLoseCharactersAFileCannotCarry) {
  // A vertical tab, an escape and U+FFFF inside names are dropped, the rest of
  // each name is kept (a NUL ends it), and the session saves to a file that
  // reads back.
  std::string text = std::string("[@\\TVF=1.0]\r\n[Signal]\r\n") + "a\x0b" + "b=0\r\n" +
                     std::string("c\0d=1\r\n", 7) + "e\x1b\xef\xbf\xbf" + "f=2\r\n" +
                     "g\th=3\r\n[ACQ=\"Corvane ELA\"]\r\nclk=\"c\x01k\"\r\n";
  TDR_DATA_SESSION* session = open_text(text, "hostile.tvf");
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(message_ids(), std::vector<std::string>{});
  TDR_DATA_SIGNAL_SET* set = session->get_instance_at(0)->find_signal_set("signals_imported");
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(set->get_data_wire_width(), 4);
  EXPECT_STREQ(set->get_data_wire_at(0)->get_name(), "ab");
  EXPECT_STREQ(set->get_data_wire_at(1)->get_name(), "c");
  EXPECT_STREQ(set->get_data_wire_at(2)->get_name(), "ef");
  EXPECT_STREQ(set->get_data_wire_at(3)->get_name(), "g\th");
  EXPECT_STREQ(set->get_clock_name(), "ck");
  save_and_reopen(session);
}

TEST_F(TdrBadInputTest, BasicSessionRefusesValuesAFileCannotCarry) {
  TDR_BASIC_SESSION session("session", nullptr, true);
  TDR_BASIC_ELEMENT* item = session.append_instance("item");
  ASSERT_NE(item, nullptr);
  for (const char* bad : {"a\x01z", "\x1f", "tab\tok\x0b"}) {
    EXPECT_EQ(item->set_attribute("v", bad), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT) << bad;
    EXPECT_EQ(session.set_attribute("v", bad), TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT) << bad;
  }
  // TAB, LF and CR are characters a file carries (as references).
  EXPECT_EQ(item->set_attribute("v", "a\tb\nc\rd"), TDR_BASIC_ERROR_CODE_OK);
  std::string path = temp_path("basic.xml");
  ASSERT_EQ(session.save_as(path.c_str()), TDR_BASIC_ERROR_CODE_OK);
  TDR_BASIC_SESSION again("session", nullptr, true);
  ASSERT_EQ(again.open(path.c_str()), TDR_BASIC_ERROR_CODE_OK);
  std::string value;
  EXPECT_EQ(again.get_instance_at(0)->get_attribute("v", &value), TDR_BASIC_ERROR_CODE_OK);
  EXPECT_EQ(value, "a\tb\nc\rd");
}
