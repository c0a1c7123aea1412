#define TDR_SOURCE_FILE "tdr_data_instance"

#include "tdr_data_instance.h"

#include <cctype>
#include <cstdlib>
#include <strings.h>

#include "gen.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

const TDR_DATA_INSTANCE_INFO DEFAULT_NODE_INFO = {0, TDR_DATA_INSTANCE::TAVRIN_MFG_ID, 0,
                                                  TDR_DATA_INSTANCE::VERSION_NOT_DEFINED,
                                                  TDR_DATA_INSTANCE::VERSION_NOT_DEFINED};

bool read_auto_node(const std::string& v) {
  if (!strcasecmp(v.c_str(), "yes") || !strcasecmp(v.c_str(), "true")) return true;
  const char* p = v.c_str();
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '+') return false;
  return std::strtol(p, nullptr, 10) >= 1;
}

}  // namespace

TDR_DATA_INSTANCE::TDR_DATA_INSTANCE(DOMDocument* doc, const char* name) : m_doc(doc) {
  init_container();
  m_element = tdr_new_element(doc, TDR_X("instance"));
  if (name) {
    m_has_name = true;
    m_name = name;
    tdr_set_attr(m_element, TDR_X("name"), name);
  }
  m_node_info_element = tdr_new_element(doc, TDR_X("node_ip_info"), m_element);
  m_position_element = tdr_new_element(doc, TDR_X("position_info"), m_element);
}

TDR_DATA_INSTANCE::TDR_DATA_INSTANCE(DOMDocument* doc, DOMElement* element,
                                     TDR_DATA_SESSION* session)
    : m_expanded(true), m_session(session), m_doc(doc), m_element(element) {
  init_container();
  std::string value;
  if (!tdr_get_attr_if(element, TDR_X("name"), &value)) {
    MSG_TDR::post(MSG_TDR::W::MISSING_NAME("instance"));
    return;
  }
  m_has_name = true;
  m_name = value;

  if (tdr_get_attr_if(element, TDR_X("entity_name"), &value)) {
    m_has_entity = true;
    m_entity_name = value;
  } else {
    set_entity_name(TDR_TVF_ENTITY_NAME);
  }
  if (tdr_get_attr_if(element, TDR_X("source_file"), &value)) {
    m_has_source = true;
    m_source_file = value;
  } else {
    set_source_filename(TDR_TVF_SOURCE_FILE);
  }
  set_expanded_status(strcasecmp(tdr_get_attr(element, TDR_X("is_expanded")).c_str(), "false") != 0);
  m_auto_node = read_auto_node(tdr_get_attr(element, TDR_X("is_auto_node")));
  m_incr_cmp_mode =
      strcasecmp(tdr_get_attr(element, TDR_X("compilation_mode")).c_str(), "incremental") == 0;

  m_node_info = DEFAULT_NODE_INFO;
  m_node_info_element =
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(element, TDR_X("node_ip_info"));
  if (m_node_info_element) {
    if (tdr_get_attr_if(m_node_info_element, TDR_X("mfg_id"), &value))
      m_node_info.mfg_id = tdr_strtol_int(value.c_str());
    if (tdr_get_attr_if(m_node_info_element, TDR_X("node_id"), &value))
      m_node_info.node_id = static_cast<unsigned char>(tdr_strtol_int(value.c_str()));
    if (tdr_get_attr_if(m_node_info_element, TDR_X("version"), &value))
      m_node_info.version = static_cast<unsigned char>(tdr_strtol_int(value.c_str()));
    if (tdr_get_attr_if(m_node_info_element, TDR_X("instance_id"), &value))
      m_node_info.instance_id = static_cast<unsigned int>(tdr_strtol_int(value.c_str())) & 0xFF;
  } else {
    m_node_info_element = tdr_new_element(doc, TDR_X("node_ip_info"), element);
  }

  for (DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(element, TDR_X("signal_set"));
       e; e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("signal_set"))) {
    TDR_DATA_SIGNAL_SET* signal_set = new TDR_DATA_SIGNAL_SET(doc, e, this);
    if (tdr_is_global_temp_element(e)) {
      // The last global-temp copy in the file wins; the earlier object goes.
      delete m_signal_sets.global();
      m_signal_sets.set_global(signal_set);
    } else if (!m_signal_sets.append(signal_set)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(signal_set->get_name() ? signal_set->get_name() : ""));
      delete signal_set;
    }
  }

  m_position_element = m_position.read_from(element, TDR_X("position_info"));
  write_position_info();
}

