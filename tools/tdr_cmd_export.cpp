// tdr export and tdr simulate: one acquisition log out as a waveform, or a
// simulated acquisition in.
#include <memory>
#include <string>

#include "tdr_data_instance.h"
#include "tdr_export_window.h"
#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_file_replace.h"
#include "tdr_tool.h"
#include "tdr_waveform.h"

namespace {

const char* const EXPORT_HELP =
    "usage: tdr export FILE [--instance NAME] [--signal-set NAME] [--trigger NAME]\n"
    "                       [--log NAME] [--format vcd|csv|svg] [-o OUT]\n"
    "                       [--samples FROM:TO] [--signals PATTERN[,PATTERN...]]\n"
    "Writes one acquisition log as a VCD waveform (default), a CSV table (one row\n"
    "per sample) or an SVG picture. Without names the log is the display tree's\n"
    "active one, else the last log of the last trigger. Output goes to OUT or to\n"
    "standard output.\n"
    "--samples keeps samples FROM to TO, both included and numbered as in the whole\n"
    "log (FROM or TO may be left out). --signals keeps the signals whose name or\n"
    "alias (a bus: its name or alias) equals a PATTERN or matches it as a shell\n"
    "pattern (*, ?, [...]). A pattern that matches nothing is reported and the exit\n"
    "status is 1.\n";

const char* const SIMULATE_HELP =
    "usage: tdr simulate FILE [--instance NAME] [--signal-set NAME] [--trigger NAME]\n"
    "                         [--log NAME] -o OUT\n"
    "Creates a log in the chosen trigger (default: the active or last one), fills it\n"
    "with a simulated acquisition and saves the session to OUT.\n";

struct SELECTION {
  TDR_DATA_INSTANCE* instance = nullptr;
  TDR_DATA_SIGNAL_SET* signal_set = nullptr;
  TDR_DATA_TRIGGER* trigger = nullptr;
  TDR_DATA_LOG* log = nullptr;
};

// Picks instance, signal set and trigger (and the log when `want_log`) from
// the options, falling back to the display tree and then to the last ones.
bool select(TDR_DATA_SESSION* session, const TOOL_ARGS& args, bool want_log, SELECTION* sel) {
  if (args.has("--instance")) {
    sel->instance = session->find_instance(args.option("--instance").c_str());
    if (!sel->instance) {
      tool_error("no instance named '%s'", args.option("--instance").c_str());
      return false;
    }
  } else {
    for (int i = 0; i < session->get_num_instances() && !sel->instance; ++i)
      if (session->find_active_signal_set(session->get_instance_at(i)))
        sel->instance = session->get_instance_at(i);
    for (int i = session->get_num_instances(); i-- > 0 && !sel->instance;)
      if (session->get_instance_at(i)->get_last_signal_set())
        sel->instance = session->get_instance_at(i);
  }
  if (!sel->instance) {
    tool_error("the session has no instance with a signal set");
    return false;
  }
  sel->signal_set = args.has("--signal-set")
                        ? sel->instance->find_signal_set(args.option("--signal-set").c_str())
                        : sel->instance->get_last_signal_set();
  if (!sel->signal_set) {
    tool_error("no signal set%s%s in instance '%s'", args.has("--signal-set") ? " named " : "",
               args.option("--signal-set").c_str(), sel->instance->get_name());
    return false;
  }
  sel->trigger = args.has("--trigger")
                     ? sel->signal_set->find_trigger(args.option("--trigger").c_str())
                     : sel->signal_set->get_last_trigger();
  if (!sel->trigger) {
    tool_error("no trigger%s%s in signal set '%s'", args.has("--trigger") ? " named " : "",
               args.option("--trigger").c_str(), sel->signal_set->get_name());
    return false;
  }
  if (!want_log) return true;
  sel->log = args.has("--log") ? sel->trigger->find_log(args.option("--log").c_str())
                               : sel->trigger->get_last_log();
  if (!sel->log) {
    tool_error("no log%s%s in trigger '%s'", args.has("--log") ? " named " : "",
               args.option("--log").c_str(), sel->trigger->get_name());
    return false;
  }
  return true;
}

const std::vector<std::string> SELECT_OPTIONS = {"--instance", "--signal-set", "--trigger",
                                                 "--log"};

}  // namespace

