// XML toolkit: navigation, dual-form strings, reading (hostile files too),
// writing and the printer's exact layout and escaping.
#include "tdr_test_support.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xercesc/framework/XMLFormatter.hpp>

#include "tdr_data_xml_io.h"

using xercesc::DOMImplementation;
using xercesc::DOMImplementationRegistry;
using xercesc::XMLFormatter;

namespace {

std::string narrow(const XMLCh* s) {
  std::string out;
  for (; s && *s; ++s) out += *s < 0x80 ? static_cast<char>(*s) : '?';
  return out;
}

// Collects formatter output in a string.
class STRING_TARGET : public xercesc::XMLFormatTarget {
 public:
  void writeChars(const XMLByte* const bytes, const XMLSize_t count,
                  XMLFormatter* const) override {
    text.append(reinterpret_cast<const char*>(bytes), count);
  }
  std::string text;
};

// What the library's formatter writes for `s` in one escape mode.
std::string formatter_bytes(const std::u16string& s, XMLFormatter::EscapeFlags mode) {
  STRING_TARGET target;
  XMLFormatter f("US-ASCII", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
  f << mode;
  f.formatBuf(s.c_str(), s.size());
  return target.text;
}

// Counts the bytes written and keeps the first and last few of them.
class TAIL_BUF : public std::streambuf {
 public:
  size_t count = 0;
  std::string head, tail;
  unsigned long long hash = 1469598103934665603ull;

 protected:
  int_type overflow(int_type ch) override {
    if (ch != traits_type::eof()) {
      char c = static_cast<char>(ch);
      xsputn(&c, 1);
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i)
      hash = (hash ^ static_cast<unsigned char>(s[i])) * 1099511628211ull;
    count += static_cast<size_t>(n);
    if (head.size() < 64)
      head.append(s, std::min<size_t>(64 - head.size(), static_cast<size_t>(n)));
    tail.append(s, static_cast<size_t>(n));
    if (tail.size() > 256) tail.erase(0, tail.size() - 64);
    return n;
  }
};

// Runs `fn` on a thread with a small stack: a printer or reader that recursed
// on document depth would overflow it.
void run_with_small_stack(size_t stack_bytes, const std::function<void()>& fn) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, stack_bytes);
  pthread_t thread;
  auto body = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&fn)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

class XmlUtilTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    TDR_DATA_XML_UTIL::ensure_xml_initialized();
    m_impl = DOMImplementationRegistry::getDOMImplementation(u"LS");
  }
  void TearDown() override {
    for (DOMDocument* d : m_docs) d->release();
    TDR_DATA_XML_PRINT::s_direct_output = true;
    EXPECT_EQ(TDR_DATA_XML_PRINT::s_depth, 0);
    EXPECT_EQ(TDR_DATA_XML_PRINT::s_dom_formatter, nullptr);
    TdrTest::TearDown();
  }

  DOMDocument* new_doc(const XMLCh* root) {
    DOMDocument* d = m_impl->createDocument(nullptr, root, nullptr);
    m_docs.push_back(d);
    return d;
  }
  static DOMElement* add(DOMNode* parent, const XMLCh* tag) {
    DOMElement* e = parent->getOwnerDocument()->createElement(tag);
    parent->appendChild(e);
    return e;
  }
  static void add_text(DOMNode* parent, const XMLCh* text) {
    parent->appendChild(parent->getOwnerDocument()->createTextNode(text));
  }

  // Prints as a save does: a US-ASCII formatter over the stream, installed as
  // the printer's formatter; `direct` picks the printer's own encoder.
  std::string print(DOMNode* node, bool direct = true) {
    std::ostringstream out;
    TDR_DATA_XML_DOM_FORMAT target(out);
    XMLFormatter f("US-ASCII", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
    TDR_DATA_XML_PRINT::s_direct_output = direct;
    TDR_DATA_XML_PRINT::start(&f, true);
    out << node;
    TDR_DATA_XML_PRINT::end(true);
    TDR_DATA_XML_PRINT::s_direct_output = true;
    return out.str();
  }
  // Prints in both modes, checks they agree byte for byte, returns the bytes.
  std::string print_checked(DOMNode* node) {
    std::string direct = print(node, true);
    EXPECT_EQ(direct, print(node, false));
    return direct;
  }

  DOMDocument* read(const std::string& path, const char* display = nullptr) {
    m_parsers.push_back(tdr_xml_read_file(path.c_str(), display ? display : path.c_str()));
    return m_parsers.back() ? m_parsers.back()->getDocument() : nullptr;
  }
  DOMDocument* read_text(const std::string& xml, const std::string& name = "in.xml") {
    std::string path = temp_path(name);
    write_file(path, xml);
    return read(path);
  }
  // Reads `xml`, saves it, returns the saved bytes.
  std::string reread_and_save(const std::string& xml) {
    DOMDocument* d = read_text(xml);
    if (!d) return "<unreadable>";
    std::string out = temp_path("resaved.xml");
    EXPECT_TRUE(tdr_xml_write_file(d, out.c_str(), true));
    return read_file(out);
  }
  // Expects one ETDR_SOURCE_GENERIC for `file`; returns its message argument.
  std::string expect_read_error(const std::string& file) {
    MSG_RECORD r = expect_message("ETDR_SOURCE_GENERIC");
    if (r.args.size() != 2) {
      ADD_FAILURE() << "ETDR_SOURCE_GENERIC needs two arguments";
      return "";
    }
    EXPECT_EQ(r.args[0], file);
    EXPECT_EQ(r.text, "Corvane software encountered an error while reading Tavrin File " + file +
                          ", with message \"" + r.args[1] + "\"");
    EXPECT_EQ(r.severity, MSG_SEVERITY_ERROR);
    return r.args[1];
  }

  DOMImplementation* m_impl = nullptr;
  std::vector<DOMDocument*> m_docs;
  std::vector<std::unique_ptr<ZENVOR_DOM_PARSER>> m_parsers;
};

