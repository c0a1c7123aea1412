// Signal node list: structure rules on lists bound to the views of a session
// file, linked groups, view nodes changed at once, commit, recording, and a
// seeded undo/redo walk over random edits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

#include "tdr_data_instance.h"
#include "tdr_data_session.h"
#include "tdr_data_signal_set.h"
#include "tdr_data_signal_test_support.h"
#include "tdr_test_support.h"
#include "tdr_tx_instance.h"
#include "tdr_tx_signal_nodes.h"
#include "tdr_tx_test_support.h"

namespace {

typedef TDR_TX_SIGNAL_NODES::NODE_TYPE NODE;

// The owners' part in its simplest form; refuses the group names in `refused`
// (every name with `refuse_all`) and counts the group names it was asked for.
class TEST_LIST : public TDR_TX_SIGNAL_NODES {
 public:
  using TDR_TX_SIGNAL_NODES::TDR_TX_SIGNAL_NODES;
  const char* get_name() override { return "list"; }
  bool is_node_deletable(int) override { return true; }
  bool set_group_node_name(int node_index, const char* name) override {
    ++asked;
    if (refuse_all || (name && refused.count(name))) return false;
    return TDR_TX_SIGNAL_NODES::set_group_node_name(node_index, name);
  }
  std::set<std::string> refused;
  bool refuse_all = false;
  int asked = 0;
};

const char LETTERS[] = "SECML?";

// "Ectl Mc[0] Lc[1] Sd[0] ...": display type and name of each node.
std::string layout(const TDR_TX_SIGNAL_NODES& list) {
  std::string out;
  for (int k = 0; k < list.get_node_count(); ++k)
    out += (k ? " " : "") + std::string(1, LETTERS[list.get_node(k)->display_type]) +
           list.get_node(k)->name;
  return out;
}

// The same text read from the view, members inside their bus.
std::string view_layout(TDR_DATA_SIGNAL_VIEW* view) {
  std::string out;
  for (TDR_DATA_SIGNAL_VIEW_NODE node = view->get_first_node(); !node.is_null();
       node = node.get_next_sibling()) {
    out += (out.empty() ? "" : " ") +
           std::string(node.is_bus() ? (node.is_bus_expanded() ? "E" : "C") : "S") +
           node.get_name();
    for (TDR_DATA_SIGNAL_VIEW_NODE child = node.get_first_child(); !child.is_null();) {
      TDR_DATA_SIGNAL_VIEW_NODE next = child.get_next_sibling();
      out += std::string(next.is_null() ? " L" : " M") + child.get_name();
      child = next;
    }
  }
  return out;
}

// Whether the view's elements are the list's view nodes, in list order, each
// member inside its group's bus.
bool view_in_step(const TDR_TX_SIGNAL_NODES& list) {
  std::vector<std::pair<const void*, const void*>> from_view, from_list;  // element, parent
  for (TDR_DATA_SIGNAL_VIEW_NODE node = list.get_data_view()->get_first_node(); !node.is_null();
       node = node.get_next_sibling()) {
    from_view.emplace_back(node.get_dom_node(), nullptr);
    for (TDR_DATA_SIGNAL_VIEW_NODE child = node.get_first_child(); !child.is_null();
         child = child.get_next_sibling())
      from_view.emplace_back(child.get_dom_node(), node.get_dom_node());
  }
  const void* bus = nullptr;
  for (int k = 0; k < list.get_node_count(); ++k) {
    const NODE* n = list.get_node(k);
    const void* element = n->data_view_node ? n->data_view_node->get_dom_node() : nullptr;
    if (!n->is_member()) bus = n->is_group() ? element : nullptr;
    if (element) from_list.emplace_back(element, n->is_member() ? bus : nullptr);
  }
  return from_view == from_list;
}

// Every field a full copy keeps (a group copy's for headers).
std::string dump_node(const NODE* n) {
  std::ostringstream out;
  out << n->display_type << '|' << n->name << '|' << n->alias << '|' << n->signal_type << ' '
      << n->lsb_to_msb << ' ' << n->signal_inverted << ' ' << n->group_display_type << ' '
      << n->linking_type << '|' << n->mnemonics_table_name << '|' << n->mnemonics_plugin_info;
  if (!n->is_group())  // what only a wire's copy keeps
    out << ' ' << n->capture_type << ' ' << n->tap_mode << ' ' << n->connection_status << ' '
        << n->is_debug_port << '|' << n->debug_port_name << '|' << n->data_wire_index << ' '
        << n->trigger_wire_index << ' ' << n->invalid;
  return out.str();
}
// Every node's fields, the counters and the next wire indices.
std::string dump(const TDR_TX_SIGNAL_NODES& list) {
  std::ostringstream out;
  out << list.get_data_wire_count() << ' ' << list.get_trigger_wire_count() << ' '
      << list.get_next_data_wire_index() << ' ' << list.get_next_trigger_wire_index() << '\n';
  for (int k = 0; k < list.get_node_count(); ++k) out << dump_node(list.get_node(k)) << '\n';
  return out.str();
}

// Each group is a header followed by members ending in exactly one last member.
::testing::AssertionResult well_formed(const TDR_TX_SIGNAL_NODES& list) {
  bool in_group = false;
  for (int k = 0; k < list.get_node_count(); ++k) {
    const NODE* n = list.get_node(k);
    if (n->is_member() && !in_group)
      return ::testing::AssertionFailure() << "stray member at " << k << ": " << layout(list);
    if (n->is_group() || n->display_type == TDR_DTYPE_STANDALONE_NODE) {
      bool empty = k + 1 == list.get_node_count() || !list.get_node(k + 1)->is_member();
      if (in_group) return ::testing::AssertionFailure() << "open group before " << k;
      in_group = n->is_group() && !empty;
    } else if (n->display_type == TDR_DTYPE_LAST_GROUP_MEMBER_NODE) {
      in_group = false;
    }
  }
  if (in_group) return ::testing::AssertionFailure() << "group without last member";
  return ::testing::AssertionSuccess();
}

class TxNodeListTest : public TdrTest {
 protected:
  void SetUp() override {
    TdrTest::SetUp();
    open(source_dir() + "/tests/data/node_list_session.xml");
  }
  void TearDown() override {
    close();
    TdrTest::TearDown();
  }
  void open(const std::string& file) {
    m_session.reset(new TDR_DATA_SESSION(file.c_str()));
    m_set = m_session->get_instance_at(0)->get_signal_set_at(0);
    m_instance = new TDR_TX_INSTANCE(0, nullptr, m_session->get_instance_at(0), nullptr);
    m_instance->set_max_undo_steps(-1);
    m_undo = m_instance->get_undo_manager();
    m_status = m_instance->get_change_status();
    m_data = new TEST_LIST(0, m_set->get_data_view(), m_undo, m_status, nullptr, false);
    m_setup = new TEST_LIST(0, m_set->get_setup_view(), m_undo, m_status, nullptr, true);
    m_data->set_the_other_signal_nodes(m_setup);
    m_setup->set_the_other_signal_nodes(m_data);
  }
  void close() {
    delete m_data;
    delete m_setup;
    delete m_instance;
    m_data = m_setup = nullptr;
    m_instance = nullptr;
    m_session.reset();
  }
  // Runs `edit` as one user action; answers whether a step was stored.
  template <class F>
  bool act(F edit) {
    m_undo->begin_action();
    edit();
    return m_undo->end_action();
  }
  void undo_all() {
    while (m_undo->is_undo_available()) ASSERT_TRUE(m_undo->undo());
  }
  std::string view_text(TDR_DATA_SIGNAL_VIEW* view) { return print_node(view->get_dom_node()); }

