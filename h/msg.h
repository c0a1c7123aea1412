// Suite message system: errors, warnings, debug lines and internal-error
// reports, delivered to one process-wide sink.
#ifndef H_MSG_H
#define H_MSG_H

#include <cstdarg>
#include <initializer_list>
#include <string>
#include <vector>

enum MSG_SEVERITY { MSG_SEVERITY_ERROR, MSG_SEVERITY_WARNING, MSG_SEVERITY_DEBUG };

// One argument of a catalogue message: a string ("%N!s!") or an integer ("%N!d!").
struct MSG_ARG {
  bool is_int;
  std::string str;
  long value;
  MSG_ARG(const char* s) : is_int(false), str(s ? s : ""), value(0) {}
  MSG_ARG(const std::string& s) : is_int(false), str(s), value(0) {}
  MSG_ARG(int v) : is_int(true), value(v) {}
  MSG_ARG(long v) : is_int(true), value(v) {}
  std::string text() const { return is_int ? std::to_string(value) : str; }
};

// What a sink receives for each posted message.
struct MSG_RECORD {
  MSG_SEVERITY severity;
  std::string id;       // "ETDR_SOURCE_GENERIC", "WTDR_DUPLICATE_NAME"...
  int index;            // catalogue index
  std::string text;     // format text with the arguments filled in
  std::vector<std::string> args;
};

class MSG_SINK {
 public:
  virtual ~MSG_SINK() {}
  virtual void on_message(const MSG_RECORD& record) = 0;
  virtual void on_internal_error(const char* condition, const char* module,
                                 const char* file, int line) = 0;
  virtual void on_debug(const char* module, const char* line) = 0;
  // False spares the formatting of debug lines the sink would drop.
  virtual bool wants_debug() const { return true; }
};

// Whether TDR_DEBUG is set, read once.
bool msg_debug_from_environment();

// Installs `sink` (null restores the default stderr sink); returns the previous one.
MSG_SINK* msg_set_sink(MSG_SINK* sink);
MSG_SINK* msg_get_sink();

// Formats a catalogue format string "text %1!s! ... /IDENT" into its text and identifier.
void msg_format(const char* format, const std::vector<MSG_ARG>& args, std::string* text,
                std::string* id);

class MSG_BASE {
 public:
  explicit MSG_BASE(MSG_SEVERITY severity, void* target = nullptr);
  virtual ~MSG_BASE();

  void fill_args(const char* format, int index, std::initializer_list<MSG_ARG> args);
  void fill_args(const char* format, int index, const std::vector<MSG_ARG>& args);
  // Delivers the message to the process-wide sink.
  void post(void* target = nullptr);

  MSG_SEVERITY get_severity() const { return m_severity; }
  const std::string& get_id() const { return m_id; }
  const std::string& get_text() const { return m_text; }
  int get_index() const { return m_index; }
  const std::vector<std::string>& get_args() const { return m_args; }

 protected:
  void set_text(const std::string& text) { m_text = text; }

 private:
  MSG_SEVERITY m_severity;
  int m_index;
  std::string m_id;
  std::string m_text;
  std::vector<std::string> m_args;
};

class MSG_E : public MSG_BASE {
 public:
  explicit MSG_E(void* target = nullptr) : MSG_BASE(MSG_SEVERITY_ERROR, target) {}
};
class MSG_W : public MSG_BASE {
 public:
  explicit MSG_W(void* target = nullptr) : MSG_BASE(MSG_SEVERITY_WARNING, target) {}
};
class MSG_D : public MSG_BASE {
 public:
  MSG_D(const char* module, const char* format, va_list args);
  const std::string& get_module() const { return m_module; }

 private:
  std::string m_module;
};

class MSG_INTERNAL_ERROR {
 public:
  // Never aborts: the caller goes on and returns its failure value.
  static void report(const char* condition, const char* module, const char* file, int line);
};

// Debug line under a module tag; silent unless TDR_DEBUG is set in the
// environment or a sink other than the default is installed. Returns true.
bool msg_local_vdebug(const char* module, const char* format, va_list args);

#endif
