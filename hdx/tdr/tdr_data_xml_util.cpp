// Shared XML toolkit of the data layer: element navigation, dual-form strings,
// the DOM parser, reading a file and printing a document in the library's layout.
#define TDR_SOURCE_FILE "tdr_data_xml_util"

#include "tdr_data_xml_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLEntityResolver.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include "tdr_data_xml_attr.h"
#include "tdr_file_replace.h"
#include "tdr_msg.h"

using xercesc::DOMNamedNodeMap;
using xercesc::XMLFormatter;
using xercesc::XMLString;

namespace {

const XMLCh k_data_tag[] = u"data";

inline bool is_xml_space(XMLCh c) { return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D; }

bool is_all_space(const XMLCh* text) {
  if (!text) return true;
  for (; *text; ++text)
    if (!is_xml_space(*text)) return false;
  return true;
}

// A narrow name in XML-string form for one lookup; short ASCII names skip the
// transcoder and the heap.
class LOOKUP_NAME {
 public:
  explicit LOOKUP_NAME(const char* name) : m_heap(nullptr) {
    size_t i = 0;
    for (; name[i] && i < sizeof(m_local) / sizeof(m_local[0]) - 1; ++i) {
      unsigned char c = static_cast<unsigned char>(name[i]);
      if (c >= 0x80) break;
      m_local[i] = c;
    }
    if (name[i]) {
      m_heap = XMLString::transcode(name);
    } else {
      m_local[i] = 0;
    }
  }
  ~LOOKUP_NAME() {
    if (m_heap) XMLString::release(&m_heap);
  }
  LOOKUP_NAME(const LOOKUP_NAME&) = delete;
  LOOKUP_NAME& operator=(const LOOKUP_NAME&) = delete;
  const XMLCh* get() const { return m_heap ? m_heap : m_local; }

 private:
  XMLCh m_local[64];
  XMLCh* m_heap;
};

}  // namespace

const XMLCh* tdr_xml_attribute_value(const DOMNode* attr) {
  const DOMNode* child = attr->getFirstChild();
  if (!child) return u"";
  if (!child->getNextSibling() && child->getNodeType() == DOMNode::TEXT_NODE)
    return child->getNodeValue();
  return attr->getNodeValue();
}

// ---------------------------------------------------------------------------
// Navigation

namespace {

// The first element from `n` on along its siblings named `name` (any for null).
DOMElement* first_element_from(DOMNode* n, const XMLCh* name) {
  for (; n; n = n->getNextSibling())
    if (name ? tdr_xml_is_element_named(n, name) : tdr_xml_is_element(n))
      return static_cast<DOMElement*>(n);
  return nullptr;
}

}  // namespace

DOMElement* TDR_DATA_XML_UTIL::find_first_child_element_by_name(DOMNode* parent,
                                                                const char* element_name) {
  if (!TDR_CHECK(element_name != NULL) || !parent) return nullptr;
  return first_element_from(parent->getFirstChild(), LOOKUP_NAME(element_name).get());
}

DOMElement* TDR_DATA_XML_UTIL::find_first_child_element_by_name(DOMNode* parent,
                                                                const XMLCh* element_name) {
  if (!TDR_CHECK(element_name != NULL) || !parent) return nullptr;
  return first_element_from(parent->getFirstChild(), element_name);
}

DOMElement* TDR_DATA_XML_UTIL::find_first_child_element(DOMNode* parent) {
  return parent ? first_element_from(parent->getFirstChild(), nullptr) : nullptr;
}

DOMElement* TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(DOMNode* node,
                                                                 const char* element_name) {
  if (!TDR_CHECK(element_name != NULL) || !node) return nullptr;
  return first_element_from(node->getNextSibling(), LOOKUP_NAME(element_name).get());
}

DOMElement* TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(DOMNode* node,
                                                                 const XMLCh* element_name) {
  if (!TDR_CHECK(element_name != NULL) || !node) return nullptr;
  return first_element_from(node->getNextSibling(), element_name);
}

DOMElement* TDR_DATA_XML_UTIL::find_next_sibling_element(DOMNode* node) {
  return node ? first_element_from(node->getNextSibling(), nullptr) : nullptr;
}

bool TDR_DATA_XML_UTIL::is_valid_xml_text(const XMLCh* text) {
  if (!text) return true;
  for (const XMLCh* p = text; *p; ++p) {
    XMLCh c = *p;
    if (c < 0x20) {
      if (c != 0x9 && c != 0xA && c != 0xD) return false;
    } else if (c == 0xFFFE || c == 0xFFFF) {
      return false;
    } else if ((c & 0xFC00) == 0xD800) {
      if ((p[1] & 0xFC00) != 0xDC00) return false;
      ++p;
    } else if ((c & 0xFC00) == 0xDC00) {
      return false;
    }
  }
  return true;
}