  std::unique_ptr<TDR_DATA_SESSION> m_session;
  TDR_DATA_SIGNAL_SET* m_set = nullptr;
  TDR_TX_INSTANCE* m_instance = nullptr;
  TDR_TX_UNDO_MANAGER* m_undo = nullptr;
  TDR_TX_CHANGE_STATUS* m_status = nullptr;
  TEST_LIST* m_data = nullptr;
  TEST_LIST* m_setup = nullptr;
};

const char DATA_START[] =
    "Ectl Mc[0] Lc[1] Sd[0] Sd[1] Sd[2] Sd[3] Sbus_12 Sbus_13 Sa[0] Sb[1] Cempty Sx_data";

}  // namespace

TEST_F(TxNodeListTest, LoadingDropsBrokenNodesAndAddsMissingWires) {
  EXPECT_EQ(layout(*m_data), DATA_START);
  EXPECT_EQ(view_layout(m_set->get_data_view()), DATA_START)
      << "'gone' leaves with its element; the unshown data wire gets a net at the end";
  // The setup list shows fewer signals than there are wires: data wires first.
  EXPECT_EQ(layout(*m_setup),
            "Ectl Mc[0] Lc[1] Sd[3] Sd[2] Sd[1] Sd[0] Sbus_12 Sbus_13 Sa[0] Sb[1] St_only Sx_data");
  EXPECT_EQ(dump(*m_data).substr(0, 12), "11 11 11 11\n");
  // Data capture only, at the next data index, without a trigger index.
  EXPECT_EQ(dump_node(m_data->get_node(12)), "0|x_data||0 0 0 5 0||0 1 0 1 0||10 -1 0");
  EXPECT_EQ(m_setup->get_node(11)->trigger_wire_index, 10);
  EXPECT_EQ(m_data->get_node_group_display_type(0), TDR_GTYPE_BIN_DISPLAY);
  EXPECT_TRUE(m_data->is_node_lsb_to_msb(0));
  EXPECT_FALSE(m_status->is_modified());
  EXPECT_FALSE(m_undo->is_undo_available());
  // Queries out of range answer their defaults.
  EXPECT_EQ(m_data->get_node_name(13), nullptr);
  EXPECT_EQ(int(m_data->get_capture_type(13)), 4);
  EXPECT_TRUE(m_data->is_node_invalid(13));
  EXPECT_EQ(m_data->find_group_node("empty"), 11);
  EXPECT_EQ(m_data->find_parent_group_node(2), 0);
  EXPECT_TRUE(m_data->is_group_member_expanded(1));
  EXPECT_EQ(m_data->find_node_with_name_not_in_range("d[0]", 3, 3), -1);
  EXPECT_EQ(m_data->find_node_with_name_not_in_range("d[0]", 0, 2), 3);
  // Without a view the list stays empty and the missing view is reported.
  TEST_LIST none(0, nullptr, m_undo, m_status, nullptr, false);
  expect_internal_error("data_view != NULL");
  EXPECT_EQ(none.get_node_count(), 0);
}

