// tdr info: a readable tree of what a session holds.
#include <string>

#include "tdr_data_global_enum.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_mnemonics.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_tool.h"

namespace {

const char* const INFO_HELP =
    "usage: tdr info [--json] FILE\n"
    "Prints the instances (name, node information, mode), signal sets (clock, depth,\n"
    "RAM type, trigger/data widths, ports), triggers, logs, mnemonic tables and\n"
    "embedded files of a session. Global-temp objects are marked [global temp].\n"
    "With --json the whole object tree is printed as one JSON document (keys are\n"
    "listed in the README).\n";

std::string quoted(const char* s) { return std::string("\"") + (s ? s : "") + "\""; }

const char* temp_mark(bool global) { return global ? " [global temp]" : ""; }

void print_port(const char* label, bool enabled, const char* pin, const char* node) {
  if (!enabled) {
    std::printf("      %s: off\n", label);
    return;
  }
  std::printf("      %s: on", label);
  if (pin && *pin) std::printf(", pin %s", pin);
  if (node && *node) std::printf(", node %s", node);
  std::printf("\n");
}

const char* word(const char* const* table, size_t size, int value) {
  return value >= 0 && size_t(value) < size ? table[value] : "?";
}

void print_log(TDR_DATA_LOG* log, bool global) {
  std::printf("          log %s%s: depth %d", quoted(log->get_name()).c_str(), temp_mark(global),
              log->get_data_sample_depth());
  if (log->get_data_segment_size() > 0) std::printf(", segments of %d", log->get_data_segment_size());
  std::printf(", trigger position %d%s", log->get_data_trigger_position(),
              log->is_power_up_trigger() ? ", power-up data" : "");
  if (!log->is_data_available())
    std::printf(", no data\n");
  else
    std::printf(", check %s\n", log->sanity_check_data_validity(false) ? "PASS" : "FAIL");
}

void print_side(TDR_DATA_TRIGGER* t, bool power_up) {
  std::printf("          %sposition %s, %s", power_up ? "power-up: " : "",
              word(TDR_DATA_TRIG_POSITION_STR, 4, t->get_trigger_position(power_up)),
              word(TDR_DATA_TRIGGER_TYPE_STR, 2, t->get_trigger_type(power_up)));
  if (t->is_segment_enabled(power_up)) std::printf(" (segment size %d)", t->get_segment_size(power_up));
  std::printf(", trigger in %s, trigger out %s\n",
              word(TDR_DATA_TRIG_CONDITION_STR, 9, t->get_trigger_in(power_up)),
              word(TDR_DATA_TRIG_CONDITION_STR, 9, t->get_trigger_out(power_up)));
  for (int level = 0; level < t->get_event_levels(); ++level) {
    bool basic = t->is_trigger_level_basic_condition(level);
    const char* expression = basic ? nullptr : t->get_advanced_trigger_expression(level, power_up);
    std::string text = basic ? t->get_condition_expression(level, power_up)
                             : expression ? expression : "";
    std::printf("          %slevel %d (%s%s): %s\n", power_up ? "power-up " : "", level,
                basic ? "basic" : "advanced",
                t->is_trigger_level_enabled(level, power_up) ? "" : ", disabled",
                text.empty() ? "(any)" : text.c_str());
  }
}

void print_trigger(TDR_DATA_TRIGGER* trigger, bool global) {
  std::printf("        trigger %s%s\n", quoted(trigger->get_name()).c_str(), temp_mark(global));
  print_side(trigger, false);
  if (trigger->is_power_up_mode()) print_side(trigger, true);
  for (int i = 0; i < trigger->get_num_logs(); ++i) print_log(trigger->get_log_at(i), false);
  if (trigger->get_global_log()) print_log(trigger->get_global_log(), true);
}

void print_signal_set(TDR_DATA_SIGNAL_SET* s, bool global) {
  const char* ram = "";
  TDR_DATA_GLOBAL_ENUM::convert_enum_to_string(s->get_velarn_ram_type(), &ram);
  std::printf("    signal set %s%s\n", quoted(s->get_name()).c_str(), temp_mark(global));
  std::printf("      clock: %s (%s)\n", s->get_clock_name(),
              s->get_clock_polarity() == TDR_DATA_SIGNAL_SET::NEGEDGE ? "negedge" : "posedge");
  std::printf("      sample depth %d, RAM %s\n", s->get_sample_depth(), ram);
  std::printf("      trigger wires %d, data wires %d, signals %d\n", s->get_trigger_wire_width(),
              s->get_data_wire_width(), s->get_wire_size());
  print_port("trigger in", s->is_trigger_in_enabled(), s->get_trigger_in_pin(),
             s->get_trigger_in_node());
  print_port("trigger out", s->is_trigger_out_enabled(), s->get_trigger_out_pin(),
             s->get_trigger_out_node());
  for (int i = 0; i < s->get_num_triggers(); ++i) print_trigger(s->get_trigger_at(i), false);
  if (s->get_global_trigger()) print_trigger(s->get_global_trigger(), true);
}

void print_instance(TDR_DATA_INSTANCE* instance) {
  TDR_DATA_INSTANCE_INFO info = instance->get_node_info();
  std::printf("  instance %s\n", quoted(instance->get_name()).c_str());
  std::printf("    entity %s, source %s\n", instance->get_entity_name(),
              instance->get_source_filename());
  std::printf("    node: manufacturer %d, node id %d, version ", info.mfg_id, int(info.node_id));
  if (instance->is_version_not_defined())
    std::printf("undefined");
  else
    std::printf("%d", int(info.version));
  std::printf(", index %u\n", info.instance_id);
  std::printf("    mode %s%s\n", instance->is_incr_cmp_mode() ? "incremental" : "full",
              instance->is_auto_node() ? ", automatic node" : "");
  for (int i = 0; i < instance->get_num_signal_sets(); ++i)
    print_signal_set(instance->get_signal_set_at(i), false);
  if (instance->get_global_signal_set()) print_signal_set(instance->get_global_signal_set(), true);
}

}  // namespace

