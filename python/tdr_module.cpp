// The Python module "tdr": sessions and everything under them, log samples as
// numpy arrays, the editing layer and script replay.
//
// Lifetime: every object the module hands out holds the session's shared state.
// Closing a session (or leaving its `with` block) marks that state closed, and
// every later use of any of its objects raises ClosedSessionError instead of
// touching freed memory. Editing may delete data objects, so each edit also
// bumps a generation number; handles fetched before it raise StaleObjectError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "msg.h"
#include "tdr_data_instance.h"
#include "tdr_data_log.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_view.h"
#include "tdr_data_signal_wire.h"
#include "tdr_data_trigger.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_script_player.h"
#include "tdr_tx_session.h"
#include "tdr_tx_signal_set.h"
#include "tdr_tx_trigger.h"

namespace py = pybind11;

namespace {

py::handle g_error, g_internal_error, g_closed_error, g_stale_error, g_warning;

// Routes the library's messages of one call: warnings become Python warnings
// once the call is over, errors and internal errors an exception.
class MESSAGE_SCOPE : public MSG_SINK {
 public:
  MESSAGE_SCOPE() : m_previous(msg_set_sink(this)) {}
  ~MESSAGE_SCOPE() override { restore(); }

  void on_message(const MSG_RECORD& r) override {
    if (r.severity == MSG_SEVERITY_WARNING)
      m_warnings.push_back(r.id + ": " + r.text);
    else if (r.severity == MSG_SEVERITY_ERROR)
      m_errors.push_back(r.id + ": " + r.text);
  }
  void on_internal_error(const char* condition, const char* module, const char* file,
                         int line) override {
    m_internal.push_back(std::string(module ? module : "") + " " + (file ? file : "") + ":" +
                         std::to_string(line) + ": " + (condition ? condition : ""));
  }
  void on_debug(const char*, const char*) override {}
  bool wants_debug() const override { return false; }

  void finish() {
    restore();
    for (const std::string& w : m_warnings)
      if (PyErr_WarnEx(g_warning.ptr(), w.c_str(), 1) != 0) throw py::error_already_set();
    if (!m_internal.empty()) raise(g_internal_error, m_internal);
    if (!m_errors.empty()) raise(g_error, m_errors);
  }

 private:
  void restore() {
    if (m_restored) return;
    msg_set_sink(m_previous);
    m_restored = true;
  }
  static void raise(py::handle type, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += (text.empty() ? "" : "\n") + l;
    PyErr_SetString(type.ptr(), text.c_str());
    throw py::error_already_set();
  }

  MSG_SINK* m_previous;
  bool m_restored = false;
  std::vector<std::string> m_warnings, m_errors, m_internal;
};

template <class F>
auto guarded(F&& f) {
  MESSAGE_SCOPE scope;
  if constexpr (std::is_void_v<decltype(f())>) {
    f();
    scope.finish();
  } else {
    auto result = f();
    scope.finish();
    return result;
  }
}

[[noreturn]] void raise(py::handle type, const std::string& text) {
  PyErr_SetString(type.ptr(), text.c_str());
  throw py::error_already_set();
}

std::string str(const char* s) { return s ? s : ""; }

// What every handle of one session shares.
struct STATE {
  TDR_DATA_SESSION* data = nullptr;    // open through the manager
  std::unique_ptr<TDR_TX_SESSION> tx;  // or through an editing session
  unsigned generation = 0;

