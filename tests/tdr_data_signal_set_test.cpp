#include <climits>
#include <string>
#include <vector>

#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_test_support.h"
#include "tdr_data_trigger_test_support.h"
#include "tdr_test_support.h"

namespace {

// A file holding one signal set, read into a signal set without instance.
struct SET_FILE {
  explicit SET_FILE(const std::string& signal_set_xml)
      : doc("<session>" + signal_set_xml + "</session>"),
        set(new TDR_DATA_SIGNAL_SET(doc.doc, doc.find("signal_set"), nullptr)) {}
  std::string text() const { return print_node(set->get_dom_node()); }
  TEST_XML_DOC doc;
  std::unique_ptr<TDR_DATA_SIGNAL_SET> set;
};

std::vector<std::string> wire_names(const TDR_DATA_SIGNAL_SET& set, bool data) {
  std::vector<std::string> names;
  int n = data ? set.get_data_wire_width() : set.get_trigger_wire_width();
  for (int i = 0; i < n; ++i) {
    TDR_DATA_SIGNAL_WIRE* w = data ? set.get_data_wire_at(i) : set.get_trigger_wire_at(i);
    names.push_back(w->get_name() ? w->get_name() : "(none)");
    EXPECT_EQ(data ? w->get_data_wire_index() : w->get_trigger_wire_index(), i);
  }
  return names;
}

typedef std::vector<std::string> NAMES;

// The trigger ports as read: "in <enabled> <pin> <node>, out ...", "-" for none.
std::string ports(const TDR_DATA_SIGNAL_SET& set) {
  auto text = [](const char* s) { return std::string(s ? s : "-"); };
  return "in " + std::to_string(set.is_trigger_in_enabled()) + " " +
         text(set.get_trigger_in_pin()) + " " + text(set.get_trigger_in_node()) + ", out " +
         std::to_string(set.is_trigger_out_enabled()) + " " + text(set.get_trigger_out_pin()) +
         " " + text(set.get_trigger_out_node());
}

// The signal set of tests/data/data/signal_set/NAME.xml.
struct GOLDEN_SET : SET_FILE {
  explicit GOLDEN_SET(const std::string& name)
      : SET_FILE(read_file(source_dir() + "/tests/data/data/signal_set/" + name + ".xml")) {}
};

}  // namespace

