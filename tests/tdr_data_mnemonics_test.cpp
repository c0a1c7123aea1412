#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>

#include "tdr_data_mnemonics.h"
#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_util.h"
#include "tdr_test_support.h"

using namespace xercesc;

namespace {

// A DOM document built from text (owned by its parser) or made empty.
class DOC {
 public:
  explicit DOC(const std::string& text) {
    init();
    m_parser.reset(new XercesDOMParser());
    m_parser->setDoNamespaces(false);
    m_parser->setValidationScheme(XercesDOMParser::Val_Never);
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(),
                             "mnemonics_test");
    m_parser->parse(source);
    m_doc = m_parser->getDocument();
  }
  DOC() {
    init();
    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(TDR_X("LS"));
    m_doc = impl->createDocument(nullptr, TDR_X("session"), nullptr);
    m_owned = true;
  }
  ~DOC() {
    if (m_owned) m_doc->release();
  }
  DOMDocument* doc() const { return m_doc; }
  DOMElement* root() const { return m_doc->getDocumentElement(); }
  // The first child element of the root with that tag.
  DOMElement* child(const char* tag) const {
    TDR_XSTRING name = tdr_widen(tag);
    for (DOMNode* n = root()->getFirstChild(); n; n = n->getNextSibling())
      if (n->getNodeType() == DOMNode::ELEMENT_NODE &&
          XMLString::equals(n->getNodeName(), name.c_str()))
        return static_cast<DOMElement*>(n);
    return nullptr;
  }

 private:
  static void init() { TDR_DATA_XML_UTIL::ensure_xml_initialized(); }
  std::unique_ptr<XercesDOMParser> m_parser;
  DOMDocument* m_doc = nullptr;
  bool m_owned = false;
};

// The node and its subtree as compact XML text, attributes in the DOM's order.
std::string xml(const DOMNode* node) {
  std::string out;
  if (node->getNodeType() == DOMNode::TEXT_NODE) {
    tdr_narrow_append(node->getNodeValue(), &out);
    return out;
  }
  if (node->getNodeType() != DOMNode::ELEMENT_NODE) return out;
  out += "<" + tdr_narrow(node->getNodeName());
  const DOMNamedNodeMap* attrs = node->getAttributes();
  for (XMLSize_t i = 0; i < attrs->getLength(); ++i) {
    const DOMNode* a = attrs->item(i);
    out += " " + tdr_narrow(a->getNodeName()) + "=\"" + tdr_narrow(a->getNodeValue()) + "\"";
  }
  if (!node->getFirstChild()) return out + "/>";
  out += ">";
  for (const DOMNode* c = node->getFirstChild(); c; c = c->getNextSibling()) out += xml(c);
  return out + "</" + tdr_narrow(node->getNodeName()) + ">";
}

int count_children(const DOMNode* parent, const char* tag) {
  TDR_XSTRING name = tdr_widen(tag);
  int n = 0;
  for (const DOMNode* c = parent->getFirstChild(); c; c = c->getNextSibling())
    if (c->getNodeType() == DOMNode::ELEMENT_NODE && XMLString::equals(c->getNodeName(), name.c_str()))
      ++n;
  return n;
}

std::string str(const char* s) { return s ? s : "<null>"; }

const char* const STATES_FILE =
    "<session><mnemonics>"
    "<table name=\"states\" width=\"4\">"
    "<symbol name=\"IDLE\" value=\"0000\"/>"
    "<symbol name=\"BUSY\" value=\"1XX1\"/>"
    "<symbol name=\"EDGE\" value=\"R000\"/>"
    "</table>"
    "</mnemonics></session>";

}  // namespace