TEST_F(TxNodeListTest, GroupNamesDerivedFromMemberNames) {
  struct {
    TEST_LIST* list;
    int first, last;
    const char* name;  // null: refused
    bool lsb_to_msb;
  } rows[] = {
      {m_data, 3, 6, "d[0..3]", true},   {m_setup, 3, 6, "d[3..0]", false},
      {m_data, 7, 8, "bus[12..13]", true}, {m_data, 9, 10, "Group", true},
      {m_data, 2, 3, nullptr, false},   // c[1] is a member
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name ? row.name : "refused");
    std::string before = layout(*row.list);
    bool grouped = false;
    EXPECT_EQ(act([&] { grouped = row.list->group_node(row.last, row.first, nullptr); }),
              row.name != nullptr);
    ASSERT_EQ(grouped, row.name != nullptr);
    if (!grouped) {
      EXPECT_EQ(layout(*row.list), before);
      continue;
    }
    const NODE* group = row.list->get_node(row.first);
    EXPECT_EQ(group->name, row.name);
    EXPECT_EQ(group->display_type, TDR_DTYPE_COLLAPSE_GROUP_NODE);
    EXPECT_EQ(group->lsb_to_msb, row.lsb_to_msb);
    EXPECT_EQ(row.list->get_node(row.last + 1)->display_type, TDR_DTYPE_LAST_GROUP_MEMBER_NODE);
    EXPECT_EQ(view_layout(row.list->get_data_view()), layout(*row.list));
    EXPECT_TRUE(m_undo->undo());
    EXPECT_EQ(layout(*row.list), before);
  }
}

TEST_F(TxNodeListTest, DeletesKeepGroupsWhole) {
  act([&] { m_data->group_node(3, 6, nullptr); });  // d[0..3] at 3, members 4..7
  const std::string grouped = layout(*m_data);
  struct {
    int first, last, deleted;
    const char* start;  // the first nodes afterwards
  } rows[] = {
      {1, 2, 3, "Cd[0..3] Md[0]"},            // all members: the header goes too
      {0, 0, 3, "Cd[0..3] Md[0]"},            // a header takes its members
      {2, 4, 6, "Ectl Lc[0] Sbus_12"},       // a cut tail, and d[0..3] as a whole
      {6, 7, 2, "Ectl Mc[0] Lc[1] Cd[0..3] Md[0] Ld[1] Sbus_12"},
      {4, 7, 5, "Ectl Mc[0] Lc[1] Sbus_12"},  // from the first member to the last
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.start);
    int deleted = 0;
    act([&] { deleted = m_data->delete_node(row.last, row.first); });
    EXPECT_EQ(deleted, row.deleted) << layout(*m_data);
    EXPECT_EQ(layout(*m_data).substr(0, strlen(row.start)), row.start);
    EXPECT_TRUE(well_formed(*m_data));
    EXPECT_EQ(view_layout(m_set->get_data_view()), layout(*m_data));
    EXPECT_TRUE(m_undo->undo());
    EXPECT_EQ(layout(*m_data), grouped);
    EXPECT_TRUE(m_data->is_view_rebuild_needed()) << "restored nodes have no view nodes yet";
    m_data->commit(m_set->get_data_view());
    EXPECT_EQ(view_layout(m_set->get_data_view()), grouped);
  }
  act([&] { EXPECT_TRUE(m_data->delete_node("d[1]")); });
  EXPECT_EQ(m_data->find_wire_node("d[1]"), -1);
  EXPECT_EQ(m_data->get_data_wire_count(), 10);
}

