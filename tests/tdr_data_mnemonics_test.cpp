#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tdr_data_mnemonics.h"
#include "tdr_data_signal_test_support.h"
#include "tdr_data_xml_io.h"
#include "tdr_test_support.h"

namespace {

int count_children(const DOMNode* parent, const char* tag) {
  int n = 0;
  for (const DOMNode* c = parent->getFirstChild(); c; c = c->getNextSibling())
    if (c->getNodeType() == DOMNode::ELEMENT_NODE && tdr_narrow(c->getNodeName()) == tag) ++n;
  return n;
}

std::string str(const char* s) { return s ? s : "<null>"; }
typedef std::vector<std::string> ARGS;

// The first symbol of each value, "-" for none, a space between; values go
// in as C strings unless `by_string`.
std::string symbols(const TDR_DATA_MNEMONICS_TABLE* t, const ARGS& values, bool by_string = false) {
  std::string out;
  for (const std::string& v : values) {
    const char* s = by_string ? t->get_first_symbol(v) : t->get_first_symbol(v.c_str());
    out += (out.empty() ? "" : " ") + std::string(s ? s : "-");
  }
  return out;
}

// The "mnemonics" element of a document parsed from text.
struct MNEMONICS_FILE {
  explicit MNEMONICS_FILE(const std::string& text)
      : doc(text), m(doc.doc, doc.find("mnemonics")) {}
  TEST_XML_DOC doc;
  TDR_DATA_MNEMONICS m;
};

}  // namespace

TEST_F(TdrTest, MnemonicsLookupExactPatternNormalisedAndEdge) {
  MNEMONICS_FILE f(
      "<session><mnemonics><table name=\"states\" width=\"4\">"
      "<symbol name=\"IDLE\" value=\"0000\"/><symbol name=\"BUSY\" value=\"1XX1\"/>"
      "<symbol name=\"EDGE\" value=\"R000\"/></table></mnemonics></session>");
  ASSERT_EQ(f.m.get_num_tables(), 1);
  TDR_DATA_MNEMONICS_TABLE* t = f.m.find_table("states");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(str(t->get_name()) + " " + std::to_string(t->get_width()) + " " +
                std::to_string(t->get_num_entries()),
            "states 4 3");

  // Exact, through the pattern; folded, then exact or pattern; an edge; then
  // none: no entry, wrong widths, lower case is not H/L, edges are no patterns.
  EXPECT_EQ(symbols(t, {"0000", "1011", "LLLL", "HLHH", "R000", "0001", "000", "00000", "l000",
                        "h00l"}),
            "IDLE BUSY IDLE BUSY EDGE - - - - -");
  EXPECT_EQ(str(t->get_first_symbol(std::string("1111"))), "BUSY");

  // Symbol to value gives the value as written; case-sensitive.
  EXPECT_EQ(str(t->get_value(std::string("BUSY"))), "1XX1");
  EXPECT_EQ(str(t->get_value("EDGE")), "R000");
  EXPECT_EQ(t->get_value("idle"), nullptr);
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
  TEST_XML_DOC d;
  TDR_DATA_MNEMONICS m(d.doc);
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("p", 4);
  ASSERT_NE(t, nullptr);
  for (const char* e : {"LOW_HALF=00XX", "ANY_ZERO_START=0XXX", "RISE=RXXX", "FALL=XFXX",
                        "EITHER=XXEX", "TOO_LONG=1111X", "PREFIX=11", "HL=H0LX", "EXACT=0011"}) {
    std::string s(e);
    EXPECT_TRUE(t->add_entry(s.substr(0, s.find('=')).c_str(), s.substr(s.find('=') + 1).c_str()));
  }
  // The exact map wins over an earlier matching pattern; patterns go in entry
  // order; patterns with edge letters never match, even where X would; a
  // pattern longer than the value never matches, a shorter one covers a
  // prefix; patterns are folded too (H0LX is 100X); an edge pattern's own
  // value is still found exactly.
  EXPECT_EQ(symbols(t, {"0011", "0010", "0110", "R000", "1F00", "10E1", "1111", "H00L", "RXXX"}),
            "EXACT LOW_HALF ANY_ZERO_START - - - PREFIX HL RISE");

  // An empty pattern matches every value of the right width, after the others.
  EXPECT_TRUE(t->add_entry("ANY", ""));
  EXPECT_EQ(symbols(t, {"1010", "0000", "101"}), "ANY LOW_HALF -");

  // Only longer patterns: nothing matches, not even an X value or the empty one.
  TDR_DATA_MNEMONICS_TABLE* w2 = m.create_table("w2", 2);
  EXPECT_TRUE(w2->add_entry("WIDE", "XXX"));
  EXPECT_TRUE(w2->add_entry("WIDER", std::string(44, 'X').c_str()));
  EXPECT_EQ(symbols(w2, {"01", "XX", ""}), "- - -");
}