// Every layout the reader meets, current and old, against the file it writes
// (NAME.saved.xml beside the input), which reads back to itself.
TEST_F(TdrTest, SignalSetFilesAreReadAndWrittenBack) {
  const struct {
    const char* name;
    NAMES messages;
    bool fixed_point = true;
  } cases[] = {{"current", {"WTDR_DUPLICATE_NAME"}},
               {"config_normalised", {}},
               // Its trigger is read only once the set has its lists.
               {"no_signal_vec", {"WTDR_EMPTY_SIGNAL_SET"}, false},
               {"no_data_list", {}},
               {"wires_under_signal_vec", {"WTDR_MISSING_NAME"}},
               {"oldest_with_buses", {"WTDR_MISSING_NAME"}},
               {"buses_kept_beside_views", {}},
               {"missing_view_rebuilt", {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GOLDEN_SET f(c.name);
    EXPECT_EQ(message_ids(), c.messages);
    forget_messages();
    expect_golden("data/signal_set", std::string(c.name) + ".saved.xml", f.text() + "\n");
    SET_FILE again(f.text());
    forget_messages();
    EXPECT_EQ(again.text() == f.text(), c.fixed_point);
  }
}

TEST_F(TdrTest, SignalSetNewHasTheEmptySkeleton) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_SET set(d.doc, "s1");
  EXPECT_EQ(print_node(set.get_dom_node()), test_data("data/signal_set/new.saved.xml"));
  EXPECT_EQ(set.get_dom_node()->getParentNode(), nullptr);
  // Defaults the empty "config" does not show.
  EXPECT_EQ(set.get_sample_depth(), 128);
  EXPECT_EQ(set.get_velarn_ram_type(), TDR_RTYPE_MIDRAM_BLOCK);
  EXPECT_EQ(ports(set), "in 0 - -, out 0 - -");
  EXPECT_EQ(set.get_reserved_data_node_size() + set.get_reserved_trigger_node_size(), 0);
  EXPECT_EQ(set.get_top_entity_name(), nullptr);
  EXPECT_FALSE(set.is_expanded());  // a new set, unlike one read without the attribute
  EXPECT_STREQ(set.get_signal_connections(), "");
  EXPECT_TRUE(set.get_connection_status());
  ASSERT_NE(set.get_setup_view(), nullptr);
  EXPECT_EQ(tdr_narrow(set.get_data_view()->get_dom_node()->getTagName()), "data_view");
  EXPECT_STREQ(set.to_string(),
               "   clock = posedge auto_tvf_external_clock\n   trigger signal width = 0\n"
               "   data signal width = 0\n   sample depth = 128");

  // Without a name the manager names it.
  TDR_DATA_SIGNAL_SET unnamed(d.doc);
  EXPECT_EQ(std::string(unnamed.get_name()).compare(0, 10, "signal_set"), 0);
  EXPECT_EQ(tdr_get_attr(unnamed.get_dom_node(), TDR_X("name")), unnamed.get_name());
}

TEST_F(TdrTest, SignalSetReadsTheCurrentFormatAndWritesItBack) {
  GOLDEN_SET f("current");
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args, (NAMES{"t1"}));
  TDR_DATA_SIGNAL_SET& set = *f.set;

  // Clock, depth and trigger-in pin are in to_string() below.
  EXPECT_FALSE(set.is_expanded());
  EXPECT_EQ(set.get_velarn_ram_type(), TDR_RTYPE_TINYRAM_BLOCK);
  // A pin and a node: only the pin is taken; only "yes" enables.
  EXPECT_EQ(ports(set), "in 1 pin_a -, out 0 - node_b");
  EXPECT_EQ(set.get_reserved_data_node_size(), 0);
  EXPECT_EQ(set.get_ela_trigger_wire_width(), 7);
  EXPECT_EQ(set.get_ela_data_wire_width(), 2);
  EXPECT_STREQ(set.get_top_entity_name(), "top");

  // "b" is in both lists: one wire, counted once, connection in the data list.
  EXPECT_EQ(wire_names(set, false), (NAMES{"a", "b"}));
  EXPECT_EQ(wire_names(set, true), (NAMES{"b", "c"}));
  TDR_DATA_SIGNAL_WIRE* b = set.get_wire("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(set.get_trigger_wire_at(1), b);
  EXPECT_EQ(set.get_data_wire_at(0), b);
  EXPECT_EQ(set.get_wire("B"), b);
  EXPECT_EQ(b->get_capture_type(), TDR_WTYPE_BOTH_CAPTURE);
  EXPECT_EQ(b->get_trigger_dom_node()->getParentNode(), f.doc.find("trigger_input_vec"));
  EXPECT_EQ(b->get_data_dom_node()->getParentNode(), f.doc.find("data_input_vec"));
  EXPECT_EQ(set.get_wire_size(), 3);
  EXPECT_STREQ(set.get_signal_connections(), "01");
  EXPECT_FALSE(set.get_connection_status());
  EXPECT_STREQ(set.get_trigger_wire_alias_at(0), "a");  // empty alias: the name
  EXPECT_STREQ(set.get_trigger_wire_alias_at(1), "B");
  EXPECT_EQ(set.get_data_view()->get_first_node().get_data_wire(true), b);

  // The second "t1" is not available; the global temp trigger is unlisted.
  EXPECT_EQ(set.get_num_triggers(), 1);
  EXPECT_EQ(set.find_trigger("t1"), set.get_trigger_at(0));
  EXPECT_EQ(set.get_trigger_at(0)->get_signal_set(), &set);
  ASSERT_NE(set.get_global_trigger(), nullptr);
  EXPECT_EQ(set.find_trigger("g"), set.get_global_trigger());
  EXPECT_EQ(set.get_last_trigger(), set.get_trigger_at(0));

  EXPECT_STREQ(set.to_string(),
               "   clock = negedge clk\n   trigger signal width = 2\n   data signal width = 2\n"
               "   trigger in pin = pin_a\n   sample depth = 64");
  set.enable_trigger_out(true);
  EXPECT_NE(std::string(set.to_string()).find("\n   trigger out node = node_b\n"),
            std::string::npos);
}

TEST_F(TdrTest, SignalSetSampleDepthIsCorrectedAndWrittenBack) {
  for (const auto& row : test_table("data/signal_set/sample_depths.txt")) {
    SCOPED_TRACE(row.at(0));
    SET_FILE f("<signal_set name=\"s\"><clock name=\"k\"/><config sample_depth=\"" + row[0] +
               "\"/><signal_vec><trigger_input_vec/></signal_vec></signal_set>");
    EXPECT_EQ(f.set->get_sample_depth(), std::stoi(row.at(1)));
    EXPECT_EQ(tdr_get_attr(f.doc.find("config"), TDR_X("sample_depth")), row.at(2));
  }
  // Absent keeps the default and writes nothing.
  SET_FILE absent("<signal_set name=\"s\"><config/><signal_vec/></signal_set>");
  EXPECT_EQ(absent.set->get_sample_depth(), 128);
  EXPECT_FALSE(tdr_has_attr(absent.doc.find("config"), TDR_X("sample_depth")));

  const struct { int in, out; bool valid; } direct[] = {
      {0, 0, true},      {INT_MIN, 0, false},       {65, 64, false},           {128, 128, true},
      {129, 128, false}, {1 << 30, 1 << 30, true}, {INT_MAX, 1 << 30, false}};
  for (const auto& c : direct) {
    int depth = c.in;
    EXPECT_EQ(TDR_DATA_SIGNAL_SET::validate_sample_depth(&depth), c.valid) << c.in;
    EXPECT_EQ(depth, c.out) << c.in;
  }
  EXPECT_FALSE(TDR_DATA_SIGNAL_SET::validate_sample_depth(nullptr));
  expect_internal_error("depth != NULL");

  // The setter corrects silently.
  absent.set->set_sample_depth(200);
  EXPECT_EQ(absent.set->get_sample_depth(), 128);
  EXPECT_EQ(tdr_get_attr(absent.doc.find("config"), TDR_X("sample_depth")), "128");
  absent.set->set_sample_depth(INT_MAX);
  EXPECT_EQ(absent.set->get_sample_depth(), 1 << 30);
}

TEST_F(TdrTest, SignalSetConfigAndFlagsAreNormalised) {
  GOLDEN_SET f("config_normalised");
  TDR_DATA_SIGNAL_SET& set = *f.set;
  EXPECT_TRUE(set.is_expanded());
  EXPECT_STREQ(set.get_clock_name(), TDR_DEFAULT_EXTERNAL_CLOCK_NAME);
  EXPECT_EQ(set.get_clock_polarity(), TDR_DATA_SIGNAL_SET::POSEDGE);
  EXPECT_EQ(set.get_velarn_ram_type(), TDR_RTYPE_MIDRAM_BLOCK);  // "auto" is no word
  EXPECT_EQ(ports(set), "in 0 - -, out 0 - n");
  EXPECT_EQ(set.get_reserved_trigger_node_size(), 0);
  EXPECT_EQ(set.get_ela_data_wire_width(), 12);  // the reserved data nodes
  EXPECT_EQ(set.get_top_entity_name(), nullptr);
  SET_FILE grand(
      "<signal_set name=\"\"><config ram_type=\"AUTO\"/><signal_vec/></signal_set>");
  EXPECT_EQ(grand.set->get_velarn_ram_type(), TDR_RTYPE_AUTO_BLOCK);
  // An empty name is replaced by a generated one, written back.
  EXPECT_EQ(std::string(grand.set->get_name()).compare(0, 10, "signal_set"), 0);
  EXPECT_EQ(tdr_get_attr(grand.set->get_dom_node(), TDR_X("name")), grand.set->get_name());
}

TEST_F(TdrTest, SignalSetMissingPartsAreCreated) {
  // No signal_vec: the lists, the warning, and no trigger objects.
  GOLDEN_SET f("no_signal_vec");
  expect_message("WTDR_EMPTY_SIGNAL_SET");
  EXPECT_EQ(f.set->get_num_triggers(), 0);
  EXPECT_EQ(f.set->find_trigger("t"), nullptr);
  // New parts are used by the setters.
  f.set->set_top_entity_name("top");
  f.set->set_clock("c", TDR_DATA_SIGNAL_SET::NEGEDGE);
  EXPECT_EQ(print_node(f.doc.find("top_entity")), "<top_entity name=\"top\"/>");
  EXPECT_EQ(print_node(f.doc.find("clock")), "<clock name=\"c\" polarity=\"negedge\"/>");

  // An empty element reads the same way.
  SET_FILE bare("<signal_set/>");
  expect_message("WTDR_EMPTY_SIGNAL_SET");
  EXPECT_EQ(bare.set->get_wire_size(), 0);
  EXPECT_NE(bare.set->get_data_view(), nullptr);
  EXPECT_STREQ(bare.set->get_clock_name(), TDR_DEFAULT_EXTERNAL_CLOCK_NAME);
}

TEST_F(TdrTest, SignalSetConvertsWiresDirectlyUnderSignalVec) {
  GOLDEN_SET f("wires_under_signal_vec");
  EXPECT_EQ(expect_message("WTDR_MISSING_NAME").args, (NAMES{"signal"}));
  TDR_DATA_SIGNAL_SET& set = *f.set;
  EXPECT_EQ(wire_names(set, false), (NAMES{"t0", "x", "d0", "k"}));
  EXPECT_EQ(wire_names(set, true), (NAMES{"d0", "x"}));
  // The repeated "d0" merged into one wire captured for both.
  EXPECT_EQ(set.get_wire("d0")->get_capture_type(), TDR_WTYPE_BOTH_CAPTURE);
  EXPECT_EQ(set.get_wire("d0")->get_signal_type(), TDR_STYPE_INPUT_PIN_SIGNAL);
  EXPECT_TRUE(set.get_wire("t0")->is_debug_port() && set.get_wire("k")->is_debug_port());
  EXPECT_STREQ(set.get_wire("t0")->get_debug_port_name(), "dbg");
  EXPECT_EQ(set.get_wire("k")->get_debug_port_name(), nullptr);
  EXPECT_EQ(set.get_wire("X"), set.get_wire("x"));
  EXPECT_STREQ(set.get_signal_connections(), "10");
}

TEST_F(TdrTest, SignalSetConvertsTheOldestFormatWithBusesAndNoViews) {
  GOLDEN_SET f("oldest_with_buses");
  // The nameless wire of the nested bus was moved out and then reported.
  expect_message("WTDR_MISSING_NAME");
  TDR_DATA_SIGNAL_SET& set = *f.set;
  EXPECT_EQ(wire_names(set, true), (NAMES{"s0", "cnt[0]", "in[0]", "cnt[2]"}));
  EXPECT_EQ(set.get_wire_size(), 7);
  // The rebuilt views find their wires and buses.
  TDR_DATA_SIGNAL_VIEW_NODE bus = set.get_setup_view()->find_bus_node("counter");
  EXPECT_STREQ(bus.get_name(), "cnt");
  EXPECT_EQ(bus.get_signal_type(), TDR_STYPE_REGISTER_SIGNAL);
  EXPECT_EQ(bus.get_last_child().get_data_wire(true), set.get_wire("cnt[1]"));
}

namespace {

// Wire elements of one input list; "-" is a wire without name.
std::string wire_elements(const NAMES& names) {
  std::string out;
  for (const std::string& n : names) out += n == "-" ? "<wire/>" : "<wire name=\"" + n + "\"/>";
  return out;
}

// The fingerprint of a version-1 set with clock "clk", one level, depth 128,
// no ports, all wires classic, and these lists ("(none)" has no name).
unsigned long expected_fingerprint(const NAMES& trigger, const NAMES& data) {
  std::string names = "clk^";
  for (const NAMES* list : {&data, &trigger}) {
    for (const std::string& n : *list) names += (n == "(none)" ? "" : n) + ";";
    names += "^";
  }
  std::string sizes = std::to_string(trigger.size()) + "|" + std::to_string(data.size()) +
                      "|1|128|N|N";
  return ref_crc16(sizes) << 16 | ref_crc16(names);
}

}  // namespace

// A name repeated in the trigger list is a wire of its own at its place; one
// repeated in the data list is the wire already there. Neither is a message.
TEST_F(TriggerTest, SignalSetReadsRepeatedAndNamelessWiresInPlace) {
  struct CASE {
    NAMES trigger_in, data_in;  // the file
    NAMES trigger, data;        // the lists read
    int missing_names, wire_size;
  } cases[] = {
      {{"a"}, {"a", "b", "a"}, {"a"}, {"a", "b"}, 0, 2},
      {{}, {"b", "b", "b"}, {}, {"b"}, 0, 1},
      {{"a", "b", "a"}, {"b"}, {"a", "b", "a"}, {"b"}, 0, 3},
      {{"a", "a", "-"}, {"a", "a", "-"}, {"a", "a", "(none)"}, {"a", "(none)"}, 2, 4},
      {{"-", "x", "-"}, {"-", "x", "x", "-"}, {"(none)", "x", "(none)"}, {"(none)", "x", "(none)"},
       4, 5},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(wire_elements(c.trigger_in) + " / " + wire_elements(c.data_in));
    std::string text = test_data("data/signal_set/repeated_wires.xml");
    text.replace(text.find("TRIGGER_WIRES"), 13, wire_elements(c.trigger_in));
    text.replace(text.find("DATA_WIRES"), 10, wire_elements(c.data_in));
    open_text(text);
    std::string saved;
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(message_ids(), NAMES(size_t(c.missing_names), "WTDR_MISSING_NAME"));
      forget_messages();
      EXPECT_EQ(wire_names(*set(), false), c.trigger);
      EXPECT_EQ(wire_names(*set(), true), c.data);
      EXPECT_EQ(set()->get_wire_size(), c.wire_size);
      EXPECT_EQ(std::string(set()->get_signal_connections()), std::string(c.data.size(), '1'));
      EXPECT_EQ(trigger()->get_log_at(0)->get_data_width(), int(c.data.size()));
      EXPECT_EQ(trigger()->get_crc_value(true), expected_fingerprint(c.trigger, c.data));
      if (pass == 0) saved = save_and_reopen();
    }
    // Every element of the file is kept, the repeated ones too.
    size_t elements = 0;
    for (size_t at = saved.find("<wire"); at != std::string::npos; at = saved.find("<wire", at + 1))
      ++elements;
    EXPECT_EQ(elements, c.trigger_in.size() + c.data_in.size());
  }
}