  TDR_DATA_SESSION* session() const { return tx ? tx->get_data_session() : data; }
  void close() {
    MESSAGE_SCOPE quiet;  // closing never raises (it also runs from __del__)
    if (tx) {
      tx->close_session();
      tx.reset();
    } else if (data) {
      TDR_DATA_MANAGER::get_data_repository_manager()->close_independent_session(data);
    }
    data = nullptr;
  }
  ~STATE() { close(); }
};
using STATE_REF = std::shared_ptr<STATE>;

void check_open(const STATE_REF& s) {
  if (!s->session()) raise(g_closed_error, "the session is closed");
}

// A data object of an open session.
template <class T>
struct HANDLE {
  STATE_REF state;
  T* object;
  unsigned generation;
  HANDLE(STATE_REF s, T* o) : state(std::move(s)), object(o), generation(state->generation) {}
  T* get() const {
    check_open(state);
    if (generation != state->generation)
      raise(g_stale_error, "the object was fetched before an edit; fetch it again");
    return object;
  }
};

struct SESSION : HANDLE<TDR_DATA_SESSION> {
  using HANDLE::HANDLE;
};
using INSTANCE = HANDLE<TDR_DATA_INSTANCE>;
using SIGNAL_SET = HANDLE<TDR_DATA_SIGNAL_SET>;
using WIRE = HANDLE<TDR_DATA_SIGNAL_WIRE>;
using VIEW = HANDLE<TDR_DATA_SIGNAL_VIEW>;
using TRIGGER = HANDLE<TDR_DATA_TRIGGER>;
using LOG = HANDLE<TDR_DATA_LOG>;

template <class T, class P, class N, class G>
std::vector<HANDLE<T>> children(const HANDLE<P>& parent, N count, G at) {
  P* p = parent.get();
  std::vector<HANDLE<T>> out;
  for (int i = 0; i < (p->*count)(); ++i)
    if (T* c = (p->*at)(i)) out.emplace_back(parent.state, c);
  return out;
}

std::string wire_label(const TDR_DATA_SIGNAL_WIRE* w) {
  const char* alias = w->get_alias();
  return alias && *alias ? alias : str(w->get_name());
}

py::list view_nodes(TDR_DATA_SIGNAL_VIEW_NODE node) {
  py::list out;
  for (; !node.is_null(); node = node.get_next_sibling()) {
    py::dict d;
    d["name"] = str(node.get_name());
    d["alias"] = str(node.get_alias());
    d["bus"] = node.is_bus();
    if (node.is_bus()) d["members"] = view_nodes(node.get_first_child());
    out.append(d);
  }
  return out;
}

py::bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return py::bytes(text.str());
}

// A scratch file that goes away with this object.
struct TEMP_FILE {
  std::string path;
  TEMP_FILE() {
    char name[] = "/tmp/tdr_py_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) raise(PyExc_OSError, "cannot make a scratch file");
    close(fd);
    path = name;
  }
  ~TEMP_FILE() { std::remove(path.c_str()); }
};

SESSION open_session(const std::string& path) {
  auto state = std::make_shared<STATE>();
  state->data = guarded([&] {
    return TDR_DATA_MANAGER::get_data_repository_manager()->open_independent_session(path.c_str());
  });
  if (!state->data) raise(g_error, "cannot open session '" + path + "'");
  return SESSION(state, state->data);
}

// The editing layer over one session.
struct EDITOR {
  STATE_REF state;
  TDR_TX_SESSION* tx() const {
    check_open(state);
    return state->tx.get();
  }
  TDR_TX_INSTANCE* instance(int i) const {
    TDR_TX_INSTANCE* x = tx()->get_instance_at(i, true);
    if (!x) raise(PyExc_IndexError, "no instance " + std::to_string(i));
    return x;
  }
  template <class T>
  T* part(T* p, int i) const {
    if (!p) raise(PyExc_IndexError, "instance " + std::to_string(i) + " has no such part");
    return p;
  }
  TDR_TX_TRIGGER* trigger(int i) const { return part(tx()->get_trigger_at(i, true), i); }
  TDR_TX_SIGNAL_SET* signal_set(int i) const { return part(tx()->get_signal_set_at(i, true), i); }
  // The setup view's node list (the trigger's) or the data view's (the signal set's).
  TDR_TX_SIGNAL_NODES* nodes(int i, bool setup) const {
    return setup ? static_cast<TDR_TX_SIGNAL_NODES*>(trigger(i)) : signal_set(i);
  }
  // Runs one edit; the data objects handed out before it go stale.
  template <class F>
  bool edit(F&& f) {
    tx();
    ++state->generation;
    return guarded(std::forward<F>(f));
  }
};

EDITOR edit_session(const std::string& path) {
  auto state = std::make_shared<STATE>();
  state->tx = std::make_unique<TDR_TX_SESSION>();
  bool ok = guarded([&] { return state->tx->open_session(path.c_str()); });
  if (!ok) {
    state->tx.reset();
    raise(g_error, "cannot open session '" + path + "' for editing");
  }
  return EDITOR{state};
}