// ---------------------------------------------------------------------------
// Navigation

TEST_F(XmlUtilTest, FindsChildElementsByNameSkippingOtherNodes) {
  DOMDocument* d = new_doc(u"root");
  DOMElement* root = d->getDocumentElement();
  add_text(root, u"text");
  root->appendChild(d->createComment(u"trigger"));
  DOMElement* a1 = add(root, u"a");
  DOMElement* t1 = add(root, u"trigger");
  add_text(root, u"  ");
  DOMElement* a2 = add(root, u"a");
  DOMElement* t2 = add(root, u"trigger");
  add(root, u"Trigger");

  EXPECT_EQ(TDR_DATA_XML_UTIL::find_first_child_element(root), a1);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, "trigger"), t1);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, u"trigger"), t1);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, "TRIGGER"), nullptr);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, "trig"), nullptr);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, "text"), nullptr);

  // The sibling search starts after its argument, even on a matching name.
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(t1, "trigger"), t2);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(t2, u"trigger"), nullptr);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(a1, "a"), a2);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_next_sibling_element(a1), t1);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_next_sibling_element(t1), a2);
  EXPECT_EQ(TDR_DATA_XML_UTIL::find_next_sibling_element(root->getLastChild()), nullptr);

  // Walking all "a" children with the pair of calls.
  int count = 0;
  for (DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, "a"); e;
       e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, "a"))
    ++count;
  EXPECT_EQ(count, 2);
}

TEST_F(XmlUtilTest, NavigationHandlesNullNodesNullNamesAndLongNames) {
  using U = TDR_DATA_XML_UTIL;
  EXPECT_EQ(U::find_first_child_element(nullptr), nullptr);
  EXPECT_EQ(U::find_first_child_element_by_name(nullptr, "a"), nullptr);
  EXPECT_EQ(U::find_first_child_element_by_name(nullptr, u"a"), nullptr);
  EXPECT_EQ(U::find_next_sibling_element(nullptr), nullptr);
  EXPECT_EQ(U::find_next_sibling_element_by_name(nullptr, "a"), nullptr);

  DOMElement* root = new_doc(u"root")->getDocumentElement();
  std::string long_name(300, 'n');
  DOMElement* e = add(root, std::u16string(long_name.begin(), long_name.end()).c_str());
  EXPECT_EQ(U::find_first_child_element_by_name(root, long_name.c_str()), e);
  EXPECT_EQ(U::find_first_child_element_by_name(root, (long_name + "x").c_str()), nullptr);

  // A null name is an internal error, reported once per call.
  const char* no_name = nullptr;
  const XMLCh* no_xml_name = nullptr;
  EXPECT_EQ(U::find_first_child_element_by_name(root, no_name), nullptr);
  CAPTURED_INTERNAL_ERROR error = expect_internal_error("element_name != NULL");
  EXPECT_EQ(error.file, "tdr_data_xml_util");
  EXPECT_EQ(error.module, "TDR");
  EXPECT_GT(error.line, 0);
  EXPECT_EQ(U::find_first_child_element_by_name(root, no_xml_name), nullptr);
  EXPECT_EQ(U::find_next_sibling_element_by_name(e, no_name), nullptr);
  EXPECT_EQ(U::find_next_sibling_element_by_name(e, no_xml_name), nullptr);
  for (int i = 0; i < 3; ++i) expect_internal_error("element_name != NULL");
  EXPECT_TRUE(m_sink.internal_errors.empty());
}

TEST_F(XmlUtilTest, XmlStrHoldsEachFormOnlyWhenAsked) {
  TDR_DATA_XML_STR name("signal_set");
  EXPECT_TRUE(xercesc::XMLString::equals(name.xml(), u"signal_set"));
  EXPECT_EQ(name.narrow(), nullptr);
  EXPECT_EQ(TDR_DATA_XML_STR(nullptr).xml(), nullptr);
  TDR_DATA_XML_STR value;
  value.assign(u"first");
  value.assign(u"second value");
  EXPECT_STREQ(value.narrow(), "second value");
  value.assign(u"");
  EXPECT_EQ(value.narrow(), nullptr);
  value.assign(u"again");
  value.assign(nullptr);
  EXPECT_EQ(value.narrow(), nullptr);
}

// ---------------------------------------------------------------------------
// Printer layout

