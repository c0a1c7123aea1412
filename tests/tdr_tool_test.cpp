// Drives the tdr command-line tool as a user and a script would: every
// command, outputs against golden files (info, info --json, exports),
// object-level diffs of sessions that differ in one thing, bad input.
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tdr_data_session.h"
#include "tdr_test_support.h"
#include "tdr_tx_test_support.h"

namespace {

struct RUN {
  int code;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs a shell command, appending its standard output to *out; answers its
// exit code (-1 when it did not exit).
int shell(const std::string& command, std::string* out) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out->append(buf, n);
  int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string sha256(const std::string& path) {
  std::string out;
  shell("sha256sum " + path, &out);
  return out.substr(0, 64);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class ToolTest : public TdrTest {
 protected:
  // Runs the tool from the source folder, so example paths are as in the README.
  RUN run(const std::string& arguments) {
    std::string err_file = temp_path("stderr.txt");
    RUN r{-1, "", ""};
    r.code = shell("cd " + source_dir() + " && " + TDR_TOOL_PATH + " " + arguments + " 2>" +
                       err_file, &r.out);
    r.err = read_file(err_file);
    return r;
  }
  std::string example(const std::string& name) { return source_dir() + "/examples/" + name; }
  // Runs a command that must fail with `code` and a standard-error text
  // holding `err_part`.
  void expect_fails(const std::string& arguments, int code, const std::string& err_part = "") {
    RUN r = run(arguments);
    EXPECT_EQ(r.code, code) << arguments;
    EXPECT_NE(r.err.find(err_part), std::string::npos) << arguments << ": " << r.err;
  }
};

class ToolJsonTest : public ToolTest {};

const std::string PREFIX = "instance 'cpu_probe'/signal set 'bus_capture'/";

}  // namespace

TEST_F(ToolTest, HelpAndBadArgumentsGiveOneClearLine) {
  RUN help = run("--help");
  EXPECT_EQ(help.code, 0);
  for (const char* cmd :
       {"check", "normalize", "info", "kfb", "import", "export", "simulate", "crc", "replay",
        "diff"}) {
    EXPECT_NE(help.out.find(cmd), std::string::npos) << cmd;
    RUN r = run(std::string(cmd) + " --help");
    EXPECT_EQ(r.code, 0) << cmd;
    EXPECT_EQ(r.out.find("usage: tdr " + std::string(cmd)), 0u) << cmd;
  }
  RUN r = run("frobnicate");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "tdr: unknown command 'frobnicate' (see 'tdr --help')\n");
  r = run("check");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  expect_fails("info --bogus x", 2, "unknown option '--bogus'");
  expect_fails("kfb extract f.xml notanumber out", 2, "INDEX must be a number");
}

TEST_F(ToolTest, CheckPrintsMessagesAndExitCodes) {
  RUN r = run("check " + example("demo_session.xml"));
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");

  std::string dup = temp_path("dup.xml");
  write_file(dup, "<session><instance name=\"a\"/><instance name=\"a\"/></session>");
  r = run("check " + dup);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Warning (WTDR_DUPLICATE_NAME): Created entity with duplicate name \"a\"\n");
  EXPECT_FALSE(std::ifstream(temp_path("dup_recovered.xml")).good()) << "no recovery file left";

  std::string bad = temp_path("bad.xml");
  write_file(bad, "<session><instance");
  r = run("check " + bad);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.find("Error (ETDR_SOURCE_GENERIC): Corvane software encountered an error "
                       "while reading Tavrin File " + bad + ", with message"),
            0u)
      << r.out;
  expect_fails("check " + temp_path("missing.xml"), 2, "cannot read session file");
}

