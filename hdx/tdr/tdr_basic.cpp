// Generic element sessions and their snapshot undo history.
//
// Every walk over an element tree here uses an explicit stack: trees built
// through the interface may be nested deeper than the reader allows.
#define TDR_SOURCE_FILE "tdr_basic"
#include "tdr_basic.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "fio.h"
#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_io.h"
#include "tdr_msg.h"

using xercesc::DOMException;
using xercesc::DOMImplementation;
using xercesc::DOMImplementationRegistry;
using xercesc::DOMNamedNodeMap;
using xercesc::XMLString;

namespace {

const XMLCh k_star[] = {'*', 0};

// Subtrees up to this depth are released by the DOM itself, which recurses
// but skips the detaching of every node.
const size_t k_recursive_release_depth = 1000;

// Releases a detached DOM subtree leaf first, so that no release recurses.
void release_dom_tree(DOMNode* top) {
  std::vector<DOMNode*> stack(1, top);
  while (!stack.empty()) {
    DOMNode* node = stack.back();
    if (DOMNode* child = node->getLastChild()) {
      node->removeChild(child);
      stack.push_back(child);
    } else {
      stack.pop_back();
      node->release();
    }
  }
}

// Next node after `node` in document order within the subtree of `top`.
DOMNode* next_in_subtree(DOMNode* node, const DOMNode* top) {
  if (DOMNode* child = node->getFirstChild()) return child;
  while (node != top) {
    if (DOMNode* sibling = node->getNextSibling()) return sibling;
    node = node->getParentNode();
  }
  return nullptr;
}

bool tag_matches(const DOMNode* node, const XMLCh* tag) {
  return !tag || XMLString::equals(tag, k_star) ||
         XMLString::equals(static_cast<const DOMElement*>(node)->getTagName(), tag);
}

std::string narrow(const XMLCh* text) {
  TDR_DATA_XML_STR holder;
  holder.assign(text);
  return holder.narrow() ? std::string(holder.narrow()) : std::string();
}

int get_dom_attribute(const DOMElement* element, const char* name, std::string* value) {
  if (!name || !value) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  TDR_DATA_XML_STR xml_name(name);
  const XMLCh* text = tdr_attr_value(element, xml_name);
  if (!text) {
    value->clear();
    return TDR_BASIC_ERROR_CODE_NOT_FOUND;
  }
  *value = *text ? narrow(text) : std::string();
  return TDR_BASIC_ERROR_CODE_OK;
}

int set_dom_attribute(DOMElement* element, const XMLCh* name, const XMLCh* value) {
  // The DOM takes any character; the saved file could then not be read back.
  if (!TDR_DATA_XML_UTIL::is_valid_xml_text(value)) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  try {
    tdr_set_attr(element, name, value);
  } catch (const DOMException&) {
    return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  }
  return TDR_BASIC_ERROR_CODE_OK;
}

int set_dom_attribute(DOMElement* element, const char* name, const char* value) {
  if (!name || !value) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  TDR_DATA_XML_STR xml_name(name);
  TDR_DATA_XML_STR xml_value(value);
  return set_dom_attribute(element, xml_name, xml_value);
}

int remove_dom_attribute(DOMElement* element, const char* name) {
  std::string value;
  int result = get_dom_attribute(element, name, &value);
  if (result == TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT) return result;
  if (value.empty()) return TDR_BASIC_ERROR_CODE_NOT_FOUND;
  TDR_DATA_XML_STR xml_name(name);
  element->removeAttribute(xml_name);
  return TDR_BASIC_ERROR_CODE_OK;
}

DOMElement* create_element(DOMDocument* doc, const char* tag) {
  if (!doc || !tag) return nullptr;
  TDR_DATA_XML_STR xml_tag(tag);
  try {
    return doc->createElement(xml_tag);
  } catch (const DOMException&) {
    return nullptr;
  }
}

unsigned child_count(const TDR_BASIC_ELEMENT* element) {
  return static_cast<unsigned>(element->get_number_of_child_elements(nullptr));
}

// The one walk of the snapshot code: visit(element, peer, index) for every
// wrapper below `top` in pre-order (each before its children, children in
// order), `index` counting from `first`. `peer` is the wrapper at the same
// place below `top_peer`, null where that tree has none; its children are read
// after its visit, which may make them. Stops after a visit that returns
// false. Returns the index after the last wrapper visited.
template <typename ELEMENT, typename PEER, typename VISIT>
int walk_pre_order(ELEMENT* top, PEER* top_peer, int first, VISIT visit) {
  std::vector<std::pair<ELEMENT*, PEER*>> stack;
  stack.reserve(64);
  stack.emplace_back(top, top_peer);
  int next = first;
  while (!stack.empty()) {
    ELEMENT* element = stack.back().first;
    PEER* peer = stack.back().second;
    stack.pop_back();
    if (!visit(element, peer, next++)) break;
    const unsigned peer_children = peer ? child_count(peer) : 0;
    for (unsigned i = child_count(element); i-- > 0;)
      stack.emplace_back(element->get_child_element(i),
                         i < peer_children ? peer->get_child_element(i) : nullptr);
  }
  return next;
}

// Whether `b` (may be null) has the tag and the number of children of `a`.
bool same_shape(const TDR_BASIC_ELEMENT* a, const TDR_BASIC_ELEMENT* b) {
  if (!b || child_count(a) != child_count(b)) return false;
  const DOMElement* x = a->get_dom_node();
  const DOMElement* y = b->get_dom_node();
  if (!x || !y) return x == y;
  return XMLString::equals(x->getTagName(), y->getTagName());
}

}  // namespace

// ---------------------------------------------------------------------------
// TDR_BASIC_ELEMENT