TEST_F(TdrTest, SignalSetWiresAreCreatedAndAppended) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_SET set(d.doc, "w");
  d.root()->appendChild(set.get_dom_node());
  TDR_DATA_SIGNAL_WIRE* n =
      set.create_wire("n", TDR_WTYPE_BOTH_CAPTURE, TDR_MTYPE_PROBEONLY_TAP, false, "N");
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(set.get_wire("n"), nullptr);  // not in the set until appended
  EXPECT_EQ(n->get_trigger_dom_node()->getParentNode(), nullptr);
  EXPECT_TRUE(set.append(n, true));
  EXPECT_EQ(set.get_wire("N"), n);
  EXPECT_STREQ(set.get_signal_connections(), "0");
  EXPECT_FALSE(set.get_connection_status());

  // An existing name or alias merges.
  EXPECT_EQ(set.create_wire("N", TDR_WTYPE_DATA_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, nullptr),
            n);
  TDR_DATA_SIGNAL_WIRE* m =
      set.create_wire("m", TDR_WTYPE_DATA_CAPTURE, TDR_MTYPE_CLASSIC_TAP, false, nullptr);
  EXPECT_TRUE(m->get_connection_status());  // classic refuses false
  EXPECT_TRUE(set.append(m, true));
  TDR_DATA_SIGNAL_WIRE* m2 =
      set.create_wire("m", TDR_WTYPE_TRIGGER_CAPTURE, TDR_MTYPE_ADVANCED_TAP, true, nullptr);
  EXPECT_EQ(m2, m);
  EXPECT_EQ(m->get_capture_type(), TDR_WTYPE_BOTH_CAPTURE);
  EXPECT_EQ(m->get_tap_mode(), TDR_MTYPE_CLASSIC_TAP);  // nothing else changes
  EXPECT_TRUE(set.append(m, true));
  EXPECT_TRUE(set.append(m, true));  // appending again changes nothing
  TDR_DATA_SIGNAL_WIRE* loose =
      set.create_wire("loose", TDR_WTYPE_TRIGGER_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, "");
  EXPECT_TRUE(set.append(loose, false));
  EXPECT_EQ(loose->get_trigger_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(wire_names(set, false), (NAMES{"n", "m", "loose"}));
  EXPECT_EQ(wire_names(set, true), (NAMES{"n", "m"}));
  EXPECT_STREQ(set.get_signal_connections(), "01");
  EXPECT_EQ(print_node(d.find("signal_vec")), test_data("data/signal_set/created_wires.saved.xml"));
  // The string keeps the statuses of the last append until it is recomputed.
  set.append(set.create_wire("p", TDR_WTYPE_DATA_CAPTURE, TDR_MTYPE_PROBEONLY_TAP, true, nullptr),
             false);
  EXPECT_TRUE(n->set_connection_status(true));
  EXPECT_STREQ(set.get_signal_connections(), "011");
  set.create_signal_connections();
  EXPECT_STREQ(set.get_signal_connections(), "111");
  EXPECT_TRUE(set.get_connection_status());

  EXPECT_EQ(set.create_wire(nullptr, TDR_WTYPE_DATA_CAPTURE, TDR_MTYPE_CLASSIC_TAP, true, nullptr),
            nullptr);
  expect_internal_error("name != NULL");
  EXPECT_FALSE(set.append(static_cast<TDR_DATA_SIGNAL_WIRE*>(nullptr), true));
  expect_internal_error("wire != NULL");
}