TEST_F(TdrTest, MnemonicsLookupExactPatternNormalisedAndEdge) {
  DOC d(STATES_FILE);
  TDR_DATA_MNEMONICS mnemonics(d.doc(), d.child("mnemonics"));
  ASSERT_EQ(mnemonics.get_num_tables(), 1);
  TDR_DATA_MNEMONICS_TABLE* t = mnemonics.find_table("states");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(str(t->get_name()), "states");
  EXPECT_EQ(t->get_width(), 4);
  EXPECT_EQ(t->get_num_entries(), 3);

  EXPECT_EQ(str(t->get_first_symbol("0000")), "IDLE");
  EXPECT_EQ(str(t->get_first_symbol("1011")), "BUSY");  // through the pattern
  EXPECT_EQ(str(t->get_first_symbol("1001")), "BUSY");
  EXPECT_EQ(str(t->get_first_symbol("LLLL")), "IDLE");  // folded to 0000
  EXPECT_EQ(str(t->get_first_symbol("HLHH")), "BUSY");  // folded to 1011, then pattern
  EXPECT_EQ(str(t->get_first_symbol(std::string("1111"))), "BUSY");
  EXPECT_EQ(t->get_first_symbol("0001"), nullptr);
  EXPECT_EQ(t->get_first_symbol("000"), nullptr);    // wrong width
  EXPECT_EQ(t->get_first_symbol("00000"), nullptr);  // wrong width
  EXPECT_EQ(str(t->get_first_symbol("R000")), "EDGE");
  // Edge values are never patterns, and lower-case letters are not H/L/X.
  EXPECT_EQ(t->get_first_symbol("l000"), nullptr);
  EXPECT_EQ(t->get_first_symbol("h00l"), nullptr);

  // Symbol to value gives the value as written.
  EXPECT_EQ(str(t->get_value("IDLE")), "0000");
  EXPECT_EQ(str(t->get_value(std::string("BUSY"))), "1XX1");
  EXPECT_EQ(str(t->get_value("EDGE")), "R000");
  EXPECT_EQ(t->get_value("idle"), nullptr);  // case-sensitive
  EXPECT_EQ(t->get_value(static_cast<const char*>(nullptr)), nullptr);
  EXPECT_EQ(t->get_first_symbol(static_cast<const char*>(nullptr)), nullptr);

  // By index in entry order.
  EXPECT_EQ(str(t->get_value(1)), "1XX1");
  EXPECT_EQ(str(t->get_first_symbol(2)), "EDGE");
  EXPECT_THROW(t->get_value(3), std::out_of_range);
  EXPECT_THROW(t->get_first_symbol(3), std::out_of_range);
  EXPECT_THROW(t->get_value(-1), std::out_of_range);
}

TEST_F(TdrTest, MnemonicsPatternsOrderAndLimits) {
  DOC d;
  TDR_DATA_MNEMONICS m(d.doc());
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("p", 4);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->add_entry("LOW_HALF", "00XX"));
  EXPECT_TRUE(t->add_entry("ANY_ZERO_START", "0XXX"));
  EXPECT_TRUE(t->add_entry("RISE", "RXXX"));
  EXPECT_TRUE(t->add_entry("FALL", "XFXX"));
  EXPECT_TRUE(t->add_entry("EITHER", "XXEX"));
  EXPECT_TRUE(t->add_entry("TOO_LONG", "1111X"));
  EXPECT_TRUE(t->add_entry("PREFIX", "11"));
  EXPECT_TRUE(t->add_entry("HL", "H0LX"));
  EXPECT_TRUE(t->add_entry("EXACT", "0011"));

  // The exact map wins over an earlier matching pattern.
  EXPECT_EQ(str(t->get_first_symbol("0011")), "EXACT");
  // Patterns are tried in entry order.
  EXPECT_EQ(str(t->get_first_symbol("0010")), "LOW_HALF");
  EXPECT_EQ(str(t->get_first_symbol("0110")), "ANY_ZERO_START");
  // Patterns with edge letters never match, even where X would.
  EXPECT_EQ(t->get_first_symbol("R000"), nullptr);
  EXPECT_EQ(t->get_first_symbol("1F00"), nullptr);
  EXPECT_EQ(t->get_first_symbol("10E1"), nullptr);
  // A pattern longer than the value never matches; the shorter one after it
  // covers a prefix.
  EXPECT_EQ(str(t->get_first_symbol("1111")), "PREFIX");
  // Patterns are folded too: H0LX is 100X.
  EXPECT_EQ(str(t->get_first_symbol("1001")), "HL");
  EXPECT_EQ(str(t->get_first_symbol("H00L")), "HL");
  // The exact value "RXXX" is still found.
  EXPECT_EQ(str(t->get_first_symbol("RXXX")), "RISE");

  // An empty pattern matches every value of the right width, after the others.
  EXPECT_TRUE(t->add_entry("ANY", ""));
  EXPECT_EQ(str(t->get_first_symbol("1010")), "ANY");
  EXPECT_EQ(str(t->get_first_symbol("0000")), "LOW_HALF");
  EXPECT_EQ(t->get_first_symbol("101"), nullptr);
}