TEST_F(TxNodeListTest, MovesAndCopiesRepairMembership) {
  struct {
    bool copy;
    int first, last, target;
    bool into_group;
    int result;
    const char* layout;  // null: unchanged
  } rows[] = {
      {false, 3, 4, 0, false, 2, "Sd[0] Sd[1] Ectl Mc[0] Lc[1] Sd[2]"},
      {false, 3, 3, 2, true, 3, "Ectl Mc[0] Md[0] Lc[1] Sd[1]"},
      {false, 4, 4, 3, true, 4, "Ectl Mc[0] Mc[1] Ld[1] Sd[0] Sd[2]"},
      {false, 2, 2, 5, false, 5, "Ectl Lc[0] Sd[0] Sd[1] Sc[1] Sd[2]"},
      {false, 1, 2, 4, false, 4, "Ectl Sd[0] Sc[0] Sc[1] Sd[1]"},  // leaves an empty group
      {false, 0, 2, 5, false, 5, "Sd[0] Sd[1] Ectl Mc[0] Lc[1] Sd[2]"},
      {false, 1, 1, 2, false, -1, nullptr},  // target inside a group
      {false, 0, 1, 5, false, -1, nullptr},  // header without all members
      {false, 0, 2, 5, true, -1, nullptr},   // a header cannot join a group
      {false, 3, 3, 3, false, -1, nullptr},  // target inside the block
      {true, 3, 4, 2, true, 4, "Ectl Mc[0] Md[0] Md[1] Lc[1] Sd[0] Sd[1]"},
      {true, 1, 2, 3, false, 5, "Ectl Mc[0] Lc[1] Sc[0] Sc[1] Sd[0]"},
      {true, 0, 2, 3, false, 6, "Ectl Mc[0] Lc[1] Ectl Mc[0] Lc[1] Sd[0]"},
      {true, 3, 3, 12, true, -1, nullptr},   // into a group without members
      {true, 3, 4, 1, false, -1, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.copy ? "copy " : "move ") + std::to_string(row.first) + ".." +
                 std::to_string(row.last) + " before " + std::to_string(row.target));
    int result = 0;
    bool stored = act([&] {
      result = row.copy ? m_data->copy_before_node(row.first, row.last, row.target, row.into_group)
                        : m_data->move_before_node(row.first, row.last, row.target,
                                                   row.into_group);
    });
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(stored, row.result >= 0);
    std::string now = layout(*m_data);
    EXPECT_EQ(now.substr(0, strlen(row.layout ? row.layout : DATA_START)),
              row.layout ? row.layout : DATA_START);
    EXPECT_TRUE(well_formed(*m_data));
    if (!m_data->is_view_rebuild_needed()) {
      EXPECT_EQ(view_layout(m_set->get_data_view()), now) << "the view follows at once";
    }
    if (stored) {
      EXPECT_TRUE(m_undo->undo());
      EXPECT_EQ(layout(*m_data), DATA_START) << "undo restores the order exactly";
    }
    m_data->commit(m_set->get_data_view());  // so that the next row's view follows at once
  }
}

TEST_F(TxNodeListTest, LinkedGroupsRepeatEditsInTheOtherView) {
  const std::string data_start = dump(*m_data), setup_start = dump(*m_setup);
  EXPECT_TRUE(act([&] { EXPECT_TRUE(m_data->link_group_node(0, TDR_LTYPE_ALL_LINK)); }));
  EXPECT_EQ(layout(*m_setup).substr(0, 20), "Cctl Mc[0] Lc[1] Sd[");
  EXPECT_EQ(m_setup->get_node(0)->linking_type, TDR_LTYPE_ALL_LINK);
  EXPECT_EQ(m_setup->get_node_group_display_type(0), TDR_GTYPE_BIN_DISPLAY);

  act([&] { m_data->set_group_node_name(0, "bus_a"); });
  act([&] { m_data->set_node_alias(0, "A"); });
  act([&] { m_data->set_node_group_display_type(0, TDR_GTYPE_SIGNED_DEC_DISPLAY); });
  act([&] { m_data->set_node_mnemonics_table_name(0, "tbl"); });
  act([&] { m_data->set_node_lsb_to_msb(0, false); });
  act([&] { EXPECT_EQ(m_data->move_before_node(2, 2, 1, true), 2); });
  // Name, alias, not lsb-to-msb, signed decimal, every link, the table.
  EXPECT_EQ(dump_node(m_setup->get_node(0)), "2|bus_a|A|0 0 0 2 15|tbl|0");
  EXPECT_EQ(layout(*m_setup).substr(0, 22), "Cbus_a Mc[1] Lc[0] Sd[");
  EXPECT_EQ(view_layout(m_set->get_setup_view()).substr(0, 22), "Cbus_a Mc[1] Lc[0] Sd[");

  // The other view refuses twice: both take the old name with " (2)".
  m_setup->refused = {"x", "bus_a (1)"};
  act([&] { m_data->set_group_node_name(0, "x"); });
  EXPECT_EQ(m_data->get_node(0)->name, "bus_a (2)");
  EXPECT_EQ(m_setup->get_node(0)->name, "bus_a (2)");
  m_setup->refused.clear();
  // A view that refuses every name is asked for node count + 1 candidates, then nothing changes.
  m_setup->refuse_all = true;
  m_setup->asked = 0;
  act([&] { m_data->set_group_node_name(0, "y"); });
  EXPECT_EQ(m_setup->asked, m_setup->get_node_count() + 1);
  EXPECT_EQ(m_data->get_node(0)->name, "bus_a (2)");
  EXPECT_EQ(m_setup->get_node(0)->name, "bus_a (2)");
  m_setup->refuse_all = false;

  act([&] { EXPECT_TRUE(m_data->ungroup_node(0)); });
  EXPECT_EQ(layout(*m_data).substr(0, 12), "Sc[1] Sc[0] ");
  EXPECT_EQ(layout(*m_setup).substr(0, 12), "Sc[1] Sc[0] ");
  EXPECT_TRUE(well_formed(*m_setup));

  undo_all();
  EXPECT_EQ(dump(*m_data), data_start);
  EXPECT_EQ(dump(*m_setup), setup_start);
  EXPECT_FALSE(m_status->is_modified());

  // Linking asks as often for the new group's name; the group keeps its derived one.
  m_setup->refuse_all = true;
  m_setup->asked = 0;
  act([&] { EXPECT_TRUE(m_data->link_group_node(0, TDR_LTYPE_ALL_LINK)); });
  EXPECT_EQ(m_setup->asked, m_setup->get_node_count() + 1);
  EXPECT_EQ(m_setup->get_node(0)->name, "c[0..1]");
  EXPECT_EQ(m_data->get_node(0)->name, "ctl");

  // Renamed on the way while linked: undo gives back the name with the link.
  m_setup->refuse_all = false;
  undo_all();
  act([&] { EXPECT_TRUE(m_data->link_group_node(0, TDR_LTYPE_RADIX_LINK)); });
  m_setup->refused = {"ctl"};
  act([&] { EXPECT_TRUE(m_data->link_group_node(0, TDR_LTYPE_ALL_LINK)); });
  EXPECT_EQ(m_data->get_node(0)->name, "ctl (1)");
  const std::string relinked = dump(*m_data);
  ASSERT_TRUE(m_undo->undo());
  EXPECT_EQ(m_data->get_node(0)->name, "ctl");
  EXPECT_EQ(m_data->get_node(0)->linking_type, TDR_LTYPE_RADIX_LINK);
  ASSERT_TRUE(m_undo->redo());
  EXPECT_EQ(dump(*m_data), relinked);
  m_setup->refused = {"z"};  // a suffixed candidate is tried here unlinked
  act([&] { m_data->set_group_node_name(0, "z"); });
  ASSERT_TRUE(m_undo->undo());
  EXPECT_EQ(dump(*m_data), relinked);
}

