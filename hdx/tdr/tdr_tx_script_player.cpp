#define TDR_SOURCE_FILE "tdr_tx_script_player"

#include "tdr_tx_script_player.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

#include "fio.h"
#include "msg.h"
#include "tdr_data_global_enum.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_trigger.h"

namespace {

// --- argument kinds ------------------------------------------------------------

enum ARG_KIND {
  K_INT,
  K_BOOL,
  K_STR,       // quoted text or bare NULL
  K_NULL,      // bare NULL only (a template node that is not given)
  K_INT_LIST,  // quoted comma list
  K_SIGNAL_TYPE,
  K_CAPTURE,
  K_TAP,
  K_CONDITION,
  K_POSITION,
  K_TRIGGER_TYPE,
  K_GROUP_DISPLAY,
  K_LINKING,
  K_RAM
};

bool is_enum_kind(ARG_KIND kind) { return kind >= K_SIGNAL_TYPE; }

const char* kind_name(ARG_KIND kind) {
  switch (kind) {
    case K_INT: return "INT";
    case K_BOOL: return "BOOL";
    case K_STR: return "'TEXT'";
    case K_NULL: return "NULL";
    case K_INT_LIST: return "'INT,...'";
    case K_SIGNAL_TYPE: return "'SIGNAL_TYPE'";
    case K_CAPTURE: return "'CAPTURE_TYPE'";
    case K_TAP: return "'TAP_MODE'";
    case K_CONDITION: return "'CONDITION'";
    case K_POSITION: return "'POSITION'";
    case K_TRIGGER_TYPE: return "'TRIGGER_TYPE'";
    case K_GROUP_DISPLAY: return "'RADIX'";
    case K_LINKING: return "'LINKING'";
    case K_RAM: return "'RAM_TYPE'";
  }
  return "?";
}

struct ARG {
  long value = 0;  // integer, boolean (0/1) or enumeration value
  bool null = false;
  std::string text;
  std::vector<int> list;
};

// Words of every member of an enumeration, as the recorder writes them, looked
// up by views into the script's text.
typedef std::map<std::string, int, std::less<>> WORDS;

template <typename ENUM>
void add_words(WORDS* words, std::initializer_list<int> members) {
  for (int value : members) {
    const char* word = nullptr;
    TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(ENUM(value), &word);
    if (word && *word) words->emplace(word, value);
  }
}

const WORDS& enum_words(ARG_KIND kind) {
  static WORDS tables[K_RAM + 1];
  static bool built[K_RAM + 1];
  WORDS& words = tables[kind];
  if (built[kind]) return words;
  built[kind] = true;
  switch (kind) {
    case K_SIGNAL_TYPE:
      add_words<TDR_DATA_SIGNAL_TYPE>(&words, {0, 4, 8, 16, 32, 64, 128, 1024});
      break;
    case K_CAPTURE: add_words<TDR_DATA_WIRE_CAPTURE_TYPE>(&words, {0, 1, 2, 3}); break;
    case K_TAP: add_words<TDR_DATA_WIRE_TAP_MODE>(&words, {0, 1, 2}); break;
    case K_CONDITION:
      add_words<TDR_DATA_TRIGGER_CONDITION>(&words, {0, 1, 2, 3, 4, 5, 6, 7, 8});
      break;
    case K_POSITION: add_words<TDR_DATA_TRIGGER_POSITION>(&words, {0, 1, 2, 3}); break;
    case K_TRIGGER_TYPE: add_words<TDR_DATA_TRIGGER_TYPE>(&words, {0, 1}); break;
    case K_GROUP_DISPLAY:
      add_words<TDR_DATA_GROUP_DISPLAY_TYPE>(&words, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
      break;
    case K_RAM: add_words<TDR_VELARN_RAM_TYPE>(&words, {0, 1, 2, 3}); break;
    case K_LINKING:
      for (int value = 0; value <= TDR_LTYPE_ALL_LINK; ++value) {
        std::string word;
        TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(TDR_DATA_GROUP_LINKING_TYPE(value), &word);
        if (!word.empty()) words.emplace(word, value);
      }
      break;
    default: break;
  }
  return words;
}

// Equality without the library's out-of-line compare: with a literal, the
// length is known and the bytes are compared in place.
inline bool same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), b.size()) == 0;
}

bool parse_int(std::string_view token, long* value) {
  size_t i = token.size() > 1 && token[0] == '-' ? 1 : 0;
  size_t first = i;  // of the digits that count: leading zeros do not
  while (first + 1 < token.size() && token[first] == '0') ++first;
  if (i >= token.size() || token.size() - first > 10) return false;
  long long v = 0;  // ten digits cannot overflow it
  for (size_t k = i; k < token.size(); ++k) {
    if (token[k] < '0' || token[k] > '9') return false;
    v = v * 10 + (token[k] - '0');
  }
  if (i) v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  *value = long(v);
  return true;
}

