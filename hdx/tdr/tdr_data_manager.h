// The process-wide repository of open session documents and basic sessions.
#ifndef TDR_DATA_MANAGER_H
#define TDR_DATA_MANAGER_H

#include <string>
#include <vector>

class TDR_DATA_SESSION;
class TDR_BASIC_SESSION;

// Sees every automatic name made (a script recorder notes the names a replay
// must hand out again).
class TDR_DATA_AUTO_NAME_OBSERVER {
 public:
  virtual ~TDR_DATA_AUTO_NAME_OBSERVER() = default;
  virtual void on_auto_name(const char* name) = 0;
};

// Replaces the generated names (a replay hands out the recorded ones). False
// lets the usual time-stamped name be made.
class TDR_DATA_AUTO_NAME_SOURCE {
 public:
  virtual ~TDR_DATA_AUTO_NAME_SOURCE() = default;
  virtual bool next_auto_name(const char* base, std::string* name) = 0;
};

class TDR_DATA_MANAGER {
 public:
  static TDR_DATA_MANAGER* get_data_repository_manager();
  // Runs the recovery save for what is still open, then deletes the manager.
  // Programs call it before exit; a later get_data_repository_manager() makes a new one.
  static void shutdown();

  TDR_DATA_MANAGER();
  virtual ~TDR_DATA_MANAGER();

  // New heap string (new[]), owned by the caller.
  static char* name_auto_gen(const char* base);
  static void add_auto_name_observer(TDR_DATA_AUTO_NAME_OBSERVER* observer);
  static void remove_auto_name_observer(TDR_DATA_AUTO_NAME_OBSERVER* observer);
  // Returns the source installed before; null restores the time-stamped names.
  static TDR_DATA_AUTO_NAME_SOURCE* set_auto_name_source(TDR_DATA_AUTO_NAME_SOURCE* source);
  // The same as a string, for objects that keep their own copy.
  static std::string auto_name(const char* base);
  // The recovery file name for a session name ("/p/a.xyz" -> "/p/a_recovered.xyz").
  static std::string recovery_name(const char* name);

  TDR_DATA_SESSION* create_session(const char* name);
  TDR_DATA_SESSION* open_session(const char* file);
  TDR_DATA_SESSION* open_independent_session(const char* file);
  TDR_DATA_SESSION* open_session_from_tvf(const char* file);
  TDR_DATA_SESSION* find(const char* name);
  TDR_DATA_SESSION* get_session_opened(const char* name) { return find(name); }
  bool is_session_opened(const char* name) { return find(name) != nullptr; }
  bool close_session(const char* name);
  bool close_independent_session(TDR_DATA_SESSION* session);
  void delete_all_session();
  void save_all_session(bool own_file);
  int get_num_sessions() const { return int(m_sessions.size()); }

  TDR_BASIC_SESSION* create_basic_session(const char* name);
  TDR_BASIC_SESSION* open_basic_session(const char* file);
  TDR_BASIC_SESSION* find_basic_session(const char* name);
  TDR_BASIC_SESSION* get_basic_session_opened(const char* name) { return find_basic_session(name); }
  bool is_basic_session_opened(const char* name) { return find_basic_session(name) != nullptr; }
  bool close_basic_session(const char* name);
  bool close_basic_session(TDR_BASIC_SESSION* session);
  void delete_all_basic_session();
  void save_all_basic_session(bool own_file);
  int get_num_basic_sessions() const { return int(m_basic_sessions.size()); }

 private:
  // Whether two session names denote the same file.
  static bool same_path(const char* a, const char* b);

  std::vector<TDR_DATA_SESSION*> m_sessions;
  std::vector<TDR_BASIC_SESSION*> m_basic_sessions;
};

#endif