void TDR_DATA_XML_UTIL::ensure_xml_initialized() {
  // One reference of our own for the whole process: whoever else pairs
  // Initialize with Terminate cannot shut the library down under us.
  static std::once_flag once;
  std::call_once(once, [] { xercesc::XMLPlatformUtils::Initialize(); });
}

// ---------------------------------------------------------------------------
// Dual-form strings

TDR_DATA_XML_STR::TDR_DATA_XML_STR(const char* text)
    : m_narrow(nullptr), m_xml(text ? XMLString::transcode(text) : nullptr) {}

TDR_DATA_XML_STR::~TDR_DATA_XML_STR() {
  if (m_narrow) XMLString::release(&m_narrow);
  if (m_xml) XMLString::release(&m_xml);
}

void TDR_DATA_XML_STR::assign(const XMLCh* text) {
  if (m_narrow) XMLString::release(&m_narrow);
  if (text && *text) m_narrow = XMLString::transcode(text);
}

// ---------------------------------------------------------------------------
// Printer state

xercesc::XMLFormatter* TDR_DATA_XML_PRINT::s_dom_formatter = nullptr;
THR_MUTEX_OBJ TDR_DATA_XML_PRINT::s_mutex;
int TDR_DATA_XML_PRINT::s_depth = 0;
bool TDR_DATA_XML_PRINT::s_direct_output = true;

namespace {
// The mutex must be usable before any caller can reach the printer.
struct PRINT_MUTEX_INIT {
  PRINT_MUTEX_INIT() { thr_mutex_init(&TDR_DATA_XML_PRINT::s_mutex); }
} s_print_mutex_init;
}  // namespace

void TDR_DATA_XML_PRINT::start(xercesc::XMLFormatter* formatter, bool lock) {
  if (lock) thr_mutex_lock(&s_mutex);
  s_dom_formatter = formatter;
}

void TDR_DATA_XML_PRINT::end(bool unlock) {
  s_dom_formatter = nullptr;
  if (unlock) thr_mutex_unlock(&s_mutex);
}

void TDR_DATA_XML_DOM_FORMAT::writeChars(const XMLByte* const bytes, const XMLSize_t count,
                                         xercesc::XMLFormatter* const) {
  m_target.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
}

// ---------------------------------------------------------------------------
// Printer output

namespace {

// What the formatter writes for each US-ASCII character in one escape mode
// (length 0: the character itself).
struct ESCAPE_TABLE {
  const char* text[128];
  unsigned char len[128];
  char16_t specials[8];  // the escaped characters, for the block scan
  int special_count;
};

// The reference the formatter writes for a character it escapes.
const char* escape_text(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\t': return "&#x9;";
    case '\n': return "&#xA;";
    default: return "&#xD;";  // '\r'
  }
}

// A table escaping the characters of `escaped` (among & < > " TAB LF CR).
ESCAPE_TABLE make_escape_table(const char* escaped) {
  ESCAPE_TABLE t;
  for (int c = 0; c < 128; ++c) {
    t.text[c] = nullptr;
    t.len[c] = 0;
  }
  t.special_count = 0;
  for (; *escaped; ++escaped) {
    const unsigned char c = static_cast<unsigned char>(*escaped);
    t.text[c] = escape_text(*escaped);
    t.len[c] = static_cast<unsigned char>(std::strlen(t.text[c]));
    t.specials[t.special_count++] = static_cast<char16_t>(c);
  }
  return t;
}

// The formatter's three modes, and text for a UTF-8 file of our own.
const ESCAPE_TABLE k_no_escapes = make_escape_table("");
const ESCAPE_TABLE k_attr_escapes = make_escape_table("&<\"\t\n\r");
const ESCAPE_TABLE k_char_escapes = make_escape_table("&<>\r");
const ESCAPE_TABLE k_utf8_escapes = make_escape_table("&<>\"");

inline char* put_char_ref(char* out, unsigned code) {
  static const char hex[] = "0123456789ABCDEF";
  char digits[8];
  int n = 0;
  do {
    digits[n++] = hex[code & 15];
    code >>= 4;
  } while (code);
  *out++ = '&';
  *out++ = '#';
  *out++ = 'x';
  while (n) *out++ = digits[--n];
  *out++ = ';';
  return out;
}

// Most bytes one character takes escaped: "&#x10FFFF;".
const size_t k_max_bytes_per_char = 10;

#ifdef __SSE2__
// Whether s[0..8) are US-ASCII characters that `table` leaves as they are.
bool plain_block(const XMLCh* s, const ESCAPE_TABLE& table) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  __m128i bad = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80)));
  bad = _mm_xor_si128(_mm_cmpeq_epi16(bad, _mm_setzero_si128()), _mm_set1_epi16(-1));
  for (int k = 0; k < table.special_count; ++k)
    bad = _mm_or_si128(
        bad, _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(table.specials[k]))));
  return _mm_movemask_epi8(bad) == 0;
}