TEST_F(TdrTest, SignalSetRenamesAliasesUnlessTaken) {
  GOLDEN_SET f("current");
  forget_messages();
  TDR_DATA_SIGNAL_SET& set = *f.set;
  TDR_DATA_SIGNAL_WIRE* a = set.get_wire("a");
  TDR_DATA_SIGNAL_WIRE* b = set.get_wire("b");
  EXPECT_TRUE(set.rename_signal_alias("b", "B"));  // unchanged
  EXPECT_FALSE(set.rename_signal_alias("b", "a"));  // another wire's name
  EXPECT_FALSE(set.rename_signal_alias("b", "b"));  // its own name is taken too
  EXPECT_FALSE(set.rename_signal_alias("a", "B"));  // another wire's alias
  EXPECT_STREQ(b->get_alias(), "B");
  EXPECT_FALSE(set.rename_signal_alias("zzz", "q"));

  EXPECT_TRUE(set.rename_signal_alias("B", "bee"));
  EXPECT_EQ(set.get_wire("bee"), b);
  EXPECT_EQ(set.get_wire("B"), nullptr);
  EXPECT_EQ(set.get_wire("b"), b);
  for (DOMElement* side : {b->get_trigger_dom_node(), b->get_data_dom_node()})
    EXPECT_EQ(tdr_get_attr(side, TDR_X("alias")), "bee");
  EXPECT_FALSE(set.rename_signal_alias("a", "bee"));

  EXPECT_TRUE(set.rename_signal_alias("bee", ""));
  EXPECT_EQ(b->get_alias(), nullptr);
  EXPECT_EQ(set.get_wire("bee"), nullptr);
  EXPECT_EQ(set.get_wire("b"), b);
  for (DOMElement* side : {b->get_trigger_dom_node(), b->get_data_dom_node()})
    EXPECT_FALSE(tdr_has_attr(side, TDR_X("alias")));
  EXPECT_STREQ(set.get_trigger_wire_alias_at(1), "b");

  // An empty alias counts as none.
  EXPECT_TRUE(set.rename_signal_alias("a", nullptr));
  EXPECT_TRUE(set.rename_signal_alias("a", "A"));
  EXPECT_EQ(set.get_wire("A"), a);
  EXPECT_TRUE(set.rename_signal_alias("A", nullptr));
  EXPECT_EQ(set.get_wire("a"), a);

  EXPECT_FALSE(set.rename_signal_alias(nullptr, "x"));
  expect_internal_error("name_or_alias != NULL");

  // Changing a listed wire's alias directly keeps the set's index right.
  const std::string long_alias(200, 'L');
  b->set_alias("short");
  b->set_alias(long_alias.c_str());
  EXPECT_EQ(set.get_wire(long_alias.c_str()), b);
  EXPECT_EQ(set.get_wire("short"), nullptr);
  b->del_alias();
  EXPECT_EQ(set.get_wire(long_alias.c_str()), nullptr);
  EXPECT_EQ(set.get_wire("b"), b);
}

