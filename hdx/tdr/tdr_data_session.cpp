#define TDR_SOURCE_FILE "tdr_data_session"

#include "tdr_data_session.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "fio.h"
#include "gen.h"
#include "tdr_data_log.h"
#include "tdr_data_mnemonics.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_data_xml_io.h"
#include "tdr_file_replace.h"
#include "tdr_msg.h"

using namespace xercesc;

const char* const TDR_TVF_ENTITY_NAME = "hdx_tavrin";
const char* const TDR_TVF_SOURCE_FILE = "hdx_tavrin.vhd";

namespace {

const char* const USE_GLOBAL_TEMP = "USE_GLOBAL_TEMP";

// The path made absolute against the current directory and simplified.
FIO_PATH absolute_simplified(const char* file) {
  FIO_PATH path(file);
  if (!path.absolute()) path.become_absolute();
  path.become_simplified();
  return path;
}

bool is_legacy_file(const char* file) {
  std::ifstream in(file, std::ios::binary);
  char line[256] = {0};
  in.getline(line, sizeof line);
  return gen_strnicmp(line, "[@\\TVF=", 7) == 0;
}

}  // namespace

TDR_DATA_SESSION::TDR_DATA_SESSION() {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  init_container();
  create_new_doc();
}

TDR_DATA_SESSION::TDR_DATA_SESSION(const char* file) {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  init_container();
  if (!file || !FIO_FILE_SYSTEM::exists(file)) return;
  if (is_legacy_file(file)) {
    set_name(file);
    create_new_doc();
    parse_tvf_file();
    return;
  }
  if (parse(file)) set_name(file);
}

TDR_DATA_SESSION::~TDR_DATA_SESSION() {
  del_container();
  delete m_mnemonics;
  m_mnemonics = nullptr;
  release_document();
}

void TDR_DATA_SESSION::release_document() {
  if (m_parser) {
    m_parser.reset();  // releases the document it built
  } else if (m_doc) {
    m_doc->release();
  }
  m_doc = nullptr;
  m_root = m_display_tree = m_global_info = m_embedded_kfb = nullptr;
}

void TDR_DATA_SESSION::init_container() {
  m_instances.delete_all();
  m_global_data.clear();
}

void TDR_DATA_SESSION::del_container() {
  m_active_tree_map.clear();
  m_instances.delete_all();
  m_global_data.clear();
}

void TDR_DATA_SESSION::create_new_doc() {
  release_document();
  DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(TDR_X("Core"));
  m_doc = impl->createDocument(nullptr, TDR_X("session"), nullptr);
  m_root = m_doc->getDocumentElement();
  m_display_tree = tdr_new_element(m_doc, TDR_X("display_tree"), m_root);
  m_global_info = tdr_new_element(m_doc, TDR_X("global_info"), m_root);
  // A document made here has its display tree from the start.
  m_active_tree_map.clear();
  m_has_active_tree = true;
}

bool TDR_DATA_SESSION::open(const char* file) {
  set_name(file);
  return parse(file);
}

bool TDR_DATA_SESSION::parse(const char* file) {
  if (!TDR_CHECK(file != NULL)) return false;
  FIO_PATH path(file);
  std::string parser_name = file;
  if (path.is_unc_path()) {
    path.change_path_separators_for_windows_api();
    parser_name = path.fullpath();
  }
  std::unique_ptr<ZENVOR_DOM_PARSER> parser = tdr_xml_read_file(parser_name.c_str(), file);
  if (!parser) return false;
  DOMDocument* doc = parser->getDocument();
  DOMElement* root = doc->getDocumentElement();
  if (!root) {
    MSG_TDR::post(MSG_TDR::E::SOURCE_INVALID_FORMAT());
    return false;
  }
  // The new document replaces whatever this session held.
  del_container();
  delete m_mnemonics;
  m_mnemonics = nullptr;
  m_has_active_tree = false;
  release_document();
  m_parser = std::move(parser);
  m_doc = doc;
  m_root = root;

  std::string value;
  if (tdr_get_attr_if(root, TDR_X("jtag_chain"), &value)) {
    m_jtag_chain.present = true;
    m_jtag_chain.value = value;
  }
  if (tdr_get_attr_if(root, TDR_X("jtag_device"), &value)) {
    m_jtag_device.present = true;
    m_jtag_device.value = value;
  }
  if (tdr_get_attr_if(root, TDR_X("kfb_file"), &value)) {
    FIO_PATH kfb(value);
    if (!kfb.absolute()) {
      FIO_PATH session_file = absolute_simplified(file);
      kfb = session_file.full_directory() + value;
      kfb.become_simplified();
    }
    m_kfb_file.present = true;
    m_kfb_file.value = kfb.fullpath();
  }

  if (DOMElement* mnemonics =
          TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, TDR_X("mnemonics")))
    m_mnemonics = new TDR_DATA_MNEMONICS(m_doc, mnemonics);
  m_embedded_kfb =
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, TDR_X("embedded_kfb_files"));

  for (DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, TDR_X("instance"));
       e; e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("instance"))) {
    TDR_DATA_INSTANCE* instance = new TDR_DATA_INSTANCE(m_doc, e, this);
    if (!append(instance, false)) {
      MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(instance->get_name() ? instance->get_name() : ""));
      delete instance;
      continue;
    }
    instance->set_session(this);
  }

  m_global_info = m_global_data.read_from(root, TDR_X("global_info"));
  write_global_info();

  m_display_tree =
      TDR_DATA_XML_UTIL::find_first_child_element_by_name(root, TDR_X("display_tree"));
  if (m_display_tree) {
    m_has_active_tree = true;
    read_display_tree();
  } else {
    m_display_tree = tdr_new_element(m_doc, TDR_X("display_tree"), root);
  }
  return true;
}

