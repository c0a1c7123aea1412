#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_test_support.h"

namespace {

class SessionTest : public TdrTest {
 protected:
  // Saves `session` to a scratch file and returns the bytes written.
  std::string saved_text(TDR_DATA_SESSION& session, const std::string& name = "out.xml") {
    std::string path = temp_path(name);
    EXPECT_TRUE(session.save_as(path.c_str(), true, true));
    return read_file(path);
  }
  // The values stored under `key` as a list (empty when there are none).
  static std::vector<int> multi(const TDR_DATA_SESSION& session, const char* key) {
    int n = session.get_global_data(key, nullptr);
    std::vector<int> values(n > 0 ? static_cast<size_t>(n) : 0);
    EXPECT_EQ(session.get_global_data(key, values.data()), n);
    return values;
  }
};

}  // namespace

TEST_F(SessionTest, NewSessionSavesItsSkeletonAndSettersSurviveARoundTrip) {
  std::string path = temp_path("s.xml");
  {
    TDR_DATA_SESSION session;
    EXPECT_EQ(session.get_name(), nullptr);
    EXPECT_EQ(saved_text(session, "new.xml"),
              "<session kfb_file=\"\">\n  <display_tree/>\n  <global_info/>\n</session>\n");
    // Without a KFB file the name stays absent after saving.
    EXPECT_EQ(session.get_kfb_file_name(), nullptr);
    session.set_jtag_chain_name("chain 1");
    session.set_jtag_device_name("@1: dev <x>");
    session.set_gui_logging(false);
    session.set_global_data("zoom", 3, false);
    int widths[] = {10, -3, 7};
    session.set_global_data("widths", widths, 3, false);
    ASSERT_TRUE(session.save_as(path.c_str(), true, false));
    EXPECT_STREQ(session.get_name(), path.c_str());
  }
  TDR_DATA_SESSION reread(path.c_str());
  ASSERT_STREQ(reread.get_name(), path.c_str());
  EXPECT_STREQ(reread.get_jtag_chain_name(), "chain 1");
  EXPECT_STREQ(reread.get_jtag_device_name(), "@1: dev <x>");
  EXPECT_FALSE(reread.is_gui_logging_enabled());
  EXPECT_EQ(reread.get_global_data("zoom"), 3);
  EXPECT_EQ(multi(reread, "widths"), (std::vector<int>{10, -3, 7}));
  int values[3];
  EXPECT_EQ(reread.get_global_data("missing", values), -1);
  // Reading and saving again gives the same bytes.
  EXPECT_EQ(saved_text(reread), read_file(path));
}

TEST_F(SessionTest, GuiLoggingReadsItsAttributeLeniently) {
  TDR_DATA_SESSION session;
  EXPECT_TRUE(session.is_gui_logging_enabled());  // absent
  DOMElement* tree = session.get_display_tree_node();
  for (const auto& [text, enabled] : {std::pair<const char*, bool>{"", true}, {"1yes", true},
                                      {"true", false}}) {
    tdr_set_attr(tree, TDR_X("gui_logging_enabled"), text);
    EXPECT_EQ(session.is_gui_logging_enabled(), enabled) << text;
  }
  session.set_gui_logging(true);
  EXPECT_EQ(tdr_get_attr(tree, TDR_X("gui_logging_enabled")), "1");
}

TEST_F(SessionTest, KfbPathIsRelativeOnDiskAndAbsoluteInMemory) {
  TDR_DATA_SESSION session;
  session.set_kfb_file_name("/p/q/board.kfb");
  std::string dir = temp_dir();
  std::string text = saved_text(session);
  // The scratch directory is /tmp/<x>: the relative path climbs to the root.
  std::string up;
  for (char c : dir)
    if (c == '/') up += "../";
  EXPECT_NE(text.find("kfb_file=\"" + up + "p/q/board.kfb\""), std::string::npos) << text;
  EXPECT_STREQ(session.get_kfb_file_name(), "/p/q/board.kfb");

  // A relative "kfb_file" in a file resolves against the file's directory.
  mkdir(temp_path("r").c_str(), 0777);
  std::string path = temp_path("r/s.xml");
  write_file(path, "<session kfb_file=\"../q/./board.kfb\"/>");
  TDR_DATA_SESSION reread(path.c_str());
  EXPECT_EQ(std::string(reread.get_kfb_file_name()), dir + "/q/board.kfb");
  // Saving next to the original gives back the relative form.
  ASSERT_TRUE(reread.save_as(path.c_str(), false, true));
  EXPECT_NE(read_file(path).find("kfb_file=\"../q/board.kfb\""), std::string::npos);
}

