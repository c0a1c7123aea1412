// Advanced trigger levels: expression texts read lazily, written and replaced
// in the file, factories built on demand with one attempt per level and side,
// the name index map (node id 2 naming included), op_node trees with their
// attribute lists, latency coordination and the unused-input warnings.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tci.h"
#include "tdr_data_trigger_test_support.h"

namespace {

int count_children(DOMNode* parent, const char* name) {
  int n = 0;
  for (DOMElement* e = child(parent, name); e;
       e = TDR_DATA_XML_UTIL::find_next_sibling_element_by_name(e, name))
    ++n;
  return n;
}

std::string cdata_of(DOMElement* holder) {
  DOMNode* first = holder ? holder->getFirstChild() : nullptr;
  if (!first || first->getNodeType() != DOMNode::CDATA_SECTION_NODE) return "(none)";
  return tdr_narrow(first->getNodeValue());
}

// The attributes an op_node object reports, as "name=value" separated by blanks;
// "(null)" when it reports no list.
std::string attributes(const TDR_DATA_TRIGGER_ADV_TREE_OBJ& obj) {
  std::unique_ptr<TDR_DATA_STRING_PAIR_VEC> list(obj.get_all_attributes());
  if (!list) return "(null)";
  std::string out;
  for (size_t i = 0; i < list->size(); ++i)
    out += std::string(out.empty() ? "" : " ") + list->get_name(i) + "=" + list->get_value(i);
  return out;
}

std::string tag(DOMNode* node) { return node ? tdr_narrow(node->getNodeName()) : "(null)"; }

typedef TCI_ADVANCED_TRIGGER_UTILITY U;

class AdvTest : public TriggerTest {
 protected:
  // Debug lines the compiler wrote for failed builds since the last call.
  size_t failed_builds() {
    size_t n = std::count_if(m_sink.debug_lines.begin(), m_sink.debug_lines.end(), [](auto& l) {
      return l.find("empty") != std::string::npos || l.find("unknown") != std::string::npos;
    });
    m_sink.debug_lines.clear();
    return n;
  }
  void set_node(unsigned char node_id, unsigned char version = 4) {
    TDR_DATA_INSTANCE_INFO info = instance()->get_node_info();
    info.mfg_id = TDR_DATA_INSTANCE::TAVRIN_MFG_ID;
    info.node_id = node_id;
    info.version = version;
    instance()->set_node_info(info);
  }
  // Opens the shared session with the triggers of advanced_levels.xml.
  TDR_DATA_TRIGGER* open_advanced() {
    open_triggers(test_data("data/trigger/advanced_levels.xml"));
    return trigger();
  }
};

}  // namespace