bool TDR_DATA_SESSION::save(bool lock) { return save_as(get_name(), lock, false); }

bool TDR_DATA_SESSION::save_as(const char* file, bool lock, bool keep_name) {
  if (!TDR_CHECK(file != NULL)) return false;
  // The new file is made first, so a target that cannot be written changes
  // nothing; the target itself is replaced only once everything is written.
  TDR_FILE_REPLACE out(file);
  if (!out.is_open()) return false;
  OPT_STRING kept = m_kfb_file;
  if (kept.present && !kept.value.empty()) {
    FIO_PATH target = absolute_simplified(file);
    std::string relative = FIO_PATH(kept.value).get_relative_to(FIO_PATH(target.full_directory()));
    set_kfb_file_name(relative.c_str());
  } else {
    tdr_set_attr(m_root, TDR_X("kfb_file"), "");
  }
  bool written = tdr_xml_write_file(m_doc, &out, lock);
  if (!keep_name && written) set_name(file);
  if (kept.present && !kept.value.empty())
    set_kfb_file_name(kept.value.c_str());
  else
    m_kfb_file = kept;
  return written;
}

void TDR_DATA_SESSION::set_name(const char* name) {
  m_name.present = name != nullptr;
  m_name.value = name ? name : "";
}

void TDR_DATA_SESSION::set_root_string(OPT_STRING* field, const XMLCh* attr, const char* value) {
  field->present = value != nullptr;
  field->value = value ? value : "";
  if (value)
    tdr_set_attr(m_root, attr, value);
  else
    tdr_remove_attr(m_root, attr);
}

void TDR_DATA_SESSION::set_jtag_chain_name(const char* name) {
  set_root_string(&m_jtag_chain, TDR_X("jtag_chain"), name);
}

void TDR_DATA_SESSION::set_jtag_device_name(const char* name) {
  set_root_string(&m_jtag_device, TDR_X("jtag_device"), name);
}

void TDR_DATA_SESSION::set_kfb_file_name(const char* name) {
  set_root_string(&m_kfb_file, TDR_X("kfb_file"), name);
}

bool TDR_DATA_SESSION::is_gui_logging_enabled() const {
  if (!m_display_tree) return true;
  const XMLCh* v = tdr_attr_value(m_display_tree, TDR_X("gui_logging_enabled"));
  if (!v || !*v) return true;
  return v[0] == '1';
}

void TDR_DATA_SESSION::set_gui_logging(bool enabled) {
  tdr_set_attr(m_display_tree, TDR_X("gui_logging_enabled"), enabled ? "1" : "0");
}

TDR_DATA_INSTANCE* TDR_DATA_SESSION::create_instance(const char* name) {
  TDR_DATA_INSTANCE* instance = new TDR_DATA_INSTANCE(m_doc, name);
  if (!m_instances.append(instance)) {
    MSG_TDR::post(MSG_TDR::W::DUPLICATE_NAME(name ? name : ""));
    delete instance;
    return nullptr;
  }
  m_root->appendChild(instance->get_dom_node());
  instance->set_session(this);
  return instance;
}