TEST_F(TdrTest, MnemonicsPatternLongerThanValueNeverMatches) {
  DOC d;
  TDR_DATA_MNEMONICS m(d.doc());
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("w2", 2);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->add_entry("WIDE", "XXX"));
  EXPECT_TRUE(t->add_entry("WIDER", "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX"));
  EXPECT_EQ(t->get_first_symbol("01"), nullptr);
  EXPECT_EQ(t->get_first_symbol("XX"), nullptr);
  EXPECT_EQ(t->get_first_symbol(""), nullptr);
}

TEST_F(TdrTest, MnemonicsDuplicateValuesAndSymbols) {
  DOC d;
  TDR_DATA_MNEMONICS m(d.doc());
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("dups", 2);
  ASSERT_NE(t, nullptr);
  // Same value twice: the first symbol wins the lookup; both entries stay.
  EXPECT_TRUE(t->add_entry("FIRST", "01"));
  EXPECT_TRUE(t->add_entry("SECOND", "0H"));
  EXPECT_EQ(str(t->get_first_symbol("01")), "FIRST");
  EXPECT_EQ(str(t->get_first_symbol("LH")), "FIRST");
  EXPECT_EQ(str(t->get_value("SECOND")), "0H");
  EXPECT_EQ(t->get_num_entries(), 2);
  EXPECT_EQ(count_children(t->get_dom_node(), "symbol"), 2);

  // Same symbol with the same bits again (spelt differently) is a harmless repeat.
  EXPECT_TRUE(t->add_entry("FIRST", "L1"));
  EXPECT_EQ(str(t->get_value("FIRST")), "01");
  EXPECT_EQ(t->get_num_entries(), 3);

  // Same symbol with other bits is refused and writes nothing; add_entry itself is silent.
  EXPECT_FALSE(t->add_entry("FIRST", "10"));
  EXPECT_FALSE(t->add_entry(std::string("FIRST"), std::string("11"), false));
  EXPECT_EQ(t->get_num_entries(), 3);
  EXPECT_EQ(count_children(t->get_dom_node(), "symbol"), 3);
  EXPECT_EQ(t->get_first_symbol("10"), nullptr);
  EXPECT_EQ(str(t->get_value("FIRST")), "01");

  // Null arguments are caller errors.
  EXPECT_FALSE(t->add_entry(nullptr, "00"));
  expect_internal_error("symbol != NULL");
  EXPECT_FALSE(t->add_entry("Z", nullptr));
  expect_internal_error("value != NULL");
  EXPECT_EQ(t->get_num_entries(), 3);
}

TEST_F(TdrTest, MnemonicsReaderWarnsOnConflictingSymbol) {
  DOC d(
      "<session><mnemonics>"
      "<table name=\"ops\" width=\"3\">"
      "<symbol name=\"READ\" value=\"001\"/>"
      "<symbol name=\"WRITE\" value=\"010\"/>"
      "<symbol name=\"READ\" value=\"100\"/>"
      "<symbol name=\"NOP\" value=\"001\"/>"
      "</table>"
      "</mnemonics></session>");
  TDR_DATA_MNEMONICS m(d.doc(), d.child("mnemonics"));
  MSG_RECORD r = expect_message("WTDR_DUPLICATE_SYMBOL");
  EXPECT_EQ(r.severity, MSG_SEVERITY_WARNING);
  EXPECT_EQ(r.index, 8);
  EXPECT_EQ(r.args, (std::vector<std::string>{"READ", "001", "ops", "100"}));
  EXPECT_EQ(r.text,
            "Symbol \"READ\" has duplicate value \"001\" in mnemonic table \"ops\" -- ignoring "
            "new value \"100\"");
  TDR_DATA_MNEMONICS_TABLE* t = m.find_table("ops");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->get_num_entries(), 3);
  EXPECT_EQ(str(t->get_first_symbol(2)), "NOP");
  EXPECT_EQ(t->get_first_symbol("100"), nullptr);
  EXPECT_EQ(str(t->get_first_symbol("001")), "READ");
  // The refused element stays in the document as it was.
  EXPECT_EQ(count_children(t->get_dom_node(), "symbol"), 4);
}

