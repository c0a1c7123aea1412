#define TDR_SOURCE_FILE "tdr_tx_script_recorder"

#include "tdr_tx_script_recorder.h"

#include <ctime>

#include "cfg.h"
#include "fio.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_msg.h"

namespace {

const char SCRIPT_HEADER[] =
    "//\n// This is an auto-generated script used internally by Zenvor Tavrin.\n//\n\n";

// Automatic names reach the recorders that are on; several transaction sessions
// may record at once.
class RECORDER_NAME_OBSERVER : public TDR_DATA_AUTO_NAME_OBSERVER {
 public:
  explicit RECORDER_NAME_OBSERVER(TDR_TX_SCRIPT_RECORDER* recorder) : m_recorder(recorder) {}
  void on_auto_name(const char* name) override { m_recorder->note_auto_name(name); }

 private:
  TDR_TX_SCRIPT_RECORDER* m_recorder;
};

}  // namespace

TDR_TX_SCRIPT_RECORDER::TDR_TX_SCRIPT_RECORDER() { init_config(); }

TDR_TX_SCRIPT_RECORDER::~TDR_TX_SCRIPT_RECORDER() {
  if (m_observer) {
    TDR_DATA_MANAGER::remove_auto_name_observer(m_observer);
    delete m_observer;
  }
  if (m_file) std::fclose(m_file);
}

void TDR_TX_SCRIPT_RECORDER::init_config() {
  m_enabled = cfg_is_on("tvf_tx_record", false);
  m_low_level = cfg_is_on("tvf_tx_record_low_level", false);
  m_file_loc = cfg_is_on("tvf_tx_record_file_loc", false);
  if (!m_enabled) return;

  char stamp[64];
  time_t now = std::time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  size_t n = std::strftime(stamp, sizeof stamp, "%Y_%m_%d_%H_%M_%S", &local);
  stamp[n] = '\0';
  m_base_name = std::string("tvf_tx_") + stamp;
  std::string root = cfg_get_value("tvf_tx_record_root_path", "");
  m_root_path = (root.empty() ? std::string(".") : root) + FIO_PATH::default_path_separator();

  std::string path = get_script_path();
  if (m_file) std::fclose(m_file);
  m_file = std::fopen(path.c_str(), "w");
  if (!m_file) {
    m_enabled = false;
    if (cfg_is_on("tvf_tx_record_allow_ie", false)) {
      std::string text = "Failed to write to recording script " + path;
      MSG_INTERNAL_ERROR::report(text.c_str(), "TDR", TDR_SOURCE_FILE, __LINE__);
    } else {
      tdr_msg_debug("tvf tx: failed to open recording script %s; recording disabled",
                    path.c_str());
    }
    return;
  }
  write(SCRIPT_HEADER);
  flush();
  tdr_msg_debug("tvf tx: open recording script %s to record", path.c_str());
  if (!m_observer) {
    m_observer = new RECORDER_NAME_OBSERVER(this);
    TDR_DATA_MANAGER::add_auto_name_observer(m_observer);
  }
}

void TDR_TX_SCRIPT_RECORDER::write(const char* text) {
  if (!m_file || !text || !*text) return;
  std::fputs(text, m_file);
  m_line_open = text[std::char_traits<char>::length(text) - 1] != '\n';
}

void TDR_TX_SCRIPT_RECORDER::end_line() {
  write("\n");
  write_pending_auto_names();
}

void TDR_TX_SCRIPT_RECORDER::flush() {
  if (m_file) std::fflush(m_file);
}

void TDR_TX_SCRIPT_RECORDER::write_comment_line(const std::string& text) {
  if (!m_enabled) return;
  if (m_line_open) end_line();
  write(text + "\n");
  flush();
}

void TDR_TX_SCRIPT_RECORDER::note_auto_name(const char* name) {
  if (!m_enabled || m_depth <= 0 || !name) return;
  m_pending_auto_names.push_back(name);
  if (!m_line_open) write_pending_auto_names();
}

void TDR_TX_SCRIPT_RECORDER::write_pending_auto_names() {
  std::vector<std::string> names;
  names.swap(m_pending_auto_names);
  for (const std::string& name : names) write("// auto_name '" + name + "'\n");
}

void TDR_TX_SCRIPT_RECORDER::make_session_check_point(bool opening) {
  if (!TDR_CHECK(m_data_session != NULL)) return;
  if (!m_enabled) return;
  std::string name;
  if (m_check_point == 0) {
    name = m_base_name + "_init.tvf";
  } else {
    name = m_base_name + "_" + std::to_string(m_check_point - 1) + ".tvf";
  }
  if (m_line_open) end_line();
  write((m_check_point == 0 || opening ? "open_session '" : "save_session '") + name + "'\n");
  m_data_session->save_as((m_root_path + name).c_str(), true, true);
  write("\n// Check point " + std::to_string(m_check_point) + " saved.\n\n");
  ++m_check_point;
  flush();
}

// ---------------------------------------------------------------------------

TDR_TX_SCRIPT_FUNC::TDR_TX_SCRIPT_FUNC(TDR_TX_SCRIPT_RECORDER* recorder, const char* name)
    : m_recorder(recorder) {
  if (recorder && recorder->is_enabled()) start(name ? name : "");
}