TDR_DATA_INSTANCE::~TDR_DATA_INSTANCE() { del_container(); }

void TDR_DATA_INSTANCE::init_container() {
  m_signal_sets.delete_all();
  m_position.clear();
}

void TDR_DATA_INSTANCE::del_container() {
  m_signal_sets.delete_all();
  m_position.clear();
}

const char* TDR_DATA_INSTANCE::get_name(std::string* identifier) const {
  if (identifier) {
    identifier->clear();
    if (m_has_name)
      for (char c : m_name)
        identifier->push_back(std::isalnum(static_cast<unsigned char>(c)) && (c & 0x80) == 0 ? c
                                                                                             : '_');
  }
  return get_name();
}

bool TDR_DATA_INSTANCE::set_name(const char* new_name) {
  if (!m_has_name) {
    TDR_INTERNAL_ERROR("m_name != NULL");
    return false;
  }
  if (!TDR_CHECK(new_name != NULL)) return false;
  bool restore_failed = false;
  if (!tdr_rename_in_map(m_session ? &m_session->get_instance_name_map() : nullptr, this, &m_name,
                         new_name, &restore_failed)) {
    if (restore_failed) TDR_INTERNAL_ERROR("m_session->append(this)");
    return false;
  }
  tdr_set_attr(m_element, TDR_X("name"), new_name);
  return true;
}

void TDR_DATA_INSTANCE::set_entity_name(const char* entity_name) {
  if (!TDR_CHECK(entity_name != NULL)) return;
  m_has_entity = true;
  m_entity_name = entity_name;
  tdr_set_attr(m_element, TDR_X("entity_name"), entity_name);
}

void TDR_DATA_INSTANCE::set_source_filename(const char* source_filename) {
  if (!TDR_CHECK(source_filename != NULL)) return;
  m_has_source = true;
  m_source_file = source_filename;
  tdr_set_attr(m_element, TDR_X("source_file"), source_filename);
}

void TDR_DATA_INSTANCE::set_auto_node(bool flag) {
  m_auto_node = flag;
  tdr_set_attr(m_element, TDR_X("is_auto_node"), flag ? "yes" : "no");
}

void TDR_DATA_INSTANCE::set_incr_cmp_mode(bool flag) {
  m_incr_cmp_mode = flag;
  tdr_set_attr(m_element, TDR_X("compilation_mode"), flag ? "incremental" : "full");
}

bool TDR_DATA_INSTANCE::set_expanded_status(bool flag) {
  m_expanded = flag;
  tdr_set_attr(m_element, TDR_X("is_expanded"), flag ? "true" : "false");
  return m_expanded;
}

void TDR_DATA_INSTANCE::set_node_info(TDR_DATA_INSTANCE_INFO info) {
  info.instance_id &= 0xFF;
  m_node_info = info;
  tdr_set_attr_int(m_node_info_element, TDR_X("mfg_id"), info.mfg_id);
  tdr_set_attr_int(m_node_info_element, TDR_X("node_id"), info.node_id);
  if (info.version < VERSION_NOT_DEFINED)
    tdr_set_attr_int(m_node_info_element, TDR_X("version"), info.version);
  tdr_set_attr_int(m_node_info_element, TDR_X("instance_id"), long(info.instance_id));
}

bool TDR_DATA_INSTANCE::is_tavrin_node() const {
  return m_node_info.mfg_id == TAVRIN_MFG_ID && (m_node_info.node_id == 0 || m_node_info.node_id == 2);
}

bool TDR_DATA_INSTANCE::is_tavrin_hdl_node() const {
  return m_node_info.mfg_id == TAVRIN_MFG_ID && m_node_info.node_id == 2;
}

