#include <string>
#include <vector>

#include "tdr_data_bus_mnemonics_plugin.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_test_support.h"
#include "tdr_test_support.h"

namespace {

struct VIEW_FIXTURE {
  VIEW_FIXTURE()
      : doc(read_file(source_dir() + "/tests/data/data/signal_set/view.xml")),
        set(doc.doc, doc.find("signal_set"), nullptr) {}
  TEST_XML_DOC doc;
  TDR_DATA_SIGNAL_SET set;
  TDR_DATA_SIGNAL_VIEW& data() { return *set.get_data_view(); }
  TDR_DATA_SIGNAL_VIEW& setup() { return *set.get_setup_view(); }
};

// Names of the node and its siblings, following them forwards or backwards.
std::vector<std::string> names(TDR_DATA_SIGNAL_VIEW_NODE node, bool forward = true) {
  std::vector<std::string> out;
  for (; !node.is_null(); node = forward ? node.get_next_sibling() : node.get_prev_sibling())
    out.push_back(node.get_name() ? node.get_name() : "(none)");
  return out;
}

// Every user option from the first on, as "name=value/type", then the
// internal ones as "name=value"; `name` is left as the last one read.
std::string options(TDR_DATA_BUS_MNEMONICS_PLUGIN& record, std::string& name) {
  std::string value, out;
  TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type = TDR_OTYPE_INTEGER_OPTION;
  for (bool ok = record.get_first_user_option(&name, &value, &type); ok;
       ok = record.get_next_user_option(&name, &value, &type))
    out += name + "=" + value + "/" + (type == TDR_OTYPE_FILE_OPTION      ? "file "
                                       : type == TDR_OTYPE_INTEGER_OPTION ? "integer "
                                                                          : "string ");
  out += "|";
  std::string last = name;
  for (bool ok = record.get_first_internal_option(&name, &value); ok;
       ok = record.get_next_internal_option(&name, &value))
    out += " " + name + "=" + value;
  name = last;
  return out;
}

typedef std::vector<std::string> NAMES;

}  // namespace

TEST_F(TdrTest, ViewNavigationSkipsWhatIsNotANetOrBusAndFindsBusesByNameThenAlias) {
  VIEW_FIXTURE f;
  TDR_DATA_SIGNAL_VIEW_NODE bus = f.data().get_first_node();
  ASSERT_TRUE(bus.is_bus());
  EXPECT_EQ(bus.get_view(), &f.data());
  EXPECT_EQ(names(bus), (NAMES{"a", "c"}));
  // Members, forwards and backwards, with "mnemonics_plugin" after the last net.
  EXPECT_EQ(names(bus.get_first_child()), (NAMES{"A0", "a[1]"}));
  EXPECT_EQ(names(bus.get_last_child(), false), (NAMES{"a[1]", "A0"}));
  EXPECT_TRUE(bus.get_last_child().get_next_sibling().is_null());
  EXPECT_TRUE(bus.get_first_child().get_prev_sibling().is_null());
  TDR_DATA_SIGNAL_VIEW_NODE net = bus.get_next_sibling();
  EXPECT_FALSE(net.is_bus());
  EXPECT_TRUE(net.get_first_child().is_null() && net.get_last_child().is_null());
  EXPECT_EQ(f.data().get_first_child(), bus.get_dom_node());

  // Null nodes navigate to null nodes.
  TDR_DATA_SIGNAL_VIEW_NODE none;
  EXPECT_TRUE(none.get_next_sibling().is_null() && none.get_first_child().is_null());
  EXPECT_EQ(none.get_name(), nullptr);
  EXPECT_EQ(none.get_bus_display_type(), TDR_GTYPE_HEX_DISPLAY);

  // A nested bus is a member of its bus.
  TDR_DATA_SIGNAL_VIEW_NODE outer = f.setup().get_first_node();
  EXPECT_EQ(names(outer), (NAMES{"outer", "x", "a", "gone"}));
  EXPECT_TRUE(outer.get_first_child().is_bus());
  EXPECT_EQ(names(outer.get_first_child().get_first_child()), (NAMES{"t"}));

  // By name, then alias: "inner" is the alias of "x" but the name of a nested
  // bus that comes first; "a" is the alias of that bus, before the bus "a".
  EXPECT_STREQ(f.setup().find_bus_node("inner").get_name(), "inner");
  EXPECT_STREQ(f.setup().find_bus_node("a").get_name(), "inner");
  EXPECT_STREQ(f.data().find_bus_node("bus_a").get_name(), "a");
  EXPECT_TRUE(f.setup().find_bus_node("A").is_null());
  EXPECT_TRUE(f.setup().find_bus_node("t").is_null());  // a net, not a bus
  EXPECT_TRUE(f.setup().find_bus_node(nullptr).is_null());
}