TEST_F(TxNodeListTest, SettersChangeOnlyWhatDiffers) {
  // Capture type 4 switches: data-only becomes trigger-only, others data-only.
  act([&] { EXPECT_TRUE(m_data->set_node_capture_type(12, TDR_DATA_WIRE_CAPTURE_TYPE(4))); });
  act([&] { EXPECT_TRUE(m_data->set_node_capture_type(3, TDR_DATA_WIRE_CAPTURE_TYPE(4))); });
  EXPECT_EQ(m_data->get_capture_type(12), TDR_WTYPE_TRIGGER_CAPTURE);
  EXPECT_EQ(m_data->get_capture_type(3), TDR_WTYPE_DATA_CAPTURE);
  EXPECT_EQ(m_data->get_node(12)->trigger_wire_index, 11) << "a new trigger index";
  EXPECT_EQ(dump(*m_data).substr(0, 12), "10 11 11 12\n");
  EXPECT_TRUE(m_data->is_capture_type_changed());
  EXPECT_TRUE(m_status->m_classic_node_changed);
  // A node once moved to or from trigger-only keeps its mark through later changes.
  act([&] { EXPECT_TRUE(m_data->set_node_capture_type(12, TDR_WTYPE_BOTH_CAPTURE)); });
  act([&] { EXPECT_TRUE(m_data->set_node_capture_type(12, TDR_WTYPE_DATA_CAPTURE)); });
  EXPECT_TRUE(m_data->get_node(12)->capture_type_changed);
  EXPECT_FALSE(m_data->get_node(4)->capture_type_changed);

  // Debug ports: a generated name, made unique against the other ports.
  m_data->set_instance_index(2);
  act([&] { EXPECT_TRUE(m_data->set_debug_out(5, true, nullptr)); });
  act([&] { EXPECT_TRUE(m_data->set_debug_out(6, true, "auto_tvf_debug_out_2_5")); });
  EXPECT_STREQ(m_data->get_debug_port_name(5), "auto_tvf_debug_out_2_5");
  EXPECT_STREQ(m_data->get_debug_port_name(6), "auto_tvf_debug_out_2_5_1");
  EXPECT_STREQ(m_set->get_wire("d[3]")->get_debug_port_name(), "auto_tvf_debug_out_2_5_1");
  EXPECT_FALSE(m_data->set_debug_out(0, true, nullptr)) << "groups have no port";
  EXPECT_TRUE(m_status->m_classic_debug_port_changed);

  // Equal values: no change, no step.
  EXPECT_FALSE(act([&] {
    EXPECT_FALSE(m_data->set_node_signal_inverted(4, false));
    EXPECT_FALSE(m_data->set_node_capture_type(4, TDR_WTYPE_BOTH_CAPTURE));
    EXPECT_FALSE(m_data->set_node_group_display_type(0, TDR_GTYPE_BIN_DISPLAY));
    EXPECT_FALSE(m_data->set_debug_out(5, true, "auto_tvf_debug_out_2_5"));
    EXPECT_TRUE(m_data->set_node_name(4, "d[1]"));
    EXPECT_TRUE(m_data->set_node_alias(40, "far"));
    EXPECT_TRUE(m_data->set_group_node_name(40, "far"));
    EXPECT_FALSE(m_data->set_node_tap_mode(40, TDR_MTYPE_ADVANCED_TAP));
  }));

  // Preconditions.
  act([&] {
    EXPECT_FALSE(m_data->set_node_tap_mode(3, TDR_MTYPE_PROBEONLY_TAP));
    expect_internal_error("tap_mode != TDR_MTYPE_PROBEONLY_TAP");
    EXPECT_FALSE(m_data->set_node_lsb_to_msb(3, false));
    expect_internal_error(
        "node->display_type == TDR_DTYPE_EXPAND_GROUP_NODE || node->display_type == "
        "TDR_DTYPE_COLLAPSE_GROUP_NODE");
    EXPECT_FALSE(m_data->toggle_node(-1));
    expect_internal_error("node_index >= 0");
    EXPECT_TRUE(m_data->set_node_name(3, ""));
    expect_internal_error("name != NULL && name[0] != NULL");
    EXPECT_EQ(m_data->move_before_node(-1, 0, 0, false), -1);
    expect_internal_error("first_index >= 0 && last_index >= 0 && node_index >= 0");
  });

  // Advanced nodes are Rivlet changes.
  m_status->reset_all();
  act([&] { EXPECT_TRUE(m_data->set_node_tap_mode(7, TDR_MTYPE_ADVANCED_TAP)); });
  EXPECT_TRUE(m_status->m_classic_node_changed);
  m_status->reset_all();
  act([&] { m_data->set_node_name(7, "bus_x"); });
  EXPECT_TRUE(m_status->m_rivlet_node_changed);
  EXPECT_FALSE(m_status->m_classic_node_changed);

  undo_all();
  EXPECT_EQ(dump(*m_data).substr(0, 12), "11 11 11 11\n");
  EXPECT_EQ(layout(*m_data), DATA_START);

  // Undoing the append of a group header leaves it (its members go on their own).
  act([&] { m_data->append_node(m_data->get_node(0), true); });
  EXPECT_TRUE(m_undo->undo());
  EXPECT_EQ(m_data->get_node_count(), 14);

  // Undoing a later edit of the node keeps its capture change marked for the commit.
  act([&] { EXPECT_TRUE(m_setup->set_node_capture_type(4, TDR_WTYPE_TRIGGER_CAPTURE)); });
  act([&] { EXPECT_TRUE(m_setup->set_node_signal_inverted(4, true)); });
  EXPECT_TRUE(m_undo->undo());
  EXPECT_TRUE(m_setup->get_node(4)->capture_type_changed);
}