// Copies the start of the plain US-ASCII run at `s` (see copy_plain) eight
// characters at a time, writing up to seven bytes past what it copies, and
// returns where it stopped: at a character that may need escaping under any
// table (a control character, "&<>\"", anything outside printable US-ASCII,
// the terminator), or where the page or `stop` leaves no room for a block.
// The block read may pass the terminator but never leaves its page; the
// sanitizer is told so, as it cannot know the read is harmless.
__attribute__((no_sanitize("address"))) const XMLCh* copy_plain_blocks(const XMLCh* s,
                                                                       char** out,
                                                                       char* stop) {
  char* o = *out;
  while (o + 8 <= stop && (reinterpret_cast<uintptr_t>(s) & 4095) <= 4096 - 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    // Signed compares: units from 0x8000 up count as below the space.
    __m128i bad = _mm_or_si128(_mm_cmplt_epi16(v, _mm_set1_epi16(0x20)),
                               _mm_cmpgt_epi16(v, _mm_set1_epi16(0x7E)));
    bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('&')),
                                         _mm_cmpeq_epi16(v, _mm_set1_epi16('<'))));
    bad = _mm_or_si128(bad, _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('>')),
                                         _mm_cmpeq_epi16(v, _mm_set1_epi16('"'))));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(bad));
    if (mask) {
      const unsigned n = static_cast<unsigned>(__builtin_ctz(mask)) / 2;
      *out = o + n;
      return s + n;
    }
    o += 8;
    s += 8;
  }
  *out = o;
  return s;
}
#endif

// Writes s[*i..stop) escaped to `out` (room for k_max_bytes_per_char a
// character) and returns the new end; *i ends at `stop` or one past it.
// US-ASCII goes out as is unless `table` escapes it. Of an XML string,
// everything else becomes a hexadecimal character reference; a high surrogate
// is always combined with the unit after it, which is consumed even when it is
// not a low surrogate, is escaped or lies at `stop` (the formatter's own rule,
// kept for broken pairs so the bytes stay identical). Of UTF-8 text, bytes
// above US-ASCII go out as they are.
template <typename UNIT>
char* escape_run(const UNIT* s, size_t* i, size_t stop, const ESCAPE_TABLE& table, char* out) {
  size_t at = *i;
  while (at < stop) {
#ifdef __SSE2__
    if constexpr (sizeof(UNIT) == sizeof(XMLCh)) {
      // Eight plain US-ASCII characters at a time: long texts (samples,
      // Base64) are nearly all such runs.
      if (at + 8 <= stop && plain_block(s + at, table)) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
        out += 8;
        at += 8;
        continue;
      }
    }
#endif
    const unsigned c = static_cast<std::make_unsigned_t<UNIT>>(s[at]);
    if (c < 0x80 || sizeof(UNIT) == 1) {
      const unsigned len = c < 0x80 ? table.len[c] : 0;
      if (len == 0) {
        *out++ = static_cast<char>(c);
      } else {
        std::memcpy(out, table.text[c], len);
        out += len;
      }
      ++at;
      continue;
    }
    unsigned code = c;
    if ((c & 0xFC00) == 0xD800) {
      const unsigned next = static_cast<std::make_unsigned_t<UNIT>>(s[at + 1]);
      code = ((c - 0xD800u) << 10) + next - 0xDC00u + 0x10000u;
      ++at;
    }
    out = put_char_ref(out, code);
    ++at;
  }
  *i = at;
  return out;
}

bool is_plain_ascii_formatter(const XMLFormatter* f) {
  if (f->getUnRepFlags() != XMLFormatter::UnRep_CharRef) return false;
  const XMLCh* enc = f->getEncodingName();
  return enc && (XMLString::compareIStringASCII(enc, u"US-ASCII") == 0 ||
                 XMLString::compareIStringASCII(enc, u"ASCII") == 0);
}

// The printer's two output channels: markup and text through the formatter,
// layout straight to the stream. In direct mode both are encoded here into
// one buffer, which keeps them in order and writes the stream in large blocks.
class PRINT_OUT {
 public:
  PRINT_OUT(std::ostream& target, XMLFormatter* formatter)
      : m_target(target),
        m_formatter(formatter),
        m_direct(!formatter ||
                 (TDR_DATA_XML_PRINT::s_direct_output && is_plain_ascii_formatter(formatter))) {
    if (m_direct) {
      m_buf.reset(new char[k_capacity]);
      m_pos = m_buf.get();
      m_end = m_pos + k_capacity;
    }
  }
  // Writes what is still buffered (not done when printing is abandoned).
  void finish() {
    if (m_direct) drain();
  }
  PRINT_OUT(const PRINT_OUT&) = delete;
  PRINT_OUT& operator=(const PRINT_OUT&) = delete;