TEST_F(TdrTest, SignalSetSettersWriteTheElement) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_SET set(d.doc, "s");
  d.root()->appendChild(set.get_dom_node());
  set.set_trigger_in_node("n_in");
  set.set_trigger_out_pin("p_out");
  set.enable_trigger_in(true);
  set.enable_trigger_out(false);
  set.set_reserved_data_node_size(-5);
  set.set_reserved_trigger_node_size(3);
  set.set_velarn_ram_type(TDR_RTYPE_GRANDRAM_BLOCK);
  set.set_sample_depth(1000);
  expect_golden("data/signal_set", "setters_config.saved.xml", print_node(d.find("config")));
  // Pin and node of one port exclude each other.
  set.set_trigger_in_pin("p_in");
  set.set_trigger_out_node("n_out");
  EXPECT_EQ(ports(set), "in 1 p_in -, out 0 - n_out");
  set.set_trigger_in_node("");
  EXPECT_EQ(set.get_trigger_in_pin(), nullptr);
  set.set_trigger_in_pin("p2");  // an empty node is not "set": its attribute stays
  expect_golden("data/signal_set", "setters_ports.saved.xml", print_node(d.find("config")));

  set.set_clock("c2", TDR_DATA_SIGNAL_SET::NEGEDGE);
  set.set_clock(TDR_DATA_SIGNAL_SET::POSEDGE);
  EXPECT_EQ(print_node(d.find("clock")), "<clock name=\"c2\" polarity=\"posedge\"/>");
  set.set_clock("", TDR_DATA_SIGNAL_SET::NEGEDGE);
  EXPECT_STREQ(set.get_clock_name(), TDR_DEFAULT_EXTERNAL_CLOCK_NAME);
  EXPECT_EQ(set.get_clock_polarity(), TDR_DATA_SIGNAL_SET::NEGEDGE);
  set.set_clock("c3", TDR_DATA_SIGNAL_SET::NEGEDGE);
  set.create_default_external_clock();
  EXPECT_EQ(print_node(d.find("clock")),
            "<clock name=\"auto_tvf_external_clock\" polarity=\"negedge\"/>");
  set.set_top_entity_name("top");
  EXPECT_TRUE(set.set_expanded_status(true));
  EXPECT_TRUE(set.set_name("renamed"));  // no instance: nothing to collide with
  EXPECT_EQ(tdr_get_attr(set.get_dom_node(), TDR_X("name")), "renamed");
  EXPECT_EQ(tdr_get_attr(set.get_dom_node(), TDR_X("is_expanded")), "true");
  set.set_global_temp();
  EXPECT_TRUE(set.is_global_temp());

  // Null names are caller errors and change nothing.
  set.set_clock(nullptr, TDR_DATA_SIGNAL_SET::POSEDGE);
  set.set_top_entity_name(nullptr);
  set.set_trigger_in_pin(nullptr);
  set.set_trigger_in_node(nullptr);
  set.set_trigger_out_pin(nullptr);
  set.set_trigger_out_node(nullptr);
  EXPECT_FALSE(set.set_name(nullptr));
  for (int i = 0; i < 7; ++i) expect_internal_error("name != NULL");
  EXPECT_EQ(set.get_clock_polarity(), TDR_DATA_SIGNAL_SET::NEGEDGE);
  EXPECT_STREQ(set.get_top_entity_name(), "top");
  EXPECT_STREQ(set.get_name(), "renamed");
}