TEST_F(TxNodeListTest, ViewNodesChangeAtOnce) {
  act([&] {
    m_data->set_group_node_name(0, "control");
    m_data->set_node_alias(0, "CTL");
    m_data->set_node_group_display_type(0, TDR_GTYPE_UNSIGNED_DEC_DISPLAY);
    m_data->toggle_node(0);
    m_data->set_node_alias(3, "D0");
    m_data->set_node_signal_inverted(4, true);
    m_data->group_node(7, 8, nullptr);
    m_data->set_node_lsb_to_msb(7, false);
    m_data->ungroup_node(12);  // the empty bus
  });
  std::string path = temp_path("edited.xml");
  ASSERT_TRUE(m_session->save_as(path.c_str(), true, true));
  expect_golden("tx_nodes", "view_nodes_edited.xml", read_file(path));
}

TEST_F(TxNodeListTest, CommitWritesViewsAndWires) {
  // An unchanged list leaves a view with nodes as it is.
  std::string before = view_text(m_set->get_data_view());
  EXPECT_TRUE(m_data->commit(m_set->get_data_view()));
  EXPECT_EQ(view_text(m_set->get_data_view()), before);

  // A node without a wire is written but reported.
  act([&] { m_data->append_node("no_wire", TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP); });
  EXPECT_FALSE(m_data->commit(m_set->get_data_view()));
  EXPECT_EQ(view_layout(m_set->get_data_view()), std::string(DATA_START) + " Sno_wire");
  EXPECT_FALSE(m_status->m_presentation_changed);

  // Wires in name order per tap mode, or kept in place with new ones after.
  TDR_DATA_SIGNAL_SET fresh(m_set->get_dom_doc(), "fresh");
  TEST_LIST list(0, m_undo, m_status, nullptr, true);
  act([&] {
    for (const char* name : {"b", "A", "a"})
      list.append_node(name, TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP);
    list.append_node("c", TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_ADVANCED_TAP);
  });
  EXPECT_TRUE(list.commit_signal_set(&fresh, false));
  std::string order;
  for (int k = 0; k < fresh.get_data_wire_width(); ++k)
    order += fresh.get_data_wire_at(k)->get_name();
  EXPECT_EQ(order, "Aabc");

  // Debug ports go into the wires of the same name, once per change.
  act([&] { m_setup->set_debug_out(11, true, "port"); });
  m_set->get_wire("t_only")->set_debug_port(false, nullptr);
  EXPECT_TRUE(m_setup->commit_signal_set_debug_port(m_set));
  EXPECT_TRUE(m_set->get_wire("t_only")->is_debug_port());
  EXPECT_STREQ(m_set->get_wire("t_only")->get_debug_port_name(), "port");
  EXPECT_FALSE(m_status->m_classic_debug_port_changed);

  TDR_DATA_SIGNAL_SET kept(m_set->get_dom_doc(), "kept");
  EXPECT_TRUE(m_data->commit_signal_set(&kept, true));
  ASSERT_EQ(kept.get_data_wire_width(), 12);
  EXPECT_STREQ(kept.get_data_wire_at(10)->get_name(), "x_data");
  EXPECT_STREQ(kept.get_data_wire_at(11)->get_name(), "no_wire");
  EXPECT_EQ(kept.get_trigger_wire_width(), 11);
}

