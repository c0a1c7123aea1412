// Suite message system: formatting of catalogue strings and the process-wide sink.
#include "msg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class STDERR_SINK : public MSG_SINK {
 public:
  void on_message(const MSG_RECORD& r) override {
    const char* kind = r.severity == MSG_SEVERITY_ERROR ? "Error" : "Warning";
    std::fprintf(stderr, "%s (%s): %s\n", kind, r.id.c_str(), r.text.c_str());
  }
  void on_internal_error(const char* condition, const char* module, const char* file,
                         int line) override {
    std::fprintf(stderr, "Internal Error: %s (%s, %s:%d)\n", condition ? condition : "",
                 module ? module : "", file ? file : "", line);
  }
  void on_debug(const char* module, const char* line) override {
    if (wants_debug()) std::fprintf(stderr, "Debug (%s): %s\n", module, line);
  }
  bool wants_debug() const override { return msg_debug_from_environment(); }
};

STDERR_SINK g_default_sink;
MSG_SINK* g_sink = &g_default_sink;

}  // namespace

bool msg_debug_from_environment() {
  static const bool set = std::getenv("TDR_DEBUG") != nullptr;
  return set;
}

MSG_SINK* msg_set_sink(MSG_SINK* sink) {
  MSG_SINK* previous = g_sink;
  g_sink = sink ? sink : &g_default_sink;
  return previous == &g_default_sink ? nullptr : previous;
}

MSG_SINK* msg_get_sink() { return g_sink; }

void msg_format(const char* format, const std::vector<MSG_ARG>& args, std::string* text,
                std::string* id) {
  text->clear();
  id->clear();
  if (!format) return;
  // The identifier follows the last slash.
  const char* slash = std::strrchr(format, '/');
  const char* end = slash ? slash : format + std::strlen(format);
  if (slash) id->assign(slash + 1);
  for (const char* p = format; p < end;) {
    // Placeholders look like %N!s! or %N!d!.
    if (*p == '%' && p + 1 < end && p[1] >= '1' && p[1] <= '9') {
      const char* q = p + 1;
      unsigned n = 0;
      while (q < end && *q >= '0' && *q <= '9' && n < 1000) n = n * 10 + unsigned(*q++ - '0');
      if (q + 2 < end && q[0] == '!' && (q[1] == 's' || q[1] == 'd') && q[2] == '!') {
        if (n >= 1 && n <= args.size()) text->append(args[n - 1].text());
        p = q + 3;
        continue;
      }
    }
    text->push_back(*p++);
  }
}

MSG_BASE::MSG_BASE(MSG_SEVERITY severity, void*) : m_severity(severity), m_index(0) {}
MSG_BASE::~MSG_BASE() {}

void MSG_BASE::fill_args(const char* format, int index, std::initializer_list<MSG_ARG> args) {
  fill_args(format, index, std::vector<MSG_ARG>(args));
}

void MSG_BASE::fill_args(const char* format, int index, const std::vector<MSG_ARG>& args) {
  m_index = index;
  msg_format(format, args, &m_text, &m_id);
  m_args.clear();
  for (const MSG_ARG& a : args) m_args.push_back(a.text());
}

void MSG_BASE::post(void*) {
  MSG_RECORD record{m_severity, m_id, m_index, m_text, m_args};
  if (m_severity == MSG_SEVERITY_DEBUG)
    g_sink->on_debug(static_cast<MSG_D*>(this)->get_module().c_str(), m_text.c_str());
  else
    g_sink->on_message(record);
}

static std::string vformat(const char* format, va_list args) {
  if (!format) return std::string();
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string out(size_t(n) + 1, '\0');
  std::vsnprintf(&out[0], out.size(), format, args);
  out.resize(size_t(n));
  return out;
}

MSG_D::MSG_D(const char* module, const char* format, va_list args)
    : MSG_BASE(MSG_SEVERITY_DEBUG), m_module(module ? module : "") {
  set_text(vformat(format, args));
}

void MSG_INTERNAL_ERROR::report(const char* condition, const char* module, const char* file,
                                int line) {
  g_sink->on_internal_error(condition, module, file, line);
}

bool msg_local_vdebug(const char* module, const char* format, va_list args) {
  if (!g_sink->wants_debug()) return true;
  std::string line = vformat(format, args);
  g_sink->on_debug(module ? module : "", line.c_str());
  return true;
}