  // Fixed US-ASCII markup such as "<" or "=\"".
  template <size_t N>
  void literal(const char16_t (&s)[N]) {
    if (m_direct) {
      need(N);
      for (size_t i = 0; i + 1 < N; ++i) *m_pos++ = static_cast<char>(s[i]);
    } else {
      *m_formatter << XMLFormatter::NoEscapes << s;
    }
  }
  void markup(const XMLCh* s) {
    if (!s) return;
    if (m_direct) {
      escape(s, k_no_escapes);
    } else {
      *m_formatter << XMLFormatter::NoEscapes << s;
    }
  }
  // An element, attribute, entity or target name. A character reference is
  // not allowed in a name, so the formatter's references would leave a file
  // no reader accepts; characters outside US-ASCII go out in UTF-8 instead,
  // which is what a file without an XML declaration is read as.
  void name(const XMLCh* s) {
    if (!s) return;
    if (m_direct) s = copy_plain(s, k_no_escapes);
    if (!*s) return;
    const XMLCh* p = s;
    while (*p && *p < 0x80) ++p;
    if (!*p) {
      markup(s);
      return;
    }
    // The US-ASCII part already copied is its own UTF-8.
    std::string bytes = tdr_narrow(s);
    if (m_direct) drain();
    m_target.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // `s` must stay readable one character past `n` (the formatter looks there).
  void text(const XMLCh* s, XMLSize_t n) {
    if (m_direct) {
      escape(s, n, k_char_escapes);
    } else {
      *m_formatter << XMLFormatter::CharEscapes;
      m_formatter->formatBuf(s, n);
    }
  }
  void attr_value(const XMLCh* s) {
    if (!s) s = u"";
    if (m_direct) {
      escape(s, k_attr_escapes);
    } else {
      *m_formatter << XMLFormatter::AttrEscapes << s;
    }
  }
  // A line feed and `levels` indentation steps, straight to the stream.
  void line_break(int levels) {
    if (m_direct) {
      need(1);
      *m_pos++ = '\n';
    } else {
      m_target.put('\n');
    }
    indent(levels);
  }
  void indent(int levels) {
    if (levels <= 0) return;
    size_t n = static_cast<size_t>(levels) * 2;
    if (!m_direct) {
      static const char spaces[] = "                                ";
      for (; n > 0;) {
        size_t k = std::min(n, sizeof(spaces) - 1);
        m_target.write(spaces, static_cast<std::streamsize>(k));
        n -= k;
      }
      return;
    }
    while (n > 0) {
      size_t k = std::min(n, k_capacity / 2);
      need(k);
      std::memset(m_pos, ' ', k);
      m_pos += k;
      n -= k;
    }
  }
  // Line end after a child of the document, with a flush (std::endl).
  void end_line() {
    if (m_direct) {
      need(1);
      *m_pos++ = '\n';
      drain();
      m_target.flush();
    } else {
      m_target << std::endl;
    }
  }

 private:
  static const size_t k_capacity = 1 << 16;
  static const size_t k_chunk = 1024;  // characters per capacity check

  void drain() {
    if (m_pos != m_buf.get()) {
      m_target.write(m_buf.get(), m_pos - m_buf.get());
      m_pos = m_buf.get();
    }
  }
  void need(size_t n) {
    if (static_cast<size_t>(m_end - m_pos) < n) drain();
  }

  // The formatter's bytes for s[0..n), `s` readable one character past `n`.
  void escape(const XMLCh* s, XMLSize_t n, const ESCAPE_TABLE& table) {
    size_t i = 0;
    while (i < n) {
      need(k_chunk * k_max_bytes_per_char);
      m_pos = escape_run(s, &i, std::min<size_t>(n, i + k_chunk), table, m_pos);
    }
  }
  void escape(const XMLCh* s, const ESCAPE_TABLE& table) {
    s = copy_plain(s, table);
    if (*s) escape(s, XMLString::stringLen(s), table);
  }
  // Copies the leading US-ASCII characters of `s` that `table` leaves as they
  // are and returns where it stopped. Names and values are short and mostly
  // plain: this pass finds their end too, where a length scan first and the
  // escape after it read them twice.
  const XMLCh* copy_plain(const XMLCh* s, const ESCAPE_TABLE& table) {
    for (;;) {
      need(k_chunk);
      char* out = m_pos;
      char* const stop = out + k_chunk;
      for (;;) {
#ifdef __SSE2__
        s = copy_plain_blocks(s, &out, stop);
#endif
        const unsigned c = *s;
        if (out == stop || c - 1u >= 0x7Fu || table.len[c]) break;
        *out++ = static_cast<char>(c);
        ++s;
      }
      bool full = out == stop;
      m_pos = out;
      if (!full) return s;
    }
  }

  std::ostream& m_target;
  XMLFormatter* m_formatter;
  bool m_direct;
  std::unique_ptr<char[]> m_buf;
  char* m_pos = nullptr;
  char* m_end = nullptr;
};

}  // namespace