TEST_F(SessionTest, ReadingRepairsAndReordersTheRootChildren) {
  const std::string dir = source_dir() + "/tests/data/core/session/";
  std::string path = dir + "repairs.in.xml";
  TDR_DATA_SESSION session(path.c_str());
  ASSERT_NE(session.get_name(), nullptr);
  EXPECT_EQ(session.get_jtag_chain_name(), nullptr);  // empty means absent
  EXPECT_EQ(multi(session, "b"), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(multi(session, "a"), (std::vector<int>{5, 0, 0}));
  EXPECT_EQ(session.get_global_data("z"), -12);
  EXPECT_EQ(session.get_global_data("gone", nullptr), -1);
  EXPECT_EQ(session.get_global_data("huge", nullptr), -1);
  EXPECT_EQ(session.get_global_data("n"), -1);
  // Singles before multis, each in key order; global_info moved last, then the
  // missing display_tree appended after it.
  EXPECT_EQ(saved_text(session), read_file(dir + "repairs.out.xml"));
  // Storing an existing key updates its element in place; new keys go last.
  session.set_global_data("a", 9, false);
  session.set_global_data("new", 1, false);
  int two[] = {1, 2};
  session.set_global_data("b", two, 2, false);
  EXPECT_FALSE(session.set_global_data(nullptr, 1, false));
  expect_golden("core/session", "repairs.updated.xml", saved_text(session));
}

// Only the first global_info (and an instance's first position_info) is read;
// a second one kept in the file would be the first after a save, and the
// values would change on every cycle.
TEST_F(SessionTest, FurtherKeyedBlocksAreDroppedSoValuesStayAcrossSaves) {
  std::string path = temp_path("two.xml");
  write_file(path, test_data("data/session/two_keyed_blocks.xml"));
  std::string first;
  for (int cycle = 0; cycle < 3; ++cycle) {
    TDR_DATA_SESSION session(path.c_str());
    EXPECT_EQ(session.get_global_data("k"), 1) << "cycle " << cycle;
    TDR_DATA_INSTANCE* instance = session.find_instance("i");
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->get_position_data("x"), 3) << "cycle " << cycle;
    std::string text = saved_text(session);
    for (const char* tag : {"<global_info>", "<position_info>"})
      EXPECT_EQ(text.find(tag), text.rfind(tag)) << text;
    if (cycle == 0) first = text;
    EXPECT_EQ(text, first);
    write_file(path, text);
  }
}

TEST_F(SessionTest, UnreadableFilesLeaveTheSessionNameless) {
  TDR_DATA_SESSION missing(temp_path("none.xml").c_str());
  EXPECT_EQ(missing.get_name(), nullptr);
  for (const char* text : {"<session><instance name=\"a\"></session>", ""}) {
    std::string bad = temp_path("bad.xml");
    write_file(bad, text);
    TDR_DATA_SESSION broken(bad.c_str());
    EXPECT_EQ(broken.get_name(), nullptr);
    EXPECT_EQ(expect_message("ETDR_SOURCE_GENERIC").args.at(0), bad);
  }
  // A folder fails as an unreadable file would, and leaks nothing.
  TDR_DATA_SESSION folder(temp_dir().c_str());
  EXPECT_EQ(folder.get_name(), nullptr);
  EXPECT_EQ(expect_message("ETDR_SOURCE_GENERIC").args.at(1), "unable to read data from file");
}

TEST_F(SessionTest, InstancesAreNamedUniquely) {
  TDR_DATA_SESSION session;
  TDR_DATA_INSTANCE* a = session.create_instance("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(session.create_instance("a"), nullptr);
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args.at(0), "a");
  TDR_DATA_INSTANCE* b = session.create_instance("b");
  EXPECT_EQ(session.get_instance_at(1), b);
  EXPECT_TRUE(session.get_instance_at(-1) == nullptr && session.get_instance_at(2) == nullptr);

  // Renaming to a taken name changes nothing.
  EXPECT_FALSE(b->set_name("a"));
  EXPECT_EQ(tdr_get_attr(b->get_dom_node(), TDR_X("name")), "b");
  EXPECT_TRUE(b->set_name("c"));
  EXPECT_TRUE(session.find_instance("b") == nullptr && session.find_instance("c") == b);
  EXPECT_EQ(tdr_get_attr(b->get_dom_node(), TDR_X("name")), "c");

  // A second object with a taken name is refused by append without a message.
  TDR_DATA_INSTANCE* other = new TDR_DATA_INSTANCE(session.get_dom_doc(), "c");
  EXPECT_FALSE(session.append(other, true));
  other->get_dom_node()->release();
  delete other;

  a->remove();
  EXPECT_EQ(session.get_num_instances(), 1);
  EXPECT_EQ(session.find_instance("a"), nullptr);
  EXPECT_EQ(saved_text(session).find("name=\"a\""), std::string::npos);
}