TEST_F(TdrTest, MnemonicsReaderSkipsBadTablesAndSymbols) {
  DOC d(
      "<session><mnemonics>\n"
      "  <!-- comment -->\n"
      "  <table name=\"a\" width=\"2\">\n"
      "    <symbol name=\"ONE\" value=\"01\"/>\n"
      "    <symbol value=\"10\"/>\n"
      "    <symbol name=\"NOVALUE\"/>\n"
      "    <symbol name=\"\" value=\"11\"/>\n"
      "    <symbol name=\"EMPTY\" value=\"\"/>\n"
      "    <other name=\"OTHER\" value=\"00\"/>\n"
      "    <symbol name=\"TWO\" value=\"10\"><symbol name=\"NESTED\" value=\"11\"/></symbol>\n"
      "  </table>\n"
      "  <table width=\"2\"><symbol name=\"X\" value=\"00\"/></table>\n"
      "  <table name=\"\" width=\"2\"/>\n"
      "  <table name=\"a\" width=\"8\">"
      "<symbol name=\"ONE\" value=\"00000010\"/><symbol name=\"ONE\" value=\"00000011\"/></table>\n"
      "  <tables name=\"c\"/>\n"
      "  <table name=\"b\"/>\n"
      "  <table name=\"w\" width=\"junk\"/>\n"
      "  <table name=\"n\" width=\"-3\"><symbol name=\"N\" value=\"\"/></table>\n"
      "  <table name=\"s\" width=\" 3\"/>\n"
      "</mnemonics></session>");
  TDR_DATA_MNEMONICS m(d.doc(), d.child("mnemonics"));
  // The duplicate "a" is dropped without reading it, so its conflicting symbols stay quiet.
  EXPECT_EQ(m.get_num_tables(), 5);
  TDR_DATA_MNEMONICS_TABLE* a = m.find_table("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->get_width(), 2);
  EXPECT_EQ(a->get_num_entries(), 2);
  EXPECT_EQ(str(a->get_value("ONE")), "01");
  EXPECT_EQ(str(a->get_value("TWO")), "10");
  EXPECT_EQ(a->get_value("NESTED"), nullptr);
  EXPECT_EQ(a->get_value("OTHER"), nullptr);
  EXPECT_EQ(a->get_value("EMPTY"), nullptr);
  EXPECT_EQ(m.find_table(""), nullptr);
  ASSERT_NE(m.find_table("b"), nullptr);
  EXPECT_EQ(m.find_table("b")->get_width(), 0);
  EXPECT_EQ(m.find_table("w")->get_width(), 0);
  EXPECT_EQ(m.find_table("n")->get_width(), -3);
  EXPECT_EQ(m.find_table("n")->get_first_symbol(""), nullptr);
  EXPECT_EQ(m.find_table("s")->get_width(), 3);
  EXPECT_EQ(m.find_table("c"), nullptr);
  // Nothing was written while reading: every element is where it was.
  EXPECT_EQ(count_children(d.child("mnemonics"), "table"), 8);
}

TEST_F(TdrTest, MnemonicsCreateAppendFindDelete) {
  DOC d;
  TDR_DATA_MNEMONICS m(d.doc());
  DOMElement* mn = m.get_dom_node();
  ASSERT_NE(mn, nullptr);
  EXPECT_EQ(tdr_narrow(mn->getTagName()), "mnemonics");
  EXPECT_EQ(mn->getParentNode(), nullptr);  // the caller attaches it
  d.root()->appendChild(mn);

  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("regs", 8);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->get_dom_node()->getParentNode(), mn);
  EXPECT_EQ(xml(mn), "<mnemonics><table name=\"regs\" width=\"8\"/></mnemonics>");

  // An existing name: null, document unchanged.
  const std::string before = xml(d.root());
  EXPECT_EQ(m.create_table("regs", 4), nullptr);
  EXPECT_EQ(xml(d.root()), before);
  EXPECT_EQ(m.create_table(nullptr, 4), nullptr);
  expect_internal_error("name != NULL");
  EXPECT_EQ(m.create_table("", 4), nullptr);
  expect_internal_error("*name != '\\0'");
  EXPECT_EQ(xml(d.root()), before);
  EXPECT_EQ(m.get_num_tables(), 1);

  // append: the element is attached only on request; duplicates are refused.
  TDR_DATA_MNEMONICS_TABLE* loose = new TDR_DATA_MNEMONICS_TABLE(d.doc(), "loose", 2);
  EXPECT_TRUE(m.append(loose, false));
  EXPECT_EQ(loose->get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(m.find_table("loose"), loose);
  TDR_DATA_MNEMONICS_TABLE* attached = new TDR_DATA_MNEMONICS_TABLE(d.doc(), "attached", 2);
  EXPECT_TRUE(m.append(attached, true));
  EXPECT_EQ(attached->get_dom_node()->getParentNode(), mn);
  std::unique_ptr<TDR_DATA_MNEMONICS_TABLE> clash(
      new TDR_DATA_MNEMONICS_TABLE(d.doc(), "regs", 1));
  EXPECT_FALSE(m.append(clash.get(), true));
  EXPECT_EQ(clash->get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(m.find_table("regs"), t);
  EXPECT_EQ(m.get_num_tables(), 3);

  // Enumeration visits every table once and stops at the count.
  std::vector<std::string> seen;
  for (int i = 0; i < m.get_num_tables(); ++i) seen.push_back(m.get_table(i)->get_name());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"attached", "loose", "regs"}));
  EXPECT_EQ(m.get_table(3), nullptr);
  EXPECT_EQ(m.get_table(-1), nullptr);

  // A table that is not the registered one is not deleted.
  EXPECT_FALSE(m.delete_table(clash.get()));
  EXPECT_EQ(m.find_table("regs"), t);
  EXPECT_FALSE(m.delete_table("nope"));

  EXPECT_TRUE(m.delete_table("regs"));
  EXPECT_EQ(m.find_table("regs"), nullptr);
  EXPECT_EQ(m.get_num_tables(), 2);
  EXPECT_EQ(xml(mn), "<mnemonics><table name=\"attached\" width=\"2\"/></mnemonics>");
  EXPECT_TRUE(m.delete_table(loose));
  EXPECT_FALSE(m.delete_table("loose"));
  EXPECT_TRUE(m.delete_table(attached));
  EXPECT_EQ(xml(mn), "<mnemonics/>");
  EXPECT_EQ(m.get_num_tables(), 0);

  // The name can be used again after deletion.
  ASSERT_NE(m.create_table("regs", 3), nullptr);
  EXPECT_EQ(xml(mn), "<mnemonics><table name=\"regs\" width=\"3\"/></mnemonics>");

  EXPECT_FALSE(m.delete_table(static_cast<const char*>(nullptr)));
  expect_internal_error("name != NULL && *name != '\\0'");
  EXPECT_FALSE(m.delete_table(""));
  expect_internal_error("name != NULL && *name != '\\0'");
  EXPECT_FALSE(m.delete_table(static_cast<TDR_DATA_MNEMONICS_TABLE*>(nullptr)));
  expect_internal_error("table != NULL");
}

