#include <string>
#include <vector>

#include "tdr_data_instance.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_trigger.h"
#include "tdr_data_xml_attr.h"
#include "tdr_test_support.h"

namespace {

class InstanceTest : public TdrTest {
 protected:
  // Opens a session file holding `root_body` inside <session>.
  TDR_DATA_SESSION* open(const std::string& root_body) {
    std::string path = temp_path("s.xml");
    write_file(path, "<session>" + root_body + "</session>");
    m_session.reset(new TDR_DATA_SESSION(path.c_str()));
    return m_session.get();
  }
  std::string saved() {
    std::string path = temp_path("out.xml");
    EXPECT_TRUE(m_session->save_as(path.c_str(), true, true));
    return read_file(path);
  }
  std::unique_ptr<TDR_DATA_SESSION> m_session;
};

}  // namespace

TEST_F(InstanceTest, ReadingFillsDefaultsAndNormalisesAttributes) {
  TDR_DATA_SESSION* s = open(test_data("data/session/instances_in.xml"));
  ASSERT_EQ(s->get_num_instances(), 4);
  // a's flags and names are checked in the saved bytes below.
  TDR_DATA_INSTANCE* a = s->find_instance("a");
  TDR_DATA_INSTANCE_INFO info = a->get_node_info();
  EXPECT_TRUE(info.mfg_id == 110 && info.node_id == 0 && info.version == 255);
  EXPECT_TRUE(a->is_version_not_defined() && a->is_current_version());

  TDR_DATA_INSTANCE* b = s->find_instance("b");
  EXPECT_TRUE(b->is_auto_node() && !b->is_incr_cmp_mode() && b->is_tavrin_hdl_node());
  EXPECT_EQ(b->get_node_info().instance_id, 300u & 0xFF);
  EXPECT_FALSE(b->is_current_version());

  TDR_DATA_INSTANCE* c = s->find_instance("c");
  EXPECT_FALSE(c->is_auto_node() || c->is_tavrin_node() || c->is_tavrin_hdl_node());
  EXPECT_STREQ(c->get_source_filename(), "x.v");
  EXPECT_FALSE(s->find_instance("d")->is_auto_node());

  std::string text = saved();
  EXPECT_NE(text.find("<instance compilation_mode=\"Incremental\" entity_name=\"hdx_tavrin\" "
                      "is_auto_node=\"TRUE\" is_expanded=\"false\" name=\"a\" "
                      "source_file=\"hdx_tavrin.vhd\">\n"
                      "    <node_ip_info/>\n    <position_info/>\n  </instance>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("is_expanded=\"true\" name=\"b\""), std::string::npos);
}

TEST_F(InstanceTest, IdentifierNamesAndVersionUpdate) {
  TDR_DATA_SESSION* s = open(
      "<instance name=\"my inst-1\"><node_ip_info version=\"3\"/></instance>"
      "<instance name=\"v4\"><node_ip_info version=\"4\"/><signal_set name=\"s\"><signal_vec/>"
      "<trigger name=\"t\" CRC=\"12\"/></signal_set></instance>");
  TDR_DATA_INSTANCE* a = s->get_instance_at(0);
  std::string id;
  std::string name = a->get_name(&id);
  EXPECT_EQ(name + " " + id, "my inst-1 my_inst_1");
  EXPECT_TRUE(a->update_to_current_version());
  EXPECT_EQ(tdr_get_attr(a->get_dom_node()->getFirstElementChild(), TDR_X("version")), "4");
  EXPECT_FALSE(a->update_to_current_version() || s->get_instance_at(1)->update_to_current_version());
  // Even without a version change the stored fingerprints go.
  EXPECT_EQ(saved().find("CRC"), std::string::npos);

  // The inferred version may be set only while the version is undefined.
  a->set_inferred_node_version(3);
  expect_internal_error("is_version_not_defined()");
  TDR_DATA_INSTANCE* fresh = s->create_instance("fresh");
  TDR_DATA_INSTANCE_INFO info = {0, 110, 0, 255, 255};
  fresh->set_node_info(info);
  fresh->set_inferred_node_version(3);
  EXPECT_TRUE(fresh->is_inferred_version_defined());
  EXPECT_EQ(tdr_get_attr(fresh->get_dom_node()->getFirstElementChild(), TDR_X("version")), "");

  // Only a named instance can be renamed.
  TDR_DATA_INSTANCE unnamed(s->get_dom_doc(), static_cast<const char*>(nullptr));
  EXPECT_FALSE(unnamed.set_name("x"));
  expect_internal_error("m_name != NULL");
  EXPECT_EQ(unnamed.get_name(), nullptr);
  unnamed.get_dom_node()->release();
}