TEST_F(TdrTest, MnemonicsDuplicateValuesAndSymbols) {
  TEST_XML_DOC d;
  TDR_DATA_MNEMONICS m(d.doc);
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("dups", 2);
  ASSERT_NE(t, nullptr);
  // Same value twice: the first symbol wins the lookup; both entries stay.
  EXPECT_TRUE(t->add_entry("FIRST", "01"));
  EXPECT_TRUE(t->add_entry("SECOND", "0H"));
  EXPECT_EQ(str(t->get_first_symbol("LH")), "FIRST");
  EXPECT_EQ(str(t->get_value("SECOND")), "0H");
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
  EXPECT_EQ(symbols(t, {"10", "11"}) + " " + str(t->get_value("FIRST")), "- - 01");

  // Null arguments are caller errors.
  EXPECT_FALSE(t->add_entry(nullptr, "00"));
  expect_internal_error("symbol != NULL");
  EXPECT_FALSE(t->add_entry("Z", nullptr));
  expect_internal_error("value != NULL");
  EXPECT_EQ(t->get_num_entries(), 3);
}

TEST_F(TdrTest, MnemonicsReaderWarnsOnConflictingSymbol) {
  MNEMONICS_FILE f(
      "<session><mnemonics><table name=\"ops\" width=\"3\">"
      "<symbol name=\"READ\" value=\"001\"/><symbol name=\"WRITE\" value=\"010\"/>"
      "<symbol name=\"READ\" value=\"100\"/><symbol name=\"NOP\" value=\"001\"/>"
      "</table></mnemonics></session>");
  MSG_RECORD r = expect_message("WTDR_DUPLICATE_SYMBOL");
  EXPECT_EQ(r.args, (ARGS{"READ", "001", "ops", "100"}));
  EXPECT_EQ(r.text,
            "Symbol \"READ\" has duplicate value \"001\" in mnemonic table \"ops\" -- ignoring "
            "new value \"100\"");
  TDR_DATA_MNEMONICS_TABLE* t = f.m.find_table("ops");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->get_num_entries(), 3);
  EXPECT_EQ(str(t->get_first_symbol(2)), "NOP");
  EXPECT_EQ(symbols(t, {"100", "001"}), "- READ");
  // The refused element stays in the document as it was.
  EXPECT_EQ(count_children(t->get_dom_node(), "symbol"), 4);
}