TEST_F(XmlUtilTest, LayoutIndentsByLevelAndKeepsShortFormForEmptyElementsOnly) {
  DOMDocument* d = new_doc(u"session");
  DOMElement* inst = add(d->getDocumentElement(), u"instance");
  DOMElement* set = add(inst, u"signal_set");
  add(add(set, u"signal_vec"), u"wire");
  DOMElement* blank = add(inst, u"blank");
  add_text(blank, u" \n\t ");
  add(inst, u"empty_text")->appendChild(d->createTextNode(u""));
  add(d->getDocumentElement(), u"global_info");
  const std::string root =
      "<session>\n"
      "  <instance>\n"
      "    <signal_set>\n"
      "      <signal_vec>\n"
      "        <wire/>\n"
      "      </signal_vec>\n"
      "    </signal_set>\n"
      "    <blank>\n"
      "    </blank>\n"
      "    <empty_text>\n"
      "    </empty_text>\n"
      "  </instance>\n"
      "  <global_info/>\n"
      "</session>";
  EXPECT_EQ(print_checked(d), root + "\n");
  std::string path = temp_path("layout.xml");
  ASSERT_TRUE(tdr_xml_write_file(d, path.c_str(), true));
  EXPECT_EQ(read_file(path), root + "\n");
  // Printing the root alone leaves out the document's line end.
  EXPECT_EQ(print_checked(d->getDocumentElement()), root);
}

TEST_F(XmlUtilTest, TextEndTagsAndTheDataElement) {
  DOMDocument* d = new_doc(u"log");
  DOMElement* root = d->getDocumentElement();
  add_text(add(root, u"data"), u"0101 ");
  add_text(add(root, u"level"), u"'a' == 1  \n");
  DOMElement* mixed = add(root, u"data");
  add_text(mixed, u"11");
  add(mixed, u"x");
  add_text(mixed, u" \n");
  // No layout follows white space inside "data", so it is kept there; a
  // "data" element holding only empty texts has nothing to show.
  add_text(add(root, u"data"), u"\n");
  DOMElement* empty = add(root, u"data");
  add_text(empty, u"");
  add_text(empty, u"");
  std::string expected =
      "<log>\n"
      "  <data>0101 </data>\n"
      "  <level>'a' == 1\n"
      "  </level>\n"
      "  <data>11\n"
      "    <x/> \n</data>\n"
      "  <data>\n</data>\n"
      "  <data/>\n"
      "</log>\n";
  EXPECT_EQ(print_checked(d), expected);
  EXPECT_EQ(reread_and_save(expected), expected);
}

TEST_F(XmlUtilTest, RunsOfWhiteSpaceTextsPrintInLinearTime) {
  DOMDocument* d = new_doc(u"r");
  DOMElement* data = add(d->getDocumentElement(), u"data");
  DOMElement* level = add(d->getDocumentElement(), u"level");
  add_text(level, u"cond ");
  const int count = 60000;
  for (int i = 0; i < count; ++i) {
    add_text(data, i % 2 ? u" " : u"\n");
    add_text(level, u"\t");
  }
  auto t0 = std::chrono::steady_clock::now();
  std::string out = print(d);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 2.0);
  std::string kept;
  for (int i = 0; i < count; ++i) kept += i % 2 ? " " : "\n";
  EXPECT_EQ(out, "<r>\n  <data>" + kept + "</data>\n  <level>cond\n  </level>\n</r>\n");
}

TEST_F(XmlUtilTest, OtherNodeKindsPrintInPlace) {
  DOMDocument* d = new_doc(u"r");
  DOMElement* root = d->getDocumentElement();
  d->insertBefore(d->createComment(u" head "), root);
  d->insertBefore(d->createProcessingInstruction(u"style", u"href=\"x\""), root);
  add_text(root, u"t1 ");
  root->appendChild(d->createComment(u"c1"));
  add_text(root, u"t2 ");
  root->appendChild(d->createCDATASection(u"a<b&c ]"));
  root->appendChild(d->createProcessingInstruction(u"empty", u""));
  root->appendChild(d->createEntityReference(u"amp"));
  add(root, u"e");
  root->appendChild(d->createComment(u"tail"));
  d->appendChild(d->createComment(u"after"));
  EXPECT_EQ(print_checked(d),
            "<!-- head -->\n"
            "<?style href=\"x\"?>\n"
            "<r>t1 <!--c1-->t2 <![CDATA[a<b&c ]]]><?empty?>&amp;\n"
            "  <e/><!--tail-->\n"
            "</r>\n"
            "<!--after-->\n");
}

TEST_F(XmlUtilTest, DoctypeAndEntitiesFromAFile) {
  DOMDocument* d = read_text(
      "<!DOCTYPE r [<!ENTITY e \"v>w\">]>\n"
      "<r a=\"&e;\">x&e;y</r>\n");
  ASSERT_NE(d, nullptr);
  std::string out = print_checked(d);
  EXPECT_EQ(out,
            "<!DOCTYPE r[<!ENTITY e \"v>w\">]>\n"
            "<r a=\"v>w\">x&e;y\n"
            "</r>\n");
  EXPECT_EQ(reread_and_save(out), out);

  DOMDocument* ext = read_text("<!DOCTYPE r PUBLIC \"-//X//Y\" \"no.dtd\"><r/>", "pub.xml");
  ASSERT_NE(ext, nullptr);
  EXPECT_EQ(print_checked(ext), "<!DOCTYPE r PUBLIC \"-//X//Y\" \"no.dtd\">\n<r/>\n");
  DOMDocument* sys = read_text("<!DOCTYPE r SYSTEM \"no.dtd\"><r/>", "sys.xml");
  ASSERT_NE(sys, nullptr);
  EXPECT_EQ(print_checked(sys), "<!DOCTYPE r SYSTEM \"no.dtd\">\n<r/>\n");
}