TEST_F(ToolTest, NormalizeWritesAFixedPoint) {
  std::string once = temp_path("once.xml"), twice = temp_path("twice.xml");
  RUN r = run("normalize " + example("demo_session.xml") + " " + once);
  ASSERT_EQ(r.code, 0) << r.err;
  r = run("normalize " + once + " " + twice);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_file(once), read_file(twice));
  EXPECT_NE(read_file(once).find("<session "), std::string::npos);
  // In place: the file is replaced by its normal form.
  std::string in_place = temp_path("in_place.xml");
  write_file(in_place, read_file(example("demo_session.xml")));
  r = run("normalize " + in_place + " " + in_place);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_file(in_place), read_file(once));
  expect_fails("normalize " + example("demo_session.xml") + " /nonexistent/dir/out.xml", 2,
               "cannot write");
}

// The tree of the demo session, and of a legacy file once imported, against
// tests/data/data/info/ (the first line names the file given).
TEST_F(ToolTest, InfoShowsTheTreeOfSessionsAndImportedLegacyFiles) {
  std::string imported = temp_path("imported.xml");
  RUN r = run("import " + example("legacy_capture.tvf") + " " + imported);
  ASSERT_EQ(r.code, 0) << r.err;
  for (const std::string& file : {example("demo_session.xml"), imported}) {
    r = run("info " + file);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "session \"" + file + "\"");
    std::string name = file == imported ? "imported_legacy_capture.txt" : "demo_session.txt";
    expect_golden("data/info", name, r.out.substr(r.out.find('\n') + 1));
  }
  expect_fails("import " + temp_path("missing.tvf") + " " + imported, 2, "cannot read legacy file");
}

TEST_F(ToolTest, KfbEmbedListExtract) {
  std::string source = temp_path("board.kfb"), session = temp_path("s.xml");
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes.push_back(char(i * 13 % 256));
  write_file(source, bytes);
  write_file(session, "<session/>");
  RUN r = run("kfb embed " + session + " " + source + " main.kfb");
  ASSERT_EQ(r.code, 0) << r.err;
  r = run("kfb list " + session);
  EXPECT_EQ(r.out, "0\tmain.kfb\t5000 bytes\t-\n");
  r = run("kfb extract " + session + " 0 " + temp_path("out.kfb"));
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_file(temp_path("out.kfb")), bytes);
  expect_fails("kfb extract " + session + " 3 " + temp_path("out.kfb"), 2,
               "no embedded file at index 3");
  expect_fails("kfb embed " + session + " " + temp_path("nothing") + " x", 2);
}

TEST_F(ToolTest, ExportWritesVcdCsvAndSvg) {
  std::string vcd = temp_path("run.vcd");
  RUN r = run("export " + example("demo_session.xml") + " -o " + vcd);
  ASSERT_EQ(r.code, 0) << r.err;
  expect_golden("data/export", "demo.vcd", read_file(vcd));
  if (std::system("command -v vcd2fst >/dev/null 2>&1") == 0) {
    std::string cmd = "vcd2fst " + vcd + " " + temp_path("run.fst") + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "vcd2fst refused the file";
  }
  // The SVG titles every bus box with its value; labels that do not fit end in an ellipsis.
  for (const auto& [golden, options] : {std::pair<const char*, const char*>{
           "demo_io_probe.csv", "--instance io_probe --format csv"}, {"demo.svg", "--format svg"}}) {
    r = run("export " + example("demo_session.xml") + " " + options);
    ASSERT_EQ(r.code, 0) << r.err;
    expect_golden("data/export", golden, r.out);
  }

  // A window is the rows of the whole export; the trigger only inside it.
  std::vector<std::string> all = lines(run("export examples/demo_session.xml --format csv").out);
  ASSERT_EQ(all.size(), 65u);
  std::vector<std::string> expected = {all[0]};
  expected.insert(expected.end(), all.begin() + 31, all.begin() + 36);
  EXPECT_EQ(lines(run("export examples/demo_session.xml --format csv --samples 30:34").out), expected);
  EXPECT_EQ(run("export examples/demo_session.xml --format svg --samples 40:44").out.find(">trigger</text>"),
            std::string::npos);

  expect_fails("export " + example("demo_session.xml") + " --format png", 2);
  r = run("export " + example("demo_session.xml") + " --log nothing");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "tdr: no log named nothing in trigger 'addr_watch'\n");
}

