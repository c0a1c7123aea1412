// The tdr tool for scripts: info --json against golden files, object-level
// diff of sessions that differ in one thing, export windows and SVG, bad input.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tdr_data_session.h"
#include "tdr_test_support.h"

namespace {

struct RUN {
  int code;
  std::string out, err;
};

// Standard output of a shell command.
std::string shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class ToolJsonTest : public TdrTest {
 protected:
  // Runs the tool from the source folder, so example paths are as in the README.
  RUN run(const std::string& arguments) {
    std::string err_file = temp_path("stderr.txt");
    std::string cmd = "cd " + source_dir() + " && " + TDR_TOOL_PATH + " " + arguments + " 2>" + err_file;
    RUN r{-1, "", ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = read_file(err_file);
    return r;
  }
  // The demo as the library writes it, the base of every variant.
  std::string normalized_demo() {
    std::string path = temp_path("base.xml");
    EXPECT_EQ(run("normalize examples/demo_session.xml " + path).code, 0);
    return path;
  }
  std::string variant(const std::string& name, const std::string& text) {
    std::string path = temp_path(name + ".xml");
    write_file(path, text);
    return path;
  }
};

const char* const PREFIX = "instance 'cpu_probe'/signal set 'bus_capture'/";

}  // namespace

TEST_F(ToolJsonTest, InfoJsonMatchesTheGoldenFiles) {
  for (const char* name : {"demo_session.xml", "legacy_capture.tvf"}) {
    RUN r = run(std::string("info --json examples/") + name);
    ASSERT_EQ(r.code, 0) << name << r.err;
    std::string stem = std::string(name).substr(0, std::string(name).find('.'));
    nlohmann::json golden = nlohmann::json::parse(read_file(source_dir() + "/tests/data/info_" + stem + ".json"));
    EXPECT_EQ(nlohmann::json::parse(r.out), golden) << name << "\n" << r.out;
  }
  // The hash is that of the bytes the file unpacks to.
  RUN r = run("info --json examples/demo_session.xml");
  nlohmann::json info = nlohmann::json::parse(r.out);
  std::string extracted = temp_path("board.kfb");
  ASSERT_EQ(run("kfb extract examples/demo_session.xml 0 " + extracted).code, 0);
  EXPECT_EQ(shell("sha256sum " + extracted).substr(0, 64), info["embedded_files"][0]["sha256"]);
}

TEST_F(ToolJsonTest, DiffReportsExactlyTheOneDifference) {
  std::string base = normalized_demo();
  std::string text = read_file(base);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    for (size_t at = t.find(from); at != std::string::npos; at = t.find(from, at + to.size()))
      t.replace(at, from.size(), to);
    return t;
  };
  // One sample of the log flipped: the run's data string, offset 100.
  std::string flipped = text;
  size_t data = flipped.find("trigger_position=\"32\">") + 22 + 100;
  flipped[data] = flipped[data] == '0' ? '1' : '0';
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
  std::string other_sha = shell("sha256sum " + kfb).substr(0, 64);

  struct CASE {
    std::string name, file;
    std::vector<std::string> expected;
  } cases[] = {
      {"renamed wire", variant("wire", replaced("name=\"cpu|ready\"", "name=\"cpu|rdy\"")),
       {"renamed " + std::string(PREFIX) + "wire 'cpu|ready' -> 'cpu|rdy'",
        "renamed " + std::string(PREFIX) + "data_view/net 'cpu|ready' -> 'cpu|rdy'"}},
      {"level condition", variant("cond", replaced("'valid' == rising edge", "'valid' == either edge")),
       {"changed " + std::string(PREFIX) + "trigger 'addr_watch'/level 0/signal 'valid': "
                                           "\"rising edge\" -> \"either edge\""}},
      {"same conditions in other words", variant("words", replaced("'valid' == rising edge &amp;&amp; 'addr' == FETCH",
                                                                   "'addr' == FETCH &amp;&amp; 'valid' == rising edge")),
       {}},
      {"log sample", variant("sample", flipped),
       {"changed " + std::string(PREFIX) + "trigger 'addr_watch'/log 'run1'/samples: "
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
            nlohmann::json::parse("[{\"change\": \"changed\", \"path\": \"" + std::string(PREFIX) +
                                  "trigger 'addr_watch'/log 'run1'/samples\", \"sample\": 16, "
                                  "\"signal\": \"valid\", \"old\": 0, \"new\": 1}]"));
  r = run("diff --json " + base + " " + cases[0].file);
  nlohmann::json changes = nlohmann::json::parse(r.out);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0]["old"], "cpu|ready");
  EXPECT_EQ(changes[0]["new"], "cpu|rdy");
}

TEST_F(ToolJsonTest, ExportWindowsOfTheDemoAndItsSvg) {
  // A window is the rows of the whole export (the layouts are in the export
  // golden files of the tool test).
  std::vector<std::string> all = lines(run("export examples/demo_session.xml --format csv").out);
  ASSERT_EQ(all.size(), 65u);
  std::vector<std::string> expected = {all[0]};
  expected.insert(expected.end(), all.begin() + 31, all.begin() + 36);
  EXPECT_EQ(lines(run("export examples/demo_session.xml --format csv --samples 30:34").out), expected);
  EXPECT_EQ(run("export examples/demo_session.xml --format svg --samples 40:44").out.find(">trigger</text>"),
            std::string::npos);

  // SVG: every bus box has its value as a title; labels that do not fit end in an ellipsis.
  RUN r = run("export examples/demo_session.xml --format svg");
  size_t boxes = 0, titled = 0;
  for (const std::string& line : lines(r.out)) {
    boxes += line.find("<polygon") != std::string::npos;
    titled += line.find("<g><title>") == 0;
  }
  EXPECT_GT(boxes, 0u);
  EXPECT_EQ(boxes, titled);
  EXPECT_NE(r.out.find("<title>HIGH_PAGE</title>"), std::string::npos);
  EXPECT_NE(r.out.find(">HIGH_P\xE2\x80\xA6</text>"), std::string::npos);
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