int cmd_export(int argc, char** argv) {
  if (tool_wants_help(argc, argv, EXPORT_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  std::vector<std::string> options = SELECT_OPTIONS;
  for (const char* o : {"--format", "-o", "--samples", "--signals"}) options.push_back(o);
  if (!args.parse(argc, argv, 2, options, "export")) return TOOL_USAGE;
  if (args.positional.size() != 1)
    return tool_error("export: expected FILE (see 'tdr export --help')");
  std::string format = args.has("--format") ? args.option("--format") : "vcd";
  if (format != "vcd" && format != "csv" && format != "svg")
    return tool_error("export: --format must be vcd, csv or svg, not '%s'", format.c_str());
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(args.positional[0], &open_code);
  if (!session) return tool_result(open_code);
  SELECTION sel;
  int code = TOOL_OK;
  int window_first = 0, window_end = 0;
  if (!select(session, args, true, &sel)) {
    code = TOOL_USAGE;
  } else if (!sel.log->is_data_available()) {
    tool_error("log '%s' holds no samples", sel.log->get_name());
    code = TOOL_UNREADABLE;
  } else if (args.has("--samples") && !parse_window(args.option("--samples"), sel.log->get_data_sample_depth(),
                                                    &window_first, &window_end)) {
    tool_error("export: --samples must be FROM:TO with 0 <= FROM <= TO and FROM below the log's %d "
               "samples, not '%s'", sel.log->get_data_sample_depth(), args.option("--samples").c_str());
    code = TOOL_USAGE;
  } else {
    std::unique_ptr<TDR_FILE_REPLACE> file;
    FILE* out = stdout;
    if (args.has("-o")) {
      file.reset(new TDR_FILE_REPLACE(args.option("-o").c_str()));
      out = file->stdio();
    }
    if (!out) {
      tool_error("cannot write '%s'", args.option("-o").c_str());
      code = TOOL_IO_ERROR;
    } else {
      WAVEFORM wave(sel.log, session->find_mnemonics());
      if (args.has("--signals") && !filter_signals(&wave, args.option("--signals"))) code = TOOL_UNREADABLE;
      if (args.has("--samples")) wave.set_window(window_first, window_end);
      std::string scope = std::string(sel.instance->get_name()) + "/" + sel.signal_set->get_name() +
                          "/" + sel.trigger->get_name() + "/" + sel.log->get_name();
      if (format == "vcd")
        write_vcd(wave, sel.instance->get_name(), out);
      else if (format == "csv")
        write_csv(wave, out);
      else
        write_svg(wave, scope, out);
      if (file && !file->commit()) {
        tool_error("cannot write '%s'", args.option("-o").c_str());
        code = TOOL_IO_ERROR;
      }
    }
  }
  tool_close(session);
  return tool_result(code);
}

int cmd_simulate(int argc, char** argv) {
  if (tool_wants_help(argc, argv, SIMULATE_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  std::vector<std::string> options = SELECT_OPTIONS;
  options.push_back("-o");
  if (!args.parse(argc, argv, 2, options, "simulate")) return TOOL_USAGE;
  if (args.positional.size() != 1 || !args.has("-o"))
    return tool_error("simulate: expected FILE and -o OUT (see 'tdr simulate --help')");
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(args.positional[0], &open_code);
  if (!session) return tool_result(open_code);
  SELECTION sel;
  int code = TOOL_OK;
  if (!select(session, args, false, &sel)) {
    code = TOOL_USAGE;
  } else {
    std::string log_name = args.option("--log");
    const char* name = args.has("--log") ? log_name.c_str() : nullptr;
    TDR_DATA_LOG* log = sel.trigger->create_log(name, false);
    if (!log) {
      tool_error("cannot create log '%s' (the name is taken)", name ? name : "");
      code = TOOL_USAGE;
    } else {
      log->simulate_run();
      if (!log->is_data_available()) {
        tool_error("the signal set is too large to simulate");
        code = TOOL_UNREADABLE;
      } else if (!session->save_as(args.option("-o").c_str(), true, true)) {
        tool_error("cannot write '%s'", args.option("-o").c_str());
        code = TOOL_IO_ERROR;
      } else {
        std::printf("log \"%s\": %d samples of %d data wires\n", log->get_name(),
                    log->get_data_sample_depth(), sel.signal_set->get_data_wire_width());
      }
    }
  }
  tool_close(session);
  return tool_result(code);
}