TEST_F(TdrTest, ViewBusReadersAndTheirDefaults) {
  VIEW_FIXTURE f;
  TDR_DATA_SIGNAL_VIEW_NODE bus = f.data().get_first_node();
  EXPECT_STREQ(bus.get_alias(), "bus_a");
  EXPECT_EQ(bus.get_signal_type(), TDR_STYPE_OUTPUT_PIN_SIGNAL);
  EXPECT_EQ(bus.get_bus_linking_type(), TDR_LTYPE_BASIC_LINK | TDR_LTYPE_RADIX_LINK);
  EXPECT_STREQ(bus.get_mnemonics_table(), "tbl");
  // A named table wins over "radix".
  EXPECT_EQ(bus.get_bus_display_type(), TDR_GTYPE_MNEMONICS_DISPLAY);
  EXPECT_FALSE(bus.is_bus_expanded());
  EXPECT_FALSE(bus.is_lsb_to_msb());
  EXPECT_FALSE(bus.is_signal_inverted());  // "true" is not "yes"
  EXPECT_EQ(bus.get_mnemonics_plugin(), nullptr);

  // An emptied table name leaves the attribute and lets "radix" speak.
  EXPECT_TRUE(bus.set_mnemonics_table(""));
  EXPECT_TRUE(tdr_has_attr(bus.get_dom_node(), TDR_X("mnemonics")));
  EXPECT_STREQ(bus.get_mnemonics_table(), "");
  EXPECT_EQ(bus.get_bus_display_type(), TDR_GTYPE_BIN_DISPLAY);

  TDR_DATA_SIGNAL_VIEW_NODE net = bus.get_next_sibling();
  EXPECT_TRUE(net.is_signal_inverted());
  EXPECT_TRUE(net.is_bus_expanded() && net.is_lsb_to_msb());
  EXPECT_EQ(net.get_bus_linking_type(), TDR_LTYPE_NO_LINK);

  // Bare buses read their defaults.
  TDR_DATA_SIGNAL_VIEW_NODE x = f.setup().find_bus_node("x");
  EXPECT_EQ(x.get_signal_type(), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_EQ(x.get_bus_display_type(), TDR_GTYPE_HEX_DISPLAY);
  EXPECT_EQ(x.get_bus_linking_type(), TDR_LTYPE_NO_LINK);
  EXPECT_TRUE(x.is_bus_expanded() && x.is_lsb_to_msb());
  EXPECT_EQ(x.get_mnemonics_table(), nullptr);
  for (const char* order : {"x", "MSB_TO_LSB", "msb_to_lsb"}) {
    tdr_set_attr(x.get_dom_node(), TDR_X("order"), order);
    EXPECT_FALSE(x.is_lsb_to_msb()) << order;
  }
}

TEST_F(TdrTest, ViewBusSettersWriteTheirWords) {
  VIEW_FIXTURE f;
  TDR_DATA_SIGNAL_VIEW_NODE bus = f.setup().find_bus_node("x");
  for (bool ok : {bus.set_name("y"), bus.set_alias("why"),
                  bus.set_signal_type(TDR_STYPE_COMBINATORIAL_SIGNAL),
                  bus.set_bus_linking_type(static_cast<TDR_DATA_GROUP_LINKING_TYPE>(6)),
                  bus.set_bus_display_type(TDR_GTYPE_SIGNED_DEC_DISPLAY), bus.set_lsb_to_msb(false),
                  bus.set_signal_inverted(true), bus.set_bus_display_state(false)})
    EXPECT_TRUE(ok);
  EXPECT_EQ(print_node(bus.get_dom_node()),
            "<bus alias=\"why\" is_signal_inverted=\"yes\" link=\"wire_order|radix\" "
            "name=\"y\" order=\"msb_to_lsb\" radix=\"signed_dec\" state=\"collapse\" "
            "type=\"combinatorial\"/>");
  // The words written read back.
  TDR_DATA_SIGNAL_VIEW_NODE fresh(bus.get_dom_node(), &f.setup());
  EXPECT_EQ(fresh.get_signal_type(), TDR_STYPE_COMBINATORIAL_SIGNAL);
  EXPECT_FALSE(fresh.is_bus_expanded());
  EXPECT_EQ(fresh.get_bus_display_type(), TDR_GTYPE_SIGNED_DEC_DISPLAY);
  EXPECT_TRUE(bus.set_bus_display_state(true));
  EXPECT_TRUE(bus.is_bus_expanded());
  EXPECT_EQ(fresh.get_bus_linking_type(), TDR_LTYPE_WIRE_ORDER_LINK | TDR_LTYPE_RADIX_LINK);

  // Bus-only settings refuse a net and leave it alone.
  TDR_DATA_SIGNAL_VIEW_NODE net = f.data().get_first_node().get_next_sibling();
  std::string before = print_node(net.get_dom_node());
  for (bool ok : {net.set_bus_linking_type(TDR_LTYPE_ALL_LINK),
                  net.set_bus_display_type(TDR_GTYPE_OCT_DISPLAY), net.set_lsb_to_msb(true),
                  net.set_mnemonics_table("t"), net.set_bus_display_state(false)})
    EXPECT_FALSE(ok);
  EXPECT_EQ(print_node(net.get_dom_node()), before);
  EXPECT_TRUE(net.set_signal_inverted(false));
  EXPECT_FALSE(net.is_signal_inverted());

  bus.set_name(nullptr);
  expect_internal_error("name != NULL");
  EXPECT_STREQ(bus.get_name(), "y");
}

TEST_F(TdrTest, ViewNetNodesSpeakForTheirWires) {
  VIEW_FIXTURE f;
  TDR_DATA_SIGNAL_VIEW_NODE a0 = f.data().get_first_node().get_first_child();
  // The node names the wire by its alias.
  EXPECT_STREQ(a0.get_name(), "A0");
  EXPECT_STREQ(a0.get_alias(), "A0");
  EXPECT_EQ(a0.get_signal_type(), TDR_STYPE_REGISTER_SIGNAL);
  TDR_DATA_SIGNAL_WIRE* wire = a0.get_data_wire(true);
  ASSERT_NE(wire, nullptr);
  EXPECT_STREQ(wire->get_name(), "a[0]");

  TDR_DATA_SIGNAL_VIEW_NODE a1 = a0.get_next_sibling();
  EXPECT_EQ(a1.get_alias(), nullptr);
  EXPECT_TRUE(a1.set_alias("A1"));
  EXPECT_STREQ(a1.get_alias(), "A1");
  EXPECT_EQ(f.set.get_wire("A1"), f.set.get_wire("a[1]"));
  // The wire changed on both of its sides.
  for (DOMElement* side : {f.set.get_wire("a[1]")->get_trigger_dom_node(),
                           f.set.get_wire("a[1]")->get_data_dom_node()})
    EXPECT_EQ(tdr_get_attr(side, TDR_X("alias")), "A1");
  // An alias taken by another wire is refused by the set; the net still
  // found its wire.
  EXPECT_TRUE(a1.set_alias("A0"));
  EXPECT_STREQ(a1.get_alias(), "A1");
  EXPECT_EQ(f.set.get_wire("A0"), wire);

  EXPECT_TRUE(a1.set_signal_type(TDR_STYPE_MEMORY_SIGNAL));
  EXPECT_EQ(f.set.get_wire("a[1]")->get_signal_type(), TDR_STYPE_MEMORY_SIGNAL);
  EXPECT_EQ(tdr_get_attr(f.set.get_wire("a[1]")->get_data_dom_node(), TDR_X("type")), "memory");
  // A net writes no alias or type of its own.
  EXPECT_EQ(print_node(a1.get_dom_node()), "<net name=\"a[1]\"/>");

  // A net whose wire is gone.
  TDR_DATA_SIGNAL_VIEW_NODE gone = f.setup().get_first_node();
  while (!gone.is_null() && gone.is_bus()) gone = gone.get_next_sibling();
  ASSERT_STREQ(gone.get_name(), "gone");
  EXPECT_EQ(gone.get_alias(), nullptr);
  EXPECT_EQ(gone.get_signal_type(), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_FALSE(gone.set_alias("g"));
  EXPECT_FALSE(gone.set_signal_type(TDR_STYPE_MEMORY_SIGNAL));
  EXPECT_EQ(gone.get_data_wire(false), nullptr);
  EXPECT_EQ(gone.get_data_wire(true), nullptr);
  EXPECT_EQ(expect_message("WTDR_INVALID_SIGNAL_REF").args, (NAMES{"gone"}));

  TDR_DATA_SIGNAL_VIEW_NODE unnamed = f.data().create_net_node("x");
  unnamed.get_dom_node()->removeAttribute(TDR_X("name"));
  TDR_DATA_SIGNAL_VIEW_NODE fresh(unnamed.get_dom_node(), &f.data());
  EXPECT_EQ(fresh.get_data_wire(true), nullptr);
  MSG_RECORD m = expect_message("WTDR_INVALID_SIGNAL_REF");
  EXPECT_EQ(m.args, (NAMES{"unspecified"}));
  EXPECT_EQ(m.text, "Signal \"unspecified\" does not exist in Tavrin File");
}

TEST_F(TdrTest, ViewStructureOperations) {
  VIEW_FIXTURE f;
  TDR_DATA_SIGNAL_VIEW& view = f.data();
  TDR_DATA_SIGNAL_VIEW_NODE bus = view.get_first_node();
  TDR_DATA_SIGNAL_VIEW_NODE last_member = bus.get_last_child();

  // After the last net the new node goes to the end of the bus, past the
  // plug-in settings, and navigation still finds it.
  TDR_DATA_SIGNAL_VIEW_NODE n1 = view.create_net_node("n1");
  EXPECT_EQ(n1.get_dom_node()->getParentNode(), nullptr);
  EXPECT_TRUE(last_member.append_after(n1));
  EXPECT_EQ(bus.get_dom_node()->getLastChild(), n1.get_dom_node());
  EXPECT_EQ(names(bus.get_first_child()), (NAMES{"A0", "a[1]", "n1"}));

  TDR_DATA_SIGNAL_VIEW_NODE n2 = view.create_net_node("n2");
  EXPECT_TRUE(bus.get_first_child().append_after(n2));
  EXPECT_EQ(names(bus.get_first_child()), (NAMES{"A0", "n2", "a[1]", "n1"}));
  TDR_DATA_SIGNAL_VIEW_NODE n3 = view.create_net_node("n3");
  EXPECT_TRUE(bus.get_first_child().insert_before(n3));
  EXPECT_EQ(names(bus.get_first_child()), (NAMES{"n3", "A0", "n2", "a[1]", "n1"}));

  // Moving an existing node.
  EXPECT_TRUE(bus.insert_before(n1));
  EXPECT_EQ(names(view.get_first_node()), (NAMES{"n1", "a", "c"}));
  EXPECT_TRUE(bus.append_child(n1));
  EXPECT_EQ(names(bus.get_last_child(), false), (NAMES{"n1", "a[1]", "n2", "A0", "n3"}));

  // Refusals: null handles, nets as parents, nodes without parent, cycles.
  TDR_DATA_SIGNAL_VIEW_NODE none;
  EXPECT_FALSE(bus.append_after(none));
  EXPECT_FALSE(none.append_after(n1));
  EXPECT_FALSE(n1.append_child(view.create_net_node("z")));
  TDR_DATA_SIGNAL_VIEW_NODE loose = view.create_net_node("loose");
  EXPECT_FALSE(loose.insert_before(n2));
  EXPECT_TRUE(loose.append_after(n2));  // no parent: nothing to do
  EXPECT_EQ(n2.get_dom_node()->getParentNode(), bus.get_dom_node());
  EXPECT_FALSE(n1.insert_before(bus));  // a bus cannot go inside itself
  EXPECT_FALSE(bus.append_child(bus));

  // Removing makes the handle null; the element is gone from the view.
  DOMElement* removed = n3.get_dom_node();
  EXPECT_TRUE(n3.remove());
  EXPECT_TRUE(n3.is_null());
  EXPECT_EQ(removed->getParentNode(), nullptr);
  EXPECT_FALSE(n3.remove());
  EXPECT_FALSE(loose.remove());

  // Clones are unattached copies.
  TDR_DATA_SIGNAL_VIEW_NODE deep = bus.clone(true);
  TDR_DATA_SIGNAL_VIEW_NODE shallow = bus.clone(false);
  EXPECT_EQ(deep.get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(names(deep.get_first_child()), (NAMES{"A0", "n2", "a[1]", "n1"}));
  EXPECT_TRUE(shallow.get_first_child().is_null());
  EXPECT_STREQ(shallow.get_alias(), "bus_a");
  EXPECT_TRUE(none.clone(true).is_null());
}

TEST_F(TdrTest, ViewInsertFirstAppendAndRemoveAll) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_SET set(d.doc, "s");
  TDR_DATA_SIGNAL_VIEW& view = *set.get_setup_view();
  EXPECT_TRUE(view.get_first_node().is_null());
  view.insert_first_node(view.create_net_node("b"));
  view.insert_first_node(view.create_net_node("a"));
  view.append_node(view.create_bus_node("c"));
  view.append_node(TDR_DATA_SIGNAL_VIEW_NODE());
  EXPECT_EQ(names(view.get_first_node()), (NAMES{"a", "b", "c"}));
  EXPECT_TRUE(view.get_first_node().get_next_sibling().get_next_sibling().is_bus());

  DOMElement* presentation = set.get_dom_node()->getLastElementChild();
  ASSERT_EQ(tdr_narrow(presentation->getTagName()), "presentation");
  TDR_DATA_SIGNAL_VIEW_NODE kept = view.get_first_node();
  DOMElement* old_element = view.get_dom_node();
  view.remove_all_view_nodes();
  EXPECT_NE(view.get_dom_node(), old_element);
  EXPECT_EQ(old_element->getParentNode(), nullptr);
  EXPECT_TRUE(view.get_first_node().is_null());
  // The empty view now follows the data view, as it did, at the end.
  EXPECT_EQ(print_node(presentation), "<presentation>\n  <data_view/>\n  <setup_view/>\n</presentation>");
  // A handle from before still reads its (detached) element.
  EXPECT_STREQ(kept.get_name(), "a");

  set.get_data_view()->remove_all_view_nodes();
  EXPECT_EQ(print_node(presentation), "<presentation>\n  <setup_view/>\n  <data_view/>\n</presentation>");

  TDR_DATA_SIGNAL_VIEW_NODE bad = view.create_net_node(nullptr);
  expect_internal_error("name != NULL");
  EXPECT_TRUE(bad.is_null());

  // A view of an unknown type has no element.
  TDR_DATA_SIGNAL_VIEW odd(d.doc, static_cast<TDR_DATA_SIGNAL_VIEW::VIEW_TYPE>(5), &set);
  EXPECT_EQ(odd.get_dom_node(), nullptr);
  EXPECT_TRUE(odd.get_first_node().is_null());
  expect_internal_error("m_element != NULL");
  TDR_DATA_SIGNAL_VIEW made(d.doc, TDR_DATA_SIGNAL_VIEW::SETUP_VIEW, &set);
  EXPECT_EQ(print_node(made.get_dom_node()), "<setup_view/>");
}

TEST_F(TdrTest, PluginRecordLivesOnlyOnPlugInBuses) {
  VIEW_FIXTURE f;
  TDR_DATA_SIGNAL_VIEW_NODE bus = f.setup().get_first_node().get_next_sibling().get_next_sibling();
  ASSERT_STREQ(bus.get_name(), "a");
  EXPECT_EQ(bus.get_bus_display_type(), TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY);
  std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN> record = bus.get_mnemonics_plugin();
  ASSERT_NE(record, nullptr);
  // The missing element was created on the bus.
  EXPECT_EQ(record->get_dom_node()->getParentNode(), bus.get_dom_node());
  EXPECT_EQ(record->get_plugin_name(), nullptr);
  EXPECT_EQ(record->get_width(), 0);
  record->set_plugin_name("decoder");
  record->set_table_name("opcodes");
  record->set_width(8);
  record->reset_user_option();
  record->add_user_option("mode", "fast", TDR_OTYPE_INTEGER_OPTION);
  record->add_user_option("file", "/tmp/x", TDR_OTYPE_FILE_OPTION);
  record->reset_internal_option();
  record->add_internal_option("k", "v");
  EXPECT_EQ(print_node(bus.get_dom_node()),
            test_data("data/signal_set/plugin_record.saved.xml"));
  // Navigation in the bus ignores the settings element.
  EXPECT_TRUE(bus.get_first_child().is_null());

  // A second record on the same element sees the first's settings; at the end
  // of a list the outputs stay as they were.
  std::unique_ptr<TDR_DATA_BUS_MNEMONICS_PLUGIN> again = bus.get_mnemonics_plugin();
  EXPECT_EQ(again->get_dom_node(), record->get_dom_node());
  EXPECT_STREQ(again->get_plugin_name(), "decoder");
  EXPECT_STREQ(again->get_table_name(), "opcodes");
  EXPECT_EQ(again->get_width(), 8);
  std::string name, value;
  EXPECT_EQ(options(*again, name), "mode=fast/integer file=/tmp/x/file | k=v");
  EXPECT_EQ(name, "file");
  TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type = TDR_OTYPE_STRING_OPTION;
  EXPECT_FALSE(again->get_next_user_option(&name, &value, &type));

  // Other buses give no record.
  EXPECT_EQ(f.setup().find_bus_node("x").get_mnemonics_plugin(), nullptr);
  EXPECT_EQ(f.data().get_first_node().get_next_sibling().get_mnemonics_plugin(), nullptr);
}

TEST_F(TdrTest, PluginRecordOptionsAndBadCalls) {
  TEST_XML_DOC d(
      "<mnemonics_plugin plugin_name=\"\" width=\"x\"><user_option>"
      "<option name=\"a\" type=\"File\"/><junk/><option value=\"2\"/>"
      "<option name=\"c\" value=\"3\" type=\"file\"/>"
      "</user_option></mnemonics_plugin>");
  TDR_DATA_BUS_MNEMONICS_PLUGIN record(d.root());
  EXPECT_EQ(record.get_plugin_name(), nullptr);
  EXPECT_EQ(record.get_width(), 0);
  std::string name = "?", value = "?";
  TDR_DATA_MNEMONICS_PLUGIN_OPTION_TYPE type = TDR_OTYPE_INTEGER_OPTION;
  // get_next before get_first has no current option.
  EXPECT_FALSE(record.get_next_user_option(&name, &value, &type));
  EXPECT_EQ(name, "?");
  // "File" is not a word and a missing type is a string.
  EXPECT_EQ(options(record, name), "a=/string =2/string c=3/file |");

  // No internal list: nothing to read and nothing to add to.
  EXPECT_FALSE(record.get_first_internal_option(&name, &value));
  record.add_internal_option("k", "v");
  expect_internal_error("m_internal_option != NULL");

  std::string before = print_node(d.root());
  for (int width : {0, -4}) {
    record.set_width(width);
    expect_internal_error("Mnemonics table width must be greater than 0");
  }
  EXPECT_EQ(print_node(d.root()), before);
  EXPECT_FALSE(record.get_first_user_option(nullptr, &value, &type));
  expect_internal_error("name != NULL && value != NULL && type != NULL");

  // Reset replaces the list, also mid-iteration.
  ASSERT_TRUE(record.get_first_user_option(&name, &value, &type));
  record.reset_user_option();
  EXPECT_FALSE(record.get_next_user_option(&name, &value, &type));
  EXPECT_FALSE(record.get_first_user_option(&name, &value, &type));
  EXPECT_EQ(print_node(d.root()),
            "<mnemonics_plugin plugin_name=\"\" width=\"x\">\n  <user_option/>\n"
            "</mnemonics_plugin>");

  TDR_DATA_BUS_MNEMONICS_PLUGIN bad(nullptr);
  expect_internal_error("element != NULL");
  EXPECT_EQ(bad.get_width(), 0);
}
