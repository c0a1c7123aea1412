#include <string>

#include "tdr_data_signal_test_support.h"
#include "tdr_data_signal_wire.h"
#include "tdr_test_support.h"

namespace {

// Reads one wire element of `xml` (the first "wire" of the document) as a
// trigger-side or data-side wire.
struct READ_WIRE {
  explicit READ_WIRE(const std::string& xml, bool trigger_side = true)
      : doc("<signal_vec>" + xml + "</signal_vec>") {
    element = doc.find("wire");
    wire.reset(trigger_side ? new TDR_DATA_SIGNAL_WIRE(doc.doc, element, nullptr)
                            : new TDR_DATA_SIGNAL_WIRE(doc.doc, nullptr, element));
  }
  std::string text() const { return print_node(element); }
  TEST_XML_DOC doc;
  DOMElement* element;
  std::unique_ptr<TDR_DATA_SIGNAL_WIRE> wire;
};

// Both elements of a wire captured for both carry the same attributes.
void expect_sides_equal(const TDR_DATA_SIGNAL_WIRE& wire) {
  ASSERT_NE(wire.get_trigger_dom_node(), nullptr);
  ASSERT_NE(wire.get_data_dom_node(), nullptr);
  EXPECT_EQ(print_node(wire.get_trigger_dom_node()), print_node(wire.get_data_dom_node()));
}

}  // namespace

TEST_F(TdrTest, WireNewCreatesOneElementPerCapturedSide) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_WIRE trigger_only(d.doc, "t", TDR_WTYPE_TRIGGER_CAPTURE);
  EXPECT_EQ(trigger_only.get_data_dom_node(), nullptr);
  EXPECT_EQ(print_node(trigger_only.get_trigger_dom_node()), "<wire name=\"t\"/>");
  TDR_DATA_SIGNAL_WIRE data_only(d.doc, "d", TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(data_only.get_trigger_dom_node(), nullptr);
  EXPECT_EQ(print_node(data_only.get_data_dom_node()), "<wire name=\"d\"/>");

  TDR_DATA_SIGNAL_WIRE both(d.doc, "b", "fast", TDR_WTYPE_BOTH_CAPTURE);
  EXPECT_EQ(print_node(both.get_trigger_dom_node()), "<wire alias=\"fast\" name=\"b\"/>");
  expect_sides_equal(both);
  EXPECT_NE(both.get_trigger_dom_node(), both.get_data_dom_node());
  // New elements are not attached anywhere yet.
  EXPECT_EQ(both.get_trigger_dom_node()->getParentNode(), nullptr);
  // Defaults that the element does not show.
  EXPECT_EQ(both.get_debug_port_name(), nullptr);
  EXPECT_EQ(both.get_tap_mode(), TDR_MTYPE_CLASSIC_TAP);
  EXPECT_EQ(both.get_signal_type(), TDR_STYPE_UNKNOWN_SIGNAL);
  EXPECT_TRUE(both.get_connection_status());
  EXPECT_EQ(both.get_trigger_wire_index(), -1);
  EXPECT_EQ(both.get_data_wire_index(), -1);
}

// The rows of tests/data/tdr_data_signal_wire/normalised.txt; the getters must
// tell what was written back.
TEST_F(TdrTest, WireReadingNormalisesTapModeAndConnectionStatus) {
  for (const auto& row : test_table("tdr_data_signal_wire/normalised.txt")) {
    SCOPED_TRACE(row.at(0));
    READ_WIRE r("<wire name=\"w\"" + row.at(0) + "/>");
    const char* mode = "";
    TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(r.wire->get_tap_mode(), &mode);
    EXPECT_EQ(r.text(), row.at(1));
    std::string status = r.wire->get_connection_status() ? "true" : "false";
    EXPECT_EQ("<wire connection_status=\"" + status + "\" name=\"w\" tap_mode=\"" + mode + "\"/>",
              row[1]);
    EXPECT_EQ(r.wire->get_capture_type(), TDR_WTYPE_TRIGGER_CAPTURE);
  }
}