TEST_F(TdrTest, MnemonicsReaderSkipsBadTablesAndSymbols) {
  MNEMONICS_FILE f(test_data("data/mnemonics/bad_tables.xml"));
  TDR_DATA_MNEMONICS& m = f.m;
  // The duplicate "a" is dropped without reading it, so its conflicting symbols stay quiet.
  EXPECT_EQ(m.get_num_tables(), 5);
  TDR_DATA_MNEMONICS_TABLE* a = m.find_table("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->get_width(), 2);
  EXPECT_EQ(a->get_num_entries(), 2);
  EXPECT_EQ(str(a->get_value("ONE")), "01");
  EXPECT_EQ(str(a->get_value("TWO")), "10");
  for (const char* s : {"NESTED", "OTHER", "EMPTY"}) EXPECT_EQ(a->get_value(s), nullptr) << s;
  EXPECT_TRUE(m.find_table("") == nullptr && m.find_table("c") == nullptr);
  std::string widths;
  for (const char* name : {"b", "w", "n", "s"}) {
    ASSERT_NE(m.find_table(name), nullptr) << name;
    widths += std::to_string(m.find_table(name)->get_width()) + " ";
  }
  EXPECT_EQ(widths, "0 0 -3 3 ");
  EXPECT_EQ(m.find_table("n")->get_first_symbol(""), nullptr);
  // Nothing was written while reading: every element is where it was.
  EXPECT_EQ(count_children(f.doc.find("mnemonics"), "table"), 8);
}

TEST_F(TdrTest, MnemonicsCreateAppendFindDeleteAndBadConstruction) {
  TEST_XML_DOC d;
  TDR_DATA_MNEMONICS m(d.doc);
  DOMElement* mn = m.get_dom_node();
  ASSERT_NE(mn, nullptr);
  EXPECT_EQ(mn->getParentNode(), nullptr);  // the caller attaches it
  d.root()->appendChild(mn);

  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("regs", 8);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(print_node(mn), "<mnemonics>\n  <table name=\"regs\" width=\"8\"/>\n</mnemonics>");

  // An existing, null or empty name: null, document unchanged.
  const std::string before = print_node(d.root());
  EXPECT_EQ(m.create_table("regs", 4), nullptr);
  EXPECT_EQ(m.create_table(nullptr, 4), nullptr);
  expect_internal_error("name != NULL");
  EXPECT_EQ(m.create_table("", 4), nullptr);
  expect_internal_error("*name != '\\0'");
  EXPECT_EQ(print_node(d.root()), before);
  EXPECT_EQ(m.get_num_tables(), 1);

  // append: the element is attached only on request; duplicates are refused.
  TDR_DATA_MNEMONICS_TABLE* loose = new TDR_DATA_MNEMONICS_TABLE(d.doc, "loose", 2);
  EXPECT_TRUE(m.append(loose, false));
  EXPECT_EQ(loose->get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(m.find_table("loose"), loose);
  TDR_DATA_MNEMONICS_TABLE* attached = new TDR_DATA_MNEMONICS_TABLE(d.doc, "attached", 2);
  EXPECT_TRUE(m.append(attached, true));
  EXPECT_EQ(attached->get_dom_node()->getParentNode(), mn);
  std::unique_ptr<TDR_DATA_MNEMONICS_TABLE> clash(new TDR_DATA_MNEMONICS_TABLE(d.doc, "regs", 1));
  EXPECT_FALSE(m.append(clash.get(), true));
  EXPECT_EQ(clash->get_dom_node()->getParentNode(), nullptr);
  EXPECT_EQ(m.find_table("regs"), t);

  // Enumeration visits every table once and stops at the count.
  std::vector<std::string> seen;
  for (int i = 0; i < m.get_num_tables(); ++i) seen.push_back(m.get_table(i)->get_name());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (ARGS{"attached", "loose", "regs"}));
  EXPECT_EQ(m.get_table(3), nullptr);
  EXPECT_EQ(m.get_table(-1), nullptr);

  // A table that is not the registered one is not deleted.
  EXPECT_FALSE(m.delete_table(clash.get()));
  EXPECT_FALSE(m.delete_table("nope"));
  EXPECT_TRUE(m.delete_table("regs"));
  EXPECT_EQ(m.find_table("regs"), nullptr);
  EXPECT_EQ(print_node(mn), "<mnemonics>\n  <table name=\"attached\" width=\"2\"/>\n</mnemonics>");
  EXPECT_TRUE(m.delete_table(loose));
  EXPECT_FALSE(m.delete_table("loose"));
  EXPECT_TRUE(m.delete_table(attached));
  EXPECT_EQ(print_node(mn), "<mnemonics/>");
  EXPECT_EQ(m.get_num_tables(), 0);
  // The name can be used again after deletion.
  ASSERT_NE(m.create_table("regs", 3), nullptr);
  EXPECT_EQ(print_node(mn), "<mnemonics>\n  <table name=\"regs\" width=\"3\"/>\n</mnemonics>");

  EXPECT_FALSE(m.delete_table(static_cast<const char*>(nullptr)));
  expect_internal_error("name != NULL && *name != '\\0'");
  EXPECT_FALSE(m.delete_table(""));
  expect_internal_error("name != NULL && *name != '\\0'");
  EXPECT_FALSE(m.delete_table(static_cast<TDR_DATA_MNEMONICS_TABLE*>(nullptr)));
  expect_internal_error("table != NULL");

  // Read from a file: only the registered element goes; a dropped duplicate stays.
  MNEMONICS_FILE f(
      "<session><mnemonics><table name=\"a\" width=\"1\"><symbol name=\"ON\" value=\"1\"/>"
      "</table><table name=\"b\" width=\"1\"/><table name=\"a\" width=\"1\"/>"
      "</mnemonics></session>");
  EXPECT_EQ(f.m.get_num_tables(), 2);
  EXPECT_TRUE(f.m.delete_table("a"));
  EXPECT_EQ(print_node(f.doc.find("mnemonics")),
            "<mnemonics>\n  <table name=\"b\" width=\"1\"/>\n  <table name=\"a\" width=\"1\"/>\n"
            "</mnemonics>");
  EXPECT_FALSE(f.m.delete_table("a"));

  // A table object over no element reads nothing and answers null by index.
  TDR_DATA_MNEMONICS_TABLE orphan(d.doc, static_cast<DOMElement*>(nullptr));
  expect_internal_error("element != NULL");
  EXPECT_TRUE(orphan.get_name() == nullptr && orphan.get_num_entries() == 0 &&
              orphan.get_value(0) == nullptr && orphan.get_first_symbol(0) == nullptr);
  TDR_DATA_MNEMONICS_TABLE nameless(d.doc, static_cast<const char*>(nullptr), 3);
  expect_internal_error("name != NULL");
  EXPECT_EQ(nameless.get_name(), nullptr);
  EXPECT_EQ(print_node(nameless.get_dom_node()), "<table width=\"3\"/>");
  TDR_DATA_MNEMONICS fresh(d.doc);
  EXPECT_FALSE(fresh.append(&nameless, true));  // never registered, so never owned
}

TEST_F(TdrTest, MnemonicsCloneCopiesEntriesAndWarnsOnConflicts) {
  TEST_XML_DOC d;
  TDR_DATA_MNEMONICS m(d.doc);
  d.root()->appendChild(m.get_dom_node());
  TDR_DATA_MNEMONICS_TABLE* src = m.create_table("src", 2);
  TDR_DATA_MNEMONICS_TABLE* dst = m.create_table("dst", 3);
  ASSERT_TRUE(src && dst);
  src->add_entry("A", "0H");
  src->add_entry("B", "1X");
  src->add_entry("C", "R0");
  dst->add_entry("B", "000");

  dst->clone(src);
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_SYMBOL").args, (ARGS{"B", "000", "dst", "1X"}));
  EXPECT_EQ(dst->get_width(), 3);
  ASSERT_EQ(dst->get_num_entries(), 3);
  EXPECT_EQ(str(dst->get_first_symbol(2)), "C");
  EXPECT_EQ(print_node(dst->get_dom_node()),
            "<table name=\"dst\" width=\"3\">\n  <symbol name=\"B\" value=\"000\"/>\n"
            "  <symbol name=\"A\" value=\"0H\"/>\n  <symbol name=\"C\" value=\"R0\"/>\n</table>");

  // Into itself: every entry is repeated once, and the copy ends.
  src->clone(src);
  EXPECT_EQ(src->get_num_entries(), 6);
  EXPECT_EQ(count_children(src->get_dom_node(), "symbol"), 6);
  EXPECT_EQ(str(src->get_first_symbol(5)), "C");

  dst->clone(nullptr);
  expect_internal_error("source != NULL");
}

TEST_F(TdrTest, MnemonicsHostileSizes) {
  TEST_XML_DOC d;
  TDR_DATA_MNEMONICS m(d.doc);
  const int width = 100000;
  TDR_DATA_MNEMONICS_TABLE* t = m.create_table("wide", width);
  ASSERT_NE(t, nullptr);
  std::string ones(width, '1'), pattern(width, 'X');
  pattern[0] = '0';
  EXPECT_TRUE(t->add_entry("ONES", ones.c_str()));
  EXPECT_TRUE(t->add_entry("LEADING_ZERO", pattern.c_str()));
  std::string leading_zero = "0" + ones.substr(1), trailing_zero = ones.substr(1) + "0";
  EXPECT_EQ(symbols(t, {std::string(width, 'H'), leading_zero, trailing_zero, ones + "1"}, true),
            "ONES LEADING_ZERO - -");
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
  EXPECT_EQ(symbols(many, {"0000000000000101", "1000000000000101"}), "S5 TOP");
  EXPECT_EQ(str(many->get_value("S19999")), "0100111000011111");
  EXPECT_THROW(many->get_value(20001), std::out_of_range);
  EXPECT_EQ(str(many->get_value(20000)), "1XXXXXXXXXXXXXXX");
}

TEST_F(TdrTest, MnemonicsSavedFileRoundTripIsExact) {
  const std::string dir = source_dir() + "/tests/data/data/mnemonics/";
  const std::string in = dir + "round_trip.xml", original = read_file(in);
  // Reads `path`, hands its mnemonics to `use`, and saves to `out`.
  auto read_use_save = [&](const std::string& path, const std::string& out, auto use) {
    std::unique_ptr<ZENVOR_DOM_PARSER> parser = tdr_xml_read_file(path.c_str(), path.c_str());
    ASSERT_NE(parser, nullptr);
    DOMDocument* doc = parser->getDocument();
    {
      TDR_DATA_MNEMONICS m(doc, TDR_DATA_XML_UTIL::find_first_child_element_by_name(
                                    doc->getDocumentElement(), TDR_X("mnemonics")));
      use(m);
    }
    ASSERT_TRUE(tdr_xml_write_file(doc, out.c_str(), false));
  };
  // Nothing changed: saving gives the bytes that were read.
  read_use_save(in, temp_path("same.xml"), [](TDR_DATA_MNEMONICS&) {});
  EXPECT_EQ(read_file(temp_path("same.xml")), original);

  read_use_save(in, temp_path("out.xml"), [](TDR_DATA_MNEMONICS& m) {
    EXPECT_TRUE(m.delete_table("old"));
    TDR_DATA_MNEMONICS_TABLE* t = m.create_table("op \"code\" <&>", 3);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->add_entry("ADD", "00H"));
    EXPECT_TRUE(t->add_entry("\xC2\xB5OP", "LX1"));  // non-ASCII symbol
    EXPECT_TRUE(t->add_entry(std::string("MEMORY_ONLY"), std::string("010"), false));
    ASSERT_NE(m.create_table("empty", 0), nullptr);
    m.find_table("states")->add_entry("DONE", "1111");
  });
  const std::string expected = read_file(dir + "round_trip.saved.xml");
  EXPECT_EQ(read_file(temp_path("out.xml")), expected);

  // Read back: the same tables answer the same way, and saving again is a fixed point.
  read_use_save(temp_path("out.xml"), temp_path("again.xml"), [](TDR_DATA_MNEMONICS& back) {
    EXPECT_EQ(back.get_num_tables(), 3);
    EXPECT_EQ(back.find_table("old"), nullptr);
    TDR_DATA_MNEMONICS_TABLE* op = back.find_table("op \"code\" <&>");
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(symbols(op, {"001", "011"}), "ADD \xC2\xB5OP");
    EXPECT_EQ(str(op->get_value("\xC2\xB5OP")), "LX1");
    EXPECT_EQ(op->get_value("MEMORY_ONLY"), nullptr);  // it never reached the document
    EXPECT_EQ(back.find_table("empty")->get_num_entries(), 0);
    EXPECT_EQ(str(back.find_table("states")->get_first_symbol("HHHH")), "DONE");
  });
  EXPECT_EQ(read_file(temp_path("again.xml")), expected);
}