TEST_F(TdrTest, MnemonicsDeleteOnTablesReadFromFile) {
  DOC d(
      "<session><mnemonics>"
      "<table name=\"a\" width=\"1\"><symbol name=\"ON\" value=\"1\"/></table>"
      "<table name=\"b\" width=\"1\"/>"
      "<table name=\"a\" width=\"1\"/>"
      "</mnemonics></session>");
  TDR_DATA_MNEMONICS m(d.doc(), d.child("mnemonics"));
  EXPECT_EQ(m.get_num_tables(), 2);
  EXPECT_TRUE(m.delete_table("a"));
  // Only the registered element went; the dropped duplicate stays in the file.
  EXPECT_EQ(xml(d.child("mnemonics")),
            "<mnemonics><table name=\"b\" width=\"1\"/><table name=\"a\" width=\"1\"/>"
            "</mnemonics>");
  EXPECT_EQ(m.find_table("a"), nullptr);
  EXPECT_FALSE(m.delete_table("a"));
}

TEST_F(TdrTest, MnemonicsCloneCopiesEntriesAndWarnsOnConflicts) {
  DOC d;
  TDR_DATA_MNEMONICS m(d.doc());
  d.root()->appendChild(m.get_dom_node());
  TDR_DATA_MNEMONICS_TABLE* src = m.create_table("src", 2);
  TDR_DATA_MNEMONICS_TABLE* dst = m.create_table("dst", 3);
  ASSERT_TRUE(src && dst);
  src->add_entry("A", "0H");
  src->add_entry("B", "1X");
  src->add_entry("C", "R0");
  dst->add_entry("B", "000");

  dst->clone(src);
  MSG_RECORD r = expect_message("WTDR_DUPLICATE_SYMBOL");
  EXPECT_EQ(r.args, (std::vector<std::string>{"B", "000", "dst", "1X"}));
  EXPECT_EQ(str(dst->get_name()), "dst");
  EXPECT_EQ(dst->get_width(), 3);
  ASSERT_EQ(dst->get_num_entries(), 3);
  EXPECT_EQ(str(dst->get_first_symbol(1)), "A");
  EXPECT_EQ(str(dst->get_value(1)), "0H");
  EXPECT_EQ(str(dst->get_first_symbol(2)), "C");
  EXPECT_EQ(xml(dst->get_dom_node()),
            "<table name=\"dst\" width=\"3\"><symbol name=\"B\" value=\"000\"/>"
            "<symbol name=\"A\" value=\"0H\"/><symbol name=\"C\" value=\"R0\"/></table>");

  // Into itself: every entry is repeated once, and the copy ends.
  src->clone(src);
  EXPECT_EQ(src->get_num_entries(), 6);
  EXPECT_EQ(count_children(src->get_dom_node(), "symbol"), 6);
  EXPECT_EQ(str(src->get_first_symbol(5)), "C");

  dst->clone(nullptr);
  expect_internal_error("source != NULL");
}

