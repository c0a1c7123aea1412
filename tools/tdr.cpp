// The tdr command-line tool: look into, repair and convert session files.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_tool.h"

TOOL_SINK g_tool_sink;

void TOOL_SINK::on_message(const MSG_RECORD& r) {
  ++messages;
  std::fprintf(out, "%s (%s): %s\n", r.severity == MSG_SEVERITY_ERROR ? "Error" : "Warning",
               r.id.c_str(), r.text.c_str());
}

void TOOL_SINK::on_internal_error(const char* condition, const char* module, const char* file,
                                  int line) {
  ++internal_errors;
  std::fprintf(out, "Internal Error: %s (%s, %s:%d)\n", condition ? condition : "",
               module ? module : "", file ? file : "", line);
}

void TOOL_SINK::on_debug(const char* module, const char* line) {
  if (wants_debug()) std::fprintf(stderr, "Debug (%s): %s\n", module, line);
}

bool TOOL_ARGS::parse(int argc, char** argv, int first,
                      const std::vector<std::string>& value_options, const char* command,
                      const std::vector<std::string>& flags) {
  for (int i = first; i < argc; ++i) {
    std::string a = argv[i];
    if (a.size() > 1 && a[0] == '-') {
      if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
        options[a] = "";
        continue;
      }
      bool takes_value = false;
      for (const std::string& o : value_options) takes_value |= o == a;
      if (!takes_value) {
        tool_error("%s: unknown option '%s' (see 'tdr %s --help')", command, a.c_str(), command);
        return false;
      }
      if (i + 1 >= argc) {
        tool_error("%s: option '%s' needs a value", command, a.c_str());
        return false;
      }
      options[a] = argv[++i];
    } else {
      positional.push_back(a);
    }
  }
  return true;
}

bool tool_wants_help(int argc, char** argv, const char* text) {
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(text, stdout);
      return true;
    }
  }
  return false;
}

int tool_error(const char* format, ...) {
  std::fputs("tdr: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return TOOL_USAGE;
}

TDR_DATA_SESSION* tool_open(const std::string& file, int* code) {
  TDR_DATA_SESSION* session =
      TDR_DATA_MANAGER::get_data_repository_manager()->open_session(file.c_str());
  if (!session) {
    struct stat st;
    bool readable = stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), R_OK) == 0;
    tool_error(readable ? "'%s' is not a readable session file" : "cannot read session file '%s'",
               file.c_str());
    if (code) *code = readable ? TOOL_UNREADABLE : TOOL_IO_ERROR;
  }
  return session;
}

void tool_close(TDR_DATA_SESSION* session) {
  if (session) TDR_DATA_MANAGER::get_data_repository_manager()->close_session(session->get_name());
}

int tool_result(int code) { return g_tool_sink.internal_errors ? TOOL_INTERNAL : code; }

namespace {

struct COMMAND {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

const COMMAND COMMANDS[] = {
    {"check", cmd_check, "read FILE and print every message posted while reading it"},
    {"normalize", cmd_normalize, "read FILE and save it to OUT as the library writes it"},
    {"info", cmd_info, "print the instances, signal sets, triggers and logs of FILE"},
    {"kfb", cmd_kfb, "list, embed or extract device programming files"},
    {"import", cmd_import, "import a legacy line-based file and save it as a session"},
    {"export", cmd_export, "write one acquisition log as a VCD, CSV or SVG waveform"},
    {"simulate", cmd_simulate, "add a log filled by a simulated acquisition and save"},
    {"crc", cmd_crc, "print the stored and the computed fingerprint of every trigger"},
    {"replay", cmd_replay, "play a recorded editing script on a session, optionally verified"},
    {"diff", cmd_diff, "compare two sessions object by object"},
};

int usage(FILE* out) {
  std::fprintf(out, "usage: tdr <command> [arguments]\n\ncommands:\n");
  for (const COMMAND& c : COMMANDS) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'tdr <command> --help' describes a command.\n");
  std::fprintf(out,
               "\nExit status of every command: 0 ok; 1 the file has problems (not a readable\n"
               "session, messages from 'check', an export pattern that matches nothing) or the\n"
               "files differ; 2 usage, input/output or internal errors.\n");
  return out == stdout ? TOOL_OK : TOOL_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(stderr);
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) return usage(stdout);
  msg_set_sink(&g_tool_sink);
  for (const COMMAND& c : COMMANDS) {
    if (std::strcmp(argv[1], c.name) != 0) continue;
    int code = c.run(argc, argv);
    // Everything the command opened it closed; nothing is left to recover.
    TDR_DATA_MANAGER::shutdown();
    return code;
  }
  tool_error("unknown command '%s' (see 'tdr --help')", argv[1]);
  return TOOL_USAGE;
}