bool TDR_DATA_INSTANCE::is_current_version() const {
  return m_node_info.version == CURRENT_VERSION || is_version_not_defined();
}

bool TDR_DATA_INSTANCE::update_to_current_version() {
  bool changed = false;
  if (m_node_info.version < VERSION_NOT_DEFINED && m_node_info.version != CURRENT_VERSION) {
    m_node_info.version = CURRENT_VERSION;
    tdr_set_attr_int(m_node_info_element, TDR_X("version"), CURRENT_VERSION);
    changed = true;
  }
  // A stored fingerprint belongs to the old version.
  if (TDR_DATA_SIGNAL_SET* global = m_signal_sets.global())
    if (TDR_DATA_TRIGGER* trigger = global->get_global_trigger())
      tdr_remove_attr(trigger->get_dom_node(), TDR_X("CRC"));
  for (TDR_DATA_SIGNAL_SET* signal_set : m_signal_sets.items())
    for (int i = 0; i < signal_set->get_num_triggers(); ++i)
      tdr_remove_attr(signal_set->get_trigger_at(i)->get_dom_node(), TDR_X("CRC"));
  return changed;
}

void TDR_DATA_INSTANCE::set_inferred_node_version(unsigned char version) {
  if (!TDR_CHECK(is_version_not_defined())) return;
  m_node_info.inferred_version = version;
}

void TDR_DATA_INSTANCE::remove() {
  DOMNode* parent = m_element ? m_element->getParentNode() : nullptr;
  if (!TDR_CHECK(parent != NULL)) return;
  parent->removeChild(m_element);
  if (m_session) {
    if (m_has_name) m_session->get_instance_name_map().erase(m_name);
    m_session->delete_from_vector(this);
  }
  DOMElement* element = m_element;
  delete this;
  element->release();
}

TDR_DATA_SIGNAL_SET* TDR_DATA_INSTANCE::find_signal_set(const char* name) const {
  return m_signal_sets.find(name);
}

TDR_DATA_SIGNAL_SET* TDR_DATA_INSTANCE::create_signal_set(const char* name, bool global_temp) {
  TDR_DATA_SIGNAL_SET* signal_set =
      name ? new TDR_DATA_SIGNAL_SET(m_doc, name) : new TDR_DATA_SIGNAL_SET(m_doc);
  if (global_temp) {
    if (TDR_DATA_SIGNAL_SET* old = m_signal_sets.global()) old->remove();
    m_signal_sets.set_global(nullptr);
    m_element->appendChild(signal_set->get_dom_node());
    signal_set->set_instance(this);
    m_signal_sets.set_global(signal_set);
    signal_set->set_global_temp();
    return signal_set;
  }
  if (!m_signal_sets.append(signal_set)) {
    MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(signal_set->get_name()));
    signal_set->get_dom_node()->release();
    delete signal_set;
    return nullptr;
  }
  m_element->appendChild(signal_set->get_dom_node());
  signal_set->set_instance(this);
  return signal_set;
}

bool TDR_DATA_INSTANCE::append(TDR_DATA_SIGNAL_SET* signal_set, bool append_element) {
  if (!signal_set || !m_signal_sets.append(signal_set)) return false;
  if (append_element) m_element->appendChild(signal_set->get_dom_node());
  return true;
}

TDR_DATA_SIGNAL_SET* TDR_DATA_INSTANCE::get_last_signal_set() const {
  if (m_session)
    if (TDR_DATA_SIGNAL_SET* active = m_session->find_active_signal_set(const_cast<TDR_DATA_INSTANCE*>(this)))
      return active;
  return m_signal_sets.last();
}

bool TDR_DATA_INSTANCE::set_position_data(const char* key, int value, bool memory_only) {
  return m_position.set_single(key, value, memory_only, m_position_element);
}

bool TDR_DATA_INSTANCE::set_position_data(const char* key, const int* values, int count,
                                          bool memory_only) {
  return m_position.set_multi(key, values, count, memory_only, m_position_element);
}

void TDR_DATA_INSTANCE::write_position_info() {
  m_position_element = m_position.rewrite(m_element, m_position_element, TDR_X("position_info"));
}