TEST_F(TdrTest, WireReadingTakesOtherAttributesAsTheyAre) {
  READ_WIRE r(
      "<wire name=\"cnt[0]\" alias=\"c0\" debug_port=\"yes\" debug_port_name=\"dbg\" "
      "type=\"rubbish\" tap_mode=\"classic\" connection_status=\"true\"/>",
      false);
  EXPECT_EQ(r.wire->get_capture_type(), TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(r.wire->get_data_dom_node(), r.element);
  EXPECT_STREQ(r.wire->get_alias(), "c0");
  EXPECT_TRUE(r.wire->is_debug_port());
  EXPECT_STREQ(r.wire->get_debug_port_name(), "dbg");
  // First-character rule: "rubbish" reads as a register.
  EXPECT_EQ(r.wire->get_signal_type(), TDR_STYPE_REGISTER_SIGNAL);
  // Only the normalised attributes are rewritten.
  EXPECT_EQ(r.text(),
            "<wire alias=\"c0\" connection_status=\"true\" debug_port=\"yes\" "
            "debug_port_name=\"dbg\" name=\"cnt[0]\" tap_mode=\"classic\" type=\"rubbish\"/>");

  READ_WIRE not_debug("<wire name=\"a\" debug_port=\"true\" alias=\"\" debug_port_name=\"\"/>");
  EXPECT_FALSE(not_debug.wire->is_debug_port());
  EXPECT_EQ(not_debug.wire->get_alias(), nullptr);
  EXPECT_EQ(not_debug.wire->get_debug_port_name(), nullptr);
  EXPECT_EQ(not_debug.wire->get_signal_type(), TDR_STYPE_UNKNOWN_SIGNAL);
}

TEST_F(TdrTest, WireWithoutNameIsReportedAndLeftUntouched) {
  for (auto xml : {"<wire tap_mode=\"p\"/>", "<wire name=\"\" tap_mode=\"p\"/>", "<wire/>"}) {
    READ_WIRE r(xml);
    EXPECT_EQ(expect_message("WTDR_MISSING_NAME").args, std::vector<std::string>{"signal"});
    EXPECT_EQ(r.wire->get_name(), nullptr);
    EXPECT_EQ(r.wire->get_tap_mode(), TDR_MTYPE_CLASSIC_TAP);
    EXPECT_TRUE(r.wire->get_connection_status());
    // Nothing was written back, and no element can be made for the other side.
    EXPECT_EQ(r.text(), xml);
    r.wire->consolidate(TDR_WTYPE_DATA_CAPTURE, true);
    expect_internal_error("m_has_name");
    EXPECT_EQ(r.wire->get_data_dom_node(), nullptr);
  }
}

TEST_F(TdrTest, WireSettersKeepBothSidesIdentical) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_WIRE wire(d.doc, "sig", TDR_WTYPE_BOTH_CAPTURE);
  wire.set_alias("S");
  wire.set_signal_type(TDR_STYPE_STATE_MACHINE_SIGNAL);
  wire.set_tap_mode(TDR_MTYPE_PROBEONLY_TAP);
  EXPECT_TRUE(wire.set_connection_status(false));
  wire.set_debug_port(true, "dbg_out");
  expect_sides_equal(wire);
  EXPECT_EQ(print_node(wire.get_data_dom_node()),
            "<wire alias=\"S\" connection_status=\"false\" debug_port=\"yes\" "
            "debug_port_name=\"dbg_out\" name=\"sig\" tap_mode=\"probeonly\" "
            "type=\"state machine\"/>");

  // Disabling the port keeps its name, in the object and in the file.
  wire.set_debug_port(false, nullptr);
  EXPECT_FALSE(wire.is_debug_port());
  EXPECT_STREQ(wire.get_debug_port_name(), "dbg_out");
  wire.del_alias();
  wire.set_tap_mode(static_cast<TDR_DATA_WIRE_TAP_MODE>(7));
  expect_sides_equal(wire);
  EXPECT_EQ(print_node(wire.get_trigger_dom_node()),
            "<wire connection_status=\"false\" debug_port_name=\"dbg_out\" name=\"sig\" "
            "tap_mode=\"classic\" type=\"state machine\"/>");

  // Index and capture-type setters write nothing.
  std::string before = print_node(wire.get_trigger_dom_node());
  wire.set_trigger_wire_index(3);
  wire.set_data_wire_index(4);
  wire.set_capture_type(TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(print_node(wire.get_trigger_dom_node()), before);
}

TEST_F(TdrTest, WireSettersRefusePortWithoutNameAndDisconnectedClassicTap) {
  TEST_XML_DOC d;
  TDR_DATA_SIGNAL_WIRE wire(d.doc, "sig", TDR_WTYPE_DATA_CAPTURE);
  wire.set_debug_port(true, nullptr);
  expect_internal_error("port_name != NULL");
  EXPECT_FALSE(wire.is_debug_port());
  EXPECT_EQ(print_node(wire.get_data_dom_node()), "<wire name=\"sig\"/>");
  EXPECT_FALSE(wire.set_connection_status(false));
  EXPECT_TRUE(wire.get_connection_status());
  EXPECT_EQ(tdr_get_attr(wire.get_data_dom_node(), TDR_X("connection_status")), "true");

  wire.set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_TRUE(wire.set_connection_status(false));
  EXPECT_FALSE(wire.get_connection_status());
  EXPECT_EQ(tdr_get_attr(wire.get_data_dom_node(), TDR_X("connection_status")), "false");
  // Going back to classic does not reconnect by itself; asking does.
  wire.set_tap_mode(TDR_MTYPE_CLASSIC_TAP);
  EXPECT_FALSE(wire.get_connection_status());
  EXPECT_TRUE(wire.set_connection_status(true));
  EXPECT_TRUE(wire.get_connection_status());
}

TEST_F(TdrTest, WireConsolidateCaptureTypes) {
  TEST_XML_DOC d;
  const TDR_DATA_WIRE_CAPTURE_TYPE T = TDR_WTYPE_TRIGGER_CAPTURE, D = TDR_WTYPE_DATA_CAPTURE,
                                   B = TDR_WTYPE_BOTH_CAPTURE;
  struct CASE {
    TDR_DATA_WIRE_CAPTURE_TYPE start, added, result;
  } cases[] = {{T, D, B}, {D, T, B}, {D, B, B}, {T, T, T}, {D, D, D}, {B, D, B}};
  for (const CASE& c : cases) {
    TDR_DATA_SIGNAL_WIRE wire(d.doc, "w", c.start);
    wire.consolidate(c.added, false);
    EXPECT_EQ(wire.get_capture_type(), c.result);
    // Without the create-elements flag no element appears.
    EXPECT_EQ(wire.get_data_dom_node() != nullptr, c.start != T);
  }
  TDR_DATA_SIGNAL_WIRE wire(d.doc, "w", T);
  wire.consolidate(TDR_WTYPE_NONE_CAPTURE, true);
  expect_internal_error("Invalid capture type");
  wire.consolidate(static_cast<TDR_DATA_WIRE_CAPTURE_TYPE>(9), true);
  expect_internal_error("Invalid capture type");
  EXPECT_EQ(wire.get_capture_type(), T);
  EXPECT_EQ(wire.get_data_dom_node(), nullptr);
}

TEST_F(TdrTest, WireConsolidateCreatesAMatchingElement) {
  READ_WIRE r(
      "<wire name=\"n\" alias=\"A\" type=\"input pin\" tap_mode=\"probeonly\" "
      "connection_status=\"false\" debug_port=\"yes\" debug_port_name=\"p\"/>");
  TDR_DATA_SIGNAL_WIRE& wire = *r.wire;
  wire.consolidate(TDR_WTYPE_DATA_CAPTURE, true);
  EXPECT_EQ(wire.get_capture_type(), TDR_WTYPE_BOTH_CAPTURE);
  expect_sides_equal(wire);
  EXPECT_EQ(wire.get_data_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(print_node(wire.get_data_dom_node()),
            "<wire alias=\"A\" connection_status=\"false\" debug_port=\"yes\" "
            "debug_port_name=\"p\" name=\"n\" tap_mode=\"probeonly\" type=\"input pin\"/>");
  // A disabled port whose name was read also shows its name on the new side.
  READ_WIRE off("<wire name=\"m\" debug_port_name=\"q\"/>", false);
  off.wire->consolidate(TDR_WTYPE_TRIGGER_CAPTURE, true);
  expect_sides_equal(*off.wire);
  EXPECT_FALSE(off.wire->is_debug_port());
}

TEST_F(TdrTest, WireConsolidateWithDuplicateAdoptsItsElement) {
  TEST_XML_DOC d(
      "<signal_vec><trigger_input_vec><wire name=\"x\" alias=\"X\"/></trigger_input_vec>"
      "<data_input_vec><wire name=\"x\"/><wire name=\"y\"/></data_input_vec></signal_vec>");
  DOMElement* trigger_element = d.find("trigger_input_vec")->getFirstElementChild();
  DOMElement* data_element = d.find("data_input_vec")->getFirstElementChild();
  TDR_DATA_SIGNAL_WIRE wire(d.doc, trigger_element, nullptr);
  std::unique_ptr<TDR_DATA_SIGNAL_WIRE> duplicate(
      new TDR_DATA_SIGNAL_WIRE(d.doc, nullptr, data_element));
  wire.consolidate(duplicate.get(), false);
  EXPECT_EQ(wire.get_capture_type(), TDR_WTYPE_BOTH_CAPTURE);
  EXPECT_EQ(wire.get_trigger_dom_node(), trigger_element);
  EXPECT_EQ(wire.get_data_dom_node(), data_element);
  duplicate.reset();
  // The adopted element is still in the document and now follows the wire.
  wire.set_alias("Z");
  EXPECT_EQ(tdr_get_attr(data_element, TDR_X("alias")), "Z");
  expect_sides_equal(wire);

  TDR_DATA_SIGNAL_WIRE other(d.doc, nullptr, data_element->getNextElementSibling());
  wire.consolidate(&other, false);
  expect_internal_error("gen_strcmp(get_name(), duplicate->get_name()) == 0");
  EXPECT_EQ(wire.get_data_dom_node(), data_element);
}
