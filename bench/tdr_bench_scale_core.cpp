// Scaling rows of the XML toolkit, the generic element sessions and the
// condition scanner. Each iteration runs the operation at size N and at 10 N;
// the counter "growth" is time(10 N) / time(N) over all iterations (10 means
// linear), "bound" the largest growth accepted and "met" whether it held. The
// sizes are small enough for the test suite's single run under the sanitizers.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "tdr_basic.h"
#include "tdr_data_xml_io.h"
#include "tdr_data_xml_util.h"
#include "tdr_lang.h"

namespace {

std::string scratch_path(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/tdr_bench_core_" +
         std::to_string(getpid()) + "_" + name;
}

void write_text(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// Runs `op(n)` and `op(10 n)` per iteration (each returns false on a wrong
// result) and reports their time ratio against `bound`.
void run_growth(benchmark::State& state, int n, double bound,
                const std::function<bool(int)>& op) {
  double small_s = 0, large_s = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    bool ok = op(n);
    auto t1 = std::chrono::steady_clock::now();
    ok = op(10 * n) && ok;
    auto t2 = std::chrono::steady_clock::now();
    if (!ok) {
      state.SkipWithError("wrong result");
      return;
    }
    small_s += std::chrono::duration<double>(t1 - t0).count();
    large_s += std::chrono::duration<double>(t2 - t1).count();
  }
  double growth = small_s > 0 ? large_s / small_s : 0;
  state.counters["n"] = n;
  state.counters["growth"] = growth;
  state.counters["bound"] = bound;
  state.counters["met"] = growth <= bound ? 1 : 0;
}

// A generic session over one instance of `nodes` elements in groups of 1,000:
// a full snapshot, a difference snapshot of nodes / 100 changed attributes,
// then undo and redo (each rebuilds the tree from the records).
bool basic_snapshot_cycle(int nodes) {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  std::string text = "<session><top>";
  for (int g = 0; g < nodes / 1000; ++g) {
    text += "<group>";
    for (int i = 0; i < 999; ++i) text += "<node v=\"0\"/>";
    text += "</group>";
  }
  text += "</top></session>";
  std::string path = scratch_path("basic.xml");
  write_text(path, text);
  TDR_BASIC_SESSION session("session", nullptr, true);
  bool ok = session.open(path.c_str()) == TDR_BASIC_ERROR_CODE_OK;
  std::remove(path.c_str());
  if (!ok || session.get_num_instance_elements() != 1) return false;
  TDR_BASIC_UNDO_BUFFER* buffer = session.get_instance_at(0)->get_undo_buffer();
  buffer->save_snapshot();
  TDR_BASIC_ELEMENT* top = session.get_instance_at(0);
  int groups = top->get_number_of_child_elements(nullptr);
  for (int c = 0; c < nodes / 100; ++c)
    top->get_child_element(static_cast<unsigned>(c % groups))
        ->get_child_element(static_cast<unsigned>(c / groups % 999))
        ->set_attribute("v", "1");
  buffer->save_snapshot();
  top->set_attribute("t", "2");
  if (!buffer->undo() || !buffer->redo()) return false;
  std::string v;
  session.get_instance_at(0)->get_child_element(0u)->get_child_element(0u)->get_attribute("v", &v);
  return v == "1" && buffer->get_record_at(1)->get_num_modifiers() == nodes / 100;
}

// Reading and saving a flat document of `elements` elements.
bool xml_read_save(int elements) {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  std::string text = "<session>";
  for (int i = 0; i < elements; ++i) text += "<wire name=\"w" + std::to_string(i) + "\"/>";
  text += "</session>";
  std::string in = scratch_path("in.xml"), out = scratch_path("out.xml");
  write_text(in, text);
  std::unique_ptr<ZENVOR_DOM_PARSER> parser = tdr_xml_read_file(in.c_str(), in.c_str());
  bool ok = parser && tdr_xml_write_file(parser->getDocument(), out.c_str(), true);
  std::remove(in.c_str());
  std::remove(out.c_str());
  return ok;
}

// Printing an element holding `count` white-space texts and one with them
// after a condition text (the printer's trailing white-space rule).
bool xml_print_white_space(int count) {
  TDR_DATA_XML_UTIL::ensure_xml_initialized();
  xercesc::DOMImplementation* impl =
      xercesc::DOMImplementationRegistry::getDOMImplementation(u"LS");
  xercesc::DOMDocument* d = impl->createDocument(nullptr, u"r", nullptr);
  xercesc::DOMElement* data = d->createElement(u"data");
  xercesc::DOMElement* level = d->createElement(u"level");
  d->getDocumentElement()->appendChild(data);
  d->getDocumentElement()->appendChild(level);
  level->appendChild(d->createTextNode(u"cond "));
  for (int i = 0; i < count; ++i) {
    data->appendChild(d->createTextNode(i % 2 ? u" " : u"\n"));
    level->appendChild(d->createTextNode(u"\t"));
  }
  std::ostringstream out;
  TDR_DATA_XML_DOM_FORMAT target(out);
  xercesc::XMLFormatter f("US-ASCII", &target, xercesc::XMLFormatter::NoEscapes,
                          xercesc::XMLFormatter::UnRep_CharRef);
  TDR_DATA_XML_PRINT::start(&f, true);
  out << static_cast<xercesc::DOMNode*>(d);
  TDR_DATA_XML_PRINT::end(true);
  d->release();
  std::string kept;
  for (int i = 0; i < count; ++i) kept += i % 2 ? " " : "\n";
  return out.str() == "<r>\n  <data>" + kept + "</data>\n  <level>cond\n  </level>\n</r>\n";
}

class COUNTING_TARGET : public TDR_LANG_TARGET {
 public:
  long calls = 0;
  int find_trigger_wire_index(const char* name) override {
    return name[0] == 'a' ? 0 : TDR_LANG_NO_SUCH_WIRE;
  }
  void set_condition_by_index(int, int, TDR_DATA_TRIGGER_CONDITION, bool) override { ++calls; }
  void set_condition_by_node(const char*, int, TDR_DATA_TRIGGER_CONDITION, bool) override {
    ++calls;
  }
  void set_condition_by_value(const char*, int, long, bool) override { ++calls; }
  void set_condition_by_symbol(const char*, int, const char*, bool) override { ++calls; }
  void set_condition_by_table_symbol(const char*, int, const char*, const char*, bool) override {
    ++calls;
  }
};

// A condition of `clauses` clauses of every form.
bool lang_clauses(int clauses) {
  const char* forms[] = {"'a' == high", "'bus' == 0x5", "'bus' == st.S", "grp == rising edge"};
  std::string text;
  for (int i = 0; i < clauses; ++i) (text += i ? " && " : "") += forms[i % 4];
  COUNTING_TARGET target;
  return tdr_lang_parse_condition(text.c_str(), &target, 0, "trig", false) &&
         target.calls == clauses;
}

// Three single tokens of `chars` characters: a name, a quoted name, a number.
bool lang_huge_tokens(int chars) {
  const std::string big(static_cast<size_t>(chars), 'x'), nines(static_cast<size_t>(chars), '9');
  COUNTING_TARGET target;
  return tdr_lang_parse_condition((big + " == low && '" + big + "\\'' == " + nines).c_str(),
                                  &target, 0, "trig", false) &&
         target.calls == 2;
}

void BM_basic_snapshot_growth(benchmark::State& state) {
  run_growth(state, 1000, 15, basic_snapshot_cycle);
}
void BM_xml_read_save_growth(benchmark::State& state) {
  run_growth(state, 4000, 15, xml_read_save);
}
void BM_xml_print_white_space_growth(benchmark::State& state) {
  run_growth(state, 3000, 15, xml_print_white_space);
}
void BM_lang_clauses_growth(benchmark::State& state) {
  run_growth(state, 10000, 15, lang_clauses);
}
void BM_lang_huge_tokens_growth(benchmark::State& state) {
  run_growth(state, 50000, 15, lang_huge_tokens);
}

}  // namespace

BENCHMARK(BM_basic_snapshot_growth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_xml_read_save_growth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_xml_print_white_space_growth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_lang_clauses_growth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_lang_huge_tokens_growth)->Unit(benchmark::kMillisecond);