TEST_F(XmlUtilTest, AttributesComeOutSortedByName) {
  DOMDocument* d = new_doc(u"r");
  DOMElement* root = d->getDocumentElement();
  root->setAttribute(u"name", u"n");
  root->setAttribute(u"alias", u"a");
  root->setAttribute(u"Zeta", u"z");
  root->setAttribute(u"tap_mode", u"t");
  EXPECT_EQ(print_checked(d), "<r Zeta=\"z\" alias=\"a\" name=\"n\" tap_mode=\"t\"/>\n");

  DOMDocument* parsed = read_text("<r z=\"1\" b=\"2\" m=\"3\" a_b=\"4\"/>");
  ASSERT_NE(parsed, nullptr);
  EXPECT_EQ(print_checked(parsed), "<r a_b=\"4\" b=\"2\" m=\"3\" z=\"1\"/>\n");
}

TEST_F(XmlUtilTest, UnknownNodeKindsPrintNothing) {
  DOMDocument* d = new_doc(u"r");
  xercesc::DOMDocumentFragment* fragment = d->createDocumentFragment();
  fragment->appendChild(d->createElement(u"inside"));
  EXPECT_EQ(print(fragment), "");
  EXPECT_EQ(print(d->createAttribute(u"a")), "");
  fragment->release();
  std::ostringstream out;
  out << static_cast<DOMNode*>(nullptr);
  EXPECT_EQ(out.str(), "");
}

// ---------------------------------------------------------------------------
// Escaping

TEST_F(XmlUtilTest, EscapesTextAndAttributeValues) {
  DOMDocument* d = new_doc(u"r");
  DOMElement* root = d->getDocumentElement();
  root->setAttribute(u"v", u"a\"b&c<d>e'f\tg\nh\ri");
  DOMElement* t = add(root, u"t");
  add_text(t, u"a<b & c>d \"q\" 'p'\te\rf\ng");
  EXPECT_EQ(print_checked(d),
            "<r v=\"a&quot;b&amp;c&lt;d>e'f&#x9;g&#xA;h&#xD;i\">\n"
            "  <t>a&lt;b &amp; c&gt;d \"q\" 'p'\te&#xD;f\ng\n"
            "  </t>\n"
            "</r>\n");
  // UTF-8 text for files of our own: markup characters only, other bytes kept.
  EXPECT_EQ(tdr_xml_escape_utf8("a\"b&c<d>e'f\tg\r\xC3\xA9\xF0\x9F\x98\x80"),
            "a&quot;b&amp;c&lt;d&gt;e'f\tg\r\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(tdr_xml_escape_utf8(""), "");
}

TEST_F(XmlUtilTest, NonAsciiBecomesCharacterReferencesThatReadBack) {
  const XMLCh value[] = u"caf\u00e9 \u20ac \U0001F600 \uFFFD";
  DOMDocument* d = new_doc(u"r");
  DOMElement* root = d->getDocumentElement();
  root->setAttribute(u"alias", value);
  add_text(add(root, u"text"), value);
  root->appendChild(d->createComment(u"\u00e9"));
  std::string path = temp_path("unicode.xml");
  ASSERT_TRUE(tdr_xml_write_file(d, path.c_str(), false));
  std::string bytes = read_file(path);
  EXPECT_EQ(bytes,
            "<r alias=\"caf&#xE9; &#x20AC; &#x1F600; &#xFFFD;\">\n"
            "  <text>caf&#xE9; &#x20AC; &#x1F600; &#xFFFD;\n"
            "  </text><!--&#xE9;-->\n"
            "</r>\n");
  for (char c : bytes) EXPECT_LT(static_cast<unsigned char>(c), 0x80);

  DOMDocument* back = read(path);
  ASSERT_NE(back, nullptr);
  DOMElement* r = back->getDocumentElement();
  EXPECT_TRUE(xercesc::XMLString::equals(r->getAttribute(u"alias"), value));
  DOMElement* text = TDR_DATA_XML_UTIL::find_first_child_element_by_name(r, "text");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text->getTextContent()), std::u16string(value) + u"\n  ");
}

// A reference is not allowed in a name, so names go out in UTF-8 (the
// encoding a declaration-less file is read in) and the file reads back.
TEST_F(XmlUtilTest, NonAsciiNamesAreWrittenInUtf8AndReadBack) {
  const std::string xml =
      "<r \xC3\xA9t\xC3\xA9=\"\xE2\x82\xAC\"><\xE6\xB0\xB4 a=\"1\"/>"
      "<?\xC3\xBC x?><\xF0\x90\x80\x80/></r>";
  std::string saved = reread_and_save(xml);
  EXPECT_EQ(saved,
            "<r \xC3\xA9t\xC3\xA9=\"&#x20AC;\">\n"
            "  <\xE6\xB0\xB4 a=\"1\"/><?\xC3\xBC x?>\n"
            "  <\xF0\x90\x80\x80/>\n"
            "</r>\n");
  EXPECT_EQ(reread_and_save(saved), saved);
  DOMDocument* d = read_text(saved, "back.xml");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(print(d, true), print(d, false));
  DOMElement* r = d->getDocumentElement();
  EXPECT_TRUE(xercesc::XMLString::equals(r->getAttribute(u"\u00e9t\u00e9"), u"\u20ac"));
  ASSERT_NE(r->getFirstElementChild(), nullptr);
  EXPECT_TRUE(xercesc::XMLString::equals(r->getFirstElementChild()->getNodeName(), u"\u6c34"));
  EXPECT_TRUE(xercesc::XMLString::equals(r->getLastElementChild()->getNodeName(), u"\U00010000"));
}