TEST_F(AdvTest, ExpressionsAreReadLazilyReplacedAndSaved) {
  TDR_DATA_TRIGGER* t = open_advanced();
  EXPECT_STREQ(t->get_advanced_trigger_expression(0, false), "a && B");
  EXPECT_STREQ(t->get_advanced_trigger_expression(0, true), "rising(d0)");
  for (int level : {1, 2, -1}) EXPECT_STREQ(t->get_advanced_trigger_expression(level, true), "");
  // Read once: the cache answers after the file's node changed.
  DOMElement* level = level_element(t, 0);
  static_cast<xercesc::DOMCDATASection*>(child(level, "expression")->getFirstChild())
      ->setData(tdr_widen("c").c_str());
  EXPECT_STREQ(t->get_advanced_trigger_expression(0, false), "a && B");

  // Setting replaces the element (moved last) and the cache.
  ASSERT_TRUE(t->set_advanced_trigger_expression(0, "!a", false));
  EXPECT_EQ(count_children(level, "expression"), 1);
  EXPECT_EQ(tag(level->getLastChild()), "expression");
  EXPECT_EQ(cdata_of(child(level, "expression")), "!a");
  EXPECT_STREQ(t->get_advanced_trigger_expression(0, false), "!a");
  DOMElement* power_up = child(level, "power_up");
  ASSERT_TRUE(t->set_advanced_trigger_expression(0, "either_edge(d3)", true));
  EXPECT_EQ(count_children(power_up, "power_up_expression") +
                count_children(level, "power_up_expression"), 1);  // under power_up only
  EXPECT_EQ(cdata_of(child(power_up, "power_up_expression")), "either_edge(d3)");

  // A text the compiler refuses is still kept, in the file and the cache.
  EXPECT_FALSE(t->set_advanced_trigger_expression(1, "nosuch && a", false));
  EXPECT_EQ(t->get_advanced_trigger_factory(1, false), nullptr);
  EXPECT_STREQ(t->get_advanced_trigger_expression(1, false), "nosuch && a");
  failed_builds();
  EXPECT_FALSE(t->set_advanced_trigger_expression(5, "a", false));
  EXPECT_FALSE(t->set_advanced_trigger_expression(0, nullptr, false));
  expect_internal_error("text != NULL");

  std::string saved = save_and_reopen();
  EXPECT_NE(saved.find("<![CDATA[!a]]>"), std::string::npos);
  EXPECT_NE(saved.find("<![CDATA[either_edge(d3)]]>"), std::string::npos);
  t = trigger();
  EXPECT_STREQ(t->get_advanced_trigger_expression(0, false), "!a");
  EXPECT_STREQ(t->get_advanced_trigger_expression(0, true), "either_edge(d3)");
  EXPECT_STREQ(t->get_advanced_trigger_expression(1, false), "nosuch && a");

  // A new level takes its expressions under its own elements.
  int added = t->append_new_level(true);
  ASSERT_TRUE(t->set_advanced_trigger_expression(added, "a ^ c", true));
  EXPECT_EQ(cdata_of(child(child(level_element(t, added), "power_up"), "power_up_expression")),
            "a ^ c");
  EXPECT_EQ(child(level_element(t, added), "expression"), nullptr);

  // A hand-written file may indent the section.
  open_triggers("<trigger name=\"t\"><events><level type=\"advanced\"><power_up>"
                "<power_up_expression>\n  <![CDATA[a]]>\n</power_up_expression></power_up>"
                "<expression> <!-- c --><![CDATA[!c]]></expression></level></events></trigger>");
  EXPECT_STREQ(trigger()->get_advanced_trigger_expression(0, false), "!c");
  EXPECT_STREQ(trigger()->get_advanced_trigger_expression(0, true), "a");
}

TEST_F(AdvTest, FactoriesAreBuiltOnDemandOncePerLevelAndSide) {
  TDR_DATA_TRIGGER* t = open_advanced();
  EXPECT_EQ(t->get_name_index_map(), nullptr);
  TCI_ADVANCED_TRIGGER_FACTORY* f = t->get_advanced_trigger_factory(0, false);
  ASSERT_NE(f, nullptr);
  ASSERT_NE(t->get_name_index_map(), nullptr);
  EXPECT_EQ(f->get_name_map(), t->get_name_index_map());
  EXPECT_EQ(f->get_trigger_name(), "t");
  EXPECT_EQ(f->get_instance_name(), "i");
  EXPECT_EQ(f->get_trigger_level_index(), 0);
  EXPECT_EQ(t->get_advanced_trigger_factory(0, false), f);
  // Each side is built from its own text.
  EXPECT_EQ(U::get_node_count(f, TCI_NTYPE_AND), 1);
  EXPECT_EQ(U::get_node_count(t->get_advanced_trigger_factory(0, true), TCI_NTYPE_RISING_EDGE), 1);
  for (int level : {2, -1}) EXPECT_EQ(t->get_advanced_trigger_factory(level, false), nullptr);

  // No text: one attempt with the empty text, then no more until a text is set.
  m_sink.debug_lines.clear();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(t->get_advanced_trigger_factory(1, true), nullptr);
  EXPECT_EQ(failed_builds(), 1u);
  ASSERT_TRUE(t->set_advanced_trigger_expression(1, "d1", true));
  EXPECT_EQ(U::get_node_count(t->get_advanced_trigger_factory(1, true), TCI_NTYPE_INPUT), 1);

  std::unique_ptr<TCI_ADVANCED_TRIGGER_FACTORY> own(t->create_trigger_factory());
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->get_name_map(), t->get_name_index_map());
  EXPECT_EQ(own->get_trigger_name(), "t");
  EXPECT_EQ(own->get_root(), nullptr);
}