TEST_F(SessionTest, AnalyserInstancesGetIndicesAndAutomaticNames) {
  TDR_DATA_SESSION session;
  TDR_DATA_INSTANCE* first = session.create_tavrin_instance(nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->get_name(), "auto_tavrin_0");
  EXPECT_EQ(first->get_node_info().instance_id, 0u);

  TDR_DATA_SESSION other;
  other.create_instance("auto_tavrin_1");
  TDR_DATA_INSTANCE* second = other.create_tavrin_instance(nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->get_node_info().instance_id, 1u);
  EXPECT_STREQ(second->get_name(), "auto_tavrin_1 (0)");
  TDR_DATA_SESSION both_taken;
  both_taken.create_instance("auto_tavrin_1");
  both_taken.create_instance("auto_tavrin_1 (0)");
  EXPECT_STREQ(both_taken.create_tavrin_instance(nullptr)->get_name(), "auto_tavrin_1 (1)");
  other.get_instance_at(1)->set_name("auto_tavrin_1 (0)x");
  other.create_instance("auto_tavrin_1 (0)");
  TDR_DATA_INSTANCE* third = other.create_tavrin_instance(nullptr);
  ASSERT_NE(third, nullptr);
  // Index: the largest among matching nodes (1) plus one.
  EXPECT_EQ(third->get_node_info().instance_id, 2u);
  EXPECT_STREQ(third->get_name(), "auto_tavrin_2");

  // A given name is kept.
  TDR_DATA_INSTANCE* named = session.create_tavrin_instance("mine");
  EXPECT_STREQ(named->get_name(), "mine");
  std::string text = saved_text(session);
  EXPECT_NE(text.find("<node_ip_info instance_id=\"1\" mfg_id=\"110\" node_id=\"0\" "
                      "version=\"4\"/>"),
            std::string::npos)
      << text;
}

TEST_F(SessionTest, DuplicateAndNamelessInstancesInAFileAreDropped) {
  std::string path = temp_path("s.xml");
  write_file(path,
             "<session><instance name=\"a\" entity_name=\"e1\"/>"
             "<instance name=\"a\" entity_name=\"e2\"/><instance/></session>");
  TDR_DATA_SESSION session(path.c_str());
  ASSERT_EQ(session.get_num_instances(), 1);
  EXPECT_STREQ(session.get_instance_at(0)->get_entity_name(), "e1");
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args.at(0), "a");
  EXPECT_EQ(expect_message("WTDR_MISSING_NAME").args.at(0), "instance");
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args.at(0), "");
  // The dropped elements stay in the document.
  std::string text = saved_text(session);
  EXPECT_NE(text.find("entity_name=\"e2\""), std::string::npos);
  EXPECT_NE(text.find("<instance/>"), std::string::npos);
}

