#define TDR_SOURCE_FILE "tdr_data_manager"

#include "tdr_data_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <xercesc/util/PlatformUtils.hpp>

#include "fio.h"
#include "gen.h"
#include "tdr_basic.h"
#include "tdr_data_session.h"
#include "tdr_data_xml_util.h"
#include "tdr_msg.h"

namespace {

TDR_DATA_MANAGER* g_manager = nullptr;

// name_auto_gen's process-wide state.
bool g_name_gen_started = false;
time_t g_name_gen_time = 0;
unsigned short g_name_gen_counter = 65535;
std::vector<TDR_DATA_AUTO_NAME_OBSERVER*> g_name_observers;
TDR_DATA_AUTO_NAME_SOURCE* g_name_source = nullptr;

char* publish_auto_name(const std::string& name) {
  for (TDR_DATA_AUTO_NAME_OBSERVER* observer : g_name_observers) observer->on_auto_name(name.c_str());
  return gen_strdup(name.c_str());
}

}  // namespace

TDR_DATA_MANAGER* TDR_DATA_MANAGER::get_data_repository_manager() {
  if (!g_manager) g_manager = new TDR_DATA_MANAGER();
  return g_manager;
}

void TDR_DATA_MANAGER::shutdown() {
  TDR_DATA_MANAGER* manager = g_manager;
  g_manager = nullptr;
  delete manager;
}

TDR_DATA_MANAGER::TDR_DATA_MANAGER() {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  std::srand(unsigned(std::time(nullptr)));
}

TDR_DATA_MANAGER::~TDR_DATA_MANAGER() {
  // Whatever is still open is saved next to its file so no edit is lost.
  save_all_session(false);
  delete_all_session();
  save_all_basic_session(false);
  delete_all_basic_session();
  if (g_manager == this) g_manager = nullptr;
}

void TDR_DATA_MANAGER::add_auto_name_observer(TDR_DATA_AUTO_NAME_OBSERVER* observer) {
  if (observer) g_name_observers.push_back(observer);
}

void TDR_DATA_MANAGER::remove_auto_name_observer(TDR_DATA_AUTO_NAME_OBSERVER* observer) {
  g_name_observers.erase(std::remove(g_name_observers.begin(), g_name_observers.end(), observer),
                         g_name_observers.end());
}

TDR_DATA_AUTO_NAME_SOURCE* TDR_DATA_MANAGER::set_auto_name_source(
    TDR_DATA_AUTO_NAME_SOURCE* source) {
  TDR_DATA_AUTO_NAME_SOURCE* previous = g_name_source;
  g_name_source = source;
  return previous;
}

char* TDR_DATA_MANAGER::name_auto_gen(const char* base) {
  std::string replaced;
  if (g_name_source && g_name_source->next_auto_name(base, &replaced)) {
    return publish_auto_name(replaced);
  }
  time_t now = std::time(nullptr);
  if (!g_name_gen_started) {
    g_name_gen_started = true;
    g_name_gen_time = now;
  }
  if (now == g_name_gen_time) {
    ++g_name_gen_counter;  // wraps from 65535 to 0
  } else {
    g_name_gen_counter = 0;
    g_name_gen_time = now;
  }
  char stamp[64];
  struct tm local;
  localtime_r(&now, &local);
  size_t n = std::strftime(stamp, sizeof stamp, ": %Y/%m/%d %H:%M:%S ", &local);
  stamp[n] = '\0';
  std::string name = base ? base : "generic";
  name += stamp;
  char number[32];
  std::snprintf(number, sizeof number, " #%d", int(g_name_gen_counter));
  name += number;
  return publish_auto_name(name);
}

std::string TDR_DATA_MANAGER::auto_name(const char* base) {
  char* name = name_auto_gen(base);
  std::string result = name ? name : "";
  delete[] name;
  return result;
}

std::string TDR_DATA_MANAGER::recovery_name(const char* name) {
  std::string base = name ? name : "";
  bool unsaved = !base.empty() && base.back() == '*';
  if (unsaved) base.pop_back();
  const char* tag = unsaved ? "tmp_recovered" : "recovered";
  size_t dot = base.find('.');
  if (dot == std::string::npos) return base + "_" + tag;
  return base.substr(0, dot) + "_" + tag + base.substr(dot);
}

bool TDR_DATA_MANAGER::same_path(const char* a, const char* b) {
  if (!a || !b) return false;
  FIO_PATH pa(a), pb(b);
  if (!pa.absolute()) pa.become_absolute();
  if (!pb.absolute()) pb.become_absolute();
  return pa == pb;
}

TDR_DATA_SESSION* TDR_DATA_MANAGER::create_session(const char* name) {
  TDR_DATA_SESSION* session = new TDR_DATA_SESSION();
  std::string starred = std::string(name ? name : "") + "*";
  session->set_name(starred.c_str());
  m_sessions.push_back(session);
  session->set_open_count(1);
  return session;
}