TDR_BASIC_ELEMENT::TDR_BASIC_ELEMENT(TDR_BASIC_SESSION* session, DOMElement* element,
                                     DOMElement* root_node, TDR_BASIC_ELEMENT* parent,
                                     TDR_BASIC_UNDO_BUFFER* undo_buffer)
    : m_parent(parent),
      m_undo_buffer(undo_buffer),
      m_session(session),
      m_dom_element(element),
      m_root_node(root_node) {}

TDR_BASIC_ELEMENT::TDR_BASIC_ELEMENT(const TDR_BASIC_ELEMENT& other)
    : m_parent(nullptr),
      m_undo_buffer(other.m_undo_buffer),
      m_session(other.m_session),
      m_dom_element(nullptr),
      m_root_node(nullptr) {
  if (other.m_dom_element)
    m_dom_element = static_cast<DOMElement*>(other.m_dom_element->cloneNode(false));
  // Wrappers first, in pre-order; the DOM links afterwards.
  std::vector<TDR_BASIC_ELEMENT*> order;
  auto copy_children = [&](const TDR_BASIC_ELEMENT* source, TDR_BASIC_ELEMENT* target, int) {
    order.push_back(target);
    target->m_children.reserve(source->m_children.size());
    for (const TDR_BASIC_ELEMENT* child : source->m_children) {
      DOMElement* clone = nullptr;
      if (child->m_dom_element)
        clone = static_cast<DOMElement*>(child->m_dom_element->cloneNode(false));
      target->m_children.push_back(new TDR_BASIC_ELEMENT(child->m_session, clone, m_dom_element,
                                                         target, child->m_undo_buffer));
    }
    return true;
  };
  walk_pre_order(&other, this, 0, copy_children);
  // Children are attached deepest first: each append then goes into an element
  // that is still detached, so the DOM's ancestor check stays short.
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    DOMElement* parent_element = (*it)->m_dom_element;
    if (!parent_element) continue;
    for (TDR_BASIC_ELEMENT* child : (*it)->m_children)
      if (child->m_dom_element) parent_element->appendChild(child->m_dom_element);
  }
}

TDR_BASIC_ELEMENT::~TDR_BASIC_ELEMENT() {
  // Descendant wrappers are emptied before they are deleted, so no destructor
  // recurses; their elements stay attached and go with ours.
  std::vector<std::pair<TDR_BASIC_ELEMENT*, size_t>> pending;
  for (TDR_BASIC_ELEMENT* child : m_children) pending.emplace_back(child, 1);
  m_children.clear();
  size_t depth = 0;
  while (!pending.empty()) {
    TDR_BASIC_ELEMENT* element = pending.back().first;
    const size_t level = pending.back().second;
    pending.pop_back();
    depth = std::max(depth, level);
    for (TDR_BASIC_ELEMENT* child : element->m_children) pending.emplace_back(child, level + 1);
    element->m_children.clear();
    delete element;
  }
  if (m_dom_element && !m_dom_element->getParentNode() &&
      !(m_session && m_session->m_discarding_document &&
        m_dom_element->getOwnerDocument() == m_session->m_dom_doc)) {
    // Wrapped elements mirror the DOM; text adds one level below them.
    if (depth < k_recursive_release_depth)
      m_dom_element->release();
    else
      release_dom_tree(m_dom_element);
  }
}

int TDR_BASIC_ELEMENT::get_name(std::string* name) const {
  if (!name || !m_dom_element) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  *name = narrow(m_dom_element->getTagName());
  return TDR_BASIC_ERROR_CODE_OK;
}

int TDR_BASIC_ELEMENT::get_attribute(const char* name, std::string* value) const {
  if (!m_dom_element) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return get_dom_attribute(m_dom_element, name, value);
}

int TDR_BASIC_ELEMENT::set_attribute(const char* name, const char* value) {
  if (!m_dom_element) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return set_dom_attribute(m_dom_element, name, value);
}

int TDR_BASIC_ELEMENT::remove_attribute(const char* name) {
  if (!m_dom_element) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return remove_dom_attribute(m_dom_element, name);
}

// An element's node value is always empty in the DOM; kept for callers that ask.
int TDR_BASIC_ELEMENT::get_element_data(std::string* data) const {
  if (!data || !m_dom_element) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  *data = narrow(m_dom_element->getNodeValue());
  return TDR_BASIC_ERROR_CODE_OK;
}

int TDR_BASIC_ELEMENT::set_element_data(const char* data) {
  if (!data || !m_dom_element) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  TDR_DATA_XML_STR xml_data(data);
  try {
    m_dom_element->setNodeValue(xml_data);
  } catch (const DOMException&) {
    return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  }
  return TDR_BASIC_ERROR_CODE_OK;
}

TDR_BASIC_ELEMENT* TDR_BASIC_ELEMENT::get_child_element(const char* tag, int n) const {
  if (!m_dom_element) return nullptr;
  if (n < 0) {
    TDR_INTERNAL_ERROR("index < size || (index == 0)");
    return nullptr;
  }
  TDR_DATA_XML_STR xml_tag(tag);
  const XMLCh* wanted = tag ? xml_tag.xml() : nullptr;
  DOMNode* found = nullptr;
  int count = 0;
  for (DOMNode* node = next_in_subtree(m_dom_element, m_dom_element); node;
       node = next_in_subtree(node, m_dom_element)) {
    if (tdr_xml_is_element(node) && tag_matches(node, wanted) && count++ == n) {
      found = node;
      break;
    }
  }
  if (!found) {
    if (n != 0) TDR_INTERNAL_ERROR("index < size || (index == 0)");
    return nullptr;
  }
  if (found->getParentNode() != m_dom_element) return nullptr;
  for (TDR_BASIC_ELEMENT* child : m_children)
    if (child->m_dom_element == found) return child;
  return nullptr;
}

TDR_BASIC_ELEMENT* TDR_BASIC_ELEMENT::get_child_element(unsigned index) const {
  if (m_children.size() <= index) {
    TDR_INTERNAL_ERROR("m_children->size() > index");
    return nullptr;
  }
  return m_children[index];
}