// Random user actions on two linked lists of a few hundred nodes, then undo of
// every action back to the start and redo of every action: the lists and the
// committed views must come back each time.
namespace {

// A session of `groups` buses (4 to 12 members, half linked across the views,
// some with a mnemonic table) and single nets of every capture type.
std::string generated_session(std::mt19937* rng, int groups) {
  std::string trigger, data, data_view, setup_view;
  auto wire = [](const std::string& name) {
    return "<wire connection_status=\"true\" name=\"" + name + "\" tap_mode=\"classic\"/>";
  };
  for (int g = 0; g < groups; ++g) {
    std::string bus = "g" + std::to_string(g);
    std::string link = g % 2 ? " link=\"all\"" : "";
    std::string table = g % 5 == 0 ? " mnemonics=\"tbl\"" : "";
    std::string members;
    for (int m = 0, n = 4 + int((*rng)() % 9); m < n; ++m) {
      std::string name = bus + "[" + std::to_string(m) + "]";
      trigger += wire(name), data += wire(name);
      members += "<net name=\"" + name + "\"/>";
    }
    data_view += "<bus name=\"" + bus + "\"" + link + table + ">" + members + "</bus>";
    setup_view += "<bus name=\"" + bus + "\"" + link + ">" + members + "</bus>";
    std::string net = "n" + std::to_string(g);
    int capture = int((*rng)() % 3);  // both, data, trigger
    if (capture != 2) data += wire(net), data_view += "<net name=\"" + net + "\"/>";
    if (capture != 1) trigger += wire(net), setup_view += "<net name=\"" + net + "\"/>";
  }
  return "<session><instance name=\"i\"><node_ip_info mfg_id=\"110\" node_id=\"0\" "
         "version=\"4\"/><signal_set name=\"s\"><signal_vec><trigger_input_vec>" +
         trigger + "</trigger_input_vec><data_input_vec>" + data +
         "</data_input_vec></signal_vec><presentation><data_view>" + data_view +
         "</data_view><setup_view>" + setup_view +
         "</setup_view></presentation></signal_set></instance></session>";
}

// One random editing call on `list`.
void random_edit(TDR_TX_SIGNAL_NODES* list, std::mt19937& rng, int serial, std::string* what) {
  auto pick = [&](int n) { return n > 0 ? int(rng() % unsigned(n)) : 0; };
  int count = list->get_node_count();
  if (count == 0) {
    list->append_node("a0", TDR_STYPE_REGISTER_SIGNAL, TDR_MTYPE_CLASSIC_TAP);
    return;
  }
  int i = pick(count);
  int group = -1;
  for (int k = 0, start = pick(count); k < count && group < 0; ++k)
    if (list->get_node((start + k) % count)->is_group()) group = (start + k) % count;
  std::string tag = std::to_string(serial % 7);
  int span = pick(5);
  int last = std::min(count - 1, i + span);
  int target = pick(count + 1);
  bool flag = rng() % 2;
  std::string name = list->get_node(i)->name;
  int op = pick(24);
  *what = std::string(list->is_setup_view() ? "setup" : "data") + " op " + std::to_string(op) +
          " i " + std::to_string(i) + " last " + std::to_string(last) + " target " +
          std::to_string(target) + " flag " + std::to_string(flag) + " group " +
          std::to_string(group) + " on " + layout(*list);
  switch (op) {
    case 0: list->set_node_name(i, ("r" + tag).c_str()); break;
    case 1: if (group >= 0) list->set_group_node_name(group, ("G" + tag).c_str()); break;
    case 2: list->set_node_alias(i, flag ? nullptr : ("al" + tag).c_str()); break;
    case 3: list->set_node_capture_type(i, TDR_DATA_WIRE_CAPTURE_TYPE(pick(5))); break;
    case 4: list->set_node_tap_mode(i, flag ? TDR_MTYPE_ADVANCED_TAP : TDR_MTYPE_CLASSIC_TAP); break;
    case 5: list->set_node_connection_status(i, flag); break;
    case 6: list->set_debug_out(i, flag, pick(2) ? nullptr : ("p" + tag).c_str()); break;
    case 7:
      if (group >= 0) list->set_node_group_display_type(group, TDR_DATA_GROUP_DISPLAY_TYPE(pick(13)));
      break;
    case 8: if (group >= 0) list->set_node_mnemonics_table_name(group, flag ? "" : "t1"); break;
    case 9: if (group >= 0) list->set_node_lsb_to_msb(group, flag); break;
    case 10: list->set_node_signal_inverted(i, flag); break;
    case 11: if (group >= 0) list->toggle_node(group); break;
    case 12:
      list->append_node(("app" + tag).c_str(), TDR_STYPE_REGISTER_SIGNAL,
                        TDR_DATA_WIRE_TAP_MODE(pick(3)));
      break;
    case 13: {
      NODE copy;
      TDR_TX_SIGNAL_NODES::copy_node_properties(list->get_node(i), &copy);
      if (flag) copy.name += "u" + tag;
      list->append_node_uniq_name(&copy);
      break;
    }
    case 14: list->delete_node(i, last); break;
    case 15: if (list->get_node(i)->is_wire()) list->delete_node(name.c_str()); break;
    case 16: list->group_node(i, last, nullptr); break;
    case 17: if (group >= 0) list->ungroup_node(group); break;
    case 18:
      if (group >= 0) list->link_group_node(group, TDR_DATA_GROUP_LINKING_TYPE(1 + pick(15)));
      break;
    case 19: case 20: list->move_before_node(i, last, target, flag); break;
    case 21: list->copy_before_node(i, last, target, flag); break;
    case 22: list->rename_all_node_name(name.c_str(), ("rn" + tag).c_str()); break;
    default: list->rename_all_node_alias(name.c_str(), ("ra" + tag).c_str()); break;
  }
}

}  // namespace

