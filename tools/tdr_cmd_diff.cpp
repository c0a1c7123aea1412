// tdr diff: two sessions compared object by object.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tdr_data_log.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_wire.h"
#include "tdr_json.h"
#include "tdr_tool.h"

namespace {

const char* const DIFF_HELP =
    "usage: tdr diff [--json] A B\n"
    "Compares two sessions object by object and prints one line per difference:\n"
    "  added PATH | removed PATH | renamed PATH -> 'NAME' | changed PATH: OLD -> NEW\n"
    "PATH names the object, e.g. instance 'cpu'/signal set 's'/trigger 't'/level 1/\n"
    "signal 'x'. Conditions are compared as conditions, logs by their samples (the\n"
    "first differing sample and signal). With --json the differences are one JSON\n"
    "array. Exit: 0 equal, 1 different, 2 usage or read errors.\n";

// Lists of named objects, matched by name, and the word for one of them.
const std::map<std::string, std::string> NAMED_LISTS = {
    {"instances", "instance"},     {"signal_sets", "signal set"},
    {"triggers", "trigger"},       {"logs", "log"},
    {"wires", "wire"},             {"mnemonic_tables", "mnemonic table"},
    {"embedded_files", "embedded file"}, {"entries", "symbol"},
    {"data_view", ""},             {"setup_view", ""},
    {"members", ""}};

// Values that follow from others and would only repeat a difference.
bool derived(const std::string& key) {
  return key == "computed" || key == "check" || key == "trigger_wires" || key == "data_wires" ||
         key == "trigger_index" || key == "data_index" || key == "file";
}

// A value as `info --json` shows it: without the "samples" log references.
TOOL_JSON without_log_refs(TOOL_JSON value) {
  std::vector<TOOL_JSON*> pending{&value};
  while (!pending.empty()) {
    TOOL_JSON* v = pending.back();
    pending.pop_back();
    if (v->is_object() && v->contains("samples") && (*v)["samples"].is_number()) v->erase("samples");
    if (v->is_structured())
      for (TOOL_JSON& child : *v) pending.push_back(&child);
  }
  return value;
}

std::string join(const std::string& path, const std::string& segment) {
  return path.empty() ? segment : path + "/" + segment;
}

std::string squeeze(const std::string& text) {
  std::string out;
  for (char c : text) {
    bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (blank) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

class DIFFER {
 public:
  TOOL_JSON changes = TOOL_JSON::array();
  // The logs each tree's "samples" indices refer to.
  const std::vector<TDR_DATA_LOG*>* logs[2] = {nullptr, nullptr};

  void object(const std::string& path, const TOOL_JSON& a, const TOOL_JSON& b) {
    for (auto& item : a.items()) {
      const std::string& key = item.key();
      if (derived(key)) continue;
      if (!b.contains(key))
        add("removed", join(path, key), item.value(), nullptr);
      else
        member(path, key, item.value(), b[key]);
    }
    for (auto& item : b.items())
      if (!derived(item.key()) && !a.contains(item.key()))
        add("added", join(path, item.key()), nullptr, item.value());
  }

 private:
  void add(const char* kind, const std::string& path, const TOOL_JSON& old_value,
           const TOOL_JSON& new_value) {
    TOOL_JSON c = {{"change", kind}, {"path", path}};
    if (!old_value.is_null() || std::string(kind) == "changed") c["old"] = without_log_refs(old_value);
    if (!new_value.is_null() || std::string(kind) == "changed") c["new"] = without_log_refs(new_value);
    changes.push_back(std::move(c));
  }

  void member(const std::string& path, const std::string& key, const TOOL_JSON& a,
              const TOOL_JSON& b) {
    auto list = NAMED_LISTS.find(key);
    if (list != NAMED_LISTS.end() && a.is_array() && b.is_array()) {
      // A view's nodes sit under the view; a bus's members right under the bus.
      std::string at = key == "data_view" || key == "setup_view" ? join(path, key) : path;
      named_list(at, list->second, key == "entries" ? "symbol" : "name", a, b);
    } else if (key == "levels" && a.is_array() && b.is_array()) {
      levels(path, a, b);
    } else if (key == "conditions" && a.is_object() && b.is_object()) {
      conditions(path, a, b);
    } else if (key == "samples" && a.is_number_unsigned() && b.is_number_unsigned()) {
      samples(join(path, key), a, b);
    } else if (a.is_object() && b.is_object()) {
      object(join(path, key), a, b);
    } else if (key == "expression" && a.is_string() && b.is_string()) {
      if (squeeze(a.get<std::string>()) != squeeze(b.get<std::string>()))
        add("changed", join(path, key), a, b);
    } else if (a != b) {
      add("changed", join(path, key), a, b);
    }
  }

  static std::string item_key(const TOOL_JSON& item, const char* name_key) {
    std::string key;
    if (item.contains("kind")) key = item["kind"].get<std::string>() + " ";
    if (item.contains(name_key) && item[name_key].is_string()) key += item[name_key].get<std::string>();
    if (item.value("global_temp", false)) key += " [global temp]";
    return key;
  }

  static std::string segment(const std::string& word, const TOOL_JSON& item, const char* name_key) {
    std::string w = word.empty() ? item.value("kind", std::string("node")) : word;
    std::string name = item.contains(name_key) && item[name_key].is_string() ? item[name_key].get<std::string>() : "";
    return w + " '" + name + "'" + (item.value("global_temp", false) ? " [global temp]" : "");
  }

  // Matched by name; an unmatched pair at the same position is a rename.
  void named_list(const std::string& path, const std::string& word, const char* name_key,
                  const TOOL_JSON& a, const TOOL_JSON& b) {
    std::map<std::string, size_t> in_b;
    for (size_t i = 0; i < b.size(); ++i) in_b.emplace(item_key(b[i], name_key), i);
    std::vector<bool> b_used(b.size(), false);
    std::vector<size_t> a_left;
    for (size_t i = 0; i < a.size(); ++i) {
      auto found = in_b.find(item_key(a[i], name_key));
      if (found == in_b.end() || b_used[found->second]) {
        a_left.push_back(i);
        continue;
      }
      b_used[found->second] = true;
      object(join(path, segment(word, a[i], name_key)), a[i], b[found->second]);
    }
    for (size_t i : a_left) {
      std::string at = join(path, segment(word, a[i], name_key));
      if (i < b.size() && !b_used[i] && a[i].value("kind", "") == b[i].value("kind", "")) {
        b_used[i] = true;
        TOOL_JSON renamed = {{"change", "renamed"}, {"path", at}, {"old", a[i][name_key]}, {"new", b[i][name_key]}};
        changes.push_back(std::move(renamed));
        TOOL_JSON x = a[i], y = b[i];
        x.erase(name_key);
        y.erase(name_key);
        object(at, x, y);
      } else {
        add("removed", at, a[i], nullptr);
      }
    }
    for (size_t i = 0; i < b.size(); ++i)
      if (!b_used[i]) add("added", join(path, segment(word, b[i], name_key)), nullptr, b[i]);
  }

  // Basic levels are compared by their conditions, not by the text made of them.
  void levels(const std::string& path, const TOOL_JSON& a, const TOOL_JSON& b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
      std::string at = join(path, "level " + std::to_string(i));
      if (i >= b.size()) {
        add("removed", at, a[i], nullptr);
      } else if (i >= a.size()) {
        add("added", at, nullptr, b[i]);
      } else {
        TOOL_JSON x = a[i], y = b[i];
        if (x.value("kind", "") == "basic" && y.value("kind", "") == "basic") {
          for (TOOL_JSON* level : {&x, &y}) {
            level->erase("expression");
            if (level->contains("power_up")) (*level)["power_up"].erase("expression");
          }
        }
        object(at, x, y);
      }
    }
  }

  void conditions(const std::string& path, const TOOL_JSON& a, const TOOL_JSON& b) {
    const std::string dont_care = "dont_care";
    for (auto& item : a.items()) {
      std::string at = join(path, "signal '" + item.key() + "'");
      TOOL_JSON other = b.contains(item.key()) ? b[item.key()] : TOOL_JSON(dont_care);
      if (item.value() != other) add("changed", at, item.value(), other);
    }
    for (auto& item : b.items())
      if (!a.contains(item.key()))
        add("changed", join(path, "signal '" + item.key() + "'"), dont_care, item.value());
  }

  // The earliest differing sample, and at it the first differing data wire.
  void samples(const std::string& path, const TOOL_JSON& a, const TOOL_JSON& b) {
    TDR_DATA_LOG* x = logs[0]->at(a.get<size_t>());
    TDR_DATA_LOG* y = logs[1]->at(b.get<size_t>());
    TDR_DATA_SIGNAL_SET* set = x->get_signal_set();
    if (!set || !y->get_signal_set()) return;
    int depth = std::min(x->get_data_sample_depth(), y->get_data_sample_depth());
    int wires = std::min(set->get_data_wire_width(), y->get_signal_set()->get_data_wire_width());
    for (int s = 0; s < depth; ++s) {
      for (int w = 0; w < wires; ++w) {
        bool old_bit = x->get_bit(w, s), new_bit = y->get_bit(w, s);
        if (old_bit == new_bit) continue;
        const TDR_DATA_SIGNAL_WIRE* wire = set->get_data_wire_at(w);
        const char* alias = wire ? wire->get_alias() : nullptr;
        const char* name = alias && *alias ? alias : wire && wire->get_name() ? wire->get_name() : "";
        changes.push_back({{"change", "changed"}, {"path", path}, {"sample", s}, {"signal", name},
                           {"old", int(old_bit)}, {"new", int(new_bit)}});
        return;
      }
    }
  }
};

std::string shown(const TOOL_JSON& value) {
  if (value.is_object() || value.is_array()) return value.is_object() ? "{…}" : "[…]";
  return value.dump();
}

void print_text(const TOOL_JSON& changes) {
  for (const TOOL_JSON& c : changes) {
    std::string kind = c["change"].get<std::string>();
    std::string path = c["path"].get<std::string>();
    if (kind == "renamed")
      std::printf("renamed %s -> '%s'\n", path.c_str(), c["new"].get<std::string>().c_str());
    else if (kind != "changed")
      std::printf("%s %s\n", kind.c_str(), path.c_str());
    else if (c.contains("sample"))
      std::printf("changed %s: first difference at sample %d, signal '%s': %d -> %d\n", path.c_str(),
                  c["sample"].get<int>(), c["signal"].get<std::string>().c_str(), c["old"].get<int>(),
                  c["new"].get<int>());
    else
      std::printf("changed %s: %s -> %s\n", path.c_str(), shown(c["old"]).c_str(), shown(c["new"]).c_str());
  }
}

}  // namespace

int cmd_diff(int argc, char** argv) {
  if (tool_wants_help(argc, argv, DIFF_HELP)) return TOOL_OK;
  TOOL_ARGS args;
  if (!args.parse(argc, argv, 2, {}, "diff", {"--json"})) return TOOL_USAGE;
  if (args.positional.size() != 2) return tool_error("diff: expected A B (see 'tdr diff --help')");
  // Both stay open while they are compared (an open file opened again is the
  // same session, counted twice).
  TDR_DATA_SESSION* sessions[2] = {nullptr, nullptr};
  std::vector<TDR_DATA_LOG*> logs[2];
  TOOL_JSON trees[2];
  for (int i = 0; i < 2; ++i) {
    sessions[i] = tool_open(args.positional[size_t(i)]);
    if (!sessions[i]) {
      tool_close(sessions[0]);
      return tool_result(TOOL_IO_ERROR);
    }
    trees[i] = session_json(sessions[i], args.positional[size_t(i)], &logs[i]);
  }
  DIFFER differ;
  differ.logs[0] = &logs[0];
  differ.logs[1] = &logs[1];
  differ.object("", trees[0], trees[1]);
  tool_close(sessions[1]);
  tool_close(sessions[0]);
  if (args.has("--json"))
    std::printf("%s\n", differ.changes.dump(2).c_str());
  else
    print_text(differ.changes);
  return tool_result(differ.changes.empty() ? TOOL_OK : TOOL_DIFFERS);
}