TEST_F(AdvTest, AdvancedCrcTextIsComputedOnceFromThePowerUpModeSide) {
  auto compiled = [](TCI_ADVANCED_TRIGGER_FACTORY* f, bool power_up) {
    std::string out;
    TCI_ADVANCED_TRIGGER_CRC_GENERATOR::create_advanced_trigger_crc(f->get_root(), out, power_up);
    return out;
  };
  TDR_DATA_TRIGGER* t = open_advanced();
  std::string normal = compiled(t->get_advanced_trigger_factory(0, false), false);
  ASSERT_FALSE(normal.empty());
  EXPECT_EQ(t->get_advanced_trigger_crc_string(0), normal);
  // Kept: a new expression does not clear it.
  ASSERT_TRUE(t->set_advanced_trigger_expression(0, "d0 && d1 && d2", false));
  EXPECT_EQ(t->get_advanced_trigger_crc_string(0), normal);
  EXPECT_STREQ(t->get_advanced_trigger_crc_string(9), "");

  t = open_advanced();
  t->set_power_up_mode(true);
  std::string power_up = compiled(t->get_advanced_trigger_factory(0, true), true);
  EXPECT_EQ(t->get_advanced_trigger_crc_string(0), power_up);
  EXPECT_NE(power_up, normal);
  m_sink.debug_lines.clear();
  EXPECT_STREQ(t->get_advanced_trigger_crc_string(1), "");  // no power-up text on level 1
  EXPECT_EQ(failed_builds(), 1u);
}

TEST_F(AdvTest, NameMapHoldsNamesAliasesTheIncrementalSplitOrPositionsForNodeIdTwo) {
  TDR_DATA_TRIGGER* t = open_advanced();
  set()->get_trigger_wire_at(6)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  set()->set_reserved_trigger_node_size(9);
  TCI_ADVANCED_TRIGGER_NAME_INDEX_MAP map;
  map.insert_table_entry("stale", 3);
  EXPECT_TRUE(t->create_name_index_map(&map));
  EXPECT_EQ(t->get_name_index_map(), nullptr);  // the given map only
  const std::pair<const char*, int> ports[] = {{"stale", -1}, {"a", 0}, {"b", 1}, {"B", 1},
                                               {"d3", 6},     {"x", -1}};  // x: a data wire only
  for (const auto& p : ports) EXPECT_EQ(map.find_port_index(p.first), p.second) << p.first;
  EXPECT_EQ(map.get_num_trigger_nodes(), 9);
  EXPECT_EQ(map.get_num_incremental_trigger_nodes(), 3);  // 9 slots, 6 classic wires
  EXPECT_TRUE(map.is_incremental_port(6));
  EXPECT_FALSE(map.is_incremental_port(5) || map.is_port_used(0));
  EXPECT_TRUE(t->create_name_index_map(nullptr));
  ASSERT_NE(t->get_name_index_map(), nullptr);
  EXPECT_EQ(t->get_name_index_map()->find_port_index("B"), 1);

  // Node id 2 knows its inputs by position only.
  t = open_advanced();
  set_node(2);
  set()->get_trigger_wire_at(6)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  map.clear_table();
  ASSERT_TRUE(t->create_name_index_map(&map));
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(map.find_port_index("acq_trigger_in[" + std::to_string(i) + "]"), i);
  EXPECT_EQ(map.find_port_index("acq_trigger_in[7]"), -1);
  for (const char* name : {"a", "b", "B", "c", "d3"}) EXPECT_EQ(map.find_port_index(name), -1);
  EXPECT_EQ(map.get_num_trigger_nodes(), 7);
  EXPECT_EQ(map.get_num_incremental_trigger_nodes(), 0);  // every wire counts as classic here
  // The file's expressions name signals, which such a node does not know.
  EXPECT_EQ(t->get_advanced_trigger_factory(0, false), nullptr);
  failed_builds();
  EXPECT_TRUE(t->set_advanced_trigger_expression(0, "acq_trigger_in[1] && acq_trigger_in[6]",
                                                 false));
}

