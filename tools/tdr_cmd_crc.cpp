// tdr crc: the stored and the freshly computed fingerprint of every trigger.
#include <string>

#include "tdr_data_instance.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_tool.h"

namespace {

const char* const CRC_HELP =
    "usage: tdr crc FILE\n"
    "Prints one line per trigger, in document order:\n"
    "  INSTANCE/SIGNAL_SET/TRIGGER stored=HEX computed=HEX\n"
    "stored is the fingerprint kept in the file (\"-\" when there is none), computed\n"
    "the one the current configuration gives (0 for an unsupported hardware version).\n"
    "The file is not changed.\n";

std::string hex(unsigned long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lX", value);
  return text;
}

void print_trigger(const char* instance, const char* set, TDR_DATA_TRIGGER* t) {
  std::string stored = "-";
  std::string attribute;
  if (tdr_get_attr_if(t->get_dom_node(), TDR_X("CRC"), &attribute))
    stored = hex(t->get_crc_value(false));
  std::printf("%s/%s/%s stored=%s computed=%s\n", instance ? instance : "", set, t->get_name(),
              stored.c_str(), hex(t->get_crc_value(true)).c_str());
}

}  // namespace

int cmd_crc(int argc, char** argv) {
  if (tool_wants_help(argc, argv, CRC_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {}, "crc")) return TOOL_USAGE;
  if (args.positional.size() != 1) return tool_error("crc: expected FILE (see 'tdr crc --help')");
  int open_code = TOOL_OK;
  TDR_DATA_SESSION* session = tool_open(args.positional[0], &open_code);
  if (!session) return tool_result(open_code);
  for (int i = 0; i < session->get_num_instances(); ++i) {
    TDR_DATA_INSTANCE* instance = session->get_instance_at(i);
    for (int s = 0; s < instance->get_num_signal_sets(); ++s) {
      TDR_DATA_SIGNAL_SET* set = instance->get_signal_set_at(s);
      for (int t = 0; t < set->get_num_triggers(); ++t)
        print_trigger(instance->get_name(), set->get_name(), set->get_trigger_at(t));
    }
  }
  tool_close(session);
  return tool_result(TOOL_OK);
}