int TDR_BASIC_ELEMENT::get_number_of_child_elements(const char* tag) const {
  if (!tag) return static_cast<int>(m_children.size());
  if (!m_dom_element) return 0;
  TDR_DATA_XML_STR xml_tag(tag);
  int count = 0;
  for (DOMNode* node = next_in_subtree(m_dom_element, m_dom_element); node;
       node = next_in_subtree(node, m_dom_element))
    if (tdr_xml_is_element(node) && tag_matches(node, xml_tag)) ++count;
  return count;
}

TDR_BASIC_ELEMENT* TDR_BASIC_ELEMENT::new_child(const char* tag, TDR_BASIC_ELEMENT* before,
                                                unsigned position) {
  if (!m_dom_element) return nullptr;
  DOMElement* element = create_element(m_dom_element->getOwnerDocument(), tag);
  if (!element) return nullptr;
  try {
    m_dom_element->insertBefore(element, before ? before->m_dom_element : nullptr);
  } catch (const DOMException&) {
    element->release();
    return nullptr;
  }
  TDR_BASIC_ELEMENT* child =
      new TDR_BASIC_ELEMENT(m_session, element, root_for_children(), this, m_undo_buffer);
  m_children.insert(m_children.begin() + position, child);
  return child;
}

TDR_BASIC_ELEMENT* TDR_BASIC_ELEMENT::append_child_element(const char* tag) {
  return new_child(tag, nullptr, static_cast<unsigned>(m_children.size()));
}

TDR_BASIC_ELEMENT* TDR_BASIC_ELEMENT::insert_child_element(const char* tag, unsigned position) {
  if (position >= m_children.size()) {
    TDR_INTERNAL_ERROR("position < m_children->size()");
    return nullptr;
  }
  return new_child(tag, m_children[position], position);
}

int TDR_BASIC_ELEMENT::remove_child_element(TDR_BASIC_ELEMENT* element) {
  if (!TDR_CHECK(element != NULL)) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  auto it = std::find(m_children.begin(), m_children.end(), element);
  if (it == m_children.end()) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  if (element->m_dom_element && element->m_dom_element->getParentNode() == m_dom_element)
    m_dom_element->removeChild(element->m_dom_element);
  m_children.erase(it);
  element->m_parent = nullptr;
  element->m_root_node = nullptr;
  return TDR_BASIC_ERROR_CODE_OK;
}

int TDR_BASIC_ELEMENT::populate_element_tree(TDR_BASIC_UNDO_BUFFER* undo_buffer) {
  if (!TDR_CHECK(m_parent == NULL && m_root_node == NULL))
    return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return populate_element_tree_recurse(undo_buffer);
}

int TDR_BASIC_ELEMENT::populate_element_tree_recurse(TDR_BASIC_UNDO_BUFFER* undo_buffer) {
  // Wrapping twice would list every element twice.
  if (!TDR_CHECK(m_children.empty())) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  std::vector<TDR_BASIC_ELEMENT*> stack(1, this);
  while (!stack.empty()) {
    TDR_BASIC_ELEMENT* wrapper = stack.back();
    stack.pop_back();
    if (!wrapper->m_dom_element) continue;
    for (DOMNode* node = wrapper->m_dom_element->getFirstChild(); node;
         node = node->getNextSibling()) {
      if (!tdr_xml_is_element(node)) continue;
      TDR_BASIC_ELEMENT* child =
          new TDR_BASIC_ELEMENT(m_session, static_cast<DOMElement*>(node),
                                wrapper->root_for_children(), wrapper, undo_buffer);
      wrapper->m_children.push_back(child);
      stack.push_back(child);
    }
  }
  return TDR_BASIC_ERROR_CODE_OK;
}

// ---------------------------------------------------------------------------
// TDR_BASIC_SESSION

TDR_BASIC_SESSION::TDR_BASIC_SESSION(const char* name, const char* file, bool new_only)
    : m_name(name ? name : ""),
      m_open_count(0),
      m_dom_doc(nullptr),
      m_dom_session(nullptr),
      m_discarding_document(false) {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  create_document();
  if (!new_only && FIO_FILE_SYSTEM::exists(file)) open(file);
}

TDR_BASIC_SESSION::~TDR_BASIC_SESSION() { clear_content(); }

void TDR_BASIC_SESSION::create_document() {
  static const XMLCh core[] = {'C', 'o', 'r', 'e', 0};
  DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(core);
  m_dom_doc = implementation->createDocument();
  m_dom_session = create_element(m_dom_doc, m_name.c_str());
  if (!TDR_CHECK(m_dom_session != NULL)) return;
  m_dom_doc->appendChild(m_dom_session);
}

// Wrappers and snapshot copies go first; their detached elements are left to
// the document, which frees every node it made at once.
void TDR_BASIC_SESSION::clear_content() {
  m_discarding_document = m_dom_doc != nullptr;
  for (TDR_BASIC_ELEMENT* element : m_instance_elements) delete element;
  m_instance_elements.clear();
  for (TDR_BASIC_ELEMENT* element : m_temp_instance_elements) delete element;
  m_temp_instance_elements.clear();
  for (TDR_BASIC_ELEMENT* element : m_taken_out) delete element;
  m_taken_out.clear();
  for (TDR_BASIC_UNDO_BUFFER* buffer : m_undo_buffers) delete buffer;
  m_undo_buffers.clear();
  if (m_parser)
    m_parser.reset();  // releases the document it built
  else if (m_dom_doc)
    m_dom_doc->release();
  m_dom_doc = nullptr;
  m_dom_session = nullptr;
  m_discarding_document = false;
}

