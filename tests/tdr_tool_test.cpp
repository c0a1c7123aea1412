// Drives the tdr command-line tool as a user would.
#include <sys/wait.h>

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <string>

#include "tdr_test_support.h"

namespace {

struct RUN {
  int code;
  std::string out;  // standard output
  std::string err;  // standard error
};

class ToolTest : public TdrTest {
 protected:
  RUN run(const std::string& arguments) {
    std::string err_file = temp_path("stderr.txt");
    std::string cmd = std::string(TDR_TOOL_PATH) + " " + arguments + " 2>" + err_file;
    RUN r{-1, "", ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = read_file(err_file);
    return r;
  }
  std::string example(const std::string& name) { return source_dir() + "/examples/" + name; }
};

}  // namespace

TEST_F(ToolTest, HelpAndBadArgumentsGiveOneClearLine) {
  RUN r = run("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("check"), std::string::npos);
  EXPECT_NE(r.out.find("normalize"), std::string::npos);
  for (const char* cmd : {"check", "normalize", "info", "kfb", "import"}) {
    r = run(std::string(cmd) + " --help");
    EXPECT_EQ(r.code, 0) << cmd;
    EXPECT_EQ(r.out.find("usage: tdr " + std::string(cmd)), 0u) << cmd;
  }
  r = run("frobnicate");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "tdr: unknown command 'frobnicate' (see 'tdr --help')\n");
  r = run("check");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  r = run("info --bogus x");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("unknown option '--bogus'"), std::string::npos);
  r = run("kfb extract f.xml notanumber out");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("INDEX must be a number"), std::string::npos);
}

TEST_F(ToolTest, CheckPrintsMessagesAndExitCodes) {
  RUN r = run("check " + example("demo_session.xml"));
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");

  std::string dup = temp_path("dup.xml");
  write_file(dup, "<session><instance name=\"a\"/><instance name=\"a\"/></session>");
  r = run("check " + dup);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Warning (WTDR_DUPLICATE_NAME): Created entity with duplicate name \"a\"\n");

  std::string bad = temp_path("bad.xml");
  write_file(bad, "<session><instance");
  r = run("check " + bad);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.find("Error (ETDR_SOURCE_GENERIC): Corvane software encountered an error "
                       "while reading Tavrin File " + bad + ", with message"),
            0u)
      << r.out;
  r = run("check " + temp_path("missing.xml"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot read session file"), std::string::npos);
  // The tool never leaves a recovery file behind.
  EXPECT_EQ(run("check " + dup).code, 0);
  EXPECT_FALSE(std::ifstream(temp_path("dup_recovered.xml")).good());
}

TEST_F(ToolTest, NormalizeWritesAFixedPoint) {
  std::string once = temp_path("once.xml"), twice = temp_path("twice.xml");
  RUN r = run("normalize " + example("demo_session.xml") + " " + once);
  ASSERT_EQ(r.code, 0) << r.err;
  r = run("normalize " + once + " " + twice);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_file(once), read_file(twice));
  EXPECT_NE(read_file(once).find("<session "), std::string::npos);
  r = run("normalize " + example("demo_session.xml") + " /nonexistent/dir/out.xml");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

TEST_F(ToolTest, InfoShowsTheTree) {
  RUN r = run("info " + example("demo_session.xml"));
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* part :
       {"instance \"cpu_probe\"", "node: manufacturer 110, node id 0, version 4, index 0",
        "signal set \"bus_capture\"", "clock: sys_clk (posedge)", "sample depth 64, RAM MIDRAM",
        "trigger wires 5, data wires 6, signals 6", "trigger out: on, pin trig_out_pin",
        "trigger \"addr_watch\"", "position center, circular, trigger in dont_care",
        "power-up level 0 (basic): 'cpu|addr[3]' == high",
        "log \"run1\": depth 64, trigger position 32, check PASS", "mode incremental",
        "position post, segmented (segment size 16)", "segments of 16",
        "mnemonic table \"addr_states\": width 4, 4 entries"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
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
  r = run("kfb extract " + session + " 3 " + temp_path("out.kfb"));
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("no embedded file at index 3"), std::string::npos);
  r = run("kfb embed " + session + " " + temp_path("nothing") + " x");
  EXPECT_EQ(r.code, 1);
}

TEST_F(ToolTest, ImportTurnsALegacyFileIntoASession) {
  std::string out = temp_path("imported.xml");
  RUN r = run("import " + example("legacy_capture.tvf") + " " + out);
  ASSERT_EQ(r.code, 0) << r.err;
  r = run("info " + out);
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* part :
       {"signal set \"signals_imported\"", "clock: uart_clk (posedge)", "sample depth 512",
        "trigger wires 6, data wires 6", "trigger \"trigger_imported\"",
        "level 0 (basic): 'uart|tx' == falling edge && 'fifo|full' == high"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  r = run("import " + temp_path("missing.tvf") + " " + out);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot read legacy file"), std::string::npos);
}
