// Logs (recorded acquisitions) of a trigger: name, element and ownership.
#define TDR_SOURCE_FILE "tdr_data_log"

#include "tdr_data_log.h"

#include "tdr_data_instance.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_msg.h"

using namespace xercesc;

namespace {

std::string generated_name(const char* base) {
  char* name = TDR_DATA_MANAGER::name_auto_gen(base);
  std::string result = name ? name : "";
  delete[] name;
  return result;
}

}  // namespace

TDR_DATA_LOG::TDR_DATA_LOG(DOMDocument* doc) : m_name(generated_name("log")), m_doc(doc) {
  create_element();
}

TDR_DATA_LOG::TDR_DATA_LOG(DOMDocument* doc, const char* name)
    : m_name(name ? std::string(name) : generated_name("log")), m_doc(doc) {
  create_element();
}

TDR_DATA_LOG::TDR_DATA_LOG(DOMDocument* doc, DOMElement* element, TDR_DATA_SIGNAL_SET* signal_set,
                           TDR_DATA_TRIGGER* trigger)
    : m_signal_set(signal_set), m_trigger(trigger), m_doc(doc), m_element(element) {
  if (!TDR_CHECK(element != nullptr)) return;
  if (!tdr_get_attr_if(element, TDR_X("name"), &m_name)) {
    // Logs read from a file without a name are named after their element.
    m_name = generated_name("data");
    tdr_set_attr(element, TDR_X("name"), m_name);
  }
}

TDR_DATA_LOG::~TDR_DATA_LOG() {}

void TDR_DATA_LOG::create_element() {
  if (!m_doc) return;
  m_element = tdr_new_element(m_doc, TDR_X("data"));
  tdr_set_attr(m_element, TDR_X("name"), m_name);
}

bool TDR_DATA_LOG::set_name(const char* name) {
  if (!TDR_CHECK(name != nullptr)) return false;
  TDR_DATA_NAME_MAP<TDR_DATA_LOG>* map = m_trigger ? &m_trigger->get_log_name_map() : nullptr;
  bool listed = map && map->find(m_name) == this;
  std::string old = m_name;
  if (listed) {
    map->erase(old);
    m_name = name;
    if (!map->insert(this)) {
      m_name = old;
      TDR_CHECK(map->insert(this));
      return false;
    }
  } else {
    m_name = name;
  }
  tdr_set_attr(m_element, TDR_X("name"), m_name);
  return true;
}

bool TDR_DATA_LOG::is_global_temp() const { return tdr_is_global_temp_element(m_element); }

void TDR_DATA_LOG::set_global_temp() { tdr_mark_global_temp_element(m_element); }

void TDR_DATA_LOG::remove() {
  DOMNode* parent = m_element ? m_element->getParentNode() : nullptr;
  if (!TDR_CHECK(parent != nullptr)) return;
  if (m_trigger) {
    if (m_trigger->get_global_log() == this) {
      m_trigger->set_global_log(nullptr);
    } else {
      TDR_DATA_NAME_MAP<TDR_DATA_LOG>& map = m_trigger->get_log_name_map();
      if (map.find(m_name) == this) map.erase(m_name);
      m_trigger->delete_from_vector(this);
    }
  }
  TDR_DATA_SIGNAL_SET* set = m_signal_set ? m_signal_set
                             : m_trigger  ? m_trigger->get_signal_set()
                                          : nullptr;
  TDR_DATA_INSTANCE* instance = set ? set->get_instance() : nullptr;
  if (instance && instance->get_session()) instance->get_session()->erase_active_branches(this);
  tdr_release_node(m_element);
  m_element = nullptr;
  delete this;
}
