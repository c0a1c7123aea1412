// XML toolkit: navigation, dual-form strings, reading (hostile files too),
// writing and the printer's exact layout and escaping.
#include "tdr_test_support.h"

#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xercesc/framework/XMLFormatter.hpp>

#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_io.h"

using xercesc::DOMImplementation;
using xercesc::DOMImplementationRegistry;
using xercesc::XMLFormatter;

namespace {

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

bool print_lock_is_free() {
  if (pthread_mutex_trylock(&TDR_DATA_XML_PRINT::s_mutex.mutex) != 0) return false;
  pthread_mutex_unlock(&TDR_DATA_XML_PRINT::s_mutex.mutex);
  return true;
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
    return r.args[1];
  }

  DOMImplementation* m_impl = nullptr;
  std::vector<DOMDocument*> m_docs;
  std::vector<std::unique_ptr<ZENVOR_DOM_PARSER>> m_parsers;
};

// Navigation

TEST_F(XmlUtilTest, NavigationSkipsOtherNodesAndHandlesNullAndLongNames) {
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

  using U = TDR_DATA_XML_UTIL;
  EXPECT_EQ(U::find_first_child_element(root), a1);
  EXPECT_EQ(U::find_first_child_element_by_name(root, "trigger"), t1);
  EXPECT_EQ(U::find_first_child_element_by_name(root, u"trigger"), t1);
  for (const char* other : {"TRIGGER", "trig", "text"})
    EXPECT_EQ(U::find_first_child_element_by_name(root, other), nullptr) << other;

  // The sibling search starts after its argument, even on a matching name.
  EXPECT_EQ(U::find_next_sibling_element_by_name(t1, "trigger"), t2);
  EXPECT_EQ(U::find_next_sibling_element_by_name(t2, u"trigger"), nullptr);
  EXPECT_EQ(U::find_next_sibling_element_by_name(a1, "a"), a2);
  EXPECT_EQ(U::find_next_sibling_element(t1), a2);
  EXPECT_EQ(U::find_next_sibling_element(root->getLastChild()), nullptr);

  for (DOMElement* none : {U::find_first_child_element(nullptr),
                           U::find_first_child_element_by_name(nullptr, "a"),
                           U::find_next_sibling_element(nullptr),
                           U::find_next_sibling_element_by_name(nullptr, u"a")})
    EXPECT_EQ(none, nullptr);
  std::string long_name(300, 'n');
  DOMElement* e = add(root, std::u16string(long_name.begin(), long_name.end()).c_str());
  EXPECT_EQ(U::find_first_child_element_by_name(root, long_name.c_str()), e);

  // A null name is an internal error, reported once per call.
  const char* no_name = nullptr;
  const XMLCh* no_xml_name = nullptr;
  EXPECT_EQ(U::find_first_child_element_by_name(root, no_name), nullptr);
  EXPECT_EQ(expect_internal_error("element_name != NULL").file, "tdr_data_xml_util");
  EXPECT_EQ(U::find_first_child_element_by_name(root, no_xml_name), nullptr);
  EXPECT_EQ(U::find_next_sibling_element_by_name(e, no_name), nullptr);
  EXPECT_EQ(U::find_next_sibling_element_by_name(e, no_xml_name), nullptr);
  for (int i = 0; i < 3; ++i) expect_internal_error("element_name != NULL");
  EXPECT_TRUE(m_sink.internal_errors.empty());
}

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
  const std::string root = test_data("core/xml/layout.xml");
  EXPECT_EQ(print_checked(d), root);
  std::string path = temp_path("layout.xml");
  ASSERT_TRUE(tdr_xml_write_file(d, path.c_str(), true));
  EXPECT_EQ(read_file(path), root);
  // Printing the root alone leaves out the document's line end.
  EXPECT_EQ(print_checked(d->getDocumentElement()) + "\n", root);
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
  EXPECT_EQ(print_checked(d), test_data("core/xml/text_end_tags.xml"));
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
  EXPECT_EQ(print_checked(d), test_data("core/xml/other_kinds.xml"));
  // A kind it does not know is named on standard error and left out.
  xercesc::DOMDocumentFragment* fragment = d->createDocumentFragment();
  add(fragment, u"inside");
  testing::internal::CaptureStderr();
  EXPECT_EQ(print(fragment), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unrecognized node type = 11\n");
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

// Escaping

// UTF-8 text for files of our own: markup characters only, other bytes kept.
TEST_F(XmlUtilTest, OwnFilesEscapeMarkupCharactersOnly) {
  EXPECT_EQ(tdr_xml_escape_utf8("a\"b&c<d>e'f\tg\r\xC3\xA9\xF0\x9F\x98\x80"),
            "a&quot;b&amp;c&lt;d&gt;e'f\tg\r\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(tdr_xml_escape_utf8(""), "");
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
  auto compare = [&](const std::u16string& s) {
    DOMNode* text = root->appendChild(d->createTextNode(s.c_str()));
    ASSERT_EQ(print(root), "<data>" + formatter_bytes(s, XMLFormatter::CharEscapes) + "</data>");
    root->removeChild(text)->release();
    root->setAttribute(u"v", s.c_str());
    ASSERT_EQ(print(root), "<data v=\"" + formatter_bytes(s, XMLFormatter::AttrEscapes) + "\"/>");
    // Text before layout loses its trailing white space in both modes.
    root->appendChild(d->createTextNode(s.c_str()));
    add(root, u"e");
    ASSERT_EQ(print(root, true), print(root, false));
    while (root->getFirstChild()) root->removeChild(root->getFirstChild())->release();
    root->removeAttribute(u"v");
  };
  // Short strings of specials of every mode, white space, ASCII edges,
  // non-ASCII, whole surrogate pairs and broken ones, between plain runs of
  // every length around the encoder's eight-character blocks.
  const std::u16string alphabet = {u'a', u'Z', u'&', u'<', u'>', u'"', u'\'', u'\t', u'\n', u'\r',
                                   u' ', 0x01, 0x7F, 0x80, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xD800,
                                   0xDBFF, 0xDC00, 0xDFFF, 0xFFFD, 0xFFFF};
  std::mt19937 rng(12345);
  for (int round = 0; round < 1000; ++round) {
    std::u16string s(1, u'x');
    for (size_t i = 0, len = rng() % 24; i < len; ++i) {
      if (rng() % 3 == 0) s.append(rng() % 20, static_cast<char16_t>(u'!' + rng() % 94));
      s += alphabet[rng() % alphabet.size()];
    }
    SCOPED_TRACE(round);
    compare(s);
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

// Round trips

// Files read and saved: each NAME.in.xml saves as NAME.out.xml, which saves as
// itself. "mixed_white_space" holds white space beside child elements, with
// and without other text; "messy" every kind of node the printer lays out;
// "held_space" white space after an element before every other kind of node.
TEST_F(XmlUtilTest, SavedFilesMatchTheirGoldenFiles) {
  for (std::string name : {"messy", "mixed_white_space", "doctype", "doctype_public",
                           "doctype_system", "non_ascii_names", "non_ascii_values", "data_text",
                           "held_space"}) {
    std::string out = test_data("core/xml/" + name + ".out.xml");
    EXPECT_EQ(reread_and_save(test_data("core/xml/" + name + ".in.xml")), out) << name;
    EXPECT_EQ(reread_and_save(out), out) << name;
  }
}

// The indentation after a child element makes no node; the space before the
// first child, the text of "data" and space that text follows stay whole,
// however the reader hands them over.
TEST_F(XmlUtilTest, IndentationAfterAnElementIsNotKept) {
  std::string run(70000, ' ');
  DOMDocument* d = read_text("<r>\n <m/>\n <data><a/> </data>\n <n><a/>" + run + "x" + run +
                             "<b/>\n</n>\n</r>");
  ASSERT_TRUE(d);
  std::vector<std::string> kinds;
  for (DOMNode* c = d->getDocumentElement()->getFirstChild(); c; c = c->getNextSibling())
    kinds.push_back(c->getNodeType() == DOMNode::TEXT_NODE ? "text" : tdr_narrow(c->getNodeName()));
  EXPECT_EQ(kinds, (std::vector<std::string>{"text", "m", "data", "n"}));
  DOMNode* data = d->getDocumentElement()->getFirstChild()->getNextSibling()->getNextSibling();
  ASSERT_TRUE(data->getLastChild());
  EXPECT_EQ(tdr_narrow(data->getLastChild()->getNodeValue()), " ");
  DOMNode* text = data->getNextSibling()->getFirstChild()->getNextSibling();
  ASSERT_EQ(text->getNodeType(), DOMNode::TEXT_NODE);
  EXPECT_EQ(tdr_narrow(text->getNodeValue()), run + "x" + run);
  EXPECT_EQ(text->getNextSibling()->getNextSibling(), nullptr);
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

// Writing

TEST_F(XmlUtilTest, WriteReplacesAndCreatesWithMode0666BeforeUmask) {
  DOMDocument* d = new_doc(u"r");
  std::string path = temp_path("mode.xml");
  write_file(path, std::string(10000, 'x'));
  ASSERT_TRUE(tdr_xml_write_file(d, path.c_str(), true));
  EXPECT_EQ(read_file(path), "<r/>\n");

  for (mode_t mask : {0, 022}) {
    mode_t old = umask(mask);
    std::string created = temp_path("created" + std::to_string(mask) + ".xml");
    bool ok = tdr_xml_write_file(d, created.c_str(), false);
    umask(old);
    struct stat st;
    ASSERT_TRUE(ok && stat(created.c_str(), &st) == 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
  }
}

TEST_F(XmlUtilTest, WriteFailuresReturnFalseAndThePrintLockIsHeldOnlyWhenAsked) {
  DOMDocument* d = new_doc(u"r");
  add_text(d->getDocumentElement(), std::u16string(200000, u'x').c_str());
  EXPECT_FALSE(tdr_xml_write_file(d, temp_path("no/such/dir.xml").c_str(), true));
  struct stat st;
  if (stat("/dev/full", &st) == 0) {
    EXPECT_FALSE(tdr_xml_write_file(d, "/dev/full", true));
  }
  EXPECT_TRUE(m_sink.messages.empty());
  ASSERT_TRUE(print_lock_is_free());

  EXPECT_FALSE(tdr_xml_write_file(nullptr, temp_path("x.xml").c_str(), true));
  expect_internal_error("doc != NULL");
  EXPECT_FALSE(tdr_xml_write_file(d, static_cast<const char*>(nullptr), true));
  expect_internal_error("file != NULL");

  // Printing outside a write holds the lock only when asked to.
  STRING_TARGET target;
  XMLFormatter f("US-ASCII", &target, XMLFormatter::NoEscapes, XMLFormatter::UnRep_CharRef);
  TDR_DATA_XML_PRINT::start(&f, true);
  EXPECT_TRUE(TDR_DATA_XML_PRINT::s_dom_formatter == &f && !print_lock_is_free());
  TDR_DATA_XML_PRINT::end(true);
  EXPECT_TRUE(TDR_DATA_XML_PRINT::s_dom_formatter == nullptr && print_lock_is_free());
  TDR_DATA_XML_PRINT::start(&f, false);
  EXPECT_TRUE(print_lock_is_free());
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
  EXPECT_TRUE(m_sink.messages.empty());
}

TEST_F(XmlUtilTest, BillionLaughsIsRefused) {
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
  EXPECT_EQ(read_text(xml, "lol.xml"), nullptr);
  EXPECT_NE(expect_read_error(temp_path("lol.xml")).find("entity expansions"), std::string::npos);
}

TEST_F(XmlUtilTest, LongEntitiesAreRefusedSoExpansionStaysBounded) {
  std::string big(TDR_XML_MAX_ENTITY_VALUE + 1, 'x');
  std::string refs;
  for (int i = 0; i < 5000; ++i) refs += "&a;";
  EXPECT_EQ(read_text("<!DOCTYPE r [<!ENTITY a \"" + big + "\">]>\n<r>" + refs + "</r>", "q.xml"),
            nullptr);
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

  // By a relative name, by URL (after an attribute) and as a parameter entity.
  const struct {
    std::string doctype, body, error;
  } refused[] = {
      {"<!ENTITY x SYSTEM \"secret.txt\">", "<r>", "secret.txt"},
      {"<!ENTITY x SYSTEM \"file://" + secret + "\">", "<r a=\"1\">", "file://" + secret},
      {"<!ENTITY % p SYSTEM \"secret.dtd\"> %p;", "<r>", "secret.dtd"}};
  for (const auto& c : refused) {
    SCOPED_TRACE(c.doctype);
    std::string xml = "<!DOCTYPE r [" + c.doctype + "]>\n" + c.body + "&x;</r>";
    EXPECT_EQ(read_text(xml, "e.xml"), nullptr);
    EXPECT_EQ(expect_read_error(temp_path("e.xml")), "external entity '" + c.error + "' refused");
  }

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

// The reader takes documents 10,000 elements deep and refuses one level more,
// without recursing on the depth (run on a small stack).
TEST_F(XmlUtilTest, NestingLimitIsExactAndReadWithoutRecursion) {
  std::string path = temp_path("deep.xml");
  for (int depth : {10000, 10001}) {
    std::string xml;
    for (int i = 0; i < depth; ++i) xml += "<a>";
    xml += "x";
    for (int i = 0; i < depth; ++i) xml += "</a>";
    write_file(path, xml);
    DOMDocument* d = reinterpret_cast<DOMDocument*>(1);
    run_with_small_stack(512 * 1024, [&] { d = read(path); });
    EXPECT_EQ(d != nullptr, depth == 10000) << depth;
  }
  EXPECT_EQ(expect_read_error(path), "elements nested deeper than 10000 levels");
}

TEST_F(XmlUtilTest, PrintsDeepTreesWithoutRecursion) {
  const int depth = 3000;
  DOMDocument* d = new_doc(u"a");
  DOMNode* n = d->getDocumentElement();
  for (int i = 1; i < depth; ++i) n = add(n, u"a");
  add_text(n, u"leaf");
  std::string down = "<a>", up;
  for (int level = 2; level <= depth; ++level)
    down += "\n" + std::string(2 * (level - 1), ' ') + "<a>";
  for (int level = depth; level >= 1; --level)
    up += "\n" + std::string(2 * (level - 1), ' ') + "</a>";
  up += "\n";
  for (bool direct : {true, false}) {
    std::string out;
    run_with_small_stack(128 * 1024, [&] { out = print(d, direct); });
    EXPECT_TRUE(out == down + "leaf" + up) << "direct " << direct;
  }
}

// Runs of US-ASCII shorter and longer than the narrowing buffer, with what
// follows them: two- and four-byte UTF-8 and a broken surrogate pair.
TEST_F(XmlUtilTest, NarrowingKeepsTheBytesOfLongAndShortRuns) {
  for (size_t n : {0u, 1u, 511u, 512u, 513u, 1500u}) {
    std::u16string wide = std::u16string(n, u'a') + u"\u00E9\U0001F600" + u'\xD800' + u"z";
    std::string expected = std::string(n, 'a') + "\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBDz";
    EXPECT_EQ(tdr_narrow(wide.c_str()), expected) << n;
    std::string appended = "x";
    tdr_narrow_append(wide.c_str(), &appended);
    EXPECT_EQ(appended, "x" + expected) << n;
  }
}

}  // namespace