bool parse_enum_word(ARG_KIND kind, std::string_view word, long* value) {
  const WORDS& words = enum_words(kind);
  auto found = words.find(word);
  if (found != words.end()) {
    *value = found->second;
    return true;
  }
  if (kind != K_LINKING || word.find('|') == std::string_view::npos) return false;
  // Linking flags written one word each, joined by "|".
  long flags = 0;
  size_t start = 0;
  while (true) {
    size_t bar = word.find('|', start);
    auto one = words.find(word.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (one == words.end()) return false;
    flags |= one->second;
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  *value = flags;
  return true;
}

bool parse_int_list(std::string_view text, std::vector<int>* list) {
  list->clear();
  if (text.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    long v = 0;
    if (!parse_int(text.substr(start, comma == std::string_view::npos ? comma : comma - start), &v))
      return false;
    list->push_back(int(v));
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

// A quoted argument's content converted for its kind.
bool convert_quoted(ARG_KIND kind, std::string_view content, ARG* arg) {
  *arg = ARG();
  if (kind == K_STR) {
    arg->text.assign(content);
    return true;
  }
  if (kind == K_INT_LIST) return parse_int_list(content, &arg->list);
  if (is_enum_kind(kind)) return parse_enum_word(kind, content, &arg->value);
  return false;
}

bool convert_bare(ARG_KIND kind, std::string_view token, ARG* arg) {
  *arg = ARG();
  switch (kind) {
    case K_INT: return parse_int(token, &arg->value);
    case K_BOOL:
      if (!same(token, "true") && !same(token, "false")) return false;
      arg->value = same(token, "true");
      return true;
    case K_STR:
    case K_NULL:
      arg->null = true;
      return same(token, "NULL");
    case K_INT_LIST: return false;
    default: return parse_int(token, &arg->value);  // an enumeration value without a word
  }
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Blanks and " /* @loc:FILE,LINE@ */ " comments separate words. The recorder
// writes such comments after the head and, for the calls it does not show,
// after the arguments; inside a quoted argument the text is kept as it is.
size_t skip_separators(std::string_view text, size_t pos) {
  static const char OPEN[] = "/* @loc:";
  static const char CLOSE[] = "@ */";
  while (pos < text.size()) {
    if (is_blank(text[pos])) {
      ++pos;
    } else if (text[pos] == '/' && text.compare(pos, sizeof OPEN - 1, OPEN) == 0) {
      size_t close = text.find(CLOSE, pos + sizeof OPEN - 1);
      if (close == std::string_view::npos) break;
      pos = close + sizeof CLOSE - 1;
    } else {
      break;
    }
  }
  return pos;
}

// Matches an argument text against a list of kinds. A quoted argument closes at
// the first quote after which the rest still matches; failed positions are
// remembered so the backtracking stays linear in the number of quotes.
class ARG_MATCHER {
 public:
  ARG_MATCHER(std::string_view text, const std::vector<ARG_KIND>& kinds)
      : m_text(text), m_kinds(kinds) {}

  bool match(std::vector<ARG>* args) {
    args->assign(m_kinds.size(), ARG());
    return match_from(0, 0, args);
  }
  // Some quoted argument found no closing quote that fits: a text may go on
  // on the next line.
  bool quote_left_open() const { return m_open_quote; }

 private:
  bool match_from(size_t pos, size_t k, std::vector<ARG>* args) {
    size_t start = pos;
    pos = skip_separators(m_text, pos);
    if (k == m_kinds.size()) return pos == m_text.size();
    if (pos == start || pos == m_text.size()) return false;  // arguments follow a blank
    if (m_failed.count({pos, k})) return false;
    ARG_KIND kind = m_kinds[k];
    if (m_text[pos] == '\'') {
      if (kind != K_STR && kind != K_INT_LIST && !is_enum_kind(kind)) {
        m_failed.insert({pos, k});
        return false;
      }
      bool closed = false;
      for (size_t q = m_text.find('\'', pos + 1); q != std::string_view::npos;
           q = m_text.find('\'', q + 1)) {
        closed = true;
        size_t after = q + 1;
        if (after < m_text.size() && !is_blank(m_text[after])) continue;
        if (!convert_quoted(kind, m_text.substr(pos + 1, q - pos - 1), &(*args)[k])) continue;
        if (match_from(after, k + 1, args)) return true;
      }
      // A text whose quotes all fail may have held a line break: "'it's" then
      // "x'" on the next line.
      if (!closed || kind == K_STR) m_open_quote = true;
    } else {
      size_t end = pos;
      while (end < m_text.size() && !is_blank(m_text[end])) ++end;
      if (convert_bare(kind, m_text.substr(pos, end - pos), &(*args)[k]) &&
          match_from(end, k + 1, args))
        return true;
    }
    m_failed.insert({pos, k});
    return false;
  }

  std::string_view m_text;
  const std::vector<ARG_KIND>& m_kinds;
  std::set<std::pair<size_t, size_t>> m_failed;
  bool m_open_quote = false;
};

// --- operations ------------------------------------------------------------------

enum HEAD { H_SESSION, H_INSTANCE, H_SETUP, H_DATA, H_LIST /* either tab */ };

struct CONTEXT;
typedef void (*RUN_FUNC)(CONTEXT& c);

struct OPERATION {
  const char* name;
  HEAD head;
  std::vector<ARG_KIND> kinds;
  // Null: the call takes an object only another call can give; it appears
  // nested only and cannot be replayed at top level.
  RUN_FUNC run;
};

}  // namespace

struct CALL {
  int line = 0;
  const OPERATION* op = nullptr;
  HEAD head = H_SESSION;  // H_SETUP or H_DATA for node-list heads
  int instance = -1;
  size_t first_arg = 0;  // its arguments in STATE::args, one per kind of `op`
};

struct TDR_TX_SCRIPT_PLAYER::STATE {
  std::string label;
  std::string dir;  // the script's folder, ending with a separator (or empty)
  std::string from_file;
  bool from_used = false;
  std::string output_dir;
  bool verify = false;
  std::function<void(const std::string&)> report;

  bool loaded = false;
  std::vector<CALL> calls;
  std::vector<ARG> args;  // of every call, in order: a replay reads them in order
  std::vector<std::string> auto_names;
  std::string error;

  // Running.
  TDR_TX_SESSION* tx = nullptr;
  bool caller_session = false;  // tx is the caller's: not opened, closed or deleted here
  const CALL* current = nullptr;
  int replayed = 0;
  int saved = 0;
  int verified = 0;
  std::vector<int> mismatches;
  bool internal_error = false;
  std::string internal_error_text;
  bool failed = false;

  std::string where(int line) const { return label + ":" + std::to_string(line) + ": "; }
  void warn(const std::string& text) {
    if (report) report(where(current ? current->line : 0) + text);
  }
  void fail(const std::string& text) {
    if (!failed) error = where(current ? current->line : 0) + text;
    failed = true;
  }
  std::string script_path(const std::string& name) const {
    if (!name.empty() && name[0] == FIO_PATH::default_path_separator()) return name;
    return dir + name;
  }
};

namespace {

struct CONTEXT {
  TDR_TX_SCRIPT_PLAYER::STATE* state;
  TDR_TX_SESSION* tx;
  const CALL* call;
  const ARG* args;
  TDR_TX_INSTANCE* instance = nullptr;
  TDR_TX_SIGNAL_SET* signal_set = nullptr;
  TDR_TX_TRIGGER* trigger = nullptr;
  TDR_TX_SIGNAL_NODES* list = nullptr;

  int i(size_t k) const { return int(args[k].value); }
  bool b(size_t k) const { return args[k].value != 0; }
  const char* s(size_t k) const {
    const ARG& a = args[k];
    return a.null ? nullptr : a.text.c_str();
  }
  template <typename ENUM>
  ENUM e(size_t k) const {
    return ENUM(args[k].value);
  }
  const std::vector<int>& list_arg(size_t k) const { return args[k].list; }
  TDR_DATA_INSTANCE* data_instance() const {
    return instance ? instance->get_data_instance() : nullptr;
  }
};

// Script names of signal sets, triggers and logs: the listed child first, else
// the global-temp child of that name; the script word names the global-temp child.
const char USE_GLOBAL_TEMP[] = "USE_GLOBAL_TEMP";

TDR_DATA_SIGNAL_SET* find_signal_set(TDR_DATA_INSTANCE* instance, const char* name) {
  if (!instance || !name) return nullptr;
  TDR_DATA_SIGNAL_SET* global = instance->get_global_signal_set();
  if (std::strcmp(name, USE_GLOBAL_TEMP) == 0) return global;
  TDR_DATA_SIGNAL_SET* found = instance->find_signal_set(name);
  if (!found && global && global->get_name() && std::strcmp(global->get_name(), name) == 0)
    found = global;
  return found;
}

TDR_DATA_TRIGGER* find_trigger(TDR_DATA_SIGNAL_SET* signal_set, const char* name) {
  if (!signal_set || !name) return nullptr;
  TDR_DATA_TRIGGER* global = signal_set->get_global_trigger();
  if (std::strcmp(name, USE_GLOBAL_TEMP) == 0) return global;
  TDR_DATA_TRIGGER* found = signal_set->find_trigger(name);
  if (!found && global && global->get_name() && std::strcmp(global->get_name(), name) == 0)
    found = global;
  return found;
}

TDR_DATA_LOG* find_log(TDR_DATA_TRIGGER* trigger, const char* name) {
  if (!trigger || !name) return nullptr;
  TDR_DATA_LOG* global = trigger->get_global_log();
  if (std::strcmp(name, USE_GLOBAL_TEMP) == 0) return global;
  TDR_DATA_LOG* found = trigger->find_log(name);
  if (!found && global && global->get_name() && std::strcmp(global->get_name(), name) == 0)
    found = global;
  return found;
}

std::string quoted(const char* name) { return name ? "'" + std::string(name) + "'" : "NULL"; }

// --- session lines ---------------------------------------------------------------

bool read_file(const std::string& path, std::string* content) {
  // A folder opens as a stream whose size is nonsense.
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  if (size < 0) return false;
  content->resize(size_t(size));
  in.seekg(0);
  return bool(in.read(&(*content)[0], size));
}

// The lines of a text, without their line ends ("\n" or "\r\n"), read as they
// are needed; a final line end closes the last line.
class LINES {
 public:
  explicit LINES(std::string_view text) : m_text(text) {}
  bool next(std::string_view* line) {
    if (m_pos >= m_text.size()) return false;
    size_t end = m_text.find('\n', m_pos);
    if (end == std::string_view::npos) end = m_text.size();
    *line = m_text.substr(m_pos, end - m_pos);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    m_pos = end + 1;
    ++m_number;
    return true;
  }
  bool more() const { return m_pos < m_text.size(); }
  int number() const { return m_number; }  // of the line read last

 private:
  std::string_view m_text;
  size_t m_pos = 0;
  int m_number = 0;
};

std::string shown(std::string_view line) {
  return line.size() > 200 ? std::string(line.substr(0, 200)) + "..." : std::string(line);
}

void open_file(TDR_TX_SCRIPT_PLAYER::STATE* st, const std::string& path) {
  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  if (st->tx->get_data_session()) st->tx->close_session();
  if (!FIO_FILE_SYSTEM::exists(path.c_str())) {
    st->fail("cannot open session '" + path + "': no such file");
    return;
  }
  TDR_DATA_SESSION* session = manager->open_session(path.c_str());
  if (!session) {
    st->fail("cannot open session '" + path + "': the file cannot be read");
    return;
  }
  if (session->get_num_instances() < 1) {
    manager->close_session(session->get_name());
    st->fail("cannot open session '" + path + "': it holds no instance");
    return;
  }
  st->tx->open_session(session);
}

void run_open_session(CONTEXT& c) {
  TDR_TX_SCRIPT_PLAYER::STATE* st = c.state;
  std::string path;
  if (!st->from_file.empty() && !st->from_used) {
    path = st->from_file;
    st->from_used = true;
  } else {
    path = c.s(0) ? st->script_path(c.s(0)) : std::string();
  }
  open_file(st, path);
}

void run_create_session(CONTEXT& c) {
  c.state->from_used = true;
  std::string name = c.s(0) ? c.state->script_path(c.s(0)) : std::string();
  if (!c.tx->create_session(c.s(0) ? name.c_str() : nullptr))
    c.state->fail("cannot create session " + quoted(c.s(0)));
}

// Compares the saved state with the recorded snapshot `name` (beside the script).
void verify_check_point(TDR_TX_SCRIPT_PLAYER::STATE* st, const char* name) {
  int number = st->saved;
  std::string snapshot = st->script_path(name ? name : "");
  std::string tag = "check point " + std::to_string(number) + " (" + quoted(name) + ")";
  std::string expected;
  if (!name || !read_file(snapshot, &expected)) {
    st->warn(tag + ": the recorded snapshot is missing");
    st->mismatches.push_back(number);
    return;
  }
  TDR_DATA_SESSION* session = st->tx->get_data_session();
  // Saved beside the script, so relative paths are written as in the snapshot.
  std::string temp = st->dir + ".tdr_replay_" + std::to_string(long(getpid())) + "_" +
                     std::to_string(number) + ".tmp";
  std::string actual;
  bool written = session && session->save_as(temp.c_str(), true, true) && read_file(temp, &actual);
  std::remove(temp.c_str());
  if (!written) {
    st->warn(tag + ": the replayed state cannot be written beside the script");
    st->mismatches.push_back(number);
    return;
  }
  if (actual == expected) {
    ++st->verified;
    return;
  }
  // The first differing line, found without splitting the (possibly large) files.
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  size_t start = actual.rfind('\n', at == 0 ? 0 : at - 1);
  start = (start == std::string::npos || at == 0) ? 0 : start + 1;
  size_t line = 1 + size_t(std::count(actual.begin(), actual.begin() + std::ptrdiff_t(start), '\n'));
  auto line_at = [start](const std::string& text) {
    if (start >= text.size()) return std::string("(end of file)");
    size_t end = text.find('\n', start);
    return shown(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
  };
  std::string replayed = line_at(actual), recorded = line_at(expected);
  st->warn(tag + " differs at line " + std::to_string(line) + ":\n  replayed: " + replayed +
           "\n  recorded: " + recorded);
  st->mismatches.push_back(number);
}

void run_save_session(CONTEXT& c) {
  TDR_TX_SCRIPT_PLAYER::STATE* st = c.state;
  std::string name = c.s(0) ? c.s(0) : "";
  std::string out = name;
  if (name.empty() || name[0] != FIO_PATH::default_path_separator()) {
    std::string dir = st->output_dir;
    if (!dir.empty() && dir.back() != FIO_PATH::default_path_separator())
      dir += FIO_PATH::default_path_separator();
    out = dir + name;
  }
  if (!c.tx->save_session(out.c_str())) st->warn("the session was not saved as '" + out + "'");
  ++st->saved;
  if (st->verify) verify_check_point(st, c.s(0));
}

// --- calls that name data objects -------------------------------------------------

void run_set_active_log(CONTEXT& c) {
  TDR_TX_INSTANCE* instance = c.tx->get_instance_at(c.i(0), false);
  TDR_DATA_INSTANCE* data = instance ? instance->get_data_instance() : nullptr;
  TDR_DATA_LOG* log = find_log(find_trigger(find_signal_set(data, c.s(1)), c.s(2)), c.s(3));
  if (!log && (c.s(1) || c.s(2) || c.s(3)) && instance) {
    c.state->warn("no log " + quoted(c.s(3)) + " of trigger " + quoted(c.s(2)) +
                  " of signal set " + quoted(c.s(1)) + "; the call is left out");
    return;
  }
  c.tx->set_active_log(c.i(0), log);
}

// "init 'S'" / "init 'S' 'T'": the named objects of the group's data instance.
TDR_DATA_SIGNAL_SET* named_signal_set(CONTEXT& c) {
  TDR_DATA_SIGNAL_SET* signal_set = find_signal_set(c.data_instance(), c.s(0));
  if (!signal_set) c.state->warn("no signal set " + quoted(c.s(0)) + "; the call is left out");
  return signal_set;
}

void run_trigger_init_view(CONTEXT& c) {
  if (TDR_DATA_SIGNAL_SET* signal_set = named_signal_set(c))
    c.trigger->init(signal_set->get_setup_view());
}

void run_trigger_init_trigger(CONTEXT& c) {
  TDR_DATA_SIGNAL_SET* signal_set = named_signal_set(c);
  if (!signal_set) return;
  TDR_DATA_TRIGGER* trigger = find_trigger(signal_set, c.s(1));
  if (!trigger) {
    c.state->warn("no trigger " + quoted(c.s(1)) + " in signal set " + quoted(c.s(0)) +
                  "; the call is left out");
    return;
  }
  c.trigger->init(trigger);
}

void run_signal_set_init(CONTEXT& c) {
  if (TDR_DATA_SIGNAL_SET* signal_set = named_signal_set(c)) c.signal_set->init(signal_set);
}

void run_list_commit_view(CONTEXT& c) {
  // A list never bound to a view has nothing to commit into.
  if (TDR_DATA_SIGNAL_VIEW* view = c.list->get_data_view()) c.list->commit(view);
}

void run_gen_debug_port_name(CONTEXT& c) {
  std::string name;
  c.list->gen_debug_port_name(&name, c.i(0));
}

typedef TDR_DATA_SIGNAL_TYPE ST;
typedef TDR_DATA_WIRE_CAPTURE_TYPE CT;
typedef TDR_DATA_WIRE_TAP_MODE TM;
typedef TDR_DATA_TRIGGER_CONDITION TC;

#define RUN(...) +[](CONTEXT& c) { __VA_ARGS__; }

// Every operation the editing layer records, with its parameters in order.
// Overloads of one name are told apart by their arguments (tried in order).
const std::vector<OPERATION>& operations() {
  static const std::vector<OPERATION> table = {
      // Session lines.
      {"open_session", H_SESSION, {K_STR}, run_open_session},
      {"create_session", H_SESSION, {K_STR}, run_create_session},
      {"save_session", H_SESSION, {K_STR}, run_save_session},
      // Transaction session.
      {"close_session", H_SESSION, {}, RUN(c.tx->close_session())},
      {"set_undoable_modified_flag", H_SESSION, {}, RUN(c.tx->set_undoable_modified_flag())},
      {"commit_instance_at", H_SESSION, {K_INT, K_BOOL},
       RUN(c.tx->commit_instance_at(c.i(0), c.b(1)))},
      {"create_tavrin_instance", H_SESSION, {K_STR}, RUN(c.tx->create_tavrin_instance(c.s(0)))},
      {"remove_tavrin_instance", H_SESSION, {K_INT}, RUN(c.tx->remove_tavrin_instance(c.i(0)))},
      {"set_power_up_trigger_mode", H_SESSION, {K_INT, K_BOOL},
       RUN(c.tx->set_power_up_trigger_mode(c.i(0), c.b(1)))},
      {"create_new_log", H_SESSION, {K_INT}, RUN(c.tx->create_new_log(c.i(0)))},
      {"remove_current_log", H_SESSION, {K_INT}, RUN(c.tx->remove_current_log(c.i(0)))},
      {"save_to_log", H_SESSION, {K_INT}, RUN(c.tx->save_to_log(c.i(0)))},
      {"set_active_log", H_SESSION, {K_INT, K_STR, K_STR, K_STR}, run_set_active_log},
      {"set_active", H_SESSION, {K_INT, K_STR, K_STR, K_STR},
       RUN(c.tx->set_active(c.i(0), c.s(1), c.s(2), c.s(3)))},
      {"remove", H_SESSION, {K_INT, K_STR, K_STR, K_STR},
       RUN(c.tx->remove(c.i(0), c.s(1), c.s(2), c.s(3)))},
      {"set_jtag_chain_name", H_SESSION, {K_STR}, RUN(c.tx->set_jtag_chain_name(c.s(0)))},
      {"set_jtag_device_name", H_SESSION, {K_STR}, RUN(c.tx->set_jtag_device_name(c.s(0)))},
      {"set_kfb_file_name", H_SESSION, {K_STR}, RUN(c.tx->set_kfb_file_name(c.s(0)))},
      {"set_gui_logging", H_SESSION, {K_BOOL}, RUN(c.tx->set_gui_logging(c.b(0)))},
      {"set_global_data", H_SESSION, {K_STR, K_INT}, RUN(c.tx->set_global_data(c.s(0), c.i(1)))},
      {"set_global_data", H_SESSION, {K_STR, K_INT_LIST},
       RUN(c.tx->set_global_data(c.s(0), c.list_arg(1).data(), int(c.list_arg(1).size())))},
      {"rename_embedded_kfb_filename_at", H_SESSION, {K_INT, K_STR},
       RUN(c.tx->rename_embedded_kfb_filename_at(c.i(0), c.s(1)))},
      {"set_embedded_kfb_inst_id_crc_at", H_SESSION, {K_INT, K_STR},
       RUN(c.tx->set_embedded_kfb_inst_id_crc_at(c.i(0), c.s(1)))},
      {"remove_embedded_kfb_at", H_SESSION, {K_INT}, RUN(c.tx->remove_embedded_kfb_at(c.i(0)))},
      {"embed_kfb_file", H_SESSION, {K_STR, K_STR},
       RUN(std::string file = c.s(0) ? c.state->script_path(c.s(0)) : std::string();
           c.tx->embed_kfb_file(c.s(0) ? file.c_str() : nullptr, c.s(1)))},

      // Instance working object.
      {"update_to_current_version", H_INSTANCE, {}, RUN(c.instance->update_to_current_version())},
      {"set_incr_cmp_mode", H_INSTANCE, {K_BOOL}, RUN(c.instance->set_incr_cmp_mode(c.b(0)))},
      {"rename", H_INSTANCE, {K_STR}, RUN(c.instance->rename(c.s(0)))},
      {"set_setup_tab_selected", H_INSTANCE, {K_BOOL},
       RUN(c.instance->set_setup_tab_selected(c.b(0)))},
      {"undo", H_INSTANCE, {}, RUN(c.instance->undo())},
      {"redo", H_INSTANCE, {}, RUN(c.instance->redo())},
      {"set_max_undo_steps", H_INSTANCE, {K_INT}, RUN(c.instance->set_max_undo_steps(c.i(0)))},
      {"begin_action", H_INSTANCE, {}, RUN(c.instance->begin_action())},
      {"end_action", H_INSTANCE, {}, RUN(c.instance->end_action())},
      {"commit", H_INSTANCE, {}, RUN(c.instance->commit())},
      {"set_position_data", H_INSTANCE, {K_STR, K_INT},
       RUN(c.instance->set_position_data(c.s(0), c.i(1)))},
      {"set_position_data", H_INSTANCE, {K_STR, K_INT_LIST},
       RUN(c.instance->set_position_data(c.s(0), c.list_arg(1).data(),
                                         int(c.list_arg(1).size())))},
      {"set_expanded_status", H_INSTANCE, {K_BOOL}, RUN(c.instance->set_expanded_status(c.b(0)))},
      {"set_instance_index", H_INSTANCE, {K_INT}, RUN(c.instance->set_instance_index(c.i(0)))},

      // Node lists (either tab; the owners' overrides run).
      {"set_node_name", H_LIST, {K_INT, K_STR}, RUN(c.list->set_node_name(c.i(0), c.s(1)))},
      {"set_group_node_name", H_LIST, {K_INT, K_STR},
       RUN(c.list->set_group_node_name(c.i(0), c.s(1)))},
      {"set_node_alias", H_LIST, {K_INT, K_STR}, RUN(c.list->set_node_alias(c.i(0), c.s(1)))},
      {"set_node_capture_type", H_LIST, {K_INT, K_CAPTURE},
       RUN(c.list->set_node_capture_type(c.i(0), c.e<CT>(1)))},
      {"set_node_tap_mode", H_LIST, {K_INT, K_TAP},
       RUN(c.list->set_node_tap_mode(c.i(0), c.e<TM>(1)))},
      {"set_node_connection_status", H_LIST, {K_INT, K_BOOL},
       RUN(c.list->set_node_connection_status(c.i(0), c.b(1)))},
      {"gen_debug_port_name", H_LIST, {K_INT}, run_gen_debug_port_name},
      {"set_debug_out", H_LIST, {K_INT, K_BOOL, K_STR},
       RUN(c.list->set_debug_out(c.i(0), c.b(1), c.s(2)))},
      {"set_node_group_display_type", H_LIST, {K_INT, K_GROUP_DISPLAY},
       RUN(c.list->set_node_group_display_type(c.i(0), c.e<TDR_DATA_GROUP_DISPLAY_TYPE>(1)))},
      {"set_node_mnemonics_table_name", H_LIST, {K_INT, K_STR},
       RUN(c.list->set_node_mnemonics_table_name(c.i(0), c.s(1)))},
      {"set_node_lsb_to_msb", H_LIST, {K_INT, K_BOOL},
       RUN(c.list->set_node_lsb_to_msb(c.i(0), c.b(1)))},
      {"set_node_signal_inverted", H_LIST, {K_INT, K_BOOL},
       RUN(c.list->set_node_signal_inverted(c.i(0), c.b(1)))},
      {"toggle_node", H_LIST, {K_INT}, RUN(c.list->toggle_node(c.i(0)))},
      {"push_node_image", H_LIST, {K_INT}, RUN(c.list->push_node_image(c.i(0)))},
      {"restore_node_properties", H_LIST, {K_INT, K_STR}, nullptr},
      {"append_node", H_LIST, {K_STR, K_SIGNAL_TYPE, K_TAP},
       RUN(c.list->append_node(c.s(0), c.e<ST>(1), c.e<TM>(2)))},
      {"append_node", H_LIST, {K_STR, K_BOOL}, nullptr},
      {"append_node_uniq_name", H_LIST, {K_STR}, nullptr},
      {"delete_node", H_LIST, {K_INT, K_INT}, RUN(c.list->delete_node(c.i(0), c.i(1)))},
      {"delete_node", H_LIST, {K_STR}, RUN(c.list->delete_node(c.s(0)))},
      {"delete_node_base", H_LIST, {K_INT, K_INT}, RUN(c.list->delete_node_base(c.i(0), c.i(1)))},
      {"delete_node_keeping_view", H_LIST, {K_INT, K_INT},
       RUN(c.list->delete_node_keeping_view(c.i(0), c.i(1)))},
      {"insert_deleted_before_node", H_LIST, {K_INT}, nullptr},
      {"group_node", H_LIST, {K_INT, K_INT, K_NULL},
       RUN(c.list->group_node(c.i(0), c.i(1), nullptr))},
      {"group_node", H_LIST, {K_INT, K_INT, K_STR}, nullptr},
      {"ungroup_node", H_LIST, {K_INT}, RUN(c.list->ungroup_node(c.i(0)))},
      {"link_group_node", H_LIST, {K_INT, K_LINKING},
       RUN(c.list->link_group_node(c.i(0), c.e<TDR_DATA_GROUP_LINKING_TYPE>(1)))},
      {"move_before_node", H_LIST, {K_INT, K_INT, K_INT, K_BOOL},
       RUN(c.list->move_before_node(c.i(0), c.i(1), c.i(2), c.b(3)))},
      {"node_block_swap", H_LIST, {K_INT, K_INT, K_INT},
       RUN(c.list->node_block_swap(c.i(0), c.i(1), c.i(2)))},
      {"copy_before_node", H_LIST, {K_INT, K_INT, K_INT, K_BOOL},
       RUN(c.list->copy_before_node(c.i(0), c.i(1), c.i(2), c.b(3)))},
      {"rename_all_node_name", H_LIST, {K_STR, K_STR},
       RUN(c.list->rename_all_node_name(c.s(0), c.s(1)))},
      {"rename_all_node_alias", H_LIST, {K_STR, K_STR},
       RUN(c.list->rename_all_node_alias(c.s(0), c.s(1)))},
      {"recover_presentation_view_error", H_LIST, {},
       RUN(if (c.list->get_data_view()) c.list->recover_presentation_view_error())},
      {"assign_data_wire_to_node", H_LIST, {K_STR}, nullptr},
      {"commit", H_LIST, {}, run_list_commit_view},
      {"commit_signal_set_debug_port", H_LIST, {}, nullptr},
      {"save_properties", H_LIST, {}, nullptr},
      {"restore_properties", H_LIST, {}, nullptr},
      {"save_properties", H_LIST, {K_INT}, nullptr},
      {"restore_properties", H_LIST, {K_INT}, nullptr},

      // Signal set working copy (data tab).
      {"init", H_DATA, {}, RUN(c.signal_set->init())},
      {"init", H_DATA, {K_STR}, run_signal_set_init},
      {"commit", H_DATA, {K_BOOL}, RUN(c.signal_set->commit(c.data_instance(), c.b(0)))},
      {"commit_signal_set", H_DATA, {K_BOOL},
       RUN(c.signal_set->TDR_TX_SIGNAL_NODES::commit_signal_set(
           c.signal_set->get_data_signal_set(), c.b(0)))},
      {"set_clock_source", H_DATA, {K_STR}, RUN(c.signal_set->set_clock_source(c.s(0)))},
      {"set_trigger_in_enabled", H_DATA, {K_BOOL},
       RUN(c.signal_set->set_trigger_in_enabled(c.b(0)))},
      {"set_trigger_out_enabled", H_DATA, {K_BOOL},
       RUN(c.signal_set->set_trigger_out_enabled(c.b(0)))},
      {"set_trigger_in_node", H_DATA, {K_STR}, RUN(c.signal_set->set_trigger_in_node(c.s(0)))},
      {"set_trigger_out_node", H_DATA, {K_STR}, RUN(c.signal_set->set_trigger_out_node(c.s(0)))},
      {"set_trigger_in_pin", H_DATA, {K_STR}, RUN(c.signal_set->set_trigger_in_pin(c.s(0)))},
      {"set_trigger_out_pin", H_DATA, {K_STR}, RUN(c.signal_set->set_trigger_out_pin(c.s(0)))},
      {"set_top_entity_name", H_DATA, {K_STR}, RUN(c.signal_set->set_top_entity_name(c.s(0)))},
      {"set_sample_depth", H_DATA, {K_INT}, RUN(c.signal_set->set_sample_depth(c.i(0)))},
      {"set_reserved_data_node_size", H_DATA, {K_INT},
       RUN(c.signal_set->set_reserved_data_node_size(c.i(0)))},
      {"set_reserved_trigger_node_size", H_DATA, {K_INT},
       RUN(c.signal_set->set_reserved_trigger_node_size(c.i(0)))},
      {"set_velarn_ram_type", H_DATA, {K_RAM},
       RUN(c.signal_set->set_velarn_ram_type(c.e<TDR_VELARN_RAM_TYPE>(0)))},
      {"set_expanded_status", H_DATA, {K_BOOL}, RUN(c.signal_set->set_expanded_status(c.b(0)))},
      {"set_instance_index", H_DATA, {K_INT}, RUN(c.signal_set->set_instance_index(c.i(0)))},

      // Trigger working copy (setup tab).
      {"init", H_SETUP, {}, RUN(c.trigger->init())},
      {"init", H_SETUP, {K_STR}, run_trigger_init_view},
      {"init", H_SETUP, {K_STR, K_STR}, run_trigger_init_trigger},
      {"commit", H_SETUP, {K_BOOL},
       RUN(c.trigger->commit(c.signal_set ? c.signal_set->get_data_signal_set() : nullptr,
                             c.b(0)))},
      {"commit_signal_set", H_SETUP, {},
       RUN(c.trigger->commit_signal_set(c.signal_set->get_data_signal_set()))},
      {"commit_signal_set", H_SETUP, {K_BOOL},
       RUN(c.trigger->TDR_TX_SIGNAL_NODES::commit_signal_set(
           c.signal_set->get_data_signal_set(), c.b(0)))},
      {"set_trigger_condition", H_SETUP, {K_INT, K_INT, K_CONDITION},
       RUN(c.trigger->set_trigger_condition(c.i(0), c.i(1), c.e<TC>(2)))},
      {"set_trigger_in_condition", H_SETUP, {K_CONDITION},
       RUN(c.trigger->set_trigger_in_condition(c.e<TC>(0)))},
      {"set_trigger_out_condition", H_SETUP, {K_CONDITION},
       RUN(c.trigger->set_trigger_out_condition(c.e<TC>(0)))},
      {"set_trigger_position", H_SETUP, {K_POSITION},
       RUN(c.trigger->set_trigger_position(c.e<TDR_DATA_TRIGGER_POSITION>(0)))},
      {"set_segment_size", H_SETUP, {K_INT}, RUN(c.trigger->set_segment_size(c.i(0)))},
      {"set_trigger_type", H_SETUP, {K_TRIGGER_TYPE},
       RUN(c.trigger->set_trigger_type(c.e<TDR_DATA_TRIGGER_TYPE>(0)))},
      {"set_trigger_level", H_SETUP, {K_INT}, RUN(c.trigger->set_trigger_level(c.i(0)))},
      {"set_trigger_level_basic_condition", H_SETUP, {K_INT, K_BOOL},
       RUN(c.trigger->set_trigger_level_basic_condition(c.i(0), c.b(1)))},
      {"set_trigger_level_enabled", H_SETUP, {K_INT, K_BOOL},
       RUN(c.trigger->set_trigger_level_enabled(c.i(0), c.b(1)))},
      {"set_advanced_expression", H_SETUP, {K_INT, K_STR},
       RUN(c.trigger->set_advanced_expression(c.i(0), c.s(1)))},
      {"set_power_up_trigger_mode", H_SETUP, {K_BOOL},
       RUN(c.trigger->set_power_up_trigger_mode(c.b(0)))},
      {"set_power_up_trigger_view", H_SETUP, {K_BOOL},
       RUN(c.trigger->set_power_up_trigger_view(c.b(0)))},
      {"set_crc_value_inheritable", H_SETUP, {K_BOOL},
       RUN(c.trigger->set_crc_value_inheritable(c.b(0)))},
      {"set_expanded_status", H_SETUP, {K_BOOL}, RUN(c.trigger->set_expanded_status(c.b(0)))},
      {"duplicate_trigger_to_other", H_SETUP, {K_BOOL},
       RUN(c.trigger->duplicate_trigger_to_other(c.b(0)))},
      {"rename_node_name", H_SETUP, {K_STR, K_STR},
       RUN(c.trigger->rename_node_name(c.s(0), c.s(1)))},
      {"rename_node_alias", H_SETUP, {K_STR, K_STR},
       RUN(c.trigger->rename_node_alias(c.s(0), c.s(1)))},
      {"set_instance_index", H_SETUP, {K_INT}, RUN(c.trigger->set_instance_index(c.i(0)))},
      {"recount_data_trigger_width", H_SETUP, {}, RUN(c.trigger->recount_data_trigger_width())},
      {"rebuild_uniq_name_set", H_SETUP, {}, RUN(c.trigger->rebuild_uniq_name_set())},
      {"is_node_deletable", H_SETUP, {K_INT}, RUN(c.trigger->is_node_deletable(c.i(0)))},
      {"sync_upon_capture_type_change", H_SETUP, {},
       RUN(c.trigger->sync_upon_capture_type_change())},
  };
  return table;
}

#undef RUN

bool head_fits(HEAD wanted, HEAD given) {
  if (wanted == H_LIST) return given == H_SETUP || given == H_DATA;
  return wanted == given;
}

// The operations of a name that a line of the given head may call, more
// parameters first: of two readings the one whose quotes close earlier wins.
// Null for none. Every line of a script looks its operation up, so the names
// sit in an open-addressed table, found by one hash and a probe or two.
const std::vector<const OPERATION*>* operations_named(std::string_view name, HEAD given) {
  struct ENTRY {
    std::string_view name;
    std::vector<const OPERATION*> by_head[H_LIST];
  };
  static const size_t SIZE = 512;  // a power of two, several times the names
  auto hash = [](std::string_view text) {  // of a non-empty name: its length and three letters
    uint32_t h = uint32_t(text.size()) * 0x9E3779B1u;
    h ^= uint8_t(text[0]) * 0x45D9F3Bu;
    h ^= uint8_t(text[text.size() / 2]) * 0x119DE1F3u;
    h ^= uint8_t(text.back()) * 0x27D4EB2Du;
    return size_t(h ^ (h >> 15)) & (SIZE - 1);
  };
  static const std::vector<ENTRY> table = [&] {
    std::vector<ENTRY> slots(SIZE);
    for (const OPERATION& op : operations()) {
      size_t at = hash(op.name);
      while (!slots[at].name.empty() && slots[at].name != op.name) at = (at + 1) & (SIZE - 1);
      slots[at].name = op.name;
      for (int head = 0; head < H_LIST; ++head)
        if (head_fits(op.head, HEAD(head))) slots[at].by_head[head].push_back(&op);
    }
    for (ENTRY& entry : slots)
      for (std::vector<const OPERATION*>& ops : entry.by_head)
        std::stable_sort(ops.begin(), ops.end(), [](const OPERATION* a, const OPERATION* b) {
          return a->kinds.size() > b->kinds.size();
        });
    return slots;
  }();
  if (name.empty()) return nullptr;
  for (size_t at = hash(name); !table[at].name.empty(); at = (at + 1) & (SIZE - 1)) {
    if (!same(table[at].name, name)) continue;
    const std::vector<const OPERATION*>& ops = table[at].by_head[given];
    return ops.empty() ? nullptr : &ops;
  }
  return nullptr;
}

size_t count_quotes(std::string_view text) {
  return size_t(std::count(text.begin(), text.end(), '\''));
}

std::string_view trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && is_blank(text[b])) ++b;
  while (e > b && is_blank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

// Reads the next head word of `text` from `pos`.
std::string_view next_word(std::string_view text, size_t* pos) {
  size_t p = skip_separators(text, *pos);
  size_t end = p;
  while (end < text.size() && !is_blank(text[end])) ++end;
  *pos = end;
  return text.substr(p, end - p);
}

std::string expected_forms(const std::vector<const OPERATION*>& candidates) {
  std::string text;
  for (const OPERATION* op : candidates) {
    if (!op->run) continue;
    if (!text.empty()) text += " or ";
    text += op->name;
    for (ARG_KIND kind : op->kinds) text += std::string(" ") + kind_name(kind);
  }
  return text;
}

// The base of an automatic name: the text before its ": YYYY/MM/DD HH:MM:SS  #N" stamp.
std::string auto_name_base(const std::string& name) {
  size_t hash = name.rfind(" #");
  if (hash == std::string::npos || hash + 2 >= name.size()) return name;
  for (size_t k = hash + 2; k < name.size(); ++k) {
    if (name[k] < '0' || name[k] > '9') return name;
  }
  const size_t STAMP = 22;  // ": " + "YYYY/MM/DD HH:MM:SS" + " "
  if (hash < STAMP) return name;
  size_t start = hash - STAMP;
  static const char SHAPE[] = ": dddd/dd/dd dd:dd:dd ";
  for (size_t k = 0; k < STAMP; ++k) {
    char want = SHAPE[k], got = name[start + k];
    if (want == 'd' ? (got < '0' || got > '9') : got != want) return name;
  }
  return name.substr(0, start);
}

// Hands out the script's automatic names in order; a request for another base
// gets a name with a fixed stamp, so a replay never depends on the clock.
class SCRIPT_NAME_SOURCE : public TDR_DATA_AUTO_NAME_SOURCE {
 public:
  explicit SCRIPT_NAME_SOURCE(TDR_TX_SCRIPT_PLAYER::STATE* state) : m_state(state) {
    m_queue = state->auto_names;
  }
  bool next_auto_name(const char* base, std::string* name) override {
    std::string wanted = base ? base : "generic";
    if (m_next < m_queue.size()) {
      if (auto_name_base(m_queue[m_next]) == wanted) {
        *name = m_queue[m_next++];
        return true;
      }
    }
    ++m_counter;  // wraps from 65535 to 0, as names made within one second count
    *name = wanted + ": 2000/01/01 00:00:00  #" + std::to_string(int(m_counter));
    if (m_next < m_queue.size()) {
      m_state->warn("automatic name '" + *name + "' made where the script has '" +
                    m_queue[m_next] + "'");
    }
    return true;
  }

 private:
  TDR_TX_SCRIPT_PLAYER::STATE* m_state;
  std::vector<std::string> m_queue;
  size_t m_next = 0;
  unsigned short m_counter = 65535;
};

// Internal-error reports stop the replay; everything else goes where it went.
class REPLAY_SINK : public MSG_SINK {
 public:
  REPLAY_SINK(TDR_TX_SCRIPT_PLAYER::STATE* state, MSG_SINK* previous)
      : m_state(state), m_previous(previous) {}
  void on_message(const MSG_RECORD& record) override {
    if (m_previous) m_previous->on_message(record);
  }
  void on_internal_error(const char* condition, const char* module, const char* file,
                         int line) override {
    if (m_state->internal_error) return;
    m_state->internal_error = true;
    m_state->internal_error_text = std::string("internal error: ") + (condition ? condition : "") +
                                   " (" + (module ? module : "") + ", " + (file ? file : "") +
                                   ":" + std::to_string(line) + ")";
  }
  void on_debug(const char* module, const char* line) override {
    if (m_previous) m_previous->on_debug(module, line);
  }
  bool wants_debug() const override { return m_previous && m_previous->wants_debug(); }

 private:
  TDR_TX_SCRIPT_PLAYER::STATE* m_state;
  MSG_SINK* m_previous;
};

// Switches the recorder setting off while the player's session is made.
class RECORDING_OFF {
 public:
  RECORDING_OFF() {
    const char* value = std::getenv(NAME);
    m_had = value != nullptr;
    if (value) m_value = value;
    setenv(NAME, "off", 1);
  }
  ~RECORDING_OFF() {
    if (m_had) {
      setenv(NAME, m_value.c_str(), 1);
    } else {
      unsetenv(NAME);
    }
  }

 private:
  static constexpr const char* NAME = "tvf_tx_record";
  bool m_had = false;
  std::string m_value;
};

bool same_directory(const std::string& a, const std::string& b) {
  char* real_a = realpath(a.empty() ? "." : a.c_str(), nullptr);
  char* real_b = realpath(b.empty() ? "." : b.c_str(), nullptr);
  bool same = real_a && real_b && std::strcmp(real_a, real_b) == 0;
  std::free(real_a);
  std::free(real_b);
  return same;
}

std::string describe_arg(ARG_KIND kind, const ARG& arg) {
  switch (kind) {
    case K_INT: return std::to_string(arg.value);
    case K_BOOL: return arg.value ? "true" : "false";
    case K_STR:
    case K_NULL: return arg.null ? "NULL" : "<" + arg.text + ">";
    case K_INT_LIST: {
      std::string text = "[";
      for (size_t k = 0; k < arg.list.size(); ++k) text += (k ? "," : "") + std::to_string(arg.list[k]);
      return text + "]";
    }
    default: return "=" + std::to_string(arg.value);
  }
}

}  // namespace

// --- the player ----------------------------------------------------------------------

TDR_TX_SCRIPT_PLAYER::TDR_TX_SCRIPT_PLAYER() : m_state(new STATE()) {}

TDR_TX_SCRIPT_PLAYER::~TDR_TX_SCRIPT_PLAYER() {
  delete m_state->tx;
  delete m_state;
}

void TDR_TX_SCRIPT_PLAYER::set_from_file(const std::string& file) { m_state->from_file = file; }
void TDR_TX_SCRIPT_PLAYER::set_output_dir(const std::string& dir) { m_state->output_dir = dir; }
void TDR_TX_SCRIPT_PLAYER::set_verify(bool verify) { m_state->verify = verify; }
void TDR_TX_SCRIPT_PLAYER::set_report(std::function<void(const std::string&)> report) {
  m_state->report = std::move(report);
}

bool TDR_TX_SCRIPT_PLAYER::load_file(const std::string& path, const std::string& label) {
  std::string text;
  std::string name = label.empty() ? path : label;
  if (!read_file(path, &text)) {
    m_state->label = name;
    m_state->error = name + ": cannot read the script";
    m_state->loaded = false;
    return false;
  }
  FIO_PATH file(path);
  return load_text(text, file.full_directory(), name);
}

bool TDR_TX_SCRIPT_PLAYER::load_text(const std::string& text, const std::string& dir,
                                     const std::string& label) {
  STATE* st = m_state;
  st->label = label;
  st->dir = dir;
  if (!st->dir.empty() && st->dir.back() != FIO_PATH::default_path_separator())
    st->dir += FIO_PATH::default_path_separator();
  st->calls.clear();
  st->auto_names.clear();
  st->error.clear();
  st->loaded = false;

  st->calls.reserve(text.size() / 32 + 1);  // a recorded call line is 40 bytes or so
  LINES lines(text);
  std::string_view line;
  st->args.clear();
  st->args.reserve(text.size() / 20 + 1);
  std::vector<ARG> values;
  std::string joined;  // a call whose quoted argument spans lines
  while (lines.next(&line)) {
    int line_number = lines.number();
    std::string_view head_text = trim(line);
    if (head_text.empty()) continue;
    // A nested call is skipped with the lines its quoted arguments go on to;
    // a nested line that does not parse is skipped alone.
    bool nested = false;
    if (head_text[0] == '-') {
      size_t arrow = head_text.find_first_not_of('-');
      if (arrow == std::string_view::npos || head_text[arrow] != '>') continue;
      nested = true;
      line = head_text.substr(arrow + 1);
    } else if (head_text.size() >= 2 && head_text[0] == '/' && head_text[1] == '/') {
      static const char AUTO[] = "// auto_name ";
      if (head_text.compare(0, sizeof AUTO - 1, AUTO) != 0) continue;
      std::string_view rest = trim(head_text.substr(sizeof AUTO - 1));
      if (rest.size() < 2 || rest.front() != '\'' || rest.back() != '\'') {
        st->error = st->where(line_number) + "an auto_name line needs one quoted name";
        return false;
      }
      st->auto_names.emplace_back(rest.substr(1, rest.size() - 2));
      continue;
    }
    const LINES before = lines;
    const size_t num_args = st->args.size();
    // A parse error ends the load, except on a nested line, which is dropped.
    auto drop = [&] {
      lines = before;
      st->error.clear();
      st->args.resize(num_args);
    };
    size_t pos = 0;
    std::string_view word = next_word(line, &pos);
    if (word.empty()) continue;  // location comments only

    CALL call;
    call.line = line_number;
    call.head = H_SESSION;
    if (same(word, "instance")) {
      long index = 0;
      std::string_view number = next_word(line, &pos);
      if (!parse_int(number, &index)) {
        st->error = st->where(line_number) + "'instance' needs an instance number, not '" +
                    shown(number) + "'";
        if (!nested) return false;
        drop();
        continue;
      }
      call.instance = int(index);
      call.head = H_INSTANCE;
      word = next_word(line, &pos);
      bool setup = same(word, "setup_tab");
      if (setup || same(word, "data_tab")) {
        call.head = setup ? H_SETUP : H_DATA;
        word = next_word(line, &pos);
      }
      if (word.empty()) {
        st->error = st->where(line_number) + "the operation is missing";
        if (!nested) return false;
        drop();
        continue;
      }
    }
    const std::vector<const OPERATION*>* named = operations_named(word, call.head);
    if (!named) {
      st->error = st->where(line_number) + "unknown operation '" + shown(word) + "'";
      if (!nested) return false;
      drop();
      continue;
    }
    const std::vector<const OPERATION*>& candidates = *named;
    // Arguments; a quote left open continues on the next physical line.
    std::string_view args = line.substr(pos);
    bool joining = false;
    while (true) {
      bool open = false;
      for (const OPERATION* op : candidates) {
        ARG_MATCHER matcher(args, op->kinds);
        if (matcher.match(&values)) {
          call.op = op;
          call.first_arg = st->args.size();
          for (ARG& value : values) st->args.push_back(std::move(value));
          break;
        }
        open = open || matcher.quote_left_open();
      }
      if (call.op) break;
      open = open || count_quotes(args) % 2 == 1;
      if (!open || !lines.more()) break;
      // Only a joined line with a quote can close the argument.
      if (!joining) joined.assign(args);
      joining = true;
      std::string_view more;
      do {
        lines.next(&more);
        joined += '\n';
        joined += more;
      } while (more.find('\'') == std::string_view::npos && lines.more());
      args = joined;
    }
    if (!call.op) {
      st->error = st->where(line_number) + "wrong arguments for '" + std::string(word) +
                  "' (expected " + expected_forms(candidates) + ")";
      if (expected_forms(candidates).empty())
        st->error = st->where(line_number) + "'" + std::string(word) +
                    "' with these arguments cannot be replayed: it takes an object that only "
                    "another call gives";
      if (!nested) return false;
      drop();
      continue;
    }
    if (nested) {
      st->args.resize(num_args);
      continue;
    }
    if (!call.op->run) {
      st->error = st->where(line_number) + "'" + call.op->name +
                  "' cannot be replayed at top level: it takes an object that only another "
                  "call gives";
      return false;
    }
    st->calls.push_back(std::move(call));
  }
  st->loaded = true;
  return true;
}

TDR_TX_SCRIPT_PLAYER::RESULT TDR_TX_SCRIPT_PLAYER::run() { return run(nullptr); }

TDR_TX_SCRIPT_PLAYER::RESULT TDR_TX_SCRIPT_PLAYER::run(TDR_TX_SESSION* session) {
  STATE* st = m_state;
  if (!st->loaded) {
    if (st->error.empty()) st->error = st->label + ": no script loaded";
    return REPLAY_FAILED;
  }
  st->replayed = st->saved = st->verified = 0;
  st->mismatches.clear();
  st->failed = false;
  st->internal_error = false;
  st->from_used = false;
  st->current = nullptr;

  if (st->verify && same_directory(st->dir, st->output_dir)) {
    st->error = st->label + ": the saved files would replace the recorded snapshots; "
                "verify into another folder";
    return REPLAY_FAILED;
  }
  if (session && !session->get_data_session()) {
    st->error = st->label + ": the given session is not open";
    return REPLAY_FAILED;
  }

  REPLAY_SINK sink(st, msg_get_sink());
  MSG_SINK* previous_sink = msg_set_sink(&sink);
  SCRIPT_NAME_SOURCE names(st);
  TDR_DATA_AUTO_NAME_SOURCE* previous_source = TDR_DATA_MANAGER::set_auto_name_source(&names);
  st->caller_session = session != nullptr;
  if (session) {
    st->tx = session;
  } else {
    RECORDING_OFF off;
    delete st->tx;
    st->tx = new TDR_TX_SESSION();
  }
  bool session_given = st->caller_session, script_closed = false;

  for (const CALL& call : st->calls) {
    st->current = &call;
    CONTEXT c{st, st->tx, &call, st->args.data() + call.first_arg};
    const char* op = call.op->name;
    bool save_line = call.head == H_SESSION && !std::strcmp(op, "save_session");
    bool session_line = call.head == H_SESSION &&
                        (!std::strcmp(op, "open_session") || !std::strcmp(op, "create_session"));
    if (session_line && st->caller_session) {
      if (session_given && !script_closed) {
        session_given = false;
        continue;
      }
      st->fail(std::string("'") + op + "' on a session the caller keeps open");
      break;
    }
    session_given = false;
    // The caller's session outlives the script: its close only ends the
    // script's use of it.
    if (st->caller_session && call.head == H_SESSION && !std::strcmp(op, "close_session")) {
      script_closed = true;
      continue;
    }
    if (script_closed) {
      st->fail("no session is open (the script closed it)");
      break;
    }
    if (!session_line && !st->tx->get_data_session()) {
      if (!st->from_file.empty() && !st->from_used) {
        st->from_used = true;
        open_file(st, st->from_file);
      } else {
        st->fail("no session is open (the script needs an open_session line first)");
      }
    }
    if (!st->failed && call.head != H_SESSION) {
      if (call.instance < 0 || call.instance >= st->tx->get_num_groups()) {
        st->fail("the session has no instance " + std::to_string(call.instance));
      } else {
        c.instance = st->tx->get_instance_at(call.instance, true);
        c.signal_set = st->tx->get_signal_set_at(call.instance, true);
        c.trigger = st->tx->get_trigger_at(call.instance, true);
        c.list = call.head == H_SETUP ? static_cast<TDR_TX_SIGNAL_NODES*>(c.trigger)
                                      : static_cast<TDR_TX_SIGNAL_NODES*>(c.signal_set);
        if (!c.instance || !c.signal_set || !c.trigger)
          st->fail("instance " + std::to_string(call.instance) + " has no working objects");
      }
    }
    if (!st->failed && !st->internal_error) {
      call.op->run(c);
      if (!st->failed && !st->internal_error && !session_line && !save_line) ++st->replayed;
    }
    if (st->internal_error) st->fail(st->internal_error_text);
    if (st->failed) break;
  }

  if (!st->caller_session) {
    // Closed here so that nothing is left for a recovery save.
    st->tx->close_session();
    delete st->tx;
  }
  st->tx = nullptr;
  st->caller_session = false;
  TDR_DATA_MANAGER::set_auto_name_source(previous_source);
  msg_set_sink(previous_sink);
  st->current = nullptr;
  if (st->failed) return REPLAY_FAILED;
  return st->mismatches.empty() ? REPLAY_OK : REPLAY_MISMATCH;
}

const std::string& TDR_TX_SCRIPT_PLAYER::get_error() const { return m_state->error; }
int TDR_TX_SCRIPT_PLAYER::get_num_calls() const { return int(m_state->calls.size()); }

std::string TDR_TX_SCRIPT_PLAYER::describe_call(int index) const {
  if (index < 0 || index >= get_num_calls()) return std::string();
  const CALL& call = m_state->calls[size_t(index)];
  std::string text;
  if (call.head != H_SESSION) text = "instance " + std::to_string(call.instance) + " ";
  if (call.head == H_SETUP) text += "setup_tab ";
  if (call.head == H_DATA) text += "data_tab ";
  text += call.op->name;
  for (size_t k = 0; k < call.op->kinds.size(); ++k)
    text += " " + describe_arg(call.op->kinds[k], m_state->args[call.first_arg + k]);
  return text;
}

const std::vector<std::string>& TDR_TX_SCRIPT_PLAYER::get_auto_names() const {
  return m_state->auto_names;
}

int TDR_TX_SCRIPT_PLAYER::get_calls_replayed() const { return m_state->replayed; }
int TDR_TX_SCRIPT_PLAYER::get_check_points_saved() const { return m_state->saved; }
int TDR_TX_SCRIPT_PLAYER::get_check_points_verified() const { return m_state->verified; }
const std::vector<int>& TDR_TX_SCRIPT_PLAYER::get_mismatches() const {
  return m_state->mismatches;
}

std::string TDR_TX_SCRIPT_PLAYER::get_summary() const {
  const STATE* st = m_state;
  std::string text = std::to_string(st->replayed) + " calls replayed, " +
                     std::to_string(st->saved) + " check points saved, ";
  if (!st->verify) return text + "not verified";
  text += std::to_string(st->verified) + " verified";
  if (!st->mismatches.empty()) {
    text += ", mismatch at check point";
    text += st->mismatches.size() > 1 ? "s " : " ";
    for (size_t k = 0; k < st->mismatches.size(); ++k)
      text += (k ? ", " : "") + std::to_string(st->mismatches[k]);
  }
  return text;
}
