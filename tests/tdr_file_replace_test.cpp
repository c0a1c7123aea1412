// Saving replaces a file whole: writes that fail for real, in a child process,
// leave the previous file byte for byte and nothing beside it.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "tdr_basic.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_file_replace.h"
#include "tdr_test_support.h"

namespace {

// Compares bytes, reporting where they differ instead of printing the file.
::testing::AssertionResult holds(const std::string& path, const std::string& expected) {
  std::string actual = read_file(path);
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << ": " << actual.size() << " bytes, expected "
                                       << expected.size() << ", first difference at " << at;
}

bool limit_file_size(rlim_t bytes, void (*on_limit)(int) = SIG_IGN) {
  signal(SIGXFSZ, on_limit);
  rlimit limit{bytes, bytes};
  return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

int g_halfway = -1;
// The save crossed the limit: tell the parent and wait there to be killed.
void at_halfway(int) {
  if (write(g_halfway, "h", 1) != 1) _exit(9);
  for (;;) pause();
}

// Runs `body` in a child that exits 0 on success, 1 on failure; with `kill_halfway`
// the child is killed once it reports being half-way. Returns the wait status.
int in_child(const std::function<bool()>& body, bool kill_halfway = false) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    alarm(60);
    g_halfway = fds[1];
    _exit(body() ? 0 : 1);
  }
  close(fds[1]);
  char c;
  pollfd p{fds[0], POLLIN, 0};
  if (kill_halfway && poll(&p, 1, 60000) == 1 && read(fds[0], &c, 1) == 1) kill(pid, SIGKILL);
  close(fds[0]);
  int status = -1;
  waitpid(pid, &status, 0);
  return status;
}

class FileReplaceTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    ASSERT_EQ(chmod(temp_dir().c_str(), 0755), 0);  // an unprivileged child passes through
    ASSERT_EQ(mkdir(m_dir.assign(temp_path("work")).c_str(), 0755), 0);
    m_previous = read_file(m_demo);
  }
  std::string m_dir, m_previous, m_demo = source_dir() + "/examples/demo_session.xml";
};

}  // namespace

TEST_F(FileReplaceTest, FailedSaveOfALargeSessionLeavesThePreviousFile) {
  std::string text = "<session>\n", target = m_dir + "/target.xml";
  for (int i = 0; i < 20000; ++i) text += "  <note index=\"" + std::to_string(i) + "\"/>\n";
  write_file(target, text + "</session>\n");
  TDR_DATA_SESSION session(target.c_str());
  const rlim_t half = text.size() / 2;
  struct CASE {
    const char* what;
    std::function<bool()> before_save;  // in the child
    mode_t folder_mode;
    bool directory, killed;
  };
  const CASE cases[] = {
      // Root writes into any folder: the child gives its privileges up first.
      {"folder without write permission",
       [] { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); }, 0555, false,
       false},
      {"killed half-way", [&] { return limit_file_size(half, at_halfway); }, 0755, false, true},
      {"target is a directory", [] { return true; }, 0755, true, false},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    std::string kept = target;
    write_file(target, m_previous);
    chmod(target.c_str(), 0666);
    chmod(m_dir.c_str(), c.folder_mode);
    if (c.directory) {
      ASSERT_TRUE(unlink(target.c_str()) == 0 && mkdir(target.c_str(), 0755) == 0);
      write_file(kept = target + "/inside.xml", m_previous);
    }
    std::vector<std::string> before = folder_names(m_dir);
    int status = in_child(
        [&] { return c.before_save() && session.save_as(target.c_str(), true, false); }, c.killed);
    chmod(m_dir.c_str(), 0755);
    EXPECT_TRUE(holds(kept, m_previous));
    std::vector<std::string> after = folder_names(m_dir);
    if (!c.killed) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
      EXPECT_EQ(after, before);
      continue;
    }
    // Only the partial new file is left, named for what it is.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    ASSERT_EQ(after.size(), 2u);
    std::string partial = *after.begin() == "target.xml" ? *after.rbegin() : *after.begin();
    EXPECT_EQ(partial.substr(0, 22) + "/" + std::to_string(partial.size()),
              "target.xml.tdr-saving-/28");
    EXPECT_EQ(read_file(m_dir + "/" + partial).size(), half);
    unlink((m_dir + "/" + partial).c_str());
  }
}

