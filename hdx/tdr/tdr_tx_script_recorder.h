// Script recording of editing calls: when the suite configuration switches it
// on, every editing call of the transaction layer writes one line to a script,
// and check points save snapshots of the session beside it.
#ifndef TDR_TX_SCRIPT_RECORDER_H
#define TDR_TX_SCRIPT_RECORDER_H

#include <cstdio>
#include <string>
#include <vector>

#include "tdr_data_global_enum.h"

class TDR_DATA_SESSION;
class TDR_DATA_AUTO_NAME_OBSERVER;

class TDR_TX_SCRIPT_RECORDER {
 public:
  TDR_TX_SCRIPT_RECORDER();
  ~TDR_TX_SCRIPT_RECORDER();
  TDR_TX_SCRIPT_RECORDER(const TDR_TX_SCRIPT_RECORDER&) = delete;
  TDR_TX_SCRIPT_RECORDER& operator=(const TDR_TX_SCRIPT_RECORDER&) = delete;

  void init_config();
  void set_data_session(TDR_DATA_SESSION* session) { m_data_session = session; }
  TDR_DATA_SESSION* get_data_session() const { return m_data_session; }
  // Saves a snapshot and writes its "open_session"/"save_session" line; the
  // word is "open_session" for check point 0 or when `opening`.
  void make_session_check_point(bool opening = false);
  void advance_check_point() { ++m_check_point; }
  int get_check_point() const { return m_check_point; }

  bool is_enabled() const { return m_enabled; }
  // Recording cannot be switched on again.
  void disable() { m_enabled = false; }
  bool is_low_level() const { return m_low_level; }
  bool is_file_loc() const { return m_file_loc; }
  const std::string& get_base_name() const { return m_base_name; }
  const std::string& get_root_path() const { return m_root_path; }
  std::string get_script_path() const { return m_root_path + m_base_name + ".log"; }

  // Nesting of running calls; the transaction session raises it around the
  // calls it makes while opening and saving, so those are nested.
  int get_depth() const { return m_depth; }
  void raise_depth() { ++m_depth; }
  void lower_depth() { if (m_depth > 0) --m_depth; }

  // A whole comment line ("// open_session 'NAME'"); an open line is ended first.
  void write_comment_line(const std::string& text);

  // Low-level output used by TDR_TX_SCRIPT_FUNC.
  void write(const char* text);
  void write(const std::string& text) { write(text.c_str()); }
  void end_line();
  bool is_line_open() const { return m_line_open; }
  void flush();

  // An automatic name made while a call runs is written once its line ends.
  void note_auto_name(const char* name);

 private:
  void write_pending_auto_names();

  bool m_enabled = false;
  bool m_low_level = false;
  bool m_file_loc = false;
  int m_depth = 0;
  std::string m_base_name;
  std::string m_root_path;
  FILE* m_file = nullptr;
  int m_check_point = 0;
  TDR_DATA_SESSION* m_data_session = nullptr;
  bool m_line_open = false;
  std::vector<std::string> m_pending_auto_names;
  TDR_DATA_AUTO_NAME_OBSERVER* m_observer = nullptr;
};

// One recorded call, alive for the duration of the operation that records it.
class TDR_TX_SCRIPT_FUNC {
 public:
  TDR_TX_SCRIPT_FUNC(TDR_TX_SCRIPT_RECORDER* recorder, const char* name);
  TDR_TX_SCRIPT_FUNC(TDR_TX_SCRIPT_RECORDER* recorder, int instance_index, const char* name);
  TDR_TX_SCRIPT_FUNC(TDR_TX_SCRIPT_RECORDER* recorder, int instance_index, bool setup_tab,
                     const char* name);
  ~TDR_TX_SCRIPT_FUNC();
  TDR_TX_SCRIPT_FUNC(const TDR_TX_SCRIPT_FUNC&) = delete;
  TDR_TX_SCRIPT_FUNC& operator=(const TDR_TX_SCRIPT_FUNC&) = delete;

  // The location comment, written when location recording is on.
  void location(const char* file, int line);

  void append_argument(int value);
  void append_argument(bool value);
  void append_argument(const char* text);
  void append_argument(const std::string& text) { append_argument(text.c_str()); }
  // Written as one quoted comma list; count 0 gives ''.
  void append_argument(const int* values, int count);
  void append_argument(TDR_DATA_SIGNAL_TYPE value);
  void append_argument(TDR_DATA_WIRE_CAPTURE_TYPE value);
  void append_argument(TDR_DATA_WIRE_TAP_MODE value);
  void append_argument(TDR_DATA_TRIGGER_CONDITION value);
  void append_argument(TDR_DATA_TRIGGER_POSITION value);
  void append_argument(TDR_DATA_TRIGGER_TYPE value);
  void append_argument(TDR_DATA_GROUP_DISPLAY_TYPE value);
  void append_argument(TDR_DATA_GROUP_LINKING_TYPE value);
  void append_argument(TDR_DATA_NODE_DISPLAY_TYPE value);
  void append_argument(TDR_VELARN_RAM_TYPE value);

  // True when this call writes its arguments.
  bool is_writing() const { return m_active && !m_suppressed; }

 private:
  void start(const std::string& head);
  // An enumeration word quoted, or the bare number when the value has none.
  void append_word(const char* word, int value);

  bool m_suppressed = false;
  bool m_active = false;  // recording was on at construction (the depth was raised)
  TDR_TX_SCRIPT_RECORDER* m_recorder;
};

// Records the calling operation: `TDR_TX_RECORD(func, recorder, index, true,
// "set_node_name"); func.append_argument(i);`. Needs TDR_SOURCE_FILE.
#define TDR_TX_RECORD(var, ...)        \
  TDR_TX_SCRIPT_FUNC var(__VA_ARGS__); \
  var.location(TDR_SOURCE_FILE ".cpp", __LINE__)

#endif