TEST_F(SessionTest, EmbeddedFilesRoundTripByteForByte) {
  std::string source = temp_path("board.kfb"), out = temp_path("out.kfb");
  std::string bytes(1000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 31 + 7) % 256);
  write_file(source, bytes);
  std::string path = temp_path("s.xml");
  {
    TDR_DATA_SESSION session;
    EXPECT_FALSE(session.remove_embedded_kfb_at(0));
    ASSERT_TRUE(session.embed_kfb_file(source.c_str(), "board"));
    ASSERT_EQ(m_sink.debug_lines.size(), 1u);
    EXPECT_EQ(m_sink.debug_lines[0].find("Compress file " + source + " of size 1000 byte"), 0u);
    ASSERT_TRUE(session.embed_kfb_file(source.c_str(), "copy"));
    EXPECT_TRUE(session.set_embedded_kfb_inst_id_crc_at(0, "0:ABCD"));
    EXPECT_FALSE(session.set_embedded_kfb_inst_id_crc_at(5, "x"));
    EXPECT_TRUE(session.rename_embedded_kfb_filename_at(0, "main"));
    ASSERT_TRUE(session.save_as(path.c_str(), true, false));
  }
  TDR_DATA_SESSION session(path.c_str());
  ASSERT_EQ(session.get_embedded_kfb_file_count(), 2);
  EXPECT_STREQ(session.get_embedded_kfb_filename_at(0), "main");
  EXPECT_STREQ(session.get_embedded_kfb_filename_at(1), "copy");
  EXPECT_STREQ(session.get_embedded_kfb_inst_id_crc_at(0), "0:ABCD");
  EXPECT_EQ(session.get_embedded_kfb_inst_id_crc_at(1), nullptr);
  EXPECT_EQ(tdr_get_attr(session.get_dom_node_embedded_kfb_at(0), TDR_X("size")), "1000");
  ASSERT_TRUE(session.extract_kfb_file(0, out.c_str()));
  EXPECT_EQ(read_file(out), bytes);
  EXPECT_TRUE(session.remove_embedded_kfb_at(0));
  EXPECT_EQ(session.get_embedded_kfb_filename_at(1), nullptr);
  // Each session keeps its own answer.
  TDR_DATA_SESSION unchanged(path.c_str());
  const char* here = session.get_embedded_kfb_filename_at(0);
  const char* there = unchanged.get_embedded_kfb_filename_at(0);
  EXPECT_STREQ(here, "copy");
  EXPECT_STREQ(there, "main");
  // Save/open is a fixed point even with Base64 text inside.
  std::string again = saved_text(session, "again.xml");
  TDR_DATA_SESSION third(temp_path("again.xml").c_str());
  EXPECT_EQ(saved_text(third, "again2.xml"), again);
  ASSERT_TRUE(third.extract_kfb_file(0, out.c_str()));
  EXPECT_EQ(read_file(out), bytes);
}

// The Base64 text of an embedded file stands in lines of 60 characters, each
// ended by a line feed; the last one gives way to the end tag's layout.
TEST_F(SessionTest, EmbeddedFileTextIsWrittenInLinesOfSixty) {
  std::string source = temp_path("noise.kfb"), bytes;
  unsigned x = 12345;
  for (int i = 0; i < 400; ++i) bytes += char((x = x * 1103515245u + 12345u) >> 24);
  write_file(source, bytes);
  TDR_DATA_SESSION session;
  ASSERT_TRUE(session.embed_kfb_file(source.c_str(), "noise"));
  m_sink.debug_lines.clear();
  std::string saved = saved_text(session);
  size_t from = saved.find("size=\"400\">"), to = saved.find("\n    </embedded_kfb_file>");
  ASSERT_TRUE(from != std::string::npos && to != std::string::npos) << saved;
  from += 11;
  const std::string block = saved.substr(from, to - from) + "\n";
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
  int lines = 0;
  for (size_t at = 0, end; at < block.size(); at = end + 1, ++lines) {
    end = block.find('\n', at);
    EXPECT_EQ(block.find_first_not_of(alphabet, at), end) << "line " << lines;
    bool last = end + 1 == block.size();
    EXPECT_TRUE(last ? end > at && end - at <= 60 : end - at == 60) << "line " << lines;
  }
  EXPECT_GE(lines, 8);  // 400 bytes that do not compress
}

TEST_F(SessionTest, DamagedEmbeddedFilesFailCleanly) {
  std::string source = temp_path("board.kfb");
  write_file(source, std::string(1000, 'k'));
  TDR_DATA_SESSION session;
  write_file(temp_path("empty"), "");
  EXPECT_FALSE(session.embed_kfb_file(temp_path("missing").c_str(), "x") ||
               session.embed_kfb_file(temp_path("empty").c_str(), "x"));
  EXPECT_EQ(session.get_embedded_kfb_file_count(), 0);
  ASSERT_TRUE(session.embed_kfb_file(source.c_str(), "k"));
  m_sink.debug_lines.clear();
  DOMElement* e = session.get_dom_node_embedded_kfb_at(0);
  std::string out = temp_path("out.kfb");

  // A larger size gives a zero-filled tail.
  tdr_set_attr(e, TDR_X("size"), "1010");
  ASSERT_TRUE(session.extract_kfb_file(0, out.c_str()));
  EXPECT_EQ(read_file(out), std::string(1000, 'k') + std::string(10, '\0'));
  unlink(out.c_str());

  for (const char* size : {"999", "", "abc", "-1", "4294967296", "4000000000"}) {
    tdr_set_attr(e, TDR_X("size"), size);
    EXPECT_FALSE(session.extract_kfb_file(0, out.c_str())) << size;
    EXPECT_FALSE((access(out.c_str(), F_OK) == 0)) << size;
  }
  tdr_remove_attr(e, TDR_X("size"));
  EXPECT_FALSE(session.extract_kfb_file(0, out.c_str()));

  tdr_set_attr(e, TDR_X("size"), "1000");
  for (const char* bad : {"!!!!", "QUJDRA=="}) {  // no Base64; Base64 of no zlib data
    e->getFirstChild()->setNodeValue(tdr_widen(bad).c_str());
    EXPECT_FALSE(session.extract_kfb_file(0, out.c_str()) || access(out.c_str(), F_OK) == 0);
  }

  EXPECT_FALSE(session.extract_kfb_file(3, out.c_str()));
  expect_internal_error("Embedded kfb file index mismatch");
}