// Eight-bit buses over the samples 00 41 2C 22 80 FF 7F in every radix and a
// table, names with blanks, bars, commas and quotes: the CSV and VCD files.
TEST_F(ToolTest, ExportWritesEveryRadixQuotesCsvAndCleansVcdNames) {
  // Windows: rows and changes from FROM on, the trigger only inside; signals
  // by name, alias and shell pattern, in their own order.
  const std::pair<const char*, const char*> runs[] = {
      {"radix_session.csv", "--format csv"},
      {"radix_session.vcd", ""},
      {"window.csv", "--format csv --samples 3:5 --signals 'say*,hex bus,lo?bit,d\\[3\\]'"},
      {"window.vcd", "--samples 1:3 --signals 'top|a b,raw*'"}};
  for (const auto& run_ : runs) {
    RUN r = run("export " + source_dir() + "/tests/data/data/export/radix_session.xml " +
                run_.second);
    EXPECT_EQ(r.code, 0) << r.err;
    expect_golden("data/export", run_.first, r.out);
  }
}

TEST_F(ToolTest, SimulateAddsALogThatExportsAndChecks) {
  std::string out = temp_path("sim.xml");
  RUN r = run("simulate " + example("demo_session.xml") + " --instance io_probe --log sim -o " + out);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "log \"sim\": 64 samples of 2 data wires\n");
  r = run("info " + out);
  EXPECT_NE(r.out.find("log \"sim\": depth 64"), std::string::npos) << r.out;
  r = run("export " + out + " --instance io_probe --log sim --format csv");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 65);
  expect_fails("simulate " + example("demo_session.xml"), 2);
}

TEST_F(ToolTest, CrcListsStoredAndComputedFingerprintsWithoutChangingTheFile) {
  const std::string xml = test_data("data/trigger/crc_session.xml");
  std::string path = temp_path("crc.xml");
  write_file(path, xml);

  // Worked out apart from the library: CRC-16/MODBUS of "2|1|L|64|N|N" (L
  // levels) over that of the names "clk^a;^a;b;^".
  const std::string kept = "D23B4C20", fresh = "C77B4C20";
  RUN r = run("crc " + path);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "one/s/kept stored=AB12 computed=" + kept + "\none/s/fresh stored=- computed=" +
                       fresh + "\ntwo/q/none stored=- computed=0\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(path), xml);

  EXPECT_NE(run("crc " + temp_path("missing.xml")).code, 0);
  expect_fails("crc", 2);
}