TEST_F(XmlUtilTest, DirectEncoderMatchesTheFormatterOnEveryCharacter) {
  std::u16string all;
  for (unsigned c = 1; c <= 0xFFFF; ++c)
    if (c < 0xD800 || c > 0xDFFF) all += static_cast<char16_t>(c);
  all += u"\U0001F600\U00010000\U0010FFFF";
  DOMDocument* d = new_doc(u"data");
  DOMElement* root = d->getDocumentElement();
  root->setAttribute(u"v", all.c_str());
  EXPECT_EQ(print(root), "<data v=\"" + formatter_bytes(all, XMLFormatter::AttrEscapes) + "\"/>");
  root->removeAttribute(u"v");
  add_text(root, all.c_str());
  EXPECT_EQ(print(root), "<data>" + formatter_bytes(all, XMLFormatter::CharEscapes) + "</data>");
  root->removeChild(root->getFirstChild())->release();
  root->appendChild(d->createComment(all.c_str()));
  EXPECT_EQ(print(root),
            "<data><!--" + formatter_bytes(all, XMLFormatter::NoEscapes) + "--></data>");
}

TEST_F(XmlUtilTest, DirectEncoderMatchesTheFormatterOnRandomStrings) {
  DOMDocument* d = new_doc(u"data");
  DOMElement* root = d->getDocumentElement();
  auto compare = [&](const std::u16string& s, bool with_layout) {
    DOMNode* text = root->appendChild(d->createTextNode(s.c_str()));
    ASSERT_EQ(print(root), "<data>" + formatter_bytes(s, XMLFormatter::CharEscapes) + "</data>");
    root->removeChild(text)->release();
    root->setAttribute(u"v", s.c_str());
    ASSERT_EQ(print(root), "<data v=\"" + formatter_bytes(s, XMLFormatter::AttrEscapes) + "\"/>");
    if (with_layout) {
      // Text before layout loses its trailing white space in both modes.
      root->appendChild(d->createTextNode(s.c_str()));
      add(root, u"e");
      ASSERT_EQ(print(root, true), print(root, false));
      while (root->getFirstChild()) root->removeChild(root->getFirstChild())->release();
    }
    root->removeAttribute(u"v");
  };
  // Short strings of specials of every mode, white space, ASCII edges,
  // non-ASCII, whole surrogate pairs and broken ones.
  const std::u16string alphabet = {u'a', u'Z', u'&', u'<', u'>', u'"', u'\'', u'\t', u'\n', u'\r',
                                   u' ', 0x01, 0x7F, 0x80, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xD800,
                                   0xDBFF, 0xDC00, 0xDFFF, 0xFFFD, 0xFFFF};
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::u16string s(1, u'x');
    for (size_t i = 0, len = rng() % 24; i < len; ++i) s += alphabet[rng() % alphabet.size()];
    SCOPED_TRACE(round);
    compare(s, true);
  }
  // Sample and Base64 texts: long plain runs with a rare special character.
  const std::u16string rare = {u'&', u'<', u'>', u'"', u'\t', u'\n', u'\r', 0xE9, 0xD83D, 0xDE00,
                               0xD800};
  const std::u16string plain = u"01ABCxyz+/=: ;-_'";
  for (int round = 0; round < 400; ++round) {
    std::u16string s(1, u'x');
    for (size_t i = 0, len = rng() % 300; i < len; ++i)
      s += rng() % 40 == 0 ? rare[rng() % rare.size()] : plain[rng() % plain.size()];
    SCOPED_TRACE(round);
    compare(s, false);
  }
}