namespace {
// Two instances; "a" has signal sets s1 and a global-temp copy with a global
// trigger and log; logs sit in "t1".
std::string display_tree_file(const std::string& tree) {
  std::string text = test_data("data/session/display_tree.xml");
  return text.replace(text.find("%TREE%"), 6, tree);
}
}  // namespace

TEST_F(SessionTest, DisplayTreeResolvesBranchesAndGlobalTempCopies) {
  std::string path = temp_path("s.xml");
  // "set/trigger/log" active for instance "a" when the file has `tree`.
  auto active = [&](const std::string& tree) {
    write_file(path, display_tree_file(tree));
    TDR_DATA_SESSION session(path.c_str());
    EXPECT_NE(session.get_name(), nullptr);
    TDR_DATA_INSTANCE* a = session.find_instance("a");
    EXPECT_EQ(session.find_active_signal_set(session.find_instance("b")), nullptr);
    EXPECT_EQ(a->get_last_signal_set(), session.find_active_signal_set(a));
    auto name = [](auto* o) { return std::string(o ? o->get_name() : "-"); };
    return name(session.find_active_signal_set(a)) + "/" + name(session.find_active_trigger(a)) +
           "/" + name(session.find_active_log(a));
  };
  for (const auto& row : test_table("data/session/display_trees.txt"))
    EXPECT_EQ(active(row.at(0)), row.at(1)) << row[0];
  forget_messages();  // the sketchy signal sets warn about their missing parts
}

TEST_F(SessionTest, ActiveBranchesAreAddedOnceAndWritten) {
  std::string path = temp_path("s.xml");
  write_file(path, display_tree_file(""));
  TDR_DATA_SESSION session(path.c_str());
  forget_messages();
  TDR_DATA_INSTANCE* a = session.find_instance("a");
  TDR_DATA_TRIGGER* t1 = a->find_signal_set("s1")->find_trigger("t1");
  TDR_DATA_TRIGGER* t2 = a->find_signal_set("s1")->find_trigger("t2");
  // Without a display tree in the file there is no map until it is reset.
  EXPECT_FALSE(session.add_active_branch(t1));
  expect_internal_error("m_active_tree_map != NULL");
  EXPECT_FALSE(session.add_active_branch(static_cast<TDR_DATA_TRIGGER*>(nullptr)));
  expect_internal_error("trigger != NULL");
  expect_internal_error("m_active_tree_map != NULL");

  session.reset_active_tree();
  EXPECT_TRUE(session.add_active_branch(t1));
  EXPECT_FALSE(session.add_active_branch(t2));
  EXPECT_EQ(session.find_active_trigger(a), t1);
  TDR_DATA_SIGNAL_SET* global = a->get_global_signal_set();
  TDR_DATA_LOG* global_log = global->get_global_trigger()->get_global_log();
  session.reset_active_tree();
  EXPECT_TRUE(session.add_active_branch(global_log));
  std::string text = saved_text(session);
  EXPECT_NE(text.find("<display_branch instance=\"a\" log=\"USE_GLOBAL_TEMP\" "
                      "signal_set=\"USE_GLOBAL_TEMP\" trigger=\"USE_GLOBAL_TEMP\"/>"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("trigger=\"t1\""), std::string::npos);  // reset removed it

  // Removing an object drops the branches that point at it.
  session.reset_active_tree();
  EXPECT_TRUE(session.add_active_branch(t1));
  t1->remove();
  EXPECT_EQ(session.find_active_trigger(a), nullptr);
  EXPECT_EQ(session.find_active_signal_set(a), nullptr);
}