std::string tdr_xml_escape_utf8(const std::string& text) {
  std::string out(text.size() * k_max_bytes_per_char, '\0');
  size_t i = 0;
  char* end = escape_run(text.data(), &i, text.size(), k_utf8_escapes, &out[0]);
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

namespace {

// Restores the printer's depth when printing ends, by an exception too.
class DEPTH_GUARD {
 public:
  DEPTH_GUARD() : m_depth(TDR_DATA_XML_PRINT::s_depth) {}
  ~DEPTH_GUARD() { TDR_DATA_XML_PRINT::s_depth = m_depth; }

 private:
  int m_depth;
};

// True when the layout the printer writes next comes right after `text`
// (a following element, or its parent's end tag), so that trailing white
// space would grow on every open/save cycle. Texts that print nothing are
// looked through.
bool text_precedes_layout(DOMNode* text, DOMNode* parent) {
  for (DOMNode* s = text->getNextSibling(); s; s = s->getNextSibling()) {
    DOMNode::NodeType type = s->getNodeType();
    if (type == DOMNode::TEXT_NODE && is_all_space(s->getNodeValue())) continue;
    return type == DOMNode::ELEMENT_NODE;
  }
  return parent && tdr_xml_is_element(parent) &&
         !XMLString::equals(parent->getNodeName(), k_data_tag);
}

// The answer above is shared by a text and the white-space texts after it,
// which look through one another; kept so that a run of them costs one scan.
class LAYOUT_MEMO {
 public:
  bool precedes_layout(DOMNode* text, DOMNode* parent) {
    if (!m_valid || m_parent != parent) {
      m_answer = text_precedes_layout(text, parent);
      m_parent = parent;
      m_valid = true;
    }
    return m_answer;
  }
  // Called for every printed node that is not a white-space text.
  void forget() { m_valid = false; }

 private:
  DOMNode* m_parent = nullptr;
  bool m_answer = false;
  bool m_valid = false;
};

bool is_data_element(const DOMNode* node) {
  return node && tdr_xml_is_element_named(node, k_data_tag);
}

void print_text(PRINT_OUT& out, DOMNode* node, DOMNode* parent, LAYOUT_MEMO& memo) {
  const XMLCh* value = node->getNodeValue();
  if (!value || !*value) return;
  XMLSize_t len = XMLString::stringLen(value);
  XMLSize_t keep = len;
  while (keep > 0 && is_xml_space(value[keep - 1])) --keep;
  if (keep == 0) {
    // White space only: the layout replaces it. Inside "data" no layout may
    // follow; dropping it there would turn "<data> </data>" into a
    // childless element and change the file on the next save.
    if (!is_data_element(parent) || memo.precedes_layout(node, parent)) return;
    keep = len;
  } else {
    memo.forget();
    if (keep < len && !memo.precedes_layout(node, parent)) keep = len;
  }
  out.text(value, keep);
}

// A "data" element whose children are all empty texts would print as
// "<data></data>", which reads back childless and then prints short.
bool only_empty_texts(DOMNode* element) {
  for (DOMNode* c = element->getFirstChild(); c; c = c->getNextSibling()) {
    if (c->getNodeType() != DOMNode::TEXT_NODE) return false;
    const XMLCh* v = c->getNodeValue();
    if (v && *v) return false;
  }
  return true;
}

void print_doctype(PRINT_OUT& out, xercesc::DOMDocumentType* doctype) {
  out.literal(u"<!DOCTYPE ");
  out.markup(doctype->getNodeName());
  const XMLCh* public_id = doctype->getPublicId();
  const XMLCh* system_id = doctype->getSystemId();
  if (public_id && *public_id) {
    out.literal(u" PUBLIC \"");
    out.markup(public_id);
    out.literal(u"\"");
    if (system_id && *system_id) {
      out.literal(u" \"");
      out.markup(system_id);
      out.literal(u"\"");
    }
  } else if (system_id && *system_id) {
    out.literal(u" SYSTEM \"");
    out.markup(system_id);
    out.literal(u"\"");
  }
  const XMLCh* subset = doctype->getInternalSubset();
  if (subset && *subset) {
    out.literal(u"[");
    out.markup(subset);
    out.literal(u"]");
  }
  out.literal(u">");
}

void print_entity(PRINT_OUT& out, xercesc::DOMEntity* entity) {
  out.literal(u"<!ENTITY ");
  out.markup(entity->getNodeName());
  const XMLCh* id = entity->getPublicId();
  if (id && *id) {
    out.literal(u"PUBLIC \"");
    out.markup(id);
    out.literal(u"\"");
  }
  id = entity->getSystemId();
  if (id && *id) {
    out.literal(u"SYSTEM \"");
    out.markup(id);
    out.literal(u"\"");
  }
  id = entity->getNotationName();
  if (id && *id) {
    out.literal(u"NDATA \"");
    out.markup(id);
    out.literal(u"\"");
  }
  out.literal(u">\n");
}

// Writes an element's start tag; true when it has children to print.
bool open_element(PRINT_OUT& out, DOMNode* element, DOMNode* parent) {
  int depth = ++TDR_DATA_XML_PRINT::s_depth;
  if (!parent || parent->getNodeType() != DOMNode::DOCUMENT_NODE) out.line_break(0);
  out.indent(depth - 1);
  const XMLCh* name = element->getNodeName();
  out.literal(u"<");
  out.name(name);
  if (DOMNamedNodeMap* attrs = element->getAttributes()) {
    XMLSize_t count = attrs->getLength();
    for (XMLSize_t i = 0; i < count; ++i) {
      DOMNode* attr = attrs->item(i);
      out.literal(u" ");
      out.name(attr->getNodeName());
      out.literal(u"=\"");
      out.attr_value(tdr_xml_attribute_value(attr));
      out.literal(u"\"");
    }
  }
  if (!element->getFirstChild() ||
      (XMLString::equals(name, k_data_tag) && only_empty_texts(element))) {
    out.literal(u"/>");
    --TDR_DATA_XML_PRINT::s_depth;
    return false;
  }
  out.literal(u">");
  return true;
}

void close_element(PRINT_OUT& out, DOMNode* element) {
  const XMLCh* name = element->getNodeName();
  if (!XMLString::equals(name, k_data_tag)) out.line_break(TDR_DATA_XML_PRINT::s_depth - 1);
  out.literal(u"</");
  out.name(name);
  out.literal(u">");
  --TDR_DATA_XML_PRINT::s_depth;
}

// Writes one node without its children; true when its children come next.
bool print_node(PRINT_OUT& out, DOMNode* node, DOMNode* parent, LAYOUT_MEMO& memo) {
  DOMNode::NodeType type = node->getNodeType();
  if (type != DOMNode::TEXT_NODE) memo.forget();
  switch (type) {
    case DOMNode::DOCUMENT_NODE:
      return node->getFirstChild() != nullptr;
    case DOMNode::ELEMENT_NODE:
      return open_element(out, node, parent);
    case DOMNode::TEXT_NODE:
      print_text(out, node, parent, memo);
      return false;
    case DOMNode::CDATA_SECTION_NODE:
      out.literal(u"<![CDATA[");
      out.markup(node->getNodeValue());
      out.literal(u"]]>");
      return false;
    case DOMNode::ENTITY_REFERENCE_NODE:
      out.literal(u"&");
      out.name(node->getNodeName());
      out.literal(u";");
      return false;
    case DOMNode::ENTITY_NODE:
      print_entity(out, static_cast<xercesc::DOMEntity*>(node));
      return false;
    case DOMNode::PROCESSING_INSTRUCTION_NODE: {
      out.literal(u"<?");
      out.name(node->getNodeName());
      const XMLCh* data = node->getNodeValue();
      if (data && *data) {
        out.literal(u" ");
        out.markup(data);
      }
      out.literal(u"?>");
      return false;
    }
    case DOMNode::COMMENT_NODE:
      out.literal(u"<!--");
      out.markup(node->getNodeValue());
      out.literal(u"-->");
      return false;
    case DOMNode::DOCUMENT_TYPE_NODE:
      print_doctype(out, static_cast<xercesc::DOMDocumentType*>(node));
      return false;
    default:
      std::cerr << "Unrecognized node type = " << type << std::endl;
      return false;
  }
}

}  // namespace

// Iterative over the tree with the ancestors on a heap stack, so that no
// document depth can exhaust the call stack. (The stack also spares the DOM's
// parent getter, which pays a dynamic_cast per call.)
std::ostream& operator<<(std::ostream& target, DOMNode* node) {
  if (!node) return target;
  DEPTH_GUARD depth_guard;
  PRINT_OUT out(target, TDR_DATA_XML_PRINT::s_dom_formatter);
  LAYOUT_MEMO memo;
  std::vector<DOMNode*> ancestors;  // of `current`, below `node`'s parent
  DOMNode* current = node;
  DOMNode* parent = node->getParentNode();
  bool in_document = false;  // `parent` is a document
  for (;;) {
    if (print_node(out, current, parent, memo)) {
      ancestors.push_back(current);
      parent = current;
      in_document = current->getNodeType() == DOMNode::DOCUMENT_NODE;
      current = current->getFirstChild();
      continue;
    }
    // `current` is complete: move to its next sibling, closing the
    // elements whose last child it was.
    for (;;) {
      if (ancestors.empty()) {  // `current` is `node`
        out.finish();
        return target;
      }
      if (in_document) out.end_line();
      if (DOMNode* next = current->getNextSibling()) {
        current = next;
        break;
      }
      current = parent;
      ancestors.pop_back();
      if (!ancestors.empty()) {
        parent = ancestors.back();
        in_document = parent->getNodeType() == DOMNode::DOCUMENT_NODE;
      }
      if (tdr_xml_is_element(current)) close_element(out, current);
    }
  }
}

// ---------------------------------------------------------------------------
// Reading

namespace {

std::string narrow_message(const XMLCh* message) {
  if (!message) return std::string();
  try {
    char* text = XMLString::transcode(message);
    std::string result = text ? text : "";
    XMLString::release(&text);
    return result;
  } catch (...) {
    return "unexpected internal error";
  }
}

// Refuses every external entity and DTD; with default resolution disabled
// nothing outside the document is ever opened.
class REFUSING_RESOLVER : public xercesc::XMLEntityResolver {
 public:
  xercesc::InputSource* resolveEntity(xercesc::XMLResourceIdentifier* resource) override {
    std::string text = "external entity '";
    if (resource) text += narrow_message(resource->getSystemId());
    text += "' refused";
    throw xercesc::SAXException(text.c_str());
  }
};

class READ_LIMITS : public xercesc::SecurityManager {
 public:
  READ_LIMITS() { setEntityExpansionLimit(TDR_XML_MAX_ENTITY_EXPANSIONS); }
};

}  // namespace

ZENVOR_DOM_PARSER::ZENVOR_DOM_PARSER()
    : xercesc::XercesDOMParser(nullptr, xercesc::XMLPlatformUtils::fgMemoryManager, nullptr) {}

ZENVOR_DOM_PARSER::~ZENVOR_DOM_PARSER() {}

void ZENVOR_DOM_PARSER::entityDecl(const xercesc::DTDEntityDecl& decl, const bool is_pe_decl,
                                   const bool is_ignored) {
  if (!decl.isExternal() && decl.getValueLen() > TDR_XML_MAX_ENTITY_VALUE) {
    std::string text = "entity '" + narrow_message(decl.getName()) + "' is longer than " +
                       std::to_string(TDR_XML_MAX_ENTITY_VALUE) + " characters";
    throw xercesc::SAXException(text.c_str());
  }
  xercesc::XercesDOMParser::entityDecl(decl, is_pe_decl, is_ignored);
}

void ZENVOR_DOM_PARSER::startElement(const xercesc::XMLElementDecl& decl,
                                     const unsigned int url_id, const XMLCh* const prefix,
                                     const xercesc::RefVectorOf<xercesc::XMLAttr>& attrs,
                                     const XMLSize_t attr_count, const bool is_empty,
                                     const bool is_root) {
  m_held_space.clear();
  int outer = m_depth;
  if (m_entity_depth == 0) {
    ++m_depth;
    if (m_depth > m_max_depth) m_max_depth = m_depth;
  }
  xercesc::XercesDOMParser::startElement(decl, url_id, prefix, attrs, attr_count, is_empty,
                                         is_root);
  // An empty element is closed here, whether or not the base class reported
  // its end through endElement.
  if (is_empty) m_depth = outer;
}

void ZENVOR_DOM_PARSER::endElement(const xercesc::XMLElementDecl& decl, const unsigned int url_id,
                                   const bool is_root, const XMLCh* const prefix) {
  m_held_space.clear();
  if (m_entity_depth == 0 && m_depth > 0) --m_depth;
  xercesc::XercesDOMParser::endElement(decl, url_id, is_root, prefix);
}

void ZENVOR_DOM_PARSER::startEntityReference(const xercesc::XMLEntityDecl& decl) {
  release_held_space();
  ++m_entity_depth;
  xercesc::XercesDOMParser::startEntityReference(decl);
}

void ZENVOR_DOM_PARSER::endEntityReference(const xercesc::XMLEntityDecl& decl) {
  release_held_space();
  if (m_entity_depth > 0) --m_entity_depth;
  xercesc::XercesDOMParser::endEntityReference(decl);
}

void ZENVOR_DOM_PARSER::docCharacters(const XMLCh* const chars, const XMLSize_t length,
                                      const bool cdata_section) {
  // Only after an element that closed inside its parent (fCurrentNode is the
  // parent itself right after its start tag): such space is never the first
  // child, which is what the readers of a text look at, and the printer drops
  // it. A "data" element prints its trailing space, so its text stays whole.
  bool held = !cdata_section && m_entity_depth == 0 && fWithinElement &&
              fCurrentNode != fCurrentParent &&
              fCurrentNode->getNodeType() == DOMNode::ELEMENT_NODE;
  for (XMLSize_t i = 0; held && i < length; ++i) held = is_xml_space(chars[i]);
  if (held && !XMLString::equals(fCurrentParent->getNodeName(), k_data_tag)) {
    m_held_space.append(chars, length);
    return;
  }
  release_held_space();
  xercesc::XercesDOMParser::docCharacters(chars, length, cdata_section);
}

void ZENVOR_DOM_PARSER::docComment(const XMLCh* const comment) {
  release_held_space();
  xercesc::XercesDOMParser::docComment(comment);
}

void ZENVOR_DOM_PARSER::docPI(const XMLCh* const target, const XMLCh* const data) {
  release_held_space();
  xercesc::XercesDOMParser::docPI(target, data);
}

void ZENVOR_DOM_PARSER::ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length,
                                            const bool cdata_section) {
  release_held_space();
  xercesc::XercesDOMParser::ignorableWhitespace(chars, length, cdata_section);
}