TDR_DATA_INSTANCE* TDR_DATA_SESSION::create_tavrin_instance(const char* name) {
  TDR_DATA_INSTANCE* instance = create_instance(name ? name : "");
  if (!instance) return nullptr;
  instance->set_entity_name(TDR_TVF_ENTITY_NAME);
  instance->set_source_filename(TDR_TVF_SOURCE_FILE);
  instance->set_auto_node(true);
  TDR_DATA_INSTANCE_INFO info = {0, TDR_DATA_INSTANCE::TAVRIN_MFG_ID, 0,
                                 TDR_DATA_INSTANCE::CURRENT_VERSION,
                                 TDR_DATA_INSTANCE::VERSION_NOT_DEFINED};
  assign_tavrin_inst_id(&info);
  instance->set_node_info(info);
  if (name) return instance;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "auto_tavrin_%d", int(info.instance_id));
  // Bounded only by the number of instances: each attempt skips a taken name.
  for (int attempt = 0; !instance->set_name(buffer); ++attempt)
    std::snprintf(buffer, sizeof buffer, "auto_tavrin_%d (%d)", int(info.instance_id), attempt);
  return instance;
}

void TDR_DATA_SESSION::assign_tavrin_inst_id(TDR_DATA_INSTANCE_INFO* info) const {
  if (!TDR_CHECK(info != NULL)) return;
  unsigned int largest = 0;
  for (TDR_DATA_INSTANCE* instance : m_instances.items()) {
    TDR_DATA_INSTANCE_INFO other = instance->get_node_info();
    if (other.mfg_id == info->mfg_id && other.node_id == info->node_id &&
        other.version == info->version && other.instance_id > largest)
      largest = other.instance_id;
  }
  info->instance_id = m_instances.size() == 1 ? 0 : (largest + 1) & 0xFF;
}

bool TDR_DATA_SESSION::append(TDR_DATA_INSTANCE* instance, bool append_element) {
  if (!instance || !m_instances.append(instance)) return false;
  if (append_element) m_root->appendChild(instance->get_dom_node());
  return true;
}

void TDR_DATA_SESSION::delete_from_vector(TDR_DATA_INSTANCE* instance) {
  m_instances.delete_from_vector(instance);
  erase_active_branches(instance);
}

TDR_DATA_MNEMONICS* TDR_DATA_SESSION::get_mnemonics() {
  if (!m_mnemonics) {
    DOMElement* e = tdr_new_element(m_doc, TDR_X("mnemonics"), m_root);
    m_mnemonics = new TDR_DATA_MNEMONICS(m_doc, e);
  }
  return m_mnemonics;
}

// ---- Global info ----

bool TDR_DATA_SESSION::set_global_data(const char* key, int value, bool memory_only) {
  return m_global_data.set_single(key, value, memory_only, m_global_info);
}

bool TDR_DATA_SESSION::set_global_data(const char* key, const int* values, int count,
                                       bool memory_only) {
  return m_global_data.set_multi(key, values, count, memory_only, m_global_info);
}

int TDR_DATA_SESSION::get_global_data(const char* key) const {
  return m_global_data.get_single(key);
}

int TDR_DATA_SESSION::get_global_data(const char* key, int* values) const {
  return m_global_data.get_multi(key, values);
}

bool TDR_DATA_SESSION::write_global_info() {
  m_global_info = m_global_data.rewrite(m_root, m_global_info, TDR_X("global_info"));
  return true;
}

// ---- Display tree ----

namespace {

// The object a display-branch attribute names among `list`'s children.
template <class T, class LIST>
T* resolve_branch_member(const std::string& value, const LIST& list) {
  if (value.empty()) return nullptr;
  if (value == USE_GLOBAL_TEMP) return list.global();
  return list.find(value.c_str());
}

std::string branch_word(DOMElement* element, const char* name) {
  return tdr_is_global_temp_element(element) ? std::string(USE_GLOBAL_TEMP)
                                             : std::string(name ? name : "");
}

}  // namespace

