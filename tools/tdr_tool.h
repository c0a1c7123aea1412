// Shared pieces of the tdr command-line tool.
#ifndef TDR_TOOL_H
#define TDR_TOOL_H

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "msg.h"

class TDR_DATA_SESSION;

// Every command: 0 ok; 1 the file has problems (not a readable session, messages
// while checking) or the files differ; 2 usage, input/output and internal errors.
enum TOOL_EXIT {
  TOOL_OK = 0,
  TOOL_UNREADABLE = 1,
  TOOL_DIFFERS = 1,
  TOOL_USAGE = 2,
  TOOL_IO_ERROR = 2,
  TOOL_INTERNAL = 2
};

// Prints each posted message as one line and counts internal errors.
class TOOL_SINK : public MSG_SINK {
 public:
  void on_message(const MSG_RECORD& r) override;
  void on_internal_error(const char* condition, const char* module, const char* file,
                         int line) override;
  void on_debug(const char* module, const char* line) override;
  bool wants_debug() const override { return msg_debug_from_environment(); }
  FILE* out = stderr;
  int internal_errors = 0;
  int messages = 0;
};
extern TOOL_SINK g_tool_sink;

// A command's arguments: positionals, and options given as "--name value".
struct TOOL_ARGS {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  // Splits argv; `value_options` lists the options that take a value, `flags`
  // those that take none. False (after a one-line error) on an unknown option
  // or a missing value.
  bool parse(int argc, char** argv, int first, const std::vector<std::string>& value_options,
             const char* command, const std::vector<std::string>& flags = {});
  std::string option(const std::string& name) const {
    auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
  }
  bool has(const std::string& name) const { return options.count(name) > 0; }
};

int tool_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
// True, with `text` printed, when a command's arguments ask for its help.
bool tool_wants_help(int argc, char** argv, const char* text);
// Opens a session through the repository manager (legacy files are imported).
// On failure `code` (when given) tells a file that cannot be read at all
// (TOOL_IO_ERROR) from one that is not a readable session (TOOL_UNREADABLE).
TDR_DATA_SESSION* tool_open(const std::string& file, int* code = nullptr);
void tool_close(TDR_DATA_SESSION* session);
// TOOL_INTERNAL when an internal error was reported, else `code`.
int tool_result(int code);

int cmd_check(int argc, char** argv);
int cmd_normalize(int argc, char** argv);
int cmd_info(int argc, char** argv);
int cmd_kfb(int argc, char** argv);
int cmd_import(int argc, char** argv);
int cmd_export(int argc, char** argv);
int cmd_simulate(int argc, char** argv);
int cmd_crc(int argc, char** argv);
int cmd_replay(int argc, char** argv);
int cmd_diff(int argc, char** argv);
// `tdr info --json`: the object tree of an open session on standard output.
void print_info_json(TDR_DATA_SESSION* session, const std::string& file);

#endif