TDR_DATA_SESSION* TDR_DATA_MANAGER::find(const char* name) {
  for (TDR_DATA_SESSION* s : m_sessions)
    if (same_path(s->get_name(), name)) return s;
  return nullptr;
}

TDR_DATA_SESSION* TDR_DATA_MANAGER::open_independent_session(const char* file) {
  TDR_DATA_SESSION* session = new TDR_DATA_SESSION(file);
  if (!session->get_name() || !*session->get_name()) {
    delete session;
    return nullptr;
  }
  return session;
}

TDR_DATA_SESSION* TDR_DATA_MANAGER::open_session(const char* file) {
  if (TDR_DATA_SESSION* open = find(file)) {
    open->set_open_count(open->get_open_count() + 1);
    return open;
  }
  TDR_DATA_SESSION* session = open_independent_session(file);
  if (!session) return nullptr;
  m_sessions.push_back(session);
  session->set_open_count(1);
  return session;
}

TDR_DATA_SESSION* TDR_DATA_MANAGER::open_session_from_tvf(const char* file) {
  if (TDR_DATA_SESSION* open = find(file)) {
    open->set_open_count(open->get_open_count() + 1);
    return open;
  }
  TDR_DATA_SESSION* session = new TDR_DATA_SESSION();
  session->set_name(file);
  m_sessions.push_back(session);
  session->parse_tvf_file();
  session->set_open_count(1);
  return session;
}

bool TDR_DATA_MANAGER::close_session(const char* name) {
  for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it) {
    TDR_DATA_SESSION* s = *it;
    if (!same_path(s->get_name(), name)) continue;
    s->set_open_count(s->get_open_count() - 1);
    if (s->get_open_count() <= 0) {
      m_sessions.erase(it);
      delete s;
    }
    return true;
  }
  return false;
}

bool TDR_DATA_MANAGER::close_independent_session(TDR_DATA_SESSION* session) {
  if (!session) return false;
  delete session;
  return true;
}

void TDR_DATA_MANAGER::delete_all_session() {
  std::vector<TDR_DATA_SESSION*> sessions;
  sessions.swap(m_sessions);
  for (TDR_DATA_SESSION* s : sessions) delete s;
}

void TDR_DATA_MANAGER::save_all_session(bool own_file) {
  for (TDR_DATA_SESSION* s : m_sessions) {
    if (own_file) {
      s->save_as(s->get_name(), true, true);
    } else {
      std::string recovery = recovery_name(s->get_name());
      s->set_name(recovery.c_str());
      s->save_as(recovery.c_str(), false, true);
    }
  }
}

TDR_BASIC_SESSION* TDR_DATA_MANAGER::create_basic_session(const char*) {
  TDR_BASIC_SESSION* session = new TDR_BASIC_SESSION("session", nullptr, true);
  m_basic_sessions.push_back(session);
  session->set_open_count(1);
  return session;
}

TDR_BASIC_SESSION* TDR_DATA_MANAGER::open_basic_session(const char* file) {
  if (TDR_BASIC_SESSION* open = find_basic_session(file)) {
    open->set_open_count(open->get_open_count() + 1);
    return open;
  }
  TDR_BASIC_SESSION* session = new TDR_BASIC_SESSION("session", file, true);
  if (session->open(file) != TDR_BASIC_ERROR_CODE_OK) {
    delete session;
    return nullptr;
  }
  m_basic_sessions.push_back(session);
  session->set_open_count(1);
  return session;
}

TDR_BASIC_SESSION* TDR_DATA_MANAGER::find_basic_session(const char* name) {
  for (TDR_BASIC_SESSION* s : m_basic_sessions)
    if (same_path(s->get_name(), name)) return s;
  return nullptr;
}

bool TDR_DATA_MANAGER::close_basic_session(const char* name) {
  return close_basic_session(find_basic_session(name));
}

bool TDR_DATA_MANAGER::close_basic_session(TDR_BASIC_SESSION* session) {
  auto it = std::find(m_basic_sessions.begin(), m_basic_sessions.end(), session);
  if (!session || it == m_basic_sessions.end()) return false;
  session->set_open_count(session->get_open_count() - 1);
  if (session->get_open_count() <= 0) {
    m_basic_sessions.erase(it);
    delete session;
  }
  return true;
}

void TDR_DATA_MANAGER::delete_all_basic_session() {
  std::vector<TDR_BASIC_SESSION*> sessions;
  sessions.swap(m_basic_sessions);
  for (TDR_BASIC_SESSION* s : sessions) delete s;
}

void TDR_DATA_MANAGER::save_all_basic_session(bool own_file) {
  for (TDR_BASIC_SESSION* s : m_basic_sessions) {
    if (own_file)
      s->save_as(s->get_name());
    else
      s->save_as(recovery_name(s->get_name()).c_str());
  }
}
