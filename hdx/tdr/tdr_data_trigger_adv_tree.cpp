// The editor's "op_node" tree under advanced trigger levels.
#define TDR_SOURCE_FILE "tdr_data_trigger_adv_tree"

#include "tdr_data_trigger_adv_tree.h"

#include <xercesc/util/XMLChar.hpp>

#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_util.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

bool is_op_node(const DOMNode* node) {
  return tdr_xml_is_element_named(node, TDR_X("op_node"));
}

DOMElement* op_node_from(DOMNode* node) {
  for (; node; node = node->getNextSibling())
    if (is_op_node(node)) return static_cast<DOMElement*>(node);
  return nullptr;
}

}  // namespace

TDR_DATA_STRING_PAIR_VEC::~TDR_DATA_STRING_PAIR_VEC() {
  for (TDR_DATA_STRING_PAIR* pair : *this) delete pair;
}

void TDR_DATA_STRING_PAIR_VEC::add(const char* name, const char* value) {
  push_back(new TDR_DATA_STRING_PAIR(name ? name : "", value ? value : ""));
}

TDR_DATA_TRIGGER_ADV_TREE_OBJ TDR_DATA_TRIGGER_ADV_TREE_OBJ::get_first_child() const {
  return TDR_DATA_TRIGGER_ADV_TREE_OBJ(m_element ? op_node_from(m_element->getFirstChild())
                                                 : nullptr);
}

TDR_DATA_TRIGGER_ADV_TREE_OBJ TDR_DATA_TRIGGER_ADV_TREE_OBJ::get_next_sibling() const {
  return TDR_DATA_TRIGGER_ADV_TREE_OBJ(m_element ? op_node_from(m_element->getNextSibling())
                                                 : nullptr);
}

TDR_DATA_TRIGGER_ADV_TREE_OBJ TDR_DATA_TRIGGER_ADV_TREE_OBJ::create_and_append_child_obj() {
  if (!TDR_CHECK(m_element != NULL)) return TDR_DATA_TRIGGER_ADV_TREE_OBJ();
  return TDR_DATA_TRIGGER_ADV_TREE_OBJ(
      tdr_new_element(m_element->getOwnerDocument(), TDR_X("op_node"), m_element));
}

TDR_DATA_STRING_PAIR_VEC* TDR_DATA_TRIGGER_ADV_TREE_OBJ::get_all_attributes() const {
  if (!m_element) return nullptr;
  TDR_DATA_STRING_PAIR_VEC* list = new TDR_DATA_STRING_PAIR_VEC;
  DOMNamedNodeMap* attributes = m_element->getAttributes();
  XMLSize_t count = attributes ? attributes->getLength() : 0;
  list->reserve(count);
  for (XMLSize_t i = 0; i < count; ++i) {
    DOMNode* attribute = attributes->item(i);
    list->push_back(new TDR_DATA_STRING_PAIR(tdr_narrow(attribute->getNodeName()),
                                             tdr_narrow(attribute->getNodeValue())));
  }
  return list;
}

void TDR_DATA_TRIGGER_ADV_TREE_OBJ::set_all_attributes(const TDR_DATA_STRING_PAIR_VEC* list) {
  if (!TDR_CHECK(list != NULL) || !TDR_CHECK(m_element != NULL)) return;
  for (const TDR_DATA_STRING_PAIR* pair : *list) {
    if (!TDR_CHECK(pair != NULL)) continue;
    TDR_XSTRING name = tdr_widen(pair->first);
    // Names come from the editor; one that XML cannot carry must not abort the rest.
    if (!XMLChar1_0::isValidName(name.c_str())) {
      TDR_INTERNAL_ERROR("valid attribute name");
      continue;
    }
    tdr_set_attr(m_element, name.c_str(), tdr_widen(pair->second).c_str());
  }
}

void TDR_DATA_TRIGGER_ADV_TREE_OBJ::delete_refresh_subtree() {
  if (!TDR_CHECK(m_element != NULL)) return;
  DOMNode* parent = m_element->getParentNode();
  if (!TDR_CHECK(parent != NULL)) return;
  DOMDocument* doc = m_element->getOwnerDocument();
  tdr_release_node(m_element);
  m_element = tdr_new_element(doc, TDR_X("op_node"), parent);
}