TEST_F(InstanceTest, PositionDataIsAKeyedBlock) {
  TDR_DATA_SESSION* s = open(
      "<instance name=\"a\"><position_info><single attribute=\"x\" value=\"5\"/>"
      "</position_info><keep/></instance>");
  TDR_DATA_INSTANCE* a = s->get_instance_at(0);
  EXPECT_EQ(a->get_position_data("x"), 5);
  int v[] = {1, 2};
  EXPECT_TRUE(a->set_position_data("m", v, 2, false));
  EXPECT_TRUE(a->set_position_data("x", 6, false));
  int out[2] = {0, 0};
  EXPECT_EQ(a->get_position_data("m", out), 2);
  EXPECT_EQ(std::vector<int>(out, out + 2), std::vector<int>({1, 2}));
  std::string text = saved();
  // The missing node_ip_info is appended; position_info is rebuilt last.
  EXPECT_NE(text.find("<keep/>\n    <node_ip_info/>\n    <position_info>\n      <single attribute=\"x\" value=\"6\"/>\n"
                      "      <multi attribute=\"m\" size=\"2\" value=\"1,2\"/>\n"
                      "    </position_info>"),
            std::string::npos)
      << text;
}

TEST_F(InstanceTest, SignalSetsAreNamedUniquelyWithOneGlobalTempCopy) {
  TDR_DATA_SESSION* s = open(
      "<instance name=\"a\">"
      "<signal_set name=\"s1\"/><signal_set name=\"s1\"/>"
      "<signal_set name=\"g1\" global_temp=\"1\"/><signal_set name=\"g2\" global_temp=\"1\"/>"
      "</instance>");
  expect_message("WTDR_DUPLICATE_NAME");
  for (int i = 0; i < 4; ++i) forget_messages();  // empty signal sets warn
  TDR_DATA_INSTANCE* a = s->get_instance_at(0);
  ASSERT_EQ(a->get_num_signal_sets(), 1);
  ASSERT_NE(a->get_global_signal_set(), nullptr);
  EXPECT_STREQ(a->get_global_signal_set()->get_name(), "g2");
  EXPECT_EQ(a->find_signal_set("g2"), a->get_global_signal_set());
  EXPECT_EQ(a->find_signal_set("g1"), nullptr);

  TDR_DATA_SIGNAL_SET* created = a->create_signal_set("s2", false);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->get_instance(), a);
  EXPECT_EQ(a->create_signal_set("s2", false), nullptr);
  EXPECT_EQ(expect_message("WTDR_DUPLICATE_NAME").args.at(0), "s2");
  EXPECT_EQ(a->get_last_signal_set(), created);

  a->create_signal_set("g3", true);
  EXPECT_EQ(a->get_global_signal_set(), a->create_signal_set("g4", true));
  std::string text = saved();
  size_t count = 0;
  for (size_t p = text.find("global_temp=\"1\""); p != std::string::npos;
       p = text.find("global_temp=\"1\"", p + 1))
    ++count;
  // g1's element stays (it was read but replaced); g2 and g3 were removed by creation.
  EXPECT_EQ(count, 2u) << text;
  EXPECT_EQ(text.find("name=\"g3\""), std::string::npos);
  EXPECT_EQ(text.find("name=\"g2\""), std::string::npos);
}