TEST_F(TdrTest, SignalSetTriggersAndTheGlobalTrigger) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_SET set(d.doc, "s");
  TDR_DATA_TRIGGER* t1 = set.create_trigger("t1", false);
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(set.create_trigger("t1", false), nullptr);
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args, (NAMES{"t1"}));
  TDR_DATA_TRIGGER* t2 = set.create_trigger(nullptr, false);
  ASSERT_NE(t2, nullptr);
  EXPECT_EQ(std::string(t2->get_name()).compare(0, 7, "trigger"), 0);
  EXPECT_EQ(set.get_num_triggers(), 2);
  EXPECT_EQ(set.get_last_trigger(), t2);

  TDR_DATA_TRIGGER* g = set.create_trigger("g", true);
  EXPECT_TRUE(g->is_global_temp());
  EXPECT_EQ(set.get_global_trigger(), g);
  EXPECT_EQ(set.get_num_triggers(), 2);
  EXPECT_EQ(set.find_trigger("g"), g);
  // A global log under the global trigger goes with it.
  TDR_DATA_LOG* log = new TDR_DATA_LOG(d.doc, "L");
  log->set_trigger(g);
  g->get_dom_node()->appendChild(log->get_dom_node());
  log->set_global_temp();
  g->set_global_log(log);
  TDR_DATA_TRIGGER* g2 = set.create_trigger("g2", true);
  EXPECT_EQ(set.get_global_trigger(), g2);
  EXPECT_EQ(set.find_trigger("g"), nullptr);
  EXPECT_EQ(d.doc->getElementsByTagName(TDR_X("data"))->getLength(), 0u);

  // Renaming within the set, and removing.
  EXPECT_FALSE(t2->set_name("t1"));
  EXPECT_TRUE(t2->set_name("t3"));
  EXPECT_EQ(set.find_trigger("t3"), t2);
  EXPECT_EQ(tdr_get_attr(t2->get_dom_node(), TDR_X("name")), "t3");
  t1->remove();
  EXPECT_EQ(set.get_num_triggers(), 1);
  EXPECT_EQ(set.find_trigger("t1"), nullptr);
  EXPECT_EQ(set.get_trigger_at(0), t2);
  g2->remove();
  EXPECT_EQ(set.get_global_trigger(), nullptr);
  EXPECT_EQ(print_node(set.get_dom_node()).find("<trigger name=\"t1\""), std::string::npos);

  // Appending by hand refuses a taken name.
  TDR_DATA_TRIGGER* same = new TDR_DATA_TRIGGER(d.doc, "t3");
  EXPECT_FALSE(set.append(same, true));
  delete same;
}