TEST_F(AdvTest, OpNodeTreesWalkReadAndWriteAttributes) {
  open_triggers(
      "<trigger name=\"t\"><events><level type=\"advanced\">"
      "<op_node kind=\"and\" x=\"10\"><note/><op_node kind=\"in\" name=\"a\"/>text"
      "<op_node/></op_node><op_node kind=\"spare\"/></level>"
      "<level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  for (int level : {1, 2}) EXPECT_EQ(t->get_advanced_trigger_tree_root(level), nullptr);
  TDR_DATA_TRIGGER_ADV_TREE_OBJ* root = t->get_advanced_trigger_tree_root(0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(t->get_advanced_trigger_tree_root(0), root);
  EXPECT_EQ(attributes(*root), "kind=and x=10");

  // Children skip other elements and text.
  TDR_DATA_TRIGGER_ADV_TREE_OBJ first = root->get_first_child();
  ASSERT_FALSE(!first);
  EXPECT_EQ(attributes(first), "kind=in name=a");
  TDR_DATA_TRIGGER_ADV_TREE_OBJ second = first.get_next_sibling();
  ASSERT_FALSE(second.is_null());
  EXPECT_EQ(attributes(second), "");
  EXPECT_TRUE(second.get_next_sibling().is_null() && second.get_first_child().is_null());
  EXPECT_EQ(tag(root->get_next_sibling().get_dom_node()), "op_node");  // the spare one
  TDR_DATA_TRIGGER_ADV_TREE_OBJ none;
  EXPECT_TRUE(!none);
  EXPECT_EQ(attributes(none), "(null)");
  EXPECT_TRUE(none.get_first_child().is_null() && none.get_next_sibling().is_null());
  none.delete_refresh_subtree();
  expect_internal_error("m_element != NULL");

  // Setting keeps attributes of other names; names XML cannot carry are skipped.
  TDR_DATA_STRING_PAIR_VEC list;
  list.add("x", "20");
  list.add("label", "a < b & \"c\"");
  list.add("1bad", "v");
  list.add("", "v");
  root->set_all_attributes(&list);
  expect_internal_error("valid attribute name");
  expect_internal_error("valid attribute name");
  EXPECT_EQ(attributes(*root), "kind=and label=a < b & \"c\" x=20");  // by name
  root->set_all_attributes(nullptr);
  expect_internal_error("list != NULL");

  TDR_DATA_TRIGGER_ADV_TREE_OBJ added = second.create_and_append_child_obj();
  TDR_DATA_STRING_PAIR_VEC one;
  one.add("kind", "leaf");
  added.set_all_attributes(&one);
  EXPECT_EQ(second.get_first_child().get_dom_node(), added.get_dom_node());
  std::string saved = save_and_reopen();
  EXPECT_NE(saved.find("<op_node kind=\"leaf\"/>"), std::string::npos);
  EXPECT_NE(saved.find("label=\"a &lt; b &amp; &quot;c&quot;\""), std::string::npos);
  root = trigger()->get_advanced_trigger_tree_root(0);
  EXPECT_EQ(attributes(root->get_first_child().get_next_sibling().get_first_child()), "kind=leaf");
}

TEST_F(AdvTest, RecreatingARootLeavesOneEmptyOpNodeLast) {
  open_triggers(
      "<trigger name=\"t\"><events><level type=\"advanced\">"
      "<op_node kind=\"and\"><op_node/><op_node/></op_node><power_up/></level>"
      "<level/></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  for (int level : {2, -1}) EXPECT_EQ(t->recreate_advanced_trigger_tree_root(level), nullptr);
  DOMElement* level = level_element(t, 0);
  TDR_DATA_TRIGGER_ADV_TREE_OBJ* root = t->recreate_advanced_trigger_tree_root(0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(t->get_advanced_trigger_tree_root(0), root);
  EXPECT_EQ(count_children(level, "op_node"), 1);
  EXPECT_EQ(level->getLastChild(), root->get_dom_node());
  EXPECT_EQ(root->get_dom_node()->getFirstChild(), nullptr);
  EXPECT_EQ(attributes(*root), "");
  // A level without a tree gets a new root.
  TDR_DATA_TRIGGER_ADV_TREE_OBJ* fresh = t->recreate_advanced_trigger_tree_root(1);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->get_dom_node()->getParentNode(), level_element(t, 1));

  // Refreshing in place through the wrapper.
  root->create_and_append_child_obj().create_and_append_child_obj();
  root->delete_refresh_subtree();
  EXPECT_EQ(count_children(level, "op_node"), 1);
  EXPECT_EQ(root->get_dom_node()->getFirstChild(), nullptr);
  save_and_reopen();
  level = level_element(trigger(), 0);
  EXPECT_EQ(count_children(level, "op_node"), 1);
  EXPECT_EQ(tag(level->getLastChild()), "op_node");  // the indentation after it makes no node
  EXPECT_EQ(child(level, "op_node")->getFirstChild(), nullptr);
}

TEST_F(AdvTest, FinalizeCoordinatesLatenciesAndWarnsOnceAboutUnusedInputs) {
  TDR_DATA_TRIGGER* t = open_advanced();
  set_node(0, 4);
  EXPECT_TRUE(t->finalize_triggers());
  EXPECT_TRUE(t->is_finalized());
  // Level 0 reads a and b (by its alias), level 1 a and c.
  EXPECT_EQ(message_ids(), std::vector<std::string>(4, "WTDR_TRIGGER_NOT_USED"));
  for (const char* name : {"d0", "d1", "d2", "d3"})
    EXPECT_EQ(expect_message("WTDR_TRIGGER_NOT_USED").args, (std::vector<std::string>{name, "t"}));

  // Level 0 (own latency 2) is raised to level 1's 3.
  EXPECT_EQ(t->get_advanced_trigger_factory(0, false)->get_root()->get_pipeline_latency(), 3);
  EXPECT_EQ(t->get_last_trigger_level_latency_delay(), 3);
  EXPECT_EQ(t->get_trigger_out_latency_delay(), 6);
  // The power-up side stays apart while power-up mode is off.
  EXPECT_FALSE(t->get_advanced_trigger_factory(0, true)->get_root()->is_latency_coordinated());
  EXPECT_FALSE(t->finalize_triggers());
  EXPECT_TRUE(m_sink.messages.empty());

  // Power-up mode: its expressions read d0..d3, every input is used.
  t = open_advanced();
  t->set_power_up_mode(true);
  ASSERT_TRUE(t->set_advanced_trigger_expression(1, "d1 && d2 && d3", true));
  EXPECT_TRUE(t->finalize_triggers());
  EXPECT_TRUE(t->get_advanced_trigger_factory(0, true)->get_root()->is_latency_coordinated());
  EXPECT_TRUE(m_sink.messages.empty());

  t = open_advanced();
  t->append_new_level(true);  // basic
  EXPECT_TRUE(t->finalize_triggers());
  EXPECT_TRUE(m_sink.messages.empty());
  EXPECT_EQ(t->get_last_trigger_level_latency_delay(), 1);

  open_triggers("<trigger name=\"t\"><events/></trigger>");
  EXPECT_TRUE(trigger()->finalize_triggers());
  EXPECT_FALSE(trigger()->finalize_triggers());
}

TEST_F(AdvTest, IncrementalInputsDecideWhetherTheRouteIsUsedCorrectly) {
  open_triggers(
      "<trigger name=\"t\"><events><level type=\"advanced\"><expression><![CDATA[a && c]]>"
      "</expression></level></events></trigger>");
  TDR_DATA_TRIGGER* t = trigger();
  EXPECT_TRUE(t->is_incremental_node_used_correctly());  // every wire classic
  set()->get_trigger_wire_at(6)->set_tap_mode(TDR_MTYPE_ADVANCED_TAP);
  EXPECT_FALSE(t->is_incremental_node_used_correctly());
  ASSERT_TRUE(t->set_advanced_trigger_expression(0, "a && d3", false));
  // The map was made before d3 changed its tap mode; a fresh one knows.
  ASSERT_TRUE(t->create_name_index_map(nullptr));
  ASSERT_TRUE(t->set_advanced_trigger_expression(0, "a && d3", false));
  EXPECT_EQ(U::get_node_count(t->get_advanced_trigger_factory(0, false),
                              TCI_NTYPE_INCREMENTAL_INPUT), 1);
  EXPECT_TRUE(t->is_incremental_node_used_correctly());
}
