// tdr check, normalize, import and kfb.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fio.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_xml_attr.h"
#include "tdr_tool.h"

namespace {

const char* const CHECK_HELP =
    "usage: tdr check FILE\n"
    "Opens FILE (legacy line-based files are imported) and prints every message\n"
    "posted while reading it, one per line, on standard output.\n"
    "Exit: 0 opened without messages, 1 messages were posted or FILE is not a\n"
    "readable session, 2 FILE cannot be opened or an internal error was reported.\n";

const char* const NORMALIZE_HELP =
    "usage: tdr normalize FILE OUT\n"
    "Opens FILE as 'check' does (messages on standard error) and saves it to OUT,\n"
    "so OUT holds the file as the library reads and writes it. OUT may be FILE:\n"
    "it is replaced only once the whole file is written.\n"
    "Exit: 0 saved, 1 FILE is not a readable session, 2 FILE cannot be opened, OUT\n"
    "not written or an internal error.\n";

const char* const IMPORT_HELP =
    "usage: tdr import LEGACY OUT\n"
    "Imports a file of the older line-based format and saves it as a session file.\n";

const char* const KFB_HELP =
    "usage: tdr kfb list FILE\n"
    "       tdr kfb embed FILE SOURCE NAME [-o OUT]\n"
    "       tdr kfb extract FILE INDEX DEST\n"
    "Lists the device programming files embedded in a session, embeds SOURCE under\n"
    "NAME (saving to OUT, or back to FILE), or writes the copy at INDEX to DEST.\n";

bool parse_index(const std::string& text, int* index) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || v < 0 || v > INT_MAX) return false;
  *index = int(v);
  return true;
}

int save_to(TDR_DATA_SESSION* session, const std::string& out) {
  if (!session->save_as(out.c_str(), true, true)) {
    tool_error("cannot write '%s'", out.c_str());
    return TOOL_IO_ERROR;
  }
  return TOOL_OK;
}

}  // namespace

int cmd_check(int argc, char** argv) {
  if (tool_wants_help(argc, argv, CHECK_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {}, "check")) return TOOL_USAGE;
  if (args.positional.size() != 1) return tool_error("check: expected FILE (see 'tdr check --help')");
  g_tool_sink.out = stdout;
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(args.positional[0], &open_code);
  if (!session) return tool_result(open_code);
  tool_close(session);
  return tool_result(g_tool_sink.messages ? TOOL_UNREADABLE : TOOL_OK);
}

int cmd_normalize(int argc, char** argv) {
  if (tool_wants_help(argc, argv, NORMALIZE_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {}, "normalize")) return TOOL_USAGE;
  if (args.positional.size() != 2)
    return tool_error("normalize: expected FILE OUT (see 'tdr normalize --help')");
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(args.positional[0], &open_code);
  if (!session) return tool_result(open_code);
  int code = save_to(session, args.positional[1]);
  tool_close(session);
  return tool_result(code);
}

int cmd_import(int argc, char** argv) {
  if (tool_wants_help(argc, argv, IMPORT_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {}, "import")) return TOOL_USAGE;
  if (args.positional.size() != 2)
    return tool_error("import: expected LEGACY OUT (see 'tdr import --help')");
  const std::string& legacy = args.positional[0];
  if (!FIO_FILE_SYSTEM::exists(legacy.c_str())) {
    tool_error("cannot read legacy file '%s'", legacy.c_str());
    return TOOL_IO_ERROR;
  }
  TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
  TDR_DATA_SESSION* session = manager->open_session_from_tvf(legacy.c_str());
  int code = save_to(session, args.positional[1]);
  tool_close(session);
  return tool_result(code);
}

int cmd_kfb(int argc, char** argv) {
  if (tool_wants_help(argc, argv, KFB_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {"-o"}, "kfb")) return TOOL_USAGE;
  const std::vector<std::string>& p = args.positional;
  std::string action = p.empty() ? "" : p[0];
  size_t wanted = action == "list" ? 2 : action == "embed" ? 4 : action == "extract" ? 4 : 0;
  if (!wanted || p.size() != wanted || (args.has("-o") && action != "embed"))
    return tool_error("kfb: expected list, embed or extract with their arguments "
                      "(see 'tdr kfb --help')");
  int index = 0;
  if (action == "extract" && !parse_index(p[2], &index))
    return tool_error("kfb: INDEX must be a number from 0, not '%s'", p[2].c_str());
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(p[1], &open_code);
  if (!session) return tool_result(open_code);
  int code = TOOL_OK;
  if (action == "list") {
    int count = session->get_embedded_kfb_file_count();
    for (int i = 0; i < count; ++i) {
      const char* name = session->get_embedded_kfb_filename_at(i);
      std::string shown = name ? name : "";
      std::string size =
          tdr_get_attr(session->get_dom_node_embedded_kfb_at(i), TDR_X("size"));
      const char* pairs = session->get_embedded_kfb_inst_id_crc_at(i);
      std::printf("%d\t%s\t%s bytes\t%s\n", i, shown.c_str(), size.c_str(), pairs ? pairs : "-");
    }
  } else if (action == "embed") {
    if (!session->embed_kfb_file(p[2].c_str(), p[3].c_str())) {
      tool_error("cannot embed '%s' (missing, unreadable or empty)", p[2].c_str());
      code = TOOL_IO_ERROR;
    } else {
      code = save_to(session, args.has("-o") ? args.option("-o") : p[1]);
    }
  } else {
    if (index >= session->get_embedded_kfb_file_count()) {
      tool_error("kfb: no embedded file at index %d", index);
      code = TOOL_USAGE;
    } else if (!session->extract_kfb_file(index, p[3].c_str())) {
      tool_error("cannot extract embedded file %d to '%s' (damaged copy or unwritable target)",
                 index, p[3].c_str());
      code = TOOL_UNREADABLE;
    }
  }
  tool_close(session);
  return tool_result(code);
}