TEST_F(TdrTest, SignalSetSurvivesDeeplyNestedOldBuses) {
  const int depth = 3000;
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<bus name=\"b" + std::to_string(i) + "\"><wire name=\"w" + std::to_string(i) + "\"/>";
    close += "</bus>";
  }
  SET_FILE f("<signal_set name=\"deep\"><signal_vec>" + open + close +
             "</signal_vec></signal_set>");
  EXPECT_EQ(f.set->get_wire_size(), depth);
  EXPECT_STREQ(f.set->get_data_wire_at(depth - 1)->get_name(), ("w" + std::to_string(depth - 1)).c_str());
  EXPECT_EQ(f.doc.find("signal_vec")->getElementsByTagName(TDR_X("bus"))->getLength(), 0u);
  // Each level became one top-level bus with its one net.
  int buses = 0;
  for (TDR_DATA_SIGNAL_VIEW_NODE n = f.set->get_data_view()->get_first_node(); !n.is_null();
       n = n.get_next_sibling()) {
    ASSERT_TRUE(n.is_bus());
    ASSERT_STREQ(n.get_first_child().get_name(), ("w" + std::to_string(buses)).c_str());
    ++buses;
  }
  EXPECT_EQ(buses, depth);
}

TEST_F(TdrTest, SignalSetInsideASessionFile) {
  std::string path = temp_path("in.xml");
  write_file(path, test_data("data/signal_set/inside_session.xml"));
  std::unique_ptr<TDR_DATA_SESSION> session(new TDR_DATA_SESSION(path.c_str()));
  TDR_DATA_INSTANCE* instance = session->find_instance("i");
  ASSERT_NE(instance, nullptr);
  TDR_DATA_SIGNAL_SET* s1 = instance->find_signal_set("s1");
  TDR_DATA_SIGNAL_SET* s2 = instance->find_signal_set("s2");
  ASSERT_NE(s1, nullptr);
  ASSERT_NE(s2, nullptr);
  EXPECT_EQ(s1->get_instance(), instance);
  EXPECT_EQ(s2->get_wire("x")->get_capture_type(), TDR_WTYPE_TRIGGER_CAPTURE);

  // The session's active trigger comes before the last one.
  TDR_DATA_TRIGGER* t1 = s1->find_trigger("t1");
  EXPECT_EQ(s1->get_last_trigger(), t1);

  // Renaming within the instance.
  EXPECT_FALSE(s1->set_name("s2"));
  EXPECT_STREQ(s1->get_name(), "s1");
  EXPECT_EQ(tdr_get_attr(s1->get_dom_node(), TDR_X("name")), "s1");
  EXPECT_EQ(instance->find_signal_set("s2"), s2);
  EXPECT_TRUE(s1->set_name("s3"));
  EXPECT_EQ(instance->find_signal_set("s3"), s1);
  EXPECT_EQ(instance->find_signal_set("s1"), nullptr);

  // An instance compiled incrementally connects every new wire.
  TDR_DATA_SIGNAL_WIRE* p =
      s1->create_wire("p", TDR_WTYPE_DATA_CAPTURE, TDR_MTYPE_PROBEONLY_TAP, false, nullptr);
  EXPECT_TRUE(p->get_connection_status());
  s1->append(p, true);
  EXPECT_STREQ(s1->get_signal_connections(), "11");

  // Removing the active trigger also forgets it as the active one.
  t1->remove();
  EXPECT_EQ(s1->get_last_trigger(), s1->find_trigger("t2"));

  TDR_DATA_SIGNAL_SET* g = instance->create_signal_set("g", true);
  ASSERT_EQ(instance->get_global_signal_set(), g);
  g->remove();
  EXPECT_EQ(instance->get_global_signal_set(), nullptr);
  s2->remove();
  EXPECT_EQ(instance->get_num_signal_sets(), 1);
  EXPECT_EQ(instance->find_signal_set("s2"), nullptr);

  // Saved: the removed set and trigger are gone.
  ASSERT_TRUE(session->save_as(temp_path("out.xml").c_str(), true, true));
  expect_golden("data/signal_set", "inside_session.saved.xml", read_file(temp_path("out.xml")));
}