TEST_F(TxNodeListTest, RandomEditsUndoAndRedoToTheSameLists) {
  close();
  // A canonical session: its views as a commit writes them.
  std::mt19937 gen_rng(7);
  std::string raw = temp_path("raw.xml"), canonical = temp_path("canonical.xml");
  write_file(raw, generated_session(&gen_rng, 40));
  open(raw);
  m_data->set_view_rebuild_needed(true);
  m_setup->set_view_rebuild_needed(true);
  m_data->commit(m_set->get_data_view());
  m_setup->commit(m_set->get_setup_view());
  ASSERT_TRUE(m_session->save_as(canonical.c_str(), true, true));
  close();

  const int kSequences = 12, kActions = 60;  // seeds 4 and 11 each found a fault
  int steps = 0, calls = 0;
  for (unsigned seed = 1; seed <= unsigned(kSequences); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    open(canonical);
    ASSERT_GE(m_data->get_node_count(), 200);
    auto state = [&] { return dump(*m_data) + "--\n" + dump(*m_setup); };
    auto views = [&] {
      m_data->commit(m_set->get_data_view());
      m_setup->commit(m_set->get_setup_view());
      return view_text(m_set->get_data_view()) + view_text(m_set->get_setup_view());
    };
    const std::string start = state();
    const std::string start_views =
        view_text(m_set->get_data_view()) + view_text(m_set->get_setup_view());
    std::mt19937 rng(seed);
    // The lists before and after each stored step, and what the step did.
    std::vector<std::string> states(1, start), actions;
    bool by_name = false;  // a delete by name leaves the view element
    for (int a = 0; a < kActions; ++a) {
      m_undo->begin_action();
      std::string what, all;
      for (int c = 0, n = 1 + int(rng() % 3); c < n; ++c, ++calls) {
        random_edit(rng() % 2 ? m_data : m_setup, rng, calls, &what);
        all += what + "\n";
      }
      if (m_undo->end_action()) states.push_back(state()), actions.push_back(all);
      if (all.find(" op 15 ") != std::string::npos) by_name = true;
      for (TEST_LIST* l : {m_data, m_setup}) {
        ASSERT_TRUE(well_formed(*l)) << all;
        ASSERT_TRUE(by_name || l->is_view_rebuild_needed() || view_in_step(*l)) << all;
      }
    }
    const int done = int(actions.size());
    // Step by step without a commit; then again from a committed edit.
    for (int k = done; k > 0; --k) {
      ASSERT_TRUE(m_undo->undo()) << actions[k - 1];
      ASSERT_EQ(state(), states[k - 1]) << actions[k - 1];
    }
    ASSERT_FALSE(m_undo->is_undo_available());
    for (int k = 0; k < done; ++k) {
      ASSERT_TRUE(m_undo->redo()) << actions[k];
      ASSERT_EQ(state(), states[k + 1]) << actions[k];
    }
    const std::string edited_views = views();
    while (m_undo->is_undo_available()) ASSERT_TRUE(m_undo->undo());
    ASSERT_EQ(state(), start);
    ASSERT_EQ(views(), start_views);
    while (m_undo->is_redo_available()) ASSERT_TRUE(m_undo->redo());
    ASSERT_EQ(state(), states.back());
    ASSERT_EQ(views(), edited_views);
    steps += done;
    close();
  }
  printf("[ node list ] %d seeded sequences, %d user actions (%d calls), each undone and redone\n",
         kSequences, steps, calls);
}
