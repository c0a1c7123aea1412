// Triggers of a signal set: name, element and the logs recorded under them.
#define TDR_SOURCE_FILE "tdr_data_trigger"

#include "tdr_data_trigger.h"

#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
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

TDR_DATA_TRIGGER::TDR_DATA_TRIGGER(DOMDocument* doc)
    : m_name(generated_name("trigger")), m_doc(doc) {
  create_element();
}

TDR_DATA_TRIGGER::TDR_DATA_TRIGGER(DOMDocument* doc, const char* name)
    : m_name(name ? std::string(name) : generated_name("trigger")), m_doc(doc) {
  create_element();
}

TDR_DATA_TRIGGER::TDR_DATA_TRIGGER(DOMDocument* doc, DOMElement* element,
                                   TDR_DATA_SIGNAL_SET* signal_set)
    : m_signal_set(signal_set), m_doc(doc), m_element(element) {
  if (!TDR_CHECK(element != nullptr)) return;
  if (!tdr_get_attr_if(element, TDR_X("name"), &m_name)) {
    m_name = generated_name("trigger");
    tdr_set_attr(element, TDR_X("name"), m_name);
  }
  for (DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(element, TDR_X("data"));
       e; e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("data"))) {
    TDR_DATA_LOG* log = new TDR_DATA_LOG(doc, e, signal_set, this);
    if (log->is_global_temp()) {
      // The last global-temp log read wins; an earlier one keeps its element.
      delete m_logs.global();
      m_logs.set_global(log);
    } else if (!m_logs.append(log)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(log->get_name()));
      delete log;
    }
  }
}

TDR_DATA_TRIGGER::~TDR_DATA_TRIGGER() { del_container(); }

void TDR_DATA_TRIGGER::create_element() {
  if (!m_doc) return;
  m_element = tdr_new_element(m_doc, TDR_X("trigger"));
  tdr_set_attr(m_element, TDR_X("name"), m_name);
}

bool TDR_DATA_TRIGGER::set_name(const char* name) {
  if (!TDR_CHECK(name != nullptr)) return false;
  TDR_DATA_NAME_MAP<TDR_DATA_TRIGGER>* map =
      m_signal_set ? &m_signal_set->get_trigger_name_map() : nullptr;
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

TDR_DATA_LOG* TDR_DATA_TRIGGER::find_log(const char* name) const { return m_logs.find(name); }

void TDR_DATA_TRIGGER::del_container() { m_logs.delete_all(); }

bool TDR_DATA_TRIGGER::is_global_temp() const { return tdr_is_global_temp_element(m_element); }

void TDR_DATA_TRIGGER::set_global_temp() { tdr_mark_global_temp_element(m_element); }

bool TDR_DATA_TRIGGER::append(TDR_DATA_LOG* log, bool append_element) {
  if (!TDR_CHECK(log != nullptr)) return false;
  if (!m_logs.append(log)) return false;
  if (append_element && m_element && log->get_dom_node())
    m_element->appendChild(log->get_dom_node());
  return true;
}

void TDR_DATA_TRIGGER::remove() {
  DOMNode* parent = m_element ? m_element->getParentNode() : nullptr;
  if (!TDR_CHECK(parent != nullptr)) return;
  if (m_signal_set) {
    if (m_signal_set->get_global_trigger() == this) {
      m_signal_set->set_global_trigger(nullptr);
    } else {
      TDR_DATA_NAME_MAP<TDR_DATA_TRIGGER>& map = m_signal_set->get_trigger_name_map();
      if (map.find(m_name) == this) map.erase(m_name);
      m_signal_set->delete_from_vector(this);
    }
    TDR_DATA_INSTANCE* instance = m_signal_set->get_instance();
    if (instance && instance->get_session()) instance->get_session()->erase_active_branches(this);
  }
  tdr_release_node(m_element);
  m_element = nullptr;
  delete this;
}
