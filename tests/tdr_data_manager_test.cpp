#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "fio.h"
#include "tdr_basic.h"
#include "tdr_data_manager.h"
#include "tdr_data_session.h"
#include "tdr_test_support.h"

namespace {

class ManagerTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    manager = TDR_DATA_MANAGER::get_data_repository_manager();
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    m_cwd = buf;
    ASSERT_EQ(chdir(temp_dir().c_str()), 0);
  }
  void TearDown() override {
    manager->delete_all_session();
    manager->delete_all_basic_session();
    EXPECT_EQ(chdir(m_cwd.c_str()), 0);
    TdrTest::TearDown();
  }
  TDR_DATA_MANAGER* manager = nullptr;
  std::string m_cwd;
};

}  // namespace

TEST_F(ManagerTest, SessionsAreSharedByPathWithCounts) {
  write_file("a.xyz", "<session/>");
  TDR_DATA_SESSION* rel = manager->open_session("a.xyz");
  ASSERT_NE(rel, nullptr);
  EXPECT_EQ(rel->get_open_count(), 1);
  std::string abs = FIO_PATH::current_directory() + "/a.xyz";
  TDR_DATA_SESSION* same = manager->open_session(abs.c_str());
  EXPECT_EQ(same, rel);
  EXPECT_EQ(rel->get_open_count(), 2);
  EXPECT_EQ(manager->find("./x/../a.xyz"), rel);
  EXPECT_TRUE(manager->close_session("a.xyz"));
  EXPECT_EQ(manager->find("a.xyz"), rel);
  EXPECT_TRUE(manager->close_session(abs.c_str()));
  EXPECT_FALSE(manager->close_session("a.xyz") || manager->find("a.xyz"));

  EXPECT_EQ(manager->open_session("missing.xyz"), nullptr);
  write_file("bad.xyz", "not xml");
  EXPECT_EQ(manager->open_session("bad.xyz"), nullptr);
  expect_message("ETDR_SOURCE_GENERIC");
  EXPECT_EQ(manager->get_num_sessions(), 0);

  TDR_DATA_SESSION* independent = manager->open_independent_session("a.xyz");
  ASSERT_NE(independent, nullptr);
  EXPECT_EQ(manager->find("a.xyz"), nullptr);
  EXPECT_EQ(independent->get_open_count(), 0);
  EXPECT_TRUE(manager->close_independent_session(independent));
  EXPECT_FALSE(manager->close_independent_session(nullptr));
}

TEST_F(ManagerTest, CreatedSessionsAreStarredAndRecoveryNamesTagTheFirstDot) {
  TDR_DATA_SESSION* s1 = manager->create_session("s");
  EXPECT_NE(s1, manager->create_session("s"));
  EXPECT_STREQ(s1->get_name(), "s*");
  EXPECT_EQ(manager->find("s"), nullptr);
  EXPECT_EQ(manager->find("s*"), s1);

  const std::pair<const char*, const char*> names[] = {
      {"/proj/a.xyz", "/proj/a_recovered.xyz"},
      {"/proj/a.xyz*", "/proj/a_tmp_recovered.xyz"},
      {"/proj/untitled*", "/proj/untitled_tmp_recovered"},
      {"/home/a.b/x.xyz", "/home/a_recovered.b/x.xyz"},
      {"/proj/plain", "/proj/plain_recovered"}};
  for (const auto& [name, recovered] : names)
    EXPECT_EQ(TDR_DATA_MANAGER::recovery_name(name), recovered);
}

TEST_F(ManagerTest, SaveAllWritesOwnFilesOrRecoveryFiles) {
  write_file("a.xyz", "<session/>");
  TDR_DATA_SESSION* a = manager->open_session("a.xyz");
  ASSERT_NE(a, nullptr);
  a->set_jtag_chain_name("c");
  manager->save_all_session(true);
  EXPECT_NE(read_file("a.xyz").find("jtag_chain=\"c\""), std::string::npos);
  EXPECT_STREQ(a->get_name(), "a.xyz");

  TDR_DATA_SESSION* fresh = manager->create_session("new.xyz");
  fresh->set_jtag_device_name("d");
  manager->save_all_session(false);
  EXPECT_STREQ(a->get_name(), "a_recovered.xyz");
  EXPECT_NE(read_file("a_recovered.xyz").find("jtag_chain=\"c\""), std::string::npos);
  EXPECT_NE(read_file("new_tmp_recovered.xyz").find("jtag_device=\"d\""), std::string::npos);
}