TEST_F(TdrTest, MnemonicsWriteReadRoundTrip) {
  std::string written;
  {
    DOC d;
    TDR_DATA_MNEMONICS m(d.doc());
    d.root()->appendChild(m.get_dom_node());
    TDR_DATA_MNEMONICS_TABLE* t = m.create_table("bus \"state\" <&>", 4);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->add_entry("IDLE", "0000"));
    EXPECT_TRUE(t->add_entry("BUSY", "1XX1"));
    EXPECT_TRUE(t->add_entry("EDGE", "R000"));
    EXPECT_TRUE(t->add_entry("HALF", "HHLL"));
    EXPECT_TRUE(t->add_entry("\xC2\xB5-step", "0001"));  // non-ASCII symbol
    EXPECT_TRUE(t->add_entry(std::string("MEMORY_ONLY"), std::string("0010"), false));
    ASSERT_NE(m.create_table("empty", 0), nullptr);
    written = xml(d.root());
  }
  EXPECT_EQ(written,
            "<session><mnemonics>"
            "<table name=\"bus \"state\" <&>\" width=\"4\">"
            "<symbol name=\"IDLE\" value=\"0000\"/>"
            "<symbol name=\"BUSY\" value=\"1XX1\"/>"
            "<symbol name=\"EDGE\" value=\"R000\"/>"
            "<symbol name=\"HALF\" value=\"HHLL\"/>"
            "<symbol name=\"\xC2\xB5-step\" value=\"0001\"/>"
            "</table>"
            "<table name=\"empty\" width=\"0\"/>"
            "</mnemonics></session>");

  // The same tables as a file, escaped, read back.
  DOC back(
      "<session><mnemonics>"
      "<table name=\"bus &quot;state&quot; &lt;&amp;>\" width=\"4\">"
      "<symbol name=\"IDLE\" value=\"0000\"/>"
      "<symbol name=\"BUSY\" value=\"1XX1\"/>"
      "<symbol name=\"EDGE\" value=\"R000\"/>"
      "<symbol name=\"HALF\" value=\"HHLL\"/>"
      "<symbol name=\"&#xB5;-step\" value=\"0001\"/>"
      "</table>"
      "<table name=\"empty\" width=\"0\"/>"
      "</mnemonics></session>");
  TDR_DATA_MNEMONICS m(back.doc(), back.child("mnemonics"));
  EXPECT_EQ(xml(back.root()), written);
  EXPECT_EQ(m.get_num_tables(), 2);
  TDR_DATA_MNEMONICS_TABLE* t = m.find_table("bus \"state\" <&>");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->get_num_entries(), 5);
  EXPECT_EQ(str(t->get_first_symbol("1100")), "HALF");
  EXPECT_EQ(str(t->get_first_symbol("1111")), "BUSY");
  EXPECT_EQ(str(t->get_first_symbol("0001")), "\xC2\xB5-step");
  EXPECT_EQ(str(t->get_value("\xC2\xB5-step")), "0001");
  EXPECT_EQ(t->get_value("MEMORY_ONLY"), nullptr);  // it never reached the document
  EXPECT_EQ(m.find_table("empty")->get_num_entries(), 0);
}