TEST_F(ToolTest, ReplayExitCodesAndSummary) {
  // The recorded example's files share one stamped base name.
  std::string base;
  for (const std::string& name : folder_names(example("recorded")))
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".log") == 0)
      base = name.substr(0, name.size() - 4);
  ASSERT_FALSE(base.empty());
  RUN r = run("replay " + example("recorded/" + base + ".log") + " --verify -o " + temp_dir());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "replay: 18 calls replayed, 2 check points saved, 2 verified\n");
  EXPECT_EQ(r.err, "");

  // A snapshot that differs: exit 1 after the whole script, each check point named.
  std::string dir = temp_path("rec");
  mkdir(dir.c_str(), 0777);
  for (const char* suffix : {".log", "_init.tvf", "_0.tvf", "_1.tvf"})
    write_file(dir + "/" + base + suffix, read_file(example("recorded/" + base + suffix)));
  std::string last = read_file(dir + "/" + base + "_1.tvf");
  write_file(dir + "/" + base + "_1.tvf", last.replace(last.find("@2: "), 4, "@3: "));
  r = run("replay " + dir + "/" + base + ".log --verify -o " + temp_dir());
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "replay: 18 calls replayed, 2 check points saved, 1 verified, mismatch at "
                   "check point 2\n");
  EXPECT_NE(r.err.find(":104: check point 2 ('" + base + "_1.tvf') differs at line 1:\n"),
            std::string::npos)
      << r.err;

  // The hand-written batch edit applied to the demo session; a replay records
  // nothing even where recording is switched on.
  std::string record_dir = temp_path("recording");
  mkdir(record_dir.c_str(), 0777);
  {
    RECORDING on(record_dir);
    r = run("replay " + example("demo_batch_edit.script") + " -o " + temp_dir());
  }
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(folder_names(record_dir), std::vector<std::string>{});
  std::string edited = read_file(temp_path("demo_session_batch_edited.xml"));
  EXPECT_NE(edited.find("<bus alias=\"address\""), std::string::npos);
  EXPECT_NE(edited.find("'valid' == falling edge"), std::string::npos);
  EXPECT_NE(edited.find("<![CDATA[rising('uart|tx') && !'uart|rx']]>"), std::string::npos);

  std::string script = temp_path("bad.script");
  write_file(script, "open_session 'x.xml'\ninstance 3 rename 'a'\n");
  expect_fails("replay " + script + " --from " + example("demo_session.xml"), 2,
               "tdr: " + script + ":2: the session has no instance 3\n");
  // An internal-error report stops the replay; the call that raised it is not counted.
  write_file(script, "open_session 'x.xml'\ninstance 0 set_max_undo_steps 4\n"
                     "instance 0 end_action\ninstance 0 undo\n");
  r = run("replay " + script + " --from " + example("demo_session.xml"));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "replay: 1 calls replayed, 0 check points saved, not verified\n");
  EXPECT_EQ(r.err.find("tdr: " + script + ":3: internal error: Action has not been started"), 0u)
      << r.err;
  write_file(script, "open_session 'x.xml'\ninstance 0 frobnicate\n");
  expect_fails("replay " + script, 2, "tdr: " + script + ":2: unknown operation 'frobnicate'\n");
  expect_fails("replay " + script + " -o " + temp_path("none"), 2, "is not a folder");
  expect_fails("replay " + temp_dir(), 2, "tdr: " + temp_dir() + ": cannot read the script\n");
}

TEST_F(ToolJsonTest, InfoJsonMatchesTheGoldenFiles) {
  nlohmann::json info;  // the demo's
  for (std::string name : {"legacy_capture.tvf", "demo_session.xml"}) {
    RUN r = run("info --json examples/" + name);
    ASSERT_EQ(r.code, 0) << name << r.err;
    info = nlohmann::json::parse(r.out);
    std::string golden = test_data("info_" + name.substr(0, name.find('.')) + ".json");
    EXPECT_EQ(info, nlohmann::json::parse(golden)) << name << "\n" << r.out;
  }
  // The hash is that of the bytes the file unpacks to.
  std::string extracted = temp_path("board.kfb");
  ASSERT_EQ(run("kfb extract examples/demo_session.xml 0 " + extracted).code, 0);
  EXPECT_EQ(sha256(extracted), info["embedded_files"][0]["sha256"]);
}