TEST_F(ManagerTest, ShutdownSavesOnlyWhatIsStillOpen) {
  write_file("kept.xyz", "<session/>");
  write_file("closed.xyz", "<session/>");
  ASSERT_NE(manager->open_session("kept.xyz"), nullptr);
  ASSERT_NE(manager->open_session("closed.xyz"), nullptr);
  EXPECT_TRUE(manager->close_session("closed.xyz"));
  TDR_DATA_MANAGER::shutdown();
  EXPECT_TRUE(access("kept_recovered.xyz", F_OK) == 0);
  EXPECT_FALSE(access("closed_recovered.xyz", F_OK) == 0);
  manager = TDR_DATA_MANAGER::get_data_repository_manager();
  EXPECT_EQ(manager->get_num_sessions(), 0);
}

TEST_F(ManagerTest, AutomaticNamesCountWithinASecond) {
  auto name = [](const char* prefix) {
    char* n = TDR_DATA_MANAGER::name_auto_gen(prefix);
    std::string s = n;
    delete[] n;
    return s;
  };
  // Retry if the second changes between the calls.
  for (int attempt = 0; attempt < 5; ++attempt) {
    time_t before = time(nullptr);
    std::string s1 = name("abc"), s2 = name("abc"), s3 = name(nullptr);
    if (before != time(nullptr)) continue;
    char stamp[64];
    struct tm local;
    localtime_r(&before, &local);
    strftime(stamp, sizeof stamp, ": %Y/%m/%d %H:%M:%S  #", &local);
    size_t hash = s1.find(" #");
    ASSERT_NE(hash, std::string::npos);
    int k = std::stoi(s1.substr(hash + 2));
    EXPECT_EQ(s1, "abc" + (stamp + std::to_string(k)));
    EXPECT_EQ(s2, "abc" + (stamp + std::to_string(k + 1)));
    EXPECT_EQ(s3, "generic" + (stamp + std::to_string(k + 2)));
    // The first name of a new second is number 0.
    while (time(nullptr) == before) usleep(20000);
    std::string next = name("abc");
    EXPECT_EQ(next.substr(next.size() - 3), " #0");
    return;
  }
  FAIL() << "clock kept changing";
}

TEST_F(ManagerTest, BasicSessionsAreOpenedCountedSavedAndRecovered) {
  write_file("any.xml", "<config version=\"2\"><item a=\"1\"/><item a=\"2\"/></config>");
  TDR_BASIC_SESSION* basic = manager->open_basic_session("any.xml");
  ASSERT_NE(basic, nullptr);
  EXPECT_EQ(basic->get_open_count(), 1);
  // Every basic session is named "session", whatever file it holds.
  EXPECT_STREQ(basic->get_name(), "session");
  EXPECT_EQ(manager->find_basic_session("session"), basic);
  EXPECT_EQ(manager->find_basic_session("any.xml"), nullptr);
  EXPECT_EQ(basic->get_num_instance_elements(), 2);

  TDR_BASIC_SESSION* created = manager->create_basic_session("ignored");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(manager->get_num_basic_sessions(), 2);
  created->append_instance("added");

  EXPECT_EQ(manager->open_basic_session("missing.xml"), nullptr);
  expect_message("ETDR_SOURCE_GENERIC");
  EXPECT_EQ(manager->get_num_basic_sessions(), 2);

  // Recovery files carry the tag; the sessions keep their names.
  manager->save_all_basic_session(false);
  EXPECT_NE(read_file("session_recovered").find("<added/>"), std::string::npos);
  EXPECT_STREQ(basic->get_name(), "session");

  EXPECT_TRUE(manager->close_basic_session(created));
  EXPECT_FALSE(manager->close_basic_session(created));  // no longer listed
  EXPECT_TRUE(manager->close_basic_session("session"));
  EXPECT_EQ(manager->get_num_basic_sessions(), 0);
}