void TDR_DATA_SESSION::read_display_tree() {
  bool logging = is_gui_logging_enabled();
  for (DOMElement* e = TDR_DATA_XML_UTIL::find_first_child_element_by_name(m_display_tree,
                                                                           TDR_X("display_branch"));
       e; e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, TDR_X("display_branch"))) {
    std::string value;
    if (!tdr_get_attr_if(e, TDR_X("instance"), &value)) continue;
    TDR_DATA_INSTANCE* instance = find_instance(value.c_str());
    if (!instance) continue;
    ACTIVE_BRANCH branch = {nullptr, nullptr, nullptr};
    if (!logging && instance->get_global_signal_set()) {
      branch.signal_set = instance->get_global_signal_set();
      branch.trigger = branch.signal_set->get_global_trigger();
      if (branch.trigger) branch.log = branch.trigger->get_global_log();
    } else {
      value = tdr_get_attr(e, TDR_X("signal_set"));
      if (value.empty()) continue;
      branch.signal_set = value == USE_GLOBAL_TEMP ? instance->get_global_signal_set()
                                                   : instance->find_signal_set(value.c_str());
      if (!branch.signal_set) continue;
      value = tdr_get_attr(e, TDR_X("trigger"));
      if (!value.empty())
        branch.trigger = value == USE_GLOBAL_TEMP ? branch.signal_set->get_global_trigger()
                                                  : branch.signal_set->find_trigger(value.c_str());
      if (branch.trigger) {
        value = tdr_get_attr(e, TDR_X("log"));
        if (!value.empty())
          branch.log = value == USE_GLOBAL_TEMP ? branch.trigger->get_global_log()
                                                : branch.trigger->find_log(value.c_str());
      }
    }
    m_active_tree_map.emplace(instance, branch);
  }
}

void TDR_DATA_SESSION::reset_active_tree() {
  m_active_tree_map.clear();
  m_has_active_tree = true;
  if (!m_display_tree) return;
  DOMNode* n = m_display_tree->getFirstChild();
  while (n) {
    DOMNode* next = n->getNextSibling();
    if (tdr_xml_is_element_named(n, TDR_X("display_branch"))) tdr_release_node(n);
    n = next;
  }
}

bool TDR_DATA_SESSION::add_active_branch(TDR_DATA_TRIGGER* trigger) {
  bool ok = TDR_CHECK(trigger != NULL);
  if (!m_has_active_tree) {
    TDR_INTERNAL_ERROR("m_active_tree_map != NULL");
    ok = false;
  }
  return ok && insert_active_branch(trigger, nullptr);
}

bool TDR_DATA_SESSION::add_active_branch(TDR_DATA_LOG* log) {
  bool ok = TDR_CHECK(log != NULL);
  if (!m_has_active_tree) {
    TDR_INTERNAL_ERROR("m_active_tree_map != NULL");
    ok = false;
  }
  return ok && insert_active_branch(log->get_trigger(), log);
}

bool TDR_DATA_SESSION::insert_active_branch(TDR_DATA_TRIGGER* trigger, TDR_DATA_LOG* log) {
  TDR_DATA_SIGNAL_SET* signal_set = trigger ? trigger->get_signal_set() : nullptr;
  TDR_DATA_INSTANCE* instance = signal_set ? signal_set->get_instance() : nullptr;
  if (!TDR_CHECK(instance != NULL)) return false;
  if (!m_active_tree_map.emplace(instance, ACTIVE_BRANCH{signal_set, trigger, log}).second)
    return false;
  if (m_display_tree) {
    DOMElement* e = tdr_new_element(m_doc, TDR_X("display_branch"), m_display_tree);
    tdr_set_attr(e, TDR_X("instance"), instance->get_name());
    tdr_set_attr(e, TDR_X("signal_set"),
                 branch_word(signal_set->get_dom_node(), signal_set->get_name()));
    tdr_set_attr(e, TDR_X("trigger"), branch_word(trigger->get_dom_node(), trigger->get_name()));
    if (log) tdr_set_attr(e, TDR_X("log"), branch_word(log->get_dom_node(), log->get_name()));
  }
  return true;
}

TDR_DATA_SIGNAL_SET* TDR_DATA_SESSION::find_active_signal_set(TDR_DATA_INSTANCE* instance) const {
  auto it = m_active_tree_map.find(instance);
  return it == m_active_tree_map.end() ? nullptr : it->second.signal_set;
}

TDR_DATA_TRIGGER* TDR_DATA_SESSION::find_active_trigger(TDR_DATA_INSTANCE* instance) const {
  auto it = m_active_tree_map.find(instance);
  return it == m_active_tree_map.end() ? nullptr : it->second.trigger;
}

TDR_DATA_LOG* TDR_DATA_SESSION::find_active_log(TDR_DATA_INSTANCE* instance) const {
  auto it = m_active_tree_map.find(instance);
  return it == m_active_tree_map.end() ? nullptr : it->second.log;
}

void TDR_DATA_SESSION::erase_active_branches(const void* object) {
  if (!object) return;
  for (auto it = m_active_tree_map.begin(); it != m_active_tree_map.end();) {
    const ACTIVE_BRANCH& b = it->second;
    if (it->first == object || b.signal_set == object || b.trigger == object || b.log == object)
      it = m_active_tree_map.erase(it);
    else
      ++it;
  }
}