void ZENVOR_DOM_PARSER::release_held_space() {
  if (m_held_space.empty()) return;
  std::u16string space;
  space.swap(m_held_space);
  xercesc::XercesDOMParser::docCharacters(space.data(), space.size(), false);
}

std::unique_ptr<ZENVOR_DOM_PARSER> tdr_xml_read_file(const char* file,
                                                     const char* display_name) {
  if (!TDR_CHECK(file != NULL)) return nullptr;
  if (!display_name) display_name = file;
  TDR_DATA_XML_UTIL::ensure_xml_initialized();

  // Stateless helpers shared by every parse; the parser only points at them.
  static xercesc::HandlerBase error_handler;
  static REFUSING_RESOLVER resolver;
  static READ_LIMITS security;

  std::string error;
  // The XML library leaks its reader when a folder fails to read; the message
  // is the one it would give.
  struct stat status;
  if (stat(file, &status) == 0 && S_ISDIR(status.st_mode)) {
    MSG_TDR::post(MSG_TDR::E::SOURCE_GENERIC(display_name, "unable to read data from file"));
    return nullptr;
  }
  try {
    std::unique_ptr<ZENVOR_DOM_PARSER> p(new ZENVOR_DOM_PARSER());
    p->setErrorHandler(&error_handler);
    p->setDoNamespaces(false);
    p->setDoSchema(false);
    p->setLoadExternalDTD(false);
    p->setValidationScheme(xercesc::XercesDOMParser::Val_Never);
    p->setXMLEntityResolver(&resolver);
    p->setDisableDefaultEntityResolution(true);
    p->setSecurityManager(&security);
    // A local file only: a name that looks like a URL must not reach the
    // library's network access.
    TDR_DATA_XML_STR path(file);
    xercesc::LocalFileInputSource source(path.xml());
    p->parse(source);
    DOMDocument* document = p->getDocument();
    if (!document) {
      error = "unexpected internal error";
    } else if (p->max_element_depth() > TDR_XML_MAX_ELEMENT_DEPTH) {
      error = "elements nested deeper than " + std::to_string(TDR_XML_MAX_ELEMENT_DEPTH) +
              " levels";
    } else {
      return p;
    }
  } catch (const xercesc::XMLException& e) {
    error = narrow_message(e.getMessage());
  } catch (const xercesc::DOMException& e) {
    error = "error code " + std::to_string(static_cast<int>(e.code));
  } catch (const xercesc::SAXException& e) {
    error = narrow_message(e.getMessage());
  } catch (...) {
    error = "unexpected internal error";
  }
  MSG_TDR::post(MSG_TDR::E::SOURCE_GENERIC(display_name, error.c_str()));
  return nullptr;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

// Holds the printer's lock and formatter for one print; releases both and
// resets the depth however printing ends.
class PRINT_SCOPE {
 public:
  PRINT_SCOPE(XMLFormatter* formatter, bool lock) : m_lock(lock) {
    TDR_DATA_XML_PRINT::start(formatter, lock);
  }
  ~PRINT_SCOPE() {
    TDR_DATA_XML_PRINT::s_depth = 0;
    TDR_DATA_XML_PRINT::end(m_lock);
  }
  PRINT_SCOPE(const PRINT_SCOPE&) = delete;
  PRINT_SCOPE& operator=(const PRINT_SCOPE&) = delete;

 private:
  bool m_lock;
};

}  // namespace

bool tdr_xml_write_file(DOMDocument* doc, TDR_FILE_REPLACE* out, bool lock) {
  if (!TDR_CHECK(doc != NULL) || !TDR_CHECK(out != NULL)) return false;
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  if (!out->is_open()) return false;
  std::ostream& stream = out->stream();
  bool printed = false;
  try {
    TDR_DATA_XML_DOM_FORMAT target(stream);
    XMLFormatter formatter("US-ASCII", &target, XMLFormatter::NoEscapes,
                           XMLFormatter::UnRep_CharRef);
    PRINT_SCOPE scope(&formatter, lock);
    stream << static_cast<DOMNode*>(doc);
    stream.flush();
    printed = stream.good();
  } catch (...) {
    printed = false;
  }
  if (!printed) {
    out->abandon();
    return false;
  }
  return out->commit();
}

bool tdr_xml_write_file(DOMDocument* doc, const char* file, bool lock) {
  if (!TDR_CHECK(file != NULL)) return false;
  TDR_FILE_REPLACE out(file);
  return tdr_xml_write_file(doc, &out, lock);
}
