// tdr replay: plays a recorded (or hand-written) editing script on a session.
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "tdr_tool.h"
#include "tdr_tx_script_player.h"

namespace {

const char* const REPLAY_HELP =
    "usage: tdr replay SCRIPT [--from FILE] [-o DIR] [--verify]\n"
    "Plays an editing script in the recorder's format: each line is one call on\n"
    "the session, an instance ('instance N OP ...') or one of its signal lists\n"
    "('instance N setup_tab|data_tab OP ...'). 'open_session 'NAME'' opens NAME\n"
    "beside the script, or FILE with --from (then one script edits any session);\n"
    "'create_session 'NAME'' starts an empty one. 'save_session 'NAME'' commits\n"
    "and saves the session as DIR/NAME (DIR: the current folder by default); with\n"
    "--verify the saved state is also compared with the file NAME beside the\n"
    "script, and the first difference is shown.\n"
    "Exit: 0 replayed, 1 a saved state differs from its recorded snapshot,\n"
    "2 a line cannot be replayed (nothing after it runs) or bad arguments.\n";

bool is_directory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int cmd_replay(int argc, char** argv) {
  if (tool_wants_help(argc, argv, REPLAY_HELP)) return TOOL_OK;
  // --verify is the one option without a value.
  std::vector<char*> rest;
  bool verify = false;
  for (int i = 0; i < argc; ++i) {
    if (i >= 2 && !std::strcmp(argv[i], "--verify")) {
      verify = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  TOOL_ARGS args;
  if (!args.parse(int(rest.size()), rest.data(), 2, {"--from", "-o"}, "replay")) return TOOL_USAGE;
  if (args.positional.size() != 1)
    return tool_error("replay: expected SCRIPT (see 'tdr replay --help')");
  std::string dir = args.has("-o") ? args.option("-o") : std::string(".");
  if (!is_directory(dir)) return tool_error("replay: '%s' is not a folder", dir.c_str());

  TDR_TX_SCRIPT_PLAYER player;
  player.set_verify(verify);
  player.set_output_dir(dir);
  if (args.has("--from")) player.set_from_file(args.option("--from"));
  player.set_report([](const std::string& line) { std::fprintf(stderr, "tdr: %s\n", line.c_str()); });
  if (!player.load_file(args.positional[0])) {
    tool_error("%s", player.get_error().c_str());
    return TOOL_USAGE;
  }
  TDR_TX_SCRIPT_PLAYER::RESULT result = player.run();
  if (result == TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED) tool_error("%s", player.get_error().c_str());
  std::printf("replay: %s\n", player.get_summary().c_str());
  return int(result);
}
