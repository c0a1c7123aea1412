// Device programming files embedded in the session: zlib-compressed, Base64 text.
#define TDR_SOURCE_FILE "tdr_data_session"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include <xercesc/util/Base64.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include "tdr_data_session.h"
#include "tdr_data_xml_attr.h"
#include "tdr_file_replace.h"
#include "tdr_msg.h"
#include "zlib_wrap.h"

using namespace xercesc;

namespace {

// Frees buffers the XML library allocated.
struct XML_BYTES {
  XMLByte* p = nullptr;
  ~XML_BYTES() {
    if (p) XMLPlatformUtils::fgMemoryManager->deallocate(p);
  }
};

// zlib never expands data more than about 1032:1; a "size" beyond that cannot
// come from the stored text.
const unsigned long long MAX_INFLATE_RATIO = 1032;
const unsigned long long INFLATE_SLACK = 64 * 1024;

}  // namespace

int TDR_DATA_SESSION::get_embedded_kfb_file_count() const {
  int count = 0;
  for (DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(
           m_embedded_kfb, TDR_X("embedded_kfb_file"));
       e; e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("embedded_kfb_file")))
    ++count;
  return count;
}

DOMElement* TDR_DATA_SESSION::get_dom_node_embedded_kfb_at(int index) const {
  if (index < 0) return nullptr;
  DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(
      m_embedded_kfb, TDR_X("embedded_kfb_file"));
  for (int i = 0; e && i < index; ++i)
    e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("embedded_kfb_file"));
  return e;
}

const char* TDR_DATA_SESSION::get_embedded_kfb_filename_at(int index) const {
  if (!tdr_get_attr_if(get_dom_node_embedded_kfb_at(index), TDR_X("name"), &m_kfb_name_answer))
    return nullptr;
  return m_kfb_name_answer.c_str();
}

bool TDR_DATA_SESSION::rename_embedded_kfb_filename_at(int index, const char* new_embedded_name) {
  if (!TDR_CHECK(new_embedded_name != NULL)) return false;
  DOMElement* e = get_dom_node_embedded_kfb_at(index);
  if (!e) return false;
  tdr_set_attr(e, TDR_X("name"), new_embedded_name);
  return true;
}

const char* TDR_DATA_SESSION::get_embedded_kfb_inst_id_crc_at(int index) const {
  if (!tdr_get_attr_if(get_dom_node_embedded_kfb_at(index), TDR_X("id_crc_pairs"),
                       &m_kfb_pairs_answer))
    return nullptr;
  return m_kfb_pairs_answer.c_str();
}

bool TDR_DATA_SESSION::set_embedded_kfb_inst_id_crc_at(int index, const char* inst_id_crc_str) {
  if (!TDR_CHECK(inst_id_crc_str != NULL)) return false;
  DOMElement* e = get_dom_node_embedded_kfb_at(index);
  if (!e) return false;
  tdr_set_attr(e, TDR_X("id_crc_pairs"), inst_id_crc_str);
  return true;
}

bool TDR_DATA_SESSION::remove_embedded_kfb_at(int index) {
  DOMElement* e = get_dom_node_embedded_kfb_at(index);
  if (!e) return false;
  tdr_release_node(e);
  return true;
}

bool TDR_DATA_SESSION::embed_kfb_file(const char* filename, const char* embedded_name) {
  if (!TDR_CHECK(filename != NULL && embedded_name != NULL)) return false;
  struct stat st;
  if (::stat(filename, &st) != 0 || st.st_size <= 0) return false;
  std::ifstream in(filename, std::ios::binary);
  if (!in) return false;
  unsigned long size = static_cast<unsigned long>(st.st_size);
  std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size]);
  if (!data) return false;
  in.read(reinterpret_cast<char*>(data.get()), std::streamsize(size));
  if (in.bad() || static_cast<unsigned long>(in.gcount()) != size) {
    TDR_INTERNAL_ERROR("Serious I/O error or a possibly recoverable I/O formatting error");
    return false;
  }
  unsigned long packed_len = size + size / 512 + 12;
  std::unique_ptr<unsigned char[]> packed(new (std::nothrow) unsigned char[packed_len]);
  if (!packed) return false;
  if (zlib_compress(packed.get(), &packed_len, data.get(), size) != 0 || packed_len == 0) {
    TDR_INTERNAL_ERROR("KFB file compression failed");
    return false;
  }
  XMLSize_t text_len = 0;
  XML_BYTES text;
  text.p = Base64::encode(packed.get(), packed_len, &text_len, XMLPlatformUtils::fgMemoryManager);
  if (!text.p) return false;
  tdr_msg_debug("Compress file %s of size %d byte into size %d byte, then into base64 "
                "representation of %d size",
                filename, int(size), int(packed_len), int(text_len));
  TDR_XSTRING wide(text.p, text.p + text_len);

  if (!m_embedded_kfb) m_embedded_kfb = tdr_new_element(m_doc, TDR_X("embedded_kfb_files"), m_root);
  DOMElement* e = tdr_new_element(m_doc, TDR_X("embedded_kfb_file"), m_embedded_kfb);
  tdr_set_attr(e, TDR_X("name"), embedded_name);
  tdr_set_attr_int(e, TDR_X("size"), long(size));
  e->appendChild(m_doc->createTextNode(wide.c_str()));
  return true;
}

bool TDR_DATA_SESSION::extract_kfb_file(int index, const char* filename) const {
  DOMElement* e = get_dom_node_embedded_kfb_at(index);
  if (!e) {
    TDR_INTERNAL_ERROR("Embedded kfb file index mismatch");
    return false;
  }
  if (!TDR_CHECK(filename != NULL)) return false;
  std::string size_text;
  if (!tdr_get_attr_if(e, TDR_X("size"), &size_text)) return false;
  unsigned int size = 0;
  TDR_XSTRING wide_size = tdr_widen(size_text);
  try {
    if (!XMLString::textToBin(wide_size.c_str(), size, XMLPlatformUtils::fgMemoryManager))
      return false;
  } catch (...) {
    return false;  // not a number, or out of range
  }
  DOMNode* first = e->getFirstChild();
  if (!first || first->getNodeType() != DOMNode::TEXT_NODE) return false;
  const XMLCh* wide = first->getNodeValue();
  std::string narrow;
  narrow.reserve(XMLString::stringLen(wide));
  for (const XMLCh* p = wide; p && *p; ++p) narrow.push_back(char(*p & 0xFF));
  XMLSize_t packed_len = 0;
  XML_BYTES packed;
  packed.p = Base64::decode(reinterpret_cast<const XMLByte*>(narrow.c_str()), &packed_len,
                            XMLPlatformUtils::fgMemoryManager);
  if (!packed.p || packed_len == 0) return false;
  if (size > MAX_INFLATE_RATIO * packed_len + INFLATE_SLACK) return false;
  std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[size ? size : 1]());
  if (!data) return false;
  unsigned long out_len = size;
  int rc = zlib_uncompress(data.get(), &out_len, packed.p, packed_len);
  // Only a too-small "size" fails; a larger one leaves a zero-filled tail.
  if (rc != 0) return false;
  TDR_FILE_REPLACE out(filename);
  return out.write(data.get(), size) && out.commit();
}