TDR_TX_SCRIPT_FUNC::TDR_TX_SCRIPT_FUNC(TDR_TX_SCRIPT_RECORDER* recorder, int instance_index,
                                       const char* name)
    : m_recorder(recorder) {
  if (recorder && recorder->is_enabled()) {
    start("instance " + std::to_string(instance_index) + " " + (name ? name : ""));
  }
}

TDR_TX_SCRIPT_FUNC::TDR_TX_SCRIPT_FUNC(TDR_TX_SCRIPT_RECORDER* recorder, int instance_index,
                                       bool setup_tab, const char* name)
    : m_recorder(recorder) {
  if (recorder && recorder->is_enabled()) {
    start("instance " + std::to_string(instance_index) +
          (setup_tab ? " setup_tab " : " data_tab ") + (name ? name : ""));
  }
}

void TDR_TX_SCRIPT_FUNC::start(const std::string& head) {
  m_active = true;
  m_recorder->raise_depth();
  int depth = m_recorder->get_depth();
  if (depth == 1) {
    if (m_recorder->is_line_open()) m_recorder->end_line();
    m_recorder->write(head);
    return;
  }
  if (!m_recorder->is_low_level()) {
    m_suppressed = true;
    return;
  }
  if (m_recorder->is_line_open()) m_recorder->end_line();
  m_recorder->write(std::string(depth - 1, '-') + ">" + head);
}

TDR_TX_SCRIPT_FUNC::~TDR_TX_SCRIPT_FUNC() {
  if (!m_active) return;
  // Ends the line even when recording was switched off during the call, so the
  // script never holds half a line.
  if (m_recorder->get_depth() == 1 && m_recorder->is_line_open()) m_recorder->end_line();
  m_recorder->lower_depth();
  m_recorder->flush();
}

void TDR_TX_SCRIPT_FUNC::location(const char* file, int line) {
  if (!m_active || !m_recorder->is_enabled() || !m_recorder->is_file_loc()) return;
  m_recorder->write(std::string(" /* @loc:") + (file ? file : "") + "," + std::to_string(line) +
                    "@ */ ");
}

void TDR_TX_SCRIPT_FUNC::append_argument(int value) {
  if (is_writing()) m_recorder->write(" " + std::to_string(value));
}

void TDR_TX_SCRIPT_FUNC::append_argument(bool value) {
  if (is_writing()) m_recorder->write(value ? " true" : " false");
}

void TDR_TX_SCRIPT_FUNC::append_argument(const char* text) {
  if (!is_writing()) return;
  m_recorder->write(text ? " '" + std::string(text) + "'" : std::string(" NULL"));
}

void TDR_TX_SCRIPT_FUNC::append_argument(const int* values, int count) {
  if (!is_writing()) return;
  std::string list = " '";
  for (int i = 0; values && i < count; ++i) {
    if (i > 0) list += ',';
    list += std::to_string(values[i]);
  }
  m_recorder->write(list + "'");
}

void TDR_TX_SCRIPT_FUNC::append_word(const char* word, int value) {
  if (!is_writing()) return;
  if (word && *word) {
    m_recorder->write(" '" + std::string(word) + "'");
  } else {
    m_recorder->write(" " + std::to_string(value));
  }
}

namespace {

// The word of an enumeration value, or null for a value that is no member
// (the readers' fallbacks are words of other members, not of this value).
template <typename ENUM>
const char* member_word(ENUM value, bool member) {
  if (!member) return nullptr;
  const char* word = nullptr;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &word);
  return word;
}

bool is_signal_type(int value) {
  for (int member : {0, 4, 8, 16, 32, 64, 128, 1024}) {
    if (value == member) return true;
  }
  return false;
}

}  // namespace

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_SIGNAL_TYPE value) {
  append_word(member_word(value, is_signal_type(value)), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_WIRE_CAPTURE_TYPE value) {
  append_word(member_word(value, value >= 0 && value <= TDR_WTYPE_BOTH_CAPTURE), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_WIRE_TAP_MODE value) {
  append_word(member_word(value, value >= 0 && value <= TDR_MTYPE_PROBEONLY_TAP), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_TRIGGER_CONDITION value) {
  append_word(member_word(value, value >= 0 && value < TDR_CTYPE_INVALID_COND), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_TRIGGER_POSITION value) {
  append_word(member_word(value, value >= 0 && value <= TDR_PTYPE_CONTINUOUS_POS), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_TRIGGER_TYPE value) {
  append_word(member_word(value, value >= 0 && value <= TDR_TTYPE_SEGMENTED_TRIGGER), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_GROUP_DISPLAY_TYPE value) {
  append_word(member_word(value, value >= 0 && value <= TDR_GTYPE_MNEMONICS_PLUG_IN_DISPLAY),
              value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_NODE_DISPLAY_TYPE value) {
  append_word(member_word(value, value >= 0 && value <= TDR_DTYPE_INVALID_NODE), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_VELARN_RAM_TYPE value) {
  append_word(member_word(value, value >= 0 && value <= TDR_RTYPE_GRANDRAM_BLOCK), value);
}

void TDR_TX_SCRIPT_FUNC::append_argument(TDR_DATA_GROUP_LINKING_TYPE value) {
  if (value < 0 || value > TDR_LTYPE_ALL_LINK) {
    append_word(nullptr, value);
    return;
  }
  std::string word;
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(value, &word);
  append_word(word.c_str(), value);
}