TEST_F(ToolJsonTest, DiffReportsExactlyTheOneDifference) {
  std::string base = temp_path("base.xml");  // the demo as the library writes it
  ASSERT_EQ(run("normalize examples/demo_session.xml " + base).code, 0);
  std::string text = read_file(base);
  // The file NAME.xml: the base with every `from` replaced by `to`.
  auto variant = [&](const std::string& name, const std::string& from, const std::string& to) {
    std::string t = text, path = temp_path(name + ".xml");
    for (size_t at = t.find(from); at != std::string::npos; at = t.find(from, at + to.size()))
      t.replace(at, from.size(), to);
    write_file(path, t);
    return path;
  };
  // One sample of the log flipped: the run's data string, offset 100.
  std::string flipped = text;
  flipped[flipped.find("trigger_position=\"32\">") + 22 + 100] ^= '0' ^ '1';
  write_file(temp_path("sample.xml"), flipped);
  // The embedded file replaced by other bytes of the same size.
  std::string kfb = temp_path("other.kfb");
  write_file(kfb, std::string(2048, 'k'));
  std::string replaced_kfb = temp_path("kfb.xml");
  {
    TDR_DATA_SESSION session(base.c_str());
    ASSERT_TRUE(session.remove_embedded_kfb_at(0));
    ASSERT_TRUE(session.embed_kfb_file(kfb.c_str(), "board.kfb"));
    ASSERT_TRUE(session.save_as(replaced_kfb.c_str(), true, true));
  }
  std::string other_sha = sha256(kfb);

  struct CASE {
    std::string name, file;
    std::vector<std::string> expected;
  } cases[] = {
      {"renamed wire", variant("wire", "name=\"cpu|ready\"", "name=\"cpu|rdy\""),
       {"renamed " + PREFIX + "wire 'cpu|ready' -> 'cpu|rdy'",
        "renamed " + PREFIX + "data_view/net 'cpu|ready' -> 'cpu|rdy'"}},
      {"level condition", variant("cond", "'valid' == rising edge", "'valid' == either edge"),
       {"changed " + PREFIX + "trigger 'addr_watch'/level 0/signal 'valid': "
                                           "\"rising edge\" -> \"either edge\""}},
      {"same conditions in other words",
       variant("words", "'valid' == rising edge &amp;&amp; 'addr' == FETCH",
               "'addr' == FETCH &amp;&amp; 'valid' == rising edge"),
       {}},
      {"log sample", temp_path("sample.xml"),
       {"changed " + PREFIX + "trigger 'addr_watch'/log 'run1'/samples: "
                                           "first difference at sample 16, signal 'valid': 0 -> 1"}},
      {"embedded file", replaced_kfb,
       {"changed embedded file 'board.kfb'/sha256: \"90756cd4368709ba88973befb78e0490d6fa35f7ae290fa4f15a0f18425d4c46\" -> \"" +
        other_sha + "\""}},
      {"normalized original", "examples/demo_session.xml", {}},
  };
  for (const CASE& c : cases) {
    RUN r = run("diff " + base + " " + c.file);
    EXPECT_EQ(r.code, c.expected.empty() ? 0 : 1) << c.name << r.err;
    EXPECT_EQ(lines(r.out), c.expected) << c.name;
  }

  // The same differences as JSON.
  RUN r = run("diff --json " + base + " " + cases[3].file);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(nlohmann::json::parse(r.out),
            nlohmann::json::parse("[{\"change\": \"changed\", \"path\": \"" + PREFIX +
                                  "trigger 'addr_watch'/log 'run1'/samples\", \"sample\": 16, "
                                  "\"signal\": \"valid\", \"old\": 0, \"new\": 1}]"));
  r = run("diff --json " + base + " " + cases[0].file);
  nlohmann::json changes = nlohmann::json::parse(r.out);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0]["old"], "cpu|ready");
  EXPECT_EQ(changes[0]["new"], "cpu|rdy");
}

TEST_F(ToolJsonTest, BadInput) {
  const std::string demo = "examples/demo_session.xml";
  for (const char* window : {"5", "a:b", "3:1", "-1:2", "1:2:3", "64:70", "+1:3"}) {
    RUN r = run("export " + demo + " --samples '" + window + "'");
    EXPECT_EQ(r.code, 2) << window;
    EXPECT_NE(r.err.find("--samples must be FROM:TO"), std::string::npos) << r.err;
  }
  RUN r = run("export " + demo + " --format csv --signals nothing");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "tdr: warning: pattern 'nothing' matches no signal\n");
  EXPECT_EQ(lines(r.out)[0], "sample,trigger");
  EXPECT_EQ(lines(r.out).size(), 65u);

  std::string not_session = temp_path("notes.txt");
  write_file(not_session, "shopping list\n");
  r = run("info --json " + not_session);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("is not a readable session file"), std::string::npos) << r.err;
  EXPECT_EQ(run("info --json " + temp_path("missing.xml")).code, 2);
  // diff keeps 1 for "different": trouble is 2.
  EXPECT_EQ(run("diff " + demo + " " + not_session).code, 2);
  EXPECT_EQ(run("diff " + demo).code, 2);
  EXPECT_EQ(run("diff --bogus " + demo + " " + demo).code, 2);
}