int cmd_info(int argc, char** argv) {
  if (tool_wants_help(argc, argv, INFO_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {}, "info", {"--json"})) return TOOL_USAGE;
  if (args.positional.size() != 1) return tool_error("info: expected FILE (see 'tdr info --help')");
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(args.positional[0], &open_code);
  if (!session) return tool_result(open_code);
  if (args.has("--json")) {
    print_info_json(session, args.positional[0]);
    tool_close(session);
    return tool_result(TOOL_OK);
  }
  std::printf("session %s\n", quoted(args.positional[0].c_str()).c_str());
  if (session->get_jtag_chain_name()) std::printf("  JTAG chain %s\n", session->get_jtag_chain_name());
  if (session->get_jtag_device_name())
    std::printf("  JTAG device %s\n", session->get_jtag_device_name());
  if (session->get_kfb_file_name()) std::printf("  programming file %s\n", session->get_kfb_file_name());
  for (int i = 0; i < session->get_num_instances(); ++i) print_instance(session->get_instance_at(i));
  if (TDR_DATA_MNEMONICS* mnemonics = session->find_mnemonics()) {
    for (int i = 0; i < mnemonics->get_num_tables(); ++i) {
      TDR_DATA_MNEMONICS_TABLE* t = mnemonics->get_table(i);
      std::printf("  mnemonic table %s: width %d, %d entries\n", quoted(t->get_name()).c_str(),
                  t->get_width(), t->get_num_entries());
    }
  }
  for (int i = 0; i < session->get_embedded_kfb_file_count(); ++i) {
    const char* name = session->get_embedded_kfb_filename_at(i);
    std::string shown = name ? name : "";
    std::printf("  embedded file %d %s: %s bytes\n", i, quoted(shown.c_str()).c_str(),
                tdr_get_attr(session->get_dom_node_embedded_kfb_at(i), TDR_X("size")).c_str());
  }
  tool_close(session);
  return tool_result(TOOL_OK);
}