TEST_F(TdrTest, MnemonicsHostileSizes) {
  DOC d;
  TDR_DATA_MNEMONICS m(d.doc());
  const int width = 100000;
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("wide", width);
  ASSERT_NE(t, nullptr);
  std::string ones(width, '1');
  std::string pattern(width, 'X');
  pattern[0] = '0';
  EXPECT_TRUE(t->add_entry("ONES", ones.c_str()));
  EXPECT_TRUE(t->add_entry("LEADING_ZERO", pattern.c_str()));
  EXPECT_EQ(str(t->get_first_symbol(std::string(width, 'H'))), "ONES");
  std::string probe(width, '1');
  probe[0] = '0';
  EXPECT_EQ(str(t->get_first_symbol(probe)), "LEADING_ZERO");
  probe[0] = '1';
  probe[width - 1] = '0';
  EXPECT_EQ(t->get_first_symbol(probe), nullptr);
  EXPECT_EQ(t->get_first_symbol(std::string(width + 1, '1')), nullptr);
  EXPECT_EQ(str(t->get_value("ONES")), ones);

  // Many entries and many patterns: lookups stay correct.
  TDR_DATA_MNEMONICS_TABLE* many = m.create_table("many", 16);
  ASSERT_NE(many, nullptr);
  for (int i = 0; i < 20000; ++i) {
    std::string v(16, '0');
    for (int b = 0; b < 15; ++b)
      if (i & (1 << b)) v[size_t(15 - b)] = '1';
    ASSERT_TRUE(many->add_entry("S" + std::to_string(i), v, false));
  }
  ASSERT_TRUE(many->add_entry(std::string("TOP"), std::string("1XXXXXXXXXXXXXXX"), false));
  EXPECT_EQ(str(many->get_first_symbol("0000000000000101")), "S5");
  EXPECT_EQ(str(many->get_first_symbol("1000000000000101")), "TOP");
  EXPECT_EQ(str(many->get_value("S19999")), "0100111000011111");
  EXPECT_THROW(many->get_value(20001), std::out_of_range);
  EXPECT_EQ(str(many->get_value(20000)), "1XXXXXXXXXXXXXXX");

  // Many tables.
  for (int i = 0; i < 5000; ++i)
    ASSERT_NE(m.create_table(("t" + std::to_string(i)).c_str(), i), nullptr);
  EXPECT_EQ(m.get_num_tables(), 5002);
  EXPECT_EQ(m.find_table("t4321")->get_width(), 4321);
  EXPECT_EQ(count_children(m.get_dom_node(), "table"), 5002);
}

TEST_F(TdrTest, MnemonicsTableEdgeCasesOfConstruction) {
  DOC d;
  // A table object over no element reads nothing and answers null by index.
  TDR_DATA_MNEMONICS_TABLE orphan(d.doc(), static_cast<DOMElement*>(nullptr));
  expect_internal_error("element != NULL");
  EXPECT_EQ(orphan.get_name(), nullptr);
  EXPECT_EQ(orphan.get_num_entries(), 0);
  EXPECT_EQ(orphan.get_value(0), nullptr);
  EXPECT_EQ(orphan.get_first_symbol(0), nullptr);

  TDR_DATA_MNEMONICS_TABLE nameless(d.doc(), static_cast<const char*>(nullptr), 3);
  expect_internal_error("name != NULL");
  EXPECT_EQ(nameless.get_name(), nullptr);
  EXPECT_EQ(xml(nameless.get_dom_node()), "<table width=\"3\"/>");
  TDR_DATA_MNEMONICS m(d.doc());
  EXPECT_FALSE(m.append(&nameless, true));  // never registered, so never owned

  // Five entries: index 5 is out of range.
  TDR_DATA_MNEMONICS_TABLE five(d.doc(), "five", 1);
  for (int i = 0; i < 5; ++i) five.add_entry(("S" + std::to_string(i)).c_str(), "1");
  EXPECT_EQ(str(five.get_value(4)), "1");
  EXPECT_THROW(five.get_value(5), std::out_of_range);
  EXPECT_EQ(str(five.get_first_symbol("1")), "S0");
}