py::dict replay(const std::string& script, const std::string& from_file,
                const std::string& output_dir, bool verify) {
  TDR_TX_SCRIPT_PLAYER player;
  if (!from_file.empty()) player.set_from_file(from_file);
  if (!output_dir.empty()) player.set_output_dir(output_dir);
  player.set_verify(verify);
  std::vector<std::string> report;
  player.set_report([&](const std::string& line) { report.push_back(line); });
  TDR_TX_SCRIPT_PLAYER::RESULT result = guarded([&] {
    return player.load_file(script) ? player.run() : TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED;
  });
  if (result == TDR_TX_SCRIPT_PLAYER::REPLAY_FAILED) raise(g_error, player.get_error());
  py::dict out;
  out["ok"] = result == TDR_TX_SCRIPT_PLAYER::REPLAY_OK;
  out["calls"] = player.get_calls_replayed();
  out["saved"] = player.get_check_points_saved();
  out["verified"] = player.get_check_points_verified();
  out["mismatches"] = player.get_mismatches();
  out["report"] = report;
  return out;
}

}  // namespace

PYBIND11_MODULE(tdr, m) {
  m.doc() = "Sessions of the Tavrin on-chip logic analyser: read, analyse, edit, save.";

  // Exception and warning types; the module keeps them alive for the handles.
  auto type = [&](const char* name, PyObject* base, const char* doc) {
    py::object t = py::reinterpret_steal<py::object>(
        PyErr_NewExceptionWithDoc((std::string("tdr.") + name).c_str(), doc, base, nullptr));
    m.attr(name) = t;
    return t.release();
  };
  g_error = type("TdrError", PyExc_RuntimeError,
                 "An error the library reported (bad file, failed save...).");
  g_internal_error =
      type("InternalError", g_error.ptr(), "The library found one of its own conditions broken.");
  g_closed_error =
      type("ClosedSessionError", g_error.ptr(), "An object of a closed session was used.");
  g_stale_error = type("StaleObjectError", g_error.ptr(),
                       "An object fetched before an edit was used after it.");
  g_warning = type("TdrWarning", PyExc_UserWarning,
                   "A warning the library reported (duplicate name, bad reference...).");

  py::enum_<TDR_DATA_TRIGGER_CONDITION>(m, "Condition", "Condition of one signal in a level.")
      .value("DISABLE", TDR_CTYPE_DISABLE_COND)
      .value("ACTIVE_HIGH", TDR_CTYPE_ACTIVE_HIGH_COND)
      .value("ACTIVE_LOW", TDR_CTYPE_ACTIVE_LOW_COND)
      .value("HIGH", TDR_CTYPE_HIGH_COND)
      .value("LOW", TDR_CTYPE_LOW_COND)
      .value("RISING_EDGE", TDR_CTYPE_RISING_EDGE_COND)
      .value("FALLING_EDGE", TDR_CTYPE_FALLING_EDGE_COND)
      .value("EITHER_EDGE", TDR_CTYPE_EITHER_EDGE_COND)
      .value("DONT_CARE", TDR_CTYPE_DONT_CARE_COND);

  py::enum_<TDR_DATA_TRIGGER_POSITION>(m, "Position", "Where the trigger sample sits in a log.")
      .value("PRE", TDR_PTYPE_PRE_POS)
      .value("CENTER", TDR_PTYPE_CENTER_POS)
      .value("POST", TDR_PTYPE_POST_POS)
      .value("CONTINUOUS", TDR_PTYPE_CONTINUOUS_POS);

  py::class_<LOG>(m, "Log", "One acquisition recorded under a trigger.")
      .def_property_readonly(
          "name", [](const LOG& l) { return str(l.get()->get_name()); }, "The log's name.")
      .def_property_readonly(
          "sample_depth", [](const LOG& l) { return l.get()->get_data_sample_depth(); },
          "Number of samples (rows of `samples`).")
      .def_property_readonly(
          "trigger_position", [](const LOG& l) { return l.get()->get_data_trigger_position(); },
          "Index of the trigger sample, -1 when unknown.")
      .def_property_readonly(
          "segment_size", [](const LOG& l) { return l.get()->get_data_segment_size(); },
          "Samples per segment; 0 when the log is not segmented.")
      .def_property_readonly(
          "power_up", [](const LOG& l) { return l.get()->is_power_up_trigger(); },
          "Whether the data came from the power-up trigger.")
      .def_property_readonly(
          "has_data", [](const LOG& l) { return l.get()->is_data_available(); },
          "Whether the log holds samples.")
      .def_property_readonly(
          "signal_names",
          [](const LOG& l) {
            std::vector<std::string> names;
            if (TDR_DATA_SIGNAL_SET* set = l.get()->get_signal_set())
              for (int i = 0; i < set->get_data_wire_width(); ++i)
                names.push_back(wire_label(set->get_data_wire_at(i)));
            return names;
          },
          "Column names of `samples`: each data wire's alias, else its name.")
      .def_property_readonly(
          "samples",
          [](const LOG& l) {
            TDR_DATA_LOG* log = l.get();
            py::ssize_t rows = std::max(0, log->get_data_sample_depth());
            py::ssize_t cols = std::max(0, log->get_data_width());
            py::array_t<uint8_t> out({rows, cols});
            uint8_t* dst = out.mutable_data();
            const XMLCh* src = log->get_samples();
            size_t n = src ? log->get_samples_length() : 0, total = size_t(rows * cols);
            for (size_t i = 0; i < total; ++i) dst[i] = i < n && src[i] == u'1';
            return out;
          },
          "The samples as a uint8 array of shape (samples, signals), 1 high, 0 low.");

  py::class_<TRIGGER>(m, "Trigger", "A trigger of a signal set: its levels and logs.")
      .def_property_readonly(
          "name", [](const TRIGGER& t) { return str(t.get()->get_name()); }, "The trigger's name.")
      .def_property_readonly(
          "level_count", [](const TRIGGER& t) { return t.get()->get_event_levels(); },
          "Number of trigger levels.")
      .def(
          "is_basic",
          [](const TRIGGER& t, int level) {
            return t.get()->is_trigger_level_basic_condition(level);
          },
          py::arg("level"), "Whether a level uses basic conditions (else an advanced expression).")
      .def(
          "condition_text",
          [](const TRIGGER& t, int level, bool power_up) {
            return guarded([&] { return str(t.get()->get_condition_expression(level, power_up)); });
          },
          py::arg("level"), py::arg("power_up") = false, "The condition text of a basic level.")
      .def(
          "expression",
          [](const TRIGGER& t, int level, bool power_up) {
            return guarded(
                [&] { return str(t.get()->get_advanced_trigger_expression(level, power_up)); });
          },
          py::arg("level"), py::arg("power_up") = false, "The expression of an advanced level.")
      .def(
          "condition",
          [](const TRIGGER& t, int level, int wire, bool power_up) {
            return t.get()->get_condition(level, wire, power_up);
          },
          py::arg("level"), py::arg("wire"), py::arg("power_up") = false,
          "The Condition of one trigger wire in a level.")
      .def_property_readonly(
          "fingerprint",
          [](const TRIGGER& t) { return guarded([&] { return t.get()->get_crc_value(true); }); },
          "The fingerprint computed from the trigger's current setup.")
      .def_property_readonly(
          "stored_fingerprint",
          [](const TRIGGER& t) { return guarded([&] { return t.get()->get_crc_value(false); }); },
          "The fingerprint kept in the file.")
      .def_property_readonly(
          "logs",
          [](const TRIGGER& t) {
            return children<TDR_DATA_LOG>(t, &TDR_DATA_TRIGGER::get_num_logs,
                                          &TDR_DATA_TRIGGER::get_log_at);
          },
          "The trigger's logs.");

  py::class_<WIRE>(m, "Wire", "One signal of a signal set.")
      .def_property_readonly(
          "name", [](const WIRE& w) { return str(w.get()->get_name()); }, "The signal's node name.")
      .def_property_readonly(
          "alias", [](const WIRE& w) { return str(w.get()->get_alias()); },
          "The signal's alias, empty when none.")
      .def_property_readonly(
          "data_index", [](const WIRE& w) { return w.get()->get_data_wire_index(); },
          "Index among the data wires, -1 when not captured.")
      .def_property_readonly(
          "trigger_index", [](const WIRE& w) { return w.get()->get_trigger_wire_index(); },
          "Index among the trigger wires, -1 when not a trigger input.");

  py::class_<VIEW>(m, "View", "The data or setup view of a signal set: nets and buses.")
      .def_property_readonly(
          "nodes", [](const VIEW& v) { return view_nodes(v.get()->get_first_node()); },
          "The view's nodes as dicts (name, alias, bus, members).");

  py::class_<SIGNAL_SET>(m, "SignalSet", "The signals, views and triggers of an instance.")
      .def_property_readonly(
          "name", [](const SIGNAL_SET& s) { return str(s.get()->get_name()); },
          "The signal set's name.")
      .def_property_readonly(
          "clock", [](const SIGNAL_SET& s) { return str(s.get()->get_clock_name()); },
          "The acquisition clock's name.")
      .def_property_readonly(
          "sample_depth", [](const SIGNAL_SET& s) { return s.get()->get_sample_depth(); },
          "The sample depth.")
      .def_property_readonly(
          "data_wires",
          [](const SIGNAL_SET& s) {
            return children<TDR_DATA_SIGNAL_WIRE>(s, &TDR_DATA_SIGNAL_SET::get_data_wire_width,
                                                  &TDR_DATA_SIGNAL_SET::get_data_wire_at);
          },
          "The captured signals, in sample-column order.")
      .def_property_readonly(
          "trigger_wires",
          [](const SIGNAL_SET& s) {
            return children<TDR_DATA_SIGNAL_WIRE>(s, &TDR_DATA_SIGNAL_SET::get_trigger_wire_width,
                                                  &TDR_DATA_SIGNAL_SET::get_trigger_wire_at);
          },
          "The trigger inputs, in trigger-wire order.")
      .def_property_readonly(
          "data_view",
          [](const SIGNAL_SET& s) {
            TDR_DATA_SIGNAL_VIEW* v = s.get()->get_data_view();
            return v ? py::cast(VIEW(s.state, v)) : py::none();
          },
          "The data view, or None.")
      .def_property_readonly(
          "setup_view",
          [](const SIGNAL_SET& s) {
            TDR_DATA_SIGNAL_VIEW* v = s.get()->get_setup_view();
            return v ? py::cast(VIEW(s.state, v)) : py::none();
          },
          "The setup view, or None.")
      .def_property_readonly(
          "triggers",
          [](const SIGNAL_SET& s) {
            return children<TDR_DATA_TRIGGER>(s, &TDR_DATA_SIGNAL_SET::get_num_triggers,
                                              &TDR_DATA_SIGNAL_SET::get_trigger_at);
          },
          "The signal set's triggers.");

  py::class_<INSTANCE>(m, "Instance", "One analyser instance of a session.")
      .def_property_readonly(
          "name", [](const INSTANCE& i) { return str(i.get()->get_name()); },
          "The instance's name.")
      .def_property_readonly(
          "entity_name", [](const INSTANCE& i) { return str(i.get()->get_entity_name()); },
          "The design entity the instance sits in.")
      .def_property_readonly(
          "signal_sets",
          [](const INSTANCE& i) {
            return children<TDR_DATA_SIGNAL_SET>(i, &TDR_DATA_INSTANCE::get_num_signal_sets,
                                                 &TDR_DATA_INSTANCE::get_signal_set_at);
          },
          "The instance's signal sets.");

  py::class_<SESSION>(m, "Session", "An open session file; close it or use it in a `with` block.")
      .def_property_readonly(
          "name",
          [](const SESSION& s) { return str(s.get()->get_name()); },
          "The session's file name.")
      .def_property_readonly(
          "closed", [](const SESSION& s) { return s.state->session() == nullptr; },
          "Whether the session was closed.")
      .def_property_readonly(
          "instances",
          [](const SESSION& s) {
            return children<TDR_DATA_INSTANCE>(s, &TDR_DATA_SESSION::get_num_instances,
                                               &TDR_DATA_SESSION::get_instance_at);
          },
          "The session's instances.")
      .def(
          "save",
          [](const SESSION& s) {
            if (!guarded([&] { return s.get()->save(false); })) raise(g_error, "save failed");
          },
          "Saves the session to its own file.")
      .def(
          "save_as",
          [](const SESSION& s, const std::string& path) {
            if (!guarded([&] { return s.get()->save_as(path.c_str(), false, true); }))
              raise(g_error, "cannot save to '" + path + "'");
          },
          py::arg("path"), "Writes the session to `path`; the session keeps its own name.")
      .def_property_readonly(
          "embedded_files",
          [](const SESSION& s) {
            TDR_DATA_SESSION* d = s.get();
            std::vector<std::string> names;
            for (int i = 0; i < d->get_embedded_kfb_file_count(); ++i)
              names.push_back(str(d->get_embedded_kfb_filename_at(i)));
            return names;
          },
          "Names of the embedded programming files.")
      .def(
          "extract",
          [](const SESSION& s, int index) {
            TEMP_FILE file;
            if (!guarded([&] { return s.get()->extract_kfb_file(index, file.path.c_str()); }))
              raise(g_error, "cannot extract embedded file " + std::to_string(index));
            return read_bytes(file.path);
          },
          py::arg("index"), "The content of an embedded file as bytes.")
      .def(
          "embed",
          [](const SESSION& s, const std::string& name, const py::bytes& data) {
            TEMP_FILE file;
            std::string content = data;
            std::ofstream(file.path, std::ios::binary)
                .write(content.data(), std::streamsize(content.size()));
            if (!guarded([&] { return s.get()->embed_kfb_file(file.path.c_str(), name.c_str()); }))
              raise(g_error, "cannot embed '" + name + "'");
          },
          py::arg("name"), py::arg("data"), "Embeds `data` as a programming file named `name`.")
      .def(
          "close", [](const SESSION& s) { s.state->close(); },
          "Closes the session; its objects raise ClosedSessionError from now on.")
      .def(
          "__enter__", [](const SESSION& s) { return s; }, "Returns the session itself.")
      .def(
          "__exit__", [](const SESSION& s, py::args) { s.state->close(); }, "Closes the session.");

  py::class_<EDITOR>(m, "Editor",
                     "A session opened for editing: undoable edits grouped into actions.")
      .def_property_readonly(
          "session", [](const EDITOR& e) { return SESSION(e.state, e.tx()->get_data_session()); },
          "The data view of the edited session (objects go stale after each edit).")
      .def(
          "begin_action",
          [](EDITOR& e, int i) {
            e.edit([&] {
              e.instance(i)->begin_action();
              return true;
            });
          },
          py::arg("instance"), "Starts an action: the edits up to end_action undo as one.")
      .def(
          "end_action",
          [](EDITOR& e, int i) {
            e.edit([&] {
              e.instance(i)->end_action();
              return true;
            });
          },
          py::arg("instance"), "Ends the current action.")
      .def(
          "undo", [](EDITOR& e, int i) { return e.edit([&] { return e.instance(i)->undo(); }); },
          py::arg("instance"), "Undoes the last action of an instance; False when none.")
      .def(
          "redo", [](EDITOR& e, int i) { return e.edit([&] { return e.instance(i)->redo(); }); },
          py::arg("instance"), "Redoes the last undone action; False when none.")
      .def(
          "set_condition",
          [](EDITOR& e, int i, int node, int level, TDR_DATA_TRIGGER_CONDITION c) {
            return e.edit([&] { return e.trigger(i)->set_trigger_condition(node, level, c); });
          },
          py::arg("instance"), py::arg("node"), py::arg("level"), py::arg("condition"),
          "Sets the condition of a setup-view node in a trigger level.")
      .def(
          "set_level_count",
          [](EDITOR& e, int i, int levels) {
            return e.edit([&] { return e.trigger(i)->set_trigger_level(levels); });
          },
          py::arg("instance"), py::arg("levels"), "Sets the number of trigger levels.")
      .def(
          "set_basic",
          [](EDITOR& e, int i, int level, bool basic) {
            return e.edit(
                [&] { return e.trigger(i)->set_trigger_level_basic_condition(level, basic); });
          },
          py::arg("instance"), py::arg("level"), py::arg("basic"),
          "Makes a level basic or advanced.")
      .def(
          "set_expression",
          [](EDITOR& e, int i, int level, const std::string& text) {
            return e.edit(
                [&] { return e.trigger(i)->set_advanced_expression(level, text.c_str()); });
          },
          py::arg("instance"), py::arg("level"), py::arg("text"),
          "Sets an advanced level's expression.")
      .def(
          "set_trigger_position",
          [](EDITOR& e, int i, TDR_DATA_TRIGGER_POSITION position) {
            return e.edit([&] { return e.trigger(i)->set_trigger_position(position); });
          },
          py::arg("instance"), py::arg("position"), "Places the trigger in the data (a Position).")
      .def(
          "set_segmented",
          [](EDITOR& e, int i, bool segmented) {
            return e.edit([&] {
              return e.trigger(i)->set_trigger_type(segmented ? TDR_TTYPE_SEGMENTED_TRIGGER
                                                              : TDR_TTYPE_CIRCULAR_TRIGGER);
            });
          },
          py::arg("instance"), py::arg("segmented"), "Makes the trigger segmented or circular.")
      .def(
          "set_segment_size",
          [](EDITOR& e, int i, int size) {
            return e.edit([&] { return e.trigger(i)->set_segment_size(size); });
          },
          py::arg("instance"), py::arg("size"), "Sets the samples per segment.")
      .def(
          "set_sample_depth",
          [](EDITOR& e, int i, int depth) {
            return e.edit([&] { return e.signal_set(i)->set_sample_depth(depth); });
          },
          py::arg("instance"), py::arg("depth"), "Sets the signal set's sample depth.")
      .def(
          "nodes",
          [](EDITOR& e, int i, bool setup) {
            TDR_TX_SIGNAL_NODES* n = e.nodes(i, setup);
            std::vector<std::pair<std::string, std::string>> out;
            for (int k = 0; k < n->get_node_count(); ++k)
              out.emplace_back(str(n->get_node_name(k)), str(n->get_node_alias(k)));
            return out;
          },
          py::arg("instance"), py::arg("setup") = false,
          "(name, alias) of each node of the data (or, with setup, the setup) node list.")
      .def(
          "append_node",
          [](EDITOR& e, int i, const std::string& name, bool setup) {
            return e.edit([&] {
              return e.nodes(i, setup)->append_node(name.c_str(), TDR_STYPE_UNKNOWN_SIGNAL,
                                                    TDR_MTYPE_CLASSIC_TAP);
            });
          },
          py::arg("instance"), py::arg("name"), py::arg("setup") = false, "Appends a signal node.")
      .def(
          "delete_nodes",
          [](EDITOR& e, int i, int first, int last, bool setup) {
            return e.edit([&] { return e.nodes(i, setup)->delete_node(first, last); });
          },
          py::arg("instance"), py::arg("first"), py::arg("last"), py::arg("setup") = false,
          "Deletes nodes first..last; returns how many went.")
      .def(
          "set_node_name",
          [](EDITOR& e, int i, int node, const std::string& name, bool setup) {
            return e.edit([&] { return e.nodes(i, setup)->set_node_name(node, name.c_str()); });
          },
          py::arg("instance"), py::arg("node"), py::arg("name"), py::arg("setup") = false,
          "Renames a node.")
      .def(
          "set_alias",
          [](EDITOR& e, int i, int node, const std::string& alias, bool setup) {
            return e.edit([&] { return e.nodes(i, setup)->set_node_alias(node, alias.c_str()); });
          },
          py::arg("instance"), py::arg("node"), py::arg("alias"), py::arg("setup") = false,
          "Sets a node's alias.")
      .def(
          "group_nodes",
          [](EDITOR& e, int i, int first, int last, bool setup) {
            return e.edit([&] { return e.nodes(i, setup)->group_node(first, last, nullptr); });
          },
          py::arg("instance"), py::arg("first"), py::arg("last"), py::arg("setup") = false,
          "Groups nodes first..last into a bus.")
      .def(
          "ungroup_node",
          [](EDITOR& e, int i, int node, bool setup) {
            return e.edit([&] { return e.nodes(i, setup)->ungroup_node(node); });
          },
          py::arg("instance"), py::arg("node"), py::arg("setup") = false, "Dissolves a bus node.")
      .def(
          "set_jtag_device_name",
          [](EDITOR& e, const std::string& name) {
            e.edit([&] {
              e.tx()->set_jtag_device_name(name.c_str());
              return true;
            });
          },
          py::arg("name"), "Sets the session's JTAG device name.")
      .def(
          "save",
          [](EDITOR& e, const std::string& path) {
            if (!e.edit([&] { return e.tx()->save_session(path.c_str()); }))
              raise(g_error, "cannot save to '" + path + "'");
          },
          py::arg("path"), "Commits the edits and saves the session to `path`.")
      .def(
          "close", [](EDITOR& e) { e.state->close(); }, "Closes the session without saving.")
      .def(
          "__enter__", [](const EDITOR& e) { return e; }, "Returns the editor itself.")
      .def(
          "__exit__", [](EDITOR& e, py::args) { e.state->close(); },
          "Closes the session without saving.");

  m.def("open", &open_session, py::arg("path"),
        "Opens a session file (XML or legacy) through the session manager.");
  m.def("edit", &edit_session, py::arg("path"), "Opens a session file for editing.");
  m.def("replay", &replay, py::arg("script"), py::arg("from_file") = "", py::arg("output_dir") = "",
        py::arg("verify") = false,
        "Plays an editing script back; returns a summary dict, raises TdrError when a line fails.");
}