TEST_F(XmlUtilTest, FormatterOfAnotherEncodingIsUsedAsItIs) {
  DOMDocument* d = new_doc(u"r");
  d->getDocumentElement()->setAttribute(u"a", u"\u00e9<");
  std::ostringstream out;
  TDR_DATA_XML_DOM_FORMAT target(out);
  XMLFormatter f("UTF-8", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
  TDR_DATA_XML_PRINT::start(&f, false);
  out << static_cast<DOMNode*>(d);
  TDR_DATA_XML_PRINT::end(false);
  EXPECT_EQ(out.str(), "<r a=\"\xc3\xa9&lt;\"/>\n");
}

// ---------------------------------------------------------------------------
// Round trips

TEST_F(XmlUtilTest, OpenSaveIsAFixedPoint) {
  const std::string messy =
      "<?xml version=\"1.0\"?>\n"
      "<session kfb_file=\"a&amp;b.kfb\" z=\"&#xE9;\">   <!-- note -->\n"
      "<instance name='i1'>\n\n"
      "   <level>'a' == 1 &amp;&amp;\n     'b' == 0   </level>\n"
      "   <data>0101\n</data>  <data>\n</data>\n"
      "   <mixed>lead <b/>  middle  <c/> tail   </mixed>\n"
      "   <embedded>QUJD\nREVG\n</embedded>\n"
      "   <blank>    </blank><cr>a&#xD;b&#xD;</cr>\n"
      "   <pi><?target some data?></pi><cdata><![CDATA[ x < y ]]>after</cdata>\n"
      "</instance>\t\n"
      "</session>\n";
  std::string first = reread_and_save(messy);
  EXPECT_EQ(first,
            "<session kfb_file=\"a&amp;b.kfb\" z=\"&#xE9;\"><!-- note -->\n"
            "  <instance name=\"i1\">\n"
            "    <level>'a' == 1 &amp;&amp;\n     'b' == 0\n"
            "    </level>\n"
            "    <data>0101\n</data>\n"
            "    <data>\n</data>\n"
            "    <mixed>lead\n"
            "      <b/>  middle\n"
            "      <c/> tail\n"
            "    </mixed>\n"
            "    <embedded>QUJD\nREVG\n"
            "    </embedded>\n"
            "    <blank>\n"
            "    </blank>\n"
            "    <cr>a&#xD;b\n"
            "    </cr>\n"
            "    <pi><?target some data?>\n"
            "    </pi>\n"
            "    <cdata><![CDATA[ x < y ]]>after\n"
            "    </cdata>\n"
            "  </instance>\n"
            "</session>\n");
  std::string second = reread_and_save(first);
  EXPECT_EQ(second, first);
  EXPECT_EQ(reread_and_save(second), first);
}

TEST_F(XmlUtilTest, AdjacentTextNodesDoNotGrowAcrossSaves) {
  DOMDocument* d = new_doc(u"r");
  DOMElement* root = d->getDocumentElement();
  DOMElement* cond = add(root, u"cond");
  add_text(cond, u"abc  ");
  add_text(cond, u" \n ");
  add(cond, u"x");
  add_text(cond, u"def ");
  add_text(cond, u"\t");
  std::string path = temp_path("adjacent.xml");
  ASSERT_TRUE(tdr_xml_write_file(d, path.c_str(), true));
  std::string first = read_file(path);
  EXPECT_EQ(first, "<r>\n  <cond>abc\n    <x/>def\n  </cond>\n</r>\n");
  EXPECT_EQ(reread_and_save(first), first);
}

// ---------------------------------------------------------------------------
// Writing

TEST_F(XmlUtilTest, WriteReplacesAndCreatesWithMode0666BeforeUmask) {
  DOMDocument* d = new_doc(u"r");
  std::string path = temp_path("mode.xml");
  write_file(path, std::string(10000, 'x'));
  ASSERT_TRUE(tdr_xml_write_file(d, path.c_str(), true));
  EXPECT_EQ(read_file(path), "<r/>\n");

  mode_t old = umask(0);
  std::string open_path = temp_path("open.xml");
  bool ok = tdr_xml_write_file(d, open_path.c_str(), false);
  umask(022);
  std::string masked_path = temp_path("masked.xml");
  bool ok_masked = tdr_xml_write_file(d, masked_path.c_str(), false);
  umask(old);
  ASSERT_TRUE(ok);
  ASSERT_TRUE(ok_masked);
  struct stat st;
  ASSERT_EQ(stat(open_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
  ASSERT_EQ(stat(masked_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(XmlUtilTest, WriteFailuresReturnFalseAndReleaseTheLock) {
  DOMDocument* d = new_doc(u"r");
  add_text(d->getDocumentElement(), std::u16string(200000, u'x').c_str());
  EXPECT_FALSE(tdr_xml_write_file(d, temp_path("no/such/dir.xml").c_str(), true));
  struct stat st;
  if (stat("/dev/full", &st) == 0) {
    EXPECT_FALSE(tdr_xml_write_file(d, "/dev/full", true));
  }
  EXPECT_TRUE(m_sink.messages.empty());
  // The lock is free again.
  ASSERT_EQ(pthread_mutex_trylock(&TDR_DATA_XML_PRINT::s_mutex.mutex), 0);
  pthread_mutex_unlock(&TDR_DATA_XML_PRINT::s_mutex.mutex);

  EXPECT_FALSE(tdr_xml_write_file(nullptr, temp_path("x.xml").c_str(), true));
  expect_internal_error("doc != NULL");
  EXPECT_FALSE(tdr_xml_write_file(d, static_cast<const char*>(nullptr), true));
  expect_internal_error("file != NULL");
}

TEST_F(XmlUtilTest, StartAndEndHoldTheLockOnlyWhenAsked) {
  auto lock_is_free = [] {
    if (pthread_mutex_trylock(&TDR_DATA_XML_PRINT::s_mutex.mutex) != 0) return false;
    pthread_mutex_unlock(&TDR_DATA_XML_PRINT::s_mutex.mutex);
    return true;
  };
  STRING_TARGET target;
  XMLFormatter f("US-ASCII", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
  TDR_DATA_XML_PRINT::start(&f, true);
  EXPECT_EQ(TDR_DATA_XML_PRINT::s_dom_formatter, &f);
  EXPECT_FALSE(lock_is_free());
  TDR_DATA_XML_PRINT::end(true);
  EXPECT_EQ(TDR_DATA_XML_PRINT::s_dom_formatter, nullptr);
  EXPECT_TRUE(lock_is_free());
  TDR_DATA_XML_PRINT::start(&f, false);
  EXPECT_TRUE(lock_is_free());
  TDR_DATA_XML_PRINT::end(false);
}

TEST_F(XmlUtilTest, DepthIsRestoredWhenPrintingThrows) {
  class THROWING_TARGET : public xercesc::XMLFormatTarget {
   public:
    void writeChars(const XMLByte* const, const XMLSize_t, XMLFormatter* const) override {
      if (++calls > 12) throw std::runtime_error("disk gone");
    }
    int calls = 0;
  } target;
  DOMDocument* d = new_doc(u"r");
  add(add(add(d->getDocumentElement(), u"a"), u"b"), u"c");
  XMLFormatter f("US-ASCII", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
  TDR_DATA_XML_PRINT::s_direct_output = false;
  TDR_DATA_XML_PRINT::start(&f, true);
  std::ostringstream out;
  EXPECT_THROW(out << static_cast<DOMNode*>(d), std::runtime_error);
  EXPECT_EQ(TDR_DATA_XML_PRINT::s_depth, 0);
  TDR_DATA_XML_PRINT::end(true);
}

// ---------------------------------------------------------------------------
// Reading

TEST_F(XmlUtilTest, MalformedFilesPostSourceGeneric) {
  std::string path = temp_path("bad.xml");
  write_file(path, "<a><b></a>");
  EXPECT_EQ(read(path, "shown/bad.xml"), nullptr);
  EXPECT_EQ(expect_read_error("shown/bad.xml"), "expected end of tag 'b'");

  write_file(path, "");
  EXPECT_EQ(read(path), nullptr);
  EXPECT_EQ(expect_read_error(path), "invalid document structure");

  write_file(path, "<session a=\"1\"><instance>tex");
  EXPECT_EQ(read(path), nullptr);
  EXPECT_NE(expect_read_error(path).find("input ended before all started tags were ended"),
            std::string::npos);

  std::string missing = temp_path("missing.xml");
  EXPECT_EQ(read(missing), nullptr);
  EXPECT_NE(expect_read_error(missing).find("unable to open primary document entity"),
            std::string::npos);
  // A name that looks like a URL is a (missing) local file, nothing remote.
  EXPECT_EQ(read("http://127.0.0.1:9/session.xml"), nullptr);
  EXPECT_NE(expect_read_error("http://127.0.0.1:9/session.xml").find("unable to open"),
            std::string::npos);
  // Relative names are taken from the current directory.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  ASSERT_EQ(chdir(temp_dir().c_str()), 0);
  write_file("relative.xml", "<r/>");
  DOMDocument* relative = read("relative.xml");
  ASSERT_EQ(chdir(cwd), 0);
  ASSERT_NE(relative, nullptr);
  EXPECT_EQ(narrow(relative->getDocumentElement()->getNodeName()), "r");
  EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(XmlUtilTest, TruncatedAndBinaryFilesFailCleanly) {
  DOMDocument* d = new_doc(u"session");
  for (int i = 0; i < 50; ++i) add(d->getDocumentElement(), u"instance")->setAttribute(u"n", u"v");
  std::string good = print(d);
  std::string path = temp_path("t.xml");
  for (size_t cut : {size_t(1), good.size() / 3, good.size() / 2, good.size() - 9}) {
    write_file(path, good.substr(0, cut));
    EXPECT_EQ(read(path), nullptr) << cut;
    EXPECT_FALSE(expect_read_error(path).empty());
  }
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::string garbage;
    size_t len = 1 + rng() % 4096;
    for (size_t i = 0; i < len; ++i) garbage += static_cast<char>(rng());
    garbage += '\xff';  // never valid UTF-8
    if (round == 1) garbage = "\xff\xfe" + garbage;  // UTF-16 byte order mark
    if (round == 2) garbage = "\xef\xbb\xbf<" + garbage;
    if (round == 3) garbage = "<a>" + garbage + "</a>";
    write_file(path, garbage);
    EXPECT_EQ(read(path), nullptr) << round;
    EXPECT_FALSE(expect_read_error(path).empty());
  }
}

TEST_F(XmlUtilTest, BillionLaughsFailsFastAndSmall) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  std::string prev = "lol";
  for (int i = 1; i <= 9; ++i) {
    std::string name = "lol" + std::to_string(i);
    xml += "<!ENTITY " + name + " \"";
    for (int k = 0; k < 10; ++k) xml += "&" + prev + ";";
    xml += "\">\n";
    prev = name;
  }
  xml += "]>\n<lolz a=\"&lol9;\">&lol9;</lolz>\n";
  struct rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(read_text(xml, "lol.xml"), nullptr);
  getrusage(RUSAGE_SELF, &after);
  // Processor time, so a busy machine does not count; well under a second in
  // an optimised build, a few times that under the sanitizers.
  auto cpu = [](const struct rusage& r) {
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
  };
  EXPECT_LT(cpu(after) - cpu(before), 3.0);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024);  // KiB
  EXPECT_NE(expect_read_error(temp_path("lol.xml")).find("entity expansions"), std::string::npos);
}

TEST_F(XmlUtilTest, LongEntitiesAreRefusedSoExpansionStaysBounded) {
  std::string big(TDR_XML_MAX_ENTITY_VALUE + 1, 'x');
  std::string refs;
  for (int i = 0; i < 5000; ++i) refs += "&a;";
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(read_text("<!DOCTYPE r [<!ENTITY a \"" + big + "\">]>\n<r>" + refs + "</r>", "q.xml"),
            nullptr);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
  EXPECT_EQ(expect_read_error(temp_path("q.xml")),
            "entity 'a' is longer than " + std::to_string(TDR_XML_MAX_ENTITY_VALUE) +
                " characters");
  // At the limit an entity is an ordinary one.
  std::string fits(TDR_XML_MAX_ENTITY_VALUE, 'y');
  DOMDocument* d = read_text("<!DOCTYPE r [<!ENTITY a \"" + fits + "\">]>\n<r>&a;&a;</r>", "f.xml");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(xercesc::XMLString::stringLen(d->getDocumentElement()->getTextContent()),
            2u * TDR_XML_MAX_ENTITY_VALUE);
}

TEST_F(XmlUtilTest, ExternalEntitiesAreNeverOpened) {
  std::string secret = temp_path("secret.txt");
  write_file(secret, "TOPSECRET");
  write_file(temp_path("secret.dtd"), "<!ENTITY x \"TOPSECRET\">");

  EXPECT_EQ(read_text("<!DOCTYPE r [<!ENTITY x SYSTEM \"secret.txt\">]>\n<r>&x;</r>", "e1.xml"),
            nullptr);
  EXPECT_EQ(expect_read_error(temp_path("e1.xml")), "external entity 'secret.txt' refused");

  EXPECT_EQ(read_text("<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]>\n"
                      "<r a=\"1\">&x;</r>",
                      "e2.xml"),
            nullptr);
  EXPECT_NE(expect_read_error(temp_path("e2.xml")).find("refused"), std::string::npos);

  EXPECT_EQ(read_text("<!DOCTYPE r [<!ENTITY % p SYSTEM \"secret.dtd\"> %p;]>\n<r>&x;</r>",
                      "e3.xml"),
            nullptr);
  EXPECT_NE(expect_read_error(temp_path("e3.xml")).find("refused"), std::string::npos);

  // An external DTD is not loaded: its entities stay unknown, the secret out.
  DOMDocument* d = read_text("<!DOCTYPE r SYSTEM \"secret.dtd\">\n<r>&x;</r>", "e4.xml");
  if (d) {
    EXPECT_EQ(print(d).find("TOPSECRET"), std::string::npos);
  } else {
    EXPECT_EQ(expect_read_error(temp_path("e4.xml")).find("TOPSECRET"), std::string::npos);
  }
  // A declared but unused external entity is harmless.
  DOMDocument* unused =
      read_text("<!DOCTYPE r [<!ENTITY x SYSTEM \"secret.txt\">]>\n<r>ok</r>", "e5.xml");
  ASSERT_NE(unused, nullptr);
  EXPECT_EQ(print(unused).find("TOPSECRET"), std::string::npos);
}

TEST_F(XmlUtilTest, DeepNestingIsRefusedWithoutRecursion) {
  const int too_deep = 100000;
  std::string xml;
  for (int i = 0; i < too_deep; ++i) xml += "<a>";
  for (int i = 0; i < too_deep; ++i) xml += "</a>";
  std::string path = temp_path("deep.xml");
  write_file(path, xml);
  DOMDocument* d = reinterpret_cast<DOMDocument*>(1);
  run_with_small_stack(512 * 1024, [&] { d = read(path); });
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(expect_read_error(path),
            "elements nested deeper than " + std::to_string(TDR_XML_MAX_ELEMENT_DEPTH) + " levels");

  // Exactly at the limit the file is accepted.
  xml.clear();
  for (int i = 0; i < TDR_XML_MAX_ELEMENT_DEPTH; ++i) xml += "<a>";
  xml += "x";
  for (int i = 0; i < TDR_XML_MAX_ELEMENT_DEPTH; ++i) xml += "</a>";
  write_file(path, xml);
  EXPECT_NE(read(path), nullptr);
}

TEST_F(XmlUtilTest, PrintsDeepTreesWithoutRecursion) {
  const int depth = 9000;
  DOMDocument* d = new_doc(u"a");
  DOMNode* n = d->getDocumentElement();
  for (int i = 1; i < depth; ++i) n = add(n, u"a");
  add_text(n, u"leaf");

  size_t expected = 0;  // "<a>" lines down, "</a>" lines up, text at the bottom
  for (int level = 1; level <= depth; ++level) {
    size_t indent = 2 * static_cast<size_t>(level - 1);
    expected += (level > 1 ? 1 : 0) + indent + 3;
    expected += 1 + indent + 4;
  }
  expected += 4 + 1;  // "leaf" and the document's line end

  std::string head = "<a>";
  for (int level = 2; head.size() < 64; ++level)
    head += "\n" + std::string(2 * (level - 1), ' ') + "<a>";
  head.resize(64);

  unsigned long long hashes[2];
  for (bool direct : {true, false}) {
    TAIL_BUF buf;
    std::ostream out(&buf);
    TDR_DATA_XML_DOM_FORMAT target(out);
    XMLFormatter f("US-ASCII", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
    TDR_DATA_XML_PRINT::s_direct_output = direct;
    run_with_small_stack(256 * 1024, [&] {
      TDR_DATA_XML_PRINT::start(&f, true);
      out << static_cast<DOMNode*>(d);
      TDR_DATA_XML_PRINT::end(true);
    });
    TDR_DATA_XML_PRINT::s_direct_output = true;
    EXPECT_EQ(buf.count, expected);
    EXPECT_EQ(buf.head, head);
    ASSERT_GE(buf.tail.size(), 19u);
    EXPECT_EQ(buf.tail.substr(buf.tail.size() - 19), "  </a>\n  </a>\n</a>\n");
    hashes[direct ? 0 : 1] = buf.hash;
  }
  EXPECT_EQ(hashes[0], hashes[1]);
}

}  // namespace