TEST_F(TdrTest, MnemonicsSavedFileRoundTripIsExact) {
  const std::string original =
      "<session>\n"
      "  <mnemonics>\n"
      "    <table name=\"states\" width=\"4\">\n"
      "      <symbol name=\"IDLE\" value=\"0000\"/>\n"
      "      <symbol name=\"BUSY\" value=\"1XX1\"/>\n"
      "      <symbol name=\"EDGE\" value=\"R000\"/>\n"
      "    </table>\n"
      "    <table name=\"old\" width=\"1\">\n"
      "      <symbol name=\"ON\" value=\"1\"/>\n"
      "    </table>\n"
      "  </mnemonics>\n"
      "</session>\n";
  const std::string in = temp_path("in.xml");
  write_file(in, original);

  ZENVOR_DOM_PARSER* parser = nullptr;
  DOMDocument* doc = tdr_xml_read_file(in.c_str(), in.c_str(), &parser);
  std::unique_ptr<ZENVOR_DOM_PARSER> owner(parser);
  ASSERT_NE(doc, nullptr);
  DOMElement* element = TDR_DATA_XML_UTIL::find_first_child_element_by_name(
      doc->getDocumentElement(), TDR_X("mnemonics"));
  {
    TDR_DATA_MNEMONICS m(doc, element);
    // Nothing changed: saving gives the bytes that were read.
    const std::string same = temp_path("same.xml");
    ASSERT_TRUE(tdr_xml_write_file(doc, same.c_str(), false));
    EXPECT_EQ(read_file(same), original);

    EXPECT_TRUE(m.delete_table("old"));
    TDR_DATA_MNEMONICS_TABLE* t = m.create_table("op \"code\" <&>", 3);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->add_entry("ADD", "00H"));
    EXPECT_TRUE(t->add_entry("\xC2\xB5OP", "LX1"));
    m.find_table("states")->add_entry("DONE", "1111");
  }
  const std::string out = temp_path("out.xml");
  ASSERT_TRUE(tdr_xml_write_file(doc, out.c_str(), false));
  const std::string expected =
      "<session>\n"
      "  <mnemonics>\n"
      "    <table name=\"states\" width=\"4\">\n"
      "      <symbol name=\"IDLE\" value=\"0000\"/>\n"
      "      <symbol name=\"BUSY\" value=\"1XX1\"/>\n"
      "      <symbol name=\"EDGE\" value=\"R000\"/>\n"
      "      <symbol name=\"DONE\" value=\"1111\"/>\n"
      "    </table>\n"
      "    <table name=\"op &quot;code&quot; &lt;&amp;>\" width=\"3\">\n"
      "      <symbol name=\"ADD\" value=\"00H\"/>\n"
      "      <symbol name=\"&#xB5;OP\" value=\"LX1\"/>\n"
      "    </table>\n"
      "  </mnemonics>\n"
      "</session>\n";
  EXPECT_EQ(read_file(out), expected);

  // Read back: the same tables answer the same way, and saving again is a fixed point.
  ZENVOR_DOM_PARSER* parser2 = nullptr;
  DOMDocument* doc2 = tdr_xml_read_file(out.c_str(), out.c_str(), &parser2);
  std::unique_ptr<ZENVOR_DOM_PARSER> owner2(parser2);
  ASSERT_NE(doc2, nullptr);
  TDR_DATA_MNEMONICS back(doc2, TDR_DATA_XML_UTIL::find_first_child_element_by_name(
                                    doc2->getDocumentElement(), TDR_X("mnemonics")));
  EXPECT_EQ(back.get_num_tables(), 2);
  EXPECT_EQ(back.find_table("old"), nullptr);
  TDR_DATA_MNEMONICS_TABLE* op = back.find_table("op \"code\" <&>");
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(str(op->get_first_symbol("001")), "ADD");
  EXPECT_EQ(str(op->get_first_symbol("011")), "\xC2\xB5OP");
  EXPECT_EQ(str(op->get_value("\xC2\xB5OP")), "LX1");
  EXPECT_EQ(str(back.find_table("states")->get_first_symbol("HHHH")), "DONE");
  const std::string again = temp_path("again.xml");
  ASSERT_TRUE(tdr_xml_write_file(doc2, again.c_str(), false));
  EXPECT_EQ(read_file(again), expected);
}