int TDR_BASIC_SESSION::open(const char* file) {
  if (!file) return TDR_BASIC_ERROR_CODE_FILE_ERROR;
  std::unique_ptr<ZENVOR_DOM_PARSER> parser = tdr_xml_read_file(file, file);
  if (!parser) return TDR_BASIC_ERROR_CODE_FILE_ERROR;
  clear_content();
  m_parser = std::move(parser);
  m_dom_doc = m_parser->getDocument();
  m_dom_session = m_dom_doc->getDocumentElement();
  if (!m_dom_session) {
    MSG_TDR::post(MSG_TDR::E::SOURCE_INVALID_FORMAT());
    return TDR_BASIC_ERROR_CODE_OK;
  }
  for (DOMNode* node = m_dom_session->getFirstChild(); node; node = node->getNextSibling()) {
    if (!tdr_xml_is_element(node)) continue;
    TDR_BASIC_UNDO_BUFFER* buffer = new TDR_BASIC_UNDO_BUFFER();
    TDR_BASIC_ELEMENT* element =
        new TDR_BASIC_ELEMENT(this, static_cast<DOMElement*>(node), nullptr, nullptr, buffer);
    buffer->set_root(element);
    element->populate_element_tree(buffer);
    m_instance_elements.push_back(element);
    m_undo_buffers.push_back(buffer);
  }
  return TDR_BASIC_ERROR_CODE_OK;
}

int TDR_BASIC_SESSION::save() { return save_as(m_name.c_str()); }

int TDR_BASIC_SESSION::save_as(const char* file) {
  if (!file || !m_dom_doc) return TDR_BASIC_ERROR_CODE_FILE_ERROR;
  return tdr_xml_write_file(m_dom_doc, file, true) ? TDR_BASIC_ERROR_CODE_OK
                                                   : TDR_BASIC_ERROR_CODE_FILE_ERROR;
}

int TDR_BASIC_SESSION::get_attribute(const char* name, std::string* value) const {
  if (!TDR_CHECK(m_dom_session != NULL)) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return get_dom_attribute(m_dom_session, name, value);
}

int TDR_BASIC_SESSION::set_attribute(const char* name, const char* value) {
  if (!TDR_CHECK(m_dom_session != NULL)) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return set_dom_attribute(m_dom_session, name, value);
}