// One failing condition (a file-size limit below what each writes) for every
// writer of the library and the tool; without it each replaces the file.
TEST_F(FileReplaceTest, EveryWriterKeepsThePreviousFileWhenItsWriteFails) {
  std::string out = m_dir + "/out.xml", kfb = temp_path("board.kfb");
  // The printer drops the declaration, so every writer changes this file.
  std::string own = m_dir + "/own.xml", own_text = "<?xml version=\"1.0\"?>\n" + m_previous;
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes.push_back(char((i * 7919 + i / 13) % 251));
  write_file(kfb, bytes);
  auto tool = [](const std::string& arguments) {
    std::string line = std::string(TDR_TOOL_PATH) + " " + arguments + " >/dev/null 2>&1";
    return [line] { return std::system(line.c_str()) == 0; };
  };
  const struct {
    const char* what;
    std::string target;
    std::function<bool()> write;
  } writers[] = {
      {"session save_as", out,
       [&] { return TDR_DATA_SESSION(m_demo.c_str()).save_as(out.c_str(), true, true); }},
      {"session save", own, [&] { TDR_DATA_SESSION s(own.c_str()); return s.save(true); }},
      {"manager recovery file", m_dir + "/own_recovered.xml",
       [&] {
         TDR_DATA_MANAGER* manager = TDR_DATA_MANAGER::get_data_repository_manager();
         if (manager->open_session(own.c_str())) manager->save_all_session(false);
         return read_file(m_dir + "/own_recovered.xml").find("cpu_probe") != std::string::npos;
       }},
      {"basic session", out,
       [&] { return TDR_BASIC_SESSION("s", m_demo.c_str(), false).save_as(out.c_str()) == 0; }},
      {"extracted programming file", out,
       [&] {
         TDR_DATA_SESSION s;
         return s.embed_kfb_file(kfb.c_str(), "b") && s.extract_kfb_file(0, out.c_str());
       }},
      {"tdr normalize in place", own, tool("normalize " + own + " " + own)},
      {"tdr import", out, tool("import " + source_dir() + "/examples/legacy_capture.tvf " + out)},
      {"tdr kfb embed", own, tool("kfb embed " + own + " " + kfb + " board")},
      {"tdr export", out, tool("export " + m_demo + " --format csv -o " + out)},
      {"tdr simulate", out, tool("simulate " + m_demo + " -o " + out)},
  };
  for (const auto& w : writers) {
    SCOPED_TRACE(w.what);
    std::string previous =
        w.target == own ? own_text : "<session>" + std::string(w.what) + "</session>\n";
    write_file(own, own_text);
    write_file(w.target, previous);
    std::vector<std::string> before = folder_names(m_dir);
    int status = in_child([&] { return limit_file_size(512) && w.write(); });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_TRUE(holds(w.target, previous));
    EXPECT_EQ(folder_names(m_dir), before);
    EXPECT_EQ(in_child(w.write), 0);
    EXPECT_FALSE(holds(w.target, previous));
  }
}

TEST_F(FileReplaceTest, ReplacingKeepsModeOwnerAndLinks) {
  std::string real = m_dir + "/real.xml", link = temp_path("link.xml");
  write_file(real, m_previous);
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  const bool root = geteuid() == 0;
  ASSERT_TRUE(!root || chown(real.c_str(), 65534, 65534) == 0);
  ASSERT_EQ(symlink("work/real.xml", link.c_str()), 0);
  TDR_DATA_SESSION session;
  ASSERT_TRUE(session.save_as(link.c_str(), true, true));
  struct stat st;
  EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_TRUE(!root || st.st_uid == 65534u);
  EXPECT_EQ(read_file(real).rfind("<session kfb_file=\"\">", 0), 0u);
  EXPECT_EQ(folder_names(m_dir), std::vector<std::string>{"real.xml"});
  // A device is written in place, never replaced.
  ASSERT_TRUE(session.save_as("/dev/null", true, true));
  EXPECT_TRUE(stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
  EXPECT_EQ(TDR_FILE_REPLACE(m_dir.c_str()).error(), EISDIR);
  EXPECT_EQ(TDR_FILE_REPLACE((m_dir + "/no/such.xml").c_str()).error(), ENOENT);
}

namespace {

// Descriptors of this process still open on files under `dir` that lost their name.
int open_replaced_files(const std::string& dir) {
  int n = 0;
  for (const std::string& fd : folder_names("/proc/self/fd")) {
    char target[4096];
    ssize_t len = readlink(("/proc/self/fd/" + fd).c_str(), target, sizeof target - 1);
    std::string t(target, len > 0 ? static_cast<size_t>(len) : 0);
    n += t.rfind(dir, 0) == 0 && t.size() > 10 && t.compare(t.size() - 10, 10, " (deleted)") == 0;
  }
  return n;
}

}  // namespace

// Many saves in a row outrun the thread that closes the replaced files, and a
// forked child has to start its own.
TEST_F(FileReplaceTest, ReplacedFilesAreAllLetGo) {
  std::string target = m_dir + "/target.xml";
  TDR_DATA_SESSION session(m_demo.c_str());
  auto save_many = [&](int n) {
    bool ok = true;
    for (int i = 0; i < n; ++i) ok = session.save_as(target.c_str(), true, true) && ok;
    TDR_FILE_REPLACE::wait_for_release();
    return ok && open_replaced_files(m_dir) == 0;
  };
  EXPECT_TRUE(save_many(60));
  EXPECT_EQ(in_child([&] { return save_many(5); }), 0);
  EXPECT_EQ(folder_names(m_dir), std::vector<std::string>{"target.xml"});
}