int TDR_BASIC_SESSION::remove_attribute(const char* name) {
  if (!TDR_CHECK(m_dom_session != NULL)) return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  return remove_dom_attribute(m_dom_session, name);
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::new_instance(const char* tag, bool in_document) {
  if (in_document && !TDR_CHECK(m_dom_session != NULL)) return nullptr;
  DOMElement* element = create_element(m_dom_doc, tag);
  if (!element) return nullptr;
  if (in_document) m_dom_session->appendChild(element);
  TDR_BASIC_UNDO_BUFFER* buffer = new TDR_BASIC_UNDO_BUFFER();
  TDR_BASIC_ELEMENT* wrapper = new TDR_BASIC_ELEMENT(this, element, nullptr, nullptr, buffer);
  buffer->set_root(wrapper);
  (in_document ? m_instance_elements : m_temp_instance_elements).push_back(wrapper);
  m_undo_buffers.push_back(buffer);
  return wrapper;
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::append_instance(const char* tag) {
  return new_instance(tag, true);
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::append_temp_instance(const char* tag) {
  return new_instance(tag, false);
}

namespace {

int find_nth(const std::vector<TDR_BASIC_ELEMENT*>& list, const char* tag, int n) {
  if (!tag || n < 0) return -1;
  TDR_DATA_XML_STR xml_tag(tag);
  int count = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    DOMElement* element = list[i]->get_dom_node();
    if (element && XMLString::compareString(element->getTagName(), xml_tag) == 0 &&
        count++ == n)
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::find_instance(const char* tag, int n) const {
  int i = find_nth(m_instance_elements, tag, n);
  return i < 0 ? nullptr : m_instance_elements[i];
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::find_temp_instance(const char* tag, int n) const {
  int i = find_nth(m_temp_instance_elements, tag, n);
  return i < 0 ? nullptr : m_temp_instance_elements[i];
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::get_instance_at(int index) const {
  if (index < 0 || index >= get_num_instance_elements()) {
    TDR_INTERNAL_ERROR("index < get_num_instance_elements()");
    return nullptr;
  }
  return m_instance_elements[index];
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::get_temp_instance_at(int index) const {
  if (index < 0 || index >= get_num_temp_instance_elements()) {
    TDR_INTERNAL_ERROR("index < get_num_temp_instance_elements()");
    return nullptr;
  }
  return m_temp_instance_elements[index];
}

void TDR_BASIC_SESSION::delete_undo_buffers_of(TDR_BASIC_ELEMENT* element) {
  for (size_t i = m_undo_buffers.size(); i-- > 0;) {
    if (m_undo_buffers[i]->get_root() != element) continue;
    delete m_undo_buffers[i];
    m_undo_buffers.erase(m_undo_buffers.begin() + i);
  }
}

void TDR_BASIC_SESSION::move_undo_buffers(TDR_BASIC_ELEMENT* from, TDR_BASIC_ELEMENT* to) {
  for (TDR_BASIC_UNDO_BUFFER* buffer : m_undo_buffers)
    if (buffer->get_root() == from) buffer->set_root(to);
}

int TDR_BASIC_SESSION::delete_from(std::vector<TDR_BASIC_ELEMENT*>* list, int index) {
  if (index < 0 || index >= static_cast<int>(list->size()))
    return TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
  TDR_BASIC_ELEMENT* element = (*list)[index];
  list->erase(list->begin() + index);
  DOMElement* dom = element->get_dom_node();
  if (dom && dom->getParentNode()) dom->getParentNode()->removeChild(dom);
  delete_undo_buffers_of(element);
  delete element;
  return TDR_BASIC_ERROR_CODE_OK;
}

int TDR_BASIC_SESSION::delete_instance_at(int index) {
  return delete_from(&m_instance_elements, index);
}

int TDR_BASIC_SESSION::delete_instance(const char* tag, int n) {
  int index = find_nth(m_instance_elements, tag, n);
  return index < 0 ? TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT : delete_instance_at(index);
}

int TDR_BASIC_SESSION::delete_temp_instance_at(int index) {
  return delete_from(&m_temp_instance_elements, index);
}

int TDR_BASIC_SESSION::delete_temp_instance(const char* tag, int n) {
  int index = find_nth(m_temp_instance_elements, tag, n);
  return index < 0 ? TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT : delete_temp_instance_at(index);
}

TDR_BASIC_ELEMENT* TDR_BASIC_SESSION::replace_instance(TDR_BASIC_ELEMENT* old,
                                                       TDR_BASIC_ELEMENT* replacement) {
  if (!old || !replacement || old == replacement || !m_dom_session) return nullptr;
  auto slot = std::find(m_instance_elements.begin(), m_instance_elements.end(), old);
  if (slot == m_instance_elements.end()) return nullptr;
  // The replacement must be a detached tree of this document that no list
  // holds as an instance element already.
  DOMElement* new_dom = replacement->get_dom_node();
  DOMElement* old_dom = old->get_dom_node();
  if (!new_dom || new_dom->getParentNode() || new_dom->getOwnerDocument() != m_dom_doc ||
      !old_dom || old_dom->getParentNode() != m_dom_session ||
      std::find(m_instance_elements.begin(), m_instance_elements.end(), replacement) !=
          m_instance_elements.end())
    return nullptr;
  try {
    m_dom_session->replaceChild(new_dom, old_dom);
  } catch (const DOMException&) {
    return nullptr;
  }
  *slot = replacement;
  auto temp = std::find(m_temp_instance_elements.begin(), m_temp_instance_elements.end(),
                        replacement);
  if (temp != m_temp_instance_elements.end()) m_temp_instance_elements.erase(temp);
  replacement->m_parent = nullptr;
  replacement->m_root_node = nullptr;
  // The history of the old element goes on with the element in its place.
  move_undo_buffers(old, replacement);
  return old;
}

TDR_BASIC_ELEMENT** TDR_BASIC_SESSION::find_slot(TDR_BASIC_ELEMENT* element) {
  for (std::vector<TDR_BASIC_ELEMENT*>* list : {&m_instance_elements, &m_temp_instance_elements}) {
    auto it = std::find(list->begin(), list->end(), element);
    if (it != list->end()) return &*it;
  }
  return nullptr;
}

bool TDR_BASIC_SESSION::exchange_instance_tree(TDR_BASIC_ELEMENT* old,
                                               TDR_BASIC_ELEMENT* rebuilt) {
  auto temp = std::find(m_temp_instance_elements.begin(), m_temp_instance_elements.end(), old);
  if (temp != m_temp_instance_elements.end()) {
    *temp = rebuilt;
  } else if (replace_instance(old, rebuilt) != old) {
    TDR_INTERNAL_ERROR("replace_instance(old, rebuilt) == old");
    return false;
  }
  move_undo_buffers(old, rebuilt);
  keep_taken_out(old);
  return true;
}

// ---------------------------------------------------------------------------
// TDR_BASIC_UNDO_ELEMENT

TDR_BASIC_UNDO_ELEMENT::~TDR_BASIC_UNDO_ELEMENT() { delete m_full_copy; }

bool TDR_BASIC_UNDO_ELEMENT::get_modifier(int i, int* index, std::string* name,
                                          std::string* value) const {
  if (i < 0 || i >= get_num_modifiers()) return false;
  const MODIFIER& modifier = m_modifiers[i];
  if (index) *index = modifier.m_index;
  if (name) *name = narrow(modifier.m_name.c_str());
  if (value) *value = narrow(modifier.m_value.c_str());
  return true;
}

// ---------------------------------------------------------------------------
// TDR_BASIC_UNDO_BUFFER

TDR_BASIC_UNDO_BUFFER::TDR_BASIC_UNDO_BUFFER()
    : m_root(nullptr),
      m_base(-1),
      m_overrides_end(0),
      m_position(0),
      m_savepoint(0),
      m_current_captured(false) {}

TDR_BASIC_UNDO_BUFFER::~TDR_BASIC_UNDO_BUFFER() {
  for (TDR_BASIC_UNDO_ELEMENT* record : m_undo_vec) delete record;
}

bool TDR_BASIC_UNDO_BUFFER::is_undoable() const {
  return m_position >= 2 || (m_position == 1 && m_undo_vec.size() == 1);
}

bool TDR_BASIC_UNDO_BUFFER::is_redoable() const { return m_undo_vec.size() >= m_position + 1; }

bool TDR_BASIC_UNDO_BUFFER::clear_redo() {
  bool deleted = false;
  while (m_undo_vec.size() > m_position) {
    delete m_undo_vec.back();
    m_undo_vec.pop_back();
    deleted = true;
  }
  if (!deleted) return false;
  m_current_captured = false;
  // The newest snapshot may have gone (snap_differences records past the
  // position): compare with the current state from now on.
  if (m_overrides_end >= m_undo_vec.size() || m_base >= static_cast<int>(m_undo_vec.size()))
    set_base(m_position - 1);
  return true;
}

void TDR_BASIC_UNDO_BUFFER::set_savepoint() { m_savepoint = live_index(); }

bool TDR_BASIC_UNDO_BUFFER::is_last_savepoint() const { return m_savepoint == live_index(); }

bool TDR_BASIC_UNDO_BUFFER::is_same_structure(const TDR_BASIC_ELEMENT* a,
                                              const TDR_BASIC_ELEMENT* b) const {
  if (!a || !b) return a == b;
  bool same = true;
  walk_pre_order(a, b, 0, [&](const TDR_BASIC_ELEMENT* x, const TDR_BASIC_ELEMENT* y, int) {
    same = same_shape(x, y);
    return same;
  });
  return same;
}

bool TDR_BASIC_UNDO_BUFFER::is_full_snapshot_needed() {
  if (!m_root || m_base < 0) return false;
  return is_same_structure(m_root, m_undo_vec[m_base]->m_full_copy);
}

int TDR_BASIC_UNDO_BUFFER::find_full_record(unsigned undo_index) const {
  unsigned full = undo_index;
  while (!m_undo_vec[full]->m_full_replace) {
    if (!TDR_CHECK(full > 0)) return -1;
    --full;
  }
  if (!TDR_CHECK(m_undo_vec[full]->m_full_copy != NULL)) return -1;
  return static_cast<int>(full);
}

void TDR_BASIC_UNDO_BUFFER::add_overrides(const TDR_BASIC_UNDO_ELEMENT* record) {
  for (const TDR_BASIC_UNDO_ELEMENT::MODIFIER& modifier : record->m_modifiers)
    m_overrides[{modifier.m_index, std::u16string_view(modifier.m_name)}] =
        modifier.m_value.c_str();
}

// Makes record `undo_index` the newest snapshot to compare with.
void TDR_BASIC_UNDO_BUFFER::set_base(unsigned undo_index) {
  m_overrides.clear();
  m_base = -1;
  m_overrides_end = undo_index;
  if (undo_index >= m_undo_vec.size()) return;
  m_base = find_full_record(undo_index);
  if (m_base < 0) return;
  for (unsigned r = static_cast<unsigned>(m_base) + 1; r <= undo_index; ++r)
    add_overrides(m_undo_vec[r]);
}

int TDR_BASIC_UNDO_BUFFER::recurse_differences(TDR_BASIC_ELEMENT* old_element,
                                               TDR_BASIC_ELEMENT* current,
                                               TDR_BASIC_UNDO_ELEMENT* undo_element, int index) {
  return differences(old_element, nullptr, current, undo_element, index, nullptr, nullptr);
}

namespace {

typedef std::map<std::pair<int, std::u16string_view>, const XMLCh*>::const_iterator
    OVERRIDE_ITERATOR;

// The value element `index` had at the last snapshot for attribute `name`:
// from the overrides [first, last) of that element, else from the full copy's
// element `old_dom`. Null when it had none.
const XMLCh* old_value(OVERRIDE_ITERATOR first, OVERRIDE_ITERATOR last,
                                          DOMNamedNodeMap* old_attrs, XMLSize_t position,
                                          const XMLCh* name) {
  for (OVERRIDE_ITERATOR it = first; it != last; ++it)
    if (it->first.second == std::u16string_view(name)) return it->second;
  if (!old_attrs) return nullptr;
  // Same position first: both maps usually hold the same names in order.
  DOMNode* attr = position < old_attrs->getLength() ? old_attrs->item(position) : nullptr;
  if (!attr || !XMLString::equals(attr->getNodeName(), name)) attr = old_attrs->getNamedItem(name);
  return attr ? tdr_xml_attribute_value(attr) : nullptr;
}

}  // namespace

// Compares `current` with `old_element` as changed by `old_overrides`. With
// `same_structure` the walk also runs the structure test and stops at the
// first mismatch (the record is then of no use). With `removed` it also lists
// the old attributes that `current` no longer has.
int TDR_BASIC_UNDO_BUFFER::differences(const TDR_BASIC_ELEMENT* old_element,
                                       const OVERRIDES* old_overrides,
                                       const TDR_BASIC_ELEMENT* current,
                                       TDR_BASIC_UNDO_ELEMENT* undo_element, int index,
                                       bool* same_structure, REMOVALS* removed) const {
  if (!TDR_CHECK(undo_element != NULL) || !current) return index;
  if (same_structure) *same_structure = true;
  OVERRIDE_ITERATOR pending{}, overrides_end{};
  if (old_overrides) {
    pending = old_overrides->lower_bound({index, std::u16string_view()});
    overrides_end = old_overrides->end();
  }
  auto compare = [&](const TDR_BASIC_ELEMENT* cur, const TDR_BASIC_ELEMENT* old,
                     int element_index) {
    if (same_structure && !same_shape(cur, old)) {
      *same_structure = false;
      return false;
    }
    // The overrides of this element: [first, pending).
    while (pending != overrides_end && pending->first.first < element_index) ++pending;
    OVERRIDE_ITERATOR first = pending;
    while (pending != overrides_end && pending->first.first == element_index) ++pending;
    DOMElement* cur_dom = cur->m_dom_element;
    if (!cur_dom) return true;
    DOMElement* old_dom = old ? old->m_dom_element : nullptr;
    DOMNamedNodeMap* cur_attrs = cur_dom->getAttributes();
    DOMNamedNodeMap* old_attrs = old_dom ? old_dom->getAttributes() : nullptr;
    XMLSize_t kept = 0;
    for (XMLSize_t i = 0, count = cur_attrs->getLength(); i < count; ++i) {
      DOMNode* attr = cur_attrs->item(i);
      const XMLCh* name = attr->getNodeName();
      const XMLCh* value = tdr_xml_attribute_value(attr);
      const XMLCh* before = old_value(first, pending, old_attrs, i, name);
      if (before) ++kept;
      if (before && XMLString::equals(before, value)) continue;
      undo_element->m_modifiers.push_back({element_index, name, value});
    }
    if (removed) {
      // Count the old attributes; only when some are missing, find them.
      XMLSize_t old_count = old_attrs ? old_attrs->getLength() : 0;
      for (OVERRIDE_ITERATOR it = first; it != pending; ++it) {
        const bool in_copy = old_attrs && old_attrs->getNamedItem(it->first.second.data());
        if (it->second && !in_copy) ++old_count;
        if (!it->second && in_copy) --old_count;
      }
      if (kept < old_count) {
        for (XMLSize_t i = 0, count = old_attrs ? old_attrs->getLength() : 0; i < count; ++i) {
          const XMLCh* name = old_attrs->item(i)->getNodeName();
          if (old_value(first, pending, old_attrs, i, name) && !cur_attrs->getNamedItem(name))
            removed->push_back({element_index, std::u16string_view(name)});
        }
        for (OVERRIDE_ITERATOR it = first; it != pending; ++it) {
          const XMLCh* name = it->first.second.data();
          if (it->second && !(old_attrs && old_attrs->getNamedItem(name)) &&
              !cur_attrs->getNamedItem(name))
            removed->push_back(it->first);
        }
      }
    }
    return true;
  };
  return walk_pre_order(current, old_element, index, compare);
}

int TDR_BASIC_UNDO_BUFFER::apply_differences(TDR_BASIC_ELEMENT* element,
                                             TDR_BASIC_UNDO_ELEMENT* undo_element, int index) {
  if (!TDR_CHECK(undo_element != NULL)) return index;
  if (!TDR_CHECK(undo_element->m_full_replace != true)) return index;
  if (!element) return index;
  // Modifiers by element index, so one pre-order walk serves them all.
  std::vector<const TDR_BASIC_UNDO_ELEMENT::MODIFIER*> modifiers;
  modifiers.reserve(undo_element->m_modifiers.size());
  for (const TDR_BASIC_UNDO_ELEMENT::MODIFIER& modifier : undo_element->m_modifiers)
    if (modifier.m_index >= index) modifiers.push_back(&modifier);
  std::stable_sort(modifiers.begin(), modifiers.end(),
                   [](const TDR_BASIC_UNDO_ELEMENT::MODIFIER* a,
                      const TDR_BASIC_UNDO_ELEMENT::MODIFIER* b) {
                     return a->m_index < b->m_index;
                   });
  size_t pending = 0;
  auto apply = [&](TDR_BASIC_ELEMENT* wrapper, const TDR_BASIC_ELEMENT*, int element_index) {
    for (; pending < modifiers.size() && modifiers[pending]->m_index == element_index;
         ++pending) {
      int result = wrapper->m_dom_element
                       ? set_dom_attribute(wrapper->m_dom_element,
                                           modifiers[pending]->m_name.c_str(),
                                           modifiers[pending]->m_value.c_str())
                       : TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
      TDR_CHECK(result == TDR_BASIC_ERROR_CODE_OK);
    }
    return true;
  };
  return walk_pre_order(element, static_cast<const TDR_BASIC_ELEMENT*>(nullptr), index, apply);
}

TDR_BASIC_ELEMENT* TDR_BASIC_UNDO_BUFFER::get_copy_at(unsigned undo_index) const {
  if (undo_index >= m_undo_vec.size()) {
    TDR_INTERNAL_ERROR("undo_index < m_undo_vec->size()");
    return nullptr;
  }
  const int found = find_full_record(undo_index);
  if (found < 0) return nullptr;
  const unsigned full = static_cast<unsigned>(found);
  TDR_BASIC_ELEMENT* copy = new TDR_BASIC_ELEMENT(*m_undo_vec[full]->m_full_copy);
  if (full == undo_index) return copy;
  // Same effect as apply_differences(copy, record, 0) for each record in turn,
  // with the pre-order numbering done once instead of once per record.
  std::vector<TDR_BASIC_ELEMENT*> order;
  walk_pre_order(copy, static_cast<const TDR_BASIC_ELEMENT*>(nullptr), 0,
                 [&](TDR_BASIC_ELEMENT* element, const TDR_BASIC_ELEMENT*, int) {
                   order.push_back(element);
                   return true;
                 });
  for (unsigned r = full + 1; r <= undo_index; ++r) {
    for (const TDR_BASIC_UNDO_ELEMENT::MODIFIER& modifier : m_undo_vec[r]->m_modifiers) {
      if (modifier.m_index < 0 || static_cast<size_t>(modifier.m_index) >= order.size())
        continue;
      DOMElement* element = order[modifier.m_index]->m_dom_element;
      int result = element ? set_dom_attribute(element, modifier.m_name.c_str(),
                                               modifier.m_value.c_str())
                           : TDR_BASIC_ERROR_CODE_INVALID_ARGUMENT;
      TDR_CHECK(result == TDR_BASIC_ERROR_CODE_OK);
    }
  }
  return copy;
}

TDR_BASIC_UNDO_ELEMENT* TDR_BASIC_UNDO_BUFFER::record_current_state() {
  if (!TDR_CHECK(m_root != NULL)) return nullptr;
  TDR_BASIC_UNDO_ELEMENT* record = new TDR_BASIC_UNDO_ELEMENT();
  // One walk tests the structure and collects the differences.
  bool same_structure = false;
  REMOVALS removed;
  if (m_base >= 0)
    differences(m_undo_vec[m_base]->m_full_copy, &m_overrides, m_root, record, 0,
                &same_structure, &removed);
  const unsigned index = static_cast<unsigned>(m_undo_vec.size());
  m_undo_vec.push_back(record);
  ++m_position;
  if (same_structure) {
    add_overrides(record);
    for (const OVERRIDES::key_type& key : removed) m_overrides[key] = nullptr;
  } else {
    record->m_modifiers.clear();
    record->m_full_replace = true;
    record->m_full_copy = new TDR_BASIC_ELEMENT(*m_root);
    m_overrides.clear();
    m_base = static_cast<int>(index);
  }
  m_overrides_end = index;
  return record;
}

bool TDR_BASIC_UNDO_BUFFER::save_snapshot() {
  if (clear_redo()) return true;
  if (m_current_captured) {
    m_current_captured = false;
    return true;
  }
  record_current_state();
  return true;
}

TDR_BASIC_UNDO_ELEMENT* TDR_BASIC_UNDO_BUFFER::snap_differences() {
  return record_current_state();
}

namespace {

// Makes the attributes of `element` exactly `wanted` (name, value pairs).
void match_attributes(
    DOMElement* element, const std::vector<std::pair<const XMLCh*, const XMLCh*>>& wanted) {
  DOMNamedNodeMap* attrs = element->getAttributes();
  for (XMLSize_t i = attrs->getLength(); i-- > 0;) {
    const XMLCh* name = attrs->item(i)->getNodeName();
    bool keep = false;
    for (const auto& pair : wanted)
      if (XMLString::equals(pair.first, name)) {
        keep = true;
        break;
      }
    if (!keep) element->removeAttribute(name);
  }
  for (const auto& pair : wanted) {
    DOMNode* attr = attrs->getNamedItem(pair.first);
    if (attr && XMLString::equals(tdr_xml_attribute_value(attr), pair.second)) continue;
    int result = set_dom_attribute(element, pair.first, pair.second);
    TDR_CHECK(result == TDR_BASIC_ERROR_CODE_OK);
  }
}

// A rebuilt tree holds elements only.
void remove_non_elements(DOMElement* element) {
  DOMNode* node = element->getFirstChild();
  while (node) {
    DOMNode* next = node->getNextSibling();
    if (!tdr_xml_is_element(node)) element->removeChild(node)->release();
    node = next;
  }
}

}  // namespace

// Writes the state of the base snapshot (full copy `source` with the
// overrides) straight into the live tree, which has the shape of `source`:
// the same tree as a copy would give, without copying the DOM. The instance
// element gets a new wrapper, which takes over the children; the old one is
// left, empty, to the caller.
TDR_BASIC_ELEMENT* TDR_BASIC_UNDO_BUFFER::restore_in_place(const TDR_BASIC_ELEMENT* source) {
  std::vector<std::pair<const XMLCh*, const XMLCh*>> wanted;
  OVERRIDE_ITERATOR pending = m_overrides.begin();
  auto restore = [&](TDR_BASIC_ELEMENT* live, const TDR_BASIC_ELEMENT* from, int element_index) {
    if (!TDR_CHECK(from != NULL)) return false;
    wanted.clear();
    if (from->m_dom_element) {
      DOMNamedNodeMap* attrs = from->m_dom_element->getAttributes();
      for (XMLSize_t i = 0, n = attrs->getLength(); i < n; ++i) {
        DOMNode* attr = attrs->item(i);
        wanted.emplace_back(attr->getNodeName(), tdr_xml_attribute_value(attr));
      }
    }
    while (pending != m_overrides.end() && pending->first.first < element_index) ++pending;
    for (; pending != m_overrides.end() && pending->first.first == element_index; ++pending) {
      const XMLCh* name = pending->first.second.data();  // the record's whole string
      auto same = std::find_if(wanted.begin(), wanted.end(), [&](const auto& pair) {
        return XMLString::equals(pair.first, name);
      });
      if (same != wanted.end())
        same->second = pending->second;
      else
        wanted.emplace_back(name, pending->second);
    }
    if (DOMElement* element = live->m_dom_element) {
      match_attributes(element, wanted);
      remove_non_elements(element);
    }
    return true;
  };
  walk_pre_order(m_root, source, 0, restore);
  TDR_BASIC_ELEMENT* top = new TDR_BASIC_ELEMENT(m_root->m_session, m_root->m_dom_element,
                                                 nullptr, nullptr, source->m_undo_buffer);
  top->m_children.swap(m_root->m_children);
  for (TDR_BASIC_ELEMENT* child : top->m_children) child->m_parent = top;
  m_root->m_dom_element = nullptr;
  return top;
}

bool TDR_BASIC_UNDO_BUFFER::move_to(unsigned position) {
  if (!TDR_CHECK(m_root != NULL)) return false;
  TDR_BASIC_SESSION* session = m_root->get_session();
  if (!TDR_CHECK(session != NULL)) return false;
  const unsigned undo_index = position - 1;
  if (undo_index >= m_undo_vec.size()) {
    TDR_INTERNAL_ERROR("undo_index < m_undo_vec->size()");
    return false;
  }
  const int full = find_full_record(undo_index);
  if (full < 0) return false;
  const TDR_BASIC_ELEMENT* source = m_undo_vec[full]->m_full_copy;
  TDR_BASIC_ELEMENT** slot = session->find_slot(m_root);
  if (!TDR_CHECK(slot != NULL)) return false;

  TDR_BASIC_ELEMENT* rebuilt = nullptr;
  if (source->m_dom_element && is_same_structure(source, m_root)) {
    // Attribute changes only, the common case: no DOM copy of the tree.
    set_base(undo_index);
    rebuilt = restore_in_place(source);
    TDR_BASIC_ELEMENT* old_root = m_root;
    *slot = rebuilt;
    session->move_undo_buffers(old_root, rebuilt);
    session->keep_taken_out(old_root);
  } else {
    rebuilt = get_copy_at(undo_index);
    if (!rebuilt) return false;
    if (!session->exchange_instance_tree(m_root, rebuilt)) {
      delete rebuilt;
      return false;
    }
    set_base(undo_index);
  }
  m_root = rebuilt;
  m_position = position;
  return true;
}

bool TDR_BASIC_UNDO_BUFFER::undo() {
  if (!is_undoable()) return false;
  if (!m_current_captured) {
    if (!record_current_state()) return false;
    m_current_captured = true;
  }
  if (!TDR_CHECK(m_position >= 2)) return false;
  return move_to(m_position - 1);
}

bool TDR_BASIC_UNDO_BUFFER::redo() {
  if (m_undo_vec.size() < m_position + 1) return false;
  return move_to(m_position + 1);
}
